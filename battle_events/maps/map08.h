#pragma once
// Map 8's event script: the set-up of its row of the map set-up table, its event table and the
// words its handlers and its event objects share.
//
// The map words are made afresh for each stage (so they are zero when the map's events are
// installed). Each of the two switches has two signals: signal 1 makes its barrier (kinds 83 and
// 84) let go of its animation, signal 2 makes its switch object (kinds 85 and 86) play once.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"

// The two switches: A (event 8103) and B (event 8104).
constexpr int kMap08Switches = 2;

struct Map08Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // Signal 1 (the barrier vanishes) and signal 2 (the switch plays) of switches A and B.
  std::array<int32_t, kMap08Switches> signal1{};
  std::array<int32_t, kMap08Switches> signal2{};
  // The character who stepped on the switch being worked (0-6).
  int32_t switcher = 0;
  // The opening's scripted strike: 0 not prepared, 1 under way, 2 done.
  int32_t strike = 0;
  // The camera hold the strike let go of, given back at its end.
  uint32_t held_camera = 0;
};
Map08Words& Map08State();

// The map's set-up (row 7 of the map set-up table).
extern const MapSetup kMap08Setup;

// The number of event-object kinds the map's event-animation table covers (80-87).
constexpr int kMap08ObjectKinds = 8;

// The opening's life factors (16.16) of heroines 2-6: P[81] non-zero, and zero.
constexpr int32_t kMap08WeakFactor = 22282;
constexpr int32_t kMap08HalfFactor = 32768;
