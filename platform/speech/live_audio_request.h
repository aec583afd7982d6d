#pragma once

#include "platform/audio/samples.h"

#include <condition_variable>
#include <cstddef>
#include <limits>
#include <mutex>
#include <vector>

namespace voxquill {

// Audio handed from the thread that reads it to the recognizer's own thread.
// Nothing appended is dropped, also what comes before the recognizer is
// ready, until the recognizer has quit. Any thread: the reader appends, the
// recognizer takes; the one who makes it shares it with both, and it lives
// as long as its last holder.
class LiveAudioRequest {
public:
    // The writer's side. The request keeps the buffer. Nothing may be
    // appended after endAudio. Waits while the backlog (the audio appended
    // and not yet decoded, what came before the recognizer was ready
    // included) is at its limit, so a fast writer is held up in its own
    // write and neither loses speech nor fills the memory; once the
    // recognizer has quit it drops the buffer and returns at once.
    void append(Samples buffer);
    void endAudio();

    // The recognizer's side, before the first append: how far, in samples,
    // it may fall behind. Without a limit appends never wait.
    void limitBacklog(std::size_t samples);

    struct Taken {
        std::vector<Samples> buffers;  // in the order appended; the taker's own
        bool ended = false;            // and nothing more will come
    };

    // Waits until there is audio or its end, and takes all there is.
    Taken waitForAudio();

    // The recognizer has decoded this many samples of what it took.
    void decoded(std::size_t samples);

    // The recognizer takes nothing more, whether it is done or has failed:
    // waiting appends return, and audio is dropped from now on.
    void recognizerQuit();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable caughtUp_;
    std::vector<Samples> buffers_;
    std::size_t backlog_ = 0;
    std::size_t mostBacklog_ = std::numeric_limits<std::size_t>::max();
    bool ended_ = false;
    bool recognizerQuit_ = false;
};

}  // namespace voxquill
