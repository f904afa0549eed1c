#include "battle_events/runtime/generic_scenes.h"

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_steps.h"
#include "flow/tamvik_general.h"

namespace {

// The sound effects of a heroine's fall (her trust lost) and of a remark that raised it.
constexpr int kFallSe = 21;
constexpr int kTrustUpSe = 20;
// Every talk waits this many frames before its message.
constexpr int kTalkDelay = 30;
// The mode manager's staff roll: a unit's talk waits while the manager is in it.
constexpr int kStaffRollMode = 16;
// The trust levels of the fall scene's and the character talk's lines.
constexpr int kFallTrustHigh = 10;
constexpr int kFallTrustMid = 6;
constexpr int kTalkTrustHigh = 25;
constexpr int kTalkTrustLow = 5;

// One of two lines at random: bit 16 of the battle's generator.
int RandomBit() { return (SlgRand() >> 16) & 1; }

// The live record a unit reference names; null for 65535, a slot at or beyond the unit count
// (stale after a removal) or a removed unit (step 255).
SlgUnit* ReferencedUnit(uint16_t slot) {
  if (!SlgSlotInUse(slot)) return nullptr;
  SlgUnit& unit = Battle().state.units[slot];
  return SlgUnitLive(unit) ? &unit : nullptr;
}

int FallLine(int32_t trust) {
  if (trust >= kFallTrustHigh) return 0;
  return trust >= kFallTrustMid ? 1 : 2;
}

int TalkLine(const SlgUnit& unit, int32_t trust) {
  if (unit.stats.life * 5 <= unit.stats.max_life) return 0;
  if (trust >= kTalkTrustHigh) return 1;
  if (trust > kTalkTrustLow) return 3 + RandomBit();
  return 2;
}

int ShowRef(const EventMessageRef& ref) { return EventMessageNoWait(ref.face, ref.message); }

// A message list, after the talks' wait when `wait_first`, then EventEnd.
void TalkList(std::span<const EventMessageRef> list, bool wait_first) {
  int32_t& step = EventStep();
  switch (step) {
    case 0:
      step = wait_first ? 1 : 2;
      return;
    case 1:
      if (EventWait(kTalkDelay) != 0) step = 2;
      return;
    case 2:
      if (EventMessageList(list) != 0) step = 3;
      return;
    default:
      EventEnd();
      return;
  }
}

}  // namespace

void EventUnitDownScene(const SlgEventEntry& /*row*/, int32_t character,
                        std::span<const EventMessageRef, 3> refs) {
  int32_t& step = EventStep();
  SlgEventRuntimeState& s = EventRuntimeState();
  switch (step) {
    case 0:
      if (UnitAbsent(0, character) != 0) {
        s.talk_line = static_cast<int8_t>(FallLine(GetTrustVar(character)));
        step = 1;
      } else {
        step = 2;
      }
      return;
    case 1: {
      const EventMessageRef& ref = refs[static_cast<size_t>(s.talk_line)];
      if (EventMessage(ref.face, ref.message) != 0) step = 2;
      return;
    }
    default:
      AddHeroineParam(character, -10);
      SlgSePlay(kFallSe);
      EventEnd();
      return;
  }
}

void EventRefUnitTalk(const SlgEventEntry& /*row*/, int face, int message) {
  int32_t& step = EventStep();
  BattleContext& battle = Battle();
  switch (step) {
    case 0: {
      const SlgUnit* unit = ReferencedUnit(battle.event_unit_ref[0]);
      if (unit == nullptr) {
        // No unit, or it went while the handler waited: the event ends with its words as a
        // finished talk leaves them.
        battle.event_busy = 1;
        step = 3;
        return;
      }
      // The battle runs on (its main task, turn control) while the unit finishes its action.
      battle.event_busy = 0;
      if ((unit->state == 0 || unit->state == 8) && CTamvikGeneral::GetMode() != kStaffRollMode) {
        battle.event_busy = 1;
        step = 1;
      }
      return;
    }
    case 1:
      if (EventWait(kTalkDelay) != 0) step = 2;
      return;
    case 2:
      if (EventMessageNoWait(face, message) != 0) step = 3;
      return;
    default:
      battle.event_unit_ref[0] = kSlgNoUnit;
      EventEnd();
      return;
  }
}

int32_t HeroineOfFace(int face) {
  if (face < 64) return 1;
  if (face <= 90) return 2;
  if (face <= 117) return 3;
  if (face <= 144) return 6;
  if (face <= 162) return 4;
  if (face <= 216) return 5;
  return 0;
}

void EventRefUnitTalk2(const SlgEventEntry& /*row*/, int face, int message) {
  int32_t& step = EventStep();
  switch (step) {
    case 0:
      step = 1;
      return;
    case 1:
      if (EventWait(kTalkDelay) != 0) step = 2;
      return;
    case 2:
      if (EventMessageNoWait(face, message) != 0) step = 3;
      return;
    default:
      if (const int32_t heroine = HeroineOfFace(face); heroine != 0) {
        AddHeroineParam(heroine, 1);
        SlgSePlay(kTrustUpSe);
      }
      Battle().event_unit_ref[1] = kSlgNoUnit;
      EventEnd();
      return;
  }
}

int EventCharTalkPick(int32_t character, std::span<const EventMessageRef, 5> refs) {
  SlgEventRuntimeState& s = EventRuntimeState();
  switch (s.talk_pick_phase) {
    case 0: {
      const SlgUnit* unit = FindUnitByGroupKind(0, character);
      if (unit == nullptr || !SlgUnitLive(*unit)) return 1;
      s.talk_line = static_cast<int8_t>(TalkLine(*unit, GetTrustVar(character)));
      s.talk_pick_phase = 1;
      return 0;
    }
    case 1:
      if (EventFocusUnit(0, character) != 0) s.talk_pick_phase = 2;
      return 0;
    case 2:
      if (EventWait(kTalkDelay) != 0) s.talk_pick_phase = 3;
      return 0;
    default:
      if (ShowRef(refs[static_cast<size_t>(s.talk_line)]) == 0) return 0;
      s.talk_pick_phase = 0;
      return 1;
  }
}

void EventCharTalk(const SlgEventEntry& /*row*/, int32_t character,
                   std::span<const EventMessageRef, 5> refs) {
  int32_t& step = EventStep();
  if (step == 0) {
    EventRuntimeState().talk_pick_phase = 0;
    step = 1;
  }
  if (step == 1) {
    if (EventCharTalkPick(character, refs) != 0) step = 2;
    return;
  }
  EventEnd();
}

void EventFavouriteTalk(const SlgEventEntry& /*row*/, std::span<const EventMessageRef, 14> refs) {
  int32_t& step = EventStep();
  SlgEventRuntimeState& s = EventRuntimeState();
  switch (step) {
    case 0: {
      const int32_t c = GetTopTrustHeroine();
      if (c != 0 && UnitAbsent(0, c) == 0) {
        s.talk_line = static_cast<int8_t>(c * 2 + RandomBit());
        step = 1;
      } else {
        step = 4;
      }
      return;
    }
    case 1:
      if (EventFocusUnit(0, 0) != 0) step = 2;
      return;
    case 2:
      if (EventWait(kTalkDelay) != 0) step = 3;
      return;
    case 3:
      if (ShowRef(refs[static_cast<size_t>(s.talk_line)]) != 0) step = 4;
      return;
    default:
      EventEnd();
      return;
  }
}

void EventTalkList(const SlgEventEntry& /*row*/, std::span<const EventMessageRef> list) {
  TalkList(list, false);
}

void EventWaitTalkList(const SlgEventEntry& /*row*/, std::span<const EventMessageRef> list) {
  TalkList(list, true);
}
