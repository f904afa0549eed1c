#include "debug/debug_menu.h"

#include <cstring>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/window/window.h"

namespace {

constexpr DbMenuRow Row(int32_t kind, int32_t value, const char* label, int32_t code) {
  return DbMenuRow{24, kind, value, label, code};
}

// An empty row inside a page's list (no label, no action).
constexpr DbMenuRow kEmptyRow = DbMenuRow{};

constexpr int32_t A = kDbKindAction;
constexpr int32_t S = kDbKindSwitch;
constexpr int32_t B = kDbKindByte;
constexpr int32_t W = kDbKindWord;

}  // namespace

const std::array<DbMenuPage, kDbMenuPageCount> DbMenuItem = {{
    {"DEBUG MENU MAIN",
     18,
     {{Row(A, 0, "記憶體狀態", 2), Row(S, 0, "遊戲啟動", 1), Row(B, 0, "讀入巨集", 21),
       Row(B, 255, "模擬器", 26), Row(S, 1, "SURFACE_DEBUG", 8), Row(S, 1, "SURFACE_DEBUG2", 9),
       Row(S, 1, "SURFACE_ROOT", 3), Row(S, 1, "SURFACE_BG", 4), Row(S, 1, "SURFACE_FG", 5),
       Row(S, 1, "SURFACE_FC", 6), Row(S, 1, "SURFACE_TEXT", 7), Row(A, 0, "AnimeList", 10),
       Row(W, 0, "SprList", 11), Row(W, 0, "SprBuffer", 12), Row(W, 0, "UnitList", 13),
       Row(W, 0, "UnitAnmList", 14), Row(A, 0, "WindowList", 15), Row(A, 0, "TaskList", 16)}}},
    {"DEBUG MENU GRAPH",
     18,
     {{Row(W, 0, "背景讀到BG(255透明)", 29), Row(W, 0, "背景讀到FG(255透明)", 30),
       Row(S, 1, "Raster BG", 31), Row(S, 1, "Raster FG", 32), Row(W, 0, "UnitLoad", 34),
       Row(B, 0, "UnitView(255透明)", 35), Row(W, 0, "UnitAnmLoad", 36),
       Row(B, 0, "UnitAnmView", 37), Row(W, 320, "UnitAnmViewX", 38),
       Row(W, 240, "UnitAnmViewY", 39), Row(B, 50, "UnitAnmSpeed", 42),
       Row(S, 0, "UnitAnmLoop", 43), Row(S, 0, "UnitAnmOverlap", 44),
       Row(S, 0, "UnitAnmReverseH", 45), Row(S, 0, "UnitAnmReverseV", 46),
       Row(W, 0, "UnitAnmRotateZ", 47), Row(B, 0, "nitAnmFrameView(255透明)", 48),
       Row(W, 0, "SpriteLoad", 33)}}},
    {"DEBUG MENU CHARA",
     16,
     {{Row(B, 0, "NCOffset", 49), Row(B, 10, "NCChange", 50), Row(B, 0, "NCLoad", 51),
       Row(B, 0, "NCAtr", 52), Row(B, 0, "NCCheck", 53), Row(W, 0, "FaceLoad", 54),
       Row(A, 0, "NOP", 0), Row(B, 0, "SyncLoad", 56), Row(W, 60001, "SyncTest", 57),
       Row(S, 0, "SyncTest2", 58), Row(S, 0, "MesWin", 55), kEmptyRow,
       Row(S, 1, "IconSeq", 59), Row(B, 0, "IconChange", 60), kEmptyRow, kEmptyRow}}},
    {"DEBUG MENU GAME",
     18,
     {{Row(B, 0, "ViewVarA", 22), Row(W, 0, "SetVarA", 23), Row(B, 0, "ViewVarP", 24),
       Row(W, 0, "SetVarP", 25), Row(B, 0, "LoadMacro", 21), Row(S, 0, "SetMacroStep", 17),
       Row(S, 0, "ViewMacroStep", 18), Row(A, 0, "DecodeMacroStep", 19),
       Row(S, 0, "DecodeMacroReturn", 20), kEmptyRow, Row(S, 0, "MapSeq", 28),
       Row(S, 0, "EyeCatch", 61), Row(W, 0, "LIPS", 62), Row(B, 0, "Minigame", 80),
       Row(B, 0, "Option", 81), Row(B, 0, "Caution", 82), Row(B, 0, "Ending", 83),
       Row(B, 0, "SetSysFlag", 84)}}},
    {"DEBUG MENU SIMULATION",
     18,
     {{Row(B, 0, "Simulation(SLG)", 27), Row(B, 0, "Simulation(ADV)", 26),
       Row(B, 0, "必殺技測試", 65), Row(B, 0, "一般攻擊測試", 63), Row(B, 0, "會心攻擊測試", 64),
       Row(B, 1, "合體攻擊測試", 66), Row(B, 0, "攻擊方向", 67), Row(B, 0, "地圖顯示測試", 68),
       Row(B, 0, "地圖讀取測試", 69), Row(S, 0, "BattleSetDebugPriorityFlag", 74),
       Row(S, 1, "繪製地上物", 70), Row(S, 1, "繪製地面", 71),
       Row(S, 1, "BattleSetDrawFlagPriority", 72), Row(S, 1, "BattleSetDrawFlagSky", 73),
       Row(W, 0, "SLG音樂", 77), Row(W, 0, "SLG音效", 78), Row(A, 0, "嘍嘍全滅", 79),
       Row(A, 0, "BattlePlayerParamMax", 75)}}},
    {"DEBUG MENU SOUND",
     10,
     {{Row(B, 0, "BGM編號", 85), Row(A, 0, "BGM 音量", 86), Row(B, 0, "BGM SetVolRate", 87),
       Row(B, 100, "BGM SetBGMVol", 88), Row(W, 0, "PlayVoice", 89), Row(W, 0, "PlaySE", 90),
       Row(W, 0, "PlaySEPCM", 91), Row(B, 0, "LoadStaticSE", 92), Row(B, 0, "PlayStaticSE", 93),
       Row(B, 0, "StopStaticSE", 94)}}},
}};

namespace {

// A heap copy of the text; none for none.
char* CopyText(const char* text) {
  if (text == nullptr) return nullptr;
  const size_t size = std::strlen(text) + 1;
  char* copy = new char[size];
  std::memcpy(copy, text, size);
  return copy;
}

// The window rectangles and look of the menu window on surface 11.
constexpr Rect kMenuFrame{8, 8, 328, 328};
constexpr Rect kMenuInner{8, 8, 328, 328};
constexpr Rect kMenuText{16, 16, 320, 320};
constexpr ColorRef kMenuColor = 0xC04040;
constexpr int kMenuStyle = 6;
// Rows are 16 pixels apart; the value stands 240 pixels right of the label.
constexpr int kRowHeight = 16;
constexpr int kValueColumn = 240;
// The cursor mark: a full-width greater-than sign.
constexpr const char* kCursorMark = "＞";

constexpr GameKeyBits kDirectionKeys = kGameKeyUp | kGameKeyDown | kGameKeyLeft | kGameKeyRight;

// A single step: past the kind comes 0, before 0 the kind.
int32_t StepWrapping(int32_t value, int32_t step, int32_t kind) {
  const int64_t next = static_cast<int64_t>(value) + step;
  if (next > kind) return 0;
  if (next < 0) return kind;
  return static_cast<int32_t>(next);
}

// A large step: stops at 0 and at the kind.
int32_t StepBounded(int32_t value, int32_t step, int32_t kind) {
  const int64_t next = static_cast<int64_t>(value) + step;
  if (next > kind) return kind;
  if (next < 0) return 0;
  return static_cast<int32_t>(next);
}

}  // namespace

CDebugMenu::CDebugMenu() : head_(std::make_unique<DebugMenuPageNode>()) {}

CDebugMenu::~CDebugMenu() { DebugMenuFree(); }

void CDebugMenu::DebugMenuBuild() {
  DebugMenuFree();
  // The item lists first, row by row across the pages, each appended to its page's list.
  std::array<DebugMenuItemNode*, kDbMenuPageCount> lists{};
  std::array<DebugMenuItemNode**, kDbMenuPageCount> tails{};
  for (int p = 0; p < kDbMenuPageCount; ++p) tails[p] = &lists[p];
  for (int row = 0; row < kDbMenuRowCount; ++row) {
    for (int p = 0; p < kDbMenuPageCount; ++p) {
      const DbMenuRow& source = DbMenuItem[p].rows[row];
      auto* item = new DebugMenuItemNode;
      item->x = source.x;
      item->kind = source.kind;
      item->value = source.value;
      item->label = CopyText(source.label);
      item->code = source.code;
      *tails[p] = item;
      tails[p] = &item->next;
    }
  }
  // Then the pages, chained after the head in order.
  DebugMenuPageNode* last = head_.get();
  for (int p = 0; p < kDbMenuPageCount; ++p) {
    auto* node = new DebugMenuPageNode;
    node->title = CopyText(DbMenuItem[p].title);
    node->count = DbMenuItem[p].count;
    node->items = lists[p];
    last->next = node;
    last = node;
  }
}

void CDebugMenu::DebugMenuFree() {
  DebugMenuPageNode* page_node = head_->next;
  head_->next = nullptr;
  while (page_node != nullptr) {
    DebugMenuItemNode* item = page_node->items;
    while (item != nullptr) {
      DebugMenuItemNode* next = item->next;
      delete[] item->label;
      delete item;
      item = next;
    }
    DebugMenuPageNode* next = page_node->next;
    delete[] page_node->title;
    delete page_node;
    page_node = next;
  }
}

void CDebugMenu::DebugMenuReset() { open = 0; }

int CDebugMenu::DebugFrameHook() const { return 0; }

DebugMenuPageNode* CDebugMenu::GetPage(int number) const {
  DebugMenuPageNode* node = head_->next;
  if (node == nullptr) return nullptr;
  for (int i = 0; i < number && node->next != nullptr; ++i) node = node->next;
  return node;
}

DebugMenuItemNode* CDebugMenu::GetItem(int page_number, int cursor_number) const {
  const DebugMenuPageNode* node = GetPage(page_number);
  if (node == nullptr) return nullptr;
  DebugMenuItemNode* item = node->items;
  for (int i = 1; item != nullptr && i < cursor_number && i < node->count && item->next != nullptr;
       ++i) {
    item = item->next;
  }
  return item;
}

int32_t CDebugMenu::GetValueByCode(int32_t code) const {
  for (const DebugMenuPageNode* node = head_->next; node != nullptr; node = node->next) {
    for (const DebugMenuItemNode* item = node->items; item != nullptr; item = item->next) {
      if (item->code == code) return item->value;
    }
  }
  return -1;
}

void CDebugMenu::CloseWindow(WindowRec*& window) {
  CDdrawWindow& windows = Ctx().ddraw_window;
  // A handle whose window was deleted elsewhere (all windows go at shutdown) is only forgotten.
  if (!windows.IsWindow(window)) {
    window = nullptr;
    return;
  }
  windows.ClearText(window);
  windows.Delete(&window);
}

void CDebugMenu::DebugMenuFrame() {
  const CDinput& input = Ctx().input;
  DebugMenuFrame(input.GetKeyTrg(), input.GetKeyHold());
}

void CDebugMenu::DebugMenuFrame(GameKeyBits trigger, GameKeyBits hold) {
  if ((trigger & kToggleKey) != 0) {
    if (open != 0) {
      open = 0;
      CloseWindow(menu_window);
    } else {
      open = 1;
      Ctx().ddraw.SetVisible(SURFACE_DEBUG2, 1);
      // A window still there from an opening the reset forgot is replaced, not left on screen.
      CloseWindow(menu_window);
      menu_window = Ctx().ddraw_window.Create(SURFACE_DEBUG2, kMenuFrame, kMenuInner, kMenuText,
                                              kMenuColor, kMenuStyle);
      DebugMenuDraw();
    }
  }
  if (open != 0) DebugMenuExec(trigger, hold);
}

void CDebugMenu::SetMenuWindow(int on) {
  CloseWindow(menu_window);
  if (on == 0) return;
  menu_window = Ctx().ddraw_window.Create(SURFACE_DEBUG2, kMenuFrame, kMenuInner, kMenuText,
                                          kMenuColor, kMenuStyle);
  DebugMenuDraw();
}

void CDebugMenu::DebugMenuExec(GameKeyBits trigger, GameKeyBits hold) {
  const DebugMenuPageNode* page_node = GetPage(page);
  count = page_node != nullptr ? page_node->count : 0;
  if ((trigger & kDirectionKeys) != 0) {
    DebugMenuItemNode* item = GetItem(page, cursor);
    const bool right = (trigger & kGameKeyRight) != 0;
    const bool left = !right && (trigger & kGameKeyLeft) != 0;
    const bool up = !right && !left && (trigger & kGameKeyUp) != 0;
    const bool down = !right && !left && !up;
    if ((hold & kPageModifier) != 0) {
      if (right) {
        page = (page + 1) % kDbMenuPageCount;
      } else if (left) {
        page = (page + kDbMenuPageCount - 1) % kDbMenuPageCount;
      } else if (item != nullptr) {
        item->value = StepBounded(item->value, up ? 100 : -100, item->kind);
      }
    } else if ((hold & kStepModifier) != 0) {
      if (item != nullptr) {
        const int32_t large = item->kind == kDbKindWord ? 1000 : 50;
        const int32_t step = right ? 10 : left ? -10 : up ? large : -large;
        item->value = StepBounded(item->value, step, item->kind);
      }
    } else if (right || left) {
      if (item != nullptr) item->value = StepWrapping(item->value, right ? 1 : -1, item->kind);
    } else if (up) {
      if (--cursor < 1) cursor = count;
    } else if (down) {
      if (++cursor > count) cursor = 1;
    }
    // The cursor stays a row number even on an empty page.
    if (cursor < 1) cursor = 1;
    DebugMenuDraw();
    return;
  }
  if ((trigger & kDecideKey) != 0) {
    const DebugMenuItemNode* item = GetItem(page, cursor);
    if (item != nullptr) RunAction(item->code, item->value);
  }
}

void CDebugMenu::RunAction(int32_t code, int32_t value) {
  if (code < 1 || code > kActionCount) return;
  const Action& action = actions[code - 1];
  if (!action) {
    DebugPrint("CDebugMenu: action %d (value %d) is not there\n", code, value);
    return;
  }
  action(value);
}

void CDebugMenu::DebugMenuDraw() {
  if (open == 0) return;
  CDdrawWindow& windows = Ctx().ddraw_window;
  if (windows.IsWindow(menu_window)) windows.ClearText(menu_window);
  const DebugMenuPageNode* page_node = GetPage(page);
  if (page_node == nullptr) return;
  count = page_node->count;
  DebugPrintWindow(kTraceWindow, 0, 0, "%s", page_node->title);
  int row = 1;
  for (const DebugMenuItemNode* item = page_node->items; item != nullptr && row <= count;
       item = item->next, ++row) {
    const int y = kRowHeight * row;
    // An empty row has no label: nothing of it reaches the trace but its value, if shown.
    if (item->label != nullptr) DebugPrintWindow(kTraceWindow, item->x, y, "%s", item->label);
    if (item->kind == kDbKindSwitch) {
      DebugPrintWindow(kTraceWindow, item->x + kValueColumn, y, "%s",
                       item->value == 1 ? "TRUE" : "FALSE");
    } else if (item->kind == kDbKindByte || item->kind == kDbKindWord) {
      DebugPrintWindow(kTraceWindow, item->x + kValueColumn, y, "%.03d", item->value);
    }
  }
  DebugPrintWindow(kTraceWindow, 0, kRowHeight * cursor, "%s", kCursorMark);
}

void CDebugMenu::DebugMenuClose() {
  CloseWindow(debug_window);
  CloseWindow(menu_window);
  open = 0;
}

void DebugNop(int) {}
