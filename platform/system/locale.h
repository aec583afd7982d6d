#pragma once

#include <string>

namespace voxquill {

// Start-up only: it reads the environment. The identifier of the user's
// language from the POSIX locale settings, read
// as the C library does for messages (LC_ALL, then LC_MESSAGES, then LANG),
// without its codeset or modifier: "en_US.UTF-8" gives "en_US". Empty when
// none is set.
std::string currentLocaleId();

}  // namespace voxquill
