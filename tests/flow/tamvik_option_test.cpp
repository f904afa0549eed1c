// The options on the headless program: the option menu's flags, rows and actions (the load menu
// through a fake, leave, the sub-screens), the key and pad menus with their group rules and
// save\key.dat, the item viewer and the quit confirmation, each driven by injected keys and mouse.

#include "flow/tamvik_option.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/input.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/faulty_files.h"
#include "tests/flow/flow_test_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/system_se_starts.h"
#include "testsupport/scene_files.h"
#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::SprImage;
using testsupport::SprRgb;
using flow_test::PlainPicture;
using flow_test::SpriteFileHeld;
using flow_test::SquaresFile;

constexpr const char* kOwnerTask = "Test::Owner";
constexpr const char* kSaveMenuTask = "CTamvikBup::AdvSaveMenu";

void Idle(GameTaskRec*) {}

// An animation file whose one sprite (unit 0, animation 0) is a plain picture of one colour.
std::vector<uint8_t> PlainAnimFile(int width, int height, SprRgb colour) {
  return testsupport::AnimationFile(
      {{0, 0, 0}, colour},
      {SprImage(static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                testsupport::kSprDepth8, 0,
                testsupport::Encode8Bit(std::vector<uint8_t>(static_cast<size_t>(width * height), 1)))},
      {{testsupport::BoxEntry(0, 0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height))}},
      {{{0, 10}}});
}

constexpr SprRgb kItem07Colour{28, 4, 28};

// The program started headless with the options' files, the system sounds, a key.dat and an idle
// owner task; every file open goes through a fault wrapper.
class OptionRig {
 public:
  explicit OptionRig(bool joystick = false) : d(Options()) {
    const auto wav = testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(1102, 2000)).Bytes();
    for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
      std::string name = TamvikFunc::SystemSeNames()[i];
      for (char& c : name) c = c == '\\' ? '/' : c;
      d.tree.Write("install/" + name, wav);
    }
    d.tree.Write("install/save/key.dat", std::vector<uint8_t>(32, 0));
    d.tree.Write("install/tamvik1/system/option.spr",
                 PlainAnimFile(512, 386, SprRgb{30, 30, 26}));
    d.tree.Write("install/tamvik1/system/exit_w.spr", PlainAnimFile(512, 48, SprRgb{30, 30, 30}));
    d.tree.Write("install/tamvik1/item/itemicon.spr", SquaresFile(10, 32));
    d.tree.Write("install/tamvik1/item/item07.spr", PlainPicture(64, 48, kItem07Colour));
    d.host().input.joystick_attached = joystick;
    d.host().seams().files = &files;
    started = d.Start();
    if (!started) return;
    Ctx().game_task.SetTaskSimple(nullptr, &Idle, kOwnerTask);
    owner = Ctx().game_task.FindTask(kOwnerTask);
  }
  ~OptionRig() { d.host().seams().files = &d.host().files; }

  static testsupport::ProgramDriver::Options Options() {
    testsupport::ProgramDriver::Options options;
    options.boot = [] { TamvikFunc::LoadSystemSe(); };
    return options;
  }

  // One frame, counting the starts of system sounds 1-5 (static slots 0-4).
  bool Frame() {
    const bool running = d.Step();
    sounds.Observe();
    return running;
  }
  bool Frames(int n) {
    for (int i = 0; i < n; ++i) {
      if (!Frame()) return false;
    }
    return true;
  }
  bool Until(const std::function<bool()>& done, int limit = 60) {
    for (int i = 0; i <= limit; ++i) {
      if (done()) return true;
      if (!Frame()) return false;
    }
    return false;
  }
  static int StepOf(const char* name) {
    GameTaskRec* t = Ctx().game_task.FindTask(name);
    return t == nullptr ? -1 : TaskStep(t);
  }
  // A game key pressed for one frame; the frames after it run.
  void Press(uint32_t game_key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, game_key),
                testsupport::GameKeyUp(d.frame() + 2, game_key)});
    Frames(2);
  }
  void PressTimes(uint32_t game_key, int times) {
    for (int i = 0; i < times; ++i) Press(game_key);
  }
  // A keyboard key by its code.
  void Key(uint8_t code) {
    d.Schedule({testsupport::KeyDown(d.frame() + 1, code), testsupport::KeyUp(d.frame() + 2, code)});
    Frames(2);
  }
  void Point(int x, int y) {
    d.Schedule(testsupport::PointerMove(d.frame() + 1, x, y));
    Frames(1);
  }
  void ClearSounds() { sounds.ClearCounts(); }

  // Opens the option menu with the flags and runs until it reads its rows.
  bool OpenOption(uint32_t flags) {
    CTamvikOption::SetReturnMode(flags);
    CTamvikOption::StartOptionMenu(owner);
    return Until([] { return StepOf(CTamvikOption::kOptionMenuName) == 2; });
  }
  CTamvikOption::OptionState& Opt() {
    return *static_cast<CTamvikOption::OptionState*>(
        Ctx().game_task.FindTask(CTamvikOption::kOptionMenuName)->extra);
  }
  // Opens the key (row 3, choice 0) or pad menu (choice 1) from the option menu and runs until
  // it reads its entries.
  bool OpenKeyMenu(bool pad) {
    if (!OpenOption(0)) return false;
    PressTimes(kGameKeyDown, 3);
    if (pad) Press(kGameKeyRight);
    Press(kGameKey0);
    const char* name = pad ? CTamvikOption::kPadMenuName : CTamvikOption::kKeyMenuName;
    return Until([name] { return StepOf(name) == 2; });
  }
  CTamvikOption::KeyState& Keys(bool pad = false) {
    return *static_cast<CTamvikOption::KeyState*>(
        Ctx().game_task.FindTask(pad ? CTamvikOption::kPadMenuName : CTamvikOption::kKeyMenuName)
            ->extra);
  }
  // Moves the key menu's cursor to entry n by the down key.
  void GoToEntry(int n, bool pad = false) {
    while (Keys(pad).entry != n) Press(kGameKeyDown);
  }

  testsupport::ProgramDriver d;
  testsupport::FaultyFiles files{d.host().files};
  bool started = false;
  GameTaskRec* owner = nullptr;
  testsupport::SystemSeStarts<5> sounds;
};

// ---- The option menu ----

TEST(OptionMenu, FlagsDecideTheOpeningTheRowsAndTheFirstRowsChoices) {
  struct Case {
    uint32_t flags;
    bool opens;
    int last_row;      // where up from row 0 lands
    std::set<int> offered;
  };
  const Case cases[] = {
      {0x0001, false, 0, {}},
      {0x0110, true, 3, {1, 2}},
      {0x0000, true, 4, {0, 1, 2}},
      {0x1000, true, 4, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    OptionRig rig;
    ASSERT_TRUE(rig.started);
    CTamvikOption::SetReturnMode(c.flags);
    if (!c.opens) {
      EXPECT_EQ(CTamvikOption::StartOptionMenu(rig.owner), 1);
      rig.Frames(2);
      EXPECT_TRUE(CTamvikOption::IsOptionMenuEnd());
      continue;
    }
    ASSERT_TRUE(rig.OpenOption(c.flags));
    // Left through the first row's choices: every offered one and no other comes round.
    std::set<int> seen{rig.Opt().fileChoice};
    for (int i = 0; i < 4; ++i) {
      rig.Press(kGameKeyLeft);
      seen.insert(rig.Opt().fileChoice);
    }
    EXPECT_EQ(seen, c.offered);
    rig.Press(kGameKeyUp);
    EXPECT_EQ(rig.Opt().row, c.last_row);
    rig.Press(kGameKeyDown);
    EXPECT_EQ(rig.Opt().row, 0);
  }
}

TEST(OptionMenu, CursorSpeedAndVoiceChangeAtOnceAndWrap) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  GetSystemData()->setCursorSpeed(2);
  GetSystemData()->setVoiceOff(0);
  ASSERT_TRUE(rig.OpenOption(0));
  rig.Press(kGameKeyDown);
  rig.ClearSounds();
  const int rights[] = {3, 4, 0, 1};
  for (int want : rights) {
    rig.Press(kGameKeyRight);
    EXPECT_EQ(GetSystemData()->cursorSpeed(), want);
  }
  rig.Press(kGameKeyLeft);
  rig.Press(kGameKeyLeft);
  EXPECT_EQ(GetSystemData()->cursorSpeed(), 4);
  EXPECT_EQ(rig.sounds[3], 6);
  rig.Press(kGameKeyDown);
  rig.Press(kGameKeyRight);
  EXPECT_EQ(GetSystemData()->voiceOff(), 1);
  rig.Press(kGameKeyLeft);
  EXPECT_EQ(GetSystemData()->voiceOff(), 0);
  EXPECT_EQ(rig.sounds[4], 0) << "no decide was needed";
}

TEST(OptionMenu, CancelAndShiftLeaveAndReleaseEverything) {
  for (uint32_t key : {kGameKey1, TamvikFunc::GetKeyMask(4)}) {
    SCOPED_TRACE(key);
    OptionRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.OpenOption(0));
    EXPECT_TRUE(SpriteFileHeld(CTamvikOption::kOptionFile));
    rig.Press(key);
    ASSERT_TRUE(rig.Until([] { return CTamvikOption::IsOptionMenuEnd(); }));
    EXPECT_TRUE(rig.d.trace().Contains("OptionMenuSeq Terminated"));
    EXPECT_EQ(Ctx().ddraw_window.head(), nullptr);
    EXPECT_FALSE(SpriteFileHeld(CTamvikOption::kOptionFile));
    EXPECT_FALSE(SpriteFileHeld(CTamvikOption::kItemIconFile));
  }
}

// The load entry opens the slot menu in load form under the option task; after a load the menu
// ends and clears the loaded flag, after a cancel it opens again.
TEST(OptionMenu, LoadEntryEndsAfterALoadAndReopensAfterACancel) {
  for (bool loads : {true, false}) {
    SCOPED_TRACE(loads);
    OptionRig rig;
    ASSERT_TRUE(rig.started);
    bool loaded = false;
    int starts = 0, mode = -1;
    GameTaskRec* menu_owner = nullptr;
    GameSequences& s = rig.d.sequences();
    s.save_menu.start = [&](GameTaskRec* owner, int m) {
      ++starts;
      mode = m;
      menu_owner = owner;
      Ctx().game_task.SetTaskSimple(owner, &Idle, kSaveMenuTask);
    };
    s.save_menu.is_running = [] { return Ctx().game_task.FindTask(kSaveMenuTask) != nullptr; };
    s.save_menu_loaded = [&] { return loaded; };
    s.save_menu_clear_loaded = [&] { loaded = false; };
    ASSERT_TRUE(rig.OpenOption(0));
    rig.Press(kGameKeyLeft);
    ASSERT_EQ(rig.Opt().fileChoice, 0);
    rig.Press(kGameKey0);
    ASSERT_TRUE(rig.Until([&] { return starts == 1; }));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(menu_owner, Ctx().game_task.FindTask(CTamvikOption::kOptionMenuName));
    loaded = loads;
    Ctx().game_task.DelTask(Ctx().game_task.FindTask(kSaveMenuTask));
    if (loads) {
      ASSERT_TRUE(rig.Until([] { return CTamvikOption::IsOptionMenuEnd(); }));
      EXPECT_FALSE(loaded);
    } else {
      ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kOptionMenuName) == 2; }));
      EXPECT_NE(Ctx().ddraw_window.head(), nullptr);
    }
  }
}

TEST(OptionMenu, QuitEntryRunsTheConfirmationAndOpensAgainAfterNo) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.OpenOption(0));
  rig.Press(kGameKeyRight);
  ASSERT_EQ(rig.Opt().fileChoice, 2);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kExitSeqName) == 2; }));
  rig.Press(kGameKey0);  // "否"
  ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kOptionMenuName) == 2; }));
  EXPECT_TRUE(CTamvikOption::IsExitSeqEnd());
  EXPECT_EQ(AppIsQuit(), 0u);
}

// The option window as a picture: its rows are drawn, the item row only when offered.
TEST(OptionMenu, CapturedFrameShowsTheRows) {
  for (uint32_t flags : {0x0000u, 0x0110u}) {
    SCOPED_TRACE(flags);
    OptionRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.OpenOption(flags));
    rig.Frames(2);
    const std::string png = rig.d.tree.Path("option.png");
    ASSERT_TRUE(rig.d.display().SaveFramePng(png));
    EXPECT_TRUE(rig.d.tree.Exists("option.png"));
    auto colours_in = [&](int row) {
      std::set<uint16_t> colours;
      const int top = CTamvikOption::kOptionInner.top + CTamvikOption::kRowTop +
                      CTamvikOption::kRowPitch * row;
      for (int y = top; y < top + 24; ++y) {
        for (int x = CTamvikOption::kOptionInner.left + 28;
             x < CTamvikOption::kOptionInner.left + 448; ++x) {
          colours.insert(rig.d.display().FramePixel(x, y));
        }
      }
      return colours.size();
    };
    for (int row = 1; row < 4; ++row) EXPECT_GT(colours_in(row), 1u) << row;
    if (flags == 0) {
      EXPECT_GT(colours_in(4), 1u);
    } else {
      EXPECT_EQ(colours_in(4), 1u);
    }
  }
}

// ---- The key and pad menus ----

TEST(KeyMenu, ColumnJumpsAndUpDownWrap) {
  const std::pair<int, int> jumps[] = {{0, 10}, {6, 16}, {7, 16}, {9, 18},
                                       {10, 0}, {15, 5}, {16, 7}, {18, 9}};
  for (auto [from, to] : jumps) EXPECT_EQ(CTamvikOption::KeyColumnJump(from), to) << from;
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.OpenKeyMenu(false));
  rig.Press(kGameKeyUp);
  EXPECT_EQ(rig.Keys().entry, 18);
  rig.Press(kGameKeyDown);
  EXPECT_EQ(rig.Keys().entry, 0);
  rig.Press(kGameKeyRight);
  EXPECT_EQ(rig.Keys().entry, 10);
  rig.Press(kGameKeyLeft);
  EXPECT_EQ(rig.Keys().entry, 0);
}

TEST(KeyMenu, GroupRulesAndRefusedKeys) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.OpenKeyMenu(false));
  CTamvikOption::KeyState& k = rig.Keys();
  // Entries 0-2 hold Enter, numpad Enter and X; cancel clears two, the last one stays.
  struct Cancel {
    int entry;
    uint8_t after;
    int refused;
  };
  const Cancel cancels[] = {{0, 0, 0}, {1, 0, 0}, {2, 0x2D, 1}};
  for (const Cancel& c : cancels) {
    rig.GoToEntry(c.entry);
    rig.ClearSounds();
    rig.Press(kGameKey1);
    EXPECT_EQ(rig.Keys().values[static_cast<size_t>(c.entry)], c.after) << c.entry;
    EXPECT_EQ(rig.sounds[5], c.refused) << c.entry;
  }
  // Entry 10: A is taken, cancel always clears it; X (entry 2's) is refused.
  rig.GoToEntry(10);
  rig.Key(0x1E);
  EXPECT_EQ(k.values[10], 0x1E);
  rig.Press(kGameKey1);
  EXPECT_EQ(k.values[10], 0);
  rig.ClearSounds();
  rig.Key(0x2D);
  EXPECT_EQ(k.values[10], 0);
  EXPECT_EQ(rig.sounds[5], 1);
  // The reserved keys are never taken, wherever the cursor goes.
  for (uint8_t code : CTamvikOption::kReservedKeys) {
    rig.Key(code);
    ASSERT_FALSE(CTamvikOption::IsKeyMenuEnd());
    for (uint8_t v : rig.Keys().values) EXPECT_NE(v, code) << int{code};
  }
}

TEST(KeyMenu, DefaultsLeaveAndSaveThroughTheOrderTable) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.OpenKeyMenu(false));
  const KeyConfig before = Ctx().input.key_config();
  // Entry 16 brings the defaults back into the edited values.
  rig.GoToEntry(10);
  rig.Key(0x1E);
  rig.GoToEntry(16);
  rig.Press(kGameKey0);
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(rig.Keys().values[i], CDinput::GetDefaultKeyConfig(CTamvikOption::kKeyOrder[i])) << i;
  }
  // Entry 17 leaves the assignment as it was.
  rig.GoToEntry(10);
  rig.Key(0x1E);
  rig.GoToEntry(17);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return CTamvikOption::IsKeyMenuEnd(); }));
  EXPECT_EQ(Ctx().input.key_config().keyboard, before.keyboard);
  // Entry 18: entry 6 edits slot 8 and entry 8 slot 6; key.dat holds both tables.
  ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kOptionMenuName) == 2; }));
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kKeyMenuName) == 2; }));
  rig.GoToEntry(6);
  rig.Key(0x1E);
  rig.GoToEntry(8);
  rig.Key(0x1F);
  rig.GoToEntry(18);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return CTamvikOption::IsKeyMenuEnd(); }));
  EXPECT_EQ(Ctx().input.GetKeyConfig(8), 0x1Eu);
  EXPECT_EQ(Ctx().input.GetKeyConfig(6), 0x1Fu);
  const std::string file = rig.d.tree.Read("install/save/key.dat");
  ASSERT_EQ(file.size(), 32u);
  const KeyConfig& now = Ctx().input.key_config();
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(static_cast<uint8_t>(file[i]), now.keyboard[i]) << i;
    EXPECT_EQ(static_cast<uint8_t>(file[16 + i]), now.pad[i]) << i;
  }
}

TEST(KeyMenu, AFailedSaveKeepsTheMenuOpenAndTheOldFile) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.OpenKeyMenu(false));
  const std::string old_file = rig.d.tree.Read("install/save/key.dat");
  rig.GoToEntry(10);
  rig.Key(0x1E);
  rig.GoToEntry(18);
  rig.files.write_open_fails = true;
  rig.ClearSounds();
  rig.Press(kGameKey0);
  rig.Frames(20);
  EXPECT_EQ(OptionRig::StepOf(CTamvikOption::kKeyMenuName), 2);
  EXPECT_EQ(rig.Keys().entry, 18);
  EXPECT_EQ(rig.sounds[5], 1);
  EXPECT_EQ(rig.sounds[4], 0);
  EXPECT_EQ(rig.d.tree.Read("install/save/key.dat"), old_file);
  EXPECT_EQ(Ctx().input.GetKeyConfig(10), 0x1Eu) << "in force for this run";
  // Once the disc takes it again the save goes through.
  rig.files.write_open_fails = false;
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return CTamvikOption::IsKeyMenuEnd(); }));
  EXPECT_EQ(static_cast<uint8_t>(rig.d.tree.Read("install/save/key.dat")[10]), 0x1E);
}

TEST(KeyMenu, OwnerEndedUnderTheKeyMenuEndsBothAndLeavesNothing) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.OpenKeyMenu(false));
  Ctx().game_task.DelTask(rig.owner);
  rig.Frames(2);
  EXPECT_TRUE(CTamvikOption::IsOptionMenuEnd());
  EXPECT_TRUE(CTamvikOption::IsKeyMenuEnd());
  EXPECT_EQ(Ctx().ddraw_window.head(), nullptr);
  EXPECT_FALSE(SpriteFileHeld(CTamvikOption::kOptionFile));
  EXPECT_FALSE(SpriteFileHeld(CTamvikOption::kItemIconFile));
}

TEST(PadMenu, ButtonsAreTakenStickDirectionsNeverAndGroupsKeepOne) {
  OptionRig rig(true);
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.OpenKeyMenu(true));
  auto& joy = rig.d.host().input.joystick;
  auto button = [&](int b) {
    joy.buttons[static_cast<size_t>(b)] = 0x80;
    rig.Frames(1);
    joy.buttons[static_cast<size_t>(b)] = 0;
    rig.Frames(1);
  };
  rig.GoToEntry(10, true);
  // The stick pushed left and right: nothing is taken (the cursor jumps columns instead).
  for (uint32_t x : {0u, 65535u}) {
    joy.x = x;
    rig.Frames(1);
    joy.x = platform::kJoystickCentre;
    rig.Frames(1);
    for (uint8_t v : rig.Keys(true).values) EXPECT_FALSE(v >= 1 && v <= 4);
  }
  rig.GoToEntry(10, true);
  // Buttons 3, 4 and 9 (pads 8, 9, 14) are free in the default assignment.
  const std::pair<int, uint8_t> buttons[] = {{3, 8}, {9, 14}, {4, 9}};
  for (auto [b, pad] : buttons) {
    rig.Press(kGameKey1);  // entry 10 clears always
    button(b);
    EXPECT_EQ(rig.Keys(true).values[10], pad) << b;
  }
  // Entries 0-2 hold pads 5, 7 and none: entry 0 clears, entry 1 (then the last) is refused.
  rig.GoToEntry(0, true);
  rig.Press(kGameKey1);
  EXPECT_EQ(rig.Keys(true).values[0], 0);
  rig.GoToEntry(1, true);
  rig.ClearSounds();
  rig.Press(kGameKey1);
  EXPECT_EQ(rig.Keys(true).values[1], 7);
  EXPECT_EQ(rig.sounds[5], 1);
}

// ---- The item viewer ----

class ItemViewer : public ::testing::Test {
 protected:
  void Open(std::vector<uint16_t> items) {
    ASSERT_TRUE(rig.started);
    for (size_t i = 0; i < items.size(); ++i) SetMacroP(static_cast<int>(i), items[i]);
    testsupport::MessageTableWriter table;
    table.Add({7, 0, "", "item seven"});
    testsupport::LayScene(rig.d.tree, 0x0100, testsupport::Scene0100Script().Bytes(),
                          table.Bytes());
    ASSERT_EQ(Scene().macro.MacroLoad(0x0100), 1);
    ASSERT_TRUE(rig.OpenOption(0));
    rig.PressTimes(kGameKeyUp, 1);  // row 4
    rig.Press(kGameKey0);
    ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kItemMenuName) == 2; }));
  }
  CTamvikOption::ItemState& Items() {
    return *static_cast<CTamvikOption::ItemState*>(
        Ctx().game_task.FindTask(CTamvikOption::kItemMenuName)->extra);
  }
  OptionRig rig;
};

TEST_F(ItemViewer, ShowsTheLeadingItemsAndTheChosenItemsPictureAndMessage) {
  Open({5, 7, 9, 0, 4});
  EXPECT_EQ(Items().count, 3);
  rig.Press(kGameKeyRight);
  rig.Press(kGameKey0);
  rig.Frames(2);
  EXPECT_EQ(Items().showing, 1);
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  EXPECT_FALSE(rig.d.trace().Contains("MessageData not Found"));
  EXPECT_EQ(rig.d.display().FramePixel(CTamvikOption::kItemPictureX + 4,
                                       CTamvikOption::kItemPictureY + 4),
            platform::PackColorRef(testsupport::SprColourRef(kItem07Colour),
                                   platform::PixelLayout::kRgb565));
  bool opened = false;
  for (const std::string& path : rig.files.opened) {
    if (path.find("tamvik1\\item\\item07.spr") != std::string::npos) opened = true;
  }
  EXPECT_TRUE(opened);
  // Decide closes the picture and the message; a missing message is traced and the viewer goes on.
  rig.Press(kGameKey0);
  EXPECT_EQ(Items().showing, 0);
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
  rig.Press(kGameKeyRight);
  rig.Press(kGameKey0);
  EXPECT_TRUE(rig.d.trace().Contains("MessageData not Found"));
  EXPECT_EQ(OptionRig::StepOf(CTamvikOption::kItemMenuName), 2);
  // Cancel closes the picture, a second cancel leaves the viewer and the menu opens again.
  rig.Press(kGameKey1);
  rig.Press(kGameKey1);
  ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kOptionMenuName) == 2; }));
  EXPECT_TRUE(CTamvikOption::IsItemMenuEnd());
}

TEST_F(ItemViewer, AnItemWithoutAnIconOrPictureShowsNothing) {
  char name[40];
  CTamvikOption::ItemPictureName(65535, name);
  EXPECT_STREQ(name, "tamvik1\\item\\item65535.spr");
  Open({65535});
  EXPECT_TRUE(rig.d.trace().Contains("has no icon"));
  rig.Press(kGameKey0);
  rig.Frames(2);
  EXPECT_TRUE(rig.d.trace().Contains("no item picture"));
  EXPECT_EQ(OptionRig::StepOf(CTamvikOption::kItemMenuName), 2);
}

// ---- The quit confirmation ----

TEST(QuitConfirmation, StartsOnNoIgnoresCancelAndQuitsOnYes) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_EQ(CTamvikOption::StartExitSeq(), 1);
  ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kExitSeqName) == 2; }));
  auto answer = [] {
    return static_cast<CTamvikOption::ExitState*>(
               Ctx().game_task.FindTask(CTamvikOption::kExitSeqName)->extra)
        ->answer;
  };
  EXPECT_EQ(answer(), CTamvikOption::kNo);
  rig.Press(kGameKey1);
  rig.Frames(4);
  EXPECT_EQ(OptionRig::StepOf(CTamvikOption::kExitSeqName), 2);
  // The mouse over each answer chooses it.
  rig.Point(CTamvikOption::kYesHit.left + 10, CTamvikOption::kYesHit.top + 10);
  EXPECT_EQ(answer(), CTamvikOption::kYes);
  rig.Point(CTamvikOption::kNoHit.left + 10, CTamvikOption::kNoHit.top + 10);
  EXPECT_EQ(answer(), CTamvikOption::kNo);
  EXPECT_EQ(AppIsQuit(), 0u);
  rig.Press(kGameKeyLeft);
  EXPECT_EQ(answer(), CTamvikOption::kYes);
  rig.Press(kGameKey0);
  EXPECT_NE(AppIsQuit(), 0u);
}

TEST(QuitConfirmation, NoClosesTheWindowAndEnds) {
  OptionRig rig;
  ASSERT_TRUE(rig.started);
  rig.d.sequences().quit_confirm.Start(nullptr);
  ASSERT_TRUE(rig.Until([] { return OptionRig::StepOf(CTamvikOption::kExitSeqName) == 2; }));
  EXPECT_TRUE(rig.d.sequences().quit_confirm.IsRunning());
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.Until([] { return CTamvikOption::IsExitSeqEnd(); }));
  EXPECT_EQ(Ctx().ddraw_window.head(), nullptr);
  EXPECT_FALSE(SpriteFileHeld(CTamvikOption::kExitFile));
  EXPECT_EQ(AppIsQuit(), 0u);
}

}  // namespace
