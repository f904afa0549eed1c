#pragma once
// The flower-card game's state: the card and combination tables (restored at every match start,
// then changed by the house rules), the two players and the table (field, deck, turn). It lives in
// MinigameContext::hana; the rules (hana_rules.h) and the computer (hana_cpu.h) work on it.

#include <array>
#include <cstdint>

namespace hana {

// Card numbers: 1-48 the deck (month m holds 4m-3 to 4m), 0 no card, 49 the marker left in a
// field slot whose card was taken.
constexpr int kNoCard = 0;
constexpr int kTaken = 49;
constexpr int kCardRows = 50;
constexpr int kDeckSize = 48;
constexpr int kMonths = 12;
// Hands, captured piles and the field have 49 slots; hand slot 48 holds a drawn card while it is
// being played.
constexpr int kSlots = 49;
constexpr int kDrawSlot = 48;
// Slots 0-7 of a hand and of the field receive the deal.
constexpr int kDealCards = 8;
// 13 combination rows and the end row (bit 0).
constexpr int kComboRows = 13;
constexpr int kStoredValues = 16;

// Combination bits.
constexpr uint32_t kFiveBrights = 0x1;
constexpr uint32_t kFourBrights = 0x2;
constexpr uint32_t kRainyFour = 0x4;
constexpr uint32_t kThreeBrights = 0x8;
constexpr uint32_t kMoonViewing = 0x80;
constexpr uint32_t kFlowerViewing = 0x100;
constexpr uint32_t kAnimals = 0x200;
constexpr uint32_t kRibbons = 0x400;
constexpr uint32_t kPlains = 0x800;
constexpr uint32_t kDealersPoint = 0x1000;
// The bit a disabled viewing row carries: no card has it.
constexpr uint32_t kDisabledRow = 0x10000000;
// The combination rows of the two viewings.
constexpr int kMoonRow = 7;
constexpr int kFlowerRow = 8;
// The sake cup and the rain bright, which the house rules may count as plains.
constexpr int kSakeCup = 33;
constexpr int kRainBright = 41;

// Player control flags.
constexpr uint32_t kUser = 1;
constexpr uint32_t kComputer = 2;
constexpr uint32_t kHidden = 4;

struct HanaCard {
  uint32_t bits = 0;    // the combinations the card counts for
  int32_t month = 0;    // 1-12; 0 for rows 0 and 49
  int32_t klass = 0;    // 20 bright, 10 animal, 5 ribbon, 1 plain (display only)
  int32_t picture = 0;  // card n shows picture n; row 0 the back (49), row 49 picture 50
};

struct HanaCombo {
  uint32_t bit = 0;  // 0 ends the table
  int32_t need = 0;
  int32_t supply = 0;  // cards of the deck carrying the bit (read by the computer only)
  int32_t base = 0;
  uint32_t exclusion = 0;  // skipped when any of these combinations is already formed
  int32_t label = 0;       // name plate: animation label + 160 of the od file
};

struct HanaPlayer {
  uint32_t control = 0;  // kUser, kComputer, kHidden
  int32_t bank = 0;
  uint32_t formed = 0;  // formed-combination mask
  std::array<int32_t, kSlots> hand{};
  std::array<int32_t, kSlots> pile{};  // captured cards, filled from slot 0
  std::array<int32_t, kStoredValues> values{};
  uint32_t changed = 0;  // rows whose value changed in the last update
};

// The match procedure's own state (hana_proc.h): its step, waits and what a step hands on to a
// later one.
struct HanaPlay {
  int32_t step = -1;
  int32_t wait = 0;
  int32_t timer = 0;       // steps a plate or a countdown digit has shown
  int32_t counter = 0;     // a loop's position (cards dealt, plates shown, points paid, digits)
  int32_t mode = 0;        // the mode played (an unknown mode plays as the story's)
  int32_t tutorial = 0;    // tutorial state (0 outside the tutorial)
  uint32_t tutorial_shown = 0;  // the tutorial moments already explained (bits)
  int32_t restart = 0;     // the common menu asked for a retry: the next call starts anew
  int32_t demo_steps = 0;  // steps counted in the demonstration
  int32_t demo_ending = 0;
  int32_t play_slot = -1;  // the hand slot played (48 the drawn card)
  int32_t field_slot = -1;
  int32_t candidates = 0;
  std::array<int32_t, 49> candidate_slots{};
  int32_t total_before = 0;
  int32_t captured = 0;
  uint32_t changed = 0;
  int32_t winner = -1;
  int32_t total = 0;
  int32_t kind = 0;        // the match check's line kind
  int32_t choice = 0;      // the stop-or-continue item chosen (0 continue, 1 stop)
  int32_t line_next = 0;   // the step after a line or a text
  int32_t line_hold = 0;   // the line's voice holds it
  int32_t last_kind = 0;   // the line kind said last
};

struct HanaState {
  HanaPlay play;
  std::array<HanaCard, kCardRows> cards{};
  std::array<HanaCombo, kComboRows + 1> combos{};
  std::array<HanaPlayer, 2> players{};
  std::array<int32_t, kSlots> field{};
  std::array<int32_t, kDeckSize + 1> deck{};  // positions 1-48
  int32_t next_draw = 1;                      // deck position of the next card drawn
  int32_t current = 0;                        // player to move
  int32_t dealer = 0;                         // player who leads the round
  int32_t last_dealer = 0;                    // dealer of the round before (line kinds 12, 13)
  std::array<int32_t, kMonths + 1> month_counts{};  // field cards per month after the deal
  // The two cards stacked under the first field card of a month dealt three times (0 = none).
  std::array<std::array<int32_t, 2>, kMonths + 1> stacked{};
  int32_t mode = 0;
  int32_t rounds = 0;  // round counter (modes 0 and 1)
  // The computer's last choice (hana_cpu_choose): hand slot (-1 none) and field slot (-1 discard).
  int32_t cpu_hand = -1;
  int32_t cpu_field = -1;
};

}  // namespace hana
