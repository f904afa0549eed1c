// libFuzzer target: the title's petal wipe data, decoded frame by frame and played.
// The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::PetalWipeEntry(data, size);
  return 0;
}
