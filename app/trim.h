#pragma once

#include <string>
#include <string_view>

namespace voxquill {

// Removes white space and line ends from both ends: U+0009 to U+000D, U+0085
// and every space, line and paragraph separator. Bytes that are not valid
// UTF-8 are kept, as are characters inside the text.
std::string trimmed(std::string_view text);

}  // namespace voxquill
