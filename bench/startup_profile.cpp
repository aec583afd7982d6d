// Where the time of a short transcription goes: loading the model, reading
// the file, decoding it and freeing the decoder, each timed on its own, the
// median of several rounds.
//
//     startup_profile <model-folder> <audio-file> [rounds]

#include "app/deadlines.h"
#include "platform/audio/audio_file_reader.h"
#include "platform/speech/sphinx/dictation_decoder.h"
#include "platform/speech/sphinx/file_decoding.h"
#include "platform/speech/sphinx/model_registry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsOf(const std::function<void()>& step) {
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool failed(const std::string& what, const std::string& error) {
    std::fprintf(stderr, "startup_profile: %s: %s\n", what.c_str(), error.c_str());
    return false;
}

// One round of the steps; their times are added to `times`.
bool profileOnce(const voxquill::LanguageModel& model, const std::string& path,
                 std::map<std::string, std::vector<double>>& times) {
    std::string error;
    std::unique_ptr<voxquill::DictationDecoder> decoder;
    times["model load"].push_back(millisecondsOf([&] {
        decoder = voxquill::DictationDecoder::create(model, voxquill::decoding::recordingSearches[0], error);
    }));
    if (!decoder) return failed("model", error);
    std::vector<std::int16_t> all;
    bool ok = true;
    times["file read"].push_back(millisecondsOf([&] {
        const auto reader = voxquill::AudioFileReader::open(path, error);
        ok = reader != nullptr;
        std::vector<std::int16_t> samples;
        while (ok && (ok = reader->read(samples, error)) && !samples.empty()) {
            all.insert(all.end(), samples.begin(), samples.end());
        }
    }));
    if (!ok) return failed(path, error);
    times["decoding"].push_back(millisecondsOf(
        [&] { ok = decoder->feed(all.data(), all.size(), error) && decoder->endAudio(error); }));
    if (!ok) return failed("decoding", error);
    times["teardown"].push_back(millisecondsOf([&] { decoder.reset(); }));
    std::string transcript;
    times["whole file decoding"].push_back(
        millisecondsOf([&] { ok = voxquill::decodeFile(path, model, voxquill::fileDeadlineSeconds, transcript, error); }));
    if (!ok) return failed(path, error);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_profile <model-folder> <audio-file> [rounds]\n");
        return 2;
    }
    const auto model = voxquill::findModel({argv[1]}, voxquill::defaultLocaleId);
    if (!model) return failed(argv[1], "no model for en-US") ? 0 : 1;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::map<std::string, std::vector<double>> times;
    for (int round = 0; round < rounds; ++round) {
        if (!profileOnce(*model, argv[2], times)) return 1;
    }
    for (const char* step : {"model load", "file read", "decoding", "teardown", "whole file decoding"}) {
        std::printf("%-20s %8.1f ms (median of %d)\n", step, median(times[step]), rounds);
    }
    return 0;
}
