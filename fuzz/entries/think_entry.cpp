// The enemy think files played: EnThk, EnCnd and EnTab on a fixed stage of the hero and four
// enemies, the battle run headless on the battle rig with the player ending each turn.

#include <algorithm>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_enemy_state.h"
#include "battle/slg_start.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/stage_writer.h"

namespace fuzz {

using detail::ByteAt;
using detail::Check;

namespace {

constexpr const char* kName = "slg_think";
// Frames the battle is played; an enemy acting longer than the bound has not ended its action.
constexpr int kFrames = 300;
constexpr int kActionBound = 240;
constexpr int kEnemies = 4;

// The fixed stage: the hero at cell (2, 10), ASHIGARU at (4, 10) and (4, 12), HINAWA at (5, 10),
// OOZUTU at (6, 10); each enemy's think-change row and present byte from the control block.
testsupport::StageWriter FixedStage(const Bytes& control) {
  testsupport::StageWriter st = testsupport::MinimalStage();
  st.classes[2] = {15, 1, 0, 0};
  st.classes[3] = {16, 1, 0, 0};
  const struct {
    int column, row;
    uint8_t class_index;
  } enemies[kEnemies] = {{4, 10, 1}, {4, 12, 1}, {5, 10, 2}, {6, 10, 3}};
  for (int i = 0; i < kEnemies; ++i) {
    StageUnitEntry& u = st.units[static_cast<size_t>(i + 1)];
    u = st.units[1];
    u.class_index = enemies[i].class_index;
    u.x = static_cast<int16_t>((2 * enemies[i].column + (enemies[i].row & 1)) * 48);
    u.y = static_cast<int16_t>(24 * enemies[i].row);
    u.think_row = ByteAt(control, static_cast<size_t>(4 + 2 * i));
    u.present = (ByteAt(control, static_cast<size_t>(5 + 2 * i)) & 1) == 0 ? 1 : 0;
  }
  st.header.num_unit = kEnemies + 1;
  return st;
}

}  // namespace

// Input: control (bytes 0-3 the generator's seed, little-endian; then per enemy its EnTab row
// and a byte whose bit 0 leaves it out), EnThk, EnCnd, EnTab. The battle starts as a stage does
// and is played for 300 frames (or until it hands back), the hero's turns ended, a game over
// given up. Rules: at most 64 units, each of a kind in the unit table and a category at most 4;
// sprite-buffer entries within the pool; no enemy action runs for more than 240 frames before it ends in think step 18.
void ThinkEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 4);
  const Bytes& control = parts[0];
  testsupport::BattleRig::Options options;
  options.seed = static_cast<uint32_t>(ByteAt(control, 0) | ByteAt(control, 1) << 8 |
                                       ByteAt(control, 2) << 16 |
                                       static_cast<uint32_t>(ByteAt(control, 3)) << 24);
  testsupport::BattleRig rig(options);
  testsupport::BattleInstall install(testsupport::BattleInstall::Form::kBare);
  install.stage = FixedStage(control);
  install.stage.SetRaw(testsupport::StageWriter::kThink, parts[1]);
  install.stage.SetRaw(testsupport::StageWriter::kCond, parts[2]);
  install.stage.SetRaw(testsupport::StageWriter::kChange, parts[3]);
  install.Lay(rig.driver().tree);
  GetSystemData()->setBattleMap(0);
  Game().sequences.set_mode = [](int) { return 1; };
  Slg::StartStage();

  testsupport::BattleScript player(rig.driver());
  int acting = -1;
  int acting_frames = 0;
  for (int f = 0; f < kFrames; ++f) {
    const BattleContext& b = rig.battle();
    if (b.control.exited != 0) break;
    testsupport::BattleScript::InstallAttackStubs({0, 14, 15, 16});
    if (player.Ready() && !player.AnswerGameOver(true)) player.EndHeroTurn();
    if (!rig.Step()) break;

    const SlgBattleState& s = b.state;
    Check(s.unit_count <= kSlgMaxUnits, kName, "more than 64 units");
    for (int i = 0; i < std::min<int>(s.unit_count, kSlgMaxUnits); ++i) {
      const SlgUnit& u = s.units[static_cast<size_t>(i)];
      Check(u.kind < kSlgUnitKinds && u.category < kSlgCategories, kName,
            "a unit of a kind or category outside the tables");
    }
    const int free = Ctx().ddraw_spr.FreeEntryCount();
    Check(free >= 0 && free <= CDdrawSpr::kEntryCount, kName,
          "sprite-buffer entries outside the pool");
    const SlgUnit* now = testsupport::BattleScript::ActingUnit();
    // Only while turn control runs (a game over or the victory stops the main task).
    const int enemy =
        now != nullptr && now->side != 0 && b.control.main_work != nullptr ? s.acting_unit : -1;
    // An action ends through think step 18; the next one (the same unit may act twice) counts
    // from there.
    const bool ended = b.enemy.think_step == kThinkStepEnd;
    acting_frames = enemy >= 0 && enemy == acting && !ended ? acting_frames + 1 : 0;
    acting = enemy;
    if (acting_frames > kActionBound) {
      Check(false, kName, "an enemy action did not end within its frame bound");
      break;
    }
  }
}

std::vector<Bytes> ThinkSeeds() {
  using testsupport::StageWriter;
  // The swarm: thinks of types 0, 2 and 4 (all engaging), rows 0-2.
  StageWriter st = testsupport::MinimalStage();
  testsupport::LaySwarmThinks(st);
  const Bytes control = {7, 0, 0, 0, 0, 0, 1, 0, 2, 0, 1, 0};
  std::vector<Bytes> seeds;
  seeds.push_back(JoinParts({control, st.Bytes(StageWriter::kThink), st.Bytes(StageWriter::kCond),
                             st.Bytes(StageWriter::kChange)}));
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
