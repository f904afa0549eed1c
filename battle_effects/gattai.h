#pragma once
// The combination attack (attack type 5): the hero and one heroine attacking together. Every
// heroine kind's combination row runs GattaiAction (battle_effects/attack_routines.h), which
// builds the damage list, freezes the battle (events held, music at 50, SlgFlags bit 7), plays
// one of two openings, hands the screen to the heroine's own routine (the task
// "Gattai::EachCharacter", chosen by the combination character byte), plays the closing (two
// growing rings, then a flash) and gives the battle back in state 7.
//
//   opening A (characters 0-2, 4, 5): the body animation; a still of the screen in front of the
//     map, sparkles every 8 frames while the heroine routine runs; the closing over the still.
//   opening B (characters 3, 6): the body animation; a 48-frame fade to black; the heroine
//     routine; 5 frames; the units and the map back, then the closing.
//
// The heroine routines share one frame (GattaiCharacterStep, below): each is a GattaiCharacter
// description and a task body that calls the frame with it.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_task.h"
#include "battle/slg_units.h"
#include "battle_effects/boss_frame.h"
#include "engine/gfx/gfx_types.h"

struct EffectWork;
struct SlgAttackCtx;
struct SprAnm;
struct SprBufferEntry;
struct SprRec;

constexpr int kGattaiCharacters = 7;
// The stop words: one per heroine family, and one the test routines use.
constexpr int kGattaiFamilies = 8;

// The one combination attack's block (Battle().Extension<GattaiWork>()).
struct GattaiWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  // ---- The attack (cleared at its step 0) ----
  SlgAttackCtx* ctx = nullptr;
  SlgUnit* unit = nullptr;
  int32_t x_offset = 0;  // 16.16: object 1 stands this far right of pos
  SlgPair midpoint{};    // between the two objects; the closing effects start there
  uint32_t start_ms = 0;
  SprRec* still_spr = nullptr;  // opening A's still of the screen
  SprBufferEntry* still_entry = nullptr;
  int saved_clear_flag = 0;
  uint32_t saved_busy = 0;
  int32_t sparkle_count = 0;
  int32_t ring_count = 0;
  int8_t rings_done = 0;
  uint8_t flash_done = 0;
  uint8_t each_done = 0;     // the heroine routine's part has ended
  uint8_t window_close = 0;  // the heroine routine asks the letterbox to close
  SlgEffectTask* character_task = nullptr;  // the heroine routine while it runs
  uint32_t character_id = 0;
  SprRec* window_spr = nullptr;
  SprBufferEntry* bar_top = nullptr;
  SprBufferEntry* bar_bottom = nullptr;

  // ---- Kept across attacks ----
  // The heroine routine of each combination character (tests put their own here).
  std::array<SlgBody, kGattaiCharacters> table = DefaultTable();
  // Each family's stop word: 1 ends its effect tasks that watch it; 1 between attacks.
  std::array<uint32_t, kGattaiFamilies> stop = {1, 1, 1, 1, 1, 1, 1, 1};

  static std::array<SlgBody, kGattaiCharacters> DefaultTable();
};
GattaiWork& Gattai();

// Whether character byte c plays opening B (the fade to black); false outside the table.
bool GattaiOpeningB(int character);

// ---- The heroine-routine frame ----
//
// Steps of "Gattai::EachCharacter" (its phase):
//   0  the family's stop word := 0
//   1  set-up: the letterbox window task (when the routine names one) under this task, the
//      routine's own start (its tasks watching the stop word), its UnitAnm slots of the
//      attacker's kind, its GATTAI_BG pictures as sprites (a picture that does not load stays
//      none), SlgLayerOn(4, 2) when it asks; a missing slot goes straight to the end. BRISE's
//      voice plays here, the others' in step 2.
//   2  the voice (SelectUnitVoice, PlayUnitVoice)
//   4  the routine's states, one call a frame, until it answers true; the top task's work
//      (EffectWork: state, prev, sub) resets the sub-state when the state changes and restarts
//      the clock (EffectFrames) whenever the sub-state changes
//   5  the stop word := 1; 6; 7 the end: the routine's release, the slots and pictures given
//      back, the layers restored (when turned on), the task ended, windowClose := 1,
//      eachDone := 1. Every end sets the stop word, so tasks that end only on it never run on.

constexpr int kGattaiSlots = 4;
constexpr int kGattaiPictures = 2;

// The frame's own record of a heroine routine (owned slot 1 of its task).
struct GattaiFrame {
  std::array<SprAnm*, kGattaiSlots> anms;  // the routine's slots, in its order
  std::array<BossPicture, kGattaiPictures> pictures;
  uint8_t prev_sub;
  uint8_t layer_on;
  SlgEffectTask* window;  // the letterbox task it started (it ends by itself)
  void* user;             // the routine's own block
};

struct GattaiCharacter {
  const char* name;                 // for traces: "GattaiTamvik"
  int family;                       // its stop word (0 .. kGattaiFamilies - 1)
  const char* window;               // the letterbox task's name; null: none
  std::array<int8_t, kGattaiSlots> slots;  // UnitAnm slots, -1 unused
  int pictures;                     // GATTAI_BG pictures 0 .. pictures - 1 as sprites
  SurfaceId picture_surface;        // where they are loaded
  bool layer_on;                    // SlgLayerOn(4, 2) at the set-up
  bool voice_at_setup;              // the voice plays in step 1's call
  // Step 1, before the slots: the routine's own start (its tasks); may be null.
  void (*start)(SlgEffectTask* task, EffectWork& work, GattaiFrame& frame);
  // Step 4: one call a frame; true when its states are over.
  bool (*states)(SlgEffectTask* task, EffectWork& work, GattaiFrame& frame);
  // The end, before the frame's releases; may be null.
  void (*release)(GattaiFrame& frame);
};

// One frame of the routine task; the routine's body calls it with its description.
void GattaiCharacterStep(SlgEffectTask* task, const GattaiCharacter& routine);
// Frames on the sub-state's clock.
int32_t GattaiSubFrames(const SlgEffectTask* task, const EffectWork& work);

// ---- Pieces the heroine routines share ----

// Plays animation n of `set` on the part's object at its position (16.16 about the screen
// centre) and depth, looping for mode 0 (kSlgAnmOnce: once; kSlgAnmStartStopped: stopped); the
// part holds a reference of the set until its end. Nothing without a set.
void GattaiPlay(EffectWork& work, SprAnm* set, uint32_t n, uint8_t mode);
// The part's object and its sprite to the part's position.
void GattaiPlace(EffectWork& work);
// A part of `parent` named `base` with `number` appended, at `at`, its index byte `index`; null
// when it cannot be made.
SlgEffectTask* GattaiPart(SlgEffectTask* parent, SlgBody body, const char* base, int number,
                          uint8_t index, const SlgPair& at);
// Frames since `start_ms` at the task's frame (60 a second, toward zero).
int32_t GattaiFramesSince(const SlgEffectTask* task, uint32_t start_ms);

// The heroine routines ("Gattai::EachCharacter" bodies): TAMVIK's (characters 0 and 1,
// battle_effects/gattai_tamvik.h), DAVONE's (character 2, battle_effects/gattai_davone.h),
// LUNET's (character 3, battle_effects/gattai_lunet.h) and YSOL's (character 4,
// battle_effects/gattai_ysol.h).
void GattaiTamvik(SlgEffectTask* task);
void GattaiDavone(SlgEffectTask* task);
void GattaiLunet(SlgEffectTask* task);
void GattaiYsol(SlgEffectTask* task);

// The letterbox window ("Gattai::Window"): two 64-pixel black bars slide in from above and below
// over 32 frames, stay until windowClose, slide out over 32 frames and end. Started by the frame
// under the routine task; windowClose is cleared at its start only while that routine lives.
void GattaiWindow(SlgEffectTask* task);
