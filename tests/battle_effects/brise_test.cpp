// Player kind 6's attacks on the attack rig: the smoke rows of every type, the dots' start and
// flight, the special's timeline (dots, lines, pictures, the shake and the four bombs), the
// gradient layer, short content and a refused small bomb.

#include "battle_effects/brise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "battle_effects/step_timeline.h"
#include "platform/surface.h"
#include "testsupport/attack_rig.h"
#include "testsupport/trace_capture.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr int kKind = 6;

// SPECIAL_BODY animation 0 of `body_frames` one-tick frames (object 0, which times the scene),
// 1-7 of the default length; SPECIAL_EFFECT 0-14; SPECIAL_BG picture 0 `width` px wide.
void BriseSets(AttackFixtures& f, int body_frames, int width) {
  std::vector<AttackAnim> body(8);
  body[0] = AttackAnim{.frames = body_frames, .ticks = 1};
  f.Slot(kAnmSpecialBody, body);
  f.Slot(kAnmSpecialEffect, 15);
  f.Pictures(kAnmSpecialBg, {{static_cast<uint16_t>(width), 480}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name,
               int body_frames = 80, int width = 1952) {
  AttackCase row = PlayerAttackRow(kKind, "Brise", type, dir, layout, name, 900);
  row.hits = testsupport::HitSignal::kNone;
  row.leaves = 0;
  row.fixtures = [body_frames, width](AttackFixtures& f) { BriseSets(f, body_frames, width); };
  return row;
}

void PlayRows(int type, int first, int last) {
  ExpectSmokeRows([type](int dir, AttackLayout layout, const std::string& name) {
    return Row(type, dir, layout, name);
  }, first, last);
}

TEST(BriseSmoke, NormalFacing0123) { PlayRows(0, 0, 3); }
TEST(BriseSmoke, CriticalFacing0123) { PlayRows(2, 0, 3); }
TEST(BriseSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(BriseSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(BriseSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(BriseSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(BriseSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }

TEST(BriseSmoke, SpecialWithSkippedFramesAndRgb555) {
  AttackCase skipped = Row(1, 1, AttackLayout::kThree, "skipped");
  skipped.step_ms = 50;
  testsupport::ExpectAttackCase(skipped);
  AttackCase rgb555 = Row(1, 2, AttackLayout::kFront, "rgb555");
  rgb555.pixels = platform::PixelLayout::kRgb555;
  testsupport::ExpectAttackCase(rgb555);
}

// A captured frame of the gradient with lines and dots (a PNG each into $TAMVIK_BATTLE_FRAMES):
// picture A 160 rows high over the gradient's band 50 at row 400.
TEST(BriseSmoke, GradientFrameInBothLayouts) {
  for (const platform::PixelLayout pixels :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    AttackCase row = Row(1, 1, AttackLayout::kFront,
                         pixels == platform::PixelLayout::kRgb565 ? "frame565" : "frame555");
    row.pixels = pixels;
    row.fixtures = [](AttackFixtures& f) {
      BriseSets(f, 80, 1952);
      f.Pictures(kAnmSpecialBg, {{1952, 160}});
    };
    row.checkpoints = {{"gradient", -1, "task+ Brise::line8",
                        {{600, 400, BriseBandColour(50)},
                         {10, 10, AttackFixtures::ColourRef(kKind, kAnmSpecialBg, 0)}}}};
    testsupport::ExpectAttackCase(row);
  }
}

TEST(BriseNormal, StateSevenThirtyFramesAfterTheBody) {
  for (const int type : {0, 2, 3}) {
    SCOPED_TRACE("type " + std::to_string(type));
    const testsupport::AttackOutcome out =
        testsupport::PlayAttackCase(Row(type, 1, AttackLayout::kFront, "timing"));
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    // Two frames of 4 x 2 ticks each: the body ends after 8 frames, then 30.
    EXPECT_NEAR(FramesInRoutine(out, "Brise::NormalAttack"), 8 + 30, 3);
  }
}

TEST(BriseDot, StartsOnItsEdgeAndHeadsForTheCentre) {
  const struct {
    int edge;
    int32_t along;
    bool large;
    int x, y;     // start, pixels
    int vx, vy;   // 24.8 per frame, roughly
    bool alive;   // still there at its start
  } cases[] = {
      {2, 0, false, -320, 0, 6 * 256, 0, true},    // left, small: 6 px a frame to the right
      {3, 0, true, 320, 0, -12 * 256, 0, true},    // right, large: 12 px a frame to the left
      {0, 10, false, 10, -240, -64, 6 * 256, false},  // top, near the centre: gone at once
      {1, -100, true, -100, 240, 0, 0, true},       // bottom, to the upper right
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("edge " + std::to_string(c.edge));
    BriseDot d = BriseMakeDot({c.edge, c.along, c.large});
    EXPECT_EQ(d.start_x, c.x * 256);
    EXPECT_EQ(d.start_y, c.y * 256);
    EXPECT_EQ(BriseDotAt(d, 0), c.alive);
    if (c.vx != 0 || c.vy != 0) {
      EXPECT_NEAR(d.vx, c.vx, 8);
      EXPECT_NEAR(d.vy, c.vy, 8);
    }
    // Its speed, and it heads for the centre.
    const double speed = std::hypot(d.vx / 256.0, d.vy / 256.0);
    EXPECT_NEAR(speed, c.large ? 12.0 : 6.0, 0.1);
    EXPECT_LT(static_cast<int64_t>(d.vx) * d.start_x + static_cast<int64_t>(d.vy) * d.start_y, 0);
  }
  // A dot from the left: start + velocity x frames, gone once within 32 px of the centre.
  BriseDot d = BriseMakeDot({2, 0, false});
  ASSERT_TRUE(BriseDotAt(d, 10));
  EXPECT_NEAR(d.x, (-320 + 60) * 256, 256);
  EXPECT_TRUE(BriseDotAt(d, 48));   // x -32
  EXPECT_FALSE(BriseDotAt(d, 49));  // x -26
}

TEST(BriseGradient, BandsRunCyanToBlue) {
  EXPECT_EQ(BriseBandColour(0), 0x00FFFF00u);
  EXPECT_EQ(BriseBandColour(128), 0x00FF7F00u);
  EXPECT_EQ(BriseBandColour(255), 0x00FF0000u);
}

// What one special showed, frame by frame.
struct Timeline {
  std::vector<std::string> failures;
  int peak_dots = 0;
  bool dots_one_a_call = true;
  std::vector<int> line_numbers;      // in the order they were made
  std::vector<int> line_frames;       // step-3 frames at their making
  int body_frame_at_b = -1;           // object 0's frame when picture B came
  int step5_frame_at_c = -1;          // frames into step 5 when picture C came
  std::map<int, int> shake;           // step-5 frame -> the entry's x
  std::vector<std::pair<uint32_t, int>> damage;  // (unit step, frames into it) per DamageMember
  bool layer_big = false;             // layer 4 was 640 x 2048 after step 0
  std::map<int, uint16_t> band_pixel;  // band -> pixel read after step 0
  int layer_width_after = 0, layer_height_after = 0;
  int small_bomb2_frame = -1;         // step-7 frame at its making
  std::vector<int> picture_widths;    // A, B, C after step 0 (0: not cut)
  std::set<int> bomb_priorities;      // of every effect 3 seen
  int expected_bomb_priority = 0;     // the first target's depth - 10, else the attacker's
};

Timeline PlayTimeline(AttackCase row, int refuse_frames = 0) {
  AttackRig r(row);
  testsupport::TraceCapture trace;
  r.Start();
  Timeline out;
  const BriseSpecial& w = BriseAttackWork().special;
  int last_dots = 0;
  uint32_t step = 0;
  int8_t shown = -1;
  int damage_seen = 0;
  int refused_left = refuse_frames;
  bool refusing = false;
  std::set<std::string> seen_lines;
  out.failures = PlayToEnd(r, row, [&] {
    const SlgUnit& u = r.attacker();
    if (u.state != 6) return;
    if (u.step != step) {
      step = u.step;
      if (step >= 1 && !out.layer_big) {
        const LayerRec* layer = Ctx().ddraw.GetLayer(SURFACE_ROOT);
        out.layer_big = layer->surface_width == 640 && layer->surface_height == 2048;
        const platform::Surface* s = Ctx().ddraw.GetSurface(SURFACE_ROOT);
        for (int band : {0, 128, 255}) out.band_pixel[band] = s->Row(band * 8 + 3)[100];
        for (const SprRec* p : w.pictures) out.picture_widths.push_back(p != nullptr ? p->width : 0);
      }
    }
    const int f = TimelineFrames(w.clock.start);
    if (w.dot_count - last_dots > 1) out.dots_one_a_call = false;
    last_dots = w.dot_count;
    out.peak_dots = std::max(out.peak_dots, w.dot_count);
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (step == 3 && name.rfind("Brise::line", 0) == 0 && seen_lines.insert(name).second) {
        out.line_numbers.push_back(std::stoi(name.substr(11)));
        out.line_frames.push_back(f);
      }
      if (name == "Brise::SmallBomb2" && out.small_bomb2_frame < 0) out.small_bomb2_frame = f;
    }
    if (w.shown != shown) {
      shown = w.shown;
      if (shown == 1) {
        const std::vector<EffectAnim> body = OfAnm(EffectAnims(kKind, kAnmSpecialBody), 0);
        out.body_frame_at_b = body.empty() ? 9999 : body[0].frame;
      }
      if (shown == 2) out.step5_frame_at_c = f;
    }
    if (step == 5 && w.entry != nullptr) {
      int x = 0, y = 0;
      Ctx().ddraw_spr.GetBufferPos(w.entry, &x, &y);
      out.shake[f] = x;
    }
    for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmSpecialEffect), 3)) {
      out.bomb_priorities.insert(a.priority);
    }
    const BattleContext& b = Battle();
    const SlgUnit* first = b.target_count > 0 && b.targets[0] >= 0
                               ? &b.state.units[static_cast<size_t>(b.targets[0])]
                               : &u;
    if (first->anm != nullptr) out.expected_bomb_priority = SlgPriority(first->anm->depth - 10);
    const int damage = trace.Count("DamageMember");
    for (; damage_seen < damage; ++damage_seen) out.damage.emplace_back(step, f);
    // The small bomb 2 refused for its first frames at step 7.
    if (step == 7 && f >= 35 && refused_left > 0 && !refusing) {
      refusing = true;
      Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
    }
    if (refusing && --refused_left == 0) Battle().alloc.refuse = nullptr;
  });
  const LayerRec* layer = Ctx().ddraw.GetLayer(SURFACE_ROOT);
  out.layer_width_after = layer->surface_width;
  out.layer_height_after = layer->surface_height;
  return out;
}

TEST(BriseSpecial, TimelineOfDotsLinesPicturesShakeAndBombs) {
  const Timeline t = PlayTimeline(Row(1, 1, AttackLayout::kThree, "timeline"));
  EXPECT_TRUE(t.failures.empty()) << testing::PrintToString(t.failures);
  EXPECT_TRUE(t.dots_one_a_call);
  EXPECT_GT(t.peak_dots, 60);
  EXPECT_LE(t.peak_dots, kBriseDots);
  // Lines numbered by frames / 4 of step 3.
  ASSERT_FALSE(t.line_numbers.empty());
  for (size_t i = 0; i < t.line_numbers.size(); ++i) {
    EXPECT_EQ(t.line_numbers[i], t.line_frames[i] / 4) << "line " << i;
  }
  // Picture B at object 0's frame 69, C 6 frames into step 5.
  EXPECT_GE(t.body_frame_at_b, 69);
  EXPECT_LE(t.body_frame_at_b, 71);
  EXPECT_EQ(t.step5_frame_at_c, 6);
  // The entry's x by the shake table.
  for (const auto& [frame, x] : std::map<int, int>{{0, -32}, {12, -24}, {13, 24}, {31, 0}}) {
    ASSERT_TRUE(t.shake.count(frame)) << "frame " << frame;
    EXPECT_EQ(t.shake.at(frame), x) << "frame " << frame;
  }
  // Four damage lists: steps 5 and 7, at 15, 20, 30 and 40 frames (a bomb made in a frame starts
  // in it or the next).
  ASSERT_GE(t.damage.size(), 4u);
  const std::pair<uint32_t, int> due[] = {{5, 15}, {5, 20}, {7, 30}, {7, 40}};
  for (size_t i = 0; i < 4; ++i) {
    const auto& [step, frame] = t.damage[t.damage.size() - 4 + i];
    EXPECT_EQ(step, due[i].first) << "bomb " << i;
    EXPECT_GE(frame, due[i].second) << "bomb " << i;
    EXPECT_LE(frame, due[i].second + 1) << "bomb " << i;
  }
  // The cuts of a 1952-wide picture: A 640, B and C 704 each.
  EXPECT_EQ(t.picture_widths, (std::vector<int>{640, 704, 704}));
  // The gradient, and layer 4 back at the screen's size after.
  EXPECT_TRUE(t.layer_big);
  for (const auto& [band, pixel] : t.band_pixel) {
    EXPECT_EQ(pixel, platform::PackColorRef(BriseBandColour(band), platform::PixelLayout::kRgb565))
        << "band " << band;
  }
  EXPECT_EQ(t.layer_width_after, 640);
  EXPECT_EQ(t.layer_height_after, 480);
  EXPECT_EQ(t.bomb_priorities, std::set<int>{t.expected_bomb_priority});
}

TEST(BriseSpecial, GradientInRgb555WithNoTarget) {
  AttackCase row = Row(1, 0, AttackLayout::kNone, "gradient555");
  row.pixels = platform::PixelLayout::kRgb555;
  const Timeline t = PlayTimeline(row);
  EXPECT_TRUE(t.failures.empty()) << testing::PrintToString(t.failures);
  // No target: the bombs stand at the attacker's depth - 10.
  EXPECT_EQ(t.bomb_priorities, std::set<int>{t.expected_bomb_priority});
  ASSERT_TRUE(t.layer_big);
  for (const auto& [band, pixel] : t.band_pixel) {
    EXPECT_EQ(pixel, platform::PackColorRef(BriseBandColour(band), platform::PixelLayout::kRgb555))
        << "band " << band;
  }
}

TEST(BriseSpecial, ShortBodyNarrowPictureAndARefusedSmallBomb) {
  // A 20-frame body: frames 23 and 69 count as reached once it has ended. A 640-wide picture:
  // A whole, B narrowed to the 32 columns left, no C; nothing is read outside it.
  const Timeline short_body = PlayTimeline(Row(1, 1, AttackLayout::kFront, "short", 20, 640));
  EXPECT_TRUE(short_body.failures.empty()) << testing::PrintToString(short_body.failures);
  EXPECT_EQ(short_body.picture_widths, (std::vector<int>{640, 32, 0}));
  EXPECT_LE(short_body.body_frame_at_b, 20) << "the ended body counts as past frame 69";
  // The small bomb 2 refused for 10 frames, then made; the attack waits for it.
  const Timeline refused = PlayTimeline(Row(1, 2, AttackLayout::kFront, "refused"), 15);
  EXPECT_TRUE(refused.failures.empty()) << testing::PrintToString(refused.failures);
  EXPECT_GE(refused.small_bomb2_frame, 50);
  EXPECT_EQ(refused.damage.size() >= 4 ? refused.damage.back().first : 0u, 7u);
}

}  // namespace
