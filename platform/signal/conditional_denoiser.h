#pragma once

#include "platform/audio/samples.h"
#include "platform/signal/noise_floor.h"
#include "platform/signal/noise_suppressor.h"

#include <memory>

namespace voxquill {

// Denoises audio whose noise floor is high, and leaves cleaner audio as it
// is: a denoiser costs clean speech more words than it saves. In place; any
// thread.
void denoiseIfNoisy(Samples& audio);

// The same for live audio, which cannot be looked ahead: its first seconds
// are measured while they go on as they are, and from then on, if they were
// noisy, the audio is denoised. What comes out is what went in, in order,
// sample for sample, a few milliseconds late once denoising. One stream, one
// thread at a time.
class LiveConditionalDenoiser {
public:
    // The audio to decode for `buffer`: the buffer itself, or its samples
    // that are ready, denoised from where the first seconds were judged.
    // Valid until the next call, or while `buffer` lives when it is the
    // buffer itself.
    const Samples& pass(const Samples& buffer);

    // The rest, once the audio has ended; the denoiser's own, valid until
    // the next call.
    const Samples& finish();

private:
    void judge();

    NoiseFloor floor_;
    bool judged_ = false;
    std::unique_ptr<NoiseSuppressor> suppressor_;
    Samples passed_;
};

}  // namespace voxquill
