#pragma once

#include "platform/speech/speech_service.h"

#include <map>
#include <string>
#include <vector>

namespace voxquill::testing {

// Records what the program asks of it and answers as a test sets it up.
struct FakeRecognizer final : Recognizer {
    explicit FakeRecognizer(std::string recognizerName, bool isUp = true)
        : name(std::move(recognizerName)), available(isUp) {}

    bool isAvailable() const override { return available; }
    void recognizeFile(const std::string& path, ResultHandler handler) override {
        recognizedPaths.push_back(path);
        fileHandler = std::move(handler);
    }

    void recognizeLive(std::shared_ptr<LiveAudioRequest> request, ResultHandler handler) override {
        liveRequest = std::move(request);
        liveHandler = std::move(handler);
    }

    std::string name;
    bool available;
    std::vector<std::string> recognizedPaths;
    ResultHandler fileHandler;
    std::shared_ptr<LiveAudioRequest> liveRequest;
    ResultHandler liveHandler;
};

struct FakeSpeechService final : SpeechService {
    void requestAuthorization(std::function<void(AuthorizationStatus)> handler) override {
        ++authorizationRequests;
        if (answerAtOnce)
            handler(answer);
        else
            pending = std::move(handler);
    }
    std::unique_ptr<Recognizer> recognizerFor(const std::string& localeId) override {
        askedLocales.push_back(localeId);
        const auto found = localeRecognizers.find(localeId);
        if (found == localeRecognizers.end()) return nullptr;
        return std::make_unique<FakeRecognizer>(found->second, found->second != "unavailable");
    }
    std::unique_ptr<Recognizer> defaultRecognizer() override {
        ++defaultRequests;
        if (!hasDefault) return nullptr;
        return std::make_unique<FakeRecognizer>("default", defaultAvailable);
    }

    AuthorizationStatus answer = AuthorizationStatus::authorized;
    bool answerAtOnce = true;
    std::function<void(AuthorizationStatus)> pending;
    // A locale's recognizer by name; the name "unavailable" makes it so.
    std::map<std::string, std::string> localeRecognizers;
    bool hasDefault = true;
    bool defaultAvailable = true;

    int authorizationRequests = 0;
    int defaultRequests = 0;
    std::vector<std::string> askedLocales;
};

}  // namespace voxquill::testing
