// The real engine in live mode: normalisation starts from the speech preset,
// the mean the engine learns carries from one utterance to the next, and
// narrow-band audio goes on from the narrow-band preset.

#include "platform/speech/sphinx/dictation_decoder.h"

#include "platform/speech/sphinx/cepstral_presets.h"
#include "platform/speech/sphinx/model_registry.h"
#include "whole_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace voxquill {
namespace {

// Fed as live mode feeds it, in buffers of 4096 samples.
void feed(DictationDecoder& decoder, const Samples& audio) {
    std::string error;
    for (std::size_t at = 0; at < audio.size(); at += 4096) {
        const std::size_t count = std::min<std::size_t>(4096, audio.size() - at);
        ASSERT_TRUE(decoder.feed(audio.data() + at, count, error)) << error;
    }
}

float distance(const std::vector<float>& a, const std::vector<float>& b) {
    float sum = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) sum += std::fabs(a[i] - b[i]);
    return sum;
}

std::vector<float> preset() {
    return {cepstral::speechMean.begin(), cepstral::speechMean.end()};
}

TEST(DictationDecoderLive, StartsFromTheSpeechPresetAndCarriesTheLearntMeanOn) {
    const std::optional<LanguageModel> model = findModel({"/usr/share/pocketsphinx/model"}, "en-US");
    if (!model || !isUsable(*model)) GTEST_SKIP() << "the en-us model is not installed";
    std::string error;
    const std::unique_ptr<DictationDecoder> created = DictationDecoder::create(*model, decoding::liveSearch, error);
    ASSERT_TRUE(created) << error;
    DictationDecoder& decoder = *created;
    EXPECT_EQ(decoder.cepstralMean(),
              std::vector<float>(cepstral::enUsModelMean.begin(), cepstral::enUsModelMean.end()));
    ASSERT_TRUE(decoder.beginLive(error)) << error;
    EXPECT_EQ(decoder.cepstralMean(), preset());

    // An utterance, then a second of silence, which ends it.
    const Samples first =
        wholeRecording("/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0880.wav");
    ASSERT_FALSE(first.empty());
    feed(decoder, first);
    feed(decoder, Samples(recognizerSampleRate, 0));
    ASSERT_FALSE(decoder.transcript().empty());
    const std::vector<float> learnt = decoder.cepstralMean();
    EXPECT_GT(distance(learnt, preset()), 5.0f);

    // The next utterance goes on from the learnt mean: its first half second
    // moves it a little at most, so a reset to the preset would show.
    const Samples second =
        wholeRecording("/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0890.wav");
    ASSERT_GT(second.size(), static_cast<std::size_t>(recognizerSampleRate));
    feed(decoder, Samples(second.begin(), second.begin() + recognizerSampleRate / 2));
    const std::vector<float> now = decoder.cepstralMean();
    EXPECT_LT(distance(now, learnt), distance(learnt, preset()) / 4) << distance(now, learnt);
}

TEST(DictationDecoderLive, NarrowBandAudioGoesOnFromTheNarrowBandPreset) {
    const std::optional<LanguageModel> model = findModel({"/usr/share/pocketsphinx/model"}, "en-US");
    if (!model || !isUsable(*model)) GTEST_SKIP() << "the en-us model is not installed";
    std::string error;
    const std::unique_ptr<DictationDecoder> decoder = DictationDecoder::create(*model, decoding::liveSearch, error);
    ASSERT_TRUE(decoder) << error;
    ASSERT_TRUE(decoder->beginLive(error)) << error;
    decoder->goOnFromNarrowBandMean();
    EXPECT_EQ(decoder->cepstralMean(),
              std::vector<float>(cepstral::narrowBandSpeechMean.begin(), cepstral::narrowBandSpeechMean.end()));
}

}  // namespace
}  // namespace voxquill
