#include "minigames/hana/hana_cpu.h"

#include <algorithm>
#include <array>

#include "engine/app/doors.h"
#include "minigames/hana/hana_rules.h"
#include "minigames/minigame_context.h"

namespace hana {
namespace {

// A term of the score: (10 - need) x 100, or 2000 once the need has fallen below 0; negated when
// the pair sends the card to the field.
int Term(int need, bool same_month) {
  const int term = need < 0 ? 2000 : (10 - need) * 100;
  return same_month ? term : -term;
}

}  // namespace

int CpuChoose(int first_slot) {
  HanaState& s = Minigame().hana;
  s.cpu_hand = -1;
  s.cpu_field = -1;
  if (first_slot < 0 || first_slot >= kSlots || (s.current != 0 && s.current != 1)) return 1;
  const HanaPlayer& me = s.players[static_cast<size_t>(s.current)];

  // The rows still worth playing for: cards of the row not yet captured by either player.
  struct Row {
    uint32_t bit;
    int remaining;
    int need_me;
    int need_opp;
  };
  std::array<Row, kComboRows> rows{};
  int row_count = 0;
  for (int k = 0; k < kComboRows; ++k) {
    const HanaCombo& c = s.combos[static_cast<size_t>(k)];
    if (c.bit == 0) break;
    const int own = CountBit(s.current, c.bit);
    const int opp = CountBit(1 - s.current, c.bit);
    const int remaining = c.supply - own - opp;
    if (remaining <= 0) continue;
    rows[static_cast<size_t>(row_count++)] = Row{c.bit, remaining, c.need - own, c.need - opp};
  }

  int best = -100000;
  int min_opp_need = 256;
  bool completes = false;
  bool gives_away = false;
  for (int h = first_slot; h < kSlots; ++h) {
    const int32_t card = me.hand[static_cast<size_t>(h)];
    if (card < 1 || card > kDeckSize) continue;
    const uint32_t hand_bits = s.cards[static_cast<size_t>(card)].bits;
    const int month = s.cards[static_cast<size_t>(card)].month;
    for (int f = 0; f < kSlots; ++f) {
      int32_t target = s.field[static_cast<size_t>(f)];
      if (target == kNoCard && f != kSlots - 1) continue;
      if (target < 0 || target >= kCardRows) target = kNoCard;
      const uint32_t field_bits = s.cards[static_cast<size_t>(target)].bits;
      const bool same = s.cards[static_cast<size_t>(target)].month == month;
      int score = 0;
      for (int r = 0; r < row_count; ++r) {
        const Row& row = rows[static_cast<size_t>(r)];
        const bool in_hand = (hand_bits & row.bit) != 0;
        const bool in_field = (field_bits & row.bit) != 0;
        if (row.remaining - row.need_me >= 0) {
          const int need = row.need_me - (in_hand ? 1 : 0) - (in_field ? 1 : 0);
          const int term = Term(need, same);
          if (term == 2000) completes = true;
          if (term == -2000) gives_away = true;
          score += term;
        }
        if (row.remaining - row.need_opp >= 0) {
          min_opp_need = std::min(min_opp_need, row.need_opp);
          score += Term(row.need_opp - (in_hand || in_field ? 1 : 0), same);
        }
      }
      if (score > best) {
        best = score;
        s.cpu_hand = h;
        s.cpu_field = same ? f : -1;
      }
    }
  }
  if (completes && min_opp_need >= 2) return 0;
  if (gives_away && HandCount(s.current) > 1 && min_opp_need > 1) return 0;
  return 1;
}

int CpuDecide() {
  HanaState& s = Minigame().hana;
  int r = CpuChoose(0);
  if (s.current != 0 && s.current != 1) return r;
  if (RoundTotal(s.current) >= s.players[static_cast<size_t>(1 - s.current)].bank) r = 1;
  return r;
}

Line LineFor(int kind) {
  const HanaState& s = Minigame().hana;
  const bool computer_dealt = s.last_dealer == 1;
  auto coin = [] { return GetRandom() & 1; };
  switch (kind) {
    case 1: return {7, 14};
    case 2: return {3, 6 + coin()};
    case 3: return {8, 16 + coin()};
    case 4: return {9, 18 + coin()};
    case 5: return {2, 2 + coin()};
    case 6: return {5, 10 + coin()};
    case 7: {
      const int face = coin() ? 4 : 10;
      return {face, coin() ? 9 : 20};
    }
    case 8: {
      const int face = coin() ? 3 : 2;
      return {face, coin() ? 4 : 8};
    }
    case 9: return {6, 12 + coin()};
    case 10: return {1, 1};
    case 11: return {0, 0};
    case 12: return computer_dealt ? Line{7, 15} : Line{5, 21};
    case 13: return {2, computer_dealt ? 22 : 5};
    default: return {};
  }
}

}  // namespace hana
