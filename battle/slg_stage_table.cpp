#include "battle/slg_stage_table.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/core/debug_trace.h"

namespace {

uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
int16_t I16At(const uint8_t* p) { return static_cast<int16_t>(U16At(p)); }

}  // namespace

void StageTable::Assign(const uint8_t* bytes, size_t size, const char* name) {
  bytes_.fill(0);
  unusable_.fill(false);
  const size_t n = std::min(size, kStageTableBytes);
  if (n > 0) std::memcpy(bytes_.data(), bytes, n);
  if (size < kStageTableBytes) {
    DebugPrint("Stage Table data (%s) is %zu bytes, not %zu: read %zu, the rest zero\n", name, size,
               kStageTableBytes, n);
  }
  // Only 64 entries exist: a larger count would read the class entries as units.
  const uint16_t count = U16At(&bytes_[16]);
  if (count > kStageUnitEntries) {
    DebugPrint("Stage Table data (%s): NumUnit=%u, only %d entries kept\n", name, count,
               kStageUnitEntries);
    bytes_[16] = static_cast<uint8_t>(kStageUnitEntries);
    bytes_[17] = 0;
  }
  // The map size, held to what the camera and the map's 16-bit pixels can hold.
  for (const auto& [at, field] : {std::pair<size_t, const char*>{0, "SLW"}, {2, "SLH"}}) {
    const uint16_t size = U16At(&bytes_[at]);
    if (size <= kStageMapSizeLimit) continue;
    DebugPrint("Stage Table data (%s): %s=%d above the limit %d: held to it\n", name, field,
               int{size}, int{kStageMapSizeLimit});
    bytes_[at] = static_cast<uint8_t>(kStageMapSizeLimit & 0xFF);
    bytes_[at + 1] = static_cast<uint8_t>(kStageMapSizeLimit >> 8);
  }
  // The class index, kind and category index fixed tables of 64, 52 and 5 rows.
  for (int i = 0; i < kStageUnitEntries; ++i) {
    const StageUnitEntry e = unit(i);
    if (e.class_index >= kStageClassEntries) {
      DebugPrint("Stage Table data (%s): unit entry %d has class %u (0-%d): unusable\n", name, i,
                 e.class_index, kStageClassEntries - 1);
      unusable_[i] = true;
      continue;
    }
    const StageClassEntry c = class_entry(e.class_index);
    if (!SlgClassUsable(c.kind, c.category)) {
      DebugPrint(
          "Stage Table data (%s): unit entry %d, class %u has kind %u (0-%d, or %d-%d of category "
          "%d), category %u (0-%d): unusable\n",
          name, i, e.class_index, c.kind, kSlgUnitKinds - 1, kSlgEventObjKindFirst,
          kSlgEventObjKindFirst + kSlgEventObjKinds - 1, kSlgEventObjCategory, c.category,
          kSlgCategories - 1);
      unusable_[i] = true;
    }
  }
}

StageHeader StageTable::header() const {
  const uint8_t* p = bytes_.data();
  StageHeader h;
  h.width = U16At(p + 0);
  h.height = U16At(p + 2);
  h.scroll_x = I16At(p + 4);
  h.scroll_y = I16At(p + 6);
  h.start_x = I16At(p + 8);
  h.start_y = I16At(p + 10);
  for (int i = 0; i < 4; ++i) h.map_pri[i] = p[12 + i];
  h.num_unit = U16At(p + 16);
  return h;
}

StageUnitEntry StageTable::unit(int i) const {
  StageUnitEntry e;
  if (i < 0 || i >= kStageUnitEntries) return e;
  const uint8_t* p = bytes_.data() + kStageUnitOffset + 16 * static_cast<size_t>(i);
  e.side = p[0];
  e.character = p[1];
  e.class_index = p[2];
  e.byte3 = p[3];
  e.x = I16At(p + 4);
  e.y = I16At(p + 6);
  e.facing = p[8];
  e.byte9 = p[9];
  e.think_row = p[10];
  e.placement_number = p[11];
  e.flags = U16At(p + 12);
  e.present = p[14];
  e.byte15 = p[15];
  return e;
}

void StageTable::SetUnitPos(int i, int16_t x, int16_t y) {
  if (i < 0 || i >= kStageUnitEntries) return;
  uint8_t* p = bytes_.data() + kStageUnitOffset + 16 * static_cast<size_t>(i);
  for (const auto& [at, v] : {std::pair<int, int16_t>{4, x}, {6, y}}) {
    p[at] = static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF);
    p[at + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
  }
}

StageClassEntry StageTable::class_entry(int i) const {
  StageClassEntry c;
  if (i < 0 || i >= kStageClassEntries) return c;
  const uint8_t* p = bytes_.data() + kStageClassOffset + 4 * static_cast<size_t>(i);
  c.kind = p[0];
  c.category = p[1];
  c.byte2 = p[2];
  c.byte3 = p[3];
  return c;
}
