// The common enemies' attacks on the attack rig: the routine table (objects, animations by
// direction, once flags, follow-up tasks, the end after the animations) for every routine and
// attack type; the KoumaF chain (the explosion's place, the shots' replayed paths, the landing,
// the hit batches, the counters, a clock that skips frames, types 1 and 3, no target); WakijiF's
// timed batches by mode; KoumaM's and WakijiM's per-target animations and their effects
// outliving the attack; and the family's smoke rows.

#include "battle_effects/common_enemy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/effect_position.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "tests/battle_effects/effect_test_support.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPx = 0x10000;

// The family's sets: every body animation `body` frames of one tick, every effect animation
// (0-11) `effect` frames; BASE_BODY (a type-3 attack's both sets) with 16 body-length ones.
void EnemySets(AttackFixtures& f, int body, int effect) {
  for (int slot : {kAnmAttackBody, kAnmSpecialBody}) {
    f.Slot(slot, 8, AttackAnim{.frames = body, .ticks = 1});
  }
  for (int slot : {kAnmAttackEffect, kAnmSpecialEffect}) {
    f.Slot(slot, 12, AttackAnim{.frames = effect, .ticks = 1});
  }
  f.Slot(kAnmBaseBody, 16, AttackAnim{.frames = body, .ticks = 1});
}

const char* RoutineOf(int kind) {
  switch (kind) {
    case 15: return "WakijiM::Attack";
    case 16: return "WakijiF::Attack";
    case 17:
    case 48: return "Enemy17Attack";
    case 18:
    case 49: return "KoumaM::Attack";
    case 19:
    case 50: return "KoumaF::Attack";
    default: return "EnemyNormalAttack";
  }
}

EnemyAttackWork& WorkOf(AttackRig& r, int kind) {
  BattleContext& b = r.rig().battle();
  switch (kind) {
    case 15: return b.Extension<WakijiMWork>();
    case 16: return b.Extension<WakijiFWork>();
    case 17: return b.Extension<Enemy17Work>();
    case 18: return b.Extension<KoumaMWork>();
    case 19: return b.Extension<KoumaFWork>();
    default: return b.Extension<EnemyNormalWork>();
  }
}

AttackCase Row(int kind, int type, int dir, AttackLayout layout, int body = 20, int effect = 10) {
  AttackCase row{.name = "enemy" + std::to_string(kind) + "_type" + std::to_string(type) + "_dir" +
                         std::to_string(dir),
                 .kind = kind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = RoutineOf(kind),
                 .frame_limit = 900,
                 .prefixes = {"KoumaF", "KoumaM", "WakijiF", "WakijiM"}};
  row.fixtures = [body, effect](AttackFixtures& f) { EnemySets(f, body, effect); };
  return row;
}

// The live effect task of that name (the first), or null.
SlgEffectTask* LiveTask(const char* name) {
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    if (t->deleted || t->function != &SlgTaskStep) continue;
    auto* rec = static_cast<SlgEffectTask*>(t->work);
    if (rec->name != nullptr && std::strcmp(rec->name, name) == 0) return rec;
  }
  return nullptr;
}
SlgAnmObj* TaskObj(SlgEffectTask* t) { return static_cast<SlgAnmObj*>(t->owned[1]); }

// The names of the effect tasks made ("task+ <name> <owner>"), in order.
std::vector<std::string> TasksMade(AttackRig& r) {
  std::vector<std::string> names;
  for (const std::string& line : r.trace().Filter({"task+ "})) {
    const size_t end = line.find(' ', 6);
    names.push_back(line.substr(6, end - 6));
  }
  return names;
}
int CountPrefix(const std::vector<std::string>& names, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      names.begin(), names.end(), [&](const std::string& n) { return n.rfind(prefix, 0) == 0; }));
}

// ---- The routine table ----

struct Anim {
  uint32_t anim;
  uint16_t attr;
  bool operator==(const Anim&) const = default;
};

// The rows as the routine table gives them: {animation for directions 1, 2; for 0, 3}.
std::vector<std::pair<uint32_t, uint32_t>> RowsOf(int kind, int type) {
  const bool critical = type == 2;
  switch (kind) {
    case 19: return {{0, 1}, {0, 1}};
    case 18:
      return critical ? std::vector<std::pair<uint32_t, uint32_t>>{{0, 3}, {0, 3}}
                      : std::vector<std::pair<uint32_t, uint32_t>>{{1, 2}, {1, 2}};
    case 17:
      return type == 0 || critical ? std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}, {0, 2}}
                                   : std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}};
    case 16:
      return critical ? std::vector<std::pair<uint32_t, uint32_t>>{{1, 3}, {4, 6}, {5, 7}}
                      : std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}, {0, 2}, {1, 3}};
    default:
      return critical ? std::vector<std::pair<uint32_t, uint32_t>>{{2, 3}, {2, 3}}
                      : std::vector<std::pair<uint32_t, uint32_t>>{{0, 1}, {0, 1}};
  }
}

std::vector<Anim> Expected(const std::vector<std::pair<uint32_t, uint32_t>>& rows, int dir) {
  std::vector<Anim> out;
  for (const auto& [a12, a03] : rows) {
    out.push_back({dir == 1 || dir == 2 ? a12 : a03, static_cast<uint16_t>(dir >= 2 ? 16 : 0)});
  }
  return out;
}

std::vector<Anim> AnimsOf(const SlgAttackCtx& ctx) {
  std::vector<Anim> out;
  for (int i = 0; i < ctx.object_count; ++i) {
    const SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
    out.push_back({obj->pattern, obj->attr});
  }
  return out;
}

struct Seen {
  std::vector<Anim> anims;      // at the start
  int16_t body_depth = 0;       // the unit's body depth
  std::vector<int16_t> depths;  // each object's less the body's
  std::vector<Anim> second;     // kinds 17: the second play (same objects)
  bool same_objects = false;
  int once_cleared = -1;           // object 1 at the body's end: 1 handle cleared, 0 kept ended
  int body_end = -1, state7 = -1;  // rig frames
};

Seen Observe(const AttackCase& row) {
  AttackRig r(row);
  r.Start();
  Seen s;
  EnemyAttackWork& w = WorkOf(r, row.kind);
  std::vector<SlgAnmObj*> objs;
  const auto each = [&] {
    if (r.attacker().state == kStateAfterAttack) {
      if (s.state7 < 0) s.state7 = r.frames();
      return;
    }
    if (w.ctx == nullptr || w.ctx->object_count == 0) return;
    const SlgAttackCtx& ctx = *w.ctx;
    if (s.anims.empty()) {
      s.anims = AnimsOf(ctx);
      for (int i = 0; i < ctx.object_count; ++i) {
        objs.push_back(ctx.objects[static_cast<size_t>(i)]);
        s.depths.push_back(static_cast<int16_t>(ctx.objects[static_cast<size_t>(i)]->depth -
                                                r.attacker().anm->depth));
      }
    }
    if (s.body_end < 0 && SlgAnmObjIsEnd(ctx.objects[0]) != 0) {
      s.body_end = r.frames();
      if (ctx.object_count > 1) {
        const SlgAnmObj* one = ctx.objects[1];
        s.once_cleared = one->handle == nullptr                              ? 1
                         : Scene().tamvik_spr.spx()->IsEnd(one->handle) != 0 ? 0
                                                                             : -1;
      }
    }
    if (row.kind == 17 && w.follow == 1 && s.second.empty()) {
      s.second = AnimsOf(ctx);
      s.same_objects = objs == std::vector<SlgAnmObj*>(ctx.objects.begin(),
                                                       ctx.objects.begin() + ctx.object_count);
    }
  };
  const std::vector<std::string> failures = PlayToEnd(r, row, each);
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  return s;
}

// Every routine but the two with their own timelines: objects, rows by direction, depths, once
// flags and the frames from the body's end to state 7.
void RoutineTable(int kind, int type) {
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("kind " + std::to_string(kind) + " type " + std::to_string(type) + " dir " +
                 std::to_string(dir));
    const Seen s = Observe(Row(kind, type, dir, AttackLayout::kFront));
    EXPECT_EQ(s.anims, Expected(RowsOf(kind, type), dir));
    if (kind == 16) {
      EXPECT_EQ(s.depths, (std::vector<int16_t>{0, -4, 4}));
    } else {
      EXPECT_EQ(s.depths, std::vector<int16_t>(s.anims.size(), 0));
    }
    if (s.anims.size() > 1 && type != 3) {
      // WakijiF and the shared normal attack clear object 1's handle at its end; the others
      // keep it, ended, looping off. (Type 3 plays body and effects from one set, of one
      // length: the effect has not ended before the body.)
      EXPECT_EQ(s.once_cleared, kind == 16 || kind == 14 ? 1 : 0);
    }
    // The animations step after the units' updates: the end is seen one frame before the
    // routine counts it.
    int after = 1;
    if (kind == 15) after += 30;
    if (kind == 17 && type == 2) {
      // The second play: {1, 3} on the same objects, counted to its own end.
      EXPECT_TRUE(s.same_objects);
      EXPECT_EQ(s.second, Expected({{1, 3}, {1, 3}}, dir));
      after += 21;
    }
    // WakijiF's and KoumaF's ends have their own tests below.
    if (kind != 16 && kind != 19) {
      EXPECT_NEAR(s.state7 - s.body_end, after, 1);
    }
  }
}

// One test per routine and attack type (kind, type), so that they run side by side.
std::vector<std::pair<int, int>> KindsAndTypes(std::initializer_list<int> kinds) {
  std::vector<std::pair<int, int>> out;
  for (int kind : kinds) {
    for (int type = 0; type < 4; ++type) out.emplace_back(kind, type);
  }
  return out;
}
std::string KindTypeName(const testing::TestParamInfo<std::pair<int, int>>& info) {
  return "Kind" + std::to_string(info.param.first) + "Type" + std::to_string(info.param.second);
}

class CommonEnemyTable : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(CommonEnemyTable, ObjectsRowsAndTheEnd) {
  RoutineTable(GetParam().first, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Routines, CommonEnemyTable,
                         testing::ValuesIn(KindsAndTypes({14, 15, 16, 17, 18, 19})), KindTypeName);

// The follow-up tasks each routine starts, by attack type, on one target.
class CommonEnemyFollowUps : public testing::TestWithParam<int> {};

TEST_P(CommonEnemyFollowUps, TasksByType) {
  struct Case {
    int kind;
    std::vector<std::vector<std::string>> by_type;  // the distinct task names made, types 0-3
  };
  const std::vector<std::string> none;
  const std::vector<Case> cases = {
      {14, {none, none, none, none}},
      {17, {none, none, none, none}},
      {18, {{"KoumaM::Effect0"}, none, {"KoumaM::Effect0"}, none}},
      {15, {{"WakijiM::Effect0"}, none, {"WakijiM::Effect0"}, none}},
      {16,
       {{"WakijiF::Effect0"}, {"WakijiF::Effect0"}, {"WakijiF::Effect0"}, {"WakijiF::Effect0"}}},
  };
  for (const Case& c : cases) {
    if (c.kind != GetParam()) continue;
    for (int type = 0; type < 4; ++type) {
      SCOPED_TRACE("kind " + std::to_string(c.kind) + " type " + std::to_string(type));
      const AttackCase row = Row(c.kind, type, 1, AttackLayout::kFront);
      AttackRig r(row);
      r.Start();
      const std::vector<std::string> failures = PlayToEnd(r, row);
      EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
      std::vector<std::string> made = TasksMade(r);
      made.erase(std::remove_if(made.begin(), made.end(),
                                [&](const std::string& n) {
                                  return std::none_of(
                                      row.prefixes.begin(), row.prefixes.end(),
                                      [&](const std::string& p) { return n.rfind(p, 0) == 0; });
                                }),
                 made.end());
      std::vector<std::string> distinct = made;
      distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
      EXPECT_EQ(distinct, c.by_type[static_cast<size_t>(type)]);
      if (c.kind == 16) {
        // Type 2: three first-body batches and a second; type 0 one and a second; 1 and 3 one.
        const int batches[] = {2, 1, 4, 1};
        EXPECT_EQ(static_cast<int>(made.size()), batches[type]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Routines, CommonEnemyFollowUps, testing::Values(14, 15, 16, 17, 18));

// ---- KoumaF's chain ----

struct Chain {
  SlgPair sky{};
  int16_t sky_depth = 0;
  int sky_anim_before = -1;        // the explosion's frame on the frame before the shots came
  std::map<int, SlgPair> shot1;    // shot 1's frames -> its position
  std::vector<int> ground_frames;  // the rig frame each ground explosion was made
  std::vector<SlgPair> ground;     // and its place
  int hits_made = 0, hits_ended = 0;
  int hit_count = -1, hits_recorded = -1;  // the work's counters at the end
  int state7 = -1, last_chain_end = -1;
  std::vector<std::string> failures;
};

Chain PlayChain(int type, AttackLayout layout, uint32_t step_ms = 0) {
  AttackCase row = Row(19, type, 1, layout);
  row.step_ms = step_ms;
  AttackRig r(row);
  r.Start();
  Chain c;
  int sky_anim = -1;
  std::vector<bool> ground_seen(kKoumaShots, false);
  c.ground.resize(kKoumaShots);
  c.ground_frames.resize(kKoumaShots, -1);
  const auto each = [&] {
    if (SlgEffectTask* sky = LiveTask("KoumaF::JoukuBakuhatu")) {
      const SlgAnmObj* obj = TaskObj(sky);
      c.sky = {obj->x, obj->y};
      c.sky_depth = obj->depth;
      if (c.sky_anim_before < 0 && LiveTask("KoumaF::Tama0") != nullptr) {
        c.sky_anim_before = sky_anim;
      }
      sky_anim = AnmFrameOf(obj);
    }
    if (SlgEffectTask* shot = LiveTask("KoumaF::Tama1"); shot != nullptr && shot->phase == 0) {
      c.shot1[shot->frames] = {TaskObj(shot)->x, TaskObj(shot)->y};
    }
    for (int i = 0; i < kKoumaShots; ++i) {
      const std::string name = "KoumaF::Tama" + std::to_string(i) + "ChijouBakuhatsu";
      if (SlgEffectTask* g = LiveTask(name.c_str()); g != nullptr && !ground_seen[i]) {
        ground_seen[i] = true;
        c.ground[i] = {TaskObj(g)->x, TaskObj(g)->y};
        c.ground_frames[i] = r.frames();
      }
    }
    if (c.state7 < 0 && r.attacker().state == kStateAfterAttack) c.state7 = r.frames();
  };
  c.failures = PlayToEnd(r, row, each);
  for (const testsupport::AttackTraceLine& line : r.trace().lines()) {
    if (line.text.rfind("task+ KoumaF::Hit", 0) == 0) ++c.hits_made;
    if (line.text.rfind("task- KoumaF::Hit", 0) == 0) ++c.hits_ended;
    if (line.text.rfind("task- KoumaF", 0) == 0) c.last_chain_end = line.frame;
  }
  const KoumaFWork& w = r.rig().battle().Extension<KoumaFWork>();
  c.hit_count = w.hit_count;
  c.hits_recorded = w.hits_made;
  return c;
}

// The targets' mean drawing position, raised 176 pixels, and the first target's depth - 10.
std::pair<SlgPair, int16_t> SkyPlace(AttackRig& r) {
  int64_t x = 0, y = 0;
  for (uint8_t slot : r.targets()) {
    const SlgUnit& u = r.rig().battle().state.units[slot];
    const SlgPair at = Slg::PosToScreen({u.x, u.y});
    x += at.x;
    y += at.y;
  }
  const int64_t n = static_cast<int64_t>(r.targets().size());
  const SlgUnit& first = r.rig().battle().state.units[r.targets()[0]];
  return {{static_cast<int32_t>(x / n), static_cast<int32_t>(y / n - 176 * kPx)},
          static_cast<int16_t>(first.anm->depth - 10)};
}

TEST(KoumaFChain, ThreeTargetsTheExplosionTheShotsTheLandingAndTheHits) {
  // The place the explosion must take, from the board's three targets.
  std::pair<SlgPair, int16_t> place;
  {
    AttackRig r(Row(19, 0, 1, AttackLayout::kThree));
    place = SkyPlace(r);
  }
  EXPECT_EQ(KoumaLandingFrame(), 38);  // 0.25 x 38 x 39 / 2 = 185.25 >= 176 > 175.75
  for (int type : {0, 2}) {
    SCOPED_TRACE("type " + std::to_string(type));
    const Chain c = PlayChain(type, AttackLayout::kThree);
    EXPECT_TRUE(c.failures.empty()) << testing::PrintToString(c.failures);
    EXPECT_EQ(c.sky.x, place.first.x);
    EXPECT_EQ(c.sky.y, place.first.y);
    EXPECT_EQ(c.sky_depth, place.second);
    // The shots come on the explosion's frame 5 (the frame the explosion saw: the animation
    // steps after the tasks have run).
    EXPECT_EQ(c.sky_anim_before, 5);
    // Shot 1 (dx 0.75, g 0.1875): 10 frames: 7.5 px across, 0.1875 x 55 down; 20: 15, x 210.
    ASSERT_TRUE(c.shot1.count(10) == 1 && c.shot1.count(20) == 1);
    EXPECT_EQ(c.shot1.at(10).x - c.sky.x, 7 * kPx + kPx / 2);
    EXPECT_EQ(c.shot1.at(10).y - c.sky.y, 10 * kPx + kPx * 5 / 16);
    EXPECT_EQ(c.shot1.at(20).x - c.sky.x, 15 * kPx);
    EXPECT_EQ(c.shot1.at(20).y - c.sky.y, 39 * kPx + kPx * 3 / 8);
    // All four land on frame 38 of their flight, on the same rig frame.
    for (int i = 0; i < kKoumaShots; ++i) {
      EXPECT_EQ(c.ground_frames[i], c.ground_frames[0]);
      const SlgPair landed = KoumaShotAt(i, c.sky, 38);
      EXPECT_EQ(c.ground[i].x, landed.x) << "shot " << i;
      EXPECT_EQ(c.ground[i].y, landed.y) << "shot " << i;
    }
    EXPECT_EQ(c.ground[0].y - c.sky.y, 185 * kPx + kPx / 4);
    // Four hit sequences x 4 batches (type 2: 8) x 3 targets, each ended once by itself.
    const int hits = 4 * (type == 2 ? 8 : 4) * 3;
    EXPECT_EQ(c.hits_made, hits);
    EXPECT_EQ(c.hits_recorded, hits);
    EXPECT_EQ(c.hits_ended, hits);
    EXPECT_EQ(c.hit_count, 0);
    // The attack ends once the chain has (the done flag and its last task).
    EXPECT_GE(c.state7, c.last_chain_end);
  }
}

TEST(KoumaFChain, AClockThatSkipsFramesLandsTheShotsOnTheSameFrameAndPlaces) {
  const Chain even = PlayChain(0, AttackLayout::kThree);
  const Chain skipping = PlayChain(0, AttackLayout::kThree, 50);
  EXPECT_TRUE(skipping.failures.empty()) << testing::PrintToString(skipping.failures);
  EXPECT_EQ(skipping.sky.x, even.sky.x);
  EXPECT_EQ(skipping.sky.y, even.sky.y);
  for (int i = 0; i < kKoumaShots; ++i) {
    EXPECT_EQ(skipping.ground_frames[i], skipping.ground_frames[0]);
    EXPECT_EQ(skipping.ground[i].x, even.ground[i].x) << "shot " << i;
    EXPECT_EQ(skipping.ground[i].y, even.ground[i].y) << "shot " << i;
  }
  // The shot's path seen at the frames the slow clock showed is the replayed one.
  for (const auto& [frames, at] : skipping.shot1) {
    EXPECT_EQ(at.x, KoumaShotAt(1, skipping.sky, frames).x) << frames;
    EXPECT_EQ(at.y, KoumaShotAt(1, skipping.sky, frames).y) << frames;
  }
  EXPECT_EQ(skipping.hits_made, even.hits_made);
  EXPECT_EQ(skipping.hit_count, 0);
}

TEST(KoumaFChain, TypesZeroOneAndThree) {
  struct Case {
    int type;
    int hits;  // on one target
  };
  // Type 1 is bounded like type 0; type 3 lands and ends without hit marks.
  for (const Case& k : {Case{0, 16}, Case{1, 16}, Case{3, 0}}) {
    SCOPED_TRACE("type " + std::to_string(k.type));
    const Chain c = PlayChain(k.type, AttackLayout::kFront);
    EXPECT_TRUE(c.failures.empty()) << testing::PrintToString(c.failures);
    EXPECT_EQ(c.hits_made, k.hits);
    EXPECT_EQ(c.hits_ended, k.hits);
    for (int i = 0; i < kKoumaShots; ++i) {
      EXPECT_GE(c.ground_frames[i], 0) << "shot " << i;
    }
    // The attack ends on the frame after the chain's last task (type 3: the ground explosions).
    EXPECT_NEAR(c.state7 - c.last_chain_end, 1, 1);
  }
}

TEST(KoumaFChain, NoTargetPutsTheExplosionAboveTheAttacker) {
  const AttackCase row = Row(19, 0, 1, AttackLayout::kNone);
  AttackRig r(row);
  r.Start();
  SlgPair sky{};
  int16_t depth = 0;
  const auto each = [&] {
    if (SlgEffectTask* t = LiveTask("KoumaF::JoukuBakuhatu")) {
      sky = {TaskObj(t)->x, TaskObj(t)->y};
      depth = TaskObj(t)->depth;
    }
  };
  const std::vector<std::string> failures = PlayToEnd(r, row, each);
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  const SlgUnit& a = r.attacker();
  const SlgPair at = Slg::PosToScreen({a.x, a.y});
  EXPECT_EQ(sky.x, at.x);
  EXPECT_EQ(sky.y, at.y - 176 * kPx);
  EXPECT_EQ(depth, a.anm->depth - 10);
  EXPECT_EQ(CountPrefix(TasksMade(r), "KoumaF::Hit"), 0);
  // Four shots, their ground explosions and hit sequences.
  EXPECT_EQ(CountPrefix(TasksMade(r), "KoumaF::Tama"), 12);
}

// Every routine with no target: no per-target task or object, state 7.
TEST(CommonEnemyNoTarget, EveryRoutineEndsWithoutPerTargetEffects) {
  for (int kind : {14, 15, 16, 17, 18}) {
    for (int type : {0, 2}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + " type " + std::to_string(type));
      const AttackCase row = Row(kind, type, 1, AttackLayout::kNone);
      AttackRig r(row);
      r.Start();
      int target_objects = -1;
      const auto each = [&] {
        if (kind == 14 && target_objects < 0 && WorkOf(r, kind).ctx != nullptr) {
          target_objects = r.rig().battle().Extension<EnemyNormalWork>().target_objects;
        }
      };
      const std::vector<std::string> failures = PlayToEnd(r, row, each);
      EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
      EXPECT_EQ(CountPrefix(TasksMade(r), "WakijiF::Effect"), 0);
      EXPECT_EQ(CountPrefix(TasksMade(r), "WakijiM::Effect"), 0);
      EXPECT_EQ(CountPrefix(TasksMade(r), "KoumaM::Effect"), 0);
      if (kind == 14) {
        EXPECT_EQ(target_objects, 0);
      }
    }
  }
}

// ---- WakijiF's timed batches ----

TEST(WakijiFBatches, ByModeTheFirstBodyTimesTheSecondBodyAndTheEnd) {
  struct Case {
    int type;
    int body;                // frames of the body animation
    std::vector<int> first;  // first-body batches, frames since the objects' start
    bool second;
  };
  const Case cases[] = {
      {2, 4, {144, 162, 180}, true},  // mode 1, after the body's end
      {0, 100, {54}, true},           // mode 0, while the body still plays
      {1, 20, {54}, false},           // mode 2
      {3, 20, {54}, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE("type " + std::to_string(k.type));
    const AttackCase row = Row(16, k.type, 1, AttackLayout::kThree, k.body, 10);
    AttackRig r(row);
    r.Start();
    int state7 = -1, body_end = -1;
    const auto each = [&] {
      const WakijiFWork& w = r.rig().battle().Extension<WakijiFWork>();
      if (body_end < 0 && w.ctx != nullptr && w.ctx->object_count > 0 &&
          SlgAnmObjIsEnd(w.ctx->objects[0]) != 0) {
        body_end = r.frames();
      }
      if (state7 < 0 && r.attacker().state == kStateAfterAttack) state7 = r.frames();
    };
    const std::vector<std::string> failures = PlayToEnd(r, row, each);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    const WakijiFWork& w = r.rig().battle().Extension<WakijiFWork>();
    // The batches: the frames each first task ("...Effect0") was made at; then the ends.
    std::vector<int> made;
    std::vector<int> made_frames;
    int last_end = -1, effects = 0;
    for (const testsupport::AttackTraceLine& line : r.trace().lines()) {
      if (line.text.rfind("task+ WakijiF::Effect0 ", 0) == 0) {
        made.push_back(FramesBetween(w.start_ms, line.ms));
        made_frames.push_back(line.frame);
      }
      if (line.text.rfind("task+ WakijiF::Effect", 0) == 0) ++effects;
      if (line.text.rfind("task- WakijiF::Effect", 0) == 0) last_end = line.frame;
    }
    const size_t batches = k.first.size() + (k.second ? 1 : 0);
    ASSERT_EQ(made.size(), batches);
    EXPECT_EQ(effects, static_cast<int>(batches) * 3);  // one per target
    for (size_t i = 0; i < k.first.size(); ++i) {
      EXPECT_NEAR(made[i], k.first[i], 1) << i;
    }
    EXPECT_EQ(w.batches, static_cast<int>(k.first.size()));
    EXPECT_EQ(w.first_count, 0);
    EXPECT_EQ(w.second_count, 0);
    // 30 frames after the last effect or the body, whichever ended last.
    EXPECT_NEAR(state7 - std::max(last_end, body_end), 31, 1);
  }
}

// ---- KoumaM's and WakijiM's per-target effects ----

class PerTargetEffects : public testing::TestWithParam<int> {};

TEST_P(PerTargetEffects, AnimationByDirectionAndType) {
  const int kind = GetParam();
  for (int type : {0, 2}) {
    for (int dir = 0; dir < 4; ++dir) {
      SCOPED_TRACE("kind " + std::to_string(kind) + " type " + std::to_string(type) + " dir " +
                   std::to_string(dir));
      AttackCase row = Row(kind, type, kind == 18 ? dir : 1, AttackLayout::kFront);
      // WakijiM reads the target's direction.
      if (kind == 15) {
        row.before = [dir](AttackRig& r) {
          r.rig().battle().state.units[r.targets()[0]].dir = static_cast<uint8_t>(dir);
        };
      }
      AttackRig r(row);
      if (row.before) row.before(r);
      r.Start();
      Anim seen{99, 99};
      int target_dir = -1;
      const char* name = kind == 18 ? "KoumaM::Effect0" : "WakijiM::Effect0";
      const auto each = [&] {
        SlgEffectTask* t = LiveTask(name);
        if (t != nullptr && seen.anim == 99 && TaskObj(t) != nullptr) {
          seen = {TaskObj(t)->pattern, TaskObj(t)->attr};
          target_dir = r.rig().battle().state.units[r.targets()[0]].dir;
        }
      };
      const std::vector<std::string> failures = PlayToEnd(r, row, each);
      EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
      Anim expected{};
      if (kind == 18) {
        const uint32_t normal[] = {5, 4, 4, 5};
        const uint32_t critical[] = {7, 6, 6, 7};
        expected = {(type == 2 ? critical : normal)[dir], static_cast<uint16_t>(dir >= 2 ? 16 : 0)};
      } else {
        ASSERT_EQ(target_dir, dir);
        const bool side = dir == 1 || dir == 2;
        expected = {type == 2 ? (side ? 5u : 7u) : (side ? 4u : 6u), 0};
      }
      EXPECT_EQ(seen, expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(KoumaMAndWakijiM, PerTargetEffects, testing::Values(18, 15));

TEST(PerTargetOutlive, TheEffectsOutliveTheAttackAndGiveTheirSetsBack) {
  for (int kind : {18, 15}) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    AttackCase row = Row(kind, 0, 1, AttackLayout::kThree, 8, 60);
    row.outlive = 90;
    const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    int last_end = -1;
    for (const testsupport::AttackTraceLine& line : out.lines) {
      if (line.text.rfind("task- ", 0) == 0 && line.text.find("::Effect") != std::string::npos) {
        last_end = line.frame;
      }
    }
    EXPECT_GT(last_end, out.state7_frame);
  }
}

// ---- The smoke table ----

// One kind, attack type and part: part 0-3 the direction, with 0, 1 and 3 targets (`full`), or,
// for a kind that shares its routine with one played in full, one of the three in turn; part 4 the
// short-animation (on a slow clock) and missing-slot variants.
void SmokeRows(int kind, int type, int part, bool full) {
  const AttackLayout layouts[] = {AttackLayout::kNone, AttackLayout::kFront, AttackLayout::kThree};
  if (part < 4) {
    const int dir = part;
    for (int l = 0; l < 3; ++l) {
      if (!full && l != (type + dir) % 3) continue;
      AttackCase row = Row(kind, type, dir, layouts[l]);
      row.name += "_" + std::to_string(l);
      row.hits = HitSignal::kNone;
      testsupport::ExpectAttackCase(row);
    }
    return;
  }
  for (auto variant : {AttackFixtures::Variant::kTwoFrames, AttackFixtures::Variant::kMissingSlot}) {
    AttackCase row = Row(kind, type, 1, AttackLayout::kThree);
    row.name += variant == AttackFixtures::Variant::kTwoFrames ? "_short" : "_missing";
    row.fixtures = [variant, type](AttackFixtures& f) {
      EnemySets(f, 20, 10);
      f.Apply(variant, type);
    };
    row.step_ms = variant == AttackFixtures::Variant::kTwoFrames ? 50 : 0;
    testsupport::ExpectAttackCase(row);
  }
}

// One test per kind, type and part (kind, type, part), so that they run side by side.
using SmokeParam = std::tuple<int, int, int>;
class CommonEnemySmoke : public testing::TestWithParam<SmokeParam> {};

TEST_P(CommonEnemySmoke, Rows) {
  const auto [kind, type, part] = GetParam();
  SmokeRows(kind, type, part, kind >= 14 && kind <= 19);
}

std::string SmokeName(const testing::TestParamInfo<SmokeParam>& info) {
  const auto [kind, type, part] = info.param;
  return "Kind" + std::to_string(kind) + "Type" + std::to_string(type) +
         (part < 4 ? "Dir" + std::to_string(part) : std::string("Variants"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CommonEnemySmoke,
    testing::Combine(testing::Values(14, 15, 16, 17, 18, 19, 34, 35, 48, 49, 50),
                     testing::Range(0, 4), testing::Range(0, 5)),
    &SmokeName);

class CommonEnemyAction : public testing::TestWithParam<int> {};

TEST_P(CommonEnemyAction, EveryTypeOnTheBattleActionTask) {
  const int kind = GetParam();
  for (int type = 0; type < 4; ++type) {
    AttackCase row = Row(kind, type, 1, AttackLayout::kFront);
    row.name = "action_" + row.name;
    row.road = testsupport::AttackRoad::kAction;
    row.hits = HitSignal::kNone;
    testsupport::ExpectAttackCase(row);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CommonEnemyAction,
                         testing::Values(14, 15, 16, 17, 18, 19, 34, 35, 48, 49, 50));

}  // namespace
