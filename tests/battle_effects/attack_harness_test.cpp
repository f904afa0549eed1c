// The attack harness on itself: a stub routine written on the step timeline (two named tasks, a
// one-shot from its context's set that outlives it, the end at frame 30) recorded at 60 frames a
// second and with skipped frames; routines that break the contract (never ending, leaking a
// task) caught by name; and the smoke table's rows for the routines as they stand (every kind's
// slot ends its attack on its first frame) on both roads.

#include "testsupport/attack_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/step_timeline.h"
#include "testsupport/battle_board.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackCheckpoint;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::AttackRoad;
using testsupport::AttackTraceLine;
using testsupport::HitSignal;

constexpr int kKind = 1;
// The one-shot's animation (effect set animation 0): 40 frames, outliving the routine's 30.
constexpr int kOneShotFrames = 40;

// ---- The self-test routine: work, task bodies and timeline ----

struct SelfTest {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  StepClock clock;
  SlgUnit* unit;
  SlgAttackCtx* ctx;
};

void EndsAfter10(SlgEffectTask* t) {
  if (t->frames >= 10) SlgTaskEnd(t);
}
void EndsAfter20(SlgEffectTask* t) {
  if (t->frames >= 20) SlgTaskEnd(t);
}
void Forever(SlgEffectTask* /*t*/) {}

int Begin(SelfTest& w) {
  w.ctx = CreateAttackCtx(*w.unit);
  if (w.ctx == nullptr) return kTimelineStop;  // CreateAttackCtx has ended the attack
  SlgTaskCreate(SlgTaskOwner(), &EndsAfter10, "Selftest::A");
  SlgTaskCreate(SlgTaskOwner(), &EndsAfter20, "Selftest::B");
  AutoPtnChg2(0, {0, 0}, 0, 0, w.ctx->effect_anims, 4);
  return kTimelineNextRow;
}
int Finish(SelfTest& w) {
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
  EndAttack(*w.unit);
  return kTimelineNextRow;
}
constexpr TimelineRow<SelfTest> kSelfTest[] = {
    {TimelineWait<SelfTest>::AtOnce(), &Begin},
    {TimelineWait<SelfTest>::Frames(30), &Finish, kTimelineStop},
};

void SelfTestRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  SelfTest& w = Battle().Extension<SelfTest>();
  w.unit = &unit;
  RunTimeline(kSelfTest, unit.step, w.clock, w);
}

void NeverEnds(SlgUnit& unit, SlgPair& /*pos*/) {
  if (unit.step != 0) return;
  SlgTaskCreate(SlgTaskOwner(), &Forever, "Selftest::Forever");
  unit.step = 1;
}
void Leaks(SlgUnit& unit, SlgPair& /*pos*/) {
  SlgTaskCreate(SlgTaskOwner(), &Forever, "Selftest::Leak");
  EndAttack(unit);
}

// A row of kind 1's normal attack with the routine in its slot.
AttackCase SelfTestCase(AttackRoad road, uint32_t step_ms, void (*routine)(SlgUnit&, SlgPair&)) {
  AttackCase row;
  row.name = "selftest";
  row.kind = kKind;
  row.road = road;
  row.step_ms = step_ms;
  row.prefixes = {"Selftest::", "AutoPtnChg"};
  row.hits = HitSignal::kNone;
  row.fixtures = [](AttackFixtures& f) {
    f.Slot(kAnmAttackEffect, 1, AttackAnim{.frames = kOneShotFrames, .ticks = 1});
  };
  row.before = [routine](AttackRig& r) { r.dispatch().slots.kinds[kKind].normal = routine; };
  return row;
}

const AttackTraceLine& Line(const AttackOutcome& out, const std::string& text) {
  static const AttackTraceLine kMissing{-1, 0, "missing"};
  for (const AttackTraceLine& l : out.lines) {
    if (l.text == text) return l;
  }
  ADD_FAILURE() << "no trace line \"" << text << "\"";
  return kMissing;
}

std::string AttackerState7(AttackRoad road) {
  return road == AttackRoad::kAction ? "unit A state 7" : "unit 0 state 7";
}

TEST(AttackHarness, TheSelfTestRoutinesTraceOnBothRoadsAndItsOneShotOutlivesIt) {
  for (const AttackRoad road : {AttackRoad::kBoard, AttackRoad::kAction}) {
    SCOPED_TRACE(road == AttackRoad::kBoard ? "board" : "action task");
    const AttackOutcome out = PlayAttackCase(SelfTestCase(road, 0, &SelfTestRoutine));
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    const AttackTraceLine& start = Line(out, "task+ Selftest::A CTamvikGeneral::GeneralManeger");
    // The routine's own events at their frames (within a frame of the rig's rounding).
    const auto after = [&](const std::string& text) { return Line(out, text).frame - start.frame; };
    EXPECT_EQ(Line(out, "task+ Selftest::B CTamvikGeneral::GeneralManeger").frame, start.frame);
    EXPECT_EQ(Line(out, "task+ AutoPtnChg2:No0 CTamvikGeneral::GeneralManeger").frame, start.frame);
    EXPECT_GE(after("task- Selftest::A"), 10);
    EXPECT_LE(after("task- Selftest::A"), 11);
    EXPECT_GE(after("task- Selftest::B"), 20);
    EXPECT_LE(after("task- Selftest::B"), 21);
    EXPECT_GE(after(AttackerState7(road)), 30);
    EXPECT_LE(after(AttackerState7(road)), 31);
    // The one-shot plays on after the routine has freed its context, to its own end.
    EXPECT_GE(after("task- AutoPtnChg2:No0"), kOneShotFrames);
  }
}

TEST(AttackHarness, SkippedFramesReachTheSameEventsAtTheSameGameTimes) {
  const AttackOutcome smooth = PlayAttackCase(SelfTestCase(AttackRoad::kBoard, 0, &SelfTestRoutine));
  const AttackOutcome skipped =
      PlayAttackCase(SelfTestCase(AttackRoad::kBoard, 50, &SelfTestRoutine));
  EXPECT_TRUE(skipped.failures.empty()) << testing::PrintToString(skipped.failures);
  const auto game_frames = [](const AttackOutcome& out, const std::string& text) {
    const uint32_t t0 = Line(out, "task+ Selftest::A CTamvikGeneral::GeneralManeger").ms;
    return static_cast<int>(int64_t{Line(out, text).ms - t0} * 60 / 1000);
  };
  const auto tasks = [](const AttackOutcome& out) {
    std::vector<std::string> t;
    for (const AttackTraceLine& l : out.lines) {
      if (l.text.rfind("task", 0) == 0 && l.text.find("Selftest") != std::string::npos) {
        t.push_back(l.text);
      }
    }
    return t;
  };
  EXPECT_EQ(tasks(skipped), tasks(smooth));
  // A step of 50 ms is three frames: each event comes at its time or within that step after it.
  for (const std::string& text : std::vector<std::string>{
           "task- Selftest::A", "task- Selftest::B", AttackerState7(AttackRoad::kBoard)}) {
    SCOPED_TRACE(text);
    const int want = game_frames(smooth, text);
    const int got = game_frames(skipped, text);
    EXPECT_GE(got, want - 1);
    EXPECT_LE(got, want + 3);
  }
}

TEST(AttackHarness, ARoutineThatNeverEndsFailsTheWatchdogNamingItsTasks) {
  AttackCase row = SelfTestCase(AttackRoad::kBoard, 0, &NeverEnds);
  row.frame_limit = 40;
  const AttackOutcome out = PlayAttackCase(row);
  ASSERT_EQ(out.failures.size(), 1u) << testing::PrintToString(out.failures);
  EXPECT_EQ(out.failures[0].rfind("watchdog: kind 1 type 0 still in state 6 after 40 frames (step 1)",
                                  0),
            0u)
      << out.failures[0];
  EXPECT_NE(out.failures[0].find("Selftest::Forever"), std::string::npos) << out.failures[0];
}

TEST(AttackHarness, ATaskTheRoutineLeavesBehindIsNamed) {
  for (const AttackRoad road : {AttackRoad::kBoard, AttackRoad::kAction}) {
    const AttackOutcome out = PlayAttackCase(SelfTestCase(road, 0, &Leaks));
    // The task's name copy is a block not given back either.
    EXPECT_EQ(out.failures, (std::vector<std::string>{"leaked task Selftest::Leak",
                                                      "SlgAlloc blocks 1, before 0"}));
  }
}

TEST(AttackHarness, TheLayoutsCellsLieAlongTheAttackersDirection) {
  const std::pair<int, int> steps[] = {{48, -24}, {48, 24}, {-48, 24}, {-48, -24}};
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    const auto cells = AttackRig::LayoutCells({.dir = dir, .layout = AttackLayout::kThree});
    ASSERT_EQ(cells.size(), 3u);
    SlgRangePos from = testsupport::CellPos(AttackRig::kColumn, AttackRig::kRow);
    for (const auto& [column, row] : cells) {
      const SlgRangePos p = testsupport::CellPos(column, row);
      EXPECT_EQ(p.x - from.x, steps[dir].first);
      EXPECT_EQ(p.y - from.y, steps[dir].second);
      from = p;
    }
  }
  EXPECT_TRUE(AttackRig::LayoutCells({.layout = AttackLayout::kNone}).empty());
  EXPECT_EQ(AttackRig::LayoutCells({.layout = AttackLayout::kRaised}).size(), 1u);
}

// ---- The smoke table: the routines as they stand ----

// The attacker's body on the board: its stand pattern (2 for direction 1), hanging 16 pixels
// above its anchor, 24 pixels below its map point less the scroll.
AttackCheckpoint BodyShown(int kind, const char* event) {
  return {"body", -1, event,
          {{AttackRig::kBodyProbeX, AttackRig::kBodyProbeY,
            AttackFixtures::ColourRef(kind, kAnmBaseBody, 2)}}};
}

TEST(AttackSmoke, EveryKindsSlotEndsItsAttackOnBothRoads) {
  std::vector<AttackCase> rows;
  const std::vector<std::string> special_music = {"bgm-volume 87 30", "bgm-volume 100 30"};
  // A player shape, each type, one target in front.
  for (int type : {0, 1, 2, 3}) {
    rows.push_back({.name = "kind13_type" + std::to_string(type), .kind = 13, .type = type,
                    .routine = type == 1 ? "GBrise::SpecialAttack" : "GBrise::NormalAttack",
                    .hits = HitSignal::kNone,
                    .sounds = type == 1 ? special_music : std::vector<std::string>{}});
  }
  // The hero: the set-up, then the routine of his type.
  for (const auto& [type, routine] :
       {std::pair{0, "KadrunNormal"}, {1, "KadrunSpecial"}, {2, "KadrunCritical"}}) {
    rows.push_back({.name = "hero_type" + std::to_string(type), .kind = 0, .type = type,
                    .dir = 2, .routine = routine});
  }
  rows.push_back({.name = "ashigaru_three", .kind = 14, .dir = 0, .layout = AttackLayout::kThree,
                  .routine = "EnemyNormalAttack", .pixels = platform::PixelLayout::kRgb555});
  rows.push_back({.name = "kouma_wall", .kind = 19, .layout = AttackLayout::kWallAhead,
                  .routine = "KoumaF::Attack"});
  rows.push_back({.name = "dododi_raised", .kind = 29, .layout = AttackLayout::kRaised,
                  .routine = "Dododi::NormalAttack"});
  rows.push_back({.name = "samurai_critical", .kind = 22, .type = 2,
                  .routine = "EnemyNormalAttack"});
  rows.push_back({.name = "lunet_no_target", .kind = 3, .layout = AttackLayout::kNone,
                  .routine = "LunetNormalAttack",
                  .checkpoints = {BodyShown(3, "unit 0 state 7")}});
  // The heroines' parts of the combination run up to about 1000 frames.
  rows.push_back({.name = "combination", .kind = 1, .type = 5, .routine = "GattaiAction",
                  .frame_limit = 1500});
  rows.push_back({.name = "combination_no_target", .kind = 2, .type = 5,
                  .layout = AttackLayout::kNone, .routine = "GattaiAction", .frame_limit = 1500});
  rows.push_back({.name = "missing_slot", .kind = 5,
                  .variant = AttackFixtures::Variant::kMissingSlot,
                  .routine = "Tezav::NormalAttack"});
  // A boss's shadow is on once it has stood a frame; its special turns it off and on again.
  rows.push_back({.name = "two_frames_skipped", .kind = 24, .type = 1,
                  .variant = AttackFixtures::Variant::kTwoFrames,
                  .routine = "Boss24::SpecialAttack", .step_ms = 50,
                  .before = [](AttackRig& r) {
                    Battle().kind_states.boss_shadow = 1;
                    r.Step();
                  }});
  // The battle action task: any kind and type; kinds 33, 36 and 37 are Satan's three attacks.
  for (const auto& [kind, routine] :
       {std::pair{0, "KadrunNormal"}, {1, "Tamvik::NormalAttack"}, {14, "EnemyNormalAttack"},
        {29, "Dododi::NormalAttack"}, {33, "Satan::NormalAttack"}, {36, "Satan::Critical2Attack"},
        {37, "Satan::CriticalAttack"}}) {
    // Satan's attacks leave the camera where they took it, the critical-2 attack's clouds plane
    // 1's offset too.
    const uint32_t leaves = kind == 36   ? testsupport::kLeavesCamera | testsupport::kLeavesPlaneOffset
                            : kind >= 33 ? testsupport::kLeavesCamera
                                         : 0u;
    rows.push_back({.name = "action_kind" + std::to_string(kind), .kind = kind,
                    .road = AttackRoad::kAction, .routine = routine, .hits = HitSignal::kNone,
                    .leaves = leaves});
  }
  rows.push_back({.name = "action_special", .kind = 12, .type = 1, .road = AttackRoad::kAction,
                  .routine = "Gtezav::SpecialAttack", .frame_limit = 1200});
  rows.push_back({.name = "action_type3", .kind = 26, .type = 3, .road = AttackRoad::kAction,
                  .routine = "Amateras::NormalAttack"});
  rows.push_back({.name = "action_combination", .kind = 9, .type = 5, .road = AttackRoad::kAction,
                  .routine = "GattaiAction", .frame_limit = 1500});
  for (const AttackCase& row : rows) testsupport::ExpectAttackCase(row);
}

}  // namespace
