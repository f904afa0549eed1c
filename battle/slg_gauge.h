#pragma once
// The damage gauge: a small window above a unit that opens, counts its life (or kiai) bar and
// the number of the change up or down, holds and closes. Up to 16 run at once
// (Battle().gauges); each is an effect task "DGaugeTask:%2d" whose work area is its DGauge.
//
// Forms 0-3 (the battle uses 2 for a single target, recovery and a kiai refill, 3 for each of
// several targets): hold before counting 60, 40, 30, 5 frames; hold after 60, 40, 40, 30
// (counted from the start of the hold); life step 4 a frame (form 2: 2), kiai step 4 (form 3:
// 8). Logical key 2 held at set-up hurries the life bar, the hold before and the digits by 4.

#include <cstdint>

#include "battle/slg_objects_state.h"

struct SlgUnit;

// The values a gauge starts from.
struct DGaugeValues {
  int16_t life = 0;
  int16_t kiai = 0;
  int16_t max_life = 0;
  int16_t max_kiai = 0;
  int32_t x = 0;  // the unit's map position, 16.16
  int32_t y = 0;
  int16_t delay = -1;  // frames before opening; -1 at once
  uint16_t form = 2;
};

// Starts a gauge showing the life change (or, in kiai mode, the kiai change) and runs its
// set-up at once. The slot (0-15), or -1 when all 16 run or the task cannot start.
int DGaugeTask(const DGaugeValues& values, int32_t life_change, int32_t kiai_change, int flag,
               int kiai_mode);
// The unit's gauge: life change -result, kiai change its gauge-gain byte. -1 for a slot that
// holds no unit.
int DGaugeCreateForUnit(int unit, int delay, int form, int flag);
// Form 2: life change + the unit's recovery byte, no kiai change. -1 for an empty slot.
int DGaugeRecovery(int unit, int delay);
// Form 2 in kiai mode: kiai change = the refill of the unit's trust level. -1 for an empty slot.
int DGaugeKiai(int unit, int delay);
// 1 while the gauge of that slot runs; 0 for -1, a slot out of range or a free slot.
int DGaugeRunning(int slot);

// The kiai refill of a unit: the trust formulas' KiaiRefill of its trust level.
int DGaugeKiaiRefill(const SlgUnit& unit);

// The bar length (0-128 px) of value v of max: (v x 65536 / max + 256) >> 9.
int16_t DGaugeBarLength(int32_t v, int32_t max);
