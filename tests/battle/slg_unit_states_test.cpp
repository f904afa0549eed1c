// Unit categories and state handlers: the dispatch by category, kind and state (bad indexes
// included), the walk road with a height change and its stop effect, the scripted walk, the
// support states, the teleporting heroine as a player and as a guest, the stands and their idle
// effect, kinds 34 and 35, the attack entries, and a run twice for determinism.

#include "battle/slg_unit_states.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_command_state.h"
#include "battle/slg_commands.h"
#include "battle/slg_damage.h"
#include "battle/slg_death.h"
#include "battle/slg_effect_calls.h"
#include "battle/slg_events.h"
#include "battle/slg_gauge.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_search.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/random.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"
#include "testsupport/unit_sets.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::CellPos;
using testsupport::OnCell;

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::CellWord;
using testsupport::TraceCapture;
using testsupport::UnitAnmWriter;

constexpr int32_t kPx = 0x10000;

SlgRangePos Next(SlgRangePos p) {  // one cell right-down (direction 1)
  return {static_cast<int16_t>(p.x + 48), static_cast<int16_t>(p.y + 24)};
}

// The tables filled, the unit sets of kinds 0, 4 (with its teleport slots), 14, 34 and 35, the
// system sprites and the drawing layer set on a rig; the main task's unit pass is run by hand.
class States {
 public:
  explicit States(BattleRig& r) : rig(r), board(r.battle()) {
    testsupport::LoadUnitSets(rig.driver().tree, {0, 4, 14, 34, 35});
  }
  uint8_t Add(const BoardUnit& u) {
    const uint8_t slot = board.AddUnit(u);
    Slg::PlaceUnit(U(slot));
    return slot;
  }
  SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  // The main task's pass: every live shown unit once.
  static void UpdateAll() { unit_state_moves::UpdateShownUnits(); }
  void Frame() {
    rig.Step();
    UpdateAll();
  }
  // The colour the frame shows for a COLORREF in the rig's layout.
  uint32_t Shown(uint32_t c) const {
    const platform::PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(c, layout), layout);
  }
  // The pixel in the middle of a unit body standing on a map position (snapped, lift l px).
  uint32_t BodyPixelAt(SlgRangePos p, int lift) const {
    return rig.PixelAt(p.x + 2, p.y + 24 - lift - 12);
  }

  BattleRig& rig;
  BattleBoard board;
};

int g_stub_calls = 0;
void StubRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  ++g_stub_calls;
  EndAttack(unit);
}

// ---- Dispatch ----

TEST(UnitStateTables, CategoriesKindsAndOverrides) {
  BattleRig rig;
  States s(rig);
  const SlgBattleState& st = Battle().state;
  EXPECT_EQ(st.category_update[0], &UpdatePlayerUnit);
  EXPECT_EQ(st.category_update[1], &UpdateUnitByKind);
  EXPECT_EQ(st.category_update[2], &UpdateUnitByKind);
  EXPECT_EQ(st.category_update[3], &SlgEventAnmUpdate);
  EXPECT_EQ(st.category_update[4], &UpdateUnitByKind);

  struct Slot {
    int kind, state;
    SlgStateHandler handler;
  };
  const Slot player[] = {
      {0, 0, &PlayerStand},    {13, 2, &PlayerWalkEnd},      {6, 6, &Slg::AttackState},
      {0, 14, nullptr},        {7, 14, nullptr},             {1, 14, nullptr},
      {2, 9, &UnitDamagedDefault}, {2, 15, &ActPlayerDead},   {3, 19, &Slg::CombinationState},
      {0, 9, &UnitDamagedDefault}, {13, 15, &ActPlayerDead},
      {3, 20, &UnitStateNone}, {9, 21, &PlayerTeleportAppear}, {5, 1, &UnitWalk},
      {4, 1, &UnitStateNone},  {11, 1, &UnitStateNone},      {4, 3, &PlayerTeleportOut},
      {11, 4, &PlayerTeleportIn}, {10, 3, &UnitWalkStart},   {12, 4, &UnitWalkStop},
  };
  for (const Slot& c : player)
    EXPECT_EQ(Battle().unit_states.player[static_cast<size_t>(c.kind * 24 + c.state)], c.handler)
        << "kind " << c.kind << " state " << c.state;

  EXPECT_EQ(SlgKindUpdate(4), &ActYsolGuest);
  for (int k : {14, 15, 16}) EXPECT_EQ(SlgKindUpdate(k), &ActUnitCommon) << k;
  EXPECT_EQ(SlgKindUpdate(34), &ActBenibachiUnit);
  EXPECT_EQ(SlgKindUpdate(35), &ActKonoeUnit);
  for (int k : {0, 13, 36, 37, 52, 255}) EXPECT_EQ(SlgKindUpdate(k), nullptr) << k;
  EXPECT_EQ(SlgDefaultStateHandler(0), &UnitStand);
  EXPECT_EQ(SlgDefaultStateHandler(2), &UnitWalkEnd);
  EXPECT_EQ(SlgDefaultStateHandler(5), &AttackStateLeadIn);
  EXPECT_EQ(SlgDefaultStateHandler(7), &AttackStateEnd);
  EXPECT_EQ(SlgDefaultStateHandler(9), &UnitDamagedDefault);
  EXPECT_EQ(SlgDefaultStateHandler(15), &ActWakijiDead);
  for (int st9 : {14, 16, 255}) EXPECT_EQ(SlgDefaultStateHandler(st9), nullptr) << st9;
}

// Each unit starts in state 3 (walk start: a handler that sets 1) or another state, gets two
// updates, and either ran its handler or kept its state; bad indexes are traced once.
TEST(UnitStateDispatch, ByCategoryAndStateWithBadIndexesEmpty) {
  BattleRig rig;
  States s(rig);
  struct Case {
    const char* what;
    uint8_t kind, category, state, after;
    int traces;
  };
  const Case cases[] = {
      {"player table", 1, 0, 3, 1, 0},
      {"kind table, category 1", 14, 1, 3, 1, 0},
      {"kind table, category 2", 15, 2, 3, 1, 0},
      {"kind table, category 4", 16, 4, 3, 1, 0},
      {"event update", 14, 3, 3, 3, 0},
      {"kind without an update", 36, 1, 3, 3, 0},
      {"empty slot of the teleporting kinds", 4, 0, 1, 1, 0},
      {"empty player slot", 2, 0, 9, 9, 0},
      {"player state 30", 1, 0, 30, 30, 1},
      {"enemy state 20", 14, 1, 20, 20, 1},
      {"category 0 of kind 20", 20, 0, 3, 3, 1},
      {"category 0 of kind 14", 14, 0, 3, 3, 1},
  };
  std::vector<uint8_t> slots;
  for (const Case& c : cases) {
    const int n = static_cast<int>(slots.size());
    slots.push_back(s.Add(OnCell(1 + n % 8, 6 + 2 * (n / 8),
                             {.side = 1, .character = 20, .kind = c.kind,
                              .category = c.category})));
    SetUnitState(s.U(slots.back()), c.state);
  }
  TraceCapture trace;
  for (int pass = 0; pass < 2; ++pass) {
    for (uint8_t slot : slots) Slg::UpdateUnit(s.U(slot));
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const SlgUnit& u = s.U(slots[i]);
    EXPECT_EQ(u.state, c.after) << c.what;
    const std::string text = "kind " + std::to_string(c.kind) + " state " +
                             std::to_string(c.state) + " has no slot (unit " +
                             std::to_string(slots[i]) + ")";
    EXPECT_EQ(trace.Count(text), c.traces) << c.what;
  }

  // A category above 4 (which events could set) has no update at all.
  SlgUnit& odd = s.U(slots[1]);
  SetUnitState(odd, 3);
  odd.category = 5;
  Slg::UpdateUnit(odd);
  EXPECT_EQ(odd.state, 3);
  odd.category = 255;
  Slg::UpdateUnit(odd);
  EXPECT_EQ(odd.state, 3);
}

// ---- The walk ----

// What the move command does (for units it does not move here), by hand: state 3, the walk each frame, state 4 on arrival; the
// states the unit passes through, in order (one entry per change).
std::vector<int> WalkRoad(States& s, uint8_t slot, int limit) {
  return unit_state_moves::WalkRoad(s.U(slot), limit, [&s] { s.rig.Step(); });
}

// A hero at (2, 8) facing 1, the path three cells right-down, the last two one level up.
struct RoadBoard {
  explicit RoadBoard(States& s, BoardUnit unit = {.kind = 0}) {
    c0 = CellPos(2, 8);
    c1 = Next(c0);
    c2 = Next(c1);
    c3 = Next(c2);
    for (SlgRangePos p : {c2, c3}) {
      const SlgCell c = PosToCell(p.x, p.y);
      s.board.SetCell(c.column, c.row, CellWord(1));
    }
    unit.facing = 1;
    slot = s.Add(OnCell(2, 8, unit));
    Battle().state.acting_unit = slot;
    Slg::MoveSearch(s.U(slot).character, c0, 4);
  }
  uint8_t slot = 0;
  SlgRangePos c0, c1, c2, c3;
};

// The move command takes the hero to the raised goal: OK on the goal's cell, then the command and
// the unit pass once a frame until he stands ready.
TEST(UnitStateWalk, MoveCommandHeightChangeStopEffectAndReady) {
  BattleRig rig;
  States s(rig);
  RoadBoard road(s);
  SlgUnit& u = s.U(road.slot);
  u.stats.total_move = 4;
  Battle().search.move_dest = {};
  const auto move = [&] { return Slg::CmdMove(u); };
  s.rig.Step();
  ASSERT_EQ(move(), kSlgCmdRunning);
  const SlgCell goal = PosToCell(road.c3.x, road.c3.y);
  Battle().state.cursor_cell = {static_cast<int16_t>(goal.column), static_cast<int16_t>(goal.row)};
  Battle().state.cursor_snap = {road.c3.x, road.c3.y};
  s.rig.Schedule({testsupport::GameKeyDown(s.rig.frame(), kGameKey0)});
  s.rig.Step();
  ASSERT_EQ(move(), kSlgCmdRunning);
  s.rig.Schedule({testsupport::GameKeyUp(s.rig.frame(), kGameKey0)});
  ASSERT_EQ(u.state, kUnitStateWalkStart) << "the goal was accepted";
  std::vector<int> seen = {u.state};
  const auto note = [&] {
    if (seen.back() != u.state) seen.push_back(u.state);
  };
  for (int f = 0; f < 200 && Battle().phase_sub != 4; ++f) {
    s.rig.Step();
    move();
    note();
    s.UpdateAll();
    note();
  }
  EXPECT_EQ(Battle().phase_sub, 4u) << "the command waits for the confirmation";
  EXPECT_EQ(seen, (std::vector<int>{3, 1, 10, 1, 4, 2, 8}));
  EXPECT_EQ(u.x, road.c3.x * kPx);
  EXPECT_EQ(u.y, road.c3.y * kPx);
  EXPECT_EQ(u.lift, 48 * kPx);
  EXPECT_EQ(u.anm->pattern, 2) << "stands facing 1";
  EXPECT_EQ(Ctx().game_task.FindTask("CtrlStopEffect0"), nullptr) << "the stop effect has ended";

  s.rig.Step();
  s.rig.SaveFrame("unit_states_walk_end");
  EXPECT_EQ(s.BodyPixelAt(road.c3, 48), s.Shown(UnitAnmWriter::ColourRef(0, 2)))
      << "drawn standing on the raised goal";
  EXPECT_NE(s.BodyPixelAt(road.c0, 0), s.Shown(UnitAnmWriter::ColourRef(0, 2)))
      << "gone from the start";
}

TEST(UnitStateWalk, ScriptedWalkSkipsTheWalkEndAndRunsFast) {
  BattleRig rig;
  States s(rig);
  RoadBoard road(s, {.side = 1, .character = 20, .kind = 14, .category = 1});
  SlgUnit& u = s.U(road.slot);
  ASSERT_EQ(Slg::BuildPath(u, road.c3.x, road.c3.y), 1);
  Battle().route_walking = 1;
  // Watch the walk animation's speed while the unit walks.
  std::vector<uint32_t> speeds;
  const std::vector<int> seen = unit_state_moves::WalkRoad(u, 200, [&s] { s.rig.Step(); }, [&] {
    if (u.state == kUnitStateWalk && u.anm->state == 1) {
      SpxAnimeBlock* block = Scene().tamvik_spr.spx()->Block(u.anm->handle);
      ASSERT_NE(block, nullptr);
      speeds.push_back(block->speed);
    }
  });
  EXPECT_EQ(seen, (std::vector<int>{3, 1, 10, 1, 4, 8}));
  ASSERT_FALSE(speeds.empty());
  for (uint32_t v : speeds) EXPECT_EQ(v, kSlgFastWalkSpeed);
}

// ---- Support states ----

TEST(UnitStateSupport, EffectGaugeActionAndEndState) {
  struct Case {
    uint8_t state, end;
    bool gauge;
  };
  for (const Case c : {Case{11, 8, true}, Case{12, 0, true}, Case{13, 8, false}}) {
    SCOPED_TRACE(testing::Message() << "state " << int{c.state});
    BattleRig rig;
    States s(rig);
    const uint8_t slot = s.Add(OnCell(3, 10, {.kind = 0}));
    SlgUnit& u = s.U(slot);
    u.stats.kiai = 10;
    u.stats.max_kiai = 100;
    u.stats.life = 40;
    u.stats.max_life = 60;
    u.stats.recovery = 15;
    u.stats.attack_type = slot;  // the healer of a recovery: itself
    const int kiai_after = std::min(100, 10 + DGaugeKiaiRefill(u));
    SetUnitState(u, c.state);
    bool gauge_seen = false;
    int frames = 0;
    for (; frames < 300 && u.state == c.state; ++frames) {
      s.Frame();
      for (int g = 0; g < kDGaugeSlots; ++g) {
        if (DGaugeRunning(g) == 0) continue;
        gauge_seen = true;
        EXPECT_EQ(Battle().gauges[static_cast<size_t>(g)]->form, 2);
        if (u.state == c.state) {  // the action waits for the gauge
          EXPECT_EQ(u.stats.kiai, 10);
          EXPECT_EQ(u.stats.life, 40);
        }
      }
    }
    EXPECT_EQ(u.state, c.end) << "after " << frames << " frames";
    EXPECT_EQ(gauge_seen, c.gauge);
    EXPECT_EQ(u.stats.kiai, c.state == 11 ? kiai_after : 10);
    EXPECT_EQ(u.stats.life, c.state == 12 ? 55 : 40);
  }
}

// ---- The teleporting heroine ----

TEST(UnitStateTeleport, HiddenWhileMovingShownAtTheGoalThenReady) {
  for (uint8_t category : {0, 4}) {
    SCOPED_TRACE(testing::Message() << "category " << int{category});
    BattleRig rig;
    States s(rig);
    RoadBoard road(s, {.character = kSlgTeleportCharacter, .kind = 4, .category = category});
    SlgUnit& u = s.U(road.slot);
    if (category != 0) {
      u.flags |= kUnitStateStart;  // the guest makes its body on its first update
      s.Frame();
      ASSERT_NE(u.anm, nullptr);
      EXPECT_EQ(u.flags & kUnitStateStart, 0u);
    }
    s.Frame();
    // Let the idle effect (in front of the body) end.
    for (int f = 0; f < 60 && Battle().unit_states.idle[kSlgTeleportCharacter].step != 2; ++f)
      s.Frame();
    s.rig.Step();
    const uint32_t body = s.Shown(UnitAnmWriter::ColourRef(0, 2));
    ASSERT_EQ(s.BodyPixelAt(road.c0, 0), body) << "standing at the start";

    Battle().search.path_count = 0;
    Battle().search.move_dest = road.c3;
    SetUnitState(u, kUnitStateWalkStart);
    std::vector<int> seen = {u.state};
    bool walking = true;
    bool pair_seen = false;
    int32_t last_x = u.x;
    for (int f = 0; f < 200 && (walking || u.state != kUnitStateReady); ++f) {
      s.rig.Step();
      // The frame shows the previous pass: while the unit walks unseen and arrives, its body
      // is drawn neither at the start nor at the goal.
      const bool at_start = s.BodyPixelAt(road.c0, 0) == body;
      const bool at_goal = s.BodyPixelAt(road.c3, 48) == body;
      if (u.state == kUnitStateWalk || u.state == kUnitStateWalkStop) {
        EXPECT_FALSE(at_start) << "frame " << f;
        EXPECT_FALSE(at_goal) << "frame " << f;
      }
      if (s.BodyPixelAt(road.c0, 0) == s.Shown(UnitAnmWriter::ColourRef(19, 2))) pair_seen = true;
      if (walking && Slg::WalkPath(u) == 1) {
        SetUnitState(u, kUnitStateWalkStop);
        walking = false;
      }
      if (u.x != last_x) {
        EXPECT_TRUE(u.state == kUnitStateWalk || u.state == kUnitStateWalkStop) << "moves unseen";
        last_x = u.x;
      }
      s.UpdateAll();
      if (seen.back() != u.state) seen.push_back(u.state);
    }
    EXPECT_EQ(seen, (std::vector<int>{3, 1, 4, 2, 8}));
    EXPECT_TRUE(pair_seen) << "the teleport pair played at the start";
    EXPECT_EQ(Battle().unit_states.teleport[kSlgTeleportCharacter].body, nullptr);
    s.rig.Step();
    EXPECT_EQ(s.BodyPixelAt(road.c3, 48), body) << "shown at the goal";
    EXPECT_NE(s.BodyPixelAt(road.c0, 0), body);
  }
}

TEST(UnitStateTeleport, AppearancePairWaitAndDeparture) {
  BattleRig rig;
  States s(rig);
  const uint8_t slot = s.Add(OnCell(3, 10, {.character = kSlgTeleportCharacter, .kind = 4}));
  SlgUnit& u = s.U(slot);
  SetUnitState(u, kUnitStateTeleportAppear);
  s.Frame();
  const SlgTeleportPair first = Battle().unit_states.teleport[kSlgTeleportCharacter];
  ASSERT_NE(first.body, nullptr);
  EXPECT_EQ(first.effect->depth, first.body->depth - 1);
  EXPECT_EQ(first.effect->attr, 16);
  EXPECT_EQ(first.body->attr, 0);
  int waited_from = -1;
  int departure = -1;
  for (int f = 1; f < 200 && u.state == kUnitStateTeleportAppear; ++f) {
    s.Frame();
    if (waited_from < 0 && u.anm->state == 2) waited_from = f;
    if (departure < 0 && u.anm->state == 4) departure = f;
  }
  EXPECT_EQ(u.state, kUnitStateWalkEnd);
  ASSERT_GT(waited_from, 0);
  EXPECT_GE(departure - waited_from, 60);
  EXPECT_LE(departure - waited_from, 62);
  EXPECT_EQ(Battle().unit_states.teleport[kSlgTeleportCharacter].effect, nullptr);
}

// ---- Stands ----

TEST(UnitStateStand, WaitElapsesAndReplaysWithANewWaitAndTheFreezeHoldsIt) {
  BattleRig rig;
  States s(rig);
  const uint8_t slot = s.Add(OnCell(3, 10, {.side = 1, .character = 20, .kind = 14, .category = 1}));
  SlgUnit& u = s.U(slot);
  s.Frame();
  ASSERT_EQ(u.anm->state, 1);
  EXPECT_EQ(u.anm->pattern, 3) << "stand pattern facing 0";
  for (int replays = 0; replays < 3; ++replays) {
    const uint32_t start = u.anm->word;
    const int wait = u.anm->wait;
    EXPECT_LE(wait, 255);
    int f = 0;
    for (; f < 300; ++f) {
      s.rig.Step();
      GameRandom copy = Ctx().random;
      const int expected = (copy.Next() >> 4) & 255;
      const bool due = static_cast<int32_t>(s.rig.Now() - start) * 60 / 1000 >= wait;
      s.UpdateAll();
      if (due) {
        EXPECT_EQ(u.anm->word, s.rig.Now()) << "replayed when the wait was over";
        EXPECT_EQ(u.anm->wait, expected) << "a new wait from the generator";
        EXPECT_EQ(u.anm->mode, kSlgAnmOnce);
        break;
      }
      EXPECT_EQ(u.anm->word, start) << "not before";
    }
    EXPECT_LT(f, 300);
  }
  // Frozen: nothing replays however long the wait is over.
  u.flags |= kUnitStandFrozen;
  u.anm->wait = 2;
  const uint32_t start = u.anm->word;
  for (int f = 0; f < 8; ++f) s.Frame();
  EXPECT_EQ(u.anm->word, start);
  u.flags &= ~kUnitStandFrozen;
  s.Frame();
  EXPECT_EQ(u.anm->word, s.rig.Now());
}

TEST(UnitStateStand, PlayerIdleEffectWaitsMultiplesOf128AndNotInStateEight) {
  BattleRig rig;
  States s(rig);
  const uint8_t slot = s.Add(OnCell(3, 10, {.character = 2, .kind = 0, .facing = 1}));
  SlgUnit& u = s.U(slot);
  const SlgIdleRecord& r = Battle().unit_states.idle[2];
  s.Frame();
  ASSERT_NE(r.effect, nullptr);
  EXPECT_EQ(r.step, 1u);
  EXPECT_EQ(r.effect->depth, u.anm->depth - 1) << "one depth step in front of the body";
  EXPECT_EQ(r.effect->pattern, 2);
  EXPECT_EQ(r.effect->anims, u.anims[kUnitAnmBaseEffect]);
  for (int f = 0; f < 60 && r.step == 1; ++f) s.Frame();
  ASSERT_EQ(r.step, 2u);
  EXPECT_EQ(r.effect, nullptr) << "freed when it ended";
  EXPECT_EQ(r.wait % 128, 0u);
  EXPECT_LE(r.wait, 896u);

  // A wait of 128 frames: the next effect starts when it is over, not before.
  Battle().unit_states.idle[2].wait = 128;
  const uint32_t start = r.start;
  const auto since = [&] { return static_cast<int32_t>(s.rig.Now() - start) * 60 / 1000; };
  int32_t before = 0;
  for (int f = 0; f < 200 && r.step == 2; ++f) {
    before = since();
    s.Frame();
  }
  EXPECT_EQ(r.step, 0u);
  EXPECT_LT(before, 128);
  EXPECT_GE(since(), 128);
  s.Frame();
  EXPECT_NE(r.effect, nullptr);

  // In state 8 the wait is skipped.
  for (int f = 0; f < 60 && r.step != 2; ++f) s.Frame();
  ASSERT_EQ(r.step, 2u);
  Battle().unit_states.idle[2].wait = 896;
  u.state = kUnitStateReady;
  SlgPair pos = SlgMapToScreen(u);
  PlayerStand(u, pos);
  EXPECT_EQ(r.step, 0u);

  // A state start frees the record: the stand starts the next effect at once.
  SetUnitState(u, kUnitStateStand);
  SlgIdleRecord& record = Battle().unit_states.idle[2];
  record.step = 2;
  record.wait = 896;
  record.start = s.rig.Now();
  u.flags |= kUnitStateStart;
  UpdatePlayerUnit(u, pos);
  EXPECT_EQ(u.flags & kUnitStateStart, 0u);
  EXPECT_EQ(r.step, 1u);
  ASSERT_NE(r.effect, nullptr);

  // So does leaving the stand while the effect plays: no effect stays behind the walker.
  const int in_use = Battle().anm_pool.in_use;
  SetUnitState(u, kUnitStateWalkStart);
  UpdatePlayerUnit(u, pos);
  EXPECT_EQ(r.effect, nullptr);
  EXPECT_EQ(r.step, 0u);
  EXPECT_EQ(Battle().anm_pool.in_use, in_use - 1);
}

TEST(UnitStateKinds, BenibachiAndKonoeActAsTheDefaultKindsAndHideOnTheFlag) {
  for (uint8_t kind : {34, 35}) {
    SCOPED_TRACE(testing::Message() << "kind " << int{kind});
    BattleRig rig;
    States s(rig);
    const uint8_t slot =
        s.Add(OnCell(3, 10, {.side = 1, .character = 30, .kind = kind, .category = 1}));
    SlgUnit& u = s.U(slot);
    u.flags |= kUnitStateStart;
    s.Frame();
    EXPECT_EQ(u.flags & kUnitStateStart, 0u);
    ASSERT_NE(u.anm, nullptr);
    EXPECT_NE(u.anm->handle, nullptr);
    SetUnitState(u, kUnitStateWalkStart);
    s.Frame();
    EXPECT_EQ(u.state, kUnitStateWalk) << "the default table";
    SetUnitState(u, kUnitStateWalkEnd);
    s.Frame();
    EXPECT_EQ(u.state, kUnitStateReady);

    u.flags |= kUnitHideNext;
    s.Frame();
    EXPECT_EQ(u.flags & (kUnitHideNext | kUnitShown), 0u);
    // A one-frame entry elsewhere (the battle's cursors are drawn every frame) composes the frame.
    Slg::DrawUnitShadow({-300 * kPx, -200 * kPx});
    s.rig.Step();
    SpxAnimeBlock* block = Scene().tamvik_spr.spx()->Block(u.anm->handle);
    EXPECT_TRUE(block == nullptr || block->drawn == nullptr) << "nothing drawn";
    EXPECT_NE(s.BodyPixelAt(CellPos(3, 10), 0), s.Shown(UnitAnmWriter::ColourRef(0, 3)));
    const uint32_t before = u.anm->state;
    s.Frame();  // no longer shown: the pass leaves it alone
    EXPECT_EQ(u.anm->state, before);
  }
}

TEST(UnitStateShadow, DeadPlayersDrawNoShadowOthersDo) {
  BattleRig rig;
  States s(rig);
  const uint8_t hero = s.Add(OnCell(3, 10, {.kind = 0}));
  const uint8_t foe = s.Add(OnCell(5, 10, {.side = 1, .character = 20, .kind = 14, .category = 1}));
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  struct Case {
    uint8_t slot;
    uint32_t step;
    int shadows;
  };
  for (const Case c : {Case{hero, 0, 1}, Case{hero, kSlgDeadStep, 0}, Case{foe, 0, 1}}) {
    SlgUnit& u = s.U(c.slot);
    SetUnitState(u, 20);  // a slot with nothing to do (none in the enemies' table)
    u.step = c.step;
    const int before = sprites.FreeEntryCount();
    Slg::UpdateUnit(u);
    EXPECT_EQ(before - sprites.FreeEntryCount(), c.shadows) << "slot " << int{c.slot};
  }
}

// ---- The attack entries ----

TEST(UnitStateAttack, StateSixReachesTheRoutineAndTheEndReturnsToZero) {
  for (const BoardUnit who : {BoardUnit{.character = 1, .kind = 0},
                              BoardUnit{.side = 1, .character = 20, .kind = 14, .category = 1}}) {
    SCOPED_TRACE(testing::Message() << "kind " << int{who.kind});
    BattleRig rig;
    States s(rig);
    const uint8_t slot = s.Add(OnCell(3, 10, who));
    SlgUnit& u = s.U(slot);
    Battle().action_table[who.kind] = &StubRoutine;
    g_stub_calls = 0;
    SetUnitState(u, 5);
    std::vector<int> seen = {5};
    for (int f = 0; f < 200 && !(seen.size() > 1 && u.state == 0); ++f) {
      s.Frame();
      if (seen.back() != u.state) seen.push_back(u.state);
    }
    EXPECT_EQ(seen, (std::vector<int>{5, 6, 7, 0}));
    EXPECT_EQ(g_stub_calls, 1);
  }
}

// ---- The effect stand-ins ----

TEST(UnitEffectCalls, StopAndJumpStepTheBodyOnceAndTheStopEndsWhenTheUnitLeftState2) {
  BattleRig rig;
  States s(rig);
  const uint8_t slot = s.Add(OnCell(3, 10, {.kind = 0}));
  SlgUnit& u = s.U(slot);
  const std::string stop = "CtrlStopEffect" + std::to_string(u.entry);
  const std::string jump = "CtrlJumpEffect" + std::to_string(u.entry);

  SetUnitState(u, kUnitStateWalkEnd);
  u.anm->state = 1;
  ASSERT_EQ(CtrlStopEffect(u), 1);
  EXPECT_NE(Ctx().game_task.FindTask(stop.c_str()), nullptr);
  rig.Step();
  EXPECT_EQ(u.anm->state, 2);
  EXPECT_EQ(Ctx().game_task.FindTask(stop.c_str()), nullptr);

  ASSERT_EQ(CtrlStopEffect(u), 1);
  SetUnitState(u, kUnitStateReady);
  u.anm->state = 1;
  rig.Step();
  EXPECT_EQ(u.anm->state, 1) << "the unit had left state 2";
  EXPECT_EQ(Ctx().game_task.FindTask(stop.c_str()), nullptr);

  u.anm->state = 1;
  ASSERT_EQ(CtrlJumpEffect(u, 96 * kPx, 0, kSlgJumpGravity), 1);
  rig.Step();
  EXPECT_EQ(u.lift, 96 * kPx);
  EXPECT_EQ(u.anm->state, 2);
  EXPECT_EQ(Ctx().game_task.FindTask(jump.c_str()), nullptr);

  // A refused allocation: no task, the handler goes on by itself.
  Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
  EXPECT_EQ(CtrlStopEffect(u), 0);
  EXPECT_EQ(CtrlJumpEffect(u, 0, 0, kSlgJumpGravity), 0);
  Battle().alloc.refuse = nullptr;

  const SlgPair pos{};
  EXPECT_EQ(SlgFallEffect(u, pos), 0);
  EXPECT_EQ(SlgFallEffect2(u, pos), 0);
  EXPECT_EQ(SlgFlashEffect(u, pos), 0);
}

// ---- Determinism ----

TEST(UnitStateDeterminism, WalkAttackAndChargeRunTwiceAlike) {
  std::vector<std::vector<std::string>> traces;
  const auto scenario = [&](BattleRig& rig) {
    TraceCapture trace;
    States s(rig);
    RoadBoard road(s);
    SlgUnit& u = s.U(road.slot);
    if (Slg::BuildPath(u, road.c2.x, road.c2.y) != 1) return;
    WalkRoad(s, road.slot, 120);
    Battle().action_table[0] = &StubRoutine;
    SetUnitState(u, 5);
    for (int f = 0; f < 120 && u.state != 0; ++f) s.Frame();
    SetUnitState(u, kUnitStateSupportFall);
    for (int f = 0; f < 200 && u.state != kUnitStateReady; ++f) s.Frame();
    s.Frame();
    std::vector<std::string> lines;
    for (const auto& line : trace.lines()) lines.push_back(line.text);
    traces.push_back(lines);
  };
  EXPECT_TRUE(testsupport::RunBattleTwice(scenario));
  ASSERT_EQ(traces.size(), 2u);
  EXPECT_EQ(traces[0], traces[1]);
}

}  // namespace
