// Player kind 10's attacks on the attack rig: the smoke rows of every type, the normal attack's
// hit by type, the damage list rebuilt at step 1, the flash's frames, the hit marks' volleys,
// squash and ends (many targets whose names collide included), the unmirrored opening and the
// closing rows, and refused allocations.

#include "battle_effects/glunet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/step_timeline.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 10;
constexpr int32_t kPx = 65536;

// Body animations of 48 two-tick frames (96 frames: past the type-0 hit at 84), the special's of
// 90 one-tick frames; effect animations 0-10 of 40 one-tick frames (object 1 reaches frame 30)
// but for the marks' and sparks' (5, 7, 8: `mark_frames`, `spark_frames`); SPECIAL_BG 0 and 1.
void GlunetSets(AttackFixtures& f, int mark_frames = 8, int spark_frames = 8) {
  f.Slot(kAnmAttackBody, 8, AttackAnim{.frames = 48, .ticks = 2});
  f.Slot(kAnmAttackEffect, 11);
  f.Slot(kAnmSpecialBody, 8, AttackAnim{.frames = 90, .ticks = 1});
  std::vector<AttackAnim> effects(11, AttackAnim{.frames = 40, .ticks = 1});
  effects[5] = AttackAnim{.frames = mark_frames, .ticks = 1};
  effects[7] = effects[8] = AttackAnim{.frames = spark_frames, .ticks = 1};
  f.Slot(kAnmSpecialEffect, effects);
  f.Pictures(kAnmSpecialBg, {{640, 480}, {320, 240}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name) {
  AttackCase row = PlayerAttackRow(kKind, "Glunet", type, dir, layout, name);
  row.hits = testsupport::HitSignal::kNone;
  row.leaves = 0;
  if (type == 1) row.frame_limit = 900;
  row.fixtures = [](AttackFixtures& f) { GlunetSets(f); };
  return row;
}

void PlayRows(int type, int first, int last, uint32_t step_ms = 0) {
  ExpectSmokeRows([type](int dir, AttackLayout layout, const std::string& name) {
    return Row(type, dir, layout, name);
  }, first, last, step_ms);
}

TEST(GlunetSmoke, NormalFacing0123) { PlayRows(0, 0, 3); }
TEST(GlunetSmoke, CriticalFacing0123) { PlayRows(2, 0, 3); }
TEST(GlunetSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(GlunetSmoke, SpecialFacing01) { PlayRows(1, 0, 1); }
TEST(GlunetSmoke, SpecialFacing23) { PlayRows(1, 2, 3); }
TEST(GlunetSmoke, Variants) { PlayVariantRows(&Row); }
TEST(GlunetSmoke, SkippedFrames) {
  PlayRows(0, 1, 1, 50);
  PlayRows(1, 2, 2, 50);
}

// The game clock of the first trace line whose text starts with `prefix` (0 none).
uint32_t MsOf(const testsupport::AttackOutcome& out, const std::string& prefix) {
  for (const auto& line : out.lines) {
    if (line.text.rfind(prefix, 0) == 0) return line.ms;
  }
  return 0;
}

// The game clocks of every trace line whose text starts with `prefix`.
std::vector<uint32_t> AllMsOf(const testsupport::AttackOutcome& out, const std::string& prefix) {
  std::vector<uint32_t> ms;
  for (const auto& line : out.lines) {
    if (line.text.rfind(prefix, 0) == 0) ms.push_back(line.ms);
  }
  return ms;
}

TEST(GlunetNormal, OneHitByTypeWhateverTheTargets) {
  // The objects start on the routine's second call. Type 0: 84 frames later; type 2: the body's
  // frame 38 (two ticks a frame: 76 frames); type 3: none. At 60 frames a second, and with
  // about three frames a step (the hit then on a step at most two steps past its moment: the
  // body's animation also starts on a step).
  const struct {
    int type;
    int frames_after_start;  // -1: no hit
  } cases[] = {{0, 84}, {2, 76}, {3, -1}};
  for (const uint32_t step_ms : {0u, 50u}) {
    const int step = step_ms == 0 ? 1 : 3;
    for (const auto& c : cases) {
      for (const auto& [layout, name] : {std::pair{AttackLayout::kFront, "one"},
                                         {AttackLayout::kThree, "three"},
                                         {AttackLayout::kNone, "none"}}) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " " + name + " step " +
                     std::to_string(step_ms));
        AttackCase row = Row(c.type, 1, layout, name);
        row.step_ms = step_ms;
        const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
        EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
        const std::string routine = "routine Glunet::NormalAttack";
        const std::vector<int> hits = TraceGameFrames(out, routine, "task+ Glunet::hit ");
        if (c.frames_after_start < 0 || layout == AttackLayout::kNone) {
          EXPECT_TRUE(hits.empty());
          continue;
        }
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_GE(hits[0], step + c.frames_after_start - 1);
        EXPECT_LE(hits[0], step + c.frames_after_start + 2 * step);
        // The hit lasts 50 frames; the attack itself ends as the body does (no wait after it).
        const std::vector<int> gone = TraceGameFrames(out, routine, "task- Glunet::hit");
        ASSERT_EQ(gone.size(), 1u);
        EXPECT_NEAR(gone[0] - hits[0], 50, step);
        const std::vector<int> end = TraceGameFrames(out, routine, "unit 0 state 7");
        ASSERT_FALSE(end.empty());
        EXPECT_NEAR(end[0], step + 96, 2 * step);
      }
    }
  }
}

// A unit added beside the board's targets and put on the damage list only after the routine's
// step 0: the list the routine uses is the one it builds at its step 1.
TEST(GlunetDamageList, BuiltAtStepOne) {
  for (const int type : {0, 1}) {
    SCOPED_TRACE("type " + std::to_string(type));
    AttackCase row = Row(type, 1, AttackLayout::kNone, "late_target");
    uint8_t late = 0;
    row.before = [&late](AttackRig& r) {
      late = r.board()->AddUnit(testsupport::OnCell(6, 20, {.kind = 1, .category = 0}));
      Slg::PlaceUnit(Battle().state.units[late]);
      r.Step();  // its body drawn before the attack starts
    };
    AttackRig r(row);
    r.Start();
    while (!(r.attacker().state == 6 && r.attacker().step == 1) && r.frames() < 20) r.Step();
    ASSERT_EQ(r.attacker().step, 1u);
    EXPECT_EQ(Battle().target_count, 0);
    Battle().state.units[late].flags |= kUnitInDamageList;
    r.Step();
    EXPECT_EQ(Battle().target_count, 1);
    EXPECT_EQ(Battle().targets[0], static_cast<int8_t>(late));
    const std::vector<std::string> failures = PlayToEnd(r, row);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  }
}

TEST(GlunetFlash, WhiteOnTwoFramesOfFourPictureOnTwoOfEight) {
  const AttackCase row = Row(1, 1, AttackLayout::kFront, "flash");
  AttackRig r(row);
  r.Start();
  const GlunetSpecial& w = GlunetAttackWork().special;
  uint32_t start = 0;
  std::map<int, std::pair<bool, bool>> seen;  // flash frame -> (white, picture)
  bool ended_clean = false;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    if (start == 0) {
      for (const auto& line : r.trace().lines()) {
        if (line.text.rfind("task+ Glunet::PikaPika", 0) == 0) start = line.ms;
      }
      if (start == 0) return;
    }
    const int f = FramesBetween(start, TimelineNow());
    if (w.flash_end == 0) {
      seen[f] = {w.white_entry != nullptr, w.picture_entry != nullptr};
    } else if (!ended_clean && r.attacker().step >= 3) {
      ended_clean = w.white_entry == nullptr && w.picture_entry == nullptr && w.white == nullptr &&
                    w.picture == nullptr;
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  // A task started between two of the rig's uneven frames may see a frame of 33 ms as 1: every
  // frame it sees follows the rule.
  int checked = 0;
  for (const auto& [f, shown] : seen) {
    if (f > 20) break;
    ++checked;
    EXPECT_EQ(shown.first, (f & 2) != 0) << "white at " << f;
    EXPECT_EQ(shown.second, f == 8 || f == 9 || f == 16 || f == 17) << "picture at " << f;
  }
  EXPECT_GE(checked, 12);
  EXPECT_TRUE(seen.count(8) != 0 || seen.count(9) != 0);
  EXPECT_TRUE(ended_clean);
}

TEST(GlunetMarks, SquashZoomOverTwentyFrames) {
  const struct {
    int32_t f, x, y;
  } cases[] = {{0, kPx, kPx}, {10, kPx - 32760, kPx + 65530}, {20, 16, kPx + 131060},
               {25, 16, kPx + 131060}, {-3, kPx, kPx}};
  for (const auto& c : cases) {
    const SlgPair z = GlunetSquashZoom(c.f);
    EXPECT_EQ(z.x, c.x) << c.f;
    EXPECT_EQ(z.y, c.y) << c.f;
  }
}

// Frames between two game clocks, as a list.
std::vector<int> FramesFrom(uint32_t from, const std::vector<uint32_t>& at) {
  std::vector<int> out;
  for (const uint32_t ms : at) out.push_back(FramesBetween(from, ms));
  return out;
}

TEST(GlunetMarks, VolleysAt30_32_48ThenTheSquashThenStepFive) {
  AttackCase row = Row(1, 1, AttackLayout::kThree, "marks");
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  // Three marks, made together.
  EXPECT_EQ(AllMsOf(out, "task+ Glunet::HitMart2").size(), 3u + 3u * 6u);  // marks and sparks
  const uint32_t mark0 = MsOf(out, "task+ Glunet::HitMart20 ");
  ASSERT_NE(mark0, 0u);
  // Mark 0's sparks: "Glunet::HitMart200" and "...01" per volley.
  // (The mark's clock may see a frame of 33 ms as 1: 32 is then seen as 33.)
  for (const char* spark : {"task+ Glunet::HitMart200 ", "task+ Glunet::HitMart201 "}) {
    const std::vector<int> volleys = FramesFrom(mark0, AllMsOf(out, spark));
    ASSERT_EQ(volleys.size(), 3u) << spark;
    EXPECT_EQ(volleys[0], 30);
    EXPECT_NEAR(volleys[1], 32, 1);
    EXPECT_NEAR(volleys[2], 48, 1);
  }
  // 8-frame sparks: the last ends at 56; the mark squashes from 64 for 20 frames.
  int mark0_end = -1;
  for (const auto& line : out.lines) {
    if (line.text == "task- Glunet::HitMart20") mark0_end = FramesBetween(mark0, line.ms);
  }
  EXPECT_NEAR(mark0_end, 64 + 20, 1);
  // The unit reaches step 5 (and state 7) right after the last mark.
  const std::vector<int> gen_end = TraceFrames(out, "task- Glunet::Hit2Gen");
  ASSERT_EQ(gen_end.size(), 1u);
  EXPECT_NEAR(out.state7_frame, gen_end[0], 2);
}

// A mark's animation long enough to be seen through its squash: from frame 64 (its 8-frame sparks
// have ended at 56) its zoom is GlunetSquashZoom of the frames since, for 20 frames.
TEST(GlunetMarks, SquashSeenOnTheMark) {
  AttackCase row = Row(1, 1, AttackLayout::kFront, "squash");
  row.fixtures = [](AttackFixtures& f) { GlunetSets(f, 200, 8); };
  AttackRig r(row);
  r.Start();
  uint32_t mark = 0;
  int squashed = 0;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    if (mark == 0) {
      const testsupport::AttackTraceLine* l = r.trace().Find("task+ Glunet::HitMart20 ");
      if (l == nullptr) return;
      mark = l->ms;
    }
    for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmSpecialEffect), 5)) {
      if (a.zoom == kPx && a.zoom_y == kPx) continue;
      const int g = (kPx - a.zoom) / 3276;
      EXPECT_EQ(a.zoom, GlunetSquashZoom(g).x);
      EXPECT_EQ(a.zoom_y, GlunetSquashZoom(g).y);
      EXPECT_NEAR(FramesBetween(mark, TimelineNow()), 64 + g, 1);
      ++squashed;
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  EXPECT_GE(squashed, 15);  // about 19 frames of it (a frame of the first may be the zoom 1.0)
}

TEST(GlunetMarks, NoTargetsMoveTheStepOnAtOnce) {
  const testsupport::AttackOutcome out =
      testsupport::PlayAttackCase(Row(1, 2, AttackLayout::kNone, "no_marks"));
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  const std::vector<int> made = TraceFrames(out, "task+ Glunet::Hit2Gen CTamvikGeneral::GeneralManeger");
  const std::vector<int> gone = TraceFrames(out, "task- Glunet::Hit2Gen");
  ASSERT_EQ(made.size(), 1u);
  ASSERT_EQ(gone.size(), 1u);
  EXPECT_LE(gone[0] - made[0], 1);
  EXPECT_TRUE(AllMsOf(out, "task+ Glunet::HitMart2").empty());
}

// 22 targets: "Glunet::HitMart220" is target 20's mark and also target 2's first spark, and every
// volley reuses its sparks' names. Each task still ends once, and the attack ends.
TEST(GlunetMarks, TwentyTwoTargetsWithCollidingNamesEndOnceEach) {
  AttackCase row = Row(1, 1, AttackLayout::kNone, "twenty_two");
  row.fixtures = [](AttackFixtures& f) { GlunetSets(f, 8, 30); };
  row.before = [](AttackRig& r) {
    Battle().attack.skip_gauge = 1;
    for (int i = 0; i < 22; ++i) {
      const uint8_t slot = r.board()->AddUnit(
          testsupport::OnCell(2 + i % 6, 30 + 2 * (i / 6), {.kind = 1, .category = 0}));
      SlgUnit& u = Battle().state.units[slot];
      Slg::PlaceUnit(u);
      u.flags |= kUnitInDamageList;
    }
    r.Step();
  };
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  std::map<std::string, int> balance;
  int made = 0;
  for (const auto& line : out.lines) {
    if (line.text.rfind("task+ Glunet::", 0) == 0) {
      ++balance[line.text.substr(6, line.text.find(' ', 6) - 6)];
      ++made;
    } else if (line.text.rfind("task- Glunet::", 0) == 0) {
      --balance[line.text.substr(6)];
    }
  }
  // 22 marks, 3 volleys of 2 sparks each, the generator and the flash.
  EXPECT_EQ(made, 22 + 22 * 6 + 2);
  for (const auto& [name, n] : balance) EXPECT_EQ(n, 0) << name;
  EXPECT_EQ(balance.count("Glunet::HitMart220"), 1u);
}

// Which animations of a set play, and mirrored or not, at the frame the check runs.
struct Played {
  std::vector<std::pair<uint32_t, uint32_t>> anims;  // (animation, reverse)
};
Played PlayedOf(int slot) {
  Played p;
  for (const EffectAnim& a : EffectAnims(kKind, slot)) p.anims.emplace_back(a.anm, a.reverse);
  std::sort(p.anims.begin(), p.anims.end());
  return p;
}

TEST(GlunetSpecial, OpeningNeverMirroredClosingByDirection) {
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("dir " + std::to_string(dir));
    const AttackCase row = Row(1, dir, AttackLayout::kFront, "rows");
    AttackRig r(row);
    r.Start();
    Played opening, closing;
    bool seen_opening = false, seen_closing = false;
    const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
      if (r.attacker().state != 6) return;
      if (!seen_opening && r.attacker().step == 2) {
        opening = PlayedOf(kAnmSpecialBody);
        for (const auto& a : PlayedOf(kAnmSpecialEffect).anims) opening.anims.push_back(a);
        seen_opening = true;
      }
      if (!seen_closing && r.attacker().step == 4) {
        closing = PlayedOf(kAnmSpecialBody);
        seen_closing = true;
      }
    });
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    ASSERT_TRUE(seen_opening && seen_closing);
    EXPECT_EQ(opening.anims, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}, {2, 0}, {3, 0},
                                                                          {4, 0}}));
    const uint32_t mirrored = dir >= 2 ? 16u : 0u;
    EXPECT_EQ(closing.anims, (std::vector<std::pair<uint32_t, uint32_t>>{{1, mirrored}}));
  }
}

TEST(GlunetSpecial, NoGeneratorGoesStraightToTheEnd) {
  // The generator's name copy (16 bytes) and work area (4) refused in the frame of step 3.
  AttackCase row = Row(1, 1, AttackLayout::kThree, "no_generator");
  AttackRig r(row);
  r.Start();
  SlgUnit* attacker = &r.attacker();
  Battle().alloc.refuse = [attacker](uint32_t, size_t bytes) {
    return attacker->state == 6 && attacker->step == 3 && (bytes == 16 || bytes == 4);
  };
  const std::vector<std::string> failures = PlayToEnd(r, row);
  Battle().alloc.refuse = nullptr;
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  for (const auto& line : r.trace().lines()) {
    EXPECT_EQ(line.text.rfind("task+ Glunet::Hit2Gen", 0), std::string::npos);
  }
}

// A battle that ends mid-attack (the rig goes with its context) gives back what the attack holds:
// LeakSanitizer finds nothing left of the context, its objects or the pictures.
TEST(GlunetSpecial, BattleEndingMidAttackLeavesNothing) {
  for (const int type : {0, 1}) {
    SCOPED_TRACE("type " + std::to_string(type));
    AttackRig r(Row(type, 1, AttackLayout::kFront, "cut_short"));
    r.Start();
    const uint32_t at = type == 0 ? 1 : 2;  // the normal's objects play while it stays at 1
    for (int i = 0; i < 400 && !(r.attacker().state == 6 && r.attacker().step >= at); ++i) r.Step();
    for (int i = 0; i < 5; ++i) r.Step();
    EXPECT_EQ(r.attacker().state, 6);
  }
}

}  // namespace
