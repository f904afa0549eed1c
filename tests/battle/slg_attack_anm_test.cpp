// The attack animation pieces: attack row lists by direction, the running-animation counts, and
// the self-ending one-shot animations (names, ends, scroll following, unit sets, scatter).

#include "battle/slg_attack_anm.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_spawn.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/game_task.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::OnCell;
using testsupport::SlgTableWriter;
using testsupport::UnitAnmWriter;

constexpr int32_t kPx = 0x10000;
constexpr int kKind = 1;
constexpr int kAttackBody = 5;
constexpr int kAttackEffect = 6;
// Pattern 2 is one frame of 8 ticks (ends after a few frames); patterns 0 and 1 run 16 ticks.
constexpr uint32_t kShort = 2;
constexpr uint32_t kLong = 0;

// A rig with kind 1's base and attack sets written and the tables loaded; body and effect hold
// one reference each for the test.
struct AnmRig {
  AnmRig() {
    SlgTableWriter tables;
    UnitAnmWriter(kKind).Slots({0, 4, kAttackBody, kAttackEffect}).ExtraPatterns(2)
        .Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    ctx.body_anims = GetUnitAnm(kKind, kAttackBody);
    ctx.effect_anims = GetUnitAnm(kKind, kAttackEffect);
  }
  ~AnmRig() {
    ReleaseUnitAnm(&ctx.body_anims);
    ReleaseUnitAnm(&ctx.effect_anims);
  }
  SlgAnmObj* Obj(int16_t depth = 0) {
    objs.push_back(SlgAnmObj{});
    objs.back().depth = depth;
    return &objs.back();
  }
  void FreeObjs() {
    for (SlgAnmObj& o : objs) Scene().tamvik_spr.ReleaseAnm(&o.handle);
  }
  BattleRig rig;
  SlgAttackCtx ctx{};
  std::deque<SlgAnmObj> objs;  // stable addresses
};

TEST(PlayAttackAnms, ColumnAttributeDepthAndSetByDirection) {
  struct Case {
    int dir;
    int column;
    uint16_t attr;
  };
  const Case cases[] = {{0, 1, 0}, {1, 0, 0}, {2, 0, 16}, {3, 1, 16}, {7, 0, 0}};
  const SlgAttackRow rows[3] = {{{2, 3}, 5, 99}, {{4, 5}, -3, 99}, {{0, 1}, 0, 99}};
  for (const Case& c : cases) {
    SCOPED_TRACE("direction " + std::to_string(c.dir));
    AnmRig r;
    SlgAnmObj* objs[3] = {r.Obj(10), r.Obj(20), r.Obj(30)};
    objs[1]->mode = kSlgAnmOnce;  // the list sets every object's mode byte
    PlayAttackAnms(objs, rows, 3, c.dir, r.ctx, 4);
    const int16_t depths[3] = {15, 17, 30};
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE("object " + std::to_string(i));
      EXPECT_NE(objs[i]->handle, nullptr);
      EXPECT_EQ(objs[i]->pattern, rows[i].anim[c.column]);
      EXPECT_EQ(objs[i]->attr, c.attr);
      EXPECT_EQ(objs[i]->depth, depths[i]);
      EXPECT_EQ(objs[i]->anims, i == 0 ? r.ctx.body_anims : r.ctx.effect_anims);
      EXPECT_EQ(objs[i]->mode, i == 0 ? kSlgAnmOnce : 0);
    }
    // The one-object form is the effect form.
    SlgAnmObj* one = r.Obj(0);
    one->mode = kSlgAnmOnce;
    PlayAttackAnm(one, rows[1], c.dir, r.ctx, 4);
    EXPECT_EQ(one->anims, r.ctx.effect_anims);
    EXPECT_EQ(one->pattern, rows[1].anim[c.column]);
    EXPECT_EQ(one->attr, c.attr);
    EXPECT_EQ(one->depth, -3);
    EXPECT_EQ(one->mode, 0);
    r.FreeObjs();
  }
}

TEST(CountRunningAnms, BodyEndEffectEndModeBitAndMissingAnimation) {
  AnmRig r;
  SlgAnmObj* objs[5] = {r.Obj(), r.Obj(), r.Obj(), r.Obj(), r.Obj()};
  const SlgAttackRow rows[5] = {{{kShort, kShort}, 0, 0}, {{kLong, kLong}, 0, 0},
                                {{kShort, kShort}, 0, 0}, {{kShort, kShort}, 0, 0},
                                {{kShort, kShort}, 0, 0}};
  PlayAttackAnms(objs, rows, 5, 1, r.ctx, 4);
  // 1 loops (never ends); 2 plays once by the engine's test; 3 once with mode bit 0 (the
  // sprite-file test); 4 has no animation.
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  spx->SetLoop(objs[2]->handle, 0);
  spx->SetLoop(objs[3]->handle, 0);
  objs[3]->mode = kSlgAnmOnce;
  Scene().tamvik_spr.ReleaseAnm(&objs[4]->handle);
  objs[1]->x = 7 * kPx;
  EXPECT_EQ(CountRunningAnms(objs, 5), 4) << "only the missing animation is out at first";
  int x = 0, y = 0;
  spx->GetSpxPos(objs[1]->handle, &x, &y);
  EXPECT_EQ(x, 7 + 320) << "each object's sprite is put at its position";
  r.rig.Run(12);
  EXPECT_EQ(CountRunningAnms(objs, 5), 1) << "the body, both once-played effects and the missing one";
  EXPECT_EQ(objs[0]->state, kSlgAnmStateEnded);
  EXPECT_EQ(objs[2]->state, kSlgAnmStateEnded);
  EXPECT_EQ(objs[3]->state, kSlgAnmStateEnded);
  EXPECT_EQ(objs[4]->state, 0) << "a missing animation counts out without the ended mark";
  EXPECT_EQ(objs[1]->state, 0);
  r.FreeObjs();
}

TEST(CountRunningAttackAnms, ZeroOnceTheBodyEndsWhateverTheEffectsDo) {
  AnmRig r;
  SlgAnmObj* objs[3] = {r.Obj(), r.Obj(), r.Obj()};
  const SlgAttackRow rows[3] = {{{kShort, kShort}, 0, 0}, {{kLong, kLong}, 0, 0},
                                {{kLong, kLong}, 0, 0}};
  PlayAttackAnms(objs, rows, 3, 0, r.ctx, 4);
  for (int i = 0; i < 3; ++i) r.ctx.objects[static_cast<size_t>(i)] = objs[i];
  r.ctx.object_count = 3;
  EXPECT_EQ(CountRunningAttackAnms(r.ctx), 3);
  r.rig.Run(12);
  EXPECT_EQ(CountRunningAnms(objs, 3), 2) << "the looping effects still run";
  EXPECT_EQ(CountRunningAttackAnms(r.ctx), 0);
  EXPECT_EQ(objs[0]->state, kSlgAnmStateEnded);
  r.FreeObjs();
}

}  // namespace

namespace {

TEST(DamageListHelpers, FindMarkAndHideObjectsStopAtTheListEnd) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  const uint8_t kinds[] = {14, 38, 46, 47, 40, 37};
  for (int i = 0; i < 6; ++i)
    board.AddUnit(OnCell(2 + i, 20, {.side = 1, .character = 20, .kind = kinds[i]}));
  for (int i = 0; i < 6; ++i) Battle().state.units[static_cast<size_t>(i)].flags |= kUnitShown;
  // Listed: 1, 3, 5, 0; slot 4 (kind 40) stands after the end and is not listed.
  const int8_t list[] = {1, 3, 5, 0, -1, 4};
  Battle().targets.fill(-1);
  for (size_t i = 0; i < std::size(list); ++i) Battle().targets[i] = list[i];

  const struct {
    int slot, index;
  } finds[] = {{1, 0}, {3, 1}, {5, 2}, {0, 3}, {4, -1}, {2, -1}, {-1, -1}, {70, -1}};
  for (const auto& f : finds) EXPECT_EQ(FindTargetSlot(f.slot), f.index) << "slot " << f.slot;

  MarkTargetsFlag4();
  HideTargetObjects();
  const struct {
    bool hit_now, shown;
  } want[] = {{true, true}, {true, false}, {false, true}, {true, true}, {false, true}, {true, true}};
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE("slot " + std::to_string(i));
    const uint32_t flags = Battle().state.units[i].flags;
    EXPECT_EQ((flags & kUnitHitNow) != 0, want[i].hit_now);
    EXPECT_EQ((flags & kUnitShown) != 0, want[i].shown) << "kinds 38-46 in the list are hidden";
  }
}

}  // namespace

namespace {

SlgEffectTask* TaskNamed(const std::string& name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
  return rec != nullptr ? static_cast<SlgEffectTask*>(rec->work) : nullptr;
}
SlgAnmObj* ObjOf(SlgEffectTask* task) { return static_cast<SlgAnmObj*>(task->owned[0]); }
SlgPair SpritePos(SlgEffectTask* task) {
  int x = 0, y = 0;
  Scene().tamvik_spr.spx()->GetSpxPos(ObjOf(task)->handle, &x, &y);
  return {x, y};
}

TEST(OneShots, RunningNumbersEndsAndFreeing) {
  AnmRig r;
  const int64_t live = Battle().alloc.live;
  SprAnm* set = r.ctx.effect_anims;
  SlgEffectTask* a = AutoPtnChg(kShort, {100 * kPx, 100 * kPx}, 3, 0, set, 4);
  SlgEffectTask* b = AutoPtnChg(kShort, {100 * kPx, 100 * kPx}, 3, 16, set, 4);
  SlgEffectTask* c = AutoPtnChg2(kShort, {0, 0}, 3, 0, set, 4);
  SlgEffectTask* unloaded = AutoPtnChg2(kShort, {0, 0}, 3, 0, nullptr, 4);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  ASSERT_NE(unloaded, nullptr);
  EXPECT_STREQ(a->name, "AutoPtnChg:No0");
  EXPECT_STREQ(b->name, "AutoPtnChg:No1");
  EXPECT_STREQ(c->name, "AutoPtnChg2:No0");
  EXPECT_STREQ(unloaded->name, "AutoPtnChg2:No1");
  EXPECT_EQ(ObjOf(b)->attr, 16);
  EXPECT_EQ(ObjOf(b)->depth, 3);
  EXPECT_NE(ObjOf(a)->handle, nullptr);

  r.rig.Step();
  EXPECT_EQ(SlgTaskIsAlive(unloaded), 0) << "a set not loaded: ended on its first frame";
  EXPECT_EQ(SlgTaskIsAlive(a), 1);
  ASSERT_TRUE(r.rig.RunUntil("the one-shots ended", [&] {
    return SlgTaskIsAlive(a) + SlgTaskIsAlive(b) + SlgTaskIsAlive(c) == 0;
  }, 20));
  EXPECT_EQ(Battle().alloc.live, live) << "objects and names freed";
  EXPECT_EQ(Scene().tamvik_spr.spx()->DeleteBySpx(set), 0) << "no animation left playing";
}

TEST(OneShots, TheMapFormFollowsTheScrollTheScreenFormDoesNot) {
  AnmRig r;
  Battle().state.scroll_x = 0;
  Battle().state.scroll_y = 0;
  SlgEffectTask* map = AutoPtnChg(kLong, {400 * kPx, 300 * kPx}, 0, 0, r.ctx.effect_anims, 4);
  SlgEffectTask* screen = AutoPtnChg2(kLong, {40 * kPx, 30 * kPx}, 0, 0, r.ctx.effect_anims, 4);
  r.rig.Step();
  EXPECT_EQ(SpritePos(map).x, 400);
  EXPECT_EQ(SpritePos(map).y, 300 - 216 + 240);
  EXPECT_EQ(SpritePos(screen).x, 360);
  EXPECT_EQ(SpritePos(screen).y, 270);
  Battle().state.scroll_x = 100;
  Battle().state.scroll_y = 50;
  r.rig.Step();
  EXPECT_EQ(SpritePos(map).x, 300);
  EXPECT_EQ(SpritePos(map).y, 300 - 216 + 240 - 50);
  EXPECT_EQ(SpritePos(screen).x, 360);
  EXPECT_EQ(SpritePos(screen).y, 270);
  SlgTaskEndAnm(map);
  SlgTaskEndAnm(screen);
}

TEST(OneShots, UnitFormsReleaseTheirSetThroughTheEndCallback) {
  for (bool follow_map : {true, false}) {
    SCOPED_TRACE(follow_map ? "AutoPtnChgUnit" : "AutoPtnChg2Unit");
    AnmRig r;
    BattleBoard board(r.rig.battle());
    SlgUnit& unit = Battle().state.units[board.AddUnit(OnCell(4, 20, {.kind = kKind}))];
    SprAnm* set = r.ctx.effect_anims;  // the test's own reference keeps the record
    const int32_t refs = set->ref;
    const int64_t live = Battle().alloc.live;
    SlgEffectTask* task =
        follow_map ? AutoPtnChgUnit(kShort, {100 * kPx, 100 * kPx}, 0, 0, unit, kAttackEffect, 4)
                   : AutoPtnChg2Unit(kShort, {0, 0}, 0, 0, unit, kAttackEffect, 4);
    ASSERT_NE(task, nullptr);
    SlgAnmObj* obj = ObjOf(task);
    EXPECT_EQ(set->ref, refs + 1) << "the one-shot holds the set while it plays";
    EXPECT_EQ(obj->anims, set);
    ASSERT_TRUE(r.rig.RunUntil("the one-shot ended", [&] { return SlgTaskIsAlive(task) == 0; }, 20));
    EXPECT_EQ(Battle().alloc.live, live);
    // The engine frees the ended animation within the next frames; its callback gives the set back.
    EXPECT_TRUE(r.rig.RunUntil("the set released", [&] { return set->ref == refs; }, 4));

    // A refused task leaves neither a block nor a reference behind.
    Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
    EXPECT_EQ(AutoPtnChgUnit(kShort, {0, 0}, 0, 0, unit, kAttackEffect, 4), nullptr);
    EXPECT_EQ(AutoPtnChg(kShort, {0, 0}, 0, 0, set, 4), nullptr);
    Battle().alloc.refuse = nullptr;
    EXPECT_EQ(set->ref, refs);
    EXPECT_EQ(Battle().alloc.live, live);
  }
}

TEST(OneShots, ScatterQuadrantsSpreadsDepthsAndDelays) {
  AnmRig r;
  BattleBoard board(r.rig.battle());
  SlgUnit& unit = Battle().state.units[board.AddUnit(OnCell(4, 20, {.kind = kKind}))];
  SlgAnmObj body{};
  body.depth = 40;
  unit.anm = &body;
  const SlgPair base = SlgMapToScreen(unit);

  // The generator's values for this seed, drawn in the scatter's order: the quadrant, then per
  // animation dx, dy, the depth side and the delay.
  constexpr uint32_t kSeed = 1234;
  constexpr int kCount = 6;
  SeedRandom(kSeed);
  int q = SlgRand() & 3;
  struct Want {
    int32_t x, y;
    int16_t depth;
    uint32_t delay;
  };
  std::vector<Want> want;
  for (int i = 0; i < kCount; ++i) {
    int32_t dx = SlgRand() % 40;
    int32_t dy = SlgRand() % 30;
    if (q == 0 || q == 2) dy = -dy;
    if (q == 1 || q == 2) dx = -dx;
    q = (q + 1) & 3;
    const int16_t depth = (SlgRand() & 1) != 0 ? 41 : 39;
    const uint32_t delay = static_cast<uint32_t>(SlgRand() % 12);
    want.push_back({base.x + dx * kPx, base.y - 20 * kPx + dy * kPx, depth, delay});
  }
  SeedRandom(kSeed);
  const uint32_t first = Battle().attack.auto_ptn2_no;
  EXPECT_EQ(AutoPtnScatter(kLong, kCount, 0, 20, 40, 30, 12, r.ctx.effect_anims, 4), kCount);
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  std::vector<SlgEffectTask*> tasks;
  for (int i = 0; i < kCount; ++i) {
    SCOPED_TRACE("animation " + std::to_string(i));
    SlgEffectTask* t = TaskNamed("AutoPtnChg2:No" + std::to_string(first + i));
    ASSERT_NE(t, nullptr);
    tasks.push_back(t);
    const SlgAnmObj* o = ObjOf(t);
    EXPECT_EQ(o->x, want[i].x);
    EXPECT_EQ(o->y, want[i].y);
    EXPECT_EQ(o->depth, want[i].depth);
    EXPECT_EQ(o->attr, 0);
    SpxAnimeBlock* block = spx->Block(o->handle);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->start_delay, want[i].delay);
    EXPECT_EQ(block->drawn == nullptr, want[i].delay != 0) << "hidden until its delay";
  }
  // Each delayed sprite shows once its delay has passed (all delays are below 12 frames; the
  // pattern runs 16).
  r.rig.Step();
  for (int i = 0; i < kCount; ++i) {
    if (want[i].delay < 2) continue;
    EXPECT_EQ(spx->Block(ObjOf(tasks[i])->handle)->drawn, nullptr) << "animation " << i;
  }
  r.rig.Run(12);
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(SlgTaskIsAlive(tasks[i]), 1);
    EXPECT_NE(spx->Block(ObjOf(tasks[i])->handle)->drawn, nullptr) << "animation " << i;
  }
  // Zero spreads put every animation on the base, without drawing spreads or delays.
  SeedRandom(kSeed);
  const uint32_t next = Battle().attack.auto_ptn2_no;
  EXPECT_EQ(AutoPtnScatter(kLong, 3, 0, 0, 0, 0, 0, r.ctx.effect_anims, 4), 3);
  for (int i = 0; i < 3; ++i) {
    SlgEffectTask* t = TaskNamed("AutoPtnChg2:No" + std::to_string(next + i));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(ObjOf(t)->x, base.x);
    EXPECT_EQ(ObjOf(t)->y, base.y);
    EXPECT_NE(spx->Block(ObjOf(t)->handle)->drawn, nullptr);
    tasks.push_back(t);
  }
  EXPECT_EQ(AutoPtnScatter(kLong, 3, 9, 0, 0, 0, 0, r.ctx.effect_anims, 4), 0) << "no unit there";
  for (SlgEffectTask* t : tasks) SlgTaskEndAnm(t);
  unit.anm = nullptr;
}

}  // namespace

namespace {

TEST(OneShots, AUnitSetComesBackWhenTheBattleEndsWhileItPlays) {
  AnmRig r;
  BattleBoard board(r.rig.battle());
  SlgUnit& unit = Battle().state.units[board.AddUnit(OnCell(4, 20, {.kind = kKind}))];
  SprAnm* set = r.ctx.effect_anims;
  const int32_t refs = set->ref;
  ASSERT_NE(AutoPtnChgUnit(kShort, {0, 0}, 0, 0, unit, kAttackEffect, 4), nullptr);
  r.rig.Step();
  SlgTaskEndAll();  // the teardown frees the task and its object mid-animation
  r.rig.Run(12);    // the animation ends afterwards (ASan: its callback touches no freed block)
  EXPECT_EQ(set->ref, refs);
}

}  // namespace

namespace {

// A one-shot outlives the routine that started it: its set stays loaded while it plays, whoever
// else lets the set go, and comes back when it ends, also when it is ended early. Its task lasts
// as long as its animation.
TEST(OneShots, EveryFormHoldsItsSetUntilItsAnimationEnds) {
  struct Case {
    const char* name;
    bool unit_form;
    bool follow_map;
    bool end_early;  // SlgTaskEndAnm while the animation plays
  };
  const Case cases[] = {
      {"AutoPtnChg", false, true, false},      {"AutoPtnChg2", false, false, false},
      {"AutoPtnChg ended early", false, true, true},
      {"AutoPtnChgUnit ended early", true, true, true},
      {"AutoPtnChg2Unit ended early", true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnmRig r;
    BattleBoard board(r.rig.battle());
    SlgUnit& unit = Battle().state.units[board.AddUnit(OnCell(4, 20, {.kind = kKind}))];
    // The routine's own reference: the test's, released below as FreeAttackCtx would.
    SprAnm* set = GetUnitAnm(kKind, kAttackEffect);
    const int32_t refs = set->ref;  // the rig's and the routine's
    SlgEffectTask* task =
        c.unit_form ? (c.follow_map ? AutoPtnChgUnit(kLong, {0, 0}, 0, 0, unit, kAttackEffect, 4)
                                    : AutoPtnChg2Unit(kLong, {0, 0}, 0, 0, unit, kAttackEffect, 4))
                    : (c.follow_map ? AutoPtnChg(kLong, {0, 0}, 0, 0, set, 4)
                                    : AutoPtnChg2(kLong, {0, 0}, 0, 0, set, 4));
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(set->ref, refs + 1);
    AnimeHandle handle = ObjOf(task)->handle;
    ReleaseUnitAnm(&set);
    set = r.ctx.effect_anims;  // still held by the rig
    r.rig.Run(2);
    EXPECT_EQ(SlgTaskIsAlive(task), 1) << "the one-shot plays on";
    EXPECT_EQ(Ctx().anime.IsAnime(handle), 1);
    EXPECT_EQ(set->ref, refs);
    if (c.end_early) {
      SlgTaskEndAnm(task);
      EXPECT_EQ(Ctx().anime.IsAnime(handle), 0);
      EXPECT_EQ(set->ref, refs - 1) << "the one-shot's reference came back with its end";
      continue;
    }
    ASSERT_TRUE(r.rig.RunUntil("the one-shot ended", [&] { return SlgTaskIsAlive(task) == 0; }, 40));
    // Once its task has ended nothing of it is left: whoever waits for the effect tasks to end
    // finds the animation freed and the set given back.
    EXPECT_EQ(Ctx().anime.IsAnime(handle), 0) << "the animation went with the task";
    EXPECT_EQ(set->ref, refs - 1) << "the set came back with the task's end";
  }
}

// A set the sprite layer does not hold plays as it is, with nothing to give back.
TEST(OneShots, APlainSetNotHeldByTheSpriteLayerPlaysUnheld) {
  AnmRig r;
  EXPECT_EQ(SlgHoldAnmSet(nullptr), nullptr);
  SprAnm copy = *r.ctx.effect_anims;  // not in the layer's list
  copy.next = nullptr;
  EXPECT_EQ(SlgHoldAnmSet(&copy), nullptr);
  const int32_t refs = r.ctx.effect_anims->ref;
  EXPECT_EQ(SlgHoldAnmSet(r.ctx.effect_anims), r.ctx.effect_anims);
  EXPECT_EQ(r.ctx.effect_anims->ref, refs + 1);
  SprAnm* held = r.ctx.effect_anims;
  ReleaseUnitAnm(&held);
}

}  // namespace
