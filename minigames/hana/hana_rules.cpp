#include "minigames/hana/hana_rules.h"

#include <algorithm>

#include "engine/app/doors.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/minigame_context.h"

namespace hana {
namespace {

// Combination bits and class of cards 1-48 (month m: cards 4m-3 to 4m).
constexpr struct {
  uint32_t bits;
  int32_t klass;
} kCardTable[kDeckSize] = {
    {0x00F, 20}, {0x410, 5}, {0x800, 1}, {0x800, 1},   // 1
    {0x200, 10}, {0x410, 5}, {0x800, 1}, {0x800, 1},   // 2
    {0x10F, 20}, {0x410, 5}, {0x800, 1}, {0x800, 1},   // 3
    {0x200, 10}, {0x400, 5}, {0x800, 1}, {0x800, 1},   // 4
    {0x200, 10}, {0x400, 5}, {0x800, 1}, {0x800, 1},   // 5
    {0x240, 10}, {0x420, 5}, {0x800, 1}, {0x800, 1},   // 6
    {0x240, 10}, {0x400, 5}, {0x800, 1}, {0x800, 1},   // 7
    {0x08F, 20}, {0x200, 10}, {0x800, 1}, {0x800, 1},  // 8
    {0x380, 10}, {0x420, 5}, {0x800, 1}, {0x800, 1},   // 9
    {0x240, 10}, {0x420, 5}, {0x800, 1}, {0x800, 1},   // 10
    {0x005, 20}, {0x200, 10}, {0x400, 5}, {0x800, 1},  // 11 (41: the rain bright)
    {0x00F, 20}, {0x800, 1}, {0x800, 1}, {0x800, 1},   // 12
};

// The combination rows. The rainy four brights keep supply 4 although all five brights carry
// their bit 0x4; the supply only feeds the computer's count of cards still to be had.
constexpr HanaCombo kComboTable[kComboRows + 1] = {
    {0x0001, 5, 5, 15, 0x0000, 8},   // five brights
    {0x0002, 4, 4, 10, 0x0001, 10},  // four brights (no rain bright)
    {0x0004, 4, 4, 8, 0x0003, 11},   // rainy four brights
    {0x0008, 3, 4, 6, 0x0007, 9},    // three brights (no rain bright)
    {0x0010, 3, 3, 6, 0x0000, 6},    // red poem ribbons
    {0x0020, 3, 3, 6, 0x0000, 7},    // blue ribbons
    {0x0040, 3, 3, 6, 0x0000, 5},    // boar, deer and butterflies
    {0x0080, 2, 2, 3, 0x0000, 3},    // moon viewing with sake
    {0x0100, 2, 2, 3, 0x0000, 4},    // flower viewing with sake
    {0x0200, 5, 9, 1, 0x0000, 2},    // animals
    {0x0400, 5, 10, 1, 0x0000, 1},   // ribbons
    {0x0800, 10, 24, 1, 0x0000, 0},  // plains
    {0x1000, 99, 0, 1, 0x0000, 14},  // dealer's point (round ended without a stop)
    {0, 0, 0, 0, 0, 0},              // end
};

// The tutorial's deck, positions 1-48.
constexpr int32_t kTutorialDeck[kDeckSize] = {
    1,  21, 13, 15, 6,  36, 11, 37, 3,  4,  9,  27, 28, 29, 46, 47, 2,  10, 18, 19, 26, 44, 23, 24,
    22, 12, 38, 14, 34, 25, 43, 7,  5,  8,  16, 17, 20, 30, 31, 32, 33, 35, 39, 40, 41, 42, 45, 48};

HanaState& S() { return Minigame().hana; }

bool ValidPlayer(int player) { return player == 0 || player == 1; }

int MonthOf(int32_t card) {
  return card >= 0 && card < kCardRows ? S().cards[static_cast<size_t>(card)].month : 0;
}

uint32_t BitsOf(int32_t card) {
  return card >= 0 && card < kCardRows ? S().cards[static_cast<size_t>(card)].bits : 0;
}

// Appends a card to the first empty slot of a pile; false when the pile is full (cannot happen
// with 48 cards in 49 slots, kept as a guard).
bool PushPile(std::array<int32_t, kSlots>& pile, int32_t card) {
  for (int32_t& slot : pile) {
    if (slot == kNoCard) {
      slot = card;
      return true;
    }
  }
  return false;
}

int FirstEmptyField() {
  auto& field = S().field;
  for (int i = 0; i < kSlots; ++i) {
    if (field[static_cast<size_t>(i)] == kNoCard) return i;
  }
  return -1;
}

}  // namespace

void RestoreTables() {
  HanaState& s = S();
  s.cards[0] = HanaCard{0, 0, 0, 49};
  for (int n = 1; n <= kDeckSize; ++n) {
    const auto& row = kCardTable[n - 1];
    s.cards[static_cast<size_t>(n)] = HanaCard{row.bits, (n + 3) / 4, row.klass, n};
  }
  s.cards[kTaken] = HanaCard{0, 0, 0, 50};
  std::copy(std::begin(kComboTable), std::end(kComboTable), s.combos.begin());
}

void ApplyHouseRules(int32_t rules) {
  HanaState& s = S();
  if ((rules & 1) == 0) {
    s.combos[kMoonRow].bit = kDisabledRow;
    s.combos[kFlowerRow].bit = kDisabledRow;
  }
  if (rules & 2) s.cards[kSakeCup].bits |= kPlains;
  if (rules & 4) s.cards[kRainBright].bits |= kPlains;
}

void StartMatch(int mode) {
  HanaState& s = S();
  s.mode = mode;
  RestoreTables();
  if (mode >= 2) ApplyHouseRules(mg_var_get(5));
  s.players = {};
  s.players[0].control = mode == mg::kModeHubDemonstration ? kComputer : kUser;
  s.players[1].control = kComputer | kHidden;
  s.players[0].bank = 10;
  s.players[1].bank = 10;
  if (mode == mg::kModeFreePlay) {
    s.players[1].bank = 999;
  } else if (mode >= 2) {
    const int32_t strength = mg_var_get(4);
    s.players[1].bank = std::max<int32_t>(1, strength - mg_var_get(10));
    if (strength == 1) s.players[0].bank = 1;
  }
  s.rounds = 0;
  s.dealer = 0;
  s.last_dealer = 0;
  s.current = 0;
}

void Shuffle(bool tutorial) {
  auto& deck = S().deck;
  deck[0] = kNoCard;
  if (tutorial) {
    std::copy(std::begin(kTutorialDeck), std::end(kTutorialDeck), deck.begin() + 1);
    return;
  }
  for (int i = 1; i <= kDeckSize; ++i) deck[static_cast<size_t>(i)] = i;
  for (int i = 1; i <= kDeckSize; ++i) {
    const int j = GetRandom() % kDeckSize;
    std::swap(deck[static_cast<size_t>(i)], deck[static_cast<size_t>(j + 1)]);
  }
}

DealResult Deal(bool tutorial) {
  HanaState& s = S();
  Shuffle(tutorial);
  s.field = {};
  s.stacked = {};
  for (auto& p : s.players) {
    p.hand = {};
    p.pile = {};
    p.values = {};
    p.formed = 0;
    p.changed = 0;
  }
  for (int i = 0; i < kDealCards; ++i) {
    s.field[static_cast<size_t>(i)] = s.deck[static_cast<size_t>(1 + i)];
    s.players[0].hand[static_cast<size_t>(i)] = s.deck[static_cast<size_t>(9 + i)];
    s.players[1].hand[static_cast<size_t>(i)] = s.deck[static_cast<size_t>(17 + i)];
  }
  s.next_draw = 25;
  s.month_counts = {};
  for (int i = 0; i < kDealCards; ++i) ++s.month_counts[static_cast<size_t>(MonthOf(s.field[static_cast<size_t>(i)]))];
  DealResult result;
  for (int m = 1; m <= kMonths; ++m) {
    if (s.month_counts[static_cast<size_t>(m)] == 4) {
      result.four_month = m;
      return result;
    }
  }
  for (int m = 1; m <= kMonths; ++m) {
    if (s.month_counts[static_cast<size_t>(m)] != 3) continue;
    result.stacked_months |= 1u << m;
    int kept = 0;
    for (int i = 0; i < kDealCards; ++i) {
      int32_t& slot = s.field[static_cast<size_t>(i)];
      if (MonthOf(slot) != m) continue;
      if (kept++ == 0) continue;  // the first keeps its slot
      s.stacked[static_cast<size_t>(m)][static_cast<size_t>(kept - 2)] = slot;
      slot = kNoCard;
    }
  }
  return result;
}

DealResult DealUntilPlayable(bool tutorial) {
  DealResult result = Deal(tutorial);
  // The tutorial's deck has no four of a month; the bound only guards a fixed deck that had.
  for (int tries = 0; result.four_month != 0 && tries < 1000; ++tries) result = Deal(tutorial);
  return result;
}

int Candidates(int card, std::array<int32_t, kSlots>& slots) {
  const int month = MonthOf(card);
  int count = 0;
  if (month == 0) return 0;
  const auto& field = S().field;
  for (int i = 0; i < kSlots; ++i) {
    if (MonthOf(field[static_cast<size_t>(i)]) == month) slots[static_cast<size_t>(count++)] = i;
  }
  return count;
}

int Play(int player, int hand_slot, int field_slot) {
  HanaState& s = S();
  if (!ValidPlayer(player) || hand_slot < 0 || hand_slot >= kSlots) return -1;
  HanaPlayer& p = s.players[static_cast<size_t>(player)];
  int32_t& source = p.hand[static_cast<size_t>(hand_slot)];
  const int32_t card = source;
  if (card < 1 || card > kDeckSize) return -1;
  std::array<int32_t, kSlots> candidates{};
  const int count = Candidates(card, candidates);
  if (count == 0) {
    const int empty = FirstEmptyField();
    if (empty < 0) return -1;  // 49 field slots never fill with 48 cards; kept as a guard
    source = kNoCard;
    s.field[static_cast<size_t>(empty)] = card;
    return 0;
  }
  int take = candidates[0];
  for (int i = 0; i < count; ++i) {
    if (candidates[static_cast<size_t>(i)] == field_slot) take = field_slot;
  }
  source = kNoCard;
  int32_t& taken_slot = s.field[static_cast<size_t>(take)];
  const int32_t taken = taken_slot;
  taken_slot = kTaken;
  PushPile(p.pile, card);
  const int month = MonthOf(card);
  if (s.month_counts[static_cast<size_t>(month)] == 3) {
    // A month stacked at the deal: its fourth card takes the three others, in card order (the
    // field card and the two stacked under it).
    int captured = 1;
    auto& stack = s.stacked[static_cast<size_t>(month)];
    for (int c = 4 * month - 3; c <= 4 * month; ++c) {
      if (c == card) continue;
      bool found = c == taken;
      for (int32_t& under : stack) {
        if (under == c) {
          under = kNoCard;
          found = true;
        }
      }
      if (found) {
        PushPile(p.pile, c);
        ++captured;
      }
    }
    return captured;
  }
  PushPile(p.pile, taken);
  return 2;
}

int Draw(int player) {
  HanaState& s = S();
  if (!ValidPlayer(player) || s.next_draw < 1 || s.next_draw > kDeckSize) return 0;
  int32_t& slot = s.players[static_cast<size_t>(player)].hand[kDrawSlot];
  if (slot != kNoCard) return 0;
  slot = s.deck[static_cast<size_t>(s.next_draw++)];
  return slot;
}

int HandCount(int player) {
  if (!ValidPlayer(player)) return 0;
  const auto& hand = S().players[static_cast<size_t>(player)].hand;
  return static_cast<int>(std::count_if(hand.begin(), hand.begin() + kDrawSlot,
                                        [](int32_t c) { return c != kNoCard; }));
}

int CountBit(int player, uint32_t bit) {
  if (!ValidPlayer(player)) return 0;
  int count = 0;
  for (int32_t card : S().players[static_cast<size_t>(player)].pile) {
    if (card == kNoCard) break;
    if (BitsOf(card) & bit) ++count;
  }
  return count;
}

uint32_t FormedMask(int player) {
  uint32_t mask = 0;
  for (const HanaCombo& row : S().combos) {
    if (row.bit == 0) break;
    if (row.exclusion & mask) continue;
    if (CountBit(player, row.bit) >= row.need) mask |= row.bit;
  }
  return mask;
}

int RowValue(int row, int count) {
  if (row < 0 || row >= kComboRows) return 0;
  const HanaCombo& c = S().combos[static_cast<size_t>(row)];
  return count > c.need ? c.base + (count - c.need) : c.base;
}

uint32_t UpdateCombinations(int player) {
  if (!ValidPlayer(player)) return 0;
  HanaState& s = S();
  HanaPlayer& p = s.players[static_cast<size_t>(player)];
  p.formed = FormedMask(player);
  p.changed = 0;
  for (int k = 0; k < kComboRows; ++k) {
    const HanaCombo& row = s.combos[static_cast<size_t>(k)];
    if (row.bit == 0) break;
    if ((p.formed & row.bit) == 0) continue;
    const int value = RowValue(k, CountBit(player, row.bit));
    if (value != p.values[static_cast<size_t>(k)]) {
      p.values[static_cast<size_t>(k)] = value;
      p.changed |= row.bit;
    }
  }
  return p.changed;
}

int RoundTotal(int player) {
  if (!ValidPlayer(player)) return 0;
  const HanaState& s = S();
  const uint32_t formed = s.players[static_cast<size_t>(player)].formed;
  if (formed == kDealersPoint) return 1;
  int total = 0;
  for (int k = 0; k < kComboRows; ++k) {
    const HanaCombo& row = s.combos[static_cast<size_t>(k)];
    if (row.bit == 0) break;
    if (formed & row.bit) total += RowValue(k, CountBit(player, row.bit));
  }
  return total;
}

void EndRoundExhausted(int player) {
  if (!ValidPlayer(player)) return;
  HanaPlayer& p = S().players[static_cast<size_t>(player)];
  if (p.changed == 0) p.formed = kDealersPoint;
}

int PayPoint(int winner) {
  if (!ValidPlayer(winner)) return 0;
  HanaState& s = S();
  int32_t& bank0 = s.players[0].bank;
  if (s.mode == mg::kModeFreePlay) {
    if (bank0 < 1) return 0;
    bank0 += winner == 0 ? 1 : -1;
    return 1;
  }
  int32_t& loser = s.players[static_cast<size_t>(1 - winner)].bank;
  if (loser <= 0) return 0;
  --loser;
  return 1;
}

int Pay(int winner, int total) {
  int paid = 0;
  for (int i = 0; i < total && PayPoint(winner) == 1; ++i) ++paid;
  return paid;
}

void NextRound(int winner) {
  if (!ValidPlayer(winner)) return;
  HanaState& s = S();
  s.last_dealer = s.dealer;
  s.dealer = winner;
  s.current = winner;
}

int CheckMatchEnd(int winner, int total) {
  HanaState& s = S();
  const int32_t bank0 = s.players[0].bank;
  const int32_t bank1 = s.players[1].bank;
  if (bank0 <= 0) return kKindLost;
  if (bank1 < 1) return kKindWon;
  if (s.mode == mg::kModeStory || s.mode == mg::kModeFreePlay) ++s.rounds;
  const bool counted = s.mode == mg::kModeStory || s.mode == mg::kModeFreePlay;
  if (!counted || s.rounds < 3 || bank0 == bank1) {
    const int big = total >= 6 ? 1 : 0;
    return (winner == 0 ? 6 : 8) + big;
  }
  if (s.mode == mg::kModeFreePlay) return bank0 < 20 ? kKindLost : kKindWon;
  return bank0 >= bank1 ? kKindWon : kKindLost;
}

int32_t FinishMatch(int kind) {
  const HanaState& s = S();
  const int32_t bank0 = s.players[0].bank;
  const int32_t bank1 = s.players[1].bank;
  mg_var_set(2, bank1 <= 0 ? 2 : (bank0 < bank1 ? 0 : 1));
  if (kind == kKindWon) mg_var_set(9, 1);
  return bank0;
}

bool CheckCards(std::string* why) {
  const HanaState& s = S();
  std::array<int, kCardRows> seen{};
  std::string fault;
  auto see = [&](int32_t card, bool marker_allowed, const char* where) {
    if (card == kNoCard || (marker_allowed && card == kTaken)) return;
    if (card < 1 || card > kDeckSize) {
      if (fault.empty()) fault = std::string("card ") + std::to_string(card) + " in " + where;
      return;
    }
    ++seen[static_cast<size_t>(card)];
  };
  if (s.next_draw < 1 || s.next_draw > kDeckSize + 1) fault = "next draw " + std::to_string(s.next_draw);
  for (int i = std::max(1, s.next_draw); i <= kDeckSize; ++i) {
    const int32_t card = s.deck[static_cast<size_t>(i)];
    if (card == kNoCard && fault.empty()) fault = "empty deck position " + std::to_string(i);
    see(card, false, "the deck");
  }
  for (const HanaPlayer& p : s.players) {
    for (int32_t c : p.hand) see(c, false, "a hand");
    for (int32_t c : p.pile) see(c, false, "a pile");
  }
  for (int32_t c : s.field) see(c, true, "the field");
  for (const auto& stack : s.stacked) {
    for (int32_t c : stack) see(c, false, "a stack");
  }
  for (int c = 1; c <= kDeckSize && fault.empty(); ++c) {
    if (seen[static_cast<size_t>(c)] != 1) {
      fault = "card " + std::to_string(c) + " seen " + std::to_string(seen[static_cast<size_t>(c)]) + " times";
    }
  }
  if (why) *why = fault;
  return fault.empty();
}

}  // namespace hana
