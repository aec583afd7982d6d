#pragma once

#include "platform/audio/audio_file_reader.h"
#include "platform/audio/samples.h"

#include <memory>
#include <string>

namespace voxquill {

// The whole recording at `path` as the recognizer takes it; empty when it
// cannot be read.
inline Samples wholeRecording(const std::string& path) {
    std::string error;
    const std::unique_ptr<AudioFileReader> reader = AudioFileReader::open(path, error);
    if (!reader) return {};
    Samples all;
    Samples samples;
    while (reader->read(samples, error) && !samples.empty()) all.insert(all.end(), samples.begin(), samples.end());
    return error.empty() ? all : Samples{};
}

}  // namespace voxquill
