#include "platform/speech/sphinx/language_model_ahead.h"

#include "platform/speech/sphinx/engine_config.h"
#include "platform/speech/sphinx/engine_log.h"

#include <pocketsphinx.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <utility>

namespace voxquill {

namespace {

// As a decoder made with the same configuration reads it: its log tables
// are the decoder's own, made from the same settings.
ReadLanguageModel readLanguageModel(const LanguageModel& model, const decoding::Search& search) {
    ReadLanguageModel read;
    cmd_ln_t* config = engineConfig(model, search);
    if (config == nullptr) return read;
    read.math = logmath_init(static_cast<float64>(cmd_ln_float32_r(config, "-logbase")), 0,
                             cmd_ln_boolean_r(config, "-bestpath"));
    if (read.math != nullptr) read.model = ngram_model_read(config, model.languageModel.c_str(), NGRAM_AUTO, read.math);
    cmd_ln_free_r(config);
    if (read.model == nullptr) freeLanguageModel(read);
    return read;
}

}  // namespace

LanguageModelAhead::LanguageModelAhead(const LanguageModel& model, const decoding::Search& search)
    : model_(model), search_(search) {}

LanguageModelAhead::~LanguageModelAhead() {
    freeLanguageModel(languageModel_);
}

void LanguageModelAhead::read() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (read_) return;
    }
    silenceEngineLog();
    ReadLanguageModel languageModel = readLanguageModel(model_, search_);
    const std::lock_guard<std::mutex> lock(mutex_);
    languageModel_ = languageModel;
    read_ = true;
    readDone_.notify_all();
}

ReadLanguageModel LanguageModelAhead::take(const decoding::Search& search) {
    std::unique_lock<std::mutex> lock(mutex_);
    readDone_.wait(lock, [this] { return read_; });
    // The tables are made with or without the one for adding, by bestPath.
    if (search.bestPath != search_.bestPath) return {};
    return std::exchange(languageModel_, {});
}

void freeLanguageModel(ReadLanguageModel& languageModel) {
    if (languageModel.model != nullptr) ngram_model_free(languageModel.model);
    if (languageModel.math != nullptr) logmath_free(languageModel.math);
    languageModel = {};
}

}  // namespace voxquill
