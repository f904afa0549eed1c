#include "minigames/framework/minigame_od.h"

#include <cstring>
#include <vector>

#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/gfx/pixels/surface_pixels.h"
#include "minigames/framework/minigame_surface.h"
#include "platform/little_endian.h"
#include "platform/surface.h"

using platform::GetLe16;
using platform::GetLe32;

namespace {

constexpr uint32_t kImageTable = 0;
constexpr uint32_t kAnimationTable = 2048;
constexpr uint32_t kScriptTable = 4096;
constexpr uint32_t kTextTable = 5120;
constexpr uint32_t kRecordsStart = 6144;

constexpr uint32_t kFlagSurface = 1;
constexpr uint32_t kFlagSolid = 8;
constexpr uint32_t kFlagOption = 16;

bool Fail(const char* path, const char* why, uint32_t value) {
  DebugPrint("mg_obj_create: %s: %s (%u)\n", path, why, value);
  return false;
}

bool EndsWithSpr(const char* path) {
  const size_t n = std::strlen(path);
  if (n < 4) return false;
  const char* e = path + n - 4;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return lower(e[0]) == '.' && lower(e[1]) == 's' && lower(e[2]) == 'p' && lower(e[3]) == 'r';
}

// A solid rectangle: the colour as the screen format gives it, over the whole surface.
bool MakeSolid(int32_t slot, const uint8_t* record, uint32_t flags, const char* path) {
  const int32_t width = static_cast<int16_t>(GetLe16(record + 2));
  const int32_t height = static_cast<int16_t>(GetLe16(record + 4));
  const uint32_t r = record[6], g = record[8], b = record[10];
  const int32_t option = (flags & kFlagOption) != 0 ? 1 : 0;
  if (width <= 0 || height <= 0) return Fail(path, "solid image of no size, slot", slot);
  if (!mg_surf_create(slot, width, height, option)) return Fail(path, "no surface, slot", slot);
  MgSurfaceSlot* s = mg_slot(slot);
  if (s->surface->IsLost()) return Fail(path, "surface lost, slot", slot);
  FillPixels(*s->surface, Rect{0, 0, s->width, s->height},
             platform::PackColorRef(r | g << 8 | b << 16, s->surface->layout()));
  MgImageSlot& image = Minigame().images[static_cast<size_t>(slot)];
  image.flags = flags | kFlagSurface;
  image.width = s->width;
  image.height = s->height;
  return true;
}

void TakeSize(int32_t slot, uint32_t flags) {
  MgImageSlot& image = Minigame().images[static_cast<size_t>(slot)];
  image.flags = flags | kFlagSurface;
  mg_surf_size(slot, &image.width, &image.height);
}

bool LoadSprFrames(int32_t slot, const char* file, uint32_t flags, const char* path) {
  const int32_t option = (flags & kFlagOption) != 0 ? 1 : 0;
  int32_t count = 0;
  if (!mg_load_spr(slot, file, 0, option, &count)) return Fail(path, "frame 0 not loaded, slot", slot);
  TakeSize(slot, flags);
  for (int32_t frame = 1; frame < count; ++frame) {
    const int32_t target = slot + frame;
    if (target >= mg::kImageSlotCount) {
      DebugPrint("mg_obj_create: %s: frames %d-%d of %s dropped (past slot 511)\n", path, frame,
                 count - 1, file);
      break;
    }
    if (!mg_load_spr(target, file, frame, option)) return Fail(path, "frame not loaded, slot", target);
    TakeSize(target, flags);
  }
  return true;
}

bool LoadImages(const char* path) {
  MgOdFile& od = Minigame().od;
  for (int32_t i = 0; i < mg::kImageSlotCount; ++i) {
    const uint32_t offset = GetLe32(od.buffer.data() + kImageTable + 4 * static_cast<uint32_t>(i));
    if (offset == 0) continue;
    const uint8_t* record = od.buffer.data() + offset;
    const uint32_t flags = GetLe16(record);
    if ((flags & kFlagSolid) != 0) {
      if (offset + 12 > od.size) return Fail(path, "solid record past the data, slot", i);
      if (!MakeSolid(i, record, flags, path)) return false;
      continue;
    }
    const char* file = reinterpret_cast<const char*>(record + 2);
    const uint32_t room = od.size - (offset + 2);
    const size_t length = strnlen(file, room);
    if (length == room) return Fail(path, "unterminated path, slot", i);
    if (length >= kPathMax) return Fail(path, "path too long, slot", i);
    if (EndsWithSpr(file)) {
      if (!LoadSprFrames(i, file, flags, path)) return false;
    } else {
      if (!mg_load_bmp(i, file, (flags & kFlagOption) != 0 ? 1 : 0)) {
        return Fail(path, "bitmap not loaded, slot", i);
      }
      TakeSize(i, flags);
    }
  }
  return true;
}

// Every non-zero offset of a table lies inside the data (image records need their flags word).
bool CheckTable(const char* path, uint32_t at, uint32_t entries, uint32_t need, const char* what) {
  const MgOdFile& od = Minigame().od;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t offset = GetLe32(od.buffer.data() + at + 4 * i);
    if (offset != 0 && (offset >= od.size || od.size - offset < need)) {
      DebugPrint("mg_obj_create: %s: %s %u at %u, past the %u bytes read\n", path, what, i, offset,
                 od.size);
      return false;
    }
  }
  return true;
}

void Publish(uint32_t at, uint32_t* out, size_t entries) {
  const MgOdFile& od = Minigame().od;
  for (size_t i = 0; i < entries; ++i) out[i] = GetLe32(od.buffer.data() + at + 4 * i);
}

}  // namespace

int mg_obj_create(const char* path) {
  MinigameContext& m = Minigame();
  for (int32_t i = 0; i < mg::kImageSlotCount; ++i) {
    if ((m.images[static_cast<size_t>(i)].flags & kFlagSurface) != 0) mg_surf_free(i);
  }
  m.images.fill(MgImageSlot{});
  MgOdFile& od = m.od;
  od.published = 0;
  od.animations.fill(0);
  od.scripts.fill(0);
  od.texts.fill(0);
  od.buffer.fill(0);
  od.size = 0;
  if (path == nullptr) return 0;
  std::vector<uint8_t> bytes;
  if (mg_read_file(path, kSearchAll, mg::kOdMaxBytes, &bytes) != MgRead::kOk) {
    DebugPrint("mg_obj_create: %s cannot be read\n", path);
    return 0;
  }
  if (!bytes.empty()) std::memcpy(od.buffer.data(), bytes.data(), bytes.size());
  od.size = static_cast<uint32_t>(bytes.size());
  od.path = path;
  if (od.size < kRecordsStart) {
    DebugPrint("mg_obj_create: %s: %u bytes, shorter than its tables\n", path, od.size);
    return 0;
  }
  if (!CheckTable(path, kImageTable, 512, 2, "image") ||
      !CheckTable(path, kAnimationTable, 512, 2, "animation") ||
      !CheckTable(path, kScriptTable, 256, 2, "script") ||
      !CheckTable(path, kTextTable, 256, 1, "text")) {
    return 0;
  }
  if (!LoadImages(path)) return 0;
  Publish(kAnimationTable, od.animations.data(), od.animations.size());
  Publish(kScriptTable, od.scripts.data(), od.scripts.size());
  Publish(kTextTable, od.texts.data(), od.texts.size());
  od.published = 1;
  return 1;
}

const MgImageSlot* mg_image(int32_t n) {
  return n >= 0 && n < mg::kImageSlotCount ? &Minigame().images[static_cast<size_t>(n)] : nullptr;
}

namespace {

MgOdWords WordsAt(uint32_t offset) {
  const MgOdFile& od = Minigame().od;
  if (offset == 0 || offset >= od.size) return {};
  return {od.buffer.data() + offset, (od.size - offset) / 2};
}

}  // namespace

MgOdWords mg_od_animation(int32_t n) {
  const MgOdFile& od = Minigame().od;
  if (od.published == 0 || n < 0 || n >= 512) return {};
  return WordsAt(od.animations[static_cast<size_t>(n)]);
}

MgOdWords mg_od_script(int32_t n) {
  const MgOdFile& od = Minigame().od;
  if (od.published == 0 || n < 0 || n >= 256) return {};
  return WordsAt(od.scripts[static_cast<size_t>(n)]);
}

const char* mg_text(int32_t n) {
  const MgOdFile& od = Minigame().od;
  if (od.published == 0 || n < 0 || n >= 256) return "";
  const uint32_t offset = od.texts[static_cast<size_t>(n)];
  if (offset == 0 || offset >= od.size) return "";
  return reinterpret_cast<const char*>(od.buffer.data() + offset);
}
