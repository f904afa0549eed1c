// Turn control on board stages: the turn order and the next unit to act, the acting unit and its
// combination partner with the pairing rule by map, the phase state with its entry actions, the
// common end-of-action states and the next-actor rule.

#include "battle/slg_turn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_unit.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;

constexpr int kTrustVar[7] = {11, 11, 21, 31, 51, 61, 41};
void SetTrust(int character, int level) {
  SlgSetMacroP(kTrustVar[character], static_cast<uint16_t>(32768 + level));
}

// A rig's battle context as a board, every heroine's trust at 0, map 0.
class TurnBoard {
 public:
  TurnBoard() : board(rig.battle()) {
    board.SetMapSize(2048, 2048);
    for (int c = 1; c <= 6; ++c) SetTrust(c, 0);
    GetSystemData()->setBattleMap(0);
  }
  uint8_t Add(int column, int row, BoardUnit u = {}) {
    const uint8_t slot = board.AddUnit(testsupport::OnCell(column, row, u));
    EXPECT_NE(slot, 255);
    return slot;
  }
  SlgUnit& U(int slot) { return rig.battle().state.units[slot]; }
  BattleContext& b() { return rig.battle(); }

  BattleRig rig;
  BattleBoard board;
};

BoardUnit Heroine(int character, uint8_t side = 0) {
  BoardUnit u;
  u.character = static_cast<uint8_t>(character);
  u.kind = static_cast<uint8_t>(character);
  u.side = side;
  return u;
}

std::vector<int> OrderSlots() {
  const SlgOrder& o = Battle().order;
  std::vector<int> out;
  for (int i = 0; i < o.count; ++i) out.push_back(o.entries[i].slot);
  return out;
}

// ---- The turn order ----

TEST(SlgTurnOrder, KeysSortAscendingAndEqualKeysKeepSlotOrder) {
  TurnBoard t;
  // (character, side, speed, trust): keys 255 - speed - trust.
  struct Row {
    int character, side, speed, trust;
  };
  const std::vector<Row> rows = {
      {0, 0, 5, 0},   // slot 0: key 250
      {1, 0, 3, 2},   // slot 1: key 250, equal to slot 0: after it
      {0, 1, 9, 0},   // slot 2: key 246, an enemy: first
      {2, 0, 4, 5},   // slot 3: key 246, equal to slot 2: after it
      {0, 2, 1, 0},   // slot 4: key 254, last
      {3, 0, 2, 3},   // slot 5: key 250, after slots 0 and 1
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    const int slot = t.Add(2, static_cast<int>(10 + 2 * i), Heroine(r.character, r.side));
    t.U(slot).stats.move = static_cast<uint8_t>(r.speed);
    if (r.character != 0) SetTrust(r.character, r.trust);
  }
  SlgBuildTurnOrder();
  EXPECT_EQ(OrderSlots(), (std::vector<int>{2, 3, 0, 1, 5, 4}));
  EXPECT_EQ(t.b().order.entries[0].key, 246);
  EXPECT_EQ(t.b().order.entries[5].key, 254);
}

TEST(SlgTurnOrder, UnitsWithoutTheOrderFlagHaveNoEntryAndAFastUnitStaysFirst) {
  TurnBoard t;
  BoardUnit out = Heroine(0, 1);
  out.flags = 0xB080;  // no 0x100
  t.Add(2, 10, out);
  const int fast = t.Add(2, 12, Heroine(0, 1));
  t.Add(2, 14, Heroine(0, 1));
  t.U(fast).stats.move = 255;  // 255 - 255 - 0 = 0
  t.U(2).stats.move = 1;
  SlgBuildTurnOrder();
  EXPECT_EQ(OrderSlots(), (std::vector<int>{1, 2}));
  EXPECT_EQ(t.b().order.entries[0].key, 0);
}

TEST(SlgTurnOrder, TheNextActorPassesOverActedDeadAndUnorderedUnits) {
  struct Case {
    const char* name;
    uint32_t flags_set, flags_clear, step;
    int expected;  // the order position found after position 0
  };
  const Case cases[] = {
      {"may act", 0, 0, 0, 1},
      {"acted (0x20)", kUnitActed, 0, 0, 2},
      {"out of the order (no 0x100)", 0, kUnitInOrder, 0, 2},
      {"dead", 0, 0, kSlgDeadStep, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TurnBoard t;
    for (int i = 0; i < 3; ++i) t.Add(2, 10 + 2 * i, Heroine(0, 1));
    SlgBuildTurnOrder();
    SlgUnit& u = t.U(t.b().order.entries[1].slot);
    u.flags = (u.flags | c.flags_set) & ~c.flags_clear;
    u.step = c.step;
    EXPECT_EQ(SlgNextActorPos(0), c.expected);
    EXPECT_EQ(SlgNextActorPos(-1), 0);
    EXPECT_EQ(SlgNextActorPos(2), -1);
  }
}

// ---- The pairing rule ----

TEST(SlgPairing, EachMapAcceptsItsHeroine) {
  struct Case {
    int map, character, trust, p83;
    bool accepted;
  };
  const Case cases[] = {
      {1, 5, 25, 0, true},   {1, 5, 24, 0, false},  {1, 4, 30, 0, false},
      {4, 3, 25, 0, true},   {4, 3, 10, 0, false},  {6, 2, 25, 0, true},
      {6, 6, 30, 0, true},   {6, 1, 30, 0, false},  {7, 1, 35, 0, true},
      {7, 2, 35, 0, false},  {26, 4, 25, 0, true},  {26, 4, 0, 0, false},
      {3, 5, 35, 0, false},  {0, 1, 35, 0, false},  {20, 1, 35, 0, false},
      // Maps 11-19: the character the table names for P[83], no trust needed.
      {11, 1, 0, 1, true},   {12, 2, 0, 2, true},   {13, 3, 0, 3, true},
      {14, 6, 0, 4, true},   {15, 4, 0, 5, true},   {16, 5, 0, 6, true},
      {19, 1, 0, 7, false},  {17, 2, 0, 1, false},  {11, 1, 0, 0, false},
      // P[83] beyond the table never pairs.
      {11, 1, 0, 8, false},  {18, 1, 0, 40000, false}, {19, 6, 0, 65535, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("map " + std::to_string(c.map) + " character " + std::to_string(c.character) +
                 " trust " + std::to_string(c.trust) + " P83 " + std::to_string(c.p83));
    TurnBoard t;
    GetSystemData()->setBattleMap(static_cast<uint32_t>(c.map));
    SlgSetMacroP(kSlgPairVar, static_cast<uint16_t>(c.p83));
    SetTrust(c.character, c.trust);
    const int h = t.Add(4, 20, Heroine(c.character));
    EXPECT_EQ(SlgPairingAccepts(t.U(h)), c.accepted);
  }
}

TEST(SlgPairing, TiesAndHighestTrustChooseOneHeroine) {
  struct Case {
    const char* name;
    int map;
    std::vector<std::pair<int, int>> heroines;  // (character, trust) in slot order
    std::vector<bool> accepted;
  };
  const Case cases[] = {
      {"map 6, 2 and 6 equal: only 2", 6, {{6, 30}, {2, 30}}, {false, true}},
      {"map 6, 2 and 6 differ: both", 6, {{6, 30}, {2, 28}}, {true, true}},
      {"map 10, first of the highest", 10, {{3, 20}, {1, 30}, {2, 30}}, {false, true, false}},
      {"map 21, highest but not trusted", 21, {{3, 24}, {1, 10}}, {false, false}},
      {"map 21, one trusted", 21, {{3, 10}, {5, 26}}, {false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TurnBoard t;
    GetSystemData()->setBattleMap(static_cast<uint32_t>(c.map));
    std::vector<int> slots;
    for (size_t i = 0; i < c.heroines.size(); ++i) {
      SetTrust(c.heroines[i].first, c.heroines[i].second);
      slots.push_back(t.Add(2, static_cast<int>(10 + 2 * i), Heroine(c.heroines[i].first)));
    }
    // An enemy of the highest trust's character counts for nothing.
    t.Add(8, 10, Heroine(c.heroines[0].first, 1));
    for (size_t i = 0; i < slots.size(); ++i) {
      EXPECT_EQ(SlgPairingAccepts(t.U(slots[i])), c.accepted[i]) << "heroine " << i;
    }
  }
}

// ---- The combination partner ----

// Map 11 with P[83] 1: character 1 pairs without trust.
class PartnerBoard : public TurnBoard {
 public:
  PartnerBoard() {
    GetSystemData()->setBattleMap(11);
    SlgSetMacroP(kSlgPairVar, 1);
  }
  int AddFull(int column, int row, BoardUnit u) {
    const int slot = Add(column, row, u);
    U(slot).stats.max_kiai = 40;
    U(slot).stats.kiai = 40;
    return slot;
  }
};

// The acting unit at (4, 20) (an even row): its diagonal neighbours in the search's order.
struct Cell {
  int column, row;
};
constexpr Cell kNeighbours[4] = {{4, 19}, {4, 21}, {3, 21}, {3, 19}};

TEST(SlgPartner, TheHeroTakesTheFirstAcceptedNeighbourInOrder) {
  struct Case {
    std::vector<int> taken;  // neighbour positions (0-3) holding a character-1 heroine
    int expected;            // the position of the partner, -1 none
  };
  const Case cases[] = {
      {{0, 1, 2, 3}, 0}, {{1, 2, 3}, 1}, {{2, 3}, 2}, {{3, 2}, 2}, {{3}, 3}, {{}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.taken));
    PartnerBoard t;
    const int hero = t.AddFull(4, 20, Heroine(0));
    int at[4] = {-1, -1, -1, -1};
    for (int k : c.taken) at[k] = t.AddFull(kNeighbours[k].column, kNeighbours[k].row, Heroine(1));
    // Units that do not qualify stand on the free neighbours: not of side 0, or not accepted.
    for (int k = 0; k < 4; ++k) {
      if (at[k] >= 0) continue;
      t.AddFull(kNeighbours[k].column, kNeighbours[k].row, Heroine(k % 2 == 0 ? 1 : 2, k % 2 == 0));
    }
    const uint8_t partner = SlgFindComboPartner(t.U(hero));
    EXPECT_EQ(partner, c.expected < 0 ? kSlgNoPartner : at[c.expected]);
  }
}

TEST(SlgPartner, KiaiConditionsOnBothRoads) {
  struct Case {
    const char* name;
    bool heroine_acts, hero_full, heroine_full, accepted;
    bool paired;
  };
  const Case cases[] = {
      {"hero acts, both full", false, true, true, true, true},
      {"hero acts, hero not full", false, false, true, true, false},
      {"hero acts, heroine not full", false, true, false, true, false},
      {"hero acts, not accepted", false, true, true, false, false},
      {"heroine acts, both full", true, true, true, true, true},
      {"heroine acts, hero not full", true, false, true, true, false},
      {"heroine acts, heroine not full", true, true, false, true, false},
      {"heroine acts, not accepted", true, true, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PartnerBoard t;
    const Cell hc = c.heroine_acts ? kNeighbours[1] : Cell{4, 20};
    const Cell gc = c.heroine_acts ? Cell{4, 20} : kNeighbours[1];
    const int hero = t.AddFull(hc.column, hc.row, Heroine(0));
    const int heroine = t.AddFull(gc.column, gc.row, Heroine(c.accepted ? 1 : 3));
    if (!c.hero_full) t.U(hero).stats.kiai = 39;
    if (!c.heroine_full) t.U(heroine).stats.kiai = 0;
    const int acting = c.heroine_acts ? heroine : hero;
    // The result names the heroine either way: her slot.
    EXPECT_EQ(SlgFindComboPartner(t.U(acting)), c.paired ? heroine : kSlgNoPartner);
  }
}

// ---- The acting unit ----

TEST(SlgActingUnit, ChoosingAPlayerUnitPreparesItsTurnAndMinusOneRestores) {
  PartnerBoard t;
  const int enemy = t.Add(8, 30, Heroine(0, 1));
  const int hero = t.AddFull(4, 20, Heroine(0));
  const int heroine = t.AddFull(4, 19, Heroine(1));
  t.U(enemy).stats.move = 9;
  t.U(hero).stats.move = 5;
  t.U(heroine).stats.move = 1;
  SlgBuildTurnOrder();  // enemy, hero, heroine
  BattleContext& b = t.b();
  b.state.order_pos = 0;
  b.state.acting_unit = static_cast<uint16_t>(enemy);
  b.flags = 0xF;
  b.control.actions_left = 0;
  b.control.action_done = 6;
  b.target_count = 3;
  SlgUnit& h = t.U(hero);
  h.flags |= kUnitGuarding;
  h.stats.attack_type = 2;
  h.stats.action_bytes[0] = 7;
  h.stats.action_bytes[1] = 9;
  h.stats.extra_attack = 3;

  Slg::SetActingUnit(1);
  EXPECT_EQ(b.state.acting_unit, hero);
  EXPECT_EQ(b.state.acting_copy1, hero);
  EXPECT_EQ(b.state.acting_copy2, hero);
  EXPECT_EQ(b.state.previous_acting, enemy);
  EXPECT_EQ(b.state.order_pos, 1);
  EXPECT_EQ(b.control.actions_left, 2);
  EXPECT_EQ(b.control.action_done, 0);
  EXPECT_EQ(b.target_count, 0);
  EXPECT_EQ(b.flags, 0xE);
  EXPECT_EQ(h.flags & kUnitGuarding, 0u);
  EXPECT_EQ(h.stats.attack_type, 0);
  EXPECT_EQ(h.stats.action_bytes[0], 0);
  EXPECT_EQ(h.stats.action_bytes[1], 9);
  EXPECT_EQ(b.control.combo_partner, heroine);
  EXPECT_EQ(b.control.command_table[3], 25);  // the combination on row 1
  EXPECT_EQ(h.stats.total_attack, h.stats.attack + 3 + h.stats.trust_attack);
  EXPECT_EQ(b.state.turn_flags & 12, 12);
  EXPECT_EQ(b.camera.followed, hero);

  // -1: nobody acts, the order position back where it was before.
  Slg::SetActingUnit(-1);
  EXPECT_EQ(b.state.acting_unit, kSlgNoUnit);
  EXPECT_EQ(b.state.order_pos, 0);

  // An enemy: no partner search, no command table change.
  b.control.combo_partner = 77;
  Slg::SetActingUnit(0);
  EXPECT_EQ(b.state.acting_unit, enemy);
  EXPECT_EQ(b.control.combo_partner, 77);

  // A position outside the order changes nothing.
  Slg::SetActingUnit(3);
  Slg::SetActingUnit(-5);
  EXPECT_EQ(b.state.acting_unit, enemy);
  EXPECT_EQ(b.state.order_pos, 0);
}

TEST(SlgActingUnit, ResetCurrentUnitPutsBackTheSavedCopyAlone) {
  PartnerBoard t;
  const int enemy = t.Add(8, 30, Heroine(0, 1));
  const int hero = t.AddFull(4, 20, Heroine(0));
  t.U(enemy).stats.move = 9;
  t.U(hero).stats.move = 5;
  SlgBuildTurnOrder();  // enemy, hero
  BattleContext& b = t.b();
  b.state.order_pos = 0;
  b.state.acting_unit = static_cast<uint16_t>(enemy);
  Slg::SetActingUnit(1);
  // The player phase clears the current copy each frame; a script then creates units mid-turn.
  b.state.acting_copy1 = kSlgNoUnit;
  t.Add(10, 30, Heroine(0, 2));
  t.Add(10, 32, Heroine(0, 2));
  Slg::ResetCurrentUnit();
  EXPECT_EQ(b.state.acting_copy1, hero);
  EXPECT_EQ(b.state.acting_copy2, hero);
  EXPECT_EQ(b.state.acting_unit, hero);
  EXPECT_EQ(b.state.previous_acting, enemy);
  EXPECT_EQ(b.state.order_pos, 1);
}

// ---- Phase states and the next-actor rule ----

TEST(SlgPhaseState, WritesTheStateAndRunsTheEntryActions) {
  TurnBoard t;
  const int a = t.Add(4, 60, Heroine(0));
  BattleContext& b = t.b();
  b.state.acting_unit = static_cast<uint16_t>(a);
  SlgMainWork work{};
  struct Case {
    uint8_t state;
    bool closes_face, remembers, camera;
  };
  const Case cases[] = {{2, false, false, true}, {11, true, true, false},
                        {17, true, false, false}, {21, true, false, false},
                        {15, false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.state));
    b.phase_sub = 5;
    b.flags = 0xF;
    b.face.window_open = 1;
    b.face.panel_unit = 3;
    b.turn.remembered_unit = kSlgNoUnit;
    b.camera.followed = kSlgNoUnit;
    Slg::SetPhaseState(&work, c.state);
    EXPECT_EQ(work.step, c.state);
    EXPECT_EQ(b.phase_sub, 0u);
    EXPECT_EQ(b.flags, 0xE);
    EXPECT_EQ(b.face.window_open, c.closes_face ? 0u : 1u);
    EXPECT_EQ(b.face.panel_unit, c.closes_face ? kSlgNoUnit : 3);
    EXPECT_EQ(b.turn.remembered_unit, c.remembers ? a : kSlgNoUnit);
    EXPECT_EQ(b.camera.followed, c.camera ? a : kSlgNoUnit);
  }
  Slg::SetPhaseState(nullptr, 2);  // only a trace
}

int g_follow_calls = 0;
int FollowUpTwoFrames(SlgUnit& /*unit*/) { return ++g_follow_calls < 2 ? 1 : 0; }

// Three enemies in order; the first acting, state 0 as its phase leaves it.
class ActorBoard : public TurnBoard {
 public:
  ActorBoard() {
    for (int i = 0; i < 3; ++i) Add(2, 10 + 2 * i, Heroine(0, 1));
    SlgBuildTurnOrder();
    Slg::SetActingUnit(0);
    work.step = 0;
  }
  // The common states until one that is not common (the phase's own), at most n frames.
  void RunCommon(int n) {
    for (int i = 0; i < n && SlgCommonPhaseState(&work); ++i) {
    }
  }
  SlgMainWork work{};
};

TEST(SlgNextActor, ActionsLeftKeepTheUnitThenTheTurnPassesOn) {
  struct Case {
    const char* name;
    std::vector<int> spent;  // SlgActionsLeft spent by each action (0: cancelled)
    int acting_after;        // slot acting after the last action
    uint8_t state_after;
  };
  const Case cases[] = {
      {"two actions", {1, 1}, 1, kSlgPhaseStart},
      {"one action", {1}, 0, kSlgPhaseAgain},
      {"a cancelled action keeps the count", {1, 0, 1}, 1, kSlgPhaseStart},
      {"end turn", {2}, 1, kSlgPhaseStart},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActorBoard t;
    BattleContext& b = t.b();
    SetUnitState(t.U(0), 8);
    for (int spent : c.spent) {
      if (spent == 0) {
        Slg::SetPhaseState(&t.work, kSlgPhaseCommand);  // cancelled: back to the window
        continue;
      }
      b.control.actions_left = static_cast<uint8_t>(b.control.actions_left - spent);
      Slg::NextActor(&t.work);
    }
    EXPECT_EQ(b.state.acting_unit, c.acting_after);
    EXPECT_EQ(t.work.step, c.state_after);
    if (c.acting_after == 0) {
      EXPECT_EQ(b.control.actions_left, 1);
      EXPECT_NE(b.state.turn_flags & kTurnSameUnit, 0);
    } else {
      EXPECT_EQ(t.U(0).state, 0);  // the unit that acted stands
      EXPECT_EQ(b.control.actions_left, 2);
      EXPECT_EQ(b.state.order_pos, 1);
    }
  }
}

TEST(SlgNextActor, AFollowUpRunsInStateTwentyTwoBeforeTheTurnPasses) {
  ActorBoard t;
  BattleContext& b = t.b();
  g_follow_calls = 0;
  b.phases.follow_up = &FollowUpTwoFrames;
  t.U(0).flags |= kUnitFollowUp;
  b.control.actions_left = 0;
  Slg::NextActor(&t.work);
  EXPECT_EQ(t.work.step, kSlgPhaseAgain);  // with 0x800 the unit keeps the turn
  EXPECT_EQ(b.state.acting_unit, 0);
  ASSERT_TRUE(SlgCommonPhaseState(&t.work));
  EXPECT_EQ(t.work.step, kSlgPhaseFollowUp);
  ASSERT_TRUE(SlgCommonPhaseState(&t.work));  // the follow-up runs
  EXPECT_EQ(t.work.step, kSlgPhaseFollowUp);
  ASSERT_TRUE(SlgCommonPhaseState(&t.work));  // done: flag cleared, the turn passes
  EXPECT_EQ(g_follow_calls, 2);
  EXPECT_EQ(t.U(0).flags & kUnitFollowUp, 0u);
  EXPECT_EQ(b.state.acting_unit, 1);
  EXPECT_EQ(t.work.step, kSlgPhaseStart);
}

TEST(SlgNextActor, TheLastUnitOfTheRoundLeavesNobodyActingAndTheOrderPassed) {
  ActorBoard t;
  BattleContext& b = t.b();
  for (int i = 0; i < 3; ++i) {
    b.control.actions_left = 0;
    Slg::NextActor(&t.work);
  }
  EXPECT_EQ(b.state.acting_unit, kSlgNoUnit);
  EXPECT_GE(b.state.order_pos, b.order.count);
  EXPECT_EQ(t.work.step, kSlgPhaseStart);
}

// The marks a done command leaves in the command window, as the window shows them.
struct WindowMarks {
  uint16_t sel, move_frame, attack_frame, unit_frame, attack_avail, unit_avail;
  bool operator==(const WindowMarks&) const = default;
};
WindowMarks Marks() {
  const SlgCommWinState& w = Battle().comm_win;
  return {w.sel,           w.col0[0].frame,     w.mains[1].frame,
          w.mains[2].frame, w.columns[1].avail, w.columns[2].avail};
}

TEST(SlgNextActor, TheSameUnitKeepsItsWindowMarksAndANewUnitGetsAFreshWindow) {
  struct Case {
    const char* name;
    int mark;           // the command done first (CommWinMark)
    bool partner_after;  // a partner stands beside the unit after it
  };
  const Case cases[] = {
      {"move", 6, false},
      {"attack", 9, false},
      {"unit command", 17, false},
      {"move beside a partner", 6, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PartnerBoard t;
    CommWinSetup();
    const int hero = t.AddFull(4, 20, Heroine(0));
    const int other = t.AddFull(10, 40, Heroine(2));
    t.U(hero).stats.move = 9;  // acts first
    SlgBuildTurnOrder();
    BattleContext& b = t.b();
    SlgMainWork work{};
    Slg::SetActingUnit(0);
    ASSERT_EQ(b.state.acting_unit, hero);
    ASSERT_EQ(b.control.combo_partner, kSlgNoPartner);
    const WindowMarks fresh = Marks();

    CommWinMark(c.mark);
    const WindowMarks marked = Marks();
    ASSERT_FALSE(marked == fresh);
    if (c.partner_after) t.AddFull(kNeighbours[0].column, kNeighbours[0].row, Heroine(1));
    b.control.actions_left = 1;
    Slg::NextActor(&work);
    ASSERT_EQ(b.state.acting_unit, hero);
    EXPECT_TRUE(Marks() == marked);  // the done command stays marked, the selection past it
    EXPECT_EQ(b.comm_win.columns[1].count, c.partner_after ? 4 : 3);
    EXPECT_EQ(b.control.command_table[3], c.partner_after ? 25 : 20);

    // The turn passes: the next unit's window is a fresh one.
    b.control.actions_left = 0;
    Slg::NextActor(&work);
    ASSERT_EQ(b.state.acting_unit, other);
    EXPECT_TRUE(Marks() == fresh);
  }
}

TEST(SlgNextActor, AUnitRemovedAtOrBeforeTheOrderPositionCostsTheNextUnitNoTurn) {
  struct Case {
    const char* name;
    int removed_position;  // order position of the unit removed while position 1 acts
    int next_slot_entry;   // stage entry of the unit that acts next
  };
  const Case cases[] = {
      {"before the acting unit", 0, 2},
      {"the acting unit itself", 1, 2},
      {"after the acting unit", 2, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TurnBoard t;
    for (int i = 0; i < 4; ++i) t.Add(2, 10 + 2 * i, Heroine(0, 1));
    SlgBuildTurnOrder();  // entries 0-3 in slot order
    Slg::SetActingUnit(1);
    Slg::RemoveUnit(t.b().order.entries[c.removed_position].slot);
    const int next = SlgNextActorPos(t.b().state.order_pos);
    ASSERT_GE(next, 0);
    EXPECT_EQ(t.U(t.b().order.entries[next].slot).entry, c.next_slot_entry);
  }
}

TEST(SlgCommonStates, TurnStartWaitsForTheCameraAndUnitStateFifteen) {
  ActorBoard t;
  BattleContext& b = t.b();
  Slg::SetPhaseState(&t.work, kSlgPhaseStart);
  SetUnitState(t.U(2), 15);
  t.RunCommon(1);
  EXPECT_EQ(t.work.step, kSlgPhaseStart);  // a unit in state 15 holds it
  SetUnitState(t.U(2), 0);
  t.RunCommon(1);  // the camera is on the unit: state 17
  EXPECT_EQ(t.work.step, kSlgPhaseCommand);
  t.RunCommon(1);
  EXPECT_EQ(t.work.step, kSlgPhaseFree);
  EXPECT_FALSE(SlgCommonPhaseState(&t.work));
  // State 16 waits the same way, then 17.
  Slg::SetPhaseState(&t.work, kSlgPhaseAgain);
  SetUnitState(t.U(1), 15);
  t.RunCommon(1);
  EXPECT_EQ(t.work.step, kSlgPhaseAgain);
  SetUnitState(t.U(1), 0);
  t.RunCommon(1);
  EXPECT_EQ(t.work.step, kSlgPhaseCommand);
  EXPECT_EQ(b.state.acting_unit, 0);
}

}  // namespace
