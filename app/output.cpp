#include "app/output.h"

#include "app/state.h"
#include "app/trim.h"
#include "platform/system/std_streams.h"
#include "platform/text/json_writer.h"
#include "platform/text/messages.h"
#include "platform/text/one_line.h"

#include <unistd.h>

#ifdef VOXQUILL_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace voxquill {

namespace {

bool hasText(const std::optional<std::string>& value) {
    return value && !value->empty();
}

Closing liveClosing(int code, const std::optional<std::string>& err, const std::string& text) {
    Closing closing;
    closing.status = code;
    if (!text.empty()) {
        closing.out = eventLine(messages::kind::final, text).value_or("");
    } else if (hasText(err)) {
        closing.out = eventLine(messages::kind::error, *err).value_or("");
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
        // One line, whatever the recording is called.
        closing.err = oneLine(*err) + "\n";
    }
    return closing;
}

// Decoder threads may still be inside the engine: static destructors and exit
// handlers must not run under them, so the process ends without them. The
// outcome is written by then, and nothing of ours waits in a stdio buffer.
[[noreturn]] void endProcess(int status) {
#ifdef VOXQUILL_LEAK_CHECK
    // The leak check runs at exit, which is skipped: run it here.
    __lsan_do_leak_check();
#endif
    ::_exit(status);
}

bool writeClosing(const Closing& closing) {
    const bool out = closing.out.empty() || writeAll(STDOUT_FILENO, closing.out);
    const bool err = closing.err.empty() || writeAll(STDERR_FILENO, closing.err);
    return out && err;
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
    // Once standard output takes no more, every later line would be lost
    // too: the run ends there, a failure, and writes nothing else.
    if (!writeAll(STDOUT_FILENO, *line)) finish(1, std::nullopt, std::nullopt);
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
    // An outcome that did not reach its reader is no success.
    const bool written = writeClosing(closing);
    endProcess(written ? closing.status : 1);
}

}  // namespace voxquill
