#include "minigames/shot/shot_game.h"

#include <cstddef>
#include <cstdint>

#include "engine/app/doors.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"
#include "minigames/shot/shot_tables.h"

namespace shot {
namespace {

constexpr const char* kMusic = "tamvik1\\bgm\\minigame.wav";
constexpr const char* kShotSound = "tamvik3\\se\\shot07.wav";
constexpr const char* kHitSound = "tamvik3\\se\\shot08.wav";
constexpr const char* kScrollSound = "tamvik3\\se\\shot10.wav";
constexpr const char* kStageSound = "tamvik3\\se\\shot11.wav";
constexpr const char* kStaticSounds[] = {
    "tamvik3\\se\\system00.wav", "tamvik3\\se\\system01.wav", "tamvik3\\se\\system02.wav",
    "tamvik3\\se\\system03.wav", kHitSound,                   kShotSound,
    nullptr,
};

// Steps of the procedure.
constexpr int32_t kStepReset = -1;
constexpr int32_t kStepSetUp = 0;
constexpr int32_t kStepFadeIn = 10000;
constexpr int32_t kStepFirstPause = 10001;
constexpr int32_t kStepStage = 10002;
constexpr int32_t kStepStageEnded = 10003;
constexpr int32_t kStepScroll = 10004;
constexpr int32_t kStepNextPause = 10005;
constexpr int32_t kStepResult = 10020;
constexpr int32_t kStepFadeOut = 10021;

// Screen edges a walker leaves by.
constexpr int32_t kLeaveLeft = -64;
constexpr int32_t kLeaveRight = 704;
constexpr int32_t kFallOverEnd = 64;
constexpr int32_t kFallBottom = 608;
constexpr int32_t kCrosshairStep = 16;

ShotState& St() { return Minigame().shot; }

// The stage row of the running stage; null while none runs (stage -1 names no row).
const Stage* RunningStage() {
  const int32_t stage = St().stage;
  if (stage < 0 || stage >= kStages) return nullptr;
  return &kStageTable[static_cast<size_t>(stage)];
}

void ClearObject(int o) {
  mg_obj_put(o, 0, 0, 0, 0, 0);
  mg_obj_set_tilt(o, 0);
}

void Free(Target& t) {
  ClearObject(t.object);
  // A flyer leaving the screen takes its shadow; a hit target's effect object ends by itself.
  if (t.kind == kFlyer) ClearObject(t.object + kEffectOffset);
  t = Target{};
}

void PlaceAll() {
  mg_obj_put(kObjCounter, 528, 32, kFrontLayer, kAnimCounter, mg::kObjNumber);
  mg_obj_set_digits(kObjCounter, 3);
  mg_obj_set_value(kObjCounter, 0);
  mg_obj_put(kObjCrosshair, mg_mouse_x(), mg_mouse_y(), kFrontLayer, kAnimCrosshair, 0);
  for (const Placed& p : kStaticObjects) mg_obj_put(p.object, p.x, p.y, p.layer, p.anim, 0);
  for (int part = 0; part < 3; ++part) {
    mg_obj_put(kObjStrip + part, part * kStripPartWidth, 0, kSceneryLayer, kObjStrip + part, 0);
    if (part > 0) mg_obj_set_parent(kObjStrip + part, kObjStrip);
  }
  for (const Placed& p : kPieces) mg_obj_put(p.object, p.x, p.y, p.layer, p.anim, 0);
}

void ScrollTo(int32_t scroll) {
  St().scroll = scroll;
  mg_obj_set_x(kObjStrip, -scroll);
  for (const Placed& p : kPieces) mg_obj_set_x(p.object, p.x - scroll);
}

bool AnyLive() {
  for (const Target& t : St().targets) {
    if (t.state != kFree) return true;
  }
  return false;
}

void StartStage(int32_t stage) {
  St().stage = stage;
  St().spawned = 0;
}

// The step machine; false when the game has ended (mg_end called).
bool RunSteps() {
  ShotState& s = St();
  for (;;) {
    switch (s.step) {
      case kStepReset:
        mg_reset();
        mg_static_load(kStaticSounds);
        mg_letterbox(1);
        s.step = kStepSetUp;
        continue;
      case kStepSetUp: {
        const int32_t step = s.step;
        s = ShotState{};
        s.step = step;
        mg_set_clip(0, 16, 640, 464);
        PlaceAll();
        mg_bgm_play(kMusic);
        mg_brightness(0);
        s.step = kStepFadeIn;
        return true;
      }
      case kStepFadeIn: {
        const int32_t level = Minigame().fw.brightness + kFadeStep;
        mg_brightness(level < 256 ? level : 256);
        if (level < 256) return true;
        s.wait = kPauseSteps;
        s.step = kStepFirstPause;
        return true;
      }
      case kStepFirstPause:
        if (s.wait > 0) {
          --s.wait;
          return true;
        }
        StartStage(0);
        s.step = kStepStage;
        continue;
      case kStepStage: {
        const Stage* stage = RunningStage();
        if (stage != nullptr && (s.spawned < stage->quota || AnyLive())) return true;
        s.last_stage = s.stage;
        s.stage = -1;
        s.wait = kPauseSteps;
        s.step = kStepStageEnded;
        return true;
      }
      case kStepStageEnded:
        if (s.wait > 0) {
          --s.wait;
          return true;
        }
        if (s.last_stage >= kStages - 1) {
          s.step = kStepResult;
          continue;
        }
        mg_se_play(kScrollSound);
        s.scroll_count = kScrollSteps;
        s.step = kStepScroll;
        continue;
      case kStepScroll:
        if (s.scroll_count > 0) {
          --s.scroll_count;
          ScrollTo(s.scroll + kScrollSpeed);
          return true;
        }
        mg_se_stop();
        mg_se_play(kStageSound);
        s.wait = kPauseSteps;
        s.step = kStepNextPause;
        continue;
      case kStepNextPause:
        if (s.wait > 0) {
          --s.wait;
          return true;
        }
        StartStage(s.last_stage + 1);
        s.step = kStepStage;
        continue;
      case kStepResult:
        SetResult(s.hits);
        mg_finish(s.hits);
        mg_brightness(256);
        s.step = kStepFadeOut;
        return true;
      case kStepFadeOut: {
        const int32_t level = Minigame().fw.brightness - kFadeStep;
        mg_brightness(level > 0 ? level : 0);
        if (level > 0) return true;
        mg_bgm_stop();
        mg_end();
        return false;
      }
      default:
        s.step = kStepReset;
        continue;
    }
  }
}

// The mover of a target that has just been placed: its direction and, for flyers, the bob and
// the shadow.
void StartMover(Target& t, const SpawnPoint& p) {
  const bool far = t.layer == kDepthTable[0].layer;
  const bool reverse_x = (static_cast<uint32_t>(p.direction) & kReverseX) != 0;
  switch (t.kind) {
    case kWalker:
    case kFlyer:
      t.dx = far ? -2 : -2 * (1 + GetRandom() % 3);
      if (reverse_x) t.dx = -t.dx;
      if (t.kind == kFlyer) {
        t.dy = 32 + 2 * (GetRandom() % 16);
        t.phase_speed = 1 + GetRandom() % 8;
        t.phase = 0;
        t.base_y = t.y;
      }
      break;
    case kPopUp:
      t.x = 120 + 2 * (GetRandom() % 200);
      t.dy = (static_cast<uint32_t>(p.direction) & kReverseY) != 0 ? 8 : -8;
      break;
    case kDiagonal:
      t.dx = far ? -1 : -2;
      t.dy = t.dx;
      if (reverse_x) t.dx = -t.dx;
      break;
    default:
      break;
  }
  mg_obj_put(t.object, t.x, t.y, t.layer, t.anim, 0);
  mg_obj_set_tilt(t.object, 0);
  if (t.kind == kFlyer) {
    const int shadow = t.object + kEffectOffset;
    mg_obj_put(shadow, 0, 0, t.layer, kAnimShadow, 0);
    mg_obj_set_parent(shadow, t.object);
  }
}

// 32 steps out, 30 waiting, 32 back, then freed (pop-ups and diagonals).
void OutWaitBack(Target& t) {
  switch (t.state) {
    case kSpawned:
    case kMovingOut:
      t.state = kMovingOut;
      t.x += t.dx;
      t.y += t.dy;
      if (++t.counter >= kPopSteps) {
        t.state = kWaiting;
        t.counter = 0;
      }
      break;
    case kWaiting:
      if (++t.counter >= kPopWait) {
        t.state = kMovingBack;
        t.counter = 0;
      }
      break;
    case kMovingBack:
      t.x -= t.dx;
      t.y -= t.dy;
      if (++t.counter >= kPopSteps) {
        Free(t);
        return;
      }
      break;
    default:
      break;
  }
  mg_obj_set_pos(t.object, t.x, t.y);
}

void MoveOne(Target& t) {
  if (t.state == kJustHit) {
    // The hit target falls: flyers drop, the others fall over backwards about their bottom edge.
    t.state = kFalling;
    t.counter = 0;
    if (t.kind == kFlyer) {
      t.kind = kFallingDown;
      t.dy = -12;
      mg_obj_flag(t.object, mg::kObjRotate, 1);
    } else {
      t.kind = kFallingOver;
      mg_obj_flag(t.object, mg::kObjRotate | mg::kObjEdgePivot, 1);
    }
    t.dx = 0;
    mg_obj_set_tilt(t.object, 0);
    return;
  }
  switch (t.kind) {
    case kWalker:
    case kFlyer:
      t.state = kMovingOut;
      t.x += t.dx;
      if (t.kind == kFlyer) {
        t.phase = (t.phase + t.phase_speed) & 0xFF;
        t.y = t.base_y + static_cast<int32_t>(int64_t{t.dy} * mg_sin(t.phase) / 65536);
      }
      if ((t.dx < 0 && t.x < kLeaveLeft) || (t.dx > 0 && t.x > kLeaveRight)) {
        Free(t);
        return;
      }
      mg_obj_set_pos(t.object, t.x, t.y);
      break;
    case kPopUp:
    case kDiagonal:
      OutWaitBack(t);
      break;
    case kFallingOver:
      t.dx += 3;
      if (t.dx > kFallOverEnd) {
        Free(t);
        return;
      }
      mg_obj_set_tilt(t.object, t.dx);
      break;
    case kFallingDown:
      t.dy += 1;
      t.y += t.dy / 2;
      t.dx += 2;
      if (t.y > kFallBottom) {
        Free(t);
        return;
      }
      mg_obj_set_pos(t.object, t.x, t.y);
      mg_obj_set_tilt(t.object, t.dx);
      break;
    default:
      break;
  }
}

void Hit(Target& t) {
  ShotState& s = St();
  t.state = kJustHit;
  ++s.hits;
  mg_se_play(kHitSound);
  const int rank = DepthOf(t.layer);
  mg_obj_put(t.object + kEffectOffset, t.x, t.y, t.layer - 1, kAnimHitEffect + (rank < 0 ? 0 : rank),
             mg::kObjDeleteAtEnd);
}

// Whether a probe point lies on an opaque pixel of the piece.
bool Opaque(int object, int32_t x, int32_t y) { return mg_obj_hit_pixel(object, x, y) != 0; }

void MoveCrosshair() {
  int32_t x = mg_mouse_x();
  int32_t y = mg_mouse_y();
  bool moved = false;
  if (mg_key_take(kMgKeyLeft << 16) != 0) {
    x -= kCrosshairStep;
    moved = true;
  } else if (mg_key_take(kMgKeyRight << 16) != 0) {
    x += kCrosshairStep;
    moved = true;
  }
  if (mg_key_take(kMgKeyUp << 16) != 0) {
    y -= kCrosshairStep;
    moved = true;
  } else if (mg_key_take(kMgKeyDown << 16) != 0) {
    y += kCrosshairStep;
    moved = true;
  }
  if (moved) mg_mouse_set(x, y);
  mg_obj_set_pos(kObjCrosshair, mg_mouse_x(), mg_mouse_y());
}

}  // namespace

int Spawn() {
  ShotState& s = St();
  const Stage* stage = RunningStage();
  if (stage == nullptr || s.spawned >= stage->quota) return -1;
  if ((GetRandom() & 4095) * stage->rate >= 4095) return -1;
  int slot = -1;
  for (int i = 0; i < kTargetSlots; ++i) {
    if (s.targets[static_cast<size_t>(i)].state == kFree) {
      slot = i;
      break;
    }
  }
  if (slot < 0) return -1;
  Target& t = s.targets[static_cast<size_t>(slot)];
  t = Target{};
  t.point = GetRandom() / 256 % stage->point_count;
  const SpawnPoint& p = PointOf(*stage, t.point);
  const Depth& depth = kDepthTable[static_cast<size_t>(p.depth)];
  t.x = 2 * p.half_x;
  t.y = 2 * p.half_y + 16;
  t.layer = depth.layer;
  t.anim = depth.anim_base +
           (p.depth == kNearDepth ? kNearAnimOffset : kAnimStep * (1 + GetRandom() % 4));
  t.box_left = depth.box_left;
  t.box_top = depth.box_top;
  t.box_right = depth.box_right;
  t.box_bottom = depth.box_bottom;
  if (p.depth == kNearDepth) {
    t.kind = kPopUp;
  } else if (p.movement == kMoveDiagonal) {
    t.kind = kDiagonal;
  } else {
    t.kind = p.flying == 0 ? kWalker : kFlyer;
  }
  t.state = kSpawned;
  t.object = kObjFirstTarget + slot;
  StartMover(t, p);
  ++s.spawned;
  return slot;
}

void MoveTargets() {
  for (Target& t : St().targets) {
    if (t.state != kFree) MoveOne(t);
  }
}

uint32_t BlockMask(int32_t sx, int32_t sy) {
  const Stage* stage = RunningStage();
  if (stage == nullptr) return 0;
  uint32_t mask = 0;
  for (int i = 0; i < stage->blocker_count; ++i) {
    const Blocker& b = stage->blockers[static_cast<size_t>(i)];
    if (Opaque(b.object, sx, sy) && Opaque(b.object, sx + kShotReach, sy) &&
        Opaque(b.object, sx, sy + kShotReach) && Opaque(b.object, sx - kShotReach, sy) &&
        Opaque(b.object, sx, sy - kShotReach)) {
      mask |= static_cast<uint32_t>(b.mask);
    }
  }
  return mask;
}

int Shoot(int32_t sx, int32_t sy) {
  ShotState& s = St();
  const uint32_t mask = BlockMask(sx, sy);
  int best = -1;
  for (int i = 0; i < kTargetSlots; ++i) {
    const Target& t = s.targets[static_cast<size_t>(i)];
    if (t.state <= kFree) continue;
    if ((mask & kMaskFar) != 0 && t.layer > 508) continue;
    if ((mask & kMaskBack) != 0 && t.layer > 510) continue;
    const int64_t x = sx, y = sy;
    if (x < int64_t{t.x} + t.box_left - kShotReach || x > int64_t{t.x} + t.box_right + kShotReach ||
        y < int64_t{t.y} + t.box_top - kShotReach || y > int64_t{t.y} + t.box_bottom + kShotReach) {
      continue;
    }
    if (best < 0 || t.layer < s.targets[static_cast<size_t>(best)].layer) best = i;
  }
  if (best >= 0) Hit(s.targets[static_cast<size_t>(best)]);
  return best;
}

void SetResult(int32_t hits) {
  mg_var_set(2, hits >= 80 ? 2 : (hits >= 60 ? 1 : 0));
  mg_var_set(9, hits > 94 ? 1 : 0);
}

}  // namespace shot

int shot_proc(int state) {
  using namespace shot;
  ShotState& s = St();
  const int answer = mg_menu(state);
  if (answer == mg::kMenuOpen) {
    if (s.pointer_shown == 0) {
      mg_obj_pointer(kObjPointer, kAnimPointer);
      s.pointer_shown = 1;
    }
    return 1;
  }
  if (answer == mg::kMenuQuit) {
    mg_end();
    return 1;
  }
  if (answer == mg::kMenuRetry) {
    mg_menu(2);
    state = 2;
  }
  if (s.pointer_shown != 0) {
    ClearObject(kObjPointer);
    s.pointer_shown = 0;
  }
  if (state == 2) s.step = -1;
  if (!RunSteps()) return 1;

  if (mg_key_take(kMgKeyDecide) != 0) {
    mg_se_play(kShotSound);
    Shoot(mg_mouse_x(), mg_mouse_y());
    mg_obj_set_value(kObjCounter, s.hits);
  }
  Spawn();
  MoveTargets();
  MoveCrosshair();
  return 1;
}
