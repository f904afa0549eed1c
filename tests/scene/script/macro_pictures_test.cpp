// The picture commands through the interpreter: BG, the layer commands (BGON, BGOFF, BGPRI) over
// the shown / faded-out / cancel-lock states, WALL, CHARA and FACE, with their pictures written
// by the sprite writers.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/scene_files.h"
#include "testsupport/wav_writer.h"
#include "engine/anime/anime.h"
#include "script_rig.h"

namespace scripttest {
namespace {

using testsupport::NcFileContents;
using testsupport::PlainPictureFile;

constexpr uint8_t kOpBg = 0x33;
constexpr uint8_t kOpBgon = 0x28;
constexpr uint8_t kOpBgoff = 0x26;
constexpr uint8_t kOpBgpri = 0x25;
constexpr uint8_t kOpWall = 0x2A;
constexpr uint8_t kOpChara = 0x1A;
constexpr uint8_t kOpFace = 0x2B;
constexpr uint8_t kOpScroll = 0x16;
constexpr uint8_t kOpTitle = 0x23;
constexpr uint8_t kOpItem = 0x2D;
// A command task that ends in its first run: the decode pass that starts it, the task's run, the
// pass that goes on.
constexpr int kNoWaitFrames = 3;
// Frames enough for every fade of one command.
constexpr int kCommandFrames = 400;

// The script marks its end with A[9] := 1, then stops at an unbuilt command.
ScriptWriter& Done(ScriptWriter& w) {
  w.Assign(VarA(9), Num(1));
  return Stop(w);
}

class PictureTest : public ::testing::Test {
 protected:
  explicit PictureTest(platform::PixelLayout layout = platform::PixelLayout::kRgb565)
      : rig(layout) {
    testsupport::LaySceneFiles(rig.d.tree);
  }

  void Put(const std::string& rel, const std::vector<uint8_t>& bytes) {
    rig.d.tree.Write("install/" + rel, bytes);
  }
  // Background n: 640 x 480 of palette value `value`.
  void PutBg(int n, uint8_t value) {
    Put("tamvik1/bg/" + std::to_string(n) + ".spr", PlainPictureFile(640, 480, value));
  }
  // Character c: one picture (number 0) whose result word (lip id) is `lip`.
  void PutChara(int c, uint16_t lip) {
    NcFileContents nc;
    nc.image_sizes = {{100, 200}, {16, 8}, {16, 8}};
    nc.pictures = {{0, lip, 1, 2, 1, 0, 1, 0}};
    nc.bodies = {{0, 0, 0}};
    nc.eyes = {{1, 20, 20, 1500}};
    nc.lips = {{2, 20, 60, 0}};
    Put("tamvik1/nc/" + std::to_string(c) + ".spr", testsupport::NcFile(nc));
  }
  void PutFaces() {
    Put("tamvik1/system/kao.spr",
        testsupport::FaceFile({{{0, 3, 24}, {1, 4, 24}}, 2, std::nullopt}));
  }

  // Runs the script in scene 0x0305 until A[9] is 1; the frames it took (-1 when it never
  // ended). `xfades` counts the frames in which a cross-fade ran.
  int RunScript(const ScriptWriter& w, int* xfades = nullptr, int limit = kCommandFrames) {
    Begin(w);
    int faded = 0;
    for (int i = 1; i <= limit; ++i) {
      rig.d.Step();
      faded += Scene().xfade_handle != nullptr ? 1 : 0;
      if (GetMacroA(9) == 1) {
        if (xfades != nullptr) *xfades = faded;
        return i;
      }
    }
    if (xfades != nullptr) *xfades = faded;
    return -1;
  }

  // Lays the script and starts the interpreter on it (a decode task of an earlier script ended).
  void Begin(const ScriptWriter& w) {
    if (rig.decode_task() != nullptr) CTamvikMacro::StopDecoding();
    rig.Lay(0x0305, w);
    rig.Start(0x0305);
  }

  CDdrawFunc& ddraw() { return Ctx().ddraw; }
  uint16_t Pixel(SurfaceId id, int x, int y) { return ddraw().GetSurface(id)->Row(y)[x]; }
  uint16_t Key(SurfaceId id) { return static_cast<uint16_t>(ddraw().ColorMatch(id, 0xFFFF00)); }
  uint16_t Colour(SurfaceId id, uint8_t value) {
    return static_cast<uint16_t>(
        ddraw().ColorMatch(id, testsupport::SprColourRef(testsupport::PortraitColour(value))));
  }
  bool Fg6OnTop() { return ddraw().GetLayerIndex(SURFACE_FG) > ddraw().GetLayerIndex(SURFACE_BG); }

  ScriptRig rig;
};

// The picture commands whose pixels are checked, in both pixel layouts.
class PictureLayoutTest : public PictureTest,
                          public ::testing::WithParamInterface<platform::PixelLayout> {
 protected:
  PictureLayoutTest() : PictureTest(GetParam()) {}
};

// ---- BG ----

TEST_P(PictureLayoutTest, BgLoadsIntoTheSelectedLayerWithTheScrollFittedToTheSurface) {
  struct Case {
    uint16_t selector;
    int width, height;  // the layer's surface
    uint16_t x, y;
    int scroll_x, scroll_y;
  };
  const Case cases[] = {
      {0, 1280, 960, 10, 20, 20, 40},     // doubled
      {1, 1280, 960, 10, 20, 20, 40},
      {0, 1280, 960, 400, 300, 640, 480},  // lowered at the surface's edge
      {1, 640, 480, 10, 20, 0, 0},         // a surface the size of the view: no scroll
  };
  PutBg(12, 5);
  ASSERT_EQ(rig.d.display().layout(), GetParam());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "selector " << c.selector << " surface " << c.width);
    const SurfaceId layer = c.selector != 0 ? SURFACE_FG : SURFACE_BG;
    ddraw().GiveBackLayerSurface(layer, 1);
    if (c.width > 640) {
      ASSERT_EQ(ddraw().ResizeSurface(layer, 1, c.width, c.height), 1);
    }
    SetMacroA(9, 0);
    ddraw().SetVisible(layer, 0);
    ScriptWriter w;
    w.Command(kOpBg, {Lit(12), Lit(c.selector), Lit(c.x), Lit(c.y)});
    ASSERT_EQ(RunScript(Done(w)), kNoWaitFrames);  // no fade
    const AdvState& adv = *GetAdvState();
    EXPECT_EQ(c.selector != 0 ? adv.background2() : adv.background1(), 12);
    int sx = -1;
    int sy = -1;
    ddraw().GetLayerScroll(layer, &sx, &sy);
    EXPECT_EQ(sx, c.scroll_x);
    EXPECT_EQ(sy, c.scroll_y);
    EXPECT_EQ(Pixel(layer, 100, 100), Colour(layer, 5));
    EXPECT_EQ(ddraw().IsVisible(layer), 0u);  // BG does not show the layer
  }
}

TEST_F(PictureTest, BgScrollOfASurfaceSmallerThanTheViewStaysAtZero) {
  PutBg(12, 5);
  LayerRec* rec = ddraw().GetLayer(SURFACE_BG);
  ASSERT_NE(rec, nullptr);
  rec->view_width = 700;  // a view wider and taller than the surface
  rec->view_height = 500;
  ScriptWriter w;
  w.Command(kOpBg, {Lit(12), Lit(0), Lit(10), Lit(20)});
  ASSERT_EQ(RunScript(Done(w)), kNoWaitFrames);
  EXPECT_EQ(rec->scroll_x, 0);
  EXPECT_EQ(rec->scroll_y, 0);
  rec->view_width = 640;
  rec->view_height = 480;
}

TEST_F(PictureTest, BgZeroAndAMissingPictureClearTheLayerAndTheScriptGoesOn) {
  for (uint16_t n : {0, 77}) {  // 77: no such file
    SCOPED_TRACE(n);
    SetMacroA(9, 0);
    GetAdvState()->setBackground2(33);
    rig.macro().hit_map(CTamvikMacro::kHitFg) = {33, {1, 2, 3}};
    ddraw().FillSurfaceRect(SURFACE_FG, 0, 0, 640, 480, 0);  // black
    ScriptWriter w;
    w.Command(kOpBg, {Lit(n), Lit(1), Lit(0), Lit(0)});
    ASSERT_EQ(RunScript(Done(w)), kNoWaitFrames);
    EXPECT_EQ(GetAdvState()->background2(), 0);
    EXPECT_EQ(rig.macro().hit_map(CTamvikMacro::kHitFg).picture, 0);
    EXPECT_TRUE(rig.macro().hit_map(CTamvikMacro::kHitFg).rows.empty());
    EXPECT_EQ(Pixel(SURFACE_FG, 300, 200), Key(SURFACE_FG));
    EXPECT_EQ(rig.d.trace().Contains("DecodeBg File Not Found tamvik1\\bg\\77.spr"), n == 77);
  }
}

// ---- BGON, BGOFF, BGPRI ----

TEST_F(PictureTest, LayerCommandsOverShownFadedOutAndCancelLock) {
  enum Command { kBgon, kBgoff, kBgpriFg, kBgpri5 };
  struct Expect {
    uint32_t shown_after;
    bool order_fg_on_top;  // BGPRI only
    bool fade;
  };
  for (int command = kBgon; command <= kBgpri5; ++command) {
    for (int shown = 0; shown <= 1; ++shown) {
      for (int faded = 0; faded <= 1; ++faded) {
        for (int lock = 0; lock <= 1; ++lock) {
          SCOPED_TRACE(testing::Message() << "command " << command << " shown " << shown
                                          << " faded " << faded << " lock " << lock);
          // Layer 5 on top before each case, so that BGPRI a=1 changes the order.
          if (Fg6OnTop()) ddraw().SwapLayers(SURFACE_BG, SURFACE_FG);
          CTamvikMacro& macro = rig.macro();
          macro.backgrounds_shown = static_cast<uint32_t>(shown);
          macro.chara_shown = static_cast<uint32_t>(shown);
          macro.faded_out = static_cast<uint32_t>(faded);
          macro.cancel_lock = static_cast<uint32_t>(lock);
          for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw().SetVisible(id, shown);
          GetAdvState()->setCursorX(1);
          SetMacroA(9, 0);
          ScriptWriter w;
          Expect e{};
          const bool quiet = faded != 0 || lock != 0;
          switch (command) {
            case kBgon:
              w.Command(kOpBgon);
              e = {1, false, shown == 0 && !quiet};
              break;
            case kBgoff:
              w.Command(kOpBgoff);
              e = {0, false, shown == 1 && !quiet};
              break;
            case kBgpriFg:
              w.Command(kOpBgpri, {Lit(1), Lit(1)});
              e = {static_cast<uint32_t>(shown), true, shown == 1 && !quiet};
              break;
            default:  // layer 5 already on top: nothing to fade
              w.Command(kOpBgpri, {Lit(0), Lit(1)});
              e = {static_cast<uint32_t>(shown), false, false};
              break;
          }
          int xfades = 0;
          ASSERT_GT(RunScript(Done(w), &xfades), 0);
          EXPECT_EQ(xfades > 0, e.fade);
          EXPECT_EQ(macro.backgrounds_shown, e.shown_after);
          EXPECT_EQ(ddraw().IsVisible(SURFACE_FC) != 0, e.shown_after != 0);
          EXPECT_EQ(ddraw().IsVisible(SURFACE_BG) != 0, e.shown_after != 0);
          if (command == kBgpriFg || command == kBgpri5) {
            EXPECT_EQ(Fg6OnTop(), e.order_fg_on_top);
            EXPECT_EQ(GetAdvState()->layer5Position(), e.order_fg_on_top ? 2 : 3);
            EXPECT_EQ(GetAdvState()->layer6Position(), e.order_fg_on_top ? 3 : 2);
          }
          if (command == kBgon) {
            // The CLICKWAIT start is set by a BGON that fades in.
            EXPECT_EQ(GetAdvState()->cursorX(), shown == 0 && faded == 0 ? 320 : 1);
            if (shown == 0 && faded == 0) {
              EXPECT_EQ(GetAdvState()->cursorY(), 176);
            }
          }
        }
      }
    }
  }
}

TEST_F(PictureTest, BgpriWithoutAFadeAndASecondBgonThatOnlyResumes) {
  ScriptWriter w;
  w.Command(kOpBgpri, {Lit(1), Lit(0)});  // hidden: the order at once, no fade
  w.Command(kOpBgon);
  w.Assign(VarA(8), Num(1));
  w.Command(kOpBgon);  // shown already
  int xfades = 0;
  if (Fg6OnTop()) ddraw().SwapLayers(SURFACE_BG, SURFACE_FG);
  const int frames = RunScript(Done(w), &xfades);
  ASSERT_GT(frames, 0);
  EXPECT_TRUE(Fg6OnTop());
  EXPECT_EQ(GetAdvState()->layer5Position(), 2);
  EXPECT_EQ(rig.macro().backgrounds_shown, 1u);
  // One fade (BGON's, 16 phases of 62 ms); the second BGON adds one frame.
  EXPECT_GE(xfades, 50);
  EXPECT_LT(xfades, 70);
}

// ---- WALL ----

TEST_P(PictureLayoutTest, WallZeroInChapterThreeShowsVariantOneAndReopensTheWindow) {
  Put("tamvik1/WALL/Kabe0301.spr", PlainPictureFile(640, 480, 9));
  Put("tamvik1/WALL/Kabe0300.spr", PlainPictureFile(640, 480, 10));
  ddraw().FillSurfaceRect(SURFACE_BG, 0, 0, 640, 480, 0);
  ASSERT_EQ(ADVShowWindow(), 1);
  ScriptWriter w;
  w.Command(kOpWall, {Lit(0)});
  int xfades = 0;
  ASSERT_GT(RunScript(Done(w), &xfades), 0);
  EXPECT_EQ(GetAdvState()->wallPicture(), 1);
  EXPECT_EQ(Pixel(SURFACE_ROOT, 320, 240), Colour(SURFACE_ROOT, 9));
  EXPECT_EQ(Pixel(SURFACE_BG, 320, 240), Key(SURFACE_BG));
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  EXPECT_GT(xfades, 100);  // three cross-fades (62, 62, 31)
}

INSTANTIATE_TEST_SUITE_P(Layouts, PictureLayoutTest,
                         ::testing::Values(platform::PixelLayout::kRgb565,
                                           platform::PixelLayout::kRgb555));

// ---- CHARA ----

TEST_F(PictureTest, CharaLoadsFadesInWithTheAnimationsPausedThenCancelsTheSameCharacter) {
  PutChara(3, 6);
  rig.macro().backgrounds_shown = 1;
  ScriptWriter w;
  w.Command(kOpChara, {Lit(3), Lit(1), Lit(0xFFF6), Lit(0)});  // x = -10
  w.Assign(VarA(8), Num(1));
  w.Command(kOpChara, {Lit(3), Lit(1), Lit(0), Lit(0)});  // the same: canceled
  int xfades = 0;
  Begin(Done(w));
  int paused_fading = 0;
  for (int i = 0; i < kCommandFrames && GetMacroA(9) != 1; ++i) {
    rig.d.Step();
    const AnimeHandle eye = Scene().portraits.nc_eye_anime;
    const AnimeHandle lip = Scene().portraits.nc_lip_anime;
    if (Scene().xfade_handle != nullptr) {
      ++xfades;
      ASSERT_NE(eye, nullptr);
      ASSERT_NE(lip, nullptr);
      paused_fading += Ctx().anime.RecordOf(eye)->stop != 0 && Ctx().anime.RecordOf(lip)->stop != 0 ? 1 : 0;
    }
  }
  ASSERT_EQ(GetMacroA(9), 1);
  EXPECT_EQ(paused_fading, xfades);  // eye and mouth paused during the fade-in
  EXPECT_EQ(Ctx().anime.RecordOf(Scene().portraits.nc_eye_anime)->stop, 0u);  // and resumed after it
  EXPECT_EQ(Ctx().anime.RecordOf(Scene().portraits.nc_lip_anime)->stop, 0u);
  EXPECT_GT(xfades, 20);   // one fade of 31
  EXPECT_LT(xfades, 40);
  EXPECT_EQ(GetAdvState()->bustUp(), 3);
  EXPECT_EQ(GetAdvState()->bustUpId(), 6);
  EXPECT_EQ(rig.macro().shown_chara, 3);
  EXPECT_EQ(rig.macro().shown_chara_face, 1);
  EXPECT_EQ(TamvikFunc::GetNcX(), 2 * -10);  // the set stands at twice its x
  EXPECT_TRUE(rig.d.trace().Contains("CHARA FADEIN"));
  EXPECT_TRUE(rig.d.trace().Contains("LoadNC No:3 Face:1 x:-10"));
  EXPECT_TRUE(rig.d.trace().Contains("CHARA CANCELED"));
}

TEST_F(PictureTest, CharaChangeFadesOutThenInAndZeroClears) {
  PutChara(3, 6);
  PutChara(4, 7);
  rig.macro().backgrounds_shown = 1;
  ScriptWriter w;
  w.Command(kOpChara, {Lit(3), Lit(1), Lit(0), Lit(0)});
  w.Command(kOpChara, {Lit(4), Lit(1), Lit(0), Lit(0)});  // a change: out, then in
  w.Assign(VarA(8), Num(1));
  int xfades = 0;
  ASSERT_GT(RunScript(Done(w), &xfades), 0);
  EXPECT_TRUE(rig.d.trace().Contains("CHARA FADEOUT"));
  EXPECT_GT(xfades, 60);  // three fades of 31
  EXPECT_EQ(GetAdvState()->bustUpId(), 7);
  EXPECT_EQ(rig.macro().shown_chara, 4);

  SetMacroA(9, 0);
  ScriptWriter clear;
  clear.Command(kOpChara, {Lit(0), Lit(2), Lit(0), Lit(0)});
  ASSERT_GT(RunScript(Done(clear)), 0);
  EXPECT_EQ(rig.macro().shown_chara, 0);
  EXPECT_EQ(rig.macro().shown_chara_face, 2);
  EXPECT_EQ(rig.macro().chara_shown, 0u);
  EXPECT_EQ(GetAdvState()->bustUpId(), 0);
  EXPECT_EQ(TamvikFunc::GetNcX(), -1);  // no set
}

TEST_F(PictureTest, MissingCharacterTracesShowsNoneAndTheScriptGoesOn) {
  rig.macro().backgrounds_shown = 1;
  GetAdvState()->setBustUpId(9);
  ScriptWriter w;
  w.Command(kOpChara, {Lit(5), Lit(1), Lit(0), Lit(0)});
  ASSERT_GT(RunScript(Done(w)), 0);
  EXPECT_TRUE(rig.d.trace().Contains("Error! tamvik1\\nc\\5.spr Not Found"));
  EXPECT_EQ(GetAdvState()->bustUpId(), 0);
  EXPECT_EQ(rig.macro().chara_shown, 0u);
  EXPECT_EQ(rig.macro().shown_chara, 0);
}

// ---- FACE ----

TEST_F(PictureTest, FaceIntoTheWindowWithItsBlinkLoopAndFaceZero) {
  PutFaces();
  ASSERT_EQ(ADVShowWindow(), 1);
  {
    // FACE 0 with no face shown: nothing, at once.
    ScriptWriter w;
    w.Command(kOpFace, {Lit(0)});
    int xfades = 0;
    EXPECT_EQ(RunScript(Done(w), &xfades), kNoWaitFrames);
    EXPECT_EQ(xfades, 0);
  }
  SetMacroA(9, 0);
  ScriptWriter w;
  w.Command(kOpFace, {Lit(2)});
  int xfades = 0;
  ASSERT_GT(RunScript(Done(w), &xfades), 0);
  EXPECT_GT(xfades, 5);  // one fade of 15
  EXPECT_LT(xfades, 25);
  EXPECT_EQ(rig.macro().shown_face, 2);
  EXPECT_EQ(rig.macro().face_shown, 1u);
  EXPECT_EQ(GetAdvState()->faceId(), 4);
  EXPECT_NE(Scene().portraits.blink_anime, nullptr);

  SetMacroA(9, 0);
  ScriptWriter off;
  off.Command(kOpFace, {Lit(0)});
  ASSERT_GT(RunScript(Done(off)), 0);
  EXPECT_EQ(rig.macro().shown_face, 0);
  EXPECT_EQ(rig.macro().face_shown, 0u);
  EXPECT_EQ(GetAdvState()->faceId(), 0);
  EXPECT_EQ(Scene().portraits.blink_anime, nullptr);
}

TEST_F(PictureTest, MissingFaceLeavesTheFaceClearedAndTheScriptGoesOn) {
  PutFaces();  // faces 1 and 2 only
  ASSERT_EQ(ADVShowWindow(), 1);
  ScriptWriter w;
  w.Command(kOpFace, {Lit(7)});
  ASSERT_GT(RunScript(Done(w)), 0);
  EXPECT_TRUE(rig.d.trace().Contains("LoadFace No=7 FaceLip=-1"));
  EXPECT_EQ(rig.macro().face_shown, 0u);
  EXPECT_EQ(rig.macro().shown_face, 0);
  EXPECT_EQ(Scene().portraits.blink_anime, nullptr);
}

// ---- SCROLL ----

TEST_F(PictureTest, ScrollMovesByTwiceTheDirectionStepFromTheTenthFrame) {
  // Direction d at speed 3, one move of the step (2x, 2y), from (300, 300).
  const int expected[8][2] = {{0, 6}, {-6, 6}, {-6, 0}, {-6, -6},
                              {0, -6}, {6, -6}, {6, 0}, {6, 6}};
  ASSERT_EQ(ddraw().ResizeSurface(SURFACE_FG, 1, 1280, 960), 1);
  for (uint16_t d = 0; d < 8; ++d) {
    SCOPED_TRACE(d);
    SetMacroA(9, 0);
    ddraw().GetLayer(SURFACE_FG)->scroll_x = 300;
    ddraw().GetLayer(SURFACE_FG)->scroll_y = 300;
    ScriptWriter w;
    w.Command(kOpScroll, {Lit(1), Lit(d), Lit(3), Lit(6), Lit(1), Lit(1)});
    ASSERT_GT(RunScript(Done(w)), 0);
    EXPECT_EQ(GetMacroA(1), 1);
    int x = 0;
    int y = 0;
    ddraw().GetLayerScroll(SURFACE_FG, &x, &y);
    EXPECT_EQ(x, 300 + expected[d][0]);
    EXPECT_EQ(y, 300 + expected[d][1]);
    EXPECT_EQ(rig.macro().scroll_handles[1], nullptr);  // cleared at the end
  }
  EXPECT_TRUE(rig.d.trace().Contains("Scroll x=6 y=6 Interval=100 Total=1"));
  EXPECT_TRUE(rig.d.trace().Contains("Scroll FG end"));
}

TEST_F(PictureTest, ScrollWithoutWaitLetsTheScriptGoOnAndMarksItsEndInA1) {
  ASSERT_EQ(ddraw().ResizeSurface(SURFACE_BG, 1, 1280, 960), 1);
  ScriptWriter w;
  w.Command(kOpScroll, {Lit(0), Lit(6), Lit(2), Lit(3), Lit(4), Lit(0)});
  w.Assign(VarA(2), Num(5));
  Begin(Done(w));
  rig.d.Run(kNoWaitFrames);  // the script went on past the command at once
  EXPECT_EQ(GetMacroA(2), 5);
  EXPECT_EQ(GetMacroA(9), 1);
  EXPECT_EQ(GetMacroA(1), 0);
  int started = 0;
  for (int frame = kNoWaitFrames + 1; frame <= 200 && GetMacroA(1) == 0; ++frame) {
    rig.d.Step();
    if (started == 0 && rig.macro().scroll_handles[0] != nullptr) started = frame;
  }
  EXPECT_EQ(GetMacroA(1), 1);
  // The task first runs in frame 2 (step 0); step 1 counts from frame 3: its tenth frame.
  EXPECT_EQ(started, 12);
  int x = 0;
  ddraw().GetLayerScroll(SURFACE_BG, &x, nullptr);
  EXPECT_EQ(x, 4 * 4);  // four moves of 2 x 2 to the right
}

// ---- Owners ----

TEST_F(PictureTest, WallScrollTitleAndMusicEndWithTheirOwner) {
  PutBg(1, 3);
  Put("tamvik1/bgm/sm01.wav",
      testsupport::PcmWav(1, 22050, 16, testsupport::Tone(1, 22050, 22050, 440, 4000)).Bytes());
  ASSERT_EQ(ddraw().ResizeSurface(SURFACE_BG, 1, 1280, 960), 1);
  const struct {
    const char* task;
    std::vector<testsupport::ScriptOperand> operands;
    uint8_t opcode;
  } cases[] = {
      {"CTamvikMacro::DecodeWall", {Lit(0)}, kOpWall},
      {"CTamvikMacro::DecodeScroll", {Lit(0), Lit(6), Lit(2), Lit(30), Lit(50), Lit(1)},
       kOpScroll},
      {"CTamvikMacro::DecodeTitle", {}, kOpTitle},
      {"CTamvikMacro::DecodeMusic", {Lit(2)}, 0x21},  // fading the playing tune out
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.task);
    ASSERT_EQ(Ctx().dsound.PlayBGM("tamvik1\\bgm\\sm01.wav"), 1);
    SetMacroA(9, 0);
    ScriptWriter w;
    w.Command(c.opcode, c.operands);
    Begin(Done(w));
    rig.d.Run(3);
    ASSERT_NE(Ctx().game_task.FindTask(c.task), nullptr);
    Ctx().game_task.DelTask(rig.decode_task());
    rig.d.Run(3);
    EXPECT_EQ(Ctx().game_task.FindTask(c.task), nullptr);
    EXPECT_EQ(rig.macro().continue_flag, 0u);
    EXPECT_EQ(GetMacroA(9), 0);
  }
}

// ---- TITLE ----

class TitleTest : public PictureTest {
 protected:
  // Runs TITLE in the chapter; the frames until the script went on.
  int RunTitle(int chapter, const std::vector<testsupport::InputRow>& rows = {}) {
    const std::string file = "tamvik1/TITLE/TITLE" + std::to_string(chapter) + ".spr";
    Put(file, PlainPictureFile(640, 480, 11));
    for (int n = 1; n <= 3; ++n) {
      Put("tamvik1/system/SE/intro" + std::to_string(n) + ".wav",
          testsupport::PcmWav(1, 22050, 16, testsupport::Tone(1, 22050, 22050, 440, 4000))
              .Bytes());
    }
    const uint16_t scene = static_cast<uint16_t>(chapter << 8 | 5);
    ScriptWriter w;
    w.Command(kOpTitle);
    Done(w);
    if (rig.decode_task() != nullptr) CTamvikMacro::StopDecoding();
    rig.Lay(scene, w);
    rig.Start(scene);
    const int first = rig.d.frame();
    for (const testsupport::InputRow& row : rows) {
      testsupport::InputRow shifted = row;
      shifted.frame += first;
      rig.d.Schedule(shifted);
    }
    for (int i = 1; i <= 900; ++i) {
      rig.d.Step();
      if (card_shown_at_ == 0 && Ctx().dsound.GetPlayFileName(kChannelSe) != nullptr) {
        card_shown_at_ = i;
        intro_ = Ctx().dsound.GetPlayFileName(kChannelSe);
      }
      if (GetMacroA(9) == 1) return i;
    }
    return -1;
  }
  int card_shown_at_ = 0;
  std::string intro_;
};

TEST_F(TitleTest, IntroSoundByChapter) {
  const struct {
    int chapter;
    const char* intro;
    uint32_t key;  // the game key that ends the card (key 0 or key 1)
  } cases[] = {{3, "intro1.wav", 0x1}, {9, "intro2.wav", 0x2}, {10, "intro3.wav", 0x1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chapter);
    card_shown_at_ = 0;
    SetMacroA(9, 0);
    // The key ends the card at once, long before its 361 frames.
    const int frames = RunTitle(c.chapter, {testsupport::GameKeyDown(150, c.key),
                                            testsupport::GameKeyUp(152, c.key)});
    ASSERT_GT(frames, 0);
    EXPECT_LT(frames - card_shown_at_, 361);
    EXPECT_NE(intro_.find(std::string("SE\\") + c.intro), std::string::npos) << intro_;
  }
}

TEST_F(TitleTest, TheCardEndsAfter361FramesAndRestoresSceneReadyOnlyWhenSet) {
  ASSERT_EQ(ADVShowWindow(), 1);
  rig.macro().scene_ready = 1;
  rig.macro().backgrounds_shown = 1;
  const int frames = RunTitle(3);
  ASSERT_GT(frames, 0);
  EXPECT_GE(frames - card_shown_at_, 361);
  EXPECT_LT(frames - card_shown_at_, 361 + 140);  // then the two fades out and in
  EXPECT_EQ(rig.macro().scene_ready, 1u);
  EXPECT_EQ(rig.macro().backgrounds_shown, 0u);
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  EXPECT_EQ(Pixel(SURFACE_TEXT, 320, 100), Key(SURFACE_TEXT));  // the card cleared

  rig.macro().scene_ready = 0;
  SetMacroA(9, 0);
  card_shown_at_ = 0;
  // Key 2 held ends it too.
  const int held = RunTitle(3, {testsupport::GameKeyDown(100, 0x4)});
  ASSERT_GT(held, 0);
  EXPECT_LT(held - card_shown_at_, 200);
  EXPECT_EQ(rig.macro().scene_ready, 0u);
}

// ---- ITEM ----

TEST_F(PictureTest, ItemsGrowInShrinkOrSwellOutWithTheirSounds) {
  Put("tamvik1/item/item05.spr", PlainPictureFile(224, 224, 12));
  Put("tamvik1/item/item150.spr", PlainPictureFile(640, 480, 13));
  Put("tamvik1/item/item250.spr", PlainPictureFile(640, 480, 14));
  for (const char* te : {"TE00.WAV", "TE01.WAV"}) {
    Put(std::string("tamvik1/system/se/") + te,
        testsupport::PcmWav(1, 22050, 16, testsupport::Tone(1, 22050, 22050, 440, 4000)).Bytes());
  }
  TamvikFunc::LoadSystemSe();
  CDsoundFunc& sound = Ctx().dsound;
  const auto playing = [&](int slot) {
    const auto& buffer = sound.static_se.slot[static_cast<size_t>(slot)];
    return buffer != nullptr && buffer->IsPlaying();
  };
  const struct {
    uint16_t n;
    int width;          // the sprite's drawn width once shown
    bool grows;         // in from 0 % with system sound 1
    int out_width;      // the drawn width when the removal's animation ended (-1: none runs)
  } cases[] = {
      {5, 224, true, 1},      // out: shrinks to 0 % (one pixel wide)
      {150, 640, true, 1920},  // out: swells to 300 %
      {250, 640, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    sound.StopStaticSE(-1);
    SetMacroA(9, 0);
    ScriptWriter in;
    in.Command(kOpItem, {Lit(c.n), Lit(0)});
    int frames = RunScript(Done(in));
    ASSERT_GT(frames, 0);
    CTamvikMacro& macro = rig.macro();
    EXPECT_EQ(GetAdvState()->itemPicture(), c.n);
    EXPECT_EQ(macro.item_shown, 1u);
    ASSERT_NE(macro.item_sprite, nullptr);
    ASSERT_NE(macro.item_entry, nullptr);
    EXPECT_EQ(macro.item_sprite->rect.right - macro.item_sprite->rect.left, c.width);
    EXPECT_EQ(playing(0), c.grows);
    EXPECT_EQ(frames > 10, c.grows);  // 0 % to 100 % by 12 every 33 ms

    sound.StopStaticSE(-1);
    SetMacroA(9, 0);
    ScriptWriter out;
    out.Command(kOpItem, {Lit(0), Lit(0)});
    SprRec* sprite = macro.item_sprite;
    int last_width = -1;
    bool animated = false;
    Begin(Done(out));
    for (int i = 0; i < kCommandFrames && GetMacroA(9) != 1; ++i) {
      rig.d.Step();
      animated = animated || macro.item_anime != nullptr;
      if (macro.item_entry != nullptr) last_width = sprite->rect.right - sprite->rect.left;
    }
    ASSERT_EQ(GetMacroA(9), 1);
    EXPECT_EQ(animated ? last_width : -1, c.out_width);
    EXPECT_EQ(playing(1), c.out_width != -1);
    EXPECT_EQ(macro.item_shown, 0u);
    EXPECT_EQ(macro.item_sprite, nullptr);
    EXPECT_EQ(macro.item_entry, nullptr);
  }

  // An item still shown when the scene picture closes (a scene end) goes with it.
  SetMacroA(9, 0);
  ScriptWriter in;
  in.Command(kOpItem, {Lit(5), Lit(0)});
  ASSERT_GT(RunScript(Done(in)), 0);
  CTamvikMacro& macro = rig.macro();
  SprRec* sprite = macro.item_sprite;
  ASSERT_NE(macro.item_entry, nullptr);
  macro.CloseScenePicture();
  EXPECT_EQ(macro.item_shown, 0u);
  EXPECT_EQ(macro.item_entry, nullptr);
  EXPECT_EQ(macro.item_sprite, nullptr);
  EXPECT_EQ(macro.item_anime, nullptr);
  EXPECT_EQ(Ctx().ddraw_spr.IsSprite(sprite), 0);
}

}  // namespace
}  // namespace scripttest
