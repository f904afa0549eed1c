#include "platform/display.h"

#include "platform/config.h"

namespace platform {

PixelLayout PixelLayoutSetting(const Config& config) {
  return config.GetInt("Pixel Format", 565) == 555 ? PixelLayout::kRgb555 : PixelLayout::kRgb565;
}

}  // namespace platform
