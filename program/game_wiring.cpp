#include "program/game_wiring.h"

// ---- The battle ----
#include <memory>
#include <optional>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle_effects/effects_install.h"
#include "battle_events/events_install.h"
// ----
#include "debug/debug_actions.h"
#include "debug/debug_menu.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "flow/game_boot.h"
#include "flow/tamvik_bup.h"
#include "flow/tamvik_ending.h"
#include "flow/tamvik_general.h"
#include "flow/tamvik_omake.h"
#include "flow/tamvik_open.h"
#include "flow/tamvik_option.h"
#include "game/game_sequences.h"
// ---- The minigames ----
#include "minigames/framework/minigame_framework.h"
#include "minigames/minigame_context.h"
// ----
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_icat.h"

GameHooks MakeGameHooks(CDebugMenu& menu) {
  GameHooks hooks;
  hooks.check_install = [] { return CheckInstall(); };
  hooks.boot = [] { GameBootInit(); };
  hooks.debug_reset = [&menu] { menu.DebugMenuReset(); };
  hooks.debug_frame = [&menu] { return menu.DebugFrameHook(); };
  return hooks;
}

void WireGameSequences(GameSequences& sequences, CDebugMenu& menu) {
  // The scene controller; the manager's calls it makes back.
  sequences.scene.start = [](GameTaskRec* owner) { CTamvikAdv::StartAdvMain(owner); };
  sequences.scene.is_running = [] {
    return Ctx().game_task.FindTask(CTamvikAdv::kAdvMainName) != nullptr;
  };
  sequences.scene_end = [] { CTamvikAdv::EndAdvMain(); };
  sequences.scene_screen = [] { CTamvikAdv::InitScreen(); };
  sequences.scene_minigame = [] { return static_cast<int>(CTamvikAdv::GetMiniGameNo()); };
  sequences.saved_scene_fault = [](const AdvState& saved) {
    return CTamvikMacro::SavedSceneFault(saved);
  };
  sequences.set_mode = [](int mode) { return CTamvikGeneral::SetMode(mode); };
  sequences.reset_adv_screen = [] { CTamvikGeneral::ResetAdvScreen(); };
  sequences.start_manager = [] { CTamvikGeneral::StartManager(); };
  // The maker logo (form 0) or staff card (form 1), and the opening movie.
  sequences.logo.start = [](GameTaskRec* owner, int form) {
    if (form == 0) {
      CTamvikGeneral::StartZevaLogoMain(owner);
    } else {
      CTamvikGeneral::StartStaffCard(owner);
    }
  };
  sequences.logo.is_running = [] { return !CTamvikGeneral::IsZevaLogoEnd(); };
  sequences.opening.start = [](GameTaskRec* owner) { CTamvikGeneral::StartOpeningMovieSeq(owner); };
  sequences.opening.is_running = [] { return !CTamvikGeneral::IsOpeningMovieEnd(); };
  sequences.debug_menu_close = [&menu] { menu.DebugMenuClose(); };

  // ---- The options: the option menu, its return mode and the quit confirmation ----
  sequences.option_menu.start = [](GameTaskRec* owner) { CTamvikOption::StartOptionMenu(owner); };
  sequences.option_menu.is_running = [] { return !CTamvikOption::IsOptionMenuEnd(); };
  sequences.option_return_mode = [](uint32_t mode) { CTamvikOption::SetReturnMode(mode); };
  // The quit confirmation runs without an owner; the caller waits for it to end.
  sequences.quit_confirm.start = [](GameTaskRec*) { CTamvikOption::StartExitSeq(); };
  sequences.quit_confirm.is_running = [] { return !CTamvikOption::IsExitSeqEnd(); };
  // ---- The eyecatch and the save menu it opens ----
  // The eyecatch, for the script's EYECATCH and the game flow's save offer.
  sequences.eyecatch.start = [] { return CTamvikIcat::StartIcat_SvCnt(); };
  sequences.eyecatch.is_running = [] { return CTamvikIcat::IsIcat_SvCnt(); };
  // ---- The extras tests (SPECIAL's OM_TestMode; flow/tamvik_omake.h) ----
  // The movie, sound and picture tests, owned by the entry.
  FillExtrasSequence(sequences);
  // ---- end of the extras tests ----

  // ---- The save and load menus (flow/tamvik_bup.h) ----
  // The slot menu (the eyecatch's save entry, the title's and the option menu's load), the boot
  // save check and the save offer.
  sequences.save_menu.start = [](GameTaskRec* owner, int save_mode) {
    CTamvikBup::StartAdvSaveMenu(owner, save_mode);
  };
  sequences.save_menu.is_running = [] { return !CTamvikBup::IsAdvSaveMenuEnd(); };
  sequences.save_check.start = [](GameTaskRec* owner) { CTamvikBup::StartBkupCheck(owner); };
  sequences.save_check.is_running = [] {
    return Ctx().game_task.FindTask(CTamvikBup::kBkupCheckName) != nullptr;
  };
  sequences.save_offer.start = [](GameTaskRec* owner) { CTamvikBup::StartSaveMasterCtrl(owner); };
  sequences.save_offer.is_running = [] {
    return Ctx().game_task.FindTask(CTamvikBup::kSaveMasterName) != nullptr;
  };
  sequences.save_menu_loaded = [] { return CTamvikBup::IsLoaded() != 0; };
  sequences.save_menu_clear_loaded = [] { CTamvikBup::ClearLoaded(); };
  // ---- end of the save and load menus ----

  // ---- The title ----
  // The title task; it reaches the options and the slot menu through their entries above.
  FillTitleSequence(sequences);

  // ---- The ending (modes 46 and 47) ----
  sequences.ending.start = [](GameTaskRec* owner, int n) {
    CTamvikEnding::StartEndingMain(owner, n);
  };
  sequences.ending.is_running = [] { return !CTamvikEnding::IsEndingEnd(); };
  sequences.ending_prepare = [] { CTamvikEnding::InitEndingScreen(); };

  // ---- The minigames ----
  WireMinigameSequences(sequences);

  // ---- The battle ----
  WireBattleSequence(sequences);

  // ---- The debug menu's actions (debug/debug_actions.h) ----
  FillDebugActions(menu);
}

// ---- The minigames ----
void WireMinigameSequences(GameSequences& sequences) {
  sequences.minigame.start = [](int game, int mode) {
    return HasMinigame() ? MiniGameStart(game, mode) : 0;
  };
  sequences.minigame.is_running = [] { return HasMinigame() && MiniGameIsRunning() != 0; };
  sequences.minigame_step = [] {
    if (HasMinigame()) MiniGameTask();
  };
  sequences.minigame_result = [] { return HasMinigame() ? MiniGameResult() : 0; };
}

// ---- The battle ----
namespace {

// The battle context of the program's battles: a fresh one made current when the mode manager
// starts a battle, kept (also through stage switches and retries, which start the stage without
// the entry) until the next battle replaces it or the entry goes.
struct ProgramBattle {
  std::unique_ptr<BattleContext> context;
  std::optional<BattleScope> scope;

  void Fresh() {
    if (context != nullptr) {
      // A battle still built (the debug menu's restart) is torn down first, so that what it
      // loaded is released while its context is current.
      if (context->control.built != 0) {
        context->running = 0;
        Slg::StopMainTask();
        SlgTeardown();
      }
    }
    scope.reset();
    context.reset();
    context = std::make_unique<BattleContext>();
    scope.emplace(*context);
  }
};

bool BattleTaskRuns() {
  const CGameTask& list = Ctx().game_task;
  for (const char* name :
       {kSlgInitTaskName, kSlgMainTask.name, kSlgExchangeTaskName, kSlgExchangeNofadeTaskName}) {
    if (list.FindTask(name) != nullptr) return true;
  }
  return false;
}

}  // namespace

void WireBattleSequence(GameSequences& sequences) {
  auto held = std::make_shared<ProgramBattle>();
  sequences.battle.start = [held] {
    // A context a test made current is used as it is; the program's is fresh per battle.
    if (!HasBattle() || held->context != nullptr) held->Fresh();
    Slg::StartStage();
  };
  sequences.battle.is_running = [] { return HasBattle() && BattleTaskRuns(); };
}

std::span<const BattleInstaller> BattleExtensionInstallers() {
  static constexpr BattleInstaller kInstallers[] = {&InstallBattleEffects, &InstallBattleEvents};
  return kInstallers;
}

void RegisterBattleExtensions() {
  for (const BattleInstaller installer : BattleExtensionInstallers()) {
    RegisterBattleInstaller(installer);
  }
}
