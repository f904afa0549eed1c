// Every start-up problem a user can make, through the whole start-up on the headless backend with
// the production services: the message that names the cause (a box, which the real backend also
// writes to stderr, or a report, which it writes there alone), the exit status, and no game
// window made before the program ends.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "debug/debug_menu.h"
#include "engine/app/spine/spine.h"
#include "engine/gfx/text/text_big5.h"
#include "platform/config.h"
#include "testsupport/faulty_files.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/program_messages.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/test_game.h"
#include "testsupport/test_scene.h"

namespace {

// The install box's first two lines: its own words and what to do.
constexpr const char* kNotInstalled =
    "没有安装TAMVIKＰＣ版\nThe settings file {conf} needs the line \"Install Directory = <the "
    "folder with the game's files>\"\n";

struct Start {
  Start() {
    tree.MakeDir("conf");
    // A font for the program's own messages, so that their boxes can be drawn with it.
    std::vector<std::string> messages;
    for (const std::string& text : testsupport::ProgramMessageTexts()) {
      if (auto big5 = Big5FromUtf8(text)) messages.push_back(*big5);
    }
    testsupport::WriteGlyphFont(tree, testsupport::MakeGlyphFontFor(messages), "cwd");
    engine.host.files.SetWorkingDirectory(tree.cwd());
  }

  std::string conf() const { return tree.Path("conf/tamvik.conf"); }
  void Settings(const std::string& text) { tree.Write("conf/tamvik.conf", text); }
  void Install(const std::string& dir) { Settings("Install Directory = " + dir + "\n"); }

  // Reads the settings file as the program does, then starts and runs the program (at most 30
  // loop iterations, a frame's time apart); with `quit`, Alt+F4 once it runs. The exit status,
  // or nothing when the program did not end.
  std::optional<int> Run(bool quit) {
    file_config = std::make_unique<platform::FileConfig>(conf());
    engine.host.seams().config = file_config.get();
    int code = -1;
    platform::Window* window = AppStart(MakeGameHooks(debug_menu), code);
    if (window == nullptr) return code;
    window->PostEvent({platform::EventKind::kActivateApp, 1});
    for (int i = 0; i < 30; ++i) {
      if (quit && i == 5) window->PostEvent({platform::EventKind::kSysKeyDown, platform::kVkF4});
      engine.host.clock.Advance(17);
      if (!MessageLoopStep(window, code)) return code;
    }
    return std::nullopt;
  }

  // Files that fail as a case asks, in place of the real ones (made by the case; destroyed last).
  std::unique_ptr<testsupport::FaultyFiles> faulty;
  testsupport::GameTree tree;
  // The game's debug menu, whose reset and frame hook the spine calls.
  CDebugMenu debug_menu;
  // The game and the scene beside the engine: the game's hooks boot it.
  testsupport::TestScene scene;
  testsupport::TestGame& game = scene.game;
  testsupport::TestEngine& engine = game.engine;
  std::unique_ptr<platform::FileConfig> file_config;
};

TEST(StartupCauses, EachProblemNamesItsCauseAndEndsWithItsStatus) {
  struct Case {
    const char* name;
    std::function<void(Start&)> make;
    int status;
    // The box's text, and what Report was given; "{conf}", "{install}" and "{cwd}" stand for
    // those paths.
    std::string box;
    std::string report;
    // The box is drawn with the program's glyph fonts (its text is traditional Chinese, which
    // they hold; the install box's simplified characters are left to the system's box).
    bool glyphs = false;
  };
  const Case cases[] = {
      {"no settings file", [](Start&) {}, kExitNotInstalled,
       std::string(kNotInstalled) + "(no settings file at {conf})", ""},
      {"settings unreadable",
       [](Start& s) { ASSERT_EQ(::mkfifo(s.conf().c_str(), 0600), 0); }, kExitNotInstalled,
       std::string(kNotInstalled) + "(cannot read the settings file {conf}: not a regular file)", ""},
      {"settings too large",
       [](Start& s) { s.Settings("#" + std::string(70000, 'x') + "\n"); }, kExitNotInstalled,
       std::string(kNotInstalled) +
           "(the settings file {conf} is larger than 64 KiB; it was not read)",
       ""},
      {"no install directory key", [](Start& s) { s.Settings("Instal Directory = /x\n"); },
       kExitNotInstalled,
       std::string(kNotInstalled) + "(no value \"Install Directory\" in {conf})", ""},
      {"install directory missing", [](Start& s) { s.Install(s.tree.Path("gone")); },
       kExitNotInstalled,
       std::string(kNotInstalled) + "(the install directory {install}gone does not exist)", ""},
      {"install directory exists but cannot be read",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.faulty = std::make_unique<testsupport::FaultyFiles>(s.engine.host.files);
         s.faulty->directories_unreadable = true;
         s.engine.host.seams().files = s.faulty.get();
       },
       kExitNotInstalled,
       std::string(kNotInstalled) + "(the install directory {install}install cannot be read (no "
                                    "permission))",
       ""},
      {"install directory is a file",
       [](Start& s) { s.Install(s.tree.Write("install/file", "x")); }, kExitNotInstalled,
       std::string(kNotInstalled) +
           "(the install directory {install}install/file is not a directory)",
       ""},
      {"install directory too long to hold the game's names",
       [](Start& s) { s.Install("/" + std::string(221, 'd')); }, kExitNotInstalled,
       std::string(kNotInstalled) +
           "(the install directory is too long (222 bytes; at most 220 leave room for the game's "
           "file names))",
       ""},
      {"a glyph font missing",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.tree.Remove("cwd/CHT24.DAT");
       },
       kExitSetupFailed,
       "glyph fonts not found in the working directory {cwd}: missing CHT24.DAT (the game reads "
       "CHT.DAT, ENG12.DAT and CHT24.DAT from there)",
       "", true},  // all ASCII: the single-byte glyphs, loaded before CHT24.DAT, draw it
      {"an empty code table",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.tree.Write("cwd/CHT.DAT", "");
       },
       kExitSetupFailed,
       "glyph fonts unusable in the working directory {cwd}: CHT.DAT holds no codes (the game "
       "reads CHT.DAT, ENG12.DAT and CHT24.DAT from there)",
       ""},
      {"double-byte glyphs shorter than one glyph",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.tree.Write("cwd/CHT24.DAT", std::string(287, '\x11'));
       },
       kExitSetupFailed,
       "glyph fonts unusable in the working directory {cwd}: CHT24.DAT holds no glyphs (the game "
       "reads CHT.DAT, ENG12.DAT and CHT24.DAT from there)",
       "", true},
      {"a directory in place of the single-byte glyphs",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.tree.Remove("cwd/ENG12.DAT");
         s.tree.MakeDir("cwd/ENG12.DAT");
       },
       kExitSetupFailed,
       "glyph fonts unusable in the working directory {cwd}: ENG12.DAT is a directory (the game "
       "reads CHT.DAT, ENG12.DAT and CHT24.DAT from there)",
       ""},
      {"no display, checked before the single-instance test",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.engine.host.window.no_display = "nothing to show on";
         s.engine.host.window.another_instance = true;
       },
       kExitNoDisplay, "", "no display: nothing to show on"},
      {"already running",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.engine.host.window.another_instance = true;
       },
       kExitAlreadyRunning, "TAMVIKＰＣ版已經啟動了", "", true},
      {"the window cannot be made",
       [](Start& s) {
         s.Install(s.tree.Path("install"));
         s.engine.host.window.create_fails = true;
       },
       kExitSetupFailed, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Start s;
    c.make(s);
    auto expand = [&](std::string text) {
      for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{conf}", s.conf()},
                                        {"{install}", s.tree.root() + "/"},
                                        {"{cwd}", s.tree.cwd()}}) {
        for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, mark.size(), value);
      }
      return text;
    };
    EXPECT_EQ(s.Run(false), c.status);
    const auto& window = s.engine.host.window;
    if (c.box.empty()) {
      EXPECT_TRUE(window.boxes.empty()) << window.boxes[0].text;
    } else {
      ASSERT_EQ(window.boxes.size(), 1u);
      EXPECT_EQ(window.boxes[0].text, expand(c.box));
      EXPECT_EQ(window.boxes[0].caption, "ERROR");
      // Every start-up box comes before the game window: none stands empty behind it.
      EXPECT_FALSE(window.boxes[0].window_open);
      EXPECT_FALSE(window.boxes[0].owned);
      EXPECT_EQ(window.boxes[0].glyphs, c.glyphs);
    }
    if (c.report.empty()) {
      EXPECT_TRUE(window.reports.empty()) << window.reports[0];
    } else {
      ASSERT_EQ(window.reports.size(), 1u);
      EXPECT_EQ(window.reports[0], expand(c.report));
    }
    EXPECT_FALSE(window.IsCreated());
    EXPECT_TRUE(window.title.empty());  // Create was never asked for, or failed
  }
}

TEST(StartupCauses, AWellInstalledProgramRunsAndEndsWithZero) {
  Start s;
  s.Settings("\xEF\xBB\xBFInstall Directory = " + s.tree.Path("install") + "\r\nWindowed = yes\r\n");
  EXPECT_EQ(s.Run(true), kExitNormal);
  EXPECT_TRUE(s.engine.host.window.boxes.empty());
  EXPECT_TRUE(s.engine.host.window.reports.empty());
  EXPECT_TRUE(s.file_config->notes().empty());
}

}  // namespace
