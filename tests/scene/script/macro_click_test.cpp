// CLICKWAIT and its hit test: the hit maps of the character and the backgrounds, the toy table's
// icons, the 30-frame guard, the jump to a spot's handler and the return after the CLICKWAIT;
// and a whole scene that talks and waits for a click, played from injected input.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "testsupport/scene_files.h"
#include "testsupport/scene_rig.h"
#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/talk_files.h"

namespace scenetest {
namespace {

using testsupport::HitRow;
using testsupport::Lit;
using testsupport::LongLit;
using testsupport::Num;
using testsupport::SceneRig;
using testsupport::ScriptWriter;
using testsupport::SprHitRow;
using testsupport::VarA;

constexpr const char* kClickName = "CTamvikMacro::DecodeClickwaitToy";
constexpr int kStartFrames = 160;

// A hit map as the loaders hold it.
std::vector<uint8_t> Map(const std::vector<SprHitRow>& rows) {
  std::vector<uint8_t> map{static_cast<uint8_t>(rows.size())};
  for (const SprHitRow& row : rows) {
    map.push_back(static_cast<uint8_t>(row.code));
    for (uint16_t v : row.values) {
      map.push_back(static_cast<uint8_t>(v >> 8));
      map.push_back(static_cast<uint8_t>(v & 0xFF));
    }
  }
  return map;
}

TEST(HitToyMap, RowsCornersEdgesAndCodes) {
  struct Case {
    const char* what;
    std::vector<SprHitRow> rows;
    int x, y;
    int code;
  };
  // Origin (32, 16); a row's values are half pixels.
  const Case cases[] = {
      {"inside", {HitRow(4, 10, 10, 20, 20)}, 32 + 30, 16 + 30, 4},
      {"left top edge", {HitRow(4, 10, 10, 20, 20)}, 32 + 20, 16 + 20, 4},
      {"right bottom edge", {HitRow(4, 10, 10, 20, 20)}, 32 + 40, 16 + 40, 4},
      {"just outside", {HitRow(4, 10, 10, 20, 20)}, 32 + 41, 16 + 30, 0},
      {"swapped corners", {HitRow(4, 20, 20, 10, 10)}, 32 + 30, 16 + 30, 4},
      {"highest code below 100",
       {HitRow(20, 0, 0, 50, 50), HitRow(30, 0, 0, 50, 50), HitRow(120, 0, 0, 50, 50),
        HitRow(25, 0, 0, 50, 50)},
       32 + 10, 16 + 10, 30},
      {"100 and more only", {HitRow(100, 0, 0, 50, 50), HitRow(255, 0, 0, 50, 50)}, 40, 20, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CTamvikMacro::HitToyMap(Map(c.rows), 32, 16, c.x, c.y), c.code);
  }
  // A row table cut short is no map at all; an empty one neither.
  std::vector<uint8_t> cut = Map({HitRow(4, 0, 0, 50, 50), HitRow(5, 0, 0, 50, 50)});
  cut.resize(cut.size() - 3);
  EXPECT_EQ(CTamvikMacro::HitToyMap(cut, 32, 16, 40, 20), 0);
  EXPECT_EQ(CTamvikMacro::HitToyMap({}, 32, 16, 40, 20), 0);
}

// HitToy on a running program: the icon task runs, the maps are set in the interpreter.
class HitToyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LayTalkingChara(rig.d.tree, 3, {});
    ASSERT_EQ(CTamvikIcon::LoadIconSpr(), 1);
    ASSERT_EQ(CTamvikIcon::StartIconSeq(), 1);
    ASSERT_EQ(TamvikFunc::LoadNcSpxFilePos("tamvik1\\nc\\3.spr", 0, 0, SURFACE_FC), 1);
    for (int code : {5, 7, 10, 11, 30, 96, 97, 98, 99}) macro().toys[code].icon = 3;
  }
  CTamvikMacro& macro() { return rig.d.scene.macro; }
  // HitToy each frame until it gives a code (the icon has appeared), at most 40 frames.
  int HitWhenReady(int x, int y) {
    for (int i = 0; i < 40; ++i) {
      const int code = macro().HitToy(x, y);
      if (code != 0) return code;
      rig.d.Step();
    }
    return 0;
  }
  // Layer 5 above layer 6 in the compose order, or below.
  void Layer5Above(bool above) {
    CDdrawFunc& ddraw = Ctx().ddraw;
    const bool now = ddraw.GetLayerIndex(SURFACE_BG) > ddraw.GetLayerIndex(SURFACE_FG);
    if (now != above) ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  }

  SceneRig rig;
};

TEST_F(HitToyTest, ScreenEdgesTheLaterTestWinsAndToy95TakesThemAll) {
  struct Case {
    int x, y;
    int code;
  };
  const Case cases[] = {{10, 100, 97}, {620, 100, 99}, {100, 5, 96},  {100, 400, 98},
                        {10, 5, 96},   {620, 400, 98}, {10, 400, 98}, {620, 5, 96}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(HitWhenReady(c.x, c.y), c.code);
  }
  macro().toys[95].icon = 6;
  for (const Case& c : cases) EXPECT_EQ(HitWhenReady(c.x, c.y), 95);
  // Inactive edge toys give nothing.
  macro().toys[95].icon = 0;
  macro().toys[97].icon = 0;
  EXPECT_EQ(HitWhenReady(10, 100), 0);
  EXPECT_EQ(CTamvikIcon::GetIconCode(), 0);
}

TEST_F(HitToyTest, CharacterFirstThenTheUpperBackground) {
  const int ncx = TamvikFunc::GetNcX() + 32;
  const int ncy = TamvikFunc::GetNcY() + 16;
  macro().nc_toy_map.rows = Map({HitRow(7, 0, 0, 20, 20)});
  macro().bg_toy_map1.rows = Map({HitRow(10, 0, 0, 288, 160)});
  macro().bg_toy_map2.rows = Map({HitRow(11, 0, 0, 288, 160)});
  macro().chara_shown = 1;
  EXPECT_EQ(HitWhenReady(ncx + 10, ncy + 10), 7);
  // Beside the character: the backgrounds, the upper one first.
  Layer5Above(true);
  EXPECT_EQ(HitWhenReady(ncx + 100, ncy + 100), 10);
  Layer5Above(false);
  EXPECT_EQ(HitWhenReady(ncx + 100, ncy + 100), 11);
  // The character's map counts only while the character is shown.
  macro().chara_shown = 0;
  EXPECT_EQ(HitWhenReady(ncx + 10, ncy + 10), 11);
  // A spot whose toy is not active gives 0 and the neutral icon.
  macro().bg_toy_map2.rows = Map({HitRow(40, 0, 0, 288, 160)});
  macro().bg_toy_map1.rows = Map({HitRow(41, 0, 0, 288, 160)});
  EXPECT_EQ(HitWhenReady(100, 100), 0);
  EXPECT_EQ(CTamvikIcon::GetIconCode(), 0);
}

TEST_F(HitToyTest, MapsAreReadAgainOnlyForAnotherPictureNumber) {
  testsupport::LayBackground(rig.d.tree, 5, {31, 0, 0}, {HitRow(5, 0, 0, 100, 100)});
  testsupport::LayBackground(rig.d.tree, 12, {0, 31, 0}, {HitRow(12, 0, 0, 100, 100)});
  // Picture 5's map is "05.spr"; its picture file "5.spr" is another file.
  rig.d.tree.Write("install/tamvik1/bg/5.spr", testsupport::HitPictureFile({0, 0, 31}, {}));
  AdvState& adv = *GetAdvState();
  adv.setBackground1(5);
  EXPECT_EQ(macro().LoadBgToyMap1(), 1);
  EXPECT_EQ(macro().LoadBgToyMap1(), 1);
  EXPECT_EQ(macro().toy_map_reads, 1u);
  EXPECT_EQ(CTamvikMacro::HitToyMap(macro().bg_toy_map1.rows, 32, 16, 40, 40), 5);
  adv.setBackground1(12);
  EXPECT_EQ(macro().LoadBgToyMap1(), 1);
  EXPECT_EQ(macro().toy_map_reads, 2u);
  EXPECT_EQ(CTamvikMacro::HitToyMap(macro().bg_toy_map1.rows, 32, 16, 40, 40), 12);
  adv.setBackground1(0);
  EXPECT_EQ(macro().LoadBgToyMap1(), 0);
  EXPECT_TRUE(macro().bg_toy_map1.rows.empty());
  EXPECT_EQ(macro().toy_map_reads, 2u);
  // A map file whose rows are cut short gives no map.
  std::vector<uint8_t> cut = testsupport::HitPictureFile({0, 0, 31}, {HitRow(4, 0, 0, 9, 9)});
  cut.resize(cut.size() - 8);
  rig.d.tree.Write("install/tamvik1/bg/20.spr", cut);
  adv.setBackground2(20);
  EXPECT_EQ(macro().LoadBgToyMap2(), 0);
}

// ---- CLICKWAIT in a scene ----

int ClickStep() {
  GameTaskRec* task = Ctx().game_task.FindTask(kClickName);
  return task != nullptr && task->function != nullptr ? TaskStep(task) : -1;
}

// Background 5 with spot 5 over (132,116)-(332,316) on the screen and spot 6 over
// (432,116)-(532,216).
constexpr int kSpotX = 232;
constexpr int kSpotY = 216;
constexpr int kSpot6X = 480;
constexpr int kSpot6Y = 150;

class ClickScene {
 public:
  ClickScene() {
    testsupport::LayBackground(rig.d.tree, 5, {8, 8, 24}, {HitRow(5, 50, 50, 150, 150), HitRow(6, 200, 50, 250, 100)});
    GetAdvState()->setBackground1(5);
  }
  bool RunUntilClickWait(int limit) {
    return rig.d.RunUntil("click wait", [](const auto&) { return ClickStep() == 1; }, limit);
  }
  void Press(int frame) {
    rig.d.Schedule({testsupport::PointerButton(frame, 0, true),
                    testsupport::PointerButton(frame + 1, 0, false)});
  }
  SceneRig rig;
};

TEST(ClickWait, GuardIconReadinessJumpReturnAndPointerPosition) {
  ClickScene s;
  // Spot 5 (icon pattern 3) -> handler: A[8] += 1, a WAIT, RETURN; spot 6 (pattern 6) the same
  // handler. After the first CLICKWAIT A[6] := 1, then a second CLICKWAIT, A[7] := 1.
  ScriptWriter w;
  const auto handler = w.NewLabel();
  w.SetToy(Lit(5), handler, Lit(1));
  w.SetToy(Lit(6), handler, Lit(2));
  w.Command(0x03);
  w.Assign(VarA(6), Num(1));
  w.Command(0x03);
  w.Assign(VarA(7), Num(1));
  w.Wait(LongLit(5000));
  w.Bind(handler);
  w.Assign(VarA(8), VarA(8), {{'+', Num(1)}});
  w.Wait(Lit(10));
  w.Return();
  s.rig.Lay(0x0100, w);
  ASSERT_TRUE(s.rig.StartScene(0x0000));
  ASSERT_TRUE(s.RunUntilClickWait(kStartFrames));
  CTamvikMacro& macro = s.rig.d.scene.macro;
  EXPECT_TRUE(CTamvikIcon::IsIconSeq());
  EXPECT_EQ(macro.toy_map_reads, 1u);
  // The pointer put at the ADV position (320, 240 fresh), read by the next frame.
  s.rig.d.Step();
  EXPECT_EQ(Ctx().input.GetMouseX(), 320);
  EXPECT_EQ(Ctx().input.GetMouseY(), 240);

  // A press on the spot in the first 30 frames is ignored.
  const int start = s.rig.d.frame();
  s.rig.d.Schedule(testsupport::PointerMove(start + 1, kSpotX, kSpotY));
  s.Press(start + 10);
  s.rig.d.Run(15);
  EXPECT_EQ(ClickStep(), 1);
  EXPECT_EQ(GetMacroA(8), 0);
  // On spot 6 until its icon shows, then onto spot 5 and a press at once: spot 5's icon has not
  // finished appearing (spot 6's vanishes first).
  s.rig.d.Schedule(testsupport::PointerMove(s.rig.d.frame() + 1, kSpot6X, kSpot6Y));
  s.rig.d.Run(30);
  EXPECT_EQ(CTamvikIcon::GetIconCode(), 6);
  s.rig.d.Schedule(testsupport::PointerMove(s.rig.d.frame() + 1, kSpotX, kSpotY));
  s.Press(s.rig.d.frame() + 1);
  s.rig.d.Run(2);
  EXPECT_EQ(ClickStep(), 1);
  EXPECT_EQ(GetMacroA(8), 0);
  // Once it shows, a press jumps to the handler.
  ASSERT_TRUE(s.rig.d.RunUntil("icon", [](const auto&) {
    return CTamvikIcon::GetIconCode() == 3;
  }, 40));
  SetMacroA(0, 0);
  s.Press(s.rig.d.frame() + 1);
  ASSERT_TRUE(s.rig.d.RunUntil("handler", [](const auto&) { return GetMacroA(8) == 1; }, 5));
  EXPECT_EQ(GetMacroA(0), 5);
  EXPECT_FALSE(CTamvikIcon::IsIconSeq());
  EXPECT_EQ(GetAdvState()->cursorX(), kSpotX);
  EXPECT_EQ(GetAdvState()->cursorY(), kSpotY);
  // During the handler's WAIT the pointer goes elsewhere; the next CLICKWAIT puts it back.
  s.rig.d.Schedule(testsupport::PointerMove(s.rig.d.frame() + 1, 500, 100));
  ASSERT_TRUE(s.RunUntilClickWait(30));
  s.rig.d.Step();
  EXPECT_EQ(GetMacroA(6), 1);  // RETURN went on after the first CLICKWAIT
  EXPECT_EQ(GetMacroA(7), 0);
  EXPECT_EQ(Ctx().input.GetMouseX(), kSpotX);
  EXPECT_EQ(Ctx().input.GetMouseY(), kSpotY);
  EXPECT_EQ(macro.toy_map_reads, 1u);  // the same picture: not read again
}

// SETTOY keeps a target past the script (a plain word, checked where it is used); a click on
// that toy ends the wait without a jump: the script goes on after CLICKWAIT with the call frame
// it pushed taken off again.
TEST(ClickWait, AToyTargetPastTheScriptIsKeptAndItsClickEndsTheWaitWithoutAJump) {
  ClickScene s;
  ScriptWriter w;
  w.SetToy(Lit(5), 9000, Lit(1));
  w.Assign(VarA(5), Num(1));
  w.Command(0x03);
  w.Assign(VarA(6), Num(1));
  w.Wait(LongLit(5000));
  s.rig.Lay(0x0100, w);
  ASSERT_TRUE(s.rig.StartScene(0x0000));
  ASSERT_TRUE(s.RunUntilClickWait(kStartFrames));
  CTamvikMacro& macro = s.rig.d.scene.macro;
  EXPECT_EQ(GetMacroA(5), 1);
  EXPECT_EQ(macro.toys[5].target, 9000);
  EXPECT_EQ(macro.toys[5].icon, 3);
  EXPECT_FALSE(macro.HasDecodeError());
  const uint32_t depth2 = Game().macro.depth2;
  s.rig.d.Schedule(testsupport::PointerMove(s.rig.d.frame() + 1, kSpotX, kSpotY));
  s.rig.d.Run(40);
  s.Press(s.rig.d.frame() + 1);
  ASSERT_TRUE(s.rig.d.RunUntil("after the CLICKWAIT", [](const auto&) {
    return GetMacroA(6) == 1;
  }, 5));
  EXPECT_EQ(GetMacroA(0), 5);
  EXPECT_TRUE(s.rig.d.trace().Contains("toy 5's target 9000 is past the script"));
  EXPECT_FALSE(macro.HasDecodeError());
  EXPECT_FALSE(CTamvikIcon::IsIconSeq());
  EXPECT_EQ(Game().macro.depth2, depth2 - 2);
  EXPECT_NE(Ctx().game_task.FindTask("CTamvikMacro::DecodeWait"), nullptr);
}

// A whole scene: a voiced message with the character talking, a click on the character, its
// handler's unvoiced message, and the scene's end. With TAMVIK_SCENE_FRAMES=<folder> its frames
// are written for people to look at.
TEST(ClickWait, ATalkingSceneWithAClickablePicturePlaysFromInput) {
  ClickScene s;
  testsupport::LaySystemSounds(s.rig.d.tree);
  testsupport::LayVoice(s.rig.d.tree, 0, 20);
  testsupport::LayTalkingChara(s.rig.d.tree, 3, {HitRow(9, 0, 0, 60, 100)});
  s.rig.d.tree.Write("install/tamvik1/nc/03.spr", testsupport::TalkingCharaFile(
                                                     {HitRow(9, 0, 0, 60, 100)}));
  const auto table = testsupport::MessageTableWriter()
                         .Add({1, 0xFFFF, "aiueo", "abcdefghij"})
                         .Add({2, 0, "", "klmn"})
                         .Bytes();
  ScriptWriter w;
  const auto handler = w.NewLabel();
  w.Wait(Lit(5));
  w.SetToy(Lit(9), handler, Lit(2));
  w.Command(0x22, {Lit(1)});
  w.Command(0x03);
  w.Assign(VarA(6), Num(1));
  testsupport::Macroend(w);
  w.Bind(handler);
  w.Command(0x22, {Lit(2)});
  w.Return();
  testsupport::LayScene(s.rig.d.tree, 0x0100, w.Bytes(), table);
  ASSERT_TRUE(s.rig.StartScene(0x0000));
  ASSERT_TRUE(s.rig.d.RunUntil("decoding", [](const auto&) {
    return Ctx().game_task.FindTask("CTamvikMacro::DecodeWait") != nullptr;
  }, kStartFrames));
  // The pictures as BG and CHARA would show them.
  CTamvikMacro& macro = s.rig.d.scene.macro;
  ASSERT_EQ(TamvikFunc::LoadPicture("tamvik1\\bg\\5.spr", 0, 0, 0, SURFACE_BG), 1);
  ASSERT_EQ(TamvikFunc::LoadNcSpxFilePos("tamvik1\\nc\\3.spr", 0, 0, SURFACE_FC), 1);
  GetAdvState()->setBustUp(3);
  macro.chara_shown = 1;
  macro.RestoreLayers();
  macro.continue_flag = 0;  // the WAIT holds it
  // The voiced message: the mouth on the voice clock, then decide once the voice is over.
  ASSERT_TRUE(s.rig.d.RunUntil("voice", [](const auto&) {
    return TamvikFunc::IsVoicePlaying();
  }, 30));
  ASSERT_TRUE(s.rig.d.RunUntil("voice over", [](const auto&) {
    return !TamvikFunc::IsVoicePlaying();
  }, 90));
  ASSERT_TRUE(s.rig.d.RunUntil("typed", [](const auto&) {
    GameTaskRec* task = Ctx().game_task.FindTask("CTamvikMacro::DecodePrint");
    return task != nullptr && TaskStep(task) == 3;
  }, 60));
  s.Press(s.rig.d.frame() + 1);
  ASSERT_TRUE(s.RunUntilClickWait(20));
  EXPECT_EQ(macro.toy_map_reads, 2u);  // the character's and background 5's
  // Click the character's mouth area: spot 9.
  const int x = TamvikFunc::GetNcX() + 32 + 40;
  const int y = TamvikFunc::GetNcY() + 16 + 60;
  s.rig.d.Schedule(testsupport::PointerMove(s.rig.d.frame() + 1, x, y));
  s.rig.d.Run(40);
  s.Press(s.rig.d.frame() + 1);
  ASSERT_TRUE(s.rig.d.RunUntil("handler message", [](const auto&) {
    return Ctx().game_task.FindTask("CTamvikMacro::DecodePrint") != nullptr;
  }, 10));
  EXPECT_EQ(GetMacroA(0), 9);
  s.rig.d.Run(60);  // "klmn" typed a character at a time
  s.Press(s.rig.d.frame() + 1);
  ASSERT_TRUE(s.rig.d.RunUntil("after the click", [](const auto&) { return GetMacroA(6) == 1; },
                               30));
  ASSERT_TRUE(s.rig.RunUntilMode(400));
  EXPECT_EQ(s.rig.RequestedMode(), 32);
  // Frames were presented with the picture changing (typing, icons, the fades).
  EXPECT_GT(s.rig.d.presented(), 100);
}

}  // namespace
}  // namespace scenetest
