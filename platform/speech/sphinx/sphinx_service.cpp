#include "platform/speech/sphinx/sphinx_service.h"

#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/engine_start.h"
#include "platform/speech/sphinx/model_registry.h"
#include "platform/speech/sphinx/sphinx_recognizer.h"
#include "platform/system/memory_reserve.h"

#include <utility>

namespace voxquill {

SphinxSpeechService::SphinxSpeechService(EventLoop& deliveryQueue, std::vector<std::string> modelFolders,
                                         double fileDeadlineSeconds)
    : deliveryQueue_(deliveryQueue), modelFolders_(std::move(modelFolders)), fileDeadlineSeconds_(fileDeadlineSeconds) {
    quietEngineStreams();
    // Without even this much there is no model to load: the decoder says so.
    holdMemoryReserve(decoding::bytesHeldForTheProgram);
}

void SphinxSpeechService::requestAuthorization(std::function<void(AuthorizationStatus)> handler) {
    // Linux keeps no speech permission: recognition runs on this machine
    // only, so it is always granted. The answer still comes from elsewhere,
    // as the caller expects.
    auto answer = [handler] { handler(AuthorizationStatus::authorized); };
    if (!runInBackground(answer)) answer();
}

std::unique_ptr<Recognizer> SphinxSpeechService::recognizerFor(const std::string& localeId) {
    auto model = findModel(modelFolders_, localeId);
    if (!model) return nullptr;
    return std::make_unique<SphinxRecognizer>(std::move(*model), deliveryQueue_, fileDeadlineSeconds_);
}

std::unique_ptr<Recognizer> SphinxSpeechService::defaultRecognizer() {
    return recognizerFor(std::string(defaultLocaleId));
}

}  // namespace voxquill
