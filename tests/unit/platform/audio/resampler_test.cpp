#include "platform/audio/resampler.h"

#include <gtest/gtest.h>

#include <cmath>

namespace voxquill {
namespace {

std::vector<float> tone(int rate, double seconds) {
    std::vector<float> samples(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(0.25 * std::sin(2 * M_PI * 440 * static_cast<double>(i) / rate));
    }
    return samples;
}

// Feeds `samples` at `rate` in pieces of 1000, as a decoder would.
void feed(Resampler& resampler, const std::vector<float>& samples, int rate, std::vector<float>& out) {
    std::string reason;
    for (std::size_t at = 0; at < samples.size(); at += 1000) {
        const std::size_t count = std::min<std::size_t>(1000, samples.size() - at);
        ASSERT_TRUE(resampler.convert(samples.data() + at, count, rate, out, reason)) << reason;
    }
}

TEST(Resampler, PassesSixteenKilohertzThroughUnchanged) {
    Resampler resampler;
    const std::vector<float> in = tone(16000, 0.5);
    std::vector<float> out;
    feed(resampler, in, 16000, out);
    std::string reason;
    ASSERT_TRUE(resampler.drain(out, reason));
    EXPECT_EQ(out, in);
}

TEST(Resampler, KeepsEveryStretchWhenTheRateChangesPartWay) {
    // A second at each rate: nothing held back at a change is lost.
    Resampler resampler;
    std::vector<float> out;
    feed(resampler, tone(8000, 1), 8000, out);
    feed(resampler, tone(44100, 1), 44100, out);
    feed(resampler, tone(16000, 1), 16000, out);
    feed(resampler, tone(22050, 1), 22050, out);
    std::string reason;
    ASSERT_TRUE(resampler.drain(out, reason)) << reason;
    EXPECT_NEAR(static_cast<double>(out.size()), 4 * 16000.0, 64.0);
    // The tone's level survives each stretch.
    for (int second = 0; second < 4; ++second) {
        float peak = 0;
        for (std::size_t i = 4000; i < 12000; ++i) peak = std::max(peak, std::abs(out[second * 16000 + i]));
        EXPECT_NEAR(peak, 0.25, 0.02) << "second " << second;
    }
}

TEST(Resampler, ResamplesWhatComesAfterADrain) {
    Resampler resampler;
    std::vector<float> out;
    std::string reason;
    feed(resampler, tone(44100, 1), 44100, out);
    ASSERT_TRUE(resampler.drain(out, reason));
    feed(resampler, tone(44100, 1), 44100, out);
    ASSERT_TRUE(resampler.drain(out, reason));
    EXPECT_NEAR(static_cast<double>(out.size()), 2 * 16000.0, 64.0);
}

TEST(Resampler, RefusesARateItCannotConvert) {
    Resampler resampler;
    std::vector<float> out;
    std::string reason;
    const float sample = 0;
    EXPECT_FALSE(resampler.convert(&sample, 1, -5, out, reason));
    EXPECT_EQ(reason, "cannot resample from -5 Hz");
}

}  // namespace
}  // namespace voxquill
