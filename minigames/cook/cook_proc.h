#pragma once
// The cooking game (row 3): a lesson in three tests on one work panel, cutting (even knife
// strokes), seasoning (the amounts of a recipe read out once) and heat (the pan kept in its band
// for 900 steps), scored 30 + 30 + 40. The total is the result and the ranking entry.
//
// Each call runs the common menu first (open: the game pauses; retry: the game starts again
// from its first call; quit: the game ends), then the step machine, then the panel update.

#include <cstdint>

// The game procedure of row 3 (framework state: 2 on the first call, then 1).
int cook_proc(int state);

namespace cook {

// Own steps the tests look at.
constexpr int32_t kStepStart = -1;
constexpr int32_t kStepMenu = 0;
constexpr int32_t kStepFadeIn = 10000;
constexpr int32_t kStepCountdown = 10012;
constexpr int32_t kStepCutting = 10017;
constexpr int32_t kStepAsk = 10028;
constexpr int32_t kStepAnswer = 10029;
constexpr int32_t kStepHeatTest = 10045;
constexpr int32_t kStepPlate = 10048;
constexpr int32_t kStepResult = 10053;
constexpr int32_t kStepFadeOut = 10054;

// Objects of the game.
constexpr int kObjPanel = 10;
constexpr int kObjKnife = 11;
constexpr int kObjPan = 20;
constexpr int kObjGauge = 21;
constexpr int kObjTimer = 22;
constexpr int kObjCountdown = 30;
constexpr int kObjFace = 40;
constexpr int kObjGrade = 41;
constexpr int kObjItemFirst = 50;  // 50-52: the amounts 1, 2, 3
constexpr int kObjCursor = 53;
constexpr int kObjIngredient = 54;
constexpr int kObjCutFirst = 100;  // 100-123: the cuts on the board, reused in turn
constexpr int kCutObjects = 24;

// The panel update of one step (after the step machine): the knife or the heat of the active
// panel, and their pictures.
void PanelUpdate();

}  // namespace cook
