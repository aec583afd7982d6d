#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxquill {

// The one form audio takes on its way to the recognizer: 16 kHz mono signed
// 16-bit samples, whatever the recording or the pipe held.
constexpr int recognizerSampleRate = 16000;
using Samples = std::vector<std::int16_t>;

// Audio is measured in frames of 10 ms: its power, its pauses, the
// denoiser's steps.
constexpr std::size_t frameSamples = recognizerSampleRate / 100;

}  // namespace voxquill
