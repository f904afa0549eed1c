// The sprite-file reader, the loads and the builder dispatch (TamvikFunc).

#include <cstring>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/portrait_state.h"
#include "scene/sprite/spr_file.h"
#include "scene/sprite/spr_image.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr char kSprMagic[10] = {'Z', 'E', 'V', 'A', ' ', 'S', 'P', 'R', 'E', 'D'};

// A big-endian u32 field of the raw header, in host order.
uint32_t FieldBe32(const uint32_t& field) {
  uint8_t bytes[4];
  std::memcpy(bytes, &field, 4);
  return SprBe32(bytes);
}

// Closes the file when it goes out of scope.
class FileCloser {
 public:
  explicit FileCloser(FileHandle file) : file_(file) {}
  ~FileCloser() { Ctx().file_io.Close(file_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  FileHandle file_;
};

const char* NameOf(const SprLoadParam* param) {
  return param->file_name != nullptr ? param->file_name : "";
}

// The blocks of a unit (40-byte entries) or animation (4-byte frames) table: per record its
// count (u16 at byte 4) and that many entries, the entries of all records following the records
// in order. False (trace) when the table cannot be read or the running sum passes the part.
bool ReadSprBlocks(const SprPart& part, uint32_t entry_size, const char* what,
                   std::vector<SprRawBlock>* blocks) {
  uint32_t count = 0;
  const uint8_t* records = SprRecordTable(part, &count, what);
  if (records == nullptr) return false;
  uint64_t at = 16 + uint64_t{16} * count;
  blocks->assign(count, {});
  for (uint32_t j = 0; j < count; ++j) {
    const uint16_t n = SprBe16(records + 16 * size_t{j} + 4);
    const uint64_t size = uint64_t{n} * entry_size;
    if (at + size > part.size) {
      DebugPrint("%s: record %u: %u entries at %llu pass the part's end (%u bytes)\n", what, j, n,
                 static_cast<unsigned long long>(at), part.size);
      blocks->clear();
      return false;
    }
    (*blocks)[j].count = n;
    (*blocks)[j].bytes.assign(part.data + at, part.data + at + size);
    at += size;
  }
  return true;
}

// The sprites and the unit record of a file whose unit table has been read.
SprUnit* BuildSpritesAndUnit(const SprParts& parts, SprLoadParam* param,
                             const std::vector<SprRawBlock>& units) {
  if (!TamvikFunc::BuildSprites(param, parts[kSprColourTable], parts[kSprImageTable])) {
    return nullptr;
  }
  const uint16_t scale_flag = SprBe16(parts[kSprUnitTable].data + 2);
  return Scene().tamvik_spr.BuildUnit(NameOf(param), param->sprites, &units, scale_flag);
}

}  // namespace

int TamvikFunc::ReadSprHeader(FileHandle file, SprFileHeader* header) {
  FileIO& io = Ctx().file_io;
  uint8_t raw[kSprHeaderSize];
  uint32_t got = 0;
  if (io.Seek(file, 0, kSeekStart) != 0 || !io.Read(file, raw, sizeof raw, &got) ||
      got != sizeof raw) {
    DebugPrint("ReadSprHeader: header cannot be read (%u of %d bytes)\n", got, kSprHeaderSize);
    return 0;
  }
  std::memcpy(header, raw, sizeof raw);
  return CheckSprHeader(header);
}

int TamvikFunc::CheckSprHeader(SprFileHeader* header) {
  if (std::memcmp(header->magic, kSprMagic, sizeof kSprMagic) != 0) {
    DebugPrint("Not SprFile\n");
    return 0;
  }
  for (SprDirEntry& entry : header->entries) {
    entry.offset = FieldBe32(entry.offset);
    entry.size = FieldBe32(entry.size);
    entry.kind = FieldBe32(entry.kind);
  }
  return 1;
}

uint32_t TamvikFunc::ReadSpxParts(const char* name, uint32_t mask, SprPartStore* parts) {
  FileIO& io = Ctx().file_io;
  const FileHandle file = io.Open(name, FileMode::kRead, kSearchAll, 0);
  if (file == kInvalidFile) {
    DebugPrint("ReadSpxParts: %s cannot be opened\n", name);
    return 0;
  }
  FileCloser closer(file);
  SprFileHeader header;
  if (!ReadSprHeader(file, &header)) return 0;
  const uint64_t file_size = io.GetSize(file);

  // Every entry read adds its size, also one whose kind a later entry replaces: the total is
  // what the sprite cache is told the parts take.
  uint32_t total = 0;
  for (int i = 0; i < kSprDirEntries; ++i) {
    const SprDirEntry& entry = header.entries[i];
    if (entry.kind == 0) continue;
    if (entry.kind > kSprMaxKind) {
      DebugPrint("ReadSpxParts: %s entry %d of kind %u skipped\n", name, i, entry.kind);
      continue;
    }
    if (mask != 0 && (mask & (1u << entry.kind)) == 0) continue;
    if (uint64_t{entry.offset} + entry.size > file_size) {
      DebugPrint("ReadSpxParts: %s entry %d (offset %u, size %u) passes the end of the file (%llu)\n",
                 name, i, entry.offset, entry.size, static_cast<unsigned long long>(file_size));
      continue;
    }
    std::vector<uint8_t> bytes(entry.size);
    uint32_t got = 0;
    if (io.Seek(file, static_cast<int32_t>(entry.offset), kSeekStart) != entry.offset ||
        (entry.size != 0 && (!io.Read(file, bytes.data(), entry.size, &got) || got != entry.size))) {
      DebugPrint("ReadSpxParts: %s entry %d cannot be read (%u of %u bytes)\n", name, i, got,
                 entry.size);
      continue;
    }
    parts->Set(entry.kind, std::move(bytes));
    total += entry.size;
  }
  return total;
}

int TamvikFunc::LoadSpxSplitData(const char* name, SprLoadParam* param, uint32_t mask) {
  SprPartStore store;
  SprParts parts;
  bool hit = false;
  if (param->use_cache != 0) hit = Scene().spx_cache.Lookup(name, mask, &parts) == 1;
  uint32_t total = 0;
  if (!hit) {
    total = ReadSpxParts(name, mask, &store);
    if (total == 0) {
      DebugPrint("TamvikFunc::LoadSpxSplitData %s Failed !\n", name);
      return 0;
    }
    parts = store.View();
  }
  const int result = BuildSpx(parts, param, mask);
  if (param->use_cache != 0 && !hit) Scene().spx_cache.Insert(name, mask, std::move(store), total);
  return result;
}

int TamvikFunc::BuildSpx(const SprParts& parts, SprLoadParam* param, uint32_t mask) {
  if (mask == 0) mask = parts.PresentMask();
  const auto has = [&](std::initializer_list<uint32_t> kinds) {
    for (uint32_t kind : kinds) {
      if (!parts[kind].present()) return false;
    }
    return true;
  };
  switch (mask) {
    case kSprMaskPicture: {
      if (HasScene()) Scene().last_picture_from_spr = 1;
      platform::Surface* target = Ctx().ddraw.GetSurface(param->surface);
      return DrawSprImage(parts[kSprColourTable], parts[kSprImageTable],
                          static_cast<uint32_t>(param->image), param->x, param->y, param->level,
                          param->color_key, target);
    }
    case kSprMaskUnit: {
      std::vector<SprRawBlock> units;
      if (!has({kSprImageTable, kSprUnitTable})) {
        DebugPrint("%s: ALL Anm Param is not Exist\n", NameOf(param));
        return 0;
      }
      if (!ReadSprBlocks(parts[kSprUnitTable], 40, "BuildSpx unit table", &units)) return 0;
      param->unit = BuildSpritesAndUnit(parts, param, units);
      return param->unit != nullptr ? 1 : 0;
    }
    case kSprMaskAnimation: {
      if (!has({kSprImageTable, kSprUnitTable, kSprAnimationTable})) {
        DebugPrint("%s: ALL Anm Param is not Exist\n", NameOf(param));
        return 0;
      }
      // Both tables are checked before anything is made or referenced.
      std::vector<SprRawBlock> units, animations;
      if (!ReadSprBlocks(parts[kSprUnitTable], 40, "BuildSpx unit table", &units) ||
          !ReadSprBlocks(parts[kSprAnimationTable], 4, "BuildSpx animation table", &animations)) {
        return 0;
      }
      CTamvikSpr& records = Scene().tamvik_spr;
      // The list holds one reference of its unit: the one a find adds, or the new record's own.
      SprUnit* unit = records.FindUnit(NameOf(param));
      if (unit == nullptr) unit = BuildSpritesAndUnit(parts, param, units);
      if (unit == nullptr) return 0;
      param->unit = unit;
      param->anm = records.BuildAnm(NameOf(param), unit, &animations);
      return param->anm != nullptr ? 1 : 0;
    }
    case kSprMaskNcSet:
      if (!has({kSprImageTable, kSprNcPictureTable, kSprNcBodyTable, kSprNcEyeCells,
                kSprNcLipCells})) {
        DebugPrint("ALL NC Param is not Exist\n");
        param->image = -1;
        return 0;
      }
      param->image = BuildNcSpx(parts, param);
      return param->image != -1 ? 1 : 0;
    case kSprMaskFace:
      if (!has({kSprImageTable, kSprFaceTable})) {
        param->image = -1;
        return 0;
      }
      param->image = BuildFaceSpx(parts, param);
      return param->image != -1 ? 1 : 0;
    case kSprMaskSlgMap: {
      if (!has({kSprImageTable, kSprSlgMapData})) {
        DebugPrint("ALL SlgMap Param is not Exist\n");
        return 0;
      }
      CTamvikSpr& records = Scene().tamvik_spr;
      if (SlgMapSpr* existing = records.FindSlgMap(NameOf(param))) {
        param->slg_map = existing;
        return 1;
      }
      const SprPart& data = parts[kSprSlgMapData];
      uint32_t count = 0;
      const uint8_t* rows = SprRecordTable(data, &count, "BuildSpx battle-map data");
      if (rows == nullptr) return 0;
      if (!BuildSprites(param, parts[kSprColourTable], parts[kSprImageTable])) return 0;
      param->slg_map =
          records.BuildSlgMap(NameOf(param), param->sprites, count, SprBe16(data.data + 2), rows);
      return param->slg_map != nullptr ? 1 : 0;
    }
    default:
      return 0;
  }
}

int TamvikFunc::BuildSprites(SprLoadParam* param, const SprPart& colours, const SprPart& images) {
  param->sprites.clear();
  param->sprite_count = 0;
  uint32_t count = 0;
  if (SprRecordTable(images, &count, "BuildSprites") == nullptr) return 0;
  const int scale = SprBe16(images.data + 2) == 1 ? 1 : 2;
  CDdrawFunc& ddraw = Ctx().ddraw;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  param->sprites.assign(count, nullptr);
  for (uint32_t i = 0; i < count; ++i) {
    SprImageRecord record;
    GetSprImageRecord(images, i, &record, nullptr, nullptr, nullptr);
    if (record.width == 0 || record.height == 0) continue;
    const int w = record.width * scale, h = record.height * scale;
    const UserSurface n = ddraw.CreateUserSurface(w, h);
    platform::Surface* surface = ddraw.GetUserSurface(n);
    if (surface == nullptr) {
      DebugPrint("BuildSprites: no surface of %d x %d for image %u\n", w, h, i);
      continue;
    }
    ddraw.BltColorFill(surface, {0, 0, w, h}, 1);
    if (DrawSprImage(colours, images, i, 0, 0, param->level, 0, surface) == 1) {
      param->sprites[i] = spr.CreateSpriteWork(0, 0, surface, {0, 0, w, h}, param->sprite_memory);
    } else {
      DebugPrint("BuildSprites: image %u cannot be decoded\n", i);
    }
    ddraw.DeleteUserSurface(n);
  }
  param->sprite_count = static_cast<int32_t>(count);
  return 1;
}

std::vector<uint8_t> TamvikFunc::LoadSpxHitData(const char* name, uint32_t n) {
  SprPartStore store;
  if (ReadSpxParts(name, 1u << kSprHitTable, &store) == 0) return {};
  const SprParts parts = store.View();
  const SprPart& hits = parts[kSprHitTable];
  if (!hits.present()) return {};
  uint32_t count = 0;
  const uint8_t* records = SprRecordTable(hits, &count, "LoadSpxHitData");
  if (records == nullptr) return {};
  if (n >= count) {
    DebugPrint("RequestNo is too Large\n");
    return {};
  }
  const uint8_t* record = records + 16 * static_cast<size_t>(n);
  const uint32_t row_offset = SprBe32(record);
  const uint32_t rows = SprBe16(record + 4);
  const uint64_t start = 16 + uint64_t{16} * count + row_offset;
  if (start + uint64_t{16} * rows > hits.size) {
    DebugPrint("LoadSpxHitData: %s record %u: %u rows at %u pass the part's end (%u bytes)\n", name,
               n, rows, row_offset, hits.size);
    return {};
  }
  std::vector<uint8_t> block(1 + 9 * static_cast<size_t>(rows));
  block[0] = static_cast<uint8_t>(rows);
  for (uint32_t r = 0; r < rows; ++r) {
    const uint8_t* row = hits.data + start + 16 * static_cast<size_t>(r);
    uint8_t* out = block.data() + 1 + 9 * static_cast<size_t>(r);
    out[0] = row[1];  // the low byte of the big-endian code
    std::memcpy(out + 1, row + 2, 8);
  }
  return block;
}

// ---- Unit, animation-list and battle-map files ----

SprUnit* TamvikFunc::LoadUnitFile(const char* name, int sprite_memory) {
  if (SprUnit* held = Scene().tamvik_spr.FindUnit(name)) return held;
  SprLoadParam param;
  param.file_name = name;
  param.sprite_memory = sprite_memory;
  if (LoadSpxSplitData(name, &param, kSprMaskUnit) != 1) return nullptr;
  return param.unit;
}

SprAnm* TamvikFunc::LoadAnmFile(const char* name, int sprite_memory, int level) {
  if (SprAnm* held = Scene().tamvik_spr.FindAnm(name)) return held;
  SprLoadParam param;
  param.file_name = name;
  param.sprite_memory = sprite_memory;
  param.level = level;
  param.use_cache = 1;
  if (LoadSpxSplitData(name, &param, kSprMaskAnimation) != 1) return nullptr;
  return param.anm;
}

SlgMapSpr* TamvikFunc::LoadSlgMapFile(const char* name, int sprite_memory) {
  SprLoadParam param;
  param.file_name = name;
  param.sprite_memory = sprite_memory;
  if (LoadSpxSplitData(name, &param, kSprMaskSlgMap) != 1) return nullptr;
  return param.slg_map;
}

int TamvikFunc::ReleaseUnitFile(SprUnit*& unit) {
  SprUnit* held = unit;
  unit = nullptr;
  return held != nullptr ? Scene().tamvik_spr.ReleaseUnitRec(held) : 0;
}

int TamvikFunc::ReleaseAnmFile(SprAnm*& anm) {
  SprAnm* held = anm;
  anm = nullptr;
  return held != nullptr ? Scene().tamvik_spr.ReleaseAnmRec(held) : 0;
}

int TamvikFunc::ReleaseSlgMapFile(SlgMapSpr*& map) {
  SlgMapSpr* held = map;
  map = nullptr;
  return held != nullptr ? Scene().tamvik_spr.ReleaseSlgMap(held) : 0;
}
