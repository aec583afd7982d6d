#include "platform/system/pipe_input.h"

#include "platform/system/retry_interrupted.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace voxquill {

UniqueFd openForReading(const std::string& path) {
    UniqueFd fd(retryInterrupted([&path] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (!fd) return fd;
    // A directory opens, but only fails to read.
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return UniqueFd();
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return UniqueFd();
    }
    return fd;
}

ssize_t readSome(int fd, char* into, std::size_t size) {
    return retryInterrupted([&] { return ::read(fd, into, size); });
}

}  // namespace voxquill
