#pragma once
// The ending: the task "CTamvikEnding::EndingMain", which plays the ending song on the voice
// channel and, in step with the song's playing position, runs a table of timed picture commands
// (pictures drawn, cross-faded, opened from the centre line, screen fades). When the player has
// now seen all six endings, a closing part with a table of its own follows. Started by the
// game-mode manager (modes 46 and 47, through GameSequences::ending) and by the debug menu.

#include <cstdint>
#include <span>

#include "engine/core/game_task.h"
#include "engine/core/step_task.h"

// One row of a command table: seven u32 values.
struct EndingRow {
  uint32_t time;     // start time in frames (60 a second) of the song's playing position
  uint32_t command;  // 0-12 (CTamvikEnding::Command)
  uint32_t picture;  // 0-99 end_ file, 100-199 staff_ file, 200 and above end_ge.spr
  uint32_t x;
  uint32_t y;
  uint32_t param;    // fades: param / 2 frames; Open X / Open Y: pixels per frame
  uint32_t surface;  // 4-8
};

// The task's 64-byte extra block: the interpreter's state and the task's flags.
struct EndingState {
  uint32_t ending;     // e, 6 while the closing part's table runs
  uint32_t rowIndex;   // the next row to take
  uint32_t wait;       // CTamvikEnding::Wait
  EndingRow row;       // the row taken last
  uint32_t openWidth;  // half-width (Open X) or half-height (Open Y) of the opening
  uint32_t openSpeed;  // pixels per frame
  uint32_t openStart;  // the clock (frames) on the opening's first frame
  uint32_t endFlag;    // command 9 ran, the table ran out, or the song stopped
  uint32_t closing;    // all six endings have been seen: the closing part plays
  uint32_t rowsRun;    // rows taken since the interpreter was cleared
};
static_assert(sizeof(EndingState) == 64);

// The task's 16-byte work block: the step in byte 1 and a frame counter for its waits.
struct EndingWork {
  uint8_t form;
  uint8_t step;
  uint8_t unused[2];
  uint32_t frames;
  uint32_t reserved[2];
};
static_assert(sizeof(EndingWork) == 16);

class CTamvikEnding {
 public:
  static constexpr const char* kTaskName = "CTamvikEnding::EndingMain";
  static constexpr const char* kSong = "tamvik1\\bgm\\otome.wav";
  static constexpr const char* kVoice6002 = "tamvik1\\voice\\6002.wav";
  static constexpr const char* kVoice6003 = "tamvik1\\voice\\6003.wav";
  static constexpr const char* kCommonFile = "tamvik1\\ending\\end_ge.spr";

  static constexpr int kEndings = 6;
  static constexpr int kTables = 7;
  static constexpr int kClosingTable = 6;
  static constexpr size_t kMaxRows = 256;
  // The pictures each file holds (the tables use no others).
  static constexpr uint32_t kEndPictures = 12;
  static constexpr uint32_t kStaffPictures = 17;
  static constexpr uint32_t kCommonPictures = 6;

  // Frames of the task's waits.
  static constexpr uint32_t kAfterSongFrames = 960;
  static constexpr uint32_t kAfterClosingVoiceFrames = 120;
  static constexpr uint32_t kLastPictureFrames = 664;
  static constexpr uint32_t kLastPicturePhaseMs = 64;

  enum Command : uint32_t {
    kClear = 0,
    kDrawCg,
    kCrossFadeIn,
    kCrossFadeOut,
    kOpenX,
    kOpenY,
    kLoadCg,
    kSnapScreen,
    kCrossFade,
    kDecodeEnd,
    kFadeScreenIn,
    kFadeScreenOut,
    kDrawFadeScreenIn,
    kCommandCount,
  };
  enum Wait : uint32_t {
    kIdle = 0,
    kWaitCrossFade,
    kOpeningX,
    kOpeningY,
    kWaitScreenFade,
    kWaitScreenFadeOut,  // then the fills
    kEnded,              // command 9: stays
  };

  // Ends a running ending task; stops the music, the voice and the effects; reads the ending's
  // end_ and staff_ files into the sprite cache; fills surface 4 black and 5-8 transparent; starts
  // the task under `owner` for ending value n (e = n - 1 for 1-6, else 0).
  static void StartEndingMain(GameTaskRec* owner, int n);
  // No ending task exists.
  static bool IsEndingEnd();
  // The ending's screen: layers 4-8 shown; the records of 5-7 back to origin, no scroll and a
  // 640 x 480 view, a user surface attached to one of them given back; the blink animation, the
  // character set and the message window released; 4 black, 5-8 transparent; 5 below 6.
  static void InitEndingScreen();

  // e for an ending value: n - 1 for 1-6, else 0.
  static uint32_t EndingNumber(int n);
  // The picture files of ending e (0-5); null for any other e.
  static const char* EndFile(uint32_t e);
  static const char* StaffFile(uint32_t e);
  // The file and image a picture number of table e names (the rule of the tables), or null (and
  // the image untouched) when e has no such file.
  static const char* PictureFile(uint32_t e, uint32_t picture, int* image);

  // Command table t (0-5 the endings, 6 the closing part).
  static std::span<const EndingRow> Table(uint32_t t);

  // Clears the interpreter (row 0, idle, flags but the closing flag cleared) for table e.
  static void ClearDecode(EndingState& state, uint32_t e);
  // One call of the interpreter with the voice clock in milliseconds (-1: the voice channel is
  // stopped): 1 when a row was taken or a wait ended (call again this frame), 0 when it waits or
  // the end flag is set. A stopped voice sets the end flag: after a row ran, the song's end;
  // before any, the song never started. Running past the table's last row acts as command 9.
  static int DecodeEnding(EndingState& state, std::span<const EndingRow> table,
                          int32_t voice_ms);
  // The trace name of a command, "?" for an unknown one.
  static const char* CommandName(uint32_t command);

  static void EndingMain(GameTaskRec* task);
};

inline constexpr StepTaskKind<EndingWork> kEndingMain{CTamvikEnding::kTaskName,
                                                     &CTamvikEnding::EndingMain};
