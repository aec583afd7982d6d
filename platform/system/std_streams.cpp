#include "platform/system/std_streams.h"

#include "platform/system/retry_interrupted.h"

#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

namespace voxquill {

namespace {

// A caller may hand us a non-blocking descriptor: a full one then refuses
// with EAGAIN instead of waiting, which is a slow reader, not a lost one.
bool waitWritable(int fd) {
    struct pollfd watched {};
    watched.fd = fd;
    watched.events = POLLOUT;
    const int ready = retryInterrupted([&watched] { return ::poll(&watched, 1, -1); });
    return ready == 1 && (watched.revents & POLLOUT) != 0;
}

}  // namespace

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = retryInterrupted([fd, bytes] { return ::write(fd, bytes.data(), bytes.size()); });
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitWritable(fd)) return false;
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool ignoreBrokenPipe() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    return ::sigemptyset(&action.sa_mask) == 0 && ::sigaction(SIGPIPE, &action, nullptr) == 0;
}

}  // namespace voxquill
