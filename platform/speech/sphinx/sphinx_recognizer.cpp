#include "platform/speech/sphinx/sphinx_recognizer.h"

#include "platform/audio/samples.h"
#include "platform/signal/band.h"
#include "platform/signal/noise_gate.h"
#include "platform/signal/rising_gain.h"
#include "platform/speech/sphinx/dictation_decoder.h"
#include "platform/speech/sphinx/file_decoding.h"
#include "platform/text/messages.h"

#include <utility>

namespace voxquill {

namespace {

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

// While decoding falls behind the audio, a partial result at most this often
// (in samples of audio decoded), so a burst is not answered with a partial for
// every piece of it, and the text seen so far still keeps up.
constexpr std::size_t samplesBetweenPartials = recognizerSampleRate;

// Reports the text so far when it has changed since it was last reported.
class PartialReporter {
public:
    PartialReporter(EventLoop& queue, const ResultHandler& handler) : queue_(queue), handler_(handler) {}

    void report(const DictationDecoder& decoder) {
        std::string partial = decoder.partialTranscript();
        unreported_ = 0;
        if (partial == reported_) return;
        reported_ = partial;
        deliverResult(queue_, handler_, false, std::move(partial));
    }

    // After a buffer: report once caught up with the audio, or when far behind.
    void decoded(const DictationDecoder& decoder, std::size_t samples, bool caughtUp) {
        unreported_ += samples;
        if (caughtUp || unreported_ >= samplesBetweenPartials) report(decoder);
    }

private:
    EventLoop& queue_;
    const ResultHandler& handler_;
    std::string reported_;
    std::size_t unreported_ = 0;
};

// However decoding ends, a writer held up by the request must not wait for
// it any more.
class StopTakingAtEnd {
public:
    explicit StopTakingAtEnd(LiveAudioRequest& request) : request_(request) {}
    ~StopTakingAtEnd() { request_.stopTaking(); }
    StopTakingAtEnd(const StopTakingAtEnd&) = delete;
    StopTakingAtEnd& operator=(const StopTakingAtEnd&) = delete;

private:
    LiveAudioRequest& request_;
};

// Live audio that turns out narrow band, once its first second with sound
// tells, goes on from the narrow-band mean; then the meter is done.
class NarrowBandWatch {
public:
    void take(const Samples& buffer, DictationDecoder& decoder) {
        if (told_) return;
        meter_.add(buffer.data(), buffer.size());
        if (!meter_.canTell()) return;
        told_ = true;
        if (meter_.isNarrowBand()) decoder.goOnFromNarrowBandMean();
    }

private:
    BandMeter meter_;
    bool told_ = false;
};

// Decodes what the request brings until its audio ends, then delivers the
// final result. With no words at all there is no result to deliver.
void decodeLive(LiveAudioRequest& request, const LanguageModel& model, EventLoop& queue, const ResultHandler& handler) {
    const StopTakingAtEnd stopTaking(request);
    DictationDecoder::Created created = DictationDecoder::create(model, decoding::liveSearch);
    if (!created.decoder) return deliverError(queue, handler, created.error);
    DictationDecoder& decoder = *created.decoder;
    std::string error;
    if (!decoder.beginLive(error)) return deliverError(queue, handler, error);
    PartialReporter partials(queue, handler);
    RisingGain gain(decoding::nominalPeak, decoding::mostGain, decoding::liveGainDoublingSeconds);
    NarrowBandWatch band;
    LiveNoiseGate noiseGate;
    for (bool ended = false; !ended;) {
        LiveAudioRequest::Taken taken = request.waitForAudio();
        ended = taken.ended;
        for (std::size_t i = 0; i < taken.buffers.size(); ++i) {
            const Samples& buffer = taken.buffers[i];
            band.take(buffer, decoder);
            Samples audio = noiseGate.pass(buffer);
            gain.apply(audio);
            if (!decoder.feed(audio.data(), audio.size(), error)) return deliverError(queue, handler, error);
            request.decoded(buffer.size());
            // At the end of the audio the final result follows at once.
            partials.decoded(decoder, buffer.size(), !ended && i + 1 == taken.buffers.size());
        }
    }
    Samples rest = noiseGate.finish();
    gain.apply(rest);
    if ((!rest.empty() && !decoder.feed(rest.data(), rest.size(), error)) || !decoder.endAudio(error)) {
        return deliverError(queue, handler, error);
    }
    std::string transcript = decoder.transcript();
    if (!transcript.empty()) deliverResult(queue, handler, true, std::move(transcript));
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
    if (!runInBackground(std::move(work))) deliverError(queue, handler, messages::noRecognitionThread);
}

void SphinxRecognizer::recognizeLive(std::shared_ptr<LiveAudioRequest> request, ResultHandler handler) {
    EventLoop& queue = deliveryQueue_;
    auto work = [request, model = model_, &queue, handler] { decodeLive(*request, model, queue, handler); };
    if (runInBackground(std::move(work))) return;
    request->stopTaking();
    deliverError(queue, handler, messages::noRecognitionThread);
}

}  // namespace voxquill
