#include "platform/signal/signal_chain.h"

#include "platform/signal/level.h"
#include "platform/signal/signal_settings.h"

namespace voxquill {

void runRecordingChain(Samples& piece) {
    denoiseIfNoisy(piece);
    raiseToPeak(piece, level::nominalPeak, level::mostGain);
}

LiveChain::LiveChain() : gain_(level::nominalPeak, level::mostGain, level::liveGainDoublingSeconds) {}

const Samples& LiveChain::pass(const Samples& buffer) {
    watchBand(buffer);
    out_ = denoiser_.pass(buffer);
    gain_.apply(out_);
    return out_;
}

const Samples& LiveChain::finish() {
    foundNarrowBand_ = false;
    out_ = denoiser_.finish();
    gain_.apply(out_);
    return out_;
}

// The band is told once the first second with sound in the band has come;
// then the meter is done.
void LiveChain::watchBand(const Samples& buffer) {
    foundNarrowBand_ = false;
    if (bandTold_) return;
    bandMeter_.add(buffer.data(), buffer.size());
    if (!bandMeter_.canTell()) return;
    bandTold_ = true;
    foundNarrowBand_ = bandMeter_.isNarrowBand();
}

}  // namespace voxquill
