// Kujyaku's attacks (kind 25): the card, pillar, picture and bubble tables, and the two routines
// on the attack rig (the smoke rows over types, directions and layouts, the missing sets).

#include "battle_effects/boss25.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/boss_play.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using boss_play::ShadowOn;

constexpr int kKind = 25;

// ---- The tables ----

TEST(Boss25Cards, AngleFaceAndAnimationsByFrame) {
  struct Case {
    int32_t n;
    int32_t angle;
    Boss25::CardFace face;
  };
  const Case cases[] = {
      {0, 0, Boss25::CardFace::kFront},     {15, 120, Boss25::CardFace::kFront},
      {16, 128, Boss25::CardFace::kBack},   {31, 248, Boss25::CardFace::kBack},
      {32, 256, Boss25::CardFace::kFinished}, {40, 320, Boss25::CardFace::kFinished},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n));
    EXPECT_EQ(Boss25::CardAngle(c.n), c.angle);
    EXPECT_EQ(Boss25::CardFaceAt(Boss25::CardAngle(c.n)), c.face);
  }
  // Front then back by card; the finished card shows its back.
  const std::pair<int, int> faces[] = {{3, 6}, {4, 5}, {5, 4}, {6, 3}};
  for (int k = 0; k < Boss25::kCards; ++k) {
    SCOPED_TRACE("card " + std::to_string(k));
    EXPECT_EQ(Boss25::CardFaceAnm(k, Boss25::CardFace::kFront), faces[k].first);
    EXPECT_EQ(Boss25::CardFaceAnm(k, Boss25::CardFace::kBack), faces[k].second);
    EXPECT_EQ(Boss25::CardFaceAnm(k, Boss25::CardFace::kFinished), faces[k].second);
  }
  EXPECT_EQ(Boss25::kCardTurnWidth, 160);
  EXPECT_EQ(Boss25::kCardPerspective, 640);
  EXPECT_EQ(Boss25::kCardInterval, 32);
}

TEST(Boss25Tables, PictureAlphaReplayAnimationAndPillars) {
  const std::pair<int32_t, int32_t> alpha[] = {{0, 0}, {15, 123}, {29, 239}, {30, 256}, {45, 256}};
  for (const auto& [n, a] : alpha) EXPECT_EQ(Boss25::PictureAlpha(n), a) << "n " << n;
  EXPECT_EQ(Boss25::EffectReplayAnm(10), 7u);
  EXPECT_EQ(Boss25::EffectReplayAnm(11), 10u);
  EXPECT_EQ(Boss25::EffectReplayAnm(0), 7u);
  // Zoom 2.0 on the last two pillars only.
  EXPECT_FALSE(Boss25::kPillarRows[0].zoom2);
  EXPECT_FALSE(Boss25::kPillarRows[1].zoom2);
  EXPECT_TRUE(Boss25::kPillarRows[2].zoom2);
  EXPECT_TRUE(Boss25::kPillarRows[3].zoom2);
}

TEST(Boss25Tables, BubbleOffsetsByDirectionAndAge) {
  struct Case {
    int dir;
    int32_t age;
    int32_t x, y;
  };
  const Case cases[] = {
      {0, 0, 48, -72},   {0, 16, 16, 0},   {0, 31, -14, 14},  {0, 40, -14, 14},
      {1, 0, 0, -48},    {1, 16, -32, -52}, {1, 31, -62, -44},
      {2, 16, 32, -52},  {3, 0, -48, -72},  {3, 31, 14, 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("dir " + std::to_string(c.dir) + " age " + std::to_string(c.age));
    const SlgPoint p = Boss25::BubbleOffset(c.dir, c.age);
    EXPECT_EQ(p.x, c.x);
    EXPECT_EQ(p.y, c.y);
  }
}

// ---- Fixtures ----

// Slot 5 with bodies of 30 frames (15 two-tick frames), slot 6 and slot 8 with animations of known
// lengths (slot 8 with 11 animations, or 10 for `short_effect`), background 0.
void Boss25Sets(AttackFixtures& f, bool short_effect, int body_frames) {
  f.Slot(kAnmAttackBody, std::vector<AttackAnim>(2, AttackAnim{.frames = body_frames}));
  f.Slot(kAnmAttackEffect, std::vector<AttackAnim>(11, AttackAnim{.frames = 4}));
  f.Slot(kAnmSpecialBody, std::vector<AttackAnim>(3, AttackAnim{.frames = 4}));
  std::vector<AttackAnim> effect(short_effect ? 10 : 11, AttackAnim{.frames = 4});
  effect[0].frames = 20;  // the opening effect: 40 frames, past its frame 22
  f.Slot(kAnmSpecialEffect, effect);
  f.Pictures(kAnmSpecialBg, {{640, 480}});
}

AttackCase SmokeRow(std::string name, int type, int dir, AttackLayout layout,
                    bool short_effect = false) {
  AttackCase row{.name = std::move(name),
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Boss25::SpecialAttack" : "Boss25::NormalAttack",
                 .frame_limit = 1500,
                 .prefixes = {"Boss25::"},
                 .before = &ShadowOn};
  row.fixtures = [short_effect](AttackFixtures& f) { Boss25Sets(f, short_effect, 15); };
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kRaised}};

// ---- Smoke rows ----

TEST(Boss25Smoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    for (const auto& [dir, layout] : kSmokeLayouts) {
      testsupport::ExpectAttackCase(SmokeRow(
          "boss25_type" + std::to_string(type) + "_dir" + std::to_string(dir), type, dir, layout));
    }
  }
}

TEST(Boss25Smoke, SpecialOverDirectionsAndLayouts) {
  for (const auto& [dir, layout] : kSmokeLayouts) {
    testsupport::ExpectAttackCase(
        SmokeRow("boss25_special_dir" + std::to_string(dir), 1, dir, layout, dir % 2 == 0));
  }
}

TEST(Boss25Edges, ABodyEndingBeforeItsThresholdStillStartsTheBubbles) {
  // Direction 1 waits for body frame 23; a body of 10 frames ends before it.
  AttackCase row = SmokeRow("boss25_short_body", 0, 1, AttackLayout::kFront);
  row.fixtures = [](AttackFixtures& f) { Boss25Sets(f, false, 5); };
  testsupport::ExpectAttackCase(row);
}

TEST(Boss25Edges, MissingSetsEndOnTheFirstCall) {
  struct Case {
    const char* name;
    int type;
    int omit;
  };
  const Case cases[] = {
      {"normal without slot 5", 0, kAnmAttackBody},
      {"normal without slot 6", 0, kAnmAttackEffect},
      {"special without slot 7", 1, kAnmSpecialBody},
      {"special without slot 8", 1, kAnmSpecialEffect},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row{.name = "edge",
                   .kind = kKind,
                   .type = c.type,
                   .layout = AttackLayout::kThree,
                   .frame_limit = 1500,
                   .before = &ShadowOn};
    row.fixtures = [c](AttackFixtures& f) {
      Boss25Sets(f, false, 15);
      f.Omit(c.omit);
    };
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  }
}

TEST(Boss25Edges, AMissingBackgroundLeavesTheScenePlaying) {
  AttackCase row = SmokeRow("boss25_no_bg", 1, 2, AttackLayout::kFront);
  row.fixtures = [](AttackFixtures& f) {
    Boss25Sets(f, false, 15);
    f.Omit(kAnmSpecialBg);
  };
  testsupport::ExpectAttackCase(row);
}

}  // namespace
