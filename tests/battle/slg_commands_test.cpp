// The unit commands on board stages with injected keys: move (confirm, the way back, undo,
// refused cells, the teleporting heroine), attack (waiting on bad targets, the whole road to the
// applied hits with the stub routine, a target gone, re-aim), the enemy forms, the support
// commands, cover, and the pad queries. Unit states the commands set are moved on by hand here
// (3 -> 1 walk, 4 -> 8 ready, 9 -> 0) as the state handlers will; the attacker's states 5-7 run
// the attack frame's entries.

#include "battle/slg_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_pad.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_screen.h"
#include "battle/slg_search.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/input/dinput.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/script_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::SystemSpriteSet;
using testsupport::TraceCapture;

struct Cell {
  int column, row;
};
SlgRangePos Snap(Cell c) { return testsupport::CellPos(c.column, c.row); }
BoardUnit On(Cell c, BoardUnit u) { return testsupport::OnCell(c.column, c.row, u); }

int g_stub_calls = 0;
void StubRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  ++g_stub_calls;
  EndAttack(unit);
}

constexpr Cell kHome{4, 20};
constexpr Cell kNextTo{4, 19};  // a neighbour of kHome
constexpr Cell kFree{3, 21};    // another neighbour, free
constexpr Cell kFar{8, 40};

// A board with the acting unit at kHome and, on demand, others; the system sprites laid and
// loaded; one frame at a time with keys, the handler and the unit-state stand-ins.
class CmdRig {
 public:
  explicit CmdRig(const BattleRig::Options& options = {}) : rig(options), board(rig.battle()) {
    SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    board.SetMapSize(1280, 1280);
  }
  ~CmdRig() {
    Slg::ReleaseRangeMarkers();
    FreeSystemSprites();
  }
  uint8_t Add(Cell c, BoardUnit u) {
    const uint8_t slot = board.AddUnit(On(c, u));
    SlgUnit& unit = U(slot);
    Slg::PlaceUnit(unit);
    unit.stats.total_move = 3;
    unit.stats.life = unit.stats.max_life = 100;
    return slot;
  }
  uint8_t Actor(BoardUnit u = {.side = 0, .character = 1, .kind = 1}) {
    acting = Add(kHome, u);
    Battle().state.acting_unit = acting;
    Battle().action_table[u.kind] = &StubRoutine;
    return acting;
  }
  static SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  SlgUnit& A() { return U(acting); }
  static void Cursor(Cell c) {
    Battle().state.cursor_cell = {static_cast<int16_t>(c.column), static_cast<int16_t>(c.row)};
    const SlgRangePos p = Snap(c);
    Battle().state.cursor_snap = {p.x, p.y};
  }
  // One frame: keys down for it (triggered in it), the handler, then the unit states moved on.
  // A key pressed in the frame before goes up in a frame of its own first (a release and a press
  // before one frame would not trigger), whose handler result is answered when it is not 1.
  int Frame(const std::function<int()>& handler, std::initializer_list<GameKeyBits> keys = {}) {
    if (keys.size() != 0 && keys_were_down_) {
      keys_were_down_ = false;
      const int gap = Frame(handler);
      if (gap != kSlgCmdRunning) return gap;
    }
    for (GameKeyBits k : keys) rig.Schedule({testsupport::GameKeyDown(rig.frame(), k)});
    rig.Step();
    const int result = handler();
    for (GameKeyBits k : keys) rig.Schedule({testsupport::GameKeyUp(rig.frame(), k)});
    keys_were_down_ = keys.size() != 0;
    DriveStates();
    return result;
  }
  // Frames until the handler answers something else than 1; -1 after `limit`.
  int RunToEnd(const std::function<int()>& handler, int limit, int* frames = nullptr) {
    for (int f = 1; f <= limit; ++f) {
      const int r = Frame(handler);
      if (r != kSlgCmdRunning) {
        if (frames != nullptr) *frames = f;
        return r;
      }
    }
    return -1;
  }
  void DriveStates() {
    unit_state_moves::MoveStatesOn();
  }
  static uint32_t Step() { return Battle().phase_sub; }
  uint32_t Colour(int slot, int frame) {
    const PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(
        platform::PackColorRef(SystemSpriteSet::ColourRef(slot, frame), layout), layout);
  }
  static uint32_t View() { return Battle().cmd.range_view; }
  static bool OnCell(const SlgUnit& u, Cell c) {
    const SlgPoint p = SnapPosToCell(u.x >> 16, u.y >> 16);
    return p.x == Snap(c).x && p.y == Snap(c).y && GetUnitAtCell(c.column, c.row) == u.slot;
  }

  BattleRig rig;
  BattleBoard board;
  uint8_t acting = 0;

 private:
  bool keys_were_down_ = false;
};

int MarkedCells() {
  int n = 0;
  for (uint16_t cost : Battle().search.range_cost) n += cost != kSlgCostUnreached ? 1 : 0;
  return n;
}

// ---- Pad queries ----

TEST(PadQueries, EnemiesAnswerAtOnceAndThePlayersKeysAreHeardWithTheirSounds) {
  struct Case {
    const char* name;
    int (*query)();
    uint8_t side;
    GameKeyBits key;
    int expect;
    int se;  // -1 none
    const char* trace;
  };
  const Case cases[] = {
      {"enemy OK without a key", Slg::IsPressOK, 1, 0, 1, -1, nullptr},
      {"enemy menu without a key", Slg::IsPressMenu, 1, 0, 1, -1, nullptr},
      {"enemy info without a key", Slg::IsPressInfo, 1, 0, 1, -1, nullptr},
      {"enemy cancel with key 1 pressed", Slg::IsPressCancel, 1, kGameKey1, 0, -1, nullptr},
      {"player OK", Slg::IsPressOK, 0, kGameKey0, 1, 15, "Press OK\n"},
      {"player menu", Slg::IsPressMenu, 0, kGameKey0, 1, 15, "Press Menu\n"},
      {"player info", Slg::IsPressInfo, 0, kGameKey1, 1, -1, "Press Info\n"},
      {"player cancel", Slg::IsPressCancel, 0, kGameKey1, 1, 17, "Press Cancel\n"},
      {"player OK, no key", Slg::IsPressOK, 0, 0, 0, -1, nullptr},
      {"player OK on key 1", Slg::IsPressOK, 0, kGameKey1, 0, -1, nullptr},
      {"player cancel on key 0", Slg::IsPressCancel, 0, kGameKey0, 0, -1, nullptr},
      {"extra, player", Slg::IsPressExtra, 0, kGameKey0, 0, -1, nullptr},
      {"extra, enemy", Slg::IsPressExtra, 1, kGameKey0, 0, -1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CmdRig r;
    r.Actor({.side = c.side, .character = 1, .kind = 1});
    Battle().last_se = -1;
    TraceCapture trace;
    int got = -1;
    if (c.key != 0)
      r.Frame([&] { got = c.query(); return 0; }, {c.key});
    else
      r.Frame([&] { got = c.query(); return 0; });
    EXPECT_EQ(got, c.expect);
    EXPECT_EQ(Battle().last_se, c.se);
    if (c.trace != nullptr) {
      EXPECT_TRUE(trace.Contains(c.trace));
    } else {
      EXPECT_FALSE(trace.Contains("Press "));
    }
  }
}

// ---- Move ----

TEST(CmdMove, OkOnAFreeReachedCellWalksThereAndOkConfirms) {
  CmdRig r;
  r.Actor();
  SlgUnit& a = r.A();
  auto move = [&] { return Slg::CmdMove(a); };
  EXPECT_EQ(r.Frame(move), kSlgCmdRunning);
  EXPECT_EQ(Battle().cmd_busy, 1u);
  EXPECT_EQ(r.Step(), 1u);
  CmdRig::Cursor(kFree);
  r.Frame(move, {kGameKey0});
  EXPECT_EQ(r.Step(), 2u) << "accepted: the walk starts";
  EXPECT_EQ(Battle().cmd.unit_acting, 1u);
  EXPECT_EQ(Battle().cmd.move_backup.marker, 1u);
  EXPECT_EQ(Battle().flags & 0x9, 0x1) << "bit 0 set, bit 3 cleared";
  bool mark_seen = false;
  for (int f = 0; f < 200 && r.Step() != 4; ++f) {
    r.Frame(move);
    mark_seen = mark_seen || Battle().cmd.dest_mark.handle != nullptr;
  }
  ASSERT_EQ(r.Step(), 4u) << "ready at the destination, waiting for the confirmation";
  EXPECT_TRUE(mark_seen) << "the destination mark was drawn during the walk";
  r.Frame(move, {kGameKey0});
  EXPECT_EQ(Battle().cmd.unit_acting, 0u);
  EXPECT_EQ(Battle().flags & 0x9, 0x8);
  int frames = 0;
  EXPECT_EQ(r.RunToEnd(move, 40, &frames), kSlgCmdDone);
  EXPECT_EQ(CmdRig::View(), kSlgRangeClosed);
  EXPECT_EQ(Battle().cmd_busy, 0u);
  EXPECT_TRUE(CmdRig::OnCell(a, kFree));
  EXPECT_EQ(GetUnitAtCell(kHome.column, kHome.row), kSlgNoUnit);
}

TEST(CmdMove, CancelAtTheConfirmationPutsTheUnitBackAndUndoRestoresAConfirmedMove) {
  for (bool undo : {false, true}) {
    SCOPED_TRACE(undo ? "undo after the confirmation" : "cancel at the confirmation");
    CmdRig r;
    r.Actor();
    SlgUnit& a = r.A();
    const int32_t x = a.x, y = a.y, lift = a.lift;
    const uint32_t cell = a.cell_attr;
    auto move = [&] { return Slg::CmdMove(a); };
    r.Frame(move);
    CmdRig::Cursor(kFree);
    r.Frame(move, {kGameKey0});
    for (int f = 0; f < 200 && r.Step() != 4; ++f) r.Frame(move);
    ASSERT_EQ(r.Step(), 4u);
    a.stats.life = 40;  // hurt on the way (an event, say): the way back restores the saved life
    a.lift = 7 << 16;
    if (!undo) {
      r.Frame(move, {kGameKey1});
      EXPECT_EQ(r.Step(), 1u) << "back to choosing, the range open again";
      EXPECT_EQ(CmdRig::View(), kSlgRangeOpening);
    } else {
      r.Frame(move, {kGameKey0});
      ASSERT_EQ(r.RunToEnd(move, 40), kSlgCmdDone);
      Battle().phase_sub = 0;
      EXPECT_EQ(r.RunToEnd([&] { return Slg::CmdUndoMove(a); }, 40), kSlgCmdDone);
      EXPECT_EQ(Battle().cmd.move_backup.marker, 0u) << "a move is undone once";
    }
    EXPECT_EQ(a.x, x);
    EXPECT_EQ(a.y, y);
    EXPECT_EQ(a.lift, lift);
    EXPECT_EQ(a.cell_attr, cell);
    EXPECT_EQ(a.stats.life, 100);
    EXPECT_TRUE(CmdRig::OnCell(a, kHome));
    EXPECT_EQ(GetUnitAtCell(kFree.column, kFree.row), kSlgNoUnit);
  }
}

TEST(CmdMove, UndoWithoutABackupLeavesTheUnitWhereItIs) {
  CmdRig r;
  r.Actor();
  SlgUnit& a = r.A();
  const int32_t x = a.x, y = a.y;
  EXPECT_EQ(r.RunToEnd([&] { return Slg::CmdUndoMove(a); }, 40), kSlgCmdDone);
  EXPECT_EQ(a.x, x);
  EXPECT_EQ(a.y, y);
  EXPECT_TRUE(CmdRig::OnCell(a, kHome));
}

TEST(CmdMove, RefusedCellsKeepWaitingAndCancelEndsWithTwoAfterTheMarkersClose) {
  CmdRig r;
  r.Actor();
  const uint8_t other = r.Add(kNextTo, {.side = 0, .character = 2, .kind = 2});
  SlgUnit& a = r.A();
  auto move = [&] { return Slg::CmdMove(a); };
  r.Frame(move);
  for (Cell c : {kNextTo, kFar, kHome}) {
    CmdRig::Cursor(c);
    Battle().last_se = -1;
    EXPECT_EQ(r.Frame(move, {kGameKey0}), kSlgCmdRunning);
    EXPECT_EQ(Battle().last_se, 15) << "the OK was heard";
    EXPECT_EQ(r.Step(), 1u) << "a cell holding a unit or not reached is refused";
  }
  EXPECT_EQ(a.state, 0);
  EXPECT_EQ(r.Frame(move, {kGameKey1}), kSlgCmdRunning);
  EXPECT_EQ(r.Step(), 6u);
  int frames = 0;
  EXPECT_EQ(r.RunToEnd(move, 40, &frames), kSlgCmdCancelled);
  EXPECT_GE(frames, 12) << "not before the markers have drawn back";
  EXPECT_EQ(Battle().cmd_busy, 0u);
  EXPECT_TRUE(CmdRig::OnCell(a, kHome));
  EXPECT_TRUE(CmdRig::OnCell(CmdRig::U(other), kNextTo));
}

TEST(CmdMove, TheTeleportingHeroineGoesToAnyReachedCellWithoutAPath) {
  CmdRig r;
  r.Actor({.side = 0, .character = 4, .kind = 4});
  SlgUnit& a = r.A();
  auto move = [&] { return Slg::CmdMove(a); };
  r.Frame(move);
  const Cell dest{5, 22};
  ASSERT_NE(Battle().search.range_cost[static_cast<size_t>(dest.row * 22 + dest.column)],
            kSlgCostUnreached);
  CmdRig::Cursor(dest);
  r.Frame(move, {kGameKey0});
  ASSERT_EQ(r.Step(), 2u);
  EXPECT_EQ(Battle().search.move_dest.x, Snap(dest).x);
  EXPECT_EQ(Battle().search.move_dest.y, Snap(dest).y);
  for (int f = 0; f < 60 && r.Step() != 4; ++f) r.Frame(move);
  ASSERT_EQ(r.Step(), 4u);
  r.Frame(move, {kGameKey0});
  EXPECT_EQ(r.RunToEnd(move, 40), kSlgCmdDone);
  EXPECT_TRUE(CmdRig::OnCell(a, dest));
}

// Captured frames: the destination mark stands on the destination while the unit walks, in both
// pixel layouts (the move range's grid animation steps through the grid's frames).
TEST(CmdMove, CapturedFramesShowTheDestinationMarkDuringTheWalk) {
  for (PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
    SCOPED_TRACE(layout == PixelLayout::kRgb565 ? "565" : "555");
    BattleRig::Options options;
    options.layout = layout;
    CmdRig r(options);
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
    r.Actor();
    SlgUnit& a = r.A();
    auto move = [&] { return Slg::CmdMove(a); };
    r.Frame(move);
    const Cell dest{4, 22};
    CmdRig::Cursor(dest);
    r.Frame(move, {kGameKey0});
    ASSERT_EQ(CmdRig::Step(), 2u);
    for (int f = 0; f < 16; ++f) r.Frame(move);  // the range has closed; the walk goes on
    ASSERT_EQ(CmdRig::Step(), 2u);
    r.rig.Step();  // presented
    const SlgRangePos d = Snap(dest);
    const uint32_t pixel = r.rig.PixelAt(d.x - Battle().state.scroll_x + 1,
                                         d.y - Battle().state.scroll_y - 216 + 240 + 1);
    bool grid = false;
    for (int frame = 0; frame < SystemSpriteSet::Frames(kSysGrid); ++frame)
      grid = grid || pixel == r.Colour(kSysGrid, frame);
    EXPECT_TRUE(grid) << std::hex << pixel;
    r.rig.SaveFrame(std::string("move_dest_mark_") +
                    (layout == PixelLayout::kRgb565 ? "565" : "555"));
  }
}

// ---- Attack ----

class AttackCmd : public ::testing::Test {
 protected:
  void SetUp() override {
    r.Actor({.side = 0, .character = 1, .kind = 1});
    enemy = r.Add(kNextTo, {.side = 1, .character = 20, .kind = 14});
    r.A().stats.total_attack = 60;
    E().stats.total_defence = 0;
    g_stub_calls = 0;
  }
  SlgUnit& E() { return CmdRig::U(enemy); }
  int Attack() { return Slg::CmdAttack(r.A()); }
  // To the target choice (step 1).
  void ToChoice() {
    for (int f = 0; f < 40 && r.Step() != 1; ++f) r.Frame([&] { return Attack(); });
    ASSERT_EQ(r.Step(), 1u);
  }
  // From the choice to the confirmation (step 3) on the enemy.
  void ToConfirmation() {
    ToChoice();
    CmdRig::Cursor(kNextTo);
    r.Frame([&] { return Attack(); }, {kGameKey0});
    ASSERT_EQ(r.Step(), 2u);
    for (int f = 0; f < 40 && r.Step() != 3; ++f) r.Frame([&] { return Attack(); });
    ASSERT_EQ(r.Step(), 3u);
  }
  CmdRig r;
  uint8_t enemy = 0;
};

TEST_F(AttackCmd, OkOnAnUnmarkedCellOrOnTheAttackerKeepsWaiting) {
  ToChoice();
  for (Cell c : {kFar, kHome, kFree}) {
    CmdRig::Cursor(c);
    Battle().last_se = -1;
    EXPECT_EQ(r.Frame([&] { return Attack(); }, {kGameKey0}), kSlgCmdRunning);
    EXPECT_EQ(Battle().last_se, 15) << "the OK was heard";
    EXPECT_EQ(r.Step(), 1u);
  }
}

TEST_F(AttackCmd, OkOnAnEnemyRunsTheAttackToTheAppliedHits) {
  ToConfirmation();
  EXPECT_EQ(r.A().dir, Slg::DirToward(r.A(), enemy));
  r.Frame([&] { return Attack(); }, {kGameKey0});
  ASSERT_EQ(r.Step(), 5u);
  EXPECT_EQ(Battle().cmd.unit_acting, 1u);
  EXPECT_EQ(r.A().stats.action_bytes[0], enemy);
  EXPECT_EQ(E().dir, (r.A().dir + 2) & 3) << "a single-cell area turns the target round";
  int frames = 0;
  // The 20-frame wait, then the lead-in.
  for (; frames < 30 && r.A().state != 5 && r.A().state != 6; ++frames)
    r.Frame([&] { return Attack(); });
  EXPECT_GE(frames, 19);
  EXPECT_LE(frames, 21);
  EXPECT_EQ(r.RunToEnd([&] { return Attack(); }, 400), kSlgCmdDone);
  EXPECT_EQ(g_stub_calls, 1);
  EXPECT_GT(E().stats.result, 0);
  EXPECT_EQ(E().stats.life, std::max(0, 100 - E().stats.result)) << "the hits were applied";
  EXPECT_EQ(Battle().cmd.unit_acting, 0u);
  EXPECT_EQ(r.A().stats.attack_type, 0);
  EXPECT_EQ(E().flags & 0xF, 0u) << "the turn flags were reset";
}

TEST_F(AttackCmd, ATargetThatMovedAwayIsNotHitAndTheAttackerGoesStraightToState7) {
  ToConfirmation();
  r.Frame([&] { return Attack(); }, {kGameKey0});
  ASSERT_EQ(r.Step(), 5u);
  // The enemy leaves its cell during the wait.
  ClearUnitCell(E());
  E().y += 48 << 16;
  SetUnitCell(E());
  int result = kSlgCmdRunning;
  for (int f = 0; f < 30 && result == kSlgCmdRunning; ++f) {
    r.rig.Step();
    result = Attack();
  }
  EXPECT_EQ(result, kSlgCmdDone);
  EXPECT_EQ(r.A().state, 7);
  EXPECT_EQ(E().stats.life, 100);
  EXPECT_EQ(E().state, 0);
}

TEST_F(AttackCmd, CancelAtTheConfirmationReAimsAndCancelWhileAimingEndsWithTwo) {
  ToConfirmation();
  r.Frame([&] { return Attack(); }, {kGameKey1});
  EXPECT_EQ(r.Step(), 11u) << "the aim shape is not 1: aim again";
  ToChoice();
  EXPECT_EQ(CmdRig::View(), kSlgRangeOpening) << "the aim markers open again";
  r.Frame([&] { return Attack(); }, {kGameKey1});
  EXPECT_EQ(r.Step(), 8u);
  EXPECT_EQ(r.RunToEnd([&] { return Attack(); }, 40), kSlgCmdCancelled);
  EXPECT_EQ(E().stats.life, 100);
}

TEST(CmdAttackArea, WithoutAimingCancelAtTheConfirmationEndsTheCommand) {
  CmdRig r;
  r.Actor({.side = 0, .character = 2, .kind = 4});  // aim shape 1: the area around the attacker
  r.Add(kNextTo, {.side = 1, .character = 20, .kind = 14});
  auto attack = [&] { return Slg::CmdAttack(r.A()); };
  for (int f = 0; f < 40 && CmdRig::Step() != 3; ++f) r.Frame(attack);
  ASSERT_EQ(CmdRig::Step(), 3u);
  r.Frame(attack, {kGameKey1});
  EXPECT_EQ(CmdRig::Step(), 8u);
  EXPECT_EQ(r.RunToEnd(attack, 40), kSlgCmdCancelled);
}

// ---- Enemy forms ----

TEST(EnemyForms, AnEnemyAttacksEnemyTargetWithoutKeysAndKeyOneChangesNothing) {
  CmdRig r;
  r.Actor({.side = 1, .character = 20, .kind = 14});
  const uint8_t player = r.Add(kNextTo, {.side = 0, .character = 1, .kind = 1});
  r.A().stats.total_attack = 60;
  CmdRig::U(player).stats.total_defence = 0;
  Battle().think_search.target = player;
  CmdRig::Cursor(kFar);  // the cursor is not read for an enemy
  g_stub_calls = 0;
  // Key 1 goes down in the frames that ask for cancel (the choice, step 1, and the
  // confirmation, step 3); each such frame must see it triggered.
  int pressed_at_choices = 0;
  auto attack = [&] {
    if (CmdRig::Step() == 1 || CmdRig::Step() == 3)
      pressed_at_choices += IsKeyTriggered(1) != 0 ? 1 : 0;
    return Slg::EnemyAttack(r.A());
  };
  int result = kSlgCmdRunning;
  for (int f = 0; f < 400 && result == kSlgCmdRunning; ++f) {
    if (CmdRig::Step() == 1 || CmdRig::Step() == 3)
      result = r.Frame(attack, {kGameKey1});
    else
      result = r.Frame(attack);
  }
  EXPECT_EQ(pressed_at_choices, 2);
  EXPECT_EQ(result, kSlgCmdDone);
  EXPECT_EQ(g_stub_calls, 1);
  EXPECT_EQ(CmdRig::U(player).stats.life, std::max(0, 100 - CmdRig::U(player).stats.result));
  EXPECT_GT(CmdRig::U(player).stats.result, 0);
}

TEST(EnemyForms, EnemyMoveWalksToTheDestinationAndEndsInTheGrid) {
  CmdRig r;
  r.Actor({.side = 1, .character = 20, .kind = 14});
  const Cell dest{5, 22};
  Battle().think_search.destination = Snap(dest);
  SlgUnit& a = r.A();
  EXPECT_EQ(r.RunToEnd([&] { return Slg::EnemyMove(a); }, 300), kSlgCmdDone);
  EXPECT_TRUE(CmdRig::OnCell(a, dest));
  EXPECT_EQ(Battle().cmd.unit_acting, 0u);
}

// On a 640 x 480 stage: a walk whose last leg runs up into row 1 (y 0, where the map area
// refuses the step's probe) ends on its cell; a walk toward a cell past the stage's width ends at
// once where the unit stands.
TEST(EnemyForms, EnemyMoveToTheStagesEdgeEnds) {
  struct Case {
    const char* name;
    Cell from, dest;
    bool walks;
  } cases[] = {{"up into row 1", {4, 3}, {4, 1}, true},
               {"past the stage's width", {5, 3}, {7, 2}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CmdRig r;
    r.board.SetMapSize(640, 480);
    r.acting = r.Add(c.from, {.side = 1, .character = 20, .kind = 14});
    Battle().state.acting_unit = r.acting;
    Battle().think_search.destination = Snap(c.dest);
    SlgUnit& a = r.A();
    int frames = 0;
    EXPECT_EQ(r.RunToEnd([&] { return Slg::EnemyMove(a); }, 300, &frames), kSlgCmdDone);
    EXPECT_TRUE(CmdRig::OnCell(a, c.walks ? c.dest : c.from));
    if (!c.walks) {
      EXPECT_EQ(frames, 1);
    }
    EXPECT_EQ(Battle().cmd.unit_acting, 0u);
  }
}

TEST(EnemyForms, EnemyMoveWithoutAPathEndsWhereTheUnitStands) {
  CmdRig r;
  r.Actor({.side = 1, .character = 20, .kind = 14});
  Battle().think_search.destination = Snap(kFar);
  SlgUnit& a = r.A();
  int frames = 0;
  EXPECT_EQ(r.RunToEnd([&] { return Slg::EnemyMove(a); }, 10, &frames), kSlgCmdDone);
  EXPECT_EQ(frames, 1);
  EXPECT_TRUE(CmdRig::OnCell(a, kHome));
  EXPECT_EQ(a.state, 0);
}

TEST(EnemyForms, TheAttackWaitsForTheHerosCoverMoveAndHandsTheCoveredSlotToTurnControl) {
  CmdRig r;
  r.Actor({.side = 1, .character = 20, .kind = 14});
  const uint8_t heroine = r.Add(kNextTo, {.side = 0, .character = 2, .kind = 2});
  const uint8_t hero = r.Add(kFar, {.side = 0, .character = 0, .kind = 0});
  SlgUnit& h = CmdRig::U(hero);
  h.cover_count() = 8;
  CmdRig::U(heroine).flags |= kUnitCovered;
  Battle().think_search.target = heroine;
  auto attack = [&] { return Slg::EnemyAttack(r.A()); };
  for (int f = 0; f < 60 && CmdRig::Step() != 12; ++f) r.Frame(attack);
  ASSERT_EQ(CmdRig::Step(), 12u) << "the hero is on his cover move";
  EXPECT_EQ(h.state, 14);
  EXPECT_EQ(r.A().state, 0) << "the attacker waits";
  EXPECT_EQ(h.cover_hold(), 0) << "cleared as he sets off";
  // Only the cover-hold byte lets the attacker go on: the other action bytes are not his arrival.
  h.stats.action_bytes[1] = 1;
  h.reaction_over() = 1;
  for (int f = 0; f < 5; ++f) EXPECT_EQ(r.Frame(attack), kSlgCmdRunning);
  EXPECT_EQ(CmdRig::Step(), 12u);
  h.cover_hold() = 1;  // the cover move has arrived
  r.Frame(attack);
  EXPECT_EQ(CmdRig::Step(), 6u);
  for (int f = 0; f < 400 && CmdRig::Step() != 7; ++f) r.Frame(attack);
  ASSERT_EQ(CmdRig::Step(), 7u);
  // (The attack's end marked the hits once more, which sent the hero on a second cover move.)
  h.cover_hold() = 1;
  EXPECT_EQ(r.RunToEnd(attack, 400), kSlgCmdDone);
  EXPECT_EQ(h.cover_hold(), 0) << "the end of the attack sends the hero back";
  EXPECT_EQ(h.reaction_over(), 1) << "the hit marking's byte is left alone";
  EXPECT_NE(Battle().state.turn_flags & 0x10, 0);
  EXPECT_EQ(Battle().event_unit_ref[1], heroine);
  EXPECT_EQ(h.covered_slot(), 0);
  EXPECT_EQ(CmdRig::U(heroine).stats.life, 100) << "the hero took the hit";
}

// ---- Support commands ----

TEST(CmdHeal, ListsTheFreeAndFriendlyNeighboursAndHealsTheChosenUnit) {
  CmdRig r;
  r.Actor({.side = 0, .character = 6, .kind = 6});
  const uint8_t ally = r.Add(kNextTo, {.side = 0, .character = 2, .kind = 2});
  r.Add({3, 19}, {.side = 1, .character = 20, .kind = 14});
  SlgUnit& a = r.A();
  auto heal = [&] { return Slg::CmdHeal(a); };
  for (int f = 0; f < 5 && CmdRig::Step() != 3; ++f) r.Frame(heal);
  ASSERT_EQ(CmdRig::Step(), 3u);
  EXPECT_EQ(Battle().search.range_count, 4u) << "own cell, the ally's, two free; not the enemy's";
  EXPECT_EQ(MarkedCells(), 4);
  CmdRig::Cursor({3, 19});
  r.Frame(heal, {kGameKey0});
  EXPECT_EQ(CmdRig::Step(), 3u) << "an unmarked cell is refused";
  CmdRig::Cursor(kNextTo);
  r.Frame(heal, {kGameKey0});
  EXPECT_EQ(CmdRig::Step(), 4u);
  for (int f = 0; f < 40 && CmdRig::U(ally).state != 12; ++f) r.Frame(heal);
  ASSERT_EQ(CmdRig::U(ally).state, 12);
  EXPECT_EQ(CmdRig::U(ally).stats.attack_type, a.slot);
  EXPECT_EQ(Battle().cmd.heal_target, ally);
  EXPECT_EQ(r.Frame(heal), kSlgCmdRunning) << "until the healed unit stands again";
  SetUnitState(CmdRig::U(ally), 8);
  EXPECT_EQ(r.Frame(heal), kSlgCmdDone);
  EXPECT_EQ(Battle().flags & 0x9, 0x8);
}

TEST(SupportCommands, StatesFlagsAndTheirEnds) {
  struct Case {
    const char* name;
    int which;  // 0 self-support, 1 charge, 2 defend, 3 enemy defend
    uint8_t state;
    uint8_t not_yet;  // a state that does not end it
    uint8_t ends;
    bool guards;
  };
  const Case cases[] = {
      {"self-support", 0, 12, 12, 0, false},
      {"charge", 1, 11, 0, 8, false},
      {"defend", 2, 13, 13, 8, true},
      {"enemy defend", 3, 13, 13, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CmdRig r;
    r.Actor({.side = static_cast<uint8_t>(c.which == 3 ? 1 : 0), .character = 3, .kind = 3});
    SlgUnit& a = r.A();
    a.flags &= ~kUnitGuarding;
    Battle().flags = 0x8 | 0x4;  // bit 3 set, bit 0 clear as the command window leaves them
    const std::function<int()> run = [&] {
      switch (c.which) {
        case 0: return Slg::CmdSelfSupport(a);
        case 1: return Slg::CmdCharge(a);
        case 2: return Slg::CmdDefend(a);
        default: return Slg::EnemyDefend();
      }
    };
    for (int f = 0; f < 3 && a.state != c.state; ++f) r.Frame(run);
    ASSERT_EQ(a.state, c.state);
    EXPECT_EQ(Battle().flags & 0x9, 0x1) << "the map held";
    EXPECT_EQ((a.flags & kUnitGuarding) != 0, c.guards);
    SetUnitState(a, c.not_yet);
    EXPECT_EQ(r.Frame(run), kSlgCmdRunning);
    SetUnitState(a, c.ends);
    EXPECT_EQ(r.Frame(run), kSlgCmdDone);
    EXPECT_EQ(Battle().flags, 0x8 | 0x4) << "bits 0 and 3 as they were";
  }
}

TEST(EnemyForms, EnemyHealPutsTheSupportTargetInState12) {
  CmdRig r;
  r.Actor({.side = 1, .character = 20, .kind = 14});
  const uint8_t ally = r.Add(kFar, {.side = 1, .character = 21, .kind = 14});
  Battle().think_search.support_target = ally;
  auto heal = [&] { return Slg::EnemyHeal(r.A()); };
  EXPECT_EQ(r.Frame(heal), kSlgCmdRunning);
  EXPECT_EQ(CmdRig::U(ally).state, 12);
  EXPECT_EQ(CmdRig::U(ally).stats.attack_type, r.acting);
  EXPECT_EQ(r.Frame(heal), kSlgCmdRunning);
  SetUnitState(CmdRig::U(ally), 0);
  EXPECT_EQ(r.Frame(heal), kSlgCmdDone);
}

// ---- Cover ----

class CoverCmd : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::MessageTableWriter table;
    table.Add({.id = 19990, .voice_word = 0, .lip = "", .text = "A"})
        .Add({.id = 19992, .voice_word = 0, .lip = "", .text = "B"});
    r.rig.driver().tree.Write(testsupport::SlgMessageRel(0), table.Bytes());
    Scene().macro.LoadSlgMessage(0);
  }
  // Runs the cover with OK on `c` after the list opened; OK every few frames for the message.
  int Choose(SlgUnit& hero, Cell c) {
    auto cover = [&] { return Slg::CmdCover(hero); };
    for (int f = 0; f < 40 && CmdRig::Step() != 1; ++f) r.Frame(cover);
    if (CmdRig::Step() != 1) return -1;
    CmdRig::Cursor(c);
    r.Frame(cover, {kGameKey0});
    for (int f = 0; f < 300; ++f) {
      const int result = f % 8 == 7 ? r.Frame(cover, {kGameKey0}) : r.Frame(cover);
      if (result != kSlgCmdRunning) return result;
    }
    return -1;
  }
  CmdRig r;
};

TEST_F(CoverCmd, ChoosingAnotherUnitCoversItAndShowsItsMessage) {
  r.Actor({.side = 0, .character = 0, .kind = 0});
  const uint8_t heroine = r.Add(kNextTo, {.side = 0, .character = 2, .kind = 2});
  TraceCapture trace;
  EXPECT_EQ(Choose(r.A(), kNextTo), kSlgCmdDone);
  EXPECT_NE(CmdRig::U(heroine).flags & kUnitCovered, 0u);
  EXPECT_EQ(Battle().cmd.cover_unit, heroine);
  EXPECT_FALSE(trace.Contains("MessageData not Found")) << "message 19992 was shown";
}

TEST_F(CoverCmd, ChoosingTheHeroHimselfCoversNobody) {
  r.Actor({.side = 0, .character = 0, .kind = 0});
  const uint8_t heroine = r.Add(kNextTo, {.side = 0, .character = 2, .kind = 2});
  CmdRig::U(heroine).flags |= kUnitCovered;
  EXPECT_EQ(Choose(r.A(), kHome), kSlgCmdDone);
  EXPECT_EQ(CmdRig::U(heroine).flags & kUnitCovered, 0u);
  EXPECT_EQ(r.A().flags & kUnitCovered, 0u);
}

TEST_F(CoverCmd, AUnitBeyondTheHeroinesIsCoveredWithoutAMessage) {
  r.Actor({.side = 0, .character = 0, .kind = 0});
  const uint8_t other = r.Add(kNextTo, {.side = 0, .character = 9, .kind = 2});
  TraceCapture trace;
  EXPECT_EQ(Choose(r.A(), kNextTo), kSlgCmdDone);
  EXPECT_NE(CmdRig::U(other).flags & kUnitCovered, 0u);
  EXPECT_FALSE(trace.Contains("MessageData not Found")) << "no message 19999 asked for";
}

TEST_F(CoverCmd, WithoutTheHeroOnTheMapTheCommandIsCancelled) {
  r.Actor({.side = 0, .character = 1, .kind = 1});
  EXPECT_EQ(r.Frame([&] { return Slg::CmdCover(r.A()); }), kSlgCmdCancelled);
}

// ---- Combination and range view ----

TEST(CmdCombination, AnEnemyInTheSquareIsHitAndTheEventFlagSet) {
  CmdRig r;
  r.Actor({.side = 0, .character = 2, .kind = 2});
  const uint8_t ally = r.Add(kFree, {.side = 0, .character = 3, .kind = 3});
  const uint8_t enemy = r.Add(kNextTo, {.side = 1, .character = 20, .kind = 14});
  SlgUnit& a = r.A();
  a.stats.total_attack = 60;
  auto combo = [&] { return Slg::CmdCombination(a); };
  for (int f = 0; f < 40 && CmdRig::Step() != 2; ++f) r.Frame(combo);
  ASSERT_EQ(CmdRig::Step(), 2u);
  EXPECT_EQ(a.stats.attack_type, 5);
  EXPECT_EQ(a.stats.action_bytes[2], a.character);
  CmdRig::Cursor(kFree);
  r.Frame(combo, {kGameKey0});
  EXPECT_EQ(CmdRig::Step(), 2u) << "a unit of the attacker's side is refused";
  CmdRig::Cursor(kNextTo);
  r.Frame(combo, {kGameKey0});
  EXPECT_EQ(CmdRig::Step(), 4u);
  for (int f = 0; f < 40 && a.state != 19; ++f) r.Frame(combo);
  ASSERT_EQ(a.state, 19);
  EXPECT_EQ(CmdRig::U(ally).flags & kUnitShown, 0u) << "the others are hidden";
  EXPECT_NE(CmdRig::U(enemy).flags & kUnitInDamageList, 0u);
  EXPECT_EQ(Battle().cmd.unit_acting, 1u);
  EXPECT_EQ(r.Frame(combo), kSlgCmdRunning) << "while the combination runs";
  SetUnitState(a, 0);
  EXPECT_EQ(r.RunToEnd(combo, 5), kSlgCmdDone);
  EXPECT_EQ(CheckEventFlag(951 + 2), 1);
  EXPECT_EQ(CmdRig::U(enemy).stats.life, std::max(0, 100 - CmdRig::U(enemy).stats.result));
  EXPECT_EQ(Battle().cmd.unit_acting, 0u);
}

TEST(CmdViewRanges, TheMoveRangeThenTheThreatRangeOnTheInfoKey) {
  CmdRig r;
  r.Actor();
  const uint8_t enemy = r.Add(kFar, {.side = 1, .character = 20, .kind = 14});
  CmdRig::Cursor(kFar);
  auto view = [] { return Slg::CmdViewRanges(); };
  r.Frame(view);
  EXPECT_EQ(Battle().cmd.view_unit, enemy);
  EXPECT_EQ(Battle().search.mode, 0) << "its move range";
  const uint32_t moves = Battle().search.range_count;
  EXPECT_GT(moves, 1u);
  EXPECT_EQ(r.Frame(view, {kGameKey0}), kSlgCmdRunning) << "OK is not the info key";
  EXPECT_EQ(CmdRig::Step(), 1u);
  Battle().last_se = -1;
  r.Frame(view, {kGameKey1});
  EXPECT_EQ(Battle().last_se, 15);
  EXPECT_EQ(CmdRig::Step(), 2u);
  for (int f = 0; f < 40 && CmdRig::Step() != 3; ++f) r.Frame(view);
  ASSERT_EQ(CmdRig::Step(), 3u);
  EXPECT_GT(Battle().search.range_count, moves) << "the threat range reaches further";
  r.Frame(view, {kGameKey1});
  EXPECT_EQ(CmdRig::Step(), 6u);
  EXPECT_EQ(r.RunToEnd(view, 40), kSlgCmdDone);
  EXPECT_EQ(CmdRig::View(), kSlgRangeClosed);
}

// ---- Cancel while choosing ----

TEST(CommandCancel, CancelWhileChoosingEndsWithTwoOnceTheMarkersHaveClosed) {
  struct Case {
    const char* name;
    BoardUnit actor;
    int (*run)(SlgUnit&);
    uint32_t choosing;  // the step that waits for the choice
  };
  const Case cases[] = {
      {"move", {.side = 0, .character = 1, .kind = 1}, Slg::CmdMove, 1},
      {"attack", {.side = 0, .character = 1, .kind = 1}, Slg::CmdAttack, 1},
      {"combination", {.side = 0, .character = 2, .kind = 2}, Slg::CmdCombination, 2},
      {"heal", {.side = 0, .character = 6, .kind = 6}, Slg::CmdHeal, 3},
      {"cover", {.side = 0, .character = 0, .kind = 0}, Slg::CmdCover, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CmdRig r;
    r.Actor(c.actor);
    r.Add(kNextTo, {.side = 1, .character = 20, .kind = 14});
    auto run = [&] { return c.run(r.A()); };
    for (int f = 0; f < 40 && CmdRig::Step() != c.choosing; ++f) r.Frame(run);
    ASSERT_EQ(CmdRig::Step(), c.choosing);
    for (int f = 0; f < 14; ++f) r.Frame(run);  // the range fully open
    ASSERT_EQ(CmdRig::View(), kSlgRangeShown);
    EXPECT_EQ(r.Frame(run, {kGameKey1}), kSlgCmdRunning);
    EXPECT_EQ(CmdRig::View(), kSlgRangeClosing);
    int frames = 0;
    EXPECT_EQ(r.RunToEnd(run, 40, &frames), kSlgCmdCancelled);
    EXPECT_GE(frames, 11);
    EXPECT_EQ(CmdRig::View(), kSlgRangeClosed);
    EXPECT_EQ(Battle().cmd.unit_acting, 0u);
    EXPECT_TRUE(CmdRig::OnCell(r.A(), kHome));
  }
}

// ---- The range view's entry steps ----

TEST(CmdViewRanges, EntryStepsOfThePlayerPhase) {
  struct Case {
    const char* name;
    uint32_t entry;
    uint32_t view;    // SlgRangeView set before
    uint32_t then;    // the step after one frame (camera at rest)
  };
  const Case cases[] = {
      {"4: scroll done -> 3", 4, kSlgRangeShown, 3},
      {"5: closed -> 0", 5, kSlgRangeClosed, 0},
      {"5: not closed waits", 5, kSlgRangeShown, 5},
      {"7: the acting unit's move range", 7, kSlgRangeClosed, 1},
      {"8: closed and scroll done -> 0", 8, kSlgRangeClosed, 0},
      {"8: not closed waits", 8, kSlgRangeShown, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CmdRig r;
    r.Actor();
    Slg::InitCamera();
    Battle().search.range_count = 0;
    Battle().phase_sub = c.entry;
    Battle().cmd.range_view = c.view;
    r.Frame([] { return Slg::CmdViewRanges(); });
    EXPECT_EQ(CmdRig::Step(), c.then);
    if (c.entry == 7) {
      EXPECT_EQ(Battle().search.mode, 0);
      EXPECT_GT(Battle().search.range_count, 1u);
      EXPECT_EQ(CmdRig::View(), kSlgRangeOpening);
    }
  }
}

}  // namespace
