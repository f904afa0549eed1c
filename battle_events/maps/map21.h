#pragma once
// Map 21's event script: a short story battle around character 4. One of two openings plays,
// chosen by P[80] (21105 when it is not 0, 21106 when it is): the hero and characters 1 and 4
// are put on the map, a row of five objects lights up one after another and a fixed sprite
// changes. Lines play when character 1 or the hero stands diagonally next to character 4; once
// both have been heard, the hero and character 1 on opposite sides of character 4 start the
// decisive scene (21130): the three turn to face each other and two timed choices lead to a
// movie and the switch to stage 26, or to a penalty line. The map has no scripted victory.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"

struct SlgEffectTask;

// The map words, made afresh for each stage (zero when the map's events are installed).
struct Map21Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The opening's two fixed sprites (A, B), kept so that they can be exchanged, and the
  // animation each shows (0 when none could be made).
  std::array<SlgEffectTask*, 2> sprites{};
  std::array<uint32_t, 2> sprite_anm{};
  // The objects lit so far and the game clock (ms) the lighting is counted from.
  int32_t lit = 0;
  uint32_t lit_start = 0;
  // 1 once the decisive scene's penalty has been given (the scene repeats; the penalty not).
  int32_t penalised = 0;
  // The decisive scene's turning: the unit turning (0-2, then done), its phase, the direction
  // it turns to next.
  int32_t turner = 0;
  int32_t turn_phase = 0;
  int32_t turn_to = 0;
};
Map21Words& Map21State();

// The map's set-up (row 20 of the map set-up table).
extern const MapSetup kMap21Setup;

// The number of event-object kinds the map's event-animation table covers (80-96).
constexpr int kMap21ObjectKinds = 17;
// The direction a unit facing `facing` turns to next on its way to `toward` (both direction
// codes 0-3). A value outside 0-3 (toward 4: the two units are not neighbours) gives `facing`:
// the unit does not turn.
int32_t Map21NextFacing(int32_t facing, int32_t toward);
