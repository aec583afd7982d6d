#pragma once

struct cmd_ln_s;
struct ps_decoder_s;

namespace voxquill {

// Both under the lock that makes decoders one at a time: the engine's log
// and error state are process-wide.

// The engine's log goes nowhere from now on: this program's streams carry
// only its own output.
void quietEngineLog();

// Makes a decoder from `config` as ps_init does, except that where the
// engine would end the process on a fatal error (a model file it cannot
// open, for want of a descriptor), the call returns null instead. Needs the
// log quietened first.
ps_decoder_s* startDecoder(cmd_ln_s* config);

}  // namespace voxquill
