#pragma once

#include "platform/audio/samples.h"

#include <cstddef>

// The tuned numbers of decoding, measured as bench/NOTES.md tells; those of
// the signal before the engine are in platform/signal/signal_settings.h.
// Constants: any thread.

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

// The engine's penalty for each word it takes, in both modes and every
// search: on real recorded speech its default (0.65) took more words than
// were said; 0.2 gave fewer errors in every group of real speech, at no cost
// in time. Lower language weights gained more on real speech but lost words
// in white noise and cost a third more time (bench/NOTES.md 15.5). As the
// engine reads it (-wip).
inline constexpr const char* wordInsertionPenalty = "0.2";

// An utterance's words keep those of its best path through at least this
// share of its lattice, in both modes: on real recordings the words below it
// were more often noise and breaths taken for words than words said
// (bench/NOTES.md 15.3). A search without a lattice keeps every word.
inline constexpr double leastWordPosterior = 0.05;

// The share of the file deadline decoding plans to finish in (30 s of 45):
// the rest is for start-up, the last piece and a machine slower than the one
// measured. A share, so that a build with another deadline plans by it.
inline constexpr double plannedShareOfDeadline = 2.0 / 3.0;

// A recording is cut into pieces of 20 s or more, each ending at the
// quietest moment of the 10 s after, so a piece runs 20 to 30 s. Each cut
// costs a little accuracy at the start of the next piece (pieces of 10 s
// made the word error rate of a 10-minute recording 2.5 points worse; of
// 20 s, 0.4 points), and longer pieces leave workers idle for longer at the
// end, when the last piece keeps one worker busy while the others have
// nothing left.
inline constexpr std::size_t pieceSeconds = 20;
inline constexpr std::size_t pauseSearchSeconds = 10;
inline constexpr double longestPieceSeconds = pieceSeconds + pauseSearchSeconds;

// A piece is fed to its decoder as a microphone would feed it: where the
// decoder cuts utterances depends on how often it is asked whether speech
// goes on.
inline constexpr std::size_t recordingFeedSamples = 2048;

// How far live decoding may fall behind the audio before the writer's
// appends wait for it. Two seconds keeps the wait for the final result after
// the end of the input well inside the settle delay, and is more than the
// model takes to load, so a writer at real time does not wait.
inline constexpr std::size_t mostSecondsBehind = 2;
inline constexpr std::size_t mostSamplesBehind = mostSecondsBehind * recognizerSampleRate;

// Live audio is decoded in blocks of one size, however the pipe's reads cut
// it, so that every decision taken block by block (the gain, the band, where
// an utterance ends, when the engine takes a new cepstral mean) falls on the
// same samples whatever the writer's pace, and the same audio gives the same
// words. The size a recording's piece is fed in (128 ms): a writer at real
// time hands over two blocks at a time, so none of its audio waits for a block
// to fill.
inline constexpr std::size_t liveBlockSamples = recordingFeedSamples;

// The engine keeps all of an utterance (its lattice, its back-pointers)
// until the utterance ends, and speech that never pauses (babble, a
// television in the room) never ends one: live decoding ends the utterance
// itself after this much speech, as a piece of a recording ends, and the
// words so far become a final result. Memory: bench/NOTES.md 18.3.
inline constexpr std::size_t longestLiveUtteranceSeconds = 10;
inline constexpr std::size_t longestLiveUtteranceSamples = longestLiveUtteranceSeconds * recognizerSampleRate;

// Live decoding keeps up with the audio while what it has still to decode
// of what it took is at most what a writer at real time hands over at a
// time (8192 bytes, 256 ms): then the text is asked for after every block,
// which costs little (bench/NOTES.md 18).
inline constexpr std::size_t keepingUpSamples = 4096;

// While live decoding falls behind the audio, a partial result at most once
// a second of audio decoded, so a burst is not answered with a partial for
// every buffer of it, and the text seen so far still keeps up.
inline constexpr std::size_t samplesBetweenPartials = recognizerSampleRate;

// Each worker holds a decoder of its own with its copy of the model.
inline constexpr unsigned long long bytesPerWorker = 150ull * 1024 * 1024;
// And the address space a worker takes, its thread's stack and its memory
// arena's reservation included: measured peaks of 412 MB with one worker and
// 652 MB with two, from 125-140 MB at the start (bench/NOTES.md).
inline constexpr unsigned long long addressSpacePerWorker = 260ull * 1024 * 1024;

// Address space held back while a decoder is made and given back should the
// engine run out of memory, so that the failure can still be reported: the
// half-made decoder's memory is never freed.
inline constexpr std::size_t bytesKeptForFailing = 4 * 1024 * 1024;

// Held back for the rest of the program (the pump, the result's delivery,
// the closing line) should the engine take all the memory there is: under
// a tight `ulimit -v`, live mode aborted now and then without it.
inline constexpr std::size_t bytesHeldForTheProgram = 8 * 1024 * 1024;

}  // namespace voxquill::decoding
