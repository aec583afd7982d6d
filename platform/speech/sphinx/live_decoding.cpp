#include "platform/speech/sphinx/live_decoding.h"

#include "platform/signal/signal_chain.h"
#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/dictation_decoder.h"
#include "platform/speech/sphinx/result_delivery.h"

#include <utility>

namespace voxquill {

namespace {

// Reports the text so far when it has changed since it was last reported.
class PartialReporter {
public:
    PartialReporter(EventLoop& queue, const ResultHandler& handler) : queue_(queue), handler_(handler) {}

    void report(const LiveDecoder& decoder) {
        std::string partial = decoder.partialTranscript();
        unreported_ = 0;
        if (partial == reported_) return;
        reported_ = partial;
        deliverResult(queue_, handler_, false, std::move(partial));
    }

    // After a buffer: report once caught up with the audio, or when far behind.
    void decoded(const LiveDecoder& decoder, std::size_t samples, bool caughtUp) {
        unreported_ += samples;
        if (caughtUp || unreported_ >= decoding::samplesBetweenPartials) report(decoder);
    }

private:
    EventLoop& queue_;
    const ResultHandler& handler_;
    std::string reported_;
    std::size_t unreported_ = 0;
};

// However decoding ends, a writer held up by the request must not wait for
// it any more.
class QuitAtEnd {
public:
    explicit QuitAtEnd(LiveAudioRequest& request) : request_(request) {}
    ~QuitAtEnd() { request_.recognizerQuit(); }
    QuitAtEnd(const QuitAtEnd&) = delete;
    QuitAtEnd& operator=(const QuitAtEnd&) = delete;

private:
    LiveAudioRequest& request_;
};

// Feeds one buffer through the chain. Narrow-band audio, once told, goes on
// from the narrow-band mean before its buffer is fed.
bool feedBuffer(const Samples& buffer, LiveChain& chain, LiveDecoder& decoder, std::string& error) {
    const Samples& audio = chain.pass(buffer);
    if (chain.foundNarrowBand()) decoder.goOnFromNarrowBandMean();
    return decoder.feed(audio.data(), audio.size(), error);
}

}  // namespace

void decodeLive(LiveAudioRequest& request, LiveDecoder& decoder, EventLoop& queue, const ResultHandler& handler) {
    const QuitAtEnd quitAtEnd(request);
    PartialReporter partials(queue, handler);
    LiveChain chain;
    std::string error;
    for (bool ended = false; !ended;) {
        LiveAudioRequest::Taken taken = request.waitForAudio();
        ended = taken.ended;
        for (std::size_t i = 0; i < taken.buffers.size(); ++i) {
            const Samples& buffer = taken.buffers[i];
            if (!feedBuffer(buffer, chain, decoder, error)) return deliverError(queue, handler, error);
            request.decoded(buffer.size());
            // At the end of the audio the final result follows at once.
            partials.decoded(decoder, buffer.size(), !ended && i + 1 == taken.buffers.size());
        }
    }
    const Samples& rest = chain.finish();
    if ((!rest.empty() && !decoder.feed(rest.data(), rest.size(), error)) || !decoder.endAudio(error)) {
        return deliverError(queue, handler, error);
    }
    std::string transcript = decoder.transcript();
    if (!transcript.empty()) deliverResult(queue, handler, true, std::move(transcript));
}

void decodeLive(LiveAudioRequest& request, const LanguageModel& model, EventLoop& queue, const ResultHandler& handler) {
    std::string error;
    const std::unique_ptr<DictationDecoder> decoder = DictationDecoder::create(model, decoding::liveSearch, error);
    if (decoder && decoder->beginLive(error)) return decodeLive(request, *decoder, queue, handler);
    deliverError(queue, handler, error);
    request.recognizerQuit();
}

}  // namespace voxquill
