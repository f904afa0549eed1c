#pragma once
// The minigames' sounds by file name over the engine's channels and static effects. Each
// returns 1.
//
// - BGM: a file already playing on the BGM channel is not started again.
// - Sound effect: when the loaded static list holds the file, its static number plays; else
//   the file streams on the effect channel. The stop stops the streamed effect.
// - Voice: played and stopped on the voice channel; the test is the scene engine's voice test.
// - The static list: a null-terminated list of names loaded into static numbers 0, 1, ...
//   (at most 512); the same names in the same order again do nothing. mg_reset and mg_end
//   remove it.

#include <cstdint>

int mg_bgm_play(const char* name);
int mg_bgm_stop();
int mg_bgm_playing();
int mg_se_play(const char* name);
int mg_se_stop();
int mg_voice_play(const char* name);
int mg_voice_stop();
int mg_voice_playing();
int mg_static_load(const char* const* names);
int mg_static_remove();
int mg_static_play(int n);
