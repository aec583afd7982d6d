#pragma once

#include "platform/speech/speech_service.h"
#include "platform/system/event_loop.h"

#include <functional>

namespace voxquill {

// Starts a mode's transcription with an available recognizer, which it only
// borrows for the call.
using ModeStarter = std::function<void(Recognizer&)>;

// Asks for permission and returns at once. The answer is handled later on
// `queue`, never inline, so start-up always reaches the run loop first.
void authorize(SpeechService& service, EventLoop& queue, ModeStarter starter);

// Ends the run unless permission was granted and a recognizer is available;
// otherwise hands it to the starter. Runs on the main queue.
void acquireRecognizer(SpeechService& service, AuthorizationStatus status, const ModeStarter& starter);

}  // namespace voxquill
