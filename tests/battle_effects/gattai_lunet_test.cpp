// LUNET's part of the combination attack on the attack rig: the snowflakes' draws and motion, the
// snow scene's flakes and fades, everything of it ending as the meeting starts, the meeting's
// drifting pictures and white-out, the ends and both roads.

#include "battle_effects/gattai_lunet.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/gattai_routine_play.h"

namespace {

using gattai_play::Lines;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int32_t kPx = 65536;
constexpr int kKind = 3;

void Sets(AttackFixtures& f) { gattai_play::LayPartSets(f, {{640, 480}, {224, 200}}); }

AttackCase Row() { return gattai_play::PartRow("gattai_lunet", kKind, 3, &Sets); }

bool FirstFlake(const std::string& name) {
  const std::string base = "Gattai::Lunet:Snow";
  return name.compare(0, base.size(), base) == 0 &&
         name.find(':', base.size()) == std::string::npos;
}

struct Seen {
  SlgPair kadrun2{};
  bool kadrun2_seen = false;
};
using Sample = gattai_play::Sample<Seen>;
struct Record : gattai_play::Play<Seen> {
  std::map<std::string, int32_t> flake_y0;  // pixels
  std::map<std::string, SlgPair> flake_last;
};

Record Play(const AttackCase& row) {
  Record rec;
  static_cast<gattai_play::Play<Seen>&>(rec) = gattai_play::PlayRoutine<Seen>(
      row, "Gattai::Lunet", "Gattai::Luent::Window",
      [&rec](AttackRig&, const std::string& name, EffectWork& w, Sample& s) {
        if (name.rfind("Gattai::Lunet:Snow", 0) == 0) {
          rec.flake_y0[name] = w.start.y;
          rec.flake_last[name] = w.pos;
        }
        if (name == "Gattai::Lunet:Kadrun2") {
          s.x.kadrun2 = w.pos;
          s.x.kadrun2_seen = true;
        }
      });
  return rec;
}

const Record& Played() {
  static const Record rec = Play(Row());
  return rec;
}

TEST(GattaiLunet, FlakesDrawTheirHeightSizeAndSway) {
  struct Case {
    int32_t r3, r4;
    bool first;
    int32_t y0;
    uint32_t anm;
    int32_t speed;
    int16_t depth;
  };
  for (const Case& c : {Case{0, 0, true, -176, 6, 4 * kPx, -1099},
                        Case{19, 1, true, 128, 5, 183500, -1098},
                        Case{26, 5, true, -80, 4, 157286, -1097},
                        Case{7, 3, false, -272, 6, 4 * kPx, -1099}}) {
    SCOPED_TRACE(c.r3);
    const LunetFlake f = LunetFlakeFrom(515, 700, c.r3, c.r4, c.first);
    EXPECT_EQ(f.phase0, 3);
    EXPECT_EQ(f.x0, 60 - 320);
    EXPECT_EQ(f.y0, c.y0);
    const LunetFlakeSize size = LunetFlakeSizeOf(f.size);
    EXPECT_EQ(size.anm, c.anm);
    EXPECT_EQ(size.depth, c.depth);
    // Falling at its speed, swaying 8 px on a phase turning 4 steps a frame.
    for (int32_t frames : {0, 10, 20}) {
      const LunetFlakePos p = LunetFlakeAt(f, frames);
      EXPECT_EQ(p.phase, 3 + 4 * frames);
      EXPECT_EQ(p.pos.y, f.y0 * kPx + size.speed * frames);
      EXPECT_EQ(p.pos.x, f.x0 * kPx + 32 * SlgSin(3 + 4 * frames));
    }
  }
  // Ended on reaching y 240, not before.
  const LunetFlake f = LunetFlakeFrom(0, 0, 0, 0, false);  // -272, 4 px a frame
  EXPECT_FALSE(LunetFlakeAt(f, 127).ended);
  EXPECT_TRUE(LunetFlakeAt(f, 128).ended);
  // The drift holds after 240 frames.
  const SlgPair start{-208 * kPx, -192 * kPx}, vel{-8738, -17476};
  const SlgPair held{start.x + 240 * vel.x, start.y + 240 * vel.y};
  EXPECT_EQ(LunetDrift(start, vel, 240).x, held.x);
  EXPECT_EQ(LunetDrift(start, vel, 400).y, held.y);
  EXPECT_EQ(LunetDrift(start, vel, 1).x, start.x + vel.x);
}

TEST(GattaiLunet, TheSnowSceneFallsFadesAndVanishesAsTheMeetingStarts) {
  const Record& r = Played();
  ASSERT_TRUE(r.failures.empty()) << Lines(r.failures);
  const int start = r.At(0, 1);
  ASSERT_GE(start, 0);
  // Thirty flakes at once at heights -176..128 on the 16-pixel grid, not all alike.
  std::set<int32_t> heights;
  int first = 0;
  for (const auto& [name, life] : r.tasks) {
    if (!FirstFlake(name)) continue;
    ++first;
    EXPECT_NEAR(life.first, start, 1) << name;
    const int32_t y0 = r.flake_y0.at(name);
    EXPECT_GE(y0, -176);
    EXPECT_LE(y0, 128);
    EXPECT_EQ(y0 % 16, 0);
    heights.insert(y0);
  }
  EXPECT_EQ(first, 30);
  EXPECT_GT(heights.size(), 3u);
  // Then one from above every 4 frames, numbered 0, 1, ...
  const std::vector<int> late = r.Starts("Gattai::Lunet:Snow2:");
  ASSERT_GT(late.size(), 40u);
  EXPECT_EQ(r.tasks.count("Gattai::Lunet:Snow2:0"), 1u);
  EXPECT_NEAR(r.tasks.at("Gattai::Lunet:Snow2:0").first - start, 4, 1);
  for (size_t i = 1; i < late.size(); ++i) EXPECT_NEAR(late[i] - late[i - 1], 4, 1);
  for (const std::string& name : r.Named("Gattai::Lunet:Snow2:")) {
    EXPECT_EQ(r.flake_y0.at(name), -272) << name;
  }
  // The fade-out at the state's frame 210; the meeting after it.
  EXPECT_NEAR(r.At(0, 3) - start, 210, 1);
  const int meeting = r.First([](const Sample& s) { return s.state == 1; });
  ASSERT_GT(meeting, r.At(0, 3));
  // Every task of the scene is gone by the frame after the meeting starts; a flake that ended
  // before was last seen above y 240 with its next step at or below it.
  for (const auto& [name, life] : r.tasks) {
    const bool scene = name.rfind("Gattai::Lunet:Snow", 0) == 0 ||
                       name.rfind("Gattai::Lunet::Kadrun1:", 0) == 0;
    if (!scene) continue;
    EXPECT_LE(life.last, meeting + 1) << name;
    if (life.last < meeting - 1 && name.rfind("Gattai::Lunet:Snow", 0) == 0) {
      EXPECT_LT(r.flake_last.at(name).y >> 16, 240) << name;
      EXPECT_GE((r.flake_last.at(name).y + 2 * 4 * kPx) >> 16, 240) << name;
    }
  }
  for (int i = 0; i < 3; ++i) {
    const std::string name = "Gattai::Lunet::Kadrun1:" + std::to_string(i);
    ASSERT_EQ(r.tasks.count(name), 1u);
    EXPECT_NEAR(r.tasks.at(name).first, start, 1);
    EXPECT_GE(r.tasks.at(name).last, meeting - 1);
  }
}

TEST(GattaiLunet, TheMeetingDriftsAndEndsInWhite) {
  const Record& r = Played();
  const gattai_play::Life hero = r.tasks.at("Gattai::Lunet:Kadrun2");
  ASSERT_EQ(r.tasks.count("Gattai::Lunet:Lunet2"), 1u);
  EXPECT_EQ(r.tasks.at("Gattai::Lunet:Lunet2").first, hero.first);
  const int meeting = r.At(1, 1);
  EXPECT_NEAR(hero.first, meeting, 1);
  // Moving on start + velocity x frames through the whole meeting (shorter than the 240 frames
  // after which it would hold): a step of the velocity each frame, never standing still.
  const SlgPair start{-208 * kPx, -192 * kPx}, vel{-8738, -17476};
  int32_t last_x = start.x + vel.x;
  int moving = 0;
  for (const Sample& s : r.samples) {
    if (!s.x.kadrun2_seen) continue;
    const int32_t frames = (start.x - s.x.kadrun2.x) / -vel.x;
    EXPECT_EQ(s.x.kadrun2.x, LunetDrift(start, vel, frames).x) << s.frame;
    EXPECT_EQ(s.x.kadrun2.y, LunetDrift(start, vel, frames).y) << s.frame;
    EXPECT_NEAR(frames, s.frame - hero.first, 1) << s.frame;
    EXPECT_LT(frames, 240);
    if (s.x.kadrun2.x < last_x) ++moving;
    last_x = s.x.kadrun2.x;
  }
  EXPECT_GT(moving, 150);
  // The white-out at the state's frame 150, 32 frames, then the frame's end with both signals.
  EXPECT_NEAR(r.At(1, 3) - meeting, 150, 1);
  const int end = r.Last([](const Sample& s) { return s.state >= 0; });
  EXPECT_GE(end - r.At(1, 3), 32);
  EXPECT_LE(end - r.At(1, 3), 34 + 3);
  EXPECT_LE(hero.last, end + 2);
  EXPECT_TRUE(r.signals_at_end);
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
}

TEST(GattaiLunet, AMissingSlotEndsAtOnceAndMissingPicturesLetItRunOn) {
  AttackCase row = Row();
  gattai_play::ExpectEndsAtOnceWithoutItsSlot(row, "Gattai::Lunet", "Gattai::Luent::Window");

  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Pictures(kAnmGattaiBg, {});
  };
  const Record p = Play(row);
  EXPECT_TRUE(p.failures.empty()) << Lines(p.failures);
  EXPECT_GE(p.At(1, 3), 0);
  EXPECT_TRUE(p.signals_at_end);
}

// ---- Roads ----

AttackCase SmokeRow(testsupport::AttackRoad road) {
  AttackCase row = Row();
  row.road = road;
  row.routine = "GattaiAction";
  if (road == testsupport::AttackRoad::kAction) row.name += "_action";
  using testsupport::AttackProbe;
  // In the snow, 20 late flakes on (about frame 84, the fade-in over): the hero's second picture
  // has drifted 21 px right of (-16, -48), its square standing above and right of that point.
  row.checkpoints = {
      {.name = "snow",
       .event = "task+ Gattai::Lunet:Snow2:20",
       .probes = {AttackProbe{328, 184, AttackFixtures::ColourRef(kKind, kAnmGattaiExtEffect, 1)}}},
  };
  return row;
}

TEST(GattaiLunetSmoke, ThroughTheCommand) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kBoard));
}

TEST(GattaiLunetSmoke, ThroughTheActionTask) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kAction));
}

}  // namespace
