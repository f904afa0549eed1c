// Map 25's event script on the event harness: the table, the party scene of each route (start
// cells, the lists), the boss scene (the walk-in, the descent on the game clock, the strike loop
// and its hits, the grapple shake, the run to the exit, the ending and the switch to stage 25).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/maps/kit/final_kit.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map25.h"
#include "engine/app/app_state.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "tests/battle_events/maps/final_map_fixture.h"

namespace {

using final_map_test::ExpectFinalRows;
using final_map_test::Placed;
using testsupport::EventHarness;

constexpr int kStage = 24;
constexpr const char* kSwitch = "task Slg::_exchangeStage";

struct Map25Case {
  uint16_t p83 = 1;
  std::vector<int> missing;  // party kinds without a unit
  bool boss = true;
  bool stub_boss = true;  // the boss's attack ends on its first frame
};

// Map 25's battle on its small stage: the hero, heroines 1-6 as kinds 8-13 (the `missing` ones left
// out), the boss (kind 30, group 1) placed later by the script, and the event objects 80-83.
std::unique_ptr<EventHarness> Map25Battle(const Map25Case& s) {
  testsupport::MapStage stage = *testsupport::FindMapStage(25);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return u.side == 0 &&
           std::find(s.missing.begin(), s.missing.end(), u.character) != s.missing.end();
  });
  if (!s.boss) {
    std::erase_if(stage.units,
                  [](const testsupport::MapStageUnit& u) { return u.kind == kMap25BossKind; });
  }
  if (!s.stub_boss) std::erase(stage.stub_kinds, kMap25BossKind);
  auto h = testsupport::MakeMapHarness(kMap25Setup, stage);
  h->SetP(83, s.p83);
  return h;
}

TEST(Map25Table, FourRowsInTheMapsOrderAndTheSetUp) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap25Setup).empty());
  ExpectFinalRows(kMap25Setup.table, 25,
                  {"FAD(83)!=6;", "FAD(83)=6;", "FAD(83)!=3;", "FAD(83)=3;"});
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap25Setup);
  EXPECT_EQ(kMap25Setup.bgm, MapBgm::None());
  EXPECT_EQ(kMap25Setup.anm_table.size(), static_cast<size_t>(kMap25ObjectKinds));
  EXPECT_EQ(kMap25Setup.deferred, nullptr);
}

// What a run to the switch saw, frame by frame (driver frames, as the records have them).
struct Run25 {
  std::vector<std::string> starts;  // "start 251xx" in order
  int route = 0;
  FinalParty listed{};
  // When the first talk opens: 1 on its start cell facing 2, 0 absent, -1 elsewhere.
  std::array<int, 7> placed{};
  // When the descent begins: 1 on its walk-in cell facing 0, 0 absent, -1 elsewhere.
  std::array<int, 7> walked_in{};
  // The descent: the frame it began, the lift on each later frame up to the landing.
  int descent_begin = -1;
  std::vector<int32_t> lifts;
  // The messages of the strike loop (after 304:10000, up to 18:40080).
  std::vector<std::string> strike_talk;
  // The shake: the positions before it, and at each offset applied the frame and the positions.
  std::array<int32_t, 4> before_shake{};
  std::vector<std::array<int32_t, 5>> shake;
  // The run to the exit: the frame each kind set off (-1 never), the first start's frame, and
  // where the companion and kind 4 stood once the run was over.
  std::array<int, 7> run_start{};
  int run_first = -1;
  // Where each kind stood when the ending began (SE 302), 16.16 map points; (0, 0) absent.
  std::array<SlgPoint, 7> at_end{};
  int picture = 0;
  int picture_frames = 0;
  bool switched = false;
};

int Frame(EventHarness& h) { return h.rig().frame(); }

// The records whose text is exactly `what`.
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

std::array<int32_t, 4> ShakePositions() {
  const SlgUnit* c = LivePartyUnit(Map25State().companion);
  const SlgUnit* b = LiveUnitOfKind(kMap25BossKind);
  return {c != nullptr ? c->x : 0, c != nullptr ? c->y : 0, b != nullptr ? b->x : 0,
          b != nullptr ? b->y : 0};
}

// Starts the battle, runs `after_start`, then plays the map to the switch; `each` is called after
// every frame.
Run25 Play(EventHarness& h, const std::function<void()>& after_start = {},
           const std::function<void(const Run25&)>& each = {}) {
  Run25 r;
  r.run_start.fill(-1);
  h.Start();
  if (after_start) after_start();
  r.route = FinalRouteKind();
  const FinalCellRow& row = kMap25StartCells[static_cast<size_t>(r.route)];
  bool first_talk = false;
  int moves = 0;
  bool shake_seen = false;
  int picture_from = -1;
  std::array<uint8_t, 7> was_walking{};
  r.switched = h.RunUntil("the switch", [&] {
    const int f = Frame(h);
    const Map25Words& w = Map25State();
    if (!first_talk && (h.FrameOf("message 14:10002") >= 0 || h.FrameOf("message 14:3208") >= 0)) {
      first_talk = true;
      for (int k = 0; k < 7; ++k) {
        const SlgUnit* u = LivePartyUnit(k);
        const FinalCell c = row[static_cast<size_t>(k)];
        r.placed[static_cast<size_t>(k)] = Placed(u, c.present(), c.px(), c.py(), 2);
      }
    }
    if (r.descent_begin < 0 && h.FrameOf("bgm 17") >= 0) {
      r.descent_begin = f;
      r.listed = w.party;
      for (int k = 0; k < 7; ++k) {
        const SlgUnit* u = LivePartyUnit(k);
        const FinalCell c = row[static_cast<size_t>(k)];
        const int x = (c.x + kMap25WalkInX) * 2;
        const int y = (c.y + kMap25WalkInY) * 2;
        r.walked_in[static_cast<size_t>(k)] = Placed(u, c.present(), x, y, 0);
      }
    } else if (r.descent_begin >= 0 && w.landed == 0) {
      const SlgUnit* boss = LiveUnitOfKind(kMap25BossKind);
      r.lifts.push_back(boss != nullptr ? boss->lift : -1);
    } else if (r.descent_begin >= 0 && r.lifts.size() < 200 &&
               (r.lifts.empty() || r.lifts.back() != 0)) {
      r.lifts.push_back(0);
    }
    if (!shake_seen && w.shake.hold == 1 && w.shake.moves == 0 &&
        h.FrameOf("message 18:40080") >= 0) {
      shake_seen = true;
      r.before_shake = ShakePositions();
    }
    if (w.shake.moves > moves) {
      moves = w.shake.moves;
      const auto p = ShakePositions();
      r.shake.push_back({f, p[0], p[1], p[2], p[3]});
    }
    for (int k = 0; k < 7; ++k) {
      const auto i = static_cast<size_t>(k);
      if (moves > 0 && w.walkers.walking[i] != 0 && was_walking[i] == 0 && r.run_start[i] < 0) {
        r.run_start[i] = f;
      }
      was_walking[i] = w.walkers.walking[i];
    }
    if (r.run_first < 0 && moves > 0 && w.walkers.interval == kMap25ExitGap) r.run_first = f;
    if (picture_from < 0) {
      for (int p : {238, 240}) {
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
    if (h.FrameOf("se 302") == f) {
      for (int k = 0; k < 7; ++k) {
        const SlgUnit* u = LivePartyUnit(k);
        if (u != nullptr) r.at_end[static_cast<size_t>(k)] = {u->x, u->y};
      }
    }
    if (each) each(r);
    return h.FrameOf(kSwitch) >= 0 && GetSystemData()->battleMap() == 25u;
  }, 20000);
  for (const auto& rec : h.Records("start 251")) r.starts.push_back(rec);
  bool in_loop = false;
  for (const auto& rec : h.Records("message ")) {
    if (rec == "message 18:40080") break;
    if (in_loop) r.strike_talk.push_back(rec);
    if (rec == "message 304:10000") in_loop = true;
  }
  return r;
}

std::string Line(int kind) {
  const auto& l = kMap25StrikeLines[static_cast<size_t>(kind)];
  return "message " + std::to_string(l[0]) + ":" + std::to_string(l[1]);
}

struct RouteCase {
  uint16_t p83;
  int party;
  int scene;
  int companion;
  std::vector<int> members;  // the kinds on the map
  std::string first_line;    // the party talk's last line
};

void PlayRoutes(std::initializer_list<RouteCase> cases) {
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.p83);
    Map25Case s;
    s.p83 = c.p83;
    auto h = Map25Battle(s);
    const Run25 r = Play(*h);
    ASSERT_TRUE(r.switched);
    EXPECT_EQ(r.starts, (std::vector<std::string>{"start " + std::to_string(c.party),
                                                  "start " + std::to_string(c.scene)}));
    EXPECT_EQ(Map25State().companion, c.companion);
    // The party on its route's cells (facing 2 once the flash is over), the others gone.
    std::vector<int> listed(r.listed.kinds.begin(), r.listed.kinds.begin() + r.listed.count);
    EXPECT_EQ(listed, c.members);
    for (int k = 0; k < 7; ++k) {
      const bool member = std::find(c.members.begin(), c.members.end(), k) != c.members.end();
      EXPECT_EQ(r.placed[static_cast<size_t>(k)], member ? 1 : 0) << k;
      EXPECT_EQ(r.walked_in[static_cast<size_t>(k)], member ? 1 : 0) << k;
    }
    const auto talk = h->Records("message ");
    ASSERT_GE(talk.size(), 5u);
    EXPECT_EQ(h->FrameOf(c.first_line) >= 0, true) << c.first_line;
    // Every member struck once, in kind order, with the line of its kind.
    std::vector<std::string> lines;
    for (int k : c.members) lines.push_back(Line(k));
    EXPECT_EQ(r.strike_talk, lines);
    // The grapple list of the scene, the run, the picture and one switch.
    EXPECT_GE(h->FrameOf(c.companion == 3 ? "message 11:45000" : "message 11:45020"), 0);
    // The companion's strike (after its message in 25110 only), the objects, the picture.
    EXPECT_EQ(h->FrameOf("message 303:10040") >= 0, c.companion == 3);
    std::vector<std::string> objects;
    for (const auto& rec : h->Records("deploy 8")) objects.push_back(rec.substr(0, 9));
    EXPECT_EQ(objects, c.companion == 3 ? (std::vector<std::string>{"deploy 81", "deploy 83"})
                                        : (std::vector<std::string>{"deploy 81", "deploy 82",
                                                                    "deploy 83"}));
    size_t removed = 0;
    for (const char* kind : {"remove 81 ", "remove 82 ", "remove 83 "}) {
      removed += h->Records(kind).size();
    }
    EXPECT_EQ(removed, objects.size()) << "every object taken off again";
    EXPECT_EQ(r.picture, c.companion == 3 ? 240 : 238);
    EXPECT_GE(r.picture_frames, 300);
    EXPECT_EQ(Count(*h, "se 40"), 1u);
    EXPECT_EQ(h->Records(kSwitch).size(), 1u);
    EXPECT_EQ(GetSystemData()->battleMap(), 25u);
  }
}

// P[83] 1-6 give the route kinds 1, 2, 3, 6, 4, 5; 300 counts as 1.
TEST(Map25Run, RoutesOneTwoThreePlayToStageTwentyFive) {
  PlayRoutes({
      {1, 25105, 25110, 3, {0, 1, 3, 4}, "message 32:3241"},
      {2, 25105, 25110, 3, {0, 2, 3, 4}, "message 77:3244"},
      {3, 25105, 25111, 1, {0, 1, 3, 4}, "message 32:3241"},
  });
}

TEST(Map25Run, RoutesFourAndFivePlayToStageTwentyFive) {
  PlayRoutes({
      {4, 25105, 25110, 3, {0, 3, 4, 6}, "message 140:3243"},
      {5, 25105, 25110, 3, {0, 1, 3, 4}, "message 32:3241"},
  });
}

TEST(Map25Run, TezaviAndOutOfTableRoutes) {
  PlayRoutes({
      {6, 25106, 25110, 3, {0, 3, 4, 5}, "message 212:3211"},
      {300, 25105, 25110, 3, {0, 1, 3, 4}, "message 32:3241"},
  });
}

// ---- The descent on the game clock ----

// The battle rig steps the clock one game frame a driver frame: the boss comes down 4 pixels a
// frame from 256 and lands on the 64th with one SE 40. Ten frames of clock gained in one step
// land it ten frames earlier; thirty frames with the application inactive (the game clock
// stalled) hold it where it is, and it goes on from there thirty frames later.
TEST(Map25Descent, FollowsTheGameClockAndLandsOnce) {
  constexpr int kAt = 20;
  const struct Case {
    const char* name;
    int jump_ms;
    int stall;
    int frames;
  } cases[] = {{"steady", 0, 0, 64}, {"a ten-frame jump", 167, 0, 54}, {"a stall", 0, 30, 94}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto h = Map25Battle({});
    EventHarness* hp = h.get();
    const Run25 r = Play(*h, {}, [&](const Run25& run) {
      if (run.descent_begin < 0) return;
      const int n = static_cast<int>(run.lifts.size());
      if (n == kAt && c.jump_ms != 0) hp->rig().driver().host().clock.Advance(c.jump_ms);
      if (n == kAt && c.stall != 0) AppSetActive(0);
      if (n == kAt + c.stall && c.stall != 0) AppSetActive(1);
    });
    ASSERT_TRUE(r.switched);
    ASSERT_FALSE(r.lifts.empty());
    EXPECT_EQ(r.lifts.back(), 0);
    EXPECT_EQ(static_cast<int>(r.lifts.size()), c.frames) << "frames from the start to the landing";
    EXPECT_EQ(Count(*h, "se 40"), 1u);
    EXPECT_EQ(h->FrameOf("se 40"), r.descent_begin + c.frames);
    // Before the change: 4 pixels a frame from 256.
    for (int n = 0; n < kAt && n < static_cast<int>(r.lifts.size()); ++n) {
      EXPECT_EQ(r.lifts[static_cast<size_t>(n)], kMap25BossLift - (n + 1) * kMap25DescentStep) << n;
    }
    if (c.stall != 0) {
      for (int n = kAt; n < kAt + c.stall; ++n) {
        EXPECT_EQ(r.lifts[static_cast<size_t>(n)], r.lifts[kAt - 1]) << "held at " << n;
      }
      EXPECT_EQ(r.lifts[kAt + c.stall], r.lifts[kAt - 1] - kMap25DescentStep) << "goes on";
    }
    if (c.jump_ms != 0) {
      EXPECT_EQ(r.lifts[kAt], r.lifts[kAt - 1] - 11 * kMap25DescentStep) << "ten frames gained";
    }
  }
}

// ---- The strike loop ----

// A boss attack routine for the tests: on its `hit_at`th frame it sets the target's hit flag (as
// the animation's sound cell does) or takes the target off the map; on its `end_at`th frame the
// attack ends. Each strike's frames are noted.
struct ScriptedStrike {
  enum class Mode { kNoHit, kHit, kRemove } mode = Mode::kHit;
  int hit_at = 3;
  int end_at = 20;
  int frames = 0;
  EventHarness* harness = nullptr;
  std::vector<int> hits;  // driver frames of the hits (or removals)
  std::vector<int> ends;  // driver frames on which the attacks ended
  std::vector<int> targets;
};
ScriptedStrike g_strike;

void StrikeRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  ScriptedStrike& s = g_strike;
  ++s.frames;
  const int f = s.harness->rig().frame();
  if (s.frames == s.hit_at) {
    SlgUnit& target = Battle().state.units[unit.stats.action_bytes[0]];
    s.targets.push_back(target.character);
    if (s.mode == ScriptedStrike::Mode::kRemove && target.character == 1) {
      EventRemoveUnit(&target);
    } else if (s.mode != ScriptedStrike::Mode::kNoHit) {
      target.flags |= kUnitHitNow;
    }
    s.hits.push_back(f);
  }
  if (s.frames >= s.end_at) {
    s.frames = 0;
    s.ends.push_back(f);
    EndAttack(unit);
  }
}

// Each member's line against its strike. A blocking step that completes on frame F lets the next
// start on F + 1, and the event check runs before the units in a frame: a hit set on frame N is
// seen on N + 1 and the line opens on N + 2, before the attack has ended; without a hit the line
// opens two frames after the frame the boss's action was over (state 0). A member taken off the
// map during its strike (kind 1; the others are hit as usual) gets its line after the removal.
TEST(Map25Strikes, EachLineFollowsTheHitOrTheEndOfTheBosssAction) {
  using Mode = ScriptedStrike::Mode;
  for (const Mode mode : {Mode::kHit, Mode::kNoHit, Mode::kRemove}) {
    SCOPED_TRACE(static_cast<int>(mode));
    Map25Case s;
    s.stub_boss = false;
    auto h = Map25Battle(s);
    g_strike = {};
    g_strike.mode = mode;
    g_strike.harness = h.get();
    if (mode == Mode::kRemove) {
      h->ExpectTrace("final battle: a scripted attack without its actor or target");
    }
    std::vector<int> idle;  // frames on which the boss's action was over
    int prev_state = 0;
    const Run25 r = Play(*h, [] { Battle().action_table[kMap25BossKind] = &StrikeRoutine; },
                         [&](const Run25&) {
                           const SlgUnit* boss = LiveUnitOfKind(kMap25BossKind);
                           const int state = boss != nullptr ? boss->state : 0;
                           if (prev_state != 0 && state == 0) idle.push_back(Frame(*h));
                           prev_state = state;
                         });
    ASSERT_TRUE(r.switched);
    std::vector<std::string> lines;
    for (int k : {0, 1, 3, 4}) lines.push_back(Line(k));
    EXPECT_EQ(r.strike_talk, lines);
    EXPECT_EQ(g_strike.targets, (std::vector<int>{0, 1, 3, 4, 3}))
        << "the members in kind order, then the companion";
    // The first frame the boss was idle after each strike's end.
    auto idle_after = [&](int frame) {
      for (int f : idle) {
        if (f >= frame) return f;
      }
      return -1;
    };
    const std::array<int, 4> kinds = {0, 1, 3, 4};
    for (size_t n = 0; n < kinds.size(); ++n) {
      SCOPED_TRACE(kinds[n]);
      const int line = h->FrameOf(Line(kinds[n]));
      const int over = idle_after(g_strike.ends[n]);
      ASSERT_GT(over, 0);
      if (mode == Mode::kNoHit) {
        EXPECT_EQ(line, over + 2) << "once the action is over";
      } else {
        EXPECT_EQ(line, g_strike.hits[n] + 2) << "after the hit";
        EXPECT_LT(line, g_strike.ends[n]) << "before the attack ends";
      }
    }
    if (mode == Mode::kRemove) {
      EXPECT_EQ(LivePartyUnit(1), nullptr);
    }
  }
}

// ---- The grapple shake and the run ----

// Each hold that ends moves the companion and the boss by the next offset: (+2, -1) four times,
// then (-2, +1) four times, the holds 16, 16, 16, 32, 16, 16, 16, 32 frames of the game clock after
// the first of one frame; after every eight both stand exactly where they stood before. Thirty
// frames of clock gained during a hold of 32 end it on the next frame and change nothing else.
TEST(Map25Shake, TheOffsetsAndHoldsAndBothBackInPlaceAfterEachCycle) {
  for (const int jump : {0, 500}) {
    SCOPED_TRACE(jump);
    auto h = Map25Battle({});
    EventHarness* hp = h.get();
    const Run25 r = Play(*h, {}, [&](const Run25& run) {
      if (jump != 0 && run.shake.size() == 4 && Frame(*hp) == run.shake.back()[0] + 5) {
        hp->rig().driver().host().clock.Advance(static_cast<uint32_t>(jump));
      }
    });
    ASSERT_TRUE(r.switched);
    ASSERT_GE(r.shake.size(), 8u);
    EXPECT_EQ(r.shake.size() % 8, 0u) << "the scene goes on with the index back at 0";
    std::array<int32_t, 4> expect = r.before_shake;
    for (size_t n = 0; n < r.shake.size(); ++n) {
      SCOPED_TRACE(n);
      const Map25ShakeEntry e = kMap25Shake[n % 8];
      expect[0] += e.dx * 65536;
      expect[1] += e.dy * 65536;
      expect[2] += e.dx * 65536;
      expect[3] += e.dy * 65536;
      const std::array<int32_t, 4> at = {r.shake[n][1], r.shake[n][2], r.shake[n][3],
                                         r.shake[n][4]};
      EXPECT_EQ(at, expect);
      if (n == 0) continue;
      const int hold = kMap25Shake[(n - 1) % 8].hold;
      const int took = r.shake[n][0] - r.shake[n - 1][0];
      if (jump == 0) {
        EXPECT_EQ(took, hold);
      } else if (n == 4) {
        EXPECT_EQ(took, 6) << "5 frames, then 30 at once";
      } else {
        // A jump leaves the frame gate one driver frame without a game frame now and then.
        EXPECT_GE(took, hold);
        EXPECT_LE(took, hold + 1);
      }
      if (n % 8 == 7) {
        EXPECT_EQ(at, r.before_shake) << "back where they stood";
      }
    }
  }
}

// The run to the exit: the members other than the companion and kind 4 set off 32 frames apart
// in kind order and reach the exit; the companion stays at the grapple point and kind 4 at the
// exit she went to first.
TEST(Map25Run, TheOthersSetOffThirtyTwoFramesApartForTheExit) {
  const struct Case {
    uint16_t p83;
    std::array<int, 7> start;  // the number of 32-frame waits after the first start; -1 never
    int companion;
  } cases[] = {
      {1, {0, 1, -1, -1, -1, -1, -1}, 3},  // 0 1 3 4, companion 3
      {3, {0, -1, -1, 2, -1, -1, -1}, 1},  // 0 1 3 4, companion 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p83);
    Map25Case s;
    s.p83 = c.p83;
    auto h = Map25Battle(s);
    const Run25 r = Play(*h);
    ASSERT_TRUE(r.switched);
    ASSERT_GE(r.run_first, 0);
    for (int k = 0; k < 7; ++k) {
      const auto i = static_cast<size_t>(k);
      // A wait of 32 ends on its 33rd frame, or its 34th when the clock's 16 ms step falls in it.
      if (c.start[i] < 0) {
        EXPECT_EQ(r.run_start[i], -1) << k;
      } else {
        EXPECT_GE(r.run_start[i] - r.run_first, 33 * c.start[i]) << k;
        EXPECT_LE(r.run_start[i] - r.run_first, 34 * c.start[i]) << k;
      }
      const SlgPoint at = r.at_end[i];
      const SlgCell cell = PosToCell(at.x >> 16, at.y >> 16);
      if (c.start[i] >= 0 || k == 4) {
        const SlgCell exit = PosToCell(kMap25Exit.x, kMap25Exit.y);
        EXPECT_TRUE(cell.column == exit.column && cell.row == exit.row) << k;
      }
      if (k == c.companion) {
        const SlgCell grapple = PosToCell(kMap25Grapple.x, kMap25Grapple.y);
        EXPECT_TRUE(cell.column == grapple.column && cell.row == grapple.row);
      }
    }
  }
}

// ---- Missing units ----

// Without the boss the descent, the strikes and the shake's boss part complete at once; without
// a member it is left out of the list (traced) and the rest play; both reach the switch.
TEST(Map25Missing, AMissingBossOrMemberLetsTheSceneEnd) {
  for (int variant = 0; variant < 2; ++variant) {
    SCOPED_TRACE(variant);
    Map25Case s;
    if (variant == 0) s.boss = false;
    if (variant == 1) s.missing = {1};
    auto h = Map25Battle(s);
    if (variant == 0) h->ExpectTrace("final battle: a scripted attack without its actor or target");
    if (variant == 1) h->ExpectTrace("final battle: party kind 1 is not on the map");
    const Run25 r = Play(*h);
    ASSERT_TRUE(r.switched);
    if (variant == 1) {
      EXPECT_EQ(r.strike_talk, (std::vector<std::string>{Line(0), Line(3), Line(4)}));
      EXPECT_EQ(Count(*h, "se 40"), 1u);
    } else {
      EXPECT_EQ(r.strike_talk.size(), 4u) << "the lines still play";
    }
    EXPECT_EQ(h->Records(kSwitch).size(), 1u);
  }
}

}  // namespace
