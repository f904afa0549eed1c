#pragma once
// Hooks a test sets on a battle context to watch what the battle does between two frames: every
// effect task made and ended (the task layer traces nothing of its own), every call of the
// battle's sound layer (effects, voices, music volume), and the messages, fades and music a
// story asks for. Plain function pointers with the test's own argument, null when unset; nothing
// is allocated. The attack recorder (testsupport/attack_trace.h) and the event harness
// (testsupport/event_harness.h) use them; the program never sets them.

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

// What the battle shows and plays at a story's request, for the event scripts' recorders.
enum class SlgShowCall : uint8_t {
  kMessage,  // Slg::FaceMessageOpen: a the event face, b the message number
  kFade,     // SlgFade: a the level it goes to (256 dark, 0 clear), b the mode (0 black, 1 white)
  kBgm,      // BGMPlayStart: a the music number
};

struct SlgTestHooks {
  void* user = nullptr;
  void (*task)(void* user, SlgTaskEvent event, const SlgEffectTask& task) = nullptr;
  void (*sound)(void* user, SlgSoundCall call, int value, int frames) = nullptr;
  void (*show)(void* user, SlgShowCall call, int a, int b) = nullptr;
};

// Tells the show hook, when one is set.
void SlgTellShowHook(SlgShowCall call, int a, int b);
