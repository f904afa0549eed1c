#include "testsupport/hana_selfplay.h"

#include <array>

#include "minigames/hana/hana_cpu.h"
#include "minigames/hana/hana_rules.h"
#include "minigames/minigame_context.h"

namespace testsupport {

HanaMatchRecord PlayHanaMatch(int mode, const HanaSelfPlayHooks& hooks, int max_rounds) {
  hana::HanaState& s = Minigame().hana;
  auto after = [&hooks](const char* what) {
    if (hooks.after_operation) hooks.after_operation(what);
  };
  HanaMatchRecord match;
  hana::StartMatch(mode);
  for (match.rounds = 1; match.rounds <= max_rounds; ++match.rounds) {
    while (hana::Deal(false).four_month != 0) after("deal (four of a month)");
    after("deal");
    s.current = s.dealer;
    HanaRoundRecord round;
    // Sixteen turns play out both hands; the bound guards against a rules fault looping.
    for (int turn = 0; turn <= 2 * hana::kDealCards && round.winner < 0; ++turn) {
      const int p = s.current;
      if (hana::HandCount(p) == 0) {
        hana::EndRoundExhausted(p);
        round.winner = p;
        round.exhausted = true;
        break;
      }
      hana::CpuChoose(0);
      hana::Play(p, s.cpu_hand, s.cpu_field);
      after("play");
      if (hana::Draw(p) != 0) {
        after("draw");
        hana::CpuChoose(hana::kDrawSlot);
        hana::Play(p, hana::kDrawSlot, s.cpu_field);
        after("play drawn");
      }
      if (hana::UpdateCombinations(p) != 0 && (hana::HandCount(p) == 0 || hana::CpuDecide() == 1)) {
        round.winner = p;
        break;
      }
      s.current = 1 - p;
    }
    if (round.winner < 0) return match;  // cannot happen: the hands run out within 16 turns
    round.total = hana::RoundTotal(round.winner);
    for (int i = 0; i < 2; ++i) round.banks_before[i] = s.players[static_cast<size_t>(i)].bank;
    round.paid = hana::Pay(round.winner, round.total);
    for (int i = 0; i < 2; ++i) round.banks_after[i] = s.players[static_cast<size_t>(i)].bank;
    if (hooks.after_round) hooks.after_round(round);
    const int kind = hana::CheckMatchEnd(round.winner, round.total);
    if (kind == hana::kKindLost || kind == hana::kKindWon) {
      match.kind = kind;
      match.score = hana::FinishMatch(kind);
      return match;
    }
    hana::NextRound(round.winner);
  }
  match.rounds = max_rounds;
  return match;
}

}  // namespace testsupport
