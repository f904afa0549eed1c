#pragma once
// CTamvikLips: a choice of one to three lines in a framed window in the middle of the screen; the
// player's pick (1-3) or 0 for a timed choice whose time ran out is the result.
//
// - Timed choice (mode 0, a non-zero limit in frames): window "window_a", a red gauge that runs
//   around the window's edge, the needle animation (R_hari.spr), a time-limit sound chosen by
//   the limit and, at the time-out, the second needle animation, steam from both sides
//   (jyouki.spr) and a light-red window for 150 frames.
// - Plain choice (mode 1, limit 0): window "window_c", no gauge, no time-out.
//
// The choice runs as the task "CTamvikLips::Lips" (no owner); its caller polls IsLipsEnd and
// then reads GetResult. One object lives in the scene context (`Scene().lips`); only one choice
// runs at a time.

#include <array>
#include <cstdint>
#include <string>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"
#include "engine/gfx/gfx_types.h"

struct SprAnm;
struct SprRec;
struct SprBufferEntry;
struct WindowRec;

// The choice task's extra block: what the choice asks for and what it keeps of the sound. The
// name of a looping sound effect that was playing is kept by the object (`saved_se_name`), since
// task blocks are freed without destructors.
struct LipsWork {
  uint16_t current = 0;  // highlighted line, 1-based; 0 none
  uint32_t elapsed = 0;  // frames since the gauge started
  uint8_t mode = 0;      // 0 timed, 1 plain
  uint16_t limit = 0;    // time limit in frames
  int32_t saved_se_volume = 0;
};

// The task's work block: the step in byte 1 and four byte counters.
struct LipsTaskWork {
  uint8_t form = 0;
  uint8_t step = 0;
  uint8_t timer_copy = 0;
  uint8_t steam_left_done = 0;
  uint8_t steam_right_done = 0;
  uint8_t phase = 0;  // the blink phase last shown
  uint8_t rest[10] = {};
};
static_assert(sizeof(LipsTaskWork) == 16);

class CTamvikLips {
 public:
  static constexpr const char* kTaskName = "CTamvikLips::Lips";
  static constexpr int kMaxLines = 3;
  // Bytes of a line buffer; a line holds at most kLineBytes - 1 bytes.
  static constexpr size_t kLineBytes = 256;
  static constexpr int kDefaultStyle = 7;
  static constexpr const char* kSteamFile = "tamvik1\\system\\jyouki.spr";
  static constexpr const char* kNeedleFile = "tamvik1\\system\\R_hari.spr";
  // The gauge's length at the limit (two lines of 212 + 166 + 150 pixels).
  static constexpr int kGaugeFull = 528;
  // Frames the time-out shows before closing; frames a confirmed line stays lit after its blink.
  static constexpr int kTimeoutFrames = 150;
  static constexpr int kConfirmHoldFrames = 30;

  // Window rectangles by mode (screen coordinates).
  struct Layout {
    Rect frame, inner, text;
    const char* background;
    int bar_top;       // bar top = row top + bar_top (screen)
    int bar_home_x;    // the bar sprite's home, relative to the window
    int bar_home_top;  // home y = row top + bar_home_top
    int pointer_top;   // pointer y = first row top + pointer_top
  };
  static const Layout& LayoutOf(int mode);

  CTamvikLips();
  CTamvikLips(const CTamvikLips&) = delete;
  CTamvikLips& operator=(const CTamvikLips&) = delete;

  // StartLipsEx with window style 7. 1 started, 0 refused (a choice runs already, or the task
  // list refuses).
  int StartLips(const char* text, int limit);
  // Lays the text out, opens the window with its bars and text, puts the pointer on the first
  // bar and starts the task. Mode 0 (timed) for a limit above 0, else mode 1. A limit above
  // 65535 frames counts as 65535.
  int StartLipsEx(const char* text, int limit, int style);
  // No task "CTamvikLips::Lips" exists.
  bool IsLipsEnd() const;
  // Ends a running choice at once, without a result (the scene under it is going): its task,
  // window, bars, animations, timer and gauge files go, and the timed gauge's sound stops with
  // the effect volume as it was before it.
  void EndLips();
  // 1-3 the line picked, 0 timed out; -1 before any choice.
  int32_t GetResult() const { return result_; }
  void SetResult(int32_t value) { result_ = value; }

  // ---- Layout (filled by the start) ----
  // Splits the text on "$$" (read in two-byte units) into the line buffers: at most three lines
  // (a further separator is dropped and the text goes on in line 3), each cut at 255 bytes. A
  // null text gives one empty line. The number of lines.
  int ChoiceText(const char* text);
  // Row tops for the line count: 1 -> 48; 2 -> 24, 72; 3 -> 0, 48, 96.
  void LayRows();
  // 228 - bytes x 6 (the line centred in the 456-pixel text rectangle), 0 when negative.
  static int TextX(size_t bytes);
  // The time-limit sound for a limit: "tamvik1\system\SE\TE06_nn.wav" by band, "...TE06.wav"
  // for 241-359 frames.
  static std::string LipsSeName(uint32_t limit);

  int count() const { return count_; }
  const char* line(int i) const { return lines_[static_cast<size_t>(i)].data(); }
  int text_x(int i) const { return text_x_[static_cast<size_t>(i)]; }
  int row_y(int i) const { return row_y_[static_cast<size_t>(i)]; }
  // The bar of line i in screen coordinates for the current mode.
  Rect BarRect(int i) const;

  // ---- Parts of the task (public for the tests) ----
  // Shows the bar of `row` (0-based) in the window, or none for -1.
  void SetHighlight(int row);
  // One frame of the choice input: the line confirmed (with its sound), else 0.
  int SelectInput(LipsWork& work);
  // Draws the gauge for `elapsed` of `limit` frames into the window's frame sprite; true when
  // the time is out (elapsed above limit).
  bool DrawGauge(uint32_t elapsed, uint32_t limit);
  // Fills the rectangle (window coordinates) red on surface 12 and copies it into the window's
  // frame sprite; empty rectangles are skipped.
  void DrawGaugeSegment(Rect rect);
  // Plays the time-limit sound for the limit on the streamed sound-effect channel.
  static void PlayLipsSe(uint32_t limit);

  // The task's function.
  static void Lips(GameTaskRec* task);

  // ---- State ----
  WindowRec* window() const { return window_; }
  SprRec* bar(int i) const { return bars_[static_cast<size_t>(i)]; }
  SprBufferEntry* highlight() const { return highlight_; }
  int mode() const { return mode_; }
  AnimeHandle needle() const { return needle_; }
  AnimeHandle steam_left() const { return steam_left_; }
  AnimeHandle steam_right() const { return steam_right_; }
  SprAnm* needle_file() const { return needle_file_; }
  SprAnm* steam_file() const { return steam_file_; }
  const std::string& saved_se_name() const { return saved_se_name_; }

 private:
  int OpenChoiceWindow(int mode, int style);
  void CloseChoiceWindow();
  void CreateCursorBars(int mode);
  void DeleteCursorBars();
  void LoadGaugeFiles();
  void FreeGaugeFiles();
  void PlayNeedle(uint32_t animation);
  void SaveSound(LipsWork& work);
  void RestoreSound(LipsWork& work);
  void RestartTimer();
  void StopTimer();
  int32_t TimerFrames() const;
  void StartClose();
  // Ends what a choice whose task was deleted from outside left behind (animations, timer,
  // bars, window).
  void ClearLeftovers();

  std::array<std::array<char, kLineBytes>, kMaxLines> lines_{};
  int count_ = 0;
  std::array<int, kMaxLines> text_x_{};
  std::array<int, kMaxLines> row_y_{};
  int32_t result_ = -1;
  int mode_ = 0;
  std::array<SprRec*, kMaxLines> bars_{};
  SprBufferEntry* highlight_ = nullptr;
  WindowRec* window_ = nullptr;
  AnimeHandle timer_ = nullptr;
  AnimeHandle open_anime_ = nullptr;
  SprAnm* steam_file_ = nullptr;
  AnimeHandle steam_left_ = nullptr;
  AnimeHandle steam_right_ = nullptr;
  SprAnm* needle_file_ = nullptr;
  AnimeHandle needle_ = nullptr;
  std::string saved_se_name_;
};
