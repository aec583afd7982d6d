#include "platform/text/json_writer.h"

#include "platform/text/utf8.h"

#include <cstdio>

namespace voxquill {

namespace {

void appendEscaped(std::string& out, char c) {
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '/':
            out += "\\/";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04x", byte);
        out += code;
        return;
    }
    out += c;
}

bool appendString(std::string& out, std::string_view text) {
    if (!isValidUtf8(text)) return false;
    out += '"';
    for (const char c : text) appendEscaped(out, c);
    out += '"';
    return true;
}

}  // namespace

std::optional<std::string> jsonObject(const JsonMembers& members) {
    std::string out = "{";
    for (const auto& [key, value] : members) {
        if (out.size() > 1) out += ',';
        if (!appendString(out, key)) return std::nullopt;
        out += ':';
        if (!appendString(out, value)) return std::nullopt;
    }
    out += '}';
    return out;
}

}  // namespace voxquill
