#pragma once
// The map planes' data (held in BattleContext::map; the operations are battle/slg_map.h): up to
// four tiled planes, each a 2048 x 2048 pixel picture that repeats, cut into equal tiles from one
// or more banks (battle-map sprite files) that can alternate as animation frames; the priority
// heights of the Priority plane; the whole-map picture; the map switches and the map clock.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/gfx/pixels/blend_blit.h"

struct SlgMapSpr;
struct SprRec;

// Plane numbers (the order of the keywords "Ground:", "Sky:", "Priority:", "UnderGround:",
// "AllMapImage:"). The whole-map picture (4) has no plane record.
constexpr int kSlgPlaneGround = 0;
constexpr int kSlgPlaneSky = 1;
constexpr int kSlgPlanePriority = 2;
constexpr int kSlgPlaneUnderGround = 3;
constexpr int kSlgPlaneAllMap = 4;
constexpr int kSlgPlaneCount = 5;

constexpr int kSlgMapBanks = 64;
constexpr int32_t kSlgPlaneSize = 2048;      // a plane repeats every 2048 pixels each way
constexpr int32_t kSlgPerTileDepth = 65535;  // the Priority plane's depth: per tile
constexpr int kSlgPrioSide = 86;             // squares per row and column of the priority data
constexpr int kSlgPrioSquare = 24;           // pixels per priority square
constexpr uint32_t kSlgPrioBytes = kSlgPrioSide * kSlgPrioSide * 4;  // 29584

// One bank: its battle-map record (one reference held) and its tile table, cols x rows sprites
// (null = empty), row by row.
struct SlgMapBank {
  SlgMapSpr* file = nullptr;
  std::vector<SprRec*> tiles;
};

struct SlgMapPlane {
  int32_t tile_w = 0, tile_h = 0;    // from sprite 0 of the first bank
  int32_t cols = 0, rows = 0;        // (2047 + tile) / tile
  int32_t scroll_x = 0, scroll_y = 0;  // own scroll per frame, 16.16, stored negated
  int32_t raster_w = 0, raster_h = 0;  // raster amplitude, pixels (0 none)
  int32_t time_rad = 0;              // raster phase per frame, 512ths of a turn
  int32_t line_rad = 0;              // raster phase per screen line
  int32_t offset_x = 0, offset_y = 0;  // added to the battle scroll
  int32_t depth = 0;                 // battle depth of the tiles (kSlgPerTileDepth: per tile)
  int32_t frame_int = 8;             // frames per bank
  BlendWord alpha = 256;             // low 16 bits the level, high bits the blend mode
  int32_t bank_count = 0;
  std::array<SlgMapBank, kSlgMapBanks> banks{};
  int32_t enabled = 1;
};

struct SlgMapState {
  std::array<std::unique_ptr<SlgMapPlane>, 4> planes;
  // Heights of the 24 x 24 squares, row by row (86 per row); zero unless a priority file set them.
  std::array<uint32_t, kSlgPrioSide * kSlgPrioSide> prio{};
  uint32_t no_zako = 0;          // no common enemies: the enemy think files are not loaded
  SprRec* all_map = nullptr;     // the whole-map picture (surface 12 as one sprite)
  uint32_t clock = 0;            // game clock (ms) when the table was read
};
