// The box styles of windows and panels, and the text size of a string.
//
// Styles: 0 solid colour; 1 checker of the colour and the transparent pixel; 2-5 and 6-9 the
// read surface tinted toward the colour (levels 128, 64, 32, 16); anything else draws nothing.
// A box is drawn over the part of its rectangle that lies on the surface.

#include <algorithm>
#include <cstring>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/surface_pixels.h"
#include "engine/gfx/text/text_draw.h"

using platform::Surface;

namespace {

// The rectangle cut to the surface; false when nothing is left.
bool ClipToSurface(Rect& r, const Surface& s) {
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, s.width());
  r.bottom = std::min(r.bottom, s.height());
  return r.left < r.right && r.top < r.bottom;
}

}  // namespace

int CDdrawFunc::DrawBox(SurfaceId id, ColorRef color, int left, int top, int right, int bottom,
                        int style) {
  return DrawBoxEx(id, color, {left, top, right, bottom}, style, SURFACE_PRIMARY);
}

int CDdrawFunc::DrawBoxEx(SurfaceId id, ColorRef color, Rect rect, int style, SurfaceId read_id) {
  if (id == SURFACE_PRIMARY) return 0;
  Surface* surface = GetSurface(id);
  if (surface == nullptr) {
    DebugPrint("CDdrawFunc::DrawBoxEx: no surface %d\n", id);
    return 0;
  }
  return DrawBoxWork(surface, color, rect, style, read_id) != 0 ? 1 : 0;
}

int CDdrawFunc::DrawBoxWork(Surface* surface, ColorRef color, Rect rect, int style,
                            SurfaceId read_id) {
  if (surface == nullptr) return 0;
  if (style < 0 || style > 9) return 1;
  const uint32_t matched = ColorMatch(SURFACE_BACK, color);
  if (matched == 0xFFFFFFFFu) {
    DebugPrint("CDdrawFunc::DrawBoxWork: colour cannot be matched\n");
    return 0;
  }
  const auto c = static_cast<uint16_t>(matched);

  if (style >= 2) {
    // Tinted: the read surface's pixels at the same place, blended toward the colour.
    const int shift = style <= 5 ? style - 1 : style - 5;
    const BlendWord word = kBlendTint | (256u >> shift);
    return BltAlphaWork(GetSurface(read_id), rect, surface, rect, 1, word, c);
  }

  if (!ClipToSurface(rect, *surface)) return 1;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (surface->IsLost()) {
      if (!RestoreAllSurfaces()) return 0;
      continue;
    }
    if (style == 0) {
      FillPixels(*surface, rect, c);
      return 1;
    }
    // Checker: odd x + y the colour, even x + y transparent.
    SurfaceDesc desc;
    if (!LockSurface(surface, &desc)) return 0;
    const auto key = static_cast<uint16_t>(color_key_);
    for (int y = rect.top; y < rect.bottom; ++y) {
      uint8_t* row = desc.bits + static_cast<ptrdiff_t>(y) * desc.pitch;
      for (int x = rect.left; x < rect.right; ++x) {
        const uint16_t v = ((x + y) & 1) != 0 ? c : key;
        std::memcpy(row + static_cast<ptrdiff_t>(x) * 2, &v, 2);
      }
    }
    surface->Unlock();
    return 1;
  }
  DebugPrint("CDdrawFunc::DrawBoxWork: gave up\n");
  return 0;
}

uint32_t CDdrawFunc::GetTextSize(const char* text, int32_t /*unused1*/, int32_t /*unused2*/,
                                 int32_t /*unused3*/, SurfaceId id) {
  Surface* surface = GetSurface(id);
  if (text == nullptr || surface == nullptr) return 0;
  if (surface->IsLost() && (!RestoreAllSurfaces() || surface->IsLost())) return 0;
  return CDdrawText::GetTextWidth(text, static_cast<int>(std::strlen(text)));
}
