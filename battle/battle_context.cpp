#include "battle/battle_context.h"

#include "battle/slg_map.h"
#include "battle/slg_task.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"

BattleContext::~BattleContext() {
  if (!HasCtx()) return;
  // The tasks' owned blocks go back through this context's allocator seam.
  BattleScope scope(*this);
  SlgTaskEndAll();
  SlgMap::FreeMap();
  Ctx().anime.DeleteRef(&fade_handle);
}
