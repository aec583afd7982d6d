#pragma once

#include "platform/system/event_loop.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace voxquill {

// What decoding a recording has to work with. Plain values: any thread.
struct PacePlan {
    double seconds;                      // to finish in, from when the pace is made
    unsigned workers;                    // decoding at once
    std::optional<double> audioSeconds;  // the recording's length; absent for a stream
};

// As many workers as there are cores, memory and address space for, at
// least one. Any thread, as is fastEnoughSearch.
unsigned affordableWorkers(unsigned cores, std::optional<std::uint64_t> availableBytes,
                           std::optional<std::uint64_t> addressSpaceLeft);

// The most accurate of decoding::recordingSearches (an index) that decodes
// `audioSeconds` in `seconds` on `workers`, when decoding runs `slowdown`
// times slower than measured; the fastest when none does.
std::size_t fastEnoughSearch(double audioSeconds, double seconds, unsigned workers, double slowdown);

// Chooses the search for each piece of a recording: at first by the
// recording's length and the workers, then, as pieces are done, by how far
// decoding has come against the time left, so that pieces still to come are
// searched more narrowly when the machine turns out slower or busier than
// the one measured. Never wider than the choice for the recording's length,
// which for a stream is known only once it ends. Any thread: the reader and
// the workers share it.
class SearchPace {
public:
    // The search a piece got, and what its finish is counted by.
    struct Choice {
        std::size_t search;
        double audioSeconds;
        Duration started;
    };

    // The clock is borrowed and must outlive the pace.
    SearchPace(const Clock& clock, const PacePlan& plan);

    // The search chosen by the recording's length and the workers.
    std::size_t firstSearch();

    // The search the workers' decoders are made with, before their first
    // piece: the first choice, or for a stream the widest, since most
    // streams are short enough to have ended before their first piece is
    // decoded, and remaking a decoder means loading the model again.
    std::size_t searchToMakeFirst();

    // The stream read so far has ended after `audioSeconds`. A stream of
    // unknown length counted as long; the pieces still to come may now get
    // what a recording of this length gets. A header's length stays.
    void streamEnded(double audioSeconds);

    // A piece of `audioSeconds` is about to be decoded: with which search.
    Choice start(double audioSeconds);

    // The piece given this choice has been decoded.
    void finish(const Choice& choice);

private:
    double slowdown() const;

    const Clock& clock_;
    const Duration began_;
    PacePlan plan_;
    std::size_t first_;
    std::mutex mutex_;
    double audioStarted_ = 0;
    double expectedSeconds_ = 0;
    double tookSeconds_ = 0;
};

}  // namespace voxquill
