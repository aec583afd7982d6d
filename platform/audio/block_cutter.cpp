#include "platform/audio/block_cutter.h"

#include <algorithm>
#include <utility>

namespace voxquill {

BlockCutter::BlockCutter(std::size_t blockSamples) : blockSamples_(std::max<std::size_t>(1, blockSamples)) {}

std::vector<Samples> BlockCutter::cut(const Samples& piece) {
    std::vector<Samples> blocks;
    auto from = piece.begin();
    while (from != piece.end()) {
        const std::size_t wanted = blockSamples_ - pending_.size();
        const auto to = from + static_cast<std::ptrdiff_t>(std::min<std::size_t>(wanted, piece.end() - from));
        pending_.insert(pending_.end(), from, to);
        from = to;
        if (pending_.size() == blockSamples_) blocks.push_back(std::exchange(pending_, {}));
    }
    return blocks;
}

Samples BlockCutter::rest() {
    return std::exchange(pending_, {});
}

}  // namespace voxquill
