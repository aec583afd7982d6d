#include "platform/speech/sphinx/result_delivery.h"

#include <optional>
#include <utility>

namespace voxquill {

void deliverResult(EventLoop& queue, const ResultHandler& handler, bool isFinal, std::string text) {
    queue.post([handler, result = RecognitionResult{isFinal, std::move(text)}] { handler(result, std::nullopt); });
}

void deliverError(EventLoop& queue, const ResultHandler& handler, std::string error) {
    queue.post([handler, error = std::move(error)] { handler(std::nullopt, error); });
}

}  // namespace voxquill
