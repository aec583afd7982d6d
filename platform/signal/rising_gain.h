#pragma once

#include "platform/audio/samples.h"

namespace voxquill {

// Raises quiet live audio towards a nominal peak without looking ahead. The
// gain aims at `peak` (a fraction of full scale) over the loudest sample
// heard so far, by at most `mostGain`; it rises slowly, by at most a factor
// of two every `doublingSeconds` of audio, so normalisation can follow it,
// and drops at once when louder audio comes, before that audio is raised,
// so nothing ever clips. Audio at the peak or louder is left alone. One
// stream, one thread at a time.
class RisingGain {
public:
    RisingGain(double peak, double mostGain, double doublingSeconds);

    // In place, the stream's next samples.
    void apply(Samples& samples);

private:
    double target() const;

    double peak_;
    double mostGain_;
    double risePerSample_;
    int loudest_ = 0;
    double gain_ = 1.0;
};

}  // namespace voxquill
