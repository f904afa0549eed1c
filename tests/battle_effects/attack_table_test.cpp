// The whole attack table: every routine slot of the dispatch holds one of the game's routines and
// a row of this table plays it to its end; each kind's rows on the board road (the command, the
// lead-in, the hits and the end timeline as in a battle) and on the battle action task's road,
// each played twice; the normal and special rows again on the skipped-frame clock, ending alike;
// the empty kinds; and a battle torn down in the middle of an attack of every family.
//
// The rows play on the fixtures' default sets, which no family's own tests use: what a routine
// does with content it did not expect (fewer animations than it names) is checked here too.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <array>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_screen.h"
#include "battle/slg_start.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/gattai.h"
#include "testsupport/attack_rig.h"
#include "testsupport/attack_table.h"
#include "testsupport/trace_capture.h"
#include "tests/battle_effects/effect_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using testsupport::AttackCase;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::AttackRoad;
using namespace testsupport::attack_table;

// ---- The event flags and the hero's cover move ----

// The event flags 900-999 an attack sets when played alone on a fresh board: 951 + character
// after a player kind's attack (the end timeline's), and the boss specials' story flags: kind
// 28's first special 901, kind 29's 903, kind 30's 905.
std::set<int> FlagsOfOneAttack(int kind, int type) {
  std::set<int> flags;
  if (kind <= 13) flags.insert(951 + (kind <= 6 ? kind : kind - 7));
  if (type == 1 && kind == 28) flags.insert(901);
  if (type == 1 && kind == 29) flags.insert(903);
  if (type == 1 && kind == 30) flags.insert(905);
  return flags;
}

// The event flags 900-999 the recorder saw set.
std::set<int> FlagsSet(const AttackOutcome& out) {
  std::set<int> flags;
  for (const auto& line : out.lines) {
    int n = 0;
    char state[4] = {};
    if (std::sscanf(line.text.c_str(), "event %d %3s", &n, state) == 2 && n >= 900 && n <= 999 &&
        std::string(state) == "on") {
      flags.insert(n);
    }
  }
  return flags;
}

// The normal and special rows of the board again with frames skipped: the same states in the
// same order, the same hits, lives, positions and event flags.
void ExpectSameOnTheSkippedClock(const AttackCase& row, const AttackOutcome& at_one_frame) {
  AttackCase skipped = row;
  skipped.name += "_skipped";
  skipped.step_ms = 50;
  const AttackOutcome out = testsupport::PlayAttackCase(skipped);
  for (const std::string& f : out.failures) ADD_FAILURE() << skipped.name << ": " << f;
  const auto lines = [](const AttackOutcome& o) {
    std::vector<std::string> kept;
    for (const auto& line : o.lines) {
      const std::string& t = line.text;
      if ((t.rfind("unit ", 0) == 0 && t.find(" shown ") == std::string::npos) ||
          t.rfind("event ", 0) == 0 || t.rfind("routine ", 0) == 0) {
        kept.push_back(t);
      }
    }
    // A hit signal may come and go within one skipped step: which units carried it counts.
    std::set<std::string> hits;
    std::vector<std::string> rest;
    for (const std::string& t : kept) {
      if (t.find(" hit ") != std::string::npos) {
        hits.insert(t.substr(0, t.find(" hit ")));
      } else {
        rest.push_back(t);
      }
    }
    rest.insert(rest.end(), hits.begin(), hits.end());
    return rest;
  };
  EXPECT_EQ(lines(out), lines(at_one_frame)) << skipped.name;
  EXPECT_EQ(out.units, at_one_frame.units) << skipped.name << ": the units end otherwise";
}

// Kind 28's special once its first special's flag 901 is set: 910 instead, 901 kept.
constexpr int kSecondSpecialKind = 28;
void ExpectSecondSpecialFlag(const AttackCase& row) {
  AttackCase again = row;
  again.name += "_after_901";
  const auto before = row.before;
  again.before = [before](AttackRig& r) {
    SetEventFlag(901);
    if (before) before(r);
  };
  const AttackOutcome out = testsupport::ExpectAttackCase(again);
  // 901, set before the attack, is seen set as well; the attack adds 910 and keeps 901.
  EXPECT_EQ(FlagsSet(out), (std::set<int>{901, 910})) << again.name << ": event flags";
  for (const auto& line : out.lines) EXPECT_NE(line.text, "event 901 off") << again.name;
}

void PlayFamily(const Family& family) {
  for (int kind : family.kinds) {
    for (const AttackCase& row : KindRows(kind)) {
      const AttackOutcome out = testsupport::ExpectAttackCase(row);
      if (row.road != AttackRoad::kBoard) continue;
      const int type = kind == kSatanKind ? 0 : row.type;
      EXPECT_EQ(FlagsSet(out), FlagsOfOneAttack(kind, type)) << row.name << ": event flags";
      if (row.type <= 1) ExpectSameOnTheSkippedClock(row, out);
      if (kind == kSecondSpecialKind && row.type == 1) ExpectSecondSpecialFlag(row);
    }
  }
}

std::string FamilyName(const testing::TestParamInfo<Family>& info) { return info.param.name; }

class AttackTable : public testing::TestWithParam<Family> {};

TEST_P(AttackTable, EveryRowPlaysToItsEndTwiceAlikeOnBothRoadsAndClocks) { PlayFamily(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Family, AttackTable, testing::ValuesIn(Families()),
                         &FamilyName);

// An enemy's attack on a heroine the hero covers, played by the game's routines: the hero takes
// her place (state 14) and, once the attack is over, stands on his own cell again. Every enemy
// kind of the family with a routine but Satan (whose attacks strike no unit).
class AttackTableCover : public testing::TestWithParam<Family> {};

TEST_P(AttackTableCover, TheHeroCoversAHeroineStruckByAnEnemyAndComesBack) {
  for (int kind : GetParam().kinds) {
    if (kind <= 13 || kind == kSatanKind) continue;
    AttackCase row = TableRow(kind, 0, 1, AttackLayout::kFront, AttackRoad::kBoard);
    SCOPED_TRACE(row.name + "_cover");
    row.more_kinds = {0};
    row.before = [before = row.before](AttackRig& r) {
      if (before) before(r);
      CoverTheFirstTarget(r, 0, 1);
    };
    AttackRig r(row);
    SlgUnit& hero = r.rig().battle().state.units[static_cast<size_t>(Slg::FindUnitByChara(0))];
    const int32_t home_x = hero.x, home_y = hero.y;
    r.Start();
    bool covered = false;
    for (int n = 0; n < row.frame_limit && !(covered && r.Ended() && hero.state == 0); ++n) {
      r.Step();
      covered = covered || hero.state == 14;
    }
    EXPECT_TRUE(covered) << "the hero never took the heroine's place";
    EXPECT_TRUE(r.Ended()) << "the attack did not end";
    EXPECT_EQ(hero.state, 0);
    EXPECT_EQ(hero.x, home_x) << "the hero is not back on his cell";
    EXPECT_EQ(hero.y, home_y) << "the hero is not back on his cell";
  }
}

INSTANTIATE_TEST_SUITE_P(Family, AttackTableCover, testing::ValuesIn(Families()), &FamilyName);

TEST(AttackTableCombination, EveryHeroineKindsCombinationA) {
  for (const AttackCase& row : CombinationRows({1, 2, 3, 4, 5, 6})) {
    testsupport::ExpectAttackCase(row);
  }
}

TEST(AttackTableCombination, EveryHeroineKindsCombinationB) {
  for (const AttackCase& row : CombinationRows({8, 9, 10, 11, 12, 13})) {
    testsupport::ExpectAttackCase(row);
  }
}

// ---- The content sweep ----

// Every routine of the family played on content it may meet (one play each, the harness's checks:
// state 7 within the watchdog, nothing left behind): the normal and special attacks of each kind
// with animations of one frame, of no frame, its effect slot missing and its pictures missing;
// then 20 seeded draws of animation lengths of 1-300 frames spread over the family's rows.
class AttackContent : public testing::TestWithParam<Family> {};

constexpr std::array<testsupport::AttackFixtures::Variant, 4> kContentVariants = {
    testsupport::AttackFixtures::Variant::kOneFrame, testsupport::AttackFixtures::Variant::kNoFrames,
    testsupport::AttackFixtures::Variant::kMissingSlot,
    testsupport::AttackFixtures::Variant::kMissingPicture};
constexpr int kSeededDraws = 20;
constexpr int kSeededOutlive = 3000;
constexpr int kSeededFrameLimit = 9000;

void ExpectPlays(const AttackCase& row) {
  const AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << row.name << ": " << testing::PrintToString(out.failures);
}

// The normal and special attack of each kind of the family.
std::vector<AttackCase> ContentRows(const Family& family) {
  std::vector<AttackCase> rows;
  for (int kind : family.kinds) {
    const std::vector<int> types = TypesOf(kind);
    for (size_t n = 0; n < 2; ++n) {
      rows.push_back(TableRow(kind, types[n], static_cast<int>(n), kLayouts[n], AttackRoad::kBoard));
    }
  }
  return rows;
}

TEST_P(AttackContent, EveryRoutinePlaysToItsEndOnContentItMayMeet) {
  for (const AttackCase& base : ContentRows(GetParam())) {
    for (const auto variant : kContentVariants) {
      AttackCase row = base;
      row.name += "_variant" + std::to_string(static_cast<int>(variant));
      row.variant = variant;
      // Without its effect slot an attack may end before its routine plays (its set-up refuses)
      // and play none of its sounds.
      if (variant == testsupport::AttackFixtures::Variant::kMissingSlot) {
        row.routine.clear();
        row.sounds.clear();
      }
      ExpectPlays(row);
    }
  }
}

TEST_P(AttackContent, EveryRoutinePlaysToItsEndOnSeededAnimationLengths) {
  const std::vector<AttackCase> rows = ContentRows(GetParam());
  for (int draw = 0; draw < kSeededDraws; ++draw) {
    AttackCase row = rows[static_cast<size_t>(draw) % rows.size()];
    // Effects the routine leaves playing end with their animations (up to 300 frames of 2 ticks,
    // some played one after another): the checks come once none is left.
    row.outlive = kSeededOutlive;
    row.outlive_until_quiet = true;
    // Routines that wait for their effects wait for animations up to 150 times the default's.
    row.frame_limit = kSeededFrameLimit;
    const auto seed = static_cast<uint32_t>(draw + 1);
    row.name += "_seed" + std::to_string(seed);
    row.fixtures = [seed](testsupport::AttackFixtures& f) { f.DrawLengths(seed); };
    ExpectPlays(row);
  }
}

INSTANTIATE_TEST_SUITE_P(Family, AttackContent, testing::ValuesIn(Families()), &FamilyName);

// ---- The coverage walk ----

// Every routine the table's rows must reach.
std::set<std::string> TableRoutines() {
  std::set<std::string> out;
  for (const Family& f : Families()) {
    for (int kind : f.kinds) {
      for (const AttackCase& row : KindRows(kind)) {
        if (!row.routine.empty()) out.insert(row.routine);
      }
    }
  }
  out.insert("GattaiAction");
  return out;
}

TEST(AttackTableCoverage, EverySlotHoldsAGameRoutineThatATableRowPlays) {
  const std::set<std::string> played = TableRoutines();
  const AttackRoutineSlots slots = DefaultAttackRoutines();
  std::set<int> in_families;
  for (const Family& f : Families()) in_families.insert(f.kinds.begin(), f.kinds.end());
  const auto expect_slot = [&](SlgAttackRoutine routine, const std::string& where) {
    SCOPED_TRACE(where);
    ASSERT_NE(routine, nullptr) << "an empty slot";
    const std::string name = NameOf(routine);
    EXPECT_FALSE(name.empty()) << "a slot holds a routine that is not the game's";
    EXPECT_TRUE(played.count(name) != 0) << name << ": no row of the table plays it";
  };
  for (int kind = 0; kind < kSlgActionRows; ++kind) {
    const AttackKindRoutines& r = slots.kinds[static_cast<size_t>(kind)];
    const std::string where = "kind " + std::to_string(kind);
    switch (AttackShapeOf(kind)) {
      case AttackShape::kEmpty:
        EXPECT_EQ(r.normal, nullptr) << where;
        EXPECT_EQ(r.special, nullptr) << where;
        EXPECT_EQ(r.critical, nullptr) << where;
        continue;
      case AttackShape::kHero:
      case AttackShape::kSatan:
        expect_slot(r.critical, where + " critical");
        [[fallthrough]];
      case AttackShape::kPlayer:
      case AttackShape::kTwoWay:
        expect_slot(r.special, where + " special");
        [[fallthrough]];
      case AttackShape::kDirect:
        expect_slot(r.normal, where + " normal");
        break;
    }
    EXPECT_TRUE(in_families.count(kind) != 0) << where << " is in no family of the table";
  }
  EXPECT_NE(slots.hero_setup, nullptr);
  expect_slot(slots.gattai, "the combination");
  EXPECT_EQ(slots.hero_cover, &KadrunCover);
}

TEST(AttackTableCoverage, TheInstalledTablesCallTheDispatchInEveryRowButTheEmptyOnes) {
  AttackRig r({.name = "coverage", .kind = 14, .layout = AttackLayout::kNone});
  const BattleContext& b = Battle();
  for (int kind = 0; kind < kSlgActionRows; ++kind) {
    SCOPED_TRACE(kind);
    const bool empty = AttackShapeOf(kind) == AttackShape::kEmpty;
    if (kind == kSatanKind) {
      EXPECT_EQ(b.action_table[static_cast<size_t>(kind)], nullptr) << "the core copy has no row 33";
      EXPECT_NE(b.satan_action, nullptr);
      continue;
    }
    EXPECT_EQ(b.action_table[static_cast<size_t>(kind)] == nullptr, empty);
  }
  for (size_t k = 0; k < b.gattai_table.size(); ++k) {
    EXPECT_EQ(b.gattai_table[k] == nullptr, k == 0 || k == 7) << "combination row " << k;
  }
}

// A heroine part runs its own states: its task lives on after its set-up (a placeholder that
// played no part would end at once).
TEST(AttackTableCoverage, EveryCombinationCharacterPlaysAPartOfItsOwn) {
  for (int character = 0; character < kGattaiCharacters; ++character) {
    SCOPED_TRACE("character " + std::to_string(character));
    AttackCase row = TableRow(1, kTypeCombination, 1, AttackLayout::kFront, AttackRoad::kBoard);
    row.before = [character](AttackRig& r) {
      r.attacker().character = static_cast<uint8_t>(character);
    };
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    int born = -1, gone = -1;
    for (const auto& line : out.lines) {
      if (line.text.rfind("task+ Gattai::EachCharacter", 0) == 0 && born < 0) born = line.frame;
      if (line.text == "task- Gattai::EachCharacter") gone = line.frame;
    }
    ASSERT_GE(born, 0);
    EXPECT_GT(gone - born, 30) << "the part played nothing of its own";
  }
}

// Kinds 36-47 and 51 have no routine: a unit of such a kind in its attack state calls nothing
// and ends through the core's empty-row end, with its trace.
TEST(AttackTableCoverage, TheEmptyKindsCallNothingAndEndAtOnce) {
  AttackRig r({.name = "empty", .kind = 14, .layout = AttackLayout::kNone});
  SlgUnit& unit = r.attacker();
  for (int kind = 0; kind < kSlgActionRows; ++kind) {
    if (AttackShapeOf(kind) != AttackShape::kEmpty) continue;
    SCOPED_TRACE("kind " + std::to_string(kind));
    testsupport::TraceCapture trace;
    unit.kind = static_cast<uint8_t>(kind);
    SetUnitState(unit, 6);
    const uint32_t calls = r.dispatch().calls;
    SlgPair pos{};
    Slg::AttackState(unit, pos);
    EXPECT_EQ(unit.state, 7);
    EXPECT_EQ(r.dispatch().calls, calls) << "a routine was called";
    EXPECT_TRUE(trace.Contains("kind " + std::to_string(kind) + " has no attack routine"));
  }
}


// ---- Teardown in the middle of an attack ----

// Whether memory was lost since the start of the process (LeakSanitizer's check, which goes on
// after a finding; false without it).
bool MemoryLost() {
#if defined(__SANITIZE_ADDRESS__)
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

enum class Teardown { kContextEnds, kExit, kSwitch };

// Frames a stage switch is given to tear the battle down (the switch without a fade does it in
// its first frame).
constexpr int kSwitchFrames = 4;

// Plays the row to the middle of its attack state, then ends the battle there: the rig (and its
// battle context) goes, after the battle's exit for kExit; for kSwitch the stage is switched (to
// a map without the fade) and played on a few frames, the context kept: the attack's effect tasks
// are gone and its animation sets given back before the rig goes. Nothing may be lost.
void ExpectCleanTeardown(const AttackCase& row, Teardown how) {
  const AttackOutcome whole = testsupport::PlayAttackCase(row);
  int six = -1;
  for (const auto& line : whole.lines) {
    if (six < 0 && line.text.find(" state 6") != std::string::npos) six = line.frame;
  }
  const int middle = std::max(1, (std::max(six, 0) + whole.state7_frame) / 2);
  {
    AttackRig r(row);
    r.Start();
    while (r.frames() < middle) r.Step();
    if (how == Teardown::kExit) {
      BattleContext& b = Battle();
      b.control.built = 1;
      Slg::ExitSlg();
      EXPECT_TRUE(AttackRig::LiveTaskNames().empty())
          << row.name << ": effect tasks outlive the exit: "
          << testing::PrintToString(AttackRig::LiveTaskNames());
    }
    if (how == Teardown::kSwitch) {
      // The rig's main task stands in for the battle's, which the switch ends.
      Battle().control.built = 1;
      Ctx().game_task.DelTask(Ctx().game_task.FindTask("AttackRig::Main"));
      Slg::SwitchStage(1);
      for (int n = 0; n < kSwitchFrames; ++n) r.Step();
      std::vector<std::string> live = AttackRig::LiveTaskNames();
      std::erase(live, std::string("Slg::SlgInitTask"));  // the next stage's
      EXPECT_TRUE(live.empty()) << row.name << ": effect tasks outlive the stage switch: "
                                << testing::PrintToString(live);
      EXPECT_EQ(testsupport::AttackTrace::LiveAnimations(), 0)
          << row.name << ": animations outlive the switch";
    }
  }
  EXPECT_FALSE(MemoryLost()) << row.name << " ended at frame " << middle << " loses memory";
}

class AttackTeardown : public testing::TestWithParam<Family> {};

TEST_P(AttackTeardown, ABattleEndedInTheMiddleOfAnAttackLeavesNothingBehind) {
  for (int kind : GetParam().kinds) {
    const std::vector<int> types = TypesOf(kind);
    for (size_t n = 0; n < 2; ++n) {
      AttackCase row = TableRow(kind, types[n], 1, AttackLayout::kFront, AttackRoad::kBoard);
      ExpectCleanTeardown(row, n == 0 ? Teardown::kContextEnds : Teardown::kExit);
    }
  }
}

// The stage switched in the middle of the special attack of each kind (the heaviest of its
// routines: pictures, scenes and the most tasks).
TEST_P(AttackTeardown, AStageSwitchedInTheMiddleOfAnAttackLeavesNothingBehind) {
  for (int kind : GetParam().kinds) {
    const int type = TypesOf(kind)[1];
    ExpectCleanTeardown(TableRow(kind, type, 1, AttackLayout::kFront, AttackRoad::kBoard),
                        Teardown::kSwitch);
  }
}

INSTANTIATE_TEST_SUITE_P(Family, AttackTeardown, testing::ValuesIn(Families()),
                         &FamilyName);

TEST(AttackTeardownCombination, ABattleEndedInTheMiddleOfACombinationLeavesNothingBehind) {
  for (const AttackCase& row : CombinationRows({1, 2, 3, 4, 8, 9})) {
    ExpectCleanTeardown(row, row.kind % 2 == 0 ? Teardown::kContextEnds : Teardown::kExit);
  }
}


// ---- A long battle ----

// Attack after attack on one board: each kind's attacker plays its types in turn, five attacks on
// one rig, and after each the battle stands as before it (the invariant check: the allocator's
// balance, the live tasks, the sprite-buffer entries and polygons, the animations and the set
// references). Over the families, about 200 attacks.
void PlayLongBattle(int kind, int attacks) {
  const std::vector<int> types = TypesOf(kind);
  AttackCase first = TableRow(kind, types[0], 1, AttackLayout::kThree, AttackRoad::kBoard);
  AttackRig r(first);
  for (int n = 0; n < attacks; ++n) {
    const int type = types[static_cast<size_t>(n) % types.size()];
    AttackCase row = TableRow(kind, type, 1, AttackLayout::kThree, AttackRoad::kBoard);
    SCOPED_TRACE(row.name + " attack " + std::to_string(n));
    r.set_type(row.type);
    if (kind == kSatanKind) Battle().attack.attack_kind = static_cast<uint16_t>(type);
    for (int i = 0; i < Battle().state.unit_count; ++i) {
      SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
      u.stats.life = u.stats.max_life = 999;
    }
    r.Start();
    std::vector<std::string> failures = PlayToEnd(r, row);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    if (!failures.empty()) return;
  }
}

class AttackLongBattle : public testing::TestWithParam<Family> {};

TEST_P(AttackLongBattle, AttackAfterAttackOnOneBoardLeavesTheBattleAsBefore) {
  for (int kind : GetParam().kinds) PlayLongBattle(kind, 5);
}

INSTANTIATE_TEST_SUITE_P(Family, AttackLongBattle, testing::ValuesIn(Families()),
                         &FamilyName);

}  // namespace
