// The cooking game's rules (cook_rules.h).

#include "minigames/cook/cook_rules.h"

#include <algorithm>
#include <cstdlib>

#include "engine/app/doors.h"

namespace cook {

void CutReset(CookState& s) {
  s.knife = 0;
  s.depth = 0;
  s.stroke = kStrokeIdle;
  s.strokes.fill(0);
  s.stroke_count = 0;
  s.cuts_drawn = 0;
}

bool RecordStroke(CookState& s, int32_t p) {
  if (s.stroke_count < 0 || s.stroke_count >= kMaxStrokes) return false;
  s.strokes[static_cast<size_t>(s.stroke_count)] = p;
  ++s.stroke_count;
  return true;
}

namespace {

void AdvanceKnife(CookState& s) {
  ++s.knife;
  if (s.knife >= kKnifeEnd) {
    s.knife = kKnifeEnd;
    s.panel_state = kPanelClosed;
  }
}

}  // namespace

bool CutStep(CookState& s, bool decide) {
  if (s.panel_state == kPanelClosed) return false;
  if (s.stroke == kStrokeIdle) {
    const bool start = s.panel_state == kPanelActive
                           ? decide && s.knife >= kKnifeFirst && s.knife <= kKnifeLast
                           : (s.knife + 8) % kStrokeSpacing == 0;
    if (start) {
      RecordStroke(s, s.knife);
      s.stroke = kStrokeDown;
    }
  }
  switch (s.stroke) {
    case kStrokeDown:
      ++s.depth;
      if (s.depth >= kStrokeDepth) {
        s.depth = kStrokeDepth;
        s.stroke = kStrokeUp;
        return true;
      }
      return false;
    case kStrokeUp:
      --s.depth;
      if (s.depth <= 0) {
        // Back up: the knife moves on at once, so a demonstration stroke is not started again
        // at the same place.
        s.depth = 0;
        s.stroke = kStrokeIdle;
        AdvanceKnife(s);
      }
      return false;
    default:
      AdvanceKnife(s);
      return false;
  }
}

int32_t StrokeDeduction(int32_t distance) {
  const int32_t e = std::abs(distance - kStrokeSpacing) * 2;
  if (e >= 10) return 5;
  if (e >= 8) return 4;
  if (e >= 6) return 3;
  if (e >= 4) return 2;
  // e is always even, so this step can never be reached on its own; kept as the rule reads.
  if (e >= 3) return 1;
  return 0;
}

int32_t CuttingScore(const int32_t* strokes, int32_t count) {
  if (strokes == nullptr || count < 2) return 0;
  count = std::min(count, kMaxStrokes);
  int32_t score = kCuttingMax;
  for (int32_t i = 1; i < count; ++i) score -= StrokeDeduction(strokes[i] - strokes[i - 1]);
  // Ten points for each stroke missing below eight.
  if (count < 8) score += (5 * count - 40) * 2;
  return std::max(score, 0);
}

void HeatReset(CookState& s) {
  s.heat = 0;
  s.velocity = 0;
  s.timer = kHeatSteps;
  s.low_steps = 0;
  s.good_steps = 0;
  s.high_steps = 0;
}

int32_t HeatBand(int32_t h) {
  const int32_t px = HeatPixels(h);
  if (px < kHeatLowBelow) return 0;
  if (px < kHeatHighFrom) return 1;
  return 2;
}

void HeatStep(CookState& s, bool held) {
  if (s.panel_state != kPanelActive) return;
  s.velocity += held ? kHeatRise : -kHeatFall;
  s.velocity = std::clamp(s.velocity, -kHeatVelocityLimit, kHeatVelocityLimit);
  s.heat = std::clamp(s.heat + s.velocity, 0, kHeatMaxPixels * kHeatUnit);
  switch (HeatBand(s.heat)) {
    case 0: ++s.low_steps; break;
    case 1: ++s.good_steps; break;
    default: ++s.high_steps; break;
  }
  --s.timer;
  if (s.timer <= 0) {
    s.timer = 0;
    s.panel_state = kPanelClosed;
  }
}

void HeatDemoStep(CookState& s) {
  s.heat = std::min(s.heat + 2 * kHeatUnit, kHeatDemoTop * kHeatUnit);
}

int32_t HeatScore(int32_t good_steps) {
  return std::clamp(good_steps, 0, kHeatSteps) * kHeatMax / kHeatSteps;
}

void MakeSeasoning(CookState& s) {
  for (int32_t& a : s.amounts) a = GetRandom() % 3 + 1;
  for (int i = 0; i < kIngredients; ++i) s.order[static_cast<size_t>(i)] = i;
  for (int i = 0; i < kIngredients; ++i) {
    std::swap(s.order[static_cast<size_t>(i)],
              s.order[static_cast<size_t>(GetRandom() % kIngredients)]);
  }
  s.question = 0;
  s.seasoning_score = kSeasoningMax;
}

bool AnswerSeasoning(CookState& s, int32_t amount) {
  const int q = std::clamp(s.question, 0, kIngredients - 1);
  const int ingredient = std::clamp(s.order[static_cast<size_t>(q)], 0, kIngredients - 1);
  const bool right = s.amounts[static_cast<size_t>(ingredient)] == amount;
  if (!right) s.seasoning_score = std::max(0, s.seasoning_score - kWrongAmount);
  return right;
}

size_t FillRecipe(const char* tmpl, const int32_t* amounts, int32_t count, int32_t* next,
                  char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  size_t n = 0;
  int32_t index = next != nullptr ? std::max(*next, 0) : 0;
  const size_t room = size - 1;
  for (const char* c = tmpl; c != nullptr && *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte == 7) {
      // Each 7-byte takes the next amount; none is left after the fifth.
      if (index >= count || index >= kIngredients || amounts == nullptr) continue;
      if (n >= room) break;
      out[n++] = static_cast<char>('0' + std::clamp(amounts[index], 0, 9));
      ++index;
      continue;
    }
    if (byte >= 0x80 && c[1] != '\0') {
      if (n + 2 > room) break;
      out[n++] = c[0];
      out[n++] = c[1];
      ++c;
      continue;
    }
    if (n >= room) break;
    out[n++] = *c;
  }
  out[n] = '\0';
  if (next != nullptr) *next = index;
  return n;
}

bool PartGood(int32_t score) { return score >= 20; }

int32_t HeatVerdict(int32_t heat_score, int32_t low_steps, int32_t high_steps) {
  if (heat_score >= 25) return 0;
  return high_steps <= low_steps ? 1 : 2;
}

int32_t OverallVerdict(int32_t total) {
  if (total >= 71) return 0;
  if (total >= 41) return 1;
  return 2;
}

int32_t ResultValue(int32_t total) {
  if (total >= 80) return 2;
  if (total >= 60) return 1;
  return 0;
}

int32_t ResultWon(int32_t total) { return total >= 90 ? 1 : 0; }

int32_t FinalVoice(int32_t total) {
  if (total >= 80) return 2335;
  if (total >= 60) return 2336;
  if (total >= 40) return 2337;
  return 2338;
}

int32_t TotalGrade(int32_t total) { return total >= 61 ? 0 : 1; }

}  // namespace cook
