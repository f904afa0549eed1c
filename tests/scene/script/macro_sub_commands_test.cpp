// SPECIAL's sub-commands through the interpreter: the inline words, the words that trace and go
// on, the fades, the tones, the slides, NoWaitPrint, the extras and the two held tasks.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "engine/input/dinput.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/scene_files.h"
#include "testsupport/talk_files.h"
#include "testsupport/wav_writer.h"
#include "script_rig.h"

namespace scripttest {
namespace {

using testsupport::PlainPictureFile;

constexpr uint8_t kOpBg = 0x33;
constexpr int kLimit = 600;

ScriptWriter& Done(ScriptWriter& w) {
  w.Assign(VarA(9), Num(1));
  return Stop(w);
}

// SPECIAL word with A[0..3] set before it.
ScriptWriter& Special(ScriptWriter& w, uint16_t word, std::vector<uint16_t> args = {}) {
  for (size_t i = 0; i < args.size(); ++i) w.Assign(VarA(static_cast<uint8_t>(i)), Num(args[i]));
  return w.Special(Lit(word));
}

class SpecialTest : public ::testing::Test {
 protected:
  SpecialTest() { testsupport::LaySceneFiles(rig.d.tree); }

  void Put(const std::string& rel, const std::vector<uint8_t>& bytes) {
    rig.d.tree.Write("install/" + rel, bytes);
  }
  void PutBg(int n, uint8_t value) {
    Put("tamvik1/bg/" + std::to_string(n) + ".spr", PlainPictureFile(640, 480, value));
  }

  void Begin(const ScriptWriter& w, uint16_t scene = 0x0305) {
    if (rig.decode_task() != nullptr) CTamvikMacro::StopDecoding();
    SetMacroA(9, 0);
    rig.Lay(scene, w);
    rig.Start(scene);
  }
  // Frames until A[9] is 1 (-1 when it never is); `each` runs after every frame.
  int RunUntilDone(const std::function<void(int)>& each = nullptr, int limit = kLimit) {
    for (int i = 1; i <= limit; ++i) {
      rig.d.Step();
      if (each) each(i);
      if (GetMacroA(9) == 1) return i;
    }
    return -1;
  }
  int Run(const ScriptWriter& w, uint16_t scene = 0x0305) {
    Begin(w, scene);
    return RunUntilDone();
  }
  bool Traced(const std::string& s) { return rig.d.trace().Contains(s); }

  CDdrawFunc& ddraw() { return Ctx().ddraw; }
  uint16_t Pixel(SurfaceId id, int x, int y) { return ddraw().GetSurface(id)->Row(y)[x]; }
  uint16_t Colour(SurfaceId id, uint8_t value) {
    return static_cast<uint16_t>(
        ddraw().ColorMatch(id, testsupport::SprColourRef(testsupport::PortraitColour(value))));
  }
  void PressKey0() {
    rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey0),
                    testsupport::GameKeyUp(rig.d.frame() + 2, kGameKey0)});
  }
  bool Live(const char* name) {
    GameTaskRec* t = Ctx().game_task.FindTask(name);
    return t != nullptr && t->function != nullptr;
  }

  ScriptRig rig;
};

// ---- Inline words ----

TEST_F(SpecialTest, SeVolumeWordScalesAndClampsTheStreamedEffectsVolume) {
  const struct {
    uint16_t a;
    int volume;
  } cases[] = {{0, 0}, {1, 50}, {127, 100}, {200, 100}, {65535, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a);
    ScriptWriter w;
    Special(w, 7, {c.a});
    ASSERT_GT(Run(Done(w)), 0);
    EXPECT_EQ(Ctx().dsound.channels[kChannelSe].volume, static_cast<uint32_t>(c.volume));
    EXPECT_TRUE(Traced("DecodeSEVolume " + std::to_string(c.a)));
  }
}

TEST_F(SpecialTest, RandomWordGivesAValueInZeroToAForAFixedSeed) {
  ScriptWriter zero;
  Special(zero, 25, {0});
  ASSERT_GT(Run(Done(zero)), 0);
  EXPECT_EQ(GetMacroA(0), 0);

  for (uint32_t seed : {1u, 77u, 12345u}) {
    SCOPED_TRACE(seed);
    ScriptWriter w;
    Special(w, 25, {5});
    Begin(Done(w));
    SeedRandom(seed);
    const uint16_t expected = static_cast<uint16_t>((static_cast<uint32_t>(GetRandom()) >> 2) % 6);
    SeedRandom(seed);
    ASSERT_GT(RunUntilDone(), 0);
    EXPECT_EQ(GetMacroA(0), expected);
    EXPECT_LE(GetMacroA(0), 5);
  }
}

TEST_F(SpecialTest, BackupThenRestoreBringsBackAllTwoHundredFiftySixA) {
  for (int i = 0; i < 256; ++i) SetMacroA(i, static_cast<uint16_t>(1000 + i));
  ScriptWriter w;
  w.Special(Lit(90));
  for (int i = 0; i < 256; ++i) w.Assign(VarA(static_cast<uint8_t>(i)), Num(7));
  w.Special(Lit(91));
  w.Assign(VarA(9), Num(1));
  Stop(w);
  rig.Lay(0x0305, w);
  rig.Start(0x0305);
  rig.d.Step();
  for (int i = 0; i < 256; ++i) {
    if (i == 9) continue;  // the end mark written after the restore
    ASSERT_EQ(GetMacroA(i), 1000 + i) << i;
  }
}

TEST_F(SpecialTest, CancelLockMapLevelsAndAlbumWords) {
  ScriptWriter on;
  Special(on, 99, {3});
  ASSERT_GT(Run(Done(on)), 0);
  EXPECT_EQ(rig.macro().cancel_lock, 1u);
  EXPECT_TRUE(Traced("SPECIAL CancelLock ON"));
  ScriptWriter off;
  Special(off, 99, {0});
  ASSERT_GT(Run(Done(off)), 0);
  EXPECT_EQ(rig.macro().cancel_lock, 0u);
  EXPECT_TRUE(Traced("SPECIAL CancelLock OFF"));

  Put("Tamvik1/map/fukagawa.spr", testsupport::MapLabelFile());
  for (uint16_t word = 10; word <= 13; ++word) {
    SCOPED_TRACE(word);
    GetAdvState()->setMapLevelSet(0);
    CTamvikMap::FreeMapAnm();
    ScriptWriter w;
    Special(w, word);
    ASSERT_GT(Run(Done(w)), 0);
    EXPECT_EQ(GetAdvState()->mapLevelSet(), 1);
    EXPECT_EQ(GetAdvState()->mapLevel(), word - 9);
    // The haunted house's label file read again.
    EXPECT_NE(Scene().map.label_file, nullptr);
  }
  EXPECT_FALSE(Traced("LoadMapAnm"));
  for (uint16_t word : {14, 15}) {
    ScriptWriter w;
    Special(w, word);
    ASSERT_GT(Run(Done(w)), 0);
    EXPECT_EQ(GetAdvState()->specialValue(), word - 13);
  }

  ScriptWriter album;
  Special(album, 97, {0x05, 0x03});
  Special(album, 98, {0x07, 0x01});
  ASSERT_GT(Run(Done(album)), 0);
  EXPECT_TRUE(Traced("SPECIAL ALBUM START"));
  EXPECT_TRUE(Traced("Alubum mode Start No=305"));
  EXPECT_TRUE(Traced("Alubum mode End No=107"));
}

TEST_F(SpecialTest, UnknownAndNotInstalledWordsAndStopsWithoutATaskTraceAndGoOn) {
  for (uint16_t word : {0, 5, 23, 26, 95, 100, 20, 22}) {
    SCOPED_TRACE(word);
    ScriptWriter w;
    Special(w, word);
    EXPECT_GT(Run(Done(w)), 0);
  }
  EXPECT_TRUE(Traced("DecodeFlash is not Installed"));
  EXPECT_TRUE(Traced("ReadBg2095 is not Installed"));
  EXPECT_TRUE(Traced("SPECIAL 26: no such sub-command"));
  EXPECT_TRUE(Traced("SPECIAL 20: no line scroll runs"));
  EXPECT_TRUE(Traced("SPECIAL 22: no fade control runs"));
}

// ---- Fades ----

TEST_F(SpecialTest, FadesSetTheFlagAndFadeOverTheirFrames) {
  const struct {
    uint16_t word;
    int type;
    int end_level;
    uint32_t faded;
  } cases[] = {{1, 0, 256, 1}, {2, 0, 0, 0}, {3, 1, 256, 1}, {4, 1, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    ScriptWriter w;
    Special(w, c.word, {0x120});  // & 255: 32 frames
    int faded_frames = 0;
    Begin(Done(w));
    const int frames = RunUntilDone([&](int) {
      if (Scene().screen_fade_handle != nullptr) ++faded_frames;
    });
    ASSERT_GT(frames, 0);
    EXPECT_GE(faded_frames, 30);
    EXPECT_LE(faded_frames, 34);
    EXPECT_EQ(rig.macro().faded_out, c.faded);
    EXPECT_EQ(ddraw().GetFadeType(), c.type);
    EXPECT_EQ(ddraw().GetFadeLevel(), c.end_level);
  }
}

TEST_F(SpecialTest, BgWhileFadedOutShowsAtOnceWithoutACrossFade) {
  PutBg(12, 5);
  rig.macro().backgrounds_shown = 1;
  ScriptWriter w;
  Special(w, 1, {4});
  w.Command(kOpBg, {Lit(12), Lit(0), Lit(0), Lit(0)});
  Begin(Done(w));
  int xfades = 0;
  ASSERT_GT(RunUntilDone([&](int) { xfades += Scene().xfade_handle != nullptr ? 1 : 0; }), 0);
  EXPECT_EQ(xfades, 0);
  EXPECT_EQ(Pixel(SURFACE_BG, 100, 100), Colour(SURFACE_BG, 5));
}

// ---- Tones ----

class ToneTest : public SpecialTest {
 protected:
  ToneTest() {
    PutBg(12, 9);
    ScriptWriter w;
    w.Command(kOpBg, {Lit(12), Lit(0), Lit(0), Lit(0)});
    EXPECT_GT(Run(Done(w)), 0);
    picture = Pixel(SURFACE_BG, 100, 100);
  }
  // The channels of a 565 pixel.
  static int R(uint16_t p) { return p >> 11; }
  static int G(uint16_t p) { return (p >> 5) & 63; }
  static int B(uint16_t p) { return p & 31; }
  void ExpectTone(int tone) {
    const uint16_t p = Pixel(SURFACE_BG, 100, 100);
    const int alpha = tone * 256 / 100;
    EXPECT_NEAR(R(p), R(picture) * alpha / 256, 1) << tone;
    EXPECT_NEAR(G(p), G(picture) * alpha / 256, 1) << tone;
    EXPECT_NEAR(B(p), B(picture) * alpha / 256, 1) << tone;
  }
  uint16_t picture = 0;
};

TEST_F(ToneTest, BgtoneStartsRetargetsAndEndsAtOneHundred) {
  // BGTONE 50, mark 1; BGTONE 25, mark 2; BGTONE 150 (clamped to 100), end.
  ScriptWriter w;
  Special(w, 6, {0, 50});
  w.Assign(VarA(8), Num(1)).Wait(Lit(5));
  Special(w, 6, {0, 25});
  w.Assign(VarA(8), Num(2)).Wait(Lit(5));
  Special(w, 6, {0, 150});
  w.Wait(Lit(5));
  Begin(Done(w));
  GameTaskRec* first_task = nullptr;
  int32_t first_surface = -1;
  bool checked[3] = {false, false, false};
  ASSERT_GT(RunUntilDone([&](int) {
    const uint16_t mark = GetMacroA(8);
    if (mark == 1 && !checked[1] && Live("CTamvikMacro::Bg0Tone") &&
        ddraw().GetLayer(SURFACE_BG)->tone == 50) {
      checked[1] = true;
      first_task = Ctx().game_task.FindTask("CTamvikMacro::Bg0Tone");
      first_surface = rig.macro().tone_surface[0];
      EXPECT_NE(first_surface, -1);
      ExpectTone(50);
      EXPECT_NE(Pixel(SURFACE_BG, 100, 100), picture);
    }
    if (mark == 2 && !checked[2] && ddraw().GetLayer(SURFACE_BG)->tone == 25) {
      checked[2] = true;
      // Only retargeted: the same task and copy.
      EXPECT_EQ(Ctx().game_task.FindTask("CTamvikMacro::Bg0Tone"), first_task);
      EXPECT_EQ(rig.macro().tone_surface[0], first_surface);
      ExpectTone(25);
    }
  }), 0);
  EXPECT_TRUE(checked[1]);
  EXPECT_TRUE(checked[2]);
  EXPECT_FALSE(Live("CTamvikMacro::Bg0Tone"));
  EXPECT_EQ(rig.macro().tone_surface[0], -1);
  EXPECT_EQ(ddraw().GetLayer(SURFACE_BG)->tone, 100);
  EXPECT_TRUE(Traced("Bg0tone tone=100"));
  // The layer's own picture is back.
  EXPECT_EQ(Pixel(SURFACE_BG, 100, 100), picture);
}

TEST_F(ToneTest, AUserSurfaceFailureKeepsTheToneAndDecodingGoesOn) {
  std::vector<UserSurface> taken;
  for (;;) {
    const UserSurface n = ddraw().CreateUserSurface(1, 1);
    if (n < 0) break;
    taken.push_back(n);
  }
  ScriptWriter w;
  Special(w, 6, {1, 40});
  ASSERT_GT(Run(Done(w)), 0);
  rig.d.Step();
  EXPECT_TRUE(Traced("Bg1Tone CreateUserSurface Failed"));
  EXPECT_EQ(ddraw().GetLayer(SURFACE_FG)->tone, 100);
  EXPECT_FALSE(Live("CTamvikMacro::Bg1Tone"));
  for (UserSurface n : taken) ddraw().DeleteUserSurface(n);
}

TEST_F(ToneTest, BgFadetoneSelectsItsLayersAndReleasesAtOneHundred) {
  ScriptWriter same;
  Special(same, 96, {0, 50, 50, 10});
  Special(same, 96, {4, 100, 50, 10});
  int xfades = 0;
  Begin(Done(same));
  ASSERT_GT(RunUntilDone([&](int) { xfades += Scene().xfade_handle != nullptr ? 1 : 0; }), 0);
  EXPECT_EQ(xfades, 0);
  EXPECT_EQ(rig.macro().tone_surface[0], -1);

  const struct {
    uint16_t bg;
    bool bg5, bg6;
  } cases[] = {{0, true, false}, {1, false, true}, {2, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bg);
    ScriptWriter w;
    Special(w, 96, {c.bg, 100, 50, 20});  // phase time 20 ms
    xfades = 0;
    Begin(Done(w));
    ASSERT_GT(RunUntilDone([&](int) { xfades += Scene().xfade_handle != nullptr ? 1 : 0; }), 0);
    EXPECT_GT(xfades, 0);
    EXPECT_EQ(ddraw().GetLayer(SURFACE_BG)->tone, c.bg5 ? 50 : 100);
    EXPECT_EQ(ddraw().GetLayer(SURFACE_FG)->tone, c.bg6 ? 50 : 100);
    if (c.bg5) ExpectTone(50);
    ScriptWriter back;
    Special(back, 96, {c.bg, 50, 100, 20});
    ASSERT_GT(Run(Done(back)), 0);
    EXPECT_EQ(rig.macro().tone_surface[0], -1);
    EXPECT_EQ(rig.macro().tone_surface[1], -1);
    EXPECT_EQ(ddraw().GetLayer(SURFACE_BG)->tone, 100);
    EXPECT_EQ(ddraw().GetLayer(SURFACE_FG)->tone, 100);
  }
}

// ---- Slides ----

TEST_F(SpecialTest, SlidesSwingTheViewsAndEndAtHome) {
  for (uint16_t word : {8, 9}) {
    SCOPED_TRACE(word);
    ScriptWriter w;
    Special(w, word, {6, 50, 2});
    std::vector<int> offsets;
    Begin(Done(w));
    const int frames = RunUntilDone([&](int) {
      const LayerRec* rec = ddraw().GetLayer(SURFACE_FC);
      const int at = word == 8 ? rec->screen_x : rec->screen_y;
      if (offsets.empty() || offsets.back() != at) offsets.push_back(at);
    });
    ASSERT_GT(frames, 0);
    // -a, +a, -a, +a, -a, home: each swing is +2a then -2a.
    EXPECT_EQ(offsets, (std::vector<int>{0, -6, 6, -6, 6, -6, 0}));
    // Four intervals of 50 ms at 17 ms a frame.
    EXPECT_GE(frames, 12);
    for (SurfaceId id : {SURFACE_BG, SURFACE_FG}) {
      EXPECT_EQ(ddraw().GetLayer(id)->screen_x, 0);
      EXPECT_EQ(ddraw().GetLayer(id)->screen_y, 0);
    }
  }
}

// ---- NoWaitPrint ----

TEST_F(SpecialTest, NoWaitPrintGoesOnAfterItsWaitAndClearsTheWaitWord) {
  testsupport::MessageTableWriter table;
  table.Add({3, 0, "hello", ""});
  ScriptWriter w;
  Special(w, 24, {3, 300});
  Done(w);
  rig.Lay(0x0305, w, table.Bytes());
  SetMacroA(9, 0);
  rig.Start(0x0305);
  bool wait_seen = false;
  const int frames = RunUntilDone([&](int) { wait_seen |= GetAdvState()->messageWait() == 300; });
  ASSERT_GT(frames, 300 / 17);
  EXPECT_TRUE(wait_seen);
  EXPECT_EQ(GetAdvState()->messageWait(), 0);

  // Key 0 ends the wait before its time.
  CTamvikMacro::StopDecoding();
  SetMacroA(9, 0);
  rig.Start(0x0305);
  int done = -1;
  for (int i = 1; i <= kLimit && done < 0; ++i) {
    if (i % 4 == 0) PressKey0();
    rig.d.Step();
    if (GetMacroA(9) == 1) done = i;
  }
  EXPECT_GT(done, 0);
  EXPECT_LT(done, frames);
}

TEST_F(SpecialTest, NoWaitPrintWaitsForItsVoiceUnlessSystemByte104StopsIt) {
  constexpr int kVoiceFrames = 120;
  testsupport::LayVoice(rig.d.tree, 0, kVoiceFrames);
  testsupport::MessageTableWriter table;
  table.Add({3, 0xFFFF, "ab", "cd"});  // voice 0
  ScriptWriter w;
  Special(w, 24, {3, 17});
  Done(w);
  for (uint8_t auto_message : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(auto_message));
    GetSystemData()->setAutoMessage(auto_message);
    if (rig.decode_task() != nullptr) CTamvikMacro::StopDecoding();
    SetMacroA(9, 0);
    rig.Lay(0x0305, w, table.Bytes());
    rig.Start(0x0305);
    bool voiced = false;
    const int frames = RunUntilDone([&](int) { voiced |= TamvikFunc::IsVoicePlaying(); });
    ASSERT_GT(frames, 0);
    EXPECT_TRUE(voiced);
    EXPECT_FALSE(TamvikFunc::IsVoicePlaying());
    if (auto_message == 0) {
      EXPECT_GE(frames, kVoiceFrames - 5);  // the whole voice, though the wait is 17 ms
    } else {
      EXPECT_LT(frames, kVoiceFrames / 2);  // stopped after the typing
    }
  }
  GetSystemData()->setAutoMessage(0);
}

TEST_F(SpecialTest, NoWaitPrintOfAMissingMessageTracesAndGoesOn) {
  ScriptWriter w;
  Special(w, 24, {77, 1000});
  ASSERT_GT(Run(Done(w)), 0);
  EXPECT_TRUE(Traced("MessageData not Found!:0x305 77"));
}

// ---- Extras ----

TEST_F(SpecialTest, TestModeStartsTheChosenTestAndRebuildsTheScreen) {
  std::vector<int> started;
  bool running = false;
  std::string owner;
  rig.d.sequences().extras.start = [&](GameTaskRec* o, int which) {
    started.push_back(which);
    owner = o != nullptr ? o->name : "";
    running = true;
  };
  rig.d.sequences().extras.is_running = [&] { return running; };
  GetAdvState()->setSceneCode(0x0109);
  for (uint16_t a : {1, 3, 9}) {  // 9 asks for the sound test (2)
    SCOPED_TRACE(a);
    ScriptWriter w;
    Special(w, 16, {a});
    Begin(Done(w), 0x0109);
    for (int i = 0; i < 200 && !running; ++i) rig.d.Step();
    ASSERT_TRUE(running);
    EXPECT_EQ(owner, "CTamvikMacro::OM_TestMode");
    for (int i = 0; i < 5; ++i) rig.d.Step();
    EXPECT_EQ(GetMacroA(9), 0);  // held while the test runs
    running = false;
    ASSERT_GT(RunUntilDone(), 0);
    EXPECT_NE(ddraw().IsVisible(SURFACE_TEXT), 0u);
    EXPECT_EQ(ddraw().IsVisible(SURFACE_BG), 0u);
    EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  }
  EXPECT_EQ(started, (std::vector<int>{1, 3, 2}));
  EXPECT_TRUE(Traced("WallFile = tamvik1\\WALL\\KABE0100.SPR"));
}

TEST_F(SpecialTest, TestModeRunsTheRootsMovieTestAndGoesOnWhenItIsLeft) {
  ScriptWriter w;
  Special(w, 16, {1});
  Begin(Done(w));
  // The root's extras open the movie test under the command; once it reads its list (step 2),
  // cancel leaves it.
  auto list_shown = [] {
    GameTaskRec* t = Ctx().game_task.FindTask("CTamvikOmake::MovieTest");
    return t != nullptr && TaskStep(t) == 2;
  };
  for (int i = 0; i < 200 && !list_shown(); ++i) rig.d.Step();
  ASSERT_TRUE(list_shown());
  EXPECT_EQ(GetMacroA(9), 0);  // held while the test runs
  rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey1),
                  testsupport::GameKeyUp(rig.d.frame() + 2, kGameKey1)});
  ASSERT_GT(RunUntilDone(), 0);
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikOmake::MovieTest"), nullptr);
  EXPECT_TRUE(Traced("MovieTestSeq Terminated"));
  EXPECT_FALSE(Traced("GameSequences: extras is not there"));
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
}

TEST_F(SpecialTest, WallChangeLoadsTheExtrasWallAndSevenChangesNothing) {
  const char* names[] = {"KABE0100.SPR", "OMAKE01.SPR", "OMAKE02.SPR", "OMAKE03.SPR"};
  for (uint16_t wall = 0; wall < 4; ++wall) {
    Put(std::string("tamvik1/WALL/") + names[wall], PlainPictureFile(640, 480, 3 + wall));
  }
  // Each change runs two 59-frame fades: a wall other than the first, back to the first, and a
  // number past the list.
  for (uint16_t wall : {3, 0, 7}) {
    SCOPED_TRACE(wall);
    ScriptWriter w;
    Special(w, 17, {wall});
    ASSERT_GT(Run(Done(w)), 0);
    const uint16_t shown = wall < 4 ? wall : 0;
    EXPECT_EQ(rig.macro().extras_wall, shown);
    EXPECT_EQ(Pixel(SURFACE_ROOT, 100, 100), Colour(SURFACE_ROOT, 3 + shown));
    EXPECT_EQ(ddraw().GetFadeLevel(), 0);
  }
}

TEST_F(SpecialTest, HighCgShowsItsPictureUntilKeyZero) {
  Put("tamvik3/cg/swim/bg_swim.spr", PlainPictureFile(640, 480, 6));
  ScriptWriter w;
  Special(w, 18, {2});
  Begin(Done(w));
  bool shown = false;
  for (int i = 0; i < 300 && !shown; ++i) {
    rig.d.Step();
    shown = Scene().screen_fade_handle == nullptr && ddraw().GetFadeLevel() == 0 &&
            Pixel(SURFACE_TEXT, 100, 100) == Colour(SURFACE_TEXT, 6);
  }
  ASSERT_TRUE(shown);
  for (int i = 0; i < 10; ++i) rig.d.Step();
  EXPECT_EQ(GetMacroA(9), 0);  // waits for key 0
  PressKey0();
  ASSERT_GT(RunUntilDone(), 0);
  EXPECT_EQ(Pixel(SURFACE_TEXT, 100, 100), static_cast<uint16_t>(ddraw().ColorMatch(SURFACE_TEXT, 0xFFFF00)));

  ScriptWriter none;
  Special(none, 18, {9});
  Begin(Done(none));
  Ctx().ddraw.FillSurfaceRect(SURFACE_TEXT, 0, 0, 640, 480, 0);
  for (int i = 0; i < 150; ++i) rig.d.Step();
  EXPECT_EQ(GetMacroA(9), 0);
  EXPECT_EQ(Pixel(SURFACE_TEXT, 100, 100),
            static_cast<uint16_t>(ddraw().ColorMatch(SURFACE_TEXT, 0xFFFF00)));
  PressKey0();
  EXPECT_GT(RunUntilDone(), 0);
}

// ---- Line scroll and fade control ----

TEST_F(SpecialTest, LineScrollPlaysTheBackgroundAnimationUntilStop) {
  GetAdvState()->setSceneCode(0x0900);
  CTamvikMacro::LoadSceneBgAnime();
  ASSERT_NE(Scene().adv.bg_file, nullptr);
  GetAdvState()->setBackground1(2093);
  ScriptWriter w;
  Special(w, 19);
  w.Assign(VarA(8), Num(1));
  Special(w, 20);
  Begin(Done(w), 0x0900);
  bool played = false;
  ASSERT_GT(RunUntilDone([&](int) { played |= Scene().adv.bg_anime != nullptr; }), 0);
  EXPECT_TRUE(played);
  EXPECT_TRUE(Traced("Raster & Fade Animation"));
  EXPECT_EQ(Scene().adv.bg_anime, nullptr);
  EXPECT_EQ(Scene().adv.bg_file, nullptr);
  EXPECT_FALSE(Live("CTamvikMacro::DecodeLineScroll"));
}

TEST_F(SpecialTest, FadeControlHoldsUntilItsStop) {
  ScriptWriter w;
  Special(w, 21);
  w.Assign(VarA(8), Num(1));
  w.Wait(Lit(5));
  Special(w, 22);
  Begin(Done(w));
  for (int i = 0; i < 3; ++i) rig.d.Step();
  EXPECT_EQ(GetMacroA(8), 1);  // decoding went on at once
  EXPECT_TRUE(Live("CTamvikMacro::DecodeFadeControl"));
  ASSERT_GT(RunUntilDone(), 0);
  EXPECT_FALSE(Live("CTamvikMacro::DecodeFadeControl"));

  // With its owner gone the task ends by itself and leaves the continue flag alone.
  ScriptWriter held;
  Special(held, 21);
  Special(held, 8, {4, 200, 50});  // a long slide: decoding waits in it
  Begin(Done(held));
  for (int i = 0; i < 3; ++i) rig.d.Step();
  ASSERT_TRUE(Live("CTamvikMacro::DecodeFadeControl"));
  ASSERT_TRUE(Live("CTamvikMacro::HSlideTask"));
  Ctx().game_task.DelTask(rig.decode_task());
  rig.macro().continue_flag = 0;
  rig.d.Step();
  rig.d.Step();
  EXPECT_FALSE(Live("CTamvikMacro::DecodeFadeControl"));
  EXPECT_FALSE(Live("CTamvikMacro::HSlideTask"));
  EXPECT_EQ(rig.macro().continue_flag, 0u);
}

}  // namespace
}  // namespace scripttest
