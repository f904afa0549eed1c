#include "battle/slg_kind_states.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_boss_exit.h"
#include "battle/slg_damage.h"
#include "battle/slg_death.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_summoner.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint16_t kDirAttr[4] = {0, 0, 16, 16};
constexpr uint8_t kStandPattern[4] = {3, 2, 2, 3};
constexpr uint8_t kKoumaStayPattern[4] = {1, 0, 0, 1};
constexpr uint8_t kKoumaFlightPattern[4] = {5, 4, 4, 5};
constexpr uint8_t kKoumaLandingPattern[4] = {10, 11, 11, 10};
constexpr uint8_t kFlagsLoop = 0;
constexpr uint32_t kUnitLowLifeOff = 0x8;  // flag 8: no low-life effect, no aura
constexpr uint8_t kSamuraiKind = 22;

SlgKindStatesState& K() { return Battle().kind_states; }
uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
int32_t FramesSince(uint32_t start) {
  const int64_t ms = static_cast<int32_t>(Now() - start);
  return static_cast<int32_t>(ms * 60 / 1000);
}
SpxAnimeKind* Spx() { return Scene().tamvik_spr.spx(); }
size_t SlotOf(const SlgUnit& unit) { return unit.slot % kSlgMaxUnits; }

void KeepOnPos(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  SetAnmPos(obj, pos);
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, pos);
}

// Plays the object's pattern of `list` with `mode` (nothing without a list: it counts as ended).
void Play(SlgAnmObj* obj, SprAnm* list, uint8_t mode) {
  if (obj == nullptr) return;
  obj->mode = mode;
  if (list != nullptr) SlgPlayAnm(list, obj->pattern, obj, SURFACE_ROOT);
}

bool Ended(const SlgAnmObj* obj) { return obj == nullptr || SlgAnmObjIsEnd(obj) != 0; }

using Table = std::array<SlgStateHandler, kSlgKindStates>;

void RunTable(const Table& table, SlgUnit& unit, SlgPair& pos) {
  if (unit.state >= kSlgKindStates) return;  // past the table: an empty slot
  if (const SlgStateHandler h = table[unit.state]; h != nullptr) h(unit, pos);
}

// ---- The family data of the two-object kinds ----

struct ExtraObject {
  uint8_t pattern[4];
  int8_t depth[4];
};
struct TwoObjectFamily {
  uint8_t body[4];
  ExtraObject extra1;
  bool has_extra2;
  ExtraObject extra2;
  const SlgHitTables* hits;
  SlgPatternTable lead_in;  // the boss lead-in and attack end patterns
};

constexpr SlgPatternTable kStandLeadIn = {{{3, 0}, {2, 0}, {2, 16}, {3, 16}}};
constexpr SlgPatternTable kKujyakuLeadIn = {{{7, 0}, {6, 0}, {6, 16}, {7, 16}}};

const TwoObjectFamily kBossFamily = {
    {3, 2, 2, 3}, {{1, 0, 0, 1}, {-1, 1, 1, -1}}, false, {}, &kSlgHitDefault, kStandLeadIn};
const TwoObjectFamily kAmaterasFamily = {
    {3, 2, 2, 3}, {{1, 0, 0, 1}, {-1, 1, 1, -1}}, false, {}, &kSlgHitAmateras, kStandLeadIn};
const TwoObjectFamily kSoukakuFamily = {
    {3, 2, 2, 3}, {{3, 2, 2, 3}, {-1, 1, 1, -1}}, false, {}, &kSlgHitAmateras, kStandLeadIn};
const TwoObjectFamily kGinkakuFamily = {{3, 2, 2, 3},         {{2, 0, 0, 2}, {1, 1, 1, 1}},
                                        true,                 {{3, 1, 1, 3}, {-1, -1, -1, -1}},
                                        &kSlgHitAmateras,     kStandLeadIn};
const TwoObjectFamily kKujyakuFamily = {{7, 6, 6, 7},         {{7, 6, 6, 7}, {-1, -1, -1, -1}},
                                        true,                 {{8, 8, 8, 8}, {1, 1, 1, 1}},
                                        &kSlgHitKujyaku,      kKujyakuLeadIn};
// The kamui row's two objects (its stand is UnitStand; the walk end and hit use these).
const TwoObjectFamily kKamuiFamily = {
    {3, 2, 2, 3}, {{1, 0, 0, 1}, {-1, 1, 1, -1}}, false, {}, &kSlgHitKamui, kStandLeadIn};

const TwoObjectFamily& FamilyOf(const SlgUnit& unit) {
  switch (unit.kind) {
    case 20: case 31: case 32: return kKamuiFamily;
    case 23: return kSoukakuFamily;
    case 24: return kGinkakuFamily;
    case 25: return kKujyakuFamily;
    case 26: case 27: return kAmaterasFamily;
    default: return kBossFamily;
  }
}

SprAnm* EffectSet(const SlgUnit& unit) { return unit.anims[kUnitAnmBaseEffect]; }

// Sets up and plays an extra object on the body: the family pattern by direction, the body's
// attribute, a depth offset from the body, play once.
void PlayExtra(const SlgUnit& unit, SlgAnmObj* obj, const ExtraObject& e, const SlgPair& pos) {
  if (obj == nullptr) return;
  const uint32_t d = unit.dir & 3u;
  obj->pattern = e.pattern[d];
  obj->frame = 0;
  obj->attr = unit.anm != nullptr ? unit.anm->attr : kDirAttr[d];
  if (unit.anm != nullptr) obj->depth = static_cast<int16_t>(unit.anm->depth + e.depth[d]);
  SetAnmPos(obj, pos);
  Play(obj, EffectSet(unit), kSlgAnmOnce);
}

void MakeSecond(SlgUnit& unit) {
  if (unit.anm2 != nullptr) return;
  const uint32_t d = unit.dir & 3u;
  unit.anm2 = CreateAnmObj(FamilyOf(unit).extra1.pattern[d], kDirAttr[d]);
}

SlgAnmObj*& Extra2(const SlgUnit& unit) { return K().extra2[unit.entry]; }

// Body, extra 1 and extra 2 played once from their first frames.
void PlayAll(SlgUnit& unit, const SlgPair& pos) {
  const TwoObjectFamily& f = FamilyOf(unit);
  SlgAnmObj* body = unit.anm;
  SetAnmPattern(body, f.body[unit.dir & 3]);
  body->attr = kDirAttr[unit.dir & 3];
  ChangeUnitAnm(unit, kSlgAnmOnce);
  PlayExtra(unit, unit.anm2, f.extra1, pos);
  if (f.has_extra2) {
    if (Extra2(unit) == nullptr) Extra2(unit) = CreateAnmObj(0, 0);
    PlayExtra(unit, Extra2(unit), f.extra2, pos);
  }
}

void KeepAllOnPos(const SlgUnit& unit, const SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  KeepOnPos(unit.anm2, pos);
  KeepOnPos(Extra2(unit), pos);
}

// ---- The low-life effect ----

SlgLowLifeRecord& LowLifeOf(const SlgUnit& unit) { return K().low_life[unit.entry]; }

void FreeLowLife(SlgLowLifeRecord& r) {
  FreeAnmObj(r.obj);
  r = {};
}

bool LowLife(const SlgUnit& unit) {
  return (unit.flags & kUnitLowLifeOff) == 0 &&
         int32_t{unit.stats.life} * 5 <= int32_t{unit.stats.max_life};
}

void LowLifeStep(SlgUnit& unit, const SlgPair& pos) {
  SlgLowLifeRecord& r = LowLifeOf(unit);
  switch (r.step) {
    case 0: {
      if (!LowLife(unit) || unit.anm == nullptr) return;
      // No kind gives its own row: the first pattern with the direction's mirror.
      const uint32_t d = unit.dir & 3u;
      SlgAnmObj* obj = CreateAnmObj(0, kDirAttr[d]);
      if (obj == nullptr) return;  // a full pool: tried again next frame
      obj->depth = static_cast<int16_t>(unit.anm->depth - 1);
      SetAnmPos(obj, pos);
      Play(obj, SlgSysSprite(kSysPachiPachiEffect), kSlgAnmOnce);
      r.obj = obj;
      r.step = 1;
      return;
    }
    case 1:
      KeepOnPos(r.obj, pos);
      if (!Ended(r.obj)) return;
      FreeAnmObj(r.obj);
      r.obj = nullptr;
      r.wait = unit.state == kUnitStateReady
                   ? 0
                   : static_cast<uint32_t>((GetRandom() >> 3) & 0x1F0);
      r.start = Now();
      r.step = 2;
      return;
    default:
      if (FramesSince(r.start) >= static_cast<int32_t>(r.wait)) r.step = 0;
      return;
  }
}

// ---- The update functions' common frame ----

enum class Shadow { kAlways, kAlive, kBoss, kNone };

void FirstFrameSecond(SlgUnit& unit) {
  if ((unit.flags & kUnitStateStart) == 0) return;
  unit.flags &= ~kUnitStateStart;
  MakeSecond(unit);
}

void RunFamily(const Table& table, SlgUnit& unit, const SlgPair& screen, Shadow shadow) {
  SlgPair pos = screen;
  RunTable(table, unit, pos);
  // The low-life object belongs to the stand: one left behind is freed.
  if (unit.step != kSlgDeadStep && unit.state < kSlgKindStates &&
      table[unit.state] != &TwoObjectStand && LowLifeOf(unit).obj != nullptr)
    FreeLowLife(LowLifeOf(unit));
  bool draw = false;
  switch (shadow) {
    case Shadow::kAlways: draw = true; break;
    case Shadow::kAlive: draw = unit.step != kSlgDeadStep; break;
    case Shadow::kBoss: draw = unit.step != kSlgDeadStep && K().boss_shadow == 1; break;
    case Shadow::kNone: break;
  }
  if (draw) Slg::DrawUnitShadow(pos);
}

// ---- The tables ----

const Table kKoumaTable = {
    &ActKoumaStayEffect, &ActKoumaWalkEffect, &KoumaWalkEnd,      &UnitWalkStart,
    &KoumaWalkStop,      &AttackStateLeadIn,  &Slg::AttackState,  &AttackStateEnd,
    &UnitReady,          &KoumaHit,           &KoumaHeightChange, &UnitSupportFall,
    &UnitSupportFall2,   &UnitSupportFlash,   nullptr,            &ActKoumaDead,
};
const Table kKamuiTable = {
    &UnitStand,        &UnitWalk,          &TwoObjectWalkEnd,      &UnitWalkStart,
    &UnitWalkStop,     &AttackStateLeadIn, &Slg::AttackState,      &AttackStateEnd,
    &UnitReady,        &BossHit,           &TwoObjectHeightChange, &UnitSupportFall,
    &UnitSupportFall2, &UnitSupportFlash,  nullptr,                &UnitStateSeqB,
};
const Table kSamuraiTable = {
    &UnitStand,        &UnitWalk,           &UnitWalkEnd,       &UnitWalkStart,
    &UnitWalkStop,     &SamuraiLeadIn,      &Slg::AttackState,  &AttackStateEnd,
    &UnitReady,        &UnitDamagedDefault, &UnitHeightChange,  &UnitSupportFall,
    &UnitSupportFall2, &UnitSupportFlash,   nullptr,            &SamuraiEnd,
};
// Soukaku, ginkaku, kujyaku and amateras differ in slots 3, 4 and 15 only.
constexpr Table BossClassTable(SlgStateHandler walk_start, SlgStateHandler walk_stop,
                               SlgStateHandler state8, SlgStateHandler state10,
                               SlgStateHandler end) {
  return {&TwoObjectStand,   &UnitWalk,     &TwoObjectWalkEnd, walk_start,
          walk_stop,         &BossLeadIn,   &Slg::AttackState, &BossAttackEnd,
          state8,            &BossHit,      state10,           &UnitSupportFall,
          &UnitSupportFall2, &UnitSupportFlash, nullptr,       end};
}
const Table kSoukakuTable = BossClassTable(&UnitWalkStart, &UnitWalkStop, &TwoObjectStand,
                                           nullptr, &UnitStateSeqA);
const Table kGinkakuTable = BossClassTable(&UnitWalkStart, &TwoObjectWalkEnd, &TwoObjectStand,
                                           nullptr, &GinkakuEnd);
// Kujyaku's walk start acts as UnitWalkStart.
const Table kKujyakuTable = BossClassTable(&UnitWalkStart, &TwoObjectWalkEnd, &TwoObjectStand,
                                           nullptr, &UnitStateSeqA);
const Table kAmaterasTable = BossClassTable(&UnitWalkStart, &TwoObjectWalkEnd, &TwoObjectStand,
                                            nullptr, &UnitStateSeqA);
const Table kBossTable = BossClassTable(&UnitWalkStart, &TwoObjectWalkEnd, &TwoObjectWalkEnd,
                                        &TwoObjectHeightChange, &UnitStateSeqB);
// Satan's sprites are its attack's and its events' own: only the attack states run.
const Table kSatanTable = {
    nullptr, nullptr,           nullptr,           nullptr,         nullptr, &AttackLeadInKind,
    &SatanAttackEntry, &AttackEndKind, nullptr,    nullptr,         nullptr, nullptr,
    nullptr,           nullptr,       nullptr,     nullptr,
};

const Table& TableOf(SlgFamily f) {
  switch (f) {
    case SlgFamily::kKouma: return kKoumaTable;
    case SlgFamily::kKamui: return kKamuiTable;
    case SlgFamily::kSamurai: return kSamuraiTable;
    case SlgFamily::kSoukaku: return kSoukakuTable;
    case SlgFamily::kGinkaku: return kGinkakuTable;
    case SlgFamily::kKujyaku: return kKujyakuTable;
    case SlgFamily::kAmateras: return kAmaterasTable;
    case SlgFamily::kBoss: return kBossTable;
    case SlgFamily::kSatan: break;
  }
  return kSatanTable;
}

// ---- The kouma effect task ----

struct KoumaEffectRecord {
  SlgAnmObj* obj;
  SprAnm* anims;  // the kind's BASE_EFFECT set, a reference of the record's own
  SlgPair pos;
};

void KoumaEffectFinish(SlgEffectTask* task, KoumaEffectRecord& rec) {
  FreeAnmObj(rec.obj);
  rec.obj = nullptr;
  ReleaseUnitAnm(&rec.anims);
  SlgTaskEnd(task);
}

void ActKoumaEffect(SlgEffectTask* task) {
  auto* rec = static_cast<KoumaEffectRecord*>(task->owned[0]);
  if (rec == nullptr) {
    SlgTaskEnd(task);
    return;
  }
  if (task->phase == kSlgPhaseStop || task->phase == 2) {
    KoumaEffectFinish(task, *rec);
    return;
  }
  if (task->phase == 0) {
    Play(rec->obj, rec->anims, kSlgAnmOnce);
    task->phase = 1;
  }
  KeepOnPos(rec->obj, rec->pos);
  if (Ended(rec->obj)) task->phase = 2;  // ends the frame after the animation has ended
}

// Starts "<name>:<entry>" with one object on the body playing BASE_EFFECT animation `pattern`.
void StartKoumaEffect(const SlgUnit& unit, const SlgPair& pos, const char* name,
                      uint8_t pattern) {
  if (unit.anm == nullptr) return;
  SlgAnmObj* obj = CreateAnmObj(pattern, unit.anm->attr);
  auto* rec = obj != nullptr
                  ? static_cast<KoumaEffectRecord*>(SlgAlloc(sizeof(KoumaEffectRecord)))
                  : nullptr;
  SlgEffectTask* task = nullptr;
  if (rec != nullptr) {
    char text[64];
    std::snprintf(text, sizeof text, "%s:%d", name, unit.entry);
    task = SlgTaskCreate(SlgTaskOwner(), &ActKoumaEffect, text);
  }
  if (task == nullptr) {
    FreeAnmObj(obj);
    SlgFree(rec);
    return;
  }
  obj->depth = unit.anm->depth;
  SetAnmPos(obj, pos);
  rec->obj = obj;
  rec->pos = pos;
  rec->anims = GetUnitAnm(unit.kind, kUnitAnmBaseEffect);
  task->owned[0] = rec;
}

int32_t& HoverOf(const SlgUnit& unit) { return K().hover[SlotOf(unit)]; }

// The kouma drawing position: raised by the hover.
SlgPair Raised(const SlgUnit& unit, const SlgPair& pos) {
  return {pos.x, pos.y - HoverOf(unit) * kPx};
}

void KoumaPattern(SlgUnit& unit, const uint8_t (&patterns)[4], uint8_t mode) {
  SetAnmPattern(unit.anm, patterns[unit.dir & 3]);
  ChangeUnitAnm(unit, mode);
}

}  // namespace

SlgStateHandler SlgFamilyStateHandler(SlgFamily family, uint32_t state) {
  const Table& t = TableOf(family);
  return state < t.size() ? t[state] : nullptr;
}

// ---- Update functions ----

void ActKoumaUnit(SlgUnit& unit, const SlgPair& screen) {
  unit.flags &= ~kUnitStateStart;
  if ((unit.flags & kUnitHideNext) != 0) {
    if (unit.anm != nullptr && unit.anm->handle != nullptr) SlgAnmHide(unit.anm->handle);
    unit.flags &= ~kUnitHideNext;
    return;
  }
  RunFamily(kKoumaTable, unit, screen, Shadow::kAlways);
}

void ActKamuiUnit(SlgUnit& unit, const SlgPair& screen) {
  FirstFrameSecond(unit);
  RunFamily(kKamuiTable, unit, screen, Shadow::kAlive);
  if (unit.step != kSlgDeadStep && unit.state != kUnitStateDefeated) ActKamuiAura(unit, screen);
}

void ActSamuraiUnit(SlgUnit& unit, const SlgPair& screen) {
  if ((unit.flags & kUnitStateStart) != 0) {
    unit.flags &= ~kUnitStateStart;
    if (unit.kind == kSamuraiKind) LoadUnitAnms(unit);
    if (unit.anm == nullptr) {
      const uint8_t dir = unit.dir;
      unit.dir = 0;  // the body object for direction 0
      CreateUnitAnmObj(unit);
      unit.dir = dir;
    }
    Slg::InitUnitSprite(unit);
    if (unit.anm != nullptr) ChangeUnitAnm(unit, unit.anm->mode);
    K().samurai_attack = 0;
  }
  RunFamily(kSamuraiTable, unit, screen, Shadow::kAlways);
}

void ActSoukakuUnit(SlgUnit& unit, const SlgPair& screen) {
  FirstFrameSecond(unit);
  RunFamily(kSoukakuTable, unit, screen, Shadow::kBoss);
}
void ActGinkakuUnit(SlgUnit& unit, const SlgPair& screen) {
  FirstFrameSecond(unit);
  RunFamily(kGinkakuTable, unit, screen, Shadow::kBoss);
}
void ActKujyakuUnit(SlgUnit& unit, const SlgPair& screen) {
  FirstFrameSecond(unit);
  RunFamily(kKujyakuTable, unit, screen, Shadow::kBoss);
}
void ActAmaterasUnit(SlgUnit& unit, const SlgPair& screen) {
  FirstFrameSecond(unit);
  RunFamily(kAmaterasTable, unit, screen, Shadow::kBoss);
}
void ActBossUnit(SlgUnit& unit, const SlgPair& screen) {
  if ((unit.flags & kUnitStateStart) != 0) K().boss_shadow = 1;
  FirstFrameSecond(unit);
  RunFamily(kBossTable, unit, screen, Shadow::kBoss);
}

void ActSatanUnit(SlgUnit& unit, const SlgPair& screen) {
  if ((unit.flags & kUnitStateStart) != 0) {
    unit.flags &= ~kUnitStateStart;
    K().satan_attack = 0;
    SummonerReset();
  }
  SlgPair pos = screen;
  RunTable(kSatanTable, unit, pos);
}

// ---- Kouma ----

int32_t KoumaHover(const SlgUnit& unit) { return HoverOf(unit); }

void ActKoumaStayEffect(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return;
  const SlgPair at = Raised(unit, pos);
  KeepOnPos(obj, at);
  if ((unit.flags & kUnitStandFrozen) != 0) return;
  if (obj->state == 0) {
    KoumaPattern(unit, kKoumaStayPattern, kSlgAnmStartStopped);
    obj->wait = 0;
    obj->word = Now();
    obj->state = 1;
  }
  if ((obj->mode & kSlgAnmOnce) != 0 && Ended(obj)) obj->mode = kSlgAnmStartStopped;
  if (FramesSince(obj->word) < obj->wait) return;
  // A play that starts after the previous one has ended may bring the stay effect (facing 1,
  // one time in four).
  const bool rested = (obj->mode & kSlgAnmStartStopped) != 0;
  ChangeUnitAnm(unit, kSlgAnmOnce);
  if (rested && (unit.dir & 3) == 1 && ((GetRandom() >> 8) & 3) == 0)
    StartKoumaEffect(unit, at, "ActKoumaStayEffect", 0);
  obj->word = Now();
  obj->wait = static_cast<uint16_t>((GetRandom() >> 4) & 255);
}

void ActKoumaWalkEffect(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return;
  switch (obj->state) {
    case 0:
      HoverOf(unit) = 0;
      KoumaPattern(unit, kStandPattern, kSlgAnmOnce);
      if (Battle().route_walking != 0 && obj->handle != nullptr && Spx() != nullptr)
        Spx()->SetSpeed(obj->handle, kSlgFastWalkSpeed);
      StartKoumaEffect(unit, pos, "ActKoumaWalkEffect", 1);
      obj->word = Now();
      obj->state = 1;
      break;
    case 1:
      HoverOf(unit) = FramesSince(obj->word);
      if (Ended(obj)) obj->state = 2;
      break;
    case 2:
      KoumaPattern(unit, kKoumaFlightPattern, kFlagsLoop);
      obj->state = 3;
      break;
    default:
      break;
  }
  KeepOnPos(obj, Raised(unit, pos));
}

void KoumaWalkEnd(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) {
    HoverOf(unit) = 0;
    SetUnitState(unit, kUnitStateReady);
    return;
  }
  switch (obj->state) {
    case 0:
      KoumaPattern(unit, kKoumaLandingPattern, kSlgAnmOnce);
      obj->word = Now();
      obj->wait = static_cast<uint16_t>(HoverOf(unit) < 0 ? 0 : HoverOf(unit));
      obj->state = 1;
      break;
    default: {
      const int32_t left = obj->wait - FramesSince(obj->word);
      HoverOf(unit) = left > 0 ? left : 0;
      if (HoverOf(unit) == 0 && Ended(obj)) {
        KeepOnPos(obj, pos);
        SetUnitState(unit, kUnitStateReady);
        return;
      }
      break;
    }
  }
  KeepOnPos(obj, Raised(unit, pos));
}

void KoumaWalkStop(SlgUnit& unit, SlgPair& pos) {
  if (SlgAnmObj* obj = unit.anm; obj != nullptr) {
    KoumaPattern(unit, kKoumaLandingPattern, obj->mode);
    KeepOnPos(obj, Raised(unit, pos));
  }
  if (Battle().route_walking != 0) {
    HoverOf(unit) = 0;  // a scripted move skips the landing: the unit is down at once
    SetUnitState(unit, kUnitStateReady);
  } else {
    SetUnitState(unit, kUnitStateWalkEnd);
  }
}

void KoumaHeightChange(SlgUnit& unit, SlgPair& pos) {
  unit.lift = static_cast<int32_t>(Slg::FrontCellAttr(unit) & kSlgCellHeightMask) *
              kSlgCellHeightPixels * kPx;
  KeepOnPos(unit.anm, Raised(unit, pos));
  // The walk goes on in flight: its own step and the body's flight step are kept.
  const uint8_t flight = unit.anm != nullptr ? unit.anm->state : 0;
  unit.state = kUnitStateWalk;
  if (unit.anm != nullptr) unit.anm->state = flight;
}

void KoumaHit(SlgUnit& unit, SlgPair& pos) {
  Damaged(unit, Raised(unit, pos), kSlgHitKouma.ordinary, kSlgHitKouma.critical);
}

// ---- Two-object handlers ----

void TwoObjectStand(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return;
  KeepAllOnPos(unit, pos);
  LowLifeStep(unit, pos);
  if ((unit.flags & kUnitStandFrozen) != 0) return;
  if (obj->state == 0) {
    PlayAll(unit, pos);
    // Bits 22-24 of the 31-bit draw: 1 to 449 frames in steps of 64 (the generator's own
    // 15-bit values have no bit there).
    K().stand_wait = static_cast<uint32_t>(((SlgRand() >> 16) & 0x1C0) + 1);
    obj->word = Now();
    obj->state = 1;
    return;
  }
  if (FramesSince(obj->word) < static_cast<int32_t>(K().stand_wait)) return;
  PlayAll(unit, pos);
  obj->word = Now();
}

void TwoObjectWalkEnd(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) {
    SetUnitState(unit, kUnitStateReady);
    return;
  }
  KeepAllOnPos(unit, pos);
  if (obj->state == 0) {
    PlayAll(unit, pos);
    obj->state = 1;
    return;
  }
  if (Ended(obj) && Ended(unit.anm2) && Ended(Extra2(unit))) SetUnitState(unit, kUnitStateReady);
}

void TwoObjectHeightChange(SlgUnit& unit, SlgPair& pos) {
  UnitHeightChange(unit, pos);
  KeepOnPos(unit.anm2, pos);
  KeepOnPos(Extra2(unit), pos);
}

void BossHit(SlgUnit& unit, SlgPair& pos) {
  const SlgHitTables& t = *FamilyOf(unit).hits;
  Damaged(unit, pos, t.ordinary, t.critical);
  KeepOnPos(unit.anm2, pos);
  if (unit.state == kUnitStateStand) SetEventFlag(kSlgFlagBossBackToStand);
}

void BossLeadIn(SlgUnit& unit, SlgPair& pos) {
  AttackStateLeadInT(unit, pos, FamilyOf(unit).lead_in);
}

void BossAttackEnd(SlgUnit& unit, SlgPair& pos) {
  AttackStateEndT(unit, pos, FamilyOf(unit).lead_in);
}

void ActKamuiAura(SlgUnit& unit, const SlgPair& pos) {
  if ((unit.flags & kUnitLowLifeOff) != 0) return;
  SlgKindStatesState& k = K();
  SlgAnmObj* aura = unit.anm2;
  switch (k.aura_step) {
    case 0: {
      if (unit.state != kUnitStateStand && unit.state != kUnitStateWalk &&
          unit.state != kUnitStateReady)
        return;
      if (aura == nullptr || unit.anm == nullptr) return;
      const uint32_t d = unit.dir & 3u;
      const bool front = d == 0 || d == 3;
      aura->pattern = front ? 1 : 0;
      aura->frame = 0;
      aura->attr = unit.anm->attr;
      aura->depth = static_cast<int16_t>(unit.anm->depth + (front ? -1 : 1));
      SetAnmPos(aura, pos);
      Play(aura, EffectSet(unit), kSlgAnmOnce);
      k.aura_step = 1;
      return;
    }
    case 1:
      KeepOnPos(aura, pos);
      if (!Ended(aura)) return;
      k.aura_wait = static_cast<uint32_t>((GetRandom() >> 3) & 0x380);
      k.aura_start = Now();
      k.aura_step = 2;
      return;
    default:
      KeepOnPos(aura, pos);
      if (FramesSince(k.aura_start) >= static_cast<int32_t>(k.aura_wait)) k.aura_step = 0;
      return;
  }
}

// ---- Samurai, Satan, ginkaku ----

void SamuraiLeadIn(SlgUnit& unit, SlgPair& pos) {
  SetEventFlag(kSlgFlagSamuraiLeadIn);
  SetEventFlag(kSlgFlagBossBackToStand);
  AttackStateLeadIn(unit, pos);
}

void SamuraiEnd(SlgUnit& unit, SlgPair& pos) {
  if (CheckEventFlag(static_cast<int32_t>(kSlgFlagSamuraiFalls)) == 0) {
    SetUnitState(unit, kUnitStateStand);
    return;
  }
  ActWakijiDead(unit, pos);
}

void SatanAttackEntry(SlgUnit& unit, SlgPair& pos) {
  if (SlgAttackRoutine entry = Battle().satan_action; entry != nullptr) {
    entry(unit, pos);
  } else {
    EndEmptyAttack(unit, "SatanAttackEntry");
  }
}

void GinkakuEnd(SlgUnit& unit, SlgPair& pos) {
  SetEventFlag(kSlgFlagGinkakuDefeated);
  UnitStateSeqA(unit, pos);
}

void FreeFamilyObjects(const SlgUnit& unit) {
  SlgAnmObj*& extra = Extra2(unit);
  FreeAnmObj(extra);
  extra = nullptr;
  FreeLowLife(LowLifeOf(unit));
}

void FreeFamilyObjectsOfLeaving(const SlgUnit& unit) {
  const SlgBattleState& s = Battle().state;
  const int count = std::min<int>(s.unit_count, kSlgMaxUnits);
  for (int i = 0; i < count; ++i) {
    const SlgUnit& other = s.units[static_cast<size_t>(i)];
    if (&other != &unit && other.entry == unit.entry && other.step != kSlgDeadStep) return;
  }
  FreeFamilyObjects(unit);
}
