// The battle's units: the type table, creation from stage entries (and its refusals), the state
// setter, removal keeping slots, update index, acting slot and turn order right, the purge of
// dead records and the occupancy grid, on boards built in memory.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "testsupport/battle_board.h"
#include "testsupport/stage_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BoardUnit;

TEST(SlgUnitType, RowsAsTabledWithByte34TwoAndTheSelfNumberedKinds) {
  struct Row {
    int kind;
    int life, max_life, kiai, max_kiai, attack, defence, move, xa, xd, xm, counter, recovery,
        byte32, special;
  };
  for (const Row& r : {Row{0, 120, 120, 100, 100, 14, 14, 3, 5, 5, 3, 2, 50, 8, 15},
                       Row{14, 80, 80, 0, 0, 5, 4, 1, 4, 4, 3, 0, 30, 0, 0},
                       Row{21, 900, 900, 0, 100, 12, 25, 0, 8, 8, 3, 9, 200, 0, 0},
                       Row{33, 2000, 2000, 0, 100, 26, 28, 0, 0, 0, 0, 0, 0, 0, 7},
                       Row{37, 37, 37, 0, 0, 37, 37, 0, 37, 37, 0, 0, 0, 0, 0}}) {
    SCOPED_TRACE(r.kind);
    const SlgUnitStats& t = kSlgUnitType[r.kind];
    EXPECT_EQ(t.life, r.life);
    EXPECT_EQ(t.max_life, r.max_life);
    EXPECT_EQ(t.kiai, r.kiai);
    EXPECT_EQ(t.max_kiai, r.max_kiai);
    EXPECT_EQ(t.attack, r.attack);
    EXPECT_EQ(t.defence, r.defence);
    EXPECT_EQ(t.move, r.move);
    EXPECT_EQ(t.extra_attack, r.xa);
    EXPECT_EQ(t.extra_defence, r.xd);
    EXPECT_EQ(t.extra_move, r.xm);
    EXPECT_EQ(t.counter, r.counter);
    EXPECT_EQ(t.recovery, r.recovery);
    EXPECT_EQ(t.byte32, r.byte32);
    EXPECT_EQ(t.special_power, r.special);
  }
  for (size_t kind = 0; kind < kSlgUnitType.size(); ++kind) {
    const SlgUnitStats& t = kSlgUnitType[kind];
    EXPECT_EQ(t.byte34, 2) << "kind " << kind;
    // The result bytes, trust and totals start at 0 in every row.
    uint8_t bytes[sizeof(SlgUnitStats)];
    std::memcpy(bytes, &t, sizeof bytes);
    for (size_t at : {11u, 15u, 16u, 17u, 18u, 19u, 20u, 21u, 22u, 23u, 28u, 31u, 35u, 36u, 39u,
                      40u, 43u, 44u, 45u}) {
      EXPECT_EQ(bytes[at], 0) << "kind " << kind << " byte " << at;
    }
  }
  for (int kind : {37, 46, 47, 51}) {
    const SlgUnitStats& t = kSlgUnitType[kind];
    for (int v : {int{t.life}, int{t.max_life}, int{t.attack}, int{t.defence},
                  int{t.extra_attack}, int{t.extra_defence}}) {
      EXPECT_EQ(v, kind);
    }
  }
}

TEST(SlgCreateUnit, FillsTheRecordFromEntryClassAndTypeRow) {
  struct Case {
    uint8_t kind;
    uint8_t category;
    int16_t x, y;
    uint16_t flags;
    int life, kiai, total_attack, total_defence, total_move, counter, recovery, special;
  };
  BattleBoard board;
  const std::vector<Case> cases = {
      {0, 0, 192, 240, 0xB180, 120, 100, 19, 19, 6, 2, 50, 15},
      {14, 1, 384, 240, 0x0100, 80, 0, 9, 8, 4, 0, 30, 0},
      {33, 2, -48, 1000, 0xFFFF, 2000, 0, 26, 28, 0, 0, 0, 7},
      {37, 4, 0, -24, 0x2000, 37, 0, 74, 74, 0, 0, 0, 0},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.kind);
    const uint8_t slot = board.AddUnit({.side = static_cast<uint8_t>(i),
                                        .character = static_cast<uint8_t>(10 + i),
                                        .kind = c.kind,
                                        .category = c.category,
                                        .x = c.x,
                                        .y = c.y,
                                        .facing = static_cast<uint8_t>(i),
                                        .flags = c.flags});
    ASSERT_EQ(slot, i);
    const SlgUnit& u = Battle().state.units[slot];
    EXPECT_EQ(u.slot, i);
    EXPECT_EQ(u.entry, i);
    EXPECT_EQ(u.side, i);
    EXPECT_EQ(u.character, 10 + i);
    EXPECT_EQ(u.dir, i);
    EXPECT_EQ(u.kind, c.kind);
    EXPECT_EQ(u.category, c.category);
    EXPECT_EQ(u.x, c.x * 65536);
    EXPECT_EQ(u.y, c.y * 65536);
    EXPECT_EQ(u.flags, c.flags);
    EXPECT_EQ(u.step, 0u);
    EXPECT_EQ(u.lift, 0);
    EXPECT_EQ(u.stats.life, c.life);
    EXPECT_EQ(u.stats.max_life, c.life);
    EXPECT_EQ(u.stats.kiai, c.kiai);
    EXPECT_EQ(u.stats.total_attack, c.total_attack);
    EXPECT_EQ(u.stats.total_defence, c.total_defence);
    EXPECT_EQ(u.stats.total_move, c.total_move);
    EXPECT_EQ(u.stats.counter, c.counter);
    EXPECT_EQ(u.stats.recovery, c.recovery);
    EXPECT_EQ(u.stats.special_power, c.special);
    EXPECT_EQ(Battle().state.unit_count, i + 1);
  }
  // The class is found through entry byte 2: entry 1 pointed at class 0 makes a kind-0 unit.
  testsupport::StageWriter stage = board.stage();
  stage.units[1].class_index = 0;
  stage.Fill(board.battle());
  const uint8_t slot = Slg::CreateUnit(*Battle().stage, 1);
  ASSERT_EQ(slot, 4);
  EXPECT_EQ(Battle().state.units[4].kind, 0);
  EXPECT_EQ(Battle().state.units[4].category, 0);
  EXPECT_EQ(Battle().state.units[4].character, 11);  // the entry's own fields still
}

TEST(SlgCreateUnit, RefusesTheSixtyFifthUnitAndEntriesTheStageCannotGive) {
  BattleBoard board;
  board.AddEntry({.kind = 14, .x = 96, .y = 48});
  board.AddEntry({.kind = 0});
  board.SpoilEntry(1);
  testsupport::TraceCapture trace;
  for (int i = 0; i < kSlgMaxUnits; ++i) ASSERT_EQ(Slg::CreateUnit(*Battle().stage, 0), i);
  EXPECT_EQ(Slg::CreateUnit(*Battle().stage, 0), kSlgCreateRefused);
  EXPECT_EQ(Battle().state.unit_count, kSlgMaxUnits);

  BattleBoard fresh;
  fresh.AddEntry({.kind = 14});
  fresh.AddEntry({.kind = 0});
  fresh.SpoilEntry(1);
  for (int n : {1, 2, 63, 64, -1, 255}) {
    EXPECT_EQ(Slg::CreateUnit(*Battle().stage, n), kSlgCreateRefused) << "entry " << n;
  }
  EXPECT_EQ(Battle().state.unit_count, 0);
  EXPECT_TRUE(trace.Contains("Slg::CreateUnit"));
  EXPECT_EQ(Slg::CreateUnit(*Battle().stage, 0), 0);
}

// Event objects (kinds 80-143) come only in category 3 and carry a zero type row: the table
// has 52 rows. Every other kind above 51 stays unusable.
TEST(SlgCreateUnit, MakesEventObjectsOfCategoryThreeWithAZeroTypeRow) {
  struct Case {
    uint8_t kind;
    uint8_t category;
    bool made;
  };
  for (const Case c : {Case{80, 3, true}, Case{100, 3, true}, Case{143, 3, true},
                       Case{51, 3, true}, Case{79, 3, false}, Case{144, 3, false},
                       Case{60, 3, false}, Case{80, 1, false}, Case{80, 0, false},
                       Case{255, 3, false}}) {
    SCOPED_TRACE(testing::Message() << "kind " << int{c.kind} << " category " << int{c.category});
    BattleBoard board;
    const uint8_t slot = board.AddUnit({.kind = c.kind, .category = c.category, .x = 96});
    EXPECT_EQ(Battle().stage->usable(0), c.made);
    ASSERT_EQ(slot != kSlgCreateRefused, c.made);
    if (!c.made) continue;
    const SlgUnit& u = Battle().state.units[slot];
    EXPECT_EQ(u.kind, c.kind);
    EXPECT_EQ(u.x, 96 * 65536);
    const SlgUnitStats expected = c.kind < kSlgUnitType.size() ? kSlgUnitType[c.kind] : SlgUnitStats{};
    SlgUnitStats totals = expected;
    CalcStatTotals(totals);
    EXPECT_EQ(std::memcmp(&u.stats, &totals, sizeof totals), 0);
  }
}

TEST(SlgUnits, SetUnitStateAnyUnitInStateAndTotals) {
  BattleBoard board;
  EXPECT_EQ(AnyUnitInState(0), 0);  // no units
  board.AddUnit({.kind = 0});
  board.AddUnit({.kind = 14});
  SlgUnit& u = Battle().state.units[1];
  SlgAnmObj body{};
  body.state = 9;
  u.anm = &body;
  u.step = 40;
  SetUnitState(u, 15);
  EXPECT_EQ(u.state, 15);
  EXPECT_EQ(u.step, 0u);
  EXPECT_EQ(body.state, 0);
  EXPECT_EQ(AnyUnitInState(15), 1);
  EXPECT_EQ(AnyUnitInState(6), 0);
  u.anm = nullptr;
  SetUnitState(u, 6);  // no body object
  EXPECT_EQ(AnyUnitInState(6), 1);
  // A record past the count is not looked at.
  Battle().state.units[2].state = 9;
  EXPECT_EQ(AnyUnitInState(9), 0);

  SlgUnitStats s = kSlgUnitType[0];
  s.trust_attack = 250;
  s.trust_defence = 1;
  s.trust_move = 2;
  CalcStatTotals(s);
  EXPECT_EQ(s.total_attack, (14 + 5 + 250) & 0xFF);  // 8-bit sums
  EXPECT_EQ(s.total_defence, 20);
  EXPECT_EQ(s.total_move, 8);
}

TEST(SlgRemoveUnit, KeepsSlotsDenseAndCorrectsUpdateIndexActingSlotAndOrder) {
  BattleBoard board;
  for (int i = 0; i < 4; ++i) board.AddUnit({.character = static_cast<uint8_t>(i), .kind = 14});
  BattleContext& b = Battle();
  b.update_index = 1;
  b.state.acting_unit = 3;
  b.order.count = 4;
  const uint16_t slots[4] = {3, 1, 0, 2};
  for (int i = 0; i < 4; ++i) b.order.entries[i] = {slots[i], static_cast<uint16_t>(100 + i)};

  Slg::RemoveUnit(1);
  ASSERT_EQ(b.state.unit_count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(b.state.units[i].slot, i);
  EXPECT_EQ(b.state.units[0].character, 0);
  EXPECT_EQ(b.state.units[1].character, 2);
  EXPECT_EQ(b.state.units[2].character, 3);
  EXPECT_EQ(b.state.units[3].stats.life, 0);  // the freed record is cleared
  EXPECT_EQ(b.update_index, 0);
  EXPECT_EQ(b.state.acting_unit, 2);
  ASSERT_EQ(b.order.count, 3);
  EXPECT_EQ(b.order.entries[0].slot, 2);
  EXPECT_EQ(b.order.entries[1].slot, 0);
  EXPECT_EQ(b.order.entries[2].slot, 1);
  EXPECT_EQ(b.order.entries[0].key, 100);  // keys move with their entries
  EXPECT_EQ(b.order.entries[2].key, 103);
  EXPECT_EQ(Slg::OrderIndexOf(b.state.units[2]), 0);
  EXPECT_EQ(Slg::OrderIndexOf(b.state.units[0]), 1);
  EXPECT_EQ(Slg::OrderIndexOf(b.state.units[1]), 2);

  // A removal before the update index steps it back too; the acting unit above moves down; a
  // slot not in use changes nothing.
  b.update_index = 2;
  Slg::RemoveUnit(0);
  EXPECT_EQ(b.update_index, 1);
  EXPECT_EQ(b.state.acting_unit, 1);
  // The record being updated (character 3) is still the one under the index: the pass goes on
  // after it, neither repeating nor skipping one.
  EXPECT_EQ(b.state.units[b.update_index].character, 3);
  Slg::RemoveUnit(2);
  Slg::RemoveUnit(65535);
  EXPECT_EQ(b.state.unit_count, 2);
  b.order.count = 0;
  EXPECT_EQ(Slg::OrderIndexOf(b.state.units[0]), -1);
}

// The words that name slots follow their units: the previous actor and the two event unit
// references name none once theirs is gone and one less above it; the occupancy grid keeps the
// moved units on their cells under their new slots.
TEST(SlgRemoveUnit, ThePreviousActorTheEventReferencesAndTheGridFollowTheirUnits) {
  BattleBoard board;
  for (int i = 0; i < 5; ++i) {
    board.AddUnit(testsupport::OnCell(2 + i, 10, {.character = static_cast<uint8_t>(i), .kind = 14}));
  }
  BattleContext& b = Battle();
  for (int i = 0; i < 5; ++i) ASSERT_EQ(GetUnitAtCell(2 + i, 10), i);
  b.unit_grid[0] = 2;  // a stale entry naming the removed slot
  struct Case {
    uint16_t before;
    uint16_t after;
  };
  const std::vector<Case> cases = {{0, 0}, {1, 1}, {2, kSlgNoUnit}, {3, 2}, {4, 3},
                                   {kSlgNoUnit, kSlgNoUnit}, {70, 69}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    BattleBoard fresh;
    for (int i = 0; i < 5; ++i) fresh.AddUnit({.character = static_cast<uint8_t>(i), .kind = 14});
    Battle().state.previous_acting = c.before;
    Battle().event_unit_ref = {c.before, static_cast<uint16_t>(c.before == 3 ? 4 : 1)};
    Slg::RemoveUnit(2);
    EXPECT_EQ(Battle().state.previous_acting, c.after);
    EXPECT_EQ(Battle().event_unit_ref[0], c.after);
    EXPECT_EQ(Battle().event_unit_ref[1], c.before == 3 ? 3 : 1);
  }

  // The grid (the first board's battle is current again).
  Slg::RemoveUnit(2);
  EXPECT_EQ(GetUnitAtCell(2, 10), 0);
  EXPECT_EQ(GetUnitAtCell(3, 10), 1);
  EXPECT_EQ(GetUnitAtCell(4, 10), kSlgNoUnit);
  EXPECT_EQ(GetUnitAtCell(5, 10), 2);
  EXPECT_EQ(GetUnitAtCell(6, 10), 3);
  EXPECT_EQ(b.unit_grid[0], kSlgNoUnit);
  EXPECT_EQ(b.state.units[2].character, 3);
  EXPECT_EQ(b.state.units[3].character, 4);
}

TEST(SlgUnitCellGrid, SetClearGetAndPurge) {
  BattleBoard board;
  // On the grid: (192, 240) is cell (2, 10); (384, 240) is cell (4, 10).
  const uint8_t hero = board.AddUnit({.kind = 0, .x = 192, .y = 240});
  const uint8_t off = board.AddUnit({.kind = 14, .x = 384, .y = 240, .flags = 0x9180});
  EXPECT_EQ(GetUnitAtCell(2, 10), hero);
  EXPECT_EQ(GetUnitAtCell(4, 10), kSlgNoUnit);  // no 0x2000: never entered
  SetUnitCell(Battle().state.units[off]);
  EXPECT_EQ(GetUnitAtCell(4, 10), kSlgNoUnit);
  for (auto [c, r] : {std::pair{-1, 0}, {0, -1}, {22, 0}, {0, 88}, {65535, 65535}}) {
    EXPECT_EQ(GetUnitAtCell(c, r), kSlgNoUnit) << c << ", " << r;
  }

  // ClearUnitCell clears the cell under the snapped position whoever was entered there.
  Battle().unit_grid[10 * 22 + 2] = 7;
  SlgUnit& h = Battle().state.units[hero];
  h.x = (192 + 20) * 65536;  // still inside cell (2, 10)
  h.y = (240 - 5) * 65536;
  ClearUnitCell(h);
  EXPECT_EQ(GetUnitAtCell(2, 10), kSlgNoUnit);

  // The purge removes every dead record and enters the others again.
  BattleBoard purge;
  for (int i = 0; i < 5; ++i) {
    purge.AddUnit({.character = static_cast<uint8_t>(i), .kind = 14,
                   .x = static_cast<int16_t>(96 * i), .y = 480});
  }
  Battle().state.units[0].step = kSlgDeadStep;
  Battle().state.units[1].step = kSlgDeadStep;
  Battle().state.units[3].step = kSlgDeadStep;
  Battle().unit_grid[0] = 4;  // stale
  Slg::PurgeDeadUnits();
  ASSERT_EQ(Battle().state.unit_count, 2);
  EXPECT_EQ(Battle().state.units[0].character, 2);
  EXPECT_EQ(Battle().state.units[1].character, 4);
  EXPECT_EQ(Battle().unit_grid[0], kSlgNoUnit);
  EXPECT_EQ(GetUnitAtCell(2, 20), 0);
  EXPECT_EQ(GetUnitAtCell(4, 20), 1);
  EXPECT_EQ(GetUnitAtCell(0, 20), kSlgNoUnit);
  int entered = 0;
  for (uint16_t v : Battle().unit_grid) entered += v != kSlgNoUnit;
  EXPECT_EQ(entered, 2);
}

TEST(SlgDebugHealPlayers, FillsLifeAndKiaiOfTheFirstPlayerUnitOfEachCharacter) {
  BattleBoard board;
  board.AddUnit({.side = 0, .character = 0, .kind = 0});
  board.AddUnit({.side = 1, .character = 1, .kind = 1});
  board.AddUnit({.side = 0, .character = 2, .kind = 8});  // a heroine of kind 8
  board.AddUnit({.side = 0, .character = 7, .kind = 6});
  board.AddUnit({.side = 0, .character = 0, .kind = 7});  // not the hero's first unit
  for (int i = 0; i < 5; ++i) {
    Battle().state.units[i].stats.life = 3;
    Battle().state.units[i].stats.kiai = 4;
  }
  SlgDebugHealPlayers();
  const SlgBattleState& s = Battle().state;
  EXPECT_EQ(s.units[0].stats.life, s.units[0].stats.max_life);
  EXPECT_EQ(s.units[0].stats.kiai, 100);
  EXPECT_EQ(s.units[1].stats.life, 3);  // another side
  EXPECT_EQ(s.units[2].stats.life, s.units[2].stats.max_life);
  EXPECT_EQ(s.units[2].stats.kiai, s.units[2].stats.max_kiai);
  EXPECT_EQ(s.units[3].stats.life, 3);  // character 7 is not looked for
  EXPECT_EQ(s.units[4].stats.life, 3);
}

}  // namespace
