#include "platform/speech/sphinx/engine_start.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <csetjmp>

namespace voxquill {

namespace {

// Where a fatal error of the engine on this thread goes back to, while this
// thread is starting a decoder.
thread_local std::jmp_buf* startInProgress = nullptr;

// The engine exits right after reporting a fatal error; a decoder being
// started goes back to its start instead. Every other message is dropped.
void onEngineMessage(void* /*unused*/, err_lvl_t level, const char* /*format*/, ...) {
    if (level == ERR_FATAL && startInProgress != nullptr) std::longjmp(*startInProgress, 1);
}

}  // namespace

void quietEngineLog() {
    // The log stream serves the engine's dumps; the callback, its messages.
    err_set_logfp(nullptr);
    err_set_callback(onEngineMessage, nullptr);
}

// No object with a destructor lives in this frame: the jump back from the
// engine passes over the engine's C frames only.
ps_decoder_s* startDecoder(cmd_ln_s* config) {
    std::jmp_buf failed;
    ps_decoder_t* volatile decoder = nullptr;
    startInProgress = &failed;
    if (setjmp(failed) == 0) decoder = ps_init(config);
    startInProgress = nullptr;
    return decoder;
}

}  // namespace voxquill
