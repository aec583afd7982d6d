#pragma once

#include <string_view>

namespace voxquill {

// Any thread. Hands the bytes to the descriptor unbuffered, retrying short and
// interrupted writes, and waiting for room when a non-blocking descriptor is
// full, for as long as its reader takes. False when the descriptor takes no
// more of them, for instance because its reader has gone away.
bool writeAll(int fd, std::string_view bytes);

// Start-up only, before any thread. Makes a write to a pipe without a reader fail with EPIPE instead of killing
// the process, so that the run still ends with a status of its own. False
// when the signal's disposition could not be changed.
bool ignoreBrokenPipe();

}  // namespace voxquill
