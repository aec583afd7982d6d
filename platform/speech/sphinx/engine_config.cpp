#include "platform/speech/sphinx/engine_config.h"

#include <pocketsphinx.h>

#include <string>

namespace voxquill {

namespace {

const char* yesOrNo(bool on) {
    return on ? "yes" : "no";
}

}  // namespace

cmd_ln_t* engineConfig(const LanguageModel& model, const decoding::Search& search) {
    const std::string hmmsPerFrame = std::to_string(search.hmmsPerFrame);
    // clang-format off
    return cmd_ln_init(nullptr, ps_args(), TRUE,
                       "-hmm", model.acousticModel.c_str(),
                       "-dict", model.dictionary.c_str(),
                       "-fwdflat", yesOrNo(search.flatPass),
                       "-bestpath", yesOrNo(search.bestPath),
                       "-maxhmmpf", hmmsPerFrame.c_str(),
                       nullptr);
    // clang-format on
}

}  // namespace voxquill
