#include "battle/slg_comm_win.h"

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_sys_spr.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr uint16_t kSlot = kSysCommandWindow;
constexpr int kCursorAnm = 23;
constexpr int kMainY = 16;
// Column x offsets and main frames (greyed frame = main frame + 1 where a column can be greyed).
constexpr int16_t kColumnX[kCommWinColumns] = {16, 48, 80, 112, 144, 192};
constexpr uint16_t kMainFrame[kCommWinColumns] = {5, 8, 16, 24, 28, 30};
// Main mouse areas relative to the mouse origin.
constexpr MenuRect kMainArea[kCommWinColumns] = {{16, 16, 48, 48},   {40, 16, 80, 48},
                                                 {72, 16, 112, 48},  {104, 16, 144, 48},
                                                 {136, 16, 176, 48}, {192, 16, 224, 48}};
constexpr int32_t kOne = 65536;

SlgCommWinState& W() { return Battle().comm_win; }

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
// Frames at 60 per second since `start` (game clock ms).
int32_t FramesSince(uint32_t start) {
  return static_cast<int32_t>(static_cast<int64_t>(static_cast<int32_t>(Now() - start)) * 60 / 1000);
}
uint32_t ClockFrames() { return static_cast<uint32_t>(static_cast<uint64_t>(Now()) * 60 / 1000); }

SlgUnit* UnitAt(int slot) {
  BattleContext& b = Battle();
  if (slot < 0 || slot >= b.state.unit_count || slot >= kSlgMaxUnits) return nullptr;
  return &b.state.units[static_cast<size_t>(slot)];
}

CommWinEntry Entry(int column, int y, uint16_t frame) {
  return CommWinEntry{0, kColumnX[column], static_cast<int16_t>(y), kSlot, frame};
}

bool Greyed(uint16_t avail) { return avail != 0; }
uint16_t Avail(bool available) { return available ? 0 : kCommWinGreyed; }

// Column 2's upper entry n (0 heal, 1 defend, 2 charge).
CommWinEntry& Col2(int n) { return W().col2[static_cast<size_t>(n)]; }
// The special-attack entry of column 1's list now in use (one above the attack entry).
CommWinEntry* SpecialEntry() {
  CommWinColumn& c = W().columns[1];
  if (c.entries == nullptr || c.count < 3) return nullptr;
  return &c.entries[c.count - 3];
}

bool InRect(const MenuRect& r, int32_t ox, int32_t oy, int32_t px, int32_t py) {
  return px >= ox + r.left && px <= ox + r.right && py >= oy + r.top && py <= oy + r.bottom;
}

// The battle pointer in screen pixels (top-left origin).
void PointerPixels(int32_t* x, int32_t* y) {
  const SlgPair p = Battle().state.pointer;
  *x = SlgScreenX(p.x);
  *y = SlgScreenY(p.y);
}

void DrawFrameRect(const CommWinRect& r) {
  SlgSysSprPutRect(kSlot, W().record.frame_style, r.left, r.top, r.right, r.bottom);
}

// Frame of animation n of a system sprite shown now (advancing every 8 clock frames), -1 none.
int AnimFrame(int slot, uint32_t n) {
  SprAnm* file = SlgSysSprite(slot);
  if (file == nullptr) return -1;
  const uint32_t count = Scene().tamvik_spr.GetAnmFrameNum(file, n);
  if (count == 0) return -1;
  const SprAnmFrame* frame = Scene().tamvik_spr.GetAnmFrame(file, n, (ClockFrames() / 8) % count);
  return frame != nullptr ? static_cast<int>(frame->unit) : -1;
}

}  // namespace

void CommWinSetup() {
  SlgCommWinState& w = W();
  for (int c = 0; c < kCommWinColumns; ++c) {
    w.mains[static_cast<size_t>(c)] = {kColumnX[c], kMainY, kSlot, kMainFrame[c]};
  }
  w.col0 = {Entry(0, -18, 7), Entry(0, kMainY, 5)};
  w.col1_solo = {Entry(1, -50, 12), Entry(1, -18, 10), Entry(1, kMainY, 8)};
  w.col1_partner = {Entry(1, -82, 14), Entry(1, -50, 12), Entry(1, -18, 10), Entry(1, kMainY, 8)};
  w.col2 = {Entry(2, -82, 22), Entry(2, -50, 20), Entry(2, -18, 18), Entry(2, kMainY, 16)};
  w.col3 = {Entry(3, -82, 27), Entry(3, -50, 26), Entry(3, -18, 25), Entry(3, kMainY, 24)};
  w.col4 = {Entry(4, -18, 29), Entry(4, kMainY, 28)};
  w.col5 = {Entry(5, -18, 32), Entry(5, kMainY, 30)};
  w.columns[0] = {0, 2, w.col0.data()};
  w.columns[1] = {0, 3, w.col1_solo.data()};
  w.columns[2] = {0, 4, w.col2.data()};
  w.columns[3] = {0, 4, w.col3.data()};
  w.columns[4] = {0, 2, w.col4.data()};
  w.columns[5] = {0, 2, w.col5.data()};
  w.backgrounds = {CommWinBackground{0, -32, kSlot, 2}, CommWinBackground{32, -64, kSlot, 3},
                   CommWinBackground{64, -96, kSlot, 4}, CommWinBackground{96, -96, kSlot, 4},
                   CommWinBackground{128, -32, kSlot, 2}, CommWinBackground{176, -32, kSlot, 2}};
}

void CommWinRelease() {}

void CommWinPartner(int slot, int partner) {
  const SlgUnit* u = UnitAt(slot);
  if (u == nullptr) return;
  SlgCommWinState& w = W();
  if (partner != 0) {
    w.columns[1].entries = w.col1_partner.data();
    w.columns[1].count = 4;
    w.backgrounds[1] = {32, -96, kSlot, 4};
    w.record.sub_sel[1] = 2;
  } else {
    w.columns[1].entries = w.col1_solo.data();
    w.columns[1].count = 3;
    w.backgrounds[1] = {32, -64, kSlot, 3};
    w.record.sub_sel[1] = 1;
  }
  CommWinEntry* special = SpecialEntry();
  const bool full = static_cast<int32_t>(u->stats.kiai) == u->stats.max_kiai;
  special->frame = full ? 12 : 13;
  special->avail = Avail(full);
}

void InitCommWin(int slot, int partner) {
  const SlgUnit* u = UnitAt(slot);
  if (u == nullptr) return;
  SlgCommWinState& w = W();
  for (CommWinColumn& c : w.columns) {
    c.avail = 0;
    if (c.entries == nullptr) continue;
    for (int i = 0; i < c.count; ++i) c.entries[i].avail = 0;
  }
  for (CommWinEntry& e : w.col1_solo) e.avail = 0;
  for (CommWinEntry& e : w.col1_partner) e.avail = 0;
  DebugPrint("InitCommWin no=%d\n", slot);
  w.record.backgrounds = w.backgrounds.data();
  w.record.main_list = w.mains.data();
  w.record.columns = w.columns.data();
  if (u->character != 0) {
    w.record.frame_style = 0;
    w.record.main_count = 5;
  } else {
    w.record.frame_style = 1;
    w.record.main_count = 6;
    const bool cover = u->stats.byte32 > 0;
    w.mains[5].frame = cover ? 30 : 31;
    w.columns[5].avail = Avail(cover);
  }
  w.record.sub_sel[2] = 1;
  w.sel = 0;
  w.rect = {};
  w.start_rect = {};
  w.start_time = 0;
  CommWinPartner(slot, partner);
  w.mains[0].frame = 5;
  w.mains[1].frame = 8;
  w.mains[2].frame = 16;
  w.col0[0].frame = 7;
  const bool chargeable = static_cast<int32_t>(u->stats.kiai) != u->stats.max_kiai;
  Col2(2).frame = chargeable ? 18 : 19;
  Col2(2).avail = Avail(chargeable);
  const bool heal = u->stats.counter != 0;
  Col2(0).frame = heal ? 22 : 23;
  Col2(0).avail = Avail(heal);
}

int CommWinMainAvailable(int n) {
  if (n < 0 || n > 2) return 0;
  return Greyed(Col2(n).avail) ? 0 : 1;
}

int CommWinSubAvailable(int frame) {
  int column = -1;
  switch (frame) {
    case 5: column = 0; break;
    case 8: column = 1; break;
    case 16: column = 2; break;
    case 30: column = 5; break;
    default: return 0;
  }
  return Greyed(W().columns[static_cast<size_t>(column)].avail) ? 0 : 1;
}

void CommWinMark(int command) {
  SlgCommWinState& w = W();
  switch (command) {
    case 6:
      w.col0[0].frame = 46;
      ++w.sel;
      break;
    case 9:
      w.mains[1].frame = 9;
      w.columns[1].avail = kCommWinGreyed;
      ++w.sel;
      break;
    case 17:
      w.mains[2].frame = 17;
      w.columns[2].avail = kCommWinGreyed;
      ++w.sel;
      break;
    case 31:
      w.mains[5].frame = 31;
      w.columns[5].avail = kCommWinGreyed;
      w.sel = 0;
      break;
    default:
      break;
  }
}

void CommWinUnmark(int command) {
  if (command != 6) return;
  SlgCommWinState& w = W();
  w.mains[0].frame = 5;
  w.col0[0].frame = 7;
  w.columns[0].avail = 0;
  w.sel = 0;
}

void CommWinEnable(int n) {
  if (n == 1) {
    if (CommWinEntry* special = SpecialEntry()) {
      special->avail = 0;
      special->frame = 12;
    }
  } else if (n == 2) {
    Col2(2).avail = 0;
    Col2(2).frame = 18;
  }
}

int CommWinOpenClose(int window, int unit, int step) {
  if (window != 0) return step;
  SlgCommWinState& w = W();
  switch (step) {
    case 0: {
      w.rect = {};
      w.start_rect = {};
      w.start_time = 0;
      int32_t sx = 0, sy = 0;
      if (const SlgUnit* u = UnitAt(unit)) {
        const SlgPair screen = SlgMapToScreen(*u);
        sx = SlgScreenX(screen.x);
        sy = SlgScreenY(screen.y);
      }
      int32_t x0 = sx - 112;
      int32_t y0 = sy - 120;
      x0 = x0 < 0 ? 0 : (x0 > 416 ? 416 : x0);
      y0 = y0 < 96 ? 96 : (y0 > 416 ? 416 : y0);
      w.pos_x = w.origin_x = x0 * kOne;
      w.pos_y = w.origin_y = y0 * kOne;
      const int32_t cx = (x0 + 112) * kOne;
      const int32_t cy = (y0 + 32) * kOne;
      w.rect = w.start_rect = {cx, cy, cx, cy};
      w.start_time = Now();
      return 1;
    }
    case 1: {
      const int32_t f = FramesSince(w.start_time);
      if (f >= 7) {
        w.rect = {w.origin_x + 14 * kOne, w.origin_y + 4 * kOne, w.origin_x + 210 * kOne,
                  w.origin_y + 60 * kOne};
        w.pos_x = w.origin_x + 16 * kOne;
        w.pos_y = w.origin_y;
        return 2;
      }
      const CommWinRect& s = w.start_rect;
      w.rect = {s.left - 14 * f * kOne, s.top - 4 * f * kOne, s.right + 14 * f * kOne,
                s.bottom + 4 * f * kOne};
      DrawFrameRect(w.rect);
      return 1;
    }
    case 2:
      CommWinDraw(window, unit, w.pos_x, w.pos_y);
      return 2;
    case 3:
      w.start_rect = w.rect;
      w.start_time = Now();
      return 4;
    case 4: {
      const int32_t f = FramesSince(w.start_time);
      if (f >= 8) {
        CommWinRelease();
        w.rect = {};
        w.start_rect = {};
        w.start_time = 0;
        return 5;
      }
      const CommWinRect& s = w.start_rect;
      w.rect = {s.left + 14 * f * kOne, s.top + 4 * f * kOne, s.right - 14 * f * kOne,
                s.bottom - 4 * f * kOne};
      DrawFrameRect(w.rect);
      return 4;
    }
    default:
      return step;
  }
}

void CommWinDrawList(const CommWinColumn* column, int32_t x, int32_t y) {
  if (column == nullptr || column->entries == nullptr) return;
  const int px = x >> 16, py = y >> 16;
  for (int i = 0; i < column->count; ++i) {
    const CommWinEntry& e = column->entries[i];
    SlgSysSprPutTop(e.slot, e.frame, px + e.x, py + e.y);
  }
}

void CommWinDraw(int window, int unit, int32_t x, int32_t y) {
  if (window != 0) return;
  SlgCommWinState& w = W();
  const CommWinRecord& r = w.record;
  if (r.columns == nullptr || r.main_list == nullptr || r.backgrounds == nullptr ||
      r.main_count == 0) {
    return;
  }
  const int px = x >> 16, py = y >> 16;
  const int sel = w.sel < r.main_count ? w.sel : r.main_count - 1;
  SlgSysSprPutTop(kSlot, r.frame_style, px, py);
  for (int i = 0; i < r.main_count; ++i) {
    const CommWinMain& m = r.main_list[i];
    SlgSysSprPutTop(m.slot, m.frame, px + m.x, py + m.y);
  }
  const CommWinBackground& bg = r.backgrounds[sel];
  SlgSysSprPutTop(bg.slot, bg.frame, px + bg.x, py + bg.y);
  const CommWinColumn& col = r.columns[sel];
  const int sub = r.sub_sel[static_cast<size_t>(sel)];
  const int cursor = AnimFrame(kSlot, kCursorAnm);
  if (cursor >= 0 && col.entries != nullptr && sub < col.count) {
    SlgSysSprPutTop(kSlot, cursor, px + r.main_list[sel].x, py + col.entries[sub].y);
  }
  CommWinDrawList(&col, x, y);
  const SlgUnit* u = UnitAt(unit);
  if (u != nullptr) {
    if (sel == 2 && sub == 0 && !Greyed(Col2(0).avail)) {
      SlgSysSprPutTop(kSysMojiBDigit, 10, px + 80 + 48, py - 82);
      SlgSysSprPutTop(kSysMojiBDigit, u->stats.counter, px + 80 + 64, py - 82);
    }
    if (sel == 5 && sub == 0) {
      SlgSysSprPutTop(kSysMojiBDigit, 10, px + 192 + 48, py - 18);
      const int n = u->stats.byte32;
      int dx = px + 192 + 64;
      if (n / 10 != 0) {
        SlgSysSprPutTop(kSysMojiBDigit, n / 10, dx, py - 18);
        dx += 8;
      }
      SlgSysSprPutTop(kSysMojiBDigit, n % 10, dx, py - 18);
    }
    const SlgPoint snap = SnapPosToCell(u->x >> 16, u->y >> 16);
    const SlgPair screen = Slg::PosToScreen({snap.x * kOne, snap.y * kOne});
    const int bob = 2 * static_cast<int>((ClockFrames() / 8) % 4);
    SlgSysSprPutTop(kSysInfoWindow, 2, SlgScreenX(screen.x) - 12,
                    SlgScreenY(screen.y) - (u->lift >> 16) - 54 + bob);
  }
}

int CommWinKeyStep(const CommWinRecord& record, int column) {
  const int n = record.main_count;
  if (n <= 0 || record.columns == nullptr) return column;
  int c = column >= n ? n - 1 : (column < 0 ? 0 : column);
  auto step = [&](int delta) {
    for (int i = 0; i < n; ++i) {
      c = (c + delta + n) % n;
      if (!Greyed(record.columns[c].avail)) return;
    }
  };
  if (IsKeyTriggered(8) != 0) step(1);
  if (IsKeyTriggered(7) != 0) step(-1);
  return c;
}

int CommWinHitMain(const CommWinRecord& record) {
  int32_t px = 0, py = 0;
  PointerPixels(&px, &py);
  const int32_t ox = W().origin_x >> 16, oy = W().origin_y >> 16;
  const int n = record.main_count < kCommWinColumns ? record.main_count : kCommWinColumns;
  for (int c = 0; c < n; ++c) {
    if (InRect(kMainArea[c], ox, oy, px, py)) return c;
  }
  return -1;
}

int CommWinHitSub(const CommWinColumn* column) {
  if (column == nullptr || column->entries == nullptr) return -1;
  int32_t px = 0, py = 0;
  PointerPixels(&px, &py);
  const int32_t ox = W().origin_x >> 16, oy = W().origin_y >> 16;
  for (int i = 0; i + 1 < column->count; ++i) {
    const CommWinEntry& e = column->entries[i];
    if (Greyed(e.avail)) continue;
    if (InRect({e.x, e.y, e.x + 48, e.y + 32}, ox, oy, px, py)) return i;
  }
  return -1;
}

void CommWinSelect(int window) {
  if (window != 0) return;
  SlgCommWinState& w = W();
  CommWinRecord& r = w.record;
  if (r.columns == nullptr || r.main_count == 0) return;
  if (SlgMouseFlag() != 0) {
    const int hit = CommWinHitMain(r);
    if (hit >= 0) {
      if (Greyed(r.columns[hit].avail)) return;
      w.sel = static_cast<uint16_t>(hit);
    }
    if (w.sel >= r.main_count) return;
    const int sub = CommWinHitSub(&r.columns[w.sel]);
    if (sub >= 0) r.sub_sel[w.sel] = static_cast<uint8_t>(sub);
    return;
  }
  w.sel = static_cast<uint16_t>(CommWinKeyStep(r, w.sel));
  const CommWinColumn& col = r.columns[w.sel];
  const int upper = col.count - 1;
  if (upper <= 0 || col.entries == nullptr) return;
  int sub = r.sub_sel[w.sel] < upper ? r.sub_sel[w.sel] : upper - 1;
  auto step = [&](int delta) {
    for (int i = 0; i < upper; ++i) {
      sub = (sub + delta + upper) % upper;
      if (!Greyed(col.entries[sub].avail)) return;
    }
  };
  if (IsKeyTriggered(6) != 0) {
    step(1);
  } else if (IsKeyTriggered(5) != 0) {
    step(-1);
  }
  r.sub_sel[w.sel] = static_cast<uint8_t>(sub);
}

void CommWinGetSel(CommWinSelection* out, int window) {
  if (out == nullptr || window != 0) return;
  const SlgCommWinState& w = W();
  out->column = static_cast<uint8_t>(w.sel);
  out->sub = w.sel < kCommWinColumns ? w.record.sub_sel[w.sel] : 0;
}

int MenuHitTest(int x, int y, const MenuRect* rects, int n) {
  if (rects == nullptr || n < 1) return -1;
  int32_t px = 0, py = 0;
  PointerPixels(&px, &py);
  for (int i = 0; i < n; ++i) {
    if (InRect(rects[i], x, y, px, py)) return i;
  }
  return -1;
}

int MenuToggle2(int choice) {
  if (IsKeyTriggered(7) != 0 || IsKeyTriggered(8) != 0) choice = choice == 0 ? 1 : 0;
  if (IsKeyTriggered(5) != 0 || IsKeyTriggered(6) != 0) choice = choice == 0 ? 1 : 0;
  return choice;
}

// ---- Two-choice windows ----

namespace {

enum class ChoiceKind { kRetry, kYesNo, kStartMenu };

struct ChoiceLayout {
  int slot;
  int x, y;
  MenuRect items[2];
  int anm_offset;
};

constexpr ChoiceLayout kRetryLayout{kSysYesNo, 216, 184, {{16, 64, 96, 96}, {112, 64, 152, 96}}, 2};
constexpr ChoiceLayout kYesNoLayout{kSysYesNo, 216, 184, {{16, 64, 96, 96}, {112, 64, 192, 96}}, 0};
constexpr ChoiceLayout kStartLayout{kSysStartMenu, 256, 184, {{16, 16, 112, 48}, {16, 64, 112, 96}}, 0};

void PlayChoice(const ChoiceLayout& layout, int choice) {
  SlgSystemSprite& sys = Battle().sys_sprites[static_cast<size_t>(layout.slot)];
  if (sys.file == nullptr) return;
  SlgPlayAnm(sys.file, static_cast<uint32_t>(choice + layout.anm_offset), &sys.obj, kSlgSysSurface);
}

void ReleaseChoice(const ChoiceLayout& layout) {
  SlgSystemSprite& sys = Battle().sys_sprites[static_cast<size_t>(layout.slot)];
  Scene().tamvik_spr.ReleaseAnm(&sys.obj.handle);
}

int RunChoice(ChoiceKind kind) {
  BattleContext& b = Battle();
  const ChoiceLayout& layout =
      kind == ChoiceKind::kRetry ? kRetryLayout : (kind == ChoiceKind::kYesNo ? kYesNoLayout : kStartLayout);
  SlgChoiceWindow& win = kind == ChoiceKind::kRetry
                             ? b.choice_windows.retry
                             : (kind == ChoiceKind::kYesNo ? b.choice_windows.yes_no : b.choice_windows.start_menu);
  if (b.phase_sub == 0) {
    win.choice = win.shown = 1;
    b.flags |= 1;
    if (kind == ChoiceKind::kYesNo) b.flags &= static_cast<uint16_t>(~2u);
    SlgAnmObj& obj = b.sys_sprites[static_cast<size_t>(layout.slot)].obj;
    obj.x = (layout.x - kSlgCentreX) * kOne;
    obj.y = (layout.y - kSlgCentreY) * kOne;
    obj.depth = static_cast<int16_t>(kSlgSysTopDepth);
    PlayChoice(layout, win.choice);
    b.phase_sub = 1;
    return 1;
  }
  if (SlgMouseFlag() != 0) {
    const int hit = MenuHitTest(layout.x, layout.y, layout.items, 2);
    win.choice = static_cast<uint16_t>(hit >= 0 ? hit : win.shown);
  } else {
    win.choice = static_cast<uint16_t>(MenuToggle2(win.choice));
  }
  if (win.choice != win.shown) {
    PlayChoice(layout, win.choice);
    win.shown = win.choice;
  }
  const auto cancel_flags = [&b] {
    b.flags = static_cast<uint16_t>((b.flags & ~1u) | 2u);
  };
  if (IsKeyTriggered(0) != 0) {
    ReleaseChoice(layout);
    if (win.choice == 0) return 0;
    if (kind == ChoiceKind::kRetry) cancel_flags();
    return 2;
  }
  if (IsKeyTriggered(1) != 0) {
    ReleaseChoice(layout);
    cancel_flags();
    return kind == ChoiceKind::kStartMenu ? 3 : 2;
  }
  return 1;
}

}  // namespace

int YesNoWindow1() { return RunChoice(ChoiceKind::kRetry); }
int YesNoWindow2() { return RunChoice(ChoiceKind::kYesNo); }
int StartMenuWindow() { return RunChoice(ChoiceKind::kStartMenu); }
