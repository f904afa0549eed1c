#include "battle/slg_gauge.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_spawn.h"
#include "battle/slg_sys_spr.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int16_t kHoldBefore[4] = {60, 40, 30, 5};
constexpr int16_t kHoldAfter[4] = {60, 40, 40, 30};
constexpr int32_t kOpen = 65536;
constexpr int32_t kShownMax = 999999;

int32_t FramesSince(uint32_t now, uint32_t since) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(now - since)} * 60 / 1000);
}
bool Hurried() { return IsKeyHeld(2) != 0; }
int Form(const DGauge& g) { return g.form < 4 ? g.form : 2; }

// The shown number as six "DamageDigit:" frames: blanks before the first non-zero digit (never
// the last), + 12 for a negative number. Numbers beyond six digits show 999999.
void SetDigits(DGauge& g, int32_t number) {
  int64_t value = std::llabs(int64_t{number});
  if (value > kShownMax) value = kShownMax;
  int32_t divisor = 100000;
  bool started = false;
  int left = 0;
  for (int i = 0; i < kDGaugeDigits; ++i, divisor /= 10) {
    const int digit = static_cast<int>(value / divisor % 10);
    if (digit != 0) started = true;
    if (!started && i < kDGaugeDigits - 1) {
      g.digit_frame[i] = 255;
    } else {
      g.digit_frame[i] = static_cast<uint8_t>(digit + (number < 0 ? 12 : 0));
      ++left;
    }
    g.digit_size[i] = -1;
    g.digit_pos[i] = {static_cast<int16_t>(16 * i), 0};
  }
  g.digits_left = static_cast<int16_t>(std::max(left, 1));
}

void SetUp(DGauge& g, int32_t life_change, int32_t kiai_change, int kiai_mode) {
  const int form = Form(g);
  const bool hurry = Hurried();
  SetDigits(g, kiai_mode != 0 ? kiai_change : life_change);
  // Life: the value and the value + change each clipped to 0 .. max.
  if (g.max_life < 1) g.max_life = 1;
  const int32_t life = std::clamp<int32_t>(g.life_target, 0, g.max_life);
  const int32_t life_new = static_cast<int32_t>(
      std::clamp<int64_t>(int64_t{g.life_target} + life_change, 0, g.max_life));
  const int32_t life_d = life_new - life;
  g.life_start = g.life_len = DGaugeBarLength(life, g.max_life);
  g.life_target = DGaugeBarLength(life_new, g.max_life);
  g.life_step = form == 2 ? 2 : 4;
  g.life_steps = static_cast<int16_t>(DGaugeBarLength(std::abs(life_d), g.max_life) / g.life_step);
  // Kiai: a value at or above the maximum is the full bar (-1).
  if (g.max_kiai < 1) g.max_kiai = 1;
  const int32_t kiai = std::clamp<int32_t>(g.kiai_target, 0, g.max_kiai);
  const int32_t kiai_new = static_cast<int32_t>(
      std::clamp<int64_t>(int64_t{g.kiai_target} + kiai_change, 0, g.max_kiai));
  const int32_t kiai_d = kiai_new - kiai;
  auto kiai_len = [&g](int32_t v) -> int16_t {
    return v >= g.max_kiai ? int16_t{-1} : DGaugeBarLength(v, g.max_kiai);
  };
  g.kiai_start = g.kiai_len = kiai_len(kiai);
  g.kiai_target = kiai_len(kiai_new);
  g.kiai_step = form == 3 ? 8 : 4;
  g.kiai_steps =
      kiai_d == 0 ? 0 : static_cast<int16_t>(DGaugeBarLength(std::abs(kiai_d), g.max_kiai) / g.kiai_step);
  g.hold = kHoldBefore[form];
  g.digit_time = 10;
  if (hurry) {
    g.life_step = static_cast<int16_t>(g.life_step * 4);
    g.life_steps = static_cast<int16_t>(g.life_steps / 4);
    g.hold = static_cast<int16_t>(g.hold / 4);
    g.digit_time /= 4;
  }
  if (g.life_steps == 0) {
    g.life_steps = 1;
    g.life_step = 0;
  }
  if (kiai_d != 0 && g.kiai_steps == 0) {
    g.kiai_steps = 1;
    g.kiai_step = 0;
  }
  if (life_d < 0) g.life_step = static_cast<int16_t>(-g.life_step);
  if (kiai_d < 0) g.kiai_step = static_cast<int16_t>(-g.kiai_step);
  g.scale = 0;
  g.bar_dx = -80;
  g.bar_dy = 0;
  g.phase = 0;
}

// One bar's count: length := start + step x g until g reaches the steps, then the target.
void CountBar(int16_t& len, int16_t start, int16_t target, int16_t step, int16_t& steps,
              uint32_t clock, uint32_t now) {
  if (steps <= 0) return;
  const int32_t g = FramesSince(now, clock);
  if (g >= steps) {
    len = target;
    steps = 0;
  } else {
    len = static_cast<int16_t>(start + step * g);
  }
}

void Draw(DGauge& g, uint32_t now) {
  const SlgPair screen = Slg::PosToScreen({g.x, g.y});
  const int sx = SlgScreenX(screen.x);
  const int sy = SlgScreenY(screen.y);
  const int64_t scale = g.scale;
  // The frame.
  int frame_h = static_cast<int>((scale + 1024) * 32 >> 16);
  if (frame_h != 0) frame_h -= 1;
  SlgSysSprPutSized(kSysLargeGauge, 2, sx - 80, sy - 96 + g.bar_dy, 159, frame_h);
  // The marker, rising a pixel every 8 frames and dropping back.
  const int b = static_cast<int>(uint64_t{now} * 60 / 1000 / 8 % 4);
  SlgSysSprPutTop(kSysLargeGauge, 3, sx - 16, sy - 96 - b);
  // The bars.
  const int h = static_cast<int>((scale + 2048) * 16 >> 16);
  if (h > 1) {
    const int bar_y = sy - 96 + g.bar_dy;
    if (g.life_len != 0) {
      SlgSysSprPutSized(kSysLifeGauge, 0, sx - 64, bar_y, g.life_len - 1, h - 1);
    }
    if (g.kiai_len == -1) {
      SlgSysSprPutSized(kSysLargeGauge, g.blink & 1, sx - 64, bar_y + h, 127, h - 1);
      g.blink = static_cast<uint16_t>(g.blink ^ 1);
    } else if (g.kiai_len > 0) {
      SlgSysSprPutSized(kSysKiaiGauge, 0, sx - 64, bar_y + h, g.kiai_len - 1, h - 1);
    }
  }
  // The digits.
  for (int i = 0; i < kDGaugeDigits; ++i) {
    const int size = g.digit_size[i];
    if (size < 0 || g.digit_frame[i] == 255) continue;
    SlgSysSprPutSized(kSysDamageDigit, g.digit_frame[i], sx - 80 + g.digit_pos[i][0],
                      sy - 32 + g.digit_pos[i][1], size - 1, 2 * size - 1);
  }
}

void EndGauge(SlgEffectTask* task, DGauge& g) {
  if (g.slot >= 0 && g.slot < kDGaugeSlots) {
    Battle().gauges[static_cast<size_t>(g.slot)] = nullptr;
    Battle().gauge_tasks[static_cast<size_t>(g.slot)] = nullptr;
  }
  SlgTaskEnd(task);
}

void GaugeBody(SlgEffectTask* task) {
  DGauge& g = *static_cast<DGauge*>(task->owned[0]);
  const uint32_t now = task->now;
  if (task->phase == kSlgPhaseStop) {
    EndGauge(task, g);
    return;
  }
  if (g.delay >= 0) {
    if (task->frames < g.delay) return;
    g.delay = -1;
    g.phase_clock = now;
  }
  const int32_t f = FramesSince(now, g.phase_clock);
  const int form = Form(g);
  switch (g.phase) {
    case 0:
      g.scale = static_cast<uint32_t>(std::min<int64_t>(int64_t{f} * 8192, kOpen));
      g.bar_dy = static_cast<int16_t>(-4 * std::min(f, 8));
      if (g.scale >= static_cast<uint32_t>(kOpen)) {
        g.bar_dy = -32;
        g.phase = 1;
        g.phase_clock = now;
      }
      break;
    case 1:
      if (f >= g.hold) {
        g.digit = kDGaugeDigits - 1;
        g.hold = kHoldAfter[form];
        if (Hurried()) g.hold = static_cast<int16_t>(g.hold / 4);
        g.life_clock = g.kiai_clock = g.digit_clock = now;
        g.phase = 2;
      }
      break;
    case 2:
      if (g.life_steps > 0 || g.kiai_steps > 0 || g.digits_left > 0) {
        CountBar(g.life_len, g.life_start, g.life_target, g.life_step, g.life_steps, g.life_clock,
                 now);
        CountBar(g.kiai_len, g.kiai_start, g.kiai_target, g.kiai_step, g.kiai_steps, g.kiai_clock,
                 now);
        if (g.digits_left > 0 && g.digit >= 0) {
          const int32_t a = std::max(FramesSince(now, g.digit_clock), 1);
          const size_t d = static_cast<size_t>(g.digit);
          g.digit_age = static_cast<int16_t>(a);
          if (a < g.digit_time) {
            g.digit_size[d] = static_cast<int8_t>(3 * a + 16);
          } else {
            g.digit_size[d] = 16;
            --g.digits_left;
            --g.digit;
            g.digit_clock = now;
          }
        }
      } else if (f >= g.hold) {
        g.phase = 3;
        g.phase_clock = now;
      }
      break;
    default: {
      const int64_t scale = (int64_t{8} - f) * 8192;
      if (scale <= 0) {
        EndGauge(task, g);
        return;
      }
      g.scale = static_cast<uint32_t>(scale);
      g.bar_dy = static_cast<int16_t>((f - 8) * 4);
      break;
    }
  }
  Draw(g, now);
}

const SlgUnit* UnitAt(int unit) {
  const BattleContext& b = Battle();
  if (unit < 0 || unit >= kSlgMaxUnits || unit >= b.state.unit_count) return nullptr;
  const SlgUnit& u = b.state.units[static_cast<size_t>(unit)];
  if (u.step == kSlgDeadStep) return nullptr;
  return &u;
}

DGaugeValues ValuesOf(const SlgUnit& u, int delay, int form) {
  DGaugeValues v;
  v.life = u.stats.life;
  v.kiai = static_cast<int16_t>(u.stats.kiai);
  v.max_life = u.stats.max_life;
  v.max_kiai = u.stats.max_kiai;
  v.x = u.x;
  v.y = u.y;
  v.delay = static_cast<int16_t>(delay);
  v.form = static_cast<uint16_t>(form);
  return v;
}

}  // namespace

int16_t DGaugeBarLength(int32_t v, int32_t max) {
  if (max < 1) max = 1;
  return static_cast<int16_t>((int64_t{v} * 65536 / max + 256) >> 9);
}

int DGaugeTask(const DGaugeValues& values, int32_t life_change, int32_t kiai_change, int /*flag*/,
               int kiai_mode) {
  auto& slots = Battle().gauges;
  int slot = -1;
  for (int i = 0; i < kDGaugeSlots; ++i) {
    if (DGaugeRunning(i) == 0) {
      slot = i;
      break;
    }
  }
  if (slot < 0) return -1;
  char name[32];
  std::snprintf(name, sizeof(name), "DGaugeTask:%2d", slot);
  SlgEffectTask* task = SlgTaskCreateWork(&GaugeBody, sizeof(DGauge), name);
  if (task == nullptr) return -1;
  DGauge& g = *static_cast<DGauge*>(task->owned[0]);
  g.life_target = values.life;
  g.kiai_target = values.kiai;
  g.max_life = values.max_life;
  g.max_kiai = values.max_kiai;
  g.x = values.x;
  g.y = values.y;
  g.delay = values.delay;
  g.form = values.form;
  g.slot = static_cast<int16_t>(slot);
  g.phase_clock = task->start;
  SetUp(g, life_change, kiai_change, kiai_mode);
  slots[static_cast<size_t>(slot)] = &g;
  Battle().gauge_tasks[static_cast<size_t>(slot)] = task;
  return slot;
}

int DGaugeCreateForUnit(int unit, int delay, int form, int flag) {
  const SlgUnit* u = UnitAt(unit);
  if (u == nullptr) return -1;
  return DGaugeTask(ValuesOf(*u, delay, form), -static_cast<int32_t>(u->stats.result),
                    u->stats.action_bytes[1], flag, 0);
}

int DGaugeRecovery(int unit, int delay) {
  const SlgUnit* u = UnitAt(unit);
  if (u == nullptr) return -1;
  return DGaugeTask(ValuesOf(*u, delay, 2), u->stats.recovery, 0, 0, 0);
}

int DGaugeKiai(int unit, int delay) {
  const SlgUnit* u = UnitAt(unit);
  if (u == nullptr) return -1;
  return DGaugeTask(ValuesOf(*u, delay, 2), 0, DGaugeKiaiRefill(*u), 0, 1);
}

int DGaugeRunning(int slot) {
  if (slot < 0 || slot >= kDGaugeSlots) return 0;
  BattleContext& b = Battle();
  const size_t i = static_cast<size_t>(slot);
  if (b.gauges[i] == nullptr) return 0;
  if (SlgTaskIsAlive(b.gauge_tasks[i]) != 0) return 1;
  b.gauges[i] = nullptr;  // its task was ended from outside (teardown)
  b.gauge_tasks[i] = nullptr;
  return 0;
}

int DGaugeKiaiRefill(const SlgUnit& unit) { return KiaiRefill(TrustLevel(unit)); }
