#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxquill {

// The power spectrum of one frame of samples, Hann-windowed: `frameSize`
// samples (a power of two) give frameSize / 2 + 1 bins, bin k at
// k * sampleRate / frameSize.
class PowerSpectrum {
public:
    explicit PowerSpectrum(std::size_t frameSize);

    std::size_t frameSize() const { return window_.size(); }

    // `samples` holds frameSize() samples; the result is valid until the next call.
    const std::vector<double>& of(const std::int16_t* samples);

private:
    void transform();

    std::vector<double> window_;
    std::vector<double> real_;
    std::vector<double> imaginary_;
    std::vector<double> power_;
};

}  // namespace voxquill
