// The deferred sprite set-up and the fixed sprites on the rig: the deferred call's frames, the
// list's limit, order and end rows, the shade modes and depths, hiding while the battle flag
// word's bit 0x20 is set, the tone, the teardown by EndEventCheck, and captured frames of fixed
// sprites on a scrolled map.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_units.h"
#include "battle_events/core/event_check.h"
#include "battle_events/events_install.h"
#include "battle_events/fix_task.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "platform/display.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/stage_writer.h"

namespace {

using testsupport::BattleRig;
using testsupport::EventAnmWriter;

constexpr uint16_t kHideBit = 0x20;
constexpr SlgEventEntry kNoRows[] = {kEventTableEnd};

bool TaskExists(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }
SpxAnimeKind& Spx() { return *Scene().tamvik_spr.spx(); }

// A rig with the battle events on its battle, a board map of 1280 x 2200 (no units), the EventAnm
// animations of kinds 81 and 82, and the compose layer 4 shown and cleared each frame; the map's
// events installed (an empty table), as a map's set-up has done before its deferred call.
class FixRig {
 public:
  explicit FixRig(const BattleRig::Options& options = {}) : rig(options), board(rig.battle()) {
    board.SetMapSize(1280, 2200);
    testsupport::SlgTableWriter tables;
    EventAnmWriter::Lay(rig.driver().tree, tables, 0, {81, 82});
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    InstallBattleEvents(rig.battle());
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
    StartEventCheck(kNoRows);
  }
  ~FixRig() { EndEventCheck(); }
  FixRig(const FixRig&) = delete;
  FixRig& operator=(const FixRig&) = delete;

  FixTaskList& list() { return rig.battle().fix_tasks; }
  FixTaskWork& W(int i) { return *FixTaskWorkOf(list().tasks[static_cast<size_t>(i)]); }
  // The screen pixel of the sprite's anchor (its animation's position).
  std::pair<int, int> Drawn(const FixTaskWork& w) {
    int x = 0;
    int y = 0;
    Spx().GetSpxPos(w.obj->handle, &x, &y);
    return {x, y};
  }

  BattleRig rig;
  testsupport::BattleBoard board;
};

// ---- The deferred call ----

std::vector<std::string> g_calls;
BattleRig* g_rig = nullptr;
void First() { g_calls.push_back("first@" + std::to_string(g_rig->steps())); }
void Second() { g_calls.push_back("second@" + std::to_string(g_rig->steps())); }

TEST(DelaySprSetTask, CallsItsFunctionOnTheSecondFrameEndsOnTheThirdAndKeepsEachCallsOwn) {
  FixRig f;
  g_rig = &f.rig;
  g_calls.clear();
  const int n = f.rig.steps();
  // Two calls between the same two frames: each function once, in order.
  Slg::delaySprSetTask(&First);
  Slg::delaySprSetTask(&Second);
  Slg::delaySprSetTask(nullptr);  // refused: no task
  ASSERT_TRUE(f.rig.Step());
  EXPECT_TRUE(g_calls.empty());
  EXPECT_TRUE(TaskExists("Slg::delaySprSetTask"));
  ASSERT_TRUE(f.rig.Step());
  const std::string second_frame = std::to_string(n + 2);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"first@" + second_frame, "second@" + second_frame}));
  EXPECT_TRUE(TaskExists("Slg::delaySprSetTask"));
  ASSERT_TRUE(f.rig.Step());
  EXPECT_FALSE(TaskExists("Slg::delaySprSetTask"));
  ASSERT_TRUE(f.rig.Run(3));
  EXPECT_EQ(g_calls.size(), 2u);
  g_rig = nullptr;
}

// ---- The list ----

TEST(FixTaskAdd, TheSixtyFifthIsRefusedAndTheCountStaysSixtyFour) {
  FixRig f;
  for (int i = 0; i < kFixTaskMax; ++i) {
    ASSERT_NE(FixTaskAddOne(0, 81, (100 + i) << 16, 300 << 16), nullptr) << i;
  }
  EXPECT_EQ(FixTaskAddOne(0, 81, 100 << 16, 300 << 16), nullptr);
  EXPECT_EQ(f.list().count, kFixTaskMax);
  // The trace ends in a backslash and an n, not a line end.
  EXPECT_TRUE(f.rig.driver().trace().Contains("Fix Task too many!\\n"));
  EXPECT_EQ(f.W(63).x, (100 + 63) << 16);
  ASSERT_TRUE(f.rig.Step());
  for (int i = 0; i < kFixTaskMax; ++i) EXPECT_NE(f.W(i).obj->handle, nullptr) << i;
}

void CountFrames(SlgEffectTask* task) { ++FixTaskWorkOf(task)->step_words[0]; }

TEST(FixTaskAdd, ListsEndAtIdThirtyTwoAndPositionsAreShiftedToSixteenSixteen) {
  FixRig f;
  const FixTaskRow ended_at_once[] = {kFixTaskRowEnd, {0, 81, 10, 10}};
  FixTaskAddList(ended_at_once);
  const FixTaskRow20 ended_at_once20[] = {kFixTaskRow20End, {0, 81, &CountFrames, 10, 10}};
  FixTaskAddList20(ended_at_once20);
  EXPECT_EQ(f.list().count, 0);

  const FixTaskRow rows[] = {{0, 81, 640, 320}, {16, 82, 700, 330}, kFixTaskRowEnd, {0, 81, 1, 1}};
  FixTaskAddList(rows);
  const FixTaskRow20 rows20[] = {{48, 81, &CountFrames, 800, 340}, kFixTaskRow20End};
  FixTaskAddList20(rows20);
  ASSERT_EQ(f.list().count, 3);
  EXPECT_EQ(f.W(0).x, 640 << 16);
  EXPECT_EQ(f.W(1).y, 330 << 16);
  EXPECT_EQ(f.W(0).obj->pattern, 0);
  EXPECT_EQ(f.W(1).obj->pattern, 1);  // id 16
  EXPECT_EQ(f.W(2).obj->pattern, 3);  // id 48
  ASSERT_TRUE(f.rig.Run(2));
  EXPECT_EQ(f.W(2).step_words[0], 2u);  // its own function, once a frame
}

TEST(FixTaskRemove, ClosesTheGapKeepingTheOrderAndFreesWhatTheSpriteHeld) {
  FixRig f;
  std::vector<SlgEffectTask*> tasks;
  for (int i = 0; i < 4; ++i) tasks.push_back(FixTaskAddOne(0, 81, (200 + i) << 16, 300 << 16));
  ASSERT_TRUE(f.rig.Step());
  const int in_use = f.rig.battle().anm_pool.in_use;
  const AnimeHandle removed = f.W(1).obj->handle;
  ASSERT_NE(removed, nullptr);
  FixTaskRemove(tasks[1]);
  ASSERT_EQ(f.list().count, 3);
  EXPECT_EQ(f.list().tasks[0], tasks[0]);
  EXPECT_EQ(f.list().tasks[1], tasks[2]);
  EXPECT_EQ(f.list().tasks[2], tasks[3]);
  EXPECT_EQ(f.list().tasks[3], nullptr);
  EXPECT_EQ(SlgTaskIsAlive(tasks[1]), 0);
  EXPECT_EQ(Ctx().anime.IsAnime(removed), 0);
  EXPECT_EQ(f.rig.battle().anm_pool.in_use, in_use - 1);
  // A task not listed changes nothing.
  FixTaskRemove(tasks[1]);
  FixTaskRemove(nullptr);
  EXPECT_EQ(f.list().count, 3);
}

TEST(FixTaskAdd, TheSignsSelectTheShadeModeAndTheDepth) {
  FixRig f;
  // Cell (4, 20) is two levels high: the standard depth is taken at the point lifted by 96
  // pixels and raised by 24.
  const SlgRangePos cell = testsupport::CellPos(4, 20);
  f.board.SetCell(4, 20, testsupport::CellWord(2));
  struct Case {
    int sx, sy;  // the signs given
    uint16_t shade;
    int32_t depth;
  };
  const int32_t lifted = SlgCalcDepth(cell.x, cell.y + 96 - 24);
  ASSERT_NE(lifted, SlgCalcDepth(cell.x, cell.y - 24));
  const Case cases[] = {{-1, 1, kFixShadeTone, 267},
                        {-1, -1, kFixShadeTone, 267},
                        {1, -1, kFixShadeBehind, -1099},
                        {1, 1, kFixShadeNormal, lifted}};
  for (const Case& c : cases) {
    SlgEffectTask* t = FixTaskAddOne(0, 81, c.sx * (cell.x << 16), c.sy * (cell.y << 16));
    ASSERT_NE(t, nullptr);
  }
  ASSERT_TRUE(f.rig.Step());
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const FixTaskWork& w = f.W(i);
    EXPECT_EQ(w.x, cell.x << 16);  // the absolute values
    EXPECT_EQ(w.y, cell.y << 16);
    EXPECT_EQ(w.obj->shade, cases[i].shade);
    EXPECT_EQ(w.obj->depth, cases[i].depth);
    EXPECT_EQ(Spx().Block(w.obj->handle)->priority, SlgPriority(cases[i].depth));
  }
}

TEST(FixTaskAdd, NamesCountOnOverInstallsAndBattles) {
  FixRig f;
  FixTaskAddOne(0, 81, 100 << 16, 100 << 16);
  FixTaskAddOne(0, 81, 100 << 16, 100 << 16);
  EXPECT_TRUE(TaskExists("Slg::FixTask:Count1"));
  EndEventCheck();
  StartEventCheck(kNoRows);  // the next stage's install
  EXPECT_EQ(f.list().count, 0);
  FixTaskAddOne(0, 81, 100 << 16, 100 << 16);
  EXPECT_TRUE(TaskExists("Slg::FixTask:Count2"));
  EXPECT_FALSE(TaskExists("Slg::FixTask:Count0"));
}

TEST(FixTaskAdd, AnIdWithoutAnimationDrawsNothingAndIsTraced) {
  FixRig f;
  FixTaskAddOne(0, 83, 300 << 16, 300 << 16);   // no row for 83
  FixTaskAddOne(0, 200, 300 << 16, 300 << 16);  // not an event character
  FixTaskAddOne(0, 81, 300 << 16, 300 << 16);
  EXPECT_TRUE(f.rig.driver().trace().Contains("NPCID:3 is not described in EventAnm Table!\n"));
  EXPECT_TRUE(f.rig.driver().trace().Contains("NPCID:120 is not described in EventAnm Table!\n"));
  ASSERT_EQ(f.list().count, 3);
  ASSERT_TRUE(f.rig.Run(2));
  FixTaskUpdateAll(128);
  EXPECT_EQ(f.W(0).anm, nullptr);
  EXPECT_EQ(f.W(0).obj->handle, nullptr);
  EXPECT_EQ(f.W(1).obj->handle, nullptr);
  ASSERT_NE(f.W(2).obj->handle, nullptr);
  EXPECT_EQ(Spx().GetSpxAlpha(f.W(2).obj->handle), 128u);
}

// ---- Hiding, tone and teardown ----

TEST(FixTaskMain, HidesOnceWhileTheBitIsSetAndShowsOnceAfter) {
  FixRig f;
  FixTaskAddOne(0, 81, 400 << 16, 400 << 16);
  ASSERT_TRUE(f.rig.Run(2));
  FixTaskWork& w = f.W(0);
  const AnimeHandle handle = w.obj->handle;
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(w.shown, 1);
  const std::pair<int, int> before = f.Drawn(w);
  f.rig.battle().flags |= kHideBit;
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    f.rig.battle().state.scroll_x = static_cast<int16_t>(10 * (i + 1));  // the camera moves
    ASSERT_TRUE(f.rig.Step());
    EXPECT_EQ(w.shown, 0);
    EXPECT_EQ(Spx().Block(handle)->drawn, nullptr);  // hidden: no drawn sprite
    EXPECT_EQ(f.Drawn(w), before);                   // and idle: not moved
  }
  f.rig.battle().flags &= static_cast<uint16_t>(~kHideBit);
  ASSERT_TRUE(f.rig.Step());
  EXPECT_EQ(w.shown, 1);
  EXPECT_EQ(w.obj->handle, handle);  // the same animation, not played again
  EXPECT_NE(Spx().Block(handle)->drawn, nullptr);
  EXPECT_EQ(f.Drawn(w), (std::pair<int, int>{before.first - 50, before.second}));
}

TEST(FixTaskUpdateAll, SetsTheToneOnEverySpriteAndHidesThemWhileTheBitIsSet) {
  FixRig f;
  for (int i = 0; i < 3; ++i) FixTaskAddOne(0, 81 + i % 2, (300 + 20 * i) << 16, 400 << 16);
  ASSERT_TRUE(f.rig.Step());
  // Through the core's name, as the map's tone change calls it.
  FixTaskUpdateAll(96);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Spx().GetSpxAlpha(f.W(i).obj->handle), 96u) << i;
    EXPECT_EQ(f.W(i).shown, 1) << i;
  }
  f.rig.battle().flags |= kHideBit;
  FixTaskUpdateAll(200);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Spx().GetSpxAlpha(f.W(i).obj->handle), 200u) << i;
    EXPECT_EQ(f.W(i).shown, 0) << i;
    EXPECT_EQ(Spx().Block(f.W(i).obj->handle)->drawn, nullptr) << i;
  }
}

void EndItself(SlgEffectTask* task) { SlgTaskEnd(task); }

TEST(FixTaskRemove, ASpriteWhoseFunctionEndedItsTaskIsOnlyTakenOffTheList) {
  FixRig f;
  const FixTaskRow20 rows[] = {{0, 81, &EndItself, 300, 300}, kFixTaskRow20End};
  FixTaskAddList20(rows);
  FixTaskAddOne(0, 81, 320 << 16, 300 << 16);
  ASSERT_TRUE(f.rig.Step());
  ASSERT_EQ(f.list().count, 2);
  EXPECT_EQ(SlgTaskIsAlive(f.list().tasks[0]), 0);
  FixTaskUpdateAll(64);  // the live one only
  EXPECT_EQ(Spx().GetSpxAlpha(f.W(1).obj->handle), 64u);
  EndEventCheck();
  EXPECT_EQ(f.list().count, 0);
}

TEST(EndEventCheck, LeavesNoFixedSpriteTaskObjectOrAnimation) {
  FixRig f;
  const int in_use = f.rig.battle().anm_pool.in_use;
  std::vector<AnimeHandle> handles;
  for (int i = 0; i < 5; ++i) FixTaskAddOne(static_cast<uint32_t>(16 * i), 81, 300 << 16, 300 << 16);
  ASSERT_TRUE(f.rig.Run(2));
  for (int i = 0; i < 5; ++i) handles.push_back(f.W(i).obj->handle);
  EndEventCheck();
  EXPECT_EQ(f.list().count, 0);
  EXPECT_EQ(f.list().tasks[0], nullptr);
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(TaskExists(("Slg::FixTask:Count" + std::to_string(i)).c_str())) << i;
    EXPECT_EQ(Ctx().anime.IsAnime(handles[static_cast<size_t>(i)]), 0) << i;
  }
  EXPECT_EQ(f.rig.battle().anm_pool.in_use, in_use);
  ASSERT_TRUE(f.rig.Step());  // nothing left to run over what was freed
}

// ---- Captured frames ----

class FixFrameTest : public ::testing::TestWithParam<platform::PixelLayout> {};

// Two fixed sprites (kinds 81 and 82, patterns 0 and 1) on a map scrolled by (200, 600) whose
// stage origin is offset by (16, -8): each drawn at its map position less the scroll and the
// offsets, its 8 x 8 square above its anchor.
TEST_P(FixFrameTest, TwoSpritesOnAScrolledMapStandAtTheirPixels) {
  BattleRig::Options options;
  options.layout = GetParam();
  FixRig f(options);
  SlgBattleState& s = f.rig.battle().state;
  s.scroll_x = 200;
  s.scroll_y = 600;
  s.scroll_offset_x = 16;
  s.scroll_offset_y = -8;
  FixTaskAddOne(0, 81, 500 << 16, 900 << 16);
  FixTaskAddOne(16, 82, 700 << 16, 1000 << 16);
  ASSERT_TRUE(f.rig.Run(2));
  f.rig.SaveFrame("fixed_sprites_" + testsupport::LayoutName(GetParam()));
  const auto shown = [&](uint32_t c) { return f.rig.Shown(c); };
  struct Sprite {
    int kind, pattern, map_x, map_y;
  };
  for (const Sprite sp : {Sprite{81, 0, 500, 900}, Sprite{82, 1, 700, 1000}}) {
    SCOPED_TRACE(sp.kind);
    const int ax = sp.map_x - 200 - 16;
    const int ay = sp.map_y - 600 + 8;
    const uint32_t colour =
        shown(testsupport::SprColourRef(EventAnmWriter::Colour(sp.kind, sp.pattern)));
    EXPECT_EQ(f.rig.PixelAt(ax - 4, ay - 8), colour);  // the square's corners
    EXPECT_EQ(f.rig.PixelAt(ax + 3, ay - 1), colour);
    EXPECT_EQ(f.rig.PixelAt(ax + 4, ay - 1), shown(0));  // just outside
    EXPECT_EQ(f.rig.PixelAt(ax, ay), shown(0));
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, FixFrameTest,
                         ::testing::Values(platform::PixelLayout::kRgb565,
                                           platform::PixelLayout::kRgb555),
                         [](const auto& info) { return testsupport::LayoutName(info.param); });

}  // namespace
