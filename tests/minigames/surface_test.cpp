// The minigame screen, its slots, pixel access and the picture loaders, in both pixel layouts.

#include <gtest/gtest.h>

#include <vector>

#include "minigames/framework/minigame_surface.h"
#include "mg_fixture.h"
#include "testsupport/bmp_writer.h"
#include "testsupport/lzss_writer.h"
#include "testsupport/od_writer.h"

namespace {

using mg_test::MgFixture;
using platform::PackColorRef;
using platform::PixelLayout;
using testsupport::SprImage;
using testsupport::SprRgb;

class MinigameSurface : public ::testing::TestWithParam<PixelLayout> {
 protected:
  MinigameSurface() : f(GetParam()) {}
  void SetUp() override { ASSERT_TRUE(f.opened); }
  uint16_t Pack(uint32_t colorref) const { return PackColorRef(colorref, GetParam()); }
  uint16_t Key() const { return GetParam() == PixelLayout::kRgb565 ? 0x07FF : 0x03FF; }

  MgFixture f;
};

TEST_P(MinigameSurface, ScreenRoundTripOverTheVramSwitch) {
  for (int vram : {0, 1}) {
    SCOPED_TRACE(vram);
    CDdrawFunc& dd = f.ddraw();
    dd.SetVramToVramDirectUse(vram);
    dd.SetClearFlag(1);
    dd.SetFlipOneCussion();
    for (SurfaceId id = 4; id <= 8; ++id) dd.SetVisible(id, 1);
    dd.SetVisible(6, 0);
    ASSERT_EQ(mg_screen_open(), 1);
    EXPECT_EQ(dd.GetClearFlag(), 0);
    EXPECT_EQ(dd.GetFlipMode(), 1);
    EXPECT_EQ(dd.IsVisible(4) != 0, vram == 0);
    for (SurfaceId id = 5; id <= 8; ++id) EXPECT_EQ(dd.IsVisible(id), 0u) << id;
    EXPECT_EQ(mg_slot(mg::kSlotScreen)->surface, dd.GetSurface(vram != 0 ? 2 : 4));
    ASSERT_EQ(mg_surf_create(5, 8, 8, 0), 1);
    ASSERT_EQ(mg_surf_create(6, 8, 8, 1), 1);
    EXPECT_EQ(mg_slot(5)->surface->video_memory(), vram == 0) << "the screen's memory choice";
    EXPECT_TRUE(mg_slot(6)->surface->video_memory()) << "option bit 0: video memory";
    EXPECT_EQ(mg_slot(5)->surface->color_key(), Key());
    mg_surf_free(mg::kSlotScreen);
    EXPECT_EQ(mg_surf_exists(mg::kSlotScreen), 1) << "the screen survives mg_surf_free";
    mg_screen_close();
    EXPECT_EQ(dd.GetClearFlag(), 1);
    EXPECT_EQ(dd.GetFlipMode(), 0);
    for (SurfaceId id = 4; id <= 8; ++id) EXPECT_EQ(dd.IsVisible(id) != 0, id != 6) << id;
    EXPECT_EQ(mg_surf_exists(5), 0);
    EXPECT_EQ(dd.GetUserSurface(0), nullptr) << "the slots' user surfaces are gone";
  }
}

// The slots together hold at most kMgSlotPixelBudget pixels (the screen apart); a freed slot's
// pixels count no more.
TEST_P(MinigameSurface, SlotsStayWithinThePixelBudget) {
  ASSERT_EQ(mg_screen_open(), 1);
  const int32_t half = static_cast<int32_t>(kMgSlotPixelBudget / 2 / 4096);
  ASSERT_EQ(mg_surf_create(5, 4096, half, 0), 1);
  EXPECT_EQ(mg_surf_create(6, 4096, half + 1, 0), 0) << "one row past the budget";
  EXPECT_EQ(mg_surf_exists(6), 0);
  EXPECT_EQ(mg_surf_create(6, 4096, half, 0), 1) << "the budget exactly";
  EXPECT_EQ(mg_surf_create(7, 1, 1, 0), 0);
  EXPECT_EQ(mg_surf_create(5, 4096, half, 0), 1) << "a slot made again gives its old pixels back";
  mg_surf_free(6);
  EXPECT_EQ(mg_surf_create(7, 4096, half, 0), 1);
  mg_screen_close();
}

TEST_P(MinigameSurface, PixelsByColourAndTheClip) {
  ASSERT_EQ(mg_screen_open(), 1);
  ASSERT_EQ(mg_surf_create(7, 10, 10, 0), 1);
  EXPECT_EQ(mg_pixel_set(7, 3, 4, 0xFF00FF), 1);  // (255, 0, 255)
  EXPECT_EQ(mg_pixel_get(7, 3, 4), GetParam() == PixelLayout::kRgb565 ? 0xF81Fu : 0x7C1Fu);
  EXPECT_EQ(mg_pixel_set(7, 10, 0, 0xFFFFFF), 0) << "outside the surface";
  mg_slot(7)->clip = Rect{2, 2, 5, 5};
  EXPECT_EQ(mg_pixel_get(7, 1, 4), Key());
  EXPECT_EQ(mg_pixel_get(7, 5, 4), Key());
  EXPECT_EQ(mg_pixel_get(7, 3, 4), Pack(0xFF00FF));
  // Slot numbers outside 0-1023 and empty slots do nothing.
  for (int slot : {-1, 1024, 5000, 8}) {
    EXPECT_EQ(mg_pixel_set(slot, 0, 0, 0), 0) << slot;
    EXPECT_EQ(mg_pixel_get(slot, 0, 0), 0u) << slot;
    EXPECT_EQ(mg_surf_create(slot == 8 ? -1 : slot, 4, 4, 0), 0) << slot;
    EXPECT_EQ(mg_surf_exists(slot), 0) << slot;
  }
  mg_screen_close();
}

TEST_P(MinigameSurface, PalettedFramesAtTwiceTheirSizeWithColoursFromByte16) {
  ASSERT_EQ(mg_screen_open(), 1);
  std::vector<SprRgb> colours(40);
  for (size_t i = 0; i < colours.size(); ++i) {
    colours[i] = {static_cast<uint8_t>(i % 32), static_cast<uint8_t>(31 - i % 32), 7};
  }
  // 40 x 30 at 4 bits: column x has index x % 16; 5 x 2 at 8 bits with base 20.
  std::vector<uint8_t> v4(40 * 30);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) v4[static_cast<size_t>(y * 40 + x)] = static_cast<uint8_t>(x % 16);
  }
  const std::vector<uint8_t> v8 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  f.Write("pic\\frames.spr",
          testsupport::MgPalettedSpr(
              colours, {SprImage(40, 30, 0, 0, testsupport::Encode4Bit(40, 30, v4)),
                        SprImage(5, 2, testsupport::kSprDepth8, 20, testsupport::Encode8Bit(v8))}));
  int32_t count = -1;
  ASSERT_EQ(mg_load_spr(3, "pic\\frames.spr", 0, 0, &count), 1);
  EXPECT_EQ(count, 2);
  int32_t w = 0, h = 0;
  ASSERT_EQ(mg_surf_size(3, &w, &h), 1);
  EXPECT_EQ(w, 80);
  EXPECT_EQ(h, 60);
  for (int x : {0, 1, 5, 17, 39}) {
    const uint16_t want = x % 16 == 0 ? Key() : Pack(testsupport::SprColourRef(colours[x % 16]));
    for (int dy : {0, 1}) {
      for (int dx : {0, 1}) {
        EXPECT_EQ(mg_pixel_get(3, 2 * x + dx, 2 * 29 + dy), want) << x;
      }
    }
  }
  ASSERT_EQ(mg_load_spr(4, "pic\\frames.spr", 1, 0), 1);
  ASSERT_EQ(mg_surf_size(4, &w, &h), 1);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(mg_pixel_get(4, 0, 0), Key());
  EXPECT_EQ(mg_pixel_get(4, 9, 3), Pack(testsupport::SprColourRef(colours[29])));
  // A frame number at the count gives 0 and an empty slot.
  EXPECT_EQ(mg_load_spr(4, "pic\\frames.spr", 2, 0), 0);
  EXPECT_EQ(mg_surf_exists(4), 0);
  mg_screen_close();
}

TEST_P(MinigameSurface, DirectFramesKeepTheirSizeAndWidenGreen) {
  ASSERT_EQ(mg_screen_open(), 1);
  // RGB555 with bit 15 set on one pixel; green 31 and 16 widen to 63 and 33 in RGB565.
  const std::vector<uint16_t> px = {0x7FFF, 0x03E0, 0x8000 | 0x0200, 0x7C00, 0x001F, 0x0000};
  f.Write("pic\\direct.spr", testsupport::MgDirectSpr({testsupport::MgDirectFrame(3, 2, px)}));
  ASSERT_EQ(mg_load_spr(9, "pic\\direct.spr", 0, 0), 1);
  int32_t w = 0, h = 0;
  ASSERT_EQ(mg_surf_size(9, &w, &h), 1);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  if (GetParam() == PixelLayout::kRgb565) {
    EXPECT_EQ(mg_pixel_get(9, 0, 0), 0xFFFFu);
    EXPECT_EQ(mg_pixel_get(9, 1, 0), 63u << 5);
    EXPECT_EQ(mg_pixel_get(9, 2, 0), 33u << 5);
    EXPECT_EQ(mg_pixel_get(9, 0, 1), 0xF800u);
  } else {
    EXPECT_EQ(mg_pixel_get(9, 0, 0), 0x7FFFu);
    EXPECT_EQ(mg_pixel_get(9, 2, 0), 0x0200u) << "bit 15 cleared";
  }
  EXPECT_EQ(mg_pixel_get(9, 1, 1), 0x001Fu);
  mg_screen_close();
}

TEST_P(MinigameSurface, CorruptSpriteFramesFailWithTheSlotEmpty) {
  ASSERT_EQ(mg_screen_open(), 1);
  const std::vector<SprRgb> colours(4, SprRgb{1, 2, 3});
  const auto good = SprImage(4, 2, 0, 0, testsupport::Encode4Bit(4, 2, std::vector<uint8_t>(8, 1)));
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"header only", std::vector<uint8_t>(40, 0)});
  {
    auto file = testsupport::MgPalettedSpr(colours, {good});
    file.resize(file.size() - 2);
    cases.push_back({"cut short", file});
  }
  cases.push_back({"data offset past the part",
                   testsupport::MgPalettedSpr(
                       colours, {SprImage(4, 2, 0, 0, good.data, 0x7FFFFFF0u)})});
  cases.push_back({"data size short",
                   testsupport::MgPalettedSpr(colours, {SprImage(4, 2, 0, 0, {0x11, 0x11})})});
  cases.push_back({"zero width", testsupport::MgPalettedSpr(colours, {SprImage(0, 2, 0, 0, {})})});
  cases.push_back({"huge sides",
                   testsupport::MgPalettedSpr(colours, {SprImage(9000, 9000, 0, 0, {1, 2, 3})})});
  {
    testsupport::SprFileWriter w;
    w.Add(1, testsupport::ColourPart(colours), 0);
    w.Add(2, testsupport::ImagePart({good}), 1).size = 0xFFFFFF00u;
    cases.push_back({"part size past the file", w.Build()});
  }
  {
    auto frame = testsupport::MgDirectFrame(8, 8, std::vector<uint16_t>(64, 0x1234));
    frame.data.resize(frame.data.size() / 2);
    cases.push_back({"packed frame cut", testsupport::MgDirectSpr({frame})});
  }
  {
    auto frame = testsupport::MgDirectFrame(4000, 4000, {});
    cases.push_back({"packed frame of nothing", testsupport::MgDirectSpr({frame})});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.Write("pic\\bad.spr", c.file);
    ASSERT_EQ(mg_surf_create(2, 4, 4, 0), 1);
    EXPECT_EQ(mg_load_spr(2, "pic\\bad.spr", 0, 0), 0);
    EXPECT_EQ(mg_surf_exists(2), 0);
  }
  EXPECT_EQ(mg_load_spr(2, "pic\\missing.spr", 0, 0), 0);
  mg_screen_close();
}

TEST_P(MinigameSurface, MissingColoursAreBlack) {
  ASSERT_EQ(mg_screen_open(), 1);
  // Two colours held; index 3 (base 0) and base 2046 + index 5 lie past them or past 2047.
  const std::vector<SprRgb> colours = {{0, 0, 0}, {31, 31, 31}};
  f.Write("pic\\few.spr",
          testsupport::MgPalettedSpr(
              colours, {SprImage(2, 1, testsupport::kSprDepth8, 0, {1, 3}),
                        SprImage(1, 1, testsupport::kSprDepth8, 2046, {5})}));
  ASSERT_EQ(mg_load_spr(1, "pic\\few.spr", 0, 0), 1);
  EXPECT_EQ(mg_pixel_get(1, 0, 0), Pack(0xF8F8F8));
  EXPECT_EQ(mg_pixel_get(1, 2, 0), 0u);
  ASSERT_EQ(mg_load_spr(1, "pic\\few.spr", 1, 0), 1);
  EXPECT_EQ(mg_pixel_get(1, 0, 0), 0u);
  EXPECT_TRUE(f.trace.Contains("missing"));
  mg_screen_close();
}

TEST_P(MinigameSurface, BitmapsOfEveryRowOrderAndTheSizeLimit) {
  ASSERT_EQ(mg_screen_open(), 1);
  testsupport::BmpPicture pic(5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) pic.at(x, y) = static_cast<uint32_t>(0x101010 * (x + 1) + 0x40 * y);
  }
  struct Case {
    const char* name;
    testsupport::BmpOptions options;
  };
  testsupport::BmpOptions o8;
  o8.format = testsupport::BmpFormat::kPalette8;
  testsupport::BmpOptions o24;
  testsupport::BmpOptions top;
  top.top_down = true;
  for (const Case& c : {Case{"8 bits", o8}, Case{"24 bits, odd width", o24}, Case{"top-down", top}}) {
    SCOPED_TRACE(c.name);
    f.Write("pic\\p.bmp", testsupport::WriteBmp(pic, c.options));
    ASSERT_EQ(mg_load_bmp(11, "pic\\p.bmp", 0), 1);
    int32_t w = 0, h = 0;
    mg_surf_size(11, &w, &h);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) EXPECT_EQ(mg_pixel_get(11, x, y), Pack(pic.at(x, y))) << x << "," << y;
    }
  }
  // Into an existing slot at an offset, clipped.
  ASSERT_EQ(mg_surf_create(12, 4, 4, 0), 1);
  ASSERT_EQ(mg_load_bmp_at(12, 2, 1, "pic\\p.bmp"), 1);
  EXPECT_EQ(mg_pixel_get(12, 2, 1), Pack(pic.at(0, 0)));
  EXPECT_EQ(mg_pixel_get(12, 3, 3), Pack(pic.at(1, 2)));
  EXPECT_EQ(mg_pixel_get(12, 1, 1), 0u);

  testsupport::BmpPicture large(1000, 800);
  f.Write("pic\\large.bmp", testsupport::WriteBmp(large));  // 2.4 MB
  EXPECT_EQ(mg_load_bmp(11, "pic\\large.bmp", 0), 0);
  EXPECT_EQ(mg_surf_exists(11), 0);
  testsupport::BmpOptions bad;
  bad.stored_height = 100000;
  f.Write("pic\\bad.bmp", testsupport::WriteBmp(pic, bad));
  EXPECT_EQ(mg_load_bmp(11, "pic\\bad.bmp", 0), 0);
  testsupport::BmpOptions cut;
  cut.cut_to = 60;
  f.Write("pic\\cut.bmp", testsupport::WriteBmp(pic, cut));
  EXPECT_EQ(mg_load_bmp(11, "pic\\cut.bmp", 0), 0);
  mg_screen_close();
}

INSTANTIATE_MG_LAYOUTS(MinigameSurface);

}  // namespace
