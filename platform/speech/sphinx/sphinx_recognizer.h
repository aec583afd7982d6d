#pragma once

#include "platform/speech/speech_service.h"
#include "platform/speech/sphinx/model_registry.h"
#include "platform/system/event_loop.h"

namespace voxquill {

// A recognizer for one installed language model. Each recognition decodes on
// a thread of its own, with its own copy of the model's paths, and delivers
// its results on the queue given, which must outlive every recognition; a
// file's decoding plans to end inside `fileDeadlineSeconds`, counted from
// when it starts. The main queue only.
class SphinxRecognizer final : public Recognizer {
public:
    SphinxRecognizer(LanguageModel model, EventLoop& deliveryQueue, double fileDeadlineSeconds);

    bool isAvailable() const override;
    void recognizeFile(const std::string& path, ResultHandler handler) override;
    void recognizeLive(std::shared_ptr<LiveAudioRequest> request, ResultHandler handler) override;

private:
    LanguageModel model_;
    EventLoop& deliveryQueue_;
    double fileDeadlineSeconds_;
};

}  // namespace voxquill
