// The maker logo and staff card, and the opening movie with its captions, on the whole headless
// program: the real manager with stand-ins and fakes for the other sequences, tiny sprite files
// and scripted movies.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "flow/tamvik_general.h"
#include "flow/tamvik_open.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/headless/headless_movie.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/general_stand_ins.h"
#include "testsupport/program_driver.h"
#include "testsupport/spr_writer.h"

namespace {

using platform::headless::HeadlessMovies;
using platform::headless::ScriptedMovie;
using testsupport::ProgramDriver;
using testsupport::SprImage;
using testsupport::SprRgb;

// The pictures of the sequence, each one colour (a 4 x 4 image at 0, 0).
const SprRgb kZeva{31, 0, 0};
const SprRgb kLogo0{0, 31, 0};
const SprRgb kLogo1{0, 0, 31};
const SprRgb kLogo2{31, 31, 31};  // never shown
const SprRgb kLogo3{31, 31, 0};
const SprRgb kStaff{0, 31, 31};
const SprRgb kMini{31, 0, 31};
const SprRgb kSis2{16, 8, 4};
const SprRgb kSis3{4, 8, 16};

constexpr const char* kVexlogo = "install/Movie/VEXLOGO.MPG";
constexpr const char* kMovie000 = "install/movie/movie000.mpg";
constexpr const char* kMovie100 = "install/MOVIE/Movie100.MPG";

std::vector<uint8_t> Picture(SprRgb colour) {
  return testsupport::PictureFile({{0, 0, 0}, colour},
                                  {SprImage(4, 4, testsupport::kSprDepth8, 0,
                                            std::vector<uint8_t>(16, 1))});
}

// The caption sprites: 17 images of 8 x 8, sprite s in colour CaptionColour(s), one unit each.
SprRgb CaptionColour(int s) {
  return {static_cast<uint8_t>(4 + s), static_cast<uint8_t>(31 - s), static_cast<uint8_t>(2 * s)};
}
std::vector<uint8_t> KaraokeFile() {
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<testsupport::SprUnitEntry>> units;
  for (int s = 0; s < 17; ++s) {
    colours.push_back(CaptionColour(s));
    images.emplace_back(8, 8, testsupport::kSprDepth8, 0,
                        std::vector<uint8_t>(64, static_cast<uint8_t>(s + 1)));
    units.push_back({testsupport::BoxEntry(static_cast<uint16_t>(s), 0, 0, 8, 8)});
  }
  return testsupport::AnimationFile(colours, images, units, {});
}

// Pictures every `step_ms` over `seconds`, of a size the movie trims leave something of.
ScriptedMovie Movie(double seconds, int step_ms = 100) {
  ScriptedMovie script;
  script.duration = seconds;
  script.format.width = 96;
  script.format.height = 96;
  for (int t = 0, k = 0; t < seconds * 1000; t += step_ms, ++k) {
    script.frames.push_back(HeadlessMovies::SolidFrame(script.format, t / 1000.0,
                                                       static_cast<uint16_t>(0x0841 + k)));
  }
  return script;
}

// The sequence's pictures and caption sprites in the install directory.
void PutFixtureFiles(testsupport::GameTree& tree) {
  const auto Put = [&tree](const std::string& rel, const std::vector<uint8_t>& bytes) {
    tree.Write(rel, bytes);
  };
  Put("install/tamvik1/system/zevalogo.spr", Picture(kZeva));
  Put("install/tamvik1/system/LOGO.SPR",
      testsupport::PictureFile({{0, 0, 0}, kLogo0, kLogo1, kLogo2, kLogo3},
                               {SprImage(4, 4, testsupport::kSprDepth8, 0,
                                         std::vector<uint8_t>(16, 1)),
                                SprImage(4, 4, testsupport::kSprDepth8, 0,
                                         std::vector<uint8_t>(16, 2)),
                                SprImage(4, 4, testsupport::kSprDepth8, 0,
                                         std::vector<uint8_t>(16, 3)),
                                SprImage(4, 4, testsupport::kSprDepth8, 0,
                                         std::vector<uint8_t>(16, 4))}));
  Put("install/tamvik1/system/MSTAFF.spr", Picture(kStaff));
  Put("install/tamvik1/system/minitamv.spr", Picture(kMini));
  Put("install/tamvik1/system/sis_bg2.spr", Picture(kSis2));
  Put("install/tamvik1/system/sis_bg3.spr", Picture(kSis3));
  Put("install/tamvik1/system/karaoke.spr", KaraokeFile());
}

// Whether the caption sprites' unit record is held (looked at without taking a reference).
bool KaraokeHeld() {
  for (const SprUnit* unit = Scene().tamvik_spr.units(); unit != nullptr; unit = unit->next) {
    if (unit->name.find("KARAOKE.SPR") != std::string::npos) return true;
  }
  return false;
}

ProgramDriver::Options Options(uint32_t* extra_ms) {
  ProgramDriver::Options options;
  options.wire_sequences = false;
  // The clock jumps far in the caption test; the tests listen to no sound.
  options.pump_audio = false;
  // 17, 17, 16 ms: one driver frame is one game frame, so frame counts compare exactly.
  options.frame_ms_of = [extra_ms](int frame) {
    uint32_t ms = frame % 3 == 0 ? 16u : 17u;
    ms += *extra_ms;
    *extra_ms = 0;
    return ms;
  };
  // While a movie plays the loop runs a frame after each message: one wakes it every frame (as a
  // person's input would), so no iteration waits for real time.
  options.before_frame = [] {
    if (AppGetLoopMode() == 0 && Ctx().frame_rate.main_window != nullptr) {
      Ctx().frame_rate.main_window->PostEvent({platform::EventKind::kInput, 0});
    }
  };
  return options;
}

// The program with the real manager, the logo sequence (and, when asked, the opening), the
// fixture pictures, and fakes for the opening and the title that count their starts.
class Rig {
 public:
  explicit Rig(bool real_opening = false) : d(Options(&jump_ms)) {
    testsupport::FillManagerStandIns(d.sequences());
    auto& s = d.sequences();
    s.logo.start = [](GameTaskRec* owner, int form) {
      if (form == 0) {
        CTamvikGeneral::StartZevaLogoMain(owner);
      } else {
        CTamvikGeneral::StartStaffCard(owner);
      }
    };
    s.logo.is_running = [] { return !CTamvikGeneral::IsZevaLogoEnd(); };
    // The opening and the title only count their starts: the manager then waits in mode 6 / 4.
    s.opening.start = [this](GameTaskRec*) { ++opening_starts; };
    s.opening.is_running = [] { return false; };
    s.title.start = [this](GameTaskRec*) { ++title_starts; };
    s.title_result = [] { return 0; };
    if (real_opening) {
      s.opening.start = [](GameTaskRec* owner) { CTamvikGeneral::StartOpeningMovieSeq(owner); };
      s.opening.is_running = [] { return !CTamvikGeneral::IsOpeningMovieEnd(); };
    }
    PutPictures();
  }

  void PutPictures() { PutFixtureFiles(d.tree); }
  void Put(const std::string& rel, const std::vector<uint8_t>& bytes) { d.tree.Write(rel, bytes); }
  std::string AddMovie(const std::string& rel, const ScriptedMovie& script) {
    const std::string path = d.tree.Write(rel, std::string("scripted"));
    d.host().movies.Add(path, script);
    return path;
  }

  uint16_t Pack(SprRgb c) const {
    return platform::PackColorRef(testsupport::SprColourRef(c), Ctx().ddraw.MatchedLayout());
  }
  static uint16_t Root(int x, int y) { return Ctx().ddraw.GetSurface(SURFACE_ROOT)->Row(y)[x]; }

  // Starts the program and puts the manager into `mode` (1 logo, 15 staff card, 5 opening).
  void StartIn(int mode) {
    ASSERT_TRUE(d.Start());
    CTamvikGeneral::SetMode(mode);
  }

  struct Change {
    int frame;
    uint16_t pixel;
  };
  // Runs until `done` or `limit` frames, recording each change of the picture on surface 4.
  std::vector<Change> Watch(const std::function<bool()>& done, int limit) {
    std::vector<Change> changes;
    uint16_t last = Root(1, 1);
    for (int i = 0; i < limit && !done(); ++i) {
      if (!d.Step()) break;
      if (Root(1, 1) != last) {
        last = Root(1, 1);
        changes.push_back({d.frame(), last});
      }
    }
    EXPECT_TRUE(done()) << "not done after " << limit << " frames";
    return changes;
  }
  std::vector<uint16_t> Pixels(const std::vector<Change>& changes) const {
    std::vector<uint16_t> out;
    for (const Change& c : changes) out.push_back(c.pixel);
    return out;
  }
  std::vector<uint16_t> Pixels(const std::vector<SprRgb>& colours) const {
    std::vector<uint16_t> out;
    for (const SprRgb& c : colours) out.push_back(c.r + c.g + c.b == 0 ? 0 : Pack(c));
    return out;
  }
  // A change of a layer reaches the screen in the next frame (no hold left on the compose).
  bool ComposesAgain() {
    const int before = d.presented();
    Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
    return d.Step() && d.presented() > before;
  }
  size_t Timers() const { return Ctx().anime.Records(kAnimeTimer).size(); }

  // Extra milliseconds for the next frame's clock step (a jump of the movie position).
  uint32_t jump_ms = 0;
  ProgramDriver d;
  int opening_starts = 0;
  int title_starts = 0;
};

class Sequences : public ::testing::Test, public Rig {};

const SprRgb kBlack{0, 0, 0};

// ---- Logo form on its own timing ----

TEST_F(Sequences, LogoFormShowsEachPictureItsFramesPlaysTheLogoMovieFullScreenThenSisBg2) {
  const std::string vex = AddMovie(kVexlogo, Movie(0.5));
  StartIn(1);
  std::vector<Rect> movie_rects;
  const auto changes = Watch(
      [&] {
        if (Ctx().movie.GetMovieState() == kMoviePlaying) movie_rects.push_back(Ctx().movie.dest_rect());
        return opening_starts > 0;
      },
      1700);
  EXPECT_EQ(Pixels(changes), Pixels({kZeva, kBlack, kLogo0, kLogo1, kLogo3, kBlack, kStaff, kMini,
                                     kBlack, kSis2}));
  ASSERT_EQ(changes.size(), 10u);
  // Each picture stands its frames (the cross-fade of about a second ends well before).
  const struct {
    size_t from;
    int frames;
  } shown[] = {{0, 210}, {2, 150}, {3, 150}, {4, 150}, {6, 150}, {7, 150}};
  for (const auto& s : shown) {
    SCOPED_TRACE(s.from);
    const int gap = changes[s.from + 1].frame - changes[s.from].frame;
    EXPECT_GE(gap, s.frames);
    EXPECT_LE(gap, s.frames + 2);
  }
  // The movie played once, full screen, between the second black and the staff picture.
  EXPECT_EQ(d.host().movies.record(vex).opened, 1);
  ASSERT_FALSE(movie_rects.empty());
  EXPECT_EQ(movie_rects.front().left, 0);
  EXPECT_EQ(movie_rects.front().top, 0);
  EXPECT_EQ(movie_rects.front().right, 640);
  EXPECT_EQ(movie_rects.front().bottom, 480);
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u) << "the compose runs again";
  EXPECT_TRUE(CTamvikGeneral::IsZevaLogoEnd());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 6);
  // The presented picture is the sis_bg picture.
  ASSERT_TRUE(d.Run(80));
  EXPECT_EQ(d.display().FramePixel(1, 1), Pack(kSis2));
}

// ---- Both forms with the fast key held: every picture passes at once ----

TEST(LogoRoads, FastKeyFormsDiscsAndCesaModeGiveTheirPictureRoad) {
  const struct {
    const char* name;
    int mode;
    std::vector<int> discs;
    bool cesa;
    std::vector<SprRgb> road;
    int movies;
  } cases[] = {
      {"staff card", 15, {}, false,
       {kZeva, kBlack, kLogo0, kLogo1, kLogo3, kBlack, kStaff, kMini, kBlack, kSis2}, 0},
      {"staff card, disc 3", 15, {3}, false,
       {kZeva, kBlack, kLogo0, kLogo1, kLogo3, kBlack, kStaff, kMini, kBlack, kSis3}, 0},
      {"logo, disc 1", 1, {1}, false,
       {kZeva, kBlack, kLogo0, kLogo1, kLogo3, kBlack, kStaff, kMini, kBlack, kSis2}, 1},
      {"logo, disc 3", 1, {3}, false,
       {kZeva, kBlack, kLogo0, kLogo1, kLogo3, kBlack, kStaff, kMini, kBlack, kSis3}, 1},
      {"staff card, cesa mode", 15, {}, true, {kZeva, kBlack, kSis2}, 0},
      {"logo, cesa mode", 1, {3}, true, {kZeva, kBlack, kSis3}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig t;
    const std::string vex = t.AddMovie(kVexlogo, Movie(0.3));
    if (!c.discs.empty()) t.d.tree.MountDisc(t.d.host().files, 'E', "e", c.discs);
    t.d.host().input.caps_lock = true;  // the fast key
    t.StartIn(c.mode);
    GetSystemData()->setCesaMode(c.cesa ? 1 : 0);
    const auto changes = t.Watch([&] { return t.opening_starts > 0; }, 120);
    EXPECT_EQ(t.Pixels(changes), t.Pixels(c.road));
    EXPECT_EQ(t.d.host().movies.record(vex).opened, c.movies);
    EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  }
}

TEST_F(Sequences, ModeFiveWaitsForTheManagerToShowTheLogo) {
  d.host().input.caps_lock = true;
  StartIn(15);
  ASSERT_TRUE(d.RunUntil("sis_bg up", [&](const ProgramDriver&) { return Root(1, 1) == Pack(kSis2); },
                         60));
  CTamvikGeneral::SetMode(10);  // a mode that waits for others
  ASSERT_TRUE(d.Run(20));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 10);
  EXPECT_FALSE(CTamvikGeneral::IsZevaLogoEnd());
  for (int mode : {2, 16}) {
    SCOPED_TRACE(mode);
    if (mode == 16) {
      // Again from the start, waiting in the last step.
      CTamvikGeneral::SetMode(15);
      ASSERT_TRUE(d.RunUntil("zevalogo again", [&](const ProgramDriver&) {
        return Root(1, 1) == Pack(kZeva);
      }, 10));
      ASSERT_TRUE(d.RunUntil("sis_bg again", [&](const ProgramDriver&) {
        return Root(1, 1) == Pack(kSis2);
      }, 60));
    }
    CTamvikGeneral::SetMode(mode);
    ASSERT_TRUE(d.Step());
    EXPECT_EQ(CTamvikGeneral::GetMode(), 5);
    EXPECT_TRUE(CTamvikGeneral::IsZevaLogoEnd());
  }
}

TEST_F(Sequences, StartKeyEndsTheSequenceInModesTwoAndSixteenButOnlyStopsTheMovie) {
  const std::string vex = AddMovie(kVexlogo, Movie(30.0));
  StartIn(15);
  ASSERT_TRUE(d.RunUntil("zevalogo up", [&](const ProgramDriver&) { return Root(1, 1) == Pack(kZeva); },
                         10));
  const size_t timers = Timers();
  d.Schedule({testsupport::GameKeyDown(d.frame() + 1, kGameKey3),
              testsupport::GameKeyUp(d.frame() + 2, kGameKey3)});
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 3);
  EXPECT_TRUE(CTamvikGeneral::IsZevaLogoEnd());
  EXPECT_EQ(Timers(), timers - 1) << "the task's timer is released";

  // In the logo form the start key first stops the movie; the sequence goes on.
  CTamvikGeneral::SetMode(10);
  ASSERT_TRUE(d.Step());
  d.host().input.caps_lock = true;
  CTamvikGeneral::SetMode(1);
  ASSERT_TRUE(d.RunUntil("movie plays", [](const ProgramDriver&) {
    return Ctx().movie.GetMovieState() == kMoviePlaying;
  }, 60));
  d.Schedule({testsupport::GameKeyDown(d.frame() + 1, kGameKey3),
              testsupport::GameKeyUp(d.frame() + 2, kGameKey3)});
  ASSERT_TRUE(d.RunUntil("movie stopped", [](const ProgramDriver&) {
    return Ctx().movie.GetMovieState() == kMovieNone;
  }, 20));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 2);
  EXPECT_FALSE(CTamvikGeneral::IsZevaLogoEnd());
  ASSERT_TRUE(d.RunUntil("staff picture", [&](const ProgramDriver&) {
    return Root(1, 1) == Pack(kStaff);
  }, 20));
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  // The start key while the manager waits elsewhere changes nothing.
  CTamvikGeneral::SetMode(10);
  d.Schedule({testsupport::GameKeyDown(d.frame() + 1, kGameKey3),
              testsupport::GameKeyUp(d.frame() + 2, kGameKey3)});
  ASSERT_TRUE(d.Run(2));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 10);
}

TEST(LogoStartKey, PressedWhileAMissingMovieHoldsTheComposeItEndsTheSequenceAndLetsGo) {
  // No logo movie: the sequence took its compose hold for a movie that never started. The start
  // key in the next frame (no movie plays) ends the sequence, which lets go of that hold.
  Rig t;
  t.d.host().input.caps_lock = true;
  t.StartIn(1);
  ASSERT_TRUE(t.d.RunUntil("hold taken", [](const ProgramDriver&) {
    return Ctx().ddraw.IsUpdate(0) != 0;
  }, 60));
  t.d.Schedule({testsupport::GameKeyDown(t.d.frame() + 1, kGameKey3),
                testsupport::GameKeyUp(t.d.frame() + 2, kGameKey3)});
  ASSERT_TRUE(t.d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 3);
  EXPECT_TRUE(CTamvikGeneral::IsZevaLogoEnd());
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  EXPECT_TRUE(t.ComposesAgain());
}

TEST_F(Sequences, MissingPicturesLeaveTheScreenBlackAndTheTimersRunOn) {
  d.tree.Remove("install/tamvik1/system/LOGO.SPR");
  d.tree.Remove("install/tamvik1/system/minitamv.spr");
  d.host().input.caps_lock = true;
  StartIn(15);
  const auto changes = Watch([&] { return opening_starts > 0; }, 120);
  EXPECT_EQ(Pixels(changes), Pixels({kZeva, kBlack, kStaff, kBlack, kSis2}));
  EXPECT_TRUE(d.host_window().boxes.empty());
}

// ---- Movies that do not start ----

TEST(MovieFailures, AMovieThatDoesNotStartCountsAsEndedInBothSequences) {
  const struct {
    const char* name;
    bool file;
    std::function<void(ScriptedMovie&)> damage;
  } cases[] = {
      {"missing file", false, nullptr},
      {"no pictures", true, [](ScriptedMovie& m) { m.has_video = false; }},
      {"refused format", true,
       [](ScriptedMovie& m) {
         m.layout_as_asked = false;
         m.format.layout = platform::PixelLayout::kRgb555;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The logo movie.
    {
      Rig t;
      if (c.file) {
        ScriptedMovie m = Movie(1.0);
        c.damage(m);
        t.AddMovie(kVexlogo, m);
      }
      t.d.host().input.caps_lock = true;
      t.StartIn(1);
      const auto changes = t.Watch([&] { return t.opening_starts > 0; }, 60);
      EXPECT_EQ(t.Pixels(changes), t.Pixels({kZeva, kBlack, kLogo0, kLogo1, kLogo3, kBlack, kStaff,
                                             kMini, kBlack, kSis2}));
      EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
      EXPECT_TRUE(t.d.host_window().boxes.empty());
    }
    // The opening.
    {
      Rig t(true);
      if (c.file) {
        ScriptedMovie m = Movie(1.0);
        c.damage(m);
        t.AddMovie(kMovie000, m);
      }
      t.StartIn(5);
      ASSERT_TRUE(t.d.RunUntil("title", [&](const ProgramDriver&) { return t.title_starts > 0; },
                               200));
      EXPECT_TRUE(CTamvikGeneral::IsOpeningMovieEnd());
      EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
      EXPECT_TRUE(t.ComposesAgain()) << "the compose runs again";
      EXPECT_TRUE(t.d.host_window().boxes.empty());
      EXPECT_FALSE(KaraokeHeld());
    }
  }
}

// ---- Opening captions ----

class Opening : public ::testing::Test, public Rig {
 protected:
  Opening() : Rig(true) {}
};

struct Pair {
  int sprite;  // -1: none
  int end_frame;
};

TEST(OpeningCaptions, FollowTheTableForEitherMovieAndReachTheScreen) {
  // The table's pairs 0-15 (first movie) and 16-31 (second).
  const std::vector<Pair> first = {{-1, 1200}, {0, 1410}, {1, 1612}, {2, 1800}, {3, 2010},
                                   {4, 2220},  {5, 2416}, {6, 2610}, {7, 2872}, {8, 3270},
                                   {9, 3510},  {10, 3670}, {8, 4070}, {9, 4304}, {10, 4620},
                                   {-1, 0}};
  const std::vector<Pair> second = {{-1, 1200}, {11, 1410}, {12, 1612}, {13, 1800}, {3, 2010},
                                    {14, 2220}, {15, 2416}, {16, 2610}, {7, 2872}, {8, 3270},
                                    {9, 3510},  {10, 3670}, {8, 4070},  {9, 4304}, {10, 4620},
                                    {-1, 4620}};
  const int halves[17] = {104, 80, 96, 88, 104, 104, 96, 88, 72, 89, 88, 80, 96, 88, 104, 96, 104};
  const struct {
    bool disc3;
    const char* file;
    const std::vector<Pair>* pairs;
  } cases[] = {{false, kMovie000, &first}, {true, kMovie100, &second}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Rig t(true);
    const std::string path = t.AddMovie(c.file, Movie(90.0, 250));
    if (c.disc3) t.d.tree.MountDisc(t.d.host().files, 'E', "e", {3});
    t.StartIn(5);
    ASSERT_TRUE(t.d.RunUntil("movie plays", [](const ProgramDriver&) {
      return Ctx().movie.GetMovieState() == kMoviePlaying;
    }, 200));
    EXPECT_EQ(t.d.host().movies.record(path).opened, 1);
    // The movie rectangle of layer 8 was blacked before the movie; outside it stays clear.
    const platform::Surface& top = *Ctx().ddraw.GetSurface(SURFACE_TEXT);
    EXPECT_EQ(top.Row(100)[100], 0);
    EXPECT_EQ(top.Row(319)[607], 0);
    EXPECT_NE(top.Row(20)[20], 0);
    EXPECT_NE(top.Row(320)[100], 0);
    // Pair k's caption goes up once the position passes pair k - 1's end frame.
    for (size_t k = 1; k < c.pairs->size() + 2; ++k) {
      const size_t shown = std::min<size_t>(k, 15);
      SCOPED_TRACE(k);
      const int end_ms = (*c.pairs)[std::min<size_t>(k - 1, 14)].end_frame * 1000 / 60;
      const int target_ms = (k <= 15 ? end_ms : end_ms + 1500 * static_cast<int>(k - 15)) + 40;
      const int now_ms = static_cast<int>(Ctx().movie.GetPos() * 1000);
      if (target_ms > now_ms) t.jump_ms = static_cast<uint32_t>(target_ms - now_ms);
      ASSERT_TRUE(t.d.Step());
      ASSERT_EQ(Ctx().movie.GetMovieState(), kMoviePlaying);
      const Pair& p = (*c.pairs)[shown];
      const uint16_t black = 0;
      if (p.sprite < 0) {
        for (int x : {34, 144, 160, 176, 208, 400}) EXPECT_EQ(Rig::Root(x, 387), black) << x;
      } else {
        const int x = 2 * halves[p.sprite] + 3;
        EXPECT_EQ(Rig::Root(x, 387), t.Pack(CaptionColour(p.sprite)));
        EXPECT_EQ(Rig::Root(x - 5, 387), black);
        // Seen while the movie holds the compose: in the frame presented.
        EXPECT_EQ(t.d.display().FramePixel(x, 387), t.Pack(CaptionColour(p.sprite)));
      }
    }
    // Cancel stops the movie; the opening ends with mode 3 and lets go of the caption sprites.
    t.d.Schedule({testsupport::GameKeyDown(t.d.frame() + 1, kGameKey1),
                  testsupport::GameKeyUp(t.d.frame() + 2, kGameKey1)});
    ASSERT_TRUE(t.d.RunUntil("title", [&](const ProgramDriver&) { return t.title_starts > 0; },
                             200));
    EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
    EXPECT_FALSE(KaraokeHeld());
  }
}

TEST_F(Opening, GeneratedMpegMoviePlaysThroughFfmpegToTheTitle) {
  platform::ffmpeg::FfmpegMovies ffmpeg(d.host().clock, &d.host().audio);
  d.host().seams().movies = &ffmpeg;
  const std::string path = d.tree.Write(kMovie000, std::string());
  platform::ffmpeg::TestMovieOptions shape;
  shape.frames = 15;
  std::string error;
  ASSERT_TRUE(platform::ffmpeg::WriteTestMovie(path, shape, &error)) << error;
  d.sequences().title.start = [this](GameTaskRec*) {
    ++title_starts;
    // When the title starts the opening has set mode 3 and released its sprites.
    EXPECT_FALSE(KaraokeHeld());
  };
  StartIn(5);
  ASSERT_TRUE(d.RunUntil("movie plays", [](const ProgramDriver&) {
    return Ctx().movie.GetMovieState() == kMoviePlaying;
  }, 200));
  EXPECT_TRUE(KaraokeHeld());
  bool played = false;
  ASSERT_TRUE(d.RunUntil("title", [&](const ProgramDriver&) {
    if (MovieObject* object = Ctx().movie.movie_object()) {
      platform::ffmpeg::WaitForDecoder(object->movie(), 5000);
      played = true;
    }
    return title_starts > 0;
  }, 400));
  EXPECT_TRUE(played);
  EXPECT_EQ(Ctx().movie.GetMovieState(), kMovieNone);
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  EXPECT_TRUE(ComposesAgain()) << "the compose runs again";
  EXPECT_TRUE(d.host_window().boxes.empty());
  d.host().seams().movies = &d.host().movies;
}

// ---- The whole boot road with the composition root's wiring ----

TEST(BootRoad, FromTheStaffCardThroughTheOpeningToTheTitleOnFixtureFiles) {
  ProgramDriver::Options options;
  options.before_frame = [] {
    if (AppGetLoopMode() == 0 && Ctx().frame_rate.main_window != nullptr) {
      Ctx().frame_rate.main_window->PostEvent({platform::EventKind::kInput, 0});
    }
  };
  ProgramDriver d(options);
  PutFixtureFiles(d.tree);
  const std::string movie = d.tree.Write(kMovie000, std::string("scripted"));
  d.host().movies.Add(movie, Movie(0.5));
  // The fast key held: the pictures pass at once; the movie plays its half second.
  d.host().input.caps_lock = true;
  ASSERT_TRUE(d.Start());
  std::vector<int> modes;
  bool staff_seen = false;
  ASSERT_TRUE(d.RunUntil("mode 3", [&](const ProgramDriver&) {
    const int mode = CTamvikGeneral::GetMode();
    if (modes.empty() || modes.back() != mode) modes.push_back(mode);
    const uint16_t staff = platform::PackColorRef(testsupport::SprColourRef(kStaff),
                                                  Ctx().ddraw.MatchedLayout());
    if (Ctx().ddraw.GetSurface(SURFACE_ROOT)->Row(1)[1] == staff) staff_seen = true;
    return mode == 3;
  }, 400));
  EXPECT_EQ(modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3}));
  EXPECT_TRUE(staff_seen);
  EXPECT_EQ(d.host().movies.record(movie).opened, 1);
  EXPECT_TRUE(CTamvikGeneral::IsZevaLogoEnd());
  EXPECT_TRUE(CTamvikGeneral::IsOpeningMovieEnd());
  EXPECT_FALSE(KaraokeHeld());
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  // The title follows.
  ASSERT_TRUE(d.RunUntil("title", [](const ProgramDriver&) {
    return CTamvikGeneral::GetMode() == 4 && !CTamvikOpen::IsTitleEnd();
  }, 60));
  EXPECT_TRUE(d.host_window().boxes.empty());
}

}  // namespace
