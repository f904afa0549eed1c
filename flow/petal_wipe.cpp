#include "flow/petal_wipe.h"

#include <algorithm>

#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/surface.h"

namespace {
constexpr int kLines = 480;
constexpr int kLineEnd = 640;
}  // namespace

size_t DrawPetalFrame(std::span<const uint8_t> data, size_t pos, const SurfaceDesc& lock,
                      uint16_t colour) {
  const size_t end = data.size();
  const int lines = std::min(kLines, static_cast<int>(lock.height));
  const int paint_end = std::min(kLineEnd, static_cast<int>(lock.width));
  for (int y = 0; y < kLines; ++y) {
    int x = 0;
    bool painted = false;
    while (x < kLineEnd) {
      if (pos >= end) return end + 1;
      const uint8_t run = data[pos];
      if (run == kPetalEnd) return pos + 1;
      ++pos;
      if (painted && y < lines && lock.bits != nullptr) {
        const int stop = std::min(x + static_cast<int>(run), paint_end);
        auto* row = reinterpret_cast<uint16_t*>(lock.bits + static_cast<ptrdiff_t>(y) * lock.pitch);
        for (int px = x; px < stop; ++px) row[px] = colour;
      }
      x += run;
      painted = !painted;
    }
  }
  return pos + 1;
}

void PetalWipe::Start(FileIO& files, CDdrawFunc& ddraw) {
  Release();
  done_ = false;
  next_frame_ = 0;
  pos_ = 0;
  FileHandle file = files.Open(kPetalWipeFile);
  if (file == kInvalidFile) {
    DebugPrint("PetalWipe: %s not found\n", kPetalWipeFile);
    done_ = true;
    return;
  }
  const uint32_t size = files.GetSize(file);
  data_.assign(static_cast<size_t>(size) + 1, kPetalEnd);
  bool failed = false;
  const size_t got = files.ReadFully(file, data_.data(), size, &failed);
  files.Close(file);
  if (failed || got != size) {
    DebugPrint("PetalWipe: %s could not be read\n", kPetalWipeFile);
    Release();
    return;
  }
  colour_ = static_cast<uint16_t>(ddraw.ColorMatch(SURFACE_FC, kPetalColour));
}

bool PetalWipe::Step(CDdrawFunc& ddraw, int32_t frames) {
  if (done_) return true;
  if (frames < next_frame_ * kPetalFrameSpacing) return false;
  ddraw.SetVisible(SURFACE_TEXT, 1);
  ddraw.ClearSurface(SURFACE_TEXT, 1);
  platform::Surface* surface = ddraw.GetSurface(SURFACE_TEXT);
  SurfaceDesc lock{};
  if (surface != nullptr && ddraw.LockSurface(surface, &lock) != 0) {
    pos_ = DrawPetalFrame(data_, pos_, lock, colour_);
    surface->Unlock();
  } else {
    // Nothing to paint on: the data still steps, so the wipe keeps its length.
    pos_ = DrawPetalFrame(data_, pos_, SurfaceDesc{}, colour_);
  }
  ddraw.SetUpdate(SURFACE_TEXT, 1);
  ++next_frame_;
  if (pos_ > data_.size()) {
    DebugPrint("PetalWipe: %s ends inside frame %d\n", kPetalWipeFile, next_frame_ - 1);
    Release();
  } else if (next_frame_ >= kPetalFrames) {
    Release();
  }
  return done_;
}

void PetalWipe::Release() {
  data_.clear();
  data_.shrink_to_fit();
  done_ = true;
}
