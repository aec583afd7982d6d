#include "temp_dir.h"

#include <gtest/gtest-spi.h>

#include <sys/stat.h>

namespace voxquill::testing {
namespace {

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TempDir, IsRemovedWithEverythingInIt) {
    std::string path;
    {
        TempDir dir;
        path = dir.path();
        ASSERT_EQ(::mkdir((path + "/inner").c_str(), 0700), 0);
        dir.write("inner/file", "x");
        EXPECT_EQ(contentsOf(path + "/inner/file"), "x");
    }
    struct stat info {};
    EXPECT_NE(::stat(path.c_str(), &info), 0);
}

TEST(TempDir, AFolderThatCannotBeMadeFailsTheTestAndRemovesNothing) {
    TempDir outer;
    // No folder can be made inside a plain file.
    const std::string plain = outer.write("plain", "kept");
    EXPECT_NONFATAL_FAILURE(
        {
            TempDir inner(plain);
            inner.write("more", "lost");
        },
        "cannot make a folder in " + plain);
    EXPECT_EQ(contentsOf(plain), "kept");
}

}  // namespace
}  // namespace voxquill::testing
