#include "platform/signal/noise_suppressor.h"

#include "synthetic_signal.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

using namespace synthetic;

Samples suppressedWhole(const Samples& audio) {
    const std::unique_ptr<NoiseSuppressor> suppressor = NoiseSuppressor::create();
    Samples out;
    if (!suppressor) return out;
    suppressor->process(audio.data(), audio.size(), out);
    suppressor->finish(out);
    return out;
}

TEST(NoiseSuppressor, TakesTheNoiseOutAndKeepsTheTone) {
    const Samples clean = toneBursts(4 * second);
    const Samples noise = whiteNoise(clean.size(), 15.0);
    const Samples noisy = mixed(clean, noise);
    const Samples out = suppressedWhole(noisy);
    ASSERT_EQ(out.size(), noisy.size());
    // Past the first second, which the suppressor learns the noise from.
    auto later = [](auto where) { return [where](std::size_t i) { return i >= second && where(i); }; };
    EXPECT_LT(decibels(meanPower(out, later(inGap)) / meanPower(noise, later(inGap))), -3.0);
    EXPECT_NEAR(decibels(meanPower(out, later(inTone)) / meanPower(clean, later(inTone))), 0.0, 1.5);
}

TEST(NoiseSuppressor, EverySampleComesOutOnceInItsPlace) {
    const Samples clean = toneBursts(2 * second);
    const Samples noisy = mixed(clean, whiteNoise(clean.size(), 15.0));
    const Samples whole = suppressedWhole(noisy);
    ASSERT_EQ(whole.size(), noisy.size());

    // Odd chunks, a lone sample among them, give the very same samples.
    const std::unique_ptr<NoiseSuppressor> suppressor = NoiseSuppressor::create();
    ASSERT_TRUE(suppressor);
    Samples chunked;
    const std::size_t sizes[] = {1, 159, 161, 7, 320, 1000, 33};
    for (std::size_t at = 0, k = 0; at < noisy.size(); ++k) {
        const std::size_t count = std::min(sizes[k % std::size(sizes)], noisy.size() - at);
        suppressor->process(noisy.data() + at, count, chunked);
        EXPECT_LE(chunked.size(), at + count);
        at += count;
    }
    suppressor->finish(chunked);
    EXPECT_EQ(chunked, whole);

    // No delay: the tone comes out in phase with the tone that went in (the
    // preprocessor's own frame late would be 0.4 of a period off).
    double product = 0.0;
    double cleanPower = 0.0;
    double outPower = 0.0;
    for (std::size_t i = second; i < clean.size(); ++i) {
        if (!inTone(i)) continue;
        product += static_cast<double>(clean[i]) * whole[i];
        cleanPower += static_cast<double>(clean[i]) * clean[i];
        outPower += static_cast<double>(whole[i]) * whole[i];
    }
    EXPECT_GT(product / std::sqrt(cleanPower * outPower), 0.9);
}

TEST(NoiseSuppressor, ShortStreamsComeOutWhole) {
    for (std::size_t length : {0, 1, 95, 96, 97, 160, 255, 256, 257}) {
        const Samples audio = whiteNoise(length, 0.0);
        EXPECT_EQ(suppressedWhole(audio).size(), length) << length;
    }
}

}  // namespace
}  // namespace voxquill
