#pragma once

#include "platform/audio/samples.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace voxquill {

// Audio handed from the thread that reads it to the recognizer's own thread.
// Nothing appended is dropped, also what comes before the recognizer is ready.
class LiveAudioRequest {
public:
    // Any thread; nothing may be appended after endAudio.
    void append(Samples buffer);
    void endAudio();

    struct Taken {
        std::vector<Samples> buffers;  // in the order appended
        bool ended = false;            // and nothing more will come
    };

    // The recognizer's side: waits until there is audio or its end, and takes
    // all there is.
    Taken waitForAudio();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Samples> buffers_;
    bool ended_ = false;
};

}  // namespace voxquill
