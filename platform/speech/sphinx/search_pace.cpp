#include "platform/speech/sphinx/search_pace.h"

#include "platform/speech/sphinx/decoder_settings.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace voxquill {

namespace {

double secondsOf(Duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The time `search` takes over `audioSeconds` on `workers`, the last piece
// decoded alone.
double predictedSeconds(const decoding::Search& search, double audioSeconds, unsigned workers, double slowdown) {
    const double alone = std::min(audioSeconds, decoding::longestPieceSeconds);
    const double shared = (audioSeconds - alone) / std::max(1u, workers);
    return (shared + alone) * search.coreSeconds * slowdown;
}

}  // namespace

unsigned affordableWorkers(unsigned cores, std::optional<std::uint64_t> availableBytes,
                           std::optional<std::uint64_t> addressSpaceLeft) {
    std::uint64_t workers = cores;
    if (availableBytes) workers = std::min<std::uint64_t>(workers, *availableBytes / decoding::bytesPerWorker);
    if (addressSpaceLeft) {
        workers = std::min<std::uint64_t>(workers, *addressSpaceLeft / decoding::addressSpacePerWorker);
    }
    return static_cast<unsigned>(std::max<std::uint64_t>(1, workers));
}

std::size_t fastEnoughSearch(double audioSeconds, double seconds, unsigned workers, double slowdown) {
    for (std::size_t i = 0; i < decoding::recordingSearchCount; ++i) {
        if (predictedSeconds(decoding::recordingSearches[i], audioSeconds, workers, slowdown) <= seconds) return i;
    }
    return decoding::recordingSearchCount - 1;
}

SearchPace::SearchPace(const Clock& clock, const PacePlan& plan)
    : clock_(clock),
      began_(clock.now()),
      plan_(plan),
      first_(fastEnoughSearch(plan.audioSeconds.value_or(std::numeric_limits<double>::infinity()), plan.seconds,
                              plan.workers, 1.0)) {}

std::size_t SearchPace::firstSearch() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return first_;
}

std::size_t SearchPace::searchToMakeFirst() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return plan_.audioSeconds ? first_ : 0;
}

void SearchPace::streamEnded(double audioSeconds) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (plan_.audioSeconds) return;
    plan_.audioSeconds = audioSeconds;
    first_ = fastEnoughSearch(audioSeconds, plan_.seconds, plan_.workers, 1.0);
}

SearchPace::Choice SearchPace::start(double audioSeconds) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const Duration now = clock_.now();
    // What is left of the recording, this piece included; a stream, or a
    // recording longer than its header said, counts as long.
    const double total = plan_.audioSeconds.value_or(std::numeric_limits<double>::infinity());
    const double left = std::max(total - audioStarted_, audioSeconds);
    audioStarted_ += audioSeconds;
    const double timeLeft = plan_.seconds - secondsOf(now - began_);
    const std::size_t search = std::max(first_, fastEnoughSearch(left, timeLeft, plan_.workers, slowdown()));
    return {search, audioSeconds, now};
}

void SearchPace::finish(const Choice& choice) {
    const std::lock_guard<std::mutex> lock(mutex_);
    expectedSeconds_ += choice.audioSeconds * decoding::recordingSearches[choice.search].coreSeconds;
    tookSeconds_ += secondsOf(clock_.now() - choice.started);
}

// How much slower than measured the pieces done so far went; never taken as
// faster, so a quick start does not widen the search.
double SearchPace::slowdown() const {
    if (expectedSeconds_ <= 0) return 1.0;
    return std::max(1.0, tookSeconds_ / expectedSeconds_);
}

}  // namespace voxquill
