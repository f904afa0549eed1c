// The battle's main task on the rig: rounds on the minimal stage with the default phases, the
// two defeat roads with both answers, victory, the unit pass when a unit goes during it, and the
// map cursor by keys and mouse.

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/general_stand_ins.h"
#include "testsupport/program_driver.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;

bool TaskExists(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }

int StageSetups(BattleRig& rig) {
  int n = 0;
  for (const DebugTraceLine& line : rig.driver().trace().lines()) {
    if (line.text == "StageSetup StageNo=0\n") ++n;
  }
  return n;
}

// The minimal stage (the hero and one enemy) laid with its tables and sprites; the modes asked
// for recorded.
class BattleRun {
 public:
  BattleRun() {
    testsupport::MinimalStage().Lay(rig.driver().tree);
    testsupport::SlgTableWriter().Lay(rig.driver().tree);
    testsupport::SystemSpriteSet().Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(0);
    Game().sequences.set_mode = [this](int mode) {
      modes.push_back(mode);
      return 1;
    };
    // The stub phases that end each action at once, so that the rounds follow the order frame
    // by frame (the player and enemy phases' own rounds are their tests').
    rig.battle().phases.player = &SlgDefaultPlayerPhase;
    rig.battle().phases.enemy_step = &SlgDefaultEnemyStep;
  }
  // Starts the battle and runs until round 1 has started; whether it did.
  bool Start() {
    Slg::StartStage();
    return rig.RunUntil("round 1", [] { return Battle().state.round == 1; }, 60);
  }
  // Answers the game-over sequence once its task runs: `choice` (0 give up, 1 continue) with OK
  // when its menu shows; whether the task ended.
  bool Answer(int choice) {
    BattleContext& b = Battle();
    b.turn.game_over_step = 4;  // its menu appears
    b.game_over.choice = static_cast<uint16_t>(choice);
    if (!rig.RunUntil("menu", [] { return Battle().turn.game_over_step == 5; }, 30)) return false;
    rig.Schedule({testsupport::GameKeyDown(rig.frame(), 1u << 0)});
    rig.Step();
    rig.Schedule({testsupport::GameKeyUp(rig.frame(), 1u << 0)});
    return rig.RunUntil("answered", [] { return !TaskExists(kSlgGameOverTaskName); }, 200);
  }

  BattleRig rig;
  std::vector<int> modes;
};

TEST(SlgMainTask, TheFirstFrameStartsRoundOneAndRoundsFollowTheOrder) {
  BattleRun r;
  ASSERT_TRUE(r.Start());
  BattleContext& b = r.rig.battle();
  EXPECT_EQ(SlgGetMacroP(kSlgRoundVar), 1);
  EXPECT_EQ(b.state.turn_counter, 1);
  EXPECT_NE(b.state.turn_flags & kTurnNewRound, 0);
  EXPECT_EQ(b.first_frame, 0u);
  ASSERT_EQ(b.order.count, 2);
  const std::vector<int> order = {b.order.entries[0].slot, b.order.entries[1].slot};

  // Each unit acts in the order, once a round, with the default phases; rounds count on.
  std::vector<std::pair<int, int>> turns;  // (round, acting unit) as they change
  turns.emplace_back(b.state.round, b.state.acting_unit);
  for (int i = 0; i < 40 && b.state.round < 4; ++i) {
    ASSERT_TRUE(r.rig.Step());
    const std::pair<int, int> now{b.state.round, b.state.acting_unit};
    if (now != turns.back() && now.second != kSlgNoUnit) turns.push_back(now);
  }
  ASSERT_EQ(b.state.round, 4);
  EXPECT_EQ(SlgGetMacroP(kSlgRoundVar), 4);
  const std::vector<std::pair<int, int>> expected = {
      {1, order[0]}, {1, order[1]}, {2, order[0]}, {2, order[1]},
      {3, order[0]}, {3, order[1]}, {4, order[0]}};
  EXPECT_EQ(turns, expected);
  EXPECT_TRUE(r.modes.empty());
  EXPECT_TRUE(TaskExists(kSlgMainTask.name));
  // The cursor cell and its snap follow the focus each frame (phases that do nothing, so that
  // nothing moves the focus after turn control has read it).
  b.phases.player = [](SlgMainWork*) {};
  b.phases.enemy_step = [](SlgMainWork*) {};
  b.state.pointer = {-100 * 65536, 30 * 65536};
  ASSERT_TRUE(r.rig.Step());
  const SlgCell cell = PosToCell(b.state.focus_x, b.state.focus_y);
  const SlgPoint snap = SnapPosToCell(b.state.focus_x, b.state.focus_y);
  EXPECT_EQ(b.state.cursor_cell[0], cell.column);
  EXPECT_EQ(b.state.cursor_cell[1], cell.row);
  EXPECT_EQ(b.state.cursor_snap[0], snap.x);
  EXPECT_EQ(b.state.cursor_snap[1], snap.y);
}

TEST(SlgMainTask, TurnHoldSuspendsTurnControl) {
  BattleRun r;
  ASSERT_TRUE(r.Start());
  BattleContext& b = r.rig.battle();
  b.control.turn_hold = 1;
  const uint16_t acting = b.state.acting_unit;
  const uint8_t state = b.control.main_work->step;
  ASSERT_TRUE(r.rig.Run(10));
  EXPECT_EQ(b.state.acting_unit, acting);
  EXPECT_EQ(b.control.main_work->step, state);
  EXPECT_EQ(b.state.round, 1);
}

int g_phase_calls = 0;
void CountPhase(SlgMainWork* /*work*/) { ++g_phase_calls; }
// Phases that only count their calls (and never end a turn).
void CountPhases(BattleContext& b) {
  g_phase_calls = 0;
  b.phases.player = &CountPhase;
  b.phases.enemy_step = &CountPhase;
}

TEST(SlgMainTask, ARoundInWhichNobodyMayActLeavesNoUnitActing) {
  BattleRun r;
  ASSERT_TRUE(r.Start());
  BattleContext& b = r.rig.battle();
  CountPhases(b);
  for (int i = 0; i < b.state.unit_count; ++i) b.state.units[i].flags |= kUnitActed;
  b.state.order_pos = b.order.count;  // the round is over
  ASSERT_TRUE(r.rig.Step());
  EXPECT_EQ(b.state.round, 2);
  EXPECT_EQ(b.state.acting_unit, kSlgNoUnit);
  EXPECT_EQ(g_phase_calls, 0);  // last round's unit does not act again
}

// The acting unit gone during its own turn (an event removed it, its record dead or purged):
// phases that never end a turn by themselves, yet the turn passes on, to the next unit of the
// order or, the last one gone, to a new round.
TEST(SlgMainTask, AnActingUnitGoneDuringItsTurnPassesTheTurnOn) {
  enum Gone { kFirstDead, kLastDead, kLastSlotPurged };
  // The unit that goes, and the round in which the other unit acts.
  const struct {
    const char* name;
    Gone gone;
    int round;
  } cases[] = {
      {"the first of the order, dead", kFirstDead, 1},
      {"the last of the order, dead: a new round", kLastDead, 2},
      {"its record purged from the last slot", kLastSlotPurged, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BattleRun r;
    ASSERT_TRUE(r.Start());
    BattleContext& b = r.rig.battle();
    CountPhases(b);
    ASSERT_EQ(b.order.count, 2);
    int pos = c.gone == kFirstDead ? 0 : 1;
    if (c.gone == kLastSlotPurged) {
      pos = b.order.entries[0].slot > b.order.entries[1].slot ? 0 : 1;
    }
    if (pos != 0) Slg::SetActingUnit(pos);
    const uint16_t gone = b.state.acting_unit;
    const int other_entry = b.state.units[b.order.entries[1 - pos].slot].entry;
    b.state.units[gone].step = kSlgDeadStep;
    if (c.gone == kLastSlotPurged) Slg::PurgeDeadUnits();
    ASSERT_TRUE(r.rig.Run(3));
    EXPECT_EQ(b.state.round, c.round);
    const SlgUnit* acting = SlgActingUnit();
    ASSERT_NE(acting, nullptr) << "a unit acts";
    EXPECT_TRUE(SlgUnitLive(*acting));
    EXPECT_EQ(acting->entry, other_entry);
    EXPECT_GT(g_phase_calls, 0) << "its phase runs";
  }
}

TEST(SlgDefeat, BothRoadsEndInTheSequenceAndEachAnswerGoesItsWay) {
  enum Road { kOneRecordLeft, kLost };
  struct Case {
    const char* name;
    Road road;
    int answer;
  };
  const Case cases[] = {
      {"one record left, give up", kOneRecordLeft, 0},
      {"one record left, continue", kOneRecordLeft, 1},
      {"lost, give up", kLost, 0},
      {"lost, continue", kLost, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleRun r;
    SlgSetMacroP(11, 32768 + 5);
    ASSERT_TRUE(r.Start());
    BattleContext& b = r.rig.battle();
    SlgSetMacroP(11, 32768 + 20);  // trust won during the battle
    GetSystemData()->setBattleLost(0);
    if (c.road == kOneRecordLeft) {
      Slg::RemoveUnit(1);  // the enemy: the next round finds one record
      ASSERT_TRUE(r.rig.RunUntil("defeat", [] { return TaskExists(kSlgGameOverTaskName); }, 40));
      EXPECT_EQ(b.state.round, 2);
    } else {
      b.lost = 1;
      ASSERT_TRUE(r.rig.Step());
      EXPECT_TRUE(TaskExists(kSlgGameOverTaskName));
      EXPECT_EQ(b.state.round, 1);
    }
    EXPECT_EQ(b.control.main_work, nullptr);
    ASSERT_TRUE(r.rig.Step());
    EXPECT_FALSE(TaskExists(kSlgMainTask.name));

    ASSERT_TRUE(r.Answer(c.answer));
    if (c.answer == 0) {
      EXPECT_EQ(GetSystemData()->battleLost(), 1u);
      EXPECT_EQ(r.modes, std::vector<int>{kSlgReturnMode});
      EXPECT_EQ(b.running, 0u);
      continue;
    }
    // Continue: the trust as at the start, the same map built again.
    EXPECT_EQ(b.control.retry, 1u);
    EXPECT_EQ(SlgGetMacroP(11), 32768 + 5);
    const int setups = StageSetups(r.rig);
    ASSERT_TRUE(r.rig.RunUntil("rebuilt", [] { return Battle().control.retry == 0; }, 60));
    EXPECT_EQ(StageSetups(r.rig), setups + 1);
    ASSERT_TRUE(r.rig.RunUntil("round 1", [] { return Battle().state.round == 1; }, 10));
    EXPECT_EQ(b.state.unit_count, 2);
    EXPECT_EQ(b.lost, 0u);
    EXPECT_TRUE(TaskExists(kSlgMainTask.name));
    EXPECT_TRUE(r.modes.empty());
    EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  }
}

TEST(SlgDefeat, OneSequenceWhenBothRoadsMeetInAFrame) {
  BattleRun r;
  ASSERT_TRUE(r.Start());
  Slg::RemoveUnit(1);
  r.rig.battle().lost = 1;
  r.rig.battle().state.order_pos = 5;  // a round starts in this frame too
  ASSERT_TRUE(r.rig.Step());
  GameTaskRec* first = Ctx().game_task.FindTask(kSlgGameOverTaskName);
  ASSERT_NE(first, nullptr);
  SlgTaskEnd(static_cast<SlgEffectTask*>(first->work));
  EXPECT_EQ(Ctx().game_task.FindTask(kSlgGameOverTaskName), nullptr);
}

TEST(SlgVictory, StopsTheMainTaskFadesSixtyFourFramesAndLeavesAsWon) {
  BattleRun r;
  ASSERT_TRUE(r.Start());
  GetSystemData()->setBattleLost(1);
  Slg::StartGameWin();
  ASSERT_TRUE(r.rig.Step());
  EXPECT_EQ(r.rig.battle().control.main_work, nullptr);
  int frames = 1;
  while (r.modes.empty() && frames < 80) {
    ASSERT_TRUE(r.rig.Step());
    ++frames;
  }
  // The fade's 64 frames, then the exit in the frame that sees it ended.
  EXPECT_GE(frames, 65);
  EXPECT_LE(frames, 68);
  EXPECT_EQ(r.modes, std::vector<int>{kSlgReturnMode});
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  EXPECT_FALSE(TaskExists(kSlgGameWinTaskName));
  EXPECT_FALSE(TaskExists(kSlgMainTask.name));
}

// The first outcome decides the battle: a second one, of either kind, is traced and not begun,
// and nothing begins once the battle has handed back.
TEST(SlgOutcomes, TheFirstDecidesAndNoneBeginsAfterTheExit) {
  struct Case {
    const char* name;
    bool win_first, win_second;
    const char* refused;
  };
  const Case cases[] = {
      {"a victory, then the lost road", true, false,
       "Slg::GameOver: not started: a victory is under way\n"},
      {"a victory, then another", true, true,
       "Slg::GameWin: not started: a victory is under way\n"},
      {"a game over, then a victory", false, true,
       "Slg::GameWin: not started: a game over is under way\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleRun r;
    ASSERT_TRUE(r.Start());
    BattleContext& b = r.rig.battle();
    const auto begin = [&b](bool win) {
      if (win) {
        Slg::StartGameWin();
      } else {
        b.lost = 1;  // turn control's lost road, in the next frame
      }
    };
    // The victory stops the main task in its first frame: the lost road meets it in that frame.
    begin(c.win_first);
    if (!c.win_first) {
      ASSERT_TRUE(r.rig.Step());
    }
    begin(c.win_second);
    ASSERT_TRUE(r.rig.Step());
    EXPECT_TRUE(r.rig.driver().trace().Contains(c.refused));
    EXPECT_EQ(TaskExists(kSlgGameWinTaskName), c.win_first);
    EXPECT_EQ(TaskExists(kSlgGameOverTaskName), !c.win_first);
  }
  BattleRun r;
  ASSERT_TRUE(r.Start());
  Slg::StartGameWin();
  ASSERT_TRUE(r.rig.RunUntil("the exit", [&r] { return !r.modes.empty(); }, 80));
  Slg::StartGameWin();
  r.rig.battle().lost = 1;
  ASSERT_TRUE(r.rig.Step());
  EXPECT_TRUE(
      r.rig.driver().trace().Contains("Slg::GameWin: not started: the battle has handed back\n"));
  EXPECT_FALSE(TaskExists(kSlgGameWinTaskName));
  EXPECT_FALSE(TaskExists(kSlgGameOverTaskName));
  EXPECT_EQ(r.modes, std::vector<int>{kSlgReturnMode});
}

// The manager's real sequences with the battle entry the composition root fills: giving up
// after a defeat goes from mode 28 back to mode 1.
TEST(SlgDefeat, GivingUpTakesTheManagersLostRoad) {
  testsupport::ProgramDriver::Options options;
  options.wire_sequences = false;
  testsupport::ProgramDriver d(options);
  GameSequences& s = d.sequences();
  testsupport::FillManagerStandIns(s);
  s.set_mode = [](int mode) { return CTamvikGeneral::SetMode(mode); };
  WireBattleSequence(s);
  ASSERT_TRUE(d.Start());
  Ctx().file_io.SetInstallDir(d.tree.install().c_str());
  testsupport::MinimalStage().Lay(d.tree);
  testsupport::SlgTableWriter().Lay(d.tree);
  testsupport::SystemSpriteSet().Lay(d.tree);
  CTamvikGeneral::SetMode(10);
  ASSERT_TRUE(d.Step());
  GetSystemData()->setBattleMap(0);
  CTamvikGeneral::SetMode(26);
  ASSERT_TRUE(d.RunUntil("round 1", [](const testsupport::ProgramDriver&) {
    return HasBattle() && Battle().state.round == 1;
  }, 60));
  Battle().lost = 1;
  ASSERT_TRUE(d.Step());
  Battle().turn.game_over_step = 4;
  Battle().game_over.choice = 0;
  ASSERT_TRUE(d.RunUntil("menu", [](const testsupport::ProgramDriver&) {
    return Battle().turn.game_over_step == 5;
  }, 30));
  d.Schedule({testsupport::GameKeyDown(d.frame(), 1u << 0)});
  ASSERT_TRUE(d.Step());
  d.Schedule({testsupport::GameKeyUp(d.frame(), 1u << 0)});
  ASSERT_TRUE(d.RunUntil("mode 1", [](const testsupport::ProgramDriver&) {
    return CTamvikGeneral::GetMode() == 1;
  }, 200));
  EXPECT_EQ(GetSystemData()->battleLost(), 1u);
  EXPECT_TRUE(d.trace().Contains("NextMode=GM_SLG_RET\n"));
}

// ---- The unit pass ----

std::vector<int> g_updated;  // stage entries, in update order
std::function<void(SlgUnit&)> g_on_update;
void RecordUpdate(SlgUnit& unit, const SlgPair& /*screen*/) {
  g_updated.push_back(unit.entry);
  if (g_on_update) g_on_update(unit);
}

TEST(SlgMainTask, AUnitGoneDuringThePassSkipsNobody) {
  struct Case {
    const char* name;
    std::function<void(SlgUnit&)> on_update;
    std::vector<int> updated;
  };
  const Case cases[] = {
      {"nothing removed", nullptr, {0, 1, 2, 3}},
      {"a unit removes itself", [](SlgUnit& u) { if (u.entry == 1) Slg::RemoveUnit(u.slot); },
       {0, 1, 2, 3}},
      {"an earlier unit is removed", [](SlgUnit& u) { if (u.entry == 2) Slg::RemoveUnit(0); },
       {0, 1, 2, 3}},
      {"a death purge", [](SlgUnit& u) {
         if (u.entry != 2) return;
         Battle().state.units[0].step = kSlgDeadStep;
         Battle().state.units[u.slot].step = kSlgDeadStep;
         Slg::PurgeDeadUnits();
       },
       {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleRig rig;
    BattleBoard board(rig.battle());
    for (int i = 0; i < 4; ++i) {
      BoardUnit u;
      u.category = 1;
      u.side = 1;
      board.AddUnit(testsupport::OnCell(2, 10 + 2 * i, u));
    }
    BattleContext& b = rig.battle();
    b.state.category_update[1] = &RecordUpdate;
    b.control.turn_hold = 1;
    g_updated.clear();
    g_on_update = c.on_update;
    SlgMainWork work{};
    SlgMainFrame(&work);
    g_on_update = nullptr;
    EXPECT_EQ(g_updated, c.updated);
  }
}

// ---- The map cursor ----

class CursorRig {
 public:
  CursorRig() : board(rig.battle()) {
    board.SetMapSize(1280, 960);
    GetSystemData()->setCursorSpeed(2);
  }
  void Hold(const std::vector<int>& keys) {
    for (int k : keys) rig.Schedule({testsupport::GameKeyDown(rig.frame(), 1u << k)});
    rig.Step();
  }
  // One cursor step `ms` after the last one.
  void Move(uint32_t screen_only, uint32_t ms) {
    const uint32_t now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
    Battle().turn.cursor_time = now - ms;
    Slg::MoveCursor(screen_only);
  }
  BattleRig rig;
  BattleBoard board;
};

constexpr int32_t kPx = 65536;

TEST(SlgCursor, KeysMoveThePointerAndScrollAtTheBoxEdges) {
  struct Case {
    const char* name;
    uint16_t speed;
    std::vector<int> keys;
    uint32_t ms;
    uint32_t screen_only;
    SlgPair from;                     // pointer, 16.16
    std::pair<int, int> scroll_from;  // pixels
    SlgPair to;
    std::pair<int, int> scroll_to;
  };
  const Case cases[] = {
      {"speed 0 right", 0, {8}, 0, 1, {0, 0}, {0, 0}, {2 * kPx, 0}, {0, 0}},
      {"speed 1 left", 1, {7}, 0, 1, {0, 0}, {0, 0}, {-4 * kPx, 0}, {0, 0}},
      {"speed 2 up", 2, {5}, 0, 1, {0, 0}, {0, 0}, {0, -4 * kPx}, {0, 0}},
      {"speed 3 down", 3, {6}, 0, 1, {0, 0}, {0, 0}, {0, 8 * kPx}, {0, 0}},
      {"speed 4 right", 4, {8}, 0, 1, {0, 0}, {0, 0}, {32 * kPx, 0}, {0, 0}},
      {"a damaged speed of 31 is 4", 31, {8}, 0, 1, {0, 0}, {0, 0}, {32 * kPx, 0}, {0, 0}},
      {"a damaged speed of 258: its low byte", 258, {8}, 0, 1, {0, 0}, {0, 0}, {8 * kPx, 0},
       {0, 0}},
      {"key 1 held: x8", 2, {1, 6}, 0, 1, {0, 0}, {0, 0}, {0, 32 * kPx}, {0, 0}},
      {"a 34 ms frame", 4, {6}, 34, 1, {0, 0}, {0, 0}, {0, 2139095}, {0, 0}},
      {"a 10 ms frame keeps the speed", 4, {6}, 10, 1, {0, 0}, {0, 0}, {0, 16 * kPx}, {0, 0}},
      {"screen only: right edge", 4, {8}, 0, 1, {310 * kPx, 0}, {0, 0}, {320 * kPx, 0}, {0, 0}},
      {"screen only: top edge", 4, {5}, 0, 1, {0, -235 * kPx}, {0, 0}, {0, -240 * kPx}, {0, 0}},
      {"box edge scrolls", 4, {8}, 0, 0, {190 * kPx, 0}, {0, 0}, {200 * kPx, 0}, {22, 0}},
      {"the map's edge stops the scroll", 4, {8}, 0, 0, {190 * kPx, 0}, {630, 0},
       {212 * kPx, 0}, {640, 0}},
      {"box bottom scrolls", 4, {6}, 0, 0, {0, 90 * kPx}, {0, 0}, {0, 100 * kPx}, {0, 6}},
      {"box top at the map's top", 4, {5}, 0, 0, {0, -45 * kPx}, {0, 0}, {0, -61 * kPx}, {0, 0}},
      {"box left scrolls back", 4, {7}, 0, 0, {-190 * kPx, 0}, {100, 0}, {-200 * kPx, 0},
       {78, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CursorRig t;
    GetSystemData()->setCursorSpeed(c.speed);
    t.Hold(c.keys);
    SlgBattleState& s = Battle().state;
    s.pointer = c.from;
    s.scroll_x = static_cast<int16_t>(c.scroll_from.first);
    s.scroll_y = static_cast<int16_t>(c.scroll_from.second);
    t.Move(c.screen_only, c.ms);
    EXPECT_EQ(s.pointer.x, c.to.x);
    EXPECT_EQ(s.pointer.y, c.to.y);
    EXPECT_EQ(s.scroll_x, c.scroll_to.first);
    EXPECT_EQ(s.scroll_y, c.scroll_to.second);
    // The cursor point and focus are the map pixel under the pointer.
    EXPECT_EQ(s.focus_x, s.scroll_x + 320 + (s.pointer.x >> 16));
    EXPECT_EQ(s.focus_y, s.scroll_y + 240 + (s.pointer.y >> 16));
  }
}

TEST(SlgCursor, ASkippedCellKeepsTheCursorPointAndTheMouseLeadsInMouseMode) {
  CursorRig t;
  SlgBattleState& s = Battle().state;
  s.focus_x = 11;
  s.focus_y = 12;
  s.cursor_point = {11, 12};
  t.Hold({8});
  // The cell the pointer reaches ((320 + 4, 240) on the map) is marked 0x800 in the second grid.
  const SlgCell cell = PosToCell(324, 240);
  Battle().cell_grid2[static_cast<size_t>(cell.row) * 22 + cell.column] = 0x800;
  GetSystemData()->setCursorSpeed(1);
  t.Move(1, 0);
  EXPECT_EQ(s.pointer.x, 4 * kPx);
  EXPECT_EQ(s.focus_x, 11);
  EXPECT_EQ(s.cursor_point[0], 11);
  Battle().cell_grid2[static_cast<size_t>(cell.row) * 22 + cell.column] = 0;
  t.Move(1, 0);
  EXPECT_EQ(s.focus_x, 328);
  EXPECT_EQ(s.cursor_point[0], 328);

  // The mouse moved this frame: the pointer goes to it, whatever keys are held.
  t.rig.Schedule({testsupport::PointerMove(t.rig.frame(), 300, 200)});
  t.rig.Step();
  ASSERT_NE(SlgMouseFlag(), 0u);
  int32_t mx = 0, my = 0;
  SlgPointerPos(&mx, &my);
  t.Move(1, 0);
  EXPECT_EQ(s.pointer.x, mx * kPx);
  EXPECT_EQ(s.pointer.y, my * kPx);
}

}  // namespace
