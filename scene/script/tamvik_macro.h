#pragma once
// The scene-script interpreter. One object lives in the scene context (Scene().macro); the
// script variables and its two stacks live in the game context (Game().macro), shared with the
// other areas and the save files.
//
// A scene is a pair of files: the script "Macro\CCSS.bin" (big-endian 16-bit command words, jump
// targets as word indexes) and its message table "Macro\CCSStbl.bin". The read position is a
// word index into the script; every fetch is bounded, and a fetch, jump, call, return or toy
// target past the script is a decode error (a trace with the scene code and word index, the
// continue flag 0, HasDecodeError()).
//
// Decoding runs in the task "CTamvikMacro::DecodeMacro": each frame it decodes inline commands
// until one starts a command task (which clears the continue flag and sets it again when done),
// an error, the trace or step flag, or the per-pass command limit ends the pass.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"
#include "game/macro_vars.h"
#include "scene/script/movie_captions.h"

class AdvState;
struct SprBufferEntry;
struct SprRec;

// A message as the look-up finds it: pointers into the message table (valid until the next
// table is loaded). An empty entry has voice -1 and no lip text.
struct MessageData {
  const uint8_t* text = nullptr;
  int32_t voice = -1;
  const uint8_t* lip = nullptr;
};

// One clickable spot of the toy table.
struct MacroToy {
  uint16_t icon = 0;    // icon pattern; 0: not clickable
  uint16_t target = 0;  // word index of its handler
};

// One row of the scene succession table: a scene, the scene after it and the wall variant (0/1)
// the next scene shows.
struct SceneSuccessionRow {
  uint16_t scene;
  uint16_t next;
  uint8_t wall;
};
// The scene code of the table's end row.
inline constexpr uint16_t kSuccessionEnd = 0x0FFF;

class CTamvikMacro {
 public:
  static constexpr int kToyCount = 100;
  // Inline commands decoded in one pass at most; a runaway script (a GOTO to itself) then yields
  // the frame. Chosen so that a full pass costs about one frame (docs/scene/script.md).
  static constexpr int kInlineLimit = 400000;
  // The largest script taken: jump targets are 16-bit word indexes.
  static constexpr uint32_t kMaxScriptBytes = 2 * 65536;

  CTamvikMacro();

  // ---- Variables (in Game()) ----
  // The two stacks with their depths, A[] and P[] into the 8720-byte block.
  static void SaveVars(MacroVarBlock& block);
  // The same out of the block; a stack depth of 1000 or more is reduced modulo 1000 with a
  // trace. Returns 1.
  static int LoadVars(const MacroVarBlock& block);

  void MPush(uint32_t value);
  uint32_t MPop();
  void Push2(uint32_t value);
  uint32_t Pop2();

  // ---- Files ----
  // "Macro\CCSS.bin" of a scene code.
  static std::string ScriptFileName(uint16_t scene);
  // Loads the scene's script and message table; both are installed only when both were read
  // and the table's head holds together (its count and directory inside it). 1 loaded (read
  // position 0, error state cleared), 0 failed (nothing changed; load_failure() says why).
  int MacroLoad(uint16_t scene);
  // The scene start's load: the scene code unchanged after a debug restart (ADV state byte 42),
  // else the next scene of the succession table (byte 12 := its wall variant). 0 when no row
  // (load_failure() says so) or the load failed.
  int LoadNextScene();
  // The file and the cause of the last failed load.
  const std::string& load_failure() const { return load_failure_; }
  // Why the scene start could not run a saved story state (bit 15 of its scene code clear): no
  // scene follows its scene code; or, for a resume or a debug restart, the saved scene's script
  // is missing while everything is installed, or holds fewer words than the resume position.
  // Empty when it can run (what the start finds beyond this it reports itself).
  static std::string SavedSceneFault(const AdvState& saved);
  // The battle map's message file "Tamvik2\Macro\M<nn>MES.BIN" as the message table; a file that
  // does not open keeps the table held. 1 / 0.
  int LoadSlgMessage(int map);
  // The extras wall `extras_wall` (0-3) into surface 4 at 0,0. A number outside 0-3 loads
  // nothing (0, with a trace).
  int LoadOmakeWall();

  // The message by its id: 1 found, 0 not (also for a table that does not hold together).
  int FindMessageData(MessageData* out, uint16_t id) const;
  // FindMessageData, with 1000 added to the voice number from chapter 8 on (not for an empty
  // entry).
  int GetMessageData(MessageData* out, uint16_t id) const;
  // The same two look-ups on a table held elsewhere (the debug menu's message test).
  static int FindMessageDataIn(const std::vector<uint8_t>& table, MessageData* out, uint16_t id);
  static int GetMessageDataIn(const std::vector<uint8_t>& table, MessageData* out, uint16_t id);
  // "tamvik1\voice\NNNN.wav" for a voice number.
  static std::string VoiceFileName(int32_t voice);

  // ---- Items (P[0..9]) ----
  static int GetItemNum();
  // P[n] for n below 10, else 0.
  static uint16_t GetItem(int n);

  // ---- Decoding ----
  // The decode task's function and its name.
  static void DecodeMacro(GameTaskRec* task);
  static constexpr const char* kDecodeMacroName = "CTamvikMacro::DecodeMacro";
  // Starts the decode task (no owner) at its decoding step, with the continue flag set; the
  // scene start (the scene controller's) comes before it. Null when the task list refuses.
  GameTaskRec* StartDecoding();
  // One decoding pass of the decode task (step 3).
  void DecodePass(GameTaskRec* task);

  // Starts a command task owned by `owner` with a fresh zeroed 16-byte work block (or the block
  // given, which the list takes). Returns 1, 0 when the list refuses.
  static int SetDecodeTask(GameTaskRec* owner, TaskFunc function, const char* name,
                           void* work = nullptr);

  // Read position := word `index`; past the script it is a decode error. 1 / 0.
  int Jump(uint32_t index);
  // The return of a call: stack-1 depth, read position and IF flag off the stacks.
  int Return();
  // Layers 5 and 6 visible as the backgrounds-shown flag says, 7 as the character-shown flag
  // says; continue flag := 1.
  void RestoreLayers();

  // A word of the script at the read position, which moves on; past the end a decode error
  // (false, *word 0).
  bool Fetch(uint16_t* word);
  // An operand: A[nn] (0x10nn), the variable word 256 + nn (0x20nn), the next word (0x80xx) or
  // the word itself.
  bool GetOperand(uint16_t* value);
  // Marks a decode error: trace, continue flag 0, error state; failure() names the script file,
  // the word and the cause.
  void DecodeError(const char* what, uint32_t value);
  // The same for a load that failed while `during` (the scene start, a scene change): failure()
  // is `during` and the load's own failure (the file and the cause).
  void LoadFailed(const char* during);
  // What stopped the script, naming its file; empty without an error.
  const std::string& failure() const { return failure_; }

  void SetDebugTrace(uint32_t on) { trace_ = on; }
  void SetStepMode(uint32_t on) { step_mode_ = on; }
  void SetDebugKeyWait(uint32_t on) { step_hold_ = on; }

  // ---- State ----
  const std::vector<uint16_t>& script() const { return script_; }
  bool has_script() const { return has_script_; }
  const std::vector<uint8_t>& table() const { return table_; }
  uint32_t position() const { return position_; }
  bool HasDecodeError() const { return decode_error_; }
  void ClearDecodeError() {
    decode_error_ = false;
    failure_.clear();
  }

  uint32_t continue_flag = 0;
  uint32_t if_flag = 0;
  uint32_t faded_out = 0;
  uint32_t backgrounds_shown = 0;
  uint32_t face_shown = 0;
  uint32_t chara_shown = 0;
  uint32_t scene_ready = 0;
  uint32_t item_shown = 0;
  uint16_t shown_face = 0;
  uint16_t shown_chara = 99;
  uint16_t shown_chara_face = 0;
  uint32_t cancel_lock = 0;
  uint16_t extras_wall = 0;
  std::array<MacroToy, kToyCount> toys{};
  AnimeHandle wait_timer = nullptr;
  uint32_t trace() const { return trace_; }
  uint32_t step_mode() const { return step_mode_; }
  uint32_t step_hold() const { return step_hold_; }

 private:
  // One command or expression at the read position.
  void DecodeOne(GameTaskRec* task);
  void DecodeCommand(GameTaskRec* task, uint8_t opcode);
  void DecodeShiki(uint16_t first);
  void DecodeIf();
  void DecodeElseIf();
  // The end of an IF or ELSE IF: compares, traces, and either enters the block (IF flag 1) or
  // jumps to `skip` (IF flag 0).
  void Branch(const char* what, uint16_t skip, uint16_t a, uint16_t comparator, uint16_t b);
  void DecodeSwitch();
  void DecodeNextScene();
  void DecodeCopyA();
  void SetToy();
  void ClearToy();
  void Call(uint32_t target, uint32_t return_to);
  // Reads `count` operands that the command does not use.
  void SkipOperands(int count);

  std::vector<uint16_t> script_;  // host-order words
  bool has_script_ = false;
  std::string script_name_;     // the file the script was read from
  uint16_t script_scene_ = 0;   // the scene code it was loaded for
  std::vector<uint8_t> table_;
  uint32_t position_ = 0;
  bool decode_error_ = false;
  std::string failure_;
  std::string load_failure_;
  uint32_t trace_ = 0;
  uint32_t step_mode_ = 0;
  uint32_t step_hold_ = 0;

 public:
  // ---- The scene start and the scene ends (scene/script/macro_scene.cpp, macro_ends.cpp) ----
  // The decode task's steps: 0-2 the scene start, 3 decoding, kSceneStartFailed a scene whose
  // script could not be loaded (nothing more runs).
  static constexpr uint8_t kSceneStartFailed = 99;
  // Starts the decode task (no owner) at the scene start (step 0). Null when the list refuses.
  GameTaskRec* StartScene();
  // Ends the decode task and every task under it (command tasks and what they started, whether
  // or not they check their owner), releases the interpreter's timers; continue flag 0.
  static void StopDecoding();
  // Releases the animations the interpreter holds handles to (the WAIT timer, scene 0x0108's
  // idle timer, the background animation's play), so none dangles after a DeleteAll.
  static void ReleaseSceneAnimations();
  // The scene's background animation file: released, then "tamvik1\bg\2093.spr" in scene
  // 0x0900 or "tamvik1\bg\2238.spr" in 0x0902 loaded.
  static void LoadSceneBgAnime();
  static void ReleaseSceneBgAnime();
  // P[0..9]: a value 1-6 sets bit value - 1, 21-27 bit value - 5 of the system data's pictures
  // word (u32 at 84).
  static void RecordProgress();
  // The character picture removed (shown character, its face, ADV byte 26, character-shown 0);
  // the face removed (shown face, ADV byte 25, face-shown 0, blink animation deleted).
  void ReleaseChara();
  void ReleaseFace();
  // Capture, character and face released, the window's face box and text cleared, the window
  // closed, the named flags 0, the screen shade removed, a cross-fade of layer 8 with time 62.
  void CloseScenePicture();
  // Removes the item picture: its scale animation, its entry and its sprite.
  void ReleaseItemPicture();
  // One frame of the scene start (decode steps 0-2).
  void SceneStartStep(GameTaskRec* task);

 private:
  // Scene 0x0107's key 3 and scene 0x0108's idle timeout (decode step 3, before decoding).
  void SceneSkipChecks();
  // Before each command: the scene skip in 0x0107 / 0x0108 starts MACROEND (true: the pass
  // ends there); the idle timer restarts.
  bool SceneSkipBeforeCommand(GameTaskRec* task);
  // Step 0 of the scene start; false when the scene's script could not be had.
  bool SceneStartLoad();

 public:
  // ---- Messages and clicks: PRINT and CLICKWAIT (scene/script/macro_print.cpp,
  //      macro_click.cpp) ----
  // A hit map kept with the picture number it was read for (rows as TamvikFunc::LoadSpxHitData
  // gives them: count byte, then code and four big-endian half-pixel values per row).
  struct ToyMap {
    uint16_t picture = 0;
    std::vector<uint8_t> rows;
  };
  ToyMap nc_toy_map;
  ToyMap bg_toy_map1;
  ToyMap bg_toy_map2;
  // Hit-map files read so far (each load that opens a file counts one).
  uint32_t toy_map_reads = 0;
  // The three loaders: the character's map from "tamvik1\nc\NN.spr" of the ADV character
  // number, the backgrounds' from "tamvik1\bg\NN.spr" of the pictures on layers 5 and 6. A map
  // for the same number stays; another number releases it and reads again; 0 releases only.
  // 1 when a map is held afterwards.
  int LoadNcToyMap();
  int LoadBgToyMap1();
  int LoadBgToyMap2();
  // The code under the point: the screen edges (96-99, or 95 when toy 95 is active), then the
  // character's map, then the backgrounds' (the upper one first). A code whose toy is active
  // sets its icon and is returned when the icon task shows it; anything else icon 0, result 0.
  int HitToy(int x, int y);
  // Among the rows of the map containing (x, y) (origin + 2 x value, corners normalised, edges
  // included) the highest code below 100; 0 when none or the map is empty or cut short.
  static int HitToyMap(const std::vector<uint8_t>& map, int origin_x, int origin_y, int x, int y);
  // Hands the icon pattern to the icon task.
  static void SetToyIcon(uint16_t pattern);
  // A call frame as CALL pushes it, returning to the read position (CLICKWAIT's handlers end
  // with RETURN and the script goes on after the CLICKWAIT).
  void PushCallFrame();
  // Menu key 4 newly pressed, or a decide press in the face box while a face is shown.
  bool IsPrintMenuKey() const;
  // The text of the message PRINT shows (into the message table), retyped after the menu.
  const uint8_t* current_message = nullptr;
  // The item picture (ITEM's), which PRINT's menu takes away and puts back: its sprite (made
  // from surface 12), its entry on the text layer and its scale animation (clears itself).
  SprRec* item_sprite = nullptr;
  SprBufferEntry* item_entry = nullptr;
  AnimeHandle item_anime = nullptr;

 public:
  // ---- Scene succession ----
  // The succession table's row of a scene (the first that names it), or null
  // (scene/script/scene_succession.cpp).
  static const SceneSuccessionRow* FindSuccession(uint16_t scene);
  // The scene that follows a scene; the scene itself when the table has no row for it.
  static uint16_t GetNextScene(uint16_t scene);

 public:
  // ---- Picture commands (scene/script/macro_pictures.cpp) ----
  // The hit maps a picture change releases, by layer: layer 5 (the first background map), layer
  // 6 (the second) and the character's (the maps CLICKWAIT reads).
  static constexpr int kHitBg = 0;
  static constexpr int kHitFg = 1;
  static constexpr int kHitChara = 2;
  ToyMap& hit_map(int which) {
    return which == kHitBg ? bg_toy_map1 : which == kHitFg ? bg_toy_map2 : nc_toy_map;
  }
  void ReleaseHitMap(int which) { hit_map(which) = ToyMap{}; }
  // SCROLL's layer scrolls of layers 5 and 6 and TITLE's card timer; each scroll clears its own
  // handle when it ends. Released with the scene's animations.
  std::array<AnimeHandle, 2> scroll_handles{};
  AnimeHandle title_timer = nullptr;

 public:
  // ---- SPECIAL (scene/script/macro_sub_commands.cpp) ----
  // Decodes SPECIAL's sub-command word (arguments in A[0..3]): inline words go on at once, task
  // words when their task ends; unknown and not-installed words trace and go on.
  void DecodeSpecial(GameTaskRec* task);
  // The tone copies of layers 5 and 6 (user surfaces the tone effects draw from); -1 none.
  std::array<int32_t, 2> tone_surface{-1, -1};
  // ---- MOVIE and its captions (scene/script/macro_movie.cpp) ----
  // The caption table MOVIE's captions come from (the program's empty one unless a test puts
  // its own in place).
  const MovieCaptionTable* movie_captions = &ProgramMovieCaptions();
  // The playing movie's caption cell: its column (the movie number as the script gives it) and
  // row (1 from chapter 8, whose movies are numbered + 100), the entry shown or due next, and
  // whether that entry's text is on the screen.
  uint32_t movie_caption_number = 0;
  uint32_t movie_caption_row = 0;
  uint32_t movie_caption_index = 0;
  uint32_t movie_caption_shown = 0;
  // The movie player's overlay while MOVIE plays: after each presented picture, the due caption
  // drawn into surface 8 at 124,366 and copied onto the screen; at its end the area is put back
  // from the back buffer. A movie outside the table shows none.
  static void MovieCaption();
};
