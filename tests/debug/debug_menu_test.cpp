#include "debug/debug_menu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/window/window.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

constexpr GameKeyBits kUp = kGameKeyUp;
constexpr GameKeyBits kDown = kGameKeyDown;
constexpr GameKeyBits kLeft = kGameKeyLeft;
constexpr GameKeyBits kRight = kGameKeyRight;
constexpr GameKeyBits kPages = 0x08;  // held: pages, steps of 100
constexpr GameKeyBits kSteps = 0x02;  // held: steps of 10 and 50 (1000)

// MAIN's rows of each kind, by cursor.
constexpr int kActionRow = 1;  // "記憶體狀態", kind 0, code 2
constexpr int kSwitchRow = 2;  // "遊戲啟動", kind 1
constexpr int kByteRow = 3;    // "讀入巨集", kind 255, code 21
constexpr int kWordRow = 13;   // "SprList", kind 65535

// A fresh engine and a built menu, closed as after start-up.
struct MenuRig {
  MenuRig() {
    menu.DebugMenuBuild();
    menu.DebugMenuReset();
  }
  DebugMenuItemNode* Item(int page, int cursor) { return menu.GetItem(page, cursor); }

  testsupport::TestEngine engine;
  CDebugMenu menu;
};

// The same with the display set up, so that the menu window can be made.
struct DisplayRig : MenuRig {
  DisplayRig() { EXPECT_EQ(Ctx().ddraw.InitDirectDraw(), 1); }
  std::vector<const WindowRec*> Windows() const {
    std::vector<const WindowRec*> out;
    for (const WindowRec* w = Ctx().ddraw_window.head(); w != nullptr; w = w->next) out.push_back(w);
    return out;
  }
};

// ---- The object, the table, building and freeing ----

TEST(DebugMenu, StartsOpenOnPageZeroWithCursorOneAndNoPages) {
  testsupport::TestEngine engine;
  int gdi_deleted = 0;
  {
    CDebugMenu menu;
    EXPECT_EQ(menu.open, 1);
    EXPECT_EQ(menu.page, 0);
    EXPECT_EQ(menu.count, 0);
    EXPECT_EQ(menu.cursor, 1);
    EXPECT_EQ(menu.pages(), nullptr);
    EXPECT_EQ(menu.GetPage(0), nullptr);
    EXPECT_EQ(menu.GetItem(0, 1), nullptr);
    EXPECT_EQ(menu.GetValueByCode(21), -1);
    EXPECT_EQ(menu.DebugFrameHook(), 0);
    menu.DebugMenuReset();
    EXPECT_EQ(menu.open, 0);
    // A GDI object set on the menu goes with it (nothing in the game sets one).
    static int marker = 0;
    menu.gdi_object = std::shared_ptr<void>(&marker, [&gdi_deleted](void*) { ++gdi_deleted; });
  }
  EXPECT_EQ(gdi_deleted, 1);
}

TEST(DebugMenuTable, SixPagesOfThirtyTwoRowsWithTheirHeaders) {
  const struct {
    const char* title;
    int count;
  } headers[] = {{"DEBUG MENU MAIN", 18},       {"DEBUG MENU GRAPH", 18},
                 {"DEBUG MENU CHARA", 16},      {"DEBUG MENU GAME", 18},
                 {"DEBUG MENU SIMULATION", 18}, {"DEBUG MENU SOUND", 10}};
  for (int p = 0; p < kDbMenuPageCount; ++p) {
    SCOPED_TRACE(p);
    EXPECT_STREQ(DbMenuItem[p].title, headers[p].title);
    EXPECT_EQ(DbMenuItem[p].count, headers[p].count);
    for (int r = 0; r < kDbMenuRowCount; ++r) {
      const DbMenuRow& row = DbMenuItem[p].rows[r];
      EXPECT_EQ(row.x, 24) << r;
      EXPECT_TRUE(row.kind == 0 || row.kind == 1 || row.kind == 255 || row.kind == 65535) << r;
      EXPECT_GE(row.value, 0) << r;
      EXPECT_LE(row.value, row.kind == 0 ? 0 : row.kind) << r;
      EXPECT_GE(row.code, 0) << r;
      EXPECT_LE(row.code, CDebugMenu::kActionCount) << r;
      if (r >= headers[p].count) {
        EXPECT_EQ(row.label, nullptr) << r;
        EXPECT_EQ(row.kind, 0) << r;
        EXPECT_EQ(row.code, 0) << r;
      }
    }
  }
  // The first and last rows of each page, and the empty rows inside the lists.
  const struct {
    int page, row;
    const char* label;
    int kind, value, code;
  } rows[] = {
      {0, 0, "記憶體狀態", 0, 0, 2},         {0, 3, "模擬器", 255, 255, 26},
      {0, 17, "TaskList", 0, 0, 16},         {1, 0, "背景讀到BG(255透明)", 65535, 0, 29},
      {1, 8, "UnitAnmViewX", 65535, 320, 38}, {1, 17, "SpriteLoad", 65535, 0, 33},
      {2, 6, "NOP", 0, 0, 0},                {2, 8, "SyncTest", 65535, 60001, 57},
      {2, 11, nullptr, 0, 0, 0},             {2, 14, nullptr, 0, 0, 0},
      {2, 15, nullptr, 0, 0, 0},             {3, 9, nullptr, 0, 0, 0},
      {3, 17, "SetSysFlag", 255, 0, 84},     {4, 5, "合體攻擊測試", 255, 1, 66},
      {4, 17, "BattlePlayerParamMax", 0, 0, 75}, {5, 3, "BGM SetBGMVol", 255, 100, 88},
      {5, 9, "StopStaticSE", 255, 0, 94},
  };
  for (const auto& c : rows) {
    const DbMenuRow& row = DbMenuItem[c.page].rows[c.row];
    SCOPED_TRACE(std::to_string(c.page) + "/" + std::to_string(c.row));
    if (c.label == nullptr) {
      EXPECT_EQ(row.label, nullptr);
    } else {
      EXPECT_STREQ(row.label, c.label);
    }
    EXPECT_EQ(row.kind, c.kind);
    EXPECT_EQ(row.value, c.value);
    EXPECT_EQ(row.code, c.code);
  }
}

TEST(DebugMenuBuild, MakesSixPagesOfThirtyTwoCopiedNodesAndFreesThemAll) {
  testsupport::TestEngine engine;
  CDebugMenu menu;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    menu.DebugMenuBuild();
    int p = 0;
    for (const DebugMenuPageNode* page = menu.pages(); page != nullptr; page = page->next, ++p) {
      ASSERT_LT(p, kDbMenuPageCount);
      EXPECT_STREQ(page->title, DbMenuItem[p].title);
      EXPECT_NE(page->title, DbMenuItem[p].title);  // a copy
      EXPECT_EQ(page->count, DbMenuItem[p].count);
      int r = 0;
      for (const DebugMenuItemNode* item = page->items; item != nullptr; item = item->next, ++r) {
        ASSERT_LT(r, kDbMenuRowCount);
        const DbMenuRow& row = DbMenuItem[p].rows[r];
        EXPECT_EQ(item->x, row.x);
        EXPECT_EQ(item->kind, row.kind);
        EXPECT_EQ(item->value, row.value);
        EXPECT_EQ(item->code, row.code);
        if (row.label == nullptr) {
          EXPECT_EQ(item->label, nullptr);
        } else {
          EXPECT_STREQ(item->label, row.label);
          EXPECT_NE(item->label, row.label);
        }
      }
      EXPECT_EQ(r, kDbMenuRowCount);
    }
    EXPECT_EQ(p, kDbMenuPageCount);
    menu.DebugMenuFree();
    EXPECT_EQ(menu.pages(), nullptr);
  }
  // Built twice without a free: the first pages go (LeakSanitizer checks at exit), six remain.
  menu.DebugMenuBuild();
  menu.DebugMenuBuild();
  int pages = 0;
  for (const DebugMenuPageNode* page = menu.pages(); page != nullptr; page = page->next) ++pages;
  EXPECT_EQ(pages, kDbMenuPageCount);
  // The destructor frees the rest.
}

TEST(DebugMenuBuild, ChangingABuiltLabelLeavesTheTableAsItWas) {
  MenuRig rig;
  DebugMenuItemNode* item = rig.Item(0, kByteRow);
  ASSERT_NE(item->label, nullptr);
  item->label[0] = 'X';
  item->value = 9;
  EXPECT_STREQ(DbMenuItem[0].rows[kByteRow - 1].label, "讀入巨集");
  EXPECT_EQ(DbMenuItem[0].rows[kByteRow - 1].value, 0);
  // A new build starts from the table again.
  rig.menu.DebugMenuBuild();
  EXPECT_STREQ(rig.Item(0, kByteRow)->label, "讀入巨集");
  EXPECT_EQ(rig.Item(0, kByteRow)->value, 0);
}

// ---- Look-ups ----

TEST(DebugMenuLookUp, PagesItemsAndValuesByCode) {
  MenuRig rig;
  EXPECT_STREQ(rig.menu.GetPage(0)->title, "DEBUG MENU MAIN");
  EXPECT_STREQ(rig.menu.GetPage(5)->title, "DEBUG MENU SOUND");
  EXPECT_STREQ(rig.menu.GetPage(99)->title, "DEBUG MENU SOUND");  // past the end: the last
  EXPECT_STREQ(rig.Item(0, 1)->label, "記憶體狀態");
  EXPECT_STREQ(rig.Item(0, 18)->label, "TaskList");
  EXPECT_STREQ(rig.Item(0, 99)->label, "TaskList");  // past the count: the last item
  EXPECT_STREQ(rig.Item(5, 11)->label, "StopStaticSE");
  EXPECT_EQ(rig.Item(2, 16)->label, nullptr);        // CHARA's last item is an empty row

  // Code 21 stands on MAIN ("讀入巨集") and on GAME ("LoadMacro"): the first is MAIN's.
  rig.Item(0, kByteRow)->value = 3;
  rig.Item(3, 5)->value = 9;
  EXPECT_EQ(rig.menu.GetValueByCode(21), 3);
  rig.Item(3, 3)->value = 42;  // GAME's "ViewVarP"
  EXPECT_EQ(rig.menu.GetValueByCode(24), 42);
  EXPECT_EQ(rig.menu.GetValueByCode(57), 60001);
  EXPECT_EQ(rig.menu.GetValueByCode(99), -1);
}

// ---- Keys ----

TEST(DebugMenuKeys, ValuesStepByKindKeyAndModifier) {
  const struct {
    int kind_row;  // the MAIN row of that kind
    int kind;
    int from;
    GameKeyBits key;
    GameKeyBits held;
    int to;
  } cases[] = {
      // Single steps wrap through the kind.
      {kByteRow, 255, 254, kRight, 0, 255},
      {kByteRow, 255, 255, kRight, 0, 0},
      {kByteRow, 255, 0, kLeft, 0, 255},
      {kByteRow, 255, 1, kLeft, 0, 0},
      {kSwitchRow, 1, 0, kRight, 0, 1},
      {kSwitchRow, 1, 1, kRight, 0, 0},
      {kSwitchRow, 1, 0, kLeft, 0, 1},
      {kWordRow, 65535, 65535, kRight, 0, 0},
      {kWordRow, 65535, 0, kLeft, 0, 65535},
      {kActionRow, 0, 0, kRight, 0, 0},
      {kActionRow, 0, 0, kLeft, 0, 0},
      // Steps of 10 with 0x02 held stop at the bounds.
      {kByteRow, 255, 1, kRight, kSteps, 11},
      {kByteRow, 255, 254, kRight, kSteps, 255},
      {kByteRow, 255, 255, kRight, kSteps, 255},
      {kByteRow, 255, 1, kLeft, kSteps, 0},
      {kByteRow, 255, 254, kLeft, kSteps, 244},
      {kSwitchRow, 1, 0, kRight, kSteps, 1},
      {kSwitchRow, 1, 1, kLeft, kSteps, 0},
      {kActionRow, 0, 0, kRight, kSteps, 0},
      // Steps of 50 (1000 for word items) with 0x02 held.
      {kByteRow, 255, 1, kUp, kSteps, 51},
      {kByteRow, 255, 254, kUp, kSteps, 255},
      {kByteRow, 255, 1, kDown, kSteps, 0},
      {kByteRow, 255, 255, kDown, kSteps, 205},
      {kWordRow, 65535, 1, kUp, kSteps, 1001},
      {kWordRow, 65535, 65534, kUp, kSteps, 65535},
      {kWordRow, 65535, 65535, kDown, kSteps, 64535},
      {kWordRow, 65535, 1, kDown, kSteps, 0},
      {kSwitchRow, 1, 0, kUp, kSteps, 1},
      {kActionRow, 0, 0, kUp, kSteps, 0},
      // Steps of 100 with 0x08 held; 0x08 wins over 0x02.
      {kByteRow, 255, 1, kUp, kPages, 101},
      {kByteRow, 255, 254, kUp, kPages, 255},
      {kByteRow, 255, 255, kDown, kPages, 155},
      {kByteRow, 255, 1, kDown, kPages, 0},
      {kWordRow, 65535, 1, kUp, kPages | kSteps, 101},
      {kWordRow, 65535, 65535, kDown, kPages, 65435},
      {kSwitchRow, 1, 0, kUp, kPages, 1},
      {kSwitchRow, 1, 1, kDown, kPages, 0},
      {kActionRow, 0, 0, kUp, kPages, 0},
      // Up and down alone move the cursor and leave the value.
      {kByteRow, 255, 7, kUp, 0, 7},
      {kWordRow, 65535, 65535, kDown, 0, 65535},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " from " + std::to_string(c.from) + " key " +
                 std::to_string(c.key) + " held " + std::to_string(c.held));
    MenuRig rig;
    rig.menu.cursor = c.kind_row;
    DebugMenuItemNode* item = rig.Item(0, c.kind_row);
    ASSERT_EQ(item->kind, c.kind);
    item->value = c.from;
    rig.menu.DebugMenuExec(c.key, c.held);
    EXPECT_EQ(item->value, c.to);
    EXPECT_EQ(rig.menu.page, 0);
  }
}

TEST(DebugMenuKeys, CursorWrapsAndPagesWrapKeepingTheCursor) {
  MenuRig rig;
  CDebugMenu& menu = rig.menu;
  menu.DebugMenuExec(kUp, 0);  // up on 1: the count
  EXPECT_EQ(menu.cursor, 18);
  EXPECT_EQ(menu.count, 18);
  menu.DebugMenuExec(kDown, 0);  // down on the last item: 1
  EXPECT_EQ(menu.cursor, 1);
  menu.DebugMenuExec(kDown, 0);
  EXPECT_EQ(menu.cursor, 2);

  menu.page = 5;
  menu.DebugMenuExec(kRight, kPages);
  EXPECT_EQ(menu.page, 0);
  menu.DebugMenuExec(kLeft, kPages);
  EXPECT_EQ(menu.page, 5);
  menu.DebugMenuExec(kLeft, kPages | kSteps);
  EXPECT_EQ(menu.page, 4);

  // From cursor 18 on MAIN to CHARA (16 items): the cursor stays and addresses the last item.
  menu.page = 1;
  menu.cursor = 18;
  const int value_before = rig.Item(1, 18)->value;
  menu.DebugMenuExec(kRight, kPages);
  EXPECT_EQ(menu.page, 2);
  EXPECT_EQ(menu.cursor, 18);
  EXPECT_EQ(menu.GetItem(2, menu.cursor), rig.Item(2, 16));
  EXPECT_EQ(rig.Item(1, 18)->value, value_before);  // the page change changed no value
  // A value step there changes CHARA's last item; up goes on from the cursor, down wraps.
  menu.page = 0;
  menu.cursor = 18;
  menu.DebugMenuExec(kRight, kPages);
  menu.DebugMenuExec(kRight, kPages);
  ASSERT_EQ(menu.page, 2);
  rig.Item(2, 16)->kind = 255;
  menu.DebugMenuExec(kRight, 0);
  EXPECT_EQ(rig.Item(2, 16)->value, 1);
  menu.DebugMenuExec(kDown, 0);
  EXPECT_EQ(menu.cursor, 1);
}

TEST(DebugMenuKeys, KeysBeforeTheBuildChangeNothingButThePage) {
  testsupport::TestEngine engine;
  CDebugMenu menu;
  menu.DebugMenuReset();
  for (GameKeyBits key : {kUp, kDown, kLeft, kRight, kGameKey0}) {
    for (GameKeyBits held : {GameKeyBits{0}, kSteps}) menu.DebugMenuExec(key, held);
  }
  EXPECT_EQ(menu.cursor, 1);
  menu.DebugMenuExec(kRight, kPages);
  EXPECT_EQ(menu.page, 1);
}

// ---- Dispatch ----

struct ActionSpy {
  struct Call {
    int index;
    int value;
  };
  explicit ActionSpy(CDebugMenu& menu) {
    for (int i = 0; i < CDebugMenu::kActionCount; ++i) {
      menu.actions[i] = [this, i](int32_t value) { calls.push_back({i, value}); };
    }
  }
  std::vector<Call> calls;
};

TEST(DebugMenuDispatch, DecideRunsTheActionOfCodeMinusOneWithTheValue) {
  MenuRig rig;
  ActionSpy spy(rig.menu);
  // MAIN's first item, "記憶體狀態" (code 2, value 0): action 2, entry 1.
  rig.menu.DebugMenuExec(kGameKey0, 0);
  ASSERT_EQ(spy.calls.size(), 1u);
  EXPECT_EQ(spy.calls[0].index, 1);
  EXPECT_EQ(spy.calls[0].value, 0);

  // "讀入巨集" (code 21) with its value.
  spy.calls.clear();
  rig.menu.cursor = kByteRow;
  rig.Item(0, kByteRow)->value = 7;
  rig.menu.DebugMenuExec(kGameKey0, kSteps);
  ASSERT_EQ(spy.calls.size(), 1u);
  EXPECT_EQ(spy.calls[0].index, 20);
  EXPECT_EQ(spy.calls[0].value, 7);

  // The last code, 94 (SOUND's "StopStaticSE"), runs the last entry.
  spy.calls.clear();
  rig.menu.page = 5;
  rig.menu.cursor = 10;
  rig.menu.DebugMenuExec(kGameKey0, 0);
  ASSERT_EQ(spy.calls.size(), 1u);
  EXPECT_EQ(spy.calls[0].index, 93);

  // A direction pressed with the decide key only moves.
  spy.calls.clear();
  rig.menu.DebugMenuExec(kGameKey0 | kDown, 0);
  EXPECT_TRUE(spy.calls.empty());
  EXPECT_EQ(rig.menu.cursor, 1);
}

TEST(DebugMenuDispatch, CodesZeroAndPastNinetyFourRunNothing) {
  MenuRig rig;
  ActionSpy spy(rig.menu);
  rig.menu.page = 2;
  rig.menu.cursor = 7;  // CHARA's "NOP", code 0
  rig.menu.DebugMenuExec(kGameKey0, 0);
  rig.menu.cursor = 12;  // an empty row
  rig.menu.DebugMenuExec(kGameKey0, 0);
  rig.Item(2, 1)->code = 95;
  rig.menu.cursor = 1;
  rig.menu.DebugMenuExec(kGameKey0, 0);
  rig.Item(2, 1)->code = -1;
  rig.menu.DebugMenuExec(kGameKey0, 0);
  EXPECT_TRUE(spy.calls.empty());
}

TEST(DebugMenuDispatch, AnEmptyEntryOnlyTraces) {
  MenuRig rig;
  testsupport::TraceCapture trace;
  rig.menu.DebugMenuExec(kGameKey0, 0);
  EXPECT_TRUE(trace.Contains("action 2 (value 0) is not there"));
}

// ---- Opening, closing, the close entry ----

TEST(DebugMenuFrame, ToggleKeyOpensTheWindowOnSurfaceElevenAndClosesIt) {
  DisplayRig rig;
  CDebugMenu& menu = rig.menu;
  Ctx().ddraw.SetVisible(SURFACE_DEBUG2, 0);
  menu.DebugMenuFrame(0, 0);
  EXPECT_EQ(menu.open, 0);
  EXPECT_TRUE(rig.Windows().empty());

  menu.DebugMenuFrame(kGameKeyTab, 0);
  EXPECT_EQ(menu.open, 1);
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_DEBUG2), 0u);
  const auto windows = rig.Windows();
  ASSERT_EQ(windows.size(), 1u);
  const WindowRec* w = windows[0];
  EXPECT_EQ(w, menu.menu_window);
  EXPECT_EQ(w->surface_id, SURFACE_DEBUG2);
  const auto same = [](const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  EXPECT_TRUE(same(w->frame, Rect{8, 8, 328, 328}));
  EXPECT_TRUE(same(w->inner, Rect{8, 8, 328, 328}));
  EXPECT_TRUE(same(w->text, Rect{16, 16, 320, 320}));
  EXPECT_EQ(w->base_color, 0xC04040u);
  EXPECT_EQ(w->style, 6);

  // While open the keys work every frame.
  menu.DebugMenuFrame(kDown, 0);
  EXPECT_EQ(menu.cursor, 2);

  menu.DebugMenuFrame(kGameKeyTab, 0);
  EXPECT_EQ(menu.open, 0);
  EXPECT_EQ(menu.menu_window, nullptr);
  EXPECT_TRUE(rig.Windows().empty());
  // Closed, the keys do nothing.
  menu.DebugMenuFrame(kDown, 0);
  EXPECT_EQ(menu.cursor, 2);

  // Opened again after a reset that forgot an open window: still one window.
  menu.DebugMenuFrame(kGameKeyTab, 0);
  menu.DebugMenuReset();
  menu.DebugMenuFrame(kGameKeyTab, 0);
  EXPECT_EQ(menu.open, 1);
  EXPECT_EQ(rig.Windows().size(), 1u);
}

TEST(DebugMenuClose, DeletesBothWindowsAndIsHarmlessWhenNothingIsOpen) {
  DisplayRig rig;
  CDebugMenu& menu = rig.menu;
  menu.DebugMenuClose();  // closed, nothing made
  {
    CDebugMenu never_built;
    never_built.DebugMenuClose();
    EXPECT_EQ(never_built.open, 0);
  }
  EXPECT_TRUE(rig.Windows().empty());

  menu.DebugMenuFrame(kGameKeyTab, 0);
  menu.debug_window = Ctx().ddraw_window.Create(SURFACE_DEBUG, {0, 0, 100, 100},
                                                {0, 0, 100, 100}, {8, 8, 92, 92}, 0x404040, 0);
  ASSERT_NE(menu.debug_window, nullptr);
  ASSERT_EQ(rig.Windows().size(), 2u);
  menu.DebugMenuClose();
  EXPECT_TRUE(rig.Windows().empty());
  EXPECT_EQ(menu.menu_window, nullptr);
  EXPECT_EQ(menu.debug_window, nullptr);
  EXPECT_EQ(menu.open, 0);
  menu.DebugMenuClose();  // twice

  // Windows deleted elsewhere (all windows go at shutdown): the handles are only forgotten.
  menu.DebugMenuFrame(kGameKeyTab, 0);
  ASSERT_NE(menu.menu_window, nullptr);
  Ctx().ddraw_window.DeleteAll();
  menu.DebugMenuDraw();
  menu.DebugMenuFrame(kGameKeyTab, 0);
  EXPECT_EQ(menu.menu_window, nullptr);
  menu.DebugMenuClose();
  EXPECT_TRUE(rig.Windows().empty());
}

// ---- The page in the trace ----

struct Traced {
  std::string window;
  int x, y;
  std::string text;
};

std::vector<Traced> PageLines(const testsupport::TraceCapture& trace) {
  std::vector<Traced> out;
  for (const DebugTraceLine& line : trace.lines()) {
    if (line.window == CDebugMenu::kTraceWindow) out.push_back({line.window, line.x, line.y, line.text});
  }
  return out;
}

// The text traced at (x, y), or "(none)".
std::string At(const std::vector<Traced>& lines, int x, int y) {
  std::string found = "(none)";
  for (const Traced& t : lines) {
    if (t.x == x && t.y == y) found = t.text;
  }
  return found;
}

TEST(DebugMenuDraw, WritesTitleItemsValuesAndCursorToTheTraceWindow) {
  DisplayRig rig;
  rig.Item(0, kByteRow)->value = 7;
  rig.Item(0, kWordRow)->value = 60001;
  testsupport::TraceCapture trace;
  rig.menu.DebugMenuFrame(kGameKeyTab, 0);
  const auto lines = PageLines(trace);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().text, "DEBUG MENU MAIN");
  EXPECT_EQ(lines.front().x, 0);
  EXPECT_EQ(lines.front().y, 0);
  const struct {
    int x, y;
    const char* text;
  } expected[] = {
      {24, 16, "記憶體狀態"}, {264, 16, "(none)"},     // kind 0: no value
      {24, 32, "遊戲啟動"},   {264, 32, "FALSE"},      // kind 1, value 0
      {24, 48, "讀入巨集"},   {264, 48, "007"},        // kind 255: "%.03d"
      {264, 64, "255"},       {264, 80, "TRUE"},       // "模擬器" 255; SURFACE_DEBUG 1
      {264, 208, "60001"},    {24, 288, "TaskList"},   // "SprList"; item 18
      {24, 304, "(none)"},                              // nothing past the count
  };
  for (const auto& e : expected) EXPECT_EQ(At(lines, e.x, e.y), e.text) << e.x << "," << e.y;
  // The cursor mark last, at the cursor's row.
  EXPECT_EQ(lines.back().text, "＞");
  EXPECT_EQ(lines.back().x, 0);
  EXPECT_EQ(lines.back().y, 16);

  // An on/off item shows TRUE only for the value 1.
  for (int value : {0, 1, 2, 255}) {
    trace.Clear();
    rig.Item(0, kSwitchRow)->value = value;
    rig.menu.DebugMenuDraw();
    EXPECT_EQ(At(PageLines(trace), 264, 32), value == 1 ? "TRUE" : "FALSE") << value;
  }

  // A key redraws the page, the mark at the new row; a closed menu draws nothing.
  trace.Clear();
  rig.menu.DebugMenuFrame(kDown, 0);
  EXPECT_EQ(PageLines(trace).back().y, 32);
  rig.menu.DebugMenuFrame(kGameKeyTab, 0);
  trace.Clear();
  rig.menu.DebugMenuDraw();
  EXPECT_TRUE(PageLines(trace).empty());
}

TEST(DebugMenuDraw, EmptyRowsPrintNoLabelButTheirValue) {
  DisplayRig rig;
  rig.menu.page = 2;  // CHARA: rows 12, 15 and 16 are empty
  rig.Item(2, 15)->kind = 255;
  rig.Item(2, 15)->value = 5;
  testsupport::TraceCapture trace;
  rig.menu.DebugMenuFrame(kGameKeyTab, 0);
  const auto lines = PageLines(trace);
  EXPECT_EQ(lines.front().text, "DEBUG MENU CHARA");
  EXPECT_EQ(At(lines, 24, 16 * 11), "MesWin");
  EXPECT_EQ(At(lines, 24, 16 * 12), "(none)");
  EXPECT_EQ(At(lines, 264, 16 * 12), "(none)");
  EXPECT_EQ(At(lines, 24, 16 * 15), "(none)");
  EXPECT_EQ(At(lines, 264, 16 * 15), "005");
  EXPECT_EQ(At(lines, 24, 16 * 16), "(none)");
  for (const Traced& t : lines) EXPECT_EQ(t.text.find("(null)"), std::string::npos) << t.y;
}

}  // namespace
