#include "platform/signal/band.h"

#include "platform/audio/samples.h"
#include "platform/signal/signal_settings.h"

#include <algorithm>
#include <cmath>

namespace voxquill {

namespace {

// Blocks before telling.
constexpr std::size_t blocksToTell = band::tellAfterSamples / band::blockSamples;

std::size_t binOf(double hertz) {
    return static_cast<std::size_t>(std::lround(hertz * band::blockSamples / recognizerSampleRate));
}

double sumOfBins(const std::vector<double>& power, double lowHz, double highHz) {
    double sum = 0;
    for (std::size_t k = binOf(lowHz); k <= binOf(highHz) && k < power.size(); ++k) sum += power[k];
    return sum;
}

}  // namespace

BandMeter::BandMeter() : spectrum_(band::blockSamples) {}

void BandMeter::add(const std::int16_t* samples, std::size_t count) {
    std::size_t at = 0;
    if (!pending_.empty()) {
        at = std::min(count, band::blockSamples - pending_.size());
        pending_.insert(pending_.end(), samples, samples + at);
        if (pending_.size() < band::blockSamples) return;
        addBlock(pending_.data());
        pending_.clear();
    }
    for (; at + band::blockSamples <= count; at += band::blockSamples) addBlock(samples + at);
    pending_.assign(samples + at, samples + count);
}

void BandMeter::addBlock(const std::int16_t* block) {
    const std::vector<double>& power = spectrum_.of(block);
    inBand_ += sumOfBins(power, band::inBandLowHz, band::inBandHighHz);
    aboveBand_ += sumOfBins(power, band::aboveBandLowHz, band::aboveBandHighHz);
    ++blocks_;
}

std::optional<double> BandMeter::highBandDecibels() const {
    if (inBand_ <= 0) return std::nullopt;
    // The bands are not as wide as each other: compare energy per bin.
    const double inBins = static_cast<double>(binOf(band::inBandHighHz) - binOf(band::inBandLowHz) + 1);
    const double aboveBins = static_cast<double>(binOf(band::aboveBandHighHz) - binOf(band::aboveBandLowHz) + 1);
    const double ratio = (aboveBand_ / aboveBins) / (inBand_ / inBins);
    return 10.0 * std::log10(std::max(ratio, 1e-30));
}

bool BandMeter::canTell() const {
    return blocks_ >= blocksToTell && highBandDecibels();
}

bool BandMeter::isNarrowBand() const {
    return canTell() && *highBandDecibels() < band::narrowBelowDecibels;
}

}  // namespace voxquill
