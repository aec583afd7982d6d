#include "platform/signal/spectrum.h"

#include <cmath>
#include <utility>

namespace voxquill {

PowerSpectrum::PowerSpectrum(std::size_t blockSize)
    : window_(blockSize), real_(blockSize), imaginary_(blockSize), power_(blockSize / 2 + 1) {
    const double pi = std::acos(-1.0);
    for (std::size_t i = 0; i < blockSize; ++i) {
        window_[i] = 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i) / static_cast<double>(blockSize));
    }
}

const std::vector<double>& PowerSpectrum::of(const std::int16_t* samples) {
    for (std::size_t i = 0; i < window_.size(); ++i) {
        real_[i] = window_[i] * samples[i];
        imaginary_[i] = 0.0;
    }
    transform();
    for (std::size_t k = 0; k < power_.size(); ++k) power_[k] = real_[k] * real_[k] + imaginary_[k] * imaginary_[k];
    return power_;
}

// In place, radix 2: the samples in bit-reversed order, then butterflies.
void PowerSpectrum::transform() {
    const std::size_t n = real_.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) {
            std::swap(real_[i], real_[j]);
            std::swap(imaginary_[i], imaginary_[j]);
        }
    }
    const double pi = std::acos(-1.0);
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = -2 * pi / static_cast<double>(length);
        for (std::size_t start = 0; start < n; start += length) {
            for (std::size_t k = 0; k < length / 2; ++k) {
                const double wr = std::cos(angle * static_cast<double>(k));
                const double wi = std::sin(angle * static_cast<double>(k));
                const std::size_t a = start + k;
                const std::size_t b = a + length / 2;
                const double tr = real_[b] * wr - imaginary_[b] * wi;
                const double ti = real_[b] * wi + imaginary_[b] * wr;
                real_[b] = real_[a] - tr;
                imaginary_[b] = imaginary_[a] - ti;
                real_[a] += tr;
                imaginary_[a] += ti;
            }
        }
    }
}

}  // namespace voxquill
