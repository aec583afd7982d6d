#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace voxquill::testing {

// A folder of its own for a test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/voxquill-test-XXXXXX";
        path_ = ::mkdtemp(name) != nullptr ? name : "/tmp";
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
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
};

}  // namespace voxquill::testing
