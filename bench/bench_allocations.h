#pragma once
// The count of operator new calls made by the benchmark program so far, by every thread (the
// program links testsupport/counting_new, whose replaced global operator new counts them).

#include <cstdint>

uint64_t BenchAllocations();
