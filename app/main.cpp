// Start-up: one straight pass on the main thread, then the main queue runs
// for good and every outcome leaves through `finish`.

#include "app/command_line.h"
#include "app/deadlines.h"
#include "app/state.h"
#include "platform/speech/sphinx/sphinx_service.h"
#include "platform/system/huge_pages.h"
#include "platform/system/info_dictionary.h"
#include "platform/system/locale.h"
#include "platform/system/std_streams.h"
#include "platform/text/messages.h"
#include "transcription/authorize.h"
#include "transcription/file_transcription.h"
#include "transcription/live_transcription.h"

#include <unistd.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace voxquill;

// The model folders this executable was built to search, colon-separated.
std::vector<std::string> modelFolders() {
    std::vector<std::string> folders;
    const std::string list = VOXQUILL_MODEL_DIRS;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (end > start) folders.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

// A test build of the program runs out of time sooner, so a test can see a
// run end at its deadline.
#ifdef VOXQUILL_FILE_DEADLINE_SECONDS
constexpr double fileDeadline = VOXQUILL_FILE_DEADLINE_SECONDS;
#else
constexpr double fileDeadline = fileDeadlineSeconds;
#endif
#ifdef VOXQUILL_TEST_LIVE_DEADLINE_SECONDS
constexpr double liveDeadline = VOXQUILL_TEST_LIVE_DEADLINE_SECONDS;
#else
constexpr double liveDeadline = liveDeadlineSeconds;
#endif

SpeechService& speechService() {
    static auto* service = new SphinxSpeechService(mainQueue(), modelFolders(), fileDeadline);
    return *service;
}

void startFileMode(const Invocation& invocation) {
    armFileDeadline(mainQueue(), fileDeadline);
    authorize(speechService(), mainQueue(), startFile(invocation.path));
}

void startLiveMode(const Invocation& invocation) {
    auto lastText = std::make_shared<std::string>();
    auto stopped = std::make_shared<bool>(false);
    armLiveDeadline(mainQueue(), liveDeadline, lastText);
    authorize(speechService(), mainQueue(), startLive(mainQueue(), invocation.path, lastText, stopped));
}

}  // namespace

int main(int argc, char** argv) {
    runOnHugePages(argv);
    // A reader that goes away must not kill the process mid-write: the write
    // fails instead, and the run ends through finish with its own status.
    if (!ignoreBrokenPipe()) {
        writeAll(STDERR_FILENO, std::string(messages::unavailable) + "\n");
        return 1;
    }
    const std::vector<std::string> args(argv, argv + argc);
    const auto invocation = parseCommandLine(args);
    // These two lines go out before any run starts; their statuses already
    // say the program did nothing, whether or not the line got through.
    if (!invocation) {
        writeAll(STDERR_FILENO, messages::usage);
        return 2;
    }
    live = invocation->live;
    // There is no window, dock or menu bar to keep out of on this platform.
    if (!infoDictionaryHasKey(embeddedInfoPlist, "NSSpeechRecognitionUsageDescription")) {
        writeAll(STDERR_FILENO, std::string(messages::missingUsageDescription) + "\n");
        return 1;
    }
    localeId = invocation->locale.value_or(currentLocaleId());
    finished = false;
    if (live) {
        startLiveMode(*invocation);
    } else {
        startFileMode(*invocation);
    }
    mainQueue().run();
}
