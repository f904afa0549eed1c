// libFuzzer target: a bitmap loaded into a minigame surface and drawn into another.
// The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MinigameBmpEntry(data, size);
  return 0;
}
