#include "platform/system/huge_pages.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

TEST(HugePages, TheTunableIsAddedToWhatTheCallerSet) {
    EXPECT_EQ(tunablesForHugePages(std::nullopt), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(tunablesForHugePages(std::string()), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(tunablesForHugePages(std::string("glibc.malloc.check=3")), "glibc.malloc.check=3:glibc.malloc.hugetlb=1");
}

// Whoever already said how malloc uses huge pages is obeyed, and the program
// run again under the tunable is not run a third time.
TEST(HugePages, ASettingAlreadyMadeIsKept) {
    EXPECT_EQ(tunablesForHugePages(std::string("glibc.malloc.hugetlb=0")), std::nullopt);
    EXPECT_EQ(tunablesForHugePages(std::string("glibc.malloc.check=3:glibc.malloc.hugetlb=1")), std::nullopt);
}

}  // namespace
}  // namespace voxquill
