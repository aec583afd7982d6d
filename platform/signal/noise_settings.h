#pragma once

#include <cstddef>

namespace voxquill::noise {

// How noisy audio is judged: the mean power of its 10-ms frames, the loud
// ones (this percentile) standing for the speech and the quiet ones (this
// one) for the noise between words.
inline constexpr double speechPercentile = 95.0;
inline constexpr double floorPercentile = 5.0;

// Audio whose speech stands less than this far above its floor is denoised
// first; cleaner audio loses more to the denoiser than it gains
// (bench/NOTES.md, section 10).
inline constexpr double noisyBelowDb = 27.0;

// How far speexdsp's preprocessor may take noise down, in dB (its own
// default).
inline constexpr int suppressionDb = -15;

// Live audio cannot be looked ahead: it is judged on its first seconds, and
// decoded as it is meanwhile. Audio that does not yet hold speech (its loud
// frames little above its quiet ones) is measured on, a step at a time, up
// to the longest.
inline constexpr std::size_t liveJudgedAfterSamples = 24000;      // 1.5 s, a step
inline constexpr std::size_t liveJudgedAtLatestSamples = 168000;  // 10.5 s
inline constexpr double holdsSpeechAboveDb = 8.0;

}  // namespace voxquill::noise
