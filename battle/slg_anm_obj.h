#pragma once
// The battle animation object: every battle sprite that animates (a unit's body, an attack
// effect, a system sprite) is one of these, holding a position, drawing attributes, a depth and
// the engine animation playing on it. Data model only here; the pool and the object operations
// come with the units.

#include <cstdint>

#include "engine/anime/anime_handle.h"

struct SprAnm;

// The `mode` byte: 0 loops; bit 0 plays once and selects the sprite-file end test (and the
// second position hook); bit 1 starts stopped and rebuilds the drawn sprite when shown.
constexpr uint8_t kSlgAnmOnce = 0x01;
constexpr uint8_t kSlgAnmStartStopped = 0x02;
// The `state` byte once the object's animation has ended.
constexpr uint8_t kSlgAnmStateEnded = 128;
// The tag of a taken pool object ("!TEG" as bytes).
constexpr uint32_t kSlgAnmObjTag = 0x47455421;
// The tag of a one-shot's heap object whose animation holds a reference of its set ("DLEH"): the
// animation frees itself at its end and its end callback gives the set back; an animation ended
// before that (SlgTaskEndAnm) gives it back there.
constexpr uint32_t kSlgAnmHeldSetTag = 0x444C4548;

struct SlgAnmObj {
  uint32_t tag;      // kSlgAnmObjTag while a pool object is taken; 0 free or on the heap
  void* key_list;    // {word, i16 value} entries stepped by the owner
  int32_t x, y;      // 16.16, about the screen centre or on the map (as the owner uses it)
  // The owner's clock: a start time and the current time (game clock ms) and the 60 Hz frames
  // between them. The event objects' step refreshes `now` and `frames` before each handler call;
  // the handlers restart it by setting `start_time`. (The debug menu's circling test keeps its
  // angle in `start_time`.)
  uint32_t start_time;
  uint32_t now;
  int32_t frames;
  uint16_t attr;     // attribute word handed to the engine: 0 normal, 16 mirrored
  uint16_t shade;    // 0, 8192 or 16384
  uint32_t word;
  SprAnm* anims;     // the animation list the current animation came from
  AnimeHandle handle;  // the engine animation playing on the object; null none
  int16_t depth;     // battle depth (drawn at depth + 1536)
  uint16_t attr2;
  uint16_t wait;     // frame count the owner waits for
  int16_t value;     // current value taken from key_list
  uint8_t pattern;   // animation number within anims
  uint8_t byte;
  uint8_t key_index;  // position in key_list
  uint8_t mode;       // kSlgAnmOnce, kSlgAnmStartStopped; 0 loops
  uint8_t frame;      // the owner's frame counter; 0 when the pattern changes
  uint8_t state;      // the owner's state byte; kSlgAnmStateEnded when the animation has ended
  uint8_t rest[14];
};
