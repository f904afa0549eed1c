#pragma once
// Unit sprites, placement and walking: the unit-animation slots a unit loads by kind and memory
// tier, the placement on the centre of its cell with the height lift, the body object by
// category, the four diagonal directions (2 and 3 mirrored), the per-frame unit update, and the
// walk along the range search's path, one cell leg at a time.
//
// Every operation tests the body object (`anm`), the second object (`anm2`) and the animation
// slots before use: a unit whose kind has no UnitAnm rows places, updates and walks without a
// sprite.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_search_state.h"
#include "battle/slg_units.h"

// Unit-animation slots (the UnitAnm.TAB slot names, kSlgAnmSlotNames).
constexpr int kUnitAnmBaseBody = 0;
constexpr int kUnitAnmBaseEffect = 4;
constexpr int kUnitAnmAttackBody = 5;
constexpr int kUnitAnmAttackEffect = 6;
constexpr int kUnitAnmSpecialEffect = 8;
constexpr int kUnitAnmSpecialEffect2 = 9;
constexpr int kUnitAnmTeleportBody = 18;
constexpr int kUnitAnmTeleportEffect = 19;
constexpr int kUnitAnmDeadEffect = 21;
constexpr int kUnitAnmAbilityEffect = 22;

// A walking unit stands still on the walk animation's frames marked 1 (by frame number).
extern const std::array<uint16_t, 16> kSlgWalkPause;

// The unit states the walk reads.
constexpr uint8_t kUnitStateWalk = 1;
constexpr uint8_t kUnitStateHeightChange = 10;
// The character that teleports instead of walking.
constexpr uint8_t kSlgTeleportCharacter = 4;
// The kind that walks without the pause table and the frame timing.
constexpr uint8_t kSlgUntimedWalkKind = 25;
// Animation speed of a fast walk (256 = normal).
constexpr uint32_t kSlgFastWalkSpeed = 1024;

// A walk's route: the direction codes from the destination back (each pointing back, the first
// leg's code last; read modulo kSlgPathSize), the legs left after the current one (counted down
// as the walk goes on and mirrored in SlgPathCount) and the destination (a snapped position).
struct SlgWalkRoute {
  const uint8_t* dirs;
  uint16_t* legs;
  SlgRangePos dest;
};

// Loads the slots of the unit's kind (Battle().memory_tier decides the attack pair).
void LoadUnitAnms(SlgUnit& unit);
// The body object from the pool by direction (standing patterns): 0 -> (3, 0), 1 -> (2, 0),
// 2 -> (2, 16), 3 -> (3, 16); none for a direction above 3 or a full pool.
void CreateUnitAnmObj(SlgUnit& unit);
// The shade word of `anm` from the shade class (bits 16-17 of cell_attr): 8192, 16384, 0,
// unchanged.
void SetUnitCellShade(SlgUnit& unit);
// Depth := SlgCalcDepth of the map position (pixels) and the animation's priority from it.
void SetAnmPriByPos(SlgAnmObj* obj, const SlgPair& pos);
// The standing pattern for the unit's direction (3, 2, 2, 3), frame count restarted.
void SetUnitStandPattern(SlgUnit& unit);
// Plays `anm`'s pattern from the BASE_BODY set with the play-mode byte `mode`, keeping the
// screen position and alpha of the animation it replaces.
void ChangeUnitAnm(SlgUnit& unit, uint8_t mode);
// Plays `anm2`'s pattern from the BASE_EFFECT set with the play-mode byte `mode`.
void PlayUnitAnm2(SlgUnit& unit, uint8_t mode);
// Loads slot 0-22 unless loaded; releases it when loaded.
void LoadUnitAnmSlot(SlgUnit& unit, int slot);
void ReleaseUnitAnmSlot(SlgUnit& unit, int slot);
// The unit's event animation (the EventAnm.TAB entry of its kind, 80-143) into slot 0 unless
// loaded.
void LoadUnitEventAnm(SlgUnit& unit);
// Units 0 .. unit_count - 1 with flag bit 0.
int CountHitUnits();

namespace Slg {

// Snaps the unit to its cell (the second cell grid's word, y raised by the lift), loads its
// slots and makes its sprite by category: 0 also state 0; 1, 2 the sprite only; 4 no sprite;
// 3 and others nothing.
void PlaceUnit(SlgUnit& unit);
// The body object's first set-up: second attribute 16, flag byte 2 (start stopped), state 0,
// depth, shade and the occupancy grid.
void InitUnitSprite(SlgUnit& unit);
// Turns the unit to d (0-3: walking patterns, mirrored for 2 and 3) and replays its animation
// (mode 4); a fast walk plays at speed 1024.
void SetUnitDir(SlgUnit& unit, uint32_t d);
void FreezeAllUnits();
void UnfreezeAllUnits();
void SetAllUnitFlags(uint8_t bits);
void ClearAllUnitFlags(uint8_t bits);
// The "Shadow:" sprite under a screen-relative 16.16 point, unless SlgFlags bit 6.
void DrawUnitShadow(const SlgPair& point);
// The per-frame update: depth from the map position, then the category's update entry.
void UpdateUnit(SlgUnit& unit);
// One frame of the current leg, replayed from its start: 1 when the leg is done, or when
// UnitMoveStep refuses a step (the leg ends where the unit stands).
int UnitWalkStep(SlgUnit& unit);
// Moves by (sx, sy) (16.16) in the unit's direction: 0 and nothing moved when the probe point
// leaves the 2048 x 2048 pixel area.
int UnitMoveStep(SlgUnit& unit, int32_t sx, int32_t sy);
// The first grid's word of the cell one step ahead.
uint32_t FrontCellAttr(const SlgUnit& unit);
// 1 and state 10 when the cell ahead has another height.
int CheckFrontHeight(SlgUnit& unit);
// Records the start of a leg in walk_state: now, the position, `walk` and the body
// animation's frame.
void SaveLegStart(SlgUnit& unit);
// SlgFastWalk := fast; a non-zero one also starts the fast walk now (SlgFastWalkStart) and plays
// the body at speed 1024.
void SetFastWalk(SlgUnit& unit, uint32_t fast);
// One frame of a walk along `route`, its step in unit.step: 0 leaves the unit's cell, sets
// SlgFastWalk to `fast` and waits for state 1 or 10 (character 4 then goes straight to 3);
// 1 runs the leg; 2 waits out state 10, then turns into the next leg (asking for state 10 before
// a height change) or goes to 3; 3 waits out state 10 and stands the unit on the destination
// (cell word, lift, shade, depth, occupancy grid); 4 as 3 without the wait. 1 on arrival, else 0.
int WalkRoute(SlgUnit& unit, const SlgWalkRoute& route, uint32_t fast);
// The battle's own walk along the move search's path (SlgPathDir, SlgPathCount, SlgMoveDest),
// one call a frame: OK triggered or key 2 held walks fast from then on. 1 once the unit stands
// on SlgMoveDest.
int WalkPath(SlgUnit& unit);
// 1 inside -447..447 x -287..351 (screen-relative pixels).
int InViewArea(int32_t x, int32_t y);
// The slot on the cell of (x, y) when the range search reached it, else 65535.
uint16_t UnitAtRangeCell(int32_t x, int32_t y);
// The direction from the unit toward slot `other`; the unit's own direction when `other` is
// not a unit in use (65535 is "none").
uint8_t DirToward(const SlgUnit& unit, uint32_t other);
// The slot of the first live unit (step not 255) of that character on side 0, 1 or 2; 65535 for
// none.
uint16_t FindUnitByChara(uint8_t character);
void ReleaseAllUnitSprites();

}  // namespace Slg
