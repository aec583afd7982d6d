#include "platform/system/event_loop.h"

#include <new>
#include <system_error>
#include <thread>

namespace voxquill {

Duration SteadyClock::now() const {
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch());
}

Duration ManualClock::now() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

void ManualClock::advance(Duration by) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ += by;
}

EventLoop::EventLoop(const Clock& clock) : clock_(clock) {}

void EventLoop::post(Task task) {
    postAfter(0.0, std::move(task));
}

void EventLoop::postAfter(double seconds, Task task) {
    const Duration due = clock_.now() + std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.emplace(Key{due, nextSequence_++}, std::move(task));
    }
    wake_.notify_one();
}

bool EventLoop::takeDueTask(Task& task) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tasks_.empty() || tasks_.begin()->first.first > clock_.now()) {
        return false;
    }
    task = std::move(tasks_.begin()->second);
    tasks_.erase(tasks_.begin());
    return true;
}

int EventLoop::runDueTasks() {
    int ran = 0;
    Task task;
    while (takeDueTask(task)) {
        task();
        ++ran;
    }
    return ran;
}

void EventLoop::waitForWork() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (tasks_.empty()) {
        wake_.wait(lock);
        return;
    }
    const Duration wait = tasks_.begin()->first.first - clock_.now();
    if (wait > Duration::zero()) {
        wake_.wait_for(lock, wait);
    }
}

void EventLoop::run() {
    for (;;) {
        runDueTasks();
        waitForWork();
    }
}

EventLoop& mainQueue() {
    static const SteadyClock* clock = new SteadyClock;
    static EventLoop* queue = new EventLoop(*clock);
    return *queue;
}

bool runInBackground(Task task) {
    try {
        std::thread(std::move(task)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        // The thread's own state could not be allocated: as short of resources.
        return false;
    }
}

}  // namespace voxquill
