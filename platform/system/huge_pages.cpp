#include "platform/system/huge_pages.h"

#include <unistd.h>
#include <cstdlib>

namespace voxquill {

namespace {

constexpr const char* tunablesVariable = "GLIBC_TUNABLES";
constexpr const char* hugePagesTunable = "glibc.malloc.hugetlb";

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace

std::optional<std::string> tunablesForHugePages(const std::optional<std::string>& current) {
    const std::string setting = std::string(hugePagesTunable) + "=1";
    if (!current || current->empty()) return setting;
    if (current->find(hugePagesTunable) != std::string::npos) return std::nullopt;
    return *current + ":" + setting;
}

void runOnHugePages(char** argv) {
    const std::optional<std::string> before = environmentValue(tunablesVariable);
    const std::optional<std::string> tunables = tunablesForHugePages(before);
    if (!tunables || setenv(tunablesVariable, tunables->c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
    // Still here: the program could not be executed again, so it runs on as
    // it was started, with the environment it was given.
    if (before) {
        setenv(tunablesVariable, before->c_str(), 1);
    } else {
        unsetenv(tunablesVariable);
    }
}

}  // namespace voxquill
