#pragma once

#include "platform/audio/samples.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace voxquill {

// How far the recognizer may fall behind the audio before an append waits
// for it: the writer of a pipe is then held up in its own write, so a fast
// writer neither loses speech nor fills the memory. Two seconds keeps the
// wait for the final result after the end of the input well inside the
// settle delay, and is more than the model takes to load (0.45 s), so a
// writer at real time does not wait.
constexpr std::size_t mostSamplesBehind = 2 * recognizerSampleRate;

// Audio handed from the thread that reads it to the recognizer's own thread.
// Nothing appended is dropped, also what comes before the recognizer is
// ready, until the recognizer has stopped.
class LiveAudioRequest {
public:
    // Any thread; nothing may be appended after endAudio. Waits while the
    // audio appended and not yet decoded, what came before the recognizer
    // was ready included, is at least mostSamplesBehind; once the recognizer
    // has stopped it drops the buffer and returns at once.
    void append(Samples buffer);
    void endAudio();

    struct Taken {
        std::vector<Samples> buffers;  // in the order appended
        bool ended = false;            // and nothing more will come
    };

    // The recognizer's side: waits until there is audio or its end, and takes
    // all there is.
    Taken waitForAudio();

    // The recognizer has decoded this many samples of what it took.
    void decoded(std::size_t samples);

    // The recognizer takes nothing more, whether it is done or has failed:
    // waiting appends return, and audio is dropped from now on.
    void stopTaking();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable caughtUp_;
    std::vector<Samples> buffers_;
    std::size_t behind_ = 0;  // samples appended and not yet decoded
    bool ended_ = false;
    bool stopped_ = false;
};

}  // namespace voxquill
