#pragma once
// The lost-child game's state (row 6), a member of MinigameContext (`maigo`). Plain data: the
// procedure in maigo.cpp drives it, tests read and set it.

#include <array>
#include <cstdint>

namespace maigo {

constexpr int kSlots = 9;        // children on the screen (a three-by-three grid)
constexpr int kKinds = 15;       // child kinds, names and clue forms
constexpr int kLives = 3;
constexpr int kClueBytes = 256;  // the clue line, terminator included

struct MaigoState {
  int32_t step = -1;
  int32_t wait = 0;
  // Shuffled tables: kinds[slot] is the kind of the child in that slot (the first nine are on
  // the screen), names[kind] the index of its name, order[n] the slot sought in round n,
  // forms[kind] the clue form of that kind.
  std::array<int32_t, kKinds> kinds{};
  std::array<int32_t, kKinds> names{};
  std::array<int32_t, kSlots> order{};
  std::array<int32_t, kKinds> forms{};
  std::array<int32_t, kSlots> found{};
  int32_t round = 0;        // 0-8: the child sought is in slot order[round]
  int32_t found_count = 0;
  int32_t lives = kLives;
  int32_t picked = -1;      // the slot picked this round
  int32_t timer = 0;        // steps of the search
  int32_t timer_running = 0;
  int32_t walk_steps = 0;   // steps walked (the footstep sound every 10)
  int32_t result_time = 0;  // T of the end
  std::array<char, kClueBytes> clue{};
};

}  // namespace maigo
