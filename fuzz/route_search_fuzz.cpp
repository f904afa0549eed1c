// libFuzzer target: the battle events' route search over any cell grid (battle_events/core). The
// checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::RouteEntry(data, size);
  return 0;
}
