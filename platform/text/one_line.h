#pragma once

#include <string>
#include <string_view>

namespace voxquill {

// Pure; any thread. The text as one line a terminal shows as it is: every
// character that moves the cursor, breaks the line for some reader or starts
// a terminal command (C0 and C1 controls, DEL, the Unicode line and
// paragraph separators) and every byte that is not part of well-formed
// UTF-8 is shown as "?".
std::string oneLine(std::string_view text);

}  // namespace voxquill
