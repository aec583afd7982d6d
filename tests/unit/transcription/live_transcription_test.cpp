#include "transcription/live_transcription.h"

#include "app/deadlines.h"
#include "app/state.h"
#include "exact_output.h"
#include "exit_capture.h"
#include "fake_speech_service.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

namespace voxquill {
namespace {

using testing::exactly;
using testing::Exited;
using ::testing::ExitedWithCode;
using testing::runToExit;

std::string line(const std::string& kind, const std::string& text) {
    return "{\"k\":\"" + kind + "\",\"t\":\"" + text + "\"}\n";
}

struct Delivery {
    std::optional<RecognitionResult> result;
    std::optional<std::string> error;
};

RecognitionResult partial(std::string text) {
    return {false, std::move(text)};
}

RecognitionResult final(std::string text) {
    return {true, std::move(text)};
}

struct LiveResults : ::testing::Test {
    void SetUp() override {
        live = true;
        finished = false;
    }

    // Delivers in turn, the input ending before the delivery numbered `endsBefore`.
    Exited deliver(const std::vector<Delivery>& deliveries, std::size_t endsBefore = 1000) {
        return runToExit([&] {
            for (std::size_t i = 0; i < deliveries.size(); ++i) {
                if (i == endsBefore) stopped = true;
                onLiveResult(deliveries[i].result, deliveries[i].error, lastText, stopped);
            }
        });
    }

    std::string lastText;
    bool stopped = false;
};

TEST_F(LiveResults, PartialsAndEarlyFinalsAreReportedAsTheyComeAndTheRunGoesOn) {
    const auto exited = deliver({{partial("he was "), {}},
                                 {std::nullopt, std::nullopt},
                                 {final("he was not"), {}},
                                 {partial("he was not an/ill"), {}}});
    EXPECT_EQ(exited.status, testing::returnedStatus);
    EXPECT_EQ(exited.out, line("p", "he was ") + line("f", "he was not") + line("p", "he was not an\\/ill"));
    EXPECT_EQ(exited.err, "");
}

TEST_F(LiveResults, AFinalAfterTheEndOfInputClosesTheRunWithItsTextTrimmed) {
    const auto exited = deliver({{partial("he"), {}}, {final("he was "), {}}}, 1);
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, line("p", "he") + line("f", "he was ") + line("f", "he was"));
}

TEST_F(LiveResults, AnEmptyFinalAfterTheEndOfInputHasNoClosingLine) {
    const auto exited = deliver({{final(""), {}}}, 0);
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, line("f", ""));
}

TEST_F(LiveResults, AnErrorBeforeAnyTextFails) {
    const auto exited = deliver({{std::nullopt, std::string("decoder broke")}});
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.out, line("e", "decoder broke"));
}

TEST_F(LiveResults, AnErrorAfterTextClosesWithTheTextAndSucceeds) {
    const auto exited = deliver({{partial(" so far \n"), {}}, {final("ignored"), std::string("decoder broke")}});
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, line("p", " so far \\n") + line("f", "so far"));
}

TEST_F(LiveResults, AnErrorAfterBlankTextReportsTheErrorYetSucceeds) {
    const auto exited = deliver({{partial(" "), {}}, {std::nullopt, std::string("decoder broke")}});
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, line("p", " ") + line("e", "decoder broke"));
}

TEST_F(LiveResults, AResultDeliveredWithAnErrorIsNotKept) {
    const auto exited = deliver({{partial("kept"), std::string("")}});
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.out, "");
}

// startLive with a fake recognizer and a real pipe or file.
struct StartLive : ::testing::Test {
    void SetUp() override {
        live = true;
        finished = false;
    }

    // Starts live mode on the path, then serves the main queue for ever.
    [[noreturn]] void runOn(const std::string& path,
                            const std::function<void(testing::FakeRecognizer&)>& meanwhile = nullptr) {
        testing::mergeStdoutIntoStderr();
        startLive(mainQueue(), path, lastText, stopped)(recognizer);
        if (meanwhile) meanwhile(recognizer);
        mainQueue().run();
    }

    testing::TempDir dir;
    TextCell lastText = std::make_shared<std::string>();
    FlagCell stopped = std::make_shared<bool>(false);
    testing::FakeRecognizer recognizer{"fake"};
};

TEST_F(StartLive, APathThatCannotBeOpenedIsUnavailableWithoutReadyLine) {
    EXPECT_EXIT(runOn(dir.path() + "/absent"), ExitedWithCode(1), exactly(line("e", "unavailable")));
    EXPECT_EXIT(runOn(dir.path()), ExitedWithCode(1), exactly(line("e", "unavailable")));
}

TEST_F(StartLive, ARegularFileIsReadToItsEndAndSettlesWithoutSpeech) {
    const std::string audio = dir.write("audio.raw", std::string(3, '\x01'));
    EXPECT_EXIT(runOn(audio), ExitedWithCode(1), exactly(line("r", "") + line("e", "No speech detected")));
}

TEST_F(StartLive, TheFinalAfterTheEndOfInputEndsTheRun) {
    const std::string audio = dir.write("audio.raw", std::string(8193, '\x02'));
    auto answerAtTheEnd = [](testing::FakeRecognizer& fake) {
        // The recognizer's worker: wait for the end of the audio, then answer.
        std::thread([&fake] {
            std::size_t samples = 0;
            for (bool ended = false; !ended;) {
                auto taken = fake.liveRequest->waitForAudio();
                for (const auto& buffer : taken.buffers) samples += buffer.size();
                ended = taken.ended;
            }
            const auto handler = fake.liveHandler;
            mainQueue().post([handler, samples] {
                handler(RecognitionResult{true, "heard " + std::to_string(samples) + " samples "}, std::nullopt);
            });
        }).detach();
    };
    EXPECT_EXIT(runOn(audio, answerAtTheEnd), ExitedWithCode(0),
                exactly(line("r", "") + line("f", "heard 4096 samples ") + line("f", "heard 4096 samples")));
}

TEST_F(StartLive, AWriterThatNeverComesDoesNotHoldUpTheDeadline) {
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TextCell text = lastText;
    auto shortDeadline = [text](testing::FakeRecognizer&) {
        mainQueue().postAfter(0.2, [text] { liveTimeout(*text); });
    };
    EXPECT_EXIT(runOn(fifo, shortDeadline), ExitedWithCode(1), exactly(line("e", "timeout")));
}

TEST_F(StartLive, TheReadyLineWaitsForTheWriter) {
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The writer comes only once the main queue has written its line, so
    // a busy machine cannot put it first.
    auto lateWriter = [fifo](testing::FakeRecognizer&) {
        mainQueue().postAfter(0.2, [fifo] {
            std::fputs("before the writer\n", stderr);
            std::thread([fifo] {
                std::FILE* writer = std::fopen(fifo.c_str(), "wb");
                if (writer != nullptr) std::fclose(writer);
            }).detach();
        });
    };
    EXPECT_EXIT(runOn(fifo, lateWriter), ExitedWithCode(1),
                exactly("before the writer\n" + line("r", "") + line("e", "No speech detected")));
}

}  // namespace
}  // namespace voxquill
