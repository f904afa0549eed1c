#pragma once
// The flower-card hub's own state (koi_proc.h). It lives in the minigame context, not in the
// minigame variables, so it survives the hub's chains to the card rows and their returns, and
// every test starts with a fresh one.

#include <array>
#include <cstdint>

namespace hana {

struct KoiState {
  int32_t step = -1;
  int32_t return_step = 0;  // the step the hub resumes at when a chained game hands back
  int32_t opponent = 0;     // 0-7 (the gauntlet order)
  int32_t choice = 0;       // the menu item chosen
  std::array<int32_t, 3> switches{1, 0, 0};  // the house rules (variable 5's bits)
  int32_t counter = 0;  // steps counted (the idle title)
  int32_t wait = 0;     // steps left to wait
};

}  // namespace hana
