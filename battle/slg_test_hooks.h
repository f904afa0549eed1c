#pragma once
// Hooks a test sets on a battle context to watch what the battle does between two frames: every
// effect task made and ended (the task layer traces nothing of its own), and every call of the
// battle's sound layer (effects, voices, music volume). Plain function pointers with the test's
// own argument, null when unset; nothing is allocated. The attack recorder
// (testsupport/attack_trace.h) uses them; the program never sets them.

#include <cstdint>

struct SlgEffectTask;

enum class SlgTaskEvent : uint8_t {
  kCreated,  // the record is carried by its engine task (name, owner and start are set)
  kEnded,    // SlgTaskEnd is about to free the record's blocks (the name still readable)
};

enum class SlgSoundCall : uint8_t {
  kEffect,       // SePlay(n, 1): value n
  kEffectStop,   // SePlay(n, 2): value n
  kVoice,        // VoicePlay(n): value n
  kBgmVolume,    // the music volume set: value the volume, frames the fade's length
};

struct SlgTestHooks {
  void* user = nullptr;
  void (*task)(void* user, SlgTaskEvent event, const SlgEffectTask& task) = nullptr;
  void (*sound)(void* user, SlgSoundCall call, int value, int frames) = nullptr;
};
