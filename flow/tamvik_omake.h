#pragma once
// The extras: the movie test (replays the movies, with their captions, and asks for the disc that
// holds one), the sound test (plays the music) and the picture test (shows the pictures seen).
// Each is a step machine on the task list over a paged list (flow/omake_lists.h); the lists are
// built when a screen opens and freed when it closes, and the screen's sprite files, windows and
// sprites live in its task's extra block, released whenever the task ends (also when its owner is
// gone). The object keeps the lists, the extras' font and the caption state of a playing movie;
// the composition root owns one and reaches it through GameSequences::extras.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/game_task.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/text/game_font.h"
#include "flow/omake_lists.h"

struct GameSequences;

class CTamvikOmake {
 public:
  static constexpr const char* kMovieTestName = "CTamvikOmake::MovieTest";
  static constexpr const char* kSoundTestName = "CTamvikOmake::SoundTest";
  static constexpr const char* kPicTestName = "CTamvikOmake::PicTest";

  static constexpr const char* kMovieWindowFile = "tamvik1\\system\\omkmov_w.spr";
  static constexpr const char* kSoundWindowFile = "tamvik1\\system\\omksnd_w.spr";
  static constexpr const char* kPictureWindowFile = "tamvik1\\system\\buro_w.spr";
  static constexpr const char* kPictureIconFile = "tamvik1\\item\\buroicon.spr";
  static constexpr const char* kExitWindowFile = "tamvik1\\system\\exit_w.spr";

  // The window of each screen on surface 8; the text area is the inner one but for the pictures.
  static constexpr Rect kMovieFrame{70, 52, 570, 428};
  static constexpr Rect kMovieInner{86, 92, 554, 388};
  static constexpr Rect kSoundFrame{80, 52, 560, 428};
  static constexpr Rect kSoundInner{96, 92, 544, 388};
  static constexpr Rect kPictureFrame{32, 32, 240, 416};
  static constexpr Rect kPictureInner{48, 72, 224, 400};
  static constexpr Rect kPictureText{56, 80, 216, 392};
  static constexpr ColorRef kWindowColor = 0xF0F0F0;
  static constexpr int kWindowStyle = 8;
  static constexpr ColorRef kTextColor = 0x0F0F0F;
  static constexpr ColorRef kChosenColor = 0x4040F0;

  // The insert-disc prompt.
  static constexpr Rect kPromptFrame{64, 216, 576, 264};
  static constexpr Rect kPromptInner{72, 224, 568, 256};

  // The chosen picture: its rectangle on surface 12 and its place on the screen.
  static constexpr Rect kPictureRect{0, 0, 360, 380};
  static constexpr int kPictureX = 256;
  static constexpr int kPictureY = 32;
  static constexpr int kCursorPriority = 2047;

  // The caption area of the movie test and the caption's line and colour.
  static constexpr Rect kCaptionArea{16, 338, 624, 466};
  static constexpr int kCaptionY = 338;
  static constexpr ColorRef kCaptionColor = 0xFCFCFC;

  CTamvikOmake();
  ~CTamvikOmake();
  CTamvikOmake(const CTamvikOmake&) = delete;
  CTamvikOmake& operator=(const CTamvikOmake&) = delete;

  // Trace "SetTask CTamvikOmake::MovieTest" (and likewise) and create the task under the owner:
  // 1, or 0 when the list refuses it.
  int StartMovieTest(GameTaskRec* owner);
  int StartSoundTest(GameTaskRec* owner);
  int StartPicTest(GameTaskRec* owner);
  // True when the task no longer exists.
  static bool IsMovieTestEnd();
  static bool IsSoundTestEnd();
  static bool IsPicTestEnd();

  // The extras' font (32 x 16, weight 500, character set 128, pitch and family 0x31), made when
  // first asked for; DeleteFont lets it go (the sound test when it leaves, and the destructor).
  const GameFont* Font();
  bool HasFont() const { return font_ != nullptr; }
  void DeleteFont() { font_.reset(); }

  // The lists of the open screen (empty while none is open).
  std::vector<omake::MovieEntry> movies;
  std::vector<omake::SoundEntry> sounds;
  std::vector<omake::PictureEntry> pictures;

  // The caption state of the movie being played: series (0 or 1) and number (0-30) from its
  // file name (-1 when outside the caption table), the caption index and whether one is shown.
  int caption_series = 0;
  int caption_number = -1;
  uint8_t caption_index = 0;
  uint8_t caption_shown = 0;
  // Sets the caption state for a movie file name ("MOVIEsnn").
  void ResetCaptions(const char* file);
  // The player's per-frame callback while a movie of the movie test plays: one caption at a time
  // from the MOVIE command's caption table (Scene().macro.movie_captions).
  void CaptionOverlay();

  static void MovieTest(GameTaskRec* task);
  static void SoundTest(GameTaskRec* task);
  static void PicTest(GameTaskRec* task);

 private:
  std::unique_ptr<GameFont> font_;
};

// Fills GameSequences::extras with an object the entries own: which 1 the movie test, 3 the
// picture test, anything else the sound test.
void FillExtrasSequence(GameSequences& sequences);
