#include "platform/system/std_streams.h"

#include "exit_capture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace voxquill {
namespace {

TEST(StdStreams, AWriteToAPipeWithoutReaderFailsInsteadOfKilling) {
    const auto exited = testing::runToExit([] {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::close(ends[0]);
        ASSERT_TRUE(ignoreBrokenPipe());
        ::_exit(writeAll(ends[1], "lost") ? 3 : 4);
    });
    EXPECT_EQ(exited.status, 4);
}

std::string readToEnd(int fd) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return bytes;
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

// A caller that set its end non-blocking and reads late: the writer waits for
// room instead of giving up, and the reader gets every byte in order.
TEST(StdStreams, ANonBlockingPipeWithALateReaderGetsEverything) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
    ASSERT_GT(::fcntl(ends[1], F_SETPIPE_SZ, 4096), 0);
    std::string sent;
    for (int line = 0; sent.size() < 256 * 1024; ++line) sent += "line " + std::to_string(line) + "\n";
    std::string received;
    std::thread reader([&received, readEnd = ends[0]] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const int flags = ::fcntl(readEnd, F_GETFL);
        ::fcntl(readEnd, F_SETFL, flags & ~O_NONBLOCK);
        received = readToEnd(readEnd);
    });
    const bool written = writeAll(ends[1], sent);
    ::close(ends[1]);
    reader.join();
    ::close(ends[0]);
    EXPECT_TRUE(written);
    EXPECT_EQ(received, sent);
}

}  // namespace
}  // namespace voxquill
