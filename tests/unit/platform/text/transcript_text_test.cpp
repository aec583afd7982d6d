#include "platform/text/transcript_text.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

TEST(TranscriptText, KeepsOnlyTheSpokenWords) {
    EXPECT_EQ(spokenWords("<s> <sil> he [noise] read(2) ++um++ it </s>"),
              (std::vector<std::string>{"he", "read", "it"}));
    EXPECT_EQ(spokenWords("   "), std::vector<std::string>{});
    EXPECT_EQ(spokenWords("(2) x(y)z"), (std::vector<std::string>{"(2)", "x(y)z"}));
}

TEST(TranscriptText, CapitalizesTheFirstLetterAndThePronoun) {
    EXPECT_EQ(transcriptOf({"i", "think", "i'm", "in", "it", "i'll", "see", "ice", "i"}),
              "I think I'm in it I'll see ice I");
    EXPECT_EQ(transcriptOf({"mister", "john", "dashwood"}), "Mister john dashwood");
    EXPECT_EQ(transcriptOf({}), "");
}

}  // namespace
}  // namespace voxquill
