// The test program's own operator new, so that tests can see whether a code path allocates.
// It lives in a translation unit of its own so that the optimizer never pairs an inlined
// allocation with a deallocation it cannot see through.

#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> gAllocations{0};
}  // namespace

std::size_t AllocationCount() {
    return gAllocations.load();
}

void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t /*size*/) noexcept {
    std::free(block);
}
