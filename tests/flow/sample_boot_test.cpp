// The whole program on the sample install directory (tools/make_sample_data, written into the
// build tree at build time): boot to a scene and back, the load road, a new game to the quit, with
// the real wiring of the composition root on the shared program driver.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_bup.h"
#include "flow/tamvik_general.h"
#include "flow/tamvik_open.h"
#include "flow/tamvik_option.h"
#include "game/game_context.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/headless/headless_movie.h"
#include "testsupport/faulty_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/sample_data.h"

namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessMovies;
using platform::headless::ScriptedMovie;
using testsupport::GameKeyDown;
using testsupport::GameKeyUp;
using testsupport::ProgramDriver;

// Whether the latest presented frame holds a pixel of the 5-bit colour (RGB565 frames).
bool FrameHolds(const platform::headless::HeadlessDisplay& display, uint32_t colour_ref) {
  const int r = static_cast<int>(colour_ref & 0xFF) >> 3;
  const int g = static_cast<int>((colour_ref >> 8) & 0xFF) >> 3;
  const int b = static_cast<int>((colour_ref >> 16) & 0xFF) >> 3;
  const auto want = static_cast<uint16_t>((r << 11) | (g << 6) | b);
  return std::any_of(display.frame.begin(), display.frame.end(),
                     [want](uint16_t p) { return (p & 0xFFDF) == want; });
}

class SampleRun {
 public:
  SampleRun() : d(MakeOptions(this)) {
    const fs::path install = d.tree.Path("install");
    fs::copy(TAMVIK_SAMPLE_DIR, install,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    // The glyph fonts open by bare name: the program runs in the install directory.
    d.host().files.SetWorkingDirectory(install.string());
    // The headless movie seam decodes nothing: the two movies are scripted in the colours the
    // generator's test movie has (its red half).
    for (const char* movie : {"Movie/Movie000.mpg", "Movie/Vexlogo.mpg"}) {
      ScriptedMovie script;
      script.duration = 2.0;
      script.format.width = 160;
      script.format.height = 120;
      for (int k = 0; k < 20; ++k) {
        script.frames.push_back(HeadlessMovies::SolidFrame(script.format, k / 10.0, kMovieRed));
      }
      d.host().movies.Add((install / movie).string(), script);
    }
    system_dat = install / "save" / "system.dat";
    fs::last_write_time(system_dat, fs::file_time_type::clock::now() - std::chrono::hours(24));
    system_dat_time = fs::last_write_time(system_dat);
    d.host().seams().files = &files;
  }
  ~SampleRun() { d.host().seams().files = &d.host().files; }

  static ProgramDriver::Options MakeOptions(SampleRun* run) {
    ProgramDriver::Options options;
    options.before_frame = [run] { run->RecordMode(); };
    // The game's waits are timed: the largest step that still runs one game frame per
    // iteration lets the road take the fewest iterations.
    options.frame_ms = kFrameMs;
    return options;
  }

  void RecordMode() {
    const int mode = CTamvikGeneral::GetMode();
    if (modes.empty() || modes.back() != mode) modes.push_back(mode);
  }

  int Mode() const { return CTamvikGeneral::GetMode(); }
  int TitleStep() const {
    GameTaskRec* task = Ctx().game_task.FindTask(CTamvikOpen::kTaskName);
    return task != nullptr ? TaskStep(task) : -1;
  }

  // Presses a game key in the next frame and lets it go in the one after.
  void Press(GameKeyBits bit) {
    d.Schedule({GameKeyDown(d.frame() + 1, bit), GameKeyUp(d.frame() + 2, bit)});
  }
  // Presses the key every `every` frames until the condition holds, at most `limit` frames.
  bool PressUntil(GameKeyBits bit, const std::string& name,
                  const std::function<bool()>& reached, int limit, int every = 8) {
    for (int spent = 0; spent < limit; spent += every) {
      if (reached()) return true;
      Press(bit);
      if (!d.Run(every)) break;
    }
    if (reached()) return true;
    ADD_FAILURE() << "not reached: " << name << " (frame " << d.frame() << ")";
    return false;
  }
  bool UntilMode(int mode, int limit) {
    return d.RunUntil("mode " + std::to_string(mode),
                      [this, mode](const ProgramDriver&) { return Mode() == mode; }, limit);
  }
  // Runs until the presented frame holds the colour; the frame is written as a PNG for a person.
  bool UntilShown(const std::string& name, uint32_t colour, int limit) {
    const bool shown = d.RunUntil(testsupport::PresentedFrameIs(
                                      name, [colour](const platform::headless::HeadlessDisplay& p) {
                                        return FrameHolds(p, colour);
                                      }),
                                  limit);
    // Written either way: a failing run leaves the frame it stopped at for a person to look at.
    std::string file = "sample_" + name + ".png";
    std::replace(file.begin(), file.end(), ' ', '_');
    d.display().SaveFramePng(file);
    return shown;
  }

  // Boot to the title's menu: the staff card and the opening shown, the opening and the title's
  // intro skipped with the start key.
  void BootToTitleMenu() {
    ASSERT_TRUE(d.Start());
    ASSERT_TRUE(UntilShown("staff card with the maker logo", testsupport::SampleLogoColour(), 900));
    ASSERT_TRUE(UntilMode(6, 2500));
    ASSERT_TRUE(UntilShown("opening", kMovieRedRef, 100));
    ASSERT_TRUE(PressUntil(kGameKey3, "the title", [this] { return Mode() == 4; }, 200));
    ASSERT_TRUE(PressUntil(kGameKey3, "the title's logo",
                           [this] { return TitleStep() >= CTamvikOpen::kMusicAndLogo; }, 400));
    ASSERT_TRUE(d.RunUntil("the start prompt",
                           [this](const ProgramDriver&) {
                             return TitleStep() == CTamvikOpen::kStartPrompt;
                           },
                           200));
    ASSERT_TRUE(PressUntil(kGameKey3, "the menu",
                           [this] { return TitleStep() == CTamvikOpen::kMenuLoop; }, 300, 20));
    d.Run(20);  // the menu window opens
    ASSERT_TRUE(UntilShown("title menu", testsupport::SampleMenuColour(), 10));
  }

  bool Opened(const std::string& fragment) const {
    return std::any_of(files.opened.begin(), files.opened.end(),
                       [&fragment](const std::string& p) { return p.find(fragment) != p.npos; });
  }
  bool UntilOpened(const std::string& fragment, int limit) {
    return d.RunUntil("\"" + fragment + "\" opened",
                      [this, fragment](const ProgramDriver&) { return Opened(fragment); }, limit);
  }

  // Decide until the scene has ended and the title is back.
  void PlaySceneToTitle() {
    ASSERT_TRUE(UntilMode(30, 300));
    ASSERT_TRUE(UntilOpened("0001.wav", 300));  // the first message
    d.Run(40);                                   // typed (100 ms a character)
    ASSERT_TRUE(UntilShown("message window", testsupport::SampleWindowColour(), 600));
    ASSERT_TRUE(PressUntil(kGameKey0, "the title again", [this] { return Mode() == 4; }, 1500, 30));
    ASSERT_TRUE(UntilShown("title again", testsupport::SampleTitleColour(), 600));
  }

  // Opened paths the files seam could not find.
  std::vector<std::string> NotFound() {
    std::vector<std::string> missing;
    for (const std::string& path : files.opened) {
      // The key assignment is optional (the defaults stand without it), and the slot list reads
      // every slot, used or not: only slot 1 is.
      if (path.find("key.dat") != std::string::npos) continue;
      if (path.find("\\save\\data") != std::string::npos &&
          path.find("\\data1.sav") == std::string::npos) {
        continue;
      }
      if (!d.host().files.IsFile(path.c_str())) missing.push_back(path);
    }
    return missing;
  }

  static constexpr uint32_t kFrameMs = 50;
  static constexpr uint16_t kMovieRed = 0xD8E3;  // 0xDC1E1E in RGB565
  static constexpr uint32_t kMovieRedRef = 0x1E1EDC;  // as COLORREF (0x00BBGGRR)

  std::vector<int> modes;
  ProgramDriver d;
  testsupport::FaultyFiles files{d.host().files};
  fs::path system_dat;
  fs::file_time_type system_dat_time;
};

TEST(SampleBoot, BootsToTheExtraSceneAndBackToTheTitle) {
  SampleRun run;
  ASSERT_NO_FATAL_FAILURE(run.BootToTitleMenu());
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4}));
  // New game, continue, extra scenario: down, down, decide.
  run.Press(kGameKeyDown);
  run.d.Run(4);
  run.Press(kGameKeyDown);
  run.d.Run(4);
  run.Press(kGameKey0);
  ASSERT_NO_FATAL_FAILURE(run.PlaySceneToTitle());
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4, 29, 30, 32, 3, 4}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  EXPECT_NE(fs::last_write_time(run.system_dat), run.system_dat_time);  // stage clear
  EXPECT_TRUE(run.Opened("0002.wav"));  // the second message's voice
  EXPECT_EQ(run.NotFound(), std::vector<std::string>{});
}

TEST(SampleBoot, ContinueLoadsSlotOneIntoTheSameSceneAndBack) {
  SampleRun run;
  ASSERT_NO_FATAL_FAILURE(run.BootToTitleMenu());
  run.Press(kGameKeyDown);  // "continue"
  run.d.Run(4);
  run.Press(kGameKey0);
  const auto menu = [] { return Ctx().game_task.FindTask(CTamvikBup::kSaveMenuName); };
  const auto sub_step = [&menu] {
    GameTaskRec* t = menu();
    return t != nullptr ? static_cast<SaveMenuExtra*>(t->extra)->subStep : -1;
  };
  ASSERT_TRUE(run.d.RunUntil("the slot list", [&](const ProgramDriver&) { return sub_step() == 2; },
                             300));
  run.Press(kGameKey0);  // slot 1
  ASSERT_TRUE(run.d.RunUntil("the question", [&](const ProgramDriver&) { return sub_step() == 12; },
                             60));
  run.Press(kGameKey0);  // "是"
  ASSERT_NO_FATAL_FAILURE(run.PlaySceneToTitle());
  const std::vector<int> tail(run.modes.begin() + 9, run.modes.end());
  EXPECT_EQ(tail, (std::vector<int>{37, 29, 30, 32, 3, 4}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  EXPECT_EQ(run.NotFound(), std::vector<std::string>{});
}

TEST(SampleBoot, ANewGameTypesItsFirstMessageAndTheOptionsQuitTheProgram) {
  SampleRun run;
  ASSERT_NO_FATAL_FAILURE(run.BootToTitleMenu());
  run.Press(kGameKey0);  // new game
  ASSERT_TRUE(run.UntilMode(30, 300));
  ASSERT_TRUE(run.UntilOpened("0003.wav", 300));  // the first message's voice
  run.d.Run(30);
  ASSERT_TRUE(run.UntilShown("new game message", testsupport::SampleWindowColour(), 600));
  const auto option = [] { return Ctx().game_task.FindTask(CTamvikOption::kOptionMenuName); };
  // The menu key counts once the voice has ended.
  ASSERT_TRUE(run.PressUntil(kGameKey3, "the options", [&option] { return option() != nullptr; },
                             600, 30));
  const auto file_choice = [&option] {
    GameTaskRec* t = option();
    return t != nullptr ? static_cast<CTamvikOption::OptionState*>(t->extra)->fileChoice : -1;
  };
  run.d.Run(20);  // the window opens
  ASSERT_TRUE(run.PressUntil(kGameKeyRight, "\" 遊戲結束 \"", [&] { return file_choice() == 2; },
                             60, 4));
  run.Press(kGameKey0);
  ASSERT_TRUE(run.d.RunUntil(
      "the question", [](const ProgramDriver&) {
        return Ctx().game_task.FindTask(CTamvikOption::kExitSeqName) != nullptr;
      },
      60));
  run.d.Run(20);
  run.Press(kGameKeyLeft);  // "是"
  run.d.Run(4);
  run.Press(kGameKey0);
  ASSERT_TRUE(run.d.RunToEnd(200));
  EXPECT_EQ(run.d.exit_code, 0);
  EXPECT_TRUE(run.d.host_window().boxes.empty());
}

}  // namespace
