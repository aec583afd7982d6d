#pragma once

#include "platform/speech/speech_service.h"
#include "platform/system/event_loop.h"

#include <string>

namespace voxquill {

// Posts a result, or an error, to the handler on `queue`, from any thread.
// The handler is copied into the posted task; the queue must outlive it.
void deliverResult(EventLoop& queue, const ResultHandler& handler, bool isFinal, std::string text);
void deliverError(EventLoop& queue, const ResultHandler& handler, std::string error);

}  // namespace voxquill
