#pragma once
// A fresh engine with the display set up, run once per pixel layout (the test parameter).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/test_engine.h"

namespace display_test {

using platform::PixelLayout;

inline std::string LayoutName(const ::testing::TestParamInfo<PixelLayout>& info) {
  return info.param == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
}

// Writes pixels straight into a surface (no update bits, no clipping).
inline void PaintRect(platform::Surface* s, Rect r, uint16_t value) {
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) s->Row(y)[x] = value;
  }
}

// The blend (or tint) of one pixel by its definition, in a layout: per channel
// floor(s a / 256) + floor(d (256 - a) / 256).
inline uint16_t BlendPixel(uint16_t s, uint16_t d, unsigned a, PixelLayout layout) {
  const bool rgb565 = layout == PixelLayout::kRgb565;
  const int shifts[3] = {rgb565 ? 11 : 10, 5, 0};
  const int bits[3] = {5, rgb565 ? 6 : 5, 5};
  unsigned out = 0;
  for (int i = 0; i < 3; ++i) {
    const unsigned m = (1u << bits[i]) - 1;
    const unsigned cs = (s >> shifts[i]) & m, cd = (d >> shifts[i]) & m;
    out |= (cs * a / 256 + cd * (256 - a) / 256) << shifts[i];
  }
  return static_cast<uint16_t>(out);
}

// Selects the layout in the settings before the display is set up.
inline void SelectLayout(testsupport::TestEngine& engine, PixelLayout layout) {
  if (layout == PixelLayout::kRgb555) engine.host.config.Set("Pixel Format", "555");
}

class DisplayTest : public ::testing::TestWithParam<PixelLayout> {
 protected:
  void SetUp() override {
    SelectLayout(engine, GetParam());
    ASSERT_EQ(ddraw().InitDirectDraw(), 1);
  }

  CDdrawFunc& ddraw() { return engine.ctx().ddraw; }
  platform::headless::HeadlessDisplay& display() { return engine.host.display; }
  uint16_t Pack(ColorRef color) const { return platform::PackColorRef(color, GetParam()); }
  uint16_t Key() const { return Pack(kColorKeyColorRef); }

  static uint16_t Pixel(const platform::Surface* s, int x, int y) { return s->Row(y)[x]; }
  uint16_t Pixel(SurfaceId id, int x, int y) { return Pixel(ddraw().GetSurface(id), x, y); }
  static void Paint(platform::Surface* s, Rect r, uint16_t value) { PaintRect(s, r, value); }
  void Paint(SurfaceId id, Rect r, uint16_t value) { Paint(ddraw().GetSurface(id), r, value); }
  // Every pixel of a surface, row by row (without the pitch padding).
  static std::vector<uint16_t> Snapshot(const platform::Surface* s) {
    std::vector<uint16_t> out;
    for (int y = 0; y < s->height(); ++y) out.insert(out.end(), s->Row(y), s->Row(y) + s->width());
    return out;
  }

  // The blend (or tint) of one pixel by its definition, in the test's layout.
  uint16_t Blend(uint16_t s, uint16_t d, unsigned a) const { return BlendPixel(s, d, a, GetParam()); }

  testsupport::TestEngine engine;
};

}  // namespace display_test

#define INSTANTIATE_FOR_BOTH_LAYOUTS(Suite)                                                 \
  INSTANTIATE_TEST_SUITE_P(Layouts, Suite,                                                  \
                           ::testing::Values(platform::PixelLayout::kRgb565,                \
                                             platform::PixelLayout::kRgb555),               \
                           display_test::LayoutName)
