// The DAVONE heroine unit's attacks (kind 2) (battle_effects/davone.h).

#include "battle_effects/davone.h"

#include <algorithm>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/heroine_scene.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kTypeCritical = 2;
constexpr uint8_t kTypeThree = 3;

DavoneNormal& Normal() { return DavoneAttackWork().normal; }
DavoneSpecial& Special() { return DavoneAttackWork().special; }

// ---- Normal and critical ----

void FreeCtx(LayeredAttack& a) {
  auto& n = *static_cast<DavoneNormal*>(a.user);
  FreeAttackCtx(n.ctx);
  n.ctx = nullptr;
}

// Hit animation `anim` of the effect set on every target of the damage list, one depth in front
// of it. The one-shots hold the set while they play, so they may outlive the context.
void HitTargets(const SlgAttackCtx& ctx, uint32_t anim) {
  BattleContext& b = Battle();
  for (int i = 0; i < b.target_count && i < kSlgMaxUnits; ++i) {
    const int slot = b.targets[static_cast<size_t>(i)];
    if (slot < 0) break;
    const SlgUnit& target = b.state.units[static_cast<size_t>(slot)];
    const int16_t depth = static_cast<int16_t>((target.anm != nullptr ? target.anm->depth : 0) - 1);
    AutoPtnChg(anim, {target.x, target.y}, depth, 0, ctx.effect_anims, SURFACE_ROOT);
  }
}

void Started(LayeredAttack& a) {
  auto& n = *static_cast<DavoneNormal*>(a.user);
  n.start = n.wait_start = TimelineNow();
}

void CriticalStarted(LayeredAttack& a) {
  Started(a);
  HitTargets(*a.ctx, 11);
  HitTargets(*a.ctx, 12);
}

void NormalStarted(LayeredAttack& a) {
  Started(a);
  if (a.unit->stats.attack_type != kTypeThree) HitTargets(*a.ctx, 10);
}

// The critical's two waits of 60 frames, each on its own clock, passed while the animations are
// counted and after.
void CriticalWaits(LayeredAttack& a) {
  auto& n = *static_cast<DavoneNormal*>(a.user);
  if (n.waits < 2 && TimelineFrames(n.wait_start) >= 60) {
    ++n.waits;
    n.wait_start = TimelineNow();
  }
}
int CriticalWaited(LayeredAttack& a) {
  CriticalWaits(a);
  return static_cast<DavoneNormal*>(a.user)->waits >= 2 ? 1 : 0;
}
int NormalWaited(LayeredAttack& a) {
  return TimelineFrames(static_cast<DavoneNormal*>(a.user)->start) >= 57 ? 1 : 0;
}

constexpr SlgAttackRow kNormalRows[] = {{{0, 3}, 0, 0}, {{0, 6}, -1, 255}};
constexpr SlgAttackRow kCriticalRows[] = {
    {{1, 4}, 0, 0}, {{1, 7}, -1, 255}, {{2, 9}, -1, 255}, {{3, 8}, 1, 1}, {{4, 0}, 1, 1}};

constexpr uint32_t kEffects = LayeredBit(1) | LayeredBit(2) | LayeredBit(3) | LayeredBit(4);
constexpr LayeredForm kCriticalForm{.rows = kCriticalRows,
                                    .count_by_dir = {4, 5, 5, 4},
                                    .flag_one = kLayeredAll,
                                    .once = kEffects,
                                    .count = LayeredCount::kBody,
                                    .final_wait = 1,
                                    .started = &CriticalStarted,
                                    .each = &CriticalWaits,
                                    .follow_up = &CriticalWaited,
                                    .finish = &FreeCtx};
constexpr LayeredForm kNormalForm{.rows = kNormalRows,
                                  .once = LayeredBit(1),
                                  .count = LayeredCount::kEvery,
                                  .final_wait = 1,
                                  .started = &NormalStarted,
                                  .follow_up = &NormalWaited,
                                  .finish = &FreeCtx};

void CriticalStep(SlgAttackCtx& /*ctx*/, SlgUnit& unit, SlgPair& pos) {
  RunLayeredAttack(Normal().layered, kCriticalForm, unit, pos);
}
void NormalStep(SlgAttackCtx& /*ctx*/, SlgUnit& unit, SlgPair& pos) {
  RunLayeredAttack(Normal().layered, kNormalForm, unit, pos);
}

// ---- The special: shared pieces ----

SlgAnmObj* Obj(const DavoneSpecial& s, int i) {
  if (s.ctx == nullptr || i >= s.ctx->object_count) return nullptr;
  return s.ctx->objects[static_cast<size_t>(i)];
}
int16_t BodyDepth(const DavoneSpecial& s) {
  const SlgAnmObj* body = Obj(s, 0);
  return body != nullptr ? body->depth : 0;
}
SprAnm* EffectSet(const DavoneSpecial& s) { return s.ctx != nullptr ? s.ctx->effect_anims : nullptr; }

void RemoveBackgrounds(DavoneSpecial& s) {
  for (SprBufferEntry*& e : s.bg_entries) Ctx().ddraw_spr.DeleteBuffer(&e);
  s.bg_shown = -1;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void DeletePictures(DavoneSpecial& s) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  RemoveBackgrounds(s);
  sprites.DeleteSprite(&s.tile);
  sprites.DeleteSprite(&s.fall_tile);
  for (SprRec*& bg : s.bgs) sprites.DeleteSprite(&bg);
}

void GiveBackSpecial(DavoneSpecial& s) {
  FreeSceneCtx(s.ctx);
  DeletePictures(s);
}

// An effect task's work: its object first (SlgTaskCreateAnmWork), then its own reference of the
// effect set.
struct EffectWork {
  SlgAnmObj* obj;
  SprAnm* set;
};

template <class W>
W& WorkOf(SlgEffectTask* t) {
  return *static_cast<W*>(t->owned[0]);
}

void EndEffect(SlgEffectTask* t) {
  SprAnm* set = WorkOf<EffectWork>(t).set;
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

template <class W>
W* StartEffect(SlgBody body, const char* name) {
  SlgEffectTask* t = SlgTaskCreateAnmWork(body, sizeof(W), name);
  return t != nullptr ? &WorkOf<W>(t) : nullptr;
}

// ---- Black tiles ----

void EndTile(SlgEffectTask* t) {
  DavoneTile& tile = WorkOf<DavoneTile>(t);
  Ctx().ddraw_spr.DeleteBuffer(&tile.entry);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  SlgTaskEnd(t);
}

void Tile(SlgEffectTask* t) {
  DavoneSpecial& s = Special();
  DavoneTile& tile = WorkOf<DavoneTile>(t);
  if (s.tile_mode == kTilesEnd || t->phase == kSlgPhaseStop) {
    EndTile(t);
    return;
  }
  if (s.tile_mode != kTilesFall) return;
  if (tile.falling == 0) {
    if (tile.kind == 0) {
      EndTile(t);
      return;
    }
    tile.falling = 1;
    tile.fall_start = TimelineNow();
    Ctx().ddraw_spr.DeleteBuffer(&tile.entry);
  }
  const int32_t f = TimelineFrames(tile.fall_start);
  const DavoneFall fall = DavoneTileFall(tile.kind, tile.pos, f);
  tile.angle = fall.angle;
  const int32_t x = fall.pos.x >> 16;
  const int32_t y = fall.pos.y >> 16;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  if (x < -kDavoneTileSide || x > 640 || y > 480) {
    EndTile(t);
    return;
  }
  if ((f & 1) == 0) return;
  // Odd frames: the smaller box, centred where the tile stands, for this frame only.
  constexpr int kInset = (kDavoneTileSide - kDavoneFallSide) / 2;
  SprBufferEntry* e = SlgSprCreate(nullptr, s.fall_tile, x + kInset, y + kInset, SURFACE_ROOT, 0,
                                   BodyDepth(s) + 2, 0);
  if (tile.angle != 0) Ctx().ddraw_spr.SetBufferRotZ(e, tile.angle * 804 / 256);
}

void StartTiles(DavoneSpecial& s) {
  char name[48];
  for (int r = 0; r < kDavoneTileRows; ++r) {
    for (int c = 0; c < kDavoneTileColumns; ++c) {
      std::snprintf(name, sizeof name, "Davone::Blackpoly%d%d", r, c);
      SlgEffectTask* t = SlgTaskCreateWork(&Tile, sizeof(DavoneTile), name);
      if (t == nullptr) continue;
      DavoneTile& tile = WorkOf<DavoneTile>(t);
      tile.row = static_cast<int8_t>(r);
      tile.column = static_cast<int8_t>(c);
      tile.kind = kDavoneTiles[r][c];
      tile.pos = {c * kDavoneTileSide * kPx, r * kDavoneTileSide * kPx};
      tile.entry = SlgSprCreate(CDdrawSpr::kBuffered, s.tile, c * kDavoneTileSide,
                                r * kDavoneTileSide, SURFACE_ROOT, 0, BodyDepth(s) + 2, 0);
    }
  }
}

// ---- The fire ring ----

struct RingWork {
  SlgAnmObj* obj;
  SprAnm* set;
  uint8_t phase;
  uint32_t start;
};

void Ring(SlgEffectTask* t) {
  DavoneSpecial& s = Special();
  RingWork& r = WorkOf<RingWork>(t);
  if (t->phase == kSlgPhaseStop) {
    EndEffect(t);
    return;
  }
  switch (r.phase) {
    case 0: {
      // Object 1's frame 28; its end, or no animation, counts as reached.
      const SlgAnmObj* effect = Obj(s, 1);
      if (effect != nullptr && SlgAnmObjIsEnd(effect) == 0 && AnmFrameOf(effect) < 28) break;
      PlayHeld(EffectSet(s), 1, r.obj, &r.set, SURFACE_ROOT);
      r.phase = 1;
      r.start = TimelineNow();
      break;
    }
    case 1:
      if (TimelineFrames(r.start) < 12) break;
      PlayHeld(EffectSet(s), 7, r.obj, &r.set, SURFACE_ROOT);
      r.phase = 2;
      r.start = TimelineNow();
      [[fallthrough]];
    default: {
      const int32_t zoom = kPx + 4369 * TimelineFrames(r.start);
      SlgSprSetZoom(r.obj->handle, {zoom, zoom});
      if (zoom > 3 * kPx) {
            EndEffect(t);
        return;
      }
      break;
    }
  }
  PlaceObj(r.obj);
}

void StartRing(DavoneSpecial& s) {
  RingWork* r = StartEffect<RingWork>(&Ring, "Davone::actFireRing");
  if (r == nullptr) return;
  const SlgAnmObj* effect = Obj(s, 1);
  r->obj->x = 16 * kPx;
  r->obj->y = -112 * kPx;
  r->obj->depth = static_cast<int16_t>((effect != nullptr ? effect->depth : 0) - 1);
}

// ---- Rocks ----

struct RockWork {
  SlgAnmObj* obj;
  SprAnm* set;
  SlgPair start;
  SlgPair velocity;
  int32_t spin;
};

bool Crossed(int32_t from, int32_t now) { return (from > 0 && now <= 0) || (from < 0 && now >= 0); }

void Rock(SlgEffectTask* t) {
  RockWork& r = WorkOf<RockWork>(t);
  const int32_t f = std::max(t->frames, 0);
  const SlgPair pos{r.start.x + r.velocity.x * f, r.start.y + r.velocity.y * f};
  if (t->phase == kSlgPhaseStop || Crossed(r.start.x, pos.x) || Crossed(r.start.y, pos.y)) {
    EndEffect(t);
    return;
  }
  r.obj->x = pos.x;
  r.obj->y = pos.y;
  const int32_t zoom = std::max(0, kPx - 1404 * f);
  SlgSprSetZoom(r.obj->handle, {zoom, zoom});
  SlgSprSetRot(r.obj->handle, r.spin * f);
  PlaceObj(r.obj);
}

void StartRock(DavoneSpecial& s) {
  char name[48];
  std::snprintf(name, sizeof name, "Davone::Rock%d", static_cast<int>(s.rock_count));
  RockWork* r = StartEffect<RockWork>(&Rock, name);
  const bool even = (s.rock_count++ & 1) == 0;
  if (r == nullptr) return;
  const int32_t angle = SlgRand20() & 511;
  r->start = SlgPolarToXY(0x1540000, angle);
  const SlgPair step = SlgPolarToXY(0x80000, angle);
  r->velocity = {-step.x, -step.y};
  r->spin = even ? 8 : -8;
  r->obj->x = r->start.x;
  r->obj->y = r->start.y;
  r->obj->depth = static_cast<int16_t>(BodyDepth(s) - 1);
  PlayHeld(EffectSet(s), even ? 5 : 6, r->obj, &r->set, SURFACE_ROOT);
}

// Step 3's rocks: one whenever the rock timer has passed, the next 8-15 frames later.
void Rocks(DavoneSpecial& s) {
  if (TimelineFrames(s.rock_start) < s.rock_wait) return;
  StartRock(s);
  s.rock_start = TimelineNow();
  s.rock_wait = 8 + (SlgRand20() & 7);
}

// ---- Fire poles ----

constexpr SlgPair kArmOffsets[kDavoneArms] = {{36, 18}, {-36, 18}, {-36, -18}, {36, -18}};
constexpr SlgPair kArmBase{64, 88};

struct PoleWork {
  SlgAnmObj* obj;
  SprAnm* set;
  int8_t arm;
  int8_t place;  // 1-8
  uint8_t shown;
  uint8_t flying;
  uint32_t fly_start;
  SlgPair from;
};

void StartPole(DavoneSpecial& s, int arm, int place);

void EndPole(SlgEffectTask* t) {
  --Special().poles;
  EndEffect(t);
}

void Pole(SlgEffectTask* t) {
  DavoneSpecial& s = Special();
  PoleWork& p = WorkOf<PoleWork>(t);
  if (t->phase == kSlgPhaseStop) {
    EndPole(t);
    return;
  }
  const SlgPair offset = kArmOffsets[static_cast<size_t>(p.arm)];
  if (p.shown == 0) {
    if (s.tile_mode == kTilesEnd) {
      EndPole(t);
      return;
    }
    // Place n stands once the arms' clock reaches n frames: one more pole a frame.
    if (TimelineFrames(s.arm_start) < p.place) return;
    p.shown = 1;
    p.obj->x = (kArmBase.x + p.place * offset.x) * kPx;
    p.obj->y = (kArmBase.y + p.place * offset.y) * kPx;
    const int behind = p.arm >= 2 ? 1 : -1;
    p.obj->depth = static_cast<int16_t>(BodyDepth(s) + behind * p.place);
    PlayHeld(EffectSet(s), (p.arm & 1) != 0 ? 2 : 3, p.obj, &p.set, SURFACE_ROOT);
    if (p.place < kDavoneArmLength) StartPole(s, p.arm, p.place + 1);
  }
  if (s.tile_mode == kTilesEnd) {
    if (p.flying == 0) {
      p.flying = 1;
      p.fly_start = TimelineNow();
      p.from = {p.obj->x, p.obj->y};
      constexpr int32_t kZoom = 39322;  // 0.6
      SlgSprSetZoom(p.obj->handle, {kZoom, kZoom});
    }
    // 0.6 x (n + 2) times the arm's offset a frame.
    const int64_t f = TimelineFrames(p.fly_start);
    const int64_t speed = int64_t{39322} * (p.place + 2);
    p.obj->x = static_cast<int32_t>(p.from.x + offset.x * speed * f);
    p.obj->y = static_cast<int32_t>(p.from.y + offset.y * speed * f);
    // A looping pole never ends with its animation: it ends once it has left the screen.
    if (SlgAnmObjIsEnd(p.obj) != 0 || OutsideBox({p.obj->x, p.obj->y}, 400, 320)) {
      EndPole(t);
      return;
    }
  }
  PlaceObj(p.obj);
}

void StartPole(DavoneSpecial& s, int arm, int place) {
  char name[48];
  std::snprintf(name, sizeof name, "Davone::actFirePole%d", static_cast<int>(s.pole_count++));
  PoleWork* p = StartEffect<PoleWork>(&Pole, name);
  if (p == nullptr) return;
  ++s.poles;
  p->arm = static_cast<int8_t>(arm);
  p->place = static_cast<int8_t>(place);
}

// ---- The presentation ----

void ShowBackgrounds(DavoneSpecial& s, int picture) {
  RemoveBackgrounds(s);
  s.bg_shown = static_cast<int8_t>(picture);
  constexpr int kAt[4][2] = {{0, 0}, {320, 0}, {0, 240}, {320, 240}};
  SprRec* bg = s.bgs[static_cast<size_t>(picture)];
  for (int i = 0; i < 4; ++i) {
    s.bg_entries[static_cast<size_t>(i)] =
        SlgSprCreate(CDdrawSpr::kBuffered, bg, kAt[i][0], kAt[i][1], SURFACE_ROOT, 0,
                     BodyDepth(s) + 10, static_cast<uint32_t>(16 * i));
  }
}

int StageFadeIn(DavoneSpecial& /*s*/) {
  EnterSpecialScene();
  return kTimelineNextRow;
}
void StageCycle(DavoneSpecial& s) {
  const int picture = (TimelineFrames(s.presentation.clock.start) / 2) % 3;
  if (picture != s.bg_shown) ShowBackgrounds(s, picture);
}
int StageUnitsBack(DavoneSpecial& /*s*/) {
  LeaveSpecialScene();
  return kTimelineNextRow;
}

using PWait = TimelineWait<DavoneSpecial>;
constexpr TimelineRow<DavoneSpecial> kStages[] = {
    {PWait::AtOnce(), &StageFadeIn},
    {PWait::FadeEnd()},
    {PWait::Frames(156)},
    {PWait::Frames(90), &StageUnitsBack, kTimelineNextRow, 0, &StageCycle},
};
constexpr PresentationScript<DavoneSpecial> kPresentation{
    .stages = kStages, .reports = (1u << 1) | (1u << 2) | (1u << 3), .reports_after_end = true};

int Present(DavoneSpecial& s) { return StepPresentation(kPresentation, s.presentation, s); }

// ---- The special's steps ----

int Setup(DavoneSpecial& s) {
  SlgUnit& unit = *s.unit;
  s.ctx = CreateAttackCtx(unit);
  if (s.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  SlgLayerOn(SURFACE_ROOT, 2);
  Ctx().ddraw.ClearSurface(SURFACE_SCRATCH, 0);
  s.tile = CutWorkBox(kDavoneTileSide, kDavoneTileSide);
  s.fall_tile = CutWorkBox(kDavoneFallSide, kDavoneFallSide);
  for (int i = 0; i < 3; ++i) s.bgs[static_cast<size_t>(i)] = CutSpecialPicture(unit, i, 0, 0);
  s.bg_shown = -1;
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int Begin(DavoneSpecial& s) {
  SlgUnit& unit = *s.unit;
  SlgAttackCtx& ctx = *s.ctx;
  Present(s);
  HideTargets(Battle().target_count);
  if (!StartSceneObjects(ctx, unit, 2)) {
    GiveBackSpecial(s);
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  StartTiles(s);
  s.rock_wait = 1;
  return kTimelineNextRow;
}

// Step 2: the presentation, and the camera on the unit until it reports.
int PresentFollowing(DavoneSpecial& s) {
  const int done = Present(s);
  if (done != 1) Slg::ScrollStep();
  return done;
}

int FireRing(DavoneSpecial& s) {
  SlgAttackCtx& ctx = *s.ctx;
  Ctx().anime.SetStop(ctx.objects[0]->handle, 0);
  SlgPlayAnm(ctx.effect_anims, 0, ctx.objects[1], SURFACE_ROOT);
  SlgAnmPlayOnce(&ctx.objects[1]->handle);
  StartRing(s);
  s.rock_start = TimelineNow();
  return kTimelineNextRow;
}

int TilesFall(DavoneSpecial& s) {
  s.tile_mode = kTilesFall;
  s.arm_start = TimelineNow();
  for (int arm = 0; arm < kDavoneArms; ++arm) StartPole(s, arm, 1);
  return kTimelineNextRow;
}

int BackToMap(DavoneSpecial& s) {
  SlgAttackCtx& ctx = *s.ctx;
  SlgLayerRestore();
  s.tile_mode = kTilesEnd;
  RemoveBackgrounds(s);
  SlgPlayAnm(ctx.body_anims, 1, ctx.objects[0], SURFACE_ROOT);
  SlgPlayAnm(ctx.effect_anims, 4, ctx.objects[1], SURFACE_ROOT);
  ShowTargets(Battle().target_count);
  return kTimelineNextRow;
}

void FollowUnit(DavoneSpecial& s) {
  if (SlgAnmObj* body = Obj(s, 0)) {
    body->x = s.pos.x;
    body->y = s.pos.y;
    PlaceObj(body);
  }
}

int BodyAndPolesDone(DavoneSpecial& s) {
  return SlgAnmObjIsEnd(Obj(s, 0)) != 0 && s.poles <= 0 ? 1 : 0;
}

int UnitsShown(DavoneSpecial& /*s*/) {
  ShowFlaggedUnits();
  return kTimelineNextRow;
}

int AnimationsDone(DavoneSpecial& s) {
  return CountRunningAttackAnms(*s.ctx) == 0 && TimelineFrames(s.clock.start) >= 1 ? 1 : 0;
}

int Finish(DavoneSpecial& s) {
  SlgUnit& unit = *s.unit;
  GiveBackSpecial(s);
  SetUnitState(unit, 7);
  return kTimelineStop;
}

using Wait = TimelineWait<DavoneSpecial>;
constexpr TimelineRow<DavoneSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},
    {Wait::AtOnce(), &Begin},
    {Wait::SubDone(&PresentFollowing), &FireRing},
    {Wait::SubDone(&Present), &TilesFall, kTimelineNextRow, 0, &Rocks},
    {Wait::SubDone(&Present), &BackToMap},
    {Wait::Frames(30), nullptr, kTimelineNextRow, 0, &FollowUnit},
    {Wait::SubDone(&BodyAndPolesDone), &UnitsShown, kTimelineNextRow, 0, &FollowUnit},
    {Wait::SubDone(&AnimationsDone), &Finish, kTimelineStop},
};

}  // namespace

DavoneWork& DavoneAttackWork() { return Battle().Extension<DavoneWork>(); }

DavoneWork::~DavoneWork() {
  if (HasCtx()) DeletePictures(special);
}

DavoneFall DavoneTileFall(int kind, const SlgPair& from, int32_t frames) {
  constexpr int32_t kGravity = 62259;  // 0.95
  const int32_t f = std::max(frames, 0);
  int32_t vx = 0, vy = 0, fall = f, angle = 0;
  switch (kind) {
    case 1: vx = -6 * kPx; vy = -16 * kPx; break;
    case 2: vx = 6 * kPx; vy = -16 * kPx; break;
    case 3: vx = 3 * kPx; break;
    case 4: vx = -3 * kPx; break;
    case 5:
      angle = std::min(8 * f, 64);
      fall = std::max(f - 8, 0);
      break;
    default: fall = 0; break;
  }
  const int64_t y = from.y + int64_t{vy} * fall + int64_t{kGravity} * fall * (fall + 1) / 2;
  const int64_t x = from.x + int64_t{vx} * f;
  return {{static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)),
           static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX))},
          angle};
}

namespace Davone {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  DavoneNormal& n = Normal();
  if (unit.step == 0) {
    n = DavoneNormal{};
    n.ctx = CreateAttackCtx(unit);
    if (n.ctx == nullptr) return;  // EndAttack has run
    n.ctx->step = unit.stats.attack_type == kTypeCritical ? &CriticalStep : &NormalStep;
    n.layered.ctx = n.ctx;
    n.layered.user = &n;
    unit.step = 1;
    return;
  }
  if (n.ctx != nullptr && n.ctx->step != nullptr) n.ctx->step(*n.ctx, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  DavoneSpecial& s = Special();
  if (unit.step == 0) {
    GiveBackSpecial(s);  // an attack cut short by a stage switch
    s = DavoneSpecial{};
  }
  s.unit = &unit;
  s.pos = pos;
  RunTimeline(kSpecialSteps, unit.step, s.clock, s);
}

}  // namespace Davone
