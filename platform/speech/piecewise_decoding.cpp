#include "platform/speech/piecewise_decoding.h"

#include "platform/audio/pause_splitter.h"
#include "platform/speech/piece_queue.h"
#include "platform/text/messages.h"

#include <system_error>
#include <thread>
#include <utility>

namespace voxquill {

namespace {

void decodePieces(PieceQueue& queue, const PieceDecoderMaker& makeDecoder) {
    std::string error;
    std::unique_ptr<PieceDecoder> decoder = makeDecoder(error);
    if (!decoder) return queue.fail(error);
    std::size_t index = 0;
    Samples piece;
    while (queue.pop(index, piece)) {
        std::vector<std::string> words;
        if (!decoder->decode(piece, words, error)) return queue.fail(error);
        queue.store(index, std::move(words));
    }
}

// The decoding threads, joined when it goes out of scope.
class Workers {
public:
    Workers(PieceQueue& queue, const PieceDecoderMaker& makeDecoder, unsigned most)
        : queue_(queue), makeDecoder_(makeDecoder), most_(most) {}

    ~Workers() {
        for (auto& thread : threads_) thread.join();
    }

    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // One more worker, if there may be more; false if none could be started.
    bool add() {
        if (threads_.size() >= most_) return true;
        try {
            threads_.emplace_back(decodePieces, std::ref(queue_), std::cref(makeDecoder_));
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    std::size_t count() const { return threads_.size(); }

private:
    PieceQueue& queue_;
    const PieceDecoderMaker& makeDecoder_;
    unsigned most_;
    std::vector<std::thread> threads_;
};

// Queues the pieces, starting a worker for each piece beyond the first until
// there are as many as allowed. A worker that cannot be started leaves the
// work to the others. False once something has failed.
bool queuePieces(std::vector<Samples>& pieces, std::size_t& queued, PieceQueue& queue, Workers& workers) {
    for (auto& piece : pieces) {
        if (queued >= workers.count()) workers.add();
        ++queued;
        if (!queue.push(std::move(piece))) return false;
    }
    pieces.clear();
    return true;
}

// Reads to the end of the recording, queueing its pieces as they are cut.
void queueRecording(const SampleReader& read, const PiecewiseSettings& settings, PieceQueue& queue, Workers& workers) {
    PauseSplitter splitter(settings.pieceSamples, settings.searchSamples);
    std::vector<Samples> pieces;
    std::size_t queued = 0;
    Samples samples;
    std::string error;
    for (;;) {
        if (!read(samples, error)) return queue.fail(error);
        if (samples.empty()) break;
        splitter.append(samples.data(), samples.size(), pieces);
        if (!queuePieces(pieces, queued, queue, workers)) return;
    }
    Samples rest = splitter.rest();
    if (!rest.empty()) pieces.push_back(std::move(rest));
    queuePieces(pieces, queued, queue, workers);
}

}  // namespace

bool decodeInPieces(const SampleReader& read, const PieceDecoderMaker& makeDecoder, const PiecewiseSettings& settings,
                    std::vector<std::string>& words, std::string& error) {
    PieceQueue queue(settings.workers);
    {
        Workers workers(queue, makeDecoder, settings.workers);
        // The first worker loads its model while the file is read.
        if (!workers.add()) {
            error = messages::noRecognitionThread;
            return false;
        }
        queueRecording(read, settings, queue, workers);
        queue.close();
    }
    return queue.collect(words, error);
}

}  // namespace voxquill
