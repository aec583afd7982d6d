#include "platform/audio/recording_input.h"

#include "platform/system/retry_interrupted.h"
#include "platform/text/failure.h"
#include "platform/text/messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstring>
#include <utility>

namespace voxquill {

namespace {

RecordingInput refused(std::string reason, std::string& error) {
    fail(error, std::move(reason));
    return {};
}

// Reads wait as usual, whatever the descriptor was opened with.
RecordingInput blocking(UniqueFd fd, bool seekable, std::string& error) {
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return refused(std::strerror(errno), error);
    return {std::move(fd), seekable};
}

}  // namespace

RecordingInput openRecording(const std::string& path, std::string& error) {
    // A named pipe is opened as any reader opens one, waiting for its writer
    // (the caller runs off the main queue); whatever else the path names is
    // opened without blocking, so that no device is ever waited on. Opened
    // once: a writer may write it all and close at any moment.
    struct stat named {};
    const bool known = ::stat(path.c_str(), &named) == 0;
    const bool pipe = known && S_ISFIFO(named.st_mode);
    // A socket cannot be opened at all, and a device is not opened: either
    // is the wrong kind of thing, whatever opening it would answer.
    if (known && !S_ISREG(named.st_mode) && !pipe && !S_ISDIR(named.st_mode)) {
        return refused(messages::notFileOrPipe, error);
    }
    const int flags = (pipe ? O_RDONLY : O_RDONLY | O_NONBLOCK) | O_CLOEXEC;
    UniqueFd fd(retryInterrupted([&path, flags] { return ::open(path.c_str(), flags); }));
    if (!fd) return refused(std::strerror(errno), error);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return refused(std::strerror(errno), error);
    if (S_ISREG(info.st_mode)) return blocking(std::move(fd), true, error);
    if (S_ISFIFO(info.st_mode)) return blocking(std::move(fd), false, error);
    if (S_ISDIR(info.st_mode)) return refused(std::strerror(EISDIR), error);
    return refused(messages::notFileOrPipe, error);
}

}  // namespace voxquill
