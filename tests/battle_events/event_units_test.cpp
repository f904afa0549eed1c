// The map scripts' unit primitives on the battle rig (a board on its battle, the event objects'
// sprite files of kinds 80-82 and the text tables loaded): the three look-ups, deploying from the
// placement list (order, keys, the moved entry, refusals), undeploying and removing, the flags
// with their show and hide, state and direction (removed records left alone), the scripted
// placement, the resumed and extra animations, and the position helpers.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_units.h"
#include "battle_events/events_install.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::CellPos;
using testsupport::CellWord;
using testsupport::EventAnmWriter;
using testsupport::OnCell;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;

constexpr int32_t kPx = 0x10000;

int Quiet(SlgUnit& /*unit*/, SlgPair& /*pos*/) { return 0; }
// Handlers for kinds 80-82.
constexpr SlgEventAnmHandler kHandlers[] = {&Quiet, &Quiet, &Quiet};

// An event object's entry: kind 80-143, category 3, shown only (no turn, no grid).
BoardUnit Npc(uint8_t kind, uint8_t character, int column, int row, uint8_t number = 0) {
  return OnCell(column, row,
                {.character = character, .kind = kind, .category = 3, .flags = 0x80,
                 .number = number});
}

class EventUnits : public ::testing::Test {
 protected:
  EventUnits() {
    GetSystemData()->setBattleMap(0);
    SlgTableWriter tables;
    EventAnmWriter::Lay(rig.driver().tree, tables, 0, {80, 81, 82});
    testsupport::UnitAnmWriter(0).Slots({5, 6}).Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    InstallBattleEvents(rig.battle());
    SetEventAnmTable(kHandlers);
  }

  SlgUnit& U(int slot) { return rig.battle().state.units[static_cast<size_t>(slot)]; }
  int Count() const { return Battle().state.unit_count; }

  BattleRig rig;
  BattleBoard board{rig.battle()};
};

// ---- Look-ups ----

TEST_F(EventUnits, LookUpsFindTheFirstRecordOfTheirKeyRemovedOnesIncluded) {
  board.AddUnit({.side = 0, .character = 0, .kind = 0});                          // 0
  board.AddUnit({.side = 1, .character = 20, .kind = 14, .number = 1});           // 1
  board.AddUnit({.side = 1, .character = 21, .kind = 14, .number = 2});           // 2
  board.AddUnit({.side = 2, .character = 20, .kind = 14, .number = 2});           // 3
  board.AddUnit({.side = 1, .character = 5, .kind = 80, .category = 3, .number = 1});  // 4
  U(1).step = kSlgDeadStep;  // removed by an event: still found
  struct Case {
    const char* name;
    SlgUnit* found;
    int slot;  // -1: none
  };
  const std::vector<Case> cases = {
      {"kind 14", FindUnitByKind(14), 1},
      {"kind 80", FindUnitByKind(80), 4},
      {"kind 99", FindUnitByKind(99), -1},
      {"kind 14 number 1", FindUnitByIndex(14, 0x100), 1},
      {"kind 14 number 2", FindUnitByIndex(14, 0x200), 2},
      {"kind 14 number 3", FindUnitByIndex(14, 0x300), -1},
      {"kind 14 number 2 unshifted", FindUnitByIndex(14, 2), -1},
      {"kind 80 number 1", FindUnitByIndex(80, 0x100), 4},
      {"kind 0 number 0", FindUnitByIndex(0, 0), 0},
      {"group 1 character 21", FindUnitByGroupKind(1, 21), 2},
      {"group 2 character 20", FindUnitByGroupKind(2, 20), 3},
      {"group 1 character 20", FindUnitByGroupKind(1, 20), 1},
      {"group 0 character 5", FindUnitByGroupKind(0, 5), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.found, c.slot < 0 ? nullptr : &U(c.slot));
  }
  // Records beyond the unit count are not looked at.
  rig.battle().state.unit_count = 4;
  EXPECT_EQ(FindUnitByKind(80), nullptr);
  EXPECT_EQ(FindUnitByIndex(80, 0x100), nullptr);
}

// ---- Deploying ----

// The list: the hero (made), then kind 81 character 7 (number 1), kind 82, kind 81 character 9
// (number 2), an ASHIGARU (kind 14, not made).
class Deploys : public EventUnits {
 protected:
  Deploys() {
    board.AddUnit({.kind = 0, .x = 192, .y = 240});
    board.AddEntry(Npc(81, 7, 3, 12, 1));
    board.AddEntry(Npc(82, 7, 4, 12));
    board.AddEntry(Npc(81, 9, 5, 12, 2));
    board.AddEntry(OnCell(6, 13, {.side = 1, .character = 20, .kind = 14, .category = 1}));
  }
  // (kind, character, entry, deploy state) of the records after the hero.
  struct Made {
    int kind, character, entry, deploy;
    bool operator==(const Made&) const = default;
  };
  std::vector<Made> MadeAfterHero() {
    std::vector<Made> made;
    for (int i = 1; i < Count(); ++i) made.push_back({U(i).kind, U(i).character, U(i).entry, U(i).deploy_state});
    return made;
  }
};

TEST_F(Deploys, DeploysWalkTheWholeListInOrderByKindAndCharacter) {
  struct Case {
    const char* name;
    void (*script)();
    std::vector<Made> made;
  };
  const std::vector<Case> cases = {
      {"kind 81: both entries, in list order", [] { EventDeployKind(81); },
       {{81, 7, 1, 1}, {81, 9, 3, 1}}},
      {"kind 82", [] { EventDeployKind(82); }, {{82, 7, 2, 1}}},
      {"kind 81, character 9", [] { EventDeployKindNo(81, 9); }, {{81, 9, 3, 1}}},
      {"kind 81, character 8: none", [] { EventDeployKindNo(81, 8); }, {}},
      {"a kind no entry has", [] { EventDeployKind(83); }, {}},
      {"entry 2 itself", [] { EventDeployEntry(2); }, {{82, 7, 2, 1}}},
      {"kind 81 twice", [] { EventDeployKind(81); EventDeployKind(81); },
       {{81, 7, 1, 1}, {81, 9, 3, 1}, {81, 7, 1, 1}, {81, 9, 3, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    while (Count() > 1) Slg::RemoveUnit(1);
    c.script();
    EXPECT_EQ(MadeAfterHero(), c.made);
    for (int i = 1; i < Count(); ++i) EXPECT_EQ(U(i).slot, i);
  }
}

TEST_F(Deploys, AnEventObjectIsSetUpAtItsEntryWithItsAttributeWordAndItsKindsAnimation) {
  EventDeployKindNo(81, 9);
  ASSERT_EQ(Count(), 2);
  const SlgUnit& u = U(1);
  const SlgRangePos at = CellPos(5, 12);
  EXPECT_EQ(u.x, at.x * kPx);
  EXPECT_EQ(u.y, (at.y + 24) * kPx);
  EXPECT_EQ(u.walk, 0);
  EXPECT_EQ(u.state, 0);
  ASSERT_NE(u.anm, nullptr);
  EXPECT_EQ(u.anm2, nullptr);
  EXPECT_EQ(u.anm->pattern, 0);
  EXPECT_EQ(u.anm->mode, 0);
  EXPECT_EQ(u.anm->attr, 0x0200);  // the entry's word at bytes 10-11: number 2, attribute 0
  EXPECT_EQ(u.anm->handle, nullptr);  // the handler plays it
  ASSERT_NE(u.anims[kUnitAnmBaseBody], nullptr);
  EXPECT_NE(u.anims[kUnitAnmBaseBody]->name.find("NPC81.SPR"), std::string::npos);
  // Not placed on the grid, its type row zero (no type row exists for event objects).
  EXPECT_EQ(GetUnitAtCell(5, 12), kSlgNoUnit);
  SlgUnitStats zero{};
  EXPECT_EQ(std::memcmp(&u.stats, &zero, sizeof zero), 0);
}

TEST_F(Deploys, APlacementCellSetBeforeTheDeployMovesTheFirstEntryOfTheKindOnly) {
  EventSetKindPlaceCell(81, 600, 400);
  EventSetKindPlaceCell(99, 1, 1);  // no entry of the kind: nothing
  EventDeployKind(81);
  ASSERT_EQ(Count(), 3);
  EXPECT_EQ(U(1).x, 600 * kPx);
  EXPECT_EQ(U(1).y, 400 * kPx);
  EXPECT_EQ(U(2).x, CellPos(5, 12).x * kPx);
  EXPECT_EQ(rig.battle().stage->unit(1).x, 600);
  EXPECT_EQ(rig.battle().stage->unit(3).x, CellPos(5, 12).x);
}

TEST_F(Deploys, ARedeployPlacesAnOrdinaryUnitAndPutsBackTheCurrentUnitNumberOnly) {
  SlgBattleState& s = rig.battle().state;
  s.acting_unit = 0;
  s.acting_copy1 = 5;
  s.acting_copy2 = 0;
  EventRedeployKind(14);
  ASSERT_EQ(Count(), 2);
  const SlgUnit& u = U(1);
  EXPECT_EQ(u.kind, 14);
  EXPECT_EQ(u.deploy_state, 0);
  ASSERT_NE(u.anm, nullptr);  // the placement made its body object
  EXPECT_EQ(u.y, CellPos(6, 13).y * kPx);  // snapped to its cell
  EXPECT_EQ(GetUnitAtCell(6, 13), 1);
  EXPECT_EQ(s.acting_unit, 0);
  EXPECT_EQ(s.acting_copy1, 0);

  // By number: the first entry of the kind with that placement number.
  EventRedeployKindNo(81, 0x200);
  ASSERT_EQ(Count(), 3);
  EXPECT_EQ(U(2).character, 9);
  EventRedeployKindNo(81, 0x300);
  EXPECT_EQ(Count(), 3);
}

TEST_F(EventUnits, AnEmptyPlacementListDeploysNothing) {
  for (void (*script)() : {+[] { EventDeployKind(80); }, +[] { EventDeployKindNo(80, 0); },
                           +[] { EventRedeployKind(80); }, +[] { EventRedeployKindNo(80, 0); },
                           +[] { EventSetKindPlaceCell(80, 1, 1); }}) {
    script();
    EXPECT_EQ(Count(), 0);
  }
  rig.battle().stage.reset();  // no stage loaded at all
  EventDeployKind(80);
  EventDeployEntry(0);
  EXPECT_EQ(FindUnitByIndex(80, 0), nullptr);
  EXPECT_EQ(Count(), 0);
}

TEST_F(EventUnits, ADeployIsRefusedBeyondTheTableAndWithSixtyFourUnits) {
  board.AddEntry(Npc(83, 0, 3, 12));  // entry 0: beyond the three handlers
  board.AddEntry(Npc(82, 0, 4, 12));  // entry 1
  TraceCapture trace;
  EventDeployKind(83);
  EXPECT_EQ(Count(), 0);
  EXPECT_TRUE(trace.Contains("entry 0: kind 83 has no handler in the event-animation table"));
  SetEventAnmTable({});  // no table: every event-object kind is beyond it
  EventDeployKind(82);
  EXPECT_EQ(Count(), 0);
  SetEventAnmTable(kHandlers);

  // 62 ordinary units and two event objects make 64; the next deploy is refused and nothing of
  // the set-up runs.
  for (int i = 0; i < 62; ++i) board.AddUnit({.kind = 14, .category = 1});
  ASSERT_EQ(Count(), 62);
  for (int i = 0; i < 2; ++i) EventDeployEntry(1);
  ASSERT_EQ(Count(), 64);
  const uint32_t objects = rig.battle().anm_pool.in_use;
  trace.Clear();
  EventDeployEntry(1);
  EXPECT_EQ(Count(), 64);
  EXPECT_EQ(rig.battle().anm_pool.in_use, objects);
  EXPECT_TRUE(trace.Contains("Slg::CreateUnit: no free slot for entry 1"));
  EXPECT_TRUE(trace.Contains("EventDeployEntry: entry 1: no unit made"));
  EXPECT_FALSE(trace.Contains("NPCID"));
}

TEST_F(EventUnits, AKindWithoutAnEventAnmRowIsTracedAndStillDeployed) {
  static constexpr SlgEventAnmHandler kFour[] = {&Quiet, &Quiet, &Quiet, &Quiet};
  SetEventAnmTable(kFour);
  board.AddEntry(Npc(83, 0, 3, 12));
  TraceCapture trace;
  EventDeployKind(83);
  ASSERT_EQ(Count(), 1);
  EXPECT_EQ(trace.Count("NPCID:3 is not described in EventAnm Table!\n"), 1);
  EXPECT_EQ(U(0).deploy_state, kEventObjDeployed);
  EXPECT_NE(U(0).anm, nullptr);
  EXPECT_EQ(U(0).anims[kUnitAnmBaseBody], nullptr);
}

// ---- Undeploying and removing ----

TEST_F(EventUnits, UndeployEndsRunningObjectsAndCancelsFreshOnes) {
  for (int i = 0; i < 5; ++i) board.AddUnit(Npc(80, static_cast<uint8_t>(i % 2), 3 + i, 12));
  board.AddUnit(Npc(81, 0, 3, 14));
  const uint8_t before[] = {0, 1, 2, 2, 2, 2};
  for (int i = 0; i < 6; ++i) U(i).deploy_state = before[i];
  EventUndeployKindChara(80, 1);  // slots 1 and 3
  EXPECT_EQ(U(1).deploy_state, 0);
  EXPECT_EQ(U(3).deploy_state, 3);
  EXPECT_EQ(U(4).deploy_state, 2);
  EventUndeployKind(80);  // 3 stays 3
  const uint8_t after[] = {0, 0, 3, 3, 3, 2};  // kind 81 untouched
  for (int i = 0; i < 6; ++i) EXPECT_EQ(U(i).deploy_state, after[i]) << i;
  EXPECT_EQ(Count(), 6);  // the step frees them, not the undeploy
}

TEST_F(EventUnits, RemovalsLeaveTheRecordInItsSlotAsDead) {
  board.AddUnit({.side = 0, .character = 2, .kind = 2, .x = 192, .y = 240});
  board.AddUnit({.side = 1, .character = 20, .kind = 14, .x = 384, .y = 240, .number = 2});
  ASSERT_EQ(GetUnitAtCell(2, 10), 0);
  EventRemoveChara(0, 2);
  EventRemoveKindNo(14, 0x200);
  EventRemoveChara(0, 5);  // none: nothing
  EventRemoveKindNo(14, 0x100);
  ASSERT_EQ(Count(), 2);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(U(i).step, kSlgDeadStep) << i;
  EXPECT_EQ(GetUnitAtCell(2, 10), kSlgNoUnit);
  EXPECT_EQ(FindUnitByKind(14), &U(1));
}

// ---- Flags, state, direction ----

TEST_F(EventUnits, OnlyTheExactShowBitShowsOrHidesTheBody) {
  board.AddUnit(Npc(81, 0, 3, 12, 1));
  board.AddUnit(Npc(81, 0, 4, 12, 2));
  SlgUnit& u = U(0);
  u.anm = CreateAnmObj(0, 0);
  LoadUnitEventAnm(u);
  const AnimeHandle h = SlgPlayAnm(u.anims[kUnitAnmBaseBody], 0, u.anm, SURFACE_ROOT);
  ASSERT_NE(h, nullptr);
  const auto stopped = [&] { return Ctx().anime.RecordOf(h)->stop != 0; };
  struct Step {
    const char* name;
    void (*op)();
    uint32_t flags;
    bool stopped;
  };
  const std::vector<Step> steps = {
      {"clear 0x81: no hide", [] { EventClearKindFlag(81, 0x81); }, 0x00, false},
      {"set 0x81: no show", [] { EventSetKindFlag(81, 0x81); }, 0x81, false},
      {"clear 0x80: hidden", [] { EventClearKindFlag(81, 0x80); }, 0x01, true},
      {"set 0x81 while hidden: still hidden", [] { EventSetKindFlag(81, 0x81); }, 0x81, true},
      {"set 0x80: shown", [] { EventSetKindFlag(81, 0x80); }, 0x81, false},
      {"the mark on number 1", [] { EventMarkKindNo(81, 0x100); }, 0x40081, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    s.op();
    EXPECT_EQ(u.flags, s.flags);
    EXPECT_EQ(stopped(), s.stopped);
  }
  EXPECT_EQ(U(1).flags, 0x80u);  // the first of the kind only; number 2 unmarked
  // Missing units: nothing.
  EventSetUnitFlag(nullptr, 0x80);
  EventClearUnitFlag(nullptr, 0x80);
  EventSetKindFlag(99, 0x80);
  EventMarkKindNo(81, 0x300);
  EXPECT_EQ(U(1).flags, 0x80u);

  // A held start resumes: the start-stopped bit cleared, the animation running again.
  u.anm->mode = kSlgAnmStartStopped;
  Ctx().anime.SetStop(h, 1);
  EventResumeKindAnm(81);
  EXPECT_EQ(u.anm->mode, 0);
  EXPECT_FALSE(stopped());
  EventResumeKindAnm(99);
}

TEST_F(EventUnits, StateAndDirectionLeaveRemovedRecordsAlone) {
  board.AddUnit({.side = 0, .character = 3, .kind = 3, .facing = 0});
  board.AddUnit({.side = 1, .character = 20, .kind = 14, .category = 1, .number = 1});
  for (int i = 0; i < 2; ++i) {
    U(i).state = 8;
    U(i).step = 7;
  }
  EventSetCharaDir(3, 2);
  EXPECT_EQ(U(0).dir, 2);
  EXPECT_EQ(U(0).state, 0);
  EXPECT_EQ(U(0).step, 0u);
  EventSetKindNoState(14, 0x100, 5);
  EXPECT_EQ(U(1).state, 5);
  EXPECT_EQ(U(1).step, 0u);

  // Removed: the step stays 255, so the conditions keep counting them absent.
  for (int i = 0; i < 2; ++i) U(i).step = kSlgDeadStep;
  EventSetCharaDir(3, 1);
  EventSetKindNoState(14, 0x100, 6);
  EXPECT_EQ(U(0).dir, 2);
  EXPECT_EQ(U(0).state, 0);
  EXPECT_EQ(U(1).state, 5);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(U(i).step, kSlgDeadStep) << i;
  // Missing: nothing.
  EventSetCharaDir(6, 1);
  EventSetKindNoState(14, 0x200, 6);
  EXPECT_EQ(U(1).state, 5);
}

// ---- Placement ----

TEST_F(EventUnits, PlaceUnitAtMovesTheUnitFromItsCellOntoTheNewOne) {
  const uint8_t slot = board.AddUnit({.kind = 0, .x = 192, .y = 240});  // cell (2, 10), on the grid
  board.SetCell(6, 21, CellWord(2, 0, 1));
  SlgUnit& u = U(slot);
  u.anm = CreateAnmObj(0, 0);
  ASSERT_EQ(GetUnitAtCell(2, 10), slot);
  const SlgRangePos at = CellPos(6, 21);
  EventPlaceUnitAt(&u, at.x + 10, at.y + 20, 3);  // inside the cell, off its point
  EXPECT_EQ(GetUnitAtCell(2, 10), kSlgNoUnit);
  EXPECT_EQ(GetUnitAtCell(6, 21), slot);
  EXPECT_EQ(u.x, at.x * kPx);
  EXPECT_EQ(u.y, at.y * kPx);
  EXPECT_EQ(u.cell_attr, CellWord(2, 0, 1));
  EXPECT_EQ(u.lift, 2 * 48 * kPx);
  EXPECT_EQ(u.anm->depth, -(at.y / 2));
  EXPECT_EQ(u.dir, 3);

  // Without 0x2000 the unit leaves its cell and enters none; a missing unit: nothing.
  u.flags &= ~kUnitOnGrid;
  EventPlaceUnitAt(&u, 192, 240, 0);
  EXPECT_EQ(GetUnitAtCell(6, 21), kSlgNoUnit);
  EXPECT_EQ(GetUnitAtCell(2, 10), kSlgNoUnit);
  EventPlaceUnitAt(nullptr, 0, 0, 0);
}

TEST_F(EventUnits, SnapAndScreenPositionFollowTheCellHeightTheScrollAndTheLift) {
  const uint8_t slot = board.AddUnit({.kind = 0});
  board.SetCell(2, 10, CellWord(2));
  SlgUnit& u = U(slot);
  u.x = (192 + 20) * kPx + 0x8000;  // inside cell (2, 10), with a fraction
  u.y = 235 * kPx + 0x1234;
  EventObjSnap(u);
  EXPECT_EQ(u.x, 192 * kPx);
  EXPECT_EQ(u.y, (216 + 2 * 48) * kPx);
  rig.battle().state.scroll_x = 100;
  rig.battle().state.scroll_y = 40;
  u.lift = 48 * kPx;
  const SlgPair screen = EventObjScreenPos(u);
  EXPECT_EQ(screen.x, (192 - 420) * kPx);
  EXPECT_EQ(screen.y, (312 - 256 - 48) * kPx);
}

// ---- Animations ----

TEST_F(EventUnits, ExtraAndEventAnimationsLoadByKind) {
  board.AddUnit({.side = 0, .character = 4, .kind = 0, .number = 1});
  board.AddUnit({.side = 1, .character = 3, .kind = 81, .category = 3});
  EXPECT_EQ(EventLoadUnitExtraAnm(nullptr), 1);
  EXPECT_EQ(EventLoadCharaExtraAnm(0, 6), 1);
  EXPECT_EQ(U(0).anims[5], nullptr);
  EXPECT_EQ(EventLoadCharaExtraAnm(0, 4), 1);
  EXPECT_NE(U(0).anims[5], nullptr);
  EXPECT_NE(U(0).anims[6], nullptr);
  Slg::ReleaseUnitSprites(U(0));
  EXPECT_EQ(EventLoadKindNoExtraAnm(0, 0x100), 1);
  EXPECT_NE(U(0).anims[5], nullptr);

  // An event object's animation is its kind's, whatever its character byte holds.
  EventLoadKindEventAnm(81);
  ASSERT_NE(U(1).anims[kUnitAnmBaseBody], nullptr);
  EXPECT_NE(U(1).anims[kUnitAnmBaseBody]->name.find("NPC81.SPR"), std::string::npos);
  EventLoadKindEventAnm(99);
}

}  // namespace
