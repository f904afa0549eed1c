#pragma once
// The attack frame every attack runs through (data: battle/slg_attack_state.h).
//
// Road of one attack: the attack command marks who is hit (battle/slg_hits.h) and puts the
// attacker into state 5; a lead-in builds the damage list and brings it into state 6;
// Slg::AttackState calls the kind's routine from Battle().action_table every frame of state 6
// (an empty row ends the attack at once); the routine ends with EndAttack (state 7); an end
// shows one damage gauge per target through the sequence "TamvikSlgFunc::DamageGage" and returns
// the unit to state 0.
//
// Every entry point takes (unit, pos): the attacker and its sprite position (16.16 about the
// screen centre), called once a frame by the unit's state handler. Frames count at 60 per second
// from the timeline start; the entries keep their own step in unit.step (0 on the state's first
// frame).

#include <cstdint>

#include "battle/slg_attack_state.h"
#include "battle/slg_battle_state.h"

// The recoil of a unit kind in pixels (dx, dy): kinds 1, 13 (32, 16); 2 (4, 2); 14, 15, 21, 22
// (16, 8); 34, 35 (8, 4); others (0, 0).
SlgPair SlgRecoilOf(int kind);

// ---- Attack context and objects ----

// The context of an attack routine, cleared whole: unit, the kind's body and effect sets for the
// unit's attack type (UnitAnm), marks -1. When either set is missing (or the context cannot be
// allocated): the sets released, nothing kept, EndAttack(unit) and null; the caller stops.
SlgAttackCtx* CreateAttackCtx(SlgUnit& unit);
// The same with the refused attack ended by `end` instead of EndAttack (a routine whose every
// attack type ends as a normal attack passes EndNormalAttack).
SlgAttackCtx* CreateAttackCtx(SlgUnit& unit, void (*end)(SlgUnit& unit));
// Releases the loaded sets and frees the context; nothing for null.
void FreeAttackCtx(SlgAttackCtx* ctx);
// n zeroed objects into entries 0 .. n - 1 (with a template each copies its x, y and depth).
// 1 on success. When an allocation fails the objects taken are freed, all n entries are left
// null, the failure is traced and the result is 0: the caller then ends the attack (EndAttack).
int AllocAnimeObjs(SlgAnmObj** objs, const SlgAnmObj* templ, int n);
// Releases each object's animation and frees it; null entries are skipped. The entries are left
// as they are.
void FreeAnimeObjs(SlgAnmObj** objs, int n);

// ---- Damage list (Battle().attacker, target_count, targets) and visibility ----

// The units in use with flag bits 0 and 0x2000 (at most as many as have bit 0), sorted by the
// Manhattan distance from Battle().attacker (equals keep slot order), the rest -1. Traces
// "DamageMember\n" and "%4d " per entry; the result is the count.
int DamageMember();
// The first n list entries: flag 0x80 set / cleared and the body shown / hidden.
void ShowTargets(int n);
void HideTargets(int n);
// Units in use whose flag word is not 255 and lack 0x8000: 0x80 cleared and hidden / set and
// shown.
void HideUnflaggedUnits();
void ShowUnflaggedUnits();
// Units of the 64 slots with 0x8000 and without bit 0, but the attacker (Battle().attacker, kept
// updated so that its routine runs): 0x80 cleared and hidden.
void HideNonTargets();
// The index of unit slot `slot` in the damage list (Battle().targets), -1 when it is not there.
int FindTargetSlot(int slot);
// Flag 0x4 (react to a hit now) on every unit of the damage list (up to its -1 end).
void MarkTargetsFlag4();
// Every unit of the damage list (up to its -1 end) of kind 38-46 (the map objects): flag 0x80
// cleared and hidden.
void HideTargetObjects();

namespace Slg {
// Stops and hides / shows again the unit's body object; the factory (kind 43) has its own pair
// (Slg::HideFactory / ShowFactory, battle/slg_map_objects.h).
void HideUnit(SlgUnit& unit);
void ShowUnit(SlgUnit& unit);
}  // namespace Slg

// ---- Attack ends (called by the routines) ----

// Attack type 0 or 2: EndNormalAttack; others EndSpecialAttack.
void EndAttack(SlgUnit& unit);
// Slg::MarkHitUnits(unit), attack type 0, state 7.
void EndNormalAttack(SlgUnit& unit);
// Fade in over 18 frames, ShowTargets(target count), ShowFlaggedUnits, music back to 100, then
// as EndNormalAttack.
void EndSpecialAttack(SlgUnit& unit);
// A kind whose attack row is empty: "<where>: kind k has no attack routine (unit n): the attack
// ends" traced, then EndAttack, so the attack ends as if the routine ended it on its first frame
// rather than waiting in state 6 for ever.
void EndEmptyAttack(SlgUnit& unit, const char* where);

// ---- State entries ----

// State 5: hide-on-start set, then the lead-in of the attack type (type 1 the special lead-in,
// others the normal one) with the standard pattern table / the caller's table.
void AttackStateLeadIn(SlgUnit& unit, SlgPair& pos);
void AttackStateLeadInT(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);
// State 6: pos += the recoil; the body hidden once the routine has started (hide-on-start); the
// routine of the unit's kind from Battle().action_table (an empty row, or a kind outside it:
// EndEmptyAttack); when the state has changed, the body shown again at pos.
namespace Slg {
void AttackState(SlgUnit& unit, SlgPair& pos);
// State 19, the combination attack of a player kind: the kind's row of Battle().gattai_table
// (the combination routine, which ends in state 7 as an attack routine does); an empty row or a
// kind outside the table ends the attack at once (EndEmptyAttack) rather than waiting for ever.
void CombinationState(SlgUnit& unit, SlgPair& pos);
}  // namespace Slg
// State 7: the end of the attack type (type 1, or a special lead-in still open, the special
// end; others the normal end).
void AttackStateEnd(SlgUnit& unit, SlgPair& pos);
void AttackStateEndT(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);

// The lead-ins and ends themselves.
// Normal: pattern, tone change (unless no_tone), recoil, the damage list; state 6 after 7
// frames; held key 2 (no event running, the hero not in state 14) cuts it short.
void AttackLeadIn(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);
// Special: SlgFlags |= 0x80, music dip, fade out over 18 frames, tone change over 1 frame, the
// damage list; after 18 frames SlgCmdBusy 1 (saved), HideNonTargets, SlgFlags (& 0xFFF9) |
// 0x60, state 6; held key 2 (no event, side 0) cuts it short.
void SpecialLeadIn(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);
// Pattern only; state 6 after 7 frames (no recoil, tone change or cut-short).
void AttackLeadInPlain(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);
// No pattern change; after 7 frames SlgCmdBusy 1 (saved), special voice attack_kind - 1,
// "OrbileAttackKind: %d\n", state 6.
void AttackLeadInKind(SlgUnit& unit, SlgPair& pos);
// Normal end: tone back (unless no_tone), pattern, recoil 0, the gauge sequence (or none with
// skip_gauge), 30 frames, event flag 951 + character (below 7), state 0.
void AttackEnd(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);
// Special end: ShowFlaggedUnits, music back, tone back, pattern, SlgFlags bit 7 cleared; gauges;
// after 30 frames SlgCmdBusy restored, event flag, state 0.
void SpecialEnd(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);
// AttackEnd without tone change and event flag.
void AttackEndPlain(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns);
// AttackEnd without tone change, pattern change and event flag; SlgCmdBusy restored at the end.
void AttackEndKind(SlgUnit& unit, SlgPair& pos);

// ---- Damage-gauge sequence ----

// Starts "TamvikSlgFunc::DamageGage": phase 0 camera to target 0 (none: to the attacker's cell,
// phase 3); 1 when the camera has arrived, the target's gauge (form 2 for one target, 3 each for
// several); 2 when it has ended, the next target (phase 1) or the camera back to the attacker's
// cell; 3 when arrived: gauge_task_alive 0, target count 0, the task ends. gauge_task_alive := 1
// when it runs.
void StartDamageGage();
// Battle().attack.gauge_task_alive.
uint32_t DamageGageAlive();
