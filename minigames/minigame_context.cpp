#include "minigames/minigame_context.h"

#include "minigames/souji/souji_game.h"

namespace {

constexpr const char* kOdPaths[mg::kGameCount] = {
    "tamvik3\\od\\mg_test.od",  "tamvik3\\od\\mg_swim.od",  "tamvik3\\od\\mg_souji.od",
    "tamvik3\\od\\mg_cook.od",  "tamvik3\\od\\mg_hana.od",  "tamvik3\\od\\mg_slot.od",
    "tamvik3\\od\\mg_maigo.od", "tamvik3\\od\\mg_shot.od",  "tamvik3\\od\\mg_koi.od",
    "tamvik3\\od\\mg_aysol.od", "tamvik3\\od\\mg_brise.od", "tamvik3\\od\\mg_lunet.od",
    "tamvik3\\od\\mg_davon.od", "tamvik3\\od\\mg_tamvi.od", "tamvik3\\od\\mg_zuqel.od",
    "tamvik3\\od\\mg_zuq2.od",
};

}  // namespace

MinigameContext::MinigameContext() {
  for (int i = 0; i < mg::kGameCount; ++i) {
    games[static_cast<size_t>(i)].path = kOdPaths[i];
    games[static_cast<size_t>(i)].proc = &MinigameContext::StandInProc;
  }
  games[2].proc = &souji_proc;
}

int MinigameContext::StandInProc(int) { return 0; }

MinigameContext& Minigame() { return Current<MinigameContext>::Get("minigame context"); }

bool HasMinigame() { return Current<MinigameContext>::Has(); }
