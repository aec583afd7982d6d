#include "platform/system/info_dictionary.h"

namespace voxquill {

namespace {

bool startsWithAt(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

// The key element that starts at `at`, or nothing when it is not one.
std::string_view keyAt(std::string_view plist, std::size_t at) {
    constexpr std::string_view open = "<key>";
    const std::size_t start = at + open.size();
    const std::size_t end = plist.find("</key>", start);
    if (end == std::string_view::npos) return {};
    return plist.substr(start, end - start);
}

}  // namespace

bool infoDictionaryHasKey(std::string_view plist, std::string_view key) {
    int depth = 0;
    for (std::size_t at = plist.find('<'); at != std::string_view::npos; at = plist.find('<', at + 1)) {
        if (startsWithAt(plist, at, "<dict>")) {
            ++depth;
        } else if (startsWithAt(plist, at, "</dict>")) {
            --depth;
        } else if (depth == 1 && startsWithAt(plist, at, "<key>") && keyAt(plist, at) == key) {
            return true;
        }
    }
    return false;
}

}  // namespace voxquill
