// The petal wipe: frames decoded from run lists to exact pixels, their timing, the end after
// frame 44, and damaged files that must end the wipe without reading past its buffer.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "flow/petal_wipe.h"
#include "platform/pixel_traits.h"
#include "platform/surface.h"
#include "testsupport/lips_files.h"
#include "testsupport/petal_wipe_writer.h"
#include "testsupport/program_driver.h"

namespace {

using platform::PixelLayout;
using testsupport::PetalFrame;
using testsupport::PetalWipeFile;

constexpr uint16_t kPink = 0xABCD;

// A 640 x 480 picture of its own, with a pitch wider than its rows.
struct Picture {
  static constexpr int kPitchPixels = 648;
  std::vector<uint16_t> pixels = std::vector<uint16_t>(kPitchPixels * 480, 0);
  SurfaceDesc Lock() {
    SurfaceDesc d{};
    d.bits = reinterpret_cast<uint8_t*>(pixels.data());
    d.pitch = kPitchPixels * 2;
    d.width = 640;
    d.height = 480;
    return d;
  }
  uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y * kPitchPixels + x)]; }
  // The painted x of line y.
  std::vector<int> Painted(int y) const {
    std::vector<int> xs;
    for (int x = 0; x < kPitchPixels; ++x) {
      if (At(x, y) != 0) xs.push_back(x);
    }
    return xs;
  }
};

std::vector<int> Range(int from, int to) {
  std::vector<int> xs;
  for (int x = from; x < to; ++x) xs.push_back(x);
  return xs;
}

TEST(PetalFrameTest, DecodesRunsToExactPixels) {
  // Line 0: skip 2, paint 3, skip 0, paint 1, skip 634 (reaches 640).
  // Line 1: skip 630, paint 20 (cut at 639).
  // Line 2: skip 255 is the frame end: nothing below line 1 is painted.
  const PetalFrame frame{{2, 3, 0, 1, 254, 0, 254, 0, 126}, {254, 0, 254, 0, 122, 20}};
  std::vector<uint8_t> file = PetalWipeFile({frame});
  file.push_back(255);  // the buffer's extra byte
  Picture picture;
  const size_t next = DrawPetalFrame(file, 0, picture.Lock(), kPink);
  EXPECT_EQ(next, file.size() - 1);  // one past the frame's 255
  std::vector<int> line0 = Range(2, 5);
  line0.push_back(5);
  EXPECT_EQ(picture.Painted(0), line0);
  EXPECT_EQ(picture.Painted(1), Range(630, 640));
  for (int y = 2; y < 480; ++y) ASSERT_TRUE(picture.Painted(y).empty()) << y;
  EXPECT_EQ(picture.At(3, 0), kPink);
}

TEST(PetalFrameTest, AFullFrameEndsAfterLine479AndStepsOneByte) {
  // 480 lines of "skip 639, paint 1": the last pixel of every line.
  const PetalFrame frame(480, {254, 0, 254, 0, 131, 1});
  const std::vector<uint8_t> file = PetalWipeFile({frame, frame});
  Picture picture;
  const size_t next = DrawPetalFrame(file, 0, picture.Lock(), kPink);
  EXPECT_EQ(next, 480u * 6 + 1);
  for (int y = 0; y < 480; ++y) ASSERT_EQ(picture.Painted(y), std::vector<int>{639}) << y;
  // The second frame starts there.
  EXPECT_EQ(DrawPetalFrame(file, next, picture.Lock(), kPink), file.size());
}

TEST(PetalFrameTest, ReadsNeverPassTheBuffer) {
  Picture picture;
  struct Case {
    std::string name;
    std::vector<uint8_t> data;
  };
  // Each ends at the buffer's end (the result is one past it).
  for (const Case& k : std::vector<Case>{
           {"empty", {}},
           {"zero-length runs", testsupport::ZeroRunLine(50)},
           {"no 255", {10, 20, 30}},
           {"line unfinished", {100, 100}},
       }) {
    SCOPED_TRACE(k.name);
    const std::vector<uint8_t> buffer(k.data);  // exactly the bytes, no slack for ASan to miss
    EXPECT_EQ(DrawPetalFrame(buffer, 0, picture.Lock(), kPink), buffer.size() + 1);
    EXPECT_GT(DrawPetalFrame(buffer, buffer.size(), picture.Lock(), kPink), buffer.size());
  }
}

// The program with only a petal-wipe file laid (or none).
class PetalWipeRun : public ::testing::Test {
 protected:
  static testsupport::ProgramDriver::Options Options() {
    testsupport::ProgramDriver::Options options;
    options.boot = [] {};
    options.wire_sequences = false;
    return options;
  }
  void Lay(const std::vector<uint8_t>& file) {
    d.tree.Write(testsupport::InstallRel(kPetalWipeFile), file);
  }
  // Steps the wipe with the timer at 0, 1, 2, ... until it is over; the frames it drew and the
  // timer value at each.
  std::vector<int> Run(PetalWipe& wipe) {
    std::vector<int> drawn_at;
    for (int t = 0; t < 1000; ++t) {
      const int before = wipe.NextFrame();
      const bool done = wipe.Step(Ctx().ddraw, t);
      if (wipe.NextFrame() != before) drawn_at.push_back(t);
      if (done) break;
    }
    return drawn_at;
  }
  testsupport::ProgramDriver d{Options()};
};

TEST_F(PetalWipeRun, FrameNAtThreeNAndTheEndAfterFrame44) {
  Lay(testsupport::EmptyPetalFrames(45));
  ASSERT_TRUE(d.Start());
  PetalWipe wipe;
  wipe.Start(Ctx().file_io, Ctx().ddraw);
  EXPECT_FALSE(wipe.Done());
  const std::vector<int> drawn = Run(wipe);
  ASSERT_EQ(drawn.size(), 45u);
  for (int n = 0; n < 45; ++n) EXPECT_EQ(drawn[static_cast<size_t>(n)], 3 * n);
  EXPECT_TRUE(wipe.Done());
}

TEST_F(PetalWipeRun, DamagedFilesEndTheWipe) {
  ASSERT_TRUE(d.Start());
  struct Case {
    std::string name;
    std::vector<uint8_t> file;
    size_t frames;  // steps that drew, the last one reaching the end
  };
  // Steps until the wipe ends: the buffer's own 255 closes one more (empty) frame, the step after
  // it reaches the buffer's end.
  for (const Case& k : std::vector<Case>{
           {"two frames", testsupport::EmptyPetalFrames(2), 4},
           {"last 255 missing", testsupport::WithoutLastEnd(testsupport::EmptyPetalFrames(3)), 4},
           {"empty file", {}, 2},
           {"zero-length runs", testsupport::ZeroRunLine(300), 2},
       }) {
    SCOPED_TRACE(k.name);
    Lay(k.file);
    PetalWipe wipe;
    wipe.Start(Ctx().file_io, Ctx().ddraw);
    EXPECT_EQ(Run(wipe).size(), k.frames);
    EXPECT_TRUE(wipe.Done());
  }
}

TEST_F(PetalWipeRun, AMissingFileEndsAtOnce) {
  ASSERT_TRUE(d.Start());
  PetalWipe wipe;
  wipe.Start(Ctx().file_io, Ctx().ddraw);
  EXPECT_TRUE(wipe.Done());
  EXPECT_TRUE(wipe.Step(Ctx().ddraw, 0));
  EXPECT_EQ(wipe.NextFrame(), 0);
}

class PetalColourTest : public ::testing::TestWithParam<PixelLayout> {};

TEST_P(PetalColourTest, PaintsThePinkOnLayer8InTheDisplaysLayout) {
  testsupport::ProgramDriver::Options options;
  options.boot = [] {};
  options.wire_sequences = false;
  testsupport::ProgramDriver d(options);
  if (GetParam() == PixelLayout::kRgb555) d.host().config.Set("Pixel Format", "555");
  d.tree.Write(testsupport::InstallRel(kPetalWipeFile), PetalWipeFile({{{10, 5, 254, 0, 254, 0, 117}}}));
  ASSERT_TRUE(d.Start());
  PetalWipe wipe;
  wipe.Start(Ctx().file_io, Ctx().ddraw);
  wipe.Step(Ctx().ddraw, 0);
  platform::Surface* layer = Ctx().ddraw.GetSurface(SURFACE_TEXT);
  ASSERT_NE(layer, nullptr);
  SurfaceDesc lock{};
  ASSERT_NE(Ctx().ddraw.LockSurface(layer, &lock), 0);
  const auto pixel = [&lock](int x, int y) {
    return *reinterpret_cast<const uint16_t*>(lock.bits + y * lock.pitch + 2 * x);
  };
  const uint16_t pink = GetParam() == PixelLayout::kRgb565 ? 0xFF3C : 0x7F9C;
  EXPECT_EQ(pixel(10, 0), pink);
  EXPECT_EQ(pixel(14, 0), pink);
  EXPECT_NE(pixel(9, 0), pink);
  EXPECT_NE(pixel(15, 0), pink);
  EXPECT_NE(pixel(10, 1), pink);
  layer->Unlock();
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PetalColourTest,
                         ::testing::Values(PixelLayout::kRgb565, PixelLayout::kRgb555));

}  // namespace
