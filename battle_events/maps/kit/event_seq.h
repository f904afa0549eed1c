#pragma once
// EventSeq: a story handler written as a constant list of operations instead of a switch on
// EventStep. The interpreter runs the list once a frame; its program counter is EventStep (so the
// event check's "EventStep := 0 when an event starts" starts every program at its first op).
//
//   namespace S = EventSeq;
//   constexpr auto kArrival = TalkList({{11, 10000}, {74, 3068}});
//   constexpr S::Op kOpening[] = {
//       S::FadeIn(),
//       S::Messages(kArrival), S::Wait(30),
//       S::ScrollPx(160, 0, 2), S::Wait(30),
//       S::DeployKind(80), S::Se(259),          // immediate: on the last wait's last frame
//       S::Wait(60),
//       S::TimedChoice(10110, 120),
//       S::Branch({{1, 4}, {2, 5}}, 8),         // on EventChoiceResult; else label 8
//       S::Label(4), S::Messages(kYes), S::Goto(9),
//       S::Label(5), S::Messages(kNo), S::Goto(9),
//       S::Label(8), S::Messages(kLate),
//       S::Label(9), S::End(),
//   };
//   static_assert(S::Valid(kOpening));
//   constexpr SeqArgs kOpeningArgs{kOpening};
//   ... {.id = 9120, ..., .handler = &SeqRow, .arg = &kOpeningArgs},
//
// Kinds of op:
//   blocking   an event step (battle_events/event_steps.h and the steps beside it), called once a
//              frame with the same arguments until it answers non-zero; also a hold (below) and
//              a pair of steps;
//   immediate  deploys and removals, event flags, sound effects, music, script variables,
//              AddHeroineParam, the victory, a stage switch, any function;
//   control    Label, Goto, Branch (on EventChoiceResult, with a default label), If (on a
//              condition of the condition language, or a predicate), Repeat;
//   End        EventEnd.
//
// Timing rules (each numbered step of a map's script starts when the previous one completed):
//   - a blocking op that completes on frame F lets the next op start on frame F + 1;
//   - immediate and control ops run on the frame the op before them completed (the ones leading a
//     program on its first frame), so an SE after a wait plays on the wait's last frame;
//   - End is immediate: EventEnd on the frame the op before it completed. Every program holds
//     exactly one End, and its last op is End or a Goto (nothing runs off the list).
//
// A hold waits for a map's signal (a word its objects set, a condition, a predicate). It names the
// kinds of the objects that answer it: it also ends on a frame when none of them is deployed
// (deploy state 1 or 2, not removed), so a missing prop cannot hold a battle. With no kinds given
// only the signal ends it.
//
// A pair runs two steps side by side, each once a frame until it has completed (a step that has
// completed is not called again); the pair completes on the frame both have. Two steps of the same
// kind share one phase byte in the event runtime's state, so they cannot run together: such a
// pair does not compile where the program is constant (and one made at run time is refused at its
// first run). Walks share no phase (each has its work area, one of kSeqWalkAreas kept in the
// battle), so two walks pair when their areas differ.
//
// A broken program (see Fault) is refused on its first run: the row's id and the fault are traced
// and the event ends at once. So are a loop of ops that never reaches a blocking op in a frame and
// a program counter outside the list.
//
// Handlers that do not fit stay plain step machines on EventStep; both kinds mix in one map.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <type_traits>

#include "battle/battle_extension.h"
#include "battle_events/core/event_table.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/runtime/event_walks.h"

namespace EventSeq {

// What a step keeps its progress in (two steps of one kind cannot run at once).
enum class StepKind : uint8_t {
  kNone,
  kWait,
  kScroll,
  kFocus,         // EventFocusUnit and EventFocusActing
  kMessage,       // EventMessage, EventMessageNoWait
  kMessageList,
  kMessageIfPresent,
  kChoice,        // both timed choices
  kFade,          // the four screen fades
  kWhiteFlash,
  kTurn,          // EventTurnPlayersTo
  kTone,          // EventToneChange
  kWalk,          // its own work area (Step::slot): no shared phase
  kCustom,        // a map's own step; Step::slot names its phase (same slot: same phase)
};

enum class OpKind : uint8_t {
  kStep,     // blocking: `first`
  kPair,     // blocking: `first` and `second`
  kHold,     // blocking: until the signal, or no answering object deployed
  kDo,       // immediate
  kLabel,
  kGoto,
  kBranch,
  kIf,
  kRepeat,
  kEnd,
  kRefused,  // a pair made at run time of two steps that clash
};

struct Op;

// A step: the function that calls the event step with the op's arguments.
struct Step {
  int (*call)(const Step& step) = nullptr;
  StepKind kind = StepKind::kNone;
  uint8_t slot = 0;  // the walk's work area, a custom step's phase
  std::array<int32_t, 6> i{};
  std::span<const EventMessageRef> list{};
  int (*fn)() = nullptr;  // a custom step
};

// The most cases one Branch lists.
constexpr int kMaxBranchCases = 6;
// The most object kinds a hold names.
constexpr int kMaxHoldKinds = 4;

struct Op {
  OpKind kind = OpKind::kEnd;
  Step first{};
  Step second{};
  // Immediate ops: the function and its integer arguments (in first.i).
  void (*run)(const Op& op) = nullptr;
  void (*fn)() = nullptr;
  void (*fn1)(int32_t) = nullptr;
  // Control: the label (kLabel, kGoto, kIf's target, kRepeat's start, kBranch's default).
  int32_t label = 0;
  // kBranch: (choice result, label) pairs.
  std::array<std::array<int32_t, 2>, kMaxBranchCases> cases{};
  uint8_t case_count = 0;
  // kIf and kHold: a condition (true: taken / ended), or a predicate, or a signal word.
  const char* condition = nullptr;
  bool (*predicate)() = nullptr;
  int32_t& (*word)() = nullptr;
  int32_t word_value = 0;
  // kHold: the answering kinds (0 unused); kRepeat: the number of runs of its body.
  std::array<int16_t, kMaxHoldKinds> kinds{};
  int32_t count = 0;
};

// The argument block of SeqRow.
struct ProgramArgs {
  std::span<const Op> ops{};
};

// Whether two steps clash (the same phase byte).
constexpr bool Clash(const Step& a, const Step& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == StepKind::kWalk || a.kind == StepKind::kCustom) return a.slot == b.slot;
  return true;
}

// Why a program cannot run ("" when it can). Constant programs are checked with static_assert
// (Valid); a missing function is found only at run time (the compiler cannot compare a function's
// address with null in a constant expression).
constexpr std::string_view Fault(std::span<const Op> ops) {
  const bool at_run_time = !std::is_constant_evaluated();
  if (ops.empty()) return "an empty program";
  if (ops.size() > 0xFFF) return "more than 4095 ops";
  int ends = 0;
  for (size_t n = 0; n < ops.size(); ++n) {
    const Op& op = ops[n];
    switch (op.kind) {
      case OpKind::kEnd: ++ends; break;
      case OpKind::kRefused: return "a pair of two steps of one kind";
      case OpKind::kStep:
        if (at_run_time && op.first.call == nullptr) return "a step without its function";
        break;
      case OpKind::kPair:
        if (at_run_time && (op.first.call == nullptr || op.second.call == nullptr)) {
          return "a step without its function";
        }
        if (Clash(op.first, op.second)) return "a pair of two steps of one kind";
        break;
      case OpKind::kDo:
        if (at_run_time && op.run == nullptr) return "an operation without its function";
        break;
      case OpKind::kLabel:
        for (size_t m = n + 1; m < ops.size(); ++m) {
          if (ops[m].kind == OpKind::kLabel && ops[m].label == op.label) return "a label twice";
        }
        break;
      default: break;
    }
    auto has_label = [&](int32_t label) {
      for (const Op& other : ops) {
        if (other.kind == OpKind::kLabel && other.label == label) return true;
      }
      return false;
    };
    if (op.kind == OpKind::kGoto || op.kind == OpKind::kIf || op.kind == OpKind::kRepeat ||
        op.kind == OpKind::kBranch) {
      if (!has_label(op.label)) return "a jump to a missing label";
    }
    if (op.kind == OpKind::kBranch) {
      for (int c = 0; c < op.case_count; ++c) {
        if (!has_label(op.cases[static_cast<size_t>(c)][1])) return "a jump to a missing label";
      }
    }
    if (op.kind == OpKind::kRepeat && (op.count < 1 || op.count > 255)) {
      return "a repeat count outside 1-255";
    }
    if (at_run_time && op.kind == OpKind::kHold && op.condition == nullptr &&
        op.predicate == nullptr && op.word == nullptr) {
      return "a hold without its signal";
    }
  }
  if (ends != 1) return ends == 0 ? "no End" : "more than one End";
  const OpKind last = ops.back().kind;
  if (last != OpKind::kEnd && last != OpKind::kGoto) return "ops after the last End or Goto";
  return "";
}
constexpr bool Valid(std::span<const Op> ops) { return Fault(ops).empty(); }

// One frame of the program (the caller is the row's handler; it reads and writes EventStep).
void Run(std::span<const Op> ops);

// ---- Blocking ops: the event steps ----
namespace detail {
int CallWait(const Step& s);
int CallScroll(const Step& s);
int CallFocusUnit(const Step& s);
int CallFocusActing(const Step& s);
int CallMessage(const Step& s);
int CallMessageNoWait(const Step& s);
int CallMessageList(const Step& s);
int CallMessageIfPresent(const Step& s);
int CallTimedChoice(const Step& s);
int CallTimedChoice0(const Step& s);
int CallFadeOut(const Step& s);
int CallFadeIn(const Step& s);
int CallWhiteOut(const Step& s);
int CallWhiteIn(const Step& s);
int CallWhiteFlash(const Step& s);
int CallTurnPlayersTo(const Step& s);
int CallToneChange(const Step& s);
int CallWalkUnit(const Step& s);
int CallWalkKindNo(const Step& s);
int CallCustom(const Step& s);

void RunDo(const Op& op);
void RunDo1(const Op& op);
void RunDeployKind(const Op& op);
void RunDeployKindNo(const Op& op);
void RunDeployEntry(const Op& op);
void RunUndeployKind(const Op& op);
void RunRemoveKindNo(const Op& op);
void RunRemoveChara(const Op& op);
void RunSetFlag(const Op& op);
void RunClearFlag(const Op& op);
void RunSe(const Op& op);
void RunEventSe(const Op& op);
void RunBgm(const Op& op);
void RunStopBgm(const Op& op);
void RunFadeOutMusic(const Op& op);
void RunSetP(const Op& op);
void RunAddHeroineParam(const Op& op);
void RunStartGameWin(const Op& op);
void RunSwitchStage(const Op& op);
void RunGameOver(const Op& op);

constexpr Op StepOp(int (*call)(const Step&), StepKind kind, std::array<int32_t, 6> i = {},
                    std::span<const EventMessageRef> list = {}, uint8_t slot = 0) {
  Op op;
  op.kind = OpKind::kStep;
  op.first = Step{call, kind, slot, i, list, nullptr};
  return op;
}
constexpr Op DoOp(void (*run)(const Op&), std::array<int32_t, 6> i = {}) {
  Op op;
  op.kind = OpKind::kDo;
  op.run = run;
  op.first.i = i;
  return op;
}
// Reached only in a constant evaluation of an op that cannot be (a pair that clashes, too many
// branch cases or hold kinds): the program does not compile.
void RefusedAtCompileTime();
}  // namespace detail

constexpr Op Wait(int32_t frames) { return detail::StepOp(&detail::CallWait, StepKind::kWait, {frames}); }
// EventScroll with 16.16 values, and the same with whole pixels.
constexpr Op Scroll(int32_t x, int32_t y, int32_t speed) {
  return detail::StepOp(&detail::CallScroll, StepKind::kScroll, {x, y, speed});
}
constexpr Op ScrollPx(int32_t x, int32_t y, int32_t speed) {
  return Scroll(x * 65536, y * 65536, speed * 65536);
}
constexpr Op FocusUnit(int32_t group, int32_t character) {
  return detail::StepOp(&detail::CallFocusUnit, StepKind::kFocus, {group, character});
}
constexpr Op FocusActing() { return detail::StepOp(&detail::CallFocusActing, StepKind::kFocus); }
constexpr Op Message(int32_t face, int32_t message) {
  return detail::StepOp(&detail::CallMessage, StepKind::kMessage, {face, message});
}
constexpr Op MessageNoWait(int32_t face, int32_t message) {
  return detail::StepOp(&detail::CallMessageNoWait, StepKind::kMessage, {face, message});
}
// A message list (write it with TalkList, battle_events/maps/kit/event_rows.h).
constexpr Op Messages(std::span<const EventMessageRef> list) {
  return detail::StepOp(&detail::CallMessageList, StepKind::kMessageList, {}, list);
}
// EventMessageIfPresent: refs[0] when the character is on the map, else refs[1].
constexpr Op MessageIfPresent(int32_t character, std::span<const EventMessageRef, 2> refs) {
  return detail::StepOp(&detail::CallMessageIfPresent, StepKind::kMessageIfPresent, {character},
                        refs);
}
// EventTimedChoice (limit in frames) and the one without a limit; Branch reads the answer.
constexpr Op TimedChoice(int32_t message, int32_t limit) {
  return detail::StepOp(&detail::CallTimedChoice, StepKind::kChoice, {message, limit});
}
constexpr Op TimedChoice0(int32_t message) {
  return detail::StepOp(&detail::CallTimedChoice0, StepKind::kChoice, {message});
}
constexpr Op FadeOut() { return detail::StepOp(&detail::CallFadeOut, StepKind::kFade); }
constexpr Op FadeIn() { return detail::StepOp(&detail::CallFadeIn, StepKind::kFade); }
constexpr Op WhiteOut() { return detail::StepOp(&detail::CallWhiteOut, StepKind::kFade); }
constexpr Op WhiteIn() { return detail::StepOp(&detail::CallWhiteIn, StepKind::kFade); }
constexpr Op WhiteFlash() { return detail::StepOp(&detail::CallWhiteFlash, StepKind::kWhiteFlash); }
constexpr Op TurnPlayersTo(int32_t x, int32_t y) {
  return detail::StepOp(&detail::CallTurnPlayersTo, StepKind::kTurn, {x, y});
}
constexpr Op ToneChange(int32_t from, int32_t to, int32_t period) {
  return detail::StepOp(&detail::CallToneChange, StepKind::kTone, {from, to, period});
}
// The walks (battle_events/runtime/event_walks.h) on work area `area` (0 .. kSeqWalkAreas - 1).
constexpr Op WalkUnit(uint8_t area, int32_t group, int32_t character, int32_t x, int32_t y,
                      int32_t speed) {
  return detail::StepOp(&detail::CallWalkUnit, StepKind::kWalk, {group, character, x, y, speed},
                        {}, area);
}
constexpr Op WalkKindNo(uint8_t area, int32_t kind, int32_t number, int32_t x, int32_t y,
                        int32_t speed) {
  return detail::StepOp(&detail::CallWalkKindNo, StepKind::kWalk, {kind, number, x, y, speed}, {},
                        area);
}
// A map's own step (0 while busy); steps with the same `phase` share their progress.
constexpr Op Custom(int (*step)(), uint8_t phase = 0) {
  Op op = detail::StepOp(&detail::CallCustom, StepKind::kCustom, {}, {}, phase);
  op.first.fn = step;
  return op;
}

// Two steps side by side (see the head of this file).
constexpr Op Pair(const Op& a, const Op& b) {
  Op op;
  op.kind = OpKind::kPair;
  op.first = a.first;
  op.second = b.first;
  if (a.kind != OpKind::kStep || b.kind != OpKind::kStep || Clash(a.first, b.first)) {
    if (std::is_constant_evaluated()) detail::RefusedAtCompileTime();
    op.kind = OpKind::kRefused;
  }
  return op;
}

// ---- Immediate ops ----
constexpr Op Do(void (*fn)()) {
  Op op = detail::DoOp(&detail::RunDo);
  op.fn = fn;
  return op;
}
constexpr Op Do(void (*fn)(int32_t), int32_t arg) {
  Op op = detail::DoOp(&detail::RunDo1, {arg});
  op.fn1 = fn;
  return op;
}
constexpr Op DeployKind(int32_t kind) { return detail::DoOp(&detail::RunDeployKind, {kind}); }
constexpr Op DeployKindNo(int32_t kind, int32_t character) {
  return detail::DoOp(&detail::RunDeployKindNo, {kind, character});
}
constexpr Op DeployEntry(int32_t n) { return detail::DoOp(&detail::RunDeployEntry, {n}); }
constexpr Op UndeployKind(int32_t kind) { return detail::DoOp(&detail::RunUndeployKind, {kind}); }
constexpr Op RemoveKindNo(int32_t kind, int32_t number) {
  return detail::DoOp(&detail::RunRemoveKindNo, {kind, number});
}
constexpr Op RemoveChara(int32_t group, int32_t character) {
  return detail::DoOp(&detail::RunRemoveChara, {group, character});
}
constexpr Op SetFlag(int32_t n) { return detail::DoOp(&detail::RunSetFlag, {n}); }
constexpr Op ClearFlag(int32_t n) { return detail::DoOp(&detail::RunClearFlag, {n}); }
// SlgSePlay(n) and EventSePlay(n).
constexpr Op Se(int32_t n) { return detail::DoOp(&detail::RunSe, {n}); }
constexpr Op EventSe(int32_t n) { return detail::DoOp(&detail::RunEventSe, {n}); }
// Battle music n (EventBgmPlay), the music stopped, the music fade task.
constexpr Op Bgm(int32_t n) { return detail::DoOp(&detail::RunBgm, {n}); }
constexpr Op StopBgm() { return detail::DoOp(&detail::RunStopBgm); }
constexpr Op FadeOutMusic() { return detail::DoOp(&detail::RunFadeOutMusic); }
// P[n] := value (SlgSetMacroP).
constexpr Op SetP(int32_t n, int32_t value) { return detail::DoOp(&detail::RunSetP, {n, value}); }
constexpr Op AddHeroineParam(int32_t heroine, int32_t delta) {
  return detail::DoOp(&detail::RunAddHeroineParam, {heroine, delta});
}
// The events' victory (StartGameWin), Slg::SwitchStage(map), the events' defeat.
constexpr Op StartGameWin() { return detail::DoOp(&detail::RunStartGameWin); }
constexpr Op SwitchStage(int32_t map) { return detail::DoOp(&detail::RunSwitchStage, {map}); }
constexpr Op RequestGameOver() { return detail::DoOp(&detail::RunGameOver); }

// ---- Control ----
constexpr Op Label(int32_t label) {
  Op op;
  op.kind = OpKind::kLabel;
  op.label = label;
  return op;
}
constexpr Op Goto(int32_t label) {
  Op op;
  op.kind = OpKind::kGoto;
  op.label = label;
  return op;
}
// On EventChoiceResult: the label of the first case whose value it is, else `otherwise`.
struct Case {
  int32_t result;
  int32_t label;
};
constexpr Op Branch(std::initializer_list<Case> cases, int32_t otherwise) {
  Op op;
  op.kind = OpKind::kBranch;
  op.label = otherwise;
  for (const Case& c : cases) {
    if (op.case_count == kMaxBranchCases) {
      if (std::is_constant_evaluated()) detail::RefusedAtCompileTime();
      break;
    }
    op.cases[op.case_count++] = {c.result, c.label};
  }
  return op;
}
// To `label` when the condition (the condition language) is non-zero, else on.
constexpr Op If(const char* condition, int32_t label) {
  Op op;
  op.kind = OpKind::kIf;
  op.condition = condition;
  op.label = label;
  return op;
}
constexpr Op If(bool (*predicate)(), int32_t label) {
  Op op;
  op.kind = OpKind::kIf;
  op.predicate = predicate;
  op.label = label;
  return op;
}
// The body from Label(label) up to here runs `count` times in all (1-255); repeats do not nest.
constexpr Op Repeat(int32_t count, int32_t label) {
  Op op;
  op.kind = OpKind::kRepeat;
  op.count = count;
  op.label = label;
  return op;
}

// Holds until the signal; `kinds` answer it (see the head of this file).
constexpr Op HoldKinds(Op op, std::initializer_list<int16_t> kinds) {
  op.kind = OpKind::kHold;
  size_t n = 0;
  for (int16_t k : kinds) {
    if (n == op.kinds.size()) {
      if (std::is_constant_evaluated()) detail::RefusedAtCompileTime();
      break;
    }
    op.kinds[n++] = k;
  }
  return op;
}
// Until word() == value.
constexpr Op HoldUntil(int32_t& (*word)(), int32_t value, std::initializer_list<int16_t> kinds) {
  Op op;
  op.word = word;
  op.word_value = value;
  return HoldKinds(op, kinds);
}
// Until the condition is non-zero.
constexpr Op HoldUntil(const char* condition, std::initializer_list<int16_t> kinds) {
  Op op;
  op.condition = condition;
  return HoldKinds(op, kinds);
}
// Until the predicate holds.
constexpr Op HoldUntil(bool (*predicate)(), std::initializer_list<int16_t> kinds) {
  Op op;
  op.predicate = predicate;
  return HoldKinds(op, kinds);
}

constexpr Op End() { return Op{}; }

}  // namespace EventSeq

using SeqArgs = EventSeq::ProgramArgs;

// The row adapter of a step sequence: runs the program of the row's SeqArgs.
void SeqRow(const SlgEventEntry& row);

// The walks' work areas of the sequences, made afresh for each stage.
constexpr int kSeqWalkAreas = 4;
struct EventSeqState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  std::array<RouteWork, kSeqWalkAreas> walks{};
};
