#pragma once
// The test display: no screen. Every presented frame is copied (the latest one is kept, with a
// counter) so tests can assert on pixels and write the picture out as PNG or BMP for a person.
// Tests can make any set-up step fail, make video-memory surfaces unavailable and make a present
// fail. Surface loss is injected on the surfaces themselves (Surface::SetLost).
//
// By default every surface it makes has 16 bytes of padding at the end of each row, so drawing
// code that assumes pitch == width x 2 shows wrong pixels in tests; set pitch_padding to 0 for
// benchmarks.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/display.h"

namespace platform::headless {

class HeadlessDisplay final : public Display {
 public:
  // Reads the layout ("Pixel Format") from the settings when the mode is set.
  explicit HeadlessDisplay(const Config& config) : config_(config) {}

  bool Open() override;
  bool SetExclusive() override;
  bool SetMode(int width, int height, int bits_per_pixel) override;
  PixelLayout layout() const override { return layout_; }
  std::unique_ptr<Surface> CreateSurface(SurfaceRole role, int width, int height) override;
  bool CreateClipper(int width, int height) override;
  bool Present(const Surface& front) override;
  bool ShowDesktop() override;
  void RestoreMode() override { mode_set = false; }
  void Close() override { open = false; }

  // Set-up steps a test can make fail.
  enum class Step : uint8_t {
    kNone,
    kOpen,
    kExclusive,
    kMode,
    kPrimary,
    kFlipBuffer,
    kSurface,  // the off-screen surface numbered fail_surface_index (0 = the first since Open)
    kClipper,
    kShowDesktop,
  };

  // What tests set.
  Step fail_step = Step::kNone;
  int fail_surface_index = 0;
  bool video_memory_fails = false;
  bool present_fails = false;
  int pitch_padding = 16;
  // Called after every successful present, with the new frame in place (a test driver records
  // each presented frame here; the display keeps only the latest).
  std::function<void(const HeadlessDisplay&)> on_present;
  // Whether a present keeps a copy of the frame (frame, FramePixel, SaveFrame*; a driver's frame
  // hashes read it). A benchmark that reads no frame turns it off: the copy of a whole screen is
  // then no part of the frames it times, and `frame` stays the last one kept.
  bool keep_frame = true;

  // What tests read.
  bool open = false;
  bool exclusive = false;
  bool mode_set = false;
  int mode_width = 0;
  int mode_height = 0;
  int surfaces_made = 0;       // off-screen surfaces made since Open
  int show_desktop_calls = 0;
  int frames_presented = 0;
  // The latest presented frame, width x height pixels without padding.
  std::vector<uint16_t> frame;
  int frame_width = 0;
  int frame_height = 0;
  PixelLayout frame_layout = PixelLayout::kRgb565;

  uint16_t FramePixel(int x, int y) const;
  // Writes the latest frame; false when there is none or the file cannot be written.
  bool SaveFramePng(const std::string& path) const;
  bool SaveFrameBmp(const std::string& path) const;

 private:
  const Config& config_;
  PixelLayout layout_ = PixelLayout::kRgb565;
};

}  // namespace platform::headless
