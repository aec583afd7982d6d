#pragma once

#include "platform/speech/live_audio_request.h"
#include "platform/system/event_loop.h"
#include "platform/system/unique_fd.h"
#include "transcription/live_cells.h"

#include <cstddef>
#include <string_view>

namespace voxquill {

constexpr std::size_t pumpChunkBytes = 8192;  // 256 ms of 16 kHz 16-bit mono
constexpr double settleSeconds = 3.0;

// Reads raw 16 kHz mono s16le audio from the pipe to the end of the stream,
// appending it to the request as it comes, then closes the pipe and posts
// endInput. A byte left over from a read of odd length goes in front of the
// next read, so the samples stay aligned whatever sizes the writer uses.
// Runs off the main queue and touches neither cell; it shares them and the
// request with the tasks it posts.
void pumpPcm(EventLoop& queue, UniqueFd pipe, FlagCell stopped, std::shared_ptr<LiveAudioRequest> request,
             TextCell lastText);

// Appends a copy of the whole samples of the bytes, unchanged; a last odd
// byte is not part of any. Any thread.
void appendPcm16(std::string_view bytes, LiveAudioRequest& request);

// The input has ended: marks it, ends the request's audio and gives the
// recognizer the settle delay to deliver its final result. Main queue only.
void endInput(EventLoop& queue, bool& stopped, LiveAudioRequest& request, TextCell lastText);

// Closes a run that no final result ended: with the last text, or with
// "No speech detected". Main queue only.
void settleLive(const std::string& lastText);

}  // namespace voxquill
