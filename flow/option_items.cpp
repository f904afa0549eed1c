// The item viewer: the items of P[0]-P[9] as icons in two rows of five and a back entry; an item
// chosen shows its picture and its message until decide or cancel.

#include <cstdio>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/window/window.h"
#include "flow/option_parts.h"
#include "flow/tamvik_option.h"
#include "game/game_context.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

using namespace option_parts;

namespace {

struct ItemWork {
  uint8_t form;
  uint8_t step;
  uint8_t message_window;  // the viewer opened the message window
  uint8_t unused[13];
};
static_assert(sizeof(ItemWork) == 16);

inline constexpr StepTaskKind<ItemWork> kItemMenu{CTamvikOption::kItemMenuName,
                                                  &CTamvikOption::ItemMenu};

constexpr int kKeyDecide = 0, kKeyCancel = 1, kKeyUp = 5, kKeyDown = 6, kKeyLeft = 7,
              kKeyRight = 8;
constexpr int kSeMove = 3, kSeDecide = 4;

// Slots in the text area: two rows of five, then the back entry.
constexpr int kSlotX = 40;
constexpr int kSlotY = 24;
constexpr int kSlotPitchX = 96;
constexpr int kSlotPitchY = 96;
constexpr int kPerRow = 5;

int SlotX(int i) { return kSlotX + kSlotPitchX * (i % kPerRow); }
int SlotY(int i) { return kSlotY + kSlotPitchY * (i / kPerRow); }

CTamvikOption::ItemState& StateOf(GameTaskRec* record) {
  return *static_cast<CTamvikOption::ItemState*>(record->extra);
}

// The icon of an item number, or null (with a trace) when itemicon.spr has no such sprite.
SprRec* IconOf(const CTamvikOption::ItemState& s, uint16_t item) {
  const SprUnit* unit = Scene().tamvik_spr.GetAnmUnit(s.icon_file);
  if (unit == nullptr) return nullptr;
  if (item >= unit->SprNum()) {
    DebugPrint("CTamvikOption: item %u has no icon (%u in the file)\n", item, unit->SprNum());
    return nullptr;
  }
  return Scene().tamvik_spr.GetUnitSprID(unit, item);
}

void DrawItemWindow(const CTamvikOption::ItemState& s) {
  WindowRec* window = s.window;
  if (window == nullptr) return;
  CDdrawWindow& windows = Ctx().ddraw_window;
  windows.ClearTextPiece(window, CDdrawWindow::kTextSprite);
  windows.DeleteAllPiece(window);
  const int dx = CTamvikOption::kOptionInner.left - CTamvikOption::kOptionFrame.left;
  const int dy = CTamvikOption::kOptionInner.top - CTamvikOption::kOptionFrame.top;
  for (int i = 0; i < s.count; ++i) {
    if (SprRec* icon = IconOf(s, s.items[static_cast<size_t>(i)])) {
      windows.AddPieceShort(window, icon, dx + SlotX(i), dy + SlotY(i),
                            CDdrawWindow::kTextSprite, 1);
    }
  }
  const int back_y = kSlotY + kSlotPitchY * 2;
  DrawText(window, Big5("  返回  "), kSlotX, back_y,
           s.cursor == CTamvikOption::kItemBack ? CTamvikOption::kChosenColor
                                                : CTamvikOption::kTextColor);
  if (s.cursor < CTamvikOption::kItemSlots) {
    DrawText(window, Big5("＊"), SlotX(s.cursor) - 32, SlotY(s.cursor) + 12,
             CTamvikOption::kChosenColor);
  }
  UpdateAll();
}

void CloseMessage(ItemWork& work) {
  if (work.message_window == 0) return;
  TamvikFunc::CloseMessageWindow();
  work.message_window = 0;
}

// Shows the item's picture and message.
void ShowItem(CTamvikOption::ItemState& s, ItemWork& work, uint16_t item) {
  char name[40];
  CTamvikOption::ItemPictureName(item, name);
  s.picture = Rect{};
  if (TamvikFunc::LoadSprToSurface(name, 0, CTamvikOption::kItemPictureX,
                                   CTamvikOption::kItemPictureY, SURFACE_SCRATCH, 0) != 0) {
    // Copied into the window's picture at once: surface 12 is also where window boxes are made
    // (the message window's below).
    TamvikFunc::GetPictureRect(&s.picture);
    const Rect& p = s.picture;
    const Rect& frame = CTamvikOption::kOptionFrame;
    const Rect at{p.left - frame.left, p.top - frame.top, p.right - frame.left,
                  p.bottom - frame.top};
    if (s.window != nullptr) {
      Ctx().ddraw_window.BltToPiece(s.window, CDdrawWindow::kFrameSprite, p, at, SURFACE_SCRATCH,
                                    0);
    }
  } else {
    DebugPrint("CTamvikOption: no item picture %s\n", name);
  }
  s.showing = 1;
  // The message of the item's number (the table gives no other link from an item to a text).
  MessageData message;
  if (Scene().macro.GetMessageData(&message, item) == 0 || message.text == nullptr) {
    DebugPrint("MessageData not Found!:0x%x %d\n", GetAdvState()->sceneCode(), item);
    return;
  }
  if (!TamvikFunc::HasMessageWindow()) {
    TamvikFunc::CreateMessageWindow(TamvikFunc::kDefaultWindowStyle);
    work.message_window = TamvikFunc::HasMessageWindow() ? 1 : 0;
  }
  TamvikFunc::ClearMessageText();
  TamvikFunc::PutMessageText(reinterpret_cast<const char*>(message.text), 0);
}

// One frame of the viewer's input; whether it leaves.
bool Routine(CTamvikOption::ItemState& s, ItemWork& work) {
  const bool decide = IsKeyTriggered(kKeyDecide) != 0;
  const bool cancel = IsKeyTriggered(kKeyCancel) != 0;
  if (s.showing != 0) {
    if (decide || cancel) {
      s.showing = 0;
      TamvikFunc::StopMessageText();
      CloseMessage(work);
      // The window's picture is made again without the item's.
      DeleteWindow(&s.window, &s.window_anime);
      s.window = MakeWindow(CTamvikOption::kOptionFrame, CTamvikOption::kOptionInner,
                            CTamvikOption::kOptionColor, CTamvikOption::kOptionStyle, nullptr);
      if (s.window != nullptr) Ctx().ddraw_window.SetOpen(s.window, 100, 100);
      DrawItemWindow(s);
    }
    return false;
  }
  if (cancel) return true;
  if (decide) {
    if (s.cursor == CTamvikOption::kItemBack) return true;
    if (s.cursor < s.count) {
      PlaySystemSe(kSeDecide);
      ShowItem(s, work, s.items[s.cursor]);
      DrawItemWindow(s);
    }
    return false;
  }
  const uint8_t before = s.cursor;
  const int c = s.cursor;
  if (IsKeyTriggered(kKeyLeft) != 0 && c < CTamvikOption::kItemSlots) {
    s.cursor = static_cast<uint8_t>(c % kPerRow == 0 ? c + kPerRow - 1 : c - 1);
  } else if (IsKeyTriggered(kKeyRight) != 0 && c < CTamvikOption::kItemSlots) {
    s.cursor = static_cast<uint8_t>(c % kPerRow == kPerRow - 1 ? c - kPerRow + 1 : c + 1);
  } else if (IsKeyTriggered(kKeyUp) != 0) {
    s.cursor = static_cast<uint8_t>(c == CTamvikOption::kItemBack ? kPerRow
                                    : c < kPerRow                 ? CTamvikOption::kItemBack
                                                                  : c - kPerRow);
  } else if (IsKeyTriggered(kKeyDown) != 0) {
    s.cursor = static_cast<uint8_t>(c == CTamvikOption::kItemBack ? 0
                                    : c >= kPerRow                ? CTamvikOption::kItemBack
                                                                  : c + kPerRow);
  }
  if (s.cursor != before) {
    PlaySystemSe(kSeMove);
    DrawItemWindow(s);
  }
  return false;
}

void Release(CTamvikOption::ItemState& s, ItemWork& work) {
  CloseMessage(work);
  DeleteWindow(&s.window, &s.window_anime);
  if (s.icon_file != nullptr) TamvikFunc::ReleaseAnmFile(s.icon_file);
}

}  // namespace

void CTamvikOption::ItemPictureName(uint16_t item, char (&out)[40]) {
  std::snprintf(out, sizeof out, "%s%s%.02d%s", "tamvik1\\item\\", "item", static_cast<int>(item),
                ".spr");
}

int CTamvikOption::StartItemMenu(GameTaskRec* owner) {
  DebugPrint("SetTask %s\n", kItemMenuName);
  GameTaskRec* record =
      AppendScreenTask<ItemWork, ItemState>(Ctx().game_task, kItemMenuName, &ItemMenu, owner);
  return record != nullptr ? 1 : 0;
}

bool CTamvikOption::IsItemMenuEnd() { return !kItemMenu.IsRunning(Ctx().game_task); }

void CTamvikOption::ItemMenu(GameTaskRec* record) {
  StepTask<ItemWork> task(Ctx().game_task, record);
  ItemState& s = StateOf(record);
  ItemWork& work = task.work();
  if (task.OwnerGone()) {
    Release(s, work);
    task.End();
    return;
  }
  switch (task.step()) {
    case 0: {
      s.count = static_cast<uint8_t>(CTamvikMacro::GetItemNum());
      for (int i = 0; i < kItemSlots; ++i) {
        s.items[static_cast<size_t>(i)] = i < s.count ? CTamvikMacro::GetItem(i) : 0;
      }
      s.cursor = s.count > 0 ? 0 : kItemBack;
      if (s.icon_file == nullptr) s.icon_file = TamvikFunc::LoadAnmFile(kItemIconFile);
      if (s.icon_file == nullptr) DebugPrint("CTamvikOption: no %s\n", kItemIconFile);
      s.window = MakeWindow(kOptionFrame, kOptionInner, kOptionColor, kOptionStyle, nullptr);
      DrawItemWindow(s);
      OpenWithSound(s.window, &s.window_anime);
      task.GoTo(1);
      break;
    }
    case 1:
      if (OpeningDone(s.window_anime)) task.GoTo(2);
      break;
    case 2:
      if (!Routine(s, work)) break;
      CloseWithSound(s.window, &s.window_anime);
      task.GoTo(3);
      break;
    case 3:
      if (s.window_anime != nullptr) break;
      [[fallthrough]];
    default:
      Release(s, work);
      task.End();
      break;
  }
}
