#include "minigames/souji/souji_course.h"

#include <algorithm>

#include "engine/app/doors.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"

namespace souji {

namespace {

constexpr const char* kObstacleSound = "tamvik3\\se\\souji09.wav";
constexpr const char* kSectionVoice = "tamvik3\\voice\\2386.wav";

// Obstacle pictures and layers; the decoration's animation is our content.
constexpr int32_t kAnimDrifter = 100;
constexpr int32_t kAnimRunner = 102;
constexpr int32_t kAnimDecoration = 110;
constexpr int32_t kObstacleLayer = 256;
constexpr int32_t kDecorationLayer = 512;
constexpr int32_t kObstacleStartY = -64;
constexpr int32_t kObstacleGoneY = 480 + 64;
// A refilled row lies 5 rows above the screen's top when it is written.
constexpr int32_t kNewRowTop = -5 * kTileH;

constexpr Course kLongCourse = {{3, 3, 4, 4, 4, 4, 4, 4}, 19,
                                {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};
constexpr Course kShortCourse = {{1, 1, 1, 1, 1, 1, 1, 1}, 13, {8, 9, 11, 12, 18}};

int Random(int n) { return GetRandom() % n; }

uint16_t& Cell(SoujiState& s, int r, int c) {
  return s.cells[static_cast<size_t>(r * kCols + c)];
}

void Wall(SoujiState& s, int r, int c) {
  if (c >= 0 && c < kCols) Cell(s, r, c) = kWall;
}

void FrontTile(SoujiState& s, int r, int c) {
  if (c >= 0 && c < kCols) Cell(s, r, c) = kFrontTile;
}

void Walls(SoujiState& s, int r, std::initializer_list<int> columns) {
  for (int c : columns) Wall(s, r, c);
}

// A half row: columns 0-3 (side 0) or 5-8 (side 1) walled except one gap, the gap within one
// column of the last gap of that side in this pattern (so the leader can follow it); one time in
// four an obstacle of kind 2 over a column of the other half.
void HalfRow(SoujiState& s, int r, int side, bool first_of_side) {
  int32_t& gap = s.pattern_gap[side];
  gap = first_of_side ? Random(4) : std::clamp(gap + Random(3) - 1, 0, 3);
  const int first = side == 0 ? 0 : 5;
  for (int i = 0; i < 4; ++i) {
    if (i != gap) Wall(s, r, first + i);
  }
  if (Random(4) == 0) SpawnObstacle(s, 2, (side == 0 ? 5 : 0) + Random(4));
}

// Patterns 0-7: empty lead rows, then one row.
bool SimplePattern(SoujiState& s, int r) {
  const int lead = s.pattern == 2 ? 2 : 1;
  if (s.pattern_step < lead) return false;
  switch (s.pattern) {
    case 0:
      Wall(s, r, Random(9));
      break;
    case 1: {
      const int c = Random(8);
      Walls(s, r, {c, c + 1});
      break;
    }
    case 2: {
      const int c = Random(7);
      Walls(s, r, {c, c + 1, c + 2});
      break;
    }
    case 3:
      SpawnObstacle(s, 1, 2 * Random(256) / kTileW);
      break;
    case 4:
      Walls(s, r, {0, 1, 4, 7, 8});
      break;
    case 5:
      SpawnObstacle(s, 2, 2 * Random(256) / kTileW);
      break;
    case 6:
      Walls(s, r, {1, 3, 5, 7});
      break;
    default:
      Walls(s, r, {0, 2, 4, 6, 8});
      break;
  }
  return true;
}

// Patterns 8-18, the long course's special stretches. Each starts with an empty row (two before
// half rows, whose first gap may lie three columns away) and moves walls at most one column a
// row, so every free column of a plain row finds a way through.
bool DesignedPattern(SoujiState& s, int r) {
  const bool halves = s.pattern == 8 || s.pattern == 10 || s.pattern == 16;
  const int k = s.pattern_step - (halves ? 1 : 0);  // the content rows are 1, 2, ...
  if (k <= 0) return false;
  switch (s.pattern) {
    case 8:  // the middle walled, ten half rows turn about
    case 16: {
      const int rows = s.pattern == 8 ? 10 : 6;
      Wall(s, r, 4);
      HalfRow(s, r, (k - 1) % 2, k <= 2);
      return k == rows;
    }
    case 9:  // two walls down the course, drifting obstacles
      Walls(s, r, {2, 6});
      if (k == 1 || k == 4) SpawnObstacle(s, 1, Random(9));
      return k == 6;
    case 10:  // half rows on either side with a free row between
      if (k % 2 == 1) HalfRow(s, r, (k / 2) % 2, k <= 3);
      return k == 8;
    case 11:  // fast drifting obstacles
      SpawnObstacle(s, 3, Random(9));
      return k == 6;
    case 12:  // a wall down a random column, front tiles beside it
      if (k == 1) s.pattern_column = 1 + Random(7);
      Wall(s, r, s.pattern_column);
      FrontTile(s, r, s.pattern_column + 1);
      return k == 8;
    case 13:  // front tiles and decorations over the floor, one drifting obstacle
      for (int c = k % 2; c < kCols - 1; c += 2) FrontTile(s, r, c);
      for (int i = 0; i < 2; ++i) {
        SpawnDecoration(s, ColumnX(Random(9)), kNewRowTop + Random(kTileH));
      }
      if (k == 2) SpawnObstacle(s, 1, Random(9));
      return k == 4;
    case 14:  // a corridor between walls, fast obstacles inside
      if (k == 1) {
        Walls(s, r, {0, 8});
      } else {
        Walls(s, r, {0, 1, 7, 8});
        if (k == 3 || k == 6) SpawnObstacle(s, 2, 2 + Random(5));
      }
      return k == 7;
    case 15:  // a wall turning between columns 3 and 5
      Wall(s, r, k % 2 == 1 ? 3 : 5);
      if (k == 4) SpawnObstacle(s, 1, Random(9));
      return k == 8;
    case 17:  // obstacles of every kind
      for (int i = 0; i < 2; ++i) SpawnObstacle(s, 1 + Random(3), Random(9));
      return k == 4;
    default: {  // 18: the course narrows to columns 3-5 and opens again
      static constexpr int kNarrow[8] = {0, 1, 2, 3, 3, 3, 2, 1};
      const int n = kNarrow[k];
      for (int i = 0; i < n; ++i) Walls(s, r, {i, 8 - i});
      return k == 7;
    }
  }
}

void HideObject(int o) { mg_obj_put(o, 0, 0, 0, 0, mg::kObjHidden); }

}  // namespace

const Course& CourseFor(int mode) { return mode == 1 ? kLongCourse : kShortCourse; }

void FreshRow(SoujiState& s, int r) {
  for (int c = 0; c < kCols - 1; ++c) Cell(s, r, c) = kFloor;
  Cell(s, r, kCols - 1) = kEdge;
}

void ResetCourse(SoujiState& s) {
  s.scroll = 0;
  s.x = 320;
  s.follower_x = 320;
  s.ring.fill(320);
  s.ring_index = 0;
  for (int r = 0; r < kRows; ++r) FreshRow(s, r);
  s.section = 0;
  s.section_rows = 0;
  s.section_steps = 0;
  s.pattern = 0;
  s.pattern_step = 0;
  s.goal = 0;
  s.goal_steps = 0;
  s.score = 0;
  s.obstacles.fill(Obstacle{});
  s.decorations.fill(Decoration{});
}

bool RunPattern(SoujiState& s, int r) {
  const bool ended = s.pattern < 8 ? SimplePattern(s, r) : DesignedPattern(s, r);
  ++s.pattern_step;
  return ended;
}

void NewRow(SoujiState& s, int r, int mode) {
  FreshRow(s, r);
  if (s.goal != 0) return;
  const bool ended = RunPattern(s, r);
  ++s.section_rows;
  if (!ended) return;
  const Course& course = CourseFor(mode);
  if (s.section >= course.goal_section) {
    s.goal = 1;
    return;
  }
  s.pattern_step = 0;
  if (s.section < kTimedSections) {
    s.pattern = Random(s.section + 1);
  } else if (s.section_rows < kRandomRowsPerSection) {
    s.pattern = Random(8);
  } else {
    s.pattern = course.special[s.section - kTimedSections];
    ++s.section;
    s.section_rows = 0;
    s.section_steps = 0;
    mg_voice_play(kSectionVoice);
  }
}

void SectionTick(SoujiState& s, int mode) {
  ++s.section_steps;
  if (s.section >= kTimedSections) return;
  if (s.section_steps >= CourseFor(mode).seconds[s.section] * 60) {
    ++s.section;
    s.section_steps = 0;
    s.section_rows = 0;
  }
}

int SpawnObstacle(SoujiState& s, int kind, int c) {
  for (int i = 0; i < kObstacleCount; ++i) {
    Obstacle& ob = s.obstacles[static_cast<size_t>(i)];
    if (ob.kind != 0) continue;
    ob.kind = kind;
    ob.x = ColumnX(c);
    ob.y = kObstacleStartY;
    ob.dx = kind == 2 ? 0 : (GetRandom() & 1) != 0 ? 3 : -3;
    ob.speed = kind == 1 ? 6 : 9;
    const uint32_t mirror = kind == 1 && ob.dx > 0 ? mg::kObjMirrorX : 0;
    mg_obj_put(kObjObstacleFirst + i, ob.x, ob.y, kObstacleLayer,
               kind == 1 ? kAnimDrifter : kAnimRunner, mirror);
    mg_se_play(kObstacleSound);
    return 1;
  }
  return 0;
}

int SpawnDecoration(SoujiState& s, int32_t x, int32_t y) {
  for (int i = 0; i < kDecorationCount; ++i) {
    Decoration& d = s.decorations[static_cast<size_t>(i)];
    if (d.active != 0) continue;
    d = Decoration{1, x, y};
    mg_obj_put(kObjDecorationFirst + i, x, y, kDecorationLayer, kAnimDecoration, 0);
    return 1;
  }
  return 0;
}

void MoveObstacles(SoujiState& s) {
  for (int i = 0; i < kObstacleCount; ++i) {
    Obstacle& ob = s.obstacles[static_cast<size_t>(i)];
    if (ob.kind == 0) continue;
    ob.y += ob.speed;
    ob.x += ob.dx;
    if (ob.y >= kObstacleGoneY) {
      ob = Obstacle{};
      HideObject(kObjObstacleFirst + i);
    } else {
      mg_obj_set_pos(kObjObstacleFirst + i, ob.x, ob.y);
    }
  }
}

void MoveDecorations(SoujiState& s, int32_t dy) {
  for (int i = 0; i < kDecorationCount; ++i) {
    Decoration& d = s.decorations[static_cast<size_t>(i)];
    if (d.active == 0) continue;
    d.y += dy;
    if (d.y > 480) {
      d = Decoration{};
      HideObject(kObjDecorationFirst + i);
    } else {
      mg_obj_set_pos(kObjDecorationFirst + i, d.x, d.y);
    }
  }
}

bool Crashes(const SoujiState& s) {
  if (mg_map_hit(s.x - 8, kBoxY, kBoxSide, kBoxSide) != 0) return true;
  auto meets = [&s](int32_t who_x, int32_t top, int32_t bottom) {
    for (const Obstacle& ob : s.obstacles) {
      if (ob.kind == 0) continue;
      if (ob.x + 4 >= who_x - 8 && ob.x - 4 <= who_x + 8 && ob.y >= top && ob.y <= bottom) {
        return true;
      }
    }
    return false;
  };
  return meets(s.x, 376, 400) || meets(s.follower_x, 460, 484);
}

void Steer(SoujiState& s, uint32_t held) {
  int32_t x = s.x;
  if ((held & (kMgKeyLeft | kMgKeyDecide)) != 0) {
    x -= kMoveStep;
  } else if ((held & (kMgKeyRight | kMgKeyCancel)) != 0) {
    x += kMoveStep;
  } else {
    return;
  }
  x = std::clamp(x, kMinX, kMaxX);
  if (mg_map_hit(x - 8, kBoxY, kBoxSide, kBoxSide) != 0) return;
  s.x = x;
}

}  // namespace souji
