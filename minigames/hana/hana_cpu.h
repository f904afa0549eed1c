#pragma once
// The flower-card computer player and the opponent's line kinds, on Minigame().hana.

#include <cstdint>

namespace hana {

// The computer's evaluation for the current player. first_slot 0: chooses a hand card (slots
// 0-48) and its target; 48: the target of the drawn card in hand slot 48. Every pair of a hand
// card and a field card (field slot 48 standing for a discard) is scored over the combination
// rows; the first pair with the highest score wins. Stores the choice in cpu_hand (-1 when the
// hand was empty) and cpu_field (-1: a discard, the months differ). Returns 0 (continue) or 1
// (stop).
int CpuChoose(int first_slot);
// The computer's stop-or-continue decision for the current player: CpuChoose(0), and always stop
// (1) when the player's round total covers the other player's bank.
int CpuDecide();

struct Line {
  int32_t face = -1;
  int32_t line = -1;
};
// The opponent's face and line for a line kind (1-13); "n or n + 1" draws GetRandom() & 1, a
// choice of two at random draws once for the face, then once for the line. Kinds 12 and 13 depend
// on who dealt the round before (last_dealer). An unknown kind gives -1, -1.
Line LineFor(int kind);

}  // namespace hana
