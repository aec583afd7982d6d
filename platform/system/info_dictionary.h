#pragma once

#include <string_view>

namespace voxquill {

// The program's information dictionary, an XML property list embedded in the
// executable when it is built.
extern const std::string_view embeddedInfoPlist;

// Any thread; pure. Whether the top-level dictionary of the property list has an entry for the
// key; only presence counts, not the value.
bool infoDictionaryHasKey(std::string_view plist, std::string_view key);

}  // namespace voxquill
