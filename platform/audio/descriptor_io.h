#pragma once

#include <cstdint>
#include <memory>

struct AVIOContext;

namespace voxquill {

// Gives FFmpeg a recording's descriptor to read through a buffer of its own,
// so that no path ever reaches its protocols, and seeks in it only when it
// is a regular file. It remembers the system's error on a read, to tell a
// failing disk from a damaged file.
class DescriptorIo {
public:
    // Takes the descriptor and closes it, whatever happens; null when out of
    // memory.
    static std::unique_ptr<DescriptorIo> create(int fd, bool seekable);

    ~DescriptorIo();
    DescriptorIo(const DescriptorIo&) = delete;
    DescriptorIo& operator=(const DescriptorIo&) = delete;

    AVIOContext* context() const { return context_; }
    bool seekable() const { return seekable_; }

    // The errno of the last read that failed, or 0.
    int systemError() const { return systemError_; }

private:
    DescriptorIo(int fd, bool seekable) : fd_(fd), seekable_(seekable) {}
    static int read(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    int fd_;
    bool seekable_;
    AVIOContext* context_ = nullptr;
    int systemError_ = 0;
};

}  // namespace voxquill
