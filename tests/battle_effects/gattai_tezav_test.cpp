// TEZAV's part of the combination attack on the attack rig: the slides and the held pictures with
// their companions, the flicker (also with frames skipped), the paper pieces, the white-out, the
// ends and both roads.

#include "battle_effects/gattai_tezav.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_rig.h"
#include "tests/battle_effects/gattai_routine_play.h"

namespace {

using gattai_play::Lines;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int32_t kPx = 65536;
constexpr int kKind = 5;
constexpr uint32_t kRed = 0x000000FF;  // COLORREF

void Sets(AttackFixtures& f) {
  gattai_play::LayPartSets(f, {{200, 160}, {200, 160}, {120, 100}, {160, 240}, {160, 240},
                               {240, 200}});
  f.Slot(kAnmGattaiExtEffect2, 3);
}

AttackCase Row() { return gattai_play::PartRow("gattai_tezav", kKind, 5, &Sets); }

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

struct Seen {
  int shown = -1;            // the picture the routine's entry shows
  int entry_x = 0, entry_y = 0;
  int red_probes = 0;        // red pieces on screen whose pixel reads red
};
using Sample = gattai_play::Sample<Seen>;
struct Piece {
  SlgPair first{}, last{};
  int angle = -1;
  int colour = -1;
};
struct Companion {
  int pattern = -1;
  int set = -1;  // 1: slot 13, 2: slot 14
  int depth = 0;
  int flag = -1;
};
struct Record : gattai_play::Play<Seen> {
  std::map<std::string, Piece> pieces;
  std::map<std::string, Companion> companions;
};

Record Play(const AttackCase& row) {
  Record rec;
  std::map<std::string, SlgPair> red_at;  // this frame's red pieces (pixels)
  static_cast<gattai_play::Play<Seen>&>(rec) = gattai_play::PlayRoutine<Seen>(
      row, "Gattai::Tezav", "",
      [&](AttackRig&, const std::string& name, EffectWork& w, Sample&) {
        if (StartsWith(name, "Gattai::Tezav:Kami:")) {
          Piece& p = rec.pieces[name];
          if (p.angle < 0) {
            p.first = w.pos;
            p.angle = w.angle;
            p.colour = w.colour;
          }
          p.last = w.pos;
          if (w.colour == 0) red_at[name] = {(w.pos.x >> 16) + 320, (w.pos.y >> 16) + 240};
        } else if (StartsWith(name, "Gattai::Tezav:") &&
                   (name.find("Haikei") != std::string::npos ||
                    name.find("Chara") != std::string::npos)) {
          const GattaiTezavWork& b = GattaiTezavBlock();
          Companion& c = rec.companions[name];
          c.pattern = w.obj.pattern;
          c.set = w.obj.anims == b.ext1 ? 1 : w.obj.anims == b.ext2 ? 2 : 0;
          c.depth = w.depth;
          c.flag = w.obj.byte;
        }
      },
      [&](AttackRig& r, Sample& s) {
        const GattaiTezavWork& b = GattaiTezavBlock();
        s.x.shown = b.shown;
        if (b.entry != nullptr) {
          s.x.entry_x = b.entry->x;
          s.x.entry_y = b.entry->y;
        }
        for (const auto& [name, at] : red_at) {
          if (at.x >= 0 && at.x < 636 && at.y >= 0 && at.y < 476 &&
              r.rig().PixelAt(at.x + 4, at.y + 4) == kRed) {
            ++s.x.red_probes;
          }
        }
        red_at.clear();
      });
  return rec;
}

const Record& Played() {
  static const Record rec = Play(Row());
  return rec;
}

TEST(GattaiTezav, SlidesAndHeldPicturesWithTheirCompanions) {
  const Record& r = Played();
  ASSERT_TRUE(r.failures.empty()) << Lines(r.failures);
  // State 0: pic0 from x -320 to 0 over 30 frames at y -40, about the screen centre.
  const int s0 = r.At(0, 1);
  ASSERT_GE(s0, 0);
  for (const auto& [frame, x] : std::vector<std::pair<int, int>>{{0, -320}, {15, -160},
                                                                  {30, 0}, {31, 0}}) {
    const Sample& s = r.samples[static_cast<size_t>(s0 + frame - r.samples.front().frame)];
    EXPECT_EQ(s.x.shown, 0) << frame;
    EXPECT_NEAR(s.x.entry_x, x + 320, 11) << frame;
    if (frame == 0 || frame >= 30) {
      EXPECT_EQ(s.x.entry_x, x + 320) << frame;
    }
    EXPECT_EQ(s.x.entry_y, -40 + 240) << frame;
  }
  EXPECT_EQ(TezavSlideX(-320, 15), -160 * kPx);
  EXPECT_EQ(TezavSlideX(320, 3), 288 * kPx);
  EXPECT_EQ(TezavSlideX(320, 40), 0);
  // The companion and the entry gone at frame 132; state 1 from the right with pic1.
  const int s1 = r.At(1, 1);
  EXPECT_NEAR(s1 - s0, 132, 1);
  // (Told to end as the state changes, on the frame before the next state's first.)
  EXPECT_NEAR(r.tasks.at("Gattai::Tezav:Haikei").last - s0, 131, 1);
  EXPECT_EQ(r.samples[static_cast<size_t>(s1 - r.samples.front().frame)].x.shown, 1);
  EXPECT_EQ(r.samples[static_cast<size_t>(s1 - r.samples.front().frame)].x.entry_x, 640);
  // States 2-4: 72, 84 and 60 frames, showing pic3, pic4 (centred) and pic2 where the slide stopped.
  const int s2 = r.At(2, 1), s3 = r.At(3, 1), s4 = r.At(4, 1), s5 = r.At(5, 1);
  EXPECT_NEAR(s2 - s1, 132, 1);
  EXPECT_NEAR(s3 - s2, 72, 1);
  EXPECT_NEAR(s4 - s3, 84, 1);
  EXPECT_NEAR(s5 - s4, 60, 1);
  struct Held {
    int frame, pic, x, y;
  };
  for (const Held& h : {Held{s2 + 5, 3, 320, 240}, Held{s3 + 5, 4, 320, 240},
                        Held{s4 + 5, 2, 320, 200}}) {
    const Sample& s = r.samples[static_cast<size_t>(h.frame - r.samples.front().frame)];
    EXPECT_EQ(s.x.shown, h.pic) << h.frame;
    EXPECT_EQ(s.x.entry_x, h.x) << h.frame;
    EXPECT_EQ(s.x.entry_y, h.y) << h.frame;
  }
  // Each companion: its set, animation, depth and flag; each gone with its state.
  struct Row {
    const char* name;
    int set, pattern, flag, ends;
  };
  for (const Row& c : {Row{"Gattai::Tezav:Haikei", 2, 1, 0, s1},
                       Row{"Gattai::Tezav:Haikei:1", 2, 0, 0, s2},
                       Row{"Gattai::Tezav::Chara:0", 1, 1, 1, s3},
                       Row{"Gattai::Tezav::Chara:1", 1, 2, 1, s4},
                       Row{"Gattai::Tezav::Haikei:2", 2, 2, 0, s5},
                       Row{"Gattai::Tezav::Chara:2", 1, 0, 1, -1}}) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(r.companions.count(c.name), 1u);
    const Companion& got = r.companions.at(c.name);
    EXPECT_EQ(got.set, c.set);
    EXPECT_EQ(got.pattern, c.pattern);
    EXPECT_EQ(got.flag, c.flag);
    EXPECT_EQ(got.depth, -1098);
    if (c.ends >= 0) {
      EXPECT_NEAR(r.tasks.at(c.name).last, c.ends - 2, 1);
    }
  }
  // No letterbox.
  for (const auto& [name, life] : r.tasks) EXPECT_EQ(name.find("Window"), std::string::npos) << name;
}

TEST(GattaiTezav, TheFlickerKeepsItsTimesAndCarriesOvershoot) {
  std::vector<int> expected;
  for (int i = 0; i < 23; ++i) expected.push_back(i % 2 == 0 ? 3 : 4);
  expected.push_back(5);
  const Record& r = Played();
  const int start = r.At(5, 1);
  std::vector<int> pics, changes;
  for (const Sample& s : r.samples) {
    if (s.frame < start || s.state != 5 || (s.sub != 1 && s.sub != 2)) continue;
    if (!pics.empty() && pics.back() == s.x.shown) continue;
    pics.push_back(s.x.shown);
    changes.push_back(s.frame - start);
    if (s.x.shown == 5) break;
  }
  EXPECT_EQ(pics, expected);
  ASSERT_EQ(changes.size(), 24u);
  int32_t sum = 0;
  for (size_t k = 1; k < changes.size(); ++k) {
    sum += kTezavFlicker[k - 1];
    EXPECT_NEAR(changes[k], sum, 1) << k;
  }
  EXPECT_EQ(sum, 180);

  // With 50 ms steps (3 frames each) the same pictures, and the end within one step of 180.
  AttackCase row = Row();
  row.step_ms = 50;
  row.frame_limit = 600;
  const Record skipped = Play(row);
  EXPECT_TRUE(skipped.failures.empty()) << Lines(skipped.failures);
  const int start50 = skipped.At(5, 1);
  pics.clear();
  int end_step = -1;
  for (const Sample& s : skipped.samples) {
    if (s.frame < start50 || s.state != 5) continue;
    if (!pics.empty() && pics.back() == s.x.shown) continue;
    pics.push_back(s.x.shown);
    if (s.x.shown == 5) {
      end_step = s.frame - start50;
      break;
    }
  }
  EXPECT_EQ(pics, expected);
  EXPECT_GE(end_step * 3, 180);
  EXPECT_LT(end_step * 3, 180 + 3);
}

TEST(GattaiTezav, PaperPiecesBurstFromTheCornersAndFallOut) {
  const Record& r = Played();
  const int flicker_end = r.At(5, 2);
  ASSERT_GE(flicker_end, 0);
  const int end = r.Last([](const Sample& s) { return s.state >= 0; });
  ASSERT_EQ(r.pieces.size(), 80u);
  std::set<int> colours;
  int red = 0, fell = 0;
  for (int i = 0; i < 80; ++i) {
    const std::string name = "Gattai::Tezav:Kami:" + std::to_string(i);
    SCOPED_TRACE(name);
    ASSERT_EQ(r.pieces.count(name), 1u);
    const Piece& p = r.pieces.at(name);
    EXPECT_NEAR(r.tasks.at(name).first, flicker_end, 1);
    const bool left = i < 40;
    EXPECT_EQ(p.first.x, (left ? -320 : 320) * kPx);
    EXPECT_EQ(p.first.y, 240 * kPx);
    // Up and right from the left corner (-96 .. -33 of 512), up and left from the right one.
    const int lo = left ? 512 - 96 : 512 - 224;
    EXPECT_GE(p.angle, lo);
    EXPECT_LE(p.angle, lo + 63);
    colours.insert(p.colour);
    if (p.colour == 0) ++red;
    // Ended past y 272 (its last place above it, its fall at most 6 px a frame) or by the stop
    // word, set two frames before the routine's end.
    const int last = r.tasks.at(name).last;
    if (last < end - 3) {
      ++fell;
      EXPECT_LE(p.last.y >> 16, 272);
      EXPECT_GT((p.last.y >> 16) + 6 * 2, 272);
    } else {
      EXPECT_LE(last, end + 1);
    }
  }
  EXPECT_GT(colours.size(), 3u);  // the draws vary
  EXPECT_GT(fell, 0);
  EXPECT_GT(red, 0);
  // A red piece on the screen reads red (the first colour, 0xFF0000 as the game names it).
  EXPECT_EQ(TezavPaperColour(0), kRed);
  EXPECT_EQ(TezavPaperColour(2), 0x00FF0000u);
  EXPECT_EQ(TezavPaperColour(3), 0x0000FFFFu);
  EXPECT_EQ(TezavPaperColour(5), 0x00FFFF00u);
  EXPECT_GT(r.Last([](const Sample& s) { return s.x.red_probes > 0; }), 0);
  // The white-out 150 frames after the flicker; both signals; nothing left behind.
  EXPECT_NEAR(r.At(5, 3) - flicker_end, 150, 1);
  EXPECT_TRUE(r.signals_at_end);
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
}

TEST(GattaiTezav, ThePaperPathBurstsThenSwaysDown) {
  const TezavPaper p{.from = {-320 * kPx, 240 * kPx}, .dir = -64, .speed = 3 * kPx,
                     .fall = 2 * kPx, .phase0 = 0};
  // Speeds 2 and 1 on frames 1 and 2; on frame 3 the speed reaches 0 and the fall begins where
  // the burst stopped.
  const int32_t c = SlgCos(-64) * 4, s = SlgSin(-64) * 4;
  const TezavPaperPos f1 = TezavPaperAt(p, 1);
  EXPECT_FALSE(f1.falling);
  EXPECT_EQ(f1.pos.x, p.from.x + SlgFxMul(2 * kPx, c));
  const TezavPaperPos f2 = TezavPaperAt(p, 2);
  EXPECT_EQ(f2.pos.x, f1.pos.x + SlgFxMul(kPx, c));
  EXPECT_EQ(f2.pos.y, f1.pos.y + SlgFxMul(kPx, s));
  EXPECT_FALSE(f2.falling);
  const TezavPaperPos f3 = TezavPaperAt(p, 3);
  EXPECT_TRUE(f3.falling);
  EXPECT_EQ(f3.pos.y, f2.pos.y);
  const TezavPaperPos f13 = TezavPaperAt(p, 13);
  EXPECT_EQ(f13.pos.y, f2.pos.y + 10 * 2 * kPx);
  EXPECT_EQ(f13.pos.x, f2.pos.x + 32 * SlgSin(80));
  EXPECT_FALSE(f13.ended);
  // Ended once past y 272 (from about y 240 at 2 px a frame: frame 3 + 17 or so).
  int ended = -1;
  for (int f = 3; f < 100 && ended < 0; ++f) {
    if (TezavPaperAt(p, f).ended) ended = f;
  }
  ASSERT_GT(ended, 3);
  EXPECT_GT(TezavPaperAt(p, ended).pos.y >> 16, 272);
  EXPECT_LE(TezavPaperAt(p, ended - 1).pos.y >> 16, 272);
}

TEST(GattaiTezav, AMissingSlotEndsAtOnceAndMissingPicturesLetItRunOn) {
  AttackCase row = Row();
  gattai_play::ExpectEndsAtOnceWithoutItsSlot(row, "Gattai::Tezav", "", {}, kAnmGattaiExtEffect2);
  gattai_play::ExpectEndsAtOnceWithoutItsSlot(row, "Gattai::Tezav", "", {}, kAnmGattaiExtEffect);

  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Pictures(kAnmGattaiBg, {{64, 64}});
  };
  const Record p = Play(row);
  EXPECT_TRUE(p.failures.empty()) << Lines(p.failures);
  EXPECT_GE(p.At(5, 3), 0);
  EXPECT_EQ(p.pieces.size(), 80u);
  EXPECT_TRUE(p.signals_at_end);
  EXPECT_EQ(p.leaked, std::vector<std::string>{"(checked)"}) << Lines(p.leaked);
}

// ---- Roads ----

AttackCase SmokeRow(testsupport::AttackRoad road) {
  AttackCase row = gattai_play::OnRoad(Row(), road);
  using testsupport::AttackProbe;
  const uint32_t pic4 = AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 4);
  const uint32_t pic5 = AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 5);
  // In the flicker: pic4 (160 x 240) centred, its marker-free middle; then pic5 as the paper
  // starts.
  row.checkpoints = {
      {.name = "flicker",
       .event = "task+ Gattai::Tezav::Chara:2",
       .probes = {AttackProbe{320, 240, AttackFixtures::ColourRef(kKind, kAnmGattaiBg, 3)}}},
      {.name = "last_picture",
       .event = "task+ Gattai::Tezav:Kami:0",
       .probes = {AttackProbe{320, 240, pic5}, AttackProbe{320, 240, pic4, false}}},
  };
  return row;
}

TEST(GattaiTezavSmoke, ThroughTheCommand) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kBoard));
}

TEST(GattaiTezavSmoke, ThroughTheActionTask) {
  testsupport::ExpectAttackCase(SmokeRow(testsupport::AttackRoad::kAction));
}

}  // namespace
