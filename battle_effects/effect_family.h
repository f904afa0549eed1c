#pragma once
// The effect family: an attack played as a tree of effect tasks ("parts"), each with one work
// area, each telling its parent when it is done; Satan's attacks (battle_effects/satan.h) and the
// combination routines are built this way.
//
//   void Horns(SlgEffectTask* t) {
//     EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);   // null: it has ended itself
//     if (w == nullptr) return;
//     if (t->phase == 0) { ...play...; t->phase = 1; }             // set up, go on at once
//     if (SlgAnmObjIsEnd(&w->obj) != 0) { EffectSignalParent(*w, EffectSignal::kSubStep);
//                                         t->phase = 2; }          // ends on its next frame
//   }
//   EffectCreate(top, &Horns, "Satan::NormalAttack:Tsuno", at);
//
// Rules every part keeps:
// - Its work area (EffectWork) is taken as the part is made, zero-filled, in owned slot 0, with
//   its parent's identity and its start position; a part whose task or work area cannot be made
//   is not made at all (EffectCreate answers null, nothing is left), and its parent goes on as if
//   it had signalled.
// - It sets up in phase 0 and goes on to its first step in the same frame, runs in phase 1, and
//   ends in any later phase (SlgTaskStop's included), releasing its animation and the set it
//   holds (EffectEnd).
// - It signals by adding 1 to its parent's sub-step, state or task signal word, and only while
//   that parent lives: the parent is known by its record and an id its work area carries, so a
//   record that was ended (and perhaps reused by another task) is never written. A part whose
//   parent is gone ends itself on its next frame; so does a part that watches the stop word when
//   the word is set.
// - A top task's sub-step goes back to 0 whenever its part number (state) changes, whoever
//   changed it (EffectPartBegin compares it with the previous part number).

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_task.h"
#include "battle/slg_units.h"

struct SprAnm;

// The work area of every task of the family.
struct EffectWork {
  uint8_t anm;    // animation number (the star: its finished strokes)
  uint8_t state;  // a top task's part number; a part's own step
  uint8_t prev;   // the part number the sub-step belongs to
  uint8_t sub;    // sub-step, back to 0 when the part number changes
  SlgPair pos;    // 16.16 map pixels
  SlgPair start;
  SlgPair vel;  // 16.16 pixels a frame; a top task's camera slope
  SlgPair start_vel;
  int16_t depth;
  uint16_t angle;   // 512 steps
  uint16_t colour;  // 15-bit
  int32_t zoom;     // 16.16
  int32_t start_zoom;
  SlgAnmObj obj;  // the part's sprite
  SlgPoly poly;   // the part's polygon
  // The part's clock (game clock ms), its identity and its parent's, and the reference it holds
  // of the set it plays from.
  uint32_t start_ms;
  uint32_t mark_ms;  // a second clock (the critical-2 top task's scroll)
  uint32_t id;
  SlgEffectTask* parent;
  uint32_t parent_id;
  SprAnm* set;
  // The child the task waits for (EffectAwait).
  SlgEffectTask* child;
  uint32_t child_id;
  // The stop word the part watches (EffectWatch::kStop): null the family's; a part made under a
  // parent watches the parent's.
  const uint32_t* stop_word;
};

// The family's battle-wide words (Battle().Extension<EffectFamily>()).
struct EffectFamily {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  // 1 ends every part that watches it on its next frame; it holds 1 between attacks.
  uint32_t stop = 1;
  uint8_t beam_done = 0;    // the beam head has finished its travel
  uint32_t line_count = 0;  // numbers the line parts' names
  uint32_t dust_count = 0;  // numbers the dust parts' names
  uint32_t next_id = 0;     // the last work area's id
};
EffectFamily& Family();

// What a part ends on besides its own phase: its parent's end, and also the stop word (the
// family's, or the one its work area names).
enum class EffectWatch : uint8_t { kParent, kStop };
// Where a signal goes in the parent.
enum class EffectSignal : uint8_t { kSubStep, kState, kWord };

// The task's work area (owned slot 0); null when it has none.
EffectWork* EffectWorkOf(SlgEffectTask* task);

// A part of `parent` (null: a top task, under the battle's task owner) running `body`, named
// `name`, with its work area, its parent's identity, pos = start = `at` and its clock started.
// Null, with nothing left, when the task or its work area cannot be made.
SlgEffectTask* EffectCreate(SlgEffectTask* parent, SlgBody body, const char* name,
                            const SlgPair& at = {});
// Whether the task lives and is the one whose work area had `id` (a record is never read before
// it is known to live).
bool EffectTaskIs(const SlgEffectTask* task, uint32_t id);
// The parent's work area while the parent lives; null when it has ended (or for a top task).
EffectWork* EffectParent(const EffectWork& work);
// Adds 1 to the parent's sub-step, state or signal word; nothing when the parent has ended.
void EffectSignalParent(const EffectWork& work, EffectSignal what);

// Keeps the child as the one the task watches (EffectTaskIs with its id); null keeps none.
void EffectKeepChild(EffectWork& work, SlgEffectTask* child);
// Waiting for one child's signal on the sub-step: EffectAwait after making it moves the sub-step
// on by 1 (the child's signal brings the next), or by 2 when it could not be made;
// EffectAwaitGone moves it on by 1 when the child has ended without its signal (ended from
// outside, or by the stop word), so that the parent never waits for a part that is gone.
void EffectAwait(EffectWork& work, SlgEffectTask* child);
void EffectAwaitGone(EffectWork& work, uint8_t waiting_sub);

// The start of a part's frame: its work area, or null when the part has ended itself (no work
// area; its parent gone; the stop word, when it watches it). A top task (no parent) also has its
// sub-step reset here when its part number changed.
EffectWork* EffectPartBegin(SlgEffectTask* task, EffectWatch watch);
// Whether EffectPartBegin would end the part this frame (a later phase, its parent gone, the stop
// word when it watches it): a part holding sprites of its own gives them back first.
bool EffectPartEnds(const SlgEffectTask* task, const EffectWork& work, EffectWatch watch);
// Releases the part's animation and its set, then ends the task (the record is gone).
void EffectEnd(SlgEffectTask* task);

// Frames since the part's clock started, 60 a second toward zero, at the task's `now`; and the
// clock started again now.
int32_t EffectFrames(const SlgEffectTask* task, const EffectWork& work);
void EffectRestart(const SlgEffectTask* task, EffectWork& work);

// The drawing position of a map position (16.16 map pixels): (map - scroll - (320, 240)) in
// whole pixels, as 16.16.
SlgPair EffectScreenPos(const SlgPair& map);

// Plays animation n of `set` on the part's object at the screen position of its `pos`, at its
// depth, looping for mode 0, once (held at its end, the handle cleared by the engine) for mode 1;
// the part holds a reference of the set until its end. False when nothing started (no set, or
// the animation could not start): a part that waits for the end goes on at once.
bool EffectPlay(EffectWork& work, SprAnm* set, uint32_t n, uint8_t mode);
// The object to the screen position of its `pos` (a part that follows the scroll).
void EffectPlace(EffectWork& work);
