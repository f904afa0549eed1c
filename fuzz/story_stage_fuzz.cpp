// libFuzzer target: the battle events' stage under event objects and a walk. The
// checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StoryStageEntry(data, size);
  return 0;
}
