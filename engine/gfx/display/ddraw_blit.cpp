// Rectangle blits between surfaces (clipping, colour key, stretch, mirroring) and colour fills.
//
// A blit or fill meets three kinds of trouble: invalid parameters (no surface, a rectangle outside
// its surface) are refused at once; a lost surface makes the display object restore what it can
// and try again; a surface held locked by someone else is tried again. Both retries are bounded:
// after kMaxAttempts the call gives up with 0 and a trace instead of spinning for ever.

#include <algorithm>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/surface_pixels.h"

using platform::Surface;

namespace {

constexpr int kMaxAttempts = 4;

enum class Status { kOk, kLost, kBusy };

bool Empty(const Rect& r) {
  return int64_t{r.right} - r.left <= 0 || int64_t{r.bottom} - r.top <= 0;
}

bool Inside(const Rect& r, const Surface& s) {
  return r.left >= 0 && r.top >= 0 && r.right <= s.width() && r.bottom <= s.height();
}

Rect Whole(const Surface& s) { return {0, 0, s.width(), s.height()}; }

Status Check(const Surface& a, const Surface& b) {
  if (a.IsLost() || b.IsLost()) return Status::kLost;
  if (a.locked() || b.locked()) return Status::kBusy;
  return Status::kOk;
}

// Runs `draw` once both surfaces can be drawn (a fill passes its surface twice). A lost surface
// makes the display object restore what it can (announced with "Surface Lost!" when
// `trace_lost`) and try again; a surface held locked is tried again. 1 when drawn; 0 when the
// restore fails or after kMaxAttempts tries, with a trace naming `who`.
template <class Draw>
int DrawWhenReady(CDdrawFunc& ddraw, const Surface& a, const Surface& b, const char* who,
                  bool trace_lost, Draw&& draw) {
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    switch (Check(a, b)) {
      case Status::kOk:
        draw();
        return 1;
      case Status::kLost:
        if (trace_lost) DebugPrint("Surface Lost!\n");
        if (!ddraw.RestoreAllSurfaces()) return 0;
        break;
      case Status::kBusy:
        break;
    }
  }
  DebugPrint("%s: gave up after %d tries\n", who, kMaxAttempts);
  return 0;
}

// i * a / b for i < b, without overflow for any 32-bit rectangle.
int64_t Share(int64_t cut, int64_t size, int64_t whole) {
  return static_cast<int64_t>(static_cast<__int128>(cut) * size / whole);
}

// One axis of the clipping: the destination span [d, d + dw) is cut to [0, limit) and the source
// span [s, s + sw) by the same share. A mirrored source is read backwards, so a cut at the
// destination's start trims the source's end and a cut at the destination's end its start.
// False when nothing is left.
bool ClipAxis(int64_t& s, int64_t& sw, int64_t& d, int64_t& dw, int64_t limit, bool mirror) {
  if (d < 0) {
    int64_t cut = -d;
    if (cut >= dw) return false;
    int64_t q = Share(cut, sw, dw);
    if (!mirror) s += q;
    sw -= q;
    dw -= cut;
    d = 0;
  }
  if (d + dw > limit) {
    int64_t cut = d + dw - limit;
    if (cut >= dw) return false;
    int64_t q = Share(cut, sw, dw);
    if (mirror) s += q;
    sw -= q;
    dw -= cut;
  }
  return sw > 0 && dw > 0;
}

}  // namespace

int CDdrawFunc::Blt(SurfaceId source, Rect source_rect, SurfaceId destination,
                    Rect destination_rect, int color_key) {
  return BltEx(source, source_rect, destination, destination_rect, color_key, 0, nullptr);
}

int CDdrawFunc::BltEx(SurfaceId source, Rect source_rect, SurfaceId destination,
                      Rect destination_rect, int color_key, uint32_t flags, const BltFx* fx) {
  return BltSurface(GetSurface(source), source_rect, GetSurface(destination), destination_rect,
                    color_key, flags, fx);
}

int CDdrawFunc::BltFromSurface(Surface* source, Rect source_rect, SurfaceId destination,
                               Rect destination_rect, int color_key) {
  return BltSurface(source, source_rect, GetSurface(destination), destination_rect, color_key, 0,
                    nullptr);
}

int CDdrawFunc::BltFromSurfaceEx(Surface* source, Rect source_rect, SurfaceId destination,
                                 Rect destination_rect, int color_key, uint32_t flags,
                                 const BltFx* fx) {
  return BltSurface(source, source_rect, GetSurface(destination), destination_rect, color_key,
                    flags, fx);
}

int CDdrawFunc::BltToSurface(SurfaceId source, Rect source_rect, Surface* destination,
                             Rect destination_rect, int color_key) {
  return BltSurface(GetSurface(source), source_rect, destination, destination_rect, color_key, 0,
                    nullptr);
}

int CDdrawFunc::BltToSurfaceEx(SurfaceId source, Rect source_rect, Surface* destination,
                               Rect destination_rect, int color_key, uint32_t flags,
                               const BltFx* fx) {
  return BltSurface(GetSurface(source), source_rect, destination, destination_rect, color_key,
                    flags, fx);
}

int CDdrawFunc::BltPtr(Surface* source, Rect source_rect, Surface* destination,
                       Rect destination_rect, int color_key) {
  return BltSurface(source, source_rect, destination, destination_rect, color_key, 0, nullptr);
}

int CDdrawFunc::ClipBltRect(const Surface* source, Rect* source_rect, const Surface* destination,
                            Rect* destination_rect, uint32_t flags, const BltFx* fx) const {
  (void)source;
  if (source_rect == nullptr || destination_rect == nullptr || destination == nullptr) return 1;
  // An empty rectangle on either side is nothing to draw, before any division by its size.
  if (Empty(*source_rect) || Empty(*destination_rect)) return 1;
  int64_t sx = source_rect->left, sw = int64_t{source_rect->right} - source_rect->left;
  int64_t sy = source_rect->top, sh = int64_t{source_rect->bottom} - source_rect->top;
  int64_t dx = destination_rect->left, dw = int64_t{destination_rect->right} - destination_rect->left;
  int64_t dy = destination_rect->top, dh = int64_t{destination_rect->bottom} - destination_rect->top;
  if (!ClipAxis(sx, sw, dx, dw, destination->width(), MirrorBit(flags, fx, kBltFxMirrorLeftRight)))
    return 1;
  if (!ClipAxis(sy, sh, dy, dh, destination->height(), MirrorBit(flags, fx, kBltFxMirrorUpDown)))
    return 1;
  *source_rect = {static_cast<int32_t>(sx), static_cast<int32_t>(sy),
                  static_cast<int32_t>(sx + sw), static_cast<int32_t>(sy + sh)};
  *destination_rect = {static_cast<int32_t>(dx), static_cast<int32_t>(dy),
                       static_cast<int32_t>(dx + dw), static_cast<int32_t>(dy + dh)};
  return 0;
}

int CDdrawFunc::BltSurface(Surface* source, Rect source_rect, Surface* destination,
                           Rect destination_rect, int color_key, uint32_t flags, const BltFx* fx) {
  if (source == nullptr || destination == nullptr) {
    DebugPrint("CDdrawFunc::BltSurface: no %s surface\n", source == nullptr ? "source" : "destination");
    return 0;
  }
  const SurfaceId destination_no = GetSurfaceNo(destination);
  Rect s = source_rect;
  Rect d = destination_rect;
  if (ClipBltRect(source, &s, destination, &d, flags, fx)) return 1;
  if (!Inside(s, *source)) {
    DebugPrint("CDdrawFunc::BltSurface: source rectangle (%d,%d,%d,%d) outside its %dx%d surface\n",
               s.left, s.top, s.right, s.bottom, source->width(), source->height());
    return 0;
  }
  if (color_key != 0) SetColorKey(source);
  return DrawWhenReady(*this, *source, *destination, "CDdrawFunc::BltSurface", true, [&] {
    uint16_t key = source->color_key();
    PixelCopy how{color_key != 0 ? &key : nullptr, MirrorBit(flags, fx, kBltFxMirrorLeftRight),
                  MirrorBit(flags, fx, kBltFxMirrorUpDown),
                  color_key != 0 ? KeyedCopyCoverFor(source, destination) : CoverFor(destination)};
    CopyPixels(*source, s, *destination, d, how);
    if (destination_no != 0) SetUpdate(destination_no, 1);
  });
}

int CDdrawFunc::BltWait(Surface* destination, const Rect* destination_rect, Surface* source,
                        const Rect* source_rect, uint32_t flags, const BltFx* fx) {
  if (source == nullptr || destination == nullptr) {
    DebugPrint("CDdrawFunc::BltWait: no %s surface\n", source == nullptr ? "source" : "destination");
    return 0;
  }
  Rect d = destination_rect != nullptr ? *destination_rect : Whole(*destination);
  Rect s = source_rect != nullptr ? *source_rect : Whole(*source);
  if (Empty(s) || Empty(d)) return 1;
  if (!Inside(s, *source) || !Inside(d, *destination)) {
    DebugPrint("CDdrawFunc::BltWait: rectangle outside its surface\n");
    return 0;
  }
  return DrawWhenReady(*this, *source, *destination, "CDdrawFunc::BltWait", false, [&] {
    uint16_t key = source->color_key();
    bool keyed = (flags & kBltKeySrc) != 0 && source->has_color_key();
    PixelCopy how{keyed ? &key : nullptr, MirrorBit(flags, fx, kBltFxMirrorLeftRight),
                  MirrorBit(flags, fx, kBltFxMirrorUpDown)};
    CopyPixels(*source, s, *destination, d, how);
  });
}

int CDdrawFunc::BltColorFill(Surface* surface, Rect rect, int fill) {
  if (surface == nullptr) {
    DebugPrint("CDdrawFunc::BltColorFill: no surface\n");
    return 0;
  }
  if (Empty(rect)) return 1;
  if (!Inside(rect, *surface)) {
    DebugPrint("CDdrawFunc::BltColorFill: rectangle (%d,%d,%d,%d) outside its %dx%d surface\n",
               rect.left, rect.top, rect.right, rect.bottom, surface->width(), surface->height());
    return 0;
  }
  return DrawWhenReady(*this, *surface, *surface, "CDdrawFunc::BltColorFill", false, [&] {
    FillPixels(*surface, rect, fill != 0 ? static_cast<uint16_t>(color_key_) : 0);
  });
}

int CDdrawFunc::FillSurfaceRect(SurfaceId id, int left, int top, int right, int bottom, int fill) {
  if (id == SURFACE_PRIMARY) return 0;
  if (LayerRec* rec = GetLayer(id)) rec->scroll_x = rec->scroll_y = 0;
  Surface* surface = GetSurface(id);
  if (surface == nullptr) return 0;
  return BltColorFill(surface, {left, top, right, bottom}, fill);
}

int CDdrawFunc::ClearSurface(SurfaceId id, int fill) {
  return FillSurfaceRect(id, 0, 0, kScreenWidth, kScreenHeight, fill);
}

int CDdrawFunc::ClearLayer(SurfaceId id, int fill) {
  if (const LayerRec* rec = GetLayer(id)) {
    return FillSurfaceRect(id, 0, 0, rec->surface_width, rec->surface_height, fill);
  }
  return ClearSurface(id, fill);
}
