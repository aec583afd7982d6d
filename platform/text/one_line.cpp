#include "platform/text/one_line.h"

#include "platform/text/utf8.h"

namespace voxquill {

namespace {

bool breaksTheLine(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::string oneLine(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto point = decodeUtf8(text, at);
        if (!point) {
            shown += '?';
            ++at;
        } else {
            if (breaksTheLine(point->value)) {
                shown += '?';
            } else {
                shown.append(text, at, point->length);
            }
            at += point->length;
        }
    }
    return shown;
}

}  // namespace voxquill
