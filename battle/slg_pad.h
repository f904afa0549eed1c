#pragma once
// The battle's pad queries, asked by the player phase and the command handlers. Each answers 1
// or 0. While the acting unit is not of the player's side (an enemy acts), OK, menu and info
// answer 1 at once, so that the enemy programs run the same handlers without input, and cancel
// answers 0, so that the player's keys cannot cancel an enemy's command.

namespace Slg {
// Logical key 0 triggered this frame: sound effect 15 and "Press Menu\n".
int IsPressMenu();
// Logical key 0 triggered this frame: sound effect 15 and "Press OK\n".
int IsPressOK();
// Logical key 1 triggered this frame, no sound: "Press Info\n".
int IsPressInfo();
// Logical key 1 triggered this frame: sound effect 17 and "Press Cancel\n".
int IsPressCancel();
// Always 0.
int IsPressExtra();
}  // namespace Slg
