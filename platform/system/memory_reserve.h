#pragma once

#include <cstddef>

namespace voxquill {

// Start-up only, before any thread. Holds `bytes` back for the first
// allocation of ours that finds the memory gone, most likely while the
// engine, loading its model under a tight `ulimit -v`, has taken the rest:
// that allocation gets them instead of ending the process, and the run can
// still end in its own words. Later failures throw as usual. False when
// even the reserve cannot be had.
bool holdMemoryReserve(std::size_t bytes);

}  // namespace voxquill
