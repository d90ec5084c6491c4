// Replaces the global operator new of the test program so that tests can see whether a code
// path allocates.

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/hid/linux/test_support.h"

namespace {
std::atomic<std::size_t> gAllocations{0};
}

namespace brimlo::hid::testing {
std::size_t AllocationCount() {
    return gAllocations.load();
}
}  // namespace brimlo::hid::testing

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
