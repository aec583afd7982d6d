#pragma once

struct ps_decoder_s;

namespace voxquill {

// The engine's settings for one decoder, as its command line spells them.
struct EngineArguments {
    const char* acousticModel;  // -hmm
    const char* languageModel;  // -lm
    const char* dictionary;     // -dict
    const char* flatPass;       // -fwdflat: "yes" or "no"
    const char* bestPath;       // -bestpath: "yes" or "no"
    const char* hmmsPerFrame;   // -maxhmmpf
};

// Start-up only, before any thread. The engine writes a failed allocation
// straight to the C library's standard error: that stream goes nowhere from
// now on. This program writes its own lines to the descriptor itself.
void quietEngineStreams();

// Both under the lock that makes decoders one at a time: the engine's log
// and error state are process-wide.

// The engine's log goes nowhere from now on: this program's streams carry
// only its own output.
void quietEngineLog();

// Makes a decoder with `arguments` as cmd_ln_init and ps_init do, except that where the
// engine would end the process on a fatal error (a model file it cannot
// open, for want of a descriptor), the call returns null instead, and so it
// does on a failed allocation when `aloneInEngine`: the engine's jump on a
// failed allocation is process-wide, so it is only set while no other
// thread can be inside the engine. `outOfMemory` tells that case. Needs
// the log quietened first.
ps_decoder_s* startDecoder(const EngineArguments& arguments, bool aloneInEngine, bool& outOfMemory);

}  // namespace voxquill
