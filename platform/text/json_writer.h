#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace voxquill {

using JsonMembers = std::vector<std::pair<std::string, std::string>>;

// Any thread; pure. A compact JSON object of string members, in the order given. "/" is written
// as "\/", other characters outside ASCII as raw UTF-8. Nothing when a key or
// value is not valid UTF-8.
std::optional<std::string> jsonObject(const JsonMembers& members);

}  // namespace voxquill
