#include "platform/speech/sphinx/engine_start.h"

#include "platform/speech/sphinx/decoder_settings.h"

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace voxquill {

namespace {

// Where a fatal error of the engine on this thread goes back to, while this
// thread is starting a decoder.
thread_local std::jmp_buf* startInProgress = nullptr;

// What a jump back says: the engine's jump on a failed allocation says 1.
constexpr int allocationFailed = 1;
constexpr int fatalError = 2;

// The engine exits right after reporting a fatal error; a decoder being
// started goes back to its start instead. Every other message is dropped.
void onEngineMessage(void* /*unused*/, err_lvl_t level, const char* /*format*/, ...) {
    if (level == ERR_FATAL && startInProgress != nullptr) std::longjmp(*startInProgress, fatalError);
}

ssize_t discard(void* /*unused*/, const char* /*bytes*/, size_t size) {
    return static_cast<ssize_t>(size);
}

}  // namespace

void quietEngineStreams() {
    // The C library lets its standard streams be replaced (glibc documents
    // it); a stream of our own needs no descriptor, which may be scarce.
    cookie_io_functions_t nowhere{};
    nowhere.write = discard;
    if (FILE* quiet = fopencookie(nullptr, "w", nowhere)) stderr = quiet;
}

void quietEngineLog() {
    // The log stream serves the engine's dumps; the callback, its messages.
    err_set_logfp(nullptr);
    err_set_callback(onEngineMessage, nullptr);
}

// No object with a destructor lives in this frame: the jumps back from the
// engine pass over the engine's C frames only.
ps_decoder_s* startDecoder(cmd_ln_s* config, bool aloneInEngine, bool& outOfMemory) {
    std::jmp_buf failed;
    ps_decoder_t* volatile decoder = nullptr;
    void* const kept = aloneInEngine ? std::malloc(decoding::bytesKeptForFailing) : nullptr;
    startInProgress = &failed;
    std::jmp_buf* const before = aloneInEngine ? ckd_set_jump(&failed, 0) : nullptr;
    const int jumped = setjmp(failed);
    if (jumped == 0) decoder = ps_init(config);
    if (aloneInEngine) ckd_set_jump(before, 0);
    startInProgress = nullptr;
    std::free(kept);
    outOfMemory = jumped == allocationFailed;
    return decoder;
}

}  // namespace voxquill
