#pragma once

#include <sys/types.h>
#include <cstddef>
#include <string>

namespace voxquill {

// Opens the path for reading, waiting for a writer when it names a named
// pipe. A descriptor, or -1 when it cannot be opened or is a directory.
int openForReading(const std::string& path);

// Reads what is there, up to `size` bytes, waiting for some; 0 at the end of
// the stream, -1 when reading fails.
ssize_t readSome(int fd, char* into, std::size_t size);

void closeInput(int fd);

}  // namespace voxquill
