#include "platform/signal/level.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

TEST(Level, QuietAudioIsRaisedToThePeakInProportion) {
    Samples quiet = {100, -200, 50, 0};
    raiseToPeak(quiet, 0.5, 1000.0);
    // 0.5 of full scale over the loudest sample, 200: a gain of about 81.9.
    EXPECT_EQ(quiet, (Samples{8192, -16384, 4096, 0}));
}

TEST(Level, LoudAudioAndSilenceAreLeftAlone) {
    const Samples loud = {20000, -32768, 5};
    Samples same = loud;
    raiseToPeak(same, 0.5, 64.0);
    EXPECT_EQ(same, loud);
    Samples silence(100, 0);
    raiseToPeak(silence, 0.5, 64.0);
    EXPECT_EQ(silence, Samples(100, 0));
}

TEST(Level, TheGainIsBounded) {
    Samples faint = {1, -2, 3};
    raiseToPeak(faint, 0.5, 64.0);
    EXPECT_EQ(faint, (Samples{64, -128, 192}));
}

}  // namespace
}  // namespace voxquill
