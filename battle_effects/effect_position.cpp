#include "battle_effects/effect_position.h"

#include <algorithm>
#include <array>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint32_t kOutside = 0xFFFFFFFFu;  // CellAttrAtPos outside the grid: every bit
constexpr uint32_t kBlockingBits = 0x400 | 0x800 | 0x1000;
constexpr int32_t kLineLimit = 2048;
constexpr std::array<SlgPair, 4> kLineSteps{
    {{48 * kPx, -24 * kPx}, {48 * kPx, 24 * kPx}, {-48 * kPx, 24 * kPx}, {-48 * kPx, -24 * kPx}}};

SlgPoint CellOf(const SlgPair& pos) { return SnapPosToCell(pos.x >> 16, pos.y >> 16); }

bool SameCell(const SlgPair& a, const SlgPair& b) {
  const SlgPoint p = CellOf(a);
  const SlgPoint q = CellOf(b);
  return p.x == q.x && p.y == q.y;
}

// The first listed target in the cell of pos (list order), or kSlgNoUnit.
uint16_t ListedTargetAt(const SlgPair& pos) {
  const BattleContext& b = Battle();
  const int n = std::min<int>(b.target_count, kSlgMaxUnits);
  for (int i = 0; i < n; ++i) {
    const int8_t slot = b.targets[static_cast<size_t>(i)];
    if (slot < 0) break;
    const SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
    if (SameCell({u.x, u.y}, pos)) return static_cast<uint16_t>(slot);
  }
  return kSlgNoUnit;
}

}  // namespace

SlgUnit* ListedTarget(int i) {
  BattleContext& b = Battle();
  if (i < 0 || i >= std::clamp<int>(b.target_count, 0, kSlgMaxUnits)) return nullptr;
  const int8_t slot = b.targets[static_cast<size_t>(i)];
  if (slot < 0 || !SlgSlotInUse(static_cast<uint32_t>(slot))) return nullptr;
  return &b.state.units[static_cast<size_t>(slot)];
}

int32_t AnmFrameOf(const SlgAnmObj* obj) {
  if (obj == nullptr || obj->handle == nullptr || !HasScene()) return 0;
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  return spx != nullptr ? spx->GetFrame(obj->handle) : 0;
}

int SamePosCell(const SlgPair& a, const SlgPair& b) { return SameCell(a, b) ? 1 : 0; }

SlgCellPoint SnapPosToCellHeight(int32_t x, int32_t y) {
  const SlgPoint p = SnapPosToCell(x >> 16, y >> 16);
  const SlgPair ground{p.x * kPx, p.y * kPx};
  return {ground, Slg::RaiseByCellHeight(ground)};
}

uint16_t TargetAtPos(const SlgPair& pos) {
  const BattleContext& b = Battle();
  if (b.target_count <= 0 || b.targets[0] < 0) return kSlgNoUnit;
  const uint16_t slot = ListedTargetAt(pos);
  return slot != kSlgNoUnit ? slot : static_cast<uint16_t>(b.targets[0]);
}

int IsTargetAtPos(const SlgPair& pos) { return ListedTargetAt(pos) != kSlgNoUnit ? 1 : 0; }

int CountLineCells(const SlgUnit& unit, int dir, int max) {
  if (dir < 0 || dir > 3 || max <= 0) return 0;
  const SlgPair step = kLineSteps[static_cast<size_t>(dir)];
  // The walk goes from ground point to ground point: each step lands on the next cell's point
  // whatever the heights, so it never drifts.
  SlgPair p = SnapPosToCellHeight(unit.x, unit.y).ground;
  const uint32_t height = Slg::CellAttrAtPos(p, kOutside) & kSlgCellHeightMask;
  p = {p.x + step.x, p.y + step.y};
  int count = 0;
  while ((p.x >> 16) <= kLineLimit) {
    if ((p.y >> 16) > kLineLimit || p.x < 0 || p.y < 0) return count;
    p = SnapPosToCellHeight(p.x, p.y).ground;
    const uint32_t attr = Slg::CellAttrAtPos(p, kOutside);
    const bool passes = (attr & kBlockingBits) == 0 && (attr & kSlgCellHeightMask) == height;
    if (passes) ++count;
    if (!passes || count >= max) return count;
    p = {p.x + step.x, p.y + step.y};
  }
  return count;
}
