// libFuzzer target: the enemy think files played on a fixed stage. The checks live in the
// entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ThinkEntry(data, size);
  return 0;
}
