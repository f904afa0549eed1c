// libFuzzer target: the battle message file and its look-ups.
// The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SlgMessageEntry(data, size);
  return 0;
}
