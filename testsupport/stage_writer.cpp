#include "testsupport/stage_writer.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "battle/battle_context.h"
#include "battle/slg_stage.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

namespace {

void PutU16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutBigU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  if (at + 4 > out.size()) return;
  out[at] = static_cast<uint8_t>(v >> 24);
  out[at + 1] = static_cast<uint8_t>(v >> 16);
  out[at + 2] = static_cast<uint8_t>(v >> 8);
  out[at + 3] = static_cast<uint8_t>(v);
}

void PutPoints(std::vector<uint8_t>& out, size_t at, const std::array<StagePoint, 4>& points) {
  for (size_t i = 0; i < 4; ++i) {
    PutU16(out, at + 4 + 4 * i, static_cast<uint16_t>(points[i].x));
    PutU16(out, at + 6 + 4 * i, static_cast<uint16_t>(points[i].y));
  }
}

std::vector<uint8_t> StageTableBytes(const StageWriter& w) {
  std::vector<uint8_t> out(kStageTableBytes, 0);
  const StageHeader& h = w.header;
  PutU16(out, 0, h.width);
  PutU16(out, 2, h.height);
  PutU16(out, 4, static_cast<uint16_t>(h.scroll_x));
  PutU16(out, 6, static_cast<uint16_t>(h.scroll_y));
  PutU16(out, 8, static_cast<uint16_t>(h.start_x));
  PutU16(out, 10, static_cast<uint16_t>(h.start_y));
  for (size_t i = 0; i < 4; ++i) out[12 + i] = h.map_pri[i];
  PutU16(out, 16, h.num_unit);
  for (size_t i = 0; i < w.units.size(); ++i) {
    const StageUnitEntry& e = w.units[i];
    const size_t at = kStageUnitOffset + 16 * i;
    out[at + 0] = e.side;
    out[at + 1] = e.character;
    out[at + 2] = e.class_index;
    out[at + 3] = e.byte3;
    PutU16(out, at + 4, static_cast<uint16_t>(e.x));
    PutU16(out, at + 6, static_cast<uint16_t>(e.y));
    out[at + 8] = e.facing;
    out[at + 9] = e.byte9;
    out[at + 10] = e.think_row;
    out[at + 11] = e.placement_number;
    PutU16(out, at + 12, e.flags);
    out[at + 14] = e.present;
    out[at + 15] = e.byte15;
  }
  for (size_t i = 0; i < w.classes.size(); ++i) {
    const StageClassEntry& c = w.classes[i];
    const size_t at = kStageClassOffset + 4 * i;
    out[at + 0] = c.kind;
    out[at + 1] = c.category;
    out[at + 2] = c.byte2;
    out[at + 3] = c.byte3;
  }
  return out;
}

std::vector<uint8_t> MapDataBytes(const StageWriter& w) {
  std::vector<uint8_t> out(w.map_data_bytes, 0);
  PutBigU32(out, kMapDataGrid1At, w.grid1_offset);
  PutBigU32(out, kMapDataGrid2At, w.grid2_offset);
  // Cells that do not fit in the file are left out (the offsets of a bad case may point
  // anywhere).
  for (size_t i = 0; i < w.grid1.size(); ++i) {
    PutBigU32(out, size_t{w.grid1_offset} + 4 * i, w.grid1[i]);
    PutBigU32(out, size_t{w.grid2_offset} + 4 * i, w.grid2[i]);
  }
  return out;
}

std::vector<uint8_t> ThinkBytes(const std::vector<ThinkRecord>& records) {
  std::vector<uint8_t> out(records.size() * kThinkRecordBytes, 0);
  for (size_t r = 0; r < records.size(); ++r) {
    const size_t at = r * kThinkRecordBytes;
    out[at + 0] = records[r].reaction;
    out[at + 1] = records[r].type;
    out[at + 2] = records[r].target;
    out[at + 3] = records[r].unused;
    PutPoints(out, at, records[r].points);
  }
  return out;
}

std::vector<uint8_t> CondBytes(const std::vector<CondRecord>& records) {
  std::vector<uint8_t> out(records.size() * kThinkRecordBytes, 0);
  for (size_t r = 0; r < records.size(); ++r) {
    const size_t at = r * kThinkRecordBytes;
    out[at + 0] = records[r].kind;
    out[at + 1] = records[r].unused1;
    out[at + 2] = records[r].character;
    out[at + 3] = records[r].unused3;
    PutPoints(out, at, records[r].points);
  }
  return out;
}

std::vector<uint8_t> ChangeBytes(const std::vector<ThinkChangeRow>& rows) {
  std::vector<uint8_t> out;
  for (const ThinkChangeRow& row : rows) {
    for (const ThinkChangeRow::Pair& p : row.pairs) {
      out.push_back(p.cond);
      out.push_back(p.think);
    }
  }
  return out;
}

// The game's name formats and the tree's names in mixed case (so that only a case-blind search
// finds them), in the order of StageWriter::File.
constexpr const char* kGameFormats[StageWriter::kFileCount] = {
    SlgStageFormat::kStage,   SlgStageFormat::kFace,  SlgStageFormat::kFaceConv,
    SlgStageFormat::kMapData, SlgStageFormat::kThink, SlgStageFormat::kCond,
    SlgStageFormat::kChange,  SlgStageFormat::kMapTable};
constexpr const char* kTreeFormats[StageWriter::kFileCount] = {
    "install/TaMvIk2/mAp/mAP%02d/mAp%02d.dAt",    "install/TaMvIk2/mAp/mAP%02d/fAcE%02d.DaT",
    "install/TaMvIk2/mAp/mAP%02d/hEnKaN%02d.dat", "install/TaMvIk2/mAp/mAP%02d/MAP%02d.BIN",
    "install/TaMvIk2/mAp/mAP%02d/eNtHk%02d.DAT",  "install/TaMvIk2/mAp/mAP%02d/EnCnD%02d.dat",
    "install/TaMvIk2/mAp/mAP%02d/ENtab%02d.Dat",  "install/TaMvIk2/mAp/mAP%02d/mAp%02d.TaB"};

template <size_t N>
void CopyInto(const std::vector<uint8_t>& bytes, std::array<uint8_t, N>* block) {
  block->fill(0);
  std::copy_n(bytes.begin(), std::min(bytes.size(), N), block->begin());
}

}  // namespace

uint32_t CellWord(int height, uint32_t blocked, int shade) {
  return (static_cast<uint32_t>(height) & 0x1F) | blocked |
         (static_cast<uint32_t>(shade) & 3) << 16;
}

std::string StageWriter::GameName(File file) const {
  return SlgStageFileName(kGameFormats[file], map);
}

std::string StageWriter::TreeRel(File file) const {
  char rel[96];
  const int m = SlgStageFileNumber(map);
  std::snprintf(rel, sizeof rel, kTreeFormats[file], m, m);
  return rel;
}

std::vector<uint8_t> StageWriter::Bytes(File file) const {
  std::vector<uint8_t> out;
  if (raw_[file]) {
    out = *raw_[file];
  } else {
    switch (file) {
      case kStage:
        out = StageTableBytes(*this);
        break;
      case kFace:
        out.assign(face.begin(), face.end());
        break;
      case kFaceConv:
        out.assign(face_conv.begin(), face_conv.end());
        break;
      case kMapData:
        out = MapDataBytes(*this);
        break;
      case kThink:
        out = ThinkBytes(think);
        break;
      case kCond:
        out = CondBytes(cond);
        break;
      case kChange:
        out = ChangeBytes(change);
        break;
      default:
        break;  // the map plane table: empty
    }
  }
  if (size_[file]) out.resize(*size_[file], 0);
  return out;
}

void StageWriter::Lay(GameTree& tree) const {
  for (int f = 0; f < kFileCount; ++f) {
    const File file = static_cast<File>(f);
    if (!omitted_[file]) tree.Write(TreeRel(file), Bytes(file));
  }
}

void StageWriter::Fill(BattleContext& battle) const {
  BattleScope scope(battle);
  battle.stage = std::make_unique<StageTable>();
  if (!omitted_[kStage]) {
    const std::vector<uint8_t> bytes = Bytes(kStage);
    battle.stage->Assign(bytes.data(), bytes.size(), GameName(kStage).c_str());
  }
  battle.face_table = std::make_unique<std::array<uint8_t, kFaceTableBytes>>();
  if (!omitted_[kFace]) CopyInto(Bytes(kFace), battle.face_table.get());
  battle.face_conv = std::make_unique<std::array<uint8_t, kFaceConvBytes>>();
  if (!omitted_[kFaceConv]) CopyInto(Bytes(kFaceConv), battle.face_conv.get());
  battle.cell_grid.fill(0);
  battle.cell_grid2.fill(0);
  if (!omitted_[kMapData]) SlgFillCellGrids(Bytes(kMapData), GameName(kMapData).c_str());
  battle.enemy_think.reset();
  battle.enemy_cond.reset();
  battle.enemy_change.reset();
  if (!omitted_[kThink]) {
    battle.enemy_think = std::make_unique<SlgThinkBlock>(Bytes(kThink));
    SlgDoubleThinkPoints(*battle.enemy_think);
  }
  if (!omitted_[kCond]) {
    battle.enemy_cond = std::make_unique<SlgThinkBlock>(Bytes(kCond));
    SlgDoubleCondPoints(*battle.enemy_cond);
  }
  if (!omitted_[kChange]) battle.enemy_change = std::make_unique<SlgThinkBlock>(Bytes(kChange));
}

StageWriter MinimalStage() {
  StageWriter w(0);
  w.header.width = 640;
  w.header.height = 480;
  w.header.start_x = 320;
  w.header.start_y = 240;
  w.header.num_unit = 2;

  StageUnitEntry& hero = w.units[0];
  hero.side = 0;
  hero.character = 0;
  hero.class_index = 0;
  hero.x = 192;
  hero.y = 240;
  hero.facing = 1;
  hero.flags = 0xB180;
  hero.present = 1;
  StageUnitEntry& ashigaru = w.units[1];
  ashigaru.side = 1;
  ashigaru.character = 20;
  ashigaru.class_index = 1;
  ashigaru.x = 384;
  ashigaru.y = 240;
  ashigaru.facing = 2;
  ashigaru.flags = 0xB180;
  ashigaru.present = 1;
  w.classes[0] = {0, 0, 0, 0};
  w.classes[1] = {14, 1, 0, 0};

  w.face[0] = 1;
  w.face[1] = 2;
  w.face[2] = 3;
  w.face_conv[1] = 2;
  w.face_conv[2] = 3;
  w.face_conv[3] = 4;

  ThinkRecord think;
  think.reaction = 2;
  think.type = 0;
  think.target = 'i';
  think.unused = 0xFF;
  w.think.push_back(think);
  w.cond.push_back(CondRecord{});
  w.change.push_back(ThinkChangeRow{});
  return w;
}

void LaySwarmThinks(StageWriter& stage) {
  stage.think.clear();
  for (const uint8_t type : {0, 2, 4}) {
    ThinkRecord r;
    r.reaction = 2;
    r.type = type;
    r.target = 'i';
    stage.think.push_back(r);
  }
  stage.change.clear();
  for (uint8_t t = 0; t < 3; ++t) {
    ThinkChangeRow row;
    row.pairs[0] = {0, t};
    stage.change.push_back(row);
  }
}

}  // namespace testsupport
