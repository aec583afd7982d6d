#pragma once

#include "platform/audio/samples.h"

#include <cstddef>
#include <cstdint>
#include <memory>

struct SpeexPreprocessState_;

namespace voxquill {

// Takes steady background noise out of 16 kHz speech with speexdsp's
// preprocessor. Audio goes in as chunks of any size and comes out in order,
// each sample exactly once and in its place: the preprocessor's own delay is
// taken off. One suppressor serves one stream, one thread at a time.
class NoiseSuppressor {
public:
    // The caller owns the suppressor; null when the library cannot set one
    // up (a program without it decodes its audio as it is).
    static std::unique_ptr<NoiseSuppressor> create();

    ~NoiseSuppressor();
    NoiseSuppressor(const NoiseSuppressor&) = delete;
    NoiseSuppressor& operator=(const NoiseSuppressor&) = delete;

    // Appends to `out` what is ready: all that went in but the last few
    // milliseconds, which wait for the audio after them. `samples` is read
    // during the call only.
    void process(const std::int16_t* samples, std::size_t count, Samples& out);

    // Appends the rest at the end of the stream, so that as many samples
    // have come out as went in.
    void finish(Samples& out);

private:
    explicit NoiseSuppressor(SpeexPreprocessState_* state);
    void processPending(Samples& out);

    SpeexPreprocessState_* state_;
    Samples pending_;
    std::size_t toSkip_;
    std::size_t samplesIn_ = 0;
    std::size_t samplesOut_ = 0;
};

}  // namespace voxquill
