#include "platform/audio/wav_header.h"

namespace voxquill {

namespace {

std::uint32_t littleEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

}  // namespace

std::optional<std::uint32_t> declaredWavDataBytes(std::string_view head) {
    constexpr std::size_t riffHeader = 12;
    constexpr std::size_t chunkHeader = 8;
    if (head.size() < riffHeader || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "WAVE") return std::nullopt;
    for (std::size_t at = riffHeader; at + chunkHeader <= head.size();) {
        const std::uint32_t size = littleEndian32(head, at + 4);
        if (head.substr(at, 4) == "data") return size;
        // Chunks are padded to an even length.
        at += chunkHeader + size + (size & 1u);
    }
    return std::nullopt;
}

}  // namespace voxquill
