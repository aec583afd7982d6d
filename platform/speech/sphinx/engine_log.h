#pragma once

namespace voxquill {

// Turns the engine's log off for the whole process, the first time it is
// called: the engine logs to standard error by default, and this program's
// streams carry only its own output. Any thread, before using the engine;
// the log is switched once only, so threads already using the engine never
// see it change.
void silenceEngineLog();

}  // namespace voxquill
