#pragma once

#include "platform/speech/speech_service.h"
#include "platform/system/event_loop.h"

#include <string>
#include <vector>

namespace voxquill {

// Speech recognition on the PocketSphinx models installed in the given
// folders, searched in order. Its recognizers deliver on `deliveryQueue`,
// which must outlive them and their recognitions, and plan a recording's
// decoding to end inside `fileDeadlineSeconds`. The main queue only.
class SphinxSpeechService final : public SpeechService {
public:
    // Start-up only, before any thread: it quietens the engine's streams and
    // holds memory back for the program's own failure path.
    SphinxSpeechService(EventLoop& deliveryQueue, std::vector<std::string> modelFolders, double fileDeadlineSeconds);

    void requestAuthorization(std::function<void(AuthorizationStatus)> handler) override;
    std::unique_ptr<Recognizer> recognizerFor(const std::string& localeId) override;
    std::unique_ptr<Recognizer> defaultRecognizer() override;

private:
    EventLoop& deliveryQueue_;
    std::vector<std::string> modelFolders_;
    double fileDeadlineSeconds_;
};

}  // namespace voxquill
