// Map 26's event script on the event harness: the table, the party scene of each route (start
// cells and lists), the final scene with the eight pushes or the fly-off, the still picture and
// the one victory.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/maps/kit/final_kit.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map26.h"
#include "battle_events/runtime/effect_objects.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "tests/battle_events/maps/final_map_fixture.h"

namespace {

using final_map_test::ExpectFinalRows;
using final_map_test::Placed;
using testsupport::EventHarness;

constexpr int kStage = 25;
constexpr const char* kWin = "task Slg::GameWin";
constexpr int kEscortKind = 31;

struct Map26Case {
  uint16_t p83 = 1;
  bool boss = true;
  bool escort = true;
  std::vector<int> missing;  // party kinds without a unit
};

// Map 26's battle on its small stage: the hero, heroines 1-6 as kinds 8-13 (the `missing` ones left
// out), the boss (kind 30, group 1) placed later by the script, the group-2 escort (character 48)
// and the event objects 80-84.
std::unique_ptr<EventHarness> Map26Battle(const Map26Case& s) {
  testsupport::MapStage stage = *testsupport::FindMapStage(26);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return (u.kind == kMap26BossKind && !s.boss) || (u.kind == kEscortKind && !s.escort) ||
           (u.side == 0 &&
            std::find(s.missing.begin(), s.missing.end(), u.character) != s.missing.end());
  });
  auto h = testsupport::MakeMapHarness(kMap26Setup, stage);
  h->SetP(83, s.p83);
  return h;
}

TEST(Map26Table, FourRowsInTheMapsOrderAndTheSetUp) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap26Setup).empty());
  ExpectFinalRows(kMap26Setup.table, 26,
                  {"FAD(83)!=3;", "FAD(83)=3;", "FAD(83)!=5;", "FAD(83)=5;"});
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap26Setup);
  EXPECT_EQ(kMap26Setup.bgm, MapBgm::Play(26));
  EXPECT_EQ(kMap26Setup.anm_table.size(), static_cast<size_t>(kMap26ObjectKinds));
  EXPECT_EQ(kMap26Setup.deferred, nullptr);
}

// What a run to the victory saw.
struct Run26 {
  std::vector<std::string> starts;
  int route = 0;
  // When the first talk opens: the kind on each start cell (-1 none), and the kinds on the map.
  std::vector<int> members;
  std::array<int, 7> placed{};  // 1 on its start cell facing 2, 0 absent, -1 elsewhere
  // The pushes: the frame of each, and the pusher's and the boss's positions before the first
  // and after each.
  int pushes_begin = -1;
  std::vector<int> push_frames;
  std::vector<std::array<int32_t, 4>> push_positions;
  // The fly-off: per frame, each object's offset from its base (16.16) and the frames flown.
  std::vector<std::array<int32_t, 7>> fly;
  int picture = 0;
  int picture_frames = 0;
  bool won = false;
};

std::array<int32_t, 4> PushPositions() {
  const SlgUnit* p = LivePartyUnit(4);
  const SlgUnit* b = LiveUnitOfKind(kMap26BossKind);
  return {p != nullptr ? p->x : 0, p != nullptr ? p->y : 0, b != nullptr ? b->x : 0,
          b != nullptr ? b->y : 0};
}

Run26 Play(EventHarness& h) {
  Run26 r;
  h.Start();
  r.route = FinalRouteKind();
  const FinalCellRow& row = kMap26StartCells[static_cast<size_t>(r.route)];
  bool first_talk = false;
  int pushes = 0;
  int picture_from = -1;
  r.won = h.RunUntil("the victory", [&] {
    const int f = h.rig().frame();
    const Map26Words& w = Map26State();
    if (!first_talk && (h.FrameOf("message 14:30000") >= 0 || h.FrameOf("message 14:30050") >= 0)) {
      first_talk = true;
      for (int k = 0; k < 7; ++k) {
        const SlgUnit* u = LivePartyUnit(k);
        const FinalCell c = row[static_cast<size_t>(k)];
        if (u != nullptr) r.members.push_back(k);
        r.placed[static_cast<size_t>(k)] = Placed(u, c.present(), c.px(), c.py(), 2);
      }
    }
    if (r.pushes_begin < 0 && w.push_interval == kMap26FirstPush) {
      r.pushes_begin = f;
      r.push_positions.push_back(PushPositions());
    }
    if (w.pushes > pushes) {
      pushes = w.pushes;
      r.push_frames.push_back(f);
      r.push_positions.push_back(PushPositions());
    }
    if (h.FrameOf("message 36:3253") >= 0 && h.Records("remove 82 ").empty() &&
        w.fly_from != 0) {
      std::array<int32_t, 7> o{};
      for (int n = 0; n < 3; ++n) {
        const SlgUnit* u = LiveUnitOfKind(82 + n);
        if (u == nullptr) continue;
        o[static_cast<size_t>(2 * n)] = u->x - w.bases[static_cast<size_t>(n)].x;
        o[static_cast<size_t>(2 * n + 1)] = u->y - w.bases[static_cast<size_t>(n)].y;
      }
      o[6] = EffectFrames(0) - w.fly_from;
      r.fly.push_back(o);
    }
    if (picture_from < 0) {
      for (int p : {238, 243}) {
        if (h.FrameOf("bg show " + std::to_string(p)) >= 0) {
          r.picture = p;
          picture_from = f;
        }
      }
    }
    if (picture_from >= 0 && r.picture_frames == 0 &&
        h.FrameOf("bg free " + std::to_string(r.picture)) >= 0) {
      r.picture_frames = f - picture_from;
    }
    return h.FrameOf(kWin) >= 0;
  }, 20000);
  h.RunFrames(120);  // nothing more after the victory
  for (const auto& rec : h.Records("start 261")) r.starts.push_back(rec);
  return r;
}

struct RouteCase {
  uint16_t p83;
  int party;
  int scene;
  std::vector<int> members;  // the kinds on the map
  std::string talk;          // the party talk's second line
};

// The party on the route's cells: the hero, the route heroine and kind 4 (kind 4 on the route
// heroine's cell and kind 1 beside her on route 4); the scene by P[83]; picture 243 after the
// pushes or 238 after the fly-off; one victory.
void PlayRoutes(std::initializer_list<RouteCase> cases) {
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.p83);
    Map26Case s;
    s.p83 = c.p83;
    auto h = Map26Battle(s);
    const Run26 r = Play(*h);
    ASSERT_TRUE(r.won);
    EXPECT_EQ(r.starts, (std::vector<std::string>{"start " + std::to_string(c.party),
                                                  "start " + std::to_string(c.scene)}));
    EXPECT_EQ(r.members, c.members);
    for (int k = 0; k < 7; ++k) {
      const bool member = std::find(c.members.begin(), c.members.end(), k) != c.members.end();
      EXPECT_EQ(r.placed[static_cast<size_t>(k)], member ? 1 : 0) << k;
    }
    EXPECT_GE(h->FrameOf(c.talk), 0) << c.talk;
    // The party scene's music fade, and 26110's before its picture (26111 has none).
    EXPECT_EQ(h->Records("task Eve::fadeOutMusic").size(), c.scene == 26110 ? 2u : 1u);
    if (c.scene == 26110) {
      EXPECT_EQ(r.push_frames.size(), static_cast<size_t>(kMap26Pushes));
      EXPECT_EQ(r.picture, 243);
    } else {
      EXPECT_TRUE(r.push_frames.empty());
      EXPECT_EQ(r.picture, 238);
    }
    EXPECT_GE(r.picture_frames, 300);
    EXPECT_EQ(h->Records(kWin).size(), 1u);
    EXPECT_TRUE(h->Records("task Slg::_exchangeStage").empty());
  }
}

// P[83] 1-6 give the route kinds 1, 2, 3, 6, 4, 5; 300 counts as 1.
TEST(Map26Run, RoutesOneTwoThreeToTheVictory) {
  PlayRoutes({
      {1, 26105, 26110, {0, 1, 4}, "message 32:30010"},
      {2, 26105, 26110, {0, 2, 4}, "message 74:30030"},
      {3, 26106, 26110, {0, 3, 4}, "message 113:30060"},
  });
}

TEST(Map26Run, RoutesFourAndFiveToTheVictory) {
  PlayRoutes({
      {4, 26105, 26110, {0, 4, 6}, "message 140:30020"},
      {5, 26105, 26111, {0, 1, 4}, "message 32:30010"},
  });
}

TEST(Map26Run, TezaviAndOutOfTableRoutesToTheVictory) {
  PlayRoutes({
      {6, 26105, 26110, {0, 4, 5}, "message 212:30040"},
      {300, 26105, 26110, {0, 1, 4}, "message 32:30010"},
  });
}

// The start table itself: route 4 puts kind 4 on the route heroine's cell and kind 1 on the
// other member's; every other row the route heroine on (508, 148) and kind 4 on (556, 168).
TEST(Map26Run, StartCellsByRouteKind) {
  for (int route = 1; route <= 6; ++route) {
    SCOPED_TRACE(route);
    const FinalCellRow& row = kMap26StartCells[static_cast<size_t>(route)];
    const int heroine = route == 4 ? 4 : route;
    const int other = route == 4 ? 1 : 4;
    for (int k = 0; k < 7; ++k) {
      const FinalCell c = row[static_cast<size_t>(k)];
      if (k == 0) {
        EXPECT_EQ(c.px(), 1096);
        EXPECT_EQ(c.py(), 288);
      } else if (k == heroine) {
        EXPECT_EQ(c.px(), 1016);
        EXPECT_EQ(c.py(), 296);
      } else if (k == other) {
        EXPECT_EQ(c.px(), 1112);
        EXPECT_EQ(c.py(), 336);
      } else {
        EXPECT_FALSE(c.present()) << k;
      }
    }
  }
}

// The pushes: the first when a wait of 16 ends, then one each time a wait of 12 ends (a wait of n
// ends on its (n + 1)th frame, or its (n + 2)th when the clock's 16 ms step falls in it); each
// moves the pusher and the boss by (-2, +1) pixels, (-16, +8) in all.
TEST(Map26Pushes, EightPushesMoveThePusherAndTheBoss) {
  auto h = Map26Battle({});
  const Run26 r = Play(*h);
  ASSERT_TRUE(r.won);
  ASSERT_EQ(r.push_frames.size(), 8u);
  ASSERT_EQ(r.push_positions.size(), 9u);
  EXPECT_GE(r.push_frames[0] - r.pushes_begin, 17);
  EXPECT_LE(r.push_frames[0] - r.pushes_begin, 18);
  for (size_t n = 1; n < r.push_frames.size(); ++n) {
    EXPECT_GE(r.push_frames[n] - r.push_frames[n - 1], 13) << n;
    EXPECT_LE(r.push_frames[n] - r.push_frames[n - 1], 14) << n;
  }
  for (size_t n = 1; n < r.push_positions.size(); ++n) {
    const auto& a = r.push_positions[n - 1];
    const auto& b = r.push_positions[n];
    EXPECT_EQ((std::array<int32_t, 4>{b[0] - a[0], b[1] - a[1], b[2] - a[2], b[3] - a[3]}),
              (std::array<int32_t, 4>{-2 * 65536, 65536, -2 * 65536, 65536}))
        << n;
  }
  const auto& first = r.push_positions.front();
  const auto& last = r.push_positions.back();
  EXPECT_EQ(last[0] - first[0], -16 * 65536);
  EXPECT_EQ(last[3] - first[3], 8 * 65536);
  EXPECT_EQ(h->Records("message 162:3245").size(), 1u);
  EXPECT_EQ(h->Records("bg show 243").size(), 1u);
}

// 26111: the TAMVIK heroine and the boss taken off; objects 82-84 fly off from their bases by the
// same displacement, which follows the frames flown; picture 238 and one victory.
TEST(Map26FlyOff, TheObjectsFlyOffTogetherAndTheGameIsWon) {
  Map26Case s;
  s.p83 = 5;
  auto h = Map26Battle(s);
  const Run26 r = Play(*h);
  ASSERT_TRUE(r.won);
  EXPECT_EQ(r.starts.back(), "start 26111");
  EXPECT_EQ(LivePartyUnit(1), nullptr);
  EXPECT_EQ(LiveUnitOfKind(kMap26BossKind), nullptr);
  ASSERT_GE(r.fly.size(), 55u);
  int32_t furthest = 0;
  for (const auto& o : r.fly) {
    SCOPED_TRACE(o[6]);
    EXPECT_EQ(o[2], o[0]);
    EXPECT_EQ(o[3], o[1]);
    EXPECT_EQ(o[4], o[0]);
    EXPECT_EQ(o[5], o[1]);
    const SlgPair d = Map26FlyOffset(o[6]);
    EXPECT_EQ(o[0], d.x);
    EXPECT_EQ(o[1], d.y);
    furthest = std::min(furthest, o[0]);
  }
  // After 60 frames: 1 + 2 + ... + 60 = 1830 pixels left, 915 down.
  EXPECT_LE(furthest, Map26FlyOffset(59).x);
  EXPECT_EQ(Map26FlyOffset(60).x, -1830 * 65536);
  EXPECT_EQ(Map26FlyOffset(60).y, 915 * 65536);
  EXPECT_EQ(Map26FlyOffset(1).x, -65536);
  EXPECT_EQ(Map26FlyOffset(1).y, 32768);
  for (const char* kind : {"remove 82 ", "remove 83 ", "remove 84 "}) {
    EXPECT_EQ(h->Records(kind).size(), 1u) << kind;
  }
  EXPECT_EQ(h->Records("bg show 238").size(), 1u);
  EXPECT_EQ(h->Records(kWin).size(), 1u);
}

// Without the boss, the escort or the pusher the pushes and walks complete at once, and the scene
// still reaches the victory.
TEST(Map26Missing, AMissingBossEscortOrPusherLetsTheSceneEnd) {
  for (int variant = 0; variant < 3; ++variant) {
    SCOPED_TRACE(variant);
    Map26Case s;
    s.boss = variant != 0;
    s.escort = variant != 1;
    if (variant == 2) s.missing = {4};
    auto h = Map26Battle(s);
    if (variant == 2) h->ExpectTrace("final battle: party kind 4 is not on the map");
    const Run26 r = Play(*h);
    ASSERT_TRUE(r.won);
    EXPECT_EQ(r.push_frames.size(), variant == 1 ? 8u : 0u);
    EXPECT_EQ(h->Records(kWin).size(), 1u);
  }
}

}  // namespace
