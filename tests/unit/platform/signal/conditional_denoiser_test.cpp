#include "platform/signal/conditional_denoiser.h"

#include "platform/signal/signal_settings.h"

#include "synthetic_signal.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

using namespace synthetic;

TEST(DenoiseIfNoisy, CleanAudioIsLeftAloneAndNoisyAudioDenoised) {
    const Samples clean = toneBursts(4 * second);
    Samples same = clean;
    denoiseIfNoisy(same);
    EXPECT_EQ(same, clean);

    const Samples noise = whiteNoise(clean.size(), 20.0);
    const Samples noisy = mixed(clean, noise);
    Samples denoised = noisy;
    denoiseIfNoisy(denoised);
    ASSERT_EQ(denoised.size(), noisy.size());
    EXPECT_LT(decibels(meanPower(denoised, inGap) / meanPower(noise, inGap)), -3.0);
    EXPECT_NEAR(decibels(meanPower(denoised, inTone) / meanPower(clean, inTone)), 0.0, 1.5);
}

// Feeds `audio` through a gate in buffers of the given sizes, in turn.
Samples throughGate(const Samples& audio, std::initializer_list<std::size_t> sizes) {
    LiveConditionalDenoiser gate;
    Samples out;
    const std::vector<std::size_t> turns(sizes);
    for (std::size_t at = 0, k = 0; at < audio.size(); ++k) {
        const std::size_t count = std::min(turns[k % turns.size()], audio.size() - at);
        const Samples buffer(audio.begin() + static_cast<std::ptrdiff_t>(at),
                             audio.begin() + static_cast<std::ptrdiff_t>(at + count));
        const Samples& passed = gate.pass(buffer);
        out.insert(out.end(), passed.begin(), passed.end());
        at += count;
    }
    const Samples& rest = gate.finish();
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

TEST(LiveConditionalDenoiser, CleanAudioGoesThroughAsItIs) {
    const Samples clean = toneBursts(6 * second);
    EXPECT_EQ(throughGate(clean, {4096}), clean);
    EXPECT_EQ(throughGate(clean, {1, 777, 160}), clean);
}

TEST(LiveConditionalDenoiser, NoisyAudioIsDenoisedOnceJudgedWithNothingLost) {
    const Samples clean = toneBursts(6 * second);
    const Samples noise = whiteNoise(clean.size(), 20.0);
    const Samples noisy = mixed(clean, noise);
    const Samples inWholeBuffers = throughGate(noisy, {4096});
    for (auto sizes : {std::initializer_list<std::size_t>{4096}, {1, 777, 160, 5000}}) {
        const Samples out = throughGate(noisy, sizes);
        // Wherever the buffers end, the same samples: denoising starts at the
        // same place.
        EXPECT_EQ(out, inWholeBuffers);
        ASSERT_EQ(out.size(), noisy.size());
        // The first audio goes on at once, as it came.
        EXPECT_TRUE(std::equal(noisy.begin(), noisy.begin() + noise::liveJudgedAfterSamples, out.begin()));
        auto lastSeconds = [](auto where) { return [where](std::size_t i) { return i >= 3 * second && where(i); }; };
        EXPECT_LT(decibels(meanPower(out, lastSeconds(inGap)) / meanPower(noise, lastSeconds(inGap))), -3.0);
        EXPECT_NEAR(decibels(meanPower(out, lastSeconds(inTone)) / meanPower(clean, lastSeconds(inTone))), 0.0, 1.5);
    }
}

TEST(LiveConditionalDenoiser, WaitsForSpeechBeforeJudging) {
    // A clean recording whose first seconds are a quiet room's hiss alone:
    // hiss 50 dB under the speech is no reason to denoise.
    const Samples hiss = whiteNoise(8 * second, 50.0);
    Samples speech = toneBursts(8 * second);
    std::fill(speech.begin(), speech.begin() + 3 * second, 0);
    const Samples audio = mixed(speech, hiss);
    EXPECT_EQ(throughGate(audio, {4096}), audio);
}

}  // namespace
}  // namespace voxquill
