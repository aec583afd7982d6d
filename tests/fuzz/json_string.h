#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace voxquill::fuzzing {

// Reads one quoted JSON string strictly: escapes as the JSON grammar has
// them, \u escapes (surrogate pairs included) turned into UTF-8, no raw
// control character, and no raw "/", which event lines always escape.
// Nothing when the text is not such a string.
class JsonStringReader {
public:
    explicit JsonStringReader(std::string_view quoted) : in_(quoted) {}

    std::optional<std::string> read() {
        if (in_.size() < 2 || in_.front() != '"' || in_.back() != '"') return std::nullopt;
        in_ = in_.substr(1, in_.size() - 2);
        std::string out;
        while (!in_.empty()) {
            const char c = take();
            if (c == '"' || c == '/' || static_cast<unsigned char>(c) < 0x20) return std::nullopt;
            if (c != '\\') {
                out += c;
            } else if (!readEscape(out)) {
                return std::nullopt;
            }
        }
        return out;
    }

private:
    char take() {
        const char c = in_.front();
        in_.remove_prefix(1);
        return c;
    }

    bool readEscape(std::string& out) {
        if (in_.empty()) return false;
        const char c = take();
        const std::string_view plain = "\"\\/bfnrt";
        const std::string_view meant = "\"\\/\b\f\n\r\t";
        if (const auto at = plain.find(c); at != std::string_view::npos) {
            out += meant[at];
            return true;
        }
        return c == 'u' && readUnicode(out);
    }

    std::optional<char32_t> hex4() {
        if (in_.size() < 4) return std::nullopt;
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = take();
            const std::string_view digits = "0123456789abcdef";
            const auto digit = digits.find(static_cast<char>(c | 0x20));
            if (digit == std::string_view::npos) return std::nullopt;
            value = value * 16 + static_cast<char32_t>(digit);
        }
        return value;
    }

    bool readUnicode(std::string& out) {
        auto value = hex4();
        if (!value || (*value >= 0xDC00 && *value <= 0xDFFF)) return false;
        if (*value >= 0xD800 && *value <= 0xDBFF) {
            if (in_.size() < 2 || take() != '\\' || take() != 'u') return false;
            const auto low = hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
            value = 0x10000 + ((*value - 0xD800) << 10) + (*low - 0xDC00);
        }
        appendUtf8(out, *value);
        return true;
    }

    static void appendUtf8(std::string& out, char32_t value) {
        if (value < 0x80) {
            out += static_cast<char>(value);
            return;
        }
        const int continuations = value < 0x800 ? 1 : value < 0x10000 ? 2 : 3;
        const char32_t leads[] = {0, 0xC0, 0xE0, 0xF0};
        out += static_cast<char>(leads[continuations] | (value >> (6 * continuations)));
        for (int i = continuations - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((value >> (6 * i)) & 0x3F));
    }

    std::string_view in_;
};

}  // namespace voxquill::fuzzing
