#pragma once
// Fixture of the sprite tests: a display set up in the test's layout, a source picture of
// distinct pixels on surface 13 to cut sprites from, and references for what a draw must leave:
// a whole-surface copy in which the expected draw is made pixel by pixel (opaque) or with the
// blend blitters themselves (translucent).

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "display_test_support.h"
#include "engine/gfx/pixels/blend_blit.h"
#include "engine/gfx/sprite/sprite.h"
#include "picture16.h"

namespace sprite_test {

using platform::PixelLayout;
using platform::Surface;

// Pixel (i, j) of a drawn rectangle.
using PixelFn = std::function<uint16_t(int i, int j)>;

class SpriteTest : public display_test::DisplayTest {
 protected:
  static constexpr SurfaceId kSource = SURFACE_SCRATCH2;
  static constexpr SurfaceId kTarget = SURFACE_FG;

  void SetUp() override {
    DisplayTest::SetUp();
    if (HasFatalFailure()) return;
    Surface* s = ddraw().GetSurface(kSource);
    for (int y = 0; y < s->height(); ++y) {
      for (int x = 0; x < s->width(); ++x) s->Row(y)[x] = Src(x, y);
    }
    background = Pack(0x404040);
    Paint(kTarget, {0, 0, 640, 480}, background);
  }

  CDdrawSpr& spr() { return engine.ctx().ddraw_spr; }
  Surface* target() { return ddraw().GetSurface(kTarget); }

  // Distinct pixels that are valid in both layouts and never the colour key (red is never 0).
  static uint16_t Src(int x, int y) {
    return static_cast<uint16_t>(((((x * 7 + y * 13) % 31) + 1) << 10) | (((x * 3 + y) & 31) << 5) |
                                 ((x + y * 5) & 31));
  }

  SprRec* Cut(int x, int y, Rect r) {
    return spr().CreateSprite(x, y, kSource, r.left, r.top, r.right, r.bottom);
  }

  // The picture of a sprite cut at (ox, oy) of size sw x sh, stretched onto dw x dh: column
  // i * sw / dw (reversed when mirrored), rows likewise.
  static PixelFn Stretched(int ox, int oy, int sw, int sh, int64_t dw, int64_t dh,
                           bool mirror_x = false, bool mirror_y = false) {
    return [=](int i, int j) {
      int64_t c = i * int64_t{sw} / dw;
      int64_t r = j * int64_t{sh} / dh;
      if (mirror_x) c = sw - 1 - c;
      if (mirror_y) r = sh - 1 - r;
      return Src(ox + static_cast<int>(c), oy + static_cast<int>(r));
    };
  }

  static testpix::Picture Grab(const Surface* s) {
    testpix::Picture p(s->width(), s->height(), 0);
    for (int y = 0; y < s->height(); ++y) {
      for (int x = 0; x < s->width(); ++x) p.at(x, y) = s->Row(y)[x];
    }
    return p;
  }

  // The rectangle clipped to the picture.
  static Rect Visible(const testpix::Picture& p, Rect d) {
    return {std::max(d.left, 0), std::max(d.top, 0), std::min(d.right, p.width),
            std::min(d.bottom, p.height)};
  }

  // An opaque draw of `f` onto d (key pixels skipped with the colour-key flag).
  void DrawOpaque(testpix::Picture& want, Rect d, const PixelFn& f, int color_key) const {
    const Rect v = Visible(want, d);
    for (int y = v.top; y < v.bottom; ++y) {
      for (int x = v.left; x < v.right; ++x) {
        const uint16_t s = f(x - d.left, y - d.top);
        if (color_key != 0 && s == Key()) continue;
        want.at(x, y) = s;
      }
    }
  }

  // A blend of `f` onto d with the blitter the alpha blit must choose.
  void DrawBlend(testpix::Picture& want, Rect d, const PixelFn& f, int color_key,
                 BlendWord alpha) const {
    const Rect v = Visible(want, d);
    const int vw = v.right - v.left;
    const int vh = v.bottom - v.top;
    if (vw <= 0 || vh <= 0) return;
    testpix::Picture src(vw, vh, 0);
    for (int y = 0; y < vh; ++y) {
      for (int x = 0; x < vw; ++x) src.at(x, y) = f(v.left - d.left + x, v.top - d.top + y);
    }
    const uint32_t level = std::min<uint32_t>(alpha & 0xFFFF, 256);
    const uint32_t mode = alpha & 0xFFFF0000u;
    const bool is565 = GetParam() == PixelLayout::kRgb565;
    auto* blit = is565 ? (color_key != 0 ? BlitBlend16 : BlitBlend16Alt)
                       : (color_key != 0 ? BlitBlend16For555 : BlitBlend16AltFor555);
    blit(want.data(), want.pitch(), v.left, v.top, vw, vh, src.data(), src.pitch(), 0, 0, vw, level,
         mode, Key(), 0);
  }

  // Every pixel of the surface equals the picture; reports the first difference.
  static void ExpectPicture(const Surface* s, const testpix::Picture& want) {
    int wrong = 0;
    for (int y = 0; y < want.height; ++y) {
      for (int x = 0; x < want.width; ++x) {
        if (s->Row(y)[x] == want.at(x, y)) continue;
        if (wrong++ == 0) {
          ADD_FAILURE() << "first difference at (" << x << ", " << y << "): got " << std::hex
                        << s->Row(y)[x] << ", want " << want.at(x, y);
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }

  // Pixels of the surface that differ from `p`.
  static int Changed(const Surface* s, const testpix::Picture& p) {
    int n = 0;
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) n += s->Row(y)[x] != p.at(x, y) ? 1 : 0;
    }
    return n;
  }

  uint16_t background = 0;
};

}  // namespace sprite_test
