// The command window (entries by unit, marks, key and mouse selection, opening and closing,
// drawing) and the three two-choice windows, on writer-made system sprites and injected keys.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "engine/app/context.h"
#include "engine/input/dinput.h"
#include "platform/surface.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::SystemSpriteSet;
using testsupport::TraceCapture;

BattleRig::Options Layout(PixelLayout layout) {
  BattleRig::Options o;
  o.layout = layout;
  return o;
}

GameKeyBits Key(int n) { return static_cast<GameKeyBits>(1u << n); }

// The window's unit: character, kiai and its maximum, heal uses, cover count, map position.
struct UnitSpec {
  uint8_t character = 0;
  uint16_t kiai = 10;
  int16_t max_kiai = 100;
  int8_t counter = 3;
  uint8_t cover = 8;
  int16_t x = 192;
  int16_t y = 240;
};

class WinRig {
 public:
  explicit WinRig(PixelLayout layout = PixelLayout::kRgb565) : rig(Layout(layout)), board(rig.battle()) {
    SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
    CommWinSetup();
  }
  ~WinRig() { FreeSystemSprites(); }

  int AddUnit(const UnitSpec& spec) {
    const uint8_t slot = board.AddUnit({.character = spec.character, .kind = spec.character,
                                        .x = spec.x, .y = spec.y});
    SlgUnit& u = Battle().state.units[slot];
    u.stats.kiai = spec.kiai;
    u.stats.max_kiai = spec.max_kiai;
    u.stats.counter = spec.counter;
    u.stats.byte32 = spec.cover;
    return slot;
  }
  // The keys go down for one frame; `then` runs in that frame; then they go up again.
  template <typename F>
  void WithKeys(std::initializer_list<int> keys, F then) {
    for (int k : keys) rig.Schedule({testsupport::GameKeyDown(rig.frame(), Key(k))});
    rig.Step();
    then();
    for (int k : keys) rig.Schedule({testsupport::GameKeyUp(rig.frame(), Key(k))});
    rig.Step();
  }
  // The battle pointer at a screen pixel, in pointer mode (the mouse is in use).
  static void PointAt(int x, int y) {
    Battle().pointer_mode = 1;
    Battle().state.pointer = {(x - 320) * 65536, (y - 240) * 65536};
  }
  uint32_t Colour(int slot, int frame) {
    const PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(
        platform::PackColorRef(SystemSpriteSet::ColourRef(slot, frame), layout), layout);
  }
  uint32_t Black() {
    const PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(0, layout), layout);
  }

  BattleRig rig;
  BattleBoard board;
};

SlgCommWinState& W() { return Battle().comm_win; }

// ---- Entries by unit ----

TEST(SlgCommWin, InitByUnit) {
  struct Case {
    const char* name;
    UnitSpec unit;
    int partner;
    int main_count, style;
    int cover_frame;          // main entry 5's frame (hero only), -1 not checked
    bool cover_available;
    int special_frame;        // column 1's special-attack entry
    bool special_available;
    int charge_frame;
    bool charge_available;
    int heal_frame;
    bool heal_available;
  };
  const Case cases[] = {
      {"hero, cover 8, kiai below max", {.character = 0}, 0, 6, 1, 30, true, 13, false, 18, true, 22, true},
      {"hero, cover 0", {.character = 0, .cover = 0}, 0, 6, 1, 31, false, 13, false, 18, true, 22, true},
      {"heroine", {.character = 2}, 0, 5, 0, -1, false, 13, false, 18, true, 22, true},
      {"kiai at max", {.character = 1, .kiai = 100}, 0, 5, 0, -1, false, 12, true, 19, false, 22, true},
      {"counter 0", {.character = 1, .counter = 0}, 0, 5, 0, -1, false, 13, false, 18, true, 23, false},
      {"partner, kiai at max", {.character = 0, .kiai = 100}, 1, 6, 1, 30, true, 12, true, 19, false, 22, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WinRig w;
    const int slot = w.AddUnit(c.unit);
    W().sel = 4;
    W().record.sub_sel = {3, 0, 0, 2, 0, 0};
    TraceCapture trace;
    InitCommWin(slot, c.partner);
    EXPECT_TRUE(trace.Contains("InitCommWin no=0"));
    const CommWinRecord& r = W().record;
    EXPECT_EQ(r.main_count, c.main_count);
    EXPECT_EQ(r.frame_style, c.style);
    EXPECT_EQ(W().sel, 0);
    EXPECT_EQ(r.sub_sel[0], 3);  // kept
    EXPECT_EQ(r.sub_sel[2], 1);  // defend
    EXPECT_EQ(r.sub_sel[3], 2);  // kept
    if (c.cover_frame >= 0) {
      EXPECT_EQ(r.main_list[5].frame, c.cover_frame);
      EXPECT_EQ(r.columns[5].avail == 0, c.cover_available);
      EXPECT_EQ(CommWinSubAvailable(30), c.cover_available ? 1 : 0);
    }
    const CommWinColumn& col1 = r.columns[1];
    ASSERT_EQ(col1.count, c.partner != 0 ? 4 : 3);
    EXPECT_EQ(r.sub_sel[1], c.partner != 0 ? 2 : 1);
    EXPECT_EQ(r.backgrounds[1].frame, c.partner != 0 ? 4 : 3);
    EXPECT_EQ(r.backgrounds[1].y, c.partner != 0 ? -96 : -64);
    if (c.partner != 0) {
      EXPECT_EQ(col1.entries[0].frame, 14);  // combination on top
    }
    const CommWinEntry& special = col1.entries[col1.count - 3];
    EXPECT_EQ(special.frame, c.special_frame);
    EXPECT_EQ(special.avail == 0, c.special_available);
    EXPECT_EQ(col1.entries[col1.count - 2].frame, 10);  // attack, never greyed
    EXPECT_EQ(col1.entries[col1.count - 2].avail, 0);
    const CommWinColumn& col2 = r.columns[2];
    EXPECT_EQ(col2.entries[2].frame, c.charge_frame);
    EXPECT_EQ(CommWinMainAvailable(2), c.charge_available ? 1 : 0);
    EXPECT_EQ(col2.entries[0].frame, c.heal_frame);
    EXPECT_EQ(CommWinMainAvailable(0), c.heal_available ? 1 : 0);
    EXPECT_EQ(CommWinMainAvailable(1), 1);
    EXPECT_EQ(CommWinMainAvailable(3), 0);
    EXPECT_EQ(CommWinSubAvailable(8), 1);
    EXPECT_EQ(CommWinSubAvailable(24), 0);  // not a queried frame
  }
}

TEST(SlgCommWin, InitIgnoresSlotsThatAreNotUnits) {
  WinRig w;
  const int slot = w.AddUnit({.character = 2});
  InitCommWin(slot, 0);
  const CommWinRecord before = W().record;
  for (int bad : {-1, 1, 64, 200}) {
    SCOPED_TRACE(bad);
    W().sel = 3;
    TraceCapture trace;
    InitCommWin(bad, 1);
    EXPECT_FALSE(trace.Contains("InitCommWin"));
    EXPECT_EQ(W().sel, 3);
    EXPECT_EQ(W().record.main_count, before.main_count);
    EXPECT_EQ(W().columns[1].count, 3);  // CommWinPartner did not run either
  }
}

TEST(SlgCommWin, MarksUnmarkAndEnable) {
  WinRig w;
  const int slot = w.AddUnit({.character = 0, .kiai = 100});
  InitCommWin(slot, 0);
  const CommWinRecord& r = W().record;
  CommWinMark(6);
  EXPECT_EQ(r.columns[0].entries[0].frame, 46);
  EXPECT_EQ(W().sel, 1);
  CommWinMark(9);
  EXPECT_EQ(r.main_list[1].frame, 9);
  EXPECT_NE(r.columns[1].avail, 0);
  EXPECT_EQ(CommWinSubAvailable(8), 0);
  EXPECT_EQ(W().sel, 2);
  CommWinMark(17);
  EXPECT_EQ(r.main_list[2].frame, 17);
  EXPECT_EQ(CommWinSubAvailable(16), 0);
  EXPECT_EQ(W().sel, 3);
  CommWinMark(5);  // not a mark
  EXPECT_EQ(W().sel, 3);
  CommWinMark(31);
  EXPECT_EQ(r.main_list[5].frame, 31);
  EXPECT_EQ(CommWinSubAvailable(30), 0);
  EXPECT_EQ(W().sel, 0);
  W().sel = 4;
  CommWinUnmark(9);  // only 6 is undone
  EXPECT_EQ(W().sel, 4);
  CommWinUnmark(6);
  EXPECT_EQ(r.main_list[0].frame, 5);
  EXPECT_EQ(r.columns[0].entries[0].frame, 7);
  EXPECT_EQ(r.columns[0].avail, 0);
  EXPECT_EQ(W().sel, 0);
  // Kiai full: special available, charge greyed; Enable flips them as kiai changes.
  EXPECT_EQ(CommWinMainAvailable(2), 0);
  CommWinEnable(2);
  EXPECT_EQ(CommWinMainAvailable(2), 1);
  EXPECT_EQ(r.columns[2].entries[2].frame, 18);
  Battle().state.units[0].stats.kiai = 0;
  InitCommWin(slot, 0);
  EXPECT_NE(r.columns[1].entries[0].avail, 0);
  CommWinEnable(1);
  EXPECT_EQ(r.columns[1].entries[0].avail, 0);
  EXPECT_EQ(r.columns[1].entries[0].frame, 12);
}

// ---- Selection ----

TEST(SlgCommWin, KeyStepping) {
  struct Case {
    const char* name;
    UnitSpec unit;
    int mark;  // a CommWinMark before (0 none)
    int sel, sub;
    std::initializer_list<int> keys;
    int want_sel, want_sub;
  };
  const Case cases[] = {
      {"key 8 on the last column wraps", {.character = 0}, 0, 5, 0, {8}, 0, 0},
      {"key 7 on the first wraps (heroine)", {.character = 3}, 0, 0, 0, {7}, 4, 0},
      {"key 8 skips a greyed column", {.character = 0}, 9, 0, 0, {8}, 2, 1},
      {"key 7 skips the greyed cover column", {.character = 0, .cover = 0}, 0, 0, 0, {7}, 4, 0},
      {"at mainCount becomes the last", {.character = 3}, 0, 5, 0, {}, 4, 0},
      {"past mainCount becomes the last", {.character = 0}, 0, 9, 0, {}, 5, 0},
      {"key 6 on the lowest wraps to the top", {.character = 0}, 0, 3, 2, {6}, 3, 0},
      {"key 5 on the top wraps to the lowest", {.character = 0}, 0, 3, 0, {5}, 3, 2},
      {"key 6 skips greyed charge to heal", {.character = 0, .kiai = 100}, 0, 2, 1, {6}, 2, 0},
      {"key 5 skips greyed heal to charge", {.character = 0, .counter = 0}, 0, 2, 1, {5}, 2, 2},
      {"keys 5 and 6 act as 6", {.character = 0}, 0, 3, 0, {5, 6}, 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WinRig w;
    InitCommWin(w.AddUnit(c.unit), 0);
    if (c.mark != 0) CommWinMark(c.mark);
    W().sel = static_cast<uint16_t>(c.sel);
    if (c.sel < kCommWinColumns) W().record.sub_sel[c.sel] = static_cast<uint8_t>(c.sub);
    w.WithKeys(c.keys, [] { CommWinSelect(0); });
    EXPECT_EQ(W().sel, c.want_sel);
    CommWinSelection got{};
    CommWinGetSel(&got, 0);
    EXPECT_EQ(got.column, c.want_sel);
    EXPECT_EQ(got.sub, c.want_sub);
  }
}

TEST(SlgCommWin, MouseSelection) {
  // Mouse origin (100, 200): the main row's areas are y 216-248; column 3's upper entries
  // (x 112) cover x 212-260, the middle one (y -50) y 150-182.
  struct Case {
    const char* name;
    int mark;
    int sel, sub;
    int x, y;
    int want_sel, want_sub;
  };
  const Case cases[] = {
      {"x 40 of the row: column 0 wins", 0, 4, 0, 140, 230, 0, 0},
      {"x 48 of the row: column 0 wins", 0, 4, 0, 148, 216, 0, 0},
      {"x 49 of the row: column 1", 0, 4, 0, 149, 248, 1, 1},
      {"over greyed column 1: nothing", 9, 4, 0, 170, 230, 4, 0},
      {"an upper entry becomes the sub-selection", 0, 3, 0, 230, 160, 3, 1},
      {"a greyed entry changes nothing", 0, 2, 1, 190, 190, 2, 1},
      {"empty space changes nothing", 0, 3, 2, 20, 20, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WinRig w;
    InitCommWin(w.AddUnit({.character = 0, .kiai = 100}), 0);  // charge greyed
    if (c.mark != 0) CommWinMark(c.mark);
    W().origin_x = 100 << 16;
    W().origin_y = 200 << 16;
    W().sel = static_cast<uint16_t>(c.sel);
    W().record.sub_sel[c.sel] = static_cast<uint8_t>(c.sub);
    WinRig::PointAt(c.x, c.y);
    w.WithKeys({8}, [] { CommWinSelect(0); });  // keys are not read in mouse mode
    EXPECT_EQ(W().sel, c.want_sel);
    EXPECT_EQ(W().record.sub_sel[c.want_sel], c.want_sub);
  }
  WinRig w;
  const MenuRect rects[2] = {{0, 0, 10, 10}, {0, 0, 20, 20}};
  WinRig::PointAt(60, 60);
  EXPECT_EQ(MenuHitTest(50, 50, rects, 2), 0);
  WinRig::PointAt(65, 70);
  EXPECT_EQ(MenuHitTest(50, 50, rects, 2), 1);
  EXPECT_EQ(MenuHitTest(50, 50, rects, 0), -1);
  EXPECT_EQ(MenuHitTest(50, 50, rects, -3), -1);
}

// ---- Opening, drawing, closing ----

TEST(SlgCommWin, OpensDrawsAndCloses) {
  WinRig w;
  const int slot = w.AddUnit({.character = 0, .x = 192, .y = 240});  // drawn at (192, 264)
  InitCommWin(slot, 0);
  ASSERT_EQ(w.rig.Now(), 0u);
  EXPECT_EQ(CommWinOpenClose(0, slot, 0), 1);
  const int x0 = 192 - 112, y0 = 264 - 120;
  EXPECT_EQ(W().pos_x, x0 << 16);
  EXPECT_EQ(W().origin_y, y0 << 16);
  EXPECT_EQ(W().rect.left, (x0 + 112) << 16);
  EXPECT_EQ(W().rect.bottom, (y0 + 32) << 16);
  w.rig.Run(3);
  EXPECT_EQ(CommWinOpenClose(0, slot, 1), 1);
  EXPECT_EQ(W().rect.left, (x0 + 112 - 42) << 16);
  EXPECT_EQ(W().rect.right, (x0 + 112 + 42) << 16);
  EXPECT_EQ(W().rect.top, (y0 + 32 - 12) << 16);
  w.rig.Step();
  // The hero's frame (frame 1) stretched over the rectangle.
  EXPECT_EQ(w.rig.PixelAt(x0 + 112 - 40, y0 + 32), w.Colour(kSysCommandWindow, 1));
  EXPECT_EQ(w.rig.PixelAt(x0 + 112 - 44, y0 + 32), w.Black());
  w.rig.Run(2);  // 6 frames: still opening
  EXPECT_EQ(CommWinOpenClose(0, slot, 1), 1);
  w.rig.Step();  // 7
  EXPECT_EQ(CommWinOpenClose(0, slot, 1), 2);
  EXPECT_EQ(W().rect.left, (x0 + 14) << 16);
  EXPECT_EQ(W().rect.right, (x0 + 210) << 16);
  EXPECT_EQ(W().rect.bottom, (y0 + 60) << 16);
  EXPECT_EQ(W().pos_x, (x0 + 16) << 16);
  EXPECT_EQ(W().origin_x, x0 << 16);
  w.rig.Run(2);  // 9 steps: a clock of 150 ms, whole frames from here
  EXPECT_EQ(CommWinOpenClose(0, slot, 2), 2);
  EXPECT_EQ(CommWinOpenClose(0, slot, 3), 4);
  w.rig.Run(7);
  EXPECT_EQ(CommWinOpenClose(0, slot, 4), 4);
  w.rig.Step();
  EXPECT_EQ(CommWinOpenClose(0, slot, 4), 5);
  EXPECT_EQ(W().rect.right, 0);
  EXPECT_EQ(W().start_time, 0u);
  w.rig.Step();
  EXPECT_EQ(w.rig.PixelAt(x0 + 112, y0 + 32), w.Black());  // nothing left on screen
  EXPECT_EQ(CommWinOpenClose(0, slot, 6), 6);
  EXPECT_EQ(CommWinOpenClose(1, slot, 0), 0);
}

TEST(SlgCommWin, OpeningPositionIsClamped) {
  struct Case {
    const char* name;
    int16_t x, y;
    int want_x, want_y;
  };
  for (const Case& c : {Case{"left edge", 48, 300, 0, 324 - 120},
                        Case{"near the top", 300, 48, 188, 96},
                        Case{"right edge", 630, 300, 416, 324 - 120}}) {
    SCOPED_TRACE(c.name);
    WinRig w;
    const int slot = w.AddUnit({.character = 2, .x = c.x, .y = c.y});
    InitCommWin(slot, 0);
    CommWinOpenClose(0, slot, 0);
    EXPECT_EQ(W().pos_x, c.want_x << 16);
    EXPECT_EQ(W().pos_y, c.want_y << 16);
  }
}

TEST(SlgCommWin, FullyOpenHeroWindowInCapturedFrames) {
  for (PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
    SCOPED_TRACE(static_cast<int>(layout));
    WinRig w(layout);
    const int slot = w.AddUnit({.character = 0, .counter = 3, .cover = 12, .x = 192, .y = 240});
    InitCommWin(slot, 0);
    CommWinOpenClose(0, slot, 0);
    w.rig.Run(7);
    ASSERT_EQ(CommWinOpenClose(0, slot, 1), 2);
    const int px = (W().pos_x >> 16), py = (W().pos_y >> 16);  // (96, 144)
    // Column 5, cover selected: the counter "12".
    W().sel = 5;
    CommWinOpenClose(0, slot, 2);
    w.rig.Step();
    w.rig.SaveFrame("comm_win_cover");
    EXPECT_EQ(w.rig.PixelAt(px + 1, py + 1), w.Colour(kSysCommandWindow, 1));  // the frame
    EXPECT_EQ(w.rig.PixelAt(px + 16 + 1, py + 16 + 1), w.Colour(kSysCommandWindow, 5));
    EXPECT_EQ(w.rig.PixelAt(px + 176 + 1, py - 32 + 1), w.Colour(kSysCommandWindow, 2));  // background
    EXPECT_EQ(w.rig.PixelAt(px + 192 + 1, py - 18 + 1), w.Colour(kSysCommandWindow, 32));
    EXPECT_EQ(w.rig.PixelAt(px + 240 + 1, py - 18 + 1), w.Colour(kSysMojiBDigit, 10));
    EXPECT_EQ(w.rig.PixelAt(px + 256 + 1, py - 18 + 1), w.Colour(kSysMojiBDigit, 1));
    EXPECT_EQ(w.rig.PixelAt(px + 264 + 7, py - 18 + 1), w.Colour(kSysMojiBDigit, 2));
    // The cursor (animation 23 shows frame 22, 8 x 12) under the cover entry (8 x 8).
    EXPECT_EQ(w.rig.PixelAt(px + 192 + 1, py - 18 + 10), w.Colour(kSysCommandWindow, 22));
    // Column 2 on heal: the counter 3 beside the heal entry, the column's background.
    W().sel = 2;
    W().record.sub_sel[2] = 0;
    CommWinOpenClose(0, slot, 2);
    w.rig.Step();
    w.rig.SaveFrame("comm_win_heal");
    EXPECT_EQ(w.rig.PixelAt(px + 128 + 1, py - 82 + 1), w.Colour(kSysMojiBDigit, 10));
    EXPECT_EQ(w.rig.PixelAt(px + 144 + 1, py - 82 + 1), w.Colour(kSysMojiBDigit, 3));
    EXPECT_EQ(w.rig.PixelAt(px + 64 + 1, py - 96 + 1), w.Colour(kSysCommandWindow, 4));
    // With no heal uses no counter is drawn.
    Battle().state.units[0].stats.counter = 0;
    InitCommWin(slot, 0);
    W().sel = 2;
    W().record.sub_sel[2] = 0;
    CommWinDraw(0, slot, W().pos_x + (16 << 16), W().pos_y);
    w.rig.Step();
    EXPECT_NE(w.rig.PixelAt(px + 16 + 128 + 1, py - 82 + 1), w.Colour(kSysMojiBDigit, 10));
  }
}

TEST(SlgCommWin, WithoutItsSpritesNothingIsDrawnAndSelectionWorks) {
  WinRig w;
  FreeSystemSprites();
  const int slot = w.AddUnit({.character = 0});
  InitCommWin(slot, 0);
  CommWinOpenClose(0, slot, 0);
  w.rig.Run(7);
  ASSERT_EQ(CommWinOpenClose(0, slot, 1), 2);
  W().sel = 5;
  CommWinOpenClose(0, slot, 2);
  w.WithKeys({8}, [] { CommWinSelect(0); });
  EXPECT_EQ(W().sel, 0);
  EXPECT_EQ(w.rig.PixelAt((W().pos_x >> 16) + 1, (W().pos_y >> 16) + 1), w.Black());
}

// ---- Two-choice windows ----

TEST(SlgChoiceWindows, Answers) {
  using Fn = int (*)();
  struct Window {
    const char* name;
    Fn fn;
    int slot;
    int anm_offset;
    int cancel_answer;
    bool ok_on_1_clears;  // OK on item 1 also clears bit 0 and sets bit 1
    int x, y;             // a pixel inside item 0
  };
  const Window windows[] = {{"retry", YesNoWindow1, kSysYesNo, 2, 2, true, 216 + 20, 184 + 70},
                            {"yes/no", YesNoWindow2, kSysYesNo, 0, 2, false, 216 + 20, 184 + 70},
                            {"start menu", StartMenuWindow, kSysStartMenu, 0, 3, false, 256 + 20, 184 + 20}};
  enum Input { kOk, kLeftOk, kCancel, kLeftUp, kMouseOffOk, kMouseItem0ThenOffOk };
  struct Case {
    const char* name;
    Input input;
  };
  for (const Window& win : windows) {
    for (const Case& c : {Case{"OK at once", kOk}, Case{"item 0 then OK", kLeftOk}, Case{"cancel", kCancel},
                          Case{"keys 7 and 5 together", kLeftUp}, Case{"mouse over nothing, OK", kMouseOffOk},
                          Case{"mouse on item 0, then off, OK", kMouseItem0ThenOffOk}}) {
      SCOPED_TRACE(std::string(win.name) + ": " + c.name);
      WinRig w;
      Battle().flags = 2;
      Battle().phase_sub = 0;
      EXPECT_EQ(win.fn(), 1);
      EXPECT_EQ(Battle().phase_sub, 1u);
      EXPECT_EQ(Battle().flags & 1, 1);
      EXPECT_EQ((Battle().flags & 2) != 0, win.fn != YesNoWindow2);
      const SlgAnmObj& obj = Battle().sys_sprites[win.slot].obj;
      EXPECT_EQ(obj.pattern, 1 + win.anm_offset);
      EXPECT_EQ(obj.depth, -1100);
      EXPECT_NE(obj.handle, nullptr);
      Battle().flags |= 1;
      const int before = Battle().flags;
      int answer = 1;
      switch (c.input) {
        case kOk:
          w.WithKeys({0}, [&] { answer = win.fn(); });
          EXPECT_EQ(answer, 2);
          EXPECT_EQ(Battle().flags, win.ok_on_1_clears ? ((before & ~1) | 2) : before);
          EXPECT_EQ(obj.handle, nullptr);
          break;
        case kLeftOk:
          w.WithKeys({7}, [&] { answer = win.fn(); });
          EXPECT_EQ(answer, 1);
          EXPECT_EQ(obj.pattern, 0 + win.anm_offset);
          w.WithKeys({0}, [&] { answer = win.fn(); });
          EXPECT_EQ(answer, 0);
          EXPECT_EQ(Battle().flags & 1, 1);
          break;
        case kCancel:
          w.WithKeys({1}, [&] { answer = win.fn(); });
          EXPECT_EQ(answer, win.cancel_answer);
          EXPECT_EQ(Battle().flags & 3, 2);
          EXPECT_EQ(obj.handle, nullptr);
          break;
        case kLeftUp:
          w.WithKeys({7, 5}, [&] { answer = win.fn(); });
          EXPECT_EQ(answer, 1);
          EXPECT_EQ(Battle().choice_windows.retry.choice + Battle().choice_windows.yes_no.choice +
                        Battle().choice_windows.start_menu.choice,
                    1);
          break;
        case kMouseOffOk:
          WinRig::PointAt(5, 5);
          w.WithKeys({0}, [&] { answer = win.fn(); });
          EXPECT_EQ(answer, 2);
          break;
        case kMouseItem0ThenOffOk:
          WinRig::PointAt(win.x, win.y);
          w.WithKeys({}, [&] { answer = win.fn(); });
          EXPECT_EQ(obj.pattern, 0 + win.anm_offset);
          WinRig::PointAt(5, 5);
          w.WithKeys({0}, [&] { answer = win.fn(); });
          EXPECT_EQ(answer, 0);
          break;
      }
    }
  }
}

TEST(SlgChoiceWindows, AnswerWithoutTheirSprites) {
  WinRig w;
  FreeSystemSprites();
  Battle().phase_sub = 0;
  EXPECT_EQ(StartMenuWindow(), 1);
  int answer = 0;
  w.WithKeys({0}, [&] { answer = StartMenuWindow(); });
  EXPECT_EQ(answer, 2);
}

}  // namespace
