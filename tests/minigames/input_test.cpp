// Minigame input: the button word, the key take, the mouse, the selection cursor, the key mode
// and the sound wrappers by file name.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/framework/minigame_surface.h"
#include "mg_fixture.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::MinigameRunner;
using testsupport::OdWriter;

constexpr const char* kTestOd = "tamvik3\\od\\mg_test.od";
constexpr const char* kSelectSound = "se:tamvik3\\se\\system00.wav";

// A runner with an empty od file for row 0 and a procedure that runs `on_step` in each step.
struct InputGame {
  InputGame() {
    runner.WriteFile(kTestOd, OdWriter().Build());
    runner.SetProc(0, [this](int state) {
      ++calls;
      if (on_step) on_step(state);
      return 1;
    });
  }
  // Starts the game and runs its load frame.
  void Start() {
    ASSERT_TRUE(runner.Start(0, mg::kModeFreePlay));
    ASSERT_TRUE(runner.RunUntil("the load step", [this] { return calls == 1; }, 5));
  }

  MinigameRunner runner;
  int calls = 0;
  std::function<void(int)> on_step;
};

// ---- Button word and key take ----

TEST(MinigameButtons, TheWordHoldsHeldAndNewBitsPerLogicalKey) {
  InputGame g;
  g.Start();
  mg_key_mode(1);  // the extra button gets a key (the space bar in entry 10)
  uint32_t word = 0;
  bool first = false;
  g.on_step = [&](int) {
    if (first) word = Minigame().input.pending;
    first = false;
  };
  constexpr uint32_t kDirections = kMgKeyUp | kMgKeyDown | kMgKeyLeft | kMgKeyRight;
  const struct {
    const char* name;
    uint32_t press;
    uint32_t release;
    uint32_t word;
  } rows[] = {
      {"decide pressed", kMgKeyDecide, 0, 0x1u << 16 | 0x1},
      {"decide held", 0, 0, 0x1u << 16},
      {"menu pressed while decide is held: no menu", kMgKeyMenu, 0, 0x1u << 16},
      {"decide released, menu still held: no new menu", 0, kMgKeyDecide, 0x200u << 16},
      {"menu released; cancel and extra pressed", kMgKeyCancel | kMgKeyExtra, kMgKeyMenu,
       0x402u << 16 | 0x402},
      {"the four directions", kDirections, kMgKeyCancel | kMgKeyExtra, 0x1E0u << 16 | 0x1E0},
      {"all released", 0, kDirections, 0},
      {"menu alone", kMgKeyMenu, 0, 0x200u << 16 | 0x200},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.press != 0) g.runner.Hold(row.press);
    if (row.release != 0) g.runner.Hold(row.release, false);
    first = true;
    ASSERT_TRUE(g.runner.Step());
    ASSERT_GE(g.runner.last_steps(), 1);
    EXPECT_EQ(word, row.word) << std::hex << word;
  }
}

TEST(MinigameButtons, APressIsTakenOnceAndAHeldBitEveryStep) {
  InputGame g;
  g.Start();
  struct Seen {
    int first_take;
    int second_take;
    int left_held;
  };
  std::vector<Seen> seen;
  g.on_step = [&](int) {
    const int a = mg_key_take(kMgKeyDecide);
    const int b = mg_key_take(kMgKeyDecide);
    seen.push_back({a, b, mg_key_take(kMgKeyLeft << 16)});
  };
  g.runner.Run(3);
  seen.clear();
  g.runner.Tap(kMgKeyDecide);
  g.runner.Hold(kMgKeyLeft);
  ASSERT_TRUE(g.runner.Step(34));
  ASSERT_EQ(g.runner.last_steps(), 2) << "a frame of two steps";
  ASSERT_TRUE(g.runner.Step());
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].first_take, 1) << "the tap, in the first step";
  EXPECT_EQ(seen[0].second_take, 0) << "a second take in the same step";
  EXPECT_EQ(seen[1].first_take, 0) << "the second step of the frame does not see it again";
  EXPECT_EQ(seen[2].first_take, 0) << "nor does the next frame";
  for (const Seen& s : seen) EXPECT_EQ(s.left_held, 1) << "left is held in every step";
}

TEST(MinigameButtons, KeyDownReadsTheKeyStateAndRefusesCodesOutside0To255) {
  InputGame g;
  g.Start();
  g.runner.driver().Schedule(testsupport::KeyDown(g.runner.driver().frame() + 1, 0x2C));
  ASSERT_TRUE(g.runner.Step());
  EXPECT_EQ(mg_key_down(0x2C), 1);
  EXPECT_EQ(mg_key_down(0x2D), 0);
  for (int code : {-1, 256, 0x2C + 256, 100000}) EXPECT_EQ(mg_key_down(code), 0) << code;
}

// ---- Mouse through the runner ----

TEST(MinigameMouse, AClickOnATargetSelectsItAndIsDecide) {
  InputGame g;
  int decides = 0;
  g.on_step = [&](int state) {
    if (state == 2) {
      mg_obj_box(20, 100, 100, 50, 40, 40);
      mg_obj_box(21, 400, 300, 50, 40, 40);
      mg_cursor_open(1, 0);
      mg_cursor_target(0, 21);
      mg_cursor_target(1, 20);
    }
    decides += mg_key_take(kMgKeyDecide);
  };
  g.Start();
  g.runner.Run(2);
  ASSERT_EQ(mg_cursor_get(), 0);
  g.runner.Pointer(110, 120);
  g.runner.MouseButton(0, true);
  ASSERT_TRUE(g.runner.Step());
  g.runner.MouseButton(0, false);
  g.runner.Run(2);
  EXPECT_EQ(mg_cursor_get(), 1);
  EXPECT_EQ(decides, 1);
  EXPECT_EQ(g.runner.TimesPlayed(kSelectSound), 1);
}

TEST(MinigameMouse, SetClampsAndTheNextFrameReadsTheNewPosition) {
  InputGame g;
  std::vector<std::pair<int32_t, int32_t>> read;
  bool set = false;
  g.on_step = [&](int) {
    read.emplace_back(mg_mouse_x(), mg_mouse_y());
    if (set) mg_mouse_set(700, -5);
    set = false;
  };
  g.Start();
  g.runner.Run(2);
  set = true;
  ASSERT_TRUE(g.runner.Step());
  EXPECT_EQ(mg_mouse_x(), 639);
  EXPECT_EQ(mg_mouse_y(), 0);
  read.clear();
  ASSERT_TRUE(g.runner.Step());
  ASSERT_FALSE(read.empty());
  EXPECT_EQ(read.front(), std::make_pair(639, 0)) << "the pointer was moved there";
  EXPECT_GE(g.runner.driver().host().input.set_cursor_calls, 1);
}

// ---- The cursor on objects, without a screen ----

class MinigameCursor : public ::testing::Test {
 protected:
  struct At {
    int32_t x, y;
  };
  // Targets 0.. on boxes 20 x 20 at the points (objects 10..), the cursor object 1, selection
  // `start`; the mouse stays where it was.
  void Place(const std::vector<At>& points, int start) {
    mg_cursor_open(1, 0);
    for (size_t i = 0; i < points.size(); ++i) {
      const int o = 10 + static_cast<int>(i);
      mg_obj_box(o, points[i].x, points[i].y, 100, 20, 20);
      mg_cursor_target(static_cast<int>(i), o);
    }
    Minigame().cursor.selection = start;
    MouseAt(-1, -1);
    mg_cursor_update();  // the mouse position is taken
  }
  void MouseAt(int32_t x, int32_t y) {
    Minigame().input.mouse_x = x;
    Minigame().input.mouse_y = y;
  }
  void Press(uint32_t keys) {
    Minigame().input.pending = keys;
    mg_cursor_update();
  }
  void SetUp() override {
    Minigame().sound.played = [this](const std::string& s) { sounds.push_back(s); };
  }

  mg_test::MgFixture fx;
  std::vector<std::string> sounds;
};

TEST_F(MinigameCursor, KeysChooseTheNearestTargetWrapAndBreakTies) {
  const struct {
    const char* name;
    std::vector<At> points;
    int start;
    uint32_t key;
    int chosen;
  } cases[] = {
      {"left on the leftmost wraps to the rightmost", {{100, 100}, {200, 100}, {300, 100}}, 0,
       kMgKeyLeft, 2},
      {"right on the rightmost wraps to the leftmost", {{100, 100}, {200, 100}, {300, 100}}, 2,
       kMgKeyRight, 0},
      {"left from the middle", {{100, 100}, {200, 100}, {300, 100}}, 1, kMgKeyLeft, 0},
      {"right from the middle", {{100, 100}, {200, 100}, {300, 100}}, 1, kMgKeyRight, 2},
      {"a target of equal x is skipped by the wrap", {{100, 100}, {100, 200}, {300, 150}}, 0,
       kMgKeyLeft, 2},
      {"only a target of equal x: no move", {{100, 100}, {100, 200}}, 0, kMgKeyRight, 0},
      {"equal x: the smaller y distance", {{300, 100}, {200, 300}, {200, 150}}, 0, kMgKeyLeft, 2},
      {"equal x and distance: the lower index", {{300, 100}, {200, 50}, {200, 150}}, 0,
       kMgKeyLeft, 1},
      {"the nearest x before a nearer y", {{100, 100}, {300, 100}, {200, 400}}, 0, kMgKeyRight, 2},
      {"up: equal y, the smaller x distance", {{100, 300}, {300, 200}, {150, 200}}, 0, kMgKeyUp,
       2},
      {"up on the top wraps to the bottom", {{100, 100}, {100, 200}, {100, 300}}, 0, kMgKeyUp, 2},
      {"down on the bottom wraps to the top", {{100, 300}, {300, 200}, {150, 100}}, 0,
       kMgKeyDown, 2},
      {"down: equal y, then the lower index", {{100, 100}, {50, 200}, {150, 200}}, 0, kMgKeyDown,
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Place(c.points, c.start);
    sounds.clear();
    Press(c.key);
    EXPECT_EQ(mg_cursor_get(), c.chosen);
    EXPECT_EQ(Minigame().input.pending & 0xFFFF, 0u) << "the press was taken";
    const int plays = static_cast<int>(std::count(sounds.begin(), sounds.end(), kSelectSound));
    EXPECT_EQ(plays, c.chosen != c.start ? 1 : 0) << "the selection sound once per change";
  }
}

TEST_F(MinigameCursor, TheMouseTakesTheLowestTargetUnderItOnlyWhenItMoves) {
  mg_cursor_open(1, 0);
  mg_obj_box(20, 100, 100, 100, 50, 50);
  mg_obj_box(21, 120, 120, 100, 50, 50);
  mg_obj_box(22, 400, 400, 100, 50, 50);
  mg_cursor_target(3, 21);
  mg_cursor_target(1, 20);
  mg_cursor_target(0, 22);
  EXPECT_EQ(mg_cursor_get(), 3) << "the first target registered";
  MouseAt(130, 130);  // over both 20 and 21
  mg_cursor_update();
  EXPECT_EQ(mg_cursor_get(), 1) << "the lower index of two overlapping targets";
  Press(kMgKeyRight);
  EXPECT_EQ(mg_cursor_get(), 3);
  mg_cursor_update();
  EXPECT_EQ(mg_cursor_get(), 3) << "an unmoved mouse leaves the key's choice";

  // The box: position + frame offset + parent's position, + the shake on y; half-open.
  mg_obj_box(23, 0, 200, 100, 10, 10);
  mg_obj_box(24, 300, 0, 100, 1, 1);
  mg_obj_set_parent(23, 24);
  Minigame().objects[23].frame_x = 5;
  Minigame().draw.shake_offset = 3;
  mg_cursor_target(5, 23);
  const struct {
    int32_t x, y;
    int selection;
  } probes[] = {{304, 203, 3}, {305, 202, 3}, {305, 203, 5}, {314, 212, 5}, {315, 212, 3},
                {314, 213, 3}};
  for (const auto& p : probes) {
    SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
    Minigame().cursor.selection = 3;
    MouseAt(p.x, p.y);
    mg_cursor_update();
    EXPECT_EQ(mg_cursor_get(), p.selection);
  }
}

TEST_F(MinigameCursor, LockIgnoresKeysAndMouse) {
  Place({{100, 100}, {200, 100}}, 0);
  mg_cursor_lock(1);
  MouseAt(205, 105);
  Press(kMgKeyRight);
  EXPECT_EQ(mg_cursor_get(), 0);
  EXPECT_TRUE(sounds.empty());
  EXPECT_EQ(Minigame().input.pending, kMgKeyRight) << "the press is left to the game";
  Minigame().input.pending = 0;  // the next frame's word
  mg_cursor_lock(0);
  MouseAt(206, 105);
  mg_cursor_update();
  EXPECT_EQ(mg_cursor_get(), 1);
}

TEST_F(MinigameCursor, ThePictureCopiesOrFramesTheTarget) {
  MinigameContext& m = Minigame();
  MgObject& target = m.objects[30];
  mg_obj_put(30, 50, 60, 40, 7, 0);
  target.overlay = 9;
  target.parent = 3;
  MouseAt(-1, -1);

  ASSERT_EQ(mg_cursor_open(2, -1), 1);
  mg_cursor_offset(4, 5);
  mg_cursor_target(0, 30);
  mg_cursor_update();
  const MgObject& cur = m.objects[2];
  EXPECT_EQ(cur.x, 54);
  EXPECT_EQ(cur.y, 65);
  EXPECT_EQ(cur.anim, 7);
  EXPECT_EQ(cur.overlay, 9);
  EXPECT_EQ(cur.parent, 3);
  EXPECT_NE(cur.flags & mg::kObjDepthScale, 0u);
  EXPECT_EQ(cur.layer, 216);

  ASSERT_EQ(mg_cursor_open(2, 12), 1);
  EXPECT_EQ(cur.anim, 0) << "the open resets the object";
  mg_cursor_target(0, 30);
  mg_cursor_update();
  EXPECT_EQ(cur.anim, 12);
  EXPECT_EQ(cur.parent, 3);
  EXPECT_EQ(cur.layer, 40);
  EXPECT_EQ(cur.x, 50);

  m.cursor.selection = -1;
  mg_cursor_update();
  EXPECT_EQ(cur.anim, 0) << "no selection shows nothing";
}

TEST_F(MinigameCursor, SaveChangeRestoreGivesBackTargetsSelectionAndOffsets) {
  Place({{100, 100}, {200, 100}, {300, 100}}, 2);
  mg_cursor_offset(4, -3);
  mg_cursor_save();
  Place({{10, 10}}, 0);
  mg_cursor_open(3, 12);
  mg_cursor_target(7, 40);
  mg_cursor_restore();
  const MgCursor& c = Minigame().cursor;
  EXPECT_EQ(c.object, 1);
  EXPECT_EQ(c.mode, 0);
  EXPECT_EQ(mg_cursor_get(), 2);
  EXPECT_EQ(c.offset_x, 4);
  EXPECT_EQ(c.offset_y, -3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(c.targets[static_cast<size_t>(i)].enabled, 1);
    EXPECT_EQ(c.targets[static_cast<size_t>(i)].object, 10 + i);
  }
  EXPECT_EQ(c.targets[7].enabled, 0) << "the target added after the save";
}

TEST_F(MinigameCursor, ObjectsAndTargetsOutsideTheirRangesAreRefused) {
  for (int o : {-1, 0, 256, 1000}) {
    SCOPED_TRACE(o);
    EXPECT_EQ(mg_cursor_open(o, -1), 0);
    EXPECT_EQ(Minigame().cursor.object, -1) << "no cursor";
    mg_cursor_update();  // nothing to do
  }
  ASSERT_EQ(mg_cursor_open(1, -1), 1);
  const struct {
    int i, object;
  } refused[] = {{-1, 10}, {256, 10}, {0, 0}, {0, 256}, {0, -5}};
  for (const auto& r : refused) {
    EXPECT_EQ(mg_cursor_target(r.i, r.object), 0) << r.i << " " << r.object;
  }
  EXPECT_EQ(mg_cursor_get(), -1);
  EXPECT_EQ(mg_cursor_target(255, 255), 1);
  EXPECT_EQ(mg_cursor_get(), 255);
}

TEST_F(MinigameCursor, ResetRemovesTheCursorAndItsTargets) {
  Place({{100, 100}, {200, 100}}, 1);
  mg_obj_anim(1, 5);
  mg_reset();
  EXPECT_EQ(Minigame().cursor.object, -1);
  EXPECT_EQ(mg_cursor_get(), -1);
  for (const MgCursorTarget& t : Minigame().cursor.targets) EXPECT_EQ(t.enabled, 0);
}

// ---- Key mode ----

TEST(MinigameKeyMode, ModeOneMovesSpaceAndPadFiveToEntryTenAndZeroRestoresAll) {
  mg_test::MgFixture fx;
  CDinput& in = Ctx().input;
  for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
    in.SetKeyConfig(i, 0x10 + i);
    in.SetPadConfig(i, (i % 14) + 1);
  }
  in.SetKeyConfig(2, 57);
  in.SetKeyConfig(7, 57);
  in.SetPadConfig(1, 5);
  in.SetPadConfig(9, 5);
  const KeyConfig player = in.key_config();

  mg_key_mode(1);
  KeyConfig expected = player;
  for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
    if (expected.keyboard[i] == 57) expected.keyboard[i] = 0;
    if (expected.pad[i] == 5) expected.pad[i] = 0;
  }
  ASSERT_EQ(player.pad[4], 5) << "pad 5 in three entries";
  expected.keyboard[10] = 57;
  expected.pad[10] = 5;
  EXPECT_EQ(in.key_config().keyboard, expected.keyboard);
  EXPECT_EQ(in.key_config().pad, expected.pad);
  mg_key_mode(1);
  EXPECT_EQ(in.key_config().keyboard, expected.keyboard) << "a second call changes nothing";
  EXPECT_EQ(in.key_config().pad, expected.pad);

  mg_key_mode(0);
  EXPECT_EQ(in.key_config().keyboard, player.keyboard);
  EXPECT_EQ(in.key_config().pad, player.pad);

  // Another mode only restores; closing the screen gives the player's assignment back.
  mg_key_mode(1);
  mg_key_mode(2);
  EXPECT_EQ(in.key_config().keyboard, player.keyboard);
  mg_screen_open();
  mg_key_mode(1);
  mg_screen_close();
  EXPECT_EQ(in.key_config().keyboard, player.keyboard);
  EXPECT_EQ(in.key_config().pad, player.pad);
  EXPECT_EQ(Minigame().key_mode.mode, 0);
}

TEST(MinigameKeyMode, TheEndOfAGameGivesTheAssignmentBack) {
  InputGame g;
  KeyConfig player;
  g.on_step = [&player](int state) {
    if (state != 2) return;
    player = Ctx().input.key_config();
    mg_key_mode(1);
  };
  g.Start();
  EXPECT_EQ(Ctx().input.GetKeyConfig(10), 57u);
  g.runner.Tap(kMgKeyExtra);
  int extra = 0;
  g.on_step = [&](int) { extra += mg_key_take(kMgKeyExtra); };
  g.runner.Run(3);
  EXPECT_EQ(extra, 1) << "the space bar is the extra button";
  mg_end();
  EXPECT_EQ(Ctx().input.key_config().keyboard, player.keyboard);
  EXPECT_EQ(Ctx().input.key_config().pad, player.pad);
}

// ---- Sound wrappers ----

std::vector<uint8_t> Sound(uint32_t frames) {
  return testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(frames, 1500)).Bytes();
}

int TimesOpened(const MinigameRunner& r, const std::string& part) {
  int n = 0;
  for (const std::string& p : r.files_opened()) {
    std::string lower = p;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
      return static_cast<char>(std::tolower(c));
    });
    n += lower.find(part) != std::string::npos ? 1 : 0;
  }
  return n;
}

TEST(MinigameSound, TheWrappersPlayWhatTheEngineHolds) {
  InputGame g;
  g.runner.WriteFile("tamvik3\\bgm\\m01.wav", Sound(22050));
  g.runner.WriteFile("tamvik3\\se\\a.wav", Sound(2205));
  g.runner.WriteFile("tamvik3\\se\\b.wav", Sound(2205));
  g.runner.WriteFile("tamvik3\\se\\c.wav", Sound(22050));
  g.runner.WriteFile("tamvik3\\voice\\v1.wav", Sound(2205));  // 0.1 s
  g.runner.WriteFile("tamvik3\\voice\\v2.wav", Sound(44100));
  g.Start();
  CDsoundFunc& ds = Ctx().dsound;
  const auto on = [&ds](int ch) -> std::string {
    const char* n = ds.GetPlayFileName(ch);
    return n != nullptr ? n : "";
  };

  // BGM: the same file again is not started again.
  EXPECT_EQ(mg_bgm_play("tamvik3\\bgm\\m01.wav"), 1);
  g.runner.Run(2);
  const int opened = TimesOpened(g.runner, "m01.wav");
  EXPECT_GE(opened, 1);
  EXPECT_EQ(mg_bgm_play("TAMVIK3\\BGM\\M01.WAV"), 1);
  EXPECT_EQ(g.runner.TimesPlayed("bgm:tamvik3\\bgm\\m01.wav"), 1);
  EXPECT_EQ(TimesOpened(g.runner, "m01.wav"), opened) << "not opened again";
  EXPECT_EQ(mg_bgm_playing(), 1);
  mg_bgm_stop();
  EXPECT_EQ(mg_bgm_playing(), 0);

  // Static list: loaded once for the same names; an effect in it plays its number.
  const char* const list[] = {"tamvik3\\se\\a.wav", "tamvik3\\se\\b.wav", nullptr};
  mg_static_load(list);
  const size_t files = g.runner.files_opened().size();
  mg_static_load(list);
  EXPECT_EQ(g.runner.files_opened().size(), files) << "the same list is not loaded again";
  mg_se_play("tamvik3\\se\\b.wav");
  ASSERT_NE(ds.static_se.slot[1], nullptr);
  EXPECT_TRUE(ds.static_se.slot[1]->IsPlaying());
  EXPECT_EQ(on(kChannelSe), "");
  EXPECT_EQ(g.runner.TimesPlayed("static:1"), 1);
  mg_se_play("tamvik3\\se\\c.wav");
  EXPECT_EQ(on(kChannelSe), "tamvik3\\se\\c.wav") << "outside the list: streamed";
  mg_se_stop();
  EXPECT_EQ(on(kChannelSe), "");
  mg_static_remove();
  EXPECT_EQ(ds.static_se.slot[1], nullptr);
  mg_se_play("tamvik3\\se\\b.wav");
  EXPECT_EQ(on(kChannelSe), "tamvik3\\se\\b.wav") << "with the list gone: streamed";
  mg_se_stop();

  // Voice: the test follows a short file on the headless clock; a missing file is silent.
  EXPECT_EQ(mg_voice_playing(), 0);
  mg_voice_play("tamvik3\\voice\\v1.wav");
  EXPECT_EQ(mg_voice_playing(), 1);
  EXPECT_TRUE(g.runner.RunUntil("the voice ended", [] { return mg_voice_playing() == 0; }, 30));
  mg_voice_play("tamvik3\\voice\\missing.wav");
  EXPECT_EQ(mg_voice_playing(), 0);

  // The end stops the streamed effect and the voice, and removes the list and the cursor.
  mg_static_load(list);
  mg_cursor_open(1, -1);
  mg_se_play("tamvik3\\se\\c.wav");
  mg_voice_play("tamvik3\\voice\\v2.wav");
  ASSERT_EQ(mg_voice_playing(), 1);
  mg_end();
  EXPECT_EQ(on(kChannelSe), "");
  EXPECT_EQ(mg_voice_playing(), 0);
  EXPECT_EQ(ds.static_se.slot[0], nullptr);
  EXPECT_EQ(Minigame().sound.static_loaded, 0);
  EXPECT_EQ(Minigame().cursor.object, -1);
}

// ---- A procedure steered by taps, holds and mouse moves ----

TEST(MinigameCursorRig, TapsAndTheMouseSelectAndConfirmTargets) {
  InputGame g;
  std::vector<int> confirmed;
  g.on_step = [&](int state) {
    if (state == 2) {
      for (int i = 0; i < 3; ++i) mg_obj_box(10 + i, 100 + 150 * i, 200, 50, 60, 40);
      mg_cursor_open(1, -1);
      for (int i = 0; i < 3; ++i) mg_cursor_target(i, 10 + i);
      return;
    }
    if (mg_key_take(kMgKeyDecide) != 0) confirmed.push_back(mg_cursor_get());
  };
  g.Start();
  // A tap is released in the frame after the one that saw it: three frames apart.
  g.runner.Tap(kMgKeyRight);
  g.runner.Run(3);
  g.runner.Tap(kMgKeyRight);
  g.runner.Run(3);
  g.runner.Tap(kMgKeyDecide);
  g.runner.Run(3);
  g.runner.Tap(kMgKeyRight);  // wraps to the first
  g.runner.Run(3);
  g.runner.Tap(kMgKeyDecide);
  g.runner.Run(3);
  g.runner.Pointer(270, 220);  // over the second
  g.runner.Run(2);
  g.runner.Tap(kMgKeyDecide);
  g.runner.Run(3);
  EXPECT_EQ(confirmed, (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(g.runner.TimesPlayed(kSelectSound), 4);
  EXPECT_EQ(Minigame().objects[1].x, 250) << "the cursor picture sits on the second target";
  EXPECT_EQ(Minigame().objects[1].layer, 216);
}

}  // namespace
