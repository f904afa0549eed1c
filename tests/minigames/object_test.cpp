// Minigame objects: animations, motion scripts, moves, flips, parents, layer lists and hit boxes,
// read back through the objects' getters and records after mg_obj_update.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_surface.h"
#include "mg_fixture.h"
#include "platform/sound_buffer.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using mg_test::MgFixture;
using testsupport::OdWriter;

constexpr const char* kOd = "tamvik3\\od\\mg_test.od";

std::vector<uint8_t> Words(const std::vector<int16_t>& words) {
  std::vector<uint8_t> out;
  for (int16_t w : words) {
    out.push_back(static_cast<uint8_t>(w & 0xFF));
    out.push_back(static_cast<uint8_t>((w >> 8) & 0xFF));
  }
  return out;
}

// Images 1-9 are 4 x 4 solids; records are added by the tests.
OdWriter SmallImages() {
  OdWriter od;
  for (int i = 1; i <= 9; ++i) od.Solid(i, 4, 4, static_cast<uint8_t>(20 * i), 0, 0);
  return od;
}

class MinigameObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.opened);
    ASSERT_EQ(mg_screen_open(), 1);
  }
  void TearDown() override { mg_screen_close(); }

  void Load(const OdWriter& od) {
    f.Write(kOd, od.Build());
    ASSERT_EQ(mg_obj_create(kOd), 1);
  }
  // Animation or script n from raw words.
  static void RawAnim(OdWriter& od, int n, const std::vector<int16_t>& words) {
    od.Entry(OdWriter::kAnimations, n, od.Raw(Words(words)));
  }
  static void RawScript(OdWriter& od, int n, const std::vector<int16_t>& words) {
    od.Entry(OdWriter::kScripts, n, od.Raw(Words(words)));
  }
  static const MgObject& O(int o) { return *mg_obj(o); }
  static void Steps(int n) {
    for (int i = 0; i < n; ++i) mg_obj_update();
  }

  MgFixture f;
};

// ---- Animations ----

TEST_F(MinigameObjects, AnimationEndsAndFramesFollowTheTable) {
  OdWriter od = SmallImages();
  RawAnim(od, 10, {1, 2, 2, 1, 3, 3, -1});
  RawAnim(od, 11, {1, 1, 2, 2, -1});
  RawAnim(od, 12, {1, 1, 2, 1, -1});
  RawAnim(od, 13, {5, 1, -1});
  RawAnim(od, 14, {1, 0, 2, -3, 3, 1, -1});
  RawAnim(od, 15, {-1});
  RawAnim(od, 16, {700, 1, 1023, 1, 1, 1, -1});
  RawAnim(od, 17, {-2, 4095, 0, 0, 1, 1, 1, -1});
  Load(od);

  struct Case {
    const char* name;
    int32_t anim;
    uint32_t flags;
    int32_t next;
    std::vector<int32_t> images;  // per update
    bool ended;
    int32_t anim_after;
    uint32_t flags_after = 0xFFFFFFFF;  // checked when set
  };
  const int32_t N = mg::kNoImage;
  const std::vector<Case> cases = {
      {"simple frames loop", 10, 0, 0, {1, 1, 2, 3, 3, 3, 1, 1, 2}, true, 10},
      {"0x1000 holds the last frame", 11, 0x1000, 0, {1, 2, 2, 2, 2, 2}, true, 11},
      {"0x1000 | 0x40000 deletes", 12, 0x1000 | 0x40000, 0, {1, 2, N, N}, false, 0, 0},
      {"0x40000 alone deletes", 12, 0x40000, 0, {1, 2, N, N}, true, 0, 0x4000},
      {"the next animation starts at the end", 12, 0, 13, {1, 2, 5, 5, 5}, true, 13},
      {"0x80000 stands still", 10, 0x80000, 0, {1, 1, 1, 1, 1}, false, 10},
      {"a number without a record shows that image", 7, 0, 0, {7, 7}, false, 7},
      {"a number past the image slots shows none", 600, 0, 0, {N, N}, false, 600},
      {"durations 0 and -3 last one step", 14, 0, 0, {1, 2, 3, 1}, true, 14},
      {"[-1] alone ends and shows nothing", 15, 0, 0, {N, N, N}, true, 15},
      {"images 700 and 1023 are no image", 16, 0, 0, {N, N, 1, N}, true, 16},
      {"a composite part of image 4095 is no image", 17, 0, 0, {N, 1, N}, true, 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mg_obj_clear_all();
    mg_obj_put(1, 0, 0, 5, c.anim, c.flags);
    if (c.next != 0) mg_obj_set_next_anim(1, c.next);
    EXPECT_EQ(mg_obj_anim_done(1), 1);
    std::vector<int32_t> images;
    for (size_t i = 0; i < c.images.size(); ++i) {
      mg_obj_update();
      images.push_back(O(1).image);
    }
    EXPECT_EQ(images, c.images);
    EXPECT_EQ(mg_obj_anim_done(1), c.ended ? 0 : 1);
    EXPECT_EQ(mg_obj_get_anim(1), c.anim_after);
    if (c.flags_after != 0xFFFFFFFF) {
      EXPECT_EQ(O(1).flags, c.flags_after);
    }
  }
}

TEST_F(MinigameObjects, CompositeFrameKeepsItsPartsOffsetsAndMirrorBits) {
  OdWriter od = SmallImages();
  od.Animation(20, {OdWriter::Composite({{0x1000 | 4, 5, -6}, {0x2000 | 2, -7, 8}}, 2),
                    OdWriter::Simple(3, 1)});
  Load(od);
  mg_obj_put(1, 0, 0, 5, 20, 0);
  mg_obj_update();
  const MgObject& o = O(1);
  EXPECT_EQ(o.image, 4);
  EXPECT_EQ(o.extra_parts, 1);
  EXPECT_EQ(o.frame_x, 5);
  EXPECT_EQ(o.frame_y, -6);
  EXPECT_EQ(o.frame_mirror, 0x1000);
  // The part list holds both parts for the drawing.
  const uint8_t* parts = Minigame().od.buffer.data() + o.parts;
  auto word = [&](int i) { return static_cast<int16_t>(parts[2 * i] | parts[2 * i + 1] << 8); };
  EXPECT_EQ(word(0), 0x1000 | 4);
  EXPECT_EQ(word(3), 0x2000 | 2);
  EXPECT_EQ(word(4), -7);
  EXPECT_EQ(word(5), 8);
  mg_obj_update();
  EXPECT_EQ(o.image, 4) << "two steps";
  mg_obj_update();
  EXPECT_EQ(o.image, 3);
  EXPECT_EQ(o.extra_parts, 0);
  EXPECT_EQ(o.frame_x, 0);
  EXPECT_EQ(o.frame_mirror, 0);
  EXPECT_EQ(o.parts, 0u);
}

TEST_F(MinigameObjects, StreamsCutByTheEndOfTheDataEndTheAnimation) {
  OdWriter od = SmallImages();
  // The last record of the file: two frames without -1, then a composite cut in its parts.
  const uint32_t at = od.Raw(Words({1, 1, 2, 1, -3, 3, 0, 0, 4}));
  od.Entry(OdWriter::kAnimations, 30, at).Entry(OdWriter::kAnimations, 31, at + 8);
  Load(od);
  mg_obj_put(1, 0, 0, 5, 30, 0);
  mg_obj_put(2, 0, 0, 5, 31, 0);
  std::vector<int32_t> a, b;
  for (int i = 0; i < 5; ++i) {
    mg_obj_update();
    a.push_back(O(1).image);
    b.push_back(O(2).image);
  }
  EXPECT_EQ(a, (std::vector<int32_t>{1, 2, 1, 2, 1}));
  EXPECT_EQ(b, (std::vector<int32_t>(5, mg::kNoImage)));
  EXPECT_EQ(mg_obj_anim_done(1), 0);
  EXPECT_EQ(mg_obj_anim_done(2), 0);
}

// ---- Motion scripts ----

TEST_F(MinigameObjects, ScriptOpcodesTable) {
  OdWriter od = SmallImages();
  od.Animation(2, {OdWriter::Simple(1, 2)});
  od.Animation(3, {OdWriter::Simple(3, 100)});
  struct Case {
    const char* name;
    std::vector<int16_t> words;
    std::vector<int32_t> x;  // x after each update (opcode 1 marks progress)
    std::function<void(const MgObject&)> check;
  };
  const std::vector<Case> cases = {
      {"1 sets the position", {1, 30, 40, 0}, {30},
       [](const MgObject& o) { EXPECT_EQ(o.y, 40); }},
      {"2 sets the animation, shown at once", {2, 3, 0}, {0},
       [](const MgObject& o) {
         EXPECT_EQ(o.anim, 3);
         EXPECT_EQ(o.image, 3);
       }},
      {"3 moves at the speed", {3, 4, 0, 16, 0}, {1, 2, 3, 4, 4},
       [](const MgObject& o) { EXPECT_EQ(o.flags & mg::kObjMoving, 0u); }},
      {"3 with speed 0 arrives at once", {3, 50, 60, 0, 0}, {50},
       [](const MgObject& o) {
         EXPECT_EQ(o.y, 60);
         EXPECT_EQ(o.flags & mg::kObjMoving, 0u);
       }},
      {"3 with speed -4 arrives at once", {3, 50, 60, -4, 0}, {50}, nullptr},
      {"4 n waits n steps", {1, 1, 0, 4, 3, 1, 2, 0, 0}, {1, 1, 1, 2}, nullptr},
      {"4 with a negative count does not wait", {4, -5, 1, 9, 0, 0}, {9}, nullptr},
      {"5 waits for the move", {3, 4, 0, 16, 5, 1, 99, 0, 0}, {1, 2, 3, 4, 4, 99}, nullptr},
      {"6 waits for the animation's end", {2, 2, 6, 1, 99, 0, 0}, {0, 0, 0, 0, 99}, nullptr},
      {"an unknown opcode is skipped, its word only", {9, 1, 5, 0, 0}, {5}, nullptr},
      {"0 clears 0x2 and waits 9999", {0}, {0},
       [](const MgObject& o) {
         EXPECT_EQ(o.flags, 0u);
         EXPECT_EQ(o.script_wait, 9998) << "9999, less this step";
       }},
      {"7 sets and clears bits 0-31 only",
       {7, 6, 1, 7, 3, 1, 7, 3, 0, 7, 11, 2, 7, 40, 1, 7, -1, 1, 7, 31, 1, 0}, {0},
       [](const MgObject& o) { EXPECT_EQ(o.flags, 0x40u | 0x80000000u); }},
  };
  for (size_t i = 0; i < cases.size(); ++i) RawScript(od, static_cast<int>(10 + i), cases[i].words);
  Load(od);
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    mg_obj_clear_all();
    ASSERT_EQ(mg_obj_script(1, static_cast<int32_t>(10 + i)), 1);
    std::vector<int32_t> xs;
    for (size_t s = 0; s < c.x.size(); ++s) {
      mg_obj_update();
      xs.push_back(O(1).x);
    }
    EXPECT_EQ(xs, c.x);
    if (c.check) c.check(O(1));
  }
  // Opcode 7 hid the object: it is not listed (the cleared objects 2-255 are, on layer 0).
  EXPECT_EQ(Minigame().layer_heads[0], 255);
  for (int32_t o = Minigame().layer_heads[0]; o != 0; o = O(o).link) EXPECT_NE(o, 1);
}

TEST_F(MinigameObjects, ScriptStartReplacesTheFlagsAndAMissingScriptDoesNothing) {
  OdWriter od = SmallImages();
  RawScript(od, 1, {4, 10, 0});
  Load(od);
  mg_obj_put(1, 3, 4, 7, 1, 0x40 | 0x1000);
  EXPECT_EQ(mg_obj_script(1, 2), 0);
  EXPECT_EQ(O(1).flags, 0x40u | 0x1000u);
  EXPECT_EQ(mg_obj_script_idle(), 1);
  EXPECT_EQ(mg_obj_script(1, 1, 33), 1);
  EXPECT_EQ(O(1).flags, mg::kObjScript);
  EXPECT_EQ(mg_obj_get_layer(1), 33);
  EXPECT_EQ(mg_obj_script_idle(), 0);
  Steps(11);
  EXPECT_EQ(mg_obj_script_idle(), 1);
  // Object 0 does not count.
  EXPECT_EQ(mg_obj_script(0, 1), 1);
  EXPECT_EQ(mg_obj_script_idle(), 1);
}

TEST_F(MinigameObjects, ScriptsCutByTheEndOfTheDataStopThere) {
  OdWriter od = SmallImages();
  RawScript(od, 1, {1, 7, 8, 3, 1});  // the last record: opcode 3 lacks two arguments
  Load(od);
  ASSERT_EQ(mg_obj_script(1, 1), 1);
  mg_obj_update();
  EXPECT_EQ(mg_obj_get_x(1), 7);
  EXPECT_EQ(O(1).flags, 0u);
  EXPECT_EQ(O(1).script_wait, 9998);
}

TEST_F(MinigameObjects, Opcode8PlaysTheStaticSound) {
  ASSERT_EQ(Ctx().dsound.Init(nullptr), 1);
  const testsupport::WavFile wav = testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(4000, 1000));
  f.Write("se\\a.wav", wav.Bytes());
  for (int slot : {4, 5}) ASSERT_EQ(Ctx().dsound.LoadWaveToBuffer(slot, "se\\a.wav"), 1);
  OdWriter od = SmallImages();
  od.Script(1, {OdWriter::Sound(5), OdWriter::Sound(700), OdWriter::Sound(-1), OdWriter::End()});
  Load(od);
  ASSERT_EQ(mg_obj_script(1, 1), 1);
  mg_obj_update();
  EXPECT_TRUE(Ctx().dsound.static_se.slot[5]->IsPlaying());
  EXPECT_FALSE(Ctx().dsound.static_se.slot[4]->IsPlaying());
  Ctx().dsound.Release();
}

// ---- Moves ----

TEST_F(MinigameObjects, MoveAtSpeed16Over100PixelsTakes100Steps) {
  Load(SmallImages());
  mg_obj_put(1, 0, 0, 5, 0, 0);
  ASSERT_EQ(mg_obj_move(1, 60, 80, 16), 1);
  Steps(99);
  EXPECT_EQ(mg_obj_moving(1), 1);
  EXPECT_NE(mg_obj_get_y(1), 80);
  EXPECT_EQ(mg_obj_idle(), 0);
  mg_obj_update();
  EXPECT_EQ(mg_obj_moving(1), 0);
  EXPECT_EQ(mg_obj_get_x(1), 60);
  EXPECT_EQ(mg_obj_get_y(1), 80);
  EXPECT_EQ(mg_obj_idle(), 1);
}

TEST_F(MinigameObjects, EasedMovesOver3000StepsStayMonotonicAndEndExactly) {
  Load(SmallImages());
  for (uint32_t ease : {mg::kObjEaseOut, mg::kObjEaseIn}) {
    SCOPED_TRACE(ease);
    mg_obj_put(1, 0, 20000, 5, 0, ease);
    ASSERT_EQ(mg_obj_move_n(1, 30000, -20000, 3000), 1);
    int32_t last_x = 0, last_y = 20000;
    int32_t half_x = 0;
    for (int s = 1; s <= 3000; ++s) {
      mg_obj_update();
      const int32_t x = mg_obj_get_x(1), y = mg_obj_get_y(1);
      ASSERT_GE(x, last_x) << s;
      ASSERT_LE(y, last_y) << s;
      ASSERT_LE(x, 30000) << s;
      if (s == 1500) half_x = x;
      last_x = x;
      last_y = y;
    }
    EXPECT_EQ(last_x, 30000);
    EXPECT_EQ(last_y, -20000);
    EXPECT_EQ(O(1).flags & (mg::kObjMoving | ease), 0u);
    // Ease-out decelerates (3/4 of the way at half time), ease-in accelerates (1/4).
    EXPECT_EQ(half_x, ease == mg::kObjEaseOut ? 22500 : 7500);
  }
}

TEST_F(MinigameObjects, MovesWithoutStepsArriveOnTheNextUpdate) {
  Load(SmallImages());
  const std::vector<std::function<int()>> moves = {
      [] { return mg_obj_move_n(1, 40, 50, 0); },
      [] { return mg_obj_move_n(1, 40, 50, -5); },
      [] { return mg_obj_move(1, 40, 50, 0); },
      [] { return mg_obj_move(1, 40, 50, -16); },
      [] { return mg_obj_move_z(1, 40, 50, 9, 0); },
  };
  for (size_t i = 0; i < moves.size(); ++i) {
    SCOPED_TRACE(i);
    mg_obj_put(1, 0, 0, 9, 0, 0);
    ASSERT_EQ(moves[i](), 1);
    EXPECT_EQ(mg_obj_moving(1), 1);
    mg_obj_update();
    EXPECT_EQ(mg_obj_moving(1), 0);
    EXPECT_EQ(mg_obj_get_x(1), 40);
    EXPECT_EQ(mg_obj_get_y(1), 50);
  }
}

TEST_F(MinigameObjects, MoveZReachesTheLayerAndSpinEndsWithTheMove) {
  Load(SmallImages());
  mg_obj_put(1, 0, 0, 200, 0, 0);
  ASSERT_EQ(mg_obj_move_z(1, 10, 20, 100, 16), 1);
  Steps(50);
  EXPECT_EQ(mg_obj_get_layer(1), 150);
  EXPECT_EQ(mg_obj_get_x(1), 5);
  Steps(50);
  EXPECT_EQ(mg_obj_get_layer(1), 100);
  EXPECT_EQ(mg_obj_get_x(1), 10);
  EXPECT_EQ(mg_obj_moving(1), 0);

  mg_obj_put(2, 0, 0, 5, 0, mg::kObjSpin);
  mg_obj_move_n(2, 4, 0, 4);
  for (int32_t want : {32, 64, 96}) {
    mg_obj_update();
    EXPECT_EQ(O(2).spin, want);
    EXPECT_NE(O(2).flags & mg::kObjRotate, 0u);
  }
  mg_obj_update();  // arrives
  EXPECT_EQ(mg_obj_get_x(2), 4);
  mg_obj_update();
  EXPECT_EQ(O(2).flags & (mg::kObjSpin | mg::kObjRotate), 0u);
  EXPECT_EQ(O(2).spin, 0);
}

// ---- Flips ----

TEST_F(MinigameObjects, FlipChangesThePictureOnStep8AndEndsOnStep16) {
  OdWriter od = SmallImages();
  od.Animation(1, {OdWriter::Simple(1, 100)}).Animation(2, {OdWriter::Simple(2, 100)});
  Load(od);
  mg_obj_put(1, 0, 0, 5, 1, 0);
  mg_obj_update();
  ASSERT_EQ(mg_obj_flip(1, 2), 1);
  EXPECT_EQ(mg_obj_flipping(1), 1);
  EXPECT_EQ(mg_obj_idle(), 0);
  for (int s = 1; s <= 16; ++s) {
    mg_obj_update();
    EXPECT_EQ(O(1).image, s < 8 ? 1 : 2) << s;
    if (s < 16) {
      EXPECT_EQ(O(1).turn, 128 + 8 * s) << s;
      EXPECT_EQ(O(1).flags & (mg::kObjFlipping | mg::kObjRotate),
                mg::kObjFlipping | mg::kObjRotate) << s;
    }
  }
  EXPECT_EQ(O(1).turn, 0);
  EXPECT_EQ(O(1).flags & (mg::kObjFlipping | mg::kObjRotate), 0u);
  EXPECT_EQ(mg_obj_flipping(1), 0);
  EXPECT_EQ(mg_obj_idle(), 1);
}

// ---- Layer lists, parents, freezes ----

TEST_F(MinigameObjects, LayerListsPutTheLowerIndexLast) {
  Load(SmallImages());
  mg_obj_put(7, 0, 0, 5, 1, 0);
  mg_obj_put(3, 0, 0, 5, 1, 0);
  mg_obj_put(4, 0, 0, 5, 1, mg::kObjHidden);
  mg_obj_put(5, 0, 0, 1024, 1, 0);
  mg_obj_put(6, 0, 0, -1, 1, 0);
  mg_obj_put(0, 0, 0, 5, 1, 0);
  mg_obj_put(8, 0, 0, 1023, 1, 0);
  mg_obj_update();
  const auto& heads = Minigame().layer_heads;
  // Every other object stands on layer 0 (cleared objects).
  std::vector<int32_t> layer5;
  for (int32_t o = heads[5]; o != 0; o = O(o).link) layer5.push_back(o);
  EXPECT_EQ(layer5, (std::vector<int32_t>{7, 3}));
  EXPECT_EQ(heads[1023], 8);
  EXPECT_EQ(O(8).link, 0);
  int listed = 0;
  for (int32_t layer = 0; layer < mg::kLayerCount; ++layer) {
    for (int32_t o = heads[static_cast<size_t>(layer)]; o != 0; o = O(o).link) {
      EXPECT_NE(o, 4);
      EXPECT_NE(o, 5);
      EXPECT_NE(o, 6);
      ++listed;
    }
  }
  EXPECT_EQ(listed, 255 - 3) << "all of 1-255 but the hidden one and those outside 0-1023";
}

TEST_F(MinigameObjects, ParentsGiveTheirLayerOrTheirYPlus256) {
  Load(SmallImages());
  mg_obj_put(1, 0, 70, 40, 1, 0);
  struct Case {
    uint32_t flags;
    int32_t parent;
    int32_t layer;
  };
  const std::vector<Case> cases = {
      {0, 1, 40},
      {mg::kObjOwnLayer, 1, 9},
      {mg::kObjParentYLayer, 1, 326},
      {mg::kObjParentYLayer | mg::kObjOwnLayer, 1, 326},
      {mg::kObjParentYLayer, 0, 9},
      {0, 300, 9},
      {0, -2, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flags << " parent " << c.parent);
    mg_obj_put(2, 0, 0, 9, 1, c.flags);
    mg_obj_set_parent(2, c.parent);
    mg_obj_update();
    EXPECT_EQ(mg_obj_get_layer(2), c.layer);
  }
}

TEST_F(MinigameObjects, ObjectsOnOrBehindAFrozenLayerAreNotUpdated) {
  OdWriter od = SmallImages();
  od.Animation(1, {OdWriter::Simple(1, 2), OdWriter::Simple(2, 2)});
  Load(od);
  for (int o : {1, 2, 3}) {
    mg_obj_put(o, 0, 0, 99 + o, 1, 0);
    mg_obj_move_n(o, 100, 0, 10);
  }
  Minigame().freeze_b = MgFreeze{mg::kFreezeFrozen, 0, 101};
  Minigame().freeze_a = MgFreeze{mg::kFreezeCapture, 0, 50};  // capturing: no effect
  Steps(3);
  EXPECT_EQ(mg_obj_get_x(1), 30);
  EXPECT_EQ(O(1).image, 2);
  for (int o : {2, 3}) {
    EXPECT_EQ(mg_obj_get_x(o), 0) << o;
    EXPECT_EQ(O(o).frame_timer, 1) << o;
    EXPECT_EQ(O(o).move_left, 10) << o;
  }
  EXPECT_EQ(Minigame().layer_heads[101], 0);
  EXPECT_EQ(Minigame().layer_heads[100], 1);
  mg_reset();
  EXPECT_EQ(Minigame().freeze_b.state, mg::kFreezeOff);
  EXPECT_EQ(mg_obj_get_x(1), 0);
}

// ---- Hit boxes ----

TEST_F(MinigameObjects, HitBoxesAreHalfOpenAndClearedUnlessKept) {
  Load(SmallImages());
  ASSERT_EQ(mg_obj_box(1, 10, 20, 5, 30, 40), 1);
  struct Probe {
    int32_t x, y;
    int hit;
  };
  for (const Probe& p : {Probe{10, 20, 1}, Probe{39, 59, 1}, Probe{40, 20, 0}, Probe{10, 60, 0},
                         Probe{9, 20, 0}, Probe{10, 19, 0}}) {
    EXPECT_EQ(mg_obj_hit(1, p.x, p.y), p.hit) << p.x << "," << p.y;
  }
  mg_obj_put(2, 0, 0, 5, 1, 0);
  Minigame().objects[2].width = 8;
  Minigame().objects[2].height = 8;
  mg_obj_update();
  EXPECT_EQ(mg_obj_get_width(1), 30);
  EXPECT_EQ(mg_obj_get_height(1), 40);
  EXPECT_EQ(O(1).image, mg::kNoImage) << "a box shows nothing";
  EXPECT_EQ(mg_obj_get_width(2), 0);
  EXPECT_EQ(mg_obj_get_height(2), 0);
  EXPECT_EQ(mg_obj_hit(2, 0, 0), 0);
}

TEST_F(MinigameObjects, HitPixelReadsTheImageWhereItIsDrawn) {
  OdWriter od = testsupport::UniversalOd();
  od.Solid(7, 16, 16, 10, 200, 30, 2);
  od.Animation(7, {OdWriter::Composite({{7, 2, 3}}, 100)});
  Load(od);
  // A key pixel at (3, 4) of the keyed image 7.
  ASSERT_EQ(mg_pixel_set(7, 3, 4, 0xFFFF00), 1);  // cyan, the colour key
  ASSERT_EQ(mg_pixel_get(7, 3, 4), mg_color_key());
  mg_obj_put(1, 10, 5, 5, 1, 0);
  mg_obj_put(2, 100, 50, 5, 7, 0);
  mg_obj_set_parent(2, 1);
  mg_obj_update();
  // Drawn at 100 + 10 + 2, 50 + 5 + 3.
  struct Probe {
    int32_t x, y;
    int hit;
  };
  for (const Probe& p : {Probe{112, 58, 1}, Probe{115, 62, 0}, Probe{127, 73, 1},
                         Probe{128, 58, 0}, Probe{111, 58, 0}, Probe{112, 74, 0}}) {
    EXPECT_EQ(mg_obj_hit_pixel(2, p.x, p.y), p.hit) << p.x << "," << p.y;
  }
  // No image: nothing hit.
  mg_obj_put(3, 0, 0, 5, 700, 0);
  mg_obj_update();
  EXPECT_EQ(mg_obj_hit_pixel(3, 0, 0), 0);
}

// ---- Index bounds ----

TEST_F(MinigameObjects, OperationsOutsideTheTableDoNothing) {
  Load(SmallImages());
  for (int o : {256, -1, 1000000}) {
    SCOPED_TRACE(o);
    EXPECT_EQ(mg_obj(o), nullptr);
    const std::vector<std::function<int()>> ops = {
        [&] { return mg_obj_put(o, 1, 2, 3, 4, 5); },
        [&] { return mg_obj_put(o, 1, 2, 4, 5); },
        [&] { return mg_obj_box(o, 1, 2, 3, 4, 5); },
        [&] { return mg_obj_pointer(o, 1); },
        [&] { return mg_obj_flag(o, 1, 1); },
        [&] { return mg_obj_test(o, ~0u); },
        [&] { return mg_obj_set_pos(o, 1, 2); },
        [&] { return mg_obj_set_pos(o, 1, 2, 3); },
        [&] { return mg_obj_set_parent(o, 1); },
        [&] { return mg_obj_get_x(o); },
        [&] { return mg_obj_anim(o, 1); },
        [&] { return mg_obj_anim_done(o); },
        [&] { return mg_obj_move(o, 1, 2, 3); },
        [&] { return mg_obj_move_z(o, 1, 2, 3, 4); },
        [&] { return mg_obj_flip(o, 1); },
        [&] { return mg_obj_script(o, 1); },
        [&] { return mg_obj_hit(o, 0, 0); },
        [&] { return mg_obj_hit_pixel(o, 0, 0); },
        [&] { return mg_obj_clip(o, 0, 0, 1, 1); },
        [&] { return mg_obj_link(o, 1, 0, 0, 1); },
    };
    for (size_t i = 0; i < ops.size(); ++i) EXPECT_EQ(ops[i](), 0) << i;
  }
  // Fields out of their ranges count as none.
  mg_obj_put(1, 4, 5, 6, 1, mg::kObjParentYLayer);
  mg_obj_set_parent(1, 300);
  mg_obj_set_overlay(1, -2);
  mg_obj_link(1, 999, 1, 1, 6);
  mg_obj_set_target_surface(1, 5000);
  mg_obj_update();
  const MgObject& o = O(1);
  EXPECT_EQ(o.layer, 6);
  EXPECT_EQ(mg_obj_parent_of(o), 0);
  EXPECT_EQ(mg_obj_overlay_of(o), 0);
  EXPECT_EQ(mg_obj_linked_of(o), 0);
  EXPECT_EQ(mg_obj_surface_of(o), 0);
  EXPECT_EQ(mg_obj_hit_pixel(1, 4, 5), 1) << "parent 300 adds nothing";
  mg_obj_set_parent(1, 2);
  mg_obj_set_target_surface(1, 1017);
  EXPECT_EQ(mg_obj_parent_of(o), 2);
  EXPECT_EQ(mg_obj_surface_of(o), 1017);
}

TEST_F(MinigameObjects, FlagOnlyAcceptsOneAndZero) {
  Load(SmallImages());
  mg_obj_put(1, 0, 0, 5, 0, 0x10);
  EXPECT_EQ(mg_obj_flag(1, 0x80000001u, 1), 1);
  EXPECT_EQ(O(1).flags, 0x80000011u);
  mg_obj_flag(1, 0x80000000u, 2);
  mg_obj_flag(1, 0x80000000u, -1);
  EXPECT_EQ(O(1).flags, 0x80000011u);
  mg_obj_flag(1, 0x80000010u, 0);
  EXPECT_EQ(O(1).flags, 0x1u);
  EXPECT_EQ(mg_obj_test(1, 0x3), 1);
  EXPECT_EQ(mg_obj_test(1, 0x2), 0);
  // The background and the pointer.
  mg_obj_bg(3);
  EXPECT_EQ(mg_obj_get_layer(255), 1023);
  EXPECT_EQ(O(255).flags, 0u);
  mg_obj_pointer(9, 2);
  EXPECT_EQ(O(9).flags, mg::kObjPointer);
  EXPECT_EQ(mg_obj_get_anim(9), 2);
  // The second form of put keeps the layer; the change form starts only a different animation.
  mg_obj_put(1, 7, 8, 4, 0);
  EXPECT_EQ(mg_obj_get_layer(1), 5);
  mg_obj_set_next_anim(1, 6);
  mg_obj_anim_change(1, 4);
  EXPECT_EQ(O(1).next_anim, 6) << "the same animation is not restarted";
  mg_obj_anim_change(1, 5);
  EXPECT_EQ(mg_obj_get_anim(1), 5);
  EXPECT_EQ(O(1).next_anim, 0);
}

// ---- Through the program ----

TEST(MinigameObjectsRunner, AProcedureObjectsFollowScriptsAndMoves) {
  testsupport::MinigameRunner runner;
  OdWriter od = testsupport::UniversalOd();
  od.Script(3, {OdWriter::SetPos(10, 10), OdWriter::MoveTo(42, 10, 32), OdWriter::WaitMove(),
                OdWriter::SetAnim(9), OdWriter::End()});
  runner.WriteFile(kOd, od.Build());
  runner.SetProc(0, [](int state) {
    if (state == mg::kStateLoadPending) {
      mg_obj_script(1, 3, 20);
      mg_obj_put(2, 0, 0, 30, 5, 0);
      mg_obj_move_n(2, 0, 60, 30);
    }
    return 1;
  });
  ASSERT_TRUE(runner.Start(0, mg::kModeFreePlay));
  ASSERT_TRUE(runner.RunUntil("script started", [] { return mg_obj_script_idle() == 0; }, 5));
  EXPECT_EQ(mg_obj_moving(2), 1);
  ASSERT_TRUE(runner.RunUntil("objects idle", [] { return mg_obj_idle() == 1 && mg_obj_script_idle() == 1; }, 120));
  EXPECT_EQ(mg_obj_get_x(1), 42);
  EXPECT_EQ(mg_obj_get_anim(1), 9);
  EXPECT_EQ(mg_obj(1)->image, 9);
  EXPECT_EQ(mg_obj_get_layer(1), 20);
  EXPECT_EQ(mg_obj_get_y(2), 60);
  EXPECT_EQ(Minigame().layer_heads[20], 1);
}

}  // namespace
