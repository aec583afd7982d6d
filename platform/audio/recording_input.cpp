#include "platform/audio/recording_input.h"

#include "platform/text/messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <utility>

namespace voxquill {

namespace {

RecordingInput refused(int fd, std::string reason) {
    if (fd >= 0) ::close(fd);
    return {-1, false, std::move(reason)};
}

int openRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Reads wait as usual, whatever the descriptor was opened with.
RecordingInput blocking(int fd, bool seekable) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refused(fd, std::strerror(errno));
    return {fd, seekable, ""};
}

}  // namespace

RecordingInput openRecording(const std::string& path) {
    // A named pipe is opened as any reader opens one, waiting for its writer
    // (the caller runs off the main queue); whatever else the path names is
    // opened without blocking, so that no device is ever waited on. Opened
    // once: a writer may write it all and close at any moment.
    struct stat named {};
    const bool pipe = ::stat(path.c_str(), &named) == 0 && S_ISFIFO(named.st_mode);
    const int fd = openRetrying(path, pipe ? O_RDONLY : O_RDONLY | O_NONBLOCK);
    if (fd < 0) return refused(-1, std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0) return refused(fd, std::strerror(errno));
    if (S_ISREG(info.st_mode)) return blocking(fd, true);
    if (S_ISFIFO(info.st_mode)) return blocking(fd, false);
    if (S_ISDIR(info.st_mode)) return refused(fd, std::strerror(EISDIR));
    return refused(fd, messages::notFileOrPipe);
}

}  // namespace voxquill
