#include "platform/system/memory_reserve.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace voxquill {

namespace {

// Any thread may be the one that runs short.
std::atomic<void*> reserve{nullptr};

void releaseReserve() {
    void* const held = reserve.exchange(nullptr);
    if (held == nullptr) {
        // Spent already: the allocation fails as it would have.
        std::set_new_handler(nullptr);
        throw std::bad_alloc();
    }
    std::free(held);
}

}  // namespace

bool holdMemoryReserve(std::size_t bytes) {
    void* const held = std::malloc(bytes);
    if (held == nullptr) return false;
    reserve.store(held);
    std::set_new_handler(releaseReserve);
    return true;
}

}  // namespace voxquill
