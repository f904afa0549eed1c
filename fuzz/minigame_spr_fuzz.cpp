// libFuzzer target: the minigames' sprite-file frames (mg_load_spr). The checks live in the entry function
// (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MinigameSprEntry(data, size);
  return 0;
}
