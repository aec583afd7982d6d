#include "platform/system/machine.h"

#include <sched.h>

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
