// od files: image records into slots, the tables, and corrupt files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_surface.h"
#include "mg_fixture.h"
#include "platform/little_endian.h"
#include "testsupport/od_writer.h"

namespace {

using mg_test::MgFixture;
using testsupport::OdWriter;
using testsupport::SprImage;
using testsupport::SprRgb;

constexpr const char* kOd = "tamvik3\\od\\mg_test.od";

class MinigameOd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.opened);
    ASSERT_EQ(mg_screen_open(), 1);
  }
  void TearDown() override { mg_screen_close(); }
  // A 4-frame sprite file: frame k is (k + 1) x 2 pixels.
  std::vector<uint8_t> FourFrames() {
    std::vector<SprImage> frames;
    for (uint16_t k = 0; k < 4; ++k) {
      const uint16_t w = k + 1;
      frames.push_back(SprImage(w, 2, testsupport::kSprDepth8, 0, std::vector<uint8_t>(w * 2u, 1)));
    }
    return testsupport::MgPalettedSpr({SprRgb{}, SprRgb{31, 0, 0}}, frames);
  }

  MgFixture f;
};

TEST_F(MinigameOd, ImageRecordsTablesAndTexts) {
  f.Write("tamvik3\\pic\\four.spr", FourFrames());
  OdWriter od;
  od.Path(10, "tamvik3\\pic\\FOUR.SPR", 2)
      .Solid(12, 7, 5, 1, 2, 3)  // replaces frame 2
      .Solid(20, 3, 4, 255, 0, 255, 16)
      .Animation(4, {OdWriter::Simple(10, 3),
                     OdWriter::Composite({{11, 1, 2}, {0x1000 | 12, -3, 4}}, 5)})
      .Script(2, {OdWriter::SetPos(5, 6), OdWriter::Wait(9), OdWriter::End()})
      .Text(1, "hello");
  f.Write(kOd, od.Build());
  ASSERT_EQ(mg_obj_create(kOd), 1);
  const int want_width[] = {2, 4, 7, 8};
  const int want_height[] = {4, 4, 5, 4};
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    const MgImageSlot* image = mg_image(10 + k);
    EXPECT_EQ(image->width, want_width[k]);
    EXPECT_EQ(image->height, want_height[k]);
    EXPECT_EQ(image->flags, k == 2 ? 8u | 1u : 2u | 1u);
  }
  EXPECT_EQ(mg_pixel_get(12, 0, 0), platform::PackColorRef(0x030201, mg_layout()));
  EXPECT_EQ(mg_pixel_get(20, 2, 3), mg_layout() == platform::PixelLayout::kRgb565 ? 0xF81Fu : 0x7C1Fu);
  EXPECT_TRUE(mg_slot(20)->surface->video_memory()) << "flag 16: option 1";
  EXPECT_EQ(mg_image(14)->flags, 0u);

  const MgOdWords anim = mg_od_animation(4);
  const std::vector<int16_t> want = {10, 3, -3, 11, 1, 2, 0x1000 | 12, -3, 4, 5, -1};
  for (uint32_t i = 0; i < want.size(); ++i) EXPECT_EQ(anim[i], want[i]) << i;
  EXPECT_EQ(mg_od_animation(5).count, 0u);
  EXPECT_EQ(mg_od_script(2)[0], 1);
  EXPECT_EQ(mg_od_script(2)[3], 4);
  EXPECT_STREQ(mg_text(1), "hello");
  EXPECT_STREQ(mg_text(0), "") << "offset 0";
  EXPECT_STREQ(mg_text(256), "");
  // Words past the end of the data read as -1.
  const MgOdWords script = mg_od_script(2);
  EXPECT_EQ(script[script.count], -1);
}

TEST_F(MinigameOd, TheUniversalOdGivesEverySlotItsOwnColour) {
  f.Write(kOd, testsupport::UniversalOd({5}).Build());
  ASSERT_EQ(mg_obj_create(kOd), 1);
  std::vector<bool> seen(65536, false);
  for (int i = 0; i < 512; ++i) {
    const uint16_t want = platform::PackColorRef(testsupport::UniversalColour(i), mg_layout());
    EXPECT_FALSE(seen[want]) << "slot " << i << " shares its colour";
    seen[want] = true;
    if (i % 97 == 0) {
      EXPECT_EQ(mg_pixel_get(i, 15, 15), want) << i;
    }
  }
  EXPECT_EQ(mg_od_animation(300)[0], 300);
  EXPECT_EQ(mg_od_animation(300)[2], -1);
  EXPECT_STREQ(mg_text(7), "T7");
  EXPECT_STREQ(mg_text(5), "");
}

TEST_F(MinigameOd, ALongFileIsCutAt64K) {
  OdWriter od;
  od.Text(3, "kept");
  std::vector<uint8_t> bytes = od.Build();
  bytes.resize(70000, 0x41);
  f.Write(kOd, bytes);
  ASSERT_EQ(mg_obj_create(kOd), 1);
  EXPECT_EQ(Minigame().od.size, 65536u);
  EXPECT_STREQ(mg_text(3), "kept");
}

TEST_F(MinigameOd, CorruptFilesFailOrStopAsDecided) {
  f.Write("tamvik3\\pic\\four.spr", FourFrames());
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    int result;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, 0});
  cases.push_back({"shorter than the tables", std::vector<uint8_t>(6000, 0), 0});
  {
    OdWriter od;
    od.Text(0, "x");
    auto file = od.Build();
    od.Entry(OdWriter::kTexts, 5, static_cast<uint32_t>(file.size()));
    cases.push_back({"text offset at the end", od.Build(), 0});
  }
  {
    OdWriter od;
    od.Entry(OdWriter::kAnimations, 7, 0xFFFFFFF0u);
    cases.push_back({"animation offset past the end", od.Build(), 0});
  }
  {
    OdWriter od;
    od.Entry(OdWriter::kImages, 0, 6144 + 1);
    od.Raw({0, 0});  // the record's flags would need bytes 6145-6146
    cases.push_back({"image record past the end", od.Build(), 0});
  }
  {
    OdWriter od;
    od.Entry(OdWriter::kImages, 1, od.Raw({0, 0, 'a', 'b', 'c'}));
    cases.push_back({"unterminated path", od.Build(), 0});
  }
  {
    OdWriter od;
    od.Solid(2, 0, 5, 1, 1, 1);
    cases.push_back({"solid of size 0", od.Build(), 0});
  }
  {
    OdWriter od;
    od.Entry(OdWriter::kImages, 2, od.Raw({8, 0, 4, 0, 4, 0}));
    cases.push_back({"solid record cut", od.Build(), 0});
  }
  {
    // A 64 KB file may ask for 512 surfaces of up to 16384 x 16384 pixels: one past the slots'
    // pixel budget is refused instead of taking the memory.
    OdWriter od;
    od.Solid(2, 8192, 8192, 1, 1, 1);
    cases.push_back({"solid past the pixel budget", od.Build(), 0});
  }
  {
    OdWriter od;
    od.Path(3, "tamvik3\\pic\\none.bmp");
    cases.push_back({"missing picture", od.Build(), 0});
  }
  {
    OdWriter od;
    od.Path(510, "tamvik3\\pic\\four.spr");
    cases.push_back({"4 frames at 510", od.Build(), 1});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.trace.Clear();
    f.Write(kOd, c.file);
    EXPECT_EQ(mg_obj_create(kOd), c.result);
    EXPECT_TRUE(f.trace.Contains("mg_obj_create")) << "traced";
  }
  // The last case: frames 0 and 1 in 510 and 511, the others dropped.
  EXPECT_EQ(mg_image(510)->width, 2);
  EXPECT_EQ(mg_image(511)->width, 4);
  EXPECT_TRUE(f.trace.Contains("frames 2-3"));
  EXPECT_EQ(mg_obj_create("tamvik3\\od\\none.od"), 0);
  EXPECT_EQ(mg_surf_exists(510), 0) << "a new load frees the old slots";
}

}  // namespace
