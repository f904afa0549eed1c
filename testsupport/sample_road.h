#pragma once
// The whole program on a fresh copy of a sample install directory (testsupport/sample_data.h),
// headless on the shared program driver with the composition root's wiring, and the roads
// through it by keys: boot to the title's menu (the staff card and the opening shown, the opening
// and the title's intro skipped with the start key), a scene played to its end and the title
// again. The modes the manager took are recorded before every frame; every file opened is logged.
//
// The headless movie seam decodes nothing: the sample's two movies are scripted there in the red
// of the generator's test movie, each as long as the sample's. The game's waits are timed, so the
// driver steps 50 ms a frame (still one game frame per iteration), which takes the road in the
// fewest iterations.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_extension.h"
#include "battle_effects/effects_install.h"
#include "engine/input/dinput.h"
#include "testsupport/faulty_files.h"
#include "testsupport/program_driver.h"

struct SaveMenuExtra;

namespace testsupport {

// Traced lines that report a file missing, cut or failing ("no file", "not found", "Fail",
// "cut"), but for the player's own files that need not exist yet (the key assignment, empty
// save slots, the minigames' rankings before the first game).
std::vector<std::string> SampleTraceFaults(const TraceCapture& trace);

// Copies the sample install directory into a game tree's install directory.
void CopySample(const std::string& sample_dir, const std::string& install);

class SampleRoad {
 public:
  static constexpr uint32_t kFrameMs = 50;
  static constexpr uint16_t kMovieRed = 0xD8E3;       // the test movie's 0xDC1E1E in RGB565
  static constexpr uint32_t kMovieRedRef = 0x1E1EDC;  // as COLORREF (0x00BBGGRR)

  // `frames_to`: a folder where the checked frames are written as PNGs ("" writes none).
  explicit SampleRoad(const std::string& sample_dir, std::string frames_to = ".");
  ~SampleRoad();
  SampleRoad(const SampleRoad&) = delete;
  SampleRoad& operator=(const SampleRoad&) = delete;

  int Mode() const;
  int TitleStep() const;

  // Presses a game key in the next frame and lets it go in the one after.
  void Press(GameKeyBits bit);
  // Presses the key every `every` frames until the condition holds, at most `limit` frames; a
  // failure is reported to the running test with the name.
  bool PressUntil(GameKeyBits bit, const std::string& name, const std::function<bool()>& reached,
                  int limit, int every = 8);
  bool UntilMode(int mode, int limit);
  // Runs until the presented frame holds a pixel of the colour (5-bit channels); the frame is
  // written as sample_<name>.png either way.
  bool UntilShown(const std::string& name, uint32_t colour_ref, int limit);
  // Whether the latest presented frame holds the colour (5-bit channels) at (x, y).
  bool ShownAt(int x, int y, uint32_t colour_ref) const;
  // Whether the latest presented frame is light at (x, y): every channel at least 3/4 of full.
  bool LightAt(int x, int y) const;
  // Writes the latest presented frame as sample_<name>.png (when frames are written at all).
  void SaveFrame(const std::string& name);

  // The timed choice: whether one is open, its highlighted line (1-based; -1 with none).
  static bool ChoiceOpen();
  static int ChoiceLine();
  // Waits for a choice, highlights line `line` with the down key and confirms it; true once the
  // choice has ended.
  bool Choose(const std::string& name, int line);
  // The eyecatch's offer to save: waits for its menu and confirms entry `entry` (0 save, 2 go
  // on); for entry 2, true once the offer has ended.
  bool AnswerTheSaveOffer(int entry);

  // Whether the option menu is open.
  static bool OptionMenuOpen();
  // From the open option menu: its "遊戲結束" chosen, the question answered yes; whether the
  // program ended within the limit.
  bool QuitThroughTheOptions(int limit);

  // The slot menu's extra block (null while none runs) and its sub-step (-1 with none; 2 the
  // slot list, 12 the question); runs until the sub-step is `sub_step`.
  static const SaveMenuExtra* SlotMenu();
  static int SlotMenuSubStep();
  bool UntilSlotMenuSubStep(const std::string& name, int sub_step, int limit);

  // Runs the sample's battle to its end: the hero walks beside the enemy and attacks until it
  // falls, each attack played by the kinds' own routines (the road installs the battle's attack
  // effects as the program does); the messages of the events on the way are closed with OK, and
  // the victory needs a rule installed as the event check. Whether the battle was left within the
  // limit. The names of the routines the attacks played are kept in `attack_routines`.
  bool WinTheBattle(int limit);
  std::set<std::string> attack_routines;

  // The traced lines of a file missing, cut or failing (SampleTraceFaults).
  std::vector<std::string> TraceFaults() const { return SampleTraceFaults(d.trace()); }

  // Whether a path containing the fragment was opened; runs until one is.
  bool Opened(const std::string& fragment) const;
  bool UntilOpened(const std::string& fragment, int limit);

  // Start to the title's menu (frames "staff card with the maker logo", "opening", "title menu").
  bool BootToTitleMenu();
  // From the title menu: the row `downs` below the first chosen with decide.
  void ChooseRow(int downs);
  // From the title menu: a new game, until its first message shows (frame `frame`).
  bool StartANewGame(const std::string& frame);
  // The extra scene's first message typed (frame "message window"), decide until the title is
  // back (frame "title again").
  bool PlaySceneToTitle();

  // Opened paths the files seam could not find (the optional key assignment and the empty slots
  // 2-21, which the slot list reads, left out).
  std::vector<std::string> NotFound();

  std::vector<int> modes;  // the manager's modes, each change once
  // The attack effects, registered for the road's life as the program's start registers them.
  ScopedBattleInstaller effects{&InstallBattleEffects};
  ProgramDriver d;
  FaultyFiles files{d.host().files};
  std::filesystem::path system_dat;
  std::filesystem::file_time_type system_dat_time;

 private:
  static ProgramDriver::Options MakeOptions(SampleRoad* road);
  std::string frames_to_;
};

}  // namespace testsupport
