#include "platform/speech/sphinx/word_confidence.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

TEST(WordConfidence, UnsureWordsGoAndTheRestKeepTheirOrderAndSpelling) {
    const std::vector<PathWord> path = {
        {"<s>", 1.0},     {"he", 0.999},   {"was(2)", 1.0}, {"<sil>", 0.6},
        {"blows", 0.009}, {"young", 0.05}, {"man", 0.049},  {"</s>", 1.0},
    };
    EXPECT_EQ(confidentHypothesis(path, 0.05), "<s> he was(2) <sil> young </s>");
}

TEST(WordConfidence, NothingSureEnoughIsNoWordsAndAPathWithoutALatticeKeepsAll) {
    EXPECT_EQ(confidentHypothesis({{"blows", 0.01}, {"it", 0.02}}, 0.05), "");
    EXPECT_EQ(confidentHypothesis({}, 0.05), "");
    EXPECT_EQ(confidentHypothesis({{"it", 1.0}, {"was", 1.0}}, 0.05), "it was");
}

}  // namespace
}  // namespace voxquill
