#include "platform/speech/live_audio_request.h"

#include <utility>

namespace voxquill {

void LiveAudioRequest::append(Samples buffer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
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

}  // namespace voxquill
