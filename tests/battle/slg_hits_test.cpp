// Hit resolution: who an attack hits on the range result (cover, the busy hero, character 4's
// healing special, a unit listed twice, no hero on the map), how the results are applied (life
// clamps, defeats and the per-heroine tallies, the kiai gain) and the turn-flag resets.

#include "battle/slg_hits.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "engine/app/doors.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::CellPos;
using testsupport::OnCell;

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;

constexpr uint32_t kHitFlags = 0x89;


// A seed after which the damage draw ((SlgRand() >> 3) mod 8) is 0.
uint32_t SeedForZeroDraw() {
  for (uint32_t s = 1; s < 100000; ++s) {
    SeedRandom(s);
    if ((SlgRand() >> 3) % 8 == 0) return s;
  }
  ADD_FAILURE() << "no seed draws 0";
  return 1;
}

// A board with an attacker, the hero and a heroine on cells of their own; the range result is
// what the test lists.
struct HitCast {
  bool hero = true;
  uint8_t attacker_side = 1, attacker_character = 20, attacker_kind = 14;
};
class HitBoard {
 public:
  explicit HitBoard(const HitCast& cast = {}) {
    attacker = board.AddUnit(OnCell(4, 20, {.side = cast.attacker_side,
                                        .character = cast.attacker_character,
                                        .kind = cast.attacker_kind}));
    if (cast.hero) hero = board.AddUnit(OnCell(6, 20, {.side = 0, .character = 0, .kind = 0}));
    heroine = board.AddUnit(OnCell(8, 20, {.side = 0, .character = 1, .kind = 1}));
    U(attacker).stats.action_bytes[0] = 30;  // power: the damage is above 0
    U(heroine).stats.life = 100;
    U(heroine).stats.max_life = 100;
  }
  SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  // The range result: the cells of these slots, in this order.
  void List(const std::vector<uint8_t>& slots) {
    SlgSearchState& s = Battle().search;
    s.range_count = 0;
    for (uint8_t slot : slots) {
      const SlgUnit& u = U(slot);
      const SlgPoint p = SnapPosToCell(u.x >> 16, u.y >> 16);
      s.range_list[s.range_count++] = {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)};
    }
  }
  int Mark() { return Slg::MarkHitUnits(U(attacker)); }

  BattleRig rig;
  BattleBoard board{rig.battle()};
  uint8_t attacker = 255, hero = 255, heroine = 255;
};

TEST(MarkHitUnits, AnOrdinaryHitMarksAndDamagesTheUnit) {
  HitBoard b;
  b.U(b.heroine).reaction_over() = 1;
  b.List({b.heroine});
  EXPECT_EQ(b.Mark(), 1);
  const SlgUnit& h = b.U(b.heroine);
  EXPECT_EQ(h.flags & kHitFlags, kHitFlags);
  EXPECT_EQ(h.state, 9);
  EXPECT_EQ(h.stats.attack_type, b.attacker);
  EXPECT_EQ(h.reaction_over(), 0);
  EXPECT_GT(h.stats.result, 0);
  EXPECT_EQ(h.stats.life, 100) << "the damage is applied later, by ApplyHits";
  EXPECT_EQ(b.U(b.hero).state, 0) << "a unit off the list is untouched";
  EXPECT_EQ(b.U(b.hero).flags & 1u, 0u);
}

TEST(MarkHitUnits, CoverRules) {
  struct Case {
    const char* name;
    uint8_t cover_count;
    uint8_t attacker_character;  // 20 an enemy, 4 the healer heroine
    bool covered_takes_hit;       // the heroine is hit (else the hero covers her)
  };
  const Case cases[] = {
      {"count above 0: the hero covers", 8, 20, false},
      {"count 0: the heroine is hit", 0, 20, true},
      {"attacker of character 4: no cover", 8, 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HitBoard b({.attacker_character = c.attacker_character,
                .attacker_kind = static_cast<uint8_t>(c.attacker_character == 4 ? 4 : 14)});
    SlgUnit& hero = b.U(b.hero);
    SlgUnit& h = b.U(b.heroine);
    h.flags |= 0x10;
    h.state = 3;
    hero.cover_count() = c.cover_count;
    hero.cover_hold() = 5;
    hero.stats.result = 77;
    b.List({b.heroine});
    EXPECT_EQ(b.Mark(), 1);
    if (c.covered_takes_hit) {
      EXPECT_EQ(h.state, 9);
      EXPECT_EQ(h.flags & kHitFlags, kHitFlags);
      EXPECT_EQ(hero.state, 0);
      EXPECT_EQ(hero.cover_count(), c.cover_count);
    } else {
      EXPECT_EQ(hero.state, 14);
      EXPECT_EQ(hero.flags & kHitFlags, kHitFlags);
      EXPECT_EQ(hero.covered_slot(), b.heroine);
      EXPECT_EQ(hero.stats.attack_type, b.attacker);
      EXPECT_EQ(hero.cover_hold(), 0);
      EXPECT_EQ(hero.stats.result, 0);
      EXPECT_EQ(hero.cover_count(), c.cover_count - 1);
      EXPECT_EQ(h.state, 0) << "the covered heroine goes back to standing";
      EXPECT_EQ(h.flags & 1u, 0u);
    }
  }
}

TEST(MarkHitUnits, TheHeroBusyCoveringIsSkipped) {
  HitBoard b;
  SlgUnit& hero = b.U(b.hero);
  hero.cover_count() = 8;
  b.U(b.heroine).flags |= 0x10;
  b.List({b.heroine, b.hero});
  EXPECT_EQ(b.Mark(), 1) << "the cover counts; the hero's own cell then finds him busy";
  EXPECT_EQ(hero.state, 14);
  EXPECT_EQ(hero.cover_count(), 7);
  // Once the covered unit has lost flag 0x10 he is hit on his own cell again.
  b.U(b.heroine).flags &= ~0x10u;
  b.List({b.hero});
  EXPECT_EQ(b.Mark(), 1);
  EXPECT_EQ(hero.state, 9);
}

TEST(MarkHitUnits, SkippedAndSpecialCases) {
  {
    SCOPED_TRACE("a dead slot and the attacker's own cell are skipped");
    HitBoard b;
    b.U(b.heroine).step = 255;
    b.List({b.heroine, b.attacker});
    EXPECT_EQ(b.Mark(), 0);
    EXPECT_EQ(b.U(b.heroine).flags & 1u, 0u);
    EXPECT_EQ(b.U(b.attacker).flags & 1u, 0u);
  }
  {
    SCOPED_TRACE("character 4's special heals: no damage, the use given back");
    HitBoard b({.attacker_side = 0, .attacker_character = 4, .attacker_kind = 4});
    SlgUnit& healer = b.U(b.attacker);
    healer.stats.attack_type = 1;
    healer.stats.special_power = 10;
    healer.stats.counter = 2;
    b.List({b.heroine});
    EXPECT_EQ(b.Mark(), 1);
    const SlgUnit& h = b.U(b.heroine);
    EXPECT_EQ(h.state, 9);
    EXPECT_EQ(static_cast<int16_t>(h.stats.result), -10) << "a heal, stored as a negative amount";
    EXPECT_EQ(healer.stats.counter, 2) << "the recovery's use is given back (+ 1)";
    EXPECT_EQ(Battle().heal_special, 0u) << "the switch is set around the recovery only";
  }
  {
    SCOPED_TRACE("result 0: back to state 0");
    HitBoard b;
    b.U(b.attacker).stats.action_bytes[0] = 0;
    b.List({b.heroine});
    SeedRandom(SeedForZeroDraw());
    EXPECT_EQ(b.Mark(), 1);
    EXPECT_EQ(b.U(b.heroine).stats.result, 0);
    EXPECT_EQ(b.U(b.heroine).state, 0);
    EXPECT_EQ(b.U(b.heroine).flags & kHitFlags, kHitFlags);
  }
  {
    SCOPED_TRACE("no hero on the map: a covered unit is hit, no slot 65535 read");
    HitBoard b({.hero = false});
    b.U(b.heroine).flags |= 0x10;
    b.List({b.heroine});
    EXPECT_EQ(b.Mark(), 1);
    EXPECT_EQ(b.U(b.heroine).state, 9);
  }
}

TEST(MarkHitUnits, ACellListedTwiceHitsItsUnitOnce) {
  {
    HitBoard b;
    b.List({b.heroine, b.heroine});
    EXPECT_EQ(b.Mark(), 1);
    // One damage draw: the same seed drawn once gives the same result as a single listing.
    SeedRandom(99);
    b.Mark();
    const uint16_t twice = b.U(b.heroine).stats.result;
    b.List({b.heroine});
    SeedRandom(99);
    b.Mark();
    EXPECT_EQ(b.U(b.heroine).stats.result, twice);
  }
  {
    HitBoard b;
    b.U(b.hero).cover_count() = 8;
    b.U(b.heroine).flags |= 0x10;
    b.List({b.heroine, b.heroine});
    EXPECT_EQ(b.Mark(), 1);
    EXPECT_EQ(b.U(b.hero).cover_count(), 7) << "the cover count lowered once";
  }
  {
    SCOPED_TRACE("a second call (the attack's end) hits again: the mark is per call");
    HitBoard b;
    b.List({b.heroine});
    EXPECT_EQ(b.Mark(), 1);
    EXPECT_EQ(b.Mark(), 1);
  }
}

// Kind 33's special area (the square of radius 25 around (10, 44)) on a board whose open cells
// are the first `open` of rows 20, 22, ..., 68 (the square's later lattice, listed after the other
// and row by row) at columns 0-20, or every cell: a unit on the last open cell, the last entry of
// the area, is hit.
TEST(MarkHitUnits, AnAreaOfMoreThan512CellsHitsTheUnitOnItsLastCell) {
  constexpr int kEveryCell = -1;
  struct Case {
    int open;
    uint32_t listed;  // the area's entries
  };
  // The open map: 26 rows of 21 cells on one lattice, 25 of 21 on the other.
  const Case cases[] = {{511, 511}, {512, 512}, {513, 513}, {kEveryCell, 1071}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.open);
    BattleRig rig;
    BattleBoard board(rig.battle());
    std::pair<int, int> last{20, 68};
    if (c.open != kEveryCell) {
      for (int r = 0; r < 88; ++r) {
        for (int col = 0; col < 22; ++col) board.SetCell(col, r, 0x1000);
      }
      for (int n = 0; n < c.open; ++n) {
        last = {n % 21, 20 + 2 * (n / 21)};
        board.SetCell(last.first, last.second, 0);
      }
    }
    const uint8_t satan = board.AddUnit(OnCell(10, 84, {.side = 1, .character = 30, .kind = 33}));
    const uint8_t target =
        board.AddUnit(OnCell(last.first, last.second, {.side = 0, .character = 1, .kind = 1}));
    SlgUnit& attacker = rig.battle().state.units[satan];
    attacker.stats.action_bytes[0] = 30;
    Slg::AreaSearch(CellPos(10, 44), attacker, 1);
    EXPECT_EQ(Battle().search.range_count, c.listed);
    EXPECT_EQ(Slg::MarkHitUnits(attacker), 1);
    EXPECT_EQ(rig.battle().state.units[target].state, 9);
  }
}

// ---- ApplyHits ----

TEST(ApplyHits, LifeIsClampedAndDefeatsAreMarked) {
  struct Case {
    const char* name;
    int16_t life, max_life;
    int16_t result;  // signed: negative heals
    int16_t life_after;
    bool defeated;
  };
  const Case cases[] = {
      {"damage within life", 50, 100, 20, 30, false},
      {"damage beyond life: 0", 10, 100, 40, 0, true},
      {"heal beyond max life", 90, 100, -50, 100, false},
      {"exactly to 0", 20, 100, 20, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HitBoard b;
    SlgUnit& h = b.U(b.heroine);
    h.flags |= 1;
    h.stats.life = c.life;
    h.stats.max_life = c.max_life;
    h.stats.result = static_cast<uint16_t>(c.result);
    Battle().event_unit_ref[0] = kSlgNoUnit;
    EXPECT_EQ(Slg::ApplyHits(b.U(b.attacker)), c.defeated ? 1 : 0);
    EXPECT_EQ(h.stats.life, c.life_after);
    EXPECT_EQ(h.state, c.defeated ? 15 : 0);
    EXPECT_EQ((h.flags & 0x20) != 0, c.defeated);
    EXPECT_EQ(Battle().event_unit_ref[0], c.defeated ? b.attacker : kSlgNoUnit);
  }
}

TEST(ApplyHits, TalliesOfFallenHeroinesAndTheirDefeats) {
  const std::array<int, 7> fallen = {0, 13, 23, 33, 53, 63, 43};
  const std::array<int, 7> defeats = {0, 12, 22, 32, 52, 62, 42};
  for (uint8_t c = 1; c <= 6; ++c) {
    SCOPED_TRACE(testing::Message() << "heroine " << int{c});
    {
      HitBoard b;
      Slg::ClearBattleTallies();
      SlgUnit& h = b.U(b.heroine);
      h.character = c;
      h.flags |= 1;
      h.stats.life = 5;
      h.stats.result = 9;
      EXPECT_EQ(Slg::ApplyHits(b.U(b.attacker)), 1);
      EXPECT_EQ(SlgGetMacroP(fallen[c]), 1);
    }
    {
      // An enemy defeated by heroine c, twice.
      HitBoard b({.attacker_side = 0, .attacker_character = c, .attacker_kind = c});
      Slg::ClearBattleTallies();
      const uint8_t enemy = b.board.AddUnit(OnCell(10, 20, {.side = 1, .character = 20, .kind = 14}));
      for (int i = 0; i < 2; ++i) {
        SlgUnit& e = b.U(enemy);
        e.flags |= 1;
        e.stats.life = 5;
        e.stats.result = 9;
        EXPECT_EQ(Slg::ApplyHits(b.U(b.attacker)), 1);
      }
      EXPECT_EQ(SlgGetMacroP(defeats[c]), 2);
      for (int other = 1; other <= 6; ++other) {
        if (other != c) {
          EXPECT_EQ(SlgGetMacroP(defeats[static_cast<size_t>(other)]), 0);
        }
        EXPECT_EQ(SlgGetMacroP(fallen[static_cast<size_t>(other)]), 0);
      }
    }
  }
  // Defeated by the hero: counted for nobody.
  HitBoard b({.attacker_side = 0, .attacker_character = 0, .attacker_kind = 0});
  Slg::ClearBattleTallies();
  const uint8_t enemy = b.board.AddUnit(OnCell(10, 20, {.side = 1, .character = 20, .kind = 14}));
  b.U(enemy).flags |= 1;
  b.U(enemy).stats.life = 1;
  b.U(enemy).stats.result = 1;
  EXPECT_EQ(Slg::ApplyHits(b.U(b.attacker)), 1);
  for (int v : defeats) {
    if (v != 0) {
      EXPECT_EQ(SlgGetMacroP(v), 0) << "P" << v;
    }
  }
}

TEST(ApplyHits, KiaiGainIsCappedAndNoneForTheHealingSpecial) {
  struct Case {
    const char* name;
    uint8_t attacker_character, attacker_type;
    uint16_t kiai;
    uint8_t gain;
    uint16_t kiai_after;
  };
  const Case cases[] = {
      {"gain", 20, 0, 10, 15, 25},
      {"capped at max kiai", 20, 0, 90, 30, 100},
      {"character 4's special gains nothing", 4, 1, 10, 15, 10},
      {"character 4's normal attack gains", 4, 0, 10, 15, 25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HitBoard b({.attacker_character = c.attacker_character,
                .attacker_kind = static_cast<uint8_t>(c.attacker_character == 4 ? 4 : 14)});
    b.U(b.attacker).stats.attack_type = c.attacker_type;
    SlgUnit& h = b.U(b.heroine);
    h.flags |= 1;
    h.stats.kiai = c.kiai;
    h.stats.max_kiai = 100;
    h.stats.action_bytes[1] = c.gain;
    h.stats.result = 1;
    EXPECT_EQ(Slg::ApplyHits(b.U(b.attacker)), 0);
    EXPECT_EQ(h.stats.kiai, c.kiai_after);
  }
}

// ---- Tallies and turn flags ----

TEST(BattleTallies, ClearSetsTheThirteenVariablesToZero) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  const std::vector<int> vars = {13, 23, 33, 53, 63, 43, 12, 22, 32, 52, 62, 42, 72};
  for (int v : vars) SlgSetMacroP(v, 7);
  SlgSetMacroP(11, 7);
  Slg::ClearBattleTallies();
  for (int v : vars) EXPECT_EQ(SlgGetMacroP(v), 0) << "P" << v;
  EXPECT_EQ(SlgGetMacroP(11), 7) << "the trust variable stays";
}

TEST(TurnFlags, ResetClearsBitsZeroToThreeAndMarkSetsTheReactionOverByte) {
  HitBoard b;
  SlgUnit& hero = b.U(b.hero);
  SlgUnit& h = b.U(b.heroine);
  SlgUnit& a = b.U(b.attacker);
  h.flags |= 0x9;
  a.flags = (a.flags | 0xF) & ~0x8080u;  // hidden, and not shown again by flag
  hero.flags |= 0x2;
  Slg::MarkFlaggedUnits();
  EXPECT_EQ(h.reaction_over(), 1);
  EXPECT_EQ(a.reaction_over(), 1);
  EXPECT_EQ(hero.reaction_over(), 0);

  hero.step = 255;  // a dead record keeps its flags
  Slg::ResetUnitTurnFlags();
  EXPECT_EQ(h.flags & 0xF, 0u);
  EXPECT_EQ(a.flags & 0xF, 0u);
  EXPECT_EQ(hero.flags & 0xF, 0x2u);
  // Units without 0x8000 are shown again (0x80) by the reset.
  EXPECT_NE(a.flags & 0x80, 0u);
}

}  // namespace
