// The cepstral mean of speech, averaged over many recordings, as the
// engine's front end (the en-us model's) finds it: the numbers live mode
// starts its normalisation from (platform/speech/sphinx/cepstral_presets.h).
// Each recording counts once, whatever its length; recordings at their own
// level, as a microphone gives them.
//
//     cepstral_preset <model-folder> <audio-file>...
//
// Prints each recording's c0, then the mean over all of them, its spread,
// and the mean as the header spells it.

#include "platform/audio/audio_file_reader.h"
#include "platform/speech/sphinx/cepstral_mean.h"
#include "platform/speech/sphinx/model_registry.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool failed(const std::string& what, const std::string& error) {
    std::fprintf(stderr, "cepstral_preset: %s: %s\n", what.c_str(), error.c_str());
    return false;
}

bool readAll(const std::string& path, std::vector<std::int16_t>& all) {
    std::string error;
    const auto reader = voxquill::AudioFileReader::open(path, error);
    if (!reader) return failed(path, error);
    std::vector<std::int16_t> samples;
    while (reader->read(samples, error) && !samples.empty()) all.insert(all.end(), samples.begin(), samples.end());
    return error.empty() || failed(path, error);
}

ps_decoder_t* decoderFor(const voxquill::LanguageModel& model) {
    err_set_logfp(nullptr);
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", model.acousticModel.c_str(), "-lm",
                                   model.languageModel.c_str(), "-dict", model.dictionary.c_str(), nullptr);
    if (config == nullptr) return nullptr;
    ps_decoder_t* decoder = ps_init(config);
    cmd_ln_free_r(config);
    return decoder;
}

void printSummary(const std::vector<std::vector<float>>& means) {
    const std::size_t width = means.front().size();
    std::vector<double> sum(width, 0.0);
    double squares = 0.0;
    for (const auto& mean : means) {
        for (std::size_t j = 0; j < width; ++j) sum[j] += mean[j];
        squares += static_cast<double>(mean[0]) * mean[0];
    }
    const auto count = static_cast<double>(means.size());
    const double c0 = sum[0] / count;
    std::printf("recordings %zu, c0 mean %.2f, standard deviation %.2f\n", means.size(), c0,
                std::sqrt(std::max(0.0, squares / count - c0 * c0)));
    std::printf("{");
    for (std::size_t j = 0; j < width; ++j) std::printf("%s%.2ff", j == 0 ? "" : ", ", sum[j] / count);
    std::printf("}\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: cepstral_preset <model-folder> <audio-file>...\n");
        return 2;
    }
    const auto model = voxquill::findModel({argv[1]}, voxquill::defaultLocaleId);
    if (!model) return failed(argv[1], "no model for en-US") ? 0 : 1;
    ps_decoder_t* decoder = decoderFor(*model);
    if (decoder == nullptr) return failed(model->name, "cannot load") ? 0 : 1;
    std::vector<std::vector<float>> means;
    for (int i = 2; i < argc; ++i) {
        std::vector<std::int16_t> samples;
        if (!readAll(argv[i], samples)) continue;
        std::vector<float> mean = voxquill::speechCepstralMean(ps_get_fe(decoder), samples.data(), samples.size());
        if (mean.empty()) {
            failed(argv[i], "no speech");
            continue;
        }
        std::printf("%s c0 %.2f\n", argv[i], mean[0]);
        means.push_back(std::move(mean));
    }
    ps_free(decoder);
    if (means.empty()) return failed("recordings", "none with speech") ? 0 : 1;
    printSummary(means);
    return 0;
}
