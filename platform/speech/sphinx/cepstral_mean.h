#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct fe_s;

namespace voxquill {

// The mean cepstrum of the speech in `samples`, as the engine's front end
// `fe` finds it: the frames it takes for speech, less those of no energy,
// which live normalisation leaves out too. Empty when there is no speech, or
// when the front end fails. The front end is left at the start of a stream.
// Both are borrowed for the call; the thread that uses `fe`.
std::vector<float> speechCepstralMean(fe_s* fe, const std::int16_t* samples, std::size_t count);

}  // namespace voxquill
