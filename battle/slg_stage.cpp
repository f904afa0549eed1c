// The stage files: StageSetup, the think files and the face conversion.

#include "battle/slg_stage.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "scene/scene_context.h"

namespace {

constexpr const char* kMapDir = "tamvik2\\Map\\";
// The map data and the think files are read whole; no real one comes near this, and a larger
// file is read only this far (with a trace) rather than taking the memory it names.
constexpr uint32_t kReadWholeLimit = 1u << 20;

// Opens `name` with the error flag and reads at most `limit` bytes into `out` (sized to what was
// read). On a miss traces `missing` (a format taking the name) and returns false; nothing is read.
// `file_size` receives the file's size.
bool ReadStageFile(const std::string& name, uint32_t limit, const char* missing,
                   std::vector<uint8_t>* out, uint32_t* file_size) {
  out->clear();
  *file_size = 0;
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(name.c_str(), 1);
  if (h == kInvalidFile) {
    DebugPrint(missing, name.c_str());
    return false;
  }
  const uint32_t size = io.GetSize(h);
  *file_size = size;
  const uint32_t want = std::min(size, limit);
  if (want < size) {
    DebugPrint("%s is %u bytes: only the first %u read\n", name.c_str(), size, want);
  }
  out->assign(want, 0);
  uint32_t got = 0;
  if (want > 0 && (io.Read(h, out->data(), want, &got) == 0 || got != want)) {
    DebugPrint("%s: read %u of %u bytes\n", name.c_str(), got, want);
    out->resize(got);
  }
  io.Close(h);
  return true;
}

uint32_t BigU32At(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Reads a fixed-size table into a zeroed block: a shorter file leaves the rest zero, a longer
// one is read only as far as the block (each traced by the read). A miss leaves the block zero.
template <size_t N>
void ReadFixedTable(const std::string& name, const char* what, const char* missing,
                    std::array<uint8_t, N>* block) {
  block->fill(0);
  std::vector<uint8_t> bytes;
  uint32_t size = 0;
  if (!ReadStageFile(name, static_cast<uint32_t>(N), missing, &bytes, &size)) return;
  if (bytes.size() < N) {
    DebugPrint("%s data (%s) is %u bytes, not %zu: read %zu, the rest zero\n", what, name.c_str(),
               size, N, bytes.size());
  }
  std::copy(bytes.begin(), bytes.end(), block->begin());
}

// Doubles the eight i16 coordinates at bytes 4-19 of one record (little-endian, as stored).
void DoublePoints(uint8_t* record) {
  for (size_t at = 4; at < kThinkRecordBytes; at += 2) {
    const int v = static_cast<int16_t>(record[at] | record[at + 1] << 8);
    const uint16_t doubled = static_cast<uint16_t>(v * 2);
    record[at] = static_cast<uint8_t>(doubled & 0xFF);
    record[at + 1] = static_cast<uint8_t>(doubled >> 8);
  }
}

std::unique_ptr<SlgThinkBlock> ReadThinkFile(int map, const char* format, const char* missing) {
  const std::string name = SlgStageFileName(format, map);
  auto block = std::make_unique<SlgThinkBlock>();
  uint32_t size = 0;
  if (!ReadStageFile(name, kReadWholeLimit, missing, block.get(), &size)) return nullptr;
  return block;
}

}  // namespace

std::string SlgStageFileName(const char* format, int map) {
  char name[64];
  const int m = SlgStageFileNumber(map);
  std::snprintf(name, sizeof name, format, kMapDir, m, m);
  return name;
}

bool SlgFillCellGrids(const std::vector<uint8_t>& map_data, const char* name) {
  BattleContext& battle = Battle();
  battle.cell_grid.fill(0);
  battle.cell_grid2.fill(0);
  const uint64_t size = map_data.size();
  if (size < kMapDataMinBytes) {
    DebugPrint("Can't use Map Data (%s): %llu bytes, less than %zu (FATAL)\n", name,
               static_cast<unsigned long long>(size), kMapDataMinBytes);
    return false;
  }
  const uint32_t at1 = BigU32At(&map_data[kMapDataGrid1At]);
  const uint32_t at2 = BigU32At(&map_data[kMapDataGrid2At]);
  if (uint64_t{at1} + kSlgGridBytes > size || uint64_t{at2} + kSlgGridBytes > size) {
    DebugPrint(
        "Can't use Map Data (%s): grids at 0x%X and 0x%X do not lie in its %llu bytes "
        "(FATAL)\n",
        name, at1, at2, static_cast<unsigned long long>(size));
    return false;
  }
  for (int i = 0; i < kSlgGridCells; ++i) {
    battle.cell_grid[i] = BigU32At(&map_data[at1 + 4 * static_cast<size_t>(i)]);
    battle.cell_grid2[i] = BigU32At(&map_data[at2 + 4 * static_cast<size_t>(i)]);
  }
  return true;
}

void StageSetup(int map) {
  BattleContext& battle = Battle();
  DebugPrint("StageSetup StageNo=%d\n", map);

  // The stage table.
  battle.stage.reset();
  battle.stage = std::make_unique<StageTable>();
  {
    const std::string name = SlgStageFileName(SlgStageFormat::kStage, map);
    std::vector<uint8_t> bytes;
    uint32_t size = 0;
    if (ReadStageFile(name, kStageTableBytes, "Can't open Stage Table data (%s)!! (FATAL)\n",
                      &bytes, &size)) {
      battle.stage->Assign(bytes.data(), bytes.size(), name.c_str());
    }
  }
  const StageHeader h = battle.stage->header();
  DebugPrint("SLW=%d SLH=%d ", h.width, h.height);
  DebugPrint("SOX=%d SOY=%d ", h.scroll_x, h.scroll_y);
  DebugPrint("SSX=%d SSY=%d\n", h.start_x, h.start_y);
  DebugPrint("MapPri=%d %d %d %d ", h.map_pri[0], h.map_pri[1], h.map_pri[2], h.map_pri[3]);
  DebugPrint("NumUnit=%d\n", h.num_unit);

  // The face table and the face conversion table.
  battle.face_table.reset();
  battle.face_table = std::make_unique<std::array<uint8_t, kFaceTableBytes>>();
  ReadFixedTable(SlgStageFileName(SlgStageFormat::kFace, map), "Face Table",
                 "Can't open Face Table data (%s)!! (FATAL)\n", battle.face_table.get());
  battle.face_conv.reset();
  battle.face_conv = std::make_unique<std::array<uint8_t, kFaceConvBytes>>();
  ReadFixedTable(SlgStageFileName(SlgStageFormat::kFaceConv, map), "Face Henkan Table",
                 "Can't open Face Henkan Table data (%s)!! (FATAL)\n", battle.face_conv.get());

  // The map data: the plane table and both grids only when it was read; freed at the end of
  // this block.
  battle.cell_grid.fill(0);
  battle.cell_grid2.fill(0);
  {
    const std::string name = SlgStageFileName(SlgStageFormat::kMapData, map);
    std::vector<uint8_t> map_data;
    uint32_t size = 0;
    if (ReadStageFile(name, kReadWholeLimit, "Can't open Map Data (%s)!! (FATAL) \n", &map_data,
                      &size)) {
      SlgMap::LoadMapTable(map);
      SlgFillCellGrids(map_data, name.c_str());
    }
  }

  // The battle message table, also after a miss.
  if (HasScene()) {
    Scene().macro.LoadSlgMessage(map);
  } else {
    DebugPrint("StageSetup: no scene context for the battle message table\n");
  }
}

void SlgDoubleThinkPoints(SlgThinkBlock& think) {
  const size_t records = think.size() / kThinkRecordBytes;
  for (size_t r = 0; r < records; ++r) {
    uint8_t* record = think.data() + r * kThinkRecordBytes;
    const uint8_t type = record[1];
    if (type == 0 || type == 2 || type == 6) DoublePoints(record);
  }
}

void SlgDoubleCondPoints(SlgThinkBlock& cond) {
  const size_t records = cond.size() / kThinkRecordBytes;
  for (size_t r = 0; r < records; ++r) {
    uint8_t* record = cond.data() + r * kThinkRecordBytes;
    const uint8_t kind = record[0];
    if (kind == 12 || kind == 13) DoublePoints(record);
  }
}

namespace Slg {

void LoadEnemyThink(int map) {
  FreeThinkData();
  BattleContext& battle = Battle();
  battle.enemy_think =
      ReadThinkFile(map, SlgStageFormat::kThink, "Can't open enemy think data (%s)!\n");
  if (battle.enemy_think) SlgDoubleThinkPoints(*battle.enemy_think);
  battle.enemy_cond =
      ReadThinkFile(map, SlgStageFormat::kCond, "Can't open enemy jouken data (%s)!\n");
  if (battle.enemy_cond) SlgDoubleCondPoints(*battle.enemy_cond);
  battle.enemy_change =
      ReadThinkFile(map, SlgStageFormat::kChange, "Can't open enemy think change table (%s)!\n");
}

void FreeThinkData() {
  BattleContext& battle = Battle();
  battle.enemy_think.reset();
  battle.enemy_cond.reset();
  battle.enemy_change.reset();
}

}  // namespace Slg

int GetInternalFace(int event_face) {
  const BattleContext& battle = Battle();
  int face = 0;
  if (battle.face_conv && event_face >= 0 && event_face < static_cast<int>(kFaceConvBytes)) {
    const uint8_t byte = (*battle.face_conv)[static_cast<size_t>(event_face)];
    if (byte != 0) face = byte - 1;
  }
  DebugPrint("Event faceno %d , Internal Faceno:%d\n", event_face, face);
  return face;
}
