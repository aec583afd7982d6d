#include "platform/system/info_dictionary.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

constexpr std::string_view key = "NSSpeechRecognitionUsageDescription";

TEST(InfoDictionary, FindsATopLevelKeyWhateverItsValue) {
    EXPECT_TRUE(infoDictionaryHasKey(
        "<plist><dict><key>NSSpeechRecognitionUsageDescription</key><string/></dict></plist>", key));
    EXPECT_TRUE(
        infoDictionaryHasKey("<plist><dict><key>A</key><dict><key>B</key><true/></dict>"
                             "<key>NSSpeechRecognitionUsageDescription</key><false/></dict></plist>",
                             key));
}

TEST(InfoDictionary, IgnoresKeysElsewhere) {
    EXPECT_FALSE(infoDictionaryHasKey("<plist><dict><key>Other</key><string>x</string></dict></plist>", key));
    EXPECT_FALSE(infoDictionaryHasKey(
        "<plist><dict><key>Nested</key><dict><key>NSSpeechRecognitionUsageDescription</key><string>x</string>"
        "</dict></dict></plist>",
        key));
    EXPECT_FALSE(infoDictionaryHasKey(
        "<plist><dict><key>Why</key><string>NSSpeechRecognitionUsageDescription</string></dict></plist>", key));
    EXPECT_FALSE(infoDictionaryHasKey(
        "<plist><dict><key>NSSpeechRecognitionUsageDescriptionX</key><true/></dict></plist>", key));
    EXPECT_FALSE(infoDictionaryHasKey("<plist><dict><key>NSSpeechRecognitionUsageDescription", key));
}

TEST(InfoDictionary, TheProgramCarriesTheUsageDescription) {
    EXPECT_TRUE(infoDictionaryHasKey(embeddedInfoPlist, key));
}

}  // namespace
}  // namespace voxquill
