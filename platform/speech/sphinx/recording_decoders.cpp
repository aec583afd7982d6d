#include "platform/speech/sphinx/recording_decoders.h"

#include "platform/signal/signal_chain.h"
#include "platform/speech/sphinx/decoder_settings.h"
#include "platform/speech/sphinx/dictation_decoder.h"

#include <algorithm>
#include <utility>

namespace voxquill {

namespace {

class RecordingPieceDecoder final : public PieceDecoder {
public:
    RecordingPieceDecoder(const LanguageModel& model, SearchPace& pace, std::size_t search,
                          std::unique_ptr<DictationDecoder> decoder)
        : model_(model), pace_(pace), search_(search), decoder_(std::move(decoder)) {}

    bool decode(const Samples& piece, std::vector<std::string>& words, std::string& error) override {
        const SearchPace::Choice choice = pace_.start(static_cast<double>(piece.size()) / recognizerSampleRate);
        if (!useSearch(choice.search, error)) return false;
        Samples audio = piece;
        runRecordingChain(audio);
        if (!decoder_->beginPiece(audio.data(), audio.size(), error)) return false;
        for (std::size_t at = 0; at < audio.size(); at += decoding::recordingFeedSamples) {
            const std::size_t count = std::min(decoding::recordingFeedSamples, audio.size() - at);
            if (!decoder_->feed(audio.data() + at, count, error)) return false;
        }
        if (!decoder_->endAudio(error)) return false;
        words = decoder_->takeWords();
        pace_.finish(choice);
        return true;
    }

private:
    // The engine's search is fixed when its decoder is made: another search
    // takes another decoder, the old one freed first.
    bool useSearch(std::size_t search, std::string& error) {
        if (search == search_) return true;
        decoder_.reset();
        decoder_ = DictationDecoder::create(model_, decoding::recordingSearches[search], error);
        if (!decoder_) return false;
        search_ = search;
        return true;
    }

    const LanguageModel& model_;
    SearchPace& pace_;
    std::size_t search_;
    std::unique_ptr<DictationDecoder> decoder_;
};

}  // namespace

PieceDecoderMaker recordingDecoders(const LanguageModel& model, SearchPace& pace) {
    return [&model, &pace](std::string& error) -> std::unique_ptr<PieceDecoder> {
        // The pace's choice may change before the first piece: keep the one made.
        const std::size_t search = pace.searchToMakeFirst();
        std::unique_ptr<DictationDecoder> decoder =
            DictationDecoder::create(model, decoding::recordingSearches[search], error);
        if (!decoder) return nullptr;
        return std::make_unique<RecordingPieceDecoder>(model, pace, search, std::move(decoder));
    };
}

}  // namespace voxquill
