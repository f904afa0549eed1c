// libFuzzer target: the minigames' save\minigame.dat (the read of mg_start). The checks live in
// the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MinigameDatEntry(data, size);
  return 0;
}
