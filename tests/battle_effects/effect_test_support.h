#pragma once
// Helpers of the attack-effect tests: the hero's sets, and the frames between two game-clock
// times as the battle counts them.

#include <cstdint>

#include "battle/slg_tables.h"
#include <string>

#include "testsupport/attack_fixtures.h"
#include "testsupport/attack_rig.h"

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

// The heroine units' sets (kinds 1 and 2): the body slots' animations 0-12 of 16 one-tick frames,
// the effect slots' 0-12 of the default length; kind 1's SPECIAL_BG a 448 x 192 background and
// three 320 x 320 cut-ins, kind 2's three 320 x 240 backgrounds.
inline void HeroineSets(testsupport::AttackFixtures& f) {
  const testsupport::AttackAnim body{.frames = 16, .ticks = 1};
  f.Slot(kAnmAttackBody, 13, body);
  f.Slot(kAnmSpecialBody, 13, body);
  f.Slot(kAnmAttackEffect, 13);
  f.Slot(kAnmSpecialEffect, 13);
  if (f.kind() == 1) {
    f.Pictures(kAnmSpecialBg, {{448, 192}, {320, 320}, {320, 320}, {320, 320}});
  } else {
    f.Pictures(kAnmSpecialBg, {{320, 240}, {320, 240}, {320, 240}});
  }
}

// Frames from the first frame the routine was called to the attacker's state 7 (0: on that frame).
inline int FramesInRoutine(const testsupport::AttackOutcome& out, const std::string& routine) {
  for (const auto& line : out.lines) {
    if (line.text == "routine " + routine) return out.state7_frame - line.frame;
  }
  return -1;
}
