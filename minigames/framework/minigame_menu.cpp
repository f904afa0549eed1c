// The common menu (minigame_menu.h).

#include "minigames/framework/minigame_menu.h"

#include <algorithm>
#include <array>

#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/minigame_context.h"

namespace {

using namespace mg;

constexpr int kGameCooking = 3;
constexpr int kGameFlowerCards = 4;
constexpr int kGameShooting = 7;

// Steps.
constexpr int kStepStart = -1;
constexpr int kStepPlayEntry = 10000;
constexpr int kStepPlay = 10001;
constexpr int kStepOpen = 10002;
constexpr int kStepPlayWait = 10003;
constexpr int kStepDemoEnd = 10004;
constexpr int kStepBuild = 10005;
constexpr int kStepResultFade = 10006;
constexpr int kStepResultShow = 10007;
constexpr int kStepResultVoice = 10008;
constexpr int kStepSlideIn = 10009;
constexpr int kStepChoose = 10011;
constexpr int kStepHelp = 10013;
constexpr int kStepClose = 10014;
constexpr int kStepQuit = 10015;
constexpr int kStepRetry = 10016;
constexpr int kStepHelpBack = 10018;

constexpr int32_t kFadeStep = 8;
constexpr int32_t kPanelSpeed = 256;
constexpr int32_t kSlideInSteps = 25;
constexpr int32_t kSlideOutSteps = 28;

// Animations of the menu's pictures (od data of every game file).
constexpr int32_t kAnimPanelTop = 450;
constexpr int32_t kAnimPanelLeft = 451;
constexpr int32_t kAnimPanelRight = 452;
constexpr int32_t kAnimBanner = 453;
constexpr int32_t kAnimCursor = 474;
constexpr int32_t kAnimResult = 479;
constexpr int32_t kAnimPicture = 420;
constexpr int32_t kAnimTitle = 430;       // + game row (430-445)
constexpr int32_t kAnimItem = 401;        // + choice number (401-406)
constexpr int32_t kAnimLabel = 446;       // + label 0-2 (the result labels)
constexpr int32_t kAnimHelpLine = 460;    // + page (460-471)
constexpr int kHelpLines = 10;

constexpr const char* kSoundDecide = "tamvik3\\se\\system01.wav";
constexpr const char* kSoundPaused = "tamvik3\\se\\system02.wav";
constexpr const char* kSoundResult = "tamvik3\\se\\system03.wav";

MgMenu& Menu() { return Minigame().menu; }

// Content: the title's place on the top panel, one row per game row.
constexpr std::array<MgTitlePlace, kGameCount> kTitlePlaces{{
    {224, 16}, {208, 16}, {192, 16}, {208, 16}, {176, 16}, {224, 16}, {192, 16}, {208, 16},
    {176, 16}, {176, 16}, {176, 16}, {176, 16}, {176, 16}, {176, 16}, {176, 16}, {176, 16},
}};
// The shooting game's picture and title row by variable 12 (1-6).
constexpr std::array<int, 6> kShootingRows{2, 1, 3, 6, 5, 4};

void ClearMenuObjects() {
  for (int o = kObjMenuFirst; o <= kObjMenuLast - 1; ++o) mg_obj_anim(o, 0);
}

void PutPanel(int o, int32_t anim, int32_t x, int32_t y, int32_t to_x, int32_t to_y) {
  mg_obj_put(o, x, y, 8, anim, 0);
  mg_obj_move(o, to_x, to_y, kPanelSpeed);
  mg_obj_flag(o, kObjEaseOut, 1);
}

void MovePanelOut(int o, int32_t to_x, int32_t to_y) {
  mg_obj_move(o, to_x, to_y, kPanelSpeed);
  mg_obj_flag(o, kObjEaseIn, 1);
}

// One menu item at row `row` of the left panel; a choice when `choice` >= 0 (cursor target).
void PutItem(int row, int choice_picture, int choice) {
  const int o = kObjMenuItemFirst + row;
  mg_obj_put(o, 160, 16 + 32 * row, 8, kAnimItem + choice_picture, 0);
  mg_obj_set_parent(o, kObjPanelLeft);
  if (choice >= 0) mg_cursor_target(choice, o);
}

void ShowHelp(int page) {
  for (int o = kObjMenuItemFirst; o < kObjMenuItemFirst + 4; ++o) mg_obj_anim(o, 0);
  for (int i = 0; i < kHelpLines; ++i) mg_obj_anim(kObjMenuHelpFirst + i, 0);
  const int o = kObjMenuHelpFirst;
  mg_obj_put(o, 16, 16, 8, kAnimHelpLine + page, 0);
  mg_obj_set_parent(o, kObjPanelLeft);
}

// Fades down 8 a step; true at 0.
bool FadeDown() {
  const int32_t level = std::max(0, Minigame().fw.brightness - kFadeStep);
  mg_brightness(level);
  return level == 0;
}

void OpenPanels() {
  MgMenu& menu = Menu();
  mg_cursor_save();
  mg_cursor_open(kObjMenuCursor, kAnimCursor);
  mg_choice_window(mg_var_get(0));
  PutPanel(kObjPanelTop, kAnimPanelTop, 96, -336, 96, 48);
  PutPanel(kObjPanelLeft, kAnimPanelLeft, 48, 656, 48, 272);
  PutPanel(kObjPanelRight, kAnimPanelRight, 384, 656, 384, 272);
  menu.wait = kSlideInSteps;
  menu.step = kStepSlideIn;
}

void StartClose() {
  MgMenu& menu = Menu();
  MovePanelOut(kObjPanelTop, 96, -336);
  MovePanelOut(kObjPanelLeft, -336, 272);
  MovePanelOut(kObjPanelRight, 768, 272);
  mg_cursor_close();
  mg_cursor_restore();
  menu.wait = kSlideOutSteps;
  menu.step = kStepClose;
}

void PlayStep() {
  MgMenu& menu = Menu();
  const MgFramework& fw = Minigame().fw;
  if (menu.demo != 0) {
    menu.banner_x += 4;
    if (menu.banner_x >= kBannerWrap) menu.banner_x -= kBannerWrap;
    if (mg_obj_get_anim(kObjMenuTitle) != kAnimBanner) {
      mg_obj_put(kObjMenuTitle, -menu.banner_x, 432, 8, kAnimBanner, 0);
    } else {
      mg_obj_set_x(kObjMenuTitle, -menu.banner_x);
    }
    --menu.demo_timer;
    if (menu.demo_timer < 0) {
      menu.step = kStepDemoEnd;
      return;
    }
  }
  if (fw.cross_fade == 256) {
    if (menu.phase == kPhaseBeforePlay && fw.brightness == 128) menu.answer = kMenuOpen;
    if (menu.phase == kPhaseResult && fw.brightness == 256) menu.answer = kMenuOpen;
    if (mg_key_take(kMgKeyMenu) != 0) {
      if (menu.demo != 0) {
        menu.demo_timer = 0;
      } else {
        menu.answer = kMenuOpen;
      }
    }
  }
  menu.step = kStepPlay;
}

// The first object 1-255 with the pointer flag (0 none).
int FindPointer() {
  for (int o = 1; o < kObjectCount; ++o) {
    if (mg_obj_test(o, kObjPointer) != 0) return o;
  }
  return 0;
}

}  // namespace

MgTitlePlace mg_menu_title_place(int game) {
  if (game < 0 || game >= kGameCount) return {0, 0};
  return kTitlePlaces[static_cast<size_t>(game)];
}

int mg_menu(int state) {
  if (mg_var_get(3) > 1) return kMenuPlay;
  MgMenu& menu = Menu();
  if (state == 2) menu.step = kStepStart;
  for (;;) {
    switch (menu.step) {
      case kStepStart:
        menu = MgMenu{};
        menu.demo_timer = kDemoSteps;
        mg_var_set(9, 0);
        if (mg_rank_get(0) == 0) mg_rank_reset();
        menu.step = kStepPlay;
        continue;
      case kStepPlayEntry:
      case kStepPlay:
        if (menu.answer == kMenuOpen) {
          menu.step = kStepOpen;
          continue;
        }
        if (mg_var_get(0) == kGameCooking) menu.demo_timer = kDemoSteps;
        menu.wait = 1;
        menu.step = kStepPlayWait;
        continue;
      case kStepPlayWait:
        if (menu.wait > 0) --menu.wait;
        if (menu.wait > 0) return menu.answer;
        PlayStep();
        if (menu.step == kStepDemoEnd) continue;
        return menu.answer;
      case kStepDemoEnd:
        // The demonstration has run out: the game starts again (its menu opens before play).
        menu.demo = 0;
        mg_obj_anim(kObjMenuTitle, 0);
        menu.step = kStepStart;
        return kMenuRetry;
      case kStepOpen:
        mg_brightness(256);
        if (mg_var_get(9) != 0) {
          menu.step = kStepResultFade;
          return kMenuOpen;
        }
        mg_freeze_b(128, 16);
        menu.step = kStepBuild;
        continue;
      case kStepBuild:
        OpenPanels();
        return kMenuOpen;
      case kStepSlideIn:
        if (menu.wait > 0) {
          --menu.wait;
          return kMenuOpen;
        }
        menu.step = kStepChoose;
        continue;
      case kStepChoose: {
        if (mg_key_take(kMgKeyDecide) == 0) return kMenuOpen;
        mg_se_play(kSoundDecide);
        const int choice = mg_cursor_get();
        if (choice == kChoiceQuit || choice == kChoiceRetry) {
          mg_cursor_close();
          menu.answer = kMenuOpen;
          menu.step = choice == kChoiceQuit ? kStepQuit : kStepRetry;
          return kMenuOpen;
        }
        if (choice == kChoiceReset) {
          mg_rank_reset();
          return kMenuOpen;
        }
        if (choice == kChoiceHelp) {
          menu.help_page = 0;
          mg_choice_window(-1);
          menu.step = kStepHelp;
          return kMenuOpen;
        }
        if (choice == kChoiceDemo) {
          menu.demo = 1;
          menu.demo_timer = kDemoSteps;
          menu.banner_x = 0;
        }
        StartClose();
        return kMenuOpen;
      }
      case kStepHelp:
        if (mg_key_take(kMgKeyDecide) != 0) {
          menu.help_page = (menu.help_page + 1) % kHelpPages;
          mg_choice_window(-(menu.help_page + 1));
        } else if (mg_key_take(kMgKeyCancel) != 0) {
          menu.step = kStepHelpBack;
          continue;
        }
        return kMenuOpen;
      case kStepHelpBack:
        for (int i = 0; i < kHelpLines; ++i) mg_obj_anim(kObjMenuHelpFirst + i, 0);
        mg_choice_window(mg_var_get(0));
        menu.step = kStepChoose;
        return kMenuOpen;
      case kStepClose:
        if (menu.wait > 0) {
          --menu.wait;
          return kMenuOpen;
        }
        mg_freeze_b_off();
        ClearMenuObjects();
        menu.answer = kMenuPlay;
        menu.phase = kPhasePlaying;
        menu.step = kStepPlay;
        return kMenuPlay;
      case kStepQuit:
        if (!FadeDown()) return kMenuOpen;
        mg_bgm_stop();
        mg_voice_stop();
        mg_se_stop();
        menu.answer = kMenuQuit;
        return kMenuQuit;
      case kStepRetry:
        if (!FadeDown()) return kMenuOpen;
        menu.answer = kMenuRetry;
        return kMenuRetry;
      case kStepResultFade: {
        if (!FadeDown()) return kMenuOpen;
        menu.pointer_object = FindPointer();
        menu.pointer_anim = mg_obj_get_anim(menu.pointer_object);
        mg_reset();
        mg_obj_put(kObjMenuResult, 0, 0, 256, kAnimResult, 0);
        mg_brightness(0);
        menu.step = kStepResultShow;
        return kMenuOpen;
      }
      case kStepResultShow: {
        const int32_t level = std::min(256, Minigame().fw.brightness + kFadeStep);
        mg_brightness(level);
        if (level < 256) return kMenuOpen;
        const char* voice = mg_text(200);
        if (voice != nullptr && voice[0] != '\0') mg_voice_play(voice);
        menu.step = kStepResultVoice;
        return kMenuOpen;
      }
      case kStepResultVoice: {
        const char* voice = mg_text(200);
        const bool named = voice != nullptr && voice[0] != '\0';
        if (named && mg_voice_playing() != 0 && mg_key_take(kMgKeyDecide) == 0) return kMenuOpen;
        mg_voice_stop();
        if (menu.pointer_object > 0) mg_obj_pointer(menu.pointer_object, menu.pointer_anim);
        menu.step = kStepBuild;
        continue;
      }
      default:
        menu.step = kStepStart;
        continue;
    }
  }
}

void mg_finish(int32_t score) {
  MgMenu& menu = Menu();
  if (menu.demo != 0) {
    menu.demo_timer = 0;
    return;
  }
  if (mg_var_get(3) != kModeFreePlay) return;
  mg_rank_insert(score);
  menu.phase = kPhaseResult;
  mg_var_set(2, mg_var_get(9) != 0 ? 1 : 0);
}

const char* mg_choice_window(int game) {
  MgMenu& menu = Menu();
  if (game < 0) {
    const int page = std::clamp(-game - 1, 0, kHelpPages - 1);
    ShowHelp(page);
    return "";
  }
  for (int o = kObjMenuItemFirst; o <= kObjMenuPicture; ++o) mg_obj_anim(o, 0);
  for (int i = 0; i < kCursorTargets; ++i) Minigame().cursor.targets[static_cast<size_t>(i)] = {};
  Minigame().cursor.selection = -1;
  const int mode = mg_var_get(3);
  const bool help = game == kGameFlowerCards;
  const char* sound = "";
  int row = 0;
  switch (menu.phase) {
    case kPhaseBeforePlay:
      PutItem(row++, kChoiceStart, kChoiceStart);
      PutItem(row++, kChoiceDemo, kChoiceDemo);
      if (help) PutItem(row++, kChoiceHelp, kChoiceHelp);
      break;
    case kPhasePlaying:
      sound = kSoundPaused;
      PutItem(row++, kChoiceStart, kChoiceStart);
      if (mode == kModeFreePlay) {
        PutItem(row++, kChoiceRetry, kChoiceRetry);
        if (help) PutItem(row++, kChoiceHelp, kChoiceHelp);
        PutItem(row++, kChoiceQuit, kChoiceQuit);
      } else {
        PutItem(row++, kChoiceRetry, -1);
        PutItem(row++, kChoiceDemo, -1);
      }
      break;
    default:
      sound = kSoundResult;
      PutItem(row++, kChoiceRetry, kChoiceRetry);
      PutItem(row++, kChoiceQuit, kChoiceQuit);
      PutItem(row++, kChoiceReset, kChoiceReset);
      for (int i = 0; i < 3; ++i) {
        const int o = kObjMenuLabelFirst + i;
        mg_obj_put(o, 32, 80 + 32 * i, 8, kAnimLabel + i, 0);
        mg_obj_set_parent(o, kObjPanelTop);
      }
      mg_rank_show();
      break;
  }
  // The picture on the right panel and the title on the top panel.
  int title_row = game;
  int32_t picture = kAnimPicture;
  const int shot = mg_var_get(12);
  if (game == kGameShooting && shot >= 1 && shot <= 6) {
    picture = kAnimPicture + shot - 1;
    title_row = kShootingRows[static_cast<size_t>(shot - 1)];
  }
  mg_obj_put(kObjMenuPicture, 0, 0, 8, picture, 0);
  mg_obj_set_parent(kObjMenuPicture, kObjPanelRight);
  const MgTitlePlace place = mg_menu_title_place(title_row);
  mg_obj_put(kObjMenuTitle, place.x, place.y, 8, kAnimTitle + title_row, 0);
  mg_obj_set_parent(kObjMenuTitle, kObjPanelTop);
  if (sound[0] != '\0') mg_se_play(sound);
  return sound;
}
