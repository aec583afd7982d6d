#pragma once

#include "platform/audio/samples.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace voxquill {

// Decodes the pieces of a recording, one after another; each worker has its
// own, since a decoder may not be shared between threads. One thread at a
// time.
class PieceDecoder {
public:
    virtual ~PieceDecoder() = default;

    // Appends the words spoken in `piece`, which is read during the call
    // only. False, with `error` set, on failure.
    virtual bool decode(const Samples& piece, std::vector<std::string>& words, std::string& error) = 0;
};

// Makes a worker's decoder, the worker's own; null, with `error` set, when it
// cannot. Called on each worker's thread, several at once.
using PieceDecoderMaker = std::function<std::unique_ptr<PieceDecoder>(std::string& error)>;

// Replaces `samples` with the next chunk of the recording as it is read;
// empty at its end. Called on the thread that decodes in pieces only.
using SampleReader = std::function<bool(Samples& samples, std::string& error)>;

struct PiecewiseSettings {
    std::size_t pieceSamples;
    std::size_t searchSamples;
    unsigned workers;
};

// Reads the recording, cuts it at pauses and decodes the pieces on up to
// `workers` threads at once, each worker started only once there is a piece
// for it. The words of the whole recording in order, or false with the first
// error. Returns once every worker has ended; `read` and `makeDecoder` are
// not used after.
bool decodeInPieces(const SampleReader& read, const PieceDecoderMaker& makeDecoder, const PiecewiseSettings& settings,
                    std::vector<std::string>& words, std::string& error);

}  // namespace voxquill
