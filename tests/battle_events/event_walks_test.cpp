// The scripted moves of the event runtime on the battle rig with the core's unit states running
// (the unit pass by hand each frame): walks along searched routes (several at once, refusals,
// missing units and work areas), the teleporting heroine's jump, turning the party, and a
// scripted action through the attack frame with a stub routine.

#include "battle_events/runtime/event_walks.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_damage.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/events_install.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/unit_sets.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::CellPos;
using testsupport::CellWord;
using testsupport::OnCell;

constexpr int32_t kPx = 0x10000;

SlgRangePos Step(SlgRangePos p, int d) {
  constexpr int kDx[4] = {48, 48, -48, -48};
  constexpr int kDy[4] = {-24, 24, 24, -24};
  return {static_cast<int16_t>(p.x + kDx[d]), static_cast<int16_t>(p.y + kDy[d])};
}

uint16_t UnitAt(SlgRangePos p) {
  int index = 0;
  EXPECT_TRUE(SlgSearchCellIndex(p.x, p.y, &index));
  return GetUnitAtCell(index % kSlgGridColumns, index / kSlgGridColumns);
}

// The battle events installed, the unit sets of kinds 0, 4 (with the teleport pair) and 14, the
// system sprites and the drawing layer on a rig; each frame runs the unit pass by hand.
class MoveRig {
 public:
  MoveRig() : board(rig.battle()) { testsupport::LoadUnitSets(rig.driver().tree, {0, 4, 14}); }
  uint8_t Add(const BoardUnit& u) {
    const uint8_t slot = board.AddUnit(u);
    Slg::PlaceUnit(U(slot));
    return slot;
  }
  static SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  void Frame() {
    rig.Step();
    unit_state_moves::UpdateShownUnits();
  }
  // Calls `step` at once and then after each frame until it answers 1 (at most `limit` frames):
  // the frames taken, -1 at the limit. `each` runs after each call that answered 0.
  int FramesUntilDone(const std::function<int()>& step, int limit = 400,
                      const std::function<void()>& each = {}) {
    for (int frames = 0; frames <= limit; ++frames) {
      if (frames > 0) Frame();
      if (step() != 0) return frames;
      if (each) each();
    }
    return -1;
  }
  static SlgEventRuntimeState& State() { return EventRuntimeState(); }

  const ScopedBattleInstaller installer{&InstallBattleEvents};
  BattleRig rig;
  BattleBoard board;
};

// ---- Walks ----

TEST(EventWalk, AReachableCellIsWalkedThroughTheCoreStatesAndTheStepEndsOnArrival) {
  for (const BoardUnit who : {BoardUnit{.kind = 0}, BoardUnit{.side = 1, .kind = 14, .category = 1}}) {
    SCOPED_TRACE(testing::Message() << "kind " << int{who.kind});
    MoveRig r;
    const int64_t live = Battle().alloc.live;
    RouteWork* work = RouteWorkAlloc();
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(Battle().alloc.live, live + 1);
    EXPECT_EQ(work->phase, 0);
    const uint8_t slot = r.Add(OnCell(5, 40, who));
    const SlgRangePos start = CellPos(5, 40);
    const SlgRangePos target = Step(Step(Step(start, 1), 1), 0);
    std::vector<int> seen;
    SlgUnit& u = r.U(slot);
    int arrival_state = -1;
    const int frames = r.FramesUntilDone(
        [&] {
          const int done = EventWalkObj(work, &u, target.x, target.y + 24, 0);
          if (done != 0) arrival_state = u.state;
          return done;
        },
        400,
        [&] {
          if (seen.empty() || seen.back() != u.state) seen.push_back(u.state);
        });
    ASSERT_GT(frames, 0);
    EXPECT_EQ(arrival_state, kUnitStateWalkStop) << "state 4 on the arrival frame";
    EXPECT_EQ(work->phase, 0);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], kUnitStateWalkStart);
    EXPECT_EQ(seen[1], kUnitStateWalk);
    EXPECT_EQ(u.x, target.x * kPx);
    EXPECT_EQ(u.y, target.y * kPx);
    EXPECT_EQ(UnitAt(target), slot);
    EXPECT_EQ(UnitAt(start), kSlgNoUnit);
    // The stop plays out after the step has finished: 4 -> 2 -> 8.
    for (int f = 0; f < 120 && u.state != kUnitStateReady; ++f) r.Frame();
    EXPECT_EQ(u.state, kUnitStateReady);
    RouteWorkFree(work);
    EXPECT_EQ(Battle().alloc.live, live);
  }
}

TEST(EventWalk, RefusalsAndMissingPiecesFinishAtOnceWithTheStateUnchanged) {
  MoveRig r;
  const uint8_t slot = r.Add(OnCell(5, 40, {.character = 2, .kind = 0}));
  SlgUnit& u = r.U(slot);
  RouteWork* work = RouteWorkAlloc();
  ASSERT_NE(work, nullptr);
  const SlgRangePos near = Step(CellPos(5, 40), 1);
  const SlgRangePos far = CellPos(5, 80);  // 20 steps: beyond the limit of 15
  r.board.SetCell2(6, 42, CellWord(0, 0x400));
  const SlgRangePos blocked = CellPos(6, 42);
  struct Case {
    const char* name;
    std::function<int()> call;
  };
  const Case cases[] = {
      {"null work (walk by unit)", [&] { return EventWalkUnit(nullptr, 0, 2, near.x, near.y, 0); }},
      {"null work (walk by kind)", [&] { return EventWalkKindNo(nullptr, 0, 0, near.x, near.y, 0); }},
      {"null work (walk by record)", [&] { return EventWalkObj(nullptr, &u, near.x, near.y, 0); }},
      {"missing unit", [&] { return EventWalkUnit(work, 0, 5, near.x, near.y, 0); }},
      {"null unit", [&] { return EventWalkObj(work, nullptr, near.x, near.y, 0); }},
      {"beyond the search limit", [&] { return EventWalkUnit(work, 0, 2, far.x, far.y, 0); }},
      {"blocked target", [&] { return EventWalkUnit(work, 0, 2, blocked.x, blocked.y, 0); }},
      {"its own cell", [&] { return EventWalkUnit(work, 0, 2, u.x >> 16, u.y >> 16, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    u.state = kUnitStateReady;
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(u.state, kUnitStateReady);
    EXPECT_EQ(work->phase, 0);
  }
  // A removed record is not brought back by a state.
  u.step = kSlgDeadStep;
  EXPECT_EQ(EventWalkUnit(work, 0, 2, near.x, near.y, 0), 1);
  EXPECT_EQ(u.step, kSlgDeadStep);
  RouteWorkFree(work);
  RouteWorkFree(nullptr);
}

TEST(EventWalk, TwoUnitsWalkAtOnceEachWithItsWorkArea) {
  MoveRig r;
  const uint8_t a = r.Add(OnCell(5, 40, {.character = 1, .kind = 0}));
  const uint8_t b = r.Add(OnCell(10, 40, {.side = 1, .character = 3, .kind = 14, .category = 1}));
  RouteWork* wa = RouteWorkAlloc();
  RouteWork* wb = RouteWorkAlloc();
  ASSERT_NE(wa, nullptr);
  ASSERT_NE(wb, nullptr);
  const SlgRangePos ta = Step(Step(CellPos(5, 40), 1), 1);
  const SlgRangePos tb = Step(Step(Step(CellPos(10, 40), 2), 2), 3);
  bool done_a = false;
  bool done_b = false;
  bool both_walking = false;
  for (int f = 0; f < 400 && !(done_a && done_b); ++f) {
    if (f > 0) r.Frame();
    if (!done_a) done_a = EventWalkUnit(wa, 0, 1, ta.x, ta.y, 0) == 1;
    if (!done_b) done_b = EventWalkUnit(wb, 1, 3, tb.x, tb.y, 0) == 1;
    if (r.U(a).state == kUnitStateWalk && r.U(b).state == kUnitStateWalk) both_walking = true;
  }
  EXPECT_TRUE(done_a);
  EXPECT_TRUE(done_b);
  EXPECT_TRUE(both_walking);
  EXPECT_EQ(UnitAt(ta), a);
  EXPECT_EQ(UnitAt(tb), b);
  EXPECT_EQ(wa->phase, 0);
  EXPECT_EQ(wb->phase, 0);
  RouteWorkFree(wa);
  RouteWorkFree(wb);
}

TEST(EventWalk, ARefusedWorkAreaIsNullAndTheWalkIsSkipped) {
  MoveRig r;
  Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
  RouteWork* work = RouteWorkAlloc();
  EXPECT_EQ(work, nullptr);
  r.Add(OnCell(5, 40));
  EXPECT_EQ(EventWalkUnit(work, 0, 0, 300, 300, 0), 1);
}

// ---- The teleporting heroine ----

TEST(EventJump, OccupiedOrBlockedCellsAreRefusedAndTheWalkFinishesAtOnce) {
  MoveRig r;
  const uint8_t slot = r.Add(OnCell(5, 40, {.character = kSlgTeleportCharacter, .kind = 4}));
  r.Add(OnCell(7, 40, {.side = 1, .kind = 14, .category = 1}));
  r.board.SetCell2(8, 40, CellWord(0, 0x400));
  RouteWork* work = RouteWorkAlloc();
  ASSERT_NE(work, nullptr);
  SlgUnit& u = r.U(slot);
  for (const SlgRangePos p : {CellPos(7, 40), CellPos(8, 40), CellPos(5, 40)}) {
    SCOPED_TRACE(testing::Message() << p.x << ", " << p.y);
    EXPECT_EQ(EventJumpToCell(*work, u, p.x, p.y + 24), 0);
    EXPECT_EQ(EventWalkUnit(work, 0, kSlgTeleportCharacter, p.x, p.y + 24, 0), 1);
    EXPECT_EQ(u.state, kUnitStateStand);
  }
  EXPECT_EQ(EventJumpToCell(*work, u, -500, 100), 0) << "off the cells";
  RouteWorkFree(work);
}

TEST(EventJump, TheHeroineLeavesUnseenAndReappearsOnTheTarget) {
  MoveRig r;
  const uint8_t slot = r.Add(OnCell(5, 40, {.character = kSlgTeleportCharacter, .kind = 4}));
  SlgUnit& u = r.U(slot);
  // Behind a wall a route could not pass: the jump does not search one.
  const SlgRangePos target = CellPos(5, 50);
  for (int column = 0; column < kSlgGridColumns; ++column) {
    r.board.SetCell(column, 45, CellWord(0, 0x400));
    r.board.SetCell2(column, 45, CellWord(0, 0x400));
  }
  RouteWork* work = RouteWorkAlloc();
  ASSERT_NE(work, nullptr);
  std::vector<int> seen;
  bool moved_unseen = false;
  int arrival_state = -1;
  const int frames = r.FramesUntilDone(
      [&] {
        const int done = EventWalkUnit(work, 0, kSlgTeleportCharacter, target.x, target.y + 24, 0);
        if (done != 0) arrival_state = u.state;
        return done;
      },
      200,
      [&] {
        if (seen.empty() || seen.back() != u.state) seen.push_back(u.state);
        if (u.state == kUnitStateWalk && u.x == target.x * kPx) moved_unseen = true;
      });
  ASSERT_GT(frames, 0);
  EXPECT_EQ(arrival_state, kUnitStateWalkStop);
  EXPECT_TRUE(moved_unseen) << "on the target while in the empty state 1";
  EXPECT_EQ(seen.front(), kUnitStateWalkStart);
  EXPECT_EQ(UnitAt(target), slot);
  // The teleport-in, then ready.
  seen = {u.state};
  for (int f = 0; f < 200 && u.state != kUnitStateReady; ++f) {
    r.Frame();
    if (seen.back() != u.state) seen.push_back(u.state);
  }
  EXPECT_EQ(seen, (std::vector<int>{kUnitStateWalkStop, kUnitStateWalkEnd, kUnitStateReady}));
  EXPECT_EQ(u.y, target.y * kPx);
  RouteWorkFree(work);
}

// ---- Turning the party ----

TEST(EventTurnPlayers, QuarterAndHalfTurnsTheShorterWayAbsentUnitsIgnored) {
  struct Case {
    const char* name;
    std::vector<int> dirs;  // characters 0.. (-1 absent, -2 removed, facing 3)
    int frames;
    std::vector<int> after;
  };
  // The point lies up and to the right of every unit: direction 0 is wanted.
  const Case cases[] = {
      {"all face it", {0, 0, 0}, 0, {0, 0, 0}},
      {"a quarter from 1", {0, 1, -1, 0}, 15, {0, 0, -1, 0}},
      {"a quarter from 3", {3, 0}, 15, {0, 0}},
      {"a half turn", {2, 0, 1}, 30, {0, 0, 0}},
      {"absent and removed characters", {-1, 0, -2, -1, -1, -1, 0}, 0, {-1, 0, -2, -1, -1, -1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MoveRig r;
    std::vector<int> slots;
    for (size_t ch = 0; ch < c.dirs.size(); ++ch) {
      if (c.dirs[ch] == -1) {
        slots.push_back(-1);
        continue;
      }
      const uint8_t slot = r.Add(OnCell(3 + static_cast<int>(ch), 60,
                                        {.character = static_cast<uint8_t>(ch), .kind = 0}));
      Slg::SetUnitDir(r.U(slot), c.dirs[ch] == -2 ? 3 : c.dirs[ch]);
      if (c.dirs[ch] == -2) r.U(slot).step = kSlgDeadStep;
      slots.push_back(slot);
      r.U(slot).state = kUnitStateReady;
    }
    const int frames = r.FramesUntilDone([] { return EventTurnPlayersTo(2000, 10); });
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(r.State().turn_phase, 0);
    for (size_t ch = 0; ch < c.dirs.size(); ++ch) {
      if (slots[ch] < 0) continue;
      const SlgUnit& u = r.U(static_cast<uint8_t>(slots[ch]));
      if (c.after[ch] == -2) {
        EXPECT_EQ(u.dir, 3) << "removed: untouched";
        EXPECT_EQ(u.step, kSlgDeadStep);
        continue;
      }
      EXPECT_EQ(u.dir, c.after[ch]) << "character " << ch;
      const bool turned = c.dirs[ch] != c.after[ch];
      EXPECT_EQ(u.state, turned ? kUnitStateStand : kUnitStateReady) << "character " << ch;
    }
  }
}

TEST(EventTurnPlayers, TheQuadrantsOfThePoint) {
  MoveRig r;
  const uint8_t slot = r.Add(OnCell(10, 40));
  SlgUnit& u = r.U(slot);
  const int32_t x = u.x >> 16;
  const int32_t y = u.y >> 16;
  struct Case {
    int32_t px, py;
    int dir;
  } cases[] = {{x + 1, y - 1, 0}, {x + 1, y, 1}, {x, y, 2}, {x - 5, y + 9, 2}, {x, y - 1, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.px - x << ", " << c.py - y);
    Slg::SetUnitDir(u, static_cast<uint32_t>(c.dir));
    EXPECT_EQ(EventTurnPlayersTo(c.px, c.py), 1) << "already facing";
    Slg::SetUnitDir(u, static_cast<uint32_t>(c.dir + 1) & 3);
    EXPECT_EQ(r.FramesUntilDone([&] { return EventTurnPlayersTo(c.px, c.py); }), 15);
    EXPECT_EQ(u.dir, c.dir);
  }
}

// ---- Scripted actions ----

class ActionRig : public MoveRig {
 public:
  ActionRig() {
    testsupport::BattleScript::InstallAttackStubs({0});
    actor = Add(OnCell(5, 40, {.kind = 0}));
    t1 = Add(OnCell(6, 41, {.side = 1, .kind = 14, .category = 1}));
    t2 = Add(OnCell(7, 42, {.side = 1, .kind = 14, .category = 1}));
    bystander = Add(OnCell(9, 40, {.side = 1, .kind = 14, .category = 1}));
    for (uint8_t s : {actor, t1, t2, bystander}) U(s).stats.life = U(s).stats.max_life = 50;
  }
  uint8_t actor = 0, t1 = 0, t2 = 0, bystander = 0;
};

TEST(EventScriptedAction, TheActorAttacksTheTargetsAndEveryoneIsReleasedAtTheEnd) {
  ActionRig r;
  // An earlier player attack search left the bystander's cell in the range list.
  SlgSearchState& search = Battle().search;
  search.range_list[0] = CellPos(9, 40);
  search.range_count = 1;
  SlgUnit* targets[] = {&r.U(r.t1), nullptr, &r.U(r.t2)};
  EXPECT_EQ(EventScriptedAction(&r.U(r.actor), targets, 3), 0);
  EXPECT_EQ(r.U(r.actor).state, kUnitStateStand) << "the first call only remembers";
  EXPECT_EQ(EventScriptedAction(&r.U(r.actor), targets, 3), 0);
  EXPECT_EQ(r.U(r.actor).state, 5);
  for (uint8_t t : {r.t1, r.t2}) {
    EXPECT_EQ(r.U(t).state, kUnitStateHit);
    EXPECT_NE(r.U(t).flags & kUnitInDamageList, 0u);
    EXPECT_EQ(r.U(t).stats.attack_type, r.actor) << "the attacker its reaction reads";
  }
  EXPECT_EQ(search.range_count, 0u);
  for (uint8_t s : {r.actor, r.t1, r.t2, r.bystander}) EXPECT_NE(r.U(s).flags & kUnitFrozen, 0u);
  const int frames = r.FramesUntilDone([&] { return EventScriptedAction(&r.U(r.actor), targets, 3); });
  ASSERT_GT(frames, 0);
  const SlgUnit& a = r.U(r.actor);
  EXPECT_TRUE(a.state == kUnitStateStand || a.state == kUnitStateReady);
  EXPECT_EQ(r.State().action_phase, 0);
  for (uint8_t t : {r.t1, r.t2}) EXPECT_EQ(r.U(t).reaction_over(), 1) << "marked";
  for (uint8_t s : {r.actor, r.t1, r.t2, r.bystander}) {
    EXPECT_EQ(r.U(s).flags & 0xFu, 0u) << "unfrozen, out of the damage list";
  }
  EXPECT_EQ(r.U(r.bystander).stats.life, 50);
  EXPECT_EQ(r.U(r.bystander).state, kUnitStateStand);
}

TEST(EventScriptedAction, ANullActorWaitsAndRemovedUnitsEndTheirPart) {
  {
    ActionRig r;
    SlgUnit* targets[] = {&r.U(r.t1)};
    EXPECT_EQ(EventScriptedAction(nullptr, targets, 1), 0);
    EXPECT_EQ(r.State().action_phase, 0) << "still waiting for its unit";
  }
  {
    // A target removed during the action: the records move down under the step.
    ActionRig r;
    SlgUnit* targets[] = {&r.U(r.t1), &r.U(r.t2)};
    EventScriptedAction(&r.U(r.actor), targets, 2);
    EventScriptedAction(&r.U(r.actor), targets, 2);
    r.Frame();
    Slg::RemoveUnit(r.t1);
    SlgUnit* actor = &r.U(r.actor);
    EXPECT_GT(r.FramesUntilDone([&] { return EventScriptedAction(actor, nullptr, 0); }), 0);
    EXPECT_EQ(r.State().action_phase, 0);
  }
  {
    // The actor removed before it acts: finished at once, no state set on anyone.
    ActionRig r;
    SlgUnit* targets[] = {&r.U(r.t1)};
    EventScriptedAction(&r.U(r.actor), targets, 1);
    r.U(r.actor).step = kSlgDeadStep;
    EXPECT_EQ(EventScriptedAction(&r.U(r.actor), targets, 1), 1);
    EXPECT_EQ(r.U(r.actor).step, kSlgDeadStep);
    EXPECT_EQ(r.U(r.t1).state, kUnitStateStand);
  }
  {
    // The actor removed during the action: its flagged targets are marked and released.
    ActionRig r;
    SlgUnit* targets[] = {&r.U(r.t1)};
    EventScriptedAction(&r.U(r.actor), targets, 1);
    EventScriptedAction(&r.U(r.actor), targets, 1);
    Slg::RemoveUnit(r.actor);
    // The records moved down: slot 0 is the first target now.
    EXPECT_EQ(EventScriptedAction(&r.U(0), targets, 1), 1);
    EXPECT_EQ(r.U(0).reaction_over(), 1);
    EXPECT_EQ(r.U(0).flags & 0xFu, 0u);
    EXPECT_EQ(r.State().action_phase, 0);
  }
}

}  // namespace
