#include "battle/slg_unit_states.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_damage.h"
#include "battle/slg_death.h"
#include "battle/slg_draw.h"
#include "battle/slg_effect_calls.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_gauge.h"
#include "battle/slg_map_objects.h"
#include "battle/slg_geometry.h"
#include "battle/slg_kind_states.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 0x10000;
// Patterns by direction 0-3: standing and walking, and the mirror attribute.
constexpr uint8_t kStandPattern[4] = {3, 2, 2, 3};
constexpr uint8_t kWalkPattern[4] = {1, 0, 0, 1};
constexpr uint16_t kDirAttr[4] = {0, 0, 16, 16};
// The idle effect and the teleport pairs by direction. No data gives the kinds' own rows yet:
// every kind uses the stand pattern of the direction.
constexpr uint8_t kIdleTeleportPattern[4] = {3, 2, 2, 3};
constexpr uint16_t kTeleportEffectAttr = 16;
// Flags (play-mode byte) the handlers give the body.
constexpr uint8_t kFlagsLoop = 0;

SlgUnitStatesState& Tables() { return Battle().unit_states; }
uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
int32_t FramesSince(uint32_t start) {
  const int64_t ms = static_cast<int32_t>(Now() - start);
  return static_cast<int32_t>(ms * 60 / 1000);
}
SpxAnimeKind* Spx() { return Scene().tamvik_spr.spx(); }

// Keeps an object (and its animation) on the drawing position.
void KeepOnPos(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  SetAnmPos(obj, pos);
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, pos);
}

// Plays an object's pattern of `list` once (nothing without a list: the object counts as ended).
void PlayOnce(SlgAnmObj* obj, SprAnm* list) {
  if (obj == nullptr) return;
  obj->mode = kSlgAnmOnce;
  if (list != nullptr) SlgPlayAnm(list, obj->pattern, obj, SURFACE_ROOT);
}

// The walk goes on after a height change: state 1 with the walk's own step (unit.step) kept,
// the body's step byte 0 so that the walk handler sets its pattern again.
void ResumeWalk(SlgUnit& unit) {
  unit.state = kUnitStateWalk;
  if (unit.anm != nullptr) unit.anm->state = 0;
}

// Whether (slot, state) has not been traced yet; marks it.
bool FirstTrace(const SlgUnit& unit) {
  const uint32_t bit = (unit.slot % kSlgMaxUnits) * 256u + unit.state;
  uint32_t& word = Tables().traced[bit / 32];
  const uint32_t mask = 1u << (bit % 32);
  if ((word & mask) != 0) return false;
  word |= mask;
  return true;
}

void TraceNoSlot(const SlgUnit& unit, const char* table) {
  if (FirstTrace(unit))
    DebugPrint("%s: kind %d state %d has no slot (unit %d)\n", table, unit.kind, unit.state,
               unit.slot);
}

constexpr std::array<SlgStateHandler, kSlgKindStates> kDefaultTable = {
    &UnitStand,        &UnitWalk,         &UnitWalkEnd,       &UnitWalkStart,
    &UnitWalkStop,     &AttackStateLeadIn, &Slg::AttackState, &AttackStateEnd,
    &UnitReady,        &UnitDamagedDefault, &UnitHeightChange, &UnitSupportFall,
    &UnitSupportFall2, &UnitSupportFlash, nullptr,            &ActWakijiDead,
};

// State 19 runs the kind's combination routine (Slg::CombinationState).
constexpr std::array<SlgStateHandler, kSlgPlayerStates> kDefaultPlayerRow = {
    &PlayerStand,      &UnitWalk,         &PlayerWalkEnd,     &UnitWalkStart,
    &UnitWalkStop,     &AttackStateLeadIn, &Slg::AttackState, &AttackStateEnd,
    &UnitReady,        &UnitDamagedDefault, &UnitHeightChange, &UnitSupportFall,
    &UnitSupportFall2, &UnitSupportFlash, nullptr,            &ActPlayerDead,
    nullptr,           nullptr,           nullptr,            &Slg::CombinationState,
    &UnitStateNone,    &PlayerTeleportAppear, nullptr,        nullptr,
};

const std::array<SlgCategoryUpdate, kSlgUnitKinds> kKindUpdate = [] {
  std::array<SlgCategoryUpdate, kSlgUnitKinds> t{};
  t[4] = &ActYsolGuest;
  t[14] = t[15] = t[16] = &ActUnitCommon;
  t[34] = &ActBenibachiUnit;
  t[35] = &ActKonoeUnit;
  // ---- Map objects (battle/slg_map_objects.h) ----
  t[kSlgKindJokidama] = &ActJokidamaUnit;
  t[39] = t[40] = t[41] = t[46] = t[47] = &ActMapObjUnit;
  t[kSlgKindFakeWakiji] = &ActFakeWakijiUnit;
  t[kSlgKindFactory] = &ActWakijiFactoryUnit;
  t[kSlgKindGenerator] = &ActKoumaGenUnit;
  t[kSlgKindElebox] = &ActDengekiBakoUnit;
  t[kSlgKindJokiStand] = &ActJokiStandUnit;
  // ---- end of the map objects ----
  // ---- The enemy and boss families (battle/slg_kind_states.h); 36 and 37 stay empty ----
  for (int k : {17, 18, 19, 48, 49, 50}) t[static_cast<size_t>(k)] = &ActKoumaUnit;
  for (int k : {20, 31, 32}) t[static_cast<size_t>(k)] = &ActKamuiUnit;
  t[21] = t[22] = &ActSamuraiUnit;
  t[23] = &ActSoukakuUnit;
  t[24] = &ActGinkakuUnit;
  t[25] = &ActKujyakuUnit;
  t[26] = t[27] = &ActAmaterasUnit;
  t[28] = t[29] = t[30] = &ActBossUnit;
  t[33] = &ActSatanUnit;
  // ---- end of the enemy and boss families ----
  return t;
}();

constexpr uint8_t kTeleportKinds[2] = {4, 11};
constexpr uint8_t kCoverKinds[2] = {0, 7};

// The first-frame set-up of the kinds that make their body object on their first update.
void SetUpBody(SlgUnit& unit) {
  LoadUnitAnms(unit);
  if (unit.anm == nullptr) CreateUnitAnmObj(unit);
  Slg::InitUnitSprite(unit);
}

// ---- The stand ----

// UnitStand's work; false when the unit has no body or its stand is frozen.
bool Stand(SlgUnit& unit, const SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return false;
  KeepOnPos(obj, pos);
  if ((unit.flags & kUnitStandFrozen) != 0) return false;
  if (obj->state == 0) {
    SetUnitStandPattern(unit);
    ChangeUnitAnm(unit, kSlgAnmStartStopped);
    obj->wait = 0;
    obj->word = Now();
    obj->state = 1;
  }
  if (FramesSince(obj->word) >= obj->wait) {
    ChangeUnitAnm(unit, kSlgAnmOnce);
    obj->word = Now();
    obj->wait = static_cast<uint16_t>((GetRandom() >> 4) & 255);
  }
  return true;
}

// ---- Teleport pairs ----

SlgTeleportPair& PairOf(const SlgUnit& unit) { return Tables().teleport[unit.character]; }

void FreePair(SlgTeleportPair& pair) {
  FreeAnmObj(pair.body);
  FreeAnmObj(pair.effect);
  pair = {};
}

// Makes and plays the pair with the unit's body hidden; nothing while a pair exists.
void MakePair(SlgUnit& unit, const SlgPair& pos) {
  SlgTeleportPair& pair = PairOf(unit);
  Slg::HideUnit(unit);
  if (pair.body != nullptr || pair.effect != nullptr) return;
  const uint8_t pattern = kIdleTeleportPattern[unit.dir & 3];
  SlgAnmObj* body = CreateAnmObj(pattern, 0);
  SlgAnmObj* effect = CreateAnmObj(pattern, kTeleportEffectAttr);
  if (body == nullptr || effect == nullptr) {  // a full pool: no pair, the handler goes on
    FreeAnmObj(body);
    FreeAnmObj(effect);
    return;
  }
  SetAnmPos(body, pos);
  SetAnmPos(effect, pos);
  body->depth = unit.anm->depth;
  effect->depth = static_cast<int16_t>(body->depth - 1);
  PlayOnce(body, unit.anims[kUnitAnmTeleportBody]);
  PlayOnce(effect, unit.anims[kUnitAnmTeleportEffect]);
  pair = {body, effect};
}

void KeepPairOnPos(const SlgUnit& unit, const SlgPair& pos) {
  const SlgTeleportPair& pair = Tables().teleport[unit.character];
  KeepOnPos(pair.body, pos);
  KeepOnPos(pair.effect, pos);
}

bool PairEnded(const SlgUnit& unit) {
  const SlgTeleportPair& pair = Tables().teleport[unit.character];
  return SlgAnmObjIsEnd(pair.body) != 0 && SlgAnmObjIsEnd(pair.effect) != 0;
}

// Teleport out or in: the pair, then `end` (with the body shown again when `show`).
void Teleport(SlgUnit& unit, const SlgPair& pos, uint8_t end, bool show) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) {
    SetUnitState(unit, end);
    return;
  }
  SetAnmPos(obj, pos);  // the hidden body's sprite stays as it is (moving it redraws it)
  if (obj->state == 0) {
    MakePair(unit, pos);
    obj->state = 1;
    return;
  }
  KeepPairOnPos(unit, pos);
  if (!PairEnded(unit)) return;
  FreePair(PairOf(unit));
  if (show) {
    Slg::ShowUnit(unit);
    KeepOnPos(obj, pos);
  }
  SetUnitState(unit, end);
}

// ---- Support effects ----

using SupportEffect = int (*)(SlgUnit& unit, const SlgPair& pos);
using SupportGauge = int (*)(int unit, int delay);

// The support road: flags 2 (the body stopped when `stop`), the effect until it ends, the gauge
// until it ends (its slot + 1 in the wait word, 0 none), the action and the end state.
void Support(SlgUnit& unit, const SlgPair& pos, SupportEffect effect, SupportGauge gauge,
             int action, uint8_t end, bool stop) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) {
    gauge(unit.slot, -1);
    CalcUnitAction(unit, action);
    SetUnitState(unit, end);
    return;
  }
  KeepOnPos(obj, pos);
  switch (obj->state) {
    case 0:
      SetAnmObjFlags(obj, kSlgAnmStartStopped);
      if (stop && obj->handle != nullptr) Ctx().anime.SetStop(obj->handle, 1);
      obj->state = 1;
      [[fallthrough]];
    case 1: {
      if (effect(unit, pos) != 0) return;
      const int slot = gauge(unit.slot, -1);
      obj->wait = static_cast<uint16_t>(slot + 1);
      obj->state = 2;
      return;
    }
    default:
      if (obj->wait != 0 && DGaugeRunning(obj->wait - 1) != 0) return;
      CalcUnitAction(unit, action);
      SetUnitState(unit, end);
      return;
  }
}

void RunKindState(const std::array<SlgStateHandler, kSlgKindStates>& table, SlgUnit& unit,
                  SlgPair& pos) {
  if (unit.state >= kSlgKindStates) {
    TraceNoSlot(unit, "UpdateUnitByKind");
    return;
  }
  if (const SlgStateHandler h = table[unit.state]; h != nullptr) h(unit, pos);
}

// Kinds 34 and 35: first-frame set-up, the hide flag, then the common update.
void ActBodyFirstUnit(SlgUnit& unit, const SlgPair& screen) {
  if ((unit.flags & kUnitStateStart) != 0) {
    unit.flags &= ~kUnitStateStart;
    SetUpBody(unit);
    if (unit.anm != nullptr) ChangeUnitAnm(unit, unit.anm->mode);
  }
  if ((unit.flags & kUnitHideNext) != 0) {
    if (unit.anm != nullptr && unit.anm->handle != nullptr) SlgAnmHide(unit.anm->handle);
    unit.flags &= ~(kUnitHideNext | kUnitShown);
    return;
  }
  ActUnitCommon(unit, screen);
}

}  // namespace

void InitCategoryUpdates() {
  Battle().state.category_update = {&UpdatePlayerUnit, &UpdateUnitByKind, &UpdateUnitByKind,
                                    &SlgEventAnmUpdate, &UpdateUnitByKind};
}

void InitDefaultUnitStates() {
  SlgUnitStatesState& t = Tables();
  t.player.fill(nullptr);
  for (int kind = 0; kind < kSlgPlayerKinds; ++kind) {
    for (int s = 0; s < kSlgPlayerStates; ++s)
      t.player[static_cast<size_t>(kind * kSlgPlayerStates + s)] =
          kDefaultPlayerRow[static_cast<size_t>(s)];
  }
  for (uint8_t kind : kCoverKinds) t.player[kind * kSlgPlayerStates + kUnitStateCover] = nullptr;
  for (uint8_t kind : kTeleportKinds) {
    t.player[kind * kSlgPlayerStates + kUnitStateWalk] = &UnitStateNone;
    t.player[kind * kSlgPlayerStates + kUnitStateWalkStart] = &PlayerTeleportOut;
    t.player[kind * kSlgPlayerStates + kUnitStateWalkStop] = &PlayerTeleportIn;
  }
  for (int c = 0; c < kSlgCharacters; ++c) {
    FreeIdleRecord(static_cast<uint8_t>(c));
    FreePair(t.teleport[static_cast<size_t>(c)]);
  }
  t.traced.fill(0);
}

void UpdatePlayerUnit(SlgUnit& unit, const SlgPair& screen) {
  if ((unit.flags & kUnitStateStart) != 0) {
    FreeIdleRecord(unit.character);
    unit.flags &= ~kUnitStateStart;
  }
  SlgPair pos = screen;
  SlgStateHandler h = nullptr;
  if (unit.kind < kSlgPlayerKinds && unit.state < kSlgPlayerStates) {
    h = Tables().player[unit.kind * kSlgPlayerStates + unit.state];
  } else {
    TraceNoSlot(unit, "UpdatePlayerUnit");
  }
  // The idle effect belongs to the stand: a unit that has left it (to walk, attack, ...) would
  // otherwise leave the effect's last frame standing where it was until it stands again.
  if (h != &PlayerStand && Tables().idle[unit.character].effect != nullptr)
    FreeIdleRecord(unit.character);
  if (h != nullptr) h(unit, pos);
  if (unit.step != kSlgDeadStep) Slg::DrawUnitShadow(pos);
}

void UpdateUnitByKind(SlgUnit& unit, const SlgPair& screen) {
  const SlgCategoryUpdate update = SlgKindUpdate(unit.kind);
  if (update != nullptr) update(unit, screen);
}

SlgCategoryUpdate SlgKindUpdate(uint32_t kind) {
  return kind < kKindUpdate.size() ? kKindUpdate[kind] : nullptr;
}

SlgStateHandler SlgDefaultStateHandler(uint32_t state) {
  return state < kDefaultTable.size() ? kDefaultTable[state] : nullptr;
}

void ActYsolGuest(SlgUnit& unit, const SlgPair& screen) {
  if ((unit.flags & kUnitStateStart) != 0) {
    FreeIdleRecord(unit.character);
    SetUpBody(unit);
    CalcStatTotals(unit.stats);
  }
  UpdatePlayerUnit(unit, screen);
}

void ActUnitCommon(SlgUnit& unit, const SlgPair& screen) {
  SlgPair pos = screen;
  RunKindState(kDefaultTable, unit, pos);
  Slg::DrawUnitShadow(pos);
}

void ActBenibachiUnit(SlgUnit& unit, const SlgPair& screen) { ActBodyFirstUnit(unit, screen); }
void ActKonoeUnit(SlgUnit& unit, const SlgPair& screen) { ActBodyFirstUnit(unit, screen); }

void FreeIdleRecord(uint8_t character) {
  SlgIdleRecord& r = Tables().idle[character];
  FreeAnmObj(r.effect);
  r = {};
}

// ---- Handlers ----

void UnitStand(SlgUnit& unit, SlgPair& pos) { Stand(unit, pos); }

void PlayerStand(SlgUnit& unit, SlgPair& pos) {
  if (!Stand(unit, pos)) return;
  SlgIdleRecord& r = Tables().idle[unit.character];
  switch (r.step) {
    case 0: {
      const uint32_t d = unit.dir & 3u;
      SlgAnmObj* effect = CreateAnmObj(kIdleTeleportPattern[d], kDirAttr[d]);
      if (effect == nullptr) return;  // a full pool: tried again next frame
      SetAnmPos(effect, pos);
      effect->depth = static_cast<int16_t>(unit.anm->depth - 1);
      PlayOnce(effect, unit.anims[kUnitAnmBaseEffect]);
      r.effect = effect;
      r.step = 1;
      return;
    }
    case 1:
      KeepOnPos(r.effect, pos);
      if (SlgAnmObjIsEnd(r.effect) == 0) return;
      FreeAnmObj(r.effect);
      r.effect = nullptr;
      r.wait = static_cast<uint32_t>((GetRandom() >> 3) & 0x380);
      r.start = Now();
      r.step = 2;
      return;
    default:
      if (unit.state == kUnitStateReady || FramesSince(r.start) >= static_cast<int32_t>(r.wait))
        r.step = 0;
      return;
  }
}

void UnitWalk(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return;
  KeepOnPos(obj, pos);
  if (obj->state != 0) return;
  SetAnmPattern(obj, kWalkPattern[unit.dir & 3]);
  ChangeUnitAnm(unit, kFlagsLoop);
  if (Battle().route_walking != 0 && obj->handle != nullptr && Spx() != nullptr)
    Spx()->SetSpeed(obj->handle, kSlgFastWalkSpeed);
  obj->state = 1;
}

void UnitWalkEnd(SlgUnit& unit, SlgPair& pos) {
  if (SlgAnmObj* obj = unit.anm; obj != nullptr) {
    KeepOnPos(obj, pos);
    SetUnitStandPattern(unit);
    ChangeUnitAnm(unit, obj->mode);
  }
  SetUnitState(unit, kUnitStateReady);
}

void PlayerWalkEnd(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) {
    SetUnitState(unit, kUnitStateReady);
    return;
  }
  KeepOnPos(obj, pos);
  switch (obj->state) {
    case 0:
      SetUnitStandPattern(unit);
      ChangeUnitAnm(unit, kSlgAnmOnce);
      // The stop effect steps this byte on to 2 when its dust has ended.
      obj->state = CtrlStopEffect(unit) != 0 ? 1 : 2;
      return;
    case 1:
      return;
    default:
      SetUnitState(unit, kUnitStateReady);
      return;
  }
}

void UnitWalkStart(SlgUnit& unit, SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  SetUnitState(unit, kUnitStateWalk);
}

void UnitWalkStop(SlgUnit& unit, SlgPair& pos) {
  if (SlgAnmObj* obj = unit.anm; obj != nullptr) {
    KeepOnPos(obj, pos);
    SetUnitStandPattern(unit);
    ChangeUnitAnm(unit, obj->mode);
  }
  SetUnitState(unit, Battle().route_walking != 0 ? kUnitStateReady : kUnitStateWalkEnd);
}

void UnitReady(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) return;
  KeepOnPos(obj, pos);
  if (obj->state != 0) return;
  ChangeUnitAnm(unit, kFlagsLoop);
  obj->state = 1;
}

void UnitHeightChange(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  const auto floor = [&] {
    return static_cast<int32_t>(Slg::FrontCellAttr(unit) & kSlgCellHeightMask) *
           kSlgCellHeightPixels * kPx;
  };
  if (obj == nullptr) {
    unit.lift = floor();
    ResumeWalk(unit);
    return;
  }
  KeepOnPos(obj, pos);
  switch (obj->state) {
    case 0: {
      SetAnmPattern(obj, kWalkPattern[unit.dir & 3]);
      ChangeUnitAnm(unit, obj->mode);
      const int32_t lift = floor();
      // The jump steps this byte on to 2 when it lands.
      if (CtrlJumpEffect(unit, lift, kSlgJumpSpeed, kSlgJumpGravity) != 0) {
        obj->state = 1;
      } else {
        unit.lift = lift;
        ResumeWalk(unit);
      }
      return;
    }
    case 1:
      return;
    default:
      ResumeWalk(unit);
      return;
  }
}

void UnitSupportFall(SlgUnit& unit, SlgPair& pos) {
  Support(unit, pos, &SlgFallEffect, &DGaugeKiai, kSlgActRefill, kUnitStateReady, true);
}

void UnitSupportFall2(SlgUnit& unit, SlgPair& pos) {
  Support(unit, pos, &SlgFallEffect2, &DGaugeRecovery, kSlgActRecover, kUnitStateStand, false);
}

void UnitSupportFlash(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) {
    SetUnitState(unit, kUnitStateReady);
    return;
  }
  KeepOnPos(obj, pos);
  if (obj->state == 0) {
    if (obj->handle != nullptr && Spx() != nullptr) Spx()->SetLoop(obj->handle, 0);
    obj->state = 1;
  }
  if (SlgFlashEffect(unit, pos) == 0) SetUnitState(unit, kUnitStateReady);
}

void PlayerTeleportOut(SlgUnit& unit, SlgPair& pos) {
  Teleport(unit, pos, kUnitStateWalk, false);
}

void PlayerTeleportIn(SlgUnit& unit, SlgPair& pos) {
  Teleport(unit, pos, kUnitStateWalkEnd, true);
}

void PlayerTeleportAppear(SlgUnit& unit, SlgPair& pos) {
  SlgAnmObj* obj = unit.anm;
  if (obj == nullptr) {
    SetUnitState(unit, kUnitStateWalkEnd);
    return;
  }
  SetAnmPos(obj, pos);  // hidden from step 0 on
  KeepPairOnPos(unit, pos);
  switch (obj->state) {
    case 0:
    case 3:
      MakePair(unit, pos);
      ++obj->state;
      return;
    case 1:
      if (!PairEnded(unit)) return;
      FreePair(PairOf(unit));
      obj->word = Now();
      obj->wait = kSlgTeleportAppearWait;
      obj->state = 2;
      return;
    case 2:
      if (FramesSince(obj->word) >= obj->wait) obj->state = 3;
      return;
    default:
      if (SlgAnmObjIsEnd(PairOf(unit).effect) == 0) return;
      FreePair(PairOf(unit));
      Slg::ShowUnit(unit);
      KeepOnPos(obj, pos);
      SetUnitState(unit, kUnitStateWalkEnd);
      return;
  }
}

void UnitStateNone(SlgUnit& /*unit*/, SlgPair& /*pos*/) {}
