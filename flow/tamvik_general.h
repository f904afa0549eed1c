#pragma once
// The game-mode manager: the top task of the game, which switches on its mode number (0-47) each
// frame and starts the game's sequences (through GameSequences); each of them hands back by
// setting the next mode. Also the disc prompt, which asks for the disc a chapter needs.

#include <cstdint>

#include "engine/core/game_task.h"
#include "engine/core/step_task.h"

// The manager's 16-byte work block: the mode in byte 1 (the step byte), the sub-state in the
// second 32-bit word.
struct GeneralWork {
  uint8_t form;
  uint8_t mode;
  uint8_t unused[2];
  uint32_t subState;
  uint32_t reserved[2];
};
static_assert(sizeof(GeneralWork) == 16);

// The disc prompt's 16-byte work block (its step in byte 1) and its extra block.
struct CautionWork {
  uint8_t form;
  uint8_t step;
  uint8_t unused[14];
};
struct CautionExtra {
  // 0, 1, 2: disc 1, 2 or 3 is wanted; 3: any game disc.
  uint32_t kind;
};

class CTamvikGeneral {
 public:
  static constexpr const char* kManagerTaskName = "CTamvikGeneral::GeneralManeger";
  static constexpr const char* kCautionTaskName = "CTamvikGeneral::CautionSeq";
  static constexpr const char* kMiniGameTaskName = "mg_task";
  // The first mode number that does nothing.
  static constexpr int kModeCount = 48;
  // The sub-state set when the logo or the staff card starts.
  static constexpr uint32_t kLogoSubState = 152;
  // The disc prompt's picture file (picture `kind`).
  static constexpr const char* kCautionPicture = "tamvik1\\system\\caution.spr";

  // Creates the manager task (no owner, zeroed block: mode 0) and sets the six pairs of trust
  // values P[10], P[11], P[20] .. P[61] to 0x8010.
  static void StartManager();
  // Ends the manager task (freed on the list's next pass).
  static void StopManager();
  // Writes the mode into the manager's block, acted on at its next run: 1, or 0 without a
  // manager.
  static int SetMode(int mode);
  // The current mode; 0 without a manager.
  static int GetMode();
  // The first mode after mode 0, from the system data's resume point (traced "NextMode=%s").
  static int GetStartMode();
  // The name a mode is traced with, or null for a mode without one (11 is "DEFAULT").
  static const char* ModeName(int mode);

  // Starts minigame n in mode m under the task "mg_task": 1, or 0 (the task ended again) when
  // the minigame cannot start.
  static int StartMiniGame(int n, int m);
  // Minigame n (1-8) counts as seen; saves save\system.dat.
  static void SetMinigameSeen(int n);
  // The ending of P[83] counts as seen and is the last ending; saves save\system.dat.
  static void SetEndingSeen();
  static int SaveSystem();
  // The battle map of the story's scene code; clears the minigame-from-test and lost flags.
  static int SetSlgStart();
  // The battle map of a scene code (0 for a scene without a battle); sets P[73] for the two
  // scenes of map 18.
  static uint32_t SlgMapOfScene(uint16_t scene);
  // 1 when the disc of the next chapter is in a drive; else starts the disc prompt under the
  // owner and 0.
  static int NextChapterDiscCheck(GameTaskRec* owner);
  // Starts the disc prompt asking for disc kind + 1 (kind 3: any game disc).
  static void StartCautionSeq(GameTaskRec* owner, uint32_t kind);
  // The running disc prompt's step, -1 when none runs.
  static int GetCautionStep();
  // Sets the layers back up: 4 and 8 shown, 5-7 hidden with their place, scroll and view
  // reset, the story screen's pieces released, 5-8 cleared transparent, 6 above 5.
  static void ResetAdvScreen();

  // The last title result (1 before any title ran).
  static uint32_t LastTitleResult();

  // The task functions.
  static void GeneralManeger(GameTaskRec* task);
  static void CautionSeq(GameTaskRec* task);
  static void MiniGameTask(GameTaskRec* task);

  // ---- Maker logo, staff card and opening movie (flow/zeva_logo.cpp) ----
  static constexpr const char* kZevaLogoTaskName = "CTamvikGeneral::ZevaLogoMain";
  static constexpr const char* kOpeningTaskName = "CTamvikGeneral::OpeningMovieSeq";
  // The logo sequence under `owner`: the logo form (mode 1, with the logo movie) or the staff
  // card form (mode 15, without it). Each ends with SetMode(5), or SetMode(3) on the start key.
  static void StartZevaLogoMain(GameTaskRec* owner);
  static void StartStaffCard(GameTaskRec* owner);
  // No logo task exists.
  static bool IsZevaLogoEnd();
  // The opening movie with its captions under `owner`; ends with SetMode(3).
  static void StartOpeningMovieSeq(GameTaskRec* owner);
  static bool IsOpeningMovieEnd();
  // The opening's caption routine (the movie player's overlay while the opening plays): steps
  // the caption on once the movie has passed the end frame of the current one.
  static void OpeningCaption();
  static void ZevaLogoMain(GameTaskRec* task);
  static void OpeningMovieSeq(GameTaskRec* task);
};

inline constexpr StepTaskKind<GeneralWork> kGeneralManager{CTamvikGeneral::kManagerTaskName,
                                                          &CTamvikGeneral::GeneralManeger};
inline constexpr StepTaskKind<CautionWork> kCautionSeq{CTamvikGeneral::kCautionTaskName,
                                                      &CTamvikGeneral::CautionSeq};

// The save and load menus (CTamvikBup::GetRestartMode among them).
#include "flow/tamvik_bup.h"  // IWYU pragma: export
