// Vevaz's attacks (kind 28), on the boss frame (battle_effects/boss_frame.h).
//
// Special: a card turns in and a picture fades; the boss and its aura appear; over the second
// background two glows grow while the rippling band ("Vevaz::LineScroll") fades in, then a white
// flash, a growing flash and sparks. Back on the map the boss sends a shock wave along its facing
// direction to the last free cell ahead, the camera following it; each target is hit as the wave
// passes it; the wave runs back and the boss settles. Event flag 901, or 910 once 901 is set.
// Normal: a body and three swings by direction with nine after-images coming in turn, a hit on
// every target after 97 or 91 frames, then the after-images vanish in reverse.

#include "battle_effects/vevaz.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_stage.h"
#include "battle/slg_task.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/card_turn.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/scene_fades.h"
#include "battle_effects/step_timeline.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 0x10000;

// ---- Wave tables, by direction ----

constexpr std::array<SlgPoint, 4> kWaveStep{{{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};
constexpr std::array<SlgPair, 4> kWaveSpeed{
    {{kPx / 2, -kPx / 4}, {kPx / 2, kPx / 4}, {-kPx / 2, kPx / 4}, {-kPx / 2, -kPx / 4}}};
constexpr std::array<SlgPair, 4> kWaveAccel{
    {{kPx / 4, -kPx / 8}, {kPx / 4, kPx / 8}, {-kPx / 4, kPx / 8}, {-kPx / 4, -kPx / 8}}};
constexpr std::array<SlgPair, 4> kWaveLimit{
    {{16 * kPx, -8 * kPx}, {16 * kPx, 8 * kPx}, {-16 * kPx, 8 * kPx}, {-16 * kPx, -8 * kPx}}};
constexpr int kWaveCells = 256;  // the count of cells ahead stops here

int32_t Held(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int Sign(int32_t v) { return (v > 0) - (v < 0); }

// The centre of the cell `cells` steps ahead of the unit's, on the ground.
SlgPair CellAhead(const SlgUnit& unit, size_t dir, int32_t cells) {
  const SlgPair own = SnapPosToCellHeight(unit.x, unit.y).ground;
  const SlgPoint step = kWaveStep[dir & 3u];
  const int64_t x = int64_t{own.x} + int64_t{step.x} * cells * kPx;
  const int64_t y = int64_t{own.y} + int64_t{step.y} * cells * kPx;
  return SnapPosToCellHeight(Held(x), Held(y)).ground;
}

}  // namespace

// ---- The wave and the scene's arithmetic ----

VevazWaveLine VevazWaveLineOf(const SlgUnit& unit) {
  const size_t dir = unit.dir & 3u;
  const int32_t cells = CountLineCells(unit, static_cast<int>(dir), kWaveCells);
  return {cells, CellAhead(unit, dir, 0), CellAhead(unit, dir, cells)};
}

VevazWave VevazWaveToward(const SlgPair& start, const SlgPair& end, int dir) {
  const size_t d = static_cast<size_t>(dir) & 3u;
  return {start, end, kWaveSpeed[d], kWaveAccel[d], kWaveLimit[d]};
}

VevazWavePos VevazWaveAt(const VevazWave& run, int32_t frames) {
  // A run with nowhere to go is over before it moves.
  if (VevazWavePassed(run, run.start)) return {run.start, true};
  int64_t px = run.start.x, py = run.start.y;
  int64_t vx = run.speed.x, vy = run.speed.y;
  int64_t ax = run.accel.x, ay = run.accel.y;
  const int64_t lx = std::llabs(run.limit.x), ly = std::llabs(run.limit.y);
  const int32_t f = std::max(frames, int32_t{0});
  for (int32_t k = 0; k < f; ++k) {
    if (std::llabs(vx) >= lx) ax = 0;
    if (std::llabs(vy) >= ly) ay = 0;
    if (ax == 0 && ay == 0) {
      // Both speeds are settled: the frames left move the point in one product.
      px += vx * (f - k);
      py += vy * (f - k);
      break;
    }
    vx += ax;
    vy += ay;
    px += vx;
    py += vy;
  }
  const SlgPair point{Held(px), Held(py)};
  return {point, VevazWavePassed(run, point)};
}

bool VevazWavePassed(const VevazWave& run, const SlgPair& point) {
  const int32_t ex = run.end.x >> 16, ey = run.end.y >> 16;
  const int sx = Sign(ex - (run.start.x >> 16));
  const int sy = Sign(ey - (run.start.y >> 16));
  if (sx == 0 && sy == 0) return true;
  return (sx != 0 && Sign(ex - (point.x >> 16)) != sx) ||
         (sy != 0 && Sign(ey - (point.y >> 16)) != sy);
}

SlgPoint VevazWaveScroll(const SlgPair& point) {
  const BattleContext& b = Battle();
  const int32_t w = b.stage ? b.stage->header().width : 640;
  const int32_t h = b.stage ? b.stage->header().height : 480;
  return {std::clamp((point.x >> 16) - 320, 0, std::max(0, w - 640)),
          std::clamp((point.y >> 16) - 240, 0, std::max(0, h - 480))};
}

BlendWord VevazGlowAlpha(int32_t n) {
  const int32_t k = std::clamp(n, int32_t{0}, int32_t{32});
  return static_cast<BlendWord>(0x10000 + k * 256 / 32);
}

int32_t VevazGlowZoom(int32_t n) {
  const int32_t k = std::clamp(n, int32_t{0}, int32_t{31});
  return kPx / 32 + k * (kPx / 32);
}

int VevazActiveSparks(int32_t n) { return std::clamp(n / 8, int32_t{0}, int32_t{16}); }

namespace Vevaz {

namespace {

// ---- Scene tables ----

constexpr BossSpecialShape kShape{
    .layer_mode = 2, .enter_fade = 32, .return_fade = 0, .event_flag = 0};
constexpr uint32_t kFirstFlag = 901;   // the first special attack
constexpr uint32_t kSecondFlag = 910;  // every later one
// Background 2, the rippling band: 512 strips of one line, each 640 + 2 x 32 pixels wide.
constexpr BossLineScroll kLineScroll{.source = SURFACE_ROOT,
                                     .x_offset = 32,
                                     .top = -1,
                                     .width = 640,
                                     .band_height = 512,
                                     .strip_height = 1,
                                     .dest = SURFACE_ROOT,
                                     .mode = 0,
                                     .depth = 511,
                                     .amp_start = 2 * kPx,
                                     .amp_limit = 32 * kPx,
                                     .amp_growth = kPx,
                                     .step_strip = 2,
                                     .step_frame = 4,
                                     .scroll_band = 512,
                                     .scroll_wrap = 512,
                                     .scroll_speed = 4 * kPx,
                                     .alpha = 0};
constexpr const char kLineScrollName[] = "Vevaz::LineScroll";
constexpr CardLook kCard{11, 0x9409, {{{-88, -136}, {86, -136}, {86, 134}, {-88, 134}}}};
constexpr int kBackgroundDepth = 509;

// Animations of the special effect set (slot 8) and body set (slot 7).
constexpr uint32_t kAuraAnm = 0, kFlashAnm = 1, kShockAnm = 1, kGlowAnm = 2, kSparkAnm = 4,
                   kHitAnm = 4, kPictureAnm = 12;
constexpr uint32_t kBossAnm = 0;
constexpr std::array<uint32_t, 3> kMapAuraAnm{5, 7, 9};  // first, looping, last (+1: the second)
constexpr std::array<int8_t, 2> kMapAuraDepth{-1, 1};
// The map body: first, second, third and last animations by direction.
constexpr std::array<BossDirAnm, 4> kMapBody{
    {{{2, 1, 1, 2}, 0}, {{4, 3, 3, 4}, 0}, {{6, 5, 5, 6}, 0}, {{8, 7, 7, 8}, 0}}};

constexpr std::array<SlgPoint, 2> kGlowPoints{{{-74, -6}, {10, 32}}};
constexpr SlgPoint kFlashPoint{0, 32};
constexpr BlendWord kGlowAlpha0 = 0x10000;
constexpr BlendWord kLightAlpha = 0x90000;  // the flash and the shock
constexpr int32_t kFlashZoomLimit = 10 * kPx;
constexpr int kSparks = 16;
constexpr int kSparkDepth = -32;
constexpr int32_t kHitZoom = kPx / 2;
constexpr int32_t kGrowth = kPx / 32;  // the flash and the shock, per frame

// An object made stopped and hidden starts and is drawn on this frame.
void StartShown(SlgAnmObj* obj) {
  BossStartObj(obj);
  SlgAnmObjShow(obj);
}

// ---- Special attack ----

struct SpecialWork : BossBase {
  SlgAnmObj* boss[1];
  SlgAnmObj* card[1];
  SlgAnmObj* picture[1];
  SlgAnmObj* aura[1];
  SlgAnmObj* shock[1];
  SlgAnmObj* body[1];
  SlgAnmObj* flash[1];
  std::array<SlgAnmObj*, 2> glows;
  std::array<SlgAnmObj*, 2> map_auras;
  std::array<SlgAnmObj*, kSparks> sparks;
  // One hit per target, as many as the damage list holds.
  std::array<SlgAnmObj*, kSlgMaxUnits> hits;
  std::array<bool, kSlgMaxUnits> hit_started;
  int32_t target_count;

  CardTurn card_turn;
  PictureFade picture_fade;
  LineScrollFade scroll_fade;
  uint32_t glow_start, light_start;  // the glows; the flash and the sparks
  std::array<int32_t, kSparks> spark_zoom;
  std::array<SlgPair, kSparks> spark_at;
  uint32_t shock_start;
  int32_t shock_zoom0, shock_zoom;
  std::array<bool, 2> aura_looping;

  VevazWave wave;
  uint32_t wave_start;
  SlgPair point;  // the wave point (16.16 map position, on the ground)
  bool passed;

  std::array<BossPicture, 2> backgrounds;
  SlgEffectTask* line_scroll;
};

int UnitDepth(const SpecialWork& w) { return BossUnitDepth(*w.unit); }
size_t Dir(const SpecialWork& w) { return w.unit->dir & 3u; }

std::array<BossObjList, 11> SpecialLists(SpecialWork& w) {
  return {{{w.boss, 1},
           {w.card, 1},
           {w.picture, 1},
           {w.aura, 1},
           {w.shock, 1},
           {w.body, 1},
           {w.flash, 1},
           {w.glows.data(), 2},
           {w.map_auras.data(), 2},
           {w.sparks.data(), kSparks},
           {w.hits.data(), w.target_count}}};
}

const SlgUnit& TargetUnit(int i) {
  const BattleContext& b = Battle();
  return b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
}

int SetUp(SpecialWork& w) {
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  w.target_count = BossListedTargets();
  if (!BossAllocObjs(w, SpecialLists(w))) return kTimelineStop;
  BossCutPicture(*w.unit, 0, SURFACE_SCRATCH, true, w.backgrounds[0]);
  BossCutPicture(*w.unit, 1, SURFACE_SCRATCH, true, w.backgrounds[1]);
  // Background 2 goes onto surface 4 and is cut there into strips of 704 x 1, 512 lines down.
  w.line_scroll = BossWideLineScrollStart(*w.unit, 2, kLineScrollName, kLineScroll);
  SlgClearLayer(SURFACE_ROOT);
  BossSceneOn(w, kShape);
  return kTimelineNextRow;
}

int EnterScene(SpecialWork& /*w*/) {
  BossEnterScene(kShape);
  return kTimelineNextRow;
}

int CardIn(SpecialWork& w) {
  CardTurnStart(w.card_turn, w.card[0], w.anms.effect, kCard, UnitDepth(w) - 1);
  return kTimelineNextRow;
}

int WhiteOut32(SpecialWork& /*w*/) {
  SlgWhiteOut(32);
  return kTimelineNextRow;
}

int PictureIn(SpecialWork& w) {
  BossShowPicture(w.backgrounds[0], 320, 240, kBackgroundDepth);
  CardTurnFree(w.card_turn);
  BossFreeObjs({{w.card, 1}});
  BossPlay(w.picture[0], w.anms.effect, kPictureAnm, {0, 0}, UnitDepth(w) - 1, 0, 0);
  SlgWhiteIn(32);
  return kTimelineNextRow;
}

int StartPictureFade(SpecialWork& w) {
  PictureFadeStart(w.picture_fade, w.anms.effect, kPictureAnm);
  return kTimelineNextRow;
}

// The picture is gone; the boss waits stopped at the centre.
int PictureGone(SpecialWork& w) {
  BossFreeObjs({{w.picture, 1}});
  BossPlay(w.boss[0], w.anms.body, kBossAnm, {0, 0}, UnitDepth(w), 0,
           kSlgAnmOnce | kSlgAnmStartStopped);
  return kTimelineNextRow;
}

int BossAppears(SpecialWork& w) {
  if (w.backgrounds[0].entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&w.backgrounds[0].entry);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  BossStartObj(w.boss[0]);
  BossPlay(w.aura[0], w.anms.effect, kAuraAnm, {0, 0}, UnitDepth(w) + 1, 0, kSlgAnmOnce);
  return kTimelineNextRow;
}

int32_t BossAndAuraEnded(SpecialWork& w) {
  return SlgAnmObjIsEnd(w.boss[0]) != 0 && SlgAnmObjIsEnd(w.aura[0]) != 0 ? 1 : 0;
}

int GlowsIn(SpecialWork& w) {
  BossFreeObjs({{w.boss, 1}, {w.aura, 1}});
  BossShowPicture(w.backgrounds[1], 320, 240, kBackgroundDepth);
  w.glow_start = TimelineNow();
  for (size_t i = 0; i < w.glows.size(); ++i) {
    const SlgPair at{kGlowPoints[i].x * kPx, kGlowPoints[i].y * kPx};
    BossPlay(w.glows[i], w.anms.effect, kGlowAnm, at, UnitDepth(w) - 1, 0, 0);
    SlgSprSetZoom(w.glows[i]->handle, {VevazGlowZoom(0), VevazGlowZoom(0)});
    SlgSprSetAlpha(w.glows[i], kGlowAlpha0);
  }
  LineScrollFadeStart(w.scroll_fade);
  SlgTaskNextPhase(w.line_scroll);
  return kTimelineNextRow;
}

void Glows(SpecialWork& w) {
  const int32_t n = TimelineFrames(w.glow_start);
  for (SlgAnmObj* glow : w.glows) {
    SlgSprSetZoom(glow->handle, {VevazGlowZoom(n), VevazGlowZoom(n)});
    SlgSprSetAlpha(glow, VevazGlowAlpha(n));
  }
  LineScrollFadeStep(w.scroll_fade, w.line_scroll);
}

int WhiteOut8(SpecialWork& /*w*/) {
  SlgWhiteOut(8);
  return kTimelineNextRow;
}

// A spark at a new random point (x, y drawn first) with a random zoom of 0.5 up to under 1.5.
void PlaySpark(SpecialWork& w, size_t i) {
  w.spark_at[i] = BossRandomScreenPoint();
  w.spark_zoom[i] = kPx / 2 + (SlgRand() & (kPx - 1));
  BossPlay(w.sparks[i], w.anms.effect, kSparkAnm, w.spark_at[i], UnitDepth(w) + kSparkDepth, 0,
           kSlgAnmOnce);
  SlgSprSetZoom(w.sparks[i]->handle, {w.spark_zoom[i], w.spark_zoom[i]});
}

int LightsIn(SpecialWork& w) {
  SlgWhiteIn(8);
  w.light_start = TimelineNow();
  const SlgPair at{kFlashPoint.x * kPx, kFlashPoint.y * kPx};
  BossPlay(w.flash[0], w.anms.effect, kFlashAnm, at, UnitDepth(w) - 1, 0, 0);
  SlgSprSetZoom(w.flash[0]->handle, {kGrowth, kGrowth});
  SlgSprSetAlpha(w.flash[0], kLightAlpha);
  for (size_t i = 0; i < w.sparks.size(); ++i) PlaySpark(w, i);
  return kTimelineNextRow;
}

// The glows, the band's fade, the flash growing to 10.0 and the active sparks: each kept at its
// zoom and place, and played again elsewhere once its animation has ended.
void Scene(SpecialWork& w) {
  Glows(w);
  const int32_t n = TimelineFrames(w.light_start);
  const int32_t zoom = Held(std::min<int64_t>(int64_t{kGrowth} + int64_t{n} * kGrowth,
                                              kFlashZoomLimit));
  SlgSprSetZoom(w.flash[0]->handle, {zoom, zoom});
  const int active = VevazActiveSparks(n);
  for (size_t i = 0; i < static_cast<size_t>(active); ++i) {
    if (SlgAnmObjIsEnd(w.sparks[i]) != 0) {
      PlaySpark(w, i);
    } else {
      BossFollow(w.sparks[i], w.spark_at[i]);
      SlgSprSetZoom(w.sparks[i]->handle, {w.spark_zoom[i], w.spark_zoom[i]});
    }
  }
}

int SceneGone(SpecialWork& w) {
  if (w.line_scroll != nullptr) SlgTaskStop(w.line_scroll);
  w.line_scroll = nullptr;
  for (BossPicture& background : w.backgrounds) BossDeletePicture(background);
  BossFreeObjs({{w.glows.data(), 2}, {w.flash, 1}, {w.sparks.data(), kSparks}});
  return kTimelineNextRow;
}

// The camera centred on the wave point, held on the map.
void CameraOnWave(const SlgPair& point) {
  const SlgPoint s = VevazWaveScroll(point);
  Slg::ScrollJumpTo({(s.x + 320) * kPx, (s.y + 240) * kPx});
}

int ReturnToMap(SpecialWork& w) {
  BossReturnToMap(kShape, w.line_scroll);
  const VevazWaveLine line = VevazWaveLineOf(*w.unit);
  w.point = line.start;
  w.wave = VevazWaveToward(line.start, line.end, static_cast<int>(Dir(w)));
  BossPlayDir(w.body[0], w.anms.body, kMapBody[0], w, 0);
  // The camera puts the wave point at the screen's centre as it stands (the runs hold it on the
  // map afterwards).
  Slg::ScrollJumpTo(w.point);
  SlgWhiteIn(32);
  return kTimelineNextRow;
}

void FollowUnit(SpecialWork& w) {
  BossFollow(w.body[0], w.pos);
  for (size_t i = 0; i < w.map_auras.size(); ++i) {
    // Each aura goes from its first animation to its looping one when the first has ended.
    if (!w.aura_looping[i] && w.map_auras[i]->handle != nullptr &&
        SlgAnmObjIsEnd(w.map_auras[i]) != 0) {
      BossPlay(w.map_auras[i], w.anms.effect, kMapAuraAnm[1] + static_cast<uint32_t>(i), w.pos,
               UnitDepth(w) + kMapAuraDepth[i], BossUnitAttr(*w.unit), 0);
      w.aura_looping[i] = true;
    }
    BossFollow(w.map_auras[i], w.pos);
  }
}

void ShockAt(SpecialWork& w, int32_t zoom) {
  w.shock_zoom = zoom;
  BossFollow(w.shock[0], Slg::PosToScreen(w.point));
  SlgSprSetZoom(w.shock[0]->handle, {zoom, zoom});
}

int AurasAndShock(SpecialWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kMapBody[1], w, kSlgAnmOnce);
  for (size_t i = 0; i < w.map_auras.size(); ++i) {
    BossPlay(w.map_auras[i], w.anms.effect, kMapAuraAnm[0] + static_cast<uint32_t>(i), w.pos,
             UnitDepth(w) + kMapAuraDepth[i], BossUnitAttr(*w.unit), kSlgAnmOnce);
  }
  BossPlay(w.shock[0], w.anms.effect, kShockAnm, Slg::PosToScreen(w.point), UnitDepth(w) - 1, 0,
           0);
  SlgSprSetAlpha(w.shock[0], kLightAlpha);
  w.shock_zoom0 = kGrowth;
  w.shock_start = TimelineNow();
  ShockAt(w, kGrowth);
  return kTimelineNextRow;
}

void Surge(SpecialWork& w) {
  FollowUnit(w);
  const int64_t zoom = int64_t{w.shock_zoom0} + int64_t{TimelineFrames(w.shock_start)} * kGrowth;
  ShockAt(w, Held(std::min<int64_t>(zoom, kPx)));
}

int32_t Gathered(SpecialWork& w) {
  return SlgAnmObjIsEnd(w.body[0]) != 0 && w.aura_looping[0] && w.aura_looping[1] &&
                 w.shock_zoom >= kPx
             ? 1
             : 0;
}

int BodyThird(SpecialWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kMapBody[2], w, 0);
  return kTimelineNextRow;
}

int MakeHits(SpecialWork& w) {
  for (int i = 0; i < w.target_count; ++i) {
    const SlgUnit& t = TargetUnit(i);
    SlgAnmObj* hit = w.hits[static_cast<size_t>(i)];
    BossPlay(hit, w.anms.effect, kHitAnm, BossUnitScreen(t), BossUnitDepth(t) - 1, 0,
             kSlgAnmOnce | kSlgAnmStartStopped);
    SlgSprSetZoom(hit->handle, {kHitZoom, kHitZoom});
    SlgAnmHide(hit->handle);
  }
  w.wave = VevazWaveToward(w.point, w.wave.end, static_cast<int>(Dir(w)));
  w.wave_start = TimelineNow();
  w.passed = false;
  return kTimelineNextRow;
}

void StartHit(SpecialWork& w, int i) {
  w.hit_started[static_cast<size_t>(i)] = true;
  StartShown(w.hits[static_cast<size_t>(i)]);
}

void FollowHits(SpecialWork& w) {
  for (int i = 0; i < w.target_count; ++i) {
    if (w.hit_started[static_cast<size_t>(i)])
      BossFollow(w.hits[static_cast<size_t>(i)], BossUnitScreen(TargetUnit(i)));
  }
}

// One frame of a run: the point replayed from the run's start, the camera on it (held on the
// map), the map body and auras with the unit.
void RunWave(SpecialWork& w) {
  const VevazWavePos p = VevazWaveAt(w.wave, TimelineFrames(w.wave_start));
  w.point = p.point;
  w.passed = p.passed;
  CameraOnWave(w.point);
  FollowUnit(w);
}

// The outward run: the shock rides the point; a hit starts once the point has passed its target
// (directions 0 and 1 run toward larger x, 2 and 3 toward smaller).
void WaveOut(SpecialWork& w) {
  RunWave(w);
  ShockAt(w, w.shock_zoom);
  const bool rightward = Dir(w) < 2;
  for (int i = 0; i < w.target_count; ++i) {
    if (w.hit_started[static_cast<size_t>(i)]) continue;
    const int32_t tx = TargetUnit(i).x;
    if (rightward ? tx <= w.point.x : tx >= w.point.x) StartHit(w, i);
  }
  FollowHits(w);
}

int32_t Passed(SpecialWork& w) { return w.passed ? 1 : 0; }

// The run is over: the shock shrinks from where it stands; a target the wave never reached
// (beyond its end, behind a wall or a height change) is hit now, so no hit waits for ever.
int OutEnded(SpecialWork& w) {
  w.shock_zoom0 = w.shock_zoom;
  w.shock_start = TimelineNow();
  for (int i = 0; i < w.target_count; ++i) {
    if (!w.hit_started[static_cast<size_t>(i)]) StartHit(w, i);
  }
  return kTimelineNextRow;
}

void Shrink(SpecialWork& w) {
  FollowUnit(w);
  FollowHits(w);
  if (w.shock[0]->handle == nullptr) return;
  const int64_t zoom = int64_t{w.shock_zoom0} - int64_t{TimelineFrames(w.shock_start)} * kGrowth;
  if (zoom <= 0) {
    BossRelease(w.shock[0]);
    return;
  }
  ShockAt(w, Held(zoom));
}

int32_t ShockAndHitsGone(SpecialWork& w) {
  return w.shock[0]->handle == nullptr &&
                 BossObjsEnded(std::span(w.hits.data(), static_cast<size_t>(w.target_count))) != 0
             ? 1
             : 0;
}

int TurnBack(SpecialWork& w) {
  BossFreeObjs({{w.shock, 1}, {w.hits.data(), w.target_count}});
  const int back = static_cast<int>((Dir(w) + 2) & 3u);
  w.wave = VevazWaveToward(w.point, CellAhead(*w.unit, Dir(w), 0), back);
  w.wave_start = TimelineNow();
  w.passed = false;
  return kTimelineNextRow;
}

int Settle(SpecialWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kMapBody[3], w, kSlgAnmOnce);
  for (size_t i = 0; i < w.map_auras.size(); ++i) {
    BossPlay(w.map_auras[i], w.anms.effect, kMapAuraAnm[2] + static_cast<uint32_t>(i), w.pos,
             UnitDepth(w) + kMapAuraDepth[i], BossUnitAttr(*w.unit), kSlgAnmOnce);
  }
  return kTimelineNextRow;
}

void FollowBody(SpecialWork& w) {
  BossFollow(w.body[0], w.pos);
  for (SlgAnmObj* aura : w.map_auras) BossFollow(aura, w.pos);
}

int32_t Settled(SpecialWork& w) {
  return SlgAnmObjIsEnd(w.body[0]) != 0 && BossObjsEnded(w.map_auras) != 0 ? 1 : 0;
}

int FinishSpecial(SpecialWork& w) {
  CardTurnFree(w.card_turn);
  for (BossPicture& background : w.backgrounds) BossDeletePicture(background);
  BossFreeObjs(SpecialLists(w));
  BossShadowOn();
  BossFinish(w, CheckEventFlag(kFirstFlag) != 0 ? kSecondFlag : kFirstFlag);
  return kTimelineStop;
}

using SW = TimelineWait<SpecialWork>;
constexpr TimelineRow<SpecialWork> kSpecial[] = {
    {SW::AtOnce(), &SetUp},                                                       // 0
    {SW::AtOnce(), &EnterScene},                                                  // 1
    {SW::FadeEnd(), &CardIn},                                                     // 2
    {SW::SubDone(&CardTurnRow<SpecialWork>), &WhiteOut32},                        // 3
    {SW::FadeEnd(), &PictureIn, kTimelineNextRow, 0, &CardTurnEach<SpecialWork>}, // 4
    {SW::FadeEnd(), &StartPictureFade},                                           // 5
    {SW::SubDone(&PictureFadeRow<SpecialWork>), &PictureGone},                    // 6
    {SW::Frames(3), &BossAppears},                                                // 7
    {SW::Counter(&BossAndAuraEnded, 1), &GlowsIn},                                // 8
    {SW::Frames(96), &WhiteOut8, kTimelineNextRow, 0, &Glows},                    // 9
    {SW::FadeEnd(), &LightsIn, kTimelineNextRow, 0, &Glows},                      // 10
    {SW::FadeEnd(), nullptr, kTimelineNextRow, 0, &Scene},                        // 11
    {SW::Frames(32), &WhiteOut32, kTimelineNextRow, 0, &Scene},                   // 12
    {SW::FadeEnd(), &SceneGone, kTimelineNextRow, 0, &Scene},                     // 13
    {SW::AtOnce(), &ReturnToMap},                                                 // 14
    {SW::FadeEnd(), &AurasAndShock, kTimelineNextRow, 0, &FollowBody},            // 15
    {SW::Counter(&Gathered, 1), &BodyThird, kTimelineNextRow, 0, &Surge},         // 16
    {SW::Frames(16), &MakeHits, kTimelineNextRow, 0, &Surge},                     // 17
    {SW::Counter(&Passed, 1), &OutEnded, kTimelineNextRow, 0, &WaveOut},          // 18
    {SW::Counter(&ShockAndHitsGone, 1), &TurnBack, kTimelineNextRow, 0, &Shrink}, // 19
    {SW::Counter(&Passed, 1), &Settle, kTimelineNextRow, 0, &RunWave},            // 20
    {SW::Counter(&Settled, 1), &FinishSpecial, kTimelineNextRow, 0, &FollowBody}, // 21
};

// ---- Normal attack ----

constexpr BossDirAnm kNormalBody{{1, 0, 0, 1}, 0};
constexpr std::array<BossDirAnm, 3> kSwings{
    {{{12, 0, 0, 12}, -1}, {{13, 1, 1, 13}, -1}, {{14, 2, 2, 14}, 1}}};
constexpr int kImages = 9;
constexpr std::array<uint8_t, 4> kImageFirst{15, 3, 3, 15};
constexpr std::array<int8_t, 4> kImageDepthStep{1, -1, -1, 1};
constexpr std::array<int32_t, 4> kHitWait{97, 91, 91, 97};
constexpr uint32_t kNormalHitAnm = 24;

// Image i comes 1 + 3i frames after the swing and goes 25 - 3i frames into the vanishing.
constexpr int32_t ImageComes(int i) { return 1 + 3 * i; }
constexpr int32_t ImageGoes(int i) { return 25 - 3 * i; }

struct NormalWork : BossBase {
  SlgAnmObj* body[1];
  std::array<SlgAnmObj*, 3> swings;
  std::array<SlgAnmObj*, kImages> images;
  std::array<SlgAnmObj*, kSlgMaxUnits> hits;
  int32_t target_count;
  uint32_t swing_start;   // step 1's call
  uint32_t vanish_start;  // step 4's first call
  int32_t images_shown;
  int32_t images_gone;
};

size_t Dir(const NormalWork& w) { return w.unit->dir & 3u; }

std::array<BossObjList, 4> NormalLists(NormalWork& w) {
  return {{{w.body, 1},
           {w.swings.data(), 3},
           {w.images.data(), kImages},
           {w.hits.data(), w.target_count}}};
}

int NormalSetUp(NormalWork& w) {
  if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;
  w.target_count = BossListedTargets();
  if (!BossAllocObjs(w, NormalLists(w))) return kTimelineStop;
  return kTimelineNextRow;
}

int Swing(NormalWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kNormalBody, w, 0);
  for (size_t i = 0; i < kSwings.size(); ++i) {
    BossPlayDir(w.swings[i], w.anms.effect, kSwings[i], w, kSlgAnmOnce);
  }
  const int16_t depth = BossUnitDepth(*w.unit);
  for (int i = 0; i < kImages; ++i) {
    SlgAnmObj* image = w.images[static_cast<size_t>(i)];
    BossPlay(image, w.anms.effect, kImageFirst[Dir(w)] + static_cast<uint32_t>(i), w.pos,
             depth + i * kImageDepthStep[Dir(w)], BossUnitAttr(*w.unit), kSlgAnmStartStopped);
    SlgAnmHide(image->handle);
  }
  w.swing_start = TimelineNow();
  return kTimelineNextRow;
}

// Everything follows the unit; the after-images come in turn.
void FollowAndShow(NormalWork& w) {
  const int32_t n = TimelineFrames(w.swing_start);
  while (w.images_shown < kImages && n >= ImageComes(w.images_shown)) {
    StartShown(w.images[static_cast<size_t>(w.images_shown++)]);
  }
  BossFollow(w.body[0], w.pos);
  for (SlgAnmObj* swing : w.swings) BossFollow(swing, w.pos);
  // Only the images shown: moving a hidden one would draw it.
  for (int i = 0; i < w.images_shown; ++i) BossFollow(w.images[static_cast<size_t>(i)], w.pos);
}

int32_t HitsDue(NormalWork& w) {
  return TimelineFrames(w.swing_start) >= kHitWait[Dir(w)] ? 1 : 0;
}

int Hits(NormalWork& w) {
  const uint16_t attr = BossUnitAttr(*w.unit);
  const BattleContext& b = Battle();
  for (int i = 0; i < w.target_count; ++i) {
    const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
    BossPlay(w.hits[static_cast<size_t>(i)], w.anms.effect, kNormalHitAnm, BossUnitScreen(t),
             BossUnitDepth(t) - 1, attr, kSlgAnmOnce);
  }
  return kTimelineNextRow;
}

void FollowHits(NormalWork& w) {
  FollowAndShow(w);
  const BattleContext& b = Battle();
  for (int i = 0; i < w.target_count; ++i) {
    const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
    BossFollow(w.hits[static_cast<size_t>(i)], BossUnitScreen(t));
  }
}

int32_t HitsEnded(NormalWork& w) {
  return BossObjsEnded(std::span(w.hits.data(), static_cast<size_t>(w.target_count)));
}

int HitsGone(NormalWork& w) {
  BossFreeObjs({{w.hits.data(), w.target_count}});
  w.vanish_start = TimelineNow();
  return kTimelineNextRow;
}

// The after-images go in reverse: the last first. An image whose animation the set lacks has no
// handle from the start and counts as gone, or the step would wait for it for ever.
void Vanish(NormalWork& w) {
  const int32_t n = TimelineFrames(w.vanish_start);
  w.images_gone = 0;
  for (int i = 0; i < kImages; ++i) {
    SlgAnmObj* image = w.images[static_cast<size_t>(i)];
    if (image->handle != nullptr && n >= ImageGoes(i)) BossRelease(image);
    if (image->handle == nullptr) {
      ++w.images_gone;
    } else {
      BossFollow(image, w.pos);
    }
  }
  BossFollow(w.body[0], w.pos);
  for (SlgAnmObj* swing : w.swings) BossFollow(swing, w.pos);
}

int FinishNormal(NormalWork& w) {
  BossFreeObjs(NormalLists(w));
  BossFinish(w, 0);
  return kTimelineStop;
}

using NW = TimelineWait<NormalWork>;
constexpr TimelineRow<NormalWork> kNormal[] = {
    {NW::AtOnce(), &NormalSetUp},                                                      // 0
    {NW::AtOnce(), &Swing},                                                            // 1
    {NW::Counter(&HitsDue, 1), &Hits, kTimelineNextRow, 0, &FollowAndShow},            // 2
    {NW::Counter(&HitsEnded, 1), &HitsGone, kTimelineNextRow, 0, &FollowHits},         // 3
    {NW::Counter([](NormalWork& w) { return w.images_gone; }, kImages), &FinishNormal,
     kTimelineNextRow, 0, &Vanish},  // 4
};

// The family's battle block.
using VevazWork = BossFamilyWork<SpecialWork, NormalWork>;

}  // namespace

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kNormal, unit, pos, Battle().Extension<VevazWork>().normal);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecial, unit, pos, Battle().Extension<VevazWork>().special);
}

}  // namespace Vevaz
