#include "platform/text/json_writer.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

std::string object(const std::string& value) {
    return jsonObject({{"t", value}}).value_or("<failed>");
}

TEST(JsonWriter, WritesCompactMembersInOrder) {
    EXPECT_EQ(jsonObject({{"k", "r"}, {"t", ""}}), R"({"k":"r","t":""})");
    EXPECT_EQ(jsonObject({}), "{}");
}

TEST(JsonWriter, EscapesSoOneObjectIsOneLine) {
    EXPECT_EQ(object("say \"hi\" \\ and/or"), R"({"t":"say \"hi\" \\ and\/or"})");
    EXPECT_EQ(object("a\nb\rc\td\be\ff"), R"({"t":"a\nb\rc\td\be\ff"})");
    EXPECT_EQ(object(std::string("\x01\x1f", 2) + std::string(1, '\0')), R"({"t":"\u0001\u001f\u0000"})");
    EXPECT_EQ(object("\u2028"), "{\"t\":\"\u2028\"}");
}

TEST(JsonWriter, WritesOtherCharactersAsRawUtf8) {
    EXPECT_EQ(object("caf\u00E9 \u65E5\u672C \U0001F600 \x7f"), "{\"t\":\"caf\u00E9 \u65E5\u672C \U0001F600 \x7f\"}");
}

TEST(JsonWriter, RefusesTextThatIsNotUtf8) {
    EXPECT_FALSE(jsonObject({{"t", "\xff"}}));
    EXPECT_FALSE(jsonObject({{"t", "\xc0\xaf"}}));      // overlong "/"
    EXPECT_FALSE(jsonObject({{"t", "\xed\xa0\x80"}}));  // a surrogate
    EXPECT_FALSE(jsonObject({{"\xe2\x82", "t"}}));      // cut short
}

}  // namespace
}  // namespace voxquill
