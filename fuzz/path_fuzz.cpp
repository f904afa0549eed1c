// libFuzzer target: game path translation of the files seam and the file layer's search order. The
// checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::PathEntry(data, size);
  return 0;
}
