// The battle's units of measure and its maths: depths, priorities, screen pixels, angle and
// colour conversions, sine, cosine, atan2 and the random value.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "battle/battle_context.h"
#include "battle/slg_math.h"
#include "battle/slg_units.h"
#include "engine/app/doors.h"
#include "game/sine_table.h"
#include "testsupport/battle_board.h"
#include "testsupport/test_engine.h"

namespace {

TEST(SlgUnits, Conversions) {
  struct Depth {
    int32_t y;
    int32_t depth;
  };
  for (const Depth c : {Depth{4000, -1536}, Depth{-2000, 511}, Depth{101, -50}, Depth{-101, 50},
                        Depth{0, 0}, Depth{3072, -1536}, Depth{-1022, 511}, Depth{-1024, 511}}) {
    EXPECT_EQ(SlgCalcDepth(12345, c.y), c.depth) << "y " << c.y;
  }
  EXPECT_EQ(SlgPriority(-1536), 0);
  EXPECT_EQ(SlgPriority(511), 2047);
  EXPECT_EQ(SlgPriority(0), 1536);

  EXPECT_EQ(SlgScreenX(0), 320);
  EXPECT_EQ(SlgScreenY(0), 240);
  EXPECT_EQ(SlgScreenX(-(100 << 16)), 220);
  EXPECT_EQ(SlgScreenY((50 << 16) + 0xFFFF), 290);
  EXPECT_EQ(SlgScreenX(-1), 319);  // the integer part is taken by an arithmetic shift

  struct Turn {
    int32_t angle;
    int32_t engine;
  };
  for (const Turn c : {Turn{-1, 511 * 804 / 256}, Turn{0, 0}, Turn{512, 0}, Turn{128, 402},
                       Turn{-512, 0}, Turn{1025, 3}, Turn{-513, 511 * 804 / 256}}) {
    EXPECT_EQ(SlgTurnToEngine(c.angle), c.engine) << "angle " << c.angle;
  }
  EXPECT_EQ(SlgAngleToEngine(-1), 804 * -1 / 256);  // signed, toward zero: -3
  EXPECT_EQ(SlgAngleToEngine(-1), -3);

  struct Colour {
    uint16_t c15;
    ColorRef ref;
  };
  for (const Colour c : {Colour{0x7C00, 0x0000FF}, Colour{0x03E0, 0x00FF00},
                         Colour{0x001F, 0xFF0000}, Colour{0x0421, 0x080808},
                         Colour{0x7FFF, 0xFFFFFF}, Colour{0x8000, 0x000000}}) {
    EXPECT_EQ(SlgColorRef(c.c15), c.ref) << std::hex << c.c15;
  }
}

TEST(SlgMath, SineCosineAndAtan2) {
  const auto& table = SineTable();
  EXPECT_EQ(table.size(), 640u);
  for (int i = 0; i < 640; ++i) {
    ASSERT_EQ(table[static_cast<size_t>(i)],
              static_cast<int16_t>(std::trunc(16384.0 * std::sin(2.0 * std::numbers::pi * i / 512.0))))
        << i;
  }
  EXPECT_EQ(SlgSin(0), 0);
  EXPECT_EQ(SlgSin(128), 16384);
  EXPECT_EQ(SlgSin(256), 0);
  EXPECT_EQ(SlgSin(384), -16384);
  for (int32_t a : {0, 1, 127, 383, 384, 511, 512, 1000, -1, -128, -100000}) {
    EXPECT_EQ(SlgCos(a), table[(static_cast<uint32_t>(a) & 511u) + 128u]) << a;
    EXPECT_EQ(SlgSin(a), table[static_cast<uint32_t>(a) & 511u]) << a;
  }
  EXPECT_EQ(SlgCos(0), 16384);
  EXPECT_EQ(SlgCos(256), -16384);

  struct Atan {
    int32_t a, b, angle;
  };
  for (const Atan c : {Atan{0, 1, 0}, Atan{1, 0, 128}, Atan{0, -1, 256}, Atan{-1, 0, 384},
                       Atan{1, 1, 64}, Atan{-1, 1, 448}, Atan{0, 0, 0}}) {
    EXPECT_EQ(SlgAtan2(c.a, c.b), c.angle) << c.a << ", " << c.b;
  }
}

TEST(SlgMath, RandomComesFromThreeGeneratorSteps) {
  testsupport::TestEngine engine;
  for (uint32_t seed : {1u, 77u, 0xDEADBEEFu}) {
    SeedRandom(seed);
    const uint32_t r1 = static_cast<uint32_t>(GetRandom());
    const uint32_t r2 = static_cast<uint32_t>(GetRandom());
    const uint32_t r3 = static_cast<uint32_t>(GetRandom());
    const uint32_t r4 = static_cast<uint32_t>(GetRandom());
    const uint32_t r5 = static_cast<uint32_t>(GetRandom());
    const uint32_t r6 = static_cast<uint32_t>(GetRandom());
    SeedRandom(seed);
    EXPECT_EQ(static_cast<uint32_t>(SlgRand()), (((((r1 & 0x7FFF) << 8) ^ r2) << 8) ^ r3));
    EXPECT_EQ(static_cast<uint32_t>(SlgRand20()),
              (((((r4 & 0x7FFF) << 8) ^ r5) << 8) ^ r6) >> 4);
  }
  int32_t high = 0;
  for (int i = 0; i < 2000; ++i) {
    const int32_t v = SlgRand();
    ASSERT_GE(v, 0);
    high = std::max(high, v);
  }
  EXPECT_GT(high, 0x40000000);  // the upper bits are used
}

TEST(SlgMath, TheBattlesSeamCountsTheCallsAndAScriptReplacesTheGenerator) {
  testsupport::TestEngine engine;
  testsupport::BattleBoard board;
  SlgRandSeam& seam = Battle().rand_seam;
  SeedRandom(5);
  const int32_t seeded = SlgRand();
  SlgRand20();
  EXPECT_EQ(seam.calls, 2u);

  // A script answers in the generator's stead (its low 31 bits) and leaves the generator alone.
  const std::array<int32_t, 3> values = {7, -1, 0x12345};
  size_t next = 0;
  seam.script = [&] { return values[next++ % values.size()]; };
  SeedRandom(5);
  EXPECT_EQ(SlgRand(), 7);
  EXPECT_EQ(SlgRand(), 0x7FFFFFFF);
  EXPECT_EQ(SlgRand20(), 0x12345 >> 4);
  EXPECT_EQ(seam.calls, 5u);
  seam.script = nullptr;
  EXPECT_EQ(SlgRand(), seeded);
}

}  // namespace
