#pragma once

#include "platform/speech/live_audio_request.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/sphinx/live_decoder.h"
#include "platform/speech/sphinx/model_registry.h"
#include "platform/system/event_loop.h"

namespace voxquill {

// Live dictation, on the thread that calls it: decodes what the request
// brings, in blocks of decoding::liveBlockSamples however it came, through
// the live signal chain, until its audio ends, posting to `queue` a partial
// result each time the text has changed, asked for after every block while
// decoding keeps up with the audio and until the first words show (while it
// falls behind, each second of audio decoded), then one final result. Speech
// that goes on without a pause for decoding::longestLiveUtteranceSamples
// gets a final result on the way too. Every result holds the whole text so
// far. With no words at all there is no final result; a failure is posted as
// one error and ends decoding. However it ends, the request is told the
// recognizer has quit before this returns. Everything given is borrowed for
// the call.
void decodeLive(LiveAudioRequest& request, LiveDecoder& decoder, EventLoop& queue, const ResultHandler& handler);

// The same on a decoder of the engine's, made for `model` here.
void decodeLive(LiveAudioRequest& request, const LanguageModel& model, EventLoop& queue, const ResultHandler& handler);

}  // namespace voxquill
