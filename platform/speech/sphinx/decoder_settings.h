#pragma once

#include <cstddef>

namespace voxquill::decoding {

// One way of searching: how wide, which of the engine's second passes, and
// what it costs, in seconds of one core per second of audio, measured on the
// 2-core Debian 12 machine of bench/NOTES.md.
struct Search {
    int hmmsPerFrame;    // active HMMs a frame (the engine's default is 30000)
    bool flatPass;       // the second, flat-lexicon pass over each utterance
    bool bestPath;       // the best path through the lattice of each utterance
    double coreSeconds;  // per second of audio
};

// The searches a recording may get, the most accurate first. A recording
// gets the first that finishes well inside the deadline on the workers it
// has, and a narrower one for the pieces still to come when decoding falls
// behind.
// The engine's defaults (30000, both passes) were no more accurate than 5000
// with both passes, for a third more time (bench/NOTES.md).
inline constexpr Search recordingSearches[] = {
    {5000, true, true, 0.11},
    {2000, false, true, 0.07},
    {1000, false, false, 0.052},
};
inline constexpr std::size_t recordingSearchCount = sizeof recordingSearches / sizeof recordingSearches[0];

// Live dictation: short sessions lost words below 5000 HMMs, which still
// keeps the text up with the speaker. Each utterance's words, once it ends,
// come from the best path through its lattice (cheap: 4.5 points fewer errors
// on the accuracy harness), while partials show the first pass. Not the flat
// pass: it rescans the whole utterance when it ends, so the closing line
// came up to 0.7 s after the writer's close, for under a point more.
// Live audio comes at its own pace, so its cost plans nothing.
inline constexpr Search liveSearch{5000, false, true, 0.0};

// A quiet recording loses the softer sounds of speech in the engine's front
// end: each piece is raised so its loudest sample is at half of full scale,
// by at most this much (a recording 30 dB quieter than its source needs 32).
inline constexpr double nominalPeak = 0.5;
inline constexpr double mostGain = 64.0;

// Live audio cannot be looked at ahead for its peak: its gain aims at the
// same peak over the loudest sample so far and rises by at most a factor of
// two in this much audio, slowly enough for normalisation to follow.
inline constexpr double liveGainDoublingSeconds = 0.5;

// The time decoding plans to finish in, of the 45-s deadline: the rest is for
// start-up, the last piece and a machine slower than the one measured.
inline constexpr double plannedSeconds = 30.0;

// Each worker holds a decoder of its own with its copy of the model.
inline constexpr unsigned long long bytesPerWorker = 150ull * 1024 * 1024;

}  // namespace voxquill::decoding
