// Map 19's event script on the event harness: the table and its visit rules, the opening with
// its partner, strikes and timed choices, the beam figure, the boss's half-life line and the
// partner's lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_fix_task_state.h"
#include "battle/slg_task.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map19.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 18;
constexpr int kBossKind = 31;
constexpr int kSecondBossKind = 32;
constexpr int kMad = 18;
// Stage 19 switches at once, without a fade.
constexpr const char* kSwitch = "task Slg::_exchangeStageNofade";

// Map 19's battle on its small stage: the hero, heroines 1-6 as kinds 8-13, the kind-31 boss (group
// 2, character 16) not made at the start unless `boss_present` (none at all without `boss`), the
// kind-32 boss (group 2, character 11) not made unless `second_present`, and the event objects
// 80-111 but those in `missing`.
struct Map19Options {
  uint16_t p83 = 1;
  uint16_t p73 = 0;
  uint16_t p84 = 0;
  bool boss = true;
  bool boss_present = false;
  bool second_present = false;
  std::vector<int> absent{};  // heroines not made at the start
  std::vector<int> missing{};
};

std::unique_ptr<EventHarness> Map19Battle(const Map19Options& o = {}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(19);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return u.kind == kBossKind && !o.boss;
  });
  for (testsupport::MapStageUnit& u : stage.units) {
    if (u.side == 0 && std::find(o.absent.begin(), o.absent.end(), u.character) != o.absent.end()) {
      u.present = false;
    }
    if (u.kind == kBossKind) u.present = o.boss_present;
    if (u.kind == kSecondBossKind) u.present = o.second_present;
  }
  std::erase_if(stage.objects, [&](const testsupport::MapStageObject& obj) {
    return std::find(o.missing.begin(), o.missing.end(), obj.kind) != o.missing.end();
  });
  auto h = testsupport::MakeMapHarness(kMap19Setup, stage);
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

// ---- The second phase ----

// The first visit after the opening, up to the kind-31 boss's fall.
std::unique_ptr<EventHarness> SecondPhase(Map19Options o) {
  o.boss_present = true;
  auto h = Map19Battle(o);
  for (int f : {110, 115}) h->SetFlagAtInstall(f);
  return h;
}

bool FlagSet(int flag) { return CheckEventFlag(flag) != 0; }

// The second scene with the partner (character 5) off the field: she comes back as kind 12 with
// her fall row open again; each answer's branch plays and the camera is held at the end, until
// 19121's last step.
TEST(Map19SecondScene, ThePartnerComesBackAndTheCameraIsHeldUntilTheArrival) {
  const struct {
    int answer;  // 0: time-out
    const char* line;
  } cases[] = {{1, "message 14:12100"}, {0, "message 14:12150"}, {3, "message 14:12150"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    auto hp = SecondPhase({.p83 = 6, .absent = {5}});
    EventHarness& h = *hp;
    h.SetFlagAtInstall(505);
    if (c.answer != 0) h.AnswerChoice(c.answer);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(LivePartyUnit(5), nullptr);
    h.SetLife(2, 16, 0);
    ASSERT_TRUE(h.RunUntil("19120 ended", [] { return FlagSet(120); }, 8000));
    const SlgUnit* partner = LivePartyUnit(5);
    ASSERT_NE(partner, nullptr);
    EXPECT_EQ(partner->kind, 12);
    EXPECT_FALSE(FlagSet(505));
    EXPECT_EQ(Battle().camera.lock, 1u);
    EXPECT_EQ(LiveUnitOfKind(kBossKind), nullptr);
    EXPECT_TRUE(FlagSet(197));
    EXPECT_TRUE(Has(h.Records("message"), c.line));
    EXPECT_EQ(h.Records("message").back(), "message 263:12450");
    ASSERT_TRUE(h.RunUntil("19121 ended", [] { return FlagSet(121); }, 8000));
    EXPECT_EQ(Battle().camera.lock, 0u);
  }
}

// The arrival and the victory: object 87 answers each odd value of phase word B with the next
// even one, at its positions; the guard arrives, the hero and the partner are restored; the
// second boss's exit sets flag 198, P[73] becomes 1 and the battle is won once.
TEST(Map19SecondScene, TheArrivalAndTheVictoryRunOnPhaseWordB) {
  auto hp = SecondPhase({.p83 = 2});
  EventHarness& h = *hp;
  h.AnswerChoice(1);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.SetLife(2, 16, 0);
  ASSERT_TRUE(h.RunUntil("19120 ended", [] { return FlagSet(120); }, 8000));
  SlgUnit* hero = h.Unit(0, 0);
  ASSERT_NE(hero, nullptr);
  hero->stats.life = 1;
  hero->stats.kiai = 0;
  std::vector<int> b_values;
  std::vector<std::pair<int, int>> at;
  ASSERT_TRUE(h.RunUntil(
      "19121 ended",
      [&] {
        const int b = Map19State().phase_b;
        if (b_values.empty() || b_values.back() != b) {
          b_values.push_back(b);
          if (b == 4 || b == 6) {
            const SlgUnit* figure = LiveUnitOfKind(87);
            at.emplace_back(figure ? figure->x >> 16 : -1, figure ? figure->y >> 16 : -1);
          }
        }
        return FlagSet(121);
      },
      8000));
  EXPECT_EQ(b_values, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(at, (std::vector<std::pair<int, int>>{{576, 1048}, {632, 912}}));
  for (int kind = 48; kind <= 50; ++kind) EXPECT_NE(LiveUnitOfKind(kind), nullptr) << kind;
  EXPECT_EQ(hero->stats.life, hero->stats.max_life);
  EXPECT_EQ(hero->stats.kiai, static_cast<uint16_t>(hero->stats.max_kiai));
  const SlgUnit* partner = LivePartyUnit(2);
  ASSERT_NE(partner, nullptr);
  EXPECT_EQ(partner->stats.life, partner->stats.max_life);

  h.SetLife(2, 11, 0);
  ASSERT_TRUE(h.RunUntil("the win", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 8000));
  h.RunFrames(10);
  EXPECT_TRUE(FlagSet(195));
  EXPECT_TRUE(FlagSet(198));
  EXPECT_EQ(SlgGetMacroP(73), 1);
  EXPECT_EQ(Map19State().phase_b, 8);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  for (int kind = 48; kind <= 50; ++kind) EXPECT_EQ(LiveUnitOfKind(kind), nullptr) << kind;
}

// Without object 87 the waits on phase word B end at once and both scenes go on to the win.
TEST(Map19SecondScene, WithoutTheSecondFigureTheScenesGoOn) {
  auto hp = SecondPhase({.missing = {87}});
  EventHarness& h = *hp;
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.SetLife(2, 16, 0);
  ASSERT_TRUE(h.RunUntil("19121 ended", [] { return FlagSet(121); }, 12000));
  h.SetLife(2, 11, 0);
  ASSERT_TRUE(h.RunUntil("the win", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 8000));
}

// The sweeping object (91) moves 8 pixels left and 4 down for each frame of its animation; an
// animation that runs very long stops it far off the map instead of overflowing the offset.
TEST(Map19Sweep, ALongAnimationStopsTheSweepFarOffTheMap) {
  auto hp = SecondPhase({});
  EventHarness& h = *hp;
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EventDeployKind(91);
  h.RunFrames(2);
  SlgUnit* sweep = LiveUnitOfKind(91);
  ASSERT_NE(sweep, nullptr);
  ASSERT_NE(sweep->anm, nullptr);
  const int32_t x0 = sweep->walk_state[1];
  const int32_t y0 = sweep->walk_state[2];
  const int32_t t = sweep->anm->frames;
  EXPECT_EQ(sweep->x, x0 - 8 * 65536 * t);
  EXPECT_EQ(sweep->y, y0 + 4 * 65536 * t);
  for (uint32_t frames : {3000u, 4096u, 1u << 20}) {
    SCOPED_TRACE(frames);
    // The object's clock set back that many frames.
    sweep->anm->start_time = sweep->anm->now - frames * 1000u / 60u;
    h.RunFrames(1);
    sweep = LiveUnitOfKind(91);
    ASSERT_NE(sweep, nullptr);
    EXPECT_EQ(sweep->x, x0 - 8 * 65536 * 2048);
    EXPECT_EQ(sweep->y, y0 + 4 * 65536 * 2048);
  }
}

// ---- The return visit ----

// For each partner: she stands on character 1's place and character 1 on hers; the other
// heroines' lines in the order 3, 6, 2, 5, 4, 1; the seven appearances in their order; after the
// movie the stage switches once, leaving no fixed sprite.
TEST(Map19ReturnVisit, ThePartyGathersSpeaksAndLeavesForTheMovie) {
  const struct {
    uint16_t p83;
    int partner;
  } cases[] = {{1, 1}, {2, 2}, {3, 3}, {5, 4}, {6, 5}, {4, 6}};
  const std::vector<std::string> lines = {"message 111:3292", "message 138:3293",
                                          "message 75:3294",  "message 210:3295",
                                          "message 156:3296", "message 30:3302"};
  const int line_of[7] = {-1, 5, 2, 0, 4, 3, 1};  // character -> its line's index
  for (const auto& c : cases) {
    SCOPED_TRACE(c.p83);
    auto hp = Map19Battle({.p83 = c.p83, .p73 = 1});
    EventHarness& h = *hp;
    h.ExpectTrace("Can't Play Movie");
    h.Start();
    ASSERT_TRUE(h.RunUntil("the appearances", [] { return Deployed(104); }, 6000));
    const SlgPoint own = CellToPosHeight(576, 1104);
    const SlgUnit* partner = LivePartyUnit(c.partner);
    ASSERT_NE(partner, nullptr);
    EXPECT_EQ(partner->x >> 16, own.x);
    EXPECT_EQ(partner->y >> 16, own.y);
    if (c.partner != 1) {
      const int rows[7][2] = {{520, 1080}, {576, 1104}, {432, 1128}, {440, 984},
                              {576, 960},  {728, 1128}, {672, 1008}};
      const SlgPoint hers = CellToPosHeight(rows[c.partner][0], rows[c.partner][1]);
      const SlgUnit* first = LivePartyUnit(1);
      ASSERT_NE(first, nullptr);
      EXPECT_EQ(first->x >> 16, hers.x);
      EXPECT_EQ(first->y >> 16, hers.y);
    }
    ASSERT_TRUE(h.RunUntil("the switch", [&] { return h.FrameOf(kSwitch) >= 0; }, 8000));
    h.RunFrames(5);
    std::vector<std::string> expected;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (static_cast<int>(i) != line_of[c.partner]) expected.push_back(lines[i]);
    }
    std::vector<std::string> got;
    for (const auto& m : h.Records("message")) {
      if (std::find(lines.begin(), lines.end(), m) != lines.end()) got.push_back(m);
    }
    EXPECT_EQ(got, expected);
    std::vector<std::string> appearances;
    for (const auto& r : h.Records("deploy ")) {
      const int kind = std::stoi(r.substr(7));
      if (kind >= 99 && kind <= 105) appearances.push_back(std::to_string(kind));
    }
    EXPECT_EQ(appearances,
              (std::vector<std::string>{"104", "102", "105", "101", "100", "103", "99"}));
    EXPECT_EQ(Count(h, "movie end"), 1u);
    EXPECT_EQ(Count(h, kSwitch), 1u);
    EXPECT_LT(h.FrameOf("movie end"), h.FrameOf(kSwitch) + 1);
    EXPECT_EQ(Battle().fix_tasks.count, 0);
  }
}

// A heroine absent from the field: her appearance ends at once and the scene goes on.
TEST(Map19ReturnVisit, AMissingHeroinesAppearanceDoesNotHoldTheScene) {
  auto hp = Map19Battle({.p83 = 1, .p73 = 1, .absent = {2}});
  EventHarness& h = *hp;
  h.ExpectTrace("Can't Play Movie");
  h.ExpectTrace("map 19");
  h.Start();
  ASSERT_TRUE(h.RunUntil("the switch", [&] { return h.FrameOf(kSwitch) >= 0; }, 10000));
  EXPECT_EQ(Count(h, "deploy 101 entry"), 0u);
}

// ---- The fixed sprites ----

TEST(Map19Sprites, TwentyNineAreListedAndHideOnTheFlagWordsBit) {
  auto hp = Map19Battle();
  EventHarness& h = *hp;
  h.Start();
  h.RunFrames(3);
  const FixTaskList& list = Battle().fix_tasks;
  ASSERT_EQ(list.count, 29);
  for (int i = 5; i < 29; ++i) {
    EXPECT_EQ(FixTaskWorkOf(list.tasks[static_cast<size_t>(i)])->step_words[0],
              static_cast<uint32_t>(i - 5));
  }
  Battle().flags |= 0x20;
  h.RunFrames(1);
  for (int i = 0; i < list.count; ++i) {
    EXPECT_EQ(FixTaskWorkOf(list.tasks[static_cast<size_t>(i)])->shown, 0) << i;
  }
  Battle().flags &= static_cast<uint16_t>(~0x20);
  h.RunFrames(1);
  for (int i = 0; i < list.count; ++i) {
    EXPECT_EQ(FixTaskWorkOf(list.tasks[static_cast<size_t>(i)])->shown, 1) << i;
  }
}

// The one-shot plays again on the frame after its end.
TEST(Map19Sprites, TheOneShotReplaysTheFrameAfterItsEnd) {
  auto hp = Map19Battle();
  EventHarness& h = *hp;
  h.Start();
  h.RunFrames(3);
  SlgEffectTask* task = Battle().fix_tasks.tasks[0];
  const FixTaskWork* work = FixTaskWorkOf(task);
  ASSERT_NE(work, nullptr);
  ASSERT_NE(work->obj, nullptr);
  int ends = 0;
  for (int f = 0; f < 600 && ends < 2; ++f) {
    const bool before = task->phase == 1;
    h.RunFrames(1);
    if (before && task->phase == 0) {
      ++ends;
      h.RunFrames(1);
      EXPECT_EQ(task->phase, 1);
      EXPECT_NE(work->obj->handle, nullptr);
    }
  }
  EXPECT_EQ(ends, 2);
}

// The drift: jitters on odd frames only, the wave from its start angle, the height's offset.
TEST(Map19Sprites, TheDriftFollowsItsTerms) {
  const Map19Drift d{.x0 = 500 << 16, .y0 = 100 << 16, .height = 32, .speed = 0x10000,
                     .life = 1200, .jitter_x = -10, .jitter_y = 20, .angle = 0, .wave = 0};
  const struct {
    int32_t t, x, y;
  } cases[] = {{0, 500, 122}, {1, 489, 142}, {2, 498, 122}, {3, 487, 142}};
  for (const auto& c : cases) {
    const Map19Point p = Map19DriftPos(d, c.t);
    EXPECT_EQ(p.x >> 16, c.x) << c.t;
    EXPECT_EQ(p.y >> 16, c.y) << c.t;
  }
  Map19Drift wave = d;
  wave.wave = 10;
  wave.jitter_y = 0;
  // SlgCos at 0 is 1.0: ten pixels more; at 128 (t = 32) none.
  EXPECT_EQ((Map19DriftPos(wave, 0).y - Map19DriftPos(d, 0).y) >> 16, 10);
  EXPECT_EQ(Map19DriftPos(wave, 32).y >> 16, Map19DriftPos(d, 32).y >> 16);
}

// A drifting sprite restarts when its lifetime is over, and at once when it leaves the view box.
TEST(Map19Sprites, ADriftingSpriteRestartsAtItsLifetimeOrOutsideTheBox) {
  const struct {
    int32_t random;
    int32_t least, most;  // frames between two starts (on the task's clock)
  } cases[] = {{2048, 1200, 1201}, {0, 1, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.random);
    auto hp = Map19Battle();
    EventHarness& h = *hp;
    for (int f : {110, 140}) h.SetFlagAtInstall(f);
    h.SetRandom({c.random});
    h.Start();
    std::vector<int32_t> starts;
    for (int f = 0; f < 2600 && starts.size() < 3; ++f) {
      h.RunFrames(1);
      const int32_t s = Map19State().drifts[0].start;
      if (starts.empty() || starts.back() != s) starts.push_back(s);
    }
    ASSERT_GE(starts.size(), 3u);
    EXPECT_GE(starts[2] - starts[1], c.least);
    EXPECT_LE(starts[2] - starts[1], c.most);
  }
}

// The engine's seeded generator: the same starts in two runs, and different ones for different
// sprites.
TEST(Map19Sprites, TheStartsRepeatInASecondRunAndVaryBetweenSprites) {
  std::vector<std::vector<int32_t>> runs;
  for (int run = 0; run < 2; ++run) {
    auto hp = Map19Battle();
    EventHarness& h = *hp;
    h.Start();
    h.RunFrames(5);
    std::vector<int32_t> xs;
    for (const Map19Drift& d : Map19State().drifts) xs.push_back(d.x0);
    runs.push_back(xs);
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_GT(std::set<int32_t>(runs[0].begin(), runs[0].end()).size(), 12u);
}

}  // namespace
