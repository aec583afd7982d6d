#pragma once

#include <functional>
#include <string>

namespace voxquill::testing {

// What a piece of code that ends the process wrote and how it exited.
struct Exited {
    int status = -1;  // exit status; returnedStatus if the code returned
    std::string out;
    std::string err;
};

constexpr int returnedStatus = 99;

// Runs `code` in a forked child with its standard output and error captured.
Exited runToExit(const std::function<void()>& code);

}  // namespace voxquill::testing
