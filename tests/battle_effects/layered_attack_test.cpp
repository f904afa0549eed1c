// The layered-attack kit on its own: a test routine in kind 13's normal slot plays a form through
// RunLayeredAttack from its own attack context, and the harness checks the attack's end and what
// it gave back. The hero's forms and KadrunCountRunning are tested with his attacks
// (hero_test.cpp).

#include "battle_effects/layered_attack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_tables.h"
#include "battle_effects/attack_dispatch.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 13;

// What one call of the routine saw.
struct KitCall {
  uint32_t ms;
  uint8_t step_before;
  uint8_t step;
  int32_t running;
  uint8_t state;
};

// An object right after the start.
struct KitObject {
  bool from_body;
  uint8_t pattern;
  uint16_t attr;
  int16_t depth;
  uint8_t mode;
  uint32_t loop;
};

// What the test reads after the attack (the routine copies it out: its block goes with the rig).
struct KitRecord {
  std::vector<std::string> log;
  std::vector<KitCall> calls;
  std::vector<KitObject> objects;
  int16_t unit_depth = 0;
};

// The routine's work in the battle.
struct KitWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  LayeredAttack attack;
  bool started;
  int follow_calls;
};

KitWork& Kit() { return Battle().Extension<KitWork>(); }
// The form the routine plays, whether it refuses the objects, and where it records.
const LayeredForm* g_form = nullptr;
bool g_refuse_objects = false;
KitRecord* g_record = nullptr;

void Started(LayeredAttack& a) {
  g_record->log.push_back("started " + std::to_string(a.ctx->object_count));
}
void Each(LayeredAttack& /*a*/) {
  if (g_record->log.back() != "each") g_record->log.push_back("each");
}
int FollowUp(LayeredAttack& /*a*/) {
  KitWork& k = Kit();
  if (k.follow_calls++ == 0) g_record->log.push_back("follow-up");
  return k.follow_calls >= 5 ? 1 : 0;
}
void Finish(LayeredAttack& a) {
  g_record->log.push_back("finish in state " + std::to_string(a.unit->state) + " with " +
                          std::to_string(a.ctx->object_count) + " objects");
  FreeAttackCtx(a.ctx);
  a.ctx = nullptr;
}

void KitRoutine(SlgUnit& unit, SlgPair& pos) {
  KitWork& k = Kit();
  KitRecord& rec = *g_record;
  if (!k.started) {
    k.started = true;
    k.attack.ctx = CreateAttackCtx(unit);
    if (k.attack.ctx == nullptr) return;
    k.attack.user = &k;
    rec.unit_depth = unit.anm->depth;
  }
  BattleContext& b = Battle();
  if (g_refuse_objects) {
    b.alloc.refuse = [](uint32_t, size_t bytes) { return bytes == sizeof(SlgAnmObj); };
  }
  const uint8_t step = k.attack.step;
  RunLayeredAttack(k.attack, *g_form, unit, pos);
  b.alloc.refuse = nullptr;
  if (step == 0 && k.attack.step == 1) {
    SpxAnimeKind* spx = Scene().tamvik_spr.spx();
    for (int i = 0; i < k.attack.ctx->object_count; ++i) {
      const SlgAnmObj* obj = k.attack.ctx->objects[static_cast<size_t>(i)];
      const SpxAnimeBlock* block = spx->Block(obj->handle);
      rec.objects.push_back({obj->anims == k.attack.ctx->body_anims, obj->pattern, obj->attr,
                             obj->depth, obj->mode, block != nullptr ? block->loop : 99});
    }
  }
  rec.calls.push_back({TimelineNow(), step, k.attack.step, k.attack.running, unit.state});
}

// Plays kind 13's normal attack with the routine in its slot, the form given, facing `dir`.
AttackOutcome PlayKit(const LayeredForm& form, int dir,
                      const std::function<void(AttackFixtures&)>& fixtures, KitRecord& record,
                      bool refuse_objects = false) {
  g_form = &form;
  g_record = &record;
  g_refuse_objects = refuse_objects;
  AttackCase row{.name = "layered", .kind = kKind, .dir = dir, .hits = HitSignal::kNone};
  row.fixtures = fixtures;
  row.before = [](AttackRig& r) { r.dispatch().slots.kinds[kKind].normal = &KitRoutine; };
  AttackOutcome out = testsupport::PlayAttackCase(row);
  g_refuse_objects = false;
  return out;
}

// The first call that counted the objects out.
size_t CountedCall(const KitRecord& rec) {
  size_t i = 0;
  while (i < rec.calls.size() && (rec.calls[i].step_before != 1 || rec.calls[i].running > 0)) ++i;
  return i;
}

constexpr SlgAttackRow kTwoRows[] = {{{0, 1}, 0, 0}, {{2, 3}, -1, 0}};

TEST(LayeredAttack, TheBodyRuleWaitsForTheBodyThenTheFollowUpThenTheFinalWait) {
  static constexpr LayeredForm kForm{.rows = kTwoRows,
                                     .count = LayeredCount::kBody,
                                     .final_wait = 10,
                                     .started = &Started,
                                     .each = &Each,
                                     .follow_up = &FollowUp,
                                     .finish = &Finish};
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    KitRecord rec;
    const AttackOutcome out = PlayKit(kForm, dir, [](AttackFixtures& f) {
      f.Slot(kAnmAttackBody, 4, AttackAnim{.frames = 6, .ticks = 2});
    }, rec);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    // The body from the body set playing through, the effect from the effect set looping; the
    // direction's column and mirror; the row's depth offset.
    const int column = dir == 0 || dir == 3 ? 1 : 0;
    const uint16_t attr = dir >= 2 ? 16 : 0;
    ASSERT_EQ(rec.objects.size(), 2u);
    EXPECT_TRUE(rec.objects[0].from_body);
    EXPECT_FALSE(rec.objects[1].from_body);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(rec.objects[i].pattern, kTwoRows[i].anim[column]) << i;
      EXPECT_EQ(rec.objects[i].attr, attr) << i;
      EXPECT_EQ(rec.objects[i].depth, rec.unit_depth + kTwoRows[i].depth) << i;
    }
    EXPECT_EQ(rec.objects[0].mode, kSlgAnmOnce);
    EXPECT_EQ(rec.objects[0].loop, 0u);
    EXPECT_EQ(rec.objects[1].mode, 0);
    EXPECT_EQ(rec.objects[1].loop, 1u) << "the effect loops: the body rule does not wait for it";
    EXPECT_EQ(rec.log, (std::vector<std::string>{"started 2", "each", "follow-up",
                                                 "finish in state 6 with 0 objects"}));
    // The count drops with the body; the follow-up takes 5 calls; then 10 frames.
    const size_t counted = CountedCall(rec);
    ASSERT_LT(counted + 5, rec.calls.size());
    EXPECT_EQ(rec.calls[counted + 3].step, 2) << "still in the follow-up";
    const uint32_t followed = rec.calls[counted + 4].ms;
    EXPECT_EQ(rec.calls.back().state, 7);
    EXPECT_GE(FramesBetween(followed, rec.calls.back().ms), 10);
    EXPECT_LT(FramesBetween(followed, rec.calls[rec.calls.size() - 2].ms), 10);
  }
}

TEST(LayeredAttack, TheEveryObjectRuleWaitsForALongerEffectWithItsLoopSwitchedOff) {
  // One object facing 0 and 3, two facing 1 and 2; the effect plays from a looping start with its
  // loop switched off.
  static constexpr LayeredForm kForm{.rows = kTwoRows,
                                     .count_by_dir = {1, 2, 2, 1},
                                     .loop_off = LayeredBit(1),
                                     .count = LayeredCount::kEvery,
                                     .started = &Started,
                                     .finish = &Finish};
  const auto fixtures = [](AttackFixtures& f) {
    f.Slot(kAnmAttackBody, 4, AttackAnim{.frames = 2, .ticks = 2});
    f.Slot(kAnmAttackEffect, 4, AttackAnim{.frames = 10, .ticks = 3});
  };
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    KitRecord rec;
    const AttackOutcome out = PlayKit(kForm, dir, fixtures, rec);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    const size_t n = dir == 1 || dir == 2 ? 2 : 1;
    ASSERT_EQ(rec.objects.size(), n);
    EXPECT_EQ(rec.log.front(), "started " + std::to_string(n));
    // The body ends after 4 frames, the effect after 30; the attack ends with the last.
    const size_t counted = CountedCall(rec);
    ASSERT_LT(counted, rec.calls.size());
    const int32_t at = FramesBetween(rec.calls.front().ms, rec.calls[counted].ms);
    if (n == 2) {
      EXPECT_EQ(rec.objects[1].mode, 0);
      EXPECT_EQ(rec.objects[1].loop, 0u);
      EXPECT_GE(at, 30);
      EXPECT_LE(at, 31);
    } else {
      EXPECT_GE(at, 4);
      EXPECT_LE(at, 5);
    }
    EXPECT_EQ(rec.calls.back().state, 7);
    EXPECT_EQ(rec.calls.back().ms, rec.calls[counted].ms) << "no final wait";
  }
}

TEST(LayeredAttack, RefusedObjectsGiveTheContextBackAndEndTheAttack) {
  static constexpr LayeredForm kForm{.rows = kTwoRows, .started = &Started, .finish = &Finish};
  KitRecord rec;
  const AttackOutcome out = PlayKit(kForm, 1, {}, rec, true);
  // The harness finds every block and set given back.
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  EXPECT_TRUE(rec.objects.empty());
  EXPECT_EQ(rec.log, (std::vector<std::string>{"finish in state 6 with 0 objects"}));
  ASSERT_EQ(rec.calls.size(), 1u);
  EXPECT_EQ(rec.calls[0].state, 7);
}

}  // namespace
