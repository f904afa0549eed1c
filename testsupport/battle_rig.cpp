#include "testsupport/battle_rig.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "program/game_wiring.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "platform/surface.h"
#include "testsupport/general_stand_ins.h"

namespace testsupport {

namespace {

// The rig whose stub phases run (one rig at a time).
BattleRig* g_phase_rig = nullptr;

constexpr const char* kManagerName = "CTamvikGeneral::GeneralManeger";

void StandInManager(GameTaskRec* /*task*/) {}

ProgramDriver::Options DriverOptions(const BattleRig::Options& rig) {
  const int manager_mode = rig.manager_mode;
  ProgramDriver::Options options;
  GameHooks hooks;
  if (manager_mode >= 0) {
    hooks.boot = [manager_mode] {
      GameSequences& s = Game().sequences;
      FillManagerStandIns(s);
      s.set_mode = [](int mode) { return CTamvikGeneral::SetMode(mode); };
      WireBattleSequence(s);
      kGeneralManager.Start(Ctx().game_task, nullptr);
      CTamvikGeneral::SetMode(manager_mode);
    };
  } else {
    hooks.boot = [] { Ctx().game_task.SetTaskSimple(nullptr, &StandInManager, kManagerName); };
  }
  options.hooks = hooks;
  options.wire_sequences = false;
  options.hash_frames = rig.hash_frames;  // RunBattleTwice compares the frames
  const uint32_t step_ms = rig.step_ms;
  options.frame_ms_of = [step_ms](int frame) {
    if (frame <= 1) return 0u;
    return step_ms != 0 ? step_ms : BattleRig::StepMs(frame - 1);
  };
  return options;
}

// The clock after n frames: ceil(n x 1000 / 60).
uint32_t ClockAfter(int n) { return static_cast<uint32_t>((int64_t{n} * 50 + 2) / 3); }

}  // namespace

uint32_t BattleRig::StepMs(int i) { return ClockAfter(i) - ClockAfter(i - 1); }

BattleRig::BattleRig() : BattleRig(Options()) {}

BattleRig::BattleRig(const Options& options)
    : driver_(DriverOptions(options)) {
  if (options.layout == platform::PixelLayout::kRgb555) {
    driver_.host().config.Set("Pixel Format", "555");
  }
  driver_.host_window().memory[0] = options.memory_bytes;
  if (!driver_.Start()) {
    ADD_FAILURE() << "the battle rig's program did not start";
    return;
  }
  SeedRandom(options.seed);
  // The game's install check, which the stand-in boot leaves out, names the install directory:
  // the stage writer lays its files there.
  Ctx().file_io.SetInstallDir(driver_.tree.install().c_str());
}

BattleRig::~BattleRig() {
  if (g_phase_rig == this) g_phase_rig = nullptr;
}

bool BattleRig::RunUntil(const std::string& name, const std::function<bool()>& reached,
                         int limit) {
  return driver_.RunUntil(name, [&reached](const ProgramDriver&) { return reached(); }, limit);
}

int BattleRig::StepsUntilDone(const std::function<int()>& step, int limit,
                              const std::function<void(int)>& each) {
  for (int steps = 0; steps <= limit; ++steps) {
    if (steps > 0) Step();
    if (step() != 0) return steps;
    if (each) each(steps);
  }
  return -1;
}

uint32_t BattleRig::Now() const { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

GameTaskRec* BattleRig::manager() const { return Ctx().game_task.FindTask(kManagerName); }

void BattleRig::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  driver_.tree.Write("cwd/" + name, bytes);
}

uint32_t BattleRig::PixelAt(int x, int y) const {
  const auto& display = driver_.host().display;
  if (display.frames_presented == 0) return 0xFFFFFFFFu;
  return platform::UnpackToColorRef(display.FramePixel(x, y), display.frame_layout);
}

uint32_t BattleRig::Shown(uint32_t colour) const {
  const platform::PixelLayout layout = driver_.host().display.layout();
  return platform::UnpackToColorRef(platform::PackColorRef(colour, layout), layout);
}

std::string LayoutName(platform::PixelLayout layout) {
  return layout == platform::PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
}

bool BattleRig::SaveFrame(const std::string& name) const {
  const char* folder = std::getenv("TAMVIK_BATTLE_FRAMES");
  if (folder == nullptr || *folder == '\0') return false;
  return driver_.host().display.SaveFramePng(std::string(folder) + "/" + name + ".png");
}

void BattleRig::InstallEventTable(const SlgEventEntry* table) {
  events_.reset();
  events_ = std::make_unique<ScopedEventTable>(table, &driver_);
  events_->InstallOn(battle_);
}

void BattleRig::InstallEventAnmTable(std::span<const SlgEventAnmHandler> anm_table) {
  if (events_ != nullptr) events_->set_anm_table(anm_table);
}

const std::vector<EventNote>& BattleRig::event_notes() const {
  static const std::vector<EventNote> kNone;
  return events_ != nullptr ? events_->notes() : kNone;
}

void BattleRig::StubPhases(std::function<void(SlgMainWork*)> each) {
  g_phase_rig = this;
  phase_each_ = std::move(each);
  battle_.phases.player = &StubPhase;
  battle_.phases.enemy_step = &StubPhase;
}

void BattleRig::StubPhase(SlgMainWork* work) {
  BattleRig* rig = g_phase_rig;
  if (rig == nullptr) return;
  rig->battle_.state.turn_flags |= rig->raised_timing_;
  rig->raised_timing_ = 0;
  if (rig->phase_each_) rig->phase_each_(work);
}

namespace {

BattleRunRecord RecordRig(const std::function<void(BattleRig&)>& scenario,
                          const BattleRig::Options& options) {
  BattleRig rig(options);
  scenario(rig);
  return RecordOf(rig);
}

bool SameFrame(const PresentedFrame& a, const PresentedFrame& b) {
  return a.frame == b.frame && a.width == b.width && a.height == b.height && a.hash == b.hash;
}

bool SameSound(const SoundFrame& a, const SoundFrame& b) {
  return a.frame == b.frame && a.buffers == b.buffers && a.samples == b.samples &&
         a.heard == b.heard && a.hash == b.hash;
}

template <class T, class Same>
bool Compare(const char* what, const std::vector<T>& first, const std::vector<T>& second,
             Same same) {
  const size_t n = std::min(first.size(), second.size());
  for (size_t i = 0; i < n; ++i) {
    if (!same(first[i], second[i])) {
      ADD_FAILURE() << "the two battle runs differ at " << what << " #" << i << " (driver frame "
                    << first[i].frame << " / " << second[i].frame << ")";
      return false;
    }
  }
  if (first.size() != second.size()) {
    ADD_FAILURE() << "the two battle runs differ in " << what << " count: " << first.size()
                  << " and " << second.size();
    return false;
  }
  return true;
}

}  // namespace

BattleRunRecord RecordOf(BattleRig& rig) {
  return {rig.driver().presented_frames(), rig.driver().sound_frames()};
}

bool SameBattleRuns(const BattleRunRecord& first, const BattleRunRecord& second) {
  const bool frames = Compare("presented frame", first.frames, second.frames, &SameFrame);
  const bool sound = Compare("sound frame", first.sound, second.sound, &SameSound);
  return frames && sound;
}

bool RunBattleTwice(const std::function<void(BattleRig&)>& scenario,
                    const BattleRig::Options& options) {
  const BattleRunRecord first = RecordRig(scenario, options);
  const BattleRunRecord second = RecordRig(scenario, options);
  return SameBattleRuns(first, second);
}

}  // namespace testsupport
