#pragma once
// Map 9's event script (battle map 8): a battle the script decides. Its six events run once each
// at the first event checks, one after the other, with no player action between them: the
// newcomer's warp-in (kind 80), the party's gathering, a timed choice whose answer picks a
// follow-up talk and a heroine's reward, the bombardment that destroys the enemy in two volleys,
// the second arrivals (kinds 82, 83) with the party hidden behind a fade, and the victory.
// Drifting particles (fixed sprites) run over the whole map.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/drift.h"

// The number of event-object kinds the map's event-animation table covers (80-83).
constexpr int kMap09ObjectKinds = 4;
// The drifting particles: twelve of each twin, each with its drift record of 480 frames (its
// longest life), in a field of 804 x 544 pixels from the visible area's top-left corner.
constexpr int kMap09Particles = 12;
constexpr int kMap09ParticleLife = 480;
constexpr int32_t kMap09FieldWidth = 804;
constexpr int32_t kMap09FieldHeight = 544;
// The EventAnm animations and depth words of the twins A and B.
constexpr std::array<uint32_t, 2> kMap09ParticleAnm = {84, 85};
constexpr std::array<int16_t, 2> kMap09ParticleDepth = {-1090, -1089};

struct Map09Particle {
  DriftHistory<kMap09ParticleLife> history{};
  int32_t start_x = 0;  // map pixels, 16.16
  int32_t start_y = 0;
  int32_t speed = 0;    // the vertical speed, 16.16 pixels a frame
  int32_t age = 0;
  int32_t running = 0;  // 0: starts (again) on its next frame
};

struct Map09Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The bombardment's flash: its two white-ins begun.
  std::array<uint8_t, 2> flash{};
  // The favourite heroine the choice's reward went to.
  int32_t favourite = 0;
  // The face of the last arrival's line (message 3088).
  int32_t face = 0;
  DriftLevel drift{};
  std::array<std::array<Map09Particle, kMap09Particles>, 2> particles{};
};
Map09Words& Map09State();

// The map's set-up (row 8 of the map set-up table).
extern const MapSetup kMap09Setup;

// The warp-in's zoom pair after `frames` frames of its motion (it stops at 1.0), and whether it
// has arrived.
struct Map09Zoom {
  int32_t x = 0;
  int32_t y = 0;
  bool arrived = false;
};
Map09Zoom Map09WarpZoom(int32_t frames);
