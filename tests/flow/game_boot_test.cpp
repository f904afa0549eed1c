#include "flow/game_boot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/faulty_files.h"
#include "testsupport/icon_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/save_data_builder.h"
#include "testsupport/wav_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/test_game.h"
#include "testsupport/test_scene.h"

namespace {

TEST(CheckInstall, PresentInstallPassesQuietly) {
  testsupport::TempTree tree;
  testsupport::TestEngine engine;
  engine.host.config.Set("Install Directory", tree.root());
  EXPECT_EQ(CheckInstall(), 1);
  EXPECT_TRUE(engine.host.window.boxes.empty());
  EXPECT_EQ(AppIsQuit(), 0u);
  EXPECT_EQ(AppGetExitStatus(), kExitNormal);
}

TEST(CheckInstall, MissingInstallShowsItsBoxWithTheCauseAndAsksToQuit) {
  testsupport::TestEngine engine;
  engine.ctx().frame_rate.main_window = &engine.host.window;
  engine.host.config.Set("Install Style", "1");
  EXPECT_EQ(CheckInstall(), 0);
  ASSERT_EQ(engine.host.window.boxes.size(), 1u);
  EXPECT_TRUE(engine.host.window.boxes[0].owned);
  EXPECT_EQ(engine.host.window.boxes[0].caption, "ERROR");
  EXPECT_EQ(engine.host.window.boxes[0].text,
            "没有安装TAMVIKＰＣ版\nThe settings file needs the line \"Install Directory = <the folder "
            "with the game's files>\"\n(no value \"Install Directory\" in the settings)");
  EXPECT_EQ(AppIsQuit(), 1u);
  EXPECT_EQ(AppGetExitStatus(), kExitNotInstalled);
}

TEST(CheckInstall, BeforeTheWindowExistsTheBoxHasNoOwner) {
  testsupport::TestEngine engine;
  EXPECT_EQ(CheckInstall(), 0);
  ASSERT_EQ(engine.host.window.boxes.size(), 1u);
  EXPECT_FALSE(engine.host.window.boxes[0].owned);
}

TEST(GameBoot, CreatesTheModeManagerInModeZero) {
  testsupport::TestScene scene;
  GameBootInit();
  GameTaskRec* manager = Ctx().game_task.FindTask("CTamvikGeneral::GeneralManeger");
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->owner, nullptr);
  ASSERT_NE(manager->work, nullptr);
  const TaskWork zero{};
  EXPECT_EQ(std::memcmp(manager->work, &zero, sizeof zero), 0);
  EXPECT_EQ(TaskStep(manager), 0);
  // The manager keeps running from frame to frame.
  Ctx().game_task.ExecTask();
  Ctx().game_task.ExecTask();
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikGeneral::GeneralManeger"), manager);
}

// The program started headless on a tree holding a system.dat (when given) and the 17 system
// sounds, every file open logged.
struct BootRig {
  explicit BootRig(const std::vector<uint8_t>* system_dat, bool pointer = false) {
    if (system_dat != nullptr) d.tree.Write("install/save/system.dat", *system_dat);
    if (pointer) d.tree.Write("install/tamvik1/system/ICON/point.SPR", testsupport::PointerSprFile());
    d.tree.Write("install/save/key.dat", std::vector<uint8_t>(32, 0));
    const auto wav = testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(64, 1000)).Bytes();
    for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
      std::string name = TamvikFunc::SystemSeNames()[i];
      for (char& c : name) c = c == '\\' ? '/' : c;
      d.tree.Write("install/" + name, wav);
    }
    d.host().seams().files = &files;
    started = d.Start();
  }
  ~BootRig() { d.host().seams().files = &d.host().files; }
  // Position of the first logged open whose path contains the fragment; -1 when none.
  int Opened(const std::string& fragment) const {
    for (size_t i = 0; i < files.opened.size(); ++i) {
      if (files.opened[i].find(fragment) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
  }

  testsupport::ProgramDriver d;
  testsupport::FaultyFiles files{d.host().files};
  bool started = false;
};

TEST(GameBoot, KeepsTheSystemDataButClearsTheResumePointAndTheDeveloperSwitches) {
  testsupport::ByteBuilder file(272);
  for (size_t i = 0; i < 272; ++i) file.U8(i, static_cast<uint8_t>(i + 1));
  file.U32(12, 5).U32(256, 1).U32(260, 1).U32(264, 1).U32(268, 1);
  BootRig rig(&file.bytes());
  ASSERT_TRUE(rig.started);
  testsupport::ByteBuilder want = file;
  want.U32(12, 0).U32(256, 0).U32(260, 0).U32(264, 0).U32(268, 0);
  const SystemData& s = *GetSystemData();
  EXPECT_EQ(std::vector<uint8_t>(s.bytes(), s.bytes() + 272), want.bytes());
}

TEST(GameBoot, RunsItsStepsInOrder) {
  BootRig rig(nullptr);
  ASSERT_TRUE(rig.started);
  // No system.dat: the defaults.
  EXPECT_EQ(GetSystemData()->cursorSpeed(), 2);
  EXPECT_EQ(GetSystemData()->resumePoint(), 0u);
  // The files in the order the boot reads them.
  const int system = rig.Opened("system.dat");
  const int first_se = rig.Opened("TE00.WAV");
  const int last_se = rig.Opened("TE16.WAV");
  const int keys = rig.Opened("key.dat");
  ASSERT_GE(system, 0);
  EXPECT_LT(system, first_se);
  EXPECT_LT(first_se, last_se);
  EXPECT_LT(last_se, keys);
  // The 17 system sounds, in slots 0-16.
  for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
    EXPECT_NE(Ctx().dsound.static_se.slot[static_cast<size_t>(i)], nullptr) << i;
  }
  EXPECT_EQ(Ctx().dsound.static_se.slot[17], nullptr);
  // Then the restart: debug surfaces hidden, the pointer task and the manager.
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_DEBUG), 0u);
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_DEBUG2), 0u);
  EXPECT_TRUE(CTamvikIcon::IsMouseCursorSeq());
  EXPECT_NE(Ctx().game_task.FindTask(CTamvikGeneral::kManagerTaskName), nullptr);
  EXPECT_TRUE(rig.d.Run(3));
  EXPECT_TRUE(CTamvikIcon::IsMouseCursorSeq()) << "the pointer task keeps running";
}

TEST(GameBoot, ASecondRestartStartsNoSecondPointerTask) {
  testsupport::TestGame game;
  GameRestart();
  GameRestart();
  int pointers = 0;
  for (GameTaskRec* t = Ctx().game_task.FindTask(CTamvikIcon::kMouseCursorTaskName); t != nullptr;
       t = t->next) {
    if (t->name == CTamvikIcon::kMouseCursorTaskName) ++pointers;
  }
  EXPECT_EQ(pointers, 1);
  EXPECT_EQ(CTamvikIcon::StartMouseCursorSeq(), 0);
}

TEST(GameBoot, ThePointerTaskIsTheRealOneAndFollowsTheMouse) {
  BootRig rig(nullptr, /*pointer=*/true);
  ASSERT_TRUE(rig.started);
  const SceneContext& scene = rig.d.scene;
  ASSERT_TRUE(rig.d.RunUntil("pointer shown", [&](const testsupport::ProgramDriver&) {
    return scene.icon.pointer_anime != nullptr;
  }, 5));
  ASSERT_NE(scene.icon.pointer_file, nullptr);
  EXPECT_EQ(AppIsCursorShown(), 0u);
  // The boot's sequences hide it before the first scene shows it again (as a scene's start
  // does); from then on it follows the mouse.
  ASSERT_TRUE(rig.d.Run(20));
  CTamvikIcon::ShowMouseCursor();
  const uint16_t yellow = platform::PackColorRef(
      testsupport::SprColourRef(testsupport::kPointerColour), platform::PixelLayout::kRgb565);
  for (const auto& [x, y] : {std::pair{150, 120}, std::pair{420, 330}}) {
    rig.d.Schedule(testsupport::PointerMove(rig.d.frame() + 1, x, y));
    Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    ASSERT_TRUE(rig.d.Step());
    EXPECT_EQ(rig.d.display().FramePixel(x + 2, y + 2), yellow) << x;
  }
  int pointers = 0;
  for (GameTaskRec* t = Ctx().game_task.root(); t != nullptr; t = t->next) {
    if (t->name == CTamvikIcon::kMouseCursorTaskName && !t->deleted) ++pointers;
  }
  EXPECT_EQ(pointers, 1);
}

TEST(GameBoot, GameExitAsksToQuit) {
  testsupport::TestGame game;
  EXPECT_EQ(AppIsQuit(), 0u);
  GameExit();
  EXPECT_EQ(AppIsQuit(), 1u);
}

}  // namespace
