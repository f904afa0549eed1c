#pragma once
// The enemy phase's own words (battle/slg_enemy.h, battle/slg_enemy_think.h): the think step the
// acting enemy runs next and the step to take once the action a step started is over. Data only;
// BattleContext holds one. The think the unit follows and the target, support ally and
// destination words are the decision searches' (SlgThinkSearchState).

#include <cstdint>

// Think steps with a meaning of their own outside the table.
constexpr uint16_t kThinkStepChoose = 0;  // choose the think (the entry of every action)
constexpr uint16_t kThinkStepEnd = 18;    // end of the unit's action
constexpr int kThinkStepCount = 23;

struct SlgEnemyState {
  uint16_t think_step = kThinkStepChoose;  // EnemyThinkStep: the row of the think table run next
  uint16_t next_step = kThinkStepEnd;      // EnemyNextStep: taken once the started action is over
};
