// DAVONE's part of the combination attack on the attack rig: the scrolling backgrounds and where
// their entries stand, the figures with their ray fans, the arcs and arrivals, the accelerating
// scroll, the flower and its balls, the white-out, the ends and both roads.

#include "battle_effects/gattai_davone.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "battle/slg_tables.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/gattai_routine_play.h"

namespace {

using gattai_play::Lines;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int32_t kPx = 65536;
constexpr int kKind = 2;

void Sets(AttackFixtures& f) { gattai_play::LayPartSets(f, {{512, 480}, {640, 512}}); }

AttackCase Row() { return gattai_play::PartRow("gattai_davone", kKind, 2, &Sets); }

struct Seen {
  int32_t vel_b = 0;  // the tall scroll's speed
  int tall_y = 0x7FFFFFFF;  // its entry's row
  int32_t hana_zoom = -1;
  int32_t davone_x = 0, davone_y = 0, kadrun_x = 0, kadrun_y = 0;
  int layers_visible = 0;
};
using Sample = gattai_play::Sample<Seen>;
struct Record : gattai_play::Play<Seen> {
  std::map<std::string, std::pair<SlgPair, SlgPair>> rays;  // a ray's last position, velocity
};

Record Play(const AttackCase& row) {
  Record rec;
  static_cast<gattai_play::Play<Seen>&>(rec) = gattai_play::PlayRoutine<Seen>(
      row, "Gattai::Davone", "Gattai::Davone::Window",
      [&rec](AttackRig&, const std::string& name, EffectWork& w, Sample& s) {
        if (name.rfind("Gattai::Davone::Chara1:", 0) == 0 && name.back() >= '0' &&
            name.back() <= '9') {
          rec.rays[name] = {w.pos, w.vel};
        }
        if (name == "Gattai::Davone::Hana") s.x.hana_zoom = w.zoom;
        if (name == "Gattai::Davone::Chara2:Davone") {
          s.x.davone_x = w.pos.x;
          s.x.davone_y = w.pos.y;
        }
        if (name == "Gattai::Davone::Chara2:Kadrun") {
          s.x.kadrun_x = w.pos.x;
          s.x.kadrun_y = w.pos.y;
        }
      },
      [](AttackRig&, Sample& s) {
        const GattaiDavoneWork& b = GattaiDavoneBlock();
        s.x.vel_b = b.vel_b.y;
        if (b.entry_b != nullptr) s.x.tall_y = b.entry_b->y;
      });
  return rec;
}

const Record& Played() {
  static const Record rec = Play(Row());
  return rec;
}

TEST(GattaiDavone, EntriesWrapIntoOneTileKeepingTheSign) {
  struct Case {
    int state;
    int32_t x, want;
  };
  for (const Case& c : {Case{0, -1, -1}, Case{0, -512, 0}, Case{0, -513, -1}, Case{0, -1040, -16},
                        Case{1, -1, -1}, Case{1, -512, 0}, Case{1, -513, -1}, Case{1, 5, -507},
                        Case{1, 512, 0}}) {
    EXPECT_EQ(DavoneWideX(c.state, c.x), c.want) << c.state << " " << c.x;
  }
  for (const auto& [y, want] : {std::pair{0, 0}, {16, -496}, {512, 0}, {528, -496}, {-1, -1}}) {
    EXPECT_EQ(DavoneTallY(y * kPx), want) << y;
  }
}

TEST(GattaiDavone, TheFiguresComeAndGoWithTheirFansOfRays) {
  const Record& r = Played();
  ASSERT_TRUE(r.failures.empty()) << Lines(r.failures);
  // The heroine 15 frames into state 0, told to end 150 frames later; the hero at once after,
  // 144 frames.
  const int start = r.At(0, 1);
  const gattai_play::Life davone = r.tasks.at("Gattai::Davone::Chara1:Davone");
  const gattai_play::Life kadrun = r.tasks.at("Gattai::Davone::Chara1:Kadrun");
  EXPECT_NEAR(davone.first - start, 15, 1);
  EXPECT_NEAR(davone.last - davone.first + 1, 150, 2);
  EXPECT_NEAR(kadrun.first - davone.last, 1, 1);
  EXPECT_NEAR(kadrun.last - kadrun.first + 1, 144, 2);
  for (const char* fan : {"Gattai::Davone::Chara1:Davone", "Gattai::Davone::Chara1:Kadrun"}) {
    SCOPED_TRACE(fan);
    // 33 rays (0-32) besides the figure, each gone by itself within 60 frames (12 px a frame
    // from inside the box to its edge), long before the figure.
    const std::vector<std::string> rays = r.Named(fan);
    ASSERT_EQ(rays.size(), 34u);
    EXPECT_EQ(r.tasks.count(std::string(fan) + "32"), 1u);
    for (int i = 0; i <= 32; ++i) {
      const gattai_play::Life ray = r.tasks.at(std::string(fan) + std::to_string(i));
      EXPECT_LE(ray.last - ray.first + 1, 60) << i;
      EXPECT_EQ(ray.first, r.tasks.at(fan).first);
      // Last seen inside the box and within two steps of its edge (a rig frame may count two):
      // it ended on leaving the box, not before.
      const auto& [pos, vel] = r.rays.at(std::string(fan) + std::to_string(i));
      const auto outside = [](int32_t x, int32_t y) {
        return (x >> 16) < -384 || (x >> 16) > 384 || (y >> 16) < -240 || (y >> 16) > 240;
      };
      EXPECT_FALSE(outside(pos.x, pos.y)) << i;
      EXPECT_TRUE(outside(pos.x + 2 * vel.x, pos.y + 2 * vel.y)) << i;
    }
  }
}

TEST(GattaiDavone, ArcsMeetTwiceThenTheScrollSpeedsUpAndFlowersRise) {
  const Record& r = Played();
  // The heroine's arc: at (0, -192) on her 39th frame, where the hero's starts; his jump to
  // (-32, -192) on his 42nd.
  const gattai_play::Life davone = r.tasks.at("Gattai::Davone::Chara2:Davone");
  const gattai_play::Life kadrun = r.tasks.at("Gattai::Davone::Chara2:Kadrun");
  const int met = r.First([](const Sample& s) {
    return s.state == 2 && s.x.davone_x == 0 && s.x.davone_y == -192 * kPx;
  });
  EXPECT_NEAR(met - davone.first, 39, 1);
  EXPECT_NEAR(kadrun.first, met, 1);
  const int met2 = r.First([](const Sample& s) {
    return s.x.kadrun_x == -32 * kPx && s.x.kadrun_y == -192 * kPx;
  });
  EXPECT_NEAR(met2 - kadrun.first, 42, 1);
  // State 3 on the second arrival.
  const int state3 = r.First([](const Sample& s) { return s.state == 3; });
  EXPECT_NEAR(state3 - met2, 1, 1);
  // Both slide to x -16 and arrive again 16 + 108 frames later; the scroll, 16 px a frame until
  // then, speeds up by 0.5 a frame to 48.
  const int faster = r.At(3, 2);
  EXPECT_NEAR(faster - state3, 124, 2);
  EXPECT_EQ(r.Last([](const Sample& s) { return s.x.davone_x == -16 * kPx; }) >= faster, true);
  for (const Sample& s : r.samples) {
    if ((s.state == 2 && s.sub == 1) || (s.state == 3 && s.frame < faster)) {
      EXPECT_EQ(s.x.vel_b, 16 * kPx);
    }
  }
  int32_t previous = 16 * kPx;
  int steps = 0;
  for (const Sample& s : r.samples) {
    if (s.frame <= faster || s.state < 0) continue;
    EXPECT_GE(s.x.vel_b, previous);
    EXPECT_LE(s.x.vel_b - previous, kPx);  // 0.5 a frame; a frame of 33 ms counts 2
    if (s.x.vel_b > previous) ++steps;
    previous = s.x.vel_b;
  }
  EXPECT_EQ(previous, 48 * kPx);
  EXPECT_GT(steps, 30);
  // The tall background's entry stays within one tile above the screen's top.
  for (const Sample& s : r.samples) {
    if (s.state >= 2 && s.x.tall_y != 0x7FFFFFFF) {
      EXPECT_GT(s.x.tall_y, -512);
      EXPECT_LE(s.x.tall_y, 0);
    }
  }
  // Flowers every 2 frames through sub-states 2 and 3, until sub-state 3's frame 213.
  const std::vector<int> flowers = r.Starts("Gattai::Davone:HanaAndHa");
  ASSERT_GT(flowers.size(), 100u);
  for (size_t i = 1; i < flowers.size(); ++i) EXPECT_NEAR(flowers[i] - flowers[i - 1], 2, 1);
  const int state4 = r.First([](const Sample& s) { return s.state == 4; });
  EXPECT_NEAR(state4 - r.At(3, 3), 213, 1);
  EXPECT_LE(flowers.back(), state4);
}

TEST(GattaiDavone, TheFlowerGrowsToTwoThenThrowsABallEachFrameUntilTheEnd) {
  const Record& r = Played();
  const int born = r.First([](const Sample& s) { return s.x.hana_zoom >= 0; });
  const int full = r.First([](const Sample& s) { return s.x.hana_zoom == 2 * kPx; });
  ASSERT_GE(born, 0);
  EXPECT_NEAR(full - born, 21, 1);
  const std::vector<int> balls = r.Starts("Gattai::Davone:Tama");
  ASSERT_FALSE(balls.empty());
  EXPECT_NEAR(balls.front(), full, 1);
  const int end = r.Last([](const Sample& s) { return s.state >= 0; });
  EXPECT_NEAR(static_cast<int>(balls.size()), end - full, 3);
  for (size_t i = 1; i < balls.size(); ++i) EXPECT_NEAR(balls[i] - balls[i - 1], 1, 1);
  // The white-out from the flower's frame 60, 64 frames (its end read a frame or two late), then
  // the frame's three closing steps; both signals and nothing left.
  EXPECT_NEAR(r.At(4, 2) - born, 60, 1);
  EXPECT_GE(end - r.At(4, 2), 64 + 3);
  EXPECT_LE(end - r.At(4, 2), 66 + 3);
  EXPECT_TRUE(r.signals_at_end);
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
}

TEST(GattaiDavone, AMissingSlotEndsAtOnceAndMissingPicturesShowNothing) {
  // The rig's end check compares the layers (shown again) and the sprite entries.
  AttackCase row = Row();
  gattai_play::ExpectEndsAtOnceWithoutItsSlot(row, "Gattai::Davone", "Gattai::Davone::Window");

  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Pictures(kAnmGattaiBg, {});
  };
  const Record p = Play(row);
  EXPECT_TRUE(p.failures.empty()) << Lines(p.failures);
  EXPECT_GE(p.At(4, 2), 0);
  EXPECT_EQ(p.Last([](const Sample& s) { return s.x.tall_y != 0x7FFFFFFF; }), -1);
}

// ---- Roads ----

AttackCase SmokeRow(testsupport::AttackRoad road) {
  AttackCase row = Row();
  row.road = road;
  row.routine = "GattaiAction";
  if (road == testsupport::AttackRoad::kAction) row.name += "_action";
  using testsupport::AttackProbe;
  row.checkpoints = {
      {.name = "wide_background",
       .event = "task+ Gattai::Davone::Chara1:Davone32",
       .probes = {AttackProbe{600, 300, AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 0)}}},
      {.name = "tall_background",
       .event = "task+ Gattai::Davone::Chara2:Kadrun",
       .probes = {AttackProbe{600, 300, AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 1)}}},
      // The flower's frame 32: turned a whole round, 2.0, hanging above (312, 214).
      {.name = "flower",
       .event = "task+ Gattai::Davone:Tama11",
       .probes = {AttackProbe{314, 204,
                              AttackFixtures::ColourRef(kKind, kAnmGattaiExtEffect, 2)}}},
  };
  return row;
}

TEST(GattaiDavoneSmoke, ThroughTheCommand) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kBoard));
}

TEST(GattaiDavoneSmoke, ThroughTheActionTask) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kAction));
}

}  // namespace
