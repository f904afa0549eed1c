// libFuzzer target: the script variables' save image and a RETURN.
// The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MacroVarsEntry(data, size);
  return 0;
}
