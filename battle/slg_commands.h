#pragma once
// The unit commands: one handler per command, run once a frame by the player phase (and the
// enemy forms by the enemy programs) while the acting unit carries the command out. Each is a
// step machine on Battle().phase_sub (SlgPhaseSub; the player phase clears it when it enters a
// state) and answers kSlgCmdRunning (1) while it runs, kSlgCmdDone (0) when the command was
// carried out and kSlgCmdCancelled (2) when the player cancelled it. Every handler runs the range
// markers (battle/slg_range_markers.h) once in every frame, after its step.
//
// Input comes from the pad queries (battle/slg_pad.h): while an enemy acts OK and info answer at
// once and cancel never, so the enemy forms run the player's handlers without keys. The player's
// target cell is the map cursor's (Battle().state.cursor_cell and cursor_snap); an enemy's
// target, support ally and destination are the enemy phase's words (Battle().think_search:
// target, support_target, destination). The unit states these handlers set (3 walk start, 4 walk
// stop, 5 attack lead-in, 7 attack end, 11 charge, 12 heal, 13 defend, 19 combination) are run by
// the unit state handlers; the handlers wait for the states those leave behind (0 or 8).

struct SlgUnit;

namespace Slg {
// Move: the move range opens; OK on an accepted destination (Slg::AcceptMoveDest) saves the
// move backup and walks there (state 3, then 4 on arrival); once the unit is ready (state 8) OK
// confirms (the unit enters the occupancy grid; 0 after the markers closed) and cancel puts it
// back on its start cell with its life, lift and cell word and opens the range again. Cancel
// while choosing: 2 after the markers closed.
int CmdMove(SlgUnit& unit);
// Puts the unit back where the move backup holds it and focuses the camera on it: 0 when the
// scroll is done. Without a backup the unit stays where it is.
int CmdUndoMove(SlgUnit& unit);
// The enemy's move: the move range from its cell and the path to EnemyDestination; walks it and
// ends entered in the grid (0). No path, or a destination off the stage (Slg::IsOnMap): 0 at
// once, the unit where it stands.
int EnemyMove(SlgUnit& unit);
// Attack (normal or special by Battle().cmd.attack_mode): the aim range (or, for an aim shape of
// 1, the area around the attacker), the target, the area around it, the confirmation, the
// 20-frame wait, the lead-in (state 5), the cover wait, the attack and Slg::ApplyHits; 0 when
// done, 2 when cancelled.
int CmdAttack(SlgUnit& unit);
// CmdAttack for an acting enemy on EnemyTarget (attack mode 0 or 1).
int EnemyAttack(SlgUnit& unit);
// Combination attack on a unit of another side within the square of radius 5 (state 19).
int CmdCombination(SlgUnit& unit);
// Heal: a unit on the heal cells gets state 12 with the healer's slot; 0 when it is done.
int CmdHeal(SlgUnit& unit);
// The enemy's heal on EnemySupportTarget (none or no such unit: 0 at once).
int EnemyHeal(SlgUnit& unit);
// State 12 on the unit itself, then 0 once it stands in state 0 or 8 again.
int CmdSelfSupport(SlgUnit& unit);
// Charge: state 11 until the unit reaches state 8.
int CmdCharge(SlgUnit& unit);
// Defend: flag 0x40 and state 13 until the unit stands in state 0 or 8.
int CmdDefend(SlgUnit& unit);
// Defend for the acting unit (the enemy programs).
int EnemyDefend();
// Cover (run for the hero): a unit of the party list gets flag 0x10 and the battle message
// 19990 + its character is shown; the hero himself covers nobody. No hero on the map: 2.
int CmdCover(SlgUnit& unit);
// The range view of the unit under the cursor: its move range, then on the info key its threat
// range, then on the info key again 0. Entry steps 4, 5, 7 and 8 are the player phase's.
int CmdViewRanges();
// Clears the move backup's marker: the last move can no longer be undone.
void ClearMoveBackup();
}  // namespace Slg
