#pragma once

#include "platform/audio/samples.h"

#include <cstddef>
#include <vector>

namespace voxquill {

// Cuts a stream, in whatever pieces it comes, into blocks of one size, so
// that what is decided block by block falls on the same samples however the
// stream was cut. One stream, one thread at a time.
class BlockCutter {
public:
    explicit BlockCutter(std::size_t blockSamples);

    // The whole blocks `piece` completes, in order; what is left over waits
    // for the next piece. The piece is read during the call only.
    std::vector<Samples> cut(const Samples& piece);

    // Once the stream has ended: what is left, shorter than a block.
    Samples rest();

private:
    std::size_t blockSamples_;
    Samples pending_;
};

}  // namespace voxquill
