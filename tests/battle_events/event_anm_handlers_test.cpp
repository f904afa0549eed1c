// The shared event-animation handlers on a running battle (the builder's map 0 with an event
// object of kind 80 whose handler is the variant under test, its two-pattern EventAnm file, stub
// phases), and the script helpers: the partner heroine, the scripted attack and the point mover.

#include "battle_events/runtime/event_anm_handlers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_damage.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_states.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/events_install.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/event_tables.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/unit_sets.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;
using testsupport::EventAnmWriter;
using testsupport::SlgTableWriter;
using testsupport::OnCell;
using testsupport::CellPos;

constexpr int32_t kPx = 65536;
constexpr SlgEventEntry kEvents[] = {kEventTableEnd};
// The object's placement: off its cell's point, so that every snap moves it.
constexpr int16_t kPlaceX = 200;
constexpr int16_t kPlaceY = 330;
constexpr uint8_t kChara = 1;

// Map 0 of the builder with entry 2 an event object of kind 80 (character byte kChara), run by
// `handler`.
class AnmBattle {
 public:
  explicit AnmBattle(SlgEventAnmHandler handler) : table_{handler} {
    BattleInstall install;
    StageUnitEntry& e = install.stage.units[2];
    e.class_index = 2;
    e.character = kChara;
    e.x = kPlaceX;
    e.y = kPlaceY;
    e.flags = 0x80;
    install.stage.classes[2] = {80, 3, 0, 0};
    install.stage.header.num_unit = 3;
    install.Lay(rig.driver().tree);
    testsupport::SystemSpriteSet().Lay(rig.driver().tree);
    SlgTableWriter tables = install.Tables();
    EventAnmWriter::Lay(rig.driver().tree, tables, 0, {80});
    tables.Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(0);
    GetSystemData()->setVoiceOff(1);
    rig.InstallEventTable(kEvents);
    rig.InstallEventAnmTable(table_);
    rig.StubPhases();
    Slg::StartStage();
    EXPECT_TRUE(rig.RunUntil("round 1", [] { return Battle().state.round == 1; }, 60));
    EventDeployKind(80);
  }
  SlgUnit& Obj() { return rig.battle().state.units[2]; }

  BattleRig rig;

 private:
  SlgEventAnmHandler table_[1];
};

enum class Place { kAsPlaced, kSnapped };
enum class End { kReleased, kRunning };

struct Variant {
  const char* name;
  SlgEventAnmHandler handler;
  Place place;
  EventAnmDepth rule;
  int16_t depth;
  bool shade0;
  bool shadow;
  int pattern;
  bool held;
  End end;
};

using enum EventAnmDepth;
constexpr Place kAt = Place::kAsPlaced;
constexpr Place kSn = Place::kSnapped;
constexpr End kRel = End::kReleased;
constexpr End kRun = End::kRunning;

const Variant kVariants[] = {
    {"Once", EventAnmOnce, kAt, kComputed, 0, false, false, 0, false, kRel},
    {"OnceCellShade0", EventAnmOnceCellShade0, kSn, kComputed, 0, true, false, 0, false, kRel},
    {"OnceFront", EventAnmOnceFront, kAt, kFixed, -1100, true, false, 0, false, kRel},
    {"OnceCellHeld", EventAnmOnceCellHeld, kSn, kComputed, 0, false, false, 0, true, kRel},
    {"OnceSnap", EventAnmOnceSnap, kSn, kOffset, 0, false, false, 0, false, kRel},
    {"OnceSnapFore", EventAnmOnceSnapFore, kSn, kOffset, -1, false, false, 0, false, kRel},
    {"OnceSnapBack", EventAnmOnceSnapBack, kSn, kOffset, 1, false, false, 0, false, kRel},
    {"OnceSnapHeld", EventAnmOnceSnapHeld, kSn, kOffset, 0, false, false, 0, true, kRel},
    {"Hold", EventAnmHold, kAt, kComputed, 0, false, false, 0, false, kRun},
    {"HoldShade0", EventAnmHoldShade0, kAt, kComputed, 0, true, false, 0, false, kRun},
    {"HoldShade0Held", EventAnmHoldShade0Held, kAt, kComputed, 0, true, false, 0, true, kRun},
    {"HoldSnap", EventAnmHoldSnap, kSn, kOffset, 0, false, false, 0, false, kRun},
    {"HoldSnapFore", EventAnmHoldSnapFore, kSn, kOffset, -1, false, false, 0, false, kRun},
    {"HoldSnapBack", EventAnmHoldSnapBack, kSn, kOffset, 1, false, false, 0, false, kRun},
    {"HoldSnapShadow", EventAnmHoldSnapShadow, kSn, kOffset, 0, false, true, 0, false, kRun},
    {"HoldSnapHeld", EventAnmHoldSnapHeld, kSn, kOffset, 0, false, false, 0, true, kRun},
    {"HoldSnapHeldFore", EventAnmHoldSnapHeldFore, kSn, kOffset, -1, false, false, 0, true, kRun},
    {"HoldSnapHeldBack", EventAnmHoldSnapHeldBack, kSn, kOffset, 1, false, false, 0, true, kRun},
    {"HoldSnapHeldShadow", EventAnmHoldSnapHeldShadow, kSn, kOffset, 0, false, true, 0, true, kRun},
    {"Pattern0", EventAnmPattern0, kAt, kComputed, 0, false, false, 0, true, kRun},
    {"Pattern0CellShade0", EventAnmPattern0CellShade0, kSn, kComputed, 0, true, false, 0, true,
     kRun},
    {"Pattern0Snap", EventAnmPattern0Snap, kSn, kComputed, 0, false, false, 0, true, kRun},
    {"FixedDepth", EventAnmFixedDepth, kAt, kFixed, -1099, true, false, 0, false, kRun},
    {"FixedDepth259", EventAnmFixedDepth259, kAt, kFixed, 259, false, false, 0, false, kRun},
    {"FixedDepth258", EventAnmFixedDepth258, kAt, kFixed, 258, false, false, 0, false, kRun},
    {"FixedCellLoop", EventAnmFixedCellLoop, kSn, kComputed, 0, true, false, 0, false, kRun},
    {"FixedCellLoopFore", EventAnmFixedCellLoopFore, kSn, kOffset, -1, true, false, 0, false, kRun},
    {"CellOnce", EventAnmCellOnce, kAt, kComputed, 0, false, false, kChara, false, kRun},
    {"CellPosOnceFore", EventAnmCellPosOnceFore, kSn, kOffset, -1, false, false, kChara, false,
     kRun},
    {"CellPosOnceFore2", EventAnmCellPosOnceFore2, kSn, kOffset, -2, false, false, kChara, false,
     kRun},
    {"CellPosLoopFore", EventAnmCellPosLoopFore, kSn, kOffset, -1, false, false, kChara, false,
     kRun},
    {"CellPosLoopFore2", EventAnmCellPosLoopFore2, kSn, kOffset, -2, false, false, kChara, false,
     kRun},
};

int32_t ExpectedDepth(const Variant& v, const SlgUnit& u) {
  const int32_t computed = SlgCalcDepth(u.x >> 16, u.y >> 16);
  switch (v.rule) {
    case kComputed:
      return computed;
    case kOffset:
      return computed + v.depth;
    case kFixed:
      return v.depth;
  }
  return 0;
}

TEST(EventAnmHandlers, EveryVariantAnswersItsDescriptor) {
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    AnmBattle b(v.handler);
    // The builder's map is flat: a cell snap and an object snap give the same point.
    const SlgPoint cell = SnapPosToCell(kPlaceX, kPlaceY);
    const SlgPoint snapped = CellPosLift(cell.x, cell.y);
    SlgUnit& u = b.Obj();
    ASSERT_NE(u.anm, nullptr);
    u.anm->shade = 777;
    ASSERT_TRUE(b.rig.Step());  // the first frame
    const SlgAnmObj* body = u.anm;
    if (v.place == kSn) {
      EXPECT_EQ(u.x, snapped.x * kPx);
      EXPECT_EQ(u.y, snapped.y * kPx);
    } else {
      EXPECT_EQ(u.x, kPlaceX * kPx);
      EXPECT_EQ(u.y, kPlaceY * kPx);
    }
    EXPECT_EQ(u.state, kEventAnmRunning);
    EXPECT_EQ(body->pattern, v.pattern);
    if (v.shade0) {
      EXPECT_EQ(body->shade, 0);
    } else {
      EXPECT_NE(body->shade, 0);
    }
    EXPECT_EQ((body->mode & kSlgAnmStartStopped) != 0, v.held);
    for (int f = 0; f < 3; ++f) {
      EXPECT_EQ(body->depth, ExpectedDepth(v, u)) << "frame " << f;
      ASSERT_TRUE(b.rig.Step());
    }
    // The shadow: one sprite entry for this frame's call.
    CDdrawSpr& sprites = Ctx().ddraw_spr;
    const int before = sprites.FreeEntryCount();
    SlgPair pos = EventObjScreenPos(u);
    v.handler(u, pos);
    EXPECT_EQ(before - sprites.FreeEntryCount(), v.shadow ? 1 : 0);
    if (v.held) {
      ASSERT_TRUE(b.rig.Run(30));
      EXPECT_EQ(u.state, kEventAnmRunning) << "held on its first frame";
      EventResumeKindAnm(80);
    }
    ASSERT_TRUE(b.rig.Run(40));
    if (v.end == kRel) {
      EXPECT_EQ(u.state, kEventAnmEnded);
      EXPECT_EQ(u.anm->handle, nullptr) << "released";
    } else {
      EXPECT_EQ(u.state, kEventAnmRunning);
    }
    EXPECT_EQ(u.deploy_state, kEventObjRunning);
  }
}

TEST(EventAnmHandlers, AHeldOneShotWaitsOnItsFirstFrameThenPlaysAndStaysOnTheMapAfterItsEnd) {
  AnmBattle b(EventAnmOnceSnapHeld);
  SlgUnit& u = b.Obj();
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  for (int f = 0; f < 30; ++f) {
    ASSERT_TRUE(b.rig.Step());
    ASSERT_NE(u.anm->handle, nullptr);
    EXPECT_EQ(spx->GetFrame(u.anm->handle), 0) << "frame " << f;
  }
  const int count = b.rig.battle().state.unit_count;
  EventResumeKindAnm(80);
  int frames = 0;
  while (u.state != kEventAnmEnded && frames < 60) {
    ASSERT_TRUE(b.rig.Step());
    ++frames;
  }
  // Pattern 0 (two frames of four ticks) plays from its start.
  EXPECT_GE(frames, EventAnmWriter::Ticks(0) - 1);
  EXPECT_LT(frames, 60);
  ASSERT_TRUE(b.rig.Run(20));
  EXPECT_EQ(b.rig.battle().state.unit_count, count) << "still on the map";
  EXPECT_EQ(u.state, kEventAnmEnded);
  EventUndeployKind(80);
  ASSERT_TRUE(b.rig.Run(2));
  EXPECT_EQ(b.rig.battle().state.unit_count, count - 1) << "the undeploy removes it";
}

TEST(EventAnmHandlers, AUnitWithoutABodyIsLeftAlone) {
  BattleRig rig;
  SlgUnit u{};
  SlgPair pos{5, 6};
  EXPECT_EQ(EventAnmOnceSnap(u, pos), 0);
  EXPECT_EQ(u.state, 0);
  EXPECT_EQ(u.x, 0);
}

// ---- The partner heroine ----

TEST(EventPartner, TheTableMapsP83AndOutOfRangeValuesGiveTheFirstHeroine) {
  BattleRig rig;
  struct Case {
    uint16_t p83;
    int chara;
  };
  for (const Case c : {Case{4, 6}, Case{5, 4}, Case{6, 5}, Case{1, 1}, Case{3, 3}, Case{0, 1},
                       Case{7, 1}, Case{8, 1}, Case{65535, 1}}) {
    SlgSetMacroP(kPartnerVar, c.p83);
    EXPECT_EQ(EventPartnerChara(), c.chara) << "P[83] = " << c.p83;
  }
  EventSetPartnerChara(4);
  EXPECT_EQ(SlgGetMacroP(kPartnerVar), 5);
  EventSetPartnerChara(6);
  EXPECT_EQ(SlgGetMacroP(kPartnerVar), 4);
  EventSetPartnerChara(9);
  EventSetPartnerChara(-1);
  EXPECT_EQ(SlgGetMacroP(kPartnerVar), 4) << "outside 0-7 writes nothing";
  for (int c = 0; c < 7; ++c) {
    EventSetPartnerChara(c);
    if (c != 0) {
      EXPECT_EQ(EventPartnerChara(), c) << "round trip " << c;
    }
  }
}

// ---- The scripted attack ----

class AttackRig {
 public:
  AttackRig() : board(rig.battle()) {
    testsupport::LoadUnitSets(rig.driver().tree, {0, 14});
    testsupport::BattleScript::InstallAttackStubs({0});
    attacker = Add(OnCell(5, 40, {.kind = 0}));
    target = Add(OnCell(6, 41, {.side = 1, .kind = 14, .category = 1}));
    special = Add(OnCell(3, 40, {.character = 2, .kind = 0}));
    bystander = Add(OnCell(9, 40, {.side = 1, .kind = 14, .category = 1}));
    for (uint8_t s : {attacker, target, special, bystander}) U(s).stats.life = U(s).stats.max_life = 50;
  }
  uint8_t Add(const testsupport::BoardUnit& u) {
    const uint8_t slot = board.AddUnit(u);
    Slg::PlaceUnit(U(slot));
    return slot;
  }
  static SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  void Frame() {
    rig.Step();
    unit_state_moves::UpdateShownUnits();
  }

  const ScopedBattleInstaller installer{&InstallBattleEvents};
  BattleRig rig;
  testsupport::BattleBoard board;
  uint8_t attacker = 0, target = 0, special = 0, bystander = 0;
};

TEST(EventAttack, PrepareStartAndFinishDriveTheAttackFrameOnTheNamedTargetOnly) {
  AttackRig r;
  SlgUnit& a = r.U(r.attacker);
  SlgUnit& t = r.U(r.target);
  // The target's attacker byte last named a heroine in a special attack, and an earlier player
  // search left the bystander's cell in the range list.
  r.U(r.special).stats.attack_type = 1;
  t.stats.attack_type = r.special;
  SlgSearchState& search = Battle().search;
  search.range_list[0] = CellPos(9, 40);
  search.range_count = 1;

  EventAttackPrepare(&a, &t, 0);
  EXPECT_EQ(Battle().event_words.acting_mode, (std::array<uint32_t, 2>{1, 1}));
  EXPECT_EQ(a.stats.attack_type, 0);
  EXPECT_EQ(a.stats.action_bytes[0], r.target);
  EXPECT_EQ(a.stats.action_bytes[1], 0);
  EXPECT_NE(t.flags & kUnitInDamageList, 0u);
  EXPECT_EQ(t.stats.attack_type, r.attacker);
  EXPECT_EQ(search.range_count, 0u);
  for (uint8_t s : {r.attacker, r.target, r.special, r.bystander}) {
    EXPECT_NE(r.U(s).flags & kUnitFrozen, 0u) << int{s};
  }
  EventAttackStart(&a, &t);
  EXPECT_EQ(a.state, 5);
  EXPECT_EQ(t.state, kUnitStateHit);
  bool hit_seen = false;
  int frames = 0;
  for (; frames < 400; ++frames) {
    r.Frame();
    hit_seen = hit_seen || t.state == kUnitStateHit;
    EXPECT_NE(t.flags & kUnitShown, 0u) << "frame " << frames;
    if (a.state == kUnitStateStand || a.state == kUnitStateReady) break;
  }
  ASSERT_LT(frames, 400);
  EXPECT_TRUE(hit_seen);
  EventAttackFinish(&a, &t);
  EXPECT_EQ(Battle().event_words.acting_mode, (std::array<uint32_t, 2>{0, 0}));
  EXPECT_EQ(t.flags & kUnitInDamageList, 0u);
  EXPECT_NE(t.flags & kUnitShown, 0u) << "still shown";
  const SlgUnit& by = r.U(r.bystander);
  EXPECT_EQ(by.stats.life, 50);
  EXPECT_EQ(by.state, kUnitStateStand);
  EXPECT_EQ(by.flags & kUnitInDamageList, 0u);
}

TEST(EventAttack, MissingOrRemovedUnitsMakeTheCallsDoNothing) {
  AttackRig r;
  SlgUnit& a = r.U(r.attacker);
  SlgUnit& t = r.U(r.target);
  t.step = kSlgDeadStep;
  EventAttackPrepare(&a, nullptr, 1);
  EventAttackPrepare(nullptr, &t, 1);
  EventAttackPrepare(&a, &t, 1);
  EventAttackStart(&a, &t);
  EventAttackStart(nullptr, nullptr);
  EXPECT_EQ(Battle().event_words.acting_mode, (std::array<uint32_t, 2>{0, 0}));
  EXPECT_EQ(t.flags & kUnitInDamageList, 0u);
  EXPECT_EQ(t.step, kSlgDeadStep);
  EXPECT_EQ(a.state, kUnitStateStand);
  EXPECT_EQ(a.flags & kUnitFrozen, 0u);
}

// ---- The point mover ----

TEST(EventMoveToward, EachAxisStopsOnTheTargetAndTheStepAnswersOnceOnArrival) {
  struct Case {
    const char* name;
    SlgPair from, target, velocity;
    bool accelerated;
    SlgPair acceleration;
    uint32_t step_ms;
    int arrival;  // the call (0 the first) that answers 1; -1 never within 40
  };
  const std::vector<Case> cases = {
      // x arrives after 3 frames (clamped from 15 to 10), y after 5.
      {"clamped per axis", {0, 0}, {10 * kPx, -5 * kPx}, {4 * kPx, -kPx}, false, {}, 0, 5},
      // Velocities 1, 2, 3, 4: positions 1, 3, 6, 10.
      {"accelerated", {0, 0}, {10 * kPx, 0}, {0, 0}, true, {kPx, 0}, 0, 4},
      // 100 ms a call: 6 frames a call, the 12 frames needed in two calls.
      {"late frames jump ahead", {0, 0}, {12 * kPx, 0}, {kPx, 0}, false, {}, 100, 2},
      {"pointing away", {0, 0}, {10 * kPx, 0}, {-kPx, 0}, false, {}, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleRig::Options o;
    o.step_ms = c.step_ms;
    BattleRig rig(o);
    SlgPair point = c.from;
    SlgPair velocity = c.velocity;
    const SlgPair* accel = c.accelerated ? &c.acceleration : nullptr;
    int arrived_at = -1;
    for (int call = 0; call <= 40; ++call) {
      if (call > 0) rig.Step();
      if (EventMoveToward(point, c.target, velocity, accel) == 1) {
        arrived_at = call;
        break;
      }
    }
    EXPECT_EQ(arrived_at, c.arrival);
    if (c.arrival >= 0) {
      EXPECT_EQ(point.x, c.target.x);
      EXPECT_EQ(point.y, c.target.y);
      EXPECT_EQ(EventRuntimeState().move_phase, 0) << "idle again";
    } else {
      EXPECT_LT(point.x, c.from.x) << "moving away";
    }
  }
  {
    // The positions on the way follow the summed velocity.
    BattleRig rig;
    SlgPair point{0, 0};
    SlgPair velocity{0, 0};
    const SlgPair accel{kPx, 2 * kPx};
    const SlgPair target{100 * kPx, 200 * kPx};
    EventMoveToward(point, target, velocity, &accel);
    std::vector<int32_t> xs;
    for (int i = 0; i < 4; ++i) {
      rig.Step();
      EventMoveToward(point, target, velocity, &accel);
      xs.push_back(point.x / kPx);
      EXPECT_EQ(point.y, 2 * point.x);
    }
    EXPECT_EQ(xs, (std::vector<int32_t>{1, 3, 6, 10}));
    EXPECT_EQ(velocity.x, 4 * kPx);
  }
}

TEST(EventNops, TheOperationsThatDoNothingAnswerZero) {
  EXPECT_EQ(EventNopKind(80) + EventNopData(0x4f100, 3) + EventNopValue(2) + EventNop0() +
                EventNopWrite(0x4f100, 1) + EventNop(5) + EventNop1() + EventNop2() + EventNop3() +
                EventNop4() + EventNopLoad("EVE205.BIN"),
            0);
}

}  // namespace
