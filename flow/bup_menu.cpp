// The slot menu "CTamvikBup::AdvSaveMenu": loads, saves, copies and deletes the save files. Its
// state and the handles it holds are its task's extra block; everything it holds is released
// on every way out (a close, a load, its owner ending under it).

#include <algorithm>
#include <initializer_list>
#include <string>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_bup.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

using Menu = SaveMenuExtra;

// Logical keys.
constexpr int kKeyDecide = 0, kKeyCancel = 1, kKeyFast = 2, kKeyPage = 4, kKeyUp = 5,
              kKeyDown = 6, kKeyLeft = 7, kKeyRight = 8;
// System sounds.
constexpr int kSeOpen = 1, kSeClose = 2, kSeCursor = 3, kSeDecide = 4, kSeError = 5,
              kSeDone = 14;
// Menu states.
constexpr uint8_t kLoad = 2, kSave = 3, kCopySource = 4, kCopyDestination = 5, kDelete = 6;
// selectable bits.
constexpr uint8_t kOnlyUsed = 0x01, kNoSelector = 0x02;
// choice values.
constexpr uint8_t kChoiceList = 0, kChoiceCopy = 1, kChoiceDelete = 2, kChoiceNone = 4;
// Cursor routine actions.
constexpr int kActMoveToSelector = 3, kActCopy = 4, kActDelete = 5, kActOnSlot = 9,
              kActOnScroll = 11;
// A held direction key repeats from this held frame on.
constexpr uint16_t kRepeatFrame = 61;
constexpr uint32_t kWindowOpenMs = 200;
constexpr int kWindowOpenMode = 1;
constexpr uint32_t kCrossFadeTime = 62;

// The sub-steps of the menu routine.
enum SubStep : uint8_t {
  kOpen = 0,
  kOpenWait = 1,
  kMain = 2,
  kAskOpen = 10,
  kAskWait = 11,
  kAsk = 12,
  kAskClose = 13,
  kDo = 20,
  kMessageWait = 21,
  kMessage = 22,
  kMessageClose = 23,
  kReopen = 30,
  kReopenWait = 31,
};

CTamvikSpr& Units() { return Scene().tamvik_spr; }
CDdrawWindow& Windows() { return Ctx().ddraw_window; }
CDdrawAnime& Anime() { return Ctx().anime; }

bool SlotUsed(int slot) {
  return slot >= 1 && slot <= CTamvikBup::kCheckedSlots &&
         Game().backup.used[static_cast<size_t>(slot)] != 0;
}

bool AnyMenuSlotUsed() {
  for (int slot = 1; slot <= CTamvikBup::kMenuSlots; ++slot) {
    if (SlotUsed(slot)) return true;
  }
  return false;
}

void DrawTextIn(WindowRec* window, const std::string& text, int x, int y, ColorRef colour) {
  if (window == nullptr || text.empty()) return;
  Windows().DrawText(window, CDdrawWindow::kTextSprite, text.c_str(), x, y, GetFontA(), colour,
                     CTamvikBup::kSecondColor);
}

// ---- Windows ----

WindowRec* MakeWindow(Menu& m, int index) {
  WindowRec*& window = m.windows[index];
  if (window != nullptr) return window;
  const CTamvikBup::WindowRects& r = CTamvikBup::kWindowRects[index];
  window = Windows().Create(SURFACE_TEXT, r.outer, r.inner, r.inner, CTamvikBup::kBaseColor,
                            CTamvikBup::kWindowStyle);
  if (window == nullptr) DebugPrint("CTamvikBup: window %d could not be made\n", index);
  return window;
}

// Opens (from 0 to 100 %) or closes (100 to 0) a window over 12 frames; the list opens only
// horizontally. The window's animation handle clears itself when it ends.
void AnimateWindow(Menu& m, int index, bool open) {
  WindowRec* window = m.windows[index];
  if (window == nullptr) return;
  AnimeHandle& anime = m.window_animes[index];
  if (anime != nullptr) Anime().DeleteRef(&anime);
  const int from = open ? 0 : 100;
  const int to = open ? 100 : 0;
  const bool list = index == CTamvikBup::kListWindow;
  anime = Anime().CreateWindowAnime(window, from, to, 100, list ? 100 : from, list ? 100 : to,
                                    100, kWindowOpenMode, kWindowOpenMs);
  Anime().SetAutoClear(&anime);
}

bool WindowsStill(const Menu& m, std::initializer_list<int> indexes) {
  for (int i : indexes) {
    if (m.window_animes[i] != nullptr) return true;
  }
  return false;
}

void DeleteWindow(Menu& m, int index) {
  if (m.window_animes[index] != nullptr) Anime().DeleteRef(&m.window_animes[index]);
  if (m.windows[index] != nullptr) Windows().Delete(&m.windows[index]);
  Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
}

// ---- Icons ----

void ReleaseRowIcons(Menu& m) {
  for (AnimeHandle& icon : m.row_icons) {
    if (icon != nullptr) Units().ReleaseAnm(&icon);
  }
  m.rows_shown = 0;
}

void ReleaseScrollIcon(Menu& m) {
  if (m.scroll_icon != nullptr) Units().ReleaseAnm(&m.scroll_icon);
  m.scroll_icon_button = 0;
}

void ShowRowIcons(Menu& m) {
  ReleaseRowIcons(m);
  if (m.icon_file == nullptr) return;
  for (int n = 0; n < CTamvikBup::kRows; ++n) {
    const int slot = m.pageTop + n + 1;
    const bool at_cursor = slot == m.cursor;
    const CTamvikBup::IconTable& t = CTamvikBup::kIcons;
    const uint32_t animation = SlotUsed(slot) ? (at_cursor ? t.used_cursor_row : t.used_row)
                                              : (at_cursor ? t.empty_cursor_row : t.empty_row);
    m.row_icons[n] = Units().PlayAnm(m.icon_file, animation, 40, 80 * n + 80, SURFACE_TEXT, 1);
  }
  m.rows_shown = 1;
}

void ShowScrollIcon(Menu& m) {
  if (m.scroll_icon_button == m.scrollButton) return;
  ReleaseScrollIcon(m);
  if (m.scrollButton == 0 || m.icon_file == nullptr) return;
  const Rect& b = CTamvikBup::kScrollButtons[m.scrollButton - 1];
  m.scroll_icon = Units().PlayAnm(m.icon_file, CTamvikBup::kIcons.scroll[m.scrollButton - 1],
                                  b.left, b.top, SURFACE_TEXT, 1);
  m.scroll_icon_button = m.scrollButton;
}

// Everything the menu holds.
void ReleaseAll(Menu& m) {
  ReleaseRowIcons(m);
  ReleaseScrollIcon(m);
  for (int i = 0; i < 5; ++i) {
    if (m.window_animes[i] != nullptr) Anime().DeleteRef(&m.window_animes[i]);
    if (m.windows[i] != nullptr) Windows().Delete(&m.windows[i]);
  }
  if (m.system_file != nullptr) TamvikFunc::ReleaseAnmFile(m.system_file);
  if (m.icon_file != nullptr) TamvikFunc::ReleaseAnmFile(m.icon_file);
  Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
}

// ---- Drawing ----

void DrawList(Menu& m) {
  WindowRec* window = m.windows[CTamvikBup::kListWindow];
  if (window == nullptr) return;
  Windows().ClearTextPiece(window, CDdrawWindow::kTextSprite);
  for (int n = 0; n < CTamvikBup::kRows; ++n) {
    const int slot = m.pageTop + n + 1;
    const ColorRef colour =
        slot == m.cursor ? CTamvikBup::kHighlightColor : CTamvikBup::kTextColor;
    if (SlotUsed(slot)) {
      const int chapter = CTamvikBup::GetSlotChapter(slot);
      DrawTextIn(window, CTamvikBup::ChapterLabel(chapter), 96, 80 * n + 12, colour);
      DrawTextIn(window, CTamvikBup::ChapterTitle(chapter), 96, 80 * n + 44, colour);
    } else {
      DrawTextIn(window, CTamvikBup::EmptySlotText(), 96, 80 * n + 12, colour);
    }
    DrawTextIn(window, CTamvikBup::SlotLine(slot), 264, 80 * n + 8, colour);
  }
  ShowRowIcons(m);
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);
}

void DrawTitle(Menu& m) {
  WindowRec* window = m.windows[CTamvikBup::kTitleWindow];
  if (window == nullptr) return;
  Windows().ClearTextPiece(window, CDdrawWindow::kTextSprite);
  DrawTextIn(window, CTamvikBup::TitleText(m.menuState), 8, 4, CTamvikBup::kTextColor);
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);
}

// The selector: "複製" and "刪除" (highlight by choice) or "是" and "否" (by yesNo).
void DrawSelector(Menu& m, bool yes_no) {
  WindowRec* window = m.windows[CTamvikBup::kSelectorWindow];
  if (window == nullptr) return;
  Windows().ClearTextPiece(window, CDdrawWindow::kTextSprite);
  if (!yes_no && m.choice == kChoiceNone) {
    // Nothing to copy or delete: the selector says there is no save file.
    DrawTextIn(window, CTamvikBup::MessageText(0), 32, 8, CTamvikBup::kTextColor);
    Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);
    return;
  }
  const uint8_t lit = yes_no ? m.yesNo : m.choice;
  const ColorRef first = lit == 1 ? CTamvikBup::kHighlightColor : CTamvikBup::kTextColor;
  const ColorRef second = lit == 2 ? CTamvikBup::kHighlightColor : CTamvikBup::kTextColor;
  DrawTextIn(window, CTamvikBup::SelectorText(yes_no, 0), 32, 8, first);
  DrawTextIn(window, CTamvikBup::SelectorText(yes_no, 1), 160, 8, second);
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);
}

void MarkDirty(Menu& m) { m.dirty = 1; }

// ---- The cursor routine ----

// The page shows the cursor; the row follows.
void FollowCursor(Menu& m) {
  if (m.cursor < 1) m.cursor = 1;
  if (m.cursor > CTamvikBup::kMenuSlots) m.cursor = CTamvikBup::kMenuSlots;
  if (m.cursor < m.pageTop + 1) m.pageTop = static_cast<uint8_t>(m.cursor - 1);
  if (m.cursor > m.pageTop + CTamvikBup::kRows) {
    m.pageTop = static_cast<uint8_t>(m.cursor - CTamvikBup::kRows);
  }
  m.row = static_cast<uint8_t>(m.cursor - m.pageTop);
}

// Up (-1) or down (+1) by a slot, or by a page with the page key held.
void MoveCursor(Menu& m, int direction) {
  const uint8_t before = m.cursor;
  const uint8_t top_before = m.pageTop;
  if (IsKeyHeld(kKeyPage) != 0) {
    const int row = m.cursor - m.pageTop;
    if (direction < 0) {
      if (m.pageTop == 0) {
        m.cursor = 1;
      } else {
        m.pageTop = static_cast<uint8_t>(m.pageTop >= CTamvikBup::kRows ? m.pageTop - CTamvikBup::kRows : 0);
        m.cursor = static_cast<uint8_t>(m.pageTop + row);
      }
    } else {
      if (m.pageTop >= CTamvikBup::kLastPageTop) {
        m.cursor = CTamvikBup::kMenuSlots;
      } else {
        m.pageTop = static_cast<uint8_t>(
            std::min(m.pageTop + CTamvikBup::kRows, CTamvikBup::kLastPageTop));
        m.cursor = static_cast<uint8_t>(m.pageTop + row);
      }
    }
  } else {
    const int next = m.cursor + direction;
    if (next >= 1 && next <= CTamvikBup::kMenuSlots) m.cursor = static_cast<uint8_t>(next);
  }
  FollowCursor(m);
  if (m.cursor != before || m.pageTop != top_before) {
    PlaySystemSe(kSeCursor);
    MarkDirty(m);
  }
}

// A scroll button: 1 a row up, 2 a page up, 3 a page down, 4 a row down; the cursor stays on the
// page.
void Scroll(Menu& m, int button) {
  static constexpr int kBy[4] = {-1, -CTamvikBup::kRows, CTamvikBup::kRows, 1};
  const int top = std::clamp(m.pageTop + kBy[button - 1], 0, CTamvikBup::kLastPageTop);
  m.pageTop = static_cast<uint8_t>(top);
  m.cursor = static_cast<uint8_t>(
      std::clamp(static_cast<int>(m.cursor), top + 1, top + CTamvikBup::kRows));
  m.row = static_cast<uint8_t>(m.cursor - m.pageTop);
  PlaySystemSe(kSeCursor);
  MarkDirty(m);
}

bool SelectorReachable(const Menu& m) {
  return (m.selectable & kNoSelector) == 0 && m.choice != kChoiceNone && m.choice != 5;
}

bool InRect(int x, int y, const Rect& r) {
  return PointInRect(x, y, r.left, r.top, r.right, r.bottom);
}

// Which selector button (1, 2) the point is on, 0 none.
int SelectorButtonAt(int x, int y) {
  for (int b = 0; b < 2; ++b) {
    if (InRect(x, y, CTamvikBup::kSelectorButtons[b])) return b + 1;
  }
  return 0;
}

// Keys and mouse of the list and the copy/delete selector; the action (3 in the selector, 4 copy
// or 5 delete chosen, 9 the cursor rests on a slot, 11 a scroll button is under the mouse).
int CursorRoutine(Menu& m) {
  const CDinput& input = Ctx().input;
  const int x = input.GetMouseX();
  const int y = input.GetMouseY();
  const bool decide = IsKeyTriggered(kKeyDecide) != 0;
  const bool pointed = x != input.GetOldMouseX() || y != input.GetOldMouseY();

  if (pointed) {
    uint8_t button = 0;
    for (int b = 0; b < 4; ++b) {
      if (InRect(x, y, CTamvikBup::kScrollButtons[b])) button = static_cast<uint8_t>(b + 1);
    }
    m.scrollButton = button;
    for (int row = 1; row <= CTamvikBup::kRows; ++row) {
      if (!InRect(x, y, CTamvikBup::RowLabelRect(row)) &&
          !InRect(x, y, CTamvikBup::RowBarRect(row))) {
        continue;
      }
      const auto slot = static_cast<uint8_t>(m.pageTop + row);
      if (m.choice == kChoiceCopy || m.choice == kChoiceDelete) {
        m.choice = kChoiceList;
        m.dirty |= 2;
      }
      if (slot != m.cursor) {
        m.cursor = slot;
        m.row = static_cast<uint8_t>(row);
        PlaySystemSe(kSeCursor);
        MarkDirty(m);
      }
    }
    if (const int b = SelectorButtonAt(x, y); b != 0 && (m.choice == kChoiceCopy ||
                                                        m.choice == kChoiceDelete ||
                                                        SelectorReachable(m))) {
      if (m.choice != b) {
        m.choice = static_cast<uint8_t>(b);
        PlaySystemSe(kSeCursor);
        m.dirty |= 2;
      }
    }
  }

  // In the selector.
  if (m.choice == kChoiceCopy || m.choice == kChoiceDelete) {
    if (IsKeyTriggered(kKeyLeft) != 0) {
      m.choice = m.choice == kChoiceDelete ? kChoiceCopy : kChoiceList;
      PlaySystemSe(kSeCursor);
      m.dirty |= 2;
      if (m.choice == kChoiceList) return kActOnSlot;
    } else if (IsKeyTriggered(kKeyRight) != 0) {
      if (m.choice == kChoiceCopy) {
        m.choice = kChoiceDelete;
        PlaySystemSe(kSeCursor);
        m.dirty |= 2;
      }
    } else if (decide) {
      PlaySystemSe(kSeDecide);
      return m.choice == kChoiceCopy ? kActCopy : kActDelete;
    }
    return kActMoveToSelector;
  }

  // In the list: the direction keys, repeated from the 61st held frame.
  int direction = 0;
  if (IsKeyTriggered(kKeyUp) != 0) {
    m.heldKey = kKeyUp;
    m.heldFrames = 1;
    direction = -1;
  } else if (IsKeyTriggered(kKeyDown) != 0) {
    m.heldKey = kKeyDown;
    m.heldFrames = 1;
    direction = 1;
  } else if (m.heldKey != 0 && IsKeyHeld(m.heldKey) != 0) {
    if (m.heldFrames < 0xFFFF) ++m.heldFrames;
    if (m.heldFrames >= kRepeatFrame) direction = m.heldKey == kKeyUp ? -1 : 1;
  } else {
    m.heldKey = 0;
    m.heldFrames = 0;
  }
  if (direction != 0) MoveCursor(m, direction);

  if (IsKeyTriggered(kKeyRight) != 0) {
    if (SelectorReachable(m)) {
      m.choice = kChoiceCopy;
      PlaySystemSe(kSeCursor);
      m.dirty |= 2;
      return kActMoveToSelector;
    }
    PlaySystemSe(kSeError);
  }
  if (m.scrollButton != 0) {
    if (decide) Scroll(m, m.scrollButton);
    return kActOnScroll;
  }
  return kActOnSlot;
}

// ---- The menu routine ----

void Redraw(Menu& m) {
  if ((m.dirty & 1) != 0) DrawList(m);
  if ((m.dirty & 2) != 0) DrawSelector(m, false);
  m.dirty = 0;
  ShowScrollIcon(m);
}

// Switches to another state: the title and selector close and the menu reopens in `state`.
void Reopen(Menu& m, uint8_t state) {
  m.nextState = state;
  m.choice = kChoiceList;
  m.subStep = kReopen;
}

// The cancel key in the list or the selector.
void Cancel(StepTask<BupWork>& task, Menu& m) {
  switch (m.menuState) {
    case kCopyDestination:
      Reopen(m, kCopySource);
      break;
    case kCopySource:
    case kDelete:
      Reopen(m, m.previousState);
      break;
    default:
      task.GoTo(90);
      break;
  }
}

void DecideSlot(Menu& m) {
  const int slot = m.cursor;
  if ((m.selectable & kOnlyUsed) != 0 && !SlotUsed(slot)) {
    PlaySystemSe(kSeError);
    return;
  }
  if (m.menuState == kCopyDestination) {
    m.copyTo = static_cast<uint8_t>(slot);
  } else {
    m.copyFrom = static_cast<uint8_t>(slot);
  }
  PlaySystemSe(kSeDecide);
  if (m.menuState == kCopySource) {
    Reopen(m, kCopyDestination);
  } else {
    m.subStep = kAskOpen;
  }
}

// Carries out the answered "是"; false when the task has gone on to the load's close.
bool Carry(StepTask<BupWork>& task, Menu& m) {
  bool ok = false;
  switch (m.menuState) {
    case kLoad:
      if (LoadGameData(m.copyFrom) != 0) {
        task.GoTo(100);
        return false;
      }
      DebugPrint("FileLoad Failed\n");
      m.message = CTamvikBup::kMessageLoadFailed;
      break;
    case kSave: {
      const int system = SaveSystemData();
      if (system == 0) DebugPrint("SystemSave Failed\n");
      const int file = SaveGameData(m.copyFrom);
      if (file == 0) DebugPrint("FileSave Failed\n");
      ok = system != 0 && file != 0;
      m.message = ok ? CTamvikBup::kMessageSaved : CTamvikBup::kMessageSaveFailed;
      break;
    }
    case kCopyDestination:
      ok = CopySaveFile(m.copyFrom, m.copyTo) != 0;
      if (!ok) DebugPrint("FileCopy Failed\n");
      m.message = ok ? CTamvikBup::kMessageCopied : CTamvikBup::kMessageCopyFailed;
      break;
    case kDelete:
      ok = DeleteSaveFile(m.copyFrom) != 0;
      if (!ok) DebugPrint("FileDelete Failed\n");
      m.message = ok ? CTamvikBup::kMessageDeleted : CTamvikBup::kMessageDeleteFailed;
      break;
    default:
      m.message = 0;
      break;
  }
  m.failed = ok ? 0 : 1;
  if (m.menuState != kLoad) {
    CTamvikBup::ReadSlotList();
    if (ok) CTamvikBup::RefreshNoSaveFlag();
    MarkDirty(m);
  }
  PlaySystemSe(ok ? kSeDone : kSeError);
  return true;
}

// Opens the question window and the selector with "是" and "否" (or, with `yes_no` false, the
// selector alone with "複製" and "刪除"), animated unless the fast key is held.
void OpenSelector(Menu& m, bool yes_no, bool animate) {
  DeleteWindow(m, CTamvikBup::kSelectorWindow);
  MakeWindow(m, CTamvikBup::kSelectorWindow);
  DrawSelector(m, yes_no);
  if (animate) AnimateWindow(m, CTamvikBup::kSelectorWindow, true);
}

void MenuRoutine(StepTask<BupWork>& task, Menu& m) {
  using B = CTamvikBup;
  const bool fast = IsKeyHeld(kKeyFast) != 0;
  switch (m.subStep) {
    case kOpen:
      if (!AnyMenuSlotUsed()) m.choice = kChoiceNone;
      MakeWindow(m, B::kTitleWindow);
      DrawTitle(m);
      OpenSelector(m, false, !fast);
      if (!fast) AnimateWindow(m, B::kTitleWindow, true);
      DrawList(m);
      m.subStep = kOpenWait;
      return;
    case kOpenWait:
      if (WindowsStill(m, {B::kTitleWindow, B::kSelectorWindow})) return;
      m.subStep = kMain;
      return;
    case kMain: {
      // No slot used: nothing to select; a slot used again: the list.
      const bool any = AnyMenuSlotUsed();
      if (!any && m.choice != kChoiceNone) {
        m.choice = kChoiceNone;
        m.dirty |= 2;
      } else if (any && m.choice == kChoiceNone) {
        m.choice = kChoiceList;
        m.dirty |= 2;
      }
      const bool in_selector = m.choice == kChoiceCopy || m.choice == kChoiceDelete;
      const int action = CursorRoutine(m);
      if (IsKeyTriggered(kKeyCancel) != 0) {
        if (in_selector) PlaySystemSe(kSeDecide);
        Redraw(m);
        Cancel(task, m);
        return;
      }
      switch (action) {
        case kActCopy:
        case kActDelete:
          m.previousState = m.menuState;
          DebugPrint("CopyDel Mode\n");
          Reopen(m, action == kActCopy ? kCopySource : kDelete);
          break;
        case kActOnSlot:
          if (IsKeyTriggered(kKeyDecide) != 0) DecideSlot(m);
          break;
        default:
          break;
      }
      Redraw(m);
      return;
    }
    case kAskOpen:
      MakeWindow(m, B::kQuestionWindow);
      DrawTextIn(m.windows[B::kQuestionWindow], B::QuestionText(m.menuState), 8, 4,
                 B::kTextColor);
      m.yesNo = 1;
      OpenSelector(m, true, true);
      AnimateWindow(m, B::kQuestionWindow, true);
      m.subStep = kAskWait;
      return;
    case kAskWait:
      if (WindowsStill(m, {B::kQuestionWindow, B::kSelectorWindow})) return;
      m.subStep = kAsk;
      return;
    case kAsk: {
      const CDinput& input = Ctx().input;
      const uint8_t before = m.yesNo;
      const int x = input.GetMouseX();
      const int y = input.GetMouseY();
      if (x != input.GetOldMouseX() || y != input.GetOldMouseY()) {
        if (const int b = SelectorButtonAt(x, y); b != 0) m.yesNo = static_cast<uint8_t>(b);
      }
      if (IsKeyTriggered(kKeyLeft) != 0) m.yesNo = 1;
      if (IsKeyTriggered(kKeyRight) != 0) m.yesNo = 2;
      if (m.yesNo != before) {
        PlaySystemSe(kSeCursor);
        DrawSelector(m, true);
      }
      bool answered = false;
      if (IsKeyTriggered(kKeyDecide) != 0) {
        // A click answers with the button under the pointer, moved or not.
        if (const int b = SelectorButtonAt(x, y); b != 0) m.yesNo = static_cast<uint8_t>(b);
        answered = true;
      } else if (IsKeyTriggered(kKeyCancel) != 0) {
        m.yesNo = 2;
        answered = true;
      }
      if (!answered) return;
      AnimateWindow(m, B::kQuestionWindow, false);
      AnimateWindow(m, B::kSelectorWindow, false);
      m.subStep = kAskClose;
      return;
    }
    case kAskClose:
      if (WindowsStill(m, {B::kQuestionWindow, B::kSelectorWindow})) return;
      DeleteWindow(m, B::kQuestionWindow);
      DeleteWindow(m, B::kSelectorWindow);
      if (m.yesNo != 1) {
        m.yesNo = 0;
        OpenSelector(m, false, false);
        m.subStep = kMain;
        return;
      }
      m.yesNo = 0;
      m.subStep = kDo;
      [[fallthrough]];
    case kDo:
      if (!Carry(task, m)) return;
      Redraw(m);
      MakeWindow(m, B::kMessageWindow);
      DrawTextIn(m.windows[B::kMessageWindow], B::MessageText(m.message), 8, 4, B::kTextColor);
      if (!fast) AnimateWindow(m, B::kMessageWindow, true);
      m.subStep = kMessageWait;
      return;
    case kMessageWait:
      if (WindowsStill(m, {B::kMessageWindow})) return;
      m.subStep = kMessage;
      return;
    case kMessage:
      if (IsKeyTriggered(kKeyDecide) == 0 && IsKeyTriggered(kKeyCancel) == 0 && !fast) return;
      AnimateWindow(m, B::kMessageWindow, false);
      m.subStep = kMessageClose;
      return;
    case kMessageClose:
      if (WindowsStill(m, {B::kMessageWindow})) return;
      DeleteWindow(m, B::kMessageWindow);
      OpenSelector(m, false, false);
      // A failure stays where it was (a failed copy in the destination state goes back to the
      // state the selector was used from, as a copy does).
      if (m.menuState == kCopyDestination || m.menuState == kDelete) {
        Reopen(m, m.previousState);
      } else {
        m.subStep = kMain;
      }
      return;
    case kReopen:
      ReleaseScrollIcon(m);
      m.scrollButton = 0;
      if (fast) {
        DeleteWindow(m, B::kTitleWindow);
        DeleteWindow(m, B::kSelectorWindow);
      } else {
        AnimateWindow(m, B::kTitleWindow, false);
        AnimateWindow(m, B::kSelectorWindow, false);
      }
      m.subStep = kReopenWait;
      return;
    case kReopenWait:
      if (WindowsStill(m, {B::kTitleWindow, B::kSelectorWindow})) return;
      DeleteWindow(m, B::kTitleWindow);
      DeleteWindow(m, B::kSelectorWindow);
      m.menuState = m.nextState;
      m.subStep = kOpen;
      task.GoTo(10);
      return;
    default:
      DebugPrint("CTamvikBup::AdvSaveMenu: no sub-step %d\n", m.subStep);
      m.subStep = kMain;
      return;
  }
}

// Steps 90 and 100: the icons go, every window closes over 12 frames, the close sound, and the
// pointer task is asked to end.
void StartClose(Menu& m) {
  ReleaseRowIcons(m);
  ReleaseScrollIcon(m);
  for (int i = 0; i < 5; ++i) {
    if (m.windows[i] != nullptr) AnimateWindow(m, i, false);
  }
  PlaySystemSe(kSeClose);
  if (CTamvikIcon::IsMouseCursorSeq()) CTamvikIcon::EndMouseCursorSeq();
}

bool Closing(const Menu& m) {
  return WindowsStill(m, {0, 1, 2, 3, 4});
}

}  // namespace

// ---- The task and its calls ----

void CTamvikBup::StartAdvSaveMenu(GameTaskRec* owner, int save_mode) {
  DebugPrint("SetTask CTamvikBup::AdvSaveMenu\n");
  Game().backup.loaded = 0;
  auto* work = TaskNewBlock<BupWork>();
  auto* menu = TaskNewBlock<SaveMenuExtra>();
  menu->saveMode = static_cast<uint8_t>(save_mode);
  if (Ctx().game_task.SetTask(owner, &AdvSaveMenu, kSaveMenuName, work, menu) == 0) {
    DebugPrint("CTamvikBup: the slot menu could not start\n");
  }
}

bool CTamvikBup::IsAdvSaveMenuEnd() { return !kAdvSaveMenu.IsRunning(Ctx().game_task); }

int CTamvikBup::IsLoaded() { return Game().backup.loaded; }

void CTamvikBup::ClearLoaded() { Game().backup.loaded = 0; }

void CTamvikBup::AdvSaveMenu(GameTaskRec* record) {
  StepTask<BupWork> task(Ctx().game_task, record);
  auto* menu = static_cast<SaveMenuExtra*>(record->extra);
  if (menu == nullptr) {
    task.End();
    return;
  }
  Menu& m = *menu;
  // The owner ended under the menu: everything it holds goes with it.
  if (task.OwnerGone()) {
    ReleaseAll(m);
    task.End();
    return;
  }
  switch (task.step()) {
    case 0:
      task.work().result = 0;
      task.Next();
      return;
    case 1:
      m.system_file = TamvikFunc::LoadAnmFile(kSystemFile);
      if (m.system_file == nullptr) DebugPrint("CTamvikBup: no %s\n", kSystemFile);
      m.icon_file = TamvikFunc::LoadAnmFile(kIconFile);
      if (m.icon_file == nullptr) DebugPrint("CTamvikBup: no %s\n", kIconFile);
      TamvikFunc::ShowWindowShadeOnRoot();
      if (CTamvikIcon::IsMouseCursorSeq()) CTamvikIcon::EndMouseCursorSeq();
      task.Next();
      return;
    case 2:
      ReadSlotList();
      m.cursor = 1;
      m.row = 1;
      m.pageTop = 0;
      MakeWindow(m, kListWindow);
      DrawList(m);
      AnimateWindow(m, kListWindow, true);
      PlaySystemSe(kSeOpen);
      task.Next();
      return;
    case 3:
      if (WindowsStill(m, {kListWindow})) return;
      task.Next();
      return;
    case 4:
      m.menuState = m.saveMode != 0 ? kSave : kLoad;
      m.subStep = kOpen;
      task.GoTo(10);
      return;
    case 10:
      switch (m.menuState) {
        case kLoad: m.selectable = kOnlyUsed; task.GoTo(20); break;
        case kSave: m.selectable = 0; task.GoTo(50); break;
        case kCopySource: m.selectable = kOnlyUsed | kNoSelector; task.GoTo(30); break;
        case kCopyDestination: m.selectable = kNoSelector; task.GoTo(60); break;
        case kDelete: m.selectable = kOnlyUsed | kNoSelector; task.GoTo(40); break;
        default:
          DebugPrint("This Command is not Installed\n");
          task.GoTo(90);
          return;
      }
      MenuRoutine(task, m);
      return;
    case 20:
    case 30:
    case 40:
    case 50:
    case 60:
      MenuRoutine(task, m);
      return;
    case 90:
    case 100:
      StartClose(m);
      task.Next();
      return;
    case 91:
      if (Closing(m)) return;
      task.work().result = 1;
      ReleaseAll(m);
      task.End();
      return;
    case 101: {
      if (Closing(m)) return;
      ReleaseAll(m);
      CDdrawFunc& ddraw = Ctx().ddraw;
      ddraw.CaptureLayers(SURFACE_ROOT, SURFACE_XFADE);
      for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.SetVisible(id, 0);
      TamvikFunc::ReleaseBlinkAnm();
      TamvikFunc::ClearWindowFaceArea(1);
      TamvikFunc::ClearMessageText();
      TamvikFunc::CloseMessageWindow();
      TamvikFunc::ReleaseScreenShade();
      TamvikFunc::StartCrossFade(SURFACE_ROOT, kCrossFadeTime);
      task.Next();
      return;
    }
    case 102:
      if (!IsScreenFadeDone()) return;
      CTamvikGeneral::SetMode(37);
      Game().backup.loaded = 1;
      task.work().result = 1;
      task.End();
      return;
    default:
      DebugPrint("CTamvikBup::AdvSaveMenu: no step %d\n", task.step());
      ReleaseAll(m);
      task.End();
      return;
  }
}
