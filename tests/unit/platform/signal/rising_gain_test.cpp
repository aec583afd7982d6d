// Synthetic signals through the live gain: it never clips, never goes past
// its cap, rises no faster than it may, and leaves loud audio alone.

#include "platform/signal/rising_gain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace voxquill {
namespace {

constexpr double pi = 3.14159265358979323846;

// `seconds` of a 440-Hz tone whose peak is `amplitude`.
Samples tone(double amplitude, double seconds) {
    Samples samples(static_cast<std::size_t>(seconds * recognizerSampleRate));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * pi * 440.0 * static_cast<double>(i) / recognizerSampleRate)));
    return samples;
}

int loudest(const Samples& samples) {
    int most = 0;
    for (std::int16_t sample : samples) most = std::max(most, std::abs(static_cast<int>(sample)));
    return most;
}

// Feeds `audio` in live mode's buffers of 4096 samples; returns what came out.
Samples throughGain(RisingGain& gain, const Samples& audio) {
    Samples out;
    for (std::size_t at = 0; at < audio.size(); at += 4096) {
        Samples buffer(audio.begin() + static_cast<long>(at),
                       audio.begin() + static_cast<long>(std::min(audio.size(), at + 4096)));
        gain.apply(buffer);
        out.insert(out.end(), buffer.begin(), buffer.end());
    }
    return out;
}

TEST(RisingGain, AFaintToneRisesSlowlyToTheCapAndNoFurther) {
    RisingGain gain(0.5, 64.0, 0.5);
    const Samples faint = tone(10.0, 8.0);
    const Samples raised = throughGain(gain, faint);
    // After half a second, at most twice as loud (one doubling), give or take rounding.
    const Samples firstHalfSecond(raised.begin() + 7000, raised.begin() + 8000);
    EXPECT_LE(loudest(firstHalfSecond), 21);
    // Long after: exactly the cap, 64 times.
    const Samples lastSecond(raised.end() - recognizerSampleRate, raised.end());
    EXPECT_EQ(loudest(lastSecond), 640);
    for (std::size_t i = 0; i < faint.size(); ++i) ASSERT_LE(std::abs(raised[i]), 64 * std::abs(faint[i]) + 1) << i;
}

TEST(RisingGain, LouderAudioAfterQuietNeverClipsNorPassesThePeak) {
    RisingGain gain(0.5, 64.0, 0.5);
    // Quiet for long enough to reach the cap, then a tone at -4 dBFS, then full scale.
    Samples audio = tone(100.0, 6.0);
    const Samples loud = tone(20000.0, 1.0);
    const Samples full = tone(32767.0, 1.0);
    audio.insert(audio.end(), loud.begin(), loud.end());
    audio.insert(audio.end(), full.begin(), full.end());
    const Samples raised = throughGain(gain, audio);
    const Samples quietPart(raised.begin(), raised.begin() + 6 * recognizerSampleRate);
    EXPECT_LE(loudest(quietPart), 16384);
    EXPECT_GT(loudest(quietPart), 100 * 32);
    const Samples afterwards(raised.begin() + 6 * recognizerSampleRate, raised.end());
    const Samples original(audio.begin() + 6 * recognizerSampleRate, audio.end());
    // Loud audio gets no gain at all: nothing clips, nothing changes.
    EXPECT_EQ(afterwards, original);
}

TEST(RisingGain, SilenceStaysSilentAndLoudAudioIsLeftAlone) {
    RisingGain gain(0.5, 64.0, 0.5);
    const Samples silence(3 * recognizerSampleRate, 0);
    EXPECT_EQ(throughGain(gain, silence), silence);
    RisingGain other(0.5, 64.0, 0.5);
    const Samples loud = tone(20000.0, 2.0);
    EXPECT_EQ(throughGain(other, loud), loud);
}

}  // namespace
}  // namespace voxquill
