#pragma once

#include "platform/audio/samples.h"

#include <memory>
#include <optional>
#include <string>

namespace voxquill {

class DecodedAudio;
class Resampler;

// Streams a recording, in any container and codec FFmpeg reads, from a
// regular file or a pipe, as 16 kHz mono 16-bit samples: the first audio
// stream is decoded, its channels mixed down and its rate converted a block
// at a time, so memory does not grow with the recording. One thread at a
// time; its reads block, so never on the main queue.
class AudioFileReader {
public:
    // Opens the recording, which stays open as long as the reader lives. A
    // named pipe is waited on until a writer opens it. Null on failure, with
    // `error` the line "PATH: reason".
    static std::unique_ptr<AudioFileReader> open(const std::string& path, std::string& error);

    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // How long the recording is when its container says so. Absent for a
    // pipe, whose length no one knows beforehand, and for a container that
    // does not say: what depends on the length should take it as long.
    std::optional<double> durationSeconds() const;

    // Replaces `samples` with the next block; empty at the end of the
    // recording. False, with `error` the line "PATH: reason", when it cannot
    // be read further.
    bool read(Samples& samples, std::string& error);

private:
    AudioFileReader(std::string path, std::unique_ptr<DecodedAudio> audio);

    std::string path_;
    std::unique_ptr<DecodedAudio> audio_;
    std::unique_ptr<Resampler> resampler_;
    bool ended_ = false;
};

}  // namespace voxquill
