#include "platform/signal/conditional_denoiser.h"

#include "platform/signal/signal_settings.h"

#include <algorithm>
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

const Samples& LiveConditionalDenoiser::pass(const Samples& buffer) {
    if (judged_ && !suppressor_) return buffer;
    passed_.clear();
    const std::int16_t* samples = buffer.data();
    std::size_t count = buffer.size();
    // Judged at whole steps of the audio wherever the buffers end, so that
    // the words do not depend on how the writer cut the audio.
    while (!judged_ && count > 0) {
        const std::size_t step = noise::liveJudgedAfterSamples - floor_.samplesAdded() % noise::liveJudgedAfterSamples;
        const std::size_t taken = std::min(count, step);
        floor_.add(samples, taken);
        passed_.insert(passed_.end(), samples, samples + taken);
        samples += taken;
        count -= taken;
        if (taken == step) judge();
    }
    if (suppressor_) {
        suppressor_->process(samples, count, passed_);
    } else {
        passed_.insert(passed_.end(), samples, samples + count);
    }
    return passed_;
}

const Samples& LiveConditionalDenoiser::finish() {
    passed_.clear();
    if (suppressor_) suppressor_->finish(passed_);
    return passed_;
}

void LiveConditionalDenoiser::judge() {
    const double speechOverNoise = floor_.speechOverNoiseDb();
    // Before anyone speaks the loud frames are noise too: wait for speech.
    if (speechOverNoise < noise::holdsSpeechAboveDb && floor_.samplesAdded() < noise::liveJudgedAtLatestSamples) {
        return;
    }
    judged_ = true;
    floor_ = NoiseFloor();
    if (isNoisy(speechOverNoise)) suppressor_ = NoiseSuppressor::create();
}

}  // namespace voxquill
