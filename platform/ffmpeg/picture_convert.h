#pragma once
// The conversion of decoded pictures into rows of the display's 16-bit layout (libswscale). For
// the .cpp files of this folder only: it names FFmpeg types.
//
// The scaler writes whole vectors of pixels and may write past the end of each row and past the
// last row, so it never writes into a caller's buffer: it converts into a frame of its own,
// allocated by FFmpeg with the alignment and padding the scaler expects, and the rows are copied
// out from there, exactly `width` pixels each.

#include <cstdint>

#include "platform/surface.h"

extern "C" {
#include <libavutil/frame.h>
}

struct SwsContext;

namespace platform::ffmpeg {

class PictureConverter {
 public:
  PictureConverter() = default;
  ~PictureConverter();
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // Converts `source` (any size; scaled when it differs) to `width` x `height` pixels of `layout`
  // and copies the rows into `out`: `height` rows `stride` bytes apart, each `width` x 2 bytes
  // followed by zeros up to the stride. False when the conversion cannot be made; `out` may then
  // hold a part of the picture.
  bool Convert(const AVFrame* source, int width, int height, PixelLayout layout, uint8_t* out,
               int stride);

 private:
  SwsContext* sws_ = nullptr;
  AVFrame* scratch_ = nullptr;  // the scaler's destination
};

}  // namespace platform::ffmpeg
