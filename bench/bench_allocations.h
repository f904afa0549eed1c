#pragma once
// The count of operator new calls made by the benchmark program so far (the replaced global
// operator new of frame_bench.cpp counts them).

#include <cstdint>

uint64_t BenchAllocations();
