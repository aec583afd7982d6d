#include "platform/signal/noise_suppressor.h"

#include "platform/signal/signal_settings.h"

#include <speex/speex_preprocess.h>

#include <algorithm>

namespace voxquill {

namespace {

// The preprocessor works on frames of a size fixed when it is made, the
// 10-ms frame. Each sample comes out of it a frame later: the first frame
// out is not the audio's.
constexpr std::size_t suppressorDelay = frameSamples;

bool set(SpeexPreprocessState* state, int request, int value) {
    return speex_preprocess_ctl(state, request, &value) == 0;
}

// Noise suppression alone: the recognizer has its own ways with the level
// and with pauses. Its voice activity detection is off from the start, and
// is not touched: setting it writes a warning on standard error.
bool onlyDenoise(SpeexPreprocessState* state) {
    return set(state, SPEEX_PREPROCESS_SET_DENOISE, 1) &&
           set(state, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, noise::suppressionDb) &&
           set(state, SPEEX_PREPROCESS_SET_AGC, 0) && set(state, SPEEX_PREPROCESS_SET_DEREVERB, 0);
}

}  // namespace

std::unique_ptr<NoiseSuppressor> NoiseSuppressor::create() {
    SpeexPreprocessState* state = speex_preprocess_state_init(static_cast<int>(frameSamples), recognizerSampleRate);
    if (state == nullptr) return nullptr;
    if (!onlyDenoise(state)) {
        speex_preprocess_state_destroy(state);
        return nullptr;
    }
    return std::unique_ptr<NoiseSuppressor>(new NoiseSuppressor(state));
}

NoiseSuppressor::NoiseSuppressor(SpeexPreprocessState* state) : state_(state), toSkip_(suppressorDelay) {
    pending_.reserve(frameSamples);
}

NoiseSuppressor::~NoiseSuppressor() {
    speex_preprocess_state_destroy(state_);
}

void NoiseSuppressor::process(const std::int16_t* samples, std::size_t count, Samples& out) {
    samplesIn_ += count;
    while (count > 0) {
        const std::size_t taken = std::min(count, frameSamples - pending_.size());
        pending_.insert(pending_.end(), samples, samples + taken);
        samples += taken;
        count -= taken;
        if (pending_.size() == frameSamples) processPending(out);
    }
}

void NoiseSuppressor::finish(Samples& out) {
    // Silence pushes the last samples through.
    while (samplesOut_ < samplesIn_) {
        pending_.resize(frameSamples, 0);
        processPending(out);
    }
}

void NoiseSuppressor::processPending(Samples& out) {
    // Denoises the frame in place; what it returns is its voice activity
    // guess, which is off.
    speex_preprocess_run(state_, pending_.data());
    const std::size_t skipped = std::min(toSkip_, frameSamples);
    toSkip_ -= skipped;
    const std::size_t given = std::min(frameSamples - skipped, samplesIn_ - samplesOut_);
    out.insert(out.end(), pending_.begin() + static_cast<std::ptrdiff_t>(skipped),
               pending_.begin() + static_cast<std::ptrdiff_t>(skipped + given));
    samplesOut_ += given;
    pending_.clear();
}

}  // namespace voxquill
