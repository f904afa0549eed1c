#pragma once
// The shooting game's constant tables: depths (layer, hit box, animation base), the three stage
// rows, the spawn points, the blocking scenery, and our content table of where the screen's
// pieces stand.

#include <array>
#include <cstdint>

namespace shot {

constexpr int kDepths = 4;
constexpr int kStages = 3;

// Depth index 0-3 (far to near): layer, hit box (left, top, right, bottom relative to x, y) and
// the base of the target animations.
struct Depth {
  int32_t layer;
  int32_t box_left;
  int32_t box_top;
  int32_t box_right;
  int32_t box_bottom;
  int32_t anim_base;
};
constexpr std::array<Depth, kDepths> kDepthTable = {{
    {511, -40, -48, 24, 0, 0},
    {509, -56, -80, 40, 0, 10},
    {507, -64, -128, 64, 0, 20},
    {256, -96, -224, 96, 0, 30},
}};
// The depth a layer belongs to (0 far - 3 near); -1 for no target layer.
constexpr int DepthOf(int32_t layer) {
  for (int d = 0; d < kDepths; ++d) {
    if (kDepthTable[static_cast<size_t>(d)].layer == layer) return d;
  }
  return -1;
}
constexpr int kNearDepth = 3;
// The animation of a new target: its depth's base plus 40, 80, 120 or 160 (the near depth 160).
constexpr int32_t kAnimStep = 40;
constexpr int32_t kNearAnimOffset = 160;

// A spawn point: x / 2, (y - 16) / 2, depth, movement (0-2; 2 slides diagonally), direction bits
// (bit 0 reverses the horizontal direction, bit 1 the vertical), flying flag.
struct SpawnPoint {
  int32_t half_x;
  int32_t half_y;
  int32_t depth;
  int32_t movement;
  int32_t direction;
  int32_t flying;
};
constexpr int32_t kMoveDiagonal = 2;
constexpr uint32_t kReverseX = 1;
constexpr uint32_t kReverseY = 2;

// The points every stage starts its list with: walkers and flyers entering from both edges, and
// the near pop-up.
constexpr int kCommonPoints = 13;
constexpr std::array<SpawnPoint, kCommonPoints> kCommonSpawn = {{
    {-48, 188, 2, 0, 1, 0},
    {-48, 188, 2, 1, 1, 0},
    {352, 164, 1, 0, 0, 0},
    {352, 164, 1, 1, 0, 0},
    {-32, 148, 0, 0, 1, 0},
    {-32, 148, 0, 1, 1, 0},
    {368, 96, 2, 0, 0, 1},
    {368, 96, 2, 1, 0, 1},
    {-48, 80, 1, 0, 1, 1},
    {-48, 80, 1, 1, 1, 1},
    {352, 56, 0, 0, 0, 1},
    {352, 56, 0, 1, 0, 1},
    {160, 352, 3, 0, 0, 0},
}};
// Each stage's own diagonal points, after the common ones.
constexpr std::array<SpawnPoint, 4> kStage0Spawn = {{
    {88, 152, 1, 2, 0, 0},
    {240, 136, 0, 2, 0, 0},
    {104, 128, 1, 2, 1, 0},
    {268, 136, 0, 2, 1, 0},
}};
constexpr std::array<SpawnPoint, 2> kStage1Spawn = {{
    {140, 128, 0, 2, 0, 0},
    {180, 144, 0, 2, 1, 0},
}};
constexpr std::array<SpawnPoint, 3> kStage2Spawn = {{
    {152, 152, 1, 2, 1, 0},
    {52, 160, 1, 2, 0, 0},
    {148, 120, 1, 2, 1, 0},
}};

// A scenery piece that blocks shots: the mask it adds (1 protects layers 509 and 511, 2 layer
// 511) and its object.
struct Blocker {
  int32_t mask;
  int32_t object;
};
constexpr uint32_t kMaskFar = 1;   // protects the layers behind 508
constexpr uint32_t kMaskBack = 2;  // protects layer 511 only

// One stage row: targets to spawn, spawn rate (about one in `rate` steps), its points (the
// common ones, then `own`), and its blocking pieces.
struct Stage {
  int32_t quota;
  int32_t rate;
  int32_t point_count;
  const SpawnPoint* own;
  int32_t blocker_count;
  std::array<Blocker, 3> blockers;
};
constexpr std::array<Stage, kStages> kStageTable = {{
    {20, 60, 17, kStage0Spawn.data(), 2, {{{1, 16}, {2, 17}, {0, 0}}}},
    {30, 50, 15, kStage1Spawn.data(), 3, {{{1, 13}, {1, 14}, {2, 15}}}},
    {50, 40, 16, kStage2Spawn.data(), 2, {{{1, 18}, {2, 19}, {0, 0}}}},
}};

// Spawn point i (0 to point_count - 1) of a stage.
constexpr const SpawnPoint& PointOf(const Stage& stage, int32_t i) {
  return i < kCommonPoints ? kCommonSpawn[static_cast<size_t>(i)] : stage.own[i - kCommonPoints];
}

// ---- Objects of the screen ----

constexpr int kObjCounter = 1;
constexpr int kObjCrosshair = 2;
constexpr int kObjStrip = 10;  // 11 and 12 are its children
constexpr int kObjFirstTarget = 100;
constexpr int kEffectOffset = 50;  // hit effect or shadow: target object + 50
// Object 199 is both the menu's mouse pointer and the hit effect or shadow of slot 49: a flyer's
// shadow in slot 49 can vanish while the menu is open. The numbering is kept as the game has it.
constexpr int kObjPointer = 199;

constexpr int32_t kAnimCounter = 400;
constexpr int32_t kAnimCrosshair = 5;
constexpr int32_t kAnimShadow = 9;
constexpr int32_t kAnimHitEffect = 240;  // + depth rank
constexpr int32_t kAnimPointer = 495;
constexpr int32_t kFrontLayer = 128;
constexpr int32_t kSceneryLayer = 512;
constexpr int32_t kStripPartWidth = 1024;

// A placed picture: object, position, layer, animation (our content table: the frame pictures,
// the static scenery and the strip).
struct Placed {
  int32_t object;
  int32_t x;
  int32_t y;
  int32_t layer;
  int32_t anim;
};
constexpr std::array<Placed, 11> kStaticObjects = {{
    {4, 0, 16, kFrontLayer, 1},
    {5, 0, 400, kFrontLayer, 2},
    {6, 576, 16, kFrontLayer, 3},
    {20, 0, 16, kFrontLayer, 20},
    {21, 576, 400, kFrontLayer, 21},
    {22, 160, 16, kFrontLayer, 22},
    {23, 416, 16, kFrontLayer, 23},
    {24, 0, 16, kSceneryLayer, 24},
    {25, 160, 16, kSceneryLayer, 25},
    {26, 320, 16, kSceneryLayer, 26},
    {27, 480, 16, kSceneryLayer, 27},
}};
// The scenery pieces 13-19 in front of the far targets, x counted along the strip (shown at x -
// the scroll position): stage 0 shows the strip from 0, stage 1 from 800, stage 2 from 1600.
// Blocking pieces (mask 1) stand at 508, the ones that hide layer 511 only (mask 2) at 510.
constexpr std::array<Placed, 7> kPieces = {{
    {13, 920, 240, 508, 13},
    {14, 1240, 260, 508, 14},
    {15, 1080, 200, 510, 15},
    {16, 200, 250, 508, 16},
    {17, 420, 200, 510, 17},
    {18, 1800, 250, 508, 18},
    {19, 2040, 210, 510, 19},
}};

// Steps and counts of the flow.
constexpr int32_t kFadeStep = 8;
constexpr int32_t kPauseSteps = 30;
constexpr int32_t kScrollSteps = 100;
constexpr int32_t kScrollSpeed = 8;
constexpr int32_t kPopSteps = 32;
constexpr int32_t kPopWait = 30;
constexpr int32_t kShotReach = 24;  // the hit box widened on every side, and the probe distance

}  // namespace shot
