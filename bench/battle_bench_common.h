#pragma once
// What the battle benchmarks share: the sprite-buffer entry count, the long gauge, the
// scrolling map, the moving effects, a walker's endless leg, and the counters of the enemy
// decision benchmarks.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_command_state.h"
#include "battle/slg_draw.h"
#include "battle/slg_enemy.h"
#include "battle/slg_gauge.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"

namespace battle_bench {

// Sprite-buffer entries of the compose layers `first` to `last`.
inline int CountEntries(SurfaceId first, SurfaceId last) {
  int n = 0;
  for (SurfaceId id = first; id <= last; ++id) {
    SprBuffer* b = Ctx().ddraw_spr.FindBuffer(id, nullptr);
    if (b == nullptr) continue;
    for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
      for (SprLink* l = b->head[p].next; l != nullptr && l != &b->tail[p]; l = l->next) ++n;
    }
  }
  return n;
}

// The gauge: a long count down of one unit's life.
inline int StartGauge() {
  DGaugeValues v;
  v.life = 999;
  v.max_life = 999;
  v.kiai = 50;
  v.max_kiai = 100;
  return DGaugeTask(v, -990, 0, 0, 0);
}

// The map scrolled one pixel a frame (down half as fast), round again after 64 frames.
inline void ScrollOnePixel() {
  static int32_t scroll = 0;
  scroll = (scroll + 1) % 64;
  Battle().state.scroll_x = static_cast<int16_t>(scroll);
  Battle().state.scroll_y = static_cast<int16_t>(scroll / 2);
}

// A move range of 256 cells (a 16 x 16 block of rows in view) opening: shown after 12 frames.
inline void OpenRangeOf256Cells(BattleContext& b) {
  SlgSearchState& search = b.search;
  search.range_centre = {336, 264};
  search.range_count = 256;
  search.mode = 0;
  for (int i = 0; i < 256; ++i) {
    search.range_list[static_cast<size_t>(i)] = {
        static_cast<int16_t>(336 + 48 * (i % 16 - 8) + 24 * ((i / 16) & 1)),
        static_cast<int16_t>(264 + 24 * (i / 16 - 8))};
  }
  b.cmd.range_view = kSlgRangeOpen;
}

// The animation the effect movers play; set before they start.
inline SprAnm* g_effect_anm = nullptr;

// An effect: plays the effect animation on the SLG layer at its place of a grid of 8 a row, 80 x
// 100 px from (kX0, kY0), then moves it along a line by its frames count.
template <int kX0, int kY0>
void Mover(SlgEffectTask* t) {
  auto* obj = static_cast<SlgAnmObj*>(t->owned[0]);
  if (t->phase == 0) {
    obj->x = (t->index % 8 * 80 + kX0) << 16;
    obj->y = (t->index / 8 * 100 + kY0) << 16;
    obj->depth = -1000;
    SlgPlayAnm(g_effect_anm, t->index % 4, obj, kSlgSysSurface);
    SlgTaskNextPhase(t);
    return;
  }
  const int32_t step = t->frames % 64;
  SlgSprSetPos(obj->handle, SlgPair{obj->x + (step << 16), obj->y + ((step / 2) << 16)});
}

// A walking unit's leg stepped; when it is done, walked again from where it began at `now`.
inline void WalkAgainAndAgain(SlgUnit& u, uint32_t now) {
  if (u.state == kUnitStateWalk && Slg::UnitWalkStep(u) == 1) {
    u.x = u.walk_state[1];
    u.y = u.walk_state[2];
    u.walk_state[0] = static_cast<int32_t>(now);
  }
}

// The counters of a run of enemy decisions: allocations per iteration, the time per decision,
// and how many decisions ended in each phase step.
inline void DecisionCounters(benchmark::State& state, uint64_t allocations, int deciders,
                             const std::array<int, 256>& roads) {
  const double iterations = static_cast<double>(state.iterations());
  state.counters["allocs/iter"] = static_cast<double>(allocations) / iterations;
  state.counters["us/decision"] = benchmark::Counter(
      static_cast<double>(deciders) * iterations,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["walk"] = roads[kEnemyPhaseWalk];
  state.counters["attack"] = roads[kEnemyPhaseAttack];
  state.counters["support"] = roads[kEnemyPhaseSupport];
  state.counters["guard"] = roads[kEnemyPhaseGuard];
  state.counters["end"] = roads[kEnemyPhaseThink];
}

}  // namespace battle_bench
