#pragma once
// The town map's object: the hero's puppet on the building's walking graph, the route tables
// that give the next node on the way between two nodes, the node positions and staircases, the
// place tables and the floor slide.
//
// - The buildings: map kind 1 the theatre (nodes 1-21 on floor 0, 101-134 on floor 1, 201-228
//   on floor 2), map kind 2 the haunted house (1-29 and 101-126). Which route table the queries
//   read follows ADV state byte 21 (0 the theatre); which position table, the map kind loaded.
// - The puppet task "CTamvikMap::PapetSeq" idles on the current node (animation 5, after 300
//   still frames 6 once and then 7) and, set to state 4, walks node by node to the GO target,
//   4 pixels a frame (8 with logical key 2 held), then plays the arrival animation and stops in
//   state 8. A walk that cannot reach its target (no route, a route that goes round in circles,
//   a hop to a node without a usable position) ends at the node it has reached, with a trace.
// - The slide task "CTamvikMap::SlideFloor" scrolls layer 5 to a floor's band in 32 moves and
//   puts the puppet back on its node.
//
// Both tasks are children of the map sequence. One CTamvikMap lives in the scene context
// (`Scene().map`); the task functions reach it there.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"

struct SprAnm;

// One leg of a stairs trip: from a stairs place on one floor to the place where it comes out.
struct MapStackEntry {
  uint16_t floor = 0;
  uint16_t place = 0;
  uint16_t destination_floor = 0;
  uint16_t destination_place = 0;
};

// The puppet task's work block.
struct PapetWork {
  uint8_t state = 0;
  int32_t x = 0, y = 0;    // puppet position in pixels
  int32_t tx = 0, ty = 0;  // states 0-3: pointer of the previous frame; walking: the next node
  uint16_t next = 0;       // next node on the way
  uint16_t direction = 0;  // 0 down, 1 up, 2 left, 3 right
  uint16_t idle = 0;       // frames without pointer movement
  uint8_t count = 0;       // frames counted after arrival
  uint8_t wait = 0;        // frames to count after arrival
  uint32_t used = 0;       // milliseconds of the walk timer already turned into steps
  uint16_t hops = 0;       // hops taken by the walk under way
};

// The map sequence's work block (28 bytes, as the sequence's callers read it).
struct MapSeqWork {
  uint8_t state = 0;
  uint8_t wall = 0;      // ADV state byte 12 at the start
  uint8_t level = 0;     // ADV state byte 20 at the start
  uint8_t unused = 0;
  uint16_t floor = 0;    // the floor shown: 0 ground floor, 1, 2
  uint16_t place = 0;    // the node given at the start (where the puppet stands)
  uint16_t picked = 0;   // the place under the pointer; after the pick, the node for the script
  uint16_t previous = 0; // the place under the pointer in the previous frame
  uint16_t anchor_x = 0; // pointer position when the place under the pointer last changed
  uint16_t anchor_y = 0;
  uint16_t go_target = 0;
  uint16_t go_flag = 0;
  uint8_t rest[8] = {};
};
static_assert(sizeof(MapSeqWork) == 28);

// The slide task's work block.
struct SlideFloorWork {
  uint8_t step = 0;
  uint32_t mode = 0;  // 0 keep the puppet on the current node, 2 the last leg's destination
  uint16_t floor = 0;
};

class CTamvikMap {
 public:
  static constexpr const char* kPapetTaskName = "CTamvikMap::PapetSeq";
  static constexpr const char* kSlideTaskName = "CTamvikMap::SlideFloor";
  static constexpr const char* kMapSeqTaskName = "CTamvikMap::MapSeq";
  // The label files (place names and the puppet's animations): the theatre's (ADV state byte 21
  // = 0) and the haunted house's.
  static constexpr const char* kTheatreLabels = "Tamvik1\\map\\tmap2.spr";
  static constexpr const char* kHauntedLabels = "Tamvik1\\map\\fukagawa.spr";
  // The theatre's units whose sprites are drawn half transparent.
  static constexpr unsigned kTranslucentUnits[2] = {95, 97};

  static constexpr uint32_t kTheatre = 1;
  static constexpr uint32_t kHauntedHouse = 2;
  static constexpr int kStackSize = 3;
  // Nodes of each building's walking graph.
  static constexpr int kTheatreNodes = 83;
  static constexpr int kHauntedHouseNodes = 55;

  // Puppet states.
  static constexpr uint8_t kPapetStart = 0;
  static constexpr uint8_t kPapetIdle = 1;
  static constexpr uint8_t kPapetIdleOnce = 2;
  static constexpr uint8_t kPapetIdleLoop = 3;
  static constexpr uint8_t kPapetWalk = 4;
  static constexpr uint8_t kPapetMove = 5;
  static constexpr uint8_t kPapetArrive = 6;
  static constexpr uint8_t kPapetArriving = 7;
  static constexpr uint8_t kPapetDone = 8;

  // Puppet animations of the label file: 0-3 walking by direction, 5 standing, 6 the idle turn
  // (once), 7 idling; direction + 9 arrival at the end of a trip, direction + 13 arrival on the
  // way.
  static constexpr uint32_t kAnimStand = 5;
  static constexpr uint32_t kAnimIdleOnce = 6;
  static constexpr uint32_t kAnimIdleLoop = 7;
  static constexpr uint32_t kAnimTripEnd = 9;
  static constexpr uint32_t kAnimLegEnd = 13;

  CTamvikMap() = default;
  // Stops the walk timer and the slide scroll when an engine context is still current (their
  // end callbacks write into this object).
  ~CTamvikMap();
  CTamvikMap(const CTamvikMap&) = delete;
  CTamvikMap& operator=(const CTamvikMap&) = delete;

  // ---- Fields ----
  uint16_t current_node = 0;  // node on which the puppet stands
  uint16_t go_target = 0;     // node the puppet is to walk to
  uint16_t go_flag = 0;       // non-zero: the walk ends the trip (the stack is cleared)
  uint16_t node_x = 0;        // pixel position of the last node looked up (SetNodePos)
  uint16_t node_y = 0;
  uint32_t map_kind = 0;      // 0 none yet, kTheatre, kHauntedHouse
  std::array<MapStackEntry, kStackSize> map_stack{};
  uint16_t stack_depth = 0;
  std::string puppet_name;
  uint16_t pointer_x = 0;  // pointer position of this frame (SaveMousePos)
  uint16_t pointer_y = 0;
  AnimeHandle walk_timer = nullptr;
  AnimeHandle slide_scroll = nullptr;  // cleared by itself when the scroll ends
  SprAnm* label_file = nullptr;      // tmap2.spr or fukagawa.spr: labels and puppet animations
  AnimeHandle puppet = nullptr;

  // ---- The map sequence's state (scene/script/tamvik_map_seq.cpp) ----
  // Per floor, the hit rows of the floor picture's kind-12 part as TamvikFunc::LoadSpxHitData
  // gives them (count byte, 9-byte rows); empty: not loaded (no place is hit).
  std::array<std::vector<uint8_t>, 3> hit_tables{};
  int32_t map_surface = -1;  // user surface kept with the 640 x 1440 map picture; -1 none
  uint16_t start_floor = 0;  // floor given at the start of the sequence
  // ADV bytes 20, 12, 21 and 22 for which the map surface was built.
  std::array<uint8_t, 4> picture_key{0xFF, 0xFF, 0xFF, 0xFF};
  AnimeHandle overlay = nullptr;  // the theatre top floor's overlay animation

  // ---- The label file and the map sequence's close (tamvik_map_anm.cpp) ----

  // Releases the label file held, then loads the one of the current map kind; in the theatre's
  // file the sprites of units 95 and 97 get alpha 128. 1 loaded, 0 not (none held then).
  static int LoadMapAnm();
  // Releases the label file (nothing when none is held).
  static void FreeMapAnm();

  // ---- The map sequence "CTamvikMap::MapSeq" (scene/script/tamvik_map_seq.cpp: its close gives
  // the screen back to the scene controller, which stands above this library) ----

  // Prepares the layers (with an empty stack), appends the task under the owner with a fresh
  // work block (state 0) and turns key-mouse mode on. 1, or 0 when the task cannot be made.
  static int StartMapSeq(GameTaskRec* owner, uint16_t node, uint16_t floor);
  // Ends the map sequence: with an empty stack the map picture is kept for the next sequence
  // and the scene screen and message window come back; with a stack only layer 8 is hidden.
  // Key-mouse mode goes off in any case.
  static void CloseMapSeq();
  // The state byte, or -1 without the task.
  static int GetMapSeqState();
  static void SetMapSeqState(uint8_t state);
  static MapSeqWork* GetMapSeqWork();
  static void MapSeq(GameTaskRec* task);

  // The map set-up of the building ADV byte 21 names: pictures on the map surface, the view on
  // the work floor, the label file and the hit tables. false on a failure (traced).
  bool SetupMap(const MapSeqWork& work);
  // The file name of a floor picture of the building ADV byte 21 names, by ADV bytes 12, 20 and
  // 22 (20 above 2 counts as 2, 22 above 4 as 4). Empty for a floor the building lacks.
  static std::string FloorPictureName(uint16_t floor);
  // The place id under (x, y) on a floor with the pick rules of the scene and levels; 0 none.
  uint16_t HitTest(uint16_t floor, int x, int y) const;
  // Draws the place's label for this frame at the anchor (kept left of x 624); update bit 8
  // when it differs from the previous place's label.
  void ShowPlaceLabel(uint16_t floor, uint16_t place, uint16_t previous, int x, int y);
  // The label animation of a place after the theatre top floor's replacements; 0 none.
  static uint32_t PlaceLabel(uint16_t floor, uint16_t place);
  // The stairs test: the new floor, or 0xFFFF when the place is no stairs (legs on the stack).
  uint16_t CheckStairs(uint16_t floor, uint16_t place);
  // The theatre top floor's overlay (animation 17 or 18 by the wall variant), the old released.
  void PlayFloorOverlay(const MapSeqWork& work);
  void ReleaseOverlay();

  // ---- Routes, positions, staircases, places (tamvik_map_routes.cpp) ----

  // The first node on the way from `from` to `to` on the theatre's table: `from` itself when it
  // equals `to` or is no node of the table; the default branch when `to` is in no branch. Passes
  // to NextHopFuka while ADV state byte 21 names the haunted house (and that one back).
  static uint16_t NextHopTmap(uint16_t from, uint16_t to);
  static uint16_t NextHopFuka(uint16_t from, uint16_t to);
  // The same on the table of the building ADV state byte 21 names.
  static uint16_t NextHop(uint16_t from, uint16_t to);
  // The building ADV state byte 21 names (kTheatre or kHauntedHouse) and its node count.
  static uint32_t RouteBuilding();
  static int NodeCount(uint32_t building);
  // The pixel position of a node in a building's table (stored values x 2): false for a node in
  // no row, or another kind than the two buildings.
  static bool NodePosition(uint32_t building, uint16_t node, int* x, int* y);
  // Stores the node's position (table of the loaded map kind) in node_x, node_y; a node in no
  // row leaves them unchanged. Whether it was found.
  bool SetNodePos(uint16_t node);
  // The node at the other end of the staircase, or the node itself.
  static uint16_t KaidanPairTmap(uint16_t node);
  static uint16_t KaidanPairFuka(uint16_t node);
  // 1 when the node is a staircase end of the building byte 21 names, with the trace
  // "OnTmapKaidan" or "OnFukagawaKaidan"; else "Not On Kaidan" and 0.
  static int IsOnKaidan(uint16_t node);
  // The node of a place on a floor of the loaded map kind; 0 for another floor, place or kind.
  uint16_t PlaceToNode(uint16_t floor, uint16_t place) const;
  // A place table row: its label animation, node and (haunted house) the lowest level at which
  // it can be picked; null for a place in no row.
  struct PlaceRow {
    uint8_t place;
    uint8_t label;
    uint8_t node;
    uint8_t level;
  };
  static const PlaceRow* FindPlace(uint32_t building, uint16_t floor, uint16_t place);
  // The route table's bytes of a building (for the checks of the tables).
  static const uint8_t* RouteTable(uint32_t building, size_t* size);

  // The pointer of this frame into pointer_x, pointer_y (the map sequence calls it every frame).
  void SaveMousePos();

  // ---- The puppet and the slide (tamvik_map_papet.cpp) ----

  // Keeps a copy of the name and appends the puppet task under the owner (state 0). 1 / 0.
  static int StartPapetSeq(GameTaskRec* owner, const char* name);
  // Releases the puppet animation and deletes the task when it exists.
  static void EndPapetSeq();
  // The puppet's state, 0 without the task.
  static int GetPapetState();
  static void SetPapetState(uint8_t state);
  static void SetPapetPos(int x, int y);
  static void PapetSeq(GameTaskRec* task);

  // Appends the slide task under the owner: the task record, or null.
  static GameTaskRec* StartSlideFloor(GameTaskRec* owner, uint16_t floor, uint32_t mode);
  // The slide task no longer exists.
  static bool IsSlideFloorEnd();
  static void SlideFloor(GameTaskRec* task);

  // Plays a puppet animation of the label file on surface 6 at (x, y), colour-keyed, the old one
  // released first (a missing label file shows nothing).
  void PlayPuppetAnimation(uint32_t animation, int x, int y, uint32_t loop);
};
