#include "platform/system/machine.h"

#include <sched.h>
#include <sys/resource.h>

#include <cinttypes>
#include <cstdio>

#include <algorithm>
#include <fstream>
#include <string>

namespace voxquill {

unsigned usableCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (sched_getaffinity(0, sizeof cores, &cores) != 0) return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&cores)));
}

std::optional<std::uint64_t> addressSpaceLeftBytes() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        std::uint64_t kibibytes = 0;
        if (std::sscanf(line.c_str(), "VmSize: %" SCNu64, &kibibytes) == 1) {
            const std::uint64_t used = kibibytes * 1024;
            return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> availableMemoryBytes() {
    std::ifstream meminfo("/proc/meminfo");
    std::string name;
    std::uint64_t kibibytes = 0;
    std::string unit;
    while (meminfo >> name >> kibibytes) {
        std::getline(meminfo, unit);
        if (name == "MemAvailable:") return kibibytes * 1024;
    }
    return std::nullopt;
}

}  // namespace voxquill
