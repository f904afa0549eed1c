#pragma once
// The cooking game's lines: written here in UTF-8 and turned into Big5 once, on first use. The
// byte 7 ("\a") of the recipe pages marks where an amount's digit goes.

#include <cstdint>

namespace cook {

// Single lines of the lesson.
enum LessonLine : int32_t {
  kLineGreeting,
  kLineCutDemo,
  kLineCutYourTurn,
  kLineCutDone,
  kLineSeasonStart,
  kLineSeasonDone,
  kLineHeatDemo,
  kLineHeatYourTurn,
  kLineHeatDone,
  kLineScore,
  kLineCutGood,
  kLineCutPoor,
  kLineSeasonGood,
  kLineSeasonPoor,
  kLineFinal,
  kLineCount
};

// Lesson groups: the explanations of cutting, seasoning and heat, three lines each.
constexpr int32_t kGroupCutting = 0;
constexpr int32_t kGroupSeasoning = 1;
constexpr int32_t kGroupHeat = 2;

const char* Lesson(int32_t line);
const char* GroupLine(int32_t group, int32_t i);
// The question for ingredient 0-4 (4 asks in cups, not spoons).
const char* Question(int32_t ingredient);
const char* HeatVerdictLine(int32_t verdict);
const char* FinalVerdictLine(int32_t verdict);
// Recipe page 0 or 1 with its 7-bytes.
const char* RecipeTemplate(int32_t page);
// The words around the numbers of the verdict pages: the percent sign, and the total's words
// before and after it.
const char* PercentSign();
const char* TotalBefore();
const char* TotalAfter();

}  // namespace cook
