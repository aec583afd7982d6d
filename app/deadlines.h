#pragma once

#include "platform/system/event_loop.h"

#include <memory>
#include <string>

namespace voxquill {

constexpr double fileDeadlineSeconds = 45.0;
constexpr double liveDeadlineSeconds = 600.0;

void fileTimeout();
void liveTimeout(const std::string& lastText);

// Posts the mode's deadline; nothing cancels it. A file-mode run has
// `fileDeadlineSeconds`, unless a test's variant of the program says less.
void armFileDeadline(EventLoop& queue, double seconds);
void armLiveDeadline(EventLoop& queue, std::shared_ptr<const std::string> lastText);

}  // namespace voxquill
