#pragma once
#include <cstdint>

// Heap allocations made through operator new since the program started.
std::uint64_t AllocationCount();
