#include "minigames/souji/souji_game.h"

#include <algorithm>
#include <span>

#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/minigame_context.h"
#include "minigames/souji/souji_course.h"

namespace souji {
namespace {

constexpr const char* kMusic = "tamvik1\\bgm\\tamvik.wav";
constexpr const char* kCrashSound = "tamvik3\\se\\souji08.wav";
constexpr const char* kObstacleSound = "tamvik3\\se\\souji09.wav";
constexpr const char* kOpeningVoice = "tamvik3\\voice\\2385.wav";
constexpr const char* const kStaticSounds[] = {kCrashSound, kObstacleSound, nullptr};

constexpr int32_t kCharacterLayer = 256;
constexpr int32_t kAnimLeader = 301;
constexpr int32_t kAnimFollower = 201;
constexpr int32_t kAnimLeaderCheer = 306;
constexpr int32_t kAnimFollowerCheer = 206;
constexpr int32_t kAnimLeaderCrash = 310;
constexpr int32_t kAnimFollowerCrash = 210;
constexpr int32_t kAnimLeaderGoal = 304;
constexpr int32_t kAnimFollowerGoal = 205;
constexpr int32_t kAnimGoal = 5;
constexpr int32_t kGoalLayer = 768;
constexpr int32_t kAnimScore = 400;
constexpr int32_t kAnimPointer = 495;
constexpr int32_t kFadeStep = 8;
constexpr int32_t kGoalDrop = 64;   // steps the goal picture comes down
constexpr int32_t kGoalWalk = 60;   // steps of the walk to the goal
constexpr int32_t kPause = 60;      // steps of the crash and the final pose
constexpr int32_t kPassScore = 2000;

SoujiState& S() { return Minigame().souji; }
int Mode() { return mg_var_get(3); }
int32_t Brightness() { return Minigame().fw.brightness; }

void Pose(int32_t leader_anim, int32_t follower_anim, int hold) {
  mg_obj_anim(kObjLeader, leader_anim);
  mg_obj_anim(kObjFollower, follower_anim);
  mg_obj_flag(kObjLeader, mg::kObjHoldLast, hold);
  mg_obj_flag(kObjFollower, mg::kObjHoldLast, hold);
}

void ShowScore(const SoujiState& s) {
  if (Mode() != 0) mg_obj_set_value(kObjScore, s.score);
}

void SetUp(SoujiState& s) {
  ResetCourse(s);
  mg_map_scroll(kScrollX, 0);
  mg_obj_put(kObjLeader, 320, kLeaderY, kCharacterLayer, kAnimLeader, 0);
  mg_obj_put(kObjFollower, 320, 448, kCharacterLayer, kAnimFollower, 0);
  if (Mode() != 0) {
    mg_obj_put(kObjScore, 480, 32, 128, kAnimScore, mg::kObjNumber);
    mg_obj_set_digits(kObjScore, 4);
    mg_obj_set_value(kObjScore, 0);
  }
  mg_bgm_play(kMusic);
  mg_brightness(0);
}

// The floor scrolled by `by`; a new row each time a whole row has left the screen.
void ScrollFloor(SoujiState& s, int32_t by) {
  s.scroll += by;
  mg_map_scroll(kScrollX, s.scroll);
  if (s.scroll % kTileH == 0) {
    const int r = ((s.scroll / kTileH - 1) % kRows + kRows) % kRows;
    NewRow(s, r, Mode());
  }
}

// One step of play; the next step.
int Play(SoujiState& s) {
  if (Crashes(s)) {
    mg_se_play(kCrashSound);
    Pose(kAnimLeaderCrash, kAnimFollowerCrash, 1);
    s.wait = kPause;
    return kStepCrash;
  }
  uint32_t held = 0;
  for (uint32_t key : {kMgKeyLeft, kMgKeyRight, kMgKeyDecide, kMgKeyCancel}) {
    if (mg_key_take(key << 16) != 0) held |= key;
  }
  Steer(s, held);
  mg_obj_set_pos(kObjLeader, s.x, kLeaderY);
  s.follower_x = s.ring[static_cast<size_t>(s.ring_index)];
  mg_obj_set_pos(kObjFollower, s.follower_x, kFollowerY);
  s.ring[static_cast<size_t>(s.ring_index)] = s.x;
  s.ring_index = (s.ring_index + 1) % kRingSize;
  ScrollFloor(s, kScrollStep);
  if (s.scroll % 32 == 0) {
    s.score += 10;
    ShowScore(s);
  }
  MoveDecorations(s, kScrollStep);
  MoveObstacles(s);
  SectionTick(s, Mode());
  if (s.goal == 0) return kStepPlay;
  mg_obj_put(kObjGoal, 0, -192, kGoalLayer, kAnimGoal, 0);
  s.goal_steps = 0;
  return kStepGoal;
}

// The result: variables 2 and 9, the ranking, then the fade out.
void Result(const SoujiState& s) {
  mg_var_set(2, s.goal != 0 ? 2 : s.score >= kPassScore ? 1 : 0);
  if (s.goal != 0) mg_var_set(9, 1);
  mg_finish(s.score);
  mg_brightness(256);
}

}  // namespace
}  // namespace souji

int souji_proc(int state) {
  using namespace souji;
  SoujiState& s = S();
  if (state == 2) s.step = -1;
  switch (mg_menu(state)) {
    case mg::kMenuOpen:
      return 1;
    case mg::kMenuRetry:
      mg_menu(2);
      s.step = -1;
      break;
    case mg::kMenuQuit:
      mg_end();
      return 1;
    default:
      break;
  }
  switch (s.step) {
    case -1:
      mg_reset();
      mg_obj_pointer(kObjPointer, kAnimPointer);
      mg_static_load(kStaticSounds);
      mg_map_open(std::span<const uint16_t>(s.cells), 0, kTileW, kTileH, kCols, kStartRow, kCols,
                  kRows);
      s.step = 0;
      return 1;
    case 0:
      SetUp(s);
      s.step = 1;
      return 1;
    case 1:
      if (Brightness() < 256) {
        mg_brightness(std::min(Brightness() + kFadeStep, 256));
        return 1;
      }
      Pose(kAnimLeaderCheer, kAnimFollowerCheer, 1);
      mg_voice_play(kOpeningVoice);
      s.step = 2;
      return 1;
    case 2:
      if (mg_voice_playing() != 0 && mg_key_take(kMgKeyDecide) == 0) return 1;
      mg_voice_stop();
      Pose(kAnimLeader, kAnimFollower, 0);
      s.step = kStepPlay;
      return 1;
    case kStepPlay:
      s.step = Play(s);
      return 1;
    case kStepCrash:
      if (--s.wait > 0) return 1;
      s.step = kStepResult;
      return 1;
    case kStepGoal:
      ScrollFloor(s, kGoalScrollStep);
      MoveDecorations(s, kGoalScrollStep);
      MoveObstacles(s);
      mg_obj_set_y(kObjGoal, mg_obj_get_y(kObjGoal) + kGoalScrollStep);
      if (++s.goal_steps < kGoalDrop) return 1;
      mg_obj_move_n(kObjLeader, 288, 240, kGoalWalk);
      mg_obj_move_n(kObjFollower, 352, 240, kGoalWalk);
      s.step = kStepGoalWalk;
      return 1;
    case kStepGoalWalk:
      if (mg_obj_moving(kObjLeader) != 0 || mg_obj_moving(kObjFollower) != 0) return 1;
      Pose(kAnimLeaderGoal, kAnimFollowerGoal, 1);
      s.wait = kPause;
      s.step = kStepGoalPose;
      return 1;
    case kStepGoalPose:
      if (--s.wait > 0) return 1;
      s.step = kStepResult;
      return 1;
    case kStepResult:
      Result(s);
      s.step = kStepFadeOut;
      return 1;
    default:  // the fade out
      mg_brightness(std::max(Brightness() - kFadeStep, 0));
      if (Brightness() > 0) return 1;
      mg_bgm_stop();
      mg_end();
      return 1;
  }
}
