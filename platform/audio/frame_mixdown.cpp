#include "platform/audio/frame_mixdown.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace voxquill {

namespace {

// Each sample format's full scale, as the float 1.0.
float level(std::uint8_t value) {
    return (static_cast<float>(value) - 128.0f) / 128.0f;
}
float level(std::int16_t value) {
    return static_cast<float>(value) / 32768.0f;
}
float level(std::int32_t value) {
    return static_cast<float>(static_cast<double>(value) / 2147483648.0);
}
float level(std::int64_t value) {
    return static_cast<float>(static_cast<double>(value) / 9223372036854775808.0);
}
float level(float value) {
    return value;
}
float level(double value) {
    return static_cast<float>(value);
}

// A float recording may hold anything; the resampler takes only this.
float inRange(float value) {
    if (std::isnan(value)) return 0.0f;
    return std::clamp(value, -1.0f, 1.0f);
}

template <typename Sample>
void average(const AVFrame& frame, bool planar, std::vector<float>& mono) {
    const int channels = frame.ch_layout.nb_channels;
    for (int channel = 0; channel < channels; ++channel) {
        const auto* plane = reinterpret_cast<const Sample*>(frame.extended_data[planar ? channel : 0]);
        const std::size_t stride = planar ? 1 : static_cast<std::size_t>(channels);
        const std::size_t first = planar ? 0 : static_cast<std::size_t>(channel);
        for (std::size_t at = 0; at < mono.size(); ++at) mono[at] += inRange(level(plane[first + at * stride]));
    }
    for (float& sample : mono) sample /= static_cast<float>(channels);
}

}  // namespace

bool mixDown(const AVFrame& frame, std::vector<float>& mono) {
    mono.assign(static_cast<std::size_t>(std::max(frame.nb_samples, 0)), 0.0f);
    if (frame.ch_layout.nb_channels < 1) return false;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            average<std::uint8_t>(frame, planar, mono);
            return true;
        case AV_SAMPLE_FMT_S16:
            average<std::int16_t>(frame, planar, mono);
            return true;
        case AV_SAMPLE_FMT_S32:
            average<std::int32_t>(frame, planar, mono);
            return true;
        case AV_SAMPLE_FMT_S64:
            average<std::int64_t>(frame, planar, mono);
            return true;
        case AV_SAMPLE_FMT_FLT:
            average<float>(frame, planar, mono);
            return true;
        case AV_SAMPLE_FMT_DBL:
            average<double>(frame, planar, mono);
            return true;
        default:
            return false;
    }
}

}  // namespace voxquill
