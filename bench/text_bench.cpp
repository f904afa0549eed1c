// Glyph text: the cost of a screen's worth of message text, 100 double-byte strings of 20
// characters drawn over a background surface (every cell pixel rewritten), and the same without
// a background.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/gfx/text/text_draw.h"
#include "platform/surface.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"

namespace {

constexpr int kStrings = 100;
constexpr int kChars = 20;

void DrawStrings(benchmark::State& state, bool with_background) {
  testsupport::TempTree dir;
  testsupport::WriteGlyphFont(dir, testsupport::MakeGlyphFont());
  testsupport::TestEngine engine;
  engine.host.files.SetWorkingDirectory(dir.root());
  CDdrawText& text = engine.ctx().ddraw_text;
  text.LoadFont();
  text.SetPixelMode(CDdrawText::kModeRgb565);

  auto dst = platform::Surface::Create(640, 480, platform::PixelLayout::kRgb565);
  auto bg = platform::Surface::Create(640, 480, platform::PixelLayout::kRgb565);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) bg->Row(y)[x] = static_cast<uint16_t>(x * 37 + y * 11);
  }
  std::string line;
  for (int i = 0; i < kChars; ++i) {
    uint16_t code = testsupport::kFixtureGlyphs[i % testsupport::kFixtureGlyphCount].code;
    line += static_cast<char>(code >> 8);
    line += static_cast<char>(code & 0xFF);
  }
  for (auto _ : state) {
    for (int i = 0; i < kStrings; ++i) {
      text.DrawTextToSurface(line.data(), static_cast<int>(line.size()), (i % 4) * 8,
                             (i % 19) * 24, 0, 0, dst.get(), with_background ? bg.get() : nullptr,
                             0x0F0F0F);
    }
    benchmark::DoNotOptimize(dst->Row(0)[0]);
  }
  state.SetItemsProcessed(state.iterations() * kStrings * kChars);
}

void BM_TextWithBackground(benchmark::State& state) { DrawStrings(state, true); }
BENCHMARK(BM_TextWithBackground)->Unit(benchmark::kMicrosecond);

void BM_TextWithoutBackground(benchmark::State& state) { DrawStrings(state, false); }
BENCHMARK(BM_TextWithoutBackground)->Unit(benchmark::kMicrosecond);

}  // namespace
