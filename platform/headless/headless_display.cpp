#include "platform/headless/headless_display.h"

#include <cstring>

#include "platform/headless/frame_image.h"

namespace platform::headless {

bool HeadlessDisplay::Open() {
  if (fail_step == Step::kOpen) return false;
  open = true;
  surfaces_made = 0;
  return true;
}

bool HeadlessDisplay::SetExclusive() {
  if (fail_step == Step::kExclusive) return false;
  exclusive = true;
  return true;
}

bool HeadlessDisplay::SetMode(int width, int height, int bits_per_pixel) {
  if (fail_step == Step::kMode || bits_per_pixel != 16) return false;
  layout_ = PixelLayoutSetting(config_);
  mode_set = true;
  mode_width = width;
  mode_height = height;
  return true;
}

std::unique_ptr<Surface> HeadlessDisplay::CreateSurface(SurfaceRole role, int width, int height) {
  SurfaceOptions options;
  options.pitch_padding = pitch_padding;
  switch (role) {
    case SurfaceRole::kPrimary:
      if (fail_step == Step::kPrimary) return nullptr;
      options.video_memory = true;
      break;
    case SurfaceRole::kFlipBuffer:
      if (fail_step == Step::kFlipBuffer) return nullptr;
      options.video_memory = true;
      break;
    case SurfaceRole::kVideo:
      if (video_memory_fails) return nullptr;
      options.video_memory = true;
      [[fallthrough]];
    case SurfaceRole::kSystem:
      if (fail_step == Step::kSurface && surfaces_made == fail_surface_index) return nullptr;
      ++surfaces_made;
      break;
  }
  return Surface::Create(width, height, layout_, options);
}

bool HeadlessDisplay::CreateClipper(int, int) { return fail_step != Step::kClipper; }

bool HeadlessDisplay::ShowDesktop() {
  if (fail_step == Step::kShowDesktop) return false;
  ++show_desktop_calls;
  return true;
}

bool HeadlessDisplay::Present(const Surface& front) {
  if (present_fails) return false;
  if (!keep_frame) {
    ++frames_presented;
    if (on_present) on_present(*this);
    return true;
  }
  frame_width = front.width();
  frame_height = front.height();
  frame_layout = front.layout();
  frame.resize(static_cast<size_t>(frame_width) * static_cast<size_t>(frame_height));
  for (int y = 0; y < frame_height; ++y) {
    std::memcpy(frame.data() + static_cast<size_t>(y) * frame_width, front.Row(y),
                static_cast<size_t>(frame_width) * 2);
  }
  ++frames_presented;
  if (on_present) on_present(*this);
  return true;
}

uint16_t HeadlessDisplay::FramePixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= frame_width || y >= frame_height) return 0;
  return frame[static_cast<size_t>(y) * frame_width + x];
}

bool HeadlessDisplay::SaveFramePng(const std::string& path) const {
  auto bytes = EncodePng(frame, frame_width, frame_height, frame_layout);
  return !bytes.empty() && WriteFileBytes(path, bytes);
}

bool HeadlessDisplay::SaveFrameBmp(const std::string& path) const {
  auto bytes = EncodeBmp(frame, frame_width, frame_height, frame_layout);
  return !bytes.empty() && WriteFileBytes(path, bytes);
}

}  // namespace platform::headless
