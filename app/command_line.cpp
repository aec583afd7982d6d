#include "app/command_line.h"

namespace voxquill {

std::optional<Invocation> parseCommandLine(const std::vector<std::string>& args) {
    if (args.size() < 2) return std::nullopt;
    Invocation invocation;
    invocation.live = args.size() >= 3 && args[1] == "--live";
    const std::size_t pathAt = invocation.live ? 2 : 1;
    invocation.path = args[pathAt];
    if (args.size() > pathAt + 1) invocation.locale = args[pathAt + 1];
    return invocation;
}

}  // namespace voxquill
