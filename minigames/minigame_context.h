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
// Later minigame issues add their state (cursor, text, menu) as further members here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/current.h"
#include "engine/gfx/gfx_types.h"
// ---- Flower-card game ----
#include "minigames/hana/hana_state.h"
// ---- Lost-child game ----
#include "minigames/maigo/maigo_state.h"
// ---- Shooting game ----
#include "minigames/shot/shot_state.h"
// ---- Cooking game ----
#include "minigames/cook/cook_state.h"
// ---- Cleaning game ----
#include "minigames/souji/souji_state.h"
// ---- Input cursor, key mode and sound wrappers ----
#include <vector>

#include "engine/input/dinput.h"
// ---- Swimming game and test entry ----
#include "minigames/swim/swim_state.h"
// ---- Slot machine ----
#include "minigames/slot/slot_state.h"
// ---- Flower-card hub ----
#include "minigames/hana/koi_state.h"

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

// ---- Objects and layers (minigame_object.h) ----

constexpr int kObjectCount = 256;
constexpr int kLayerCount = 1024;
// Objects kept by the framework: the text window and the full-screen background.
constexpr int kObjTextWindow = 254;
constexpr int kObjBackground = 255;
// The common menu's objects.
constexpr int kObjMenuFirst = 200;
constexpr int kObjMenuLast = 245;
// An image number outside the image slots 0-511: nothing is drawn and the hit box stays.
constexpr int32_t kNoImage = -1;

// Object flags.
constexpr uint32_t kObjMoving = 0x1;
constexpr uint32_t kObjScript = 0x2;
constexpr uint32_t kObjFlipping = 0x4;
constexpr uint32_t kObjDepthScale = 0x8;
constexpr uint32_t kObjRotate = 0x10;
constexpr uint32_t kObjSpin = 0x20;
constexpr uint32_t kObjHidden = 0x40;
constexpr uint32_t kObjNumber = 0x80;
constexpr uint32_t kObjParentYLayer = 0x100;
constexpr uint32_t kObjEdgePivot = 0x200;
constexpr uint32_t kObjNumberLeft = 0x400;
constexpr uint32_t kObjNumberZeros = 0x800;
constexpr uint32_t kObjHoldLast = 0x1000;
constexpr uint32_t kObjAnimEnded = 0x4000;
constexpr uint32_t kObjMirrorX = 0x8000;
constexpr uint32_t kObjMirrorY = 0x10000;
constexpr uint32_t kObjTime = 0x20000;
constexpr uint32_t kObjDeleteAtEnd = 0x40000;
constexpr uint32_t kObjAnimPaused = 0x80000;
constexpr uint32_t kObjEaseOut = 0x100000;
constexpr uint32_t kObjEaseIn = 0x200000;
constexpr uint32_t kObjHalfAlpha = 0x400000;
constexpr uint32_t kObjKeepBox = 0x800000;
constexpr uint32_t kObjLinked = 0x1000000;
constexpr uint32_t kObjOwnLayer = 0x2000000;
constexpr uint32_t kObjClip = 0x4000000;
constexpr uint32_t kObjScenePicture = 0x8000000;
constexpr uint32_t kObjSceneFace = 0x10000000;
constexpr uint32_t kObjPointer = 0x40000000;

// Mirror bits of a frame (and of a composite frame's parts).
constexpr int32_t kFrameMirrorX = 0x1000;
constexpr int32_t kFrameMirrorY = 0x2000;

// Background freeze states.
constexpr int kFreezeOff = 0;
constexpr int kFreezeCapture = 1;
constexpr int kFreezeFrozen = 2;

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
  int32_t return_game = -1;  // the game mg_return starts again; -1 none (forgotten by a fresh
                             // MiniGameStart)
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
  uint32_t held = 0;     // the keys held the last frame (the menu bit kept while decide is held)
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


// ---- Objects and layers (minigame_object.cpp) ----

// One minigame object, its 44 fields in order. Pointers into the od data are byte offsets into
// the od buffer (0 = none). Fields naming another object (overlay, parent, linked object) count
// as none outside 1-255, the target surface outside 1-1023.
struct MgObject {
  int32_t link = 0;                   // next object of the same layer's list (0 ends it)
  int32_t image = mg::kNoImage;       // image slot shown (set by the animation)
  int32_t x = 0;                      // position, relative to the parent when one is set
  int32_t y = 0;
  int32_t width = 0;                  // hit box
  int32_t height = 0;
  int32_t layer = 0;                  // 0 nearest - 1023 farthest (256 = natural size)
  int32_t tilt = 0;                   // angles of 256 steps a turn (low 8 bits used)
  int32_t turn = 0;
  int32_t spin = 0;
  int32_t anim = 0;                   // animation number (0 = none)
  uint32_t flags = 0;                 // mg::kObj*
  uint32_t anim_pos = 0;              // the next entry of the animation record
  int32_t frame_timer = 0;            // steps left on this frame
  int32_t target_x = 0;
  int32_t target_y = 0;
  int32_t target_layer = 0;
  int32_t move_total = 0;             // move steps in total
  int32_t move_left = 0;              // move steps left plus one
  int32_t start_x = 0;
  int32_t start_y = 0;
  int32_t start_layer = 0;
  int32_t move_speed = 0;
  uint32_t script_pos = 0;            // the next opcode of the motion script
  int32_t script_wait = 0;
  int32_t flip_anim = 0;              // animation shown at the middle of a flip
  int32_t overlay = 0;                // object whose image is drawn over this one
  int32_t parent = 0;                 // object whose position (and layer) this one takes
  int32_t value = 0;                  // number and time displays
  int32_t digits = 0;
  int32_t extra_parts = 0;            // parts of the frame beyond the first (composite frames)
  int32_t frame_x = 0;                // the first part's offsets and mirror bits
  int32_t frame_y = 0;
  int32_t frame_mirror = 0;
  uint32_t parts = 0;                 // the frame's part list (composite frames)
  int32_t next_anim = 0;              // started when this animation ends (0 = none)
  int32_t linked = 0;                 // linked copy (flag 0x1000000) of this object
  int32_t link_x = 0;
  int32_t link_y = 0;
  int32_t clip_left = 0;              // clip rectangle (flag 0x4000000), relative to the parent
  int32_t clip_right = 0;
  int32_t clip_top = 0;
  int32_t clip_bottom = 0;
  int32_t target_surface = 0;         // 0 = the frame's surface, else a surface slot
};

// A background freeze (A and B): objects on its layer and behind it are neither updated nor
// drawn while it is frozen (state 2).
struct MgFreeze {
  int32_t state = mg::kFreezeOff;
  int32_t level = 0;
  int32_t layer = 0;
  // Where the picture is drawn (freeze B's offset; A stays at 0, 0).
  int32_t offset_x = 0;
  int32_t offset_y = 0;
};

// ---- Drawing (minigame_draw.cpp) ----

// The tile map: the game's cells (row by row, the game owns them and closes the map before they
// go), drawn in two passes and probed by mg_map_hit. Closed while cells is null.
struct MgTileMap {
  const uint16_t* cells = nullptr;
  size_t cell_count = 0;
  int32_t base = 0;
  int32_t tile_w = 0;
  int32_t tile_h = 0;
  int32_t stride = 0;
  int32_t start_row = 0;
  int32_t wrap_cols = 0;
  int32_t wrap_rows = 0;
  int32_t scroll_x = 0;
  int32_t scroll_y = 0;
  int32_t back_layer = 1023;
  int32_t front_layer = 128;
};

// The screen shake and the tile map.
struct MgDrawState {
  int32_t shake = 0;         // counter, one less each step
  int32_t shake_offset = 0;  // added to every object's y
  MgTileMap map;
};

// ---- Input cursor, key mode and sound wrappers (minigame_cursor.cpp, minigame_input.cpp,
//      minigame_sound.cpp) ----

namespace mg {
constexpr int kCursorTargets = 256;
}  // namespace mg

struct MgCursorTarget {
  int32_t enabled = 0;
  int32_t object = 0;
};

// The selection cursor: its object (-1 = no cursor), its picture mode (0 none, -1 a copy of the
// target's picture, else an animation number), the selection (-1 = none), the targets and the
// picture's offsets; the lock and the last mouse position belong to the live cursor only.
struct MgCursor {
  int32_t object = -1;
  int32_t mode = 0;
  int32_t selection = -1;
  std::array<MgCursorTarget, mg::kCursorTargets> targets{};
  int32_t offset_x = 0;
  int32_t offset_y = 0;
  int32_t lock = 0;
  int32_t last_mouse_x = -1;
  int32_t last_mouse_y = -1;
};

// mg_key_mode: the mode in force and the player's assignment it restores.
struct MgKeyMode {
  int32_t mode = 0;
  KeyConfig saved;
};

// The sound wrappers: the static list loaded (its names in slot order), and a hook told of each
// sound the wrappers start ("bgm:", "se:", "static:", "voice:" and the name or number); tests
// record through it.
struct MgSound {
  int32_t static_loaded = 0;
  std::vector<std::string> static_names;
  std::function<void(const std::string&)> played;
};

// ---- Text window and message printer (minigame_text.cpp) ----

namespace mg {
constexpr int kPrintBufferSize = 512;
constexpr int32_t kPrintDelay = 6;
}  // namespace mg

// The text window (its slot, slot + 1 its empty background) and the printer typing into it.
// The skip flag is MgFramework::message_skip.
struct MgPrinter {
  int32_t open = 0;
  int32_t slot = 0;
  int32_t start_x = 0;  // the pen's start (the window margins + 1)
  int32_t start_y = 0;
  int32_t pen_x = 0;
  int32_t pen_y = 0;
  const char* text = nullptr;  // the next byte to type; null when idle
  int32_t delay = mg::kPrintDelay;
  int32_t counter = 0;
  int32_t waiting = 0;  // the text has ended and waits for decide
  int32_t marker = 0;   // 1-255, 0 none
  std::array<char, mg::kPrintBufferSize> buffer{};
};

// The scene engine's pictures a minigame holds (minigame_picture.cpp): the character set on
// layer 7 and the face on surface 8, each 1 while held.
struct MgScenePictures {
  int32_t nc = 0;
  int32_t face = 0;
};

// ---- Common menu (minigame_menu.cpp) ----

// The common menu's state: its step (-1 and 10000-10019), answer (0 play, 1 open, 2 retry,
// 3 quit), wait counter, demonstration flag and timer, banner position, phase (0 before play,
// 1 during play, 2 after a result), help page, and the pointer object it put back after a result.
struct MgMenu {
  int32_t step = -1;
  int32_t answer = 0;
  int32_t wait = 0;
  int32_t demo = 0;
  int32_t demo_timer = 0;
  int32_t banner_x = 0;
  int32_t phase = 0;
  int32_t help_page = 0;
  int32_t pointer_object = 0;
  int32_t pointer_anim = 0;
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

  // Objects and layers: the 256 objects, the layer lists rebuilt by each object update (list
  // heads, 0 = empty), and the two background freezes the update reads.
  std::array<MgObject, mg::kObjectCount> objects{};
  std::array<int32_t, mg::kLayerCount> layer_heads{};
  MgFreeze freeze_a;
  MgFreeze freeze_b;

  // Drawing: the shake and the tile map.
  MgDrawState draw;

  // ---- Flower-card game: tables, players and table state (minigames/hana/) ----
  hana::HanaState hana;

  // ---- Shooting game: the target table and the game's variables (minigames/shot/) ----
  shot::ShotState shot;
  // ---- Cleaning game: the floor, the characters, the course and its tables (minigames/souji/) ----
  souji::SoujiState souji;

  // ---- Input cursor (with its one saved copy), key mode and sound wrappers ----
  MgCursor cursor;
  MgCursor cursor_saved;
  MgKeyMode key_mode;
  MgSound sound;

  // ---- Text window and message printer ----
  MgPrinter printer;
  MgScenePictures pictures;

  // ---- Common menu ----
  MgMenu menu;

  // ---- Swimming game and test entry (minigames/swim/) ----
  swim::SwimState swim;
  swim::TestEntryState test_entry;
  // ---- Lost-child game (minigames/maigo/) ----
  maigo::MaigoState maigo;
  // ---- Cooking game: the lesson's steps, the work panel and the scores (minigames/cook/) ----
  cook::CookState cook;
  // ---- Slot machine (minigames/slot/) ----
  slot::SlotState slot;
  // ---- Flower-card hub: steps, opponent, choice, house rules (minigames/hana/koi_proc.h) ----
  hana::KoiState koi;
};

// The current minigame context. Calling it with none current is a programming error and aborts.
MinigameContext& Minigame();
bool HasMinigame();

using MinigameScope = Current<MinigameContext>::Scope;
