#include "app/command_line.h"
#include "platform/text/messages.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

std::optional<Invocation> parse(std::vector<std::string> args) {
    args.insert(args.begin(), "voxquill");
    return parseCommandLine(args);
}

TEST(CommandLine, NoArgumentMeansUsage) {
    EXPECT_FALSE(parseCommandLine({}));
    EXPECT_FALSE(parseCommandLine({"voxquill"}));
}

TEST(CommandLine, ASingleArgumentIsAlwaysAFile) {
    for (const char* only : {"--live", "-h", "--help", "talk.wav"}) {
        const auto invocation = parse({only});
        ASSERT_TRUE(invocation) << only;
        EXPECT_FALSE(invocation->live);
        EXPECT_EQ(invocation->path, only);
        EXPECT_FALSE(invocation->locale);
    }
}

TEST(CommandLine, LiveNeedsTheExactFlagAndAPipe) {
    const auto live = parse({"--live", "pipe"});
    ASSERT_TRUE(live);
    EXPECT_TRUE(live->live);
    EXPECT_EQ(live->path, "pipe");
    EXPECT_FALSE(live->locale);

    const auto withLocale = parse({"--live", "pipe", "fr_FR", "ignored", "too"});
    ASSERT_TRUE(withLocale);
    EXPECT_TRUE(withLocale->live);
    EXPECT_EQ(withLocale->locale, "fr_FR");
}

TEST(CommandLine, ANearMissOfTheFlagIsAFileAndItsLocale) {
    for (const char* flag : {"--LIVE", "--live ", "--lives", "-live"}) {
        const auto invocation = parse({flag, "de_DE", "ignored"});
        ASSERT_TRUE(invocation);
        EXPECT_FALSE(invocation->live) << flag;
        EXPECT_EQ(invocation->path, flag);
        EXPECT_EQ(invocation->locale, "de_DE");
    }
}

TEST(CommandLine, UsageTextLinesUpTheCommands) {
    EXPECT_STREQ(messages::usage,
                 "usage: voxquill <wav-file> [locale]\n"
                 "       voxquill --live <pcm-fifo> [locale]\n");
}

}  // namespace
}  // namespace voxquill
