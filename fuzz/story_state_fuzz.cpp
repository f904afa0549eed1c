// libFuzzer target: the battle events' story state under the two-map test story. The
// checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StoryStateEntry(data, size);
  return 0;
}
