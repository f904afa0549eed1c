// The attack frame: the attack context and its objects (missing sets, refused allocations), the
// damage list and its show/hide helpers, the normal, special and kind roads from lead-in to end
// with a stub routine, the cut-short rules, the damage-gauge sequence and the raised camera.

#include "battle/slg_attack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_gauge.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/counting_new/counting_new.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::CellPos;
using testsupport::OnCell;

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;
using testsupport::UnitAnmWriter;

constexpr int32_t kPx = 0x10000;


// The attack routine the tests install: it ends the attack on its first frame.
int g_stub_calls = 0;
void StubRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  ++g_stub_calls;
  EndAttack(unit);
}

// A rig with an attacker, its targets and a bystander placed on a map, the stub routine installed
// for the attacker's kind, and the unit's state handler run by hand once a frame.
struct AttackCast {
  uint8_t kind = 1, character = 1, side = 0, dir = 1;
  int targets = 1;
  uint16_t map_width = 640, map_height = 480;
};
class AttackRig {
 public:
  explicit AttackRig(const AttackCast& cast = {}) {
    board.SetMapSize(cast.map_width, cast.map_height);
    attacker = board.AddUnit(
        OnCell(4, 20, {.side = cast.side, .character = cast.character, .kind = cast.kind}));
    const int cells[2][2] = {{6, 20}, {8, 26}};
    for (int i = 0; i < cast.targets; ++i)
      targets.push_back(
          board.AddUnit(OnCell(cells[i][0], cells[i][1], {.side = 1, .character = 20, .kind = 14})));
    bystander = board.AddUnit(OnCell(2, 30, {.side = 1, .character = 21, .kind = 14}));
    for (int i = 0; i < Battle().state.unit_count; ++i) Slg::PlaceUnit(Battle().state.units[i]);
    A().dir = cast.dir;
    for (uint8_t t : targets) U(t).stats.life = U(t).stats.max_life = 100;
    A().stats.action_bytes[0] = 30;
    Battle().action_table[cast.kind] = &StubRoutine;
    g_stub_calls = 0;
  }
  SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  SlgUnit& A() { return U(attacker); }

  // What the attack command does: the range lists the targets, they are marked, state 5.
  void Begin(uint8_t type) {
    A().stats.attack_type = type;
    SlgSearchState& s = Battle().search;
    s.range_count = 0;
    for (uint8_t t : targets) {
      const SlgPoint p = SnapPosToCell(U(t).x >> 16, U(t).y >> 16);
      s.range_list[s.range_count++] = {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)};
    }
    Slg::MarkHitUnits(A());
    for (uint8_t t : targets) SetUnitState(U(t), 0);  // states 9 have no handler yet
    SetUnitState(A(), 5);
  }
  // The attacker's state handler for this frame.
  void Drive() {
    last_pos = base_pos;
    switch (A().state) {
      case 5: AttackStateLeadIn(A(), last_pos); break;
      case 6: Slg::AttackState(A(), last_pos); break;
      case 7: AttackStateEnd(A(), last_pos); break;
      default: break;
    }
  }
  void Frame() {
    rig.Step();
    Drive();
  }
  // Frames (after the current one) until the attacker stands in state `state`; -1 beyond limit.
  int FramesUntilState(uint8_t state, int limit) {
    for (int f = 1; f <= limit; ++f) {
      Frame();
      if (A().state == state) return f;
    }
    return -1;
  }

  BattleRig rig;
  BattleBoard board{rig.battle()};
  uint8_t attacker = 0;
  std::vector<uint8_t> targets;
  uint8_t bystander = 0;
  SlgPair base_pos{10 * kPx, 20 * kPx};
  SlgPair last_pos{};
};

bool ToneTaskRuns() { return Ctx().game_task.FindTask("SlgMap::ToneChangeTask") != nullptr; }

// The running gauge's form, -1 when none runs.
int RunningGaugeForm() {
  for (int i = 0; i < kDGaugeSlots; ++i) {
    if (DGaugeRunning(i) != 0) return Battle().gauges[static_cast<size_t>(i)]->form;
  }
  return -1;
}

// ---- Attack context and objects ----

TEST(CreateAttackCtx, TakesBothSetsOrEndsTheAttackWithNothingKept) {
  struct Case {
    const char* name;
    std::vector<int> slots;  // UnitAnm slots written for the kind
    bool made;
  };
  const Case cases[] = {
      {"both sets", {0, 5, 6}, true},
      {"no body set", {0, 6}, false},
      {"no effect set", {0, 5}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleRig rig;
    BattleBoard board(rig.battle());
    SlgTableWriter tables;
    UnitAnmWriter(1).Slots(c.slots).Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    SlgUnit& unit = Battle().state.units[board.AddUnit(OnCell(4, 20, {.character = 1, .kind = 1}))];
    SetUnitState(unit, 6);
    const int64_t live = Battle().alloc.live;
    SlgAttackCtx* ctx = CreateAttackCtx(unit);
    if (c.made) {
      ASSERT_NE(ctx, nullptr);
      EXPECT_EQ(ctx->unit, &unit);
      EXPECT_NE(ctx->body_anims, nullptr);
      EXPECT_NE(ctx->effect_anims, nullptr);
      EXPECT_EQ(ctx->mark_a, -1);
      EXPECT_EQ(ctx->mark_b, -1);
      EXPECT_EQ(ctx->counter_a + ctx->counter_b + ctx->flag_a + ctx->flag_b, 0u);
      EXPECT_EQ(ctx->step, nullptr);
      EXPECT_EQ(ctx->object_count, 0);
      for (uint32_t w : ctx->words2) EXPECT_EQ(w, 0u) << "the whole context starts cleared";
      EXPECT_EQ(unit.state, 6);
      FreeAttackCtx(ctx);
    } else {
      EXPECT_EQ(ctx, nullptr);
      EXPECT_EQ(unit.state, 7) << "the attack ends at once";
    }
    EXPECT_EQ(Battle().alloc.live, live);
    FreeSlgTables();
  }
}

TEST(CreateAttackCtx, ARefusedContextEndsTheAttack) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  SlgUnit& unit = Battle().state.units[board.AddUnit(OnCell(4, 20, {.character = 1, .kind = 1}))];
  SetUnitState(unit, 6);
  Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
  EXPECT_EQ(CreateAttackCtx(unit), nullptr);
  EXPECT_EQ(unit.state, 7);
}

TEST(AllocAnimeObjs, CopiesTheTemplateAndFreesWhatItTookOnAFailure) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  BattleContext& b = Battle();
  SlgAnmObj templ{};
  templ.x = 5 * kPx;
  templ.y = 7 * kPx;
  templ.depth = -40;
  templ.mode = 3;
  SlgAnmObj* objs[16] = {};
  const int64_t live = b.alloc.live;
  ASSERT_EQ(AllocAnimeObjs(objs, &templ, 3), 1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(objs[i], nullptr);
    EXPECT_EQ(objs[i]->x, templ.x);
    EXPECT_EQ(objs[i]->y, templ.y);
    EXPECT_EQ(objs[i]->depth, -40);
    EXPECT_EQ(objs[i]->mode, 0);
    EXPECT_EQ(objs[i]->frame, 0);
    EXPECT_EQ(objs[i]->state, 0);
  }
  EXPECT_EQ(objs[3], nullptr);
  FreeAnimeObjs(objs, 3);
  EXPECT_EQ(b.alloc.live, live);

  // The third allocation refused: the two taken are given back and every entry is null.
  for (SlgAnmObj*& o : objs) o = reinterpret_cast<SlgAnmObj*>(0x1);  // stale values
  const uint32_t first = b.alloc.calls;
  b.alloc.refuse = [first](uint32_t call, size_t) { return call == first + 2; };
  TraceCapture trace;
  EXPECT_EQ(AllocAnimeObjs(objs, nullptr, 4), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(objs[i], nullptr);
  EXPECT_EQ(b.alloc.live, live);
  EXPECT_TRUE(trace.Contains("AllocAnimeObjs"));
  FreeAnimeObjs(objs, 4);  // null entries are skipped
  EXPECT_EQ(b.alloc.live, live);
}

// ---- Damage list ----

TEST(DamageMember, SortsByDistanceKeepsSlotOrderForEqualsAndTraces) {
  struct Case {
    const char* name;
    // Per slot 1..: (dx, dy) in pixels from the attacker, flags.
    std::vector<std::array<int32_t, 3>> units;
    std::vector<int8_t> expected;
  };
  const uint32_t kBoth = 0x2001;
  const Case cases[] = {
      {"nearest first, equals in slot order",
       {{100, 0, kBoth}, {20, 30, kBoth}, {0, -100, kBoth}, {-50, 0, kBoth}},
       {2, 4, 1, 3}},
      {"a nearer later entry before two equals",
       {{0, 100, kBoth}, {100, 0, kBoth}, {30, 0, kBoth}},
       {3, 1, 2}},
      {"bit 0 without 0x2000 is counted but not listed; 0x2000 alone is not",
       {{10, 0, 0x1}, {50, 0, kBoth}, {5, 0, 0x2000}, {60, 0, kBoth}},
       {2, 4}},
      {"no hit unit", {{10, 0, 0x2000}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleBoard board;
    BattleContext& b = Battle();
    b.state.unit_count = static_cast<uint16_t>(1 + c.units.size());
    b.state.units[0].x = 500 * kPx;
    b.state.units[0].y = 500 * kPx;
    for (size_t i = 0; i < c.units.size(); ++i) {
      SlgUnit& u = b.state.units[i + 1];
      u.x = (500 + c.units[i][0]) * kPx;
      u.y = (500 + c.units[i][1]) * kPx;
      u.flags = static_cast<uint32_t>(c.units[i][2]);
    }
    b.attacker = &b.state.units[0];
    b.targets[0] = 9;
    TraceCapture trace;
    EXPECT_EQ(DamageMember(), static_cast<int>(c.expected.size()));
    EXPECT_EQ(b.target_count, static_cast<int8_t>(c.expected.size()));
    std::string traced;
    for (const auto& line : trace.lines()) traced += line.text;
    std::string want = "DamageMember\n";
    for (size_t i = 0; i < 64; ++i) {
      const int8_t v = i < c.expected.size() ? c.expected[i] : -1;
      EXPECT_EQ(b.targets[i], v) << "entry " << i;
      if (i < c.expected.size()) want += (v < 10 ? "   " : "  ") + std::to_string(v) + " ";
    }
    EXPECT_EQ(traced, want);
  }
}

// The list is built in the middle of an attack's frames: a full board of hit units, many at the
// same distance, is ordered without a single allocation, nearest first and equals by slot.
TEST(DamageMember, OrdersAFullBoardWithoutAllocating) {
  BattleBoard board;
  BattleContext& b = Battle();
  b.state.unit_count = kSlgMaxUnits;
  b.state.units[0].x = 500 * kPx;
  b.state.units[0].y = 500 * kPx;
  for (size_t i = 1; i < kSlgMaxUnits; ++i) {
    SlgUnit& u = b.state.units[i];
    // Distances 40, 30, 20, 10, 40, 30, ...: four rings, each holding every fourth slot.
    const int32_t d = static_cast<int32_t>(40 - 10 * ((i - 1) % 4));
    u.x = (500 + (i % 2 == 0 ? d : 0)) * kPx;
    u.y = (500 - (i % 2 == 0 ? 0 : d)) * kPx;
    u.flags = 0x2001;
  }
  b.attacker = &b.state.units[0];
  const uint64_t before = counting_new::ThreadAllocations();
  const int count = DamageMember();
  EXPECT_EQ(counting_new::ThreadAllocations() - before, 0u);
  ASSERT_EQ(count, kSlgMaxUnits - 1);
  for (int i = 1; i < count; ++i) {
    const auto distance = [&](int8_t slot) {
      const SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
      return std::llabs(u.x - b.attacker->x) + std::llabs(u.y - b.attacker->y);
    };
    const int8_t l = b.targets[static_cast<size_t>(i - 1)];
    const int8_t r = b.targets[static_cast<size_t>(i)];
    EXPECT_TRUE(distance(l) < distance(r) || (distance(l) == distance(r) && l < r))
        << "entries " << i - 1 << " and " << i << ": slots " << int{l} << ", " << int{r};
  }
}

TEST(DamageList, ShowAndHideHelpersPickTheirUnits) {
  BattleBoard board;
  BattleContext& b = Battle();
  const uint8_t t0 = board.AddUnit({.side = 1, .kind = 14, .x = 192, .y = 240});
  const uint8_t t1 = board.AddUnit({.side = 1, .kind = 14, .x = 384, .y = 240});
  const uint8_t other = board.AddUnit({.side = 1, .kind = 14, .x = 576, .y = 240});
  const uint8_t unflagged = board.AddUnit({.side = 1, .kind = 14, .x = 192, .y = 480});
  auto& u = b.state.units;
  u[unflagged].flags &= ~0x8000u;
  u[t0].flags |= 1;
  u[t1].flags |= 1;
  b.targets = BattleContext::MakeEmptyTargets();
  b.targets[0] = static_cast<int8_t>(t0);
  b.targets[1] = static_cast<int8_t>(t1);
  b.target_count = 2;

  HideNonTargets();
  EXPECT_NE(u[t0].flags & 0x80, 0u);
  EXPECT_NE(u[t1].flags & 0x80, 0u);
  EXPECT_EQ(u[other].flags & 0x80, 0u);
  EXPECT_NE(u[unflagged].flags & 0x80, 0u) << "only units with 0x8000 are hidden";

  HideTargets(1);
  EXPECT_EQ(u[t0].flags & 0x80, 0u);
  EXPECT_NE(u[t1].flags & 0x80, 0u);
  ShowTargets(2);
  EXPECT_NE(u[t0].flags & 0x80, 0u);

  HideUnflaggedUnits();
  EXPECT_EQ(u[unflagged].flags & 0x80, 0u);
  EXPECT_EQ(u[other].flags & 0x80, 0u) << "still hidden from before";
  EXPECT_NE(u[t0].flags & 0x80, 0u) << "flagged units are left alone";
  ShowUnflaggedUnits();
  EXPECT_NE(u[unflagged].flags & 0x80, 0u);
  EXPECT_EQ(u[other].flags & 0x80, 0u);
}

// ---- The normal road ----

TEST(AttackRoad, RecoilOfKindOneByDirection) {
  struct Case {
    uint8_t dir;
    int32_t ex, ey;
  };
  const Case cases[] = {{0, -32, 16}, {1, -32, -16}, {2, 32, -16}, {3, 32, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "direction " << int{c.dir});
    AttackRig r({.dir = c.dir});
    r.Begin(0);
    r.Drive();
    const SlgAttackTimeline& t = Battle().attack;
    EXPECT_EQ(t.recoil_end.x, c.ex * kPx);
    EXPECT_EQ(t.recoil_end.y, c.ey * kPx);
    EXPECT_EQ(t.recoil_step.x, c.ex * kPx / 5);
    EXPECT_EQ(t.recoil_step.y, c.ey * kPx / 5);
    r.Frame();
    r.Frame();
    EXPECT_EQ(t.recoil.x, 2 * t.recoil_step.x);
    EXPECT_EQ(r.A().anm->x, r.base_pos.x + t.recoil.x) << "the body follows pos + recoil";
    for (int f = 3; f <= 7; ++f) r.Frame();
    EXPECT_EQ(t.recoil.x, t.recoil_end.x) << "held at the end";
    EXPECT_EQ(t.recoil.y, t.recoil_end.y);
    EXPECT_EQ(r.A().state, 6);
  }
  // A kind without recoil stays in place.
  EXPECT_EQ(SlgRecoilOf(0).x, 0);
  EXPECT_EQ(SlgRecoilOf(2).x, 4);
  EXPECT_EQ(SlgRecoilOf(21).y, 8);
  EXPECT_EQ(SlgRecoilOf(35).x, 8);
}

TEST(AttackRoad, LeadInStubEndGaugesAndHold) {
  struct Case {
    const char* name;
    uint8_t character;
    int targets;
    bool no_tone, skip_gauge;
    std::vector<int> forms;  // the gauges shown, in order
  };
  const Case cases[] = {
      {"one target", 1, 1, false, false, {2}},
      {"two targets, no tone change", 3, 2, true, false, {3, 3}},
      {"gauges skipped", 6, 1, false, true, {}},
      {"character 7 and above sets no flag", 9, 1, false, false, {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackRig r({.character = c.character, .targets = c.targets});
    BattleContext& b = Battle();
    b.attack.no_tone = c.no_tone ? 1 : 0;
    b.attack.skip_gauge = c.skip_gauge ? 1 : 0;
    r.Begin(0);
    r.Drive();
    EXPECT_EQ(b.attacker, &r.A());
    EXPECT_EQ(b.target_count, c.targets);
    EXPECT_EQ(ToneTaskRuns(), !c.no_tone);
    EXPECT_EQ(r.FramesUntilState(6, 20), 7);
    EXPECT_EQ(g_stub_calls, 0);
    EXPECT_EQ(r.FramesUntilState(7, 3), 1) << "the stub ends the attack on its first frame";
    EXPECT_EQ(g_stub_calls, 1);
    r.Frame();  // the end's first frame
    EXPECT_EQ(ToneTaskRuns(), !c.no_tone);
    EXPECT_EQ(DamageGageAlive(), c.skip_gauge ? 0u : 1u);
    std::vector<int> forms;
    int last = -1;
    int hold = 0;
    for (int f = 0; f < 900 && r.A().state == 7; ++f) {
      r.Frame();
      const int form = RunningGaugeForm();
      if (form >= 0 && last < 0) forms.push_back(form);
      last = form;
      if (DamageGageAlive() == 0) ++hold;
    }
    EXPECT_EQ(r.A().state, 0);
    EXPECT_EQ(forms, c.forms);
    EXPECT_EQ(hold, c.skip_gauge ? 30 : 31)
        << "30 frames after the end's first frame (skipped) or after the sequence's end";
    EXPECT_EQ(b.target_count, c.skip_gauge ? c.targets : 0);
    for (int ch = 0; ch < 10; ++ch)
      EXPECT_EQ(CheckEventFlag(951 + ch), ch == c.character && ch < 7 ? 1 : 0) << ch;
  }
}

TEST(AttackRoad, HeldMenuKeyCutsTheLeadInShort) {
  struct Case {
    const char* name;
    uint8_t type, side;
    bool event_busy, hero_covering;
    bool cut;
  };
  const Case cases[] = {
      {"normal", 0, 0, false, false, true},
      {"normal, an event runs", 0, 0, true, false, false},
      {"normal, the hero covering", 0, 0, false, true, false},
      {"normal, an enemy attacker", 0, 1, false, false, true},
      {"special, side 0", 1, 0, false, false, true},
      {"special, an enemy attacker", 1, 1, false, false, false},
      {"special, an event runs", 1, 0, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackRig r({.side = c.side});
    const uint8_t hero = r.board.AddUnit(OnCell(12, 40, {.side = 0, .character = 0, .kind = 0}));
    if (c.hero_covering) r.U(hero).state = 14;
    Battle().event_busy = c.event_busy ? 1 : 0;
    r.Begin(c.type);
    r.rig.Schedule({testsupport::GameKeyDown(r.rig.frame(), kGameKey2)});
    r.Drive();
    const int frames = c.type == 1 ? 18 : 7;
    for (int f = 1; f < frames; ++f) r.Frame();
    EXPECT_EQ(r.A().state, 5);
    r.Frame();
    EXPECT_EQ(r.A().state, c.cut ? 7 : 6);
    EXPECT_EQ(g_stub_calls, 0);
    if (c.cut) {
      EXPECT_EQ(r.A().stats.attack_type, 0);
      EXPECT_NE(r.U(r.targets[0]).flags & 1u, 0u) << "the end marks the hits";
    }
  }
}

// ---- The special road ----

TEST(AttackRoad, SpecialLeadInAndEnd) {
  AttackRig r;
  BattleContext& b = Battle();
  CDsoundFunc& sound = Ctx().dsound;
  SlgTableWriter::LayWave(r.rig.driver().tree, "tamvik1\\bgm\\SM01.wav", 10.0);
  ASSERT_NE(sound.PlayBGM("tamvik1\\bgm\\SM01.wav"), 0);
  b.cmd_busy = 5;
  b.flags = 0x0E;
  r.Begin(1);
  r.Drive();
  EXPECT_EQ(b.flags & 0x80, 0x80);
  EXPECT_NE(b.fade_handle, nullptr) << "fading out";
  EXPECT_TRUE(ToneTaskRuns());
  EXPECT_FALSE(sound.IsBGMFadeEnd()) << "the music dips";
  for (int f = 1; f < 18; ++f) r.Frame();
  EXPECT_EQ(r.A().state, 5);
  EXPECT_LT(sound.GetBGMVolume(), 100);
  EXPECT_EQ(b.cmd_busy, 5u);
  r.Frame();
  EXPECT_EQ(r.A().state, 6);
  EXPECT_EQ(b.cmd_busy, 1u);
  EXPECT_EQ(b.attack.saved_busy, 5u);
  EXPECT_EQ(b.flags, 0x80 | 0x60 | 0x08);
  EXPECT_EQ(r.U(r.bystander).flags & 0x80, 0u) << "non-targets hidden";
  EXPECT_NE(r.U(r.targets[0]).flags & 0x80, 0u);
  // The main task updates only units with 0x80: without it the routine would never run again.
  EXPECT_NE(r.A().flags & 0x80, 0u) << "the attacker stays updated";
  r.Frame();  // the stub: EndAttack -> EndSpecialAttack
  EXPECT_EQ(r.A().state, 7);
  EXPECT_EQ(r.A().stats.attack_type, 0);
  EXPECT_NE(b.fade_handle, nullptr) << "fading in";
  EXPECT_EQ(b.flags & 0x06, 0x06) << "flagged units shown again";
  EXPECT_NE(r.U(r.bystander).flags & 0x80, 0u);
  r.Frame();  // the special end's first frame, although the attack type is 0 now
  EXPECT_EQ(b.flags & 0x80, 0);
  EXPECT_EQ(DamageGageAlive(), 1u);
  EXPECT_EQ(r.FramesUntilState(0, 900) > 0, true);
  EXPECT_EQ(b.cmd_busy, 5u) << "the busy word given back";
  EXPECT_EQ(b.attack.special_open, 0u);
  EXPECT_EQ(CheckEventFlag(952), 1);
  EXPECT_EQ(sound.GetBGMVolume(), 100);
  EXPECT_EQ(SlgIsFadeEnd(), 1);
}

TEST(AttackRoad, KindFormPlaysItsVoiceAndGivesTheBusyWordBack) {
  AttackRig r;
  SlgTableWriter tables;
  tables.UnitVoices(kSlgUnitIdNames[1], "SPECIAL", {20, 21, 22});
  tables.Lay(r.rig.driver().tree);
  LoadSlgTables();
  BattleContext& b = Battle();
  b.attack.attack_kind = 2;
  b.cmd_busy = 0;
  r.Begin(0);
  TraceCapture trace;
  SlgPair pos = r.base_pos;
  AttackLeadInKind(r.A(), pos);
  EXPECT_FALSE(ToneTaskRuns());
  for (int f = 1; f < 7; ++f) {
    r.rig.Step();
    AttackLeadInKind(r.A(), pos);
  }
  EXPECT_EQ(r.A().state, 5);
  r.rig.Step();
  AttackLeadInKind(r.A(), pos);
  EXPECT_EQ(r.A().state, 6);
  EXPECT_EQ(b.cmd_busy, 1u);
  EXPECT_EQ(b.chosen_voice, 21) << "special voice attack kind - 1";
  EXPECT_TRUE(trace.Contains("OrbileAttackKind: 2\n"));
  SetUnitState(r.A(), 7);
  b.attack.skip_gauge = 1;
  for (int f = 0; f < 40 && r.A().state == 7; ++f) {
    r.rig.Step();
    AttackEndKind(r.A(), pos);
  }
  EXPECT_EQ(r.A().state, 0);
  EXPECT_EQ(b.cmd_busy, 0u);
  EXPECT_EQ(CheckEventFlag(952), 0) << "the kind form sets no flag";
  FreeSlgTables();
}

// ---- Attack state ----

TEST(AttackState, AnEmptyRowEndsTheAttackAtOnceAndThePositionCarriesTheRecoil) {
  struct Case {
    const char* name;
    uint8_t type;
    uint8_t kind;  // the attacker's kind when the state runs (60: outside the table)
  };
  const Case cases[] = {
      {"normal attack", 0, 1},
      {"special attack", 1, 1},
      {"kind outside the table", 0, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackRig r;
    BattleContext& b = Battle();
    b.action_table[1] = nullptr;
    b.attack.skip_gauge = 1;
    r.Begin(c.type);
    r.Drive();
    ASSERT_GT(r.FramesUntilState(6, 30), 0);
    r.A().kind = c.kind;
    b.attack.recoil = {3 * kPx, -2 * kPx};
    TraceCapture trace;
    r.Frame();
    EXPECT_EQ(r.last_pos.x, r.base_pos.x + 3 * kPx);
    EXPECT_EQ(r.last_pos.y, r.base_pos.y - 2 * kPx);
    EXPECT_EQ(r.A().state, 7) << "ended on the state's first frame";
    EXPECT_TRUE(trace.Contains("Slg::AttackState: kind " + std::to_string(c.kind) +
                               " has no attack routine"));
    EXPECT_EQ(r.A().stats.attack_type, 0);
    r.A().kind = 1;
    EXPECT_GT(r.FramesUntilState(0, 120), 0) << "the end runs and the unit stands again";
    EXPECT_EQ(b.flags & 0x80, 0) << "a special ends through the special end";
  }
}

// ---- Gauge sequence and camera ----

TEST(DamageGage, OneGaugePerTargetThenTheCameraBackToTheAttacker) {
  for (int targets : {0, 1, 2}) {
    SCOPED_TRACE(testing::Message() << targets << " targets");
    AttackRig r({.targets = 2, .map_width = 2048, .map_height = 2048});
    BattleContext& b = Battle();
    b.attacker = &r.A();
    b.targets = BattleContext::MakeEmptyTargets();
    for (int i = 0; i < targets; ++i) b.targets[static_cast<size_t>(i)] = r.targets[i];
    b.target_count = static_cast<int8_t>(targets);
    b.state.scroll_x = 900;
    b.state.scroll_y = 900;
    Slg::InitCamera();
    StartDamageGage();
    ASSERT_EQ(DamageGageAlive(), 1u);
    std::vector<int> forms;
    int last = -1;
    int f = 0;
    for (; f < 900 && DamageGageAlive() != 0; ++f) {
      r.rig.Step();
      const int form = RunningGaugeForm();
      if (form >= 0 && last < 0) forms.push_back(form);
      last = form;
    }
    EXPECT_EQ(DamageGageAlive(), 0u);
    const std::vector<int> want =
        targets == 0 ? std::vector<int>{} : targets == 1 ? std::vector<int>{2} : std::vector<int>{3, 3};
    EXPECT_EQ(forms, want);
    EXPECT_EQ(b.target_count, 0);
    EXPECT_EQ(Ctx().game_task.FindTask("TamvikSlgFunc::DamageGage"), nullptr);
    // Back on the attacker's cell: x - 320, y - 240 (a flat map), clamped at 0.
    EXPECT_EQ(b.state.scroll_x, std::max(0, (r.A().x >> 16) - 320));
    EXPECT_EQ(b.state.scroll_y, std::max(0, (r.A().y >> 16) - 240));
  }
}

TEST(ScrollToPos, RaisedTargetClampedAtEachEdge) {
  struct Case {
    const char* name;
    int32_t x, y, raise;
    int32_t tx, ty;
    int result;
  };
  // Map 2048 x 1024: the scroll runs 0 .. 1408 across and 0 .. 544 down.
  const Case cases[] = {
      {"inside", 1000, 600, 0, 680, 360, 1},
      {"raised", 1000, 600, 96, 680, 264, 1},
      {"left edge", 100, 600, 0, 0, 360, 0},
      {"right edge", 2000, 600, 0, 1408, 360, 0},
      {"top edge", 1000, 100, 0, 680, 0, 0},
      {"raised over the top", 1000, 300, 96, 680, 0, 0},
      {"bottom edge", 1000, 1020, 0, 680, 544, 0},
  };
  BattleRig rig;
  BattleBoard board(rig.battle());
  board.SetMapSize(2048, 1024);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Slg::ScrollToPos({c.x * kPx, c.y * kPx}, c.raise), c.result);
    EXPECT_EQ(Battle().camera.target_x, c.tx * kPx);
    EXPECT_EQ(Battle().camera.target_y, c.ty * kPx);
    EXPECT_EQ(Battle().camera.duration, 16u);
  }
  // The cell form raises by the cell's height x 48.
  const SlgCell cell = PosToCell(1000, 600);
  board.SetCell(cell.column, cell.row, testsupport::CellWord(2));
  EXPECT_EQ(Slg::ScrollToCellPos({1000 * kPx, 600 * kPx}), 1);
  EXPECT_EQ(Battle().camera.target_y, (600 - 96 - 240) * kPx);
}

}  // namespace
