#pragma once
// The battle's state records: the unit record SlgUnit with its type copy, the battle state block
// SlgBattleState, the turn order SlgOrder and the camera SlgCamera. Data only; BattleContext
// holds one of each, zero-filled per battle. The operations are in battle/slg_unit.h (units,
// occupancy grid) and battle/slg_geometry.h (cells, screen positions, camera).

#include <array>
#include <cstddef>
#include <cstdint>

#include "battle/slg_units.h"

struct AnimeRec;
struct SlgAnmObj;
struct SprAnm;
struct SlgUnit;

constexpr int kSlgMaxUnits = 64;
constexpr uint16_t kSlgNoUnit = 65535;
constexpr int kSlgUnitAnimSlots = 23;

// Unit flags (SlgUnit::flags).
constexpr uint32_t kUnitInDamageList = 0x1;   // in this attack's damage list
constexpr uint32_t kUnitFlag2 = 0x2;
constexpr uint32_t kUnitHitNow = 0x4;         // the attacker's signal: react to a hit now
constexpr uint32_t kUnitFrozen = 0x8;         // frozen while the option menu is open
constexpr uint32_t kUnitCovered = 0x10;       // covered by another unit
constexpr uint32_t kUnitActed = 0x20;         // left out of the turn order search
constexpr uint32_t kUnitGuarding = 0x40;      // +8 defence; cleared when it becomes the actor
constexpr uint32_t kUnitShown = 0x80;         // updated and drawn each frame
constexpr uint32_t kUnitInOrder = 0x100;      // takes part in the turn order
constexpr uint32_t kUnitJumpClamp = 0x200;    // the walk clamps its jump
constexpr uint32_t kUnitStateStart = 0x400;   // set at the start of a state
constexpr uint32_t kUnitFollowUp = 0x800;     // a follow-up action is pending
constexpr uint32_t kUnitInPanels = 0x1000;    // shown in the status panels
constexpr uint32_t kUnitOnGrid = 0x2000;      // occupies its cell in the occupancy grid
constexpr uint32_t kUnitStandFrozen = 0x4000; // its stand animation is frozen
constexpr uint32_t kUnitShowFlagged = 0x8000; // shown again by ShowFlaggedUnits
constexpr uint32_t kUnitHideNext = 0x40000;   // hidden on its next update

// The 46-byte unit type row, copied whole into each unit (life .. result), into which the
// battle writes its results. The unnamed bytes are zero in every row.
struct SlgUnitStats {
  int16_t life;
  int16_t max_life;
  uint16_t kiai;
  int16_t max_kiai;
  uint8_t attack, defence, move;  // move is also the turn order's speed
  uint8_t byte11;
  uint8_t extra_attack, extra_defence, extra_move;
  uint8_t byte15;
  uint8_t trust_attack, trust_defence, trust_move;
  uint8_t byte19;
  uint8_t total_attack, total_defence, total_move;
  uint8_t bytes23[6];
  int8_t counter;  // the support value; counted up and drawn beside the unit
  uint8_t recovery;
  uint8_t byte31;
  uint8_t byte32;
  uint8_t special_power;
  uint8_t byte34;
  uint8_t attack_type;  // 0 none, 1 special, 2 critical, 5 combination
  uint8_t action_bytes[4];
  uint8_t bytes40[4];
  uint16_t result;
};
static_assert(sizeof(SlgUnitStats) == 46, "the type copy is one 46-byte block");
static_assert(offsetof(SlgUnitStats, counter) == 29 && offsetof(SlgUnitStats, byte34) == 34 &&
                  offsetof(SlgUnitStats, result) == 44,
              "type row byte positions");

// One unit record.
struct SlgUnit {
  uint8_t dir;        // facing 0-3
  uint8_t state;      // unit state; changed only by SetUnitState
  uint8_t character;  // 0 the hero, 1-6 the heroines
  uint8_t kind;       // 0-51, row of the type table; 80-143 event objects
  uint8_t aux;        // written by the walking code
  uint8_t slot;       // the record's own slot
  uint8_t side;       // 0 the player's side
  uint8_t category;   // 0-4, selects the category update
  // An event object's deploy state (the battle events): 0 not deployed, 1 deployed this frame,
  // 2 running, 3 to be removed.
  uint8_t deploy_state;
  uint8_t entry;  // the stage entry it was created from
  uint8_t bytes10[2];
  SlgAnmObj* anm;   // main (body) animation object
  SlgAnmObj* anm2;  // second animation object
  int32_t x, y;     // map position, 16.16 pixels
  int32_t lift;     // height above the ground, 16.16; subtracted from y when drawn
  int32_t walk;
  uint32_t cell_attr;  // the cell word under it
  uint32_t step;       // step of the current state; 255 marks a dead record
  uint32_t flags;
  SlgUnitStats stats;
  std::array<SprAnm*, kSlgUnitAnimSlots> anims;  // unit-animation slots 0-22; null not loaded
  uint32_t word;
  // The current walk leg's start: game clock ms, x, y, walk, the walk animation's frame.
  std::array<int32_t, 5> walk_state;

  // Named bytes of the type copy the attack frame uses:
  // the reaction-over byte (the fourth action byte): cleared when the unit is hit, set to 1 after
  // the attack (Slg::MarkFlaggedUnits);
  uint8_t& reaction_over() { return stats.action_bytes[3]; }
  uint8_t reaction_over() const { return stats.action_bytes[3]; }
  // the hero's cover-hold byte (the third action byte): cleared when he starts a cover move;
  uint8_t& cover_hold() { return stats.action_bytes[2]; }
  uint8_t cover_hold() const { return stats.action_bytes[2]; }
  // the hero's covered-slot byte (the first of the four bytes after the action bytes): the slot
  // of the unit his cover move protects, 0 none;
  uint8_t& covered_slot() { return stats.bytes40[0]; }
  uint8_t covered_slot() const { return stats.bytes40[0]; }
  // the hero's cover count (type byte 32: 8 for the hero kinds).
  uint8_t& cover_count() { return stats.byte32; }
  uint8_t cover_count() const { return stats.byte32; }
};

constexpr uint32_t kSlgDeadStep = 255;

// The per-frame update of a unit by its category, given its drawing position.
using SlgCategoryUpdate = void (*)(SlgUnit& unit, const SlgPair& screen);

// The battle state block. (The stage and the cell grid live in BattleContext as `stage` and
// `cell_grid`.)
struct SlgBattleState {
  std::array<SlgCategoryUpdate, 5> category_update;
  std::array<SlgUnit, kSlgMaxUnits> units;
  uint16_t round;         // the current round, 1 for the first
  int16_t order_pos;      // position in the turn order of the acting unit; -1 while set up
  uint16_t acting_copy1;  // the acting unit's slot, copied when chosen
  uint16_t acting_copy2;
  uint16_t unit_count;        // records in use
  uint16_t stage_unit_count;  // entries of the stage table
  uint16_t words1[2];
  std::array<int16_t, 2> cursor_cell;  // (column, row) under the map cursor
  std::array<int16_t, 2> cursor_snap;  // that cell's centre pixel
  std::array<int16_t, 2> cursor_point; // the map cursor's point (the camera puts it on a unit)
  int16_t focus_x, focus_y;    // the map pixel the view is centred on
  int16_t scroll_x, scroll_y;  // the top-left map pixel of the screen
  SlgPair pointer;             // mouse cursor, 16.16
  int32_t scroll_offset_x, scroll_offset_y;  // SOX, SOY
  uint16_t turn_flags;
  uint16_t turn_counter;
  uint16_t acting_unit;  // kSlgNoUnit none
  uint16_t previous_acting;
  uint16_t word2;
};

// The turn order of the round: (slot, key) entries and their count.
struct SlgOrder {
  struct Entry {
    uint16_t slot;
    uint16_t key;
  };
  std::array<Entry, kSlgMaxUnits> entries;
  int16_t count;
};

// The camera: scroll positions in 16.16 (top-left map pixel).
struct SlgCamera {
  uint16_t followed;  // slot of the unit it was last sent to
  uint32_t lock;      // non-zero: it does not move
  uint32_t duration;  // frames a scroll may take (16, or 4 when hurried)
  int32_t target_x, target_y;
  uint32_t start_time;
  int32_t step_x, step_y;
  int32_t start_x, start_y;
  int32_t current_x, current_y;
};

// The occupancy grid: the slot standing on each cell (row x 22 + column), kSlgNoUnit none.
using SlgUnitCellGrid = std::array<uint16_t, 22 * 88>;
