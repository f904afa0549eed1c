// The town map's sequence "CTamvikMap::MapSeq": its start and close, the map set-up (floor
// pictures on a 640 x 1440 user surface kept between sequences, the label file, the hit tables),
// the hit test, the place label, the stairs and the pick.

#include <algorithm>
#include <cstdio>
#include <string>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_adv.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_map.h"

namespace {

void MapSeqTask(GameTaskRec* task) { CTamvikMap::MapSeq(task); }
constexpr StepTaskKind<MapSeqWork> kMapSeq{CTamvikMap::kMapSeqTaskName, &MapSeqTask};

constexpr int kWidth = 640;
constexpr int kFloorHeight = 480;
constexpr int kMapHeight = 1440;
constexpr uint32_t kFadeTime = 62;
constexpr int kLabelRight = 624;
constexpr uint16_t kNoStairs = 0xFFFF;
constexpr int kDecideKey = 0;
constexpr int kTraceKey = 1;
// Theatre floor-2 labels replaced while ADV byte 40 is 0.
constexpr uint32_t kHiddenLabel = 115;

// Map sequence states.
enum : uint8_t {
  kSetup = 0,
  kFadeIn = 1,
  kFadeWait = 2,
  kShown = 3,
  kIdle = 4,
  kSlideToFloor = 5,
  kSlideToFloorWait = 6,
  kPickStart = 7,
  kPick = 8,
  kPicked = 9,
  kPickSlide = 10,
  kPickSlideWait = 11,
  kPickDone = 12,
  kPickDoneWait = 13,
  kNextLeg = 14,
  kNextLegNode = 15,
  kGo = 16,
  kGoWalk = 17,
  kGoArrived = 18,
  kFadeOut = 19,
  kFadeOutWait = 20,
  kClosing = 21,
  kClose = 22,
};

CTamvikMap& Map() { return Scene().map; }
CDdrawFunc& Ddraw() { return Ctx().ddraw; }

bool Haunted() { return GetAdvState()->mapLevelSet() != 0; }
uint32_t Building() { return Haunted() ? CTamvikMap::kHauntedHouse : CTamvikMap::kTheatre; }
int FloorCount() { return Haunted() ? 2 : 3; }

uint8_t TheatreLevel() {
  const uint8_t level = GetAdvState()->specialValue();
  if (level <= 2) return level;
  DebugPrint("CTamvikMap: map level %u out of range; 2 is used\n", level);
  return 2;
}

uint8_t HauntedLevel() {
  const uint8_t level = GetAdvState()->mapLevel();
  if (level <= 4) return level;
  DebugPrint("CTamvikMap: haunted-house level %u out of range; 4 is used\n", level);
  return 4;
}

std::array<uint8_t, 4> CurrentKey() {
  const AdvState* adv = GetAdvState();
  return {adv->specialValue(), adv->wallPicture(), adv->mapLevelSet(), adv->mapLevel()};
}

// Layer 5 composes above layer 6.
void KeepLayer5Below6() {
  if (Ddraw().GetLayerIndex(SURFACE_BG) > Ddraw().GetLayerIndex(SURFACE_FG)) {
    Ddraw().SwapLayers(SURFACE_BG, SURFACE_FG);
  }
}

void ShowMapLayers(int flag) {
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) Ddraw().SetVisible(id, flag);
}

// Gives layer 5 its own surface back when a user surface stands in for it. The kept map surface
// is only taken off (kept for the set-up to put back); any other stand-in is deleted.
void GiveBackLayer5() {
  CDdrawFunc& ddraw = Ddraw();
  LayerRec* layer = ddraw.GetLayer(SURFACE_BG);
  if (layer == nullptr || layer->swap_surface == -1) return;
  layer->scroll_x = layer->scroll_y = 0;
  if (layer->swap_surface != Map().map_surface) {
    ddraw.GiveBackLayerSurface(SURFACE_BG, 1);
    return;
  }
  ddraw.AttachUserSurface(SURFACE_BG, layer->swap_surface);
  ddraw.ClearSurface(SURFACE_BG, 1);
  layer->surface_width = kWidth;
  layer->surface_height = kFloorHeight;
  layer->swap_surface = -1;
}

void DeleteMapSurface() {
  CTamvikMap& map = Map();
  if (map.map_surface != -1 && Ddraw().GetUserSurface(map.map_surface) != nullptr) {
    Ddraw().DeleteUserSurface(map.map_surface);
  }
  map.map_surface = -1;
}

// Puts the map surface on layer 5 at the map's size.
bool AttachMapSurface(int32_t number) {
  LayerRec* layer = Ddraw().GetLayer(SURFACE_BG);
  if (layer == nullptr || Ddraw().AttachUserSurface(SURFACE_BG, number) == 0) return false;
  layer->swap_surface = number;
  layer->surface_width = kWidth;
  layer->surface_height = kMapHeight;
  return true;
}

void SetFloorView(uint16_t floor) { Ddraw().SetLayerScroll(SURFACE_BG, 0, (2 - floor) * kFloorHeight); }

// A failed set-up: the map surface released, the layer back to its own surface.
bool SetupFailed(const char* trace) {
  DebugPrint("%s", trace);
  GiveBackLayer5();
  DeleteMapSurface();
  return false;
}

// ---- Stairs tables ----

struct StairsRow {
  uint16_t floor, place, to_floor, to_place;
};
constexpr StairsRow kTheatreStairs[] = {{0, 11, 1, 12}, {1, 11, 2, 3},  {1, 12, 0, 11},
                                        {1, 16, 2, 15}, {2, 3, 1, 11},  {2, 15, 1, 16}};
constexpr StairsRow kHauntedStairs[] = {{0, 3, 1, 1}, {0, 9, 1, 6}, {1, 1, 0, 3}, {1, 6, 0, 9}};

// The haunted house's ground-floor places cut off from level 2 on, and their nodes.
bool IsCutOffPlace(uint16_t place) { return place == 10 || place == 11; }
bool IsCutOffNode(uint16_t node) { return node == 10 || node == 11; }

}  // namespace

// ---- Start and close ----

int CTamvikMap::StartMapSeq(GameTaskRec* owner, uint16_t node, uint16_t floor) {
  CTamvikMap& map = Map();
  CDdrawFunc& ddraw = Ddraw();
  if (map.stack_depth == 0) {
    for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) ddraw.SetVisible(id, 0);
    for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
      ddraw.SetLayerView(id, 0, 0, kWidth, kFloorHeight);
      ddraw.ClearSurface(id, 1);
    }
    TamvikFunc::CloseMessageWindow();
    KeepLayer5Below6();
  }
  MapSeqWork* work = kMapSeq.Start(Ctx().game_task, owner);
  if (work == nullptr) {
    DebugPrint("CTamvikMap::StartMapSeq: the task cannot be made\n");
    return 0;
  }
  const AdvState* adv = GetAdvState();
  work->state = kSetup;
  work->wall = adv->wallPicture();
  work->level = adv->specialValue();
  work->floor = floor;
  work->place = node;
  TamvikFunc::SetKeyMouse(1);
  return 1;
}

void CTamvikMap::CloseMapSeq() {
  CTamvikMap& map = Map();
  if (GameTaskRec* task = kMapSeq.Find(Ctx().game_task)) {
    Ctx().game_task.DelTask(task);
    DebugPrint("CloseMapSeq (%d)\n", map.stack_depth);
    CDdrawFunc& ddraw = Ddraw();
    if (map.stack_depth == 0) {
      ddraw.SetLayerScroll(SURFACE_BG, 0, 0);
      LayerRec* layer = ddraw.GetLayer(SURFACE_BG);
      if (layer != nullptr && layer->swap_surface != -1) {
        const int32_t number = layer->swap_surface;
        ddraw.AttachUserSurface(SURFACE_BG, number);
        ddraw.ClearSurface(SURFACE_BG, 1);
        layer->surface_width = kWidth;
        layer->surface_height = kFloorHeight;
        layer->swap_surface = -1;
        if (map.map_surface != number) DeleteMapSurface();
        map.map_surface = number;
      } else {
        DeleteMapSurface();
      }
      map.ReleaseOverlay();
      CTamvikAdv::InitScreen();
      for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.SetVisible(id, 0);
      ddraw.SetVisible(SURFACE_TEXT, 1);
      ADVShowWindow();
    } else {
      ddraw.SetVisible(SURFACE_TEXT, 0);
    }
  }
  TamvikFunc::SetKeyMouse(0);
}

int CTamvikMap::GetMapSeqState() {
  const MapSeqWork* work = GetMapSeqWork();
  return work != nullptr ? work->state : -1;
}

void CTamvikMap::SetMapSeqState(uint8_t state) {
  if (MapSeqWork* work = GetMapSeqWork()) work->state = state;
}

MapSeqWork* CTamvikMap::GetMapSeqWork() {
  GameTaskRec* task = kMapSeq.Find(Ctx().game_task);
  return task != nullptr ? TaskWorkAs<MapSeqWork>(task) : nullptr;
}

// ---- Set-up ----

std::string CTamvikMap::FloorPictureName(uint16_t floor) {
  static constexpr const char* kDirectory = "tamvik1\\MAP\\";
  static constexpr const char* kExtension = ".spr";
  const char* format = nullptr;
  if (!Haunted()) {
    const bool plain = GetAdvState()->wallPicture() == 0;
    static constexpr const char* kTop[2][3] = {{"%s%s2ah%s", "%s%s2bh%s", "%s%s2ch%s"},
                                               {"%s%s2ay%s", "%s%s2by%s", "%s%s2cy%s"}};
    switch (floor) {
      case 0: format = "%s%s0%s"; break;
      case 1: format = plain ? "%s%s1h%s" : "%s%s1y%s"; break;
      case 2: format = kTop[plain ? 0 : 1][TheatreLevel()]; break;
      default: return {};
    }
  } else {
    static constexpr const char* kGround[5] = {"%s%s1F1%s", "%s%s1F1%s", "%s%s1F2%s", "%s%s1F2%s",
                                               "%s%s1F3%s"};
    static constexpr const char* kUpper[5] = {"%s%s2F1%s", "%s%s2F1%s", "%s%s2F2%s", "%s%s2F3%s",
                                              "%s%s2F3%s"};
    switch (floor) {
      case 0: format = kGround[HauntedLevel()]; break;
      case 1: format = kUpper[HauntedLevel()]; break;
      default: return {};
    }
  }
  char name[64];
  std::snprintf(name, sizeof name, format, kDirectory, Haunted() ? "FUKA" : "TMAP", kExtension);
  return name;
}

bool CTamvikMap::SetupMap(const MapSeqWork& work) {
  CDdrawFunc& ddraw = Ddraw();
  const uint32_t building = Building();
  const int floors = FloorCount();
  // 1: layer 5 on its own surface, the view at the top.
  ddraw.SetLayerScroll(SURFACE_BG, 0, 0);
  GiveBackLayer5();
  // 2: a map surface built for other pictures goes.
  const std::array<uint8_t, 4> key = CurrentKey();
  if (picture_key != key) DeleteMapSurface();
  // 3: the kept map surface, else 4-5: a new one with the floor pictures.
  if (map_surface != -1 && ddraw.GetUserSurface(map_surface) != nullptr) {
    if (!AttachMapSurface(map_surface)) return SetupFailed("Surface Resize Failed\n");
  } else {
    map_surface = -1;
    const int32_t number = ddraw.CreateUserSurface(kWidth, kMapHeight);
    if (number < 0) return SetupFailed("Surface Resize Failed\n");
    DebugPrint("Create UserSurface No=%d Width=%d Height=%d\n", number, kWidth, kMapHeight);
    if (!AttachMapSurface(number)) {
      ddraw.DeleteUserSurface(number);
      return SetupFailed("Surface Resize Failed\n");
    }
    ddraw.ClearSurface(SURFACE_BG, 1);
    if (LayerRec* layer = ddraw.GetLayer(SURFACE_BG)) {
      layer->view_width = std::min(layer->view_width, kWidth - layer->screen_x);
      layer->view_height = std::min(layer->view_height, kMapHeight - layer->screen_y);
    }
    for (int floor = 0; floor < floors; ++floor) {
      const std::string name = FloorPictureName(static_cast<uint16_t>(floor));
      if (TamvikFunc::LoadPicture(name.c_str(), 0, 0, 0, SURFACE_SCRATCH) == 0) {
        DebugPrint("CTamvikMap: floor picture %s not loaded\n", name.c_str());
        return SetupFailed("BG Open Failed\n");
      }
      const int top = (2 - floor) * kFloorHeight;
      ddraw.Blt(SURFACE_SCRATCH, Rect{0, 0, kWidth, kFloorHeight}, SURFACE_BG,
                Rect{0, top, kWidth, top + kFloorHeight}, 0);
    }
    map_surface = number;
    picture_key = key;
    const AdvState* adv = GetAdvState();
    DebugPrint("maplevel=%d fukagawa=%d fukalevel=%d\n", adv->specialValue(), adv->mapLevelSet(),
               adv->mapLevel());
  }
  // 6: the work floor in view.
  SetFloorView(work.floor);
  // 7: another building: its label file, and the hit tables are the old building's.
  if (map_kind != building) {
    ReleaseOverlay();
    LoadMapAnm();
    for (auto& table : hit_tables) table.clear();
  }
  // 8: the missing hit tables.
  for (int floor = 0; floor < floors; ++floor) {
    auto& table = hit_tables[static_cast<size_t>(floor)];
    if (!table.empty()) continue;
    const std::string name = FloorPictureName(static_cast<uint16_t>(floor));
    table = TamvikFunc::LoadSpxHitData(name.c_str(), 0);
    if (table.empty()) {
      DebugPrint("CTamvikMap: no hit table in %s\n", name.c_str());
      map_kind = 0;
      return SetupFailed("BG Open Failed\n");
    }
  }
  map_kind = building;
  return true;
}

// ---- Hit test, label, stairs, overlay ----

uint16_t CTamvikMap::HitTest(uint16_t floor, int x, int y) const {
  if (floor >= hit_tables.size()) return 0;
  const std::vector<uint8_t>& table = hit_tables[floor];
  if (table.empty()) return 0;
  const size_t rows = std::min<size_t>(table[0], (table.size() - 1) / 9);
  uint16_t place = 0;
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* row = table.data() + 1 + r * 9;
    auto value = [row](int k) { return 2 * ((row[1 + 2 * k] << 8) | row[2 + 2 * k]); };
    const int left = std::min(value(0), value(2)), right = std::max(value(0), value(2));
    const int top = std::min(value(1), value(3)), bottom = std::max(value(1), value(3));
    if (left <= x && x <= right && top <= y && y <= bottom) {
      place = row[0];
      break;
    }
  }
  if (place == 0) return 0;
  const uint32_t building = Building();
  const PlaceRow* found = FindPlace(building, floor, place);
  if (found == nullptr) return 0;  // an id the place tables do not list
  const uint16_t scene = GetAdvState()->sceneCode();
  if (building == kTheatre) {
    if (floor == 1 && place == 12 && (scene >> 8) == 1) return 0;
    if (floor == 1 && (place == 11 || place == 16) && scene == 0x0108) return 0;
    if (floor == 2 && (place == 3 || place == 15) && scene == 0x0109) return 0;
  } else if (found->level > GetAdvState()->mapLevel()) {
    return 0;
  }
  return place;
}

uint32_t CTamvikMap::PlaceLabel(uint16_t floor, uint16_t place) {
  const PlaceRow* row = FindPlace(Building(), floor, place);
  if (row == nullptr) return 0;
  uint32_t label = row->label;
  const AdvState* adv = GetAdvState();
  if (!Haunted() && floor == 2 && adv->minigameMode() == 0) {
    const uint8_t level = adv->specialValue();
    if ((label == 74 && level < 2) || (label == 76 && level == 0) ||
        (label == 80 && (adv->sceneCode() >> 8) < 3)) {
      label = kHiddenLabel;
    }
  }
  return label;
}

void CTamvikMap::ShowPlaceLabel(uint16_t floor, uint16_t place, uint16_t previous, int x, int y) {
  const uint32_t label = PlaceLabel(floor, place);
  if (label == 0) return;
  CTamvikSpr& spr = Scene().tamvik_spr;
  SprUnit* unit = spr.GetAnmUnit(label_file);
  Rect rect;
  if (unit != nullptr && spr.GetUnitRect(&rect, unit, label, 0, 0) != 0) {
    const int width = rect.right - rect.left;
    if (x + width >= kLabelRight) x = kLabelRight - width;
    spr.DrawUnit(unit, label, x, y, SURFACE_TEXT, 1);
  }
  if (label != PlaceLabel(floor, previous)) Ddraw().SetUpdate(SURFACE_TEXT, 1);
}

uint16_t CTamvikMap::CheckStairs(uint16_t floor, uint16_t place) {
  const bool haunted = Haunted();
  const bool cut_off = haunted && GetAdvState()->mapLevel() >= 2;
  const StairsRow* row = nullptr;
  if (haunted) {
    for (const StairsRow& r : kHauntedStairs) {
      if (r.floor == floor && r.place == place) row = &r;
    }
  } else {
    for (const StairsRow& r : kTheatreStairs) {
      if (r.floor == floor && r.place == place) row = &r;
    }
  }
  uint16_t result = kNoStairs;
  if (row != nullptr) {
    result = row->to_floor;
    if (stack_depth > 0 && map_stack[stack_depth - 1].floor == row->to_floor) {
      --stack_depth;
    } else if (stack_depth >= kStackSize) {
      DebugPrint("CTamvikMap::CheckStairs: the stack holds %d legs; floor %u place %u not pushed\n",
                 stack_depth, floor, place);
    } else {
      MapStackEntry entry{row->floor, row->place, row->to_floor, row->to_place};
      // From the haunted house's level 2 on, the ground floor's places 10 and 11 are reached
      // only through the stairs of place 9: the leg leaves by the side the puppet stands on.
      if (cut_off && floor == 0) {
        entry = IsCutOffNode(current_node) ? MapStackEntry{0, 9, 1, 6} : MapStackEntry{0, 3, 1, 1};
      }
      map_stack[stack_depth++] = entry;
    }
  }
  if (cut_off && floor == 0 && start_floor == 1 && stack_depth > 0) {
    if (IsCutOffPlace(place)) {
      DebugPrint("!\n");
      map_stack[0] = {1, 6, 0, 9};
    } else {
      map_stack[0] = {1, 1, 0, 3};
    }
    stack_depth = 1;
  }
  if (cut_off && row == nullptr && floor == 0 && start_floor == 0) {
    if (!IsCutOffNode(current_node) && IsCutOffPlace(place)) {
      map_stack[0] = {0, 3, 1, 1};
      map_stack[1] = {1, 6, 0, 9};
      map_stack[2].floor = 0;
      map_stack[2].place = place;
      stack_depth = 2;
    } else if (IsCutOffNode(current_node) && !IsCutOffPlace(place)) {
      map_stack[0] = {0, 9, 1, 6};
      map_stack[1] = {1, 1, 0, 3};
      map_stack[2].floor = 0;
      map_stack[2].place = place;
      stack_depth = 2;
    }
  }
  return result;
}

void CTamvikMap::ReleaseOverlay() {
  if (overlay != nullptr) Scene().tamvik_spr.ReleaseAnm(&overlay);
  overlay = nullptr;
}

void CTamvikMap::PlayFloorOverlay(const MapSeqWork& work) {
  if (Haunted()) return;
  ReleaseOverlay();
  if (work.floor != 2 || label_file == nullptr) return;
  overlay = Scene().tamvik_spr.PlayAnmLoopFlag(label_file, work.wall == 0 ? 17 : 18, 0, 0, 1,
                                                SURFACE_FC, 1);
}

// ---- The sequence ----

void CTamvikMap::MapSeq(GameTaskRec* task) {
  StepTask<MapSeqWork> step(Ctx().game_task, task);
  if (step.OwnerGone()) {
    CloseMapSeq();
    return;
  }
  CTamvikMap& map = Map();
  CDdrawFunc& ddraw = Ddraw();
  MapSeqWork& work = step.work();
  map.SaveMousePos();
  switch (work.state) {
    case kSetup:
      if (map.stack_depth == 0 && !map.SetupMap(work)) {
        // No pictures or hit tables: the sequence closes rather than run blind.
        work.state = kClose;
        return;
      }
      map.current_node = work.place;
      map.start_floor = work.floor;
      if (map.map_kind != 0) StartPapetSeq(task, "KadrunPapet");
      work.state = map.stack_depth == 0 ? kFadeIn : kSlideToFloor;
      break;
    case kFadeIn:
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      ShowMapLayers(1);
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kFadeTime);
      map.PlayFloorOverlay(work);
      work.state = kFadeWait;
      break;
    case kFadeWait:
      if (IsScreenFadeDone()) work.state = kShown;
      break;
    case kShown:
      work.state = kIdle;
      break;
    case kIdle:
    case kPicked:
      break;
    case kSlideToFloor:
      KeepLayer5Below6();
      StartSlideFloor(task, work.floor, 0);
      map.ReleaseOverlay();
      work.state = kSlideToFloorWait;
      break;
    case kSlideToFloorWait:
      if (!IsSlideFloorEnd()) break;
      map.PlayFloorOverlay(work);
      work.state = kIdle;
      break;
    case kPickStart:
      work.state = map.stack_depth == 0 ? kPick : kNextLeg;
      break;
    case kPick: {
      work.previous = work.picked;
      work.picked = map.HitTest(work.floor, map.pointer_x, map.pointer_y);
      if (work.picked != work.previous) {
        work.anchor_x = map.pointer_x;
        work.anchor_y = map.pointer_y;
      }
      if (IsKeyTriggered(kTraceKey) != 0) DebugPrint("col = %d\n", work.picked);
      if (work.picked == 0) break;
      map.ShowPlaceLabel(work.floor, work.picked, work.previous, work.anchor_x, work.anchor_y);
      if (IsKeyTriggered(kDecideKey) == 0) break;
      const uint16_t floor = map.CheckStairs(work.floor, work.picked);
      if (floor != kNoStairs) {
        work.floor = floor;
        work.state = kPickSlide;
      } else {
        work.state = kPickDone;
      }
      break;
    }
    case kPickSlide:
      StartSlideFloor(task, work.floor, 2);
      map.ReleaseOverlay();
      work.state = kPickSlideWait;
      break;
    case kPickSlideWait:
      if (!IsSlideFloorEnd()) break;
      map.PlayFloorOverlay(work);
      work.state = kPick;
      break;
    case kPickDone:
      if (map.stack_depth > 0) {
        const size_t last = map.stack_depth;
        if (last < map.map_stack.size()) {
          map.map_stack[last].floor = work.floor;
          map.map_stack[last].place = work.picked;
        } else {
          DebugPrint("CTamvikMap::MapSeq: the stack is full; the picked place is not kept\n");
        }
        work.floor = map.map_stack[0].floor;
        work.picked = map.map_stack[0].place;
        const uint16_t shown = last < map.map_stack.size() ? map.map_stack[last].floor : work.floor;
        if (work.floor != shown) StartSlideFloor(task, work.floor, 0);
      }
      map.ReleaseOverlay();
      work.state = kPickDoneWait;
      break;
    case kPickDoneWait:
      if (!IsSlideFloorEnd()) break;
      work.picked = map.PlaceToNode(work.floor, work.picked);
      map.PlayFloorOverlay(work);
      work.state = kPicked;
      break;
    case kNextLeg: {
      // The legs move down by one, the final place (held behind the last leg) with them.
      const size_t depth = std::min<size_t>(map.stack_depth, map.map_stack.size() - 1);
      for (size_t i = 1; i <= depth; ++i) map.map_stack[i - 1] = map.map_stack[i];
      work.floor = map.map_stack[0].floor;
      work.picked = map.map_stack[0].place;
      if (map.stack_depth > 0) --map.stack_depth;
      work.state = kNextLegNode;
      break;
    }
    case kNextLegNode:
      work.picked = map.PlaceToNode(work.floor, work.picked);
      work.state = kPicked;
      break;
    case kGo:
      map.go_target = work.go_target;
      map.go_flag = work.go_flag;
      if (map.go_flag == 0 && map.current_node == map.go_target) {
        map.stack_depth = 0;
        work.state = kGoArrived;
      } else if (GetPapetState() == 0 && Ctx().game_task.FindTask(kPapetTaskName) == nullptr) {
        DebugPrint("CTamvikMap::MapSeq: no puppet to walk to %d\n", map.go_target);
        work.state = kGoArrived;
      } else {
        SetPapetState(kPapetWalk);
        work.state = kGoWalk;
      }
      break;
    case kGoWalk:
      if (GetPapetState() == kPapetDone ||
          Ctx().game_task.FindTask(kPapetTaskName) == nullptr) {
        work.state = kGoArrived;
      }
      break;
    case kGoArrived:
      work.state = map.stack_depth == 0 ? kFadeOut : kClosing;
      break;
    case kFadeOut:
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      ShowMapLayers(0);
      map.ReleaseOverlay();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kFadeTime);
      work.state = kFadeOutWait;
      break;
    case kFadeOutWait:
      if (IsScreenFadeDone()) work.state = kClosing;
      break;
    case kClosing:
      ddraw.SetVisible(SURFACE_TEXT, 1);
      break;
    default:
      CloseMapSeq();
      break;
  }
}
