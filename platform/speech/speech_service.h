#pragma once

#include "platform/speech/live_audio_request.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace voxquill {

enum class AuthorizationStatus { notDetermined = 0, denied = 1, restricted = 2, authorized = 3 };

struct RecognitionResult {
    bool isFinal = false;
    std::string text;  // the whole best transcription so far
};

// Called on the main queue, with a result, an error's readable description,
// both or neither; both are the handler's for the call only.
using ResultHandler =
    std::function<void(const std::optional<RecognitionResult>& result, const std::optional<std::string>& error)>;

// The main queue only. A recognition goes on after the recognizer that
// started it is gone: it holds what it needs.
class Recognizer {
public:
    virtual ~Recognizer() = default;

    virtual bool isAvailable() const = 0;

    // Recognizes the speech in the audio file at `path`, without partial
    // results: the handler later gets one final result with the whole
    // transcript, or an error. Recognition keeps itself alive until then.
    virtual void recognizeFile(const std::string& path, ResultHandler handler) = 0;

    // Recognizes dictation from the audio appended to the request, as it
    // comes: a partial result each time the best transcription changes, then,
    // after the end of the audio, one final result, and nothing after it.
    // Speech that goes on for long without a pause gets a final result on
    // the way, and the results after it go on from its text.
    // Audio without a word in it has no final result. The recognition shares
    // the request with its writer, and limits its backlog before it returns.
    virtual void recognizeLive(std::shared_ptr<LiveAudioRequest> request, ResultHandler handler) = 0;
};

// The main queue only.
class SpeechService {
public:
    virtual ~SpeechService() = default;

    // Returns at once; the handler is called once, on any thread.
    virtual void requestAuthorization(std::function<void(AuthorizationStatus)> handler) = 0;

    // A recognizer for the locale identifier, the caller's own, or none when
    // no language model serves it.
    virtual std::unique_ptr<Recognizer> recognizerFor(const std::string& localeId) = 0;

    // The recognizer of the default locale, or none when it has no model.
    virtual std::unique_ptr<Recognizer> defaultRecognizer() = 0;
};

}  // namespace voxquill
