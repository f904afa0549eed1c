// The keyboard and joystick assignment menus: 16 edited values (entry i edits slot kKeyOrder[i]
// of the assignment), the defaults, leave and save entries, the group rules and the first newly
// pressed key or pad input.

#include <cstdio>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "flow/option_parts.h"
#include "flow/tamvik_option.h"
#include "scene/ui/tamvik_func.h"

using namespace option_parts;

namespace {

inline constexpr StepTaskKind<ScreenWork> kKeyMenu{CTamvikOption::kKeyMenuName,
                                                   &CTamvikOption::KeyMenu};
inline constexpr StepTaskKind<ScreenWork> kPadMenu{CTamvikOption::kPadMenuName,
                                                   &CTamvikOption::PadMenu};

constexpr int kKeyDecide = 0, kKeyCancel = 1, kKeyUp = 5, kKeyDown = 6, kKeyLeft = 7,
              kKeyRight = 8;
constexpr int kSeMove = 3, kSeDecide = 4, kSeRefused = 5;

// Entry rows: the left column (0-9) and the right one (10-18), 24 pixels apart, as screen
// rectangles; drawn relative to the text area.
constexpr int kLeftX = 80;
constexpr int kRightX = 344;
constexpr int kTopY = 80;
constexpr int kEntryPitch = 24;
constexpr int kValueX = 132;  // the key's name beside its label

const char* const kLabels[CTamvikOption::kKeyEntries] = {
    "決定", "決定",     "決定",     "取消", "取消", "取消", "選單", "選單", "快速播放", "快速播放",
    "移動", "通常攻擊", "防禦", "集", "全圖", "相談", "初期設定", "返回", "決定"};

CTamvikOption::KeyState& StateOf(GameTaskRec* record) {
  return *static_cast<CTamvikOption::KeyState*>(record->extra);
}

uint32_t ConfigOf(bool pad, uint32_t slot) {
  const CDinput& input = Ctx().input;
  return pad ? input.GetPadConfig(slot) : input.GetKeyConfig(slot);
}

void DrawKeyWindow(const CTamvikOption::KeyState& s, bool pad) {
  if (s.window == nullptr) return;
  Ctx().ddraw_window.ClearTextPiece(s.window, CDdrawWindow::kTextSprite);
  const int left = CTamvikOption::kKeyInner.left;
  const int top = CTamvikOption::kKeyInner.top;
  for (int i = 0; i < CTamvikOption::kKeyEntries; ++i) {
    const int column_x = i < 10 ? kLeftX : kRightX;
    const int y = kTopY + kEntryPitch * (i < 10 ? i : i - 10) - top;
    const ColorRef colour = i == s.entry ? CTamvikOption::kChosenColor : CTamvikOption::kTextColor;
    DrawText(s.window, Big5(kLabels[i]), column_x - left, y, colour);
    if (i < CTamvikOption::kEditedEntries) {
      char name[8];
      DrawText(s.window, CTamvikOption::KeyName(s.values[static_cast<size_t>(i)], pad, name),
               column_x - left + kValueX, y, colour);
    }
  }
  UpdateAll();
}

// The lowest key code (or pad number) newly pressed this frame, reserved ones masked; 0 none.
uint8_t FirstNewPress(bool pad) {
  const CDinput& input = Ctx().input;
  if (pad) {
    std::array<uint8_t, kPadStateSize> state{};
    input.GetPadButtons(state);
    CDinput::MaskPadButtons(state, CTamvikOption::kReservedPads);
    for (size_t n = 1; n < state.size(); ++n) {
      if ((state[n] & 1) != 0) return static_cast<uint8_t>(n);
    }
    return 0;
  }
  std::array<uint8_t, platform::kKeyboardStateSize> state{};
  input.GetKeyboardState(state);
  CDinput::MaskKeys(state, CTamvikOption::kReservedKeys);
  for (size_t code = 1; code < state.size(); ++code) {
    if ((state[code] & 1) != 0) return static_cast<uint8_t>(code);
  }
  return 0;
}

// Entries 0-15: cancel clears by the group rule; else the first new press is taken.
void EditEntry(CTamvikOption::KeyState& s, bool pad) {
  const int n = s.entry;
  uint8_t& value = s.values[static_cast<size_t>(n)];
  if (IsKeyTriggered(kKeyCancel) != 0) {
    int first = 0;
    int last = 0;
    bool others = true;
    if (CTamvikOption::KeyGroup(n, &first, &last)) {
      others = false;
      for (int i = first; i <= last; ++i) {
        if (i != n && s.values[static_cast<size_t>(i)] != 0) others = true;
      }
    }
    if (!others) {
      PlaySystemSe(kSeRefused);
      return;
    }
    value = 0;
    PlaySystemSe(kSeDecide);
    s.redraw = 1;
    return;
  }
  const uint8_t pressed = FirstNewPress(pad);
  if (pressed == 0) return;
  for (uint8_t held : s.values) {
    if (held == pressed) {
      PlaySystemSe(kSeRefused);
      return;
    }
  }
  value = pressed;
  PlaySystemSe(kSeDecide);
  s.redraw = 1;
}

// Writes the edited values into the assignment and saves save\key.dat: whether the file was
// written.
bool WriteAndSave(const CTamvikOption::KeyState& s, bool pad) {
  CDinput& input = Ctx().input;
  for (size_t i = 0; i < CTamvikOption::kKeyOrder.size(); ++i) {
    if (pad) {
      input.SetPadConfig(CTamvikOption::kKeyOrder[i], s.values[i]);
    } else {
      input.SetKeyConfig(CTamvikOption::kKeyOrder[i], s.values[i]);
    }
  }
  return input.SaveKeyConfig() != 0;
}

// One frame of the menu's input.
void Routine(CTamvikOption::KeyState& s, bool pad) {
  if (s.entry < CTamvikOption::kEditedEntries) {
    EditEntry(s, pad);
  } else if (IsKeyTriggered(kKeyDecide) != 0) {
    switch (s.entry) {
      case CTamvikOption::kDefaultsEntry:
        for (size_t i = 0; i < CTamvikOption::kKeyOrder.size(); ++i) {
          const uint32_t slot = CTamvikOption::kKeyOrder[i];
          s.values[i] = static_cast<uint8_t>(pad ? CDinput::GetDefaultPadConfig(slot)
                                                 : CDinput::GetDefaultKeyConfig(slot));
        }
        PlaySystemSe(kSeDecide);
        s.redraw = 1;
        break;
      case CTamvikOption::kBackEntry:
        s.result = 255;
        return;
      default:
        if (WriteAndSave(s, pad)) {
          PlaySystemSe(kSeDecide);
          s.result = 255;
          return;
        }
        // The file was not written: the new assignment holds for this run and the menu stays,
        // so the player can try again or leave knowing it was not kept.
        DebugPrint("CTamvikOption: save\\key.dat was not written\n");
        PlaySystemSe(kSeRefused);
        break;
    }
  }
  const int last = CTamvikOption::kKeyEntries - 1;
  if (IsKeyTriggered(kKeyUp) != 0) {
    s.entry = static_cast<uint8_t>(s.entry == 0 ? last : s.entry - 1);
    PlaySystemSe(kSeMove);
    s.redraw = 1;
  } else if (IsKeyTriggered(kKeyDown) != 0) {
    s.entry = static_cast<uint8_t>(s.entry >= last ? 0 : s.entry + 1);
    PlaySystemSe(kSeMove);
    s.redraw = 1;
  } else if (IsKeyTriggered(kKeyLeft) != 0 || IsKeyTriggered(kKeyRight) != 0) {
    s.entry = static_cast<uint8_t>(CTamvikOption::KeyColumnJump(s.entry));
    PlaySystemSe(kSeMove);
    s.redraw = 1;
  }
}

void Release(CTamvikOption::KeyState& s) { DeleteWindow(&s.window, &s.window_anime); }

void Step(GameTaskRec* record, bool pad) {
  StepTask<ScreenWork> task(Ctx().game_task, record);
  CTamvikOption::KeyState& s = StateOf(record);
  if (task.OwnerGone()) {
    Release(s);
    task.End();
    return;
  }
  switch (task.step()) {
    case 0:
      for (size_t i = 0; i < CTamvikOption::kKeyOrder.size(); ++i) {
        s.values[i] = static_cast<uint8_t>(ConfigOf(pad, CTamvikOption::kKeyOrder[i]));
      }
      s.window = MakeWindow(CTamvikOption::kKeyFrame, CTamvikOption::kKeyInner,
                            CTamvikOption::kOptionColor, CTamvikOption::kOptionStyle, nullptr);
      DrawKeyWindow(s, pad);
      OpenWithSound(s.window, &s.window_anime);
      task.GoTo(1);
      break;
    case 1:
      if (OpeningDone(s.window_anime)) task.GoTo(2);
      break;
    case 2:
      Routine(s, pad);
      if (s.result != 0) {
        CloseWithSound(s.window, &s.window_anime);
        task.GoTo(3);
        break;
      }
      if (s.redraw != 0) {
        DrawKeyWindow(s, pad);
        s.redraw = 0;
      }
      break;
    case 3:
      if (s.window_anime != nullptr) break;
      [[fallthrough]];
    default:
      Release(s);
      task.End();
      break;
  }
}

GameTaskRec* Append(const char* name, TaskFunc function, GameTaskRec* owner) {
  DebugPrint("SetTask %s\n", name);
  return AppendScreenTask<ScreenWork, CTamvikOption::KeyState>(Ctx().game_task, name, function,
                                                                owner);
}

}  // namespace

int CTamvikOption::KeyColumnJump(int n) {
  if (n <= 6) return n + 10;
  if (n <= 9) return n + 9;
  if (n <= 15) return n - 10;
  return n - 9;
}

bool CTamvikOption::KeyGroup(int n, int* first, int* last) {
  static constexpr int kGroups[4][2] = {{0, 2}, {3, 5}, {6, 7}, {8, 9}};
  for (const auto& g : kGroups) {
    if (n >= g[0] && n <= g[1]) {
      *first = g[0];
      *last = g[1];
      return true;
    }
  }
  return false;
}

const char* CTamvikOption::KeyName(uint8_t value, bool pad, char (&buffer)[8]) {
  if (value == 0) return "---";
  if (pad) {
    std::snprintf(buffer, sizeof buffer, "P%u", static_cast<unsigned>(value));
    return buffer;
  }
  // Set-1 codes of the letters, digits and the common keys.
  static constexpr const char* kRow1 = "QWERTYUIOP";  // 0x10-0x19
  static constexpr const char* kRow2 = "ASDFGHJKL";   // 0x1E-0x26
  static constexpr const char* kRow3 = "ZXCVBNM";     // 0x2C-0x32
  if (value >= 0x02 && value <= 0x0B) {
    std::snprintf(buffer, sizeof buffer, "%c", value == 0x0B ? '0' : '0' + (value - 1));
  } else if (value >= 0x10 && value <= 0x19) {
    std::snprintf(buffer, sizeof buffer, "%c", kRow1[value - 0x10]);
  } else if (value >= 0x1E && value <= 0x26) {
    std::snprintf(buffer, sizeof buffer, "%c", kRow2[value - 0x1E]);
  } else if (value >= 0x2C && value <= 0x32) {
    std::snprintf(buffer, sizeof buffer, "%c", kRow3[value - 0x2C]);
  } else if (value >= 0x3B && value <= 0x44) {
    std::snprintf(buffer, sizeof buffer, "F%d", value - 0x3A);
  } else {
    const char* name = nullptr;
    switch (value) {
      case 0x0F: name = "TAB"; break;
      case 0x1C: name = "ENT"; break;
      case 0x9C: name = "ENT"; break;
      case 0x1D: name = "CTL"; break;
      case 0x9D: name = "CTL"; break;
      case 0x2A: name = "SHF"; break;
      case 0x36: name = "SHF"; break;
      case 0x38: name = "ALT"; break;
      case 0xB8: name = "ALT"; break;
      case 0x39: name = "SPC"; break;
      case 0x0E: name = "BS"; break;
      case 0xD2: name = "INS"; break;
      case 0xD3: name = "DEL"; break;
      case 0xC7: name = "HOM"; break;
      case 0xCF: name = "END"; break;
      case 0xC9: name = "PUP"; break;
      case 0xD1: name = "PDN"; break;
      default: break;
    }
    if (name != nullptr) return name;
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned>(value));
  }
  return buffer;
}

int CTamvikOption::StartKeyMenu(GameTaskRec* owner) {
  return Append(kKeyMenuName, &KeyMenu, owner) != nullptr ? 1 : 0;
}

int CTamvikOption::StartPadMenu(GameTaskRec* owner) {
  return Append(kPadMenuName, &PadMenu, owner) != nullptr ? 1 : 0;
}

bool CTamvikOption::IsKeyMenuEnd() { return !kKeyMenu.IsRunning(Ctx().game_task); }
bool CTamvikOption::IsPadMenuEnd() { return !kPadMenu.IsRunning(Ctx().game_task); }

void CTamvikOption::KeyMenu(GameTaskRec* task) { Step(task, false); }
void CTamvikOption::PadMenu(GameTaskRec* task) { Step(task, true); }
