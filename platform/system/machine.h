#pragma once

#include <cstdint>
#include <optional>

namespace voxquill {

// Both may be asked from any thread; each asks the kernel afresh.

// The cores this process may run on (at least one).
unsigned usableCores();

// The memory the system can give without swapping, as the kernel estimates
// it; absent when it does not say.
std::optional<std::uint64_t> availableMemoryBytes();

// How much more address space this process may map under its limit
// (`ulimit -v`); absent without a limit, or when the kernel does not say.
std::optional<std::uint64_t> addressSpaceLeftBytes();

}  // namespace voxquill
