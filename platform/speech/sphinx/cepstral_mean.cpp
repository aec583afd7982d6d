#include "platform/speech/sphinx/cepstral_mean.h"

#include <sphinxbase/fe.h>

namespace voxquill {

namespace {

constexpr int framesPerCall = 64;

// Adds each frame of some energy to `sum`.
void accumulate(const std::vector<mfcc_t*>& frames, int count, std::vector<double>& sum, std::size_t& summed) {
    for (int i = 0; i < count; ++i) {
        if (frames[static_cast<std::size_t>(i)][0] < 0) continue;
        for (std::size_t j = 0; j < sum.size(); ++j) sum[j] += frames[static_cast<std::size_t>(i)][j];
        ++summed;
    }
}

}  // namespace

std::vector<float> speechCepstralMean(fe_t* fe, const std::int16_t* samples, std::size_t count) {
    const auto width = static_cast<std::size_t>(fe_get_output_size(fe));
    std::vector<mfcc_t> storage(width * framesPerCall);
    std::vector<mfcc_t*> frames(framesPerCall);
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = storage.data() + i * width;
    std::vector<double> sum(width, 0.0);
    std::size_t summed = 0;
    fe_start_stream(fe);
    fe_start_utt(fe);
    const std::int16_t* next = samples;
    std::size_t left = count;
    while (left > 0) {
        const std::size_t before = left;
        int made = framesPerCall;
        if (fe_process_frames(fe, &next, &left, frames.data(), &made, nullptr) < 0) return {};
        if (made == 0 && left == before) return {};
        accumulate(frames, made, sum, summed);
    }
    int last = 0;
    if (fe_end_utt(fe, frames[0], &last) < 0) return {};
    accumulate(frames, last, sum, summed);
    fe_start_stream(fe);
    if (summed == 0) return {};
    std::vector<float> mean(width);
    for (std::size_t j = 0; j < width; ++j) mean[j] = static_cast<float>(sum[j] / static_cast<double>(summed));
    return mean;
}

}  // namespace voxquill
