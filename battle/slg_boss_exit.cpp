#include "battle/slg_boss_exit.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_death.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_kind_states.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

// The work blocks: the kind's DEAD_EFFECT set and the effect objects (heap objects of
// AllocAnimeObjs) with their zoom pairs, angles and times.
struct SlgExitWorkA {
  SprAnm* anims;
  SlgAnmObj* burst;
  SlgAnmObj* sparkles[kSlgSparkles];
  SlgAnmObj* large;
  SlgAnmObj* final;
  SlgPair burst_zoom;
  SlgPair sparkle_zoom[kSlgSparkles];
  int32_t angle[kSlgSparkles];
  uint32_t shown_at[kSlgSparkles];  // game clock ms each sparkle was shown
  int32_t shown;
  SlgPair large_zoom;
  SlgPair final_zoom;
  uint32_t start;
  int32_t se_played;
  int32_t message;  // the next defeat message of the row
};

struct SlgExitWorkB {
  SprAnm* anims;
  SlgAnmObj* objs[3];
  SlgPair zoom[3];
  uint32_t start;
  int32_t flashes;  // white fades started in the current flash
};

namespace {

constexpr int32_t kOne = 0x10000;
constexpr uint32_t kStepSettle = 2;
constexpr uint32_t kSideEnemy = 1;
constexpr uint32_t kSideEnemy2 = 4;
constexpr uint8_t kAmateras2 = 27;
constexpr uint16_t kMirrored = 16;
constexpr uint32_t kBlendAdd = 3;        // blend mode of the body's white fade
constexpr int32_t kBodyFadeSteps = 16;   // 16 steps of 2 frames
constexpr int32_t kSparkleEvery = 8;     // frames between two sparkles shown
constexpr int32_t kSeEvery = 24;         // frames between the large object's sounds
constexpr int32_t kSeTimes = 4;
constexpr int kWhiteOutFrames = 32;
constexpr int kWhiteInFrames = 16;
constexpr int32_t kFlashFrames = 4;      // each half of one flash of B
constexpr int32_t kFlashesB = 6;         // white fades of B's first flash (three out, three in)
constexpr int32_t kBWaitFrames = 32;
constexpr int32_t kBEffectFrames = 120;

// Sparkle layout: (x, y) offsets (pixels, doubled on the map) and start angles (512 a turn).
constexpr int16_t kSparkleOffset[kSlgSparkles][2] = {
    {0, -24},  {9, -22},  {17, -17}, {22, -9},  {24, 0},  {22, 9},  {17, 17}, {9, 22},
    {0, 24},   {-9, 22},  {-17, 17}, {-22, 9},  {-24, 0}, {-22, -9}, {-17, -17}, {-9, -22}};
constexpr int16_t kSparkleAngle[kSlgSparkles] = {0,   32,  64,  96,  128, 160, 192, 224,
                                                256, 288, 320, 352, 384, 416, 448, 480};

SlgKindStatesState& K() { return Battle().kind_states; }
uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
int32_t FramesSince(uint32_t start) {
  const int64_t ms = static_cast<int32_t>(Now() - start);
  return static_cast<int32_t>(ms * 60 / 1000);
}
SpxAnimeKind* Spx() { return Scene().tamvik_spr.spx(); }
uint32_t& StartOf(const SlgUnit& unit) { return K().exit_start[unit.slot % kSlgMaxUnits]; }

bool Ended(const SlgAnmObj* obj) { return obj == nullptr || SlgAnmObjIsEnd(obj) != 0; }

void Place(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  SetAnmPos(obj, pos);
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, pos);
}

void Zoom(SlgAnmObj* obj, const SlgPair& zoom) {
  if (obj != nullptr && obj->handle != nullptr) SlgSprSetZoom(obj->handle, zoom);
}

int16_t BodyDepth(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->depth : 0; }

// One heap object (AllocAnimeObjs) at pos playing DEAD_EFFECT animation n; null when none could
// be had.
SlgAnmObj* MakeEffect(SprAnm* anims, int n, const SlgPair& pos, int16_t depth, uint16_t attr,
                      uint8_t mode) {
  SlgAnmObj* obj = nullptr;
  if (AllocAnimeObjs(&obj, nullptr, 1) == 0) return nullptr;
  obj->pattern = static_cast<uint8_t>(n);
  obj->attr = attr;
  obj->depth = depth;
  obj->mode = mode;
  SetAnmPos(obj, pos);
  if (anims != nullptr) SlgPlayAnm(anims, obj->pattern, obj, SURFACE_ROOT);
  return obj;
}

// Gives back heap effect objects (their animations released when `release`; without the
// engine they went with it) and clears the entries.
void FreeObjs(SlgAnmObj** objs, int n, bool release) {
  if (release) {
    FreeAnimeObjs(objs, n);
  } else {
    for (int i = 0; i < n; ++i) SlgFree(objs[i]);
  }
  for (int i = 0; i < n; ++i) objs[i] = nullptr;
}

void FreeEffect(SlgAnmObj*& obj) { FreeObjs(&obj, 1, true); }

// The body's white blend level after `frames` of the 16-step fade (2 frames a step); 256 at
// the end.
int32_t BodyFadeLevel(int32_t frames) {
  const int32_t level = frames / 2 * (256 / kBodyFadeSteps);
  return level > 256 ? 256 : level;
}

void SetBodyBlend(SlgUnit& unit, int32_t level) {
  if (unit.anm != nullptr)
    SlgSprSetAlpha(unit.anm, (kBlendAdd << 16) | static_cast<uint32_t>(level));
}

bool AnyDefeated() {
  const SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count; ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    if (u.step != kSlgDeadStep && u.state == kUnitStateDefeated &&
        (u.side == kSideEnemy || u.side == kSideEnemy2))
      return true;
  }
  return false;
}

// Steps 0-2, shared; true once the sequence may go on to step 3 (its block free).
bool Settle(SlgUnit& unit, bool block_held) {
  switch (unit.step) {
    case 0:
      if (unit.kind == kAmateras2 &&
          CheckEventFlag(static_cast<int32_t>(kSlgFlagAmateras2Stays)) != 0) {
        SetUnitState(unit, kUnitStateStand);
        return false;
      }
      K().exit_wait = 5;
      StartOf(unit) = Now();
      unit.step = 1;
      return false;
    case 1:
      if (FramesSince(StartOf(unit)) < static_cast<int32_t>(K().exit_wait)) return false;
      K().exit_wait = 0;
      unit.step = kStepSettle;
      [[fallthrough]];
    default:
      if (AnyDefeated() && FramesSince(StartOf(unit)) < static_cast<int32_t>(kSlgExitSettleFrames))
        return false;
      // A second boss of the same sequence waits for the first to give its block back.
      return !block_held;
  }
}

void FreeWork(SlgExitWorkA*& w, bool release) {
  if (w == nullptr) return;
  FreeObjs(&w->burst, 1, release);
  FreeObjs(&w->large, 1, release);
  FreeObjs(&w->final, 1, release);
  FreeObjs(w->sparkles, kSlgSparkles, release);
  if (release) ReleaseUnitAnm(&w->anims);
  SlgFree(w);
  w = nullptr;
}

void FreeWork(SlgExitWorkB*& w, bool release) {
  if (w == nullptr) return;
  FreeObjs(w->objs, 3, release);
  if (release) ReleaseUnitAnm(&w->anims);
  SlgFree(w);
  w = nullptr;
}

// The last step of both: the slot dead, the set released and the block freed, then flag 198.
template <typename Work>
void Finish(SlgUnit& unit, Work*& work) {
  FreeFamilyObjects(unit);
  Slg::MakeDeadSlot(unit);
  FreeWork(work, true);
  SetEventFlag(kSlgFlagBossGone);
}

// ---- A ----

void MakeSparkles(SlgUnit& unit, SlgExitWorkA& w, const SlgPair& pos) {
  if (AllocAnimeObjs(w.sparkles, nullptr, kSlgSparkles) == 0) return;  // none: the show goes on
  for (int i = 0; i < kSlgSparkles; ++i) {
    SlgAnmObj* s = w.sparkles[i];
    s->pattern = static_cast<uint8_t>(1 + (GetRandom() & 1));
    s->depth = static_cast<int16_t>(BodyDepth(unit) + 4);
    SetAnmPos(s, {pos.x + 2 * kSparkleOffset[i][0] * kOne,
                  pos.y + 2 * kSparkleOffset[i][1] * kOne});
    w.sparkle_zoom[i] = {kOne / 16, kOne / 16};
    w.angle[i] = kSparkleAngle[i] + 128;
    if (w.anims != nullptr && SlgPlayAnm(w.anims, s->pattern, s, SURFACE_ROOT) != nullptr) {
      Zoom(s, w.sparkle_zoom[i]);
      SlgSprSetRot(s->handle, w.angle[i]);
      SlgAnmHide(s->handle);
    }
  }
}

// The sparkles shown so far grow and turn; true when all 16 are shown at full size.
bool GrowSparkles(SlgExitWorkA& w) {
  const int32_t due = FramesSince(w.start) / kSparkleEvery + 1;
  while (w.shown < kSlgSparkles && w.shown < due) {
    SlgAnmObj* s = w.sparkles[w.shown];
    if (s != nullptr && s->handle != nullptr) SlgAnmShow(s->handle);
    w.shown_at[w.shown] = Now();
    ++w.shown;
  }
  bool all = w.shown == kSlgSparkles;
  for (int i = 0; i < w.shown; ++i) {
    const int32_t z = kOne / 16 + FramesSince(w.shown_at[i]) * (kOne / 16);
    w.sparkle_zoom[i].x = w.sparkle_zoom[i].y = z > kOne ? kOne : z;
    if (z < kOne) all = false;
    w.angle[i] += 4;
    if (SlgAnmObj* s = w.sparkles[i]; s != nullptr && s->handle != nullptr) {
      Zoom(s, w.sparkle_zoom[i]);
      SlgSprSetRot(s->handle, w.angle[i]);
    }
  }
  return all;
}

}  // namespace

const SlgDefeatRow* SlgDefeatRowOf(int battle_map) {
  if (battle_map < 0 || battle_map >= kSlgDefeatRows) return nullptr;
  const SlgKindStatesState& k = Battle().kind_states;
  if (battle_map == 21 && CheckEventFlag(static_cast<int32_t>(kSlgFlagDefeatAlt21)) != 0)
    return &k.defeat_alt21;
  return &k.defeat_messages[static_cast<size_t>(battle_map)];
}

void UnitStateSeqA(SlgUnit& unit, SlgPair& pos) {
  SlgExitWorkA*& work = K().exit_a;
  if (unit.step <= kStepSettle) {
    if (unit.anm != nullptr) Place(unit.anm, pos);
    if (!Settle(unit, work != nullptr)) return;
    // Step 3: the block, the set and the burst.
    work = static_cast<SlgExitWorkA*>(SlgAlloc(sizeof(SlgExitWorkA)));
    if (work == nullptr) {
      DebugPrint("UnitStateSeqA: no work block (unit %d)\n", unit.slot);
      Finish(unit, work);
      return;
    }
    work->anims = GetUnitAnm(unit.kind, kUnitAnmDeadEffect);
    work->burst = MakeEffect(work->anims, 0, pos, BodyDepth(unit), 0, 0);
    work->burst_zoom = {kOne / 16, kOne / 16};
    Zoom(work->burst, work->burst_zoom);
    unit.step = 4;
    return;
  }
  SlgExitWorkA& w = *work;
  if (unit.anm != nullptr && unit.anm->handle != nullptr) Place(unit.anm, pos);
  switch (unit.step) {
    case 4: {
      // The burst grows to 1.0, then widens while its height shrinks away.
      SlgPair& z = w.burst_zoom;
      if (z.x < kOne && z.y >= z.x) {
        z.x = z.y = z.x + kOne / 16 > kOne ? kOne : z.x + kOne / 16;
        if (z.x == kOne) z.y = kOne - 1;  // the widening starts next frame
      } else {
        z.x += kOne / 16;
        z.y -= kOne / 8;
      }
      Place(w.burst, pos);
      Zoom(w.burst, z);
      if (z.y >= 1) return;
      FreeEffect(w.burst);
      MakeSparkles(unit, w, pos);
      SlgSePlay(kSlgExitSe);
      w.start = Now();
      unit.step = 5;
      return;
    }
    case 5:
      if (!GrowSparkles(w)) return;
      w.start = Now();
      unit.step = 6;
      return;
    case 6: {
      GrowSparkles(w);
      const int32_t level = BodyFadeLevel(FramesSince(w.start));
      SetBodyBlend(unit, level);
      if (level < 256) return;
      w.message = 0;
      unit.step = 7;
      return;
    }
    case 7: {
      GrowSparkles(w);
      const SlgDefeatRow* row = SlgDefeatRowOf(static_cast<int>(GetSystemData()->battleMap()));
      while (row != nullptr && w.message < kSlgDefeatMessagesPerRow &&
             (*row)[static_cast<size_t>(w.message)].message < kSlgDefeatEnd) {
        const SlgDefeatMessage& m = (*row)[static_cast<size_t>(w.message)];
        // The row's parameter is the face the message is shown with.
        if (EventMessageNoWait(m.parameter, m.message) == 0) return;  // still showing
        DebugPrint("UnitStateSeqA: message %d %d\n", m.message, m.parameter);
        ++w.message;
      }
      const SlgPair at = {pos.x, pos.y - 16 * kOne};
      w.large = MakeEffect(w.anims, 3, at, static_cast<int16_t>(BodyDepth(unit) - 12), 0, 0);
      w.large_zoom = {kOne / 8, kOne / 8};
      Zoom(w.large, w.large_zoom);
      w.se_played = 0;
      w.start = Now();
      unit.step = 8;
      return;
    }
    case 8: {
      GrowSparkles(w);
      const int32_t f = FramesSince(w.start);
      while (w.se_played < kSeTimes && f >= w.se_played * kSeEvery) {
        SlgSePlay(kSlgExitSe);
        ++w.se_played;
      }
      // The large object grows from 1/8 to 2.0 over 120 frames.
      const int32_t z = kOne / 8 + f * (2 * kOne - kOne / 8) / 120;
      w.large_zoom = {z > 2 * kOne ? 2 * kOne : z, z > 2 * kOne ? 2 * kOne : z};
      Place(w.large, {pos.x, pos.y - 16 * kOne});
      Zoom(w.large, w.large_zoom);
      if (z < 2 * kOne || w.se_played < kSeTimes) return;
      SlgWhiteOut(kWhiteOutFrames);
      unit.step = 9;
      return;
    }
    case 9:
      if (SlgIsFadeEnd() == 0) return;
      FreeObjs(w.sparkles, kSlgSparkles, true);
      FreeEffect(w.large);
      w.final = MakeEffect(w.anims, 3, pos, static_cast<int16_t>(BodyDepth(unit) - 12), 0, 0);
      w.final_zoom = {2 * kOne, 2 * kOne};
      Zoom(w.final, w.final_zoom);
      SlgWhiteIn(kWhiteInFrames);
      unit.step = 10;
      return;
    case 10:
      w.final_zoom.x -= kOne / 16;
      w.final_zoom.y -= kOne / 16;
      Place(w.final, pos);
      Zoom(w.final, w.final_zoom);
      if (w.final_zoom.y >= 1) return;
      FreeEffect(w.final);
      unit.step = 11;
      return;
    default:
      Finish(unit, work);
      return;
  }
}

void UnitStateSeqB(SlgUnit& unit, SlgPair& pos) {
  SlgExitWorkB*& work = K().exit_b;
  if (unit.step <= kStepSettle) {
    if (unit.anm != nullptr) Place(unit.anm, pos);
    if (!Settle(unit, work != nullptr)) return;
    // Step 3: the block, the set, the body stopped and the first effect.
    work = static_cast<SlgExitWorkB*>(SlgAlloc(sizeof(SlgExitWorkB)));
    if (work == nullptr) {
      DebugPrint("UnitStateSeqB: no work block (unit %d)\n", unit.slot);
      Finish(unit, work);
      return;
    }
    work->anims = GetUnitAnm(unit.kind, kUnitAnmDeadEffect);
    if (SlgAnmObj* body = unit.anm; body != nullptr) {
      body->mode = kSlgAnmStartStopped;
      if (body->handle != nullptr) Ctx().anime.SetStop(body->handle, 1);
    }
    work->objs[0] = MakeEffect(work->anims, 0, pos, static_cast<int16_t>(BodyDepth(unit) - 1),
                               kMirrored, 0);
    unit.step = 4;
    return;
  }
  SlgExitWorkB& w = *work;
  const auto flash = [&](int32_t limit) {
    // Alternates white-out and white-in; true once `limit` fades have ended.
    if (SlgIsFadeEnd() == 0) return false;
    if (w.flashes >= limit) return true;
    if (w.flashes % 2 == 0) SlgWhiteOutHalf(kFlashFrames);
    else SlgWhiteInHalf(kFlashFrames);
    ++w.flashes;
    return false;
  };
  if (unit.anm != nullptr && unit.anm->handle != nullptr) Place(unit.anm, pos);
  switch (unit.step) {
    case 4:
    case 5: {
      SlgAnmObj* e = w.objs[0];
      Place(e, pos);
      const bool looped = e == nullptr || e->handle == nullptr || Spx() == nullptr ||
                          Spx()->GetLoopCount(e->handle) > 0;
      if (!looped) {
        unit.step = 5;
        return;
      }
      FreeEffect(w.objs[0]);
      w.start = Now();
      unit.step = 6;
      return;
    }
    case 6:
      if (FramesSince(w.start) < kBWaitFrames) return;
      w.flashes = 0;
      unit.step = 7;
      return;
    case 7:
      if (!flash(kFlashesB)) return;
      w.start = Now();
      unit.step = 8;
      return;
    case 8: {
      const int32_t level = BodyFadeLevel(FramesSince(w.start));
      SetBodyBlend(unit, level);
      if (level < 256) return;
      w.flashes = 0;
      flash(2);
      const int16_t d = BodyDepth(unit);
      w.objs[1] = MakeEffect(w.anims, 1, pos, static_cast<int16_t>(d - 2), 0, kSlgAnmOnce);
      w.objs[2] = MakeEffect(w.anims, 2, pos, static_cast<int16_t>(d - 3), kMirrored, kSlgAnmOnce);
      w.zoom[1] = w.zoom[2] = {kOne, kOne};
      SlgSePlay400(kSlgExitSe400);
      w.start = Now();
      unit.step = 9;
      return;
    }
    case 9: {
      flash(2);
      const int32_t f = FramesSince(w.start);
      // The two rise apart and grow.
      for (int i = 1; i <= 2; ++i) {
        const int32_t dx = (i == 1 ? -f : f) * kOne / 4;
        Place(w.objs[i], {pos.x + dx, pos.y - f * kOne / 2});
        w.zoom[i] = {kOne + f * kOne / 120, kOne + f * kOne / 120};
        Zoom(w.objs[i], w.zoom[i]);
      }
      if (!Ended(w.objs[1]) || f < kBEffectFrames) return;
      FreeEffect(w.objs[1]);
      if (unit.anm != nullptr && unit.anm->handle != nullptr)
        Scene().tamvik_spr.ReleaseAnm(&unit.anm->handle);
      unit.step = 10;
      return;
    }
    case 10:
      flash(2);
      if (!Ended(w.objs[2])) return;
      FreeEffect(w.objs[2]);
      unit.step = 11;
      return;
    case 11:
      if (SlgIsSeStop() == 0 || SlgIsFadeEnd() == 0) return;
      unit.step = 12;
      return;
    default:
      Finish(unit, work);
      return;
  }
}

void FreeBossExitWork(bool release) {
  SlgKindStatesState& k = Battle().kind_states;
  FreeWork(k.exit_a, release);
  FreeWork(k.exit_b, release);
}
