#pragma once

#include "platform/system/unique_fd.h"

#include <cstdint>
#include <memory>
#include <string>

struct AVIOContext;

namespace voxquill {

// Gives FFmpeg a recording's descriptor to read through a buffer of its own,
// so that no path ever reaches its protocols, and seeks in it only when it
// is a regular file. It remembers the system's error on a read, to tell a
// failing disk from a damaged file. One thread at a time.
class DescriptorIo {
public:
    // Takes the descriptor, which closes with the object or at once on
    // failure. Null when out of memory, with `error` set.
    static std::unique_ptr<DescriptorIo> create(UniqueFd fd, bool seekable, std::string& error);

    ~DescriptorIo();
    DescriptorIo(const DescriptorIo&) = delete;
    DescriptorIo& operator=(const DescriptorIo&) = delete;

    // The library's reading context, owned by this object and valid as long
    // as it lives.
    AVIOContext* context() const { return context_; }
    bool seekable() const { return seekable_; }

    // The errno of the last read that failed, or 0.
    int systemError() const { return systemError_; }

    // The first bytes of the recording read so far (up to a few KiB), for a
    // header FFmpeg reads but does not report on.
    const std::string& head() const { return head_; }

private:
    DescriptorIo(UniqueFd fd, bool seekable);
    static int read(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    void keepHead(const std::uint8_t* bytes, std::int64_t count);

    UniqueFd fd_;
    bool seekable_;
    AVIOContext* context_ = nullptr;
    int systemError_ = 0;
    std::int64_t position_ = 0;
    std::string head_;
};

}  // namespace voxquill
