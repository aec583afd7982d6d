#include "platform/audio/recording_input.h"

#include "platform/text/words.h"

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

// A regular file opened without O_NONBLOCK, so reads wait as usual.
RecordingInput regularFile(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refused(fd, std::strerror(errno));
    return {fd, true, ""};
}

// The same pipe opened again, blocking: a named pipe's open waits for its
// writer, as any reader's would (the caller runs off the main queue), and
// reads then wait for data instead of finding none.
RecordingInput pipeStream(int fd) {
    const int waiting = openRetrying("/proc/self/fd/" + std::to_string(fd), O_RDONLY);
    const int error = errno;
    ::close(fd);
    if (waiting < 0) return refused(-1, std::strerror(error));
    return {waiting, false, ""};
}

}  // namespace

RecordingInput openRecording(const std::string& path) {
    // Opened without blocking first, so that what the path names is known
    // before a named pipe is waited on and a device is never read.
    const int fd = openRetrying(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return refused(-1, std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0) return refused(fd, std::strerror(errno));
    if (S_ISREG(info.st_mode)) return regularFile(fd);
    if (S_ISFIFO(info.st_mode)) return pipeStream(fd);
    if (S_ISDIR(info.st_mode)) return refused(fd, std::strerror(EISDIR));
    return refused(fd, words::notFileOrPipe);
}

}  // namespace voxquill
