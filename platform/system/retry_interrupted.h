#pragma once

#include <cerrno>

namespace voxquill {

// Calls `call` (a system call returning -1 and setting errno on failure)
// again for as long as a signal interrupts it; returns its first other
// result, errno as that call left it. Any thread.
template <typename Call>
auto retryInterrupted(Call call) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) return result;
    }
}

}  // namespace voxquill
