#pragma once

#include "platform/audio/samples.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>

namespace voxquill::synthetic {

constexpr std::size_t second = recognizerSampleRate;
constexpr double toneAmplitude = 8000.0;

// Half a second of a 440-Hz tone, then half a second of silence, and again:
// speech and the pauses between words, as a signal.
inline Samples toneBursts(std::size_t samples) {
    Samples audio(samples, 0);
    const double pi = std::acos(-1.0);
    for (std::size_t i = 0; i < samples; ++i) {
        if (i % second >= second / 2) continue;
        audio[i] = static_cast<std::int16_t>(
            std::lround(toneAmplitude * std::sin(2.0 * pi * 440.0 * static_cast<double>(i) / second)));
    }
    return audio;
}

// Steady white noise, `belowDb` under the tone's power, from a fixed seed.
inline Samples whiteNoise(std::size_t samples, double belowDb) {
    std::mt19937 random(11);
    std::normal_distribution<double> gauss(0.0, toneAmplitude / std::sqrt(2.0) * std::pow(10.0, -belowDb / 20.0));
    Samples noise(samples);
    for (std::int16_t& sample : noise) sample = static_cast<std::int16_t>(std::lround(gauss(random)));
    return noise;
}

inline Samples mixed(const Samples& a, const Samples& b) {
    Samples sum(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum[i] = static_cast<std::int16_t>(std::clamp(a[i] + b[i], -32768, 32767));
    }
    return sum;
}

// Mean power of `audio` over the samples where `inTone` says so.
template <typename Where>
double meanPower(const Samples& audio, Where inTone) {
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < audio.size(); ++i) {
        if (!inTone(i)) continue;
        sum += static_cast<double>(audio[i]) * audio[i];
        ++count;
    }
    return count == 0 ? 0.0 : sum / static_cast<double>(count);
}

inline bool inTone(std::size_t i) {
    return i % second < second / 2;
}

// The middle of each gap, away from the tone's edges.
inline bool inGap(std::size_t i) {
    const std::size_t at = i % second;
    return at >= second * 6 / 10 && at < second * 9 / 10;
}

inline double decibels(double ratio) {
    return 10.0 * std::log10(ratio);
}

}  // namespace voxquill::synthetic
