#pragma once
// The status window (all of a unit's numbers, opened and closed by a 16-frame zoom) and the
// cursor information panel (the unit under the map cursor with its face, name and gauges). Both
// draw one-frame entries of the system sprites (battle/slg_sys_spr.h) at depth -1100 on surface
// 4 from constant layout tables; a sprite that is not loaded is not drawn. State:
// Battle().player.status and Battle().player.panel.

#include <array>
#include <cstdint>

#include "battle/slg_player_state.h"
#include "battle/slg_units.h"

// A layout row: x, y in 2-pixel units from the window position; a code of 0 or more draws frame
// `frame` of that System.Tab slot, a negative code a datum of the unit.
struct SlgLayoutRow {
  int16_t x, y, code, frame;
};
extern const std::array<SlgLayoutRow, 11> kSlgStatusLayout;
extern const std::array<SlgLayoutRow, 7> kSlgPanelLayout;

// The status window's full size (pixels) and its zoom: 16 frames, each side 9.5 pixels
// horizontally and 12.5 vertically a frame.
constexpr int32_t kSlgStatusWidth = 304;
constexpr int32_t kSlgStatusHeight = 400;
constexpr int32_t kSlgStatusZoomFrames = 16;
// Frames the cursor stays on a unit before its panel shows.
constexpr int32_t kSlgPanelWait = 12;

// The gauge length of `value` of `max` over `pixels`, 0 for a maximum of 0 or below.
int32_t SlgGaugeLength(int32_t value, int32_t max, int32_t pixels);

namespace Slg {

// One frame of the status window of `unit` at pos (16.16 about the screen centre); returns the
// next step. 0: the zoom rectangle a point at pos + the window offset (16, 32), -> 1. 1: each
// side moves out by 9.5 / 12.5 pixels a frame ("Zooming In left:%d top:%d\n"), drawn as a framed
// window; 16 frames after step 0 -> 2. 2: the contents by the status layout. 3: the full
// rectangle (304 x 400 about the point), -> 4. 4: the zoom out ("Zooming Out left:%d top:%d\n");
// 16 frames after step 3 the zoom ends, -> 5 (closed). 5 and above are returned unchanged.
int StatusWindow(int unit, const SlgPair& pos, int step);
// One frame of the cursor information panel: the cursor 12 frames on a unit with flag 0x1000
// shows its panel (Slg::ShowUnitPanel) beside the unit, inside the screen, with frame 2 of
// "InfoWindow:" bobbing above it; moving off it closes the panel.
void InfoPanel(SlgInfoPanel& panel);
// The unit's panel by the panel layout with its top-left at screen pixel (x, y). Nothing for a
// slot that is not a unit.
void DrawUnitPanel(int unit, int x, int y);
// The unit under the map cursor that panels show (flag 0x1000, live), 65535 none.
uint16_t PanelUnitAtCursor();
// The panel's top-left (pixels about the screen centre) for a unit drawn at (ux, uy): right of
// the unit, or left of it when that leaves the screen, kept within -320 .. 320 x -240 .. 240.
void PanelPosition(int32_t ux, int32_t uy, int32_t width, int32_t height, int32_t* x, int32_t* y);

}  // namespace Slg
