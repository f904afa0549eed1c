#pragma once
// Writes the stage files of a battle map for tests: the stage table (header, 64 unit entries, 64
// class entries, by name), the face table, the face conversion table, Map<m>.bin with both cell
// grids at chosen offsets (big-endian) and the enemy think files EnThk, EnCnd and EnTab (records
// by field, little-endian). Files are laid under a game tree's install directory in mixed case,
// so that the file layer's case-blind search is exercised; raw bytes, cut or padded files and
// missing files make the bad cases. Fill() puts the same tables into a battle context without
// files, as StageSetup and Slg::LoadEnemyThink would load them.
//
//   testsupport::StageWriter stage = testsupport::MinimalStage();
//   stage.units[1].x = 432;
//   stage.Lay(rig.driver().tree);
//   StageSetup(0);

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "battle/slg_stage_table.h"

class BattleContext;

namespace testsupport {

class GameTree;

// A cell word: height level in bits 0-4, the blocked bits as given (0x400 blocked for movement,
// 0x1C00 | 0x80000000 not entered, 0x800 the second grid's flag) and the shade class in bits
// 16-17.
uint32_t CellWord(int height, uint32_t blocked = 0, int shade = 0);

struct StagePoint {
  int16_t x = 0;
  int16_t y = 0;
};

// One EnThk record (20 bytes): reaction, think type 0-7, target ('i', 'k', 'j' or a character),
// an unread byte and four points.
struct ThinkRecord {
  uint8_t reaction = 0;
  uint8_t type = 0;
  uint8_t target = 'i';
  uint8_t unused = 0xFF;
  std::array<StagePoint, 4> points{};
};

// One EnCnd record (20 bytes): condition kind 0-13, an unread byte, the argument character
// (a character, 'h' or 'd'), an unread byte and four points.
struct CondRecord {
  uint8_t kind = 0;
  uint8_t unused1 = 0;
  uint8_t character = 0;
  uint8_t unused3 = 0;
  std::array<StagePoint, 4> points{};
};

// One EnTab row (8 bytes): four (condition record, think record) pairs.
struct ThinkChangeRow {
  struct Pair {
    uint8_t cond = 0;
    uint8_t think = 0;
  };
  std::array<Pair, 4> pairs{};
};

class StageWriter {
 public:
  // kMapTable: the map plane table Map<m>.TAB, written empty unless SetRaw gives its text (the
  // map planes' tests write their own with testsupport/slg_map_writer.h).
  enum File { kStage, kFace, kFaceConv, kMapData, kThink, kCond, kChange, kMapTable, kFileCount };

  // Battle map number 0-26 (its files are numbered map + 1).
  explicit StageWriter(int map = 0) : map(map) {}

  int map;
  // The stage table. header.num_unit is written as given.
  StageHeader header;
  std::array<StageUnitEntry, kStageUnitEntries> units{};
  std::array<StageClassEntry, kStageClassEntries> classes{};
  // Face table: row c (character), byte e (expression) at face[6 c + e].
  std::array<uint8_t, kFaceTableBytes> face{};
  std::array<uint8_t, kFaceConvBytes> face_conv{};
  // Map<m>.bin: its size and where the grids lie (written at bytes 80 and 88); grid cells at
  // row x 22 + column, host order here.
  uint32_t map_data_bytes = 15584;
  uint32_t grid1_offset = 0x60;
  uint32_t grid2_offset = 0x1EA0;
  SlgGrid grid1{};
  SlgGrid grid2{};
  // The think files.
  std::vector<ThinkRecord> think;
  std::vector<CondRecord> cond;
  std::vector<ThinkChangeRow> change;

  // The file's name as the game asks for it ("tamvik2\Map\Map01\Map01.DAT").
  std::string GameName(File file) const;
  // Its place in a game tree, mixed case: "install/TaMvIk2/mAp/mAP01/mAp01.dAt".
  std::string TreeRel(File file) const;
  // The file's bytes: the raw bytes when set, else the encoded tables; then cut or zero-padded
  // to the size set by Resize.
  std::vector<uint8_t> Bytes(File file) const;

  // Bad cases: the file holds exactly these bytes; the file is cut or zero-padded to `size`; the
  // file is not laid.
  void SetRaw(File file, std::vector<uint8_t> bytes) { raw_[file] = std::move(bytes); }
  void Resize(File file, size_t size) { size_[file] = size; }
  void Omit(File file) { omitted_[file] = true; }

  // Writes every file not omitted into the tree.
  void Lay(GameTree& tree) const;
  // Fills the battle context's stage table, face tables, cell grids and think blocks from the
  // same bytes, as the loaders would (a file omitted gives what its miss gives).
  void Fill(BattleContext& battle) const;

 private:
  std::array<std::optional<std::vector<uint8_t>>, kFileCount> raw_{};
  std::array<std::optional<size_t>, kFileCount> size_{};
  std::array<bool, kFileCount> omitted_{};
};

// The minimal stage of battle map 0 (Map01): 640 x 480, start focus (320, 240); the hero (side 0,
// character 0, class 0 = kind 0, category 0) at (192, 240) facing 1 and one ASHIGARU (side 1,
// character 20, class 1 = kind 14, category 1) at (384, 240) facing 2, both with flags 0xB180
// and present at start; face row 0 = 1, 2, 3; conversion bytes 1-3 = 2, 3, 4; flat grids at 0x60
// and 0x1EA0 of a 15584-byte Map01.bin; one think record (reaction 2, type 0, target 'i'), one
// condition of kind 0 and one zero think-change row.
StageWriter MinimalStage();
// Replaces the stage's think data with the swarm's: three engaging thinks (reaction 2, target
// 'i') of types 0, 2 and 4, and change rows 0-2 each naming one of them by its first pair
// (condition 0 never holds, so the first pair's think is taken).
void LaySwarmThinks(StageWriter& stage);

}  // namespace testsupport
