#pragma once

#include "transcription/authorize.h"

#include <optional>
#include <string>

namespace voxquill {

// The starter of file mode: recognizes the file at `path` as a whole. It
// keeps its copy of the path; the recognizer is only borrowed for the call.
ModeStarter startFile(std::string path);

// Main queue only. Ends the run on the first error or the first final result; anything else
// leaves it waiting.
void onFileResult(const std::optional<RecognitionResult>& result, const std::optional<std::string>& error);

}  // namespace voxquill
