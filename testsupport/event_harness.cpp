#include "testsupport/event_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "engine/input/dinput.h"
#include "game/system_data.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/lips_files.h"
#include "testsupport/portrait_writer.h"

namespace testsupport {
namespace {

// The harness whose set-up and hooks run (one at a time).
EventHarness* g_harness = nullptr;

// The traces that name a script's missing piece.
constexpr const char* kFaultTraces[] = {"not described", "out of table"};

// The frames a choice window is given to open before its answer is keyed.
constexpr int kChoiceSettle = 40;

}  // namespace

struct EventHarness::Hooks {
  static void OnTask(void* user, SlgTaskEvent event, const SlgEffectTask& task) {
    if (event != SlgTaskEvent::kCreated || task.name == nullptr) return;
    static constexpr const char* kStory[] = {kSlgGameWinTaskName, kSlgGameOverTaskName,
                                             kSlgExchangeTaskName, kSlgExchangeNofadeTaskName,
                                             Eve::kFadeOutMusicTask};
    for (const char* name : kStory) {
      if (std::string_view(task.name) == name) {
        static_cast<EventHarness*>(user)->Record(std::string("task ") + task.name);
      }
    }
  }
  static void OnSound(void* user, SlgSoundCall call, int value, int /*frames*/) {
    if (call == SlgSoundCall::kEffect) {
      static_cast<EventHarness*>(user)->Record("se " + std::to_string(value));
    }
  }
  static void OnShow(void* user, SlgShowCall call, int a, int b) {
    auto* h = static_cast<EventHarness*>(user);
    switch (call) {
      case SlgShowCall::kMessage:
        h->Record("message " + std::to_string(a) + ":" + std::to_string(b));
        break;
      case SlgShowCall::kFade:
        h->Record("fade " + std::to_string(a) + (b == 1 ? " white" : " black"));
        break;
      case SlgShowCall::kBgm:
        h->Record("bgm " + std::to_string(a));
        break;
    }
  }
};

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
  for (const EventRecord& r : records_) {
    if (r.what.rfind("trace ", 0) != 0) continue;
    const bool expected = std::any_of(
        expected_traces_.begin(), expected_traces_.end(),
        [&r](const std::string& e) { return r.what.find(e) != std::string::npos; });
    if (!expected) ADD_FAILURE() << "frame " << r.frame << ": unexpected " << r.what;
  }
  rig_.battle().test_hooks = {};
  rig_.battle().rand_seam.script = nullptr;
  installer_.reset();
  g_harness = nullptr;
}

void EventHarness::Installer(BattleContext& battle) {
  battle.events.setup_map_event = &EventHarness::SetupMapEvent;
}

void EventHarness::SetupMapEvent(int stage) {
  SlgMapSetup::SetupMapEvent(stage);
  if (g_harness == nullptr) return;
  for (int flag : g_harness->install_flags_) SetEventFlag(static_cast<uint32_t>(flag));
}

// ---- Before Start ----

namespace {

// The placement number of a new entry of `kind`: one more than the entries of its kind before it.
uint8_t NextPlacementNumber(const StageWriter& s, int kind) {
  int n = 1;
  for (int i = 0; i < s.header.num_unit; ++i) {
    const StageUnitEntry& e = s.units[static_cast<size_t>(i)];
    if (s.classes[e.class_index].kind == kind) ++n;
  }
  return static_cast<uint8_t>(n);
}

}  // namespace

int EventHarness::AddObject(int kind, int character, int x, int y) {
  StageWriter& s = install.stage;
  const int n = s.header.num_unit;
  const auto cls = static_cast<size_t>(n);
  StageUnitEntry& e = s.units[static_cast<size_t>(n)];
  e = {};
  e.class_index = static_cast<uint8_t>(cls);
  e.character = static_cast<uint8_t>(character);
  e.x = static_cast<int16_t>(x);
  e.y = static_cast<int16_t>(y);
  e.flags = 0x80;
  e.placement_number = NextPlacementNumber(s, kind);
  s.classes[cls] = {static_cast<uint8_t>(kind), 3, 0, 0};
  s.header.num_unit = static_cast<decltype(s.header.num_unit)>(n + 1);
  if (std::find(object_kinds_.begin(), object_kinds_.end(), kind) == object_kinds_.end()) {
    object_kinds_.push_back(kind);
  }
  return n;
}

int EventHarness::AddUnit(int side, int character, int kind, int category, int x, int y) {
  StageWriter& s = install.stage;
  const int n = s.header.num_unit;
  const auto cls = static_cast<size_t>(n);
  StageUnitEntry& e = s.units[static_cast<size_t>(n)];
  e = s.units[0];  // the hero's entry: a complete unit
  e.side = static_cast<uint8_t>(side);
  e.character = static_cast<uint8_t>(character);
  e.class_index = static_cast<uint8_t>(cls);
  e.x = static_cast<int16_t>(x);
  e.y = static_cast<int16_t>(y);
  e.placement_number = NextPlacementNumber(s, kind);
  s.classes[cls] = {static_cast<uint8_t>(kind), static_cast<uint8_t>(category), 0, 0};
  s.header.num_unit = static_cast<decltype(s.header.num_unit)>(n + 1);
  return n;
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

void EventHarness::Start() {
  GameTree& tree = rig_.driver().tree;
  install.stage.face_conv.fill(1);  // every event face opens internal face 0
  install.Lay(tree);
  tree.Write(SlgMessageRel(install.stage.map), messages.Bytes());
  FaceFileContents faces;
  faces.records = {{0, 1, 32}};
  faces.images = 1;
  // Beside the install's own folder (one folder whatever the case: the file layer's case-blind
  // search takes the first it finds).
  tree.Write("install/TaMvIk2/system/kaoslg.spr", FaceFile(faces));
  LayLipsFiles(tree);
  if (!object_kinds_.empty()) {
    SlgTableWriter tables = install.Tables();
    EventAnmWriter::Lay(tree, tables, install.stage.map, object_kinds_);
    tables.Lay(tree);
  }
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
  rig_.battle().test_hooks = {this, &Hooks::OnTask, &Hooks::OnSound, &Hooks::OnShow};
  started_ = true;
  Slg::StartStage();
  RunUntil("the battle's first round", [] { return Battle().state.round >= 1; }, 120);
  // The units the initialisation made are the battle's, not the story's.
  std::erase_if(records_, [](const EventRecord& r) { return r.what.rfind("deploy ", 0) == 0; });
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

void EventHarness::Record(std::string what) {
  records_.push_back({rig_.frame(), std::move(what)});
}

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
  // Rows started and finished, from the event check's observer.
  const std::vector<EventNote>& notes = events_->notes();
  for (; notes_seen_ < notes.size(); ++notes_seen_) {
    const EventNote& n = notes[notes_seen_];
    records_.push_back({n.frame, std::string(n.moment == SlgEventMoment::kStarted ? "start " : "end ") +
                                     std::to_string(n.id)});
  }
  // Units made and removed: by their placement entry (slots move when a record goes).
  std::vector<std::pair<int, int>> live;
  const SlgBattleState& s = Battle().state;
  for (uint32_t slot = 0; slot < s.unit_count && slot < s.units.size(); ++slot) {
    const SlgUnit& u = s.units[slot];
    if (SlgUnitLive(u)) live.emplace_back(u.entry, u.kind);
  }
  std::sort(live.begin(), live.end());
  for (const auto& [entry, kind] : live) {
    if (!std::binary_search(live_.begin(), live_.end(), std::make_pair(entry, kind))) {
      Record("deploy " + std::to_string(kind) + " entry " + std::to_string(entry));
    }
  }
  for (const auto& [entry, kind] : live_) {
    if (!std::binary_search(live.begin(), live.end(), std::make_pair(entry, kind))) {
      Record("remove " + std::to_string(kind) + " entry " + std::to_string(entry));
    }
  }
  live_ = std::move(live);
  // The traces that name a missing piece of a script.
  const std::vector<DebugTraceLine>& lines = rig_.driver().trace().lines();
  for (; trace_seen_ < lines.size(); ++trace_seen_) {
    const std::string& text = lines[trace_seen_].text;
    for (const char* fault : kFaultTraces) {
      if (text.find(fault) != std::string::npos) {
        std::string line = text;
        while (!line.empty() && line.back() == '\n') line.pop_back();
        Record("trace " + line);
        break;
      }
    }
  }
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

std::vector<std::string> EventHarness::Records(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const EventRecord& r : records_) {
    if (r.what.rfind(prefix, 0) == 0) out.push_back(r.what);
  }
  return out;
}

int EventHarness::FrameOf(const std::string& what) const {
  for (const EventRecord& r : records_) {
    if (r.what == what) return r.frame;
  }
  return -1;
}

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
