#pragma once

#include <string>

namespace voxquill {

// A recording opened for reading: a regular file, or a pipe read as a stream.
struct RecordingInput {
    int fd = -1;  // -1 when the path cannot be read; `reason` says why
    bool seekable = false;
    std::string reason;
};

// Opens `path`: a regular file, or a pipe (a named pipe, `/dev/stdin`, a
// process substitution) whose writer is waited for. A directory or a device
// is refused. The descriptor is the caller's to close.
RecordingInput openRecording(const std::string& path);

}  // namespace voxquill
