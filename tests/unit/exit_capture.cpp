#include "exit_capture.h"

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace voxquill::testing {

namespace {

std::string makeTemporary() {
    char name[] = "/tmp/voxquill-capture-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return name;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    ::unlink(path.c_str());
    return bytes.str();
}

void redirect(int fd, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) ::dup2(::fileno(file), fd);
}

}  // namespace

Exited runToExit(const std::function<void()>& code) {
    const std::string outPath = makeTemporary();
    const std::string errPath = makeTemporary();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        redirect(STDOUT_FILENO, outPath);
        redirect(STDERR_FILENO, errPath);
        code();
        std::fflush(nullptr);
        ::_exit(returnedStatus);
    }
    int wait = 0;
    Exited exited;
    if (child > 0 && ::waitpid(child, &wait, 0) == child && WIFEXITED(wait)) exited.status = WEXITSTATUS(wait);
    exited.out = contentsOf(outPath);
    exited.err = contentsOf(errPath);
    return exited;
}

}  // namespace voxquill::testing
