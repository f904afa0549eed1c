#include "battle_events/maps/kit/map_common.h"

#include "battle_events/event_units.h"
#include "battle_events/runtime/event_script_helpers.h"

void DeployKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventDeployKind(k);
}
void UndeployKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventUndeployKind(k);
}
void NopKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventNopKind(k);
}
