#pragma once

#include "platform/system/unique_fd.h"

#include <string>

namespace voxquill {

// A recording opened for reading: a regular file, or a pipe read as a stream.
// One thread at a time.
struct RecordingInput {
    UniqueFd fd;  // empty when the path cannot be read
    bool seekable = false;
};

// Opens `path`: a regular file, or a pipe (a named pipe, `/dev/stdin`, a
// process substitution) whose writer is waited for, so never on the main
// queue. A directory or a device is refused. The descriptor is the caller's.
// On failure its descriptor is empty and `error` the reason, without the path.
// Any thread.
RecordingInput openRecording(const std::string& path, std::string& error);

}  // namespace voxquill
