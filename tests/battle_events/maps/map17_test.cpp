// Map 17's event script: its table, the warping figure's zoom runs, and the opening and the warp
// and shot scene in real battles on the event harness.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/map17.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 16;

// Map 17's battle on its small stage: the hero and heroines 1-6, the boss (kind 30, group 2), the
// event objects 80-109 but those in `missing`; the attacks stubbed.
std::unique_ptr<EventHarness> MakeBattle(const std::vector<int>& missing = {}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(17);
  std::erase_if(stage.objects, [&](const testsupport::MapStageObject& o) {
    return std::find(missing.begin(), missing.end(), o.kind) != missing.end();
  });
  return testsupport::MakeMapHarness(kMap17Setup, stage);
}

size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

TEST(Map17Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap17Setup).empty());
  std::vector<int> ids = {17120, 17130, 17140, 17150, 17155, 17160,
                          17170, 17180, 17190, 17200, 17410};
  for (int base : {17500, 17520, 17530}) {
    for (int id = base; id <= base + 5; ++id) ids.push_back(id);
  }
  for (int id = 17610; id <= 17616; ++id) ids.push_back(id);
  std::vector<int> got;
  for (const SlgEventEntry* row = kMap17Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
  }
  EXPECT_EQ(got, ids);
  EXPECT_EQ(kMap17Setup.anm_table.size(), 30u);
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap17Setup);
  const SlgEventEntry* t = kMap17Setup.table;
  EXPECT_STREQ(t[5].b, "NG(GZA)|F(199);");
  EXPECT_EQ(t[7].clear[0], 190);
  EXPECT_EQ(t[8].clear[0], 180);
  EXPECT_STREQ(t[29].c, "HP(IKD,0)|NP(IMR());");
  EXPECT_STREQ(t[34].b, "PP(ITZ)&R(20);");
  EXPECT_STREQ(t[35].b, "PP(IBS)&R(20);");
}

TEST(Map17Figure, TheWarpOutEndsOnFrame11AndTheWarpInBringsTheZoomBackExactly) {
  const Map17Warp rest{};
  EXPECT_GT(Map17WarpOut(rest, 10).zoom_x, 8192);
  const Map17Warp out = Map17WarpOut(rest, 11);
  EXPECT_EQ(out.zoom_x, -2048);
  // Frames past the end change nothing: the run stops at its limit.
  const Map17Warp late = Map17WarpOut(rest, 40);
  EXPECT_EQ(late.zoom_x, out.zoom_x);
  EXPECT_EQ(late.zoom_y, out.zoom_y);
  EXPECT_LT(Map17WarpIn(out, 10).zoom_x, 0x10000);
  const Map17Warp in = Map17WarpIn(out, 11);
  EXPECT_EQ(in.zoom_x, 0x10000);
  EXPECT_EQ(in.zoom_y, 0x10000);
  EXPECT_EQ(Map17WarpIn(out, 50).zoom_x, 0x10000);

  const struct {
    int32_t t, alpha;
  } fade[] = {{0, 256}, {1, 247}, {30, 8}, {31, 0}, {45, 0}};
  for (const auto& c : fade) EXPECT_EQ(Map17FadeAlpha(c.t), c.alpha) << c.t;
}

TEST(Map17Opening, TheBuildingsFallInOrderUnderDoubleFlashesAndThePartyArrives) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.Start();
  ASSERT_TRUE(h.RunUntil("17120 ended", [] { return CheckEventFlag(120) != 0; }, 5000));
  // The deploys and removals frame by frame (within a frame in kind order).
  std::vector<std::vector<std::string>> log;
  int frame = -1;
  for (const auto& r : h.records()) {
    if (r.what.rfind("deploy ", 0) != 0 && r.what.rfind("remove ", 0) != 0) continue;
    if (r.frame != frame) log.emplace_back();
    frame = r.frame;
    log.back().push_back(r.what.substr(0, r.what.find(" entry")));
  }
  for (auto& f : log) std::sort(f.begin(), f.end());
  const std::vector<std::vector<std::string>> expected = {
      {"deploy 93", "deploy 94", "deploy 95", "deploy 96", "deploy 97"},
      {"deploy 98"}, {"deploy 99"}, {"remove 96", "remove 98"}, {"remove 99"},
      {"deploy 100"}, {"deploy 101"}, {"remove 100", "remove 97"},
      {"deploy 102", "remove 101"}, {"deploy 103"}, {"remove 102", "remove 95"},
      {"deploy 104", "remove 103"}, {"deploy 105"}, {"deploy 106"}, {"deploy 107"},
      {"deploy 108"}, {"remove 104", "remove 94"},
      {"deploy 80", "deploy 81", "deploy 82", "deploy 83", "deploy 84", "deploy 85", "deploy 86"},
      {"remove 80", "remove 81", "remove 82", "remove 83", "remove 84", "remove 85", "remove 86"}};
  EXPECT_EQ(log, expected);
  // Each burst with its SE 135 on its frame: three second bursts and the four of the fourth
  // building, one after another.
  EXPECT_EQ(Count(h, "se 135"), 7u);
  int previous = -1;
  for (int kind = 105; kind <= 108; ++kind) {
    const std::string deploy = "deploy " + std::to_string(kind);
    int at = -1;
    for (const auto& r : h.records()) {
      if (r.what.rfind(deploy, 0) == 0) at = r.frame;
    }
    EXPECT_GT(at, previous) << kind;
    bool with_se = false;
    for (const auto& r : h.records()) with_se = with_se || (r.frame == at && r.what == "se 135");
    EXPECT_TRUE(with_se) << kind;
    previous = at;
  }
  EXPECT_EQ(Count(h, "se 284"), 4u);
  EXPECT_EQ(Count(h, "se 288"), 4u);
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 305:3173", "message 11:3163",
                                      "message 15:10000"}));
  // The heroines (kinds 8-13) show again.
  for (int c = 1; c <= 6; ++c) {
    const SlgUnit* u = h.Unit(0, c);
    ASSERT_NE(u, nullptr) << c;
    EXPECT_NE(u->flags & kShowFlag, 0u) << c;
  }
}

// Without the warping figure the sync waits end at once; both shots hit.
TEST(Map17Warp, WithoutTheFigureTheSceneGoesOnAndBothShotsHit) {
  auto hp = MakeBattle({90});
  EventHarness& h = *hp;
  h.SetFlagAtInstall(120);
  h.Start();
  ASSERT_TRUE(h.RunUntil("17130 ended", [] { return CheckEventFlag(130) != 0; }, 5000));
  EXPECT_EQ(Count(h, "se 279"), 1u);
  EXPECT_EQ(Count(h, "se 135"), 2u);
  EXPECT_EQ(h.Records("message").back(), "message 18:10004");
  EXPECT_EQ(Map17State().sync, kMap17Fade);
}

// With the figure on the map it answers each signal of the event and moves on only after it:
// phase 2 after sync 1, phase 4 after sync 3, phase 7 after sync 5; the scene then ends.
TEST(Map17Warp, TheFigureMovesOnlyOnTheEventsSignals) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.SetFlagAtInstall(120);
  h.Start();
  int highest_sync = 0;
  int highest_phase = 0;
  std::vector<std::string> faults;
  const bool ended = h.RunUntil(
      "17130 ended",
      [&] {
        const int sync = Map17State().sync;
        for (size_t i = 0; i < kSlgMaxUnits; ++i) {
          const SlgUnit& u = Battle().state.units[i];
          if (u.kind != 90 || u.step == kSlgDeadStep || u.deploy_state == 0) continue;
          highest_phase = std::max<int>(highest_phase, u.state);
        }
        highest_sync = std::max(highest_sync, sync);
        if (highest_phase >= 2 && highest_sync < 1) faults.push_back("warp-out before sync 1");
        if (highest_phase >= 4 && highest_sync < 3) faults.push_back("warp-in before sync 3");
        if (highest_phase >= 7 && highest_sync < 5) faults.push_back("fade before sync 5");
        return CheckEventFlag(130) != 0;
      },
      8000);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(faults.empty()) << faults.front();
  EXPECT_EQ(highest_sync, kMap17Faded);
  EXPECT_GE(highest_phase, 9);
  EXPECT_EQ(Count(h, "se 135"), 2u);
}

// The tour leaves the first unit of kind 7 (the hero here) a third of its life.
TEST(Map17Tour, TheFirstUnitOfKind7KeepsAThirdOfItsLife) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  for (int f : {120, 130, 140, 150}) h.SetFlagAtInstall(f);
  h.AddUnit(0, 7, 7, 0, 600, 900);
  h.Start();
  SlgUnit* unit = h.Unit(0, 7);
  ASSERT_NE(unit, nullptr);
  unit->stats.life = 100;
  ASSERT_TRUE(h.RunUntil("17155 ended", [] { return CheckEventFlag(155) != 0; }, 5000));
  EXPECT_EQ(unit->stats.life, 33);
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 233:10012", "message 233:10013",
                                      "message 233:10014", "message 11:10015"}));
}

constexpr int kMad = 18;
// The story scenes before the talks, done.
constexpr int kStoryFlags[] = {120, 130, 140, 150, 155};

// 17180 and 17190 take turns on the boss's taunt until flag 160; then only 17200.
TEST(Map17Talks, TheTauntsAlternateUntilFlag160AndThenOneLinePlays) {
  for (const bool after : {false, true}) {
    SCOPED_TRACE(after);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    for (int f : kStoryFlags) h.SetFlagAtInstall(f);
    if (after) h.SetFlagAtInstall(160);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(2000));
    for (int n = 0; n < 3; ++n) {
      h.Act(0, 0);
      h.Command(kMad);
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    std::vector<std::string> talks;
    for (const std::string& r : h.Records("start ")) {
      if (r == "start 17180" || r == "start 17190" || r == "start 17200") talks.push_back(r);
    }
    if (after) {
      EXPECT_EQ(talks, std::vector<std::string>(3, "start 17200"));
    } else {
      EXPECT_EQ(talks, (std::vector<std::string>{"start 17180", "start 17190", "start 17180"}));
    }
  }
}

// The choice on flag 905: answer 1 restores the boss's kiai and sets its attack total to 17;
// any other answer, or none, one line.
TEST(Map17Choice, OnlyAnswer1RestoresTheBoss) {
  const struct {
    int answer;  // 0: time-out
    bool restored;
  } cases[] = {{1, true}, {0, false}, {2, false}, {3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    for (int f : kStoryFlags) h.SetFlagAtInstall(f);
    h.SetFlagAtInstall(160);
    h.SetFlagAtInstall(905);
    if (c.answer != 0) h.AnswerChoice(c.answer);
    h.Start();
    SlgUnit* boss = h.Unit(2, 30);
    ASSERT_NE(boss, nullptr);
    boss->stats.kiai = 0;
    const uint8_t total = boss->stats.total_attack;
    ASSERT_TRUE(h.RunUntilIdle(2000));
    if (h.FrameOf("start 17410") < 0) {
      h.Act(0, 0);
      ASSERT_TRUE(h.RunUntilIdle(2000));
    }
    ASSERT_GE(h.FrameOf("start 17410"), 0);
    std::vector<std::string> lines = {"message 305:60000"};
    if (c.restored) {
      lines.insert(lines.end(), {"message 11:60020", "message 303:60030", "message 303:60040"});
    } else {
      lines.push_back("message 304:60050");
    }
    EXPECT_EQ(h.Records("message"), lines);
    EXPECT_EQ(boss->stats.kiai, c.restored ? boss->stats.max_kiai : 0);
    EXPECT_EQ(boss->stats.total_attack, c.restored ? 17 : total);
    EXPECT_EQ(CheckEventFlag(906), c.restored ? 1 : 0);
  }
}

// The boss's death waits for the end of its exit sequence (flag 198); then the enemies fall and
// the battle is won once.
TEST(Map17Victory, ItWaitsForFlag198AndWinsOnce) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  for (int f : kStoryFlags) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(160);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.SetLife(2, 30, 0);
  h.BeginTurn();
  h.RunFrames(120);
  EXPECT_EQ(Count(h, "start 17170"), 1u);
  EXPECT_TRUE(h.Records("message").empty()) << "nothing before flag 198";
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 0u);
  SetEventFlag(198);
  ASSERT_TRUE(h.RunUntil("the victory", [&] { return h.FrameOf("end 17170") >= 0; }, 3000));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 14:10006", "message 14:10007"}));
  h.RunFrames(30);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  EXPECT_EQ(Count(h, "start 17170"), 1u);
}

// The first shot hits on the frame its x reaches the hero's: at once for a hero to its left,
// after 32 frames for a distance the 32 frames divide, 33 when the velocity was truncated. Kind
// 91 comes once per shot.
TEST(Map17Warp, TheShotHitsOnTheFrameItReachesTheTarget) {
  const struct {
    int hero_x;     // map pixels; the shot stands at 1300
    int32_t extra;  // added to the hero's 16.16 x after the start
    int32_t frames;
  } cases[] = {{384, 0, 1}, {1620, 0, 32}, {1620, 5, 33}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    SCOPED_TRACE(c.hero_x);
    auto hp = MakeBattle({90});
    EventHarness& h = *hp;
    h.install.stage.units[0].x = static_cast<int16_t>(c.hero_x);
    h.SetFlagAtInstall(120);
    h.Start();
    SlgUnit* hero = h.Unit(0, 0);
    ASSERT_NE(hero, nullptr);
    hero->x += c.extra;
    int32_t at_hit = -1;
    ASSERT_TRUE(h.RunUntil(
        "the first hit",
        [&] {
          if (at_hit < 0 && h.Records("deploy 91").size() == 1) at_hit = Map17State().shot_frames;
          return at_hit >= 0;
        },
        3000));
    EXPECT_EQ(at_hit, c.frames);
    ASSERT_TRUE(h.RunUntil("17130 ended", [] { return CheckEventFlag(130) != 0; }, 3000));
    EXPECT_EQ(h.Records("deploy 91").size(), 2u);
  }
}

// 17150 makes kind 17 numbers 13-16 (not on the map before), reveals them one after another
// with SE 244 each; without a unit of kind 87 its vanish is skipped.
TEST(Map17Reinforcements, FourAreMadeAndRevealedInTurn) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  for (int n = 13; n <= 16; ++n) {
    const int e = h.AddUnit(1, 20 + n, 17, 1, 600 + 48 * (n % 4), 400);
    StageUnitEntry& entry = h.install.stage.units[static_cast<size_t>(e)];
    entry.placement_number = static_cast<uint8_t>(n);
    entry.present = 0;
  }
  for (int f : {120, 130, 140}) h.SetFlagAtInstall(f);
  h.ExpectTrace("map 17: no unit of kind 87 to vanish");
  h.Start();
  for (int n = 13; n <= 16; ++n) EXPECT_EQ(FindUnitByIndex(17, n << 8), nullptr) << n;
  ASSERT_TRUE(h.RunUntil("17150 ended", [] { return CheckEventFlag(150) != 0; }, 5000));
  std::vector<int> reveals;
  for (const auto& r : h.records()) {
    if (r.what == "se 244") reveals.push_back(r.frame);
  }
  ASSERT_GE(reveals.size(), 4u);
  for (size_t n = 1; n < 4; ++n) EXPECT_GT(reveals[n], reveals[n - 1]);
  for (int n = 13; n <= 16; ++n) {
    const SlgUnit* u = FindUnitByIndex(17, n << 8);
    ASSERT_NE(u, nullptr) << n;
    EXPECT_EQ(u->kind, 17);
  }
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 303:3184", "message 302:3185",
                                      "message 289:3186"}));
}

// With a minor enemy (group GZA) on the map, flag 199 alone shows the figure of kind 109.
TEST(Map17Figure109, Flag199AloneShowsItWhileMinorEnemiesStand) {
  for (const bool flag : {false, true}) {
    SCOPED_TRACE(flag);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    h.AddUnit(1, 21, 14, 1, 900, 500);
    for (int f : kStoryFlags) h.SetFlagAtInstall(f);
    if (flag) h.SetFlagAtInstall(199);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(2000));
    EXPECT_EQ(Count(h, "start 17160"), flag ? 1u : 0u);
    if (!flag) continue;
    EXPECT_EQ(h.Records("message"), std::vector<std::string>{"message 303:3187"});
    EXPECT_EQ(h.Records("deploy 109").size(), 1u);
    EXPECT_EQ(h.Records("remove 109").size(), 1u);
  }
}

}  // namespace
