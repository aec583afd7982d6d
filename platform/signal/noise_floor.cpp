#include "platform/signal/noise_floor.h"

#include "platform/audio/samples.h"
#include "platform/signal/signal_settings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace voxquill {

namespace {

double percentile(std::vector<double> values, double percent) {
    const auto at = static_cast<std::size_t>(percent / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

}  // namespace

void NoiseFloor::add(const std::int16_t* samples, std::size_t count) {
    added_ += count;
    for (std::size_t i = 0; i < count; ++i) {
        const double sample = samples[i];
        partialSum_ += sample * sample;
        if (++partialCount_ < frameSamples) continue;
        framePowers_.push_back(partialSum_ / frameSamples);
        partialSum_ = 0.0;
        partialCount_ = 0;
    }
}

double NoiseFloor::speechOverNoiseDb() const {
    if (framePowers_.empty()) return 0.0;
    const double speech = percentile(framePowers_, noise::speechPercentile);
    const double floor = percentile(framePowers_, noise::floorPercentile);
    if (floor <= 0.0) return speech > 0.0 ? std::numeric_limits<double>::infinity() : 0.0;
    return 10.0 * std::log10(speech / floor);
}

double speechOverNoiseDb(const std::int16_t* samples, std::size_t count) {
    NoiseFloor floor;
    floor.add(samples, count);
    return floor.speechOverNoiseDb();
}

}  // namespace voxquill
