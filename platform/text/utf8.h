#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace voxquill {

struct CodePoint {
    char32_t value;
    std::size_t length;  // bytes it takes in the text
};

// Both are pure and may be called from any thread.

// Decodes the code point that starts at `at`; nothing when the bytes there are
// not well-formed UTF-8 (overlong forms and surrogates included).
std::optional<CodePoint> decodeUtf8(std::string_view text, std::size_t at);

bool isValidUtf8(std::string_view text);

}  // namespace voxquill
