#include "platform/speech/sphinx/search_pace.h"

#include "platform/speech/sphinx/decoder_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace voxquill {
namespace {

constexpr std::size_t fastest = decoding::recordingSearchCount - 1;
constexpr double pieceSeconds = 25.0;

double coreSecondsOf(std::size_t search) {
    return decoding::recordingSearches[search].coreSeconds;
}

Duration seconds(double value) {
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(value));
}

TEST(SearchPace, TheSearchNarrowsWithLengthAndWidensWithWorkers) {
    EXPECT_EQ(fastEnoughSearch(10.0, 30.0, 1, 1.0), 0u) << "a short recording gets the widest search";
    EXPECT_EQ(fastEnoughSearch(4 * 3600.0, 30.0, 8, 1.0), fastest) << "hours get the fastest";
    for (unsigned workers : {1u, 2u, 4u, 8u}) {
        std::size_t previous = 0;
        for (double length = 10.0; length <= 7200.0; length *= 1.5) {
            const std::size_t search = fastEnoughSearch(length, 30.0, workers, 1.0);
            EXPECT_GE(search, previous) << length << " s on " << workers;
            EXPECT_LE(search, fastEnoughSearch(length, 30.0, workers / 2 + (workers == 1), 1.0))
                << "more workers never search more narrowly: " << length << " s on " << workers;
            previous = search;
        }
    }
    EXPECT_LT(fastEnoughSearch(600.0, 30.0, 8, 1.0), fastEnoughSearch(600.0, 30.0, 1, 1.0));
    EXPECT_GT(fastEnoughSearch(60.0, 30.0, 1, 8.0), fastEnoughSearch(60.0, 30.0, 1, 1.0))
        << "a slower machine narrows it";
}

TEST(SearchPace, AStreamOfUnknownLengthCountsAsLong) {
    ManualClock clock;
    SearchPace pace(clock, {30.0, 8, std::nullopt});
    EXPECT_EQ(pace.firstSearch(), fastest);
    EXPECT_EQ(pace.searchToMakeFirst(), 0u) << "most streams end before their first piece";
    EXPECT_EQ(pace.start(pieceSeconds).search, fastest);
}

TEST(SearchPace, AStreamThatHasEndedGetsTheSearchOfItsLength) {
    ManualClock clock;
    SearchPace stream(clock, {30.0, 2, std::nullopt});
    stream.streamEnded(8.0);
    EXPECT_EQ(stream.firstSearch(), 0u);
    EXPECT_EQ(stream.start(8.0).search, 0u) << "as from a file of the same length";

    SearchPace longStream(clock, {30.0, 1, std::nullopt});
    longStream.streamEnded(3600.0);
    EXPECT_EQ(longStream.start(pieceSeconds).search, fastest);

    SearchPace file(clock, {30.0, 1, 3600.0});
    EXPECT_EQ(file.searchToMakeFirst(), file.firstSearch());
    file.streamEnded(8.0);
    EXPECT_EQ(file.start(8.0).search, fastest) << "a header's length stays";
}

TEST(SearchPace, WorkersAsManyAsCoresAndMemoryAllow) {
    const std::uint64_t mebibyte = 1024 * 1024;
    const std::nullopt_t unlimited = std::nullopt;
    EXPECT_EQ(affordableWorkers(8, 16 * 1024 * mebibyte, unlimited), 8u);
    EXPECT_EQ(affordableWorkers(8, 2 * decoding::bytesPerWorker + mebibyte, unlimited), 2u);
    EXPECT_EQ(affordableWorkers(4, 10 * mebibyte, unlimited), 1u) << "one worker whatever memory says";
    EXPECT_EQ(affordableWorkers(4, std::nullopt, unlimited), 4u);
    EXPECT_EQ(affordableWorkers(0, std::nullopt, unlimited), 1u);
}

TEST(SearchPace, WorkersFitTheAddressSpaceLeft) {
    const std::uint64_t gibibyte = 1024 * 1024 * 1024;
    EXPECT_EQ(affordableWorkers(8, 16 * gibibyte, 2 * decoding::addressSpacePerWorker + 1), 2u);
    EXPECT_EQ(affordableWorkers(8, std::nullopt, decoding::addressSpacePerWorker), 1u);
    EXPECT_EQ(affordableWorkers(2, 16 * gibibyte, 100 * gibibyte), 2u);
    EXPECT_EQ(affordableWorkers(4, 16 * gibibyte, 0), 1u) << "one worker whatever the limit says";
}

// Two workers decode a recording piece by piece; every piece takes `pace`
// times what was measured for its search. The searches the pieces got.
std::vector<std::size_t> decodeInPairs(double audioSeconds, double pace) {
    ManualClock clock;
    SearchPace searches(clock, {30.0, 2, audioSeconds});
    std::vector<std::size_t> got;
    for (double done = 0; done < audioSeconds; done += 2 * pieceSeconds) {
        const SearchPace::Choice first = searches.start(pieceSeconds);
        const SearchPace::Choice second = searches.start(pieceSeconds);
        clock.advance(seconds(pieceSeconds * coreSecondsOf(std::max(first.search, second.search)) * pace));
        searches.finish(first);
        searches.finish(second);
        got.push_back(first.search);
        got.push_back(second.search);
    }
    return got;
}

TEST(SearchPace, KeepsTheSearchWhileDecodingKeepsUp) {
    for (double length : {60.0, 300.0, 900.0}) {
        ManualClock clock;
        const std::size_t first = SearchPace(clock, {30.0, 2, length}).firstSearch();
        for (std::size_t search : decodeInPairs(length, 1.0)) EXPECT_EQ(search, first) << length;
        for (std::size_t search : decodeInPairs(length, 0.1)) EXPECT_EQ(search, first) << "never wider: " << length;
    }
}

TEST(SearchPace, NarrowsThePiecesStillToComeWhenDecodingFallsBehind) {
    const std::vector<std::size_t> searches = decodeInPairs(300.0, 4.0);
    ManualClock clock;
    const std::size_t first = SearchPace(clock, {30.0, 2, 300.0}).firstSearch();
    ASSERT_LT(first, fastest);
    EXPECT_EQ(searches.front(), first);
    EXPECT_EQ(searches.back(), fastest);
    for (std::size_t i = 1; i < searches.size(); ++i) EXPECT_GE(searches[i], searches[i - 1]) << i;
}

TEST(SearchPace, ARecordingLongerThanItsHeaderSaidGetsTheFastestSearchWhenTimeRunsOut) {
    ManualClock clock;
    SearchPace pace(clock, {30.0, 2, 20.0});
    EXPECT_EQ(pace.start(20.0).search, 0u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(pace.start(pieceSeconds).search, 0u) << "nothing says it is late yet";
    clock.advance(seconds(29.0));
    EXPECT_EQ(pace.start(pieceSeconds).search, fastest);
}

}  // namespace
}  // namespace voxquill
