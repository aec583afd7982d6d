#include "platform/signal/band.h"

#include "platform/audio/samples.h"

#include <algorithm>
#include <cmath>

namespace voxquill {

namespace {

// 32-ms frames: bins of 31.25 Hz.
constexpr std::size_t frameSize = 512;

// The band a telephone carries, and above it a band that wide-band speech
// fills (fricatives, the upper formants) and narrow-band audio leaves at the
// floor, clear of the resampler's and the telephone filter's slopes.
constexpr double inBandLowHz = 300.0;
constexpr double inBandHighHz = 3400.0;
constexpr double aboveBandLowHz = 4300.0;
constexpr double aboveBandHighHz = 7600.0;

// Wide-band speech keeps its energy above the band at -41 to +1 dB of the
// energy within it, over its first second or the whole of it; audio that
// came at 8 kHz, or through a telephone band, at -64 dB or below
// (bench/NOTES.md).
constexpr double narrowBelowDecibels = -52.0;

// A second of audio before telling.
constexpr std::size_t framesToTell = recognizerSampleRate / frameSize;

std::size_t binOf(double hertz) {
    return static_cast<std::size_t>(std::lround(hertz * frameSize / recognizerSampleRate));
}

double sumOfBins(const std::vector<double>& power, double lowHz, double highHz) {
    double sum = 0;
    for (std::size_t k = binOf(lowHz); k <= binOf(highHz) && k < power.size(); ++k) sum += power[k];
    return sum;
}

}  // namespace

BandMeter::BandMeter() : spectrum_(frameSize) {}

void BandMeter::add(const std::int16_t* samples, std::size_t count) {
    std::size_t at = 0;
    if (!pending_.empty()) {
        at = std::min(count, frameSize - pending_.size());
        pending_.insert(pending_.end(), samples, samples + at);
        if (pending_.size() < frameSize) return;
        addFrame(pending_.data());
        pending_.clear();
    }
    for (; at + frameSize <= count; at += frameSize) addFrame(samples + at);
    pending_.assign(samples + at, samples + count);
}

void BandMeter::addFrame(const std::int16_t* frame) {
    const std::vector<double>& power = spectrum_.of(frame);
    inBand_ += sumOfBins(power, inBandLowHz, inBandHighHz);
    aboveBand_ += sumOfBins(power, aboveBandLowHz, aboveBandHighHz);
    ++frames_;
}

std::optional<double> BandMeter::highBandDecibels() const {
    if (inBand_ <= 0) return std::nullopt;
    // The bands are not as wide as each other: compare energy per bin.
    const double inBins = static_cast<double>(binOf(inBandHighHz) - binOf(inBandLowHz) + 1);
    const double aboveBins = static_cast<double>(binOf(aboveBandHighHz) - binOf(aboveBandLowHz) + 1);
    const double ratio = (aboveBand_ / aboveBins) / (inBand_ / inBins);
    return 10.0 * std::log10(std::max(ratio, 1e-30));
}

bool BandMeter::canTell() const {
    return frames_ >= framesToTell && highBandDecibels();
}

bool BandMeter::isNarrowBand() const {
    return canTell() && *highBandDecibels() < narrowBelowDecibels;
}

}  // namespace voxquill
