#include "platform/text/utf8.h"

namespace voxquill {

namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

struct Lead {
    std::size_t length;
    char32_t bits;
    char32_t minimum;
};

std::optional<Lead> leadOf(unsigned char byte) {
    if (byte < 0x80) return Lead{1, byte, 0};
    if ((byte & 0xE0) == 0xC0) return Lead{2, static_cast<char32_t>(byte & 0x1F), 0x80};
    if ((byte & 0xF0) == 0xE0) return Lead{3, static_cast<char32_t>(byte & 0x0F), 0x800};
    if ((byte & 0xF8) == 0xF0) return Lead{4, static_cast<char32_t>(byte & 0x07), 0x10000};
    return std::nullopt;
}

}  // namespace

std::optional<CodePoint> decodeUtf8(std::string_view text, std::size_t at) {
    if (at >= text.size()) return std::nullopt;
    const auto lead = leadOf(static_cast<unsigned char>(text[at]));
    if (!lead || at + lead->length > text.size()) return std::nullopt;
    char32_t value = lead->bits;
    for (std::size_t i = 1; i < lead->length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if (!isContinuation(byte)) return std::nullopt;
        value = (value << 6) | (byte & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < lead->minimum || value > 0x10FFFF || surrogate) return std::nullopt;
    return CodePoint{value, lead->length};
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto point = decodeUtf8(text, at);
        if (!point) return false;
        at += point->length;
    }
    return true;
}

}  // namespace voxquill
