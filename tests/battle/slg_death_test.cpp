// The death actions: the timeline of each handler on the rig's clock (waits, the body's blink or
// release, the group's counter, the dead slot, the hero's lost battle), the effect objects by
// direction and kind, the effect tasks' names, the kouma column, a start without objects,
// memory or animations, and the dead slot itself.

#include "battle/slg_death.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_commands.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/app/context.h"
#include "engine/input/dinput.h"
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
using testsupport::BoardUnit;
using testsupport::OnCell;
using testsupport::SlgTableWriter;
using testsupport::UnitAnmWriter;

using Handler = void (*)(SlgUnit&, SlgPair&);

// A rig whose UnitAnm table gives the listed kinds BASE_BODY, BASE_EFFECT and DEAD_EFFECT
// (DEAD_EFFECT left out when asked), with the units the test adds placed.
class DeathRig {
 public:
  explicit DeathRig(const std::vector<int>& kinds, bool dead_effect = true) {
    SlgTableWriter tables;
    for (int kind : kinds) {
      std::vector<int> slots = {kUnitAnmBaseBody, kUnitAnmBaseEffect};
      if (dead_effect) slots.push_back(kUnitAnmDeadEffect);
      UnitAnmWriter(kind).Slots(slots).Lay(rig.driver().tree, tables);
    }
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
  }
  uint8_t Add(const BoardUnit& u) {
    const uint8_t slot = board.AddUnit(u);
    Slg::PlaceUnit(U(slot));
    return slot;
  }
  SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  void Kill(uint8_t slot) { SetUnitState(U(slot), kUnitStateDefeated); }
  // One frame: the rig steps, then each listed unit still in state 15 runs its handler.
  void Frame(Handler h, std::initializer_list<uint8_t> slots) {
    rig.Step();
    for (uint8_t s : slots) {
      if (U(s).state == kUnitStateDefeated && U(s).step != kSlgDeadStep) h(U(s), pos);
    }
  }
  static SlgEffectTask* Task(const std::string& name) {
    GameTaskRec* t = Ctx().game_task.FindTask(name.c_str());
    return t != nullptr ? static_cast<SlgEffectTask*>(t->work) : nullptr;
  }
  static SlgDeathRecord* Record(const std::string& name) {
    SlgEffectTask* t = Task(name);
    return t != nullptr ? static_cast<SlgDeathRecord*>(t->owned[0]) : nullptr;
  }
  static int32_t Blink(const SlgAnmObj* obj) {
    SpxAnimeKind* spx = Scene().tamvik_spr.spx();
    const SpxAnimeBlock* b = obj != nullptr ? spx->Block(obj->handle) : nullptr;
    return b != nullptr ? b->blink_period : -1;
  }

  BattleRig rig;
  BattleBoard board{rig.battle()};
  SlgPair pos{};
};

// Game frames (60 a second, toward zero) between two times of the rig's clock.
int GameFrames(uint32_t from, uint32_t to) { return static_cast<int>((to - from) * 60 / 1000); }

// Every field of a dead slot, and nothing of it left in the grid.
void ExpectDeadSlot(const SlgUnit& u) {
  EXPECT_EQ(u.step, kSlgDeadStep);
  EXPECT_EQ(u.flags, 0u);
  EXPECT_EQ(u.state, 0);
  EXPECT_EQ(u.anm, nullptr);
  EXPECT_EQ(u.anm2, nullptr);
  for (uint16_t cell : Battle().unit_grid) EXPECT_NE(cell, u.slot);
}

TEST(DeathActions, TimelineOfEachHandler) {
  struct Case {
    const char* what;
    Handler handler;
    BoardUnit unit;
    int first, second;  // frames; second 0: none
    int body;           // after the first wait: 2 blinking, 0 released, -1 untouched
    uint8_t SlgDeathState::*counter;
    bool lost;
  };
  const Case cases[] = {
      {"the hero", &ActPlayerDead, {.side = 0, .character = 0, .kind = 0}, 80, 40, 2,
       &SlgDeathState::player_deaths, true},
      {"a heroine", &ActPlayerDead, {.side = 0, .character = 2, .kind = 2}, 80, 40, 2,
       &SlgDeathState::player_deaths, false},
      {"a retainer", &ActWakijiDead, {.side = 1, .character = 20, .kind = 14, .category = 1}, 60,
       60, 2, &SlgDeathState::enemy_deaths, false},
      {"a kouma", &ActKoumaDead, {.side = 1, .character = 20, .kind = 17, .category = 1}, 60, 60,
       0, &SlgDeathState::enemy_deaths, false},
      {"map object 41", &ActMapObjDead, {.side = 2, .character = 40, .kind = 41, .category = 4},
       30, 0, -1, &SlgDeathState::object_deaths, false},
      {"map object 43", &ActMapObjDead, {.side = 2, .character = 40, .kind = 43, .category = 4},
       40, 0, -1, &SlgDeathState::object_deaths, false},
      {"map object 46", &ActMapObjDead, {.side = 2, .character = 40, .kind = 46, .category = 4},
       30, 0, -1, &SlgDeathState::object_deaths, false},
      {"map object 39", &ActMapObjDead, {.side = 2, .character = 40, .kind = 39, .category = 4},
       40, 0, -1, &SlgDeathState::object_deaths, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeathRig r({c.unit.kind});
    const int pool = Battle().anm_pool.in_use;
    const uint8_t s = r.Add(OnCell(6, 30, c.unit));
    r.Kill(s);
    r.Frame(c.handler, {s});
    const uint32_t started = r.rig.Now();
    EXPECT_EQ(Battle().anm_pool.in_use - pool, (r.U(s).anm != nullptr ? 1 : 0) +
                                                    (c.handler == &ActMapObjDead ? 1 : 2));
    // Each wait ends on the first frame at which its game frames have passed (a 17 ms step may
    // pass two at once).
    uint32_t changed_at = started;
    bool dead = false;
    for (int f = 0; f < 300 && !dead; ++f) {
      const uint32_t step = r.U(s).step;
      const uint32_t before = r.rig.Now();
      r.Frame(c.handler, {s});
      const uint32_t now = r.rig.Now();
      if (step == 1 && r.U(s).step == 2) {
        EXPECT_GE(GameFrames(started, now), c.first);
        EXPECT_LT(GameFrames(started, before), c.first);
        changed_at = now;
        if (c.body > 0) {
          EXPECT_EQ(DeathRig::Blink(r.U(s).anm), c.body);
        } else if (c.body == 0) {
          EXPECT_EQ(r.U(s).anm->handle, nullptr);
        }
      }
      dead = r.U(s).step == kSlgDeadStep;
      if (dead) {
        const int wait = c.second != 0 ? c.second : c.first;
        EXPECT_GE(GameFrames(changed_at, now), wait);
        EXPECT_LT(GameFrames(changed_at, before), wait);
      } else {
        EXPECT_EQ(Battle().death.*c.counter, 0);
        EXPECT_EQ(Battle().lost, 0u);
      }
    }
    EXPECT_EQ(changed_at != started, c.second != 0);
    ASSERT_TRUE(dead);
    EXPECT_EQ(Battle().death.*c.counter, 1);
    EXPECT_EQ(Battle().lost, c.lost ? 1u : 0u);
    ExpectDeadSlot(r.U(s));
    // The effect task ends by itself; then every object taken is back in the pool.
    for (int f = 0; f < 200 && Battle().anm_pool.in_use != pool; ++f) r.rig.Step();
    EXPECT_EQ(Battle().anm_pool.in_use, pool);
  }
}

// The retainer's effect: both objects at the record's map position less the scroll, offset
// (320, 216) and raised by the lift; mirrored after 50 frames; gone after 50 more.
TEST(DeathActions, RetainerEffectFollowsTheScrollMirrorsAndEnds) {
  DeathRig r({14});
  const uint8_t s = r.Add(OnCell(6, 30, {.side = 1, .character = 20, .kind = 14, .category = 1}));
  r.U(s).lift = 48 * 65536;
  const int32_t x = r.U(s).x;
  const int32_t y = r.U(s).y;
  const int pool = Battle().anm_pool.in_use;
  r.Kill(s);
  r.Frame(&ActWakijiDead, {s});
  const std::string name = "ActWakijiDead:" + std::to_string(r.U(s).entry) + ":0";
  SlgDeathRecord* rec = DeathRig::Record(name);
  ASSERT_NE(rec, nullptr);
  Battle().state.scroll_x = 100;
  Battle().state.scroll_y = 40;
  r.rig.Step();
  for (SlgAnmObj* obj : rec->objs) {
    EXPECT_EQ(obj->x, x - 420 * 65536);
    EXPECT_EQ(obj->y, y - 256 * 65536 - 48 * 65536);
    EXPECT_NE(obj->handle, nullptr);
    EXPECT_EQ(obj->attr, 0);
  }
  SlgEffectTask* task = DeathRig::Task(name);
  int mirrored = 1;
  while (task->phase == 0 && mirrored < 80) {
    r.rig.Step();
    ++mirrored;
  }
  ASSERT_EQ(task->phase, 1);
  EXPECT_GE(mirrored, 50);
  EXPECT_LE(mirrored, 51);
  for (SlgAnmObj* obj : rec->objs) EXPECT_EQ(obj->attr, 16);
  int frames = 0;
  while (DeathRig::Task(name) != nullptr && frames < 80) {
    r.rig.Step();
    ++frames;
  }
  EXPECT_EQ(DeathRig::Task(name), nullptr);
  EXPECT_GE(frames, 50);
  EXPECT_LE(frames, 51);
  // The body is still the unit's (the handler has not finished); the effect's two are back.
  EXPECT_EQ(Battle().anm_pool.in_use, pool);
}

// The handler finishes the slot after its waits even while a slow DEAD_EFFECT still plays; the
// effect task goes on with its own objects.
TEST(DeathActions, TheSlotIsFinishedWhileTheEffectStillPlays) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  SlgTableWriter tables;
  std::array<uint16_t, UnitAnmWriter::kWalkFrames> slow{};
  slow.fill(30);
  UnitAnmWriter(0)
      .Slots({kUnitAnmBaseBody, kUnitAnmDeadEffect})
      .WalkWaits(slow)
      .Lay(rig.driver().tree, tables);
  tables.Lay(rig.driver().tree);
  LoadSlgTables();
  const uint8_t s = board.AddUnit(OnCell(6, 30, {.side = 0, .character = 0, .kind = 0}));
  SlgUnit& u = Battle().state.units[s];
  Slg::PlaceUnit(u);
  u.dir = 1;  // effect animations 0 and 1: the slow walking ones
  SetUnitState(u, kUnitStateDefeated);
  SlgPair pos{};
  for (int f = 0; f < 200 && u.step != kSlgDeadStep; ++f) {
    rig.Step();
    ActPlayerDead(u, pos);
  }
  ExpectDeadSlot(u);
  EXPECT_EQ(Battle().lost, 1u);
  SlgDeathRecord* rec = DeathRig::Record("ActPlayerDead:" + std::to_string(u.entry) + ":0");
  ASSERT_NE(rec, nullptr) << "the effect still plays";
  EXPECT_NE(rec->objs[0]->handle, nullptr);
}

TEST(DeathActions, KoumaSecondWaitIsShortWhileKey2IsHeld) {
  DeathRig r({17});
  const uint8_t s = r.Add(OnCell(6, 30, {.side = 1, .character = 20, .kind = 17, .category = 1}));
  r.Kill(s);
  r.Frame(&ActKoumaDead, {s});
  for (int f = 0; f < 100 && r.U(s).step != 2; ++f) r.Frame(&ActKoumaDead, {s});
  ASSERT_EQ(r.U(s).step, 2u);
  const uint32_t changed_at = r.rig.Now();
  r.rig.Schedule({testsupport::GameKeyDown(r.rig.frame(), kGameKey2)});
  uint32_t before = changed_at;
  for (int f = 0; f < 100 && r.U(s).step != kSlgDeadStep; ++f) {
    before = r.rig.Now();
    r.Frame(&ActKoumaDead, {s});
  }
  EXPECT_GE(GameFrames(changed_at, r.rig.Now()), 15);
  EXPECT_LT(GameFrames(changed_at, before), 15);
  ExpectDeadSlot(r.U(s));
}

TEST(DeathActions, EffectObjectsByDirectionAndNamesOfOneFrame) {
  // Four player units facing 0-3 die in one frame: four tasks, told apart by the stage entry.
  DeathRig r({1, 17, 14, 43});
  std::vector<uint8_t> players;
  for (uint8_t d = 0; d < 4; ++d)
    players.push_back(r.Add(OnCell(4 + 2 * d, 30, {.side = 0, .character = 1, .kind = 1,
                                               .facing = d})));
  for (uint8_t s : players) r.Kill(s);
  for (uint8_t d = 0; d < 4; ++d) r.U(players[d]).dir = d;
  r.Frame(&ActPlayerDead, {players[0], players[1], players[2], players[3]});
  struct Obj {
    uint8_t pattern;
    uint16_t attr;
    int depth;
    uint8_t mode;
  };
  const Obj player[4][2] = {{{2, 16, -1, 1}, {3, 16, 1, 1}},
                            {{0, 0, -1, 1}, {1, 0, 1, 1}},
                            {{0, 16, -1, 1}, {1, 16, 1, 1}},
                            {{2, 0, -1, 1}, {3, 0, 1, 1}}};
  for (uint8_t d = 0; d < 4; ++d) {
    SCOPED_TRACE(d);
    const SlgUnit& u = r.U(players[d]);
    const std::string name = "ActPlayerDead:" + std::to_string(u.entry) + ":0";
    SlgDeathRecord* rec = DeathRig::Record(name);
    ASSERT_NE(rec, nullptr) << name;
    for (int i = 0; i < 2; ++i) {
      ASSERT_NE(rec->objs[i], nullptr);
      EXPECT_EQ(rec->objs[i]->pattern, player[d][i].pattern);
      EXPECT_EQ(rec->objs[i]->attr, player[d][i].attr);
      EXPECT_EQ(rec->objs[i]->depth, u.anm->depth + player[d][i].depth);
      EXPECT_EQ(rec->objs[i]->mode, player[d][i].mode);
    }
    EXPECT_EQ(rec->x, u.x);
    EXPECT_EQ(rec->lift, u.lift);
    EXPECT_NE(rec->anims, nullptr);
  }
  // The kouma's column object by direction takes the body's attribute.
  for (uint8_t d = 0; d < 4; ++d) {
    SCOPED_TRACE(d);
    const uint8_t k = r.Add(OnCell(4 + 2 * d, 40, {.side = 1, .character = 20, .kind = 17,
                                               .category = 1}));
    r.U(k).dir = d;
    r.U(k).anm->attr = d >= 2 ? 16 : 0;
    r.Kill(k);
    r.Frame(&ActKoumaDead, {k});
    SlgDeathRecord* rec =
        DeathRig::Record("ActKoumaDead:" + std::to_string(r.U(k).entry) + ":0");
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->objs[0]->pattern, 0);
    EXPECT_EQ(rec->objs[0]->depth, r.U(k).anm->depth - 2);
    EXPECT_EQ(rec->objs[0]->mode, kSlgAnmOnce);
    EXPECT_EQ(rec->objs[1]->pattern, d == 0 || d == 3 ? 2 : 1);
    EXPECT_EQ(rec->objs[1]->depth, r.U(k).anm->depth - 1);
    EXPECT_EQ(rec->objs[1]->mode, 0);
    for (SlgAnmObj* obj : rec->objs) EXPECT_EQ(obj->attr, r.U(k).anm->attr);
  }
  const uint8_t w = r.Add(OnCell(5, 50, {.side = 1, .character = 20, .kind = 14, .category = 1}));
  r.Kill(w);
  r.Frame(&ActWakijiDead, {w});
  SlgDeathRecord* rec = DeathRig::Record("ActWakijiDead:" + std::to_string(r.U(w).entry) + ":0");
  ASSERT_NE(rec, nullptr);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(rec->objs[i]->pattern, i);
    EXPECT_EQ(rec->objs[i]->attr, 0);
    EXPECT_EQ(rec->objs[i]->mode, 0);
    EXPECT_EQ(rec->objs[i]->depth, r.U(w).anm->depth + (i == 0 ? -1 : 1));
  }
  const uint8_t m = r.Add(OnCell(5, 60, {.side = 2, .character = 40, .kind = 43, .category = 4}));
  r.Kill(m);
  r.Frame(&ActMapObjDead, {m});
  rec = DeathRig::Record("ActMapObjDead:" + std::to_string(r.U(m).entry) + ":0");
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->objs[0]->pattern, 2);
  EXPECT_EQ(rec->objs[0]->depth, SlgCalcDepth(0, r.U(m).y >> 16) - 4);
  EXPECT_EQ(rec->objs[0]->mode, kSlgAnmOnce);
  EXPECT_EQ(rec->objs[1], nullptr);
}

TEST(DeathActions, SameEntryDyingTwiceDiffersByTheCounter) {
  DeathRig r({14});
  const uint8_t first = r.Add(OnCell(6, 30, {.side = 1, .character = 20, .kind = 14, .category = 1}));
  const int entry = r.U(first).entry;
  r.Kill(first);
  for (int f = 0; f < 200 && r.U(first).step != kSlgDeadStep; ++f)
    r.Frame(&ActWakijiDead, {first});
  ASSERT_EQ(r.U(first).step, kSlgDeadStep);
  // The same stage entry comes back (a reinforcement) and dies again.
  const uint8_t again = Slg::CreateUnit(*Battle().stage, entry);
  ASSERT_NE(again, kSlgCreateRefused);
  Slg::PlaceUnit(r.U(again));
  r.Kill(again);
  r.Frame(&ActWakijiDead, {again});
  EXPECT_NE(DeathRig::Task("ActWakijiDead:" + std::to_string(entry) + ":1"), nullptr);
}

TEST(DeathActions, StartWithoutObjectsMemoryOrAnimationsStillEndsInADeadSlot) {
  struct Case {
    const char* what;
    Handler handler;
    BoardUnit unit;
    int refuse;  // 0 none, 1 a full pool, 2 the record refused, 3 no DEAD_EFFECT set
    int dead;    // frames from the first to the dead slot
    const char* name;
  };
  const BoardUnit hero{.side = 0, .character = 0, .kind = 0};
  const BoardUnit wakiji{.side = 1, .character = 20, .kind = 14, .category = 1};
  const BoardUnit kouma{.side = 1, .character = 20, .kind = 17, .category = 1};
  const BoardUnit object{.side = 2, .character = 40, .kind = 41, .category = 4};
  const Case cases[] = {
      {"hero, full pool", &ActPlayerDead, hero, 1, 0, "ActPlayerDead"},
      {"hero, record refused", &ActPlayerDead, hero, 2, 0, "ActPlayerDead"},
      {"kouma, full pool", &ActKoumaDead, kouma, 1, 0, "ActKoumaDead"},
      {"retainer, full pool: the last wait", &ActWakijiDead, wakiji, 1, 60, "ActWakijiDead"},
      {"retainer, record refused", &ActWakijiDead, wakiji, 2, 60, "ActWakijiDead"},
      {"map object, full pool: its wait", &ActMapObjDead, object, 1, 30, "ActMapObjDead"},
      {"hero, no DEAD_EFFECT", &ActPlayerDead, hero, 3, 120, "ActPlayerDead"},
      {"kouma, no DEAD_EFFECT", &ActKoumaDead, kouma, 3, 120, "ActKoumaDead"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeathRig r({c.unit.kind}, c.refuse != 3);
    const uint8_t s = r.Add(OnCell(6, 30, c.unit));
    std::vector<SlgAnmObj*> taken;
    if (c.refuse == 1) {
      while (SlgAnmObj* obj = alloc_anime()) taken.push_back(obj);
    }
    const int pool = Battle().anm_pool.in_use;
    const int64_t live = Battle().alloc.live;
    if (c.refuse == 2) {
      const size_t record = sizeof(SlgDeathRecord);
      Battle().alloc.refuse = [record](uint32_t, size_t bytes) { return bytes == record; };
    }
    const bool body = r.U(s).anm != nullptr;
    r.Kill(s);
    const std::string name = std::string(c.name) + ":" + std::to_string(r.U(s).entry) + ":0";
    r.Frame(c.handler, {s});
    const uint32_t started = r.rig.Now();
    if (c.refuse != 3) {
      // Nothing taken is kept; a dead slot has given its body back too.
      EXPECT_EQ(DeathRig::Task(name), nullptr);
      const bool dead = r.U(s).step == kSlgDeadStep;
      EXPECT_EQ(Battle().anm_pool.in_use, pool - (dead && body ? 1 : 0));
      EXPECT_EQ(Battle().alloc.live, live);
    } else {
      // The task runs and ends: its animations count as ended.
      EXPECT_NE(DeathRig::Task(name), nullptr);
      for (int f = 0; f < 5 && DeathRig::Task(name) != nullptr; ++f) r.rig.Step();
      EXPECT_EQ(DeathRig::Task(name), nullptr);
      EXPECT_EQ(Battle().alloc.live, live);
    }
    uint32_t before = started;
    for (int f = 0; f < 200 && r.U(s).step != kSlgDeadStep; ++f) {
      before = r.rig.Now();
      r.Frame(c.handler, {s});
    }
    if (c.dead == 0) {
      EXPECT_EQ(r.rig.Now(), started) << "dead at once";
    } else {
      // Two waits in a row may each end a frame late on the rig's 17/16 ms steps (the timeline
      // test measures each wait exactly).
      EXPECT_GE(GameFrames(started, r.rig.Now()), c.dead);
      EXPECT_LT(GameFrames(started, before), c.dead + 2);
    }
    ExpectDeadSlot(r.U(s));
    EXPECT_EQ(Battle().lost, c.unit.character == 0 ? 1u : 0u);
    for (SlgAnmObj* obj : taken) FreeAnmObj(obj);
  }
}

TEST(DeathActions, KoumaColumnNarrowsAndStretchesThenGoes) {
  struct Z {
    int t;
    int32_t x, y;
  };
  for (const Z& z : {Z{0, 65536, 65536}, Z{2, 36864, 85598}, Z{5, 15552, 127773}}) {
    SCOPED_TRACE(z.t);
    const SlgPair p = KoumaColumnZoom(z.t);
    EXPECT_EQ(p.x, z.x);
    EXPECT_EQ(p.y, z.y);
  }
  DeathRig r({17});
  const uint8_t s = r.Add(OnCell(6, 30, {.side = 1, .character = 20, .kind = 17, .category = 1}));
  r.Kill(s);
  r.Frame(&ActKoumaDead, {s});
  const std::string name = "ActKoumaDead:" + std::to_string(r.U(s).entry) + ":0";
  SlgEffectTask* task = DeathRig::Task(name);
  ASSERT_NE(task, nullptr);
  for (int f = 0; f < 100 && task->phase == 0; ++f) r.rig.Step();
  ASSERT_EQ(task->phase, 1);
  SlgDeathRecord* rec = DeathRig::Record(name);
  ASSERT_NE(rec->objs[1]->handle, nullptr);
  EXPECT_EQ(rec->zoom.x, 65536);
  EXPECT_EQ(rec->zoom.y, 65536);
  int32_t last_y = rec->zoom.y;
  for (int f = 0; f < 30 && rec->objs[1]->handle != nullptr; ++f) {
    last_y = rec->zoom.y;
    r.rig.Step();
    ASSERT_NE(DeathRig::Task(name), nullptr);
    if (rec->objs[1]->handle != nullptr) {
      EXPECT_LT(last_y, 2 * 65536);
      EXPECT_EQ(rec->zoom.x, KoumaColumnZoom(task->frames).x);
    }
  }
  EXPECT_EQ(rec->objs[1]->handle, nullptr);
  EXPECT_GE(rec->zoom.y, 2 * 65536) << "released once the vertical zoom reached 2.0";
  EXPECT_GE(last_y, 2 * 65536);
}

void EndAtOnce(SlgUnit& unit, SlgPair& /*pos*/) { EndAttack(unit); }

// The road of a kill: an enemy's attack command with a routine that ends on its first frame;
// every live shown unit is updated through its category and the state tables, as the main task
// does. The target goes 9 -> 0 -> 15 -> dead slot, with or without animation sets.
TEST(DeathActions, AKillWithTheRealCommandsEndsInADeadSlot) {
  for (bool sets : {true, false}) {
    SCOPED_TRACE(sets ? "animation sets" : "an empty UnitAnm table");
    DeathRig r(sets ? std::vector<int>{14, 1} : std::vector<int>{}, sets);
    InitCategoryUpdates();
    InitDefaultUnitStates();
    const uint8_t a = r.Add(OnCell(4, 20, {.side = 1, .character = 20, .kind = 14, .category = 1}));
    const uint8_t t = r.Add(OnCell(4, 19, {.side = 0, .character = 1, .kind = 1}));
    r.U(a).stats.total_attack = 60;
    r.U(t).stats.total_defence = 0;
    r.U(t).stats.life = r.U(t).stats.max_life = 1;
    Battle().state.acting_unit = a;
    Battle().think_search.target = t;
    Battle().action_table[14] = &EndAtOnce;
    std::vector<uint8_t> states{r.U(t).state};
    int result = kSlgCmdRunning;
    for (int f = 0; f < 600 && r.U(t).step != kSlgDeadStep; ++f) {
      r.rig.Step();
      if (result == kSlgCmdRunning) result = Slg::EnemyAttack(r.U(a));
      for (uint8_t s : {a, t}) {
        SlgUnit& u = r.U(s);
        if (u.step != kSlgDeadStep && (u.flags & kUnitShown) != 0) Slg::UpdateUnit(u);
      }
      if (r.U(t).state != states.back()) states.push_back(r.U(t).state);
    }
    EXPECT_EQ(result, kSlgCmdDone);
    EXPECT_EQ(states, (std::vector<uint8_t>{0, 9, 0, 15, 0}));
    ExpectDeadSlot(r.U(t));
    EXPECT_EQ(AnyUnitInState(kUnitStateDefeated), 0);
    EXPECT_EQ(Battle().death.player_deaths, 1);
  }
}

}  // namespace
