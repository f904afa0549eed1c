// The real map scripts through the whole program: the mode manager enters mode 26, its battle
// entry starts the stage, and the composition root's installers put the map's real set-up on it,
// so the scripts reach the core only through the events' entry table. A player answers what the
// battle asks (the messages that wait for a key, the hero's turns, the game-over menu) until the
// manager leaves its battle modes. Each row asserts the modes, the lost-battle word and what the
// story did, and runs twice on fresh programs that must show, play and record the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/map16.h"
#include "flow/tamvik_general.h"
#include "game/system_data.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_recorder.h"
#include "testsupport/map_program.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::BattleRig;
using testsupport::EventRecord;

// One row's program: the rig with the real manager in mode 26, the composition root's battle
// extensions, the maps' stages laid, and the story at the scene whose battle the manager starts
// (its table of scenes names the first map's stage).
struct ProgramRun {
  static constexpr int kFrameLimit = 20000;

  ProgramRun(BattleRig& rig, std::initializer_list<int> maps, uint16_t scene)
      : rig(rig), events(rig), maps(maps) {
    testsupport::LayMapStages(rig.driver().tree, maps);
    GetAdvState()->setSceneCode(scene);
    GetSystemData()->setVoiceOff(1);
  }

  // Steps until the manager has left its battle modes (26-28); whether it did. Before each frame
  // the row's own look (`on_frame`, when given) comes first, then the player.
  bool RunToModeAfterBattle() {
    for (int f = 0; f < kFrameLimit; ++f) {
      const int mode = CTamvikGeneral::GetMode();
      if (modes.empty() || modes.back() != mode) modes.push_back(mode);
      if (f > 0 && (mode < 26 || mode > 28)) return true;
      if (on_frame) on_frame();
      player.BeforeFrame();
      if (!rig.Step()) break;
      events.AfterFrame();
    }
    // The trace's last lines say where it stopped.
    std::string tail;
    const auto& lines = rig.driver().trace().lines();
    for (size_t i = lines.size() > 40 ? lines.size() - 40 : 0; i < lines.size(); ++i) {
      tail += lines[i].text;
    }
    ADD_FAILURE() << "the battle did not hand back within " << kFrameLimit << " frames (mode "
                  << CTamvikGeneral::GetMode() << ", frame " << rig.frame() << ")\n" << tail;
    return false;
  }

  std::vector<std::string> Records(const std::string& prefix) const {
    return events.recorder().Records(prefix);
  }
  int FrameOf(const std::string& what) const { return events.recorder().FrameOf(what); }
  size_t Count(const std::string& what) const {
    const auto r = Records(what);
    return static_cast<size_t>(std::count(r.begin(), r.end(), what));
  }
  // The "not described" and "out of table" traces other than those the maps' stages are known
  // to raise (their expected traces, and the unit slots the install's sprite rows leave out).
  std::vector<std::string> UnexpectedTraces() const {
    std::vector<std::string> known = {"UID:"};
    for (const int map : maps) {
      if (const testsupport::MapStage* stage = testsupport::FindMapStage(map)) {
        known.insert(known.end(), stage->expected_traces.begin(), stage->expected_traces.end());
      }
    }
    std::vector<std::string> out;
    for (const std::string& trace : Records("trace")) {
      const auto found = [&trace](const std::string& k) {
        return trace.find(k) != std::string::npos;
      };
      if (std::none_of(known.begin(), known.end(), found)) out.push_back(trace);
    }
    return out;
  }
  // The one end the row is about (a victory or a game over), begun `times` times and the other
  // never, no unexpected trace of something not described, nothing of the battle left.
  void ExpectEnd(const char* task, int times = 1) const {
    for (const char* t : {kSlgGameWinTaskName, kSlgGameOverTaskName}) {
      const std::string record = std::string("task ") + t;
      const size_t expected = std::string(t) == task ? static_cast<size_t>(times) : 0u;
      EXPECT_EQ(Count(record), expected) << record;
    }
    EXPECT_EQ(UnexpectedTraces(), std::vector<std::string>{});
    ExpectNothingLeft();
  }
  // Nothing of the battle is left once it has handed back: no block of its allocator, no
  // animation object, no fixed sprite, and the battle no longer built.
  static void ExpectNothingLeft() {
    const BattleContext& b = Battle();
    EXPECT_EQ(b.alloc.live, 0) << "battle blocks still held";
    EXPECT_EQ(b.anm_pool.in_use, 0) << "animation objects still in use";
    EXPECT_EQ(b.fix_tasks.count, 0) << "fixed sprites still running";
    EXPECT_EQ(b.control.built, 0u) << "the battle is still built";
  }

  BattleRig& rig;
  testsupport::ProgramMapEvents events;
  testsupport::MapProgramPlayer player{rig.driver()};
  std::vector<int> maps;
  std::function<void()> on_frame;
  std::vector<int> modes;
};

BattleRig::Options ManagerOptions() {
  BattleRig::Options o;
  o.manager_mode = 26;
  o.seed = 11;
  return o;
}

// The story scenes whose battles are maps 9 (stage 8), 15 (stage 14) and 18 (stage 17).
constexpr uint16_t kMap09Scene = 0x0700;
constexpr uint16_t kMap15Scene = 0x0902;
constexpr uint16_t kMap18Scene = 0x0A01;

// ---- Map 9: the whole map plays with no input, to its victory ----
// The opening, the gathering, the choice (timed out), the bombardment, the arrivals and the
// victory; the manager goes on to mode 28, then 32, with the lost-battle word 0.
void Map09Victory(BattleRig& rig, std::vector<EventRecord>& records) {
  ProgramRun run(rig, {9}, kMap09Scene);
  ASSERT_TRUE(run.RunToModeAfterBattle());
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  run.ExpectEnd(kSlgGameWinTaskName);
  EXPECT_EQ(run.Records("start"),
            (std::vector<std::string>{"start 9120", "start 9130", "start 9140", "start 9160",
                                      "start 9170", "start 9180"}));
  for (const char* mark : {"bgm 16", "bgm 27", "bg show 8", "se 135"}) {
    EXPECT_GE(run.FrameOf(mark), 0) << mark;
  }
  records = run.events.recorder().records();
}

// ---- Map 16: a gate breached with the allowance other than 1 and 2, the game over ----
// The battle starts on map 15, whose closing lines switch to map 16 (stage 15, which no scene
// starts). P[82] 3: once map 16's opening has ended and the hero's turn has come, a gate-breaker
// stands on the first gate; the next unit's turn starts the defeat (16220), whose scene ends in
// the events' defeat request. The player continues `continues` times (the retry builds stage 15
// again: map 16's set-up, opening and defeat play again), then gives up, and the manager goes to
// mode 1 with the lost-battle word 1.
void Map16Defeat(BattleRig& rig, std::vector<EventRecord>& records, int continues) {
  SlgSetMacroP(82, 3);
  ProgramRun run(rig, {15, 16}, kMap15Scene);
  int placed = 0;  // once in each initialisation of map 16
  run.on_frame = [&run, &placed, continues] {
    const int overs = static_cast<int>(run.Count(std::string("task ") + kSlgGameOverTaskName));
    run.player.give_up = overs > continues;  // continue the first `continues` game overs
    if (placed > overs || static_cast<int>(run.Count("end 16120")) <= overs) return;
    if (!testsupport::HerosTurn()) return;
    SlgUnit* breaker = FindUnitByGroupKind(1, 40);
    if (breaker == nullptr) return;
    EventPlaceUnitAt(breaker, kMap16Gates[0].x, kMap16Gates[0].y, breaker->dir);
    ++placed;
  };
  ASSERT_TRUE(run.RunToModeAfterBattle());
  EXPECT_EQ(placed, continues + 1);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 1}));
  EXPECT_EQ(GetSystemData()->battleLost(), 1u);
  run.ExpectEnd(kSlgGameOverTaskName, continues + 1);
  std::vector<std::string> starts = {"start 15101", "start 15102", "start 15103"};
  for (int n = 0; n <= continues; ++n) {
    starts.insert(starts.end(), {"start 16110", "start 16120", "start 16220"});
  }
  EXPECT_EQ(run.Records("start"), starts);
  // Map 15 switches at once; each retry starts stage 15 again without a fade.
  const std::string switched = std::string("task ") + kSlgExchangeNofadeTaskName;
  EXPECT_EQ(run.Count(switched), static_cast<size_t>(continues + 1));
  EXPECT_GT(run.FrameOf(switched), run.FrameOf("start 15103"));
  EXPECT_GT(run.FrameOf("start 16110"), run.FrameOf(switched));
  EXPECT_EQ(CheckEventFlag(kMap16DefeatGuard), 1);
  records = run.events.recorder().records();
}
void Map16GivenUp(BattleRig& rig, std::vector<EventRecord>& records) {
  Map16Defeat(rig, records, 0);
}
void Map16ContinuedOnceThenGivenUp(BattleRig& rig, std::vector<EventRecord>& records) {
  Map16Defeat(rig, records, 1);
}

// ---- The final chain: map 18, then 23, 24, 25 and 26 won, on heroine 3's route ----
// The battle starts on map 18 (the final maps' stages 22-25 are reached only by switching); once
// its opening has ended and the hero's turn has come, its enemies are gone and its finale
// switches to stage 22. Maps 23, 24 and 25 each play their scenes and switch to the next stage
// after the 32-frame fade, map 26 ends in the victory; the manager goes on to mode 28, then 32,
// with the lost-battle word 0. Each map's first two rows and its finale are those of the route
// (P[83] 3).
void FinalChain(BattleRig& rig, std::vector<EventRecord>& records) {
  SlgSetMacroP(kSlgPairVar, 3);
  ProgramRun run(rig, {18, 23, 24, 25, 26}, kMap18Scene);
  bool cleared = false;
  run.on_frame = [&run, &cleared] {
    if (cleared || run.FrameOf("end 18100") < 0 || !testsupport::HerosTurn()) return;
    testsupport::RemoveLiveUnitsOfSide(1);
    cleared = true;
  };
  ASSERT_TRUE(run.RunToModeAfterBattle());
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  run.ExpectEnd(kSlgGameWinTaskName);
  const std::string faded = std::string("task ") + kSlgExchangeTaskName;
  EXPECT_EQ(run.Count(faded), 4u);
  EXPECT_EQ(run.Count(std::string("task ") + kSlgExchangeNofadeTaskName), 0u);
  // Each map's opening rows and finale, in the chain's order (map 18's finale A; 23: 23105,
  // 23110; 24: 24105, 24110; 25: 25105, 25111; 26: 26106, 26110).
  std::vector<std::string> story;
  for (const std::string& start : run.Records("start")) {
    for (const char* id : {"18105", "18106", "23105", "23106", "23110", "23111", "24105",
                           "24106", "24110", "24111", "25105", "25106", "25110", "25111",
                           "26105", "26106", "26110", "26111"}) {
      if (start == std::string("start ") + id) story.push_back(id);
    }
  }
  EXPECT_EQ(story, (std::vector<std::string>{"18105", "23105", "23110", "24105", "24110",
                                             "25105", "25111", "26106", "26110"}));
  EXPECT_EQ(GetSystemData()->battleMap(), 25u);
  records = run.events.recorder().records();
}

struct Row {
  const char* name;
  void (*scenario)(BattleRig&, std::vector<EventRecord>&);
  // The rig's clock step: 0 for one game frame a step; 50 ms (about three game frames a step,
  // as on a slow machine) keeps the final chain's two runs of some 21 000 game frames well
  // within a test's time under the sanitizers.
  uint32_t step_ms = 0;
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class MapProgram : public ::testing::TestWithParam<Row> {};

TEST_P(MapProgram, PlaysToTheManagersNextModeTheSameWayTwice) {
  std::vector<std::vector<EventRecord>> runs;
  const auto scenario = [&runs](BattleRig& rig) {
    runs.emplace_back();
    GetParam().scenario(rig, runs.back());
  };
  BattleRig::Options options = ManagerOptions();
  options.step_ms = GetParam().step_ms;
  EXPECT_TRUE(testsupport::RunBattleTwice(scenario, options));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_FALSE(runs[0].empty());
  EXPECT_EQ(runs[0], runs[1]) << "the two runs recorded different rows, messages or sounds";
}

INSTANTIATE_TEST_SUITE_P(
    Maps, MapProgram,
    ::testing::Values(Row{"map09_victory", &Map09Victory}, Row{"map16_defeat", &Map16GivenUp},
                      Row{"map16_defeat_continued", &Map16ContinuedOnceThenGivenUp},
                      Row{"final_chain", &FinalChain, 50}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
