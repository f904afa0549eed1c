// The title task on the headless program: tiny fixture pictures, an animation set whose sprite 4
// is 8 rows high, an empty petal wipe, fakes for the option and slot menus. Driver frames are
// game frames (17, 17, 16 ms) where a test counts them; the waits it does not count run on longer
// frames (the title's timers go by the clock).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "flow/petal_wipe.h"
#include "flow/tamvik_open.h"
#include "game/game_sequences.h"
#include "game/system_data.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/lips_files.h"
#include "testsupport/petal_wipe_writer.h"
#include "testsupport/program_driver.h"
#include "testsupport/spr_writer.h"

namespace {

using testsupport::GameKeyDown;
using testsupport::GameKeyUp;
using testsupport::ProgramDriver;
using testsupport::SprImage;
using testsupport::SprRgb;

constexpr int kRows = 8;  // the fly-in picture's height

std::vector<uint8_t> Picture(SprRgb colour, int w, int h) {
  return testsupport::PictureFile(
      {{0, 0, 0}, colour},
      {SprImage(w, h, testsupport::kSprDepth8, 0,
                std::vector<uint8_t>(static_cast<size_t>(w * h), 1))});
}

class TitleRig {
 public:
  TitleRig() : d(Options(&frame_ms, &pattern)) {
    const auto lay = [this](const char* name, const std::vector<uint8_t>& bytes) {
      d.tree.Write(testsupport::InstallRel(name), bytes);
    };
    std::vector<SprRgb> colours;
    for (int i = 0; i < 13; ++i) {
      colours.push_back({static_cast<uint8_t>(2 * i), static_cast<uint8_t>(31 - i), 9});
    }
    lay("tamvik1\\system\\title.spr", testsupport::SquareAnimationFile(colours, kRows, 20));
    lay("tamvik1\\system\\tl_bg0.spr", Picture({10, 20, 30}, 8, 8));
    lay("tamvik1\\system\\tl_rogo0.spr", Picture({30, 20, 10}, 8, 8));
    lay("tamvik1\\system\\op_win.spr", Picture({5, 5, 5}, 8, 8));
    lay(kPetalWipeFile, testsupport::EmptyPetalFrames(45));
    GameSequences& s = d.sequences();
    s.option_return_mode = [this](uint32_t mode) { return_modes.push_back(mode); };
    s.option_menu.start = [this](GameTaskRec*) { options_left = 5; };
    s.option_menu.is_running = [this] { return options_left-- > 0; };
    s.save_menu.start = [this](GameTaskRec*, int form) { load_forms.push_back(form); };
    s.save_menu.is_running = [] { return false; };
    s.save_menu_loaded = [this] { return loaded; };
    s.save_menu_clear_loaded = [this] { loaded = false; ++clears; };
    started = d.Start();
  }

  static ProgramDriver::Options Options(const uint32_t* frame_ms, int* pattern) {
    ProgramDriver::Options options;
    options.boot = [] {};
    options.wire_sequences = false;
    // 17, 17, 16 ms from the start and again after each stretch of other frames; those are
    // multiples of 50 ms dividing 1000, so the frame gate's second stays in step with them.
    options.frame_ms_of = [frame_ms, pattern](int) -> uint32_t {
      if (*frame_ms != 0) {
        *pattern = 0;
        return *frame_ms;
      }
      return (*pattern)++ % 3 == 2 ? 16 : 17;
    };
    return options;
  }

  void StartTitle() { CTamvikOpen::StartNewTitleMain(nullptr, state); }
  GameTaskRec* Task() const { return Ctx().game_task.FindTask(CTamvikOpen::kTaskName); }
  int Step() const { return Task() != nullptr ? TaskStep(Task()) : -1; }
  bool RunUntilStep(int step, uint8_t sub, int limit) {
    return d.RunUntil("step " + std::to_string(step) + "." + std::to_string(sub),
                      [this, step, sub](const ProgramDriver&) {
                        return Step() == step && state.sub_step == sub;
                      },
                      limit);
  }
  bool RunUntilStep(int step, int limit) {
    return d.RunUntil("step " + std::to_string(step),
                      [this, step](const ProgramDriver&) { return Step() == step; }, limit);
  }
  // Presses a logical key (its highest game-key bit) in the next frame.
  void Press(int key) {
    const GameKeyBits mask = TamvikFunc::GetKeyMask(key);
    GameKeyBits bit = 1;
    while ((mask >> 1) >= bit) bit <<= 1;
    d.Schedule({GameKeyDown(d.frame() + 1, bit), GameKeyUp(d.frame() + 2, bit)});
  }
  // The system sounds streamed so far (sounds 18 and above), in order.
  std::vector<int> Streamed() const {
    std::vector<int> out;
    for (const DebugTraceLine& line : d.trace().lines()) {
      const size_t at = line.text.find("\\TE");
      if (line.text.find("Play TEFFECT File") == std::string::npos || at == std::string::npos) {
        continue;
      }
      out.push_back(std::stoi(line.text.substr(at + 3, 2)) + 1);
    }
    return out;
  }
  int Live(const std::vector<SprBufferEntry*>& entries) const {
    int n = 0;
    for (const SprBufferEntry* e : entries) n += e != nullptr ? 1 : 0;
    return n;
  }

  // 0: one game frame per driver frame; else the milliseconds of each driver frame.
  uint32_t frame_ms = 0;
  int pattern = 0;
  ProgramDriver d;
  TitleState state;
  bool started = false;
  std::vector<uint32_t> return_modes;
  int options_left = 0;
  std::vector<int> load_forms;
  bool loaded = false;
  int clears = 0;
};

TEST(TitleIntroTest, RunsInOrderAndLeavesNothingOfTheIntro) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  const int free_entries = Ctx().ddraw_spr.FreeEntryCount();
  rig.StartTitle();
  EXPECT_EQ(rig.state.title_result, 0u);
  rig.frame_ms = 50;  // 3 game frames
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroAfterFade, 100));
  rig.frame_ms = 0;
  // The turn: sound 29, and the unturned restart once the previous frame's timer read 33.
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroTurn, 60));
  EXPECT_NE(rig.state.turn, nullptr);
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroTurnRest, 60));
  EXPECT_EQ(rig.state.turn_previous_frames, 33);
  EXPECT_EQ(rig.Streamed(), (std::vector<int>{29, 30}));
  // The fly-in: one row sprite and entry per pixel row while it flies.
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroFly, 80));
  EXPECT_EQ(rig.Live(rig.state.row_entries), kRows);
  const int fly_start = rig.d.frame();
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroLetters, 200));
  EXPECT_EQ(rig.d.frame() - fly_start, 149);  // freed once the timer reads 148
  EXPECT_TRUE(rig.state.row_entries.empty());
  EXPECT_TRUE(rig.state.row_sprites.empty());
  EXPECT_EQ(rig.state.turn, nullptr);
  // The letters, then the wipe, then the music and logo.
  rig.frame_ms = 50;
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kMusicAndLogo, 120));
  EXPECT_EQ(rig.Streamed(), (std::vector<int>{29, 30, 31, 32, 32, 32}));
  EXPECT_EQ(rig.state.letter, nullptr);
  EXPECT_TRUE(rig.state.wipe.Done());
  EXPECT_EQ(Ctx().ddraw_spr.FreeEntryCount(), free_entries);
}

TEST(TitleIntroTest, RowsRefusedByAFullPoolAreSkippedAndNotFreed) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  const int free_entries = Ctx().ddraw_spr.FreeEntryCount();
  rig.StartTitle();
  rig.frame_ms = 50;
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroTurnRest, 100));
  // The pool left with room for 3 of the 8 rows.
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  SprRec* dot = sprites.CreateSprite(0, 0, SURFACE_SCRATCH2, 0, 0, 1, 1);
  ASSERT_NE(dot, nullptr);
  std::vector<SprBufferEntry*> taken;
  while (sprites.FreeEntryCount() > 3) {
    taken.push_back(sprites.SetBuffer("taken", dot, 0, 0, SURFACE_BG, 1));
    ASSERT_NE(taken.back(), nullptr);
  }
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroFly, 30));
  EXPECT_EQ(rig.Live(rig.state.row_entries), 3);
  EXPECT_TRUE(rig.d.trace().Contains("5 fly-in rows refused"));
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, CTamvikOpen::kIntroLetters, 80));
  EXPECT_TRUE(rig.state.row_entries.empty());
  for (SprBufferEntry*& entry : taken) sprites.DeleteBuffer(&entry);
  sprites.DeleteSprite(&dot);
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kMusicAndLogo, 120));
  EXPECT_EQ(sprites.FreeEntryCount(), free_entries);
}

class TitleStartKeyTest : public ::testing::TestWithParam<uint8_t> {};

TEST_P(TitleStartKeyTest, GoesToTheMusicAndLogoWithNothingOfTheIntroLeft) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  const int free_entries = Ctx().ddraw_spr.FreeEntryCount();
  rig.StartTitle();
  rig.frame_ms = 50;  // 3 game frames
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kIntro, GetParam(), 200));
  rig.d.Run(1);
  ASSERT_EQ(rig.state.sub_step, GetParam());
  rig.Press(3);
  rig.d.Run(2);
  EXPECT_EQ(rig.Step(), CTamvikOpen::kMusicAndLogo);
  EXPECT_EQ(rig.state.turn, nullptr);
  EXPECT_EQ(rig.state.letter, nullptr);
  EXPECT_TRUE(rig.state.row_entries.empty());
  EXPECT_TRUE(rig.state.wipe.Done());
  EXPECT_FALSE(rig.state.layers_saved);
  EXPECT_EQ(Ctx().ddraw_spr.FreeEntryCount(), free_entries);
}

INSTANTIATE_TEST_SUITE_P(Stages, TitleStartKeyTest,
                         ::testing::Values(CTamvikOpen::kIntroTurn, CTamvikOpen::kIntroFly,
                                           CTamvikOpen::kIntroLetters, CTamvikOpen::kIntroWipe));

// The title brought to its start prompt (the start key in the intro, then the white fade).
void ToPrompt(TitleRig& rig) {
  rig.StartTitle();
  rig.d.Run(2);
  rig.Press(3);
  rig.frame_ms = 500;
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kStartPrompt, 0, 20));
  rig.frame_ms = 0;
  rig.d.Run(2);  // the frame gate back in step with the clock
}

TEST(TitlePromptTest, IdleTimesOutToResult4) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  ToPrompt(rig);
  rig.frame_ms = 500;  // 30 game frames
  ASSERT_TRUE(rig.d.RunUntil("the title ends", [&rig](const ProgramDriver&) {
    return rig.Task() == nullptr;
  }, 80));
  EXPECT_EQ(rig.state.title_result, 4u);
}

TEST(TitlePromptTest, StartKeyClosesTheLogoAndOpensTheMenu) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  ToPrompt(rig);
  rig.Press(3);
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kStartPrompt, 1, 3));
  EXPECT_EQ(rig.Streamed().back(), 35);
  const int pressed = rig.d.frame();
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kStartPrompt, 2, 100));
  EXPECT_EQ(rig.d.frame() - pressed, 61);
  ASSERT_TRUE(rig.d.RunUntil(testsupport::TraceContains("SUCCESS"), 30));
  EXPECT_EQ(rig.Streamed(), (std::vector<int>{35, 35}));
  EXPECT_EQ(rig.state.logo_window, nullptr);
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kMenuLoop, 3));
  EXPECT_NE(rig.state.menu_window, nullptr);
}

// The title brought to its menu, open and waiting for keys.
void ToMenu(TitleRig& rig) {
  ToPrompt(rig);
  rig.Press(3);
  rig.d.Run(2);
  rig.frame_ms = 500;
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kMenuLoop, 20));
  ASSERT_TRUE(rig.d.RunUntil("menu open", [&rig](const ProgramDriver&) {
    return rig.state.window_anime == nullptr;
  }, 5));
  rig.frame_ms = 0;
  rig.d.Run(2);
}

// Moves down `downs` rows and decides; runs until the title ends or comes back to its menu.
void Choose(TitleRig& rig, int downs) {
  for (int i = 0; i < downs; ++i) {
    rig.Press(6);
    rig.d.Run(2);
  }
  rig.Press(0);
  rig.d.Run(2);
  ASSERT_EQ(rig.Step(), CTamvikOpen::kChosen);
}

TEST(TitleMenuTaskTest, ChosenRowsGiveTheirResults) {
  struct Case {
    uint32_t save_flags;
    uint32_t endings;
    uint32_t cesa;
    int downs;
    uint32_t result;
  };
  for (const Case& k : std::vector<Case>{{1, 0, 0, 0, 1},       // new game
                                         {0, 0x80, 0, 2, 6},    // the extra scenario
                                         {0, 0, 1, 0, 5},       // the special edition
                                         {0, 0, 1, 3, 7}}) {    // flower cards, wrapped
    SCOPED_TRACE(testing::Message() << k.save_flags << " " << k.endings << " " << k.cesa);
    TitleRig rig;
    ASSERT_TRUE(rig.started);
    GetSystemData()->setSaveFlags(static_cast<uint16_t>(k.save_flags));
    GetSystemData()->setEndingsSeen(k.endings);
    GetSystemData()->setCesaMode(k.cesa);
    ToMenu(rig);
    Choose(rig, k.downs);
    ASSERT_TRUE(rig.d.RunUntil("the title ends", [&rig](const ProgramDriver&) {
      return rig.Task() == nullptr;
    }, 100));
    EXPECT_EQ(rig.state.title_result, k.result);
  }
}

TEST(TitleMenuTaskTest, OptionsOpenWithTheirModeAndComeBack) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  GetSystemData()->setSaveFlags(1);  // rows 0 (new game) and 3 (options)
  ToMenu(rig);
  // The pointer in row 3's band (its text at y 160 + 3 x 40, the band from 4 pixels above).
  rig.d.Schedule(testsupport::PointerMove(rig.d.frame() + 1, 300, 160 + 3 * 40 - 4));
  rig.d.Run(2);
  EXPECT_EQ(rig.state.row, 3);
  Choose(rig, 0);
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kMenuLoop, 60));
  EXPECT_EQ(rig.return_modes, std::vector<uint32_t>{0x110});
  EXPECT_EQ(rig.state.title_result, 0u);
}

TEST(TitleMenuTaskTest, LoadEndsAfterALoadAndComesBackAfterACancel) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  GetSystemData()->setSaveFlags(0);  // rows: new game, continue, options
  ToMenu(rig);
  Choose(rig, 1);  // continue
  ASSERT_TRUE(rig.RunUntilStep(CTamvikOpen::kMenuLoop, 60));
  EXPECT_EQ(rig.load_forms, std::vector<int>{0});
  rig.d.Run(20);
  rig.loaded = true;
  Choose(rig, 1);  // the menu opens again on its first row
  ASSERT_TRUE(rig.d.RunUntil("the title ends", [&rig](const ProgramDriver&) {
    return rig.Task() == nullptr;
  }, 100));
  EXPECT_EQ(rig.load_forms, (std::vector<int>{0, 0}));
  EXPECT_EQ(rig.clears, 1);
  EXPECT_FALSE(rig.loaded);
  EXPECT_EQ(rig.state.title_result, 0u);
}

TEST(TitleMenuTaskTest, CancelGoesBackToThePrompt) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  ToMenu(rig);
  rig.Press(1);
  rig.d.Run(2);
  EXPECT_EQ(rig.Step(), CTamvikOpen::kStartPrompt);
  EXPECT_EQ(rig.Streamed().back(), 36);
  EXPECT_EQ(rig.state.menu_window, nullptr);
  EXPECT_NE(rig.state.logo_window, nullptr);
}

TEST(TitleMenuTaskTest, IdleTimesOutToResult4) {
  TitleRig rig;
  ASSERT_TRUE(rig.started);
  ToMenu(rig);
  rig.frame_ms = 500;  // 30 game frames
  ASSERT_TRUE(rig.d.RunUntil("the title ends", [&rig](const ProgramDriver&) {
    return rig.Task() == nullptr;
  }, 400));
  EXPECT_EQ(rig.state.title_result, 4u);
}

}  // namespace
