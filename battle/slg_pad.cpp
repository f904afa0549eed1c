#include "battle/slg_pad.h"

#include "battle/battle_context.h"
#include "battle/slg_sound.h"
#include "engine/core/debug_trace.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int kKeyOk = 0;
constexpr int kKeyCancel = 1;
constexpr int kSeOk = 15;
constexpr int kSeCancel = 17;

// Whether the acting unit is of another side than the player's (no acting unit: the player).
bool EnemyActs() {
  const SlgBattleState& s = Battle().state;
  if (s.acting_unit >= s.unit_count || s.acting_unit >= kSlgMaxUnits) return false;
  return s.units[s.acting_unit].side != 0;
}

int Press(int key, int se, const char* trace) {
  if (IsKeyTriggered(key) == 0) return 0;
  if (se >= 0) SlgSePlay(se);
  DebugPrint("%s", trace);
  return 1;
}

}  // namespace

namespace Slg {

int IsPressMenu() { return EnemyActs() ? 1 : Press(kKeyOk, kSeOk, "Press Menu\n"); }

int IsPressOK() { return EnemyActs() ? 1 : Press(kKeyOk, kSeOk, "Press OK\n"); }

int IsPressInfo() { return EnemyActs() ? 1 : Press(kKeyCancel, -1, "Press Info\n"); }

int IsPressCancel() { return EnemyActs() ? 0 : Press(kKeyCancel, kSeCancel, "Press Cancel\n"); }

int IsPressExtra() { return 0; }

}  // namespace Slg
