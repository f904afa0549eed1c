#include "testsupport/minigame_bots.h"

#include <algorithm>
#include <cstdlib>

#include "minigames/cook/cook_proc.h"
#include "minigames/cook/cook_rules.h"
#include "minigames/cook/cook_state.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/hana/hana_proc.h"
#include "minigames/hana/koi_proc.h"
#include "minigames/maigo/maigo.h"
#include "minigames/minigame_context.h"
#include "minigames/shot/shot_game.h"
#include "minigames/shot/shot_state.h"
#include "minigames/shot/shot_tables.h"
#include "minigames/slot/slot_state.h"
#include "minigames/souji/souji_course.h"
#include "minigames/souji/souji_game.h"
#include "minigames/souji/souji_state.h"
#include "minigames/swim/swim.h"
#include "minigames/swim/swim_state.h"

namespace testsupport {

bool MenuBot::Act(MinigameRunner& r) {
  ++frame;
  const MinigameContext& m = Minigame();
  if (!mg_is_running() || m.menu.step != 10011) return m.menu.answer == mg::kMenuOpen;
  if (frame - last_tap >= 4) {
    const bool down = m.menu.phase == mg::kPhaseResult && quit_at_result &&
                      mg_cursor_get() != mg::kChoiceQuit;
    r.Tap(down ? kMgKeyDown : kMgKeyDecide);
    last_tap = frame;
  }
  return true;
}

void SwimStrokeBot::operator()(MinigameRunner& r) {
  if (Minigame().swim.step == 10029 && ++frame % 3 == 0) r.Tap(kMgKeyExtra);
}

uint32_t SoujiAutopilot::Next(const souji::SoujiState& s) {
  const int count = (souji::kMaxX - souji::kMinX) / 6 + 1;
  const int32_t base = souji::kMinX + (s.x - souji::kMinX) % 6;  // the places x - 6k
  auto index = [&](int32_t x) { return (x - base) / 6; };
  auto column_of = [](int32_t px) { return px < 32 ? -1 : (px - 32) / 64; };
  // Solid columns of each step ahead (the box 28 high, 6 pixels to spare either way).
  std::vector<std::array<bool, souji::kCols>> solid(kHorizon + 2);
  for (int i = 0; i < kHorizon + 2; ++i) {
    for (int c = 0; c < souji::kCols; ++c) {
      solid[static_cast<size_t>(i)][static_cast<size_t>(c)] =
          mg_map_hit(64 * c + 33, souji::kBoxY - 6 - 6 * i, 1, 28) != 0;
    }
  }
  // A place is blocked by a solid column under either side of the box (10 pixels to spare).
  auto blocked = [&](int i, int32_t x) {
    for (int32_t px : {x - 10, x + 10}) {
      const int c = column_of(px);
      if (c >= 0 && c < souji::kCols && solid[static_cast<size_t>(i)][static_cast<size_t>(c)]) {
        return true;
      }
    }
    return false;
  };
  // Obstacles of each step ahead in the leader's window, or in the follower's 14 steps later.
  std::vector<std::vector<int32_t>> near(kHorizon + 1);
  for (const souji::Obstacle& ob : s.obstacles) {
    if (ob.kind == 0) continue;
    for (int i = 0; i <= kHorizon; ++i) {
      for (int j : {i, i + souji::kRingSize}) {
        const int32_t oy = ob.y + ob.speed * j;
        const bool in_window = j == i ? oy >= 368 && oy <= 408 : oy >= 452 && oy <= 492;
        if (in_window) near[static_cast<size_t>(i)].push_back(ob.x + ob.dx * j);
      }
    }
  }
  auto danger = [&](int i, int32_t x) {
    if (blocked(i, x)) return true;
    for (int32_t ox : near[static_cast<size_t>(i)]) {
      if (std::abs(ox - x) <= kSpare) return true;
    }
    return false;
  };
  auto moved = [&](int i, int32_t x, int32_t d) {
    const int32_t nx = x + d;
    if (nx < souji::kMinX || nx > souji::kMaxX || blocked(i, nx)) return x;
    return nx;
  };
  const int32_t d0 = last_ == kMgKeyLeft ? -6 : last_ == kMgKeyRight ? 6 : 0;
  const int32_t x1 = moved(0, s.x, d0);
  // safe[i * count + k]: at place base + 6k at step i the leader lasts the horizon; only the
  // places within reach of x1 are worked out.
  const int k1 = index(x1);
  std::vector<char> safe(static_cast<size_t>((kHorizon + 1) * count), 0);
  auto at = [&](int i, int k) -> char& { return safe[static_cast<size_t>(i * count + k)]; };
  for (int i = kHorizon; i >= 1; --i) {
    const int lo = std::max(k1 - i, 0);
    const int hi = std::min(k1 + i, count - 1);
    for (int k = lo; k <= hi; ++k) {
      const int32_t x = base + 6 * k;
      if (x > souji::kMaxX || danger(i, x)) continue;
      if (i == kHorizon) {
        at(i, k) = 1;
        continue;
      }
      for (int32_t d : {0, -6, 6}) {
        if (at(i + 1, index(moved(i, x, d))) != 0) {
          at(i, k) = 1;
          break;
        }
      }
    }
  }
  uint32_t key = 0;
  const int32_t toward = x1 < 320 ? 6 : -6;  // when it must move, towards the middle first
  for (int32_t d : {0, toward, -toward}) {
    const int32_t nx = moved(1, x1, d);
    if (nx == x1 && d != 0) continue;
    if (at(2, index(nx)) != 0) {
      key = d < 0 ? kMgKeyLeft : d > 0 ? kMgKeyRight : 0;
      break;
    }
  }
  last_ = key;
  return key;
}

void SoujiAutopilot::operator()(MinigameRunner& r) {
  const souji::SoujiState& s = Minigame().souji;
  if (s.step == souji::kStepPlay) {
    SoujiDrive(r, Next(s));
  } else if (last_ != 0) {
    SoujiDrive(r, 0);
    last_ = 0;
  }
}

void SoujiDrive(MinigameRunner& r, uint32_t key) {
  r.Hold(kMgKeyLeft, key == kMgKeyLeft);
  r.Hold(kMgKeyRight, key == kMgKeyRight);
}

bool CookHoldFor176(const cook::CookState& s) {
  const int64_t v = s.velocity;
  const int64_t travel = v > 0 ? v * v / (2 * 24) : -(v * v) / (2 * 48);
  return s.heat + travel < 176 * cook::kHeatUnit;
}

void CookPlayer::Tap(MinigameRunner& r, uint32_t key) {
  if (frame - last_tap < 4) return;
  r.Tap(key);
  last_tap = frame;
}

bool CookPlayer::Act(MinigameRunner& r) {
  ++frame;
  MinigameContext& m = Minigame();
  const cook::CookState& s = m.cook;
  if (mg_obj_get_anim(mg::kObjMenuResult) != 0) saw_result_picture = true;
  bool want_hold = false;
  bool fine = false;
  if (m.menu.step == 10011) {
    fine = true;
    if (m.menu.phase == mg::kPhaseResult && quit_at_result &&
        mg_cursor_get() != mg::kChoiceQuit) {
      Tap(r, kMgKeyDown);
    } else {
      Tap(r, kMgKeyDecide);
    }
  } else if (m.menu.answer == mg::kMenuOpen) {
    fine = true;
  } else if (s.step == cook::kStepAnswer) {
    fine = true;
    const int32_t truth = s.amounts[static_cast<size_t>(s.order[static_cast<size_t>(s.question)])];
    if (careful && mg_cursor_get() != truth - 1) {
      Tap(r, kMgKeyRight);
    } else {
      Tap(r, kMgKeyDecide);
    }
  } else if (s.panel_mode == cook::kPanelCutting &&
             (s.panel_state == cook::kPanelActive || s.step == cook::kStepCountdown)) {
    fine = true;
    // On every 16th position, or the next one when a frame of two steps passed over it.
    if (careful && s.stroke == cook::kStrokeIdle && s.knife % 16 < 2 && s.knife >= 16 &&
        s.knife <= 145 && s.knife / 16 != last_knife / 16) {
      r.Tap(kMgKeyDecide);
      last_knife = s.knife;
    }
  } else if (s.panel_mode == cook::kPanelHeat &&
             (s.panel_state == cook::kPanelActive || s.step == 10044)) {
    fine = true;
    want_hold = careful && s.panel_state == cook::kPanelActive && CookHoldFor176(s);
  }
  if (want_hold != holding) {
    r.Hold(kMgKeyDecide, want_hold);
    holding = want_hold;
  }
  return fine;
}

bool HanaWaiting() {
  if (Minigame().menu.phase == mg::kPhaseResult) return false;
  const int step = Minigame().hana.play.step;
  return Minigame().cursor.object >= 0 || step == hana::kStepLine || step == hana::kStepText ||
         step == hana::kStepCombos + 2 || step == hana::kStepChooseHand ||
         step == hana::kStepChooseField || step == hana::kStepChooseStop;
}

void HanaDecideBot::operator()(MinigameRunner& r) {
  if (++frame % 8 == 0 && mg_is_running() && HanaWaiting()) r.Tap(kMgKeyDecide);
}

void SlotStopBot::operator()(MinigameRunner& r) {
  static constexpr uint32_t kKeys[3] = {kMgKeyLeft, kMgKeyUp, kMgKeyRight};
  const slot::SlotState& s = Minigame().slot;
  if (s.step == slot::kStepWaitPlay && s.coins > 0 && s.coins != started_at) {
    started_at = s.coins;
    ++play;
    tapped = {};
    r.Tap(kMgKeyDecide);
    return;
  }
  if (skip_panel && s.step == slot::kStepPanelHold) r.Tap(kMgKeyDecide);
  if (s.step != slot::kStepSpin || play < 0 || play >= static_cast<int>(offsets.size())) return;
  uint32_t keys = 0;
  for (int k = 0; k < 3; ++k) {
    // At one step a frame the spin is seen at every count; faster frames see it at or past it.
    if (!tapped[k] && s.spin_steps >= offsets[static_cast<size_t>(play)][k]) {
      keys |= kKeys[k];
      tapped[k] = true;
    }
  }
  if (keys != 0) r.Tap(keys);
}

void MaigoPickBot::operator()(MinigameRunner& r) const {
  const maigo::MaigoState& g = Minigame().maigo;
  if (g.step != maigo::kStepPick || Minigame().cursor.object != maigo::kObjCursor) return;
  const int s = g.order[static_cast<size_t>(g.round)];
  if (!finder || mg_cursor_get() == s) {
    r.Tap(kMgKeyDecide);
  } else {
    r.Pointer(maigo::SlotX(s) + 4, maigo::SlotY(s) + 4);
  }
}

void ShotAimBot::operator()(MinigameRunner& r) {
  if (MiniGameIsRunning() == 0) return;
  if (down) {
    r.MouseButton(0, false);
    down = false;
    return;
  }
  const shot::ShotState& s = Minigame().shot;
  if (s.stage < 0) return;
  const int32_t lead = r.last_steps();
  int best = -1;
  int32_t best_x = 0, best_y = 0;
  for (int i = 0; i < shot::kTargetSlots; ++i) {
    const shot::Target& t = s.targets[static_cast<size_t>(i)];
    if (t.state <= 0) continue;
    if (best >= 0 && t.layer >= s.targets[static_cast<size_t>(best)].layer) continue;
    int32_t x = t.x, y = t.y;
    if (t.kind == shot::kWalker || t.kind == shot::kFlyer) x += t.dx * lead;
    if (t.kind == shot::kFlyer) {
      const int32_t phase = (t.phase + t.phase_speed * lead) & 0xFF;
      y = t.base_y + static_cast<int32_t>(int64_t{t.dy} * mg_sin(phase) / 65536);
    }
    const int32_t cx = x + (t.box_left + t.box_right) / 2;
    const int32_t cy = y + (t.box_top + t.box_bottom) / 2;
    const int32_t hw = (t.box_right - t.box_left) / 2 + 16;
    const int32_t hh = (t.box_bottom - t.box_top) / 2 + 16;
    const std::array<std::array<int32_t, 2>, 5> aims = {
        {{cx, cy}, {cx - hw, cy}, {cx + hw, cy}, {cx, cy - hh}, {cx, cy + hh}}};
    for (const auto& a : aims) {
      if (a[0] < 0 || a[0] > 639 || a[1] < 16 || a[1] > 463) continue;
      const uint32_t mask = shot::BlockMask(a[0], a[1]);
      if (((mask & 1) != 0 && t.layer > 508) || ((mask & 2) != 0 && t.layer > 510)) continue;
      best = i;
      best_x = a[0];
      best_y = a[1];
      break;
    }
  }
  if (best < 0) return;
  r.Pointer(best_x, best_y);
  r.MouseButton(0, true);
  down = true;
}

std::function<bool(MinigameRunner&)> RowBot(int row) {
  switch (row) {
    case 1:
      return [menu = MenuBot(), swim = SwimStrokeBot()](MinigameRunner& r) mutable {
        const bool waited = menu.Act(r);
        swim(r);
        return waited;
      };
    case 2:
      return [menu = MenuBot(), pilot = SoujiAutopilot()](MinigameRunner& r) mutable {
        const bool waited = menu.Act(r);
        pilot(r);
        return waited || Minigame().souji.step == souji::kStepPlay;
      };
    case 3:
      return [player = CookPlayer()](MinigameRunner& r) mutable { return player.Act(r); };
    case 4:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return [menu = MenuBot(), cards = HanaDecideBot()](MinigameRunner& r) mutable {
        const bool waited = menu.Act(r);
        cards(r);
        return waited;
      };
    case 5: {
      SlotStopBot stops;
      stops.skip_panel = true;
      for (int p = 0; p < 10; ++p) stops.offsets.push_back({2 + p, 9 + 2 * p, 17 + 3 * p});
      return [menu = MenuBot(), stops](MinigameRunner& r) mutable {
        const bool waited = menu.Act(r);
        stops(r);
        return waited;
      };
    }
    case 6:
      return [menu = MenuBot(), pick = MaigoPickBot()](MinigameRunner& r) mutable {
        const bool waited = menu.Act(r);
        pick(r);
        return waited || Minigame().maigo.step == maigo::kStepPick;
      };
    case 7:
      return [menu = MenuBot(), aim = ShotAimBot()](MinigameRunner& r) mutable {
        const bool waited = menu.Act(r);
        aim(r);
        return waited;
      };
    case 8:
      // The hub: decide on its title opens the menu; right moves to "quit"; decide ends it.
      return [phase = 0](MinigameRunner& r) mutable {
        const int32_t step = Minigame().koi.step;
        if (phase == 0 && step == hana::kKoiTitleIdle) {
          r.Tap(kMgKeyDecide);
          phase = 1;
        } else if (phase == 1 && step == hana::kKoiMenu) {
          r.Tap(kMgKeyRight);
          phase = 2;
        } else if (phase == 2 && step == hana::kKoiMenu && mg_cursor_get() == hana::kKoiQuit) {
          r.Tap(kMgKeyDecide);
          phase = 3;
        }
        return true;
      };
    default:
      return [menu = MenuBot()](MinigameRunner& r) mutable { return menu.Act(r); };
  }
}

}  // namespace testsupport
