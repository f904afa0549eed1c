// Maps 12 and 13's event scripts in real battles on the event harness: map 12's opening (the
// party and the guards strengthened, the figures squeezed away), the order of its rows, the
// partner's lines, the escape (life and kiai into the story variables, the movie, the switch);
// map 13's restore of the party from those variables, its victory, and the chain of the two.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_events.h"
#include "battle/slg_map.h"
#include "battle/slg_map_plane.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/map12.h"
#include "battle_events/maps/map13.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "testsupport/program_driver.h"
#include "testsupport/slg_map_writer.h"
#include "engine/input/dinput.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::EventHarness;

constexpr const char* kSwitch = "task Slg::_exchangeStageNofade";
constexpr int kMad = 18;
constexpr int kMa = 2;
// Beyond the line through (1200, 480) (LP > 0) and short of it.
constexpr int kBeyondX = 1500;
constexpr int kShortX = 1000;
int LineY(int c) { return 420 + 16 * c; }

// Map 12's battle on its small stage: the hero at (1100, 600), heroines 1-6 (those in `absent` not
// made), four guards of kind 17 (characters 10-13), one enemy of kind 14, the event objects 80-94
// (the vanishing figures 87-90 with character bytes 0-3).
std::unique_ptr<EventHarness> Map12Battle(const std::vector<int>& absent = {}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(12);
  for (testsupport::MapStageUnit& u : stage.units) {
    if (u.side == 0 && std::find(absent.begin(), absent.end(), u.character) != absent.end()) {
      u.present = false;
    }
  }
  return testsupport::MakeMapHarness(kMap12Setup, stage);
}

std::vector<SlgUnit*> Guards() {
  std::vector<SlgUnit*> guards;
  for (int i = 0; i < Battle().state.unit_count; ++i) {
    SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
    if (u.kind == kMap12GuardKind && SlgUnitLive(u)) guards.push_back(&u);
  }
  return guards;
}

std::vector<int> Ids(const SlgEventEntry* table) {
  std::vector<int> ids;
  for (const SlgEventEntry* row = table; row->handler != nullptr; ++row) ids.push_back(row->id);
  return ids;
}

// ---- The tables ----

TEST(Map12Table, TheRowsInTheMapsOrderWithTheirOwnGuardsAndTheSetUps) {
  EXPECT_TRUE(testsupport::LintMapSetup(11, kMap12Setup).empty());
  EXPECT_TRUE(testsupport::LintMapSetup(12, kMap13Setup).empty());
  const std::vector<int> generic = {500, 501, 502, 503, 504, 505, 520, 521, 522, 523, 524,
                                    525, 530, 531, 532, 533, 534, 535, 610, 611, 612, 613,
                                    614, 615, 616};
  std::vector<int> map12 = {12100, 12199, 12102, 12103, 12104, 12106,
                            12107, 12200, 12201, 12202};
  map12.insert(map12.end(), generic.begin(), generic.end());
  std::vector<int> map13 = {13104, 13105, 13108};
  map13.insert(map13.end(), generic.begin(), generic.end());
  EXPECT_EQ(Ids(kMap12Setup.table), map12);
  EXPECT_EQ(Ids(kMap13Setup.table), map13);
  for (const SlgEventEntry* table : {kMap12Setup.table, kMap13Setup.table}) {
    for (const SlgEventEntry* row = table; row->handler != nullptr; ++row) {
      if (row->id >= 520 && row->id <= 535) {
        EXPECT_EQ(row->guard[0], row->id) << row->id;
      }
      if (row->id == 615) {
        EXPECT_STREQ(row->b, "PP(ITZ)&R(20);");
      }
      if (row->id == 616) {
        EXPECT_STREQ(row->b, "PP(IBS)&R(20);");
      }
      if (row->id == 610) {
        EXPECT_STREQ(row->b, "PP(IKD)&R(10);");
        EXPECT_STREQ(row->c, "NP(IMR());");
      }
    }
  }
  EXPECT_EQ(kMapEventSetupTable[11], &kMap12Setup);
  EXPECT_EQ(kMapEventSetupTable[12], &kMap13Setup);
  EXPECT_EQ(kMap12Setup.bgm, MapBgm::Play(29));
  EXPECT_EQ(kMap12Setup.anm_table.size(), 15u);
  EXPECT_NE(kMap12Setup.deferred, nullptr);
  EXPECT_EQ(kMap13Setup.bgm, MapBgm::Play(14));
  EXPECT_TRUE(kMap13Setup.anm_table.empty());
  EXPECT_EQ(kMap13Setup.deferred, nullptr);
}

// ---- Map 12: the opening ----

TEST(Map12Opening, StrengthensThePartyAndGuardsAndSqueezesTheFourFiguresAway) {
  auto h = Map12Battle();
  h->SetTrust(3, 90);  // IMR 3: the opening face 101
  h->Start();
  std::map<int, int> raised;    // kind -> frame it reached phase 2
  std::map<int, int> released;  // kind -> frame it reached phase 3
  std::map<int, int32_t> last_zoom_y;
  int frame = 0;
  ASSERT_TRUE(h->RunUntil("the opening's end", [&] {
    ++frame;
    for (int kind = 87; kind <= 90; ++kind) {
      const SlgUnit* f = FindUnitByKind(kind);
      if (f == nullptr) continue;
      if (f->state == kMap12FigureSqueeze && raised.count(kind) == 0) raised[kind] = frame;
      if (f->state == kMap12FigureGone && released.count(kind) == 0) {
        released[kind] = frame;
        EXPECT_EQ(f->anm == nullptr || f->anm->handle == nullptr, true) << kind;
      }
      if (f->state == kMap12FigureSqueeze) last_zoom_y[kind] = Map12State().zoom[f->character].y;
    }
    return h->FrameOf("end 12100") >= 0;
  }, 6000));
  for (int c = 0; c <= 6; ++c) {
    const SlgUnit* u = h->Unit(0, c);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->stats.extra_attack, 2) << c;
    EXPECT_EQ(u->stats.extra_defence, 2) << c;
  }
  const std::vector<SlgUnit*> guards = Guards();
  ASSERT_EQ(guards.size(), 4u);
  for (const SlgUnit* g : guards) {
    EXPECT_EQ(g->stats.life, 500);
    EXPECT_EQ(g->stats.max_life, 500);
    EXPECT_EQ(g->stats.attack, 13);
    EXPECT_EQ(g->stats.defence, 25);
  }
  // Raised in the visits' order (88, 89, 90, 87), each released sixteen frames later.
  ASSERT_EQ(raised.size(), 4u);
  ASSERT_EQ(released.size(), 4u);
  EXPECT_LT(raised[88], raised[89]);
  EXPECT_LT(raised[89], raised[90]);
  EXPECT_LT(raised[90], raised[87]);
  // t counts whole 60 Hz frames of the millisecond clock: the sixteenth frame may read 15.97.
  for (int kind = 87; kind <= 90; ++kind) {
    EXPECT_GE(released[kind] - raised[kind], 15) << kind;
    EXPECT_LE(released[kind] - raised[kind], 16) << kind;
    EXPECT_GT(last_zoom_y[kind], 65536) << "stretched upward while squeezed";
  }
  const auto messages = h->Records("message");
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), "message 101:3146");
  EXPECT_EQ(h->Records("se 270").size(), 4u);
  EXPECT_GE(h->FrameOf("se 131"), 0);
  EXPECT_EQ(messages.back(), "message 2:10001");
  for (int c = 0; c <= 6; ++c) EXPECT_NE(h->Unit(0, c)->flags & 0x80u, 0u) << "shown again";
}

// The squeeze by the figure's frames t since its raise: zoom (1 - t/16, 1 + t/4), drawn raised
// by 8 x zoom y; released at t 16. A figure whose character byte is above 3 has no slot.
TEST(Map12Figure, SqueezesFlatInSixteenFramesAndAFigureWithoutSlotStaysPut) {
  auto h = Map12Battle();
  h->SetFlagAtInstall(100);
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  EventDeployKind(88);
  EventDeployKind(90);
  SlgUnit* figure = FindUnitByKindChara(88, 1);
  SlgUnit* other = FindUnitByKindChara(90, 3);
  ASSERT_NE(figure, nullptr);
  ASSERT_NE(other, nullptr);
  const SlgEventAnmHandler handler = kMap12Setup.anm_table[88 - 80];
  SlgPair at{100 << 16, 200 << 16};
  h->RunFrames(1);
  ASSERT_EQ(figure->state, 1);
  ASSERT_NE(figure->anm, nullptr);
  EXPECT_EQ(Map12State().zoom[1].x, 65536);
  EXPECT_EQ(Map12State().zoom[1].y, 65536);
  figure->state = kMap12FigureSqueeze;
  struct Case {
    int32_t t;
    int32_t zoom_x;
    int32_t zoom_y;
  } cases[] = {{0, 65536, 65536}, {4, 49152, 131072}, {8, 32768, 196608}, {15, 4096, 311296}};
  for (const Case& c : cases) {
    figure->anm->frames = c.t;
    handler(*figure, at);
    EXPECT_EQ(figure->state, kMap12FigureSqueeze) << c.t;
    EXPECT_EQ(Map12State().zoom[1].x, c.zoom_x) << c.t;
    EXPECT_EQ(Map12State().zoom[1].y, c.zoom_y) << c.t;
    EXPECT_EQ(figure->anm->y, at.y - 8 * c.zoom_y) << c.t;
  }
  figure->anm->frames = 16;
  handler(*figure, at);
  EXPECT_EQ(figure->state, kMap12FigureGone);
  EXPECT_EQ(figure->anm == nullptr || figure->anm->handle == nullptr, true);
  // Character byte 7: no slot, nothing changes.
  other->character = 7;
  other->state = kMap12FigureSqueeze;
  const auto zoom = Map12State().zoom;
  ASSERT_NE(other->anm, nullptr);
  other->anm->frames = 20;
  handler(*other, at);
  EXPECT_EQ(other->state, kMap12FigureSqueeze);
  for (size_t s = 0; s < zoom.size(); ++s) EXPECT_EQ(Map12State().zoom[s].x, zoom[s].x) << s;
}

// ---- Map 12: the rows in order ----

TEST(Map12Rows, SpecialActionThenTurnTwoThenMadMatchesTheLaterPhaseFirst) {
  auto h = Map12Battle();
  h->SetFlagAtInstall(100);
  h->SetTrust(2, 90);  // IMR 2: line 69:10003
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  // A MAD before any MA: the partner's line, and no 12199.
  h->Act(0, 2);
  h->Command(kMad);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_GE(h->FrameOf("start 12200"), 0);
  EXPECT_LT(h->FrameOf("start 12199"), 0);
  h->Command(kMa);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_GE(h->FrameOf("start 12199"), 0) << "MA by heroine 2";
  EXPECT_NE(CheckEventFlag(99), 0);
  h->Act(0, 0);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_GE(h->FrameOf("message 69:10003"), 0);
  EXPECT_LT(h->FrameOf("start 12103"), 0) << "first turn still";
  h->BeginTurn();
  ASSERT_TRUE(h->RunUntilIdle(2000));
  EXPECT_GE(h->FrameOf("start 12103"), 0);
  EXPECT_GE(h->FrameOf("message 2:10018"), 0);
  h->Command(kMad);
  ASSERT_TRUE(h->RunUntilIdle(600));
  h->Command(kMad);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(h->Records("start 12107").size(), 2u);
  EXPECT_LT(h->FrameOf("start 12201"), 0);
  EXPECT_LT(h->FrameOf("start 12106"), 0);
}

TEST(Map12Rows, ThePartnersLineFollowsPEightyThree) {
  struct Case {
    uint16_t p83;
    const char* message;
  } cases[] = {{0, "message 239:15000"}, {9, "message 239:15000"}, {4, "message 239:15004"},
               {5, "message 239:15003"}, {6, "message 239:15005"}, {2, "message 239:15001"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p83);
    auto h = Map12Battle();
    h->SetFlagAtInstall(100);
    h->SetP(kPartnerVar, c.p83);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(600));
    h->Command(kMad);
    ASSERT_TRUE(h->RunUntilIdle(600));
    EXPECT_EQ(h->Records("message 239:"), (std::vector<std::string>{c.message}));
  }
}

// ---- Map 12: the escape ----

// The present characters moved beyond the line (one of them, `short_of`, short of it), then an
// action moment.
void Escape(EventHarness& h, const std::vector<int>& absent, int short_of = -1) {
  for (int c = 0; c <= 6; ++c) {
    if (std::find(absent.begin(), absent.end(), c) != absent.end()) continue;
    h.MoveTo(0, c, c == short_of ? kShortX : kBeyondX, LineY(c));
  }
  h.RunFrames(2);
  for (int c = 0; c <= 6; ++c) {
    if (std::find(absent.begin(), absent.end(), c) != absent.end()) continue;
    if (c == short_of) {
      EXPECT_LT(CondLP(c, 1, 1200, 480), 0) << c;
    } else {
      EXPECT_GT(CondLP(c, 1, 1200, 480), 0) << c;
    }
  }
  h.Act(0, 0);
}

TEST(Map12Escape, WritesLifeAndKiaiPlaysTheMovieAndSwitchesToStageTwelve) {
  for (bool movie : {true, false}) {
    SCOPED_TRACE(movie ? "with the movie" : "movie missing");
    testsupport::TraceCapture trace;
    auto h = Map12Battle({5});
    for (int f : {100, 99, 102, 103}) h->SetFlagAtInstall(f);
    if (movie) h->AddMovie(1, 18, 0.2);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(600));
    std::array<int, 7> life{};
    std::array<int, 7> kiai{};
    for (int c = 0; c <= 6; ++c) {
      if (c == 5) continue;
      SlgUnit* u = h->Unit(0, c);
      u->stats.life = static_cast<int16_t>(10 + c);
      u->stats.kiai = static_cast<uint16_t>(30 + c);
      life[static_cast<size_t>(c)] = 10 + c;
      kiai[static_cast<size_t>(c)] = 30 + c;
    }
    SlgSetMacroP(kMap12LifeVar[5], 77);
    SlgSetMacroP(kMap12KiaiVar[5], 77);
    Escape(*h, {5});
    ASSERT_TRUE(h->RunUntil("the switch", [&] { return h->FrameOf(kSwitch) >= 0; }, 20000));
    for (size_t c = 0; c < 7; ++c) {
      EXPECT_EQ(SlgGetMacroP(kMap12LifeVar[c]), life[c]) << c;
      EXPECT_EQ(SlgGetMacroP(kMap12KiaiVar[c]), kiai[c]) << c;
    }
    EXPECT_GE(h->FrameOf("task Eve::fadeOutMusic"), 0);
    EXPECT_LT(h->FrameOf("message 239:10021"), h->FrameOf(kSwitch));
    EXPECT_EQ(trace.Contains("Can't Play Movie"), !movie);
    EXPECT_TRUE(trace.Contains("Movie118")) << "played or named as missing";
    const auto movies = h->Records("movie ");
    ASSERT_FALSE(movies.empty());
    if (movie) {
      EXPECT_NE(movies.front().find("Movie118"), std::string::npos) << movies.front();
    }
    EXPECT_EQ(GetSystemData()->battleMap(), 12u);
  }
}

TEST(Map12Escape, OneCharacterShortOfTheLineHoldsItBack) {
  auto h = Map12Battle({5});
  for (int f : {100, 99, 102, 103}) h->SetFlagAtInstall(f);
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  Escape(*h, {5}, 3);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_LT(h->FrameOf("start 12104"), 0);
  EXPECT_EQ(CheckEventFlag(104), 0);
}

// ---- Map 13 ----

constexpr int kMaxLife = 80;
constexpr int kMaxKiai = 50;

// Map 13's battle: the hero, heroines 1-6, one enemy of group GZA; the story variables of
// `p` (character -> life, kiai) set. Each party unit gets the maxima above once started.
std::unique_ptr<EventHarness> Map13Battle(const std::map<int, std::pair<int, int>>& p,
                                         bool answer_messages = true) {
  EventHarness::Options options;
  options.answer_messages = answer_messages;
  auto h = testsupport::MakeMapHarness(kMap13Setup, *testsupport::FindMapStage(13), options);
  for (const auto& [c, v] : p) {
    h->SetP(kMap12LifeVar[static_cast<size_t>(c)], static_cast<uint16_t>(v.first));
    h->SetP(kMap12KiaiVar[static_cast<size_t>(c)], static_cast<uint16_t>(v.second));
  }
  return h;
}

void SetMaxima() {
  for (int c = 0; c <= 6; ++c) {
    if (SlgUnit* u = FindUnitByGroupKind(0, c); u != nullptr) {
      u->stats.max_life = kMaxLife;
      u->stats.max_kiai = kMaxKiai;
    }
  }
}

TEST(Map13Restore, LifeAndKiaiComeBackFromTheStoryVariablesWithinTheirMaxima) {
  auto h = Map13Battle({{0, {40, 20}}, {1, {0, 9}}, {2, {900, 30}}, {3, {12, 700}},
                        {4, {5, 5}}, {5, {0, 0}}, {6, {0, 0}}});
  h->Start();
  SetMaxima();
  // A sky plane (plane 1) for the opening to move and fade.
  const int map = h->install.stage.map;
  testsupport::LayMapFile(h->rig().driver().tree, map, "sky.spr",
                          testsupport::MapBankFile(testsupport::GridBank(64, 64, 2, 2, 1)));
  testsupport::MapTabWriter().File("Sky:", {"sky.spr"}).Lay(h->rig().driver().tree, map);
  SlgMap::LoadMapTable(map);
  SlgMap::SetPlaneOffset(1, 5, 33);
  h->BeginTurn();
  ASSERT_TRUE(h->RunUntilIdle(3000));
  struct Expect {
    int c;
    int life;
    int kiai;
  } kept[] = {{0, 40, 20}, {2, kMaxLife, 30}, {3, 12, kMaxKiai}, {4, 5, 5}};
  for (const Expect& e : kept) {
    SlgUnit* u = FindUnitByGroupKind(0, e.c);
    ASSERT_NE(u, nullptr) << e.c;
    EXPECT_EQ(u->stats.life, e.life) << e.c;
    EXPECT_EQ(u->stats.kiai, e.kiai) << e.c;
    EXPECT_EQ(u->stats.extra_attack, 2) << e.c;
    EXPECT_EQ(u->stats.extra_defence, 2) << e.c;
  }
  // Heroines 1, 5 and 6 left map 12 without life: gone, their falls' flags set (heroine 5: 505,
  // heroine 6: 504) and their fall scenes never run.
  for (int c : {1, 5, 6}) EXPECT_NE(CondNP(c), 0) << c;
  for (int f : {500, 504, 505}) EXPECT_NE(CheckEventFlag(static_cast<uint32_t>(f)), 0) << f;
  for (int f : {501, 502, 503}) EXPECT_EQ(CheckEventFlag(static_cast<uint32_t>(f)), 0) << f;
  h->BeginTurn();
  ASSERT_TRUE(h->RunUntilIdle(3000));
  for (const char* fall : {"start 500", "start 504", "start 505"}) EXPECT_LT(h->FrameOf(fall), 0);
  // The opening: plane 1 moved, flag 900, the white flash and the talk.
  int32_t x = 0;
  int32_t y = 0;
  EventGetPlaneOffset(&x, &y);
  EXPECT_EQ(x, kMap13PlaneX);
  EXPECT_EQ(y, 33);
  ASSERT_NE(Battle().map.planes[1], nullptr);
  EXPECT_EQ(Battle().map.planes[1]->enabled, 0) << "faded out";
  EXPECT_NE(CheckEventFlag(900), 0);
  EXPECT_GE(h->FrameOf("fade 256 white"), 0);
  EXPECT_EQ(h->Records("message 239:1002"),
            (std::vector<std::string>{"message 239:10022", "message 239:10023"}));
  EXPECT_EQ(h->Records("start 13104").size(), 1u);
}

// The messages answered by hand (a press on even frames): the closing talk's first message is held
// for kHold frames.
TEST(Map13Victory, TheHeroAtLifeOneAndTheClosingSoundsAtRandomIntervals) {
  auto h = Map13Battle({}, false);
  h->SetFlagAtInstall(104);
  h->SetTrust(4, 90);  // IMR 4: 150:10029
  h->Start();
  h->Unit(0, 0)->stats.life = 30;
  // Every enemy of group GZA (the install's soldier too) taken off the map.
  testsupport::RemoveLiveUnitsOfSide(1);
  constexpr int kHold = 600;
  int closing_from = -1;
  ASSERT_TRUE(h->RunUntil("the victory", [&] {
    const int f = h->rig().frame();
    if (closing_from < 0 && h->FrameOf("message 6:3148") >= 0) closing_from = f;
    const bool held = closing_from >= 0 && f < closing_from + kHold;
    if (Battle().message.wait_state == 1 && !held && f % 2 == 0) {
      h->rig().Schedule({testsupport::GameKeyDown(f, kGameKey0), testsupport::GameKeyUp(f + 1, kGameKey0)});
    }
    return h->FrameOf("task Slg::GameWin") >= 0;
  }, 2000));
  std::vector<int> se_frames;
  for (const auto& r : h->records()) {
    if (r.what == "se 277") se_frames.push_back(r.frame);
  }
  EXPECT_GE(h->FrameOf("message 4:10024"), 0);
  EXPECT_GE(h->FrameOf("message 150:10029"), 0);
  EXPECT_EQ(h->Unit(0, 0)->stats.life, 1);
  const int first = h->FrameOf("message 6:3148");
  const int win = h->FrameOf("task Slg::GameWin");
  ASSERT_GE(se_frames.size(), 4u) << "600 frames of the closing talk";
  EXPECT_GE(se_frames.front() - first, 64);
  EXPECT_LE(se_frames.front() - first, 128);
  for (int f : se_frames) EXPECT_LE(f, win);
  std::vector<int> gaps;
  for (size_t i = 1; i < se_frames.size(); ++i) gaps.push_back(se_frames[i] - se_frames[i - 1]);
  for (int g : gaps) {
    EXPECT_GE(g, 64);
    EXPECT_LE(g, 127);
  }
  EXPECT_NE(std::adjacent_find(gaps.begin(), gaps.end(), std::not_equal_to<>()), gaps.end())
      << "the intervals vary: " << ::testing::PrintToString(gaps);
  // None after the talk.
  const int before = static_cast<int>(se_frames.size());
  h->RunFrames(300);
  EXPECT_EQ(static_cast<int>(h->Records("se 277").size()), before);
  EXPECT_EQ(h->Records("task Slg::GameWin").size(), 1u);
}

// ---- From map 12 to map 13 ----

// Map 12 played from its opening to its escape (heroine 4 fallen on the way), then map 13 started
// on the variables it left: the party as it left.
TEST(Map12Chain, MapThirteenRestoresThePartyAsItLeftMapTwelve) {
  std::map<int, std::pair<int, int>> left;
  {
    auto h = Map12Battle();
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(6000)) << "the opening";
    SetMaxima();
    for (int c = 0; c <= 6; ++c) {
      SlgUnit* u = h->Unit(0, c);
      u->stats.life = static_cast<int16_t>(20 + 7 * c);
      u->stats.kiai = static_cast<uint16_t>(3 * c);
    }
    h->Act(0, 1);
    h->Command(kMa);
    ASSERT_TRUE(h->RunUntilIdle(600));
    h->Act(0, 0);
    ASSERT_TRUE(h->RunUntilIdle(600));
    h->BeginTurn();
    ASSERT_TRUE(h->RunUntilIdle(2000));
    ASSERT_NE(CheckEventFlag(103), 0);
    EventRemoveUnit(h->Unit(0, 4));
    ASSERT_TRUE(h->RunUntilIdle(2000));
    h->AddMovie(1, 18, 0.1);
    Escape(*h, {4});
    ASSERT_TRUE(h->RunUntil("the switch", [&] { return h->FrameOf(kSwitch) >= 0; }, 20000));
    for (int c = 0; c <= 6; ++c) {
      const auto i = static_cast<size_t>(c);
      left[c] = {SlgGetMacroP(kMap12LifeVar[i]), SlgGetMacroP(kMap12KiaiVar[i])};
    }
  }
  EXPECT_EQ(left[4], (std::pair<int, int>{0, 0}));
  EXPECT_EQ(left[2], (std::pair<int, int>{34, 6}));
  auto h = Map13Battle(left);
  h->Start();
  SetMaxima();
  h->BeginTurn();
  ASSERT_TRUE(h->RunUntilIdle(3000));
  for (int c = 0; c <= 6; ++c) {
    if (c == 4) {
      EXPECT_NE(CondNP(4), 0);
      EXPECT_NE(CheckEventFlag(503), 0);
      continue;
    }
    const SlgUnit* u = FindUnitByGroupKind(0, c);
    ASSERT_NE(u, nullptr) << c;
    EXPECT_EQ(u->stats.life, 20 + 7 * c) << c;
    EXPECT_EQ(u->stats.kiai, 3 * c) << c;
  }
}

}  // namespace
