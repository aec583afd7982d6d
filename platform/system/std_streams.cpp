#include "platform/system/std_streams.h"

#include "platform/system/retry_interrupted.h"

#include <unistd.h>
#include <csignal>

namespace voxquill {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = retryInterrupted([fd, bytes] { return ::write(fd, bytes.data(), bytes.size()); });
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
