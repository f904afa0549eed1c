#pragma once
// The game flow's part of the program's start-up: the install check and the game's boot.

// Reads the install settings and hands them to the file layer. When they are missing or unusable:
// a box "没有安装TAMVIKＰＣ版" with the reason on a second line (caption "ERROR", owned by the
// main window), the exit status kExitNotInstalled and the quit request, so that the first frame
// ends the program. 1 installed, 0 missing.
int CheckInstall();

// Boots the game once the engine runs: creates the top task, the game-mode manager, in mode 0.
void GameBootInit();
