#pragma once
// The operator new calls made so far, in a program linked with the counting_new object library
// (testsupport/CMakeLists.txt), whose counting_new.cpp replaces the global operator new to count
// them. For the tests and benchmarks that check that steady play allocates nothing.

#include <cstdint>

namespace counting_new {

// Those of the calling thread.
uint64_t ThreadAllocations();
// Those of every thread.
uint64_t AllAllocations();

}  // namespace counting_new
