// The program's entry and composition root: builds the real platform, the engine, game and
// scene contexts on it, wires the game into the engine and runs it. The program takes no
// command-line arguments; its settings file is described in README.md.

#include <memory>

#include "debug/debug_menu.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/app/spine/spine.h"
#include "game/game_context.h"
#include "minigames/minigame_context.h"
#include "scene/scene_context.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/sdl/sdl_platform.h"

int main() {
  platform::sdl::SdlPlatform host;
  platform::ffmpeg::FfmpegWaveCodecs codecs;  // the codecs for compressed wave files
  host.seams().codecs = &codecs;
  platform::ffmpeg::FfmpegMovies movies(host.clock, &host.audio);  // the movie files
  host.seams().movies = &movies;
  EngineContext engine(host.seams());
  ContextScope engine_scope(engine);
  GameContext game;
  // The developer debug menu: made before the spine starts, gone after it ends.
  CDebugMenu debug_menu;
  WireGameSequences(game.sequences, debug_menu);
  RegisterBattleExtensions();
  GameScope game_scope(game);
  SceneContext scene;  // the scene's own state (sprite cache, ...)
  SceneScope scene_scope(scene);
  // The minigames' state for the run (large: on the heap).
  auto minigame = std::make_unique<MinigameContext>();
  MinigameScope minigame_scope(*minigame);
  return WinMain(MakeGameHooks(debug_menu));
}
