// libFuzzer target: the town map's hit rows through its hit test.
// The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MapHitEntry(data, size);
  return 0;
}
