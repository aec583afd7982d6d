#pragma once

#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/model_registry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ps_decoder_s;

namespace voxquill {

// Continuous dictation on one PocketSphinx decoder: audio goes in as it
// comes, utterances are cut where the speaker pauses, and the words of every
// utterance so far make up the transcript.
class DictationDecoder {
public:
    struct Created;

    static Created create(const LanguageModel& model, const decoding::Search& search);

    ~DictationDecoder();
    DictationDecoder(const DictationDecoder&) = delete;
    DictationDecoder& operator=(const DictationDecoder&) = delete;

    // 16 kHz mono samples. False, with `error` set, when the engine fails.
    bool feed(const std::int16_t* samples, std::size_t count, std::string& error);

    // Starts a stretch of a recording afresh, before its samples are fed:
    // what the decoder learnt of the audio before (its noise floor, its
    // cepstral mean) is forgotten, and normalisation starts from the
    // stretch's own mean, so its words depend on the stretch alone.
    bool beginStretch(const std::int16_t* samples, std::size_t count, std::string& error);

    // Starts live audio, before its samples are fed. Live audio cannot be
    // looked at ahead for its own mean: normalisation starts from that of
    // typical speech (cepstral_presets.h) when the model's front end is the
    // one it was measured through, else from the model's own. From there the
    // engine learns the speaker's mean and carries it from one utterance to
    // the next.
    bool beginLive(std::string& error);

    // Live audio has turned out narrow band (a telephone line, an 8-kHz
    // source): normalisation goes on from the mean of narrow-band speech,
    // when the model is the one that mean was measured through.
    void goOnFromNarrowBandMean();

    // The cepstral mean the next frames are normalised by.
    std::vector<float> cepstralMean() const;

    // Closes the utterance under way at the end of the audio. Audio fed
    // after it is decoded afresh, as the start of another stretch.
    bool endAudio(std::string& error);

    // Hands over the words of the utterances that are over.
    std::vector<std::string> takeWords();

    // The words of the utterances that are over.
    std::string transcript() const;

    // The words so far, the best guess at the utterance under way included.
    std::string partialTranscript() const;

private:
    explicit DictationDecoder(ps_decoder_s* decoder);
    bool endUtterance(std::string& error);
    bool restartFrom(const std::vector<float>& mean, std::string& error);

    ps_decoder_s* decoder_;
    std::vector<float> modelMean_;
    bool started_ = false;
    bool inUtterance_ = false;
    std::vector<std::string> words_;
};

struct DictationDecoder::Created {
    std::unique_ptr<DictationDecoder> decoder;
    std::string error;
};

}  // namespace voxquill
