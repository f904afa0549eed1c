// BRISE's part of the combination attack on the attack rig: the strips cut within the pictures
// and their wave, the sweeps, the drops and the flashes, the letterbox closing early, the stands,
// the white-out, the ends (every strip given back) and both roads.

#include "battle_effects/gattai_brise.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
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
constexpr int kKind = 6;

void SetsWith(AttackFixtures& f, std::vector<testsupport::AttackPicture> pictures) {
  gattai_play::LayPartSets(f, std::move(pictures));
  f.Slot(kAnmGattaiExtEffect2, 3);
  f.Slot(kAnmGattaiExtEffect3, 3);
  f.Slot(kAnmGattaiExtEffect4, 3);
}
// Pictures wider and taller than the strips' band.
void Sets(AttackFixtures& f) { SetsWith(f, {{704, 400}, {680, 360}}); }
// Screen-sized pictures: narrower than the strips.
void ScreenSets(AttackFixtures& f) { SetsWith(f, {{640, 480}, {640, 480}}); }

AttackCase Row() { return gattai_play::PartRow("gattai_brise", kKind, 6, &Sets); }

constexpr int kProbed[3] = {0, 1, 87};

struct Seen {
  bool flash = false;
  int strips = 0;  // strip sprites alive (both pictures)
  int entries1 = 0;
  int32_t phase_a = -1, phase_b = -1;
  int x0[3] = {}, x1[3] = {}, y0[3] = {};
  bool wave = false;  // the wave task runs
  uint8_t window_close = 0;
  int32_t drop_y[2] = {1, 1};
  int32_t sweep_x[2] = {1, 1};
};
using Sample = gattai_play::Sample<Seen>;
struct Record : gattai_play::Play<Seen> {
  int widest = 0;  // the widest strip sprite seen
};

Record Play(const AttackCase& row) {
  Record rec;
  static_cast<gattai_play::Play<Seen>&>(rec) = gattai_play::PlayRoutine<Seen>(
      row, "Gattai::Brise", "Gattai::Brise::Window",
      [](AttackRig&, const std::string& name, EffectWork& w, Sample& s) {
        for (int i = 0; i < 2; ++i) {
          if (name == (i == 0 ? "Gattai::Brise:Kadrun2:Brise" : "Gattai::Brise:Kadrun2:Kadrun")) {
            s.x.drop_y[i] = w.pos.y;
          }
          if (name == (i == 0 ? "Gattai::Brise:Kadrun:Brise" : "Gattai::Brise:Kadrun:Kadrun")) {
            s.x.sweep_x[i] = w.pos.x;
          }
        }
        if (name == "Gattai::Brise::Line") s.x.wave = true;
      },
      [&rec](AttackRig&, Sample& s) {
        const GattaiBriseWork& b = GattaiBriseBlock();
        s.x.flash = b.flash_entry != nullptr;
        s.x.window_close = Gattai().window_close;
        s.x.phase_a = b.phase_a;
        s.x.phase_b = b.phase_b;
        for (SprRec** strips : {b.strips0, b.strips1}) {
          if (strips == nullptr) continue;
          for (int i = 0; i < kBriseStrips; ++i) {
            if (strips[i] == nullptr) continue;
            ++s.x.strips;
            rec.widest = std::max(rec.widest, strips[i]->width);
          }
        }
        if (b.entries1 != nullptr) {
          for (int i = 0; i < kBriseStrips; ++i) s.x.entries1 += b.entries1[i] != nullptr;
        }
        for (int j = 0; j < 3; ++j) {
          const int i = kProbed[j];
          if (b.entries0 != nullptr && b.entries0[i] != nullptr) {
            s.x.x0[j] = b.entries0[i]->x;
            s.x.y0[j] = b.entries0[i]->y;
          }
          if (b.entries1 != nullptr && b.entries1[i] != nullptr) s.x.x1[j] = b.entries1[i]->x;
        }
      });
  return rec;
}

const Record& Played() {
  static const Record rec = Play(Row());
  return rec;
}

const Sample& At(const Record& r, int frame) {
  return r.samples.at(static_cast<size_t>(frame - r.samples.front().frame));
}

TEST(GattaiBrise, TheStripsWaveAndStandByTheRoutinesState) {
  const Record& r = Played();
  ASSERT_TRUE(r.failures.empty()) << Lines(r.failures);
  const int s0 = r.At(0, 1);
  ASSERT_GE(s0, 0);
  // 176 strips of 672 x 4, all made from pictures larger than the band.
  EXPECT_EQ(At(r, s0).x.strips, 2 * kBriseStrips);
  EXPECT_EQ(At(r, s0).x.entries1, kBriseStrips);
  EXPECT_EQ(r.widest, kBriseStripWidth);
  // The wave: at two frames of state 0, strips 0, 1 and 87 where the phases put them, the
  // phases 3 and 2 steps a frame.
  const int a = s0 + 40, b = s0 + 90;
  for (int frame : {a, b}) {
    const Sample& s = At(r, frame);
    SCOPED_TRACE(frame);
    EXPECT_EQ(s.state, 0);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(s.x.x1[j], BriseWave1(kProbed[j], s.x.phase_a)) << kProbed[j];
      EXPECT_EQ(s.x.x0[j], BriseWave0(kProbed[j], s.x.phase_b)) << kProbed[j];
      EXPECT_EQ(s.x.y0[j], 0);
    }
  }
  // (50 rig frames are 50 or 51 frames of the game's clock.)
  EXPECT_NEAR((At(r, b).x.phase_a - At(r, a).x.phase_a + 512) % 512, 3 * 50, 3);
  EXPECT_NEAR((At(r, b).x.phase_b - At(r, a).x.phase_b + 512) % 512, 2 * 50, 2);
  std::set<int> waved;  // strip 0 sways back and forth
  for (const Sample& s : r.samples) {
    if (s.state == 0) waved.insert(s.x.x1[0]);
  }
  EXPECT_GT(waved.size(), 20u);
  EXPECT_EQ(BriseWave1(0, 128), 16);  // 16 px at most
  EXPECT_EQ(BriseWave0(0, 128), 8);   // 8 px at most
  EXPECT_EQ(BriseWave1(1, 496), 0);
  // State 2: picture 1's entries gone, picture 0's strips still at (0, 0); state 3: at (0, 64).
  const Sample& st2 = At(r, r.At(2, 1) + 2);
  EXPECT_EQ(st2.x.entries1, 0);
  EXPECT_EQ(st2.x.x0[0], 0);
  EXPECT_EQ(st2.x.x0[2], 0);
  EXPECT_EQ(st2.x.y0[1], 0);
  const Sample& st3 = At(r, r.At(3, 1) + 2);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(st3.x.x0[j], 0);
    EXPECT_EQ(st3.x.y0[j], 64);
  }
  // Every strip given back at the end (the rig checks the entry count; LeakSanitizer the rest).
  EXPECT_EQ(r.samples.back().x.strips, 0);
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
}

TEST(GattaiBrise, SweepsDropsFlashesAndTheEarlyLetterboxClose) {
  const Record& r = Played();
  // The sweeps 64 and 145 frames after the fade-in, each across in 35 frames.
  const int cuts = r.At(0, 2);
  ASSERT_GE(cuts, 0);
  const char* sweeps[2] = {"Gattai::Brise:Kadrun:Brise", "Gattai::Brise:Kadrun:Kadrun"};
  const int at[2] = {64, 145};
  const int32_t from[2] = {320 * kPx, -960 * kPx}, speed[2] = {-2598970, 2396745};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(sweeps[i]);
    const gattai_play::Life life = r.tasks.at(sweeps[i]);
    EXPECT_NEAR(life.first - cuts, at[i], 1);
    EXPECT_NEAR(life.last - life.first, 35, 1);
    const Sample& s = At(r, life.first + 10);
    EXPECT_NEAR(s.x.sweep_x[i], from[i] + speed[i] * 10, std::abs(speed[i]) + 1);
  }
  // State 1: the drops at 95 and 180, at y -112 after 6 frames and held through the state.
  const int s1 = r.At(1, 1);
  const char* drops[2] = {"Gattai::Brise:Kadrun2:Brise", "Gattai::Brise:Kadrun2:Kadrun"};
  const int drop_at[2] = {95, 180};
  const int s2 = r.At(2, 1);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(drops[i]);
    const gattai_play::Life life = r.tasks.at(drops[i]);
    EXPECT_NEAR(life.first - s1, drop_at[i], 1);
    EXPECT_NE(At(r, life.first + 3).x.drop_y[i], -112 * kPx);
    for (int f = life.first + 7; f <= life.last; ++f) EXPECT_EQ(At(r, f).x.drop_y[i], -112 * kPx);
    EXPECT_NEAR(life.last, s2, 2);
  }
  // Four flashes of 6 frames at 24, 54, 123 and 162.
  std::vector<std::pair<int, int>> flashes;
  for (const Sample& s : r.samples) {
    if (s.frame < s1 || s.frame >= s2) continue;
    if (s.x.flash && (flashes.empty() || flashes.back().second != s.frame - 1)) {
      flashes.push_back({s.frame, s.frame});
    } else if (s.x.flash) {
      flashes.back().second = s.frame;
    }
  }
  ASSERT_EQ(flashes.size(), 4u);
  const int on[4] = {24, 54, 123, 162};
  for (int n = 0; n < 4; ++n) {
    EXPECT_NEAR(flashes[static_cast<size_t>(n)].first - s1, on[n], 1) << n;
    EXPECT_NEAR(flashes[static_cast<size_t>(n)].second - flashes[static_cast<size_t>(n)].first + 1,
                6, 1)
        << n;
  }
  EXPECT_FALSE(At(r, s2).x.flash);
  // State 2: two stands for 80 frames; state 3: windowClose at its start, the last picture until
  // the end, the white-out 90 frames in.
  for (const char* name : {"Gattai::Brise:Kadrun3:0", "Gattai::Brise:Kadrun3:1"}) {
    EXPECT_NEAR(r.tasks.at(name).last - r.tasks.at(name).first, 80, 1) << name;
  }
  const int s3 = r.At(3, 1);
  EXPECT_EQ(At(r, s3 - 1).x.window_close, 0);
  EXPECT_EQ(At(r, s3).x.window_close, 1);
  EXPECT_NEAR(r.tasks.at("Gattai::Brise:Kadrun4").first, s3, 1);
  EXPECT_NEAR(r.At(3, 2) - s3, 90, 1);
  const int end = r.Last([](const Sample& s) { return s.state >= 0; });
  EXPECT_GE(end - r.At(3, 2), 64);
  EXPECT_NEAR(r.tasks.at("Gattai::Brise:Kadrun4").last, end, 2);
  EXPECT_TRUE(r.signals_at_end);
}

TEST(GattaiBrise, AScreenSizedPictureGivesNarrowerStrips) {
  AttackCase row = Row();
  row.fixtures = &ScreenSets;
  const Record r = Play(row);
  EXPECT_TRUE(r.failures.empty()) << Lines(r.failures);
  EXPECT_EQ(At(r, r.At(0, 1)).x.strips, 2 * kBriseStrips);
  EXPECT_EQ(r.widest, 640);
  EXPECT_TRUE(r.signals_at_end);
  EXPECT_EQ(r.samples.back().x.strips, 0);

  // Small pictures: only the strips within them (64 rows: 16 strips), the rest never made.
  row.fixtures = [](AttackFixtures& f) { SetsWith(f, {{100, 64}, {64, 30}}); };
  const Record small = Play(row);
  EXPECT_TRUE(small.failures.empty()) << Lines(small.failures);
  EXPECT_EQ(At(small, small.At(0, 1)).x.strips, 16 + 8);
  EXPECT_EQ(small.widest, 100);
  EXPECT_GE(small.At(3, 2), 0);
}

TEST(GattaiBrise, AMissingSlotEndsAtOnceTakingTheStripsAlong) {
  AttackCase row = Row();
  gattai_play::ExpectEndsAtOnceWithoutItsSlot(row, "Gattai::Brise", "Gattai::Brise::Window",
                                              {"Gattai::Brise::Line"}, kAnmGattaiExtEffect3);
  // The strips were cut in the set-up; none stays once the routine has gone, and the wave task
  // is gone by the next frame.
  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Omit(kAnmGattaiExtEffect3);
  };
  const Record r = Play(row);
  EXPECT_TRUE(r.failures.empty()) << Lines(r.failures);
  const int end = r.Last([](const Sample& s) { return s.state >= 0; });
  EXPECT_EQ(At(r, end + 1).x.strips, 0);
  EXPECT_LE(r.tasks.at("Gattai::Brise::Line").last, end + 1);
}

// ---- Roads ----

AttackCase SmokeRow(testsupport::AttackRoad road) {
  AttackCase row = gattai_play::OnRoad(Row(), road);
  using testsupport::AttackProbe;
  // On the waving strips as the first sweep starts (the fade-in over, the letterbox's black bar
  // above the band); then picture 0's strips standing alone once picture 1's have gone.
  const uint32_t bg0 = AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 0);
  row.checkpoints = {
      {.name = "waving_strips",
       .event = "task+ Gattai::Brise:Kadrun:Brise",
       .probes = {AttackProbe{320, 30, 0}}},
      {.name = "standing_strips",
       .event = "task+ Gattai::Brise:Kadrun3:0",
       .probes = {AttackProbe{100, 300, bg0}, AttackProbe{500, 200, bg0}}},
  };
  return row;
}

TEST(GattaiBriseSmoke, ThroughTheCommand) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kBoard));
}

TEST(GattaiBriseSmoke, ThroughTheActionTask) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kAction));
}

}  // namespace
