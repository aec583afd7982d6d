// The live loop with a stand-in for the engine and a real request: what it
// feeds, when it reports, how it ends.

#include "platform/speech/sphinx/live_decoding.h"

#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/text/failure.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace voxquill {
namespace {

constexpr std::size_t bufferSamples = 4096;
constexpr std::size_t backlog = 2 * recognizerSampleRate;
constexpr auto margin = std::chrono::seconds(60);

// Audio the signal chain leaves as it is, each buffer its own: loud, so no
// gain is due, and silent a tenth of a second a buffer, so its noise floor
// is digital silence and it is not denoised.
Samples bufferNumbered(std::size_t k) {
    Samples buffer(bufferSamples, 0);
    for (std::size_t j = 1600; j < bufferSamples; ++j) {
        const auto level = static_cast<std::int16_t>(16384 + (k * 37 + j) % 10000);
        buffer[j] = j % 2 == 0 ? level : static_cast<std::int16_t>(-level);
    }
    return buffer;
}

// Stands in for the engine: keeps what it is fed, answers with the texts the
// test gives it, and fails where it is told to.
class FakeDecoder final : public LiveDecoder {
public:
    enum class FailAt { nowhere, firstFeed, endAudio };

    explicit FakeDecoder(FailAt failAt = FailAt::nowhere) : failAt_(failAt) {}

    bool feed(const std::int16_t* samples, std::size_t count, std::string& error) override {
        if (failAt_ == FailAt::firstFeed) return fail(error, "speech recognition failed");
        fed.insert(fed.end(), samples, samples + count);
        feedSizes.push_back(count);
        std::unique_lock<std::mutex> lock(mutex_);
        ++feeds_;
        if (feeds_ <= scripted_.size()) partial_ = scripted_[feeds_ - 1];
        held_ = holding_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !holding_; });
        return true;
    }

    bool endAudio(std::string& error) override {
        ++endAudioCalls;
        fedAtEnd = fed.size();
        if (failAt_ == FailAt::endAudio) return fail(error, "speech recognition failed");
        return true;
    }

    std::size_t utteranceSamples() const override { return fed.size() - (cutAt.empty() ? 0 : cutAt.back()); }

    bool cutUtterance(std::string&) override {
        cutAt.push_back(fed.size());
        return true;
    }

    std::string transcript() const override {
        const std::lock_guard<std::mutex> lock(mutex_);
        return transcript_;
    }

    std::string partialTranscript() const override {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++partialsAsked_;
        askedAfterFeed_ = feeds_;
        changed_.notify_all();
        return partial_;
    }

    void goOnFromNarrowBandMean() override {}

    void say(const std::string& partial, const std::string& transcript) {
        const std::lock_guard<std::mutex> lock(mutex_);
        partial_ = partial;
        transcript_ = transcript;
    }

    // The partial text after each feed from now on, in turn; after the
    // last, it stays.
    void sayAfterEachFeed(std::vector<std::string> partials) {
        const std::lock_guard<std::mutex> lock(mutex_);
        scripted_ = std::move(partials);
        scripted_.insert(scripted_.begin(), feeds_, "");
    }

    // Waits until the loop has asked for the partial text `times` times.
    bool waitUntilAsked(int times) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, margin, [&] { return partialsAsked_ >= times; });
    }

    // Waits until the loop has asked for the partial text after its
    // `feeds`-th feed or a later one.
    bool waitUntilAskedAfterFeed(std::size_t feeds) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, margin, [&] { return askedAfterFeed_ >= feeds; });
    }

    int partialsAsked() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return partialsAsked_;
    }

    // Holds the loop inside its next feed, until let go.
    void holdNextFeed() {
        const std::lock_guard<std::mutex> lock(mutex_);
        holding_ = true;
        held_ = false;
    }

    bool waitUntilHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, margin, [&] { return held_; });
    }

    void letGo() {
        const std::lock_guard<std::mutex> lock(mutex_);
        holding_ = false;
        changed_.notify_all();
    }

    // The loop's own, read once it has returned.
    Samples fed;
    std::vector<std::size_t> feedSizes;
    std::vector<std::size_t> cutAt;  // how much had been fed at each cut
    int endAudioCalls = 0;
    std::size_t fedAtEnd = 0;

private:
    const FailAt failAt_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable int partialsAsked_ = 0;
    std::size_t feeds_ = 0;
    mutable std::size_t askedAfterFeed_ = 0;
    std::vector<std::string> scripted_;
    bool holding_ = false;
    bool held_ = false;
    std::string partial_;
    std::string transcript_;
};

// The loop on a thread of its own, as the recognizer runs it; what it
// delivers, in order, as "p:", "f:" or "e:" and the text.
class LiveRun {
public:
    explicit LiveRun(FakeDecoder& decoder) : queue_(clock_) {
        request->limitBacklog(backlog);
        ResultHandler handler = [this](const std::optional<RecognitionResult>& result,
                                       const std::optional<std::string>& error) {
            if (result) delivered.push_back((result->isFinal ? "f:" : "p:") + result->text);
            if (error) delivered.push_back("e:" + *error);
        };
        decoding_ = std::thread([this, &decoder, handler] { decodeLive(*request, decoder, queue_, handler); });
    }

    ~LiveRun() {
        if (decoding_.joinable()) decoding_.join();
    }

    // Runs the delivered tasks until there are `count` deliveries.
    bool waitForDeliveries(std::size_t count) {
        const auto giveUp = std::chrono::steady_clock::now() + margin;
        while (delivered.size() < count && std::chrono::steady_clock::now() < giveUp) {
            queue_.runDueTasks();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return delivered.size() >= count;
    }

    // Once the loop has returned, everything it delivered.
    void join() {
        decoding_.join();
        queue_.runDueTasks();
    }

    std::shared_ptr<LiveAudioRequest> request = std::make_shared<LiveAudioRequest>();
    std::vector<std::string> delivered;

private:
    ManualClock clock_;
    EventLoop queue_;
    std::thread decoding_;
};

TEST(LiveDecoding, ReportsChangedTextOnceCaughtUpThenTheFinalResultAfterTheEnd) {
    FakeDecoder decoder;
    decoder.say("hello", "hello world");
    LiveRun run(decoder);
    Samples appended;
    auto append = [&](std::size_t k) {
        const Samples buffer = bufferNumbered(k);
        appended.insert(appended.end(), buffer.begin(), buffer.end());
        run.request->append(buffer);
    };

    append(0);
    ASSERT_TRUE(run.waitForDeliveries(1));
    EXPECT_EQ(run.delivered, std::vector<std::string>{"p:hello"});
    // The same text again is not reported.
    append(1);
    ASSERT_TRUE(decoder.waitUntilAsked(2));
    decoder.say("hello world", "hello world");
    append(2);
    ASSERT_TRUE(run.waitForDeliveries(2));
    EXPECT_EQ(run.delivered, (std::vector<std::string>{"p:hello", "p:hello world"})) << "no final before the end";

    run.request->endAudio();
    run.join();
    EXPECT_EQ(run.delivered, (std::vector<std::string>{"p:hello", "p:hello world", "f:hello world"}));
    EXPECT_EQ(decoder.fed, appended) << "every sample, in order";
    EXPECT_EQ(decoder.endAudioCalls, 1);
    EXPECT_EQ(decoder.fedAtEnd, appended.size()) << "the end comes after the last sample";
}

// Pieces of any size, as a pipe's reads give them: the chain and the
// decoder get blocks of one size, the last of the audio excepted.
TEST(LiveDecoding, FeedsBlocksOfOneSizeHoweverTheAudioCame) {
    Samples audio;
    for (std::size_t k = 0; k < 4; ++k) {
        const Samples buffer = bufferNumbered(k);
        audio.insert(audio.end(), buffer.begin(), buffer.end());
    }
    audio.resize(audio.size() + 1000, 0);
    FakeDecoder decoder;
    LiveRun run(decoder);
    std::size_t at = 0;
    for (const std::size_t size : {1u, 3000u, 4097u, 5u, 2048u, 100u}) {
        run.request->append(Samples(audio.begin() + at, audio.begin() + at + size));
        at += size;
    }
    run.request->append(Samples(audio.begin() + at, audio.end()));
    run.request->endAudio();
    run.join();
    EXPECT_EQ(decoder.fed, audio);
    ASSERT_EQ(decoder.feedSizes.size(), audio.size() / decoding::liveBlockSamples + 1);
    for (std::size_t i = 0; i + 1 < decoder.feedSizes.size(); ++i) {
        EXPECT_EQ(decoder.feedSizes[i], decoding::liveBlockSamples) << "feed " << i;
    }
    EXPECT_EQ(decoder.feedSizes.back(), audio.size() % decoding::liveBlockSamples);
}

// The loop is held in a feed while more audio comes, so that what came is
// one take for it, as a pipe's reads may bring it.
TEST(LiveDecoding, KeepingUpAsksAfterEveryBlockFallingBehindOnceASecondAndReportsOnlyChanges) {
    constexpr std::size_t block = decoding::liveBlockSamples;
    FakeDecoder decoder;
    decoder.say("zero", "zero one two");
    decoder.holdNextFeed();
    LiveRun run(decoder);
    run.request->append(Samples(block, 0));
    ASSERT_TRUE(decoder.waitUntilHeld());
    // No more than a writer at real time hands over at a time, in pieces
    // of half a block: the text after every block, each change once, the
    // unchanged never.
    decoder.sayAfterEachFeed({"zero", "zero one"});
    for (std::size_t k = 0; k < 2 * decoding::keepingUpSamples / block; ++k) {
        run.request->append(Samples(block / 2, 0));
    }
    decoder.letGo();
    ASSERT_TRUE(decoder.waitUntilAskedAfterFeed(3));
    EXPECT_EQ(decoder.partialsAsked(), 3);
    ASSERT_TRUE(run.waitForDeliveries(2));
    EXPECT_EQ(run.delivered, (std::vector<std::string>{"p:zero", "p:zero one"}));

    // A burst of six writes of 256 ms, the text changing with each block:
    // not a partial for every block, and the last text once the burst is
    // decoded.
    decoder.holdNextFeed();
    run.request->append(Samples(block, 0));
    ASSERT_TRUE(decoder.waitUntilHeld());
    const int askedBefore = decoder.partialsAsked();
    const std::vector<std::string> texts{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
    decoder.sayAfterEachFeed(texts);
    for (std::size_t k = 2; k <= 7; ++k) run.request->append(bufferNumbered(k));
    decoder.letGo();
    ASSERT_TRUE(decoder.waitUntilAskedAfterFeed(4 + texts.size()));
    run.request->endAudio();
    run.join();
    const std::vector<std::string> burst(run.delivered.begin() + 2, run.delivered.end() - 1);
    EXPECT_LT(decoder.partialsAsked() - askedBefore, static_cast<int>(texts.size()));
    EXPECT_LT(burst.size(), texts.size());
    ASSERT_FALSE(burst.empty());
    EXPECT_EQ(burst.back(), "p:l");
    EXPECT_EQ(run.delivered.back(), "f:zero one two");
}

// Speech that never pauses: the utterance is cut at the bound, its text is a
// final result, and the audio goes on into the next one, nothing lost.
TEST(LiveDecoding, SpeechWithoutAPauseIsCutIntoUtterancesEachAFinalResult) {
    FakeDecoder decoder;
    decoder.say("one two", "one");
    LiveRun run(decoder);
    const std::size_t bound = decoding::longestLiveUtteranceSamples;
    Samples appended;
    std::thread writer([&] {
        for (std::size_t k = 0; appended.size() < 2 * bound + bufferSamples; ++k) {
            const Samples buffer = bufferNumbered(k);
            appended.insert(appended.end(), buffer.begin(), buffer.end());
            run.request->append(buffer);
        }
        run.request->endAudio();
    });
    const bool ended = run.waitForDeliveries(4);
    writer.join();
    run.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(decoder.fed, appended);
    const std::size_t blocks = (bound + decoding::liveBlockSamples - 1) / decoding::liveBlockSamples;
    EXPECT_EQ(decoder.cutAt, (std::vector<std::size_t>{blocks * decoding::liveBlockSamples,
                                                       2 * blocks * decoding::liveBlockSamples}));
    // A partial after each final, as the text changes again; what follows
    // the last cut may come with the end of the audio, without a partial.
    ASSERT_GE(run.delivered.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(run.delivered.begin(), run.delivered.begin() + 4),
              (std::vector<std::string>{"p:one two", "f:one", "p:one two", "f:one"}));
    EXPECT_EQ(run.delivered.back(), "f:one");
}

TEST(LiveDecoding, AudioWithoutWordsHasNoResult) {
    FakeDecoder decoder;
    LiveRun run(decoder);
    Samples appended;
    for (std::size_t k = 0; k < 5; ++k) {
        const Samples buffer = bufferNumbered(k);
        appended.insert(appended.end(), buffer.begin(), buffer.end());
        run.request->append(buffer);
    }
    run.request->endAudio();
    run.join();
    EXPECT_TRUE(run.delivered.empty());
    EXPECT_EQ(decoder.fed, appended);
    EXPECT_EQ(decoder.endAudioCalls, 1);
}

// The writer writes far more than the backlog allows: once the loop has
// failed nothing takes its audio any more, and it must not wait for ever.
TEST(LiveDecoding, AnEngineFailureIsOneErrorAndReleasesTheWriter) {
    for (const auto failAt : {FakeDecoder::FailAt::firstFeed, FakeDecoder::FailAt::endAudio}) {
        FakeDecoder decoder(failAt);
        decoder.say("", "never delivered");
        LiveRun run(decoder);
        std::promise<void> written;
        std::future<void> done = written.get_future();
        std::thread writer([request = run.request, written = std::move(written)]() mutable {
            for (int i = 0; i < 4; ++i) request->append(Samples(backlog, 1));
            request->endAudio();
            written.set_value();
        });
        const bool released = done.wait_for(margin) == std::future_status::ready;
        if (released) {
            writer.join();
        } else {
            writer.detach();
        }
        ASSERT_TRUE(released) << "the writer still waits";
        run.join();
        EXPECT_EQ(run.delivered, std::vector<std::string>{"e:speech recognition failed"});
    }
}

}  // namespace
}  // namespace voxquill
