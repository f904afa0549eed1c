// Map 23's event script on the event harness: the table, the party scene of each route (start
// cells, the flash, the exits and their timing), the companion's stand (the scripted attacks,
// the wall's advances and fall, the still picture and the switch to stage 23), the route works,
// and the ambient drift.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <initializer_list>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_start.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "battle_events/maps/kit/final_kit.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map23.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "tests/battle_events/maps/final_map_fixture.h"

namespace {

using final_map_test::ExpectFinalRows;
using final_map_test::SameCell;
using testsupport::EventHarness;

constexpr int kStage = 22;
constexpr const char* kSwitch = "task Slg::_exchangeStage";
constexpr int kWalkerKind = 31;

struct Map23Case {
  uint16_t p83 = 1;
  std::vector<int> missing;  // party kinds without a unit
  bool guard = true;
  bool walker = true;
};

// Map 23's battle on its small stage: the hero, heroines 1-6 as kinds 8-13 (the `missing` ones left
// out), the guard (kind 29, group 1) placed hidden later, the group-2 walker (character 48) and the
// event objects 80-91 (80 and 86 with sub-numbers 0-2, 82 and 88 with 0-1).
std::unique_ptr<EventHarness> Map23Battle(const Map23Case& s) {
  testsupport::MapStage stage = *testsupport::FindMapStage(23);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return u.side == 0 &&
           std::find(s.missing.begin(), s.missing.end(), u.character) != s.missing.end();
  });
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return (u.kind == kMap23GuardKind && !s.guard) || (u.kind == kWalkerKind && !s.walker);
  });
  auto h = testsupport::MakeMapHarness(kMap23Setup, stage);
  h->SetP(83, s.p83);
  return h;
}

// ---- The table ----

TEST(Map23Table, FourRowsInTheMapsOrderAndTheSetUp) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap23Setup).empty());
  ExpectFinalRows(kMap23Setup.table, 23,
                  {"FAD(83)!=4;", "FAD(83)=4;", "FAD(83)!=2;", "FAD(83)=2;"});
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap23Setup);
  EXPECT_EQ(kMap23Setup.bgm, MapBgm::None());
  EXPECT_EQ(kMap23Setup.anm_table.size(), static_cast<size_t>(kMap23ObjectKinds));
  EXPECT_NE(kMap23Setup.deferred, nullptr);
}

// ---- A whole run: the party scene, the stand, the switch ----

struct StageRun {
  std::vector<std::string> starts;  // "start 231xx" in order
  int route = 0;
  // When the first talk opens: each kind on its start cell facing 2 (or absent).
  std::array<int, 7> placed{};  // 1 on its cell facing 2, 0 absent, -1 wrong
  // The exit walk: the frame each kind was marked walking and the frame it left the map (of
  // those on the map when the exits begin).
  std::array<int, 7> walk_start{};
  std::array<int, 7> gone{};
  int exits_begin = -1;
  int fade_music = -1;
  int last_gone = -1;
  bool walked_absent = false;
  // The attacks: after each, both scripted-attack words 0 and the target's bit 0 clear.
  int attacks_clean = 0;
  // The advances: (x, y) offsets from the base by the piece's frames, and the final offsets.
  std::vector<std::array<int32_t, 3>> advance;  // frames, dx, dy (pixels, 16.16)
  std::vector<std::array<int32_t, 2>> advance_end;
  std::vector<int32_t> fall_speeds;
  int picture = 0;
  uint32_t flags_at_picture = 0;
  int picture_frames = 0;
  int64_t alloc_before = 0;
  int64_t alloc_at_switch = 0;
  bool switched = false;
};

// Starts the battle, runs `after_start`, then plays the map to the switch.
StageRun Play(EventHarness& h, const std::function<void()>& after_start = {}) {
  StageRun r;
  r.walk_start.fill(-1);
  r.gone.fill(-1);
  h.Start();
  if (after_start) after_start();
  r.route = FinalRouteKind();
  r.alloc_before = Battle().alloc.live;
  int frame = 0;
  int prev_advance = 0;
  int32_t prev_attack_words = 0;
  int picture_from = -1;
  bool first_talk = false;
  std::array<bool, 7> was_walking{};
  std::array<bool, 7> on_map{};  // when the exits begin
  const bool ended = h.RunUntil("the switch", [&] {
    ++frame;
    Map23Words& w = Map23State();
    if (!first_talk && (h.FrameOf("message 14:3201") >= 0 || h.FrameOf("message 140:3207") >= 0)) {
      first_talk = true;
      const FinalCellRow& row = kMap23StartCells[static_cast<size_t>(r.route)];
      for (int k = 0; k < 7; ++k) {
        const SlgUnit* u = LivePartyUnit(k);
        const FinalCell c = row[static_cast<size_t>(k)];
        if (!c.present()) {
          r.placed[static_cast<size_t>(k)] = u == nullptr ? 0 : -1;
        } else {
          r.placed[static_cast<size_t>(k)] = SameCell(u, c.px(), c.py()) && u->dir == 2 ? 1 : -1;
        }
      }
    }
    if (r.exits_begin < 0 && w.exits.interval == kMap23ExitFirst && w.exits.next == 0 &&
        h.FrameOf("message 11:40200") >= 0) {
      r.exits_begin = frame;
    }
    for (int k = 0; k < 7; ++k) {
      const auto i = static_cast<size_t>(k);
      if (w.exits.walking[i] != 0 && !was_walking[i] && r.walk_start[i] < 0) {
        r.walk_start[i] = frame;
        if (!kMap23StartCells[static_cast<size_t>(r.route)][i].present()) r.walked_absent = true;
      }
      was_walking[i] = w.exits.walking[i] != 0;
      if (r.exits_begin == frame) on_map[i] = LivePartyUnit(k) != nullptr;
      if (on_map[i] && r.gone[i] < 0 && LivePartyUnit(k) == nullptr) {
        r.gone[i] = frame;
        r.last_gone = frame;
      }
    }
    if (r.fade_music < 0 && w.music_faded != 0) r.fade_music = frame;
    // An attack ends on the frame both words go back to 0.
    const int32_t words = Battle().event_words.acting_mode[0] | Battle().event_words.acting_mode[1];
    if (prev_attack_words != 0 && words == 0) {
      const SlgUnit* guard = LiveUnitOfKind(kMap23GuardKind);
      const SlgUnit* comp = LivePartyUnit(w.companion);
      const bool clear = (guard == nullptr || (guard->flags & 1) == 0) &&
                         (comp == nullptr || (comp->flags & 1) == 0);
      if (clear) ++r.attacks_clean;
    }
    prev_attack_words = words;
    const int wall = w.companion == 2 ? 83 : 89;
    if (w.advance_phase == 1) {
      const SlgUnit* p = LiveUnitOfKind(wall);
      if (p != nullptr && p->anm != nullptr) {
        r.advance.push_back({p->anm->frames, p->x - w.bases[0].x, p->y - w.bases[0].y});
      }
    }
    if (prev_advance == 1 && w.advance_phase == 0) {
      const SlgUnit* p = LiveUnitOfKind(wall);
      if (p != nullptr) r.advance_end.push_back({p->x - w.bases[0].x, p->y - w.bases[0].y});
    }
    prev_advance = w.advance_phase;
    if (w.fall_phase == 1 &&
        (r.fall_speeds.empty() || r.fall_speeds.back() != w.fall_speed)) {
      r.fall_speeds.push_back(w.fall_speed);
    }
    if (picture_from < 0) {
      for (int p : {238, 239}) {
        if (h.FrameOf("bg show " + std::to_string(p)) >= 0) {
          r.picture = p;
          picture_from = frame;
          r.flags_at_picture = Battle().flags;
        }
      }
    }
    if (picture_from >= 0 && r.picture_frames == 0 && h.FrameOf("bg free " + std::to_string(r.picture)) >= 0) {
      r.picture_frames = frame - picture_from;
    }
    if (h.FrameOf(kSwitch) >= 0 && r.alloc_at_switch == 0) r.alloc_at_switch = Battle().alloc.live;
    return h.FrameOf(kSwitch) >= 0 && GetSystemData()->battleMap() == 23u;
  }, 20000);
  r.switched = ended;
  for (const auto& rec : h.Records("start 231")) r.starts.push_back(rec);
  return r;
}

// The wall's advances sampled per frame: the offset from the base is k steps of (1.5, 0.75)
// pixels, k never more than the piece's frames nor 32 and never falling within an advance.
void ExpectLinearAdvances(const StageRun& r) {
  ASSERT_EQ(r.advance_end.size(), 3u);
  for (const auto& e : r.advance_end) {
    EXPECT_EQ(e[0], kMap23AdvanceX * 65536);
    EXPECT_EQ(e[1], kMap23AdvanceY * 65536);
  }
  constexpr int32_t kStepX = kMap23AdvanceX * 65536 / kMap23AdvanceFrames;
  constexpr int32_t kStepY = kMap23AdvanceY * 65536 / kMap23AdvanceFrames;
  int32_t last = 0;
  bool half_way = false;
  for (const auto& a : r.advance) {
    ASSERT_EQ(a[1] % kStepX, 0);
    const int32_t k = a[1] / kStepX;
    EXPECT_EQ(a[2], k * kStepY);
    EXPECT_LE(k, std::min(a[0], kMap23AdvanceFrames));
    if (k != 0) {
      EXPECT_GE(k, last);
    }
    last = k;
    if (k == kMap23AdvanceFrames / 2) {
      half_way = true;
      EXPECT_EQ(a[1], 24 * 65536);
      EXPECT_EQ(a[2], 12 * 65536);
    }
  }
  EXPECT_GT(r.advance.size(), 30u);
  EXPECT_TRUE(half_way) << "half way: (24, 12)";
}

struct RouteCase {
  uint16_t p83;
  int party;
  int stand;
  int companion;  // the stand's
};

void PlayRoutes(std::initializer_list<RouteCase> cases) {
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.p83);
    Map23Case s;
    s.p83 = c.p83;
    auto h = Map23Battle(s);
    const StageRun r = Play(*h);
    ASSERT_TRUE(r.switched);
    EXPECT_EQ(r.starts, (std::vector<std::string>{"start " + std::to_string(c.party),
                                                  "start " + std::to_string(c.stand)}));
    // The party on its route's cells facing 2; the kind without a cell gone and never walking.
    const FinalCellRow& row = kMap23StartCells[static_cast<size_t>(r.route)];
    for (int k = 0; k < 7; ++k) {
      EXPECT_EQ(r.placed[static_cast<size_t>(k)], row[static_cast<size_t>(k)].present() ? 1 : 0)
          << k;
    }
    EXPECT_FALSE(r.walked_absent);
    EXPECT_EQ(r.placed[r.route == 6 ? 1 : 6], 0);
    // The flash: picture 300 additive, then freed before the talk.
    EXPECT_EQ(h->Records("bg show 300").size(), 1u);
    EXPECT_EQ(h->Records("bg free 300").size(), 1u);
    EXPECT_GE(r.fade_music, 0);
    EXPECT_EQ(r.fade_music, r.last_gone) << "the music fades after the last arrival";
    EXPECT_EQ(Map23State().companion, c.companion);
    EXPECT_EQ(r.attacks_clean, 2);
    ExpectLinearAdvances(r);
    EXPECT_EQ(r.fall_speeds, (std::vector<int32_t>{163840, 204800, 256000, 320000, 400000,
                                                   500000, 625000, 781250, 976562, 1048576}))
        << "2.5, 3.125, ... from 2, up to 16";
    EXPECT_EQ(r.picture, c.companion == 2 ? 239 : 238);
    EXPECT_EQ(r.flags_at_picture & 0x22u, 0x20u);
    EXPECT_GE(r.picture_frames, 300);
    EXPECT_EQ(h->Records(kSwitch).size(), 1u);
    EXPECT_EQ(GetSystemData()->battleMap(), 23u);
  }
}

TEST(Map23Run, EachRoutePlaysThePartySceneThenItsStandToStageTwentyThree) {
  PlayRoutes({{1, 23105, 23110, 2}, {2, 23105, 23111, 1}, {4, 23106, 23110, 2}});
}

// P[83] 6 is the route kind 5; 300 (out of the table) counts as kind 1.
TEST(Map23Run, OtherPartnersPlayTheFirstRows) {
  PlayRoutes({{6, 23105, 23110, 2}, {300, 23105, 23110, 2}});
}

// The exits: after the list the first walker starts at the end of a 16-frame wait, each next
// one at the end of a 24-frame wait, the companion's turn only a 1-frame wait; EventWait(n)
// ends on the (n + 1)th frame of the harness.
TEST(Map23Exits, TheWalksStartInTheOrderAtTheirIntervalsAndLeaveOnArrival) {
  const struct Case {
    uint16_t p83;
    std::array<int, 7> start;  // frames after the list's end; -1 never walks
  } cases[] = {
      {1, {17, 117, -1, 42, 92, 67, -1}},   // order 0 3 5 4 1 2, companion 2 last
      {2, {17, -1, 119, 42, 92, 67, -1}},   // companion 1 fifth: 2 follows 25 + 2 frames on
      {4, {17, -1, -1, 42, 92, 67, 117}},   // 23106: 0 3 5 4 6 2, companion 2 last
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p83);
    Map23Case s;
    s.p83 = c.p83;
    auto h = Map23Battle(s);
    const StageRun r = Play(*h);
    ASSERT_GE(r.exits_begin, 0);
    for (int k = 0; k < 7; ++k) {
      const auto i = static_cast<size_t>(k);
      if (c.start[i] < 0) {
        EXPECT_EQ(r.walk_start[i], -1) << k;
        continue;
      }
      EXPECT_EQ(r.walk_start[i] - r.exits_begin, c.start[i]) << k;
      EXPECT_GE(r.gone[i], r.walk_start[i]) << k;
    }
    EXPECT_EQ(h->Records("task Eve::fadeOutMusic").size(), 2u) << "the exits' and the stand's";
  }
}

// A member whose exit cannot be reached leaves at once; a member without a unit is left out of
// the placement with a trace; the rest walk as usual.
TEST(Map23Exits, AnUnreachableExitRemovesAtOnceAndAMissingMemberIsSkipped) {
  Map23Case s;
  s.p83 = 1;
  s.missing = {5};
  auto h = Map23Battle(s);
  h->ExpectTrace("final battle: party kind 5 is not on the map");
  // Kind 3's exit cell walled off in the walks' grid.
  const StageRun r = Play(*h, [] {
    const SlgPoint exit =
        SnapPosToCell(kMap23Exits105.cells[3].px(), kMap23Exits105.cells[3].py());
    int n = 0;
    ASSERT_TRUE(SlgSearchCellIndex(exit.x, exit.y, &n));
    Battle().cell_grid2[static_cast<size_t>(n)] |= kSlgCellAttackStop;
  });
  ASSERT_TRUE(r.switched);
  EXPECT_EQ(r.placed[5], -1);
  EXPECT_EQ(r.walk_start[3], -1) << "never seen walking";
  EXPECT_EQ(r.gone[3] - r.exits_begin, 42) << "removed on the frame it would set off";
  EXPECT_GT(r.gone[0], r.walk_start[0] + 30) << "the others walk";
}

// Without the guard the attacks complete at once (no attack words set), without the group-2
// walker its walks end at once, and the stand still reaches the switch.
TEST(Map23Stand, MissingGuardAndWalkerLetTheStandEnd) {
  for (int variant = 0; variant < 2; ++variant) {
    SCOPED_TRACE(variant);
    Map23Case s;
    s.guard = variant != 0;
    s.walker = variant == 0;
    auto h = Map23Battle(s);
    if (!s.guard) h->ExpectTrace("final battle: a scripted attack without its actor or target");
    const StageRun r = Play(*h);
    ASSERT_TRUE(r.switched);
    EXPECT_EQ(r.attacks_clean, s.guard ? 2 : 0);
    EXPECT_EQ(h->Records(kSwitch).size(), 1u);
  }
}

// A battle torn down during the exit walk gives the route works back with its tasks: the
// teardown frees the eight works beyond what it frees without the scene.
int64_t TeardownFrees(bool scene) {
  Map23Case s;
  auto h = Map23Battle(s);
  h->ExpectTrace("not built");
  if (!scene) {
    h->SetFlagAtInstall(105);
    h->SetFlagAtInstall(110);
  }
  h->Start();
  if (scene) {
    EXPECT_TRUE(h->RunUntil("the exits", [&] { return Map23State().exits.next > 0; }, 3000));
  } else {
    h->RunFrames(2);
  }
  EXPECT_EQ(Map23State().routes.holder != nullptr, scene);
  const int64_t live = Battle().alloc.live;
  SlgTeardown();
  return live - Battle().alloc.live;
}

TEST(Map23RouteWorks, ATeardownMidSceneFreesThem) {
  const int64_t idle = TeardownFrees(false);
  const int64_t mid_scene = TeardownFrees(true);
  EXPECT_GE(mid_scene - idle, kFinalRouteWorks);
}

// ---- The ambient drift ----

TEST(Map23Drift, TheWindStaysWithinItsRangeAndTheParticlesReplayTheirHistory) {
  auto run = [](std::vector<std::array<int32_t, 2>>& points) {
    Map23Case s;
    auto h = Map23Battle(s);
    h->Start();
    int32_t low = INT32_MAX;
    int32_t high = INT32_MIN;
    for (int f = 0; f < 700; ++f) {
      h->RunFrames(1);
      const Map23Wind& wind = Map23State().wind;
      if (wind.state == 0) continue;
      low = std::min(low, wind.speed);
      high = std::max(high, wind.speed);
      EXPECT_EQ(wind.vector.y, wind.speed / 2);
      EXPECT_EQ(wind.vector.x, static_cast<int32_t>(int64_t{wind.speed / 2} * 113511 / 65536));
    }
    EXPECT_GE(low, kMap23WindLow);
    EXPECT_LE(high, kMap23WindHigh);
    EXPECT_LT(low, high) << "the wind changes";
    for (const Map23Particle& p : Map23State().particles) {
      EXPECT_LE(p.recorded, kMap23History);
      int64_t sx = 0;
      int64_t sy = 0;
      for (int i = 0; i < p.recorded; ++i) {
        sx += p.history[static_cast<size_t>(i)].x;
        sy += p.history[static_cast<size_t>(i)].y;
      }
      EXPECT_EQ(p.x, p.start_x - sx);
      EXPECT_EQ(p.y, p.start_y - sy);
      EXPECT_GE(p.starts, 2) << "700 frames: restarted at 480 frames at the latest";
      points.push_back({p.x, p.y});
    }
  };
  std::vector<std::array<int32_t, 2>> first;
  std::vector<std::array<int32_t, 2>> second;
  run(first);
  run(second);
  EXPECT_EQ(first, second) << "the same generator, the same drift";
  EXPECT_NE(first.front(), first.back()) << "the particles start apart";
}

// A particle alone: it records one vector per frame of its age (several after a late frame),
// stands at its start less their sum, and restarts at 480 frames or outside the widened area.
TEST(Map23Drift, AParticleRestartsAtFourHundredEightyFramesOrOutsideTheField) {
  Map23Case s;
  auto h = Map23Battle(s);
  h->Start();
  const SlgPoint corner{1000, 1000};
  Map23Wind still;
  still.vector = {0, 0};
  Map23Particle p;
  ASSERT_TRUE(Map23ParticleStep(p, still, corner, 100));
  EXPECT_GE(p.start_x >> 16, corner.x - kMap23FieldMargin);
  EXPECT_LT(p.start_x >> 16, corner.x - kMap23FieldMargin + kMap23StartRangeX);
  EXPECT_GE(p.start_y >> 16, corner.y - kMap23FieldMargin);
  EXPECT_LT(p.start_y >> 16, corner.y - kMap23FieldMargin + kMap23StartRangeY);
  // Keep it inside the field to see the age rule alone.
  p.start_x = p.x = (corner.x + 320) * 65536;
  p.start_y = p.y = (corner.y + 240) * 65536;
  for (int f = 101; f < 580; ++f) ASSERT_FALSE(Map23ParticleStep(p, still, corner, f)) << f;
  EXPECT_EQ(p.recorded, 479);
  EXPECT_TRUE(Map23ParticleStep(p, still, corner, 580)) << "480 frames old";
  EXPECT_EQ(p.recorded, 0);

  Map23Wind wind;
  wind.vector = {3 * 65536, 2 * 65536};
  Map23Particle q;
  ASSERT_TRUE(Map23ParticleStep(q, wind, corner, 0));
  q.start_x = q.x = (corner.x + 320) * 65536;
  q.start_y = q.y = (corner.y + 240) * 65536;
  ASSERT_FALSE(Map23ParticleStep(q, wind, corner, 5));  // a late frame: five vectors at once
  EXPECT_EQ(q.recorded, 5);
  EXPECT_EQ(q.x, (corner.x + 320 - 15) * 65536);
  EXPECT_EQ(q.y, (corner.y + 240 - 10) * 65536);
  // 320 + 64 pixels to the widened area's left edge at 3 a frame: at -67 on frame 129, so the
  // restart comes on frame 130.
  int frame = 6;
  while (!Map23ParticleStep(q, wind, corner, frame)) ++frame;
  EXPECT_EQ(frame, 130);
}

}  // namespace
