#pragma once

#include <memory>
#include <string>

namespace voxquill {

// The state live mode's tasks share, one object each, held by every task that
// uses it and touched on the main queue only.
using TextCell = std::shared_ptr<std::string>;  // lastText: the latest transcript, untrimmed
using FlagCell = std::shared_ptr<bool>;         // stopped: the input has ended

}  // namespace voxquill
