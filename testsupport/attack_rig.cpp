#include "testsupport/attack_rig.h"

#include <algorithm>
#include <array>
#include <map>

#include "battle/battle_context.h"
#include "battle/slg_action.h"
#include "battle/slg_attack.h"
#include "battle/slg_commands.h"
#include "battle/slg_geometry.h"
#include "battle/slg_map.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/effects_install.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/battle_board.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/system_sprites.h"

namespace testsupport {

namespace {

constexpr const char* kMainTaskName = "AttackRig::Main";
constexpr uint8_t kStateAttack = 6;
constexpr uint8_t kStateAfterAttack = 7;
constexpr uint8_t kStateLeadIn = 5;
constexpr uint8_t kStateCombination = 19;
constexpr uint8_t kTypeCombination = 5;
constexpr uint16_t kMapSize = 1280;
constexpr int16_t kLife = 999;
// SlgFlags as the attack command finds them: menu closed, units shown.
constexpr uint16_t kCommandFlags = 0x7;
constexpr uint16_t kUnitsShownFlags = 0x6;
// Frames the camera gets to settle on the attacker before the attack starts.
constexpr int kSettleFrames = 20;

// The rig whose task runs (one rig at a time).
AttackRig* g_rig = nullptr;

int TargetKind(int kind) { return kind <= 13 ? 14 : 1; }

// A unit's character: the hero kinds 0 and 7 the hero, the player kinds their heroine, the
// enemies none of them.
uint8_t CharacterOf(int kind) {
  if (kind <= 6) return static_cast<uint8_t>(kind);
  if (kind <= 13) return static_cast<uint8_t>(kind - 7);
  return 20;
}

bool SameTop5(uint32_t a, uint32_t b) {
  for (int shift : {3, 11, 19}) {
    if (((a >> shift) & 0x1F) != ((b >> shift) & 0x1F)) return false;
  }
  return true;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
  return out.empty() ? "none" : out;
}

}  // namespace

std::pair<int, int> CellAlong(int column, int row, int dir, int n) {
  static constexpr std::array<std::array<int, 2>, 4> kSteps{{{1, -1}, {1, 1}, {-1, 1}, {-1, -1}}};
  const auto [dx, dy] = kSteps[static_cast<size_t>(dir & 3)];
  for (int i = 0; i < n; ++i) {
    if (dx > 0 && (row & 1) != 0) ++column;
    if (dx < 0 && (row & 1) == 0) --column;
    row += dy;
  }
  return {column, row};
}

// What the end check compares with.
struct AttackRig::Baseline {
  int64_t alloc = 0;
  int entries = 0;
  int polygons = 0;
  int anims = 0;
  int refs = 0;
  LayerState layers;
  uint32_t cmd_busy = 0;
  int16_t scroll_x = 0, scroll_y = 0;
  std::array<std::array<int32_t, 2>, 4> planes{};
  std::map<int, int16_t> lives;
  std::map<int, bool> shown;
  bool taken = false;
};

AttackRig::AttackRig(const AttackCase& row)
    : row_(row), installer_(&InstallBattleEffects), baseline_(std::make_unique<Baseline>()) {
  BattleRig::Options options;
  options.step_ms = row.step_ms;
  options.layout = row.pixels;
  rig_ = std::make_unique<BattleRig>(options);
  GameTree& tree = rig_->driver().tree;
  SlgTableWriter tables;
  AttackFixtures sets(row.kind);
  sets.Apply(row.variant, row.type);
  if (row.fixtures) row.fixtures(sets);
  sets.Lay(tree, tables);
  for (int kind : row.more_kinds) AttackFixtures(kind).Lay(tree, tables);
  if (row.road == AttackRoad::kBoard) {
    AttackFixtures(TargetKind(row.kind)).Lay(tree, tables);
    SystemSpriteSet().Lay(tree);
  }
  tables.Lay(tree);
  trace_ = std::make_unique<AttackTrace>(rig_->battle());
  g_rig = this;
  if (row.road == AttackRoad::kBoard) {
    BuildBoard();
  } else {
    trace_->WatchActionAttacker(true);
    // As a battle's map shows its units: a routine that hides them gives bits 1 and 2 back.
    rig_->battle().flags = kUnitsShownFlags;
  }
  if (row_.before) row_.before(*this);
}

AttackRig::~AttackRig() {
  if (row_.road == AttackRoad::kBoard) {
    Slg::ReleaseRangeMarkers();
    FreeSystemSprites();
  }
  if (GameTaskRec* task = Ctx().game_task.FindTask(kMainTaskName)) Ctx().game_task.DelTask(task);
  trace_.reset();
  g_rig = nullptr;
}

std::vector<std::pair<int, int>> AttackRig::LayoutCells(const AttackCase& row) {
  int n = 0;
  switch (row.layout) {
    case AttackLayout::kNone: n = 0; break;
    case AttackLayout::kThree: n = 3; break;
    case AttackLayout::kFive: n = 5; break;
    default: n = 1; break;
  }
  std::vector<std::pair<int, int>> cells;
  for (int i = 1; i <= n; ++i) cells.push_back(CellAlong(kColumn, kRow, row.dir, i));
  return cells;
}

void AttackRig::BuildBoard() {
  BattleContext& b = rig_->battle();
  board_ = std::make_unique<BattleBoard>(b);
  LoadSystemSprites();
  LoadSlgTables();
  // What the battle's initialisation builds, and the installers again after the player table's
  // rebuild (as the battle's start runs them).
  InitDefaultUnitStates();
  InitCategoryUpdates();
  RunBattleInstallers(b);
  board_->SetMapSize(kMapSize, kMapSize);
  const std::vector<std::pair<int, int>> cells = LayoutCells(row_);
  if (row_.layout == AttackLayout::kWallAhead) {
    const auto wall = CellAlong(kColumn, kRow, row_.dir, 2);
    board_->SetCell(wall.first, wall.second, CellWord(0, 0x400));
  }
  if (row_.layout == AttackLayout::kRaised) {
    board_->SetCell(cells[0].first, cells[0].second, CellWord(2));
  }
  const bool player = row_.kind <= 13;
  attacker_ = board_->AddUnit(OnCell(kColumn, kRow,
                                     {.side = static_cast<uint8_t>(player ? 0 : 1),
                                      .character = CharacterOf(row_.kind),
                                      .kind = static_cast<uint8_t>(row_.kind),
                                      .category = static_cast<uint8_t>(player ? 0 : 1),
                                      .facing = static_cast<uint8_t>(row_.dir)}));
  const int target_kind = TargetKind(row_.kind);
  for (size_t i = 0; i < cells.size(); ++i) {
    targets_.push_back(board_->AddUnit(
        OnCell(cells[i].first, cells[i].second,
               {.side = static_cast<uint8_t>(player ? 1 : 0),
                .character = static_cast<uint8_t>(player ? 21 + i : 1 + i),
                .kind = static_cast<uint8_t>(target_kind),
                .category = static_cast<uint8_t>(target_kind <= 13 ? 0 : 1),
                .facing = static_cast<uint8_t>((row_.dir + 2) & 3)})));
  }
  for (int i = 0; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    Slg::PlaceUnit(u);
    u.stats.life = u.stats.max_life = kLife;
  }
  attacker().dir = static_cast<uint8_t>(row_.dir);
  // The layers and flags as a battle has them once built.
  for (SurfaceId layer = 4; layer <= 8; ++layer) SlgSetLayer(layer, 0);
  SlgSetLayer(4, 2);
  b.flags = kCommandFlags;
  Ctx().game_task.SetTaskSimple(rig_->manager(), &AttackRig::MainTask, kMainTaskName);
  // The camera on the attacker's cell, where the gauges bring it back.
  const SlgUnit& a = attacker();
  Slg::ScrollToCellPos({a.x, a.y});
  for (int i = 0; i < kSettleFrames; ++i) Step();
}

void AttackRig::MainTask(GameTaskRec* /*task*/) {
  if (g_rig != nullptr) g_rig->Frame();
}

void AttackRig::Frame() {
  BattleContext& b = Battle();
  if (frames_ <= 0) Slg::ScrollStep();  // settling
  if (command_running_) {
    SlgUnit& a = attacker();
    const bool first = b.phase_sub == 5;
    const int result = row_.type == kTypeCombination ? Slg::CmdCombination(a) : Slg::CmdAttack(a);
    if (result != kSlgCmdRunning) command_running_ = false;
    // The row's type stands: the command's power roll turns a normal attack into a critical one
    // (and any other type into one of the two) by chance.
    if (first && a.state == kStateLeadIn) a.stats.attack_type = static_cast<uint8_t>(row_.type);
  }
  // The units' updates, as the battle's main task runs them.
  SlgBattleState& s = b.state;
  for (b.update_index = 0; b.update_index >= 0 && b.update_index < s.unit_count;
       ++b.update_index) {
    SlgUnit& u = s.units[static_cast<size_t>(b.update_index)];
    if (u.step == kSlgDeadStep || (u.flags & kUnitShown) == 0) continue;
    trace_->BeforeUnitUpdate(u);
    Slg::UpdateUnit(u);
  }
}

SlgUnit& AttackRig::attacker() {
  BattleContext& b = rig_->battle();
  return row_.road == AttackRoad::kAction ? b.action.attacker : b.state.units[attacker_];
}

const SlgUnit& AttackRig::attacker() const { return const_cast<AttackRig*>(this)->attacker(); }

const std::map<int, int16_t>& AttackRig::lives_at_start() const { return baseline_->lives; }

AttackDispatch& AttackRig::dispatch() { return rig_->battle().Extension<AttackDispatch>(); }

bool AttackRig::InAttack() const {
  const uint8_t state = attacker().state;
  return state == (row_.type == kTypeCombination && row_.road == AttackRoad::kBoard
                       ? kStateCombination
                       : kStateAttack);
}

bool AttackRig::Ended() const {
  if (row_.road == AttackRoad::kAction) {
    return Ctx().game_task.FindTask(kSlgActionTaskName) == nullptr;
  }
  const uint8_t state = attacker().state;
  return !command_running_ && (state == 0 || state == 8);
}

void AttackRig::Start() {
  BattleContext& b = rig_->battle();
  Baseline& base = *baseline_;
  base.alloc = b.alloc.live;
  base.entries = trace_->entries();
  base.polygons = trace_->polygons();
  base.anims = AttackTrace::LiveAnimations();
  base.refs = AttackTrace::AnimationSetReferences();
  base.layers = AttackTrace::Layers();
  base.cmd_busy = b.cmd_busy;
  base.scroll_x = b.state.scroll_x;
  base.scroll_y = b.state.scroll_y;
  for (int n = 0; n < 4; ++n) {
    SlgMap::GetPlaneOffset(n, &base.planes[static_cast<size_t>(n)][0],
                           &base.planes[static_cast<size_t>(n)][1]);
  }
  for (int i = 0; i < b.state.unit_count; ++i) {
    const SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    base.lives[i] = u.stats.life;
  }
  for (uint8_t t : targets_) base.shown[t] = (b.state.units[t].flags & kUnitShown) != 0;
  base.taken = true;
  frames_ = 0;
  trace_->SetFrame(0);

  if (row_.road == AttackRoad::kAction) {
    CTamvikSlgAct::Action(PackSlgAction(static_cast<uint32_t>(row_.kind),
                                        static_cast<uint32_t>(row_.type),
                                        static_cast<uint32_t>(row_.dir)));
    return;
  }
  SlgUnit& a = attacker();
  a.stats.attack_type = static_cast<uint8_t>(row_.type);
  if (row_.type == kTypeCombination) a.stats.action_bytes[2] = a.character;
  if (targets_.empty()) {
    // No command: the state an event script sets.
    SetUnitState(a, row_.type == kTypeCombination ? kStateCombination : kStateLeadIn);
    return;
  }
  SlgSearchState& s = b.search;
  s.range_count = 0;
  for (const auto& cell : LayoutCells(row_)) {
    s.range_list[static_cast<size_t>(s.range_count++)] = CellPos(cell.first, cell.second);
  }
  SlgCommandState& c = b.cmd;
  c.target_unit = targets_[0];
  c.range_view = kSlgRangeClosed;
  if (row_.type == kTypeCombination) {
    b.phase_sub = 4;
  } else {
    c.attack_mode = static_cast<uint8_t>(row_.type);
    a.stats.action_bytes[0] = targets_[0];
    a.aux = targets_[0];
    c.unit_acting = 1;
    // Step 5's wait is over: the lead-in starts in the first frame.
    c.attack_wait = 20;
    c.attack_wait_start = rig_->Now() - 1000;
    b.phase_sub = 5;
  }
  command_running_ = true;
}

void AttackRig::Step() {
  trace_->SetFrame(baseline_->taken ? frames_ + 1 : 0);
  rig_->Step();
  if (baseline_->taken) ++frames_;
  trace_->EndFrame();
  const SlgBattleState& s = rig_->battle().state;
  for (int i = 0; baseline_->taken && i < s.unit_count; ++i) {
    if ((s.units[static_cast<size_t>(i)].flags & kUnitInDamageList) != 0) hit_units_.insert(i);
  }
}

std::vector<std::string> AttackRig::LiveTaskNames() {
  std::vector<std::string> names;
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    if (!t->deleted && t->function == &SlgTaskStep) names.push_back(t->name);
  }
  return names;
}

void AttackRig::CheckEnd(const AttackCase& row, std::vector<std::string>& failures) {
  BattleContext& b = rig_->battle();
  const Baseline& base = *baseline_;
  const auto expect = [&failures](bool ok, const std::string& what) {
    if (!ok) failures.push_back(what);
  };
  for (const std::string& name : LiveTaskNames()) {
    for (const std::string& prefix : row.prefixes) {
      if (name.rfind(prefix, 0) == 0) failures.push_back("leaked task " + name);
    }
  }
  expect(b.alloc.live == base.alloc, "SlgAlloc blocks " + std::to_string(b.alloc.live) +
                                         ", before " + std::to_string(base.alloc));
  expect(trace_->entries() == base.entries, "sprite-buffer entries " +
                                                std::to_string(trace_->entries()) + ", before " +
                                                std::to_string(base.entries));
  expect(trace_->polygons() == base.polygons, "polygons " + std::to_string(trace_->polygons()) +
                                                  ", before " + std::to_string(base.polygons));
  const int anims = AttackTrace::LiveAnimations();
  expect(anims == base.anims,
         "live animations " + std::to_string(anims) + ", before " + std::to_string(base.anims));
  const int refs = AttackTrace::AnimationSetReferences();
  expect(refs == base.refs,
         "animation-set references " + std::to_string(refs) + ", before " + std::to_string(base.refs));
  expect(b.fade_handle == nullptr && Ctx().ddraw.GetFadeLevel() == 0,
         "a fade is left (level " + std::to_string(Ctx().ddraw.GetFadeLevel()) + ")");
  const LayerState layers = AttackTrace::Layers();
  bool same_layers = layers.clear_flag == base.layers.clear_flag;
  for (int l = 4; l <= 8; ++l) {
    same_layers = same_layers && layers.visible[l] == base.layers.visible[l] &&
                  layers.copy[l] == base.layers.copy[l];
  }
  expect(same_layers, "the layers or the clear flag are not as before");
  expect(b.cmd_busy == base.cmd_busy, "SlgCmdBusy " + std::to_string(b.cmd_busy) + ", before " +
                                          std::to_string(base.cmd_busy));
  expect(trace_->bgm_volume() == 100,
         "the music volume left at " + std::to_string(trace_->bgm_volume()));
  expect((b.flags & 0x6) == 0x6 && (b.flags & 0xE0) == 0,
         "SlgFlags " + std::to_string(b.flags) + ": bits 1, 2 not set or 5-7 not clear");
  for (const auto& [slot, shown] : base.shown) {
    expect(((b.state.units[static_cast<size_t>(slot)].flags & kUnitShown) != 0) == shown,
           "target " + std::to_string(slot) + " not shown as before");
  }
  if ((row.leaves & kLeavesCamera) == 0) {
    expect(b.state.scroll_x == base.scroll_x && b.state.scroll_y == base.scroll_y,
           "the scroll moved to " + std::to_string(b.state.scroll_x) + ", " +
               std::to_string(b.state.scroll_y));
  }
  if ((row.leaves & kLeavesPlaneOffset) == 0) {
    for (int n = 0; n < 4; ++n) {
      std::array<int32_t, 2> now = base.planes[static_cast<size_t>(n)];
      SlgMap::GetPlaneOffset(n, &now[0], &now[1]);
      expect(now == base.planes[static_cast<size_t>(n)],
             "plane " + std::to_string(n) + "'s offset moved");
    }
  }
  expect(trace_->peak_entries() < CDdrawSpr::kEntryCount,
         "sprite-buffer entries peaked at " + std::to_string(trace_->peak_entries()));
}

namespace {

void CheckHits(const AttackCase& row, AttackRig& r, std::vector<std::string>& failures) {
  if (row.hits == HitSignal::kUnchecked) return;
  std::set<int> want;
  const std::vector<uint8_t>& targets = r.targets();
  if (row.hits == HitSignal::kEvery) want.insert(targets.begin(), targets.end());
  if (row.hits == HitSignal::kFirst && !targets.empty()) want.insert(targets[0]);
  // On the action road the target is slot 0.
  if (row.road == AttackRoad::kAction && row.hits != HitSignal::kNone) want = {0};
  const std::set<int>& got = r.trace().hit_signalled();
  if (got != want) {
    std::string g, w;
    for (int s : got) g += std::to_string(s) + " ";
    for (int s : want) w += std::to_string(s) + " ";
    failures.push_back("hit signal on { " + g + "}, wanted { " + w + "}");
  }
}

void CheckDamage(AttackRig& r, std::vector<std::string>& failures) {
  const BattleContext& b = r.rig().battle();
  const std::set<int>& hit = r.hit_units();
  for (const auto& [slot, before] : r.lives_at_start()) {
    const SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
    int want = before;
    if (hit.count(slot) != 0) {
      want = std::clamp(int{before} - int{static_cast<int16_t>(u.stats.result)}, 0,
                        std::max(0, int{u.stats.max_life}));
    }
    if (u.stats.life != want) {
      failures.push_back("unit " + std::to_string(slot) + " has life " +
                         std::to_string(u.stats.life) + ", wanted " + std::to_string(want));
    }
  }
}

}  // namespace

AttackOutcome PlayAttackCase(const AttackCase& row) {
  AttackOutcome out;
  AttackRig r(row);
  r.Start();
  std::vector<bool> checked(row.checkpoints.size(), false);
  const auto checkpoints = [&] {
    for (size_t i = 0; i < row.checkpoints.size(); ++i) {
      const AttackCheckpoint& cp = row.checkpoints[i];
      if (checked[i]) continue;
      const bool now = cp.frame >= 0 ? r.frames() == cp.frame
                                     : !cp.event.empty() && r.trace().FrameOf(cp.event) == r.frames();
      if (!now) continue;
      checked[i] = true;
      r.rig().SaveFrame(row.name + "_" + cp.name);
      for (const AttackProbe& p : cp.probes) {
        const uint32_t pixel = r.rig().PixelAt(p.x, p.y);
        if (SameTop5(pixel, p.colour) != p.drawn) {
          char text[160];
          std::snprintf(text, sizeof text, "checkpoint %s: pixel (%d, %d) is 0x%06X, %s 0x%06X",
                        cp.name.c_str(), p.x, p.y, pixel, p.drawn ? "wanted" : "not wanted",
                        p.colour);
          out.failures.push_back(text);
        }
      }
    }
  };
  // The routine, to its state 7 (the attacker may pass through its attack state within one
  // frame: the combination's state 19 is set and ended in the command's frame).
  bool seen = false;
  bool reached = r.attacker().state == kStateAfterAttack;
  while (!reached && r.frames() < row.frame_limit) {
    r.Step();
    checkpoints();
    const uint8_t state = r.attacker().state;
    if (r.InAttack()) {
      seen = true;
    } else if (state == kStateAfterAttack) {
      reached = true;
    } else if (seen) {
      out.failures.push_back("the attack state was left for state " + std::to_string(state) +
                             ", not 7");
      reached = true;
    } else if (r.Ended()) {
      reached = true;  // the command ended without an attack state (nobody was hit)
    }
  }
  if (!reached) {
    const SlgUnit& a = r.attacker();
    out.failures.push_back("watchdog: kind " + std::to_string(row.kind) + " type " +
                           std::to_string(row.type) + " still in state " + std::to_string(a.state) +
                           " after " + std::to_string(row.frame_limit) + " frames (step " +
                           std::to_string(a.step) + "); live tasks: " + Join(AttackRig::LiveTaskNames()));
  } else {
    out.state7_frame = r.frames();
    // The end timeline, then the budget the effects may outlive it by.
    int n = 0;
    while (!r.Ended() && n++ < AttackRig::kEndLimit) {
      r.Step();
      checkpoints();
    }
    if (!r.Ended()) out.failures.push_back("the attack's end did not come");
    out.end_frame = r.frames();
    for (int i = 0; i < row.outlive; ++i) {
      if (row.outlive_until_quiet && AttackRig::LiveTaskNames().empty()) break;
      r.Step();
      checkpoints();
    }
    // The action task's body objects stay until its next call: they are not the routine's.
    if (row.road == AttackRoad::kAction) FreeSlgActionBodies();
    r.CheckEnd(row, out.failures);
    CheckHits(row, r, out.failures);
    if (row.road == AttackRoad::kBoard) CheckDamage(r, out.failures);
    if (!row.routine.empty() && r.trace().Find("routine " + row.routine) == nullptr) {
      out.failures.push_back("the routine " + row.routine + " did not play");
    }
    std::string why;
    if (!IsSubsequence(r.trace().SoundCalls(), row.sounds, &why)) {
      out.failures.push_back("sound calls: " + why);
    }
  }
  for (size_t i = 0; i < row.checkpoints.size(); ++i) {
    if (!checked[i]) out.failures.push_back("checkpoint " + row.checkpoints[i].name + " not reached");
  }
  if (row.road == AttackRoad::kBoard) {
    const SlgBattleState& s = r.rig().battle().state;
    for (int i = 0; i < s.unit_count; ++i) {
      const SlgUnit& u = s.units[static_cast<size_t>(i)];
      out.units[i] = {u.state, u.stats.life, u.x, u.y};
    }
  }
  out.lines = r.trace().lines();
  out.trace = r.trace().Texts();
  out.record = RecordOf(r.rig());
  return out;
}

AttackOutcome ExpectAttackCase(const AttackCase& row) {
  SCOPED_TRACE(row.name);
  AttackOutcome first = PlayAttackCase(row);
  const AttackOutcome second = PlayAttackCase(row);
  for (const std::string& f : first.failures) ADD_FAILURE() << row.name << ": " << f;
  SameBattleRuns(first.record, second.record);
  const size_t n = std::min(first.trace.size(), second.trace.size());
  for (size_t i = 0; i < n; ++i) {
    if (first.trace[i] != second.trace[i]) {
      ADD_FAILURE() << row.name << ": the two runs' traces differ at line " << i << ": \""
                    << first.trace[i] << "\" and \"" << second.trace[i] << "\"";
      return first;
    }
  }
  if (first.trace.size() != second.trace.size()) {
    ADD_FAILURE() << row.name << ": the two runs' traces differ in length";
  }
  return first;
}

}  // namespace testsupport
