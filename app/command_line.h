#pragma once

#include <optional>
#include <string>
#include <vector>

namespace voxquill {

struct Invocation {
    bool live = false;
    std::string path;                   // the audio file, or the pipe in live mode
    std::optional<std::string> locale;  // absent: the user's current locale
};

// Start-up only. Reads the arguments, the program path first. Nothing when none follows it.
// One argument is always a file path, "--live" and hyphens included; live mode
// needs "--live" exactly and a path after it; arguments past the locale are
// ignored.
std::optional<Invocation> parseCommandLine(const std::vector<std::string>& args);

}  // namespace voxquill
