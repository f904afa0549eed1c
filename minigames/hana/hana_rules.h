#pragma once
// The flower-card rules on Minigame().hana: tables and house rules, the deal, matching by month,
// combinations and totals, the round's payment and the match end. No screen: the match procedure
// calls these one step at a time and shows what they did; tests call them directly.
//
// Players are 0 (the user's side) and 1 (the computer). Functions given a player or slot outside
// their range do nothing and give 0 (or false).

#include <cstdint>
#include <string>

#include "minigames/hana/hana_state.h"

namespace hana {

// The tables as at the start of every match (no house rules).
void RestoreTables();
// The house rules of minigame variable 5: bit 0 clear disables both viewing rows, bit 1 makes the
// sake cup (33) a plain too, bit 2 the rain bright (41).
void ApplyHouseRules(int32_t rules);

// A match's start: tables restored (house rules applied in modes 2 and above), player flags and
// banks by mode (10 and 10; 999 for player 1 in mode 1; variable 4 - variable 10, at least 1, for
// player 1 in modes 2 and above, and both 1 when variable 4 is 1), round counter 0, player 0
// leading the first round.
void StartMatch(int mode);

// Deck positions 1-48: shuffled with 48 swaps (GetRandom() % 48), or the tutorial's fixed order.
void Shuffle(bool tutorial);

struct DealResult {
  int32_t four_month = 0;        // a month with all four cards on the field: deal again (line 23)
  uint32_t stacked_months = 0;   // bit m: month m was dealt three times and is stacked (line 24)
};
// One shuffle and deal: field 1-8, player 0's hand 9-16, player 1's 17-24, next draw 25; piles,
// values and masks cleared; the field's month counts kept. Four of a month leaves the deal as it
// is (for showing) and reports it; the caller deals again. Else months of three are stacked.
DealResult Deal(bool tutorial);
// Deals until no month has four cards on the field (the match procedure shows each redeal).
DealResult DealUntilPlayable(bool tutorial);

// Field slots holding a card of the card's month, in slot order; returns their count.
int Candidates(int card, std::array<int32_t, kSlots>& slots);

// Plays the card in the player's hand slot (0-48; 48 is the drawn card). Field slot: the chosen
// candidate; with one candidate it is taken whatever is given; with two or more a slot that is
// not one of them takes the first; with none the card is discarded to the first empty field slot.
// The taken slot gets the marker 49; the played card then the taken card (or the three other cards
// of a stacked month) go to the player's pile. Returns the cards captured (0 on a discard, -1
// when nothing was played).
int Play(int player, int hand_slot, int field_slot);
// Moves the next deck card into the player's hand slot 48 and gives it (0 when the deck is empty
// or the slot is taken).
int Draw(int player);
// Cards in the player's hand slots 0-47.
int HandCount(int player);

// Captured cards of the player carrying the bit.
int CountBit(int player, uint32_t bit);
// The formed-combination mask of the player's pile (rows in order, exclusions against the mask so
// far), not stored.
uint32_t FormedMask(int player);
// Value of a formed combination row: base plus the count beyond need.
int RowValue(int row, int count);
// The combination update after a play: stores the formed mask, the changed values and the change
// mask, and returns the change mask.
uint32_t UpdateCombinations(int player);
// 1 when the formed mask is exactly the dealer's point, else the sum of the formed rows' values.
int RoundTotal(int player);
// Exhausted hands: the player to move (the round's dealer) wins; with an empty change mask the
// formed mask becomes the dealer's point (1).
void EndRoundExhausted(int player);

// One point of the winner's payment. Mode 1: player 0's bank gains (or loses) the point, and the
// payment stops once it is below 1; other modes: the loser's bank loses the point, and the payment
// stops once it is 0 or less. Returns 1 when a point was paid, 0 when the stop rule held.
int PayPoint(int winner);
// The whole payment of a total at once; returns the points paid.
int Pay(int winner, int total);
// The winner leads the next round.
void NextRound(int winner);

// Opponent line kinds chosen at the end of a round.
constexpr int kKindLost = 10;
constexpr int kKindWon = 11;
// After a round's payment: 10 lost, 11 won, else 6-9 by the round's winner and total (the match
// goes on). Advances the round counter in modes 0 and 1.
int CheckMatchEnd(int winner, int total);
// The match's result: variable 2 := 2 (player 1's bank empty), 0 (player 0's bank below player
// 1's) or 1; variable 9 := 1 on a won match (kind 11). Returns player 0's bank, the ranking score.
int32_t FinishMatch(int kind);

// Every card 1-48 exactly once across deck (from the next draw), hands, field, piles and stacks,
// and nothing else there but 0 (and 49 on the field). On failure, why says what was wrong.
bool CheckCards(std::string* why = nullptr);

}  // namespace hana
