#include "battle_events/maps/kit/final_kit.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

// The frames the kit's waits have waited, made afresh for each stage.
struct FinalKitWaits {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  int32_t attack = 0;
};
FinalKitWaits& Waits() { return Battle().Extension<FinalKitWaits>(); }

}  // namespace

int32_t FinalRouteKind() {
  const int32_t kind = EventPartnerChara();
  return kind >= 1 && kind < kFinalKinds ? kind : 1;
}

void PoseUnit(SlgUnit* unit, uint32_t dir) {
  if (unit == nullptr) return;
  Slg::SetUnitDir(*unit, dir);
  SetUnitState(*unit, 0);
}

void PlaceFinalParty(const FinalCellRow& row, uint32_t dir, FinalParty& party) {
  party = {};
  for (int32_t kind = 0; kind < kFinalKinds; ++kind) {
    const FinalCell cell = row[static_cast<size_t>(kind)];
    SlgUnit* unit = LivePartyUnit(kind);
    if (!cell.present()) {
      if (unit != nullptr) EventRemoveUnit(unit);
      continue;
    }
    if (unit == nullptr) {
      DebugPrint("final battle: party kind %d is not on the map: not placed\n", kind);
      continue;
    }
    EventPlaceUnitAt(unit, cell.px(), cell.py(), dir);
    PoseUnit(unit, dir);
    party.kinds[static_cast<size_t>(party.count++)] = static_cast<int8_t>(kind);
  }
}

void PoseFinalParty(const FinalParty& party, uint32_t dir) {
  for (int32_t n = 0; n < party.count; ++n) {
    PoseUnit(LivePartyUnit(party.kinds[static_cast<size_t>(n)]), dir);
  }
}

// ---- The route works ----

namespace final_kit {

bool AllocRoutes(FinalRouteWorks& works, SlgBody holder_body, int count) {
  if (works.holder == nullptr) {
    works.holder = SlgTaskCreate(SlgTaskOwner(), holder_body, "final battle route works");
  }
  bool all = works.holder != nullptr;
  for (int n = 0; all && n < count && n < kFinalRouteWorks; ++n) {
    if (works.holder->owned[n] == nullptr) works.holder->owned[n] = RouteWorkAlloc();
    all = works.holder->owned[n] != nullptr;
  }
  if (!all) DebugPrint("final battle: the route works could not be made\n");
  return all;
}

RouteWork* Route(const FinalRouteWorks& works, int n) {
  if (works.holder == nullptr || n < 0 || n >= kFinalRouteWorks) return nullptr;
  return static_cast<RouteWork*>(works.holder->owned[n]);
}

void FreeRoutes(FinalRouteWorks& works) {
  if (works.holder == nullptr) return;
  SlgEffectTask* task = works.holder;
  works.holder = nullptr;
  SlgTaskEnd(task);  // frees the owned works
}

void ForgetHolder(FinalRouteWorks& works, SlgEffectTask* task) {
  if (task->phase != kSlgPhaseStop) return;
  if (works.holder == task) works.holder = nullptr;
  SlgTaskEnd(task);
}

}  // namespace final_kit

// ---- Walkers ----

void ClearFinalWalkers(FinalWalkers& w) { w = {}; }

void StartFinalWalker(FinalWalkers& w, int32_t kind, int32_t x, int32_t y) {
  if (kind < 0 || kind >= kFinalKinds) return;
  w.walking[static_cast<size_t>(kind)] = 1;
  w.target[static_cast<size_t>(kind)] = {x, y};
}

int32_t StepFinalWalkers(FinalWalkers& w, const FinalRouteWorks& routes, bool remove,
                         int32_t speed) {
  for (int32_t kind = 0; kind < kFinalKinds; ++kind) {
    const auto k = static_cast<size_t>(kind);
    if (w.walking[k] == 0) continue;
    const SlgPoint t = w.target[k];
    if (EventWalkUnit(final_kit::Route(routes, kind), 0, kind, t.x, t.y, speed) == 0) continue;
    w.walking[k] = 0;
    ++w.arrived;
    if (remove) {
      if (SlgUnit* unit = LivePartyUnit(kind); unit != nullptr) EventRemoveUnit(unit);
    }
  }
  return FinalWalkersWalking(w);
}

int32_t FinalWalkersWalking(const FinalWalkers& w) {
  int32_t n = 0;
  for (uint8_t m : w.walking) n += m != 0 ? 1 : 0;
  return n;
}

// ---- Scripted attacks ----

namespace final_kit {

void AttackPrepare(SlgUnit* actor, SlgUnit* target, int32_t type) {
  if (actor == nullptr || target == nullptr) {
    DebugPrint("final battle: a scripted attack without its actor or target: skipped\n");
    return;
  }
  EventAttackPrepare(actor, target, type);
}

void AttackLoadExtra(SlgUnit* actor) {
  if (actor != nullptr) EventLoadUnitExtraAnm(actor);
}

void AttackStart(SlgUnit* actor, SlgUnit* target) {
  Waits().attack = 0;
  if (actor == nullptr || target == nullptr) return;
  EventAttackStart(actor, target);
}

int AttackFinished(SlgUnit* actor, SlgUnit* target) {
  int32_t& frames = Waits().attack;
  if (actor != nullptr && target != nullptr && actor->state != 0) {
    if (++frames <= kFinalStepLimit) return 0;
    DebugPrint("final battle: a scripted attack did not end: going on\n");
  }
  frames = 0;
  EventAttackFinish(actor, target);
  return 1;
}

}  // namespace final_kit

// ---- The party's flash and the still picture ----

void FinalPartyBg() {
  LoadBG(kFinalPartyPicture, 320, 240);
  EventBgAlpha(static_cast<int32_t>(kFinalBgBlend));
}

void FinalPartyFlash() {
  SlgSePlay(291);
  SlgSePlay400(2);
}

void FinalPartyStands(const FinalParty& party) {
  EventFreeBG();
  PoseFinalParty(party, 2);
}

void FinalShowPicture(int picture) { LoadBG(picture, 320, 240); }

void FinalFreeBg() { EventFreeBG(); }

// ---- The party as it stands ----

void ListFinalParty(FinalParty& party) {
  party = {};
  for (int32_t kind = 0; kind < kFinalKinds; ++kind) {
    if (LivePartyUnit(kind) != nullptr) {
      party.kinds[static_cast<size_t>(party.count++)] = static_cast<int8_t>(kind);
    }
  }
}

// ---- Objects played in two parts ----

namespace {
// The first frame: on its cell's point, its pattern (0) played once.
constexpr EventAnmDesc kTwoPartStart{.start = EventAnmStart::kPlay,
                                     .snap = EventAnmSnap::kCellPos};
}  // namespace

int FinalTwoPartObject(SlgUnit& unit, SlgPair& position, int16_t (*depth)(const SlgUnit& unit)) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  if (unit.state == 0) {
    SetAnmPattern(body, 0);
    RunEventAnm(kTwoPartStart, unit, position);  // state 1
  }
  if (unit.state == 3) {
    if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&body->handle);
    SetUnitState(unit, 4);
    return 0;
  }
  if (unit.state > 3) return 0;
  if (depth != nullptr) body->depth = depth(unit);
  SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
  if (unit.state == 1 && SlgAnmObjIsEnd(body) != 0) {
    SetAnmPattern(body, 1);
    EventAnmReplay(unit, 0);
    SetUnitState(unit, 2);
  }
  return 0;
}
