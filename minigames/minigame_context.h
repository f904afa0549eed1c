#pragma once
// The minigames' own state, made current like the game context: the program holds one for its
// run and each test a fresh one (testsupport::MinigameRunner, or a MinigameContext with its
// MinigameScope). Minigame code reaches it through Minigame().
//
// Where an item lives: what only minigame code reads is here (the framework's globals, the 48
// minigame variables, the 1024 surface slots, the od file, the 16-row game table); what other
// areas or the saves read too stays in Game() (ADV state byte 40, the minigames seen, the skip
// switch, the script variables). engine/ and game/ never include minigames/; flow/ and scene/
// reach the minigames only through GameSequences.
//
// Later minigame issues add their state (objects, cursor, text, menu) as further members here.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/current.h"
#include "engine/gfx/gfx_types.h"

namespace platform {
class Surface;
}

namespace mg {

constexpr int kGameCount = 16;
constexpr int kVarCount = 48;
// Variables 16-47 are the persistent block (save\minigame.dat).
constexpr int kFirstSavedVar = 16;
constexpr int kSavedVarCount = 32;
constexpr int kSlotCount = 1024;
constexpr int kImageSlotCount = 512;

// Surface slots with a fixed use.
constexpr int kSlotFreezeB = 1017;
constexpr int kSlotSnapshotA = 1018;
constexpr int kSlotSnapshotB = 1019;
constexpr int kSlotFreezeA = 1020;
constexpr int kSlotFade = 1021;
constexpr int kSlotScreen = 1023;

// Modes (the second argument of mg_start).
constexpr int kModeStory = 0;
constexpr int kModeFreePlay = 1;
constexpr int kModeHubMatch = 2;
constexpr int kModeHubTutorial = 3;
constexpr int kModeHubDemonstration = 4;
constexpr int kModeStoryTutorial = 5;

// Framework states.
constexpr int kStateIdle = 0;
constexpr int kStateRunning = 1;
constexpr int kStateLoadPending = 2;

// The od file: at most 64 KB, read into a buffer with two zero bytes after it.
constexpr uint32_t kOdMaxBytes = 65536;

}  // namespace mg

// A game procedure: called once per 60 Hz step with the framework state (2 on the first call
// after the od file was loaded, 1 afterwards); 1 goes on, any other value ends the minigame.
using MgProc = std::function<int(int state)>;

// One row of the game table: the od file and the procedure.
struct MgGameEntry {
  const char* path = nullptr;
  MgProc proc;
};

// One surface slot. The screen slot (1023) borrows the engine surface that is presented
// (handle -1); every other slot owns an engine user surface.
struct MgSurfaceSlot {
  platform::Surface* surface = nullptr;
  UserSurface handle = -1;
  int32_t width = 0;
  int32_t height = 0;
  Rect clip;
};

// One od image slot (0-511): the record's flags with bit 0 set while the slot holds a surface.
struct MgImageSlot {
  uint32_t flags = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The minigame font: a plain record (nothing draws with it; the text goes through the glyphs).
struct MgFont {
  int32_t height = 28;
  int32_t width = 14;
  int32_t weight = 600;
  uint8_t char_set = 128;
  uint8_t pitch_and_family = 0x52;
  const char* face = "ＭＳ ゴシック";  // UTF-8
};

// The framework's globals (the driver of minigame_framework.cpp).
struct MgFramework {
  int32_t game = 0;
  int32_t mode = 0;
  int32_t state = mg::kStateIdle;
  int32_t running = 0;  // guards the save of mg_end
  uint32_t start_tick = 0;
  uint32_t last_tick_count = 0;
  int32_t catch_up_limit = 1;
  int32_t end_result = 0;
  std::string end_reason;
  std::string message;  // a game's failure text; becomes the end reason when set
  int32_t return_game = 0;
  int32_t return_mode = 0;
  // mg_reset's drawing state.
  int32_t fade_phase = 0;
  int32_t brightness = 256;
  int32_t cross_fade = 256;
  int32_t clear_to_black = 0;
  int32_t letterbox = 0;
  int32_t white_flash = 0;
  int32_t message_skip = 0;
  // Steps run by the last frame (0 when it ran none).
  int32_t last_steps = 0;
  // Set when save\minigame.dat existed but could not be read: mg_end then does not write it, so
  // the rankings it holds are not overwritten with zeros.
  int32_t save_blocked = 0;
  std::array<int32_t, 256> sin_table{};
  std::array<int32_t, 256> cos_table{};
};

// The button word of the frame and the mouse (minigame_input.cpp).
struct MgInput {
  uint32_t pending = 0;  // held bits << 16 | new presses not yet taken
  uint32_t held = 0;     // the held bits of the last frame
  int32_t mouse_x = 0;
  int32_t mouse_y = 0;
};

// The minigame screen (minigame_surface.cpp).
struct MgScreen {
  int32_t open = 0;
  LayerState saved_layers;
  int32_t saved_clear_flag = 0;
  int32_t saved_flip_mode = 0;
  SurfaceId present_layer = SURFACE_ROOT;
  // The engine's memory argument for new surfaces (CreateUserSurfaceEx: 1 video, 0 system).
  int32_t memory = 1;
  uint16_t color_key = 0;
  Rect clip{0, 0, kScreenWidth, kScreenHeight};
  int32_t target = mg::kSlotScreen;
  int32_t font_made = 0;
  MgFont font;
};

// The od file in its buffer and what the load took from it (minigame_od.cpp). Offsets stand in
// for the pointers: 0 means no entry, any other value lies inside the bytes read.
struct MgOdFile {
  std::array<uint8_t, mg::kOdMaxBytes + 2> buffer{};
  uint32_t size = 0;  // bytes read
  std::string path;   // of the last successful read (the reload on surface loss)
  int32_t published = 0;
  std::array<uint32_t, 512> animations{};
  std::array<uint32_t, 256> scripts{};
  std::array<uint32_t, 256> texts{};
};

class MinigameContext {
 public:
  // Fills the game table with the od paths and the stand-in procedure.
  MinigameContext();
  MinigameContext(const MinigameContext&) = delete;
  MinigameContext& operator=(const MinigameContext&) = delete;

  // The stand-in of a row whose game is not built yet: it ends the game on its first step with
  // result 0 ("mg_proc").
  static int StandInProc(int state);

  std::array<MgGameEntry, mg::kGameCount> games;
  MgFramework fw;
  std::array<int32_t, mg::kVarCount> vars{};
  MgInput input;
  MgScreen screen;
  std::array<MgSurfaceSlot, mg::kSlotCount> slots{};
  std::array<MgImageSlot, mg::kImageSlotCount> images{};
  MgOdFile od;
};

// The current minigame context. Calling it with none current is a programming error and aborts.
MinigameContext& Minigame();
bool HasMinigame();

using MinigameScope = Current<MinigameContext>::Scope;
