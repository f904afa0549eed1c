#pragma once
// The game bots: one player per row of the minigame table, each feeding the program driver's
// input through testsupport::MinigameRunner (taps, held keys, the pointer). The game tests and
// the end-to-end table share them.
//
// A bot is called once before each frame (as the runner's `bot`, or by a loop of the test's own
// before it steps). Bots that time their keys to the step ask for frames of one step: `Act`
// returns whether the next frame should be a single step (else a test may run faster frames).

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "testsupport/minigame_runner.h"

namespace cook {
struct CookState;
}
namespace souji {
struct SoujiState;
}

namespace testsupport {

// The common menu (any row): decide on the menu before play; on the result screen the cursor
// moves down to "quit" and decides. Taps at least 4 frames apart. Whether the menu waited.
struct MenuBot {
  bool quit_at_result = true;
  int frame = 0;
  int last_tap = -10;
  bool Act(MinigameRunner& r);
};

// Swimming (row 1): taps the stroke key every third frame while the heroine swims.
struct SwimStrokeBot {
  int frame = 0;
  void operator()(MinigameRunner& r);
};

// Cleaning (row 2): the autopilot plans the next 72 steps backwards over the leader's places
// (x moves 6 a step): a place is safe at a step when neither a solid tile (probed with
// mg_map_hit, a few pixels to spare) nor an obstacle of 92-107 (played ahead at its speed and
// drift) meets the leader there, nor meets the follower there 14 steps later, and a safe place of
// the next step is one move away. The key it holds takes effect a step later, so the plan starts
// from that move.
struct SoujiAutopilot {
  static constexpr int kHorizon = 72;
  static constexpr int32_t kSpare = 14;  // obstacle distance kept (a hit is 12 or less)

  // The key to hold for the next step (kMgKeyLeft, kMgKeyRight or 0).
  uint32_t Next(const souji::SoujiState& s);
  // During play: holds the key Next gives (and releases the other).
  void operator()(MinigameRunner& r);

  uint32_t last_ = 0;
};
// Holds left or right as `key` says and releases the other.
void SoujiDrive(MinigameRunner& r, uint32_t key);

// Cooking (row 3): the careful player cuts on every 16th knife position (the next one after a
// frame of two steps), answers each amount and keeps the heat at 176 pixels; the lazy one takes the defaults and never cuts or heats.
struct CookPlayer {
  bool careful = true;
  bool quit_at_result = true;
  int32_t last_knife = -1;
  int frame = 0;
  int last_tap = -10;
  bool saw_result_picture = false;
  bool holding = false;

  void Tap(MinigameRunner& r, uint32_t key);
  // Input for the next frame; whether the frame should be a single step.
  bool Act(MinigameRunner& r);
};
// Whether decide should be held so that the heat, given how far it would still travel, stays
// below 176 pixels.
bool CookHoldFor176(const cook::CookState& s);

// Flower cards (rows 4, 9-15): whether a cursor, a line, a text or a plate waits for decide.
bool HanaWaiting();
// Taps decide every 8 frames while HanaWaiting.
struct HanaDecideBot {
  int frame = 0;
  void operator()(MinigameRunner& r);
};

// Slot (row 5): starts each play with decide and taps a reel's stop key once the spin has made
// the play's offset of advances (at one step a frame: the key is down in the next frame, so the
// request finds offset + 1 advances made). Plays past the list are left to the automatic stop.
struct SlotStopBot {
  std::vector<std::array<int32_t, 3>> offsets;
  int play = -1;
  int32_t started_at = -1;  // the coins when the bot last started a play
  std::array<bool, 3> tapped{};
  bool skip_panel = false;  // decide while the panel holds

  void operator()(MinigameRunner& r);
};

// Lost child (row 6): reads the sought slot from the state, moves the pointer over that child and
// decides; or (finder false) always takes the default cursor item.
struct MaigoPickBot {
  bool finder = true;
  void operator()(MinigameRunner& r) const;
};

// Shooting (row 7): on alternate frames, while a stage runs, clicks on the live, unhit target of
// the nearest layer, at a point of its box the scenery does not protect, led by the steps the
// next frame runs before the shot.
struct ShotAimBot {
  bool down = false;
  void operator()(MinigameRunner& r);
};

// The player of a row for a whole game from its start to its end, the common menu included:
// called before each frame, it answers whether the next frame should be a single step. Rows
// without a bot (the test entry, rows outside the table) get one that only answers menus.
std::function<bool(MinigameRunner&)> RowBot(int row);

}  // namespace testsupport
