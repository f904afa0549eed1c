#pragma once
// The frame the boss families' attack routines share (kinds 23-30): where a routine keeps its step
// and its work, how it takes and gives back its two unit animations and its object lists, and the
// pieces of the special attack's shape (the scene on the backgrounds, the return to the map, the
// end) and of the normal attack's (body and swings by direction).
//
// A boss routine is a timeline (battle_effects/step_timeline.h) over a work type that starts with
// BossBase; its step is the state byte of the unit's own body object (unit.anm->state, which
// SetUnitState clears with the unit's step, and which the attack state reads to hide the body
// once the routine has started). Each family keeps one BossRecord per routine in its own battle
// block (Battle().Extension<FamilyWork>()); only one boss attack runs at a time.
//
//   struct SwingWork : BossBase { SlgAnmObj* body[1]; };
//   int Begin(SwingWork& w) {
//     if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;  // EndAttack done
//     if (!BossAllocObjs(w, {{w.body, 1}})) return kTimelineStop;
//     BossPlayDir(w.body[0], w.anms.body, {{1, 0, 0, 1}, 0}, w, kSlgAnmOnce);
//     return kTimelineNextRow;
//   }
//   int Finish(SwingWork& w) {
//     BossFreeObjs({{w.body, 1}});
//     BossFinish(w, 0);  // state 7
//     return kTimelineStop;
//   }
//   constexpr TimelineRow<SwingWork> kSwing[] = {
//       {TimelineWait<SwingWork>::AtOnce(), &Begin},
//       {TimelineWait<SwingWork>::AnmEnd([](SwingWork& w) { return w.body[0]; }), &Finish},
//   };
//   void NormalAttack(SlgUnit& unit, SlgPair& pos) {
//     RunBossTimeline(kSwing, unit, pos, Battle().Extension<FamilyWork>().normal);
//   }
//
// Failure: a missing unit animation or a refused object list ends the attack on its first call
// (EndAttack) with everything taken given back; a missing background leaves its sprite or line
// scroll out and the scene plays without it.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "battle/battle_extension.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/pixels/blend_blit.h"

struct SlgEffectTask;
struct SprAnm;
struct SprBufferEntry;
struct SprRec;

// ---- Work and step ----

// The routine's two unit animations: slots 5 and 6 (normal) or 7 and 8 (special).
struct BossAnms {
  SprAnm* body = nullptr;
  SprAnm* effect = nullptr;
};

// What every boss routine's work starts with. RunBossTimeline sets unit and pos at each call.
struct BossBase {
  SlgUnit* unit;  // the acting unit
  SlgPair pos;    // its drawing position (16.16 about the screen centre), following the camera
  BossAnms anms;
};

// One routine's record in its family's battle block: the work (zeroed at step 0) and the clock
// of the current step (its start time).
template <class W>
struct BossRecord {
  W work;
  StepClock clock;
};

// A boss family's battle block: one record for each of its two routines. Each family's work types
// are its own, so each family gets a block of its own from the battle's extension state.
template <class Special, class Normal>
struct BossFamilyWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  BossRecord<Special> special;
  BossRecord<Normal> normal;
};

// The step byte of a boss routine: the unit's own body object's state byte; null without one.
uint8_t* BossStep(SlgUnit& unit);
// A unit without a body object keeps no step: traced ("<kind>: no body object ..."), EndAttack.
void BossNoStep(SlgUnit& unit);

// One call of a boss routine: at step 0 the record is zeroed first; the work gets the unit and
// its position; then one call of the timeline on the unit's step byte. Its answer.
template <class W>
int RunBossTimeline(std::span<const TimelineRow<W>> rows, SlgUnit& unit, const SlgPair& pos,
                    BossRecord<W>& record) {
  uint8_t* step = BossStep(unit);
  if (step == nullptr) {
    BossNoStep(unit);
    return kTimelineStop;
  }
  if (*step == 0) record = BossRecord<W>{};
  record.work.unit = &unit;
  record.work.pos = pos;
  return RunTimeline(rows, *step, record.clock, record.work);
}
template <class W, size_t N>
int RunBossTimeline(const TimelineRow<W> (&rows)[N], SlgUnit& unit, const SlgPair& pos,
                    BossRecord<W>& record) {
  return RunBossTimeline(std::span<const TimelineRow<W>>(rows, N), unit, pos, record);
}

// ---- Taking and giving back ----

enum class BossAttack : uint8_t { kNormal, kSpecial };

// Slots 5 and 6 (normal) or 7 and 8 (special) of the unit's kind into w.anms. When either is
// missing: both released, EndAttack, false (the routine stops).
bool BossTakeAnms(BossBase& w, BossAttack attack);
// Releases both animations (null ones skipped) and clears them.
void BossReleaseAnms(BossAnms& anms);

// An object list: `count` entries of an array in the work.
struct BossObjList {
  SlgAnmObj** objs;
  int count;
};
// Every list's objects (AllocAnimeObjs, zeroed), all or none: when one is refused, the lists
// already made are freed, both animations released, EndAttack, false.
bool BossAllocObjs(BossBase& w, std::span<const BossObjList> lists);
bool BossAllocObjs(BossBase& w, std::initializer_list<BossObjList> lists);
// Releases each object's animation and frees it (FreeAnimeObjs); the entries are cleared.
void BossFreeObjs(std::span<const BossObjList> lists);
void BossFreeObjs(std::initializer_list<BossObjList> lists);

// The end of every boss routine: both animations released, the event flag set (0: none), unit
// state 7. The caller has freed its lists.
void BossFinish(BossBase& w, uint32_t event_flag);

// ---- Playing and placing ----

// The unit's depth (its body object's; from its map position without one) and attribute word
// (its body object's mirroring; 0 without one).
int16_t BossUnitDepth(const SlgUnit& unit);
uint16_t BossUnitAttr(const SlgUnit& unit);
// The drawing position of a unit on the map (Slg::PosToScreen of its map position).
SlgPair BossUnitScreen(const SlgUnit& unit);

// The attacked unit: the slot byte after the attack type (stats.action_bytes[0]) when it names a
// unit in use that is in the damage list; otherwise the first target; with no target the acting
// unit itself. (The byte is also the power byte of the attack's formula, so it is only trusted
// when it names a target.)
const SlgUnit& BossAttackedUnit(const SlgUnit& acting);
// The targets of the damage list: its entries before the first -1, at most kSlgMaxUnits.
int BossListedTargets();
// A random screen point (x -320..319, y -240..239 pixels) as a drawing position: two SlgRand
// draws, x first.
SlgPair BossRandomScreenPoint();

// Plays animation n of the set on the object at a drawing position and depth, with an attribute
// word and a play mode (0 loops; kSlgAnmOnce; kSlgAnmStartStopped), on surface 4. The handle.
AnimeHandle BossPlay(SlgAnmObj* obj, SprAnm* set, uint32_t n, const SlgPair& at, int depth,
                     uint16_t attr, uint8_t mode);
// A row of a direction table: the animation for directions 0-3 and a depth offset from the unit.
struct BossDirAnm {
  std::array<uint8_t, 4> anm;
  int8_t depth;
};
// The row's animation for the unit's direction at the unit's drawing position, depth unit +
// offset, with the unit's attribute word.
AnimeHandle BossPlayDir(SlgAnmObj* obj, SprAnm* set, const BossDirAnm& row, const BossBase& w,
                        uint8_t mode);
// The object (and its animation) moved to a drawing position.
void BossFollow(SlgAnmObj* obj, const SlgPair& at);
// Starts an object made stopped and hidden (mode kSlgAnmStartStopped): its animation runs and
// its current frame is drawn again.
void BossStartObj(SlgAnmObj* obj);
// Releases the object's animation (the object stays).
void BossRelease(SlgAnmObj* obj);
// 1 when every object of the list has ended or has no animation (SlgAnmObjIsEnd).
int BossObjsEnded(std::span<SlgAnmObj* const> objs);

// ---- The special attack's shape ----

// What differs between the families' special attacks.
struct BossSpecialShape {
  int layer_mode = 2;       // SlgLayerOn(4, layer_mode) at the set-up
  int enter_fade = 32;      // SlgFadeIn frames as the scene opens (0: at once)
  int return_fade = 32;     // SlgWhiteIn frames as the map comes back (0: the family's own)
  uint32_t event_flag = 0;  // set at the end (0: none)
};

// A background picture cut into a sprite and the sprite-buffer entry that shows it.
struct BossPicture {
  SprRec* sprite = nullptr;
  SprBufferEntry* entry = nullptr;
};
// Picture n of the unit's attack backgrounds (LoadAttackBg) onto a surface, its rectangle cut
// into a sprite whose home is its top-left corner or, centred, its centre. False (traced,
// nothing kept) when the picture is missing.
bool BossCutPicture(const SlgUnit& unit, int picture, SurfaceId surface, bool centred,
                    BossPicture& out);
// Shows the sprite on surface 4 at pixel (x, y), depth (replacing a previous entry); nothing
// without a sprite.
void BossShowPicture(BossPicture& picture, int x, int y, int depth);
// Deletes the entry and the sprite.
void BossDeletePicture(BossPicture& picture);

// A line scroll (the strip wave, battle/slg_strip_wave.h) over a background band.
struct BossLineScroll {
  SurfaceId source = SURFACE_SCRATCH;
  int32_t x_offset = 0;
  int32_t top = 0;
  int32_t width = 640;
  int32_t band_height = 480;
  int32_t strip_height = 2;
  SurfaceId dest = SURFACE_ROOT;
  int32_t mode = 0;
  int32_t depth = 511;
  int32_t amp_start = 0, amp_limit = 0, amp_growth = 0;  // 16.16 pixels
  int32_t step_strip = 4, step_frame = 4;
  int32_t scroll_band = 0, scroll_wrap = 0, scroll_speed = 0;  // band 0: no scroll set
  BlendWord alpha = 256;
};
// Picture n onto the scroll's source surface, then the task `name` ("<Boss>::LineScroll") with
// the settings, left waiting (SlgTaskNextPhase starts it). Null (traced) when the picture is
// missing or the task is refused: the scene plays without it.
SlgEffectTask* BossLineScrollStart(const SlgUnit& unit, int picture, const char* name,
                                   const BossLineScroll& scroll);
// The same for a band whose strips reach past the screen-sized source surface (width + 2 x
// x_offset across, band_height + top lines down): the surface takes that size for the cut (the
// strips keep copies of their lines) and is given back at once, so every strip is made.
SlgEffectTask* BossWideLineScrollStart(const SlgUnit& unit, int picture, const char* name,
                                       const BossLineScroll& scroll);

// The set-up's end: layer 4 on (SlgLayerOn(4, layer_mode)) and the unit's attack voice.
void BossSceneOn(const BossBase& w, const BossSpecialShape& shape);
// The scene opens: SlgFlags bits 1-2 cleared, the targets hidden, the boss shadow switch 0 (the
// bosses draw no shadow while the scene covers the map), SlgFadeIn(enter_fade).
void BossEnterScene(const BossSpecialShape& shape);
// The return to the map: the layers restored, the line scroll stopped (it ends itself; the
// pointer is cleared), the flagged units shown, SlgFlags bits 1-2 set, the targets shown, and
// SlgWhiteIn(return_fade) when it is not 0. The boss shadow stays off until BossShadowOn.
void BossReturnToMap(const BossSpecialShape& shape, SlgEffectTask*& line_scroll);
// The boss shadow switch back to 1.
void BossShadowOn();
