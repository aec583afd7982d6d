#pragma once

#include "platform/audio/samples.h"
#include "platform/signal/band.h"
#include "platform/signal/conditional_denoiser.h"
#include "platform/signal/rising_gain.h"

namespace voxquill {

// What audio goes through before the engine takes its features, in each
// mode. A recording's piece is seen whole: denoised if it is noisy, then
// raised to the nominal peak. Live audio cannot be looked ahead: it is
// denoised once its first seconds prove noisy, its gain rises slowly towards
// the nominal peak, and its band is told once, so the decoder can go on from
// what suits narrow-band audio.

// A piece of a recording, in place. Any thread.
void runRecordingChain(Samples& piece);

// One live stream, one thread at a time.
class LiveChain {
public:
    LiveChain();

    // The audio to decode for `buffer`, which is read during the call only:
    // the chain's own, valid until the next call.
    const Samples& pass(const Samples& buffer);

    // Whether the buffer just passed told that the audio is narrow band;
    // true after one buffer of the stream at most.
    bool foundNarrowBand() const { return foundNarrowBand_; }

    // The rest, once the audio has ended; valid until the next call.
    const Samples& finish();

private:
    void watchBand(const Samples& buffer);

    BandMeter bandMeter_;
    bool bandTold_ = false;
    bool foundNarrowBand_ = false;
    LiveConditionalDenoiser denoiser_;
    RisingGain gain_;
    Samples out_;
};

}  // namespace voxquill
