// The summoner's programs on the rig's clock: kind 33's choice between its attacks and the summon
// (random numbers scripted by choosing the seed whose draws give the case), the summon sequence
// with its three units, its failures, and kind 45's one attack per action. Unit states the
// commands set are moved on by hand as in the enemy program's tests; the Satan's attack states
// run its own state table with a stub attack entry that records the variant it was given.

#include "battle/slg_summon.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_enemy.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_kind_states.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_search.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/files/random.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "tests/battle/board_rig.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::OnCell;

using board_rig::Cell;

constexpr uint16_t kFlagMapIdle = 0x4;
constexpr uint16_t kFlagSummoning = 0x80;

std::vector<uint16_t> g_variants;  // the variant each Satan attack was given
int g_stub_calls = 0;

void SatanStub(SlgUnit& unit, SlgPair& /*pos*/) {
  g_variants.push_back(Battle().attack.attack_kind);
  EndAttack(unit);
}
void StubRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  ++g_stub_calls;
  EndAttack(unit);
}

SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }

// The first seed whose fresh generator's draws pass `want`.
uint32_t SeedWhere(const std::function<bool(GameRandom&)>& want) {
  for (uint32_t seed = 1; seed < 100000; ++seed) {
    GameRandom g;
    g.Seed(seed);
    if (want(g)) return seed;
  }
  ADD_FAILURE() << "no seed gives the draws";
  return 1;
}

// A board on the rig with the system sprites, a Satan as the acting unit past its opening attack
// (event flag 110 set, kiai below its maximum), and its program driven one rig frame at a time.
class SummonRig : public board_rig::BoardRig {
 public:
  SummonRig() : BoardRig(2112, 2112) {
    SetEventFlag(kSatanActsFlag);
    BattleContext& b = rig.battle();
    b.satan_action = &SatanStub;
    b.tables.voice_files.assign(kSummonVoice + 1, "");
    b.tables.voice_files[kSummonVoice] = "summon.wav";
    g_variants.clear();
    g_stub_calls = 0;
  }
  // A unit on cell `c`, placed, with a life of 100 (its move as the entry gives it).
  uint8_t Add(Cell c, BoardUnit u) {
    const uint8_t slot = board.AddUnit(OnCell(c.first, c.second, u));
    Slg::PlaceUnit(U(slot));
    U(slot).stats.life = U(slot).stats.max_life = 100;
    return slot;
  }
  uint8_t Player(Cell c, uint8_t character = 0) {
    return Add(c, {.side = 0, .character = character, .kind = character, .category = 0});
  }
  uint8_t Satan(Cell c) {
    const uint8_t slot = Add(c, {.side = 1, .character = 30, .kind = kSlgKindSatan, .category = 1});
    U(slot).stats.kiai = 10;
    U(slot).stats.max_kiai = 100;
    BattleContext& b = rig.battle();
    b.state.acting_unit = slot;
    b.summoner_opening = 1;
    return slot;
  }
  // The stage entries the summons take their units from.
  void SummonEntries(std::vector<int> kinds) {
    for (int kind : kinds) {
      board.AddEntry(
          {.side = 1, .character = 40, .kind = static_cast<uint8_t>(kind), .category = 1});
    }
  }

  // One frame: the phase step, then the unit states moved on.
  void Frame() {
    rig.Step();
    EnemyPhaseStep(&work);
    for (uint32_t i = 0; i < Battle().state.unit_count; ++i) {
      SlgUnit& u = U(static_cast<uint8_t>(i));
      SlgPair pos{};
      if (u.kind == kSlgKindSatan && u.state >= 5 && u.state <= 7) {
        ActSatanUnit(u, pos);
        continue;
      }
      unit_state_moves::MoveStateOn(u);
    }
  }
  // Frames until the action ends (phase step 15), noting each new phase step and each change of
  // the step list's step; false after `limit` frames.
  bool RunAction(int limit, const std::function<void()>& each = [] {}) {
    for (int f = 0; f < limit; ++f) {
      Frame();
      each();
      if (phases.empty() || phases.back() != work.step) phases.push_back(work.step);
      if (work.step == kSlgPhaseStart) return true;
    }
    return false;
  }

  SlgMainWork work{};
  std::vector<int> phases;
};

// ---- Kind 33's choice ----

TEST(SatanChoice, VariantAndTargetByFlagsKiaiAndDraws) {
  // The second draw's test: d = (random >> 3) mod 10, or bit 3 of the number; none for -1.
  struct Case {
    const char* name;
    uint32_t opening;
    bool full_kiai;
    bool flag150;
    bool flag140;
    int second;  // the d wanted (flag 140 clear) or the bit wanted (flag 140 set); -1 none
    uint16_t variant;
    bool special;
  } cases[] = {
      {"opening whatever the rest: kiai full, flag 150, d 0", 0, true, true, false, 0, 2, false},
      {"full kiai", 1, true, true, false, 0, 3, true},
      {"flag 150 summons", 1, false, true, false, -1, 0, false},
      {"flag 140 clear, d 0", 1, false, false, false, 0, 0, false},
      {"flag 140 clear, d 3", 1, false, false, false, 3, 0, false},
      {"flag 140 clear, d 4", 1, false, false, false, 4, 1, false},
      {"flag 140 clear, d 7", 1, false, false, false, 7, 1, false},
      {"flag 140 clear, d 8", 1, false, false, false, 8, 2, false},
      {"flag 140 clear, d 9", 1, false, false, false, 9, 2, false},
      {"flag 140 set, bit 3 set", 1, false, false, true, 1, 0, false},
      {"flag 140 set, bit 3 clear", 1, false, false, true, 0, 1, false},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SummonRig r;
    // Two live side-0 units around a dead one and an ally of the Satan: the draw picks among
    // the live ones in slot order.
    const uint8_t hero = r.Player({4, 40}, 0);
    const uint8_t dead = r.Player({4, 44}, 1);
    U(dead).step = kSlgDeadStep;
    const uint8_t heroine = r.Player({4, 48}, 2);
    r.Add({12, 40}, {.side = 1, .character = 20, .kind = 14, .category = 1});
    const uint8_t satan = r.Satan({14, 40});
    BattleContext& b = r.rig.battle();
    b.summoner_opening = c.opening;
    if (c.full_kiai) U(satan).stats.kiai = 100;
    if (c.flag150) SetEventFlag(kSatanSummonsFlag);
    if (c.flag140) SetEventFlag(kSatanLaterOddsFlag);
    const int pick = row++ % 2;
    const uint32_t seed = SeedWhere([&](GameRandom& g) {
      if ((g.Next() >> 3) % 2 != pick) return false;
      if (c.second < 0) return true;
      const int n = g.Next();
      return c.flag140 ? ((n >> 3) & 1) == c.second : (n >> 3) % 10 == c.second;
    });
    SeedRandom(seed);
    r.work.step = kEnemyPhaseThink;
    b.enemy.think_step = 0;
    b.cmd.attack_mode = c.special ? 0 : 1;
    SatanChoose(&r.work);

    EXPECT_EQ(b.think_search.target, pick == 0 ? hero : heroine);
    EXPECT_EQ(b.attack.attack_kind, c.variant);
    EXPECT_EQ(b.summoner_opening, 1u);
    if (c.variant == kSatanSummoning) {
      EXPECT_EQ(b.enemy.think_step, 1);
      EXPECT_EQ(r.work.step, kEnemyPhaseThink);
    } else {
      EXPECT_EQ(b.enemy.think_step, 10);
      EXPECT_EQ(r.work.step, kEnemyPhaseAttack);
      EXPECT_EQ(U(satan).stats.attack_type, c.special ? 1 : 0);
      EXPECT_EQ(b.cmd.attack_mode, c.special ? 1 : 0);
      EXPECT_EQ(b.phase_sub, 0u);
    }
  }
}

TEST(SatanChoice, WithoutFlag110OrAnyPlayerUnitTheActionEndsAtOnce) {
  struct Case {
    const char* name;
    bool flag110;
    bool player;
  } cases[] = {
      {"event flag 110 clear", false, true},
      {"no live unit of side 0", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SummonRig r;
    if (c.player) {
      r.Player({4, 40});
    } else {
      U(r.Player({4, 40})).step = kSlgDeadStep;
    }
    const uint8_t satan = r.Satan({14, 40});
    if (!c.flag110) ClearEventFlag(kSatanActsFlag);
    r.rig.battle().flags = kFlagMapIdle;
    EXPECT_TRUE(r.RunAction(3));
    const BattleContext& b = r.rig.battle();
    EXPECT_EQ(b.control.action_done, 0);
    EXPECT_EQ(U(satan).state, 0);
    EXPECT_TRUE(g_variants.empty());
    EXPECT_EQ(b.flags & (kFlagMapIdle | kFlagSummoning), kFlagMapIdle);
  }
}

TEST(SatanProgram, AttacksWithTheChosenVariantThenEndsAfterTheWait) {
  SummonRig r;
  r.Player({13, 42});
  const uint8_t satan = r.Satan({14, 40});
  r.rig.battle().summoner_opening = 0;
  ASSERT_TRUE(r.RunAction(600));
  const std::vector<int> expected = {kEnemyPhaseThink, kEnemyPhaseAttack, kEnemyPhaseWait,
                                     kEnemyPhaseThink, kSlgPhaseStart};
  EXPECT_EQ(r.phases, expected);
  EXPECT_EQ(g_variants, std::vector<uint16_t>{kSatanCritical2}) << "the opening attack";
  EXPECT_EQ(r.rig.battle().control.action_done, kEnemyDidAttack);
  EXPECT_EQ(U(satan).state, 0);
}

TEST(SatanProgram, APendingFollowUpRunsOnceInsteadOfAnotherChoice) {
  // The action ended with a follow-up pending: turn control's state 16 leads to 22, which runs
  // the follow-up and passes the turn on; the Satan chooses nothing more.
  SummonRig r;
  r.Player({13, 42});
  const uint8_t satan = r.Satan({14, 40});
  U(satan).flags |= kUnitFollowUp;
  static int follow_ups = 0;
  follow_ups = 0;
  r.rig.battle().phases.follow_up = [](SlgUnit&) {
    ++follow_ups;
    return 0;
  };
  r.work.step = kSlgPhaseAgain;
  ASSERT_TRUE(r.RunAction(20));
  EXPECT_EQ(follow_ups, 1);
  EXPECT_EQ(U(satan).flags & kUnitFollowUp, 0u);
  EXPECT_TRUE(g_variants.empty());
  EXPECT_EQ(r.rig.battle().control.action_done, 0);
}

// ---- The summon ----

// Every cell a pixel of the summon rectangle falls in.
std::set<std::pair<int, int>> RectangleCells() {
  std::set<std::pair<int, int>> cells;
  for (int y = kSummonTop; y < kSummonTop + kSummonHeight; y += 4) {
    for (int x = kSummonLeft; x < kSummonLeft + kSummonWidth; x += 4) {
      const SlgCell c = PosToCell(x, y);
      cells.insert({c.column, c.row});
    }
  }
  return cells;
}

// A Satan with flag 150 set, the hero far from the rectangle, a unit on one of its cells.
struct SummonScene {
  explicit SummonScene(std::vector<int> kinds = {48, 49, 50}) {
    r.Player({2, 80});
    blocker = r.Add({12, 30}, {.side = 1, .character = 21, .kind = 14, .category = 1});
    satan = r.Satan({2, 10});
    r.SummonEntries(std::move(kinds));
    SetEventFlag(kSatanSummonsFlag);
    r.rig.battle().flags = kFlagMapIdle;
    before = r.rig.battle().state.unit_count;
  }
  SummonRig r;
  uint8_t blocker = 0;
  uint8_t satan = 0;
  uint16_t before = 0;
};

TEST(SatanSummon, ThreeUnitsOnFreeCellsFadedInOneAfterTheOther) {
  SummonScene s;
  SummonRig& r = s.r;
  testsupport::TraceCapture trace;
  const int order_before = r.rig.battle().order.count;
  // Frame numbers of each step's start and of each summon, the camera's unit when each fade
  // starts, the summoned unit's shown flag and blend word just after it appears.
  std::vector<std::pair<int, int>> steps;  // (step, frame)
  std::vector<int> summoned_at;
  std::vector<uint16_t> followed_at_fade;
  std::vector<std::pair<uint32_t, uint16_t>> fresh;  // (shown flag, blend word)
  bool flags_during = true;
  int frame = 0;
  ASSERT_TRUE(r.RunAction(600, [&] {
    ++frame;
    const BattleContext& b = Battle();
    const int step = b.enemy.think_step;
    if (r.work.step == kEnemyPhaseThink && (steps.empty() || steps.back().first != step)) {
      steps.push_back({step, frame});
      if (step == 5 || step == 7 || step == 9) followed_at_fade.push_back(b.camera.followed);
    }
    if (b.state.unit_count > s.before + summoned_at.size()) {
      summoned_at.push_back(frame);
      const SlgUnit& u = b.state.units[b.state.unit_count - 1];
      fresh.push_back({u.flags & kUnitShown, u.anm != nullptr ? u.anm->shade : uint16_t{1}});
    }
    if (step >= 2 && step <= 9 && r.work.step == kEnemyPhaseThink)
      flags_during = flags_during && (b.flags & (kFlagMapIdle | kFlagSummoning)) == kFlagSummoning;
  }));
  const BattleContext& b = r.rig.battle();
  ASSERT_EQ(b.state.unit_count, s.before + 3);
  EXPECT_EQ(b.attack.attack_kind, kSatanSummoning);
  EXPECT_TRUE(g_variants.empty()) << "no attack";
  EXPECT_EQ(b.control.action_done, 0);

  // The units: kinds 48-50 on distinct free, unblocked cells of the rectangle, in the order,
  // at depths 512, 576 and 640, shown at full level in the end.
  const std::set<std::pair<int, int>> rect = RectangleCells();
  std::set<std::pair<int, int>> taken;
  const SlgUnit& blocker = U(s.blocker);
  taken.insert({PosToCell(blocker.x >> 16, blocker.y >> 16).column,
                PosToCell(blocker.x >> 16, blocker.y >> 16).row});
  for (int n = 0; n < 3; ++n) {
    SCOPED_TRACE(n);
    const uint8_t slot = static_cast<uint8_t>(s.before + n);
    const SlgUnit& u = U(slot);
    EXPECT_EQ(u.kind, 48 + n);
    const SlgPoint snap = SnapPosToCell(u.x >> 16, (u.y - u.lift) >> 16);
    const SlgCell cell = PosToCell(snap.x, snap.y + 24);
    EXPECT_TRUE(rect.count({cell.column, cell.row})) << cell.column << ", " << cell.row;
    EXPECT_TRUE(taken.insert({cell.column, cell.row}).second) << "a free cell";
    EXPECT_EQ(GetUnitAtCell(cell.column, cell.row), slot);
    EXPECT_GE(Slg::OrderIndexOf(u), 0);
    ASSERT_NE(u.anm, nullptr);
    EXPECT_EQ(u.anm->depth, 512 + 64 * n);
    EXPECT_EQ(u.anm->shade, 0);
    EXPECT_NE(u.flags & kUnitShown, 0u);
    EXPECT_LE(u.dir, 3);
    EXPECT_EQ(u.deploy_state, 0);
    ASSERT_LT(static_cast<size_t>(n), fresh.size());
    EXPECT_EQ(fresh[static_cast<size_t>(n)].first, 0u) << "hidden until its fade";
    EXPECT_EQ(fresh[static_cast<size_t>(n)].second, kSummonFadeBlend);
  }
  EXPECT_EQ(b.order.count, order_before + 3);

  // The times: 60 frames' wait, then each fade 31 frames from its start to the next summon (or
  // to the end), the camera on the unit that fades.
  auto at = [&](int step) {
    for (const auto& [st, f] : steps)
      if (st == step) return f;
    ADD_FAILURE() << "step " << step << " never ran";
    return 0;
  };
  EXPECT_EQ(at(4) - at(3), kSummonWaitFrames);
  ASSERT_EQ(summoned_at.size(), 3u);
  EXPECT_EQ(summoned_at[0], at(4));
  // The rig's clock steps 17, 17, 16 ms: a 31-frame fade takes 31 or 32 rig frames.
  for (int fade : {summoned_at[1] - at(5), summoned_at[2] - at(7), at(10) - at(9)}) {
    EXPECT_GE(fade, kSummonFadeFrames);
    EXPECT_LE(fade, kSummonFadeFrames + 1);
  }
  EXPECT_EQ(followed_at_fade,
            (std::vector<uint16_t>{static_cast<uint16_t>(s.before),
                                   static_cast<uint16_t>(s.before + 1),
                                   static_cast<uint16_t>(s.before + 2)}));
  EXPECT_TRUE(trace.Contains("Voice = tamvik2\\Voice\\summon.wav"));
  EXPECT_TRUE(flags_during) << "bit 7 set and bit 2 clear while it summons";
  EXPECT_EQ(b.flags & (kFlagMapIdle | kFlagSummoning), kFlagMapIdle) << "restored at the end";
}

TEST(SatanSummon, FailuresEndTheSequenceWithTheFlagsRestored) {
  struct Case {
    const char* name;
    std::vector<int> kinds;
    std::function<void(SummonScene&)> set_up;
    int summoned;
    const char* trace;
    const char* not_traced;
  } cases[] = {
      {"every cell blocked: 256 draws, then none", {48, 49, 50},
       [](SummonScene& s) {
         for (int row = 0; row < kSlgGridRows; ++row)
           for (int column = 0; column < kSlgGridColumns; ++column)
             s.r.board.SetCell(column, row, testsupport::CellWord(0, kSlgCellAttackStop));
       },
       0, "no free cell in 256 draws", "SummonUnit 1"},
      {"no entry of kind 49: the second and the third are not summoned", {48, 50},
       [](SummonScene&) {}, 1, "no stage entry of kind 49", "SummonUnit 2"},
      {"32 units on the map", {48, 49, 50},
       [](SummonScene& s) {
         for (int i = 0; Battle().state.unit_count < kSummonMaxUnits; ++i)
           s.r.Add({2 + i % 8, 60 + 2 * (i / 8)},
                   {.side = 1, .character = 22, .kind = 14, .category = 1});
       },
       0, "32 units on the map", "SummonUnit 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SummonScene s(c.kinds);
    c.set_up(s);
    const uint16_t before = Battle().state.unit_count;
    testsupport::TraceCapture trace;
    // The blocked map: the draws are counted on the engine's generator.
    GameRandom expected = Ctx().random;
    ASSERT_TRUE(s.r.RunAction(600));
    EXPECT_EQ(Battle().state.unit_count, before + c.summoned);
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_FALSE(trace.Contains(c.not_traced));
    EXPECT_EQ(Battle().flags & (kFlagMapIdle | kFlagSummoning), kFlagMapIdle);
    EXPECT_TRUE(g_variants.empty());
    if (c.summoned == 0 && std::string(c.trace).find("draws") != std::string::npos) {
      // The choice draws the target; the summon 256 pairs.
      for (int i = 0; i < 1 + 2 * kSummonDraws; ++i) expected.Next();
      EXPECT_EQ(Ctx().random.state(), expected.state());
    }
  }
}

TEST(SatanSummon, FindStageEntryOfKindTakesTheFirstEntryOfTheKind) {
  SummonRig r;
  EXPECT_EQ(FindStageEntryOfKind(48), kNoStageEntry) << "an empty stage";
  r.SummonEntries({14, 48, 49, 48});
  EXPECT_EQ(FindStageEntryOfKind(48), 1);
  EXPECT_EQ(FindStageEntryOfKind(49), 2);
  EXPECT_EQ(FindStageEntryOfKind(50), kNoStageEntry);
  r.board.SpoilEntry(1);
  EXPECT_EQ(FindStageEntryOfKind(48), 3) << "an entry without a class is no entry of the kind";
}

TEST(SatanSummon, TheSameSeedGivesTheSameChoicesAndPositions) {
  // Two actions from one seed: the choice (flag 140 clear, the odds) and, when it summons, the
  // cells; run twice on fresh rigs.
  auto run = [](uint32_t seed) {
    SummonScene s;
    ClearEventFlag(kSatanSummonsFlag);
    SeedRandom(seed);
    std::vector<int> seen;
    for (int action = 0; action < 2; ++action) {
      s.r.work.step = kSlgPhaseFree;
      s.r.rig.battle().state.acting_unit = s.satan;
      s.r.phases.clear();
      EXPECT_TRUE(s.r.RunAction(600));
      seen.push_back(Battle().attack.attack_kind);
      seen.push_back(Battle().think_search.target);
    }
    for (uint32_t i = s.before; i < Battle().state.unit_count; ++i) {
      seen.push_back(U(static_cast<uint8_t>(i)).x);
      seen.push_back(U(static_cast<uint8_t>(i)).y);
    }
    return seen;
  };
  // A seed whose first choice summons (d below 4).
  const uint32_t seed = SeedWhere([](GameRandom& g) {
    g.Next();
    return (g.Next() >> 3) % 10 < 4;
  });
  const std::vector<int> first = run(seed);
  EXPECT_EQ(first, run(seed));
  EXPECT_GT(first.size(), 4u) << "units were summoned";
}

// ---- Kind 45 ----

class StationaryRig : public SummonRig {
 public:
  uint8_t Box(Cell c) {
    const uint8_t slot =
        Add(c, {.side = 1, .character = 50, .kind = kSlgKindStationary, .category = 1});
    rig.battle().state.acting_unit = slot;
    rig.battle().action_table[kSlgKindStationary] = &StubRoutine;
    return slot;
  }
  // Starts another action of the box.
  void NextAction(uint8_t box) {
    BattleContext& b = rig.battle();
    b.state.acting_unit = box;
    b.control.action_done = 0;
    work.step = kSlgPhaseFree;
    phases.clear();
  }
};

TEST(StationaryProgram, StrikesOnceAnActionAtAUnitInRangeAndNeverMoves) {
  StationaryRig r;
  const uint8_t player = r.Player({10, 42});
  U(player).stats.life = U(player).stats.max_life = 30000;  // it outlives both hits
  const uint8_t box = r.Box({10, 40});
  const int32_t x = U(box).x;
  const int32_t y = U(box).y;
  for (int action = 1; action <= 2; ++action) {
    SCOPED_TRACE(action);
    r.NextAction(box);
    ASSERT_TRUE(r.RunAction(600));
    const std::vector<int> expected = {kEnemyPhaseThink, kEnemyPhaseAttack, kEnemyPhaseWait,
                                       kEnemyPhaseThink, kSlgPhaseStart};
    EXPECT_EQ(r.phases, expected);
    EXPECT_EQ(g_stub_calls, action) << "one attack an action";
    const BattleContext& b = r.rig.battle();
    EXPECT_EQ(b.control.action_done, kEnemyDidAttack);
    EXPECT_EQ(b.summon.stationary_gate, 0);
    EXPECT_EQ(b.enemy.next_step, 7);
    EXPECT_EQ(U(box).state, 0);
    EXPECT_EQ(U(box).x, x);
    EXPECT_EQ(U(box).y, y);
  }
}

TEST(StationaryProgram, NoUnitInRangeEndsTheActionWithoutMoving) {
  StationaryRig r;
  r.Player({10, 80});
  const uint8_t box = r.Box({10, 40});
  const int32_t x = U(box).x;
  const int32_t y = U(box).y;
  r.NextAction(box);
  ASSERT_TRUE(r.RunAction(2));
  EXPECT_EQ(g_stub_calls, 0);
  EXPECT_EQ(r.rig.battle().control.action_done, 0);
  EXPECT_EQ(r.rig.battle().summon.stationary_gate, 0);
  EXPECT_EQ(U(box).x, x);
  EXPECT_EQ(U(box).y, y);
}

}  // namespace
