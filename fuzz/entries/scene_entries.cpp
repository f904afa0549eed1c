// The scene engine's readers besides the script entry: sprite files under every load mask (with
// hit blocks, unit and animation builds and a stepped kind-12 animation), the save image of the
// script variables followed by a RETURN, and the town map's hit rows through its hit test.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "platform/little_endian.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/spr_file.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_map.h"
#include "testsupport/map_pictures.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/save_data_builder.h"
#include "testsupport/scene_files.h"
#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/talk_files.h"
#include "testsupport/temp_tree.h"
#include "scene/scene_context.h"
#include "testsupport/test_scene.h"

namespace fuzz {

using detail::ByteAt;
using detail::Check;

namespace {

// The shared display rig's engine (its display set up once) with a fresh game and the rig's
// scene, its interpreter new and its sprite cache empty, for one input; the shared tree is the
// install directory.
struct SceneOnRig {
  explicit SceneOnRig(bool rgb555)
      : rig(detail::Rig(rgb555)), engine_scope(*rig.context), scene(detail::SharedScene(rgb555)) {
    Ctx().file_io.SetInstallDir(detail::Tree().install().c_str());
  }
  // What the cache took is let go with the input: an allocation outliving its input makes
  // libFuzzer search for leaks after it.
  ~SceneOnRig() { scene.spx_cache.Clear(); }
  SceneOnRig(const SceneOnRig&) = delete;
  SceneOnRig& operator=(const SceneOnRig&) = delete;
  detail::DisplayRig& rig;
  ContextScope engine_scope;
  GameContext game;
  GameScope game_scope{game};
  SceneContext& scene;
  SceneScope scene_scope{scene};
};

constexpr const char* kSprName = "spr_file";
constexpr const char* kSprGameName = "FzSpr\\fuzz.spr";

}  // namespace

namespace {
constexpr uint8_t kSprSide = 16;
constexpr uint8_t kSprImages = 8;
constexpr uint32_t kSprImageData = 1024;  // at most 4 bytes a pixel of 16 x 16
constexpr uint64_t kSprMaxPixels = 4096;
}  // namespace

SceneContext& detail::SharedScene(bool rgb555) {
  static SceneContext* scenes[2] = {};
  SceneContext*& scene = scenes[rgb555 ? 1 : 0];
  // Made while the rig's engine is current: it registers its animation kind there. Never
  // destroyed: the engine it registered with lives as long.
  if (scene == nullptr) scene = new SceneContext;
  scene->macro = CTamvikMacro();
  scene->spx_cache.Clear();
  return *scene;
}

// The builds of a sprite file make a surface for every image of its image table (each side
// doubled unless the table says scale 1), fill it and decode into it, by up to four of the loads:
// pixels are most of an input's time, and the decoders' roads are the same for small images. So
// the harness's copy of the file keeps 8 images at most, every image's sides cut to 16 and its
// data to 1024 bytes (the bytes themselves stay as they are), and a file whose images still ask for more than 4096 pixels in all (dozens
// of records) is passed over. Returns false for such a file.
bool detail::CutSprImages(Bytes& file) {
  const auto be32 = [&](size_t at) {
    return at + 4 <= file.size() ? SprBe32(file.data() + at) : 0u;
  };
  uint64_t pixels = 0;
  for (size_t e = 0; e < kSprDirEntries; ++e) {
    const size_t at = 16 + 16 * e;
    if (be32(at + 8) != kSprImageTable) continue;
    const uint64_t offset = be32(at);
    const uint64_t size = be32(at + 4);
    if (offset + size > file.size() || size < 16) continue;
    uint8_t* part = file.data() + offset;
    const uint64_t scale = SprBe16(part + 2) == 1 ? 1 : 4;
    // Each image costs its colour look-up table (256 colours) whatever its size: few are taken.
    if (SprBe16(part) > kSprImages) {
      part[0] = 0;
      part[1] = kSprImages;
    }
    const uint64_t count = SprBe16(part);
    for (uint64_t i = 0; i < count && 32 + 16 * i <= size; ++i) {
      uint8_t* record = part + 16 + 16 * i;
      for (int side = 0; side < 2; ++side) {
        if (SprBe16(record + 2 * side) > kSprSide) {
          record[2 * side] = 0;
          record[2 * side + 1] = kSprSide;
        }
      }
      // The decoders walk the image's data, whatever its sides: its size is cut too.
      if (SprBe32(record + 12) > kSprImageData) {
        record[12] = record[13] = 0;
        record[14] = static_cast<uint8_t>(kSprImageData >> 8);
        record[15] = static_cast<uint8_t>(kSprImageData);
      }
      pixels += uint64_t{SprBe16(record)} * SprBe16(record + 2) * scale;
    }
  }
  return pixels <= kSprMaxPixels;
}
// Input: control (byte 0: bit 0 the RGB555 layout; byte 1: the picture or NC picture number;
// byte 2: frames the animations are stepped, up to 15; byte 3: the load, value % 7: the
// picture, the hit blocks of records 0-3, the unit, the animation, the battle-map, the NC-set or
// the face load), then the sprite file (8 images at most, cut to 16 x 16 and 1 KB of data in
// the harness's copy: detail::CutSprImages). One load per input keeps an input short (each
// opens, reads and builds the whole file again); the seeds give every file to every load.
// Rules: units and animations never more than the file has bytes for (16 a unit record, 40 a
// unit entry, 4 an animation); a hit block is its count byte and 9 bytes a row, its rows inside
// the file; the animations stepped stay at most as many as were started.
void SprFileEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const Bytes& control = parts[0];
  Bytes file = parts[1];
  if (!detail::CutSprImages(file)) return;
  SceneOnRig rig((ByteAt(control, 0) & 1) != 0);
  if (!rig.rig.ready) return;
  detail::Tree().Write("install/FzSpr/fuzz.spr", file);
  const int picture = ByteAt(control, 1);
  const int frames = ByteAt(control, 2) & 15;
  const int which = ByteAt(control, 3) % 7;
  const auto runs = [which](int load) { return which == load; };
  const size_t file_size = file.size();

  // Picture into the back layer, as a wall or background is loaded.
  if (runs(0)) TamvikFunc::LoadSprToSurface(kSprGameName, picture, 0, 0, SURFACE_BG, 0);

  // Hit blocks.
  for (uint32_t n = 0; runs(1) && n < 4; ++n) {
    const std::vector<uint8_t> block = TamvikFunc::LoadSpxHitData(kSprGameName, n);
    if (block.empty()) continue;
    const size_t rows = (block.size() - 1) / 9;
    Check((block.size() - 1) % 9 == 0, kSprName, "a hit block is not a count byte and 9-byte rows");
    Check(block[0] == static_cast<uint8_t>(rows), kSprName, "a hit block's count is not its rows");
    Check(rows * 16 <= file_size, kSprName, "more hit rows than the file holds");
  }

  // Unit file.
  if (SprUnit* unit = runs(2) ? TamvikFunc::LoadUnitFile(kSprGameName, 0) : nullptr) {
    // A unit is a 16-byte record of its table; each of its entries 40 bytes of its block.
    Check(size_t{unit->UnitNum()} * 16 <= file_size, kSprName, "more units than the file holds");
    size_t entries = 0;
    for (const SprUnitComposition& comp : unit->units) entries += comp.count;
    Check(entries * 40 <= file_size, kSprName, "more unit entries than the file holds");
    Check(unit->sprites.size() <= file_size, kSprName, "more sprites than the file holds");
    TamvikFunc::ReleaseUnitFile(unit);
  }

  // Animation file, each of its first four animations played and stepped.
  if (SprAnm* anm = runs(3) ? TamvikFunc::LoadAnmFile(kSprGameName, 0, 256) : nullptr) {
    CTamvikSpr& spr = Scene().tamvik_spr;
    Check(size_t{anm->AnmDataNum()} * 4 <= file_size, kSprName,
          "more animations than the file holds");
    std::vector<AnimeHandle> plays;
    const uint32_t count = std::min<uint32_t>(anm->AnmDataNum(), 4);
    for (uint32_t n = 0; n < count; ++n) {
      AnimeHandle play = spr.PlayAnm(anm, n, 100, 100, SURFACE_FG, 1);
      if (play != nullptr) plays.push_back(play);
    }
    uint32_t now = 1000;
    for (int f = 0; f < frames; ++f) {
      now += 17;
      Ctx().anime.Exec(now);
      Check(Ctx().anime.Records(kAnimeSpx).size() <= plays.size(), kSprName,
            "more animations run than were started");
    }
    for (AnimeHandle& play : plays) {
      if (Ctx().anime.IsAnime(play) != 0) spr.ReleaseAnm(&play);
    }
    TamvikFunc::ReleaseAnmFile(anm);
  }

  // Battle-map file.
  if (SlgMapSpr* map = runs(4) ? TamvikFunc::LoadSlgMapFile(kSprGameName, 0) : nullptr) {
    TamvikFunc::ReleaseSlgMapFile(map);
  }

  // NC set and face, as the loaders take them (the picture as the NC picture, or the image).
  if (runs(5) || runs(6)) {
    SprLoadParam param;
    param.file_name = kSprGameName;
    param.surface = runs(5) ? SURFACE_FC : SURFACE_TEXT;
    (runs(5) ? param.nc_picture : param.image) = picture;
    TamvikFunc::LoadSpxSplitData(kSprGameName, &param, runs(5) ? kSprMaskNcSet : kSprMaskFace);
  }
  TamvikFunc::ReleaseNcSpx();
  Scene().tamvik_spr.DeleteAllAnm();
  Scene().tamvik_spr.DeleteAllUnit();
  Scene().tamvik_spr.DeleteAllSlgMap();
}

std::vector<Bytes> SprFileSeeds() {
  using namespace testsupport;
  const std::vector<std::pair<Bytes, Bytes>> files = {
      {{0, 0, 6}, MapLabelFile()},
      {{1, 1, 12}, BgAnimeFile({31, 0, 31})},
      {{0, 0, 6}, HitPictureFile({4, 8, 12}, {HitRow(5, 0, 0, 10, 10), HitRow(6, 20, 20, 4, 4)})},
      {{0, 0, 6}, TalkingCharaFile({HitRow(9, 0, 0, 60, 100)})},
      {{0, 0, 6}, FaceFile({{{0, 3, 24}, {1, 4, 24}}, 2, std::nullopt})},
      {{1, 1, 12}, WallFile(0)},
  };
  std::vector<Bytes> seeds;
  for (const auto& [control, file] : files) {
    for (uint8_t load = 0; load < 7; ++load) {
      Bytes c = control;
      c.push_back(load);
      seeds.push_back(JoinParts({c, file}));
    }
  }
  // A unit table of as many records as its part holds, most of them without entries (a finding
  // of the fuzzer: a unit is a 16-byte record, only its entries are 40 bytes).
  Bytes many = MapLabelFile();
  for (size_t e = 0; e < kSprDirEntries; ++e) {
    const size_t at = 16 + 16 * e;
    if (at + 16 > many.size() || SprBe32(many.data() + at + 8) != kSprUnitTable) continue;
    const uint32_t offset = SprBe32(many.data() + at);
    const uint32_t records = (SprBe32(many.data() + at + 4) - 16) / 16;
    many[offset] = static_cast<uint8_t>(records >> 8);
    many[offset + 1] = static_cast<uint8_t>(records);
  }
  seeds.push_back(JoinParts({{0, 0, 6, 2}, many}));
  return seeds;
}

// ---- Script variables ----

namespace {
constexpr const char* kVarsName = "macro_vars";
}  // namespace

// Input: any bytes as the 8720-byte save image (cut or padded with zeros), then a script of
// RETURN, A[1] := 1 and a stop decoded one command a frame (the step mode) for 12 frames, so
// that a return to word 0, which RETURNs again, costs 12 commands and not a pass's cap. Rules:
// both depths below 1000 after the load; the read position never passes the script; the
// interpreter either stopped (a decode error) or still runs inside the script.
void MacroVarsEntry(const uint8_t* data, size_t size) {
  MacroVarBlock block{};
  std::copy_n(data, std::min(size, block.size()), block.begin());
  SceneOnRig rig(false);
  testsupport::GameTree& tree = detail::Tree();
  CTamvikMacro::LoadVars(block);
  Check(Game().macro.depth1 < kMacroStackSize, kVarsName, "stack 1 depth 1000 or more");
  Check(Game().macro.depth2 < kMacroStackSize, kVarsName, "stack 2 depth 1000 or more");
  testsupport::ScriptWriter w;
  w.Return().Assign(testsupport::VarA(1), testsupport::Num(1)).Wait(testsupport::Lit(0xFFFF));
  tree.Write("install/Macro/0306.bin", w.Bytes());
  tree.Write("install/Macro/0306tbl.bin", testsupport::MessageTableWriter().Add({1, 5, "a", "b"}).Bytes());
  GetAdvState()->setSceneCode(0x0306);
  CTamvikMacro& macro = rig.scene.macro;
  if (macro.MacroLoad(0x0306) == 0) {
    Check(false, kVarsName, "a scene whose both files exist does not load");
    return;
  }
  GameTaskRec* decode = macro.StartDecoding();
  macro.SetStepMode(1);
  for (int frame = 0; frame < 12; ++frame) {
    macro.SetDebugKeyWait(0);
    Ctx().game_task.ExecTask();
    Check(macro.position() <= macro.script().size(), kVarsName,
          "the read position passed the script");
    Check(Game().macro.depth1 < kMacroStackSize && Game().macro.depth2 < kMacroStackSize,
          kVarsName, "a stack depth left its range");
  }
  // The shared engine's task list and animation list keep nothing of this input (a WAIT's timer
  // would stay until the list's next step: an allocation outliving its input makes libFuzzer
  // search for leaks after every input).
  if (Ctx().game_task.FindTask(CTamvikMacro::kDecodeMacroName) == decode) {
    CTamvikMacro::StopDecoding();
  }
  Ctx().game_task.ExecTask();
  Ctx().anime.DeleteAll();
}

std::vector<Bytes> MacroVarsSeeds() {
  // Every return position word 1 (after the RETURN), so that most variants go on to the stop.
  MacroVarBlock fresh{};
  for (size_t i = 0; i < kMacroStackSize; ++i) fresh[MacroVars::kStack2At + 4 * i] = 1;
  MacroVarBlock deep = fresh;
  // Stack 2 depth 1 with a return position inside the script, stack 1 depth 1003.
  deep[MacroVars::kDepth1At] = 0xEB;
  deep[MacroVars::kDepth1At + 1] = 0x03;
  deep[MacroVars::kDepth2At] = 1;
  deep[MacroVars::kStack2At] = 2;
  MacroVarBlock far = fresh;
  far[MacroVars::kDepth2At] = 1;
  far[MacroVars::kStack2At] = 0xFF;
  far[MacroVars::kStack2At + 1] = 0xFF;
  return {Bytes(fresh.begin(), fresh.end()), Bytes(deep.begin(), deep.end()),
          Bytes(far.begin(), far.end()), Bytes{1, 2, 3}};
}

// ---- The town map's hit rows ----

namespace {
constexpr const char* kMapName = "map_hit";
}  // namespace

// Input: control (byte 0: bit 0 the haunted house; byte 1: the floor, 0-2; byte 2: the map
// level; byte 3: the record; then pairs of bytes as points, each x 3 and y 2, at most 64), then
// the floor picture file. Its hit rows (TamvikFunc::LoadSpxHitData) go into the map's table of
// that floor and every point goes through HitTest. Rules: a place hit is one of the rows'
// codes; a point outside every row hits nothing.
void MapHitEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const Bytes& control = parts[0];
  SceneOnRig rig(false);
  testsupport::GameTree& tree = detail::Tree();
  tree.Write("install/FzMap/floor.spr", parts[1]);
  const bool haunted = (ByteAt(control, 0) & 1) != 0;
  const uint16_t floor = ByteAt(control, 1) % 3;
  GetAdvState()->setMapLevelSet(haunted ? 1 : 0);
  GetAdvState()->setMapLevel(ByteAt(control, 2));
  GetAdvState()->setSceneCode(0x0200);
  CTamvikMap& map = rig.scene.map;
  map.hit_tables = {};  // no floor keeps an earlier input's rows
  const std::vector<uint8_t> rows = TamvikFunc::LoadSpxHitData("FzMap\\floor.spr", ByteAt(control, 3) & 3);
  map.hit_tables[floor] = rows;
  const size_t count = rows.empty() ? 0 : std::min<size_t>(rows[0], (rows.size() - 1) / 9);
  for (size_t at = 4; at + 1 < control.size() && at < 4 + 2 * 64; at += 2) {
    const int x = control[at] * 3;
    const int y = control[at + 1] * 2;
    const uint16_t place = map.HitTest(floor, x, y);
    if (place == 0) continue;
    bool listed = false;
    for (size_t r = 0; r < count && !listed; ++r) listed = rows[1 + 9 * r] == place;
    Check(listed, kMapName, "a place hit that no row names");
  }
}

std::vector<Bytes> MapHitSeeds() {
  using namespace testsupport;
  Bytes control = {0, 0, 0, 0};
  for (const MapPlaceBox& box : MapPlaceBoxes(CTamvikMap::kTheatre, 0)) {
    control.push_back(static_cast<uint8_t>((box.left + box.right) / 6));
    control.push_back(static_cast<uint8_t>((box.top + box.bottom) / 4));
  }
  Bytes haunted = {1, 1, 3, 0, 10, 10, 100, 100, 200, 200};
  return {JoinParts({control, MapFloorPictureFile(CTamvikMap::kTheatre, 0, "TMAP0")}),
          JoinParts({haunted, MapFloorPictureFile(CTamvikMap::kHauntedHouse, 1, "FUKA2F1")})};
}

// ---- The save files ----

namespace {
constexpr const char* kSaveName = "save_files";
constexpr uint16_t kBeforeBattle = 0x8000;
// The scene whose script a resume in the seeds names.
constexpr uint16_t kSaveScriptScene = 0x0306;
}  // namespace

// Input: control (byte 0: the slot, 1-21 from its value; byte 1: bit 0 install style 1 (discs),
// bit 1 no save\system.dat, bit 2 no slot file, bit 3 no script), save\system.dat, the slot's
// file and Macro\0306.bin (the script a resume into scene 0x0306 reads). LoadSystemData,
// GetSaveSceneCode and LoadGameData run with the scene engine's judgement of a saved story state
// wired as the composition root wires it. Rules: system.dat loads exactly when it holds 272
// bytes, which then are the block, else the block stays; a slot is usable exactly when it holds
// 8768 bytes, both depths below 1000 and a state the scene start can run (no resume and no
// restart: the succession knows the scene; else the scene's script, when it opens, holds the
// resume position, and a script that opens nowhere counts only with everything installed);
// GetSaveSceneCode is the scene code without bit 15 for a usable slot, else 0; LoadGameData
// loads exactly a usable slot: the story state then is the file's (bytes 8 and 9 aside) with bit
// 15 of the scene code moved into savedBeforeBattle, and the variables pack back into the file's
// block; a refused slot changes neither.
void SaveFilesEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 4);
  const Bytes& control = parts[0];
  const int slot = 1 + ByteAt(control, 0) % 21;
  const uint8_t flags = ByteAt(control, 1);
  SceneOnRig rig(false);
  testsupport::GameTree& tree = detail::Tree();
  const std::string slot_path = "install/save/data" + std::to_string(slot) + ".sav";
  const std::string script_path =
      "install/Macro/" + CTamvikMacro::ScriptFileName(kSaveScriptScene).substr(6);
  const auto lay = [&tree](const std::string& path, bool absent, const Bytes& bytes) {
    if (absent) {
      tree.Remove(path);
    } else {
      tree.Write(path, bytes);
    }
  };
  lay("install/save/system.dat", (flags & 2) != 0, parts[1]);
  lay(slot_path, (flags & 4) != 0, parts[2]);
  lay(script_path, (flags & 8) != 0, parts[3]);
  Ctx().file_io.SetInstallStyle(flags & 1);
  Game().sequences.saved_scene_fault = [](const AdvState& saved) {
    return CTamvikMacro::SavedSceneFault(saved);
  };

  // save\system.dat.
  SystemData& system = *GetSystemData();
  for (size_t i = 0; i < SystemData::kSize; ++i) system.bytes()[i] = static_cast<uint8_t>(0xA5 ^ i);
  const SystemData before_system = system;
  const bool system_whole = (flags & 2) == 0 && parts[1].size() == SystemData::kSize;
  Check(LoadSystemData() == (system_whole ? 1 : 0), kSaveName,
        "system.dat loaded other than exactly when it holds 272 bytes");
  const uint8_t* system_want = system_whole ? parts[1].data() : before_system.bytes();
  Check(std::equal(system.bytes(), system.bytes() + SystemData::kSize, system_want), kSaveName,
        system_whole ? "the system block is not the file" : "a refused system.dat changed the block");

  // The slot: usable or not, from the layouts alone.
  const Bytes& file = parts[2];
  bool usable = (flags & 4) == 0 && file.size() == kGameSaveSize;
  AdvState saved;
  if (usable) {
    std::copy_n(file.data(), AdvState::kSize, saved.bytes());
    saved.setSceneCode(saved.sceneCode() & ~kBeforeBattle);
    const uint32_t depth1 = platform::GetLe32(file.data() + AdvState::kSize + MacroVars::kDepth1At);
    const uint32_t depth2 = platform::GetLe32(file.data() + AdvState::kSize + MacroVars::kDepth2At);
    usable = depth1 < kMacroStackSize && depth2 < kMacroStackSize;
  }
  if (usable) {
    const bool resume = saved.resumeInScript() != 0;
    if (!resume && saved.debugRestart() == 0) {
      usable = CTamvikMacro::FindSuccession(saved.sceneCode()) != nullptr;
    } else {
      // The scene's own script (this input's for scene 0x0306; another entry of the process may
      // have left others in the shared tree).
      FileIO& io = Ctx().file_io;
      const std::string script = CTamvikMacro::ScriptFileName(saved.sceneCode());
      const FileHandle h = io.Open(script.c_str(), FileMode::kRead, kSearchAll, 0);
      if (h == kInvalidFile) {
        usable = (flags & 1) != 0;  // refused only with everything installed
      } else {
        usable = !resume || saved.resumePosition() < io.GetSize(h) / 2;
        io.Close(h);
      }
    }
  }
  const uint16_t code = GetSaveSceneCode(slot);
  Check(code == (usable ? saved.sceneCode() : 0), kSaveName,
        usable ? "a usable slot's scene code is not the file's" : "a refused slot has a scene code");

  AdvState& adv = *GetAdvState();
  for (size_t i = 0; i < AdvState::kSize; ++i) adv.bytes()[i] = static_cast<uint8_t>(0x3C ^ i);
  SetMacroA(7, 0x1234);
  MacroVarBlock vars_before;
  Game().macro.Pack(vars_before);
  const AdvState adv_before = adv;
  system.setSavedBeforeBattle(7);
  Check(LoadGameData(slot) == (usable ? 1 : 0), kSaveName,
        "LoadGameData took other than exactly the usable slots");
  MacroVarBlock vars_after;
  Game().macro.Pack(vars_after);
  if (usable) {
    bool same = adv.sceneCode() == saved.sceneCode();
    for (size_t i = 2; i < AdvState::kSize; ++i) {
      if (i != 8 && i != 9) same = same && adv.bytes()[i] == file[i];
    }
    Check(same, kSaveName, "the loaded story state is not the file's");
    Check(system.savedBeforeBattle() == ((file[1] & 0x80) != 0 ? 1 : 0), kSaveName,
          "savedBeforeBattle is not bit 15 of the saved scene code");
    Check(std::equal(vars_after.begin(), vars_after.end(), file.begin() + AdvState::kSize),
          kSaveName, "the loaded variables do not pack back into the file's block");
  } else {
    Check(std::equal(adv.bytes(), adv.bytes() + AdvState::kSize, adv_before.bytes()) &&
              vars_after == vars_before && system.savedBeforeBattle() == 7,
          kSaveName, "a refused slot changed the game");
  }
}

std::vector<Bytes> SaveFilesSeeds() {
  using namespace testsupport;
  testsupport::ScriptWriter script;
  script.Words(std::vector<uint16_t>(12, 0x0001));
  const Bytes system = SystemDataBytes().bytes();
  std::vector<Bytes> seeds;
  const auto slot = [](uint16_t scene, bool before_battle) {
    SaveFileSpec spec;
    spec.scene = scene;
    spec.before_battle = before_battle;
    return SaveFileBytes(spec);
  };
  seeds.push_back(JoinParts({{0, 0}, system, slot(0x0103, false), script.Bytes()}));
  seeds.push_back(JoinParts({{4, 0}, system, slot(0x0402, true), script.Bytes()}));
  // A resume inside the script, one past it, and the scene codes no start can run.
  Bytes resume = slot(kSaveScriptScene, false);
  resume[10] = 1;
  resume[16] = 5;
  seeds.push_back(JoinParts({{1, 0}, system, resume, script.Bytes()}));
  Bytes past = resume;
  past[16] = 0x40;
  seeds.push_back(JoinParts({{2, 1}, system, past, script.Bytes()}));
  seeds.push_back(JoinParts({{3, 0}, system, slot(0x0A04, false), script.Bytes()}));
  seeds.push_back(JoinParts({{20, 8}, Bytes(system.begin(), system.begin() + 100), slot(0x7FFF, true), {}}));
  SaveFileSpec cut;
  cut.cut_to = 4000;
  seeds.push_back(JoinParts({{5, 0}, system, SaveFileBytes(cut), script.Bytes()}));
  return seeds;
}

// ---- The battle message file ----

namespace {
constexpr const char* kSlgMessageName = "slg_message";
}  // namespace

// Input: control (byte 0: the map number, 0-26 from its value; byte 1: the chapter of the scene
// code, which moves the voices from chapter 8), the message file. LoadSlgMessage as a battle's
// start reads it, then the look-up of every id its directory names and a few others. Rules: the
// file loads exactly when it is there within the table limit, and a file that does not load
// keeps the table held; every message found has its text and lip text inside the table and
// terminated there; an empty entry has voice -1 and no lip text; from chapter 8 a voice is the
// found one + 1000.
void SlgMessageEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const Bytes& control = parts[0];
  const int map = ByteAt(control, 0) % 27;
  SceneOnRig rig(false);
  char name[48];
  std::snprintf(name, sizeof name, "install/TaMvIk2/mAcRo/m%02dmes.bin", map);
  detail::Tree().Write(name, parts[1]);
  GetAdvState()->setSceneCode(static_cast<uint16_t>(ByteAt(control, 1) << 8));
  CTamvikMacro& macro = rig.scene.macro;
  const bool fits = parts[1].size() <= 4 * 65536 + 1;
  if (macro.LoadSlgMessage(map) != (fits ? 1 : 0)) {
    Check(false, kSlgMessageName, "a battle message file loaded other than when it fits");
    return;
  }
  const std::vector<uint8_t>& table = macro.table();
  if (!fits) {
    Check(table.empty(), kSlgMessageName, "a refused file changed the table");
    return;
  }
  for (uint16_t id : detail::CheckMessages(macro, kSlgMessageName)) {
    MessageData m;
    macro.FindMessageData(&m, id);
    MessageData shown;
    Check(macro.GetMessageData(&shown, id) == 1 &&
              shown.voice == (m.voice == -1 || ByteAt(control, 1) < 8 ? m.voice : m.voice + 1000),
          kSlgMessageName, "the voice of a message is not the found one as the chapter moves it");
  }
}

std::vector<Bytes> SlgMessageSeeds() {
  using namespace testsupport;
  const Bytes table = MessageTableWriter()
                          .Add({1, 5, "ka", "Text"})
                          .Add({2, 0xFFFF, "o", "Zero"})
                          .Add({3, 0, "", "Empty"})
                          .Bytes();
  return {JoinParts({{0, 1}, table}), JoinParts({{26, 9}, table}),
          JoinParts({{3, 0}, Bytes{0x00, 0x02, 0x00, 0x09, 0x00, 0x01}}), JoinParts({{1, 0}, {}})};
}

}  // namespace fuzz
