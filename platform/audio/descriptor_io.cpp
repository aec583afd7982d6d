#include "platform/audio/descriptor_io.h"

#include "platform/system/retry_interrupted.h"
#include "platform/text/failure.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace voxquill {

namespace {

constexpr int bufferBytes = 64 * 1024;
// Enough for the chunks a WAV header puts before its data.
constexpr std::int64_t headBytes = 4096;

}  // namespace

std::unique_ptr<DescriptorIo> DescriptorIo::create(UniqueFd fd, bool seekable, std::string& error) {
    std::unique_ptr<DescriptorIo> io(new DescriptorIo(std::move(fd), seekable));
    auto* buffer = static_cast<unsigned char*>(av_malloc(bufferBytes));
    if (buffer == nullptr) {
        fail(error, std::strerror(ENOMEM));
        return nullptr;
    }
    io->context_ = avio_alloc_context(buffer, bufferBytes, 0, io.get(), &DescriptorIo::read, nullptr,
                                      seekable ? &DescriptorIo::seek : nullptr);
    if (io->context_ == nullptr) {
        av_free(buffer);
        fail(error, std::strerror(ENOMEM));
        return nullptr;
    }
    return io;
}

DescriptorIo::DescriptorIo(UniqueFd fd, bool seekable) : fd_(std::move(fd)), seekable_(seekable) {}

DescriptorIo::~DescriptorIo() {
    if (context_ != nullptr) {
        // FFmpeg may have replaced the buffer it was given.
        av_freep(&context_->buffer);
        avio_context_free(&context_);
    }
}

int DescriptorIo::read(void* opaque, std::uint8_t* buffer, int size) {
    auto* io = static_cast<DescriptorIo*>(opaque);
    const ssize_t got = retryInterrupted([&] { return ::read(io->fd_.get(), buffer, static_cast<std::size_t>(size)); });
    if (got == 0) return AVERROR_EOF;
    if (got < 0) {
        io->systemError_ = errno;
        return AVERROR(errno);
    }
    io->keepHead(buffer, got);
    return static_cast<int>(got);
}

void DescriptorIo::keepHead(const std::uint8_t* bytes, std::int64_t count) {
    if (position_ == static_cast<std::int64_t>(head_.size()) && position_ < headBytes) {
        const std::int64_t kept = std::min(count, headBytes - position_);
        head_.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(kept));
    }
    position_ += count;
}

std::int64_t DescriptorIo::seek(void* opaque, std::int64_t offset, int whence) {
    auto* io = static_cast<DescriptorIo*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat info {};
        if (::fstat(io->fd_.get(), &info) != 0) return AVERROR(errno);
        return info.st_size;
    }
    // A damaged file may send the demuxer anywhere, even before its start:
    // that is no failure of the system's.
    const off_t at = ::lseek(io->fd_.get(), static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    if (at < 0) return AVERROR(errno);
    io->position_ = at;
    return at;
}

}  // namespace voxquill
