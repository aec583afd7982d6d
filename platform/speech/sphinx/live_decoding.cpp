#include "platform/speech/sphinx/live_decoding.h"

#include "platform/audio/block_cutter.h"
#include "platform/signal/signal_chain.h"
#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/dictation_decoder.h"
#include "platform/speech/sphinx/result_delivery.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace voxquill {

namespace {

// Reports the text so far when it has changed since it was last reported.
class PartialReporter {
public:
    PartialReporter(EventLoop& queue, const ResultHandler& handler) : queue_(queue), handler_(handler) {}

    // After a block: while decoding keeps up with the audio, and until the
    // first words are shown, the text is asked for after every block, so it
    // shows as soon as the engine has it; while decoding falls behind, once
    // a second of audio decoded.
    void decoded(const LiveDecoder& decoder, std::size_t samples, bool keepingUp) {
        unreported_ += samples;
        if (keepingUp || reported_.empty() || unreported_ >= decoding::samplesBetweenPartials) report(decoder);
    }

    // The utterance under way has been cut: its text so far is a final
    // result, and the partials after it go on from there.
    void deliverFinal(std::string text) {
        unreported_ = 0;
        reported_ = text;
        deliverResult(queue_, handler_, true, std::move(text));
    }

private:
    void report(const LiveDecoder& decoder) {
        std::string partial = decoder.partialTranscript();
        unreported_ = 0;
        if (partial == reported_) return;
        reported_ = partial;
        deliverResult(queue_, handler_, false, std::move(partial));
    }

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

// Feeds one block through the chain. Narrow-band audio, once told, goes on
// from the narrow-band mean before its block is fed.
bool feedBlock(const Samples& block, LiveChain& chain, LiveDecoder& decoder, std::string& error) {
    const Samples& audio = chain.pass(block);
    if (chain.foundNarrowBand()) decoder.goOnFromNarrowBandMean();
    return decoder.feed(audio.data(), audio.size(), error);
}

// Speech that has gone on too long without a pause is cut, so the engine's
// memory stays bounded, and the text so far is delivered as final.
bool boundUtterance(LiveDecoder& decoder, PartialReporter& partials, std::string& error) {
    if (decoder.utteranceSamples() < decoding::longestLiveUtteranceSamples) return true;
    if (!decoder.cutUtterance(error)) return false;
    partials.deliverFinal(decoder.transcript());
    return true;
}

std::size_t samplesIn(const std::vector<Samples>& buffers) {
    std::size_t samples = 0;
    for (const Samples& buffer : buffers) samples += buffer.size();
    return samples;
}

}  // namespace

void decodeLive(LiveAudioRequest& request, LiveDecoder& decoder, EventLoop& queue, const ResultHandler& handler) {
    const QuitAtEnd quitAtEnd(request);
    PartialReporter partials(queue, handler);
    LiveChain chain;
    // The chain and the decoder see the same blocks whatever the pipe's
    // reads gave, so the words do not depend on the writer's pace.
    BlockCutter blocks(decoding::liveBlockSamples);
    std::string error;
    for (bool ended = false; !ended;) {
        LiveAudioRequest::Taken taken = request.waitForAudio();
        ended = taken.ended;
        std::size_t left = samplesIn(taken.buffers);
        for (const Samples& buffer : taken.buffers) {
            for (const Samples& block : blocks.cut(buffer)) {
                if (!feedBlock(block, chain, decoder, error) || !boundUtterance(decoder, partials, error)) {
                    return deliverError(queue, handler, error);
                }
                request.decoded(block.size());
                left -= std::min(left, block.size());
                // At the end of the audio the final result follows at once.
                partials.decoded(decoder, block.size(), !ended && left <= decoding::keepingUpSamples);
            }
        }
    }
    const Samples last = blocks.rest();
    if (!last.empty() && !feedBlock(last, chain, decoder, error)) return deliverError(queue, handler, error);
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
