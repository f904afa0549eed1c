#pragma once
// The event side of the battle's sound and screen fades: music start and stop, the event sound
// effects, the music fade task, and the screen fades as event steps (battle_events/
// event_steps.h: 0 while busy, 1 on the finishing frame). Besides, the data loaders the map
// scripts call for data the battle does not need: they load nothing and report success.

#include <cstdint>

struct SlgEffectTask;

// Battle music n (BGMPlayStart: the battle's music task picks the file; it plays at volume 100,
// which also ends the silence a music fade leaves).
void EventBgmPlay(int n);
// Stops the music (the engine sound's StopBGM).
void EventStopBgm();
// Event sound effect n through SlgSePlay: 303, 304, 305 play effects 41, 45, 54; 306-311 play
// under their own number; any other number plays nothing.
void EventSePlay(int n);

namespace Eve {
// Task names.
constexpr const char* kFadeOutMusicTask = "Eve::fadeOutMusic";
// Starts the task "Eve::fadeOutMusic" under the battle's owner task (SlgTaskOwner) unless one
// runs; returns at once (the scripts do not wait for it).
void StartFadeOutMusic();
// The task's body: phase 0 the music fades to volume 0 over 256 frames (SetBGMVolume(0, 256)),
// traced "evefadeout:bgm volume 0\n", its wait counted from here; phase 1 once the fade has ended
// and 60 frames have passed, traced "evefadeout: bgm volume MAX\n" and the task ended. The volume
// stays at 0 until the next EventBgmPlay.
void fadeOutMusic(SlgEffectTask* task);
// The music fade flag: 1 while the task exists. It is the task's existence itself, so a task
// ended from outside (its owner restarted, the battle's teardown ending every battle task) lets
// the next StartFadeOutMusic start a fade.
int MusicFadeFlag();
}  // namespace Eve

// Screen fades over 64 frames on one shared phase byte (only one runs at a time; a second kind
// called while the first runs goes on with the running fade): phase 0 starts it (SlgFadeOut,
// SlgFadeIn, SlgWhiteOut, SlgWhiteIn) and answers 0; phase 1 answers 1 once the battle fade has
// ended (SlgIsFadeEnd).
int EventFadeOut();
int EventFadeIn();
int EventWhiteOut();
int EventWhiteIn();
// EventWhiteIn on a phase word of its own, so that it can follow a white-out started elsewhere
// without touching the shared byte.
int EventWhiteFlash();

// Loaders that load nothing and answer 1 (the scripts pass sound banks such as "SEBE03.ALL",
// event data such as "EVS03100.BIN" with a load address, PCM sounds such as "AURA.PCM").
int EventLoadSeBank(const char* name);
int EventLoadBin(const char* name, uint32_t address);
int EventLoadPcm(const char* name);
// Steps that are always finished: 1.
int EventReady();
int EventReadyArg(int32_t ignored);
