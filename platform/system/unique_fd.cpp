#include "platform/system/unique_fd.h"

#include <unistd.h>
#include <cerrno>

namespace voxquill {

void UniqueFd::reset() {
    if (fd_ < 0) return;
    const int saved = errno;
    // Never retried: after an interrupted close the descriptor is gone
    // anyway, and another thread may already have been given its number.
    ::close(std::exchange(fd_, -1));
    errno = saved;
}

}  // namespace voxquill
