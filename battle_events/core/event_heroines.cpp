#include "battle_events/core/event_heroines.h"

#include <climits>

#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle_events/core/event_queries.h"

namespace {

constexpr uint32_t kAllHeroines = (1u << kHeroineCount) - 1;
constexpr int32_t kBias = 32768;

bool IsHeroine(int32_t character) { return character >= 1 && character <= kHeroineCount; }

// The script variable of heroine h: kTrustSaveVars lists the six trust variables, then the six
// second variables, in heroine order.
int TrustVarOf(int32_t heroine) { return kTrustSaveVars[static_cast<size_t>(heroine - 1)]; }
int Var2Of(int32_t heroine) {
  return kTrustSaveVars[static_cast<size_t>(kHeroineCount + heroine - 1)];
}

void SetHeroineVar(int var, int32_t heroine, int32_t value) {
  SlgSetMacroP(var, static_cast<uint16_t>(static_cast<uint32_t>(value) + kBias));
  if (SlgUnit* unit = FindUnitByGroupKind(0, heroine)) Slg::RecalcUnitStats(*unit);
}

uint32_t PresentHeroines() {
  uint32_t mask = 0;
  for (int32_t h = 1; h <= kHeroineCount; ++h) {
    if (UnitAbsent(0, h) == 0) mask |= 1u << (h - 1);
  }
  return mask;
}

std::array<int32_t, kHeroineCount> ValuesOf(int32_t (*value)(int32_t)) {
  std::array<int32_t, kHeroineCount> values{};
  for (int32_t h = 1; h <= kHeroineCount; ++h) values[static_cast<size_t>(h - 1)] = value(h);
  return values;
}

}  // namespace

void SetTrustVar(int32_t heroine, int32_t value) {
  if (IsHeroine(heroine)) SetHeroineVar(TrustVarOf(heroine), heroine, value);
}

int32_t GetHeroineVar2(int32_t heroine) {
  return static_cast<int32_t>(SlgGetMacroP(Var2Of(IsHeroine(heroine) ? heroine : 1))) - kBias;
}

void SetHeroineVar2(int32_t heroine, int32_t value) {
  if (IsHeroine(heroine)) SetHeroineVar(Var2Of(heroine), heroine, value);
}

void AddHeroineParam(int32_t heroine, int32_t delta) {
  if (!IsHeroine(heroine)) return;
  const int32_t d = static_cast<int8_t>(delta);
  SetTrustVar(heroine, ClampParam16(GetTrustVar(heroine) + d));
  SetHeroineVar2(heroine, ClampParam16(GetHeroineVar2(heroine) + d));
}

int32_t TopHeroine(const std::array<int32_t, kHeroineCount>& values, uint32_t eligible) {
  int32_t best = INT32_MIN;
  int32_t best_heroine = 1;
  for (int32_t h = 1; h <= kHeroineCount; ++h) {
    const int32_t v = values[static_cast<size_t>(h - 1)];
    if ((eligible & (1u << (h - 1))) != 0 && v > best) {
      best = v;
      best_heroine = h;
    }
  }
  return best_heroine;
}

int32_t GetTopTrustHeroine() { return TopHeroine(ValuesOf(&GetTrustVar), kAllHeroines); }
int32_t GetFavouriteChara() { return TopHeroine(ValuesOf(&GetTrustVar), PresentHeroines()); }
int32_t GetTopHeroineVar2() { return TopHeroine(ValuesOf(&GetHeroineVar2), kAllHeroines); }
int32_t GetTopPresentHeroineVar2() {
  return TopHeroine(ValuesOf(&GetHeroineVar2), PresentHeroines());
}
