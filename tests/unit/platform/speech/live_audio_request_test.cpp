#include "platform/speech/live_audio_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace voxquill {
namespace {

// The recognizer's limit on its backlog: two seconds of audio.
constexpr std::size_t bound = 2 * recognizerSampleRate;

// Gives a thread that should be waiting every chance to run on instead.
void letOthersRun() {
    for (int i = 0; i < 20; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// An append on a thread of its own, which may wait.
struct Appender {
    Appender(LiveAudioRequest& request, Samples buffer)
        : thread([this, &request, buffer = std::move(buffer)]() mutable {
              request.append(std::move(buffer));
              returned = true;
          }) {}
    ~Appender() {
        if (thread.joinable()) thread.join();
    }

    std::atomic<bool> returned{false};
    std::thread thread;
};

TEST(LiveAudioRequest, HandsOverEveryBufferInOrderAcrossThreads) {
    // Far more audio than the request holds: the producer is held up again
    // and again, and nothing is lost or reordered.
    LiveAudioRequest request;
    request.limitBacklog(bound);
    constexpr int buffers = 400;
    constexpr std::size_t samples = 4096;
    std::thread producer([&] {
        for (int i = 0; i < buffers; ++i) request.append(Samples(samples, static_cast<std::int16_t>(i)));
        request.endAudio();
    });
    std::vector<std::int16_t> seen;
    for (bool ended = false; !ended;) {
        auto taken = request.waitForAudio();
        for (const auto& buffer : taken.buffers) {
            ASSERT_EQ(buffer.size(), samples);
            seen.push_back(buffer.front());
            request.decoded(buffer.size());
        }
        ended = taken.ended;
    }
    producer.join();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(buffers));
    for (int i = 0; i < buffers; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST(LiveAudioRequest, KeepsAudioAppendedBeforeAnyoneWaits) {
    LiveAudioRequest request;
    request.append(Samples(4096, 1));
    request.append(Samples(10, 2));
    request.endAudio();
    const auto taken = request.waitForAudio();
    EXPECT_TRUE(taken.ended);
    ASSERT_EQ(taken.buffers.size(), 2u);
    EXPECT_EQ(taken.buffers[0].size(), 4096u);
}

TEST(LiveAudioRequest, AnAppendWaitsWhileTheDecoderIsTooFarBehind) {
    LiveAudioRequest request;
    request.limitBacklog(bound);
    // Before the decoder is ready, what is appended counts as behind too.
    request.append(Samples(bound - 1, 1));
    request.append(Samples(4096, 2));  // still under the bound when appended
    Appender third(request, Samples(4096, 3));
    letOthersRun();
    EXPECT_FALSE(third.returned);

    // Taken is not decoded: the decoder is as far behind as before.
    auto taken = request.waitForAudio();
    ASSERT_EQ(taken.buffers.size(), 2u);
    letOthersRun();
    EXPECT_FALSE(third.returned);

    // The decoder is the whole bound behind until one more sample is decoded.
    request.decoded(4095);
    letOthersRun();
    EXPECT_FALSE(third.returned);
    request.decoded(1);
    third.thread.join();
    EXPECT_TRUE(third.returned);
    taken = request.waitForAudio();
    ASSERT_EQ(taken.buffers.size(), 1u);
    EXPECT_EQ(taken.buffers[0], Samples(4096, 3));
}

TEST(LiveAudioRequest, ARecognizerThatQuitsReleasesTheWaitingAppendAndDropsAudio) {
    LiveAudioRequest request;
    request.limitBacklog(bound);
    request.append(Samples(bound, 1));
    Appender waiting(request, Samples(4096, 2));
    letOthersRun();
    EXPECT_FALSE(waiting.returned);
    request.recognizerQuit();
    waiting.thread.join();
    EXPECT_TRUE(waiting.returned);
    // Whatever comes later goes nowhere, and never waits.
    for (int i = 0; i < 100; ++i) request.append(Samples(bound, 3));
    request.endAudio();
    const auto taken = request.waitForAudio();
    EXPECT_TRUE(taken.ended);
    EXPECT_TRUE(taken.buffers.empty());
}

}  // namespace
}  // namespace voxquill
