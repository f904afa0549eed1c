// Player kind 5's attacks (battle_effects/tezav.h).

#include "battle_effects/tezav.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/heroine_scene.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int16_t kSwarmDepth = -1099;
constexpr int16_t kSparkDepth = -1098;
constexpr int16_t kRoboDepth = -1100;

TezavSpecial& Special() { return TezavAttackWork().special; }

// The first target's drawing position; the attacker's when there is none.
SlgPair TargetScreen(const TezavSpecial& w) {
  if (const SlgUnit* t = ListedTarget(0)) return SlgMapToScreen(*t);
  return w.pos;
}

void EndHeldTask(SlgEffectTask* t, SprAnm*& held) {
  SprAnm* set = held;
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

// ---- The normal attack's hit marks ----

struct Mark {
  SlgAnmObj* obj;  // first (SlgTaskCreateAnmWork)
  SprAnm* set;
  SlgPair map;    // the mark's map position
  int32_t raise;  // pixels
  int32_t delay;  // frames
  bool shown;
};

void HitMark(SlgEffectTask* t) {
  auto& m = *static_cast<Mark*>(t->owned[0]);
  int16_t& marks = TezavAttackWork().marks;
  const bool ended = m.shown && m.obj->handle == nullptr;
  if (t->phase == kSlgPhaseStop || ended) {
    if (marks > 0) --marks;
    EndHeldTask(t, m.set);
    return;
  }
  if (!m.shown && t->frames >= m.delay) {
    m.shown = true;
    SlgAnmShow(m.obj->handle);
  }
  const SlgPair at = Slg::PosToScreen(m.map);
  m.obj->x = at.x;
  m.obj->y = at.y - m.raise * kPx;
  PlaceObj(m.obj);
}

void StartMarks(LayeredAttack& a, uint32_t anim, int32_t first_delay) {
  BattleContext& b = Battle();
  TezavWork& work = TezavAttackWork();
  const int n = std::clamp<int>(b.target_count, 0, kSlgMaxUnits);
  for (int i = 0; i < n; ++i) {
    const int slot = b.targets[static_cast<size_t>(i)];
    if (slot < 0 || slot >= kSlgMaxUnits) continue;
    const SlgUnit& target = b.state.units[static_cast<size_t>(slot)];
    const bool side = (SlgRand() & 1) != 0;
    for (int k = 0; k < kTezavMarksPerTarget; ++k) {
      const int32_t r_x = SlgRand();
      const int32_t r_raise = SlgRand();
      const TezavMark mark = TezavMarkOf(k, side, first_delay, r_x, r_raise);
      char name[40];
      std::snprintf(name, sizeof name, "Tezav::HitMark%d%d", i, k);
      SlgEffectTask* t = SlgTaskCreateAnmWork(&HitMark, sizeof(Mark), name);
      if (t == nullptr) continue;
      auto& m = *static_cast<Mark*>(t->owned[0]);
      m.map = {target.x + mark.dx * kPx, target.y};
      m.raise = mark.raise;
      m.delay = mark.delay;
      SlgAnmObj& obj = *m.obj;
      const SlgPair at = Slg::PosToScreen(m.map);
      obj.x = at.x;
      obj.y = at.y - m.raise * kPx;
      obj.depth = static_cast<int16_t>((target.anm != nullptr ? target.anm->depth : 0) - 1);
      obj.mode = kSlgAnmOnce;
      PlayHeld(a.ctx->effect_anims, anim, &obj, &m.set, SURFACE_ROOT);
      SlgAnmPlayOnce(&obj.handle);
      SlgAnmHide(obj.handle);
      ++work.marks;
    }
  }
}

void MarksOfType0(LayeredAttack& a) { StartMarks(a, 4, 94); }
void MarksOfType2(LayeredAttack& a) { StartMarks(a, 5, 132); }
int MarksDone(LayeredAttack& /*a*/) { return TezavAttackWork().marks <= 0 ? 1 : 0; }

constexpr LayeredForm WithMarks(LayeredForm form, LayeredHook marks) {
  form.started = marks;
  form.follow_up = &MarksDone;
  return form;
}

constexpr SlgAttackRow kType03[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
constexpr SlgAttackRow kType2[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
constexpr PlayerNormalForms kNormalForms{WithMarks(PlayerNormalForm(kType03), &MarksOfType0),
                                         WithMarks(PlayerNormalForm(kType2), &MarksOfType2),
                                         PlayerNormalForm(kType03)};

// ---- The special's pieces ----

SlgAnmObj* Obj(const TezavSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}

void DeleteBackground(TezavSpecial& w) {
  Ctx().anime.DeleteRef(&w.scroll);
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.entry);
  sprites.DeleteSprite(&w.picture1);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// Layer 4 cleared, given back at the screen's size (the tiled background resized it), and the
// layers restored; once.
void RestoreLayer(TezavSpecial& w) {
  if (!w.layer_on) return;
  Ctx().anime.DeleteRef(&w.scroll);
  SlgClearLayer(SURFACE_ROOT);
  if (w.layer_resized) Ctx().ddraw.GiveBackLayerSurface(SURFACE_ROOT, 0);
  Ctx().ddraw.SetLayerScroll(SURFACE_ROOT, 0, 0);
  SlgLayerRestore();
  w.layer_resized = false;
  w.layer_on = false;
}

// The sub-sequence: the fade in; reports 1 once it has ended; advanced (stage 2), the units
// shown again, and 1 from then on.
void StepSub(TezavSpecial& w) {
  w.sub_report = 0;
  switch (w.sub) {
    case 0:
      EnterSpecialScene();
      w.sub = 1;
      return;
    case 1:
      w.sub_report = SlgIsFadeEnd();
      return;
    case 2:
      LeaveSpecialScene();
      w.sub = 3;
      [[fallthrough]];
    default:
      w.sub_report = 1;
      return;
  }
}

// ---- Robots and sparks ----

struct Robot {
  SlgAnmObj* obj;  // first (SlgTaskCreateAnmWork)
  SprAnm* set;
  uint8_t index;
  uint8_t phase;   // within the mode: 0 entering, 1 bobbing / drifting ...
  uint8_t mode;    // the mode it last acted on
  bool lead;       // robot 0 in the variant
  SlgPair base;
  AnimePoint point, velocity, accel;
  AnimeHandle move;
  SlgPair from;     // the swarm's start
  uint32_t since;   // game clock ms of the phase's start
  int32_t angle;
  bool arrived;
  SlgAnmObj* surprise;  // the copy the surprise plays on
};

void EndRobot(SlgEffectTask* t, Robot& r) {
  TezavSpecial& w = Special();
  Ctx().anime.DeleteRef(&r.move);
  if (w.running > 0) --w.running;
  EndHeldTask(t, r.set);
}

void Play(Robot& r, uint32_t anim, uint8_t mode) {
  TezavSpecial& w = Special();
  r.obj->mode = mode;
  PlayHeld(w.ctx->effect_anims, anim, r.obj, &r.set, SURFACE_ROOT);
}

// A spark's or the surprise's work: its object and its reference of the effect set.
struct Held {
  SlgAnmObj* obj;  // first (SlgTaskCreateAnmWork)
  SprAnm* set;
};

void Spark(SlgEffectTask* t) {
  auto& o = *static_cast<Held*>(t->owned[0]);
  TezavSpecial& w = Special();
  const bool ended = SlgAnmObjIsEnd(o.obj) != 0;
  if (t->phase == kSlgPhaseStop || w.ctx == nullptr || (ended && w.mode >= kTezavLeave)) {
    EndHeldTask(t, o.set);
    return;
  }
  if (!ended && t->phase != 0) return;
  t->phase = 1;
  const SlgPair at = TargetScreen(w);
  o.obj->x = at.x + ((SlgRand() % 31) - 15) * kPx;
  o.obj->y = at.y + ((SlgRand() % 31) - 15 - 48) * kPx;
  o.obj->depth = kSparkDepth;
  o.obj->mode = kSlgAnmOnce;
  PlayHeld(w.ctx->effect_anims, 11 + (SlgRand() & 1), o.obj, &o.set, SURFACE_ROOT);
}

void StartSpark(TezavSpecial& w) {
  char name[32];
  std::snprintf(name, sizeof name, "Tezav::Takari%d", static_cast<int>(w.sparks++));
  SlgTaskCreateAnmWork(&Spark, sizeof(Held), name);
}

void Surprise(SlgEffectTask* t) {
  auto& o = *static_cast<Held*>(t->owned[0]);
  TezavSpecial& w = Special();
  if (t->phase == kSlgPhaseStop || w.ctx == nullptr || (t->phase != 0 && SlgAnmObjIsEnd(o.obj))) {
    if (w.surprise > 0) --w.surprise;
    EndHeldTask(t, o.set);
    return;
  }
  if (t->phase == 0) {
    o.obj->mode = kSlgAnmOnce;
    PlayHeld(w.ctx->effect_anims, 10, o.obj, &o.set, SURFACE_ROOT);
    t->phase = 1;
  }
}

void StartSurprise(TezavSpecial& w, const SlgAnmObj& of) {
  SlgEffectTask* t = SlgTaskCreateAnmWork(&Surprise, sizeof(Held), "Tezav::Robo Bikkuri");
  if (t == nullptr) return;
  auto& o = *static_cast<Held*>(t->owned[0]);
  o.obj->x = of.x;
  o.obj->y = of.y;
  o.obj->depth = static_cast<int16_t>(of.depth - 1);
  ++w.surprise;
}

void StartDrift(Robot& r, int32_t max_x, int32_t max_y) {
  CDdrawAnime& anime = Ctx().anime;
  anime.DeleteRef(&r.move);
  r.point = {r.obj->x, r.obj->y};
  r.accel = {kPx, kPx / 2};
  r.move = anime.CreatePointMove(&r.point, &r.velocity, &r.accel, 0);
  const AnimePoint low{0, 0};
  const AnimePoint high{max_x * kPx, max_y * kPx};
  anime.SetMoveCtrl2(r.move, &low, &high);
}

void RoboHover(Robot& r) {
  if (r.phase == 0) {
    if (SlgAnmObjIsEnd(r.obj) == 0) return;
    Play(r, r.lead ? 4 : 2, 0);
    r.phase = 1;
    r.since = TimelineNow();
  }
  r.obj->x = r.base.x;
  r.obj->y = r.base.y + SlgSin(TimelineFrames(r.since) * 16) * 4 * (kPx / 16384);
}

void RoboGather(TezavSpecial& w, Robot& r) {
  const int32_t f = TimelineFrames(r.since);
  if (!r.lead) {
    if (r.move == nullptr && r.phase != 3) {
      r.velocity = {0, ((SlgRand() % 15) - 7) * kPx};
      StartDrift(r, 12, 6);
      r.phase = 3;
    }
  } else if (r.phase < 2) {
    if (f < 40) return;
    StartSurprise(w, *r.obj);
    Ctx().anime.SetStop(r.obj->handle, 1);
    r.phase = 2;
    return;
  } else if (r.phase == 2) {
    if (w.surprise > 0) return;
    Ctx().anime.SetStop(r.obj->handle, 0);
    SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
    if (spx != nullptr) spx->SetLoop(r.obj->handle, 1);
    r.velocity = {0, ((SlgRand() % 15) - 7) * kPx};
    StartDrift(r, 24, 12);
    r.phase = 3;
  }
  if (r.move != nullptr) {
    r.obj->x = r.point.x;
    r.obj->y = r.point.y;
  }
}

void RoboSwarm(TezavSpecial& w, Robot& r) {
  const SlgUnit& unit = *w.unit;
  if (r.phase < 10) {
    Ctx().anime.DeleteRef(&r.move);
    r.obj->depth = kSwarmDepth;
    constexpr SlgAttackRow kSwarm{{5, 6}, 0, 0};
    PlayAttackRow(r.obj, kSwarm, unit.dir, w.ctx->effect_anims, 0, SURFACE_ROOT);
    r.from = {r.obj->x, r.obj->y};
    r.since = TimelineNow();
    r.phase = 10;
  }
  const SlgPair target = TargetScreen(w);
  const int32_t f = TimelineFrames(r.since);
  if (r.phase == 10) {
    const int32_t k = std::min(f, 30);
    r.obj->x = r.from.x + static_cast<int32_t>(int64_t{target.x - r.from.x} * k / 30);
    r.obj->y = r.from.y + static_cast<int32_t>(int64_t{target.y - r.from.y} * k / 30);
    if (f >= 30) r.phase = 11;
    return;
  }
  if (r.phase == 11) {
    const int32_t dx = target.x - r.obj->x;
    const int32_t dy = target.y - r.obj->y;
    if (std::abs(dx) <= 6 * kPx && std::abs(dy) <= 6 * kPx) {
      if ((SlgRand() & 1) != 0) {
        r.obj->x += (SlgRand() & 1) != 0 ? 3 * kPx : -3 * kPx;
      } else {
        r.obj->y += (SlgRand() & 1) != 0 ? 3 * kPx : -3 * kPx;
      }
      StartSpark(w);
      r.angle = static_cast<int32_t>(r.index) * 64;
      r.since = TimelineNow();
      r.phase = 12;
      return;
    }
    const SlgPair step = SlgPolarToXY(6 * kPx, SlgAtan2(dy, dx));
    r.obj->x += step.x;
    r.obj->y += step.y;
    return;
  }
  // Circling about the target, 16 px out, a turn in 64 frames.
  r.angle = static_cast<int32_t>(r.index) * 64 + f * 8;
  const SlgPair off = SlgPolarToXY(16 * kPx, r.angle);
  r.obj->x = target.x + off.x;
  r.obj->y = target.y + off.y / 2;
}

// 1 once the robot has left the view.
int RoboLeave(TezavSpecial& w, Robot& r) {
  if (r.phase < 20) {
    Ctx().anime.DeleteRef(&r.move);
    const SlgPair target = TargetScreen(w);
    const int32_t dx = r.obj->x - target.x;
    const int32_t dy = r.obj->y - target.y;
    r.angle = dx == 0 && dy == 0 ? static_cast<int32_t>(r.index) * 64 : SlgAtan2(dy, dx);
    r.from = {r.obj->x, r.obj->y};
    r.since = TimelineNow();
    r.phase = 20;
  }
  const int32_t f = TimelineFrames(r.since);
  if (f < 10) return 0;
  const int32_t speed = r.lead ? 24 : 12;
  const SlgPair v = SlgPolarToXY(speed * kPx, r.angle);
  r.obj->x = r.from.x + static_cast<int32_t>(std::clamp<int64_t>(int64_t{v.x} * (f - 10), -(1 << 30), 1 << 30));
  r.obj->y = r.from.y + static_cast<int32_t>(std::clamp<int64_t>(int64_t{v.y} * (f - 10), -(1 << 30), 1 << 30));
  return Slg::InViewArea(r.obj->x >> 16, r.obj->y >> 16) == 0 ? 1 : 0;
}

void Robo(SlgEffectTask* t) {
  TezavSpecial& w = Special();
  auto& r = *static_cast<Robot*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop || w.ctx == nullptr || w.unit == nullptr) {
    EndRobot(t, r);
    return;
  }
  if (w.mode != r.mode) {
    r.mode = w.mode;
    r.since = TimelineNow();
  }
  switch (w.mode) {
    case kTezavHover: RoboHover(r); break;
    case kTezavGather: RoboGather(w, r); break;
    case kTezavSwarm: RoboSwarm(w, r); break;
    default:
      if (RoboLeave(w, r) == 1) {
        EndRobot(t, r);
        return;
      }
      break;
  }
  PlaceObj(r.obj);
}

void StartRobots(TezavSpecial& w) {
  for (int i = 0; i < kTezavRobots; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Tezav::Robo%d", i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&Robo, sizeof(Robot), name);
    if (t == nullptr) continue;
    auto& r = *static_cast<Robot*>(t->owned[0]);
    r.index = static_cast<uint8_t>(i);
    r.lead = i == 0 && w.variant != 0;
    r.mode = w.mode;
    r.base = {-32 * kPx, -128 * kPx};
    r.obj->x = r.base.x;
    r.obj->y = r.base.y;
    r.obj->depth = static_cast<int16_t>(kRoboDepth + i);
    Play(r, r.lead ? 9 : 1, kSlgAnmOnce);
    ++w.running;
    ++w.robots_made;
  }
}

// ---- The special's steps ----

int Setup(TezavSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  SlgLayerOn(SURFACE_ROOT, 3);
  w.layer_on = true;
  CDdrawAnime& anime = Ctx().anime;
  if (LoadAttackBgTiled(unit, 0, SURFACE_ROOT, 256, 256, 4, 4) != 0) {
    w.layer_resized = true;
    w.scroll = anime.CreateLayerScroll(SURFACE_ROOT, 16, 16, 16, 0x7FFFFFFF);
    anime.SetScrollWrap(w.scroll, 256, 256);
  }
  w.picture1 = CutSpecialPicture(unit, 1, 0, 0);
  if (w.picture1 != nullptr) {
    w.entry = SlgSprCreate(CDdrawSpr::kBuffered, w.picture1, 128, 208, SURFACE_ROOT, 0, 511, 0);
  }
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

void GiveBackSpecial(TezavSpecial& w) {
  FreeSceneCtx(w.ctx);
  DeleteBackground(w);
}

int Begin(TezavSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  HideTargets(Battle().target_count);
  if (!StartSceneObjects(ctx, unit, 2)) {
    RestoreLayer(w);
    GiveBackSpecial(w);
    EndAttack(unit);
    return kTimelineStop;
  }
  Ctx().anime.SetStop(ctx.objects[0]->handle, 0);
  ctx.objects[1]->depth = static_cast<int16_t>(ctx.objects[0]->depth - 1);
  w.sub = 0;
  StepSub(w);
  w.running = 0;
  w.variant = Battle().attack.kind5_variant;
  return kTimelineNextRow;
}

int SubReported(TezavSpecial& w) { return w.sub_report; }

int Robots(TezavSpecial& w) {
  StartRobots(w);
  return kTimelineNextRow;
}

int Gather(TezavSpecial& w) {
  w.mode = kTezavGather;
  return kTimelineNextRow;
}

int GatherWait(TezavSpecial& w) {
  return TimelineFrames(w.clock.start) >= (w.variant != 0 ? 160 : 130) ? 1 : 0;
}

int Effect14(TezavSpecial& w) {
  if (w.variant == 0) return 7;
  if (SlgAnmObj* o = Obj(w, 1)) {
    o->mode = kSlgAnmOnce;
    SlgPlayAnm(w.ctx->effect_anims, 14, o, SURFACE_ROOT);
  }
  return 6;
}

SlgAnmObj* Object1(TezavSpecial& w) { return Obj(w, 1); }

int Swarm(TezavSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAnmObj* body = Obj(w, 0);
  ReleaseObjAnm(body);
  DeleteBackground(w);
  RestoreLayer(w);
  if (body != nullptr) {
    body->x = w.pos.x;
    body->y = w.pos.y;
    constexpr SlgAttackRow kClosing{{7, 8}, 0, 0};
    PlayAttackRow(body, kClosing, unit.dir, w.ctx->body_anims, kSlgAnmOnce, SURFACE_ROOT);
  }
  ShowTargets(Battle().target_count);
  w.mode = kTezavSwarm;
  w.sub = 2;
  return kTimelineNextRow;
}

void FollowBody(TezavSpecial& w) {
  if (SlgAnmObj* body = Obj(w, 0)) {
    body->x = w.pos.x;
    body->y = w.pos.y;
    PlaceObj(body);
  }
}

int Leave(TezavSpecial& w) {
  FollowBody(w);
  if (TimelineFrames(w.clock.start) >= 180) w.mode = kTezavLeave;
  return w.mode == kTezavLeave && w.running <= 0 ? 1 : 0;
}

int Object1Front(TezavSpecial& w) {
  if (SlgAnmObj* o = Obj(w, 1)) o->depth = kSwarmDepth;
  return kTimelineNextRow;
}

int FinalHit(TezavSpecial& w) {
  if (SlgAnmObj* o = Obj(w, 1)) {
    const SlgPair at = TargetScreen(w);
    o->x = at.x;
    o->y = at.y;
    o->mode = kSlgAnmOnce;
    SlgPlayAnm(w.ctx->effect_anims, 13, o, SURFACE_ROOT);
  }
  return kTimelineNextRow;
}

int Finish(TezavSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  ShowFlaggedUnits();
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<TezavSpecial>;
constexpr TimelineRow<TezavSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},                                  // 0
    {Wait::AtOnce(), &Begin},                                  // 1
    {Wait::SubDone(&SubReported)},                             // 2
    {Wait::Frames(96), &Robots},                               // 3
    {Wait::Frames(60), &Gather},                               // 4
    {Wait::SubDone(&GatherWait), &Effect14},                   // 5
    {Wait::AnmEnd(&Object1), nullptr, 7},                      // 6
    {Wait::AtOnce(), &Swarm},                                  // 7
    {Wait::SubDone(&Leave), &Object1Front},                    // 8
    {Wait::Frames(15), &FinalHit, kTimelineNextRow, 0, &FollowBody},  // 9
    {Wait::AnmEnd(&Object1), nullptr, kTimelineNextRow, 0, &FollowBody},  // 10
    {Wait::Frames(30), &Finish, kTimelineStop, 0, &FollowBody},        // 11
};

}  // namespace

TezavWork& TezavAttackWork() { return Battle().Extension<TezavWork>(); }

TezavWork::~TezavWork() {
  if (HasCtx()) {
    CDdrawSpr& sprites = Ctx().ddraw_spr;
    sprites.DeleteBuffer(&special.entry);
    sprites.DeleteSprite(&special.picture1);
  }
}

TezavMark TezavMarkOf(int k, bool side, int32_t first_delay, int32_t r_x, int32_t r_raise) {
  const bool s = ((k & 1) != 0) != side;
  const int32_t dx = r_x & 31;
  return {first_delay + 6 * k, s ? dx : -dx, r_raise & 31};
}

namespace Tezav {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  TezavWork& work = TezavAttackWork();
  if (unit.step == 0) work.marks = 0;
  RunPlayerNormal(work.normal, kNormalForms, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  TezavSpecial& w = Special();
  if (unit.step == 0) {
    GiveBackSpecial(w);  // an attack cut short by a stage switch
    w = TezavSpecial{};
  }
  w.unit = &unit;
  w.pos = pos;
  if (unit.step >= 2 && unit.step <= 8) StepSub(w);
  RunTimeline(kSpecialSteps, unit.step, w.clock, w);
}

}  // namespace Tezav
