#include "platform/ffmpeg/picture_convert.h"

#include <cstring>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace platform::ffmpeg {

PictureConverter::~PictureConverter() {
  sws_freeContext(sws_);
  av_frame_free(&scratch_);
}

bool PictureConverter::Convert(const AVFrame* source, int width, int height, PixelLayout layout,
                               uint8_t* out, int stride) {
  if (source == nullptr || out == nullptr || width <= 0 || height <= 0 || stride < width * 2 ||
      source->width <= 0 || source->height <= 0) {
    return false;
  }
  const AVPixelFormat target = layout == PixelLayout::kRgb565 ? AV_PIX_FMT_RGB565 : AV_PIX_FMT_RGB555;
  sws_ = sws_getCachedContext(sws_, source->width, source->height,
                              static_cast<AVPixelFormat>(source->format), width, height, target,
                              SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (sws_ == nullptr) return false;
  if (scratch_ == nullptr || scratch_->width != width || scratch_->height != height ||
      scratch_->format != target) {
    av_frame_free(&scratch_);
    scratch_ = av_frame_alloc();
    if (scratch_ == nullptr) return false;
    scratch_->format = target;
    scratch_->width = width;
    scratch_->height = height;
    if (av_frame_get_buffer(scratch_, 0) < 0) {
      av_frame_free(&scratch_);
      return false;
    }
  }
  if (sws_scale(sws_, source->data, source->linesize, 0, source->height, scratch_->data,
                scratch_->linesize) != height) {
    return false;
  }
  const size_t row = static_cast<size_t>(width) * 2;
  const size_t pad = static_cast<size_t>(stride) - row;
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = out + static_cast<size_t>(y) * static_cast<size_t>(stride);
    std::memcpy(dst, scratch_->data[0] + static_cast<size_t>(y) * scratch_->linesize[0], row);
    if (pad != 0) std::memset(dst + row, 0, pad);
  }
  return true;
}

}  // namespace platform::ffmpeg
