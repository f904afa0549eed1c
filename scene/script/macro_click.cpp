// CLICKWAIT: the player clicks a spot of the picture and the script jumps to that spot's
// handler. The spots are the rows of the hit maps of the character and the two backgrounds,
// made clickable by the toy table.

#include <cstdio>
#include <utility>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

struct ClickWork {
  uint8_t form;
  uint8_t step;
  uint16_t frames;  // counted up to kClickGuard
  uint8_t rest[12];
};
static_assert(sizeof(ClickWork) == sizeof(TaskWork));

// A click counts only once the wait has run this many frames.
constexpr uint16_t kClickGuard = 30;
// The picture area's top left corner: the origin of the background maps.
constexpr int kAreaX = 32;
constexpr int kAreaY = 16;
constexpr size_t kHitRowBytes = 9;

int Be16(const std::vector<uint8_t>& bytes, size_t at) {
  return (bytes[at] << 8) | bytes[at + 1];
}

// Reads the map of `folder` for `picture` unless it is held already; 0 releases it.
int LoadToyMap(CTamvikMacro& macro, CTamvikMacro::ToyMap& map, const char* folder,
               uint16_t picture) {
  if (picture == map.picture) return map.rows.empty() ? 0 : 1;
  map.rows.clear();
  map.picture = picture;
  if (picture == 0) return 0;
  char name[40];
  std::snprintf(name, sizeof name, "tamvik1\\%s\\%.02d.spr", folder, picture);
  ++macro.toy_map_reads;
  map.rows = TamvikFunc::LoadSpxHitData(name, 0);
  return map.rows.empty() ? 0 : 1;
}

// The icon task shows the pattern asked for: its icon has finished appearing. `shown` is the
// icon code read before this frame's request (a request in the icon task's resting step sets
// the code at once, so reading it afterwards would say "ready" before anything appeared).
bool IconReady(uint8_t shown, uint16_t pattern) {
  return CTamvikIcon::IsIconSeq() && shown == pattern;
}

}  // namespace

int CTamvikMacro::LoadNcToyMap() {
  return LoadToyMap(*this, nc_toy_map, "nc", GetAdvState()->bustUp());
}
int CTamvikMacro::LoadBgToyMap1() {
  return LoadToyMap(*this, bg_toy_map1, "bg", GetAdvState()->background1());
}
int CTamvikMacro::LoadBgToyMap2() {
  return LoadToyMap(*this, bg_toy_map2, "bg", GetAdvState()->background2());
}

int CTamvikMacro::HitToyMap(const std::vector<uint8_t>& map, int origin_x, int origin_y, int x,
                            int y) {
  if (map.empty()) return 0;
  const size_t count = map[0];
  if (map.size() < 1 + kHitRowBytes * count) return 0;  // cut short: no map
  int best = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = 1 + kHitRowBytes * i;
    const int code = map[at];
    int x1 = origin_x + 2 * Be16(map, at + 1);
    int y1 = origin_y + 2 * Be16(map, at + 3);
    int x2 = origin_x + 2 * Be16(map, at + 5);
    int y2 = origin_y + 2 * Be16(map, at + 7);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (code < 100 && code > best && PointInRect(x, y, x1, y1, x2, y2)) best = code;
  }
  return best;
}

void CTamvikMacro::SetToyIcon(uint16_t pattern) {
  CTamvikIcon::SetIcon(static_cast<uint8_t>(pattern));
}

int CTamvikMacro::HitToy(int x, int y) {
  const uint8_t shown = CTamvikIcon::GetIconCode();
  int code = 0;
  bool edge = false;
  // The screen edges; the later test wins.
  if (x < kAreaX) code = 97, edge = true;
  if (x > 608) code = 99, edge = true;
  if (y < kAreaY) code = 96, edge = true;
  if (y > 336) code = 98, edge = true;
  if (edge) {
    if (toys[95].icon != 0) code = 95;
  } else {
    if (chara_shown != 0) {
      code = HitToyMap(nc_toy_map.rows, TamvikFunc::GetNcX() + kAreaX,
                       TamvikFunc::GetNcY() + kAreaY, x, y);
    }
    if (code == 0) {
      // The upper background first: layer 6's map when layer 5 lies below or level with it.
      const CDdrawFunc& ddraw = Ctx().ddraw;
      const bool six_first = ddraw.GetLayerIndex(SURFACE_BG) <= ddraw.GetLayerIndex(SURFACE_FG);
      const ToyMap& upper = six_first ? bg_toy_map2 : bg_toy_map1;
      const ToyMap& lower = six_first ? bg_toy_map1 : bg_toy_map2;
      code = HitToyMap(upper.rows, kAreaX, kAreaY, x, y);
      if (code == 0) code = HitToyMap(lower.rows, kAreaX, kAreaY, x, y);
    }
  }
  if (code >= 1 && code < kToyCount && toys[static_cast<size_t>(code)].icon != 0) {
    const uint16_t pattern = toys[static_cast<size_t>(code)].icon;
    SetToyIcon(pattern);
    return IconReady(shown, pattern) ? code : 0;
  }
  SetToyIcon(0);
  return 0;
}

void CTamvikMacro::PushCallFrame() {
  MPush(if_flag);
  Push2(position_);
  Push2(Game().macro.depth1);
}

void DecodeClickwaitToy(GameTaskRec* task) {
  StepTask<ClickWork> step(Ctx().game_task, task);
  if (step.OwnerGone()) {
    // The scene is going: the icon task this wait started goes with it.
    if (step.step() != 0) CTamvikIcon::EndIconSeq();
    EndCommand(task);
    return;
  }
  CTamvikMacro& macro = Scene().macro;
  macro.continue_flag = 0;
  AdvState& adv = *GetAdvState();
  const CDinput& input = Ctx().input;
  ClickWork& work = step.work();
  switch (step.step()) {
    case 0:
      CTamvikIcon::StartIconSeq();
      TamvikFunc::SetMouseCursorPos(adv.cursorX(), adv.cursorY());
      CTamvikMacro::SetToyIcon(0);
      macro.PushCallFrame();
      if (macro.chara_shown != 0) macro.LoadNcToyMap();
      macro.LoadBgToyMap1();
      macro.LoadBgToyMap2();
      work.frames = 0;
      step.Next();
      break;
    default: {
      if (work.frames < kClickGuard) ++work.frames;
      const int x = input.GetMouseX();
      const int y = input.GetMouseY();
      const int code = macro.HitToy(x, y);
      if (IsKeyTriggered(1) != 0) {
        DebugPrint("no=%d\n", code);
        return;
      }
      // HitToy gives a code only once its spot's icon has appeared.
      if (IsKeyTriggered(0) == 0 || code == 0 || work.frames < kClickGuard) return;
      SetMacroA(0, static_cast<uint16_t>(code));
      CTamvikIcon::EndIconSeq();
      EndCommand(task);
      adv.setCursorX(static_cast<uint16_t>(x));
      adv.setCursorY(static_cast<uint16_t>(y));
      const uint16_t target = macro.toys[static_cast<size_t>(code)].target;
      if (!macro.has_script() || target >= macro.script().size()) {
        // SETTOY keeps any word as a target: one past the script ends the wait without a jump,
        // the frame pushed above taken off again, so the script goes on after CLICKWAIT.
        DebugPrint("CLICKWAIT: toy %d's target %u is past the script; no jump\n", code, target);
        if (macro.Return() == 0) return;
      } else if (macro.Jump(target) == 0) {
        return;
      }
      macro.continue_flag = 1;
      break;
    }
  }
}
