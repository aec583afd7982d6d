#include "transcription/file_transcription.h"

#include "app/output.h"

#include <utility>

namespace voxquill {

ModeStarter startFile(std::string path) {
    return [path = std::move(path)](Recognizer& recognizer) { recognizer.recognizeFile(path, onFileResult); };
}

void onFileResult(const std::optional<RecognitionResult>& result, const std::optional<std::string>& error) {
    if (error) {
        finish(1, *error, std::nullopt);
        return;
    }
    if (!result || !result->isFinal) return;
    finish(0, std::nullopt, result->text);
}

}  // namespace voxquill
