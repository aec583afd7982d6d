#include "platform/audio/audio_file_reader.h"

#include "platform/text/words.h"

#include <sndfile.h>
#include <soxr.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace voxquill {

namespace {

constexpr std::size_t framesPerRead = 8192;
constexpr int lowestSampleRate = 4000;
constexpr int highestSampleRate = 768000;
constexpr int mostChannels = 256;
// Room for the samples the resampler may hand out beyond the exact ratio.
constexpr std::size_t resamplerSlack = 64;

std::string failure(const std::string& path, const std::string& reason) {
    std::string line = path + ": " + reason;
    // The reason goes out as one line, whatever the file is called.
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return line;
}

std::string libraryReason(SNDFILE* file) {
    if (sf_error(file) == SF_ERR_UNRECOGNISED_FORMAT) return words::notAudio;
    std::string reason = sf_strerror(file);
    while (!reason.empty() && (reason.back() == '.' || reason.back() == '\n')) reason.pop_back();
    return reason;
}

// Opens without blocking on a named pipe, and refuses anything but a regular
// file: a pipe or device given as a recording would never end.
int openRegularFile(const std::string& path, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : words::notRegularFile;
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string formatProblem(const SF_INFO& info) {
    if (info.channels < 1 || info.channels > mostChannels) {
        return words::unsupportedChannels + std::to_string(info.channels);
    }
    if (info.samplerate < lowestSampleRate || info.samplerate > highestSampleRate) {
        return words::unsupportedRate + std::to_string(info.samplerate) + " Hz";
    }
    return "";
}

std::int16_t toSample(float value) {
    // A float file may hold NaNs; no clamp catches them, and no sample holds one.
    if (std::isnan(value)) return 0;
    const float scaled = std::nearbyint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

AudioFileReader::Opened AudioFileReader::open(const std::string& path) {
    std::string reason;
    const int fd = openRegularFile(path, reason);
    if (fd < 0) return {nullptr, failure(path, reason)};
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (file == nullptr) {
        const std::string why = libraryReason(nullptr);
        ::close(fd);
        return {nullptr, failure(path, why)};
    }
    const std::string problem = formatProblem(info);
    if (!problem.empty()) {
        sf_close(file);
        return {nullptr, failure(path, problem)};
    }
    std::unique_ptr<AudioFileReader> reader(
        new AudioFileReader(path, file, info.channels, info.samplerate, info.frames));
    if (info.samplerate != recognizerSampleRate && reader->resampler_ == nullptr) {
        return {nullptr, failure(path, words::cannotResampleFrom + std::to_string(info.samplerate) + " Hz")};
    }
    return {std::move(reader), ""};
}

AudioFileReader::AudioFileReader(std::string path, SNDFILE* file, int channels, int sampleRate, long long frames)
    : path_(std::move(path)),
      file_(file),
      channels_(channels),
      outPerIn_(static_cast<double>(recognizerSampleRate) / sampleRate) {
    // libsndfile gives the largest count it has when a header does not say.
    if (frames >= 0 && frames < SF_COUNT_MAX) duration_ = static_cast<double>(frames) / sampleRate;
    if (sampleRate == recognizerSampleRate) return;
    // Mono float in and out, at the library's high quality.
    soxr_error_t error = nullptr;
    resampler_ = soxr_create(sampleRate, recognizerSampleRate, 1, &error, nullptr, nullptr, nullptr);
    if (error != nullptr) resampler_ = nullptr;
}

AudioFileReader::~AudioFileReader() {
    if (resampler_ != nullptr) soxr_delete(resampler_);
    sf_close(file_);
}

bool AudioFileReader::readMono(std::vector<float>& mono, std::string& error) {
    frames_.resize(framesPerRead * static_cast<std::size_t>(channels_));
    const sf_count_t got = sf_readf_float(file_, frames_.data(), static_cast<sf_count_t>(framesPerRead));
    if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR) {
        error = failure(path_, libraryReason(file_));
        return false;
    }
    mono.assign(static_cast<std::size_t>(got), 0.0f);
    for (std::size_t frame = 0; frame < mono.size(); ++frame) {
        float sum = 0.0f;
        for (int channel = 0; channel < channels_; ++channel) {
            sum += frames_[frame * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(channel)];
        }
        mono[frame] = sum / static_cast<float>(channels_);
    }
    return true;
}

bool AudioFileReader::resample(const std::vector<float>& mono, std::vector<float>& out, std::string& error) {
    // At the end of the input, an empty piece drains what the resampler holds.
    const bool flushing = mono.empty();
    const auto room = static_cast<double>(std::max<std::size_t>(mono.size(), framesPerRead)) * outPerIn_;
    out.resize(static_cast<std::size_t>(room) + resamplerSlack);
    std::size_t done = 0;
    const soxr_error_t failed =
        soxr_process(resampler_, flushing ? nullptr : mono.data(), mono.size(), nullptr, out.data(), out.size(), &done);
    if (failed != nullptr) {
        error = failure(path_, words::cannotResample + std::string(failed));
        return false;
    }
    out.resize(done);
    if (flushing && done == 0) drained_ = true;
    return true;
}

std::optional<double> AudioFileReader::durationSeconds() const {
    return duration_;
}

bool AudioFileReader::read(Samples& samples, std::string& error) {
    samples.clear();
    std::vector<float> mono;
    while (samples.empty()) {
        if (drained_) return true;
        if (!readMono(mono, error)) return false;
        if (resampler_ == nullptr) {
            if (mono.empty()) drained_ = true;
        } else {
            std::vector<float> out;
            if (!resample(mono, out, error)) return false;
            mono.swap(out);
        }
        samples.resize(mono.size());
        std::transform(mono.begin(), mono.end(), samples.begin(), toSample);
    }
    return true;
}

}  // namespace voxquill
