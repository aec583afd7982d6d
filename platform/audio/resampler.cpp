#include "platform/audio/resampler.h"

#include "platform/audio/samples.h"
#include "platform/text/failure.h"
#include "platform/text/messages.h"

#include <soxr.h>

#include <algorithm>

namespace voxquill {

namespace {

// Room for the samples the resampler may hand out beyond the exact ratio.
constexpr std::size_t resamplerSlack = 64;
// At the end, what is held back is drained in blocks of this size.
constexpr std::size_t drainBlock = 8192;

}  // namespace

Resampler::~Resampler() {
    if (soxr_ != nullptr) soxr_delete(soxr_);
}

bool Resampler::convert(const float* in, std::size_t count, int rate, std::vector<float>& out, std::string& error) {
    if (rate != rate_) {
        if (!drain(out, error)) return false;
        if (rate != recognizerSampleRate) {
            // Mono float in and out, at the library's high quality.
            soxr_error_t created = nullptr;
            soxr_ = soxr_create(rate, recognizerSampleRate, 1, &created, nullptr, nullptr, nullptr);
            if (created != nullptr) {
                soxr_ = nullptr;
                return fail(error, messages::cannotResampleFrom + std::to_string(rate) + " Hz");
            }
        }
        rate_ = rate;
    }
    if (soxr_ == nullptr) {
        out.insert(out.end(), in, in + count);
        return true;
    }
    return process(in, count, out, error);
}

bool Resampler::drain(std::vector<float>& out, std::string& error) {
    if (soxr_ == nullptr) return true;
    // An empty input asks for what is held back, until nothing more comes.
    for (std::size_t before = out.size() + 1; out.size() != before;) {
        before = out.size();
        if (!process(nullptr, 0, out, error)) return false;
    }
    soxr_delete(soxr_);
    soxr_ = nullptr;
    // What comes next, at any rate, starts a resampler of its own.
    rate_ = 0;
    return true;
}

bool Resampler::process(const float* in, std::size_t count, std::vector<float>& out, std::string& error) {
    const double outPerIn = static_cast<double>(recognizerSampleRate) / rate_;
    const std::size_t room = static_cast<std::size_t>(static_cast<double>(std::max(count, drainBlock)) * outPerIn);
    const std::size_t at = out.size();
    out.resize(at + room + resamplerSlack);
    std::size_t done = 0;
    const soxr_error_t failed = soxr_process(soxr_, in, count, nullptr, out.data() + at, out.size() - at, &done);
    out.resize(at + done);
    return failed == nullptr || fail(error, messages::cannotResample + std::string(failed));
}

}  // namespace voxquill
