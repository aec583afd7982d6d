#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxquill {

// Measures how far the speech in 16 kHz audio stands above its noise floor,
// from the mean power of its 10-ms frames. Audio may come in chunks of any
// size; an unfinished frame waits for the next chunk. One stream, one thread
// at a time.
class NoiseFloor {
public:
    // The samples are read during the call only.
    void add(const std::int16_t* samples, std::size_t count);

    // Decibels between the loud frames and the quiet ones; infinite when the
    // quiet ones are digital silence, zero before a whole frame has come.
    double speechOverNoiseDb() const;

    std::size_t samplesAdded() const { return added_; }

private:
    std::vector<double> framePowers_;
    double partialSum_ = 0.0;
    std::size_t partialCount_ = 0;
    std::size_t added_ = 0;
};

// The same for audio at hand, read during the call only; any thread.
double speechOverNoiseDb(const std::int16_t* samples, std::size_t count);

}  // namespace voxquill
