#pragma once
// The cooking game's rules without a screen: the knife and the heat of the work panel one step
// at a time, the three part scores, the seasoning draw, the recipe pages and the verdicts. The
// procedure (cook_proc.h) reads the keys, plays the sounds and shows what these decide.

#include <cstddef>
#include <cstdint>

#include "minigames/cook/cook_state.h"

namespace cook {

// Knife range and stroke depth.
constexpr int32_t kKnifeFirst = 16;
constexpr int32_t kKnifeLast = 144;
constexpr int32_t kKnifeEnd = 160;
constexpr int32_t kStrokeDepth = 14;
constexpr int32_t kStrokeSpacing = 16;

// Heat band (pixels) and the test.
constexpr int32_t kHeatLowBelow = 160;
constexpr int32_t kHeatHighFrom = 193;
constexpr int32_t kHeatMaxPixels = 256;
constexpr int32_t kHeatVelocityLimit = 1024;
constexpr int32_t kHeatRise = 48;
constexpr int32_t kHeatFall = 24;
constexpr int32_t kHeatSteps = 900;
constexpr int32_t kHeatDemoTop = 176;

// Part maxima.
constexpr int32_t kCuttingMax = 30;
constexpr int32_t kSeasoningMax = 30;
constexpr int32_t kHeatMax = 40;
constexpr int32_t kWrongAmount = 6;

// Cutting: the knife at the start (p 0, depth 0, no stroke, no strokes recorded).
void CutReset(CookState& s);
// Records a stroke at p; false (nothing recorded) when the list is full.
bool RecordStroke(CookState& s, int32_t p);
// One step of the active (or demonstrating) cutting panel; `decide` is a new press of the
// decision button. True on the step the knife reaches the board (the cut sound and line).
// The panel closes when the knife reaches 160.
bool CutStep(CookState& s, bool decide);
// The knife's picture position.
inline int32_t KnifeX(int32_t p) { return 2 * p - 40; }
inline int32_t KnifeY(int32_t d) { return 8 * d - 32; }

// The deduction for two consecutive strokes `distance` apart.
int32_t StrokeDeduction(int32_t distance);
// The cutting score (0-30) of a stroke list.
int32_t CuttingScore(const int32_t* strokes, int32_t count);

// Heat: the test's start (h 0, v 0, timer 900, counters 0).
void HeatReset(CookState& s);
// One step of the active heat panel; `held` is the decision button held this step. The panel
// closes when the timer reaches 0.
void HeatStep(CookState& s, bool held);
// Her demonstration: h rises 2 pixels a step up to 176.
void HeatDemoStep(CookState& s);
inline int32_t HeatPixels(int32_t h) { return h / kHeatUnit; }
// 0 low, 1 good, 2 high.
int32_t HeatBand(int32_t h);
int32_t HeatScore(int32_t good_steps);

// Seasoning: the five amounts (GetRandom() % 3 + 1, in ingredient order), then the asking
// order (identity, position i swapped with position GetRandom() % 5 for i = 0-4); score 30.
void MakeSeasoning(CookState& s);
// The answer `amount` for the question asked; a wrong one costs 6. Whether it was right.
bool AnswerSeasoning(CookState& s, int32_t amount);

// Copies a recipe template into `out` (size bytes, always terminated), each byte 7 taking the
// digit of the next amount from *next on; after the fifth amount further 7-bytes are left out.
// A double-byte character is never split by the end of the buffer. Gives the length written.
size_t FillRecipe(const char* tmpl, const int32_t* amounts, int32_t count, int32_t* next,
                  char* out, size_t size);

// Verdicts: a part is good from 20; heat 0 good (from 25), 1 too weak (high steps <= low
// steps), 2 too strong; overall 0 (71 and up), 1 (41-70), 2 (40 and below).
bool PartGood(int32_t score);
int32_t HeatVerdict(int32_t heat_score, int32_t low_steps, int32_t high_steps);
int32_t OverallVerdict(int32_t total);
inline int32_t Percent(int32_t score, int32_t max) { return score * 100 / max; }
// Variable 2: 0 below 60, 1 for 60-79, 2 from 80. Variable 9: 1 from 90.
int32_t ResultValue(int32_t total);
int32_t ResultWon(int32_t total);
// The voice by total: 2335 from 80, 2336 60-79, 2337 40-59, 2338 below 40.
int32_t FinalVoice(int32_t total);
// The grade picture of the plate: 0 for totals of 61 and more, 1 for 60 and less.
int32_t TotalGrade(int32_t total);

}  // namespace cook
