// The decoding settings against the program's own deadlines, checked when
// the tests are built: a setting retuned past its deadline fails the build.

#include "platform/speech/sphinx/decoder_settings.h"

#include "transcription/pcm_pump.h"

namespace voxquill {
namespace {

// Live decoding at real time works off the backlog it is allowed in as many
// seconds, after the end of the input; the settle delay leaves a second more
// for the last utterance's best path.
static_assert(decoding::mostSecondsBehind + 1.0 <= settleSeconds);

}  // namespace
}  // namespace voxquill
