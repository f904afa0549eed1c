// The save files: their bytes, the bit 15 convention, damaged files refused with nothing
// changed, write faults keeping the old file, the save folder made on the first save, copy,
// delete and the file time.

#include "game/save_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "game/game_context.h"
#include "testsupport/faulty_files.h"
#include "testsupport/save_data_builder.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

template <size_t N>
Bytes Image(const ByteImage<N>& image) {
  return Bytes(image.bytes(), image.bytes() + N);
}

// A fresh game whose install directory is a temporary tree with a save folder.
struct SaveRig {
  SaveRig() {
    tree.MakeDir("install/save");
    Ctx().file_io.SetInstallDir(tree.install().c_str());
  }
  std::string SlotRel(int n) const { return "install/save/data" + std::to_string(n) + ".sav"; }
  Bytes Slot(int n) const { return AsBytes(tree.Read(SlotRel(n))); }
  void WriteSlot(int n, const Bytes& b) { tree.Write(SlotRel(n), b); }

  testsupport::GameTree tree;
  testsupport::TestGame game;
};

// Some story state and variables, for saves.
void FillState() {
  AdvState& a = *GetAdvState();
  a.setSceneCode(0x0A05);
  a.setBackground1(12);
  a.setResumePosition(0x12345);
  a.bytes()[11] = 0x5A;  // a reserved byte
  a.bytes()[47] = 0xA5;
  MacroVars& m = Game().macro;
  m.stack1[0] = 0xAABBCCDD;
  m.stack1[999] = 0x01020304;
  m.depth1 = 1;
  m.stack2[1] = 0x11223344;
  m.depth2 = 999;
  SetMacroA(0, 0x0102);
  SetMacroA(255, 0xFFFE);
  SetMacroP(0, 0x0304);
  SetMacroP(99, 0x8010);
}

TEST(SaveFiles, NamesAreBuiltWithoutLeadingZeros) {
  EXPECT_EQ(SystemDataFileName(), "save\\system.dat");
  EXPECT_EQ(SaveSlotFileName(1), "save\\data1.sav");
  EXPECT_EQ(SaveSlotFileName(21), "save\\data21.sav");
}

TEST(SaveFiles, GameSaveBeforeABattleRoundTripsWithBit15OnlyInTheFile) {
  SaveRig rig;
  FillState();
  GetSystemData()->setSavedBeforeBattle(1);
  // Layer 5 above layer 6: their compose positions, counted from 1, go into bytes 8 and 9.
  Ctx().ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  testsupport::TraceCapture trace;
  ASSERT_EQ(SaveGameData(4), 1);
  EXPECT_TRUE(trace.Contains("GameSave Filename=save\\data4.sav"));
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0A05) << "bit 15 is never left set in memory";
  EXPECT_EQ(GetAdvState()->layer5Position(), 3);
  EXPECT_EQ(GetAdvState()->layer6Position(), 2);

  const Bytes file = rig.Slot(4);
  ASSERT_EQ(file.size(), 8768u);
  testsupport::ByteBuilder want(8768);
  want.U16(0, 0x0A05 | 0x8000).U16(2, 12).U8(8, 3).U8(9, 2).U8(11, 0x5A).U32(16, 0x12345);
  want.U16(34, 320).U16(36, 240).U8(47, 0xA5);
  want.U32(48, 0xAABBCCDD).U32(48 + 4 * 999, 0x01020304).U32(4048, 1);
  want.U32(4052 + 4, 0x11223344).U32(8052, 999);
  want.U16(8056, 0x0102).U16(8056 + 2 * 255, 0xFFFE).U16(8568, 0x0304).U16(8568 + 198, 0x8010);
  EXPECT_EQ(file, want.bytes());
  EXPECT_EQ(GetSaveSceneCode(4), 0x0A05);

  const Bytes adv = Image(*GetAdvState());
  const MacroVars vars = Game().macro;
  {
    testsupport::TestGame fresh;
    Ctx().file_io.SetInstallDir(rig.tree.install().c_str());
    ASSERT_EQ(LoadGameData(4), 1);
    EXPECT_EQ(GetSystemData()->savedBeforeBattle(), 1);
    EXPECT_EQ(Image(*GetAdvState()), adv);
    EXPECT_EQ(Game().macro.stack1, vars.stack1);
    EXPECT_EQ(Game().macro.stack2, vars.stack2);
    EXPECT_EQ(Game().macro.depth1, vars.depth1);
    EXPECT_EQ(Game().macro.depth2, vars.depth2);
    EXPECT_EQ(Game().macro.vars, vars.vars);
  }
}

// Whether layer 5 (the background) is composed above layer 6.
bool Layer5OnTop() {
  return Ctx().ddraw.GetLayerIndex(SURFACE_BG) > Ctx().ddraw.GetLayerIndex(SURFACE_FG);
}
void PutLayer5OnTop(bool on_top) {
  if (Layer5OnTop() != on_top) Ctx().ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
}

TEST(SaveFiles, TheBackgroundOrderIsSavedAsThreeTwoOrTwoThreeAndLoadedBack) {
  for (bool five_on_top : {true, false}) {
    SCOPED_TRACE(five_on_top ? "layer 5 above" : "layer 6 above");
    SaveRig rig;
    PutLayer5OnTop(five_on_top);
    ASSERT_EQ(SaveGameData(3), 1);
    const Bytes file = rig.Slot(3);
    ASSERT_EQ(file.size(), 8768u);
    EXPECT_EQ(file[8], five_on_top ? 3 : 2);
    EXPECT_EQ(file[9], five_on_top ? 2 : 3);
    {
      testsupport::TestGame fresh;
      Ctx().file_io.SetInstallDir(rig.tree.install().c_str());
      PutLayer5OnTop(!five_on_top);
      ASSERT_EQ(LoadGameData(3), 1);
      EXPECT_EQ(Layer5OnTop(), five_on_top);
    }
  }
}

TEST(SaveFiles, BackgroundPositionsOutsideTheComposeOrderLoadWithLayer5Above) {
  const struct {
    uint8_t five, six;
  } cases[] = {{0, 0}, {2, 1}, {1, 2}, {3, 3}, {4, 2}, {255, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.five} << ", " << int{c.six});
    SaveRig rig;
    Bytes file = testsupport::SaveFileBytes({.scene = 0x0305});
    file[8] = c.five;
    file[9] = c.six;
    rig.WriteSlot(6, file);
    PutLayer5OnTop(false);
    testsupport::TraceCapture trace;
    ASSERT_EQ(LoadGameData(6), 1);
    EXPECT_TRUE(Layer5OnTop());
    EXPECT_EQ(GetAdvState()->layer5Position(), 3);
    EXPECT_EQ(GetAdvState()->layer6Position(), 2);
    EXPECT_EQ(GetAdvState()->sceneCode(), 0x0305);
    EXPECT_TRUE(trace.Contains("compose positions"));
  }
}

TEST(SaveFiles, ALoadWithoutBit15ClearsSavedBeforeBattle) {
  SaveRig rig;
  rig.WriteSlot(2, testsupport::SaveFileBytes({}));
  GetSystemData()->setSavedBeforeBattle(1);
  ASSERT_EQ(LoadGameData(2), 1);
  EXPECT_EQ(GetSystemData()->savedBeforeBattle(), 0);
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0102);
}

TEST(SaveFiles, DamagedGameSavesAreRefusedAndChangeNothing) {
  using Spec = testsupport::SaveFileSpec;
  const struct {
    const char* name;
    bool missing;
    Spec spec;
  } cases[] = {
      {"missing", true, {}},
      {"0 bytes", false, Spec{.cut_to = 0}},
      {"47 bytes", false, Spec{.cut_to = 47}},
      {"48 bytes", false, Spec{.cut_to = 48}},
      {"8767 bytes", false, Spec{.cut_to = 8767}},
      {"8769 bytes", false, Spec{.pad = 1}},
      {"8769 bytes with bit 15", false, Spec{.scene = 0x0305, .before_battle = true, .pad = 1}},
      {"depth 1000 in stack 1", false, Spec{.depth1 = 1000}},
      {"depth 0xFFFFFFFF in stack 2", false, Spec{.depth2 = 0xFFFFFFFFu}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SaveRig rig;
    FillState();
    GetSystemData()->setSavedBeforeBattle(1);
    if (!c.missing) rig.WriteSlot(7, testsupport::SaveFileBytes(c.spec));
    const Bytes adv = Image(*GetAdvState());
    const Bytes sys = Image(*GetSystemData());
    MacroVarBlock before;
    Game().macro.Pack(before);

    EXPECT_EQ(LoadGameData(7), 0);
    EXPECT_EQ(GetSaveSceneCode(7), 0);
    EXPECT_EQ(Image(*GetAdvState()), adv);
    EXPECT_EQ(Image(*GetSystemData()), sys);
    MacroVarBlock after;
    Game().macro.Pack(after);
    EXPECT_EQ(after, before);
  }
}

TEST(SaveFiles, SystemDataOfTheWrongSizeLeavesTheBlock) {
  for (size_t size : {size_t{0}, size_t{271}, size_t{273}}) {
    SCOPED_TRACE(size);
    SaveRig rig;
    rig.tree.Write("install/save/system.dat", Bytes(size, 0x77));
    GetSystemData()->setBattleMap(9);
    const Bytes before = Image(*GetSystemData());
    EXPECT_EQ(LoadSystemData(), 0);
    EXPECT_EQ(Image(*GetSystemData()), before);
  }
}

TEST(SaveFiles, SystemDataRoundTripsEveryByte) {
  SaveRig rig;
  Bytes pattern(272);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 1);
  rig.tree.Write("install/save/system.dat", pattern);
  testsupport::TraceCapture trace;
  ASSERT_EQ(LoadSystemData(), 1);
  EXPECT_TRUE(trace.Contains("SystemLoad Filename=save\\system.dat"));
  EXPECT_EQ(Image(*GetSystemData()), pattern);
  rig.tree.Remove("install/save/system.dat");
  ASSERT_EQ(SaveSystemData(), 1);
  EXPECT_TRUE(trace.Contains("SystemSave Filename=save\\system.dat"));
  EXPECT_EQ(AsBytes(rig.tree.Read("install/save/system.dat")), pattern);
}

TEST(SaveFiles, WriteFaultsReturn0AndKeepTheOldFile) {
  const struct {
    const char* name;
    bool full_disc;
    bool rename_fails;
  } cases[] = {{"full disc", true, false}, {"rename refused", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SaveRig rig;
    testsupport::FaultyFiles files(rig.game.engine.host.files);
    rig.game.engine.host.seams().files = &files;
    const Bytes old_slot(8768, 0x3C);
    const Bytes old_system(272, 0x4D);
    rig.WriteSlot(5, old_slot);
    rig.tree.Write("install/save/system.dat", old_system);
    files.disk_full = c.full_disc;
    files.disk_room = 100;
    files.rename_fails = c.rename_fails;
    FillState();
    GetSystemData()->setSavedBeforeBattle(1);

    EXPECT_EQ(SaveGameData(5), 0);
    EXPECT_EQ(GetAdvState()->sceneCode(), 0x0A05) << "bit 15 cleared after a failed save too";
    EXPECT_EQ(SaveSystemData(), 0);
    EXPECT_EQ(rig.Slot(5), old_slot);
    EXPECT_EQ(AsBytes(rig.tree.Read("install/save/system.dat")), old_system);
    rig.game.engine.host.seams().files = &rig.game.engine.host.files;
  }
}

TEST(SaveFiles, TheFirstSaveMakesAMissingSaveFolder) {
  testsupport::GameTree tree;
  testsupport::TestGame game;
  Ctx().file_io.SetInstallDir(tree.install().c_str());
  ASSERT_FALSE(tree.Exists("install/save"));
  EXPECT_EQ(SaveGameData(1), 1);
  EXPECT_EQ(AsBytes(tree.Read("install/save/data1.sav")).size(), 8768u);
  EXPECT_EQ(SaveSystemData(), 1);
  EXPECT_EQ(AsBytes(tree.Read("install/save/system.dat")).size(), 272u);
}

TEST(SaveFiles, AFolderThatCannotBeMadeFailsTheSave) {
  testsupport::GameTree tree;
  testsupport::TestGame game;
  testsupport::FaultyFiles files(game.engine.host.files);
  game.engine.host.seams().files = &files;
  files.make_directory_fails = true;
  Ctx().file_io.SetInstallDir(tree.install().c_str());
  EXPECT_EQ(SaveSystemData(), 0);
  EXPECT_FALSE(tree.Exists("install/save"));
  game.engine.host.seams().files = &game.engine.host.files;
}

TEST(SaveFiles, CopyDeleteAndTime) {
  SaveRig rig;
  const Bytes a = testsupport::SaveFileBytes({.scene = 0x0201});
  const Bytes b = testsupport::SaveFileBytes({.scene = 0x0909, .before_battle = true});
  rig.WriteSlot(1, a);
  rig.WriteSlot(4, b);

  EXPECT_EQ(CopySaveFile(1, 4), 1);
  EXPECT_EQ(rig.Slot(4), a);
  EXPECT_EQ(rig.Slot(1), a);
  EXPECT_EQ(CopySaveFile(4, 4), 1);
  EXPECT_EQ(rig.Slot(4), a);
  EXPECT_EQ(CopySaveFile(9, 9), 0) << "a missing slot is not there to copy";
  EXPECT_EQ(CopySaveFile(9, 1), 0);
  EXPECT_EQ(rig.Slot(1), a);

  EXPECT_EQ(DeleteSaveFile(4), 1);
  EXPECT_FALSE(rig.tree.Exists(rig.SlotRel(4)));
  EXPECT_EQ(DeleteSaveFile(4), 0);
  EXPECT_EQ(GetSaveSceneCode(4), 0);

  const char* old_tz = std::getenv("TZ");
  const std::string saved_tz = old_tz != nullptr ? old_tz : "";
  setenv("TZ", "UTC0", 1);
  tzset();
  rig.tree.SetModifiedTime(rig.SlotRel(1), 996743130);  // 2001-08-02 09:05:30 UTC
  char text[17] = "untouched";
  EXPECT_EQ(GetSaveFileTime(1, text), 1);
  EXPECT_STREQ(text, "2001/08/02 09:05");
  std::strcpy(text, "untouched");
  EXPECT_EQ(GetSaveFileTime(4, text), 0);
  EXPECT_STREQ(text, "untouched");
  if (old_tz != nullptr) {
    setenv("TZ", saved_tz.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(SaveFiles, AlbumCommandsOnlyTrace) {
  SaveRig rig;
  testsupport::TraceCapture trace;
  AlbumModeStart(0x1a);
  AlbumModeEnd(0x1a);
  EXPECT_TRUE(trace.Contains("Alubum mode Start No=1a"));
  EXPECT_TRUE(trace.Contains("Alubum mode End No=1a"));
  EXPECT_FALSE(rig.tree.Exists("install/save/album.dat"));
}

}  // namespace
