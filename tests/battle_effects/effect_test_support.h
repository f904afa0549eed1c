#pragma once
// Helpers of the attack-effect tests: the hero's sets, and the frames between two game-clock
// times as the battle counts them.

#include <cstdint>

#include "battle/slg_tables.h"
#include "testsupport/attack_fixtures.h"

// The hero's sets for his attack tests (kind 0, and kind 7 for the cover move): SPECIAL_BODY
// animation 0 of 32 one-tick frames, SPECIAL_EFFECT animations 0-4, ATTACK_EFFECT 0-9 and the
// SPECIAL_BG pictures 0 (the flash) and 1 (the background's tile), 1024 x 512 each.
inline void HeroSets(testsupport::AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, {testsupport::AttackAnim{.frames = 32, .ticks = 1}});
  f.Slot(kAnmSpecialEffect, 5);
  f.Slot(kAnmAttackEffect, 10);
  f.Pictures(kAnmSpecialBg, {{1024, 512}, {1024, 512}});
}

// (to - from) x 60 / 1000, toward zero: the frames the battle counts from `from` at `to` (ms).
inline int32_t FramesBetween(uint32_t from, uint32_t to) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(to - from)} * 60 / 1000);
}
