#pragma once
// Shared by the text tests: a 16-bit picture in an exactly sized buffer (so that the address
// sanitizer sees any access outside it), an engine with the fixture font loaded, and a reference
// painter that says what one glyph cell must look like.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/gfx/text/text_draw.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"

namespace texttest {

// A width x height picture whose rows are `pad` pixels longer than its width.
struct Picture {
  Picture(int w, int h, uint16_t fill, int pad = 0)
      : width(w), height(h), stride(w + pad), px(static_cast<size_t>(stride) * h, fill) {}

  // The picture's desc (a reference, so that a draw can take its address).
  SurfaceDesc& desc() {
    desc_ = {reinterpret_cast<uint8_t*>(px.data()), stride * 2, width, height};
    return desc_;
  }
  uint16_t& at(int x, int y) { return px[static_cast<size_t>(y) * stride + x]; }
  uint16_t at(int x, int y) const { return px[static_cast<size_t>(y) * stride + x]; }

  int width;
  int height;
  int stride;
  std::vector<uint16_t> px;

 private:
  SurfaceDesc desc_;
};

// A fresh engine whose working directory holds the given font files, loaded.
class FontEngine {
 public:
  explicit FontEngine(const testsupport::GlyphFontFiles& font = testsupport::MakeGlyphFont(),
                      uint32_t mode = CDdrawText::kModeRgb565) {
    testsupport::WriteGlyphFont(dir, font);
    engine.host.files.SetWorkingDirectory(dir.root());
    text().LoadFont();
    text().SetPixelMode(mode);
  }
  CDdrawText& text() { return engine.ctx().ddraw_text; }

  testsupport::TempTree dir;
  testsupport::TestEngine engine;
};

// What a glyph draw must leave: for each cell pixel inside the destination (and, with a
// background, inside the background), `level(column, row)` says the coverage.
template <typename LevelFn>
void PaintExpected(const CDdrawText& text, Picture& expected, int cell_width, int x, int y,
                   const Picture* background, int bx, int by, uint32_t colour, LevelFn level) {
  uint16_t c = text.MakeColor16(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  uint16_t grey = text.MakeColor16(0xF0, 0xF0, 0xF0);
  for (int r = 0; r < 24; ++r) {
    for (int col = 0; col < cell_width; ++col) {
      int dx = x + col;
      int dy = y + r;
      if (dx < 0 || dy < 0 || dx >= expected.width || dy >= expected.height) continue;
      int l = level(col, r);
      if (background != nullptr) {
        int sx = bx + col;
        int sy = by + r;
        if (sx < 0 || sy < 0 || sx >= background->width || sy >= background->height) continue;
        uint16_t b = background->at(sx, sy);
        expected.at(dx, dy) = l == 0 ? b : text.BlendPixel16(b, c, l);
      } else if (l != 0) {
        expected.at(dx, dy) = text.BlendPixel16(grey, c, l);
      }
    }
  }
}

inline auto Level24(int glyph) {
  return [glyph](int c, int r) { return testsupport::FixtureLevel24(glyph, c, r); };
}
inline auto Level12(int ch) {
  return [ch](int c, int r) { return testsupport::FixtureLevel12(ch, c, r); };
}

// First differing pixel, for readable failures.
inline ::testing::AssertionResult SamePicture(const Picture& got, const Picture& want) {
  for (int y = 0; y < want.height; ++y) {
    for (int x = 0; x < want.stride; ++x) {
      if (got.px[static_cast<size_t>(y) * got.stride + x] !=
          want.px[static_cast<size_t>(y) * want.stride + x]) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "pixel (%d, %d): got %04x, want %04x", x, y,
                      got.px[static_cast<size_t>(y) * got.stride + x],
                      want.px[static_cast<size_t>(y) * want.stride + x]);
        return ::testing::AssertionFailure() << buf;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// The bytes of a string, as a heap block of exactly that size.
inline std::vector<char> Bytes(const std::string& s) {
  return std::vector<char>(s.begin(), s.end());
}

}  // namespace texttest
