#pragma once

#include <array>

// Measured constants: any thread.

namespace voxquill::cepstral {

// The mean cepstrum the en-us model starts normalisation from (its
// feat.params `-cmninit`). Its c0, 41, is far below that of real speech, so
// an utterance decoded from it, before the engine has learnt the speaker's
// mean, loses words.
inline constexpr std::array<float, 13> enUsModelMean{41.00f, -5.29f, -0.12f, 5.09f,  2.48f,  -4.07f, -1.37f,
                                                     -1.78f, -5.08f, -2.05f, -6.45f, -1.42f, 1.17f};

// The mean cepstrum of real speech through the en-us model's front end: each
// recording's own speech mean (the frames live normalisation sums), averaged
// over 150 recordings counted alike, at their own level, about 47 voices:
// the 140 clips of speech-dev (LibriSpeech test-other, 10 speakers; accented
// adults and children of speechocean762, 35 speakers) and Debian's 10 test
// clips. Recordings differ by 5.4 in c0 (standard deviation); the groups'
// own means are 50.3, 53.1 and 57.2. Live mode cannot look ahead for a
// recording's own mean as file mode does, so it starts from this one.
// Recomputed by bench/cepstral_preset (bench/NOTES.md, section 11).
inline constexpr std::array<float, 13> speechMean{51.89f, -1.47f, 1.59f,  6.41f,  -3.54f, -0.26f, -7.13f,
                                                  -1.50f, -4.48f, -0.60f, -0.30f, -0.86f, 1.15f};

// The same for narrow-band speech: the same 150 recordings, each once at
// 8 kHz and once through a telephone band (300-3400 Hz) at 16 kHz, 300 in
// all. With nothing above 4 kHz the higher cepstra sit far from wide-band
// speech's (c1 28 against -1.5, c2 -40 against 1.6); c0 41.7, sd 5.3. Live
// audio found to be narrow band goes on from it (bench/NOTES.md, section 12).
inline constexpr std::array<float, 13> narrowBandSpeechMean{41.70f,  28.42f, -40.45f, 32.29f, -19.22f,
                                                            -15.94f, 10.29f, -31.26f, 5.17f,  -7.25f,
                                                            -13.00f, 7.97f,  -11.58f};

}  // namespace voxquill::cepstral
