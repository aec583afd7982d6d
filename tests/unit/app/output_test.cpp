#include "app/output.h"

#include "app/state.h"
#include "exit_capture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>

namespace voxquill {
namespace {

using testing::runToExit;
const std::nullopt_t none = std::nullopt;

// Standard output on a device that takes no byte, as a full disk does.
void stdoutOnFullDevice() {
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    ASSERT_EQ(::dup2(full, STDOUT_FILENO), STDOUT_FILENO);
    ::close(full);
}

TEST(FileClosing, ATranscriptIsWrittenTrimmedAndAlwaysExitsZero) {
    const Closing closing = closingFor(false, 1, std::string("boom"), std::string(" \tHello there\n"));
    EXPECT_EQ(closing.out, "Hello there\n");
    EXPECT_EQ(closing.err, "");
    EXPECT_EQ(closing.status, 0);
}

TEST(FileClosing, OnlyTheEndsOfTheTranscriptAreTrimmed) {
    EXPECT_EQ(closingFor(false, 0, none, std::string("one\ntwo \n")).out, "one\ntwo\n");
}

TEST(FileClosing, WithoutTextTheErrorIsWrittenUntrimmed) {
    const Closing closing = closingFor(false, 1, std::string("  timeout "), std::string(" \n\t"));
    EXPECT_EQ(closing.out, "");
    EXPECT_EQ(closing.err, "  timeout \n");
    EXPECT_EQ(closing.status, 1);
}

TEST(FileClosing, AnErrorIsWrittenAsOneLineWithItsControlCharactersMasked) {
    const std::string path = "/tmp/a\nb\x1b[31m\u0085\u009b\u2028\x9b.wav";
    const Closing closing = closingFor(false, 1, path + ": No such file or directory", none);
    EXPECT_EQ(closing.err, "/tmp/a?b?[31m????.wav: No such file or directory\n");
}

TEST(FileClosing, NeitherTextNorErrorWritesNothing) {
    for (const auto& err : {std::optional<std::string>(), std::optional<std::string>("")}) {
        const Closing closing = closingFor(false, 1, err, std::string(""));
        EXPECT_EQ(closing.out + closing.err, "");
        EXPECT_EQ(closing.status, 1);
    }
    EXPECT_EQ(closingFor(false, 0, none, none).status, 0);
}

TEST(LiveClosing, TextWinsAndTheCodeIsKept) {
    const Closing closing = closingFor(true, 1, std::string("timeout"), std::string("  it was late\n"));
    EXPECT_EQ(closing.out, "{\"k\":\"f\",\"t\":\"it was late\"}\n");
    EXPECT_EQ(closing.err, "");
    EXPECT_EQ(closing.status, 1);
}

TEST(LiveClosing, AnErrorIsAnEventLineNotTrimmed) {
    const Closing closing = closingFor(true, 1, std::string(" No speech detected"), std::string("\u2029"));
    EXPECT_EQ(closing.out, "{\"k\":\"e\",\"t\":\" No speech detected\"}\n");
    EXPECT_EQ(closing.status, 1);
}

TEST(LiveClosing, NeitherTextNorErrorWritesNoClosingLine) {
    const Closing closing = closingFor(true, 0, std::string(""), none);
    EXPECT_EQ(closing.out + closing.err, "");
    EXPECT_EQ(closing.status, 0);
}

TEST(EventLine, IsOneLineWithKindAndText) {
    EXPECT_EQ(eventLine("r", ""), "{\"k\":\"r\",\"t\":\"\"}\n");
    EXPECT_EQ(eventLine("p", "a/b \"c\"\nd"), "{\"k\":\"p\",\"t\":\"a\\/b \\\"c\\\"\\nd\"}\n");
    EXPECT_FALSE(eventLine("p", "\xff"));
}

TEST(Emit, WritesTheLineOrDropsItSilently) {
    const auto exited = runToExit([] {
        emit("p", "hello ");
        emit("p", "\xfe");
        emit("r");
    });
    EXPECT_EQ(exited.out, "{\"k\":\"p\",\"t\":\"hello \"}\n{\"k\":\"r\",\"t\":\"\"}\n");
    EXPECT_EQ(exited.err, "");
}

TEST(Emit, ALineThatCannotBeWrittenEndsTheRunAsAFailure) {
    const auto exited = runToExit([] {
        live = true;
        finished = false;
        stdoutOnFullDevice();
        emit("r");
        emit("p", "never");
    });
    EXPECT_EQ(exited.status, 1);
    EXPECT_EQ(exited.err, "");
}

TEST(Finish, AnOutcomeThatCannotBeWrittenIsAFailure) {
    for (const bool liveMode : {false, true}) {
        const auto exited = runToExit([liveMode] {
            live = liveMode;
            finished = false;
            stdoutOnFullDevice();
            finish(0, none, std::string("spoken words"));
        });
        EXPECT_EQ(exited.status, 1) << (liveMode ? "live" : "file");
        EXPECT_EQ(exited.err, "") << (liveMode ? "live" : "file");
    }
}

TEST(Finish, WritesTheOutcomeAndExits) {
    const auto exited = runToExit([] {
        live = false;
        finished = false;
        finish(1, std::string("ignored"), std::string(" spoken words \n"));
    });
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, "spoken words\n");
    EXPECT_EQ(exited.err, "");
}

void sayTheExitHandlersRan() {
    const char said[] = "exit handlers ran\n";
    (void)::write(STDERR_FILENO, said, sizeof said - 1);
}

TEST(Finish, EndsTheProcessWithoutExitHandlersKeepingItsStatus) {
    // Decoder threads may still be running inside the engine: nothing of the
    // process may be torn down under them.
    struct Case {
        bool liveMode;
        int code;
        const char* text;
        const char* out;
        int status;
    };
    for (const Case& c : {Case{true, 1, "so far", "{\"k\":\"f\",\"t\":\"so far\"}\n", 1}, Case{true, 0, "", "", 0},
                          Case{false, 1, "words", "words\n", 0}}) {
        const auto exited = runToExit([&c] {
            live = c.liveMode;
            finished = false;
            std::atexit(sayTheExitHandlersRan);
            finish(c.code, none, std::string(c.text));
        });
        EXPECT_EQ(exited.status, c.status) << c.text;
        EXPECT_EQ(exited.out, c.out) << c.text;
        EXPECT_EQ(exited.err, "") << c.text;
    }
}

TEST(Finish, OnlyTheFirstCallCounts) {
    const auto exited = runToExit([] {
        live = true;
        finished = true;
        finish(0, none, std::string("late"));
    });
    EXPECT_EQ(exited.status, testing::returnedStatus);
    EXPECT_EQ(exited.out + exited.err, "");
}

}  // namespace
}  // namespace voxquill
