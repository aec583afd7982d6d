#include "transcription/live_transcription.h"

#include "app/output.h"
#include "platform/system/pipe_input.h"
#include "platform/text/messages.h"
#include "transcription/pcm_pump.h"

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

void onPipeOpened(const LiveRun& run, int fd) {
    if (fd < 0) {
        finish(1, messages::unavailable, std::nullopt);
        return;
    }
    emit(messages::kind::ready);
    auto pump = [run, fd] { pumpPcm(run.queue, fd, run.stopped, run.request, run.lastText); };
    if (!runInBackground(std::move(pump))) {
        closeInput(fd);
        finish(1, messages::unavailable, std::nullopt);
    }
}

void openPipe(const LiveRun& run) {
    auto open = [run] {
        const int fd = openForReading(run.pipePath);
        run.queue.post([run, fd] { onPipeOpened(run, fd); });
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
