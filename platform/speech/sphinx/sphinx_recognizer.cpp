#include "platform/speech/sphinx/sphinx_recognizer.h"

#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/file_decoding.h"
#include "platform/speech/sphinx/live_decoding.h"
#include "platform/speech/sphinx/result_delivery.h"
#include "platform/text/messages.h"

#include <utility>

namespace voxquill {

namespace {

void decodeAndDeliver(const std::string& path, const LanguageModel& model, double deadlineSeconds, EventLoop& queue,
                      const ResultHandler& handler) {
    std::string transcript;
    std::string error;
    if (decodeFile(path, model, deadlineSeconds, transcript, error)) {
        deliverResult(queue, handler, true, std::move(transcript));
    } else {
        deliverError(queue, handler, std::move(error));
    }
}

}  // namespace

SphinxRecognizer::SphinxRecognizer(LanguageModel model, EventLoop& deliveryQueue, double fileDeadlineSeconds)
    : model_(std::move(model)), deliveryQueue_(deliveryQueue), fileDeadlineSeconds_(fileDeadlineSeconds) {}

bool SphinxRecognizer::isAvailable() const {
    return isUsable(model_);
}

void SphinxRecognizer::recognizeFile(const std::string& path, ResultHandler handler) {
    EventLoop& queue = deliveryQueue_;
    auto work = [path, model = model_, seconds = fileDeadlineSeconds_, &queue, handler] {
        decodeAndDeliver(path, model, seconds, queue, handler);
    };
    if (!runInBackground(std::move(work))) deliverError(queue, handler, messages::noRecognitionThread);
}

void SphinxRecognizer::recognizeLive(std::shared_ptr<LiveAudioRequest> request, ResultHandler handler) {
    request->limitBacklog(decoding::mostSamplesBehind);
    EventLoop& queue = deliveryQueue_;
    auto work = [request, model = model_, &queue, handler] { decodeLive(*request, model, queue, handler); };
    if (runInBackground(std::move(work))) return;
    request->recognizerQuit();
    deliverError(queue, handler, messages::noRecognitionThread);
}

}  // namespace voxquill
