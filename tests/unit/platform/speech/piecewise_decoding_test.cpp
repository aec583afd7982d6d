#include "platform/speech/piecewise_decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace voxquill {
namespace {

// A recording of `pieces` stretches of 1000 samples, the stretch number as
// every sample's value, handed out in reads of 300 samples. With pieces of
// 1000 samples and nothing to search, each stretch becomes one piece.
struct Recording {
    std::size_t pieces;
    std::size_t failAtRead = SIZE_MAX;
    std::atomic<std::size_t> samplesRead{0};
    std::size_t reads = 0;

    bool read(Samples& samples, std::string& error) {
        if (reads++ == failAtRead) {
            error = "cannot read";
            return false;
        }
        const std::size_t total = pieces * 1000;
        const std::size_t at = samplesRead;
        samples.clear();
        for (std::size_t i = at; i < std::min(total, at + 300); ++i) {
            samples.push_back(static_cast<std::int16_t>(i / 1000));
        }
        samplesRead += samples.size();
        return true;
    }
};

const PiecewiseSettings settings{1000, 0, 2};

// Names each piece by its samples' value; can be told to fail on a piece,
// and to hold piece 0 back until a later piece is done.
struct Decoding {
    std::size_t failOnPiece = SIZE_MAX;
    bool holdFirstPiece = false;
    std::atomic<int> decodersMade{0};
    std::atomic<std::size_t> samplesDecoded{0};
    std::mutex mutex;
    std::condition_variable laterPieceDone;
    bool laterDone = false;

    class Decoder final : public PieceDecoder {
    public:
        explicit Decoder(Decoding& decoding) : decoding_(decoding) {}
        bool decode(const Samples& piece, std::vector<std::string>& words, std::string& error) override {
            const auto number = static_cast<std::size_t>(piece.at(0));
            if (number == decoding_.failOnPiece) {
                error = "decoder broke";
                return false;
            }
            if (number == 0 && decoding_.holdFirstPiece) decoding_.waitForLaterPiece();
            words.push_back("w" + std::to_string(number));
            decoding_.samplesDecoded += piece.size();
            if (number > 0) decoding_.markLaterPieceDone();
            return true;
        }

    private:
        Decoding& decoding_;
    };

    PieceDecoderMaker maker() {
        return [this](std::string&) -> std::unique_ptr<PieceDecoder> {
            ++decodersMade;
            return std::make_unique<Decoder>(*this);
        };
    }

    void waitForLaterPiece() {
        std::unique_lock<std::mutex> lock(mutex);
        laterPieceDone.wait_for(lock, std::chrono::seconds(20), [this] { return laterDone; });
    }

    void markLaterPieceDone() {
        std::lock_guard<std::mutex> lock(mutex);
        laterDone = true;
        laterPieceDone.notify_all();
    }
};

std::vector<std::string> expectedWords(std::size_t pieces) {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < pieces; ++i) words.push_back("w" + std::to_string(i));
    return words;
}

struct Outcome {
    bool ok;
    std::vector<std::string> words;
    std::string error;
};

Outcome decode(Recording& recording, Decoding& decoding, std::function<void()> onRead = {}) {
    Outcome outcome{};
    const SampleReader read = [&](Samples& samples, std::string& error) {
        if (onRead) onRead();
        return recording.read(samples, error);
    };
    outcome.ok = decodeInPieces(read, decoding.maker(), settings, outcome.words, outcome.error);
    return outcome;
}

TEST(PiecewiseDecoding, GivesTheWordsInTheRecordingsOrderWhateverOrderThePiecesFinishIn) {
    Recording recording{6};
    Decoding decoding;
    decoding.holdFirstPiece = true;
    const Outcome outcome = decode(recording, decoding);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.words, expectedWords(6));
    EXPECT_EQ(decoding.decodersMade, 2);
}

TEST(PiecewiseDecoding, MakesOneDecoderForARecordingOfOnePieceAndNoneIsLost) {
    for (std::size_t pieces : {0u, 1u}) {
        Recording recording{pieces};
        Decoding decoding;
        const Outcome outcome = decode(recording, decoding);
        ASSERT_TRUE(outcome.ok) << outcome.error;
        EXPECT_EQ(outcome.words, expectedWords(pieces));
        EXPECT_EQ(decoding.decodersMade, 1);
    }
}

TEST(PiecewiseDecoding, ReadsNoFurtherAheadOfTheDecodersThanAFewPieces) {
    Recording recording{40};
    Decoding decoding;
    std::size_t mostAhead = 0;
    const Outcome outcome = decode(
        recording, decoding, [&] { mostAhead = std::max(mostAhead, recording.samplesRead - decoding.samplesDecoded); });
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.words.size(), 40u);
    // Two being decoded, two waiting, one being cut.
    EXPECT_LE(mostAhead, 5 * 1000u + 300u);
}

TEST(PiecewiseDecoding, StopsAtTheFirstFailureWithItsError) {
    {
        Recording recording{30};
        recording.failAtRead = 12;
        Decoding decoding;
        const Outcome outcome = decode(recording, decoding);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.error, "cannot read");
    }
    {
        Recording recording{30};
        Decoding decoding;
        decoding.failOnPiece = 3;
        const Outcome outcome = decode(recording, decoding);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.error, "decoder broke");
        EXPECT_LT(recording.samplesRead, 30 * 1000u) << "reading went on after the failure";
    }
    {
        Recording recording{30};
        const PieceDecoderMaker noModel = [](std::string& error) -> std::unique_ptr<PieceDecoder> {
            error = "cannot load the speech model";
            return nullptr;
        };
        std::vector<std::string> words;
        std::string error;
        const SampleReader read = [&](Samples& samples, std::string& e) { return recording.read(samples, e); };
        EXPECT_FALSE(decodeInPieces(read, noModel, settings, words, error));
        EXPECT_EQ(error, "cannot load the speech model");
    }
}

}  // namespace
}  // namespace voxquill
