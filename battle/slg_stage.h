#pragma once
// The stage files of a battle map, under "tamvik2\Map\Map<m>\" with m = battle map number + 1:
// the stage table Map<m>.DAT, the face table Face<m>.DAT, the face conversion table
// Henkan<m>.DAT, the map data Map<m>.bin (two cell grids, big-endian) and the enemy think files
// EnThk<m>.DAT, EnCnd<m>.DAT and EnTab<m>.DAT (little-endian, used as they lie). What they load is
// held in BattleContext (battle/slg_stage_table.h).
//
// Every file opens with the file layer's error flag: a miss shows "FILE OPEN ERROR" and asks the
// window to close. The loader traces the miss and reads nothing from that file: the stage table
// stays zero (no units), the face blocks zero, the grids zero, the think block null.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/slg_stage_table.h"

// The stage file name formats, each applied to "tamvik2\Map\" and the file number twice.
namespace SlgStageFormat {
inline constexpr const char* kStage = "%sMap%02d\\Map%02d.DAT";
inline constexpr const char* kFace = "%sMap%02d\\Face%02d.DAT";
inline constexpr const char* kFaceConv = "%sMap%02d\\Henkan%02d.DAT";
inline constexpr const char* kMapData = "%sMap%02d\\Map%02d.bin";
inline constexpr const char* kThink = "%sMap%02d\\EnThk%02d.DAT";
inline constexpr const char* kCond = "%sMap%02d\\EnCnd%02d.DAT";
inline constexpr const char* kChange = "%sMap%02d\\EnTab%02d.DAT";
inline constexpr const char* kMapTable = "%sMap%02d\\Map%02d.TAB";  // the map planes (slg_map.h)
}  // namespace SlgStageFormat

// The one rule for map numbers in file names: stage folders and stage files are numbered by the
// battle map number + 1 (map 0 -> Map01); the battle message file takes the battle map number
// unchanged (map 0 -> M00MES.BIN, CTamvikMacro::LoadSlgMessage).
constexpr int SlgStageFileNumber(int map) { return map + 1; }
// A stage file's name for battle map `map`: "tamvik2\Map\Map01\Map01.DAT" for kStage and map 0.
std::string SlgStageFileName(const char* format, int map);

// Offsets, in the map data, of the big-endian u32 offsets of the first and the second grid.
constexpr size_t kMapDataGrid1At = 80;
constexpr size_t kMapDataGrid2At = 88;
constexpr size_t kMapDataMinBytes = 96;

// Loads the stage of battle map `map` (initialisation step 1): the stage table, the face table,
// the face conversion table, the map data (then the map plane table and both cell grids), and
// last the map's battle message table.
void StageSetup(int map);

// Fills Battle().cell_grid and cell_grid2 from map data as read (big-endian). Both grids stay
// zero, with a trace naming `name`, unless the file holds 96 bytes and both grids whole. Whether
// the grids were filled.
bool SlgFillCellGrids(const std::vector<uint8_t>& map_data, const char* name);

// Doubles the four (x, y) points (bytes 4-19) of every whole record of an EnThk block whose byte
// 1 (the think type) is 0, 2 or 6, and of an EnCnd block whose byte 0 (the condition kind) is 12
// or 13. A remainder shorter than a record is left as read.
void SlgDoubleThinkPoints(SlgThinkBlock& think);
void SlgDoubleCondPoints(SlgThinkBlock& cond);

namespace Slg {

// Frees the think data, then reads EnThk, EnCnd and EnTab of battle map `map` whole (points
// doubled as above). A file that does not open leaves its pointer null.
void LoadEnemyThink(int map);
// Frees the three think blocks; their pointers become null.
void FreeThinkData();

}  // namespace Slg

// The internal face number of event face `event_face`: the conversion byte - 1; 0 when the byte
// is 0, no table is loaded or the number is outside 0-519. Traces "Event faceno %d , Internal
// Faceno:%d".
int GetInternalFace(int event_face);
