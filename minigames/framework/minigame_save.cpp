#include "minigames/framework/minigame_save.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"
#include "platform/little_endian.h"

int mg_save_read() {
  MinigameContext& m = Minigame();
  m.fw.save_blocked = 0;
  std::vector<uint8_t> bytes;
  bool larger = false;
  switch (mg_read_file(kMinigameSaveName, kSearchInstall, kMinigameSaveSize, &bytes, &larger)) {
    case MgRead::kMissing:
      return 0;
    case MgRead::kError:
      DebugPrint("mg_start: %s cannot be read; it will not be written\n", kMinigameSaveName);
      m.fw.save_blocked = 1;
      return 0;
    case MgRead::kOk:
      break;
  }
  // The record is used whole or not at all: half of a cut file would mix saved rankings with
  // cleared ones, so the variables keep what they hold. Bytes past the record are left unread.
  if (bytes.size() < kMinigameSaveSize) {
    DebugPrint("mg_start: %s holds %zu of %u bytes; not used\n", kMinigameSaveName, bytes.size(),
               kMinigameSaveSize);
    return 0;
  }
  if (larger) {
    DebugPrint("mg_start: %s is longer than %u bytes; the rest is not read\n", kMinigameSaveName,
               kMinigameSaveSize);
  }
  for (int i = 0; i < mg::kSavedVarCount; ++i) {
    m.vars[static_cast<size_t>(mg::kFirstSavedVar + i)] =
        static_cast<int32_t>(platform::GetLe32(bytes.data() + 4 * i));
  }
  return 1;
}

int mg_save_write() {
  const MinigameContext& m = Minigame();
  if (m.fw.save_blocked != 0) {
    DebugPrint("mg_end: %s was not readable; not written\n", kMinigameSaveName);
    return 0;
  }
  std::array<uint8_t, kMinigameSaveSize> block{};
  for (int i = 0; i < mg::kSavedVarCount; ++i) {
    platform::SetLe32(block.data() + 4 * i,
                      static_cast<uint32_t>(m.vars[static_cast<size_t>(mg::kFirstSavedVar + i)]));
  }
  if (mg_file_write(kMinigameSaveName, block.data(), kMinigameSaveSize) == 0) {
    DebugPrint("mg_end: %s not written\n", kMinigameSaveName);
    return 0;
  }
  return 1;
}
