#pragma once

#include "platform/audio/samples.h"

#include <cstddef>

// The tuned numbers of the signal chain (signal_chain.h), measured as
// bench/NOTES.md tells. Constants: any thread.

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

namespace voxquill::band {

// The spectrum is taken over blocks of 32 ms: bins of 31.25 Hz.
inline constexpr std::size_t blockSamples = 512;

// The band a telephone carries, and above it a band that wide-band speech
// fills (fricatives, the upper formants) and narrow-band audio leaves at the
// floor, clear of the resampler's and the telephone filter's slopes.
inline constexpr double inBandLowHz = 300.0;
inline constexpr double inBandHighHz = 3400.0;
inline constexpr double aboveBandLowHz = 4300.0;
inline constexpr double aboveBandHighHz = 7600.0;

// Wide-band speech keeps its energy above the band at -41 to +1 dB of the
// energy within it, over its first second or the whole of it; audio that
// came at 8 kHz, or through a telephone band, at -64 dB or below
// (bench/NOTES.md).
inline constexpr double narrowBelowDecibels = -52.0;

// A second of audio before telling.
inline constexpr std::size_t tellAfterSamples = recognizerSampleRate;

}  // namespace voxquill::band

namespace voxquill::level {

// A quiet recording loses the softer sounds of speech in the engine's
// feature extraction: each piece is raised so its loudest sample is at half
// of full scale, by at most this much (a recording 30 dB quieter than its
// source needs 32).
inline constexpr double nominalPeak = 0.5;
inline constexpr double mostGain = 64.0;

// Live audio cannot be looked at ahead for its peak: its gain aims at the
// same peak over the loudest sample so far and rises by at most a factor of
// two in this much audio, slowly enough for normalisation to follow.
inline constexpr double liveGainDoublingSeconds = 0.5;

}  // namespace voxquill::level
