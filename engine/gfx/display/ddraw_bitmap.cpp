// Whole pictures into surfaces: Windows bitmap files (through the file layer and our own bitmap
// reader) and BMX pictures (16-bit words with a transparency bit, handed over by the sprite-file
// reader). A compose layer takes pictures larger than the screen on a larger surface, which the
// next picture loaded into it gives back first.

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "engine/files/file_io.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/pixels/bmp_reader.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/pixel_traits.h"

using platform::Surface;

namespace {

bool IsLayerId(SurfaceId id) { return id >= SURFACE_ROOT && id <= SURFACE_TEXT; }

// Closes a file-layer handle when the scope ends.
class FileGuard {
 public:
  FileGuard(FileIO& io, FileHandle h) : io_(io), h_(h) {}
  ~FileGuard() {
    if (h_ != kInvalidFile) io_.Close(h_);
  }
  FileGuard(const FileGuard&) = delete;
  FileGuard& operator=(const FileGuard&) = delete;
  FileHandle get() const { return h_; }

 private:
  FileIO& io_;
  FileHandle h_;
};

// Deletes a user surface when the scope ends.
class UserSurfaceGuard {
 public:
  UserSurfaceGuard(CDdrawFunc& ddraw, UserSurface n) : ddraw_(ddraw), n_(n) {}
  ~UserSurfaceGuard() {
    if (n_ >= 0) ddraw_.DeleteUserSurface(n_);
  }
  UserSurfaceGuard(const UserSurfaceGuard&) = delete;
  UserSurfaceGuard& operator=(const UserSurfaceGuard&) = delete;

 private:
  CDdrawFunc& ddraw_;
  UserSurface n_;
};

// The picture's rows converted into the temporary surface at (x, y). False when a row cannot be
// read in full or the surface cannot be locked.
bool ReadRows(FileIO& io, FileHandle h, const BmpInfo& info, CDdrawFunc& ddraw, Surface& target,
              int x, int y) {
  if (info.pixel_offset > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ||
      io.Seek(h, static_cast<int32_t>(info.pixel_offset), kSeekStart) != info.pixel_offset) {
    DebugPrint("LoadBitmap: cannot seek to the rows\n");
    return false;
  }
  SurfaceDesc desc;
  if (!ddraw.LockSurface(&target, &desc)) {
    DebugPrint("LoadBitmap: cannot lock the picture surface\n");
    return false;
  }
  std::vector<uint8_t> row(info.stride);
  std::vector<uint32_t> colors(static_cast<size_t>(info.width));
  const uint16_t key = static_cast<uint16_t>(ddraw.GetColorKey());
  bool ok = true;
  for (int32_t i = 0; i < info.height; ++i) {
    uint32_t got = 0;
    if (!io.Read(h, row.data(), info.stride, &got) || got != info.stride) {
      DebugPrint("LoadBitmap: row %d cannot be read\n", i);
      ok = false;
      break;
    }
    DecodeBmpRow(info, row.data(), colors.data());
    const int32_t picture_row = info.top_down ? i : info.height - 1 - i;
    auto* out = reinterpret_cast<uint16_t*>(desc.bits + static_cast<ptrdiff_t>(y + picture_row) *
                                                            desc.pitch) + x;
    for (int32_t j = 0; j < info.width; ++j) {
      const uint32_t c = colors[static_cast<size_t>(j)];
      // A 16-bit picture's cyan is put back exactly on the colour-key pixel.
      out[j] = info.bits == 16 && c == kColorKeyColorRef ? key
                                                         : platform::PackColorRef(c, desc.layout);
    }
  }
  target.Unlock();
  return ok;
}

}  // namespace

// ---- Bitmaps ----

int CDdrawFunc::LoadBitmap(const char* name, int x, int y, int fill, SurfaceId id) {
  DebugPrint("LoadBitmap Filename %s, Surface:%d\n", name != nullptr ? name : "(null)", id);
  if (name == nullptr) return 0;
  FileIO& io = files_;
  FileGuard file(io, io.Open(name, FileMode::kRead, kSearchAll, 0));
  if (file.get() == kInvalidFile) {
    DebugPrint("LoadBitmap: %s not found\n", name);
    return 0;
  }
  const uint32_t file_size = io.GetSize(file.get());
  std::vector<uint8_t> head(std::min<size_t>(file_size, kBmpHeaderBytes));
  uint32_t got = 0;
  if (!io.Read(file.get(), head.data(), static_cast<uint32_t>(head.size()), &got) ||
      got != head.size()) {
    DebugPrint("LoadBitmap: %s headers cannot be read\n", name);
    return 0;
  }
  BmpInfo info;
  if (!ParseBmpHeader(head.data(), head.size(), file_size, &info)) {
    DebugPrint("LoadBitmap: %s is not a usable bitmap\n", name);
    return 0;
  }
  if (x < 0 || y < 0) {
    DebugPrint("LoadBitmap: negative position (%d, %d)\n", x, y);
    return 0;
  }
  if (GetSurface(id) == nullptr) {
    DebugPrint("LoadBitmap: no surface %d\n", id);
    return 0;
  }
  const int64_t right = int64_t{x} + info.width;
  const int64_t bottom = int64_t{y} + info.height;
  if (right > std::numeric_limits<int32_t>::max() || bottom > std::numeric_limits<int32_t>::max()) {
    DebugPrint("Bitmap Size is too Large\n");
    return 0;
  }
  if (IsLayerId(id)) {
    if (!GiveBackLayerSurface(id, fill)) return 0;
    if ((right > kScreenWidth || bottom > kScreenHeight) &&
        !ResizeSurface(id, fill, static_cast<int>(right), static_cast<int>(bottom))) {
      return 0;
    }
  } else if (right > kScreenWidth || bottom > kScreenHeight) {
    DebugPrint("Bitmap Size is too Large\n");
    return 0;
  }
  const Rect rect{x, y, static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
  last_bitmap_rect_ = rect;

  const UserSurface temp = CreateUserSurface(rect.right, rect.bottom);
  if (temp < 0) return 0;
  UserSurfaceGuard temp_guard(*this, temp);
  Surface* picture = GetUserSurface(temp);
  if (picture == nullptr || !ReadRows(io, file.get(), info, *this, *picture, x, y)) return 0;
  if (!BltFromSurface(picture, rect, id, rect, fill)) {
    DebugPrint("Blt Failed\n");
    return 0;
  }
  return 1;
}

void CDdrawFunc::GetBitmapRect(Rect* rect) const {
  if (rect != nullptr) *rect = last_bitmap_rect_;
}

// ---- BMX pictures ----

Surface* CDdrawFunc::PrepareBmxSurface(int x, int y, int width, int height, Surface* surface,
                                       int fill) {
  if (surface == nullptr) return nullptr;
  const SurfaceId id = GetSurfaceNo(surface);
  const int64_t right = int64_t{x} + width;
  const int64_t bottom = int64_t{y} + height;
  if (IsLayerId(id)) {
    // A layer takes any position: what lies off its surface is cut when the picture is drawn.
    if (!GiveBackLayerSurface(id, fill)) return nullptr;
    if (right > kScreenWidth || bottom > kScreenHeight) {
      const auto size = [](int64_t v) {
        return static_cast<int>(std::min<int64_t>(v, std::numeric_limits<int32_t>::max()));
      };
      if (!ResizeSurface(id, fill, size(right), size(bottom))) return nullptr;
    }
    return GetSurface(id);
  }
  // Any other surface must hold the whole picture (a negative position never fits).
  if (x < 0 || y < 0 || right > surface->width() || bottom > surface->height()) {
    DebugPrint("Bmx Size is too Large (x:%d y:%d w:%d h:%d\n", x, y, width, height);
    return nullptr;
  }
  return surface;
}

int CDdrawFunc::DrawBmx(const uint16_t* pixels, int x, int y, int width, int height,
                        Surface* surface, int fill, int level) {
  // The size comes from a sprite file: it is checked before anything is allocated.
  if (pixels == nullptr || width <= 0 || height <= 0 || width > Surface::kMaxSide ||
      height > Surface::kMaxSide ||
      uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) * 2 >
          Surface::kMaxBytes) {
    DebugPrint("DrawBmx: picture size %d x %d refused\n", width, height);
    return 0;
  }
  Surface* s = PrepareBmxSurface(x, y, width, height, surface, fill);
  if (s == nullptr) return 0;

  const uint32_t red = GetPrimaryColor(0), green = GetPrimaryColor(1), blue = GetPrimaryColor(2);
  // Channel widths of a 16-bit pixel (5-6-5 or 5-5-5).
  const int rb = std::min(CountBits(red), 8), gb = std::min(CountBits(green), 8),
            bb = std::min(CountBits(blue), 8);
  const uint32_t rm = (1u << rb) - 1, gm = (1u << gb) - 1, bm = (1u << bb) - 1;
  const uint32_t k = color_key_;
  const bool darken = static_cast<uint32_t>(level) < 256;

  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::unique_ptr<uint16_t[]> buffer(new (std::nothrow) uint16_t[count]());
  if (buffer == nullptr) {
    DebugPrint("DrawBmx: no memory for %d x %d\n", width, height);
    return 0;
  }
  // A word's pixel depends only on its 15 colour bits, so a large picture converts each colour
  // once and remembers it (pictures hold far fewer colours than pixels); a small one, for which
  // the table would cost more than it saves, converts pixel by pixel.
  constexpr size_t kColours = 0x8000;
  std::unique_ptr<uint16_t[]> converted;
  std::unique_ptr<uint8_t[]> known;
  if (count >= kColours / 8) {
    converted.reset(new (std::nothrow) uint16_t[kColours]);
    known.reset(new (std::nothrow) uint8_t[kColours]());
  }
  const auto convert = [&](uint16_t p) {
    // The colour of a BMX word is RGB555; each field is rescaled to the display's width.
    constexpr platform::PixelFormat kBmx = platform::kRgb555Format;
    uint32_t r = rm * kBmx.red.Field(p) / kBmx.red.max();
    uint32_t g = gm * kBmx.green.Field(p) / kBmx.green.max();
    uint32_t b = bm * kBmx.blue.Field(p) / kBmx.blue.max();
    uint32_t q = r << (gb + bb) | g << bb | b;
    if (darken && q != k) {
      ScaleBrightness(level, r, rm, g, gm, b, bm, &r, &g, &b);
      q = r << (gb + bb) | g << bb | b;
    }
    return static_cast<uint16_t>(q);
  };
  for (size_t i = 0; i < count; ++i) {
    const uint16_t p = pixels[i];
    if ((p & 0x8000) != 0) {
      // Transparent: the colour key with fill flag 0, black otherwise.
      buffer[i] = fill == 0 ? static_cast<uint16_t>(k) : 0;
      continue;
    }
    if (converted == nullptr || known == nullptr) {
      buffer[i] = convert(p);
      continue;
    }
    if (known[p] == 0) {
      converted[p] = convert(p);
      known[p] = 1;
    }
    buffer[i] = converted[p];
  }

  // The converted picture at (x, y), cut to the surface.
  SurfaceDesc desc;
  if (!LockSurface(s, &desc)) {
    DebugPrint("DrawBmx: surface cannot be locked\n");
    return 0;
  }
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{x} + width, desc.width);
  const int64_t y1 = std::min<int64_t>(int64_t{y} + height, desc.height);
  for (int64_t row = y0; row < y1; ++row) {
    const uint16_t* from = buffer.get() + (row - y) * width + (x0 - x);
    auto* to = reinterpret_cast<uint16_t*>(desc.bits + row * desc.pitch) + x0;
    if (x1 > x0) std::copy(from, from + (x1 - x0), to);
  }
  s->Unlock();
  return 1;
}

void CDdrawFunc::ScaleBrightness(int32_t level, uint32_t red, uint32_t red_max, uint32_t green,
                                 uint32_t green_max, uint32_t blue, uint32_t blue_max,
                                 uint32_t* out_red, uint32_t* out_green, uint32_t* out_blue) {
  const auto fraction = [](uint32_t v, uint32_t max) {
    return max == 0 ? 0.0 : static_cast<double>(v) / static_cast<double>(max);
  };
  const double r = fraction(red, red_max), g = fraction(green, green_max),
               b = fraction(blue, blue_max);
  const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
  const double cr = 0.5 * r - 0.41869 * g - 0.08131 * b;
  const double cb = -0.16874 * r - 0.33126 * g + 0.5 * b;
  const double scaled = static_cast<double>(level) * luma / 256.0;
  // Each channel truncated toward zero and kept within 0..its maximum, so that it never carries
  // into its neighbour when the pixel is packed.
  const auto channel = [](double v, uint32_t max) {
    const double t = std::trunc(v * static_cast<double>(max));
    if (!(t > 0.0)) return uint32_t{0};
    return t >= static_cast<double>(max) ? max : static_cast<uint32_t>(t);
  };
  const uint32_t out_r = channel(scaled + 1.402 * cr, red_max);
  const uint32_t out_g = channel(scaled - 0.34414 * cb - 0.71414 * cr, green_max);
  const uint32_t out_b = channel(scaled + 1.772 * cb, blue_max);
  if (out_red != nullptr) *out_red = out_r;
  if (out_green != nullptr) *out_green = out_g;
  if (out_blue != nullptr) *out_blue = out_b;
}

int CDdrawFunc::CountBits(uint32_t mask) {
  int n = 0;
  for (; mask != 0; mask &= mask - 1) ++n;
  return n;
}
