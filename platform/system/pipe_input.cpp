#include "platform/system/pipe_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace voxquill {

int openForReading(const std::string& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    // A directory opens, but only fails to read.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

ssize_t readSome(int fd, char* into, std::size_t size) {
    ssize_t got = -1;
    do {
        got = ::read(fd, into, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

void closeInput(int fd) {
    ::close(fd);
}

}  // namespace voxquill
