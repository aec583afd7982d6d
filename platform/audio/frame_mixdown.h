#pragma once

#include <vector>

struct AVFrame;

namespace voxquill {

// Replaces `mono` with the decoded `frame`'s channels averaged, as floats in
// [-1, 1], whatever its sample format. A sample that is not a number counts
// as silence, and one beyond full scale as full scale. False for a frame
// without channels or in a sample format no decoder gives.
bool mixDown(const AVFrame& frame, std::vector<float>& mono);

}  // namespace voxquill
