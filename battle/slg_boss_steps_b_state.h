#pragma once
// The words the step lists of kinds 23, 24 and 35 keep between steps and between actions
// (battle/slg_boss_steps_b.h). Data only; BattleContext holds one, all 0 at the battle's start.

#include <cstdint>

// Kind 35's remembered kind: none.
constexpr uint8_t kBossNoRememberedKind = 128;
// Kind 35's record target byte: never written yet (the built-in record's own byte holds).
constexpr uint16_t kBossTargetByteUnset = 0xFFFF;

struct SlgBossStepsState {
  // EnemyChosenAttack: the attack (0 normal, 1 special) kinds 23 and 24 chose their target for.
  uint8_t chosen_attack = 0;
  // Kind 24: its action counter and pull marker; no step resets them.
  uint16_t pull_actions = 0;
  uint8_t pulled = 0;
  // Kind 35's target rotation: the kind of its last target, and the target byte it wrote into
  // its built-in think record (kept from step to step and from action to action).
  uint8_t remembered_kind = 0;
  uint16_t target_byte = kBossTargetByteUnset;
};
