#include "platform/signal/noise_gate.h"

#include "platform/signal/noise_settings.h"

#include <utility>

namespace voxquill {

namespace {

bool isNoisy(double speechOverNoiseDb) {
    return speechOverNoiseDb < noise::noisyBelowDb;
}

}  // namespace

void denoiseIfNoisy(Samples& audio) {
    if (!isNoisy(speechOverNoiseDb(audio.data(), audio.size()))) return;
    // Without a suppressor the audio is decoded as it is.
    const std::unique_ptr<NoiseSuppressor> suppressor = NoiseSuppressor::create();
    if (!suppressor) return;
    Samples denoised;
    denoised.reserve(audio.size());
    suppressor->process(audio.data(), audio.size(), denoised);
    suppressor->finish(denoised);
    audio = std::move(denoised);
}

const Samples& LiveNoiseGate::pass(const Samples& buffer) {
    if (!judged_) {
        floor_.add(buffer.data(), buffer.size());
        judge();
        return buffer;
    }
    if (!suppressor_) return buffer;
    denoised_.clear();
    suppressor_->process(buffer.data(), buffer.size(), denoised_);
    return denoised_;
}

const Samples& LiveNoiseGate::finish() {
    denoised_.clear();
    if (suppressor_) suppressor_->finish(denoised_);
    return denoised_;
}

void LiveNoiseGate::judge() {
    const std::size_t measured = floor_.samplesAdded();
    if (measured < noise::liveJudgedAfterSamples) return;
    const double speechOverNoise = floor_.speechOverNoiseDb();
    // Before anyone speaks the loud frames are noise too: wait for speech.
    if (speechOverNoise < noise::holdsSpeechAboveDb && measured < noise::liveJudgedAtLatestSamples) return;
    judged_ = true;
    floor_ = NoiseFloor();
    if (isNoisy(speechOverNoise)) suppressor_ = NoiseSuppressor::create();
}

}  // namespace voxquill
