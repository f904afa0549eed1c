// The extras' screens on the headless program with fixture files: the movie test (the movie from
// the install directory or a disc, the insert-disc prompt, the developer switch, the captions),
// the sound test (the music faded and changed, a missing file, leaving), the picture test (the
// grid, locked cells, the picture opened), and the mouse (tabs, rows).

#include "flow/tamvik_omake.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "game/system_data.h"
#include "platform/files.h"
#include "platform/headless/headless_movie.h"
#include "platform/surface.h"
#include "platform/window.h"
#include "scene/scene_context.h"
#include "scene/script/movie_captions.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "tests/flow/flow_test_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/spr_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using platform::headless::HeadlessMovies;
using platform::headless::ScriptedMovie;
using testsupport::SprImage;
using testsupport::SprRgb;
using flow_test::PlainPicture;
using flow_test::SpriteFileHeld;
using flow_test::SquaresFile;

constexpr const char* kOwnerTask = "Test::Owner";
void Idle(GameTaskRec*) {}

// Pictures every 20 ms over `seconds`.
ScriptedMovie Movie(double seconds) {
  ScriptedMovie script;
  script.duration = seconds;
  script.format.width = 96;
  script.format.height = 96;
  for (int t = 0, k = 0; t < seconds * 1000; t += 20, ++k) {
    script.frames.push_back(
        HeadlessMovies::SolidFrame(script.format, t / 1000.0, static_cast<uint16_t>(0x0841 + k)));
  }
  return script;
}

constexpr SprRgb kBuroColour{28, 4, 28};

// The program started headless with the extras' files, the system sounds and an idle owner task;
// the pointer parked outside every window.
class OmakeRig {
 public:
  OmakeRig() : d(Options()) {
    const auto wav = testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(1102, 2000)).Bytes();
    for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
      std::string name = TamvikFunc::SystemSeNames()[i];
      for (char& c : name) c = c == '\\' ? '/' : c;
      d.tree.Write("install/" + name, wav);
    }
    d.tree.Write("install/tamvik1/system/omkmov_w.spr", SquaresFile(7, 16));
    d.tree.Write("install/tamvik1/system/omksnd_w.spr", SquaresFile(12, 16));
    d.tree.Write("install/tamvik1/system/buro_w.spr", SquaresFile(2, 16));
    d.tree.Write("install/tamvik1/item/buroicon.spr", SquaresFile(14, 8));
    for (const char* wall : {"omake1", "omake2", "omake3"}) {
      d.tree.Write(std::string("install/tamvik1/WALL/") + wall + ".spr", PlainPicture(8, 8, {3, 3, 3}));
    }
    d.tree.Write("install/tamvik1/item/buro01.spr", PlainPicture(360, 380, kBuroColour));
    const auto music = testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(22050 * 4, 1000)).Bytes();
    d.tree.Write("install/tamvik1/bgm/sm01.wav", music);
    d.tree.Write("install/tamvik1/bgm/before.wav", music);
    started = d.Start();
    if (!started) return;
    Ctx().game_task.SetTaskSimple(nullptr, &Idle, kOwnerTask);
    owner = Ctx().game_task.FindTask(kOwnerTask);
    Point(630, 470);
  }

  static testsupport::ProgramDriver::Options Options() {
    testsupport::ProgramDriver::Options options;
    options.boot = [] { TamvikFunc::LoadSystemSe(); };
    // While a movie plays the loop waits for window events: one per frame.
    options.before_frame = [] {
      if (AppGetLoopMode() == 0 && Ctx().frame_rate.main_window != nullptr) {
        Ctx().frame_rate.main_window->PostEvent({platform::EventKind::kInput, 0});
      }
    };
    return options;
  }

  bool Frames(int n) {
    for (int i = 0; i < n; ++i) {
      if (!d.Step()) return false;
    }
    return true;
  }
  bool Until(const std::function<bool()>& done, int limit = 60) {
    for (int i = 0; i <= limit; ++i) {
      if (done()) return true;
      if (!d.Step()) return false;
    }
    return false;
  }
  static int StepOf(const char* name) {
    GameTaskRec* t = Ctx().game_task.FindTask(name);
    return t == nullptr ? -1 : TaskStep(t);
  }
  void Press(uint32_t game_key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, game_key),
                testsupport::GameKeyUp(d.frame() + 2, game_key)});
    Frames(2);
  }
  void Point(int x, int y) {
    d.Schedule(testsupport::PointerMove(d.frame() + 1, x, y));
    Frames(1);
  }
  bool Traced(const std::string& line) const { return d.trace().Contains(line); }
  int TraceCount(const std::string& line) const {
    int n = 0;
    for (const DebugTraceLine& l : d.trace().lines()) n += l.text.find(line) != std::string::npos ? 1 : 0;
    return n;
  }

  // Starts a screen and runs until it reads its list.
  bool Open(const char* name, int (CTamvikOmake::*start)(GameTaskRec*)) {
    (omake.*start)(owner);
    return Until([name] { return StepOf(name) == 2; });
  }

  // The extra block's list state (its first 28 bytes).
  static omake::ListState& List(const char* name) {
    return *static_cast<omake::ListState*>(Ctx().game_task.FindTask(name)->extra);
  }

  testsupport::ProgramDriver d;
  bool started = false;
  GameTaskRec* owner = nullptr;
  CTamvikOmake omake;
};

constexpr const char* kMovieTest = CTamvikOmake::kMovieTestName;
constexpr const char* kSoundTest = CTamvikOmake::kSoundTestName;
constexpr const char* kPicTest = CTamvikOmake::kPicTestName;

// ---- The movie test ----

TEST(OmakeMovieTest, OpensWithItsListAndFontAndLeavingFreesTheListAndFiles) {
  OmakeRig rig;
  ASSERT_TRUE(rig.started);
  EXPECT_FALSE(rig.omake.HasFont());
  ASSERT_TRUE(rig.Open(kMovieTest, &CTamvikOmake::StartMovieTest));
  EXPECT_TRUE(rig.Traced("SetTask CTamvikOmake::MovieTest"));
  EXPECT_EQ(rig.omake.movies.size(), 56U);
  EXPECT_TRUE(SpriteFileHeld(CTamvikOmake::kMovieWindowFile));
  // The font, made for the titles: the record's values.
  ASSERT_TRUE(rig.omake.HasFont());
  const GameFont& font = *rig.omake.Font();
  EXPECT_EQ(font.height, 32);
  EXPECT_EQ(font.width, 16);
  EXPECT_EQ(font.weight, 500);
  EXPECT_EQ(font.char_set, 128);
  EXPECT_EQ(font.pitch_and_family, 0x31);
  EXPECT_EQ(font.face_name, *Big5FromUtf8("標楷體"));
  EXPECT_FALSE(CTamvikOmake::IsMovieTestEnd());

  rig.Press(kGameKey1);
  ASSERT_TRUE(rig.Until([] { return CTamvikOmake::IsMovieTestEnd(); }, 30));
  EXPECT_TRUE(rig.Traced("MovieTestSeq Terminated"));
  EXPECT_TRUE(rig.omake.movies.empty());
  EXPECT_FALSE(SpriteFileHeld(CTamvikOmake::kMovieWindowFile));
}

TEST(OmakeMovieTest, TheExitRowLeavesAndTheOwnerEndingEndsTheScreen) {
  {
    OmakeRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.Open(kMovieTest, &CTamvikOmake::StartMovieTest));
    rig.Press(kGameKeyUp);  // row 0 -> the exit row
    EXPECT_EQ(OmakeRig::List(kMovieTest).row, 7);
    rig.Press(kGameKey0);
    ASSERT_TRUE(rig.Until([] { return CTamvikOmake::IsMovieTestEnd(); }, 30));
  }
  {
    OmakeRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.Open(kPicTest, &CTamvikOmake::StartPicTest));
    Ctx().game_task.DelTask(rig.owner);
    rig.Frames(2);
    EXPECT_TRUE(CTamvikOmake::IsPicTestEnd());
    EXPECT_TRUE(rig.omake.pictures.empty());
    EXPECT_FALSE(SpriteFileHeld(CTamvikOmake::kPictureIconFile));
  }
}

TEST(OmakeMovieTest, DecideFindsTheMovieOnDiskOrDiscOrAsksForTheDisc) {
  enum Where { kSkipped, kInstall, kDisc, kRefused, kAbsent };
  for (Where where : {kSkipped, kInstall, kDisc, kRefused, kAbsent}) {
    SCOPED_TRACE(where);
    OmakeRig rig;
    ASSERT_TRUE(rig.started);
    std::string path;
    if (where == kInstall || where == kSkipped) {
      path = rig.d.tree.Write("install/Movie/Movie000.mpg", std::string("scripted"));
    } else if (where == kDisc) {
      rig.d.tree.MountDisc(rig.d.host().files, 'E', "disc1", {1});
      path = rig.d.tree.Write("drives/disc1/MOVIE/movie000.MPG", std::string("scripted"));
      Ctx().file_io.ScanDrives();
    } else if (where == kRefused) {
      // Found, but the player opens nothing from it.
      path = rig.d.tree.Write("install/Movie/Movie000.mpg", std::string("not a movie"));
    }
    if (!path.empty() && where != kRefused) rig.d.host().movies.Add(path, Movie(0.3));
    GetSystemData()->setSkipMovie(where == kSkipped ? 1 : 0);
    ASSERT_TRUE(rig.Open(kMovieTest, &CTamvikOmake::StartMovieTest));
    // Down and up: row 0 ("MOVIE000", disc 1) highlighted.
    rig.Press(kGameKeyDown);
    rig.Press(kGameKeyUp);
    ASSERT_EQ(OmakeRig::List(kMovieTest).row, 0);
    rig.Press(kGameKey0);
    switch (where) {
      case kSkipped:
        rig.Frames(3);
        EXPECT_EQ(OmakeRig::StepOf(kMovieTest), 2);
        EXPECT_EQ(rig.d.host().movies.record(path).opened, 0);
        break;
      case kInstall:
      case kDisc: {
        ASSERT_TRUE(rig.Until([] { return Ctx().movie.GetMovieState() == kMoviePlaying; }, 10));
        EXPECT_TRUE(rig.Traced("Play Movie Movie\\MOVIE000.mpg"));
        const Rect rect = Ctx().movie.dest_rect();
        EXPECT_EQ(rect.left, 32);
        EXPECT_EQ(rect.top, 32);
        EXPECT_EQ(rect.right, 608);
        EXPECT_EQ(rect.bottom, 320);
        EXPECT_EQ(rig.d.host().movies.record(path).opened, 1);
        ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kMovieTest) == 2; }, 60));
        EXPECT_EQ(Ctx().movie.GetMovieState(), kMovieNone);
        break;
      }
      case kRefused:
        // Counts as played: back in the list at once, no prompt.
        rig.Frames(2);
        EXPECT_EQ(OmakeRig::StepOf(kMovieTest), 2);
        EXPECT_TRUE(rig.Traced("Play Movie Movie\\MOVIE000.mpg"));
        EXPECT_FALSE(rig.Traced("is not Found"));
        EXPECT_EQ(Ctx().movie.GetMovieState(), kMovieNone);
        break;
      case kAbsent: {
        ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kMovieTest) == 21; }, 30));
        EXPECT_EQ(rig.TraceCount("Movie\\MOVIE000.mpg is not Found Please Insert CD1"), 1);
        // Decide: the prompt closes and the movie is looked for again (and asked for again).
        rig.Press(kGameKey0);
        ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kMovieTest) == 21; }, 40));
        EXPECT_EQ(rig.TraceCount("Movie\\MOVIE000.mpg is not Found Please Insert CD1"), 2);
        // Cancel: back to the list, which goes on.
        rig.Press(kGameKey1);
        ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kMovieTest) == 2; }, 30));
        rig.Press(kGameKeyDown);
        EXPECT_EQ(OmakeRig::List(kMovieTest).row, 1);
        break;
      }
    }
  }
}

TEST(OmakeMovieTest, APromptForEachDiscAndNoneForAnother) {
  // The prompt draws its text in 0x4040F0 (red) into its grey window: count reddish pixels in
  // its inner area on the presented frame (the glyph path shades the text's cells).
  OmakeRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.Open(kMovieTest, &CTamvikOmake::StartMovieTest));
  // MOVIE000 is on disc 1, the second series on disc 3 (page 4, row 0 onward); a row's disc set
  // to 0 asks for none.
  const struct {
    uint8_t page, row;
    uint8_t disc;  // written into the entry
    bool text;
  } cases[] = {{0, 0, 1, true}, {0, 1, 2, true}, {4, 1, 3, true}, {0, 2, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.disc));
    rig.omake.movies[static_cast<size_t>(c.page * 8 + c.row)].disc = c.disc;
    omake::ListState& list = OmakeRig::List(kMovieTest);
    list.page = c.page;
    list.row = c.row;
    list.highlighted = 1;
    rig.Press(kGameKey0);
    ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kMovieTest) == 21; }, 30));
    char line[96];
    std::snprintf(line, sizeof line, "Movie\\%s.mpg is not Found Please Insert CD%d",
                  rig.omake.movies[static_cast<size_t>(c.page * 8 + c.row)].file.c_str(), c.disc);
    EXPECT_TRUE(rig.Traced(line)) << line;
    // The prompt's text is on the screen presented: its colour inside the prompt's inner area.
    int coloured = 0;
    for (int y = 224; y < 256; ++y) {
      for (int x = 72; x < 568; ++x) {
        const uint16_t p = rig.d.display().FramePixel(x, y);
        const int red = p >> 11;
        const int blue = p & 31;
        coloured += red - blue > 8 ? 1 : 0;
      }
    }
    EXPECT_EQ(coloured > 0, c.text) << coloured;
    rig.Press(kGameKey1);
    ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kMovieTest) == 2; }, 30));
  }
}

// ---- Captions ----

TEST(OmakeMovieTest, CaptionsComeOneAtATimeCentredAndAWideOneIsClipped) {
  OmakeRig rig;
  ASSERT_TRUE(rig.started);
  const std::string two = *Big5FromUtf8("一一");
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += *Big5FromUtf8("一");  // 720 pixels: x -40
  const MovieCaptionEntry entries[] = {{3, 7, two.c_str()}, {8, 10, wide.c_str()}};
  MovieCaptionTable table{};
  table[0][0] = {2, entries};
  rig.d.scene.macro.movie_captions = &table;
  for (int number : {0, 1}) {
    SCOPED_TRACE(number);
    char rel[40];
    std::snprintf(rel, sizeof rel, "install/Movie/Movie%03d.mpg", number);
    rig.d.host().movies.Add(rig.d.tree.Write(rel, std::string("scripted")), Movie(0.6));
  }
  ASSERT_TRUE(rig.Open(kMovieTest, &CTamvikOmake::StartMovieTest));

  for (int row : {0, 1}) {
    SCOPED_TRACE(row);
    omake::ListState& list = OmakeRig::List(kMovieTest);
    list.row = static_cast<uint8_t>(row);
    list.highlighted = 1;
    rig.Press(kGameKey0);
    ASSERT_TRUE(rig.Until([] { return Ctx().movie.GetMovieState() == kMoviePlaying; }, 10));
    const uint16_t key = static_cast<uint16_t>(Ctx().ddraw.ColorMatch(SURFACE_TEXT, 0xFFFF00));
    std::vector<std::pair<double, double>> seen;
    uint8_t before = 0;
    bool first_checked = false;
    bool wide_checked = false;
    for (int i = 0; i < 120 && Ctx().movie.GetMovieState() != kMovieNone; ++i) {
      rig.d.Step();
      if (Ctx().movie.GetMovieState() != kMoviePlaying) continue;
      const double ms = Ctx().movie.GetPos() * 1000.0;
      const uint8_t shown = rig.omake.caption_shown;
      if (shown != before) {
        if (shown != 0) {
          seen.push_back({ms, -1});
        } else {
          seen.back().second = ms;
        }
        before = shown;
      }
      if (shown == 0) continue;
      // The columns of surface 8's caption line that hold text (not the colour key), and the
      // presented picture showing them.
      const platform::Surface* text = Ctx().ddraw.GetSurface(SURFACE_TEXT);
      const int y = 338 + 12;
      int first = -1;
      int last = -1;
      for (int x = 0; x < 640; ++x) {
        if (text->Row(y)[x] == key) continue;
        if (first < 0) first = x;
        last = x;
      }
      if (seen.size() == 1 && !first_checked) {
        // "一一" is 48 pixels wide: x 16 + (608 - 48) / 2 = 296 to 343.
        EXPECT_EQ(first, 296);
        EXPECT_EQ(last, 343);
        EXPECT_EQ(rig.d.display().FramePixel(300, y), text->Row(y)[300]);
        first_checked = true;
      }
      if (seen.size() == 2 && !wide_checked) {
        // The wide caption starts at x -40: clipped at the surface's left edge, drawn to its
        // right end (the row's last cell ends at 680, past 640).
        EXPECT_EQ(first, 0);
        EXPECT_EQ(last, 639);
        EXPECT_EQ(rig.d.display().FramePixel(20, y), text->Row(y)[20]);
        wide_checked = true;
      }
    }
    ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kMovieTest) == 2; }, 30));
    if (row == 1) {  // MOVIE001: no captions
      EXPECT_TRUE(seen.empty());
      continue;
    }
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_TRUE(first_checked);
    EXPECT_TRUE(wide_checked);
    const std::pair<uint32_t, uint32_t> times[] = {{3, 7}, {8, 10}};
    for (size_t i = 0; i < 2; ++i) {
      SCOPED_TRACE(i);
      EXPECT_GE(seen[i].first, times[i].first * kMovieCaptionUnitMs);
      EXPECT_LT(seen[i].first, times[i].first * kMovieCaptionUnitMs + 40);
      EXPECT_GE(seen[i].second, times[i].second * kMovieCaptionUnitMs);
      EXPECT_LT(seen[i].second, times[i].second * kMovieCaptionUnitMs + 40);
    }
    // Nothing of the captions stays on layer 8 under the list.
    for (int x = 16; x < 624; x += 7) {
      EXPECT_EQ(Ctx().ddraw.GetSurface(SURFACE_TEXT)->Row(340)[x], key) << x;
    }
  }
}

// ---- The sound test ----

TEST(OmakeSoundTest, DecideFadesAndChangesTheMusicAMissingFileIsTracedAndLeavingFreesAll) {
  OmakeRig rig;
  ASSERT_TRUE(rig.started);
  CDsoundFunc& sound = Ctx().dsound;
  ASSERT_NE(sound.PlayBGM("tamvik1\\bgm\\before.wav"), 0);
  ASSERT_TRUE(rig.Open(kSoundTest, &CTamvikOmake::StartSoundTest));
  EXPECT_TRUE(rig.Traced("SetTask CTamvikOmake::SoundTest"));
  EXPECT_EQ(rig.omake.sounds.size(), 40U);
  rig.Press(kGameKeyDown);
  rig.Press(kGameKeyUp);  // row 0: sm01
  rig.Press(kGameKey0);
  // The old music fades for 60 frames, then sm01 plays at full volume.
  int frames = 0;
  while (OmakeRig::StepOf(kSoundTest) != 2 && frames < 90) {
    EXPECT_STREQ(sound.GetPlayFileName(kChannelBgm), "tamvik1\\bgm\\before.wav");
    rig.Frames(1);
    ++frames;
  }
  EXPECT_GE(frames, 58);
  EXPECT_LE(frames, 62);
  EXPECT_STREQ(sound.GetPlayFileName(kChannelBgm), "tamvik1\\bgm\\sm01.wav");
  EXPECT_EQ(sound.GetBGMVolume(), 100);

  // Row 1 (sm02) has no file: traced, the music stopped, the list goes on.
  rig.Press(kGameKeyDown);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kSoundTest) == 2; }, 90));
  EXPECT_TRUE(rig.Traced("CTamvikOmake::SoundTest File Not Found tamvik1\\bgm\\sm02.wav"));
  EXPECT_EQ(sound.GetPlayFileName(kChannelBgm), nullptr);
  rig.Press(kGameKeyDown);
  EXPECT_EQ(OmakeRig::List(kSoundTest).row, 2);

  // Leaving: the music faded and stopped, the screen to black, list, files and font freed.
  rig.Press(kGameKeyUp);
  rig.Press(kGameKeyUp);
  rig.Press(kGameKey0);  // sm01 again
  ASSERT_TRUE(rig.Until([] { return OmakeRig::StepOf(kSoundTest) == 2; }, 90));
  ASSERT_NE(sound.GetPlayFileName(kChannelBgm), nullptr);
  rig.Press(kGameKey1);
  ASSERT_TRUE(rig.Until([] { return CTamvikOmake::IsSoundTestEnd(); }, 200));
  EXPECT_EQ(sound.GetPlayFileName(kChannelBgm), nullptr);
  EXPECT_TRUE(rig.Traced("SoundTestSeq Terminated"));
  EXPECT_TRUE(rig.omake.sounds.empty());
  EXPECT_FALSE(rig.omake.HasFont());
  EXPECT_FALSE(SpriteFileHeld(CTamvikOmake::kSoundWindowFile));
}

// ---- The picture test ----

TEST(OmakePicTest, LockedCellsDoNothingAnOpenOneShowsItsPictureAndTheLastCellLeaves) {
  OmakeRig rig;
  ASSERT_TRUE(rig.started);
  GetSystemData()->setPicturesSeen(0x01);  // buro01 only
  ASSERT_TRUE(rig.Open(kPicTest, &CTamvikOmake::StartPicTest));
  EXPECT_TRUE(rig.Traced("SetTask CTamvikOmake::PicTest"));
  EXPECT_EQ(rig.omake.pictures.size(), 16U);
  const uint16_t before = rig.d.display().FramePixel(256 + 180, 32 + 190);
  rig.Press(kGameKeyRight);  // cell 1: locked
  EXPECT_EQ(OmakeRig::List(kPicTest).row, 1);
  rig.Press(kGameKey0);
  rig.Frames(14);
  EXPECT_EQ(rig.d.display().FramePixel(256 + 180, 32 + 190), before);

  rig.Press(kGameKeyLeft);  // cell 0: buro01
  rig.Press(kGameKey0);
  rig.Frames(14);  // opened over 12 frames
  // The picture at (256, 32) on the presented frame, its 360 x 380 rectangle.
  const uint16_t colour = rig.d.display().FramePixel(256 + 180, 32 + 190);
  EXPECT_NE(colour, before);
  EXPECT_EQ(colour, rig.d.display().FramePixel(256, 32));
  EXPECT_EQ(colour, rig.d.display().FramePixel(256 + 359, 32 + 379));
  EXPECT_NE(colour, rig.d.display().FramePixel(256 + 361, 32 + 190));

  // Down to the bottom-right cell through the right column, then decide leaves.
  rig.Press(kGameKeyRight);
  for (int i = 0; i < 3; ++i) rig.Press(kGameKeyDown);
  EXPECT_EQ(OmakeRig::List(kPicTest).row, 7);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return CTamvikOmake::IsPicTestEnd(); }, 30));
  EXPECT_TRUE(rig.Traced("PicTestSeq Terminated"));
  EXPECT_TRUE(rig.omake.pictures.empty());
}

TEST(OmakePicTest, IconsStandOnOpenCellsAndTheCursorAboveThem) {
  OmakeRig rig;
  ASSERT_TRUE(rig.started);
  GetSystemData()->setPicturesSeen(0x00010001);  // buro01 (cell 0 of page 0), buro07 (cell 0 of page 1)
  ASSERT_TRUE(rig.Open(kPicTest, &CTamvikOmake::StartPicTest));
  rig.Frames(2);
  // Cell (c, r) of the grid shows its icon at the screen's (64 + 72c, 88 + 72r).
  auto at = [&rig](int cell) { return rig.d.display().FramePixel(64 + 72 * (cell % 2) + 2, 88 + 72 * (cell / 2) + 2); };
  const uint16_t icon1 = at(0);
  const uint16_t locked = at(1);
  EXPECT_NE(icon1, locked);  // cell 1 is locked: no icon
  // The cursor (sprite 0) over cell 0, above its icon.
  rig.Press(kGameKeyRight);
  rig.Press(kGameKeyLeft);
  ASSERT_EQ(OmakeRig::List(kPicTest).highlighted, 1);
  const uint16_t cursor = at(0);
  EXPECT_NE(cursor, icon1);
  // On cell 1 the cursor goes with it; cell 0 shows its icon again.
  rig.Press(kGameKeyRight);
  EXPECT_EQ(at(1), cursor);
  EXPECT_EQ(at(0), icon1);
  // Page 1: its first cell carries icon 7, another sprite of the file.
  rig.Press(kGameKeyRight);
  ASSERT_EQ(OmakeRig::List(kPicTest).page, 1);
  rig.Frames(1);
  rig.Press(kGameKeyDown);  // the cursor off cell 0
  const uint16_t icon7 = at(0);
  EXPECT_NE(icon7, icon1);
  EXPECT_NE(icon7, locked);
}

// ---- The mouse ----

TEST(OmakeMouse, TabsByDecideOnlyWithoutAHighlightAndRowsOnlyWhenThePointerMoves) {
  OmakeRig rig;
  ASSERT_TRUE(rig.started);
  GetSystemData()->setSkipMovie(1);  // a chosen movie plays nothing
  ASSERT_TRUE(rig.Open(kMovieTest, &CTamvikOmake::StartMovieTest));
  omake::ListState& list = OmakeRig::List(kMovieTest);
  // Tab 2 by decide, nothing highlighted.
  rig.Point(70 + 68 * 2 + 10, 60);
  rig.Press(kGameKey0);
  EXPECT_EQ(list.page, 2);
  // A row under the moved pointer is highlighted.
  rig.Point(100, 104 + 34 + 10);
  EXPECT_EQ(list.highlighted, 1);
  EXPECT_EQ(list.row, 1);
  // A key moves the row; the pointer standing still does not take it back.
  rig.Press(kGameKeyDown);
  rig.Frames(3);
  EXPECT_EQ(list.row, 2);
  // Onto tab 3: the pointer moved off the rows, no highlight; then a key highlights a row and
  // decide chooses the row, not the tab under the pointer.
  rig.Point(70 + 68 * 3 + 10, 60);
  EXPECT_EQ(list.highlighted, 0);
  rig.Press(kGameKeyDown);
  EXPECT_EQ(list.highlighted, 1);
  rig.Press(kGameKey0);
  EXPECT_EQ(list.page, 2);
  // Tab positions past the last page, on each screen, change nothing.
  rig.Point(70 + 68 * 7 + 10, 60);
  rig.Press(kGameKey0);
  EXPECT_EQ(list.page, 2);
  EXPECT_FALSE(CTamvikOmake::IsMovieTestEnd());
  rig.Press(kGameKey1);
  ASSERT_TRUE(rig.Until([] { return CTamvikOmake::IsMovieTestEnd(); }, 30));

  ASSERT_TRUE(rig.Open(kSoundTest, &CTamvikOmake::StartSoundTest));
  rig.Point(80 + 80 * 5 + 10, 60);
  rig.Press(kGameKey0);
  EXPECT_EQ(OmakeRig::List(kSoundTest).page, 0);
  rig.Point(80 + 80 * 4 + 10, 60);
  rig.Press(kGameKey0);
  EXPECT_EQ(OmakeRig::List(kSoundTest).page, 4);
  rig.Press(kGameKey1);
  ASSERT_TRUE(rig.Until([] { return CTamvikOmake::IsSoundTestEnd(); }, 200));

  ASSERT_TRUE(rig.Open(kPicTest, &CTamvikOmake::StartPicTest));
  rig.Point(32 + 80 * 2 + 10, 40);
  rig.Press(kGameKey0);
  EXPECT_EQ(OmakeRig::List(kPicTest).page, 0);
  EXPECT_FALSE(CTamvikOmake::IsPicTestEnd());
}

}  // namespace
