#pragma once
// The developer debug menu: six pages of named items (graphics, characters, game state, battles,
// sound), built from a static table, shown as text through the debug trace in a window on the
// debug surface 11, navigated and edited with the direction keys and run with the decide key.
//
// One CDebugMenu lives for the program's run: the composition root makes it before the spine
// starts, hands its reset and frame hook to the spine (GameHooks) and its close to the game
// restart (GameSequences::debug_menu_close), and destroys it after the spine ends. Nothing in the
// game opens the menu: the frame hook always returns 0 and nothing calls DebugMenuFrame or
// DebugMenuBuild in the frame; tests drive them directly with chosen game keys.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/anime/anime_handle.h"
#include "engine/input/dinput.h"

struct SprAnm;
struct SprUnit;
struct SprUnitHandle;
struct WindowRec;

// ---- The static table the pages are built from ----

// Item kinds; the kind is also the value's upper bound.
constexpr int32_t kDbKindAction = 0;   // an action: no value shown
constexpr int32_t kDbKindSwitch = 1;   // on/off, shown as TRUE or FALSE
constexpr int32_t kDbKindByte = 255;   // 0-255, shown as "%.03d"
constexpr int32_t kDbKindWord = 65535; // 0-65535, shown as "%.03d"

// One row: x offset, kind, initial value, label (none for an empty row) and item code (the
// action it runs, 1-94; 0 none). Rows past a page's list keep these defaults.
struct DbMenuRow {
  int32_t x = 24;
  int32_t kind = kDbKindAction;
  int32_t value = 0;
  const char* label = nullptr;
  int32_t code = 0;
};

constexpr int kDbMenuPageCount = 6;
constexpr int kDbMenuRowCount = 32;

// A page of the table: its header (title and item count) and its 32 rows.
struct DbMenuPage {
  const char* title = nullptr;
  int32_t count = 0;
  std::array<DbMenuRow, kDbMenuRowCount> rows{};
};

// MAIN, GRAPH, CHARA, GAME, SIMULATION, SOUND.
extern const std::array<DbMenuPage, kDbMenuPageCount> DbMenuItem;

// ---- The built lists ----

// An item of a page (heap): its own copy of the label, or none.
struct DebugMenuItemNode {
  DebugMenuItemNode* next = nullptr;
  int32_t x = 0;
  int32_t kind = 0;
  int32_t value = 0;
  char* label = nullptr;
  int32_t code = 0;
};

// A page (heap): its own copy of the title, the item count and its 32 items.
struct DebugMenuPageNode {
  DebugMenuPageNode* next = nullptr;
  char* title = nullptr;
  int32_t count = 0;
  DebugMenuItemNode* items = nullptr;
};

// ---- The menu ----

class CDebugMenu {
 public:
  static constexpr int kActionCount = 94;
  // The debug trace window the page is written to.
  static constexpr const char* kTraceWindow = "DB_MenuWindow";
  // The game keys the menu reads.
  static constexpr GameKeyBits kToggleKey = kGameKeyTab;   // opens and closes
  static constexpr GameKeyBits kDecideKey = kGameKey0;     // runs the item under the cursor
  static constexpr GameKeyBits kPageModifier = kGameKey3;  // held: pages, steps of 100
  static constexpr GameKeyBits kStepModifier = kGameKey1;  // held: steps of 10, 50 (1000)

  // An action: receives the value of the item it runs for.
  using Action = std::function<void(int32_t value)>;

  // The empty list head, open flag 1, page 0, count 0, cursor 1.
  CDebugMenu();
  // Frees the pages (DebugMenuFree) and deletes the GDI object when one is set. The windows are
  // the window service's and go with it.
  ~CDebugMenu();
  CDebugMenu(const CDebugMenu&) = delete;
  CDebugMenu& operator=(const CDebugMenu&) = delete;

  // Builds the six pages from DbMenuItem, chained after the head. Pages built before are freed
  // first, so building twice leaks nothing.
  void DebugMenuBuild();
  // Frees every page with its items, labels and title; the head stays, empty.
  void DebugMenuFree();
  // Clears the open flag (the spine calls it once at start-up).
  void DebugMenuReset();
  // The spine's per-frame hook: 0, so the task list runs in every frame.
  int DebugFrameHook() const;

  // One frame of the menu with the game keys of the frame (newly pressed, held): the toggle key
  // opens (open flag 1, surface 11 visible, the menu window made, the page drawn) or closes (open
  // flag 0, the window's text cleared and the window deleted); while open, DebugMenuExec runs.
  void DebugMenuFrame(GameKeyBits trigger, GameKeyBits hold);
  // The same with the keys the input service read this frame.
  void DebugMenuFrame();
  // The key step: a newly pressed direction moves the cursor or the page or changes the value of
  // the item under the cursor (by the held modifiers) and draws the page again; otherwise the
  // decide key runs the item under the cursor.
  void DebugMenuExec(GameKeyBits trigger, GameKeyBits hold);
  // While open: clears the menu window's text and writes the page to the trace window
  // kTraceWindow: the title at (0, 0), item i at (x offset, 16 i) with its value at x offset + 240,
  // and the cursor mark at (0, 16 cursor).
  void DebugMenuDraw();
  // Clears the text of both windows and deletes them, and clears the open flag; harmless when
  // nothing was opened.
  void DebugMenuClose();

  // The page by number (0 the first; past the end the last); none before the menu is built.
  DebugMenuPageNode* GetPage(int number) const;
  // The item by page and cursor (1 the first; past the page's count its last item); none before
  // the menu is built.
  DebugMenuItemNode* GetItem(int page_number, int cursor_number) const;
  // The value of the first item of any page with the code; -1 when there is none.
  int32_t GetValueByCode(int32_t code) const;

  // The first page node, or none before the menu is built.
  DebugMenuPageNode* pages() const { return head_->next; }

  // ---- The menu's state ----
  // A GDI object of the menu; nothing makes one, so it stays empty. Its own deleter runs when the
  // menu goes.
  std::shared_ptr<void> gdi_object;
  int32_t open = 1;    // 0 closed, 1 open
  int32_t page = 0;    // current page 0-5
  int32_t count = 0;   // item count of the current page
  int32_t cursor = 1;  // 1..count
  WindowRec* debug_window = nullptr;  // a second debug window (the debug actions make it)
  WindowRec* menu_window = nullptr;   // the menu's window on surface 11
  // The message table the message test loads, and the word kept beside it.
  std::vector<uint8_t> message_table;
  uint32_t message_word = 0;
  // What the decide key runs: item code n runs entry n - 1 with the item's value. An empty entry
  // only traces.
  std::array<Action, kActionCount> actions;

  // ---- What the debug actions keep (debug/debug_actions.h) ----
  // The raster waves of actions 31 and 32; the files and what is shown by the viewer actions
  // (unit file of 34, animation file of 36, the unit of 35, the animation of 37, the frame of 48).
  struct Viewer {
    AnimeHandle raster_bg = nullptr;
    AnimeHandle raster_fg = nullptr;
    SprUnit* unit_file = nullptr;
    SprAnm* anm_file = nullptr;
    SprUnitHandle* unit = nullptr;
    AnimeHandle anm = nullptr;
    SprUnitHandle* frame = nullptr;
  };
  Viewer viewer;
  // Whether action 56 has read a message table into message_table.
  bool message_table_loaded = false;
  // Action 9: with 1 the menu window made again and the page drawn, with 0 its text cleared and
  // the window deleted.
  void SetMenuWindow(int on);
  // ---- end of what the debug actions keep ----

 private:
  void RunAction(int32_t code, int32_t value);
  // Clears the text of the window and deletes it; forgets a handle whose window is gone.
  static void CloseWindow(WindowRec*& window);

  std::unique_ptr<DebugMenuPageNode> head_;
};

// A menu entry that does nothing (one argument).
void DebugNop(int);
