#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxquill {

// The power spectrum of one block of samples, Hann-windowed: `blockSize`
// samples (a power of two) give blockSize / 2 + 1 bins, bin k at
// k * sampleRate / blockSize. One thread at a time.
class PowerSpectrum {
public:
    explicit PowerSpectrum(std::size_t blockSize);

    // `samples` holds blockSize samples, read during the call only. The
    // result is the spectrum's own, valid until the next call.
    const std::vector<double>& of(const std::int16_t* samples);

private:
    void transform();

    std::vector<double> window_;
    std::vector<double> real_;
    std::vector<double> imaginary_;
    std::vector<double> power_;
};

}  // namespace voxquill
