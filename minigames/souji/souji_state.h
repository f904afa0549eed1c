#pragma once
// The cleaning game's state: the floor's ring of tile rows, the two characters, the course's
// progress (sections and row patterns), the obstacle and decoration tables and the score. It lives
// in MinigameContext::souji; the course (souji_course.h) and the procedure (souji_game.h) work on
// it.

#include <array>
#include <cstdint>

namespace souji {

// The floor: a ring of 10 rows of 10 cells, tiles 64 x 96 from image slot 0, drawn from row 5.
constexpr int kCols = 10;
constexpr int kRows = 10;
constexpr int kTileW = 64;
constexpr int kTileH = 96;
constexpr int kStartRow = 5;
constexpr int32_t kScrollX = 32;  // columns are drawn from x = -32: x 320 lies in column 4

// Cells.
constexpr uint16_t kFloor = 1;
constexpr uint16_t kSolid = 0x4000;
constexpr uint16_t kFront = 0x8000;
constexpr uint16_t kWall = kSolid | 2;  // a wall tile written by the row patterns
constexpr uint16_t kEdge = kSolid | 4;  // the last column of every fresh row
constexpr uint16_t kFrontTile = kFront | 3;  // a tile drawn in front that does not block

// The characters: the leader steps 6 pixels sideways between 32 and 608 with its box
// (x - 8, 368, 16 x 16); the follower walks 14 steps behind in the leader's track.
constexpr int32_t kLeaderY = 384;
constexpr int32_t kFollowerY = 468;
constexpr int32_t kBoxY = 368;
constexpr int32_t kBoxSide = 16;
constexpr int32_t kMoveStep = 6;
constexpr int32_t kMinX = 32;
constexpr int32_t kMaxX = 608;
constexpr int kRingSize = 14;

// The floor scrolls 6 pixels a step in play (3 in the goal sequence); a new row every 96.
constexpr int32_t kScrollStep = 6;
constexpr int32_t kGoalScrollStep = 3;

constexpr int kObstacleCount = 16;
constexpr int kDecorationCount = 48;

// Objects.
constexpr int kObjScore = 1;
constexpr int kObjGoal = 2;
constexpr int kObjDecorationFirst = 16;  // 16-63
constexpr int kObjFollower = 64;
constexpr int kObjLeader = 65;
constexpr int kObjObstacleFirst = 92;  // 92-107
constexpr int kObjPointer = 199;

// Procedure steps beyond the opening ones (-1 reset, 0 set-up, 1 fade in, 2 the opening voice).
constexpr int kStepPlay = 3;
constexpr int kStepCrash = 4;
constexpr int kStepGoal = 5;
constexpr int kStepGoalWalk = 6;
constexpr int kStepGoalPose = 7;
constexpr int kStepResult = 8;
constexpr int kStepFadeOut = 9;

// An obstacle (kind 0 = free record): kind 1 rides the floor and drifts sideways, kind 2 runs
// straight down faster than the floor, kind 3 runs down fast and drifts.
struct Obstacle {
  int32_t kind = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t dx = 0;
  int32_t speed = 0;
};

// A decoration riding the floor.
struct Decoration {
  int32_t active = 0;
  int32_t x = 0;
  int32_t y = 0;
};

struct SoujiState {
  int32_t step = -1;
  int32_t wait = 0;
  int32_t scroll = 0;  // vertical scroll of the floor in pixels
  int32_t x = 320;     // the leader's x
  int32_t follower_x = 320;
  std::array<int32_t, kRingSize> ring{};
  int32_t ring_index = 0;
  int32_t score = 0;
  int32_t section = 0;
  int32_t section_rows = 0;  // rows made since the section began
  int32_t section_steps = 0;
  int32_t pattern = 0;       // the pattern writing the next rows
  int32_t pattern_step = 0;  // rows it has written so far
  int32_t pattern_gap[2] = {0, 0};  // half-row patterns: the last gap of the left and right half
  int32_t pattern_column = 0;       // column patterns: their column
  int32_t goal = 0;
  int32_t goal_steps = 0;
  std::array<uint16_t, kCols * kRows> cells{};
  std::array<Obstacle, kObstacleCount> obstacles{};
  std::array<Decoration, kDecorationCount> decorations{};
};

}  // namespace souji
