// The path of a text to an event line: trimming, then the JSON writer. Any
// bytes at all go in; whatever comes out must be one line of JSON that
// decodes back to the trimmed text, or nothing when the text is not UTF-8.

#include "app/output.h"
#include "app/trim.h"
#include "json_string.h"
#include "platform/text/utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace voxquill;

void require(bool holds) {
    if (!holds) std::abort();
}

// Only the ends go, and only what trimming takes: nothing is left to trim.
void checkTrimmed(const std::string& text, const std::string& trimmedText) {
    require(trimmed(trimmedText) == trimmedText);
    const std::size_t at = text.find(trimmedText);
    require(at != std::string::npos);
    if (!isValidUtf8(text)) return;
    require(isValidUtf8(trimmedText));
    require(trimmed(text.substr(0, at)).empty());
    require(trimmed(text.substr(at + trimmedText.size())).empty());
}

void checkEventLine(const std::string& kind, const std::string& text) {
    const auto line = eventLine(kind, text);
    require(line.has_value() == isValidUtf8(text));
    if (!line) return;
    require(line->find('\n') == line->size() - 1);
    for (const char c : *line) require(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
    const std::string head = "{\"k\":\"" + kind + "\",\"t\":";
    require(line->compare(0, head.size(), head) == 0);
    require(line->compare(line->size() - 2, 2, "}\n") == 0);
    const std::string value = line->substr(head.size(), line->size() - head.size() - 2);
    require(fuzzing::JsonStringReader(value).read() == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string trimmedText = trimmed(text);
    checkTrimmed(text, trimmedText);
    checkEventLine("p", text);
    checkEventLine("f", trimmedText);
    return 0;
}
