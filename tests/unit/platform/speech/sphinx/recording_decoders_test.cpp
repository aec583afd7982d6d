// The real engine on a real recording: the words of a recording do not
// depend on how many workers decoded it, nor on which piece each one got.

#include "platform/speech/sphinx/recording_decoders.h"

#include "platform/speech/piecewise_decoding.h"
#include "platform/speech/sphinx/model_registry.h"
#include "platform/speech/sphinx/search_pace.h"
#include "whole_recording.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

const char* const clips[] = {
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0880.wav",
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0920.wav",
};

// The clips one after another, as one recording.
Samples joinedClips() {
    Samples all;
    for (const char* path : clips) {
        const Samples clip = wholeRecording(path);
        if (clip.empty()) return {};
        all.insert(all.end(), clip.begin(), clip.end());
    }
    return all;
}

std::vector<std::string> decodeWith(const LanguageModel& model, const Samples& recording, unsigned workers) {
    // The clock does not move, so no piece is ever late: every piece gets the
    // same search.
    ManualClock clock;
    SearchPace pace(clock, {30.0, workers, static_cast<double>(recording.size()) / recognizerSampleRate});
    bool handedOut = false;
    const SampleReader read = [&](Samples& samples, std::string&) {
        samples = handedOut ? Samples() : recording;
        handedOut = true;
        return true;
    };
    // Pieces of 3 to 5 s: a piece to each worker in turn, and many of them.
    const PiecewiseSettings settings{3 * recognizerSampleRate, 2 * recognizerSampleRate, workers};
    std::vector<std::string> words;
    std::string error;
    EXPECT_TRUE(decodeInPieces(read, recordingDecoders(model, pace), settings, words, error)) << error;
    return words;
}

TEST(RecordingDecoders, TheWordsDependOnTheRecordingAloneNotOnTheWorkers) {
    const std::optional<LanguageModel> model = findModel({"/usr/share/pocketsphinx/model"}, "en-US");
    if (!model || !isUsable(*model)) GTEST_SKIP() << "the en-us model is not installed";
    const Samples recording = joinedClips();
    ASSERT_FALSE(recording.empty());
    const std::vector<std::string> alone = decodeWith(*model, recording, 1);
    EXPECT_GT(alone.size(), 20u);
    EXPECT_EQ(decodeWith(*model, recording, 2), alone);
}

}  // namespace
}  // namespace voxquill
