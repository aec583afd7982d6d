#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct soxr;

namespace voxquill {

// Brings mono audio at any rate to the recognizer's 16 kHz, a block at a
// time; a recording whose rate changes part-way goes on at the new rate.
// One thread at a time.
class Resampler {
public:
    Resampler() = default;
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Appends to `out` what `count` samples at `rate` give at 16 kHz (some
    // may be held back until more come); `in` is only read during the call.
    // False, with `error` the reason, when the rate cannot be resampled.
    bool convert(const float* in, std::size_t count, int rate, std::vector<float>& out, std::string& error);

    // Appends what is held back, at the end of the recording. False, with
    // `error` the reason, when the library fails.
    bool drain(std::vector<float>& out, std::string& error);

private:
    bool process(const float* in, std::size_t count, std::vector<float>& out, std::string& error);

    int rate_ = 0;
    soxr* soxr_ = nullptr;
};

}  // namespace voxquill
