#include "app/trim.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

TEST(Trim, RemovesEveryWhiteSpaceAndLineEndAtBothEnds) {
    const std::string blanks = "\t\n\v\f\r \u0085\u00A0\u1680\u2000\u2005\u200A\u2028\u2029\u202F\u205F\u3000";
    EXPECT_EQ(trimmed(blanks + "hello there" + blanks), "hello there");
    EXPECT_EQ(trimmed(blanks), "");
    EXPECT_EQ(trimmed(""), "");
}

TEST(Trim, KeepsWhatIsInsideAndWhatIsNotBlank) {
    EXPECT_EQ(trimmed("  one\ntwo  three\u00A0four \n"), "one\ntwo  three\u00A0four");
    // Zero-width space and byte-order mark are not in the set.
    EXPECT_EQ(trimmed("\u200Bword\uFEFF"), "\u200Bword\uFEFF");
    EXPECT_EQ(trimmed(" caf\u00E9 "), "caf\u00E9");
}

TEST(Trim, LeavesMalformedBytesAlone) {
    EXPECT_EQ(trimmed(" \xff word \xc3"), "\xff word \xc3");
    // A stray continuation byte before a real blank must not hide it.
    EXPECT_EQ(trimmed("x\x80 "), "x\x80");
}

}  // namespace
}  // namespace voxquill
