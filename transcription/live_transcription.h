#pragma once

#include "transcription/authorize.h"
#include "transcription/live_cells.h"

#include <optional>
#include <string>

namespace voxquill {

// The starter of live mode: starts recognition, then waits for a writer on
// the pipe away from the main queue, so the deadline can still end a run
// whose writer never comes. Once the pipe is open it writes the ready line
// and starts the pump. It holds its share of both cells; the queue must
// outlive the run (it is the main queue, never destroyed).
ModeStarter startLive(EventLoop& queue, std::string pipePath, const TextCell& lastText, const FlagCell& stopped);

// Main queue only, where the cells are read and written without a lock.
// Reports each result as an event line and keeps it as the last text; ends
// the run on an error, or on a final result once the input has ended.
void onLiveResult(const std::optional<RecognitionResult>& result, const std::optional<std::string>& error,
                  std::string& lastText, bool stopped);

}  // namespace voxquill
