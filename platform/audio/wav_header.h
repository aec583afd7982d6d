#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace voxquill {

// Pure; any thread. The size a RIFF WAVE header gives its data chunk, from
// the first bytes of a file; nothing when they are no such header or end
// before the data chunk's.
std::optional<std::uint32_t> declaredWavDataBytes(std::string_view head);

}  // namespace voxquill
