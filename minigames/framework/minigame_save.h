#pragma once
// save\minigame.dat: minigame variables 16-47 as 32 little-endian 32-bit values (128 bytes), in
// the install directory only. Read by mg_start, written whole by mg_end.
//
// Reading: a missing file leaves the variables 0; a short file fills what it holds (the rest 0);
// bytes past 128 are not read. A file that exists but cannot be read leaves the variables 0 and
// blocks the next save (traced), so the rankings it holds are not overwritten.

#include <cstdint>

constexpr const char* kMinigameSaveName = "save\\minigame.dat";
constexpr uint32_t kMinigameSaveSize = 128;

// Reads the file into variables 16-47 (already cleared by the caller) when it holds the whole
// 128 bytes (more are not read); a shorter file leaves them as they are (with a trace). 1 read,
// 0 missing, unreadable or cut short.
int mg_save_read();
// Writes variables 16-47 whole (mg_file_write), unless the last read failed. 1 written, 0 not.
int mg_save_write();
