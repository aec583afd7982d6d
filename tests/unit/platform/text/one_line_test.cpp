#include "platform/text/one_line.h"

#include <gtest/gtest.h>

#include <string>

namespace voxquill {
namespace {

TEST(OneLine, ShowsEveryControlCharacterAsAQuestionMark) {
    const char controls[] = "tab\there\nnul\0end\x1b[31m\x7f";
    EXPECT_EQ(oneLine(std::string(controls, sizeof controls - 1)), "tab?here?nul?end?[31m?");
    // C1 controls as UTF-8: CSI starts a terminal command, NEL breaks the line.
    EXPECT_EQ(oneLine("a\u0080b\u0085c\u009bd\u009f"), "a?b?c?d?");
    EXPECT_EQ(oneLine("line\u2028paragraph\u2029end"), "line?paragraph?end");
}

TEST(OneLine, ShowsEachByteThatIsNotUtf8AsAQuestionMark) {
    EXPECT_EQ(oneLine("raw \x9b[2J csi"), "raw ?[2J csi");
    EXPECT_EQ(oneLine("\xff\xfe"), "??");
    EXPECT_EQ(oneLine("\xc0\xaf overlong, \xed\xa0\x80 surrogate"), "?? overlong, ??? surrogate");
    EXPECT_EQ(oneLine("cut \xe6\x97"), "cut ??");
}

TEST(OneLine, KeepsEveryOtherCharacterAsItIs) {
    const std::string text = "gr\u00fc\u00dfe \u65e5\u672c \u2713 \U0001F600 \u00a0\u00a0 $(true) \"q\" 'q' ~";
    EXPECT_EQ(oneLine(text), text);
    EXPECT_EQ(oneLine(""), "");
}

}  // namespace
}  // namespace voxquill
