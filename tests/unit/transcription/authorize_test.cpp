#include "transcription/authorize.h"

#include "app/state.h"
#include "exit_capture.h"
#include "fake_speech_service.h"

#include <gtest/gtest.h>

#include <thread>

namespace voxquill {
namespace {

using testing::FakeSpeechService;
using testing::runToExit;

struct Authorize : ::testing::Test {
    void SetUp() override {
        live = false;
        finished = false;
        localeId = "en_US";
    }

    // Runs authorization to its end; the names of the recognizers the starter got.
    std::vector<std::string> authorizeAndRun() {
        std::vector<std::string> started;
        authorize(service, queue, [&started](Recognizer& recognizer) {
            started.push_back(static_cast<testing::FakeRecognizer&>(recognizer).name);
        });
        queue.runDueTasks();
        return started;
    }

    ManualClock clock;
    EventLoop queue{clock};
    FakeSpeechService service;
};

TEST_F(Authorize, EveryRefusalEndsTheRunBeforeAnyRecognizer) {
    for (const auto status :
         {AuthorizationStatus::notDetermined, AuthorizationStatus::denied, AuthorizationStatus::restricted}) {
        service.answer = status;
        const auto exited = runToExit([&] { authorizeAndRun(); });
        EXPECT_EQ(exited.status, 1);
        EXPECT_EQ(exited.err, "not-authorized\n");
        EXPECT_EQ(exited.out, "");
    }
    EXPECT_TRUE(service.askedLocales.empty());
}

TEST_F(Authorize, LiveModeReportsARefusalAsAnEventLine) {
    service.answer = AuthorizationStatus::denied;
    const auto exited = runToExit([&] {
        live = true;
        authorizeAndRun();
    });
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.out, "{\"k\":\"e\",\"t\":\"not-authorized\"}\n");
    EXPECT_EQ(exited.err, "");
}

TEST_F(Authorize, TheLocaleRecognizerIsPreferredAndAskedForUnchanged) {
    localeId = " en_US.UTF-8";
    service.localeRecognizers[" en_US.UTF-8"] = "english";
    EXPECT_EQ(authorizeAndRun(), std::vector<std::string>{"english"});
    EXPECT_EQ(service.askedLocales, std::vector<std::string>{" en_US.UTF-8"});
    EXPECT_EQ(service.defaultRequests, 0);
}

TEST_F(Authorize, ALocaleWithoutRecognizerFallsBackToTheDefaultSilently) {
    for (const char* id : {"xx_YY", ""}) {
        localeId = id;
        EXPECT_EQ(authorizeAndRun(), std::vector<std::string>{"default"}) << id;
    }
    EXPECT_EQ(service.askedLocales, (std::vector<std::string>{"xx_YY", ""}));
}

TEST_F(Authorize, AnUnavailableLocaleRecognizerIsNotReplaced) {
    service.localeRecognizers["en_US"] = "unavailable";
    const auto exited = runToExit([&] { authorizeAndRun(); });
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.err, "unavailable\n");
    EXPECT_EQ(service.defaultRequests, 0);
}

TEST_F(Authorize, NoUsableRecognizerAtAllIsUnavailable) {
    for (const bool hasDefault : {false, true}) {
        service.hasDefault = hasDefault;
        service.defaultAvailable = false;
        const auto exited = runToExit([&] { authorizeAndRun(); });
        EXPECT_EQ(exited.status, 1);
        EXPECT_EQ(exited.err, "unavailable\n");
    }
}

TEST_F(Authorize, AnAnswerGivenAtOnceIsStillHandledOnTheQueueLater) {
    bool started = false;
    authorize(service, queue, [&started](Recognizer&) { started = true; });
    EXPECT_EQ(service.authorizationRequests, 1);
    EXPECT_FALSE(started);
    queue.runDueTasks();
    EXPECT_TRUE(started);
}

TEST_F(Authorize, AnAnswerFromAnotherThreadIsHandledOnTheQueue) {
    service.answerAtOnce = false;
    bool started = false;
    authorize(service, queue, [&started](Recognizer&) { started = true; });
    std::thread([this] { service.pending(AuthorizationStatus::authorized); }).join();
    EXPECT_FALSE(started);
    queue.runDueTasks();
    EXPECT_TRUE(started);
}

}  // namespace
}  // namespace voxquill
