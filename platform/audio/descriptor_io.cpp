#include "platform/audio/descriptor_io.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace voxquill {

namespace {

constexpr int bufferBytes = 64 * 1024;

}  // namespace

std::unique_ptr<DescriptorIo> DescriptorIo::create(int fd, bool seekable) {
    std::unique_ptr<DescriptorIo> io(new DescriptorIo(fd, seekable));
    auto* buffer = static_cast<unsigned char*>(av_malloc(bufferBytes));
    if (buffer == nullptr) return nullptr;
    io->context_ = avio_alloc_context(buffer, bufferBytes, 0, io.get(), &DescriptorIo::read, nullptr,
                                      seekable ? &DescriptorIo::seek : nullptr);
    if (io->context_ == nullptr) {
        av_free(buffer);
        return nullptr;
    }
    return io;
}

DescriptorIo::~DescriptorIo() {
    if (context_ != nullptr) {
        // FFmpeg may have replaced the buffer it was given.
        av_freep(&context_->buffer);
        avio_context_free(&context_);
    }
    ::close(fd_);
}

int DescriptorIo::read(void* opaque, std::uint8_t* buffer, int size) {
    auto* io = static_cast<DescriptorIo*>(opaque);
    ssize_t got;
    do {
        got = ::read(io->fd_, buffer, static_cast<std::size_t>(size));
    } while (got < 0 && errno == EINTR);
    if (got == 0) return AVERROR_EOF;
    if (got < 0) {
        io->systemError_ = errno;
        return AVERROR(errno);
    }
    return static_cast<int>(got);
}

std::int64_t DescriptorIo::seek(void* opaque, std::int64_t offset, int whence) {
    auto* io = static_cast<DescriptorIo*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat info {};
        if (::fstat(io->fd_, &info) != 0) return AVERROR(errno);
        return info.st_size;
    }
    // A damaged file may send the demuxer anywhere, even before its start:
    // that is no failure of the system's.
    const off_t at = ::lseek(io->fd_, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

}  // namespace voxquill
