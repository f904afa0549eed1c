#pragma once
// The cooking game's state (Minigame().cook): its step machine, the work panel (cutting board,
// seasoning picture, stove) with the knife, the stroke list, the seasoning amounts and the heat,
// and the three part scores.

#include <array>
#include <cstdint>

namespace cook {

// The stroke list's room: the knife's range (16-144) cannot fill it, so a further stroke is
// simply not recorded.
constexpr int kMaxStrokes = 160;
constexpr int kIngredients = 5;
// The recipe line buffer (a page of the text window).
constexpr int kRecipeBytes = 160;

// Panel modes and states.
constexpr int kPanelCutting = 0;
constexpr int kPanelSeasoning = 1;
constexpr int kPanelHeat = 2;
constexpr int kPanelClosed = 0;
constexpr int kPanelActive = 1;
constexpr int kPanelDemo = 2;  // her demonstration (or closing)

// Stroke phases.
constexpr int kStrokeIdle = 0;
constexpr int kStrokeDown = 1;
constexpr int kStrokeUp = 2;

// Heat: 256 units a pixel.
constexpr int32_t kHeatUnit = 256;

struct CookState {
  // The step machine: own step, a wait counter, the line being held.
  int32_t step = -1;
  int32_t wait = 0;
  int32_t line_voiced = 0;
  int32_t line_hold = 0;
  int32_t countdown = 0;

  // The panel.
  int32_t panel_mode = kPanelCutting;
  int32_t panel_state = kPanelClosed;

  // Cutting: knife position p (0-160), depth d (0-14), stroke phase, the strokes' positions.
  int32_t knife = 0;
  int32_t depth = 0;
  int32_t stroke = kStrokeIdle;
  std::array<int32_t, kMaxStrokes> strokes{};
  int32_t stroke_count = 0;
  int32_t cuts_drawn = 0;

  // Seasoning: the amounts (1-3), the asking order, the question asked, the score.
  std::array<int32_t, kIngredients> amounts{};
  std::array<int32_t, kIngredients> order{};
  int32_t question = 0;
  int32_t seasoning_score = 30;

  // Heat: h (units, 0-256 pixels), velocity, the test's timer and the band counters.
  int32_t heat = 0;
  int32_t velocity = 0;
  int32_t timer = 0;
  int32_t low_steps = 0;
  int32_t good_steps = 0;
  int32_t high_steps = 0;

  int32_t cutting_score = 0;
  int32_t heat_score = 0;
  int32_t total = 0;
  int32_t heat_verdict = 0;
  int32_t overall_verdict = 0;

  // The two recipe pages with the amounts filled in.
  std::array<char, kRecipeBytes> recipe_a{};
  std::array<char, kRecipeBytes> recipe_b{};
  // The page being typed (a line after its new-page byte, or a verdict with its number).
  std::array<char, kRecipeBytes + 96> page{};
};

}  // namespace cook
