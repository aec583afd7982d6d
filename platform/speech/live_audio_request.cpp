#include "platform/speech/live_audio_request.h"

#include <algorithm>
#include <utility>

namespace voxquill {

void LiveAudioRequest::append(Samples buffer) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        caughtUp_.wait(lock, [this] { return behind_ < mostSamplesBehind || stopped_; });
        if (stopped_) return;
        behind_ += buffer.size();
        buffers_.push_back(std::move(buffer));
    }
    arrived_.notify_one();
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
        behind_ -= std::min(samples, behind_);
    }
    caughtUp_.notify_all();
}

void LiveAudioRequest::stopTaking() {
    std::vector<Samples> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        dropped.swap(buffers_);
        behind_ = 0;
    }
    caughtUp_.notify_all();
}

}  // namespace voxquill
