#include "battle/slg_status_win.h"

#include <algorithm>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_face.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

const std::array<SlgLayoutRow, 11> kSlgStatusLayout = {{
    {8, 16, kSysInfoWindow, 1},  // the window itself; its x, y are the window offset
    {64, 52, -7, 0},             // life gauge
    {64, 68, -8, 0},             // kiai gauge
    {72, 50, -2, 0},             // life text
    {72, 66, -3, 0},             // kiai text
    {56, 104, -9, 0},            // attack, defence, move
    {56, 120, -10, 0},           // the extras
    {56, 136, -11, 0},           // the trust bonus
    {56, 152, -12, 0},           // the totals
    {58, 24, -14, 3},            // the unit's name
    {56, 176, -15, 2},           // the special attack's name
}};

const std::array<SlgLayoutRow, 7> kSlgPanelLayout = {{
    {0, 0, kSysInfoWindow, 0},  // the panel
    {56, 42, -3, 0},            // life gauge
    {56, 50, -4, 1},            // kiai gauge
    {43, 57, -2, 3},            // life text
    {48, 24, -5, 0},            // name
    {40, -16, -1, 0},           // turn-order position
    {8, 8, -6, 0},              // face
}};

namespace {

constexpr int32_t kOne = 65536;
constexpr int32_t kStatusGauge = 128;
constexpr int32_t kPanelGauge = 64;
// Each side's move a zoom frame: 9.5 and 12.5 pixels (16.16).
constexpr int32_t kZoomStepX = 19 * kOne / 2;
constexpr int32_t kZoomStepY = 25 * kOne / 2;

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
int32_t FramesSince(uint32_t start) {
  return static_cast<int32_t>(static_cast<int64_t>(static_cast<int32_t>(Now() - start)) * 60 / 1000);
}

const SlgUnit* UnitAt(int slot) {
  const BattleContext& b = Battle();
  if (slot < 0 || slot >= b.state.unit_count || slot >= kSlgMaxUnits) return nullptr;
  return &b.state.units[static_cast<size_t>(slot)];
}

// The size of frame n of a system sprite, 0 x 0 when it is not loaded.
void FrameSize(int slot, int frame, int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  SprAnm* file = SlgSysSprite(slot);
  if (file == nullptr || file->unit == nullptr || frame < 0) return;
  if (static_cast<uint32_t>(frame) >= file->unit->SprNum()) return;
  const SprRec* sprite = file->unit->sprites[static_cast<size_t>(frame)];
  if (sprite == nullptr) return;
  *width = sprite->width;
  *height = sprite->height;
}

void DrawGauge(int slot, int32_t value, int32_t max, int32_t pixels, int x, int y) {
  int32_t w = 0, h = 0;
  FrameSize(slot, 0, &w, &h);
  const int32_t length = SlgGaugeLength(value, max, pixels);
  if (length > 0) SlgSysSprPutSized(slot, 0, x, y, length, h);
}

void DrawPair(int32_t a, int32_t b, int x, int y) {
  char text[24];
  std::snprintf(text, sizeof text, "%4d/%4d", static_cast<int>(a), static_cast<int>(b));
  DrawDigitString(text, kSysMojiBDigit, x, y);
}

void DrawTriple(int a, int b, int c, int x, int y) {
  char text[24];
  std::snprintf(text, sizeof text, "%3d %3d %3d", a, b, c);
  DrawDigitString(text, kSysMojiBDigit, x, y);
}

// A status-window datum of the unit at screen pixel (x, y).
void DrawStatusDatum(const SlgUnit& u, int code, int x, int y) {
  const SlgUnitStats& s = u.stats;
  switch (code) {
    case -15: SlgSysSprPutTop(kSysNameSpecialAttack, u.character, x, y); break;
    case -14: SlgSysSprPutTop(kSysNameUnit, u.character, x, y); break;
    case -13: DrawFaceBlink(x, y, kSlgSysSurface); break;
    case -12: DrawTriple(s.total_attack, s.total_defence, s.total_move, x, y); break;
    case -11: {
      const SlgTrustBonus& t = kTrustBonusTable[static_cast<size_t>(TrustLevel(u))];
      DrawTriple(t.attack, t.defence, t.move, x, y);
      break;
    }
    case -10: DrawTriple(s.extra_attack, s.extra_defence, s.extra_move, x, y); break;
    case -9: DrawTriple(s.attack, s.defence, s.move, x, y); break;
    case -8: DrawGauge(kSysKiaiGauge, s.kiai, s.max_kiai, kStatusGauge, x, y); break;
    case -7: DrawGauge(kSysLifeGauge, s.life, s.max_life, kStatusGauge, x, y); break;
    case -3: DrawPair(s.kiai, s.max_kiai, x, y); break;
    case -2: DrawPair(s.life, s.max_life, x, y); break;
    case -1: DrawDigitString(Battle().face.panel_text.data(), kSysMojiBDigit, x, y); break;
    default: break;
  }
}

// A panel datum: -6 face, -5 name, -4 kiai gauge, -3 life gauge, -2 life text, -1 the turn-order
// position.
void DrawPanelDatum(const SlgUnit& u, int code, int x, int y) {
  const SlgUnitStats& s = u.stats;
  switch (code) {
    case -6: DrawFaceBlink(x, y, kSlgSysSurface); break;
    case -5: SlgSysSprPutTop(kSysNameUnit, u.character, x, y); break;
    case -4: DrawGauge(kSysKiaiGauge, s.kiai, s.max_kiai, kPanelGauge, x, y); break;
    case -3: DrawGauge(kSysLifeGauge, s.life, s.max_life, kPanelGauge, x, y); break;
    case -2: DrawPair(s.life, s.max_life, x, y); break;
    case -1: DrawDigitString(Battle().face.panel_text.data(), kSysMojiBDigit, x, y); break;
    default: break;
  }
}

template <size_t N, typename Datum>
void DrawLayout(const std::array<SlgLayoutRow, N>& rows, const SlgUnit& u, int x, int y, Datum datum) {
  for (const SlgLayoutRow& r : rows) {
    const int rx = x + 2 * r.x;
    const int ry = y + 2 * r.y;
    if (r.code >= 0) {
      SlgSysSprPutTop(r.code, r.frame, rx, ry);
    } else {
      datum(u, r.code, rx, ry);
    }
  }
}

void DrawZoomRect(const SlgStatusZoom& z) {
  const SlgLayoutRow& w = kSlgStatusLayout[0];
  SlgSysSprPutRect(w.code, w.frame, z.left + kSlgCentreX * kOne, z.top + kSlgCentreY * kOne,
                   z.right + kSlgCentreX * kOne, z.bottom + kSlgCentreY * kOne);
}

}  // namespace

int32_t SlgGaugeLength(int32_t value, int32_t max, int32_t pixels) {
  if (max <= 0 || value <= 0) return 0;
  const int64_t v = std::min<int64_t>(value, max);
  return static_cast<int32_t>(v * pixels / max);
}

namespace Slg {

int StatusWindow(int unit, const SlgPair& pos, int step) {
  SlgStatusZoom& z = Battle().player.status;
  const int32_t px = pos.x + 2 * kSlgStatusLayout[0].x * kOne;
  const int32_t py = pos.y + 2 * kSlgStatusLayout[0].y * kOne;
  switch (step) {
    case 0:
      z.open = 1;
      z.left = z.right = z.start_left = z.start_right = px;
      z.top = z.bottom = z.start_top = z.start_bottom = py;
      z.start = Now();
      return 1;
    case 1: {
      const int32_t f = std::min(FramesSince(z.start), kSlgStatusZoomFrames);
      z.left = z.start_left - kZoomStepX * f;
      z.right = z.start_right + kZoomStepX * f;
      z.top = z.start_top - kZoomStepY * f;
      z.bottom = z.start_bottom + kZoomStepY * f;
      if (f >= kSlgStatusZoomFrames) return 2;
      DebugPrint("Zooming In left:%d top:%d\n", SlgScreenX(z.left), SlgScreenY(z.top));
      DrawZoomRect(z);
      return 1;
    }
    case 2: {
      const SlgUnit* u = UnitAt(unit);
      if (u != nullptr) {
        DrawLayout(kSlgStatusLayout, *u, SlgScreenX(pos.x), SlgScreenY(pos.y), DrawStatusDatum);
      }
      return 2;
    }
    case 3:
      z.left = z.start_left = px - kSlgStatusWidth / 2 * kOne;
      z.right = z.start_right = px + kSlgStatusWidth / 2 * kOne;
      z.top = z.start_top = py - kSlgStatusHeight / 2 * kOne;
      z.bottom = z.start_bottom = py + kSlgStatusHeight / 2 * kOne;
      z.start = Now();
      return 4;
    case 4: {
      const int32_t f = std::min(FramesSince(z.start), kSlgStatusZoomFrames);
      z.left = z.start_left + kZoomStepX * f;
      z.right = z.start_right - kZoomStepX * f;
      z.top = z.start_top + kZoomStepY * f;
      z.bottom = z.start_bottom - kZoomStepY * f;
      if (f >= kSlgStatusZoomFrames) {
        z.open = 0;
        return 5;
      }
      DebugPrint("Zooming Out left:%d top:%d\n", SlgScreenX(z.left), SlgScreenY(z.top));
      DrawZoomRect(z);
      return 4;
    }
    default:
      return step;
  }
}

uint16_t PanelUnitAtCursor() {
  const BattleContext& b = Battle();
  const uint16_t n = GetUnitAtCell(b.state.cursor_cell[0], b.state.cursor_cell[1]);
  const SlgUnit* u = UnitAt(n);
  if (u == nullptr || (u->flags & kUnitInPanels) == 0 || u->step == 255) return kSlgNoUnit;
  return n;
}

void PanelPosition(int32_t ux, int32_t uy, int32_t width, int32_t height, int32_t* x, int32_t* y) {
  constexpr int32_t kGap = 32;
  int32_t px = ux + kGap;
  if (px + width > kSlgCentreX) px = ux - kGap - width;
  px = std::clamp(px, -kSlgCentreX, std::max(-kSlgCentreX, kSlgCentreX - width));
  int32_t py = uy - height / 2;
  py = std::clamp(py, -kSlgCentreY, std::max(-kSlgCentreY, kSlgCentreY - height));
  *x = px;
  *y = py;
}

void DrawUnitPanel(int unit, int x, int y) {
  const SlgUnit* u = UnitAt(unit);
  if (u != nullptr) DrawLayout(kSlgPanelLayout, *u, x, y, DrawPanelDatum);
}

void InfoPanel(SlgInfoPanel& panel) {
  BattleContext& b = Battle();
  const uint16_t under = PanelUnitAtCursor();
  if (panel.step != 0 && under != panel.unit) {
    // Off the unit (or onto another): a shown panel closes; the wait starts again.
    if (panel.step == 2) {
      b.face.panel_unit = kSlgNoUnit;
      TamvikFunc::ReleaseBlinkAnm();
    }
    panel.step = 0;
    panel.unit = kSlgNoUnit;
  }
  if (panel.step == 0) {
    if (under == kSlgNoUnit) return;
    panel.unit = under;
    panel.start = Now();
    panel.step = 1;
  }
  if (panel.step == 1) {
    if (FramesSince(panel.start) < kSlgPanelWait) return;
    ShowUnitPanel(panel.unit);
    panel.step = 2;
  }
  const SlgUnit* u = UnitAt(panel.unit);
  if (u == nullptr) return;
  const SlgPair screen = SlgMapToScreen(*u);
  const int32_t ux = screen.x >> 16;
  const int32_t uy = screen.y >> 16;
  int32_t w = 0, h = 0;
  FrameSize(kSysInfoWindow, 0, &w, &h);
  int32_t px = 0, py = 0;
  PanelPosition(ux, uy, w, h, &px, &py);
  DrawUnitPanel(panel.unit, px + kSlgCentreX, py + kSlgCentreY);
  // The marker bobs above the unit: 2 pixels a step, a step every 8 frames, 4 steps.
  const int32_t bob = 2 * ((FramesSince(panel.start) / 8) % 4);
  SlgSysSprPutTop(kSysInfoWindow, 2, ux + kSlgCentreX, uy + kSlgCentreY - 64 - bob);
}

}  // namespace Slg
