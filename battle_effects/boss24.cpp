// The attacks of the boss of kind 24, on the boss frame (battle_effects/boss_frame.h) and the
// shapes it shares with kind 23 (battle_effects/falling_strikes.h).
//
// Special: the boss and its effect play before a background that starts to shake; sparks fly,
// columns and tops rise off the screen one after another, then two late objects; after a
// white-out the map comes back and thirteen stones fall on the cells round the attacked unit,
// striking a target where one stands and blinking on an empty cell.
// Normal: a body and an effect by direction and one hit on every target.

#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/falling_strikes.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace Boss24 {

namespace {

constexpr int32_t kPx = kFallPx;

// ---- Tables ----

constexpr BossSpecialShape kShape{.layer_mode = 2, .enter_fade = 32, .return_fade = 32};
constexpr uint16_t kMirrored = 16;
constexpr SlgPair kScenePlace{0, 96 * kPx};

// Slot 7 (boss) and slot 8 (effects) animations.
constexpr uint32_t kBossAnm = 0, kBossReplayAnm = 1;
constexpr uint32_t kEffectAnm = 13, kEffectReplayAnm = 19, kBigAnm = 14, kStoneHitAnm = 20;
constexpr BossDirAnm kMapBody{{3, 2, 2, 3}, 0};
constexpr SlgPoint kBigPlace{272, 224};
constexpr int kBigDepth = 511;

struct RiserLook {
  uint32_t anm;
  int8_t depth;
  SlgPoint place;  // pixels
  int32_t delay;   // frames from the start of the rise
};
constexpr int kColumns = 8, kTops = 5, kLate = 2, kRisers = kColumns + kTops;
constexpr std::array<RiserLook, kColumns> kColumnLook{{{2, -8, {-256, 80}, 4},
                                                       {3, -12, {256, 176}, 12},
                                                       {4, 8, {224, 48}, 20},
                                                       {5, 16, {32, -64}, 28},
                                                       {6, 12, {-96, -32}, 36},
                                                       {10, -16, {272, 320}, 44},
                                                       {11, -16, {112, 320}, 52},
                                                       {12, -16, {-208, 320}, 60}}};
constexpr std::array<RiserLook, kTops> kTopLook{{{7, -8, {240, 112}, 4},
                                                 {8, 12, {-256, 16}, 12},
                                                 {8, 16, {-256, -32}, 20},
                                                 {9, 12, {224, 0}, 28},
                                                 {9, 16, {224, -64}, 36}}};
constexpr std::array<RiserLook, kLate> kLateLook{{{12, -16, {192, 320}, 92},
                                                  {10, -16, {-48, 320}, 100}}};
constexpr int32_t kRiserBase = 240, kLateBase = 224;

constexpr int kSparks = 12;
constexpr SpawnRule kSparkRule{
    .interval = 12, .first = 1, .limit = kSparks, .number = SpawnNumber::kRunning};
constexpr int32_t kSparkY = -144 * kPx;
constexpr int kSparkDepth = 16;

constexpr int kStones = static_cast<int>(kStrikers);
constexpr std::array<int8_t, kStones> kStoneDepth{-1, -1, 1, 1, -1, -1, 1, 1, -1, -1, 1, 1, 3};
constexpr SpawnRule kStoneRule{
    .interval = 8, .first = 1, .limit = kStones, .number = SpawnNumber::kRunning};
constexpr int32_t kStoneRaise = 240 * kPx;
constexpr int32_t kBlinkPeriod = 2, kBlinkFrames = 20;

// ---- Special attack ----

enum class RiseState : uint8_t { kWaiting, kRising, kGone };

struct Riser {
  SlgPair place;
  int32_t speed;
  int32_t delay;
  uint32_t start;
  RiseState state;
};

// A landed stone's stages: its hit playing on a target, or blinking on an empty cell.
constexpr uint8_t kStoneHit = kStrikeLanded, kStoneBlinking = kStrikeLanded + 1;

struct SpecialWork : BossBase {
  SlgAnmObj* boss[1];
  SlgAnmObj* effect[1];
  SlgAnmObj* big[1];
  std::array<SlgAnmObj*, kRisers> risers;  // the columns, then the tops
  std::array<SlgAnmObj*, kLate> late;
  std::array<SlgAnmObj*, kSparks> sparks;
  std::array<SlgAnmObj*, kStones> stones;

  std::array<Riser, kRisers> riser;
  std::array<Riser, kLate> late_riser;
  uint32_t rise_start;
  int32_t risers_gone;
  Spawner spark_spawn;
  uint32_t spark_start;
  uint32_t shake_start;
  Strikers strikes;
  int32_t raise;  // of the stones: 240 px + the boss's drawing y
  BossPicture background;
};

int UnitDepth(const SpecialWork& w) { return BossUnitDepth(*w.unit); }

std::array<BossObjList, 7> SpecialLists(SpecialWork& w) {
  return {{{w.boss, 1},
           {w.effect, 1},
           {w.big, 1},
           {w.risers.data(), kRisers},
           {w.late.data(), kLate},
           {w.sparks.data(), kSparks},
           {w.stones.data(), kStones}}};
}

int SetUp(SpecialWork& w) {
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  if (!BossAllocObjs(w, SpecialLists(w))) return kTimelineStop;
  BossCutPicture(*w.unit, 0, SURFACE_ROOT, false, w.background);
  SlgClearLayer(SURFACE_ROOT);
  BossShowPicture(w.background, 0, 0, 511);
  BossSceneOn(w, kShape);
  return kTimelineNextRow;
}

int EnterScene(SpecialWork& w) {
  BossPlay(w.boss[0], w.anms.body, kBossAnm, kScenePlace, UnitDepth(w), kMirrored,
           kSlgAnmOnce | kSlgAnmStartStopped);
  BossPlay(w.effect[0], w.anms.effect, kEffectAnm, kScenePlace, UnitDepth(w) - 1, kMirrored,
           kSlgAnmOnce | kSlgAnmStartStopped);
  BossEnterScene(kShape);
  return kTimelineNextRow;
}

int StartBoth(SpecialWork& w) {
  BossStartObj(w.boss[0]);
  BossStartObj(w.effect[0]);
  return kTimelineNextRow;
}

int32_t BothEnded(SpecialWork& w) {
  const std::array<SlgAnmObj*, 2> both{w.boss[0], w.effect[0]};
  return BossObjsEnded(both);
}

int ReplayBoth(SpecialWork& w) {
  BossPlay(w.boss[0], w.anms.body, kBossReplayAnm, kScenePlace, UnitDepth(w), kMirrored, 0);
  BossPlay(w.effect[0], w.anms.effect, kEffectReplayAnm, kScenePlace, UnitDepth(w) - 1, kMirrored,
           0);
  w.spark_spawn = {};
  w.spark_start = TimelineNow();
  return kTimelineNextRow;
}

void Sparks(SpecialWork& w) {
  const int32_t i = SpawnDue(w.spark_spawn, kSparkRule, TimelineFrames(w.spark_start));
  const int depth = UnitDepth(w) + kSparkDepth;
  if (i >= 0) {
    const SpawnPick p = PickSpark(false);
    BossPlay(w.sparks[static_cast<size_t>(i)], w.anms.effect, p.anm, {p.x, kSparkY},
             depth + static_cast<int>(p.anm), 0, kSlgAnmOnce);
  }
  // A spark that has ended plays again elsewhere (only the first of this frame's new ones has
  // just started).
  for (int k = 0; k < w.spark_spawn.started; ++k) {
    if (k == i) continue;
    SlgAnmObj* obj = w.sparks[static_cast<size_t>(k)];
    if (SlgAnmObjIsEnd(obj) == 0) continue;
    const SpawnPick p = PickSpark(true);
    BossPlay(obj, w.anms.effect, p.anm, {p.x, kSparkY}, depth + static_cast<int>(p.anm), 0,
             kSlgAnmOnce);
  }
}

// The shake: the background at x = 2 x offset, the big object at its place + offset.
void Shake(SpecialWork& w) {
  const int32_t offset = ShakeOffsetAtFrame(TimelineFrames(w.shake_start));
  BossShowPicture(w.background, 2 * (offset / kPx), 0, 511);
  BossFollow(w.big[0], {kBigPlace.x * kPx + offset, kBigPlace.y * kPx});
}

Riser MakeRiser(const RiserLook& look, int32_t base) {
  const SlgPair place{look.place.x * kPx, look.place.y * kPx};
  return {place, RiserSpeed(place.y, base), look.delay, TimelineNow(), RiseState::kWaiting};
}

int StartColumns(SpecialWork& w) {
  const int depth = UnitDepth(w);
  for (int i = 0; i < kRisers; ++i) {
    const bool column = i < kColumns;
    const RiserLook& look = column ? kColumnLook[static_cast<size_t>(i)]
                                   : kTopLook[static_cast<size_t>(i - kColumns)];
    Riser& r = w.riser[static_cast<size_t>(i)];
    r = MakeRiser(look, kRiserBase);
    BossPlay(w.risers[static_cast<size_t>(i)], w.anms.effect, look.anm, r.place,
             depth + look.depth, 0, column ? kSlgAnmStartStopped : 0);
  }
  w.shake_start = TimelineNow();
  BossPlay(w.big[0], w.anms.effect, kBigAnm, {kBigPlace.x * kPx, kBigPlace.y * kPx}, kBigDepth, 0,
           0);
  return kTimelineNextRow;
}

// One riser's frame: waiting, it stands at its place shaken; once its delay from `from` has
// passed it starts (a stopped object is started) and rises from its place until it is gone.
// `hold`: the rise has not begun; the riser's clock stays at 0.
void StepRiser(SpecialWork& w, Riser& r, SlgAnmObj* obj, uint32_t from, bool hold) {
  if (r.state == RiseState::kGone) return;
  if (r.state == RiseState::kWaiting) {
    if (hold || TimelineFrames(from) < r.delay) {
      r.start = TimelineNow();
      const int32_t offset = ShakeOffsetAtFrame(TimelineFrames(w.shake_start));
      BossFollow(obj, {r.place.x + offset, r.place.y});
      return;
    }
    r.state = RiseState::kRising;
    r.start = TimelineNow();
    BossStartObj(obj);
  }
  const RiserPos p = RiserAt(r.place.y, r.speed, TimelineFrames(r.start));
  if (p.gone) {
    BossRelease(obj);
    r.state = RiseState::kGone;
    return;
  }
  BossFollow(obj, {r.place.x, p.y});
}

void Risers(SpecialWork& w, bool hold) {
  int gone = 0;
  for (int i = 0; i < kRisers; ++i) {
    StepRiser(w, w.riser[static_cast<size_t>(i)], w.risers[static_cast<size_t>(i)], w.rise_start,
              hold);
    if (w.riser[static_cast<size_t>(i)].state == RiseState::kGone) ++gone;
  }
  w.risers_gone = gone;
}

void LateRisers(SpecialWork& w) {
  for (int i = 0; i < kLate; ++i) {
    StepRiser(w, w.late_riser[static_cast<size_t>(i)], w.late[static_cast<size_t>(i)],
              w.rise_start, false);
  }
}

void HeldScene(SpecialWork& w) {
  Shake(w);
  Risers(w, true);
  Sparks(w);
}

int MakeLate(SpecialWork& w) {
  const int depth = UnitDepth(w);
  for (int i = 0; i < kLate; ++i) {
    const RiserLook& look = kLateLook[static_cast<size_t>(i)];
    Riser& r = w.late_riser[static_cast<size_t>(i)];
    r = MakeRiser(look, kLateBase);
    BossPlay(w.late[static_cast<size_t>(i)], w.anms.effect, look.anm, r.place, depth + look.depth,
             0, kSlgAnmStartStopped);
  }
  w.rise_start = TimelineNow();
  return kTimelineNextRow;
}

void RiseScene(SpecialWork& w) {
  Shake(w);
  Sparks(w);
  Risers(w, false);
  LateRisers(w);
}

int RisersGone(SpecialWork& w) {
  BossFreeObjs({{w.risers.data(), kRisers}});
  SlgWhiteOut(32);
  return kTimelineNextRow;
}

void LateScene(SpecialWork& w) {
  Shake(w);
  Sparks(w);
  LateRisers(w);
}

int SceneGone(SpecialWork& w) {
  BossFreeObjs({{w.effect, 1}, {w.big, 1}, {w.sparks.data(), kSparks}, {w.late.data(), kLate}});
  BossDeletePicture(w.background);
  return kTimelineNextRow;
}

int ReturnToMap(SpecialWork& w) {
  SlgEffectTask* no_scroll = nullptr;
  BossReturnToMap(kShape, no_scroll);
  BossPlayDir(w.boss[0], w.anms.body, kMapBody, w, 0);
  return kTimelineNextRow;
}

int MakeStones(SpecialWork& w) {
  BossShadowOn();
  const SlgUnit& attacked = BossAttackedUnit(*w.unit);
  std::array<CellStrike, kStones> strikes;
  MakeStrikers(w.strikes, {attacked.x, attacked.y}, strikes);
  w.raise = kStoneRaise + w.pos.y;
  for (int i = 0; i < kStones; ++i) {
    const CellStrike& s = strikes[static_cast<size_t>(i)];
    BossPlay(w.stones[static_cast<size_t>(i)], w.anms.effect, PickStoneAnm(),
             {s.screen.x, s.screen.y - w.raise},
             UnitDepth(w) + kStoneDepth[static_cast<size_t>(i)], 0, 0);
  }
  return kTimelineNextRow;
}

// A stone reaching its cell: on a target its hit, on an empty cell it blinks there.
void Land(SpecialWork& w, int i, const SlgPair& at) {
  Striker& k = w.strikes.all[static_cast<size_t>(i)];
  SlgAnmObj* obj = w.stones[static_cast<size_t>(i)];
  if (k.target != kSlgNoUnit) {
    const SlgUnit& target = Battle().state.units[k.target];
    BossRelease(obj);
    BossPlay(obj, w.anms.effect, kStoneHitAnm, at, BossUnitDepth(target) - 1,
             BossUnitAttr(*w.unit), kSlgAnmOnce);
    k.stage = kStoneHit;
  } else {
    BossFollow(obj, at);
    if (SpxAnimeKind* spx = Scene().tamvik_spr.spx()) spx->SetBlink(obj->handle, kBlinkPeriod);
    k.stage = kStoneBlinking;
  }
}

void Stones(SpecialWork& w) {
  StepStrikers(
      w.strikes, kStoneRule, {w.raise, kPx},
      [&w](int i, const SlgPair& land, int32_t drop, int32_t) {
        BossFollow(w.stones[static_cast<size_t>(i)], {land.x, land.y - w.raise + drop});
      },
      [&w](int i, const SlgPair& land) { Land(w, i, land); },
      [&w](int i, const SlgPair&) {
        Striker& k = w.strikes.all[static_cast<size_t>(i)];
        SlgAnmObj* obj = w.stones[static_cast<size_t>(i)];
        const bool over = k.stage == kStoneHit ? SlgAnmObjIsEnd(obj) != 0
                                               : TimelineFrames(k.start) >= kBlinkFrames;
        if (!over) return;
        BossRelease(obj);
        k.stage = kStrikeDone;
      });
}

int FinishSpecial(SpecialWork& w) {
  BossDeletePicture(w.background);
  BossFreeObjs(SpecialLists(w));
  BossFinish(w, kShape.event_flag);
  return kTimelineStop;
}

using SW = TimelineWait<SpecialWork>;
constexpr TimelineRow<SpecialWork> kSpecial[] = {
    {SW::AtOnce(), &SetUp},                                                          // 0
    {SW::AtOnce(), &EnterScene, kTimelineNextRow, kTimelineChain},                   // 1
    {SW::FadeEnd(), &StartBoth},                                                     // 2
    {SW::Counter(&BothEnded, 1), &ReplayBoth},                                       // 3
    {SW::Frames(64), &StartColumns, kTimelineNextRow, 0, &Sparks},                   // 4
    {SW::Frames(64), &MakeLate, kTimelineNextRow, 0, &HeldScene},                    // 5
    {SW::Counter([](SpecialWork& w) { return w.risers_gone; }, kRisers), &RisersGone,
     kTimelineNextRow, 0, &RiseScene},                                               // 6
    {SW::FadeEnd(), &SceneGone, kTimelineNextRow, 0, &LateScene},                    // 7
    {SW::AtOnce(), &ReturnToMap},                                                    // 8
    {SW::FadeEnd(), &MakeStones},                                                    // 9
    {SW::Counter([](SpecialWork& w) { return w.strikes.done; }, kStones), &FinishSpecial,
     kTimelineNextRow, 0, &Stones},                                                  // 10
};

// ---- Normal attack ----

constexpr BossDirAnm kNormalBody{{1, 0, 0, 1}, 0};
constexpr BossDirAnm kNormalEffect{{1, 0, 0, 1}, -1};
constexpr uint32_t kHitAnm = 2;

struct NormalWork : BossBase {
  SlgAnmObj* body[2];  // the body, then the effect
  // One hit per target of the damage list.
  std::array<SlgAnmObj*, kSlgMaxUnits> hits;
  int32_t hit_count;
};

std::array<BossObjList, 2> NormalLists(NormalWork& w) {
  return {{{w.body, 2}, {w.hits.data(), w.hit_count}}};
}

int NormalSetUp(NormalWork& w) {
  if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;
  w.hit_count = BossListedTargets();
  if (!BossAllocObjs(w, NormalLists(w))) return kTimelineStop;
  return kTimelineNextRow;
}

int Strike(NormalWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kNormalBody, w, kSlgAnmOnce);
  BossPlayDir(w.body[1], w.anms.effect, kNormalEffect, w, kSlgAnmOnce);
  const BattleContext& b = Battle();
  const uint16_t attr = BossUnitAttr(*w.unit);
  for (int i = 0; i < w.hit_count; ++i) {
    const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
    BossPlay(w.hits[static_cast<size_t>(i)], w.anms.effect, kHitAnm, BossUnitScreen(t),
             BossUnitDepth(t) - 1, attr, kSlgAnmOnce);
  }
  return kTimelineNextRow;
}

int32_t AllEnded(NormalWork& w) {
  return BossObjsEnded(w.body) != 0 &&
                 BossObjsEnded(std::span(w.hits.data(), static_cast<size_t>(w.hit_count))) != 0
             ? 1
             : 0;
}

int FinishNormal(NormalWork& w) {
  BossFreeObjs(NormalLists(w));
  BossFinish(w, 0);
  return kTimelineStop;
}

using NW = TimelineWait<NormalWork>;
constexpr TimelineRow<NormalWork> kNormal[] = {
    {NW::AtOnce(), &NormalSetUp},                  // 0
    {NW::AtOnce(), &Strike},                       // 1
    {NW::Counter(&AllEnded, 1), &FinishNormal},    // 2
};

// The family's battle block.
using Boss24Work = BossFamilyWork<SpecialWork, NormalWork>;

}  // namespace

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kNormal, unit, pos, Battle().Extension<Boss24Work>().normal);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecial, unit, pos, Battle().Extension<Boss24Work>().special);
}

}  // namespace Boss24
