#include "minigames/framework/minigame_surface.h"

#include <algorithm>
#include <cstring>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/files/lzss.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/blend_blit.h"
#include "engine/gfx/pixels/bmp_reader.h"
#include "engine/gfx/pixels/surface_pixels.h"
#include "game/macro_vars.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_picture.h"
#include "platform/surface.h"

using platform::PixelLayout;
using platform::Surface;
using platform::SurfaceLock;

namespace {

constexpr Rect kScreenRect{0, 0, kScreenWidth, kScreenHeight};
constexpr uint32_t kBmpMaxBytes = 2u << 20;
// The largest sprite file the loader reads whole.
constexpr uint32_t kSprMaxBytes = 32u << 20;
constexpr int kPaletteEntries = 2048;

MgScreen& Screen() { return Minigame().screen; }

bool ValidSlot(int32_t slot) { return slot >= 0 && slot < mg::kSlotCount; }

// The slot's surface, null when the slot is empty or out of range.
Surface* SlotSurface(int32_t slot) {
  MgSurfaceSlot* s = mg_slot(slot);
  return s != nullptr ? s->surface : nullptr;
}

Rect Intersect(Rect a, const Rect& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a;
}

bool Empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

// Locks a surface for the lifetime of the object.
class Locked {
 public:
  explicit Locked(Surface* surface) : surface_(surface) {
    ok_ = surface_ != nullptr && surface_->Lock(lock_);
  }
  ~Locked() {
    if (ok_) surface_->Unlock();
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  bool ok() const { return ok_; }
  const SurfaceLock& lock() const { return lock_; }
  uint16_t* Row(int y) const { return reinterpret_cast<uint16_t*>(lock_.bits + y * lock_.pitch); }

 private:
  Surface* surface_;
  SurfaceLock lock_;
  bool ok_ = false;
};

uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t GetBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// A part of a sprite file: its place in the file, checked to lie inside it.
struct SprPartRange {
  uint32_t offset = 0;
  uint32_t size = 0;
};

bool ReadDirEntry(const std::vector<uint8_t>& file, int index, SprPartRange* out) {
  const size_t at = 16 + 16 * static_cast<size_t>(index);
  if (file.size() < at + 16) return false;
  out->offset = GetBe32(file.data() + at);
  out->size = GetBe32(file.data() + at + 4);
  return uint64_t{out->offset} + out->size <= file.size();
}

}  // namespace

// ---- Screen ----

int mg_screen_open() {
  mg_screen_close();
  AppHideCursor();
  MinigameContext& m = Minigame();
  m.slots.fill(MgSurfaceSlot{});
  MgScreen& s = m.screen;
  s.open = 1;
  CDdrawFunc& dd = Ctx().ddraw;
  dd.SaveLayerState(&s.saved_layers);
  s.saved_clear_flag = dd.GetClearFlag();
  s.saved_flip_mode = dd.GetFlipMode();
  dd.SetFlipDirect();
  dd.SetClearFlag(0);
  if (dd.GetVramToVramDirectUse() != 0) {
    for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) dd.SetVisible(id, 0);
    s.present_layer = SURFACE_BACK;
    s.memory = 0;
  } else {
    dd.SetVisible(SURFACE_ROOT, 1);
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) dd.SetVisible(id, 0);
    s.present_layer = SURFACE_ROOT;
    s.memory = 1;
  }
  MgSurfaceSlot& screen = m.slots[mg::kSlotScreen];
  screen.surface = dd.GetSurface(s.present_layer);
  screen.handle = -1;
  screen.width = screen.surface != nullptr ? screen.surface->width() : 0;
  screen.height = screen.surface != nullptr ? screen.surface->height() : 0;
  screen.clip = kScreenRect;
  s.target = mg::kSlotScreen;
  s.color_key = static_cast<uint16_t>(dd.GetColorKey());
  s.clip = kScreenRect;
  mg_fill(mg::kSlotScreen, 0, 0, kScreenWidth, kScreenHeight, 0);
  mg_present();
  mg_fill(mg::kSlotScreen, 0, 0, kScreenWidth, kScreenHeight, 0);
  if (s.font_made == 0) {
    s.font = MgFont{};
    s.font_made = 1;
  }
  return 1;
}

void mg_screen_close() {
  MinigameContext& m = Minigame();
  MgScreen& s = m.screen;
  if (s.open != 0) {
    s.clip = kScreenRect;
    mg_fill(mg::kSlotScreen, 0, 0, kScreenWidth, kScreenHeight, 0);
    mg_present();
    mg_fill(mg::kSlotScreen, 0, 0, kScreenWidth, kScreenHeight, 0);
  }
  for (int32_t i = 0; i < mg::kSlotScreen; ++i) mg_surf_free(i);
  mg_nc_release();
  mg_face_release();
  if (s.open != 0) {
    CDdrawFunc& dd = Ctx().ddraw;
    dd.SetClearFlag(s.saved_clear_flag);
    dd.RestoreLayerState(&s.saved_layers);
    dd.SetFlipMode(s.saved_flip_mode);
    m.slots[mg::kSlotScreen] = MgSurfaceSlot{};
    s.open = 0;
    AppShowCursor();
  }
  s.font_made = 0;
  mg_key_mode(0);
}

void mg_present() {
  const MgScreen& s = Screen();
  if (s.open != 0) Ctx().ddraw.SetUpdate(s.present_layer, 1);
}

void mg_set_clip(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Screen().clip = Rect{left, top, right, bottom};
}

void mg_set_target(int32_t slot) { Screen().target = slot; }
int32_t mg_get_target() { return Screen().target; }
uint16_t mg_color_key() { return Screen().color_key; }
const MgFont* mg_font() { return Screen().font_made != 0 ? &Screen().font : nullptr; }

PixelLayout mg_layout() {
  return Ctx().ddraw.GetColorKey() == 0x07FF ? PixelLayout::kRgb565 : PixelLayout::kRgb555;
}

int mg_layout_bits() { return mg_layout() == PixelLayout::kRgb565 ? 16 : 15; }

// ---- Slots ----

MgSurfaceSlot* mg_slot(int32_t slot) {
  return ValidSlot(slot) ? &Minigame().slots[static_cast<size_t>(slot)] : nullptr;
}

int mg_surf_create(int32_t slot, int32_t width, int32_t height, int32_t option) {
  if (!ValidSlot(slot) || slot == mg::kSlotScreen) return 0;
  mg_surf_free(slot);
  if (width <= 0 || height <= 0 || width > Surface::kMaxSide || height > Surface::kMaxSide) {
    DebugPrint("mg_surf_create: slot %d, size %d x %d refused\n", slot, width, height);
    return 0;
  }
  int64_t held = 0;
  for (const MgSurfaceSlot& other : Minigame().slots) {
    if (other.handle >= 0) held += int64_t{other.width} * other.height;
  }
  if (held + int64_t{width} * height > kMgSlotPixelBudget) {
    DebugPrint("mg_surf_create: slot %d, %d x %d: past the slots' pixel budget (%lld held)\n",
               slot, width, height, static_cast<long long>(held));
    return 0;
  }
  CDdrawFunc& dd = Ctx().ddraw;
  const int memory = (option & 1) != 0 ? 1 : Screen().memory;
  const UserSurface handle = dd.CreateUserSurfaceEx(width, height, memory);
  Surface* surface = dd.GetUserSurface(handle);
  if (surface == nullptr) {
    DebugPrint("mg_surf_create: slot %d, %d x %d: no surface\n", slot, width, height);
    return 0;
  }
  dd.SetColorKey(surface);
  MgSurfaceSlot& s = *mg_slot(slot);
  s.surface = surface;
  s.handle = handle;
  s.width = surface->width();
  s.height = surface->height();
  s.clip = Rect{0, 0, s.width, s.height};
  return 1;
}

void mg_surf_free(int32_t slot) {
  if (!ValidSlot(slot) || slot == mg::kSlotScreen) return;
  MgSurfaceSlot& s = *mg_slot(slot);
  if (s.handle >= 0 && HasCtx()) Ctx().ddraw.DeleteUserSurface(s.handle);
  s = MgSurfaceSlot{};
}

int mg_surf_lost(int32_t slot) {
  if (slot == mg::kSlotScreen) return 0;
  const Surface* surface = SlotSurface(slot);
  return surface != nullptr && surface->IsLost() ? 1 : 0;
}

int mg_surf_exists(int32_t slot) { return SlotSurface(slot) != nullptr ? 1 : 0; }

int mg_surf_size(int32_t slot, int32_t* width, int32_t* height) {
  const MgSurfaceSlot* s = mg_slot(slot);
  if (s == nullptr || s->surface == nullptr) return 0;
  if (width != nullptr) *width = s->width;
  if (height != nullptr) *height = s->height;
  return 1;
}

int mg_pixel_set(int32_t slot, int32_t x, int32_t y, ColorRef rgb) {
  Surface* surface = SlotSurface(slot);
  if (surface == nullptr) return 0;
  if (x < 0 || y < 0 || x >= surface->width() || y >= surface->height()) return 0;
  Locked locked(surface);
  if (!locked.ok()) return 0;
  locked.Row(y)[x] = platform::PackColorRef(rgb, surface->layout());
  return 1;
}

uint32_t mg_pixel_get(int32_t slot, int32_t x, int32_t y) {
  const MgSurfaceSlot* s = mg_slot(slot);
  if (s == nullptr || s->surface == nullptr) return 0;
  const Rect bounds = Intersect(s->clip, Rect{0, 0, s->surface->width(), s->surface->height()});
  if (x < bounds.left || y < bounds.top || x >= bounds.right || y >= bounds.bottom) {
    return mg_color_key();
  }
  Locked locked(s->surface);
  if (!locked.ok()) return mg_color_key();
  return locked.Row(y)[x];
}

// ---- Blits ----

int mg_bright(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height, int32_t src,
              int32_t sx, int32_t sy, int32_t level) {
  Surface* d = SlotSurface(dst);
  Surface* s = SlotSurface(src);
  if (d == nullptr || s == nullptr) return 0;
  // Clip the destination rectangle, moving the source with it, then against the source.
  Rect r = Intersect(Rect{x, y, x + width, y + height}, Screen().clip);
  r = Intersect(r, Rect{0, 0, d->width(), d->height()});
  r = Intersect(r, Rect{x - sx, y - sy, x - sx + s->width(), y - sy + s->height()});
  if (Empty(r)) return 1;
  Locked dl(d);
  if (!dl.ok()) return 0;
  if (s == d) {
    BlitBright16(dl.lock().bits, dl.lock().pitch, r.left, r.top, r.right - r.left,
                 r.bottom - r.top, dl.lock().bits, dl.lock().pitch, sx + (r.left - x),
                 sy + (r.top - y), level, mg_layout_bits());
    return 1;
  }
  Locked sl(s);
  if (!sl.ok()) return 0;
  BlitBright16(dl.lock().bits, dl.lock().pitch, r.left, r.top, r.right - r.left, r.bottom - r.top,
               sl.lock().bits, sl.lock().pitch, sx + (r.left - x), sy + (r.top - y), level,
               d->layout() == PixelLayout::kRgb565 ? 16 : 15);
  return 1;
}

int mg_fill(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height, ColorRef colour) {
  Surface* d = SlotSurface(dst);
  if (d == nullptr) return 0;
  Rect r = Intersect(Rect{x, y, x + width, y + height}, Screen().clip);
  r = Intersect(r, Rect{0, 0, d->width(), d->height()});
  if (Empty(r)) return 1;
  if (d->IsLost()) return 0;
  FillPixels(*d, r, platform::PackColorRef(colour, d->layout()));
  return 1;
}

// ---- Loaders ----

MgRead mg_read_file(const char* path, uint32_t places, uint32_t limit, std::vector<uint8_t>* out,
                    bool* larger) {
  out->clear();
  if (larger != nullptr) *larger = false;
  if (path == nullptr) return MgRead::kMissing;
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(path, FileMode::kRead, places, 0);
  if (h == kInvalidFile) return io.Exist(path, places) != 0 ? MgRead::kError : MgRead::kMissing;
  const uint32_t size = io.GetSize(h);
  if (larger != nullptr) *larger = size > limit;
  out->resize(std::min(size, limit));
  bool failed = false;
  const size_t have = io.ReadFully(h, out->data(), out->size(), &failed);
  io.Close(h);
  out->resize(have);
  return failed ? MgRead::kError : MgRead::kOk;
}

namespace {

// The frame's pixels into a new surface in the slot; false when the data does not hold them.
bool BuildPalettedFrame(int32_t slot, int32_t option, const std::vector<uint8_t>& file,
                        const SprPartRange& palette, uint32_t width, uint32_t height, bool eight_bit,
                        uint32_t base, const uint8_t* data, uint32_t data_size) {
  const uint64_t row_bytes = eight_bit ? width : (uint64_t{width} + 1) / 2;
  if (row_bytes * height > data_size) {
    DebugPrint("mg_load_spr: %u x %u frame needs %llu bytes, has %u\n", width, height,
               static_cast<unsigned long long>(row_bytes * height), data_size);
    return false;
  }
  if (!mg_surf_create(slot, static_cast<int32_t>(width * 2), static_cast<int32_t>(height * 2),
                      option)) {
    return false;
  }
  Surface* surface = SlotSurface(slot);
  const PixelLayout layout = surface->layout();
  // Index 0 is the transparent colour, which packs to the colour key.
  const uint16_t key = platform::PackColorRef(kColorKeyColorRef, layout);
  const uint32_t colours_held =
      palette.size > 16 ? std::min<uint32_t>((palette.size - 16) / 2, kPaletteEntries) : 0;
  bool traced = false;
  auto colour = [&](uint32_t index) -> uint16_t {
    if (index == 0) return key;
    const uint32_t n = base + index;
    if (n >= colours_held) {
      if (!traced) {
        DebugPrint("mg_load_spr: colour %u missing (the table holds %u); black\n", n,
                   colours_held);
        traced = true;
      }
      return platform::PackColorRef(0, layout);
    }
    const uint16_t c = GetBe16(file.data() + palette.offset + 16 + 2 * n);
    const uint32_t r = (c & 31u) * 8, g = (c >> 5 & 31u) * 8, b = (c >> 10 & 31u) * 8;
    return platform::PackColorRef(r | g << 8 | b << 16, layout);
  };
  Locked locked(surface);
  if (!locked.ok()) return false;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = data + y * row_bytes;
    uint16_t* out0 = locked.Row(static_cast<int>(2 * y));
    uint16_t* out1 = locked.Row(static_cast<int>(2 * y + 1));
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t index = eight_bit ? row[x] : (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15u);
      const uint16_t p = colour(index);
      out0[2 * x] = out0[2 * x + 1] = out1[2 * x] = out1[2 * x + 1] = p;
    }
  }
  return true;
}

bool BuildDirectFrame(int32_t slot, int32_t option, uint32_t width, uint32_t height,
                      const uint8_t* data, uint32_t data_size) {
  const uint64_t bytes = uint64_t{width} * height * 2;
  // Each two-byte reference gives at most 18 bytes and every eight items share a flag byte, so
  // a stream cannot unpack to more than 9 times its size: refuse before allocating.
  if (bytes > uint64_t{data_size} * 9) {
    DebugPrint("mg_load_spr: packed %u x %u frame cannot come from %u bytes\n", width, height,
               data_size);
    return false;
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
  if (LzssDecode(data, data_size, pixels.data(), static_cast<uint32_t>(bytes)) == 0) {
    DebugPrint("mg_load_spr: packed %u x %u frame does not unpack from %u bytes\n", width, height,
               data_size);
    return false;
  }
  if (!mg_surf_create(slot, static_cast<int32_t>(width), static_cast<int32_t>(height), option)) {
    return false;
  }
  Surface* surface = SlotSurface(slot);
  const bool rgb565 = surface->layout() == PixelLayout::kRgb565;
  Locked locked(surface);
  if (!locked.ok()) return false;
  for (uint32_t y = 0; y < height; ++y) {
    uint16_t* out = locked.Row(static_cast<int>(y));
    const uint8_t* in = pixels.data() + static_cast<size_t>(y) * width * 2;
    for (uint32_t x = 0; x < width; ++x) {
      const uint16_t p = static_cast<uint16_t>(in[2 * x] | in[2 * x + 1] << 8);
      if (rgb565) {
        const uint32_t g = p >> 5 & 31u;
        out[x] = static_cast<uint16_t>((p & 0x7C00u) << 1 | (g * 2 + g / 16) << 5 | (p & 31u));
      } else {
        out[x] = static_cast<uint16_t>(p & 0x7FFF);
      }
    }
  }
  return true;
}

}  // namespace

int mg_load_spr(int32_t slot, const char* path, int32_t frame, int32_t option,
                int32_t* frame_count) {
  if (!ValidSlot(slot) || slot == mg::kSlotScreen) return 0;
  mg_surf_free(slot);
  std::vector<uint8_t> file;
  bool larger = false;
  if (mg_read_file(path, kSearchAll, kSprMaxBytes, &file, &larger) != MgRead::kOk) {
    DebugPrint("mg_load_spr: %s cannot be read\n", path != nullptr ? path : "(null)");
    return 0;
  }
  if (larger) {
    DebugPrint("mg_load_spr: %s is larger than %u bytes\n", path, kSprMaxBytes);
    return 0;
  }
  SprPartRange palette, frames;
  if (!ReadDirEntry(file, 0, &palette) || !ReadDirEntry(file, 1, &frames) || frames.size < 16) {
    DebugPrint("mg_load_spr: %s: directory entries past the file\n", path);
    return 0;
  }
  const uint8_t* table = file.data() + frames.offset;
  const uint32_t count = GetBe16(table);
  const bool direct = GetBe16(table + 4) != 0;
  const uint64_t records_end = (uint64_t{count} + 1) * 16;
  if (records_end > frames.size) {
    DebugPrint("mg_load_spr: %s: %u frame records past the table\n", path, count);
    return 0;
  }
  if (frame_count != nullptr) *frame_count = static_cast<int32_t>(count);
  if (frame < 0 || static_cast<uint32_t>(frame) >= count) return 0;
  const uint8_t* record = table + 16 + 16 * static_cast<size_t>(frame);
  const uint32_t width = GetBe16(record);
  const uint32_t height = GetBe16(record + 2);
  const bool eight_bit = GetBe16(record + 4) != 0;
  const uint32_t base = GetBe16(record + 6);
  const uint32_t data_offset = GetBe32(record + 8);
  const uint32_t data_size = GetBe32(record + 12);
  if (records_end + data_offset + data_size > frames.size) {
    DebugPrint("mg_load_spr: %s frame %d: data past its part\n", path, frame);
    return 0;
  }
  const uint32_t scale = direct ? 1 : 2;
  if (width == 0 || height == 0 || width * scale > Surface::kMaxSide ||
      height * scale > Surface::kMaxSide) {
    DebugPrint("mg_load_spr: %s frame %d: size %u x %u refused\n", path, frame, width, height);
    return 0;
  }
  const uint8_t* data = table + records_end + data_offset;
  const bool ok = direct ? BuildDirectFrame(slot, option, width, height, data, data_size)
                         : BuildPalettedFrame(slot, option, file, palette, width, height,
                                              eight_bit, base, data, data_size);
  if (!ok) {
    mg_surf_free(slot);
    return 0;
  }
  return 1;
}

namespace {

// Draws the bitmap's rows into the surface with its top-left corner at (x, y), clipped.
bool DrawBmp(Surface* surface, const std::vector<uint8_t>& file, const BmpInfo& info, int32_t x,
             int32_t y) {
  Locked locked(surface);
  if (!locked.ok()) return false;
  std::vector<uint32_t> colours(static_cast<size_t>(info.width));
  for (int32_t i = 0; i < info.height; ++i) {
    const int32_t row = info.top_down ? i : info.height - 1 - i;
    const int32_t ty = y + row;
    if (ty < 0 || ty >= surface->height()) continue;
    DecodeBmpRow(info, file.data() + info.pixel_offset + static_cast<size_t>(i) * info.stride,
                 colours.data());
    uint16_t* out = locked.Row(ty);
    for (int32_t c = 0; c < info.width; ++c) {
      const int32_t tx = x + c;
      if (tx < 0 || tx >= surface->width()) continue;
      out[tx] = platform::PackColorRef(colours[static_cast<size_t>(c)], surface->layout());
    }
  }
  return true;
}

bool ReadBmp(const char* path, std::vector<uint8_t>* file, BmpInfo* info) {
  bool larger = false;
  if (mg_read_file(path, kSearchAll, kBmpMaxBytes, file, &larger) != MgRead::kOk) {
    DebugPrint("mg_load_bmp: %s cannot be read\n", path != nullptr ? path : "(null)");
    return false;
  }
  if (larger) {
    DebugPrint("mg_load_bmp: %s is larger than 2 MB\n", path);
    return false;
  }
  return ParseBmpHeader(file->data(), file->size(), file->size(), info);
}

}  // namespace

int mg_load_bmp(int32_t slot, const char* path, int32_t option) {
  if (!ValidSlot(slot) || slot == mg::kSlotScreen) return 0;
  mg_surf_free(slot);
  std::vector<uint8_t> file;
  BmpInfo info;
  if (!ReadBmp(path, &file, &info)) return 0;
  if (!mg_surf_create(slot, info.width, info.height, option)) return 0;
  if (!DrawBmp(SlotSurface(slot), file, info, 0, 0)) {
    mg_surf_free(slot);
    return 0;
  }
  return 1;
}

int mg_load_bmp_at(int32_t slot, int32_t x, int32_t y, const char* path) {
  Surface* surface = SlotSurface(slot);
  if (surface == nullptr) return 0;
  std::vector<uint8_t> file;
  BmpInfo info;
  if (!ReadBmp(path, &file, &info)) return 0;
  return DrawBmp(surface, file, info, x, y) ? 1 : 0;
}

// ---- Files and script variables ----

int mg_file_read(const char* path, void* buffer, uint32_t size) {
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(path, FileMode::kRead, kSearchAll, 0);
  if (h == kInvalidFile) return 0;
  io.Read(h, buffer, size);
  io.Close(h);
  return 1;
}

int mg_file_write(const char* path, const void* data, uint32_t size) {
  return Ctx().file_io.SaveFile(path, data, size);
}

uint16_t mg_macro_a(int i) { return GetMacroA(i); }
uint16_t mg_macro_p(int i) { return GetMacroP(i); }
