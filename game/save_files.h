#pragma once
// The save files, all under the install directory (never on a disc):
//   save\system.dat   the 272-byte system data block as it stands
//   save\dataN.sav    one per slot (the menus use 1-20, the boot check 1-21), 8768 bytes: the
//                     48-byte story state block, then the 8720-byte script variable block
// In memory bit 15 of the scene code is never set and the system data's savedBeforeBattle
// carries the "saved before a battle" state; only the file carries it, in bit 15 of the scene
// code. Every write goes whole through FileIO::SaveFile: on any failure the old file stays.

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kGameSaveSize = 48 + 8720;

// "save\system.dat" and "save\dataN.sav".
std::string SystemDataFileName();
std::string SaveSlotFileName(int slot);

// Reads save\system.dat into the system data block: exactly 272 bytes, else the block stays
// (with a trace). 1 read, 0 not.
int LoadSystemData();
// Writes the system data block. 1 written, 0 not (the old file stays).
int SaveSystemData();
// Reads a slot: exactly 8768 bytes whose two stack depths are below 1000 and whose story state
// the scene start can run (GameSequences::saved_scene_fault), else nothing changes (0). Sets
// savedBeforeBattle from bit 15 of the scene code and clears the bit, and composes layers 5 and
// 6 in the saved order (bytes 8 and 9; values of neither form give layer 5 above, traced). 1
// loaded.
int LoadGameData(int slot);
// Takes the compose positions of layers 5 and 6 into the story state (bytes 8 and 9: 3, 2 with
// layer 5 above, 2, 3 with layer 6 above), writes the slot with
// bit 15 of the scene code set when savedBeforeBattle is, and clears the bit again whatever
// the outcome. 1 written, 0 not (the old file stays).
int SaveGameData(int slot);
// The slot's scene code without bit 15; 0 when the slot is missing or LoadGameData would
// refuse it (a slot counts as used when this is non-zero).
uint16_t GetSaveSceneCode(int slot);
// The slot file's last-write time, local, "YYYY/MM/DD hh:mm" into text (17 bytes); 1, or 0
// (text untouched) when the file is missing or has no time.
int GetSaveFileTime(int slot, char* text);
// Copies slot `from` over slot `to`, keeping its time. A slot copied onto itself is left alone
// (1 when it exists). 1 copied, 0 not.
int CopySaveFile(int from, int to);
// Deletes the slot's file. 1 deleted, 0 not (also when missing).
int DeleteSaveFile(int slot);

// The debug menu's album commands: they only trace.
void AlbumModeStart(int number);
void AlbumModeEnd(int number);
