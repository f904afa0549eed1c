#pragma once
// The flower-card match procedure of rows 4 and 9-15: one step a call over the rules of
// hana_rules.h and the computer of hana_cpu.h, with the board, the opponent's face and voiced
// lines, the stop-or-continue choice, the payment and the end of the match by mode. Its state is
// Minigame().hana.play. Every row plays the same procedure; the od file loaded gives the
// opponent's pictures, lines, voices and music.

#include <cstdint>

namespace hana {

// Steps of the procedure that tests and the hub look at.
constexpr int kStepInit = -1;
constexpr int kStepBoard = 10000;
constexpr int kStepRoundStart = 10015;
constexpr int kStepDeal = 10023;
constexpr int kStepTurn = 10039;
constexpr int kStepChooseHand = 10041;
constexpr int kStepMatchCard = 10047;
constexpr int kStepChooseField = 10048;
constexpr int kStepCapture = 10053;
constexpr int kStepDraw = 10054;
constexpr int kStepPlains = 10064;
constexpr int kStepCombos = 10066;
constexpr int kStepDecide = 10074;
constexpr int kStepChooseStop = 10075;
constexpr int kStepRoundEnd = 10098;
constexpr int kStepPayment = 10110;
constexpr int kStepMatchCheck = 10118;
constexpr int kStepMatchEnd = 10120;
constexpr int kStepResultShown = 10125;
constexpr int kStepCountdown = 10140;
constexpr int kStepLine = 10200;
constexpr int kStepText = 10210;

// Tutorial states (the od text shown at each is kTutorialTextBase + its index below).
constexpr int kTutorialOn = 1;
constexpr int kTutorialNoMatch = 100;
constexpr int kTutorialDraw28 = 200;
constexpr int kTutorialUserCombo = 300;
constexpr int kTutorialAfterCombo = 301;
constexpr int kTutorialStop = 400;
constexpr int kTutorialCpuCombo = 500;
constexpr int kTutorialTextBase = 150;  // 150 start, 151 no match, 152 28th card, 153 user's
                                        // combination, 154 after it, 155 stop, 156 computer's
                                        // combination, 157 closing

// Objects of the board.
constexpr int kObjDeck = 50;
constexpr int kObjFace = 55;
constexpr int kObjBank0 = 57;
constexpr int kObjBank1 = 58;
constexpr int kObjDemoPlate = 60;
constexpr int kObjPlains0 = 61;  // 62 the computer's
constexpr int kObjStopPlate = 63;
constexpr int kObjCountdownPlate = 65;
constexpr int kObjCountdownDigit = 66;
constexpr int kObjNamePlate = 70;
constexpr int kObjBannerA = 71;
constexpr int kObjBannerB = 72;
constexpr int kObjClosing = 75;
constexpr int kObjMarkFirst = 101;  // 101-149: marks over the 49 field slots
constexpr int kObjRoundPlate = 150;
constexpr int kObjStopItemFirst = 151;  // 151 continue, 152 stop
constexpr int kObjRoundNumber = 156;
constexpr int kObjTurnMarker = 158;
constexpr int kObjCursor = 159;
constexpr int kObjValueFirst = 161;  // 161-173 the values beside the plates
constexpr int kObjTotal = 174;
constexpr int kObjPlateFirst = 180;  // 180-192 the combination plates

// The mg_proc of the flower-card rows (framework state 2 on the first call after the load).
int hana_proc(int state);

// Draws face picture 100 + face ("file,number", the number 0 without a comma) into object 55.
// An empty text or a picture that does not load leaves object 55 as it was; returns 1 when drawn.
int hana_show_face(int face);

// Marks (animation 56 on the mark objects over the field slots) the field cards of a month, of a
// card's month, or of every month held in a player's hand; hana_clear_marks clears all 49.
void hana_mark_month(int month);
void hana_mark_card(int card);
void hana_mark_hand(int player);
void hana_clear_marks();

}  // namespace hana
