#pragma once
// The attack frame's data (battle/slg_attack.h has the operations): the attack context an attack
// routine allocates, the timeline words of the one attack that runs at a time, the table of
// attack routines by unit kind and the lead-in pattern table. BattleContext holds the timeline
// and the table, zero-filled per battle.

#include <array>
#include <cstdint>

#include "battle/slg_units.h"

struct SlgAnmObj;
struct SlgAttackCtx;
struct SlgEffectTask;
struct SlgUnit;
struct SprAnm;

// An attack routine of the routine table, called every frame of state 6 with the attacker and
// its sprite position (16.16 about the screen centre), which it may move.
using SlgAttackRoutine = void (*)(SlgUnit& unit, SlgPair& pos);
// The routine's own per-frame sub-routine, kept in its context.
using SlgAttackStep = void (*)(SlgAttackCtx& ctx, SlgUnit& unit, SlgPair& pos);

constexpr int kSlgAttackObjects = 16;
constexpr int kSlgActionRows = 52;

// One attack routine's context (CreateAttackCtx / FreeAttackCtx). Cleared whole at creation;
// the unnamed words belong to the routine.
struct SlgAttackCtx {
  SlgAttackStep step;
  SprAnm* body_anims;    // the kind's body set of the unit's attack type
  SprAnm* effect_anims;  // the kind's effect set of the attack type
  SlgUnit* unit;         // the attacker
  uint32_t words1[2];
  uint32_t counter_a, counter_b;
  uint32_t words2[10];
  std::array<SlgAnmObj*, kSlgAttackObjects> objects;  // filled from the first by AllocAnimeObjs
  int16_t mark_a, mark_b;  // -1 at creation
  uint8_t flag_a, flag_b;
  int16_t object_count;  // entries of `objects` in use
  uint32_t words3[4];
};

// The body pattern and mirror attribute a lead-in or an end shows, by direction 0-3.
struct SlgLeadInPattern {
  uint8_t pattern;
  uint16_t attr;
};
using SlgPatternTable = std::array<SlgLeadInPattern, 4>;
// The standard table: {3, 0}, {2, 0}, {2, 16}, {3, 16}.
extern const SlgPatternTable kSlgLeadInPatterns;

// The timeline of the running attack (one at a time).
struct SlgAttackTimeline {
  uint32_t timeline_start;  // SlgTimelineStart: game clock ms the current wait counts from
  SlgPair recoil;           // SlgRecoil: the attacker's current display offset
  SlgPair recoil_end;       // SlgRecoilEnd
  SlgPair recoil_step;      // SlgRecoilStep: per frame
  uint32_t hide_on_start;   // SlgHideOnStart
  uint8_t kind5_variant;    // SlgKind5Variant
  uint16_t attack_kind;     // SlgAttackKind: the kind form's attack (its special voice + 1)
  uint32_t skip_gauge;      // SlgSkipGauge: no damage gauges
  uint32_t no_tone;         // SlgNoTone: no tone change
  uint32_t saved_busy;      // SlgSavedBusy: SlgCmdBusy as it was before the attack took it
  uint32_t gauge_task_alive;  // SlgGaugeTaskAlive
  uint32_t auto_ptn_no;     // SlgAutoPtnNo: running numbers of the one-shot tasks' names
  uint32_t auto_ptn2_no;    // SlgAutoPtn2No
  // 1 from the special lead-in's first frame until the special end's last frame: the end of a
  // special attack runs even when EndSpecialAttack has already cleared the attack type.
  uint32_t special_open;
  SlgEffectTask* gauge_task;  // the damage-gauge sequence while it runs
};

// BattleActionTable: the attack routine of each unit kind; null rows do nothing.
using SlgActionTable = std::array<SlgAttackRoutine, kSlgActionRows>;
