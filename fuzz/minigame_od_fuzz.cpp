// libFuzzer target: the minigames' od files (mg_obj_create). The checks live in the entry function
// (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MinigameOdEntry(data, size);
  return 0;
}
