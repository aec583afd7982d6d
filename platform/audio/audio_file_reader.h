#pragma once

#include "platform/audio/samples.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sf_private_tag;
struct soxr;

namespace voxquill {

// Streams an audio file, in any format libsndfile reads, as 16 kHz mono
// 16-bit samples: channels are mixed down and other rates resampled, a piece
// at a time, so memory does not grow with the file.
class AudioFileReader {
public:
    struct Opened;

    // Opens the file; on failure, a one-line reason that names the file.
    static Opened open(const std::string& path);

    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // Replaces `samples` with the next piece; empty at the end of the file.
    // False, with `error` set, when the file cannot be read further.
    bool read(Samples& samples, std::string& error);

    // The recording's length as its header gives it; absent when it does not.
    std::optional<double> durationSeconds() const;

private:
    AudioFileReader(std::string path, sf_private_tag* file, int channels, int sampleRate, long long frames);
    bool readMono(std::vector<float>& mono, std::string& error);
    bool resample(const std::vector<float>& mono, std::vector<float>& out, std::string& error);

    std::string path_;
    sf_private_tag* file_;
    int channels_;
    double outPerIn_;
    std::optional<double> duration_;
    soxr* resampler_ = nullptr;
    bool drained_ = false;
    std::vector<float> frames_;
};

struct AudioFileReader::Opened {
    std::unique_ptr<AudioFileReader> reader;
    std::string error;
};

}  // namespace voxquill
