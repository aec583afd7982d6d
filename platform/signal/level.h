#pragma once

#include "platform/audio/samples.h"

namespace voxquill {

// Raises quiet audio so its loudest sample reaches `peak` (a fraction of full
// scale), by at most `mostGain`; audio already that loud is left alone, and
// nothing is ever clipped. In place; any thread.
void raiseToPeak(Samples& samples, double peak, double mostGain);

}  // namespace voxquill
