#pragma once
// The state blocks of the animation-object pool, the system sprites, the damage gauges, the
// battle message and the death actions, held in BattleContext (zero-filled per battle).

#include <array>
#include <cstdint>

#include "battle/slg_anm_obj.h"

struct SprAnm;

// ---- The animation-object pool (battle/slg_anm_pool.h) ----
constexpr int kSlgAnmPoolSize = 128;
struct SlgAnmObjPool {
  std::array<SlgAnmObj, kSlgAnmPoolSize> objects;
  int32_t in_use;  // objects taken and not returned
  int32_t calls;   // + 1 per take attempt, - 1 per return attempt
};

// ---- System sprites (battle/slg_sys_spr.h) ----
// System.Tab slots.
enum SlgSysSlot : int {
  kSysCursor = 0,
  kSysMouseCursor = 1,
  kSysGrid = 2,
  kSysCommandWindow = 3,
  kSysInfoWindow = 4,
  kSysLifeGauge = 5,
  kSysKiaiGauge = 6,
  kSysMojiBDigit = 7,
  kSysDamageDigit = 8,
  kSysLargeGauge = 9,
  kSysOkuriCursor = 10,
  kSysShadow = 11,
  kSysBougyoEffect = 12,
  kSysKaifukuEffect = 13,
  kSysTameEffect = 14,
  kSysPachiPachiEffect = 15,
  kSysContinue = 16,
  kSysYesNo = 17,
  kSysStartMenu = 18,
  kSysAllMap = 19,
  kSysNameUnit = 20,
  kSysNameCharacter = 21,
  kSysNameSpecialAttack = 22,
};
constexpr int kSlgSysSpriteCount = 23;
// One System.Tab sprite: the loaded file (null: not loaded) and the object the windows play
// from it.
struct SlgSystemSprite {
  SprAnm* file;
  SlgAnmObj obj;
};

// ---- Damage gauges (battle/slg_gauge.h) ----
constexpr int kDGaugeSlots = 16;
constexpr int kDGaugeDigits = 6;
struct DGauge {
  int16_t life_target;  // the unit's life when made; after set-up the life bar's target length
  int16_t kiai_target;  // the same for kiai (-1 = full)
  int16_t max_life, max_kiai;
  int32_t x, y;         // the unit's map position (16.16) when made
  int16_t delay;        // frames before opening (-1: at once)
  uint16_t form;        // 0-3
  uint32_t scale;       // 16.16 vertical scale (0 closed, 1.0 open)
  int16_t bar_dx, bar_dy;
  int16_t life_len, kiai_len;      // current bar lengths (kiai -1 = full)
  int16_t life_start, kiai_start;  // lengths when made
  uint16_t blink;
  std::array<std::array<int16_t, 2>, kDGaugeDigits> digit_pos;
  std::array<uint8_t, kDGaugeDigits> digit_frame;  // "DamageDigit:" frame, 255 blank
  std::array<int8_t, kDGaugeDigits> digit_size;    // -1 not shown yet
  int16_t life_step, life_steps;
  int16_t kiai_step, kiai_steps;
  int16_t digits_left;
  int16_t hold;
  int16_t digit;      // the digit appearing now (5 = units)
  int16_t digit_age;
  int16_t slot;
  int32_t digit_time;  // frames a digit takes to appear (10, 2 hurried)
  uint32_t life_clock, kiai_clock, digit_clock;
  uint32_t phase_clock;  // game clock (ms) the phase frames count from
  uint8_t phase;         // 0 open, 1 hold, 2 count, 3 close
};

// ---- The battle message (battle/slg_message.h) ----
struct SlgMessageState {
  int32_t wait_state;  // MessageWait's state: 0 typing, 1 waiting for the key, 2 done
  int32_t auto_flag;   // 1: the message ends once typed
};

// ---- Death actions (battle/slg_death.h) ----
struct SlgDeathState {
  std::array<uint8_t, 256> state;
  uint8_t player_deaths;  // units of side 0 that have finished dying
  uint8_t enemy_deaths;   // enemy units (the retainer and kouma actions share it)
  uint8_t object_deaths;  // map objects
  // Per unit slot while its death action runs: the game clock (ms) its current wait counts from
  // and the wait in frames (kept here rather than on the body, which a unit may lack).
  std::array<uint32_t, 64> start;
  std::array<uint16_t, 64> wait;
};
