// The trust panel: heroine rows, sorting, faces and mood bands, bonus lines, and whole showings
// on the headless program (cards sliding in, turning, page switches, closing, clean-up).

#include "scene/ui/tamvik_trust.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/sound/dsound_func.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/display.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/program_driver.h"
#include "testsupport/spr_writer.h"
#include "testsupport/test_scene.h"
#include "testsupport/trust_panel_files.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::ProgramDriver;

std::string Big5(const char* utf8) { return Big5FromUtf8(utf8).value_or(""); }

TEST(TrustRows, HeroineRowByChapterAndScene) {
  struct Case {
    uint16_t scene;
    uint16_t saved;
    uint16_t p83;
    int row;
  };
  const Case cases[] = {
      {0x0100, 0, 13, 0},  {0x0203, 1, 13, 1},  {0x0501, 0, 13, 2},  {0x0A01, 0, 13, 7},
      {0x0A01, 1, 13, 2},  {0x0A02, 1, 13, 7},  {0x0A02, 0, 8, 2},   {0x0A03, 1, 13, 7},
      {0x0A03, 0, 13, 2},  {0x0A04, 0, 13, 2},  {0x0A00, 1, 5, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CTamvikTrust::PanelRowFor(c.scene, c.saved, c.p83), c.row)
        << std::hex << c.scene << " saved " << c.saved << " p83 " << std::dec << c.p83;
  }
}

TEST(TrustRows, PanelListTakesTheVariablesAndSortsByRankKeepingTies) {
  testsupport::TestScene t;
  GetAdvState()->setSceneCode(0x0501);  // row 2: 0, 1, 2, 4, 3, 5
  // Ranks 5, 9, 9, 1, 9, 0 by panel order; trust values to follow the codes.
  const int rank_vars[] = {10, 30, 50, 20, 60, 40};
  const uint16_t ranks[] = {5, 9, 9, 1, 9, 0};
  for (int i = 0; i < 6; ++i) SetMacroP(rank_vars[i], ranks[i]);
  SetMacroP(11, 0x8001);
  SetMacroP(31, 0x8002);
  SetMacroP(51, 0x8003);
  SetMacroP(21, 0x8004);
  SetMacroP(61, 0x8005);
  SetMacroP(41, 0x8006);
  CTamvikTrust& trust = t.scene().trust;
  trust.SetupPanelList();
  const uint16_t codes[] = {1, 2, 3, 0, 4, 5};
  const uint16_t sorted_ranks[] = {9, 9, 9, 5, 1, 0};
  const uint16_t trusts[] = {0x8002, 0x8003, 0x8005, 0x8001, 0x8004, 0x8006};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(trust.rows()[i].code, codes[i]) << i;
    EXPECT_EQ(trust.rows()[i].rank, sorted_ranks[i]) << i;
    EXPECT_EQ(trust.rows()[i].trust, trusts[i]) << i;
  }
}

TEST(TrustRows, EmptyPanelsStayAtTheEndWhateverTheirVariables) {
  testsupport::TestScene t;
  GetAdvState()->setSceneCode(0x0100);  // row 0: 0, 1, 2, 4, 6, 6
  SetMacroP(10, 1);
  SetMacroP(30, 2);
  SetMacroP(50, 3);
  SetMacroP(20, 4);
  SetMacroP(60, 99);  // code 3 is not in the row
  CTamvikTrust& trust = t.scene().trust;
  trust.SetupPanelList();
  const uint16_t codes[] = {4, 2, 1, 0, 6, 6};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(trust.rows()[i].code, codes[i]) << i;
  EXPECT_EQ(trust.rows()[4].rank, 0);
}

TEST(TrustFaces, BandsChooseTheFaceAndTheMoodLines) {
  testsupport::TestScene t;
  const CTamvikTrust& trust = t.scene().trust;
  const std::string high1 = Big5("元氣"), high2 = Big5("十足");
  const std::string mid1 = Big5("普通"), mid2 = Big5("心情");
  const std::string low1 = Big5("情緒"), low2 = Big5("低落");
  struct Case {
    uint16_t trust;
    int chapter;
    uint8_t face;  // LUNET, page 1
    std::string line1, line2;
  };
  const std::vector<Case> cases = {
      {0x800A, 3, 4, mid1, mid2}, {0x800B, 3, 5, high1, high2}, {0x8000, 3, 4, mid1, mid2},
      {0x7FFF, 3, 4, low1, low2}, {0x7000, 9, 5, high1, high2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(trust.ChooseFace(CTamvikTrust::kLunet, 1, c.trust, c.chapter), c.face)
        << std::hex << c.trust;
    const auto lines = trust.PageLines({CTamvikTrust::kLunet, c.trust, 0}, 1, c.chapter);
    EXPECT_EQ(lines[0], Big5("露妮"));
    EXPECT_EQ(lines[1], c.line1) << std::hex << c.trust;
    EXPECT_EQ(lines[2], c.line2) << std::hex << c.trust;
  }
  // Every line fits the card's text area (128 pixels: five 24-pixel characters), which draws
  // nothing of a line that would leave it.
  for (uint16_t code = 0; code < CTamvikTrust::kEmpty; ++code) {
    for (int page : {1, 2}) {
      for (const std::string& line : trust.PageLines({code, 0x8000 + 40, 0}, page, 3)) {
        EXPECT_LE(line.size(), 10u) << "code " << code << " page " << page;
      }
    }
  }
  // Page-2 faces, the blank card for mode 0 and for an empty panel.
  EXPECT_EQ(trust.ChooseFace(CTamvikTrust::kBrise, 2, 0x8000, 1), 18);
  EXPECT_EQ(trust.ChooseFace(CTamvikTrust::kBrise, 2, 0x9000, 1), 19);
  EXPECT_EQ(trust.ChooseFace(CTamvikTrust::kBrise, 0, 0x9000, 1), 24);
  EXPECT_EQ(trust.ChooseFace(CTamvikTrust::kEmpty, 1, 0x9000, 1), 24);
  // Chapter 9's high band is page 1's only: the bonuses follow the real trust.
  const auto page2 = trust.PageLines({CTamvikTrust::kLunet, 0x7000, 0}, 2, 9);
  for (const std::string& line : page2) EXPECT_TRUE(line.empty());
  for (const std::string& line : trust.PageLines({CTamvikTrust::kEmpty, 0x9000, 0}, 1, 3)) {
    EXPECT_TRUE(line.empty());
  }
}

TEST(TrustBonus, BonusesByTrustAndTheirLines) {
  struct Case {
    int k;
    int attack, defence, move;
  };
  const Case cases[] = {{0, 0, 0, 0},  {10, 5, 2, 0},  {11, 6, 2, 1}, {24, 9, 4, 1},
                        {25, 10, 5, 2}, {35, 10, 5, 2}, {40, 10, 5, 2}};
  for (const Case& c : cases) {
    const CTamvikTrust::Bonus b = CTamvikTrust::BonusFor(static_cast<uint16_t>(0x8000 + c.k));
    EXPECT_EQ(b.attack, c.attack) << c.k;
    EXPECT_EQ(b.defence, c.defence) << c.k;
    EXPECT_EQ(b.move, c.move) << c.k;
  }
  const CTamvikTrust::Bonus below = CTamvikTrust::BonusFor(0x7FFF);
  EXPECT_EQ(below.attack + below.defence + below.move, 0);

  testsupport::TestScene t;
  const CTamvikTrust& trust = t.scene().trust;
  const std::string attack = Big5("攻");
  EXPECT_EQ(trust.FormatBonusLine(0, 7), attack + "\x81\x7B\x81\x40\xA2\xB6");
  EXPECT_EQ(trust.FormatBonusLine(0, 10), attack + "\x81\x7B\xA2\xB0\xA2\xAF");
  EXPECT_EQ(trust.FormatBonusLine(2, 1), Big5("移") + "\x81\x7B\x81\x40\xA2\xB0");
  EXPECT_EQ(trust.FormatBonusLine(1, 0), "");
}

// ---- Whole showings on the headless program ----

constexpr int kFaceX = 48, kFaceY = 16;  // the face's place in a card

class TrustShowing : public ::testing::TestWithParam<platform::PixelLayout> {
 protected:
  static ProgramDriver::Options Options() {
    ProgramDriver::Options options;
    // Only what the panel needs of the game's start: the system sounds.
    options.boot = [] { TamvikFunc::LoadSystemSe(); };
    return options;
  }

  TrustShowing() : d(Options()) {
    if (GetParam() == platform::PixelLayout::kRgb555) {
      d.host().config.Set("Pixel Format", "555");
    }
  }

  void WriteFiles() {
    d.tree.Write("install/tamvik1/icatch/kao_p.spr", testsupport::TrustFaceFile());
    d.tree.Write("install/tamvik1/icatch/shinriad.spr", testsupport::TrustCardFile());
    for (int n = 0; n < 17; ++n) {
      if (n == 6) continue;
      char name[64];
      std::snprintf(name, sizeof name, "install/tamvik1/system/se/TE%02d.WAV", n);
      // 50 ms each, so that turns four frames apart are heard as separate starts.
      d.tree.Write(name, testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(1102, 2000))
                             .Bytes());
    }
  }

  void Begin(uint16_t scene, uint16_t saved_before_battle) {
    WriteFiles();
    ASSERT_TRUE(d.Start());
    GetAdvState()->setSceneCode(scene);
    GetSystemData()->setSavedBeforeBattle(saved_before_battle);
    for (int v : {11, 31, 51, 61, 21, 41}) SetMacroP(v, 0x8000 + 12);  // high band
    SetMacroP(10, 6);
    SetMacroP(30, 5);
    SetMacroP(50, 4);
    SetMacroP(20, 3);
    SetMacroP(60, 2);
    SetMacroP(40, 1);
    ASSERT_EQ(Ctx().game_task.SetTaskSimple(nullptr, [](GameTaskRec*) {}, "TrustOwner"), 1);
    owner = Ctx().game_task.FindTask("TrustOwner");
    ASSERT_EQ(CTamvikTrust::StartCheckKaoPanel(owner), 1);
  }

  CTamvikTrust& trust() { return d.scene.trust; }
  uint16_t Pack(uint32_t colorref) const { return platform::PackColorRef(colorref, GetParam()); }
  uint16_t Shown(int x, int y) { return d.display().FramePixel(x, y); }
  // The presented colour at the middle of panel i's face when the card is at home.
  uint16_t FaceShown(int i) {
    const int x = 32 + (i % 2) * 288 + kFaceX + testsupport::kTrustFaceWidth / 2;
    const int y = 48 + (i / 2) * 128 + kFaceY + testsupport::kTrustFaceHeight / 2;
    return Shown(x, y);
  }
  uint16_t FaceColour(int unit) const {
    return Pack(testsupport::SprColourRef(testsupport::TrustFaceColour(unit)));
  }
  int Step() const { return TaskStepOf(Ctx().game_task.FindTask(CTamvikTrust::kTaskName)); }
  static int TaskStepOf(GameTaskRec* task) { return task == nullptr ? -1 : TaskStep(task); }
  // One frame, counting the starts of the turn sound (system sound 12, static slot 11) and of
  // the closing sound (4, slot 3).
  bool Frame() {
    const bool running = d.Step();
    const auto playing = [](int slot) {
      const auto& held = Ctx().dsound.static_se.slot[static_cast<size_t>(slot)];
      return held != nullptr && held->IsPlaying();
    };
    const bool turn = playing(11), closing = playing(3);
    if (turn && !turn_was_playing) ++turn_sounds;
    if (closing && !close_was_playing) ++close_sounds;
    turn_was_playing = turn;
    close_was_playing = closing;
    return running;
  }
  bool Frames(int n) {
    for (int i = 0; i < n; ++i) {
      if (!Frame()) return false;
    }
    return true;
  }
  // Frames until the condition holds, -1 when not within `limit`.
  int FramesUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i <= limit; ++i) {
      if (done()) return i;
      if (!Frame()) return -1;
    }
    return -1;
  }
  void SaveFrame(const char* name) {
    if (const char* dir = std::getenv("TAMVIK_TRUST_FRAMES")) {
      d.display().SaveFramePng(std::string(dir) + "/" + name + ".png");
    }
  }
  void Press(uint32_t game_key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, game_key),
                testsupport::GameKeyUp(d.frame() + 2, game_key)});
  }

  ProgramDriver d;
  GameTaskRec* owner = nullptr;
  int turn_sounds = 0, close_sounds = 0;
  bool turn_was_playing = false, close_was_playing = false;
};

TEST_P(TrustShowing, CardsSlideInTurnToTheirFacesAndCloseOnDecideAfterTwoSeconds) {
  Begin(0x0100, 0);  // chapter 1: TAMVIK, LUNET, YSOL, DAVONE by rank, two empty panels
  // The slides end with every card at home, still blank.
  ASSERT_GE(FramesUntil([&] { return Step() == 20; }, 60), 0);
  for (int i = 0; i < 6; ++i) {
    Rect r{};
    Ctx().ddraw_window.GetTextRect(&r, trust().window(i));
    EXPECT_EQ(r.left, 32 + (i % 2) * 288 + 144) << i;
  }
  // Turns start 10 + 2i frames after the page began; all six done, the page timer runs.
  ASSERT_GE(FramesUntil([&] { return Step() == 22; }, 120), 0);
  Frame();
  SaveFrame("trust_page1");
  const uint8_t high_faces[] = {1, 5, 9, 3};  // TAMVIK, LUNET, YSOL, DAVONE, page 1 high
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(trust().panels()[i].face_unit, high_faces[i]) << i;
    EXPECT_EQ(FaceShown(i), FaceColour(high_faces[i])) << i;
  }
  for (int i = 4; i < 6; ++i) {
    EXPECT_EQ(trust().panels()[i].face_unit, 24) << i;
    EXPECT_EQ(FaceShown(i), FaceColour(24)) << i;
  }
  // Only the odd panels that hold a heroine turned with a sound: 1 and 3, not the empty 5.
  EXPECT_EQ(turn_sounds, 2);
  EXPECT_EQ(close_sounds, 0);
  // Keys before two seconds of the page do nothing.
  Press(kGameKey0);
  Frames(3);
  EXPECT_EQ(Step(), 22);
  ASSERT_TRUE(Frames(120));
  EXPECT_EQ(Step(), 22);  // nothing pressed: the page stays
  Press(kGameKey0);
  Frames(2);
  EXPECT_GE(Step(), 40);
  EXPECT_EQ(close_sounds, 1);
  // The closing turns, the slides out, then nothing left behind.
  ASSERT_GE(FramesUntil([&] { return !CTamvikTrust::IsCheckKaoPanelRunning(); }, 200), 0);
  EXPECT_FALSE(trust().HoldsAnything());
  EXPECT_EQ(Ctx().ddraw_window.IsWindow(trust().window(0)), 0);
}

TEST_P(TrustShowing, SecondPageComesByItselfAndTheSideKeysSwitchPages) {
  Begin(0x0301, 1);  // chapter 3 with the flag: page 2 reachable; YSOL has no page 2 yet
  ASSERT_GE(FramesUntil([&] { return Step() == 22; }, 200), 0);
  // After 120 frames the second page starts by itself.
  const int to_page2 = FramesUntil([&] { return Step() >= 30; }, 200);
  EXPECT_GE(to_page2, 119);
  ASSERT_GE(FramesUntil([&] { return Step() == 32; }, 200), 0);
  Frame();
  SaveFrame("trust_page2");
  for (int i = 0; i < 6; ++i) {
    const CTamvikTrust::PanelRow& row = trust().rows()[i];
    const uint8_t unit = trust().panels()[i].face_unit;
    if (row.code == CTamvikTrust::kYsol) {
      EXPECT_EQ(unit, 24) << "YSOL shows the blank card before chapter 4";
      EXPECT_EQ(trust().panels()[i].text_page, 0);
    } else {
      EXPECT_EQ(unit, trust().ChooseFace(row.code, 2, row.trust, 3)) << i;
      EXPECT_EQ(FaceShown(i), FaceColour(unit)) << i;
    }
  }
  // Key 7 (left) before 31 frames of the page does nothing; after, back to page 1.
  Press(kGameKeyLeft);
  Frames(3);
  EXPECT_EQ(Step(), 32);
  Frames(30);
  Press(kGameKeyLeft);
  Frames(2);
  EXPECT_GE(Step(), 33);
  ASSERT_GE(FramesUntil([&] { return Step() == 35; }, 200), 0);
  EXPECT_EQ(trust().panels()[0].face_mode, 1);
  // Cancel closes from page 1 as well.
  Frames(31);
  Press(kGameKey1);
  ASSERT_GE(FramesUntil([&] { return !CTamvikTrust::IsCheckKaoPanelRunning(); }, 200), 0);
  EXPECT_FALSE(trust().HoldsAnything());
}

TEST_P(TrustShowing, OwnerGoneTakesTheShowingWithIt) {
  Begin(0x0501, 0);
  ASSERT_GE(FramesUntil([&] { return Step() == 21; }, 100), 0);
  Ctx().game_task.DelTask(owner);
  Frame();
  EXPECT_FALSE(CTamvikTrust::IsCheckKaoPanelRunning());
  EXPECT_FALSE(trust().HoldsAnything());
}

INSTANTIATE_TEST_SUITE_P(Layouts, TrustShowing,
                         ::testing::Values(platform::PixelLayout::kRgb565,
                                           platform::PixelLayout::kRgb555));

TEST(TrustMissingFiles, ShowingRunsToItsEndWithoutThePictures) {
  ProgramDriver::Options options;
  options.boot = [] {};
  ProgramDriver d(options);
  ASSERT_TRUE(d.Start());
  GetAdvState()->setSceneCode(0x0100);
  ASSERT_EQ(CTamvikTrust::StartCheckKaoPanel(nullptr), 1);
  ASSERT_TRUE(d.Run(200));
  d.Schedule({testsupport::GameKeyDown(d.frame() + 1, kGameKey0)});
  for (int i = 0; i < 200 && CTamvikTrust::IsCheckKaoPanelRunning(); ++i) d.Step();
  EXPECT_FALSE(CTamvikTrust::IsCheckKaoPanelRunning());
  EXPECT_FALSE(d.scene.trust.HoldsAnything());
}

}  // namespace
