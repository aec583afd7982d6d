#include "platform/speech/sphinx/file_decoding.h"

#include "platform/audio/audio_file_reader.h"
#include "platform/speech/piecewise_decoding.h"
#include "platform/speech/sphinx/dictation_decoder.h"
#include "platform/text/transcript_text.h"

#include <sched.h>

#include <algorithm>
#include <utility>

namespace voxquill {

namespace {

// Pieces of 20 s or more, each ending at the quietest moment of the 10 s
// after. Each cut costs a little accuracy at the start of the next piece
// (pieces of 10 s made the word error rate of a 10-minute recording 2.5
// points worse; of 20 s, 0.4 points), and longer pieces leave one worker
// idle for longer at the end.
constexpr std::size_t pieceSamples = 20 * recognizerSampleRate;
constexpr std::size_t searchSamples = 10 * recognizerSampleRate;

// Each worker holds a model of its own, about 100 MB, and one per core is as
// fast as it gets; two keep memory within bounds.
constexpr unsigned mostWorkers = 2;

// The decoder is fed as a microphone would feed it: where it cuts utterances
// depends on how often it is asked whether speech goes on.
constexpr std::size_t samplesPerFeed = 2048;

class RecordingPieceDecoder final : public PieceDecoder {
public:
    explicit RecordingPieceDecoder(std::unique_ptr<DictationDecoder> decoder) : decoder_(std::move(decoder)) {}

    bool decode(const Samples& piece, std::vector<std::string>& words, std::string& error) override {
        for (std::size_t at = 0; at < piece.size(); at += samplesPerFeed) {
            const std::size_t count = std::min(samplesPerFeed, piece.size() - at);
            if (!decoder_->feed(piece.data() + at, count, error)) return false;
        }
        if (!decoder_->endAudio(error)) return false;
        words = decoder_->takeWords();
        return true;
    }

private:
    std::unique_ptr<DictationDecoder> decoder_;
};

unsigned usableCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (sched_getaffinity(0, sizeof cores, &cores) != 0) return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&cores)));
}

}  // namespace

FileOutcome decodeFile(const std::string& path, const LanguageModel& model) {
    AudioFileReader::Opened opened = AudioFileReader::open(path);
    if (!opened.reader) return {"", opened.error};
    AudioFileReader& reader = *opened.reader;
    const SampleReader read = [&reader](Samples& samples, std::string& error) { return reader.read(samples, error); };
    const PieceDecoderMaker makeDecoder = [&model](std::string& error) -> std::unique_ptr<PieceDecoder> {
        DictationDecoder::Created created = DictationDecoder::create(model, DictationDecoder::Source::recording);
        if (!created.decoder) {
            error = created.error;
            return nullptr;
        }
        return std::make_unique<RecordingPieceDecoder>(std::move(created.decoder));
    };
    const PiecewiseSettings settings{pieceSamples, searchSamples, std::min(mostWorkers, usableCores())};
    std::vector<std::string> words;
    std::string error;
    if (!decodeInPieces(read, makeDecoder, settings, words, error)) return {"", error};
    return {transcriptOf(words), ""};
}

}  // namespace voxquill
