// Map 9's event script in real battles on the event harness: the six events from the start to the
// victory with no input, every answer of the choice with its reward, the bombardment's removals,
// the newcomer's warp-in zoom and the drifting particles.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map09.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kSoldiers = 28;

// Map 9's battle on its small stage (stage 8): the hero, the heroines `heroines`, the soldiers of
// kind 14 (group 1, placement numbers 1-28: the install's own enemy is the first), the newcomer
// (80), the shells (81, bytes 1-10), the arrivals (82, 83) and the particles' animations (84, 85);
// the attacks stubbed; the bombardment's background picture 8.
std::unique_ptr<EventHarness> MakeBattle(std::vector<int> heroines = {1, 2, 3, 4, 5, 6}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(9);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return u.side == 0 &&
           std::find(heroines.begin(), heroines.end(), u.character) == heroines.end();
  });
  return testsupport::MakeMapHarness(kMap09Setup, stage);
}

std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}
// The messages from `from` on (the first record of that text) to the end.
std::vector<std::string> MessagesFrom(const EventHarness& h, const std::string& from) {
  const auto all = h.Records("message");
  const auto at = std::find(all.begin(), all.end(), from);
  return {at, all.end()};
}

// ---- The table ----

TEST(Map09Table, SixChainedRowsThatPassTheLint) {
  EXPECT_TRUE(testsupport::LintMapSetup(8, kMap09Setup).empty());
  EXPECT_EQ(kMapEventSetupTable[8], &kMap09Setup);
  EXPECT_EQ(kMap09Setup.anm_table.size(), 4u);
  const std::vector<std::pair<int, const char*>> rows = {
      {9120, ""}, {9130, "F(120);"}, {9140, "F(130);"},
      {9160, "F(140);"}, {9170, "F(160);"}, {9180, "F(170);"}};
  size_t n = 0;
  for (const SlgEventEntry* row = kMap09Setup.table; row->handler != nullptr; ++row, ++n) {
    ASSERT_LT(n, rows.size());
    EXPECT_EQ(row->id, rows[n].first);
    EXPECT_STREQ(row->a, rows[n].second);
    EXPECT_EQ(row->timing, 0x8000);
    EXPECT_EQ(row->guard[0], row->set[0]);
  }
  EXPECT_EQ(n, rows.size());
}

// ---- From the start to the victory ----

TEST(Map09Story, ItPlaysFromTheStartToTheVictoryWithNoInput) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.Start();
  bool checked = false;
  bool gone_after_bombardment = false;
  ASSERT_TRUE(h.RunUntil("the victory", [&] {
    if (!checked && h.FrameOf("end 9160") >= 0) {
      checked = true;
      gone_after_bombardment = CondNU(14) != 0;
    }
    return h.FrameOf("task Slg::GameWin") >= 0;
  }, 12000));
  h.RunFrames(5);
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 9120", "start 9130", "start 9140",
                                                 "start 9160", "start 9170", "start 9180"}));
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  EXPECT_TRUE(gone_after_bombardment) << "no kind-14 unit after the bombardment";
  EXPECT_EQ(h.Records("remove 14").size(), static_cast<size_t>(kSoldiers));
  EXPECT_GE(h.FrameOf("bg show 8"), 0);
  EXPECT_GT(h.FrameOf("bg free 8"), h.FrameOf("bg show 8"));
  EXPECT_GT(h.FrameOf("bgm 16"), h.FrameOf("start 9160"));
  EXPECT_GE(h.FrameOf("bgm 27"), 0);
  EXPECT_EQ(h.Records("message").back(), "message 262:3089");
  // The choice timed out: the closing talk of no answer, no reward.
  const auto choice = MessagesFrom(h, "message 216:10029");
  ASSERT_GE(choice.size(), 2u);
  EXPECT_EQ(choice[1], "message 81:10030");
  EXPECT_EQ(Count(h, "se 20"), 0u);
  // The volleys remove the soldiers of their numbers after the shells.
  EXPECT_GT(h.FrameOf("remove 14 entry 1"), h.FrameOf("se 135"));
  for (int c = 0; c <= 6; ++c) {
    const SlgUnit* u = FindUnitByKind(c);
    if (u != nullptr) {
      EXPECT_EQ(u->flags & 0x80u, 0u) << "character " << c << " hidden";
    }
  }
}

// ---- The choice ----

// Plays the choice scene (the events before it done) to its end.
void PlayChoice(EventHarness& h) {
  h.SetFlagAtInstall(120);
  h.SetFlagAtInstall(130);
  h.Start();
  ASSERT_TRUE(h.RunUntil("9140", [&] { return h.FrameOf("end 9140") >= 0; }, 6000));
}

TEST(Map09Choice, EachAnswerTakesItsTalkAndTheSecondRewardsTheFavourite) {
  struct Case {
    int line;       // 0: no answer
    int favourite;  // the heroine with the highest trust (0: all equal)
    std::vector<std::string> messages;  // from the answer on
    int rewarded;   // 0 none
  } cases[] = {
      {1, 3, {"message 11:10012", "message 110:10013", "message 110:10014", "message 209:10015",
              "message 209:10016", "message 74:10017"}, 0},
      {2, 1, {"message 11:10018", "message 11:10019", "message 74:10020", "message 216:10025",
              "message 216:10026"}, 2},
      {2, 2, {"message 11:10018", "message 11:10019", "message 74:10020", "message 216:10025",
              "message 216:10026"}, 2},
      {2, 3, {"message 11:10018", "message 11:10019", "message 110:10021", "message 216:10025",
              "message 216:10026"}, 3},
      {2, 4, {"message 11:10018", "message 11:10019", "message 155:10022", "message 216:10025",
              "message 216:10026"}, 4},
      {2, 5, {"message 11:10018", "message 11:10019", "message 209:10023", "message 81:10027",
              "message 81:10028"}, 5},
      {2, 6, {"message 11:10018", "message 11:10019", "message 137:10024", "message 216:10025",
              "message 216:10026"}, 6},
      {3, 3, {"message 216:10029", "message 81:10030"}, 0},
      {0, 3, {"message 216:10029", "message 81:10030"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << " favourite " << c.favourite);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    for (int hero = 1; hero <= 6; ++hero) h.SetTrust(hero, hero == c.favourite ? 40 : 20);
    if (c.line != 0) h.AnswerChoice(c.line);
    PlayChoice(h);
    EXPECT_EQ(MessagesFrom(h, c.messages.front()), c.messages);
    for (int hero = 1; hero <= 6; ++hero) {
      const int32_t before = hero == c.favourite ? 40 : 20;
      EXPECT_EQ(GetTrustVar(hero), before + (hero == c.rewarded ? 5 : 0)) << "heroine " << hero;
    }
    EXPECT_EQ(Count(h, "se 20"), c.rewarded != 0 ? 1u : 0u);
  }
}

TEST(Map09Choice, WithNoHeroineOnTheMapHeroineTwoIsRewardedAndTheLastLineIsHers) {
  auto hp = MakeBattle({});
  EventHarness& h = *hp;
  for (int hero = 1; hero <= 6; ++hero) h.SetTrust(hero, hero == 4 ? 40 : 20);
  h.AnswerChoice(2);
  h.Start();
  ASSERT_TRUE(h.RunUntil("9170", [&] { return h.FrameOf("end 9170") >= 0; }, 12000));
  EXPECT_EQ(MessagesFrom(h, "message 11:10018"),
            (std::vector<std::string>{"message 11:10018", "message 11:10019",
                                      "message 74:10020", "message 216:10025",
                                      "message 216:10026", "message 78:10031",
                                      "message 15:10032", "message 511:3086", "message 15:10033",
                                      "message 15:10034", "message 29:3081", "message 74:3082",
                                      "message 29:3083", "message 110:3084", "message 29:3085",
                                      "message 11:10035", "message 29:3088"}));
  EXPECT_EQ(GetTrustVar(2), 25);
  EXPECT_EQ(GetTrustVar(4), 40);
}

TEST(Map09Choice, TheLastArrivalsLineIsSpokenByTheFavourite) {
  for (int favourite : {3, 6}) {
    SCOPED_TRACE(favourite);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    for (int hero = 1; hero <= 6; ++hero) h.SetTrust(hero, hero == favourite ? 40 : 20);
    h.Start();
    ASSERT_TRUE(h.RunUntil("9170", [&] { return h.FrameOf("end 9170") >= 0; }, 12000));
    EXPECT_EQ(h.Records("message 110:3088").size() + h.Records("message 137:3088").size(), 1u);
    EXPECT_GE(h.FrameOf(favourite == 3 ? "message 110:3088" : "message 137:3088"), 0);
  }
}

// ---- The warp-in ----

TEST(Map09WarpIn, TheZoomReachesOneOnTheEleventhFrame) {
  for (int32_t f = 0; f < 11; ++f) {
    EXPECT_FALSE(Map09WarpZoom(f).arrived) << f;
    EXPECT_LT(Map09WarpZoom(f).x, 0x10000) << f;
  }
  const Map09Zoom z = Map09WarpZoom(11);
  EXPECT_TRUE(z.arrived);
  EXPECT_EQ(z.x, 0x10000);
  EXPECT_EQ(z.y, 0x10000);
  EXPECT_EQ(Map09WarpZoom(40).x, 0x10000) << "it stops at 1.0";
  EXPECT_EQ(Map09WarpZoom(1).x, -2048 + 2 * 5632);
  EXPECT_EQ(Map09WarpZoom(1).y, 0x94000 - 16 * 5632);
}

TEST(Map09WarpIn, TheNewcomerZoomsInFrameByFrameOrLateAndThenStands) {
  for (int32_t stride : {1, 4}) {
    SCOPED_TRACE(stride);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    for (int f : {120, 130, 140, 160, 170, 180}) h.SetFlagAtInstall(f);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    EventDeployKind(80);
    SlgUnit* unit = FindUnitByKind(80);
    ASSERT_NE(unit, nullptr);
    ASSERT_NE(unit->anm, nullptr);
    SlgAnmObj* body = unit->anm;
    int32_t t = 0;
    auto call = [&] {
      body->now = static_cast<uint32_t>(t);
      body->frames = static_cast<int32_t>(body->now - body->start_time);
      SlgPair position{};
      kMap09Setup.anm_table[0](*unit, position);
    };
    call();  // the set-up: frame 1 of the motion
    EXPECT_EQ(unit->state, 1);
    EXPECT_EQ(body->pattern, 1);
    EXPECT_EQ(unit->walk_state[0], Map09WarpZoom(1).x);
    for (int i = 0; i < 20 && unit->state == 1; ++i) {
      t += stride;
      call();
      if (unit->state == 1) {
        EXPECT_EQ(unit->walk_state[0], Map09WarpZoom(t).x);
        EXPECT_EQ(unit->walk_state[1], Map09WarpZoom(t).y);
      }
    }
    EXPECT_EQ(unit->state, 2);
    EXPECT_EQ(unit->walk_state[0], 0x10000);
    EXPECT_EQ(unit->walk_state[1], 0x10000);
    EXPECT_EQ(t, stride == 1 ? 11 : 12);
    call();
    EXPECT_EQ(unit->state, 2) << "it stands";
    EXPECT_EQ(body->attr, 0);
  }
}

// ---- The drifting particles ----

// A battle past its events whose particles have been added.
std::unique_ptr<EventHarness> ParticleBattle(std::vector<int32_t> random) {
  auto h = MakeBattle();
  for (int f : {120, 130, 140, 160, 170, 180}) h->SetFlagAtInstall(f);
  if (!random.empty()) h->SetRandom(std::move(random));
  h->Start();
  h->RunFrames(3);
  return h;
}

TEST(Map09Particles, TwentyFourParticlesAndTheControllerAreFixedSprites) {
  auto h = ParticleBattle({});
  ASSERT_EQ(Battle().fix_tasks.count, 2 * kMap09Particles + 1);
  for (int i = 0; i < 2 * kMap09Particles; ++i) {
    const FixTaskWork* w = FixTaskWorkOf(Battle().fix_tasks.tasks[static_cast<size_t>(i)]);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->step_words[0], static_cast<uint32_t>(i % kMap09Particles));
    ASSERT_NE(w->obj, nullptr);
    EXPECT_EQ(w->obj->depth, i < kMap09Particles ? -1090 : -1089);
  }
}

TEST(Map09Particles, AParticleStartsInTheFieldAndMovesByTheDriftEachFrame) {
  constexpr int32_t kRandom = 1000;  // every SlgRand answer
  auto h = ParticleBattle({kRandom});
  const SlgBattleState& s = Battle().state;
  const int32_t cx = s.scroll_x + s.scroll_offset_x;
  const int32_t cy = s.scroll_y + s.scroll_offset_y;
  const Map09Particle& p = Map09State().particles[1][5];
  const FixTaskWork* w =
      FixTaskWorkOf(Battle().fix_tasks.tasks[static_cast<size_t>(kMap09Particles + 5)]);
  ASSERT_EQ(p.running, 1);
  EXPECT_EQ(p.start_x, (cx + kRandom % kMap09FieldWidth) * 65536);
  EXPECT_EQ(p.start_y, (cy + kRandom % kMap09FieldHeight) * 65536);
  EXPECT_EQ(p.speed, -4 * 65536 - kRandom);
  // Frame by frame: x by -2.0 less the drift the particle saw, y by its speed; the drift varies.
  std::vector<int32_t> drifts;
  int restarts = 0;
  for (int frame = 0; frame < 200; ++frame) {
    const int32_t x = w->x;
    const int32_t y = w->y;
    const int32_t age = p.age;
    const bool was_running = p.running == 1;
    const int32_t drift = Map09State().drift.value;
    h->RunFrames(1);
    if (p.running == 1 && p.age == 0) {
      ++restarts;
      EXPECT_EQ(w->x, p.start_x);
      EXPECT_EQ(w->y, p.start_y);
      continue;
    }
    if (!was_running || p.running == 0) {
      // Out of the field this frame: it starts again on the next.
      const int32_t px = w->x >> 16;
      const int32_t py = w->y >> 16;
      EXPECT_TRUE(!was_running || px < cx || py < cy || px >= cx + kMap09FieldWidth ||
                  py >= cy + kMap09FieldHeight);
      continue;
    }
    ASSERT_EQ(p.age, age + 1);
    EXPECT_EQ(w->x - x, -2 * 65536 - drift) << frame;
    EXPECT_EQ(w->y - y, p.speed) << frame;
    drifts.push_back(drift);
  }
  EXPECT_GT(restarts, 0) << "it left the field and started again";
  EXPECT_GT(std::set<int32_t>(drifts.begin(), drifts.end()).size(), 10u);
}

// The particles' positions after `frames` frames of a battle with the engine's generator.
std::vector<std::pair<int32_t, int32_t>> Positions(int frames) {
  auto h = ParticleBattle({});
  h->RunFrames(frames);
  std::vector<std::pair<int32_t, int32_t>> out;
  for (int i = 0; i < 2 * kMap09Particles; ++i) {
    const FixTaskWork* w = FixTaskWorkOf(Battle().fix_tasks.tasks[static_cast<size_t>(i)]);
    out.emplace_back(w->x, w->y);
  }
  return out;
}

TEST(Map09Particles, TheSameRunTwiceGivesTheSamePositionsAndTheParticlesSpread) {
  const auto first = Positions(150);
  const auto second = Positions(150);
  EXPECT_EQ(first, second);
  std::set<int32_t> xs;
  for (const auto& [x, y] : first) xs.insert(x);
  EXPECT_GT(xs.size(), 12u) << "random starts";
}

// ---- The drift level (the kit's) ----

TEST(DriftLevel, ItRisesHoldsFallsHoldsAndStartsOver) {
  DriftLevel d;
  std::vector<int32_t> v;
  for (int i = 0; i < 2 * (31 + 300 + 31 + 300); ++i) {
    StepDrift(d);
    v.push_back(d.value);
  }
  EXPECT_EQ(v[0], 6553);
  EXPECT_EQ(v[29], 30 * 6553);
  EXPECT_EQ(v[30], 0x30000) << "held at the top";
  EXPECT_EQ(v[30 + 300], 0x30000);
  EXPECT_EQ(v[30 + 301], 0x30000 - 6553) << "the fall starts after 300 frames";
  EXPECT_EQ(v[30 + 331], 0) << "down to 0";
  EXPECT_EQ(v[30 + 331 + 300], 0);
  EXPECT_EQ(v[30 + 331 + 301], 6553) << "and up again";
  EXPECT_EQ(std::vector<int32_t>(v.begin() + 662, v.begin() + 1324),
            std::vector<int32_t>(v.begin(), v.begin() + 662));
}

TEST(DriftLevel, AHistoryKeepsTheLevelEachFrameSaw) {
  DriftHistory<4> hist;
  EXPECT_EQ(hist.Replay(2, -10, 3), 2 * (-10 - 3));
  // Frames already recorded keep their level; the new one takes the current.
  EXPECT_EQ(hist.Replay(3, -10, 7), 2 * (-10 - 3) + (-10 - 7));
  EXPECT_EQ(hist.Replay(9, -10, 1), 2 * (-10 - 3) + (-10 - 7) + (-10 - 1)) << "at most 4 frames";
  hist.Clear();
  EXPECT_EQ(hist.Replay(1, -10, 5), -15);
}

}  // namespace
