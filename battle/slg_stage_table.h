#pragma once
// The stage's tables as the battle holds them: the stage table of a map (its 1300 bytes as read,
// little-endian, with typed read access), the face and face conversion tables, the two cell grids
// and the three enemy think blocks. Loaded by StageSetup and Slg::LoadEnemyThink
// (battle/slg_stage.h); held in BattleContext.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Header of the stage table (bytes 0-17).
struct StageHeader {
  uint16_t width = 0;                // SLW: map width in pixels
  uint16_t height = 0;               // SLH: map height in pixels
  int16_t scroll_x = 0;              // SOX: horizontal scroll offset added when the map is drawn
  int16_t scroll_y = 0;              // SOY
  int16_t start_x = 0;               // SSX: the map pixel the screen is centred on at the start
  int16_t start_y = 0;               // SSY
  std::array<uint8_t, 4> map_pri{};  // four map priority values
  uint16_t num_unit = 0;             // NumUnit: unit entries in use
};

// One unit entry (16 bytes at 20 + 16 i); units are created from it.
struct StageUnitEntry {
  uint8_t side = 0;  // 0 the player's side
  uint8_t character = 0;
  uint8_t class_index = 0;  // into the 64 class entries
  uint8_t byte3 = 0;
  int16_t x = 0;  // map pixel
  int16_t y = 0;
  uint8_t facing = 0;  // 0-3
  uint8_t byte9 = 0;
  // Byte 10: the unit's row of the think-change table (EnTab), which the unit states and hit
  // reactions also read as the unit's variant byte; an event object's attribute byte (16:
  // mirrored).
  uint8_t think_row = 0;
  // Byte 11: the unit's number among the entries of its kind (1, 2, ...), by which the event
  // scripts name one of several units of a kind (as number x 256, the high byte of the word at
  // bytes 10-11).
  uint8_t placement_number = 0;
  uint16_t flags = 0;   // the unit's initial flag word
  uint8_t present = 0;  // 1: created at the battle's initialisation
  uint8_t byte15 = 0;

  // The word at bytes 10-11: an event object's attribute word (the low byte the attribute, the
  // high byte the placement number).
  uint16_t attr_word() const { return static_cast<uint16_t>(think_row | placement_number << 8); }
};

// One class entry (4 bytes at 1044 + 4 i).
struct StageClassEntry {
  uint8_t kind = 0;      // unit kind 0-51, or an event object's 80-143 (category 3)
  uint8_t category = 0;  // 0-4
  uint8_t byte2 = 0;
  uint8_t byte3 = 0;
};

// The largest map width and height a stage may give: map pixels are 16-bit signed words (unit
// positions, the scroll), and the camera keeps the scroll range in 16.16 within 32 bits. A larger
// size is held to it at load.
constexpr uint16_t kStageMapSizeLimit = 32767;

constexpr size_t kStageTableBytes = 1300;
constexpr int kStageUnitEntries = 64;
constexpr int kStageClassEntries = 64;
constexpr size_t kStageUnitOffset = 20;
constexpr size_t kStageClassOffset = 1044;
// The ranges the unit tables are indexed with: 52 unit kinds, 5 category updates.
constexpr int kSlgUnitKinds = 52;
constexpr int kSlgCategories = 5;
// Event objects (the map scripts' people and props): kinds 80-143, of category 3, animated by the
// battle events. No table of the core is indexed by their kind; their type row is zero.
constexpr int kSlgEventObjKindFirst = 80;
constexpr int kSlgEventObjKinds = 64;
constexpr uint8_t kSlgEventObjCategory = 3;

// Whether units of a class of this kind and category may be made: kinds 0-51 of categories 0-4,
// and the event-object kinds 80-143 of category 3.
constexpr bool SlgClassUsable(int kind, int category) {
  if (category < 0 || category >= kSlgCategories) return false;
  if (kind >= 0 && kind < kSlgUnitKinds) return true;
  return category == kSlgEventObjCategory && kind >= kSlgEventObjKindFirst &&
         kind < kSlgEventObjKindFirst + kSlgEventObjKinds;
}

constexpr size_t kFaceTableBytes = 384;  // 64 rows of 6 expressions
constexpr size_t kFaceConvBytes = 520;   // one byte per event face number

// A cell grid: 88 rows of 22 cells, cell (column, row) at row x 22 + column.
constexpr int kSlgGridColumns = 22;
constexpr int kSlgGridRows = 88;
constexpr int kSlgGridCells = kSlgGridColumns * kSlgGridRows;
constexpr size_t kSlgGridBytes = kSlgGridCells * 4;
using SlgGrid = std::array<uint32_t, kSlgGridCells>;

// The stage table: the bytes as read (a shorter file leaves the rest zero), NumUnit at most 64,
// and beside it a mark for each entry that no creation may use.
class StageTable {
 public:
  // Takes the first 1300 bytes (the rest zero), keeps NumUnit at most 64 and marks the unusable
  // entries, tracing each repair with `name`.
  void Assign(const uint8_t* bytes, size_t size, const char* name);

  StageHeader header() const;
  // Entry i; an i outside 0-63 gives a zero entry.
  StageUnitEntry unit(int i) const;
  StageClassEntry class_entry(int i) const;
  // NumUnit (never above 64 once assigned).
  int unit_count() const { return header().num_unit; }
  // Whether units may be created from entry i: its class index is below 64 and its class's kind
  // and category are usable (SlgClassUsable). False for an i outside 0-63.
  bool usable(int i) const { return i >= 0 && i < kStageUnitEntries && !unusable_[i]; }
  // Moves entry i's position (map pixels; the event scripts place a unit before deploying it).
  // Nothing for an i outside 0-63.
  void SetUnitPos(int i, int16_t x, int16_t y);

  const std::array<uint8_t, kStageTableBytes>& bytes() const { return bytes_; }

 private:
  std::array<uint8_t, kStageTableBytes> bytes_{};
  std::array<bool, kStageUnitEntries> unusable_{};
};

// A think file read whole (EnThk, EnCnd, EnTab).
using SlgThinkBlock = std::vector<uint8_t>;
constexpr size_t kThinkRecordBytes = 20;  // EnThk and EnCnd records
constexpr size_t kThinkChangeRowBytes = 8;
