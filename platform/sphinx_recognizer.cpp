#include "sphinx_recognizer.h"

#include "audio_file_reader.h"
#include "dictation_decoder.h"

#include <utility>

namespace voxquill {

namespace {

// The whole transcript of the file, or the reason there is none.
struct FileOutcome {
    std::string transcript;
    std::string error;
};

FileOutcome decodeFile(const std::string& path, const LanguageModel& model) {
    AudioFileReader::Opened opened = AudioFileReader::open(path);
    if (!opened.reader) return {"", opened.error};
    DictationDecoder::Created created = DictationDecoder::create(model, DictationDecoder::Source::recording);
    if (!created.decoder) return {"", created.error};
    std::vector<std::int16_t> samples;
    std::string error;
    for (;;) {
        if (!opened.reader->read(samples, error)) return {"", error};
        if (samples.empty()) break;
        if (!created.decoder->feed(samples.data(), samples.size(), error)) return {"", error};
    }
    if (!created.decoder->endAudio(error)) return {"", error};
    return {created.decoder->transcript(), ""};
}

void deliverResult(EventLoop& queue, const ResultHandler& handler, bool isFinal, std::string text) {
    queue.post([handler, result = RecognitionResult{isFinal, std::move(text)}] { handler(result, std::nullopt); });
}

void deliverError(EventLoop& queue, const ResultHandler& handler, std::string error) {
    queue.post([handler, error = std::move(error)] { handler(std::nullopt, error); });
}

void deliver(EventLoop& queue, const ResultHandler& handler, FileOutcome outcome) {
    if (outcome.error.empty()) {
        deliverResult(queue, handler, true, std::move(outcome.transcript));
    } else {
        deliverError(queue, handler, std::move(outcome.error));
    }
}

// Decodes what the request brings until its audio ends. A partial result goes
// out only once the decoder has caught up with the audio, so a writer that
// sends a burst is not answered with a partial for every piece of it.
void decodeLive(LiveAudioRequest& request, const LanguageModel& model, EventLoop& queue, const ResultHandler& handler) {
    DictationDecoder::Created created = DictationDecoder::create(model, DictationDecoder::Source::live);
    if (!created.decoder) return deliverError(queue, handler, created.error);
    DictationDecoder& decoder = *created.decoder;
    std::string reported;
    std::string error;
    for (;;) {
        LiveAudioRequest::Taken taken = request.waitForAudio();
        for (const AudioBuffer& buffer : taken.buffers) {
            if (!decoder.feed(buffer.data(), buffer.size(), error)) return deliverError(queue, handler, error);
        }
        if (taken.ended) break;
        std::string partial = decoder.partialTranscript();
        if (partial != reported) {
            reported = partial;
            deliverResult(queue, handler, false, std::move(partial));
        }
    }
    if (!decoder.endAudio(error)) return deliverError(queue, handler, error);
    deliverResult(queue, handler, true, decoder.transcript());
}

const char* const noThread = "cannot start speech recognition: out of resources";

}  // namespace

SphinxRecognizer::SphinxRecognizer(LanguageModel model, EventLoop& deliveryQueue)
    : model_(std::move(model)), deliveryQueue_(deliveryQueue) {}

bool SphinxRecognizer::isAvailable() const {
    return isUsable(model_);
}

void SphinxRecognizer::recognizeFile(const std::string& path, ResultHandler handler) {
    EventLoop& queue = deliveryQueue_;
    auto work = [path, model = model_, &queue, handler] { deliver(queue, handler, decodeFile(path, model)); };
    if (!runInBackground(std::move(work))) deliverError(queue, handler, noThread);
}

void SphinxRecognizer::recognizeLive(std::shared_ptr<LiveAudioRequest> request, ResultHandler handler) {
    EventLoop& queue = deliveryQueue_;
    auto work = [request, model = model_, &queue, handler] { decodeLive(*request, model, queue, handler); };
    if (!runInBackground(std::move(work))) deliverError(queue, handler, noThread);
}

}  // namespace voxquill
