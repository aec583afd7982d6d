#include "transcription/pcm_pump.h"

#include "app/state.h"
#include "exit_capture.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

namespace voxquill {
namespace {

using testing::runToExit;

// Everything the request received, as bytes, and whether its audio ended.
struct Received {
    std::string bytes;
    std::size_t buffers = 0;
    bool ended = false;
};

// Takes and decodes, as the recognizer does, until the end of the audio or
// until `bytes` have come.
Received drain(LiveAudioRequest& request, std::size_t bytes = SIZE_MAX) {
    Received received;
    while (!received.ended && received.bytes.size() < bytes) {
        auto taken = request.waitForAudio();
        for (const auto& buffer : taken.buffers) {
            received.bytes.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() * 2);
            ++received.buffers;
            request.decoded(buffer.size());
        }
        received.ended = taken.ended;
    }
    return received;
}

std::string someBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 251);
    return bytes;
}

TEST(AppendPcm16, CopiesWholeSamplesUnchanged) {
    LiveAudioRequest request;
    const std::string chunk = someBytes(8192);
    appendPcm16(chunk, request);
    appendPcm16(someBytes(3), request);
    appendPcm16(someBytes(1), request);
    appendPcm16("", request);
    request.endAudio();
    const auto taken = request.waitForAudio();
    ASSERT_EQ(taken.buffers.size(), 2u);
    ASSERT_EQ(taken.buffers[0].size(), 4096u);
    EXPECT_EQ(std::memcmp(taken.buffers[0].data(), chunk.data(), chunk.size()), 0);
    ASSERT_EQ(taken.buffers[1].size(), 1u);
    EXPECT_EQ(std::memcmp(taken.buffers[1].data(), someBytes(2).data(), 2), 0);
}

struct Pump : ::testing::Test {
    // Runs the pump over what the writer writes in pieces of the sizes given.
    Received pumpPieces(const std::string& bytes, const std::vector<std::size_t>& sizes) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        std::thread writer([&, fd = fds[1]] {
            std::size_t at = 0;
            for (const std::size_t size : sizes) {
                EXPECT_EQ(::write(fd, bytes.data() + at, size), static_cast<ssize_t>(size));
                at += size;
                // Give the pump time to take each piece as one read.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            ::close(fd);
        });
        auto request = std::make_shared<LiveAudioRequest>();
        std::thread pump([&, fd = fds[0]] { pumpPcm(queue, UniqueFd(fd), stopped, request, lastText); });
        writer.join();
        pump.join();
        EXPECT_FALSE(*stopped) << "the pump must not touch the cells";
        queue.runDueTasks();  // endInput
        return drain(*request);
    }

    ManualClock clock;
    EventLoop queue{clock};
    FlagCell stopped = std::make_shared<bool>(false);
    TextCell lastText = std::make_shared<std::string>();
};

TEST_F(Pump, OddSizedReadsKeepTheSamplesAligned) {
    const std::string bytes = someBytes(20001);
    const auto received = pumpPieces(bytes, {3, 1, 8192, 1, 1, 4097, 7706});
    EXPECT_EQ(received.bytes, bytes.substr(0, 20000));  // the lone last byte is dropped
    EXPECT_TRUE(received.ended);
    EXPECT_TRUE(*stopped);
}

TEST_F(Pump, ReadsAtMostAChunkAtATime) {
    const std::string bytes = someBytes(3 * 8192);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fds[1]);
    auto request = std::make_shared<LiveAudioRequest>();
    pumpPcm(queue, UniqueFd(fds[0]), stopped, request, lastText);
    queue.runDueTasks();
    const auto received = drain(*request);
    EXPECT_EQ(received.bytes, bytes);
    EXPECT_GE(received.buffers, 3u);
}

TEST_F(Pump, AWriterFasterThanTheDecoderIsHeldUpInItsWrite) {
    const std::string bytes = someBytes(10 * 2 * recognizerSampleRate);  // ten seconds of audio
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::atomic<bool> allWritten{false};
    std::thread writer([&, fd = fds[1]] {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t put = ::write(fd, bytes.data() + at, bytes.size() - at);
            ASSERT_GT(put, 0);
            at += static_cast<std::size_t>(put);
        }
        ::close(fd);
        allWritten = true;
    });
    auto request = std::make_shared<LiveAudioRequest>();
    request->limitBacklog(2 * recognizerSampleRate);  // as the recognizer limits it
    std::thread pump([&, fd = fds[0]] { pumpPcm(queue, UniqueFd(fd), stopped, request, lastText); });
    // With no decoding the pump takes the bound and a chunk, the pipe holds
    // what it holds, and the rest waits in the writer.
    for (int i = 0; i < 20; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(allWritten);
    EXPECT_EQ(queue.runDueTasks(), 0) << "the input must not end before all of it was read";

    Received received = drain(*request, bytes.size());
    writer.join();
    pump.join();
    EXPECT_EQ(received.bytes, bytes);
    queue.runDueTasks();  // endInput
    EXPECT_TRUE(request->waitForAudio().ended);
    EXPECT_TRUE(*stopped);
}

TEST_F(Pump, AWriterThatWritesNothingEndsTheInputAtOnce) {
    const auto received = pumpPieces("", {});
    EXPECT_EQ(received.bytes, "");
    EXPECT_TRUE(received.ended);
    EXPECT_TRUE(*stopped);
}

struct Settle : ::testing::Test {
    void SetUp() override {
        live = true;
        finished = false;
    }
};

TEST_F(Settle, ThreeSecondsAfterTheEndTheLastTextClosesTheRun) {
    const auto exited = runToExit([] {
        ManualClock clock;
        EventLoop queue(clock);
        LiveAudioRequest request;
        bool stopped = false;
        auto lastText = std::make_shared<std::string>();
        endInput(queue, stopped, request, lastText);
        *lastText = " last words \n";  // a partial that came during the settle delay
        clock.advance(std::chrono::milliseconds(2999));
        queue.runDueTasks();
        std::fputs("settling\n", stderr);
        std::fflush(stderr);
        clock.advance(std::chrono::milliseconds(1));
        queue.runDueTasks();
    });
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.out, "{\"k\":\"f\",\"t\":\"last words\"}\n");
    EXPECT_EQ(exited.err, "settling\n");
}

TEST_F(Settle, TheClosingLineFollowsTheLastText) {
    struct Case {
        const char* lastText;
        const char* out;
        int status;
    };
    for (const Case& c : {Case{"", "{\"k\":\"e\",\"t\":\"No speech detected\"}\n", 1}, Case{" \t\n", "", 0},
                          Case{"card games", "{\"k\":\"f\",\"t\":\"card games\"}\n", 0}}) {
        const auto exited = runToExit([&] { settleLive(c.lastText); });
        EXPECT_EQ(exited.status, c.status) << c.lastText;
        EXPECT_EQ(exited.out, c.out) << c.lastText;
    }
}

}  // namespace
}  // namespace voxquill
