#include "platform/audio/decoded_audio.h"

#include "platform/audio/descriptor_io.h"
#include "platform/audio/frame_mixdown.h"
#include "platform/audio/wav_header.h"
#include "platform/text/failure.h"
#include "platform/text/messages.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

namespace voxquill {

namespace {

constexpr int lowestSampleRate = 4000;
constexpr int highestSampleRate = 768000;
constexpr int mostChannels = 256;

// FFmpeg writes its log on standard error unless told otherwise, and the
// setting is the process's: made once, before any other call.
void silenceLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// A recording is one file: a playlist, a list of files or a session
// description would have the demuxer open others, even addresses on the
// network. It is refused them, and what it asked for is no recording.
int refuseOtherFiles(AVFormatContext* format, AVIOContext**, const char*, int, AVDictionary**) {
    *static_cast<bool*>(format->opaque) = true;
    return AVERROR(EPERM);
}

bool checkLayout(int rate, int channels, std::string& error) {
    if (channels < 1 || channels > mostChannels) {
        return fail(error, messages::unsupportedChannels + std::to_string(channels));
    }
    if (rate < lowestSampleRate || rate > highestSampleRate) {
        return fail(error, messages::unsupportedRate + std::to_string(rate) + " Hz");
    }
    return true;
}

std::string unsupportedCodec(AVCodecID codec) {
    return messages::unsupportedCodec + std::string(codec == AV_CODEC_ID_NONE ? "unknown" : avcodec_get_name(codec));
}

bool isDamage(int error) {
    return error == AVERROR_INVALIDDATA || error == AVERROR_EOF;
}

}  // namespace

std::unique_ptr<DecodedAudio> DecodedAudio::open(RecordingInput input, std::string& error) {
    silenceLibraryLog();
    std::unique_ptr<DescriptorIo> io = DescriptorIo::create(std::move(input.fd), input.seekable, error);
    if (!io) return nullptr;
    std::unique_ptr<DecodedAudio> audio(new DecodedAudio(std::move(io)));
    if (!audio->openContainer(error) || !audio->openDecoder(error)) return nullptr;
    return audio;
}

DecodedAudio::DecodedAudio(std::unique_ptr<DescriptorIo> io) : io_(std::move(io)) {}

DecodedAudio::~DecodedAudio() {
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
}

// The reason a step failed: the system's, when the disk failed, or else
// `otherwise`.
std::string DecodedAudio::reasonOr(const std::string& otherwise) const {
    if (io_->systemError() != 0) return std::strerror(io_->systemError());
    if (wantedOtherFiles_) return messages::notAudio;
    return otherwise;
}

// The container is told by the content alone, never by the name, and its
// first audio stream is the recording; the other streams are skipped unread.
bool DecodedAudio::openContainer(std::string& error) {
    const AVInputFormat* container = nullptr;
    const int probed = av_probe_input_buffer2(io_->context(), &container, "", nullptr, 0, 0);
    if (probed < 0 || container == nullptr) return fail(error, reasonOr(messages::notAudio));
    format_ = avformat_alloc_context();
    if (format_ == nullptr) return fail(error, std::strerror(ENOMEM));
    // Ours to free, even should the context be closed before it is opened.
    format_->pb = io_->context();
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->io_open = refuseOtherFiles;
    format_->opaque = &wantedOtherFiles_;
    // Some demuxers open addresses themselves rather than through io_open:
    // the list of protocols they may use names none.
    format_->protocol_whitelist = av_strdup("none");
    if (format_->protocol_whitelist == nullptr) return fail(error, std::strerror(ENOMEM));
    // On failure the context is freed and format_ set to null.
    const int opened = avformat_open_input(&format_, "", container, nullptr);
    if (opened < 0) return fail(error, reasonOr(isDamage(opened) ? messages::damaged : messages::notAudio));
    const int found = avformat_find_stream_info(format_, nullptr);
    if (found < 0) return fail(error, reasonOr(isDamage(found) ? messages::damaged : messages::notAudio));
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        AVStream& stream = *format_->streams[i];
        if (stream_ < 0 && stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            stream_ = static_cast<int>(i);
        } else {
            stream.discard = AVDISCARD_ALL;
        }
    }
    return stream_ >= 0 || fail(error, messages::noAudioStream);
}

bool DecodedAudio::openDecoder(std::string& error) {
    const AVCodecParameters& parameters = *format_->streams[stream_]->codecpar;
    if (!checkLayout(parameters.sample_rate, parameters.ch_layout.nb_channels, error)) return false;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr) return fail(error, unsupportedCodec(parameters.codec_id));
    decoder_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (decoder_ == nullptr || frame_ == nullptr || packet_ == nullptr) return fail(error, std::strerror(ENOMEM));
    const int copied = avcodec_parameters_to_context(decoder_, &parameters);
    if (copied < 0) return fail(error, reasonOr(unsupportedCodec(parameters.codec_id)));
    // One thread, the library's default: audio decodes far faster than speech.
    const int opened = avcodec_open2(decoder_, codec, nullptr);
    if (opened < 0) {
        return fail(error, reasonOr(isDamage(opened) ? messages::damaged : unsupportedCodec(parameters.codec_id)));
    }
    return true;
}

std::optional<double> DecodedAudio::durationSeconds() const {
    if (!io_->seekable()) return std::nullopt;
    const AVStream& stream = *format_->streams[stream_];
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0) {
        return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
    }
    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
        return static_cast<double>(format_->duration) / AV_TIME_BASE;
    }
    return std::nullopt;
}

// Whether the container says it holds some audio. FFmpeg gives no length
// for a WAV whose data chunk claims more than the file holds, so its header
// is asked directly.
bool DecodedAudio::declaresAudio() const {
    const AVStream& stream = *format_->streams[stream_];
    const bool streamSays = stream.duration != AV_NOPTS_VALUE && stream.duration > 0;
    const bool formatSays = format_->duration != AV_NOPTS_VALUE && format_->duration > 0;
    return streamSays || formatSays || stream.nb_frames > 0 || declaredWavDataBytes(io_->head()).value_or(0) > 0;
}

bool DecodedAudio::next(DecodedBlock& block, std::string& error) {
    block.samples.clear();
    while (block.samples.empty()) {
        const int received = avcodec_receive_frame(decoder_, frame_);
        if (received == 0) {
            if (!take(block, error)) return false;
        } else if (received == AVERROR_EOF || flushed_) {
            // All the decoder held has been given. A recording of which
            // nothing at all could be decoded is no recording, nor is one
            // whose header promised audio that is not there (an upload cut
            // off after its header): neither is a silent recording.
            if (!decodedAny_ && (skippedAny_ || cutShort_ || declaresAudio())) {
                // A stream cannot be read back: a container whose index
                // comes after the audio can only be read from its file.
                return fail(error, cutShort_ && !io_->seekable() ? messages::needsFile : messages::damaged);
            }
            return true;
        } else {
            if (received != AVERROR(EAGAIN)) skippedAny_ = true;
            if (!feed(error)) return false;
        }
    }
    return true;
}

// Hands the decoder the next packet of the stream, or at the end of what can
// be read, tells it so.
bool DecodedAudio::feed(std::string& error) {
    while (!packetPending_) {
        const int read = av_read_frame(format_, packet_);
        if (read < 0) {
            // A file cut short or damaged further on ends here, as the end of
            // its data would; a failing disk ends the run.
            if (io_->systemError() != 0) return fail(error, std::strerror(io_->systemError()));
            cutShort_ = read != AVERROR_EOF;
            flushed_ = true;
            const int flushing = avcodec_send_packet(decoder_, nullptr);
            if (flushing < 0 && flushing != AVERROR_EOF) return fail(error, reasonOr(messages::damaged));
            return true;
        }
        packetPending_ = packet_->stream_index == stream_;
        if (!packetPending_) av_packet_unref(packet_);
    }
    const int sent = avcodec_send_packet(decoder_, packet_);
    // The decoder has frames to give before it takes this packet.
    if (sent == AVERROR(EAGAIN)) return true;
    av_packet_unref(packet_);
    packetPending_ = false;
    if (sent < 0) skippedAny_ = true;
    return true;
}

bool DecodedAudio::take(DecodedBlock& block, std::string& error) {
    const int rate = frame_->sample_rate;
    const bool taken = checkLayout(rate, frame_->ch_layout.nb_channels, error) &&
                       (mixDown(*frame_, block.samples) || fail(error, unsupportedCodec(decoder_->codec_id)));
    av_frame_unref(frame_);
    if (!taken) return false;
    block.rate = rate;
    decodedAny_ = true;
    return true;
}

}  // namespace voxquill
