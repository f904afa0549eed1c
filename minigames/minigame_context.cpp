#include "minigames/minigame_context.h"

#include "minigames/hana/hana_proc.h"
#include "minigames/swim/swim.h"
#include "minigames/maigo/maigo.h"
#include "minigames/shot/shot_game.h"
#include "minigames/cook/cook_proc.h"
#include "minigames/slot/slot_proc.h"
#include "minigames/souji/souji_game.h"
#include "minigames/hana/koi_proc.h"

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
  games[0].proc = &test_proc;
  games[1].proc = &swim_proc;
  games[6].proc = &maigo::maigo_proc;
  games[7].proc = &shot_proc;
  games[3].proc = &cook_proc;
  games[5].proc = &slot_proc;
  games[4].proc = &hana::hana_proc;
  games[9].proc = &hana::hana_proc;
  games[10].proc = &hana::hana_proc;
  games[11].proc = &hana::hana_proc;
  games[12].proc = &hana::hana_proc;
  games[13].proc = &hana::hana_proc;
  games[14].proc = &hana::hana_proc;
  games[15].proc = &hana::hana_proc;
  games[2].proc = &souji_proc;
  games[8].proc = &hana::koi_proc;
}

int MinigameContext::StandInProc(int) { return 0; }

MinigameContext& Minigame() { return Current<MinigameContext>::Get("minigame context"); }

bool HasMinigame() { return Current<MinigameContext>::Has(); }
