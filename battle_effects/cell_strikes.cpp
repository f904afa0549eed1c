#include "battle_effects/cell_strikes.h"

#include <algorithm>
#include <array>

namespace {

constexpr int32_t kPx = 0x10000;
constexpr std::array<SlgPoint, 4> kCellSteps{{{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};

}  // namespace

CellStrike CellStrikeAt(const SlgPair& pos) {
  CellStrike s{};
  s.cell = SnapPosToCellHeight(pos.x, pos.y);
  s.screen = Slg::PosToScreen(s.cell.ground);
  s.target = IsTargetAtPos(s.cell.ground) != 0 ? TargetAtPos(s.cell.ground) : kSlgNoUnit;
  return s;
}

void CellStrikesAround(const SlgPair& centre, std::span<const SlgPoint> offsets,
                       std::span<CellStrike> out) {
  const size_t n = std::min(offsets.size(), out.size());
  for (size_t i = 0; i < n; ++i) {
    out[i] = CellStrikeAt({centre.x + offsets[i].x * kPx, centre.y + offsets[i].y * kPx});
  }
}

void CellStrikesAlong(const SlgPair& from, int dir, std::span<CellStrike> out) {
  const SlgPoint step = dir >= 0 && dir <= 3 ? kCellSteps[static_cast<size_t>(dir)] : SlgPoint{};
  SlgPair p = SnapPosToCellHeight(from.x, from.y).ground;
  for (CellStrike& s : out) {
    s = CellStrikeAt({p.x + step.x * kPx, p.y + step.y * kPx});
    p = s.cell.ground;
  }
}
