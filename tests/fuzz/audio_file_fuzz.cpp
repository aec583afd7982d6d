// The path of a file's bytes to 16 kHz samples: any bytes, read as an audio
// file must either give samples or one line that names the file and says why
// not. The bytes go into an in-memory file, opened by its path as any
// recording is.

#include "platform/audio/audio_file_reader.h"

#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace voxquill;

// A header may claim hours of audio and a few bytes of FLAC may hold minutes
// of it; one input stops after this much, so each runs briefly.
constexpr std::size_t mostSamples = 30 * recognizerSampleRate;

void require(bool holds) {
    if (!holds) std::abort();
}

// The descriptor of the in-memory file, made once and rewritten per input.
int memoryFile() {
    static const int fd = ::memfd_create("audio", MFD_CLOEXEC);
    require(fd >= 0);
    return fd;
}

std::string holding(const std::uint8_t* data, std::size_t size) {
    const int fd = memoryFile();
    require(::ftruncate(fd, 0) == 0);
    for (std::size_t done = 0; done < size;) {
        const ssize_t wrote = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        require(wrote > 0);
        done += static_cast<std::size_t>(wrote);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

void checkReason(const std::string& path, const std::string& error) {
    require(error.compare(0, path.size() + 2, path + ": ") == 0);
    require(error.size() > path.size() + 2);
    for (const char c : error) require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = holding(data, size);
    std::string error;
    const std::unique_ptr<AudioFileReader> reader = AudioFileReader::open(path, error);
    if (!reader) {
        checkReason(path, error);
        return 0;
    }
    require(error.empty());
    std::vector<std::int16_t> samples;
    for (std::size_t total = 0; total < mostSamples; total += samples.size()) {
        if (!reader->read(samples, error)) {
            checkReason(path, error);
            return 0;
        }
        if (samples.empty()) break;
    }
    return 0;
}
