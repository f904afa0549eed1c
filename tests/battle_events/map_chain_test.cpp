// The stage chains: several maps played in one battle through the real stage switch
// (Slg::SwitchStage on the real initialisation), each map on its small stage, all laid in one
// install with each map's real set-up in its stage's row (testsupport::MakeMapChainHarness). Each
// chain is played through every switch to its end, twice on fresh battles that must record the
// same frames. At each switch: the fade only toward stages 17 and 22-25; nothing of the map
// before left once the old battle is torn down (no battle task, fixed sprite, event-object
// animation, background picture or event table; the runtime's blocks, the animation-object pool
// and the sprite-buffer entries back to their level); the next map's set-up finds every event
// flag clear and the story variables as the map before left them.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_event_entries.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_runtime_state.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "testsupport/map_run_stories.h"
#include "testsupport/map_stages.h"
#include "tests/battle_events/map_plays.h"

namespace {

using testsupport::EventHarness;
using namespace map_plays;

enum class End { kSwitch, kWin, kIdle };

// One map of a chain: the moments after its stage has started, up to its end's request.
struct Leg {
  int map;
  std::function<void(EventHarness&)> play;
  End end;
  std::vector<std::string> marks{};  // records this map must make
};

struct ChainRow {
  std::string name;
  std::function<void(EventHarness&)> before;  // story variables, answers, movies, flags
  std::vector<Leg> legs;
  std::function<void()> variables{};  // checks of the story variables at the chain's end
};

// The runtime's blocks, the animation-object pool's objects in use and the free sprite-buffer
// entries.
struct Levels {
  int64_t alloc = 0;
  int anm_pool = 0;
  int free_entries = 0;
};
Levels Measure() {
  return {Battle().alloc.live, Battle().anm_pool.in_use, Ctx().ddraw_spr.FreeEntryCount()};
}

std::vector<uint16_t> StoryVariables() {
  std::vector<uint16_t> v;
  for (size_t i = 0; i < kMacroVarWords; ++i) v.push_back(GetMacroVar(static_cast<int>(i)));
  return v;
}

// The records of the live battle tasks.
std::vector<const SlgEffectTask*> BattleTaskRecords() {
  std::vector<const SlgEffectTask*> records;
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    if (!t->deleted && t->function == &SlgTaskStep) {
      records.push_back(static_cast<const SlgEffectTask*>(t->work));
    }
  }
  return records;
}

std::vector<std::string> BattleTaskNames() {
  std::vector<std::string> names;
  for (const SlgEffectTask* rec : BattleTaskRecords()) {
    names.emplace_back(rec->name != nullptr ? rec->name : "?");
  }
  return names;
}

// The runtime blocks the live battle tasks hold (their owned slots and name copies).
int64_t TaskBlocks() {
  int64_t blocks = 0;
  for (const SlgEffectTask* rec : BattleTaskRecords()) {
    blocks += rec->name != nullptr ? 1 : 0;
    blocks += std::count_if(std::begin(rec->owned), std::end(rec->owned),
                            [](const void* p) { return p != nullptr; });
  }
  return blocks;
}

size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

bool Fades(int stage) { return stage == 17 || (stage >= 22 && stage <= 25); }

// The switch the current map asked for (the `n`th of the chain), toward `next` (a stage):
// its task, the teardown's leftovers, the next set-up's flags and story variables.
void FollowSwitch(EventHarness& h, int n, int next, const Levels& fresh) {
  const std::string fade = std::string("task ") + kSlgExchangeTaskName;
  const std::string at_once = std::string("task ") + kSlgExchangeNofadeTaskName;
  ASSERT_TRUE(h.RunUntil("the switch's request", [&] {
    return Count(h, fade) + Count(h, at_once) > static_cast<size_t>(n);
  }, 20000));
  EXPECT_EQ(Count(h, Fades(next) ? fade : at_once), static_cast<size_t>(n) + 1)
      << "the switch toward stage " << next;
  EXPECT_EQ(GetSystemData()->battleMap(), static_cast<uint32_t>(next));
  const int asked = h.rig().frame();
  const std::vector<uint16_t> variables = StoryVariables();
  // The teardown and the new initialisation task come in one frame.
  ASSERT_TRUE(h.RunUntil("the torn-down battle", [] {
    return Ctx().game_task.FindTask(kSlgInitTaskName) != nullptr;
  }, 200));
  const int frames = h.rig().frame() - asked;
  if (Fades(next)) {
    EXPECT_GE(frames, 32) << "the fade toward stage " << next;
  } else {
    EXPECT_LE(frames, 2) << "the switch toward stage " << next << " waits";
  }
  EXPECT_EQ(BattleTaskNames(), std::vector<std::string>{kSlgInitTaskName});
  EXPECT_EQ(Battle().fix_tasks.count, 0);
  EXPECT_EQ(HasEventTable(), 0);
  const SlgEventNpcState& npc = EventNpcState();
  EXPECT_TRUE(npc.anm_table.empty());
  EXPECT_TRUE(std::all_of(npc.npc_anm_table.begin(), npc.npc_anm_table.end(),
                          [](const SprAnm* a) { return a == nullptr; }));
  const SlgEventRuntimeState& rt = Battle().Extension<SlgEventRuntimeState>();
  EXPECT_EQ(rt.bg_sprite, nullptr);
  EXPECT_EQ(rt.bg_entry, nullptr);
  // As a fresh battle just started: no more than the new initialisation task's own blocks.
  const Levels now = Measure();
  EXPECT_EQ(now.alloc, fresh.alloc + TaskBlocks()) << "switch " << n;
  EXPECT_EQ(now.anm_pool, fresh.anm_pool) << "switch " << n;
  EXPECT_EQ(now.free_entries, fresh.free_entries) << "switch " << n;
  ASSERT_TRUE(h.RunUntil("the next stage's first round", [] {
    return Ctx().game_task.FindTask(kSlgInitTaskName) == nullptr && Battle().state.round >= 1;
  }, 600));
  ASSERT_EQ(h.setups().size(), static_cast<size_t>(n) + 2);
  const EventHarness::StageSetUp& setup = h.setups().back();
  EXPECT_EQ(setup.stage, next);
  EXPECT_EQ(setup.flags_set, 0) << "flags left for stage " << next;
  EXPECT_EQ(setup.variables, variables) << "story variables at stage " << next;
}

void PlayChain(const ChainRow& row, EventHarness& h) {
  if (row.before) row.before(h);
  const Levels fresh = Measure();
  h.Start();
  for (size_t i = 0; i < row.legs.size(); ++i) {
    const Leg& leg = row.legs[i];
    SCOPED_TRACE("map " + std::to_string(leg.map));
    if (leg.play) leg.play(h);
    if (testing::Test::HasFatalFailure()) return;
    switch (leg.end) {
      case End::kSwitch:
        ASSERT_LT(i + 1, row.legs.size());
        FollowSwitch(h, static_cast<int>(i), row.legs[i + 1].map - 1, fresh);
        break;
      case End::kWin: {
        const std::string win = std::string("task ") + kSlgGameWinTaskName;
        ASSERT_TRUE(h.RunUntil(win, [&] { return h.FrameOf(win) >= 0; }, 20000));
        h.RunFrames(30);
        EXPECT_EQ(Count(h, win), 1u);
        EXPECT_EQ(Battle().lost, 0u);
        break;
      }
      case End::kIdle:
        ASSERT_TRUE(h.RunUntilIdle(6000));
        break;
    }
    if (testing::Test::HasFatalFailure()) return;
    for (const std::string& s : leg.marks) EXPECT_GE(h.FrameOf(s), 0) << s;
  }
  // One stage per map; no end but the last map's own.
  EXPECT_EQ(h.setups().size(), row.legs.size());
  EXPECT_EQ(Count(h, std::string("task ") + kSlgGameWinTaskName),
            row.legs.back().end == End::kWin ? 1u : 0u);
  EXPECT_EQ(Count(h, std::string("task ") + kSlgGameOverTaskName), 0u);
  if (row.variables) row.variables();
}

// SlgRand answers 0xFFFF from now on: R(n) fails (no chance lines).
void NoChance() {
  Battle().rand_seam.script = [] { return int32_t{0xFFFF}; };
}

// The group-1 units taken off the map.
void RemoveGroup1() { testsupport::RemoveLiveUnitsOfSide(1); }

// A final map's first two rows, each chosen by P[83]: the second of a pair when it is `a`
// (then `b`).
std::vector<std::string> FinalStarts(int map, uint16_t p83, int a, int b) {
  const int base = map * 1000 + 100;
  return {"start " + std::to_string(base + (p83 == a ? 6 : 5)),
          "start " + std::to_string(base + (p83 == b ? 11 : 10))};
}

std::vector<ChainRow> FinalChains() {
  // The route heroine's P[83] (route k of kP83OfRoute[k]).
  using testsupport::kP83OfRoute;
  std::vector<ChainRow> rows;
  for (int route = 1; route <= 6; ++route) {
    const uint16_t p83 = kP83OfRoute[static_cast<size_t>(route)];
    rows.push_back(
        {"Map18To26Route" + std::to_string(route),
         [p83](EventHarness& h) { h.SetP(83, p83); },
         {{18,
           [](EventHarness& h) {
             ASSERT_TRUE(h.RunUntilIdle(6000));
             RemoveGroup1();
           },
           End::kSwitch, {p83 == 4 ? "start 18106" : "start 18105"}},
          {23, nullptr, End::kSwitch, FinalStarts(23, p83, 4, 2)},
          {24, nullptr, End::kSwitch, FinalStarts(24, p83, 2, 6)},
          {25, nullptr, End::kSwitch, FinalStarts(25, p83, 6, 3)},
          {26, nullptr, End::kWin, FinalStarts(26, p83, 3, 5)}},
         [p83] { EXPECT_EQ(SlgGetMacroP(83), p83); }});
  }
  return rows;
}

std::vector<ChainRow> MakeChains() {
  std::vector<ChainRow> rows = {
      // Map 6 keeps heroine 4 (P[71] 0) and switches to map 21, whose scene she turns back from.
      {"Map06ToMap21",
       [](EventHarness& h) {
         h.SetTrust(4, 40);
         h.SetP(80, 0);
         h.AddMovie(0, 14, 0.1);
         for (int a : {1, 2, 1}) h.AnswerChoice(a);
       },
       {{6, nullptr, End::kSwitch, {"se 20"}},
        {21, [](EventHarness& h) { NoChance(); Map21Scene(h); }, End::kIdle,
         {"start 21106", "message 15:10250", "end 21130"}}},
       [] {
         EXPECT_EQ(SlgGetMacroP(71), 0);
         EXPECT_EQ(GetTrustVar(4), 40);  // + 5 on map 6, - 5 on map 21
       }},
      // Map 21's second opening, heroine 4 goes with the hero: map 27 to its victory.
      {"Map21ToMap27",
       [](EventHarness& h) {
         Map21Before(1, {1})(h);
         h.AnswerChoice(2);
       },
       {{21, Map21Scene, End::kSwitch, {"start 21105", "movie Movie\\Movie014.mpg"}},
        {27, [](EventHarness& h) { Map27Play(h); }, End::kWin, {"start 27150", "start 27185"}}},
       [] {
         EXPECT_EQ(GetTrustVar(4), 60);
         EXPECT_EQ(CheckEventFlag(432), 1);
       }},
      // Map 10 sends heroines 5, 2 and 3 on; map 11's targets fall (heroine 3's byte), its
      // finale switches to map 22, which is won.
      {"Map10ToMap11ToMap22",
       [](EventHarness& h) {
         Map10Before({40, 50, 50, 10, 60, 0}, {1, 1, 1})(h);
         Map22Before(h);
       },
       {{10, nullptr, End::kSwitch, {"start 10140"}},
        {11,
         [](EventHarness& h) {
           for (int f : {130, 140, 150}) SetEventFlag(static_cast<uint32_t>(f));
           Map11Play(h);
         },
         End::kSwitch, {"start 11190", "se 269"}},
        {22, [](EventHarness& h) { NoChance(); Map22Play(h); }, End::kWin,
         {"start 22180", "movie Movie\\Movie021.mpg"}}},
       [] {
         Map10Going({5, 2, 3})();
         EXPECT_EQ(CheckEventFlag(160), 1);
       }},
      // Map 12's escape leaves the party's life and kiai, which map 13 restores from.
      {"Map12ToMap13",
       [](EventHarness& h) {
         h.AddMovie(1, 18, 0.2);
         Flags(h, {99, 102, 103});
         h.SetTrust(4, 90);
       },
       {{12, Map12Escape, End::kSwitch, {"movie Movie\\Movie118.mpg"}},
        {13, Map13Play, End::kWin, {"start 13104", "start 13105"}}},
       [] {
         for (size_t c = 0; c < 7; ++c) {
           EXPECT_EQ(SlgGetMacroP(kMap12KiaiVar[c]), static_cast<int>(30 + c)) << c;
         }
       }},
      // Map 15's closing lines without partner 2, then map 16 on allowance 1, won.
      {"Map15ToMap16",
       [](EventHarness& h) {
         h.SetP(83, 2);
         h.SetP(82, 1);
       },
       {{15, nullptr, End::kSwitch, {"start 15103"}},
        {16,
         [](EventHarness& h) {
           ASSERT_TRUE(h.RunUntilIdle(3000));
           h.SetLife(2, 18, 0);
           h.RunFrames(200);
           SetEventFlag(kSlgFlagBossGone);
         },
         End::kWin, {"start 16230"}}}},
      // Map 19's return visit (P[73] 1) to map 20, whose partner is P[83]'s heroine 1.
      {"Map19ReturnToMap20",
       [](EventHarness& h) {
         h.SetP(83, 1);
         h.SetP(73, 1);
         h.ExpectTrace("Can't Play Movie");
         h.AddMovie(1, 20, 0.2);
       },
       {{19, nullptr, End::kSwitch, {"start 19140", "bgm 28"}},
        {20, Map20Play, End::kWin, {"start 20150", "start 20160"}}},
       [] { EXPECT_EQ(SlgGetMacroP(73), 1); }},
  };
  for (ChainRow& row : FinalChains()) rows.push_back(std::move(row));
  return rows;
}

const std::vector<ChainRow>& Chains() {
  static const std::vector<ChainRow> rows = MakeChains();
  return rows;
}

class MapChain : public testing::TestWithParam<size_t> {};

TEST_P(MapChain, PlaysThroughEverySwitchTheSameWayTwice) {
  const ChainRow& row = Chains()[GetParam()];
  std::vector<int> maps;
  for (const Leg& leg : row.legs) maps.push_back(leg.map);
  EXPECT_TRUE(testsupport::RunEventsTwice(
      [&] { return testsupport::MakeMapChainHarness(maps); },
      [&](EventHarness& h) { PlayChain(row, h); }));
}

INSTANTIATE_TEST_SUITE_P(Chains, MapChain, testing::Range<size_t>(0, Chains().size()),
                         [](const testing::TestParamInfo<size_t>& info) {
                           return Chains()[info.param].name;
                         });

}  // namespace
