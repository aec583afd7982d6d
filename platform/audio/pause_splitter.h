#pragma once

#include "platform/audio/samples.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxquill {

// Cuts a stream of 16 kHz samples into pieces that can be decoded apart from
// one another: once a piece is `pieceSamples` long, it ends in the quietest
// stretch of the `searchSamples` that follow, which in speech is a pause
// between phrases, so no word is cut in two.
class PauseSplitter {
public:
    PauseSplitter(std::size_t pieceSamples, std::size_t searchSamples);

    // Adds samples; the pieces they complete are appended to `pieces`.
    void append(const std::int16_t* samples, std::size_t count, std::vector<Samples>& pieces);

    // What is left at the end of the stream (may be empty).
    Samples rest();

private:
    std::size_t quietestCut() const;

    std::size_t pieceSamples_;
    std::size_t searchSamples_;
    Samples buffer_;
};

}  // namespace voxquill
