#pragma once

#include "platform/signal/spectrum.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace voxquill {

// Tells narrow-band audio (recorded at 8 kHz, or carried by a telephone
// line) from wide-band audio: how much energy lies above the band a
// telephone carries, against the energy within it. Speech dominates both
// sums, so silences and quiet passages hardly count. 16 kHz mono audio,
// taken as it comes. One stream, one thread at a time.
class BandMeter {
public:
    BandMeter();

    // The samples are copied as needed: the caller keeps its own.
    void add(const std::int16_t* samples, std::size_t count);

    // The energy above the telephone band against the energy within it, in
    // dB; absent until there has been audio with energy in the band.
    std::optional<double> highBandDecibels() const;

    // Whether there has been enough audio to tell: a second of it, with
    // energy in the band.
    bool canTell() const;

    // Whether it can tell, and the audio is narrow band.
    bool isNarrowBand() const;

private:
    void addBlock(const std::int16_t* block);

    PowerSpectrum spectrum_;
    std::vector<std::int16_t> pending_;
    double inBand_ = 0;
    double aboveBand_ = 0;
    std::size_t blocks_ = 0;
};

}  // namespace voxquill
