#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The code under test starts threads; a forked death-test child must not
    // inherit them half-way, so children re-run the binary instead.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
