#include "minigames/hana/koi_proc.h"

#include <algorithm>

#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_save.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/minigame_context.h"

namespace hana {
namespace {

constexpr const char* kStaticSounds[] = {
    "tamvik3\\se\\system00.wav", "tamvik3\\se\\system01.wav", "tamvik3\\se\\system02.wav",
    "tamvik3\\se\\system03.wav", "tamvik3\\se\\hana10.wav",   nullptr,
};
constexpr const char* kMusic = "tamvik1\\bgm\\sm01.wav";
constexpr const char* kSeConfirm = "tamvik3\\se\\system01.wav";
constexpr const char* kSeChosen = "tamvik3\\se\\hana10.wav";

constexpr KoiOpponent kOpponents[kKoiOpponents] = {
    {9, 8, 5, 1},   {10, 10, 1, 4}, {4, 12, 3, 6}, {11, 14, 4, 2},
    {12, 16, 2, 5}, {13, 18, 0, 0}, {14, 20, 6, 3}, {15, 1, 1, -1},
};

constexpr KoiComboRow kListRows[kKoiComboRows] = {
    {{1, 9, 29, 41, 45}, 19, 0, 12},     // five brights
    {{1, 9, 29, 45}, 20, 1, 13},         // four brights
    {{9, 29, 41, 45}, 21, 2, 14},        // rainy four brights
    {{1, 29, 45}, 22, 3, 15},            // three brights
    {{29, 33}, 26, 7, 16},               // moon viewing
    {{9, 33}, 27, 8, 16},                // flower viewing
    {{25, 37, 21}, 25, 4, 15},           // boar, deer and butterflies
    {{5, 13, 17, 30, 42}, 29, 10, 17},   // animals
    {{2, 6, 10}, 23, 5, 15},             // red poem ribbons
    {{22, 34, 38}, 24, 6, 15},           // blue ribbons
    {{10, 18, 26, 34, 43}, 28, 9, 17},   // ribbons
    {{7, 15, 19, 23, 27, 31, 39, 44, 47, 48}, 30, 11, 17},  // plains (two lines)
};

// Menu, list and free-match places (presentation).
constexpr int32_t kMenuLayer = 10;
constexpr int32_t kFreezeLayer = 16;  // the title and everything behind it dim under the menu
constexpr int32_t kCardsX = 448;      // the example cards' centre
constexpr int32_t kCardStep = 44;
constexpr int kFlySteps = 15;
constexpr int kIdleSteps = 900;
constexpr int kDemoLength = 1800;

KoiState& K() { return Minigame().koi; }

void ItemPlace(int i, int32_t& x, int32_t& y) {
  x = 64 + 256 * (i % 2);
  y = 48 + 96 * (i / 2);
}
void PortraitPlace(int i, int32_t& x, int32_t& y) {
  x = 80 + 160 * (i % 4);
  y = 120 + 200 * (i / 4);
}

void Hide(int first, int last) {
  for (int o = first; o <= last; ++o) mg_obj_put(o, 0, 0, 0, 0, mg::kObjHidden);
}

// Every object of the menu and its screens hidden, the cursor closed.
void ClearMenuScreens() {
  mg_cursor_close();
  Hide(kKoiObjPanel, kKoiObjPortraitFirst + 7);
}

int32_t HouseRules() {
  const KoiState& k = K();
  return k.switches[0] + 2 * k.switches[1] + 4 * k.switches[2];
}

// Brightness 8 a step towards the level; true once there.
bool FadeTo(int32_t level) {
  const int32_t now = Minigame().fw.brightness;
  const int32_t next = now < level ? std::min(level, now + 8) : std::max(level, now - 8);
  mg_brightness(next);
  return next == level;
}

// Chains a match (mode 2) against the current opponent with the continues given.
int ChainMatch(int32_t continues, int return_step) {
  KoiState& k = K();
  const KoiOpponent& o = KoiOpponentAt(k.opponent);
  mg_var_set(6, continues);
  mg_var_set(7, o.plate);
  mg_var_set(4, o.strength);
  k.return_step = return_step;
  mg_chain(o.row, mg::kModeHubMatch);
  return 1;
}

void BuildTitle() {
  KoiState& k = K();
  k.opponent %= 3;
  mg_cursor_close();
  mg_freeze_b_off();
  mg_obj_clear_all();
  mg_obj_bg(kKoiAnimBackground);
  mg_bgm_play(kMusic);
  mg_brightness(0);
  mg_obj_put(kKoiObjTitle, 320, 160, 100, kKoiAnimTitle, 0);
  k.counter = 0;
  k.step = kKoiTitleFadeIn;
}

void BuildMenu() {
  ClearMenuScreens();
  mg_var_set(5, HouseRules());
  // The panel slides in from below.
  mg_obj_put(kKoiObjPanel, 0, 480, 12, kKoiAnimPanel, 0);
  mg_obj_move_n(kKoiObjPanel, 0, 0, 16);
  const bool unlocked = mg_var_get(17) != 0;
  for (int i = 0; i < 6; ++i) {
    int32_t x = 0, y = 0;
    ItemPlace(i, x, y);
    const int32_t anim =
        i == kKoiFreeMatch && !unlocked ? kKoiAnimItemLocked : kKoiAnimItemFirst + i;
    mg_obj_put(kKoiObjItemFirst + i, x, y, kMenuLayer, anim, 0);
  }
  // The cursor stands left of the selected item (on every screen of the menu); on decide a copy
  // of it flies onto the item.
  mg_cursor_open(kKoiObjCursor, kKoiAnimCursor);
  mg_cursor_offset(-40, 0);
  for (int i = 0; i < 6; ++i) {
    if (i == kKoiFreeMatch && !unlocked) continue;  // not selectable by keys or mouse
    mg_cursor_target(i, kKoiObjItemFirst + i);
  }
  K().step = kKoiMenu;
}

// ---- Combination list ----

void ShowComboRow(int selection) {
  Hide(kKoiObjCardFirst, kKoiObjPointsPlate);
  if (selection == kKoiListBack) {
    mg_obj_put(kKoiObjCaption, kCardsX, 320, 9, kKoiAnimListBase + kKoiBackCaption, 0);
    return;
  }
  if (selection < 0 || selection >= kKoiComboRows) return;
  const KoiComboRow& row = kListRows[selection];
  for (int line = 0; line < 2; ++line) {
    int count = 0;
    while (count < 5 && row.cards[line * 5 + count] != 0) ++count;
    const int32_t y = row.cards[5] != 0 ? 160 + 64 * line : 192;
    const int32_t left = kCardsX - (count - 1) * kCardStep / 2;
    for (int j = 0; j < count; ++j) {
      mg_obj_put(kKoiObjCardFirst + line * 5 + j, left + j * kCardStep, y, 9,
                 row.cards[line * 5 + j], 0);
    }
  }
  mg_obj_put(kKoiObjNamePlate, kCardsX, 64, 9, kKoiAnimListBase + row.name, 0);
  mg_obj_put(kKoiObjPointsPlate, kCardsX, 112, 9, kKoiAnimListBase + row.points, 0);
  mg_obj_put(kKoiObjCaption, kCardsX, 320, 9, kKoiAnimListBase + row.caption, 0);
}

void BuildList() {
  ClearMenuScreens();
  mg_cursor_open(kKoiObjCursor, kKoiAnimCursor);
  mg_cursor_offset(-40, 0);
  for (int i = 0; i <= kKoiListBack; ++i) {
    const int32_t anim =
        i == kKoiListBack ? kKoiAnimBack : kKoiAnimListBase + kListRows[i].name;
    mg_obj_put(kKoiObjListFirst + i, 64, 32 + 32 * i, kMenuLayer, anim, 0);
    mg_cursor_target(i, kKoiObjListFirst + i);
  }
  K().counter = -1;  // the row shown
  K().step = kKoiList;
}

// ---- Rules ----

void ShowSwitch(int i) {
  mg_obj_anim(kKoiObjSwitchFirst + i,
              kKoiAnimSwitchFirst + 2 * i + K().switches[static_cast<size_t>(i)]);
}

void BuildRules() {
  ClearMenuScreens();
  mg_cursor_open(kKoiObjCursor, kKoiAnimCursor);
  mg_cursor_offset(-40, 0);
  for (int i = 0; i < 3; ++i) {
    mg_obj_put(kKoiObjSwitchFirst + i, 160, 96 + 96 * i, kMenuLayer, 0, 0);
    ShowSwitch(i);
    mg_cursor_target(i, kKoiObjSwitchFirst + i);
  }
  mg_obj_put(kKoiObjRulesBack, 160, 400, kMenuLayer, kKoiAnimBack, 0);
  mg_cursor_target(kKoiRulesBack, kKoiObjRulesBack);
  K().step = kKoiRules;
}

// ---- Free match ----

int32_t PortraitAnim(int item, bool lit) {
  const int code = item == 0 ? 7 : KoiOpponentAt(item - 1).portrait;
  return (lit ? kKoiAnimPortraitLit : kKoiAnimPortraitDim) + code;
}

void LightPortraits() {
  const int selection = mg_cursor_get();
  for (int i = 0; i < 8; ++i) {
    const int32_t anim = PortraitAnim(i, i == selection);
    const int o = kKoiObjPortraitFirst + i;
    if (mg_obj_get_anim(o) != anim) mg_obj_anim(o, anim);
  }
}

void BuildFree() {
  ClearMenuScreens();
  // No cursor picture: the portrait under the cursor is lit instead.
  mg_cursor_open(kKoiObjCursor, 0);
  for (int i = 0; i < 8; ++i) {
    int32_t x = 0, y = 0;
    PortraitPlace(i, x, y);
    mg_obj_put(kKoiObjPortraitFirst + i, x, y, kMenuLayer, PortraitAnim(i, false), 0);
    mg_cursor_target(i, kKoiObjPortraitFirst + i);
  }
  LightPortraits();
  K().step = kKoiFree;
}

// ---- The step machine ----

// Steps of the fades before a chain or the end.
constexpr int kStepGauntletFade = 10013;
constexpr int kStepQuitFade = 10014;
constexpr int kStepTutorialFade = 10015;
constexpr int kStepFreeFade = 10034;

int Step() {
  KoiState& k = K();
  if (k.wait > 0) {
    --k.wait;
    return 1;
  }
  switch (k.step) {
    case kKoiInit:
      mg_static_load(kStaticSounds);
      k.step = 0;
      return 1;
    case 0:
      if (mg_var_get(1) != 0) {
        k.step = k.return_step;  // a chained game has handed back
        return 1;
      }
      k.switches = {1, 0, 0};
      k.opponent = 0;
      k.step = kKoiTitle;
      return 1;
    case kKoiTitle:
      BuildTitle();
      return 1;
    case kKoiTitleFadeIn:
      if (FadeTo(256)) k.step = kKoiTitleIdle;
      return 1;
    case kKoiTitleIdle:
      if (mg_key_take(kMgKeyDecide)) {
        k.step = kKoiMenuDim;
        return 1;
      }
      if (++k.counter >= kIdleSteps) k.step = kKoiDemoFade;
      return 1;
    case kKoiDemoFade: {
      if (!FadeTo(0)) return 1;
      mg_var_set(8, kDemoLength);
      mg_var_set(4, KoiOpponentAt(k.opponent).strength);
      k.return_step = kKoiDemoBack;
      mg_chain(KoiOpponentAt(k.opponent).row, mg::kModeHubDemonstration);
      return 1;
    }
    case kKoiDemoBack:
      k.opponent = (k.opponent + 1) % 3;
      k.step = kKoiTitle;
      return 1;
    case kKoiMenuDim:
      if (!FadeTo(128)) return 1;
      // The dimmed title stays behind the menu as a frozen picture at full brightness.
      mg_brightness(256);
      mg_freeze_b(128, kFreezeLayer);
      k.step = kKoiMenuBuild;
      return 1;
    case kKoiMenuBuild:
      BuildMenu();
      return 1;
    case kKoiMenu: {
      const int selection = mg_cursor_get();
      if (selection < 0 || !mg_key_take(kMgKeyDecide)) return 1;
      mg_se_play(kSeConfirm);
      k.choice = selection;
      const MgObject* cursor = mg_obj(kKoiObjCursor);
      int32_t x = 0, y = 0;
      ItemPlace(selection, x, y);
      mg_obj_put(kKoiObjFly, cursor->x, cursor->y, kMenuLayer - 2, kKoiAnimCursor, 0);
      mg_cursor_close();
      mg_obj_move_n(kKoiObjFly, x, y, kFlySteps);
      k.wait = kFlySteps;
      k.step = kKoiMenuFly;
      return 1;
    }
    case kKoiMenuFly:
      mg_se_play(kSeChosen);
      switch (k.choice) {
        case kKoiGauntlet: k.step = kStepGauntletFade; break;
        case kKoiQuit: k.step = kStepQuitFade; break;
        case kKoiTutorial:
          k.opponent = 2;
          k.step = kStepTutorialFade;
          break;
        case kKoiCombinationList: k.step = kKoiListBuild; break;
        case kKoiRulesItem: k.step = kKoiRulesBuild; break;
        default: k.step = kKoiFreeBuild; break;
      }
      return 1;
    case kStepGauntletFade:
      if (!FadeTo(0)) return 1;
      k.opponent = 0;
      mg_var_set(6, 5);
      k.step = kKoiGauntletChain;
      return 1;
    case kKoiGauntletChain:
      mg_var_set(10, 0);
      return ChainMatch(mg_var_get(6), kKoiGauntletBack);
    case kKoiGauntletBack:
      if (mg_var_get(1) == 2) {
        k.step = kKoiTitle;  // lost for good: the next gauntlet starts at the first opponent
        return 1;
      }
      if (++k.opponent < kKoiOpponents) {
        k.step = kKoiGauntletChain;
        return 1;
      }
      // The whole gauntlet won: the free match unlocks, and the persistent block is written at
      // once, so the unlock is not lost when the program closes before the next end or chain.
      mg_var_set(17, 1);
      mg_save_write();
      k.opponent = 0;
      k.step = kKoiTitle;
      return 1;
    case kStepQuitFade:
      if (!FadeTo(0)) return 1;
      mg_end();
      return 1;
    case kStepTutorialFade:
      if (!FadeTo(0)) return 1;
      mg_var_set(4, KoiOpponentAt(2).strength);
      k.return_step = kKoiTutorialBack;
      mg_chain(KoiOpponentAt(2).row, mg::kModeHubTutorial);
      return 1;
    case kKoiTutorialBack:
    case kKoiFreeBack:
      k.step = kKoiTitle;
      return 1;
    case kKoiListBuild:
      BuildList();
      return 1;
    case kKoiList: {
      const int selection = mg_cursor_get();
      if (selection != k.counter) {
        ShowComboRow(selection);
        k.counter = selection;
      }
      if (selection == kKoiListBack && mg_key_take(kMgKeyDecide)) k.step = kKoiMenuBuild;
      return 1;
    }
    case kKoiRulesBuild:
      BuildRules();
      return 1;
    case kKoiRules: {
      const int selection = mg_cursor_get();
      if (selection < 0 || !mg_key_take(kMgKeyDecide)) return 1;
      if (selection == kKoiRulesBack) {
        k.step = kKoiMenuBuild;
        return 1;
      }
      if (selection < 3) {
        int32_t& s = k.switches[static_cast<size_t>(selection)];
        s = s != 0 ? 0 : 1;
        mg_se_play(kSeConfirm);
        ShowSwitch(selection);
      }
      return 1;
    }
    case kKoiFreeBuild:
      BuildFree();
      return 1;
    case kKoiFree: {
      LightPortraits();
      const int selection = mg_cursor_get();
      if (selection < 0 || !mg_key_take(kMgKeyDecide)) return 1;
      if (selection == 0) {
        k.step = kKoiMenuBuild;
        return 1;
      }
      mg_se_play(kSeConfirm);
      k.opponent = selection - 1;
      mg_cursor_lock(1);
      k.wait = 60;
      k.step = kStepFreeFade;
      return 1;
    }
    case kStepFreeFade:
      if (!FadeTo(0)) return 1;
      // A free match has no continues, so no handicap either: the one a gauntlet's continues
      // left in variable 10 would otherwise weaken the opponent.
      mg_var_set(10, 0);
      return ChainMatch(-1, kKoiFreeBack);
    default:
      return 1;
  }
}

}  // namespace

const KoiOpponent& KoiOpponentAt(int index) {
  return kOpponents[((index % kKoiOpponents) + kKoiOpponents) % kKoiOpponents];
}

const KoiComboRow& KoiComboRowAt(int row) {
  return kListRows[std::clamp(row, 0, kKoiComboRows - 1)];
}

int koi_proc(int state) {
  if (state == 2) {
    K().step = kKoiInit;
    K().wait = 0;
  }
  Step();
  return 1;
}

}  // namespace hana
