#include "platform/system/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace voxquill {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(EventLoop, RunsTasksInOrderOfPostingWhenDueAlike) {
    ManualClock clock;
    EventLoop loop(clock);
    std::vector<int> ran;
    for (int i = 0; i < 5; ++i) loop.post([&ran, i] { ran.push_back(i); });
    EXPECT_EQ(loop.runDueTasks(), 5);
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(EventLoop, DelayedTasksWaitForTheClock) {
    ManualClock clock;
    EventLoop loop(clock);
    std::vector<std::string> ran;
    loop.postAfter(3.0, [&] { ran.push_back("settle"); });
    loop.postAfter(1.0, [&] { ran.push_back("early"); });
    loop.post([&] { ran.push_back("now"); });
    loop.runDueTasks();
    EXPECT_EQ(ran, (std::vector<std::string>{"now"}));
    clock.advance(milliseconds(2999));
    loop.runDueTasks();
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "early"}));
    clock.advance(milliseconds(1));
    loop.runDueTasks();
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "early", "settle"}));
}

TEST(EventLoop, DelaysCountFromThePost) {
    ManualClock clock;
    EventLoop loop(clock);
    clock.advance(seconds(10));
    bool ran = false;
    loop.postAfter(3.0, [&] { ran = true; });
    clock.advance(milliseconds(2500));
    loop.runDueTasks();
    EXPECT_FALSE(ran);
    clock.advance(milliseconds(500));
    loop.runDueTasks();
    EXPECT_TRUE(ran);
}

TEST(EventLoop, TasksPostedByATaskRunInTheSamePass) {
    ManualClock clock;
    EventLoop loop(clock);
    int depth = 0;
    loop.post([&] {
        loop.post([&] { depth = 2; });
        depth = 1;
    });
    EXPECT_EQ(loop.runDueTasks(), 2);
    EXPECT_EQ(depth, 2);
}

TEST(EventLoop, AcceptsPostsFromManyThreadsAndLosesNone) {
    SteadyClock clock;
    EventLoop loop(clock);
    constexpr int threads = 4;
    constexpr int postsEach = 500;
    int count = 0;  // only touched by tasks, which run on this thread
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < postsEach; ++i) loop.post([&count] { ++count; });
        });
    }
    for (auto& poster : posters) poster.join();
    loop.runDueTasks();
    EXPECT_EQ(count, threads * postsEach);
}

TEST(EventLoop, RunWakesForAPostFromAnotherThread) {
    // The main queue sleeps with nothing to do until a worker posts to it.
    auto postLater = [] {
        std::this_thread::sleep_for(milliseconds(20));
        mainQueue().post([] { std::exit(7); });
    };
    EXPECT_EXIT(
        {
            std::thread(postLater).detach();
            mainQueue().run();
        },
        ::testing::ExitedWithCode(7), "");
}

TEST(Background, RunsTheTaskOnAnotherThread) {
    std::atomic<bool> done{false};
    const auto caller = std::this_thread::get_id();
    std::atomic<bool> elsewhere{false};
    ASSERT_TRUE(runInBackground([&] {
        elsewhere = std::this_thread::get_id() != caller;
        done = true;
    }));
    while (!done) std::this_thread::yield();
    EXPECT_TRUE(elsewhere);
}

}  // namespace
}  // namespace voxquill
