#pragma once
// The flower-card hub of row 8: a title with a demonstration loop, a menu, the gauntlet against
// eight opponents, the tutorial, the combination list, three house-rule switches and, once the
// gauntlet has been won, a free match. It plays no cards itself: every match runs in hana_proc,
// started with mg_chain on the opponent's row; when that game hands back with mg_return the
// framework restarts this row and the hub resumes at the step it saved before chaining.
// Its state is Minigame().koi.

#include <cstdint>

namespace hana {

// The opponent table (the gauntlet order): the card row, the strength (variable 4), the name
// plate (variable 7) and the portrait code (-1: the last opponent has none).
struct KoiOpponent {
  int row;
  int strength;
  int plate;
  int portrait;
};
constexpr int kKoiOpponents = 8;
const KoiOpponent& KoiOpponentAt(int index);  // index taken modulo 8

// Steps tests look at.
constexpr int kKoiInit = -1;
constexpr int kKoiTitle = 10000;
constexpr int kKoiTitleFadeIn = 10001;
constexpr int kKoiTitleIdle = 10002;
constexpr int kKoiDemoFade = 10003;
constexpr int kKoiMenuDim = 10004;
constexpr int kKoiDemoBack = 10007;
constexpr int kKoiMenuBuild = 10009;
constexpr int kKoiMenu = 10011;
constexpr int kKoiMenuFly = 10012;
constexpr int kKoiTutorialBack = 10020;
constexpr int kKoiGauntletChain = 10022;
constexpr int kKoiGauntletBack = 10023;
constexpr int kKoiFreeBuild = 10030;
constexpr int kKoiFree = 10031;
constexpr int kKoiFreeBack = 10032;
constexpr int kKoiListBuild = 10040;
constexpr int kKoiList = 10041;
constexpr int kKoiRulesBuild = 10050;
constexpr int kKoiRules = 10051;

// Menu items.
constexpr int kKoiGauntlet = 0;
constexpr int kKoiQuit = 1;
constexpr int kKoiTutorial = 2;
constexpr int kKoiCombinationList = 3;
constexpr int kKoiRulesItem = 4;
constexpr int kKoiFreeMatch = 5;
constexpr int kKoiRulesBack = 9;   // the rules screen's back item
constexpr int kKoiListBack = 12;   // the combination list's back item

// Objects.
constexpr int kKoiObjTitle = 10;
constexpr int kKoiObjPanel = 19;
constexpr int kKoiObjItemFirst = 20;    // 20-25 the menu items
constexpr int kKoiObjCursor = 30;
constexpr int kKoiObjFly = 31;          // the cursor flying onto the chosen item
constexpr int kKoiObjListFirst = 40;    // 40-52 the combination list's rows and back item
constexpr int kKoiObjCardFirst = 60;    // 60-69 the example cards (two lines of five)
constexpr int kKoiObjCaption = 70;
constexpr int kKoiObjNamePlate = 71;
constexpr int kKoiObjPointsPlate = 72;
constexpr int kKoiObjSwitchFirst = 80;  // 80-82 the switches, 89 the back item
constexpr int kKoiObjRulesBack = 89;
constexpr int kKoiObjPortraitFirst = 90;  // 90-97 the free match's items

// Animations of the hub's od file (our content choices; the card pictures are animations 1-48,
// the combination list's captions and plates 200 and up).
constexpr int kKoiAnimBackground = 100;
constexpr int kKoiAnimTitle = 101;
constexpr int kKoiAnimPanel = 102;
constexpr int kKoiAnimItemFirst = 110;  // 110-115 the items (115 the free match unlocked)
constexpr int kKoiAnimItemLocked = 116;
constexpr int kKoiAnimCursor = 117;
constexpr int kKoiAnimBack = 118;
constexpr int kKoiAnimSwitchFirst = 120;  // 120 + 2 x switch + its value
constexpr int kKoiAnimPortraitLit = 130;  // + portrait code, + 7 the back item
constexpr int kKoiAnimPortraitDim = 140;
constexpr int kKoiAnimListBase = 200;

// The combination list: row i's example cards (two lines for the plains), caption, name plate
// and points plate (animation kKoiAnimListBase + the numbers); the back item's caption.
struct KoiComboRow {
  int cards[10];  // 0 ends a line's cards; cards[5..9] the second line
  int caption;
  int name;
  int points;
};
constexpr int kKoiComboRows = 12;
const KoiComboRow& KoiComboRowAt(int row);  // rows 0-11
constexpr int kKoiBackCaption = 18;

// The mg_proc of row 8; always 1 (it leaves through mg_end or mg_chain).
int koi_proc(int state);

}  // namespace hana
