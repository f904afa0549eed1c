// The enemy think files: EnThk, EnCnd and EnTab as a stage's set-up leaves them, and the
// think interpreter run for each of four enemies on a board of the hero and those enemies, from
// the choice of the think to the end of the unit's action (think step 18). The actions the steps
// start are carried out as far as the interpreter sees them (a walk ends where it was going, an
// attack's dying units are waited for), not played: a whole battle per input ran a second.

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_state.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_stage.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/files/random.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "game/game_context.h"
#include "testsupport/battle_board.h"
#include "testsupport/stage_writer.h"

namespace fuzz {

using detail::ByteAt;
using detail::Check;

namespace {

constexpr const char* kName = "slg_think";
constexpr int kEnemies = 4;
// Think steps (with the camera's frames of the focus steps) an action may take; the old whole
// battle allowed 240 frames.
constexpr int kStepBound = 400;

// The board: the hero at cell (2, 10), ASHIGARU at (4, 10) and (4, 12), HINAWA at (5, 10),
// OOZUTU at (6, 10); each enemy's think-change row and presence from the control block.
struct Placed {
  int column, row;
  uint8_t kind;
};
constexpr Placed kHero = {2, 10, 0};
constexpr Placed kFoes[kEnemies] = {{4, 10, 14}, {4, 12, 14}, {5, 10, 15}, {6, 10, 16}};
constexpr int kFieldRows = 24;
constexpr int kFieldColumns = 12;

// Runs one enemy's action from the choice of its think to think step 18 (not run: it hands the
// turn on). False when it does not get there within the bound.
bool RunAction(uint8_t slot, platform::headless::HeadlessClock& clock) {
  BattleContext& b = Battle();
  SlgMainWork work{};
  work.step = kEnemyPhaseThink;
  b.state.acting_unit = slot;
  b.enemy.think_step = kThinkStepChoose;
  b.enemy.next_step = kThinkStepEnd;
  const int units = std::min<int>(b.state.unit_count, kSlgMaxUnits);
  for (int i = 0; i < kStepBound; ++i) {
    if (work.step == kEnemyPhaseThink && b.enemy.think_step == kThinkStepEnd) return true;
    switch (work.step) {
      case kEnemyPhaseThink:
        RunEnemyThinkStep(&work);
        break;
      case kEnemyPhaseWalk: {
        const SlgRangePos d = b.think_search.destination;
        const SlgCell cell = PosToCell(d.x, d.y);
        Check(cell.column >= 0 && cell.column < kSlgGridColumns && cell.row >= 0 &&
                  cell.row < kSlgGridRows,
              kName, "a walk goes to no cell of the map");
        b.enemy.next_step = kThinkStepEnd;
        work.step = kEnemyPhaseThink;
        break;
      }
      case kEnemyPhaseAttack:
        Check(b.think_search.target < units, kName, "an attack on no unit");
        b.enemy.next_step = kThinkStepEnd;
        work.step = kEnemyPhaseWait;
        break;
      case kEnemyPhaseSupport:
        Check(b.think_search.support_target < units, kName, "support for no unit");
        work.step = kEnemyPhaseThink;
        break;
      case kEnemyPhaseGuard:
      case kEnemyPhaseWait:
        work.step = kEnemyPhaseThink;
        break;
      default:
        Check(false, kName, "the think steps left the enemy program's phase steps");
        return true;
    }
    clock.Advance(17);  // the focus steps' camera moves by the clock
  }
  return false;
}

// The board, made once per process (a battle context is 200 KB to clear and its stage table is
// written again for every unit a board adds: per input that was a third of an input's time). The
// think steps change the battle's words, never the board's units or cells: each input puts back
// the words as they were after the board was made.
struct ThinkBoard {
  ThinkBoard() {
    BattleScope scope(battle);
    board = std::make_unique<testsupport::BattleBoard>(battle);
    // The field: 12 columns by 24 rows around the units, every other cell of the grid a wall (as
    // a stage's map data walls its edges), so that the searches spread over the field and not
    // over the whole grid.
    for (int row = 0; row < kSlgGridRows; ++row) {
      for (int column = 0; column < kSlgGridColumns; ++column) {
        if (row < kFieldRows && column < kFieldColumns) continue;
        board->SetCell(column, row, kSlgCellMoveStop | kSlgCellAttackStop);
      }
    }
    const auto add = [this](const Placed& p, uint8_t side, uint8_t category) {
      return board->AddUnit(testsupport::OnCell(
          p.column, p.row,
          {.side = side, .character = p.kind, .kind = p.kind, .category = category}));
    };
    add(kHero, 0, 0);
    for (int i = 0; i < kEnemies; ++i) {
      foes[i] = add(kFoes[i], 1, 1);
      if (foes[i] >= kSlgMaxUnits) continue;
      SlgUnit& u = battle.state.units[foes[i]];
      entries[i] = u.entry;
      u.stats.total_move = 3;
      u.stats.life = 100;
      u.stats.max_life = 100;
      u.stats.counter = static_cast<int8_t>(i % 2);
    }
    state = battle.state;
    camera = battle.camera;
    table = battle.stage->bytes();
  }
  void Restore() {
    battle.state = state;
    battle.camera = camera;
    battle.flags = 0;
    battle.phase_sub = 0;
    battle.enemy = SlgEnemyState{};
    battle.search = SlgSearchState{};
    battle.think_search = SlgThinkSearchState{};
    battle.cmd = SlgCommandState{};
    battle.control = SlgControlWords{};
    battle.stage->Assign(table.data(), table.size(), "board");
  }

  BattleContext battle;
  std::unique_ptr<testsupport::BattleBoard> board;
  uint8_t foes[kEnemies] = {};
  int entries[kEnemies] = {};
  SlgBattleState state{};
  SlgCamera camera{};
  std::array<uint8_t, kStageTableBytes> table{};
};

ThinkBoard& SharedBoard() {
  static ThinkBoard* board = new ThinkBoard;  // lives as long as the process
  return *board;
}

}  // namespace

// Input: control (bytes 0-3 the generator's seed, little-endian; then per enemy its EnTab row
// and a byte whose bit 0 leaves it out; byte 12 the enemy that acts), EnThk, EnCnd, EnTab. The
// files are installed as Slg::LoadEnemyThink installs them; then the enemy byte 12 names (or the
// next present one) acts once: one action per input, each of them a few searches of the field. Rules: every action reaches think step
// 18 within 400 steps; a walk goes to a cell of the map, an attack and a support to a unit;
// still the five units, each of a kind in the unit table and a category at most 4.
void ThinkEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 4);
  const Bytes& control = parts[0];
  detail::DisplayRig& rig = detail::Rig(false);
  if (!rig.ready) return;
  ContextScope engine_scope(*rig.context);
  GameContext game;
  GameScope game_scope(game);
  ThinkBoard& tb = SharedBoard();
  BattleScope battle_scope(tb.battle);
  tb.Restore();
  Ctx().random.Seed(static_cast<uint32_t>(ByteAt(control, 0) | ByteAt(control, 1) << 8 |
                                          ByteAt(control, 2) << 16 |
                                          static_cast<uint32_t>(ByteAt(control, 3)) << 24));
  // The three files as Slg::LoadEnemyThink leaves them, the points of the think and condition
  // records doubled (reading them is the stage target's: three reads through the whole path
  // search were a fifth of an input's time); an empty part stands for a file that is not there.
  BattleContext& battle = tb.battle;
  const auto block = [](const Bytes& bytes) {
    return bytes.empty() ? nullptr : std::make_unique<SlgThinkBlock>(bytes.begin(), bytes.end());
  };
  battle.enemy_think = block(parts[1]);
  if (battle.enemy_think) SlgDoubleThinkPoints(*battle.enemy_think);
  battle.enemy_cond = block(parts[2]);
  if (battle.enemy_cond) SlgDoubleCondPoints(*battle.enemy_cond);
  battle.enemy_change = block(parts[3]);
  // Each enemy's think-change row (byte 10 of its stage entry).
  std::array<uint8_t, kStageTableBytes> table = tb.battle.stage->bytes();
  for (int i = 0; i < kEnemies; ++i) {
    table[kStageUnitOffset + 16 * static_cast<size_t>(tb.entries[i]) + 10] =
        ByteAt(control, static_cast<size_t>(4 + 2 * i));
  }
  tb.battle.stage->Assign(table.data(), table.size(), "board");

  // The acting enemy: the one byte 12 names, or the next present one after it.
  for (int k = 0; k < kEnemies; ++k) {
    const int i = (ByteAt(control, 12) + k) % kEnemies;
    if ((ByteAt(control, static_cast<size_t>(5 + 2 * i)) & 1) != 0 || tb.foes[i] >= kSlgMaxUnits) {
      continue;
    }
    Check(RunAction(tb.foes[i], rig.host.clock), kName,
          "an enemy action did not reach think step 18 within its step bound");
    const SlgBattleState& s = tb.battle.state;
    Check(s.unit_count <= kSlgMaxUnits, kName, "more than 64 units");
    for (int u = 0; u < std::min<int>(s.unit_count, kSlgMaxUnits); ++u) {
      const SlgUnit& unit = s.units[static_cast<size_t>(u)];
      Check(unit.kind < kSlgUnitKinds && unit.category < kSlgCategories, kName,
            "a unit of a kind or category outside the tables");
    }
    break;
  }
  Slg::FreeThinkData();
}

std::vector<Bytes> ThinkSeeds() {
  using testsupport::StageWriter;
  // The swarm: thinks of types 0, 2 and 4 (all engaging), rows 0-2.
  StageWriter st = testsupport::MinimalStage();
  testsupport::LaySwarmThinks(st);
  std::vector<Bytes> seeds;
  for (uint8_t acting = 0; acting < kEnemies; ++acting) {
    const Bytes control = {7, 0, 0, 0, 0, 0, 1, 0, 2, 0, 1, 0, acting};
    seeds.push_back(JoinParts({control, st.Bytes(StageWriter::kThink),
                               st.Bytes(StageWriter::kCond), st.Bytes(StageWriter::kChange)}));
  }
  // Holding and support thinks behind conditions that hold (life, lines, heights), every type,
  // points doubled, rows past the table.
  StageWriter odd = testsupport::MinimalStage();
  odd.think.clear();
  for (uint8_t type = 0; type < 8; ++type) {
    testsupport::ThinkRecord r;
    r.reaction = static_cast<uint8_t>(type % 4);
    r.type = type;
    r.target = type % 2 == 0 ? 'k' : 20;
    r.points = {{{96, 96}, {600, 96}, {600, 400}, {96, 400}}};
    odd.think.push_back(r);
  }
  odd.cond.clear();
  for (const uint8_t kind : {1, 3, 5, 6, 9, 11, 12, 13}) {
    odd.cond.push_back({kind, 0, 'd', 0, {{{0, 240}, {640, 240}, {0, 0}, {0, 0}}}});
  }
  odd.change.clear();
  for (uint8_t r = 0; r < 4; ++r) {
    testsupport::ThinkChangeRow row;
    for (uint8_t p = 0; p < 4; ++p) row.pairs[p] = {static_cast<uint8_t>(r + p), static_cast<uint8_t>(2 * r + p)};
    odd.change.push_back(row);
  }
  seeds.push_back(JoinParts({{1, 2, 3, 4, 3, 0, 200, 0, 1, 1, 2, 0}, odd.Bytes(StageWriter::kThink),
                             odd.Bytes(StageWriter::kCond), odd.Bytes(StageWriter::kChange)}));
  // No think data at all.
  seeds.push_back(JoinParts({{0, 0, 0, 0}, {}, {}, {}}));
  return seeds;
}

}  // namespace fuzz
