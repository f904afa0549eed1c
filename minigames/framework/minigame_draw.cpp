#include "minigames/framework/minigame_draw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/core/debug_trace.h"
#include "engine/gfx/pixels/blend_blit.h"
#include "engine/gfx/pixels/quad_raster.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_picture.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"
#include "platform/surface.h"

using platform::Surface;
using platform::SurfaceLock;

namespace {

constexpr uint16_t kWhite = 65535;
constexpr uint32_t kImageKeyed = 2;
constexpr uint32_t kImageHalf = 4;
constexpr int32_t kMaxTime = 359999;

Rect Intersect(Rect a, const Rect &b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a;
}

bool Empty(const Rect &r) { return r.right <= r.left || r.bottom <= r.top; }

// A rectangle from a position and a size, computed in 64 bits and kept inside
// int32.
Rect SizedRect(int64_t x, int64_t y, int64_t w, int64_t h) {
  auto c = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 30), 1 << 30));
  };
  return Rect{c(x), c(y), c(x + std::max<int64_t>(w, 0)), c(y + std::max<int64_t>(h, 0))};
}

Surface *SlotSurface(int32_t slot) {
  MgSurfaceSlot *s = mg_slot(slot);
  return s != nullptr ? s->surface : nullptr;
}

Rect Bounds(const Surface *s) { return Rect{0, 0, s->width(), s->height()}; }

// The destination area of a blit: the drawing clip and the destination surface.
Rect DestClip(const Surface *d) { return Intersect(Minigame().screen.clip, Bounds(d)); }

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}
int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

class Locked {
 public:
  explicit Locked(Surface *surface) : surface_(surface) {
    ok_ = surface_ != nullptr && surface_->Lock(lock_);
  }
  ~Locked() {
    if (ok_) surface_->Unlock();
  }
  Locked(const Locked &) = delete;
  Locked &operator=(const Locked &) = delete;
  bool ok() const { return ok_; }
  const SurfaceLock &lock() const { return lock_; }
  uint16_t *Row(int32_t y) const {
    return reinterpret_cast<uint16_t *>(lock_.bits + static_cast<ptrdiff_t>(y) * lock_.pitch);
  }

 private:
  Surface *surface_;
  SurfaceLock lock_;
  bool ok_ = false;
};

// The copy behind draw, keyed, mirrored, scaled and copy rectangle: destination
// rectangle d from source rectangle s (both right and bottom exclusive).
int StretchBlit(int32_t dst, const Rect &d, int32_t src, const Rect &s, bool keyed, int mirror) {
  Surface *ds = SlotSurface(dst);
  Surface *ss = SlotSurface(src);
  if (ds == nullptr || ss == nullptr) return 0;
  const int64_t dw = int64_t{d.right} - d.left, dh = int64_t{d.bottom} - d.top;
  const int64_t sw = int64_t{s.right} - s.left, sh = int64_t{s.bottom} - s.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return 1;
  Rect c = Intersect(d, DestClip(ds));
  const bool plain = dw == sw && dh == sh && mirror == 0;
  if (plain) {
    // One to one: the source surface clips the destination directly.
    c = Intersect(c, Rect{d.left - s.left, d.top - s.top, d.left - s.left + ss->width(),
                          d.top - s.top + ss->height()});
  }
  if (Empty(c)) return 1;
  if (ds->IsLost() || ss->IsLost()) return 0;
  Locked dl(ds);
  if (!dl.ok()) return 0;
  const uint16_t key = mg_color_key();
  // A copy of a surface onto itself reads a copy of the source rectangle.
  std::vector<uint16_t> own;
  const uint16_t *src_bits = nullptr;
  int64_t src_pitch = 0;  // in pixels
  int64_t src_x0 = 0, src_y0 = 0;
  const int32_t sw_px = ss->width(), sh_px = ss->height();
  std::optional<Locked> sl;
  if (ss == ds) {
    const Rect sr = Intersect(s, Bounds(ss));
    if (Empty(sr)) return 1;
    own.resize(static_cast<size_t>(sr.right - sr.left) * static_cast<size_t>(sr.bottom - sr.top));
    for (int32_t y = sr.top; y < sr.bottom; ++y) {
      std::memcpy(&own[static_cast<size_t>(y - sr.top) * static_cast<size_t>(sr.right - sr.left)],
                  dl.Row(y) + sr.left, static_cast<size_t>(sr.right - sr.left) * 2);
    }
    src_bits = own.data();
    src_pitch = sr.right - sr.left;
    src_x0 = sr.left;
    src_y0 = sr.top;
  } else {
    sl.emplace(ss);
    if (!sl->ok()) return 0;
    src_bits = sl->Row(0);
    src_pitch = sl->lock().pitch / 2;
  }
  // Source pixel (x, y), or null outside the source surface or the copy held.
  auto at = [&](int64_t x, int64_t y) -> const uint16_t * {
    if (x < 0 || y < 0 || x >= sw_px || y >= sh_px) return nullptr;
    const int64_t lx = x - src_x0, ly = y - src_y0;
    if (ss == ds && (lx < 0 || ly < 0 || lx >= src_pitch ||
                     ly >= static_cast<int64_t>(own.size()) / src_pitch)) {
      return nullptr;
    }
    return src_bits + ly * src_pitch + lx;
  };
  for (int32_t y = c.top; y < c.bottom; ++y) {
    const int64_t j = y - d.top;
    int64_t sy = j * sh / dh;
    sy = (mirror & mg::kMirrorY) != 0 ? s.top + sh - 1 - sy : s.top + sy;
    uint16_t *out = dl.Row(y);
    if (plain) {
      const uint16_t *in = at(s.left + (c.left - d.left), sy);
      if (in == nullptr) continue;
      const int32_t n = c.right - c.left;
      if (!keyed) {
        std::memcpy(out + c.left, in, static_cast<size_t>(n) * 2);
      } else {
        for (int32_t i = 0; i < n; ++i) {
          if (in[i] != key) out[c.left + i] = in[i];
        }
      }
      continue;
    }
    for (int32_t x = c.left; x < c.right; ++x) {
      const int64_t i = x - d.left;
      int64_t sx = i * sw / dw;
      sx = (mirror & mg::kMirrorX) != 0 ? s.left + sw - 1 - sx : s.left + sx;
      const uint16_t *p = at(sx, sy);
      if (p == nullptr || (keyed && *p == key)) continue;
      out[x] = *p;
    }
  }
  return 1;
}

int WholeSlot(int32_t x, int32_t y, int32_t w, int32_t h, int32_t slot, bool keyed, int mirror) {
  const MgSurfaceSlot *s = mg_slot(slot);
  if (s == nullptr || s->surface == nullptr) return 0;
  return StretchBlit(mg_get_target(), SizedRect(x, y, w, h), slot, Rect{0, 0, s->width, s->height},
                     keyed, mirror);
}

int SlotWidth(int32_t slot) {
  const MgSurfaceSlot *s = mg_slot(slot);
  return s != nullptr && s->surface != nullptr ? s->width : 0;
}
int SlotHeight(int32_t slot) {
  const MgSurfaceSlot *s = mg_slot(slot);
  return s != nullptr && s->surface != nullptr ? s->height : 0;
}

// An od image slot's flags (0 outside 0-511).
uint32_t ImageFlags(int32_t slot) {
  if (slot < 0 || slot >= mg::kImageSlotCount) return 0;
  return Minigame().images[static_cast<size_t>(slot)].flags;
}
bool Keyed(int32_t slot) { return (ImageFlags(slot) & kImageKeyed) != 0; }

// An image slot 0-511 drawn at (x, y) with its key rule and mirror bits.
void DrawImage(int32_t slot, int64_t x, int64_t y, int mirror) {
  if (slot < 0 || slot >= mg::kImageSlotCount) return;
  WholeSlot(static_cast<int32_t>(std::clamp<int64_t>(x, -(1 << 30), 1 << 30)),
            static_cast<int32_t>(std::clamp<int64_t>(y, -(1 << 30), 1 << 30)), SlotWidth(slot),
            SlotHeight(slot), slot, Keyed(slot), mirror);
}

}  // namespace

// ---- Blits ----

int mg_blit(int32_t x, int32_t y, int32_t slot) {
  return WholeSlot(x, y, SlotWidth(slot), SlotHeight(slot), slot, false, 0);
}

int mg_blit_key(int32_t x, int32_t y, int32_t slot) {
  return WholeSlot(x, y, SlotWidth(slot), SlotHeight(slot), slot, true, 0);
}

int mg_blit_mirror(int32_t x, int32_t y, int32_t slot, int mirror, bool keyed) {
  return WholeSlot(x, y, SlotWidth(slot), SlotHeight(slot), slot, keyed,
                   mirror & (mg::kMirrorX | mg::kMirrorY));
}

int mg_blit_scaled(int32_t x, int32_t y, int32_t width, int32_t height, int32_t slot, bool keyed) {
  return WholeSlot(x, y, width, height, slot, keyed, 0);
}

int mg_copy_rect(int32_t dst, int32_t x, int32_t y, int32_t src, int32_t sx, int32_t sy,
                 int32_t width, int32_t height, bool keyed) {
  return StretchBlit(dst, SizedRect(x, y, width, height), src, SizedRect(sx, sy, width, height),
                     keyed, 0);
}

int mg_quad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
            int32_t y3, int32_t slot) {
  Surface *ds = SlotSurface(mg_get_target());
  Surface *ss = SlotSurface(slot);
  if (ds == nullptr || ss == nullptr) return 0;
  const Rect c = DestClip(ds);
  if (Empty(c) || ss == ds) return 1;
  if (ds->IsLost() || ss->IsLost()) return 0;
  Locked dl(ds);
  Locked sl(ss);
  if (!dl.ok() || !sl.ok()) return 0;
  // The rasterizer clips to the picture it is given: hand it the clip's part of
  // the target.
  const int32_t w = ss->width() - 1, h = ss->height() - 1;
  const Quad quad{
      QuadVertex{x0 - c.left, y0 - c.top, 0, 0}, QuadVertex{x1 - c.left, y1 - c.top, w, 0},
      QuadVertex{x2 - c.left, y2 - c.top, w, h}, QuadVertex{x3 - c.left, y3 - c.top, 0, h}};
  BlitTransform16B(dl.Row(c.top) + c.left, dl.lock().pitch, c.right - c.left, c.bottom - c.top,
                   quad, sl.lock().bits, sl.lock().pitch, ss->width(), ss->height());
  return 1;
}

int mg_fill_pixel(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height,
                  uint16_t pixel) {
  Surface *d = SlotSurface(dst);
  if (d == nullptr) return 0;
  const Rect r = Intersect(SizedRect(x, y, width, height), DestClip(d));
  if (Empty(r)) return 1;
  if (d->IsLost()) return 0;
  Locked dl(d);
  if (!dl.ok()) return 0;
  for (int32_t row = r.top; row < r.bottom; ++row) {
    std::fill(dl.Row(row) + r.left, dl.Row(row) + r.right, pixel);
  }
  return 1;
}

int mg_fill_blit(int32_t x, int32_t y, int32_t slot) {
  Surface *d = SlotSurface(mg_get_target());
  Surface *s = SlotSurface(slot);
  if (d == nullptr || s == nullptr) return 0;
  Rect r = Intersect(SizedRect(x, y, s->width(), s->height()), DestClip(d));
  if (Empty(r) || s == d) return 1;
  if (d->IsLost() || s->IsLost()) return 0;
  Locked dl(d);
  Locked sl(s);
  if (!dl.ok() || !sl.ok()) return 0;
  BlitShadow16(dl.lock().bits, dl.lock().pitch, r.left, r.top, r.right - r.left, r.bottom - r.top,
               sl.lock().bits, sl.lock().pitch, r.left - x, r.top - y, mg_layout_bits());
  return 1;
}

int mg_blend(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height, int32_t src1,
             int32_t x1, int32_t y1, int32_t src2, int32_t x2, int32_t y2, int32_t level) {
  Surface *d = SlotSurface(dst);
  Surface *a = SlotSurface(src1);
  Surface *b = SlotSurface(src2);
  if (d == nullptr || a == nullptr || b == nullptr) return 0;
  Rect r = Intersect(SizedRect(x, y, width, height), DestClip(d));
  r = Intersect(r, SizedRect(int64_t{x} - x1, int64_t{y} - y1, a->width(), a->height()));
  r = Intersect(r, SizedRect(int64_t{x} - x2, int64_t{y} - y2, b->width(), b->height()));
  if (Empty(r)) return 1;
  if (d->IsLost() || a->IsLost() || b->IsLost()) return 0;
  // One lock per distinct surface.
  Locked dl(d);
  std::optional<Locked> al, bl;
  if (a != d) al.emplace(a);
  if (b != d && b != a) bl.emplace(b);
  if (!dl.ok() || (al && !al->ok()) || (bl && !bl->ok())) return 0;
  const SurfaceLock &ak = a == d ? dl.lock() : al->lock();
  const SurfaceLock &bk = b == d ? dl.lock() : (b == a ? ak : bl->lock());
  BlitBright16B(dl.lock().bits, dl.lock().pitch, r.left, r.top, r.right - r.left, r.bottom - r.top,
                ak.bits, ak.pitch, x1 + (r.left - x), y1 + (r.top - y), bk.bits, bk.pitch,
                x2 + (r.left - x), y2 + (r.top - y), level, mg_layout_bits());
  return 1;
}

// ---- Scene ----

namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 30), 1 << 30));
}

// The drawing walk's state for one frame.
struct DrawWalk {
  MinigameContext &m;
  int32_t surface;  // the frame's surface
  int32_t target;   // where the current layer draws
};

MgObject &ObjectAt(int32_t o) { return Minigame().objects[static_cast<size_t>(o)]; }

// Slot base + n when it is an image slot, else -1 (nothing drawn, no room
// taken).
int32_t DigitSlot(int32_t base, int32_t n) {
  const int64_t slot = int64_t{base} + n;
  return slot >= 0 && slot < mg::kImageSlotCount ? static_cast<int32_t>(slot) : -1;
}
int32_t DigitWidth(int32_t slot) { return slot < 0 ? 0 : SlotWidth(slot); }

// Number display: `digits` digits of the value from base + 0-9, the minus sign
// base + 12.
void DrawNumber(const MgObject &obj, int64_t x, int64_t y) {
  const int32_t base = obj.image;
  const bool zeros = (obj.flags & mg::kObjNumberZeros) != 0;
  const bool left = (obj.flags & mg::kObjNumberLeft) != 0;
  const bool negative = obj.value < 0;
  const uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(int64_t{obj.value})
                                      : static_cast<uint64_t>(obj.value);
  int32_t count = std::clamp<int32_t>(obj.digits, 1, 20);
  const int32_t minus = DigitSlot(base, 12);
  if (zeros && negative) {
    DrawImage(minus, x, y, 0);
    if (!left) x += DigitWidth(minus);
    count = std::max<int32_t>(count - 1, 1);
  }
  bool started = false;
  for (int32_t i = count - 1; i >= 0; --i) {
    uint64_t p = 1;
    for (int32_t k = 0; k < i && p <= magnitude; ++k) p *= 10;
    // p > magnitude before reaching 10^i: the digit is a leading zero.
    uint64_t digit = 0;
    if (p <= magnitude || i == 0) {
      uint64_t q = magnitude;
      for (int32_t k = 0; k < i; ++k) q /= 10;
      digit = q % 10;
    }
    if (!zeros && !started && digit == 0 && i > 0) {
      if (!left) x += DigitWidth(DigitSlot(base, 0));
      continue;
    }
    const int32_t slot = DigitSlot(base, static_cast<int32_t>(digit));
    if (!zeros && !started && negative) DrawImage(minus, x - DigitWidth(minus), y, 0);
    started = true;
    DrawImage(slot, x, y, 0);
    x += DigitWidth(slot);
  }
}

// Time display: minutes, seconds and hundredths of a count of 60 Hz steps, in
// fields two digit widths wide with the separators base + 13 and base + 14.
void DrawTime(const MgObject &obj, int64_t x, int64_t y) {
  const int32_t base = obj.image;
  const int32_t v = std::clamp<int32_t>(obj.value, 0, kMaxTime);
  const int32_t minutes = v / 3600, seconds = v % 3600 / 60, hundredths = v % 60 * 100 / 60;
  const int32_t w = DigitWidth(DigitSlot(base, 0));
  auto field = [&](int32_t n, bool tens_always, bool units) {
    if (tens_always || n >= 10) DrawImage(DigitSlot(base, n / 10), x, y, 0);
    if (units) DrawImage(DigitSlot(base, n % 10), x + w, y, 0);
    x += 2 * w;
  };
  const int32_t sep1 = DigitSlot(base, 13), sep2 = DigitSlot(base, 14);
  field(minutes, false, minutes != 0);
  if (minutes != 0) DrawImage(sep1, x, y, 0);
  x += DigitWidth(sep1);
  field(seconds, false, true);
  DrawImage(sep2, x, y, 0);
  x += DigitWidth(sep2);
  field(hundredths, true, true);
}

int32_t DepthLayer(int32_t layer) { return std::max<int32_t>(layer, 1); }

// The image scaled by 256 / layer, centred on its natural rectangle at (x, y).
void DrawDepth(int32_t slot, int64_t x, int64_t y, int32_t layer) {
  if (slot < 0 || slot >= mg::kImageSlotCount) return;
  const int64_t w = SlotWidth(slot), h = SlotHeight(slot);
  const int64_t dw = w * 256 / DepthLayer(layer), dh = h * 256 / DepthLayer(layer);
  const Rect d = SizedRect(x + (w - dw) / 2, y + (h - dh) / 2, dw, dh);
  StretchBlit(mg_get_target(), d, slot,
              Rect{0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)}, Keyed(slot), 0);
}

// Rotated quad by the first non-zero angle (turn, tilt, spin); all 0: the plain
// image.
void DrawRotated(const MgObject &obj, int32_t slot, int64_t x, int64_t y) {
  if (slot < 0 || slot >= mg::kImageSlotCount || SlotWidth(slot) == 0) return;
  const int64_t w = SlotWidth(slot) / 2, h = SlotHeight(slot) / 2;
  const int32_t turn = obj.turn & 0xFF, tilt = obj.tilt & 0xFF, spin = obj.spin & 0xFF;
  if (turn == 0 && tilt == 0 && spin == 0) {
    DrawImage(slot, x, y, 0);
    return;
  }
  const bool edge = (obj.flags & mg::kObjEdgePivot) != 0;
  // Corner offsets from the pivot (top left, top right, bottom right, bottom
  // left).
  int64_t px = x + w, py = y + h;
  std::array<int64_t, 8> c{};
  if (turn != 0) {
    const int64_t cs = mg_cos(turn), sn = mg_sin(turn);
    const int64_t half = w * cs / 65536, skew = 3 * w * sn / 65536 / 8;
    if (edge) {
      px = x;
      c = {0, -h - skew, 2 * half, -h + skew, 2 * half, h - skew, 0, h + skew};
    } else {
      c = {-half, -h - skew, half, -h + skew, half, h - skew, -half, h + skew};
    }
  } else if (tilt != 0) {
    const int64_t cs = mg_cos(tilt), sn = mg_sin(tilt);
    const int64_t half = h * cs / 65536, skew = 3 * h * sn / 65536 / 8;
    if (edge) {
      py = y + 2 * h;
      c = {-w - skew, -2 * half, w + skew, -2 * half, w - skew, 0, -w + skew, 0};
    } else {
      c = {-w - skew, -half, w + skew, -half, w - skew, half, -w + skew, half};
    }
  } else {
    const int64_t cs = mg_cos(spin), sn = mg_sin(spin);
    const int64_t corners[8] = {-w, -h, w, -h, w, h, -w, h};
    for (int i = 0; i < 4; ++i) {
      const int64_t cx = corners[2 * i], cy = corners[2 * i + 1];
      c[static_cast<size_t>(2 * i)] = (cx * cs - cy * sn) / 65536;
      c[static_cast<size_t>(2 * i + 1)] = (cx * sn + cy * cs) / 65536;
    }
  }
  if ((obj.flags & mg::kObjDepthScale) != 0) {
    for (int64_t &v : c) v = v * 256 / DepthLayer(obj.layer);
  }
  mg_quad(Clamp32(px + c[0]), Clamp32(py + c[1]), Clamp32(px + c[2]), Clamp32(py + c[3]),
          Clamp32(px + c[4]), Clamp32(py + c[5]), Clamp32(px + c[6]), Clamp32(py + c[7]), slot);
}

// Mirror bits of the blit from an object's (0x8000, 0x10000) or a frame's
// (0x1000, 0x2000).
int ObjectMirror(uint32_t flags) {
  return ((flags & mg::kObjMirrorX) != 0 ? mg::kMirrorX : 0) |
         ((flags & mg::kObjMirrorY) != 0 ? mg::kMirrorY : 0);
}
int FrameMirror(int32_t bits) {
  return ((bits & mg::kFrameMirrorX) != 0 ? mg::kMirrorX : 0) |
         ((bits & mg::kFrameMirrorY) != 0 ? mg::kMirrorY : 0);
}

uint16_t OdWord(uint32_t at) {
  const MgOdFile &od = Minigame().od;
  return static_cast<uint16_t>(od.buffer[at] | od.buffer[at + 1] << 8);
}

// The plain image, the composite frame's further parts, then the overlay.
void DrawPlain(const MgObject &obj, const MgObject &src, int64_t x, int64_t y) {
  DrawImage(src.image, x + src.frame_x, y + src.frame_y,
            ObjectMirror(obj.flags) ^ FrameMirror(src.frame_mirror));
  const MgOdFile &od = Minigame().od;
  for (int32_t k = 1; k <= src.extra_parts && src.parts != 0; ++k) {
    const uint64_t at = uint64_t{src.parts} + 6u * static_cast<uint64_t>(k);
    if (at + 6 > od.size) break;
    const uint16_t bits = OdWord(static_cast<uint32_t>(at));
    const int16_t px = static_cast<int16_t>(OdWord(static_cast<uint32_t>(at + 2)));
    const int16_t py = static_cast<int16_t>(OdWord(static_cast<uint32_t>(at + 4)));
    DrawImage(bits & 0xFFF, x + px, y + py, FrameMirror(bits));
  }
}

void DrawOverlay(const MgObject &obj, int64_t x, int64_t y, bool depth) {
  const int32_t ov = mg_obj_overlay_of(obj);
  if (ov == 0) return;
  const MgObject &o = ObjectAt(ov);
  if (depth) {
    DrawDepth(o.image, x + o.x, y + o.y, obj.layer);
  } else {
    DrawImage(o.image, x + o.x, y + o.y, 0);
  }
}

void DrawObject(int32_t o) {
  MinigameContext &m = Minigame();
  MgObject &obj = ObjectAt(o);
  const MgObject *src = &obj;
  int64_t x = obj.x, y = obj.y;
  if ((obj.flags & mg::kObjLinked) != 0) {
    if (const int32_t l = mg_obj_linked_of(obj); l != 0) {
      src = &ObjectAt(l);
      x = int64_t{src->x} + obj.link_x;
      y = int64_t{src->y} + obj.link_y;
    }
  }
  int64_t parent_x = 0, parent_y = 0;
  if (const int32_t p = mg_obj_parent_of(*src); p != 0) {
    parent_x = ObjectAt(p).x;
    parent_y = ObjectAt(p).y;
  }
  x += parent_x;
  y += parent_y + m.draw.shake_offset;
  const Rect saved_clip = m.screen.clip;
  if ((obj.flags & mg::kObjClip) != 0) {
    const Rect own{Clamp32(obj.clip_left + parent_x), Clamp32(obj.clip_top + parent_y),
                   Clamp32(obj.clip_right + parent_x), Clamp32(obj.clip_bottom + parent_y)};
    m.screen.clip = Intersect(saved_clip, own);
  }
  const int32_t image = src->image;
  uint32_t f = obj.flags;
  if ((ImageFlags(image) & kImageHalf) != 0) f |= mg::kObjHalfAlpha;
  const int64_t fx = x + src->frame_x, fy = y + src->frame_y;
  if ((f & mg::kObjNumber) != 0) {
    DrawNumber(obj, fx, fy);
  } else if ((f & mg::kObjTime) != 0) {
    DrawTime(obj, fx, fy);
  } else if ((f & mg::kObjRotate) != 0) {
    DrawRotated(obj, image, fx, fy);
  } else if ((f & mg::kObjDepthScale) != 0) {
    DrawDepth(image, fx, fy, obj.layer);
    DrawOverlay(obj, x, y, true);
  } else if ((f & mg::kObjHalfAlpha) != 0) {
    if (image >= 0 && image < mg::kImageSlotCount) {
      const int32_t t = mg_get_target();
      mg_blend(t, Clamp32(fx), Clamp32(fy), SlotWidth(image), SlotHeight(image), t, Clamp32(fx),
               Clamp32(fy), image, 0, 0, 128);
    }
  } else if ((f & mg::kObjLinked) != 0) {
    if (image >= 0 && image < mg::kImageSlotCount) mg_fill_blit(Clamp32(fx), Clamp32(fy), image);
  } else if ((f & mg::kObjScenePicture) != 0) {
    mg_draw_nc(mg_get_target(), x, y);
  } else if ((f & mg::kObjSceneFace) != 0) {
    mg_draw_face(mg_get_target(), x, y);
  } else if ((f & mg::kObjPointer) != 0) {
    DrawImage(image, int64_t{m.input.mouse_x} + src->frame_x,
              int64_t{m.input.mouse_y} + src->frame_y, 0);
  } else {
    DrawPlain(obj, *src, x, y);
    DrawOverlay(obj, x, y, false);
  }
  m.screen.clip = saved_clip;
  if (image >= 0 && image < mg::kImageSlotCount && mg_surf_exists(image) != 0) {
    obj.width = SlotWidth(image);
    obj.height = SlotHeight(image);
  }
}

// One pass of the tile map: the cells of the front (bit 15) or the back.
void DrawMapPass(bool front) {
  const MinigameContext &m = Minigame();
  const MgTileMap &t = m.draw.map;
  if (t.cells == nullptr) return;
  const int64_t x0 = FloorMod(int64_t{t.stride} * t.tile_w + t.scroll_x, t.tile_w) - t.tile_w;
  const int64_t col0 = t.scroll_x / t.tile_w + int64_t{t.wrap_cols} - 1;
  int64_t y = FloorMod(int64_t{t.start_row} * t.tile_h + t.scroll_y, t.tile_h) - t.tile_h +
              m.draw.shake_offset;
  int64_t row = kScreenHeight / t.tile_h + int64_t{t.wrap_rows} + t.scroll_y / t.tile_h;
  for (; y < kScreenHeight; y += t.tile_h) {
    const int64_t map_row = FloorMod(row, t.wrap_rows);
    --row;
    int64_t col = col0;
    for (int64_t x = x0; x < kScreenWidth; x += t.tile_w, ++col) {
      const int64_t index = FloorMod(col, t.wrap_cols) + map_row * t.stride;
      if (index < 0 || static_cast<uint64_t>(index) >= t.cell_count) continue;
      const uint16_t cell = t.cells[index];
      if (((cell & 0x8000) != 0) != front || (cell & 0xFF) == 0) continue;
      DrawImage(DigitSlot(t.base, cell & 0xFF), x, y, 0);
    }
  }
}

// Darkens a captured freeze picture to its level (0: black).
void DarkenFreeze(int32_t slot, int32_t level) {
  const Rect saved = Minigame().screen.clip;
  Minigame().screen.clip = Rect{0, 0, kScreenWidth, kScreenHeight};
  if (level <= 0) {
    mg_fill_pixel(slot, 0, 0, kScreenWidth, kScreenHeight, 0);
  } else if (level < 256) {
    mg_bright(slot, 0, 0, kScreenWidth, kScreenHeight, slot, 0, 0, level);
  }
  Minigame().screen.clip = saved;
}

// The target a layer starts with: an object's target surface field switches it
// for itself and the rest of its layer; a field naming no surface draws them
// nowhere.
int32_t ObjectTarget(const MgObject &obj, int32_t current) {
  if (obj.target_surface == 0) return current;
  if (mg_obj_surface_of(obj) == 0 || mg_surf_exists(obj.target_surface) == 0) return -1;
  return obj.target_surface;
}

void DrawLayers(int32_t surface) {
  MinigameContext &m = Minigame();
  MgFreeze &a = m.freeze_a;
  MgFreeze &b = m.freeze_b;
  bool a_capturing = a.state == mg::kFreezeCapture && mg_surf_exists(mg::kSlotFreezeA) != 0;
  bool b_capturing = false;
  int32_t target = surface;
  if (a_capturing) {
    target = mg::kSlotFreezeA;
  } else if (b.state == mg::kFreezeCapture && mg_surf_exists(mg::kSlotFreezeB) != 0) {
    b_capturing = true;
    target = mg::kSlotFreezeB;
  }
  const MgTileMap &map = m.draw.map;
  for (int32_t layer = mg::kLayerCount - 1; layer >= 0; --layer) {
    const bool behind_a = a.state == mg::kFreezeFrozen && layer >= a.layer;
    const bool behind_b = b.state == mg::kFreezeFrozen && layer >= b.layer;
    if (!behind_a && !behind_b) {
      mg_set_target(target);
      if (map.cells != nullptr && layer == map.back_layer) DrawMapPass(false);
      if (map.cells != nullptr && layer == map.front_layer) DrawMapPass(true);
      int32_t layer_target = target;
      for (int32_t o = m.layer_heads[static_cast<size_t>(layer)]; o > 0 && o < mg::kObjectCount;
           o = ObjectAt(o).link) {
        layer_target = ObjectTarget(ObjectAt(o), layer_target);
        mg_set_target(layer_target);
        DrawObject(o);
      }
    }
    if (layer == a.layer) {
      if (a_capturing) {
        a_capturing = false;
        DarkenFreeze(mg::kSlotFreezeA, a.level);
        a.state = mg::kFreezeFrozen;
        // B captures from A's layer on: A's picture goes into B's.
        if (b.state == mg::kFreezeCapture && b.layer <= layer &&
            mg_surf_exists(mg::kSlotFreezeB) != 0) {
          b_capturing = true;
          target = mg::kSlotFreezeB;
        } else {
          target = surface;
        }
      }
      if (a.state == mg::kFreezeFrozen && !behind_b) {
        mg_set_target(target);
        mg_blit(a.offset_x, a.offset_y, mg::kSlotFreezeA);
      }
    }
    if (layer == b.layer) {
      if (b_capturing) {
        b_capturing = false;
        DarkenFreeze(mg::kSlotFreezeB, b.level);
        b.state = mg::kFreezeFrozen;
        target = surface;
      }
      if (b.state == mg::kFreezeFrozen) {
        mg_set_target(target);
        mg_blit(b.offset_x, b.offset_y, mg::kSlotFreezeB);
      }
    }
  }
}

int MakeFreeze(MgFreeze &f, int32_t slot, int32_t level, int32_t layer) {
  if (mg_surf_lost(slot) != 0) mg_surf_free(slot);
  if (mg_surf_exists(slot) == 0 && mg_surf_create(slot, kScreenWidth, kScreenHeight, 0) == 0) {
    return 0;
  }
  f.level = std::clamp<int32_t>(level, 0, 256);
  f.layer = layer;
  f.state = mg::kFreezeCapture;
  return 1;
}

int FreeFreeze(MgFreeze &f, int32_t slot) {
  mg_surf_free(slot);
  f = MgFreeze{};
  return 1;
}

}  // namespace

void mg_draw(int32_t surface) {
  MinigameContext &m = Minigame();
  MgFramework &fw = m.fw;
  if (fw.white_flash > 0) {
    --fw.white_flash;
    mg_fill_pixel(surface, 0, 0, kScreenWidth, kScreenHeight, kWhite);
    return;
  }
  if (fw.cross_fade < 256 && mg_surf_exists(mg::kSlotSnapshotA) != 0 &&
      mg_surf_exists(mg::kSlotSnapshotB) != 0) {
    mg_blend(surface, 0, 0, kScreenWidth, kScreenHeight, mg::kSlotSnapshotA, 0, 0,
             mg::kSlotSnapshotB, 0, 0, std::max(fw.cross_fade, 0));
    return;
  }
  const int32_t saved_target = mg_get_target();
  if (fw.clear_to_black != 0) mg_fill_pixel(surface, 0, 0, kScreenWidth, kScreenHeight, 0);
  DrawLayers(surface);
  mg_set_target(saved_target);
  if (fw.letterbox != 0) {
    mg_fill_pixel(surface, 0, 0, kScreenWidth, 16, 0);
    mg_fill_pixel(surface, 0, kScreenHeight - 16, kScreenWidth, 16, 0);
  }
}

int mg_freeze_a(int32_t level, int32_t layer) {
  return MakeFreeze(Minigame().freeze_a, mg::kSlotFreezeA, level, layer);
}
int mg_freeze_a_off() { return FreeFreeze(Minigame().freeze_a, mg::kSlotFreezeA); }

int mg_freeze_b(int32_t level, int32_t layer) {
  MgFreeze &b = Minigame().freeze_b;
  b.offset_x = 0;
  b.offset_y = 0;
  return MakeFreeze(b, mg::kSlotFreezeB, level, layer);
}
int mg_freeze_b_offset(int32_t x, int32_t y) {
  MgFreeze &b = Minigame().freeze_b;
  b.offset_x = x;
  b.offset_y = y;
  return 1;
}
int mg_freeze_b_off() { return FreeFreeze(Minigame().freeze_b, mg::kSlotFreezeB); }

void mg_freezes_remake() {
  MinigameContext &m = Minigame();
  // New surfaces: nothing of the old picture stays where the new capture draws
  // nothing.
  if (m.freeze_a.state != mg::kFreezeOff) mg_surf_free(mg::kSlotFreezeA);
  if (m.freeze_b.state != mg::kFreezeOff) mg_surf_free(mg::kSlotFreezeB);
  if (m.freeze_a.state != mg::kFreezeOff) mg_freeze_a(m.freeze_a.level, m.freeze_a.layer);
  if (m.freeze_b.state != mg::kFreezeOff) {
    const int32_t x = m.freeze_b.offset_x, y = m.freeze_b.offset_y;
    mg_freeze_b(m.freeze_b.level, m.freeze_b.layer);
    mg_freeze_b_offset(x, y);
  }
}

int mg_snapshot(int n) {
  if (n != 0 && n != 1) return 0;
  MgFramework &fw = Minigame().fw;
  fw.cross_fade = 256;
  const int32_t slot = mg::kSlotSnapshotA + n;
  if (mg_surf_exists(slot) == 0 && mg_surf_create(slot, kScreenWidth, kScreenHeight, 1) == 0) {
    return 0;
  }
  mg_obj_update();
  mg_draw(slot);
  return 1;
}

int mg_snapshots_free() {
  mg_surf_free(mg::kSlotSnapshotA);
  mg_surf_free(mg::kSlotSnapshotB);
  return 1;
}

int mg_crossfade(int32_t level) {
  Minigame().fw.cross_fade = level;
  return 1;
}

// ---- Switches and shake ----

int mg_shake(int32_t n) {
  Minigame().draw.shake = std::max<int32_t>(n, 0);
  return 1;
}

void mg_shake_step() {
  MgDrawState &d = Minigame().draw;
  d.shake = std::max<int32_t>(d.shake - 1, 0);
  d.shake_offset = (d.shake & 1) != 0 ? -d.shake : d.shake;
}

int32_t mg_shake_offset() { return Minigame().draw.shake_offset; }

int mg_clear(int on) {
  Minigame().fw.clear_to_black = on;
  return 1;
}
int mg_letterbox(int on) {
  Minigame().fw.letterbox = on;
  return 1;
}
int mg_flash(int32_t frames) {
  Minigame().fw.white_flash = frames;
  return 1;
}

// ---- Tile map ----

int mg_map_open(std::span<const uint16_t> cells, int32_t base, int32_t tile_w, int32_t tile_h,
                int32_t stride, int32_t start_row, int32_t wrap_cols, int32_t wrap_rows) {
  MgTileMap &t = Minigame().draw.map;
  t = MgTileMap{};
  if (cells.empty() || tile_w <= 0 || tile_h <= 0 || stride <= 0 || wrap_cols <= 0 ||
      wrap_rows <= 0) {
    DebugPrint("mg_map_open: refused (tile %d x %d, stride %d, wrap %d x %d)\n", tile_w, tile_h,
               stride, wrap_cols, wrap_rows);
    return 0;
  }
  t.cells = cells.data();
  t.cell_count = cells.size();
  t.base = base;
  t.tile_w = tile_w;
  t.tile_h = tile_h;
  t.stride = stride;
  t.start_row = start_row;
  t.wrap_cols = wrap_cols;
  t.wrap_rows = wrap_rows;
  return 1;
}

int mg_map_close() {
  Minigame().draw.map = MgTileMap{};
  return 1;
}

int mg_map_scroll(int32_t x, int32_t y) {
  MgTileMap &t = Minigame().draw.map;
  t.scroll_x = x;
  t.scroll_y = y;
  return 1;
}

int mg_map_layers(int32_t back, int32_t front) {
  MgTileMap &t = Minigame().draw.map;
  t.back_layer = back;
  t.front_layer = front;
  return 1;
}

int mg_map_base(int32_t slot) {
  Minigame().draw.map.base = slot;
  return 1;
}

int mg_map_hit(int32_t x, int32_t y, int32_t width, int32_t height) {
  const MgTileMap &t = Minigame().draw.map;
  if (t.cells == nullptr) return 0;
  const int64_t top = int64_t{t.start_row} * t.tile_h - y + t.scroll_y;
  const int64_t rows[2] = {FloorMod((top - height) / t.tile_h, t.wrap_rows),
                           FloorMod(top / t.tile_h, t.wrap_rows)};
  // Columns are not wrapped: a probe left of the map or past its stride meets
  // no cell.
  const int64_t cols[2] = {FloorDiv(int64_t{x} - t.scroll_x, t.tile_w),
                           FloorDiv(int64_t{x} - t.scroll_x + width, t.tile_w)};
  for (const int64_t row : rows) {
    for (const int64_t col : cols) {
      if (col < 0 || col >= t.stride) continue;
      const int64_t index = col + row * t.stride;
      if (static_cast<uint64_t>(index) >= t.cell_count) continue;
      if ((t.cells[index] & 0x4000) != 0) return 1;
    }
  }
  return 0;
}
