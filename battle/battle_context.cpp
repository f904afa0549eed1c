#include "battle/battle_context.h"

#include "battle/slg_action.h"
#include "battle/slg_boss_exit.h"
#include "battle/slg_map.h"
#include "battle/slg_task.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"

namespace {

// The runtime blocks nothing gave back: the work of an attack (or an effect) the battle's end cut
// short, whose owner had no end of its own to run.
void FreeBlocksLeft(SlgAllocSeam& alloc) {
  const int64_t left = SlgFreeAllLeft(alloc);
  if (left != 0) {
    DebugPrint("Slg: %lld runtime blocks were still held at the battle's end; freed\n",
               static_cast<long long>(left));
  }
}

}  // namespace

BattleContext::BattleContext() { RunBattleInstallers(*this); }

BattleContext::~BattleContext() {
  if (!HasCtx()) {
    // The battle action task's body objects are plain blocks (their animations went with the
    // engine).
    BattleScope scope(*this);
    FreeSlgActionBodies();
    FreeBossExitWork(false);  // a boss exit cut short by the battle's end
    extensions.Clear();
    FreeBlocksLeft(alloc);
    return;
  }
  // The tasks' owned blocks go back through this context's allocator seam.
  BattleScope scope(*this);
  SlgTaskEndAll();
  // The battle action task reads this context every frame: it ends with it.
  EndSlgActionTask();
  FreeSlgActionBodies();
  // A boss exit cut short by the battle's end: its objects' animations go back while the scene
  // is there (without it they went with it).
  FreeBossExitWork(HasScene());
  SlgMap::FreeMap();
  Ctx().anime.DeleteRef(&fade_handle);
  // The game-over picture, when the battle ends before the sequence has deleted it.
  Ctx().ddraw_spr.DeleteBuffer(&game_over.entry);
  Ctx().ddraw_spr.DeleteSprite(&game_over.picture);
  // Last: what ended above may have used the libraries' state.
  extensions.Clear();
  FreeBlocksLeft(alloc);
}

void SlgTellShowHook(SlgShowCall call, int a, int b) {
  const SlgTestHooks& hooks = Battle().test_hooks;
  if (hooks.show != nullptr) hooks.show(hooks.user, call, a, b);
}
