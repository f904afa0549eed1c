// What the battle uses of the battle events: the event flags and their bit layout, the script
// variables P and the trust variables, the event check's busy rule and entry, the unit look-up,
// the placement of an event object, and the stand-ins' fixed answers.

#include <gtest/gtest.h>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_events.h"
#include "game/macro_vars.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/stage_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;

// An event check entry that counts its calls and answers the count.
int g_checks = 0;
int CountingCheck() { return ++g_checks; }

TEST(SlgEventFlags, MostSignificantBitFirstAndIdsOutsideTheRange) {
  BattleBoard board;
  EXPECT_EQ(CheckEventFlag(-1), 1);
  EXPECT_EQ(CheckEventFlag(2048), 1);
  EXPECT_EQ(CheckEventFlag(INT32_MIN), 1);
  EXPECT_EQ(CheckEventFlag(0), 0);
  EXPECT_EQ(CheckEventFlag(2047), 0);

  SetEventFlag(9);
  EXPECT_EQ(Battle().event_flags[1], 0x40);
  EXPECT_EQ(CheckEventFlag(9), 1);
  EXPECT_EQ(CheckEventFlag(8), 0);
  SetEventFlag(0);
  SetEventFlag(2047);
  EXPECT_EQ(Battle().event_flags[0], 0x80);
  EXPECT_EQ(Battle().event_flags[255], 0x01);

  const auto before = Battle().event_flags;
  SetEventFlag(2048);
  SetEventFlag(static_cast<uint32_t>(int16_t{-1}));  // a negative id becomes large: ignored
  ClearEventFlag(2048);
  EXPECT_EQ(Battle().event_flags, before);

  ClearEventFlag(9);
  EXPECT_EQ(Battle().event_flags[1], 0);
  EXPECT_EQ(CheckEventFlag(0), 1);

  // They live for one battle: a fresh context starts with none set and no unit referenced.
  BattleBoard next;
  EXPECT_EQ(CheckEventFlag(0), 0);
  EXPECT_EQ(CheckEventFlag(2047), 0);
  EXPECT_EQ(Battle().event_unit_ref[0], kSlgNoUnit);
  EXPECT_EQ(Battle().event_unit_ref[1], kSlgNoUnit);
}

TEST(SlgEventServices, ScriptVariablesTrustAndEventCheck) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  SlgSetMacroP(72, 5);
  EXPECT_EQ(GetMacroP(72), 5);
  EXPECT_EQ(SlgGetMacroP(72), 5);
  struct Trust {
    int character;
    int var;
  };
  for (const Trust t : {Trust{1, 11}, Trust{2, 21}, Trust{3, 31}, Trust{4, 51}, Trust{5, 61},
                        Trust{6, 41}}) {
    SetMacroP(t.var, static_cast<uint16_t>(32768 + 10 * t.character));
    EXPECT_EQ(GetTrustVar(t.character), 10 * t.character) << t.character;
  }
  SetMacroP(11, 32760);
  EXPECT_EQ(GetTrustVar(0), -8);  // other characters read P[11]
  EXPECT_EQ(GetTrustVar(7), -8);

  EXPECT_EQ(CheckEvents(), 0);  // the stand-in
  g_checks = 0;
  ASSERT_TRUE(InstallEventEntry(Battle().events, &SlgEventEntries::check_events, &CountingCheck,
                                "check_events"));
  EXPECT_EQ(CheckEvents(), 1);
  Battle().cmd_busy = 1;
  EXPECT_EQ(CheckEvents(), 0);
  EXPECT_EQ(g_checks, 1);
  Battle().cmd_busy = 0;
  EXPECT_EQ(CheckEvents(), 2);

  EXPECT_EQ(HasEventTable(), 0);
  EXPECT_EQ(GetEventUnitChara(), -1);
  EXPECT_EQ(EventMessageNoWait(3, 0), 1);
  Slg::SetupMapEvent(0);
  EndEventCheck();
  FixTaskUpdateAll(0x1234);
}

TEST(SlgEventServices, FindUnitByGroupKindAndEventObjPlace) {
  BattleBoard board;
  board.AddUnit({.side = 1, .character = 3, .kind = 20});
  board.AddUnit({.side = 0, .character = 3, .kind = 9});
  board.AddUnit({.side = 0, .character = 3, .kind = 3});
  board.AddUnit({.side = 0, .character = 2, .kind = 3});
  // It keys on the character, whatever the kind.
  EXPECT_EQ(FindUnitByGroupKind(0, 3), &Battle().state.units[1]);
  EXPECT_EQ(FindUnitByGroupKind(1, 3), &Battle().state.units[0]);
  EXPECT_EQ(FindUnitByGroupKind(0, 2), &Battle().state.units[3]);
  EXPECT_EQ(FindUnitByGroupKind(1, 20), nullptr);
  EXPECT_EQ(FindUnitByGroupKind(2, 3), nullptr);
  Battle().state.units[1].step = kSlgDeadStep;  // dead records still match
  EXPECT_EQ(FindUnitByGroupKind(0, 3), &Battle().state.units[1]);
  // Records beyond the unit count are not looked at.
  Battle().state.unit_count = 3;
  EXPECT_EQ(FindUnitByGroupKind(0, 2), nullptr);
  Battle().state.unit_count = 4;

  // The first event unit reference: a slot at or beyond the unit count (stale after a removal)
  // names no unit, as 64 and 65535 do.
  struct Ref {
    uint16_t slot;
    int character;
  };
  for (const Ref r : {Ref{3, 2}, Ref{0, 3}, Ref{4, -1}, Ref{63, -1}, Ref{64, -1}, Ref{kSlgNoUnit, -1}}) {
    Battle().event_unit_ref[0] = r.slot;
    EXPECT_EQ(GetEventUnitChara(), r.character) << r.slot;
  }

  // (192, 240) is cell (2, 10).
  const uint8_t placed = board.AddUnit({});
  struct Case {
    uint32_t word;
    int32_t lift;
    uint16_t shade;
  };
  for (const Case& c : {Case{testsupport::CellWord(3), 3 * 48 * 65536, 8192},
                        Case{testsupport::CellWord(1, 0, 1), 48 * 65536, 16384},
                        Case{0x20000 | 0x400 | 31, 31 * 48 * 65536, 16384}}) {
    board.SetCell(2, 10, c.word);
    SlgUnit& u = Battle().state.units[placed];
    u.x = 192 * 65536;
    u.y = 240 * 65536;
    SlgAnmObj body{};
    u.anm = &body;
    EventObjPlace(u);
    EXPECT_EQ(u.cell_attr, c.word);
    EXPECT_EQ(u.lift, c.lift);
    EXPECT_EQ(body.shade, c.shade);
    EXPECT_EQ(body.depth, -120);  // -(y / 2) of its position, first
    u.anm = nullptr;
    EventObjPlace(u);  // without a body object
    EXPECT_EQ(u.lift, c.lift);
  }

  // The pieces: the cell word under the snapped position (a point inside the cell but off its
  // centre reads the same cell), the lift and shade from the kept word only.
  SlgUnit& u = Battle().state.units[placed];
  board.SetCell(2, 10, testsupport::CellWord(4, 0, 2));
  u.x = (192 + 30) * 65536;
  u.y = (240 - 8) * 65536;
  EXPECT_EQ(EventObjCellWord(u), testsupport::CellWord(4, 0, 2));
  u.cell_attr = 7;
  EXPECT_EQ(EventObjHeightLift(u), 7 * 48 * 65536);
  EventObjSetHeightLift(u);
  EXPECT_EQ(u.lift, 7 * 48 * 65536);
  SlgAnmObj body{};
  u.anm = &body;
  EventObjShadeMode(u);
  EXPECT_EQ(body.shade, 8192);
  EventObjSetCellWord(u);
  EventObjShadeMode(u);
  EXPECT_EQ(body.shade, 16384);
  EXPECT_EQ(u.lift, 7 * 48 * 65536);  // not read again by the shade
  EventObjSetDepth(u);
  EXPECT_EQ(body.depth, -116);
  u.anm = nullptr;
  EventObjShadeMode(u);
  EventObjSetDepth(u);
}

}  // namespace
