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

// Samples as one frame of a recording decodes to, its channels mixed down,
// at the recording's own rate.
struct DecodedBlock {
    std::vector<float> samples;
    int rate = 0;
};

// The first audio stream of a recording, in any container and codec FFmpeg
// reads, decoded a packet at a time. A packet that cannot be decoded is
// skipped, as a player would; a file that ends early ends the recording.
// One thread at a time.
class DecodedAudio {
public:
    // Takes the input and its descriptor, which closes with the object or at
    // once on failure. Null on failure, with `error` the reason, without the
    // path.
    static std::unique_ptr<DecodedAudio> open(RecordingInput input, std::string& error);

    ~DecodedAudio();
    DecodedAudio(const DecodedAudio&) = delete;
    DecodedAudio& operator=(const DecodedAudio&) = delete;

    // How long the recording is, when its container says so; never for a
    // stream, which may go on for any time.
    std::optional<double> durationSeconds() const;

    // Replaces `block` with the next decoded block; empty at the end. False,
    // with `error` the reason, when the recording cannot be read further.
    bool next(DecodedBlock& block, std::string& error);

private:
    explicit DecodedAudio(std::unique_ptr<DescriptorIo> io);
    bool openContainer(std::string& error);
    bool openDecoder(std::string& error);
    bool feed(std::string& error);
    bool take(DecodedBlock& block, std::string& error);
    bool declaresAudio() const;
    std::string reasonOr(const std::string& otherwise) const;

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

}  // namespace voxquill
