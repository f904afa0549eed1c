#include "battle_events/runtime/event_script_helpers.h"

#include <algorithm>
#include <array>
#include <limits>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_hits.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/runtime/effect_objects.h"

namespace {

constexpr uint8_t kStateAttackLeadIn = 5;
constexpr uint8_t kStateHit = 9;

// The heroine numbers of P[83] to battle characters and back.
constexpr std::array<uint8_t, 8> kPartnerToChara = {0, 1, 2, 3, 6, 4, 5, 0};
constexpr std::array<uint16_t, 8> kCharaToPartner = {0, 1, 2, 3, 5, 6, 4, 0};

bool Live(const SlgUnit* unit) { return unit != nullptr && SlgUnitLive(*unit); }

void SetActingMode(uint32_t value) { Battle().event_words.acting_mode = {value, value}; }

// One axis moved by v and stopped on t when it reaches or passes it from its side.
int32_t MoveAxis(int32_t p, int32_t t, int32_t v) {
  const int64_t next = int64_t{p} + v;
  if (v < 0 && p >= t && next <= t) return t;
  if (v > 0 && p <= t && next >= t) return t;
  return static_cast<int32_t>(std::clamp<int64_t>(next, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t AddHeld(int32_t a, int32_t b) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

void EventObjCellPos(SlgPair& out, int32_t x, int32_t y) {
  const SlgPoint p = CellToPosHeight(x, y);
  out = {static_cast<int32_t>(static_cast<uint32_t>(p.x) << 16),
         static_cast<int32_t>(static_cast<uint32_t>(p.y) << 16)};
}

SlgUnit* FindUnitByKindChara(int32_t kind, int32_t character) {
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = s.units[i];
    if (unit.kind == kind && unit.character == character) return &unit;
  }
  return nullptr;
}

int EventPartnerChara() {
  const uint16_t p = SlgGetMacroP(kPartnerVar);
  const int chara = p < kPartnerToChara.size() ? kPartnerToChara[p] : 0;
  return chara == 0 ? 1 : chara;
}

void EventSetPartnerChara(int32_t c) {
  if (c < 0 || c >= static_cast<int32_t>(kCharaToPartner.size())) return;
  SlgSetMacroP(kPartnerVar, kCharaToPartner[static_cast<size_t>(c)]);
}

void EventMarkScriptedTarget(const SlgUnit& attacker, SlgUnit& target) {
  target.flags |= kUnitInDamageList;
  target.stats.attack_type = attacker.slot;
}

void EventAttackPrepare(SlgUnit* unit, SlgUnit* target, int32_t attack_type) {
  if (!Live(unit) || !Live(target)) return;
  SetActingMode(1);
  unit->stats.attack_type = static_cast<uint8_t>(attack_type);
  unit->stats.action_bytes[0] = target->slot;
  unit->stats.action_bytes[1] = 0;
  EventMarkScriptedTarget(*unit, *target);
  // The attack's end marks the units on the last range search's cells.
  Battle().search.range_count = 0;
  Slg::FreezeAllUnits();
}

void EventAttackStart(SlgUnit* unit, SlgUnit* target) {
  if (!Live(unit) || !Live(target)) return;
  SetUnitState(*unit, kStateAttackLeadIn);
  SetUnitState(*target, kStateHit);
}

void EventAttackFinish(SlgUnit* unit, SlgUnit* target) {
  if (!Live(unit) || !Live(target)) return;
  SetActingMode(0);
  Slg::MarkFlaggedUnits();
  target->flags &= ~kUnitInDamageList;
}

int EventMoveToward(SlgPair& point, const SlgPair& target, SlgPair& velocity,
                    const SlgPair* acceleration) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.move_phase == 0) {
    s.move_point = point;
    s.move_velocity = velocity;
    s.move_start = EffectNow();
    s.move_phase = 1;
    return 0;
  }
  SlgPair p = s.move_point;
  SlgPair v = s.move_velocity;
  const int32_t frames = EffectFrames(s.move_start);
  bool arrived = p.x == target.x && p.y == target.y;
  // Once both axes are on the target nothing changes any more: stop repeating there.
  for (int32_t i = 0; i < frames && !arrived; ++i) {
    if (acceleration != nullptr) {
      v.x = AddHeld(v.x, acceleration->x);
      v.y = AddHeld(v.y, acceleration->y);
    }
    p.x = MoveAxis(p.x, target.x, v.x);
    p.y = MoveAxis(p.y, target.y, v.y);
    arrived = p.x == target.x && p.y == target.y;
  }
  point = p;
  velocity = v;
  if (!arrived) return 0;
  s.move_phase = 0;
  return 1;
}

int EventNopKind(int32_t) { return 0; }
int EventNopData(uint32_t, int32_t) { return 0; }
int EventNopValue(int32_t) { return 0; }
int EventNop0() { return 0; }
int EventNopWrite(uint32_t, int32_t) { return 0; }
int EventNop(int32_t) { return 0; }
int EventNop1() { return 0; }
int EventNop2() { return 0; }
int EventNop3() { return 0; }
int EventNop4() { return 0; }
int EventNopLoad(const char*) { return 0; }
