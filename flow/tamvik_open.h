#pragma once
// The title (CTamvikOpen): the intro (background, turn-in, fly-in, letters, petal wipe), the
// music and logo, the start prompt and the title menu, run as the step machine
// "CTamvikOpen::NewTitleMain" under the game-mode manager. The title leaves its result (1-7; 0
// while it runs) for the manager's GM_TITLE mode.
//
// The title's state lives in a TitleState that the sequence entries own (FillTitleSequence); the
// task reaches it through its extra block. The option menu and the slot menu are reached only
// through GameSequences.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/anime/anime_handle.h"
#include "engine/gfx/gfx_types.h"
#include "flow/petal_wipe.h"
#include "flow/title_model.h"

struct GameSequences;
struct GameTaskRec;
struct SprAnm;
struct SprBufferEntry;
struct SprRec;
struct SprUnitHandle;
struct WindowRec;

// Everything the title holds while it runs, and its result.
struct TitleState {
  uint32_t title_result = 1;  // 1 before any title ran; 0 while one runs
  std::array<std::string, 9> menu_texts;  // Big5, by menu index

  SprAnm* title_anm = nullptr;  // "tamvik1\system\title.spr" as an animation set
  AnimeHandle timer = nullptr;
  AnimeHandle turn = nullptr;  // animation 0, turning, then unturned
  int32_t turn_previous_frames = 0;
  LayerState layers{};
  int32_t clear_flag = 0;
  bool layers_saved = false;
  std::vector<SprRec*> row_sprites;  // the fly-in's rows (null where refused)
  std::vector<SprBufferEntry*> row_entries;
  SprUnitHandle* letter = nullptr;
  int letter_entry = 0;  // the next letter entry to come up
  PetalWipe wipe;

  WindowRec* logo_window = nullptr;
  AnimeHandle fade = nullptr;
  AnimeHandle prompt = nullptr;
  AnimeHandle window_anime = nullptr;
  WindowRec* menu_window = nullptr;
  title::MenuRows rows{};
  int row = 0;
  int menu_index = title::kIdleIndex;
  uint8_t sub_step = 0;
};

class CTamvikOpen {
 public:
  static constexpr const char* kTaskName = "CTamvikOpen::NewTitleMain";

  // Main steps of the task (the step byte).
  enum Step : uint8_t {
    kIntro = 1,
    kMusicAndLogo = 2,
    kStartPrompt = 3,
    kMenuWindow = 4,
    kMenuLoop = 5,
    kChosen = 6,
    kEnd = 7,
  };
  // Sub-steps of the intro.
  enum IntroStage : uint8_t {
    kIntroLoad = 0,
    kIntroBackground,
    kIntroCrossFade,
    kIntroAfterFade,
    kIntroTurn,
    kIntroTurnRest,
    kIntroFly,
    kIntroLetters,
    kIntroWipe,
  };

  // Creates the task under `owner` and sets the result to 0.
  static void StartNewTitleMain(GameTaskRec* owner, TitleState& state);
  static bool IsTitleEnd();
  static void NewTitleMain(GameTaskRec* record);

  // The menu texts by index (Big5): new game, options, continue, continue from the break, the
  // extra scenario's title, (empty), (empty), the special edition, the flower cards.
  static std::array<std::string, 9> MenuTexts();
};

// Fills the title entries (title, title_result) with the real title; the state is owned by them.
void FillTitleSequence(GameSequences& sequences);
