#include "battle/slg_start.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_game_over.h"
#include "battle/slg_geometry.h"
#include "battle/slg_map.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_stage.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_adv.h"
#include "scene/sprite/spx_anime.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

constexpr SurfaceId kFaceSurface = 12;
constexpr int kBattleFaceKind = 1;
constexpr int kStageFadeFrames = 32;
constexpr uint16_t kFlagsAfterSetUp = 14;
constexpr uint16_t kFlagSwitchFade = 0x20;

uint32_t BattleMap() { return GetSystemData()->battleMap(); }

// ---- The initialisation machine's steps ----

void InitStep0(BattleContext& b) {
  b.state = SlgBattleState{};
  // The order of a stage switched from (or of the battle before a retry) goes with its units:
  // the order position step 5 sets beyond the new units must be beyond the order's count too, so
  // that the first frame starts round 1.
  b.order = SlgOrder{};
  b.event_words = SlgEventWords{};
  b.flags = 0;
  b.phase_sub = 0;
  b.control.actions_left = 0;
  b.control.action_done = 0;
  b.control.combo_partner = 0;
  b.control.saved_bgm_volume = static_cast<uint32_t>(Ctx().dsound.GetBGMVolume());
  b.control.built = 1;
  LoadTrustVars();
  LoadSlgTables();
  if (HasScene()) {
    if (SpxAnimeKind* spx = Scene().tamvik_spr.spx()) spx->SetSoundHook(&AttackVoice);
  }
  b.memory_tier = SlgMemoryTierOf(AppGetMemoryStatus(0));
  InitDefaultUnitStates();
  InitCategoryUpdates();
  // What the libraries above the core fill, after the core has rebuilt its tables: their state
  // blocks of one stage made afresh (from the second build on), then the installers.
  b.extensions.StageBuilt();
  RunBattleInstallers(b);
}

void InitStep2(BattleContext& b) {
  SlgBattleState& s = b.state;
  s.round = 0;
  s.turn_counter = 0;
  s.acting_copy1 = 0;
  s.acting_copy2 = 0;
  s.previous_acting = 0;
  s.acting_unit = kSlgNoUnit;
  s.word2 = 0;
  GetSystemData()->setBattleLost(0);
  // SlgLost too: a retried battle starts undefeated, not straight back in the game over.
  b.lost = 0;
  b.control.actions_left = 2;
  b.phase_sub = 0;
  b.flags = kFlagsAfterSetUp;
  b.first_frame = 1;
  ClearUnitCellGrid();
  ClearAnmObjPool();
  CommWinSetup();
  SlgWriteCommandTable(false);
  // The status windows and gauges: no panel shown, no gauge running.
  b.face.window_open = 0;
  b.face.panel_unit = kSlgNoUnit;
  b.gauges.fill(nullptr);
  b.gauge_tasks.fill(nullptr);
  const int map = static_cast<int>(BattleMap());
  if (SlgMap::IsNoZako() == 0) Slg::LoadEnemyThink(map);
  if (b.running == 0) LoadSystemSprites();
  const int face = b.face.current != 0 ? b.face.current : kSlgDefaultFace;
  TamvikFunc::PutKaoToSurface(face, kFaceSurface, 0, kBattleFaceKind);
  TamvikFunc::ReleaseBlinkAnm();
}

// One stage entry per call; whether the entries are all read.
bool InitStep4(BattleContext& b) {
  SlgControlWords& c = b.control;
  if (b.stage == nullptr || c.init_unit >= b.state.stage_unit_count) return true;
  const int n = static_cast<int>(c.init_unit);
  if (b.stage->unit(n).present == 1) {
    // A refused entry (64 records, an unusable entry) is traced by CreateUnit and skipped.
    const uint8_t slot = Slg::CreateUnit(*b.stage, n);
    if (slot != kSlgCreateRefused) {
      SlgUnit& unit = b.state.units[slot];
      Slg::PlaceUnit(unit);
      if (unit.side == 0) {
        Slg::RecalcUnitStats(unit);
      } else {
        CalcStatTotals(unit.stats);
      }
    }
  }
  ++c.init_unit;
  DebugPrint("Slg::InitUnit %d\n", static_cast<int>(c.init_unit));
  return false;
}

void InitStep5(BattleContext& b) {
  SlgBattleState& s = b.state;
  const StageHeader header = b.stage != nullptr ? b.stage->header() : StageHeader{};
  s.focus_x = header.start_x;
  s.focus_y = header.start_y;
  s.scroll_x = static_cast<int16_t>(s.focus_x - 320);
  s.scroll_y = static_cast<int16_t>(s.focus_y - 240);
  s.scroll_offset_x = header.scroll_x;
  s.scroll_offset_y = header.scroll_y;
  s.pointer = SlgPair{};
  s.round = 0;
  s.order_pos = static_cast<int16_t>(s.unit_count + 1);
  DebugPrint("fxMapX=%d fxMapY=%d\n", s.focus_x, s.focus_y);
  DebugPrint("fxScrX=%d fxScrY=%d\n", s.scroll_x, s.scroll_y);
  DebugPrint("ScrOffsetX=%d ScrOffsetY=%d\n", static_cast<int>(s.scroll_offset_x),
             static_cast<int>(s.scroll_offset_y));
  Slg::SetupMapEvent(static_cast<int>(BattleMap()));
  b.control.task_owner = SlgTaskOwner();
}

void InitStep6(BattleContext& b) {
  SlgMainWork* work = kSlgMainTask.Start(Ctx().game_task, b.control.task_owner);
  if (work != nullptr) work->step = kSlgMainFirstState;
  b.control.main_work = work;
  SlgSaveLayers(&b.control.layer_backup);
  SlgClearLayer(4);
  for (SurfaceId layer = 4; layer <= 8; ++layer) SlgSetLayer(layer, 0);
  SlgSetLayer(4, 2);  // shown, without the copy bit
  SlgSetClearFlag(1);
  Slg::InitCamera();
  b.control.init_step = 0;
  DebugPrint("SLG INIT END\n");
}

// ---- The tasks ----

void InitTask(SlgEffectTask* t) {
  BattleContext& b = Battle();
  switch (t->phase) {
    case 0:
      if (b.running == 1 && b.control.retry == 0) {
        t->phase = 2;  // a stage switch: no loading picture
      } else {
        SlgFadeOut(0);
        t->phase = 1;
      }
      break;
    case 1:
      if (SlgIsFadeEnd() == 0) break;
      SlgFadeIn(0);
      TamvikFunc::ShowNowLoading();
      t->phase = 2;
      break;
    case 2:
      if (SlgIsFadeEnd() != 0) t->phase = 3;
      break;
    case 3:
      if (SlgInitMachineStep() == 0) break;
      b.running = 1;
      b.control.retry = 0;
      if (HasEventTable() != 0) SlgFadeOut(0);
      t->phase = 4;
      break;
    default:
      SlgTaskEnd(t);
      return;
  }
}

// Phase 0 of the fading switch fades out; its last phase (the first of the other) hands over.
void ExchangeStage(SlgEffectTask* t) {
  if (t->phase == 0) {
    Battle().flags |= kFlagSwitchFade;
    SlgFadeOut(kStageFadeFrames);
    t->phase = 1;
    return;
  }
  if (SlgIsFadeEnd() == 0) return;
  SlgTaskEnd(t);
  SlgTeardown();
  SlgStopSound();
  Slg::StartStage();
}

void ExchangeStageNofade(SlgEffectTask* t) {
  SlgTaskEnd(t);
  SlgTeardown();
  SlgStopSound();
  Slg::StartStage();
}

}  // namespace

void SlgMainTask(GameTaskRec* record) {
  StepTask<SlgMainWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) {
    if (HasBattle()) Battle().control.main_work = nullptr;
    return;
  }
  if (HasBattle()) SlgMainFrame(&task.work());
}

uint32_t SlgMemoryTierOf(uint64_t bytes) {
  if (bytes <= 0x8000000ull) return 0;
  if (bytes <= 0xC000000ull) return 1;
  if (bytes <= 0xE000000ull) return 2;
  return 3;
}

void SlgWriteCommandTable(bool with_partner) {
  const uint8_t x = kSlgNoCommand;
  SlgCommandTable& t = Battle().control.command_table;
  t = {1, x, x,  //
       20, 2, x,  //
       9, 10, 8,  //
       18, 12, 6,  //
       19, x, x,  //
       14, x, x};
  if (with_partner) {
    t[3] = 25;
    t[4] = 20;
    t[5] = 2;
  }
}

int SlgInitMachineStep() {
  BattleContext& b = Battle();
  SlgControlWords& c = b.control;
  switch (c.init_step) {
    case 0:
      InitStep0(b);
      c.init_step = 1;
      return 0;
    case 1:
      StageSetup(static_cast<int>(BattleMap()));
      c.init_step = 2;
      return 0;
    case 2:
      InitStep2(b);
      c.init_step = 3;
      return 0;
    case 3:
      b.state.unit_count = 0;
      b.state.stage_unit_count =
          b.stage != nullptr ? static_cast<uint16_t>(b.stage->unit_count()) : 0;
      c.init_unit = 0;
      c.init_step = 4;
      [[fallthrough]];
    case 4:
      if (InitStep4(b)) c.init_step = 5;
      return 0;
    case 5:
      InitStep5(b);
      c.init_step = 6;
      return 0;
    case 6:
      InitStep6(b);
      return 1;
    default:
      DebugPrint("Slg::SlgInitTask: bad step %u\n", c.init_step);
      c.init_step = 0;
      return 0;
  }
}

void SlgTeardown() {
  BattleContext& b = Battle();
  if (b.control.built == 0) {
    DebugPrint("Slg: the battle is not built; nothing to tear down\n");
    // A switch to a map that does not exist has torn the battle down already, keeping what a
    // running battle keeps (the system sprites, the static sound bank); at the exit they go.
    const bool kept = std::any_of(b.sys_sprites.begin(), b.sys_sprites.end(),
                                  [](const SlgSystemSprite& s) { return s.file != nullptr; });
    if (b.running == 0 && kept) {
      DebugPrint("Slg::Delete System Sprite...\n");
      CTamvikIcon::ReleaseIcon();
      FreeSystemSprites();
      Ctx().dsound.SERemoveStatic();
    }
    return;
  }
  b.control.built = 0;
  EndEventCheck();
  // The effect tasks still running (gauges, one-shots, tone changes, ...) end with the battle
  // rather than running on into the next mode over animations deleted below. Every road here
  // has ended its own task first; the stage switch's new initialisation task comes after.
  SlgTaskEndAll();
  Slg::ReleaseAllUnitSprites();
  CommWinRelease();
  for (SlgSystemSprite& s : b.sys_sprites) Scene().tamvik_spr.ReleaseAnm(&s.obj.handle);
  if (b.running == 0) {
    DebugPrint("Slg::Delete System Sprite...\n");
    CTamvikIcon::ReleaseIcon();
    FreeSystemSprites();
  }
  // The fade's handle would dangle once every animation is gone.
  Ctx().anime.DeleteRef(&b.fade_handle);
  Ctx().anime.DeleteAll();
  Ctx().ddraw_spr.DeleteAllBuffer();
  SlgMap::FreeMap();
  Slg::FreeThinkData();
  FreeSlgTables();
  SlgFadeIn(kStageFadeFrames);
  SlgRestoreLayers(&b.control.layer_backup);
  Ctx().dsound.StopBGM();
  Ctx().dsound.SetBGMVolume(100, 0);
}

namespace Slg {

void StartStage() {
  BattleContext& b = Battle();
  b.control.order_marks = 0;
  const uint32_t map = BattleMap();
  if (map >= kSlgMapCount) {
    DebugPrint("Slg::Stage Init Fail! StageNo:%d\n", static_cast<int>(map));
    // Hand back at once: the mode manager waits in its battle mode until the exit's request.
    ExitSlg();
    return;
  }
  b.control.exited = 0;
  SlgTaskCreate(SlgTaskOwner(), &InitTask, kSlgInitTaskName);
  AppHideCursor();
}

void StopMainTask() {
  if (GameTaskRec* task = kSlgMainTask.Find(Ctx().game_task)) task->function = nullptr;
  if (HasBattle()) Battle().control.main_work = nullptr;
}

void ExitSlg() {
  BattleContext& b = Battle();
  if (b.control.exited != 0) {
    DebugPrint("Slg::ExitSlg: the battle has already handed back\n");
    return;
  }
  StopMainTask();
  b.running = 0;
  b.control.retry = 0;
  SlgTeardown();
  DebugPrint("Slg::ExitSlg\n");
  CTamvikAdv::InitScreen();
  DebugPrint("NextMode=%s\n", "GM_SLG_RET");
  b.control.exited = 1;
  const GameSequences& sequences = Game().sequences;
  if (sequences.set_mode) {
    sequences.set_mode(kSlgReturnMode);
  } else {
    DebugPrint("GameSequences: set mode is not there\n");
  }
}

void SwitchStage(int map) {
  GetSystemData()->setBattleMap(static_cast<uint32_t>(map));
  StopMainTask();
  const bool fade = map == 17 || (map >= 22 && map <= 25);
  SlgTaskCreate(Battle().control.task_owner, fade ? &ExchangeStage : &ExchangeStageNofade,
                fade ? kSlgExchangeTaskName : kSlgExchangeNofadeTaskName);
}

}  // namespace Slg
