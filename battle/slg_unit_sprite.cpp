#include "battle/slg_unit_sprite.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

const std::array<uint16_t, 16> kSlgWalkPause = {1, 1, 1, 1, 0, 0, 0, 0,
                                                0, 1, 1, 1, 1, 1, 0, 0};

namespace {

constexpr int32_t kPx = 0x10000;
constexpr int32_t kCellStepX = 48;
constexpr int32_t kCellStepY = 24;
constexpr int32_t kLegEnd = 48 * kPx;
constexpr int32_t kFastLegEnd = 42 * kPx;
constexpr int32_t kAreaEnd = 2048 * kPx;
constexpr uint16_t kSlgFlagNoShadow = 0x40;
constexpr int32_t kShadowDepth = 257;
constexpr uint8_t kChangeAnmMode = 4;
// Wait words with any of these bits are event frames: no display time of their own.
constexpr uint16_t kEventFrameBits = 0xF000;
// Frames 0-3 of the walk animation are all pause frames.
constexpr uint32_t kAllPausedFrames = 4;

// Signs of one step in direction 0-3 (right-up, right-down, left-down, left-up).
constexpr int32_t kDirSx[4] = {1, 1, -1, -1};
constexpr int32_t kDirSy[4] = {-1, 1, 1, -1};

CTamvikSpr& Units() { return Scene().tamvik_spr; }
SpxAnimeKind* Spx() { return Units().spx(); }
SlgBattleState& State() { return Battle().state; }
uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

int32_t Height(uint32_t word) { return static_cast<int32_t>(word & kSlgCellHeightMask); }

uint32_t Grid1At(int32_t x, int32_t y) { return SlgCellWord(PosToCell(x >> 16, y >> 16)); }
uint32_t Grid2At(int32_t x, int32_t y) {
  const SlgCell c = PosToCell(x >> 16, y >> 16);
  return Battle().cell_grid2[static_cast<size_t>(c.row * kSlgGridColumns + c.column)];
}

// Frames at 60 per second between two clock readings (signed, toward zero).
int32_t FramesBetween(uint32_t from, uint32_t to) {
  const int64_t ms = static_cast<int32_t>(to - from);
  return static_cast<int32_t>(ms * 60 / 1000);
}

void KeepDepth(SlgUnit& unit) { SetAnmPriByPos(unit.anm, {unit.x, unit.y}); }

// Step 3 and 4 of the walk: on the destination, the lift from its cell, in the grid.
int ArriveOnDest(SlgUnit& unit, SlgRangePos dest) {
  unit.x = int32_t{dest.x} * kPx;
  unit.y = int32_t{dest.y} * kPx;
  unit.cell_attr = Grid1At(unit.x, unit.y);
  unit.lift = Height(unit.cell_attr) * kSlgCellHeightPixels * kPx;
  SetUnitCellShade(unit);
  KeepDepth(unit);
  SetUnitCell(unit);
  return 1;
}

}  // namespace

void LoadUnitAnms(SlgUnit& unit) {
  const uint32_t tier = Battle().memory_tier;
  const int kind = unit.kind;
  auto base = [&] {
    LoadUnitAnmSlot(unit, kUnitAnmBaseBody);
    LoadUnitAnmSlot(unit, kUnitAnmBaseEffect);
  };
  auto attack = [&] {
    LoadUnitAnmSlot(unit, kUnitAnmAttackBody);
    LoadUnitAnmSlot(unit, kUnitAnmAttackEffect);
  };
  if (kind == 0 || kind == 7) {
    base();
    if (tier != 0) attack();
    LoadUnitAnmSlot(unit, kUnitAnmAbilityEffect);
  } else if ((kind >= 1 && kind <= 3) || kind == 5 || kind == 6 || (kind >= 8 && kind <= 10) ||
             kind == 12 || kind == 13) {
    base();
    if (tier != 0) attack();
  } else if (kind == 4 || kind == 11) {
    base();
    if (tier != 0) attack();
    LoadUnitAnmSlot(unit, kUnitAnmTeleportBody);
    LoadUnitAnmSlot(unit, kUnitAnmTeleportEffect);
  } else if ((kind >= 14 && kind <= 19) || kind == 34 || kind == 35 ||
             (kind >= 48 && kind <= 50)) {
    base();
    if (tier > 1) attack();
    LoadUnitAnmSlot(unit, kUnitAnmDeadEffect);
  } else if (kind >= 20 && kind <= 32) {
    base();
    LoadUnitAnmSlot(unit, kUnitAnmDeadEffect);
    if (tier > 2) attack();
  } else if (kind == 33) {
    LoadUnitAnmSlot(unit, kUnitAnmAttackEffect);
    LoadUnitAnmSlot(unit, kUnitAnmSpecialEffect);
    LoadUnitAnmSlot(unit, kUnitAnmSpecialEffect2);
  }
}

void CreateUnitAnmObj(SlgUnit& unit) {
  static constexpr uint8_t kPattern[4] = {3, 2, 2, 3};
  static constexpr uint16_t kAttr[4] = {0, 0, 16, 16};
  if (unit.dir > 3) return;
  unit.anm = CreateAnmObj(kPattern[unit.dir], kAttr[unit.dir]);
}

void SetUnitCellShade(SlgUnit& unit) {
  if (unit.anm == nullptr) return;
  switch ((unit.cell_attr >> 16) & 3u) {
    case 0: unit.anm->shade = 8192; break;
    case 1: unit.anm->shade = 16384; break;
    case 2: unit.anm->shade = 0; break;
    default: break;
  }
}

void SetAnmPriByPos(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  obj->depth = static_cast<int16_t>(SlgCalcDepth(pos.x >> 16, pos.y >> 16));
  if (obj->handle != nullptr) SlgSprSetPri(obj->handle, obj->depth);
}

void SetUnitStandPattern(SlgUnit& unit) {
  static constexpr uint8_t kStand[4] = {3, 2, 2, 3};
  if (unit.anm == nullptr) return;
  SetAnmPattern(unit.anm, kStand[unit.dir & 3]);
}

void ChangeUnitAnm(SlgUnit& unit, uint8_t mode) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return;
  SpxAnimeKind* spx = Spx();
  const bool had = obj->handle != nullptr && spx != nullptr && spx->Block(obj->handle) != nullptr;
  BlendWord alpha = 256;
  int x = 0;
  int y = 0;
  if (had) {
    alpha = spx->GetSpxAlpha(obj->handle);
    spx->GetSpxPos(obj->handle, &x, &y);
  }
  obj->mode = mode;
  SprAnm* list = unit.anims[kUnitAnmBaseBody];
  if (list == nullptr) return;
  SlgPlayAnm(list, obj->pattern, obj, SURFACE_ROOT);
  if (had && obj->handle != nullptr) {
    spx->SetSpxPos(obj->handle, x, y);
    spx->SetSpxAlpha(obj->handle, alpha);
  }
}

void PlayUnitAnm2(SlgUnit& unit, uint8_t mode) {
  SlgAnmObj* obj = unit.anm2;
  SprAnm* list = unit.anims[kUnitAnmBaseEffect];
  if (obj == nullptr || list == nullptr) return;
  obj->mode = mode;
  SlgPlayAnm(list, obj->pattern, obj, SURFACE_ROOT);
}

void LoadUnitAnmSlot(SlgUnit& unit, int slot) {
  if (slot < 0 || slot >= kSlgUnitAnimSlots) return;
  SprAnm*& entry = unit.anims[static_cast<size_t>(slot)];
  if (entry == nullptr) entry = GetUnitAnm(unit.kind, slot);
}

void ReleaseUnitAnmSlot(SlgUnit& unit, int slot) {
  if (slot < 0 || slot >= kSlgUnitAnimSlots) return;
  SprAnm*& entry = unit.anims[static_cast<size_t>(slot)];
  if (entry == nullptr) return;
  ReleaseUnitAnm(&entry);
  entry = nullptr;
}

void LoadUnitEventAnm(SlgUnit& unit) {
  SprAnm*& entry = unit.anims[kUnitAnmBaseBody];
  if (entry == nullptr) entry = GetEventAnm(unit.kind);
}

int CountHitUnits() {
  const SlgBattleState& s = State();
  int count = 0;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    if ((s.units[static_cast<size_t>(i)].flags & kUnitInDamageList) != 0) ++count;
  }
  return count;
}

namespace Slg {

void PlaceUnit(SlgUnit& unit) {
  const SlgPoint snap = SnapPosToCell(unit.x >> 16, unit.y >> 16);
  unit.x = snap.x * kPx;
  unit.y = snap.y * kPx;
  unit.walk = 0;
  unit.cell_attr = Grid2At(unit.x, unit.y);
  unit.lift = Height(unit.cell_attr) * kSlgCellHeightPixels * kPx;
  unit.y += unit.lift;
  LoadUnitAnms(unit);
  switch (unit.category) {
    case 0:
    case 1:
    case 2:
      unit.anm = nullptr;
      unit.anm2 = nullptr;
      CreateUnitAnmObj(unit);
      InitUnitSprite(unit);
      if (unit.category == 0) SetUnitState(unit, 0);
      break;
    case 4:
      unit.anm = nullptr;
      unit.anm2 = nullptr;
      break;
    default:
      break;
  }
}

void InitUnitSprite(SlgUnit& unit) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return;
  obj->attr2 = 16;
  obj->mode = kSlgAnmStartStopped;
  unit.state = 0;
  SetAnmPriByPos(obj, {unit.x, unit.y});
  SetUnitCellShade(unit);
  SetUnitCell(unit);
}

void SetUnitDir(SlgUnit& unit, uint32_t d) {
  static constexpr uint8_t kWalkPattern[4] = {1, 0, 0, 1};
  static constexpr uint16_t kAttr[4] = {0, 0, 16, 16};
  if (d <= 3) {
    unit.dir = static_cast<uint8_t>(d);
    if (unit.anm != nullptr) {
      unit.anm->pattern = kWalkPattern[d];
      unit.anm->attr = kAttr[d];
    }
  }
  ChangeUnitAnm(unit, kChangeAnmMode);
  if (Battle().fast_walk != 0 && unit.anm != nullptr && unit.anm->handle != nullptr &&
      Spx() != nullptr)
    Spx()->SetSpeed(unit.anm->handle, kSlgFastWalkSpeed);
}

void FreezeAllUnits() { SetAllUnitFlags(kUnitFrozen); }
void UnfreezeAllUnits() { ClearAllUnitFlags(kUnitFrozen); }

void SetAllUnitFlags(uint8_t bits) {
  SlgBattleState& s = State();
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) s.units[static_cast<size_t>(i)].flags |= bits;
}

void ClearAllUnitFlags(uint8_t bits) {
  SlgBattleState& s = State();
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i)
    s.units[static_cast<size_t>(i)].flags &= ~uint32_t{bits};
}

void DrawUnitShadow(const SlgPair& point) {
  if ((Battle().flags & kSlgFlagNoShadow) != 0) return;
  SlgSysSprPut(kSysShadow, 0, (point.x >> 16) + 272, (point.y >> 16) + 216, kShadowDepth);
}

void UpdateUnit(SlgUnit& unit) {
  const SlgPair screen = SlgMapToScreen(unit);
  SetAnmPriByPos(unit.anm, {unit.x, unit.y});
  if (unit.category >= State().category_update.size()) return;
  const SlgCategoryUpdate update = State().category_update[unit.category];
  if (update != nullptr) update(unit, screen);
}

int UnitWalkStep(SlgUnit& unit) {
  BattleContext& b = Battle();
  if (unit.state == kUnitStateHeightChange && (unit.flags & kUnitJumpClamp) != 0) {
    unit.walk_state[4] = 0;
    return 0;
  }
  const uint32_t leg_start = static_cast<uint32_t>(unit.walk_state[0]);
  const int32_t n = FramesBetween(leg_start, Now());
  const int32_t f = FramesBetween(leg_start, b.fast_walk_start);
  // The walk animation. Without one, or with one of at most four frames (all of them pause
  // frames, so the leg would never move and the walk never end), the leg runs untimed, as for
  // kind 25.
  SprAnm* list = unit.anm != nullptr ? unit.anm->anims : nullptr;
  const uint32_t pattern = unit.anm != nullptr ? unit.anm->pattern : 0;
  uint32_t k = list != nullptr ? Units().GetAnmFrameNum(list, pattern) : 0;
  const bool untimed = k <= kAllPausedFrames;
  if (k == 0) k = 1;

  unit.x = unit.walk_state[1];
  unit.y = unit.walk_state[2];
  unit.walk = unit.walk_state[3];
  uint32_t frame = static_cast<uint32_t>(unit.walk_state[4]) % k;
  int32_t timer = 0;
  int32_t sx = 2 * kPx;
  int32_t sy = 1 * kPx;
  for (int32_t i = 0; i < n; ++i) {
    ++timer;
    const bool fast = b.fast_walk != 0 && i >= f;
    if (fast) {
      timer += 3;
      sx = 8 * kPx;
      sy = 4 * kPx;
    }
    if (unit.kind == kSlgUntimedWalkKind || unit.state != kUnitStateWalk || untimed) {
      if (fast && unit.walk >= kFastLegEnd) {
        unit.walk = 0;
        return 1;
      }
    } else {
      const uint16_t wait = Units().GetAnmFrameWait(list, pattern, frame);
      if ((wait & kEventFrameBits) != 0 || timer >= wait) {
        frame = (frame + 1) % k;
        timer = 0;
      }
      if (frame < kSlgWalkPause.size() && kSlgWalkPause[frame] == 1) continue;
      if (fast && unit.walk >= kFastLegEnd) {
        unit.walk = 0;
        return 1;
      }
    }
    if (unit.walk >= kLegEnd) {
      unit.walk = 0;
      return 1;
    }
    // A step the map area refuses (a leg toward a cell at its edge) ends the leg where the unit
    // stands: repeated, it would refuse again every frame and the walk would never end.
    if (UnitMoveStep(unit, sx, sy) == 0) {
      unit.walk = 0;
      return 1;
    }
    unit.walk += sx;
  }
  return 0;
}

int UnitMoveStep(SlgUnit& unit, int32_t sx, int32_t sy) {
  if (unit.dir > 3) return 0;
  const int64_t x = int64_t{unit.x} + int64_t{kDirSx[unit.dir]} * sx;
  const int64_t y = int64_t{unit.y} + int64_t{kDirSy[unit.dir]} * sy;
  const int64_t px = x + int64_t{kDirSx[unit.dir]} * 14 * kPx;
  const int64_t py = y + int64_t{kDirSy[unit.dir]} * 8 * kPx;
  if (px < 1 || px >= kAreaEnd || py < 1 || py >= kAreaEnd) return 0;
  unit.cell_attr = Grid1At(static_cast<int32_t>(x), static_cast<int32_t>(y));
  SetUnitCellShade(unit);
  unit.x = static_cast<int32_t>(x);
  unit.y = static_cast<int32_t>(y);
  return 1;
}

uint32_t FrontCellAttr(const SlgUnit& unit) {
  const uint32_t d = unit.dir & 3u;
  const int32_t x = (unit.x >> 16) + kDirSx[d] * kCellStepX;
  const int32_t y = (unit.y >> 16) + kDirSy[d] * kCellStepY;
  return SlgCellWord(PosToCell(x, y));
}

int CheckFrontHeight(SlgUnit& unit) {
  if (Height(unit.cell_attr) == Height(FrontCellAttr(unit))) return 0;
  unit.state = kUnitStateHeightChange;
  if (unit.anm != nullptr) unit.anm->state = 0;
  return 1;
}

void SaveLegStart(SlgUnit& unit) {
  int32_t frame = 0;
  if (unit.anm != nullptr && unit.anm->handle != nullptr)
    frame = Units().GetAnmFrameNo(unit.anm->handle);
  unit.walk_state = {static_cast<int32_t>(Now()), unit.x, unit.y, unit.walk, frame < 0 ? 0 : frame};
}

void SetFastWalk(SlgUnit& unit, uint32_t fast) {
  BattleContext& b = Battle();
  b.fast_walk = fast;
  if (fast == 0) return;
  if (unit.anm != nullptr && unit.anm->handle != nullptr && Spx() != nullptr)
    Spx()->SetSpeed(unit.anm->handle, kSlgFastWalkSpeed);
  b.fast_walk_start = Now();
}

int WalkRoute(SlgUnit& unit, const SlgWalkRoute& route, uint32_t fast) {
  const bool walking_state = unit.state == kUnitStateWalk || unit.state == kUnitStateHeightChange;
  switch (unit.step) {
    case 0:
      ClearUnitCell(unit);
      if (unit.character == kSlgTeleportCharacter) {
        if (walking_state) unit.step = 3;
        return 0;
      }
      unit.cell_attr = Grid1At(unit.x, unit.y);
      CheckFrontHeight(unit);
      SetFastWalk(unit, fast);
      if (unit.state != kUnitStateWalk && unit.state != kUnitStateHeightChange) return 0;
      SaveLegStart(unit);
      unit.step = 1;
      return 0;
    case 1:
      KeepDepth(unit);
      if (UnitWalkStep(unit) == 1) unit.step = 2;
      return 0;
    case 2:
      if (unit.state == kUnitStateHeightChange) return 0;
      KeepDepth(unit);
      unit.cell_attr = Grid1At(unit.x, unit.y);
      if (*route.legs > 0) {
        *route.legs = static_cast<uint16_t>(*route.legs - 1);
        Battle().search.path_count = *route.legs;
        const uint8_t code = route.dirs[*route.legs % kSlgPathSize];
        const uint32_t d = (code + 2u) & 3u;
        if (d != unit.dir) SetUnitDir(unit, d);
        if (Height(unit.cell_attr) != Height(FrontCellAttr(unit)))
          SetUnitState(unit, kUnitStateHeightChange);
        SaveLegStart(unit);
        unit.step = 1;
        return 0;
      }
      unit.step = 3;
      return 0;
    case 3:
      if (unit.state == kUnitStateHeightChange) return 0;
      return ArriveOnDest(unit, route.dest);
    case 4:
      return ArriveOnDest(unit, route.dest);
    default:
      return 0;
  }
}

int WalkPath(SlgUnit& unit) {
  BattleContext& b = Battle();
  if ((IsKeyTriggered(0) != 0 || IsKeyHeld(2) != 0) && b.fast_walk == 0) SetFastWalk(unit, 1);
  SlgSearchState& path = b.search;
  return WalkRoute(unit, {path.path_dir.data(), &path.path_count, path.move_dest}, 0);
}

int InViewArea(int32_t x, int32_t y) {
  return x >= -447 && x <= 447 && y >= -287 && y <= 351 ? 1 : 0;
}

uint16_t UnitAtRangeCell(int32_t x, int32_t y) {
  const SlgPoint snap = SnapPosToCell(x, y);
  const SlgCell c = PosToCell(snap.x, snap.y);
  const size_t index = static_cast<size_t>(c.row * kSlgGridColumns + c.column);
  if (Battle().search.range_cost[index] == kSlgCostUnreached) return kSlgNoUnit;
  return Battle().unit_grid[index];
}

uint8_t DirToward(const SlgUnit& unit, uint32_t other) {
  const SlgBattleState& s = State();
  if (other >= s.unit_count || other >= kSlgMaxUnits) return unit.dir;
  const SlgUnit& o = s.units[other];
  const int64_t dx = int64_t{o.x} - unit.x;
  const int64_t dy = int64_t{o.y} - unit.y;
  if (dx < 1) return dy < 1 ? 3 : 2;
  return dy > 0 ? 1 : 0;
}

uint16_t FindUnitByChara(uint8_t character) {
  const SlgBattleState& s = State();
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    // A dead record (step 255, until the purge) is no longer on the map: its callers look for
    // the hero who can cover or is covering.
    if (u.character == character && u.side <= 2 && u.step != kSlgDeadStep) return u.slot;
  }
  return kSlgNoUnit;
}

void ReleaseUnitSprites(SlgUnit& unit) {
  if (unit.anm2 != nullptr && unit.anm2->handle != nullptr) Units().ReleaseAnm(&unit.anm2->handle);
  if (unit.anm != nullptr && unit.anm->handle != nullptr) Units().ReleaseAnm(&unit.anm->handle);
  for (int i = 0; i < kSlgUnitAnimSlots; ++i) ReleaseUnitAnmSlot(unit, i);
}

void ReleaseAllUnitSprites() {
  SlgBattleState& s = State();
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i)
    ReleaseUnitSprites(s.units[static_cast<size_t>(i)]);
  ClearAnmObjPool();
}

}  // namespace Slg
