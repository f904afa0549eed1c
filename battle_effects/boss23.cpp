// The attacks of the boss of kind 23, on the boss frame (battle_effects/boss_frame.h) and the
// shapes it shares with kind 24 (battle_effects/falling_strikes.h).
//
// Special: the boss before its background with falling rocks, a growing orb and twelve flames
// that rise from an ellipse with their trails; after a white-out, back on the map, thirteen
// meteors with trails strike the cells round the attacked unit.
// Normal: a body, three swings and two further objects by direction.

#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/falling_strikes.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "engine/core/debug_trace.h"

namespace Boss23 {

namespace {

constexpr int32_t kPx = kFallPx;

// ---- Tables ----

constexpr BossSpecialShape kShape{.layer_mode = 3, .enter_fade = 32, .return_fade = 32};
constexpr uint16_t kMirrored = 16;

// Slot 7 (boss) and slot 8 (effects) animations.
constexpr uint32_t kBossAnm = 1;
constexpr BossDirAnm kMapBody{{2, 0, 0, 2}, 0};
constexpr uint32_t kOrbAnm = 14, kOrbGlowAnm = 15, kOrbGrowAnm = 16, kOrbRingAnm = 18;
constexpr SlgPair kOrbGrowPlace{-80 * kPx, 64 * kPx};
constexpr uint32_t kFlameAnm = 0, kTrailAnm = 1, kMeteorAnm = 2;

constexpr int kRocks = 12;
constexpr SpawnRule kRockRule{
    .interval = 12, .first = 1, .limit = kRocks, .number = SpawnNumber::kRunning};

constexpr int kFlames = 12;
constexpr int kTrails = 4;
constexpr std::array<int32_t, kTrails> kTrailDelay{1, 5, 9, 13};
constexpr std::array<int8_t, kFlames> kFlameDepth{-4, -4, -4, -4, -4, -4, 4, 4, 4, 4, 4, 4};
constexpr SpawnRule kFlameRule{
    .interval = 8, .first = 8, .limit = kFlames, .number = SpawnNumber::kRunning};

constexpr int kMeteors = static_cast<int>(kStrikers);
constexpr std::array<int8_t, kMeteors> kMeteorDepth{-1, -1, 1, 1, -1, -1, 1, 1, -1, -1, 1, 1, -1};
constexpr std::array<int8_t, kMeteors> kMeteorEmptyDepth{-1, -1, 1, 1, -1, -1, 1, 1,
                                                         -1, -1, 1, 1, 2};
constexpr SpawnRule kMeteorRule{
    .interval = 8, .first = 8, .limit = kMeteors, .number = SpawnNumber::kRunning};
constexpr int32_t kMeteorRaise = 360 * kPx;
constexpr int32_t kMeteorFirstSpeed = 2 * kPx;

// ---- Special attack ----

// A trail: once its delay from its owner's start has passed it plays once at the owner's
// current place, and again there whenever it has ended.
void StepTrails(std::span<SlgAnmObj* const> trails, SprAnm* set, int32_t frames,
                const SlgPair& at, int depth) {
  for (size_t k = 0; k < trails.size(); ++k) {
    if (frames < kTrailDelay[k]) continue;
    if (SlgAnmObjIsEnd(trails[k]) != 0) {
      BossPlay(trails[k], set, kTrailAnm, at, depth, 0, kSlgAnmOnce);
    }
  }
}

enum class FlameState : uint8_t { kIdle, kBurning, kRising, kDone };

struct Flame {
  SlgPair place;
  uint32_t start;  // of its rise
  FlameState state;
};

// A landed meteor's stages: its first landing animation, then its second.
constexpr uint8_t kMeteorFirst = kStrikeLanded, kMeteorSecond = kStrikeLanded + 1;

struct SpecialWork : BossBase {
  SlgAnmObj* boss[1];
  std::array<SlgAnmObj*, kRocks> rocks;
  std::array<SlgAnmObj*, 3> orbs;
  std::array<SlgAnmObj*, kFlames> flames;
  std::array<SlgAnmObj*, kFlames * kTrails> flame_trails;
  std::array<SlgAnmObj*, kMeteors> meteors;
  std::array<SlgAnmObj*, kMeteors * kTrails> meteor_trails;

  Spawner rock_spawn;
  uint32_t rock_start;
  uint32_t orb_start;
  std::array<Flame, kFlames> flame;
  Spawner flame_spawn;
  uint32_t flame_start;
  int32_t flames_done;
  Strikers strikes;
  int32_t raise;  // 360 px + the saved drawing y
  SlgPair saved;  // the acting unit's drawing position at the scene's start
};

int UnitDepth(const SpecialWork& w) { return BossUnitDepth(*w.unit); }

std::array<BossObjList, 7> SpecialLists(SpecialWork& w) {
  return {{{w.boss, 1},
           {w.rocks.data(), kRocks},
           {w.orbs.data(), 3},
           {w.flames.data(), kFlames},
           {w.flame_trails.data(), kFlames * kTrails},
           {w.meteors.data(), kMeteors},
           {w.meteor_trails.data(), kMeteors * kTrails}}};
}

// The four trails of flame or meteor i.
template <size_t N>
std::span<SlgAnmObj* const> TrailsOf(const std::array<SlgAnmObj*, N>& a, int i) {
  return std::span<SlgAnmObj* const>(a).subspan(static_cast<size_t>(i * kTrails), kTrails);
}

int SetUp(SpecialWork& w) {
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  if (!BossAllocObjs(w, SpecialLists(w))) return kTimelineStop;
  Rect rect{};
  if (LoadAttackBg(*w.unit, 0, SURFACE_ROOT, &rect) == 0) {
    DebugPrint("Boss23: kind %d has no background 0\n", w.unit->kind);
  }
  BossSceneOn(w, kShape);
  return kTimelineNextRow;
}

int EnterScene(SpecialWork& w) {
  w.saved = w.pos;
  BossPlay(w.boss[0], w.anms.body, kBossAnm, {0, 0}, UnitDepth(w), kMirrored,
           kSlgAnmStartStopped);
  BossEnterScene(kShape);
  return kTimelineNextRow;
}

int SceneOpens(SpecialWork& w) {
  BossStartObj(w.boss[0]);
  w.rock_spawn = {};
  w.rock_start = TimelineNow();
  BossPlay(w.orbs[0], w.anms.effect, kOrbAnm, {0, 0}, UnitDepth(w) - 2, kMirrored, kSlgAnmOnce);
  BossPlay(w.orbs[1], w.anms.effect, kOrbGlowAnm, {0, 0}, UnitDepth(w) - 1, kMirrored,
           kSlgAnmOnce);
  return kTimelineNextRow;
}

void Rocks(SpecialWork& w) {
  const int32_t i = SpawnDue(w.rock_spawn, kRockRule, TimelineFrames(w.rock_start));
  for (int k = 0; k < w.rock_spawn.started; ++k) {
    SlgAnmObj* obj = w.rocks[static_cast<size_t>(k)];
    if (k != i && SlgAnmObjIsEnd(obj) == 0) continue;
    const SpawnPick p = PickRock();
    BossPlay(obj, w.anms.effect, p.anm, {p.x, 0}, UnitDepth(w) + static_cast<int>(p.anm), 0,
             kSlgAnmOnce);
  }
}

void Orb(SpecialWork& w) {
  const int32_t z = OrbZoom(TimelineFrames(w.orb_start));
  if (w.orbs[0] != nullptr) SlgSprSetZoom(w.orbs[0]->handle, {z, z});
}

int OrbGrows(SpecialWork& w) {
  BossPlay(w.orbs[0], w.anms.effect, kOrbGrowAnm, kOrbGrowPlace, UnitDepth(w) - 2, kMirrored, 0);
  SlgSprSetZoom(w.orbs[0]->handle, {kPx, kPx});
  BossPlay(w.orbs[2], w.anms.effect, kOrbRingAnm, {0, 0}, UnitDepth(w) - 1, kMirrored, 0);
  w.orb_start = TimelineNow();
  for (int i = 0; i < kFlames; ++i) w.flame[static_cast<size_t>(i)] = {FlamePlace(i), 0, {}};
  w.flame_spawn = {};
  w.flame_start = TimelineNow();
  w.flames_done = 0;
  return kTimelineNextRow;
}

void Flames(SpecialWork& w) {
  const int32_t due = SpawnDue(w.flame_spawn, kFlameRule, TimelineFrames(w.flame_start));
  int done = 0;
  for (int i = 0; i < kFlames; ++i) {
    Flame& f = w.flame[static_cast<size_t>(i)];
    SlgAnmObj* obj = w.flames[static_cast<size_t>(i)];
    const int depth = UnitDepth(w) + kFlameDepth[static_cast<size_t>(i)];
    if (i == due) {
      BossPlay(obj, w.anms.effect, kFlameAnm, f.place, depth, 0, kSlgAnmOnce);
      f.state = FlameState::kBurning;
      continue;
    }
    if (f.state == FlameState::kBurning && SlgAnmObjIsEnd(obj) != 0) {
      f.state = FlameState::kRising;
      f.start = TimelineNow();
    }
    if (f.state == FlameState::kRising) {
      const int32_t frames = TimelineFrames(f.start);
      const FlameRise r = FlameRiseAt(f.place.y, frames);
      const SlgPair at{f.place.x, r.y};
      if (r.gone) {
        BossRelease(obj);
        for (SlgAnmObj* t : TrailsOf(w.flame_trails, i)) BossRelease(t);
        f.state = FlameState::kDone;
      } else {
        BossFollow(obj, at);
        StepTrails(TrailsOf(w.flame_trails, i), w.anms.effect, frames, at, depth);
      }
    }
    if (f.state == FlameState::kDone) ++done;
  }
  w.flames_done = done;
}

void SceneBeforeFlames(SpecialWork& w) {
  Rocks(w);
  Orb(w);
}

void SceneWithFlames(SpecialWork& w) {
  Rocks(w);
  Orb(w);
  Flames(w);
}

int FlamesGone(SpecialWork& w) {
  BossFreeObjs({{w.rocks.data(), kRocks},
                {w.flames.data(), kFlames},
                {w.flame_trails.data(), kFlames * kTrails}});
  SlgWhiteOut(32);
  return kTimelineNextRow;
}

int SceneGone(SpecialWork& w) {
  BossFreeObjs({{w.orbs.data(), 3}});
  BossRelease(w.boss[0]);
  SlgClearLayer(SURFACE_ROOT);
  return kTimelineNextRow;
}

int ReturnToMap(SpecialWork& w) {
  SlgEffectTask* no_scroll = nullptr;
  BossReturnToMap(kShape, no_scroll);
  BossPlayDir(w.boss[0], w.anms.body, kMapBody, w, 0);
  return kTimelineNextRow;
}

// The meteor's place at its drop: up by raise - drop and sideways toward the landing point.
SlgPair MeteorAt(const SpecialWork& w, const SlgPair& land, int32_t drop) {
  const int32_t left = w.raise - drop;
  const bool from_left = (w.unit->dir & 3u) < 2;
  return {from_left ? land.x - left : land.x + left, land.y - left};
}

int MakeMeteors(SpecialWork& w) {
  BossShadowOn();
  const SlgUnit& attacked = BossAttackedUnit(*w.unit);
  std::array<CellStrike, kMeteors> strikes;
  MakeStrikers(w.strikes, {attacked.x, attacked.y}, strikes);
  w.raise = kMeteorRaise + w.saved.y;
  const uint16_t attr = BossUnitAttr(*w.unit);
  for (int i = 0; i < kMeteors; ++i) {
    BossPlay(w.meteors[static_cast<size_t>(i)], w.anms.effect, kMeteorAnm,
             MeteorAt(w, strikes[static_cast<size_t>(i)].screen, 0),
             UnitDepth(w) + kMeteorDepth[static_cast<size_t>(i)], attr, 0);
  }
  return kTimelineNextRow;
}

// The landing animations of meteor i by what stands on its cell.
LandingAnms LandingOf(const SpecialWork& w, int i) {
  const uint16_t target = w.strikes.all[static_cast<size_t>(i)].target;
  const bool on_target = target != kSlgNoUnit;
  return MeteorLanding(on_target, on_target ? Battle().state.units[target].side : 0);
}

// A meteor reaching its cell: its first landing animation, before a target or at the empty
// cell's depth.
void Land(SpecialWork& w, int i, const SlgPair& at) {
  Striker& k = w.strikes.all[static_cast<size_t>(i)];
  SlgAnmObj* obj = w.meteors[static_cast<size_t>(i)];
  const int depth = k.target != kSlgNoUnit
                        ? BossUnitDepth(Battle().state.units[k.target]) - 1
                        : UnitDepth(w) + kMeteorEmptyDepth[static_cast<size_t>(i)];
  BossRelease(obj);
  BossPlay(obj, w.anms.effect, LandingOf(w, i).first, at, depth, BossUnitAttr(*w.unit),
           kSlgAnmOnce);
  k.stage = kMeteorFirst;
}

void Meteors(SpecialWork& w) {
  StepStrikers(
      w.strikes, kMeteorRule, {w.raise, kMeteorFirstSpeed},
      [&w](int i, const SlgPair& land, int32_t drop, int32_t frames) {
        SlgAnmObj* obj = w.meteors[static_cast<size_t>(i)];
        const SlgPair at = MeteorAt(w, land, drop);
        BossFollow(obj, at);
        // While it waits (frames 0) no trail is due yet.
        StepTrails(TrailsOf(w.meteor_trails, i), w.anms.effect, frames, at, obj->depth);
      },
      [&w](int i, const SlgPair& land) { Land(w, i, land); },
      [&w](int i, const SlgPair& land) {
        Striker& k = w.strikes.all[static_cast<size_t>(i)];
        SlgAnmObj* obj = w.meteors[static_cast<size_t>(i)];
        if (SlgAnmObjIsEnd(obj) == 0) return;
        const int depth = obj->depth;
        BossRelease(obj);
        if (k.stage == kMeteorFirst) {
          BossPlay(obj, w.anms.effect, LandingOf(w, i).second, land, depth, BossUnitAttr(*w.unit),
                   kSlgAnmOnce);
          k.stage = kMeteorSecond;
        } else {
          k.stage = kStrikeDone;
        }
      });
}

int FinishSpecial(SpecialWork& w) {
  BossFreeObjs(SpecialLists(w));
  BossFinish(w, kShape.event_flag);
  return kTimelineStop;
}

using SW = TimelineWait<SpecialWork>;
constexpr TimelineRow<SpecialWork> kSpecial[] = {
    {SW::AtOnce(), &SetUp},                                                               // 0
    {SW::AtOnce(), &EnterScene},                                                          // 1
    {SW::FadeEnd(), &SceneOpens},                                                         // 2
    // The orb grows only once it plays 16 (from the end of step 3).
    {SW::AnmEnd([](SpecialWork& w) { return w.orbs[0]; }), &OrbGrows, kTimelineNextRow, 0,
     &Rocks},                                                                             // 3
    {SW::AtOnce(), nullptr, kTimelineNextRow, 0, &SceneBeforeFlames},                     // 4
    {SW::Counter([](SpecialWork& w) { return w.flames_done; }, kFlames), &FlamesGone,
     kTimelineNextRow, 0, &SceneWithFlames},                                              // 5
    {SW::FadeEnd(), &SceneGone, kTimelineNextRow, 0, &Orb},                               // 6
    {SW::AtOnce(), &ReturnToMap},                                                         // 7
    {SW::FadeEnd(), &MakeMeteors},                                                        // 8
    {SW::Counter([](SpecialWork& w) { return w.strikes.done; }, kMeteors), &FinishSpecial,
     kTimelineNextRow, 0, &Meteors},                                                      // 9
};

// ---- Normal attack ----

constexpr BossDirAnm kNormalBody{{1, 0, 0, 1}, 0};
constexpr std::array<BossDirAnm, 3> kSwings{
    {{{2, 0, 0, 2}, -1}, {{3, 1, 1, 3}, 1}, {{9, 8, 8, 9}, -1}}};
// The two further objects: animation by direction, the depth offset by direction for both.
constexpr std::array<std::array<uint8_t, 4>, 2> kFurtherAnm{{{6, 4, 4, 6}, {7, 5, 5, 7}}};
constexpr std::array<int8_t, 4> kFurtherDepth{1, -1, -1, 1};

struct NormalWork : BossBase {
  SlgAnmObj* body[1];
  SlgAnmObj* effects[5];  // three swings, two further objects
};

int NormalSetUp(NormalWork& w) {
  if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;
  if (!BossAllocObjs(w, {{w.body, 1}, {w.effects, 5}})) return kTimelineStop;
  return kTimelineNextRow;
}

int Swing(NormalWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kNormalBody, w, 0);
  for (size_t k = 0; k < kSwings.size(); ++k) {
    BossPlayDir(w.effects[k], w.anms.effect, kSwings[k], w, kSlgAnmOnce);
  }
  const size_t dir = w.unit->dir & 3u;
  for (size_t k = 0; k < kFurtherAnm.size(); ++k) {
    BossPlayDir(w.effects[3 + k], w.anms.effect, {kFurtherAnm[k], kFurtherDepth[dir]}, w,
                kSlgAnmOnce);
  }
  return kTimelineNextRow;
}

int FinishNormal(NormalWork& w) {
  BossFreeObjs({{w.body, 1}, {w.effects, 5}});
  BossFinish(w, 0);
  return kTimelineStop;
}

using NW = TimelineWait<NormalWork>;
constexpr TimelineRow<NormalWork> kNormal[] = {
    {NW::AtOnce(), &NormalSetUp},  // 0
    {NW::AtOnce(), &Swing},        // 1
    // The body is not waited for.
    {NW::Counter([](NormalWork& w) { return BossObjsEnded(w.effects); }, 1), &FinishNormal},  // 2
};

// The family's battle block.
using Boss23Work = BossFamilyWork<SpecialWork, NormalWork>;

}  // namespace

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kNormal, unit, pos, Battle().Extension<Boss23Work>().normal);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecial, unit, pos, Battle().Extension<Boss23Work>().special);
}

}  // namespace Boss23
