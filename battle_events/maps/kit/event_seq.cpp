#include "battle_events/maps/kit/event_seq.h"

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_sound.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/runtime/event_tone.h"
#include "engine/core/debug_trace.h"

namespace EventSeq {

// EventStep holds the program counter and the few bits of state an op keeps between frames:
//   bits 0-11   the op running (the program counter);
//   bits 12-13  a pair's steps that have completed (cleared whenever the counter moves);
//   bits 16-23  the runs of a Repeat's body so far (kept while the body runs; one repeat at a
//               time, so they need no more room).
namespace {

constexpr int32_t kPcMask = 0xFFF;
constexpr int32_t kPairShift = 12;
constexpr int32_t kPairMask = 0x3 << kPairShift;
constexpr int32_t kRepeatShift = 16;
constexpr int32_t kRepeatMask = 0xFF << kRepeatShift;

int32_t Pc() { return EventStep() & kPcMask; }
// The counter moved to `pc`: a pair's bits go, a repeat's count stays.
void MoveTo(int32_t pc) { EventStep() = (EventStep() & kRepeatMask) | (pc & kPcMask); }

uint16_t RowId() {
  const SlgEventEntry* row = CurrentEvent();
  return row != nullptr ? row->id : 0;
}

// A program that cannot go on: traced with its row and op, and the event ended.
void Fail(const char* why, int32_t pc) {
  DebugPrint("EventSeq: event %u op %d: %s\n", RowId(), pc, why);
  EventEnd();
}

int32_t FindLabel(std::span<const Op> ops, int32_t label) {
  for (size_t n = 0; n < ops.size(); ++n) {
    if (ops[n].kind == OpKind::kLabel && ops[n].label == label) return static_cast<int32_t>(n);
  }
  return -1;
}

// Whether an answering object of the hold is deployed: a unit in use of one of its kinds, in
// deploy state 1 or 2 and not removed.
bool AnswererDeployed(const Op& op) {
  const SlgBattleState& state = Battle().state;
  for (uint32_t slot = 0; slot < state.unit_count && slot < state.units.size(); ++slot) {
    const SlgUnit& unit = state.units[slot];
    if (!SlgUnitLive(unit) || (unit.deploy_state != 1 && unit.deploy_state != 2)) continue;
    for (int16_t kind : op.kinds) {
      if (kind != 0 && unit.kind == kind) return true;
    }
  }
  return false;
}

bool HoldsKinds(const Op& op) {
  for (int16_t kind : op.kinds) {
    if (kind != 0) return true;
  }
  return false;
}

// 1 once the hold's signal has come, or none of its answering objects is deployed.
int RunHold(const Op& op) {
  bool signalled = false;
  if (op.word != nullptr) {
    signalled = op.word() == op.word_value;
  } else if (op.condition != nullptr) {
    signalled = CondEval(op.condition) != 0;
  } else if (op.predicate != nullptr) {
    signalled = op.predicate();
  }
  if (signalled) return 1;
  return HoldsKinds(op) && !AnswererDeployed(op) ? 1 : 0;
}

// A pair: each step that has not completed is called; 1 once both have.
int RunPair(const Op& op) {
  int32_t done = (EventStep() & kPairMask) >> kPairShift;
  if ((done & 1) == 0 && op.first.call(op.first) != 0) done |= 1;
  if ((done & 2) == 0 && op.second.call(op.second) != 0) done |= 2;
  EventStep() = (EventStep() & ~kPairMask) | (done << kPairShift);
  return done == 3 ? 1 : 0;
}

}  // namespace

void Run(std::span<const Op> ops) {
  if (EventStep() == 0) {
    const std::string_view fault = Fault(ops);
    if (!fault.empty()) {
      DebugPrint("EventSeq: event %u refused: %.*s\n", RowId(), static_cast<int>(fault.size()),
                 fault.data());
      EventEnd();
      return;
    }
  }
  // Ops that take no time may follow each other in one frame; more than this many in one frame
  // is a loop that never waits.
  const size_t budget = ops.size() * 4 + 16;
  bool completed = false;  // a blocking op completed this frame: the next one waits a frame
  for (size_t spent = 0; spent < budget; ++spent) {
    const int32_t pc = Pc();
    if (pc < 0 || static_cast<size_t>(pc) >= ops.size()) {
      Fail("the program counter is outside the program", pc);
      return;
    }
    const Op& op = ops[static_cast<size_t>(pc)];
    switch (op.kind) {
      case OpKind::kStep:
      case OpKind::kPair:
      case OpKind::kHold: {
        if (completed) return;
        int answer = 0;
        if (op.kind == OpKind::kStep) {
          answer = op.first.call(op.first);
        } else if (op.kind == OpKind::kPair) {
          answer = RunPair(op);
        } else {
          answer = RunHold(op);
        }
        if (answer == 0) return;
        MoveTo(pc + 1);
        completed = true;
        break;
      }
      case OpKind::kDo:
        op.run(op);
        MoveTo(pc + 1);
        break;
      case OpKind::kLabel:
        MoveTo(pc + 1);
        break;
      case OpKind::kGoto:
        MoveTo(FindLabel(ops, op.label));
        break;
      case OpKind::kBranch: {
        int32_t label = op.label;
        const int32_t result = EventChoiceResult();
        for (int c = 0; c < op.case_count; ++c) {
          if (op.cases[static_cast<size_t>(c)][0] == result) {
            label = op.cases[static_cast<size_t>(c)][1];
            break;
          }
        }
        MoveTo(FindLabel(ops, label));
        break;
      }
      case OpKind::kIf: {
        const bool taken =
            op.predicate != nullptr ? op.predicate() : CondEval(op.condition) != 0;
        MoveTo(taken ? FindLabel(ops, op.label) : pc + 1);
        break;
      }
      case OpKind::kRepeat: {
        const int32_t runs = ((EventStep() & kRepeatMask) >> kRepeatShift) + 1;
        if (runs < op.count) {
          EventStep() = (EventStep() & ~kRepeatMask) | (runs << kRepeatShift);
          MoveTo(FindLabel(ops, op.label));
        } else {
          EventStep() &= ~kRepeatMask;
          MoveTo(pc + 1);
        }
        break;
      }
      case OpKind::kEnd:
        EventEnd();
        return;
      case OpKind::kRefused:
        Fail("a pair of two steps of one kind", pc);
        return;
    }
  }
  Fail("a loop that never waits", Pc());
}

namespace detail {

void RefusedAtCompileTime() {}

int CallWait(const Step& s) { return EventWait(s.i[0]); }
int CallScroll(const Step& s) { return EventScroll(s.i[0], s.i[1], s.i[2]); }
int CallFocusUnit(const Step& s) { return EventFocusUnit(s.i[0], s.i[1]); }
int CallFocusActing(const Step&) { return EventFocusActing(); }
int CallMessage(const Step& s) { return EventMessage(s.i[0], s.i[1]); }
int CallMessageNoWait(const Step& s) { return EventMessageNoWait(s.i[0], s.i[1]); }
int CallMessageList(const Step& s) { return EventMessageList(s.list); }
int CallMessageIfPresent(const Step& s) {
  if (s.list.size() < 2) return 1;
  return EventMessageIfPresent(s.i[0], s.list.first<2>());
}
int CallTimedChoice(const Step& s) { return EventTimedChoice(s.i[0], s.i[1]); }
int CallTimedChoice0(const Step& s) { return EventTimedChoice0(s.i[0]); }
int CallFadeOut(const Step&) { return EventFadeOut(); }
int CallFadeIn(const Step&) { return EventFadeIn(); }
int CallWhiteOut(const Step&) { return EventWhiteOut(); }
int CallWhiteIn(const Step&) { return EventWhiteIn(); }
int CallWhiteFlash(const Step&) { return EventWhiteFlash(); }
int CallTurnPlayersTo(const Step& s) { return EventTurnPlayersTo(s.i[0], s.i[1]); }
int CallToneChange(const Step& s) { return EventToneChange(s.i[0], s.i[1], s.i[2]); }

RouteWork* WalkArea(const Step& s) {
  if (s.slot >= kSeqWalkAreas) return nullptr;  // EventWalk* ends at once on a null area
  return &Battle().Extension<EventSeqState>().walks[s.slot];
}
int CallWalkUnit(const Step& s) {
  return EventWalkUnit(WalkArea(s), s.i[0], s.i[1], s.i[2], s.i[3], s.i[4]);
}
int CallWalkKindNo(const Step& s) {
  return EventWalkKindNo(WalkArea(s), s.i[0], s.i[1], s.i[2], s.i[3], s.i[4]);
}
int CallCustom(const Step& s) { return s.fn != nullptr ? s.fn() : 1; }

void RunDo(const Op& op) {
  if (op.fn != nullptr) op.fn();
}
void RunDo1(const Op& op) {
  if (op.fn1 != nullptr) op.fn1(op.first.i[0]);
}
void RunDeployKind(const Op& op) { EventDeployKind(op.first.i[0]); }
void RunDeployKindNo(const Op& op) { EventDeployKindNo(op.first.i[0], op.first.i[1]); }
void RunDeployEntry(const Op& op) { EventDeployEntry(op.first.i[0]); }
void RunUndeployKind(const Op& op) { EventUndeployKind(op.first.i[0]); }
void RunRemoveKindNo(const Op& op) { EventRemoveKindNo(op.first.i[0], op.first.i[1]); }
void RunRemoveChara(const Op& op) { EventRemoveChara(op.first.i[0], op.first.i[1]); }
void RunSetFlag(const Op& op) { SetEventFlag(static_cast<uint32_t>(op.first.i[0])); }
void RunClearFlag(const Op& op) { ClearEventFlag(static_cast<uint32_t>(op.first.i[0])); }
void RunSe(const Op& op) { SlgSePlay(op.first.i[0]); }
void RunEventSe(const Op& op) { EventSePlay(op.first.i[0]); }
void RunBgm(const Op& op) { EventBgmPlay(op.first.i[0]); }
void RunStopBgm(const Op&) { EventStopBgm(); }
void RunFadeOutMusic(const Op&) { Eve::StartFadeOutMusic(); }
void RunSetP(const Op& op) { SlgSetMacroP(op.first.i[0], static_cast<uint16_t>(op.first.i[1])); }
void RunAddHeroineParam(const Op& op) { AddHeroineParam(op.first.i[0], op.first.i[1]); }
void RunStartGameWin(const Op&) { ::StartGameWin(); }
void RunSwitchStage(const Op& op) { Slg::SwitchStage(op.first.i[0]); }
void RunGameOver(const Op&) { RequestGameOver(); }

}  // namespace detail
}  // namespace EventSeq

void SeqRow(const SlgEventEntry& row) {
  const auto* args = static_cast<const SeqArgs*>(row.arg);
  if (args == nullptr) {
    DebugPrint("EventSeq: event %u has no program\n", row.id);
    EventEnd();
    return;
  }
  EventSeq::Run(args->ops);
}
