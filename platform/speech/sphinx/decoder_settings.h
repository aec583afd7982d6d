#pragma once

namespace voxquill::decoding {

// Active HMMs a frame, the width of the engine's search (its default is
// 30000). A recording keeps its accuracy at 2000, where decoding takes an
// eighth of real time; short live sessions lost words below 5000, which is
// still fast enough that the text follows the speaker.
inline constexpr int recordingHmmsPerFrame = 2000;
inline constexpr int liveHmmsPerFrame = 5000;

}  // namespace voxquill::decoding
