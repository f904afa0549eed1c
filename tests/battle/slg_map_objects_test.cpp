// The map objects on the rig's clock: the first frame of each kind (slots, body by variant,
// objects made and hidden), the idle slots keeping the sprite while the camera scrolls and no
// shadow; the factory's production, refusals, hide and death; the generator; the fake wakiji's
// attack; the Elebox's effect tasks (ended by the effect-done byte, a refused task, a defeat);
// the jokidama's ball on its way to a target, a target gone, the edge, a wall; the joki stand.

#include "battle/slg_map_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_death.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::CellWord;
using testsupport::OnCell;
using testsupport::TraceCapture;
using testsupport::UnitAnmWriter;

constexpr int32_t kPx = 0x10000;
constexpr uint16_t kFirstFrameFlags = 0xB180 | kUnitStateStart;

// A map object of `kind` on a cell (category 4, side 1, its first frame to come).
BoardUnit Obj(uint8_t kind, int column, int row, uint8_t variant = 0, uint8_t character = 30) {
  return OnCell(column, row,
                {.side = 1, .character = character, .kind = kind, .category = 4, .facing = 1,
                 .flags = kFirstFrameFlags, .variant = variant});
}
BoardUnit Soldier(int column, int row) {
  return OnCell(column, row, {.side = 1, .character = 20, .kind = 14, .category = 1});
}
BoardUnit Player(int column, int row) {
  return OnCell(column, row, {.side = 0, .character = 1, .kind = 1, .category = 0});
}

// Unit sets for the soldiers, kind 34 and every map-object kind (BASE_BODY 1-3, BASE_EFFECT,
// DEAD_EFFECT), the system sprites and the drawing layer on a rig; the main task's unit pass by
// hand.
class Objects {
 public:
  Objects() {
    testsupport::SlgTableWriter tables;
    for (int kind : {1, 14, 34, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 51})
      UnitAnmWriter(kind).Slots({0, 1, 2, 4, 21}).Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    testsupport::SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    InitCategoryUpdates();
    InitDefaultUnitStates();
  }
  uint8_t Add(const BoardUnit& u) {
    const uint8_t slot = board.AddUnit(u);
    if (slot != kSlgCreateRefused) Slg::PlaceUnit(U(slot));
    return slot;
  }
  // Entries (not created) up to entry n - 1, so that the next entry is n.
  void FillEntriesTo(int n) {
    while (board.stage().header.num_unit < n) board.AddEntry(Soldier(0, 2));
  }
  SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  static void UpdateAll() { unit_state_moves::UpdateShownUnits(); }
  void Frame() {
    rig.Step();
    UpdateAll();
  }
  // Frames until `done` (at most `limit`); the frames run.
  int FramesUntil(const std::function<bool()>& done, int limit) {
    int n = 0;
    while (!done() && n < limit) {
      Frame();
      ++n;
    }
    return n;
  }
  static SpxAnimeBlock* Block(const SlgAnmObj* obj) {
    return obj != nullptr && obj->handle != nullptr ? Scene().tamvik_spr.spx()->Block(obj->handle)
                                                    : nullptr;
  }
  static bool Drawn(const SlgAnmObj* obj) {
    const SpxAnimeBlock* b = Block(obj);
    return b != nullptr && b->drawn != nullptr;
  }
  static SlgEffectTask* Task(const std::string& name) {
    GameTaskRec* t = Ctx().game_task.FindTask(name.c_str());
    return t != nullptr ? static_cast<SlgEffectTask*>(t->work) : nullptr;
  }

  BattleRig rig;
  testsupport::BattleBoard board{rig.battle()};
};

// ---- First frame and idle slots ----

TEST(MapObjects, FirstFrameOfEachKindAndIdleSlotsFollowTheCameraWithoutShadow) {
  struct Case {
    uint8_t kind, variant;
    int body_slot, pattern;
    bool second;       // a hidden second object made
    std::vector<int> busy;  // states with handlers of their own
  };
  const std::vector<Case> cases = {
      {38, 0, 0, 3, true, {5, 6, 7}},  {39, 0, 0, 0, false, {}}, {40, 1, 1, 0, false, {}},
      {41, 2, 2, 0, false, {}},        {46, 1, 1, 0, false, {}}, {47, 0, 0, 0, false, {}},
      {42, 0, 0, 2, true, {6}},        {43, 0, 0, 0, false, {6}}, {44, 0, 0, 0, true, {6}},
      {45, 0, 0, 0, false, {5, 6, 7}}, {51, 0, 0, 0, false, {}},
  };
  Objects o;
  std::vector<uint8_t> slots;
  for (size_t i = 0; i < cases.size(); ++i)
    slots.push_back(o.Add(Obj(cases[i].kind, 1 + static_cast<int>(i % 5),
                              4 + 4 * static_cast<int>(i / 5), cases[i].variant)));
  for (uint8_t s : slots) ASSERT_EQ(o.U(s).anm, nullptr) << "category 4 places no sprite";
  o.Frame();
  o.Frame();
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << "kind " << int{c.kind});
    SlgUnit& u = o.U(slots[i]);
    EXPECT_EQ(u.flags & kUnitStateStart, 0u);
    ASSERT_NE(u.anm, nullptr);
    ASSERT_NE(u.anims[static_cast<size_t>(c.body_slot)], nullptr);
    EXPECT_EQ(u.anm->anims, u.anims[static_cast<size_t>(c.body_slot)]);
    if (c.body_slot != 0) {
      EXPECT_EQ(u.anims[0], nullptr) << "only the variant's body is loaded";
    }
    EXPECT_EQ(u.anm->pattern, c.pattern);
    EXPECT_TRUE(Objects::Drawn(u.anm));
    EXPECT_EQ(u.anm2 != nullptr, c.second);
    if (c.second) {
      EXPECT_FALSE(Objects::Drawn(u.anm2)) << "hidden";
    }
    EXPECT_EQ(GetUnitAtCell(PosToCell(u.x >> 16, u.y >> 16).column,
                            PosToCell(u.x >> 16, u.y >> 16).row),
              u.slot);
  }
  struct Row {
    uint32_t kind, state;
    SlgStateHandler handler;
  };
  for (const Row& r : {Row{38, 5, &JokidamaLeadIn}, Row{38, 6, &JokidamaRoll},
                       Row{38, 7, &JokidamaEnd}, Row{39, 6, &MapObjKeep},
                       Row{42, 6, &FakeWakijiAttack}, Row{43, 0, &FactoryIdle},
                       Row{43, 6, &FactoryProduce}, Row{43, 15, &FactoryDead},
                       Row{44, 6, &GeneratorProduce}, Row{44, 15, &GeneratorDead},
                       Row{45, 6, &EleboxAttack}, Row{51, 14, &JokiStandKeep},
                       Row{14, 0, nullptr}, Row{43, 16, nullptr}})
    EXPECT_EQ(SlgMapObjStateHandler(r.kind, r.state), r.handler) << r.kind << "/" << r.state;
  for (uint32_t kind : {38, 39, 40, 41, 42, 45, 46, 47, 51}) {
    EXPECT_NE(SlgMapObjStateHandler(kind, 15), nullptr) << kind;
    EXPECT_EQ(SlgMapObjStateHandler(kind, 15), SlgMapObjStateHandler(39, 15)) << kind;
  }
  for (const auto& [kind, update] :
       std::vector<std::pair<int, SlgCategoryUpdate>>{{38, &ActJokidamaUnit},
                                                       {39, &ActMapObjUnit},
                                                       {47, &ActMapObjUnit},
                                                       {42, &ActFakeWakijiUnit},
                                                       {43, &ActWakijiFactoryUnit},
                                                       {44, &ActKoumaGenUnit},
                                                       {45, &ActDengekiBakoUnit},
                                                       {51, &ActJokiStandUnit}})
    EXPECT_EQ(SlgKindUpdate(static_cast<uint32_t>(kind)), update) << kind;
  EXPECT_EQ(o.U(slots[0]).dir, 2) << "the jokidama faces direction 2 after each update";
  EXPECT_NE(o.U(slots[0]).anims[kUnitAnmDeadEffect], nullptr);
  for (int k = 0; k < kSlgFactoryParts; ++k)
    EXPECT_NE(Battle().map_objects.factory_parts[0][static_cast<size_t>(k)], nullptr);

  // Every idle slot keeps the body on the unit's drawing position and priority while the camera
  // moves, and no update draws a shadow.
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (uint8_t state = 0; state < 15; ++state) {
    Battle().state.scroll_x = static_cast<int16_t>(3 * state);
    Battle().state.scroll_y = static_cast<int16_t>(2 * state);
    for (size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      SlgUnit& u = o.U(slots[i]);
      if (std::find(c.busy.begin(), c.busy.end(), state) != c.busy.end()) continue;
      SCOPED_TRACE(testing::Message() << "kind " << int{c.kind} << " state " << int{state});
      SetUnitState(u, state);
      const int before = sprites.FreeEntryCount();
      Slg::UpdateUnit(u);
      EXPECT_EQ(before - sprites.FreeEntryCount(), 0) << "no shadow";
      EXPECT_EQ(u.state, state);
      const SlgPair at = SlgMapToScreen(u);
      EXPECT_EQ(u.anm->x, at.x);
      EXPECT_EQ(u.anm->y, at.y);
      const SpxAnimeBlock* b = Objects::Block(u.anm);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->x, (at.x >> 16) + 320);
      EXPECT_EQ(b->y, (at.y >> 16) + 240);
      EXPECT_EQ(b->priority, SlgCalcDepth(u.x >> 16, u.y >> 16) + 1536);
    }
  }
}

// ---- The factory ----

TEST(MapObjectFactory, ProducesTheVariantsUnitThatWalksOutOntoItsCell) {
  Objects o;
  const uint8_t factory = o.Add(Obj(kSlgKindFactory, 3, 10, 1));
  o.FillEntriesTo(11);
  const int entry = o.board.AddEntry(Soldier(0, 2));  // variant 1 + 10
  ASSERT_EQ(entry, 11);
  Battle().order.entries[0] = {factory, 200};
  Battle().order.count = 1;
  o.Frame();
  SlgUnit& f = o.U(factory);
  TraceCapture trace;
  SetUnitState(f, 6);
  o.Frame();

  ASSERT_EQ(Battle().state.unit_count, 2);
  SlgUnit& made = o.U(1);
  EXPECT_EQ(made.entry, 11);
  EXPECT_EQ(made.x, f.x);
  EXPECT_EQ(made.y, f.y);
  EXPECT_EQ(made.stats.total_attack,
            static_cast<uint8_t>(made.stats.attack + made.stats.extra_attack));
  EXPECT_EQ(GetUnitAtCell(3, 10), factory) << "the new unit is not on the grid yet";
  ASSERT_EQ(Battle().order.count, 2);
  EXPECT_EQ(Battle().order.entries[1].slot, 1);

  std::vector<int> status = {Battle().map_objects.factory_status[1]};
  std::vector<int> walked;  // x offsets seen while the new unit walks
  const int32_t x0 = made.x, y0 = made.y;
  o.FramesUntil(
      [&] {
        const int st = Battle().map_objects.factory_status[1];
        if (status.back() != st) status.push_back(st);
        if (made.state == 1) {
          walked.push_back((made.x - x0) / kPx);
          EXPECT_EQ(made.y - y0, (made.x - x0) / 2);
        }
        return f.state == 0;
      },
      200);

  EXPECT_EQ(f.state, 0);
  EXPECT_EQ(status, (std::vector<int>{1, 2, 1, 0}));
  ASSERT_EQ(walked.size(), 12u) << "12 frames of walking";
  for (size_t i = 0; i < walked.size(); ++i) EXPECT_EQ(walked[i], 4 * static_cast<int>(i));
  EXPECT_EQ(made.x, x0 + 48 * kPx);
  EXPECT_EQ(made.y, y0 + 24 * kPx);
  EXPECT_EQ(made.state, 0);
  const SlgCell cell = PosToCell(made.x >> 16, made.y >> 16);
  EXPECT_EQ(GetUnitAtCell(cell.column, cell.row), 1);
  EXPECT_EQ(GetUnitAtCell(3, 10), factory);
  EXPECT_EQ(trace.Count("SeNo 34 "), 2);
  EXPECT_EQ(Battle().last_se, 34);
}

TEST(MapObjectFactory, MakesNothingWithoutRoomOrEntry) {
  struct Case {
    const char* what;
    uint8_t variant;
    int units;        // units on the board besides the factory
    bool block_exit;  // a unit on the cell the new unit would walk to
  };
  for (const Case& c : {Case{"64 units", 0, 63, false}, Case{"no entry 15", 5, 0, false},
                        Case{"exit cell taken", 0, 0, true}}) {
    SCOPED_TRACE(c.what);
    Objects o;
    const uint8_t factory = o.Add(Obj(kSlgKindFactory, 3, 10, c.variant));
    o.FillEntriesTo(11);
    while (Battle().state.unit_count < 1 + c.units) Slg::CreateUnit(*Battle().stage, 1);
    if (c.block_exit) o.Add(Soldier(3, 11));
    const int count = Battle().state.unit_count;
    Battle().order.count = 1;
    o.Frame();
    TraceCapture trace;
    SetUnitState(o.U(factory), 6);
    o.Frame();
    EXPECT_EQ(o.U(factory).state, 0);
    EXPECT_EQ(Battle().state.unit_count, count);
    EXPECT_EQ(Battle().order.count, 1);
    EXPECT_TRUE(trace.Contains("makes nothing"));
    EXPECT_EQ(Battle().map_objects.factory_status[0], 0);
  }
}

TEST(MapObjectFactory, HideStopsItsPartsAndDeathSetsItsFlagAndFreesThem) {
  Objects o;
  const uint8_t soldier = o.Add(Soldier(1, 4));
  const uint8_t factory = o.Add(Obj(kSlgKindFactory, 3, 10, 2, 23));
  o.Frame();
  SlgUnit& f = o.U(factory);
  const auto& parts = Battle().map_objects.factory_parts[2];
  for (SlgAnmObj* p : parts) ASSERT_NE(p, nullptr);
  ASSERT_NE(f.anm->handle, nullptr);

  Slg::HideUnit(f);
  EXPECT_NE(Ctx().anime.RecordOf(f.anm->handle)->stop, 0u);
  for (SlgAnmObj* p : parts) EXPECT_NE(Ctx().anime.RecordOf(p->handle)->stop, 0u);
  Slg::ShowUnit(f);
  EXPECT_EQ(Ctx().anime.RecordOf(f.anm->handle)->stop, 0u);
  for (SlgAnmObj* p : parts) EXPECT_EQ(Ctx().anime.RecordOf(p->handle)->stop, 0u);

  EXPECT_EQ(GetEventUnitChara(), -1);
  // The acting unit destroys it: its character is recorded.
  Battle().state.acting_unit = soldier;
  SetUnitState(f, kUnitStateDefeated);
  o.Frame();
  EXPECT_EQ(Battle().factory_destroyer, 20);
  EXPECT_EQ(CheckEventFlag(kSlgFactoryDeadFlag + 2), 1);
  EXPECT_EQ(CheckEventFlag(kSlgFactoryDeadFlag), 0);
  EXPECT_EQ(Battle().event_unit_ref[0], factory);
  EXPECT_EQ(GetEventUnitChara(), 23);
  for (SlgAnmObj* p : parts) EXPECT_NE(p, nullptr) << "kept while the death plays";
  const auto taken = parts;
  o.FramesUntil([&] { return f.step == kSlgDeadStep; }, 120);
  ASSERT_EQ(f.step, kSlgDeadStep);
  for (SlgAnmObj* p : parts) EXPECT_EQ(p, nullptr);
  for (SlgAnmObj* p : taken) EXPECT_NE(p->tag, kSlgAnmObjTag) << "back in the pool";
  Battle().event_unit_ref[0] = 64;
  EXPECT_EQ(GetEventUnitChara(), -1);
}

// ---- The generator and the fake wakiji ----

TEST(MapObjectGenerator, ShowsItsEffectsThenPlacesTheEntrysUnitAndSetsFlag131OnDeath) {
  for (const bool taken : {false, true}) {
    SCOPED_TRACE(taken ? "the entry's cell taken" : "a free cell");
    Objects o;
    const uint8_t gen = o.Add(Obj(kSlgKindGenerator, 3, 10));
    if (taken) o.Add(Soldier(5, 14));
    o.FillEntriesTo(10);
    o.board.AddEntry(Soldier(5, 14));
    Battle().order.count = 0;
    o.Frame();
    SlgUnit& g = o.U(gen);
    SlgAnmObj* effects[2] = {g.anm2, Battle().map_objects.records[g.entry].extra};
    for (SlgAnmObj* e : effects) ASSERT_NE(e, nullptr);
    const int count = Battle().state.unit_count;

    TraceCapture trace;
    SetUnitState(g, 6);
    o.Frame();
    o.Frame();
    for (SlgAnmObj* e : effects) EXPECT_TRUE(Objects::Drawn(e)) << "shown while they play";
    EXPECT_EQ(Battle().state.unit_count, count) << "made once the effects have ended";
    o.FramesUntil([&] { return g.state == 0; }, 100);
    ASSERT_EQ(g.state, 0);
    for (SlgAnmObj* e : effects) EXPECT_FALSE(Objects::Drawn(e)) << "hidden again";
    if (taken) {
      EXPECT_EQ(Battle().state.unit_count, count);
      EXPECT_EQ(Battle().order.count, 0);
      EXPECT_TRUE(trace.Contains("makes nothing"));
    } else {
      ASSERT_EQ(Battle().state.unit_count, count + 1);
      const SlgUnit& made = o.U(static_cast<uint8_t>(count));
      EXPECT_EQ(made.entry, 10);
      EXPECT_NE(made.anm, nullptr) << "placed";
      EXPECT_EQ(GetUnitAtCell(5, 14), made.slot);
      ASSERT_EQ(Battle().order.count, 1);
      EXPECT_EQ(Battle().order.entries[0].slot, made.slot);
    }

    EXPECT_EQ(CheckEventFlag(kSlgGeneratorDeadFlag), 0);
    SetUnitState(g, kUnitStateDefeated);
    o.FramesUntil([&] { return g.step == kSlgDeadStep; }, 120);
    ASSERT_EQ(g.step, kSlgDeadStep);
    EXPECT_EQ(CheckEventFlag(kSlgGeneratorDeadFlag), 1);
    EXPECT_EQ(Battle().map_objects.records[g.entry].extra, nullptr);
    for (SlgAnmObj* e : effects) EXPECT_NE(e->tag, kSlgAnmObjTag) << "back in the pool";
  }
}

TEST(MapObjectFakeWakiji, PlaysKind34sEffectAndReturnsToState0) {
  Objects o;
  const uint8_t fake = o.Add(Obj(kSlgKindFakeWakiji, 3, 10));
  o.Frame();
  SlgUnit& u = o.U(fake);
  SetUnitState(u, 6);
  o.Frame();
  ASSERT_NE(u.anims[kUnitAnmAttackEffect], nullptr);
  SprAnm* kind34 = GetUnitAnm(34, kUnitAnmBaseEffect);
  EXPECT_EQ(u.anims[kUnitAnmAttackEffect], kind34);
  ReleaseUnitAnm(&kind34);  // the look-up's own reference
  ASSERT_NE(u.anm2, nullptr);
  EXPECT_EQ(u.anm2->anims, u.anims[kUnitAnmAttackEffect]);
  o.Frame();
  EXPECT_TRUE(Objects::Drawn(u.anm2));
  EXPECT_EQ(u.state, 6);
  const int frames = o.FramesUntil([&] { return u.state == 0; }, 60);
  EXPECT_EQ(u.state, 0);
  EXPECT_GT(frames, 5) << "until the effect has ended";
  EXPECT_FALSE(Objects::Drawn(u.anm2));
}

// ---- The jokidama ----

TEST(MapObjectJokidama, TheBallAlwaysEndsAndTheAttackGoesOn) {
  struct Case {
    const char* what;
    int jc, jr;        // the jokidama's cell
    int tc, tr;        // the target's cell (-1: no target)
    bool moves_away;   // the target leaves after the ball has set off
    bool wall;         // cell (3, 11), the first leg's, is blocked
    int legs;          // legs rolled
    int ec, er;        // the cell the ball bursts on
  };
  const Case cases[] = {
      {"target two cells away", 3, 10, 4, 12, false, false, 2, 4, 12},
      {"target moved away", 3, 10, 4, 12, true, false, 2, 4, 12},
      {"no target", 3, 10, -1, -1, false, false, 0, 3, 10},
      {"a wall on the way", 3, 10, 4, 12, false, true, 0, 3, 10},
      {"the map's edge on the way", 6, 9, 6, 13, false, false, 0, 6, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Objects o;
    if (c.wall) o.board.SetCell(3, 11, CellWord(0, 0x400));
    const uint8_t j = o.Add(Obj(kSlgKindJokidama, c.jc, c.jr));
    const uint8_t target = c.tc >= 0 ? o.Add(Player(c.tc, c.tr)) : kSlgCreateRefused;
    Battle().think_search.target = c.tc >= 0 ? target : kSlgNoUnit;
    o.Frame();
    SlgUnit& u = o.U(j);
    const SlgMapObjRecord& r = Battle().map_objects.records[u.entry];
    SetUnitState(u, 6);
    o.Frame();
    EXPECT_NE(Battle().flags & 0x2, 0) << "the map is drawn";
    if (c.moves_away) {
      SlgUnit& t = o.U(target);
      ClearUnitCell(t);
      const SlgRangePos away = testsupport::CellPos(1, 4);
      t.x = away.x * kPx;
      t.y = away.y * kPx;
      SetUnitCell(t);
    }
    if (c.legs > 0) {
      EXPECT_EQ(u.step, 1u) << "rolling";
      EXPECT_TRUE(Objects::Drawn(u.anm2)) << "the ball shown";
      EXPECT_EQ(u.anm->pattern, 2);
    }
    const int rolled = o.FramesUntil([&] { return u.step != 1; }, 400);
    ASSERT_EQ(u.step, 2u);
    EXPECT_EQ(r.legs, c.legs);
    if (c.legs > 0) {
      EXPECT_GE(rolled, c.legs * kSlgBallLegFrames - 2) << "rolled by the clock";
      EXPECT_LE(rolled, c.legs * kSlgBallLegFrames + 2);
    }
    const SlgRangePos end = testsupport::CellPos(c.ec, c.er);
    EXPECT_EQ(r.ball.x, end.x * kPx);
    EXPECT_EQ(r.ball.y, end.y * kPx);
    EXPECT_FALSE(Objects::Drawn(u.anm2)) << "the ball hidden";
    ASSERT_NE(r.extra, nullptr) << "the explosion";
    EXPECT_EQ(r.extra->depth, kSlgExplosionDepth);
    EXPECT_EQ(r.extra->x, Slg::PosToScreen(r.ball).x);
    EXPECT_EQ(u.anm->pattern, 0);

    o.FramesUntil([&] { return u.state != 6; }, 100);
    EXPECT_EQ(u.state, 7);
    EXPECT_EQ(r.extra, nullptr) << "the explosion freed";
    o.FramesUntil([&] { return u.state == 0; }, 200);
    EXPECT_EQ(u.state, 0) << "the attack ends";
    EXPECT_EQ(u.dir, 2);
  }
}

TEST(MapObjectJokidama, LeadInAndEndKeepPattern3UnmirroredThoughItFacesDirection2) {
  Objects o;
  const uint8_t j = o.Add(Obj(kSlgKindJokidama, 3, 10));
  o.Frame();
  SlgUnit& u = o.U(j);
  ASSERT_EQ(u.dir, 2);
  for (const uint8_t state : {5, 7}) {
    SetUnitState(u, state);
    u.anm->pattern = 0;
    o.Frame();
    EXPECT_EQ(u.anm->pattern, 3) << "state " << int{state};
    EXPECT_EQ(u.anm->attr, 0) << "state " << int{state};
  }
}

// ---- The joki stand ----

TEST(MapObjectJokiStand, StaysSnappedInEveryStateAndChangesPatternAtEachEnd) {
  Objects o;
  const uint8_t stand = o.Add(Obj(kSlgKindJokiStand, 3, 10));
  o.Frame();
  SlgUnit& u = o.U(stand);
  const int32_t x = u.x, y = u.y;
  for (const uint8_t state : {0, 6, 9, 14}) {
    SetUnitState(u, state);
    u.x += 7 * kPx;  // off its cell's centre, still inside the cell
    u.y += 5 * kPx;
    o.Frame();
    EXPECT_EQ(u.x, x) << "state " << int{state};
    EXPECT_EQ(u.y, y) << "state " << int{state};
    EXPECT_EQ(u.anm->x, SlgMapToScreen(u).x);
  }
  std::vector<int> patterns = {u.anm->pattern};
  o.FramesUntil(
      [&] {
        if (patterns.back() != u.anm->pattern) patterns.push_back(u.anm->pattern);
        return patterns.size() >= 3;
      },
      200);
  EXPECT_EQ(patterns, (std::vector<int>{0, 1, 0}));
}

// ---- The Elebox ----

// An Elebox acting with three targets in its damage list.
struct EleboxScene {
  EleboxScene() {
    box = o.Add(Obj(kSlgKindElebox, 3, 10));
    for (int k = 0; k < 3; ++k) targets[k] = o.Add(Soldier(2 + k, 12 + (k == 2 ? 2 : 0)));
    BattleContext& b = Battle();
    b.state.acting_unit = box;
    for (int k = 0; k < 3; ++k) b.targets[static_cast<size_t>(k)] = static_cast<int8_t>(targets[k]);
    b.target_count = 3;
    o.Frame();
  }
  static std::vector<std::string> Tasks() {
    std::vector<std::string> names;
    for (const char* n : {"Elebox::DamageEffect", "Elebox::DamageEffect:0",
                          "Elebox::DamageEffect:1", "Elebox::DamageEffect:2"}) {
      if (Objects::Task(n) != nullptr) names.push_back(n);
    }
    return names;
  }
  SlgUnit& Box() { return o.U(box); }

  Objects o;
  uint8_t box = 0;
  uint8_t targets[3] = {};
};

TEST(MapObjectElebox, FourEffectTasksHoldTheirObjectsUntilTheEffectIsDone) {
  EleboxScene e;
  TraceCapture trace;
  SetUnitState(e.Box(), 6);
  e.o.Frame();
  ASSERT_EQ(EleboxScene::Tasks().size(), 4u);
  EXPECT_TRUE(trace.Contains("unitanm45 bank4 pos"));
  EXPECT_EQ(Battle().map_objects.elebox_done, 0);
  ASSERT_NE(e.Box().anm2, nullptr);
  EXPECT_EQ(e.Box().anm2->pattern, 2);
  struct Held {
    const char* task;
    uint8_t unit;
    uint8_t pattern;
  };
  for (const Held& h : {Held{"Elebox::DamageEffect", e.box, 1},
                        Held{"Elebox::DamageEffect:0", e.targets[0], 0},
                        Held{"Elebox::DamageEffect:2", e.targets[2], 0}}) {
    SCOPED_TRACE(h.task);
    const SlgAnmObj* obj = *static_cast<SlgAnmObj**>(Objects::Task(h.task)->owned[0]);
    const SlgUnit& on = e.o.U(h.unit);
    EXPECT_EQ(obj->pattern, h.pattern);
    EXPECT_EQ(obj->x, Slg::WorldToScreen({on.x, on.y - on.lift}).x);
    EXPECT_EQ(obj->y, Slg::WorldToScreen({on.x, on.y - on.lift}).y);
    EXPECT_EQ(obj->depth, on.anm->depth - 1);
  }
  e.o.FramesUntil([&] { return e.Box().state != 6; }, 100);
  EXPECT_EQ(e.Box().state, 7);
  EXPECT_EQ(Battle().map_objects.elebox_done, 1);
  EXPECT_EQ(e.Box().anm2, nullptr);
  e.o.Frame();
  EXPECT_TRUE(EleboxScene::Tasks().empty());
}

TEST(MapObjectElebox, ARefusedTaskStopsTheRest) {
  EleboxScene e;
  SetUnitState(e.Box(), 6);
  e.o.rig.Step();
  // Each task takes three blocks (work area, object, name): the third task is refused.
  const uint32_t start = Battle().alloc.calls;
  Battle().alloc.refuse = [start](uint32_t call, size_t) { return call >= start + 6; };
  e.o.UpdateAll();
  Battle().alloc.refuse = nullptr;
  EXPECT_EQ(EleboxScene::Tasks(),
            (std::vector<std::string>{"Elebox::DamageEffect", "Elebox::DamageEffect:0"}));
  e.o.FramesUntil([&] { return e.Box().state != 6; }, 100);
  e.o.Frame();
  EXPECT_TRUE(EleboxScene::Tasks().empty());
}

TEST(MapObjectElebox, ABoxDefeatedMidEffectLeavesNoTaskBehind) {
  EleboxScene e;
  SetUnitState(e.Box(), 6);
  e.o.Frame();
  ASSERT_EQ(EleboxScene::Tasks().size(), 4u);
  SetUnitState(e.Box(), kUnitStateDefeated);
  e.o.Frame();
  e.o.Frame();
  EXPECT_EQ(Battle().map_objects.elebox_done, 0) << "the box never finished its effect";
  EXPECT_TRUE(EleboxScene::Tasks().empty());
}

}  // namespace
