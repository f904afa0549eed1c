#pragma once
// Fixture of the window tests: a display in the test's layout, the fixture glyph font loaded in
// the matching pixel mode, a settled screen with a plain background on the bottom layer and the
// upper layers transparent, and helpers to compose a frame and read it back.

#include <gtest/gtest.h>

#include <string>

#include "tests/engine/anime/anime_test_support.h"
#include "display_test_support.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/text/text_draw.h"
#include "engine/gfx/window/window.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/temp_tree.h"

namespace window_test {

using platform::PixelLayout;
using platform::Surface;

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kGreen = 0x00FF00;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kGrey = 0x606060;
constexpr ColorRef kInk = 0x0F0F0F;  // the near black of message text

// The layer the windows are made on, and the bottom layer that shows the background.
constexpr SurfaceId kLayer = SURFACE_TEXT;
constexpr SurfaceId kBottom = SURFACE_ROOT;

class WindowTest : public display_test::DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (HasFatalFailure()) return;
    testsupport::WriteGlyphFont(fonts, testsupport::MakeGlyphFont());
    engine.host.files.SetWorkingDirectory(fonts.root());
    ASSERT_EQ(text().LoadFont(), 1);
    text().SetPixelMode(GetParam() == PixelLayout::kRgb565 ? CDdrawText::kModeRgb565
                                                           : CDdrawText::kModeRgb555);
    Paint(kBottom, {0, 0, 640, 480}, Pack(kGrey));
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) ASSERT_EQ(ddraw().ClearSurface(id, 1), 1);
    ASSERT_EQ(ddraw().ShowWindow(), 1);
  }

  CDdrawWindow& win() { return engine.ctx().ddraw_window; }
  CDdrawSpr& spr() { return engine.ctx().ddraw_spr; }
  CDdrawText& text() { return engine.ctx().ddraw_text; }

  // The standard window: frame 100,100-300,260, inner 120,110-280,200 (not centred vertically in
  // the frame), text 130,120-270,190.
  static constexpr Rect kFrame{100, 100, 300, 260};
  static constexpr Rect kInner{120, 110, 280, 200};
  static constexpr Rect kText{130, 120, 270, 190};
  WindowRec* Make(ColorRef color, int style, SurfaceId id = kLayer) {
    return win().Create(id, kFrame, kInner, kText, color, style);
  }

  // Composes every layer; returns whether the compose succeeded.
  bool Compose() {
    ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
    return ddraw().ShowWindow() == 1;
  }
  uint16_t Shown(int x, int y) const { return engine.host.display.FramePixel(x, y); }

  // A sprite of one colour, cut from surface 13.
  SprRec* Solid(ColorRef color, int w, int h) {
    Paint(SURFACE_SCRATCH2, {0, 0, w, h}, Pack(color));
    return spr().CreateSprite(0, 0, SURFACE_SCRATCH2, 0, 0, w, h);
  }

  // Big5 bytes of an in-game string.
  static std::string Big5(const char* utf8) { return Big5FromUtf8(utf8).value_or(""); }

  // A glyph pixel as the text renderer must leave it over `under` (level 0 leaves `under`).
  uint16_t Glyph(uint16_t under, ColorRef color, int level) {
    if (level == 0) return under;
    const uint16_t c = text().MakeColor16(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    return text().BlendPixel16(under, c, level);
  }
  // The same for a draw without background: covered pixels blend with light grey.
  uint16_t GlyphOnGrey(ColorRef color, int level) {
    return Glyph(text().MakeColor16(0xF0, 0xF0, 0xF0), color, level);
  }

  testsupport::TempTree fonts;
};

// The same with the animation list driven frame by frame.
class WindowAnimeTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    driver.Start();
  }
  CDdrawAnime& anime() { return engine.ctx().anime; }
  void Frame(uint32_t ms) { driver.Frame(ms); }

  anime_test::AnimeDriver driver{engine};
};

}  // namespace window_test
