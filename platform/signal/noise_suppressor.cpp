#include "platform/signal/noise_suppressor.h"

#include "platform/signal/noise_settings.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <utility>

namespace voxquill {

namespace {

// The library works on 10-ms frames.
constexpr std::size_t frameSamples = recognizerSampleRate / 100;

// Each sample comes out of the suppressor this much later (its analysis
// window, 256 samples, slides by a frame): the first this many samples out
// are not the audio's.
constexpr std::size_t suppressorDelay = 96;

}  // namespace

std::unique_ptr<NoiseSuppressor> NoiseSuppressor::create() {
    std::unique_ptr<webrtc::AudioProcessing> processing(webrtc::AudioProcessing::Create());
    if (!processing) return nullptr;
    webrtc::NoiseSuppression& suppression = *processing->noise_suppression();
    if (suppression.set_level(static_cast<webrtc::NoiseSuppression::Level>(noise::suppressionLevel)) != webrtc::AudioProcessing::kNoError) return nullptr;
    if (suppression.Enable(true) != webrtc::AudioProcessing::kNoError) return nullptr;
    return std::unique_ptr<NoiseSuppressor>(new NoiseSuppressor(std::move(processing)));
}

NoiseSuppressor::NoiseSuppressor(std::unique_ptr<webrtc::AudioProcessing> processing)
    : processing_(std::move(processing)), frame_(std::make_unique<webrtc::AudioFrame>()), toSkip_(suppressorDelay) {
    pending_.reserve(frameSamples);
}

NoiseSuppressor::~NoiseSuppressor() = default;

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
    webrtc::AudioFrame& frame = *frame_;
    frame.UpdateFrame(0, 0, pending_.data(), frameSamples, recognizerSampleRate, webrtc::AudioFrame::kNormalSpeech,
                      webrtc::AudioFrame::kVadUnknown, 1);
    // A frame the library fails on goes on as it was, rather than be lost.
    const bool denoised = processing_->ProcessStream(&frame) == webrtc::AudioProcessing::kNoError;
    const std::int16_t* result = denoised ? frame.data_ : pending_.data();
    const std::size_t skipped = std::min(toSkip_, frameSamples);
    toSkip_ -= skipped;
    const std::size_t given = std::min(frameSamples - skipped, samplesIn_ - samplesOut_);
    out.insert(out.end(), result + skipped, result + skipped + given);
    samplesOut_ += given;
    pending_.clear();
}

}  // namespace voxquill
