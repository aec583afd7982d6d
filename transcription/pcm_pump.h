#pragma once

#include "platform/speech/live_audio_request.h"
#include "platform/system/event_loop.h"
#include "transcription/live_cells.h"

#include <cstddef>
#include <string_view>

namespace voxquill {

constexpr std::size_t pumpChunkBytes = 8192;  // 256 ms of 16 kHz 16-bit mono
constexpr double settleSeconds = 3.0;

// Reads raw 16 kHz mono s16le audio from the descriptor to the end of the
// stream, appending it to the request as it comes, then posts endInput. A
// byte left over from a read of odd length goes in front of the next read, so
// the samples stay aligned whatever sizes the writer uses. Runs off the main
// queue and touches neither cell.
void pumpPcm(EventLoop& queue, int fd, FlagCell stopped, std::shared_ptr<LiveAudioRequest> request, TextCell lastText);

// Appends the whole samples of the bytes, unchanged; a last odd byte is not
// part of any.
void appendPcm16(std::string_view bytes, LiveAudioRequest& request);

// The input has ended: marks it, ends the request's audio and gives the
// recognizer the settle delay to deliver its final result.
void endInput(EventLoop& queue, bool& stopped, LiveAudioRequest& request, TextCell lastText);

// Closes a run that no final result ended: with the last text, or with
// "No speech detected".
void settleLive(const std::string& lastText);

}  // namespace voxquill
