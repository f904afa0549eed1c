// libFuzzer target: the battle text tables and System.Tab with their look-ups. The checks live
// in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SlgTablesEntry(data, size);
  return 0;
}
