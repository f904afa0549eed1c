// The scene engine's readers besides the script entry: sprite files under every load mask (with
// hit blocks, unit and animation builds and a stepped kind-12 animation), the save image of the
// script variables followed by a RETURN, and the town map's hit rows through its hit test.

#include <algorithm>
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
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/spr_file.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_map.h"
#include "testsupport/map_pictures.h"
#include "testsupport/portrait_writer.h"
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

// The shared display rig's engine (its display set up once) with a fresh game and scene for one
// input; the shared tree is the install directory.
struct SceneOnRig {
  explicit SceneOnRig(bool rgb555) : rig(detail::Rig(rgb555)), engine_scope(*rig.context) {
    Ctx().file_io.SetInstallDir(detail::Tree().install().c_str());
  }
  detail::DisplayRig& rig;
  ContextScope engine_scope;
  GameContext game;
  GameScope game_scope{game};
  SceneContext scene;
  SceneScope scene_scope{scene};
};

constexpr const char* kSprName = "spr_file";
constexpr const char* kSprGameName = "FzSpr\\fuzz.spr";

}  // namespace

// Input: control (byte 0: bit 0 the RGB555 layout; byte 1: the picture or NC picture number;
// byte 2: frames the animations are stepped, up to 15), then the sprite file. The file is loaded
// under every mask (picture, unit, animation, NC set, face, battle map, and the kind-12 hit
// blocks of records 0-3). Rules: a unit or animation record never holds more entries than the
// file has bytes for (40 per unit, 4 per animation); a hit block is its count byte and 9 bytes a
// row, its rows inside the file; the animations stepped stay at most as many as were started.
void SprFileEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const Bytes& control = parts[0];
  const Bytes& file = parts[1];
  SceneOnRig rig((ByteAt(control, 0) & 1) != 0);
  if (!rig.rig.ready) return;
  detail::Tree().Write("install/FzSpr/fuzz.spr", file);
  const int picture = ByteAt(control, 1);
  const int frames = ByteAt(control, 2) & 15;
  const size_t file_size = file.size();

  // Picture into the back layer, as a wall or background is loaded.
  TamvikFunc::LoadSprToSurface(kSprGameName, picture, 0, 0, SURFACE_BG, 0);

  // Hit blocks.
  for (uint32_t n = 0; n < 4; ++n) {
    const std::vector<uint8_t> block = TamvikFunc::LoadSpxHitData(kSprGameName, n);
    if (block.empty()) continue;
    const size_t rows = (block.size() - 1) / 9;
    Check((block.size() - 1) % 9 == 0, kSprName, "a hit block is not a count byte and 9-byte rows");
    Check(block[0] == static_cast<uint8_t>(rows), kSprName, "a hit block's count is not its rows");
    Check(rows * 16 <= file_size, kSprName, "more hit rows than the file holds");
  }

  // Unit file.
  SprUnit* unit = TamvikFunc::LoadUnitFile(kSprGameName, 0);
  if (unit != nullptr) {
    Check(size_t{unit->UnitNum()} * 40 <= file_size, kSprName, "more units than the file holds");
    Check(unit->sprites.size() <= file_size, kSprName, "more sprites than the file holds");
    TamvikFunc::ReleaseUnitFile(unit);
  }

  // Animation file, each of its first four animations played and stepped.
  SprAnm* anm = TamvikFunc::LoadAnmFile(kSprGameName, 0, 256);
  if (anm != nullptr) {
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
  SlgMapSpr* map = TamvikFunc::LoadSlgMapFile(kSprGameName, 0);
  if (map != nullptr) TamvikFunc::ReleaseSlgMapFile(map);

  // NC set and face, as the loaders take them.
  SprLoadParam nc;
  nc.file_name = kSprGameName;
  nc.surface = SURFACE_FC;
  nc.nc_picture = picture;
  TamvikFunc::LoadSpxSplitData(kSprGameName, &nc, kSprMaskNcSet);
  SprLoadParam face;
  face.file_name = kSprGameName;
  face.surface = SURFACE_TEXT;
  face.image = picture;
  TamvikFunc::LoadSpxSplitData(kSprGameName, &face, kSprMaskFace);
  TamvikFunc::ReleaseNcSpx();
  Scene().tamvik_spr.DeleteAllAnm();
  Scene().tamvik_spr.DeleteAllUnit();
  Scene().tamvik_spr.DeleteAllSlgMap();
}

std::vector<Bytes> SprFileSeeds() {
  using namespace testsupport;
  const Bytes control = {0, 0, 6};
  const Bytes control555 = {1, 1, 12};
  std::vector<Bytes> seeds;
  seeds.push_back(JoinParts({control, MapLabelFile()}));
  seeds.push_back(JoinParts({control555, BgAnimeFile({31, 0, 31})}));
  seeds.push_back(JoinParts({control, HitPictureFile({4, 8, 12}, {HitRow(5, 0, 0, 10, 10),
                                                                   HitRow(6, 20, 20, 4, 4)})}));
  seeds.push_back(JoinParts({control, TalkingCharaFile({HitRow(9, 0, 0, 60, 100)})}));
  seeds.push_back(JoinParts({control, FaceFile({{{0, 3, 24}, {1, 4, 24}}, 2, std::nullopt})}));
  seeds.push_back(JoinParts({control555, WallFile(0)}));
  return seeds;
}

// ---- Script variables ----

namespace {
constexpr const char* kVarsName = "macro_vars";
}  // namespace

// Input: any bytes as the 8720-byte save image (cut or padded with zeros), then a script of
// RETURN, A[1] := 1 and a stop decoded for two frames (a return to word 0 loops until the
// per-pass cap yields the frame). Rules: both depths below 1000 after the
// load; the read position never passes the script; the interpreter either stopped (a decode
// error) or still runs inside the script.
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
  for (int frame = 0; frame < 2; ++frame) {
    Ctx().game_task.ExecTask();
    Check(macro.position() <= macro.script().size(), kVarsName,
          "the read position passed the script");
    Check(Game().macro.depth1 < kMacroStackSize && Game().macro.depth2 < kMacroStackSize,
          kVarsName, "a stack depth left its range");
  }
  // The shared engine's task list keeps nothing of this input.
  if (Ctx().game_task.FindTask(CTamvikMacro::kDecodeMacroName) == decode) {
    CTamvikMacro::StopDecoding();
  }
  Ctx().game_task.ExecTask();
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

}  // namespace fuzz
