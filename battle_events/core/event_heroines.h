#pragma once
// The heroines' two script variables as the events read and write them, and the searches for
// the heroine with the highest value. Heroines are characters 1-6; each has a trust variable
// (P[11], P[21], P[31], P[51], P[61], P[41]) and a second variable (P[10], P[20], P[30], P[50],
// P[60], P[40]), both stored with a bias of 32768 (a stored 32768 means 0). GetTrustVar is the
// core's (battle/slg_events.h).

#include <array>
#include <cstdint>

constexpr int kHeroineCount = 6;

// The trust variable := value + 32768 (16 bits); then the stats of that heroine's group-0 unit
// are recomputed (Slg::RecalcUnitStats) when it exists. Any other character: nothing.
void SetTrustVar(int32_t heroine, int32_t value);
// The second variable - 32768; any other character reads P[10].
int32_t GetHeroineVar2(int32_t heroine);
// As SetTrustVar, on the second variable.
void SetHeroineVar2(int32_t heroine, int32_t value);

// v held to the range of a heroine variable, -32768 .. 32767.
constexpr int32_t ClampParam16(int32_t v) { return v < -32768 ? -32768 : (v > 32767 ? 32767 : v); }
// Adds delta, taken as a signed byte, to both variables of heroine 1-6, each held to -32768 ..
// 32767 and written back through SetTrustVar and SetHeroineVar2 (so her unit's stats are
// recomputed when it is on the map). Any other number: nothing.
void AddHeroineParam(int32_t heroine, int32_t delta);

// The heroine (1-6) with the highest value among those `eligible` names (bit h - 1 for heroine
// h): the best starts as the smallest 32-bit value with heroine 1, and a heroine is taken only
// when her value is strictly greater. So ties go to the lowest number, and the answer is 1 when
// no heroine is eligible or every value is the smallest.
int32_t TopHeroine(const std::array<int32_t, kHeroineCount>& values, uint32_t eligible);

// The heroine with the highest trust (the condition IMR), among all six / those present on the
// map (a group-0 unit of hers with a step other than 255).
int32_t GetTopTrustHeroine();
int32_t GetFavouriteChara();
// The same on the second variable.
int32_t GetTopHeroineVar2();
int32_t GetTopPresentHeroineVar2();
