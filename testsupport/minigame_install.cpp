#include "testsupport/minigame_install.h"

#include <cstddef>
#include <cstdint>

#include "minigames/minigame_context.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

namespace {

std::vector<uint8_t> Sound(uint32_t frames) {
  return PcmWav(1, 22050, 16, std::vector<int16_t>(frames, 1500)).Bytes();
}

}  // namespace

void WriteMinigameInstall(MinigameRunner& runner) {
  for (int row = 0; row < mg::kGameCount; ++row) {
    runner.WriteFile(runner.minigame().games[static_cast<size_t>(row)].path,
                     MinigameRowOd(row).Build());
  }
  // A quarter of a second of voice: the cooking game's greeting holds until it ends.
  runner.WriteFile("tamvik3\\voice\\2331.wav", Sound(22050 / 4));
  runner.WriteFile("tamvik1\\bgm\\lunet.wav", Sound(22050));
}

}  // namespace testsupport
