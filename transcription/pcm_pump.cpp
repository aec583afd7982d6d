#include "transcription/pcm_pump.h"

#include "app/output.h"
#include "platform/system/pipe_input.h"
#include "platform/text/messages.h"

#include <cstring>
#include <utility>

namespace voxquill {

void pumpPcm(EventLoop& queue, UniqueFd pipe, FlagCell stopped, std::shared_ptr<LiveAudioRequest> request,
             TextCell lastText) {
    char bytes[1 + pumpChunkBytes];
    std::size_t carried = 0;
    for (;;) {
        // A failed read ends the input as its end does: nothing more can come.
        const ssize_t got = readSome(pipe.get(), bytes + carried, pumpChunkBytes);
        if (got <= 0) break;
        const std::size_t total = carried + static_cast<std::size_t>(got);
        const std::size_t whole = total - total % 2;
        appendPcm16(std::string_view(bytes, whole), *request);
        carried = total - whole;
        if (carried != 0) bytes[0] = bytes[whole];
    }
    // The stream has ended: the pipe is closed before the run is told so.
    pipe.reset();
    queue.post([&queue, stopped = std::move(stopped), request = std::move(request), lastText = std::move(lastText)] {
        endInput(queue, *stopped, *request, lastText);
    });
}

void appendPcm16(std::string_view bytes, LiveAudioRequest& request) {
    const std::size_t frames = bytes.size() / 2;
    if (frames == 0) return;
    Samples buffer(frames);
    std::memcpy(buffer.data(), bytes.data(), frames * 2);
    request.append(std::move(buffer));
}

void endInput(EventLoop& queue, bool& stopped, LiveAudioRequest& request, TextCell lastText) {
    stopped = true;
    request.endAudio();
    queue.postAfter(settleSeconds, [lastText = std::move(lastText)] { settleLive(*lastText); });
}

void settleLive(const std::string& lastText) {
    if (lastText.empty()) {
        finish(1, messages::noSpeech, std::nullopt);
    } else {
        finish(0, std::nullopt, lastText);
    }
}

}  // namespace voxquill
