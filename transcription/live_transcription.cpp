#include "transcription/live_transcription.h"

#include "app/output.h"
#include "platform/system/pipe_input.h"
#include "platform/text/messages.h"
#include "transcription/pcm_pump.h"

#include <memory>
#include <utility>

namespace voxquill {

namespace {

struct LiveRun {
    EventLoop& queue;
    std::string pipePath;
    TextCell lastText;
    FlagCell stopped;
    std::shared_ptr<LiveAudioRequest> request;
};

// Tasks are copied and a descriptor has one owner, so the open pipe travels
// between them in a shared holder; the one that runs takes it out.
using PipeHolder = std::shared_ptr<UniqueFd>;

void onPipeOpened(const LiveRun& run, const PipeHolder& pipe) {
    if (!*pipe) {
        finish(1, messages::unavailable, std::nullopt);
        return;
    }
    emit(messages::kind::ready);
    auto pump = [run, pipe] { pumpPcm(run.queue, std::move(*pipe), run.stopped, run.request, run.lastText); };
    if (!runInBackground(std::move(pump))) {
        pipe->reset();
        finish(1, messages::unavailable, std::nullopt);
    }
}

void openPipe(const LiveRun& run) {
    auto open = [run] {
        auto pipe = std::make_shared<UniqueFd>(openForReading(run.pipePath));
        run.queue.post([run, pipe] { onPipeOpened(run, pipe); });
    };
    if (!runInBackground(std::move(open))) finish(1, messages::unavailable, std::nullopt);
}

}  // namespace

ModeStarter startLive(EventLoop& queue, std::string pipePath, const TextCell& lastText, const FlagCell& stopped) {
    return [&queue, pipePath = std::move(pipePath), lastText, stopped](Recognizer& recognizer) {
        const LiveRun run{queue, pipePath, lastText, stopped, std::make_shared<LiveAudioRequest>()};
        recognizer.recognizeLive(run.request, [lastText, stopped](const std::optional<RecognitionResult>& result,
                                                                  const std::optional<std::string>& error) {
            onLiveResult(result, error, *lastText, *stopped);
        });
        openPipe(run);
    };
}

void onLiveResult(const std::optional<RecognitionResult>& result, const std::optional<std::string>& error,
                  std::string& lastText, bool stopped) {
    if (error) {
        const bool sawText = !lastText.empty();
        finish(sawText ? 0 : 1, *error, sawText ? std::optional<std::string>(lastText) : std::nullopt);
        return;
    }
    if (!result) return;
    lastText = result->text;
    emit(result->isFinal ? messages::kind::final : messages::kind::partial, result->text);
    if (result->isFinal && stopped) finish(0, std::nullopt, result->text);
}

}  // namespace voxquill
