#pragma once
// The fixed sprites' list (FixTaskList) and the work area of one fixed sprite (FixTaskWork): the
// decorative battle tasks of the battle events (battle_events/fix_task.h), kept in the battle
// context so that the core's tone change reaches them. Data only; BattleContext holds one
// (fix_tasks).

#include <array>
#include <cstdint>

struct SlgAnmObj;
struct SprAnm;
struct SlgEffectTask;

constexpr int kFixTaskMax = 64;

// The work area of a fixed-sprite task (its owned slot 0), zeroed when the task is made.
struct FixTaskWork {
  int32_t x;  // the map position, 16.16
  int32_t y;
  std::array<uint32_t, 3> step_words;  // for the per-frame function's own use
  SlgAnmObj* obj;                      // the animation object (from the battle's pool)
  int32_t shown;                       // 1 while its animation is shown
  SprAnm* anm;                         // the EventAnm animation (null: nothing is drawn)
};

// The fixed sprites in the order they were added.
struct FixTaskList {
  std::array<SlgEffectTask*, kFixTaskMax> tasks{};
  int32_t count = 0;
  // The number in the next task's name; never reset, so names stay apart over stage switches
  // and retries.
  uint32_t serial = 0;
};
