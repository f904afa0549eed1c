#pragma once
// The engine context: the one object that holds every engine service's state. The program
// builds one at start and makes it current; a test builds a fresh one per case. Engine code
// reaches the current context through Ctx().
//
// Service headers never include this file (only .cpp files do), so that the context can hold
// every service by value without include cycles. Adding a service: include its header below and
// add a member; construct it from the platform seams if it needs them.

#include "engine/app/frame_rate.h"
#include "engine/app/game_task.h"
#include "engine/files/file_io.h"
#include "engine/files/random.h"
#include "engine/gfx/anime.h"
#include "engine/gfx/ddraw_func.h"
#include "engine/gfx/sprite.h"
#include "engine/gfx/text_draw.h"
#include "engine/gfx/window.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "platform/platform.h"

class EngineServices;

class EngineContext {
 public:
  explicit EngineContext(platform::Platform& seams)
      : platform(seams), frame_rate(*seams.clock), file_io(seams), input(seams.input),
        ddraw(seams.display, seams.window), ddraw_spr(ddraw), ddraw_text(seams),
        ddraw_window(ddraw, ddraw_spr, ddraw_text), anime(frame_rate, input, ddraw, ddraw_spr) {
    // The compose draws each surface's sprite buffer; the display's release deletes the sprites.
    ddraw.hooks().draw_sprites = [this](SurfaceId id) { return ddraw_spr.DrawBuffer(id); };
    // ... and each layer's windows before the layer's own picture.
    ddraw.hooks().draw_windows = [this](SurfaceId id) { return ddraw_window.Draw(id); };
    // Windows are made of sprites, so they go first.
    ddraw.hooks().delete_all_sprites = [this] {
      ddraw_window.DeleteAll();
      ddraw_spr.DeleteAllSprite();
    };
    // A surface restore lets the animations redraw (messages re-typed, dissolves restarted).
    ddraw.hooks().redraw_text = [this] { anime.RedrawText(); };
  }
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  platform::Platform& platform;
  // How the frame loop reaches the engine services (engine/app/spine/engine_services.h); null
  // means the production forwarding. Tests install a recording one.
  EngineServices* services = nullptr;

  CFrameRate frame_rate;  // the application object: game clock, frame gate, application state
  CGameTask game_task;    // the task list
  FileIO file_io;         // the file layer: search order, drive records, install directory
  GameRandom random;      // the program's random generator
  CDinput input;          // keyboard, mouse, joystick, game keys and key assignment
  CDdrawFunc ddraw;       // the display: surfaces, compose layers, fades, flip, blits
  CDdrawSpr ddraw_spr;    // sprites and the sprite buffer
  CDdrawText ddraw_text;  // the glyph fonts and text drawing
  CDdrawWindow ddraw_window;  // framed windows (after the sprites: deleted before them)
  CDdrawAnime anime;      // the animation list (after the sprites: deleted before them)
  CDsoundFunc dsound;     // sound: wave files, codec conversion (streamed channels and effects)
  CMovie movie;           // the movie player (after the display and sound: closed before them)
};

// The current context. Calling it with none current is a programming error and aborts.
EngineContext& Ctx();
// Whether a context is current.
bool HasCtx();

// Makes a context current for its lifetime and restores the previous one afterwards.
class ContextScope {
 public:
  explicit ContextScope(EngineContext& context);
  ~ContextScope();
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;

 private:
  EngineContext* previous_;
};
