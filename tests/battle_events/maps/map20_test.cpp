// Map 20's event script on the event harness: the table, the opening with the boss tasks it
// starts, the three life thresholds in order, the boss tasks' common rules (hidden, stopped, the
// table removed, the battle torn down or switched), the jewel's fragments, the weak point's and
// the crackle's stages, the movie victory, the alternating talks and the standing figures.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_start.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/event_movie.h"
#include "battle_events/maps/map20.h"
#include "engine/app/context.h"
#include "engine/anime/anime.h"
#include "engine/core/game_task.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 19;
constexpr int kBossKind = 33;
constexpr int kBossLife = 1000;

// Map 20's battle on its small stage: the hero, heroines 1-6 as kinds 8-13, the boss (kind 33,
// group 2), two summoned units (kinds 48 and 49, group 2), the event objects 80-94 (87-93 with the
// character bytes given) and the boss tasks' animations 95-100 (entries never made).
std::unique_ptr<EventHarness> Map20Battle(uint16_t p83 = 1,
                                          std::array<int, 7> characters = {0, 1, 2, 3, 4, 5, 6}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(20);
  for (testsupport::MapStageObject& o : stage.objects) {
    if (o.kind >= 87 && o.kind <= 93) o.character = characters[static_cast<size_t>(o.kind - 87)];
  }
  auto h = testsupport::MakeMapHarness(kMap20Setup, stage);
  h->SetP(kMap20PartnerVar, p83);
  return h;
}

std::vector<int> Ids(const SlgEventEntry* table) {
  std::vector<int> ids;
  for (const SlgEventEntry* row = table; row->handler != nullptr; ++row) ids.push_back(row->id);
  return ids;
}

SlgEffectTask* TaskNamed(const std::string& name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
  return rec != nullptr ? static_cast<SlgEffectTask*>(rec->work) : nullptr;
}
bool Running(const std::string& name) { return TaskNamed(name) != nullptr; }

bool Stopped(AnimeHandle handle) {
  const AnimeRec* rec = handle != nullptr ? Ctx().anime.RecordOf(handle) : nullptr;
  return rec == nullptr || rec->stop != 0;
}

SlgUnit* Boss() { return LiveUnitOfKind(kBossKind); }

// The boss's life set to max x percent / 100 (its maximum made kBossLife first).
void BossAt(int percent) {
  SlgUnit* boss = Boss();
  ASSERT_NE(boss, nullptr);
  boss->stats.max_life = kBossLife;
  boss->stats.life = static_cast<int16_t>(kBossLife * percent / 100);
}

// The harness after the opening (flag 110 set, the boss at full life).
std::unique_ptr<EventHarness> AfterOpening(uint16_t p83 = 1) {
  auto h = Map20Battle(p83);
  h->Start();
  BossAt(100);
  EXPECT_TRUE(h->RunUntilIdle(6000));
  return h;
}

// ---- The table ----

TEST(Map20Table, TheRowsInTheMapsOrderWithTheirConditions) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap20Setup).empty());
  const std::vector<int> ids = {20110, 20130, 20140, 20150, 20160, 20170, 20180, 500, 501,
                                502,   503,   504,   505,   520,   521,   522,   523,   524,
                                525,   530,   531,   532,   533,   534,   535,   600,   601,
                                602,   603,   604,   605,   606};
  EXPECT_EQ(Ids(kMap20Setup.table), ids);
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap20Setup);
  EXPECT_EQ(kMap20Setup.anm_table.size(), 15u);
  EXPECT_EQ(kMap20Setup.bgm, MapBgm::Play(15));
  const SlgEventEntry* t = kMap20Setup.table;
  EXPECT_STREQ(t[2].a, "F(130);");
  EXPECT_STREQ(t[4].b, "HGU(GBO,UST,0);");
  EXPECT_EQ(t[5].clear[0], 180);
  EXPECT_EQ(t[6].clear[0], 170);
  EXPECT_STREQ(t[13].c, "HGU(GBO,UST,0);");
  EXPECT_STREQ(t[25].b, "PP(IKD)&R(10);");
  EXPECT_STREQ(t[25].c, "HP(IKD,0)|HGU(GBO,UST,0)|NP(IMR());");
  EXPECT_STREQ(t[26].c, "HP(IKD,0)|HGU(GBO,UST,0);");
  EXPECT_STREQ(t[31].b, "PP(ITZ)&R(20);");
}

TEST(Map20Tables, PartnerAndStillFrame) {
  const std::array<std::pair<int, int>, 9> partners = {
      {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 6}, {5, 4}, {6, 5}, {7, 1}, {-1, 1}}};
  for (const auto& [p83, partner] : partners) EXPECT_EQ(Map20Partner(p83), partner) << p83;
  const std::array<std::pair<uint32_t, int>, 5> frames = {{{0, 0}, {3, 3}, {6, 6}, {7, 0}, {255, 0}}};
  for (const auto& [character, frame] : frames) {
    EXPECT_EQ(Map20StillFrame(character), frame) << character;
  }
}

// ---- The opening ----

TEST(Map20Opening, StartsTheBossTasksAndShowsThePictureOverTheFadedPlane) {
  // The partner's face by P[83] (P[83] 4 names heroine 6, 5 heroine 4, 6 heroine 5).
  const std::array<int, 7> faces = {29, 29, 74, 110, 137, 155, 209};
  for (uint16_t p83 : {1, 4, 6}) {
    SCOPED_TRACE(p83);
    auto h = Map20Battle(p83);
    h->Start();
    bool picture_bit_seen = false;
    bool party_hidden = false;
    ASSERT_TRUE(h->RunUntil("the opening's end", [&] {
      if ((Battle().flags & kMap20PictureBit) != 0 && Map20State().picture == 1) {
        picture_bit_seen = true;
      }
      if (const SlgUnit* u = LivePartyUnit(1); u != nullptr && (u->flags & 0x80) == 0) {
        party_hidden = true;
      }
      return h->FrameOf("end 20110") >= 0;
    }, 6000));
    const auto messages = h->Records("message ");
    ASSERT_EQ(messages.size(), 15u);
    EXPECT_EQ(messages[0], "message 266:3352");
    EXPECT_EQ(messages[1], "message " + std::to_string(faces[p83]) + ":3163");
    EXPECT_EQ(messages[14], "message 307:10030");
    EXPECT_TRUE(picture_bit_seen);
    EXPECT_TRUE(party_hidden);
    EXPECT_EQ(Battle().flags & kMap20PictureBit, 0);
    EXPECT_EQ(Map20State().picture, 0);
    EXPECT_EQ(h->Records("bg fade-in 213").size(), 1u);
    for (int kind = 80; kind <= 93; ++kind) {
      EXPECT_EQ(h->Records("deploy " + std::to_string(kind) + " ").size(), 1u) << kind;
      EXPECT_EQ(h->Records("remove " + std::to_string(kind) + " ").size(), 1u) << kind;
      EXPECT_EQ(LiveUnitOfKind(kind), nullptr) << kind;
    }
    EXPECT_TRUE(Running(kMap20HornsTask));
    EXPECT_TRUE(Running(kMap20CrackleTask));
    EXPECT_TRUE(Running(kMap20WeakTask));
    EXPECT_EQ(Map20LiveTasks(), 3);
    EXPECT_NE(LivePartyUnit(1)->flags & 0x80, 0u) << "the party is shown again";
    h->RunFrames(2);
    EXPECT_EQ(h->Records("start 20110").size(), 1u);
  }
}

// ---- The thresholds ----

TEST(Map20Thresholds, OneHitToTwentyPercentFiresTheThreeScenesInOrder) {
  auto h = AfterOpening();
  BossAt(20);
  ASSERT_TRUE(h->RunUntil("the 25 % scene", [&] { return h->FrameOf("end 20150") >= 0; }, 6000));
  const int s130 = h->FrameOf("start 20130");
  const int s140 = h->FrameOf("start 20140");
  const int s150 = h->FrameOf("start 20150");
  ASSERT_GE(s130, 0);
  // Each starts on the check that follows the previous one's end.
  EXPECT_EQ(h->FrameOf("end 20130"), s140);
  EXPECT_EQ(h->FrameOf("end 20140"), s150);
  EXPECT_EQ(h->Records("start 20160").size(), 0u);
  EXPECT_EQ(h->Records("se 400").size(), 3u);
  EXPECT_EQ(h->Records("se 291").size(), 1u);
  EXPECT_EQ(h->Records("se 299").size(), 1u);
  EXPECT_EQ(Map20State().weak_stage, 3);
  EXPECT_EQ(Map20State().crackle_stage, 3);
  EXPECT_FALSE(Running(kMap20HornsTask));
  EXPECT_EQ(Map20State().horns, nullptr);
  // The explosion falls for 40 frames and its pieces play once; both have ended by now (the
  // scene waits 120 frames after starting them).
  EXPECT_FALSE(Running(kMap20ExplosionTask));
  EXPECT_FALSE(Running(kMap20PiecesTask));
  EXPECT_TRUE(Running(kMap20JewelTask));
  EXPECT_TRUE(Running(kMap20WeakTask));
  EXPECT_TRUE(Running(kMap20CrackleTask));
  const std::vector<std::string> lists = {"message 269:10040", "message 269:10050",
                                          "message 269:10060"};
  const auto messages = h->Records("message 269:");
  EXPECT_EQ(messages, lists);
}

TEST(Map20Thresholds, TheExplosionFallsAndStartsItsPiecesOnItsFirstStep) {
  auto h = AfterOpening();
  BossAt(20);
  SlgEffectTask* explosion = nullptr;
  ASSERT_TRUE(h->RunUntil("the explosion", [&] {
    explosion = TaskNamed(kMap20ExplosionTask);
    return explosion != nullptr && Map20WorkOf(explosion) != nullptr;
  }, 6000));
  const Map20BossWork& w = *Map20WorkOf(explosion);
  EXPECT_EQ(w.x, 1472 * 256);
  EXPECT_EQ(w.y, 254 * 256);
  h->RunFrames(1);
  EXPECT_TRUE(Running(kMap20PiecesTask));
  h->RunFrames(9);
  // After f frames: x - 256 f, y - 1024 f + 64 f (f - 1) / 2.
  const int32_t f = explosion->frames;
  EXPECT_EQ(w.x, 1472 * 256 - 256 * f);
  EXPECT_EQ(w.y, 254 * 256 - 1024 * f + 32 * f * (f - 1));
  ASSERT_TRUE(h->RunUntil("the fall's end", [&] { return !Running(kMap20ExplosionTask); }, 200));
}

// ---- The common rules of a boss task ----

struct RuleCase {
  const char* what;
  bool hide;        // bit 0x20 of the flag word set
  bool stop;        // phase 100 written
  bool drop_table;  // the event table removed
  bool ends;        // the task ends on the next frame
};

TEST(Map20BossTask, CommonRulesHiddenStoppedAndTableRemoved) {
  const std::array<RuleCase, 5> cases = {{
      {"hidden", true, false, false, false},
      {"stopped", false, true, false, true},
      {"stopped while hidden waits", true, true, false, false},
      {"table removed", false, false, true, true},
      {"table removed while hidden", true, false, true, true},
  }};
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto h = AfterOpening();
    SlgEffectTask* horns = Map20State().horns;
    ASSERT_NE(horns, nullptr);
    Map20BossWork* w = Map20WorkOf(horns);
    ASSERT_NE(w, nullptr);
    const int64_t live = Battle().alloc.live;
    const int32_t x = w->x;
    if (c.hide) Battle().flags |= kMap20HideBit;
    if (c.stop) horns->phase = kSlgPhaseStop;
    if (c.drop_table) EventCheckState().table = nullptr;
    h->RunFrames(1);
    ASSERT_EQ(Running(kMap20HornsTask), !c.ends);
    if (c.ends) {
      EXPECT_EQ(Map20State().horns, nullptr);
      EXPECT_LT(Battle().alloc.live, live) << "the work block and the name are freed";
    } else {
      EXPECT_EQ(w->hidden, c.hide ? 1 : 0);
      EXPECT_EQ(w->x, x) << "its position kept";
      if (c.hide) {
        EXPECT_TRUE(Stopped(w->obj.handle));
        Battle().flags &= static_cast<uint16_t>(~kMap20HideBit);
        h->RunFrames(1);
        ASSERT_EQ(Running(kMap20HornsTask), !c.stop) << "a stop written while hidden ends it now";
        if (!c.stop) {
          EXPECT_EQ(w->hidden, 0) << "shown again";
          EXPECT_FALSE(Stopped(w->obj.handle));
        }
      }
    }
  }
}

// A battle torn down (or switched to another stage) with every boss task running leaves no task
// and no reference of their EventAnm records: the test holds one reference of each of the
// records the tasks play (95, 97, 98, 99) and finds only its own left once the tasks are gone.
TEST(Map20BossTask, TeardownAndStageSwitchEndEveryBossTask) {
  for (bool to_stage : {false, true}) {
    SCOPED_TRACE(to_stage ? "switched" : "torn down");
    auto h = AfterOpening();
    BossAt(40);  // the jewel breaks out
    const std::string last = std::string(kMap20FragmentTask) + "29";
    ASSERT_TRUE(h->RunUntil("the fragments", [&] {
      return Running(last) && Map20WorkOf(TaskNamed(last)) != nullptr;
    }, 6000));
    EXPECT_EQ(Map20LiveTasks(), 4 + kMap20Fragments);
    std::array<SprAnm*, 4> held{};
    const std::array<int, 4> npcs = {95, 97, 98, 99};
    for (size_t i = 0; i < held.size(); ++i) {
      held[i] = GetEventAnm(npcs[i]);
      ASSERT_NE(held[i], nullptr);
      EXPECT_GT(held[i]->ref, 1) << npcs[i] << " is played by a task";
    }
    if (to_stage) {
      Slg::SwitchStage(0);
      ASSERT_TRUE(h->RunUntil("the switch's teardown", [] { return !Running(kMap20JewelTask); }, 120));
    } else {
      SlgTeardown();
    }
    EXPECT_FALSE(Running(kMap20HornsTask));
    EXPECT_FALSE(Running(std::string(kMap20FragmentTask) + "0"));
    for (size_t i = 0; i < held.size(); ++i) {
      EXPECT_EQ(held[i]->ref, 1) << npcs[i];
      ReleaseEventAnm(&held[i]);
    }
  }
}

// ---- The jewel ----

TEST(Map20Jewel, ThirtyFragmentsDrawTheirFlightsAndEndWhereTheSpeedIsUsedUp) {
  auto h = AfterOpening();
  // The random numbers from a small generator of the test's own, each one logged as handed out.
  std::vector<int32_t> draws;
  uint32_t seed = 12345;
  Battle().rand_seam.script = [&] {
    seed = seed * 1103515245u + 12345u;
    const auto v = static_cast<int32_t>(seed & 0x7FFFFFFF);
    draws.push_back(v);
    return v;
  };
  BossAt(45);
  ASSERT_TRUE(h->RunUntil("the fragments", [&] {
    return Running(std::string(kMap20FragmentTask) + "0");
  }, 6000));
  SlgEffectTask* jewel = TaskNamed(kMap20JewelTask);
  ASSERT_NE(jewel, nullptr);
  EXPECT_EQ(jewel->frames, kMap20FragmentFrame);
  std::vector<SlgEffectTask*> fragments;
  for (int i = 0; i < kMap20Fragments; ++i) {
    SlgEffectTask* t = TaskNamed(std::string(kMap20FragmentTask) + std::to_string(i));
    ASSERT_NE(t, nullptr) << i;
    EXPECT_EQ(t->index, i);
    fragments.push_back(t);
  }
  h->RunFrames(1);  // every fragment has made its draws
  // Fragment 0's three draws are the first ones that give its values; each next fragment's are
  // the three after.
  const Map20BossWork* first = Map20WorkOf(fragments[0]);
  ASSERT_NE(first, nullptr);
  size_t base = draws.size();
  for (size_t k = 0; k + 3 * kMap20Fragments <= draws.size(); ++k) {
    if (((draws[k + 1] >> 8) % 512) == first->direction &&
        2048 + ((draws[k + 2] >> 8) % 2048) == first->flight.speed) {
      base = k;
      break;
    }
  }
  ASSERT_LT(base, draws.size()) << "fragment 0's draws not found";
  std::set<int32_t> directions;
  std::set<int> patterns;
  for (int i = 0; i < kMap20Fragments; ++i) {
    SCOPED_TRACE(i);
    const Map20BossWork* w = Map20WorkOf(fragments[static_cast<size_t>(i)]);
    ASSERT_NE(w, nullptr);
    directions.insert(w->direction);
    patterns.insert(w->obj.pattern);
    const auto at = base + static_cast<size_t>(3 * i);
    const int32_t r0 = draws[at] & 0x7FFFFFFF;
    const int32_t r1 = draws[at + 1] & 0x7FFFFFFF;
    const int32_t r2 = draws[at + 2] & 0x7FFFFFFF;
    EXPECT_EQ(w->obj.pattern, (r0 & 0x10000) != 0 ? 2 : 1);
    EXPECT_EQ(w->direction, (r1 >> 8) % 512);
    EXPECT_EQ(w->flight.speed, 2048 + (r2 >> 8) % 2048);
    EXPECT_EQ(w->flight.zoom, 0x10000);
  }
  EXPECT_GT(directions.size(), 20u) << "the directions vary";
  EXPECT_EQ(patterns, (std::set<int>{1, 2}));
  // Each flight ends after 16-32 frames at zoom 0.75-0.5, its task gone the frame after.
  std::array<int, kMap20Fragments> ended_at{};
  ended_at.fill(-1);
  for (int n = 1; n <= 40; ++n) {
    h->RunFrames(1);
    for (int i = 0; i < kMap20Fragments; ++i) {
      SlgEffectTask* t = fragments[static_cast<size_t>(i)];
      if (ended_at[static_cast<size_t>(i)] >= 0) continue;
      if (!Running(std::string(kMap20FragmentTask) + std::to_string(i))) {
        ended_at[static_cast<size_t>(i)] = n;
        continue;
      }
      const Map20BossWork* w = Map20WorkOf(t);
      if (w->flight.ended) {
        const int32_t used = (w->start.speed + 127) / 128;
        EXPECT_EQ(w->flight.zoom, 0x10000 - 1024 * used) << i;
        EXPECT_GE(w->flight.zoom, 0x8000);
        EXPECT_LE(w->flight.zoom, 0xC000);
        EXPECT_EQ(w->flight.x, Map20FragmentFlight(w->start, w->direction, used).x);
      }
    }
  }
  for (int i = 0; i < kMap20Fragments; ++i) {
    EXPECT_GE(ended_at[static_cast<size_t>(i)], 16) << i;
    EXPECT_LE(ended_at[static_cast<size_t>(i)], 34) << i;
  }
}

TEST(Map20Jewel, AHiddenFragmentReplaysItsFlightWhenShownAgain) {
  auto h = AfterOpening();
  // Every draw 0x60000: pattern 1, direction 0, speed 3584 (a flight of 28 frames).
  Battle().rand_seam.script = [] { return 0x60000; };
  BossAt(45);
  const std::string name = std::string(kMap20FragmentTask) + "0";
  ASSERT_TRUE(h->RunUntil("a fragment", [&] { return Running(name); }, 6000));
  h->RunFrames(3);
  SlgEffectTask* t = TaskNamed(name);
  ASSERT_NE(t, nullptr);
  const Map20BossWork* w = Map20WorkOf(t);
  const int32_t before = w->x;
  Battle().flags |= kMap20HideBit;
  h->RunFrames(20);
  EXPECT_EQ(w->x, before) << "nothing runs while hidden";
  EXPECT_EQ(w->hidden, 1);
  Battle().flags &= static_cast<uint16_t>(~kMap20HideBit);
  h->RunFrames(1);
  ASSERT_TRUE(Running(name));
  EXPECT_EQ(w->x, Map20FragmentFlight(w->start, 0, t->frames).x);
  EXPECT_GT(w->x, before + 20 * 8 * 256) << "further out by the hidden frames";
  // Hidden past the flight's end: shown again it ends at once.
  Battle().flags |= kMap20HideBit;
  h->RunFrames(20);
  Battle().flags &= static_cast<uint16_t>(~kMap20HideBit);
  h->RunFrames(2);
  EXPECT_FALSE(Running(name));
}

TEST(Map20Flight, StopsOnTheFrameTheSpeedIsUsedUp) {
  const Map20Flight start{.x = 1608 * 256, .y = 280 * 256, .speed = 2048, .zoom = 0x10000};
  const Map20Flight a = Map20FragmentFlight(start, 0, 15);
  EXPECT_FALSE(a.ended);
  const Map20Flight b = Map20FragmentFlight(start, 0, 16);
  EXPECT_TRUE(b.ended);
  EXPECT_EQ(b.zoom, 0xC000);
  EXPECT_EQ(b.speed, 0);
  // Sum of 2048 - 128 n for n = 0..15, moved along cos(0) = 1.0.
  EXPECT_EQ(b.x, 1608 * 256 + (2048 + 128) * 16 / 2);
  EXPECT_EQ(Map20FragmentFlight(start, 0, 100).x, b.x) << "nothing moves after the end";
  const Map20Flight up = Map20FragmentFlight(start, 384, 1);  // straight up: sin = -1.0
  EXPECT_EQ(up.y, 280 * 256 - 2048);
  EXPECT_EQ(up.x, start.x);
}

// ---- The weak point and the crackle ----

TEST(Map20Stages, WeakPointPatternByStageAndCrackleHiddenUntilItsFirstChange) {
  auto h = AfterOpening();
  Map20Words& m = Map20State();
  const Map20BossWork* weak = Map20WorkOf(m.weak);
  SlgEffectTask* crackle_task = m.crackle;
  const Map20BossWork* crackle = Map20WorkOf(crackle_task);
  ASSERT_NE(weak, nullptr);
  ASSERT_NE(crackle, nullptr);
  EXPECT_EQ(weak->obj.pattern, 0);
  EXPECT_EQ(crackle->obj.handle, nullptr) << "the crackle shows nothing before its first change";
  const std::array<std::pair<uint8_t, int>, 5> weak_patterns = {{{1, 1}, {2, 2}, {3, 3}, {4, 3}, {0, 0}}};
  for (const auto& [stage, pattern] : weak_patterns) {
    m.weak_stage = stage;
    h->RunFrames(1);
    EXPECT_EQ(weak->obj.pattern, pattern) << int{stage};
    EXPECT_EQ(m.weak_seen, stage);
  }
  const std::array<std::pair<uint8_t, int>, 4> crackle_patterns = {{{1, 0}, {2, 1}, {3, 2}, {4, 2}}};
  for (const auto& [stage, pattern] : crackle_patterns) {
    m.crackle_stage = stage;
    h->RunFrames(1);
    EXPECT_EQ(crackle->obj.pattern, pattern) << int{stage};
  }
  m.crackle_stage = 0;
  h->RunFrames(2);
  EXPECT_FALSE(Running(kMap20CrackleTask)) << "stage 0 ends it";
  EXPECT_EQ(m.crackle, nullptr);
  // The weak point's zoom has grown to 1.0 (64 frames) and stays there.
  EXPECT_TRUE(Running(kMap20WeakTask));
}

// ---- The victory ----

TEST(Map20Victory, RemovesTheSummonsPlaysTheMovieAndWinsOnce) {
  for (bool movie : {true, false}) {
    SCOPED_TRACE(movie ? "movie present" : "movie absent");
    testsupport::TraceCapture trace;
    auto h = Map20Battle();
    if (movie) h->AddMovie(1, 20, 0.2);
    h->Start();
    BossAt(100);
    ASSERT_TRUE(h->RunUntilIdle(6000));
    BossAt(20);
    ASSERT_TRUE(h->RunUntil("the 25 % scene", [&] { return h->FrameOf("end 20150") >= 0; }, 6000));
    BossAt(0);
    uint16_t flags_at_win = 0;
    ASSERT_TRUE(h->RunUntil("the victory", [&] {
      if (h->FrameOf("task Slg::GameWin") >= 0 && flags_at_win == 0) flags_at_win = Battle().flags;
      return h->FrameOf("end 20160") >= 0;
    }, 6000));
    h->RunFrames(2);
    EXPECT_EQ(LiveUnitOfKind(48), nullptr);
    EXPECT_EQ(LiveUnitOfKind(49), nullptr);
    EXPECT_EQ(Map20LiveTasks(), 0);
    EXPECT_FALSE(Running(kMap20WeakTask));
    EXPECT_FALSE(Running(kMap20CrackleTask));
    EXPECT_FALSE(Running(kMap20JewelTask));
    EXPECT_EQ(h->Records("se 405").size(), 1u);
    EXPECT_EQ(h->Records("message 13:40010").size(), 1u);
    EXPECT_EQ(h->Records("task Slg::GameWin").size(), 1u);
    EXPECT_EQ(flags_at_win & 0xA2, 0xA0);
    if (movie) {
      const std::vector<std::string> played = {"movie " + MovieFileName(1, 20), "movie end"};
      EXPECT_EQ(h->Records("movie "), played);
    } else {
      EXPECT_TRUE(trace.Contains("Can't Play Movie")) << "and the scene went on";
    }
    EXPECT_EQ(h->Records("deploy 94").size(), 1u);
    EXPECT_EQ(h->Records("remove 94").size(), 1u);
  }
}

// ---- The talks and the figures ----

TEST(Map20Talks, TheTwoListsAlternateOnMad) {
  auto h = AfterOpening();
  for (int i = 0; i < 3; ++i) {
    h->Command(18);
    ASSERT_TRUE(h->RunUntilIdle(600));
  }
  const std::vector<std::string> started = {"start 20110", "start 20170", "start 20180",
                                            "start 20170"};
  EXPECT_EQ(h->Records("start 201"), started);
}

TEST(Map20Objects, StandingFiguresShowTheFrameOfTheirCharacterByte) {
  auto h = Map20Battle(1, {0, 6, 9, 0, 0, 0, 0});
  h->Start();
  BossAt(100);
  // Pattern 0 of the figures' files made twelve frames long, so that a byte of 9 would be a frame
  // of its own if it were taken as it is (the loaded records are shared with the objects
  // deployed later).
  for (int kind = 87; kind <= 89; ++kind) {
    SprAnm* anm = GetEventAnm(kind);
    ASSERT_NE(anm, nullptr);
    ASSERT_FALSE(anm->animations.empty());
    auto& frames = anm->animations[0];
    while (frames.size() < 12) frames.push_back(frames.front());
    ReleaseEventAnm(&anm);
  }
  ASSERT_TRUE(h->RunUntil("the figures", [&] { return !h->Records("deploy 93 ").empty(); }, 6000));
  h->RunFrames(30);
  for (const auto& [kind, frame] : std::array<std::pair<int, int>, 3>{{{87, 0}, {88, 6}, {89, 0}}}) {
    SCOPED_TRACE(kind);
    const SlgUnit* u = LiveUnitOfKind(kind);
    ASSERT_NE(u, nullptr);
    ASSERT_NE(u->anm, nullptr);
    ASSERT_NE(u->anm->handle, nullptr);
    EXPECT_EQ(Scene().tamvik_spr.spx()->GetFrame(u->anm->handle), frame);
    EXPECT_TRUE(Stopped(u->anm->handle)) << "held on its still frame";
  }
}

}  // namespace
