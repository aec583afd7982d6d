#pragma once

#include "platform/speech/sphinx/model_registry.h"

#include <string>

namespace voxquill {

// Transcribes the audio file at `path` with `model` on every usable core,
// with the most accurate search that finishes inside `deadlineSeconds`, counted
// from the call: the whole
// transcript in `transcript`, or false with `error` set. Blocks until done;
// any thread, the model read during the call only.
bool decodeFile(const std::string& path, const LanguageModel& model, double deadlineSeconds, std::string& transcript,
                std::string& error);

}  // namespace voxquill
