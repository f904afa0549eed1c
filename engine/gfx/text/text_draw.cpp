#include "engine/gfx/text/text_draw.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/core/debug_trace.h"
#include "engine/gfx/text/text_big5.h"
#include "platform/pixel_traits.h"
#include "platform/platform.h"
#include "platform/surface.h"

namespace {

constexpr int kCellHeight = CDdrawText::kLineHeight;

struct Rgb {
  int r;
  int g;
  int b;
};

// The pixel layout of a pixel mode: RGB565 for kModeRgb565, RGB555 for any other value.
constexpr platform::PixelLayout LayoutOfMode(uint32_t mode) {
  return mode == CDdrawText::kModeRgb565 ? platform::PixelLayout::kRgb565
                                         : platform::PixelLayout::kRgb555;
}

// 8-bit channels of a 16-bit pixel, low bits zero (no bit replication).
constexpr Rgb Unpack(uint16_t p, const platform::PixelFormat& f) {
  return {static_cast<int>(f.red.To8(f.red.Field(p))),
          static_cast<int>(f.green.To8(f.green.Field(p))),
          static_cast<int>(f.blue.To8(f.blue.Field(p)))};
}

// 8-bit channels (0-255) packed, each truncated to its field.
constexpr uint16_t Pack(int r, int g, int b, const platform::PixelFormat& f) {
  return f.Pack8(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
}

// floor(a x (16 - level) / 16) + floor(b x level / 16), at most 255. Both weights are exact in
// binary, so this equals the truncated single-precision products the blend is defined by.
int BlendChannel(int a, int b, int level) {
  int v = (a * (16 - level)) / 16 + (b * level) / 16;
  return v > 255 ? 255 : v;
}

// A COLORREF (0x00BBGGRR) packed in the text object's pixel layout.
uint16_t Color16(const CDdrawText& text, uint32_t colour) {
  return text.MakeColor16(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int Level(const uint8_t* row, int column) {
  uint8_t byte = row[column >> 1];
  return (column & 1) ? (byte & 0x0F) : (byte >> 4);
}

// The part of a glyph cell (width x 24, placed at x, y) that lies inside a width x height picture:
// columns [c0, c1) and rows [r0, r1). Empty when c0 >= c1 or r0 >= r1.
struct Span {
  int c0, c1, r0, r1;
  bool Empty() const { return c0 >= c1 || r0 >= r1; }
  void Intersect(const Span& o) {
    c0 = std::max(c0, o.c0);
    c1 = std::min(c1, o.c1);
    r0 = std::max(r0, o.r0);
    r1 = std::min(r1, o.r1);
  }
};

Span CellInside(int cell_width, int x, int y, const SurfaceDesc& pic) {
  auto clamp = [](int64_t v, int lo, int hi) {
    return static_cast<int>(std::min<int64_t>(std::max<int64_t>(v, lo), hi));
  };
  Span s;
  s.c0 = clamp(-static_cast<int64_t>(x), 0, cell_width);
  s.c1 = clamp(static_cast<int64_t>(pic.width) - x, 0, cell_width);
  s.r0 = clamp(-static_cast<int64_t>(y), 0, kCellHeight);
  s.r1 = clamp(static_cast<int64_t>(pic.height) - y, 0, kCellHeight);
  return s;
}

uint16_t* PixelAt(const SurfaceDesc& pic, int64_t x, int64_t y) {
  return reinterpret_cast<uint16_t*>(pic.bits + y * pic.pitch + 2 * x);
}

// Rewrites every pixel of the cell that lies inside both pictures from the background: covered
// pixels blend the background with the colour, uncovered ones copy it.
// Built once per layout, so the channel shifts and masks of the inner loop are constants.
template <platform::PixelLayout kLayout>
void BlendCellOverBackground(const uint8_t* glyph, int cell_width, int x, int y, int bx, int by,
                             const SurfaceDesc& dst, const SurfaceDesc& bg, uint16_t colour) {
  constexpr platform::PixelFormat kFormat = platform::FormatOf(kLayout);
  if (!CDdrawText::DescUsable(dst) || !CDdrawText::DescUsable(bg)) return;
  Span span = CellInside(cell_width, x, y, dst);
  span.Intersect(CellInside(cell_width, bx, by, bg));
  if (span.Empty()) return;

  // The colour's share per level, per channel.
  Rgb c = Unpack(colour, kFormat);
  Rgb share[16];
  for (int l = 0; l < 16; ++l) share[l] = {c.r * l / 16, c.g * l / 16, c.b * l / 16};

  const int row_bytes = cell_width / 2;
  for (int r = span.r0; r < span.r1; ++r) {
    const uint8_t* row = glyph + r * row_bytes;
    uint16_t* out = PixelAt(dst, static_cast<int64_t>(x) + span.c0, static_cast<int64_t>(y) + r);
    const uint16_t* in =
        PixelAt(bg, static_cast<int64_t>(bx) + span.c0, static_cast<int64_t>(by) + r);
    for (int col = span.c0; col < span.c1; ++col, ++out, ++in) {
      int level = Level(row, col);
      uint16_t b = *in;
      if (level == 0) {
        *out = b;
        continue;
      }
      Rgb p = Unpack(b, kFormat);
      const Rgb& s = share[level];
      int w = 16 - level;
      *out = Pack(std::min(255, p.r * w / 16 + s.r), std::min(255, p.g * w / 16 + s.g),
                  std::min(255, p.b * w / 16 + s.b), kFormat);
    }
  }
}

// The cell blend in the layout of a pixel mode.
void BlendCellOverBackground(const uint8_t* glyph, int cell_width, int x, int y, int bx, int by,
                             const SurfaceDesc& dst, const SurfaceDesc& bg, uint16_t colour,
                             uint32_t mode) {
  if (LayoutOfMode(mode) == platform::PixelLayout::kRgb565) {
    BlendCellOverBackground<platform::PixelLayout::kRgb565>(glyph, cell_width, x, y, bx, by, dst,
                                                            bg, colour);
  } else {
    BlendCellOverBackground<platform::PixelLayout::kRgb555>(glyph, cell_width, x, y, bx, by, dst,
                                                            bg, colour);
  }
}

// Writes the covered pixels of the cell that lie inside the picture: level l becomes lut[l].
void PaintCoveredPixels(const uint8_t* glyph, int cell_width, int x, int y,
                        const SurfaceDesc& dst, const uint16_t (&lut)[16]) {
  if (!CDdrawText::DescUsable(dst)) return;
  Span span = CellInside(cell_width, x, y, dst);
  if (span.Empty()) return;
  const int row_bytes = cell_width / 2;
  for (int r = span.r0; r < span.r1; ++r) {
    const uint8_t* row = glyph + r * row_bytes;
    uint16_t* out = PixelAt(dst, static_cast<int64_t>(x) + span.c0, static_cast<int64_t>(y) + r);
    for (int col = span.c0; col < span.c1; ++col, ++out) {
      int level = Level(row, col);
      if (level != 0) *out = lut[level];
    }
  }
}

// The glyph data file of the working directory, read whole into `out` up to `limit` bytes.
// Returns false (with the cause in `failure`, also traced) when it cannot be opened or read;
// `size` receives the file's full length.
bool ReadFontFile(platform::Files* files, const char* name, size_t limit, std::vector<uint8_t>& out,
                  int64_t& size, std::string& failure) {
  out.clear();
  size = 0;
  const auto fail = [&](const std::string& cause) {
    failure = std::string(name) + " " + cause;
    DebugPrint("CDdrawText::LoadFont %s\n", failure.c_str());
    out.clear();
    return false;
  };
  if (files == nullptr) return fail("cannot be opened: no file access");
  intptr_t handle = files->Open(name, false);
  if (handle < 0) {
    switch (files->KindOf(name)) {
      case platform::Files::Kind::kMissing: return fail("is missing");
      case platform::Files::Kind::kDirectory: return fail("is a directory");
      case platform::Files::Kind::kOther: return fail("is not a regular file");
      case platform::Files::Kind::kFile: return fail("cannot be opened");
    }
  }
  size = files->Size(handle);
  if (size < 0) {
    files->Close(handle);
    return fail("has no size");
  }
  size_t want = static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(limit)));
  out.resize(want);
  size_t got = 0;
  while (got < want) {
    uint32_t n = 0;
    uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(want - got, 1u << 20));
    if (!files->Read(handle, out.data() + got, chunk, &n)) {
      files->Close(handle);
      return fail("cannot be read");
    }
    if (n == 0) break;  // the file ended early (it shrank since its size was taken)
    got += n;
  }
  out.resize(got);
  files->Close(handle);
  return true;
}

}  // namespace

// --- Colour helpers --------------------------------------------------------------------------

uint16_t CDdrawText::MakeColor16(uint8_t red, uint8_t green, uint8_t blue) const {
  return Pack(red, green, blue, platform::FormatOf(LayoutOfMode(pixel_mode_)));
}

uint16_t CDdrawText::BlendPixel16(uint16_t background, uint16_t colour, int level) const {
  const platform::PixelFormat& format = platform::FormatOf(LayoutOfMode(pixel_mode_));
  Rgb a = Unpack(background, format);
  Rgb b = Unpack(colour, format);
  return Pack(BlendChannel(a.r, b.r, level), BlendChannel(a.g, b.g, level),
              BlendChannel(a.b, b.b, level), format);
}

uint32_t CDdrawText::BlendColorRef(uint32_t a, uint32_t b, int level) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int v = BlendChannel(static_cast<int>((a >> shift) & 0xFF),
                         static_cast<int>((b >> shift) & 0xFF), level);
    out |= static_cast<uint32_t>(v) << shift;
  }
  return out;
}

uint16_t CDdrawText::BlendRgb16(int red_a, int green_a, int blue_a, int red_b, int green_b,
                                int blue_b, int level) const {
  return MakeColor16(static_cast<uint8_t>(BlendChannel(red_a, red_b, level)),
                     static_cast<uint8_t>(BlendChannel(green_a, green_b, level)),
                     static_cast<uint8_t>(BlendChannel(blue_a, blue_b, level)));
}

int CDdrawText::CompareCode(const void* a, const void* b) {
  uint16_t x;
  uint16_t y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// --- Measuring -------------------------------------------------------------------------------

uint32_t CDdrawText::GetTextWidth(const char* text, int length) {
  uint32_t height = kLineHeight;
  uint32_t widest = 0;
  uint32_t line = 0;
  if (text != nullptr) {
    for (int i = 0; i < length; ++i) {
      uint8_t c = static_cast<uint8_t>(text[i]);
      if (c == '\t') {
        line += 96;
      } else if (c & 0x80) {
        line += 24;
        ++i;
      } else if (c == '\n') {
        height += kLineHeight;
        widest = std::max(widest, line);
        line = 0;
      } else if (c >= 32) {
        line += 12;
      }
    }
  }
  uint32_t width = std::max(widest, line);
  return (height << 16) | (width & 0xFFFF);
}

// --- Glyph look-up ---------------------------------------------------------------------------

int CDdrawText::FindCode(uint16_t code) const {
  const void* hit = std::bsearch(&code, codes_.data(), code_count_, sizeof(uint16_t), CompareCode);
  if (hit == nullptr) return -1;
  return static_cast<int>(static_cast<const uint16_t*>(hit) - codes_.data());
}

const uint8_t* CDdrawText::Glyph24(const char* ch) const {
  uint16_t code =
      static_cast<uint16_t>((static_cast<uint8_t>(ch[0]) << 8) | static_cast<uint8_t>(ch[1]));
  int index = FindCode(code);
  if (index < 0) return nullptr;
  size_t end = (static_cast<size_t>(index) + 1) * kGlyph24Bytes;
  if (end > glyph24_.size()) return nullptr;  // the glyph file is shorter than the code table
  return glyph24_.data() + end - kGlyph24Bytes;
}

const uint8_t* CDdrawText::Glyph12(uint8_t byte) const {
  size_t end = (static_cast<size_t>(byte) - 32 + 1) * kGlyph12Bytes;
  if (end > glyph12_.size()) return nullptr;  // not loaded, or the file is short
  return glyph12_.data() + end - kGlyph12Bytes;
}

// --- Glyph operations ------------------------------------------------------------------------

int CDdrawText::DrawGlyph24(const char* ch, int x, int y, int bx, int by,
                            const SurfaceDesc& destination, const SurfaceDesc& background,
                            uint32_t colour) const {
  const uint8_t* glyph = Glyph24(ch);
  if (glyph == nullptr) return kMissing24;
  uint16_t c = Color16(*this, colour);
  BlendCellOverBackground(glyph, 24, x, y, bx, by, destination, background, c,
                          pixel_mode_);
  return kAdvance24;
}

int CDdrawText::DrawGlyph12(const char* ch, int x, int y, int bx, int by,
                            const SurfaceDesc& destination, const SurfaceDesc& background,
                            uint32_t colour) const {
  uint8_t byte = static_cast<uint8_t>(ch[0]);
  if (byte < 32 || byte > 127) return 0;
  const uint8_t* glyph = Glyph12(byte);
  if (glyph != nullptr) {
    uint16_t c = Color16(*this, colour);
    BlendCellOverBackground(glyph, 12, x, y, bx, by, destination, background, c,
                            pixel_mode_);
  }
  return kAdvance12;
}

namespace {

// The pixel each level writes when the partner is the fixed light grey.
void GreyLut(const CDdrawText& text, uint32_t colour, uint16_t (&lut)[16]) {
  uint16_t grey = text.MakeColor16(0xF0, 0xF0, 0xF0);
  uint16_t c = Color16(text, colour);
  for (int l = 0; l < 16; ++l) lut[l] = text.BlendPixel16(grey, c, l);
}

}  // namespace

int CDdrawText::DrawGlyph24Ex(const char* ch, int x, int y, const SurfaceDesc& destination,
                              uint32_t colour) const {
  const uint8_t* glyph = Glyph24(ch);
  if (glyph == nullptr) return kMissing24;
  uint16_t lut[16];
  GreyLut(*this, colour, lut);
  PaintCoveredPixels(glyph, 24, x, y, destination, lut);
  return kAdvance24;
}

int CDdrawText::DrawGlyph12Ex(const char* ch, int x, int y, const SurfaceDesc& destination,
                              uint32_t colour) const {
  uint8_t byte = static_cast<uint8_t>(ch[0]);
  if (byte < 32 || byte > 127) return 0;
  const uint8_t* glyph = Glyph12(byte);
  if (glyph != nullptr) {
    uint16_t lut[16];
    GreyLut(*this, colour, lut);
    PaintCoveredPixels(glyph, 12, x, y, destination, lut);
  }
  return kAdvance12;
}

// --- String draws ----------------------------------------------------------------------------

int CDdrawText::DrawTextToDesc(const char* text, int length, int x, int y, int background_x,
                               int background_y, const SurfaceDesc& destination,
                               const SurfaceDesc* background, uint32_t colour) {
  if (text == nullptr || !DescUsable(destination)) return 0;
  if (background != nullptr && !DescUsable(*background)) return 0;
  int64_t pen = x;
  for (int i = 0; i < length;) {
    // Every later glyph lies right of the destination: nothing more can show.
    if (pen >= destination.width) break;
    int px = static_cast<int>(pen);
    int bx = static_cast<int>(std::clamp<int64_t>(pen + background_x, INT32_MIN, INT32_MAX));
    int by = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(y) + background_y,
                                                  INT32_MIN, INT32_MAX));
    int advance = background != nullptr
                      ? DrawGlyph12(text + i, px, y, bx, by, destination, *background, colour)
                      : DrawGlyph12Ex(text + i, px, y, destination, colour);
    if (advance != 0) {
      pen += advance;
      ++i;
      continue;
    }
    // A two-byte code; past the given length the pair byte is the terminating NUL.
    char pair[2] = {text[i], i + 1 < length ? text[i + 1] : '\0'};
    if (background != nullptr) {
      DrawGlyph24(pair, px, y, bx, by, destination, *background, colour);
    } else {
      DrawGlyph24Ex(pair, px, y, destination, colour);
    }
    pen += kAdvance24;  // also for a missing glyph: a blank cell
    i += 2;
  }
  return 0;
}

int CDdrawText::DrawGlyphBuf(const char* ch, int x, int y, const SurfaceDesc& destination,
                             const SurfaceDesc& source, uint32_t colour) const {
  const uint8_t* glyph = Glyph24(ch);
  if (glyph == nullptr) return kMissing24;
  if (!DescUsable(destination) || !DescUsable(source)) return 0;
  uint16_t lut[16];
  for (int l = 0; l < 16; ++l) lut[l] = Color16(*this, BlendColorRef(kLightGrey, colour, l));
  Span span = CellInside(24, x, y, destination);
  // Uncovered pixels copy the source pixel; where the source has none they are left alone.
  Span src_span = CellInside(24, x, y, source);
  for (int r = span.r0; r < span.r1; ++r) {
    const uint8_t* row = glyph + r * 12;
    for (int col = span.c0; col < span.c1; ++col) {
      int level = Level(row, col);
      uint16_t* out =
          PixelAt(destination, static_cast<int64_t>(x) + col, static_cast<int64_t>(y) + r);
      if (level != 0) {
        *out = lut[level];
      } else if (col >= src_span.c0 && col < src_span.c1 && r >= src_span.r0 && r < src_span.r1) {
        *out = *PixelAt(source, static_cast<int64_t>(x) + col, static_cast<int64_t>(y) + r);
      }
    }
  }
  return 0;
}

int CDdrawText::DrawStringToDesc(const char* text, int length, int x, int y,
                                 const SurfaceDesc& destination, const SurfaceDesc& source,
                                 uint32_t colour) {
  if (text == nullptr || !DescUsable(destination) || !DescUsable(source)) return 0;
  int64_t pen = x;
  for (int i = 0; i < length;) {
    if (pen >= destination.width) break;
    if (static_cast<uint8_t>(text[i]) & 0x80) {
      char pair[2] = {text[i], i + 1 < length ? text[i + 1] : '\0'};
      DrawGlyphBuf(pair, static_cast<int>(pen), y, destination, source, colour);
      pen += kAdvance24;
      i += 2;
    } else {
      pen += kAdvance12;
      ++i;
    }
  }
  return 0;
}

// --- Coverage of a line ---------------------------------------------------------------------

bool CDdrawText::LineCoverage(std::string_view big5, int& width, std::vector<uint8_t>& levels) const {
  struct Cell {
    const uint8_t* glyph;
    int width;
  };
  std::vector<Cell> cells;
  width = 0;
  for (size_t i = 0; i < big5.size();) {
    const size_t bytes = Big5CharBytes(big5.data(), big5.size(), i);
    const auto first = static_cast<uint8_t>(big5[i]);
    const uint8_t* glyph = nullptr;
    if (bytes == 2) {
      glyph = Glyph24(big5.data() + i);
    } else if (first >= 32 && first <= 127) {
      glyph = Glyph12(first);
    }
    if (glyph == nullptr) return false;
    const int cell_width = bytes == 2 ? kAdvance24 : kAdvance12;
    cells.push_back({glyph, cell_width});
    width += cell_width;
    i += bytes;
  }
  levels.assign(static_cast<size_t>(width) * kLineHeight, 0);
  int left = 0;
  for (const Cell& cell : cells) {
    for (int r = 0; r < kLineHeight; ++r) {
      const uint8_t* row = cell.glyph + r * (cell.width / 2);
      for (int c = 0; c < cell.width; ++c) {
        levels[static_cast<size_t>(r * width + left + c)] = static_cast<uint8_t>(Level(row, c));
      }
    }
    left += cell.width;
  }
  return true;
}

// --- Surface wrappers ------------------------------------------------------------------------

namespace {

// Holds the lock of one surface for a string draw.
class ScopedLock {
 public:
  explicit ScopedLock(platform::Surface* surface) : surface_(surface) {
    if (surface_ != nullptr && !surface_->Lock(desc_)) {
      DebugPrint("CDdrawText: surface lock failed\n");
      surface_ = nullptr;
    }
  }
  ~ScopedLock() {
    if (surface_ != nullptr) surface_->Unlock();
  }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

  bool ok() const { return surface_ != nullptr; }
  const SurfaceDesc& desc() const { return desc_; }

 private:
  platform::Surface* surface_;
  SurfaceDesc desc_;
};

}  // namespace

int CDdrawText::DrawTextToSurface(const char* text, int length, int x, int y, int background_x,
                                  int background_y, platform::Surface* destination,
                                  platform::Surface* background, ColorRef colour) {
  if (text == nullptr || destination == nullptr) return 0;
  ScopedLock dst(destination);
  if (!dst.ok()) return 0;
  if (background == nullptr) {
    return DrawTextToDesc(text, length, x, y, background_x, background_y, dst.desc(), nullptr,
                          colour);
  }
  ScopedLock bg(background);
  if (!bg.ok()) return 0;
  return DrawTextToDesc(text, length, x, y, background_x, background_y, dst.desc(), &bg.desc(),
                        colour);
}

int CDdrawText::DrawString(const char* text, int length, int x, int y,
                           platform::Surface* destination, platform::Surface* source,
                           ColorRef colour) {
  if (text == nullptr || destination == nullptr || source == nullptr) return 0;
  ScopedLock dst(destination);
  if (!dst.ok()) return 0;
  ScopedLock src(source);
  if (!src.ok()) return 0;
  return DrawStringToDesc(text, length, x, y, dst.desc(), src.desc(), colour);
}

// --- Loading ---------------------------------------------------------------------------------

int CDdrawText::LoadFont() {
  FreeFont();
  code_count_ = 0;
  codes_.fill(0);
  load_failure_.clear();

  platform::Files* files = seams_.files;
  std::vector<uint8_t> bytes;
  int64_t size = 0;
  // A font without a single glyph draws nothing: the game would run without its text.
  const auto empty = [this](const char* name, const char* what) {
    load_failure_ = std::string(name) + " holds no " + what;
    DebugPrint("CDdrawText::LoadFont %s\n", load_failure_.c_str());
    return 0;
  };

  // The code table: kept to its fixed size.
  if (!ReadFontFile(files, "CHT.DAT", kCodeTableSize * sizeof(uint16_t), bytes, size,
                    load_failure_)) {
    return 0;
  }
  if (size / 2 > kCodeTableSize) {
    DebugPrint("CDdrawText::LoadFont CHT.DAT holds %lld codes, the first %d are kept\n",
               static_cast<long long>(size / 2), kCodeTableSize);
  }
  code_count_ = static_cast<uint32_t>(bytes.size() / 2);
  for (uint32_t i = 0; i < code_count_; ++i) {
    codes_[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  if (code_count_ == 0) return empty("CHT.DAT", "codes");

  // Glyph data past the last reachable glyph is never read, so none is kept.
  if (!ReadFontFile(files, "ENG12.DAT", kGlyph12Count * kGlyph12Bytes, glyph12_, size,
                    load_failure_)) {
    return 0;
  }
  if (glyph12_.size() < kGlyph12Bytes) return empty("ENG12.DAT", "glyphs");
  glyph12_loaded_ = true;
  if (glyph12_.size() < static_cast<size_t>(kGlyph12Count) * kGlyph12Bytes) {
    DebugPrint("CDdrawText::LoadFont ENG12.DAT holds %zu of %d glyphs\n",
               glyph12_.size() / kGlyph12Bytes, kGlyph12Count);
  }

  if (!ReadFontFile(files, "CHT24.DAT", static_cast<size_t>(kCodeTableSize) * kGlyph24Bytes,
                    glyph24_, size, load_failure_)) {
    return 0;
  }
  if (glyph24_.size() < kGlyph24Bytes) return empty("CHT24.DAT", "glyphs");
  glyph24_loaded_ = true;
  if (glyph24_.size() / kGlyph24Bytes < code_count_) {
    DebugPrint("CDdrawText::LoadFont CHT24.DAT holds %zu glyphs for %u codes\n",
               glyph24_.size() / kGlyph24Bytes, code_count_);
  }
  return 1;
}

void CDdrawText::FreeFont() {
  glyph12_.clear();
  glyph12_.shrink_to_fit();
  glyph12_loaded_ = false;
  glyph24_.clear();
  glyph24_.shrink_to_fit();
  glyph24_loaded_ = false;
}
