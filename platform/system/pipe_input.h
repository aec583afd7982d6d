#pragma once

#include "platform/system/unique_fd.h"

#include <sys/types.h>
#include <cstddef>
#include <string>

namespace voxquill {

// Opens the path for reading, waiting for a writer when it names a named
// pipe; the descriptor is the caller's. Empty when the path cannot be opened
// or is a directory, errno saying why. Any thread; it blocks until a writer
// comes, so never on the main queue.
UniqueFd openForReading(const std::string& path);

// Reads what is there, up to `size` bytes into `into`, waiting for some; 0 at
// the end of the stream, -1 when reading fails. Borrows `fd` for the call.
// Any thread.
ssize_t readSome(int fd, char* into, std::size_t size);

}  // namespace voxquill
