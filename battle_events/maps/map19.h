#pragma once
// Map 19's event script: the duel map the story visits twice. On the first visit (P[73] not 1)
// the hero and one partner heroine face the boss of kind 31; the opening is a long scene with
// three timed choices in which the boss (group 2, character 16) strikes the hero down to fixed
// fractions of his life and the partner is taken away. Once that boss falls the second scene
// finishes it, the boss of kind 32 arrives through a teleport figure (object 87, on phase word B)
// and its fall wins the battle and sets P[73] := 1. On the return visit (P[73] 1) the party
// gathers, seven figures appear and a movie leads to stage 19. The partner (P[83]) picks the
// parallel lines each scene shows. Fixed sprites: five repeating one-shots and 24 drifting ones.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"

// The beam figure's run (object 80): waiting for phase word A, vanishing, paused, reappearing,
// under the tone change, done.
enum class Map19BeamPhase : uint8_t { kWaiting, kVanishing, kPaused, kReappearing, kTone, kDone };

// A beam figure's zoom run: the step value s and where and when the current run began.
struct Map19Beam {
  int32_t step = 0;        // s, 16.16
  int32_t saved_step = 0;  // s where the current run began
  int32_t start = 0;       // the body clock's frame count then
};

// Phase word B between the second phase's scenes (1, 3, 5, 7) and object 87 (2, 4, 6, 8).
enum Map19PhaseB : int32_t {
  kMap19BVanish = 1,
  kMap19BVanished = 2,
  kMap19BAppear = 3,
  kMap19BAppeared = 4,
  kMap19BMove = 5,
  kMap19BMoved = 6,
  kMap19BLeave = 7,
  kMap19BLeft = 8,
};

// One drifting sprite: its start, height A, speed (16.16 a frame), lifetime, the two jitters,
// the wave's start angle and height W (pixels), the start frame on its task's clock.
struct Map19Drift {
  int32_t x0 = 0;  // 16.16 map position
  int32_t y0 = 0;
  int32_t height = 0;
  int32_t speed = 0;
  int32_t life = 0;
  int32_t jitter_x = 0;
  int32_t jitter_y = 0;
  int32_t angle = 0;
  int32_t wave = 0;
  int32_t start = 0;
};
// Where a drifting sprite stands t frames after its start (16.16 map position).
struct Map19Point {
  int32_t x;
  int32_t y;
};
Map19Point Map19DriftPos(const Map19Drift& d, int32_t t);
constexpr int kMap19Drifts = 24;

// The map's words: zero at battle start.
struct Map19Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The partner heroine (1-6), read again on the first step of each scene.
  int32_t partner = 0;
  // Phase word A (the opening writes 1) and the end word A2 (object 80 writes 1).
  int32_t phase_a = 0;
  int32_t end_a2 = 0;
  // The last tone change's result, which objects 81 and 88 wait for.
  int32_t tone_result = 0;
  // 1 once object 82 (or 89) has played.
  int32_t object82 = 0;
  // Phase word B of the second phase and the victory.
  int32_t phase_b = 0;
  // The return visit's done words, one per heroine 0-6.
  std::array<int32_t, 7> done{};
  // The strike in progress: its phase and the frames it has waited for the attacker.
  int32_t strike_phase = 0;
  int32_t strike_wait = 0;
  // 1 while the opening waits for its SE 404 to end.
  int32_t se_wait = 0;
  // Object 80's run and phase; object 87's.
  Map19Beam beam{};
  Map19BeamPhase beam_phase = Map19BeamPhase::kWaiting;
  Map19Beam figure{};
  int32_t figure_phase = 0;
  // A custom step's sub-phase and frame count (the second scene's taken-away part).
  int32_t sub = 0;
  int32_t sub_frames = 0;
  std::array<Map19Drift, kMap19Drifts> drifts{};
};
Map19Words& Map19State();

// The zoom pair of the beam at step value s (16.16): x = 1.0 - 2s, y = 1.0 + 16s.
struct Map19Zoom {
  int32_t x;
  int32_t y;
};
constexpr Map19Zoom Map19BeamZoom(int32_t s) { return {0x10000 - 2 * s, 0x10000 + 16 * s}; }

// The partner heroine's character for P[83] (1 for 0 and for values past 6).
int32_t Map19Partner();

// The map's set-up (row 18 of the map set-up table).
extern const MapSetup kMap19Setup;

// The number of event-object kinds the map's event-animation table covers (80-111).
constexpr int kMap19ObjectKinds = 32;
