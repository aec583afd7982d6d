#pragma once

#include "platform/audio/recording_input.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace voxquill {

class DescriptorIo;

// A stretch of a recording with its channels mixed down, at its own rate.
struct MonoPiece {
    std::vector<float> samples;
    int rate = 0;
};

// The first audio stream of a recording, in any container and codec FFmpeg
// reads, decoded a packet at a time. A packet that cannot be decoded is
// skipped, as a player would; a file that ends early ends the recording.
class DecodedAudio {
public:
    struct Opened;

    // Takes the input's descriptor. On failure, the reason, without the path.
    static Opened open(const RecordingInput& input);

    ~DecodedAudio();
    DecodedAudio(const DecodedAudio&) = delete;
    DecodedAudio& operator=(const DecodedAudio&) = delete;

    // How long the recording is, when its container says so; never for a
    // stream, which may go on for any time.
    std::optional<double> durationSeconds() const;

    // Replaces `piece` with the next decoded stretch; empty at the end. False,
    // with `reason` set, when the recording cannot be read further.
    bool next(MonoPiece& piece, std::string& reason);

private:
    explicit DecodedAudio(std::unique_ptr<DescriptorIo> io);
    std::string openContainer();
    std::string openDecoder();
    bool feed(std::string& reason);
    bool take(MonoPiece& piece, std::string& reason);
    std::string failure(const std::string& otherwise) const;

    std::unique_ptr<DescriptorIo> io_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
    bool packetPending_ = false;
    bool flushed_ = false;
    bool decodedAny_ = false;
    bool skippedAny_ = false;
    bool cutShort_ = false;
    bool wantedOtherFiles_ = false;
};

struct DecodedAudio::Opened {
    std::unique_ptr<DecodedAudio> audio;
    std::string reason;
};

}  // namespace voxquill
