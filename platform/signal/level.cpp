#include "platform/signal/level.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace voxquill {

void raiseToPeak(Samples& samples, double peak, double mostGain) {
    int loudest = 0;
    for (std::int16_t sample : samples) loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
    if (loudest == 0) return;
    const double gain = std::min(mostGain, peak * 32767.0 / loudest);
    if (gain <= 1.0) return;
    for (std::int16_t& sample : samples) {
        const double raised = std::nearbyint(sample * gain);
        sample = static_cast<std::int16_t>(std::clamp(raised, -32768.0, 32767.0));
    }
}

}  // namespace voxquill
