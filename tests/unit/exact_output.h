#pragma once

#include <unistd.h>
#include <string>

namespace voxquill::testing {

// A death-test pattern that matches exactly these bytes and nothing else.
inline std::string exactly(const std::string& bytes) {
    std::string pattern = "^";
    for (const char c : bytes) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
        pattern += c;
    }
    return pattern + "$";
}

// In a death test only standard error is seen; this sends standard output
// there too, so both streams are checked in the order written.
inline void mergeStdoutIntoStderr() {
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
}

}  // namespace voxquill::testing
