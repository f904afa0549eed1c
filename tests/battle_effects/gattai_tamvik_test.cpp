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
void Sets(AttackFixtures& f) {
  f.Slot(kAnmGattaiBody, 2, {.frames = 8, .ticks = 2});
  f.Slot(kAnmGattaiEffect, 3, {.frames = 8, .ticks = 2});
  f.Slot(kAnmGattaiExtEffect, 13);
  f.Pictures(kAnmGattaiBg, {{kHeroW, kHeroH}, {kHeroineW, kHeroineH}});
}

AttackCase Row(int character) {
  AttackCase row{.name = "gattai_tamvik" + std::to_string(character), .kind = kKind, .type = 5,
                 .frame_limit = 1500, .outlive = 90,
                 .sounds = {"bgm-volume 50 200", "bgm-volume 100 128"},
                 .prefixes = {"Gattai::"}};
  row.fixtures = &Sets;
  row.before = [character](AttackRig& r) {
    r.attacker().character = static_cast<uint8_t>(character);
  };
  return row;
}

SlgEffectTask* TaskNamed(const std::string& name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
  return rec != nullptr ? static_cast<SlgEffectTask*>(rec->work) : nullptr;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// What one played attack showed, by rig frame.
struct Life {
  int first = -1, last = -1;
};
struct Sample {
  int frame;
  int state = -1, sub = -1;  // the routine's; -1 while it does not run
  bool cut = false;
  int cut_x = 0;
  int32_t fire_zoom = -1;
};
struct Record {
  std::map<std::string, Life> tasks;
  std::vector<Sample> samples;
  std::map<std::string, std::set<uint32_t>> blends;  // after-image: its blend words
  std::map<std::string, SlgPair> starts;             // a ball: where it started
  std::map<std::string, int32_t> figure_x;           // a figure: its last x
  int pale_blue_probes = 0, probes = 0;               // vertical-line entries on the screen
  bool signals_at_end = false;
  std::vector<std::string> leaked;  // the family's tasks a frame after the routine's end
  std::vector<std::string> failures;
};

// The first sample from `from` on that satisfies `pred`; -1 for none.
int FirstFrame(const Record& r, const std::function<bool(const Sample&)>& pred, int from = 0) {
  for (const Sample& s : r.samples) {
    if (s.frame >= from && pred(s)) return s.frame;
  }
  return -1;
}
int LastFrame(const Record& r, const std::function<bool(const Sample&)>& pred) {
  int last = -1;
  for (const Sample& s : r.samples) {
    if (pred(s)) last = s.frame;
  }
  return last;
}
std::vector<std::string> Named(const Record& r, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& [name, life] : r.tasks) {
    if (StartsWith(name, prefix)) out.push_back(name);
  }
  return out;
}
std::vector<int> Starts(const Record& r, const std::string& prefix) {
  std::vector<int> out;
  for (const std::string& name : Named(r, prefix)) out.push_back(r.tasks.at(name).first);
  std::sort(out.begin(), out.end());
  return out;
}

Record Play(const AttackCase& row) {
  Record rec;
  AttackRig r(row);
  r.Start();
  bool routine_seen = false, routine_gone = false;
  const auto watch = [&] {
    Sample s{r.frames()};
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      Life& life = rec.tasks[name];
      if (life.first < 0) life.first = r.frames();
      life.last = r.frames();
      SlgEffectTask* t = TaskNamed(name);
      EffectWork* w = EffectWorkOf(t);
      if (w == nullptr) continue;
      if (name.find("Zanzou") != std::string::npos) rec.blends[name].insert(SlgSprGetAlpha(&w->obj));
      if (StartsWith(name, "Gattai::Tamvik::Tama") && rec.starts.count(name) == 0) {
        rec.starts[name] = w->start;
      }
      if (StartsWith(name, "Gattai::Tamvik::Furari")) rec.figure_x[name] = w->pos.x;
      if (name == "Gattai::Tamvik::Hinotama") s.fire_zoom = w->zoom;
      if (StartsWith(name, "Gattai::Tamvik::TateLine") && w->anm == 0) {
        // The line's entry: 2 px wide from (x + 320, y + 320); probed 40 rows down, between the
        // bars.
        const int x = (w->pos.x >> 16) + 320, y = (w->pos.y >> 16) + 320 + 40;
        if (x >= 0 && x < 640 && y > 80 && y < 400) {
          ++rec.probes;
          if (r.rig().PixelAt(x, y) == r.rig().Shown(0x00FFBFBF)) ++rec.pale_blue_probes;
        }
      }
    }
    if (SlgEffectTask* t = TaskNamed("Gattai::EachCharacter")) {
      routine_seen = true;
      const EffectWork* w = EffectWorkOf(t);
      s.state = w->state;
      s.sub = w->sub;
    } else if (routine_seen && !routine_gone) {
      routine_gone = true;
      rec.signals_at_end = Gattai().each_done == 1 && Gattai().window_close == 1;
    } else if (routine_gone && rec.leaked.empty()) {
      for (const std::string& name : AttackRig::LiveTaskNames()) {
        if (StartsWith(name, "Gattai::Tamvik") && name != "Gattai::Tamvik::Window") {
          rec.leaked.push_back(name);
        }
      }
      rec.leaked.push_back("(checked)");
    }
    const GattaiTamvikWork& b = GattaiTamvikBlock();
    s.cut = b.cut_entry != nullptr;
    s.cut_x = b.cut_x;
    rec.samples.push_back(s);
  };
  while (r.attacker().state != 7 && r.frames() < row.frame_limit) {
    r.Step();
    watch();
  }
  if (r.attacker().state != 7) rec.failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, rec.failures);
  return rec;
}

std::string Lines(const std::vector<std::string>& v) {
  std::string out;
  for (const std::string& s : v) out += s + "\n";
  return out;
}

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
  const int slide = FirstFrame(r, [](const Sample& s) { return At(s, 0, 1); });
  ASSERT_GE(slide, 0);
  const int arrived = FirstFrame(r, [](const Sample& s) { return At(s, 0, 2) && s.cut_x == 0; });
  EXPECT_NEAR(arrived - slide, 40, 1);
  // Held 88 frames on the sub-state's clock, removed on the next call.
  const int held = FirstFrame(r, [](const Sample& s) { return At(s, 0, 3); });
  EXPECT_NEAR(held - arrived, 88, 1);
  const int gone = FirstFrame(r, [](const Sample& s) { return s.state == 1; });
  EXPECT_EQ(gone, held + 1);
  EXPECT_EQ(LastFrame(r, [](const Sample& s) { return s.state == 0 && s.cut; }), held);
  // The heroine's: from -256 to 352 at 16 px a frame (38 frames), 105 held.
  const int slide1 = FirstFrame(r, [](const Sample& s) { return At(s, 1, 1); });
  const int at352 = FirstFrame(r, [](const Sample& s) { return s.state == 1 && s.cut_x == 352; });
  EXPECT_NEAR(at352 - slide1, (352 + kHeroineW) / 16, 1);
  const int held1 = FirstFrame(r, [](const Sample& s) { return At(s, 1, 3); });
  EXPECT_NEAR(held1 - at352, 105, 1);
  for (const Sample& s : r.samples) {
    if (s.state == 1 && s.sub == 1) {
      EXPECT_EQ((s.cut_x + kHeroineW) % 16, 0) << "16 px a frame from -width, at " << s.frame;
    }
  }
}

TEST(GattaiTamvik, AfterImagesEveryFourFramesFadeInThreeStepsAndLastTwentyThree) {
  const Record& r = Played();
  for (const char* who : {"Gattai::Tamvik:KadrunZanzou", "Gattai::Tamvik:TamvikZanzou"}) {
    SCOPED_TRACE(who);
    const std::vector<int> starts = Starts(r, who);
    ASSERT_GE(starts.size(), 9u);
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_NEAR(starts[i] - starts[i - 1], 4, 1);
    for (const std::string& name : Named(r, who)) {
      const Life& life = r.tasks.at(name);
      EXPECT_NEAR(life.last - life.first + 1, 23, 1) << name;
      EXPECT_EQ(r.blends.at(name),
                (std::set<uint32_t>{0x20000 + 256, 0x20000 + 170, 0x20000 + 85}))
          << name;
    }
  }
  // Ten of the hero (frames 4-40 of his slide), numbered from 0.
  EXPECT_EQ(Named(r, "Gattai::Tamvik:KadrunZanzou").size(), 10u);
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik:KadrunZanzou0"), 1u);
}

TEST(GattaiTamvik, LinesEveryEightFramesThroughTheCutInsAndVerticalLinesEveryFourInState2) {
  const Record& r = Played();
  std::vector<int> lines = Starts(r, "Gattai::Tamvik::KadrunYokoLine");
  const std::vector<int> heroine = Starts(r, "Gattai::Tamvik::TamvikYokoLine");
  ASSERT_FALSE(lines.empty());
  ASSERT_FALSE(heroine.empty());
  lines.insert(lines.end(), heroine.begin(), heroine.end());
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_NEAR(lines[i] - lines[i - 1], 8, 1) << i;
  // The running number goes on from the hero's lines to the heroine's.
  const size_t hero_count = lines.size() - heroine.size();
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik::TamvikYokoLine" + std::to_string(hero_count)), 1u);
  const int state1 = FirstFrame(r, [](const Sample& s) { return s.state == 1; });
  EXPECT_LT(lines[hero_count - 1], state1);
  EXPECT_GE(heroine.front(), state1);

  const std::vector<int> tate = Starts(r, "Gattai::Tamvik::TateLine");
  const int state2 = FirstFrame(r, [](const Sample& s) { return s.state == 2; });
  const int state3 = FirstFrame(r, [](const Sample& s) { return s.state == 3; });
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
  const int state2 = FirstFrame(r, [](const Sample& s) { return s.state == 2; });
  const int state3 = FirstFrame(r, [](const Sample& s) { return s.state == 3; });
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
  const std::vector<std::string> balls = Named(r, "Gattai::Tamvik::Tama");
  EXPECT_EQ(balls.size(), 63u);
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik::Tama1"), 1u);
  EXPECT_EQ(r.tasks.count("Gattai::Tamvik::Tama63"), 1u);
  std::set<int> edges;
  for (const std::string& name : balls) {
    const Life& life = r.tasks.at(name);
    const SlgPair start = r.starts.at(name);
    const TamvikBall b = TamvikBallAt(start, 200);
    EXPECT_TRUE(b.arrived) << name;
    EXPECT_NEAR(life.last - life.first + 1, b.steps, 1) << name;
    const int x = start.x >> 16, y = start.y >> 16;
    edges.insert(y == -426 ? 0 : y == 214 ? 1 : x == -336 ? 2 : x == 336 ? 3 : -1);
  }
  EXPECT_EQ(edges, (std::set<int>{0, 1, 2, 3}));
  const std::vector<int> starts = Starts(r, "Gattai::Tamvik::Tama");
  for (size_t i = 1; i < starts.size(); ++i) EXPECT_NEAR(starts[i] - starts[i - 1], 2, 1);
}

TEST(GattaiTamvik, TheFireBallGrowsThenSpiralsRaiseTheSubStateAndTheWhiteOutEndsIt) {
  const Record& r = Played();
  const int born = FirstFrame(r, [](const Sample& s) { return s.fire_zoom >= 0; });
  const int full = FirstFrame(r, [](const Sample& s) { return s.fire_zoom == kPx; });
  ASSERT_GE(born, 0);
  EXPECT_NEAR(full - born, 10, 1);  // 0.1, 0.2 ... 1.0: 11 frames
  for (const Sample& s : r.samples) {
    if (s.fire_zoom >= 0 && s.frame < full) {
      EXPECT_EQ(s.fire_zoom % 6553, 0);
    }
  }
  // The first spiral: petals every 4 frames; the routine's sub-state raised on its frame 61.
  // The second spiral's names are "...TamvikFubuki2" and a number from 1; the first spiral's run
  // from "...TamvikFubuki1" to "...TamvikFubuki15".
  const std::string second = "Gattai::Tamvik::TamvikFubuki2";
  std::vector<int> petals, petals2;
  for (const std::string& name : Named(r, "Gattai::Tamvik::TamvikFubuki")) {
    (StartsWith(name, second) && name.size() > second.size() ? petals2 : petals)
        .push_back(r.tasks.at(name).first);
  }
  std::sort(petals.begin(), petals.end());
  std::sort(petals2.begin(), petals2.end());
  ASSERT_EQ(petals.size(), 15u);
  ASSERT_FALSE(petals2.empty());
  for (size_t i = 1; i < petals.size(); ++i) EXPECT_NEAR(petals[i] - petals[i - 1], 4, 1);
  const int spiral = r.tasks.at("Gattai::Tamvik::TamvikFubuki1").first - 4;
  const int raised = FirstFrame(r, [](const Sample& s) { return At(s, 3, 2); });
  EXPECT_NEAR(raised - spiral, 61, 1);
  EXPECT_NEAR(petals2.front() - raised, 4, 1);
  // The white-out: 64 frames, then the routine ends with both signals and nothing of its family
  // outlives it (the letterbox slides out on its own).
  const int white = FirstFrame(r, [](const Sample& s) { return At(s, 4, 1); });
  const int faded = FirstFrame(r, [](const Sample& s) { return At(s, 4, 2); });
  // The fade runs from the frame after its start, and its end is read on the frame after that.
  EXPECT_GE(faded - white, 64);
  EXPECT_LE(faded - white, 66);
  EXPECT_TRUE(r.signals_at_end);
  ASSERT_FALSE(r.leaked.empty());
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
}

TEST(GattaiTamvik, AMissingSlotEndsAtOnceAndMissingPicturesShowNothing) {
  AttackCase row = Row(1);
  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Omit(kAnmGattaiExtEffect);
  };
  const Record r = Play(row);
  EXPECT_TRUE(r.failures.empty()) << Lines(r.failures);
  EXPECT_TRUE(r.signals_at_end);
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
  EXPECT_LE(r.samples.back().frame, 400);  // no part of the routine played
  EXPECT_EQ(Named(r, "Gattai::Tamvik:"), std::vector<std::string>{"Gattai::Tamvik::Window"});

  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Pictures(kAnmGattaiBg, {});
  };
  const Record p = Play(row);
  EXPECT_TRUE(p.failures.empty()) << Lines(p.failures);
  EXPECT_GE(FirstFrame(p, [](const Sample& s) { return s.state == 4; }), 0);
  EXPECT_EQ(LastFrame(p, [](const Sample& s) { return s.cut; }), -1);
  EXPECT_GT(Named(p, "Gattai::Tamvik:KadrunZanzou").size(), 0u);
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
  testsupport::ExpectAttackCase(SmokeRow(0, testsupport::AttackRoad::kAction));
}

}  // namespace
