// Dododi's attacks (kind 29), on the boss frame (battle_effects/boss_frame.h).
//
// Special: a card turns in before a white flash, a picture fades, the boss appears with its
// aura while the background ripples (the line scroll "Dododi::LineScroll"), sparkles come and
// rising lights climb off the screen; back on the map, icicles rain round the attacked unit and
// every target shows a looping hit until the icicles have run out. Event flag 903 at the end.
// Normal: a body and two swings by direction, then five hit groups round the attacked unit, each
// started when the previous group's first animation has ended.

#include <algorithm>
#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_task.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/card_turn.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/scene_fades.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/sprite/sprite.h"

namespace Dododi {

namespace {

constexpr int32_t kPx = 0x10000;

// ---- Tables ----

constexpr BossSpecialShape kShape{
    .layer_mode = 2, .enter_fade = 0, .return_fade = 32, .event_flag = 903};
constexpr BossLineScroll kLineScroll{.source = SURFACE_SCRATCH,
                                     .x_offset = 0,
                                     .top = 192,
                                     .width = 640,
                                     .band_height = 256,
                                     .strip_height = 2,
                                     .dest = SURFACE_ROOT,
                                     .mode = 0,
                                     .depth = 511,
                                     .amp_start = 2 * kPx,
                                     .amp_limit = 8 * kPx,
                                     .amp_growth = kPx / 4,
                                     .step_strip = 2,
                                     .step_frame = 4,
                                     .alpha = 0};
constexpr const char kLineScrollName[] = "Dododi::LineScroll";
constexpr CardLook kCard{11, 0x9409, {{{-88, -136}, {86, -136}, {86, 134}, {-88, 134}}}};

// Animations of the special effect set (slot 8) and body set (slot 7).
constexpr uint32_t kAuraAnm = 0, kAuraLoopAnm = 2, kAuraEndAnm = 3, kRiserAnm = 4, kSparkleAnm = 6,
                   kIcicleAnm = 8, kTargetAnm = 9, kPictureAnm = 10;
constexpr uint32_t kBossAnm = 0;
constexpr BossDirAnm kEndBody{{2, 1, 1, 2}, 0};
constexpr BlendWord kAuraAlpha = 0x10100;

constexpr int kSparkles = 32;
constexpr int kRisers = 32;
constexpr int kIcicles = 32;
constexpr int kSceneDepth = -16;  // sparkles and risers: unit depth - 16

// Icicles by direction: start offset from the landing point and velocity (pixels per frame).
constexpr std::array<SlgPoint, 4> kIcicleStart{
    {{-240, -480}, {240, -480}, {240, -480}, {-240, -480}}};
constexpr std::array<SlgPoint, 4> kIcicleVelocity{{{7, 14}, {-7, 14}, {-7, 14}, {7, 14}}};
// The trail's half-width by frame of flight.
constexpr int kFlightFrames = 64;
constexpr std::array<int8_t, kFlightFrames> kTrailHalfWidth = [] {
  std::array<int8_t, kFlightFrames> t{};
  constexpr int8_t kRuns[][2] = {{4, 0}, {8, 2}, {8, 4}, {8, 6}, {8, 8},
                                 {8, 6}, {8, 4}, {8, 2}, {4, 0}};
  size_t i = 0;
  for (const auto& run : kRuns) {
    for (int k = 0; k < run[0]; ++k) t[i++] = run[1];
  }
  return t;
}();
constexpr uint16_t kTrailColour = 0xFFFF;

// Normal attack: body (slot 5), swings and hits (slot 6), the hit cells round the attacked unit.
constexpr BossDirAnm kNormalBody{{1, 0, 0, 1}, 0};
constexpr BossDirAnm kSwing1{{1, 0, 0, 1}, -1};
constexpr BossDirAnm kSwing2{{3, 2, 2, 3}, 1};
constexpr int kHitGroups = 5;
constexpr std::array<SlgPoint, kHitGroups> kHitCells{
    {{0, 0}, {-48, 24}, {-48, -24}, {48, -24}, {48, 24}}};
constexpr std::array<uint32_t, 3> kHitAnms{4, 5, 6};
constexpr std::array<int, 3> kHitDepths{-1, 1, -2};

// ---- Spawning and climbing (the sparkles, risers and icicles) ----

// One start each call while the next is due: the k-th (from 0) at `first` + k x `interval`
// frames after the start, at most `max`.
struct Spawner {
  uint32_t start;
  int32_t count;
};
void SpawnerStart(Spawner& s) { s = {TimelineNow(), 0}; }
// The index of the object to start now, or -1.
int SpawnDue(Spawner& s, int max, int first, int interval) {
  if (s.count >= max || TimelineFrames(s.start) < first + interval * s.count) return -1;
  return s.count++;
}

// A riser is done once above this line.
constexpr int32_t kRiserGone = -352 * kPx;

// The climb replayed from the spawn point over n frames: the speed starts at 1.0 pixel a frame;
// each frame it grows by 0.25 and y goes up by it (no further than just past the line where the
// riser is done).
int32_t ClimbY(int32_t y0, int32_t n) {
  int32_t speed = kPx;
  for (int32_t k = 0; k < n && y0 >= kRiserGone; ++k) {
    speed += kPx / 4;
    y0 -= speed;
  }
  return y0;
}

// Position start + velocity x frames, held at the landing point once it would pass it (each
// axis on its own).
int32_t FlyAxis(int32_t start, int32_t velocity, int32_t frames, int32_t land) {
  const int32_t at = start + velocity * frames;
  return velocity >= 0 ? std::min(at, land) : std::max(at, land);
}

// ---- Special attack ----

struct Riser {
  SlgPair spawn;
  int32_t zoom;    // 16.16, both axes
  uint32_t start;  // its own clock
  bool rising;
  bool done;
};

struct Icicle {
  SlgPair start;  // 16.16 drawing positions
  SlgPair land;
  SlgPoly trail;
  uint32_t t0;  // the start of its flight
  bool done;
};

struct SpecialWork : BossBase {
  SlgAnmObj* boss[1];
  SlgAnmObj* card[1];
  SlgAnmObj* picture[1];
  SlgAnmObj* aura[1];
  std::array<SlgAnmObj*, kSparkles> sparkles;
  std::array<SlgAnmObj*, kRisers> risers;
  std::array<SlgAnmObj*, kIcicles> icicles;
  // One per target, as many as the damage list holds.
  std::array<SlgAnmObj*, kSlgMaxUnits> targets;
  int32_t target_count;

  CardTurn card_turn;
  PictureFade picture_fade;
  LineScrollFade scroll_fade;
  Spawner sparkle_spawn, riser_spawn, icicle_spawn;
  std::array<Riser, kRisers> riser;
  int32_t risers_done;
  std::array<Icicle, kIcicles> icicle;
  int32_t icicles_done;
  bool icicles_last_flight;  // from step 18: no icicle starts again
  BossPicture background;
  SlgEffectTask* line_scroll;
};

int UnitDepth(const SpecialWork& w) { return BossUnitDepth(*w.unit); }

// The object lists, taken together at the set-up and freed together at the end.
std::array<BossObjList, 8> SpecialLists(SpecialWork& w) {
  return {{{w.boss, 1},
           {w.card, 1},
           {w.picture, 1},
           {w.aura, 1},
           {w.sparkles.data(), kSparkles},
           {w.risers.data(), kRisers},
           {w.icicles.data(), kIcicles},
           {w.targets.data(), w.target_count}}};
}

int SetUp(SpecialWork& w) {
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  w.target_count = BossListedTargets();
  if (!BossAllocObjs(w, SpecialLists(w))) return kTimelineStop;
  // Background 0 is cut into its sprite before background 1 takes the surface for the strips.
  BossCutPicture(*w.unit, 0, SURFACE_SCRATCH, true, w.background);
  w.line_scroll = BossLineScrollStart(*w.unit, 1, kLineScrollName, kLineScroll);
  BossSceneOn(w, kShape);
  return kTimelineNextRow;
}

int EnterScene(SpecialWork& w) {
  BossEnterScene(kShape);
  CardTurnStart(w.card_turn, w.card[0], w.anms.effect, kCard, UnitDepth(w) - 1);
  return kTimelineNextRow;
}

int WhiteOut32(SpecialWork& /*w*/) {
  SlgWhiteOut(32);
  return kTimelineNextRow;
}

int CardGone(SpecialWork& w) {
  CardTurnFree(w.card_turn);
  BossFreeObjs({{w.card, 1}});
  return kTimelineNextRow;
}

int ShowPicture(SpecialWork& w) {
  BossShowPicture(w.background, 320, 240, 511);
  BossPlay(w.picture[0], w.anms.effect, kPictureAnm, {0, 0}, UnitDepth(w) - 1, 0, 0);
  SlgWhiteIn(32);
  return kTimelineNextRow;
}

int StartPictureFade(SpecialWork& w) {
  PictureFadeStart(w.picture_fade, w.anms.effect, kPictureAnm);
  return kTimelineNextRow;
}

int PictureGone(SpecialWork& w) {
  BossFreeObjs({{w.picture, 1}});
  return kTimelineNextRow;
}

int BossAppears(SpecialWork& w) {
  BossPlay(w.boss[0], w.anms.body, kBossAnm, {0, 0}, UnitDepth(w), 0, 0);
  BossPlay(w.aura[0], w.anms.effect, kAuraAnm, {0, 0}, UnitDepth(w) - 1, 0, kSlgAnmOnce);
  return kTimelineNextRow;
}

int BackgroundGone(SpecialWork& w) {
  BossDeletePicture(w.background);
  return kTimelineNextRow;
}

int AuraLoops(SpecialWork& w) {
  BossPlay(w.aura[0], w.anms.effect, kAuraLoopAnm, {0, 0}, UnitDepth(w) - 1, 0, 0);
  SlgSprSetAlpha(w.aura[0], kAuraAlpha);
  return kTimelineNextRow;
}

int SceneRuns(SpecialWork& w) {
  SlgTaskNextPhase(w.line_scroll);
  LineScrollFadeStart(w.scroll_fade);
  SpawnerStart(w.sparkle_spawn);
  SpawnerStart(w.riser_spawn);
  return kTimelineNextRow;
}

void Sparkles(SpecialWork& w) {
  const int i = SpawnDue(w.sparkle_spawn, kSparkles, 1, 4);
  if (i < 0) return;
  const SlgPair at = BossRandomScreenPoint();
  const uint16_t attr = (SlgRand() & 1) != 0 ? 16 : 0;
  const uint32_t anm = kSparkleAnm + static_cast<uint32_t>(SlgRand() & 1);
  BossPlay(w.sparkles[static_cast<size_t>(i)], w.anms.effect, anm, at, UnitDepth(w) + kSceneDepth,
           attr, 0);
}

void Risers(SpecialWork& w) {
  const int spawned = SpawnDue(w.riser_spawn, kRisers, 1, 4);
  if (spawned >= 0) {
    Riser& r = w.riser[static_cast<size_t>(spawned)];
    SlgAnmObj* obj = w.risers[static_cast<size_t>(spawned)];
    r = {BossRandomScreenPoint(), kPx / 32, TimelineNow(), false, false};
    BossPlay(obj, w.anms.effect, kRiserAnm, r.spawn, UnitDepth(w) + kSceneDepth, 0, 0);
    SlgSprSetZoom(obj->handle, {r.zoom, r.zoom});
  }
  for (int i = 0; i < w.riser_spawn.count; ++i) {
    Riser& r = w.riser[static_cast<size_t>(i)];
    SlgAnmObj* obj = w.risers[static_cast<size_t>(i)];
    if (r.done) continue;
    const int32_t n = TimelineFrames(r.start);
    if (!r.rising) {
      // The zoom grows by n/32 at every call until it passes 1.0.
      r.zoom += n * (kPx / 32);
      if (r.zoom > kPx) {
        r.zoom = kPx + (SlgRand() % 16) * (kPx / 16);
        r.start = TimelineNow();
        r.rising = true;
      }
      SlgSprSetZoom(obj->handle, {r.zoom, r.zoom});
      continue;
    }
    const int32_t y = ClimbY(r.spawn.y, n);
    if (y < kRiserGone) {
      BossRelease(obj);
      r.done = true;
      ++w.risers_done;
    } else {
      BossFollow(obj, {r.spawn.x, y});
    }
  }
}

void SceneEffects(SpecialWork& w) {
  LineScrollFadeStep(w.scroll_fade, w.line_scroll);
  Sparkles(w);
}

void SceneAndRisers(SpecialWork& w) {
  SceneEffects(w);
  Risers(w);
}

int RisersGone(SpecialWork& w) {
  BossFreeObjs({{w.risers.data(), kRisers}});
  BossPlay(w.aura[0], w.anms.effect, kAuraEndAnm, {0, 0}, UnitDepth(w) - 1, 0, kSlgAnmOnce);
  SlgSprSetAlpha(w.aura[0], kAuraAlpha);
  return kTimelineNextRow;
}

int AuraGone(SpecialWork& w) {
  BossFreeObjs({{w.aura, 1}});
  SlgWhiteOut(64);
  return kTimelineNextRow;
}

int SparklesGone(SpecialWork& w) {
  BossFreeObjs({{w.sparkles.data(), kSparkles}});
  return kTimelineNextRow;
}

// An icicle's flight toward a landing cell round `centre` (a map position).
void Launch(SpecialWork& w, int i, const SlgUnit& centre, bool first) {
  Icicle& ic = w.icicle[static_cast<size_t>(i)];
  SlgAnmObj* obj = w.icicles[static_cast<size_t>(i)];
  const int32_t dx = (SlgRand() % 9 - 4) * 48;
  const int32_t dy = (SlgRand() % 9 - 4) * 24;
  const CellStrike cell = CellStrikeAt({centre.x + dx * kPx, centre.y + dy * kPx});
  const size_t dir = w.unit->dir & 3u;
  ic.land = cell.screen;
  ic.start = {ic.land.x + kIcicleStart[dir].x * kPx, ic.land.y + kIcicleStart[dir].y * kPx};
  ic.t0 = TimelineNow();
  const int depth = UnitDepth(w) + (ic.land.y < w.pos.y ? 2 : -2);
  ic.trail.colour = kTrailColour;
  ic.trail.depth = static_cast<int16_t>(depth + 1);
  if (first) {
    BossPlay(obj, w.anms.effect, kIcicleAnm, ic.start, depth, 0, 0);
  } else {
    obj->depth = static_cast<int16_t>(depth);
    SlgSprSetPri(obj->handle, depth);
    BossFollow(obj, ic.start);
  }
}

void DrawIcicle(SpecialWork& w, int i, int32_t f) {
  Icicle& ic = w.icicle[static_cast<size_t>(i)];
  const SlgPoint v = kIcicleVelocity[w.unit->dir & 3u];
  const SlgPair at{FlyAxis(ic.start.x, v.x * kPx, f, ic.land.x),
                   FlyAxis(ic.start.y, v.y * kPx, f, ic.land.y)};
  BossFollow(w.icicles[static_cast<size_t>(i)], at);
  const int32_t half = kTrailHalfWidth[static_cast<size_t>(std::clamp(f, 0, kFlightFrames - 1))];
  const int32_t sx = ic.start.x >> 16, sy = ic.start.y >> 16;
  const int32_t ix = at.x >> 16, iy = at.y >> 16;
  ic.trail.corners[0] = {sx + half, sy};
  ic.trail.corners[1] = {ix + half, iy};
  ic.trail.corners[2] = {ix - half, iy};
  ic.trail.corners[3] = {sx - half, sy};
  SlgPolyCreate(CDdrawSpr::kBuffered, &ic.trail, SURFACE_ROOT);
}

void Icicles(SpecialWork& w) {
  const int spawned = SpawnDue(w.icicle_spawn, kIcicles, 1, 8);
  if (spawned >= 0) Launch(w, spawned, BossAttackedUnit(*w.unit), true);
  for (int i = 0; i < w.icicle_spawn.count; ++i) {
    Icicle& ic = w.icicle[static_cast<size_t>(i)];
    if (ic.done) continue;
    int32_t f = TimelineFrames(ic.t0);
    if (f >= kFlightFrames) {
      if (w.icicles_last_flight) {
        BossRelease(w.icicles[static_cast<size_t>(i)]);
        SlgPolyFree(&ic.trail);
        ic.done = true;
        ++w.icicles_done;
        continue;
      }
      Launch(w, i, *w.unit, false);
      f = 0;
    }
    DrawIcicle(w, i, f);
  }
}

int ReturnToMap(SpecialWork& w) {
  BossReturnToMap(kShape, w.line_scroll);
  BossPlayDir(w.boss[0], w.anms.body, kEndBody, w, 0);
  SpawnerStart(w.icicle_spawn);
  const BattleContext& b = Battle();
  const uint16_t attr = BossUnitAttr(*w.unit);
  for (int i = 0; i < w.target_count; ++i) {
    const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
    BossPlay(w.targets[static_cast<size_t>(i)], w.anms.effect, kTargetAnm, BossUnitScreen(t),
             BossUnitDepth(t) - 1, attr, 0);
  }
  return kTimelineNextRow;
}

int ShadowBack(SpecialWork& /*w*/) {
  BossShadowOn();
  return kTimelineNextRow;
}

int LastFlights(SpecialWork& w) {
  w.icicles_last_flight = true;
  for (int i = 0; i < w.target_count; ++i)
    SlgAnmPlayOnce(&w.targets[static_cast<size_t>(i)]->handle);
  return kTimelineNextRow;
}

int32_t AllDone(SpecialWork& w) {
  return w.icicles_done >= kIcicles &&
                 BossObjsEnded(std::span(w.targets.data(), static_cast<size_t>(w.target_count))) !=
                     0
             ? 1
             : 0;
}

int FinishSpecial(SpecialWork& w) {
  for (Icicle& ic : w.icicle) SlgPolyFree(&ic.trail);
  BossFreeObjs(SpecialLists(w));
  BossFinish(w, kShape.event_flag);
  return kTimelineStop;
}

using SW = TimelineWait<SpecialWork>;
constexpr TimelineRow<SpecialWork> kSpecial[] = {
    {SW::AtOnce(), &SetUp},                                              // 0
    {SW::AtOnce(), &EnterScene},                                         // 1
    {SW::SubDone(&CardTurnRow<SpecialWork>), &WhiteOut32},               // 2
    {SW::FadeEnd(), &CardGone, kTimelineNextRow, 0, &CardTurnEach<SpecialWork>},  // 3
    {SW::AtOnce(), &ShowPicture},                                        // 4
    {SW::FadeEnd(), &StartPictureFade},                                  // 5
    {SW::SubDone(&PictureFadeRow<SpecialWork>), &PictureGone},           // 6
    {SW::AtOnce(), &BossAppears},                                        // 7
    {SW::Frames(2)},                                                     // 8
    {SW::AtOnce(), &BackgroundGone},                                     // 9
    {SW::AnmEnd([](SpecialWork& w) { return w.aura[0]; }), &AuraLoops},  // 10
    {SW::Frames(32), &SceneRuns},                                        // 11
    {SW::Counter([](SpecialWork& w) { return w.risers_done; }, kRisers), &RisersGone,
     kTimelineNextRow, 0, &SceneAndRisers},  // 12
    {SW::AnmEnd([](SpecialWork& w) { return w.aura[0]; }), &AuraGone, kTimelineNextRow, 0,
     &SceneEffects},                                                            // 13
    {SW::FadeEnd(), &SparklesGone, kTimelineNextRow, 0, &SceneEffects},         // 14
    {SW::AtOnce(), &ReturnToMap},                                               // 15
    {SW::FadeEnd(), &ShadowBack, kTimelineNextRow, 0, &Icicles},                // 16
    {SW::Frames(128), &LastFlights, kTimelineNextRow, 0, &Icicles},             // 17
    {SW::Counter(&AllDone, 1), &FinishSpecial, kTimelineNextRow, 0, &Icicles},  // 18
};

// ---- Normal attack ----

struct NormalWork : BossBase {
  SlgAnmObj* body[1];
  SlgAnmObj* swings[2];
  // Hit group g is objects 3g .. 3g + 2 (the third only on a target's cell).
  std::array<SlgAnmObj*, 3 * kHitGroups> hits;
  uint8_t started;  // hit groups started
};

std::span<SlgAnmObj* const> Group(const NormalWork& w, int g) {
  return std::span<SlgAnmObj* const>(w.hits).subspan(static_cast<size_t>(3 * g), 3);
}

int NormalSetUp(NormalWork& w) {
  if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;
  if (!BossAllocObjs(w, {{w.body, 1}, {w.swings, 2}, {w.hits.data(), 3 * kHitGroups}})) {
    return kTimelineStop;
  }
  return kTimelineNextRow;
}

int Swing(NormalWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kNormalBody, w, 0);
  BossPlayDir(w.swings[0], w.anms.effect, kSwing1, w, kSlgAnmOnce);
  BossPlayDir(w.swings[1], w.anms.effect, kSwing2, w, kSlgAnmOnce);
  return kTimelineNextRow;
}

void FollowUnit(NormalWork& w) {
  BossFollow(w.body[0], w.pos);
  BossFollow(w.swings[0], w.pos);
  BossFollow(w.swings[1], w.pos);
}

int32_t SwingsEnded(NormalWork& w) { return BossObjsEnded(w.swings); }

int MakeHitGroups(NormalWork& w) {
  const SlgUnit& attacked = BossAttackedUnit(*w.unit);
  std::array<CellStrike, kHitGroups> strikes;
  CellStrikesAround({attacked.x, attacked.y}, kHitCells, strikes);
  const uint16_t attr = BossUnitAttr(*w.unit);
  ForEachCellStrike(
      strikes,
      [&](int g, const CellStrike& /*s*/, const SlgUnit& target) {
        const uint8_t mode = g == 0 ? kSlgAnmOnce : kSlgAnmOnce | kSlgAnmStartStopped;
        for (size_t k = 0; k < kHitAnms.size(); ++k) {
          BossPlay(w.hits[static_cast<size_t>(3 * g) + k], w.anms.effect, kHitAnms[k],
                   BossUnitScreen(target), BossUnitDepth(target) + kHitDepths[k], attr, mode);
        }
      },
      [&](int g, const CellStrike& s) {
        const uint8_t mode = g == 0 ? kSlgAnmOnce : kSlgAnmOnce | kSlgAnmStartStopped;
        for (size_t k = 0; k < 2; ++k) {
          SlgAnmObj* obj = w.hits[static_cast<size_t>(3 * g) + k];
          SetAnmPriByPos(obj, s.cell.ground);
          BossPlay(obj, w.anms.effect, kHitAnms[k], s.screen, obj->depth + kHitDepths[k], attr,
                   mode);
        }
      });
  // The groups after the first wait stopped and hidden for their turn.
  for (size_t i = 3; i < w.hits.size(); ++i) SlgAnmHide(w.hits[i]->handle);
  w.started = 1;
  return kTimelineNextRow;
}

// The groups in turn: the next starts once the previous group's first animation has ended.
void PlayGroups(NormalWork& w) {
  FollowUnit(w);
  if (w.started < kHitGroups &&
      SlgAnmObjIsEnd(w.hits[static_cast<size_t>(3 * (w.started - 1))]) != 0) {
    for (SlgAnmObj* obj : Group(w, w.started)) BossStartObj(obj);
    ++w.started;
  }
}

int32_t GroupsEnded(NormalWork& w) {
  if (w.started < kHitGroups) return 0;
  return BossObjsEnded(w.hits);
}

int FinishNormal(NormalWork& w) {
  BossFreeObjs({{w.body, 1}, {w.swings, 2}, {w.hits.data(), 3 * kHitGroups}});
  BossFinish(w, 0);
  return kTimelineStop;
}

using NW = TimelineWait<NormalWork>;
constexpr TimelineRow<NormalWork> kNormal[] = {
    {NW::AtOnce(), &NormalSetUp},                                                      // 0
    {NW::AtOnce(), &Swing},                                                            // 1
    {NW::Counter(&SwingsEnded, 1), &MakeHitGroups, kTimelineNextRow, 0, &FollowUnit},  // 2
    {NW::Counter(&GroupsEnded, 1), &FinishNormal, kTimelineNextRow, 0, &PlayGroups},   // 3
};

// The family's battle block.
using DododiWork = BossFamilyWork<SpecialWork, NormalWork>;

}  // namespace

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kNormal, unit, pos, Battle().Extension<DododiWork>().normal);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecial, unit, pos, Battle().Extension<DododiWork>().special);
}

}  // namespace Dododi
