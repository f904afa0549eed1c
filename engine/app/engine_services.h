#pragma once
// The engine services as the frame loop sees them: start-up, the per-frame steps, the window
// procedure's movie calls and shutdown go through this one interface, so that the loop's order of
// calls can be observed by a test. The engine context always holds one: the production
// implementation, which forwards each call to the context's own service objects, unless a test
// installs its own (EngineContext::UseServices). The task pass and the game's hooks are not
// services: the spine runs them itself (GameHooks).

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class Window;
}

class EngineServices {
 public:
  virtual ~EngineServices() = default;

  // Display (CDdrawFunc).
  // Opens the 640 x 480 16-bit display on the window; 0 on failure, after its own error box.
  virtual int InitDirectDraw(platform::Window* window) = 0;
  // The display's packed pixel value of a primary colour (index 1: pure green).
  virtual uint32_t GetPrimaryColor(int index) = 0;
  // Releases the display; nothing when already released.
  virtual void ReleaseDirectDraw() = 0;
  // Composes the layers and presents the frame; 0 on failure.
  virtual int ShowWindow() = 0;

  // Glyph fonts (CDdrawText).
  virtual int LoadFont() = 0;
  // Why the last LoadFont failed (the file and the cause); empty when it did not.
  virtual std::string FontFailure() { return {}; }
  // 2 RGB565, 1 RGB555.
  virtual void SetPixelMode(int mode) = 0;
  // Frees the font buffers; nothing when already freed.
  virtual void FreeFont() = 0;

  // Sound (CDsoundFunc).
  virtual int SoundInit(platform::Window* window) = 0;
  // The streaming step at game-clock time `time` (milliseconds).
  virtual void SoundUpdate(int32_t time) = 0;
  // Stops and releases every channel; nothing when already released.
  virtual void SoundRelease() = 0;

  // Input (CDinput).
  virtual int CreateDirectInput() = 0;
  virtual int InputInit() = 0;
  // Polls the devices and builds this frame's key words.
  virtual void InputGetState() = 0;

  // Files and random numbers.
  virtual int ScanDrives() = 0;
  virtual void SeedRandom() = 0;

  // The animation list step at game-clock time `time` (CDdrawAnime).
  virtual void AnimeExec(int32_t time) = 0;

  // Movie player (CMovie). State: 0 none, 1 playing, 2 paused, 3 ended awaiting its clean-up.
  virtual int MovieGetState() = 0;
  virtual void MoviePause() = 0;
  virtual void MovieResume() = 0;
  // The handler of the movie's end notice (the user-13 event).
  virtual void MovieOnGraphEvent(platform::Window* window) = 0;
  // Ends any movie at once, on the calling (main) thread: stops and closes its graph, so that
  // nothing draws any more, and leaves the player in state 0 with loop mode 1. Nothing when no
  // movie is open. Shutdown calls it before it releases the display and the sound.
  virtual void MovieStopAndClose() = 0;
  // While a movie plays (loop mode 0), on the main thread: shows the movie's picture when one is
  // due (end check, picture, overlay) and returns the milliseconds until the next is due, or -1
  // when none will come by itself (the loop then waits for an event alone).
  virtual int MovieRenderDue() { return -1; }
};

class EngineContext;

// The forwarding to `context`'s service objects (made by the context itself).
std::unique_ptr<EngineServices> MakeProductionServices(EngineContext& context);

// The services the frame loop uses now: the current context's.
EngineServices& Services();
