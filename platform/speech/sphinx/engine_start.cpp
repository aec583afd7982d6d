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

namespace {

// The engine's own calls, from its configuration to its decoder: nothing
// between here and a jump has a destructor.
ps_decoder_t* configureAndStart(const EngineArguments& arguments) {
    // clang-format off
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE,
                                   "-hmm", arguments.acousticModel,
                                   "-lm", arguments.languageModel,
                                   "-dict", arguments.dictionary,
                                   "-fwdflat", arguments.flatPass,
                                   "-bestpath", arguments.bestPath,
                                   "-maxhmmpf", arguments.hmmsPerFrame,
                                   "-wip", decoding::wordInsertionPenalty,
                                   nullptr);
    // clang-format on
    if (config == nullptr) return nullptr;
    ps_decoder_t* decoder = ps_init(config);
    // The decoder holds its own reference to the configuration.
    cmd_ln_free_r(config);
    return decoder;
}

}  // namespace

// No object with a destructor lives in this frame: the jumps back from the
// engine pass over the engine's C frames only. After a jump, what the
// engine had made so far is left as it is, half made.
ps_decoder_s* startDecoder(const EngineArguments& arguments, bool aloneInEngine, bool& outOfMemory) {
    std::jmp_buf failed;
    ps_decoder_t* volatile decoder = nullptr;
    void* const kept = aloneInEngine ? std::malloc(decoding::bytesKeptForFailing) : nullptr;
    startInProgress = &failed;
    std::jmp_buf* const before = ckd_set_jump(aloneInEngine ? &failed : nullptr, 0);
    const int jumped = setjmp(failed);
    if (jumped == 0) decoder = configureAndStart(arguments);
    ckd_set_jump(before, 0);
    startInProgress = nullptr;
    std::free(kept);
    outOfMemory = jumped == allocationFailed;
    return decoder;
}

}  // namespace voxquill
