// The map's geometry and the camera: pixels to cells and snapped pixels (clamped on every side),
// drawing positions, the rectangle test, and the camera's moves on the rig's clock and keys.

#include <gtest/gtest.h>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "engine/input/dinput.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/stage_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::CellWord;

TEST(SlgGeometry, PixelsToCellsAndSnappedPixels) {
  struct Case {
    int32_t x, y;
    int column, row;
    bool snapped;  // whether snap_x, snap_y are checked
    int snap_x, snap_y;
  };
  for (const Case& c : {Case{0, 0, 0, 0, true, 0, -24}, Case{48, 24, 0, 1, true, 48, 0},
                        Case{192, 240, 2, 10, true, 192, 216},
                        Case{192, 216, 2, 10, true, 192, 216},
                        Case{2064, 2088, 21, 87, true, 2064, 2064},
                        Case{3000, 240, 21, 11, false, 0, 0},
                        Case{192, 3000, 2, 87, false, 0, 0},
                        Case{-100, 0, 0, 0, false, 0, 0},
                        Case{0, -1100, 0, 0, false, 0, 0},
                        Case{-2000000000, 2000000000, 0, 87, false, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
    const SlgCell cell = PosToCell(c.x, c.y);
    EXPECT_EQ(cell.column, c.column);
    EXPECT_EQ(cell.row, c.row);
    if (c.snapped) {
      const SlgPoint snap = SnapPosToCell(c.x, c.y);
      EXPECT_EQ(snap.x, c.snap_x);
      EXPECT_EQ(snap.y, c.snap_y);
    }
  }
  // Every snapped pixel lies in the cell it was snapped from.
  for (int y = -30; y < 400; y += 7) {
    for (int x = -30; x < 700; x += 11) {
      const SlgCell cell = PosToCell(x, y);
      const SlgPoint snap = SnapPosToCell(x, y);
      const SlgCell again = PosToCell(snap.x, snap.y);
      if (x >= 0 && y >= 24) {
        EXPECT_EQ(again.column, cell.column) << x << ", " << y;
        EXPECT_EQ(again.row, cell.row) << x << ", " << y;
      }
    }
  }
  EXPECT_EQ(PointInRect({10, 20, 30, 40}, 10, 40), 1);
  EXPECT_EQ(PointInRect({10, 20, 30, 40}, 30, 20), 1);
  EXPECT_EQ(PointInRect({10, 20, 30, 40}, 9, 30), 0);
  EXPECT_EQ(PointInRect({10, 20, 30, 40}, 20, 41), 0);
}

TEST(SlgGeometry, DrawingPositionsStandOnTheCellHeight) {
  BattleBoard board;
  board.SetCell(2, 10, CellWord(2));
  const uint8_t slot = board.AddUnit({.kind = 0, .x = 192, .y = 240});
  SlgUnit& u = Battle().state.units[slot];
  SlgPair p = Slg::PosToScreen({u.x, u.y});
  EXPECT_EQ(p.x, (192 - 320) * 65536);
  EXPECT_EQ(p.y, (240 - 96 - 216) * 65536);
  Battle().state.scroll_x = 10;
  Battle().state.scroll_y = 20;
  p = Slg::PosToScreen({u.x + 5, u.y});  // sub-pixel parts pass through
  EXPECT_EQ(p.x, (192 - 330) * 65536 + 5);
  EXPECT_EQ(p.y, (240 - 96 - 20 - 216) * 65536);
  u.lift = 48 * 65536;
  const SlgPair m = SlgMapToScreen(u);
  EXPECT_EQ(m.x, (192 - 330) * 65536);
  EXPECT_EQ(m.y, (240 - 20 - 216 - 48) * 65536);
}

// Steps the camera once per rig frame until it reports arrival; the frames taken, or -1.
int StepUntilArrived(BattleRig& rig, int limit) {
  for (int i = 1; i <= limit; ++i) {
    rig.Step();
    if (Slg::ScrollStep() == 1) return i;
  }
  return -1;
}

TEST(SlgCamera, ScrollsToUnitsWithinTheMapAndPutsTheCursorOnThem) {
  struct Case {
    const char* name;
    uint16_t width, height;
    int16_t x, y;
    int target_x, target_y;  // pixels; -1: arrived at once
  };
  for (const Case& c : {Case{"inside the central box", 1600, 1200, 300, 300, -1, -1},
                        Case{"far corner, clamped", 1600, 1200, 1500, 1100, 960, 720},
                        Case{"near the top", 1600, 1200, 700, 250, 380, 0},
                        Case{"middle", 1600, 1200, 1000, 700, 680, 484},
                        Case{"640 x 480 never scrolls", 640, 480, 600, 400, 0, 0},
                        Case{"narrow map", 500, 2000, 480, 1500, 0, 1284}}) {
    SCOPED_TRACE(c.name);
    BattleRig rig;
    BattleBoard board(rig.battle());
    board.SetMapSize(c.width, c.height);
    const uint8_t slot = board.AddUnit({.kind = 0, .x = c.x, .y = c.y});
    Slg::InitCamera();
    Slg::ScrollToUnit(slot);
    const SlgCamera& cam = Battle().camera;
    EXPECT_EQ(cam.followed, slot);
    const SlgBattleState& s = Battle().state;
    if (c.target_x < 0) {
      EXPECT_EQ(Slg::ScrollStep(), 1);
      EXPECT_EQ(s.scroll_x, 0);
      EXPECT_EQ(s.scroll_y, 0);
    } else {
      EXPECT_EQ(cam.target_x, c.target_x * 65536);
      EXPECT_EQ(cam.target_y, c.target_y * 65536);
      EXPECT_EQ(cam.duration, kSlgCameraDuration);
      const int frames = StepUntilArrived(rig, 40);
      EXPECT_GE(frames, 1);
      EXPECT_LE(frames, static_cast<int>(kSlgCameraDuration) + 1);
      EXPECT_EQ(s.scroll_x, c.target_x);
      EXPECT_EQ(s.scroll_y, c.target_y);
    }
    EXPECT_EQ(s.focus_x, c.x);
    EXPECT_EQ(s.focus_y, c.y);
    EXPECT_EQ(s.cursor_point[0], c.x);
    EXPECT_EQ(s.cursor_point[1], c.y);
    EXPECT_EQ(s.pointer.x, (c.x - s.scroll_x - 320) * 65536);
    EXPECT_EQ(s.pointer.y, (c.y - 240 - s.scroll_y) * 65536);
  }
}

// A stage of 65535 x 65535 pixels would take the scroll range past 16.16 in 32 bits: the map size
// is held to 32767 at load, and the camera goes to a unit near that edge and stops at the limit.
TEST(SlgCamera, AMapTooLargeForTheCameraIsHeldAtLoad) {
  struct Case {
    int16_t x, y;
    int scroll_x, scroll_y;
  };
  for (const Case& c : {Case{30000, 30000, 29680, 29784}, Case{32767, 32767, 32127, 32287}}) {
    SCOPED_TRACE(c.x);
    BattleRig rig;
    BattleBoard board(rig.battle());
    board.SetMapSize(65535, 65535);
    EXPECT_EQ(Battle().stage->header().width, 32767);
    EXPECT_EQ(Battle().stage->header().height, 32767);
    const uint8_t slot = board.AddUnit({.kind = 0, .x = c.x, .y = c.y});
    Slg::InitCamera();
    Slg::ScrollToUnit(slot);
    EXPECT_GE(StepUntilArrived(rig, 40), 1);
    EXPECT_EQ(Battle().state.scroll_x, c.scroll_x);
    EXPECT_EQ(Battle().state.scroll_y, c.scroll_y);
  }
}

TEST(SlgCamera, KeyTwoHurriesButNotDuringEventsOrOnTheFirstFrame) {
  struct Case {
    const char* name;
    bool key;
    uint32_t event_busy, first_frame, duration;
  };
  for (const Case& c : {Case{"key held", true, 0, 0, 4}, Case{"no key", false, 0, 0, 16},
                        Case{"event runs", true, 1, 0, 16},
                        Case{"first frame", true, 0, 1, 16}}) {
    SCOPED_TRACE(c.name);
    BattleRig rig;
    BattleBoard board(rig.battle());
    board.SetMapSize(2000, 2000);
    const uint8_t slot = board.AddUnit({.kind = 0, .x = 1500, .y = 1500});
    if (c.key) rig.Schedule({testsupport::GameKeyDown(rig.frame(), kGameKey2)});
    rig.Step();
    Battle().event_busy = c.event_busy;
    Battle().first_frame = c.first_frame;
    Slg::InitCamera();
    Slg::ScrollToUnit(slot);
    EXPECT_EQ(Battle().camera.duration, c.duration);
    const int frames = StepUntilArrived(rig, 40);
    EXPECT_GE(frames, 1);
    EXPECT_LE(frames, static_cast<int>(c.duration) + 1);
    EXPECT_EQ(Battle().state.scroll_x, 1500 - 320);
    EXPECT_EQ(Battle().state.scroll_y, 1500 - 216);
  }
}

TEST(SlgCamera, NoUnitLockAndPositions) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  board.SetMapSize(1600, 1200);
  board.AddUnit({.kind = 0, .x = 1500, .y = 1100});
  Slg::InitCamera();
  const SlgCamera before = Battle().camera;
  for (uint32_t n : {1u, 64u, 65535u}) {
    Slg::ScrollToUnit(n);
    const SlgCamera& cam = Battle().camera;
    EXPECT_EQ(cam.followed, before.followed) << n;
    EXPECT_EQ(cam.target_x, before.target_x) << n;
    EXPECT_EQ(cam.step_x, before.step_x) << n;
    EXPECT_EQ(cam.start_time, before.start_time) << n;
  }
  // A locked camera does not move or arrive.
  Slg::ScrollToUnit(0);
  Battle().camera.lock = 1;
  rig.Run(3);
  EXPECT_EQ(Slg::ScrollStep(), 0);
  EXPECT_EQ(Battle().state.scroll_x, 0);
  Battle().camera.lock = 0;
  EXPECT_EQ(StepUntilArrived(rig, 40) > 0, true);

  // A map position: the target y is pos y - (48 h + 240), 16 frames.
  board.SetCell(6, 30, CellWord(1));
  Slg::ScrollToPos({600 * 65536, 720 * 65536});
  EXPECT_EQ(Battle().camera.target_x, 280 * 65536);
  EXPECT_EQ(Battle().camera.target_y, (720 - 48 - 240) * 65536);
  EXPECT_EQ(Battle().camera.duration, kSlgCameraDuration);
  EXPECT_GT(StepUntilArrived(rig, 40), 0);
  EXPECT_EQ(Battle().state.scroll_x, 280);
  EXPECT_EQ(Battle().state.scroll_y, 432);
}

}  // namespace
