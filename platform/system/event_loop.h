#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace voxquill {

using Task = std::function<void()>;
using Duration = std::chrono::nanoseconds;

// A monotonic clock. Tests substitute one they move by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Duration now() const = 0;
};

class SteadyClock final : public Clock {
public:
    Duration now() const override;
};

class ManualClock final : public Clock {
public:
    Duration now() const override;
    void advance(Duration by);

private:
    mutable std::mutex mutex_;
    Duration now_{0};
};

// A serial queue of tasks, some of them delayed. Tasks may be posted from any
// thread; they run one at a time on the thread that drives the loop.
class EventLoop {
public:
    explicit EventLoop(const Clock& clock);

    void post(Task task);
    void postAfter(double seconds, Task task);

    // Runs every task that is due, including those that become due while it
    // runs; returns how many ran. Never waits.
    int runDueTasks();

    // Runs tasks for ever, sleeping until the next one is due. Needs a clock
    // that moves by itself.
    [[noreturn]] void run();

private:
    using Key = std::pair<Duration, std::uint64_t>;

    bool takeDueTask(Task& task);
    void waitForWork();

    const Clock& clock_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<Key, Task> tasks_;
    std::uint64_t nextSequence_ = 0;
};

// The queue the main thread serves for the life of the process. Never
// destroyed, so threads still posting while the process exits stay safe.
EventLoop& mainQueue();

// Runs a task on a new thread of its own, detached: background work ends with
// the process. False when no thread could be started.
[[nodiscard]] bool runInBackground(Task task);

}  // namespace voxquill
