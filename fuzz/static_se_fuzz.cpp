// libFuzzer target: static sound effects loaded whole (RIFF chunk walk, compressed effects). The
// checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StaticSeEntry(data, size);
  return 0;
}
