#include "minigames/framework/minigame_framework.h"

#include <algorithm>
#include <cmath>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "game/game_state.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_save.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/framework/minigame_text.h"
#include "minigames/minigame_context.h"
#include "platform/clock.h"
#include "platform/platform.h"

namespace {

constexpr int32_t kMaxSteps = 6;
constexpr double kAngleStep = 0.02454369234375;

MgFramework& Fw() { return Minigame().fw; }

uint32_t Now() { return Ctx().platform.clock->TickCount(); }

bool ValidGame(int game, const char* who) {
  if (game >= 0 && game < mg::kGameCount) return true;
  DebugPrint("%s: game %d refused (0-15)\n", who, game);
  return false;
}

void FillAngleTables(MgFramework& fw) {
  for (int i = 0; i < 256; ++i) {
    fw.sin_table[static_cast<size_t>(i)] = static_cast<int32_t>(std::sin(i * kAngleStep) * 65536.0);
    fw.cos_table[static_cast<size_t>(i)] = static_cast<int32_t>(std::cos(i * kAngleStep) * 65536.0);
  }
}

void RestartClock(MgFramework& fw) {
  fw.start_tick = Now();
  fw.last_tick_count = 0;
  fw.catch_up_limit = 1;
}

// Ends the game on a failed step: the reason is the game's message when it left one.
int EndWith(int result, const char* reason) {
  MgFramework& fw = Fw();
  fw.end_reason = fw.message.empty() ? reason : fw.message;
  fw.end_result = result;
  DebugPrint("minigame %d ended: %d (%s)\n", fw.game, result, fw.end_reason.c_str());
  mg_end();
  return result;
}

// Once per frame after the steps: the cursor follows the input.
void CursorUpdate() { mg_cursor_update(); }

// The cursor (its object reset, its targets cleared), the static sound list and the text
// window go.
void RemoveCursorAndSounds() {
  mg_text_remove();
  mg_cursor_close();
  Minigame().cursor.targets.fill(MgCursorTarget{});
  mg_static_remove();
}

// Once per step after the procedure: the message printer, the screen shake, the per-step hook
// and the object update.
void StepUpdate() {
  mg_print_step();
  mg_shake_step();
  mg_obj_update();
}

// Reloads the od file when a surface of the image slots was lost.
void CheckSurfaces() {
  MinigameContext& m = Minigame();
  for (int32_t i = 0; i < mg::kImageSlotCount; ++i) {
    if (mg_surf_lost(i) == 0) continue;
    DebugPrint("mg_frame: slot %d lost; reloading %s\n", i, m.od.path.c_str());
    const std::string path = m.od.path;
    mg_obj_create(path.c_str());
    mg_freezes_remake();
    return;
  }
}

// The frame's picture: the scene into 1023, or through 1021 with the brightness applied.
void DrawWithFade(MgFramework& fw) {
  if (fw.brightness >= 256) {
    if (fw.fade_phase != 0) {
      mg_surf_free(mg::kSlotFade);
      fw.fade_phase = 0;
    }
    mg_draw(mg::kSlotScreen);
    return;
  }
  if (fw.fade_phase == 0) {
    mg_surf_create(mg::kSlotFade, kScreenWidth, kScreenHeight, 1);
    fw.fade_phase = 1;
  }
  if (fw.fade_phase == 1) {
    mg_draw(mg::kSlotFade);
    fw.fade_phase = 2;
  }
  if (fw.fade_phase == 2) {
    mg_bright(mg::kSlotScreen, 0, 0, kScreenWidth, kScreenHeight, mg::kSlotFade, 0, 0,
              std::max(fw.brightness, 0));
  }
}

}  // namespace

// ---- Entries ----

// The flow's fresh entry: variables 1, 2 and 9 cleared, so a fresh start is told from a return
// and no earlier result reaches the script, and no game remembered for mg_return. A chain or a
// return goes through mg_start and keeps them.
int MiniGameStart(int game, int mode) {
  MinigameContext& m = Minigame();
  m.vars[1] = 0;
  m.vars[2] = 0;
  m.vars[9] = 0;
  m.fw.return_game = -1;
  m.fw.return_mode = 0;
  return mg_start(game, mode);
}
int MiniGameEnd() { return mg_end(); }
int MiniGameIsRunning() { return mg_is_running(); }
int MiniGameTask() { return mg_frame(); }

int MiniGameResult() {
  return GetAdvState()->minigameMode() != 0 ? mg_var_get(9) : mg_var_get(2);
}

// ---- Framework ----

int mg_start(int game, int mode) {
  if (!ValidGame(game, "mg_start")) return 0;
  mg_end();
  MinigameContext& m = Minigame();
  if (m.games[static_cast<size_t>(game)].path == nullptr) return 0;
  mg_screen_open();
  mg_set_clip(0, 0, kScreenWidth, kScreenHeight);
  m.images.fill(MgImageSlot{});
  mg_reset();
  MgFramework& fw = m.fw;
  fw.mode = mode;
  std::fill(m.vars.begin() + mg::kFirstSavedVar, m.vars.end(), 0);
  fw.state = mg::kStateLoadPending;
  fw.game = game;
  fw.end_reason.clear();
  fw.message.clear();
  fw.end_result = 0;
  mg_save_read();
  m.vars[0] = game;
  m.vars[3] = mode;
  m.vars[11] = GetMacroA(0);
  m.vars[12] = mode != 0 ? GetMacroP(80) : GetMacroP(83);
  FillAngleTables(fw);
  RestartClock(fw);
  fw.running = 1;
  return 1;
}

int mg_end() {
  MinigameContext& m = Minigame();
  MgFramework& fw = m.fw;
  if (fw.running == 0) return 1;
  fw.running = 0;
  mg_save_write();
  mg_se_stop();
  mg_voice_stop();
  for (int32_t i = 0; i < mg::kImageSlotCount; ++i) mg_surf_free(i);
  m.images.fill(MgImageSlot{});
  // The removals of mg_reset: the text window, the cursor and the static sound list, the
  // freezes, snapshots and tile map.
  RemoveCursorAndSounds();
  mg_freeze_a_off();
  mg_freeze_b_off();
  mg_snapshots_free();
  m.draw = MgDrawState{};
  fw.state = mg::kStateIdle;
  mg_screen_close();
  return 1;
}

void mg_reset() {
  MinigameContext& m = Minigame();
  RemoveCursorAndSounds();
  mg_freeze_a_off();
  mg_freeze_b_off();
  mg_snapshots_free();
  m.draw = MgDrawState{};
  mg_obj_clear_all();
  MgFramework& fw = m.fw;
  fw.fade_phase = 0;
  fw.brightness = 256;
  fw.cross_fade = 256;
  fw.clear_to_black = 0;
  fw.letterbox = 0;
  if (fw.white_flash < 1000) fw.white_flash = 0;
  fw.message_skip = 0;
}

int mg_chain(int game, int mode) {
  if (!ValidGame(game, "mg_chain")) return 0;
  MgFramework& fw = Fw();
  fw.return_game = fw.game;
  fw.return_mode = fw.mode;
  return mg_start(game, mode);
}

int mg_return(int value) {
  const MgFramework& fw = Fw();
  if (fw.return_game < 0) {
    // Nothing was chained (a card game started by the flow or the debug menu): the value is the
    // result and the minigame ends, so the story goes on.
    mg_var_set(1, value);
    mg_end();
    return 1;
  }
  const int result = mg_start(fw.return_game, fw.return_mode);
  mg_var_set(1, value);
  return result;
}

int mg_is_running() { return Fw().state != mg::kStateIdle ? 1 : 0; }

int mg_frame() {
  MinigameContext& m = Minigame();
  MgFramework& fw = m.fw;
  fw.last_steps = 0;
  if (fw.state == mg::kStateIdle) return 1;
  if (fw.state == mg::kStateRunning) CheckSurfaces();

  const uint32_t elapsed = Now() - fw.start_tick;
  uint64_t ticks = uint64_t{elapsed} * 60 / 1000;
  int64_t steps = static_cast<int64_t>(ticks) - fw.last_tick_count;
  if (steps == 0 && (uint64_t{elapsed} + 4) * 60 / 1000 == ticks + 1) {
    ticks += 1;
    steps = 1;
  }
  fw.last_tick_count = static_cast<uint32_t>(ticks);
  if (steps < 1) return 1;
  steps = std::min<int64_t>(steps, kMaxSteps);
  if (steps > fw.catch_up_limit) {
    fw.catch_up_limit += 1;
    steps = fw.catch_up_limit;
  } else {
    fw.catch_up_limit = static_cast<int32_t>(steps);
  }
  fw.last_steps = static_cast<int32_t>(steps);

  mg_input_frame();
  for (int64_t i = 0; i < steps; ++i) {
    const int32_t state = fw.state;
    if (state == mg::kStateLoadPending) {
      if (!mg_obj_create(m.games[static_cast<size_t>(fw.game)].path)) {
        return EndWith(0, "mg_obj_create");
      }
      fw.state = mg::kStateRunning;
    }
    const MgProc& proc = m.games[static_cast<size_t>(fw.game)].proc;
    const int result = proc ? proc(state) : 0;
    if (result != 1) return EndWith(result, "mg_proc");
    if (state == mg::kStateLoadPending) {
      RestartClock(fw);
      break;
    }
    if (fw.state == mg::kStateIdle) break;
  }
  // A procedure that ended the game itself leaves nothing to update or draw.
  if (fw.state == mg::kStateIdle) return 1;
  CursorUpdate();
  for (int64_t i = 0; i < steps; ++i) StepUpdate();
  DrawWithFade(fw);
  mg_present();
  return 1;
}

int32_t mg_sin(int32_t angle) { return Fw().sin_table[static_cast<size_t>(angle & 0xFF)]; }
int32_t mg_cos(int32_t angle) { return Fw().cos_table[static_cast<size_t>(angle & 0xFF)]; }

int32_t mg_var_get(int i) {
  if (i < 0 || i >= mg::kVarCount) {
    DebugPrint("mg_var_get: variable %d refused (0-47)\n", i);
    return 0;
  }
  return Minigame().vars[static_cast<size_t>(i)];
}

void mg_var_set(int i, int32_t value) {
  if (i < 0 || i >= mg::kVarCount) {
    DebugPrint("mg_var_set: variable %d refused (0-47)\n", i);
    return;
  }
  Minigame().vars[static_cast<size_t>(i)] = value;
}

void mg_set_message(const char* text) { Fw().message = text != nullptr ? text : ""; }
const char* mg_end_reason() { return Fw().end_reason.c_str(); }
int32_t mg_end_result() { return Fw().end_result; }

void mg_brightness(int32_t level) {
  MgFramework& fw = Fw();
  if (fw.fade_phase == 2 && fw.brightness == 0) fw.fade_phase = 1;
  fw.brightness = level;
}
