#include "platform/speech/sphinx/file_decoding.h"

#include "platform/audio/audio_file_reader.h"
#include "platform/speech/piecewise_decoding.h"
#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/recording_decoders.h"
#include "platform/speech/sphinx/search_pace.h"
#include "platform/system/machine.h"
#include "platform/text/transcript_text.h"

#include <utility>

namespace voxquill {

namespace {

// Pieces of 20 s or more, each ending at the quietest moment of the 10 s
// after. Each cut costs a little accuracy at the start of the next piece
// (pieces of 10 s made the word error rate of a 10-minute recording 2.5
// points worse; of 20 s, 0.4 points), and longer pieces leave workers idle
// for longer at the end.
constexpr std::size_t pieceSamples = 20 * recognizerSampleRate;
constexpr std::size_t searchSamples = 10 * recognizerSampleRate;

}  // namespace

FileOutcome decodeFile(const std::string& path, const LanguageModel& model) {
    std::string openError;
    const std::unique_ptr<AudioFileReader> opened = AudioFileReader::open(path, openError);
    if (!opened) return {"", openError};
    AudioFileReader& reader = *opened;
    const unsigned workers = affordableWorkers(usableCores(), availableMemoryBytes());
    const SteadyClock clock;
    SearchPace pace(clock, {decoding::plannedSeconds, workers, reader.durationSeconds()});
    // A short recording through a pipe has ended before its one piece is
    // decoded, so it gets the search it would get from a file.
    std::size_t samplesRead = 0;
    const SampleReader read = [&reader, &pace, &samplesRead](Samples& samples, std::string& error) {
        if (!reader.read(samples, error)) return false;
        samplesRead += samples.size();
        if (samples.empty()) pace.streamEnded(static_cast<double>(samplesRead) / recognizerSampleRate);
        return true;
    };
    std::vector<std::string> words;
    std::string error;
    const PiecewiseSettings settings{pieceSamples, searchSamples, workers};
    if (!decodeInPieces(read, recordingDecoders(model, pace), settings, words, error)) return {"", error};
    return {transcriptOf(words), ""};
}

}  // namespace voxquill
