#include "platform/audio/pause_splitter.h"

#include <utility>

namespace voxquill {

namespace {

// 10-ms frames; a pause is looked for as the quietest 300 ms.
constexpr std::size_t pauseFrames = 30;

std::int64_t energyOf(const std::int16_t* frame) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < frameSamples; ++i) sum += std::int64_t{frame[i]} * frame[i];
    return sum;
}

}  // namespace

PauseSplitter::PauseSplitter(std::size_t pieceSamples, std::size_t searchSamples)
    : pieceSamples_(pieceSamples), searchSamples_(searchSamples) {}

void PauseSplitter::append(const std::int16_t* samples, std::size_t count, std::vector<Samples>& pieces) {
    buffer_.insert(buffer_.end(), samples, samples + count);
    while (buffer_.size() >= pieceSamples_ + searchSamples_) {
        const std::size_t cut = quietestCut();
        pieces.emplace_back(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(cut));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(cut));
    }
}

Samples PauseSplitter::rest() {
    return std::exchange(buffer_, Samples());
}

// The middle of the quietest window of frames in the search stretch.
std::size_t PauseSplitter::quietestCut() const {
    std::vector<std::int64_t> energies;
    for (std::size_t at = pieceSamples_; at + frameSamples <= pieceSamples_ + searchSamples_; at += frameSamples) {
        energies.push_back(energyOf(buffer_.data() + at));
    }
    if (energies.size() < pauseFrames) return pieceSamples_ + searchSamples_ / 2;
    std::int64_t window = 0;
    for (std::size_t i = 0; i < pauseFrames; ++i) window += energies[i];
    std::int64_t quietest = window;
    std::size_t start = 0;
    for (std::size_t i = pauseFrames; i < energies.size(); ++i) {
        window += energies[i] - energies[i - pauseFrames];
        if (window < quietest) {
            quietest = window;
            start = i - pauseFrames + 1;
        }
    }
    return pieceSamples_ + (start + pauseFrames / 2) * frameSamples;
}

}  // namespace voxquill
