// The battle action task on the rig, with stub routines in the attack tables: the packed
// argument and the table it selects (the Satan forms, the combination table, empty rows, kinds
// outside the tables), the attacker and target by direction, the one-at-a-time rule, the end
// seen on the frame after the routine's and a fresh start after it (nothing of the first call
// left), the first-use preparation, the black screen of a special attack, kind 5's variant, and
// the refusal while a battle runs.

#include "battle/slg_action.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;

constexpr int32_t kPx = 0x10000;

// Which table's stub ran, and what it was handed.
enum Table { kNone = -1, kCore = 0, kSatan = 1, kGattai = 2 };
struct StubLog {
  int calls = 0;
  Table table = kNone;
  int kind = -1;
  int type = -1;
  const SlgUnit* unit = nullptr;
  const SlgPair* pos = nullptr;
  const SlgUnit* current_attacker = nullptr;
  int end_on_call = 1;  // the call on which the stub sets state 7
};
StubLog g_log;

void Record(Table table, SlgUnit& unit, SlgPair& pos) {
  ++g_log.calls;
  g_log.table = table;
  g_log.kind = unit.kind;
  g_log.type = unit.stats.attack_type;
  g_log.unit = &unit;
  g_log.pos = &pos;
  g_log.current_attacker = Battle().attacker;
  if (g_log.calls == g_log.end_on_call) SetUnitState(unit, 7);
}
void CoreStub(SlgUnit& unit, SlgPair& pos) { Record(kCore, unit, pos); }
void SatanStub(SlgUnit& unit, SlgPair& pos) { Record(kSatan, unit, pos); }
void GattaiStub(SlgUnit& unit, SlgPair& pos) { Record(kGattai, unit, pos); }

bool TaskRuns() { return Ctx().game_task.FindTask(kSlgActionTaskName) != nullptr; }

// A rig whose tables hold stubs where the game's tables hold routines: every kind but 36-47 and
// 51 in the core table (row 33 empty there), the Satan entry, the combination table but rows 0
// and 7. The text tables the first call loads are there, empty (a missing one closes the
// program).
class ActionRig {
 public:
  ActionRig() {
    SlgTableWriter().Lay(rig.driver().tree);
    BattleContext& b = Battle();
    for (int k = 0; k < kSlgActionRows; ++k) {
      const bool empty = (k >= 36 && k <= 47) || k == 51 || k == kSlgSatanKind;
      b.action_table[static_cast<size_t>(k)] = empty ? nullptr : &CoreStub;
    }
    b.satan_action = &SatanStub;
    for (int k = 0; k < kSlgGattaiRows; ++k)
      b.gattai_table[static_cast<size_t>(k)] = (k == 0 || k == 7) ? nullptr : &GattaiStub;
    g_log = {};
  }
  void Start(uint32_t kind, uint32_t type, uint32_t dir, int end_on_call = 1) {
    g_log = {};
    g_log.end_on_call = end_on_call;
    CTamvikSlgAct::Action(PackSlgAction(kind, type, dir));
  }
  // Runs until the task has ended; false beyond the limit.
  bool Finish(int limit = 8) {
    return rig.RunUntil("the action task ended", [] { return !TaskRuns(); }, limit);
  }
  SlgUnit& attacker() { return Battle().action.attacker; }
  SlgUnit& slot0() { return Battle().state.units[0]; }

  BattleRig rig;
};

TEST(SlgAction, TheArgumentSelectsTheTableAndTheRow) {
  ActionRig r;
  struct Case {
    uint32_t kind, type;
    Table table;      // the stub that runs; kNone: no task starts
    int played_kind;  // the kind the attacker is given
    int attack_kind;  // Battle().attack.attack_kind afterwards (9: left as it was)
    const char* trace;
  };
  const Case cases[] = {
      {1, 0, kCore, 1, 9, nullptr},
      {14, 2, kCore, 14, 9, nullptr},
      {33, 0, kSatan, 33, 1, nullptr},
      {36, 1, kSatan, 33, 2, nullptr},
      {37, 2, kSatan, 33, 3, nullptr},
      {3, 5, kGattai, 3, 9, nullptr},
      {13, 5, kGattai, 13, 9, nullptr},
      {40, 0, kNone, -1, 9, nullptr},
      {51, 1, kNone, -1, 9, nullptr},
      {0, 5, kNone, -1, 9, nullptr},
      {7, 5, kNone, -1, 9, nullptr},
      {52, 0, kNone, -1, 9, "kind 52 has no row (attack type 0)"},
      {0xFFFF, 1, kNone, -1, 9, "kind 65535 has no row"},
      {14, 5, kNone, -1, 9, "kind 14 has no row (attack type 5)"},
      {33, 5, kNone, -1, 9, "kind 33 has no row (attack type 5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " type " << c.type);
    Battle().attack.attack_kind = 9;
    TraceCapture trace;
    r.Start(c.kind, c.type, 1);
    EXPECT_EQ(Battle().attack.attack_kind, c.attack_kind);
    if (c.trace != nullptr) {
      EXPECT_TRUE(trace.Contains(c.trace));
    }
    if (c.table == kNone) {
      EXPECT_FALSE(TaskRuns());
      ASSERT_TRUE(r.rig.Run(1));
      EXPECT_EQ(g_log.calls, 0);
      continue;
    }
    ASSERT_TRUE(TaskRuns());
    ASSERT_TRUE(r.Finish());
    EXPECT_EQ(g_log.calls, 1);
    EXPECT_EQ(g_log.table, c.table);
    EXPECT_EQ(g_log.kind, c.played_kind);
    EXPECT_EQ(g_log.type, static_cast<int>(c.type));
    // The routine gets the private attacker, as the current attacker, and its position pair.
    EXPECT_EQ(g_log.unit, &Battle().action.attacker);
    EXPECT_EQ(g_log.current_attacker, &Battle().action.attacker);
    EXPECT_EQ(g_log.pos, &Battle().action.attacker_pos);
  }
  // The full table's rows are the core table's: a row filled there is the one the task calls.
  Battle().action_table[40] = &GattaiStub;
  r.Start(40, 0, 0);
  ASSERT_TRUE(r.Finish());
  EXPECT_EQ(g_log.table, kGattai);
  EXPECT_EQ(BattleActionRow(kSlgSatanKind), &SatanStub);
  EXPECT_EQ(Battle().action_table[kSlgSatanKind], nullptr);
}

TEST(SlgAction, TheAttackerAndTheTargetArePlacedByDirection) {
  ActionRig r;
  struct Case {
    uint32_t dir;
    uint16_t attr;   // the bodies' attribute word
    int step_x, step_y;  // the target's offset in (96, 48) pixels
  };
  const Case cases[] = {{0, 0, 1, -1}, {1, 0, 1, 1}, {2, 16, -1, 1}, {3, 16, -1, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "direction " << c.dir);
    BattleContext& b = Battle();
    // What an earlier attack or the map left behind.
    b.state.scroll_x = 100;
    b.state.scroll_y = 50;
    b.target_count = 3;
    b.targets[1] = 4;
    b.targets[2] = 5;
    b.state.units[0].flags = 0x80;
    r.Start(2, 2, c.dir);

    const SlgUnit& a = r.attacker();
    EXPECT_EQ(a.state, 6);
    EXPECT_EQ(a.step, 0u);
    EXPECT_EQ(a.x, 320 * kPx);
    EXPECT_EQ(a.y, 240 * kPx);
    EXPECT_EQ(a.kind, 2);
    EXPECT_EQ(a.character, GetKindVoiceChara(2));
    EXPECT_EQ(a.dir, c.dir);
    EXPECT_EQ(a.stats.attack_type, 2);
    ASSERT_NE(a.anm, nullptr);
    EXPECT_EQ(a.anm->attr, c.attr);
    EXPECT_EQ(a.anm->depth, 0);
    EXPECT_EQ(a.anm->x, 0);
    EXPECT_EQ(a.anm->y, 0);
    EXPECT_EQ(b.action.attacker_pos.x, 0);
    EXPECT_EQ(b.action.attacker_pos.y, 0);

    const SlgUnit& t = r.slot0();
    EXPECT_EQ(t.x, (320 + 96 * c.step_x) * kPx);
    EXPECT_EQ(t.y, (240 + 48 * c.step_y) * kPx);
    EXPECT_EQ(t.flags, kUnitInDamageList | kUnitOnGrid);
    EXPECT_EQ(t.side, 1);
    EXPECT_EQ(t.kind, 2);
    EXPECT_EQ(t.dir, c.dir);
    // Its own body object, a copy of the attacker's at the target's drawing position.
    ASSERT_NE(t.anm, nullptr);
    EXPECT_NE(t.anm, a.anm);
    EXPECT_EQ(t.anm->attr, c.attr);
    EXPECT_EQ(t.anm->depth, 0);
    EXPECT_EQ(t.anm->x, 96 * c.step_x * kPx);
    EXPECT_EQ(t.anm->y, 48 * c.step_y * kPx);

    EXPECT_EQ(b.target_count, 1);
    EXPECT_EQ(b.targets[0], 0);
    EXPECT_EQ(b.targets[1], -1);
    EXPECT_EQ(b.targets[2], -1);
    EXPECT_EQ(b.state.scroll_x, 0);
    EXPECT_EQ(b.state.scroll_y, 0);
    EXPECT_EQ(b.state.cursor_point[0], 320 + 96 * c.step_x);
    EXPECT_EQ(b.state.cursor_point[1], 240 + 48 * c.step_y);
    ASSERT_TRUE(r.Finish());
  }
}

TEST(SlgAction, ASecondCallWhileTheTaskRunsChangesNothing) {
  ActionRig r;
  r.Start(1, 0, 0, /*end_on_call=*/3);
  ASSERT_TRUE(r.rig.Step());
  ASSERT_EQ(g_log.calls, 1);
  const SlgUnit attacker = r.attacker();
  const SlgUnit slot0 = r.slot0();
  const int64_t live = Battle().alloc.live;
  Battle().attack.attack_kind = 9;

  TraceCapture trace;
  CTamvikSlgAct::Action(PackSlgAction(36, 1, 3));
  EXPECT_TRUE(trace.Contains("Already Executing Battle Action Task. Please Wait to end.\n"));
  EXPECT_EQ(std::memcmp(&r.attacker(), &attacker, sizeof(SlgUnit)), 0);
  EXPECT_EQ(std::memcmp(&r.slot0(), &slot0, sizeof(SlgUnit)), 0);
  EXPECT_EQ(Battle().alloc.live, live);
  EXPECT_EQ(Battle().attack.attack_kind, 9);
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);  // not a special attack's black screen
  ASSERT_TRUE(r.Finish());
  EXPECT_EQ(g_log.calls, 3);
  EXPECT_EQ(g_log.table, kCore);
}

// The routine ends the attack on its third frame; the task sees it on the fourth and ends itself.
// A second call then starts again and frees the first call's objects (LeakSanitizer sees the
// rest).
TEST(SlgAction, TheTaskEndsOnTheFrameAfterTheRoutineAndStartsAgain) {
  ActionRig r;
  const int64_t live_before = Battle().alloc.live;
  r.Start(4, 0, 2, /*end_on_call=*/3);
  const int64_t live_one = Battle().alloc.live;
  EXPECT_EQ(live_one, live_before + 2);  // the two body objects
  TraceCapture trace;
  for (int frame = 1; frame <= 3; ++frame) {
    ASSERT_TRUE(r.rig.Step());
    EXPECT_EQ(g_log.calls, frame);
    EXPECT_TRUE(TaskRuns());
  }
  EXPECT_EQ(r.attacker().state, 7);
  EXPECT_FALSE(trace.Contains("Battle Action Task End."));
  ASSERT_TRUE(r.rig.Step());
  EXPECT_FALSE(TaskRuns());
  EXPECT_EQ(g_log.calls, 3);
  EXPECT_EQ(trace.Count("Battle Action Task End.\n\n"), 1);

  r.Start(5, 0, 0, /*end_on_call=*/1);
  EXPECT_TRUE(TaskRuns());
  EXPECT_EQ(Battle().alloc.live, live_one);
  EXPECT_EQ(r.attacker().state, 6);
  ASSERT_TRUE(r.Finish());
  EXPECT_EQ(g_log.kind, 5);
}

TEST(SlgAction, TheFirstCallPreparesTheTablesOnce) {
  ActionRig r;
  SlgTableWriter tables;
  tables.Se(1, "a.wav", "STATIC");
  tables.Lay(r.rig.driver().tree);
  SlgTableWriter::LayWave(r.rig.driver().tree, "TAMVIK2\\SE\\A.WAV");
  TraceCapture trace;

  r.Start(1, 0, 0);
  EXPECT_EQ(Battle().tables.loaded, 1u);
  EXPECT_EQ(Battle().tables.se[1].static_index, 0);
  EXPECT_NE(Ctx().dsound.static_se.slot[0], nullptr);
  EXPECT_EQ(Scene().tamvik_spr.spx()->sound_hook(), &AttackVoice);
  ASSERT_NE(Battle().stage, nullptr);
  const StageTable* stage = Battle().stage.get();
  EXPECT_EQ(stage->header().width, 640);
  EXPECT_EQ(stage->header().height, 480);
  EXPECT_EQ(stage->unit_count(), 0);
  ASSERT_TRUE(r.Finish());

  r.Start(2, 0, 0);
  ASSERT_TRUE(r.Finish());
  EXPECT_EQ(trace.Count("Slg::Now Loading Slg Static SE Data (Num:1)"), 1);
  EXPECT_EQ(Battle().stage.get(), stage);
}

TEST(SlgAction, ASpecialAttackTurnsTheScreenBlackAtOnceButSatans) {
  ActionRig r;
  struct Case {
    uint32_t kind, type;
    int level;  // the fade level right after the call
  };
  // Kind 36 plays as kind 33; the black screen stays once set.
  const Case cases[] = {{33, 1, 0}, {36, 1, 0}, {5, 0, 0}, {5, 2, 0}, {5, 1, 256}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " type " << c.type);
    r.Start(c.kind, c.type, 0);
    EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), c.level);
    ASSERT_TRUE(r.Finish());
  }
}

TEST(SlgAction, KindFivesVariantFollowsBitFourOfTheRandomValue) {
  ActionRig r;
  r.Start(1, 0, 0);  // the first call's preparation out of the way
  ASSERT_TRUE(r.Finish());
  bool seen[2] = {false, false};
  for (uint32_t seed = 1; seed <= 40 && !(seen[0] && seen[1]); ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    SeedRandom(seed);
    const int value = GetRandom();
    SeedRandom(seed);
    Battle().attack.kind5_variant = 7;
    r.Start(5, 0, 0);
    const int bit = (value >> 4) & 1;
    EXPECT_EQ(Battle().attack.kind5_variant, bit);
    seen[bit] = true;
    ASSERT_TRUE(r.Finish());
    // Any other kind clears it.
    Battle().attack.kind5_variant = 1;
    r.Start(6, 0, 0);
    EXPECT_EQ(Battle().attack.kind5_variant, 0);
    ASSERT_TRUE(r.Finish());
  }
  EXPECT_TRUE(seen[0] && seen[1]);
}

TEST(SlgAction, ACallWhileABattleRunsIsRefused) {
  ActionRig r;
  BattleContext& b = Battle();
  b.running = 1;
  b.state.unit_count = 1;
  SlgUnit& live = b.state.units[0];
  live.kind = 14;
  live.side = 1;
  live.x = 384 * kPx;
  live.y = 240 * kPx;
  live.flags = 0xB180;
  const SlgUnit before = live;
  TraceCapture trace;
  CTamvikSlgAct::Action(PackSlgAction(1, 0, 0));
  EXPECT_TRUE(trace.Contains("refused while a battle runs"));
  EXPECT_EQ(std::memcmp(&live, &before, sizeof(SlgUnit)), 0);
  EXPECT_FALSE(TaskRuns());
  EXPECT_EQ(b.action.prepared, 0u);
  EXPECT_EQ(b.stage, nullptr);
  EXPECT_EQ(b.target_count, 0);
}

// A battle context that goes while the task runs ends the task (it reads the context each
// frame) and frees the body objects.
TEST(SlgAction, TheTaskGoesWithItsBattleContext) {
  BattleRig rig;
  SlgTableWriter().Lay(rig.driver().tree);
  {
    BattleContext inner;
    BattleScope scope(inner);
    inner.action_table[1] = &CoreStub;
    g_log = {};
    g_log.end_on_call = 100;
    CTamvikSlgAct::Action(PackSlgAction(1, 0, 0));
    ASSERT_TRUE(rig.Step());
    ASSERT_TRUE(TaskRuns());
  }
  EXPECT_FALSE(TaskRuns());
  ASSERT_TRUE(rig.Run(2));
  EXPECT_EQ(g_log.calls, 1);
}

}  // namespace
