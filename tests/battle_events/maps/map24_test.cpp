// Map 24's event script on the event harness: the table and the fixed sprites, the party shown
// on each route's cells, the companion's stand (the walk-in and its timing, the others moving on,
// the companion's act on the staged object, the three white flashes, the four attacks on her,
// the still picture and the switch to stage 24), missing units, and the map's own objects.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/final_kit.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map24.h"
#include "game/system_data.h"
#include "testsupport/map_run_stories.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "tests/battle_events/maps/final_map_fixture.h"

namespace {

using testsupport::EventHarness;
using final_map_test::ExpectFinalRows;
using final_map_test::SameCell;

constexpr int kStage = 23;
constexpr const char* kSwitch = "task Slg::_exchangeStage";

struct Map24Case {
  uint16_t p83 = 1;
  std::vector<int> missing;  // party kinds without a unit
  bool attackers = true;     // the three enemy groups' entries
};

// Map 24's battle on its small stage: the hero, heroines 1-6 as kinds 8-13 (the `missing` ones left
// out), the enemy groups of kinds 17, 19 and 18 (group 1, characters 0, 1, 2) placed later around
// the companion's stand, the event objects 80-88 on the staged object's point and the fixed
// sprites' animation row 89.
std::unique_ptr<EventHarness> Map24Battle(const Map24Case& s) {
  testsupport::MapStage stage = *testsupport::FindMapStage(24);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return u.side == 0 &&
           std::find(s.missing.begin(), s.missing.end(), u.character) != s.missing.end();
  });
  if (!s.attackers) {
    std::erase_if(stage.units, [](const testsupport::MapStageUnit& u) { return u.side == 1; });
  }
  auto h = testsupport::MakeMapHarness(kMap24Setup, stage);
  h->SetP(83, s.p83);
  return h;
}

// The P[83] values that give route kinds 1-6.
using testsupport::kP83OfRoute;

// ---- The table ----

TEST(Map24Table, FourRowsTheObjectsAndTheFixedSprites) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap24Setup).empty());
  ExpectFinalRows(kMap24Setup.table, 24,
                  {"FAD(83)!=2;", "FAD(83)=2;", "FAD(83)!=6;", "FAD(83)=6;"});
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap24Setup);
  EXPECT_EQ(kMap24Setup.bgm, MapBgm::None());
  EXPECT_EQ(kMap24Setup.anm_table.size(), static_cast<size_t>(kMap24ObjectKinds));
  // The deferred set-up: 22 fixed sprites of animation 89 on their map points, in order.
  Map24Case s;
  auto h = Map24Battle(s);
  for (int f : {105, 106, 110, 111}) h->SetFlagAtInstall(f);
  h->Start();
  h->RunFrames(4);
  const FixTaskList& list = Battle().fix_tasks;
  ASSERT_EQ(list.count, kMap24FixedSprites);
  const int points[kMap24FixedSprites][2] = {
      {22, 650},   {118, 656}, {132, 978},  {190, 406},  {304, 502},  {382, 438},
      {482, 264},  {594, 360}, {532, 890},  {734, 700},  {972, 752},  {1232, 626},
      {772, 122},  {886, 214}, {978, 234},  {1170, 72},  {1276, 92},  {960, 508},
      {1042, 494}, {1092, 464}, {1148, 428}, {1246, 356}};
  for (int n = 0; n < kMap24FixedSprites; ++n) {
    const FixTaskRow& row = kMap24Sprites[static_cast<size_t>(n)];
    EXPECT_EQ(row.id, 3);
    EXPECT_EQ(row.anm_id, 89u);
    const FixTaskWork* work = FixTaskWorkOf(list.tasks[static_cast<size_t>(n)]);
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->x, points[n][0] * 65536) << n;
    EXPECT_EQ(work->y, points[n][1] * 65536) << n;
    EXPECT_NE(work->anm, nullptr) << n << ": animation 89 found";
  }
}

// ---- The party shown ----

// The cells of each route kind: the listed kinds on their doubled cells facing 0 when the first
// word is said, the others off the map; all facing 2 after the flash; the route's list.
TEST(Map24Party, EachRouteKindPlacesItsPartyAndSaysItsList) {
  using Talk = std::vector<std::string>;
  const Talk list1345 = {"message 14:3224", "message 212:3225", "message 158:3226",
                         "message 113:3227", "message 32:3228"};
  const Talk list2 = {"message 15:10001", "message 14:3208", "message 158:3209",
                      "message 113:3210", "message 212:3211", "message 77:3229",
                      "message 113:40100", "message 11:40200"};
  const Talk list6 = {"message 14:3224", "message 212:3225", "message 158:3226",
                      "message 113:3227", "message 140:3230"};
  for (int route = 1; route <= 6; ++route) {
    SCOPED_TRACE(route);
    Map24Case s;
    s.p83 = kP83OfRoute[static_cast<size_t>(route)];
    auto h = Map24Battle(s);
    h->SetFlagAtInstall(110);
    h->SetFlagAtInstall(111);
    h->Start();
    const FinalCellRow& row = kMap24StartCells[static_cast<size_t>(route)];
    const std::string first = route == 2 ? "message 15:10001" : "message 15:10000";
    ASSERT_TRUE(h->RunUntil("the first word", [&] { return h->FrameOf(first) >= 0; }, 2000));
    for (int k = 0; k < kFinalKinds; ++k) {
      const FinalCell c = row[static_cast<size_t>(k)];
      const SlgUnit* u = LivePartyUnit(k);
      if (!c.present()) {
        EXPECT_EQ(u, nullptr) << k;
        continue;
      }
      ASSERT_NE(u, nullptr) << k;
      EXPECT_TRUE(SameCell(u, c.px(), c.py())) << k;
      EXPECT_EQ(u->dir, 0) << k;
    }
    ASSERT_TRUE(h->RunUntilIdle(3000));
    for (int k = 0; k < kFinalKinds; ++k) {
      if (const SlgUnit* u = LivePartyUnit(k); u != nullptr) {
        EXPECT_EQ(u->dir, 2) << k;
      }
    }
    EXPECT_EQ(h->Records("start"), (std::vector<std::string>{route == 2 ? "start 24106" : "start 24105"}));
    EXPECT_EQ(h->Records("bg show 300").size(), 1u);
    EXPECT_EQ(h->Records("bg free 300").size(), 1u);
    EXPECT_EQ(h->Records("bgm"), (std::vector<std::string>{"bgm 26"}));
    EXPECT_EQ(h->Records("task Eve::fadeOutMusic").size(), 1u);
    const Talk said = h->Records("message");
    if (route == 2) {
      EXPECT_EQ(said, list2);
    } else {
      Talk want = {"message 15:10000"};
      const Talk& middle = route == 6 ? list6 : list1345;
      want.insert(want.end(), middle.begin(), middle.end());
      want.insert(want.end(), {"message 113:40100", "message 14:40200"});
      EXPECT_EQ(said, want);
    }
  }
}

// ---- The stand: a whole run ----

struct StandRun {
  std::vector<std::string> starts;
  int stand_start = -1;
  // The walk-in: the frame each kind was marked walking and arrived, and whether it arrived on
  // its walk-in cell; the same for the second walk.
  std::array<int, kFinalKinds> marked{};
  std::array<int, kFinalKinds> arrived{};
  std::array<bool, kFinalKinds> on_walk_in{};
  std::array<bool, kFinalKinds> on_second{};
  int companion_set_off = -1;  // frames after the stand's start: her interval over
  int walk_in_done = -1;  // frames after the stand's start: the others turned to face 2
  std::array<int, kFinalKinds> dir_at_talk{};  // when the first leave word is said
  std::array<std::array<int32_t, 2>, kFinalKinds> second_from{};  // where each stood then
  bool companion_on_stand = false;
  int companion_dir = -1;
  // The companion's act: its attack type and aim when it enters state 5 (first time).
  int act_type = -1;
  std::array<int, 2> act_aim{};
  int staged_state = -1;
  int staged_pattern = -1;
  // The flashes: frames of SE 291, white-outs and white-ins and deploys of 17-19 in the stand.
  std::vector<std::string> flash_deploys;
  std::vector<int> se291, white_out, white_in, deploy_frames;
  // The attacks on the companion: (actor's character, attack type) and clean ends.
  std::vector<std::array<int, 2>> attacks;
  int attacks_clean = 0;  // the words back to 0 with the companion's bit clear
  int picture = 0;
  int picture_frames = 0;
  int64_t freed_at_switch = 0;
  bool holder_at_switch = true;
  bool switched = false;
};

StandRun PlayStand(EventHarness& h, const std::function<void()>& after_start = {}) {
  StandRun r;
  r.marked.fill(-1);
  r.arrived.fill(-1);
  r.dir_at_talk.fill(-1);
  h.Start();
  if (after_start) after_start();
  int frame = 0;
  std::array<uint8_t, kFinalKinds> was{};
  int walk = 0;  // 1 the walk-in, 2 the second walk
  int32_t prev_words = 0;
  std::array<int, 3> attacker_state{};
  int64_t prev_live = Battle().alloc.live;
  bool leave_talk = false;
  bool acted = false;
  size_t records_seen = 0;
  const bool ended = h.RunUntil("the switch", [&] {
    ++frame;
    Map24Words& w = Map24State();
    for (; records_seen < h.records().size(); ++records_seen) {
      const std::string& what = h.records()[records_seen].what;
      if (what.rfind("start 2411", 0) == 0) {
        r.stand_start = frame;
        walk = 1;
      }
      if (r.stand_start < 0 || !r.attacks.empty()) continue;
      if (what == "se 291") r.se291.push_back(frame);
      if (what == "fade 256 white") r.white_out.push_back(frame);
      if (what == "fade 0 white") r.white_in.push_back(frame);
      if (what.rfind("deploy 1", 0) == 0) {
        r.flash_deploys.push_back(what.substr(0, 9));
        r.deploy_frames.push_back(frame);
      }
      if (what == "message 11:10005" || what == "message 11:20000") leave_talk = true;
    }
    if (walk == 1 && leave_talk && r.dir_at_talk[0] < 0) {
      for (int k = 0; k < kFinalKinds; ++k) {
        const auto i = static_cast<size_t>(k);
        if (const SlgUnit* u = LivePartyUnit(k); u != nullptr) {
          r.dir_at_talk[i] = u->dir;
          r.second_from[i] = {u->x >> 16, u->y >> 16};
        }
      }
      walk = 2;
      was.fill(0);
    }
    if (walk == 1) {
      const FinalCellRow& row = kMap24StartCells[static_cast<size_t>(FinalRouteKind())];
      for (int k = 0; k < kFinalKinds; ++k) {
        const auto i = static_cast<size_t>(k);
        if (w.walkers.walking[i] != 0 && was[i] == 0 && r.marked[i] < 0) r.marked[i] = frame - r.stand_start;
        if (w.walkers.walking[i] == 0 && was[i] != 0 && r.arrived[i] < 0) {
          r.arrived[i] = frame - r.stand_start;
          const SlgPoint p = Map24WalkInPoint(row[i], k);
          r.on_walk_in[i] = SameCell(LivePartyUnit(k), p.x, p.y);
        }
        was[i] = w.walkers.walking[i];
      }
      if (r.companion_set_off < 0 && w.companion_started != 0) {
        r.companion_set_off = frame - r.stand_start;
      }
      if (r.walk_in_done < 0 && w.companion_started != 0 && w.walkers.arrived >= w.party.count) {
        r.walk_in_done = frame - r.stand_start;
      }
    } else if (walk == 2) {
      for (int k = 0; k < kFinalKinds; ++k) {
        const auto i = static_cast<size_t>(k);
        if (w.walkers.walking[i] == 0 && was[i] != 0) {
          const SlgPoint t = w.walkers.target[i];
          r.on_second[i] = SameCell(LivePartyUnit(k), t.x, t.y) &&
                           t.x == r.second_from[i][0] + kMap24OnX && t.y == r.second_from[i][1] + kMap24OnY;
        }
        was[i] = w.walkers.walking[i];
      }
    }
    const SlgUnit* comp = LivePartyUnit(w.companion);
    if (!acted && comp != nullptr && comp->state == 5 && r.stand_start >= 0 && walk == 2) {
      acted = true;
      r.companion_on_stand = SameCell(comp, kMap24StandX, kMap24StandY);
      r.companion_dir = comp->dir;
      r.act_type = comp->stats.attack_type;
      r.act_aim = {Battle().cmd.target_pos[0], Battle().cmd.target_pos[1]};
    }
    if (r.staged_state < 0 && !r.deploy_frames.empty()) {
      if (const SlgUnit* staged = LiveUnitOfKind(82); staged != nullptr && staged->anm != nullptr) {
        r.staged_state = staged->state;
        r.staged_pattern = staged->anm->pattern;
      }
    }
    // An attack begins when a group-1 unit leaves state 0 under the scripted-attack words. The
    // first three follow each other on one frame (one's finish, the next one's prepare); the
    // third and the fourth end with both words 0 and the companion's damage-list bit clear.
    const int32_t words = Battle().event_words.acting_mode[0] | Battle().event_words.acting_mode[1];
    for (int c = 0; c < 3; ++c) {
      const SlgUnit* u = FindUnitByGroupKind(1, c);
      const int state = u != nullptr ? u->state : 0;
      if (state != 0 && attacker_state[static_cast<size_t>(c)] == 0 && words != 0) {
        r.attacks.push_back({c, u->stats.attack_type});
      }
      attacker_state[static_cast<size_t>(c)] = state;
    }
    if (prev_words != 0 && words == 0 && (comp == nullptr || (comp->flags & 1) == 0)) ++r.attacks_clean;
    prev_words = words;
    for (int p : {238, 241}) {
      const int shown = h.FrameOf("bg show " + std::to_string(p));
      const int freed = h.FrameOf("bg free " + std::to_string(p));
      if (shown >= 0 && freed >= 0) {
        r.picture = p;
        r.picture_frames = freed - shown;
      }
    }
    const bool switched = h.FrameOf(kSwitch) >= 0;
    if (switched) {
      r.freed_at_switch = prev_live - Battle().alloc.live;
      r.holder_at_switch = w.routes.holder != nullptr;
    }
    prev_live = Battle().alloc.live;
    return switched;
  }, 20000);
  r.switched = ended;
  r.starts = h.Records("start");
  return r;
}

struct RouteCase {
  uint16_t p83;
  int party;
  int stand;
  const char* route_word;  // the stand's route list's third word
};

void ExpectWholeStand(const RouteCase& c) {
  SCOPED_TRACE(c.p83);
  Map24Case s;
  s.p83 = c.p83;
  auto h = Map24Battle(s);
  const StandRun r = PlayStand(*h);
  ASSERT_TRUE(r.switched);
  EXPECT_EQ(r.starts, (std::vector<std::string>{"start " + std::to_string(c.party),
                                                 "start " + std::to_string(c.stand)}));
  const bool tezavi = c.stand == 24110;
  const int companion = tezavi ? 5 : 1;
  EXPECT_EQ(Map24State().companion, companion);
  // The walk-in: the others at once, the companion 128 frames on; all on their walk-in cells.
  const FinalCellRow& row = kMap24StartCells[static_cast<size_t>(FinalRouteKind())];
  int listed = 0;
  const int first = r.marked[0];
  EXPECT_GE(first, 0);
  for (int k = 0; k < kFinalKinds; ++k) {
    const auto i = static_cast<size_t>(k);
    if (!row[i].present()) {
      EXPECT_EQ(r.marked[i], -1) << k;
      continue;
    }
    ++listed;
    EXPECT_EQ(r.marked[i] - first, k == companion ? kMap24CompanionDelay : 0) << k;
    EXPECT_GT(r.arrived[i], r.marked[i]) << k;
    EXPECT_TRUE(r.on_walk_in[i]) << k;
    if (k != companion) {
      EXPECT_EQ(r.dir_at_talk[i], 2) << k;
      EXPECT_TRUE(r.on_second[i]) << k << ": on (+192, -120)";
    }
  }
  EXPECT_EQ(listed, 5);
  EXPECT_EQ(r.walk_in_done, *std::max_element(r.arrived.begin(), r.arrived.end()))
      << "on with the last arrival";
  // The companion on her stand, facing 0, acts on the staged object (type 2, aimed at its
  // point), which has advanced twice (pattern 2).
  EXPECT_TRUE(r.companion_on_stand);
  EXPECT_EQ(r.companion_dir, 0);
  EXPECT_EQ(r.act_type, 2);
  EXPECT_EQ(r.act_aim, (std::array<int, 2>{kMap24AimX, kMap24AimY}));
  EXPECT_EQ(r.staged_state, 5);
  EXPECT_EQ(r.staged_pattern, 2);
  EXPECT_EQ(h->Records(c.route_word).size(), 1u);
  // The flashes: 17, 19 and 18 each brought in on a white-in, the sound with the white-ins
  // (24110) or the white-outs (24111).
  EXPECT_EQ(r.flash_deploys, (std::vector<std::string>{"deploy 17", "deploy 19", "deploy 18"}));
  EXPECT_EQ(r.white_out.size(), 3u);
  EXPECT_EQ(r.deploy_frames, r.white_in);
  EXPECT_EQ(r.se291, tezavi ? r.white_in : r.white_out);
  // Four attacks on the companion by characters 0, 1, 2, 0 of group 1, types 0, 0, 0, 2.
  EXPECT_EQ(r.attacks, (std::vector<std::array<int, 2>>{{0, 0}, {1, 0}, {2, 0}, {0, 2}}));
  EXPECT_EQ(r.attacks_clean, 2) << "the words and the bit clear while the last strike's word "
                                   "is said, and after the last";
  // The ending.
  EXPECT_EQ(r.picture, tezavi ? 241 : 238);
  EXPECT_GE(r.picture_frames, 300);
  EXPECT_FALSE(r.holder_at_switch);
  EXPECT_GE(r.freed_at_switch, kFinalRouteWorks) << "the route works freed before the switch";
  EXPECT_EQ(h->Records(kSwitch).size(), 1u);
  EXPECT_EQ(GetSystemData()->battleMap(), 24u);
}

TEST(Map24Run, DavoneAndTezaviRoutesPlayTheirOwnRowsToTheSwitch) {
  ExpectWholeStand({2, 24106, 24110, "message 212:10120"});
  ExpectWholeStand({6, 24105, 24111, "message 32:20070"});
}

TEST(Map24Run, TamvikAndBriseRoutesPlayTheFirstRowsWithTheirLists) {
  ExpectWholeStand({1, 24105, 24110, "message 212:10100"});
  ExpectWholeStand({4, 24105, 24110, "message 212:10110"});
}

// P[83] 300 (out of the table) counts as route kind 1.
TEST(Map24Run, APartnerOutOfTheTablePlaysTheFirstRows) {
  ExpectWholeStand({300, 24105, 24110, "message 212:10100"});
}

// ---- Missing units ----

// A missing member's walks count as arrived at once, so both counts are reached; a missing
// companion ends the interval at once and her act and the attacks on her are skipped; without
// the enemy groups the attacks are skipped. Each scene still reaches the switch.
TEST(Map24Missing, AMissingMemberOrCompanionLetsTheStandEnd) {
  const struct Case {
    std::vector<int> missing;
    size_t attacks;
  } cases[] = {{{4}, 4}, {{5}, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.missing.front());
    Map24Case s;
    s.missing = c.missing;
    auto h = Map24Battle(s);
    h->ExpectTrace("final battle: party kind " + std::to_string(c.missing.front()));
    if (c.attacks == 0) h->ExpectTrace("final battle: a scripted attack without its actor or target");
    const StandRun r = PlayStand(*h);
    ASSERT_TRUE(r.switched);
    const auto k = static_cast<size_t>(c.missing.front());
    EXPECT_EQ(r.marked[k], -1) << "never seen walking: counted as arrived on its first step";
    // The walk-in ends on the frame the last walker arrives, the count of five reached.
    EXPECT_EQ(r.walk_in_done, *std::max_element(r.arrived.begin(), r.arrived.end()));
    // A missing companion ends her interval at once.
    EXPECT_EQ(r.companion_set_off - r.marked[0], k == 5 ? 0 : kMap24CompanionDelay);
    EXPECT_EQ(r.attacks.size(), c.attacks);
    EXPECT_EQ(r.flash_deploys.size(), 3u);
    EXPECT_EQ(h->Records(kSwitch).size(), 1u);
  }
}

TEST(Map24Missing, WithoutTheEnemyGroupsTheAttacksAreSkipped) {
  Map24Case s;
  s.attackers = false;
  auto h = Map24Battle(s);
  h->ExpectTrace("final battle: a scripted attack without its actor or target");
  const StandRun r = PlayStand(*h);
  ASSERT_TRUE(r.switched);
  EXPECT_TRUE(r.attacks.empty());
  EXPECT_EQ(r.attacks_clean, 0) << "no words were set";
  EXPECT_TRUE(r.flash_deploys.empty());
  EXPECT_EQ(r.picture, 241);
  EXPECT_EQ(h->Records(kSwitch).size(), 1u);
}

// ---- The map's objects ----

// A battle with the map's rows done (their flags set): only the objects the test deploys run.
std::unique_ptr<EventHarness> ObjectsBattle() {
  Map24Case s;
  auto h = Map24Battle(s);
  for (int f : {105, 106, 110, 111}) h->SetFlagAtInstall(f);
  h->Start();
  return h;
}

// Each growing object's zoom pair starts at 1/64 and gains 1/64 a frame of its clock until it is
// whole after 63 frames, then stays; 81, deployed later, keeps its own pair. State 2 releases.
TEST(Map24Objects, GrowingObjectsReachWholeSizeOnTheirOwnClocks) {
  auto h = ObjectsBattle();
  EventDeployKind(80);
  h->RunFrames(20);
  EventDeployKind(81);
  std::array<int, 2> whole_at{-1, -1};  // the clock's frames when the zoom became whole
  std::array<int32_t, 2> last{};
  int32_t other_then = -1;  // 81's zoom when 80 became whole
  for (int f = 0; f < 90; ++f) {
    h->RunFrames(1);
    for (int n = 0; n < 2; ++n) {
      const SlgUnit* u = LiveUnitOfKind(80 + n);
      ASSERT_NE(u, nullptr);
      if (u->anm == nullptr || u->state == 0) continue;
      const SlgPair zoom = Map24State().zoom[static_cast<size_t>(n)];
      EXPECT_EQ(zoom.x, zoom.y);
      EXPECT_GE(zoom.x, last[static_cast<size_t>(n)]) << "never shrinks";
      last[static_cast<size_t>(n)] = zoom.x;
      if (whole_at[static_cast<size_t>(n)] < 0) {
        EXPECT_EQ(zoom.x, std::min(kMap24ZoomStart * (1 + u->anm->frames), kMap24ZoomFull));
        if (zoom.x == kMap24ZoomFull) whole_at[static_cast<size_t>(n)] = u->anm->frames;
      } else {
        EXPECT_EQ(zoom.x, kMap24ZoomFull);
      }
    }
    if (whole_at[0] >= 0 && other_then < 0) other_then = Map24State().zoom[1].x;
  }
  EXPECT_EQ(whole_at, (std::array<int, 2>{63, 63}));
  EXPECT_GT(other_then, kMap24ZoomStart);
  EXPECT_LT(other_then, kMap24ZoomFull) << "81 still growing on its own pair";
  SlgUnit* grown = LiveUnitOfKind(80);
  SetUnitState(*grown, 2);
  h->RunFrames(1);
  EXPECT_EQ(grown->state, 3);
  EXPECT_EQ(grown->anm->handle, nullptr) << "released";
}

// The staged object: states 0, 2, 4 and 6 give patterns 0-3 (3 played once), 7 pattern 4 when
// its frame counter reaches 128, 9 releases its animation.
TEST(Map24Objects, TheStagedObjectShowsAPatternForEachStateTheScriptGivesIt) {
  auto h = ObjectsBattle();
  EventDeployKind(82);
  h->RunFrames(2);
  SlgUnit* staged = LiveUnitOfKind(82);
  ASSERT_NE(staged, nullptr);
  ASSERT_NE(staged->anm, nullptr);
  EXPECT_EQ(staged->state, 1);
  EXPECT_EQ(staged->anm->pattern, 0);
  const struct Step {
    uint8_t set, pattern, then;
  } steps[] = {{2, 1, 3}, {4, 2, 5}, {6, 3, 7}};
  for (const Step& s : steps) {
    SetUnitState(*staged, s.set);
    h->RunFrames(1);
    EXPECT_EQ(staged->anm->pattern, s.pattern) << int{s.set};
    EXPECT_EQ(staged->state, s.then) << int{s.set};
  }
  EXPECT_EQ(staged->anm->mode & kSlgAnmOnce, kSlgAnmOnce) << "pattern 3 played once";
  int frames = 0;
  while (staged->state == 7 && frames < 300) {
    h->RunFrames(1);
    ++frames;
  }
  EXPECT_EQ(frames, kMap24StagedHold);
  EXPECT_EQ(staged->state, 8);
  EXPECT_EQ(staged->anm->pattern, 4);
  EXPECT_EQ(staged->anm->mode & kSlgAnmOnce, 0) << "pattern 4 loops";
  SetUnitState(*staged, 9);
  h->RunFrames(1);
  EXPECT_EQ(staged->state, 10);
  EXPECT_EQ(staged->anm->handle, nullptr) << "released";
}

// The walk-in points: (x + 24 x offset, y - 12 x offset), doubled, by kind.
TEST(Map24WalkIn, ThePointsFollowTheOffsetTable) {
  const FinalCell start{192, 320};
  const int offsets[] = {12, 12, 12, 11, 15, 8, 12};
  for (int k = 0; k < kFinalKinds; ++k) {
    const SlgPoint p = Map24WalkInPoint(start, k);
    EXPECT_EQ(p.x, (192 + 24 * offsets[k]) * 2) << k;
    EXPECT_EQ(p.y, (320 - 12 * offsets[k]) * 2) << k;
  }
}

}  // namespace
