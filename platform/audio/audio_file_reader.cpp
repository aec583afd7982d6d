#include "platform/audio/audio_file_reader.h"

#include "platform/audio/decoded_audio.h"
#include "platform/audio/recording_input.h"
#include "platform/audio/resampler.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace voxquill {

namespace {

std::string failure(const std::string& path, const std::string& reason) {
    std::string line = path + ": " + reason;
    // The reason goes out as one line, whatever the file is called.
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return line;
}

std::int16_t toSample(float value) {
    const float scaled = std::nearbyint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

AudioFileReader::Opened AudioFileReader::open(const std::string& path) {
    const RecordingInput input = openRecording(path);
    if (input.fd < 0) return {nullptr, failure(path, input.reason)};
    DecodedAudio::Opened opened = DecodedAudio::open(input);
    if (!opened.audio) return {nullptr, failure(path, opened.reason)};
    return {std::unique_ptr<AudioFileReader>(new AudioFileReader(path, std::move(opened.audio))), ""};
}

AudioFileReader::AudioFileReader(std::string path, std::unique_ptr<DecodedAudio> audio)
    : path_(std::move(path)), audio_(std::move(audio)), resampler_(std::make_unique<Resampler>()) {}

AudioFileReader::~AudioFileReader() = default;

std::optional<double> AudioFileReader::durationSeconds() const {
    return audio_->durationSeconds();
}

bool AudioFileReader::read(Samples& samples, std::string& error) {
    samples.clear();
    std::vector<float> out;
    MonoPiece piece;
    std::string reason;
    while (out.empty() && !ended_) {
        if (!audio_->next(piece, reason)) {
            error = failure(path_, reason);
            return false;
        }
        ended_ = piece.samples.empty();
        const bool converted =
            ended_ ? resampler_->drain(out, reason)
                   : resampler_->convert(piece.samples.data(), piece.samples.size(), piece.rate, out, reason);
        if (!converted) {
            error = failure(path_, reason);
            return false;
        }
    }
    samples.resize(out.size());
    std::transform(out.begin(), out.end(), samples.begin(), toSample);
    return true;
}

}  // namespace voxquill
