#pragma once
// The allocations made so far by this program (the global operator new is replaced in
// frame_bench.cpp to count them).

#include <cstdint>

uint64_t BenchAllocationCount();
