// The portable surface: colour packing, sizes and pitch, locks, loss and restore, the flip chain.

#include "platform/surface.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/config.h"
#include "platform/display.h"

namespace {

using platform::PixelLayout;
using platform::Surface;

TEST(ColorPacking, EveryPixelSurvivesTheTripToAColorRefAndBack) {
  for (PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
    const uint32_t limit = layout == PixelLayout::kRgb565 ? 0x10000 : 0x8000;
    for (uint32_t p = 0; p < limit; ++p) {
      uint32_t c = platform::UnpackToColorRef(static_cast<uint16_t>(p), layout);
      ASSERT_EQ(c & 0xFF000000u, 0u);
      ASSERT_EQ(platform::PackColorRef(c, layout), p) << std::hex << p;
    }
  }
  // The top byte of a COLORREF is ignored; channels are taken from 0x00BBGGRR.
  EXPECT_EQ(platform::PackColorRef(0xAB0000FF, PixelLayout::kRgb565), 0xF800);
  EXPECT_EQ(platform::PackColorRef(0x00FF0000, PixelLayout::kRgb555), 0x001F);
}

// The compile-time traits and the run-time lookup give the same layout, field by field, and the
// layout of matched colours is RGB555 only for exactly its fields.
template <PixelLayout L>
void ExpectTraitsMatchLookup() {
  using T = platform::PixelTraits<L>;
  const platform::PixelFormat& f = platform::FormatOf(L);
  EXPECT_EQ(f.layout, L);
  EXPECT_EQ(T::kRedMask, f.red.mask());
  EXPECT_EQ(T::kGreenMask, f.green.mask());
  EXPECT_EQ(T::kBlueMask, f.blue.mask());
  EXPECT_EQ(T::kFields, f.fields());
  EXPECT_EQ(T::kRedMask | T::kGreenMask | T::kBlueMask, T::kFields);
  EXPECT_EQ(T::kRedMask & T::kGreenMask, 0);
  EXPECT_EQ(T::kGreenMask & T::kBlueMask, 0);
  // The matched primaries (full channels) OR to the fields and give the layout back.
  const uint32_t primaries = platform::PackColorRef(0x0000FF, L) |
                             platform::PackColorRef(0x00FF00, L) |
                             platform::PackColorRef(0xFF0000, L);
  EXPECT_EQ(primaries, T::kFields);
  EXPECT_EQ(platform::LayoutOfFields(primaries), L);
}

TEST(PixelTraits, CompileTimeAndRunTimeAgree) {
  ExpectTraitsMatchLookup<PixelLayout::kRgb565>();
  ExpectTraitsMatchLookup<PixelLayout::kRgb555>();
  // Nothing matched (no display yet) and anything unexpected count as RGB565.
  for (uint32_t fields : {0u, 0x7FFEu, 0x8000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(platform::LayoutOfFields(fields), PixelLayout::kRgb565) << std::hex << fields;
  }
}

TEST(SurfaceCreate, RefusesImpossibleSizesAndPadsThePitchWhenAsked) {
  for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-5, 10}, {Surface::kMaxSide + 1, 1},
                      {Surface::kMaxSide, Surface::kMaxSide}}) {
    EXPECT_EQ(Surface::Create(w, h, PixelLayout::kRgb565), nullptr) << w << "x" << h;
  }
  auto plain = Surface::Create(3, 2, PixelLayout::kRgb555);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->pitch(), 6);
  EXPECT_EQ(plain->size_bytes(), 12u);
  EXPECT_FALSE(plain->video_memory());
  EXPECT_EQ(plain->Row(1)[2], 0);  // starts zeroed

  platform::SurfaceOptions options;
  options.pitch_padding = 7;  // rounded up to even
  options.video_memory = true;
  auto padded = Surface::Create(3, 2, PixelLayout::kRgb565, options);
  ASSERT_NE(padded, nullptr);
  EXPECT_EQ(padded->pitch(), 14);
  EXPECT_TRUE(padded->video_memory());
  EXPECT_EQ(padded->Row(1) - padded->Row(0), 7);
}

TEST(SurfaceLoss, LostSurfacesRefuseLocksAndComeBackWithJunk) {
  auto s = Surface::Create(4, 4, PixelLayout::kRgb565);
  s->Row(0)[0] = 0x1234;
  platform::SurfaceLock lock;
  ASSERT_TRUE(s->Lock(lock));
  ASSERT_TRUE(s->Lock(lock));  // locks nest
  s->Unlock();
  EXPECT_TRUE(s->locked());
  s->Unlock();
  EXPECT_FALSE(s->locked());

  s->SetLost(true);
  lock = {};
  EXPECT_FALSE(s->Lock(lock));
  EXPECT_EQ(lock.bits, nullptr);
  s->SetRestoreFails(true);
  EXPECT_FALSE(s->Restore());
  EXPECT_TRUE(s->IsLost());
  s->SetRestoreFails(false);
  EXPECT_TRUE(s->Restore());
  EXPECT_FALSE(s->IsLost());
  EXPECT_EQ(s->Row(0)[0], platform::kLostSurfaceJunk);
  s->Row(0)[0] = 0x1234;
  EXPECT_TRUE(s->Restore());  // restoring a surface that is not lost keeps its pixels
  EXPECT_EQ(s->Row(0)[0], 0x1234);
}

// A lock for writing moves the change stamp on (the pixels may change through it); a lock for
// reading leaves it, but holds the surface locked all the same and is refused on a lost surface.
TEST(SurfaceLock, OnlyALockForWritingMovesTheChangeStamp) {
  auto s = Surface::Create(4, 4, PixelLayout::kRgb565);
  ASSERT_NE(s, nullptr);
  platform::SurfaceLock lock;
  const uint64_t before = s->stamp();
  ASSERT_TRUE(s->LockForReading(lock));
  EXPECT_EQ(lock.bits, reinterpret_cast<const uint8_t*>(std::as_const(*s).Row(0)));
  EXPECT_EQ(lock.pitch, s->pitch());
  EXPECT_TRUE(s->locked());
  s->Unlock();
  EXPECT_FALSE(s->locked());
  EXPECT_EQ(s->stamp(), before);
  ASSERT_TRUE(s->Lock(lock));
  s->Unlock();
  EXPECT_NE(s->stamp(), before);
  s->SetLost(true);
  EXPECT_FALSE(s->LockForReading(lock));
  EXPECT_FALSE(s->locked());
}

TEST(FlipChain, TheBackBufferIsLostWithItsFrontAndBuffersExchange) {
  auto front = Surface::Create(4, 4, PixelLayout::kRgb565);
  auto back = Surface::Create(4, 4, PixelLayout::kRgb565);
  front->AttachBackBuffer(*back);
  front->Row(0)[0] = 1;
  back->Row(0)[0] = 2;
  ASSERT_TRUE(front->ExchangePixels(*back));
  EXPECT_EQ(front->Row(0)[0], 2);
  EXPECT_EQ(back->Row(0)[0], 1);

  front->SetLost(true);
  EXPECT_TRUE(back->IsLost());
  EXPECT_TRUE(back->Restore());  // restoring either restores the chain
  EXPECT_FALSE(front->IsLost());
  EXPECT_EQ(back->Row(0)[0], platform::kLostSurfaceJunk);

  auto other = Surface::Create(5, 4, PixelLayout::kRgb565);
  EXPECT_FALSE(front->ExchangePixels(*other));
  auto other_layout = Surface::Create(4, 4, PixelLayout::kRgb555);
  EXPECT_FALSE(front->ExchangePixels(*other_layout));
  back.reset();  // the front forgets a back buffer that is gone
  EXPECT_EQ(front->back_buffer(), nullptr);
}

TEST(DisplaySettings, PixelFormatKeyChoosesTheLayout) {
  platform::MemoryConfig config;
  EXPECT_EQ(platform::PixelLayoutSetting(config), PixelLayout::kRgb565);
  for (auto [value, layout] : {std::pair{"555", PixelLayout::kRgb555}, {"565", PixelLayout::kRgb565},
                               {"bogus", PixelLayout::kRgb565}, {"", PixelLayout::kRgb565}}) {
    config.Set("pixel format", value);
    EXPECT_EQ(platform::PixelLayoutSetting(config), layout) << value;
  }
}

}  // namespace
