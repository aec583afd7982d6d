#include "app/deadlines.h"

#include "app/output.h"
#include "platform/text/messages.h"

#include <optional>
#include <utility>

namespace voxquill {

void fileTimeout() {
    finish(1, messages::timeout, std::nullopt);
}

void liveTimeout(const std::string& lastText) {
    finish(1, messages::timeout, lastText.empty() ? std::nullopt : std::optional<std::string>(lastText));
}

void armFileDeadline(EventLoop& queue, double seconds) {
    queue.postAfter(seconds, fileTimeout);
}

void armLiveDeadline(EventLoop& queue, double seconds, std::shared_ptr<const std::string> lastText) {
    queue.postAfter(seconds, [lastText = std::move(lastText)] { liveTimeout(*lastText); });
}

}  // namespace voxquill
