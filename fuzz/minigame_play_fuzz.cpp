// libFuzzer target: a whole minigame played over an od file, save\minigame.dat and input steps.
// The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MinigamePlayEntry(data, size);
  return 0;
}
