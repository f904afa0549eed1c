// Amateras's attacks (kinds 26, 27), on the boss frame (battle_effects/boss_frame.h).
//
// Special: before the rippling background ("Amateras::LineScroll") the boss stands while an orb
// grows and light rays run out to the screen's border; a white flash, and on the map a flash
// grows at the boss, bolts fly out from it to the screen's edge and come back, rays run round
// them, and each target is struck four times. Normal: a thin white beam reaches from the boss to
// the cell in front and runs on along the facing direction over up to ten cells, striking each
// cell (or the target standing there) in turn, the camera following it.

#include "battle_effects/amateras.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_task.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 0x10000;

int32_t Held(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

// ---- The arithmetic ----

SlgPoint AmaterasBorderPoint(int32_t q) {
  if (q < 640) return {q - 320, -240};
  if (q < 1120) return {320, q - 880};
  if (q < 1760) return {1440 - q, 240};
  return {-320, 2000 - q};
}

AmaterasStretch AmaterasRayStretch(int32_t p, int32_t age) {
  if (age < 8) return {p, p + age};
  return {p - 16 + 2 * age, p + 16};
}

std::array<PolygonPoint, 4> AmaterasRayCorners(int32_t p, int32_t age, SlgPoint centre) {
  const AmaterasStretch st = AmaterasRayStretch(p, age);
  const SlgPoint s = AmaterasBorderPoint(st.s);
  const SlgPoint e = AmaterasBorderPoint(st.e);
  const PolygonPoint rs{s.x - centre.x, s.y - centre.y};
  const PolygonPoint re{e.x - centre.x, e.y - centre.y};
  return {{rs, {0, 0}, {(re.x - rs.x) / 4, (re.y - rs.y) / 4}, re}};
}

int32_t AmaterasOrbZoom(int32_t n) {
  return static_cast<int32_t>(
      std::min<int64_t>((int64_t{std::max(n, int32_t{0})} + 1) * (kPx / 64), kAmaterasOrbFull));
}

int32_t AmaterasFlashZoom(int32_t n) {
  return static_cast<int32_t>(std::min<int64_t>(
      kPx / 16 + int64_t{std::max(n, int32_t{0})} * (kPx / 16), kAmaterasFlashFull));
}

SlgPair AmaterasBoltAt(const SlgPair& source, int32_t angle, int32_t n) {
  // The table's 16384 = 1.0: 16 n pixels x table x 4 is 16.16.
  const int64_t r = int64_t{16} * std::max(n, int32_t{0}) * 4;
  return {Held(source.x + r * SlgSin(angle)), Held(source.y - r * SlgCos(angle))};
}

bool AmaterasOffScreen(const SlgPair& at) {
  const int32_t x = at.x >> 16, y = at.y >> 16;
  return x > 320 || x < -320 || y > 240 || y < -240;
}

SlgPair AmaterasBeamEnd(const SlgPair& origin, const SlgPair& reach, int32_t n) {
  const int64_t k = std::clamp(n, int32_t{0}, int32_t{16});
  return {Held(origin.x + (int64_t{reach.x} - origin.x) * k / 16),
          Held(origin.y + (int64_t{reach.y} - origin.y) * k / 16)};
}

int32_t AmaterasShiftPixels(int32_t v) {
  if (v != 0 && v > -kPx && v < kPx) return v > 0 ? 1 : -1;
  return v >> 16;
}

SlgPoint AmaterasBeamShift(const SlgPair& far_end, const SlgPair& origin) {
  const int32_t a = SlgAtan2((origin.y >> 16) - (far_end.y >> 16),
                             (origin.x >> 16) - (far_end.x >> 16));
  // 2 x table (16384 = 1.0) x 4 is 16.16.
  return {AmaterasShiftPixels(SlgCos(a) * 8), AmaterasShiftPixels(SlgSin(a) * 8)};
}

namespace Amateras {

namespace {

SpxAnimeKind* Spx() { return Scene().tamvik_spr.spx(); }

// ---- Special attack ----

constexpr BossSpecialShape kShape{
    .layer_mode = 2, .enter_fade = 32, .return_fade = 0, .event_flag = 0};
// Background 0, the rippling screen: 240 strips of two lines, each 640 + 2 x 32 pixels wide.
constexpr BossLineScroll kLineScroll{.source = SURFACE_ROOT,
                                     .x_offset = 32,
                                     .top = 0,
                                     .width = 640,
                                     .band_height = 480,
                                     .strip_height = 2,
                                     .dest = SURFACE_ROOT,
                                     .mode = 0,
                                     .depth = 510,
                                     .amp_start = 2 * kPx,
                                     .amp_limit = 32 * kPx,
                                     .amp_growth = kPx,
                                     .step_strip = 2,
                                     .step_frame = 4};
constexpr const char kLineScrollName[] = "Amateras::LineScroll";

// Animations of the special effect set (slot 8) and body set (slot 7).
constexpr uint32_t kOrbAnm = 0, kHitAnm = 1, kFirstBoltAnm = 2, kFlashAnm = 5;
constexpr uint32_t kBossAnm = 0;
constexpr SlgPair kBossAt{-136 * kPx, 64 * kPx};
constexpr SlgPair kOrbAt{0, -32 * kPx};
constexpr uint16_t kMirrored = 16;
constexpr std::array<uint8_t, 4> kMapBossAnm{2, 1, 1, 2};
constexpr std::array<uint16_t, 4> kMapBossAttr{0, 0, 16, 16};
constexpr std::array<SlgPoint, 4> kBoltSource{{{24, -88}, {24, -64}, {-24, -64}, {-24, -88}}};
constexpr BlendWord kFlashAlpha = 0x10100;

constexpr int kRays = 32;
constexpr int kBolts = 32;
constexpr int kHitsPerTarget = 4;
constexpr int kHitLoops = 5;
constexpr uint16_t kRayColour = 0x310;
constexpr SpawnRule kRaySpawn{.interval = 4, .first = 1, .limit = kRays};
constexpr SpawnRule kBoltSpawn{.interval = 3, .limit = kBolts};

struct Ray {
  SlgPoly poly;
  int32_t p;       // perimeter position
  uint32_t start;  // its clock (game ms)
  bool gone;
};

struct Bolt {
  int32_t angle;  // 512 steps
  uint32_t start;
  bool gone;
};

// A target hit: its offset about the target's drawing position, and the plays of it that ended
// short of the loops a hit needs (each counts as one loop).
struct Hit {
  SlgPair offset;
  int32_t replays;
  bool done;
};

struct SpecialWork : BossBase {
  SlgAnmObj* boss[1];
  SlgAnmObj* orb[1];
  SlgAnmObj* flash[1];
  std::array<SlgAnmObj*, kBolts> bolts;
  // Four per target, as many as the damage list holds.
  std::array<SlgAnmObj*, kHitsPerTarget * kSlgMaxUnits> hits;
  std::array<Hit, kHitsPerTarget * kSlgMaxUnits> hit;
  int32_t target_count;

  std::array<Ray, kRays> ray;
  Spawner ray_spawn;
  uint32_t rays_start;
  SlgPoint ray_centre;  // pixels about the screen centre
  int32_t rays_gone;

  std::array<Bolt, kBolts> bolt;
  Spawner bolt_spawn;
  uint32_t bolts_start;
  SlgPair source;  // the bolts' source (drawing position)
  int32_t bolts_gone;

  uint32_t orb_start, flash_start;
  uint16_t fade;  // 255 once the white-out has started
  SlgEffectTask* line_scroll;
};

int UnitDepth(const SpecialWork& w) { return BossUnitDepth(*w.unit); }
size_t Dir(const SpecialWork& w) { return w.unit->dir & 3u; }
int HitCount(const SpecialWork& w) { return kHitsPerTarget * w.target_count; }

std::array<BossObjList, 5> SpecialLists(SpecialWork& w) {
  return {{{w.boss, 1},
           {w.orb, 1},
           {w.flash, 1},
           {w.bolts.data(), kBolts},
           {w.hits.data(), HitCount(w)}}};
}

void FreeRays(SpecialWork& w) {
  for (Ray& r : w.ray) SlgPolyFree(&r.poly);
}

int SetUp(SpecialWork& w) {
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  w.target_count = BossListedTargets();
  if (!BossAllocObjs(w, SpecialLists(w))) return kTimelineStop;
  // The strips reach 704 pixels across the 640 of surface 4.
  w.line_scroll = BossWideLineScrollStart(*w.unit, 0, kLineScrollName, kLineScroll);
  SlgClearLayer(SURFACE_ROOT);
  BossSceneOn(w, kShape);
  return kTimelineNextRow;
}

int EnterScene(SpecialWork& w) {
  BossPlay(w.boss[0], w.anms.body, kBossAnm, kBossAt, UnitDepth(w), kMirrored, 0);
  BossEnterScene(kShape);
  w.fade = 0;
  return kTimelineNextRow;
}

int OrbIn(SpecialWork& w) {
  SlgTaskNextPhase(w.line_scroll);
  BossPlay(w.orb[0], w.anms.effect, kOrbAnm, kOrbAt, UnitDepth(w) - 2, kMirrored, 0);
  SlgSprSetZoom(w.orb[0]->handle, {AmaterasOrbZoom(0), AmaterasOrbZoom(0)});
  w.orb_start = TimelineNow();
  return kTimelineNextRow;
}

int32_t OrbZoom(SpecialWork& w) {
  const int32_t zoom = AmaterasOrbZoom(TimelineFrames(w.orb_start));
  SlgSprSetZoom(w.orb[0]->handle, {zoom, zoom});
  return zoom;
}

// The rays start afresh round a centre: none added yet, none gone.
void RaysAround(SpecialWork& w, SlgPoint centre) {
  FreeRays(w);
  w.ray = {};
  w.ray_spawn = {};
  w.rays_start = TimelineNow();
  w.ray_centre = centre;
  w.rays_gone = 0;
}

int RaysIn(SpecialWork& w) {
  RaysAround(w, {0, 0});
  return kTimelineNextRow;
}

void NewRayColour(SpecialWork& w, Ray& r) {
  r.poly.colour = static_cast<uint16_t>(kRayColour + (SlgRand() & 15));
  r.poly.depth = static_cast<int16_t>(UnitDepth(w) - 1);
}

// One frame of the rays: one more when due; each drawn by its age, started again after its life
// (or, when `last`, removed).
void Rays(SpecialWork& w, bool last) {
  const int32_t due = SpawnDue(w.ray_spawn, kRaySpawn, TimelineFrames(w.rays_start));
  if (due >= 0) {
    Ray& r = w.ray[static_cast<size_t>(w.ray_spawn.started - 1)];
    r.p = SlgRand() % kAmaterasPerimeter;
    r.start = TimelineNow();
    NewRayColour(w, r);
  }
  for (int i = 0; i < w.ray_spawn.started; ++i) {
    Ray& r = w.ray[static_cast<size_t>(i)];
    if (r.gone) continue;
    int32_t age = TimelineFrames(r.start);
    if (age >= kAmaterasRayLife) {
      if (last) {
        SlgPolyFree(&r.poly);
        r.gone = true;
        ++w.rays_gone;
        continue;
      }
      r.start = TimelineNow();
      r.p = (r.p + 16) % kAmaterasPerimeter;
      NewRayColour(w, r);
      age = 0;
    }
    r.poly.x = w.ray_centre.x * kPx;
    r.poly.y = w.ray_centre.y * kPx;
    const std::array<PolygonPoint, 4> c = AmaterasRayCorners(r.p, age, w.ray_centre);
    std::copy(c.begin(), c.end(), r.poly.corners);
    SlgPolyCreate(CDdrawSpr::kBuffered, &r.poly, SURFACE_ROOT);
  }
}

// Step 4: the rays; once all are out the white-out starts (once). Done when it has ended.
int32_t RaysAndWhiteOut(SpecialWork& w) {
  Rays(w, false);
  if (w.fade == 0 && w.ray_spawn.started >= kRays) {
    SlgWhiteOut(32);
    w.fade = 255;
    return 0;
  }
  return w.fade != 0 && SlgIsFadeEnd() != 0 ? 1 : 0;
}

int SceneGone(SpecialWork& w) {
  BossFreeObjs({{w.orb, 1}});
  FreeRays(w);
  return kTimelineNextRow;
}

int ReturnToMap(SpecialWork& w) {
  BossReturnToMap(kShape, w.line_scroll);
  const size_t d = Dir(w);
  BossPlay(w.boss[0], w.anms.body, kMapBossAnm[d], w.pos, UnitDepth(w), kMapBossAttr[d], 0);
  return kTimelineNextRow;
}

int WhiteIn(SpecialWork& /*w*/) {
  SlgWhiteIn(32);
  return kTimelineNextRow;
}

void FollowBoss(SpecialWork& w) { BossFollow(w.boss[0], w.pos); }

int FlashIn(SpecialWork& w) {
  BossShadowOn();
  BossPlay(w.flash[0], w.anms.effect, kFlashAnm, BossUnitScreen(*w.unit), 0, 0, 0);
  SlgSprSetZoom(w.flash[0]->handle, {AmaterasFlashZoom(0), AmaterasFlashZoom(0)});
  SlgSprSetAlpha(w.flash[0], kFlashAlpha);
  w.flash_start = TimelineNow();
  return kTimelineNextRow;
}

int32_t FlashZoom(SpecialWork& w) {
  FollowBoss(w);
  const int32_t zoom = AmaterasFlashZoom(TimelineFrames(w.flash_start));
  BossFollow(w.flash[0], BossUnitScreen(*w.unit));
  SlgSprSetZoom(w.flash[0]->handle, {zoom, zoom});
  return zoom;
}

int BoltsOut(SpecialWork& w) {
  BossFreeObjs({{w.flash, 1}});
  const SlgPoint off = kBoltSource[Dir(w)];
  w.source = {w.pos.x + off.x * kPx, w.pos.y + off.y * kPx};
  RaysAround(w, {w.source.x >> 16, w.source.y >> 16});
  w.bolt_spawn = {};
  w.bolts_start = TimelineNow();
  w.bolts_gone = 0;
  return kTimelineNextRow;
}

// A bolt (again) at the source with a random animation and angle.
void PlayBolt(SpecialWork& w, size_t i) {
  Bolt& b = w.bolt[i];
  const uint32_t anm = kFirstBoltAnm + static_cast<uint32_t>(SlgRand() % 3);
  b.angle = SlgRand() & 511;
  b.start = TimelineNow();
  BossPlay(w.bolts[i], w.anms.effect, anm, w.source, 0, 0, 0);
  SlgSprSetRot(w.bolts[i]->handle, b.angle);
}

// One frame of the bolts: one more when due; each flies out, and off the screen starts again at
// the source (or, when `last`, is released).
void Bolts(SpecialWork& w, bool last) {
  if (SpawnDue(w.bolt_spawn, kBoltSpawn, TimelineFrames(w.bolts_start)) >= 0) {
    PlayBolt(w, static_cast<size_t>(w.bolt_spawn.started - 1));
  }
  for (int i = 0; i < w.bolt_spawn.started; ++i) {
    const size_t k = static_cast<size_t>(i);
    Bolt& b = w.bolt[k];
    if (b.gone) continue;
    const SlgPair at = AmaterasBoltAt(w.source, b.angle, TimelineFrames(b.start));
    if (AmaterasOffScreen(at)) {
      if (last) {
        BossRelease(w.bolts[k]);
        b.gone = true;
        ++w.bolts_gone;
        continue;
      }
      PlayBolt(w, k);
      continue;
    }
    BossFollow(w.bolts[k], at);
  }
}

void BoltsAndRays(SpecialWork& w) {
  FollowBoss(w);
  Bolts(w, false);
  Rays(w, false);
}

const SlgUnit& HitTarget(int i) {
  const BattleContext& b = Battle();
  return b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i / kHitsPerTarget)])];
}

SlgPair HitAt(const SpecialWork& w, int i) {
  const SlgPair t = BossUnitScreen(HitTarget(i));
  const SlgPair& o = w.hit[static_cast<size_t>(i)].offset;
  return {t.x + o.x, t.y + o.y};
}

// A hit (again) at a new random offset round its target: x -16..15, y -48..15 pixels.
void PlayHit(SpecialWork& w, int i) {
  Hit& h = w.hit[static_cast<size_t>(i)];
  const int32_t x = static_cast<int32_t>(SlgRand() % 32) - 16;
  const int32_t y = static_cast<int32_t>(SlgRand() % 64) - 48;
  h.offset = {x * kPx, y * kPx};
  BossPlay(w.hits[static_cast<size_t>(i)], w.anms.effect, kHitAnm, HitAt(w, i),
           BossUnitDepth(HitTarget(i)) - 1, 0, 0);
}

int HitsIn(SpecialWork& w) {
  for (int i = 0; i < HitCount(w); ++i) PlayHit(w, i);
  return kTimelineNextRow;
}

// The hits: one is done once its animation has looped five times, counting each play of it
// that stopped short as one loop; a play that stopped short starts again elsewhere round its
// target, so an animation that never loops cannot hold the attack. The hits not done.
int32_t HitsLeft(SpecialWork& w) {
  SpxAnimeKind* spx = Spx();
  int32_t left = 0;
  for (int i = 0; i < HitCount(w); ++i) {
    Hit& h = w.hit[static_cast<size_t>(i)];
    SlgAnmObj* obj = w.hits[static_cast<size_t>(i)];
    if (h.done) continue;
    const AnimeHandle handle = obj->handle;
    const uint32_t loops = handle != nullptr && spx != nullptr ? spx->GetLoopCount(handle) : 0;
    if (h.replays + static_cast<int64_t>(loops) >= kHitLoops) {
      h.done = true;
      continue;
    }
    if (handle == nullptr || spx == nullptr || spx->IsStopped(handle) != 0) {
      ++h.replays;
      if (h.replays >= kHitLoops) {
        h.done = true;
        continue;
      }
      PlayHit(w, i);
    } else {
      BossFollow(obj, HitAt(w, i));
    }
    ++left;
  }
  return left;
}

int32_t HitsDone(SpecialWork& w) { return HitsLeft(w) == 0 ? 1 : 0; }

int HitsGone(SpecialWork& w) {
  BossFreeObjs({{w.hits.data(), HitCount(w)}});
  return kTimelineNextRow;
}

// Step 11: the bolts fly out and the rays run out; done when every one is gone.
int32_t RunOut(SpecialWork& w) {
  FollowBoss(w);
  Bolts(w, true);
  Rays(w, true);
  return w.bolts_gone >= kBolts && w.rays_gone >= kRays ? 1 : 0;
}

int FinishSpecial(SpecialWork& w) {
  FreeRays(w);
  BossFreeObjs(SpecialLists(w));
  BossFinish(w, kShape.event_flag);
  return kTimelineStop;
}

using SW = TimelineWait<SpecialWork>;
constexpr TimelineRow<SpecialWork> kSpecial[] = {
    {SW::AtOnce(), &SetUp},                                                   // 0
    {SW::AtOnce(), &EnterScene},                                              // 1
    {SW::FadeEnd(), &OrbIn},                                                  // 2
    {SW::Counter(&OrbZoom, kAmaterasOrbFull), &RaysIn},                       // 3
    {SW::Counter(&RaysAndWhiteOut, 1), &SceneGone},                           // 4
    {SW::AtOnce(), &ReturnToMap},                                             // 5
    {SW::AtOnce(), &WhiteIn, kTimelineNextRow, 0, &FollowBoss},               // 6
    {SW::FadeEnd(), &FlashIn, kTimelineNextRow, 0, &FollowBoss},              // 7
    {SW::Counter(&FlashZoom, kAmaterasFlashFull), &BoltsOut},                 // 8
    {SW::Frames(32), &HitsIn, kTimelineNextRow, 0, &BoltsAndRays},            // 9
    {SW::Counter(&HitsDone, 1), &HitsGone, kTimelineNextRow, 0, &BoltsAndRays},    // 10
    {SW::Counter(&RunOut, 1), &FinishSpecial},                                // 11
};

// ---- Normal attack ----

constexpr int kMaxCells = 10;
constexpr BossDirAnm kNormalBody{{1, 0, 0, 1}, 0};
constexpr std::array<std::array<uint8_t, 4>, 3> kSwingAnm{{{8, 7, 7, 8}, {0, 1, 1, 0}, {2, 3, 3, 2}}};
constexpr std::array<std::array<int8_t, 4>, 3> kSwingDepth{
    {{0, 0, 0, 0}, {1, -1, -1, 1}, {2, -3, -2, 2}}};
constexpr std::array<SlgPoint, 4> kBeamOrigin{{{24, -88}, {24, -64}, {-24, -64}, {-24, -88}}};
constexpr std::array<SlgPoint, 4> kBeamReach{{{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};
constexpr std::array<SlgPoint, 4> kCellStep{{{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};
constexpr std::array<uint8_t, 4> kHeadAnm{12, 10, 10, 12};
constexpr std::array<uint8_t, 4> kTravelAnm{13, 11, 11, 13};
constexpr std::array<int8_t, 4> kTravelDepth{1, -1, -1, 1};  // the beam head's too
constexpr std::array<uint16_t, 4> kBeamAttr{0, 0, 16, 16};
constexpr std::array<SlgPoint, 4> kTravelSpeed{{{6, -3}, {6, 3}, {-6, 3}, {-6, -3}}};
constexpr uint32_t kCellHitAnm = 9, kTargetHitAnm = 4;
constexpr int32_t kTargetHitRaise = 32;
constexpr uint16_t kBeamColour = 0xFFFF;
constexpr int32_t kGrowFrames = 16;

struct NormalWork : BossBase {
  SlgAnmObj* body[1];
  std::array<SlgAnmObj*, 3> swings;
  SlgAnmObj* head[1];
  SlgAnmObj* travel[1];
  std::array<SlgAnmObj*, kMaxCells> cell_hits;
  std::array<SlgAnmObj*, kMaxCells> target_hits;
  std::array<bool, kMaxCells> has_target;
  std::array<bool, kMaxCells> cell_started;
  std::array<bool, kMaxCells> target_started;
  SlgPoly beam, trail;
  int32_t cells;  // the beam's length
  SlgPair front;  // the front cell (map, on the ground)
  SlgPair end;    // the travel's end (map)
  SlgPair point;  // the travel point (map)
  uint32_t grow_start, travel_start;
};

size_t Dir(const NormalWork& w) { return w.unit->dir & 3u; }
int UnitDepth(const NormalWork& w) { return BossUnitDepth(*w.unit); }

std::array<BossObjList, 6> NormalLists(NormalWork& w) {
  return {{{w.body, 1},
           {w.swings.data(), 3},
           {w.head, 1},
           {w.travel, 1},
           {w.cell_hits.data(), kMaxCells},
           {w.target_hits.data(), kMaxCells}}};
}

SlgPair Offset(const SlgPair& at, SlgPoint px) { return {at.x + px.x * kPx, at.y + px.y * kPx}; }
SlgPair Origin(const NormalWork& w) { return Offset(w.pos, kBeamOrigin[Dir(w)]); }

int NormalSetUp(NormalWork& w) {
  if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;
  if (!BossAllocObjs(w, NormalLists(w))) return kTimelineStop;
  return kTimelineNextRow;
}

int Swing(NormalWork& w) {
  const size_t d = Dir(w);
  const uint16_t attr = BossUnitAttr(*w.unit);
  BossPlayDir(w.body[0], w.anms.body, kNormalBody, w, kSlgAnmOnce);
  for (size_t i = 0; i < w.swings.size(); ++i) {
    BossPlay(w.swings[i], w.anms.effect, kSwingAnm[i][d], w.pos, UnitDepth(w) + kSwingDepth[i][d],
             attr, kSlgAnmOnce);
  }
  for (SlgPoly* line : {&w.beam, &w.trail}) {
    line->colour = kBeamColour;
    line->depth = static_cast<int16_t>(UnitDepth(w) + 1 + kTravelDepth[d]);
  }
  return kTimelineNextRow;
}

void FollowSwing(NormalWork& w) {
  BossFollow(w.body[0], w.pos);
  for (SlgAnmObj* swing : w.swings) BossFollow(swing, w.pos);
}

// The beam from the origin to the far end with its width shifted (growth), drawn.
void DrawWideBeam(NormalWork& w, const SlgPair& far_end) {
  const SlgPair origin = Origin(w);
  const SlgPoint shift = AmaterasBeamShift(far_end, origin);
  const PolygonPoint f{far_end.x >> 16, far_end.y >> 16};
  const PolygonPoint o{origin.x >> 16, origin.y >> 16};
  w.beam.corners[0] = f;
  w.beam.corners[1] = o;
  w.beam.corners[2] = {o.x + shift.x, o.y + shift.y};
  w.beam.corners[3] = {f.x + shift.x, f.y + shift.y};
  SlgPolyCreate(CDdrawSpr::kBuffered, &w.beam, SURFACE_ROOT);
}

// A line one pixel high from a to b (drawing positions), drawn.
void DrawThinLine(SlgPoly& line, const SlgPair& a, const SlgPair& b) {
  const PolygonPoint p{a.x >> 16, a.y >> 16};
  const PolygonPoint q{b.x >> 16, b.y >> 16};
  line.corners[0] = p;
  line.corners[1] = q;
  line.corners[2] = {q.x, q.y + 1};
  line.corners[3] = {p.x, p.y + 1};
  SlgPolyCreate(CDdrawSpr::kBuffered, &line, SURFACE_ROOT);
}

int BeamStarts(NormalWork& w) {
  BossFreeObjs({{w.swings.data(), 3}});
  const PolygonPoint o{Origin(w).x >> 16, Origin(w).y >> 16};
  std::fill(std::begin(w.beam.corners), std::end(w.beam.corners), o);
  w.grow_start = TimelineNow();
  return kTimelineNextRow;
}

int32_t Grow(NormalWork& w) {
  BossFollow(w.body[0], w.pos);
  const int32_t n = std::min(TimelineFrames(w.grow_start), kGrowFrames - 1);
  const SlgPair origin = Origin(w);
  DrawWideBeam(w, AmaterasBeamEnd(origin, Offset(w.pos, kBeamReach[Dir(w)]), n));
  return n;
}

SlgPair FrontScreen(const NormalWork& w) { return Slg::PosToScreen(w.front); }

int HeadAtFront(NormalWork& w) {
  const size_t d = Dir(w);
  w.front = CellStrikeAt(Offset({w.unit->x, w.unit->y}, kCellStep[d])).cell.ground;
  DrawWideBeam(w, FrontScreen(w));
  BossPlay(w.head[0], w.anms.effect, kHeadAnm[d], FrontScreen(w), UnitDepth(w) + kTravelDepth[d],
           kBeamAttr[d], kSlgAnmOnce);
  return kTimelineNextRow;
}

void HoldBeam(NormalWork& w) {
  BossFollow(w.body[0], w.pos);
  BossFollow(w.head[0], FrontScreen(w));
  DrawWideBeam(w, FrontScreen(w));
}

// The cells ahead: each hit made stopped and hidden, at the target standing there or at the
// cell.
int TravelStarts(NormalWork& w) {
  BossFreeObjs({{w.head, 1}});
  const size_t d = Dir(w);
  w.cells = std::clamp(CountLineCells(*w.unit, static_cast<int>(d), kMaxCells), 0, kMaxCells);
  w.end = Offset(w.front, {kCellStep[d].x * w.cells, kCellStep[d].y * w.cells});
  w.point = w.front;
  BossPlay(w.travel[0], w.anms.effect, kTravelAnm[d], FrontScreen(w),
           UnitDepth(w) + kTravelDepth[d], kBeamAttr[d], 0);
  std::array<CellStrike, kMaxCells> strikes;
  const std::span<CellStrike> along(strikes.data(), static_cast<size_t>(w.cells));
  CellStrikesAlong({w.unit->x, w.unit->y}, static_cast<int>(d), along);
  const uint16_t attr = BossUnitAttr(*w.unit);
  constexpr uint8_t kMode = kSlgAnmOnce | kSlgAnmStartStopped;
  ForEachCellStrike(
      std::span<const CellStrike>(along),
      [&](int k, const CellStrike& /*s*/, const SlgUnit& target) {
        const SlgPair at = BossUnitScreen(target);
        const int depth = BossUnitDepth(target) - 1;
        BossPlay(w.cell_hits[static_cast<size_t>(k)], w.anms.effect, kCellHitAnm, at, depth, attr,
                 kMode);
        BossPlay(w.target_hits[static_cast<size_t>(k)], w.anms.effect, kTargetHitAnm,
                 {at.x, at.y - kTargetHitRaise * kPx}, depth, attr, kMode);
        SlgAnmHide(w.target_hits[static_cast<size_t>(k)]->handle);
        w.has_target[static_cast<size_t>(k)] = true;
      },
      [&](int k, const CellStrike& s) {
        BossPlay(w.cell_hits[static_cast<size_t>(k)], w.anms.effect, kCellHitAnm, s.screen,
                 UnitDepth(w) + kTravelDepth[d], attr, kMode);
      });
  for (int k = 0; k < w.cells; ++k) SlgAnmHide(w.cell_hits[static_cast<size_t>(k)]->handle);
  w.travel_start = TimelineNow();
  return kTimelineNextRow;
}

// Past the end on either axis, by the direction of travel.
bool PastEnd(const NormalWork& w, const SlgPair& p) {
  const SlgPoint v = kTravelSpeed[Dir(w)];
  return (v.x > 0 ? p.x > w.end.x : p.x < w.end.x) || (v.y > 0 ? p.y > w.end.y : p.y < w.end.y);
}

void StartShown(SlgAnmObj* obj) {
  BossStartObj(obj);
  SlgAnmObjShow(obj);
}

// One frame of the travel: the point moves on until it would pass the end, the lines follow it
// and the camera with it; the cell hits start on their delays. The cells not finished.
int32_t CellsLeft(NormalWork& w) {
  BossFollow(w.body[0], w.pos);
  const int32_t n = TimelineFrames(w.travel_start);
  const SlgPoint v = kTravelSpeed[Dir(w)];
  const SlgPair p{Held(w.front.x + int64_t{v.x} * n * kPx), Held(w.front.y + int64_t{v.y} * n * kPx)};
  if (!PastEnd(w, p)) w.point = p;
  const SlgPair at = Slg::PosToScreen(w.point);
  BossFollow(w.travel[0], at);
  DrawThinLine(w.beam, Origin(w), at);
  DrawThinLine(w.trail, FrontScreen(w), at);
  Slg::ScrollToPos(w.point, 0);
  int32_t left = 0;
  for (int k = 0; k < w.cells; ++k) {
    const size_t i = static_cast<size_t>(k);
    if (!w.cell_started[i] && n >= k * 8 + 1) {
      StartShown(w.cell_hits[i]);
      w.cell_started[i] = true;
    }
    if (w.has_target[i] && !w.target_started[i] && n >= k * 8 + 12) {
      StartShown(w.target_hits[i]);
      w.target_started[i] = true;
    }
    const bool cell_done = w.cell_started[i] && SlgAnmObjIsEnd(w.cell_hits[i]) != 0;
    const bool target_done =
        !w.has_target[i] || (w.target_started[i] && SlgAnmObjIsEnd(w.target_hits[i]) != 0);
    if (!cell_done || !target_done) ++left;
  }
  return left;
}

int32_t CellsDone(NormalWork& w) { return CellsLeft(w) == 0 ? 1 : 0; }

int FinishNormal(NormalWork& w) {
  SlgPolyFree(&w.beam);
  SlgPolyFree(&w.trail);
  BossFreeObjs(NormalLists(w));
  BossFinish(w, 0);
  return kTimelineStop;
}

using NW = TimelineWait<NormalWork>;
constexpr TimelineRow<NormalWork> kNormal[] = {
    {NW::AtOnce(), &NormalSetUp},                                                    // 0
    {NW::AtOnce(), &Swing},                                                          // 1
    {NW::AnmEnd([](NormalWork& w) { return w.body[0]; }), &BeamStarts, kTimelineNextRow, 0,
     &FollowSwing},                                                                  // 2
    {NW::Counter(&Grow, kGrowFrames - 1), &HeadAtFront},                             // 3
    {NW::AnmEnd([](NormalWork& w) { return w.head[0]; }), &TravelStarts, kTimelineNextRow, 0,
     &HoldBeam},                                                                     // 4
    {NW::Counter(&CellsDone, 1), &FinishNormal},                                     // 5
};

// The family's battle block.
using AmaterasWork = BossFamilyWork<SpecialWork, NormalWork>;

}  // namespace

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kNormal, unit, pos, Battle().Extension<AmaterasWork>().normal);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecial, unit, pos, Battle().Extension<AmaterasWork>().special);
}

}  // namespace Amateras
