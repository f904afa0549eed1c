#pragma once
// The battle's own state, made current like the game context: the program holds one while a
// battle can run and each test a fresh one (testsupport::BattleRig). Battle code reaches it
// through Battle().
//
// Where an item lives: what only battle code reads (the battle events included: event flags,
// the event timing, the event unit references) is held here; what other areas or the save files
// read too (the system and story state blocks with the battle map, the lost-battle word and the
// voice switch; the script variables: trust, P[72], the tallies) stays in Game(). Every block is
// zero-filled when the context is made, as the battle's globals are.
//
// So far: the one fade handle and the one layer save block of the drawing layer, the seam of
// the effect tasks' allocator, and the stage's tables (stage table, face tables, cell grids,
// think data); the battle state block with the units, the control words, the turn order, the
// camera and the occupancy grid; the event flags and unit references of the battle events.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "battle/battle_extension.h"
#include "battle/slg_action_state.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_boss_steps_b_state.h"
#include "battle/slg_comm_win_state.h"
#include "battle/slg_command_state.h"
#include "battle/slg_damage_state.h"
#include "battle/slg_enemy_state.h"
#include "battle/slg_event_entries.h"
#include "battle/slg_event_words_state.h"
#include "battle/slg_fix_task_state.h"
#include "battle/slg_kind_states_state.h"
#include "battle/slg_map_objects_state.h"
#include "battle/slg_map_plane.h"
#include "battle/slg_objects_state.h"
#include "battle/slg_player_state.h"
#include "battle/slg_search_state.h"
#include "battle/slg_short_programs_state.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_start_state.h"
#include "battle/slg_summon_state.h"
#include "battle/slg_tables.h"
#include "battle/slg_test_hooks.h"
#include "battle/slg_think_search_state.h"
#include "battle/slg_turn_state.h"
#include "battle/slg_unit_states_state.h"
#include "engine/anime/anime_handle.h"
#include "engine/core/current.h"
#include "engine/gfx/gfx_types.h"

struct SlgEffectTask;

struct SlgAllocHeader;

// The allocator seam of SlgAlloc / SlgFree: counts what is taken and given back, and lets a test
// refuse chosen allocations. It keeps the blocks not given back in a list, so that the battle's
// end frees what an attack cut short still held (SlgFreeAllLeft).
struct SlgAllocSeam {
  uint32_t calls = 0;      // SlgAlloc calls so far
  int64_t live = 0;        // blocks taken and not yet given back
  // Asked before each allocation with the call's number (from 0) and the size; true refuses it.
  std::function<bool(uint32_t call, size_t bytes)> refuse;
  SlgAllocHeader* blocks = nullptr;  // the blocks taken, newest first
};

// The seam of SlgRand (battle/slg_math.h): counts its calls and lets a test script its values.
struct SlgRandSeam {
  uint32_t calls = 0;  // SlgRand calls so far
  // When set, SlgRand answers its value (low 31 bits) instead of reading the engine's generator.
  std::function<int32_t()> script;
};

class BattleContext {
 public:
  // Runs the registered battle installers on the new context (battle/battle_extension.h).
  BattleContext();
  // Ends the battle tasks still running (their owned blocks and names with them) and the fade,
  // whose end would otherwise clear a handle in a context that is gone; then destroys the
  // extension state blocks, with the context still current.
  ~BattleContext();
  BattleContext(const BattleContext&) = delete;
  BattleContext& operator=(const BattleContext&) = delete;

  // The running battle fade (SlgFade); the fade clears it when it ends.
  AnimeHandle fade_handle = nullptr;
  // The layer state SlgLayerOn saves and SlgLayerRestore puts back.
  LayerState layer_save{};

  SlgAllocSeam alloc;
  SlgRandSeam rand_seam;

  // ---- The stage (battle/slg_stage.h) ----
  // The map's stage table; null until the first StageSetup.
  std::unique_ptr<StageTable> stage;
  // The face table (64 rows of 6 internal face numbers) and the face conversion table (event
  // face -> internal face + 1); zero blocks after a file that did not open.
  std::unique_ptr<std::array<uint8_t, kFaceTableBytes>> face_table;
  std::unique_ptr<std::array<uint8_t, kFaceConvBytes>> face_conv;
  // The cell attribute grid (SlgCellGrid) and the second grid, host order, row x 22 + column.
  SlgGrid cell_grid{};
  SlgGrid cell_grid2{};
  // The enemy think files as read (EnThk, EnCnd, EnTab); null = no think data.
  std::unique_ptr<SlgThinkBlock> enemy_think;
  std::unique_ptr<SlgThinkBlock> enemy_cond;
  std::unique_ptr<SlgThinkBlock> enemy_change;

  // ---- Units, turn state and camera (battle/slg_unit.h, battle/slg_geometry.h) ----
  SlgBattleState state{};
  // SlgFlags: bit 0 option menu closed, bits 1-2 units shown, bit 3 mouse cursor shown.
  uint16_t flags = 0;
  uint32_t first_frame = 0;  // SlgFirstFrame: 1 until the end of the first main-task frame
  uint32_t event_busy = 0;   // SlgEventBusy: non-zero while an event runs
  uint32_t cmd_busy = 0;     // SlgCmdBusy: 1 while a move or attack command holds the map
  // The main task's unit update index: a removal at or before it steps it back, so that no
  // record is skipped in the pass.
  int32_t update_index = 0;
  SlgOrder order{};
  SlgCamera camera{};
  SlgUnitCellGrid unit_grid{};

  // ---- Battle events (battle/slg_events.h) ----
  // The 2048 event flags, most significant bit first: flag n is bit 7 - n % 8 of byte n / 8.
  std::array<uint8_t, 256> event_flags{};
  // EventUnitRef: slot 0 the unit that made a defeat, slot 1 the joint action's partner;
  // kSlgNoUnit none, which they start as (a zero would name slot 0).
  std::array<uint16_t, 2> event_unit_ref{kSlgNoUnit, kSlgNoUnit};
  // The character byte of the acting unit when a factory (kind 43) was last destroyed (0 with no
  // acting unit). Kept until the next destruction: the events' finishes reset the references
  // above, not this.
  uint8_t factory_destroyer = 0;
  uint32_t route_walking = 0;  // SlgRouteWalking: non-zero while an event walks a unit
  // The calls the core makes of the battle events (battle/slg_event_entries.h): stand-ins until
  // the events' installer fills them.
  SlgEventEntries events;
  // The battle-end word, EventActingMode and SlgDemoCursor (battle/slg_event_words_state.h).
  SlgEventWords event_words{};
  // The fixed sprites of the battle events (battle/slg_fix_task_state.h).
  FixTaskList fix_tasks;

  // ---- Text tables and sound (battle/slg_tables.h, battle/slg_sound.h) ----
  // SE.TAB, VOICE.TAB, UnitAnm.TAB and EventAnm.TAB (LoadSlgTables / FreeSlgTables).
  SlgTextTables tables;
  // SlgRunning: 1 from the end of the initialisation until the exit (a stage switch keeps it).
  uint32_t running = 0;
  // Night mode of the map (set by the map planes from Map.TAB): "Night" records load darker.
  uint32_t night_mode = 0;
  // The special attack chosen in the command window (written by the command window).
  int8_t cmd_special = 0;
  // The damage list: the attacker, the target count and the target slots, -1 after the last
  // (filled by the attack frame; empty until then).
  SlgUnit* attacker = nullptr;
  int8_t target_count = 0;
  std::array<int8_t, kSlgMaxUnits> targets = MakeEmptyTargets();
  int32_t last_se = 0;         // SlgLastSe: the number SlgSePlay played last
  int32_t chosen_voice = 0;    // SlgChosenVoice: the acting unit's voice, -1 none
  uint32_t voice_request = 0;  // SlgVoiceRequest: the animation reached its voice cell
  uint32_t anm_signal = 0;     // SlgAnmSignal: the animation's signal cell
  int32_t bgm_number = 0;      // SlgBgmNumber: the music the music task plays
  uint32_t pointer_mode = 0;   // SlgPointerMode: the battle pointer replaces the mouse

  // ---- Map planes (battle/slg_map.h) ----
  // The planes of Map.TAB, the priority data, the whole-map picture, the no-common-enemy switch
  // and the map clock (the night-mode word is night_mode above). The destructor frees them.
  SlgMapState map;
  // The heal-special switch: set by the hit resolution for character 4's special attack, read by
  // CalcUnitAction kind 12 (battle/slg_formulas.h).
  uint32_t heal_special = 0;
  // The trust variables as they were at the battle's start (LoadTrustVars): P[11], P[21], P[31],
  // P[51], P[61], P[41], then P[10], P[20], P[30], P[50], P[60], P[40].
  std::array<uint16_t, 12> trust_save{};

  static std::array<int8_t, kSlgMaxUnits> MakeEmptyTargets() {
    std::array<int8_t, kSlgMaxUnits> t{};
    t.fill(-1);
    return t;
  }
  // ---- Range searches (battle/slg_search.h) ----
  // The cost grid, result list, search mode and side, work stack and walk path of the range
  // searches (SlgRangeCost .. SlgMoveDest).
  SlgSearchState search{};

  // ---- Animation objects, system sprites, gauges and messages (battle/slg_anm_pool.h,
  // battle/slg_sys_spr.h, battle/slg_gauge.h, battle/slg_message.h) ----
  // SlgAnmObjPool: 128 objects with the in-use and call counts.
  SlgAnmObjPool anm_pool{};
  // SlgSystemSprites: the System.Tab files by slot (null: not loaded) and their objects.
  std::array<SlgSystemSprite, kSlgSysSpriteCount> sys_sprites{};
  // DGaugeSlots: the running gauges' records (null free).
  std::array<DGauge*, kDGaugeSlots> gauges{};
  // The tasks carrying them: a slot counts as running only while its task lives, so a teardown
  // that ends every task leaves no stale slot.
  std::array<SlgEffectTask*, kDGaugeSlots> gauge_tasks{};
  // The battle message's wait state and auto flag.
  SlgMessageState message{};
  // The death actions' state block and counters.
  SlgDeathState death{};
  // ---- Enemy decision searches (battle/slg_think_search.h) ----
  // The think the acting unit follows, EnemyTarget, EnemySupportTarget, EnemyDestination, the
  // distance field (ThinkDistanceGrid) with its queue, and the scores and candidates.
  SlgThinkSearchState think_search{};

  // ---- Unit sprites and walking (battle/slg_unit_sprite.h) ----
  // SlgMemoryTier (0-3: which attack animations load with the unit; set by the battle entry
  // from the memory size, by tests directly), SlgFastWalk and SlgFastWalkStart (game clock ms).
  // The walk's path words (SlgPathCount .. SlgMoveDest) are in `search`.
  uint32_t memory_tier = 0;
  uint32_t fast_walk = 0;
  uint32_t fast_walk_start = 0;

  // ---- Command window, two-choice windows, game over (battle/slg_comm_win.h,
  // battle/slg_game_over.h) ----
  // The command-window record, CommWinSel, position, open-close state and the layout tables.
  SlgCommWinState comm_win{};
  // The two-choice windows' choices.
  SlgTwoChoiceState choice_windows{};
  // SlgPhaseSub: the step of the player phase's current state (the two-choice windows use it).
  uint32_t phase_sub = 0;
  // The game-over sequence's globals (its picture sprite is deleted with the context).
  SlgGameOverState game_over{};

  // ---- The attack frame (battle/slg_attack.h, battle/slg_hits.h) ----
  // The running attack's timeline words (SlgTimelineStart .. SlgAutoPtn2No) and the attack
  // routines by unit kind (BattleActionTable; empty rows until the routines are installed).
  SlgAttackTimeline attack{};
  SlgActionTable action_table{};
  // The hit resolution's per-call marks: a unit listed on two cells is hit once per call.
  std::array<uint8_t, kSlgMaxUnits> hit_marks{};

  // ---- Unit categories and state handlers (battle/slg_unit_states.h) ----
  // The player state table (kind x 24 + state), the per-character idle-effect records and
  // teleport pairs, and the bad table indexes already traced.
  SlgUnitStatesState unit_states{};
  // ---- The battle action task (battle/slg_action.h) ----
  // Row 33 of the full BattleActionTable (the Satan entry; its other rows are action_table's)
  // and GattaiActionTable (14 rows, 0 and 7 empty): empty until the routines are installed.
  SlgAttackRoutine satan_action = nullptr;
  SlgGattaiTable gattai_table{};
  // The first-use switch, the private attacker and its drawing position, the selected table and
  // row, the body objects of the last call (freed by the next call and by the destructor).
  SlgActionTaskState action{};
  // ---- Unit commands and range markers (battle/slg_commands.h, battle/slg_range_markers.h) ----
  // SlgAttackMode, SlgUnitActing .. SlgCoverUnit, the attack wait, SlgMoveBackup, the range
  // markers (SlgRangeView .. SlgMarkerStep) and the destination mark.
  SlgCommandState cmd{};

  // ---- Hit reactions and the death actions' end (battle/slg_damage.h, battle/slg_death.h) ----
  // One hit record per unit slot (reset on entry to state 9, released on leaving it).
  std::array<SlgHitRecord, kSlgMaxUnits> hit_records{};
  // SlgLost: 1 once the battle is lost (the hero's death action sets it).
  uint32_t lost = 0;
  // ---- The debug menu's battle tasks (battle/slg_debug_tasks.h) and the destruction of the
  // minor enemies (EventDestroyEnemies, battle/slg_events.h) ----
  // The handles of the newest map viewer, circling animation and destroyer (null none).
  struct DebugTasks {
    SlgEffectTask* map_view = nullptr;
    SlgEffectTask* unit_anm = nullptr;
    SlgEffectTask* zako_destroy = nullptr;
  };
  DebugTasks debug_tasks;
  // The debug-priority word the debug menu sets: the battle events draw their messages' numbers
  // while it is 1 (the core itself does not read it).
  uint32_t debug_priority = 0;
  // EventDestroyEnemies: its phase byte (0 start, 1 shown, 2 hidden, 3 remove) and blink counter.
  uint8_t destroy_phase = 0;
  uint8_t destroy_counter = 0;
  // ---- end of the debug menu's battle tasks ----
  // ---- The battle's start and exit (battle/slg_start.h) ----
  // SlgActionsLeft .. SlgMainWork, the command table, the teardown's guards.
  SlgControlWords control{};
  // The battle face (current event face, face window, panel unit and text, blink timer).
  SlgFaceState face{};
  // ---- end of the battle's start and exit ----
  // ---- Turn control (battle/slg_turn.h) ----
  // The phase entries turn control calls for the acting unit (player, enemy_step, follow_up;
  // defaults that end the action at once), and turn control's own words.
  SlgPhaseEntries phases;
  SlgTurnState turn;
  // ---- end of turn control ----
  // ---- The enemy phase (battle/slg_enemy.h, battle/slg_enemy_think.h) ----
  // EnemyThinkStep and EnemyNextStep of the acting enemy.
  SlgEnemyState enemy{};
  // ---- end of the enemy phase ----
  // ---- Map objects (battle/slg_map_objects.h) ----
  // The factories' part objects and status bytes, the objects' working records by stage entry
  // and the Elebox's effect-done byte.
  SlgMapObjectsState map_objects{};
  // ---- end of the map objects ----
  // ---- Enemy and boss families and boss exits (battle/slg_kind_states.h, slg_boss_exit.h) ----
  // The boss shadow switch, the Satan attack word, kouma hovers, the extra objects, the kamui
  // aura, the stands' shared wait and low-life objects, the exit work blocks and defeat messages.
  SlgKindStatesState kind_states = MakeKindStatesState();
  // The summoner's opening flag (SummonerReset clears it; battle/slg_summoner.h).
  uint32_t summoner_opening = 0;
  // ---- end of the enemy and boss families ----
  // ---- The player phase and its windows (battle/slg_player.h, slg_status_win.h, slg_face.h) ----
  // The last chosen state, the attack-running flag, the status window's zoom, the information
  // panel, unit browsing, the whole-map view and the face message's step.
  SlgPlayerState player{};
  // ---- end of the player phase ----
  // ---- The short enemy programs (battle/slg_short_programs.h) ----
  // The spawn flags of kinds 43 and 44.
  SlgShortProgramsState short_programs{};
  // ---- end of the short enemy programs ----
  // ---- Boss step lists of kinds 25-28, 30-32 (battle/slg_boss_steps_a.h) ----
  // EnemySavedLife: kind 30's life, saved at the camera step before each of its attacks.
  int16_t enemy_saved_life = 0;
  // ---- end of the boss step lists of kinds 25-28, 30-32 ----
  // ---- Boss step lists of kinds 20-24, 34, 35 (battle/slg_boss_steps_b.h) ----
  // EnemyChosenAttack, kind 24's action counter and pull marker, kind 35's target rotation.
  SlgBossStepsState boss_steps{};
  // ---- end of the boss step lists of kinds 20-24, 34, 35 ----
  // ---- Summoner and stationary programs (battle/slg_summon.h) ----
  // The one-turn gate of kind 45, the unit summoned last and the wait's and fade's start time.
  SlgSummonState summon{};
  // ---- end of the summoner and stationary programs ----

  // ---- Test hooks (battle/slg_test_hooks.h): effect tasks made and ended, sound calls ----
  SlgTestHooks test_hooks;

  // ---- The extending libraries' state (battle/battle_extension.h) ----
  // One block per library, made by its first Extension<T>() in this battle (a library whose
  // block must exist from the context's making on asks for it in its installer), destroyed with
  // the context. T names its life as `static constexpr BattleExtensionLife kBattleLife`:
  // kBattle keeps the block through stage switches and retries (tables that carry over within a
  // battle); kStage destroys it and makes it afresh at each stage switch and retry, before the
  // installers run. A block's constructor and destructor must not rely on Battle(): the first
  // may run while the context is being made.
  template <BattleExtensionState T>
  T& Extension() {
    return extensions.Get<T>();
  }
  BattleExtensions extensions;
  // ---- end of the extending libraries' state ----
};

// The current battle context. Calling it with none current is a programming error and aborts.
inline BattleContext& Battle() { return Current<BattleContext>::Get("BattleContext"); }
// Whether a battle context is current.
inline bool HasBattle() { return Current<BattleContext>::Has(); }

// Makes a battle context current for its lifetime and restores the previous one afterwards.
using BattleScope = Current<BattleContext>::Scope;
