// Fuzz entry of a whole minigame: a row's procedure played over any od file, any
// save\minigame.dat and any input, one step a frame through mg_frame.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "game/game_context.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/minigame_context.h"
#include "platform/little_endian.h"
#include "scene/scene_context.h"
#include "testsupport/minigame_install.h"
#include "testsupport/od_writer.h"
#include "testsupport/temp_tree.h"

namespace fuzz {

using detail::Check;

namespace {

constexpr int kMaxPlaySteps = 2000;
constexpr size_t kStepBytes = 6;

// "tamvik3\od\mg_x.od" -> "install/tamvik3/od/mg_x.od".
std::string HostPath(const std::string& game_path) {
  std::string out = "install/";
  for (char c : game_path) out += c == '\\' ? '/' : c;
  return out;
}

}  // namespace

// Parts: control, od file, save\minigame.dat, steps. Control bytes: 0 the row (mod 16), 1 the
// mode (mod 6), 2 bit 0 RGB555. Each step is 6 bytes: the button word and the pointer's x and y
// (little-endian 16-bit); at most 2000 steps run. Whatever the input: the run ends within its
// steps, the framework's state stays 0, 1 or 2, and an ended game leaves no slot but the screen.
void MinigamePlayEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "minigame_play";
  const std::vector<Bytes> parts = SplitParts(data, size, 4);
  const int row = detail::ByteAt(parts[0], 0) % mg::kGameCount;
  const int mode = detail::ByteAt(parts[0], 1) % 6;
  detail::DisplayRig& rig = detail::Rig((detail::ByteAt(parts[0], 2) & 1) != 0);
  Check(rig.ready, kName, "display set-up failed");
  if (!rig.ready) return;
  ContextScope engine_scope(*rig.context);
  GameContext game;
  GameScope game_scope(game);
  // The program holds a scene context for its whole run: the games' faces and characters go
  // through the scene engine's pictures.
  SceneContext scene;
  SceneScope scene_scope(scene);
  MinigameContext minigame;
  MinigameScope scope(minigame);

  testsupport::GameTree& tree = detail::Tree();
  // The row's own od file (a chain to another row finds none there and ends).
  tree.Write(HostPath(minigame.games[static_cast<size_t>(row)].path), parts[1]);
  tree.Write("install/save/minigame.dat", parts[2]);

  const Bytes& steps = parts[3];
  const int step_count = static_cast<int>(std::min<size_t>(steps.size() / kStepBytes,
                                                           kMaxPlaySteps));
  int step = 0;
  // Each call of a procedure reads the next step's input, as mg_input_frame would give it.
  for (MgGameEntry& entry : minigame.games) {
    MgProc inner = entry.proc;
    entry.proc = [inner, &steps, &step](int state) {
      MgInput& in = Minigame().input;
      const size_t at = static_cast<size_t>(step) * kStepBytes;
      uint32_t held = detail::Le16(steps, at) & 0x7FF;
      uint32_t pressed = held & ~in.held;
      in.held = held;
      if ((held & kMgKeyDecide) != 0) {
        held &= ~kMgKeyMenu;
        pressed &= ~kMgKeyMenu;
      }
      in.pending = held << 16 | pressed;
      in.mouse_x = static_cast<int16_t>(detail::Le16(steps, at + 2));
      in.mouse_y = static_cast<int16_t>(detail::Le16(steps, at + 4));
      return inner ? inner(state) : 0;
    };
  }

  if (mg_start(row, mode) != 1) return;
  static constexpr std::array<uint32_t, 3> kMs = {17, 17, 16};
  int frames = 0;
  while (mg_is_running() && step < step_count) {
    rig.host.clock.Advance(kMs[static_cast<size_t>(frames++ % 3)]);
    mg_frame();
    step += minigame.fw.last_steps > 0 ? minigame.fw.last_steps : 0;
    const int32_t state = minigame.fw.state;
    Check(state == mg::kStateIdle || state == mg::kStateRunning || state == mg::kStateLoadPending,
          kName, "framework state outside 0-2");
    Check(frames <= 4 * kMaxPlaySteps, kName, "frames without steps");
    if (frames > 4 * kMaxPlaySteps) break;
  }
  mg_end();
  Check(minigame.fw.state == mg::kStateIdle, kName, "the game did not end");
}

std::vector<Bytes> MinigamePlaySeeds() {
  std::vector<Bytes> seeds;
  // Each row on its own od file, with a little play: decide now and then, the pointer moving.
  for (int row = 0; row < mg::kGameCount; ++row) {
    Bytes steps;
    for (int i = 0; i < 40; ++i) {
      const uint16_t word = i % 9 == 0 ? kMgKeyDecide : (i % 7 == 0 ? kMgKeyLeft : 0);
      const uint16_t x = static_cast<uint16_t>(100 + 3 * i);
      const uint16_t y = static_cast<uint16_t>(200 + i);
      for (uint16_t v : {word, x, y}) {
        steps.push_back(static_cast<uint8_t>(v));
        steps.push_back(static_cast<uint8_t>(v >> 8));
      }
    }
    const Bytes control = {static_cast<uint8_t>(row), static_cast<uint8_t>(row % 2),
                           static_cast<uint8_t>(row % 3 == 0 ? 1 : 0)};
    seeds.push_back(JoinParts({control, testsupport::MinigameRowOd(row).Build(),
                               testsupport::MinigameDat({{18, 100}, {24, 3000}}), steps}));
    // A card row as a hub match on an od file with every text: its opening shows the opponent's
    // face (a text naming a picture) through the scene engine's pictures at once.
    if (row == 4) {
      seeds.push_back(JoinParts({{4, mg::kModeHubMatch, 0}, testsupport::UniversalOd().Build(),
                                 testsupport::MinigameDat({}), steps}));
    }
  }
  return seeds;
}

}  // namespace fuzz
