// The scene's small services: the mouse and key-mouse mode, pictures (sprite files and bitmaps),
// walls and eyecatches, the system sounds and the movies. Files lie in trees whose folder and file
// names differ in case from the names the game asks for.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/headless/headless_movie.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/bmp_writer.h"
#include "testsupport/program_driver.h"
#include "testsupport/spr_writer.h"
#include "testsupport/trace_capture.h"
#include "testsupport/wav_writer.h"
#include "tests/scene/sprite/spr_test_support.h"

namespace {

using testsupport::ProgramDriver;
using testsupport::SprRgb;
using testsupport::SprImage;
using testsupport::TraceCapture;

// The program without the game's boot: the engine, the scene and the files only.
ProgramDriver::Options QuietProgram() {
  ProgramDriver::Options options;
  options.boot = [] {};
  return options;
}

// ---- Mouse ----

TEST(KeyMouse, CursorSpeedOptionGivesTheStepTheDirectionKeysMoveThePointerBy) {
  ProgramDriver d(QuietProgram());
  ASSERT_TRUE(d.Start());
  auto& input = d.host().input;
  d.Schedule(testsupport::GameKeyDown(d.frame() + 1, kGameKeyLeft));
  const struct {
    uint16_t speed;
    int step;
  } cases[] = {{0, 1}, {1, 2}, {2, 4}, {3, 6}, {4, 7}, {9, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.speed);
    TraceCapture trace;
    GetSystemData()->setCursorSpeed(c.speed);
    TamvikFunc::SetKeyMouse(1);
    EXPECT_TRUE(trace.Contains("KeyMouse ON\n"));
    TamvikFunc::SetMouseCursorPos(320, 240);
    ASSERT_TRUE(d.Step());
    EXPECT_EQ(input.cursor_x, 320 - c.step);
    EXPECT_EQ(Ctx().input.GetMouseX(), 320 - c.step);
    EXPECT_EQ(input.cursor_y, 240);
  }
  // Off: the held key no longer moves the pointer.
  TraceCapture trace;
  TamvikFunc::SetKeyMouse(0);
  EXPECT_TRUE(trace.Contains("KeyMouse OFF\n"));
  TamvikFunc::SetMouseCursorPos(100, 50);
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(input.cursor_x, 100);
  EXPECT_EQ(Ctx().input.GetMouseY(), 50);
}

TEST(Mouse, CursorPositionMovedFlagAndRectangles) {
  ProgramDriver d(QuietProgram());
  ASSERT_TRUE(d.Start());
  auto& input = d.host().input;
  // The pointer is placed as 16-bit coordinates and clipped by the system.
  TamvikFunc::SetMouseCursorPos(600, 400);
  EXPECT_EQ(input.cursor_x, 600);
  EXPECT_EQ(input.cursor_y, 400);
  TamvikFunc::SetMouseCursorPos(0x10000 + 12, 0x10000 + 34);
  EXPECT_EQ(input.cursor_x, 12);
  EXPECT_EQ(input.cursor_y, 34);

  d.Schedule(testsupport::PointerMove(d.frame() + 1, 200, 100));
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(TamvikFunc::GetMouseFlag(), 1u);
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(TamvikFunc::GetMouseFlag(), 0u);

  const struct {
    int x, y;
    bool inside;
  } points[] = {{10, 20, true},  {30, 40, true},  {20, 30, true}, {9, 20, false},
                {31, 20, false}, {10, 19, false}, {10, 41, false}};
  for (const auto& p : points) {
    EXPECT_EQ(PointInRect(p.x, p.y, 10, 20, 30, 40), p.inside) << p.x << "," << p.y;
  }
}

TEST(Mouse, FaceBoxIsClickedOnlyWithTheMessageWindowOpen) {
  ProgramDriver d(QuietProgram());
  ASSERT_TRUE(d.Start());
  d.Schedule({testsupport::PointerMove(d.frame() + 1, 60, 400),
              testsupport::PointerButton(d.frame() + 1, 0, true)});
  ASSERT_TRUE(d.Step());
  ASSERT_NE(IsKeyTriggered(0), 0u);
  ASSERT_TRUE(PointInRect(Ctx().input.GetMouseX(), Ctx().input.GetMouseY(), 32, 354, 112, 450));
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
  EXPECT_FALSE(TamvikFunc::IsFaceBoxClicked());

  ASSERT_EQ(ADVShowWindow(), 1);
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  EXPECT_TRUE(TamvikFunc::IsFaceBoxClicked());
  // Outside the box (one pixel right of it), or without a new press, it is not.
  d.Schedule({testsupport::PointerMove(d.frame() + 1, 113, 400)});
  ASSERT_TRUE(d.Step());
  EXPECT_FALSE(TamvikFunc::IsFaceBoxClicked());
  d.Schedule({testsupport::PointerMove(d.frame() + 1, 60, 400)});
  ASSERT_TRUE(d.Step());
  EXPECT_FALSE(TamvikFunc::IsFaceBoxClicked());
  EXPECT_EQ(TamvikFunc::CloseMessageWindow(), 1);
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
}

// ---- Pictures ----

// One 4x4 picture of one colour (colour 1 of its table).
std::vector<uint8_t> OneColourPicture(SprRgb colour, uint16_t w = 4, uint16_t h = 4) {
  return testsupport::PictureFile(
      {{0, 0, 0}, colour},
      {SprImage(w, h, testsupport::kSprDepth8, 0,
                std::vector<uint8_t>(static_cast<size_t>(w) * h, 1))});
}

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fx.OpenDisplay()); }

  uint16_t Pack(SprRgb c) const {
    return platform::PackColorRef(testsupport::SprColourRef(c), platform::PixelLayout::kRgb565);
  }
  uint16_t At(SurfaceId id, int x, int y) { return fx.ddraw().GetSurface(id)->Row(y)[x]; }
  Rect PictureRect() {
    Rect r{-1, -1, -1, -1};
    TamvikFunc::GetPictureRect(&r);
    return r;
  }

  spr_test::SprFixture fx;
  TraceCapture trace;
};

void ExpectRect(const Rect& r, int left, int top, int right, int bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

TEST_F(PictureTest, SpriteFilePictureAndBitmapFallbackEachGiveTheirRectangle) {
  const SprRgb red{31, 0, 0};
  fx.Write("Pics/Red.SPR", OneColourPicture(red, 6, 3));
  testsupport::BmpPicture bmp(5, 7, 0x0000FF00);  // green
  fx.Write("Pics/green.Bmp", testsupport::WriteBmp(bmp));

  EXPECT_EQ(TamvikFunc::LoadPicture("pics\\red.spr", 10, 20, 0, SURFACE_BG), 1);
  EXPECT_EQ(At(SURFACE_BG, 10, 20), Pack(red));
  ExpectRect(PictureRect(), 10, 20, 16, 23);

  // Not a sprite file: drawn as a bitmap, whose rectangle is reported from now on.
  EXPECT_EQ(TamvikFunc::LoadPicture("pics\\green.bmp", 100, 50, 0, SURFACE_FG), 1);
  EXPECT_EQ(At(SURFACE_FG, 100, 50), platform::PackColorRef(0x0000FF00, platform::PixelLayout::kRgb565));
  ExpectRect(PictureRect(), 100, 50, 105, 57);

  // A sprite-file picture again (now from the cache): its rectangle again.
  EXPECT_EQ(TamvikFunc::LoadPicture("PICS\\RED.SPR", 0, 0, 0, SURFACE_BG), 1);
  ExpectRect(PictureRect(), 0, 0, 6, 3);

  // Neither: 0.
  EXPECT_EQ(TamvikFunc::LoadPicture("pics\\none.spr", 0, 0, 0, SURFACE_BG), 0);
  EXPECT_EQ(TamvikFunc::LoadPicture(nullptr, 0, 0, 0, SURFACE_BG), 0);
}

TEST_F(PictureTest, SpriteToSurfaceFormsPlaceTheImageAsked) {
  const SprRgb red{31, 0, 0}, blue{0, 0, 31};
  fx.Write("two.spr",
           testsupport::PictureFile({{0, 0, 0}, red, blue},
                                    {SprImage(2, 2, testsupport::kSprDepth8, 0, {1, 1, 1, 1}),
                                     SprImage(2, 2, testsupport::kSprDepth8, 0, {2, 2, 2, 2})}));
  EXPECT_EQ(TamvikFunc::LoadSprToSurface("two.spr", 1, 30, 40, SURFACE_BG, 0), 1);
  EXPECT_EQ(At(SURFACE_BG, 30, 40), Pack(blue));
  EXPECT_EQ(TamvikFunc::LoadSprToSurfaceNoPos("two.spr", 1, SURFACE_FG, 0), 1);
  EXPECT_EQ(At(SURFACE_FG, 0, 0), Pack(blue));
  EXPECT_EQ(TamvikFunc::LoadSprToSurfaceFirst("two.spr", SURFACE_FC, 0), 1);
  EXPECT_EQ(At(SURFACE_FC, 1, 1), Pack(red));
  ExpectRect(PictureRect(), 0, 0, 2, 2);
  // The image past the table and a missing file: 0.
  EXPECT_EQ(TamvikFunc::LoadSprToSurface("two.spr", 2, 0, 0, SURFACE_BG, 0), 0);
  EXPECT_EQ(TamvikFunc::LoadSprToSurfaceFirst("nothing.spr", SURFACE_BG, 0), 0);
}

TEST_F(PictureTest, WallsByChapterVariantAndExtrasWall) {
  const SprRgb colours[] = {{31, 0, 0}, {0, 31, 0}, {0, 0, 31}, {31, 31, 0}, {0, 31, 31}, {31, 0, 31}};
  fx.Write("TAMVIK1/Wall/KABE0301.SPR", OneColourPicture(colours[0]));
  fx.Write("TAMVIK1/Wall/kabe0100.spr", OneColourPicture(colours[1]));
  fx.Write("TAMVIK1/Wall/omake01.SPR", OneColourPicture(colours[2]));
  fx.Write("TAMVIK1/Wall/Omake02.spr", OneColourPicture(colours[3]));
  fx.Write("TAMVIK1/Wall/OMAKE03.spr", OneColourPicture(colours[4]));
  fx.Write("TAMVIK1/Wall/Kabe0102.spr", OneColourPicture(colours[5]));
  CTamvikMacro& macro = fx.scene.scene().macro;

  const struct {
    uint16_t scene;
    int variant;
    uint16_t extras_wall;
    const char* file;
    int colour;
  } cases[] = {
      {0x0305, 1, 0, "tamvik1\\WALL\\Kabe0301.spr", 0},
      {0x0102, 2, 3, "tamvik1\\WALL\\Kabe0102.spr", 5},  // the extras wall matters only in 0x0109
      {0x0109, 1, 0, "tamvik1\\WALL\\KABE0100.SPR", 1},
      {0x0109, 0, 1, "tamvik1\\WALL\\OMAKE01.SPR", 2},
      {0x0109, 0, 2, "tamvik1\\WALL\\OMAKE02.SPR", 3},
      {0x0109, 1, 3, "tamvik1\\WALL\\OMAKE03.SPR", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TraceCapture seen;
    fx.ddraw().ClearSurface(SURFACE_ROOT, 0);
    macro.extras_wall = c.extras_wall;
    EXPECT_EQ(TamvikFunc::LoadWallPicture(c.scene, c.variant), 1);
    EXPECT_TRUE(seen.Contains(std::string("WallFile = ") + c.file + "\n"));
    EXPECT_EQ(At(SURFACE_ROOT, 0, 0), Pack(colours[c.colour]));
  }

  // An extras wall number outside the list of four changes nothing.
  TraceCapture seen;
  macro.extras_wall = 7;
  EXPECT_EQ(TamvikFunc::LoadWallPicture(0x0109, 0), 0);
  EXPECT_EQ(At(SURFACE_ROOT, 0, 0), Pack(colours[4]));
  EXPECT_FALSE(seen.Contains("WallFile"));
  EXPECT_TRUE(seen.Contains("extras wall 7 is not one of 0-3"));
}

TEST_F(PictureTest, EyecatchNamesFollowTheChapter) {
  const struct {
    uint16_t scene;
    uint16_t saved_before_battle;
    uint16_t p83;
    const char* file;  // as asked for
    const char* laid;  // as the tree holds it
    uint8_t red;       // the picture's colour: {red, 0, 31}
  } cases[] = {
      {0x0304, 0, 0, "tamvik1\\icatch\\ic0300.spr", "TAMVIK1/ICatch/IC0300.SPR", 1},
      {0x0503, 0, 0, "tamvik1\\icatch\\ic0502.spr", "TAMVIK1/ICatch/Ic0502.Spr", 2},
      {0x0501, 1, 0, "tamvik1\\icatch\\ic0502.spr", "TAMVIK1/ICatch/Ic0502.Spr", 2},
      {0x0501, 0, 0, "tamvik1\\icatch\\ic0501.spr", "TAMVIK1/ICatch/IC0501.spr", 3},
      {0x0A02, 0, 0x0103, "tamvik1\\icatch\\ic1003.spr", "TAMVIK1/ICatch/ic1003.SPR", 4},
      {0x0A02, 0, 0, "tamvik1\\icatch\\ic1000.spr", "TAMVIK1/ICatch/ic1000.spr", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const SprRgb colour{c.red, 0, 31};
    fx.Write(c.laid, OneColourPicture(colour));
    GetAdvState()->setSceneCode(c.scene);
    GetSystemData()->setSavedBeforeBattle(c.saved_before_battle);
    SetMacroP(83, c.p83);
    EXPECT_EQ(TamvikFunc::GetMacroP83(), c.p83);
    EXPECT_EQ(TamvikFunc::EyecatchFileName(), c.file);
    EXPECT_EQ(TamvikFunc::LoadEyecatchPicture(), 1);
    EXPECT_EQ(At(SURFACE_ROOT, 2, 2), Pack(colour));
  }
}

TEST_F(PictureTest, NowLoadingClearsTheUpperLayersAndShowsItsPicture) {
  const SprRgb yellow{31, 31, 0};
  fx.Write("Tamvik1/SYSTEM/NowLoad.SPR", OneColourPicture(yellow));
  CDdrawFunc& ddraw = fx.ddraw();
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) ddraw.ClearSurface(id, 0);
  const uint16_t cleared = [&] {
    ddraw.ClearSurface(SURFACE_SCRATCH, 1);
    return At(SURFACE_SCRATCH, 5, 5);
  }();
  ASSERT_NE(cleared, At(SURFACE_BG, 5, 5));
  TamvikFunc::ShowNowLoading();
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) {
    EXPECT_EQ(At(id, 5, 5), cleared) << id;
  }
  EXPECT_EQ(At(SURFACE_ROOT, 0, 0), Pack(yellow));
}

// ---- Sound ----

std::vector<uint8_t> ShortSound(int16_t level) {
  return testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(22050, level)).Bytes();
}

TEST(SystemSound, StaticSlotsAndStreamedEffects) {
  ProgramDriver d(QuietProgram());
  // The bank as the boot loads it, and the two effects that stream, in a mixed-case tree.
  const char* const* names = TamvikFunc::SystemSeNames();
  for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
    std::string name = std::string(names[i]).substr(std::string("tamvik1\\system\\se\\").size());
    d.tree.Write("install/TAMVIK1/System/SE/" + name, ShortSound(static_cast<int16_t>(1000 + i)));
  }
  d.tree.Write("install/TAMVIK1/System/SE/te06.WAV", ShortSound(3000));
  d.tree.Write("install/TAMVIK1/System/SE/TE17.wav", ShortSound(4000));
  ASSERT_TRUE(d.Start());
  ASSERT_EQ(TamvikFunc::LoadSystemSe(), 1);
  CDsoundFunc& sound = Ctx().dsound;

  const auto playing_slots = [&] {
    std::vector<int> slots;
    for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
      const auto& slot = sound.static_se.slot[static_cast<size_t>(i)];
      if (slot != nullptr && slot->IsPlaying()) slots.push_back(i);
    }
    return slots;
  };
  const auto streamed = [&]() -> std::string {
    const char* name = sound.GetPlayFileName(kChannelSe);
    return name != nullptr ? name : "";
  };

  const struct {
    int n;
    std::vector<int> slots;  // static slots playing afterwards
    std::string stream;      // the streamed effect afterwards
  } cases[] = {
      {1, {0}, ""},
      {17, {0, 16}, ""},
      {7, {0, 16}, "tamvik1\\system\\SE\\TE06.wav"},
      {0, {0, 16}, ""},
      {18, {0, 16}, "tamvik1\\system\\SE\\TE17.wav"},
      {0, {0, 16}, ""},
      {-1, {0, 16}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    TraceCapture trace;
    PlaySystemSe(c.n);
    EXPECT_EQ(playing_slots(), c.slots);
    EXPECT_EQ(streamed(), c.stream);
    if (!c.stream.empty()) {
      EXPECT_TRUE(trace.Contains("Play TEFFECT File = " + c.stream + "\n"));
    }
  }
}

TEST(SystemSound, VoicePlayingFollowsTheVoiceChannel) {
  ProgramDriver d(QuietProgram());
  d.tree.Write("install/Voice/0001.WAV", ShortSound(2000));
  ASSERT_TRUE(d.Start());
  EXPECT_FALSE(TamvikFunc::IsVoicePlaying());
  ASSERT_EQ(Ctx().dsound.PlayVoice("voice\\0001.wav"), 1);
  EXPECT_TRUE(TamvikFunc::IsVoicePlaying());
  Ctx().dsound.StopVoice();
  EXPECT_FALSE(TamvikFunc::IsVoicePlaying());
}

// ---- Movies ----

class MovieTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The file as it lies on disc (its bytes do not matter to the scripted source).
    const std::string path = d.tree.Write("install/Movie/OPENING.MPG", std::string("scripted"));
    platform::headless::ScriptedMovie script;
    script.duration = 0.5;
    script.format.width = 64;
    script.format.height = 48;
    for (int i = 0; i < 3; ++i) {
      script.frames.push_back(
          platform::headless::HeadlessMovies::SolidFrame(script.format, i * 0.1, 0x1234));
    }
    movies().Add(path, script);
    ASSERT_TRUE(d.Start());
  }
  platform::headless::HeadlessMovies& movies() { return d.host().movies; }

  ProgramDriver d{QuietProgram()};
};

TEST_F(MovieTest, PictureAreaAndFullScreenReachThePlayerWithTheirTrims) {
  CMovie& movie = Ctx().movie;
  const struct {
    int (*play)(const char*);
    Rect rect;
    std::array<int, 4> trims;
  } cases[] = {
      {&TamvikFunc::PlayMovie, {32, 32, 608, 320}, {30, 39, 30, 41}},
      {&TamvikFunc::PlayMovieFullScreen, {0, 0, 640, 480}, {16, 0, 16, 0}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(c.play("movie\\opening.mpg"), 1);
    EXPECT_EQ(movie.GetMovieState(), kMoviePlaying);
    ExpectRect(movie.dest_rect(), c.rect.left, c.rect.top, c.rect.right, c.rect.bottom);
    EXPECT_EQ(movie.src_margin(), c.trims);
    // Stopping: not at once, but once the player has let go of the movie.
    EXPECT_FALSE(TamvikFunc::StopMovie());
    ASSERT_TRUE(d.RunUntil("movie gone", [&](const ProgramDriver&) {
      return movie.GetMovieState() == kMovieNone;
    }, 120));
    EXPECT_TRUE(TamvikFunc::StopMovie());
  }
  Rect r;
  TamvikFunc::GetMovieRect(&r);
  ExpectRect(r, 32, 32, 608, 320);
}

TEST_F(MovieTest, MissingFileOrAWindowedDisplayStartsNothing) {
  CMovie& movie = Ctx().movie;
  EXPECT_EQ(TamvikFunc::PlayMovie("movie\\missing.mpg"), 0);
  EXPECT_EQ(TamvikFunc::PlayMovieFullScreen("movie\\missing.mpg"), 0);
  EXPECT_EQ(TamvikFunc::PlayMovie(nullptr), 0);
  EXPECT_EQ(movie.GetMovieState(), kMovieNone);
  EXPECT_EQ(movie.movie_object(), nullptr);
  EXPECT_TRUE(movies().open_requests.empty());
  EXPECT_EQ(AppGetLoopMode(), 1u);
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u) << "the compose is not held";
  EXPECT_TRUE(TamvikFunc::StopMovie());
}

TEST(Movie, NotFullScreenStartsNothing) {
  spr_test::SprFixture fx;  // the display never opened
  fx.Write("movie/a.mpg", std::vector<uint8_t>{1, 2, 3});
  EXPECT_EQ(Ctx().ddraw.IsFullScreen(), 0);
  EXPECT_EQ(TamvikFunc::PlayMovie("movie\\a.mpg"), 0);
  EXPECT_EQ(TamvikFunc::PlayMovieFullScreen("movie\\a.mpg"), 0);
  EXPECT_EQ(Ctx().movie.GetMovieState(), kMovieNone);
}

}  // namespace
