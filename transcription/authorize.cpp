#include "transcription/authorize.h"

#include "app/output.h"
#include "app/state.h"
#include "platform/text/messages.h"

#include <memory>
#include <utility>

namespace voxquill {

void authorize(SpeechService& service, EventLoop& queue, ModeStarter starter) {
    auto onAuthorization = [&service, &queue, starter = std::move(starter)](AuthorizationStatus status) {
        queue.post([&service, status, starter] { acquireRecognizer(service, status, starter); });
    };
    service.requestAuthorization(std::move(onAuthorization));
}

void acquireRecognizer(SpeechService& service, AuthorizationStatus status, const ModeStarter& starter) {
    if (status != AuthorizationStatus::authorized) {
        finish(1, messages::notAuthorized, std::nullopt);
        return;
    }
    std::unique_ptr<Recognizer> recognizer = service.recognizerFor(localeId);
    if (!recognizer) recognizer = service.defaultRecognizer();
    if (!recognizer || !recognizer->isAvailable()) {
        finish(1, messages::unavailable, std::nullopt);
        return;
    }
    starter(*recognizer);
}

}  // namespace voxquill
