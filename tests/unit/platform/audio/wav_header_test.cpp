#include "platform/audio/wav_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace voxquill {
namespace {

std::string le32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::string chunk(const std::string& id, const std::string& body) {
    return id + le32(static_cast<std::uint32_t>(body.size())) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

const std::string riff = "RIFF" + le32(0) + "WAVE";
const std::string format = chunk("fmt ", std::string(16, '\1'));

TEST(WavHeader, GivesTheSizeItsDataChunkClaims) {
    EXPECT_EQ(declaredWavDataBytes(riff + format + "data" + le32(227200)), 227200u);
    EXPECT_EQ(declaredWavDataBytes(riff + format + "data" + le32(0)), 0u);
    // Other chunks first, an odd-sized one padded.
    EXPECT_EQ(declaredWavDataBytes(riff + format + chunk("LIST", "abc") + "data" + le32(7)), 7u);
}

TEST(WavHeader, SaysNothingOfOtherHeadersOrOnesCutShort) {
    EXPECT_FALSE(declaredWavDataBytes(""));
    EXPECT_FALSE(declaredWavDataBytes("RIFF" + le32(0) + "AVI " + format + "data" + le32(9)));
    EXPECT_FALSE(declaredWavDataBytes("fLaC" + std::string(40, '\0')));
    EXPECT_FALSE(declaredWavDataBytes(riff + format + "da"));
    EXPECT_FALSE(declaredWavDataBytes(riff + "fmt " + le32(0xFFFFFFF0) + "data" + le32(9)));
}

}  // namespace
}  // namespace voxquill
