#pragma once
// The petal wipe that ends the title's intro: 45 frames read from "tamvik1\system\hana.bin", one
// every 3 frames, each painted in a pale pink onto layer 8 (cleared to transparent first).
//
// The file holds the frames one after another. A frame is up to 480 lines; a line is a list of
// run lengths (one byte each) alternating between skipped and painted pixels, starting with a
// skipped run, and ends once its runs reach x 640 (a painted run is cut at x 639). The byte 255
// where a run is expected ends the frame; after each frame the reader steps over one byte (the
// frame's closing 255). The file is read whole into a buffer one byte longer, filled with 255
// first. Every read is bounded by the buffer's end: reaching it ends the wipe, so a short file, a
// frame without its 255 or a line of zero-length runs never reads past the buffer.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/gfx/gfx_types.h"

class CDdrawFunc;
class FileIO;

inline constexpr const char* kPetalWipeFile = "tamvik1\\system\\hana.bin";
inline constexpr int kPetalFrames = 45;
inline constexpr int kPetalFrameSpacing = 3;  // frame n is drawn once the timer reaches 3n
inline constexpr ColorRef kPetalColour = 0x00E6E6FF;  // RGB(255, 230, 230)
inline constexpr uint8_t kPetalEnd = 255;

// One frame decoded from `data` at `pos` into a locked 16-bit picture (640 x 480 at most; the
// lock's own size bounds it too). Returns the position of the next frame (one byte past the
// frame's 255 or past its line 479), or data.size() + 1 when a read reached the buffer's end
// (the frame drawn so far stays).
size_t DrawPetalFrame(std::span<const uint8_t> data, size_t pos, const SurfaceDesc& lock,
                      uint16_t colour);

class PetalWipe {
 public:
  // Reads the file (a missing or unreadable one: the wipe is over at once, with a trace) and
  // matches the paint colour on surface 7.
  void Start(FileIO& files, CDdrawFunc& ddraw);
  // Given the frames since the start: draws the next frame when it is due (at most one per
  // call). True once the wipe is over (after frame 44, at the buffer's end, or without a file);
  // the buffer is then freed.
  bool Step(CDdrawFunc& ddraw, int32_t frames);
  bool Done() const { return done_; }
  int NextFrame() const { return next_frame_; }
  // Frees the buffer; the wipe counts as over.
  void Release();

 private:
  std::vector<uint8_t> data_;
  size_t pos_ = 0;
  int next_frame_ = 0;
  uint16_t colour_ = 0;
  bool done_ = true;
};
