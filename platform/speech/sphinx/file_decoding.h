#pragma once

#include "platform/speech/sphinx/model_registry.h"

#include <string>

namespace voxquill {

// The whole transcript of a file, or the reason there is none.
struct FileOutcome {
    std::string transcript;
    std::string error;
};

// Transcribes the audio file at `path` with `model` on every usable core,
// with the most accurate search that finishes inside the deadline.
FileOutcome decodeFile(const std::string& path, const LanguageModel& model);

}  // namespace voxquill
