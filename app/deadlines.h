#pragma once

#include "platform/system/event_loop.h"

#include <memory>
#include <string>

namespace voxquill {

constexpr double fileDeadlineSeconds = 45.0;
constexpr double liveDeadlineSeconds = 600.0;

// Both run on the main queue, when their deadline passes.
void fileTimeout();
void liveTimeout(const std::string& lastText);

// Posts the mode's deadline; nothing cancels it. The seconds are the mode's
// own but in a test build of the program, whose deadlines come sooner. The
// live deadline holds its share of `lastText` until it runs.
void armFileDeadline(EventLoop& queue, double seconds);
void armLiveDeadline(EventLoop& queue, double seconds, std::shared_ptr<const std::string> lastText);

}  // namespace voxquill
