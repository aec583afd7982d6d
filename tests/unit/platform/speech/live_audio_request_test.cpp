#include "platform/speech/live_audio_request.h"

#include <gtest/gtest.h>

#include <thread>

namespace voxquill {
namespace {

TEST(LiveAudioRequest, HandsOverEveryBufferInOrderAcrossThreads) {
    LiveAudioRequest request;
    constexpr int buffers = 2000;
    std::thread producer([&] {
        for (int i = 0; i < buffers; ++i) request.append(Samples{static_cast<std::int16_t>(i)});
        request.endAudio();
    });
    std::vector<std::int16_t> seen;
    for (bool ended = false; !ended;) {
        auto taken = request.waitForAudio();
        for (const auto& buffer : taken.buffers) seen.push_back(buffer.at(0));
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

}  // namespace
}  // namespace voxquill
