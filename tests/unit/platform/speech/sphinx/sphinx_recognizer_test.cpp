#include "platform/speech/sphinx/sphinx_recognizer.h"

#include "platform/speech/sphinx/decoder_settings.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace voxquill {
namespace {

// A decoder that cannot start must not leave the writer waiting on it: the
// pump still reaches the end of the stream, or the deadline ends the run.
TEST(SphinxRecognizer, LiveDecodingThatFailsReleasesTheAppends) {
    testing::TempDir dir;
    const LanguageModel missing{"en-us", dir.path() + "/hmm", dir.path() + "/en-us.lm.bin",
                                dir.path() + "/cmudict-en-us.dict"};
    SteadyClock clock;
    EventLoop queue(clock);
    SphinxRecognizer recognizer(missing, queue, 45.0);
    auto request = std::make_shared<LiveAudioRequest>();
    std::optional<std::string> error;
    recognizer.recognizeLive(
        request, [&](const std::optional<RecognitionResult>&, const std::optional<std::string>& e) { error = e; });
    // Ten times the bound: without a release the second append would wait
    // for ever.
    std::promise<void> appended;
    std::future<void> done = appended.get_future();
    std::thread([request, appended = std::move(appended)]() mutable {
        for (int i = 0; i < 10; ++i) request->append(Samples(decoding::mostSamplesBehind, 1));
        request->endAudio();
        appended.set_value();
    }).detach();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "the appends still wait";
    while (!error) {
        queue.runDueTasks();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(*error, "cannot load the speech model en-us");
}

}  // namespace
}  // namespace voxquill
