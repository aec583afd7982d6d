#include "platform/audio/frame_mixdown.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace voxquill {
namespace {

struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;

// A frame of `count` samples in `channels` channels, each sample at
// `value(channel, index)`, laid out as `format` lays them.
template <typename Sample, typename Value>
Frame frameOf(AVSampleFormat format, int channels, int count, Value value) {
    Frame frame(av_frame_alloc());
    frame->format = format;
    frame->nb_samples = count;
    av_channel_layout_default(&frame->ch_layout, channels);
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    for (int channel = 0; channel < channels; ++channel) {
        for (int index = 0; index < count; ++index) {
            auto* plane = reinterpret_cast<Sample*>(frame->extended_data[planar ? channel : 0]);
            plane[planar ? index : index * channels + channel] = static_cast<Sample>(value(channel, index));
        }
    }
    return frame;
}

std::vector<float> mixed(const Frame& frame) {
    std::vector<float> mono;
    EXPECT_TRUE(mixDown(*frame, mono));
    return mono;
}

TEST(FrameMixdown, AveragesTheChannelsOfEverySampleFormatAndLayout) {
    // The left channel at half scale, the right silent, in three samples.
    const std::vector<float> expected{0.25f, 0.25f, 0.25f};
    const auto left = [](auto full) { return [full](int channel, int) { return channel == 0 ? full : 0; }; };
    for (const AVSampleFormat format : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P}) {
        EXPECT_EQ(mixed(frameOf<std::int16_t>(format, 2, 3, left(std::int16_t{16384}))), expected) << format;
    }
    for (const AVSampleFormat format : {AV_SAMPLE_FMT_S32, AV_SAMPLE_FMT_S32P}) {
        EXPECT_EQ(mixed(frameOf<std::int32_t>(format, 2, 3, left(std::int32_t{1} << 30))), expected) << format;
    }
    for (const AVSampleFormat format : {AV_SAMPLE_FMT_S64, AV_SAMPLE_FMT_S64P}) {
        EXPECT_EQ(mixed(frameOf<std::int64_t>(format, 2, 3, left(std::int64_t{1} << 62))), expected) << format;
    }
    for (const AVSampleFormat format : {AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_FLTP}) {
        EXPECT_EQ(mixed(frameOf<float>(format, 2, 3, left(0.5f))), expected) << format;
    }
    for (const AVSampleFormat format : {AV_SAMPLE_FMT_DBL, AV_SAMPLE_FMT_DBLP}) {
        EXPECT_EQ(mixed(frameOf<double>(format, 2, 3, left(0.5))), expected) << format;
    }
    // Unsigned 8-bit samples are silent at 128.
    const auto u8 = [](int channel, int) { return static_cast<std::uint8_t>(channel == 0 ? 192 : 128); };
    for (const AVSampleFormat format : {AV_SAMPLE_FMT_U8, AV_SAMPLE_FMT_U8P}) {
        EXPECT_EQ(mixed(frameOf<std::uint8_t>(format, 2, 3, u8)), expected) << format;
    }
}

TEST(FrameMixdown, KeepsEachChannelInItsPlace) {
    // Six channels, each sample telling its channel and index apart.
    const auto value = [](int channel, int index) { return static_cast<std::int16_t>(channel * 1000 + index); };
    for (const AVSampleFormat format : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P}) {
        const std::vector<float> mono = mixed(frameOf<std::int16_t>(format, 6, 4, value));
        ASSERT_EQ(mono.size(), 4u);
        for (int index = 0; index < 4; ++index) {
            EXPECT_FLOAT_EQ(mono[index] * 32768.0f, 2500.0f + static_cast<float>(index)) << format;
        }
    }
}

TEST(FrameMixdown, TakesNotANumberAsSilenceAndClampsBeyondFullScale) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> samples{nan, inf, -inf, 2.0f, -1e30f, 0.5f};
    const auto value = [&](int, int index) { return samples[static_cast<std::size_t>(index)]; };
    EXPECT_EQ(mixed(frameOf<float>(AV_SAMPLE_FMT_FLT, 1, 6, value)),
              (std::vector<float>{0.0f, 1.0f, -1.0f, 1.0f, -1.0f, 0.5f}));
    // A NaN in one channel silences only that channel.
    const auto oneBad = [&](int channel, int) { return channel == 0 ? nan : 0.5f; };
    EXPECT_EQ(mixed(frameOf<float>(AV_SAMPLE_FMT_FLTP, 2, 1, oneBad)), std::vector<float>{0.25f});
}

TEST(FrameMixdown, RefusesAFrameWithoutChannels) {
    Frame frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16;
    frame->nb_samples = 4;
    std::vector<float> mono;
    EXPECT_FALSE(mixDown(*frame, mono));
}

}  // namespace
}  // namespace voxquill
