#include "platform/speech/sphinx/engine_log.h"

#include <sphinxbase/err.h>

#include <mutex>

namespace voxquill {

void silenceEngineLog() {
    static std::once_flag silenced;
    std::call_once(silenced, [] { err_set_logfp(nullptr); });
}

}  // namespace voxquill
