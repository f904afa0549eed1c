#include "testsupport/minigame_runner.h"

#include <algorithm>
#include <cctype>

#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "program/game_wiring.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_general.h"
#include "engine/core/game_task.h"
#include "game/game_state.h"
#include "game/system_data.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"

namespace testsupport {

namespace {

// The game keys that feed the minigame buttons (the logical keys' masks of IsKeyHeld: the menu
// button is logical key 4, game key bit 3).
std::vector<uint32_t> GameKeysOf(uint32_t buttons) {
  struct Map {
    uint32_t button;
    uint32_t key;
  };
  constexpr Map kMap[] = {
      {kMgKeyDecide, kGameKey0},  {kMgKeyCancel, kGameKey1},  {kMgKeyUp, kGameKeyUp},
      {kMgKeyDown, kGameKeyDown}, {kMgKeyLeft, kGameKeyLeft}, {kMgKeyRight, kGameKeyRight},
      {kMgKeyMenu, kGameKey3},  {kMgKeyExtra, kGameKey9},
  };
  std::vector<uint32_t> keys;
  for (const Map& m : kMap) {
    if ((buttons & m.button) != 0) keys.push_back(m.key);
  }
  return keys;
}

// "tamvik3\od\mg_test.od" -> "TAMVIK3/od/Mg_TeSt.od": every other letter of the name upper.
std::string MixedCase(const std::string& game_path) {
  std::string out;
  bool upper = true;
  for (char c : game_path) {
    if (c == '\\') {
      out += '/';
      continue;
    }
    if (std::isalpha(static_cast<unsigned char>(c))) {
      out += static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                     : std::tolower(static_cast<unsigned char>(c)));
      upper = !upper;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

MinigameRunner::MinigameRunner() : MinigameRunner(Options()) {}

MinigameRunner::MinigameRunner(Options options) : options_(options) {
  ProgramDriver::Options d;
  d.boot = [] {};
  d.wire_sequences = false;
  d.frame_ms_of = [this](int) { return NextFrameTime(); };
  d.before_frame = [this] { BeforeFrame(); };
  d.hash_frames = options_.hash_frames;
  driver_ = std::make_unique<ProgramDriver>(d);
  files_ = std::make_unique<FaultyFiles>(driver_->host().files);
  driver_->host().seams().files = files_.get();
  if (options_.layout == platform::PixelLayout::kRgb555) {
    driver_->host().config.Set("Pixel Format", "555");
  }
  tree().MakeDir("install/save");
  GameSequences& s = driver_->sequences();
  if (options_.game_flow) {
    WireGameSequences(s, driver_->debug_menu);  // as the composition root fills them
    s.scene.start = [](GameTaskRec*) {};
    s.scene_end = [] {};
    s.scene_minigame = [this] { return flow_row; };
  } else {
    WireMinigameSequences(s);  // as the composition root fills them
  }
  minigame().sound.played = [this](const std::string& what) { sounds_played_.push_back(what); };
}

MinigameRunner::~MinigameRunner() {
  // The engine is still there: give it its own files seam back before the wrapper goes.
  driver_->host().seams().files = &driver_->host().files;
}

void MinigameRunner::WriteFile(const std::string& game_path, const std::vector<uint8_t>& bytes) {
  tree().Write("install/" + MixedCase(game_path), bytes);
}

void MinigameRunner::SetProc(int row, MgProc proc) {
  minigame().games.at(static_cast<size_t>(row)).proc = std::move(proc);
}

bool MinigameRunner::StartProgram() {
  if (driver_->window != nullptr) return true;
  if (!driver_->Start()) {
    ADD_FAILURE() << "the program did not start";
    return false;
  }
  SeedRandom(options_.seed);
  Ctx().ddraw.SetVramToVramDirectUse(options_.vram_switch ? 1 : 0);
  return true;
}

bool MinigameRunner::Start(int row, int mode) {
  if (!StartProgram()) return false;
  return CTamvikGeneral::StartMiniGame(row, mode) == 1;
}

bool MinigameRunner::EnterMinigameMode(int row, int byte40) {
  if (!options_.game_flow) {
    ADD_FAILURE() << "the runner was made without the game flow";
    return false;
  }
  if (!StartProgram()) return false;
  // Mode 10 does nothing in the manager: it waits there for one frame.
  if (CTamvikGeneral::SetMode(10) == 0) {
    CTamvikGeneral::StartManager();
    CTamvikGeneral::SetMode(10);
  }
  if (!driver_->Step()) return false;
  flow_row = row;
  GetAdvState()->setMinigameMode(static_cast<uint8_t>(byte40));
  return CTamvikGeneral::SetMode(21) == 1;
}

uint32_t MinigameRunner::NextFrameTime() {
  if (has_one_shot_) {
    has_one_shot_ = false;
    return one_shot_ms_;
  }
  constexpr uint32_t kCadence[3] = {17, 17, 16};
  const uint32_t ms = kCadence[cadence_];
  cadence_ = (cadence_ + 1) % 3;
  return ms;
}

bool MinigameRunner::Step() { return driver_->Step(); }

bool MinigameRunner::Step(uint32_t ms) {
  one_shot_ms_ = ms;
  has_one_shot_ = true;
  return driver_->Step();
}

bool MinigameRunner::Run(int frames) { return driver_->Run(frames); }

bool MinigameRunner::RunUntil(const std::string& name, const std::function<bool()>& reached,
                              int limit) {
  return driver_->RunUntil(name, [&reached](const ProgramDriver&) { return reached(); }, limit);
}

bool MinigameRunner::RunToEnd(int limit) {
  return RunUntil("the minigame ended", [] { return MiniGameIsRunning() == 0; }, limit);
}

void MinigameRunner::Hold(uint32_t buttons, bool down) {
  const int frame = driver_->frame() + 1;
  for (uint32_t key : GameKeysOf(buttons)) {
    driver_->Schedule(down ? GameKeyDown(frame, key) : GameKeyUp(frame, key));
  }
}

void MinigameRunner::Tap(uint32_t buttons) {
  Hold(buttons, true);
  taps_.push_back({buttons, driver_->frame() + 1, -1});
}

void MinigameRunner::BeforeFrame() {
  // A minigame frame presents exactly when it ran steps, and it reads the buttons before them:
  // a present since the tap means the press has been seen.
  // A tap from the bot (called below, after this frame's rows were applied) goes down only in
  // the next frame, so the count is taken when the keys' frame is about to run.
  for (size_t i = 0; i < taps_.size();) {
    if (taps_[i].presented < 0) {
      if (driver_->frame() >= taps_[i].down_frame) taps_[i].presented = driver_->presented();
      ++i;
    } else if (driver_->presented() > taps_[i].presented) {
      Hold(taps_[i].buttons, false);
      taps_.erase(taps_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  if (bot) bot(*this);
}

std::string MinigameRunner::SavePng(const std::string& name) {
  const std::string path = tree().Path(name);
  return driver_->display().SaveFramePng(path) ? path : "";
}

void MinigameRunner::Pointer(int32_t x, int32_t y) {
  driver_->Schedule(PointerMove(driver_->frame() + 1, x, y));
}

void MinigameRunner::MouseButton(int button, bool down) {
  driver_->Schedule(PointerButton(driver_->frame() + 1, button, down));
}

int MinigameRunner::TimesPlayed(const std::string& what) const {
  return static_cast<int>(std::count(sounds_played_.begin(), sounds_played_.end(), what));
}

}  // namespace testsupport
