#include "transcription/file_transcription.h"

#include "app/state.h"
#include "exit_capture.h"
#include "fake_speech_service.h"

#include <gtest/gtest.h>

namespace voxquill {
namespace {

using testing::Exited;
using testing::runToExit;

struct FileTranscription : ::testing::Test {
    void SetUp() override {
        live = false;
        finished = false;
    }

    // Starts file mode on a fake recognizer and gives its handler the deliveries.
    Exited deliver(std::vector<std::pair<std::optional<RecognitionResult>, std::optional<std::string>>> deliveries) {
        return runToExit([&] {
            startFile("talk.wav")(recognizer);
            for (const auto& [result, error] : deliveries) recognizer.fileHandler(result, error);
        });
    }

    testing::FakeRecognizer recognizer{"fake"};
};

TEST_F(FileTranscription, RecognizesTheFileItWasGiven) {
    startFile("some dir/talk.wav")(recognizer);
    EXPECT_EQ(recognizer.recognizedPaths, std::vector<std::string>{"some dir/talk.wav"});
}

TEST_F(FileTranscription, AFinalResultIsTheTranscriptTrimmed) {
    const auto exited = deliver({{RecognitionResult{true, " \tHe was not ill disposed\n"}, std::nullopt}});
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, "He was not ill disposed\n");
    EXPECT_EQ(exited.err, "");
}

TEST_F(FileTranscription, AnErrorWinsOverAResultDeliveredWithIt) {
    const auto exited = deliver({{RecognitionResult{true, "words"}, std::string("talk.wav: Is a directory")}});
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.out, "");
    EXPECT_EQ(exited.err, "talk.wav: Is a directory\n");
}

TEST_F(FileTranscription, DeliveriesWithoutAFinalResultOrErrorChangeNothing) {
    const auto exited = deliver({{std::nullopt, std::nullopt},
                                 {RecognitionResult{false, "partial"}, std::nullopt},
                                 {RecognitionResult{true, "at last"}, std::nullopt}});
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, "at last\n");
}

TEST_F(FileTranscription, OnlyTheFirstOutcomeIsReported) {
    const auto exited = runToExit([&] {
        startFile("talk.wav")(recognizer);
        recognizer.fileHandler(RecognitionResult{false, "partial"}, std::nullopt);
        std::fputs("waiting\n", stdout);
        std::fflush(stdout);
        finished = true;  // as after a deadline that is ending the run
        recognizer.fileHandler(RecognitionResult{true, "late"}, std::nullopt);
    });
    EXPECT_EQ(exited.status, testing::returnedStatus);
    EXPECT_EQ(exited.out, "waiting\n");
}

TEST_F(FileTranscription, SilenceEndsWithNoOutputAndSuccess) {
    const auto exited = deliver({{RecognitionResult{true, ""}, std::nullopt}});
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out + exited.err, "");
}

TEST_F(FileTranscription, AnErrorWithoutDescriptionFailsQuietly) {
    const auto exited = deliver({{std::nullopt, std::string()}});
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.out + exited.err, "");
}

}  // namespace
}  // namespace voxquill
