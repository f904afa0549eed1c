#include "battle_events/maps/kit/map_common.h"

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "engine/core/debug_trace.h"

void DeployKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventDeployKind(k);
}
void UndeployKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventUndeployKind(k);
}
void NopKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventNopKind(k);
}

int FadeEnded() { return SlgIsFadeEnd() != 0 ? 1 : 0; }

namespace {
// The frames the running sound effect wait has waited, made afresh for each stage.
struct SeStopWait {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  int32_t frames = 0;
};
}  // namespace

int SeStoppedOrLimit(int map) {
  int32_t& frames = Battle().Extension<SeStopWait>().frames;
  if (SlgIsSeStop() != 0) {
    frames = 0;
    return 1;
  }
  if (++frames <= kSeStopLimit) return 0;
  DebugPrint("map %d: the sound effect did not stop: going on\n", map);
  frames = 0;
  return 1;
}
