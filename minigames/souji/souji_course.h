#pragma once
// The cleaning game's course: the floor rows and the row patterns that write walls, front tiles,
// obstacles and decorations into them, the sections that choose the patterns, the obstacle and
// decoration tables, and the leader's collisions and sideways moves. Everything works on
// MinigameContext::souji; collisions ask the framework's tile map (mg_map_hit), so the map must be
// open over the state's cells for them.

#include <cstdint>

#include "minigames/souji/souji_state.h"

namespace souji {

constexpr int kPatternCount = 19;
// Sections 0-7 are timed; from section 8 each section runs ten rows of random patterns 0-7 and
// then its own pattern.
constexpr int kTimedSections = 8;
constexpr int kRandomRowsPerSection = 10;

// The course of a mode: the seconds of sections 0-7, the section whose arrival ends the course,
// and the patterns of sections 8 to goal - 1. Mode 1 has the long course; every other mode runs
// the short one (mode 0's).
struct Course {
  int32_t seconds[kTimedSections];
  int32_t goal_section;
  int32_t special[11];
};
const Course& CourseFor(int mode);

// The screen x of the middle of column c (the map is scrolled 32 to the right).
constexpr int32_t ColumnX(int c) { return c * kTileW + kTileW / 2 + kScrollX; }

// Row r of the ring as a fresh row: plain floor with a wall in the last column.
void FreshRow(SoujiState& s, int r);
// Fresh rows everywhere, the pattern and section counters, the tables and the characters at
// their start.
void ResetCourse(SoujiState& s);

// The current pattern writes its next row into ring row r; true when the pattern has ended.
bool RunPattern(SoujiState& s, int r);
// A new row: r refilled fresh, the pattern's row written, and when the pattern has ended the
// next one chosen (or the goal flag set at the goal section).
void NewRow(SoujiState& s, int r, int mode);
// The step's part of the section logic: the timer of sections 0-7.
void SectionTick(SoujiState& s, int mode);

// A new obstacle of kind 1-3 over column c at y -64 (with its sound); 0 when the table is full
// (the obstacle is skipped).
int SpawnObstacle(SoujiState& s, int kind, int c);
// A new decoration at x, y; 0 when the table is full.
int SpawnDecoration(SoujiState& s, int32_t x, int32_t y);
// One step of the obstacles (down by their speed, sideways by dx; gone 64 pixels below the
// screen) and of the decorations (down 6; gone below 480), their objects following.
void MoveObstacles(SoujiState& s);
void MoveDecorations(SoujiState& s, int32_t dy);

// Whether the leader's box meets a solid tile, or an obstacle meets the leader or the follower.
bool Crashes(const SoujiState& s);
// The sideways move for the held buttons (kMgKey* bits): left or decide 6 left, else right or
// cancel 6 right, clamped to 32-608; refused when the new box touches a solid tile.
void Steer(SoujiState& s, uint32_t held);

}  // namespace souji
