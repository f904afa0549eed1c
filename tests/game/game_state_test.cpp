// The state blocks and the script variables: fields at their offsets, little-endian; every byte
// kept; the fresh defaults; the variable accessors and their save image.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "testsupport/save_data_builder.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::ByteBuilder;

template <size_t N>
std::vector<uint8_t> Bytes(const ByteImage<N>& image) {
  return std::vector<uint8_t>(image.bytes(), image.bytes() + N);
}

TEST(GameState, FreshBlocksAreZeroButTheCursorSpeedAndTheCursor) {
  testsupport::TestGame game;
  ASSERT_NE(GetSystemData(), nullptr);
  ASSERT_NE(GetAdvState(), nullptr);
  EXPECT_EQ(Bytes(*GetSystemData()), testsupport::SystemDataBytes().bytes());
  EXPECT_EQ(Bytes(*GetAdvState()), testsupport::AdvStateBytes().bytes());
  EXPECT_EQ(GetSystemData()->cursorSpeed(), 2);
  EXPECT_EQ(GetAdvState()->cursorX(), 320);
  EXPECT_EQ(GetAdvState()->cursorY(), 240);
}

// Each field written through its accessor lands at its offset, little-endian, and nowhere else;
// reading it back gives the value.
TEST(GameState, EveryNamedFieldSitsAtItsOffsetLittleEndian) {
  struct Field {
    const char* name;
    size_t at;
    int width;  // bytes
    std::function<void(uint32_t)> set;
    std::function<uint32_t()> get;
  };
  testsupport::TestGame game;
  SystemData& s = *GetSystemData();
  AdvState& a = *GetAdvState();
#define SYS(name, Name, at, width)                                                      \
  Field{#name, at, width, [&](uint32_t v) { s.set##Name(static_cast<decltype(s.name())>(v)); }, \
        [&] { return static_cast<uint32_t>(s.name()); }}
#define ADV(name, Name, at, width)                                                      \
  Field{#name, at, width, [&](uint32_t v) { a.set##Name(static_cast<decltype(a.name())>(v)); }, \
        [&] { return static_cast<uint32_t>(a.name()); }}
  const Field system_fields[] = {
      SYS(activity, Activity, 8, 4),          SYS(resumePoint, ResumePoint, 12, 4),
      SYS(minigameFromTest, MinigameFromTest, 16, 4), SYS(battleLost, BattleLost, 20, 4),
      SYS(returnToTitle, ReturnToTitle, 24, 4), SYS(cursorSpeed, CursorSpeed, 52, 2),
      SYS(voiceOff, VoiceOff, 57, 1),          SYS(stagesCleared, StagesCleared, 64, 4),
      SYS(battleMap, BattleMap, 68, 4),        SYS(saveFlags, SaveFlags, 76, 2),
      SYS(savedBeforeBattle, SavedBeforeBattle, 78, 2), SYS(endingsSeen, EndingsSeen, 80, 4),
      SYS(picturesSeen, PicturesSeen, 84, 4),  SYS(lastEnding, LastEnding, 90, 1),
      SYS(minigamesSeen, MinigamesSeen, 91, 1), SYS(heroineFlags, HeroineFlags, 92, 1),
      SYS(autoMessage, AutoMessage, 104, 1),   SYS(cesaMode, CesaMode, 256, 4),
      SYS(skipSlg, SkipSlg, 260, 4),           SYS(skipMiniGame, SkipMiniGame, 264, 4),
      SYS(skipMovie, SkipMovie, 268, 4),
  };
  const Field adv_fields[] = {
      ADV(sceneCode, SceneCode, 0, 2),          ADV(background1, Background1, 2, 2),
      ADV(background2, Background2, 4, 2),      ADV(bustUp, BustUp, 6, 2),
      ADV(layer5Position, Layer5Position, 8, 1), ADV(layer6Position, Layer6Position, 9, 1),
      ADV(resumeInScript, ResumeInScript, 10, 1), ADV(wallPicture, WallPicture, 12, 1),
      ADV(resumePosition, ResumePosition, 16, 4), ADV(specialValue, SpecialValue, 20, 1),
      ADV(mapLevelSet, MapLevelSet, 21, 1),     ADV(mapLevel, MapLevel, 22, 1),
      ADV(faceId, FaceId, 25, 1),               ADV(bustUpId, BustUpId, 26, 1),
      ADV(itemPicture, ItemPicture, 28, 2),     ADV(cursorX, CursorX, 34, 2),
      ADV(cursorY, CursorY, 36, 2),             ADV(messageWait, MessageWait, 38, 2),
      ADV(minigameMode, MinigameMode, 40, 1),   ADV(debugRestart, DebugRestart, 42, 1),
      ADV(sceneSkip, SceneSkip, 44, 4),
  };
#undef SYS
#undef ADV
  auto check = [](const Field& f, uint8_t* bytes, size_t size) {
    SCOPED_TRACE(f.name);
    std::memset(bytes, 0, size);
    const uint32_t value = f.width == 4 ? 0xA1B2C3D4u : f.width == 2 ? 0xA1B2u : 0xA1u;
    f.set(value);
    ByteBuilder want(size);
    if (f.width == 4) want.U32(f.at, value);
    if (f.width == 2) want.U16(f.at, static_cast<uint16_t>(value));
    if (f.width == 1) want.U8(f.at, static_cast<uint8_t>(value));
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), want.bytes());
    EXPECT_EQ(f.get(), value);
  };
  for (const Field& f : system_fields) check(f, s.bytes(), SystemData::kSize);
  for (const Field& f : adv_fields) check(f, a.bytes(), AdvState::kSize);
}

TEST(MacroVars, APIsTheFirst256WordsAndPTheNext100AndOutOfRangeIsHarmless) {
  testsupport::TestGame game;
  SetMacroA(0, 0x1111);
  SetMacroA(255, 0x2222);
  SetMacroP(0, 0x3333);
  SetMacroP(99, 0x4444);
  EXPECT_EQ(Game().macro.vars[0], 0x1111);
  EXPECT_EQ(Game().macro.vars[255], 0x2222);
  EXPECT_EQ(Game().macro.vars[256], 0x3333);
  EXPECT_EQ(Game().macro.vars[355], 0x4444);
  EXPECT_EQ(GetMacroA(255), 0x2222);
  EXPECT_EQ(GetMacroP(0), 0x3333);

  const auto before = Game().macro.vars;
  testsupport::TraceCapture trace;
  const int bad_a[] = {-1, 256, 100000};
  const int bad_p[] = {-1, 100, 256};
  for (int i : bad_a) {
    SetMacroA(i, 0xBEEF);
    EXPECT_EQ(GetMacroA(i), 0) << i;
  }
  for (int i : bad_p) {
    SetMacroP(i, 0xBEEF);
    EXPECT_EQ(GetMacroP(i), 0) << i;
  }
  EXPECT_EQ(Game().macro.vars, before);
  EXPECT_TRUE(trace.Contains("SetMacroP: index 100 out of range"));
  EXPECT_TRUE(trace.Contains("GetMacroA: index -1 out of range"));
}

TEST(MacroVars, SaveVarsWritesTheExactBlockAndLoadVarsTakesItBack) {
  testsupport::TestGame game;
  const auto image = testsupport::MacroVarBlockBytes(999, 7, 0xC0DE0000u, 0x100, 0x200);
  MacroVarBlock block;
  ASSERT_EQ(image.bytes().size(), block.size());
  std::memcpy(block.data(), image.bytes().data(), block.size());

  ASSERT_EQ(CTamvikMacro::LoadVars(block), 1);
  EXPECT_EQ(Game().macro.depth1, 999u);
  EXPECT_EQ(Game().macro.depth2, 7u);
  EXPECT_EQ(Game().macro.stack1[5], 0xC0DE0005u);
  EXPECT_EQ(Game().macro.stack2[999], 0xC0DE0000u + 0x10000 + 999);
  EXPECT_EQ(GetMacroA(3), 0x103);
  EXPECT_EQ(GetMacroP(99), 0x200 + 99);

  MacroVarBlock out{};
  CTamvikMacro::SaveVars(out);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), image.bytes());
}

TEST(MacroVars, LoadVarsReducesADepthThatWouldIndexPastAStack) {
  const struct {
    uint32_t depth1, depth2, want1, want2;
  } cases[] = {{1000, 0, 0, 0},
               {0, 1000, 0, 0},
               {0xFFFFFFFFu, 0, 295, 0},
               {0, 5000, 0, 0},
               {1234, 999, 234, 999}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.depth1 << " " << c.depth2);
    testsupport::TestGame game;
    testsupport::TraceCapture trace;
    const auto image = testsupport::MacroVarBlockBytes(c.depth1, c.depth2);
    MacroVarBlock block;
    std::memcpy(block.data(), image.bytes().data(), block.size());
    EXPECT_EQ(CTamvikMacro::LoadVars(block), 1);
    EXPECT_EQ(Game().macro.depth1, c.want1);
    EXPECT_EQ(Game().macro.depth2, c.want2);
    EXPECT_TRUE(trace.Contains("reduced to"));
  }
}

}  // namespace
