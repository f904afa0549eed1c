// libFuzzer target: the map plane table Map.TAB with its priority file and a bank. The checks
// live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SlgMapEntry(data, size);
  return 0;
}
