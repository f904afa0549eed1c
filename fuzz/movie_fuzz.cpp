// libFuzzer target: movie files through the FFmpeg movie source (decoder thread, picture
// conversion, sound track). The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MovieEntry(data, size);
  return 0;
}
