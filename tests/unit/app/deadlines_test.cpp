#include "app/deadlines.h"

#include "app/state.h"
#include "exit_capture.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

using std::chrono::milliseconds;
using testing::runToExit;

struct Deadlines : ::testing::Test {
    void SetUp() override { finished = false; }

    // Moves the clock on by `ms` and runs what has come due.
    void after(int ms) {
        clock.advance(milliseconds(ms));
        queue.runDueTasks();
    }

    ManualClock clock;
    EventLoop queue{clock};
};

TEST_F(Deadlines, FileModeTimesOutAfterFortyFiveSeconds) {
    const auto exited = runToExit([&] {
        live = false;
        armFileDeadline(queue, fileDeadlineSeconds);
        after(44999);
        std::fputs("still running\n", stdout);
        std::fflush(stdout);
        after(1);
    });
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.out, "still running\n");
    EXPECT_EQ(exited.err, "timeout\n");
}

TEST_F(Deadlines, LiveModeTimesOutAfterTenMinutesWithTheLastText) {
    auto lastText = std::make_shared<std::string>();
    const auto exited = runToExit([&] {
        live = true;
        armLiveDeadline(queue, liveDeadlineSeconds, lastText);
        after(599999);
        *lastText = " so far so good ";  // read when the deadline comes, not when armed
        after(1);
    });
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.out, "{\"k\":\"f\",\"t\":\"so far so good\"}\n");
    EXPECT_EQ(exited.err, "");
}

TEST_F(Deadlines, LiveModeTimesOutWithAnErrorWhenTheTextIsBlank) {
    for (const char* text : {"", " \n"}) {
        auto lastText = std::make_shared<std::string>(text);
        const auto exited = runToExit([&] {
            live = true;
            armLiveDeadline(queue, liveDeadlineSeconds, lastText);
            after(600000);
        });
        EXPECT_EQ(exited.status, 1);
        EXPECT_EQ(exited.out, "{\"k\":\"e\",\"t\":\"timeout\"}\n");
    }
}

}  // namespace
}  // namespace voxquill
