// The scene ends (MINIGAME with its resume, FIGHT, MACROEND in the extras scene), the special
// scenes' skip, and the failures and stops of a scene, run through the scene rig.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/headless/headless_clock.h"
#include "platform/headless/headless_movie.h"
#include "platform/window.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_lips.h"
#include "testsupport/lips_files.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/scene_files.h"
#include "testsupport/scene_rig.h"
#include "testsupport/talk_files.h"
#include "testsupport/test_scene.h"
#include "testsupport/wav_writer.h"

namespace scenetest {
namespace {

using testsupport::LongLit;
using testsupport::Num;
using testsupport::ProgramDriver;
using testsupport::SceneRig;
using testsupport::ScriptWriter;
using testsupport::VarA;

constexpr int kStartFrames = 160;
// A scene end through its fade and silencing (FIGHT, MINIGAME).
constexpr int kEndFrames = 200;
constexpr int kMacroendFrames = 420;

// Traced lines containing the fragment.
int TraceCount(const testsupport::ProgramDriver& d, const std::string& fragment) {
  int n = 0;
  for (const auto& line : d.trace().lines()) n += line.text.find(fragment) != std::string::npos;
  return n;
}

// The word index just after MINIGAME's operand.
uint32_t AfterMinigame(const ScriptWriter& w, uint16_t n) {
  const std::vector<uint16_t> words = w.words();
  for (uint32_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] == testsupport::kOpMinigame && words[i + 1] == n) return i + 2;
  }
  ADD_FAILURE() << "no MINIGAME";
  return 0;
}

TEST(SceneEnds, MinigameInsideACallResumesAfterItsOperandWithTheCallFrameKept) {
  SceneRig rig;
  const ScriptWriter script = testsupport::MinigameInCallScript(7);
  rig.Lay(0x0100, script);
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.RunUntilMode(kStartFrames + kEndFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeMinigame);
  EXPECT_EQ(CTamvikAdv::GetEndCode(), 2u);
  EXPECT_EQ(CTamvikAdv::GetMiniGameNo(), 7u);
  const AdvState& adv = *GetAdvState();
  EXPECT_EQ(adv.resumeInScript(), 1);
  EXPECT_EQ(adv.resumePosition(), AfterMinigame(script, 7));
  EXPECT_EQ(GetSystemData()->minigameFromTest(), 0u);
  EXPECT_EQ(Game().macro.depth2, 2u);  // the CALL's frame (two words), open across the minigame
  EXPECT_EQ(GetMacroA(2), 2);
  EXPECT_EQ(GetMacroA(4), 0);
  EXPECT_FALSE(rig.InterpreterRuns());
  EXPECT_FALSE(rig.ControllerRuns());

  // The next controller resumes there: the rest of the sub, its RETURN, then the caller.
  rig.ClearRequestedMode();
  ASSERT_TRUE(rig.StartScene(adv.sceneCode()));
  ASSERT_TRUE(rig.RunUntilMode(kStartFrames + 400));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeStageClear);
  EXPECT_EQ(adv.resumeInScript(), 0);
  EXPECT_EQ(GetMacroA(4), 1);
  EXPECT_EQ(GetMacroA(3), 3);
  EXPECT_EQ(GetMacroA(1), 1);  // the scene was not started again from word 0
  EXPECT_EQ(Game().macro.depth2, 0u);
  EXPECT_FALSE(rig.d.scene.macro.HasDecodeError());
}

TEST(SceneEnds, ExtrasSceneFillsItsVariablesAndWritesThemBackAtMacroend) {
  SceneRig rig;
  SystemData& system = *GetSystemData();
  system.setLastEnding(3);
  system.setMinigamesSeen(0x05);  // bits 0 and 2
  system.setHeroineFlags(0x03);   // bits 0 and 1
  system.setEndingsSeen(0x21);    // bits 0 and 5
  rig.Lay(0x0109, testsupport::ExtrasScript());
  for (int p = 80; p <= 96; ++p) SetMacroP(p, 9);
  ASSERT_TRUE(rig.StartScene(0x0109));
  ASSERT_TRUE(rig.d.Run(4));
  EXPECT_EQ(GetMacroP(80), 3);
  const uint16_t expected[8] = {2, 1, 1, 0, 0, 0, 0, 0};  // P[81..88]
  for (int k = 0; k < 8; ++k) EXPECT_EQ(GetMacroP(81 + k), expected[k]) << "P[" << 81 + k << "]";
  EXPECT_EQ(GetMacroP(89), 0);
  const uint16_t endings[6] = {1, 0, 1, 0, 0, 0};  // bits 0, 1, 5, 4, 3, 2
  for (int i = 0; i < 6; ++i) EXPECT_EQ(GetMacroP(91 + i), endings[i]) << "P[" << 91 + i << "]";

  ASSERT_TRUE(rig.RunUntilMode(kStartFrames + kEndFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeMinigame);
  EXPECT_EQ(system.minigameFromTest(), 1u);
  EXPECT_EQ(GetMacroP(90), 3);  // P[81] + 1

  // What the minigame changed; the resume loads the script again and keeps P[] as it stands.
  SetMacroP(84, 2);
  SetMacroP(88, 1);
  rig.ClearRequestedMode();
  ASSERT_TRUE(rig.StartScene(0x0109));
  ASSERT_TRUE(rig.RunUntilMode(kStartFrames + kMacroendFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeStageClear);
  EXPECT_EQ(TraceCount(rig.d, "MacroLoad Binary Filename Macro\\0109.bin"), 2);
  EXPECT_EQ(GetMacroA(5), 5);
  EXPECT_EQ(GetMacroA(6), 6);
  EXPECT_EQ(GetMacroP(84), 2);
  EXPECT_EQ(system.heroineFlags(), 0x03 | 0x01 | 0x08);  // P[81] = 2 and P[84] = 2
  EXPECT_EQ(system.minigamesSeen(), 0x05 | 0x80);
  EXPECT_EQ(system.picturesSeen(), 0u);  // no progress record in the extras scene
}

TEST(SceneEnds, ClosingTheScenePictureReleasesItsPiecesAndCrossFades) {
  SceneRig rig;
  rig.Lay(0x0100, testsupport::Scene0100Script());
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.d.RunUntil("window open", [](const auto&) {
    return TamvikFunc::HasMessageWindow() && IsScreenFadeDone(); }, kStartFrames));
  CTamvikMacro& macro = rig.d.scene.macro;
  macro.backgrounds_shown = macro.face_shown = macro.chara_shown = macro.item_shown = 1;
  macro.shown_face = 4;
  GetAdvState()->setFaceId(3);
  GetAdvState()->setBustUpId(2);
  macro.CloseScenePicture();
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
  EXPECT_FALSE(IsScreenFadeDone());
  EXPECT_EQ(macro.backgrounds_shown + macro.face_shown + macro.chara_shown + macro.item_shown +
                macro.scene_ready,
            0u);
  EXPECT_EQ(macro.shown_face, 0);
  EXPECT_EQ(GetAdvState()->faceId(), 0);
  EXPECT_EQ(GetAdvState()->bustUpId(), 0);
}

TEST(SceneEnds, RecordProgressSetsTheBitsOfItsValues) {
  const struct {
    uint16_t value;
    uint32_t bits;
  } cases[] = {{1, 1u << 0}, {6, 1u << 5}, {21, 1u << 16}, {27, 1u << 22},
               {0, 0},       {7, 0},       {20, 0},        {28, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    testsupport::TestScene scene;
    for (int i = 0; i < 10; ++i) SetMacroP(i, 0);
    SetMacroP(9, c.value);
    GetSystemData()->setPicturesSeen(1u << 30);
    CTamvikMacro::RecordProgress();
    EXPECT_EQ(GetSystemData()->picturesSeen(), (1u << 30) | c.bits);
  }
}

TEST(SceneEnds, FightRecordsProgressSilencesAndAsksForTheBattle) {
  SceneRig rig;
  rig.d.tree.Write("install/tamvik1/bgm/m01.wav",
                   testsupport::PcmWav(1, 22050, 16, testsupport::Tone(1, 22050, 22050 * 6, 440, 8000))
                       .Bytes());
  ScriptWriter w;
  w.Assign(VarA(1), Num(1)).Wait(LongLit(3));
  testsupport::Fight(w);
  rig.Lay(0x0100, w);
  SetMacroP(3, 22);
  ASSERT_TRUE(rig.StartScene(0x0000));
  CDsoundFunc& sound = Ctx().dsound;
  ASSERT_TRUE(rig.d.RunUntil("first command", [](const auto&) { return GetMacroA(1) == 1; },
                             kStartFrames));
  ASSERT_EQ(sound.PlayBGM("tamvik1\\bgm\\m01.wav"), 1);
  int fading_frames = 0;
  ASSERT_TRUE(rig.d.RunUntil(
      "battle requested",
      [&](const auto&) {
        if (!sound.IsBGMStop() && !sound.IsBGMFadeEnd()) ++fading_frames;
        return rig.RequestedMode() != SceneRig::kNoMode;
      },
      kEndFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeBattle);
  EXPECT_EQ(CTamvikAdv::GetEndCode(), 0u);  // cleared by the controller after code 6
  EXPECT_EQ(GetSystemData()->picturesSeen(), 1u << 17);
  EXPECT_NEAR(fading_frames, 60, 2);
  EXPECT_TRUE(sound.IsBGMStop());
  EXPECT_TRUE(sound.IsVoiceStop());
  EXPECT_TRUE(sound.IsSEStop());
  EXPECT_EQ(sound.channels[kChannelBgm].volume, 100u);
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
}

// Scene 0x0107: key 3 during the WAIT; the command after the WAIT never runs.
TEST(SpecialScenes, KeyThreeInScene0107EndsTheSceneThroughMacroendAfterTheWait) {
  SceneRig rig;
  rig.Lay(0x0107, testsupport::SkipSceneScript(40));
  ASSERT_TRUE(rig.StartScene(0x0107));
  ASSERT_TRUE(rig.d.RunUntil("first command", [](const auto&) { return GetMacroA(1) == 1; },
                             kStartFrames));
  rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 5, kGameKey3),
                  testsupport::GameKeyUp(rig.d.frame() + 7, kGameKey3)});
  ASSERT_TRUE(rig.d.Run(10));
  EXPECT_EQ(GetAdvState()->sceneSkip(), 1u);
  EXPECT_NE(Ctx().game_task.FindTask("CTamvikMacro::DecodeWait"), nullptr);
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikMacro::DecodeMacroend"), nullptr);  // not before
  ASSERT_TRUE(rig.RunUntilMode(kMacroendFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeStageClear);
  EXPECT_EQ(GetMacroA(2), 0);
  EXPECT_EQ(GetAdvState()->sceneSkip(), 0u);
  EXPECT_FALSE(rig.d.scene.macro.HasDecodeError());
}

// The skip takes the item picture off the screen at once, not only its number: the frame shows
// what lies under it while the WAIT still runs.
TEST(SpecialScenes, TheSkipOfScene0107TakesTheItemPictureOffAtOnce) {
  SceneRig rig;
  rig.d.tree.Write("install/tamvik1/item/item05.spr", testsupport::PlainPictureFile(224, 224, 12));
  ScriptWriter w;
  w.Wait(testsupport::Lit(20)).Assign(VarA(1), Num(1));
  w.Command(0x2D, {testsupport::Lit(5), testsupport::Lit(0)});  // ITEM 5
  w.Assign(VarA(2), Num(2)).Wait(LongLit(3000));
  testsupport::Macroend(w);
  rig.Lay(0x0107, w);
  ASSERT_TRUE(rig.StartScene(0x0107));
  // The item lies over (208,64)-(432,288) of the screen.
  const auto probe = [&rig] { return rig.d.display().FramePixel(320, 176); };
  ASSERT_TRUE(rig.d.RunUntil("before the item", [](const auto&) { return GetMacroA(1) == 1; },
                             kStartFrames));
  const uint16_t under = probe();
  ASSERT_TRUE(rig.d.RunUntil("the item shown", [&rig](const auto&) {
    return GetMacroA(2) == 2 && rig.d.scene.macro.item_anime == nullptr;
  }, 120));
  ASSERT_TRUE(rig.d.Run(2));
  ASSERT_NE(probe(), under);
  rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey3),
                  testsupport::GameKeyUp(rig.d.frame() + 2, kGameKey3)});
  ASSERT_TRUE(rig.d.Run(4));
  EXPECT_EQ(GetAdvState()->sceneSkip(), 1u);
  EXPECT_EQ(GetAdvState()->itemPicture(), 0);
  EXPECT_NE(Ctx().game_task.FindTask("CTamvikMacro::DecodeWait"), nullptr);
  EXPECT_EQ(rig.d.scene.macro.item_entry, nullptr);
  EXPECT_EQ(probe(), under);
}

// Moves the game clock on by `frames` frames in one step (the idle timer reads the clock).
void LeapFrames(SceneRig& rig, int frames) {
  rig.d.host().clock.Advance(static_cast<uint32_t>(frames) * 1000 / 60);
}

TEST(SpecialScenes, IdleSceneTimesOutAfter7200FramesAndEndsTheSameWay) {
  SceneRig rig;
  rig.Lay(0x0108, testsupport::SkipSceneScript(7300));
  ASSERT_TRUE(rig.StartScene(0x0108));
  ASSERT_TRUE(rig.d.RunUntil("first command", [](const auto&) { return GetMacroA(1) == 1; },
                             kStartFrames));
  ASSERT_TRUE(rig.d.Run(2));
  LeapFrames(rig, 7150);
  ASSERT_TRUE(rig.d.Run(2));
  EXPECT_EQ(GetAdvState()->sceneSkip(), 0u);
  LeapFrames(rig, 60);
  ASSERT_TRUE(rig.d.Run(2));
  EXPECT_EQ(GetAdvState()->sceneSkip(), 1u);
  EXPECT_EQ(rig.d.scene.adv.idle_timer, nullptr);
  LeapFrames(rig, 120);  // the WAIT of 7300 ends
  ASSERT_TRUE(rig.RunUntilMode(kMacroendFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeStageClear);
  EXPECT_EQ(GetMacroA(2), 0);
}

TEST(SpecialScenes, IdleTimerRestartsWithEveryCommandSoShortWaitsNeverTimeOut) {
  SceneRig rig;
  rig.Lay(0x0108, testsupport::ShortWaitsScript(3, 7000));
  ASSERT_TRUE(rig.StartScene(0x0108));
  ASSERT_TRUE(rig.d.RunUntil("decoding", [](const auto& d) {
    return d.scene.adv.idle_timer != nullptr; }, kStartFrames));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(rig.d.Run(3));
    LeapFrames(rig, 7100);  // each WAIT over, the idle timer below 7200 since its command
    ASSERT_TRUE(rig.d.Run(3));
  }
  ASSERT_TRUE(rig.RunUntilMode(kMacroendFrames));
  EXPECT_EQ(GetMacroA(3), 3);
  EXPECT_EQ(GetAdvState()->sceneSkip(), 0u);
}

TEST(SceneFailures, ResumeWithoutAScriptLoadsTheScenesOwnScript) {
  const ScriptWriter script = testsupport::MinigameInCallScript(2);
  const ScriptWriter other = testsupport::Scene0100Script();
  // As after loading a save made during a minigame: no script in memory, or another scene's.
  for (const bool other_in_memory : {false, true}) {
    SCOPED_TRACE(other_in_memory ? "another scene's script in memory" : "no script in memory");
    SceneRig rig;
    rig.Lay(0x0100, script);
    rig.Lay(0x0302, other);
    if (other_in_memory) {
      ASSERT_EQ(rig.d.scene.macro.MacroLoad(0x0302), 1);
    }
    AdvState& adv = *GetAdvState();
    adv.setResumeInScript(1);
    adv.setResumePosition(AfterMinigame(script, 2));
    Game().macro.depth2 = 0;
    ASSERT_TRUE(rig.StartScene(0x0100));
    ASSERT_TRUE(rig.d.Run(5));
    EXPECT_EQ(TraceCount(rig.d, "MacroLoad Binary Filename Macro\\0100.bin"), 1);
    EXPECT_EQ(adv.resumeInScript(), 0);
    EXPECT_EQ(rig.d.scene.macro.position(), AfterMinigame(script, 2));
    EXPECT_EQ(rig.d.scene.macro.script(), script.words());
  }
}

// A scene that cannot start or whose script cannot go on: the box and the trace name the file and
// the cause, the scene ends with every task under it, and the title is asked for.
TEST(SceneFailures, AScriptThatCannotGoOnNamesItsFileAndGoesBackToTheTitle) {
  struct Case {
    const char* name;
    uint16_t start;           // the scene code the controller starts with
    uint32_t resume;          // a resume position, or 0 for none
    std::vector<uint16_t> script;  // Macro\0100.bin; empty: none laid
    std::string table;        // Macro\0100tbl.bin when not empty (else the rig's)
    const char* named;        // what the box names
  };
  const std::vector<uint16_t> plain = testsupport::Scene0100Script().words();
  ScriptWriter change;
  change.NextScene(706);  // scene 0x0706: no script
  const Case cases[] = {
      {"no script", 0x0000, 0, {}, "", "Macro\\0100.bin cannot be opened"},
      {"no scene follows", 0x0999, 0, plain, "", "no scene follows scene 0999"},
      {"resume past the script", 0x0100, 60000, plain, "",
       "Macro\\0100.bin word 0: jump target past the end (60000)"},
      {"table without a head", 0x0000, 0, plain, std::string(3, '\0'),
       "Macro\\0100tbl.bin holds 2 bytes, less than its head"},
      {"table whose directory passes its end", 0x0000, 0, plain, std::string("\x00\x40\x00\x00", 4),
       "Macro\\0100tbl.bin has a head that does not fit it (N 64, T 0, 2 words)"},
      {"an unknown opcode", 0x0000, 0, {0x0001, 0x0077}, "", "Macro\\0100.bin word 2: unknown opcode (119)"},
      {"a scene change to a scene without a script", 0x0000, 0, change.words(), "",
       "Macro\\0706.bin cannot be opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SceneRig rig;
    if (!c.script.empty()) {
      ScriptWriter w;
      w.Words(c.script);
      rig.Lay(0x0100, w);
    }
    if (!c.table.empty()) rig.d.tree.Write(testsupport::SceneTableRel(0x0100), c.table);
    if (c.resume != 0) {
      GetAdvState()->setResumeInScript(1);
      GetAdvState()->setResumePosition(c.resume);
    }
    ASSERT_TRUE(rig.StartScene(c.start));
    ASSERT_TRUE(rig.RunUntilMode(kStartFrames));
    EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeTitle);
    EXPECT_FALSE(rig.ControllerRuns());
    EXPECT_FALSE(rig.InterpreterRuns());
    const auto& boxes = rig.d.host_window().boxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_NE(boxes[0].text.find(c.named), std::string::npos) << boxes[0].text;
    EXPECT_TRUE(rig.d.trace().Contains("stopped: "));
    // Nothing more happens, and nothing is retried.
    const int loads = TraceCount(rig.d, "MacroLoad Binary Filename");
    ASSERT_TRUE(rig.d.Run(30));
    EXPECT_EQ(TraceCount(rig.d, "MacroLoad Binary Filename"), loads);
    EXPECT_EQ(boxes.size(), 1u);
  }
}

TEST(SceneStops, StopAdvRestartsTheSceneWithOrWithoutAController) {
  {
    SceneRig rig;
    rig.Lay(0x0100, testsupport::Scene0100Script());
    ASSERT_TRUE(rig.StartScene(0x0000));
    ASSERT_TRUE(rig.d.Run(6));
    CTamvikAdv::StopAdv();
    EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeLoadRestart);
    EXPECT_EQ(GetAdvState()->debugRestart(), 1);
    EXPECT_FALSE(rig.InterpreterRuns());
  }
  {
    SceneRig rig;
    rig.EndOwner();
    ASSERT_TRUE(rig.d.Step());
    CTamvikAdv::StopAdv();
    EXPECT_EQ(GetAdvState()->debugRestart(), 1);
    // The real manager started and given GM_ADV_INIT.
    GameTaskRec* manager = Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(TaskStep(manager), CTamvikAdv::kModeAdvInit);
  }
}

// ---- A scene stopped while one of its commands runs ----

// A whole-program rig whose loop is woken before every frame while a movie plays (as a restless
// player's mouse would), so that MOVIE runs frame by frame.
ProgramDriver::Options WakingOptions() {
  ProgramDriver::Options options;
  options.before_frame = [] {
    if (AppGetLoopMode() == 0 && Ctx().frame_rate.main_window != nullptr) {
      Ctx().frame_rate.main_window->PostEvent({platform::EventKind::kInput, 0});
    }
  };
  return options;
}

// Pictures every 20 ms over the seconds, for MOVIE.
platform::headless::ScriptedMovie SolidMovie(double seconds) {
  platform::headless::ScriptedMovie movie;
  movie.duration = seconds;
  movie.format.width = 96;
  movie.format.height = 96;
  for (int t = 0, k = 0; t < seconds * 1000; t += 20, ++k) {
    movie.frames.push_back(platform::headless::HeadlessMovies::SolidFrame(
        movie.format, t / 1000.0, static_cast<uint16_t>(0x0841 + k)));
  }
  return movie;
}

GameTaskRec* Task(const char* name) { return Ctx().game_task.FindTask(name); }

// The scene's files for every row: a long voice for message 1, the choice of message 2, two
// tunes, a movie and the choice window's pictures.
void LayRunningCommandFiles(SceneRig& rig, const ScriptWriter& script) {
  testsupport::GameTree& tree = rig.d.tree;
  testsupport::LayVoice(tree, 7, 600);
  testsupport::LayLipsFiles(tree);
  const std::vector<uint8_t> tune =
      testsupport::PcmWav(1, 22050, 16, testsupport::Tone(1, 22050, 22050 * 8, 440, 4000)).Bytes();
  tree.Write("install/tamvik1/bgm/sm01.wav", tune);
  tree.Write("install/tamvik1/bgm/sm02.wav", tune);
  const std::string movie = tree.Write("install/Movie/Movie005.mpg", std::string("scripted"));
  rig.d.host().movies.Add(movie, SolidMovie(20.0));
  const std::vector<uint8_t> table = testsupport::MessageTableWriter()
                                         .Add({1, 7, "ab", "cd"})
                                         .Add({2, 5, "c", testsupport::ChoiceText(3, 4)})
                                         .Bytes();
  testsupport::LayScene(tree, 0x0100, script.Bytes(), table);
}

// A scene stopped by the debug stop while a command runs: each command ends through its own end
// path before its task goes, so nothing of the scene runs on, sounds or shows, and the scene
// started again runs the same command afresh.
TEST(SceneStops, EveryRunningCommandEndsThroughItsOwnEndWhenTheSceneIsStopped) {
  using testsupport::Lit;
  const struct {
    const char* name;
    std::function<void(ScriptWriter&)> command;
    std::function<bool()> running;
  } rows[] = {
      {"WAIT", [](ScriptWriter& w) { w.Wait(LongLit(5000)); },
       [] { return Task("CTamvikMacro::DecodeWait") != nullptr && Scene().macro.wait_timer; }},
      {"PRINT with its voice", [](ScriptWriter& w) { w.Command(0x22, {Lit(1)}); },
       [] { return TamvikFunc::IsVoicePlaying(); }},
      {"SELECT", [](ScriptWriter& w) { w.Command(0x17, {Lit(2)}); },
       [] { return !Scene().lips.IsLipsEnd(); }},
      {"CLICKWAIT", [](ScriptWriter& w) { w.Command(0x03); },
       [] { return CTamvikIcon::IsIconSeq(); }},
      {"MUSIC fading the tune out",
       [](ScriptWriter& w) {
         w.Command(0x21, {Lit(1)}).Wait(Lit(10)).Assign(VarA(3), Num(3));
         w.Command(0x21, {Lit(2)});
       },
       [] {
         GameTaskRec* music = Task("CTamvikMacro::DecodeMusic");
         return GetMacroA(3) == 3 && music != nullptr && TaskStep(music) == 2 &&
                Ctx().dsound.GetBGMVolume() < 100;
       }},
      {"MOVIE", [](ScriptWriter& w) { w.Command(0x19, {Lit(5)}); },
       [] { return Ctx().movie.GetMovieState() == kMoviePlaying; }},
      {"BGTONE's tone task",
       [](ScriptWriter& w) {
         w.Assign(VarA(0), Num(0)).Assign(VarA(1), Num(40)).Special(Lit(6));
         w.Wait(LongLit(5000));
       },
       [] { return Task("CTamvikMacro::Bg0Tone") != nullptr && Scene().macro.tone_surface[0] != -1; }},
      {"HSLIDE",
       [](ScriptWriter& w) {
         w.Assign(VarA(0), Num(6)).Assign(VarA(1), Num(100)).Assign(VarA(2), Num(50));
         w.Special(Lit(8));
       },
       [] {
         GameTaskRec* slide = Task("CTamvikMacro::HSlideTask");
         return slide != nullptr && TaskStep(slide) == 2;
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SceneRig rig(WakingOptions());
    ScriptWriter w;
    w.Assign(VarA(9), Num(9));
    row.command(w);
    w.Wait(LongLit(5000));
    testsupport::Macroend(w);
    LayRunningCommandFiles(rig, w);
    ASSERT_TRUE(rig.StartScene(0x0000));
    ASSERT_TRUE(rig.d.RunUntil("the first command", [](const auto&) { return GetMacroA(9) == 9; },
                               kStartFrames));
    CDdrawFunc& ddraw = Ctx().ddraw;
    const LayerRec layer5 = *ddraw.GetLayer(SURFACE_BG);
    ASSERT_TRUE(rig.d.RunUntil("the command runs", [&](const auto&) { return row.running(); },
                               300));

    CTamvikAdv::StopAdv();
    for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
      EXPECT_NE(t->name.rfind("CTamvikMacro::", 0), 0u) << t->name;
    }
    CTamvikMacro& macro = rig.d.scene.macro;
    EXPECT_TRUE(rig.d.scene.lips.IsLipsEnd());
    EXPECT_FALSE(CTamvikIcon::IsIconSeq());
    CDsoundFunc& sound = Ctx().dsound;
    EXPECT_TRUE(sound.IsBGMStop());
    EXPECT_EQ(sound.channels[kChannelBgm].volume, 100u);
    EXPECT_TRUE(sound.IsVoiceStop());
    EXPECT_TRUE(TamvikFunc::IsMessageDone());
    EXPECT_EQ(Ctx().movie.GetMovieState(), kMovieNone);
    EXPECT_EQ(ddraw.IsUpdate(0), 0u);
    EXPECT_EQ(macro.wait_timer, nullptr);
    EXPECT_EQ(macro.tone_surface[0], -1);
    EXPECT_EQ(ddraw.GetLayer(SURFACE_BG)->tone, 100);
    EXPECT_EQ(ddraw.GetLayer(SURFACE_BG)->screen_x, layer5.screen_x);

    // The manager's load restart ends the controller and starts the scene again.
    CTamvikAdv::EndAdvMain();
    rig.ClearRequestedMode();
    ASSERT_TRUE(rig.StartScene(0x0100));
    EXPECT_TRUE(rig.d.RunUntil("the command again", [&](const auto&) { return row.running(); },
                               kStartFrames + 300));
    EXPECT_FALSE(rig.d.trace().Contains("a choice runs already"));
    EXPECT_FALSE(rig.d.trace().Contains("IconSeq Alreadt Stayed"));
    EXPECT_FALSE(macro.HasDecodeError());
  }
}

TEST(SceneStops, EndAdvMainStopsTheSoundsDeletesTheAnimationsAndEndsEveryTaskOfTheScene) {
  SceneRig rig;
  rig.Lay(0x0100, testsupport::Scene0100Script());
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.d.RunUntil("a command task", [](const auto&) {
    return Ctx().game_task.FindTask("CTamvikMacro::DecodeWait") != nullptr; }, kStartFrames));
  // A task under the WAIT that does not check its owner: it goes with the interpreter too.
  GameTaskRec* wait = Ctx().game_task.FindTask("CTamvikMacro::DecodeWait");
  Ctx().game_task.SetTask(wait, [](GameTaskRec*) {}, "Test::Unchecked",
                          TaskNewBlock<TaskWork>(), nullptr);
  AnimeHandle timer = Ctx().anime.CreateTimer();
  ASSERT_TRUE(rig.d.scene.tamvik_spr.spx() != nullptr);
  CTamvikAdv::EndAdvMain();
  EXPECT_EQ(Ctx().anime.IsAnime(timer), 0);
  EXPECT_TRUE(Ctx().anime.Records(kAnimeSpx).empty());
  EXPECT_FALSE(rig.ControllerRuns());
  EXPECT_FALSE(rig.InterpreterRuns());
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikMacro::DecodeWait"), nullptr);
  EXPECT_EQ(Ctx().game_task.FindTask("Test::Unchecked"), nullptr);
  EXPECT_EQ(rig.d.scene.macro.wait_timer, nullptr);
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  ASSERT_TRUE(rig.d.Run(30));
  EXPECT_EQ(rig.RequestedMode(), SceneRig::kNoMode);
}

TEST(SceneStops, ASceneEndedDuringItsCrossFadeLeavesNothingRunningForTheNextScene) {
  SceneRig rig;
  rig.Lay(0x0100, testsupport::Scene0100Script());
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.d.Run(6));  // the scene start's first cross-fade runs
  ASSERT_FALSE(IsScreenFadeDone());
  CTamvikAdv::EndAdvMain();
  EXPECT_TRUE(IsScreenFadeDone());
  EXPECT_EQ(rig.d.scene.icon.pointer_anime, nullptr);

  GetAdvState()->setDebugRestart(1);
  ASSERT_TRUE(rig.StartScene(0x0100));
  EXPECT_TRUE(rig.d.RunUntil("first command", [](const auto&) { return GetMacroA(1) == 1; },
                             kStartFrames));
}

}  // namespace
}  // namespace scenetest
