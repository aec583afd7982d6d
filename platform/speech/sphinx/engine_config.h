#pragma once

#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/model_registry.h"

struct cmd_ln_s;

namespace voxquill {

// The engine's configuration for a decoder of `model` searching with
// `search`, its language model left out: it is read on its own and handed
// to the decoder once made. The caller's to free with cmd_ln_free_r; null
// when the engine cannot make one. Any thread.
cmd_ln_s* engineConfig(const LanguageModel& model, const decoding::Search& search);

}  // namespace voxquill
