#include "platform/audio/pause_splitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace voxquill {
namespace {

constexpr std::size_t second = 16000;

// Loud noise with silent gaps of 0.5 s starting at the given offsets.
Samples speechWithGaps(std::size_t length, const std::vector<std::size_t>& gaps) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> loud(-12000, 12000);
    Samples samples(length);
    for (auto& sample : samples) sample = static_cast<std::int16_t>(loud(random));
    for (std::size_t gap : gaps) {
        for (std::size_t i = gap; i < gap + second / 2 && i < length; ++i) samples[i] = 0;
    }
    return samples;
}

// Feeds `samples` in pieces of `chunk`, and returns the pieces and the rest.
std::vector<Samples> split(const Samples& samples, std::size_t chunk, std::size_t piece, std::size_t search) {
    PauseSplitter splitter(piece, search);
    std::vector<Samples> pieces;
    for (std::size_t at = 0; at < samples.size(); at += chunk) {
        splitter.append(samples.data() + at, std::min(chunk, samples.size() - at), pieces);
    }
    pieces.push_back(splitter.rest());
    return pieces;
}

Samples joined(const std::vector<Samples>& pieces) {
    Samples all;
    for (const auto& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
    return all;
}

TEST(PauseSplitter, CutsInsideThePausesAndLosesNothing) {
    // Gaps at 12.3 s, 26 s and 38.5 s; pieces of 10 s, each cut within the 5 s after.
    const std::vector<std::size_t> gaps = {12 * second + 4800, 26 * second, 38 * second + 8000};
    const Samples samples = speechWithGaps(50 * second, gaps);
    for (std::size_t chunk : {1u, 2047u, 8192u, 800000u}) {
        const auto pieces = split(samples, chunk, 10 * second, 5 * second);
        ASSERT_EQ(pieces.size(), 4u) << "chunk " << chunk;
        std::size_t end = 0;
        for (std::size_t i = 0; i < gaps.size(); ++i) {
            end += pieces[i].size();
            EXPECT_GE(end, gaps[i]) << "cut " << i << " chunk " << chunk;
            EXPECT_LE(end, gaps[i] + second / 2) << "cut " << i << " chunk " << chunk;
        }
        EXPECT_EQ(joined(pieces), samples) << "chunk " << chunk;
    }
}

TEST(PauseSplitter, KeepsPiecesWithinBoundsWithoutAnyPause) {
    const Samples samples = speechWithGaps(60 * second, {});
    const auto pieces = split(samples, 4096, 10 * second, 5 * second);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        EXPECT_GE(pieces[i].size(), 10 * second);
        EXPECT_LE(pieces[i].size(), 15 * second);
    }
    EXPECT_LT(pieces.back().size(), 15 * second);
    EXPECT_EQ(joined(pieces), samples);
}

TEST(PauseSplitter, LeavesAShortRecordingWhole) {
    const Samples samples = speechWithGaps(14 * second, {3 * second, 11 * second});
    const auto pieces = split(samples, 2048, 10 * second, 5 * second);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], samples);
}

}  // namespace
}  // namespace voxquill
