// The normal and critical attacks of the TAMVIK and DAVONE heroine units (kinds 1 and 2, types
// 0, 2 and 3) on the attack rig: the objects each plays by direction (count, animation, depth
// offset, flag byte, looping, once), when the attack ends, and kind 2's hit animations on the
// targets, also when they outlive the routine.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_task.h"
#include "battle_effects/davone.h"
#include "battle_effects/tamvik.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr uint8_t kStateAfterAttack = 7;

using Played = LayeredPlayed;

struct Outcome {
  std::vector<Played> objects;
  int from_play = -1;      // frames from the play to state 7
  int from_body_end = -1;  // frames from the body's end to state 7
  std::map<std::string, int> hits;  // hit one-shot task -> its animation
  std::vector<std::string> failures;
};

SlgAttackCtx* CtxOf(int kind) {
  return kind == 1 ? TamvikAttackWork().ctx : DavoneAttackWork().normal.ctx;
}

Outcome Play(int kind, int type, int dir, AttackLayout layout,
             const std::function<void(AttackFixtures&)>& sets = &HeroineSets) {
  AttackCase row{.name = "layered", .kind = kind, .type = type, .dir = dir, .layout = layout};
  row.fixtures = sets;
  AttackRig r(row);
  r.Start();
  Outcome out;
  uint32_t play_ms = 0, body_end_ms = 0;
  while (r.attacker().state != kStateAfterAttack && r.frames() < row.frame_limit) {
    r.Step();
    const SlgAttackCtx* ctx = r.attacker().state == 6 ? CtxOf(kind) : nullptr;
    if (ctx != nullptr && ctx->object_count > 0 && out.objects.empty()) {
      play_ms = TimelineNow();
      out.objects = PlayedObjects(*ctx, r.attacker().anm->depth);
    }
    if (ctx != nullptr && ctx->object_count > 0 && body_end_ms == 0 &&
        (ctx->objects[0]->state & kSlgAnmStateEnded) != 0) {
      body_end_ms = TimelineNow();
    }
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (name.rfind("AutoPtnChg:No", 0) != 0 || out.hits.contains(name)) continue;
      GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
      const auto* task = static_cast<const SlgEffectTask*>(rec->work);
      const auto* obj = static_cast<const SlgAnmObj*>(task->owned[0]);
      out.hits[name] = obj != nullptr ? obj->pattern : -1;
    }
  }
  out.from_play = FramesBetween(play_ms, TimelineNow());
  out.from_body_end = body_end_ms == 0 ? -1 : FramesBetween(body_end_ms, TimelineNow());
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, out.failures);
  return out;
}

// The rows as the table gives them: {animation for directions 1 and 2, for 0 and 3, depth}.
using Row = LayeredRow;

std::vector<Played> Expected(const std::vector<Row>& rows, int count, int dir, uint32_t once,
                             uint32_t flag_one, uint32_t held) {
  std::vector<Played> out;
  const int column = dir == 0 || dir == 3 ? 1 : 0;
  for (int i = 0; i < count; ++i) {
    const auto bit = 1u << i;
    Played p{.anim = rows[static_cast<size_t>(i)].anim[column],
             .depth = rows[static_cast<size_t>(i)].depth,
             .mode = (flag_one & bit) != 0 ? 1 : 0};
    // The body and the held objects play through without looping; the others loop unless
    // played once.
    p.loop = (once & bit) != 0 || (held & bit) != 0 || (flag_one & bit) != 0 ? 0 : 1;
    p.once = (once & bit) != 0 ? 1 : 0;
    out.push_back(p);
  }
  return out;
}

// The objects of one kind's types 0, 3 and 2 in the four directions.
void ExpectObjects(int kind) {
  const std::vector<Row> tamvik_normal = {{{0, 1}, 0}, {{0, 1}, 0}, {{8, 9}, 0}};
  const std::vector<Row> tamvik_critical = {
      {{2, 3}, 0}, {{2, 3}, 0}, {{4, 5}, 0}, {{6, 7}, 0}, {{10, 11}, 0}};
  const std::vector<Row> davone_normal = {{{0, 3}, 0}, {{0, 6}, -1}};
  const std::vector<Row> davone_critical = {
      {{1, 4}, 0}, {{1, 7}, -1}, {{2, 9}, -1}, {{3, 8}, 1}, {{4, 0}, 1}};
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    const int davone_count = dir == 1 || dir == 2 ? 5 : 4;
    const struct {
      int kind, type;
      std::vector<Played> expected;
    } cases[] = {
        {1, 0, Expected(tamvik_normal, 3, dir, 0b100, 0b111, 0b010)},
        {1, 3, Expected(tamvik_normal, 2, dir, 0, 0b11, 0b10)},
        {1, 2, Expected(tamvik_critical, 5, dir, 0b11100, 0b11111, 0b00010)},
        {2, 0, Expected(davone_normal, 2, dir, 0b10, 0b01, 0)},
        {2, 3, Expected(davone_normal, 2, dir, 0b10, 0b01, 0)},
        {2, 2, Expected(davone_critical, davone_count, dir, 0b11110, 0b11111, 0)},
    };
    for (const auto& c : cases) {
      if (c.kind != kind) continue;
      SCOPED_TRACE("kind " + std::to_string(c.kind) + " type " + std::to_string(c.type));
      const Outcome out = Play(c.kind, c.type, dir, AttackLayout::kFront);
      EXPECT_EQ(out.objects, c.expected);
      EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    }
  }
}

TEST(HeroineLayered, KindOneObjectsByTypeAndDirection) { ExpectObjects(1); }
TEST(HeroineLayered, KindTwoObjectsByTypeAndDirection) { ExpectObjects(2); }

TEST(HeroineLayered, WhenTheAttackEnds) {
  // Bodies of 16 frames: kind 1 ends 30 frames after its body, kind 2 one frame after its waits
  // (57, or 60 + 60), which the body does not outlast. A body of 150 frames holds the critical
  // of kind 2 past its waits. (A frame more where the rig's frames round against the clock.)
  const auto long_body = [](AttackFixtures& f) {
    HeroineSets(f);
    f.Slot(kAnmAttackBody, 13, AttackAnim{.frames = 150, .ticks = 1});
  };
  for (int type : {0, 2, 3}) {
    SCOPED_TRACE("type " + std::to_string(type));
    const Outcome tamvik = Play(1, type, 1, AttackLayout::kFront);
    EXPECT_GE(tamvik.from_body_end, 30);
    EXPECT_LE(tamvik.from_body_end, 32);
    const Outcome davone = Play(2, type, 1, AttackLayout::kFront);
    const int wait = type == 2 ? 120 : 57;
    EXPECT_GE(davone.from_play, wait + 1);
    EXPECT_LE(davone.from_play, wait + 3);
  }
  const Outcome held = Play(2, 2, 1, AttackLayout::kFront, long_body);
  EXPECT_GE(held.from_body_end, 1);
  EXPECT_LE(held.from_body_end, 2);
  EXPECT_GT(held.from_play, 130);
}

TEST(HeroineLayered, KindTwoHitsEveryTarget) {
  struct Case {
    int type;
    AttackLayout layout;
    std::map<int, int> hits;  // animation -> one-shots
  };
  const Case cases[] = {
      {0, AttackLayout::kThree, {{10, 3}}},
      {0, AttackLayout::kFront, {{10, 1}}},
      {3, AttackLayout::kThree, {}},
      {2, AttackLayout::kThree, {{11, 3}, {12, 3}}},
      {2, AttackLayout::kNone, {}},
      {0, AttackLayout::kNone, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " layout " +
                 std::to_string(static_cast<int>(c.layout)));
    const Outcome out = Play(2, c.type, 1, c.layout);
    std::map<int, int> hits;
    for (const auto& [name, anim] : out.hits) ++hits[anim];
    EXPECT_EQ(hits, c.hits);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  }
}

TEST(HeroineLayered, KindTwoHitsOutliveTheRoutineOnTheirOwnReference) {
  // Hit animations of 240 frames play on long after the context (and its sets) is given back;
  // they end by themselves and give their reference back (the end check counts the sets' users).
  const auto long_hits = [](AttackFixtures& f) {
    HeroineSets(f);
    std::vector<AttackAnim> effects(13);
    for (int n : {10, 11, 12}) effects[static_cast<size_t>(n)] = {.frames = 120, .ticks = 2};
    f.Slot(kAnmAttackEffect, effects);
  };
  for (int type : {0, 2}) {
    AttackCase row{.name = "davone_long_hits_type" + std::to_string(type), .kind = 2,
                   .type = type, .layout = AttackLayout::kThree, .routine = "Davone::NormalAttack",
                   .outlive = 300, .prefixes = {"Davone", "AutoPtnChg"}};
    row.fixtures = long_hits;
    const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    // Still playing when the routine ended.
    int ended_after = 0;
    for (const auto& line : out.lines) {
      if (line.text.rfind("task- AutoPtnChg:No", 0) == 0 && line.frame > out.state7_frame) {
        ++ended_after;
      }
    }
    EXPECT_EQ(ended_after, type == 2 ? 6 : 3);
  }
}

}  // namespace
