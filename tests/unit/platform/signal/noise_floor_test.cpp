#include "platform/signal/noise_floor.h"

#include "synthetic_signal.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

using namespace synthetic;

TEST(NoiseFloor, TellsCleanSpeechFromNoisy) {
    const Samples clean = toneBursts(4 * second);
    // The pauses are digital silence: no floor at all.
    EXPECT_GT(speechOverNoiseDb(clean.data(), clean.size()), 60.0);

    const Samples at20 = mixed(clean, whiteNoise(clean.size(), 20.0));
    EXPECT_NEAR(speechOverNoiseDb(at20.data(), at20.size()), 20.0, 2.0);
    const Samples at10 = mixed(clean, whiteNoise(clean.size(), 10.0));
    EXPECT_NEAR(speechOverNoiseDb(at10.data(), at10.size()), 10.0, 2.0);

    // Noise alone has no speech above it.
    const Samples noise = whiteNoise(2 * second, 20.0);
    EXPECT_LT(speechOverNoiseDb(noise.data(), noise.size()), 3.0);
}

TEST(NoiseFloor, ChunksOfAnySizeMeasureAsTheWhole) {
    const Samples audio = mixed(toneBursts(3 * second), whiteNoise(3 * second, 15.0));
    NoiseFloor chunked;
    std::size_t at = 0;
    for (std::size_t size = 1; at < audio.size(); size = size * 3 + 1) {
        const std::size_t count = std::min(size % 997 + 1, audio.size() - at);
        chunked.add(audio.data() + at, count);
        at += count;
    }
    EXPECT_EQ(chunked.samplesAdded(), audio.size());
    EXPECT_DOUBLE_EQ(chunked.speechOverNoiseDb(), speechOverNoiseDb(audio.data(), audio.size()));
}

TEST(NoiseFloor, LessThanAFrameMeasuresNothing) {
    const Samples few(100, 1000);
    EXPECT_EQ(speechOverNoiseDb(few.data(), few.size()), 0.0);
    EXPECT_EQ(speechOverNoiseDb(nullptr, 0), 0.0);
}

}  // namespace
}  // namespace voxquill
