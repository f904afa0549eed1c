// The stage files on the rig: the stage table, face tables, cell grids and think files laid by
// the stage writer in a game tree and read back by StageSetup and Slg::LoadEnemyThink; the bad
// files (short, long, out of range, missing) failing cleanly; the in-memory form of the writer.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_stage.h"
#include "platform/window.h"
#include "testsupport/battle_rig.h"
#include "testsupport/script_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::CellWord;
using testsupport::MinimalStage;
using testsupport::StageWriter;

void ExpectSameEntry(const StageUnitEntry& a, const StageUnitEntry& b, int i) {
  SCOPED_TRACE("unit entry " + std::to_string(i));
  EXPECT_EQ(a.side, b.side);
  EXPECT_EQ(a.character, b.character);
  EXPECT_EQ(a.class_index, b.class_index);
  EXPECT_EQ(a.byte3, b.byte3);
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.y, b.y);
  EXPECT_EQ(a.facing, b.facing);
  EXPECT_EQ(a.byte9, b.byte9);
  EXPECT_EQ(a.think_row, b.think_row);
  EXPECT_EQ(a.placement_number, b.placement_number);
  EXPECT_EQ(a.flags, b.flags);
  EXPECT_EQ(a.present, b.present);
  EXPECT_EQ(a.byte15, b.byte15);
}

int16_t I16At(const SlgThinkBlock& b, size_t at) {
  return static_cast<int16_t>(b[at] | b[at + 1] << 8);
}

bool AllZero(const SlgGrid& grid) {
  for (uint32_t v : grid) {
    if (v != 0) return false;
  }
  return true;
}

// The close requests the file layer posted to the headless window.
int CloseRequests(BattleRig& rig) {
  int n = 0;
  for (const platform::Event& e : rig.driver().host_window().Pending()) {
    if (e.kind == platform::EventKind::kClose) ++n;
  }
  return n;
}

TEST(StageSetup, RoundTripsHeaderEntriesClassesAndFaceTables) {
  BattleRig rig;
  StageWriter stage = MinimalStage();
  // Every field of an entry distinct, so that a field read from the wrong byte shows.
  StageUnitEntry& e = stage.units[1];
  e.byte3 = 0x33;
  e.x = -1234;
  e.byte9 = 0x99;
  e.think_row = 7;
  e.placement_number = 0xBB;
  e.flags = 0x8421;
  e.byte15 = 0xF5;
  stage.header.scroll_x = -16;
  stage.header.scroll_y = 24;
  stage.header.map_pri = {4, 3, 2, 1};
  stage.classes[1].byte2 = 0x22;
  stage.classes[1].byte3 = 0x23;
  stage.face[6 * 20 + 2] = 9;
  stage.face_conv[519] = 77;
  stage.Lay(rig.driver().tree);

  StageSetup(0);

  BattleContext& battle = rig.battle();
  ASSERT_NE(battle.stage, nullptr);
  const StageHeader h = battle.stage->header();
  EXPECT_EQ(h.width, 640);
  EXPECT_EQ(h.height, 480);
  EXPECT_EQ(h.scroll_x, -16);
  EXPECT_EQ(h.scroll_y, 24);
  EXPECT_EQ(h.start_x, 320);
  EXPECT_EQ(h.start_y, 240);
  EXPECT_EQ(h.map_pri, (std::array<uint8_t, 4>{4, 3, 2, 1}));
  EXPECT_EQ(battle.stage->unit_count(), 2);
  for (int i = 0; i < kStageUnitEntries; ++i) {
    ExpectSameEntry(battle.stage->unit(i), stage.units[i], i);
    EXPECT_TRUE(battle.stage->usable(i));
  }
  for (int i = 0; i < kStageClassEntries; ++i) {
    const StageClassEntry c = battle.stage->class_entry(i);
    EXPECT_EQ(c.kind, stage.classes[i].kind) << i;
    EXPECT_EQ(c.category, stage.classes[i].category) << i;
    EXPECT_EQ(c.byte2, stage.classes[i].byte2) << i;
    EXPECT_EQ(c.byte3, stage.classes[i].byte3) << i;
  }
  ASSERT_NE(battle.face_table, nullptr);
  ASSERT_NE(battle.face_conv, nullptr);
  EXPECT_EQ(*battle.face_table, stage.face);
  EXPECT_EQ(*battle.face_conv, stage.face_conv);

  const auto& trace = rig.driver().trace();
  EXPECT_TRUE(trace.Contains("StageSetup StageNo=0"));
  EXPECT_TRUE(trace.Contains("SLW=640 SLH=480 "));
  EXPECT_TRUE(trace.Contains("SOX=-16 SOY=24 "));
  EXPECT_TRUE(trace.Contains("SSX=320 SSY=240\n"));
  EXPECT_TRUE(trace.Contains("MapPri=4 3 2 1 "));
  EXPECT_TRUE(trace.Contains("NumUnit=2\n"));
  // The battle message file is asked for with the map number unchanged.
  EXPECT_TRUE(trace.Contains("MacroLoad Text Filename Tamvik2\\Macro\\M00MES.BIN"));
  EXPECT_TRUE(rig.driver().host_window().boxes.empty());
  EXPECT_EQ(CloseRequests(rig), 0);

  // A second setup frees the first table and reads a fresh one.
  stage.header.num_unit = 1;
  stage.Lay(rig.driver().tree);
  StageSetup(0);
  EXPECT_EQ(battle.stage->unit_count(), 1);
}

TEST(StageSetup, GridsComeBackInHostOrderFromTheOffsetsInTheFile) {
  BattleRig rig;
  StageWriter stage = MinimalStage();
  // Grid 2 before grid 1 in the file.
  stage.grid1_offset = 0x60 + 7744;
  stage.grid2_offset = 0x60;
  for (int i = 0; i < kSlgGridCells; ++i) {
    stage.grid1[i] = 0xA1000000u | static_cast<uint32_t>(i) << 8 | 0x11;
    stage.grid2[i] = 0x52000000u | static_cast<uint32_t>(i) << 4 | 0x3;
  }
  stage.grid1[7 * kSlgGridColumns + 5] = CellWord(3, 0x400, 1);
  stage.grid2[87 * kSlgGridColumns + 21] = CellWord(31, 0x800, 3);
  stage.Lay(rig.driver().tree);

  StageSetup(0);

  const BattleContext& battle = rig.battle();
  EXPECT_EQ(battle.cell_grid[7 * 22 + 5], 0x10403u);
  EXPECT_EQ(battle.cell_grid2[87 * 22 + 21], 0x3081Fu);
  EXPECT_EQ(battle.cell_grid[0], 0xA1000011u);
  EXPECT_EQ(battle.cell_grid, stage.grid1);
  EXPECT_EQ(battle.cell_grid2, stage.grid2);

  // The writer's in-memory form fills the same tables.
  BattleContext memory;
  stage.Fill(memory);
  EXPECT_EQ(memory.cell_grid, battle.cell_grid);
  EXPECT_EQ(memory.cell_grid2, battle.cell_grid2);
  EXPECT_EQ(memory.stage->bytes(), battle.stage->bytes());
  EXPECT_EQ(*memory.face_table, *battle.face_table);
  EXPECT_EQ(*memory.face_conv, *battle.face_conv);
}

TEST(LoadEnemyThink, DoublesThePointsOfTheTypesAndKindsThatTakeThem) {
  BattleRig rig;
  StageWriter stage = MinimalStage();
  const std::array<testsupport::StagePoint, 4> points = {{{1, -2}, {3, 4}, {-5, 6}, {7, 8000}}};
  stage.think.clear();
  for (uint8_t type = 0; type < 8; ++type) {
    testsupport::ThinkRecord r;
    r.type = type;
    r.points = points;
    stage.think.push_back(r);
  }
  stage.cond.clear();
  for (int kind : {11, 12, 13}) {
    testsupport::CondRecord r;
    r.kind = static_cast<uint8_t>(kind);
    r.points = points;
    stage.cond.push_back(r);
  }
  stage.change.push_back({{{{1, 2}, {3, 4}, {5, 6}, {7, 8}}}});
  stage.Lay(rig.driver().tree);

  Slg::LoadEnemyThink(0);

  const BattleContext& battle = rig.battle();
  ASSERT_NE(battle.enemy_think, nullptr);
  ASSERT_NE(battle.enemy_cond, nullptr);
  ASSERT_NE(battle.enemy_change, nullptr);
  ASSERT_EQ(battle.enemy_think->size(), 8u * 20);
  const int16_t stored[8] = {1, -2, 3, 4, -5, 6, 7, 8000};
  for (int type = 0; type < 8; ++type) {
    const int factor = (type == 0 || type == 2 || type == 6) ? 2 : 1;
    for (int k = 0; k < 8; ++k) {
      EXPECT_EQ(I16At(*battle.enemy_think, 20 * type + 4 + 2 * k), stored[k] * factor)
          << "type " << type << " coordinate " << k;
    }
    EXPECT_EQ((*battle.enemy_think)[20 * type + 1], type);
    EXPECT_EQ((*battle.enemy_think)[20 * type + 3], 0xFF);
  }
  ASSERT_EQ(battle.enemy_cond->size(), 3u * 20);
  for (int r = 0; r < 3; ++r) {
    const int factor = r == 0 ? 1 : 2;  // kinds 12 and 13
    for (int k = 0; k < 8; ++k) {
      EXPECT_EQ(I16At(*battle.enemy_cond, 20 * r + 4 + 2 * k), stored[k] * factor)
          << "condition record " << r << " coordinate " << k;
    }
  }
  // EnTab is used as it lies.
  EXPECT_EQ(*battle.enemy_change, (SlgThinkBlock{0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));

  // A 30-byte EnThk: one whole record converted, bytes 20-29 kept as read.
  std::vector<uint8_t> odd = stage.Bytes(StageWriter::kThink);
  odd.resize(30);
  for (size_t i = 20; i < 30; ++i) odd[i] = static_cast<uint8_t>(0x40 + i);
  odd[21] = 0;  // what would be a type-0 record
  stage.SetRaw(StageWriter::kThink, odd);
  stage.Lay(rig.driver().tree);
  Slg::LoadEnemyThink(0);
  ASSERT_NE(battle.enemy_think, nullptr);
  ASSERT_EQ(battle.enemy_think->size(), 30u);
  EXPECT_EQ(I16At(*battle.enemy_think, 4), 2);
  EXPECT_EQ(I16At(*battle.enemy_think, 18), 16000);
  for (size_t i = 20; i < 30; ++i) EXPECT_EQ((*battle.enemy_think)[i], odd[i]) << i;

  // The in-memory form converts the same way.
  BattleContext memory;
  stage.Fill(memory);
  EXPECT_EQ(*memory.enemy_think, *battle.enemy_think);
  EXPECT_EQ(*memory.enemy_cond, *battle.enemy_cond);

  Slg::FreeThinkData();
  EXPECT_EQ(battle.enemy_think, nullptr);
  EXPECT_EQ(battle.enemy_cond, nullptr);
  EXPECT_EQ(battle.enemy_change, nullptr);
}

TEST(GetInternalFace, ConvertsThroughTheTableAndGivesZeroOutsideIt) {
  BattleRig rig;
  // No table loaded yet.
  EXPECT_EQ(GetInternalFace(3), 0);

  StageWriter stage = MinimalStage();
  stage.face_conv[5] = 5;
  stage.face_conv[519] = 200;
  stage.Lay(rig.driver().tree);
  StageSetup(0);
  struct Case {
    int event_face;
    int internal;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{3, 3}, Case{5, 4}, Case{519, 199},
                        Case{520, 0}, Case{-1, 0}, Case{100000, 0}}) {
    EXPECT_EQ(GetInternalFace(c.event_face), c.internal) << c.event_face;
  }
  EXPECT_TRUE(rig.driver().trace().Contains("Event faceno 5 , Internal Faceno:4\n"));
}

// The bad inputs, each laid over a stage whose good load filled every table first, so that
// what a bad file leaves is seen to be reset.
TEST(StageSetup, BadFilesFailCleanly) {
  struct Case {
    const char* name;
    std::function<void(StageWriter&)> mutate;
    std::function<void(const BattleContext&, const testsupport::TraceCapture&)> check;
  };
  const auto grids_zero = [](const BattleContext& b, const testsupport::TraceCapture& t) {
    EXPECT_TRUE(AllZero(b.cell_grid));
    EXPECT_TRUE(AllZero(b.cell_grid2));
    EXPECT_TRUE(t.Contains("Can't use Map Data (tamvik2\\Map\\Map01\\Map01.bin)"));
    EXPECT_EQ(b.stage->unit_count(), 2);  // the other tables are read
  };
  const std::vector<Case> cases = {
      {"100-byte stage table", [](StageWriter& s) { s.Resize(StageWriter::kStage, 100); },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("is 100 bytes, not 1300"));
         EXPECT_EQ(b.stage->header().width, 640);
         EXPECT_EQ(b.stage->unit(1).x, 384);  // entries 0-4 lie in the first 100 bytes
         for (size_t i = 100; i < kStageTableBytes; ++i) ASSERT_EQ(b.stage->bytes()[i], 0) << i;
         // Class 1 was cut off: the ASHIGARU's class reads as kind 0, category 0.
         EXPECT_EQ(b.stage->class_entry(1).kind, 0);
       }},
      // A table cut inside NumUnit: the missing high byte reads as zero, 255 kept at 64.
      {"17-byte stage table ending in NumUnit's low byte 255",
       [](StageWriter& s) { s.SetRaw(StageWriter::kStage, std::vector<uint8_t>(17, 0xFF)); },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("NumUnit=255, only 64 entries kept"));
         EXPECT_EQ(b.stage->unit_count(), 64);
         EXPECT_EQ(b.stage->bytes()[17], 0);
       }},
      {"NumUnit 65", [](StageWriter& s) { s.header.num_unit = 65; },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("NumUnit=65, only 64 entries kept"));
         EXPECT_EQ(b.stage->unit_count(), 64);
       }},
      // The camera keeps the scroll range in 16.16 within 32 bits.
      {"SLW 65535, SLH 40000",
       [](StageWriter& s) {
         s.header.width = 65535;
         s.header.height = 40000;
       },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("SLW=65535 above the limit 32767: held to it"));
         EXPECT_TRUE(t.Contains("SLH=40000 above the limit 32767: held to it"));
         EXPECT_EQ(b.stage->header().width, 32767);
         EXPECT_EQ(b.stage->header().height, 32767);
         EXPECT_EQ(b.stage->unit_count(), 2);
       }},
      {"class index 200", [](StageWriter& s) { s.units[1].class_index = 200; },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("unit entry 1 has class 200"));
         EXPECT_TRUE(b.stage->usable(0));
         EXPECT_FALSE(b.stage->usable(1));
       }},
      {"kind 60", [](StageWriter& s) { s.classes[1].kind = 60; },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("unit entry 1, class 1 has kind 60"));
         EXPECT_TRUE(b.stage->usable(0));
         EXPECT_FALSE(b.stage->usable(1));
       }},
      {"category 7", [](StageWriter& s) { s.classes[0].category = 7; },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("category 7"));
         EXPECT_FALSE(b.stage->usable(0));
         EXPECT_TRUE(b.stage->usable(1));
         // Every entry naming the class is marked, used or not.
         EXPECT_FALSE(b.stage->usable(40));
       }},
      {"50-byte Map.bin", [](StageWriter& s) { s.Resize(StageWriter::kMapData, 50); }, grids_zero},
      {"grid offset 0x7FFFFFF0", [](StageWriter& s) { s.grid1_offset = 0x7FFFFFF0; }, grids_zero},
      {"grid offset 0xFFFFFFF0 (wraps in 32 bits)",
       [](StageWriter& s) { s.grid2_offset = 0xFFFFFFF0; }, grids_zero},
      {"grid 2 ending 10 bytes past the file",
       [](StageWriter& s) { s.grid2_offset = s.map_data_bytes - 7744 + 10; }, grids_zero},
      {"long stage and face files",
       [](StageWriter& s) {
         s.Resize(StageWriter::kStage, 2000);
         s.Resize(StageWriter::kFace, 1000);
       },
       [](const BattleContext& b, const testsupport::TraceCapture& t) {
         EXPECT_TRUE(t.Contains("is 2000 bytes: only the first 1300 read"));
         EXPECT_EQ(b.stage->unit_count(), 2);
         EXPECT_EQ((*b.face_table)[2], 3);
       }},
  };

  BattleRig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StageWriter good = MinimalStage();
    good.grid1.fill(CellWord(1));
    good.grid2.fill(CellWord(2));
    good.Lay(rig.driver().tree);
    StageSetup(0);
    ASSERT_EQ(rig.battle().cell_grid[0], 1u);

    StageWriter bad = good;
    // Entry 40 names class 0: only the category case marks it.
    bad.units[40].class_index = 0;
    c.mutate(bad);
    bad.Lay(rig.driver().tree);
    testsupport::TraceCapture trace;
    StageSetup(0);
    c.check(rig.battle(), trace);

    // The in-memory form repairs the same way.
    BattleContext memory;
    bad.Fill(memory);
    EXPECT_EQ(memory.stage->bytes(), rig.battle().stage->bytes());
    for (int i = 0; i < kStageUnitEntries; ++i) {
      EXPECT_EQ(memory.stage->usable(i), rig.battle().stage->usable(i)) << i;
    }
    EXPECT_EQ(memory.cell_grid, rig.battle().cell_grid);
  }
  EXPECT_TRUE(rig.driver().host_window().boxes.empty());
}

TEST(StageSetup, EachMissingFileShowsTheBoxOnceAndLeavesTheOthersLoaded) {
  struct Miss {
    StageWriter::File file;
    const char* trace;
  };
  const Miss misses[] = {
      {StageWriter::kStage,
       "Can't open Stage Table data (tamvik2\\Map\\Map01\\Map01.DAT)!! (FATAL)"},
      {StageWriter::kFace,
       "Can't open Face Table data (tamvik2\\Map\\Map01\\Face01.DAT)!! (FATAL)"},
      {StageWriter::kFaceConv,
       "Can't open Face Henkan Table data (tamvik2\\Map\\Map01\\Henkan01.DAT)!! (FATAL)"},
      {StageWriter::kMapData, "Can't open Map Data (tamvik2\\Map\\Map01\\Map01.bin)!! (FATAL)"},
      {StageWriter::kThink, "Can't open enemy think data (tamvik2\\Map\\Map01\\EnThk01.DAT)!"},
      {StageWriter::kCond, "Can't open enemy jouken data (tamvik2\\Map\\Map01\\EnCnd01.DAT)!"},
      {StageWriter::kChange,
       "Can't open enemy think change table (tamvik2\\Map\\Map01\\EnTab01.DAT)!"},
  };
  for (const Miss& miss : misses) {
    StageWriter stage = MinimalStage();
    SCOPED_TRACE(stage.GameName(miss.file));
    BattleRig rig;
    stage.grid1[0] = CellWord(4);
    stage.grid2[0] = CellWord(5);
    stage.Omit(miss.file);
    stage.Lay(rig.driver().tree);

    StageSetup(0);
    Slg::LoadEnemyThink(0);

    const auto& window = rig.driver().host_window();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].caption, "FILE OPEN ERROR");
    EXPECT_NE(window.boxes[0].text.find(stage.GameName(miss.file)), std::string::npos);
    EXPECT_EQ(CloseRequests(rig), 1);
    EXPECT_TRUE(rig.driver().trace().Contains(miss.trace));
    // The message table is asked for after any miss.
    EXPECT_TRUE(rig.driver().trace().Contains("M00MES.BIN"));

    const BattleContext& b = rig.battle();
    const bool stage_there = miss.file != StageWriter::kStage;
    EXPECT_EQ(b.stage->unit_count(), stage_there ? 2 : 0);
    EXPECT_EQ(b.stage->unit(0).flags, stage_there ? 0xB180 : 0);
    EXPECT_EQ((*b.face_table)[2], miss.file == StageWriter::kFace ? 0 : 3);
    EXPECT_EQ((*b.face_conv)[3], miss.file == StageWriter::kFaceConv ? 0 : 4);
    const bool map_there = miss.file != StageWriter::kMapData;
    EXPECT_EQ(b.cell_grid[0], map_there ? 4u : 0u);
    EXPECT_EQ(b.cell_grid2[0], map_there ? 5u : 0u);
    EXPECT_EQ(b.enemy_think == nullptr, miss.file == StageWriter::kThink);
    EXPECT_EQ(b.enemy_cond == nullptr, miss.file == StageWriter::kCond);
    EXPECT_EQ(b.enemy_change == nullptr, miss.file == StageWriter::kChange);
  }
}

// The minimal stage later battle tests start from, as the loaders see it.
TEST(MinimalStage, LoadsTheHeroAndOneAshigaruOnAFlatMap01) {
  BattleRig rig;
  const StageWriter stage = MinimalStage();
  const std::vector<uint8_t> map_data = stage.Bytes(StageWriter::kMapData);
  ASSERT_EQ(map_data.size(), 15584u);
  EXPECT_EQ((std::vector<uint8_t>(map_data.begin() + 80, map_data.begin() + 84)),
            (std::vector<uint8_t>{0, 0, 0, 0x60}));
  EXPECT_EQ((std::vector<uint8_t>(map_data.begin() + 88, map_data.begin() + 92)),
            (std::vector<uint8_t>{0, 0, 0x1E, 0xA0}));
  stage.Lay(rig.driver().tree);
  StageSetup(0);
  Slg::LoadEnemyThink(0);

  const BattleContext& b = rig.battle();
  const StageHeader h = b.stage->header();
  EXPECT_EQ(h.width, 640);
  EXPECT_EQ(h.height, 480);
  EXPECT_EQ(h.start_x, 320);
  EXPECT_EQ(h.start_y, 240);
  EXPECT_EQ(b.stage->unit_count(), 2);
  struct Unit {
    int side, character, class_index, x, y, facing, kind, category;
  };
  const Unit want[2] = {{0, 0, 0, 192, 240, 1, 0, 0}, {1, 20, 1, 384, 240, 2, 14, 1}};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const StageUnitEntry e = b.stage->unit(i);
    EXPECT_EQ(e.side, want[i].side);
    EXPECT_EQ(e.character, want[i].character);
    EXPECT_EQ(e.class_index, want[i].class_index);
    EXPECT_EQ(e.x, want[i].x);
    EXPECT_EQ(e.y, want[i].y);
    EXPECT_EQ(e.facing, want[i].facing);
    EXPECT_EQ(e.flags, 0xB180);
    EXPECT_EQ(e.present, 1);
    EXPECT_EQ(b.stage->class_entry(e.class_index).kind, want[i].kind);
    EXPECT_EQ(b.stage->class_entry(e.class_index).category, want[i].category);
    EXPECT_TRUE(b.stage->usable(i));
  }
  EXPECT_EQ((*b.face_table)[0], 1);
  EXPECT_EQ((*b.face_table)[1], 2);
  EXPECT_EQ((*b.face_table)[2], 3);
  EXPECT_EQ(GetInternalFace(1), 1);
  EXPECT_EQ(GetInternalFace(3), 3);
  EXPECT_TRUE(AllZero(b.cell_grid));
  EXPECT_TRUE(AllZero(b.cell_grid2));
  SlgThinkBlock think(20, 0);
  think[0] = 2;
  think[2] = 'i';
  think[3] = 0xFF;
  EXPECT_EQ(*b.enemy_think, think);
  EXPECT_EQ(*b.enemy_cond, SlgThinkBlock(20, 0));
  EXPECT_EQ(*b.enemy_change, SlgThinkBlock(8, 0));
  EXPECT_TRUE(rig.driver().host_window().boxes.empty());
}

TEST(StageFiles, NamesFollowTheMapNumberRule) {
  EXPECT_EQ(SlgStageFileName(SlgStageFormat::kStage, 0), "tamvik2\\Map\\Map01\\Map01.DAT");
  EXPECT_EQ(SlgStageFileName(SlgStageFormat::kThink, 26), "tamvik2\\Map\\Map27\\EnThk27.DAT");

  {
    BattleRig rig;
    // Map 26's think files are found under Map27 (laid in mixed case).
    StageWriter stage(26);
    stage.think.push_back({});
    stage.think[0].points[0] = {10, 20};
    stage.Lay(rig.driver().tree);
    Slg::LoadEnemyThink(26);
    ASSERT_NE(rig.battle().enemy_think, nullptr);
    EXPECT_EQ(rig.battle().enemy_think->size(), 20u);
    EXPECT_EQ(I16At(*rig.battle().enemy_think, 4), 20);
  }

  // Map 0 on an empty tree: the file layer is asked for Map01\Map01.DAT and the message file
  // for M00MES.BIN.
  BattleRig empty;
  StageSetup(0);
  const auto& trace = empty.driver().trace();
  EXPECT_TRUE(trace.Contains("FileIO: file not found: tamvik2\\Map\\Map01\\Map01.DAT"));
  EXPECT_TRUE(trace.Contains("Can't open Stage Table data (tamvik2\\Map\\Map01\\Map01.DAT)"));
  EXPECT_TRUE(trace.Contains("MacroLoad Text Filename Tamvik2\\Macro\\M00MES.BIN"));
  EXPECT_EQ(empty.battle().stage->unit_count(), 0);
  EXPECT_TRUE(AllZero(empty.battle().cell_grid));
}

}  // namespace
