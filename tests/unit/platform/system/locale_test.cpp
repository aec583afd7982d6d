#include "platform/system/locale.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace voxquill {
namespace {

struct Locale : ::testing::Test {
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(name);
        for (const auto& [name, value] : saved) ::setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<std::pair<std::string, std::string>> saved;
};

TEST_F(Locale, DropsTheCodesetAndModifier) {
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(currentLocaleId(), "en_US");
    ::setenv("LANG", "sr_RS.UTF-8@latin", 1);
    EXPECT_EQ(currentLocaleId(), "sr_RS");
    ::setenv("LANG", "de_DE@euro", 1);
    EXPECT_EQ(currentLocaleId(), "de_DE");
}

TEST_F(Locale, FollowsTheOrderOfTheSettings) {
    EXPECT_EQ(currentLocaleId(), "");
    ::setenv("LANG", "fr_FR.UTF-8", 1);
    ::setenv("LC_MESSAGES", "", 1);  // empty counts as unset
    EXPECT_EQ(currentLocaleId(), "fr_FR");
    ::setenv("LC_MESSAGES", "de_AT", 1);
    EXPECT_EQ(currentLocaleId(), "de_AT");
    ::setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(currentLocaleId(), "C");
}

}  // namespace
}  // namespace voxquill
