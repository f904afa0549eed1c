#pragma once
// Scenes of the maps with a commander (an enemy unit that talks to the party when it acts), each
// written once with the numbers a map gives it:
//
//   commander's menu   an ADV menu of up to three levels of timed choices, each line leading to
//                      an answer (its lines, a story flag and for a heroine her +5 with SE 20) or
//                      to the next level: a step sequence built from a description
//                      (CommanderMenuOps)
//   reaction lines     the highest set flag of a run of request flags cleared and its line shown;
//                      the row runs again while any remains set (ReactionRow)
//   bombardment        the scroll held while a shell's animation plays (ScrollWhileKindPlays), a
//                      volley of objects one every few frames (VolleyStep), the fixed sprite
//                      exchanged (ExchangeFixedSprite), cells opened (OpenCells)
//   victory wait       the flag the boss's exit sets, then the enemy group's units on screen fall
//                      and the others leave (FellGroupWhenFlag); the group gone or a frame limit
//                      (WaitGroupGone); the camera drawn after a walking unit (FollowUnit)
//   mechanism objects  the falling parts, the growing mechanism and the decoration that share
//                      the words below with the script that drives them
//
// The words live in a stage extension, so they are zero when a map's events are installed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "battle/battle_extension.h"
#include "battle/slg_geometry.h"
#include "battle_events/core/event_table.h"
#include "battle_events/event_messages.h"
#include "battle_events/maps/kit/event_seq.h"

struct SlgEffectTask;
struct SlgUnit;

struct CommanderSceneWords {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The mechanism's stage byte: 1 grow, 2 grown, 3 shrink, 4 shrunk. The drop signal: 1 the
  // parts fall, 0 again once one has landed.
  int32_t mechanism = 0;
  int32_t drop = 0;
  // The fixed sprite a map's opening adds and its bombardment exchanges.
  SlgEffectTask* fixed_sprite = nullptr;
  uint32_t fixed_sprite_anm = 0;
  // The volley: the objects shown so far and the frames since the last.
  int32_t volley = 0;
  int32_t volley_frames = 0;
  // WaitGroupGone's frames (-1: not started).
  int32_t group_wait = -1;
};
CommanderSceneWords& CommanderScenes();

// ---- The commander's menu ----

// What an answer does: its first lines, then its flag (and for a heroine AddHeroineParam(+5)
// and SE 20), then its second lines. An empty span shows nothing.
struct CommanderAnswer {
  std::span<const EventMessageRef> first{};
  int16_t flag = 0;
  int8_t heroine = 0;  // 0: none
  std::span<const EventMessageRef> second{};
};

constexpr int kCommanderLevels = 3;
constexpr int kCommanderAnswers = 8;
// A line's target: the next level.
constexpr int8_t kCommanderNextLevel = -1;

struct CommanderMenuDesc {
  // The camera's target (pixels) and speed (pixels a frame) before the talk.
  SlgPoint scroll{};
  int32_t scroll_speed = 0;
  std::span<const EventMessageRef> intro{};
  // Each level's choice message (0: the level is not used) and the limit of all (frames).
  std::array<int32_t, kCommanderLevels> choices{};
  int32_t limit = 0;
  // Each level's lines 1-3: the answer's index, or kCommanderNextLevel. A result without a line
  // (a time-out, a cancel) takes `none`.
  std::array<std::array<int8_t, 3>, kCommanderLevels> lines{};
  std::array<CommanderAnswer, kCommanderAnswers> answers{};
  int8_t none = 0;
};

namespace commander_detail {
constexpr int32_t kLevelLabel = 100;
constexpr int32_t kAnswerLabel = 200;
constexpr int32_t kEndLabel = 999;
constexpr int kSe = 20;
constexpr int kTrust = 5;

constexpr size_t AnswerOps(const CommanderAnswer& a) {
  // Label, lines, flag, trust and SE, lines, Goto.
  return 1 + (a.first.empty() ? 0 : 1) + (a.flag != 0 ? 1 : 0) + (a.heroine != 0 ? 2 : 0) +
         (a.second.empty() ? 0 : 1) + 1;
}
constexpr int Levels(const CommanderMenuDesc& d) {
  int n = 0;
  while (n < kCommanderLevels && d.choices[static_cast<size_t>(n)] != 0) ++n;
  return n;
}
constexpr size_t OpCount(const CommanderMenuDesc& d) {
  // Scroll, intro, ready; per level label, choice, branch; the answers; end label and End.
  size_t n = 3 + 3 * static_cast<size_t>(Levels(d)) + 2;
  for (const CommanderAnswer& a : d.answers) {
    if (!a.first.empty() || a.flag != 0 || !a.second.empty()) n += AnswerOps(a);
  }
  return n;
}
int Ready();
}  // namespace commander_detail

// The menu's step sequence (run it with SeqRow); D a constant of static storage.
template <const CommanderMenuDesc& D>
consteval std::array<EventSeq::Op, commander_detail::OpCount(D)> CommanderMenuOps() {
  namespace S = EventSeq;
  using namespace commander_detail;
  std::array<S::Op, OpCount(D)> ops{};
  size_t at = 0;
  auto used = [](const CommanderAnswer& a) {
    return !a.first.empty() || a.flag != 0 || !a.second.empty();
  };
  ops[at++] = S::ScrollPx(D.scroll.x, D.scroll.y, D.scroll_speed);
  ops[at++] = S::Messages(D.intro);
  ops[at++] = S::Custom(&commander_detail::Ready);
  const int levels = Levels(D);
  for (int level = 0; level < levels; ++level) {
    ops[at++] = S::Label(kLevelLabel + level);
    ops[at++] = S::TimedChoice(D.choices[static_cast<size_t>(level)], D.limit);
    S::Op branch = S::Branch({}, kAnswerLabel + D.none);
    for (int line = 0; line < 3; ++line) {
      const int8_t to = D.lines[static_cast<size_t>(level)][static_cast<size_t>(line)];
      if (to == kCommanderNextLevel && level + 1 >= levels) continue;
      if (to != kCommanderNextLevel && !used(D.answers[static_cast<size_t>(to)])) continue;
      branch.cases[branch.case_count++] = {
          line + 1, to == kCommanderNextLevel ? kLevelLabel + level + 1 : kAnswerLabel + to};
    }
    ops[at++] = branch;
  }
  for (size_t i = 0; i < D.answers.size(); ++i) {
    const CommanderAnswer& a = D.answers[i];
    if (!used(a)) continue;
    ops[at++] = S::Label(kAnswerLabel + static_cast<int32_t>(i));
    if (!a.first.empty()) ops[at++] = S::Messages(a.first);
    if (a.flag != 0) ops[at++] = S::SetFlag(a.flag);
    if (a.heroine != 0) {
      ops[at++] = S::AddHeroineParam(a.heroine, kTrust);
      ops[at++] = S::Se(kSe);
    }
    if (!a.second.empty()) ops[at++] = S::Messages(a.second);
    ops[at++] = S::Goto(kEndLabel);
  }
  ops[at++] = S::Label(kEndLabel);
  ops[at++] = S::End();
  return ops;
}

// ---- The reaction lines ----

constexpr int kReactionLines = 7;
// The request flags first_flag .. first_flag + 6 and the line of each.
struct ReactionArgs {
  int16_t first_flag = 0;
  std::array<EventMessageRef, kReactionLines> lines{};
};
// The row adapter (arg: ReactionArgs): the highest set request flag is cleared and its line
// shown; with none set (the row's condition named a flag outside the run) the event ends at once.
void ReactionRow(const SlgEventEntry& row);

// ---- The bombardment ----

// Each frame: EventScroll(x, y, speed) in pixels and bit 0x20 of the battle flag word cleared
// (the fixed sprites shown); 1 once the first deployed object of `kind` has ended its animation
// or none is deployed.
int ScrollWhileKindPlays(int32_t x, int32_t y, int32_t speed, int32_t kind);

struct VolleyDesc {
  int32_t first_kind = 0;  // the objects first_kind .. first_kind + count - 1, in turn
  int32_t count = 5;
  int32_t interval = 8;  // frames before each
  int32_t se = 135;
};
// One frame of the volley: every `interval` frames the SE and the next object; 1 on the frame
// of the last, the counters back at 0 for the next volley.
int VolleyStep(const VolleyDesc& desc);

// The fixed sprite of animation `anm_id` at map pixel (x, y), kept in the words (the opening's).
void AddFixedSprite(uint32_t anm_id, int32_t x, int32_t y);
// The kept fixed sprite removed and one of `anm_id` added at (x, y) in its place.
void ExchangeFixedSprite(uint32_t anm_id, int32_t x, int32_t y);

// The blocking bits of a cell: impassable (0x400) and the 0x800 and 0x1000 marks.
constexpr uint32_t kBlockedCellBits = 0x1C00;
// The cells of the map pixels lose kBlockedCellBits in both cell grids (the search grid the move
// and range searches read and the placement grid the walks and the cursor read).
void OpenCells(std::span<const SlgPoint> cells);

// ---- The victory ----

// 0 until the flag is set. Then every live unit of the group whose drawing position is in the
// view area gets state 15 (its fall), every other one is taken off the map (EventRemoveUnit),
// Slg::PurgeDeadUnits, and 1.
int FellGroupWhenFlag(int32_t flag, int32_t group);
// 1 once no unit of the group is left (NG) or `limit` frames have passed since the first call.
int WaitGroupGone(int32_t group, int32_t limit);

// The camera drawn toward a unit: its target the unit's position minus `offset`, clamped to
// `box` (the view's top-left, pixels), a sixteenth of the remaining distance a frame, set at
// once (Slg::ScrollJumpTo). Nothing for a missing unit.
void FollowUnit(const SlgUnit* unit, SlgPoint offset, const SlgRect& box);

// ---- The mechanism's objects ----

// A falling part: holds until the drop signal, then falls (0.25 pixels a frame, gaining
// 128/65536 a frame up to 0.5); below `floor_y` it is released and clears the signal.
int FallingPartAt(SlgUnit& unit, SlgPair& position, int32_t floor_y);
template <int32_t FloorY>
int FallingPart(SlgUnit& unit, SlgPair& position) {
  return FallingPartAt(unit, position, FloorY);
}
// The growing mechanism: grows from 1/256 on stage byte 1 (then 2), shrinks on 3 (then 4).
int GrowingMechanism(SlgUnit& unit, SlgPair& position);
// Pattern 2 looping, depth from its position minus 1, shade-mode word 3.
int MechanismDecoration(SlgUnit& unit, SlgPair& position);
