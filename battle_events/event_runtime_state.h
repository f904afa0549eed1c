#pragma once
// The event runtime's state block: the progress of every kind of event step (the waits, camera
// moves, messages, fades, walks, ... that the map scripts' handlers call once a frame). A step
// keeps its progress between frames in a phase byte of its own here (one per kind of step, not
// per caller), with the few words it needs, and puts its phase back to 0 on the frame it
// finishes. Data only: each kind of step adds its members. EventNpcLoad (battle_events/
// event_npc.h) clears the whole block when a map's events are installed.

#include "battle/battle_extension.h"

// Battle().Extension<SlgEventRuntimeState>(); kept for the whole battle (a stage's install
// clears it).
struct SlgEventRuntimeState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
};
