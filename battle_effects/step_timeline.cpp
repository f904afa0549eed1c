#include "battle_effects/step_timeline.h"

#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_task.h"
#include "battle_effects/effect_position.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"

uint32_t TimelineNow() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

int32_t TimelineFrames(uint32_t start) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(TimelineNow() - start)} * 60 / 1000);
}

bool TimelineWaitOver(TimelineWaitKind kind, int32_t n, const SlgAnmObj* object,
                      const SlgAttackCtx* ctx, const SlgEffectTask* task) {
  switch (kind) {
    case TimelineWaitKind::kFadeEnd: return SlgIsFadeEnd() != 0;
    case TimelineWaitKind::kAnmEnd: return SlgAnmObjIsEnd(object) != 0;
    case TimelineWaitKind::kAnmFrame:
      // Ended or missing counts as past every frame: a short animation never holds the wait.
      return SlgAnmObjIsEnd(object) != 0 || AnmFrameOf(object) >= n;
    case TimelineWaitKind::kAttackAnms: return ctx == nullptr || CountRunningAttackAnms(*ctx) == 0;
    case TimelineWaitKind::kTaskGone: return SlgTaskIsAlive(task) == 0;
    default: return true;
  }
}
