// The eyecatch on the headless program: the opening (fade, picture, music, the turn to the
// menu), the menu input with and without the save lock, the save entry through a fake save
// menu, and the back entry with the music faded out and nothing left held.

#include "scene/ui/tamvik_icat.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <string>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "testsupport/eyecatch_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/system_se_starts.h"
#include "testsupport/scene_files.h"
#include "testsupport/test_scene.h"

namespace {

using testsupport::ProgramDriver;

constexpr const char* kSaveMenuTask = "CTamvikBup::AdvSaveMenu";

uint16_t Pack(testsupport::SprRgb colour) {
  return platform::PackColorRef(testsupport::SprColourRef(colour), platform::PixelLayout::kRgb565);
}

// The fake save menu: a task under the owner that, as the real menu does, ends the pointer task
// while it runs, and ends by itself after a few frames.
struct SaveMenuWork {
  uint8_t form;
  uint8_t step;
  uint8_t mode;
  uint8_t frames;
  uint8_t rest[12];
};

void FakeSaveMenu(GameTaskRec* task) {
  auto* work = TaskWorkAs<SaveMenuWork>(task);
  if (CTamvikIcon::IsMouseCursorSeq()) CTamvikIcon::EndMouseCursorSeq();
  if (++work->frames >= 6) Ctx().game_task.DelTask(task);
}

class IcatRun : public ::testing::Test {
 protected:
  static ProgramDriver::Options Options() {
    ProgramDriver::Options options;
    options.boot = [] { TamvikFunc::LoadSystemSe(); };
    return options;
  }

  IcatRun() : d(Options()) {}

  // Starts the program in chapter 3 and the eyecatch; the fake save menu in place.
  void Begin(uint16_t save_flags = 0) {
    testsupport::LaySceneFiles(d.tree);
    testsupport::LayEyecatchFiles(d.tree);
    ASSERT_TRUE(d.Start());
    d.sequences().save_menu.start = [this](GameTaskRec* owner, int mode) {
      ++save_menu_starts;
      save_menu_owner = owner;
      save_menu_mode = mode;
      auto* work = TaskNewBlock<SaveMenuWork>();
      Ctx().game_task.SetTask(owner, &FakeSaveMenu, kSaveMenuTask, work, nullptr);
    };
    d.sequences().save_menu.is_running = [] {
      return Ctx().game_task.FindTask(kSaveMenuTask) != nullptr;
    };
    GetAdvState()->setSceneCode(0x0300);
    GetSystemData()->setSaveFlags(save_flags);
    task = CTamvikIcat::StartIcat_SvCnt();
    ASSERT_NE(task, nullptr);
  }

  // Runs until the menu reads input (step 12).
  void OpenMenu() {
    ASSERT_GE(FramesUntil([&] { return Step() == 12; }, 260), 0);
  }

  CTamvikIcat& icat() { return d.scene.icat; }
  int Step() const {
    GameTaskRec* t = Ctx().game_task.FindTask(CTamvikIcat::kTaskName);
    return t == nullptr ? -1 : TaskStep(t);
  }
  CTamvikIcat::State& State() {
    return *static_cast<CTamvikIcat::State*>(Ctx().game_task.FindTask(CTamvikIcat::kTaskName)->extra);
  }
  // One frame, counting the starts of system sounds 1-5 (static slots 0-4): a slot that began
  // playing, or whose play position went back (started again while it played).
  bool Frame() {
    const bool running = d.Step();
    sounds.Observe();
    SaveFrame();
    return running;
  }
  bool Frames(int n) {
    for (int i = 0; i < n; ++i) {
      if (!Frame()) return false;
    }
    return true;
  }
  int FramesUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i <= limit; ++i) {
      if (done()) return i;
      if (!Frame()) return -1;
    }
    return -1;
  }
  // TAMVIK_ICAT_FRAMES=<folder>: every presented frame as <test>_<frame>.png.
  void SaveFrame() {
    const char* dir = std::getenv("TAMVIK_ICAT_FRAMES");
    if (dir == nullptr) return;
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    d.display().SaveFramePng(std::string(dir) + "/icat_" + test + "_" +
                             std::to_string(d.frame()) + ".png");
  }
  // A game key pressed for one frame (down before frame +1, up before +2), optionally with the
  // pointer moved in the same frame.
  void Press(uint32_t game_key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, game_key),
                testsupport::GameKeyUp(d.frame() + 2, game_key)});
  }
  void Point(int x, int y) { d.Schedule(testsupport::PointerMove(d.frame() + 1, x, y)); }
  void ClearSounds() { sounds.ClearCounts(); }
  uint16_t Shown(int x, int y) { return d.display().FramePixel(x, y); }
  // Whether the presented frame holds any other colour inside the rectangle.
  bool ShowsOtherThan(Rect r, uint16_t colour) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        if (Shown(x, y) != colour) return true;
      }
    }
    return false;
  }
  uint16_t RootPixel(int x, int y) {
    return Ctx().ddraw.GetSurface(SURFACE_ROOT)->Row(y)[x];
  }

  ProgramDriver d;
  GameTaskRec* task = nullptr;
  testsupport::SystemSeStarts<5> sounds;
  int save_menu_starts = 0;
  GameTaskRec* save_menu_owner = nullptr;
  int save_menu_mode = -1;
};

// A point of the window's face outside its text area, on the turn's axis.
constexpr int kFaceX = (CTamvikIcat::kFrame.left + CTamvikIcat::kFrame.right) / 2;
constexpr int kFaceY = CTamvikIcat::kFrame.bottom - 6;

// Entry 0's line: from the text area's left + 38 and top + 48, one glyph row high.
constexpr int kEntry0Top = CTamvikIcat::kInner.top + CTamvikIcat::kEntryY;
constexpr Rect kEntry0Line{CTamvikIcat::kInner.left + CTamvikIcat::kEntryX, kEntry0Top,
                           CTamvikIcat::kInner.right, kEntry0Top + 24};

// A point inside entry i's hit area, away from the other entries'.
int EntryX() { return CTamvikIcat::kInner.left + 50; }
int EntryY(int i) { return CTamvikIcat::EntryHitArea(i).top + 20; }

TEST(IcatTexts, MenuTextsAreTheBig5Entries) {
  testsupport::TestScene t;
  const CTamvikIcat& icat = t.scene().icat;
  EXPECT_EQ(icat.MenuText(0), Big5FromUtf8(" 　存 檔 　").value_or("?"));
  EXPECT_EQ(icat.MenuText(1), Big5FromUtf8("隊 員 狀 況").value_or("?"));
  EXPECT_EQ(icat.MenuText(2), Big5FromUtf8("重 開 遊 戲").value_or("?"));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(icat.MenuText(i).empty()) << i;
}

TEST_F(IcatRun, StartPreparesTheLayersAndTheTaskHasNoOwner) {
  testsupport::LaySceneFiles(d.tree);
  testsupport::LayEyecatchFiles(d.tree);
  ASSERT_TRUE(d.Start());
  CDdrawFunc& ddraw = Ctx().ddraw;
  ADVShowWindow();
  ASSERT_TRUE(TamvikFunc::HasMessageWindow());
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    ddraw.SetVisible(id, 1);
    ddraw.SetLayerScroll(id, 5, 7);
  }
  if (ddraw.GetLayerIndex(SURFACE_BG) < ddraw.GetLayerIndex(SURFACE_FG)) {
    ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  }
  ddraw.SetVisible(SURFACE_TEXT, 0);
  GameTaskRec* started = CTamvikIcat::StartIcat_SvCnt();
  ASSERT_NE(started, nullptr);
  EXPECT_EQ(started->owner, nullptr);
  EXPECT_EQ(Ctx().game_task.FindTask(CTamvikIcat::kTaskName), started);
  EXPECT_TRUE(CTamvikIcat::IsIcat_SvCnt());
  EXPECT_TRUE(d.sequences().eyecatch.IsRunning());
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    EXPECT_FALSE(ddraw.IsVisible(id)) << id;
    int x = -1, y = -1;
    ddraw.GetLayerScroll(id, &x, &y);
    EXPECT_EQ(x, 0) << id;
    EXPECT_EQ(y, 0) << id;
  }
  EXPECT_TRUE(ddraw.IsVisible(SURFACE_TEXT));
  EXPECT_LT(ddraw.GetLayerIndex(SURFACE_BG), ddraw.GetLayerIndex(SURFACE_FG));
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
}

TEST_F(IcatRun, OpeningFadesToThePictureWithTheMusicAndTurnsToTheMenu) {
  Begin();
  CDdrawFunc& ddraw = Ctx().ddraw;
  // The 1000 ms fade to black: about 59 frames at 17 ms.
  const int to_black = FramesUntil([&] { return Step() >= 2; }, 100);
  EXPECT_GE(to_black, 55);
  EXPECT_LE(to_black, 64);
  EXPECT_EQ(ddraw.GetFadeLevel(), 256);
  // The chapter's picture on surface 4, the faces' file held, the window with its closed face.
  EXPECT_EQ(RootPixel(100, 100), Pack(testsupport::EyecatchPictureColour(300)));
  ASSERT_NE(icat().window(), nullptr);
  Frame();
  EXPECT_FALSE(Ctx().dsound.IsBGMStop());
  const char* music = Ctx().dsound.GetPlayFileName(kChannelBgm);
  ASSERT_NE(music, nullptr);
  EXPECT_NE(std::string(music).find("tamvik1\\bgm\\sm01.wav"), std::string::npos) << music;
  // The fade in, then the turn to the open face and the menu.
  ASSERT_GE(FramesUntil([&] { return Step() >= 10; }, 100), 0);
  EXPECT_EQ(ddraw.GetFadeLevel(), 0);
  Frame();
  EXPECT_EQ(Shown(100, 100), Pack(testsupport::EyecatchPictureColour(300)));
  EXPECT_EQ(Shown(kFaceX, kFaceY), Pack(testsupport::IcatFaceColour(0)));
  ASSERT_GE(FramesUntil([&] { return Step() == 11; }, 12), 0);
  EXPECT_EQ(State().menu_shown, 0);
  OpenMenu();
  Frame();
  EXPECT_EQ(State().menu_shown, 1);
  EXPECT_EQ(State().selection, 0);
  EXPECT_EQ(Shown(kFaceX, kFaceY), Pack(testsupport::IcatFaceColour(1)));
  // Entry 0's glyphs are drawn over the open face.
  EXPECT_TRUE(ShowsOtherThan(kEntry0Line, Pack(testsupport::IcatFaceColour(1))));
}

TEST_F(IcatRun, SaveLockedStartsOnEntryOneAndEntryZeroCannotBeReachedOrDecided) {
  Begin(0x0002);
  OpenMenu();
  EXPECT_EQ(State().save_locked, 1);
  EXPECT_EQ(State().selection, 1);
  // Keys: up from the first selectable entry wraps to 2, down from 2 to 1.
  struct Case {
    uint32_t key;
    int selection;
  };
  const Case keys[] = {{kGameKeyUp, 2}, {kGameKeyUp, 1}, {kGameKeyUp, 2}, {kGameKeyDown, 1},
                       {kGameKeyDown, 2}, {kGameKeyDown, 1}};
  for (const Case& c : keys) {
    ClearSounds();
    Press(c.key);
    Frames(2);
    EXPECT_EQ(State().selection, c.selection) << c.key;
    EXPECT_EQ(sounds[3], 1) << c.key;
  }
  // The mouse over entry 0's band changes nothing.
  ClearSounds();
  Point(EntryX(), EntryY(0));
  Frames(2);
  EXPECT_EQ(State().selection, 1);
  EXPECT_EQ(sounds[3], 0);
  // Decide on entry 0 selected before the lock: refused, the menu stays.
  State().selection = 0;
  ClearSounds();
  Press(kGameKey0);
  Frames(3);
  EXPECT_EQ(Step(), 12);
  EXPECT_EQ(sounds[5], 1);
  EXPECT_EQ(sounds[4], 0);
  EXPECT_EQ(save_menu_starts, 0);
}

TEST_F(IcatRun, MouseOverAnEntrySelectsItOnceAndTheKeysWaitForAStillMouse) {
  Begin();
  OpenMenu();
  ASSERT_EQ(State().selection, 0);
  // The pointer onto entry 2 with down pressed in the same frame: the mouse wins.
  ClearSounds();
  d.Schedule({testsupport::PointerMove(d.frame() + 1, EntryX(), EntryY(2)),
              testsupport::GameKeyDown(d.frame() + 1, kGameKeyDown),
              testsupport::GameKeyUp(d.frame() + 2, kGameKeyDown)});
  Frames(3);
  EXPECT_EQ(State().selection, 2);
  EXPECT_EQ(sounds[3], 1);
  // Moving inside the same entry: no change, no sound.
  Point(EntryX() + 10, EntryY(2) + 2);
  Frames(2);
  EXPECT_EQ(State().selection, 2);
  EXPECT_EQ(sounds[3], 1);
  // The mouse still: down on 2 wraps to 0, up on 0 wraps to 2.
  Press(kGameKeyDown);
  Frames(2);
  EXPECT_EQ(State().selection, 0);
  Press(kGameKeyUp);
  Frames(2);
  EXPECT_EQ(State().selection, 2);
  EXPECT_EQ(sounds[3], 3);
}

TEST_F(IcatRun, SaveEntryOpensTheFakeSaveMenuOwnedByTheTaskAndReopensOnTheSameEntry) {
  Begin();
  OpenMenu();
  ASSERT_EQ(State().selection, 0);
  ClearSounds();
  Press(kGameKey0);
  ASSERT_GE(FramesUntil([&] { return Step() >= 21; }, 5), 0);
  EXPECT_EQ(sounds[4], 1);
  EXPECT_TRUE(d.trace().Contains("Select ADV SAVE"));
  // The window closes and goes; the save menu's background cross-fades in.
  ASSERT_GE(FramesUntil([&] { return icat().window() == nullptr; }, 40), 0);
  ASSERT_GE(FramesUntil([&] { return save_menu_starts == 1; }, 120), 0);
  EXPECT_EQ(save_menu_owner, task);
  EXPECT_EQ(save_menu_mode, 1);
  EXPECT_EQ(Shown(100, 100), Pack(testsupport::SaveBackgroundColour()));
  // The menu went with the window: nothing of it stays over the save menu's picture.
  EXPECT_FALSE(ShowsOtherThan(kEntry0Line, Pack(testsupport::SaveBackgroundColour())));
  // While the fake ends the pointer task, the eyecatch starts it again; after it, the eyecatch
  // picture comes back and the window opens again on the same entry.
  ASSERT_GE(FramesUntil([&] { return Step() >= 25; }, 20), 0);
  ASSERT_GE(FramesUntil([&] { return Step() == 12; }, 120), 0);
  Frame();
  EXPECT_TRUE(CTamvikIcon::IsMouseCursorSeq());
  ASSERT_NE(icat().window(), nullptr);
  EXPECT_EQ(State().selection, 0);
  EXPECT_EQ(State().menu_shown, 1);
  EXPECT_EQ(sounds[1], 1);
  EXPECT_EQ(RootPixel(100, 100), Pack(testsupport::EyecatchPictureColour(300)));
  EXPECT_EQ(Shown(100, 100), Pack(testsupport::EyecatchPictureColour(300)));
}

TEST_F(IcatRun, BackEntryFadesTheMusicOutLeavesTheClosedFaceAndHoldsNothing) {
  Begin();
  OpenMenu();
  Press(kGameKeyUp);  // 0 -> 2
  Frames(2);
  ASSERT_EQ(State().selection, 2);
  Press(kGameKey0);
  ASSERT_GE(FramesUntil([&] { return Step() >= 92; }, 80), 0);
  EXPECT_EQ(State().menu_shown, 0);
  ASSERT_FALSE(Ctx().dsound.IsBGMStop());
  // The BGM fades over 60 frames; then volume 100 and stopped, and the task ends.
  const int fade_start = d.frame();
  Frames(30);
  const int halfway = Ctx().dsound.GetBGMVolume();
  EXPECT_GT(halfway, 10);
  EXPECT_LT(halfway, 90);
  ASSERT_GE(FramesUntil([&] { return Step() != 92 && Step() != 93; }, 70), 0);
  const int fade = d.frame() - fade_start;
  EXPECT_GE(fade, 58);
  EXPECT_LE(fade, 66);
  ASSERT_GE(FramesUntil([&] { return !CTamvikIcat::IsIcat_SvCnt(); }, 5), 0);
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  EXPECT_TRUE(d.trace().Contains("EyeCatch Exit"));
  EXPECT_EQ(RootPixel(CTamvikIcat::kFrame.left + 4, CTamvikIcat::kFrame.top + 4),
            Pack(testsupport::IcatFaceColour(0)));
  EXPECT_EQ(RootPixel(100, 100), Pack(testsupport::EyecatchPictureColour(300)));
  EXPECT_FALSE(icat().HoldsAnything());
}

}  // namespace
