#include "platform/signal/rising_gain.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace voxquill {

RisingGain::RisingGain(double peak, double mostGain, double doublingSeconds)
    : peak_(peak), mostGain_(mostGain), risePerSample_(std::exp2(1.0 / (doublingSeconds * recognizerSampleRate))) {}

double RisingGain::target() const {
    if (loudest_ == 0) return mostGain_;
    return std::clamp(peak_ * 32767.0 / loudest_, 1.0, mostGain_);
}

void RisingGain::apply(Samples& samples) {
    for (std::int16_t sample : samples) loudest_ = std::max(loudest_, std::abs(static_cast<int>(sample)));
    const double most = target();
    gain_ = std::min(gain_, most);
    for (std::int16_t& sample : samples) {
        gain_ = std::min(gain_ * risePerSample_, most);
        const double raised = std::nearbyint(sample * gain_);
        sample = static_cast<std::int16_t>(std::clamp(raised, -32768.0, 32767.0));
    }
}

}  // namespace voxquill
