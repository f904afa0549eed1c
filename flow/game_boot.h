#pragma once
// The game flow's part of the program's start-up: the install check and the game's boot.

// Reads the install settings and hands them to the file layer. When they are missing or unusable:
// a box "没有安装TAMVIKＰＣ版" (caption "ERROR", owned by the main window when there is one) whose
// second line says what to do (the settings file's path and the line "Install Directory = ..."
// it needs) and whose third names the cause in brackets; the exit status kExitNotInstalled and
// the quit request. 1 installed, 0 missing.
int CheckInstall();
// The install box's first line (UTF-8).
inline constexpr const char* kNotInstalledText = "没有安装TAMVIKＰＣ版";

// Boots the game once the engine runs, in this order: save\system.dat into the system data
// (a missing or damaged file leaves the defaults); the resume point and the four developer
// switches cleared; the 17 system sounds; the key assignment (save\key.dat); GameRestart.
void GameBootInit();
// (Re)starts the game: the debug surfaces 10 and 11 hidden, the debug menu's windows closed
// (GameSequences::debug_menu_close), the mouse pointer task started unless it runs, and the
// game-mode manager created in mode 0. The debug menu calls it too.
void GameRestart();
// Asks the program to quit: the next frame shuts the engine down and closes the window.
void GameExit();
