#include "platform/system/std_streams.h"

#include "exit_capture.h"

#include <gtest/gtest.h>

#include <unistd.h>

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

}  // namespace
}  // namespace voxquill
