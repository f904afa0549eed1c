// TAMVIK's part of the combination attack on the attack rig: the cut-ins, after-images and lines,
// the swinging figures, the fire ball with its balls and petal spirals, the white-out, the ends
// (a missing slot, missing pictures) and both roads.

#include "battle_effects/gattai_tamvik.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"
#include "tests/battle_effects/gattai_routine_play.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int32_t kPx = 65536;
constexpr int kKind = 1;
constexpr int kHeroW = 300, kHeroH = 200;
constexpr int kHeroineW = 256, kHeroineH = 160;

// GATTAI_BODY and GATTAI_EFFECT for the driver; slot 13 with animations 0-12; GATTAI_BG the two
// cut-ins.
void Sets(AttackFixtures& f) { gattai_play::LayPartSets(f, {{kHeroW, kHeroH}, {kHeroineW, kHeroineH}}); }

AttackCase Row(int character) {
  return gattai_play::PartRow("gattai_tamvik" + std::to_string(character), kKind, character, &Sets);
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// What the tests read besides the routine's state: the cut-in, the fire ball's zoom.
struct Seen {
  bool cut = false;
  int cut_x = 0;
  int32_t fire_zoom = -1;
};
using Sample = gattai_play::Sample<Seen>;
struct Record : gattai_play::Play<Seen> {
  std::map<std::string, std::set<uint32_t>> blends;  // an after-image's blend words
  std::map<std::string, SlgPair> starts;             // a ball: where it started
  std::map<std::string, int32_t> figure_x;           // a figure: its last x
  int pale_blue_probes = 0, probes = 0;               // vertical-line entries on the screen
};

Record Play(const AttackCase& row) {
  Record rec;
  static_cast<gattai_play::Play<Seen>&>(rec) = gattai_play::PlayRoutine<Seen>(
      row, "Gattai::Tamvik", "Gattai::Tamvik::Window",
      [&](AttackRig& r, const std::string& name, EffectWork& w, Sample& s) {
        if (name.find("Zanzou") != std::string::npos) {
          rec.blends[name].insert(SlgSprGetAlpha(&w.obj));
        }
        if (StartsWith(name, "Gattai::Tamvik::Tama") && rec.starts.count(name) == 0) {
          rec.starts[name] = w.start;
        }
        if (StartsWith(name, "Gattai::Tamvik::Furari")) rec.figure_x[name] = w.pos.x;
        if (name == "Gattai::Tamvik::Hinotama") s.x.fire_zoom = w.zoom;
        if (StartsWith(name, "Gattai::Tamvik::TateLine") && w.anm == 0) {
          // The line's entry: 2 px wide from (x + 320, y + 320); probed 40 rows down, between
          // the bars.
          const int x = (w.pos.x >> 16) + 320, y = (w.pos.y >> 16) + 320 + 40;
          if (x >= 0 && x < 640 && y > 80 && y < 400) {
            ++rec.probes;
            if (r.rig().PixelAt(x, y) == r.rig().Shown(0x00FFBFBF)) ++rec.pale_blue_probes;
          }
        }
      },
      [](AttackRig&, Sample& s) {
        const GattaiTamvikWork& b = GattaiTamvikBlock();
        s.x.cut = b.cut_entry != nullptr;
        s.x.cut_x = b.cut_x;
      });
  return rec;
}

using gattai_play::Lines;

// One full play, shared by the tests that read it.
const Record& Played() {
  static const Record rec = Play(Row(0));
  return rec;
}

bool At(const Sample& s, int state, int sub) { return s.state == state && s.sub == sub; }

TEST(GattaiTamvik, TheCutInsSlideInHoldAndGo) {
  const Record& r = Played();
  ASSERT_TRUE(r.failures.empty()) << Lines(r.failures);
  // The hero's: from x 640 at 16 px a frame, at x 0 on its 40th frame, 88 frames held.
  const int slide = r.First([](const Sample& s) { return At(s, 0, 1); });
  ASSERT_GE(slide, 0);
  const int arrived = r.First([](const Sample& s) { return At(s, 0, 2) && s.x.cut_x == 0; });
  EXPECT_NEAR(arrived - slide, 40, 1);
  // Held 88 frames on the sub-state's clock, removed on the next call.
  const int held = r.First([](const Sample& s) { return At(s, 0, 3); });
  EXPECT_NEAR(held - arrived, 88, 1);
  const int gone = r.First([](const Sample& s) { return s.state == 1; });
  EXPECT_EQ(gone, held + 1);
  EXPECT_EQ(r.Last([](const Sample& s) { return s.state == 0 && s.x.cut; }), held);
  // The heroine's: from -256 to 352 at 16 px a frame (38 frames), 105 held.
  const int slide1 = r.First([](const Sample& s) { return At(s, 1, 1); });
  const int at352 = r.First([](const Sample& s) { return s.state == 1 && s.x.cut_x == 352; });
  EXPECT_NEAR(at352 - slide1, (352 + kHeroineW) / 16, 1);
  const int held1 = r.First([](const Sample& s) { return At(s, 1, 3); });
  EXPECT_NEAR(held1 - at352, 105, 1);
  for (const Sample& s : r.samples) {
    if (s.state == 1 && s.sub == 1) {
      EXPECT_EQ((s.x.cut_x + kHeroineW) % 16, 0) << "16 px a frame from -width, at " << s.frame;
    }
  }
}

TEST(GattaiTamvik, AfterImagesEveryFourFramesFadeInThreeStepsAndLastTwentyThree) {
  const Record& r = Played();
  for (const char* who : {"Gattai::Tamvik:KadrunZanzou", "Gattai::Tamvik:TamvikZanzou"}) {
    SCOPED_TRACE(who);
    const std::vector<int> starts = r.Starts(who);
    ASSERT_GE(starts.size(), 9u);
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_NEAR(starts[i] - starts[i - 1], 4, 1);
    for (const std::string& name : r.Named(who)) {
      const gattai_play::Life& life = r.tasks.at(name);
      EXPECT_NEAR(life.last - life.first + 1, 23, 1) << name;
      EXPECT_EQ(r.blends.at(name),
                (std::set<uint32_t>{0x20000 + 256, 0x20000 + 170, 0x20000 + 85}))
          << name;
    }
  }
  // Ten of the hero (frames 4-40 of his slide), numbered from 0.
  EXPECT_EQ(r.Named("Gattai::Tamvik:KadrunZanzou").size(), 10u);
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik:KadrunZanzou0"), 1u);
}

TEST(GattaiTamvik, LinesEveryEightFramesThroughTheCutInsAndVerticalLinesEveryFourInState2) {
  const Record& r = Played();
  std::vector<int> lines = r.Starts("Gattai::Tamvik::KadrunYokoLine");
  const std::vector<int> heroine = r.Starts("Gattai::Tamvik::TamvikYokoLine");
  ASSERT_FALSE(lines.empty());
  ASSERT_FALSE(heroine.empty());
  lines.insert(lines.end(), heroine.begin(), heroine.end());
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_NEAR(lines[i] - lines[i - 1], 8, 1) << i;
  // The running number goes on from the hero's lines to the heroine's.
  const size_t hero_count = lines.size() - heroine.size();
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik::TamvikYokoLine" + std::to_string(hero_count)), 1u);
  const int state1 = r.First([](const Sample& s) { return s.state == 1; });
  EXPECT_LT(lines[hero_count - 1], state1);
  EXPECT_GE(heroine.front(), state1);

  const std::vector<int> tate = r.Starts("Gattai::Tamvik::TateLine");
  const int state2 = r.First([](const Sample& s) { return s.state == 2; });
  const int state3 = r.First([](const Sample& s) { return s.state == 3; });
  ASSERT_GT(tate.size(), 60u);
  for (size_t i = 1; i < tate.size(); ++i) EXPECT_NEAR(tate[i] - tate[i - 1], 4, 1);
  EXPECT_GE(tate.front(), state2);
  EXPECT_LT(tate.back(), state3);
  // The line entries are pale blue where nothing stands in front.
  ASSERT_GT(r.probes, 10);
  EXPECT_GT(r.pale_blue_probes * 10, r.probes * 8) << r.pale_blue_probes << " of " << r.probes;
}

TEST(GattaiTamvik, FiguresSwingStopAndSwapDepthsAndState3Follows280FramesLater) {
  // Pure: both turn back after 48 frames, swap depths as the speed changes sign, and stop at x -16
  // and -160 on frame 66.
  for (int index : {0, 1}) {
    SCOPED_TRACE(index);
    const int16_t before = index == 0 ? -1103 : -1102;
    const int16_t after = index == 0 ? -1102 : -1103;
    EXPECT_EQ(TamvikFigureAt(index, 48).depth, before);
    EXPECT_EQ(TamvikFigureAt(index, 49).depth, after);
    EXPECT_FALSE(TamvikFigureAt(index, 65).stopped);
    const TamvikFigure end = TamvikFigureAt(index, 66);
    EXPECT_TRUE(end.stopped);
    EXPECT_EQ(end.x, (index == 0 ? -16 : -160) * kPx);
    EXPECT_EQ(TamvikFigureAt(index, 500).x, end.x);
  }
  const Record& r = Played();
  EXPECT_EQ(r.figure_x.at("Gattai::Tamvik::Furari0"), -16 * kPx);
  EXPECT_EQ(r.figure_x.at("Gattai::Tamvik::Furari1"), -160 * kPx);
  const int state2 = r.First([](const Sample& s) { return s.state == 2; });
  const int state3 = r.First([](const Sample& s) { return s.state == 3; });
  EXPECT_NEAR(state3 - state2, 280, 1);
}

TEST(GattaiTamvik, BallsFromEveryEdgeReachTheFireBallWithinThirtyFrames) {
  // Pure, over starts along all four edges.
  int worst = 0;
  for (int c = -320; c < 320; c += 8) {
    for (const SlgPair start : {SlgPair{c * kPx, -426 * kPx}, SlgPair{c * kPx, 214 * kPx},
                                SlgPair{-336 * kPx, (c * 3 / 4) * kPx},
                                SlgPair{336 * kPx, (c * 3 / 4) * kPx}}) {
      const TamvikBall b = TamvikBallAt(start, 200);
      EXPECT_TRUE(b.arrived) << (start.x >> 16) << "," << (start.y >> 16);
      worst = std::max(worst, b.steps);
    }
  }
  EXPECT_LE(worst, 30);
  // In the attack: 63 balls (fire-ball frames 2, 4 ... 126), each from its edge to the box.
  const Record& r = Played();
  const std::vector<std::string> balls = r.Named("Gattai::Tamvik::Tama");
  EXPECT_EQ(balls.size(), 63u);
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik::Tama1"), 1u);
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik::Tama63"), 1u);
  std::set<int> edges;
  for (const std::string& name : balls) {
    const gattai_play::Life& life = r.tasks.at(name);
    const SlgPair start = r.starts.at(name);
    const TamvikBall b = TamvikBallAt(start, 200);
    EXPECT_TRUE(b.arrived) << name;
    EXPECT_NEAR(life.last - life.first + 1, b.steps, 1) << name;
    const int x = start.x >> 16, y = start.y >> 16;
    edges.insert(y == -426 ? 0 : y == 214 ? 1 : x == -336 ? 2 : x == 336 ? 3 : -1);
  }
  EXPECT_EQ(edges, (std::set<int>{0, 1, 2, 3}));
  const std::vector<int> starts = r.Starts("Gattai::Tamvik::Tama");
  for (size_t i = 1; i < starts.size(); ++i) EXPECT_NEAR(starts[i] - starts[i - 1], 2, 1);
}

TEST(GattaiTamvik, TheFireBallGrowsThenSpiralsRaiseTheSubStateAndTheWhiteOutEndsIt) {
  const Record& r = Played();
  const int born = r.First([](const Sample& s) { return s.x.fire_zoom >= 0; });
  const int full = r.First([](const Sample& s) { return s.x.fire_zoom == kPx; });
  ASSERT_GE(born, 0);
  EXPECT_NEAR(full - born, 10, 1);  // 0.1, 0.2 ... 1.0: 11 frames
  for (const Sample& s : r.samples) {
    if (s.x.fire_zoom >= 0 && s.frame < full) {
      EXPECT_EQ(s.x.fire_zoom % 6553, 0);
    }
  }
  // The first spiral: petals every 4 frames; the routine's sub-state raised on its frame 61.
  // The second spiral's names are "...TamvikFubuki2" and a number from 1; the first spiral's run
  // from "...TamvikFubuki1" to "...TamvikFubuki15".
  const std::string second = "Gattai::Tamvik::TamvikFubuki2";
  std::vector<int> petals, petals2;
  for (const std::string& name : r.Named("Gattai::Tamvik::TamvikFubuki")) {
    (StartsWith(name, second) && name.size() > second.size() ? petals2 : petals)
        .push_back(r.tasks.at(name).first);
  }
  std::sort(petals.begin(), petals.end());
  std::sort(petals2.begin(), petals2.end());
  ASSERT_EQ(petals.size(), 15u);
  ASSERT_FALSE(petals2.empty());
  for (size_t i = 1; i < petals.size(); ++i) EXPECT_NEAR(petals[i] - petals[i - 1], 4, 1);
  const int spiral = r.tasks.at("Gattai::Tamvik::TamvikFubuki1").first - 4;
  const int raised = r.First([](const Sample& s) { return At(s, 3, 2); });
  EXPECT_NEAR(raised - spiral, 61, 1);
  EXPECT_NEAR(petals2.front() - raised, 4, 1);
  // The white-out: 64 frames, then the routine ends with both signals and nothing of its family
  // outlives it (the letterbox slides out on its own).
  const int white = r.First([](const Sample& s) { return At(s, 4, 1); });
  const int faded = r.First([](const Sample& s) { return At(s, 4, 2); });
  // The fade runs from the frame after its start, and its end is read on the frame after that.
  EXPECT_GE(faded - white, 64);
  EXPECT_LE(faded - white, 66);
  EXPECT_TRUE(r.signals_at_end);
  ASSERT_FALSE(r.leaked.empty());
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
}

TEST(GattaiTamvik, AMissingSlotEndsAtOnceAndMissingPicturesShowNothing) {
  AttackCase row = Row(1);
  gattai_play::ExpectEndsAtOnceWithoutItsSlot(row, "Gattai::Tamvik", "Gattai::Tamvik::Window");

  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Pictures(kAnmGattaiBg, {});
  };
  const Record p = Play(row);
  EXPECT_TRUE(p.failures.empty()) << Lines(p.failures);
  EXPECT_GE(p.First([](const Sample& s) { return s.state == 4; }), 0);
  EXPECT_EQ(p.Last([](const Sample& s) { return s.x.cut; }), -1);
  EXPECT_GT(p.Named("Gattai::Tamvik:KadrunZanzou").size(), 0u);
}

// ---- Roads ----

AttackCase SmokeRow(int character, testsupport::AttackRoad road) {
  AttackCase row = Row(character);
  row.road = road;
  row.routine = "GattaiAction";
  if (road == testsupport::AttackRoad::kAction) row.name += "_action";
  using testsupport::AttackProbe;
  const uint32_t hero = AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 0);
  const uint32_t heroine = AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 1);
  const uint32_t fire = AttackFixtures::ColourRef(kKind, kAnmGattaiExtEffect, 9);
  row.checkpoints = {
      {.name = "hero_cut_in",
       .event = "task+ Gattai::Tamvik:KadrunZanzou9",
       .probes = {AttackProbe{kHeroW - 10, 416 - kHeroH / 2, hero}}},
      {.name = "heroine_cut_in",
       .event = "task+ Gattai::Tamvik:TamvikZanzou8",
       .probes = {AttackProbe{500, 416 - kHeroineH / 2, heroine}}},
      {.name = "fire_ball",
       .event = "task+ Gattai::Tamvik::TamvikFubuki10",
       .probes = {AttackProbe{316, 126, fire}}},
  };
  return row;
}

TEST(GattaiTamvikSmoke, TheHeroineAndHerOtherFormThroughTheCommand) {
  for (int character : {0, 1}) {
    testsupport::ExpectAttackCase(SmokeRow(character, testsupport::AttackRoad::kBoard));
  }
}

TEST(GattaiTamvikSmoke, ThroughTheActionTask) {
  for (int character : {0, 1}) {
    testsupport::ExpectAttackCase(SmokeRow(character, testsupport::AttackRoad::kAction));
  }
}

}  // namespace
