#pragma once
// The common menu every game procedure calls each step (mg_menu), the end of play (mg_finish) and
// the menu's panel contents (mg_choice_window). The rankings are in minigame_rank.h.
//
// mg_menu's answer: 0 play, 1 the menu is open (the game pauses), 2 retry, 3 quit. In modes above
// 1 (card games chained from the hub) it answers 0 at once and touches nothing.
//
// Steps (MgMenu::step): -1 start; 10001/10003 play (the demonstration banner and timer, and the
// three ways the menu opens: a game dimmed to 128 before play, a result at full brightness, the
// menu button); 10002 open (freeze B at layer 16 dimmed to 128, or the result path when variable
// 9 is set); 10005/10009 the cursor on object 201 and the three panels easing in (25 steps);
// 10011 the choice; 10013/10018 help; 10014 close (28 steps); 10015 quit and 10016 retry (fade
// out 8 a step); 10004 the end of a demonstration; 10006-10008 the result picture and voice.

#include <cstdint>

namespace mg {
// Menu answers.
constexpr int kMenuPlay = 0;
constexpr int kMenuOpen = 1;
constexpr int kMenuRetry = 2;
constexpr int kMenuQuit = 3;
// Menu phases.
constexpr int kPhaseBeforePlay = 0;
constexpr int kPhasePlaying = 1;
constexpr int kPhaseResult = 2;
// Choice numbers (cursor targets).
constexpr int kChoiceStart = 0;
constexpr int kChoiceRetry = 1;
constexpr int kChoiceDemo = 2;
constexpr int kChoiceQuit = 3;
constexpr int kChoiceReset = 4;
constexpr int kChoiceHelp = 5;
// Objects.
constexpr int kObjMenuTitle = 200;
constexpr int kObjMenuCursor = 201;
constexpr int kObjMenuItemFirst = 202;  // 202-205
constexpr int kObjMenuLabelFirst = 206;  // 206-208 result labels
constexpr int kObjMenuPicture = 209;
constexpr int kObjMenuResult = 210;
constexpr int kObjMenuHelpFirst = 230;  // 230-239
constexpr int kObjPanelTop = 240;
constexpr int kObjPanelLeft = 241;
constexpr int kObjPanelRight = 242;
constexpr int kHelpPages = 12;
constexpr int32_t kDemoSteps = 1800;
constexpr int32_t kBannerWrap = 896;
}  // namespace mg

// The menu step for a game procedure called with the framework state (2 starts it anew).
int mg_menu(int state);
// The end of play: in a demonstration only the timer ends; in mode 1 the score goes into the
// ranking, the phase becomes 2 and variable 2 := 1 when variable 9 is set, else 0.
void mg_finish(int32_t score);
// The panel contents for the current phase and mode of game row `game`; a negative argument -n
// shows help page n - 1 (0-11) instead. Gives the choice sound of the phase ("" for none).
const char* mg_choice_window(int game);

// Content: the title's placement (x, y on panel 240) of game row `game` (0-15), and the help line
// animations of page p. The shooting game takes the row of game 2, 1, 3, 6, 5 or 4 for variable
// 12 = 1-6.
struct MgTitlePlace {
  int32_t x;
  int32_t y;
};
MgTitlePlace mg_menu_title_place(int game);
