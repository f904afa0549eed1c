// The battle text tables on the rig: SE.TAB, VOICE.TAB, UnitAnm.TAB and EventAnm.TAB written by
// the table writer and read by LoadSlgTables; the static effect bank across a stage switch; the
// shared sprite-file records and their freeing; every bad line stopping (or skipping) cleanly;
// the look-ups refusing numbers outside their tables.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "platform/surface.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;

SlgTextTables& Tables() { return Battle().tables; }

TEST(SeTable, ReadsPathsStaticIndexesAndStopsAtABadLoadMode) {
  BattleRig rig;
  SlgTableWriter tables;
  tables.Se(1, "a.wav", "STATIC")
      .Se(2, "A.WAV", "STATIC")
      .Se(3, "b.wav", "STREAMING")
      .Se(4, "c.wav", "")  // two fields: streaming
      .Se(600, "x.wav", "STATIC")
      .Se(-1, "y.wav", "STATIC")
      .Raw(SlgTableWriter::kSe, "justone")
      .Se(5, "d.wav", "STATIC")
      .Se(6, "x.wav", "BOGUS")  // line 9
      .Se(7, "e.wav", "STATIC");
  tables.Lay(rig.driver().tree);
  TraceCapture trace;
  LoadSlgTables();

  const auto& se = Tables().se;
  EXPECT_EQ(se[1].path, "TAMVIK2\\SE\\A.WAV");
  EXPECT_EQ(se[2].path, "TAMVIK2\\SE\\A.WAV");
  EXPECT_EQ(se[1].static_index, 0);
  EXPECT_EQ(se[2].static_index, 0);
  EXPECT_EQ(se[3].path, "TAMVIK2\\SE\\B.WAV");
  EXPECT_EQ(se[3].static_index, -1);
  EXPECT_EQ(se[4].mode, kSlgSeStreaming);
  EXPECT_EQ(se[4].static_index, -1);
  EXPECT_EQ(se[5].static_index, 1);
  EXPECT_TRUE(trace.Contains("SeTable: Se No(600 >= 512) is to large!"));
  EXPECT_TRUE(trace.Contains("SeTable: Se No(-1 < 0) is refused!"));
  EXPECT_TRUE(trace.Contains("SE.TAB:9: Error: No match LOADMODE 'BOGUS'."));
  EXPECT_TRUE(se[6].path.empty());
  EXPECT_TRUE(se[7].path.empty()) << "reading stops at the bad load mode";
  EXPECT_EQ(Tables().se_static,
            (std::vector<std::string>{"TAMVIK2\\SE\\A.WAV", "TAMVIK2\\SE\\D.WAV"}));
  FreeSlgTables();
  EXPECT_TRUE(Tables().se[1].path.empty());
  EXPECT_EQ(Tables().loaded, 0u);
}

TEST(SeTable, StaticBankIsLoadedOnceAndKeptAcrossAStageSwitch) {
  BattleRig rig;
  SlgTableWriter tables;
  tables.Se(1, "a.wav", "STATIC").Se(2, "a.wav", "STATIC").Se(3, "b.wav", "STATIC");
  tables.Lay(rig.driver().tree);
  SlgTableWriter::LayWave(rig.driver().tree, "TAMVIK2\\SE\\A.WAV");
  SlgTableWriter::LayWave(rig.driver().tree, "TAMVIK2\\SE\\B.WAV");
  CDsoundFunc& sound = Ctx().dsound;
  TraceCapture trace;

  LoadSlgTables();
  EXPECT_EQ(trace.Count("Slg::Now Loading Slg Static SE Data (Num:2)"), 1);
  ASSERT_NE(sound.static_se.slot[0], nullptr);
  ASSERT_NE(sound.static_se.slot[1], nullptr);
  EXPECT_EQ(sound.static_se.slot[2], nullptr);
  LoadSlgTables();  // loaded already: nothing read again
  EXPECT_EQ(trace.Count("Slg::Now Loading"), 1);

  // A stage switch: the battle runs on, the tables are freed and read again, the bank stays.
  Battle().running = 1;
  FreeSlgTables();
  EXPECT_FALSE(trace.Contains("Slg::Free Slg Static SE Data"));
  EXPECT_NE(sound.static_se.slot[0], nullptr);
  LoadSlgTables();
  EXPECT_EQ(trace.Count("Slg::Now Loading"), 1);
  EXPECT_EQ(Tables().se[3].static_index, 1);

  // The exit: no battle runs any more, the bank goes.
  Battle().running = 0;
  FreeSlgTables();
  EXPECT_TRUE(trace.Contains("Slg::Free Slg Static SE Data (Num:2)..."));
  EXPECT_EQ(sound.static_se.slot[0], nullptr);
}

TEST(VoiceTable, ReadsNamesAndOrderedListsAndKeepsTheLaterNameOfANumber) {
  BattleRig rig;
  SlgTableWriter tables;
  tables.Raw(SlgTableWriter::kVoice, "# the hero's voices")
      .Raw(SlgTableWriter::kVoice, "")
      .VoiceFile(12, "hero_a.wav")
      .VoiceFile(13, "first.wav")
      .VoiceFile(13, "hero_b.wav")
      .UnitVoices("KADRUN", "ATTACK", {12, 13, 14})
      .UnitVoices("JOKI_STAND", "GATTAI", {4999});
  tables.Lay(rig.driver().tree);
  LoadSlgTables();
  EXPECT_EQ(Tables().voice_files[12], "hero_a.wav");
  EXPECT_EQ(Tables().voice_files[13], "hero_b.wav");
  EXPECT_EQ(Tables().unit_voices[0][kSlgVoiceAttack], (std::vector<uint16_t>{12, 13, 14}));
  EXPECT_EQ(Tables().unit_voices[51][kSlgVoiceGattai], (std::vector<uint16_t>{4999}));
  EXPECT_TRUE(Tables().unit_voices[0][kSlgVoiceDamage].empty());
  FreeSlgTables();
  EXPECT_TRUE(Tables().unit_voices[0][kSlgVoiceAttack].empty());
}

TEST(VoiceTable, EachBadLineStopsReadingWithItsMessageKeepingEarlierLines) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"KADRUN SHOUT 1", "VOICE.TAB2 : Error: No match Command 'SHOUT'."},
      {"5000 x.wav", "VOICE.TAB:2: Error: VoiceNo 5000 is Illegal."},
      {"-1 x.wav", "VOICE.TAB:2: Error: VoiceNo -1 is Illegal."},
      {"FOO bar", "VOICE.TAB:2: Error: No match UnitID 'FOO'."},
      {"12x y.wav", "VOICE.TAB:2: Error: No match UnitID '12x'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    BattleRig rig;
    SlgTableWriter tables;
    tables.VoiceFile(1, "before.wav")
        .Raw(SlgTableWriter::kVoice, c.line)
        .VoiceFile(2, "after.wav")
        .UnitVoices("TAMVIK", "ATTACK", {1});
    tables.Lay(rig.driver().tree);
    TraceCapture trace;
    LoadSlgTables();
    EXPECT_TRUE(trace.Contains(c.message));
    EXPECT_EQ(Tables().voice_files[1], "before.wav");
    EXPECT_TRUE(Tables().voice_files[2].empty());
    EXPECT_TRUE(Tables().unit_voices[1][kSlgVoiceAttack].empty());
  }
}

TEST(UnitAnmTable, CellsNamingOneFileShareARecordFreedOnce) {
  BattleRig rig;
  SlgTableWriter tables;
  tables.Raw(SlgTableWriter::kUnitAnm, "# kind slot file shade")
      .UnitAnm("KADRUN", "BASE_BODY", "kadrun.spr")
      .UnitAnm("GKADRUN", "ATTACK_BODY", "KADRUN.SPR", "Night")
      .UnitAnm("JOKI_STAND", "ABILITY_EFFECT", "stand.spr", "Night");
  tables.Lay(rig.driver().tree);
  LoadSlgTables();
  AnmFileRec* a = Tables().unit_anm[0 * kSlgAnmSlots + kAnmBaseBody];
  AnmFileRec* b = Tables().unit_anm[7 * kSlgAnmSlots + kAnmAttackBody];
  AnmFileRec* c = Tables().unit_anm[51 * kSlgAnmSlots + kAnmAbilityEffect];
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->name, "KADRUN.SPR");
  EXPECT_EQ(a->count, 2u);
  EXPECT_EQ(a->shade, -1) << "the first cell's record keeps its shade";
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->count, 1u);
  EXPECT_EQ(c->shade, 0);
  // Freeing drops both references; the record is deleted once (LeakSanitizer and ASan watch).
  FreeSlgTables();
  EXPECT_EQ(Tables().unit_anm[0], nullptr);
  EXPECT_EQ(Tables().unit_anm[7 * kSlgAnmSlots + kAnmAttackBody], nullptr);
}

TEST(UnitAnmTable, EachBadLineStopsReadingKeepingEarlierCells) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"KADRUN BASE_BODY other.spr SHADE: Day",
       "UnitAnm.TAB:2: Error: KADRUN BASE_BODY is defined multiplily."},
      {"NOBODY BASE_BODY x.spr SHADE: Day", "UnitAnm.TAB:2: Error: No match ID 'NOBODY'."},
      {"kadrun BASE_BODY x.spr SHADE: Day", "UnitAnm.TAB:2: Error: No match ID 'kadrun'."},
      {"TAMVIK FLY_BODY x.spr SHADE: Day", "UnitAnm.TAB:2: Error: No match Command 'FLY_BODY'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    BattleRig rig;
    SlgTableWriter tables;
    tables.UnitAnm("KADRUN", "BASE_BODY", "k.spr")
        .Raw(SlgTableWriter::kUnitAnm, c.line)
        .UnitAnm("TAMVIK", "BASE_BODY", "k.spr");
    tables.Lay(rig.driver().tree);
    TraceCapture trace;
    LoadSlgTables();
    EXPECT_TRUE(trace.Contains(c.message));
    ASSERT_NE(Tables().unit_anm[kAnmBaseBody], nullptr);
    EXPECT_EQ(Tables().unit_anm[kAnmBaseBody]->count, 1u);
    EXPECT_EQ(Tables().unit_anm[1 * kSlgAnmSlots + kAnmBaseBody], nullptr);
  }
}

TEST(EventAnmTable, ReadsTheBattleMapsLinesAndStopsAtABadNpc) {
  struct Case {
    const char* line;  // the bad line, or null
    const char* message;
  };
  const Case cases[] = {
      {nullptr, nullptr},
      {"MAP: 0 NPCID: 64  big.spr SHADE: Day", "EventAnm.TAB:4: Error: Illegal NPCID 64."},
      {"MAP: 0 NPCID: -1  neg.spr SHADE: Day", "EventAnm.TAB:4: Error: Illegal NPCID -1."},
      {"MAP: 0 NPCID: 3  again.spr SHADE: Day",
       "EventAnm.TAB:4: Error: NPCID 3 is defined multiplily."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line != nullptr ? c.line : "no bad line");
    BattleRig rig;
    SlgTableWriter tables;
    tables.EventAnm(0, 3, "ghost.spr", "Night")
        .EventAnm(1, 4, "other_map.spr")  // another map: skipped
        .Raw(SlgTableWriter::kEventAnm, "MAP: 0");  // fewer than three fields: skipped
    if (c.line != nullptr) tables.Raw(SlgTableWriter::kEventAnm, c.line);
    tables.EventAnm(0, 63, "GHOST.SPR");
    tables.Lay(rig.driver().tree);
    TraceCapture trace;
    LoadSlgTables();
    AnmFileRec* first = Tables().event_anm[3];
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name, "GHOST.SPR");
    EXPECT_EQ(first->shade, 0);
    EXPECT_EQ(Tables().event_anm[4], nullptr);
    if (c.line == nullptr) {
      EXPECT_EQ(Tables().event_anm[63], first);
      EXPECT_EQ(first->count, 2u);
    } else {
      EXPECT_TRUE(trace.Contains(c.message));
      EXPECT_EQ(Tables().event_anm[63], nullptr);
      EXPECT_EQ(first->count, 1u);
    }
    EXPECT_EQ(GetEventAnm(79), nullptr);
    EXPECT_EQ(GetEventAnm(144), nullptr);
    EXPECT_EQ(trace.Count("is not an event character"), 2);
  }
}

TEST(SlgTables, AMissingFileLeavesItsTableEmptyAndTheOthersRead) {
  BattleRig rig;
  SlgTableWriter tables;
  tables.Se(1, "a.wav", "STREAMING").UnitAnm("KADRUN", "BASE_BODY", "k.spr");
  tables.Omit(SlgTableWriter::kVoice);
  tables.Lay(rig.driver().tree);
  TraceCapture trace;
  LoadSlgTables();
  EXPECT_TRUE(trace.Contains("tamvik2\\VOICE.TAB: not read"));
  EXPECT_EQ(Tables().se[1].path, "TAMVIK2\\SE\\A.WAV");
  EXPECT_NE(Tables().unit_anm[0], nullptr);
  for (const std::string& name : Tables().voice_files) EXPECT_TRUE(name.empty());
}

TEST(SlgTables, HostileLinesFailCleanly) {
  BattleRig rig;
  const std::string long_name(300, 'q');
  SlgTableWriter tables;
  tables.Raw(SlgTableWriter::kSe, "99999999999999999999 huge.wav STATIC")
      .Raw(SlgTableWriter::kSe, "-99999999999999999999 huge.wav STATIC")
      .Raw(SlgTableWriter::kSe, "8 " + long_name + " STATIC")  // cut: the rest is a line of its own
      .Raw(SlgTableWriter::kSe, std::string("\x01\xff\x7f 9 \x80", 7))
      .Raw(SlgTableWriter::kVoice, "KADRUN ATTACK 99999999999 -5 7 abc 8")
      .Raw(SlgTableWriter::kVoice, "KADRUN DAMAGE")
      .Raw(SlgTableWriter::kUnitAnm, "KADRUN BASE_BODY")
      .Raw(SlgTableWriter::kUnitAnm, "KADRUN BASE_BODY2 k.spr SHADE:")
      .Raw(SlgTableWriter::kEventAnm, "MAP: 99999999999 NPCID: 3 x.spr")
      .Raw(SlgTableWriter::kEventAnm, "MAP: 0 NPCID: 5 " + long_name);
  tables.Lay(rig.driver().tree);
  // The last line of SE.TAB without a line end is read too.
  rig.driver().tree.Write("install/TaMvIk2/sE.tAb", tables.Text(SlgTableWriter::kSe) + "7 e.wav");
  LoadSlgTables();
  const SlgTextTables& t = Tables();
  EXPECT_EQ(t.se[7].path, "TAMVIK2\\SE\\E.WAV");
  EXPECT_EQ(t.se[8].mode, kSlgSeStreaming) << "the cut line has no mode left";
  EXPECT_EQ(t.se[8].path.size(), std::string("TAMVIK2\\SE\\").size() + 253);
  EXPECT_EQ(t.unit_voices[0][kSlgVoiceAttack], (std::vector<uint16_t>{65535, 65531, 7}));
  EXPECT_TRUE(t.unit_voices[0][kSlgVoiceDamage].empty());
  EXPECT_EQ(t.unit_anm[kAnmBaseBody], nullptr);
  ASSERT_NE(t.unit_anm[kAnmBaseBody2], nullptr);
  EXPECT_EQ(t.unit_anm[kAnmBaseBody2]->shade, -1);
  EXPECT_EQ(t.event_anm[3], nullptr);
  ASSERT_NE(t.event_anm[5], nullptr);
  EXPECT_LT(t.event_anm[5]->name.size(), 256u);
  FreeSlgTables();
}

// The first pixel of the record's first sprite as a COLORREF.
uint32_t FirstPixel(SprAnm* anm) {
  SprRec* sprite = anm->unit->sprites.at(0);
  platform::SurfaceLock lock;
  EXPECT_TRUE(sprite->surface->Lock(lock));
  uint16_t pixel = 0;
  std::memcpy(&pixel, lock.bits, 2);
  sprite->surface->Unlock();
  return platform::UnpackToColorRef(pixel, lock.layout);
}

TEST(UnitAnmLookUp, NightRecordsLoadDarkerOnlyInNightMode) {
  BattleRig rig;
  using namespace testsupport;
  const std::vector<uint8_t> white =
      AnimationFile({{0, 0, 0}, {31, 31, 31}}, {{2, 2, kSprDepth8, 0, {1, 1, 1, 1}}},
                    {{BoxEntry(0, 0, 0, 2, 2)}}, {{{0, 6}}});
  rig.driver().tree.Write("install/TaMvIk2/NiGhT.sPr", white);
  rig.driver().tree.Write("install/TaMvIk2/DaY.sPr", white);
  SlgTableWriter tables;
  tables.UnitAnm("KADRUN", "BASE_BODY", "night.spr", "Night")
      .UnitAnm("KADRUN", "BASE_BODY2", "day.spr", "Day");
  tables.Lay(rig.driver().tree);
  LoadSlgTables();

  // Each look-up loads and releases, so that the next one decodes the file again.
  const auto pixel_of = [](int slot) {
    SprAnm* anm = GetUnitAnm(0, slot);
    EXPECT_NE(anm, nullptr);
    if (anm == nullptr) return 0u;
    const uint32_t p = FirstPixel(anm);
    ReleaseUnitAnm(&anm);
    EXPECT_EQ(anm, nullptr);
    return p;
  };
  const uint32_t full = pixel_of(kAnmBaseBody);
  EXPECT_EQ(pixel_of(kAnmBaseBody2), full);
  Battle().night_mode = 1;
  const uint32_t night = pixel_of(kAnmBaseBody);
  EXPECT_LT(night & 0xFF, full & 0xFF) << "the Night record is darker in night mode";
  EXPECT_EQ(pixel_of(kAnmBaseBody2), full) << "other records keep their brightness";

  TraceCapture trace;
  EXPECT_EQ(GetUnitAnm(0, kAnmBaseBody3), nullptr);
  EXPECT_TRUE(trace.Contains("UID:0 BASE_BODY3 is not described in UnitAnm Table!"));
  EXPECT_EQ(GetUnitAnm(52, kAnmBaseBody), nullptr);
  EXPECT_EQ(GetUnitAnm(0, 23), nullptr);
  EXPECT_EQ(GetUnitAnm(-1, 0), nullptr);
  EXPECT_TRUE(trace.Contains("UID:52 BASE_BODY is not described"));
  EXPECT_TRUE(trace.Contains("UID:0 (no slot) is not described"));
}

// The pixel (x, y) of a surface as a COLORREF.
uint32_t SurfacePixel(SurfaceId id, int x, int y) {
  platform::Surface* surface = Ctx().ddraw.GetSurface(id);
  platform::SurfaceLock lock;
  if (surface == nullptr || !surface->Lock(lock)) return 0xFFFFFFFF;
  uint16_t pixel = 0;
  std::memcpy(&pixel, lock.bits + y * lock.pitch + 2 * x, 2);
  surface->Unlock();
  return platform::UnpackToColorRef(pixel, lock.layout);
}

TEST(AttackBg, LoadsBySpecialAndCombinationTypeAndTilesThePicture) {
  BattleRig rig;
  using namespace testsupport;
  // A 4 x 4 picture: red above, green below.
  rig.driver().tree.Write("install/TaMvIk2/Bg.SpR",
                          PictureFile({{0, 0, 0}, {31, 0, 0}, {0, 31, 0}},
                                      {{4, 4, kSprDepth8, 0, {1, 1, 1, 1, 1, 1, 1, 1,
                                                               2, 2, 2, 2, 2, 2, 2, 2}}}));
  SlgTableWriter tables;
  tables.UnitAnm("KADRUN", "SPECIAL_BG", "bg.spr").UnitAnm("KADRUN", "GATTAI_BG", "bg.spr");
  tables.Lay(rig.driver().tree);
  LoadSlgTables();
  SlgUnit unit{};
  Rect rect{};
  for (int type : {0, 2, 3, 4}) {
    unit.stats.attack_type = static_cast<uint8_t>(type);
    EXPECT_EQ(LoadAttackBg(unit, 0, SURFACE_BG, &rect), 0) << type;
  }
  for (int type : {1, 5}) {
    unit.stats.attack_type = static_cast<uint8_t>(type);
    rect = Rect{};
    ASSERT_EQ(LoadAttackBg(unit, 0, SURFACE_BG, &rect), 1) << type;
    EXPECT_EQ(rect.right - rect.left, 4);
    EXPECT_EQ(rect.bottom - rect.top, 4);
  }
  EXPECT_EQ(SurfacePixel(SURFACE_BG, 0, 0), 0x0000FFu);
  const uint32_t green = SurfacePixel(SURFACE_BG, 0, 3);
  EXPECT_EQ(green & 0xFF00FFu, 0u);
  EXPECT_GT(green >> 8 & 0xFFu, 0xF0u);

  // Its top 4 x 2 half over 3 x 2 tiles: red rows 0-3 across 12 pixels.
  ASSERT_EQ(LoadAttackBgTiled(unit, 0, SURFACE_BG, 4, 2, 3, 2), 1);
  EXPECT_EQ(SurfacePixel(SURFACE_BG, 10, 3), 0x0000FFu);
  EXPECT_EQ(SurfacePixel(SURFACE_BG, 0, 4), 0u) << "below the tiles: cleared";
  EXPECT_EQ(LoadAttackBgTiled(unit, 0, SURFACE_BG, 4, 2, 1 << 30, 2), 0);
  EXPECT_EQ(LoadAttackBgTiled(unit, 0, SURFACE_BG, 0, 2, 3, 2), 0);
  unit.kind = 1;  // no background described
  EXPECT_EQ(LoadAttackBgSimple(unit, 0, SURFACE_BG), 0);
}

TEST(AttackBg, ATileWiderThanTheScreenIsTiledWholeAndAMissingPictureGivesTheLayerBack) {
  BattleRig rig;
  using namespace testsupport;
  // A 1024 x 4 picture, red but for one green column at x 1000 (past the screen's width).
  constexpr int kWidth = 1024;
  std::vector<uint8_t> pixels(kWidth * 4, 1);
  for (int y = 0; y < 4; ++y) pixels[static_cast<size_t>(y * kWidth + 1000)] = 2;
  rig.driver().tree.Write("install/TaMvIk2/Wide.SpR",
                          PictureFile({{0, 0, 0}, {31, 0, 0}, {0, 31, 0}},
                                      {{kWidth, 4, kSprDepth8, 0, pixels}}));
  SlgTableWriter tables;
  tables.UnitAnm("KADRUN", "SPECIAL_BG", "wide.spr");
  tables.Lay(rig.driver().tree);
  LoadSlgTables();
  SlgUnit unit{};
  unit.stats.attack_type = 1;
  ASSERT_EQ(LoadAttackBgTiled(unit, 0, SURFACE_BG, kWidth, 4, 2, 1), 1);
  EXPECT_EQ(Ctx().ddraw.GetLayer(SURFACE_BG)->surface_width, 2 * kWidth);
  for (int x : {1000, kWidth + 1000}) {
    const uint32_t green = SurfacePixel(SURFACE_BG, x, 2);
    EXPECT_EQ(green & 0xFF00FFu, 0u) << x;
    EXPECT_GT(green >> 8 & 0xFFu, 0xF0u) << x;
  }
  EXPECT_EQ(SurfacePixel(SURFACE_BG, kWidth + 999, 2), 0x0000FFu);

  EXPECT_EQ(LoadAttackBgTiled(unit, 1, SURFACE_BG, kWidth, 4, 2, 1), 0) << "no picture 1";
  EXPECT_EQ(Ctx().ddraw.GetLayer(SURFACE_BG)->surface_width, kScreenWidth);
  EXPECT_EQ(SurfacePixel(SURFACE_BG, 0, 0), 0u);
}

TEST(SlgTables, KeywordsAreWholeCaseSensitiveTokens) {
  EXPECT_EQ(SlgKeyword(kSlgUnitIdNames, "KADRUN"), 0);
  EXPECT_EQ(SlgKeyword(kSlgUnitIdNames, "JOKI_STAND"), 51);
  EXPECT_EQ(SlgKeyword(kSlgUnitIdNames, "KADRUNX"), -1);
  EXPECT_EQ(SlgKeyword(kSlgUnitIdNames, "Kadrun"), -1);
  EXPECT_EQ(SlgKeyword(kSlgAnmSlotNames, "ABILITY_EFFECT"), kAnmAbilityEffect);
  EXPECT_EQ(SlgKeyword(kSlgAnmSlotNames, "GATTAI_BG"), kAnmGattaiBg);
  EXPECT_EQ(SlgKeyword(kSlgSituationNames, "GATTAI"), kSlgVoiceGattai);
  EXPECT_EQ(SlgLoadModeKeyword(""), kSlgSeStreaming);
  EXPECT_EQ(SlgLoadModeKeyword("STATIC"), kSlgSeStatic);
  EXPECT_EQ(SlgLoadModeKeyword("static"), -1);
  EXPECT_EQ(SlgShadeKeyword("Night"), 0);
  EXPECT_EQ(SlgShadeKeyword("NIGHT"), -1);
}

TEST(SlgTables, AttackTypesAndVoiceCharacters) {
  BattleRig rig;
  struct Case {
    int type, body, effect;
  };
  for (const Case& c : {Case{0, kAnmAttackBody, kAnmAttackEffect},
                        Case{2, kAnmAttackBody, kAnmAttackEffect},
                        Case{1, kAnmSpecialBody, kAnmSpecialEffect},
                        Case{5, kAnmGattaiBody, kAnmGattaiEffect}}) {
    EXPECT_EQ(GetAtkBodyUnitAnmfromAtkType(c.type), c.body) << c.type;
    EXPECT_EQ(GetAtkEffectUnitAnmfromAtkType(c.type), c.effect) << c.type;
  }
  TraceCapture trace;
  EXPECT_EQ(GetAtkBodyUnitAnmfromAtkType(3), 0);
  EXPECT_EQ(GetAtkEffectUnitAnmfromAtkType(4), 0);
  EXPECT_TRUE(trace.Contains("GetAtkBodyUnitAnmfromAtkType: ATK TYPE 3 is not installed!"));
  EXPECT_TRUE(trace.Contains("GetAtkEffectUnitAnmfromAtkType: ATK TYPE 4 is not installed!"));

  const std::pair<int, int> kinds[] = {{0, 0},   {7, 0},   {13, 6},  {14, 12}, {17, 28},
                                       {26, 7},  {27, 7},  {33, 15}, {37, 28}, {38, -1},
                                       {44, 32}, {48, 28}, {49, -1}, {50, 29}, {51, -1},
                                       {52, -1}, {-1, -1}};
  for (const auto& [kind, chara] : kinds) EXPECT_EQ(GetKindVoiceChara(kind), chara) << kind;
}

}  // namespace
