#pragma once

#include <optional>
#include <string>

// Malloc on transparent huge pages. Setting up the speech engine allocates
// about a hundred megabytes in small pieces, and faulting that memory in
// 4-KiB pages was a third of a short recording's run; glibc backs malloc
// with huge pages when its tunable says so, and reads its tunables only when
// a program is executed. Main thread, before any other thread starts.

namespace voxquill {

// GLIBC_TUNABLES as it should be to put malloc on huge pages, given its
// value now (absent when unset); absent when it already says how malloc
// should use huge pages, the caller's choice or this program's own.
std::optional<std::string> tunablesForHugePages(const std::optional<std::string>& current);

// Executes this program again, with the same arguments, descriptors and
// process, under the tunable, unless it already runs under it. If the
// program cannot be executed again it goes on as it is, on small pages.
void runOnHugePages(char** argv);

}  // namespace voxquill
