#pragma once
// Fixture of the portrait and message-window tests: a fresh scene with the display set up in the
// test's pixel layout, the fixture glyph font, the frame clock and input running (typing and
// cell animations step with Frame), a plain grey root layer, and the game's files written into a
// temporary working directory.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_draw.h"
#include "engine/gfx/window/window.h"
#include "platform/pixel_traits.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace portrait_test {

using platform::PixelLayout;

inline std::string LayoutName(const ::testing::TestParamInfo<PixelLayout>& info) {
  return info.param == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
}

constexpr ColorRef kRootGrey = 0x606060;

class PortraitRig : public ::testing::TestWithParam<PixelLayout> {
 protected:
  void SetUp() override {
    if (GetParam() == PixelLayout::kRgb555) engine().host.config.Set("Pixel Format", "555");
    testsupport::WriteGlyphFont(tree, testsupport::MakeGlyphFont());
    engine().host.files.SetWorkingDirectory(tree.root());
    ASSERT_EQ(ddraw().InitDirectDraw(), 1);
    ASSERT_EQ(ctx().ddraw_text.LoadFont(), 1);
    ctx().ddraw_text.SetPixelMode(GetParam() == PixelLayout::kRgb565 ? CDdrawText::kModeRgb565
                                                                      : CDdrawText::kModeRgb555);
    ctx().frame_rate.active = 1;
    ASSERT_EQ(ctx().input.CreateDirectInput(), 1);
    ASSERT_EQ(ctx().input.Init(), 1);
    Fill(SURFACE_ROOT, {0, 0, 640, 480}, Pack(kRootGrey));
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) ddraw().ClearSurface(id, 1);
    for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) ddraw().SetVisible(id, 1);
  }

  testsupport::TestEngine& engine() { return scene.engine(); }
  EngineContext& ctx() { return engine().ctx(); }
  CDdrawFunc& ddraw() { return ctx().ddraw; }
  CDdrawSpr& spr() { return ctx().ddraw_spr; }
  CDdrawAnime& anime() { return ctx().anime; }
  PortraitState& state() { return scene.scene().portraits; }

  // A game name ("a\\b.spr") written into the working directory.
  void Put(const std::string& game_name, const std::vector<uint8_t>& bytes) {
    std::string rel = game_name;
    for (char& c : rel) c = c == '\\' ? '/' : c;
    tree.Write(rel, bytes);
  }
  void Remove(const std::string& game_name) {
    std::string rel = game_name;
    for (char& c : rel) c = c == '\\' ? '/' : c;
    tree.Remove(rel);
  }

  uint16_t Pack(ColorRef color) const { return platform::PackColorRef(color, GetParam()); }
  uint16_t PackSpr(testsupport::SprRgb c) const { return Pack(testsupport::SprColourRef(c)); }
  uint16_t Portrait(uint8_t value) const { return PackSpr(testsupport::PortraitColour(value)); }
  uint16_t Key() const { return Pack(kColorKeyColorRef); }
  uint16_t Pixel(SurfaceId id, int x, int y) { return ddraw().GetSurface(id)->Row(y)[x]; }
  uint16_t SpritePixel(const SprRec* sprite, int x, int y) {
    return spr().GetSpriteSurface(sprite)->Row(y)[x];
  }
  void Fill(SurfaceId id, Rect r, uint16_t value) {
    platform::Surface* s = ddraw().GetSurface(id);
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) s->Row(y)[x] = value;
    }
  }
  // Composes every layer and gives the presented pixel.
  bool Compose() {
    ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
    return ddraw().ShowWindow() == 1;
  }
  uint16_t Shown(int x, int y) { return engine().host.display.FramePixel(x, y); }

  // Moves the clock by `ms` and runs one frame of the animation list.
  void Frame(uint32_t ms) {
    engine().host.clock.Advance(ms);
    ctx().frame_rate.Update();
    anime().Exec(static_cast<uint32_t>(ctx().frame_rate.GetTime()));
  }

  // The entries of a surface's sprite buffer, back to front.
  std::vector<const SprBufferEntry*> Entries(SurfaceId id) {
    std::vector<const SprBufferEntry*> out;
    const SprBuffer* b = spr().FindBuffer(id, nullptr);
    if (b == nullptr) return out;
    for (int p = SprBuffer::kPriorityCount - 1; p >= 0; --p) {
      const auto i = static_cast<size_t>(p);
      for (const SprLink* n = b->head[i].next; n != &b->tail[i]; n = n->next) {
        out.push_back(static_cast<const SprBufferEntry*>(n));
      }
    }
    return out;
  }
  int Windows() {
    int n = 0;
    for (const WindowRec* w = ctx().ddraw_window.head(); w != nullptr; w = w->next) ++n;
    return n;
  }

  testsupport::TempTree tree;
  testsupport::TestScene scene;
};

}  // namespace portrait_test

#define INSTANTIATE_PORTRAIT_LAYOUTS(Suite)                                              \
  INSTANTIATE_TEST_SUITE_P(Layouts, Suite,                                               \
                           ::testing::Values(platform::PixelLayout::kRgb565,             \
                                             platform::PixelLayout::kRgb555),            \
                           portrait_test::LayoutName)
