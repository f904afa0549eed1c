// The save and load sequences on the headless program: the boot save check, the save offer with
// a fake eyecatch, and the slot menu driven by injected keys and mouse through its states (load,
// save, copy, delete), its failures, its cursor and its releases. A fake manager task (a task
// of the manager's name that does nothing) owns the menu and keeps the modes it is given.

#include "flow/tamvik_bup.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/faulty_files.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/program_driver.h"
#include "testsupport/save_data_builder.h"
#include "testsupport/script_writer.h"
#include "testsupport/system_se_starts.h"
#include "testsupport/spr_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::ProgramDriver;

constexpr uint32_t kDecide = kGameKey0, kCancel = kGameKey1, kPage = kGameKey3,
                   kUp = kGameKeyUp, kDown = kGameKeyDown, kLeft = kGameKeyLeft,
                   kRight = kGameKeyRight;
constexpr int kManagerIdleMode = 36;

void IdleManager(GameTaskRec*) {}

std::string B5(const char* utf8) { return Big5FromUtf8(utf8).value_or("?"); }

// Every text the menu draws, for the patterned font.
std::vector<std::string> MenuTexts() {
  std::vector<std::string> texts;
  for (int s = 0; s <= 7; ++s) {
    texts.push_back(CTamvikBup::TitleText(s));
    texts.push_back(CTamvikBup::QuestionText(s));
  }
  for (int n = 0; n <= 14; ++n) texts.push_back(CTamvikBup::MessageText(n));
  for (int c = 1; c <= CTamvikBup::kChapters; ++c) {
    texts.push_back(CTamvikBup::ChapterLabel(c));
    texts.push_back(CTamvikBup::ChapterTitle(c));
  }
  texts.push_back(CTamvikBup::EmptySlotText());
  for (int e = 0; e < 2; ++e) {
    texts.push_back(CTamvikBup::SelectorText(false, e));
    texts.push_back(CTamvikBup::SelectorText(true, e));
  }
  return texts;
}

class BupRig {
 public:
  static ProgramDriver::Options Options() {
    ProgramDriver::Options options;
    options.boot = [] { TamvikFunc::LoadSystemSe(); };
    return options;
  }

  BupRig() : d(Options()) {
    for (int n = 0; n <= 16; ++n) {
      char name[64];
      std::snprintf(name, sizeof name, "install/tamvik1/system/se/TE%02d.WAV", n);
      d.tree.Write(name, testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(1102, 2000)).Bytes());
    }
    std::vector<testsupport::SprRgb> icons;
    for (uint8_t n = 0; n < 8; ++n) {
      icons.push_back({static_cast<uint8_t>(4 + 3 * n), static_cast<uint8_t>(31 - 3 * n), 9});
    }
    d.tree.Write("install/tamvik1/system/sis_icon.spr",
                 testsupport::SquareAnimationFile(icons, 16, 6));
    d.tree.Write("install/tamvik1/system/sistem.spr",
                 testsupport::SquareAnimationFile({{20, 20, 20}}, 8, 6));
    testsupport::WriteGlyphFont(d.tree, testsupport::MakeGlyphFontFor(MenuTexts()), "cwd");
  }
  ~BupRig() { d.host().seams().files = &d.host().files; }

  static std::string SlotPath(int slot) {
    return "install/save/data" + std::to_string(slot) + ".sav";
  }

  // A save of `scene` in the slot, its file time set to the local time given.
  void Save(int slot, uint16_t scene, uint16_t a_base = 0x300, const char* when = nullptr) {
    testsupport::SaveFileSpec spec;
    spec.scene = scene;
    spec.a_base = a_base;
    d.tree.Write(SlotPath(slot), testsupport::SaveFileBytes(spec));
    if (when != nullptr) SetTime(slot, when);
  }
  void SetTime(int slot, const char* when) {
    std::tm tm{};
    std::sscanf(when, "%d/%d/%d %d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                &tm.tm_min);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    d.tree.SetModifiedTime(SlotPath(slot), static_cast<int64_t>(std::mktime(&tm)));
  }
  std::string Bytes(int slot) const { return d.tree.Read(SlotPath(slot)); }

  // The program started with a fake manager in a waiting mode.
  void Start() {
    ASSERT_TRUE(d.Start());
    auto* work = TaskNewBlock<GeneralWork>();
    work->mode = kManagerIdleMode;
    ASSERT_NE(Ctx().game_task.SetTask(nullptr, &IdleManager, CTamvikGeneral::kManagerTaskName,
                                      work, nullptr),
              0);
    manager = Ctx().game_task.FindTask(CTamvikGeneral::kManagerTaskName);
  }

  // The menu in load (0) or save (1) form, run until it reads input.
  void Open(int mode) {
    CTamvikBup::StartAdvSaveMenu(manager, mode);
    ASSERT_TRUE(RunUntil([&] { return InMain(); }, 120)) << "the menu never read input";
  }

  GameTaskRec* MenuTask() const { return Ctx().game_task.FindTask(CTamvikBup::kSaveMenuName); }
  int Step() const {
    GameTaskRec* t = MenuTask();
    return t == nullptr ? -1 : TaskStep(t);
  }
  SaveMenuExtra& M() const { return *static_cast<SaveMenuExtra*>(MenuTask()->extra); }
  bool InMain() const {
    const int s = Step();
    return (s == 20 || s == 30 || s == 40 || s == 50 || s == 60) && M().subStep == 2;
  }
  bool Asking() const { return MenuTask() != nullptr && M().subStep == 12; }
  bool ShowsMessage() const { return MenuTask() != nullptr && M().subStep == 22; }

  // One frame, counting the starts of the system sounds of static slots (sound n = slot n - 1).
  bool Frame() {
    const bool running = d.Step();
    sounds.Observe();
    if (on_frame) on_frame();
    return running;
  }
  bool Frames(int n) {
    for (int i = 0; i < n; ++i) {
      if (!Frame()) return false;
    }
    return true;
  }
  bool RunUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i <= limit; ++i) {
      if (done()) return true;
      if (!Frame()) return false;
    }
    return false;
  }
  // A game key pressed for one frame, then two frames run.
  void Press(uint32_t key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, key),
                testsupport::GameKeyUp(d.frame() + 2, key)});
    Frames(2);
  }
  // Two keys down together (the second pressed while the first is held).
  void PressWith(uint32_t held, uint32_t key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, held),
                testsupport::GameKeyDown(d.frame() + 2, key),
                testsupport::GameKeyUp(d.frame() + 3, key),
                testsupport::GameKeyUp(d.frame() + 3, held)});
    Frames(3);
  }
  void Point(int x, int y) {
    d.Schedule(testsupport::PointerMove(d.frame() + 1, x, y));
    Frames(1);
  }
  // Decide on the cursor's slot and answer the confirmation with "是" (or "否").
  void DecideAndAnswer(bool yes) {
    Press(kDecide);
    ASSERT_TRUE(RunUntil([&] { return Asking(); }, 40)) << "no confirmation";
    if (!yes) Press(kRight);
    Press(kDecide);
  }
  // Waits for the result message and closes it; the message number shown.
  int TakeMessage() {
    if (!RunUntil([&] { return ShowsMessage(); }, 60)) return -1;
    const int message = M().message;
    Press(kDecide);
    if (!RunUntil([&] { return InMain() || MenuTask() == nullptr; }, 80)) return -2;
    return message;
  }
  void ClearSounds() { sounds.ClearCounts(); }

  // What the menu can hold: windows, animations of the window and sprite-file kinds, the two
  // sprite files.
  struct Held {
    int windows = 0;
    int animations = 0;
    int files = 0;
    bool operator==(const Held&) const = default;
  };
  static Held Count() {
    Held h;
    for (const WindowRec* w = Ctx().ddraw_window.head(); w != nullptr; w = w->next) ++h.windows;
    h.animations = static_cast<int>(Ctx().anime.Records(9).size() + Ctx().anime.Records(12).size());
    for (const SprAnm* a = Scene().tamvik_spr.anms(); a != nullptr; a = a->next) {
      if (a->name.find("SISTEM") != std::string::npos || a->name.find("SIS_ICON") != std::string::npos ||
          a->name.find("sistem") != std::string::npos || a->name.find("sis_icon") != std::string::npos) {
        ++h.files;
      }
    }
    return h;
  }

  ProgramDriver d;
  GameTaskRec* manager = nullptr;
  testsupport::SystemSeStarts<15> sounds;
  std::function<void()> on_frame;
};

// ---- The boot save check ----

TEST(BupBootCheck, SetsTheNoSaveBitByTheUsedSlotsAndGoesToMode15) {
  struct Case {
    const char* name;
    std::function<void(BupRig&)> lay;
    uint16_t flags;
  };
  const Case cases[] = {
      {"no file", [](BupRig&) {}, 1},
      {"slot 21 only", [](BupRig& r) { r.Save(21, 0x0308); }, 0},
      {"scene code 0", [](BupRig& r) { r.Save(4, 0x0000); }, 1},
      {"wrong size",
       [](BupRig& r) {
         testsupport::SaveFileSpec spec;
         spec.cut_to = 1000;
         r.d.tree.Write(BupRig::SlotPath(5), testsupport::SaveFileBytes(spec));
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BupRig r;
    c.lay(r);
    r.Start();
    GetSystemData()->setSaveFlags(0xFFFE);
    CTamvikBup::StartBkupCheck(r.manager);
    r.Frames(2);
    EXPECT_EQ(GetSystemData()->saveFlags(), c.flags);
    EXPECT_EQ(CTamvikGeneral::GetMode(), 15);
    EXPECT_EQ(Ctx().game_task.FindTask(CTamvikBup::kBkupCheckName), nullptr);
  }
}

// ---- The save offer ----

TEST(BupSaveOffer, WaitsForTheEyecatchThenFadesSetsUpTheScreenAndGoesToMode38) {
  BupRig r;
  r.Start();
  int eyecatch_frames = 0;
  r.d.sequences().eyecatch.start = [&]() -> GameTaskRec* {
    eyecatch_frames = 5;
    return nullptr;
  };
  r.d.sequences().eyecatch.is_running = [&] { return eyecatch_frames > 0; };
  Ctx().ddraw.ClearSurface(SURFACE_ROOT, 1);
  CTamvikBup::StartSaveMasterCtrl(r.manager);
  // The order of what is seen: the eyecatch running, then a fade, then mode 38.
  std::vector<std::string> seen;
  r.on_frame = [&] {
    if (eyecatch_frames > 0) {
      --eyecatch_frames;
      if (seen.empty()) seen.push_back("eyecatch");
      return;
    }
    if (!TamvikFunc::IsFadeDone() && (seen.empty() || seen.back() != "fade")) seen.push_back("fade");
    if (CTamvikGeneral::GetMode() == 38 && (seen.empty() || seen.back() != "mode 38")) {
      seen.push_back("mode 38");
      EXPECT_EQ(Ctx().ddraw.GetSurface(SURFACE_ROOT)->Row(100)[100], 0);
    }
  };
  ASSERT_TRUE(r.RunUntil([] { return CTamvikGeneral::GetMode() == 38; }, 200));
  r.Frames(2);
  EXPECT_EQ(seen, (std::vector<std::string>{"eyecatch", "fade", "mode 38"}));
  EXPECT_EQ(Ctx().game_task.FindTask(CTamvikBup::kSaveMasterName), nullptr);
  EXPECT_TRUE(TamvikFunc::IsFadeDone());
}

// ---- Row texts ----

TEST(BupRows, ShowTheChapterLabelTitleAndTimeOrTheEmptyForm) {
  BupRig r;
  r.Save(3, 0x0103, 0x300, "2001/08/02 09:05");  // followed by 0x0201, in chapter 2
  r.Save(5, 0x0A02, 0x300, "2001/08/03 10:00");
  r.Save(6, 0x0B01, 0x300, "2001/08/03 10:00");  // no scene follows it: unusable, shown empty
  r.Start();
  CTamvikBup::ReadSlotList();
  EXPECT_EQ(CTamvikBup::SlotLine(3), "F03 2001/08/02 09:05");
  EXPECT_EQ(CTamvikBup::GetSlotChapter(3), 2);
  EXPECT_EQ(CTamvikBup::ChapterLabel(2), B5("第２話"));
  EXPECT_FALSE(CTamvikBup::ChapterTitle(2).empty());
  EXPECT_EQ(CTamvikBup::GetSlotChapter(5), 10);
  EXPECT_EQ(CTamvikBup::ChapterLabel(10), B5("最終話"));
  EXPECT_EQ(CTamvikBup::SlotLine(4), "F04 ----/--/-- --:--");
  EXPECT_EQ(CTamvikBup::EmptySlotText(), B5("沒有記錄"));
  EXPECT_EQ(CTamvikBup::GetSlotChapter(4), 0);
  EXPECT_EQ(CTamvikBup::GetSlotChapter(6), 0);
  EXPECT_EQ(CTamvikBup::SlotLine(6), "F06 ----/--/-- --:--");
  // A chapter outside 1-10 shows neither label nor title.
  EXPECT_TRUE(CTamvikBup::ChapterLabel(11).empty());
  EXPECT_TRUE(CTamvikBup::ChapterTitle(11).empty());
  EXPECT_TRUE(CTamvikBup::ChapterLabel(0).empty());
  for (int c = 1; c <= CTamvikBup::kChapters; ++c) EXPECT_FALSE(CTamvikBup::ChapterTitle(c).empty());
}

// ---- Load ----

TEST(BupLoad, DecidingASlotLoadsItClosesThroughSteps100To102AndSetsMode37) {
  BupRig r;
  r.Save(3, 0x0308, 0x350);
  r.Save(7, 0x0402, 0x360);
  r.Start();
  r.Open(0);
  EXPECT_EQ(r.M().menuState, 2);
  EXPECT_EQ(r.M().selectable, 1);
  r.Press(kDown);
  r.Press(kDown);
  EXPECT_EQ(r.M().cursor, 3);
  std::vector<int> steps;
  r.on_frame = [&] {
    const int s = r.Step();
    if (s >= 100 && (steps.empty() || steps.back() != s)) steps.push_back(s);
  };
  r.DecideAndAnswer(true);
  ASSERT_TRUE(r.RunUntil([&] { return r.MenuTask() == nullptr; }, 200));
  EXPECT_EQ(steps, (std::vector<int>{100, 101, 102}));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 37);
  EXPECT_EQ(CTamvikBup::IsLoaded(), 1);
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0308);
  EXPECT_EQ(GetMacroA(0), 0x350);
  CTamvikBup::ClearLoaded();
  EXPECT_EQ(CTamvikBup::IsLoaded(), 0);
}

TEST(BupLoad, ADamagedSlotFailsWithItsMessageAndTheMenuStays) {
  BupRig r;
  r.Save(3, 0x0308, 0x350);
  r.Start();
  SetMacroA(0, 0x1234);
  r.Open(0);
  r.Press(kDown);
  r.Press(kDown);
  // The file is damaged after the list was read.
  testsupport::SaveFileSpec spec;
  spec.cut_to = 500;
  r.d.tree.Write(BupRig::SlotPath(3), testsupport::SaveFileBytes(spec));
  r.ClearSounds();
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageLoadFailed);
  EXPECT_EQ(CTamvikBup::MessageText(CTamvikBup::kMessageLoadFailed), B5("載入失敗。"));
  EXPECT_GE(r.sounds[5], 1);
  EXPECT_EQ(r.Step(), 20);
  EXPECT_EQ(r.M().menuState, 2);
  EXPECT_EQ(CTamvikGeneral::GetMode(), kManagerIdleMode);
  EXPECT_EQ(CTamvikBup::IsLoaded(), 0);
  EXPECT_EQ(GetMacroA(0), 0x1234);
}

TEST(BupLoad, AnEmptySlotOnlyPlaysTheErrorSoundAndCancelCloses) {
  BupRig r;
  r.Start();
  r.Open(0);
  EXPECT_EQ(r.M().choice, 4);
  r.ClearSounds();
  r.Press(kDecide);
  r.Frames(2);
  EXPECT_EQ(r.sounds[5], 1);
  EXPECT_TRUE(r.InMain());
  r.Press(kCancel);
  ASSERT_TRUE(r.RunUntil([&] { return r.MenuTask() == nullptr; }, 60));
  EXPECT_EQ(CTamvikBup::IsLoaded(), 0);
  EXPECT_EQ(CTamvikGeneral::GetMode(), kManagerIdleMode);
}

// Saves whose story state the scene start cannot run: each shows as an unusable (empty) slot in
// the real load menu, deciding on it loads nothing, LoadGameData refuses it and the file stays.
TEST(BupLoad, SavesWhoseSceneCannotStartAreRefusedAndKept) {
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> make;  // changes a save of scene 0x0103
    bool loads;
  };
  const auto scene = [](uint16_t code) {
    return [code](std::vector<uint8_t>& b) {
      b[0] = static_cast<uint8_t>(code);
      b[1] = static_cast<uint8_t>(code >> 8);
    };
  };
  const auto resume = [](uint16_t code, uint32_t position) {
    return [code, position](std::vector<uint8_t>& b) {
      b[0] = static_cast<uint8_t>(code);
      b[1] = static_cast<uint8_t>(code >> 8);
      b[10] = 1;
      for (int i = 0; i < 4; ++i) b[16 + i] = static_cast<uint8_t>(position >> (8 * i));
    };
  };
  // A header of bytes from a fixed sequence (the stack depths after it stay usable).
  const auto noise = [](uint32_t seed) {
    return [seed](std::vector<uint8_t>& b) {
      uint32_t x = seed;
      for (int i = 0; i < 48; ++i) {
        x = x * 1103515245u + 12345u;
        b[static_cast<size_t>(i)] = static_cast<uint8_t>(x >> 16);
      }
    };
  };
  std::vector<Case> cases = {
      {"a scene that starts", scene(0x0103), true},
      {"saved before a battle", scene(0x8000 | 0x0103), true},
      {"a resume inside the script", resume(0x0100, 3), true},
      {"scene 7FFF", scene(0x7FFF), false},
      {"scene 0A04, the last", scene(0x0A04), false},
      {"scene 0999", scene(0x0999), false},
      {"scene 0900", scene(0x0900), false},
      {"a resume past the script's end", resume(0x0100, 60000), false},
      {"a resume in a scene without a script", resume(0x0302, 0), false},
  };
  for (uint32_t seed : {1u, 2u, 3u, 77u}) cases.push_back({"random header bytes", noise(seed), false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BupRig r;
    testsupport::ScriptWriter script;
    script.Words(std::vector<uint16_t>(10, 0x0001));
    testsupport::LayScene(r.d.tree, 0x0100, script.Bytes(),
                          testsupport::MessageTableWriter().Add({1, 5, "a", "b"}).Bytes());
    testsupport::SaveFileSpec spec;
    spec.scene = 0x0103;
    std::vector<uint8_t> bytes = testsupport::SaveFileBytes(spec);
    c.make(bytes);
    r.d.tree.Write(BupRig::SlotPath(1), bytes);
    r.Start();
    GetAdvState()->setSceneCode(0x0205);
    SetMacroA(0, 0x1234);
    r.Open(0);
    EXPECT_EQ(CTamvikBup::SlotLine(1).find("----/--/--") == std::string::npos, c.loads);
    r.ClearSounds();
    if (c.loads) {
      r.DecideAndAnswer(true);
      ASSERT_TRUE(r.RunUntil([&] { return r.MenuTask() == nullptr; }, 200));
      EXPECT_EQ(CTamvikBup::IsLoaded(), 1);
      EXPECT_NE(GetAdvState()->sceneCode(), 0x0205);
    } else {
      r.Press(kDecide);
      r.Frames(2);
      EXPECT_EQ(r.sounds[5], 1);
      EXPECT_TRUE(r.InMain());
      EXPECT_EQ(LoadGameData(1), 0);
      EXPECT_EQ(CTamvikBup::IsLoaded(), 0);
      EXPECT_EQ(GetAdvState()->sceneCode(), 0x0205);
      EXPECT_EQ(GetMacroA(0), 0x1234);
      EXPECT_TRUE(r.d.trace().Contains("GameLoad save\\data1.sav: "));
    }
    EXPECT_EQ(r.Bytes(1), std::string(bytes.begin(), bytes.end()));
  }
}

// ---- Save ----
// ---- Save ----

TEST(BupSave, NoLeavesTheFileYesOverwritesItAndClearsTheNoSaveBit) {
  BupRig r;
  r.Save(2, 0x0308, 0x350, "2001/08/02 09:05");
  r.Start();
  GetSystemData()->setSaveFlags(1);
  GetAdvState()->setSceneCode(0x0502);
  const std::string old = r.Bytes(2);
  r.Open(1);
  EXPECT_EQ(r.M().menuState, 3);
  r.Press(kDown);
  r.DecideAndAnswer(false);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  EXPECT_EQ(r.Bytes(2), old);
  r.ClearSounds();
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageSaved);
  EXPECT_EQ(r.sounds[14], 1);
  EXPECT_EQ(r.sounds[5], 0);
  EXPECT_NE(r.Bytes(2), old);
  EXPECT_EQ(GetSaveSceneCode(2), 0x0502);
  EXPECT_NE(CTamvikBup::GetSlotTime(2), "2001/08/02 09:05");
  EXPECT_FALSE(CTamvikBup::GetSlotTime(2).empty());
  EXPECT_EQ(GetSystemData()->saveFlags() & 1, 0);
  EXPECT_EQ(r.M().menuState, 3);
}

TEST(BupSave, AWriteFailureShowsItsMessageAndKeepsTheOldFile) {
  BupRig r;
  r.Save(2, 0x0308, 0x350);
  r.Start();
  const std::string old = r.Bytes(2);
  testsupport::FaultyFiles files{r.d.host().files};
  r.Open(1);
  r.Press(kDown);
  files.rename_fails = true;
  r.d.host().seams().files = &files;
  r.ClearSounds();
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageSaveFailed);
  r.d.host().seams().files = &r.d.host().files;
  EXPECT_EQ(CTamvikBup::MessageText(CTamvikBup::kMessageSaveFailed), B5("存檔失敗。"));
  EXPECT_EQ(r.sounds[5], 1);
  EXPECT_EQ(r.sounds[14], 0);
  EXPECT_EQ(r.Bytes(2), old);
  EXPECT_TRUE(r.d.trace().Contains("FileSave Failed"));
}

// ---- Copy and delete ----

TEST(BupCopyDelete, TheSelectorIsReachedOnlyFromLoadOrSaveWithASlotUsed) {
  {
    BupRig r;
    r.Start();
    r.Open(1);  // nothing used
    r.ClearSounds();
    r.Press(kRight);
    EXPECT_EQ(r.sounds[5], 1);
    EXPECT_EQ(r.M().choice, 4);
  }
  BupRig r;
  r.Save(3, 0x0308);
  r.Start();
  r.Open(0);
  r.Press(kRight);
  EXPECT_EQ(r.M().choice, 1);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  EXPECT_EQ(r.M().menuState, 4);
  EXPECT_EQ(r.M().previousState, 2);
  EXPECT_EQ(r.M().selectable, 3);
  r.ClearSounds();
  r.Press(kRight);  // not from the copy source
  EXPECT_EQ(r.sounds[5], 1);
  // An empty copy source: the error sound alone.
  r.ClearSounds();
  r.Press(kDecide);
  EXPECT_EQ(r.sounds[5], 1);
  EXPECT_EQ(r.M().menuState, 4);
  // Cancel in the copy source goes back to the load state.
  r.Press(kCancel);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  EXPECT_EQ(r.M().menuState, 2);
}

TEST(BupCopyDelete, CopiesDeletesAndReportsEachOutcome) {
  BupRig r;
  r.Save(3, 0x0308, 0x350);
  r.Start();
  r.Open(1);
  const std::string three = r.Bytes(3);
  const auto enter = [&](uint32_t choice_key) {
    r.Press(kRight);
    if (choice_key != 0) r.Press(choice_key);
    r.Press(kDecide);
    ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  };
  // Copy 3 -> 5; cancel in the destination first goes back to the source.
  enter(0);
  ASSERT_EQ(r.M().menuState, 4);
  r.Press(kDown);
  r.Press(kDown);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  ASSERT_EQ(r.M().menuState, 5);
  EXPECT_EQ(r.M().selectable, 2);
  r.Press(kCancel);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  EXPECT_EQ(r.M().menuState, 4);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  r.Press(kDown);
  r.Press(kDown);
  r.ClearSounds();
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageCopied);
  EXPECT_EQ(r.sounds[14], 1);
  EXPECT_EQ(r.Bytes(5), three);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain() && r.M().menuState == 3; }, 60));

  // A copy onto its own slot: the message, the file intact.
  enter(0);
  r.Press(kUp);
  r.Press(kUp);
  ASSERT_EQ(r.M().cursor, 3);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain() && r.M().menuState == 5; }, 60));
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageCopied);
  EXPECT_EQ(r.Bytes(3), three);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain() && r.M().menuState == 3; }, 60));

  // Delete 3 (the cursor is on 3), then 5, the last used slot: nothing left to select.
  enter(kRight);
  ASSERT_EQ(r.M().menuState, 6);
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageDeleted);
  EXPECT_FALSE(r.d.tree.Exists(BupRig::SlotPath(3)));
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain() && r.M().menuState == 3; }, 60));
  enter(kRight);
  r.Press(kDown);
  r.Press(kDown);
  EXPECT_EQ(r.M().cursor, 5);
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageDeleted);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain() && r.M().menuState == 3; }, 60));
  EXPECT_EQ(r.M().choice, 4);
  EXPECT_EQ(GetSystemData()->saveFlags() & 1, 1);
}

TEST(BupCopyDelete, FailuresShowTheirMessagesWithTheErrorSound) {
  BupRig r;
  r.Save(3, 0x0308);
  r.Start();
  testsupport::FaultyFiles files{r.d.host().files};
  files.copy_fails = true;
  r.Open(0);
  r.Press(kRight);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  r.Press(kDown);
  r.Press(kDown);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain() && r.M().menuState == 5; }, 60));
  r.Press(kDown);
  r.d.host().seams().files = &files;
  r.ClearSounds();
  r.DecideAndAnswer(true);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageCopyFailed);
  r.d.host().seams().files = &r.d.host().files;
  EXPECT_EQ(r.sounds[5], 1);
  EXPECT_EQ(r.sounds[14], 0);
  EXPECT_EQ(CTamvikBup::MessageText(CTamvikBup::kMessageCopyFailed), B5("複製失敗。"));
  EXPECT_EQ(CTamvikBup::MessageText(CTamvikBup::kMessageDeleteFailed), B5("刪除失敗。"));
}

// ---- Cursor and mouse ----

TEST(BupCursor, KeysMoveWithoutWrappingRepeatFromFrame61AndPage) {
  BupRig r;
  r.Start();
  r.Open(1);
  SaveMenuExtra& m = r.M();
  r.Press(kUp);
  EXPECT_EQ(m.cursor, 1);
  // Held down: one move on the press, the next on the 61st held frame.
  r.d.Schedule(testsupport::GameKeyDown(r.d.frame() + 1, kDown));
  r.Frames(60);
  EXPECT_EQ(m.cursor, 2);
  r.Frames(1);
  EXPECT_EQ(m.cursor, 3);
  r.Frames(1);
  EXPECT_EQ(m.cursor, 4);
  r.d.Schedule(testsupport::GameKeyUp(r.d.frame() + 1, kDown));
  r.Frames(2);
  EXPECT_EQ(m.cursor, 4);
  EXPECT_EQ(m.pageTop, 0);
  r.Press(kDown);  // slot 5: the page follows
  EXPECT_EQ(m.cursor, 5);
  EXPECT_EQ(m.pageTop, 1);
  EXPECT_EQ(m.row, 4);
  // Pages with the page key: the row stays, the page top within 0-16.
  struct Page {
    uint32_t key;
    int cursor, top;
  };
  const Page pages[] = {{kDown, 9, 5}, {kDown, 13, 9}, {kDown, 17, 13}, {kDown, 20, 16},
                        {kDown, 20, 16}, {kUp, 16, 12}, {kUp, 12, 8}, {kUp, 8, 4},
                        {kUp, 4, 0},  {kUp, 1, 0}};
  for (const Page& p : pages) {
    r.PressWith(kPage, p.key);
    EXPECT_EQ(m.cursor, p.cursor);
    EXPECT_EQ(m.pageTop, p.top);
  }
  // Down at 20 does not wrap.
  for (int i = 0; i < 22; ++i) r.Press(kDown);
  EXPECT_EQ(m.cursor, 20);
  EXPECT_EQ(m.pageTop, 16);
}

TEST(BupCursor, TheMouseMovesTheCursorByRowAndScrollsByItsButtons) {
  BupRig r;
  r.Start();
  r.Open(1);
  SaveMenuExtra& m = r.M();
  // Rows by their label and bar rectangles (page top 0).
  for (int row = 1; row <= 4; ++row) {
    const Rect label = CTamvikBup::RowLabelRect(row);
    r.Point(label.left + 2, label.top + 2);
    EXPECT_EQ(m.cursor, row);
    r.Point(10, 10);
    const Rect bar = CTamvikBup::RowBarRect(row);
    r.Point(bar.right - 2, bar.bottom - 2);
    EXPECT_EQ(m.cursor, row);
  }
  struct Scroll {
    int button;
    int top;
    int cursor;
  };
  // From page top 0, cursor 4: page down, row down, row up, page up, and the limits.
  const Scroll scrolls[] = {{3, 4, 5},  {4, 5, 6},  {1, 4, 6},  {2, 0, 4}, {1, 0, 4},
                            {3, 4, 5},  {3, 8, 9},  {3, 12, 13}, {3, 16, 17}, {3, 16, 17},
                            {4, 16, 17}};
  for (const Scroll& s : scrolls) {
    const Rect& b = CTamvikBup::kScrollButtons[s.button - 1];
    r.Point(b.left + 3, b.top + 3);
    EXPECT_EQ(m.scrollButton, s.button);
    r.Press(kDecide);
    EXPECT_EQ(m.pageTop, s.top) << "button " << s.button;
    EXPECT_EQ(m.cursor, s.cursor) << "button " << s.button;
    EXPECT_EQ(r.Step(), 50);
    r.Point(10, 10);
    EXPECT_EQ(m.scrollButton, 0);
  }
}

TEST(BupCursor, TheMousePicksTheSelectorAndTheAnswerButtons) {
  BupRig r;
  r.Save(1, 0x0308);
  r.Start();
  r.Open(0);
  const auto point_at = [&](const Rect& b) { r.Point(b.left + 4, b.top + 4); };
  point_at(CTamvikBup::kSelectorButtons[1]);
  EXPECT_EQ(r.M().choice, 2);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain() && r.M().menuState == 6; }, 60));
  // A click on "否" without moving the pointer (it rests there from the selector) answers "否".
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.Asking(); }, 40));
  EXPECT_EQ(r.M().yesNo, 1);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  EXPECT_TRUE(r.d.tree.Exists(BupRig::SlotPath(1)));
  // Pointed after a move elsewhere.
  r.Point(10, 10);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.Asking(); }, 40));
  point_at(CTamvikBup::kSelectorButtons[1]);
  EXPECT_EQ(r.M().yesNo, 2);
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.InMain(); }, 60));
  EXPECT_TRUE(r.d.tree.Exists(BupRig::SlotPath(1)));
  r.Press(kDecide);
  ASSERT_TRUE(r.RunUntil([&] { return r.Asking(); }, 40));
  point_at(CTamvikBup::kSelectorButtons[1]);
  point_at(CTamvikBup::kSelectorButtons[0]);
  EXPECT_EQ(r.M().yesNo, 1);
  r.Press(kDecide);
  EXPECT_EQ(r.TakeMessage(), CTamvikBup::kMessageDeleted);
  EXPECT_FALSE(r.d.tree.Exists(BupRig::SlotPath(1)));
}

// ---- Releases and the captured frame ----

TEST(BupReleases, NothingOfTheMenuRemainsAfterAnyWayOut) {
  enum class Way { kCancel, kLoad, kSave, kOwnerEnds };
  for (Way way : {Way::kCancel, Way::kLoad, Way::kSave, Way::kOwnerEnds}) {
    SCOPED_TRACE(static_cast<int>(way));
    BupRig r;
    r.Save(1, 0x0308);
    r.Start();
    const BupRig::Held before = BupRig::Count();
    r.Open(way == Way::kSave ? 1 : 0);
    const BupRig::Held open = BupRig::Count();
    EXPECT_GE(open.windows, before.windows + 3);
    EXPECT_EQ(open.files, 2);
    EXPECT_GE(open.animations, before.animations + 4);
    switch (way) {
      case Way::kCancel:
        r.Press(kCancel);
        break;
      case Way::kLoad:
        r.DecideAndAnswer(true);
        break;
      case Way::kSave:
        r.DecideAndAnswer(true);
        ASSERT_GE(r.TakeMessage(), 0);
        r.Press(kCancel);
        break;
      case Way::kOwnerEnds:
        Ctx().game_task.DelTask(r.manager);
        break;
    }
    ASSERT_TRUE(r.RunUntil([&] { return r.MenuTask() == nullptr; }, 200));
    r.Frames(2);
    EXPECT_EQ(BupRig::Count(), before);
  }
}

TEST(BupFrame, ACapturedFrameShowsTheRows) {
  BupRig r;
  r.Save(2, 0x0308, 0x300, "2001/08/02 09:05");
  r.Start();
  r.Open(1);
  r.Frames(3);
  // The list's text area shows something besides the black of the empty layers: the rows.
  const Rect inner = CTamvikBup::kWindowRects[CTamvikBup::kListWindow].inner;
  int lit = 0;
  for (int y = inner.top; y < inner.bottom; y += 2) {
    for (int x = inner.left; x < inner.right; x += 2) {
      if (r.d.display().FramePixel(x, y) != 0) ++lit;
    }
  }
  EXPECT_GT(lit, 100);
  // Row 2's slot line ("F02 2001/08/02 09:05") at (264, 80 + 8) of the text area.
  int line = 0;
  for (int y = inner.top + 88; y < inner.top + 112; ++y) {
    for (int x = inner.left + 264; x < inner.left + 500; ++x) {
      if (r.d.display().FramePixel(x, y) != 0) ++line;
    }
  }
  EXPECT_GT(line, 200);
  // The frame as a picture (kept under TAMVIK_BUP_FRAMES=<folder> when set).
  EXPECT_TRUE(r.d.display().SaveFramePng(r.d.tree.Path("bup_menu.png")));
  EXPECT_TRUE(r.d.tree.Exists("bup_menu.png"));
  if (const char* dir = std::getenv("TAMVIK_BUP_FRAMES")) {
    EXPECT_TRUE(r.d.display().SaveFramePng(std::string(dir) + "/bup_menu.png"));
  }
}

}  // namespace
