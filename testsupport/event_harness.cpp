#include "testsupport/event_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_units.h"
#include "engine/input/dinput.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "testsupport/battle_script.h"
#include "testsupport/story_map.h"

namespace testsupport {
namespace {

// The harness whose set-up and hooks run (one at a time).
EventHarness* g_harness = nullptr;

// The frames a choice window is given to open before its answer is keyed.
constexpr int kChoiceSettle = 40;

}  // namespace

EventHarness::EventHarness(const MapSetup& setup) : EventHarness(setup, Options{}) {}

EventHarness::EventHarness(const MapSetup& setup, Options options)
    : options_(std::move(options)), setup_(setup), rig_(options_.rig) {
  if (g_harness != nullptr) ADD_FAILURE() << "two event harnesses at once";
  g_harness = this;
  install.stage.map = options_.stage;
  events_ = std::make_unique<ScopedEventTable>(setup_, &rig_.driver());
  events_->InstallOn(rig_.battle());
  installer_ = std::make_unique<ScopedBattleInstaller>(&Installer);
  Installer(rig_.battle());
  rig_.StubPhases([this](SlgMainWork* work) { PhaseSlot(work); });
}

EventHarness::~EventHarness() {
  for (const EventRecord& r : recorder_.records()) {
    if (r.what.rfind("trace ", 0) != 0) continue;
    const bool expected = std::any_of(
        expected_traces_.begin(), expected_traces_.end(),
        [&r](const std::string& e) { return r.what.find(e) != std::string::npos; });
    if (!expected) ADD_FAILURE() << "frame " << r.frame << ": unexpected " << r.what;
  }
  recorder_.Detach(rig_.battle());
  rig_.battle().rand_seam.script = nullptr;
  installer_.reset();
  g_harness = nullptr;
}

void EventHarness::Installer(BattleContext& battle) {
  battle.events.setup_map_event = &EventHarness::SetupMapEvent;
  if (g_harness == nullptr) return;
  // After the event table's installer, which puts the harness's own set-up into every row.
  for (const auto& c : g_harness->chain_) {
    battle.Extension<MapSetupState>().rows[static_cast<size_t>(c->install.stage.map)] = &c->setup;
  }
}

void EventHarness::SetupMapEvent(int stage) {
  SlgMapSetup::SetupMapEvent(stage);
  if (g_harness == nullptr) return;
  StageSetUp setup{
      .stage = stage, .frame = g_harness->rig_.frame(), .flags_set = 0, .variables = {}};
  for (int flag = 0; flag < kEventFlagCount; ++flag) setup.flags_set += CheckEventFlag(flag);
  for (size_t i = 0; i < kMacroVarWords; ++i) {
    setup.variables.push_back(GetMacroVar(static_cast<int>(i)));
  }
  g_harness->setups_.push_back(std::move(setup));
  if (stage != g_harness->install.stage.map) return;
  for (int flag : g_harness->install_flags_) SetEventFlag(static_cast<uint32_t>(flag));
}

// ---- Before Start ----

int EventHarness::AddObject(int kind, int character, int x, int y) {
  return install.AddObject(kind, character, x, y);
}

int EventHarness::AddUnit(int side, int character, int kind, int category, int x, int y) {
  return install.AddUnit(side, character, kind, category, x, y);
}

void EventHarness::AddMovie(int group, int index, double seconds) {
  AddScriptedMovie(rig_, group, index, seconds);
}

void EventHarness::SetP(int n, uint16_t value) { p_values_.emplace_back(n, value); }
void EventHarness::SetTrust(int heroine, int32_t trust) { trusts_.emplace_back(heroine, trust); }
void EventHarness::SetRandom(std::vector<int32_t> values) { random_ = std::move(values); }
void EventHarness::SetFlagAtInstall(int flag) { install_flags_.push_back(flag); }
void EventHarness::StubAttacks(std::initializer_list<int> kinds) {
  stub_kinds_.insert(stub_kinds_.end(), kinds.begin(), kinds.end());
}
void EventHarness::ExpectTrace(std::string fragment) {
  expected_traces_.push_back(std::move(fragment));
}

void EventHarness::AddChainStage(const MapSetup& setup, const BattleInstall& stage,
                                 const MessageTableWriter& stage_messages) {
  const int map = stage.stage.map;
  if (map < 0 || map >= kMapSetupRows || map == install.stage.map) {
    ADD_FAILURE() << "a chained stage " << map << " must be another battle map of 0-26";
    return;
  }
  chain_.push_back(std::make_unique<ChainStage>(ChainStage{setup, stage, stage_messages}));
  Installer(rig_.battle());
}

void EventHarness::Start() {
  GameTree& tree = rig_.driver().tree;
  // The chained stages first: the tables they share are laid last, from the harness's install
  // with every stage's EventAnm rows and every sprite kind in play.
  for (const auto& c : chain_) {
    c->install.stage.face_conv.fill(1);
    c->install.Lay(tree);
    tree.Write(SlgMessageRel(c->install.stage.map), c->messages.Bytes());
    for (int kind : c->install.sprite_kinds) {
      if (std::find(install.sprite_kinds.begin(), install.sprite_kinds.end(), kind) ==
          install.sprite_kinds.end()) {
        install.sprite_kinds.push_back(kind);
      }
    }
  }
  install.stage.face_conv.fill(1);  // every event face opens internal face 0
  install.Lay(tree);
  if (!chain_.empty()) {
    SlgTableWriter tables = install.Tables();
    for (const auto& c : chain_) c->install.AddEventAnmRows(tables);
    tables.Lay(tree);
  }
  tree.Write(SlgMessageRel(install.stage.map), messages.Bytes());
  LayEventFaces(tree);
  GetSystemData()->setBattleMap(static_cast<uint32_t>(install.stage.map));
  GetSystemData()->setVoiceOff(1);
  for (const auto& [n, value] : p_values_) SlgSetMacroP(n, value);
  for (const auto& [heroine, trust] : trusts_) SetTrustVar(heroine, trust);
  if (!random_.empty()) {
    rig_.battle().rand_seam.script = [this] {
      const int32_t v = random_[std::min(random_at_, random_.size() - 1)];
      ++random_at_;
      return v;
    };
  }
  recorder_.Attach(rig_.battle());
  started_ = true;
  Slg::StartStage();
  RunUntil("the battle's first round", [] { return Battle().state.round >= 1; }, 120);
  // The units the initialisation made are the battle's, not the story's.
  recorder_.Drop("deploy ");
}

// ---- Moments ----

SlgUnit* EventHarness::Unit(int group, int character) {
  SlgUnit* unit = FindUnitByGroupKind(group, character);
  if (unit == nullptr) ADD_FAILURE() << "no unit of group " << group << " character " << character;
  return unit;
}

void EventHarness::BeginTurn() {
  moments_.push_back([] {
    SlgBattleState& s = Battle().state;
    ++s.round;
    SlgSetMacroP(kSlgRoundVar, s.round);
    s.turn_counter = s.round;
    s.turn_flags |= kTurnNewRound;
  });
}

void EventHarness::Act(int group, int character) {
  moments_.push_back([this, group, character] {
    SlgUnit* unit = Unit(group, character);
    if (unit == nullptr) return;
    int p = Slg::OrderIndexOf(*unit);
    if (p < 0) {
      SlgBuildTurnOrder();
      p = Slg::OrderIndexOf(*unit);
    }
    if (p < 0) {
      ADD_FAILURE() << "group " << group << " character " << character << " is not in the order";
      return;
    }
    Slg::SetActingUnit(p);
  });
}

void EventHarness::Command(int choice) {
  moments_.push_back([this, choice] {
    Battle().player.last_choice = static_cast<uint8_t>(choice);
    Battle().state.turn_flags |= 0x0002;
    clear_command_ = true;
  });
}

void EventHarness::Defeat(int group, int character, int by_group, int by_character, bool remove) {
  moments_.push_back([=, this] {
    SlgUnit* target = Unit(group, character);
    SlgUnit* by = Unit(by_group, by_character);
    if (target == nullptr || by == nullptr) return;
    target->stats.life = 0;
    Battle().event_unit_ref[0] = by->slot;
    if (remove) EventRemoveUnit(target);
  });
}

void EventHarness::Partner(int acting, int partner) {
  moments_.push_back([this, acting, partner] {
    SlgUnit* a = Unit(0, acting);
    SlgUnit* p = Unit(0, partner);
    if (a == nullptr || p == nullptr) return;
    Battle().event_unit_ref[1] = p->slot;
    Battle().state.turn_flags |= 0x0010;
  });
}

void EventHarness::MoveTo(int group, int character, int x, int y) {
  moments_.push_back([=, this] {
    if (SlgUnit* unit = Unit(group, character)) EventPlaceUnitAt(unit, x, y, unit->dir);
  });
}

void EventHarness::SetLife(int group, int character, int life) {
  moments_.push_back([=, this] {
    if (SlgUnit* unit = Unit(group, character)) unit->stats.life = static_cast<int16_t>(life);
  });
}

void EventHarness::AnswerChoice(int line) { choice_answers_.push_back(line); }

void EventHarness::PhaseSlot(SlgMainWork* /*work*/) {
  std::vector<std::function<void()>> due;
  due.swap(moments_);
  for (const auto& moment : due) moment();
}

// ---- Running ----


void EventHarness::Step() {
  if (!started_) {
    ADD_FAILURE() << "the event harness ran before Start";
    return;
  }
  for (int kind : stub_kinds_) BattleScript::InstallAttackStubs({kind});
  const bool waiting = options_.answer_messages && Battle().message.wait_state == 1;
  const int f = rig_.frame();
  if (waiting) rig_.Schedule({GameKeyDown(f, kGameKey0)});
  // A timed choice: once its window has settled, the queued answer's line (Down line - 1
  // times), then OK.
  const SlgEventRuntimeState& rt = Battle().Extension<SlgEventRuntimeState>();
  if (rt.choice_phase == 1 && choice_opened_ < 0) choice_opened_ = f;
  if (rt.choice_phase != 1) choice_opened_ = -1;
  if (choice_opened_ >= 0 && !choice_answers_.empty() && f == choice_opened_ + kChoiceSettle) {
    const int line = choice_answers_.front();
    choice_answers_.erase(choice_answers_.begin());
    int at = f + 1;
    for (int i = 1; i < line; ++i, at += 2) {
      rig_.Schedule({GameKeyDown(at, kGameKeyDown), GameKeyUp(at + 1, kGameKeyDown)});
    }
    rig_.Schedule({GameKeyDown(at, kGameKey0), GameKeyUp(at + 1, kGameKey0)});
  }
  rig_.Step();
  if (waiting) rig_.Schedule({GameKeyUp(rig_.frame(), kGameKey0)});
  AfterFrame();
}

void EventHarness::AfterFrame() {
  if (clear_command_) {
    Battle().player.last_choice = 0;
    clear_command_ = false;
  }
  recorder_.AfterFrame(events_->notes());
}

void EventHarness::RunFrames(int n) {
  for (int i = 0; i < n && !rig_.driver().ended; ++i) Step();
}

bool EventHarness::RunUntil(const std::string& what, const std::function<bool()>& reached,
                            int limit) {
  for (int i = 0; i <= limit; ++i) {
    if (reached()) return true;
    if (i == limit || rig_.driver().ended) break;
    Step();
  }
  ADD_FAILURE() << what << ": not reached within " << limit << " frames (frame " << rig_.frame()
                << ", " << RunningRow() << ")";
  return false;
}

bool EventHarness::Idle() const {
  const SlgEventCheckState& e = Battle().Extension<SlgEventCheckState>();
  if (!moments_.empty()) return false;
  if (e.task == nullptr) return true;
  return e.task->phase == kEventCheckIdle;
}

bool EventHarness::RunUntilIdle(int limit) {
  return RunUntil("idle", [this] { return Idle(); }, limit);
}

std::string EventHarness::RunningRow() const {
  const SlgEventCheckState& e = Battle().Extension<SlgEventCheckState>();
  if (e.task == nullptr || e.current == nullptr || e.table == nullptr ||
      (e.task->phase != kEventCheckRun && e.task->phase != kEventCheckEnded)) {
    return "no event";
  }
  return "row " + std::to_string(e.current - e.table) + " (id " + std::to_string(e.current->id) +
         ") step " + std::to_string(e.step);
}

// ---- Records ----

bool RunEventsTwice(const std::function<std::unique_ptr<EventHarness>()>& make,
                    const std::function<void(EventHarness&)>& scenario) {
  std::vector<EventRecord> first;
  {
    std::unique_ptr<EventHarness> h = make();
    scenario(*h);
    first = h->records();
  }
  std::vector<EventRecord> second;
  {
    std::unique_ptr<EventHarness> h = make();
    scenario(*h);
    second = h->records();
  }
  const size_t n = std::min(first.size(), second.size());
  for (size_t i = 0; i < n; ++i) {
    if (first[i] != second[i]) {
      ADD_FAILURE() << "record " << i << ": frame " << first[i].frame << " \"" << first[i].what
                    << "\" then frame " << second[i].frame << " \"" << second[i].what << "\"";
      return false;
    }
  }
  if (first.size() != second.size()) {
    ADD_FAILURE() << "the runs made " << first.size() << " and " << second.size() << " records";
    return false;
  }
  return true;
}

}  // namespace testsupport
