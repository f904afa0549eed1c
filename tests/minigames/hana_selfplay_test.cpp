// Seeded flower-card matches with the computer on both sides: every match ends, the 48 cards stay
// whole after every operation, and the banks follow the payment rules of the mode.

#include <gtest/gtest.h>

#include <string>

#include "hana_fixture.h"
#include "minigames/framework/minigame_framework.h"
#include "testsupport/hana_selfplay.h"

namespace {

using hana_test::HanaFixture;

class HanaSelfPlay : public HanaFixture {
 protected:
  // Plays the seeds' matches in the mode; stops at the first fault.
  void PlayMatches(int mode, uint32_t first_seed, int matches) {
    std::string fault;
    int exhausted = 0, stopped = 0, won = 0, lost = 0;
    testsupport::HanaSelfPlayHooks hooks;
    hooks.after_operation = [&fault](const char* operation) {
      std::string why;
      if (fault.empty() && !hana::CheckCards(&why)) fault = std::string("after ") + operation + ": " + why;
    };
    hooks.after_round = [&fault, &exhausted, &stopped, mode](const testsupport::HanaRoundRecord& r) {
      ++(r.exhausted ? exhausted : stopped);
      if (!fault.empty()) return;
      const int loser = 1 - r.winner;
      bool ok = r.total >= 1 && r.paid >= 0 && r.paid <= r.total;
      if (mode == mg::kModeFreePlay) {
        const int sign = r.winner == 0 ? 1 : -1;
        ok = ok && r.banks_after[1] == 999 && r.banks_after[0] == r.banks_before[0] + sign * r.paid &&
             (r.paid == r.total || r.banks_after[0] < 1);
      } else {
        ok = ok && r.banks_after[r.winner] == r.banks_before[r.winner] &&
             r.banks_after[loser] == r.banks_before[loser] - r.paid && r.banks_after[loser] >= 0 &&
             (r.paid == r.total || r.banks_after[loser] == 0);
      }
      if (!ok) {
        fault = "payment of " + std::to_string(r.total) + " by " + std::to_string(r.winner) + ": banks " +
                std::to_string(r.banks_before[0]) + "/" + std::to_string(r.banks_before[1]) + " -> " +
                std::to_string(r.banks_after[0]) + "/" + std::to_string(r.banks_after[1]);
      }
    };
    for (int i = 0; i < matches && fault.empty(); ++i) {
      const uint32_t seed = first_seed + static_cast<uint32_t>(i);
      SeedRandom(seed);
      mg_var_set(4, 1 + static_cast<int32_t>(seed % 20));  // opponent strength 1-20
      mg_var_set(5, static_cast<int32_t>(seed % 8));       // house rules
      mg_var_set(10, static_cast<int32_t>(seed % 3) * 2);  // continues taken
      const testsupport::HanaMatchRecord match = testsupport::PlayHanaMatch(mode, hooks);
      ASSERT_TRUE(match.kind == hana::kKindLost || match.kind == hana::kKindWon)
          << "seed " << seed << ": no end after " << match.rounds << " rounds";
      ASSERT_TRUE(fault.empty()) << "seed " << seed << ": " << fault;
      ASSERT_EQ(match.score, s.players[0].bank);
      ++(match.kind == hana::kKindWon ? won : lost);
      ASSERT_EQ(mg_var_get(2), s.players[1].bank <= 0 ? 2 : (s.players[0].bank < s.players[1].bank ? 0 : 1));
      if (mode == mg::kModeStory || mode == mg::kModeFreePlay) {
        ASSERT_TRUE(match.rounds >= 3 || s.players[0].bank <= 0 || s.players[1].bank <= 0) << "seed " << seed;
      } else {
        ASSERT_TRUE(s.players[0].bank <= 0 || s.players[1].bank <= 0) << "seed " << seed;
      }
    }
    // The seeds reach both ways a round ends and both ends of a match.
    EXPECT_GT(exhausted, 0);
    EXPECT_GT(stopped, 0);
    EXPECT_GT(won, 0);
    EXPECT_GT(lost, 0);
  }
};

TEST_F(HanaSelfPlay, Story) { PlayMatches(mg::kModeStory, 1000, 250); }
TEST_F(HanaSelfPlay, FreePlay) { PlayMatches(mg::kModeFreePlay, 2000, 250); }
TEST_F(HanaSelfPlay, HubMatch) { PlayMatches(mg::kModeHubMatch, 3000, 250); }
TEST_F(HanaSelfPlay, Demonstration) { PlayMatches(mg::kModeHubDemonstration, 4000, 250); }

}  // namespace
