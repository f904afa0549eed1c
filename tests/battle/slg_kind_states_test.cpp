// The enemy and boss families: their update rows and state tables, first frames, the kouma
// hover, the family hit tables, the two-object stands with the low-life effect, the samurai and
// Satan slots, and the boss exit sequences on the rig's clock (with and without animation sets,
// two bosses at once, a work block that cannot be had, the defeat messages).

#include "battle/slg_kind_states.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_boss_exit.h"
#include "battle/slg_damage.h"
#include "battle/slg_death.h"
#include "battle/slg_event_entries.h"
#include "battle/slg_events.h"
#include "battle/slg_screen.h"
#include "battle/slg_search.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/core/game_task.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::OnCell;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;
using testsupport::UnitAnmWriter;

// The kinds whose sets the rig writes (with patterns 0-13), unless it is asked for none.
constexpr int kSetKinds[] = {0, 17, 20, 22, 23, 24, 25, 26, 27, 28, 31};
constexpr uint32_t kUnitLowLifeFlagForTest = 0x8;  // flag 8: no aura, no low-life effect

class Families {
 public:
  struct Options {
    bool sets = true;        // false: an empty UnitAnm table
    bool dead_effect = false;  // the boss kinds' DEAD_EFFECT sets too
  };
  Families() : Families(Options{}) {}
  explicit Families(const Options& o) : board(rig.battle()) {
    SlgTableWriter tables;
    if (o.sets) {
      for (int kind : kSetKinds) {
        std::vector<int> slots = {kUnitAnmBaseBody, kUnitAnmBaseEffect};
        if (o.dead_effect && kind >= 20) slots.push_back(kUnitAnmDeadEffect);
        UnitAnmWriter(kind).Slots(slots).ExtraPatterns(10).Lay(rig.driver().tree, tables);
      }
    }
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    InitCategoryUpdates();
    InitDefaultUnitStates();
  }
  uint8_t Add(int column, int row, BoardUnit u) {
    const uint8_t slot = board.AddUnit(OnCell(column, row, u));
    Slg::PlaceUnit(U(slot));
    return slot;
  }
  uint8_t Enemy(int column, int row, uint8_t kind, uint8_t dir = 0) {
    BoardUnit u{.side = 1, .character = 30, .kind = kind, .category = 1};
    u.facing = dir;
    const uint8_t slot = Add(column, row, u);
    U(slot).stats.life = U(slot).stats.max_life = 100;
    return slot;
  }
  SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  static void UpdateAll() { unit_state_moves::UpdateShownUnits(); }
  void Frame() {
    rig.Step();
    UpdateAll();
  }

  BattleRig rig;
  BattleBoard board;
};

// The lines holding any of the fragments, in order (the fragment itself recorded).
std::vector<std::string> Picked(const TraceCapture& trace, const std::vector<std::string>& of) {
  std::vector<std::string> out;
  for (const auto& line : trace.lines()) {
    for (const std::string& f : of) {
      if (line.text.find(f) != std::string::npos) out.push_back(f);
    }
  }
  return out;
}

// ---- Tables ----

TEST(FamilyTables, SlotsByFamilyStateAndKind) {
  using F = SlgFamily;
  struct Slot {
    F family;
    int state;
    SlgStateHandler handler;
  };
  const Slot slots[] = {
      {F::kKouma, 0, &ActKoumaStayEffect},    {F::kKouma, 1, &ActKoumaWalkEffect},
      {F::kKouma, 2, &KoumaWalkEnd},          {F::kKouma, 4, &KoumaWalkStop},
      {F::kKouma, 9, &KoumaHit},              {F::kKouma, 10, &KoumaHeightChange},
      {F::kKouma, 15, &ActKoumaDead},         {F::kKouma, 14, nullptr},
      {F::kKamui, 0, &UnitStand},             {F::kKamui, 2, &TwoObjectWalkEnd},
      {F::kKamui, 9, &BossHit},               {F::kKamui, 10, &TwoObjectHeightChange},
      {F::kKamui, 15, &UnitStateSeqB},        {F::kKamui, 5, &AttackStateLeadIn},
      {F::kSamurai, 5, &SamuraiLeadIn},       {F::kSamurai, 6, &Slg::AttackState},
      {F::kSamurai, 9, &UnitDamagedDefault},  {F::kSamurai, 15, &SamuraiEnd},
      {F::kSoukaku, 0, &TwoObjectStand},      {F::kSoukaku, 4, &UnitWalkStop},
      {F::kSoukaku, 8, &TwoObjectStand},      {F::kSoukaku, 10, nullptr},
      {F::kSoukaku, 15, &UnitStateSeqA},      {F::kSoukaku, 5, &BossLeadIn},
      {F::kGinkaku, 4, &TwoObjectWalkEnd},    {F::kGinkaku, 15, &GinkakuEnd},
      {F::kKujyaku, 3, &UnitWalkStart},       {F::kKujyaku, 7, &BossAttackEnd},
      {F::kKujyaku, 15, &UnitStateSeqA},      {F::kAmateras, 9, &BossHit},
      {F::kAmateras, 11, &UnitSupportFall},   {F::kAmateras, 15, &UnitStateSeqA},
      {F::kBoss, 8, &TwoObjectWalkEnd},       {F::kBoss, 10, &TwoObjectHeightChange},
      {F::kBoss, 13, &UnitSupportFlash},      {F::kBoss, 15, &UnitStateSeqB},
      {F::kBoss, 6, &Slg::AttackState},       {F::kBoss, 16, nullptr},
      {F::kSatan, 5, &AttackLeadInKind},      {F::kSatan, 6, &SatanAttackEntry},
      {F::kSatan, 7, &AttackEndKind},         {F::kSatan, 255, nullptr},
  };
  for (const Slot& s : slots)
    EXPECT_EQ(SlgFamilyStateHandler(s.family, static_cast<uint32_t>(s.state)), s.handler)
        << "family " << static_cast<int>(s.family) << " state " << s.state;
  for (int st : {0, 1, 2, 3, 4, 8, 9, 10, 11, 12, 13, 14, 15})
    EXPECT_EQ(SlgFamilyStateHandler(SlgFamily::kSatan, static_cast<uint32_t>(st)), nullptr) << st;

  struct Row {
    std::vector<int> kinds;
    SlgCategoryUpdate update;
  };
  const Row rows[] = {
      {{17, 18, 19, 48, 49, 50}, &ActKoumaUnit}, {{20, 31, 32}, &ActKamuiUnit},
      {{21, 22}, &ActSamuraiUnit},               {{23}, &ActSoukakuUnit},
      {{24}, &ActGinkakuUnit},                   {{25}, &ActKujyakuUnit},
      {{26, 27}, &ActAmaterasUnit},              {{28, 29, 30}, &ActBossUnit},
      {{33}, &ActSatanUnit},                     {{36, 37}, nullptr},
  };
  for (const Row& r : rows) {
    for (int k : r.kinds) EXPECT_EQ(SlgKindUpdate(static_cast<uint32_t>(k)), r.update) << k;
  }
}

// Satan keeps every state but 5-7 as it is; kinds 36 and 37 are never updated; a state past
// the table runs nothing.
TEST(FamilyDispatch, SatanEmptyKindsAndStatesPastTheTable) {
  Families f;
  const uint8_t satan = f.Enemy(2, 10, 33);
  const uint8_t bomb = f.Enemy(4, 10, 36);
  const uint8_t nkouma = f.Enemy(6, 10, 37);
  const uint8_t boss = f.Enemy(8, 10, 28);
  for (int st : {0, 1, 2, 3, 4, 8, 9, 10, 11, 12, 13, 14, 15}) {
    SCOPED_TRACE(st);
    SetUnitState(f.U(satan), static_cast<uint8_t>(st));
    for (int i = 0; i < 3; ++i) f.Frame();
    EXPECT_EQ(f.U(satan).state, st);
    EXPECT_EQ(f.U(satan).step, 0u);
    ASSERT_NE(f.U(satan).anm, nullptr);
    EXPECT_EQ(f.U(satan).anm->state, 0) << "no handler touched the body";
  }
  for (uint8_t slot : {bomb, nkouma}) {
    SetUnitState(f.U(slot), kUnitStateWalkStart);
    f.U(slot).flags |= kUnitStateStart;
  }
  SetUnitState(f.U(boss), 20);
  for (int i = 0; i < 3; ++i) f.Frame();
  for (uint8_t slot : {bomb, nkouma}) {
    EXPECT_EQ(f.U(slot).state, kUnitStateWalkStart) << int{f.U(slot).kind};
    EXPECT_NE(f.U(slot).flags & kUnitStateStart, 0u) << "never updated";
  }
  EXPECT_EQ(f.U(boss).state, 20);
  EXPECT_EQ(f.U(boss).anm->state, 0);
}

TEST(FamilyFirstFrame, SecondObjectBossShadowSatanAndSummoner) {
  Families f;
  const uint8_t soukaku = f.Enemy(2, 10, 23);
  const uint8_t kamui = f.Enemy(4, 10, 20);
  const uint8_t satan = f.Enemy(6, 10, 33);
  Battle().summoner_opening = 1;
  Battle().kind_states.satan_attack = 7;
  for (uint8_t s : {soukaku, kamui, satan}) f.U(s).flags |= kUnitStateStart;
  f.Frame();
  EXPECT_NE(f.U(soukaku).anm2, nullptr);
  EXPECT_NE(f.U(kamui).anm2, nullptr);
  EXPECT_EQ(Battle().kind_states.boss_shadow, 0u) << "only kinds 28-30 switch the shadow on";
  EXPECT_EQ(Battle().summoner_opening, 0u);
  EXPECT_EQ(Battle().kind_states.satan_attack, 0u);
  for (uint8_t s : {soukaku, kamui, satan}) EXPECT_EQ(f.U(s).flags & kUnitStateStart, 0u);

  const uint8_t boss = f.Enemy(8, 10, 29);
  f.U(boss).flags |= kUnitStateStart;
  SlgAnmObj* second = f.U(soukaku).anm2;
  f.U(soukaku).flags |= kUnitStateStart;  // placed again: the second object is kept
  f.Frame();
  EXPECT_EQ(Battle().kind_states.boss_shadow, 1u);
  EXPECT_EQ(f.U(soukaku).anm2, second);
}

// ---- Kouma ----

TEST(KoumaWalk, TakesOffOnePixelAFrameFliesAndLandsToReady) {
  Families f;
  const uint8_t slot = f.Enemy(3, 12, 17, 1);
  SlgUnit& u = f.U(slot);
  SetUnitState(u, kUnitStateWalk);
  f.Frame();
  ASSERT_NE(Ctx().game_task.FindTask(("ActKoumaWalkEffect:" + std::to_string(u.entry)).c_str()),
            nullptr);
  std::vector<int32_t> rise;
  for (int i = 0; i < 40 && u.anm->state == 1; ++i) {
    rise.push_back(KoumaHover(u));
    f.Frame();
  }
  ASSERT_GE(rise.size(), 3u) << "the take-off plays for some frames";
  // One pixel a frame of the game clock (the rig's 17, 17, 16 ms frames may count one as two
  // or none against a start between them).
  for (size_t i = 1; i < rise.size(); ++i) EXPECT_LE(rise[i] - rise[i - 1], 2) << i;
  const int32_t total = rise.back() - rise.front();
  const int32_t frames = static_cast<int32_t>(rise.size()) - 1;
  EXPECT_GE(total, frames - 1);
  EXPECT_LE(total, frames + 1);
  f.Frame();
  EXPECT_EQ(u.anm->pattern, 4) << "the flight pattern facing 1";
  const int32_t top = KoumaHover(u);
  EXPECT_GT(top, 0);
  for (int i = 0; i < 5; ++i) f.Frame();
  EXPECT_EQ(KoumaHover(u), top) << "flies at the kept hover";

  SetUnitState(u, kUnitStateWalkEnd);
  std::vector<int32_t> fall;
  for (int i = 0; i < 200 && u.state == kUnitStateWalkEnd; ++i) {
    f.Frame();
    fall.push_back(KoumaHover(u));
  }
  EXPECT_EQ(u.state, kUnitStateReady);
  EXPECT_EQ(KoumaHover(u), 0);
  ASSERT_GE(fall.size(), 3u);
  EXPECT_LT(fall[2], fall[0]) << "sinks";
  EXPECT_LE(static_cast<int32_t>(fall.size()), top + 2) << "a pixel a frame";
  EXPECT_GE(static_cast<int32_t>(fall.size()), top - 1);
  EXPECT_EQ(Ctx().game_task.FindTask(("ActKoumaWalkEffect:" + std::to_string(u.entry)).c_str()),
            nullptr)
      << "the effect has ended itself";

  // Flag 0x40000 hides the body and clears itself; the unit stays shown.
  u.flags |= kUnitHideNext;
  f.Frame();
  EXPECT_EQ(u.flags & kUnitHideNext, 0u);
  EXPECT_NE(u.flags & kUnitShown, 0u);
}

// ---- Kamui aura ----

// One step word for every kamui: the aura plays once, then waits a multiple of 128 frames; a
// unit with flag 8 shows none, and the aura starts only from states 0, 1 and 8.
TEST(KamuiAura, SharedStepPlaysOnceThenWaitsMultiplesOf128) {
  Families f;
  const uint8_t kamui = f.Enemy(3, 10, 20, 1);
  f.U(kamui).flags |= kUnitStateStart;
  const uint8_t other = f.Enemy(6, 10, 31);
  f.U(other).flags |= kUnitStateStart | kUnitLowLifeFlagForTest;
  SetUnitState(f.U(other), kUnitStateHit);  // would not start it either
  const SlgKindStatesState& k = Battle().kind_states;
  f.Frame();
  ASSERT_NE(f.U(kamui).anm2, nullptr);
  EXPECT_EQ(k.aura_step, 1u);
  EXPECT_EQ(f.U(kamui).anm2->pattern, 0) << "facing 1: pattern 0";
  EXPECT_EQ(f.U(kamui).anm2->depth, f.U(kamui).anm->depth + 1) << "one step behind";
  EXPECT_EQ(f.U(other).anm2->handle, nullptr) << "flag 8: no aura";
  std::vector<uint32_t> waits;
  for (int i = 0; i < 2000 && waits.size() < 2; ++i) {
    const uint32_t before = k.aura_step;
    f.Frame();
    if (before == 1 && k.aura_step == 2) waits.push_back(k.aura_wait);
  }
  ASSERT_EQ(waits.size(), 2u) << "the aura comes back after its wait";
  for (uint32_t w : waits) {
    EXPECT_EQ(w % 128, 0u);
    EXPECT_LE(w, 896u);
  }
  SetUnitState(f.U(kamui), kUnitStateHit);
  f.U(kamui).reaction_over() = 0;
  for (int i = 0; i < 1000 && k.aura_step != 0; ++i) f.Frame();
  f.Frame();
  EXPECT_EQ(k.aura_step, 0u) << "not restarted while the kamui is hit";
}

// Without any animation set the stands, the aura and the low-life effect count their
// animations as ended and go on to their waits instead of waiting for ever.
TEST(FamilyWithoutSets, StandsAuraAndLowLifeGoOn) {
  Families f({.sets = false});
  const uint8_t kamui = f.Enemy(3, 10, 32);
  const uint8_t boss = f.Enemy(6, 10, 30);
  const uint8_t kouma = f.Enemy(9, 10, 50);
  f.U(kamui).flags |= kUnitStateStart;
  f.U(boss).flags |= kUnitStateStart;
  f.U(boss).stats.life = 10;
  for (int i = 0; i < 3; ++i) f.Frame();
  const SlgKindStatesState& k = Battle().kind_states;
  EXPECT_EQ(k.aura_step, 2u) << "the aura waits for its next play";
  EXPECT_EQ(k.low_life[f.U(boss).entry].step, 2u) << "the low-life effect waits for its next";
  SetUnitState(f.U(boss), kUnitStateWalkEnd);
  SetUnitState(f.U(kouma), kUnitStateWalk);
  for (int i = 0; i < 3; ++i) f.Frame();
  EXPECT_EQ(f.U(boss).state, kUnitStateReady) << "the two-object walk end has ended";
  EXPECT_EQ(f.U(kouma).state, kUnitStateWalk);
  EXPECT_EQ(f.U(kouma).anm == nullptr || f.U(kouma).anm->state == 3, true) << "in flight";
}

// ---- Hits ----

TEST(FamilyHit, FamiliesDirectionsAndCriticalPickTheirTables) {
  Families f;
  const uint8_t attacker = f.Add(2, 20, {.side = 0, .character = 3, .kind = 0});
  struct Kind {
    uint8_t kind;
    const SlgHitTables* tables;
  };
  const Kind kinds[] = {{17, &kSlgHitKouma},    {49, &kSlgHitKouma},   {20, &kSlgHitKamui},
                        {23, &kSlgHitAmateras}, {24, &kSlgHitAmateras}, {26, &kSlgHitAmateras},
                        {25, &kSlgHitKujyaku},  {28, &kSlgHitDefault}, {22, &kSlgHitDefault}};
  int column = 4;
  for (const Kind& k : kinds) {
    const uint8_t slot = f.Enemy(column, 12, k.kind);
    column += 2;
    SlgUnit& u = f.U(slot);
    for (uint8_t type : {0, 2}) {
      f.U(attacker).stats.attack_type = type;
      for (uint8_t dir = 0; dir < 4; ++dir) {
        SCOPED_TRACE(testing::Message() << "kind " << int{k.kind} << " type " << int{type}
                                        << " dir " << int{dir});
        u.dir = dir;
        u.stats.attack_type = attacker;
        u.reaction_over() = 0;
        SetUnitState(u, kUnitStateHit);
        Slg::UpdateUnit(u);
        const SlgPatternTable& t = type == 2 ? k.tables->critical : k.tables->ordinary;
        ASSERT_NE(u.anm, nullptr);
        EXPECT_EQ(u.anm->pattern, t[dir].pattern);
        EXPECT_EQ(u.anm->attr, t[dir].attr);
        SetUnitState(u, kUnitStateStand);
      }
    }
  }
  // Kamui looks the same for both.
  for (int d = 0; d < 4; ++d) {
    EXPECT_EQ(kSlgHitKamui.ordinary[d].pattern, kSlgHitKamui.critical[d].pattern);
  }

  // Back in state 0 a boss sets flag 199, once; a kouma does not.
  for (uint8_t kind : {28, 23, 17}) {
    SCOPED_TRACE(int{kind});
    const uint8_t slot = f.Enemy(column, 14, kind);
    column += 2;
    SlgUnit& u = f.U(slot);
    ClearEventFlag(kSlgFlagBossBackToStand);
    u.stats.attack_type = attacker;
    u.reaction_over() = 0;
    SetUnitState(u, kUnitStateHit);
    for (int i = 0; i < 3; ++i) Slg::UpdateUnit(u);
    EXPECT_EQ(CheckEventFlag(kSlgFlagBossBackToStand), 0) << "not while being hit";
    u.reaction_over() = 1;
    Slg::UpdateUnit(u);
    EXPECT_EQ(u.state, kUnitStateStand);
    EXPECT_EQ(CheckEventFlag(kSlgFlagBossBackToStand), kind == 17 ? 0 : 1);
    ClearEventFlag(kSlgFlagBossBackToStand);
    Slg::UpdateUnit(u);
    EXPECT_EQ(CheckEventFlag(kSlgFlagBossBackToStand), 0) << "standing sets it no more";
  }
}

// ---- Two-object stands ----

TEST(TwoObjectStand, PatternsDepthOffsetsAndSharedWait) {
  Families f;
  struct Case {
    uint8_t kind, dir;
    int body, extra1, depth1, extra2, depth2;  // extra2 -1: none
  };
  const Case cases[] = {
      {28, 0, 3, 1, -1, -1, 0}, {28, 1, 2, 0, 1, -1, 0},  {26, 2, 2, 0, 1, -1, 0},
      {23, 3, 3, 3, -1, -1, 0}, {23, 1, 2, 2, 1, -1, 0},  {24, 0, 3, 2, 1, 3, -1},
      {24, 1, 2, 0, 1, 1, -1},  {25, 0, 7, 7, -1, 8, 1},  {25, 2, 6, 6, -1, 8, 1},
  };
  int column = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << int{c.kind} << " dir " << int{c.dir});
    const uint8_t slot = f.Enemy(column, 10, c.kind, c.dir);
    column += 2;
    SlgUnit& u = f.U(slot);
    u.flags |= kUnitStateStart;
    Slg::UpdateUnit(u);
    ASSERT_NE(u.anm, nullptr);
    ASSERT_NE(u.anm2, nullptr);
    EXPECT_EQ(u.anm->pattern, c.body);
    EXPECT_EQ(u.anm2->pattern, c.extra1);
    EXPECT_EQ(u.anm2->depth - u.anm->depth, c.depth1);
    EXPECT_EQ(u.anm2->attr, u.anm->attr);
    SlgAnmObj* e2 = Battle().kind_states.extra2[u.entry];
    if (c.extra2 < 0) {
      EXPECT_EQ(e2, nullptr);
    } else {
      ASSERT_NE(e2, nullptr);
      EXPECT_EQ(e2->pattern, c.extra2);
      EXPECT_EQ(e2->depth - u.anm->depth, c.depth2);
    }
    EXPECT_GE(Battle().kind_states.stand_wait, 1u);
    EXPECT_LE(Battle().kind_states.stand_wait, 449u);
  }
}

// The stand's wait is ((31-bit draw >> 16) & 0x1C0) + 1: over many seeds it takes all eight of
// 1, 65, ..., 449, so the bosses rest between their replays.
TEST(TwoObjectStand, TheSharedWaitVariesOverSeedsUpTo449) {
  Families f;
  const uint8_t slot = f.Enemy(4, 10, 28);
  SlgUnit& u = f.U(slot);
  u.flags |= kUnitStateStart;
  Slg::UpdateUnit(u);
  ASSERT_NE(u.anm, nullptr);
  std::set<uint32_t> waits;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    SeedRandom(seed);
    u.anm->state = 0;  // the stand's entry draws the wait again
    Slg::UpdateUnit(u);
    const uint32_t wait = Battle().kind_states.stand_wait;
    ASSERT_EQ((wait - 1) % 64, 0u) << wait;
    waits.insert(wait);
  }
  EXPECT_EQ(waits, (std::set<uint32_t>{1, 65, 129, 193, 257, 321, 385, 449}));
}

// A boss that leaves the battle gives back its objects: body, extra 1, the family's extra 2 and
// the low-life object; while another live record of its stage entry remains they stay its.
TEST(TwoObjectStand, ARemovedBossGivesItsObjectsBackToThePool) {
  enum class Road { kRemoved, kEventThenPurge, kEntryShared };
  struct Case {
    const char* name;
    Road road;
  };
  const Case cases[] = {
      {"removed from the records", Road::kRemoved},
      {"removed by an event, then purged", Road::kEventThenPurge},
      {"another record of its entry lives", Road::kEntryShared},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Families f;
    const uint8_t other = f.Enemy(2, 10, 14);
    const int before = Battle().anm_pool.in_use;
    const uint8_t boss = f.Enemy(6, 10, 24);  // ginkaku: two extra objects
    SlgUnit& u = f.U(boss);
    const uint8_t entry = u.entry;
    u.flags |= kUnitStateStart;
    u.stats.life = 10;  // a fifth of its life: the low-life object
    Slg::UpdateUnit(u);
    const SlgKindStatesState& k = Battle().kind_states;
    ASSERT_NE(k.extra2[entry], nullptr);
    ASSERT_NE(k.low_life[entry].obj, nullptr);
    ASSERT_EQ(Battle().anm_pool.in_use, before + 4);
    if (c.road == Road::kEntryShared) f.U(other).entry = entry;
    if (c.road == Road::kEventThenPurge) {
      EventRemoveUnit(&u);
      EXPECT_EQ(k.extra2[entry], nullptr) << "not kept until the next battle";
      EXPECT_EQ(Battle().anm_pool.in_use, before);
      Slg::PurgeDeadUnits();
    } else {
      Slg::RemoveUnit(boss);
    }
    ASSERT_EQ(Battle().state.unit_count, 1);
    if (c.road == Road::kEntryShared) {
      EXPECT_NE(k.extra2[entry], nullptr);
      EXPECT_EQ(Battle().anm_pool.in_use, before + 2);
    } else {
      EXPECT_EQ(k.extra2[entry], nullptr);
      EXPECT_EQ(k.low_life[entry].obj, nullptr);
      EXPECT_EQ(Battle().anm_pool.in_use, before);
    }
  }
}

TEST(TwoObjectStand, LowLifeObjectAtAFifthOfLifeAndAgainAtOnceWhenReady) {
  Families f;
  struct Case {
    int16_t life;
    uint32_t flags;
    uint8_t state;
    bool shown;
  };
  const Case cases[] = {
      {20, 0, 0, true}, {21, 0, 0, false}, {5, 0x8, 0, false}, {1, 0, 8, true}};
  std::vector<uint8_t> slots;
  int column = 2;
  for (const Case& c : cases) {
    const uint8_t slot = f.Enemy(column, 10, 23);
    column += 2;
    f.U(slot).stats.life = c.life;
    f.U(slot).flags |= c.flags;
    SetUnitState(f.U(slot), c.state);
    slots.push_back(slot);
  }
  f.Frame();
  for (size_t i = 0; i < slots.size(); ++i) {
    const SlgUnit& u = f.U(slots[i]);
    const SlgLowLifeRecord& r = Battle().kind_states.low_life[u.entry];
    EXPECT_EQ(r.obj != nullptr, cases[i].shown) << "life " << cases[i].life;
    if (r.obj != nullptr) {
      EXPECT_EQ(r.obj->depth, u.anm->depth - 1);
    }
  }
  // No System.Tab here: the effect counts as ended and waits; in state 8 it waits no frame.
  f.Frame();
  const SlgLowLifeRecord& ready = Battle().kind_states.low_life[f.U(slots[3]).entry];
  EXPECT_EQ(ready.step, 2u);
  EXPECT_EQ(ready.wait, 0u);
  f.Frame();
  f.Frame();
  EXPECT_EQ(ready.step, 1u) << "rebuilt at once";
  EXPECT_EQ(Battle().kind_states.low_life[f.U(slots[0]).entry].wait % 16, 0u);

  // Leaving the stand frees it.
  SetUnitState(f.U(slots[3]), kUnitStateWalk);
  f.Frame();
  EXPECT_EQ(ready.obj, nullptr);
}

// ---- Samurai and Satan ----

int g_satan_calls = 0;
void SatanStub(SlgUnit& unit, SlgPair& /*pos*/) {
  ++g_satan_calls;
  SetUnitState(unit, 7);
}

TEST(SamuraiAndSatan, LeadInFlagsEndByFlag107AndTheSatanEntry) {
  Families f;
  const uint8_t samurai = f.Enemy(2, 10, 22);
  f.U(samurai).flags |= kUnitStateStart;
  Battle().kind_states.samurai_attack = 3;
  f.Frame();
  EXPECT_EQ(Battle().kind_states.samurai_attack, 0u);
  SetUnitState(f.U(samurai), 5);
  Slg::UpdateUnit(f.U(samurai));
  EXPECT_EQ(CheckEventFlag(kSlgFlagSamuraiLeadIn), 1);
  EXPECT_EQ(CheckEventFlag(kSlgFlagBossBackToStand), 1);

  ClearEventFlag(kSlgFlagSamuraiFalls);
  SetUnitState(f.U(samurai), kUnitStateDefeated);
  f.Frame();
  EXPECT_EQ(f.U(samurai).state, kUnitStateStand) << "kept before flag 107";
  SetEventFlag(kSlgFlagSamuraiFalls);
  SetUnitState(f.U(samurai), kUnitStateDefeated);
  for (int i = 0; i < 200 && f.U(samurai).step != kSlgDeadStep; ++i) f.Frame();
  EXPECT_EQ(f.U(samurai).step, kSlgDeadStep) << "falls once flag 107 is set";

  const uint8_t satan = f.Enemy(4, 10, 33);
  SetUnitState(f.U(satan), 6);
  {
    TraceCapture trace;
    f.Frame();  // no entry installed: the attack ends at once rather than waiting for ever
    EXPECT_EQ(f.U(satan).state, 7);
    EXPECT_TRUE(trace.Contains("SatanAttackEntry: kind 33 has no attack routine"));
  }
  SetUnitState(f.U(satan), 6);
  Battle().satan_action = &SatanStub;
  g_satan_calls = 0;
  f.Frame();
  EXPECT_EQ(g_satan_calls, 1);
  EXPECT_EQ(f.U(satan).state, 7);
}

// ---- Boss exits ----

// Runs frames until `done` or the limit; the number of frames run.
template <typename Done>
int RunFor(Families& f, int limit, Done done) {
  int n = 0;
  for (; n < limit && !done(); ++n) f.Frame();
  return n;
}

TEST(BossExit, Amateras2WithFlag150StaysOnTheMap) {
  Families f;
  const uint8_t slot = f.Enemy(3, 10, 27);
  SetEventFlag(kSlgFlagAmateras2Stays);
  SetUnitState(f.U(slot), kUnitStateDefeated);
  for (int i = 0; i < 20; ++i) f.Frame();
  EXPECT_EQ(f.U(slot).state, kUnitStateStand);
  EXPECT_NE(f.U(slot).step, kSlgDeadStep);
  EXPECT_EQ(CheckEventFlag(kSlgFlagBossGone), 0);
}

// Two bosses defeated together with no animation sets at all: each waits its 301 frames; two
// of one sequence run it one after the other (the second holds in step 2 until the first has
// given its block back), two of different sequences side by side; flag 198 comes only with a
// dead slot, and nothing is left allocated.
TEST(BossExit, TwoBossesDefeatedTogether) {
  struct Case {
    uint8_t a, b;
    bool one_after_the_other;
  };
  for (const Case c : {Case{28, 29, true}, Case{23, 26, true}, Case{24, 30, false}}) {
    SCOPED_TRACE(testing::Message() << int{c.a} << " and " << int{c.b});
    Families f({.sets = false});
    const int64_t live = Battle().alloc.live;
    const uint8_t a = f.Enemy(3, 10, c.a);
    const uint8_t b = f.Enemy(6, 10, c.b);
    SetUnitState(f.U(a), kUnitStateDefeated);
    SetUnitState(f.U(b), kUnitStateDefeated);
    int a_started = -1, b_started = -1, a_dead = -1, b_dead = -1;
    bool flag_before_dead = false;
    for (int i = 0; i < 3000 && (a_dead < 0 || b_dead < 0); ++i) {
      f.Frame();
      const auto note = [&](uint8_t s, int& started, int& dead) {
        const SlgUnit& u = f.U(s);
        if (started < 0 && u.step > 2 && u.step != kSlgDeadStep) started = i;
        if (dead < 0 && u.step == kSlgDeadStep) dead = i;
      };
      note(a, a_started, a_dead);
      note(b, b_started, b_dead);
      if (CheckEventFlag(kSlgFlagBossGone) != 0 && a_dead < 0 && b_dead < 0)
        flag_before_dead = true;
    }
    ASSERT_GE(a_dead, 0);
    ASSERT_GE(b_dead, 0);
    EXPECT_GE(a_started, 300) << "waited its 301 frames";
    EXPECT_GE(b_started, 300);
    if (c.one_after_the_other) {
      EXPECT_GE(b_started, a_dead) << "the second goes on once the first gave its block back";
    } else {
      EXPECT_LT(b_started, a_dead) << "side by side";
    }
    EXPECT_FALSE(flag_before_dead);
    EXPECT_EQ(CheckEventFlag(kSlgFlagBossGone), 1);
    EXPECT_EQ(Battle().kind_states.exit_a, nullptr);
    EXPECT_EQ(Battle().kind_states.exit_b, nullptr);
    EXPECT_EQ(Battle().alloc.live, live);
  }
}

// A battle that ends in the middle of an exit gives the running sequences' blocks back (the
// leak check of the test run sees any left).
TEST(BossExit, BattleEndingMidSequenceFreesTheBlocks) {
  Families f({.dead_effect = true});
  const uint8_t a = f.Enemy(3, 10, 23);
  const uint8_t b = f.Enemy(6, 10, 28);
  SetUnitState(f.U(a), kUnitStateDefeated);
  SetUnitState(f.U(b), kUnitStateDefeated);
  RunFor(f, 400, [&] { return f.U(a).step >= 5 && f.U(b).step >= 4; });
  EXPECT_NE(Battle().kind_states.exit_a, nullptr);
  EXPECT_NE(Battle().kind_states.exit_b, nullptr);
  FreeBossExitWork(true);
  EXPECT_EQ(Battle().kind_states.exit_a, nullptr);
  EXPECT_EQ(Battle().kind_states.exit_b, nullptr);
  EXPECT_EQ(Battle().alloc.live, 0);
}

TEST(BossExit, NoWorkBlockEndsTheSequenceAtOnce) {
  for (uint8_t kind : {23, 28}) {
    SCOPED_TRACE(int{kind});
    Families f;
    const uint8_t slot = f.Enemy(3, 10, kind);
    SetUnitState(f.U(slot), kUnitStateDefeated);
    Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
    const int n = RunFor(f, 400, [&] { return f.U(slot).step == kSlgDeadStep; });
    EXPECT_LE(n, 310);
    EXPECT_EQ(f.U(slot).step, kSlgDeadStep);
    EXPECT_EQ(CheckEventFlag(kSlgFlagBossGone), 1);
    Battle().alloc.refuse = nullptr;
  }
}

// The messages the events were asked to show, as (face, message); each is still showing on its
// first call.
std::vector<std::pair<int, int>> g_no_wait_calls;
int RecordNoWait(int face, int message) {
  const bool again = !g_no_wait_calls.empty() && g_no_wait_calls.back() == std::pair{face, message};
  g_no_wait_calls.emplace_back(face, message);
  return again ? 1 : 0;
}

// Soukaku through UnitStateSeqA with a small DEAD_EFFECT set: the sparkle sound, the defeat
// messages of the map's row in order (each with its row's parameter as the face, until the
// events report it closed), four more sounds, the white fades, the end.
TEST(BossExit, SeqASoundsMessagesFadesAndEnd) {
  struct Case {
    uint32_t map;
    std::vector<std::string> messages;
  };
  for (const Case& c : {Case{3, {"message 100 1", "message 101 2"}}, Case{40, {}}}) {
    SCOPED_TRACE(c.map);
    Families f({.dead_effect = true});
    GetSystemData()->setBattleMap(c.map);
    SlgDefeatRow& row = Battle().kind_states.defeat_messages[3];
    row[0] = {100, 1};
    row[1] = {101, 2};
    g_no_wait_calls.clear();
    InstallEventEntry(Battle().events, &SlgEventEntries::event_message_no_wait, &RecordNoWait,
                      "event_message_no_wait");
    const int64_t live = Battle().alloc.live;
    const uint8_t slot = f.Enemy(3, 10, 23);
    f.U(slot).flags |= kUnitStateStart;
    f.Frame();
    TraceCapture trace;
    SetUnitState(f.U(slot), kUnitStateDefeated);
    bool white_out_seen = false;
    const int n = RunFor(f, 2000, [&] {
      if (f.U(slot).step == 9 && SlgIsFadeEnd() == 0) white_out_seen = true;
      return f.U(slot).step == kSlgDeadStep;
    });
    EXPECT_LT(n, 2000);
    EXPECT_TRUE(white_out_seen);
    std::vector<std::string> expected = {"SeNo 134"};
    for (const std::string& m : c.messages) expected.push_back(m);
    for (int i = 0; i < 4; ++i) expected.push_back("SeNo 134");
    EXPECT_EQ(Picked(trace, {"SeNo 134", "message 100 1", "message 101 2"}), expected);
    if (!c.messages.empty()) {
      EXPECT_EQ(g_no_wait_calls,
                (std::vector<std::pair<int, int>>{{1, 100}, {1, 100}, {2, 101}, {2, 101}}));
    } else {
      EXPECT_TRUE(g_no_wait_calls.empty());
    }
    EXPECT_EQ(CheckEventFlag(kSlgFlagBossGone), 1);
    EXPECT_EQ(Battle().kind_states.exit_a, nullptr);
    EXPECT_EQ(Battle().alloc.live, live);
  }
  // Past the table there is no row.
  BattleRig rig;
  EXPECT_EQ(SlgDefeatRowOf(27), nullptr);
  EXPECT_EQ(SlgDefeatRowOf(-1), nullptr);
  EXPECT_NE(SlgDefeatRowOf(26), nullptr);
}

// Kind 28 through UnitStateSeqB with a small DEAD_EFFECT set: the first effect until it loops,
// the white flashes (a frame of them kept), SE 405, the body gone, then the dead slot and flag
// 198.
TEST(BossExit, SeqBFlashesSoundAndEnd) {
  Families f({.dead_effect = true});
  const int64_t live = Battle().alloc.live;
  const uint8_t slot = f.Enemy(5, 12, 28);
  f.U(slot).flags |= kUnitStateStart;
  f.Frame();
  TraceCapture trace;
  SetUnitState(f.U(slot), kUnitStateDefeated);
  const uint32_t empty = f.rig.PixelAt(20, 20);
  bool flash_seen = false, body_gone = false;
  uint32_t brightest = empty & 0xFF;
  std::vector<uint32_t> steps;
  const int n = RunFor(f, 2000, [&] {
    const SlgUnit& u = f.U(slot);
    if (steps.empty() || steps.back() != u.step) steps.push_back(u.step);
    if (u.step == 7 && f.rig.PixelAt(20, 20) != empty) {
      flash_seen = true;
      // The whitest frame of the flash is kept for a person to look at.
      if ((f.rig.PixelAt(20, 20) & 0xFF) > brightest) {
        brightest = f.rig.PixelAt(20, 20) & 0xFF;
        f.rig.SaveFrame("boss_exit_b_flash");
      }
    }
    if (u.step == 10 && u.anm != nullptr && u.anm->handle == nullptr) body_gone = true;
    return u.step == kSlgDeadStep;
  });
  EXPECT_LT(n, 2000);
  EXPECT_TRUE(flash_seen) << "the screen flashes white";
  EXPECT_TRUE(body_gone);
  EXPECT_EQ(steps, (std::vector<uint32_t>{0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, kSlgDeadStep}));
  EXPECT_EQ(Picked(trace, {"SeNo 405"}), std::vector<std::string>{"SeNo 405"});
  EXPECT_EQ(CheckEventFlag(kSlgFlagBossGone), 1);
  EXPECT_EQ(Battle().alloc.live, live);
}

// A headless kind-28 unit on the board walks two cells, stands, is hit (back in state 0 with
// flag 199), is defeated and leaves through its exit.
TEST(BossRoad, WalksIsHitIsDefeatedAndLeaves) {
  Families f({.dead_effect = true});
  const SlgRangePos c0 = testsupport::CellPos(2, 8);
  const SlgRangePos goal = {static_cast<int16_t>(c0.x + 96), static_cast<int16_t>(c0.y + 48)};
  const uint8_t slot = f.Enemy(2, 8, 28, 1);
  const uint8_t attacker = f.Add(8, 20, {.side = 0, .character = 3, .kind = 0});
  SlgUnit& u = f.U(slot);
  u.flags |= kUnitStateStart;
  f.Frame();
  Battle().state.acting_unit = slot;
  Slg::MoveSearch(u.character, c0, 4);
  ASSERT_EQ(Slg::BuildPath(u, goal.x, goal.y), 1);
  const std::vector<int> seen = unit_state_moves::WalkRoad(u, 300, [&f] { f.rig.Step(); });
  EXPECT_EQ(seen, (std::vector<int>{3, 1, 4, 8})) << "its walk stop is the two-object walk end";
  EXPECT_EQ(u.x, goal.x * 0x10000);
  EXPECT_EQ(u.y, goal.y * 0x10000);

  f.U(attacker).stats.attack_type = 0;
  u.stats.attack_type = attacker;
  u.reaction_over() = 0;
  SetUnitState(u, kUnitStateHit);
  for (int i = 0; i < 5; ++i) f.Frame();
  u.flags |= kUnitHitNow;
  f.Frame();
  EXPECT_EQ(u.flags & kUnitHitNow, 0u);
  EXPECT_EQ(u.anm->pattern, 12) << "hit facing 1";
  u.reaction_over() = 1;
  f.Frame();
  EXPECT_EQ(u.state, kUnitStateStand);
  EXPECT_EQ(CheckEventFlag(kSlgFlagBossBackToStand), 1);

  u.stats.life = 0;
  SetUnitState(u, kUnitStateDefeated);
  RunFor(f, 2000, [&] { return u.step == kSlgDeadStep; });
  EXPECT_EQ(u.step, kSlgDeadStep);
  EXPECT_EQ(u.anm, nullptr);
  EXPECT_EQ(CheckEventFlag(kSlgFlagBossGone), 1);
}

}  // namespace
