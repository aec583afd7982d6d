#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace voxquill {

// What the live loop (live_decoding.h) feeds: the engine's dictation
// decoder, or a test's stand-in. One thread at a time: the loop's.
class LiveDecoder {
public:
    virtual ~LiveDecoder() = default;

    // 16 kHz mono samples, read during the call only. False, with `error`
    // set, when the engine fails.
    virtual bool feed(const std::int16_t* samples, std::size_t count, std::string& error) = 0;

    // Closes the utterance under way at the end of the audio.
    virtual bool endAudio(std::string& error) = 0;

    // Samples fed since the utterance under way began with speech; none
    // between utterances.
    virtual std::size_t utteranceSamples() const = 0;

    // Ends the utterance under way now, as a pause would: its words join
    // the transcript, and what is fed next begins another.
    virtual bool cutUtterance(std::string& error) = 0;

    // The words of the utterances that are over.
    virtual std::string transcript() const = 0;

    // The words so far, the best guess at the utterance under way included.
    virtual std::string partialTranscript() const = 0;

    // The audio has turned out narrow band (a telephone line, an 8-kHz
    // source).
    virtual void goOnFromNarrowBandMean() = 0;
};

}  // namespace voxquill
