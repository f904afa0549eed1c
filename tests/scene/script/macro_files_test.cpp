// Scene files: loading the script and table pair, the next scene, the battle message file, the
// message look-up over sound and corrupt tables, the items and the saved variables.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/little_endian.h"
#include "script_rig.h"

namespace scripttest {
namespace {

using testsupport::MessageEntry;
using testsupport::MessageTableWriter;

std::string Str(const uint8_t* p) { return p == nullptr ? "(null)" : reinterpret_cast<const char*>(p); }

// Installs a table as the message table through the battle message file of map 7.
void UseTable(ScriptRig& rig, const std::vector<uint8_t>& bytes) {
  rig.d.tree.Write(testsupport::SlgMessageRel(7), bytes);
  ASSERT_EQ(rig.macro().LoadSlgMessage(7), 1);
}

MessageTableWriter Messages() {
  return MessageTableWriter()
      .Add({10, 1234, "aiu", "Hello"})
      .Add({11, 0xFFFF, "o", "Zero"})
      .Add({12, 0, "", "Quiet"})
      .Add({10, 77, "x", "Second"});
}

TEST(MessageLookUp, FindsEntriesWithVoiceBiasFromChapterEight) {
  ScriptRig rig;
  UseTable(rig, Messages().Bytes());
  struct Case {
    uint16_t scene;
    uint16_t id;
    int found;
    int32_t voice;
    const char* text;
    const char* lip;
  } cases[] = {
      {0x0305, 10, 1, 1234, "Hello", "aiu"},  // duplicates: the first wins
      {0x0701, 11, 1, 0, "Zero", "o"},        // 0xFFFF is voice 0
      {0x0801, 11, 1, 1000, "Zero", "o"},     // ... and 1000 from chapter 8
      {0x0A01, 10, 1, 2234, "Hello", "aiu"},
      {0x0801, 12, 1, -1, "Quiet", "(null)"},  // empty: no bias, no lip text
      {0x0305, 99, 0, 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "scene " << std::hex << c.scene << " id " << std::dec << c.id);
    GetAdvState()->setSceneCode(c.scene);
    MessageData m;
    ASSERT_EQ(rig.macro().GetMessageData(&m, c.id), c.found);
    if (c.found == 0) continue;
    EXPECT_EQ(m.voice, c.voice);
    EXPECT_EQ(Str(m.text), c.text);
    EXPECT_EQ(Str(m.lip), c.lip);
  }
  EXPECT_EQ(CTamvikMacro::VoiceFileName(2234), "tamvik1\\voice\\2234.wav");
  EXPECT_EQ(CTamvikMacro::VoiceFileName(0), "tamvik1\\voice\\0000.wav");
}

TEST(MessageLookUp, CorruptTablesAreNotFoundWithoutOverRead) {
  const std::vector<uint8_t> good = MessageTableWriter().Add({10, 5, "ka", "Text"}).Bytes();
  auto with_word = [&](size_t index, uint16_t value) {
    std::vector<uint8_t> b = good;
    b[2 * index] = static_cast<uint8_t>(value >> 8);
    b[2 * index + 1] = static_cast<uint8_t>(value);
    return b;
  };
  // Word layout of `good`: N=2, T, id, offset, then the record at word 4: voice, lip offset,
  // "Text\0\0" (3 words), then the lip text at word 9.
  std::vector<uint8_t> unterminated_text = good;
  unterminated_text.resize(2 * 8);  // the text runs to the end without its zero
  std::vector<uint8_t> unterminated_lip = good;
  unterminated_lip.resize(2 * 10);
  unterminated_lip[18] = 'k';
  unterminated_lip[19] = 'a';
  MessageTableWriter n_past = MessageTableWriter().Add({10, 5, "ka", "Text"});
  n_past.n = 5000;
  MessageTableWriter t_past = MessageTableWriter().Add({10, 5, "ka", "Text"});
  t_past.t = 5000;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"N = 0", with_word(0, 0)},
      {"N past the end", n_past.Bytes()},
      {"T past the end", t_past.Bytes()},
      {"record offset past the end", with_word(3, 0x7000)},
      {"lip offset past the end", with_word(5, 0x7000)},
      {"text without terminator", unterminated_text},
      {"lip text without terminator", unterminated_lip},
      {"one byte", {0x00}},
      {"N = 1", MessageTableWriter().Bytes()},
  };
  ScriptRig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseTable(rig, c.bytes);
    MessageData m;
    EXPECT_EQ(rig.macro().FindMessageData(&m, 10), 0);
  }
  UseTable(rig, good);
  MessageData m;
  EXPECT_EQ(rig.macro().FindMessageData(&m, 10), 1);
}

TEST(MacroLoad, FindsBothFilesInMixedCaseFoldersAndInstallsThemOnlyTogether) {
  ScriptRig rig;
  ScriptWriter a;
  a.Word(0x0101).Word(0x0202);
  ScriptWriter b;
  b.Word(0x0A0B);
  rig.Lay(0x0305, a);
  rig.Lay(0x0A01, b, Messages().Bytes());  // chapter 10: Macro\1001.bin
  EXPECT_TRUE(rig.d.tree.Exists("install/MaCrO/1001.bin"));

  EXPECT_EQ(rig.macro().MacroLoad(0x0305), 1);
  EXPECT_EQ(rig.macro().script(), (std::vector<uint16_t>{0x0101, 0x0202}));
  EXPECT_TRUE(rig.d.trace().Contains("MacroLoad Binary Filename Macro\\0305.bin"));
  EXPECT_TRUE(rig.d.trace().Contains("MacroLoad Text Filename Macro\\0305tbl.bin"));
  EXPECT_EQ(rig.macro().MacroLoad(0x0A01), 1);
  EXPECT_EQ(rig.macro().script(), (std::vector<uint16_t>{0x0A0B}));
  EXPECT_EQ(rig.macro().position(), 0u);
  MessageData m;
  EXPECT_EQ(rig.macro().FindMessageData(&m, 11), 1);

  // Odd length: the last byte is not read.
  rig.d.tree.Write(testsupport::SceneScriptRel(0x0401), std::vector<uint8_t>{0x00, 0x31, 0x80});
  rig.d.tree.Write(testsupport::SceneTableRel(0x0401), SmallTable());
  EXPECT_EQ(rig.macro().MacroLoad(0x0401), 1);
  EXPECT_EQ(rig.macro().script(), (std::vector<uint16_t>{0x0031}));

  // A missing script, or a script without its table: nothing changes.
  EXPECT_EQ(rig.macro().MacroLoad(0x0502), 0);
  rig.d.tree.Write(testsupport::SceneScriptRel(0x0503), std::vector<uint8_t>{0x12, 0x34});
  EXPECT_EQ(rig.macro().MacroLoad(0x0503), 0);
  EXPECT_EQ(rig.macro().script(), (std::vector<uint16_t>{0x0031}));
  EXPECT_EQ(rig.macro().FindMessageData(&m, 1), 1);  // the table of 0x0401 still
  EXPECT_EQ(rig.macro().FindMessageData(&m, 11), 0);
}

TEST(MacroLoad, NextSceneFollowsTheRestartFlagOrTheSuccession) {
  ScriptRig rig;
  ScriptWriter w;
  w.Word(0x0001);
  rig.Lay(0x0304, w);
  rig.Lay(0x0305, w);
  AdvState& adv = *GetAdvState();

  adv.setSceneCode(0x0304);
  adv.setDebugRestart(1);
  EXPECT_EQ(rig.macro().LoadNextScene(), 1);
  EXPECT_EQ(adv.sceneCode(), 0x0304);
  EXPECT_EQ(adv.debugRestart(), 0);

  adv.setWallPicture(7);
  EXPECT_EQ(rig.macro().LoadNextScene(), 1);
  EXPECT_EQ(adv.sceneCode(), 0x0305);
  EXPECT_EQ(adv.wallPicture(), 0);
  EXPECT_TRUE(rig.d.trace().Contains("scene=0304 next=0305"));

  // 0x0305 -> 0x0400, wall 1, whose files are missing.
  EXPECT_EQ(rig.macro().LoadNextScene(), 0);
  EXPECT_EQ(adv.sceneCode(), 0x0400);
  EXPECT_EQ(adv.wallPicture(), 1);

  adv.setSceneCode(0x0104);  // no row
  EXPECT_EQ(rig.macro().LoadNextScene(), 0);
  EXPECT_EQ(adv.sceneCode(), 0x0104);
}

TEST(BattleMessages, MapFileReplacesTheTableAndAMissingOneKeepsIt) {
  ScriptRig rig;
  std::vector<uint8_t> odd = Messages().Bytes();
  odd.push_back(0x55);
  rig.d.tree.Write(testsupport::SlgMessageRel(7), odd);
  EXPECT_EQ(rig.macro().LoadSlgMessage(7), 1);
  EXPECT_TRUE(rig.d.trace().Contains("MacroLoad Text Filename Tamvik2\\Macro\\M07MES.BIN"));
  EXPECT_EQ(rig.macro().table().size(), odd.size() - 1);
  EXPECT_EQ(rig.macro().LoadSlgMessage(8), 0);
  MessageData m;
  EXPECT_EQ(rig.macro().FindMessageData(&m, 11), 1);
}

TEST(Items, CountLeadingSlotsAndOnlyTenSlotsExist) {
  ScriptRig rig;
  SetMacroP(0, 5);
  SetMacroP(1, 6);
  SetMacroP(2, 7);
  SetMacroP(4, 9);
  SetMacroP(10, 0x8010);
  EXPECT_EQ(CTamvikMacro::GetItemNum(), 3);
  for (int i = 0; i < 10; ++i) SetMacroP(i, static_cast<uint16_t>(i + 1));
  EXPECT_EQ(CTamvikMacro::GetItemNum(), 10);
  EXPECT_EQ(CTamvikMacro::GetItem(9), 10);
  EXPECT_EQ(CTamvikMacro::GetItem(10), 0);  // P[10] is a trust rank, not an item
  EXPECT_EQ(CTamvikMacro::GetItem(-1), 0);
}

TEST(SavedVars, LargeDepthsAreReducedModuloTheStackSize) {
  ScriptRig rig;
  MacroVarBlock block{};
  platform::SetLe32(block.data() + MacroVars::kDepth1At, 1000);
  platform::SetLe32(block.data() + MacroVars::kDepth2At, 5003);
  platform::SetLe16(block.data() + MacroVars::kVarsAt + 2 * 4, 44);
  EXPECT_EQ(CTamvikMacro::LoadVars(block), 1);
  EXPECT_EQ(Game().macro.depth1, 0u);
  EXPECT_EQ(Game().macro.depth2, 3u);
  EXPECT_EQ(GetMacroA(4), 44);
  EXPECT_TRUE(rig.d.trace().Contains("stack depth 5003 reduced to 3"));
}

TEST(Stacks, WrapAtTheirSize) {
  ScriptRig rig;
  CTamvikMacro& m = rig.macro();
  Game().macro.stack1[999] = 0xABCD;
  EXPECT_EQ(m.MPop(), 0xABCDu);  // an empty stack gives entry 999
  EXPECT_EQ(Game().macro.depth1, 999u);
  Game().macro.depth1 = 0;
  for (uint32_t i = 0; i < 1001; ++i) m.MPush(i);
  EXPECT_EQ(Game().macro.stack1[0], 1000u);
  EXPECT_EQ(Game().macro.depth1, 1u);
  Game().macro.depth2 = 0;
  EXPECT_EQ(m.Pop2(), Game().macro.stack2[999]);
  EXPECT_EQ(Game().macro.depth2, 999u);
}

}  // namespace
}  // namespace scripttest
