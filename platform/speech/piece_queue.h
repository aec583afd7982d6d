#pragma once

#include "platform/audio/samples.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace voxquill {

// Hands the pieces of a recording from the thread that reads it to the
// workers that decode them, and collects their words by piece. At most
// `capacity` pieces wait at a time, so memory does not grow with the file.
// The first failure, from either side, stops everyone. Any thread: the
// reader's and the workers' at once.
class PieceQueue {
public:
    explicit PieceQueue(std::size_t capacity);

    // Blocks while the queue is full; the queue keeps the piece. False once
    // something has failed.
    bool push(Samples piece);

    // No more pieces will come.
    void close();

    // Blocks for the next piece, which becomes the caller's. False when there
    // is none left or something has failed.
    bool pop(std::size_t& index, Samples& piece);

    void store(std::size_t index, std::vector<std::string> words);
    void fail(const std::string& error);

    // Once every worker has stopped: the words of all pieces in order,
    // moved out to the caller, or false with the first error.
    bool collect(std::vector<std::string>& words, std::string& error);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t capacity_;
    std::deque<Samples> waiting_;
    std::size_t popped_ = 0;
    bool closed_ = false;
    std::string error_;
    std::vector<std::vector<std::string>> wordsByPiece_;
};

}  // namespace voxquill
