// Minigame drawing: the blits with their clipping, the scene's layers and
// display modes, the freezes, snapshots and cross-fade, the switches and shake,
// and the tile map, read back from the drawn slots in both pixel layouts.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/gfx/pixels/blend_blit.h"
#include "mg_fixture.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_surface.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace {

using mg_test::MgFixture;
using platform::PixelLayout;
using testsupport::OdWriter;

constexpr const char *kOd = "tamvik3\\od\\mg_draw.od";
constexpr int kScreen = mg::kSlotScreen;

class MinigameDraw : public ::testing::TestWithParam<PixelLayout> {
 protected:
  MinigameDraw() : f(GetParam()) {}
  void SetUp() override {
    ASSERT_TRUE(f.opened);
    ASSERT_EQ(mg_screen_open(), 1);
    mg_set_clip(0, 0, kScreenWidth, kScreenHeight);
    // The angle tables mg_start fills.
    for (int i = 0; i < 256; ++i) {
      const double a = i * 3.14159265358979323846 / 128;
      Minigame().fw.sin_table[static_cast<size_t>(i)] = static_cast<int32_t>(std::sin(a) * 65536.0);
      Minigame().fw.cos_table[static_cast<size_t>(i)] = static_cast<int32_t>(std::cos(a) * 65536.0);
    }
  }
  void TearDown() override { mg_screen_close(); }

  int Bits() const { return GetParam() == PixelLayout::kRgb565 ? 16 : 15; }
  uint16_t Key() const { return GetParam() == PixelLayout::kRgb565 ? 0x07FF : 0x03FF; }
  uint16_t Pack(uint32_t colorref) const { return platform::PackColorRef(colorref, GetParam()); }
  static uint16_t Px(int slot, int x, int y) {
    return static_cast<uint16_t>(mg_pixel_get(slot, x, y));
  }
  // A w x h slot filled with one pixel value.
  static void Make(int slot, int w, int h, uint16_t fill) {
    ASSERT_EQ(mg_surf_create(slot, w, h, 0), 1);
    mg_set_clip(0, 0, kScreenWidth, kScreenHeight);
    ASSERT_EQ(mg_fill_pixel(slot, 0, 0, w, h, fill), 1);
  }
  static void Put(int slot, int x, int y, uint16_t p) {
    const Rect saved = Minigame().screen.clip;
    mg_set_clip(0, 0, kScreenWidth, kScreenHeight);
    mg_fill_pixel(slot, x, y, 1, 1, p);
    Minigame().screen.clip = saved;
  }
  uint16_t Half(uint16_t target, uint16_t image) const {
    uint16_t out = 0;
    BlitBright16B(&out, 2, 0, 0, 1, 1, &target, 2, 0, 0, &image, 2, 0, 0, 128, Bits());
    return out;
  }
  uint16_t Shadow(uint16_t target) const {
    uint16_t mask = 0;
    BlitShadow16(&target, 2, 0, 0, 1, 1, &mask, 2, 0, 0, Bits());
    return target;
  }
  uint16_t Bright(uint16_t p, int level) const {
    uint16_t out = 0;
    BlitBright16(&out, 2, 0, 0, 1, 1, &p, 2, 0, 0, level, Bits());
    return out;
  }

  void Load(const OdWriter &od) {
    f.Write(kOd, od.Build());
    ASSERT_EQ(mg_obj_create(kOd), 1);
  }
  // The scene drawn into the screen slot over a black screen.
  static void Frame() {
    mg_fill_pixel(kScreen, 0, 0, kScreenWidth, kScreenHeight, 0);
    mg_draw(kScreen);
  }

  MgFixture f;
};

// ---- Blits ----

// Source slot 901 (4 x 3): pixel (x, y) is S(x, y), the key at (1, 1). Target
// 900 (12 x 10) under the clip 2, 2 - 10, 8; every pixel outside the clip and
// the blit's area keeps the guard.
uint16_t S(int x, int y) { return static_cast<uint16_t>((y * 4 + x + 1) * 0x0821); }

TEST_P(MinigameDraw, BlitTableClipsToTheClipTheTargetAndTheSource) {
  const uint16_t guard = 0x1111;
  const uint16_t key = Key();
  auto src = [&](int x, int y) -> std::optional<uint16_t> {
    if (x < 0 || y < 0 || x >= 4 || y >= 3) return std::nullopt;
    return x == 1 && y == 1 ? key : S(x, y);
  };
  auto keyed = [&](std::optional<uint16_t> p) -> std::optional<uint16_t> {
    return p && *p == key ? std::nullopt : p;
  };
  struct Case {
    const char *name;
    std::function<int()> draw;
    std::function<std::optional<uint16_t>(int, int)> expect;  // nullopt: the guard stays
  };
  const std::vector<Case> cases = {
      {"plain off the left", [] { return mg_blit(-1, 5, 901); },
       [&](int x, int y) { return src(x + 1, y - 5); }},
      {"keyed off the top", [] { return mg_blit_key(7, 1, 901); },
       [&](int x, int y) { return keyed(src(x - 7, y - 1)); }},
      {"mirror left-right", [] { return mg_blit_mirror(2, 2, 901, mg::kMirrorX, false); },
       [&](int x, int y) { return x - 2 < 4 ? src(3 - (x - 2), y - 2) : std::nullopt; }},
      {"mirror up-down keyed", [] { return mg_blit_mirror(8, 6, 901, mg::kMirrorY, true); },
       [&](int x, int y) {
         return y - 6 < 3 && y >= 6 ? keyed(src(x - 8, 2 - (y - 6))) : std::nullopt;
       }},
      {"scaled twice", [] { return mg_blit_scaled(1, 1, 8, 6, 901, false); },
       [&](int x, int y) {
         return x >= 1 && y >= 1 && x < 9 && y < 7 ? src((x - 1) * 4 / 8, (y - 1) * 3 / 6)
                                                   : std::nullopt;
       }},
      {"copy past the source", [] { return mg_copy_rect(900, 4, 4, 901, 1, 0, 10, 10, false); },
       [&](int x, int y) { return x >= 4 ? src(x - 4 + 1, y - 4) : std::nullopt; }},
      {"bright", [] { return mg_bright(900, 0, 3, 4, 3, 901, 0, 0, 128); },
       [&](int x, int y) -> std::optional<uint16_t> {
         auto p = src(x, y - 3);
         if (!p) return std::nullopt;
         return Bright(*p, 128);
       }},
      {"blend over the target", [] { return mg_blend(900, 7, 6, 4, 3, 900, 7, 6, 901, 0, 0, 128); },
       [&](int x, int y) -> std::optional<uint16_t> {
         auto p = src(x - 7, y - 6);
         if (!p) return std::nullopt;
         return Half(guard, *p);
       }},
      {"fill", [] { return mg_fill_pixel(900, -5, 6, 100, 100, 0x1234); },
       [&](int, int y) { return y >= 6 ? std::optional<uint16_t>(0x1234) : std::nullopt; }},
      {"fill blit", [] { return mg_fill_blit(8, 1, 901); },
       [&](int x, int y) -> std::optional<uint16_t> {
         auto p = keyed(src(x - 8, y - 1));
         if (!p) return std::nullopt;
         return Shadow(guard);
       }},
      {"width 0 after clipping", [] { return mg_blit(10, 2, 901); },
       [&](int, int) { return std::nullopt; }},
      {"scaled to nothing", [] { return mg_blit_scaled(3, 3, 0, 5, 901, false); },
       [&](int, int) { return std::nullopt; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Make(900, 12, 10, guard);
    Make(901, 4, 3, 0);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) Put(901, x, y, x == 1 && y == 1 ? key : S(x, y));
    mg_set_target(900);
    mg_set_clip(2, 2, 10, 8);
    EXPECT_EQ(c.draw(), 1);
    mg_set_clip(0, 0, kScreenWidth, kScreenHeight);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 12; ++x) {
        const bool inside = x >= 2 && x < 10 && y >= 2 && y < 8;
        const std::optional<uint16_t> e = inside ? c.expect(x, y) : std::nullopt;
        ASSERT_EQ(Px(900, x, y), e.value_or(guard)) << x << "," << y;
      }
    }
  }
  // Empty slots draw nothing and give 0.
  mg_set_target(900);
  EXPECT_EQ(mg_blit(0, 0, 902), 0);
  EXPECT_EQ(mg_fill_blit(0, 0, 902), 0);
  EXPECT_EQ(mg_quad(0, 0, 4, 0, 4, 4, 0, 4, 902), 0);
  EXPECT_EQ(mg_blend(900, 0, 0, 4, 4, 900, 0, 0, 902, 0, 0, 128), 0);
  mg_set_target(902);
  EXPECT_EQ(mg_blit(0, 0, 901), 0);
  EXPECT_EQ(mg_fill_pixel(-1, 0, 0, 4, 4, 0), 0);
}

TEST_P(MinigameDraw, QuadStaysInsideTheClipAndTheTarget) {
  const uint16_t guard = 0x1111;
  Make(901, 4, 3, 0x2222);
  for (const auto &[name, clip] : std::vector<std::pair<const char *, Rect>>{
           {"whole target", Rect{0, 0, 640, 480}}, {"clip", Rect{2, 2, 10, 8}}}) {
    SCOPED_TRACE(name);
    Make(900, 12, 10, guard);
    mg_set_target(900);
    Minigame().screen.clip = clip;
    // A quad far larger than the target, corners off every side.
    EXPECT_EQ(mg_quad(-50, -40, 60, -30, 70, 50, -40, 60, 901), 1);
    mg_set_clip(0, 0, kScreenWidth, kScreenHeight);
    const Rect inside{std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, 12),
                      std::min(clip.bottom, 10)};
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 12; ++x) {
        const bool in =
            x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom;
        ASSERT_EQ(Px(900, x, y), in ? 0x2222 : guard) << x << "," << y;
      }
    }
  }
}

// ---- Scene ----

// Images 1-9: 16 x 16 solids of distinct colours; 10: 8 x 4.
OdWriter SceneImages() {
  OdWriter od;
  for (int i = 1; i <= 9; ++i) od.Solid(i, 16, 16, static_cast<uint8_t>(25 * i), 40, 90);
  od.Solid(10, 8, 4, 10, 200, 10);
  for (int i = 1; i <= 10; ++i) od.Animation(i, {OdWriter::Simple(static_cast<uint16_t>(i), 1)});
  return od;
}

TEST_P(MinigameDraw, LayersOverlayMirrorsPartsClipAndTargetSlots) {
  OdWriter od = SceneImages();
  od.Animation(20, {OdWriter::Composite({{1 | 0x1000, 0, 0}, {2, 20, 4}}, 1)});
  Load(od);
  const uint16_t c1 = Px(1, 0, 0), c2 = Px(2, 0, 0), c3 = Px(3, 0, 0), c4 = Px(4, 0, 0);
  const uint16_t c5 = Px(5, 0, 0), c10 = Px(10, 0, 0);
  const uint16_t mark = Pack(0x0000FF);
  Put(1, 0, 0, mark);  // image 1's top-left pixel marks its orientation
  // Layers 20 (far) and 10 (near) overlapping; two objects on layer 30: the
  // lower index on top.
  mg_obj_put(1, 0, 0, 20, 2, 0);
  mg_obj_put(2, 8, 8, 10, 3, 0);
  mg_obj_put(3, 100, 0, 30, 4, 0);
  mg_obj_put(4, 108, 0, 30, 5, 0);
  // Overlay: object 6 (hidden) drawn over object 5 at its own offset.
  mg_obj_put(5, 200, 0, 40, 2, 0);
  mg_obj_put(6, 4, 2, 40, 10, mg::kObjHidden);
  mg_obj_set_overlay(5, 6);
  // Mirror bits: object flag XOR frame bit (composite part 0 has 0x1000): plain
  // orientation; the second part at its offset.
  mg_obj_put(7, 300, 0, 50, 20, mg::kObjMirrorX);
  mg_obj_put(8, 300, 100, 50, 1, mg::kObjMirrorX);
  // Clip with a parent: object 9 at parent 11's position + (2, 0), clip 0, 0 -
  // 4, 4.
  mg_obj_put(11, 400, 100, 60, 0, mg::kObjHidden);
  mg_obj_put(9, 2, 0, 60, 2, mg::kObjOwnLayer);
  mg_obj_set_parent(9, 11);
  mg_obj_clip(9, 0, 0, 4, 4);
  mg_obj_update();
  ASSERT_EQ(mg_surf_create(600, 32, 32, 0), 1);
  mg_obj_put(12, 1, 1, 70, 2, 0);
  mg_obj_put(13, 500, 300, 70, 2, 0);
  mg_obj_set_target_surface(13, 600);  // 13 and the rest of layer 70 (object 12) go to 600
  mg_obj_put(14, 500, 400, 80, 2, 0);
  mg_obj_set_target_surface(14, 700);  // an empty slot: drawn nowhere
  mg_obj_update();
  Frame();
  EXPECT_EQ(Px(kScreen, 2, 2), c2);
  EXPECT_EQ(Px(kScreen, 10, 10), c3);
  EXPECT_EQ(Px(kScreen, 110, 2), c4);
  EXPECT_EQ(Px(kScreen, 120, 2), c5);
  EXPECT_EQ(Px(kScreen, 204, 2), c10);
  EXPECT_EQ(Px(kScreen, 203, 2), c2);
  EXPECT_EQ(Px(kScreen, 300, 0),
            mark);  // XOR of the two mirror bits: not mirrored
  EXPECT_EQ(Px(kScreen, 315, 0), c1);
  EXPECT_EQ(Px(kScreen, 320, 4), c2);      // second part
  EXPECT_EQ(Px(kScreen, 315, 100), mark);  // object mirror alone
  EXPECT_EQ(Px(kScreen, 402, 100), c2);
  EXPECT_EQ(Px(kScreen, 403, 103), c2);
  EXPECT_EQ(Px(kScreen, 404, 100), 0);  // clipped
  EXPECT_EQ(Px(kScreen, 402, 104), 0);
  EXPECT_EQ(Px(kScreen, 505, 305), 0);  // layer 70 went to slot 600
  EXPECT_EQ(Px(600, 2, 2), c2);
  EXPECT_EQ(Px(kScreen, 505, 405), 0);  // no surface: nowhere
  EXPECT_EQ(mg_obj_get_width(2), 16);   // hit box from the image
}

TEST_P(MinigameDraw, NumberAndTimeDisplays) {
  // Digits 0-9 at slots 20-29, 4 + d mod 3 wide; minus at 32 and separators 33,
  // 34, 3 wide. Each image's last column is the key, so neighbouring digits
  // stay apart.
  OdWriter od;
  for (int d = 0; d <= 14; ++d) {
    const int w = d <= 9 ? 4 + d % 3 : 3;
    od.Solid(20 + d, static_cast<int16_t>(w), 2, static_cast<uint8_t>(10 * d + 20), 100, 50, 2);
  }
  Load(od);
  for (int d = 0; d <= 14; ++d) {
    int32_t w = 0, h = 0;
    mg_surf_size(20 + d, &w, &h);
    for (int y = 0; y < h; ++y) mg_pixel_set(20 + d, w - 1, y, kColorKeyColorRef);
  }
  // The row's drawn images as (x, image number - 20), read back by colour.
  auto row = [&](int y) {
    std::vector<std::pair<int, int>> out;
    for (int x = 0; x < 80; ++x) {
      const uint16_t p = Px(kScreen, x, y);
      if (p == 0 || (x > 0 && Px(kScreen, x - 1, y) == p)) continue;
      for (int d = 0; d <= 14; ++d) {
        if (Px(20 + d, 0, 0) == p) out.push_back({x, d});
      }
    }
    return out;
  };
  using Row = std::vector<std::pair<int, int>>;
  struct Case {
    int32_t value, digits;
    uint32_t flags;
    Row expect;
  };
  const std::vector<Case> numbers = {
      {42, 4, 0, {{8, 4}, {13, 2}}},
      {-42, 4, 0, {{5, 12}, {8, 4}, {13, 2}}},
      {0, 3, 0, {{8, 0}}},
      {42, 4, mg::kObjNumberLeft, {{0, 4}, {5, 2}}},
      {42, 4, mg::kObjNumberZeros, {{0, 0}, {4, 0}, {8, 4}, {13, 2}}},
      {-42, 4, mg::kObjNumberZeros, {{0, 12}, {3, 0}, {7, 4}, {12, 2}}},
      // The minus takes no room: "0" is drawn over it.
      {-42, 4, mg::kObjNumberZeros | mg::kObjNumberLeft, {{0, 0}, {4, 4}, {9, 2}}},
  };
  for (const Case &c : numbers) {
    SCOPED_TRACE(testing::Message() << c.value << "/" << c.digits << " flags " << c.flags);
    mg_obj_clear_all();
    mg_obj_put(1, 0, 10, 5, 20, mg::kObjNumber | c.flags);
    mg_obj_set_value(1, c.value);
    mg_obj_set_digits(1, c.digits);
    mg_obj_update();
    Frame();
    EXPECT_EQ(row(10), c.expect);
  }
  const std::vector<std::pair<int32_t, Row>> times = {
      {3723, {{4, 1}, {8, 13}, {15, 2}, {19, 14}, {22, 0}, {26, 5}}},
      {125, {{15, 2}, {19, 14}, {22, 0}, {26, 8}}},
      {400000, {{0, 9}, {4, 9}, {8, 13}, {11, 5}, {15, 9}, {19, 14}, {22, 9}, {26, 8}}},
      {-5, {{15, 0}, {19, 14}, {22, 0}, {26, 0}}},
  };
  for (const auto &[value, expect] : times) {
    SCOPED_TRACE(value);
    mg_obj_clear_all();
    mg_obj_put(1, 0, 10, 5, 20, mg::kObjTime);
    mg_obj_set_value(1, value);
    mg_obj_update();
    Frame();
    EXPECT_EQ(row(10), expect);
  }
  // Digit slots past 511 draw nothing and take no room; no crash.
  mg_obj_clear_all();
  mg_obj_put(1, 0, 10, 5, 0, mg::kObjNumber);
  Minigame().objects[1].anim = 0;
  mg_obj_update();
  Minigame().objects[1].image = 505;
  mg_obj_set_value(1, 987654);
  mg_obj_set_digits(1, 6);
  Minigame().objects[1].flags = mg::kObjNumber;
  mg_draw(kScreen);
}

TEST_P(MinigameDraw, RotatedQuadsAndDepthScaling) {
  OdWriter od = SceneImages();
  od.Solid(11, 16, 32, 200, 200, 0);
  od.Animation(11, {OdWriter::Simple(11, 1)});
  Load(od);
  const uint16_t c2 = Px(2, 0, 0), c11 = Px(11, 0, 0);
  struct Case {
    const char *name;
    int32_t layer, turn, tilt, spin;
    uint32_t flags;
    std::vector<std::pair<int, int>> in,
        out;  // screen points inside / outside the picture
  };
  // Image 11 (16 x 32) at (100, 100): centre (108, 116).
  const std::vector<Case> cases = {
      {"all angles 0",
       256,
       0,
       0,
       0,
       mg::kObjRotate,
       {{100, 100}, {115, 131}},
       {{99, 100}, {116, 100}}},
      {"spin 64: a quarter turn",
       256,
       0,
       0,
       64,
       mg::kObjRotate,
       {{94, 116}, {121, 116}},
       {{108, 104}, {108, 128}}},
      {"turn 32: width x cos",
       256,
       32,
       0,
       0,
       mg::kObjRotate,
       {{104, 116}, {112, 116}},
       {{101, 116}, {115, 116}}},
      {"turn 32 about the left edge",
       256,
       32,
       0,
       0,
       mg::kObjRotate | mg::kObjEdgePivot,
       {{101, 116}, {109, 116}},
       {{99, 116}, {112, 116}}},
      {"depth 128: twice, centred",
       128,
       0,
       0,
       0,
       mg::kObjDepthScale,
       {{92, 84}, {123, 147}},
       {{91, 84}, {124, 147}}},
      {"depth 512: half",
       512,
       0,
       0,
       0,
       mg::kObjDepthScale,
       {{104, 108}, {111, 123}},
       {{103, 108}, {112, 124}}},
      {"depth at layer 0 as layer 1", 0, 0, 0, 0, mg::kObjDepthScale, {{0, 0}, {639, 479}}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    mg_obj_clear_all();
    mg_obj_put(1, 100, 100, c.layer, 11, c.flags);
    mg_obj_set_turn(1, c.turn);
    mg_obj_set_tilt(1, c.tilt);
    mg_obj_set_spin(1, c.spin);
    mg_obj_update();
    Frame();
    for (auto [x, y] : c.in) EXPECT_EQ(Px(kScreen, x, y), c11) << x << "," << y;
    for (auto [x, y] : c.out) EXPECT_EQ(Px(kScreen, x, y), 0) << x << "," << y;
  }
  // The overlay of a depth-scaled object is scaled likewise.
  mg_obj_clear_all();
  mg_obj_put(1, 100, 100, 128, 11, mg::kObjDepthScale);
  mg_obj_put(2, 0, 0, 128, 2, mg::kObjHidden);
  mg_obj_set_overlay(1, 2);
  mg_obj_update();
  Frame();
  EXPECT_EQ(Px(kScreen, 92, 92), c2);
  EXPECT_EQ(Px(kScreen, 123, 123), c2);
  EXPECT_EQ(Px(kScreen, 123, 124), c11);
}

TEST_P(MinigameDraw, HalfTransparentAndShadowPixels) {
  OdWriter od = SceneImages();
  od.Solid(12, 16, 16, 250, 10, 120, 4);  // image flag 4: drawn half-transparent
  od.Animation(12, {OdWriter::Simple(12, 1)});
  Load(od);
  const uint16_t back = Px(1, 0, 0), c2 = Px(2, 0, 0), c12 = Px(12, 0, 0);
  mg_obj_bg(1);  // a 16 x 16 background at 0, 0
  mg_obj_put(1, 0, 0, 10, 2, mg::kObjHalfAlpha);
  mg_obj_put(2, 20, 0, 10, 12, 0);
  mg_obj_put(3, 40, 0, 10, 0, 0);
  mg_obj_link(3, 4, 2, 3, 10);
  mg_obj_put(4, 60, 0, 20, 2, 0);
  mg_obj_update();
  Frame();
  // Per channel: (target x 8 + image x 8) / 16 on five-bit channels, the shadow
  // halves.
  auto half = [&](uint16_t t, uint16_t s) {
    auto ch = [](uint16_t p, int shift, int bits) { return (p >> shift) & ((1 << bits) - 1); };
    const bool w565 = Bits() == 16;
    const int r = (ch(t, w565 ? 11 : 10, 5) / 2) + (ch(s, w565 ? 11 : 10, 5) / 2);
    const int g =
        w565 ? ((ch(t, 6, 5) / 2 + ch(s, 6, 5) / 2) << 1) : ch(t, 5, 5) / 2 + ch(s, 5, 5) / 2;
    const int b = ch(t, 0, 5) / 2 + ch(s, 0, 5) / 2;
    return static_cast<uint16_t>(w565 ? (r << 11 | g << 5 | b) : (r << 10 | g << 5 | b));
  };
  auto shadow = [&](uint16_t t) {
    const bool w565 = Bits() == 16;
    return static_cast<uint16_t>(w565 ? ((t >> 1) & 0x7BEF) : ((t >> 1) & 0x3DEF));
  };
  EXPECT_EQ(Px(kScreen, 5, 5), half(back, c2));
  EXPECT_EQ(Px(kScreen, 25, 5), half(0, c12));  // image flag 4, over black
  EXPECT_EQ(Px(kScreen, 70, 1), c2);            // object 4 itself
  EXPECT_EQ(Px(kScreen, 63, 4),
            shadow(c2));  // its linked shadow over it at +2, +3
  EXPECT_EQ(Px(kScreen, 61, 4), c2);
  EXPECT_EQ(Px(kScreen, 40, 5), 0);  // nothing at the link's own position
}

TEST_P(MinigameDraw, FreezesHoldTheirPictureUntilReleased) {
  Load(SceneImages());
  const uint16_t c1 = Px(1, 0, 0), c2 = Px(2, 0, 0), c3 = Px(3, 0, 0);
  mg_obj_put(1, 0, 0, 20, 1, 0);     // behind the freeze
  mg_obj_put(2, 100, 0, 300, 2, 0);  // behind the freeze
  mg_obj_put(3, 50, 0, 5, 3, 0);     // in front
  mg_obj_update();
  ASSERT_EQ(mg_freeze_b(128, 16), 1);
  Frame();
  EXPECT_EQ(Minigame().freeze_b.state, mg::kFreezeFrozen);
  EXPECT_EQ(Px(kScreen, 5, 5), Bright(c1, 128));
  EXPECT_EQ(Px(kScreen, 105, 5), Bright(c2, 128));
  EXPECT_EQ(Px(kScreen, 55, 5), c3);
  // The game moves an object behind: neither updated nor drawn.
  mg_obj_set_x(1, 300);
  mg_obj_set_x(3, 400);
  mg_obj_update();
  Frame();
  EXPECT_EQ(Px(kScreen, 5, 5), Bright(c1, 128));
  EXPECT_EQ(Px(kScreen, 305, 5), 0);
  EXPECT_EQ(Px(kScreen, 405, 5), c3);
  EXPECT_EQ(Px(kScreen, 55, 5), 0);
  // Off: live drawing again.
  mg_freeze_b_off();
  mg_obj_update();
  Frame();
  EXPECT_EQ(Px(kScreen, 5, 5), 0);
  EXPECT_EQ(Px(kScreen, 305, 5), c1);
  EXPECT_EQ(mg_surf_exists(mg::kSlotFreezeB), 0);

  // A and B in one frame: A (layer 250, level 0: black) first, B from A's layer
  // on holds A's picture with object 1 (layer 20) over it, darkened once more;
  // B at its offset.
  mg_obj_set_x(1, 0);
  mg_obj_update();
  ASSERT_EQ(mg_freeze_a(0, 250), 1);
  ASSERT_EQ(mg_freeze_b(256, 10), 1);
  mg_freeze_b_offset(0, 1);
  Frame();
  EXPECT_EQ(Minigame().freeze_a.state, mg::kFreezeFrozen);
  EXPECT_EQ(Minigame().freeze_b.state, mg::kFreezeFrozen);
  EXPECT_EQ(Px(kScreen, 5, 6), c1);
  EXPECT_EQ(Px(kScreen, 105, 6), 0);  // object 2 (layer 300) went into A: black
  EXPECT_EQ(Px(kScreen, 405, 5), c3);
  // mg_reset releases both with their surfaces.
  mg_reset();
  EXPECT_EQ(mg_surf_exists(mg::kSlotFreezeA), 0);
  EXPECT_EQ(mg_surf_exists(mg::kSlotFreezeB), 0);
}

TEST_P(MinigameDraw, SnapshotsCrossFadeLikeTheEngineBlend) {
  Load(SceneImages());
  mg_obj_put(1, 0, 0, 20, 1, 0);
  ASSERT_EQ(mg_snapshot(0), 1);
  mg_obj_put(1, 0, 0, 20, 4, 0);
  ASSERT_EQ(mg_snapshot(1), 1);
  const uint16_t a = Px(mg::kSlotSnapshotA, 5, 5), b = Px(mg::kSlotSnapshotB, 5, 5);
  EXPECT_EQ(a, Px(1, 0, 0));
  EXPECT_EQ(b, Px(4, 0, 0));
  mg_crossfade(128);
  Frame();
  uint16_t expect = 0;
  BlitBright16B(&expect, 2, 0, 0, 1, 1, &a, 2, 0, 0, &b, 2, 0, 0, 128, Bits());
  EXPECT_EQ(Px(kScreen, 5, 5), expect);
  EXPECT_EQ(Px(kScreen, 300, 300), 0);
  mg_snapshots_free();
  Frame();
  EXPECT_EQ(Px(kScreen, 5, 5), b);  // no snapshots: the live scene
}

TEST_P(MinigameDraw, SwitchesAndShake) {
  Load(SceneImages());
  const uint16_t c1 = Px(1, 0, 0);
  mg_obj_put(1, 0, 0, 20, 1, 0);
  mg_obj_update();
  mg_flash(3);
  for (int i = 0; i < 3; ++i) {
    Frame();
    EXPECT_EQ(Px(kScreen, 320, 240), 0xFFFF) << i;
  }
  Frame();
  EXPECT_EQ(Px(kScreen, 5, 5), c1);
  mg_flash(1000);
  mg_reset();
  EXPECT_EQ(Minigame().fw.white_flash, 1000);
  mg_flash(5);
  mg_reset();
  EXPECT_EQ(Minigame().fw.white_flash, 0);

  mg_obj_put(1, 0, 10, 20, 1, 0);
  mg_obj_update();
  mg_letterbox(1);
  mg_fill_pixel(kScreen, 0, 0, 640, 480, 0x1234);
  mg_draw(kScreen);
  EXPECT_EQ(Px(kScreen, 5, 5), 0);
  EXPECT_EQ(Px(kScreen, 5, 15), 0);
  EXPECT_EQ(Px(kScreen, 5, 16), c1);
  EXPECT_EQ(Px(kScreen, 300, 463), 0x1234);
  EXPECT_EQ(Px(kScreen, 300, 464), 0);
  EXPECT_EQ(Px(kScreen, 639, 479), 0);
  mg_letterbox(0);
  mg_clear(1);
  mg_fill_pixel(kScreen, 0, 0, 640, 480, 0x1234);
  mg_draw(kScreen);
  EXPECT_EQ(Px(kScreen, 300, 300), 0);
  EXPECT_EQ(Px(kScreen, 5, 12), c1);
  mg_clear(0);

  mg_shake(6);
  std::vector<int32_t> offsets;
  for (int i = 0; i < 7; ++i) {
    mg_shake_step();
    offsets.push_back(mg_shake_offset());
  }
  EXPECT_EQ(offsets, (std::vector<int32_t>{-5, 4, -3, 2, -1, 0, 0}));
  mg_shake(2);
  mg_shake_step();  // offset -1: the object one row up
  mg_obj_put(1, 0, 10, 20, 1, 0);
  mg_obj_update();
  Frame();
  EXPECT_EQ(Px(kScreen, 5, 9), c1);
  EXPECT_EQ(Px(kScreen, 5, 24), c1);
  EXPECT_EQ(Px(kScreen, 5, 25), 0);
}

TEST_P(MinigameDraw, TileMapPassesScrollAndHits) {
  Load(SceneImages());
  const uint16_t c1 = Px(1, 0, 0), c2 = Px(2, 0, 0), c3 = Px(3, 0, 0);
  // 4 x 2 cells of 16 x 16 tiles; a stride of 4, wrapping 4 columns and 2 rows.
  const uint16_t solid = 0x4000, front = 0x8000;
  std::vector<uint16_t> cells = {1,         0, 3 | front, front,  //
                                 2 | solid, 2, 1,         1 | solid};
  EXPECT_EQ(mg_map_hit(0, 0, 4, 4), 0);  // closed
  Frame();
  EXPECT_EQ(Px(kScreen, 5, 5), 0);
  ASSERT_EQ(mg_map_open(cells, 0, 16, 16, 4, 0, 4, 2), 1);
  // Screen row 0-15 shows map row 1, 16-31 map row 0; screen column 32-47 is
  // map column 2.
  mg_obj_put(1, 32, 8, 500, 2,
             0);  // between the back (1023) and front (128) passes
  mg_obj_update();
  Frame();
  std::vector<uint16_t> first;
  for (int y = 0; y < 480; y += 8)
    for (int x = 0; x < 640; x += 8) first.push_back(Px(kScreen, x, y));
  EXPECT_EQ(Px(kScreen, 0, 0), c2);  // back tiles
  EXPECT_EQ(Px(kScreen, 0, 16), c1);
  EXPECT_EQ(Px(kScreen, 40, 8), c2);  // the object over the back tile 1 ...
  EXPECT_EQ(Px(kScreen, 40, 4), c1);
  EXPECT_EQ(Px(kScreen, 40, 20), c3);  // ... and under the front tile 3
  EXPECT_EQ(Px(kScreen, 56, 20), 0);   // tile 0 with bit 15: nothing
  EXPECT_EQ(Px(kScreen, 64, 16), c1);  // the columns wrap
  // Scrolling by wrap_rows x tile_h shows the same picture.
  mg_map_scroll(0, 2 * 16);
  Frame();
  std::vector<uint16_t> again;
  for (int y = 0; y < 480; y += 8)
    for (int x = 0; x < 640; x += 8) again.push_back(Px(kScreen, x, y));
  EXPECT_EQ(first, again);
  // Negative scrolls draw from inside the cells (ASan watches).
  mg_map_scroll(-37, -1000);
  Frame();
  mg_map_scroll(0, 0);
  // Hits: inside a solid cell; columns left of the map or past the stride hit
  // nothing.
  int hits = 0;
  for (int y = -64; y < 64; y += 4) hits += mg_map_hit(0, y, 2, 2);
  EXPECT_GT(hits, 0);
  for (int y = -64; y < 64; y += 4) {
    EXPECT_EQ(mg_map_hit(-40, y, 2, 2), 0) << y;
    EXPECT_EQ(mg_map_hit(4 * 16 + 1, y, 2, 2), 0) << y;
  }
  mg_map_scroll(-1000, -1000);
  for (int x = -64; x < 128; x += 8) mg_map_hit(x, -3, 30, 30);
  mg_map_close();
  EXPECT_EQ(mg_map_hit(0, 0, 64, 64), 0);
}

INSTANTIATE_MG_LAYOUTS(MinigameDraw);

// Through the driver: a freeze made by the game is made again (captured anew)
// at its level and layer when a lost image slot reloads the od file.
TEST(MinigameDrawRunner, AReloadMakesTheActiveFreezeAgain) {
  testsupport::MinigameRunner runner;
  runner.WriteFile(
      "tamvik3\\od\\mg_test.od",
      OdWriter().Solid(3, 16, 16, 255, 0, 0).Animation(3, {OdWriter::Simple(3, 1)}).Build());
  int calls = 0;
  runner.SetProc(0, [&calls](int) {
    if (++calls == 1) mg_obj_put(1, 10, 10, 300, 3, 0);
    if (calls == 3) mg_freeze_a(128, 200);
    return 1;
  });
  ASSERT_TRUE(runner.Start(0, 0));
  ASSERT_TRUE(runner.RunUntil(
      "the freeze", [] { return Minigame().freeze_a.state == mg::kFreezeFrozen; }, 10));
  const uint16_t red = platform::PackColorRef(0x0000FF, mg_layout());
  uint16_t dark = 0;
  BlitBright16(&dark, 2, 0, 0, 1, 1, &red, 2, 0, 0, 128, mg_layout_bits());
  EXPECT_EQ(mg_pixel_get(mg::kSlotScreen, 12, 12), dark);
  // Spoil the captured picture, then lose an image slot.
  mg_fill_pixel(mg::kSlotFreezeA, 0, 0, 640, 480, 0x1234);
  Minigame().slots[3].surface->SetLost(true);
  runner.Run(2);
  EXPECT_EQ(Minigame().freeze_a.state, mg::kFreezeFrozen);
  EXPECT_EQ(Minigame().freeze_a.level, 128);
  EXPECT_EQ(Minigame().freeze_a.layer, 200);
  EXPECT_EQ(mg_pixel_get(mg::kSlotScreen, 12, 12), dark);
  EXPECT_EQ(mg_pixel_get(mg::kSlotScreen, 100, 100), 0u);
}

}  // namespace
