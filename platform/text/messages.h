#pragma once

// The program's own words: every message it writes and the kinds of its event
// lines. Callers read them; changing one here changes it everywhere.

namespace voxquill::messages {

inline constexpr const char* usage =
    "usage: voxquill <wav-file> [locale]\n"
    "       voxquill --live <pcm-fifo> [locale]\n";

inline constexpr const char* missingUsageDescription = "missing-usage-description";
inline constexpr const char* notAuthorized = "not-authorized";
inline constexpr const char* unavailable = "unavailable";
inline constexpr const char* timeout = "timeout";
inline constexpr const char* noSpeech = "No speech detected";

// The engine's failures.
inline constexpr const char* cannotLoadModel = "cannot load the speech model ";  // then the model's name
inline constexpr const char* recognitionFailed = "speech recognition failed";
inline constexpr const char* noRecognitionThread = "cannot start speech recognition: out of resources";

// Why a recording cannot be read; each follows "PATH: ".
inline constexpr const char* notAudio = "not an audio file in a format this program reads";
inline constexpr const char* notFileOrPipe = "not a regular file or a pipe";
inline constexpr const char* damaged = "damaged or incomplete file";
inline constexpr const char* needsFile = "cannot be read from a pipe; give the file's path instead";
inline constexpr const char* noAudioStream = "no audio stream";
inline constexpr const char* unsupportedCodec = "unsupported audio codec: ";      // then its name
inline constexpr const char* unsupportedRate = "unsupported sample rate ";        // then "N Hz"
inline constexpr const char* unsupportedChannels = "unsupported channel count ";  // then N
inline constexpr const char* cannotResampleFrom = "cannot resample from ";        // then "N Hz"
inline constexpr const char* cannotResample = "cannot resample: ";                // then the reason

// The kinds of live mode's event lines.
namespace kind {
inline constexpr const char* ready = "r";
inline constexpr const char* partial = "p";
inline constexpr const char* final = "f";
inline constexpr const char* error = "e";
}  // namespace kind

}  // namespace voxquill::messages
