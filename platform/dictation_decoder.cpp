#include "dictation_decoder.h"

#include "transcript_text.h"

#include <pocketsphinx.h>

namespace voxquill {

namespace {

cmd_ln_t* configFor(const LanguageModel& model, DictationDecoder::Source source) {
    const bool live = source == DictationDecoder::Source::live;
    const char* secondPasses = live ? "no" : "yes";
    // At the engine's default of 30000 active HMMs a frame, the onset of an
    // utterance took up to four times its own length to decode, and the
    // listener waited. 5000 kept the word error rate on the test recordings
    // and cut decoding time by a third.
    const char* hmmsPerFrame = live ? "5000" : "30000";
    // clang-format off
    return cmd_ln_init(nullptr, ps_args(), TRUE,
                       "-hmm", model.acousticModel.c_str(),
                       "-lm", model.languageModel.c_str(),
                       "-dict", model.dictionary.c_str(),
                       "-fwdflat", secondPasses,
                       "-bestpath", secondPasses,
                       "-maxhmmpf", hmmsPerFrame,
                       nullptr);
    // clang-format on
}

}  // namespace

DictationDecoder::Created DictationDecoder::create(const LanguageModel& model, Source source) {
    const std::string failed = "cannot load the speech model " + model.name;
    cmd_ln_t* config = configFor(model, source);
    if (config == nullptr) return {nullptr, failed};
    ps_decoder_t* decoder = ps_init(config);
    cmd_ln_free_r(config);
    if (decoder == nullptr) return {nullptr, failed};
    if (ps_start_utt(decoder) < 0) {
        ps_free(decoder);
        return {nullptr, failed};
    }
    return {std::unique_ptr<DictationDecoder>(new DictationDecoder(decoder)), ""};
}

DictationDecoder::DictationDecoder(ps_decoder_t* decoder) : decoder_(decoder) {}

DictationDecoder::~DictationDecoder() {
    ps_free(decoder_);
}

bool DictationDecoder::feed(const std::int16_t* samples, std::size_t count, std::string& error) {
    if (ps_process_raw(decoder_, samples, count, FALSE, FALSE) < 0) {
        error = "speech recognition failed";
        return false;
    }
    const bool inSpeech = ps_get_in_speech(decoder_) != 0;
    if (inSpeech) inUtterance_ = true;
    if (inSpeech || !inUtterance_) return true;
    if (!endUtterance(error)) return false;
    if (ps_start_utt(decoder_) < 0) {
        error = "speech recognition failed";
        return false;
    }
    return true;
}

bool DictationDecoder::endAudio(std::string& error) {
    return endUtterance(error);
}

bool DictationDecoder::endUtterance(std::string& error) {
    if (ps_end_utt(decoder_) < 0) {
        error = "speech recognition failed";
        return false;
    }
    inUtterance_ = false;
    const char* hypothesis = ps_get_hyp(decoder_, nullptr);
    if (hypothesis != nullptr) {
        for (auto& word : spokenWords(hypothesis)) words_.push_back(std::move(word));
    }
    return true;
}

std::string DictationDecoder::transcript() const {
    return transcriptOf(words_);
}

std::string DictationDecoder::partialTranscript() const {
    std::vector<std::string> words = words_;
    const char* hypothesis = inUtterance_ ? ps_get_hyp(decoder_, nullptr) : nullptr;
    if (hypothesis != nullptr) {
        for (auto& word : spokenWords(hypothesis)) words.push_back(std::move(word));
    }
    return transcriptOf(words);
}

}  // namespace voxquill
