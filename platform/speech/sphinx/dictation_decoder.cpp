#include "platform/speech/sphinx/dictation_decoder.h"

#include "platform/speech/sphinx/cepstral_mean.h"
#include "platform/speech/sphinx/cepstral_presets.h"
#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/engine_start.h"
#include "platform/speech/sphinx/word_confidence.h"
#include "platform/text/failure.h"
#include "platform/text/messages.h"
#include "platform/text/transcript_text.h"

#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/feat.h>
#include <sphinxbase/logmath.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <mutex>
#include <string>
#include <utility>

namespace voxquill {

namespace {

const char* yesOrNo(bool on) {
    return on ? "yes" : "no";
}

// The cepstral mean normalisation goes by now; on a fresh decoder, the
// model's.
std::vector<float> currentMean(ps_decoder_t* decoder) {
    cmn_t* normalisation = ps_get_feat(decoder)->cmn_struct;
    std::vector<float> mean(static_cast<std::size_t>(normalisation->veclen));
    cmn_live_get(normalisation, mean.data());
    return mean;
}

// Whether `mean` is the en-us model's own, so the front end is the one the
// speech preset was measured through.
bool isEnUsModelMean(const std::vector<float>& mean) {
    const auto& model = cepstral::enUsModelMean;
    return mean.size() == model.size() && std::equal(mean.begin(), mean.end(), model.begin(),
                                                     [](float a, float b) { return std::fabs(a - b) < 0.005f; });
}

// The words of the utterance just ended, each with its posterior. The
// engine works the posteriors out over the utterance's lattice when asked
// for the utterance's probability.
std::vector<PathWord> bestPath(ps_decoder_t* decoder) {
    ps_get_prob(decoder);
    logmath_t* math = ps_get_logmath(decoder);
    std::vector<PathWord> path;
    for (ps_seg_t* word = ps_seg_iter(decoder); word != nullptr; word = ps_seg_next(word)) {
        int32 acoustic = 0;
        int32 language = 0;
        int32 backoff = 0;
        const int32 posterior = ps_seg_prob(word, &acoustic, &language, &backoff);
        path.push_back({ps_seg_word(word), logmath_exp(math, posterior)});
    }
    return path;
}

bool isOutOfResources(int systemError) {
    return systemError == EMFILE || systemError == ENFILE || systemError == ENOMEM;
}

// Setting up a decoder writes process-wide state of the engine's (its log,
// the tables of its front end), so decoders are made one at a time; once
// made, each is used by one thread only.
std::mutex decoderSetUp;
// Decoders alive, each perhaps inside the engine on a thread of its own;
// under decoderSetUp.
std::size_t decodersAlive = 0;

}  // namespace

std::unique_ptr<DictationDecoder> DictationDecoder::create(const LanguageModel& model, const decoding::Search& search,
                                                           std::string& error) {
    const std::lock_guard<std::mutex> oneAtATime(decoderSetUp);
    quietEngineLog();
    const std::string hmmsPerFrame = std::to_string(search.hmmsPerFrame);
    const EngineArguments arguments{model.acousticModel.c_str(), model.languageModel.c_str(), model.dictionary.c_str(),
                                    yesOrNo(search.flatPass),    yesOrNo(search.bestPath),    hmmsPerFrame.c_str()};
    errno = 0;
    bool outOfMemory = false;
    ps_decoder_t* decoder = startDecoder(arguments, decodersAlive == 0, outOfMemory);
    // The engine says only that it failed; what the system said last tells
    // a machine that ran out of descriptors from a model that is broken.
    const int systemError = errno;
    if (decoder == nullptr) {
        const bool starved = outOfMemory || isOutOfResources(systemError);
        fail(error, starved ? messages::noRecognitionThread : messages::cannotLoadModel + model.name);
        return nullptr;
    }
    ++decodersAlive;
    return std::unique_ptr<DictationDecoder>(new DictationDecoder(decoder));
}

DictationDecoder::DictationDecoder(ps_decoder_t* decoder) : decoder_(decoder), modelMean_(currentMean(decoder)) {}

DictationDecoder::~DictationDecoder() {
    const std::lock_guard<std::mutex> oneAtATime(decoderSetUp);
    ps_free(decoder_);
    --decodersAlive;
}

bool DictationDecoder::feed(const std::int16_t* samples, std::size_t count, std::string& error) {
    if (!started_ && ps_start_utt(decoder_) < 0) return fail(error, messages::recognitionFailed);
    started_ = true;
    if (ps_process_raw(decoder_, samples, count, FALSE, FALSE) < 0) return fail(error, messages::recognitionFailed);
    const bool inSpeech = ps_get_in_speech(decoder_) != 0;
    if (inSpeech) inUtterance_ = true;
    if (inUtterance_) utteranceSamples_ += count;
    if (inSpeech || !inUtterance_) return true;
    return endUtterance(error);
}

bool DictationDecoder::beginPiece(const std::int16_t* samples, std::size_t count, std::string& error) {
    if (started_ && !endUtterance(error)) return false;
    std::vector<float> mean = speechCepstralMean(ps_get_fe(decoder_), samples, count);
    // A piece without speech starts from the model's mean, as a fresh
    // decoder would.
    if (mean.size() != modelMean_.size()) mean = modelMean_;
    return restartFrom(mean, error);
}

bool DictationDecoder::beginLive(std::string& error) {
    if (!isEnUsModelMean(modelMean_)) return restartFrom(modelMean_, error);
    return restartFrom({cepstral::speechMean.begin(), cepstral::speechMean.end()}, error);
}

void DictationDecoder::goOnFromNarrowBandMean() {
    if (!isEnUsModelMean(modelMean_)) return;
    cmn_live_set(ps_get_feat(decoder_)->cmn_struct, cepstral::narrowBandSpeechMean.data());
}

std::vector<float> DictationDecoder::cepstralMean() const {
    return currentMean(decoder_);
}

// A new stream forgets the noise floor of the audio before; normalisation
// goes on from `mean`.
bool DictationDecoder::restartFrom(const std::vector<float>& mean, std::string& error) {
    if (ps_start_stream(decoder_) < 0) return fail(error, messages::recognitionFailed);
    cmn_live_set(ps_get_feat(decoder_)->cmn_struct, mean.data());
    return true;
}

bool DictationDecoder::endAudio(std::string& error) {
    return cutUtterance(error);
}

bool DictationDecoder::cutUtterance(std::string& error) {
    return !started_ || endUtterance(error);
}

std::vector<std::string> DictationDecoder::takeWords() {
    return std::exchange(words_, {});
}

bool DictationDecoder::endUtterance(std::string& error) {
    started_ = false;
    if (ps_end_utt(decoder_) < 0) return fail(error, messages::recognitionFailed);
    inUtterance_ = false;
    utteranceSamples_ = 0;
    const std::string hypothesis = confidentHypothesis(bestPath(decoder_), decoding::leastWordPosterior);
    for (auto& word : spokenWords(hypothesis)) words_.push_back(std::move(word));
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
