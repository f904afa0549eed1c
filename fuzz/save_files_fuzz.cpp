// libFuzzer target: save\system.dat and a save slot through LoadSystemData, GetSaveSceneCode
// and LoadGameData.
// The checks live in the entry function (fuzz/entries).
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SaveFilesEntry(data, size);
  return 0;
}
