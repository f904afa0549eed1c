#pragma once
// The hero's sets for his attack tests (kind 0, and kind 7 for the cover move): SPECIAL_BODY
// animation 0 of 32 one-tick frames, SPECIAL_EFFECT animations 0-4, ATTACK_EFFECT 0-9 and the
// SPECIAL_BG pictures 0 (the flash) and 1 (the background's tile), 1024 x 512 each.

#include "battle/slg_tables.h"
#include "testsupport/attack_fixtures.h"

inline void HeroSets(testsupport::AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, {testsupport::AttackAnim{.frames = 32, .ticks = 1}});
  f.Slot(kAnmSpecialEffect, 5);
  f.Slot(kAnmAttackEffect, 10);
  f.Pictures(kAnmSpecialBg, {{1024, 512}, {1024, 512}});
}
