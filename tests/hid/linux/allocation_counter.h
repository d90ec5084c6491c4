#pragma once

#include <cstddef>

// How many times the test program's operator new has run so far.
std::size_t AllocationCount();
