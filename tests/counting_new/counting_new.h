#pragma once
// The operator new calls the calling thread has made so far, in a test program linked with the
// counting_new object library (tests/CMakeLists.txt), whose counting_new.cpp replaces the global
// operator new to count them. For the tests that check that steady play allocates nothing.

#include <cstdint>

namespace counting_new {

uint64_t ThreadAllocations();

}  // namespace counting_new
