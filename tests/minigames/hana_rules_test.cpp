// The flower-card rules: tables and house rules, the deal, matching, combinations, payment and the
// match end.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "hana_fixture.h"
#include "minigames/framework/minigame_framework.h"

namespace {

using hana_test::HanaFixture;
using hana_test::Position;

using HanaTables = HanaFixture;

TEST_F(HanaTables, CardsAndRowsAsListed) {
  // Class by card: brights, animals, ribbons as listed; the rest plains.
  const std::vector<int> brights = {1, 9, 29, 41, 45};
  const std::vector<int> animals = {5, 13, 17, 21, 25, 30, 33, 37, 42};
  const std::vector<int> ribbons = {2, 6, 10, 14, 18, 22, 26, 34, 38, 43};
  auto in = [](const std::vector<int>& v, int c) { return std::find(v.begin(), v.end(), c) != v.end(); };
  for (int n = 1; n <= hana::kDeckSize; ++n) {
    SCOPED_TRACE(n);
    const hana::HanaCard& card = s.cards[static_cast<size_t>(n)];
    EXPECT_EQ(card.month, (n + 3) / 4);
    EXPECT_EQ(card.picture, n);
    const int klass = in(brights, n) ? 20 : in(animals, n) ? 10 : in(ribbons, n) ? 5 : 1;
    EXPECT_EQ(card.klass, klass);
  }
  EXPECT_EQ(s.cards[0].month, 0);
  EXPECT_EQ(s.cards[0].picture, 49);
  EXPECT_EQ(s.cards[0].bits, 0u);
  EXPECT_EQ(s.cards[49].month, 0);
  EXPECT_EQ(s.cards[49].picture, 50);
  EXPECT_EQ(s.cards[49].bits, 0u);

  // Each row's supply is the number of cards carrying its bit, but for the rainy four brights,
  // which keeps 4 while all five brights carry 0x4; the dealer's point has none.
  for (int k = 0; k < hana::kComboRows; ++k) {
    const hana::HanaCombo& row = s.combos[static_cast<size_t>(k)];
    SCOPED_TRACE(row.bit);
    int carriers = 0;
    for (int n = 1; n <= hana::kDeckSize; ++n) carriers += (s.cards[static_cast<size_t>(n)].bits & row.bit) ? 1 : 0;
    EXPECT_EQ(row.supply, row.bit == hana::kRainyFour ? 4 : carriers);
    if (row.bit == hana::kRainyFour) {
      EXPECT_EQ(carriers, 5);
    }
  }
  EXPECT_EQ(s.combos[hana::kComboRows].bit, 0u);  // the end row
  const int needs[] = {5, 4, 4, 3, 3, 3, 3, 2, 2, 5, 5, 10, 99};
  const int bases[] = {15, 10, 8, 6, 6, 6, 6, 3, 3, 1, 1, 1, 1};
  const int labels[] = {8, 10, 11, 9, 6, 7, 5, 3, 4, 2, 1, 0, 14};
  for (int k = 0; k < hana::kComboRows; ++k) {
    EXPECT_EQ(s.combos[static_cast<size_t>(k)].bit, 1u << k);
    EXPECT_EQ(s.combos[static_cast<size_t>(k)].need, needs[k]);
    EXPECT_EQ(s.combos[static_cast<size_t>(k)].base, bases[k]);
    EXPECT_EQ(s.combos[static_cast<size_t>(k)].label, labels[k]);
  }
  EXPECT_EQ(s.combos[1].exclusion, 0x1u);
  EXPECT_EQ(s.combos[2].exclusion, 0x3u);
  EXPECT_EQ(s.combos[3].exclusion, 0x7u);
}

TEST_F(HanaTables, HouseRulesChangeOnlyTheirBitsAndANewMatchRestores) {
  hana::StartMatch(mg::kModeStory);
  const auto cards = s.cards;
  const auto combos = s.combos;
  for (int rules = 0; rules < 8; ++rules) {
    SCOPED_TRACE(rules);
    mg_var_set(5, rules);
    hana::StartMatch(mg::kModeHubMatch);
    for (int n = 0; n < hana::kCardRows; ++n) {
      uint32_t expected = cards[static_cast<size_t>(n)].bits;
      if (n == hana::kSakeCup && (rules & 2)) expected |= hana::kPlains;
      if (n == hana::kRainBright && (rules & 4)) expected |= hana::kPlains;
      EXPECT_EQ(s.cards[static_cast<size_t>(n)].bits, expected) << "card " << n;
    }
    for (int k = 0; k <= hana::kComboRows; ++k) {
      uint32_t expected = combos[static_cast<size_t>(k)].bit;
      if ((k == hana::kMoonRow || k == hana::kFlowerRow) && (rules & 1) == 0) expected = hana::kDisabledRow;
      EXPECT_EQ(s.combos[static_cast<size_t>(k)].bit, expected) << "row " << k;
    }
    // Modes 0 and 1 restore the plain tables whatever variable 5 holds.
    for (int mode : {mg::kModeStory, mg::kModeFreePlay}) {
      hana::StartMatch(mode);
      for (int n = 0; n < hana::kCardRows; ++n) EXPECT_EQ(s.cards[static_cast<size_t>(n)].bits, cards[static_cast<size_t>(n)].bits);
      for (int k = 0; k <= hana::kComboRows; ++k) EXPECT_EQ(s.combos[static_cast<size_t>(k)].bit, combos[static_cast<size_t>(k)].bit);
    }
  }
}

using HanaCombinations = HanaFixture;

TEST_F(HanaCombinations, FormedMaskAndTotal) {
  struct Case {
    const char* name;
    int house_rules;  // -1: mode 0 (no house rules)
    std::vector<int> pile;
    uint32_t formed;
    int total;
  };
  const Case cases[] = {
      {"five brights only", -1, {1, 9, 29, 41, 45}, 0x1, 15},
      {"four brights without rain", -1, {1, 9, 29, 45}, 0x2, 10},
      {"rain bright and three others", -1, {41, 1, 9, 29}, 0x4, 8},
      {"three brights", -1, {1, 29, 45}, 0x8, 6},
      {"rain bright and two others", -1, {41, 1, 45}, 0x0, 0},
      {"eleven plains", -1, {3, 4, 7, 8, 11, 12, 15, 16, 19, 20, 23}, 0x800, 2},
      {"ten plains", -1, {3, 4, 7, 8, 11, 12, 15, 16, 19, 20}, 0x800, 1},
      {"six animals", -1, {5, 13, 17, 21, 25, 30}, 0x200, 2},
      {"sake cup, moon and cherry", -1, {33, 29, 9}, 0x180, 6},
      {"sake cup counts as an animal", -1, {33, 5, 13, 17, 30}, 0x200, 1},
      {"red and blue ribbons, six ribbons", -1, {2, 6, 10, 22, 34, 38}, 0x430, 14},
      {"boar, deer and butterflies", -1, {21, 25, 37}, 0x40, 6},
      {"viewings off", 0, {33, 29, 9}, 0x0, 0},
      {"viewings on", 1, {33, 29, 9}, 0x180, 6},
      {"sake cup as a plain", 3, {33, 3, 4, 7, 8, 11, 12, 15, 16, 19}, 0x800, 1},
      {"sake cup not a plain", 1, {33, 3, 4, 7, 8, 11, 12, 15, 16, 19}, 0x0, 0},
      {"rain bright as a plain", 5, {41, 3, 4, 7, 8, 11, 12, 15, 16, 19}, 0x800, 1},
      {"both as plains", 7, {41, 33, 4, 7, 8, 11, 12, 15, 16, 19}, 0x800, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.house_rules < 0) {
      hana::StartMatch(mg::kModeStory);
    } else {
      mg_var_set(5, c.house_rules);
      hana::StartMatch(mg::kModeHubMatch);
    }
    s.players[0].pile = {};
    std::copy(c.pile.begin(), c.pile.end(), s.players[0].pile.begin());
    EXPECT_EQ(hana::FormedMask(0), c.formed);
    hana::UpdateCombinations(0);
    EXPECT_EQ(s.players[0].formed, c.formed);
    EXPECT_EQ(hana::RoundTotal(0), c.total);
  }
}

TEST_F(HanaCombinations, UpdateReportsNewAndImprovedRowsOnly) {
  Lay({{}, {}, {}, {3, 4, 7, 8, 11, 12, 15, 16, 19}, {}});
  EXPECT_EQ(hana::UpdateCombinations(0), 0u);
  s.players[0].pile[9] = 20;  // ten plains: new
  EXPECT_EQ(hana::UpdateCombinations(0), hana::kPlains);
  EXPECT_EQ(s.players[0].values[11], 1);
  EXPECT_EQ(hana::UpdateCombinations(0), 0u);  // unchanged
  s.players[0].pile[10] = 1;  // a bright adds nothing formed
  EXPECT_EQ(hana::UpdateCombinations(0), 0u);
  s.players[0].pile[11] = 23;  // eleven plains: improved
  EXPECT_EQ(hana::UpdateCombinations(0), hana::kPlains);
  EXPECT_EQ(s.players[0].values[11], 2);
  EXPECT_EQ(hana::RoundTotal(0), 2);
  // The dealer's point alone is worth 1 whatever the stored values.
  s.players[0].formed = hana::kDealersPoint;
  EXPECT_EQ(hana::RoundTotal(0), 1);
}

using HanaDeal = HanaFixture;

TEST_F(HanaDeal, TutorialDeckDealsTheFixedPosition) {
  const hana::DealResult result = hana::Deal(true);
  EXPECT_EQ(result.four_month, 0);
  EXPECT_EQ(result.stacked_months, 0u);
  const std::array<int32_t, 8> field = {1, 21, 13, 15, 6, 36, 11, 37};
  const std::array<int32_t, 8> hand0 = {3, 4, 9, 27, 28, 29, 46, 47};
  const std::array<int32_t, 8> hand1 = {2, 10, 18, 19, 26, 44, 23, 24};
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(s.field[i], field[i]);
    EXPECT_EQ(s.players[0].hand[i], hand0[i]);
    EXPECT_EQ(s.players[1].hand[i], hand1[i]);
  }
  EXPECT_EQ(s.next_draw, 25);
  EXPECT_EQ(s.deck[25], 22);
  EXPECT_EQ(s.deck[48], 48);
  EXPECT_EQ(s.month_counts[4], 2);
  ExpectCards();
  // The tutorial's deck ignores the generator.
  SeedRandom(777);
  hana::Deal(true);
  EXPECT_EQ(s.field[0], 1);
  EXPECT_EQ(s.players[1].hand[7], 24);
}

TEST_F(HanaDeal, FourOfAMonthIsDealtAgain) {
  uint32_t seed = 1;
  hana::DealResult result;
  for (; seed < 20000; ++seed) {
    SeedRandom(seed);
    result = hana::Deal(false);
    if (result.four_month != 0) break;
  }
  ASSERT_NE(result.four_month, 0) << "no seed dealt four of a month";
  // The deal is left for showing: all four cards of the month on the field.
  int on_field = 0;
  for (int i = 0; i < 8; ++i) on_field += (s.cards[static_cast<size_t>(s.field[static_cast<size_t>(i)])].month == result.four_month) ? 1 : 0;
  EXPECT_EQ(on_field, 4);
  ExpectCards();
  SeedRandom(seed);
  result = hana::DealUntilPlayable(false);
  EXPECT_EQ(result.four_month, 0);
  for (int m = 1; m <= hana::kMonths; ++m) EXPECT_LT(s.month_counts[static_cast<size_t>(m)], 4);
  ExpectCards();
}

TEST_F(HanaDeal, ThreeOfAMonthIsStackedAndItsFourthCardTakesAll) {
  hana::DealResult result;
  for (uint32_t seed = 1; seed < 5000; ++seed) {
    SeedRandom(seed);
    result = hana::Deal(false);
    if (result.four_month == 0 && result.stacked_months != 0) break;
  }
  ASSERT_NE(result.stacked_months, 0u);
  int month = 1;
  while ((result.stacked_months & (1u << month)) == 0) ++month;
  ExpectCards();
  // One field card of the month stays; the other two are stacked under it.
  int first_slot = -1;
  int shown = 0;
  for (int i = 0; i < hana::kSlots; ++i) {
    if (s.cards[static_cast<size_t>(s.field[static_cast<size_t>(i)])].month == month) {
      ++shown;
      if (first_slot < 0) first_slot = i;
    }
  }
  EXPECT_EQ(shown, 1);
  EXPECT_NE(s.stacked[static_cast<size_t>(month)][0], 0);
  EXPECT_NE(s.stacked[static_cast<size_t>(month)][1], 0);

  // Put the month's fourth card into player 0's hand slot 0 (swapped with the card there).
  int fourth = 0;
  for (int c = 4 * month - 3; c <= 4 * month; ++c) {
    bool placed = s.field[static_cast<size_t>(first_slot)] == c || s.stacked[static_cast<size_t>(month)][0] == c ||
                  s.stacked[static_cast<size_t>(month)][1] == c;
    if (!placed) fourth = c;
  }
  ASSERT_NE(fourth, 0);
  auto swap_into_hand = [&](int32_t& slot) {
    if (slot == fourth) {
      slot = s.players[0].hand[0];
      s.players[0].hand[0] = fourth;
    }
  };
  for (auto& c : s.players[0].hand) swap_into_hand(c);
  for (auto& c : s.players[1].hand) swap_into_hand(c);
  for (int i = s.next_draw; i <= hana::kDeckSize; ++i) swap_into_hand(s.deck[static_cast<size_t>(i)]);
  ASSERT_EQ(s.players[0].hand[0], fourth);
  ExpectCards();

  EXPECT_EQ(hana::Play(0, 0, first_slot), 4);
  EXPECT_EQ(s.field[static_cast<size_t>(first_slot)], hana::kTaken);
  EXPECT_EQ(s.players[0].pile[0], fourth);
  // Then the three others in card order.
  int at = 1;
  for (int c = 4 * month - 3; c <= 4 * month; ++c) {
    if (c != fourth) {
      EXPECT_EQ(s.players[0].pile[static_cast<size_t>(at++)], c);
    }
  }
  EXPECT_EQ(s.stacked[static_cast<size_t>(month)][0], 0);
  ExpectCards();
}

using HanaMatching = HanaFixture;

TEST_F(HanaMatching, ByMonth) {
  struct Case {
    const char* name;
    Position pos;
    int field_slot;  // the chooser's pick
    int captured;
    std::vector<int> field_after;  // slots 0-5
    std::vector<int> pile_after;
  };
  const Case cases[] = {
      {"no candidate: first empty slot", {{5, 0, 13}, {3}, {}, {}, {}}, -1, 0, {5, 3, 13, 0}, {}},
      {"no candidate ignores a pick", {{5, 49, 0, 13}, {3}, {}, {}, {}}, 0, 0, {5, 49, 3, 13}, {}},
      {"one candidate", {{5, 4, 13}, {3}, {}, {}, {}}, -1, 2, {5, 49, 13}, {3, 4}},
      {"two, the chooser's second", {{2, 5, 4}, {3}, {}, {}, {}}, 2, 2, {2, 5, 49}, {3, 4}},
      {"two, a pick not among them", {{2, 5, 4}, {3}, {}, {}, {}}, 1, 2, {49, 5, 4}, {3, 2}},
      {"three met later: one taken", {{1, 2, 5, 4}, {3}, {}, {}, {}}, 3, 2, {1, 2, 5, 49}, {3, 4}},
      {"pile appended", {{5, 4}, {3}, {}, {9, 10}, {}}, 1, 2, {5, 49}, {9, 10, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lay(c.pos);
    EXPECT_EQ(hana::Play(0, 0, c.field_slot), c.captured);
    EXPECT_EQ(s.players[0].hand[0], 0);
    for (size_t i = 0; i < c.field_after.size(); ++i) EXPECT_EQ(s.field[i], c.field_after[i]) << "slot " << i;
    for (size_t i = 0; i < c.pile_after.size(); ++i) EXPECT_EQ(s.players[0].pile[i], c.pile_after[i]) << "pile " << i;
    EXPECT_EQ(s.players[0].pile[c.pile_after.size()], 0);
    ExpectCards();
  }
}

TEST_F(HanaMatching, DrawnCardPlaysFromSlot48AndBadSlotsDoNothing) {
  Lay({{5, 4}, {7}, {}, {}, {}});
  const int first = s.deck[static_cast<size_t>(s.next_draw)];
  EXPECT_EQ(hana::Draw(0), first);
  EXPECT_EQ(s.players[0].hand[hana::kDrawSlot], first);
  EXPECT_EQ(hana::HandCount(0), 1);  // the drawn card is not in hand
  ExpectCards();
  EXPECT_EQ(hana::Draw(0), 0);  // slot 48 still taken
  EXPECT_GE(hana::Play(0, hana::kDrawSlot, -1), 0);
  EXPECT_EQ(s.players[0].hand[hana::kDrawSlot], 0);
  ExpectCards();
  // Out-of-range players, slots and empty slots play nothing.
  EXPECT_EQ(hana::Play(2, 0, -1), -1);
  EXPECT_EQ(hana::Play(0, 49, -1), -1);
  EXPECT_EQ(hana::Play(0, -1, -1), -1);
  EXPECT_EQ(hana::Play(0, 3, -1), -1);
  // An exhausted deck draws nothing.
  s.next_draw = hana::kDeckSize + 1;
  EXPECT_EQ(hana::Draw(1), 0);
  EXPECT_EQ(s.next_draw, hana::kDeckSize + 1);
}

TEST_F(HanaMatching, CardCheckFindsMissingDoubledAndStrayCards) {
  Lay({{5, 4}, {3}, {7}, {}, {}});
  std::string why;
  ASSERT_TRUE(hana::CheckCards(&why)) << why;
  s.players[1].pile[0] = 5;  // doubled
  EXPECT_FALSE(hana::CheckCards(&why));
  s.players[1].pile[0] = 0;
  s.field[0] = 0;  // missing
  EXPECT_FALSE(hana::CheckCards(&why));
  s.field[0] = 5;
  s.players[0].hand[5] = 49;  // the marker only belongs on the field
  EXPECT_FALSE(hana::CheckCards(&why));
  s.players[0].hand[5] = 0;
  s.field[7] = 60;
  EXPECT_FALSE(hana::CheckCards(&why));
  s.field[7] = 0;
  EXPECT_TRUE(hana::CheckCards(&why)) << why;
}

using HanaPayment = HanaFixture;

TEST_F(HanaPayment, BanksAtMatchStart) {
  struct Case {
    int mode;
    int var4, var10;
    int32_t bank0, bank1;
    uint32_t control0;
  };
  const Case cases[] = {
      {mg::kModeStory, 0, 0, 10, 10, hana::kUser},
      {mg::kModeFreePlay, 5, 3, 10, 999, hana::kUser},
      {mg::kModeHubMatch, 8, 0, 10, 8, hana::kUser},
      {mg::kModeHubMatch, 8, 2, 10, 6, hana::kUser},   // one continue
      {mg::kModeHubMatch, 5, 6, 10, 1, hana::kUser},   // continues never take the bank below 1
      {mg::kModeHubMatch, 20, 0, 10, 20, hana::kUser},
      {mg::kModeHubMatch, 1, 0, 1, 1, hana::kUser},    // the last opponent
      {mg::kModeHubMatch, 1, 2, 1, 1, hana::kUser},
      {mg::kModeHubTutorial, 7, 0, 10, 7, hana::kUser},
      {mg::kModeHubDemonstration, 9, 0, 10, 9, hana::kComputer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " var4 " << c.var4 << " var10 " << c.var10);
    mg_var_set(4, c.var4);
    mg_var_set(10, c.var10);
    hana::StartMatch(c.mode);
    EXPECT_EQ(s.players[0].bank, c.bank0);
    EXPECT_EQ(s.players[1].bank, c.bank1);
    EXPECT_EQ(s.players[0].control, c.control0);
    EXPECT_EQ(s.players[1].control, hana::kComputer | hana::kHidden);
    EXPECT_EQ(s.dealer, 0);
    EXPECT_EQ(s.rounds, 0);
  }
}

TEST_F(HanaPayment, OnePointAtATimeWithTheStopRulePerMode) {
  struct Case {
    const char* name;
    int mode;
    int32_t bank0, bank1;
    int winner, total;
    int paid;
    int32_t after0, after1;
  };
  const Case cases[] = {
      {"free play, player 0 wins", mg::kModeFreePlay, 10, 999, 0, 5, 5, 15, 999},
      {"free play, player 1 wins", mg::kModeFreePlay, 10, 999, 1, 4, 4, 6, 999},
      {"free play stops below 1", mg::kModeFreePlay, 3, 999, 1, 15, 3, 0, 999},
      {"story, loser pays", mg::kModeStory, 10, 10, 0, 6, 6, 10, 4},
      {"story, stops at 0", mg::kModeStory, 10, 4, 0, 15, 4, 10, 0},
      {"story, player 0 pays", mg::kModeStory, 2, 10, 1, 8, 2, 0, 10},
      {"hub, winner keeps its bank", mg::kModeHubMatch, 10, 8, 1, 3, 3, 7, 8},
      {"demonstration", mg::kModeHubDemonstration, 1, 1, 0, 2, 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hana::StartMatch(c.mode);
    s.players[0].bank = c.bank0;
    s.players[1].bank = c.bank1;
    int paid = 0;
    for (int i = 0; i < c.total; ++i) {
      const int32_t before0 = s.players[0].bank;
      const int32_t before1 = s.players[1].bank;
      if (hana::PayPoint(c.winner) == 0) {
        EXPECT_EQ(s.players[0].bank, before0);
        EXPECT_EQ(s.players[1].bank, before1);
        break;
      }
      ++paid;
      EXPECT_EQ(std::abs(s.players[0].bank - before0) + std::abs(s.players[1].bank - before1), 1);
    }
    EXPECT_EQ(paid, c.paid);
    EXPECT_EQ(s.players[0].bank, c.after0);
    EXPECT_EQ(s.players[1].bank, c.after1);
    // The whole payment at once gives the same.
    s.players[0].bank = c.bank0;
    s.players[1].bank = c.bank1;
    EXPECT_EQ(hana::Pay(c.winner, c.total), c.paid);
    EXPECT_EQ(s.players[0].bank, c.after0);
    EXPECT_EQ(s.players[1].bank, c.after1);
  }
}

TEST_F(HanaPayment, ExhaustedHandsGiveTheDealerOnePoint) {
  Lay({{}, {}, {}, {3, 4, 7, 8, 11, 12, 15, 16, 19, 20}, {}});
  hana::UpdateCombinations(0);
  EXPECT_EQ(hana::RoundTotal(0), 1);
  // Nothing changed in the last update: the dealer's point.
  s.players[0].pile[10] = 1;
  EXPECT_EQ(hana::UpdateCombinations(0), 0u);
  hana::EndRoundExhausted(0);
  EXPECT_EQ(s.players[0].formed, hana::kDealersPoint);
  EXPECT_EQ(hana::RoundTotal(0), 1);
  // A change in the last update keeps the formed rows.
  Lay({{}, {}, {}, {1, 9, 29, 45}, {}});
  EXPECT_EQ(hana::UpdateCombinations(1), 0u);
  hana::EndRoundExhausted(1);
  EXPECT_EQ(s.players[1].formed, hana::kDealersPoint);
  EXPECT_NE(hana::UpdateCombinations(0), 0u);
  hana::EndRoundExhausted(0);
  EXPECT_EQ(s.players[0].formed, hana::kFourBrights);
  EXPECT_EQ(hana::RoundTotal(0), 10);
}

TEST_F(HanaPayment, TheWinnerLeadsTheNextRound) {
  hana::StartMatch(mg::kModeStory);
  EXPECT_EQ(s.dealer, 0);
  hana::NextRound(1);
  EXPECT_EQ(s.dealer, 1);
  EXPECT_EQ(s.current, 1);
  EXPECT_EQ(s.last_dealer, 0);
  hana::NextRound(0);
  EXPECT_EQ(s.dealer, 0);
  EXPECT_EQ(s.last_dealer, 1);
}

using HanaMatchEnd = HanaFixture;

TEST_F(HanaMatchEnd, KindsAndResults) {
  struct Case {
    const char* name;
    int mode;
    int rounds_before;
    int32_t bank0, bank1;
    int winner, total;
    int kind;
    int rounds_after;
    int var2;  // -1: match goes on
    int var9;
  };
  const Case cases[] = {
      {"player 0 empty", mg::kModeStory, 0, 0, 14, 1, 10, 10, 0, 0, 0},
      {"player 1 empty", mg::kModeStory, 0, 14, 0, 0, 10, 11, 0, 2, 1},
      {"story, round 1, small win", mg::kModeStory, 0, 12, 8, 0, 2, 6, 1, -1, 0},
      {"story, round 2, big win", mg::kModeStory, 1, 16, 4, 0, 6, 7, 2, -1, 0},
      {"story, computer small win", mg::kModeStory, 0, 8, 12, 1, 5, 8, 1, -1, 0},
      {"story, computer big win", mg::kModeStory, 0, 4, 16, 1, 6, 9, 1, -1, 0},
      {"story, round 3, equal banks go on", mg::kModeStory, 2, 10, 10, 0, 1, 6, 3, -1, 0},
      {"story, round 3, ahead", mg::kModeStory, 2, 11, 9, 0, 1, 11, 3, 1, 1},
      {"story, round 3, behind", mg::kModeStory, 2, 9, 11, 1, 1, 10, 3, 0, 0},
      {"free play, round 3, 20", mg::kModeFreePlay, 2, 20, 999, 0, 1, 11, 3, 0, 1},
      {"free play, round 3, 19", mg::kModeFreePlay, 2, 19, 999, 0, 1, 10, 3, 0, 0},
      {"free play, round 2", mg::kModeFreePlay, 1, 30, 999, 0, 7, 7, 2, -1, 0},
      {"hub, no round counter", mg::kModeHubMatch, 5, 11, 9, 0, 1, 6, 5, -1, 0},
      {"hub, computer empty", mg::kModeHubMatch, 0, 3, 0, 0, 8, 11, 0, 2, 1},
      {"demonstration goes on", mg::kModeHubDemonstration, 0, 1, 3, 1, 7, 9, 0, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hana::StartMatch(c.mode);
    mg_var_set(2, -1);
    mg_var_set(9, 0);
    s.rounds = c.rounds_before;
    s.players[0].bank = c.bank0;
    s.players[1].bank = c.bank1;
    const int kind = hana::CheckMatchEnd(c.winner, c.total);
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(s.rounds, c.rounds_after);
    if (c.var2 >= 0) {
      EXPECT_EQ(hana::FinishMatch(kind), c.bank0);
      EXPECT_EQ(mg_var_get(2), c.var2);
    } else {
      EXPECT_EQ(mg_var_get(2), -1);
    }
    EXPECT_EQ(mg_var_get(9), c.var9);
  }
}

}  // namespace
