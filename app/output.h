#pragma once

#include <optional>
#include <string>

namespace voxquill {

// One event line of live mode: a JSON object with "k" and "t", and a line
// feed. Nothing when the text cannot be written as JSON.
std::optional<std::string> eventLine(const std::string& kind, const std::string& text);

// Main queue only, as `finish`: standard output has one writer at a time.
// Writes an event line on standard output in one write; a line that cannot be
// made is dropped without a trace. When standard output takes no more, the
// run ends at once with status 1 and nothing more written.
void emit(const std::string& kind, const std::string& text = "");

struct Closing {
    std::string out;  // bytes for standard output
    std::string err;  // bytes for standard error
    int status = 0;
};

// What ending the run writes and the exit status: a transcript wins over an
// error; file mode exits 0 whenever it writes a transcript, and writes an
// error as one line, its control characters shown as "?".
Closing closingFor(bool liveMode, int code, const std::optional<std::string>& err,
                   const std::optional<std::string>& text);

// Main queue only: `finished` has no lock.
// The one way out after start-up: writes the outcome and ends the process,
// with status 1 when the outcome could not be written, without running exit
// handlers or static destructors. Every call after the first does nothing
// and returns.
void finish(int code, const std::optional<std::string>& err, const std::optional<std::string>& text);

}  // namespace voxquill
