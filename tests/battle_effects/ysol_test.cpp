// The YSOL heroine unit's attacks (kind 4) on the attack rig: the shells' launch by type and
// target count (count, spacing, aims, the hit signals, the live count, the end), the arc marks,
// the burst's attribute; the special's presentation timings and picture ramp, the big bears'
// order and delays, the bears per target with the falling-sprite effect, the end; missing sets
// and pictures, a hit mark outliving the attack; and the family's smoke rows.

#include "battle_effects/ysol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_geometry.h"
#include "battle/slg_draw.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/effect_position.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 4;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPx = 65536;

// Every animation the family names, of known lengths: 8 frames of 2 ticks.
void Sets(AttackFixtures& f) {
  const AttackAnim anim{.frames = 8, .ticks = 2};
  f.Slot(kAnmAttackBody, 25, anim);
  f.Slot(kAnmAttackEffect, 25, anim);
  f.Slot(kAnmSpecialBody, 13, anim);
  f.Slot(kAnmSpecialEffect, 13, anim);
  f.Pictures(kAnmSpecialBg, {{640, 480}, {640, 480}});
}

AttackCase Row(int type, int dir, AttackLayout layout) {
  AttackCase row{.name = "ysol_type" + std::to_string(type) + "_dir" + std::to_string(dir),
                 .kind = kKind, .type = type, .dir = dir, .layout = layout,
                 .frame_limit = type == 1 ? 1500 : 900, .prefixes = {"YSOL::"}};
  row.fixtures = &Sets;
  return row;
}

YsolWork& Work(AttackRig& r) { return r.rig().battle().Extension<YsolWork>(); }


bool Stopped(AnimeHandle handle) {
  const AnimeRec* rec = Ctx().anime.RecordOf(handle);
  return rec == nullptr || rec->stop != 0;
}

int FramesBetween(uint32_t from, uint32_t to) {
  return static_cast<int>(int64_t{static_cast<int32_t>(to - from)} * 60 / 1000);
}

// A script for the battle's random draws: the values in turn, then 0.
std::function<int32_t()> Script(std::vector<int32_t>& draws) {
  return [&draws] {
    const int32_t v = draws.empty() ? 0 : draws.front();
    if (!draws.empty()) draws.erase(draws.begin());
    return v;
  };
}

// ---- Pure tables ----

TEST(Ysol, TheBurstAttributeTurnsOnTheReversedHeading) {
  // Reversed headings 128, 129, 384, 385 (the heading 256 less).
  const struct {
    int32_t reversed;
    uint16_t attr;
  } cases[] = {{128, 0}, {129, 32}, {256, 32}, {384, 32}, {385, 0}, {0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(YsolBurstAttr((c.reversed + 256) & 511), c.attr) << c.reversed;
  }
}

TEST(Ysol, ThePictureRampAndTheMarksArc) {
  const struct {
    int32_t frames, alpha;
  } ramp[] = {{0, 1}, {1, 7}, {17, 128}, {33, 248}, {34, 256}, {90, 256}};
  for (const auto& c : ramp) EXPECT_EQ(YsolPictureAlpha(c.frames), c.alpha) << c.frames;
  const int32_t arc[] = {-14, -6, -2, 0, -2, -6, -14};
  for (int i = 0; i < kYsolMarks; ++i) {
    EXPECT_EQ(YsolMarkOffset(i).x, (48 - 16 * i) * kPx);
    EXPECT_EQ(YsolMarkOffset(i).y, arc[i] * kPx);
  }
}

// ---- The normal routine: launch, aims, hits, marks, the end ----

struct ShellSeen {
  int32_t angle = -1;
  int target = -2;
  SlgPair aim{};
  bool has_aim = false;
  std::set<uint8_t> stages;
};

TEST(YsolNormal, ShellsByTypeAndTargetCountAimHomeHitAndEnd) {
  const std::pair<AttackLayout, int> layouts[] = {
      {AttackLayout::kNone, 0}, {AttackLayout::kFront, 1}, {AttackLayout::kThree, 3}};
  for (const int type : {0, 2, 3}) {
    for (const auto& [layout, target_count] : layouts) {
      SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(target_count) +
                   " targets");
      const AttackCase row = Row(type, 1, layout);
      AttackRig r(row);
      r.Start();
      BattleContext& b = r.rig().battle();
      const int n = type == 2 ? 16 : 8;
      const int32_t spacing = type == 2 ? 32 : 64;
      // The launch's draws: the angle (100), then the random targets' places 2, 0, 1, 2, ...
      std::vector<int32_t> draws = {100};
      for (int i = 0; i < 16; ++i) draws.push_back((i + 2) % 3 << 4);
      std::vector<int32_t> kept = draws;
      uint32_t calls_at_script = 0;
      std::map<int, ShellSeen> shells;
      int most_live = 0, marks_seen = 0, step6 = -1;
      uint32_t step6_ms = 0, state7_ms = 0;
      bool scripted = false, marks_after = false;
      const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
        YsolWork& w = Work(r);
        const SlgUnit& a = r.attacker();
        if (a.state == kStateAfterAttack) {
          if (state7_ms == 0) state7_ms = r.rig().Now();
          return;
        }
        if (!scripted && w.marks_on != 0 && w.shells_launched == 0) {
          scripted = true;
          calls_at_script = b.rand_seam.calls;
          b.rand_seam.script = Script(draws);
        }
        if (w.shells_launched != 0 && b.rand_seam.script) {
          b.rand_seam.script = nullptr;
          const uint32_t used = b.rand_seam.calls - calls_at_script;
          EXPECT_EQ(used, 1u + static_cast<uint32_t>(target_count > 0 ? n - target_count : 0));
        }
        most_live = std::max(most_live, w.live_shells);
        // The marks: one every 3 frames from the first, on the arc, until step 5.
        if (w.marks_on != 0 && w.ctx != nullptr) {
          const int first = type == 2 ? 3 : 2;
          int shown = 0;
          for (int i = 0; i < kYsolMarks; ++i) {
            const SlgAnmObj* m = w.ctx->objects[static_cast<size_t>(first + i)];
            if (!Stopped(m->handle)) {
              ++shown;
              EXPECT_EQ(m->x, w.pos.x + YsolMarkOffset(i).x);
              EXPECT_EQ(m->y, w.pos.y + YsolMarkOffset(i).y);
            }
          }
          const int due = std::min(7, 1 + FramesBetween(w.marks_start, r.rig().Now()) / 3);
          EXPECT_EQ(shown, due);
          marks_seen = std::max(marks_seen, shown);
        }
        if (a.step >= 5 && w.ctx != nullptr) {
          const int first = type == 2 ? 3 : 2;
          for (int i = 0; i < kYsolMarks; ++i) {
            marks_after = marks_after ||
                          w.ctx->objects[static_cast<size_t>(first + i)]->handle != nullptr;
          }
        }
        if (a.step == 6 && step6 < 0) {
          step6 = r.frames();
          step6_ms = w.layered.clock.start;
        }
        for (int i = 0; i < n; ++i) {
          const YsolShell* s = EffectTaskWork<YsolShell>("YSOL::LShell" + std::to_string(i));
          if (s == nullptr) continue;
          ShellSeen& seen = shells[i];
          if (seen.angle < 0) {
            seen.angle = s->angle;
            seen.target = s->target;
            seen.aim = s->homing.aim;
            seen.has_aim = s->homing.has_aim;
          }
          seen.stages.insert(s->stage);
        }
      });
      EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
      ASSERT_EQ(static_cast<int>(shells.size()), n);
      EXPECT_EQ(most_live, n);
      EXPECT_EQ(Work(r).live_shells, 0);
      // (Type 3's shells are gone before the seventh mark is due.)
      if (type == 3) {
        EXPECT_GE(marks_seen, 1);
      } else {
        EXPECT_EQ(marks_seen, 7);
      }
      EXPECT_FALSE(marks_after) << "the marks go with the body's last piece";
      const std::vector<uint8_t>& targets = r.targets();
      ASSERT_EQ(static_cast<int>(targets.size()), target_count);
      for (int i = 0; i < n; ++i) {
        const ShellSeen& s = shells[i];
        EXPECT_EQ(s.angle, (100 + i * spacing) & 511) << "shell " << i;
        int expected = -1;
        if (i < target_count) {
          expected = targets[static_cast<size_t>(i)];
        } else if (target_count > 0) {
          const int32_t draw = kept[static_cast<size_t>(1 + i - target_count)];
          expected = targets[static_cast<size_t>(((draw >> 4) & 0x7FFFFFF) % target_count)];
        }
        EXPECT_EQ(s.target, expected) << "shell " << i;
        EXPECT_EQ(s.has_aim, expected >= 0);
        if (expected >= 0) {
          const SlgUnit& u = b.state.units[static_cast<size_t>(expected)];
          const SlgPair at = Slg::RaiseByCellHeight({u.x, u.y});
          EXPECT_EQ(s.aim.x, at.x);
          EXPECT_EQ(s.aim.y, at.y - 64 * kPx);
        }
        // Type 3 flies straight: it never homes and never hits.
        EXPECT_EQ(s.stages.count(kYsolHoming) != 0, type != 3) << "shell " << i;
        EXPECT_EQ(s.stages.count(kYsolHit) != 0, type != 3 && expected >= 0) << "shell " << i;
        EXPECT_EQ(s.stages.count(kYsolCharge) != 0, type == 2) << "shell " << i;
      }
      // The hit signal: every target for types 0 and 2, nobody for type 3.
      std::set<int> signalled = r.trace().hit_signalled();
      std::set<int> expected_hits;
      if (type != 3) expected_hits.insert(targets.begin(), targets.end());
      EXPECT_EQ(signalled, expected_hits);
      // State 7 30 frames after the last body piece ended.
      ASSERT_GE(step6, 0);
      EXPECT_EQ(FramesBetween(step6_ms, state7_ms), 30);
    }
  }
}

// ---- The special ----

struct SpecialSeen {
  std::vector<uint32_t> stage_ms = std::vector<uint32_t>(10, 0);  // each stage's start
  std::vector<int32_t> alphas;                                    // stage 4, by frame
  std::map<int, int32_t> big_bear_start;  // bear -> its frames when it showed
  std::map<std::string, int> bear_made, bear_ended;
  int fall_calls = 0;
  bool sprung_early = false;
  uint32_t last_target_ms = 0, state7_ms = 0;  // step 11's start, state 7
  uint32_t white_in_end_ms = 0;
  std::array<uint8_t, kYsolBigBears> order{};
};

int g_fall_left = 0;    // the fake's non-zero answers left for the current target
int g_fall_calls = 0;
int FakeFall(SlgUnit& /*unit*/, const SlgPair& /*pos*/) {
  ++g_fall_calls;
  return g_fall_left-- > 0 ? 1 : 0;
}

SpecialSeen PlaySpecial(AttackRig& r, const AttackCase& row, int fall_frames) {
  SpecialSeen seen;
  BattleContext& b = r.rig().battle();
  b.events.fall_effect2 = &FakeFall;
  g_fall_calls = 0;
  g_fall_left = fall_frames;
  int last_index = 0;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    YsolWork& w = Work(r);
    const SlgUnit& a = r.attacker();
    if (a.state == kStateAfterAttack) {
      if (seen.state7_ms == 0) seen.state7_ms = r.rig().Now();
      return;
    }
    const YsolPresentation& p = w.presentation;
    if (p.clock.started != 0 && seen.stage_ms[p.stage] == 0) seen.stage_ms[p.stage] = p.clock.start;
    if (p.stage == 4 && w.picture.sprite != nullptr) seen.alphas.push_back(w.picture.sprite->alpha);
    for (int i = 0; i < kYsolBigBears; ++i) {
      SlgEffectTask* t = EffectTaskNamed("YSOL::BigBear" + std::to_string(i));
      if (t == nullptr) continue;
      const auto* s = static_cast<const YsolBigBear*>(t->owned[0]);
      if (s->stage != kYsolBigWait && seen.big_bear_start.count(i) == 0) {
        seen.big_bear_start[i] = s->stage_start;
      }
    }
    // Bears do not spring while the falling effect runs.
    if (a.step == 9 && w.bears_spring != 0) seen.sprung_early = true;
    if (w.target_index != last_index) {
      last_index = w.target_index;
      g_fall_left = fall_frames;
    }
    if (a.step == 11 && seen.last_target_ms == 0) seen.last_target_ms = w.clock.start;
    if (p.stage == 9 && seen.white_in_end_ms == 0 && b.fade_handle == nullptr) {
      seen.white_in_end_ms = r.rig().Now();
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  seen.fall_calls = g_fall_calls;
  seen.order = b.Extension<YsolBearOrder>().order;
  for (const std::string& line : r.trace().Filter({"task+ YSOL::Bear", "task- YSOL::Bear"})) {
    char sign = line[4];
    const std::string name = line.substr(6, line.find(' ', 6) - 6);
    (sign == '+' ? seen.bear_made : seen.bear_ended)[name] = 1;
  }
  return seen;
}

TEST(YsolSpecial, PresentationBigBearsBearsPerTargetAndTheEnd) {
  const AttackCase row = Row(1, 1, AttackLayout::kThree);
  AttackRig r(row);
  r.Start();
  const SpecialSeen s = PlaySpecial(r, row, 5);
  // The presentation: 30 frames of fade (stage 1 waits for it), 256 moves of 16 ms (the engine
  // steps the scroll once a frame, so a move may wait for the next frame), 120, 34, then the
  // white-out 120 (stage 8) and the white-in 60.
  const auto between = [&s](int a, int b) { return FramesBetween(s.stage_ms[a], s.stage_ms[b]); };
  EXPECT_NEAR(between(1, 2), 30, 1);
  EXPECT_NEAR(between(2, 3), 256 * 16 * 60 / 1000, 4);
  EXPECT_NEAR(between(3, 4), 120, 1);
  EXPECT_NEAR(between(4, 5), 34, 1);
  EXPECT_NEAR(between(8, 9), 120, 2);
  EXPECT_NEAR(FramesBetween(s.stage_ms[9], s.white_in_end_ms), 60, 2);
  // The picture's alpha rises by the ramp.
  ASSERT_FALSE(s.alphas.empty());
  EXPECT_EQ(s.alphas.front(), 1);
  EXPECT_TRUE(std::is_sorted(s.alphas.begin(), s.alphas.end()));
  // Big bear i shows after (order[i] + 2) x 30 frames.
  ASSERT_EQ(s.big_bear_start.size(), static_cast<size_t>(kYsolBigBears));
  for (int i = 0; i < kYsolBigBears; ++i) {
    const int32_t due = (s.order[static_cast<size_t>(i)] + 2) * 30;
    EXPECT_GE(s.big_bear_start.at(i), due) << "big bear " << i;
    EXPECT_LE(s.big_bear_start.at(i), due + 1) << "big bear " << i;
  }
  // Four bears per target; each target's falling effect called until it reported 0.
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 4; ++i) {
      const std::string name = "YSOL::Bear" + std::to_string(t) + std::to_string(i);
      EXPECT_EQ(s.bear_made.count(name), 1u) << name;
      EXPECT_EQ(s.bear_ended.count(name), 1u) << name;
    }
  }
  EXPECT_EQ(s.fall_calls, 3 * 6);
  EXPECT_FALSE(s.sprung_early);
  EXPECT_NEAR(FramesBetween(s.last_target_ms, s.state7_ms), 30, 1);
}

TEST(YsolSpecial, ABearOnAnotherTargetsCellEndsAtOnce) {
  const AttackCase row = Row(1, 1, AttackLayout::kThree);
  AttackRig r(row);
  r.Start();
  // Each bear's life in frames, and whether its cell held a target.
  std::map<std::string, int> made, ended;
  std::map<std::string, bool> on_target;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    for (int t = 0; t < 3; ++t) {
      for (int i = 0; i < 4; ++i) {
        const std::string name = "YSOL::Bear" + std::to_string(t) + std::to_string(i);
        const YsolBear* b = EffectTaskWork<YsolBear>(name);
        if (b != nullptr && made.count(name) == 0) {
          made[name] = r.frames();
          on_target[name] = IsTargetAtPos(b->at) != 0;
        }
        if (b == nullptr && made.count(name) != 0 && ended.count(name) == 0) {
          ended[name] = r.frames();
        }
      }
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  int at_once = 0;
  for (const auto& [name, frame] : made) {
    ASSERT_EQ(ended.count(name), 1u) << name;
    if (on_target[name]) {
      ++at_once;
      EXPECT_LE(ended[name] - frame, 1) << name;
    } else {
      EXPECT_GT(ended[name] - frame, 1) << name;
    }
  }
  EXPECT_GT(at_once, 0) << "the three targets stand on neighbouring cells";
}

TEST(YsolSpecial, TheBearOrderIsShuffledInPlaceAndCarriesOverWithinABattle) {
  BattleContext battle;
  BattleScope scope(battle);
  std::array<uint8_t, kYsolBigBears> order = battle.Extension<YsolBearOrder>().order;
  EXPECT_EQ(order, (std::array<uint8_t, kYsolBigBears>{2, 5, 3, 0, 4, 1}));
  // Two swaps: (0, 5), (1, 3); then one: (2, 4).
  std::vector<int32_t> draws = {1 << 4, 0 << 4, 5 << 4, 1 << 4, 3 << 4,
                                0 << 4, 2 << 4, 4 << 4};
  battle.rand_seam.script = Script(draws);
  ShuffleYsolBearOrder(battle.Extension<YsolBearOrder>().order);
  EXPECT_EQ(battle.Extension<YsolBearOrder>().order,
            (std::array<uint8_t, kYsolBigBears>{1, 0, 3, 5, 4, 2}));
  // A stage switch (or a retry) keeps it; the next special shuffles on from there.
  battle.extensions.StageBuilt();
  battle.extensions.StageBuilt();
  ShuffleYsolBearOrder(battle.Extension<YsolBearOrder>().order);
  EXPECT_EQ(battle.Extension<YsolBearOrder>().order,
            (std::array<uint8_t, kYsolBigBears>{1, 0, 4, 5, 3, 2}));
  EXPECT_TRUE(draws.empty());
  // A new battle starts from the first order.
  BattleContext next;
  BattleScope next_scope(next);
  EXPECT_EQ(next.Extension<YsolBearOrder>().order,
            (std::array<uint8_t, kYsolBigBears>{2, 5, 3, 0, 4, 1}));
}

// ---- Effects that cannot be made ----

TEST(YsolNormal, ShellsThatCannotBeMadeAreNotWaitedFor) {
  const AttackCase row = Row(0, 1, AttackLayout::kThree);
  AttackRig r(row);
  r.Start();
  BattleContext& b = r.rig().battle();
  bool refused = false;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    YsolWork& w = Work(r);
    if (!refused && w.marks_on != 0 && w.shells_launched == 0) {
      // The launch's call: every task refused.
      refused = true;
      b.alloc.refuse = [](uint32_t, size_t) { return true; };
    } else if (refused && b.alloc.refuse) {
      b.alloc.refuse = nullptr;
      EXPECT_EQ(w.shells_made, 0);
      EXPECT_EQ(w.live_shells, 0);
    }
  });
  EXPECT_TRUE(refused);
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
}

TEST(YsolSpecial, BearsThatCannotBeMadeAreNotWaitedFor) {
  // Big bears refused at their start, the first target's bears at theirs: the special goes on
  // to the next target and ends.
  const AttackCase row = Row(1, 1, AttackLayout::kThree);
  AttackRig r(row);
  r.Start();
  BattleContext& b = r.rig().battle();
  b.events.fall_effect2 = &FakeFall;
  g_fall_left = 0;
  int refusals = 0;
  int32_t bears_after_first = -1;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    YsolWork& w = Work(r);
    const SlgUnit& a = r.attacker();
    if (b.alloc.refuse) {
      b.alloc.refuse = nullptr;
      if (refusals == 2) bears_after_first = w.bears_made;
    }
    // The calls that start the big bears (step 3 once the body has ended) and the first bears
    // (step 8).
    const bool big_next = a.step == 3 && refusals == 0 && SlgAnmObjIsEnd(w.ctx->objects[0]);
    const bool bears_next = a.step == 8 && refusals == 1;
    if (big_next || bears_next) {
      ++refusals;
      b.alloc.refuse = [](uint32_t, size_t) { return true; };
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  EXPECT_EQ(refusals, 2);
  EXPECT_EQ(bears_after_first, 0);
  EXPECT_EQ(Work(r).live_bears, 0);
  const std::vector<std::string> made = r.trace().Filter({"task+ YSOL::"});
  EXPECT_TRUE(std::none_of(made.begin(), made.end(), [](const std::string& l) {
    return l.find("BigBear") != std::string::npos || l.find("Bear0") != std::string::npos;
  })) << testing::PrintToString(made);
  EXPECT_TRUE(std::any_of(made.begin(), made.end(), [](const std::string& l) {
    return l.find("Bear1") != std::string::npos;
  }));
}

// ---- The smoke rows ----

std::vector<AttackCase> SmokeRows(int type) {
  const AttackLayout layouts[] = {AttackLayout::kNone, AttackLayout::kFront, AttackLayout::kThree,
                                  AttackLayout::kFront};
  std::vector<AttackCase> rows;
  for (int dir = 0; dir < 4; ++dir) {
    AttackCase row = Row(type, dir, layouts[dir]);
    row.routine = type == 1 ? "Ysol::SpecialAttack" : "Ysol::NormalAttack";
    row.hits = type == 1 || type == 3 || dir == 0 ? HitSignal::kNone : HitSignal::kEvery;
    rows.push_back(row);
  }
  return rows;
}

TEST(AttackSmoke, YsolNormal) {
  for (const int type : {0, 3}) {
    for (const AttackCase& row : SmokeRows(type)) testsupport::ExpectAttackCase(row);
  }
}

TEST(AttackSmoke, YsolCritical) {
  for (const AttackCase& row : SmokeRows(2)) testsupport::ExpectAttackCase(row);
  AttackCase skipped = Row(2, 3, AttackLayout::kThree);
  skipped.name = "ysol_critical_skipped";
  skipped.step_ms = 50;
  testsupport::ExpectAttackCase(skipped);
}

TEST(AttackSmoke, YsolSpecial) {
  for (const AttackCase& row : SmokeRows(1)) testsupport::ExpectAttackCase(row);
}

TEST(AttackSmoke, YsolVariants) {
  // A missing SPECIAL_EFFECT ends the attack on its first call; missing pictures leave the scene
  // without them; a missing ATTACK_EFFECT ends the normal.
  for (const int type : {0, 1, 2}) {
    AttackCase row{.name = "ysol_missing_slot" + std::to_string(type), .kind = kKind,
                   .type = type, .variant = AttackFixtures::Variant::kMissingSlot,
                   .prefixes = {"YSOL::"}};
    testsupport::ExpectAttackCase(row);
  }
  AttackCase pictures = Row(1, 2, AttackLayout::kFront);
  pictures.name = "ysol_missing_picture";
  pictures.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Pictures(kAnmSpecialBg, {{640, 480}});
  };
  testsupport::ExpectAttackCase(pictures);
  AttackCase no_pictures = pictures;
  no_pictures.name = "ysol_no_pictures";
  no_pictures.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Omit(kAnmSpecialBg);
  };
  testsupport::ExpectAttackCase(no_pictures);
  AttackCase two = Row(0, 1, AttackLayout::kThree);
  two.name = "ysol_two_frames";
  two.variant = AttackFixtures::Variant::kTwoFrames;
  two.fixtures = {};
  testsupport::ExpectAttackCase(two);
}

TEST(YsolSpecial, ABigBearsHitMarkOutlivesTheAttackOnAHeldSet) {
  // The hit mark (effect 9) runs 400 frames: well past the attack's end and its context.
  AttackCase row = Row(1, 1, AttackLayout::kFront);
  row.name = "ysol_long_hit_mark";
  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    std::vector<AttackAnim> effects(13, AttackAnim{.frames = 8, .ticks = 2});
    effects[9] = AttackAnim{.frames = 400, .ticks = 1};
    f.Slot(kAnmSpecialEffect, effects);
  };
  row.outlive = 500;
  AttackRig r(row);
  r.Start();
  bool playing_after = false;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    if (r.attacker().state == kStateAfterAttack && !playing_after) {
      const std::vector<std::string> live = AttackRig::LiveTaskNames();
      playing_after = std::any_of(live.begin(), live.end(), [](const std::string& n) {
        return n.rfind("AutoPtnChg2", 0) == 0;
      });
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  EXPECT_TRUE(playing_after) << "a hit mark still plays when the attack has ended";
}

}  // namespace

namespace {

// The body animations outlast the picture's ramp: the presentation's report of the ramp's end
// comes while the steps before still wait for the body, and the special must go on without it.
TEST(YsolSpecial, ALongBodyAnimationOutlastingThePictureRampDoesNotStallTheSpecial) {
  AttackCase row = Row(1, 1, AttackLayout::kFront);
  row.name = "ysol_long_body";
  row.routine = "Ysol::SpecialAttack";
  row.frame_limit = 4000;
  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Slot(kAnmSpecialBody, 13, AttackAnim{.frames = 300, .ticks = 2});
  };
  testsupport::ExpectAttackCase(row);
}

}  // namespace
