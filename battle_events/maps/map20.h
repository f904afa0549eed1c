#pragma once
// Map 20's event script: the battle against the boss of kind 33, whose body carries effect tasks
// of the map's own at fixed map positions: the horns, the weak point, a crackle of energy and,
// later, a jewel that bursts into 30 fragments, and the horn explosion with its pieces. The
// opening shows the party's figures and a background picture over the faded map plane; each time
// the boss's life falls to 75 %, 50 % and 25 % a short scene raises the weak point and the
// crackle one stage (the jewel breaks out at 50 %, the horns blow off at 25 %); at life 0 the
// victory removes the boss units, plays a full-screen movie and wins the battle.
//
// The boss tasks (map20_boss.cpp) keep their map position in 8.8 fixed point and their EventAnm
// animation in a work block of their record's owned slot 0. Each one ends itself on its first
// frame that finds no event table; the events' teardown (EndEventCheck, which the battle's end
// and a stage switch run before ending every battle task) releases and ends those still running,
// so none of their animations outlives the battle.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_anm_obj.h"
#include "battle_events/map_setup.h"

struct SlgEffectTask;
struct SprAnm;

// The tasks' names (the "is it running" look-ups find them by these).
inline constexpr const char* kMap20HornsTask = "Slg::Map20:SatanTsuno";
inline constexpr const char* kMap20WeakTask = "Slg::Map20:SatanJakuten";
inline constexpr const char* kMap20CrackleTask = "Slg::Map20:BachiBachi";
inline constexpr const char* kMap20JewelTask = "Slg::Map20:SatanHouseki";
inline constexpr const char* kMap20FragmentTask = "Slg::Satan::HousekiHahen";
inline constexpr const char* kMap20ExplosionTask = "Slg::Map20:SatanTsunoBakuhatsu";
inline constexpr const char* kMap20PiecesTask = "Slg::Satan::TsunoBakuhatu";

// The jewel's fragments and the frame of the jewel's life they appear on.
constexpr int kMap20Fragments = 30;
constexpr int32_t kMap20FragmentFrame = 46;
// The horn explosion's fall (frames).
constexpr int32_t kMap20FallFrames = 40;
// The partner heroine's story variable.
constexpr int kMap20PartnerVar = 83;
// The battle flag word's bits: 0x20 hides the boss tasks (a movie, a stage switch's fade), 0x80
// is set while the opening's background picture is shown.
constexpr uint16_t kMap20HideBit = 0x20;
constexpr uint16_t kMap20PictureBit = 0x80;
// Boss tasks the map keeps track of at once (six single tasks and the fragments, with room).
constexpr int kMap20TaskSlots = 48;

struct Map20Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The partner heroine's character (Map20Partner of P[83]).
  int32_t partner = 0;
  // The stage bytes the scenes raise (0-3) and the last value each task has seen.
  uint8_t weak_stage = 0;
  uint8_t weak_seen = 0;
  uint8_t crackle_stage = 0;
  uint8_t crackle_seen = 0;
  // The tasks the later scenes end (null once a task has ended).
  SlgEffectTask* horns = nullptr;
  SlgEffectTask* crackle = nullptr;
  SlgEffectTask* weak = nullptr;
  SlgEffectTask* jewel = nullptr;
  // Frames of the 50 % scene's wait (SE 291 on the 15th).
  int32_t jewel_frames = 0;
  // 1 while the opening's background picture is shown.
  int32_t picture = 0;
  // Every boss task that holds an animation, so that the teardown releases them.
  std::array<SlgEffectTask*, kMap20TaskSlots> live{};
};
Map20Words& Map20State();

// P[83] to the partner's character: 1 -> 1, 2 -> 2, 3 -> 3, 4 -> 6, 5 -> 4, 6 -> 5, else 1.
int32_t Map20Partner(int32_t p83);
// The still frame of the standing figures (kinds 87-93) by character byte: frames 0-6 for
// characters 0-6; a byte outside the table (stage data) shows frame 0.
int32_t Map20StillFrame(uint32_t character);

// A jewel fragment's flight: position (8.8 map pixels), speed (8.8 pixels a frame) and zoom
// (16.16), and whether the speed is used up.
struct Map20Flight {
  int32_t x = 0;
  int32_t y = 0;
  int32_t speed = 0;
  int32_t zoom = 0;
  bool ended = false;
};
// The flight `frames` frames after `start` in direction `direction` (512 steps): each frame the
// position moves by (cos x speed) >> 14 and (sin x speed) >> 14, the zoom falls by 1024 and the
// speed by 128; it stops on the frame the speed reaches 0 or less.
Map20Flight Map20FragmentFlight(const Map20Flight& start, int32_t direction, int32_t frames);

// A boss task's work block (its owned slot 0, from SlgAlloc, made on its first frame).
struct Map20BossWork {
  SprAnm* anm;  // the EventAnm animation
  SlgAnmObj obj;
  int32_t x;  // 8.8 map pixels
  int32_t y;
  int32_t hidden;  // 1 while bit 0x20 of the flag word hides it
  int32_t begun;   // the first step has run (a fragment's start saved, the pieces started)
  int32_t burst;   // the jewel: its fragments made
  int32_t rested;  // the jewel: switched to its second animation
  // A fragment's direction (512 steps), its flight now and at its start.
  int32_t direction;
  Map20Flight flight;
  Map20Flight start;
};
// The task's work block; null for null or before its first frame.
Map20BossWork* Map20WorkOf(SlgEffectTask* task);

// The boss tasks (map20_boss.cpp). Each start makes the task under the battle's task owner and
// answers its record (null when it could not be made, traced).
SlgEffectTask* Map20StartHorns();
SlgEffectTask* Map20StartWeakPoint();
SlgEffectTask* Map20StartCrackle();
SlgEffectTask* Map20StartJewel();
SlgEffectTask* Map20StartExplosion();
// Asks a kept task to end (phase 100); nothing for null or a task no longer running.
void Map20StopTask(SlgEffectTask* task);
// Releases the animation of every boss task still running and ends it (the events' teardown).
void Map20EndBossTasks();
// How many boss tasks hold an animation now.
int Map20LiveTasks();

// The map's set-up (row 19 of the map set-up table).
extern const MapSetup kMap20Setup;

// The number of event-object kinds the map's event-animation table covers (80-94).
constexpr int kMap20ObjectKinds = 15;
