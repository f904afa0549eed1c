#include "battle/slg_range_markers.h"

#include <algorithm>
#include <array>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_map.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/display/ddraw_func.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr uint32_t kFrames = 12;
constexpr uint32_t kFramesHurried = 3;
constexpr int kMapPlane = 2;
constexpr BlendWord kAlphaFull = 256;
constexpr BlendWord kAlphaHalfStep = 128;
constexpr SurfaceId kComposeAll = 14;
constexpr uint8_t kPlayMode = 4;
// Behind the units and their shadows (257), in front of the map planes.
constexpr int16_t kMarkerDepth = 258;
constexpr int32_t kMarkerRaise = 217;
constexpr int32_t kDestRaise = 216;
constexpr std::array<uint8_t, 7> kAnimByMode = {0, 5, 3, 2, 2, 4, 1};

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

void Release(SlgAnmObj& obj) {
  if (obj.handle != nullptr) Scene().tamvik_spr.ReleaseAnm(&obj.handle);
  obj.handle = nullptr;
}

void ReleaseMarkers() {
  for (SlgAnmObj& m : Battle().cmd.markers) Release(m);
}

// The height of the cell whose snapped position (the searches' form: 24 pixels above the centre)
// is (x, y).
int32_t HeightAtSnapped(int32_t x, int32_t y) {
  const int32_t row = (y + 24) / 24;
  const int32_t column = (x - 48 * (row & 1)) / 96;
  return static_cast<int32_t>(
      SlgCellWord({static_cast<int16_t>(column), static_cast<int16_t>(row)}) & kSlgCellHeightMask);
}

// Frames since the current opening or closing started (60 a second, signed).
int32_t FramesSince(uint32_t start) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(Now() - start)} * 60 / 1000);
}

void SetPlane(int32_t alpha) {
  SlgMap::SetPlaneAlpha(kMapPlane, static_cast<BlendWord>(alpha));
  Ctx().ddraw.SetUpdate(kComposeAll, 1);
}

// Shows the object's mark at the screen-relative pixel (x, y): made on first use, else moved.
void Show(SlgAnmObj& obj, int32_t x, int32_t y) {
  if (obj.handle == nullptr) {
    SprAnm* grid = SlgSysSprite(kSysGrid);
    if (grid == nullptr) return;
    obj.x = x * 65536;
    obj.y = y * 65536;
    obj.depth = kMarkerDepth;
    obj.mode = kPlayMode;
    SlgPlayAnm(grid, SlgMarkerAnimOf(Battle().search.mode), &obj, kSlgSysSurface);
    return;
  }
  SlgSprSetPos(obj.handle, SlgPair{x * 65536, y * 65536});
}

// Starts an opening (toward the cells) or a closing (toward the centre).
void Start(bool opening) {
  SlgCommandState& c = Battle().cmd;
  const SlgSearchState& s = Battle().search;
  c.range_frames = IsKeyHeld(2) != 0 ? kFramesHurried : kFrames;
  const auto frames = static_cast<int32_t>(c.range_frames);
  c.marker_count = std::min<uint32_t>(s.range_count, kSlgMarkerCount);
  for (uint32_t i = 0; i < c.marker_count; ++i) {
    const SlgRangePos cell = s.range_list[i];
    const SlgRangePos from = opening ? s.range_centre : cell;
    const SlgRangePos to = opening ? cell : s.range_centre;
    c.marker_pos[i] = {from.x, from.y};
    c.marker_step[i] = {static_cast<int16_t>((to.x - from.x) / frames),
                        static_cast<int16_t>((to.y - from.y) / frames)};
  }
  c.range_view_start = Now();
}

// Moves the markers for frame t of the current opening or closing (from their start points).
void Spread(bool opening, int32_t t) {
  SlgCommandState& c = Battle().cmd;
  const SlgSearchState& s = Battle().search;
  for (uint32_t i = 0; i < c.marker_count; ++i) {
    const SlgRangePos from = opening ? s.range_centre : s.range_list[i];
    c.marker_pos[i] = {static_cast<int16_t>(from.x + c.marker_step[i][0] * t),
                       static_cast<int16_t>(from.y + c.marker_step[i][1] * t)};
  }
}

void PutOn(bool cells) {
  SlgCommandState& c = Battle().cmd;
  const SlgSearchState& s = Battle().search;
  for (uint32_t i = 0; i < c.marker_count; ++i) {
    const SlgRangePos p = cells ? s.range_list[i] : s.range_centre;
    c.marker_pos[i] = {p.x, p.y};
  }
}

void DrawMarkers() {
  SlgCommandState& c = Battle().cmd;
  const SlgSearchState& s = Battle().search;
  const SlgBattleState& st = Battle().state;
  for (uint32_t i = 0; i < c.marker_count; ++i) {
    const SlgRangePos cell = s.range_list[i];
    const int32_t x = c.marker_pos[i][0] - st.scroll_x - 320;
    const int32_t y = c.marker_pos[i][1] - kSlgCellHeightPixels * HeightAtSnapped(cell.x, cell.y) -
                      st.scroll_y - kMarkerRaise;
    if (Slg::InViewArea(x, y) != 0)
      Show(c.markers[i], x, y);
    else
      Release(c.markers[i]);
  }
}

}  // namespace

uint32_t SlgMarkerAnimOf(uint32_t search_mode) {
  return search_mode < kAnimByMode.size() ? kAnimByMode[search_mode] : 0;
}

namespace Slg {

void RangeMarkers() {
  SlgCommandState& c = Battle().cmd;
  if (c.dest_mark_shown != 1) Release(c.dest_mark);
  c.dest_mark_shown = 0;
  const auto frames = static_cast<int32_t>(std::max<uint32_t>(c.range_frames, 1));
  switch (c.range_view) {
    case kSlgRangeOpen:
      ReleaseMarkers();
      Start(true);
      c.range_view = kSlgRangeOpening;
      break;
    case kSlgRangeOpening: {
      const int32_t t = FramesSince(c.range_view_start);
      if (t <= frames - 1) {
        Spread(true, std::max(t, 0));
        SetPlane(static_cast<int32_t>(kAlphaFull) - std::max(t, 0) * 128 / frames);
      } else {
        PutOn(true);
        SetPlane(static_cast<int32_t>(kAlphaFull - kAlphaHalfStep));
        c.range_view = kSlgRangeShown;
      }
      break;
    }
    case kSlgRangeClose:
      Start(false);
      c.range_view = kSlgRangeClosing;
      break;
    case kSlgRangeClosing: {
      const int32_t t = FramesSince(c.range_view_start);
      if (t <= frames - 1) {
        Spread(false, std::max(t, 0));
        SetPlane(static_cast<int32_t>(kAlphaFull) + (std::max(t, 0) - frames) * 128 / frames);
      } else {
        SetPlane(static_cast<int32_t>(kAlphaFull));
        c.range_view = kSlgRangeClosed;
        for (uint32_t i = 0; i < c.marker_count; ++i) Release(c.markers[i]);
        c.marker_count = 0;
      }
      break;
    }
    default:
      break;
  }
  if (c.range_view <= kSlgRangeClosing) DrawMarkers();
}

void DrawMoveDest() {
  SlgCommandState& c = Battle().cmd;
  const SlgSearchState& s = Battle().search;
  const SlgBattleState& st = Battle().state;
  const int32_t x = s.move_dest.x - st.scroll_x - 320;
  const int32_t lift = kSlgCellHeightPixels * HeightAtSnapped(s.move_dest.x, s.move_dest.y);
  const int32_t y = s.move_dest.y - lift -
                    st.scroll_y - kDestRaise;
  Show(c.dest_mark, x, y);
  if (c.dest_mark.handle != nullptr) SlgSprSetAlpha(&c.dest_mark, kAlphaFull);
  c.dest_mark_shown = 1;
}

void ReleaseRangeMarkers() {
  ReleaseMarkers();
  Release(Battle().cmd.dest_mark);
}

}  // namespace Slg
