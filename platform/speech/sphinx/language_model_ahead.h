#pragma once

#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/model_registry.h"

#include <condition_variable>
#include <mutex>

struct logmath_s;
struct ngram_model_s;

namespace voxquill {

// A language model as the engine reads it, and the log tables its scores
// are counted in, which the model points to without owning: the tables must
// outlive the model and every decoder searching it.
struct ReadLanguageModel {
    ngram_model_s* model = nullptr;
    logmath_s* math = nullptr;
};

// The language model of the first decoder of a recording, read on the
// thread that reads the recording while the decoder loads the rest of the
// model on its own: the language model is the largest of the model's files,
// and reading it takes as long as the rest. The engine's models may not be
// shared between decoders, so it goes to one decoder only; the others read
// their own. Any thread: one reads, a decoder takes.
class LanguageModelAhead {
public:
    // Reads nothing yet. The model is borrowed and must outlive this.
    LanguageModelAhead(const LanguageModel& model, const decoding::Search& search);

    // Frees the language model if no decoder took it.
    ~LanguageModelAhead();

    LanguageModelAhead(const LanguageModelAhead&) = delete;
    LanguageModelAhead& operator=(const LanguageModelAhead&) = delete;

    // Reads the language model, the first time only; a model that cannot be
    // read is left for the decoder to fail on.
    void read();

    // Blocks until read() has been called, then hands over what it read, the
    // caller's: empty when it was taken already, could not be read, or was
    // read for a search whose log tables differ from `search`'s.
    ReadLanguageModel take(const decoding::Search& search);

private:
    const LanguageModel& model_;
    const decoding::Search search_;
    std::mutex mutex_;
    std::condition_variable readDone_;
    bool read_ = false;
    ReadLanguageModel languageModel_;
};

// Frees a language model and then its log tables.
void freeLanguageModel(ReadLanguageModel& languageModel);

}  // namespace voxquill
