#pragma once
// The engine context: the one object that holds every engine service's state. The program
// builds one at start and makes it current; a test builds a fresh one per case. Engine code
// reaches the current context through Ctx().
//
// Only the context, the game's doors (doors.h, app_state.h) and the layers above the engine
// include this file: engine services are handed their collaborators by their constructors (in
// context.cpp) and never look the context up.
//
// The services are held in a block built in context.cpp and reached through the references
// below, so this header names no service header: a change to one service's header rebuilds only
// the files that include it. Code that uses `Ctx().<service>` includes that service's header.
// Adding a service: a forward declaration and a reference here, the member in construction order
// and its wiring in context.cpp.

#include <memory>

#include "engine/app/game_hooks.h"
#include "engine/core/current.h"

namespace platform {
struct Platform;
}

class CDdrawAnime;
class CDdrawFunc;
class CDdrawSpr;
class CDdrawText;
class CDdrawWindow;
class CDinput;
class CDsoundFunc;
class CFrameRate;
class CGameTask;
class CMovie;
class EngineServices;
class FileIO;
class GameRandom;

class EngineContext {
  struct Services;  // every service by value, in construction order (context.cpp)
  std::unique_ptr<Services> services_block_;

 public:
  // Builds every service on the seams and wires them to one another (see context.cpp).
  explicit EngineContext(platform::Platform& seams);
  ~EngineContext();
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  platform::Platform& platform;

  CFrameRate& frame_rate;  // the application object: game clock, frame gate, application state
  CGameTask& game_task;    // the task list
  FileIO& file_io;         // the file layer: search order, drive records, install directory
  GameRandom& random;      // the program's random generator
  CDinput& input;          // keyboard, mouse, joystick, game keys and key assignment
  CDdrawFunc& ddraw;       // the display: surfaces, compose layers, fades, flip, blits
  CDdrawSpr& ddraw_spr;    // sprites and the sprite buffer
  CDdrawText& ddraw_text;  // the glyph fonts and text drawing
  CDdrawWindow& ddraw_window;  // framed windows (after the sprites: deleted before them)
  CDsoundFunc& dsound;     // sound: wave files, codec conversion (streamed channels and effects)
  CDdrawAnime& anime;      // the animation list (after the sprites: deleted before them)
  CMovie& movie;           // the movie player (after the display and sound: closed before them)

  // The game's start-up and frame hooks the spine calls (given to WinMain or AppStart).
  GameHooks game_hooks;

  // How the frame loop reaches the engine services (engine/app/engine_services.h): the
  // production forwarding unless a test installs its own with UseServices.
  EngineServices& services() { return *services_; }
  // Installs `services` (owned by the caller) for the frame loop; null goes back to production.
  void UseServices(EngineServices* services);

 private:
  std::unique_ptr<EngineServices> production_services_;
  EngineServices* services_ = nullptr;
};

// The current context. Calling it with none current is a programming error and aborts.
EngineContext& Ctx();
// Whether a context is current.
bool HasCtx();

// Makes a context current for its lifetime and restores the previous one afterwards.
using ContextScope = Current<EngineContext>::Scope;
