#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace voxquill::testing {

// A folder of its own for a test, removed with everything in it afterwards.
// One that cannot be made fails the test; its path then names no folder, and
// nothing is removed.
class TempDir {
public:
    explicit TempDir(const std::string& parent = "/tmp") : path_(parent + "/voxquill-test-XXXXXX") {
        std::string name = path_;
        made_ = ::mkdtemp(name.data()) != nullptr;
        if (made_) {
            path_ = name;
        } else {
            ADD_FAILURE() << "cannot make a folder in " << parent << ": " << std::strerror(errno);
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (made_) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }

    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

private:
    std::string path_;
    bool made_ = false;
};

}  // namespace voxquill::testing
