#pragma once
// Fixture of the flower-card rules tests: fresh engine and minigame contexts (the rules read the
// minigame variables and draw from the engine's generator), and a builder of table positions that
// puts every card not placed by the test into the deck, so the 48-card check holds.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/app/doors.h"
#include "minigames/hana/hana_rules.h"
#include "minigames/minigame_context.h"
#include "testsupport/test_game.h"

namespace hana_test {

struct Position {
  std::vector<int> field = {};  // slots from 0 (0 leaves a slot empty)
  std::vector<int> hand0 = {};
  std::vector<int> hand1 = {};
  std::vector<int> pile0 = {};
  std::vector<int> pile1 = {};
};

class HanaFixture : public ::testing::Test {
 protected:
  HanaFixture() {
    SeedRandom(1);
    hana::StartMatch(mg::kModeStory);
  }

  // Lays out a position: the listed cards where given, every other card in the deck (the last
  // deck positions), the next draw at the first of them.
  void Lay(const Position& pos) {
    s.field = {};
    s.stacked = {};
    s.month_counts = {};
    for (auto& p : s.players) {
      p.hand = {};
      p.pile = {};
      p.values = {};
      p.formed = 0;
      p.changed = 0;
    }
    std::array<bool, hana::kCardRows> used{};
    auto place = [&used](const std::vector<int>& cards, std::array<int32_t, hana::kSlots>& slots) {
      size_t i = 0;
      for (int c : cards) {
        slots[i++] = c;
        if (c >= 1 && c <= hana::kDeckSize) used[static_cast<size_t>(c)] = true;
      }
    };
    place(pos.field, s.field);
    place(pos.hand0, s.players[0].hand);
    place(pos.hand1, s.players[1].hand);
    place(pos.pile0, s.players[0].pile);
    place(pos.pile1, s.players[1].pile);
    int free = 0;
    for (int c = 1; c <= hana::kDeckSize; ++c) free += used[static_cast<size_t>(c)] ? 0 : 1;
    s.deck = {};
    s.next_draw = hana::kDeckSize + 1 - free;
    int at = s.next_draw;
    for (int c = 1; c <= hana::kDeckSize; ++c) {
      if (!used[static_cast<size_t>(c)]) s.deck[static_cast<size_t>(at++)] = c;
    }
  }

  void ExpectCards() {
    std::string why;
    EXPECT_TRUE(hana::CheckCards(&why)) << why;
  }

  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  hana::HanaState& s = minigame.hana;
};

}  // namespace hana_test
