// Map 19's event script on the event harness: the table and its visit rules, the opening with
// its partner, strikes and timed choices, the beam figure, the boss's half-life line and the
// partner's lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle_events/core/event_check.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map19.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/lips_files.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 18;
constexpr int kBossKind = 31;
constexpr int kSecondBossKind = 32;
constexpr int kMad = 18;

// Map 19's battle: the hero, heroines 1-6 as kinds 8-13, the kind-31 boss (group 2, character
// 16) not made at the start unless `boss_present` (none at all without `boss`), the kind-32 boss
// (group 2, character 17) not made unless `second_present`, and the event objects 80-111 but
// those in `missing`.
struct Map19Options {
  uint16_t p83 = 1;
  uint16_t p73 = 0;
  uint16_t p84 = 0;
  bool boss = true;
  bool boss_present = false;
  bool second_present = false;
  std::vector<int> missing{};
};

std::unique_ptr<EventHarness> Map19Battle(const Map19Options& o = {}) {
  EventHarness::Options options;
  options.stage = kStage;
  auto h = std::make_unique<EventHarness>(kMap19Setup, options);
  auto add = [&](int id) {
    h->messages.Add({.id = static_cast<uint16_t>(id), .voice_word = 0, .lip = "", .text = "AB"});
  };
  for (int id = 1398; id <= 1406; ++id) add(id);
  for (int id = 2000; id <= 2160; ++id) add(id);
  for (int id : {2414, 3272, 3273, 3274, 3275, 3276, 3277, 3338, 3339, 3340, 3341, 3342, 3348}) {
    add(id);
  }
  for (int id = 10010; id <= 10870; id += 10) {
    if (id == 10020 || id == 10200 || id == 10370) continue;
    add(id);
  }
  for (int id = 20000; id <= 20015; ++id) add(id);
  for (int id : {10020, 10200, 10370}) {
    h->messages.Add({.id = static_cast<uint16_t>(id), .voice_word = 0, .lip = "",
                     .text = testsupport::ChoiceText(3, 4)});
  }
  h->ExpectTrace("UID:");
  h->ExpectTrace("File Not Found");
  h->install.stage.units[0].x = 520;
  h->install.stage.units[0].y = 1080;
  for (int c = 1; c <= 6; ++c) h->AddUnit(0, c, c + 7, 0, 400 + 48 * c, 1000);
  if (o.boss) {
    const int n = h->AddUnit(2, 16, kBossKind, 1, 600, 1200);
    h->install.stage.units[static_cast<size_t>(n)].present = o.boss_present ? 1 : 0;
  }
  const int n = h->AddUnit(2, 17, kSecondBossKind, 1, 800, 1200);
  h->install.stage.units[static_cast<size_t>(n)].present = o.second_present ? 1 : 0;
  for (int kind = 80; kind <= 111; ++kind) {
    if (std::find(o.missing.begin(), o.missing.end(), kind) == o.missing.end()) {
      h->AddObject(kind, 0, 700, 1100);
    }
  }
  // The fixed sprites' animations (112-114): their EventAnm rows and sprite files only.
  for (int kind : {112, 113, 114}) h->install.object_kinds.push_back(kind);
  h->StubAttacks({0, 8, 9, 10, 11, 12, 13, kBossKind, kSecondBossKind});
  h->SetP(83, o.p83);
  h->SetP(73, o.p73);
  h->SetP(84, o.p84);
  return h;
}

size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

bool Has(const std::vector<std::string>& records, const std::string& what) {
  return std::find(records.begin(), records.end(), what) != records.end();
}

constexpr int kOpeningLimit = 12000;

bool RunOpening(EventHarness& h) {
  h.Start();
  return h.RunUntil("19110 ended", [] { return CheckEventFlag(110) != 0; }, kOpeningLimit);
}

TEST(Map19Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap19Setup).empty());
  std::vector<int> ids = {19110, 19115, 19120, 19121, 19130, 19140, 19150, 19160};
  for (int base : {500, 520, 530}) {
    for (int id = base; id <= base + 5; ++id) ids.push_back(id);
  }
  for (int id = 600; id <= 606; ++id) ids.push_back(id);
  std::vector<int> got;
  for (const SlgEventEntry* row = kMap19Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
  }
  EXPECT_EQ(got, ids);
  EXPECT_EQ(kMap19Setup.anm_table.size(), 32u);
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap19Setup);
  const SlgEventEntry* t = kMap19Setup.table;
  EXPECT_STREQ(t[5].c, "1!=FAD(73);");
  EXPECT_STREQ(t[8].a, "F(120);");
  EXPECT_STREQ(t[8].c, "HP(IKD,0);");
  EXPECT_STREQ(t[14].c, "HGU(GBO,UKT,0);");
  EXPECT_STREQ(t[26].b, "PP(IKD)&R(10);");
  EXPECT_STREQ(t[26].c, "HP(IKD,0)|HGU(GBO,UKT,0)|NP(IMR());");
  EXPECT_STREQ(t[27].c, "HP(IKD,0)|HGU(GBO,UKT,0);");
}

TEST(Map19Beam, TheZoomPairFollowsTheStepValue) {
  EXPECT_EQ(Map19BeamZoom(0).x, 0x10000);
  EXPECT_EQ(Map19BeamZoom(0).y, 0x10000);
  // 56 frames of 512: zoom x 8192, the first value below 8193.
  EXPECT_EQ(Map19BeamZoom(56 * 512).x, 8192);
  EXPECT_EQ(Map19BeamZoom(55 * 512).x, 9216);
  EXPECT_EQ(Map19BeamZoom(56 * 512).y, 0x10000 + 16 * 56 * 512);
}

}  // namespace

namespace {

bool Deployed(int kind) {
  for (size_t i = 0; i < kSlgMaxUnits; ++i) {
    const SlgUnit& u = Battle().state.units[i];
    if (u.kind == kind && u.step != kSlgDeadStep && u.deploy_state != 0) return true;
  }
  return false;
}

// The partner by P[83]: after the opening's second step only the hero and she remain; BGM 30
// plays on the first visit.
TEST(Map19Opening, OnlyThePartnerStaysWithTheHero) {
  const struct {
    uint16_t p83;
    int partner;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 6}, {5, 4}, {6, 5}, {7, 1}, {300, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.p83);
    auto hp = Map19Battle({.p83 = c.p83});
    EventHarness& h = *hp;
    h.Start();
    ASSERT_TRUE(h.RunUntil("the beam figure", [] { return Deployed(80); }, 600));
    h.RunFrames(2);
    EXPECT_EQ(Map19State().partner, c.partner);
    EXPECT_NE(LivePartyUnit(0), nullptr);
    for (int ch = 1; ch <= 6; ++ch) {
      EXPECT_EQ(LivePartyUnit(ch) != nullptr, ch == c.partner) << ch;
    }
    EXPECT_EQ(h.Records("bgm"), std::vector<std::string>{"bgm 30"});
  }
}

// After the opening every heroine's fall row is closed (heroines 5 and 6 have each other's row
// numbers), the partner is gone and her figure (partner + 105) stood in for her until the end.
TEST(Map19Opening, ThePartnerIsTakenAwayAndEveryFallRowClosed) {
  const struct {
    uint16_t p83;
    int partner;
  } cases[] = {{4, 6}, {6, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.p83);
    auto hp = Map19Battle({.p83 = c.p83});
    EventHarness& h = *hp;
    ASSERT_TRUE(RunOpening(h));
    for (int f = 500; f <= 505; ++f) EXPECT_NE(CheckEventFlag(f), 0) << f;
    EXPECT_EQ(LivePartyUnit(c.partner), nullptr);
    const std::string figure = std::to_string(c.partner + 105);
    const auto deploys = h.Records("deploy " + figure);
    const auto removes = h.Records("remove " + figure);
    ASSERT_EQ(deploys.size(), 1u);
    ASSERT_EQ(removes.size(), 1u);
    EXPECT_LT(h.FrameOf(deploys[0]), h.FrameOf(removes[0]));
    // The partner's own lines.
    const auto messages = h.Records("message");
    EXPECT_TRUE(Has(messages, c.partner == 6 ? "message 137:10150" : "message 209:10160"));
    EXPECT_TRUE(Has(messages, c.partner == 6 ? "message 144:3277" : "message 216:3275"));
  }
}

// The five strikes cut the hero's life to 80, 60, 40 and 10 percent and restore it; each ends
// with the hero out of the damage list; the scene closes with the scripted-scene words 0.
TEST(Map19Opening, TheStrikesLeaveTheHeroAtFixedFractions) {
  auto hp = Map19Battle();
  EventHarness& h = *hp;
  h.Start();
  SlgUnit* hero = h.Unit(0, 0);
  ASSERT_NE(hero, nullptr);
  hero->stats.max_life = 100;
  hero->stats.life = 100;
  std::vector<int> lives;
  std::vector<std::string> faults;
  int clears = 0;
  int last = 100;
  bool struck = false;
  Battle().cmd.move_backup.marker = 1;
  ASSERT_TRUE(h.RunUntil(
      "19110 ended",
      [&] {
        const SlgUnit* striker = FindUnitByGroupKind(2, 16);
        if (!struck && hero->state == 9 && striker != nullptr) {
          struck = true;
          if (hero->stats.attack_type != striker->slot) faults.push_back("attacker byte");
          if (Battle().search.range_count != 0) faults.push_back("range search kept");
        }
        if (Battle().cmd.move_backup.marker == 0) ++clears;
        Battle().cmd.move_backup.marker = 1;
        if (hero->stats.life != last) {
          last = hero->stats.life;
          lives.push_back(last);
          if ((hero->flags & kUnitInDamageList) != 0) faults.push_back("hero still flagged");
          struck = false;
        }
        return CheckEventFlag(110) != 0;
      },
      kOpeningLimit));
  EXPECT_EQ(lives, (std::vector<int>{79, 59, 39, 9, 100}));
  EXPECT_TRUE(faults.empty()) << faults.front();
  // One clear before each of the first four strikes and one before the white-out's strike.
  EXPECT_EQ(clears, 5);
  EXPECT_EQ(Battle().event_words.acting_mode[0], 0u);
  EXPECT_EQ(Battle().event_words.acting_mode[1], 0u);
  EXPECT_EQ(Battle().flags & 0x40, 0);
  EXPECT_EQ(Count(h, "se 404"), 1u);
  EXPECT_EQ(h.Records("bgm").back(), "bgm 17");
}

// The three timed choices: each listed answer plays its lines; a third line and a time-out take
// the result-0 branch, and the scene goes on to its end.
struct ChoiceCase {
  std::vector<int> answers;  // empty: every choice times out
  uint16_t p84;
  std::vector<std::string> shown;
  std::vector<std::string> not_shown;
};

void RunChoices(const std::vector<ChoiceCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.answers) + " P84 " + std::to_string(c.p84));
    auto hp = Map19Battle({.p84 = c.p84});
    EventHarness& h = *hp;
    for (int a : c.answers) h.AnswerChoice(a);
    h.Start();
    ASSERT_TRUE(h.RunUntil("the third choice's lines", [&] {
      return h.FrameOf("message 18:10450") >= 0;
    }, kOpeningLimit));
    const auto messages = h.Records("message");
    for (const auto& m : c.shown) EXPECT_TRUE(Has(messages, "message " + m)) << m;
    for (const auto& m : c.not_shown) EXPECT_FALSE(Has(messages, "message " + m)) << m;
  }
}

const std::vector<std::string> kResult0 = {"14:10090", "289:10100", "14:10280", "287:10290",
                                           "14:10430", "289:10440"};
const std::vector<std::string> kNotResult0 = {"289:10040", "289:10050", "11:10060",
                                              "11:10210", "13:10230", "14:10380", "14:10400"};

TEST(Map19Choices, TheListedAnswersPlayTheirLines) {
  RunChoices({
      {{1, 1, 1}, 0, {"14:10030", "289:10040", "11:10210", "287:10220", "14:10380", "289:10390"},
       {"289:10050", "14:10090", "14:10280", "14:10430"}},
      {{1, 2, 2}, 5, {"14:10030", "289:10050", "13:10230", "288:10270", "14:10400", "287:10420"},
       {"289:10040", "11:10210", "14:10380"}},
      {{2, 1, 2}, 0, {"11:10060", "289:10070", "290:10080", "11:10210", "14:10400"},
       {"14:10030", "14:10090"}},
  });
}

TEST(Map19Choices, AThirdLineOrATimeOutTakesTheFirstBranch) {
  RunChoices({{{3, 3, 3}, 0, kResult0, kNotResult0}, {{}, 5, kResult0, kNotResult0}});
}

// Object 80 from rest: it waits for phase word A, vanishes in 56 frames, pauses 30, reappears in
// 56, and only then runs the tone change; A2 is written after it.
TEST(Map19Beam, TheFigureVanishesPausesAndReappearsOnTheWord) {
  auto hp = Map19Battle();
  EventHarness& h = *hp;
  h.Start();
  std::vector<int> at(6, -1);
  int frame = 0;
  std::vector<std::string> faults;
  ASSERT_TRUE(h.RunUntil(
      "A2 written",
      [&] {
        ++frame;
        const Map19Words& w = Map19State();
        const auto phase = static_cast<size_t>(w.beam_phase);
        if (at[phase] < 0) at[phase] = frame;
        if (phase > 0 && w.phase_a != 1) faults.push_back("moved before A");
        if (w.end_a2 != 0 && w.beam_phase != Map19BeamPhase::kDone) faults.push_back("early A2");
        return w.end_a2 == 1;
      },
      2000));
  EXPECT_TRUE(faults.empty()) << faults.front();
  EXPECT_EQ(at[2] - at[1], 56);
  EXPECT_EQ(at[3] - at[2], 30);
  EXPECT_EQ(at[4] - at[3], 56);
  EXPECT_GT(at[5], at[4]);
  const SlgUnit* figure = LiveUnitOfKind(80);
  ASSERT_NE(figure, nullptr);
  EXPECT_EQ(figure->x >> 16, 576);
  EXPECT_EQ(figure->y >> 16, 944);
}

// Without the boss and the figures the opening still ends: the strikes set the life alone, the
// waits on the figures end as none is there.
TEST(Map19Opening, MissingUnitsAndFiguresDoNotHoldTheScene) {
  auto hp = Map19Battle({.boss = false, .missing = {80, 81, 82, 86}});
  EventHarness& h = *hp;
  h.ExpectTrace("map 19");
  h.Start();
  SlgUnit* hero = h.Unit(0, 0);
  ASSERT_NE(hero, nullptr);
  hero->stats.max_life = 100;
  std::vector<int> lives;
  int last = hero->stats.life;
  ASSERT_TRUE(h.RunUntil(
      "19110 ended",
      [&] {
        if (hero->stats.life != last) lives.push_back(last = hero->stats.life);
        return CheckEventFlag(110) != 0;
      },
      kOpeningLimit));
  EXPECT_EQ(lives, (std::vector<int>{79, 59, 39, 9, 100}));
}

// The whole opening twice with the default answers: the same records.
TEST(Map19Opening, TheOpeningRepeatsExactly) {
  EXPECT_TRUE(testsupport::RunEventsTwice([] { return Map19Battle({.p83 = 2}); },
                                          [](EventHarness& h) { ASSERT_TRUE(RunOpening(h)); }));
}

// The visits: P[73] 1 plays only the return visit, with BGM 28; 2 (a damaged save) plays the
// first visit and never the return visit.
TEST(Map19Rows, TheVisitFollowsTheStoryVariable) {
  {
    auto hp = Map19Battle({.p73 = 1});
    EventHarness& h = *hp;
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(3000));
    EXPECT_EQ(Count(h, "start 19140"), 1u);
    EXPECT_EQ(Count(h, "start 19110"), 0u);
    EXPECT_EQ(h.Records("bgm").front(), "bgm 28");
  }
  {
    auto hp = Map19Battle({.p73 = 2});
    EventHarness& h = *hp;
    ASSERT_TRUE(RunOpening(h));
    ASSERT_TRUE(h.RunUntilIdle(3000));
    EXPECT_EQ(Count(h, "start 19140"), 0u);
    EXPECT_EQ(h.Records("bgm").front(), "bgm 30");
  }
}

// The boss's half-life line: once at or below 50 percent, never after flag 198.
TEST(Map19Rows, TheHalfLifeLinePlaysOnce) {
  for (const bool exited : {false, true}) {
    SCOPED_TRACE(exited);
    auto hp = Map19Battle({.boss_present = true});
    EventHarness& h = *hp;
    h.SetFlagAtInstall(110);
    if (exited) h.SetFlagAtInstall(198);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    const SlgUnit* boss = h.Unit(2, 16);
    ASSERT_NE(boss, nullptr);
    const int max = boss->stats.max_life;
    h.SetLife(2, 16, max / 2 + 1);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(Count(h, "start 19115"), 0u);
    h.SetLife(2, 16, max / 2);
    ASSERT_TRUE(h.RunUntilIdle(1200));
    h.SetLife(2, 16, max / 4);
    ASSERT_TRUE(h.RunUntilIdle(1200));
    EXPECT_EQ(Count(h, "start 19115"), exited ? 0u : 1u);
    EXPECT_EQ(Has(h.Records("message"), "message 289:1399"), !exited);
  }
}

// The partner's lines on the taunt: 19150 before flag 120, 19160 after it, none on the return
// visit.
TEST(Map19Rows, ThePartnersLinesFollowTheStory) {
  const struct {
    uint16_t p73;
    bool second;
    std::vector<std::string> messages;
  } cases[] = {{0, false, {"message 137:20005"}},
               {0, true, {"message 139:20015"}},
               {1, false, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.p73) + (c.second ? " after 120" : ""));
    auto hp = Map19Battle(
        {.p83 = 4, .p73 = c.p73, .boss_present = true, .second_present = true});
    EventHarness& h = *hp;
    h.SetFlagAtInstall(110);
    h.SetFlagAtInstall(140);
    if (c.second) {
      for (int f : {115, 120, 121}) h.SetFlagAtInstall(f);
    }
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(2000));
    h.Act(0, 0);
    h.Command(kMad);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(h.Records("message"), c.messages);
  }
}

}  // namespace
