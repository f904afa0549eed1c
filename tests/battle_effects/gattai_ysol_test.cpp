// YSOL's part of the combination attack on the attack rig: the cards crossing and swinging in,
// each reporting at its own full turn, their sparks, the pictures, the ring and its objects, the
// white-out, the ends and both roads.

#include "battle_effects/gattai_ysol.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

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
constexpr int kKind = 4;

void Sets(AttackFixtures& f) { gattai_play::LayPartSets(f, {{640, 480}, {640, 480}}); }

AttackCase Row() {
  return gattai_play::PartRow("gattai_ysol", kKind, 4, &Sets, 2000, {"Gattai::", "Gattai:Ysolu:"});
}

struct Seen {
  SlgPair card[2]{};
  int card_state[2] = {-1, -1};
  int angle[2] = {-1, -1};
  int32_t ring_zoom = -1;
  int32_t spark_zoom_min = 0x7FFFFFFF;
};
using Sample = gattai_play::Sample<Seen>;
struct Record : gattai_play::Play<Seen> {
  std::map<std::string, int32_t> spark_zoom;  // a body-A spark's last zoom
};

Record Play(const AttackCase& row) {
  Record rec;
  static_cast<gattai_play::Play<Seen>&>(rec) = gattai_play::PlayRoutine<Seen>(
      row, "Gattai::Ysolu", "Gattai::Ysolu::Window",
      [&rec](AttackRig&, const std::string& name, EffectWork& w, Sample& s) {
        for (int i = 0; i < 2; ++i) {
          if (name == (i == 0 ? "Gattai::Ysolu::Card:Ysolu" : "Gattai::Ysolu::Card:Kadrun")) {
            s.x.card[i] = w.pos;
            s.x.card_state[i] = w.state;
            s.x.angle[i] = w.angle;
          }
        }
        if (name == "Gattai::Ysolu:Wakka") s.x.ring_zoom = w.zoom;
        if (name.rfind("Gattai:Ysolu:Effect", 0) == 0 && w.obj.handle != nullptr) {
          rec.spark_zoom[name] = w.zoom;
        }
      });
  return rec;
}

const Record& Played() {
  static const Record rec = Play(Row());
  return rec;
}

TEST(GattaiYsol, TurnsSparksAndTheRingByTheirFrames) {
  // A full turn is the angle wrapping in the card's own turning sense.
  struct Turn {
    bool forwards;
    int32_t before, after;
    bool full;
  };
  for (const Turn& c : {Turn{true, 496, 0, true}, Turn{true, 16, 32, false},
                        Turn{false, 0, 496, true}, Turn{false, 32, 16, false},
                        Turn{false, 16, 0, false}}) {
    EXPECT_EQ(YsolFullTurn(c.forwards, c.before, c.after), c.full)
        << c.forwards << " " << c.before << " " << c.after;
  }
  EXPECT_EQ(YsolSparkAAt(0).zoom, kPx);
  EXPECT_EQ(YsolSparkAAt(10).zoom, kPx - 13100);
  EXPECT_FALSE(YsolSparkAAt(49).ended);
  EXPECT_TRUE(YsolSparkAAt(50).ended);
  EXPECT_LT(YsolSparkAAt(50).zoom, 1310);
  EXPECT_EQ(YsolRingAt(30).zoom, 30 * 3276);
  EXPECT_FALSE(YsolRingAt(30).full);
  EXPECT_EQ(YsolRingAt(31).zoom, 0x18000);
  EXPECT_TRUE(YsolRingAt(31).full);
}

TEST(GattaiYsol, TheCardsCrossOneAfterTheOtherThenSwingInAndReportAtTheirOwnTurns) {
  const Record& r = Played();
  ASSERT_TRUE(r.failures.empty()) << Lines(r.failures);
  const int cross0 = r.First([](const Sample& s) { return s.x.card_state[0] == 1; });
  const int cross1 = r.First([](const Sample& s) { return s.x.card_state[1] == 1; });
  ASSERT_GE(cross0, 0);
  EXPECT_NEAR(cross1 - cross0, 150, 2);
  // The hero's card holds at its start while the heroine's crosses.
  for (const Sample& s : r.samples) {
    if (s.frame > cross0 && s.frame < cross1 - 1) {
      EXPECT_EQ(s.x.card[1].x, -576 * kPx);
    }
  }
  // Sparks every 4 frames while each crosses.
  const std::vector<int> sparks0 = r.Starts("Gattai:Ysolu:Effect:0:");
  ASSERT_GT(sparks0.size(), 30u);
  for (size_t i = 1; i < sparks0.size(); ++i) EXPECT_NEAR(sparks0[i] - sparks0[i - 1], 4, 1);
  EXPECT_LT(sparks0.back(), cross1);
  EXPECT_GE(r.Starts("Gattai:Ysolu:Effect:1:").front(), cross1);
  // Both swing in and stop at their points; each reports at its next full turn (the hero's
  // turning backwards too), within 32 frames of stopping.
  const int swing = r.First([](const Sample& s) { return s.x.card_state[0] == 2; });
  ASSERT_GE(swing, 0);
  EXPECT_EQ(r.First([](const Sample& s) { return s.x.card_state[1] == 2; }), swing);
  const SlgPair stops[2] = {{104 * kPx, 5 * kPx}, {-110 * kPx, -69 * kPx}};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const int stopped = r.First([&](const Sample& s) {
      return s.frame > swing && s.x.card[i].x == stops[i].x && s.x.card[i].y == stops[i].y;
    });
    EXPECT_NEAR(stopped - swing, 120, 2);
    const int done =
        r.First([&](const Sample& s) { return s.frame > swing && s.x.card_state[i] == 0; });
    EXPECT_GT(done - stopped, 1);
    EXPECT_LE(done - stopped, 34);
    EXPECT_EQ(r.samples[static_cast<size_t>(done - r.samples.front().frame)].x.angle[i], 0);
  }
  EXPECT_FALSE(r.Starts("Gattai:Ysolu:Effect2:0:").empty());
}

TEST(GattaiYsol, ThePictureFadesInTheCardsGoAndTheRingThrowsObjectsUntilTheWhiteOut) {
  const Record& r = Played();
  const int picture = r.At(3, 1);
  const int replaced = r.First([](const Sample& s) { return s.state == 4; });
  ASSERT_GE(picture, 0);
  EXPECT_NEAR(replaced - picture, 129, 2);
  // The cards end the frame after picture 1 replaced picture 0.
  EXPECT_NEAR(r.tasks.at("Gattai::Ysolu::Card:Ysolu").last, replaced, 1);
  EXPECT_NEAR(r.tasks.at("Gattai::Ysolu::Card:Kadrun").last, replaced, 1);
  // The ring full after 31 frames; objects every 4 frames from then; the white-out 90 later.
  const gattai_play::Life ring = r.tasks.at("Gattai::Ysolu:Wakka");
  const int full = r.First([](const Sample& s) { return s.x.ring_zoom == 0x18000; });
  EXPECT_NEAR(full - ring.first, 31, 1);
  const std::vector<int> objects = r.Starts("Gattai::Ysolu:MonoGen ");
  ASSERT_GT(objects.size(), 15u);
  EXPECT_NEAR(objects.front() - full, 5, 2);
  for (size_t i = 1; i < objects.size(); ++i) EXPECT_NEAR(objects[i] - objects[i - 1], 4, 1);
  EXPECT_NEAR(r.At(4, 3) - r.At(4, 2), 90, 1);
  // Body-A sparks shrink to nothing over 50 frames.
  int shrunk = 0;
  for (const auto& [name, zoom] : r.spark_zoom) {
    const gattai_play::Life life = r.tasks.at(name);
    if (zoom < 3 * 1310 && life.last - life.first >= 47) ++shrunk;
    EXPECT_LE(life.last - life.first, 51) << name;
  }
  EXPECT_GT(shrunk, 5);
  EXPECT_TRUE(r.signals_at_end);
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
}

TEST(GattaiYsol, AMissingSlotEndsAtOnceAndMissingPicturesLetItRunOn) {
  AttackCase row = Row();
  // The cards are made in the set-up, before the slots, and end with it.
  gattai_play::ExpectEndsAtOnceWithoutItsSlot(
      row, "Gattai::Ysolu", "Gattai::Ysolu::Window",
      {"Gattai::Ysolu::Card:Kadrun", "Gattai::Ysolu::Card:Ysolu"});

  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Pictures(kAnmGattaiBg, {});
  };
  const Record p = Play(row);
  EXPECT_TRUE(p.failures.empty()) << Lines(p.failures);
  EXPECT_GE(p.At(4, 3), 0);
  EXPECT_TRUE(p.signals_at_end);
}

// ---- Roads ----

AttackCase SmokeRow(testsupport::AttackRoad road) {
  AttackCase row = Row();
  row.road = road;
  row.routine = "GattaiAction";
  if (road == testsupport::AttackRoad::kAction) row.name += "_action";
  using testsupport::AttackProbe;
  // The heroine's card 44 frames into its crossing (about x 238), turned 704 steps: narrowed, over
  // the still of the map.
  row.checkpoints = {
      {.name = "turning_card",
       .event = "task+ Gattai:Ysolu:Effect:0:10",
       .probes = {AttackProbe{548, 228,
                              AttackFixtures::ColourRef(kKind, kAnmGattaiExtEffect, 1)}}},
  };
  return row;
}

TEST(GattaiYsolSmoke, ThroughTheCommand) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kBoard));
}

TEST(GattaiYsolSmoke, ThroughTheActionTask) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kAction));
}

}  // namespace
