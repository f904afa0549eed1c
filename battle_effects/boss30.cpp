// The attacks of the boss of kind 30, on the boss frame (battle_effects/boss_frame.h).
//
// Normal: the body and two effect pairs by direction; 63 frames in, a projectile appears at the
// boss, and once the first object of both pairs has ended it flies to the attacked unit, dipping
// below the straight line, and bursts there.
// Special: a card turns in and whites out, a picture fades on the first background, the boss
// stands on the second one as it fades in, then its aura, ten stage objects (five of them
// flashing at random), a glow, and a shape that shoots upward before the scene whites out; back
// on the map, a source above the attacked unit sends thirteen beams onto the cells round it,
// with hits on every target standing there. Event flag 905 at the end. The special keeps layer 4
// in mode 2, where a battle keeps it.

#include "battle_effects/boss30.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/card_turn.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/kinematic.h"
#include "battle_effects/scene_fades.h"
#include "battle_effects/step_timeline.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace Boss30 {

namespace {

constexpr int32_t kPx = 0x10000;

}  // namespace

// ---- The arithmetic ----

int32_t DipAt(int32_t n) { return SlgSin(n * 8) * 256; }

bool FlightPassed(const SlgPair& start, const SlgPair& goal, const SlgPair& current) {
  const int32_t whole_x = (goal.x - start.x) >> 16;
  const int32_t whole_y = (goal.y - start.y) >> 16;
  if (whole_x == 0 && whole_y == 0) return true;
  const int64_t px = int64_t{(goal.x - current.x) >> 16} * whole_x;
  const int64_t py = int64_t{(goal.y - current.y) >> 16} * whole_y;
  return px < 0 || py < 0;
}

BeamPose BeamAt(int k) {
  const SlgPoint d = kStrikeOffsets[static_cast<size_t>(k)];
  const int32_t angle = SlgAtan2(-d.x, d.y + 128);
  const int32_t cosine = SlgCos(angle);
  // (dy + 176) / cos(angle) in 16.16 over the table's 16384, then per 192 pixels of picture.
  const int64_t over_cos = cosine != 0 ? (int64_t{d.y + kSourceRise} * kPx) / cosine : 0;
  return {angle, {kPx, static_cast<int32_t>(over_cos * 16384 / kBeamLength)}};
}

Climb ClimbAt(int32_t n) {
  int32_t y = -128 * kPx;
  int32_t v = -2 * kPx;
  for (int32_t k = 0; k < n; ++k) {
    y += v;
    v -= kPx;
    if (y <= -256 * kPx) return {y, true};
  }
  return {y, false};
}

namespace {

// ---- Special attack ----

constexpr BossSpecialShape kShape{
    .layer_mode = 2, .enter_fade = 32, .return_fade = 32, .event_flag = 905};
constexpr CardLook kCard{12, 0x9409, {{{-88, -136}, {86, -136}, {86, 134}, {-88, 134}}}};
constexpr SlgPair kCentre{0, 0};
constexpr int kBackgroundDepth = 511;

// Animations of the special effect set (slot 8) and body set (slot 7).
constexpr uint32_t kAuraAnm = 0, kRisingAnm = 3, kSourceAnm = 6, kBeamAnm = 7, kHitAnm = 8,
                   kSecondHitAnm = 9, kPictureAnm = 11, kGlowAnm = 13;
constexpr uint32_t kBossAnm = 0;
constexpr BossDirAnm kEndBody{{2, 1, 1, 2}, 0};

constexpr int kStageObjects = 10;
constexpr std::array<uint32_t, kStageObjects> kStageAnms{1, 15, 2, 4, 5, 17, 18, 19, 20, 21};
constexpr std::array<int8_t, kStageObjects> kStageDepths{-2, -2, 1, 1, 1, 1, 1, 1, 1, 1};
constexpr int kFirstFlash = 5;  // objects 5-9 flash at random

constexpr int32_t kStageCalls = 120;  // calls of step 10
constexpr int32_t kLongWait = 270;    // frames of step 11
constexpr int32_t kBgFade = 32;       // frames of background 1's fade-in
constexpr int32_t kFirstGroup = 32;   // frames from the source's first pass to the first beams
constexpr int32_t kGroupWait = 8;     // frames between the later beam groups
constexpr int32_t kShrinkFrames = 32;

// The rising shape's and the source's own state bytes.
constexpr uint8_t kRisingGrowing = 0, kRisingClimbing = 1, kRisingDone = 2;
constexpr uint8_t kSourceWaiting = 0, kSourceStriking = 1, kSourceShrinking = 2, kSourceGone = 3;

struct SpecialWork : BossBase {
  SlgAnmObj* boss[1];
  SlgAnmObj* card[1];
  SlgAnmObj* picture[1];
  SlgAnmObj* aura[1];
  std::array<SlgAnmObj*, kStageObjects> stage;
  SlgAnmObj* glow[1];
  SlgAnmObj* rising[1];
  SlgAnmObj* source[1];
  std::array<SlgAnmObj*, kStrikePoints> beams;
  std::array<SlgAnmObj*, kStrikePoints> hits;
  std::array<SlgAnmObj*, kStrikePoints> second_hits;

  CardTurn card_turn;
  PictureFade picture_fade;
  int32_t countdown;  // calls left in step 10
  std::array<int32_t, kStageObjects> stage_wait;
  std::array<uint32_t, kStageObjects> stage_start;
  std::array<bool, kStageObjects> stage_running;  // a flashing object is out (started)
  bool stage_looping;                             // object 1 has started looping
  int32_t rising_zoom;
  uint32_t rising_start;
  const SlgUnit* attacked;
  int32_t source_zoom;
  uint32_t strike_start;
  int32_t next_group;
  int32_t group_wait;
  uint32_t bg_start;  // background 1's fade-in
  BossPicture background[2];
};

std::array<BossObjList, 11> SpecialLists(SpecialWork& w) {
  return {{{w.boss, 1},
           {w.card, 1},
           {w.picture, 1},
           {w.aura, 1},
           {w.stage.data(), kStageObjects},
           {w.glow, 1},
           {w.rising, 1},
           {w.source, 1},
           {w.beams.data(), kStrikePoints},
           {w.hits.data(), kStrikePoints},
           {w.second_hits.data(), kStrikePoints}}};
}

int UnitDepth(const SpecialWork& w) { return BossUnitDepth(*w.unit); }

// An object made stopped and hidden, and cleared when it has played through.
void PlayHiddenOnce(SlgAnmObj* obj, SprAnm* set, uint32_t n, const SlgPair& at, int depth,
                    uint16_t attr) {
  BossPlay(obj, set, n, at, depth, attr, kSlgAnmOnce | kSlgAnmStartStopped);
  SlgAnmHide(obj->handle);
  SlgAnmPlayOnce(&obj->handle);
}

// A stopped object starts playing through (its mode now 1).
void StartOnce(SlgAnmObj* obj) {
  obj->mode = kSlgAnmOnce;
  BossStartObj(obj);
}

int SetUp(SpecialWork& w) {
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  if (!BossAllocObjs(w, SpecialLists(w))) return kTimelineStop;
  // Each background is cut into a sprite holding its own copy of the picture.
  BossCutPicture(*w.unit, 0, SURFACE_SCRATCH, true, w.background[0]);
  BossCutPicture(*w.unit, 1, SURFACE_SCRATCH, false, w.background[1]);
  BossSceneOn(w, kShape);
  return kTimelineNextRow;
}

// The scene opens. SlgFlags stays as it is (the return sets bits 1 and 2).
int EnterScene(SpecialWork& /*w*/) {
  BattleContext& b = Battle();
  HideTargets(b.target_count);
  b.kind_states.boss_shadow = 0;
  SlgFadeIn(kShape.enter_fade);
  return kTimelineNextRow;
}

int CardIn(SpecialWork& w) {
  CardTurnStart(w.card_turn, w.card[0], w.anms.effect, kCard, UnitDepth(w) - 1);
  return kTimelineNextRow;
}

int WhiteOut(SpecialWork& /*w*/) {
  SlgWhiteOut(32);
  return kTimelineNextRow;
}

int ShowPicture(SpecialWork& w) {
  CardTurnFree(w.card_turn);
  BossFreeObjs({{w.card, 1}});
  BossShowPicture(w.background[0], 320, 240, kBackgroundDepth);
  BossPlay(w.picture[0], w.anms.effect, kPictureAnm, kCentre, UnitDepth(w) - 1, 0, kSlgAnmOnce);
  SlgWhiteIn(32);
  return kTimelineNextRow;
}

int StartPictureFade(SpecialWork& w) {
  PictureFadeStart(w.picture_fade, w.anms.effect, kPictureAnm);
  return kTimelineNextRow;
}

int BossStands(SpecialWork& w) {
  BossFreeObjs({{w.picture, 1}});
  BossPlay(w.boss[0], w.anms.body, kBossAnm, kCentre, UnitDepth(w), 0, kSlgAnmStartStopped);
  return kTimelineNextRow;
}

int SecondBackground(SpecialWork& w) {
  BossDeletePicture(w.background[0]);
  BossShowPicture(w.background[1], 0, 0, kBackgroundDepth);
  if (w.background[1].sprite != nullptr) Ctx().ddraw_spr.SetSpriteAlpha(w.background[1].sprite, 0);
  w.bg_start = TimelineNow();
  return kTimelineNextRow;
}

void BackgroundAlpha(SpecialWork& w, BlendWord alpha) {
  if (w.background[1].sprite == nullptr) return;
  Ctx().ddraw_spr.SetSpriteAlpha(w.background[1].sprite, alpha);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void FadeBackgroundIn(SpecialWork& w) {
  const int32_t frames = TimelineFrames(w.bg_start);
  BackgroundAlpha(w, static_cast<BlendWord>(std::min(frames, kBgFade) * 256 / kBgFade));
}

int32_t RandomWait() { return (SlgRand() >> 16) & 63; }

void MakeStage(SpecialWork& w) {
  const int depth = UnitDepth(w);
  for (int i = 0; i < kStageObjects; ++i) {
    const auto k = static_cast<size_t>(i);
    SlgAnmObj* obj = w.stage[k];
    w.stage_wait[k] = RandomWait();
    w.stage_start[k] = TimelineNow();
    const bool at_once = i == 0 || i == 2 || i == 3 || i == 4;
    BossPlay(obj, w.anms.effect, kStageAnms[k], kCentre, depth + kStageDepths[k], 0,
             at_once ? kSlgAnmOnce : kSlgAnmOnce | kSlgAnmStartStopped);
    if (!at_once) SlgAnmHide(obj->handle);
    if (i != 2 && at_once) SlgAnmPlayOnce(&obj->handle);
  }
}

int SceneRuns(SpecialWork& w) {
  BackgroundAlpha(w, 256);
  StartOnce(w.boss[0]);
  BossPlay(w.aura[0], w.anms.effect, kAuraAnm, kCentre, UnitDepth(w) - 1, 0, kSlgAnmOnce);
  SlgAnmPlayOnce(&w.aura[0]->handle);
  MakeStage(w);
  w.countdown = kStageCalls;
  return kTimelineNextRow;
}

// Steps 10-13: object 1 loops once object 0 has played through; objects 5-9 flash again and again
// after random waits, stopped and hidden in between.
void Stage(SpecialWork& w) {
  if (!w.stage_looping && w.stage[0]->handle == nullptr && w.stage[1]->handle != nullptr) {
    Scene().tamvik_spr.spx()->SetLoop(w.stage[1]->handle, 1);
    BossStartObj(w.stage[1]);
    w.stage_looping = true;
  }
  for (int i = kFirstFlash; i < kStageObjects; ++i) {
    const auto k = static_cast<size_t>(i);
    SlgAnmObj* obj = w.stage[k];
    if (!w.stage_running[k]) {
      if (TimelineFrames(w.stage_start[k]) < w.stage_wait[k]) continue;
      StartOnce(obj);
      w.stage_running[k] = true;
    } else if (SlgAnmObjIsEnd(obj) != 0) {
      w.stage_wait[k] = RandomWait();
      w.stage_start[k] = TimelineNow();
      obj->mode = kSlgAnmOnce | kSlgAnmStartStopped;
      SlgPlayAnm(w.anms.effect, kStageAnms[k], obj, SURFACE_ROOT);
      SlgAnmHide(obj->handle);
      w.stage_running[k] = false;
    }
  }
}

void StageCountdown(SpecialWork& w) {
  Stage(w);
  --w.countdown;
}

int32_t StageCallsDone(SpecialWork& w) { return w.countdown <= 0 ? 1 : 0; }

int Glow(SpecialWork& w) {
  BossPlay(w.glow[0], w.anms.effect, kGlowAnm, kCentre, UnitDepth(w) - 1, 0, 0);
  return kTimelineNextRow;
}

int MakeRising(SpecialWork& w) {
  SlgAnmObj* obj = w.rising[0];
  BossPlay(obj, w.anms.effect, kRisingAnm, {0, -128 * kPx}, UnitDepth(w) - 3, 0, 0);
  obj->state = kRisingGrowing;
  w.rising_zoom = 0;
  SlgSprSetZoom(obj->handle, {0, 0});
  w.rising_start = TimelineNow();
  return kTimelineNextRow;
}

int Rise(SpecialWork& w) {
  SlgAnmObj* obj = w.rising[0];
  const int32_t n = TimelineFrames(w.rising_start);
  switch (obj->state) {
    case kRisingGrowing:
      w.rising_zoom = static_cast<int32_t>(std::min<int64_t>(int64_t{n} * (kPx / 32), kPx));
      SlgSprSetZoom(obj->handle, {w.rising_zoom, w.rising_zoom});
      if (w.rising_zoom >= kPx) {
        w.rising_start = TimelineNow();
        obj->state = kRisingClimbing;
      }
      return 0;
    case kRisingClimbing: {
      const Climb climb = ClimbAt(n);
      if (climb.done) obj->state = kRisingDone;
      BossFollow(obj, {0, climb.y});
      return 0;
    }
    default:
      return 1;
  }
}

int RisingGone(SpecialWork& w) {
  BossFreeObjs({{w.rising, 1}});
  SlgWhiteOut(32);
  return kTimelineNextRow;
}

int SceneGone(SpecialWork& w) {
  BossFreeObjs({{w.aura, 1}, {w.stage.data(), kStageObjects}, {w.glow, 1}});
  BossDeletePicture(w.background[1]);
  return kTimelineNextRow;
}

void SetSourceZoom(SpecialWork& w) {
  SlgSprSetZoom(w.source[0]->handle, {w.source_zoom, w.source_zoom});
}

// Back on the map: the boss at the unit's place and the source above the attacked unit.
int ReturnToMap(SpecialWork& w) {
  ShowFlaggedUnits();
  ShowTargets(Battle().target_count);
  BossPlayDir(w.boss[0], w.anms.body, kEndBody, w, kSlgAnmOnce);
  SlgWhiteIn(kShape.return_fade);
  w.attacked = &BossAttackedUnit(*w.unit);
  const SlgPair at = BossUnitScreen(*w.attacked);
  SlgAnmObj* source = w.source[0];
  BossPlay(source, w.anms.effect, kSourceAnm, {at.x, at.y - kSourceRise * kPx}, UnitDepth(w) - 1, 0,
           0);
  source->state = kSourceWaiting;
  w.source_zoom = 2 * kPx;
  SetSourceZoom(w);
  return kTimelineNextRow;
}

// The beams, and the hits on the targets standing on the strike cells, made stopped and hidden.
void MakeStrikes(SpecialWork& w) {
  const SlgUnit& attacked = *w.attacked;
  const int attacked_depth = BossUnitDepth(attacked);
  const uint16_t attr = BossUnitAttr(*w.unit);
  const SlgPair from{w.source[0]->x, w.source[0]->y};
  for (int k = 0; k < kStrikePoints; ++k) {
    SlgAnmObj* beam = w.beams[static_cast<size_t>(k)];
    const BeamPose pose = BeamAt(k);
    BossPlay(beam, w.anms.effect, kBeamAnm, from,
             attacked_depth + kBeamDepths[static_cast<size_t>(k)], 0,
             kSlgAnmOnce | kSlgAnmStartStopped);
    SlgSprSetRot(beam->handle, pose.angle);
    SlgSprSetZoom(beam->handle, pose.zoom);
    SlgAnmHide(beam->handle);
    SlgAnmPlayOnce(&beam->handle);
  }
  std::array<CellStrike, kStrikePoints> strikes;
  CellStrikesAround({attacked.x, attacked.y}, kStrikeOffsets, strikes);
  ForEachCellStrike(
      strikes,
      [&](int k, const CellStrike& /*s*/, const SlgUnit& target) {
        const SlgPair at = BossUnitScreen(target);
        const int depth = BossUnitDepth(target);
        PlayHiddenOnce(w.hits[static_cast<size_t>(k)], w.anms.effect, kHitAnm, at, depth - 1, attr);
        PlayHiddenOnce(w.second_hits[static_cast<size_t>(k)], w.anms.effect, kSecondHitAnm, at,
                       depth - 2, attr);
      },
      [](int /*k*/, const CellStrike& /*s*/) {});
}

int Strike(SpecialWork& w) {
  SlgAnmObj* source = w.source[0];
  const int32_t n = TimelineFrames(w.strike_start);
  switch (source->state) {
    case kSourceWaiting:
      SetSourceZoom(w);
      if (Scene().tamvik_spr.spx()->IsSpxEnd(source->handle) == 0) return 0;
      MakeStrikes(w);
      w.next_group = 0;
      w.group_wait = kFirstGroup;
      w.strike_start = TimelineNow();
      source->state = kSourceStriking;
      return 0;
    case kSourceStriking:
      SetSourceZoom(w);
      if (n >= w.group_wait && w.next_group < kStrikePoints) {
        const auto g = static_cast<size_t>(w.next_group);
        StartOnce(w.beams[g]);
        StartOnce(w.hits[g]);  // nothing plays on a cell without a target
        StartOnce(w.second_hits[g]);
        w.group_wait = kGroupWait;
        w.strike_start = TimelineNow();
        ++w.next_group;
      }
      if (w.next_group >= kStrikePoints && BossObjsEnded(w.beams) != 0) {
        w.strike_start = TimelineNow();
        source->state = kSourceShrinking;
      }
      return 0;
    case kSourceShrinking:
      SetSourceZoom(w);
      w.source_zoom = static_cast<int32_t>(
          std::max<int64_t>(2 * kPx - int64_t{n} * (2 * kPx) / kShrinkFrames, 0));
      if (w.source_zoom > 0) return 0;
      source->state = kSourceGone;
      BossRelease(source);
      return 1;
    default:
      return 1;
  }
}

// The boss shadow comes back once the white-in has ended.
void ShadowWhenFaded(SpecialWork& /*w*/) {
  if (SlgIsFadeEnd() != 0) BossShadowOn();
}

int FinishSpecial(SpecialWork& w) {
  BossShadowOn();
  BossFreeObjs(SpecialLists(w));
  BossFinish(w, kShape.event_flag);
  return kTimelineStop;
}

using SW = TimelineWait<SpecialWork>;
constexpr TimelineRow<SpecialWork> kSpecial[] = {
    {SW::AtOnce(), &SetUp},                                                          // 0
    {SW::AtOnce(), &EnterScene},                                                     // 1
    {SW::FadeEnd(), &CardIn},                                                        // 2
    {SW::SubDone(&CardTurnRow<SpecialWork>), &WhiteOut},                             // 3
    {SW::FadeEnd(), &ShowPicture, kTimelineNextRow, 0, &CardTurnEach<SpecialWork>},  // 4
    {SW::FadeEnd(), &StartPictureFade},                                              // 5
    {SW::SubDone(&PictureFadeRow<SpecialWork>), &BossStands},                        // 6
    {SW::Frames(2)},                                                                 // 7
    {SW::AtOnce(), &SecondBackground},                                               // 8
    {SW::Frames(kBgFade), &SceneRuns, kTimelineNextRow, 0, &FadeBackgroundIn},       // 9
    {SW::Counter(&StageCallsDone, 1), &Glow, kTimelineNextRow, 0, &StageCountdown},  // 10
    {SW::Frames(kLongWait), &MakeRising, kTimelineNextRow, 0, &Stage},               // 11
    {SW::SubDone(&Rise), &RisingGone, kTimelineNextRow, 0, &Stage},                  // 12
    {SW::FadeEnd(), &SceneGone, kTimelineNextRow, 0, &Stage},                        // 13
    {SW::AtOnce(), &ReturnToMap},                                                    // 14
    {SW::SubDone(&Strike), &FinishSpecial, kTimelineNextRow, 0, &ShadowWhenFaded},   // 15
};

// ---- Normal attack ----

constexpr BossDirAnm kNormalBody{{1, 0, 0, 1}, 0};
constexpr std::array<BossDirAnm, 2> kFirstPair{{{{2, 0, 0, 2}, -1}, {{3, 1, 1, 3}, 1}}};
constexpr std::array<BossDirAnm, 2> kSecondPair{{{{6, 4, 4, 6}, -1}, {{7, 5, 5, 7}, 1}}};
constexpr std::array<uint8_t, 4> kProjectileAnm{8, 11, 11, 8};
constexpr std::array<int8_t, 4> kProjectileDepth{1, -1, -1, 1};
constexpr int32_t kProjectileWait = 63;
constexpr uint32_t kNormalHitAnm = 10;

struct NormalWork : BossBase {
  SlgAnmObj* body[1];
  SlgAnmObj* first_pair[2];
  SlgAnmObj* second_pair[2];
  SlgAnmObj* projectile[1];
  SlgAnmObj* hit[1];
  Kinematic flight;  // start, velocity per frame
  SlgPair goal;
  SlgPair current;
  uint32_t launch;
  const SlgUnit* attacked;
};

int NormalSetUp(NormalWork& w) {
  if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;
  if (!BossAllocObjs(
          w, {{w.body, 1}, {w.first_pair, 2}, {w.second_pair, 2}, {w.projectile, 1}, {w.hit, 1}})) {
    return kTimelineStop;
  }
  return kTimelineNextRow;
}

int Swing(NormalWork& w) {
  BossPlayDir(w.body[0], w.anms.body, kNormalBody, w, kSlgAnmOnce);
  for (size_t i = 0; i < 2; ++i) {
    BossPlayDir(w.first_pair[i], w.anms.effect, kFirstPair[i], w, kSlgAnmOnce);
    SlgAnmPlayOnce(&w.first_pair[i]->handle);
    BossPlayDir(w.second_pair[i], w.anms.effect, kSecondPair[i], w, kSlgAnmOnce);
    SlgAnmPlayOnce(&w.second_pair[i]->handle);
  }
  return kTimelineNextRow;
}

void FollowBody(NormalWork& w) { BossFollow(w.body[0], w.pos); }

int MakeProjectile(NormalWork& w) {
  const size_t dir = w.unit->dir & 3u;
  BossPlay(w.projectile[0], w.anms.effect, kProjectileAnm[dir], w.pos,
           BossUnitDepth(*w.unit) + kProjectileDepth[dir], BossUnitAttr(*w.unit), 0);
  return kTimelineNextRow;
}

int32_t PairsEnded(NormalWork& w) {
  return w.first_pair[0]->handle == nullptr && w.second_pair[0]->handle == nullptr ? 1 : 0;
}

int Launch(NormalWork& w) {
  BossFreeObjs({{w.first_pair, 2}, {w.second_pair, 2}});
  w.attacked = &BossAttackedUnit(*w.unit);
  const SlgPair start{w.unit->x, w.unit->y};
  w.goal = {w.attacked->x, w.attacked->y};
  w.current = start;
  w.flight = Kinematic{
      .start = start,
      .velocity = {(w.goal.x - start.x) / kFlightFrames, (w.goal.y - start.y) / kFlightFrames}};
  w.launch = TimelineNow();
  return kTimelineNextRow;
}

int Fly(NormalWork& w) {
  if (FlightPassed(w.flight.start, w.goal, w.flight.start)) return 1;
  const int32_t n = TimelineFrames(w.launch);
  BossFollow(w.projectile[0], Slg::PosToScreen({w.current.x, w.current.y + DipAt(n)}));
  w.current = KinematicAt(w.flight, n).pos;
  return FlightPassed(w.flight.start, w.goal, w.current) ? 1 : 0;
}

// The burst at the attacked unit (none when the attack has only the boss itself to aim at).
int Arrive(NormalWork& w) {
  w.current = w.goal;
  if (w.attacked != w.unit) {
    const SlgUnit& t = *w.attacked;
    BossPlay(w.hit[0], w.anms.effect, kNormalHitAnm, BossUnitScreen(t), BossUnitDepth(t) - 1,
             BossUnitAttr(*w.unit), kSlgAnmOnce);
    SlgAnmPlayOnce(&w.hit[0]->handle);
  }
  BossRelease(w.projectile[0]);
  return kTimelineNextRow;
}

int FinishNormal(NormalWork& w) {
  BossFreeObjs({{w.body, 1}, {w.projectile, 1}, {w.hit, 1}});
  BossFinish(w, 0);
  return kTimelineStop;
}

using NW = TimelineWait<NormalWork>;
constexpr TimelineRow<NormalWork> kNormal[] = {
    {NW::AtOnce(), &NormalSetUp},                                                      // 0
    {NW::AtOnce(), &Swing},                                                            // 1
    {NW::Frames(kProjectileWait), &MakeProjectile, kTimelineNextRow, 0, &FollowBody},  // 2
    {NW::Counter(&PairsEnded, 1), &Launch, kTimelineNextRow, 0, &FollowBody},          // 3
    {NW::SubDone(&Fly), &Arrive, kTimelineNextRow, 0, &FollowBody},                    // 4
    {NW::AnmEnd([](NormalWork& w) { return w.hit[0]; }), &FinishNormal, kTimelineNextRow, 0,
     &FollowBody},  // 5
};

// The family's battle block.
using Boss30Work = BossFamilyWork<SpecialWork, NormalWork>;

}  // namespace

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kNormal, unit, pos, Battle().Extension<Boss30Work>().normal);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecial, unit, pos, Battle().Extension<Boss30Work>().special);
}

}  // namespace Boss30
