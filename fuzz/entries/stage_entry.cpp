// The stage files of a battle map: StageSetup over the stage table, face tables and map data,
// Slg::LoadEnemyThink over the three think files, and the face conversion; then the battle's
// initialisation over them (the unit steps) and one frame of its main task.

#include <algorithm>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_stage.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "fuzz/entries/battle_rig_support.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "testsupport/battle_install.h"
#include "testsupport/stage_writer.h"
#include "testsupport/temp_tree.h"

namespace fuzz {

using detail::Check;

namespace {

constexpr const char* kName = "stage";

// The seven files in the order of StageWriter::File.
constexpr int kParts = testsupport::StageWriter::kFileCount;

uint32_t BigU32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
         static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

// Whether a think block is the file with the points of the doubled records doubled (mod 2^16)
// and every other byte as read.
bool ConvertedAsRead(const Bytes& file, const SlgThinkBlock& block,
                     bool (*doubled)(const uint8_t*)) {
  if (block.size() != file.size()) return false;
  const size_t whole = file.size() / kThinkRecordBytes * kThinkRecordBytes;
  for (size_t r = 0; r < whole; r += kThinkRecordBytes) {
    const bool twice = doubled(&file[r]);
    for (size_t at = 0; at < kThinkRecordBytes; at += 2) {
      const uint16_t in = static_cast<uint16_t>(file[r + at] | file[r + at + 1] << 8);
      const uint16_t out = static_cast<uint16_t>(block[r + at] | block[r + at + 1] << 8);
      const uint16_t want = (twice && at >= 4) ? static_cast<uint16_t>(in * 2u) : in;
      if (out != want) return false;
    }
  }
  return std::equal(file.begin() + static_cast<std::ptrdiff_t>(whole), file.end(),
                    block.begin() + static_cast<std::ptrdiff_t>(whole));
}

// The builder's dressed text tables and System.Tab (exact case, beside the stage's folder).
void LayTables(testsupport::GameTree& tree) {
  const testsupport::BattleInstall install;
  const testsupport::SlgTableWriter tables = install.Tables();
  constexpr const char* kNames[] = {"SE.TAB", "VOICE.TAB", "UnitAnm.TAB", "EventAnm.TAB"};
  for (int i = 0; i < testsupport::SlgTableWriter::kTableCount; ++i) {
    tree.Write(std::string("install/tamvik2/") + kNames[i],
               tables.Text(static_cast<testsupport::SlgTableWriter::Table>(i)));
  }
  tree.Write("install/tamvik2/System.Tab", install.SystemTab().Text());
  detail::LayBattleSprites();
}

// The initialisation machine as a battle's start runs it (tables, stage, the unit steps, the
// main task) under a stand-in mode manager, then one task pass (the main task's frame) and the
// teardown. Rules: the machine ends within its steps; at most 64 units, each of a kind in the
// unit table and a category at most 4, or an event object (kind 80-143, category 3);
// sprite-buffer entries within the pool.
void InitialiseAndRunAFrame(testsupport::GameTree& tree, BattleContext& battle) {
  LayTables(tree);
  CGameTask& tasks = Ctx().game_task;
  tasks.SetTaskSimple(nullptr, [](GameTaskRec*) {}, CTamvikGeneral::kManagerTaskName);
  GetSystemData()->setBattleMap(0);
  Game().sequences.set_mode = [](int) { return 1; };
  constexpr int kStepLimit = kStageUnitEntries + 16;
  int steps = 0;
  while (steps < kStepLimit && SlgInitMachineStep() == 0) ++steps;
  Check(steps < kStepLimit, kName, "the initialisation did not end");
  const SlgBattleState& s = battle.state;
  Check(s.unit_count <= kStageUnitEntries, kName, "more than 64 units");
  for (int i = 0; i < std::min<int>(s.unit_count, kStageUnitEntries); ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    Check(SlgClassUsable(u.kind, u.category), kName,
          "a unit of a kind or category outside the tables");
  }
  tasks.ExecTask();
  Check(detail::BattleOnRig::EntriesWithinPool(), kName, "sprite-buffer entries outside the pool");
  Slg::StopMainTask();
  SlgTeardown();
  if (GameTaskRec* manager = tasks.FindTask(CTamvikGeneral::kManagerTaskName)) {
    manager->function = nullptr;
  }
  tasks.ExecTask();
}

}  // namespace

// Input: the stage table, face table, conversion table, map data, EnThk, EnCnd and EnTab. Rules:
// the stage table is the file's first 1300 bytes (zero after) with NumUnit at most 64 and the map
// width and height at most 32767; an entry is usable exactly when its class index, kind and
// category lie inside their tables (kinds 80-143 of category 3 included); the grids are the file's big-endian words at the offsets of
// bytes 80 and 88 when the file holds both, else zero; each think block is its file with exactly
// the points of the doubled records doubled; internal faces lie in 0-254 and are 0 outside 0-519.
void StageEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, kParts);
  testsupport::GameTree& tree = detail::Tree();
  testsupport::StageWriter names(0);
  for (int f = 0; f < kParts; ++f) {
    // Exact case: the shared tree may hold other folders of this name in another case.
    std::string rel = "install/" + names.GameName(static_cast<testsupport::StageWriter::File>(f));
    std::replace(rel.begin(), rel.end(), '\\', '/');
    tree.Write(rel, parts[static_cast<size_t>(f)]);
  }
  detail::BattleOnRig on;
  if (!on.rig.ready) return;
  BattleContext& battle = on.battle;
  StageSetup(0);
  Slg::LoadEnemyThink(0);

  // The stage table.
  const Bytes& table = parts[0];
  const StageTable& stage = *battle.stage;
  // A file cut inside the word reads as zero-padded, as the rest of a short table.
  const uint32_t num_unit = detail::Le16(table, 16);
  Check(stage.unit_count() == static_cast<int>(std::min<uint32_t>(num_unit, kStageUnitEntries)),
        kName, "NumUnit is not the file's, at most 64");
  const StageHeader header = stage.header();
  Check(header.width == std::min<uint32_t>(detail::Le16(table, 0), kStageMapSizeLimit) &&
            header.height == std::min<uint32_t>(detail::Le16(table, 2), kStageMapSizeLimit),
        kName, "the map size is not the file's, at most 32767");
  for (size_t i = 4; i < kStageTableBytes; ++i) {
    if (i == 16 || i == 17) continue;
    const uint8_t want = i < table.size() ? table[i] : 0;
    if (stage.bytes()[i] != want) {
      Check(false, kName, "a stage table byte differs from the file");
      break;
    }
  }
  for (int i = 0; i < kStageUnitEntries; ++i) {
    const StageUnitEntry e = stage.unit(i);
    const StageClassEntry c = stage.class_entry(e.class_index);
    const bool fits = e.class_index < kStageClassEntries && SlgClassUsable(c.kind, c.category);
    Check(stage.usable(i) == fits, kName, "an entry's usable mark does not follow its class");
  }

  // The grids.
  const Bytes& map = parts[3];
  bool fits = map.size() >= kMapDataMinBytes;
  uint64_t at1 = 0;
  uint64_t at2 = 0;
  if (fits) {
    at1 = BigU32(map, kMapDataGrid1At);
    at2 = BigU32(map, kMapDataGrid2At);
    fits = at1 + kSlgGridBytes <= map.size() && at2 + kSlgGridBytes <= map.size();
  }
  for (int i = 0; i < kSlgGridCells; ++i) {
    const uint32_t want1 = fits ? BigU32(map, at1 + 4 * static_cast<size_t>(i)) : 0;
    const uint32_t want2 = fits ? BigU32(map, at2 + 4 * static_cast<size_t>(i)) : 0;
    if (battle.cell_grid[i] != want1 || battle.cell_grid2[i] != want2) {
      Check(false, kName, "a grid cell differs from the map data");
      break;
    }
  }

  // The think files.
  Check(battle.enemy_think && battle.enemy_cond && battle.enemy_change, kName,
        "a think file that exists was not loaded");
  if (battle.enemy_think && battle.enemy_cond && battle.enemy_change) {
    Check(ConvertedAsRead(parts[4], *battle.enemy_think,
                          [](const uint8_t* r) { return r[1] == 0 || r[1] == 2 || r[1] == 6; }),
          kName, "EnThk not as read with its points doubled");
    Check(ConvertedAsRead(parts[5], *battle.enemy_cond,
                          [](const uint8_t* r) { return r[0] == 12 || r[0] == 13; }),
          kName, "EnCnd not as read with its points doubled");
    Check(*battle.enemy_change == parts[6], kName, "EnTab not as read");
  }

  // The face conversion.
  const Bytes& conv = parts[2];
  for (int n : {-1, 0, 1, 255, 519, 520, 1 << 20}) {
    const int face = GetInternalFace(n);
    const uint8_t byte = (n >= 0 && n < 520 && static_cast<size_t>(n) < conv.size())
                             ? conv[static_cast<size_t>(n)]
                             : 0;
    Check(face == (byte == 0 ? 0 : byte - 1), kName, "an internal face differs from the table");
  }

  InitialiseAndRunAFrame(tree, battle);
}

std::vector<Bytes> StageSeeds() {
  using testsupport::StageWriter;
  auto all = [](const StageWriter& w) {
    std::vector<Bytes> parts;
    for (int f = 0; f < StageWriter::kFileCount; ++f) {
      parts.push_back(w.Bytes(static_cast<StageWriter::File>(f)));
    }
    return JoinParts(parts);
  };
  StageWriter minimal = testsupport::MinimalStage();
  // Grids overlapping in a short file, grid 2 first; think records of every type.
  StageWriter odd = testsupport::MinimalStage();
  odd.map_data_bytes = 96 + 7744;
  odd.grid1_offset = 96;
  odd.grid2_offset = 96;
  odd.grid1.fill(testsupport::CellWord(3, 0x400, 1));
  odd.header.num_unit = 64;
  odd.units[5].class_index = 70;
  odd.classes[1].kind = 52;
  // An event object made at the start.
  odd.classes[2] = {80, 3, 0, 0};
  odd.units[6].class_index = 2;
  odd.units[6].present = 1;
  for (uint8_t type = 0; type < 8; ++type) {
    testsupport::ThinkRecord r;
    r.type = type;
    r.points[0] = {-16384, 16383};
    odd.think.push_back(r);
  }
  odd.cond.push_back({12, 0, 'd', 0, {{{1, 2}, {3, 4}, {5, 6}, {7, 8}}}});
  odd.Resize(StageWriter::kThink, 8 * 20 + 7);
  return {all(minimal), all(odd), JoinParts({Bytes(18, 0xFF), {}, {}, Bytes(100, 0)})};
}

}  // namespace fuzz
