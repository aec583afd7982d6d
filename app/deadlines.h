#pragma once

#include "platform/system/event_loop.h"

#include <memory>
#include <string>

namespace voxquill {

constexpr double fileDeadlineSeconds = 45.0;
constexpr double liveDeadlineSeconds = 600.0;

void fileTimeout();
void liveTimeout(const std::string& lastText);

// Posts the mode's deadline; nothing cancels it. Live mode's is
// liveDeadlineSeconds but in a test build of the program.
void armFileDeadline(EventLoop& queue);
void armLiveDeadline(EventLoop& queue, double seconds, std::shared_ptr<const std::string> lastText);

}  // namespace voxquill
