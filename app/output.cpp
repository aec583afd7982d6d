#include "output.h"

#include "platform/json_writer.h"
#include "platform/std_streams.h"
#include "state.h"
#include "trim.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

namespace voxquill {

namespace {

bool hasText(const std::optional<std::string>& value) {
    return value && !value->empty();
}

Closing liveClosing(int code, const std::optional<std::string>& err, const std::string& text) {
    Closing closing;
    closing.status = code;
    if (!text.empty()) {
        closing.out = eventLine("f", text).value_or("");
    } else if (hasText(err)) {
        closing.out = eventLine("e", *err).value_or("");
    }
    return closing;
}

Closing fileClosing(int code, const std::optional<std::string>& err, const std::string& text) {
    Closing closing;
    closing.status = code;
    if (!text.empty()) {
        closing.out = text + "\n";
        closing.status = 0;
    } else if (hasText(err)) {
        closing.err = *err + "\n";
    }
    return closing;
}

}  // namespace

std::optional<std::string> eventLine(const std::string& kind, const std::string& text) {
    const auto object = jsonObject({{"k", kind}, {"t", text}});
    if (!object) return std::nullopt;
    return *object + "\n";
}

void emit(const std::string& kind, const std::string& text) {
    const auto line = eventLine(kind, text);
    if (!line) return;
    writeAll(STDOUT_FILENO, *line);
    std::fflush(stdout);
}

Closing closingFor(bool liveMode, int code, const std::optional<std::string>& err,
                   const std::optional<std::string>& text) {
    const std::string outcome = text ? trimmed(*text) : std::string();
    return liveMode ? liveClosing(code, err, outcome) : fileClosing(code, err, outcome);
}

void finish(int code, const std::optional<std::string>& err, const std::optional<std::string>& text) {
    if (finished) return;
    finished = true;
    const Closing closing = closingFor(live, code, err, text);
    if (!closing.out.empty()) writeAll(STDOUT_FILENO, closing.out);
    if (!closing.err.empty()) writeAll(STDERR_FILENO, closing.err);
    std::fflush(stdout);
    std::exit(closing.status);
}

}  // namespace voxquill
