#pragma once
// A flower-card match with the computer on both sides, played on Minigame().hana through the rules
// and the computer's choices in the order the match procedure calls them (deal, each turn's hand
// card and drawn card, the combination update, the stop-or-continue decision, the payment, the
// match check). Needs current engine and minigame contexts; the caller seeds the generator and sets
// the minigame variables the mode reads.

#include <cstdint>
#include <functional>

namespace testsupport {

struct HanaRoundRecord {
  int winner = -1;
  int total = 0;
  int paid = 0;
  int32_t banks_before[2] = {0, 0};
  int32_t banks_after[2] = {0, 0};
  bool exhausted = false;  // both hands played out without a stop
};

struct HanaSelfPlayHooks {
  // After every operation that moves cards (deal, play, draw), with its name.
  std::function<void(const char* operation)> after_operation;
  std::function<void(const HanaRoundRecord&)> after_round;
};

struct HanaMatchRecord {
  int kind = 0;  // 10 lost, 11 won; 0 when the round limit cut the match
  int rounds = 0;
  int32_t score = 0;  // player 0's final bank
};

// Plays one match in the mode; gives up after max_rounds rounds (kind 0).
HanaMatchRecord PlayHanaMatch(int mode, const HanaSelfPlayHooks& hooks = {}, int max_rounds = 500);

}  // namespace testsupport
