#pragma once
// The state of the shared unit effects (battle_events/runtime/shared_effects.h), data only.
//
// The three per-frame effects (the two falling-sprite bursts and the flash) run one instance
// each: their work hangs from SharedEffectsState, the events' extension state block of the
// battle (Battle().Extension<SharedEffectsState>()), and whoever calls the step while an
// instance runs drives that instance. The works are SlgAlloc blocks; their objects come from the
// animation-object pool. The block lives for one stage: a stage switch or a retry tears the
// battle's sprites and pool down, so the works go with it (their memory given back, their
// objects already cleared with the pool).
//
// The jump and the stop dust are effect tasks; their works (JumpWork, StopWork) are the tasks'
// slot-0 areas (SlgTaskCreateWork).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"

struct SlgAllocSeam;
struct SlgAnmObj;

constexpr int kFallParticles = 34;
constexpr int kFall2Particles = 20;

// A particle of the first burst. It waits `delay` frames from the effect's start, then flies
// from its start radius into the point above the unit (rising), then drops from there (falling)
// until it is released.
struct FallParticle {
  SlgAnmObj* obj;  // null once released (or when the pool had none for it)
  int32_t delay;   // frames from the effect's start; renewed when it starts to fall
  int32_t speed;   // 16.16 pixels a frame, negative
  int32_t angle;   // 512 steps a turn
  int32_t start;   // 16.16: the start radius while rising, the start height while falling
  int32_t zoom;    // 16.16
  uint8_t phase;   // kFallRising or kFallFalling
};
constexpr uint8_t kFallRising = 0;
constexpr uint8_t kFallFalling = 1;

struct FallWork {
  SlgAnmObj* main;  // the burst itself; null once it has ended
  std::array<FallParticle, kFallParticles> particles;
  uint32_t start;  // game clock (ms) of the first call
};

// A particle of the second burst: it circles the unit on a flat ring while it rises, until it
// leaves the drawing margin.
struct Fall2Particle {
  SlgAnmObj* obj;         // null once released
  int32_t angle;          // start angle (512 steps)
  int32_t angular_speed;  // steps a frame, either sign
  int32_t rise_speed;     // 16.16 pixels a frame, negative (upward)
  int32_t delay;          // frames from the effect's start
  int32_t start;          // 16.16 start height offset
};

struct Fall2Work {
  std::array<SlgAnmObj*, 2> main;  // behind and in front of the unit; null once released
  uint32_t loop_limit;             // the main objects' loops before they go
  std::array<Fall2Particle, kFall2Particles> particles;
  int32_t depth;   // the unit's body depth at the start: the ring's depths follow from it
  uint32_t start;  // game clock (ms) of the first call
};

struct SharedEffectsState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;

  SharedEffectsState() = default;
  // Gives the works back through `seam` (no battle need be current); their objects are left to
  // the pool.
  ~SharedEffectsState();
  SharedEffectsState(const SharedEffectsState&) = delete;
  SharedEffectsState& operator=(const SharedEffectsState&) = delete;

  FallWork* fall = nullptr;
  Fall2Work* fall2 = nullptr;
  SlgAnmObj* flash = nullptr;     // the flash's one object is its whole work
  SlgAllocSeam* seam = nullptr;   // the allocator the works came from
};

// The battle record a task keeps its unit by: the slot and who stood in it. Records move down
// when a unit is removed, so the slot alone (or a pointer) may name another unit later.
struct SlgUnitRef {
  uint8_t slot;
  uint8_t kind;
  uint8_t side;
  uint8_t character;
  uint8_t entry;
};

// The jump task's work.
struct JumpWork {
  std::array<SlgAnmObj*, 2> dust;  // the landing dust, behind and in front
  SlgUnitRef unit;
  int32_t floor;     // 16.16 lift it lands on
  int32_t start_x;   // the unit's x at the start: the horizontal hold is 48 pixels from it
  int32_t gravity;   // 16.16 pixels a frame a frame
  int64_t speed;     // 16.16 pixels a frame, up positive
  int64_t lift;      // 16.16 current height above the ground
  int32_t frames;      // frames integrated so far (of the task's frame count)
  int32_t peak_frame;  // the frame the falling phase began (the speed fell below 1)
  int64_t peak_lift;   // the lift then
};

// The stop task's work.
struct StopWork {
  std::array<SlgAnmObj*, 2> dust;  // in front and behind
  SlgUnitRef unit;
};
