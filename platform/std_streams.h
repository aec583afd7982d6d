#pragma once

#include <string_view>

namespace voxquill {

// Hands the bytes to the descriptor unbuffered, retrying short and
// interrupted writes. Failures are not reported: there is nowhere to say so.
void writeAll(int fd, std::string_view bytes);

}  // namespace voxquill
