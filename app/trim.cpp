#include "app/trim.h"

#include "platform/text/utf8.h"

namespace voxquill {

namespace {

bool isTrimmable(char32_t c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
    // Unicode general category Z (Zs, Zl, Zp).
    if (c == 0x20 || c == 0xA0 || c == 0x1680) return true;
    if (c >= 0x2000 && c <= 0x200A) return true;
    return c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Length of the trimmable character that ends at `end`, or 0.
std::size_t trimmableEndingAt(std::string_view text, std::size_t end) {
    for (std::size_t length = 1; length <= 4 && length <= end; ++length) {
        const auto point = decodeUtf8(text, end - length);
        if (point && point->length == length) {
            return isTrimmable(point->value) ? length : 0;
        }
    }
    return 0;
}

}  // namespace

std::string trimmed(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto point = decodeUtf8(text, begin);
        if (!point || !isTrimmable(point->value)) break;
        begin += point->length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        const std::size_t length = trimmableEndingAt(text, end);
        if (length == 0) break;
        end -= length;
    }
    return std::string(text.substr(begin, end - begin));
}

}  // namespace voxquill
