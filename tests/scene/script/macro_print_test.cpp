// PRINT: the voice and the mouth's clock, the keys of the wait, the menu key (with and without an
// item picture on screen) and a message the table does not hold.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "scene/script/macro_tasks.h"
#include "scene/ui/tamvik_icon.h"
#include "script_rig.h"
#include "testsupport/scene_files.h"
#include "testsupport/talk_files.h"
#include "testsupport/trace_capture.h"

namespace scripttest {
namespace {

constexpr const char* kPrintName = "CTamvikMacro::DecodePrint";
constexpr const char* kMenuName = "CTamvikOption::OptionMenu";
constexpr int kVoiceFrames = 90;
constexpr uint16_t kUnvoiced = 1;  // an empty entry: no voice, no lip text
constexpr uint16_t kVoiced = 2;    // voice 0 (0xFFFF)
constexpr uint16_t kVoice12 = 3;

std::vector<uint8_t> TalkTable() {
  return testsupport::MessageTableWriter()
      .Add({kUnvoiced, 0, "", "abcd"})
      .Add({kVoiced, 0xFFFF, "aiu", "efgh"})
      .Add({kVoice12, 12, "eo", "ijkl"})
      .Bytes();
}

ScriptWriter& Print(ScriptWriter& w, uint16_t id) { return w.Command(0x22, {Lit(id)}); }

// The option menu as the tests see it: a task of the menu's name under PRINT, ended when told.
bool g_menu_end = false;
void FakeOptionMenu(GameTaskRec* task) {
  if (g_menu_end) task->function = nullptr;
}

bool MenuRuns() {
  GameTaskRec* task = Ctx().game_task.FindTask(kMenuName);
  return task != nullptr && task->function != nullptr;
}

class PrintRig : public ScriptRig {
 public:
  PrintRig() {
    g_menu_end = false;
    testsupport::LaySceneFiles(d.tree);
    testsupport::LaySystemSounds(d.tree);
    for (int voice : {0, 1000, 1012}) testsupport::LayVoice(d.tree, voice, kVoiceFrames);
    testsupport::LayTalkingChara(d.tree, 3, {});
    for (int item : {5, 150, 250}) testsupport::LayItem(d.tree, item);
    TamvikFunc::LoadSystemSe();
    CTamvikIcon::LoadIconSpr();
    EXPECT_EQ(ADVShowWindow(), 1);
    EXPECT_EQ(TamvikFunc::LoadNcSpxFilePos("tamvik1\\nc\\3.spr", 0, 0, SURFACE_FC), 1);
    GameSequences& s = d.sequences();
    s.option_menu.start = [this](GameTaskRec* owner) {
      ++menu_starts;
      Ctx().game_task.SetTask(owner, &FakeOptionMenu, kMenuName, TaskNewBlock<TaskWork>(),
                              nullptr);
    };
    s.option_menu.is_running = [] { return MenuRuns(); };
    s.option_return_mode = [this](uint32_t mode) { return_mode = static_cast<int>(mode); };
  }

  // PRINTs of the ids, then A[5] = 7 and a stop; started in `scene`.
  void Play(uint16_t scene, const std::vector<uint16_t>& ids) {
    SetMacroA(5, 0);
    ScriptWriter w;
    for (uint16_t id : ids) Print(w, id);
    w.Assign(VarA(5), Num(7));
    Stop(w);
    Lay(scene, w, TalkTable());
    Start(scene);
  }

  int PrintStep() const {
    GameTaskRec* task = Ctx().game_task.FindTask(kPrintName);
    return task != nullptr && task->function != nullptr ? TaskStep(task) : -1;
  }
  bool ReachStep(int step, int limit = 60) {
    return d.RunUntil("PRINT step", [&](const testsupport::ProgramDriver&) {
      return PrintStep() == step;
    }, limit);
  }
  bool DecodingWentOn(int limit) {
    return d.RunUntil("A[5] = 7", [](const testsupport::ProgramDriver&) {
      return GetMacroA(5) == 7;
    }, limit);
  }
  void Press(uint32_t key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, key),
                testsupport::GameKeyUp(d.frame() + 2, key)});
  }
  // One frame, counting the starts of system sounds 1, 2 and 4 (static slots 0, 1 and 3).
  void Frame() {
    d.Step();
    for (int i = 0; i < 3; ++i) {
      const int slot = kSlots[i];
      const auto& held = Ctx().dsound.static_se.slot[static_cast<size_t>(slot)];
      const bool playing = held != nullptr && held->IsPlaying();
      if (playing && !was_playing[i]) ++sound_starts[i];
      was_playing[i] = playing;
    }
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }
  // Frames (counting sounds) until PRINT is in the step, at most `limit`.
  bool FramesUntilStep(int step, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (PrintStep() == step) return true;
      Frame();
    }
    return PrintStep() == step;
  }
  int Sound(int n) const { return sound_starts[n == 1 ? 0 : n == 2 ? 1 : 2]; }

  static std::string VoiceFile() {
    const char* name = Ctx().dsound.GetPlayFileName(kChannelVoice);
    return name != nullptr ? name : "";
  }
  AnimeTalkBlock* Mouth() {
    return Ctx().anime.BlockOf<AnimeTalkBlock>(d.scene.portraits.nc_lip_anime);
  }

  int menu_starts = 0;
  int return_mode = -1;
  static constexpr int kSlots[3] = {0, 1, 3};
  int sound_starts[3] = {};
  bool was_playing[3] = {};
};

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

TEST(PrintCommand, VoiceAndMouthClock) {
  struct Case {
    const char* what;
    uint16_t scene;
    uint16_t id;
    bool voice_off;
    bool skip_held;
    const char* voice;  // the file's tail, "" none
    int clock;          // -1: not looked at
  };
  const Case cases[] = {
      {"voice -1", 0x0701, kUnvoiced, false, false, "", kTalkGameClock},
      {"voice 0 in chapter 7", 0x0701, kVoiced, false, false, "voice\\0000.wav",
       kTalkVoiceClock},
      {"voice 0 in chapter 8", 0x0801, kVoiced, false, false, "voice\\1000.wav",
       kTalkVoiceClock},
      {"voice 12 in chapter 8", 0x0801, kVoice12, false, false, "voice\\1012.wav",
       kTalkVoiceClock},
      {"voices off", 0x0701, kVoiced, true, false, "", kTalkGameClock},
      {"key 2 held", 0x0701, kVoiced, false, true, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrintRig rig;
    GetSystemData()->setVoiceOff(c.voice_off ? 1 : 0);
    if (c.skip_held) {
      rig.d.Schedule(testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey2));
      rig.d.Run(2);
    }
    rig.Play(c.scene, {c.id});
    ASSERT_TRUE(rig.d.RunUntil("typing", [&](const testsupport::ProgramDriver&) {
      return rig.PrintStep() >= 2 || GetMacroA(5) == 7;
    }, 10));
    const std::string voice = PrintRig::VoiceFile();
    if (c.voice[0] == '\0') {
      EXPECT_EQ(voice, "");
    } else {
      EXPECT_TRUE(EndsWith(voice, c.voice)) << voice;
    }
    ASSERT_NE(rig.Mouth(), nullptr);
    if (c.clock >= 0 && rig.PrintStep() == 2) {
      EXPECT_EQ(rig.Mouth()->clock, c.clock);
      EXPECT_EQ(rig.Mouth()->mode, c.id == kUnvoiced ? kTalkRandom : kTalkText);
    }
  }
}

TEST(PrintCommand, TheMessageWaitsForDecideAndDecodingGoesOn) {
  PrintRig rig;
  rig.Play(0x0701, {kUnvoiced});
  ASSERT_TRUE(rig.ReachStep(3));
  rig.Frames(5);
  EXPECT_EQ(rig.PrintStep(), 3);
  EXPECT_NE(rig.d.scene.macro.current_message, nullptr);
  EXPECT_NE(rig.d.scene.icon.wait_icon, nullptr);  // the wait icon while no voice plays
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.DecodingWentOn(5));
  EXPECT_EQ(rig.d.scene.macro.current_message, nullptr);
  EXPECT_EQ(rig.d.scene.icon.wait_icon, nullptr);
  ASSERT_NE(rig.Mouth(), nullptr);
  EXPECT_EQ(rig.Mouth()->mode, kTalkIdle);
}

TEST(PrintCommand, KeysWhileTheVoicePlays) {
  {
    SCOPED_TRACE("key 0 only plays sound 4");
    PrintRig rig;
    rig.Play(0x0701, {kVoiced});
    ASSERT_TRUE(rig.ReachStep(3));
    ASSERT_TRUE(TamvikFunc::IsVoicePlaying());
    rig.Press(kGameKey0);
    rig.Frames(3);
    EXPECT_EQ(rig.Sound(4), 1);
    EXPECT_TRUE(TamvikFunc::IsVoicePlaying());
    EXPECT_EQ(rig.PrintStep(), 3);
  }
  {
    SCOPED_TRACE("key 1 stops the voice and ends the message");
    PrintRig rig;
    rig.Play(0x0701, {kVoiced});
    ASSERT_TRUE(rig.ReachStep(3));
    ASSERT_TRUE(TamvikFunc::IsVoicePlaying());
    rig.Press(kGameKey1);
    ASSERT_TRUE(rig.DecodingWentOn(4));
    EXPECT_FALSE(TamvikFunc::IsVoicePlaying());
  }
  {
    SCOPED_TRACE("the scene skip stops the voice and ends the message");
    PrintRig rig;
    rig.Play(0x0701, {kVoiced});
    ASSERT_TRUE(rig.ReachStep(3));
    ASSERT_TRUE(TamvikFunc::IsVoicePlaying());
    GetAdvState()->setSceneSkip(1);
    ASSERT_TRUE(rig.DecodingWentOn(4));
    EXPECT_FALSE(TamvikFunc::IsVoicePlaying());
  }
}

TEST(PrintCommand, HoldingKey2SkipsEveryMessageOnceTyped) {
  PrintRig rig;
  rig.d.Schedule(testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey2));
  rig.d.Run(2);
  rig.Play(0x0701, {kVoiced, kVoice12, kVoiced});
  int voiced_frames = 0;
  ASSERT_TRUE(rig.d.RunUntil("three messages", [&](const testsupport::ProgramDriver&) {
    if (TamvikFunc::IsVoicePlaying()) ++voiced_frames;
    return GetMacroA(5) == 7;
  }, 120));
  EXPECT_EQ(voiced_frames, 0);
}

TEST(PrintCommand, MenuKeyWaitsForTheVoiceThenTheMessageIsRetyped) {
  PrintRig rig;
  rig.Play(0x0701, {kVoiced});
  ASSERT_TRUE(rig.ReachStep(3));
  ASSERT_TRUE(TamvikFunc::IsVoicePlaying());
  rig.Press(kGameKey3);  // logical key 4
  rig.Frames(3);
  EXPECT_EQ(rig.menu_starts, 0);
  EXPECT_EQ(rig.PrintStep(), 3);
  ASSERT_TRUE(rig.d.RunUntil("voice over", [](const testsupport::ProgramDriver&) {
    return !TamvikFunc::IsVoicePlaying();
  }, 3 * kVoiceFrames));
  rig.Frame();
  rig.Press(kGameKey3);
  ASSERT_TRUE(rig.d.RunUntil("menu", [](const testsupport::ProgramDriver&) { return MenuRuns(); },
                             5));
  EXPECT_EQ(rig.menu_starts, 1);
  EXPECT_EQ(rig.return_mode, 0);
  EXPECT_EQ(rig.PrintStep(), 92);
  EXPECT_EQ(rig.d.scene.icon.wait_icon, nullptr);
  rig.Frames(5);
  EXPECT_EQ(rig.PrintStep(), 92);  // held while the menu runs
  g_menu_end = true;
  ASSERT_TRUE(rig.ReachStep(3, 5));
  // Retyped at once: the typing of the whole text is done in its first steps.
  EXPECT_NE(rig.d.scene.macro.current_message, nullptr);
  EXPECT_EQ(GetMacroA(5), 0);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.DecodingWentOn(5));
}

TEST(PrintCommand, FaceBoxPressIsTheMenuKeyWhileAFaceIsShown) {
  for (bool face : {true, false}) {
    SCOPED_TRACE(face ? "face shown" : "no face");
    PrintRig rig;
    rig.d.scene.macro.face_shown = face ? 1 : 0;
    rig.Play(0x0701, {kUnvoiced});
    ASSERT_TRUE(rig.ReachStep(3));
    rig.d.Schedule({testsupport::PointerMove(rig.d.frame() + 1, 60, 400),
                    testsupport::PointerButton(rig.d.frame() + 2, 0, true),
                    testsupport::PointerButton(rig.d.frame() + 3, 0, false)});
    rig.Frames(4);
    if (face) {
      EXPECT_EQ(rig.menu_starts, 1);
      EXPECT_EQ(GetMacroA(5), 0);
    } else {
      EXPECT_EQ(rig.menu_starts, 0);
      EXPECT_TRUE(rig.DecodingWentOn(3));  // a plain decide press
    }
  }
}

TEST(PrintCommand, MenuWithAnItemPictureTakesItAwayAndBack) {
  struct Case {
    uint16_t item;
    int scale_out;  // percent the picture goes to, -1 none
    int width, height, x, y;
  };
  const Case cases[] = {
      {5, 0, 224, 224, 208, 64},
      {150, 300, 640, 480, 0, 0},
      {250, -1, 640, 480, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    PrintRig rig;
    CTamvikMacro& macro = rig.d.scene.macro;
    CDdrawSpr& spr = Ctx().ddraw_spr;
    // The picture as ITEM leaves it.
    GetAdvState()->setItemPicture(c.item);
    macro.item_shown = 1;
    MakeItemSprite(c.item);
    ASSERT_NE(macro.item_sprite, nullptr);
    macro.item_entry = spr.SetBuffer("Buffered", macro.item_sprite, 0, 0, SURFACE_TEXT, 1, 8);
    rig.Play(0x0701, {kUnvoiced});
    ASSERT_TRUE(rig.ReachStep(3));
    rig.Press(kGameKey3);
    rig.Frames(3);
    if (c.scale_out >= 0) {
      EXPECT_EQ(rig.PrintStep(), 101);
      ASSERT_NE(macro.item_anime, nullptr);
      EXPECT_EQ(rig.Sound(2), 1);
      // Scaling out: the drawing rectangle shrinks (0 %) or grows (300 %).
      rig.Frames(2);
      const int w = macro.item_sprite->rect.right - macro.item_sprite->rect.left;
      if (c.scale_out == 0) {
        EXPECT_LT(w, c.width);
      } else {
        EXPECT_GT(w, c.width);
      }
    } else {
      EXPECT_EQ(macro.item_anime, nullptr);
      EXPECT_EQ(rig.Sound(2), 0);
    }
    ASSERT_TRUE(rig.d.RunUntil("menu", [](const testsupport::ProgramDriver&) { return MenuRuns(); },
                               40));
    EXPECT_EQ(macro.item_sprite, nullptr);
    EXPECT_EQ(macro.item_entry, nullptr);
    EXPECT_EQ(macro.item_shown, 0u);
    g_menu_end = true;
    for (int i = 0; i < 5 && macro.item_entry == nullptr; ++i) rig.Frame();
    ASSERT_NE(macro.item_entry, nullptr);
    EXPECT_EQ(macro.item_shown, 1u);
    ASSERT_NE(macro.item_sprite, nullptr);
    EXPECT_EQ(macro.item_sprite->width, c.width);
    EXPECT_EQ(macro.item_sprite->height, c.height);
    EXPECT_EQ(macro.item_sprite->x, c.x);
    EXPECT_EQ(macro.item_sprite->y, c.y);
    ASSERT_TRUE(rig.FramesUntilStep(3, 40));
    EXPECT_EQ(rig.Sound(1), c.item < 200 ? 1 : 0);
    EXPECT_EQ(macro.item_anime, nullptr);
    // Full size again.
    EXPECT_EQ(macro.item_sprite->rect.right - macro.item_sprite->rect.left, c.width);
    EXPECT_NE(macro.current_message, nullptr);
  }
}

TEST(PrintCommand, AMissingMessageIsTracedAndTheScriptGoesOn) {
  PrintRig rig;
  testsupport::TraceCapture trace;
  rig.Play(0x0701, {77});
  ASSERT_TRUE(rig.DecodingWentOn(5));
  EXPECT_TRUE(trace.Contains("MessageData not Found!:0x701 77\n"));
  EXPECT_EQ(rig.PrintStep(), -1);
}

}  // namespace
}  // namespace scripttest
