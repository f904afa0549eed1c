// The flower-card computer: its choice of hand card and target, its stop-or-continue decision, and
// the opponent's line kinds.

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "engine/files/random.h"
#include "hana_fixture.h"
#include "minigames/hana/hana_cpu.h"

namespace {

using hana_test::HanaFixture;
using hana_test::Position;

using HanaCpu = HanaFixture;

// Scores worked out by hand for the computer (player 1) with both piles empty: every row but the
// dealer's point counts, each side adds (10 - need) x 100 per row, 7100 + 7100 = 14200 for a pair
// of one month, negated for a discard; a card carrying a row's bit lowers the computer's need by 1
// (+100) and the opponent's need once (+100).
TEST_F(HanaCpu, ChoosesTheHighestScoreFirstPairOnTies) {
  struct Case {
    const char* name;
    Position pos;
    int first_slot;
    int hand, field;
  };
  const Case cases[] = {
      // (3, 4): 14200 + 300 = 14500; (3, 14) and (5, x) negated.
      {"the one match", {{4, 14}, {}, {3, 5}}, 0, 0, 0},
      // (1, 2): 14200 + 4 brights x 200 + red ribbons 200 + ribbons 200 = 15400 beats
      // (1, 3): 14200 + 800 + plains 200 = 15200, though card 3 lies first.
      {"bright takes the ribbon", {{3, 2}, {}, {1}}, 0, 0, 1},
      // (7, 8) and (3, 4) both 14500: the earlier hand slot.
      {"tie keeps the earlier hand slot", {{4, 8}, {}, {7, 3}}, 0, 0, 1},
      // (46, 47) and (46, 48) both 14500: the earlier field slot.
      {"tie keeps the earlier field slot", {{0, 47, 0, 48}, {}, {46}}, 0, 0, 1},
      // (3, 14) = -14600 and the discard (3, none) = -14400: a discard, field -1.
      {"no match discards", {{14}, {}, {3}}, 0, 0, -1},
      // The drawn card alone is looked at: (46, 47) although (3, 4) scores the same first.
      {"drawn card only", {{4, 47}, {}, {3}}, hana::kDrawSlot, hana::kDrawSlot, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lay(c.pos);
    s.current = 1;
    if (c.first_slot == hana::kDrawSlot) {
      // Move the deck's card 46 into hand slot 48 as a draw would.
      for (int i = s.next_draw; i <= hana::kDeckSize; ++i) {
        if (s.deck[static_cast<size_t>(i)] == 46) std::swap(s.deck[static_cast<size_t>(i)], s.deck[static_cast<size_t>(s.next_draw)]);
      }
      ASSERT_EQ(hana::Draw(1), 46);
    }
    hana::CpuChoose(c.first_slot);
    EXPECT_EQ(s.cpu_hand, c.hand);
    EXPECT_EQ(s.cpu_field, c.field);
    ExpectCards();  // the evaluation moves nothing
  }
}

TEST_F(HanaCpu, ContinueOrStopRules) {
  // The computer holds ten plains, so a pair with a plain completes the row again (2000) on the
  // same month and gives it away (-2000) as a discard.
  const std::vector<int> plains = {3, 4, 7, 8, 11, 12, 15, 16, 19, 20};
  struct Case {
    const char* name;
    Position pos;
    int result;
  };
  const Case cases[] = {
      {"completes, opponent far", {{24}, {}, {23}, {}, plains}, 0},
      // The moon lets the opponent need only the sake cup.
      {"completes, opponent one card away", {{24}, {}, {23}, {29}, plains}, 1},
      {"gives away with two cards in hand", {{23}, {}, {5, 13}, {}, plains}, 0},
      {"gives away with one card in hand", {{23}, {}, {5}, {}, plains}, 1},
      {"gives away, opponent one card away", {{23}, {}, {5, 13}, {29}, plains}, 1},
      {"nothing to complete or give", {{4}, {}, {3}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lay(c.pos);
    s.current = 1;
    EXPECT_EQ(hana::CpuChoose(0), c.result);
  }
}

TEST_F(HanaCpu, AlwaysStopsWhenItsTotalCoversTheOtherBank) {
  Lay({{24}, {}, {23}, {}, {3, 4, 7, 8, 11, 12, 15, 16, 19, 20}});
  s.current = 1;
  hana::UpdateCombinations(1);  // ten plains: total 1
  ASSERT_EQ(hana::CpuChoose(0), 0);
  s.players[0].bank = 2;
  EXPECT_EQ(hana::CpuDecide(), 0);
  s.players[0].bank = 1;
  EXPECT_EQ(hana::CpuDecide(), 1);
  // The same decision for player 0 when the computer plays that side.
  Lay({{24}, {23}, {}, {3, 4, 7, 8, 11, 12, 15, 16, 19, 20}, {}});
  s.current = 0;
  hana::UpdateCombinations(0);
  s.players[1].bank = 1;
  EXPECT_EQ(hana::CpuDecide(), 1);
  s.players[1].bank = 5;
  EXPECT_EQ(hana::CpuDecide(), 0);
}

TEST_F(HanaCpu, EmptyHandOrBadSlotChoosesNothing) {
  Lay({{4}, {}, {}});
  s.current = 1;
  EXPECT_EQ(hana::CpuChoose(0), 1);
  EXPECT_EQ(s.cpu_hand, -1);
  EXPECT_EQ(hana::CpuChoose(49), 1);
  EXPECT_EQ(hana::CpuChoose(-1), 1);
  EXPECT_EQ(s.cpu_hand, -1);
}

using HanaLines = HanaFixture;

TEST_F(HanaLines, KindToFaceAndLine) {
  // The expected pair from a generator in step with the engine's: one draw per random choice,
  // the face first.
  struct Case {
    int kind;
    int last_dealer;
    int draws;  // 0 fixed, 1 line n or n + 1, 2 face then line
    int face0, face1, line0, line1;
  };
  const Case cases[] = {
      {1, 0, 0, 7, 7, 14, 14},   {2, 0, 1, 3, 3, 6, 7},     {3, 0, 1, 8, 8, 16, 17},
      {4, 0, 1, 9, 9, 18, 19},   {5, 0, 1, 2, 2, 2, 3},     {6, 0, 1, 5, 5, 10, 11},
      {7, 0, 2, 10, 4, 20, 9},   {8, 0, 2, 2, 3, 8, 4},     {9, 0, 1, 6, 6, 12, 13},
      {10, 0, 0, 1, 1, 1, 1},    {11, 0, 0, 0, 0, 0, 0},    {12, 1, 0, 7, 7, 15, 15},
      {12, 0, 0, 5, 5, 21, 21},  {13, 1, 0, 2, 2, 22, 22},  {13, 0, 0, 2, 2, 5, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " last dealer " << c.last_dealer);
    s.last_dealer = c.last_dealer;
    std::set<int> faces, lines;
    for (uint32_t seed = 1; seed <= 16; ++seed) {
      SeedRandom(seed);
      GameRandom reference;
      reference.Seed(seed);
      const hana::Line got = hana::LineFor(c.kind);
      int face_bit = 0, line_bit = 0;
      if (c.draws == 2) face_bit = reference.Next() & 1;
      if (c.draws >= 1) line_bit = reference.Next() & 1;
      EXPECT_EQ(got.face, face_bit ? c.face1 : c.face0);
      EXPECT_EQ(got.line, line_bit ? c.line1 : c.line0);
      EXPECT_EQ(GetRandom(), reference.Next()) << "draws taken";
      faces.insert(got.face);
      lines.insert(got.line);
    }
    EXPECT_EQ(faces.size(), c.face0 == c.face1 ? 1u : 2u);
    EXPECT_EQ(lines.size(), c.line0 == c.line1 ? 1u : 2u);
  }
  EXPECT_EQ(hana::LineFor(0).face, -1);
  EXPECT_EQ(hana::LineFor(14).line, -1);
}

}  // namespace
