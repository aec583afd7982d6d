#include "platform/signal/band.h"

#include "platform/audio/samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace voxquill {
namespace {

// A sweep from 200 Hz to `topHz` and back, over and over, `seconds` long,
// at a third of full scale: energy across the whole band up to `topHz`.
Samples sweep(double topHz, double seconds) {
    const double pi = std::acos(-1.0);
    const auto count = static_cast<std::size_t>(seconds * recognizerSampleRate);
    Samples samples(count);
    double phase = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = std::fmod(static_cast<double>(i) / recognizerSampleRate, 1.0);
        const double hertz = 200.0 + (topHz - 200.0) * (t < 0.5 ? 2 * t : 2 - 2 * t);
        phase += 2 * pi * hertz / recognizerSampleRate;
        samples[i] = static_cast<std::int16_t>(10000 * std::sin(phase));
    }
    return samples;
}

bool isNarrowBand(const std::int16_t* samples, std::size_t count) {
    BandMeter meter;
    meter.add(samples, count);
    return meter.isNarrowBand();
}

TEST(Band, ASweepTo7KHzIsWideAndTheSameTo3KHzIsNarrow) {
    const Samples wide = sweep(7000.0, 3.0);
    const Samples narrow = sweep(3300.0, 3.0);
    EXPECT_FALSE(isNarrowBand(wide.data(), wide.size()));
    EXPECT_TRUE(isNarrowBand(narrow.data(), narrow.size()));
}

TEST(Band, NarrowBandUnderWideBandNoiseIsWide) {
    // Hiss over a telephone recording puts energy back above the band: the
    // audio as the engine sees it is wide band.
    Samples noisy = sweep(3300.0, 3.0);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    for (auto& sample : noisy) sample = static_cast<std::int16_t>(sample + noise(random));
    EXPECT_FALSE(isNarrowBand(noisy.data(), noisy.size()));
}

TEST(Band, UndecidedUntilASecondOfAudioWithEnergyInTheBand) {
    BandMeter meter;
    const Samples silence(3 * recognizerSampleRate, 0);
    meter.add(silence.data(), silence.size());
    EXPECT_FALSE(meter.highBandDecibels());
    EXPECT_FALSE(meter.canTell()) << "digital silence says nothing of the band";
    const Samples narrow = sweep(3300.0, 0.5);
    meter.add(narrow.data(), narrow.size());
    EXPECT_TRUE(meter.canTell()) << "the silence counted towards the second";
    EXPECT_TRUE(meter.isNarrowBand());

    BandMeter fresh;
    fresh.add(narrow.data(), narrow.size());
    EXPECT_FALSE(fresh.canTell());
    EXPECT_FALSE(fresh.isNarrowBand());
}

TEST(Band, AudioTakenInAnyChunksMeasuresAsAWhole) {
    const Samples audio = sweep(7000.0, 2.0);
    BandMeter whole;
    whole.add(audio.data(), audio.size());
    BandMeter chunked;
    for (std::size_t at = 0, chunk = 1; at < audio.size(); at += chunk, chunk = chunk * 3 % 1021 + 1) {
        chunked.add(audio.data() + at, std::min(chunk, audio.size() - at));
    }
    ASSERT_TRUE(whole.highBandDecibels());
    EXPECT_DOUBLE_EQ(*chunked.highBandDecibels(), *whole.highBandDecibels());
}

}  // namespace
}  // namespace voxquill
