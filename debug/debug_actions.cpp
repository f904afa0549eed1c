#include "debug/debug_actions.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_action.h"
#include "battle/slg_debug_tasks.h"
#include "battle/slg_map.h"
#include "battle/slg_map_plane.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "debug/debug_menu.h"
#include "debug/debug_readers.h"
#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "flow/game_boot.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/game_sequences.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icat.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_map.h"

namespace {

// Item codes whose values other actions read.
constexpr int32_t kCodeViewVarA = 22;
constexpr int32_t kCodeViewVarP = 24;
constexpr int32_t kCodeAnmViewX = 38;
constexpr int32_t kCodeAnmViewY = 39;
constexpr int32_t kCodeAnmView = 37;
constexpr int32_t kCodeAnmSpeed = 42;
constexpr int32_t kCodeAnmLoop = 43;
constexpr int32_t kCodeAnmColorKey = 44;
constexpr int32_t kCodeAnmReverseH = 45;
constexpr int32_t kCodeAnmReverseV = 46;
constexpr int32_t kCodeAnmRotate = 47;
constexpr int32_t kCodeNcOffset = 49;
constexpr int32_t kCodeAttackDir = 67;
constexpr int32_t kCodeBgmRate = 87;

// The surface the viewers show units and animations on, with the colour key.
constexpr SurfaceId kViewSurface = SURFACE_FC;
constexpr int kViewColorKey = 1;
// The reverse bits of an animation: mirrored left-right, up-down.
constexpr uint32_t kReverseH = 0x10;
constexpr uint32_t kReverseV = 0x20;

// The rows of the variable views: A[256] in 16 rows of 16, P[100] in 10 rows of 10.
constexpr int kVarARow = 16;
constexpr int kVarPRow = 10;

constexpr int kLastBgm = 41;

// The scene codes of the debug battle start by map number; 0: no scene reaches the map.
constexpr unsigned kSceneOfMap[] = {0x0102, 0x0204, 0x0308, 0x0303, 0x0304, 0x0402, 0x0502,
                                    0x0606, 0x0700, 0x0701, 0,      0x0802, 0,      0x0806,
                                    0x0902, 0,      0x0904, 0x0A01, 0x0A02};

const char* TrueFalse(bool on) { return on ? "TRUE" : "FALSE"; }

// The owner of sequences the menu starts: the mode manager's task, or none.
GameTaskRec* ManagerTask() { return Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName); }

SpxAnimeKind* Spx() { return HasScene() ? Scene().tamvik_spr.spx() : nullptr; }

// The shown animation of the viewer while it still plays; the handle is forgotten once it is gone.
AnimeHandle ShownAnime(CDebugMenu& menu, const char* action) {
  AnimeHandle& anm = menu.viewer.anm;
  if (anm != nullptr && Ctx().anime.IsAnime(anm) == 0) anm = nullptr;
  if (anm == nullptr || Spx() == nullptr) {
    DebugPrint("%s: no animation shown\n", action);
    return nullptr;
  }
  return anm;
}

bool NeedScene(const char* action) {
  if (HasScene()) return true;
  DebugPrint("%s: no scene engine\n", action);
  return false;
}

bool NeedBattle(const char* action) {
  if (HasBattle()) return true;
  DebugPrint("%s: no battle\n", action);
  return false;
}

// 63-66: one attack of the kind `value` through the battle action task, with the attack type of
// the code and the direction of item 67.
void AttackTest(CDebugMenu& menu, int32_t kind, uint32_t attack_type, const char* line) {
  DebugPrint("%s", line);
  if (!NeedBattle("BattleAction")) return;
  const auto dir = static_cast<uint32_t>(menu.GetValueByCode(kCodeAttackDir)) & 3u;
  CTamvikSlgAct::Action(PackSlgAction(static_cast<uint32_t>(kind), attack_type, dir));
}

// ---- Engine and sound ----

void MemoryStatus() {
  static const char* const kNames[4] = {"TotalPhys", "AvailPhys", "TotalVirtual",
                                        "AvailVirtual"};
  for (int i = 0; i < 4; ++i) {
    DebugPrint("%s = %" PRIu64 "\n", kNames[i], static_cast<uint64_t>(AppGetMemoryStatus(i)));
  }
  // Read only: a missing file stays missing.
  FileIO& files = Ctx().file_io;
  const char* const name = "save\\system.dat";
  const FileHandle handle = files.Open(name, FileMode::kRead, kSearchInstall, 0);
  if (handle == kInvalidFile) {
    DebugPrint("%s: not there\n", name);
    return;
  }
  char text[64] = {};
  if (files.GetFileTimeText(handle, text) != 0) {
    DebugPrint("filetime = %s\n", text);
  } else {
    DebugPrint("%s: no file time\n", name);
  }
  files.Close(handle);
}

void Raster(AnimeHandle& handle, SurfaceId surface, int32_t value) {
  CDdrawAnime& anime = Ctx().anime;
  if (handle != nullptr && anime.IsAnime(handle) != 0) anime.Delete(handle);
  handle = nullptr;
  if (value == 1) handle = anime.CreateWave(0, 0, 639, 479, 0, 8, 4, 4, surface, 100);
}

void SetSysFlag(int32_t value) {
  DebugPrint("SYSTEM FLAG SET\n");
  SystemData& system = *GetSystemData();
  auto bit = [value](int n) { return ((value >> n) & 1) != 0; };
  system.setSkipMovie(bit(0) ? 1 : 0);
  DebugPrint("Skip MOVIE %s\n", TrueFalse(bit(0)));
  system.setSkipSlg(bit(1) ? 1 : 0);
  DebugPrint("Skip SLG %s\n", TrueFalse(bit(1)));
  system.setSkipMiniGame(bit(2) ? 1 : 0);
  DebugPrint("Skip MiniGame %s\n", TrueFalse(bit(2)));
  Ctx().ddraw.SetVramToVramDirectUse(bit(3) ? 1 : 0);
  DebugPrint("VramToVram Direct %s\n", TrueFalse(bit(3)));
  system.setCesaMode(bit(4) ? 1 : 0);
  DebugPrint("CESA Mode %s\n", TrueFalse(bit(4)));
  if (bit(5)) {
    Ctx().ddraw.SetFlipDirect();
  } else {
    Ctx().ddraw.SetFlipOneCussion();
  }
  DebugPrint("Flip Direct %s\n", TrueFalse(bit(5)));
}

void PlayBgm(int32_t value) {
  if (value <= 0 || value > kLastBgm) {
    DebugPrint("Request No too Large\n");
    return;
  }
  const char* name = MusicName(value);
  if (name == nullptr || name[0] == '\0') {
    DebugPrint("File Not Found\n");
    return;
  }
  const std::string file = std::string("tamvik1\\bgm\\") + name + ".wav";
  DebugPrint("Debug BGM Load %s\n", file.c_str());
  if (Ctx().dsound.PlayBGM(file.c_str()) == 0) DebugPrint("File Not Found\n");
}

// Actions 89-91: the file name of a number, played on the voice or effect channel.
void PlayNumbered(const char* format, int32_t value, bool voice) {
  char file[64];
  std::snprintf(file, sizeof file, format, static_cast<int>(value));
  DebugPrint(voice ? "Debug Voice Load %s\n" : "Debug SE Load %s\n", file);
  CDsoundFunc& sound = Ctx().dsound;
  if ((voice ? sound.PlayVoice(file) : sound.PlaySE(file)) == 0) DebugPrint("File Not Found\n");
}

// ---- The scene engine ----

void LoadMacro(int32_t value) {
  AdvState& adv = *GetAdvState();
  if (value == 254) {
    DebugPrint("Scene = %.04x\n", adv.sceneCode());
    return;
  }
  if (value == 255) {
    CTamvikAdv::StopMacro();
    return;
  }
  adv.setSceneCode(static_cast<uint16_t>((value / 10) * 256 + value % 10));
  CTamvikAdv::StopAdv();
}

// Rows from `row` to the last, with a column header; a row past the end shows nothing.
void ViewVars(const char* title, int32_t row, int per_row, int rows, uint16_t (*get)(int)) {
  if (row < 0 || row >= rows) return;
  std::string line = title;
  char cell[16];
  for (int c = 0; c < per_row; ++c) {
    std::snprintf(cell, sizeof cell, "  +%.02d", c);
    line += cell;
  }
  DebugPrint("%s\n", line.c_str());
  for (int r = row; r < rows; ++r) {
    std::snprintf(cell, sizeof cell, "%.03d:", r * per_row);
    line = cell;
    for (int c = 0; c < per_row; ++c) {
      std::snprintf(cell, sizeof cell, " %.04x", get(r * per_row + c));
      line += cell;
    }
    DebugPrint("%s\n", line.c_str());
  }
}

uint16_t VarA(int i) { return GetMacroA(i); }
uint16_t VarP(int i) { return GetMacroP(i); }

void SetVarA(CDebugMenu& menu, int32_t value) {
  const int32_t index = menu.GetValueByCode(kCodeViewVarA);
  if (index < 0 || index >= static_cast<int32_t>(kMacroACount)) {
    DebugPrint("SetVarA: index %d is past A[%zu]\n", index, kMacroACount - 1);
    return;
  }
  SetMacroA(index, static_cast<uint16_t>(value));
  DebugPrint("Set VarA[%.03d] = %.03d\n", index, value);
}

void SetVarP(CDebugMenu& menu, int32_t value) {
  const int32_t index = menu.GetValueByCode(kCodeViewVarP);
  if (index < 0 || index >= static_cast<int32_t>(kMacroPCount)) {
    DebugPrint("SetVarP: index %d is past P[%zu]\n", index, kMacroPCount - 1);
    return;
  }
  SetMacroP(index, static_cast<uint16_t>(value));
  DebugPrint("Set VarP[%.03d] = %.03d\n", index, value);
}

void MapSeq(int32_t value) {
  if (value == 1) {
    // The town map's fields of the story state: the map starts at level 4.
    GetAdvState()->setMapLevelSet(1);
    GetAdvState()->setMapLevel(4);
    return;
  }
  CTamvikMap::EndPapetSeq();
  CTamvikMap::CloseMapSeq();
}

void LoadBackground(SurfaceId surface, int32_t value) {
  Ctx().ddraw.ClearSurface(surface, 1);
  if (value == 255) return;
  std::string name;
  if (!ReadDefName("UnitBG.DEF", value, &name)) return;
  if (TamvikFunc::LoadSprToSurfaceFirst(name.c_str(), surface, 1) == 0) {
    DebugPrint("Can't load '%s'!!\n", name.c_str());
    return;
  }
  DebugPrint("LoadBG %s completed.\n", name.c_str());
}

// What the viewer shows of its animation file: the frame released, the animation ended.
void ReleaseShownAnm(CDebugMenu& menu) {
  CTamvikSpr& spr = Scene().tamvik_spr;
  spr.ReleaseUnit(&menu.viewer.frame);
  if (menu.viewer.anm != nullptr && Ctx().anime.IsAnime(menu.viewer.anm) != 0) {
    spr.ReleaseAnm(&menu.viewer.anm);
  }
  menu.viewer.anm = nullptr;
}

void SpriteLoad(int32_t value) {
  std::string name;
  if (!ReadDefName("UnitAnm.DEF", value, &name)) return;
  if (TamvikFunc::LoadSprToSurfaceFirst(name.c_str(), kViewSurface, kViewColorKey) == 0) {
    DebugPrint("Can't load '%s'!!\n", name.c_str());
    return;
  }
  DebugPrint("LoadSpr %s completed.\n", name.c_str());
}

void UnitLoad(CDebugMenu& menu, int32_t value) {
  std::string name;
  if (!ReadDefName("UnitAnm.DEF", value, &name)) return;
  CTamvikSpr& spr = Scene().tamvik_spr;
  SprUnit* unit = TamvikFunc::LoadUnitFile(name.c_str());
  if (unit == nullptr) {
    DebugPrint("Can't load '%s'!!\n", name.c_str());
    return;
  }
  spr.ReleaseUnit(&menu.viewer.unit);
  if (menu.viewer.unit_file != nullptr) spr.ReleaseUnitRec(menu.viewer.unit_file);
  menu.viewer.unit_file = unit;
  DebugPrint("LoadUnit: %s completed.\n", name.c_str());
}

void UnitAnmLoad(CDebugMenu& menu, int32_t value) {
  std::string name;
  if (!ReadDefName("UnitAnm.DEF", value, &name)) return;
  CTamvikSpr& spr = Scene().tamvik_spr;
  SprAnm* anm = TamvikFunc::LoadAnmFile(name.c_str());
  if (anm == nullptr) {
    DebugPrint("Can't load '%s'!!\n", name.c_str());
    return;
  }
  // What was shown from the old file goes with it.
  ReleaseShownAnm(menu);
  if (menu.viewer.anm_file != nullptr) spr.ReleaseAnmRec(menu.viewer.anm_file);
  menu.viewer.anm_file = anm;
  DebugPrint("LoadAnm: %s completed.\n", name.c_str());
  DebugPrint("SetAnm:  Unit:%08x AnmNum:%d \n",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(anm->unit)),
             static_cast<int>(anm->AnmDataNum()));
}

int32_t ViewX(CDebugMenu& menu) { return menu.GetValueByCode(kCodeAnmViewX); }
int32_t ViewY(CDebugMenu& menu) { return menu.GetValueByCode(kCodeAnmViewY); }

void UnitView(CDebugMenu& menu, int32_t value) {
  CTamvikSpr& spr = Scene().tamvik_spr;
  spr.ReleaseUnit(&menu.viewer.unit);
  if (value == 255) return;
  SprUnit* unit = menu.viewer.unit_file;
  if (unit == nullptr) {
    DebugPrint("UnitView: no unit file loaded\n");
    return;
  }
  if (static_cast<uint32_t>(value) >= unit->UnitNum()) {
    DebugPrint("UnitView: unit %d of %u\n", value, unit->UnitNum());
    return;
  }
  menu.viewer.unit = spr.PutUnit(unit, static_cast<uint32_t>(value), ViewX(menu), ViewY(menu),
                                 kViewSurface, kViewColorKey);
}

uint32_t ReverseBits(CDebugMenu& menu) {
  return (menu.GetValueByCode(kCodeAnmReverseH) == 1 ? kReverseH : 0) |
         (menu.GetValueByCode(kCodeAnmReverseV) == 1 ? kReverseV : 0);
}

void UnitAnmView(CDebugMenu& menu, int32_t value) {
  CTamvikSpr& spr = Scene().tamvik_spr;
  SprAnm* anm = menu.viewer.anm_file;
  if (anm == nullptr || Spx() == nullptr) {
    DebugPrint("UnitAnmView: no animation file loaded\n");
    return;
  }
  if (static_cast<uint32_t>(value) >= anm->AnmDataNum()) {
    DebugPrint("UnitAnmView: AnmNo(%d) of %u\n", value, anm->AnmDataNum());
    return;
  }
  if (menu.viewer.anm != nullptr && Ctx().anime.IsAnime(menu.viewer.anm) != 0) {
    spr.ReleaseAnm(&menu.viewer.anm);
  }
  menu.viewer.anm = nullptr;
  const int32_t x = ViewX(menu);
  const int32_t y = ViewY(menu);
  DebugPrint("UnitAnmView: (%d,%d) ", x, y);
  DebugPrint("AnmNo: %d \n", value);
  AnimeHandle shown = spr.PlayAnm(anm, static_cast<uint32_t>(value), x, y, 0, 1, kViewSurface,
                                kViewColorKey, ReverseBits(menu));
  if (shown == nullptr) return;
  menu.viewer.anm = shown;
  SpxAnimeKind& spx = *Spx();
  spx.SetSpeed(shown, static_cast<uint32_t>(menu.GetValueByCode(kCodeAnmSpeed)));
  spx.SetLoop(shown, static_cast<uint32_t>(menu.GetValueByCode(kCodeAnmLoop)));
  spx.SetSpxColorKey(shown, static_cast<uint32_t>(menu.GetValueByCode(kCodeAnmColorKey)));
  spx.SetSpxRot(shown, menu.GetValueByCode(kCodeAnmRotate));
}

void UnitAnmFrameView(CDebugMenu& menu, int32_t value) {
  CTamvikSpr& spr = Scene().tamvik_spr;
  spr.ReleaseUnit(&menu.viewer.frame);
  if (value == 255) return;
  SprAnm* anm = menu.viewer.anm_file;
  if (anm == nullptr || anm->unit == nullptr) {
    DebugPrint("UnitAnmFrameView: no animation file loaded\n");
    return;
  }
  const int32_t n = menu.GetValueByCode(kCodeAnmView);
  const uint32_t count = anm->AnmDataNum();
  if (n < 0 || static_cast<uint32_t>(n) >= count) {
    DebugPrint("UnitAnmFrameView: AnmNo(%d <= %d) is too large\n", static_cast<int>(count), n);
    return;
  }
  const uint32_t frames = spr.GetAnmFrameNum(anm, static_cast<uint32_t>(n));
  if (static_cast<uint32_t>(value) >= frames) {
    DebugPrint("UnitAnmFrameView: AnmNo(%d <= %d) is too large\n", static_cast<int>(frames),
               value);
    return;
  }
  const uint16_t cell = spr.GetAnmFrameUnitNo(anm, static_cast<uint32_t>(n),
                                              static_cast<uint32_t>(value));
  if (cell >= anm->unit->UnitNum()) {
    DebugPrint("UnitAnmFrameView: AnmNo(%d <= %d) is too large\n",
               static_cast<int>(anm->unit->UnitNum()), cell);
    return;
  }
  menu.viewer.frame =
      spr.PutUnit(anm->unit, cell, ViewX(menu), ViewY(menu), kViewSurface, kViewColorKey);
}

void NcLoad(CDebugMenu& menu, int32_t value) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%d%s", "tamvik1\\nc\\",
                static_cast<int>(menu.GetValueByCode(kCodeNcOffset) + value), ".spr");
  TamvikFunc::ReleaseNcSpx();
  if (TamvikFunc::LoadNcSpxFilePos(name, 0, 0, kViewSurface) == -1) {
    DebugPrint("Can't load '%s'!!\n", name);
  }
}

void NcAtr() {
  CTamvikMacro& macro = Scene().macro;
  if (macro.LoadNcToyMap() == 0) {
    DebugPrint("NCAtr: no hit map loaded\n");
    return;
  }
  const CDinput& input = Ctx().input;
  DebugPrint("NCAtr %d\n", macro.HitToy(input.GetMouseX(), input.GetMouseY()));
}

void NcCheck(int32_t value) {
  if (TamvikFunc::GetNcX() == -1) {
    DebugPrint("NCCheck: no character picture loaded\n");
    return;
  }
  TamvikFunc::PutNcLipCell(value);
}

void FaceLoad(int32_t value) {
  TamvikFunc::ReleaseBlinkAnm();
  if (TamvikFunc::PutAdvKaoToSurface(value, SURFACE_TEXT, 1) == -1) {
    DebugPrint("FaceLoad: face %d not loaded\n", value);
    return;
  }
  TamvikFunc::CreateBlinkAnm(SURFACE_TEXT, {1, 2, 1, 0}, 0, 0, 50);
}

// The message with its text, lip text and voice (-1 none).
void ShowMessage(const char* text, const char* lip, int32_t voice) {
  TamvikFunc::PutMessageText(text, lip != nullptr ? lip : "");
  if (voice < 0) return;
  const std::string file = CTamvikMacro::VoiceFileName(voice);
  DebugPrint("Voice = %s\n", file.c_str());
  Ctx().dsound.StopVoice();
  if (Ctx().dsound.PlayVoice(file.c_str()) == 0) DebugPrint("File Not Found\n");
}

void SyncLoad(CDebugMenu& menu, int32_t value) {
  char name[64];
  std::snprintf(name, sizeof name, "Macro\\%.04dtbl.bin", static_cast<int>(value));
  DebugPrint("MacroLoad Text Filename %s\n", name);
  std::vector<uint8_t> table;
  if (!ReadDebugFile(name, &table)) {
    DebugPrint("Can't open '%s'.\n", name);
    return;
  }
  menu.message_table = std::move(table);
  menu.message_table_loaded = true;
}

void SyncTest(CDebugMenu& menu, int32_t value) {
  if (!menu.message_table_loaded) {
    DebugPrint("MessageTable is not Load\n");
    return;
  }
  DebugPrint("DataNo = %d\n", value);
  MessageData message;
  if (CTamvikMacro::GetMessageDataIn(menu.message_table, &message,
                                     static_cast<uint16_t>(value)) == 0 ||
      message.text == nullptr) {
    DebugPrint("MessageData not Found!:0x%x %d\n", static_cast<unsigned>(value), value);
    return;
  }
  ShowMessage(reinterpret_cast<const char*>(message.text),
              reinterpret_cast<const char*>(message.lip), message.voice);
}

void SyncTest2() {
  std::vector<uint8_t> bytes;
  if (!ReadDebugFile("LipSync.DEF", &bytes)) {
    DebugPrint("Can't open 'LipSync.DEF'.\n");
    return;
  }
  LipSyncEntry entry;
  if (!ParseLipSync(bytes.data(), bytes.size(), &entry)) {
    DebugPrint("MessageData not Found!\n");
    return;
  }
  ShowMessage(entry.text.c_str(), entry.has_lip ? entry.lip.c_str() : nullptr, entry.voice);
}

// ---- Game flow ----

void Option(int32_t value) {
  GameSequences& sequences = Game().sequences;
  if (value == 0) {
    if (sequences.option_return_mode) sequences.option_return_mode(0);
    sequences.option_menu.Start(ManagerTask());
    return;
  }
  if (value <= 3) sequences.extras.Start(ManagerTask(), value);
}

// ---- Battle ----

void SimulationAdv(int32_t value) {
  DebugPrint("SLG START MAP:%02d\n", value);
  const unsigned scene = DebugSceneOfMap(value);
  if (scene == 0) {
    DebugPrint("Simulation(ADV): no scene starts map %d\n", value);
    return;
  }
  GetAdvState()->setSceneCode(static_cast<uint16_t>(scene));
  SlgDebugRestart();
}

void SimulationSlg(int32_t value) {
  GetSystemData()->setBattleMap(static_cast<uint32_t>(value));
  Game().sequences.battle.Start();
}

void MapView(int32_t value) {
  if (!NeedBattle("MapView")) return;
  if (value == 0) DebugPrint("SlsMapViewDelete\n");
  SetSlgMapSetTask(value, value);
}

void MapLoad(int32_t value) {
  if (!NeedBattle("MapLoad")) return;
  SlgMap::FreeMap();
  if (value == 0) {
    DebugPrint("SlsMapLoadDelete\n");
    return;
  }
  SlgMap::LoadMapTable(value);
}

void PlaneEnable(int plane, int32_t value) {
  if (!NeedBattle("SetPlaneEnable")) return;
  SlgMap::SetPlaneEnable(plane, value);
}

void UnitAnmTest(CDebugMenu& menu, int32_t value) {
  if (!NeedBattle("RotateAnm")) return;
  if (value == 0) {
    DebugPrint("RotateAnm Stop\n");
    SetSlgUnitAnmTest(nullptr, 0);
    return;
  }
  AnimeHandle shown = ShownAnime(menu, "RotateAnm");
  if (shown != nullptr) SetSlgUnitAnmTest(shown, value);
}

}  // namespace

unsigned DebugSceneOfMap(int map) {
  if (map < 0 || map >= static_cast<int>(std::size(kSceneOfMap))) return 0;
  return kSceneOfMap[map];
}

void FillDebugActions(CDebugMenu& menu) {
  auto on = [&menu](int code, CDebugMenu::Action action) {
    menu.actions[static_cast<size_t>(code - 1)] = std::move(action);
  };
  auto scene = [&menu, &on](int code, const char* what, void (*action)(CDebugMenu&, int32_t)) {
    on(code, [&menu, what, action](int32_t v) {
      if (NeedScene(what)) action(menu, v);
    });
  };
  // ---- Game flow ----
  on(1, [](int32_t v) {
    if (v == 1) {
      GameRestart();
    } else {
      GameExit();
    }
  });
  // ---- Engine ----
  on(2, [](int32_t) { MemoryStatus(); });
  for (int code = 3; code <= 7; ++code) {
    const SurfaceId surface = static_cast<SurfaceId>(SURFACE_ROOT + (code - 3));
    on(code, [surface](int32_t v) { Ctx().ddraw.SetVisible(surface, v); });
  }
  on(8, [](int32_t v) { Ctx().ddraw.SetVisible(SURFACE_DEBUG, v); });
  on(9, [&menu](int32_t v) {
    Ctx().ddraw.SetVisible(SURFACE_DEBUG2, v);
    menu.SetMenuWindow(v);
  });
  on(10, [](int32_t) { Ctx().anime.Enum(); });
  on(11, [](int32_t v) { Ctx().ddraw_spr.EnumSpriteList(v); });
  on(12, [](int32_t v) { Ctx().ddraw_spr.EnumSpriteBuffer(v); });
  scene(13, "UnitList", [](CDebugMenu&, int32_t v) { Scene().tamvik_spr.Enum(v); });
  scene(14, "UnitAnmList", [](CDebugMenu&, int32_t v) { Scene().tamvik_spr.EnumAnime(v); });
  on(15, [](int32_t) { Ctx().ddraw_window.Enum(); });
  on(16, [](int32_t) { Ctx().game_task.Enum(); });
  // ---- The scene engine ----
  scene(17, "SetMacroStep", [](CDebugMenu&, int32_t v) {
    Scene().macro.SetStepMode(static_cast<uint32_t>(v));
  });
  scene(18, "ViewMacroStep", [](CDebugMenu&, int32_t v) {
    Scene().macro.SetDebugTrace(static_cast<uint32_t>(v));
  });
  scene(19, "DecodeMacroStep", [](CDebugMenu&, int32_t v) {
    Scene().macro.SetDebugKeyWait(static_cast<uint32_t>(v));
  });
  scene(20, "DecodeMacroReturn", [](CDebugMenu&, int32_t) { Scene().macro.Return(); });
  scene(21, "LoadMacro", [](CDebugMenu&, int32_t v) { LoadMacro(v); });
  on(22, [](int32_t v) { ViewVars("VarA", v, kVarARow, kVarARow, &VarA); });
  on(23, [&menu](int32_t v) { SetVarA(menu, v); });
  on(24, [](int32_t v) { ViewVars("VarP", v, kVarPRow, kVarPRow, &VarP); });
  on(25, [&menu](int32_t v) { SetVarP(menu, v); });
  // ---- Battle ----
  on(26, [](int32_t v) { SimulationAdv(v); });
  on(27, [](int32_t v) { SimulationSlg(v); });
  // ---- The scene engine ----
  scene(28, "MapSeq", [](CDebugMenu&, int32_t v) { MapSeq(v); });
  scene(29, "LoadBG", [](CDebugMenu&, int32_t v) { LoadBackground(SURFACE_BG, v); });
  scene(30, "LoadFG", [](CDebugMenu&, int32_t v) { LoadBackground(SURFACE_FG, v); });
  on(31, [&menu](int32_t v) { Raster(menu.viewer.raster_bg, SURFACE_BG, v); });
  on(32, [&menu](int32_t v) { Raster(menu.viewer.raster_fg, SURFACE_FG, v); });
  scene(33, "SpriteLoad", [](CDebugMenu&, int32_t v) { SpriteLoad(v); });
  scene(34, "UnitLoad", &UnitLoad);
  scene(35, "UnitView", &UnitView);
  scene(36, "UnitAnmLoad", &UnitAnmLoad);
  scene(37, "UnitAnmView", &UnitAnmView);
  on(38, [](int32_t v) { DebugPrint("UnitAnmViewX %d\n", v); });
  on(39, [](int32_t v) { DebugPrint("UnitAnmViewY %d\n", v); });
  on(40, DebugNop);
  on(41, DebugNop);
  on(42, [&menu](int32_t v) {
    if (AnimeHandle a = ShownAnime(menu, "UnitAnmSpeed")) Spx()->SetSpeed(a, static_cast<uint32_t>(v));
  });
  on(43, [&menu](int32_t v) {
    if (AnimeHandle a = ShownAnime(menu, "UnitAnmLoop")) Spx()->SetLoop(a, static_cast<uint32_t>(v));
  });
  on(44, [&menu](int32_t v) {
    if (AnimeHandle a = ShownAnime(menu, "UnitAnmOverlap")) {
      Spx()->SetSpxColorKey(a, static_cast<uint32_t>(v));
    }
  });
  on(45, [&menu](int32_t) {
    if (AnimeHandle a = ShownAnime(menu, "UnitAnmReverseH")) Spx()->SetSpxRev(a, ReverseBits(menu));
  });
  on(46, [&menu](int32_t) {
    if (AnimeHandle a = ShownAnime(menu, "UnitAnmReverseV")) Spx()->SetSpxRev(a, ReverseBits(menu));
  });
  on(47, [&menu](int32_t v) {
    if (AnimeHandle a = ShownAnime(menu, "UnitAnmRotateZ")) Spx()->SetSpxRot(a, v);
  });
  scene(48, "UnitAnmFrameView", &UnitAnmFrameView);
  on(49, [](int32_t v) { DebugPrint("Offset NC %d\n", v); });
  on(50, [](int32_t v) { DebugPrint("Change NC %d\n", v); });
  scene(51, "NCLoad", &NcLoad);
  scene(52, "NCAtr", [](CDebugMenu&, int32_t) { NcAtr(); });
  scene(53, "NCCheck", [](CDebugMenu&, int32_t v) { NcCheck(v); });
  scene(54, "FaceLoad", [](CDebugMenu&, int32_t v) { FaceLoad(v); });
  scene(55, "MesWin", [](CDebugMenu&, int32_t v) {
    if (v != 0) {
      ADVShowWindow();
      DebugPrint("MessageWindow ON\n");
    } else {
      TamvikFunc::CloseMessageWindow();
      DebugPrint("MessageWindow OFF\n");
    }
  });
  on(56, [&menu](int32_t v) { SyncLoad(menu, v); });
  scene(57, "SyncTest", &SyncTest);
  scene(58, "SyncTest2", [](CDebugMenu&, int32_t) { SyncTest2(); });
  scene(59, "IconSeq", [](CDebugMenu&, int32_t v) {
    CTamvikIcon::EndIconSeq();
    if (v == 1) CTamvikIcon::StartIconSeq();
  });
  scene(60, "IconChange", [](CDebugMenu&, int32_t v) {
    CTamvikMacro::SetToyIcon(static_cast<uint16_t>(v));
  });
  scene(61, "EyeCatch", [](CDebugMenu&, int32_t) {
    if (Ctx().game_task.FindTask(CTamvikIcat::kTaskName) == nullptr) CTamvikIcat::StartIcat_SvCnt();
  });
  scene(62, "LIPS", [](CDebugMenu&, int32_t v) { TamvikFunc::StartLips("1$$2$$3", v); });
  on(63, [&menu](int32_t v) { AttackTest(menu, v, 0, "Battle Noraml Action Task Start\n"); });
  on(64, [&menu](int32_t v) { AttackTest(menu, v, 2, "Battle Critical Action Task Start\n"); });
  on(65, [&menu](int32_t v) { AttackTest(menu, v, 1, "Battle Special Action Task Start\n"); });
  on(66, [&menu](int32_t v) { AttackTest(menu, v, 5, "Battle Gattai Action Task Start\n"); });
  on(67, [](int32_t v) { DebugPrint("Battle Attack Action DirSet %d\n", v); });
  on(68, [](int32_t v) { MapView(v); });
  on(69, [](int32_t v) { MapLoad(v); });
  on(70, [](int32_t v) { PlaneEnable(kSlgPlaneGround, v); });
  on(71, [](int32_t v) { PlaneEnable(kSlgPlaneUnderGround, v); });
  on(72, [](int32_t v) { PlaneEnable(kSlgPlanePriority, v); });
  on(73, [](int32_t v) { PlaneEnable(kSlgPlaneSky, v); });
  on(74, [](int32_t v) {
    if (NeedBattle("BattleSetDebugPriorityFlag")) Battle().debug_priority = static_cast<uint32_t>(v);
  });
  on(75, [](int32_t) {
    if (NeedBattle("BattlePlayerParamMax")) SlgDebugHealPlayers();
  });
  on(76, [&menu](int32_t v) { UnitAnmTest(menu, v); });
  on(77, [](int32_t v) {
    if (!NeedBattle("VoicePlay")) return;
    Ctx().dsound.StopVoice();
    VoicePlay(v);
  });
  on(78, [](int32_t v) {
    if (!NeedBattle("SlgSePlay")) return;
    Ctx().dsound.StopSE();
    SlgSePlay(v);
  });
  on(79, [](int32_t) {
    if (NeedBattle("ZakoDestroy")) SetSlgZakoDestroyTask(1);
  });
  // ---- Game flow ----
  on(80, [](int32_t v) { CTamvikGeneral::StartMiniGame(v, GetAdvState()->minigameMode()); });
  on(81, [](int32_t v) { Option(v); });
  on(82, [](int32_t v) {
    CTamvikGeneral::StartCautionSeq(ManagerTask(), static_cast<uint32_t>(v));
  });
  on(83, [](int32_t v) { Game().sequences.ending.Start(ManagerTask(), v); });
  // ---- Sound ----
  on(84, [](int32_t v) { SetSysFlag(v); });
  on(85, [](int32_t v) { PlayBgm(v); });
  on(86, [](int32_t) { DebugPrint("BGM Volume %d\n", Ctx().dsound.GetBGMVolume()); });
  on(87, DebugNop);
  on(88, [&menu](int32_t v) {
    const int32_t rate = menu.GetValueByCode(kCodeBgmRate);
    Ctx().dsound.SetBGMVolume(v, rate);
    DebugPrint("SetBGMVolume Vol:%d Rate:%d\n", v, rate);
  });
  on(89, [](int32_t v) { PlayNumbered("tamvik1\\voice\\%.04d.wav", v, true); });
  on(90, [](int32_t v) { PlayNumbered("tamvik1\\se\\%.04d.wav", v, false); });
  on(91, [](int32_t v) { PlayNumbered("tamvik1\\se\\%.05d.wav", v, false); });
  on(92, [](int32_t) {
    Ctx().dsound.SERemoveStatic();
    TamvikFunc::LoadSystemSe();
  });
  on(93, [](int32_t v) { Ctx().dsound.PlayStaticSE(v); });
  on(94, [](int32_t v) { Ctx().dsound.StopStaticSE(v); });
}
