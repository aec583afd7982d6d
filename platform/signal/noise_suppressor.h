#pragma once

#include "platform/audio/samples.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace webrtc {
class AudioFrame;
class AudioProcessing;
}  // namespace webrtc

namespace voxquill {

// Takes steady background noise out of 16 kHz speech with WebRTC's noise
// suppression. Audio goes in as chunks of any size and comes out in order,
// each sample exactly once and in its place: the suppressor's own delay is
// taken off. One suppressor serves one stream on one thread.
class NoiseSuppressor {
public:
    // Null when the library cannot set one up.
    static std::unique_ptr<NoiseSuppressor> create();

    ~NoiseSuppressor();
    NoiseSuppressor(const NoiseSuppressor&) = delete;
    NoiseSuppressor& operator=(const NoiseSuppressor&) = delete;

    // Appends to `out` what is ready: all that went in but the last few
    // milliseconds, which wait for the audio after them.
    void process(const std::int16_t* samples, std::size_t count, Samples& out);

    // Appends the rest at the end of the stream, so that as many samples
    // have come out as went in.
    void finish(Samples& out);

private:
    explicit NoiseSuppressor(std::unique_ptr<webrtc::AudioProcessing> processing);
    void processPending(Samples& out);

    std::unique_ptr<webrtc::AudioProcessing> processing_;
    std::unique_ptr<webrtc::AudioFrame> frame_;
    Samples pending_;
    std::size_t toSkip_;
    std::size_t samplesIn_ = 0;
    std::size_t samplesOut_ = 0;
};

}  // namespace voxquill
