#pragma once
// Helpers shared by the fuzz entry files.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/entries/fuzz_entries.h"

namespace testsupport {
class GameTree;
}

namespace fuzz::detail {

// Reports a broken rule through the failure handler when `ok` is false.
void Check(bool ok, const char* target, const char* what);
// Little-endian 16-bit value at `at` (missing bytes read as 0), and one byte (0 when missing).
uint32_t Le16(const Bytes& b, size_t at);
uint8_t ByteAt(const Bytes& b, size_t at);
// A working directory and an install directory of one process, made on first use and removed
// at exit. Each call rewrites the files it needs, so no call depends on an earlier one.
testsupport::GameTree& Tree();
// An exactly sized heap copy, so that the address sanitizer sees any access past the end.
std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* data, size_t size);

}  // namespace fuzz::detail
