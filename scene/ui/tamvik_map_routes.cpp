// The town map's data and look-ups: route tables, node positions, staircases and places.

#include <cstddef>
#include <iterator>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/input/dinput.h"
#include "game/system_data.h"
#include "scene/ui/tamvik_map.h"

namespace {

// Route tables: a group per node, each ended by 255. A group is its node, then branches
// separated by 0; a branch is a neighbour followed by the destinations reached through it. The
// last branch is the default. The first group is node 0, without a branch.
constexpr uint8_t kTheatreRoutes[] = {
    0, 255,
    1, 18, 255,
    2, 16, 255,
    3, 4, 5, 0, 15, 16, 17, 18, 2, 14, 1, 0, 13, 255,
    4, 5, 0, 3, 255,
    5, 4, 255,
    6, 8, 0, 13, 255,
    7, 19, 255,
    8, 6, 255,
    9, 21, 12, 0, 20, 10, 11, 0, 19, 255,
    10, 20, 255,
    11, 20, 255,
    12, 21, 255,
    13, 6, 8, 0, 19, 7, 10, 20, 9, 11, 21, 12, 0, 3, 255,
    14, 17, 255,
    15, 16, 2, 14, 1, 17, 18, 0, 3, 255,
    16, 2, 0, 17, 18, 14, 1, 0, 15, 255,
    17, 14, 0, 18, 1, 0, 16, 255,
    18, 1, 0, 17, 255,
    19, 7, 0, 9, 10, 20, 11, 21, 12, 0, 13, 255,
    20, 10, 0, 11, 0, 9, 255,
    21, 12, 0, 9, 255,
    101, 132, 255,
    102, 133, 134, 103, 104, 119, 0, 132, 255,
    103, 134, 255,
    104, 134, 255,
    105, 130, 255,
    106, 129, 255,
    107, 128, 255,
    108, 127, 255,
    109, 128, 107, 129, 120, 106, 130, 105, 121, 132, 102, 133, 134, 103, 104, 101, 119, 0, 127,
        255,
    110, 126, 255,
    111, 125, 255,
    112, 123, 255,
    113, 122, 114, 116, 131, 117, 115, 118, 0, 124, 255,
    114, 131, 116, 117, 115, 118, 0, 122, 255,
    115, 118, 0, 131, 255,
    116, 117, 0, 131, 255,
    117, 116, 255,
    118, 115, 255,
    119, 133, 255,
    120, 130, 105, 121, 104, 132, 102, 133, 134, 103, 101, 119, 0, 128, 255,
    121, 132, 104, 102, 133, 134, 103, 101, 119, 0, 130, 255,
    122, 114, 116, 131, 117, 115, 118, 0, 113, 255,
    123, 112, 0, 124, 255,
    124, 123, 112, 0, 113, 122, 114, 116, 131, 117, 115, 118, 0, 125, 255,
    125, 124, 112, 123, 113, 122, 114, 131, 116, 117, 115, 118, 0, 111, 0, 126, 255,
    126, 110, 0, 125, 111, 112, 123, 124, 113, 122, 114, 116, 131, 117, 115, 118, 0, 127, 255,
    127, 108, 0, 126, 125, 124, 123, 112, 111, 110, 113, 122, 114, 116, 131, 117, 115, 118, 0, 109,
        255,
    128, 107, 0, 129, 106, 0, 120, 130, 105, 121, 104, 132, 102, 133, 134, 103, 101, 119, 0, 109,
        255,
    129, 106, 0, 128, 255,
    130, 105, 0, 121, 104, 132, 102, 133, 134, 103, 101, 119, 0, 120, 255,
    131, 116, 117, 0, 115, 118, 0, 114, 255,
    132, 101, 0, 102, 133, 134, 103, 104, 119, 0, 121, 255,
    133, 119, 0, 134, 103, 104, 0, 102, 255,
    134, 103, 0, 104, 0, 133, 255,
    201, 227, 255,
    202, 228, 255,
    203, 210, 0, 221, 255,
    204, 224, 220, 227, 228, 221, 201, 202, 203, 210, 0, 205, 255,
    205, 204, 224, 220, 227, 228, 221, 201, 202, 203, 210, 0, 206, 255,
    206, 213, 0, 205, 204, 224, 220, 227, 228, 221, 201, 202, 203, 210, 0, 207, 255,
    207, 212, 0, 206, 213, 205, 204, 224, 220, 221, 228, 227, 201, 202, 203, 210, 0, 208, 255,
    208, 209, 0, 222, 211, 0, 223, 214, 217, 215, 225, 218, 216, 226, 219, 0, 207, 255,
    209, 208, 255,
    210, 203, 255,
    211, 222, 255,
    212, 207, 255,
    213, 206, 255,
    214, 223, 255,
    215, 225, 255,
    216, 226, 255,
    217, 223, 255,
    218, 225, 255,
    219, 226, 255,
    220, 221, 228, 227, 201, 202, 203, 210, 0, 224, 255,
    221, 203, 210, 0, 228, 227, 201, 202, 0, 220, 255,
    222, 211, 0, 208, 255,
    223, 214, 0, 217, 0, 225, 215, 218, 216, 226, 219, 0, 208, 255,
    224, 220, 227, 228, 221, 201, 202, 203, 210, 0, 204, 255,
    225, 215, 0, 218, 0, 226, 216, 219, 0, 223, 255,
    226, 216, 0, 219, 0, 225, 255,
    227, 201, 0, 228, 255,
    228, 227, 201, 0, 202, 0, 221, 255,
};

constexpr uint8_t kHauntedHouseRoutes[] = {
    0, 255,
    1, 13, 255,
    2, 14, 13, 1, 0, 15, 255,
    3, 4, 0, 16, 15, 2, 14, 13, 1, 0, 17, 255,
    4, 20, 21, 5, 19, 22, 23, 7, 6, 0, 3, 255,
    5, 21, 255,
    6, 22, 255,
    7, 23, 255,
    8, 24, 255,
    9, 25, 255,
    10, 26, 255,
    11, 27, 255,
    12, 29, 255,
    13, 1, 0, 14, 255,
    14, 13, 1, 0, 2, 255,
    15, 2, 14, 13, 1, 0, 16, 255,
    16, 15, 2, 14, 13, 1, 0, 3, 255,
    17, 3, 4, 16, 15, 2, 14, 13, 1, 0, 28, 29, 12, 24, 8, 0, 18, 255,
    18, 19, 20, 21, 5, 22, 6, 23, 7, 0, 17, 255,
    19, 22, 23, 6, 7, 0, 20, 21, 5, 4, 0, 18, 255,
    20, 21, 5, 0, 4, 0, 19, 255,
    21, 5, 0, 20, 255,
    22, 23, 7, 0, 6, 0, 19, 255,
    23, 7, 0, 22, 255,
    24, 8, 0, 28, 255,
    25, 9, 0, 26, 255,
    26, 25, 9, 0, 10, 0, 27, 255,
    27, 11, 0, 26, 255,
    28, 24, 8, 0, 29, 12, 0, 17, 255,
    29, 12, 0, 28, 255,
    101, 111, 255,
    // 112 leads on to 111 (111's neighbours are 101 and 112); 11 is a ground-floor node and
    // would send every upper-floor route toward 111 back and forth between 102 and 115.
    102, 113, 103, 0, 112, 111, 101, 0, 115, 255,
    103, 113, 102, 112, 111, 101, 0, 114, 255,
    104, 114, 255,
    105, 118, 106, 119, 120, 107, 121, 108, 0, 117, 255,
    106, 118, 255,
    107, 120, 255,
    108, 121, 255,
    109, 125, 255,
    110, 126, 255,
    111, 101, 0, 112, 255,
    112, 111, 101, 0, 102, 255,
    113, 103, 114, 104, 0, 102, 255,
    114, 104, 0, 103, 0, 122, 255,
    115, 122, 126, 110, 125, 109, 124, 123, 114, 104, 103, 0, 102, 113, 112, 111, 101, 0, 116, 255,
    116, 117, 105, 106, 118, 119, 120, 107, 121, 108, 0, 115, 255,
    117, 105, 118, 119, 106, 107, 120, 121, 108, 0, 124, 125, 126, 110, 109, 123, 122, 114, 104,
        103, 0, 116, 255,
    118, 106, 0, 119, 120, 121, 108, 107, 0, 105, 255,
    119, 120, 121, 107, 108, 0, 118, 255,
    120, 121, 108, 0, 107, 0, 119, 255,
    121, 108, 0, 120, 255,
    122, 114, 104, 103, 0, 115, 116, 101, 111, 112, 102, 113, 0, 123, 255,
    123, 124, 125, 126, 110, 109, 117, 105, 106, 118, 119, 120, 121, 108, 107, 0, 122, 255,
    124, 125, 126, 110, 109, 0, 117, 116, 105, 106, 118, 119, 107, 120, 121, 108, 0, 123, 255,
    125, 109, 0, 126, 110, 0, 124, 255,
    126, 110, 0, 125, 255,
};

// Node positions: node, a pad byte, x and y in units of 2 pixels; ended by node 0.
struct NodePosRow {
  uint8_t node;
  uint8_t pad;
  uint16_t x;
  uint16_t y;
};

constexpr NodePosRow kTheatreNodePos[] = {
    {1, 0, 50, 152}, {2, 0, 72, 103}, {3, 0, 102, 97}, {4, 0, 102, 147}, {5, 0, 102, 168},
    {6, 0, 152, 152}, {7, 0, 194, 88}, {8, 0, 201, 152}, {9, 0, 225, 97}, {10, 0, 225, 73},
    {11, 0, 257, 83}, {12, 0, 235, 124}, {13, 0, 152, 97}, {14, 0, 50, 140}, {15, 0, 74, 97},
    {16, 0, 74, 103}, {17, 0, 74, 140}, {18, 0, 74, 152}, {19, 0, 194, 97}, {20, 0, 225, 83},
    {21, 0, 235, 97}, {101, 0, 278, 155}, {102, 0, 245, 171}, {103, 0, 245, 217},
    {104, 0, 231, 193}, {105, 0, 153, 171}, {106, 0, 76, 190}, {107, 0, 72, 155},
    {108, 0, 72, 119}, {109, 0, 74, 133}, {110, 0, 50, 97}, {111, 0, 50, 86}, {112, 0, 72, 64},
    {113, 0, 104, 71}, {114, 0, 141, 71}, {115, 0, 166, 71}, {116, 0, 156, 44}, {117, 0, 187, 44},
    {118, 0, 177, 71}, {119, 0, 273, 186}, {120, 0, 122, 155}, {121, 0, 196, 155},
    {122, 0, 123, 71}, {123, 0, 74, 64}, {124, 0, 74, 71}, {125, 0, 74, 86}, {126, 0, 74, 97},
    {127, 0, 74, 119}, {128, 0, 74, 155}, {129, 0, 74, 190}, {130, 0, 153, 155}, {131, 0, 156, 71},
    {132, 0, 245, 155}, {133, 0, 245, 186}, {134, 0, 245, 193}, {201, 0, 270, 155},
    {202, 0, 213, 180}, {203, 0, 244, 199}, {204, 0, 74, 187}, {205, 0, 74, 159},
    {206, 0, 74, 136}, {207, 0, 74, 102}, {208, 0, 74, 69}, {209, 0, 52, 69}, {210, 0, 278, 199},
    {211, 0, 72, 39}, {212, 0, 72, 102}, {213, 0, 72, 136}, {214, 0, 102, 63}, {215, 0, 130, 63},
    {216, 0, 156, 63}, {217, 0, 102, 74}, {218, 0, 130, 74}, {219, 0, 156, 74}, {220, 0, 88, 199},
    {221, 0, 201, 199}, {222, 0, 74, 39}, {223, 0, 102, 69}, {224, 0, 88, 187}, {225, 0, 130, 69},
    {226, 0, 156, 69}, {227, 0, 201, 155}, {228, 0, 201, 180},
    {0, 0, 0, 0},
};

constexpr NodePosRow kHauntedHouseNodePos[] = {
    {1, 0, 54, 191}, {2, 0, 129, 182}, {3, 0, 191, 177}, {4, 0, 266, 177}, {5, 0, 273, 111},
    {6, 0, 227, 71}, {7, 0, 227, 38}, {8, 0, 101, 121}, {9, 0, 51, 79}, {10, 0, 92, 51},
    {11, 0, 92, 33}, {12, 0, 158, 114}, {13, 0, 99, 191}, {14, 0, 99, 182}, {15, 0, 156, 182},
    {16, 0, 156, 177}, {17, 0, 191, 135}, {18, 0, 223, 135}, {19, 0, 223, 118}, {20, 0, 266, 118},
    {21, 0, 266, 111}, {22, 0, 223, 71}, {23, 0, 223, 38}, {24, 0, 101, 135}, {25, 0, 102, 79},
    {26, 0, 102, 51}, {27, 0, 102, 33}, {28, 0, 127, 135}, {29, 0, 127, 114}, {101, 0, 81, 166},
    {102, 0, 172, 174}, {103, 0, 267, 178}, {104, 0, 272, 130}, {105, 0, 69, 101},
    {106, 0, 51, 79}, {107, 0, 92, 51}, {108, 0, 92, 33}, {109, 0, 227, 71}, {110, 0, 227, 38},
    {111, 0, 102, 166}, {112, 0, 102, 174}, {113, 0, 172, 178}, {114, 0, 267, 130},
    {115, 0, 172, 130}, {116, 0, 102, 130}, {117, 0, 102, 101}, {118, 0, 69, 79},
    {119, 0, 102, 79}, {120, 0, 102, 51}, {121, 0, 102, 33}, {122, 0, 251, 130},
    {123, 0, 251, 101}, {124, 0, 223, 101}, {125, 0, 223, 71}, {126, 0, 223, 38},
    {0, 0, 0, 0},
};

// The two ends of each staircase.
struct KaidanPair {
  uint16_t a;
  uint16_t b;
};
constexpr KaidanPair kTheatreKaidan[] = {{1, 111}, {110, 209}, {119, 210}};
constexpr KaidanPair kHauntedHouseKaidan[] = {{5, 104}, {9, 106}};

using PlaceRow = CTamvikMap::PlaceRow;

// Places by floor: place id, label animation, node, lowest haunted-house level (0 in the
// theatre, which has none).
constexpr PlaceRow kTheatreFloor0[] = {
    {2, 104, 2, 0},  {3, 105, 4, 0},  {4, 107, 6, 0},   {5, 108, 5, 0},
    {6, 109, 8, 0},  {7, 110, 12, 0}, {8, 111, 11, 0},  {9, 112, 10, 0},
    {10, 106, 7, 0}, {11, 114, 1, 0}, {12, 113, 14, 0},
};
constexpr PlaceRow kTheatreFloor1[] = {
    {2, 87, 112, 0},  {3, 88, 108, 0},  {4, 89, 107, 0},  {5, 91, 113, 0},  {6, 93, 114, 0},
    {7, 94, 116, 0},  {8, 96, 117, 0},  {9, 90, 106, 0},  {10, 92, 105, 0}, {11, 102, 110, 0},
    {12, 103, 111, 0}, {13, 101, 104, 0}, {14, 99, 102, 0}, {15, 100, 103, 0},
    {16, 102, 119, 0}, {17, 98, 101, 0},  {18, 97, 118, 0}, {19, 95, 115, 0},
};
constexpr PlaceRow kTheatreFloor2[] = {
    {2, 79, 211, 0},  {3, 86, 209, 0},  {4, 80, 212, 0},  {5, 81, 213, 0},  {6, 73, 214, 0},
    {7, 74, 215, 0},  {8, 75, 216, 0},  {9, 76, 217, 0},  {10, 77, 218, 0}, {11, 78, 219, 0},
    {12, 82, 204, 0}, {13, 84, 201, 0}, {14, 83, 202, 0}, {15, 86, 210, 0}, {16, 85, 203, 0},
};
constexpr PlaceRow kHauntedHouseFloor0[] = {
    {1, 85, 7, 1},   {2, 86, 6, 1},   {3, 87, 5, 1},   {4, 88, 4, 1},
    {5, 84, 3, 1},   {6, 83, 2, 1},   {7, 81, 1, 1},   {8, 80, 8, 1},
    {9, 87, 9, 2},   {10, 78, 11, 2}, {11, 79, 10, 2}, {12, 82, 12, 4},
};
constexpr PlaceRow kHauntedHouseFloor1[] = {
    {1, 76, 104, 1}, {2, 77, 103, 1}, {3, 73, 102, 1}, {4, 72, 101, 1}, {5, 71, 105, 1},
    {6, 76, 106, 2}, {7, 69, 108, 2}, {8, 70, 107, 2}, {9, 74, 110, 3}, {10, 75, 109, 3},
};

template <size_t N>
const PlaceRow* FindIn(const PlaceRow (&rows)[N], uint16_t place) {
  for (const PlaceRow& row : rows) {
    if (row.place == place) return &row;
  }
  return nullptr;
}

const NodePosRow* PositionTable(uint32_t building) {
  if (building == CTamvikMap::kTheatre) return kTheatreNodePos;
  if (building == CTamvikMap::kHauntedHouse) return kHauntedHouseNodePos;
  return nullptr;
}

// The route query on one table. The scans stop at the table's end: a node with no group routes
// to itself.
uint16_t Route(const uint8_t* table, size_t size, uint16_t from, uint16_t to) {
  if (from == to) return from;
  size_t i = 0;
  // Find the group of `from`.
  while (i < size && table[i] != from) {
    while (i < size && table[i] != 255) ++i;
    ++i;  // past the 255
  }
  if (i >= size) return from;
  ++i;
  uint16_t neighbour = from;  // a group without a branch routes nowhere
  bool branch_start = true;
  for (; i < size && table[i] != 255; ++i) {
    const uint8_t byte = table[i];
    if (byte == 0) {
      branch_start = true;
      continue;
    }
    if (branch_start) {
      neighbour = byte;
      branch_start = false;
    }
    if (byte == to) return neighbour;
  }
  return neighbour;
}

uint16_t KaidanPair(const KaidanPair* pairs, size_t count, uint16_t node) {
  for (size_t i = 0; i < count; ++i) {
    if (pairs[i].a == node) return pairs[i].b;
    if (pairs[i].b == node) return pairs[i].a;
  }
  return node;
}

}  // namespace

const uint8_t* CTamvikMap::RouteTable(uint32_t building, size_t* size) {
  if (building == kHauntedHouse) {
    *size = sizeof(kHauntedHouseRoutes);
    return kHauntedHouseRoutes;
  }
  *size = sizeof(kTheatreRoutes);
  return kTheatreRoutes;
}

uint32_t CTamvikMap::RouteBuilding() {
  return GetAdvState()->mapLevelSet() == 0 ? kTheatre : kHauntedHouse;
}

int CTamvikMap::NodeCount(uint32_t building) {
  return building == kHauntedHouse ? kHauntedHouseNodes : kTheatreNodes;
}

uint16_t CTamvikMap::NextHopTmap(uint16_t from, uint16_t to) {
  if (RouteBuilding() != kTheatre) return NextHopFuka(from, to);
  return Route(kTheatreRoutes, sizeof(kTheatreRoutes), from, to);
}

uint16_t CTamvikMap::NextHopFuka(uint16_t from, uint16_t to) {
  if (RouteBuilding() != kHauntedHouse) return NextHopTmap(from, to);
  return Route(kHauntedHouseRoutes, sizeof(kHauntedHouseRoutes), from, to);
}

uint16_t CTamvikMap::NextHop(uint16_t from, uint16_t to) { return NextHopTmap(from, to); }

bool CTamvikMap::NodePosition(uint32_t building, uint16_t node, int* x, int* y) {
  const NodePosRow* row = PositionTable(building);
  if (row == nullptr || node == 0) return false;
  for (; row->node != 0; ++row) {
    if (row->node == node) {
      *x = row->x * 2;
      *y = row->y * 2;
      return true;
    }
  }
  return false;
}

bool CTamvikMap::SetNodePos(uint16_t node) {
  int x = 0, y = 0;
  if (!NodePosition(map_kind, node, &x, &y)) return false;
  node_x = static_cast<uint16_t>(x);
  node_y = static_cast<uint16_t>(y);
  return true;
}

uint16_t CTamvikMap::KaidanPairTmap(uint16_t node) {
  return KaidanPair(kTheatreKaidan, std::size(kTheatreKaidan), node);
}

uint16_t CTamvikMap::KaidanPairFuka(uint16_t node) {
  return KaidanPair(kHauntedHouseKaidan, std::size(kHauntedHouseKaidan), node);
}

int CTamvikMap::IsOnKaidan(uint16_t node) {
  if (RouteBuilding() == kTheatre) {
    if (KaidanPairTmap(node) != node) {
      DebugPrint("OnTmapKaidan\n");
      return 1;
    }
  } else if (KaidanPairFuka(node) != node) {
    DebugPrint("OnFukagawaKaidan\n");
    return 1;
  }
  DebugPrint("Not On Kaidan\n");
  return 0;
}

const CTamvikMap::PlaceRow* CTamvikMap::FindPlace(uint32_t building, uint16_t floor,
                                                  uint16_t place) {
  if (building == kTheatre) {
    switch (floor) {
      case 0: return FindIn(kTheatreFloor0, place);
      case 1: return FindIn(kTheatreFloor1, place);
      case 2: return FindIn(kTheatreFloor2, place);
      default: return nullptr;
    }
  }
  if (building == kHauntedHouse) {
    switch (floor) {
      case 0: return FindIn(kHauntedHouseFloor0, place);
      case 1: return FindIn(kHauntedHouseFloor1, place);
      default: return nullptr;
    }
  }
  return nullptr;
}

uint16_t CTamvikMap::PlaceToNode(uint16_t floor, uint16_t place) const {
  const PlaceRow* row = FindPlace(map_kind, floor, place);
  return row != nullptr ? row->node : 0;
}

void CTamvikMap::SaveMousePos() {
  pointer_x = static_cast<uint16_t>(Ctx().input.GetMouseX());
  pointer_y = static_cast<uint16_t>(Ctx().input.GetMouseY());
}
