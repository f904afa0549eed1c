#pragma once
// The heaviest picture the engine core alone can be asked to show, for the frame benchmark and
// the fault tests: all five layers on larger-than-screen surfaces, each scrolling (wrapping) with
// colour-keyed holes in the upper four; sprite-buffer entries on every layer and on the back
// buffer, opaque and keyed, translucent in several blend modes, zoomed, mirrored and rotated; an
// alpha cross-fade over the foreground layer and a screen fade running. The animations run for a
// long time (minutes of game clock), so every frame composes and nothing ends under a benchmark.
// Two framed windows with text: a translucent message window on the text layer into which a
// message is typed one character a frame, and a solid panel on the layer below it.
//
// The display must be open (CDdrawFunc::InitDirectDraw or the spine's start-up) before it is
// built on the current context.

#include <cstdint>
#include <vector>

#include "engine/anime/anime_handle.h"

struct SprBufferEntry;
struct SprRec;
struct WindowRec;

namespace testsupport {

struct BusySceneOptions {
  // Sprite-buffer entries to make (the pool holds 1024).
  int entries = 1024;
  // Game-clock milliseconds the cross-fade and the fade take to finish.
  uint32_t animation_ms = 20u * 60u * 1000u;
  // Sprites made in video memory (with the system-memory fallback) instead of system memory.
  bool video_sprites = false;
  // The two windows and the typed message.
  bool windows = true;
};

struct BusyScene {
  std::vector<SprRec*> sprites;          // the pictures the entries show
  std::vector<SprBufferEntry*> entries;  // persistent entries, in creation order
  AnimeHandle scroll[5] = {};            // one per layer, bottom to top
  AnimeHandle xfade = nullptr;
  AnimeHandle fade = nullptr;
  WindowRec* message_window = nullptr;  // translucent, on the text layer
  WindowRec* panel = nullptr;           // solid, on the layer below, with a few lines of text
  AnimeHandle message = nullptr;        // typing into the message window
  // Entries by kind, for checks.
  int opaque = 0;
  int translucent = 0;
  int rotated = 0;
  int zoomed = 0;
  int mirrored = 0;
};

// Builds the scene on the current context. Every part that could not be made is left null (or
// counted out), so a caller can check what it got.
BusyScene BuildBusyScene(const BusySceneOptions& options = {});

// Once the message has been typed to its end: clears the message window's text and types the
// message again. Returns whether it restarted (this allocates; a benchmark does it untimed).
bool RestartMessage(BusyScene& scene);

// The message's bytes: lines of the fixture font's double-byte characters (testsupport/
// glyph_font_fixture.h) parted by "$$".
std::vector<uint8_t> BusyMessageText();

}  // namespace testsupport
