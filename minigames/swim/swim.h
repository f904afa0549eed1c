#pragma once
// The swimming game (game row 1) and the test entry (game row 0): their game procedures and the
// swimming game's parts, which the procedure runs in order each step of the swim and tests call
// one by one.
//
// Swimming: the user swims a lane from the bottom of the pool to the heroine at its far end,
// stroking with the extra button (0x400), steering with left and right (or decide and cancel),
// past up to 50 obstacles. Free play (mode 1) shuffles the course and counts the time up (the
// ranking entry); the other modes run the fixed course against 1800 steps counted down.
// Test entry: a browser of the loaded od file's animations (object 100) and their number
// (object 1); decide pressed and released shows the next; it never ends by itself.

#include <cstdint>

#include "minigames/swim/swim_state.h"

int swim_proc(int state);
int test_proc(int state);

namespace swim {

// Objects.
constexpr int kObjSwimmer = 1;
constexpr int kObjSwimmerShadow = 2;
constexpr int kObjGoal = 3;
constexpr int kObjPool = 4;
constexpr int kObjTime = 8;
constexpr int kObjObstacleFirst = 20;  // 20-69
constexpr int kObjShadowFirst = 70;    // 70-119

// Animations of the swim od (pictures).
constexpr int32_t kPicStroke = 99;
constexpr int32_t kPicGlide = 110;
constexpr int32_t kPicKnocked = 192;
constexpr int32_t kPicAlert = 45;
constexpr int32_t kPicStruck = 50;
constexpr int32_t kPicPool = 1;
constexpr int32_t kPicGoalWaiting = 2;
constexpr int32_t kPicGoalTurned = 3;
constexpr int32_t kPicObstacleBase = 40;  // + kind 1-4
constexpr int32_t kPicDigits = 400;

constexpr int32_t kTimeLimit = 1800;
constexpr int32_t kTurnStep = 3;
constexpr int32_t kMaxHeading = 112;
constexpr int32_t kMaxScroll = 2000;
constexpr int32_t kKnockSteps = 20;

// Sounds.
constexpr const char* kSeSplash = "tamvik3\\se\\swim07.wav";
constexpr const char* kSeStroke = "tamvik3\\se\\swim08.wav";
constexpr const char* kSeStruck = "tamvik3\\se\\swim09.wav";
constexpr const char* kMusic = "tamvik1\\bgm\\davone.wav";
constexpr int kCheerCount = 9;
extern const char* const kCheers[kCheerCount];

// The course of a mode into the obstacle table (objects placed), the kind-3 rows laid out.
void BuildCourse(int mode);
// Adds one course entry (a kind-3 entry lays four obstacles); 0 when the table is full.
int AddEntry(int kind, int32_t x, int32_t y, int free_play);

// One step of the swimmer from a button word (new presses low, held bits high): the stroke,
// the turns, the decay of the speed and the motion, x held to 32..608.
void SwimmerStep(uint32_t keys);
// One step of every obstacle: its motion, the bob, kind 2's watch, the end of a struck one;
// with `strikes` set the strike test, which may start the knock-back. 1 when one struck.
int ObstaclesStep(int strikes);
// Starts the knock-back away from obstacle i (it becomes kind 5).
void Strike(int i);
// One knock-back step; 1 while it lasts.
int KnockbackStep();
// The shimmer's step (phase 0-6 and back every 12 steps, offset (phase + 3) x 3).
void ShimmerStep();
// The cheer: one of the nine at random when cheering is on and no voice plays.
void CheerStep();
// The view follows the swimmer: scroll = 384 - y, at most 2000.
void FollowSwimmer();
// Every object placed on screen at its pool position + the scroll.
void PlaceObjects();
// The result voice of an end: free play by the best ranking entry, else by the time left.
const char* ResultVoice(int mode, int32_t time);

}  // namespace swim
