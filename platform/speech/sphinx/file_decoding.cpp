#include "platform/speech/sphinx/file_decoding.h"

#include "platform/audio/audio_file_reader.h"
#include "platform/speech/piecewise_decoding.h"
#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/recording_decoders.h"
#include "platform/speech/sphinx/search_pace.h"
#include "platform/system/machine.h"
#include "platform/text/failure.h"
#include "platform/text/transcript_text.h"

namespace voxquill {

bool decodeFile(const std::string& path, const LanguageModel& model, double deadlineSeconds, std::string& transcript,
                std::string& error) {
    const std::unique_ptr<AudioFileReader> opened = AudioFileReader::open(path, error);
    if (!opened) return false;
    AudioFileReader& reader = *opened;
    const unsigned workers = affordableWorkers(usableCores(), availableMemoryBytes(), addressSpaceLeftBytes());
    const SteadyClock clock;
    SearchPace pace(clock, {deadlineSeconds * decoding::plannedShareOfDeadline, workers, reader.durationSeconds()});
    // A short recording through a pipe has ended before its one piece is
    // decoded, so it gets the search it would get from a file.
    std::size_t samplesRead = 0;
    const SampleReader read = [&reader, &pace, &samplesRead](Samples& samples, std::string& readError) {
        if (!reader.read(samples, readError)) return false;
        samplesRead += samples.size();
        if (samples.empty()) pace.streamEnded(static_cast<double>(samplesRead) / recognizerSampleRate);
        return true;
    };
    std::vector<std::string> words;
    const PiecewiseSettings settings{decoding::pieceSeconds * recognizerSampleRate,
                                     decoding::pauseSearchSeconds * recognizerSampleRate, workers};
    if (!decodeInPieces(read, recordingDecoders(model, pace), settings, words, error)) return false;
    transcript = transcriptOf(words);
    return true;
}

}  // namespace voxquill
