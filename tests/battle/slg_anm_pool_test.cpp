// The animation-object pool: takes until full, the freed object taken again, returns that are
// refused (heap objects, addresses inside an object), the small object operations and the death
// action state.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "testsupport/battle_rig.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::TraceCapture;

TEST(SlgAnmPool, TakesAllThenFailsAndReusesAFreedObject) {
  BattleRig rig;
  TraceCapture trace;
  ClearAnmObjPool();
  std::vector<SlgAnmObj*> taken;
  for (int i = 0; i < kSlgAnmPoolSize; ++i) {
    SlgAnmObj* obj = CreateAnmObj(3, 16);
    ASSERT_NE(obj, nullptr) << i;
    EXPECT_EQ(obj->tag, kSlgAnmObjTag);
    EXPECT_EQ(obj->pattern, 3);
    EXPECT_EQ(obj->attr, 16);
    taken.push_back(obj);
  }
  EXPECT_EQ(Battle().anm_pool.in_use, kSlgAnmPoolSize);
  EXPECT_FALSE(trace.Contains("alloc_anime is Fail"));
  EXPECT_EQ(alloc_anime(), nullptr);
  EXPECT_TRUE(trace.Contains("alloc_anime is Fail"));

  taken[57]->x = 1234;
  EXPECT_EQ(FreeAnmObj(taken[57]), 1);
  EXPECT_EQ(taken[57]->x, 0);
  EXPECT_EQ(taken[57]->tag, 0u);
  EXPECT_EQ(Battle().anm_pool.in_use, kSlgAnmPoolSize - 1);
  EXPECT_EQ(alloc_anime(), taken[57]);
  // A second return of a free object, and the pool cleared.
  EXPECT_EQ(FreeAnmObj(taken[57]), 1);
  EXPECT_EQ(FreeAnmObj(taken[57]), 0);
  ClearAnmObjPool();
  EXPECT_EQ(Battle().anm_pool.in_use, 0);
  EXPECT_EQ(Battle().anm_pool.calls, 0);
}

TEST(SlgAnmPool, FreeAnmObjLeavesWhatIsNotATaggedPoolObjectAlone) {
  BattleRig rig;
  ClearAnmObjPool();
  auto heap = std::make_unique<SlgAnmObj>(SlgAnmObj{});
  heap->tag = kSlgAnmObjTag;  // even a tag does not make a heap object a pool object
  heap->x = 77;
  SlgAnmObj* pooled = alloc_anime();
  ASSERT_NE(pooled, nullptr);
  auto* inside = reinterpret_cast<SlgAnmObj*>(reinterpret_cast<uint8_t*>(pooled) + 4);
  EXPECT_EQ(FreeAnmObj(heap.get()), 0);
  EXPECT_EQ(FreeAnmObj(inside), 0);
  EXPECT_EQ(FreeAnmObj(nullptr), 0);
  EXPECT_EQ(heap->x, 77);
  EXPECT_EQ(heap->tag, kSlgAnmObjTag);
  EXPECT_EQ(pooled->tag, kSlgAnmObjTag);
  EXPECT_EQ(Battle().anm_pool.in_use, 1);
}

TEST(SlgAnmPool, ObjectOperations) {
  BattleRig rig;
  ClearAnmObjPool();
  SlgAnmObj* obj = CreateAnmObj(1, 0);
  ASSERT_NE(obj, nullptr);
  obj->frame = 9;
  SetAnmPatternOnly(obj, 4);
  EXPECT_EQ(obj->pattern, 4);
  EXPECT_EQ(obj->frame, 9);
  SetAnmPattern(obj, 5);
  EXPECT_EQ(obj->pattern, 5);
  EXPECT_EQ(obj->frame, 0);
  SetAnmObjFlags(obj, kSlgAnmOnce);
  SetAnmObjFlags(obj, kSlgAnmStartStopped);
  EXPECT_EQ(obj->mode, kSlgAnmOnce | kSlgAnmStartStopped);
  SetAnmPos(obj, {0x10000, -0x20000});
  EXPECT_EQ(obj->x, 0x10000);
  EXPECT_EQ(obj->y, -0x20000);
  InitAnmObj(obj, 2, 16);
  EXPECT_EQ(obj->mode, 0);
  EXPECT_EQ(SlgRetZero(5), 0);
  EXPECT_EQ(SlgRetZero2(5), 0);
  Battle().death.state[200] = 1;
  Battle().death.enemy_deaths = 3;
  ClearDeathActionState();
  EXPECT_EQ(Battle().death.state[200], 0);
  EXPECT_EQ(Battle().death.enemy_deaths, 0);
}

}  // namespace
