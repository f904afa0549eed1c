// The battle's arithmetic: trust levels and their bonuses, critical hits at the threshold,
// damage and gauge gain (with the random part forced through the generator's seed), refill,
// recovery with and without the heal-special switch, the combination attack, and the saved
// trust copy.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_gauge.h"
#include "battle/slg_math.h"
#include "battle/slg_unit.h"
#include "engine/app/doors.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;

class FormulaTest : public ::testing::Test {
 protected:
  SlgUnit& Unit(uint8_t slot) { return Battle().state.units[slot]; }
  uint8_t Add(uint8_t side, uint8_t character, uint8_t kind = 1) {
    return board.AddUnit(BoardUnit{.side = side, .character = character, .kind = kind,
                                   .x = static_cast<int16_t>(48 + 48 * Battle().state.unit_count),
                                   .y = 240});
  }
  // The random part (SlgRand() >> 3) mod m the next call will draw after seeding with `seed`.
  static int Draw(uint32_t seed, int m) {
    SeedRandom(seed);
    const int v = (SlgRand() >> 3) % m;
    SeedRandom(seed);
    return v;
  }
  // A seed whose next draw mod 100 is v.
  static uint32_t SeedFor(int v) {
    for (uint32_t s = 1; s < 100000; ++s) {
      SeedRandom(s);
      if ((SlgRand() >> 3) % 100 == v) return s;
    }
    ADD_FAILURE() << "no seed draws " << v;
    return 1;
  }

  BattleRig rig;
  BattleBoard board{rig.battle()};
};

TEST_F(FormulaTest, TrustLevelsAndBonusRows) {
  struct Case {
    uint8_t side, character;
    int var;
    uint16_t value;
    int level;
  };
  const Case cases[] = {
      {0, 1, 11, 32767, 0},        {0, 1, 11, 32768, 0},         {0, 1, 11, 32768 + 10, 10},
      {0, 1, 11, 32768 + 36, 35},  {0, 1, 11, 65535, 35},        {0, 1, 11, 0, 0},
      {0, 2, 21, 32768 + 3, 3},    {0, 3, 31, 32768 + 4, 4},     {0, 4, 51, 32768 + 25, 25},
      {0, 5, 61, 32768 + 7, 7},    {0, 6, 41, 32768 + 30, 30},   {0, 9, 11, 32768 + 12, 12},
      {0, 0, 11, 32768 + 20, 0},   // the hero
      {1, 2, 21, 32768 + 20, 0},   // the other side
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "character " << int{c.character} << " P" << c.var << "="
                                    << c.value);
    for (int v : {11, 21, 31, 41, 51, 61}) SlgSetMacroP(v, 32768);
    SlgSetMacroP(c.var, c.value);
    SlgUnit u{};
    u.side = c.side;
    u.character = c.character;
    u.stats.attack = 10;
    u.stats.extra_attack = 1;
    u.stats.defence = 4;
    u.stats.move = 3;
    EXPECT_EQ(TrustLevel(u), c.level);
    Slg::RecalcUnitStats(u);
    const SlgTrustBonus& row = kTrustBonusTable[static_cast<size_t>(c.level)];
    EXPECT_EQ(u.stats.trust_attack, row.attack);
    EXPECT_EQ(u.stats.total_attack, 11 + row.attack);
    EXPECT_EQ(u.stats.total_defence, 4 + row.defence);
    EXPECT_EQ(u.stats.total_move, 3 + row.move);
    EXPECT_EQ(KiaiRefill(c.level), row.refill + 20);
    EXPECT_EQ(DGaugeKiaiRefill(u), row.refill + 20);  // the kiai gauge's refill of the unit
  }
  // Levels 25-35 share one row; the table's ends.
  for (int level = 25; level < 36; ++level) {
    EXPECT_EQ(std::memcmp(&kTrustBonusTable[25], &kTrustBonusTable[static_cast<size_t>(level)],
                          sizeof(SlgTrustBonus)),
              0);
  }
  EXPECT_EQ(kTrustBonusTable[10].attack, 5);
  EXPECT_EQ(kTrustBonusTable[24].critical, 9);
  EXPECT_EQ(KiaiRefill(0), 20);
  EXPECT_EQ(KiaiRefill(35), 30);
}

TEST_F(FormulaTest, DamageAndGain) {
  const uint8_t a = Add(0, 0, 0);
  const uint8_t t = Add(1, 20, 14);
  struct Case {
    const char* name;
    int power, defence;
    bool guard;
    int base;  // damage before the random part
    int16_t max_life;
    uint16_t kiai;
    int16_t max_kiai;
    int gain;  // -1: damage x 100 / maxLife + 5
  };
  const Case cases[] = {
      {"0 vs 30: factor 1.0", 0, 30, false, 0, 100, 0, 200, -1},
      {"100 vs 0: factor 10.0", 100, 0, false, 1000, 100, 0, 255, 255},
      {"19 vs 8: factor 3.1", 19, 8, false, 58, 100, 0, 200, -1},
      // Below the defence the quotient is truncated toward zero before the 2.0 is added: the
      // product lands on the whole number, not just below it.
      {"10 vs 23: factor 2.0 - 1.3", 10, 23, false, 7, 100, 0, 200, -1},
      {"20 vs 23: factor 2.0 - 0.3", 20, 23, false, 34, 100, 0, 200, -1},
      {"5 vs 9: factor 2.0 - 0.4", 5, 9, false, 8, 100, 0, 200, -1},
      {"guard adds 8", 19, 0, true, 58, 100, 0, 200, -1},
      {"no gauge: no gain", 19, 8, false, 58, 100, 0, 0, 0},
      {"capped at the maximum", 19, 8, false, 58, 100, 190, 200, 10},
      {"maxLife 0: no gain", 19, 8, false, 58, 0, 0, 200, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Unit(a).stats.action_bytes[0] = static_cast<uint8_t>(c.power);
    SlgUnit& target = Unit(t);
    target.stats.total_defence = static_cast<uint8_t>(c.defence);
    target.flags = c.guard ? (target.flags | kUnitGuarding) : (target.flags & ~kUnitGuarding);
    target.stats.max_life = c.max_life;
    target.stats.kiai = c.kiai;
    target.stats.max_kiai = c.max_kiai;
    target.stats.attack_type = a;
    const int r = Draw(77, 8);
    CalcUnitAction(target, kSlgActDamage);
    const int damage = c.base + r;
    EXPECT_EQ(target.stats.result, damage);
    const int gain = c.gain >= 0 ? c.gain : damage * 100 / c.max_life + 5;
    EXPECT_EQ(target.stats.action_bytes[1], gain);
  }
}

TEST_F(FormulaTest, CriticalPowerRefillRecoveryAndCombination) {
  const uint8_t hero = Add(0, 0, 0);
  const uint8_t healer = Add(0, 4, 4);
  const uint8_t other = Add(0, 2, 2);
  SlgSetMacroP(51, 32768);  // level 0 for the healer too
  // Critical hit at the threshold: bonus 0 -> below 15.
  SeedRandom(SeedFor(14));
  EXPECT_EQ(IsCriticalHit(Unit(hero)), 1);
  SeedRandom(SeedFor(15));
  EXPECT_EQ(IsCriticalHit(Unit(hero)), 0);

  // Kind 5: a special attack empties the gauge; a critical adds 5; else plain.
  SlgUnit& h = Unit(hero);
  h.stats.total_attack = 20;
  h.stats.special_power = 9;
  h.stats.kiai = 50;
  h.stats.attack_type = 1;
  CalcUnitAction(h, kSlgActPower);
  EXPECT_EQ(h.stats.action_bytes[0], 29);
  EXPECT_EQ(h.stats.kiai, 0);
  h.stats.attack_type = 0;
  SeedRandom(SeedFor(3));
  CalcUnitAction(h, kSlgActPower);
  EXPECT_EQ(h.stats.attack_type, 2);
  EXPECT_EQ(h.stats.action_bytes[0], 25);
  SeedRandom(SeedFor(60));
  CalcUnitAction(h, kSlgActPower);
  EXPECT_EQ(h.stats.attack_type, 0);
  EXPECT_EQ(h.stats.action_bytes[0], 20);

  // Kind 11: refill 20 at level 0, capped.
  SlgUnit& o = Unit(other);
  o.stats.kiai = 10;
  o.stats.max_kiai = 100;
  CalcUnitAction(o, kSlgActRefill);
  EXPECT_EQ(o.stats.kiai, 30);
  o.stats.kiai = 95;
  CalcUnitAction(o, kSlgActRefill);
  EXPECT_EQ(o.stats.kiai, 100);

  // Kind 12 by the healer with the heal-special switch: result -specialPower, no gain; kind 51
  // keeps its counter.
  SlgUnit& hl = Unit(healer);
  hl.stats.special_power = 30;
  hl.stats.counter = 5;
  o.stats.life = 40;
  o.stats.max_life = 60;
  o.stats.recovery = 15;
  o.stats.action_bytes[1] = 9;
  o.stats.attack_type = healer;
  Battle().heal_special = 1;
  CalcUnitAction(o, kSlgActRecover);
  EXPECT_EQ(static_cast<int16_t>(o.stats.result), -30);
  EXPECT_EQ(o.stats.action_bytes[1], 0);
  EXPECT_EQ(o.stats.life, 40);
  EXPECT_EQ(hl.stats.counter, 4);
  hl.kind = 51;
  CalcUnitAction(o, kSlgActRecover);
  EXPECT_EQ(hl.stats.counter, 4);
  hl.kind = 4;
  // Without the switch: the target's own recovery, capped at maxLife.
  Battle().heal_special = 0;
  CalcUnitAction(o, kSlgActRecover);
  EXPECT_EQ(o.stats.life, 55);
  CalcUnitAction(o, kSlgActRecover);
  EXPECT_EQ(o.stats.life, 60);
  EXPECT_EQ(hl.stats.counter, 2);

  // Kind 19: both gauges empty, power twice the hero's attack.
  h.stats.kiai = 70;
  o.stats.kiai = 80;
  CalcUnitAction(o, kSlgActCombined);
  EXPECT_EQ(o.stats.kiai, 0);
  EXPECT_EQ(h.stats.kiai, 0);
  EXPECT_EQ(o.stats.action_bytes[0], 40);

  // Any other kind changes nothing.
  for (int kind : {0, 4, 6, 10, 13, 18, 20, 99}) {
    const SlgUnit before = o;
    CalcUnitAction(o, kind);
    EXPECT_EQ(std::memcmp(&before.stats, &o.stats, sizeof o.stats), 0) << kind;
  }
}

TEST_F(FormulaTest, SavedTrustRestoresAllTwelve) {
  for (size_t i = 0; i < kTrustSaveVars.size(); ++i) {
    SlgSetMacroP(kTrustSaveVars[i], static_cast<uint16_t>(1000 + i));
  }
  LoadTrustVars();
  for (int v : kTrustSaveVars) SlgSetMacroP(v, 7);
  SlgSetMacroP(12, 4321);  // not one of the twelve
  SaveTrustVars();
  for (size_t i = 0; i < kTrustSaveVars.size(); ++i) {
    EXPECT_EQ(SlgGetMacroP(kTrustSaveVars[i]), 1000 + i) << kTrustSaveVars[i];
  }
  EXPECT_EQ(SlgGetMacroP(12), 4321);
}

}  // namespace
