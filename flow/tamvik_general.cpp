#include "flow/tamvik_general.h"

#include <array>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/game_state.h"
#include "game/macro_vars.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

constexpr uint16_t kTrustStart = 0x8010;
constexpr std::array<int, 12> kTrustVariables = {10, 11, 20, 21, 30, 31, 40, 41, 50, 51, 60, 61};

// Scene codes the manager treats apart.
constexpr uint16_t kSceneNewGame = 0x0000;
constexpr uint16_t kSceneCesa = 0x0107;
constexpr uint16_t kSceneTitle5 = 0x0108;
constexpr uint16_t kSceneExtras = 0x0109;
constexpr uint16_t kSceneLast = 0x0A04;

// SystemData activity words.
constexpr uint32_t kActivityStory = 0x110;
constexpr uint32_t kActivityStoryBattle = 0x210;
constexpr uint32_t kActivityListBattle = 0x211;
constexpr uint32_t kActivityMinigame = 0x310;
// The resume point a minigame of the story leaves, and the one its stage clear sets instead.
constexpr uint32_t kResumeMinigame = 7;
constexpr uint32_t kResumeAfterMinigame = 0x110;

constexpr const char* kTitleMinigameMusic = "tamvik1\\bgm\\tezavi.wav";
constexpr int kTitleMinigame = 4;

// The disc a chapter needs: 1 for chapters 1-3, 2 for 4-8, 3 for 9-10, else none (0).
int DiscOfChapter(int chapter) {
  if (chapter >= 1 && chapter <= 3) return 1;
  if (chapter >= 4 && chapter <= 8) return 2;
  if (chapter >= 9 && chapter <= 10) return 3;
  return 0;
}

// FindDisc's answer for "any game disc": none when 0 or -1.
bool AnyDiscFound(int found) { return found != 0 && found != -1; }

GameSequences& Sequences() { return Game().sequences; }

// Moves the manager to the mode, tracing it when the mode has a name.
void Go(GeneralWork& work, int mode) {
  work.mode = static_cast<uint8_t>(mode);
  if (mode == 11) return;  // traced as "DEFAULT" only by GetStartMode
  if (const char* name = CTamvikGeneral::ModeName(mode)) DebugPrint("NextMode=%s\n", name);
}

// Modes 37 and 38: after a load or the save offer, once the disc of the next chapter is in, the
// story goes on where GetRestartMode says. `restart` is the load restart (37).
void RestartAfterSave(GameTaskRec* task, GeneralWork& work, bool restart) {
  if (!IsScreenFadeDone()) return;
  if (restart) DebugPrint("GM_ADV_LOAD_RESTART\n");
  Ctx().dsound.StopBGM();
  GetSystemData()->setActivity(kActivityStory);
  if (restart && Sequences().scene_end) Sequences().scene_end();
  if (kCautionSeq.IsRunning(Ctx().game_task)) return;
  if (CTamvikGeneral::NextChapterDiscCheck(task) == 0) return;
  Go(work, CTamvikBup::GetRestartMode());
}

// Mode 4: the title's result into the next mode.
void TitleResult(GeneralWork& work) {
  if (!IsScreenFadeDone()) return;
  const uint32_t result =
      Sequences().title_result ? static_cast<uint32_t>(Sequences().title_result()) : 0;
  Game().last_title_result = result;
  DebugPrint("Title Result = %u\n", result);
  AdvState* adv = GetAdvState();
  switch (result) {
    case 1:
      adv->setSceneCode(kSceneNewGame);
      Go(work, 29);
      break;
    case 2:
      Go(work, 9);
      break;
    case 4:
      Go(work, 1);
      break;
    case 5:
      Ctx().dsound.StopBGM();
      adv->setSceneCode(kSceneTitle5);
      Go(work, 29);
      break;
    case 6:
      adv->setSceneCode(kSceneExtras);
      adv->setResumeInScript(0);
      Go(work, 29);
      break;
    case 7:
      Ctx().dsound.PlayBGM(kTitleMinigameMusic);
      // Mode 22 waits for the minigame and ends its task when there is one, so a minigame that
      // could not start goes on at once.
      CTamvikGeneral::StartMiniGame(kTitleMinigame, 0);
      Go(work, 22);
      break;
    default:
      break;  // 0 while the title runs; 3 and others: stay
  }
}

// Mode 32: the scene ended.
void StageClear(GameTaskRec* task, GeneralWork& work) {
  SystemData* system = GetSystemData();
  AdvState* adv = GetAdvState();
  system->setStagesCleared(system->stagesCleared() + 1);
  SetMacroA(0, static_cast<uint16_t>(Sequences().minigame_result ? Sequences().minigame_result()
                                                                 : 0));
  if (system->cesaMode() != 0) {
    Ctx().dsound.StopBGM();
    if (Sequences().scene_screen) Sequences().scene_screen();
    adv->setSceneCode(kSceneCesa);
    Sequences().title.Start(task);
    Go(work, 4);
    return;
  }
  if (adv->sceneCode() == kSceneLast) {
    CTamvikGeneral::SetEndingSeen();
    Go(work, 46);
    StartScreenFade(0, 256, 2000);
    return;
  }
  if (system->resumePoint() == kResumeMinigame) {
    system->setResumePoint(kResumeAfterMinigame);
    Go(work, 29);
    return;
  }
  if (adv->sceneCode() != kSceneExtras) {
    Go(work, 35);
  } else {
    CTamvikGeneral::SaveSystem();
    Go(work, 3);
  }
}

void MinigameInit(GeneralWork& work) {
  if (!TamvikFunc::IsFadeDone()) return;
  StartScreenFade(256, 0, 0);
  SystemData* system = GetSystemData();
  system->setActivity(kActivityMinigame);
  system->setResumePoint(kResumeMinigame);
  system->setReturnToTitle(0);
  const int n = Sequences().scene_minigame ? Sequences().scene_minigame() : 0;
  CTamvikGeneral::SetMinigameSeen(n);
  if (system->skipMiniGame() == 1) {
    Go(work, 23);
    return;
  }
  if (CTamvikGeneral::StartMiniGame(n, GetAdvState()->minigameMode()) != 0) {
    Go(work, 22);
  } else {
    DebugPrint("MiniGame is not Installed and Skip\n");
    Go(work, 23);
  }
}

void MinigameWait(GeneralWork& work) {
  if (Sequences().minigame.IsRunning()) return;
  // After a start that failed the task is already gone.
  if (GameTaskRec* mg = Ctx().game_task.FindTask(CTamvikGeneral::kMiniGameTaskName)) {
    Ctx().game_task.DelTask(mg);
  }
  DebugPrint("MiniGame Sequence is End\n");
  Go(work, 23);
}

}  // namespace

void CTamvikGeneral::StartManager() {
  kGeneralManager.Start(Ctx().game_task, nullptr);
  for (int p : kTrustVariables) SetMacroP(p, kTrustStart);
}

void CTamvikGeneral::StopManager() {
  if (GameTaskRec* task = kGeneralManager.Find(Ctx().game_task)) Ctx().game_task.DelTask(task);
}

int CTamvikGeneral::SetMode(int mode) {
  GameTaskRec* task = kGeneralManager.Find(Ctx().game_task);
  if (task == nullptr || task->work == nullptr) return 0;
  TaskWorkAs<GeneralWork>(task)->mode = static_cast<uint8_t>(mode);
  return 1;
}

int CTamvikGeneral::GetMode() {
  GameTaskRec* task = kGeneralManager.Find(Ctx().game_task);
  if (task == nullptr || task->work == nullptr) return 0;
  return TaskWorkAs<GeneralWork>(task)->mode;
}

const char* CTamvikGeneral::ModeName(int mode) {
  switch (mode) {
    case 1: return "GM_ORBILE_LOGO_INIT";
    case 2: return "GM_ORBILE_LOGO";
    case 3: return "GM_TITLE_INIT";
    case 4: return "GM_TITLE";
    case 6: return "GM_OPEN_0";
    case 9: return "GM_SCRTEST_INIT";
    case 10: return "GM_SCRTEST";
    case 11: return "DEFAULT";
    case 12: return "GM_BUPCHK";
    case 14: return "GM_LIPCHECK";
    case 16: return "GM_MSTAFF";
    case 17: return "GM_SOON_INIT";
    case 18: return "GM_SOON";
    case 21: return "GM_MINIGAME_INIT";
    case 22: return "GM_MINIGAME_WAIT";
    case 23: return "GM_MINIGAMERET";
    case 27: return "GM_SLG_WAIT";
    case 28: return "GM_SLG_RET";
    case 29: return "GM_ADV_INIT";
    case 30: return "GM_ADV_WAIT";
    case 32: return "GM_ADV_STAGE_CLEAR";
    case 34: return "GM_ADV_SAVE_BEFORE_SLG";
    case 35: return "GM_ADV_SAVE_BEFORE_ADV";
    case 36: return "GM_ADV_SAVE_WAIT";
    case 37: return "GM_ADV_LOAD_RESTART";
    case 41: return "GM_OMAKE_WAIT";
    case 43: return "GM_DSKCHG_WAIT";
    case 46: return "GM_ENDING_INIT";
    case 47: return "GM_ENDING";
    default: return nullptr;
  }
}

int CTamvikGeneral::GetStartMode() {
  const SystemData* system = GetSystemData();
  int mode = 11;
  switch (system->resumePoint()) {
    case 1: mode = 1; break;
    case 2: mode = 3; break;
    case 4: mode = 17; break;
    case 5: mode = 28; break;
    case 6: mode = 9; break;
    case 7: mode = 23; break;
    default: break;
  }
  const uint32_t activity = system->activity();
  if ((activity == kActivityStoryBattle || activity == kActivityListBattle) &&
      system->battleLost() != 0) {
    mode = 1;
  }
  DebugPrint("NextMode=%s\n", ModeName(mode));
  return mode;
}

void CTamvikGeneral::MiniGameTask(GameTaskRec*) {
  if (Sequences().minigame_step) Sequences().minigame_step();
}

int CTamvikGeneral::StartMiniGame(int n, int m) {
  DebugPrint("MiniGame No:%.02d Start\n", n);
  GetSystemData()->setBattleLost(0);
  CGameTask& list = Ctx().game_task;
  list.SetTaskSimple(nullptr, &CTamvikGeneral::MiniGameTask, kMiniGameTaskName);
  if (Sequences().minigame.Start(n, m) != 0) return 1;
  if (GameTaskRec* task = list.FindTask(kMiniGameTaskName)) list.DelTask(task);
  return 0;
}

void CTamvikGeneral::SetMinigameSeen(int n) {
  if (n < 1 || n > 8) return;
  SystemData* system = GetSystemData();
  system->setMinigamesSeen(static_cast<uint8_t>(system->minigamesSeen() | (1u << (n - 1))));
  SaveSystem();
}

void CTamvikGeneral::SetEndingSeen() {
  static constexpr std::array<uint32_t, 8> kEndingBit = {0x00, 0x01, 0x02, 0x20,
                                                         0x10, 0x08, 0x04, 0x00};
  const uint32_t e = (GetMacroP(83) & 255u) % 8u;
  SystemData* system = GetSystemData();
  system->setEndingsSeen(system->endingsSeen() | kEndingBit[e] | 0x80u);
  system->setLastEnding(static_cast<uint8_t>(e));
  SaveSystem();
}

int CTamvikGeneral::SaveSystem() { return SaveSystemData(); }

uint32_t CTamvikGeneral::SlgMapOfScene(uint16_t scene) {
  struct Row {
    uint16_t scene;
    uint32_t map;
  };
  static constexpr std::array<Row, 14> kMaps = {{
      {0x0204, 1}, {0x0308, 2}, {0x0303, 3}, {0x0304, 4}, {0x0402, 5}, {0x0502, 6},
      {0x0606, 7}, {0x0700, 8}, {0x0701, 9}, {0x0802, 11}, {0x0806, 13}, {0x0902, 14},
      {0x0904, 16}, {0x0A01, 17},
  }};
  for (const Row& row : kMaps) {
    if (row.scene == scene) return row.map;
  }
  if (scene == 0x0A02 || scene == 0x0A03) {
    SetMacroP(73, scene == 0x0A02 ? 0 : 1);
    return 18;
  }
  return 0;
}

int CTamvikGeneral::SetSlgStart() {
  SystemData* system = GetSystemData();
  const uint32_t map = SlgMapOfScene(GetAdvState()->sceneCode());
  system->setMinigameFromTest(0);
  system->setBattleLost(0);
  system->setBattleMap(map);
  DebugPrint("Slg Start MapNo=%u\n", map);
  return 1;
}

int CTamvikGeneral::NextChapterDiscCheck(GameTaskRec* owner) {
  FileIO& files = Ctx().file_io;
  const uint32_t style = files.GetInstallStyle();
  if (style == 0) return 1;
  const uint16_t next = CTamvikMacro::GetNextScene(GetAdvState()->sceneCode());
  const int chapter = next >> 8;
  DebugPrint("NEXT CHAPTER = %d\n", chapter);
  int disc = DiscOfChapter(chapter);
  if (next == kSceneExtras || style == 2) disc = 0;
  const int found = files.FindDisc(disc);
  if (disc == 0) {
    if (AnyDiscFound(found)) return 1;
    StartCautionSeq(owner, 3);
    return 0;
  }
  if (found == disc) return 1;
  StartCautionSeq(owner, static_cast<uint32_t>(disc - 1));
  return 0;
}

void CTamvikGeneral::StartCautionSeq(GameTaskRec* owner, uint32_t kind) {
  DebugPrint("SetTask %s\n", kCautionTaskName);
  CautionExtra* extra = TaskNewBlock<CautionExtra>();
  extra->kind = kind;
  Ctx().game_task.SetTask(owner, &CTamvikGeneral::CautionSeq, kCautionTaskName,
                          TaskNewBlock<CautionWork>(), extra);
}

int CTamvikGeneral::GetCautionStep() {
  GameTaskRec* task = kCautionSeq.Find(Ctx().game_task);
  if (task == nullptr || task->work == nullptr) return -1;
  return TaskWorkAs<CautionWork>(task)->step;
}

void CTamvikGeneral::ResetAdvScreen() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.SetVisible(SURFACE_ROOT, 1);
  ddraw.SetVisible(SURFACE_BG, 0);
  ddraw.SetVisible(SURFACE_FG, 0);
  ddraw.SetVisible(SURFACE_FC, 0);
  ddraw.SetVisible(SURFACE_TEXT, 1);
  TamvikFunc::ResetStoryLayers(0, 0, kScreenWidth, kScreenHeight);
}

uint32_t CTamvikGeneral::LastTitleResult() { return Game().last_title_result; }

void CTamvikGeneral::GeneralManeger(GameTaskRec* record) {
  StepTask<GeneralWork> task(Ctx().game_task, record);
  GeneralWork& work = task.work();
  SystemData* system = GetSystemData();
  GameSequences& seq = Sequences();
  CGameTask& list = Ctx().game_task;
  switch (work.mode) {
    case 0: {
      if (kCautionSeq.IsRunning(list)) return;
      if (TamvikFunc::GetInstallStyle() != 0 && !AnyDiscFound(Ctx().file_io.FindDisc(0))) {
        StartCautionSeq(record, 3);
        return;
      }
      if (system->returnToTitle() != 0) {
        system->setReturnToTitle(0);
        system->setResumePoint(2);
      }
      work.mode = static_cast<uint8_t>(GetStartMode());
      return;
    }
    case 1:
      ResetAdvScreen();
      work.subState = kLogoSubState;
      seq.logo.Start(record, 0);
      CTamvikIcon::HideMouseCursor();
      Go(work, 2);
      return;
    case 2:
    case 16:
      if (seq.logo.IsRunning()) return;
      Go(work, 3);
      return;
    case 3:
      if (!IsScreenFadeDone()) return;
      if (system->cesaMode() != 0) {
        GetAdvState()->setSceneCode(kSceneCesa);
        Go(work, 29);
        return;
      }
      seq.title.Start(record);
      Go(work, 4);
      return;
    case 4:
      TitleResult(work);
      return;
    case 5:
      if (!IsScreenFadeDone()) return;
      if (system->skipMovie() != 0) {
        SetMode(3);
        return;
      }
      seq.opening.Start(record);
      Go(work, 6);
      return;
    case 6:
      // The opening sets the next mode itself.
      (void)seq.opening.IsRunning();
      return;
    case 7: Go(work, 6); return;
    case 8: Go(work, 1); return;
    case 9: Go(work, 10); return;
    case 11:
      if (!IsScreenFadeDone()) return;
      seq.save_check.Start(record);
      Go(work, 12);
      return;
    case 13: Go(work, 14); return;
    case 15:
      if (!IsScreenFadeDone()) return;
      ResetAdvScreen();
      work.subState = kLogoSubState;
      seq.logo.Start(record, 1);
      CTamvikIcon::HideMouseCursor();
      Go(work, 16);
      return;
    case 17: Go(work, 18); return;
    case 21: MinigameInit(work); return;
    case 22: MinigameWait(work); return;
    case 23:
      TamvikFunc::LoadSystemSe();
      Go(work, 32);
      return;
    case 25:
      system->setActivity(kActivityListBattle);
      system->setResumePoint(2);
      system->setReturnToTitle(0);
      Go(work, 27);
      return;
    case 26:
      system->setActivity(kActivityStoryBattle);
      system->setResumePoint(5);
      system->setReturnToTitle(0);
      if (system->skipSlg() == 1) {
        Go(work, 28);
        return;
      }
      SetSlgStart();
      // The wait mode first: a battle that hands back at once (a map that does not exist) asks
      // for mode 28 inside the start, which must not be overwritten by the wait.
      Go(work, 27);
      seq.battle.Start();
      return;
    case 28:
      system->setActivity(kActivityStory);
      system->setSavedBeforeBattle(0);
      TamvikFunc::LoadSystemSe();
      Go(work, system->battleLost() != 0 ? 1 : 32);
      return;
    case 29:
      system->setActivity(kActivityStory);
      system->setSavedBeforeBattle(0);
      if (kCautionSeq.IsRunning(list)) return;
      if (NextChapterDiscCheck(record) == 0) return;
      work.subState = 0;
      Go(work, 30);
      return;
    case 30:
      if (work.subState == 0) {
        DebugPrint("ADVStart\n");
        seq.scene.Start(record);
        work.subState = 1;
      }
      return;
    case 31:
      system->setSavedBeforeBattle(1);
      Go(work, 34);
      return;
    case 32: StageClear(record, work); return;
    case 33:
      StartScreenFade(0, 256, 2000);
      CTamvikIcon::HideMouseCursor();
      Go(work, 21);
      return;
    case 34:
    case 35:
      system->setActivity(kActivityStory);
      seq.save_offer.Start(record);
      Go(work, 36);
      return;
    case 37: RestartAfterSave(record, work, true); return;
    case 38: RestartAfterSave(record, work, false); return;
    case 40: Go(work, 41); return;
    case 42: Go(work, 43); return;
    case 46:
      if (!TamvikFunc::IsFadeDone()) return;
      if (seq.ending_prepare) seq.ending_prepare();
      StartScreenFade(256, 0, 0);
      seq.ending.Start(record, GetMacroP(83) & 255);
      Go(work, 47);
      return;
    case 47:
      if (seq.ending.IsRunning()) return;
      Ctx().dsound.StopBGM();
      Ctx().dsound.StopVoice();
      Ctx().dsound.StopSE();
      Go(work, 1);
      return;
    default:
      // 10, 12, 14, 18, 19, 20, 24, 27, 36, 39, 41, 43, 44, 45 wait for others to set the next
      // mode; modes above 47 do nothing.
      return;
  }
}

void CTamvikGeneral::CautionSeq(GameTaskRec* record) {
  StepTask<CautionWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) return;
  const uint32_t kind = static_cast<const CautionExtra*>(record->extra)->kind;
  CDdrawFunc& ddraw = Ctx().ddraw;
  switch (task.step()) {
    case 0:
      StartScreenFade(0, 256, 1000);
      task.GoTo(1);
      return;
    case 1:
      if (!TamvikFunc::IsFadeDone()) return;
      for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) {
        ddraw.SetVisible(id, 0);
      }
      TamvikFunc::LoadSprToSurface(kCautionPicture, static_cast<int>(kind), 0, 0, SURFACE_ROOT, 0);
      StartScreenFade(256, 0, 1000);
      task.GoTo(2);
      return;
    case 2:
      if (!TamvikFunc::IsFadeDone()) return;
      task.GoTo(3);
      return;
    case 3:
      // Cancel wins over decide in one frame: the quit confirmation opens on the visible
      // prompt, with no fade to black started under it.
      if (IsKeyTriggered(1) != 0) {
        ddraw.SetVisible(SURFACE_TEXT, 1);
        Sequences().quit_confirm.Start(record);
        task.GoTo(90);
      } else if (IsKeyTriggered(0) != 0) {
        StartScreenFade(0, 256, 1000);
        task.GoTo(10);
      }
      return;
    case 10: {
      if (!TamvikFunc::IsFadeDone()) return;
      FileIO& files = Ctx().file_io;
      files.ScanDrives();
      bool found = false;
      if (kind <= 2) {
        const int disc = static_cast<int>(kind) + 1;
        found = files.FindDisc(disc) == disc;
      } else {
        found = AnyDiscFound(files.FindDisc(0));
      }
      task.GoTo(found ? 30 : 20);
      return;
    }
    case 20:
      StartScreenFade(256, 0, 1000);
      task.GoTo(2);
      return;
    case 30:
      ddraw.ClearSurface(SURFACE_ROOT, 0);
      StartScreenFade(256, 0, 0);
      task.GoTo(31);
      return;
    case 31:
      if (!TamvikFunc::IsFadeDone()) return;
      task.GoTo(32);
      return;
    case 32:
      task.End();
      return;
    case 90:
      if (Sequences().quit_confirm.IsRunning()) return;
      ddraw.SetVisible(SURFACE_TEXT, 0);
      task.GoTo(3);
      return;
    default:
      return;
  }
}

int CTamvikBup::GetRestartMode() {
  SystemData* system = GetSystemData();
  if (GetAdvState()->sceneCode() == kSceneExtras) {
    system->setSavedBeforeBattle(0);
    return 29;
  }
  return system->savedBeforeBattle() != 0 ? 26 : 29;
}
