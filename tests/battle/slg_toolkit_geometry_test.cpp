// The attack toolkit's 16.16 geometry, keyed motions and camera requests: products, quotients and
// rotations, angle turns, hit boxes, the map position services outside the map, and the speed
// scroll.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_unit.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/stage_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::CellWord;
using testsupport::OnCell;

constexpr int32_t kPx = 0x10000;

TEST(SlgFixedPoint, ProductsQuotientsAndRotations) {
  struct Fx {
    const char* name;
    int32_t got, want;
  };
  const Fx cases[] = {
      {"mul", SlgFxMul(3 * kPx, kPx / 2), 3 * kPx / 2},
      {"mul negative truncates toward zero", SlgFxMul(-1, 1), 0},
      {"mul saturates high", SlgFxMul(INT32_MAX, INT32_MAX), INT32_MAX},
      {"mul saturates low", SlgFxMul(INT32_MIN, INT32_MAX), INT32_MIN},
      {"div is b / a", SlgFxDiv(2 * kPx, 6 * kPx), 3 * kPx},
      {"div the other way", SlgFxDiv(6 * kPx, 2 * kPx), kPx / 3},
      {"div truncates toward zero", SlgFxDiv(3 * kPx, -kPx), -(kPx / 3)},
      {"div by zero", SlgFxDiv(0, 5 * kPx), 0},
      {"div saturates high", SlgFxDiv(1, kPx), INT32_MAX},
      {"div saturates low", SlgFxDiv(-1, kPx), INT32_MIN},
  };
  for (const Fx& c : cases) EXPECT_EQ(c.got, c.want) << c.name;

  struct Rot {
    int32_t angle;
    SlgPair want;
  };
  const Rot rots[] = {{0, {kPx, 0}}, {128, {0, kPx}}, {256, {-kPx, 0}}, {384, {0, -kPx}},
                      {512, {kPx, 0}}};
  for (const Rot& r : rots) {
    SlgPair v{kPx, 0};
    SlgRotate(v, r.angle);
    EXPECT_EQ(v.x, r.want.x) << "angle " << r.angle;
    EXPECT_EQ(v.y, r.want.y) << "angle " << r.angle;
  }
  // An eighth of a turn: the table's 11585 / 16384 on both axes.
  const SlgPair polar = SlgPolarToXY(100 * kPx, 64);
  EXPECT_EQ(polar.x, 100 * 11585 * 4);
  EXPECT_EQ(polar.y, 100 * 11585 * 4);
}

TEST(SlgAngleDir, EqualAndBothHalves) {
  const struct {
    int32_t a, b, want;
  } cases[] = {
      {5, 5, 0},     {5, 5 + 65536, 0},  // equal modulo 65536
      {10, 0, 1},    {255, 0, 1},        // a ahead by less than half a turn
      {0, 10, -1},   {256, 0, -1},       // behind, and exactly half a turn
      {0, 256, -1},  {600, 0, 1},        // 600 = 88 ahead
      {5, 5 + 512, -1},                  // a whole turn apart is not equal
  };
  for (const auto& c : cases) EXPECT_EQ(Slg::AngleDir(c.a, c.b), c.want) << c.a << " " << c.b;
}

TEST(SlgHitBox, StrictOnEveryEdge) {
  const Slg::HitBoxRect a{0, 0, 10, 6};
  const struct {
    int32_t bx, by;
    int want;
  } cases[] = {
      {19 * kPx, 0, 1},           {19 * kPx + kPx - 1, 0, 1}, {20 * kPx, 0, 0},
      {-20 * kPx, 0, 0},          {0, 11 * kPx, 1},           {0, -12 * kPx, 0},
      {19 * kPx, 11 * kPx, 1},    {19 * kPx, 12 * kPx, 0},
  };
  for (const auto& c : cases) {
    const Slg::HitBoxRect b{c.bx, c.by, 10, 6};
    EXPECT_EQ(Slg::HitBox(a, b), c.want) << c.bx / kPx << " " << c.by / kPx;
    EXPECT_EQ(Slg::HitBox(b, a), c.want);
  }
}

TEST(SlgMotion, KeyedPositionsEachFrameThenZeroForEver) {
  // Offsets over divisors 2 and 4: key 0 (20, 40) -> (10, 10) px; key 1 (80, 40) -> (40, 10)
  // in 3 frames; key 2 (80, -40) -> (40, -10) in 2 frames; then the end.
  const SlgMotionKey keys[] = {{20, 40, 2}, {80, 40, 3}, {80, -40, 2}, {0, 0, 0}};
  SlgMotion m{};
  SlgMotionInit(m, keys, 2, 4);
  EXPECT_EQ(m.x, 10 * kPx);
  EXPECT_EQ(m.y, 10 * kPx);
  const struct {
    int result;
    int32_t x, y;
  } frames[] = {
      {1, 10, 10},  // key 0's 2 frames: held
      {1, 10, 10},  // the segment toward key 1 starts at key 0
      {1, 20, 10}, {1, 30, 10},
      {1, 40, 10},  // key 1 reached; toward key 2
      {1, 40, 0},
      {0, 40, 0},   // the list ends
  };
  for (size_t i = 0; i < std::size(frames); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i + 1));
    EXPECT_EQ(SlgMotionStep(m), frames[i].result);
    EXPECT_EQ(m.x, frames[i].x * kPx);
    EXPECT_EQ(m.y, frames[i].y * kPx);
  }
  for (int i = 0; i < 5; ++i) EXPECT_EQ(SlgMotionStep(m), 0) << "a finished motion stays finished";
  EXPECT_EQ(m.frames_left, -1);

  // A zero divisor counts as 1; an empty list ends at once.
  SlgMotionInit(m, keys, 0, 1);
  EXPECT_EQ(m.x, 20 * kPx);
  const SlgMotionKey empty[] = {{5, 5, 0}};
  SlgMotionInit(m, empty, 1, 1);
  EXPECT_EQ(SlgMotionStep(m), 0);
}

TEST(SlgMapPositions, ScreenRaiseAndTheCellServicesOutsideTheMap) {
  BattleBoard board;
  board.SetCell(4, 20, CellWord(2));
  const uint8_t unit = board.AddUnit(OnCell(4, 20, {.side = 1, .kind = 14}));
  const uint8_t corner = board.AddUnit(OnCell(0, 0, {.side = 1, .kind = 14}));
  Battle().state.scroll_x = 10;
  Battle().state.scroll_y = 20;

  const SlgPair w = Slg::WorldToScreen({400 * kPx, 300 * kPx});
  EXPECT_EQ(w.x, 70 * kPx);
  EXPECT_EQ(w.y, 64 * kPx);
  const SlgPair centre{(2 * 4) * 48 * kPx, 24 * 20 * kPx};  // cell (4, 20)
  const SlgPair raised = Slg::RaiseByCellHeight(centre);
  EXPECT_EQ(raised.x, centre.x);
  EXPECT_EQ(raised.y, centre.y - 96 * kPx);
  EXPECT_EQ(Slg::RaiseByCellHeight({0, 0}).y, 0) << "a flat cell raises nothing";

  const uint32_t fallback = 0xFFFFFFFF;
  const struct {
    const char* name;
    SlgPair pos;
    uint16_t unit;
    uint32_t attr;
  } cases[] = {
      {"the unit's cell", centre, unit, CellWord(2)},
      {"the corner cell", {0, 0}, corner, CellWord(0)},
      {"left of the map", {-200 * kPx, 0}, kSlgNoUnit, fallback},
      {"above the map", {0, -200 * kPx}, kSlgNoUnit, fallback},
      {"below the last row", {0, (24 * 87 + 200) * kPx}, kSlgNoUnit, fallback},
      {"right of the last column", {(22 * 96 + 200) * kPx, 0}, kSlgNoUnit, fallback},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Slg::UnitAtPos(c.pos), c.unit);
    EXPECT_EQ(Slg::CellAttrAtPos(c.pos, fallback), c.attr);
  }

  SlgCell cursor{-1, -1};
  EXPECT_EQ(Slg::UpdateCursorCell(cursor, centre), unit);
  EXPECT_EQ(cursor.column, 4);
  EXPECT_EQ(cursor.row, 20);
  EXPECT_EQ(Slg::UpdateCursorCell(cursor, {centre.x + 5 * kPx, centre.y}), kSlgNoUnit)
      << "the same cell again";
  EXPECT_EQ(Slg::UpdateCursorCell(cursor, {-200 * kPx, 0}), kSlgNoUnit);
  EXPECT_EQ(cursor.column, 4) << "a position outside the map stores nothing";
  EXPECT_EQ(Slg::UpdateCursorCell(cursor, {0, 0}), corner);

  const struct {
    SlgPair pos;
    int on;
  } on_map[] = {{{0, 0}, 1},           {{639 * kPx, 479 * kPx}, 1}, {{640 * kPx, 0}, 0},
                {{0, 480 * kPx}, 0},   {{-kPx, 0}, 0}};
  for (const auto& c : on_map) EXPECT_EQ(Slg::IsOnMap(c.pos), c.on) << c.pos.x / kPx << " " << c.pos.y / kPx;
}

TEST(SlgScrollToPosSpeed, InsideTheBoxLongDiagonalAndSpeedZero) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  board.SetMapSize(2048, 2048);
  SlgCamera& cam = Battle().camera;
  Slg::InitCamera();

  // Drawn at (100, 50) px: inside the box, nothing changes.
  cam.target_x = 12345;
  Slg::ScrollToPosSpeed({420 * kPx, 266 * kPx}, 12);
  EXPECT_EQ(cam.target_x, 12345);
  cam.target_x = 0;

  // (1500, 1200): target (1180, 960), the longer axis x.
  Slg::ScrollToPosSpeed({1500 * kPx, 1200 * kPx}, 12);
  EXPECT_EQ(cam.target_x, 1180 * kPx);
  EXPECT_EQ(cam.target_y, 960 * kPx);
  const SlgPair step = SlgPolarToXY(12 * kPx, SlgAtan2(960, 1180));
  const int64_t want = (int64_t{1180} * kPx + step.x - 1) / step.x;
  EXPECT_GT(want, 1180 / 12) << "slower than 12 px a frame along x";
  EXPECT_EQ(cam.duration, static_cast<uint32_t>(want));
  EXPECT_EQ(cam.step_x, 1180 * kPx / static_cast<int32_t>(want));
  EXPECT_EQ(cam.step_y, 960 * kPx / static_cast<int32_t>(want));

  // A steep one goes by y.
  Slg::ScrollToPosSpeed({400 * kPx, 1800 * kPx}, 12);
  const SlgPair steep = SlgPolarToXY(12 * kPx, SlgAtan2(1560, 80));
  EXPECT_EQ(cam.duration, static_cast<uint32_t>((int64_t{1560} * kPx + steep.y - 1) / steep.y));

  // Speed 0: one frame, and the camera arrives.
  Slg::ScrollToPosSpeed({1500 * kPx, 1200 * kPx}, 0);
  EXPECT_EQ(cam.duration, 1u);
  EXPECT_EQ(cam.step_x, 1180 * kPx);
  rig.Run(3);
  Slg::ScrollStep();
  EXPECT_EQ(Battle().state.scroll_x, 1180);
  EXPECT_EQ(Battle().state.scroll_y, 960);

  Slg::ScrollJumpTo({1000 * kPx, 700 * kPx});
  EXPECT_EQ(Battle().state.scroll_x, 680);
  EXPECT_EQ(Battle().state.scroll_y, 460);
  EXPECT_EQ(cam.current_x, 680 * kPx);
  EXPECT_EQ(cam.target_y, 460 * kPx);
}

}  // namespace
