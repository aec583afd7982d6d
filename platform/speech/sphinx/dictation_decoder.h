#pragma once

#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/live_decoder.h"
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
// utterance so far make up the transcript. Made on any thread, then used by
// one thread at a time.
class DictationDecoder final : public LiveDecoder {
public:
    // A decoder of its own with its copy of the model, the caller's; null,
    // with `error` set, when the model cannot be loaded. The model's files
    // are read during the call only.
    static std::unique_ptr<DictationDecoder> create(const LanguageModel& model, const decoding::Search& search,
                                                    std::string& error);

    ~DictationDecoder() override;
    DictationDecoder(const DictationDecoder&) = delete;
    DictationDecoder& operator=(const DictationDecoder&) = delete;

    // 16 kHz mono samples, read during the call only. False, with `error`
    // set, when the engine fails.
    bool feed(const std::int16_t* samples, std::size_t count, std::string& error) override;

    // Starts a piece of a recording afresh, before its samples are fed:
    // what the decoder learnt of the audio before (its noise floor, its
    // cepstral mean) is forgotten, and normalisation starts from the
    // piece's own mean, so its words depend on the piece alone. The samples
    // are read during the call only.
    bool beginPiece(const std::int16_t* samples, std::size_t count, std::string& error);

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
    void goOnFromNarrowBandMean() override;

    // The cepstral mean the next frames are normalised by.
    std::vector<float> cepstralMean() const;

    // Closes the utterance under way at the end of the audio. Audio fed
    // after it is decoded afresh, as the start of another utterance.
    bool endAudio(std::string& error) override;

    std::size_t utteranceSamples() const override { return utteranceSamples_; }
    bool cutUtterance(std::string& error) override;

    // Hands over the words of the utterances that are over.
    std::vector<std::string> takeWords();

    // The words of the utterances that are over.
    std::string transcript() const override;

    // The words so far, the best guess at the utterance under way included.
    std::string partialTranscript() const override;

private:
    explicit DictationDecoder(ps_decoder_s* decoder);
    bool endUtterance(std::string& error);
    bool restartFrom(const std::vector<float>& mean, std::string& error);

    ps_decoder_s* decoder_;  // owned: freed with the decoder
    std::vector<float> modelMean_;
    bool started_ = false;
    bool inUtterance_ = false;
    std::size_t utteranceSamples_ = 0;
    std::vector<std::string> words_;
};

}  // namespace voxquill
