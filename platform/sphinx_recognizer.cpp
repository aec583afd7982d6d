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
    DictationDecoder::Created created = DictationDecoder::create(model);
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

void deliver(EventLoop& queue, ResultHandler handler, FileOutcome outcome) {
    queue.post([handler = std::move(handler), outcome = std::move(outcome)] {
        if (!outcome.error.empty()) {
            handler(std::nullopt, outcome.error);
        } else {
            handler(RecognitionResult{true, outcome.transcript}, std::nullopt);
        }
    });
}

}  // namespace

SphinxRecognizer::SphinxRecognizer(LanguageModel model, EventLoop& deliveryQueue)
    : model_(std::move(model)), deliveryQueue_(deliveryQueue) {}

bool SphinxRecognizer::isAvailable() const {
    return isUsable(model_);
}

void SphinxRecognizer::recognizeFile(const std::string& path, ResultHandler handler) {
    EventLoop& queue = deliveryQueue_;
    auto work = [path, model = model_, &queue, handler] { deliver(queue, handler, decodeFile(path, model)); };
    if (!runInBackground(std::move(work))) {
        deliver(queue, std::move(handler), {"", "cannot start speech recognition: out of resources"});
    }
}

}  // namespace voxquill
