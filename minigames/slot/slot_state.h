#pragma once
// The slot machine's state (MinigameContext::slot): the procedure's step and wait counter, the
// three reels, the coins and fortune score, the symbols and category values of the current play,
// the score still to move into the fortune score, and the hidden gag's key test.

#include <array>
#include <cstdint>

namespace slot {

constexpr int kReels = 3;
constexpr int kCategories = 6;

// A reel's stop state.
constexpr int32_t kSpinning = 0;
constexpr int32_t kStopRequested = 1;
constexpr int32_t kStopped = 2;

// Steps of the procedure (SlotState::step).
constexpr int32_t kStepFirst = -1;          // the static sounds
constexpr int32_t kStepBoard = 0;           // coins, score, plates, reels, music
constexpr int32_t kStepFadeIn = 10000;      // then the greeting
constexpr int32_t kStepWaitPlay = 10002;    // decide starts a play
constexpr int32_t kStepSpin = 10003;        // the reels turn until all three stand
constexpr int32_t kStepRead = 10005;        // the symbols are read
constexpr int32_t kStepReaction = 10012;    // 30 steps, then the panel, voice and picture
constexpr int32_t kStepReactionWait = 10013;
constexpr int32_t kStepCategories = 10016;  // six values 8 steps apart
constexpr int32_t kStepPanelHold = 10017;   // 120 steps or decide
constexpr int32_t kStepPanelOut = 10023;
constexpr int32_t kStepTransfer = 10024;    // the play's sum into the score, a move per 3 steps
constexpr int32_t kStepNext = 10025;        // the next play or the closing
constexpr int32_t kStepClosing = 10027;     // the closing voice, then the results
constexpr int32_t kStepClosingWait = 10028;
constexpr int32_t kStepFadeOut = 10029;     // then the minigame ends

struct Reel {
  int32_t position = 0;  // pixels along the strip, always 0 .. strip length - 1
  int32_t stop = kStopped;
};

struct SlotState {
  int32_t step = -1;
  int32_t wait = 0;
  std::array<Reel, kReels> reels{};
  int32_t spin_steps = 0;  // steps since the spin began (the automatic stop)
  int32_t blink = 0;       // steps of the stop buttons' blinking left
  int32_t coins = 0;
  int32_t score = 0;
  std::array<int32_t, kReels> symbols{};
  int32_t grade = 0;
  int32_t category = 0;  // the next category value to show
  std::array<int32_t, kCategories> values{};
  int32_t play_sum = 0;   // this play's sum; during the transfer what is left to move
  int32_t gag_held = 0;   // the gag's keys were all held on the last spinning step
  int32_t gag_shown = 0;  // the gag's picture is up
};

}  // namespace slot
