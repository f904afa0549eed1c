// The battle's debug tasks on the battle rig: the map viewer, the circling animation, the
// destruction of the minor enemies (with EventDestroyEnemies and EventRemoveUnit), and a second
// start that orphans the first task.

#include "battle/slg_debug_tasks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
#include "battle/slg_task.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/spr_writer.h"

namespace {

using testsupport::BattleRig;

constexpr int kMap = 2;

struct MapView {
  int32_t map, x, y;
};

const MapView& ViewOf(SlgEffectTask* task) { return *static_cast<MapView*>(task->owned[0]); }

// Battle map 2 with a Ground plane of 2 x 2 tiles.
void LayMap(BattleRig& rig) {
  testsupport::MapTabWriter tab;
  tab.File("Ground:", {"g0.spr"});
  tab.Lay(rig.driver().tree, kMap);
  testsupport::LayMapFile(rig.driver().tree, kMap, "g0.spr",
                          testsupport::MapBankFile(testsupport::GridBank(64, 64, 2, 2, 0)));
}

bool Alive(SlgEffectTask* task) { return SlgTaskIsAlive(task) != 0; }

TEST(SlgDebugMapView, LoadsThePlanesMovesByHeldKeysAndFreesThemWhenStopped) {
  BattleRig rig;
  LayMap(rig);
  Battle().flags = 0;
  SlgEffectTask* task = SetSlgMapSetTask(1, kMap);
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(Battle().debug_tasks.map_view, task);
  ASSERT_TRUE(rig.Step());
  EXPECT_NE(Battle().map.planes[0], nullptr);
  EXPECT_EQ(Battle().flags & 2, 2);
  EXPECT_EQ(ViewOf(task).x, 0);
  EXPECT_EQ(ViewOf(task).y, 0);

  // Each held key moves its offset by 32 a frame, without limits.
  struct Case {
    GameKeyBits key;
    int32_t dx, dy;
  };
  const Case cases[] = {{kGameKeyRight, 32, 0}, {kGameKeyLeft, -32, 0}, {kGameKeyDown, 0, 32},
                        {kGameKeyUp, 0, -32}};
  for (const Case& c : cases) {
    const MapView before = ViewOf(task);
    rig.Schedule({testsupport::GameKeyDown(rig.frame() + 1, c.key),
                  testsupport::GameKeyUp(rig.frame() + 4, c.key)});
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(rig.Step());
    EXPECT_EQ(ViewOf(task).x - before.x, 3 * c.dx) << c.key;
    EXPECT_EQ(ViewOf(task).y - before.y, 3 * c.dy) << c.key;
  }
  // Left past the map's origin: no clamp.
  rig.Schedule({testsupport::GameKeyDown(rig.frame() + 1, kGameKeyLeft),
                testsupport::GameKeyUp(rig.frame() + 11, kGameKeyLeft)});
  for (int i = 0; i < 11; ++i) ASSERT_TRUE(rig.Step());
  EXPECT_EQ(ViewOf(task).x, -320);

  EXPECT_EQ(SetSlgMapSetTask(0, 0), nullptr);
  EXPECT_EQ(Battle().debug_tasks.map_view, nullptr);
  EXPECT_EQ(task->phase, kSlgPhaseStop);
  ASSERT_TRUE(rig.Step());
  EXPECT_FALSE(Alive(task));
  EXPECT_EQ(Battle().map.planes[0], nullptr);
  // Stopping again with nothing running does nothing.
  EXPECT_EQ(SetSlgMapSetTask(0, 0), nullptr);
}

TEST(SlgDebugMapView, ASecondStartOrphansTheFirstWhichDrawsNothingOnceThePlanesAreFreed) {
  BattleRig rig;
  LayMap(rig);
  SlgEffectTask* first = SetSlgMapSetTask(1, kMap);
  ASSERT_TRUE(rig.Step());
  SlgEffectTask* second = SetSlgMapSetTask(1, kMap);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(Battle().debug_tasks.map_view, second);
  ASSERT_TRUE(rig.Step());
  // The stop ends only the newest, which frees the planes the orphan draws.
  SetSlgMapSetTask(0, 0);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(rig.Step());
  EXPECT_FALSE(Alive(second));
  EXPECT_TRUE(Alive(first));
  EXPECT_EQ(Battle().map.planes[0], nullptr);
  // A stop now finds no handle and leaves the orphan running.
  SetSlgMapSetTask(0, 0);
  ASSERT_TRUE(rig.Step());
  EXPECT_TRUE(Alive(first));
}

// A 4 x 4 red unit played as a looping animation.
std::vector<uint8_t> AnimationFile() {
  using namespace testsupport;
  return testsupport::AnimationFile({{0, 0, 0}, {31, 0, 0}},
                                    {{4, 4, kSprDepth8, 0, std::vector<uint8_t>(16, 1)}},
                                    {{BoxEntry(0, 0, 0, 4, 4)}}, {{{0, 6}, {0, 6}}});
}

TEST(SlgPolarToXY, OffsetsOfTheRadiusAtTheQuarterTurns) {
  struct Case {
    int32_t angle;
    int32_t x, y;  // pixels
  };
  const Case cases[] = {{0, 100, 0}, {128, 0, 100}, {256, -100, 0}, {384, 0, -100}, {512, 100, 0}};
  for (const Case& c : cases) {
    const SlgPair p = SlgPolarToXY(100 << 16, c.angle);
    EXPECT_EQ(p.x >> 16, c.x) << c.angle;
    EXPECT_EQ(p.y >> 16, c.y) << c.angle;
  }
  EXPECT_EQ(SlgFxMul(3 << 16, 1 << 15), 3 << 15);
  EXPECT_EQ(SlgFxMul(-(2 << 16), 3 << 16), -(6 << 16));
}

TEST(SlgDebugUnitAnmTest, CirclesTheCentreAtOneHundredPixelsTurningWithItsPath) {
  BattleRig rig;
  rig.WriteFile("circle.spr", AnimationFile());
  SprAnm* anm = TamvikFunc::LoadAnmFile("circle.spr");
  ASSERT_NE(anm, nullptr);
  SlgAnmObj obj{};
  AnimeHandle shown = SlgPlayAnm(anm, 0, &obj, SURFACE_ROOT);
  ASSERT_NE(shown, nullptr);
  SlgEffectTask* task = SetSlgUnitAnmTest(shown, 1);
  ASSERT_NE(task, nullptr);
  SpxAnimeKind& spx = *Scene().tamvik_spr.spx();
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(rig.Step());
    const int32_t angle = task->frames & 511;
    const SlgPair expected = SlgPolarToXY(100 << 16, angle);
    int x = 0, y = 0;
    ASSERT_EQ(spx.GetSpxPos(shown, &x, &y), 1);
    EXPECT_EQ(x, (expected.x >> 16) + 320) << i;
    EXPECT_EQ(y, (expected.y >> 16) + 240) << i;
    const double distance = std::hypot(x - 320, y - 240);
    EXPECT_NEAR(distance, 100.0, 1.5) << i;
    EXPECT_EQ(spx.Block(shown)->rotation, angle * 804 / 256) << i;
  }
  // Stopped: the task ends and the animation stays its owner's.
  SetSlgUnitAnmTest(nullptr, 0);
  ASSERT_TRUE(rig.Step());
  EXPECT_FALSE(Alive(task));
  EXPECT_NE(Ctx().anime.IsAnime(shown), 0);
  Scene().tamvik_spr.ReleaseAnm(&obj.handle);
  TamvikFunc::ReleaseAnmFile(anm);
}

TEST(SlgDebugZakoDestroy, EnemiesBlinkThirtyTimesThenAreRemovedAndTheTaskEnds) {
  BattleRig rig;
  testsupport::BattleBoard board(rig.battle());
  const uint8_t hero = board.AddUnit({.side = 0, .kind = 0, .x = 96, .y = 96});
  const uint8_t enemy1 = board.AddUnit({.side = 1, .kind = 1, .x = 192, .y = 96});
  const uint8_t enemy2 = board.AddUnit({.side = 1, .kind = 1, .x = 240, .y = 144});
  ASSERT_NE(enemy2, 255);
  SlgUnit& e1 = Battle().state.units[enemy1];
  e1.flags |= 0x80;
  SlgEffectTask* task = SetSlgZakoDestroyTask(1);
  ASSERT_NE(task, nullptr);
  int hides = 0;
  bool was_set = true;
  int frames = 0;
  while (Alive(task) && frames < 200) {
    ASSERT_TRUE(rig.Step());
    ++frames;
    const bool set = (e1.flags & 0x80) != 0;
    if (was_set && !set && e1.step != kSlgDeadStep) ++hides;
    was_set = set;
  }
  EXPECT_FALSE(Alive(task));
  EXPECT_EQ(hides, 30);
  EXPECT_EQ(frames, 62);  // start, 30 hidden, 29 shown, removal, then the end
  for (uint8_t slot : {enemy1, enemy2}) {
    const SlgUnit& u = Battle().state.units[slot];
    EXPECT_EQ(u.step, kSlgDeadStep);
    EXPECT_EQ(u.anm, nullptr);
    EXPECT_EQ(u.anm2, nullptr);
    EXPECT_EQ(std::count(Battle().unit_grid.begin(), Battle().unit_grid.end(), slot), 0);
  }
  EXPECT_NE(Battle().state.units[hero].step, kSlgDeadStep);
  // Its handle outlived it: stopping now must not touch the freed record (ASan).
  EXPECT_EQ(SetSlgZakoDestroyTask(0), nullptr);
  EXPECT_EQ(Battle().debug_tasks.zako_destroy, nullptr);
}

TEST(SlgDebugZakoDestroy, AStoppedDestroyerLeavesTheNextToStartFromTheBeginning) {
  BattleRig rig;
  testsupport::BattleBoard board(rig.battle());
  const uint8_t enemy = board.AddUnit({.side = 1, .kind = 1, .x = 192, .y = 96});
  SetSlgZakoDestroyTask(1);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(rig.Step());
  SetSlgZakoDestroyTask(0);
  ASSERT_TRUE(rig.Step());
  EXPECT_NE(Battle().state.units[enemy].step, kSlgDeadStep);
  SlgEffectTask* again = SetSlgZakoDestroyTask(1);
  int frames = 0;
  while (Alive(again) && frames < 200) {
    ASSERT_TRUE(rig.Step());
    ++frames;
  }
  EXPECT_EQ(frames, 62);
  EXPECT_EQ(Battle().state.units[enemy].step, kSlgDeadStep);
}

}  // namespace
