// The software rotate / zoom draw of sprites and the solid polygons of the sprite buffer: corner
// arithmetic here, pixels through the quad rasterizer.
//
// Neither draw clips its corners: the rasterizer clips to the 640 x 480 screen area, and to the
// destination's own size when that is smaller, so no corner can write outside the surface.

#include "engine/gfx/display/ddraw_transform.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/quad_raster.h"

using platform::Surface;

namespace {

// Truncates toward zero into the 64-bit range (corner arithmetic never comes near its ends).
int64_t Trunc(double v) {
  constexpr double kLimit = 9.0e18;
  return static_cast<int64_t>(std::clamp(std::trunc(v), -kLimit, kLimit));
}

int32_t ToCoordinate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// value x (depth + distance) / distance in integers, truncating; distance is not 0.
int64_t Perspective(int64_t value, int64_t depth, int64_t distance) {
  const __int128 q = static_cast<__int128>(value) * (static_cast<__int128>(depth) + distance) / distance;
  constexpr int64_t kLimit = int64_t{1} << 62;
  return static_cast<int64_t>(std::clamp<__int128>(q, -kLimit, kLimit));
}

double Radians(int32_t angle) { return static_cast<double>(angle) / 256.0; }

// A turn by an angle (radians x 256) of a pair of coordinates in their plane:
// (a, b) -> (a cos - b sin, a sin + b cos), each truncated.
struct Turn {
  explicit Turn(int32_t angle) : c(std::cos(Radians(angle))), s(std::sin(Radians(angle))) {}
  void operator()(int64_t& a, int64_t& b) const {
    const auto u = static_cast<double>(a), v = static_cast<double>(b);
    a = Trunc(u * c - v * s);
    b = Trunc(u * s + v * c);
  }
  double c, s;
};

// The rasterizer's clip area on a surface: the screen, or less when the surface is smaller.
int32_t ClipWidth(const SurfaceDesc& d) { return std::min(d.width, kScreenWidth); }
int32_t ClipHeight(const SurfaceDesc& d) { return std::min(d.height, kScreenHeight); }

}  // namespace

QuadCorners TransformCorners(const Rect& destination, int32_t rotation, const int32_t* corners,
                             int32_t left, int32_t right, int32_t top, int32_t bottom,
                             uint32_t flags, const BltFx* fx) {
  const int64_t cx = int64_t{destination.left} - left;
  const int64_t cy = int64_t{destination.top} - top;
  const Turn turn(rotation);
  // Offsets of P0-P3 from the centre.
  std::array<std::pair<int64_t, int64_t>, 4> offsets{{{left, top}, {right, top}, {right, bottom},
                                                      {left, bottom}}};
  int64_t divisor = 1;
  if (corners != nullptr) {
    const int64_t k0 = corners[0], k1 = corners[1], k2 = corners[2], k3 = corners[3];
    offsets = {{{left * k0, top * k3}, {right * k0, top * k1}, {right * k2, bottom * k1},
                {left * k2, bottom * k3}}};
    divisor = 65536;
  }
  QuadCorners p{};
  for (size_t i = 0; i < 4; ++i) {
    auto [x, y] = offsets[i];
    turn(x, y);
    p[i] = {ToCoordinate(cx + x / divisor), ToCoordinate(cy + y / divisor)};
  }
  if (MirrorBit(flags, fx, kBltFxMirrorLeftRight)) {
    std::swap(p[0], p[1]);
    std::swap(p[3], p[2]);
  }
  if (MirrorBit(flags, fx, kBltFxMirrorUpDown)) {
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
  }
  return p;
}

QuadCorners PolygonCorners(const PolygonBlock& polygon) {
  struct Point3 {
    int64_t x, y, z;
  };
  std::array<Point3, 4> v{};
  for (size_t i = 0; i < 4; ++i) {
    v[i].x = int64_t{polygon.corner[i].x} * polygon.zoom_x / 65536;
    v[i].y = int64_t{polygon.corner[i].y} * polygon.zoom_y / 65536;
    v[i].z = 0;
  }
  if (polygon.angle3 != 0) {
    const Turn turn(polygon.angle3);
    for (Point3& p : v) turn(p.x, p.y);
  }
  const int64_t ey = int64_t{polygon.distance} * polygon.zoom_y / 65536;
  if (polygon.angle2 != 0) {
    const Turn turn(polygon.angle2);
    for (Point3& p : v) {
      turn(p.x, p.z);
      // A viewer distance of 0 has no perspective: the polygon is drawn flat.
      if (ey != 0) p.y = Perspective(p.y, p.z, ey);
    }
  }
  const int64_t ex = int64_t{polygon.distance} * polygon.zoom_x / 65536;
  if (polygon.angle1 != 0) {
    const Turn turn(polygon.angle1);
    for (Point3& p : v) {
      turn(p.y, p.z);
      if (ex != 0) p.x = Perspective(p.x, p.z, ex);
    }
  }
  QuadCorners out{};
  for (size_t i = 0; i < 4; ++i) {
    out[i] = {ToCoordinate(int64_t{polygon.x} + v[i].x), ToCoordinate(int64_t{polygon.y} + v[i].y)};
  }
  return out;
}

int CDdrawFunc::PutTransform(Surface* source, const Rect* source_rect, Surface* destination,
                             const Rect* destination_rect, int color_key, uint32_t flags,
                             const BltFx* fx, int32_t rotation, const int32_t* corners,
                             int32_t left, int32_t right, int32_t top, int32_t bottom) {
  if (source == nullptr || destination == nullptr || source_rect == nullptr ||
      destination_rect == nullptr) {
    DebugPrint("CDdrawFunc::PutTransform: missing surface or rectangle\n");
    return 0;
  }
  const QuadCorners p = TransformCorners(*destination_rect, rotation, corners, left, right, top,
                                         bottom, flags, fx);
  SurfaceDesc src;
  if (!source->LockForReading(src)) {
    DebugPrint("CDdrawFunc::PutTransform: source lock failed\n");
    return 0;
  }
  SurfaceDesc dst;
  if (!LockSurface(destination, &dst)) {
    source->Unlock();
    DebugPrint("CDdrawFunc::PutTransform: destination lock failed\n");
    return 0;
  }
  // The source quad is the source rectangle's corners, inclusive. Texels are clamped to the
  // source picture by the rasterizer, so a rectangle reaching past it reads its edge pixels.
  const Rect& r = *source_rect;
  const int32_t r1 = r.right - 1, b1 = r.bottom - 1;
  const Quad quad{{{p[0].x, p[0].y, r.left, r.top},
                   {p[1].x, p[1].y, r1, r.top},
                   {p[2].x, p[2].y, r1, b1},
                   {p[3].x, p[3].y, r.left, b1}}};
  const ScreenCover* cover = CoverFor(destination);
  if (cover != nullptr) {
    // The quad's bounding box on the screen; a layer above overwriting all of it hides the draw.
    int64_t left = p[0].x, right = p[0].x, top = p[0].y, bottom = p[0].y;
    for (const auto& v : p) {
      left = std::min<int64_t>(left, v.x);
      right = std::max<int64_t>(right, v.x);
      top = std::min<int64_t>(top, v.y);
      bottom = std::max<int64_t>(bottom, v.y);
    }
    const Rect box{static_cast<int32_t>(std::clamp<int64_t>(left, 0, kScreenWidth)),
                   static_cast<int32_t>(std::clamp<int64_t>(top, 0, kScreenHeight)),
                   static_cast<int32_t>(std::clamp<int64_t>(right + 1, 0, kScreenWidth)),
                   static_cast<int32_t>(std::clamp<int64_t>(bottom + 1, 0, kScreenHeight))};
    if (cover->Hidden(box)) {
      destination->Unlock();
      source->Unlock();
      return 1;
    }
  }
  if (color_key != 0) {
    BlitTransform16(dst.bits, dst.pitch, ClipWidth(dst), ClipHeight(dst), quad, src.bits, src.pitch,
                    src.width, src.height, static_cast<uint16_t>(color_key_),
                    cover != nullptr ? cover->Rows() : nullptr);
  } else {
    BlitTransform16B(dst.bits, dst.pitch, ClipWidth(dst), ClipHeight(dst), quad, src.bits,
                     src.pitch, src.width, src.height, cover != nullptr ? cover->Rows() : nullptr);
  }
  destination->Unlock();
  source->Unlock();
  return 1;
}

int CDdrawFunc::DrawPolygon(Surface* destination, const PolygonBlock* polygon) {
  if (destination == nullptr || polygon == nullptr) {
    DebugPrint("CDdrawFunc::DrawPolygon: missing surface or polygon\n");
    return 0;
  }
  SurfaceDesc dst;
  if (!LockSurface(destination, &dst)) {
    DebugPrint("CDdrawFunc::DrawPolygon: lock failed\n");
    return 0;
  }
  const QuadCorners p = PolygonCorners(*polygon);
  BlitPolygon16(dst.bits, dst.pitch, ClipWidth(dst), ClipHeight(dst), p[0].x, p[0].y, p[1].x,
                p[1].y, p[2].x, p[2].y, p[3].x, p[3].y, static_cast<uint16_t>(polygon->color));
  destination->Unlock();
  return 1;
}
