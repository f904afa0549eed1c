// The battle queries of the events on a small board: the unit look-ups, the position queries,
// the 25 condition functions, the heroine variables and their maximum searches, and what hostile
// arguments (condition strings may hold any number) do.

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "engine/app/doors.h"
#include "game/macro_vars.h"
#include "testsupport/battle_board.h"
#include "testsupport/stage_writer.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BoardUnit;
using testsupport::CellPos;
using testsupport::CellWord;
using testsupport::OnCell;

// Characters and sides as the scripts name them.
constexpr int kHero = 0;  // IKD
constexpr int kKindHeroine2 = 8;

// The board every case starts from:
//   slot 0  the hero         side 0, character 0, kind 0, cell (4, 20)
//   slot 1  heroine 1        side 0, character 1, kind 1, cell (6, 20)
//   slot 2  heroine 2        side 0, character 2, kind 8, cell (8, 20)
//   slot 3  an enemy         side 1, character 20, kind 20, cell (4, 24)
//   slot 4  an enemy         side 2, character 21, kind 21, cell (6, 24)
//   slot 5  a removed unit   side 4, character 22, kind 22, step 255
//   slot 6  a defeated enemy side 1, character 23, kind 23, life 0
class Battlefield : public ::testing::Test {
 protected:
  enum Slot { kHeroSlot, kHeroine1Slot, kHeroine2Slot, kEnemy1, kEnemy2, kRemoved, kDefeated };

  Battlefield() {
    Add(4, 20, {.side = 0, .character = 0, .kind = 0});
    Add(6, 20, {.side = 0, .character = 1, .kind = 1});
    Add(8, 20, {.side = 0, .character = 2, .kind = kKindHeroine2});
    Add(4, 24, {.side = 1, .character = 20, .kind = 20});
    Add(6, 24, {.side = 2, .character = 21, .kind = 21});
    Add(8, 24, {.side = 4, .character = 22, .kind = 22});
    Add(4, 28, {.side = 1, .character = 23, .kind = 23});
    U(kRemoved).step = kSlgDeadStep;
    U(kDefeated).stats.life = 0;
    s().acting_unit = kSlgNoUnit;
    s().previous_acting = kSlgNoUnit;
  }

  void Add(int column, int row, BoardUnit unit) {
    ASSERT_NE(board.AddUnit(OnCell(column, row, unit)), kSlgCreateRefused);
  }
  SlgUnit& U(int slot) { return Battle().state.units[static_cast<size_t>(slot)]; }
  SlgBattleState& s() { return Battle().state; }
  // Puts a unit on the centre of a cell.
  void MoveTo(int slot, int column, int row) {
    const SlgRangePos p = CellPos(column, row);
    U(slot).x = p.x * 65536;
    U(slot).y = (p.y + 24) * 65536;
  }

  testsupport::TestGame game;
  BattleBoard board;
};

// ---- Unit look-ups ----

TEST_F(Battlefield, LookUpsFindTheLowestSlotRemovedRecordsIncluded) {
  const int count = s().unit_count;
  ASSERT_EQ(count, 7);
  struct Case {
    const char* what;
    int got, want;
  };
  const Case cases[] = {
      {"kind 8", FindUnitIndexByKind(kKindHeroine2), kHeroine2Slot},
      {"kind 22, removed", FindUnitIndexByKind(22), kRemoved},
      {"no kind 99", FindUnitIndexByKind(99), count},
      {"side 1 kind 20", FindUnitIndexByGroupKind(1, 20), kEnemy1},
      {"side 4 kind 22, removed", FindUnitIndexByGroupKind(4, 22), kRemoved},
      {"side 2 kind 20", FindUnitIndexByGroupKind(2, 20), count},
      {"heroine 2 by character", FindUnitIndexByChara(0, 2), kHeroine2Slot},
      {"character 22 removed", FindUnitIndexByChara(4, 22), kRemoved},
      {"character 20 on side 0", FindUnitIndexByChara(0, 20), count},
      {"heroine 2 present", UnitAbsent(0, 2), 0},
      {"heroine 3 absent", UnitAbsent(0, 3), 1},
      {"a removed record is absent", UnitAbsent(4, 22), 1},
      {"player character 2 in slot 2", IsPlayerChara(2, kHeroine2Slot), 1},
      {"character 20 is no player", IsPlayerChara(20, kEnemy1), 0},
      {"slot beyond the count", IsPlayerChara(0, 7), 0},
      {"slot 64", IsPlayerChara(0, 64), 0},
      {"side 2 kind 21 in slot 4", IsGroupKind(2, 21, kEnemy2), 1},
      {"side 1 kind 21", IsGroupKind(1, 21, kEnemy2), 0},
      {"no slot", IsGroupKind(0, 0, kSlgNoUnit), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_EQ(FindFirstUnitOfKind(kKindHeroine2), &U(kHeroine2Slot));
  EXPECT_EQ(FindFirstUnitOfKind(99), nullptr);
  EXPECT_EQ(FindGroupKindUnit(4, 22), &U(kRemoved));
  EXPECT_EQ(FindGroupKindUnit(0, 20), nullptr);
}

TEST_F(Battlefield, GoneTestsCountARemovedRecordAsGone) {
  struct Case {
    const char* what;
    int got, want;
  };
  const Case cases[] = {
      {"NG(0)", CondNG(0), 0},
      {"NG(1): the defeated enemy still counts", CondNG(1), 0},
      {"NG(4): only a removed record", CondNG(4), 1},
      {"NG(3): nobody", CondNG(3), 1},
      {"NU(22)", CondNU(22), 1},
      {"NU(20)", CondNU(20), 0},
      {"NP(IKD)", CondNP(kHero), 0},
      {"NP(2)", CondNP(2), 0},
      {"NP(3)", CondNP(3), 1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  // The look-up still finds what NG counts as gone.
  EXPECT_EQ(FindUnitIndexByGroupKind(4, 22), kRemoved);
  // A record beyond the unit count is not looked at.
  s().unit_count = kHeroine2Slot;
  EXPECT_EQ(CondNP(2), 1);
  EXPECT_EQ(CondNG(1), 1);
}

// ---- Life ----

TEST_F(Battlefield, LifeTestsAnswerOneForAbsentUnitsAndCompareInPercent) {
  U(kHeroSlot).stats.max_life = 120;
  U(kHeroSlot).stats.life = 60;
  EXPECT_EQ(CondHP(kHero, 50), 1);
  EXPECT_EQ(CondHP(kHero, 49), 0);
  EXPECT_EQ(CondHP(kHero, 0), 0);
  U(kHeroSlot).stats.life = 0;
  EXPECT_EQ(CondHP(kHero, 0), 1);
  U(kHeroSlot).stats.life = -5;
  EXPECT_EQ(CondHP(kHero, 0), 1);
  EXPECT_EQ(CondHP(3, 0), 1);  // heroine 3 is absent
  EXPECT_EQ(CondHGU(1, 23, 0), 1);  // the defeated enemy
  EXPECT_EQ(CondHGU(1, 20, 0), 0);
  EXPECT_EQ(CondHGU(1, 99, 0), 1);
  // An absent hero: his character belongs to nobody.
  U(kHeroSlot).character = 9;
  EXPECT_EQ(CondHP(kHero, 0), 1);
}

// ---- Acting units and the event unit references ----

TEST_F(Battlefield, ActingUnitTests) {
  struct Case {
    const char* what;
    uint16_t acting, previous, timing;
    std::array<int, 6> want;  // PP(0), PP(1), PFP(0), PFP(1), PGU(0, 0), FGU(0, 1)
  };
  const uint16_t stale = 7;  // below 64 but beyond the unit count
  const Case cases[] = {
      {"nobody acts", kSlgNoUnit, kHeroine1Slot, 0x8000, {0, 0, 0, 0, 0, 0}},
      {"the hero acts, nobody before", kHeroSlot, kSlgNoUnit, 0x8004, {1, 0, 0, 0, 1, 0}},
      {"the hero acts", kHeroSlot, kHeroine1Slot, 0x8004, {1, 0, 1, 0, 1, 0}},
      {"the hero took over", kHeroSlot, kHeroine1Slot, 0x800C, {1, 0, 0, 1, 1, 1}},
      {"a stale acting slot", stale, kHeroine1Slot, 0x800C, {0, 0, 0, 0, 0, 0}},
      {"a stale previous slot", kHeroSlot, stale, 0x800C, {1, 0, 0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    s().acting_unit = c.acting;
    s().previous_acting = c.previous;
    s().turn_flags = c.timing;
    const std::array<int, 6> got = {CondPP(0),     CondPP(1),     CondPFP(0),
                                    CondPFP(1),    CondPGU(0, 0), CondFGU(0, 1)};
    EXPECT_EQ(got, c.want) << c.what;
  }
}

TEST_F(Battlefield, EventUnitReferenceTests) {
  struct Case {
    const char* what;
    uint16_t ref0, ref1;
    std::array<int, 5> want;  // KP(0), KP(20), KGU(1, 20), CP(2), GetEventUnitChara
  };
  const Case cases[] = {
      {"none", kSlgNoUnit, kSlgNoUnit, {0, 0, 0, 0, -1}},
      {"slot 64", 64, 64, {0, 0, 0, 0, -1}},
      {"stale slots", 7, 7, {0, 0, 0, 0, -1}},
      {"the hero defeated, heroine 2 joined", kHeroSlot, kHeroine2Slot, {1, 0, 0, 1, 0}},
      {"the enemy defeated", kEnemy1, kHeroSlot, {0, 0, 1, 0, 20}},
  };
  for (const Case& c : cases) {
    Battle().event_unit_ref = {c.ref0, c.ref1};
    const std::array<int, 5> got = {CondKP(0), CondKP(20), CondKGU(1, 20), CondCP(2),
                                    GetEventUnitChara()};
    EXPECT_EQ(got, c.want) << c.what;
  }
}

TEST_F(Battlefield, TurnAndCommandWords) {
  s().turn_counter = 7;
  Battle().player.last_choice = 18;
  EXPECT_EQ(CondT(), 7);
  EXPECT_EQ(CondM(18), 1);
  EXPECT_EQ(CondM(2), 0);
  EXPECT_EQ(CondM(18 + 256), 0);
  s().turn_counter = 65535;
  EXPECT_EQ(CondT(), 65535);
}

// ---- Positions ----

TEST_F(Battlefield, CellPositionsAddAndTakeTheHeightAsGiven) {
  // Cell (5, 12): snapped (480, 264); height 2 in the first grid, 3 in the second.
  board.SetCell(5, 12, CellWord(2));
  board.SetCell2(5, 12, CellWord(3));
  const SlgRangePos cell = CellPos(5, 12);
  const int32_t x = cell.x + 10;  // inside the cell, off its snapped point
  const int32_t y = cell.y + 30;
  struct Case {
    const char* what;
    SlgPoint got, want;
  };
  const Case cases[] = {
      {"CellToPosHeight", CellToPosHeight(x, y), {cell.x, cell.y + 96}},
      {"CellPosLift", CellPosLift(x, y), {x, y + 96}},
      {"CellPosDrop", CellPosDrop(x, y), {x, y - 144}},
      {"CellToPosHeight on cell (5, 16), height 0", CellToPosHeight(x, y + 96),
       {CellPos(5, 16).x, CellPos(5, 16).y}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got.x, c.want.x) << c.what;
    EXPECT_EQ(c.got.y, c.want.y) << c.what;
  }
  EXPECT_EQ(CondXF(x, y), cell.x);
  EXPECT_EQ(CondYF(x, y), cell.y + 96);

  // A unit's cell: its snapped position, (-1, -1) when absent.
  const SlgRangePos hero = CellPos(4, 20);
  EXPECT_EQ(CondXGU(0, 0), hero.x);
  EXPECT_EQ(CondYGU(0, 0), hero.y);
  EXPECT_EQ(CondXGU(0, 99), -1);
  EXPECT_EQ(CondYGU(0, 99), -1);
}

TEST_F(Battlefield, AdjacencyDirectionByNeighbour) {
  struct Case {
    int column, row;  // where the enemy of kind 20 stands; the hero is on (4, 20)
    int direction;
  };
  const Case cases[] = {
      {4, 19, 0},  // dx -48, dy +24
      {4, 21, 1},  // dx -48, dy -24
      {3, 21, 2},  // dx +48, dy -24
      {3, 19, 3},  // dx +48, dy +24
      {4, 22, 4},  // two rows down: not a neighbour
      {5, 20, 4},  // the next cell of the row: dx -96
      {4, 20, 4},  // the same cell
  };
  for (const Case& c : cases) {
    MoveTo(kEnemy1, c.column, c.row);
    EXPECT_EQ(CondUAJ(0, 0, 1, 20), c.direction) << c.column << ", " << c.row;
  }
  MoveTo(kEnemy1, 4, 21);
  EXPECT_EQ(CondUAJ(0, 0, 1, 99), 4);   // the second unit absent
  EXPECT_EQ(CondUAJ(0, 99, 1, 20), 4);  // the first unit absent
}

TEST_F(Battlefield, LineSideByDirectionAndPoint) {
  // The hero stands at (384, 480), the centre of cell (4, 20).
  EXPECT_EQ(CondLP(3, 1, 384, 480), INT32_MIN);  // heroine 3 is absent
  EXPECT_EQ(CondLP(kHero, 1, 384, 480), -48);     // (0) - 2 x (480 - 456)
  EXPECT_EQ(CondLP(kHero, -1, 384, 480), 48);
  EXPECT_LT(CondLP(kHero, 1, 480, 480), 0);  // a line to the right of the hero
  EXPECT_GT(CondLP(kHero, 1, 192, 480), 0);  // to the left
  // The point is raised by its cell's height: cell (4, 20) at height 1 moves it 48 down.
  board.SetCell(4, 20, CellWord(1));
  EXPECT_EQ(CondLP(kHero, 1, 384, 480), 48);
}

// ---- Chance ----

TEST_F(Battlefield, ChanceFollowsTheLow16BitsOfTheBattlesRandom) {
  int32_t value = 0;
  Battle().rand_seam.script = [&] { return value; };
  struct Case {
    int32_t percent;
    int trues;
  };
  for (const Case c : {Case{20, 13108}, Case{0, 0}, Case{100, 65536}, Case{50, 32768},
                       Case{-5, 0}, Case{1000, 65536}}) {
    int trues = 0;
    for (value = 0; value < 65536; ++value) trues += CondR(c.percent);
    EXPECT_EQ(trues, c.trues) << c.percent;
  }
  // Only the low 16 bits count.
  value = 0x7FFF0000;
  EXPECT_EQ(CondR(1), 1);
  value = 0x0001FFFF;
  EXPECT_EQ(CondR(99), 0);

  // On the seeded generator: the same sequence after the same seed, and it varies.
  Battle().rand_seam.script = nullptr;
  auto draw = [] {
    std::vector<int> v;
    for (int i = 0; i < 200; ++i) v.push_back(CondR(50));
    return v;
  };
  SeedRandom(1234);
  const std::vector<int> first = draw();
  SeedRandom(1234);
  EXPECT_EQ(draw(), first);
  int trues = 0;
  for (int v : first) trues += v;
  EXPECT_GT(trues, 50);
  EXPECT_LT(trues, 150);
  // One battle random number per test.
  const uint32_t calls = Battle().rand_seam.calls;
  CondR(50);
  EXPECT_EQ(Battle().rand_seam.calls, calls + 1);
}

// ---- Flags and script variables ----

TEST_F(Battlefield, FlagsAndScriptVariablesRefuseIdsOutsideTheirRange) {
  SetEventFlag(9);
  EXPECT_EQ(CondF(9), 1);
  EXPECT_EQ(CondF(8), 0);
  EXPECT_EQ(CondF(-1), 1);
  EXPECT_EQ(CondF(2048), 1);
  EXPECT_EQ(CondF(INT32_MAX), 1);

  SetMacroP(99, 65535);
  SetMacroP(0, 12);
  EXPECT_EQ(CondFAD(99), 65535);
  EXPECT_EQ(CondFAD(0), 12);
  for (int32_t i : {100, -1, 65535, INT32_MIN, INT32_MAX}) {
    testsupport::TraceCapture trace;
    EXPECT_EQ(CondFAD(i), 0) << i;
    EXPECT_TRUE(trace.Contains("out of range 0-99")) << i;
  }
  testsupport::TraceCapture trace;
  SlgSetMacroP(100, 7);
  SlgSetMacroP(-1, 7);
  EXPECT_EQ(trace.Count("out of range 0-99"), 2);
  EXPECT_EQ(SlgGetMacroP(99), 65535);  // the neighbour is untouched
}

// ---- Heroine variables ----

TEST_F(Battlefield, TrustAndSecondVariablesWithTheirBias) {
  SetTrustVar(2, 5);
  EXPECT_EQ(GetMacroP(21), 32773);
  EXPECT_EQ(GetTrustVar(2), 5);
  EXPECT_EQ(CondRI(2), 5);
  SetTrustVar(6, -32768);
  EXPECT_EQ(GetMacroP(41), 0);
  SetHeroineVar2(4, -3);
  EXPECT_EQ(GetMacroP(50), 32765);
  EXPECT_EQ(GetHeroineVar2(4), -3);

  // Any other number reads heroine 1's variables and writes nothing.
  SetMacroP(11, 32768 + 9);
  SetMacroP(10, 32768 + 4);
  EXPECT_EQ(GetTrustVar(7), 9);
  EXPECT_EQ(GetHeroineVar2(0), 4);
  EXPECT_EQ(GetHeroineVar2(-1), 4);
  std::array<uint16_t, 100> before{};
  for (int i = 0; i < 100; ++i) before[static_cast<size_t>(i)] = GetMacroP(i);
  SetTrustVar(7, 100);
  SetTrustVar(0, 100);
  SetHeroineVar2(7, 100);
  SetHeroineVar2(INT32_MIN, 100);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(GetMacroP(i), before[static_cast<size_t>(i)]) << i;
}

TEST_F(Battlefield, SettingTrustRecomputesOnlyThatHeroinesUnit) {
  // Stale totals show which units were recomputed.
  for (int slot = 0; slot < s().unit_count; ++slot) U(slot).stats.total_attack = 0;
  SetTrustVar(2, 30);  // trust 30 gives heroine 2 a bonus
  const SlgUnit& h2 = U(kHeroine2Slot);
  EXPECT_GT(h2.stats.trust_attack, 0);
  EXPECT_EQ(h2.stats.total_attack, h2.stats.attack + h2.stats.extra_attack + h2.stats.trust_attack);
  for (int slot = 0; slot < s().unit_count; ++slot) {
    if (slot == kHeroine2Slot) continue;
    EXPECT_EQ(U(slot).stats.total_attack, 0) << slot;
  }
  // Heroine 3 has no unit: nothing is recomputed.
  U(kHeroine2Slot).stats.total_attack = 0;
  SetTrustVar(3, 30);
  for (int slot = 0; slot < s().unit_count; ++slot) {
    EXPECT_EQ(U(slot).stats.total_attack, 0) << slot;
  }
}

TEST(TopHeroine, StrictlyGreaterWinsSoTiesGoToTheLowest) {
  constexpr uint32_t kAll = 0x3F;
  struct Case {
    const char* what;
    std::array<int32_t, 6> values;
    uint32_t eligible;
    int want;
  };
  const Case cases[] = {
      {"highest", {1, 5, 3, 9, 2, 0}, kAll, 4},
      {"tie", {1, 9, 3, 9, 9, 0}, kAll, 2},
      {"all equal", {4, 4, 4, 4, 4, 4}, kAll, 1},
      {"all the smallest value", {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                                  INT32_MIN}, kAll, 1},
      {"the smallest value then more", {INT32_MIN, INT32_MIN, -1, INT32_MIN, 0, 0}, kAll, 5},
      {"none eligible", {1, 5, 3, 9, 2, 0}, 0, 1},
      {"only 3 and 6", {1, 5, 3, 9, 2, 7}, 0x24, 6},
  };
  for (const Case& c : cases) EXPECT_EQ(TopHeroine(c.values, c.eligible), c.want) << c.what;
}

TEST_F(Battlefield, MaximumSearchesOverAllAndOverThePresent) {
  // Trust: heroine 4 highest, 2 and 5 tied below her; heroines 1 and 2 are on the map.
  const std::array<int32_t, 6> trust = {3, 8, 0, 12, 8, -40};
  const std::array<int32_t, 6> second = {0, 2, 6, 1, 6, -2};
  for (int32_t h = 1; h <= 6; ++h) {
    SetTrustVar(h, trust[static_cast<size_t>(h - 1)]);
    SetHeroineVar2(h, second[static_cast<size_t>(h - 1)]);
  }
  EXPECT_EQ(CondIMR(), 4);
  EXPECT_EQ(GetTopTrustHeroine(), 4);
  EXPECT_EQ(GetFavouriteChara(), 2);
  EXPECT_EQ(GetTopHeroineVar2(), 3);
  EXPECT_EQ(GetTopPresentHeroineVar2(), 2);
  // Heroine 2's unit removed: heroine 1 is the only one present.
  U(kHeroine2Slot).step = kSlgDeadStep;
  EXPECT_EQ(GetFavouriteChara(), 1);
  // Nobody present: 1.
  U(kHeroine1Slot).step = kSlgDeadStep;
  SetTrustVar(1, -100);
  EXPECT_EQ(GetFavouriteChara(), 1);
  EXPECT_EQ(GetTopPresentHeroineVar2(), 1);
}

// ---- The condition language on the battle's table ----

TEST_F(Battlefield, TheBattlesTableCallsEachQueryByItsKeyword) {
  // A state in which the 25 queries give answers that tell them apart where they can.
  SetEventFlag(9);
  SetMacroP(42, 4242);
  s().turn_counter = 31;
  Battle().player.last_choice = 18;
  s().acting_unit = kHeroSlot;
  s().previous_acting = kHeroine1Slot;
  s().turn_flags = 0x800C;
  Battle().event_unit_ref = {kEnemy1, kHeroine2Slot};
  U(kHeroSlot).stats.life = 30;
  SetTrustVar(5, 40);
  MoveTo(kEnemy1, 4, 19);
  board.SetCell(5, 12, CellWord(2));
  Battle().rand_seam.script = [] { return 0x1000; };
  struct Case {
    const char* text;
    int32_t want;
  };
  const Case cases[] = {
      {"F(9);", CondF(9)},
      {"FAD(42);", CondFAD(42)},
      {"R(7);", CondR(7)},
      {"M(18);", CondM(18)},
      {"T();", CondT()},
      {"NG(4);", CondNG(4)},
      {"NP(3);", CondNP(3)},
      {"NU(20);", CondNU(20)},
      {"UAJ(0,0,1,20);", CondUAJ(0, 0, 1, 20)},
      {"PP(0);", CondPP(0)},
      {"PFP(1);", CondPFP(1)},
      {"PGU(0,0);", CondPGU(0, 0)},
      {"FGU(0,1);", CondFGU(0, 1)},
      {"HP(0,25);", CondHP(0, 25)},
      {"HGU(1,23,0);", CondHGU(1, 23, 0)},
      {"IMR();", CondIMR()},
      {"RI(5);", CondRI(5)},
      {"KP(0);", CondKP(0)},
      {"KGU(1,20);", CondKGU(1, 20)},
      {"CP(2);", CondCP(2)},
      {"LP(0,1,192,480);", CondLP(0, 1, 192, 480)},
      {"XF(490,294);", CondXF(490, 294)},
      {"YF(490,294);", CondYF(490, 294)},
      {"XGU(1,20);", CondXGU(1, 20)},
      {"YGU(1,20);", CondYGU(1, 20)},
  };
  for (const Case& c : cases) EXPECT_EQ(CondEval(c.text), c.want) << c.text;
  // The answers the state above gives, so that a swap of two entries shows.
  EXPECT_EQ(CondEval("FAD(42);"), 4242);
  EXPECT_EQ(CondEval("T();"), 31);
  EXPECT_EQ(CondEval("UAJ(0,0,1,20);"), 0);
  EXPECT_EQ(CondEval("PFP(1)&FGU(0,1)&PP(0)&PGU(0,0)&KGU(1,20)&CP(2)&HP(0,25);"), 1);
  EXPECT_EQ(CondEval("IMR()=5&RI(5)=40;"), 1);
  EXPECT_EQ(CondEval("XF(490,294)=480&YF(490,294)=360;"), 1);
  EXPECT_EQ(CondEval("XGU(1,20)=432&YGU(1,20)=432;"), 1);
  EXPECT_EQ(CondEval("LP(0,1,192,480);"), 144);
  EXPECT_EQ(CondEval("F(9)&M(18)&NG(4)&NP(3)&!NU(20)&!KP(0)&!R(6)&R(7);"), 1);
}

// ---- Battle words ----

TEST_F(Battlefield, TheDebugPriorityWordReadsThroughTheEventsAccessor) {
  EXPECT_EQ(EventDebugPriority(), 0u);
  Battle().debug_priority = 1;
  EXPECT_EQ(EventDebugPriority(), 1u);
}

// ---- Hostile arguments (run under the sanitizers) ----

TEST_F(Battlefield, ExtremeArgumentsWrapAndReadOnlyInsideTheGrids) {
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, 4095, INT32_MAX - 1, INT32_MAX};
  board.SetCell(21, 87, CellWord(31));
  board.SetCell(0, 0, CellWord(31));
  Battle().rand_seam.script = [] { return 0xFFFF; };
  int64_t sink = 0;
  for (int32_t a : extremes) {
    for (int32_t b : extremes) {
      sink += CondXF(a, b) + int64_t{CondYF(a, b)} + CondLP(kHero, a, a, b) + CondLP(kHero, b, b, a);
      sink += CellPosLift(a, b).y + int64_t{CellPosDrop(a, b).y};
      sink += CondHP(kHero, a) + CondHGU(1, 20, b) + CondR(a) + CondUAJ(a, b, a, b);
      sink += CondPGU(a, b) + CondKGU(a, b) + CondXGU(a, b) + CondM(a) + CondNG(a) + CondF(a);
    }
  }
  (void)sink;
  // The wrapped results keep the rule: R with a huge percent wraps rather than trapping.
  EXPECT_EQ(CondR(INT32_MIN), 0);  // INT32_MIN x 65536 wraps to 0
  EXPECT_EQ(CondR(INT32_MAX), 0);  // wraps to -65536
  U(kHeroSlot).stats.max_life = 120;
  U(kHeroSlot).stats.life = 120;
  EXPECT_EQ(CondHP(kHero, 100), 1);
  EXPECT_EQ(CondHP(kHero, INT32_MAX), 0);  // 120 x INT32_MAX wraps below 12000
}

}  // namespace
