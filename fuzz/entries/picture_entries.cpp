// Fuzz entries of the picture readers: Windows bitmap files and BMX pixel blocks.

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "engine/app/context.h"
#include "engine/gfx/pixels/bmp_reader.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/files/file_io.h"
#include "flow/petal_wipe.h"
#include "fuzz/entries/entry_support.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/headless/headless_platform.h"
#include "testsupport/petal_wipe_writer.h"
#include "testsupport/temp_tree.h"

namespace fuzz {

using namespace detail;

namespace {

// The drawing targets the entries pick from: two compose layers (which grow for large
// pictures), the cross-fade picture and a scratch surface (which do not).
constexpr SurfaceId kTargets[] = {SURFACE_BG, SURFACE_TEXT, SURFACE_XFADE, SURFACE_SCRATCH};

}  // namespace

// Parts: control, file. Control bytes: 0 flags (bits 0-1 the target surface, bit 2 fill, bit 3
// RGB555), 1-2 and 3-4 the position (signed). The headers are parsed as the loader reads them
// (at most kBmpHeaderBytes of the file); when they pass, every stored row lies inside the file
// and decodes into exactly `width` colours. Then the file loads through the display.
void BmpEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "bmp";
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const Bytes& control = parts[0];
  const Bytes& file = parts[1];
  const uint8_t flags = ByteAt(control, 0);

  const size_t head_size = std::min(file.size(), kBmpHeaderBytes);
  auto head = ExactCopy(file.data(), head_size);
  BmpInfo info;
  if (ParseBmpHeader(head.get(), head_size, file.size(), &info)) {
    Check(info.width > 0 && info.width <= kBmpMaxSide && info.height > 0 &&
              info.height <= kBmpMaxSide,
          kName, "size outside the accepted range");
    const uint64_t row_bits = uint64_t{static_cast<uint32_t>(info.width)} * info.bits;
    Check(info.stride >= (row_bits + 7) / 8, kName, "stride shorter than a row");
    const uint64_t end =
        info.pixel_offset + uint64_t{info.stride} * static_cast<uint32_t>(info.height);
    Check(end <= file.size(), kName, "rows reach past the file");
    if (end <= file.size()) {
      std::unique_ptr<uint32_t[]> colours(new uint32_t[static_cast<size_t>(info.width)]);
      // Rows are decoded from exactly sized copies; a few rows are enough for the row code.
      const int rows = std::min(info.height, 4);
      for (int r = 0; r < rows; ++r) {
        auto row = ExactCopy(file.data() + info.pixel_offset + size_t{info.stride} * r,
                             info.stride);
        DecodeBmpRow(info, row.get(), colours.get());
      }
    }
  }

  testsupport::GameTree& tree = Tree();
  tree.Write("cwd/pic/test.bmp", file);
  DisplayRig& rig = Rig((flags & 8) != 0);
  Check(rig.ready, kName, "display set-up failed");
  ContextScope scope(*rig.context);
  rig.host.files.SetWorkingDirectory(tree.cwd());
  CDdrawFunc& ddraw = rig.context->ddraw;
  const int x = static_cast<int16_t>(Le16(control, 1));
  const int y = static_cast<int16_t>(Le16(control, 3));
  ddraw.LoadBitmap("PIC\\Test.BMP", x, y, (flags >> 2) & 1, kTargets[flags & 3]);
  Rect rect{};
  ddraw.GetBitmapRect(&rect);
}

// Control bytes: 0 flags (bits 0-1 the target surface, bit 2 fill, bit 3 RGB555), 1-2 and 3-4
// the position, 5-6 and 7-8 the picture size, 9-10 the darkening level (all signed); the rest are
// the pixel words, repeated to fill the picture (the caller always hands a whole picture). Sizes
// whose picture would take more than 512 KiB are not drawn (the harness would have to make them,
// and small pictures reach the same checks and clipping far faster).
void BmxEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "bmx";
  if (size < 11) return;
  const Bytes control(data, data + 11);
  const uint8_t flags = control[0];
  const int x = static_cast<int16_t>(Le16(control, 1));
  const int y = static_cast<int16_t>(Le16(control, 3));
  const int width = static_cast<int16_t>(Le16(control, 5));
  const int height = static_cast<int16_t>(Le16(control, 7));
  const int level = static_cast<int16_t>(Le16(control, 9));
  const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 1;
  if (count > (size_t{256} << 10)) return;
  std::unique_ptr<uint16_t[]> pixels(new uint16_t[count]);
  const size_t words = (size - 11) / 2;
  for (size_t i = 0; i < count; ++i) {
    if (words == 0) {
      pixels[i] = static_cast<uint16_t>(i * 0x9E37u);
    } else {
      const size_t w = i % words;
      pixels[i] = static_cast<uint16_t>(data[11 + 2 * w] | (data[12 + 2 * w] << 8));
    }
  }

  DisplayRig& rig = Rig((flags & 8) != 0);
  Check(rig.ready, kName, "display set-up failed");
  ContextScope scope(*rig.context);
  CDdrawFunc& ddraw = rig.context->ddraw;
  platform::Surface* target = ddraw.GetSurface(kTargets[flags & 3]);
  ddraw.DrawBmx(pixels.get(), x, y, width, height, target, (flags >> 2) & 1, level);
}

// ---- The title's petal wipe ----

// Parts: control, hana.bin. Control bytes: 0-1 and 2-3 the lock's width and height (1-700 from
// their values), 4 the pitch's extra pixels (0-7), 5 bit 0: the wipe also plays on the display.
// DrawPetalFrame runs frame after frame over the data into a locked picture of that size whose
// pitch pixels and extra row hold a sentinel; then (bit 0) the wipe plays from the file: Start,
// then Step every frame. Rules: a frame moves on through the data or ends it (the data's size +
// 1); at most 45 frames are drawn; only the paint colour is written, and nothing past the
// picture's width or height; the wipe is over after 45 frames at the latest.
namespace {

// The first rule of the petal picture a pixel breaks, or null: inside the picture only the
// sentinel or the paint, past its width and height only the sentinel. One pass over up to half
// a million pixels, left without coverage instrumentation (fuzz/coverage_ignore.txt).
const char* PetalPictureFault(const std::vector<uint16_t>& pixels, int width, int height,
                              int pitch_pixels, uint16_t sentinel, uint16_t paint) {
  for (int y = 0; y <= height; ++y) {
    const uint16_t* row = pixels.data() + static_cast<size_t>(y) * pitch_pixels;
    for (int x = 0; x < pitch_pixels; ++x) {
      if (row[x] == sentinel) continue;
      if (x >= width || y >= height) return "a pixel outside the picture";
      if (row[x] != paint) return "a pixel got another colour than the paint";
    }
  }
  return nullptr;
}

}  // namespace

void PetalWipeEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "petal_wipe";
  constexpr uint16_t kSentinel = 0xA5A5;
  constexpr uint16_t kPaint = 0x1234;
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const Bytes& control = parts[0];
  const Bytes& hana = parts[1];
  const int width = 1 + static_cast<int>(Le16(control, 0) % 700);
  const int height = 1 + static_cast<int>(Le16(control, 2) % 700);
  const int pitch_pixels = width + ByteAt(control, 4) % 8;
  std::vector<uint16_t> pixels(static_cast<size_t>(pitch_pixels) * (height + 1), kSentinel);
  const SurfaceDesc lock{reinterpret_cast<uint8_t*>(pixels.data()), pitch_pixels * 2, width,
                         height};
  size_t pos = 0;
  int frames = 0;
  while (pos <= hana.size() && frames < kPetalFrames) {
    const size_t next = DrawPetalFrame(hana, pos, lock, kPaint);
    Check(next > pos && next <= hana.size() + 1, kName, "a frame did not move on through the data");
    pos = next;
    ++frames;
  }
  const char* fault = PetalPictureFault(pixels, width, height, pitch_pixels, kSentinel, kPaint);
  Check(fault == nullptr, kName, fault != nullptr ? fault : "");

  if ((ByteAt(control, 5) & 1) == 0) return;
  DisplayRig& rig = Rig(false);
  if (!rig.ready) return;
  ContextScope scope(*rig.context);
  Tree().Write("install/tamvik1/system/hana.bin", hana);
  Ctx().file_io.SetInstallDir(Tree().install().c_str());
  PetalWipe wipe;
  wipe.Start(Ctx().file_io, Ctx().ddraw);
  int frame = 0;
  while (!wipe.Step(Ctx().ddraw, frame) && frame <= kPetalFrames * kPetalFrameSpacing) ++frame;
  Check(wipe.Done() && wipe.NextFrame() <= kPetalFrames, kName, "the wipe did not end");
  wipe.Release();
}

std::vector<Bytes> PetalWipeSeeds() {
  // A few frames of lines of petals, then an empty frame.
  std::vector<testsupport::PetalFrame> petals;
  for (int f = 0; f < 4; ++f) {
    testsupport::PetalFrame frame;
    for (int line = 0; line < 30 + 10 * f; ++line) {
      frame.push_back({static_cast<uint8_t>(10 * f + line % 7), 20, 200, 30, 250, 110});
    }
    petals.push_back(frame);
  }
  petals.push_back({});
  const Bytes frames = testsupport::PetalWipeFile(petals);
  return {JoinParts({{0x7F, 0x02, 0xDF, 0x01, 0, 1}, frames}),
          JoinParts({{0x10, 0, 0x10, 0, 3, 0}, frames}),
          JoinParts({{0x7F, 0x02, 0xDF, 0x01, 1, 1}, Bytes(frames.begin(), frames.begin() + 200)}),
          JoinParts({{5, 0, 5, 0, 0, 1}, testsupport::ZeroRunLine(40)}),
          JoinParts({{0x7F, 0x02, 0xDF, 0x01, 0, 0},
                     testsupport::PetalWipeFile({testsupport::AlternatingPixelsFrame()})})};
}

}  // namespace fuzz
