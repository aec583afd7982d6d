#include "platform/audio/audio_file_reader.h"

#include "platform/audio/decoded_audio.h"
#include "platform/audio/recording_input.h"
#include "platform/audio/resampler.h"
#include "platform/text/failure.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace voxquill {

namespace {

std::string aboutRecording(const std::string& path, const std::string& reason) {
    return path + ": " + reason;
}

std::int16_t toSample(float value) {
    const float scaled = std::nearbyint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

std::unique_ptr<AudioFileReader> AudioFileReader::open(const std::string& path, std::string& error) {
    std::string reason;
    RecordingInput input = openRecording(path, reason);
    std::unique_ptr<DecodedAudio> audio = input.fd ? DecodedAudio::open(std::move(input), reason) : nullptr;
    if (!audio) {
        fail(error, aboutRecording(path, reason));
        return nullptr;
    }
    return std::unique_ptr<AudioFileReader>(new AudioFileReader(path, std::move(audio)));
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
    DecodedBlock block;
    std::string reason;
    while (out.empty() && !ended_) {
        if (!audio_->next(block, reason)) return fail(error, aboutRecording(path_, reason));
        ended_ = block.samples.empty();
        const bool converted =
            ended_ ? resampler_->drain(out, reason)
                   : resampler_->convert(block.samples.data(), block.samples.size(), block.rate, out, reason);
        if (!converted) return fail(error, aboutRecording(path_, reason));
    }
    samples.resize(out.size());
    std::transform(out.begin(), out.end(), samples.begin(), toSample);
    return true;
}

}  // namespace voxquill
