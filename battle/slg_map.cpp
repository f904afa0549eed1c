// The map planes: the plane table, the per-frame draw, the accessors and the tone change.

#include "battle/slg_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_spawn.h"
#include "battle/slg_stage.h"
#include "battle/slg_task.h"
#include "battle/slg_units.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/files/file_io.h"
#include "engine/files/text_file.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int kLineMax = 16384;
constexpr const char* kPlaneNames[kSlgPlaneCount] = {"Ground:", "Sky:", "Priority:",
                                                     "UnderGround:", "AllMapImage:"};
constexpr int32_t kPlaneDepth[4] = {357, -1099, kSlgPerTileDepth, 367};
constexpr int32_t kAllMapDepth = -1100;
constexpr SurfaceId kMapSurface = SURFACE_ROOT;
constexpr SurfaceId kAllMapSurface = SURFACE_SCRATCH;
constexpr int32_t kViewW = 640;
constexpr int32_t kViewH = 480;
// Entries are kept within this many pixels of the view (far beyond it either way).
constexpr int64_t kFar = 1 << 20;

struct BlendName {
  const char* name;
  BlendWord mode;
};
constexpr BlendName kBlendNames[] = {
    {"Normal", 0},         {"Add", 0x10000},       {"BlendBlack", 0x20000},
    {"BlendWhite", 0x30000}, {"BlendRed", 0x40000},  {"BlendGreen", 0x50000},
    {"BlendBlue", 0x60000},  {"Shadow", 0x80000},    {"Mesh", 0x90000},
};

SlgMapState& Map() { return Battle().map; }

SlgMapPlane* Plane(int n) {
  if (n < 0 || n >= static_cast<int>(Map().planes.size())) return nullptr;
  return Map().planes[static_cast<size_t>(n)].get();
}

// Floor division and a non-negative remainder: the planes repeat, and a negative view
// coordinate must still index the tables from their start.
int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
int64_t FloorMod(int64_t a, int64_t b) {
  const int64_t r = a % b;
  return r < 0 ? r + b : r;
}

uint32_t GameClock() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

// Frames at 60 a second since the map clock (toward zero, as the effect tasks count).
int64_t MapFrames() {
  return int64_t{static_cast<int32_t>(GameClock() - Map().clock)} * 60 / 1000;
}

void FreeBank(SlgMapBank& bank) {
  if (bank.file != nullptr && HasScene()) TamvikFunc::ReleaseSlgMapFile(bank.file);
  bank.file = nullptr;
  bank.tiles.clear();
  bank.tiles.shrink_to_fit();
}

void FreePlane(int n) {
  auto& slot = Map().planes[static_cast<size_t>(n)];
  if (!slot) return;
  for (SlgMapBank& bank : slot->banks) FreeBank(bank);
  slot.reset();
}

// The folder of the table's name, its last backslash included.
std::string FolderOf(const std::string& name) {
  const size_t at = name.rfind('\\');
  return at == std::string::npos ? std::string() : name.substr(0, at + 1);
}

// ---- File: ----

// Loads one bank into the plane. Returns false when the line must end (the plane may be gone).
bool LoadBank(int n, const std::string& folder, const char* name) {
  SlgMapPlane* plane = Plane(n);
  if (plane->bank_count >= kSlgMapBanks) {
    DebugPrint("バンクの定義数（%d）が多すぎます\n", plane->bank_count + 1);
    return false;
  }
  const std::string path = folder + name;
  SlgMapSpr* file = TamvikFunc::LoadSlgMapFile(path.c_str());
  CTamvikSpr& spr = Scene().tamvik_spr;
  int w = 0, h = 0;
  if (file != nullptr) {
    if (SprRec* first = spr.GetSlgMapSprID(file, 0)) Ctx().ddraw_spr.GetSpriteSize(first, &w, &h);
  }
  if (plane->bank_count == 0 && (file == nullptr || w <= 0 || h <= 0)) {
    // A first bank without a sized sprite 0 gives no tile grid: as a bank that cannot be loaded.
    if (file != nullptr) {
      DebugPrint("SlgMap: %s has no sized sprite 0\n", path.c_str());
      TamvikFunc::ReleaseSlgMapFile(file);
    }
    FreePlane(n);
    DebugPrint("マップファイルが存在しません\n");
    return false;
  }
  if (file == nullptr) {
    FreePlane(n);
    DebugPrint("マップファイルが存在しません\n");
    return false;
  }
  if (plane->bank_count == 0) {
    plane->tile_w = w;
    plane->tile_h = h;
    plane->cols = (2047 + w) / w;
    plane->rows = (2047 + h) / h;
  } else if (w != plane->tile_w || h != plane->tile_h) {
    TamvikFunc::ReleaseSlgMapFile(file);
    DebugPrint("マップの同一プレーン内での分割状態が異なっています\n");
    return false;
  }
  SlgMapBank& bank = plane->banks[static_cast<size_t>(plane->bank_count)];
  bank.file = file;
  bank.tiles.assign(static_cast<size_t>(plane->cols) * static_cast<size_t>(plane->rows), nullptr);
  const uint32_t count = spr.GetSlgMapDataNum(file);
  for (uint32_t i = 0; i < count; ++i) {
    int32_t x = 0, y = 0;
    spr.GetSlgMapData(file, i, &x, &y);
    const int64_t c = FloorDiv(x, plane->tile_w);
    const int64_t r = FloorDiv(y, plane->tile_h);
    if (c < 0 || c >= plane->cols || r < 0 || r >= plane->rows) {
      DebugPrint("SlgMap: %s sprite %u at (%d, %d) is outside the %d x %d tiles: ignored\n",
                 path.c_str(), i, x, y, plane->cols, plane->rows);
      continue;
    }
    bank.tiles[static_cast<size_t>(r * plane->cols + c)] = spr.GetSlgMapSprID(file, i);
  }
  ++plane->bank_count;
  return true;
}

void LoadAllMapImage(const std::string& folder, const char* name) {
  SlgMapState& map = Map();
  if (map.all_map != nullptr) {
    DebugPrint("AllMapImage is allready registered.\n");
    return;
  }
  const std::string path = folder + name;
  if (TamvikFunc::LoadPicture(path.c_str(), 0, 0, 0, kAllMapSurface) != 1) {
    DebugPrint("SlgMap: AllMapImage %s not loaded\n", path.c_str());
    return;
  }
  Rect rect{};
  TamvikFunc::GetPictureRect(&rect);
  map.all_map = Ctx().ddraw_spr.CreateSprite(0, 0, kAllMapSurface, rect.left, rect.top, rect.right,
                                             rect.bottom);
}

void CommandFile(int n, const char* keyword, const std::string& folder, const char* argument,
                 const char* table) {
  static char name[kLineMax];
  static char rest[kLineMax];
  std::string left = argument;
  if (n == kSlgPlaneAllMap) {
    if (std::sscanf(left.c_str(), "%16383s", name) == 1) LoadAllMapImage(folder, name);
    return;
  }
  auto& slot = Map().planes[static_cast<size_t>(n)];
  if (slot) {
    DebugPrint("Map Plane %s is already described in '%s'.\n", keyword, table);
    return;
  }
  slot = std::make_unique<SlgMapPlane>();
  slot->depth = kPlaneDepth[n];
  while (true) {
    rest[0] = '\0';
    const int got = std::sscanf(left.c_str(), "%16383s %16383[^\n]", name, rest);
    if (got < 1) break;
    if (!LoadBank(n, folder, name)) break;
    if (got < 2) break;
    left = rest;
  }
  if (SlgMapPlane* plane = Plane(n)) {
    DebugPrint("Map Plane: %-12s BankNum:%2d div(%4d,%4d)\n", keyword, plane->bank_count,
               plane->cols, plane->rows);
  }
}

int32_t ScrollWord(float v) {
  const double w = static_cast<double>(v) * -65536.0;
  if (std::isnan(w)) return 0;
  return static_cast<int32_t>(std::clamp(w, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                         static_cast<double>(std::numeric_limits<int32_t>::max())));
}

void CommandPrioFile(const std::string& folder, const char* argument) {
  char name[kLineMax];
  if (std::sscanf(argument, "%16383s", name) != 1) name[0] = '\0';
  const std::string path = folder + name;
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(path.c_str(), 0);
  if (h == kInvalidFile) {
    DebugPrint("Can't open priority plane data (%s)!\n", path.c_str());
    return;
  }
  std::vector<uint8_t> bytes(kSlgPrioBytes, 0);
  uint32_t got = 0;
  io.Read(h, bytes.data(), kSlgPrioBytes, &got);
  io.Close(h);
  if (got < kSlgPrioBytes) {
    DebugPrint("SlgMap: %s holds %u of %u bytes: the rest zero\n", path.c_str(), got,
               kSlgPrioBytes);
  }
  SlgMapState& map = Map();
  for (size_t i = 0; i < map.prio.size(); ++i) map.prio[i] = SlgMap::PrioWordAt(&bytes[i * 4]);
  DebugPrint("SlgMap: Map Priority Data Load.\n");
}

// One line of the table; false ends the reading.
bool ReadLine(const char* line, int number, const std::string& folder, const char* table) {
  static char plane_word[kLineMax];
  static char command[kLineMax];
  static char argument[kLineMax];
  plane_word[0] = command[0] = argument[0] = '\0';
  const int got = std::sscanf(line, " %16383s %16383s ", plane_word, command);
  if (got < 1 || plane_word[0] == '\0' || plane_word[0] == '#') return true;
  std::sscanf(line, "%*s %*s %16383[^\n]", argument);
  int n = -1;
  for (int i = 0; i < kSlgPlaneCount; ++i) {
    if (std::strcmp(plane_word, kPlaneNames[i]) == 0) n = i;
  }
  if (n < 0) {
    DebugPrint("%s:%d: Error: No match Plane '%s'.\n", table, number, plane_word);
    return false;
  }
  SlgMapPlane* plane = Plane(n);
  SlgMapState& map = Map();
  const std::string cmd = command;
  if (cmd == "File:") {
    CommandFile(n, plane_word, folder, argument, table);
  } else if (cmd == "FrameInt:") {
    int v = 0;
    if (std::sscanf(argument, " %d ", &v) != 1) v = 0;
    if (v < 1) {
      DebugPrint("Illegal Frame Int %d !\n", v);
    } else if (plane != nullptr) {
      plane->frame_int = v;
    }
  } else if (cmd == "Scroll:") {
    float sx = 0, sy = 0;
    std::sscanf(argument, " %f %f ", &sx, &sy);
    if (plane != nullptr) {
      plane->scroll_x = ScrollWord(sx);
      plane->scroll_y = ScrollWord(sy);
      DebugPrint("SlgMap: plane%d scroll %d %d\n", n, plane->scroll_x, plane->scroll_y);
    }
  } else if (cmd == "Raster:") {
    int w = 0, h = 0, t = 0, l = 0;
    std::sscanf(argument, " Width:%d Height:%d TimeRad: %d LineRad: %d ", &w, &h, &t, &l);
    if (plane != nullptr) {
      plane->raster_w = w;
      plane->raster_h = h;
      plane->time_rad = t;
      plane->line_rad = l;
      DebugPrint("SlgMap: plane%d raster ", n);
      DebugPrint("%d %d %d %d\n", w, h, t, l);
    }
  } else if (cmd == "Alpha:") {
    int v = 0;
    std::sscanf(argument, " %d ", &v);
    if (plane != nullptr) {
      plane->alpha = (plane->alpha & 0xFFFF0000u) | (static_cast<uint32_t>(v) & 0xFFFFu);
      DebugPrint("SlgMap: plane%d Alpha %d %d\n", n, static_cast<int>(plane->alpha & 0xFFFF),
                 static_cast<int>(plane->alpha >> 16));
    }
  } else if (cmd == "AlphaMode:") {
    char word[kLineMax];
    if (std::sscanf(argument, " %16383s ", word) != 1) word[0] = '\0';
    const BlendName* found = nullptr;
    for (const BlendName& b : kBlendNames) {
      if (std::strcmp(word, b.name) == 0) found = &b;
    }
    if (found == nullptr) {
      DebugPrint("SlgMap: Illegal AlphaMode %s!\n", word);
    } else if (plane != nullptr) {
      plane->alpha = (plane->alpha & 0xFFFFu) | found->mode;
      DebugPrint("SlgMap: plane%d AlphaMode %d %d\n", n, static_cast<int>(plane->alpha & 0xFFFF),
                 static_cast<int>(plane->alpha >> 16));
    }
  } else if (cmd == "PrioFile:") {
    if (n == kSlgPlanePriority && plane != nullptr) CommandPrioFile(folder, argument);
  } else if (cmd == "NightMode") {
    if (n == kSlgPlaneAllMap) {
      Battle().night_mode = 1;
      DebugPrint("SlgMap: Set Night Mode\n");
    }
  } else if (cmd == "NoZako") {
    if (n == kSlgPlaneAllMap) {
      map.no_zako = 1;
      DebugPrint("SlgMap: Set No Zako Mode\n");
    }
  } else {
    DebugPrint("%s%d : Error: No match Command '%s'.\n", table, number, command);
    return false;
  }
  return true;
}

// ---- Drawing ----

void DrawPlane(int n, const SlgMapPlane& plane, int32_t x, int32_t y, int64_t f) {
  if (plane.bank_count <= 0 || plane.tile_w <= 0 || plane.tile_h <= 0) return;
  const int64_t bank_no =
      plane.bank_count > 1 ? FloorMod(FloorDiv(f, plane.frame_int), plane.bank_count) : 0;
  const SlgMapBank& bank = plane.banks[static_cast<size_t>(bank_no)];
  if (bank.tiles.empty()) return;
  int64_t px = int64_t{plane.offset_x} + x;
  int64_t py = int64_t{plane.offset_y} + y;
  if (plane.scroll_x != 0 || plane.scroll_y != 0) {
    // 64 bits: the frames since the map clock grow without bound.
    px = FloorMod((int64_t{plane.scroll_x} * f + px * 65536) >> 16, kSlgPlaneSize);
    py = FloorMod((int64_t{plane.scroll_y} * f + py * 65536) >> 16, kSlgPlaneSize);
  }
  const int64_t tw = plane.tile_w, th = plane.tile_h;
  const bool raster = plane.raster_w != 0 || plane.raster_h != 0;
  const bool per_tile = plane.depth == kSlgPerTileDepth;
  const int key = n == kSlgPlaneUnderGround ? 0 : 1;
  const SlgMapState& map = Map();
  const int64_t r0 = FloorDiv(py, th), r1 = FloorDiv(py + kViewH - 1, th);
  const int64_t c0 = FloorDiv(px, tw), c1 = FloorDiv(px + kViewW - 1, tw);
  for (int64_t r = r0; r <= r1; ++r) {
    const int64_t row_at = FloorMod(r, plane.rows) * plane.cols;
    const int64_t sy = r * th - py;
    int64_t dx = 0, dy = 0;
    if (raster) {
      const int64_t phase = (sy * plane.line_rad + int64_t{plane.time_rad} * f) & 511;
      const int64_t s = SlgSin(static_cast<int32_t>(phase));
      dx = (s * plane.raster_w) >> 14;
      dy = (s * plane.raster_h) >> 14;
    }
    for (int64_t c = c0; c <= c1; ++c) {
      SprRec* sprite = bank.tiles[static_cast<size_t>(row_at + FloorMod(c, plane.cols))];
      if (sprite == nullptr) continue;
      const int64_t sx = c * tw - px;
      int32_t depth = plane.depth;
      if (per_tile) {
        // The square under the tile's corner; the plane repeats every 2048 pixels.
        const int64_t qc = FloorMod(c * tw, kSlgPlaneSize) / kSlgPrioSquare;
        const int64_t qr = FloorMod(r * th, kSlgPlaneSize) / kSlgPrioSquare;
        const int64_t prio = map.prio[static_cast<size_t>(qr * kSlgPrioSide + qc)];
        const int64_t v = prio * kSlgPrioSquare - th / 2 + r * th - kSlgPrioSquare;
        depth = SlgCalcDepth(0, static_cast<int32_t>(std::clamp<int64_t>(v, -65536, 65536)));
      }
      // A raster of absurd width from the table must not carry the engine's sums past 32 bits.
      const auto at_x = static_cast<int32_t>(std::clamp<int64_t>(sx + dx, -kFar, kFar));
      const auto at_y = static_cast<int32_t>(std::clamp<int64_t>(sy + dy, -kFar, kFar));
      SprBufferEntry* entry =
          SlgSprCreate(nullptr, sprite, at_x, at_y, kMapSurface, key, depth, 0);
      if (entry != nullptr) Ctx().ddraw_spr.SetBufferAlpha(entry, plane.alpha);
    }
  }
}

// ---- Tone change ----

struct ToneWork {
  int32_t from;
  int32_t to;
  int32_t duration;
  int32_t back;  // the end form: finishes at plain 256
};
constexpr BlendWord kToneMode = 0x20000;

void ApplyTone(BlendWord word) {
  SlgMap::SetPlaneAlpha(kSlgPlanePriority, word);
  SlgMap::SetPlaneAlpha(kSlgPlaneGround, word);
  SlgMap::SetPlaneAlpha(kSlgPlaneUnderGround, word);
  FixTaskUpdateAll(word);
}

void ToneChangeTask(SlgEffectTask* task) {
  auto* work = static_cast<ToneWork*>(task->owned[0]);
  if (task->phase != 0) {
    SlgTaskEndPlain(task);
    return;
  }
  if (task->frames >= work->duration) {
    ApplyTone(work->back != 0 ? 256u : static_cast<BlendWord>(work->to) + kToneMode);
    task->phase = 1;
    return;
  }
  const int64_t level =
      int64_t{work->to - work->from} * task->frames / work->duration + work->from;
  ApplyTone(static_cast<BlendWord>(level) + kToneMode);
}

void StartTone(int from, int to, int n, int back) {
  SlgEffectTask* task = SlgTaskCreateWork(&ToneChangeTask, sizeof(ToneWork),
                                          "SlgMap::ToneChangeTask");
  if (task == nullptr) return;
  auto* work = static_cast<ToneWork*>(task->owned[0]);
  work->from = from;
  work->to = to;
  work->duration = std::max(n, 1);
  work->back = back;
}

}  // namespace

namespace SlgMap {

uint32_t PrioWordAt(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void LoadMapTable(int map) {
  SlgMapState& state = Map();
  Battle().night_mode = 0;
  state.no_zako = 0;
  state.prio.fill(0);
  state.clock = GameClock();
  const std::string table = SlgStageFileName(SlgStageFormat::kMapTable, map);
  const std::string folder = FolderOf(table);
  if (!HasScene()) {
    DebugPrint("SlgMap: no scene context for the map banks\n");
    return;
  }
  CTextFile reader(Ctx().file_io);
  if (reader.Open(table.c_str()) == 0) {
    DebugPrint("SlgMap: %s not read: no planes\n", table.c_str());
    return;
  }
  static char line[kLineMax];
  int number = 0;
  while (reader.IsEnd() == 0) {
    reader.GetLine(line, kLineMax);
    if (reader.IsEnd() != 0 && line[0] == '\0') break;
    ++number;
    if (!ReadLine(line, number, folder, table.c_str())) break;
  }
}

void FreeMap() {
  SlgMapState& map = Map();
  for (int n = 0; n < static_cast<int>(map.planes.size()); ++n) FreePlane(n);
  if (map.all_map != nullptr && HasCtx()) Ctx().ddraw_spr.DeleteSprite(&map.all_map);
  map.all_map = nullptr;
}

void DrawMap(int32_t x, int32_t y) {
  if ((Battle().flags & 0x2) == 0) return;
  const int64_t f = MapFrames();
  SlgMapState& map = Map();
  for (int n = 0; n < static_cast<int>(map.planes.size()); ++n) {
    const SlgMapPlane* plane = map.planes[static_cast<size_t>(n)].get();
    if (plane == nullptr || plane->enabled == 0) continue;
    DrawPlane(n, *plane, x, y, f);
  }
}

void DrawAllMap(int32_t x, int32_t y) {
  SprRec* sprite = Map().all_map;
  if (sprite == nullptr) return;
  SlgSprCreate(nullptr, sprite, x, y, kMapSurface, 1, kAllMapDepth, 0);
}

void SetPlaneOffset(int n, int32_t x, int32_t y) {
  if (SlgMapPlane* p = Plane(n)) {
    p->offset_x = x;
    p->offset_y = y;
  }
}

void GetPlaneOffset(int n, int32_t* x, int32_t* y) {
  const SlgMapPlane* p = Plane(n);
  if (p == nullptr) return;
  if (x != nullptr) *x = p->offset_x;
  if (y != nullptr) *y = p->offset_y;
}

void SetPlaneAlpha(int n, BlendWord word) {
  if (SlgMapPlane* p = Plane(n)) p->alpha = word;
}

BlendWord GetPlaneAlpha(int n) {
  const SlgMapPlane* p = Plane(n);
  return p != nullptr ? p->alpha : 256u;
}

void SetPlaneEnable(int n, int on) {
  if (SlgMapPlane* p = Plane(n)) p->enabled = on;
}

int32_t GetPlaneDepth(int n) {
  const SlgMapPlane* p = Plane(n);
  return p != nullptr ? p->depth : 0;
}

int IsNightMode() { return Battle().night_mode != 0 ? 1 : 0; }
int IsNoZako() { return Map().no_zako != 0 ? 1 : 0; }

void ToneChangeStart(int n) { StartTone(256, 128, n, 0); }
void ToneChangeEnd(int n) { StartTone(128, 256, n, 1); }

}  // namespace SlgMap
