#include "platform/speech/live_audio_request.h"

#include <algorithm>
#include <utility>

namespace voxquill {

void LiveAudioRequest::append(Samples buffer) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        caughtUp_.wait(lock, [this] { return backlog_ < mostBacklog_ || recognizerQuit_; });
        if (recognizerQuit_) return;
        backlog_ += buffer.size();
        buffers_.push_back(std::move(buffer));
    }
    arrived_.notify_one();
}

void LiveAudioRequest::limitBacklog(std::size_t samples) {
    std::lock_guard<std::mutex> lock(mutex_);
    mostBacklog_ = samples;
}

void LiveAudioRequest::endAudio() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    arrived_.notify_one();
}

LiveAudioRequest::Taken LiveAudioRequest::waitForAudio() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return !buffers_.empty() || ended_; });
    Taken taken;
    taken.buffers.swap(buffers_);
    taken.ended = ended_;
    return taken;
}

void LiveAudioRequest::decoded(std::size_t samples) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        backlog_ -= std::min(samples, backlog_);
    }
    caughtUp_.notify_all();
}

void LiveAudioRequest::recognizerQuit() {
    std::vector<Samples> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        recognizerQuit_ = true;
        dropped.swap(buffers_);
        backlog_ = 0;
    }
    caughtUp_.notify_all();
}

}  // namespace voxquill
