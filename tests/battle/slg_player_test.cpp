// The player phase on a board with a heroine acting: the shortcut keys and the command choice by
// table, the turn accounting with the real command handlers (move, attack, cancel, undo, end of
// turn), the system menu and the retry question, the option menu's round trip through fake
// option-menu entries, and the whole-map view's unit search.

#include "battle/slg_player.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_geometry.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_start.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::SystemSpriteSet;

// The game-key bits of logical key n.
GameKeyBits Key(int n) { return TamvikFunc::GetKeyMask(n); }

struct Cell {
  int column, row;
};
constexpr Cell kHome{4, 20};
constexpr Cell kNextTo{4, 19};  // the enemy's cell, a neighbour of kHome
constexpr Cell kFree{3, 21};    // a free neighbour
constexpr Cell kFar{8, 40};     // a second enemy, out of reach
constexpr Cell kBeside{5, 20};  // two steps from kHome, a neighbour of the enemy

void StubRoutine(SlgUnit& unit, SlgPair& /*pos*/) { EndAttack(unit); }

// A heroine acting at kHome (first in the order), an enemy beside her and one far away; the
// system sprites loaded; frames with keys, the player phase and the unit states moved on.
class PlayerRig {
 public:
  explicit PlayerRig(bool sprites = true) : board(rig.battle()) {
    if (sprites) {
      SystemSpriteSet().Lay(rig.driver().tree);
      LoadSystemSprites();
    }
    // Logical keys 9-14 on keyboard keys (the default assignment leaves them to the joystick).
    for (uint32_t i = 0; i < 6; ++i) Ctx().input.SetKeyConfig(10 + i, 0x10 + i);
    board.SetMapSize(1280, 1280);
    GetSystemData()->setBattleMap(0);
    CommWinSetup();
    heroine = Add(kHome, {.side = 0, .character = 1, .kind = 1});
    enemy = Add(kNextTo, {.side = 1, .character = 20, .kind = 14});
    far_enemy = Add(kFar, {.side = 1, .character = 20, .kind = 14});
    U(heroine).stats.move = 9;
    U(heroine).stats.total_attack = 60;
    U(enemy).stats.total_defence = 0;
    Battle().action_table[1] = &StubRoutine;
    SlgBuildTurnOrder();
    Slg::SetActingUnit(0);
    EXPECT_EQ(Battle().state.acting_unit, heroine);
    work.step = kSlgPlayerCommand;
  }
  ~PlayerRig() {
    Slg::ReleaseRangeMarkers();
    FreeSystemSprites();
  }
  uint8_t Add(Cell c, BoardUnit u) {
    const uint8_t slot = board.AddUnit(testsupport::OnCell(c.column, c.row, u));
    SlgUnit& unit = U(slot);
    Slg::PlaceUnit(unit);
    unit.stats.total_move = 3;
    unit.stats.life = unit.stats.max_life = 100;
    return slot;
  }
  static SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  static void Cursor(Cell c) {
    Battle().state.cursor_cell = {static_cast<int16_t>(c.column), static_cast<int16_t>(c.row)};
    const SlgRangePos p = testsupport::CellPos(c.column, c.row);
    Battle().state.cursor_snap = {p.x, p.y};
  }
  // One frame: the keys down for it (a key held the frame before goes up in a frame of its own
  // first), the player phase, the unit states moved on.
  void Frame(std::initializer_list<int> keys = {}) {
    if (keys.size() != 0 && keys_were_down_) {
      keys_were_down_ = false;
      Frame();
    }
    for (int k : keys) rig.Schedule({testsupport::GameKeyDown(rig.frame(), Key(k))});
    rig.Step();
    SlgPlayerPhase(&work);
    for (int k : keys) rig.Schedule({testsupport::GameKeyUp(rig.frame(), Key(k))});
    keys_were_down_ = keys.size() != 0;
    DriveStates();
  }
  // Frames until the condition holds; false after `limit`.
  bool Until(const std::function<bool()>& done, int limit) {
    for (int f = 0; f < limit; ++f) {
      if (done()) return true;
      Frame();
    }
    return done();
  }
  void Enter(uint8_t state) { Slg::SetPhaseState(&work, state); }
  static void DriveStates() {
    unit_state_moves::MoveStatesOn(true, [](SlgUnit& u) {
      if (u.state >= 11 && u.state <= 13) SetUnitState(u, 8);
    });
  }
  static bool OnCell(const SlgUnit& u, Cell c) {
    const SlgPoint p = SnapPosToCell(u.x >> 16, u.y >> 16);
    const SlgRangePos s = testsupport::CellPos(c.column, c.row);
    return p.x == s.x && p.y == s.y;
  }
  uint32_t Sub() const { return Battle().phase_sub; }
  // A move of the acting heroine to `to`, confirmed.
  void Move(Cell to = kFree) {
    Enter(kSlgPlayerMove);
    ASSERT_TRUE(Until([&] { return Sub() == 1; }, 40));
    Cursor(to);
    Frame({0});
    ASSERT_TRUE(Until([&] { return Sub() == 4; }, 300)) << "walked to the destination";
    Frame({0});
    ASSERT_TRUE(Until([&] { return work.step != kSlgPlayerMove; }, 60));
  }

  BattleRig rig;
  BattleBoard board;
  SlgMainWork work{};
  uint8_t heroine = 0, enemy = 0, far_enemy = 0;

 private:
  bool keys_were_down_ = false;
};

SlgCommWinState& W() { return Battle().comm_win; }

// ---- Shortcut keys and the command choice ----

TEST(SlgPlayerPhase, ShortcutKeysInTheFreeCursorByAvailability) {
  struct Case {
    const char* name;
    int key;            // -1 none
    bool attack = true, move = true, unit_column = true, defend = true, charge = true;
    bool moved = false;
    int state;
  };
  const Case cases[] = {
      {.name = "key 10 attacks", .key = 10, .state = 2},
      {.name = "key 10 without attack", .key = 10, .attack = false, .state = 0},
      {.name = "key 9 moves", .key = 9, .state = 1},
      {.name = "key 9 after moving undoes", .key = 9, .move = false, .moved = true, .state = 29},
      {.name = "key 9 without move", .key = 9, .move = false, .state = 0},
      {.name = "key 13 whole-map view", .key = 13, .state = 12},
      {.name = "key 14", .key = 14, .state = 18},
      {.name = "key 11 defends", .key = 11, .state = 10},
      {.name = "key 11 without defend", .key = 11, .defend = false, .state = 0},
      {.name = "key 11 without the unit column", .key = 11, .unit_column = false, .state = 0},
      {.name = "key 12 charges", .key = 12, .state = 8},
      {.name = "key 12 without charge", .key = 12, .charge = false, .state = 0},
      {.name = "key 12 without the unit column", .key = 12, .unit_column = false, .state = 0},
      {.name = "no key stays", .key = -1, .state = 0},
  };
  PlayerRig r;
  Battle().state.cursor_cell = {20, 80};  // no unit under the cursor
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    r.Enter(kSlgPlayerFree);
    Battle().state.turn_flags = 0;
    W().columns[1].avail = c.attack ? 0 : kCommWinGreyed;
    W().columns[0].avail = c.move ? 0 : kCommWinGreyed;
    W().columns[2].avail = c.unit_column ? 0 : kCommWinGreyed;
    W().col2[1].avail = c.defend ? 0 : kCommWinGreyed;
    W().col2[2].avail = c.charge ? 0 : kCommWinGreyed;
    Battle().control.action_done = c.moved ? 2 : 0;
    if (c.key >= 0) {
      r.rig.Schedule({testsupport::GameKeyDown(r.rig.frame(), Key(c.key))});
      r.rig.Step();
      EXPECT_EQ(SlgShortcutState(), c.state == 0 ? -1 : c.state);
      SlgPlayerPhase(&r.work);
      r.rig.Schedule({testsupport::GameKeyUp(r.rig.frame(), Key(c.key))});
    } else {
      r.rig.Step();
      SlgPlayerPhase(&r.work);
    }
    r.rig.Step();
    EXPECT_EQ(r.work.step, c.state);
    if (c.state != 0) {
      EXPECT_EQ(Battle().player.last_choice, c.state);
      EXPECT_EQ(Battle().state.turn_flags & 2, 2);
      // No partner (255): column 1 stays the three-entry list, the attack entry selected.
      EXPECT_EQ(W().columns[1].count, 3);
      EXPECT_EQ(W().record.sub_sel[1], 1);
    }
  }
}

TEST(SlgPlayerPhase, CommandChoiceTakesTheTableCellOfTheWindowsColumnAndEntry) {
  PlayerRig r;
  const uint8_t hero = r.Add({10, 40}, {.side = 0, .character = 0, .kind = 0});
  // Column, entry -> state, for the windows without and with a partner (column 1 differs).
  struct Cell {
    int column, sub;
    int solo, paired;
  };
  const Cell cells[] = {
      {0, 0, 1, 1},   {1, 0, 20, 25}, {1, 1, 2, 20},  {1, 2, -1, 2},  {2, 0, 9, 9},
      {2, 1, 10, 10}, {2, 2, 8, 8},   {3, 0, 18, 18}, {3, 1, 12, 12}, {3, 2, 6, 6},
      {4, 0, 19, 19}, {5, 0, 14, 14},
  };
  // The command window open and waiting for a choice, then a frame with `key` down; with key 0
  // (confirm) the entry `sub` of column `column` chosen first.
  const auto choose = [&](int column, int sub, int key = 0) {
    r.Enter(kSlgPlayerCommand);
    Battle().phase_sub = 3;
    Battle().player.comm_step = 2;
    if (key == 0) {
      W().sel = static_cast<uint16_t>(column);
      W().record.sub_sel[column] = static_cast<uint8_t>(sub);
    }
    r.Frame({key});
  };
  int checked = 0;
  for (uint8_t unit : {hero, r.heroine}) {
    for (bool partner : {false, true}) {
      InitCommWin(unit, partner ? unit : 255);
      SlgWriteCommandTable(partner);
      for (const Cell& c : cells) {
        const int expected = partner ? c.paired : c.solo;
        if (expected < 0 || c.column >= W().record.main_count) continue;
        SCOPED_TRACE(testing::Message() << (unit == hero ? "hero" : "heroine") << " partner "
                                        << partner << " column " << c.column << " entry " << c.sub);
        choose(c.column, c.sub);
        CommWinSelection sel{};
        CommWinGetSel(&sel, 0);
        if (sel.column != c.column || sel.sub != c.sub) continue;  // not selectable here
        EXPECT_EQ(r.Sub(), 4u);
        EXPECT_EQ(Battle().player.pending, expected);
        ++checked;
      }
    }
  }
  // An empty cell keeps the window open.
  Battle().control.command_table[0] = kSlgNoCommand;
  choose(0, 0);
  EXPECT_EQ(r.Sub(), 3u);
  SlgWriteCommandTable(false);
  EXPECT_GE(checked, 40);
  // Move after moving is the undo; the window closes before the state is entered.
  SlgWriteCommandTable(false);
  Battle().control.action_done = 2;
  choose(0, 0);
  EXPECT_EQ(Battle().player.pending, kSlgPlayerUndo);
  ASSERT_TRUE(r.Until([&] { return r.work.step != kSlgPlayerCommand; }, 20));
  EXPECT_EQ(r.work.step, kSlgPlayerUndo);
  EXPECT_EQ(Battle().player.comm_step, 5);
  // Key 4 opens the system menu, cancel goes back to the free cursor.
  for (auto [key, state] : {std::pair{4, kSlgPlayerSystemMenu}, std::pair{1, kSlgPlayerFree}}) {
    choose(0, 0, key);
    ASSERT_TRUE(r.Until([&] { return r.work.step != kSlgPlayerCommand; }, 20));
    EXPECT_EQ(r.work.step, state) << key;
  }
}

// State 17 brings the camera to the heroine, then opens her window (five columns) over the map.
TEST(SlgPlayerPhase, TheCommandWindowOpensAfterTheCameraAndShowsOverTheMap) {
  PlayerRig r;
  r.Enter(kSlgPlayerCommand);
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 3; }, 40));
  EXPECT_EQ(Battle().flags & 0x9, 0x9) << "mouse cursor shown, cursor on the screen";
  EXPECT_EQ(W().record.main_count, 5);
  r.Frame();
  r.rig.Step();
  // The window drawn at its position: some pixel of the command window's sprite shows.
  const int x = (W().pos_x >> 16), y = (W().pos_y >> 16);
  bool seen = false;
  for (int dx = 0; dx < 224 && !seen; dx += 4) {
    for (int dy = -96; dy < 64 && !seen; dy += 4) {
      const uint32_t p = r.rig.PixelAt(x + dx, y + dy);
      for (int f = 0; f < SystemSpriteSet::Frames(kSysCommandWindow) && !seen; ++f) {
        const platform::PixelLayout layout = r.rig.driver().host().display.layout();
        seen = p == platform::UnpackToColorRef(
                        platform::PackColorRef(SystemSpriteSet::ColourRef(kSysCommandWindow, f), layout), layout);
      }
    }
  }
  EXPECT_TRUE(seen);
  r.rig.SaveFrame("player_command_window");
}

// ---- Turn accounting with the command handlers ----

TEST(SlgPlayerPhase, MoveThenAttackEndsTheTurn) {
  PlayerRig r;
  r.Move(kBeside);
  EXPECT_TRUE(PlayerRig::OnCell(PlayerRig::U(r.heroine), kBeside));
  EXPECT_EQ(Battle().control.actions_left, 1);
  EXPECT_EQ(Battle().control.action_done, 2);
  EXPECT_EQ(r.work.step, kSlgPhaseAgain) << "the same unit goes on";
  EXPECT_EQ(W().col0[0].frame, 46) << "its window keeps the move marked";
  EXPECT_EQ(W().sel, 1) << "with the selection past it";

  r.Enter(kSlgPlayerAttack);
  EXPECT_EQ(Battle().player.attack_running, 0);
  r.Frame();
  EXPECT_EQ(Battle().player.attack_running, 1);
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 1; }, 40));
  PlayerRig::Cursor(kNextTo);
  r.Frame({0});
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 3; }, 40));
  r.Frame({0});
  ASSERT_TRUE(r.Until([&] { return r.work.step != kSlgPlayerAttack; }, 600));
  EXPECT_EQ(Battle().player.attack_running, 0);
  EXPECT_LT(PlayerRig::U(r.enemy).stats.life, 100) << "the attack hit";
  EXPECT_EQ(r.work.step, kSlgPhaseStart) << "the turn passed on";
  EXPECT_NE(Battle().state.acting_unit, r.heroine);
}

TEST(SlgPlayerPhase, ACancelledAttackCostsNothing) {
  PlayerRig r;
  r.Enter(kSlgPlayerAttack);
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 1; }, 40));
  r.Frame({1});
  ASSERT_TRUE(r.Until([&] { return r.work.step != kSlgPlayerAttack; }, 60));
  EXPECT_EQ(r.work.step, kSlgPlayerCommand);
  EXPECT_EQ(Battle().control.actions_left, 2);
  EXPECT_EQ(Battle().control.action_done, 0);
  EXPECT_EQ(W().columns[1].avail, 0) << "the attack is still offered";
  EXPECT_EQ(Battle().player.attack_running, 0);
}

TEST(SlgPlayerPhase, MoveUndoAndMoveAgain) {
  PlayerRig r;
  r.Move();
  ASSERT_EQ(Battle().control.action_done, 2);
  r.Enter(kSlgPlayerMove);
  r.Frame();
  EXPECT_EQ(r.work.step, kSlgPlayerCommand) << "a second move is refused after moving";
  r.Enter(kSlgPlayerUndo);
  ASSERT_TRUE(r.Until([&] { return r.work.step != kSlgPlayerUndo; }, 60));
  EXPECT_EQ(r.work.step, kSlgPlayerCommand);
  EXPECT_EQ(Battle().control.actions_left, 2);
  EXPECT_EQ(Battle().control.action_done, 0);
  EXPECT_TRUE(PlayerRig::OnCell(PlayerRig::U(r.heroine), kHome));
  r.Move();
  EXPECT_TRUE(PlayerRig::OnCell(PlayerRig::U(r.heroine), kFree));
  EXPECT_EQ(Battle().control.actions_left, 1);
}

// Charge and defend spend an action of kind "other"; the range views cost nothing: from the
// window (11) the next-actor rule follows, from the info key (21) the free cursor.
TEST(SlgPlayerPhase, UnitCommandsAndRangeViewsByTheirResults) {
  struct Case {
    const char* name;
    uint8_t state;
    int actions_left;
    uint8_t done;
    uint8_t next;
  };
  const Case cases[] = {
      {"charge", kSlgPlayerCharge, 1, 8, kSlgPhaseAgain},
      {"defend", kSlgPlayerDefend, 1, 8, kSlgPhaseAgain},
      {"view ranges from the window", kSlgPlayerViewRanges, 2, 0, kSlgPhaseAgain},
      {"view ranges from the info key", kSlgPlayerInfoRanges, 2, 0, kSlgPlayerFree},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerRig r;
    PlayerRig::Cursor(kHome);
    r.Enter(c.state);
    r.Frame();
    if (c.state == kSlgPlayerViewRanges || c.state == kSlgPlayerInfoRanges) {
      ASSERT_TRUE(r.Until([&] { return r.Sub() == 1; }, 40));
      r.Frame({1});  // the threat range
      ASSERT_TRUE(r.Until([&] { return r.Sub() == 3; }, 40));
      r.Frame({1});  // closed
    }
    ASSERT_TRUE(r.Until([&] { return r.work.step != c.state; }, 80));
    EXPECT_EQ(r.work.step, c.next);
    EXPECT_EQ(Battle().control.actions_left, c.actions_left);
    EXPECT_EQ(Battle().control.action_done, c.done);
    EXPECT_EQ(Battle().state.acting_unit, r.heroine);
  }
}

TEST(SlgPlayerPhase, EndTurnPassesAtOnce) {
  PlayerRig r;
  r.Enter(kSlgPlayerEndTurn);
  r.Frame();
  EXPECT_EQ(r.work.step, kSlgPhaseStart);
  EXPECT_NE(Battle().state.acting_unit, r.heroine);
}

TEST(SlgPlayerPhase, SystemMenuAndRetryQuestion) {
  struct Case {
    const char* name;
    uint8_t state;
    std::vector<int> keys;  // one frame each (-1 none); the windows open on their second item
    uint8_t result;
    bool retried;
  };
  const Case cases[] = {
      {"system menu: item 0, the retry question", kSlgPlayerSystemMenu, {8, 0}, kSlgPlayerRetry,
       false},
      {"system menu: item 0, then yes", kSlgPlayerSystemMenu, {8, 0, -1, 8, 0}, kSlgPlayerRetry,
       true},
      {"system menu: item 1 (OK at once), the options", kSlgPlayerSystemMenu, {0},
       kSlgPlayerOptions, false},
      {"system menu: back", kSlgPlayerSystemMenu, {1}, kSlgPlayerCommand, false},
      {"retry: yes", kSlgPlayerRetry, {8, 0}, kSlgPlayerRetry, true},
      {"retry: no", kSlgPlayerRetry, {0}, kSlgPlayerCommand, false},
      {"retry: cancel", kSlgPlayerRetry, {1}, kSlgPlayerCommand, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerRig r;
    Battle().control.main_work = &r.work;
    r.Enter(c.state);
    r.Frame();
    for (int k : c.keys) {
      if (k < 0) {
        r.Frame();
      } else {
        r.Frame({k});
      }
    }
    r.Frame();
    EXPECT_EQ(r.work.step, c.result);
    EXPECT_EQ(Battle().control.retry, c.retried ? 1u : 0u);
  }
}

// Without a system sprite the windows draw nothing and answer as usual: a turn plays through the
// command window, the whole-map view and the end of the turn.
TEST(SlgPlayerPhase, WithoutSystemSpritesATurnPlaysThroughDrawingNothing) {
  PlayerRig r(false);
  ASSERT_EQ(SlgSysSprite(kSysCommandWindow), nullptr);
  r.Enter(kSlgPlayerCommand);
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 3; }, 40));
  W().sel = 3;
  W().record.sub_sel[3] = 1;  // the whole-map view
  r.Frame({0});
  ASSERT_TRUE(r.Until([&] { return r.work.step == kSlgPlayerWholeMap; }, 20));
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 2; }, 20));
  r.Frame({8});
  EXPECT_EQ(Battle().player.all_map.selected, r.enemy);
  r.Frame({1});
  ASSERT_TRUE(r.Until([&] { return r.work.step == kSlgPlayerCommand && r.Sub() == 3; }, 60));
  W().sel = 4;
  W().record.sub_sel[4] = 0;  // end of turn
  r.Frame({0});
  ASSERT_TRUE(r.Until([&] { return r.work.step == kSlgPhaseStart; }, 20));
  EXPECT_NE(Battle().state.acting_unit, r.heroine);
}

// ---- Unit browsing ----

TEST(SlgPlayerPhase, BrowsingShowsTheStatusOfTheUnitUnderTheCursorOnTheOtherHalf) {
  PlayerRig r;
  r.Enter(kSlgPlayerBrowse);
  PlayerRig::Cursor({15, 70});  // nobody
  r.Frame();
  EXPECT_EQ(r.Sub(), 0u);
  EXPECT_EQ(Battle().player.status.open, 0u);
  PlayerRig::Cursor(kNextTo);
  r.Frame();
  EXPECT_EQ(r.Sub(), 1u);
  EXPECT_EQ(Battle().player.browse.unit, r.enemy);
  const bool left = SlgMapToScreen(PlayerRig::U(r.enemy)).x < 0;
  EXPECT_EQ(Battle().player.browse.x, left ? 0 : -320 * 65536) << "the window on the other half";
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 2; }, 20)) << "the status window zooms open";
  r.Frame();
  r.rig.Step();
  // The life gauge (full: 128 pixels) at the window position + (128, 104).
  const int wx = (Battle().player.browse.x >> 16) + 320, wy = (Battle().player.browse.y >> 16) + 240;
  const platform::PixelLayout layout = r.rig.driver().host().display.layout();
  const uint32_t gauge = platform::UnpackToColorRef(
      platform::PackColorRef(SystemSpriteSet::ColourRef(kSysLifeGauge, 0), layout), layout);
  EXPECT_EQ(r.rig.PixelAt(wx + 130, wy + 106), gauge);
  EXPECT_EQ(r.rig.PixelAt(wx + 128 + 127, wy + 106), gauge) << "full life: 128 pixels";
  r.rig.SaveFrame("player_status_window");
  // Off the unit: the window closes and browsing waits for the next unit.
  PlayerRig::Cursor({15, 70});
  r.Frame();
  EXPECT_EQ(r.Sub(), 0u);
  EXPECT_EQ(Battle().player.browse.unit, kSlgNoUnit);
  ASSERT_TRUE(r.Until([&] { return Battle().player.status.open == 0; }, 20));
  PlayerRig::Cursor(kHome);
  r.Frame();
  EXPECT_EQ(Battle().player.browse.unit, r.heroine);
  ASSERT_TRUE(r.Until([&] { return r.Sub() == 2; }, 20));
  r.Frame({1});
  ASSERT_TRUE(r.Until([&] { return r.work.step != kSlgPlayerBrowse; }, 20));
  EXPECT_EQ(r.work.step, kSlgPlayerCommand);
  EXPECT_EQ(Battle().player.browse.unit, kSlgNoUnit);
  EXPECT_EQ(Battle().player.status.open, 0u);
}

// ---- The option menu ----

TEST(SlgPlayerPhase, OptionMenuRoundTrip) {
  PlayerRig r;
  bool running = false;
  GameTaskRec* owner = nullptr;
  uint32_t mode = 0;
  int starts = 0;
  GameSequences& seq = Game().sequences;
  seq.option_menu.start = [&](GameTaskRec* o) {
    owner = o;
    running = true;
    ++starts;
  };
  seq.option_menu.is_running = [&] { return running; };
  seq.option_return_mode = [&](uint32_t m) { mode = m; };
  Battle().control.task_owner = r.rig.manager();
  Battle().flags = 0x9;
  r.Enter(kSlgPlayerOptions);
  r.Frame();
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(owner, r.rig.manager());
  EXPECT_EQ(mode, 0x110u);
  EXPECT_EQ(Battle().flags & 0x8, 0) << "mouse cursor bit cleared";
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
  for (uint8_t u : {r.heroine, r.enemy, r.far_enemy}) EXPECT_NE(PlayerRig::U(u).flags & kUnitFrozen, 0u);
  r.Frame();
  r.Frame();
  EXPECT_EQ(r.work.step, kSlgPlayerOptions);
  running = false;
  r.Frame();
  EXPECT_EQ(r.work.step, kSlgPlayerFree);
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
  for (uint8_t u : {r.heroine, r.enemy, r.far_enemy}) EXPECT_EQ(PlayerRig::U(u).flags & kUnitFrozen, 0u);
  EXPECT_EQ(Battle().flags & 0xB, 0xA) << "bits 1 and 3 set, bit 0 cleared";
}

// ---- The whole-map view ----

TEST(SlgWholeMap, NextAndPreviousSkipUnflaggedAndDeadUnitsAndStayWithNone) {
  PlayerRig r;
  SlgBattleState& s = Battle().state;
  // Slots 0 (heroine), 1 (enemy), 2 (far enemy): the enemy leaves the panels.
  PlayerRig::U(r.enemy).flags &= ~kUnitInPanels;
  EXPECT_EQ(Slg::WholeMapNextUnit(r.heroine, 1), r.far_enemy);
  EXPECT_EQ(Slg::WholeMapNextUnit(r.far_enemy, 1), r.heroine) << "wraps";
  EXPECT_EQ(Slg::WholeMapNextUnit(r.heroine, -1), r.far_enemy) << "wraps backwards";
  PlayerRig::U(r.far_enemy).step = 255;
  EXPECT_EQ(Slg::WholeMapNextUnit(r.heroine, 1), r.heroine) << "only itself is left";
  for (int i = 0; i < s.unit_count; ++i) s.units[i].flags &= ~kUnitInPanels;
  EXPECT_EQ(Slg::WholeMapNextUnit(r.heroine, 1), r.heroine);
  EXPECT_EQ(Slg::WholeMapNextUnit(r.enemy, -1), r.enemy);

  // The view itself: with no flagged unit the keys keep the selection and the view closes.
  r.Enter(kSlgPlayerWholeMap);
  r.Frame();
  EXPECT_EQ(Battle().player.all_map.open, 1u);
  EXPECT_EQ(Battle().player.all_map.selected, r.heroine);
  for (int f = 0; f < 4; ++f) r.Frame();
  EXPECT_EQ(r.Sub(), 2u);
  r.Frame({8});
  r.Frame({6});
  EXPECT_EQ(Battle().player.all_map.selected, r.heroine);
  for (uint8_t u : {r.heroine, r.enemy}) EXPECT_NE(PlayerRig::U(u).flags & kUnitFrozen, 0u);
  r.Frame({1});
  ASSERT_TRUE(r.Until([&] { return r.work.step != kSlgPlayerWholeMap; }, 20));
  EXPECT_EQ(r.work.step, kSlgPlayerCommand);
  EXPECT_EQ(Battle().player.all_map.open, 0u);
  for (uint8_t u : {r.heroine, r.enemy}) EXPECT_EQ(PlayerRig::U(u).flags & kUnitFrozen, 0u);
}

TEST(SlgWholeMap, KeysStepThroughTheFlaggedUnitsAndMarkersShow) {
  PlayerRig r;
  r.Enter(kSlgPlayerWholeMap);
  for (int f = 0; f < 6; ++f) r.Frame();
  ASSERT_EQ(r.Sub(), 2u);
  EXPECT_EQ(Battle().player.all_map.scale, 11264);
  // 1280 x 1280 scaled to 220: origin (176 - 110 + 16, 48 + 176 - 110 + 16).
  EXPECT_EQ(Battle().player.all_map.origin_x, 82);
  EXPECT_EQ(Battle().player.all_map.origin_y, 130);
  r.Frame({8});
  EXPECT_EQ(Battle().player.all_map.selected, r.enemy);
  EXPECT_EQ(Battle().face.panel_unit, r.enemy);
  r.Frame({7});
  EXPECT_EQ(Battle().player.all_map.selected, r.heroine);
  r.rig.Step();
  // The heroine's marker (side 0: frames 0-3) at her scaled position, 24 pixels down.
  const SlgUnit& h = PlayerRig::U(r.heroine);
  const int x = 82 + static_cast<int>(((h.x >> 16) * 11264) >> 16);
  const int y = 130 + static_cast<int>(((h.y >> 16) * 11264) >> 16) + 24;
  const uint32_t p = r.rig.PixelAt(x + 1, y + 1);
  bool marker = false;
  for (int f = 0; f < 4; ++f) {
    const platform::PixelLayout layout = r.rig.driver().host().display.layout();
    marker = marker || p == platform::UnpackToColorRef(
                                platform::PackColorRef(SystemSpriteSet::ColourRef(kSysAllMap, f), layout), layout);
  }
  EXPECT_TRUE(marker);
  r.rig.SaveFrame("player_whole_map");
}

// ---- The whole battle frame ----

// The minimal stage started for real: turn control runs the player phase for the hero, whose
// command window opens; key 13 opens the whole-map view, key 8 selects the enemy, cancel comes
// back to the window; the window's end of turn passes the turn to the enemy and round 2 comes
// back to the hero.
TEST(SlgPlayerPhase, AHeadlessScriptPlaysTheHerosTurnOnTheMinimalStage) {
  BattleRig rig;
  testsupport::MinimalStage().Lay(rig.driver().tree);
  testsupport::SlgTableWriter().Lay(rig.driver().tree);  // the four text tables, empty
  SystemSpriteSet().Lay(rig.driver().tree);
  GetSystemData()->setBattleMap(0);
  Game().sequences.set_mode = [](int) { return 1; };
  for (uint32_t i = 0; i < 6; ++i) Ctx().input.SetKeyConfig(10 + i, 0x10 + i);
  // The enemy's turn ends at once (the enemy phase's stub): this test is the hero's.
  rig.battle().phases.enemy_step = &SlgDefaultEnemyStep;
  const auto press = [&rig](int key) {
    rig.Schedule({testsupport::GameKeyDown(rig.frame(), Key(key))});
    rig.Step();
    rig.Schedule({testsupport::GameKeyUp(rig.frame(), Key(key))});
    rig.Step();
  };
  const auto state = [] {
    const SlgMainWork* w = Battle().control.main_work;
    return w != nullptr ? static_cast<int>(w->step) : -1;
  };
  const auto window_open = [&] { return state() == kSlgPlayerCommand && Battle().phase_sub == 3; };
  Slg::StartStage();
  ASSERT_TRUE(rig.RunUntil("the hero's window", window_open, 200));
  const uint16_t hero = Battle().state.acting_unit;
  ASSERT_EQ(Battle().state.units[hero].character, 0);
  EXPECT_EQ(Battle().state.round, 1);

  press(13);
  ASSERT_TRUE(rig.RunUntil("the whole-map view", [&] { return state() == kSlgPlayerWholeMap && Battle().phase_sub == 2; }, 40));
  press(8);
  EXPECT_NE(Battle().player.all_map.selected, hero);
  press(1);
  ASSERT_TRUE(rig.RunUntil("back to the window", window_open, 60));
  EXPECT_EQ(Battle().player.all_map.open, 0u);

  for (int i = 0; i < 8; ++i) {
    CommWinSelection sel{};
    CommWinGetSel(&sel, 0);
    if (sel.column == 4) break;
    press(8);
  }
  CommWinSelection sel{};
  CommWinGetSel(&sel, 0);
  ASSERT_EQ(sel.column, 4) << "the end-of-turn column";
  press(0);
  ASSERT_TRUE(rig.RunUntil("round 2", [] { return Battle().state.round == 2; }, 120));
  ASSERT_TRUE(rig.RunUntil("the hero's window again", window_open, 200));
  EXPECT_EQ(Battle().state.acting_unit, hero);
}

}  // namespace
