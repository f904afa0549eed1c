#include "minigames/slot/slot_proc.h"

#include <algorithm>

#include "engine/app/doors.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/minigame_context.h"
#include "minigames/slot/slot_rules.h"

namespace {

using namespace slot;

constexpr int32_t kCoins = 10;
constexpr int32_t kFadeStep = 8;
constexpr int32_t kBlinkSteps = 96;
constexpr int32_t kBlinkPeriod = 8;
constexpr int32_t kAutoStopSteps = 1800;
constexpr int32_t kReadWait = 30;
constexpr int32_t kReactionSteps = 59;
constexpr int32_t kCategoryGap = 8;
constexpr int32_t kPanelHoldSteps = 120;
constexpr int32_t kTransferGap = 3;

// Objects (the od file's animations give their pictures).
constexpr int kObjReelFirst = 10;  // reel k, row j: 10 + 4k + j (four rows, three visible)
constexpr int kRowsPerReel = 4;
constexpr int kObjCursor = 29;
constexpr int kObjStopFirst = 30;  // the three stop buttons
constexpr int kObjCoins = 40;
constexpr int kObjScore = 41;
constexpr int kObjPlateFirst = 51;  // category plates 51-56
constexpr int kObjValueFirst = 61;  // their values 61-66
constexpr int kObjPanel = 69;
constexpr int kObjHostess = 70;
constexpr int kObjGag = 95;

// Animations.
constexpr int32_t kAnimBackground = 1;
constexpr int32_t kAnimSymbolFirst = 20;  // symbol s: 20 + s
constexpr int32_t kAnimStopLit = 30;
constexpr int32_t kAnimStopDark = 31;
constexpr int32_t kAnimStopPressed = 32;
constexpr int32_t kAnimCursor = 34;
constexpr int32_t kAnimPanel = 60;
constexpr int32_t kAnimHostess = 70;
constexpr int32_t kAnimGag = 95;
constexpr int32_t kAnimDigits = 110;  // digit images 110-119, minus 122

// Layout.
constexpr int32_t kReelX[kReels] = {128, 288, 448};
constexpr int32_t kReelTop = 96;
constexpr int32_t kReelWidth = 64;
constexpr int32_t kReelLayer = 600;
constexpr int32_t kStopY = 320;
constexpr int32_t kBoardLayer = 500;
constexpr int32_t kPanelX = 80;
constexpr int32_t kPanelInY = 64;
constexpr int32_t kPanelOutY = -400;
constexpr int32_t kPanelSpeed = 16 * 16;
constexpr int32_t kPanelLayer = 100;

// The hidden gag: cancel held with the keyboard's S (0x1F) and L (0x26) keys. None of them stops
// a reel or opens the menu.
constexpr uint32_t kGagButtons = kMgKeyCancel << 16;
constexpr int kGagKeyS = 0x1F;
constexpr int kGagKeyL = 0x26;

SlotState& State() { return Minigame().slot; }

void ShowNumber(int o, int32_t x, int32_t y, int32_t digits, int32_t value) {
  mg_obj_put(o, x, y, kBoardLayer, kAnimDigits, mg::kObjNumber);
  mg_obj_set_digits(o, digits);
  mg_obj_set_value(o, value);
}

// Places each reel's four rows so the symbols run down through the window: row j at
// top + (j - 1) * 64 + the offset within the symbol, showing strip[(index + 2 - j) mod 16]; the
// middle row of a standing reel shows the reel's symbol.
void DrawReels() {
  const SlotState& s = State();
  for (int k = 0; k < kReels; ++k) {
    const int32_t pos = s.reels[static_cast<size_t>(k)].position;
    const int32_t index = pos / kSymbolPixels;
    const int32_t offset = pos % kSymbolPixels;
    for (int j = 0; j < kRowsPerReel; ++j) {
      const int o = kObjReelFirst + kRowsPerReel * k + j;
      const int32_t strip_pos = (index + 2 - j + kStripLength) % kStripLength;
      const int32_t symbol = kStrips[static_cast<size_t>(k)][static_cast<size_t>(strip_pos)];
      mg_obj_set_pos(o, kReelX[k], kReelTop + (j - 1) * kSymbolPixels + offset);
      mg_obj_anim_change(o, kAnimSymbolFirst + symbol);
    }
  }
}

void SetupBoard() {
  SlotState& s = State();
  const int32_t step = s.step;
  s = SlotState{};
  s.step = step;
  s.coins = kCoins;
  s.score = 0;
  for (Reel& r : s.reels) r = Reel{kStartPosition, kStopped};

  mg_obj_bg(kAnimBackground);
  for (int k = 0; k < kReels; ++k) {
    for (int j = 0; j < kRowsPerReel; ++j) {
      const int o = kObjReelFirst + kRowsPerReel * k + j;
      mg_obj_put(o, kReelX[k], kReelTop, kReelLayer, 0, 0);
      mg_obj_clip(o, kReelX[k], kReelTop, kReelX[k] + kReelWidth, kReelTop + 3 * kSymbolPixels);
    }
    mg_obj_put(kObjStopFirst + k, kReelX[k], kStopY, kBoardLayer, kAnimStopLit, 0);
  }
  DrawReels();
  mg_cursor_open(kObjCursor, kAnimCursor);
  for (int k = 0; k < kReels; ++k) mg_cursor_target(k, kObjStopFirst + k);

  ShowNumber(kObjCoins, 32, 420, 2, s.coins);
  ShowNumber(kObjScore, 480, 420, 4, s.score);
  mg_obj_put(kObjHostess, 540, 120, kBoardLayer, kAnimHostess, 0);

  mg_obj_put(kObjPanel, kPanelX, kPanelOutY, kPanelLayer, kAnimPanel, 0);
  for (int i = 0; i < kCategories; ++i) {
    mg_obj_put(kObjPlateFirst + i, 24, 24 + 48 * i, kPanelLayer, kPlatePictures[static_cast<size_t>(i)],
               0);
    mg_obj_set_parent(kObjPlateFirst + i, kObjPanel);
    mg_obj_put(kObjValueFirst + i, 240, 24 + 48 * i, kPanelLayer, kAnimDigits, mg::kObjNumber);
    mg_obj_set_digits(kObjValueFirst + i, 3);
    mg_obj_set_value(kObjValueFirst + i, 0);
    mg_obj_set_parent(kObjValueFirst + i, kObjPanel);
  }
  mg_obj_put(kObjGag, 256, 176, 50, 0, mg::kObjHidden);

  mg_bgm_play(kMusic);
  mg_brightness(0);
}

// Clears the stop states, takes a coin, and starts the reels and the buttons' blinking.
void StartPlay() {
  SlotState& s = State();
  for (Reel& r : s.reels) r.stop = kSpinning;
  --s.coins;
  mg_obj_set_value(kObjCoins, s.coins);
  mg_se_play(kSeSpin);
  s.blink = kBlinkSteps;
  s.spin_steps = 0;
  s.gag_held = 0;
  for (int k = 0; k < kReels; ++k) mg_obj_anim(kObjStopFirst + k, kAnimStopLit);
}

void RequestStop(int reel) {
  Reel& r = State().reels[static_cast<size_t>(reel)];
  if (r.stop == kSpinning) r.stop = kStopRequested;
}

// The gag shows once each time its keys come down together while the reels spin.
void GagStep() {
  SlotState& s = State();
  const int held = mg_key_take(kGagButtons) != 0 && mg_key_down(kGagKeyS) != 0 &&
                   mg_key_down(kGagKeyL) != 0;
  if (held && s.gag_held == 0) {
    mg_obj_anim(kObjGag, kAnimGag);
    mg_obj_flag(kObjGag, mg::kObjHidden, 0);
    s.gag_shown = 1;
    mg_se_play(kSePanel);
    mg_voice_play(kGagVoice);
  }
  s.gag_held = held ? 1 : 0;
}

void HideGag() {
  SlotState& s = State();
  if (s.gag_shown == 0) return;
  mg_obj_flag(kObjGag, mg::kObjHidden, 1);
  s.gag_shown = 0;
}

// One step of the spin: the stop requests (the direction keys, decide on a stop button, the
// automatic stop), then every reel not stopped advances. True once all three stand.
bool SpinStep() {
  SlotState& s = State();
  GagStep();
  if (mg_key_take(kMgKeyLeft) != 0) RequestStop(0);
  if (mg_key_take(kMgKeyUp | kMgKeyDown) != 0) RequestStop(1);
  if (mg_key_take(kMgKeyRight) != 0) RequestStop(2);
  if (mg_key_take(kMgKeyDecide) != 0) {
    const int selected = mg_cursor_get();
    if (selected >= 0 && selected < kReels) RequestStop(selected);
  }
  // The spin ends at most a symbol's travel after the automatic stop, so the count stays small.
  ++s.spin_steps;
  if (s.spin_steps >= kAutoStopSteps) {
    for (int k = 0; k < kReels; ++k) RequestStop(k);
  }
  bool all = true;
  for (int k = 0; k < kReels; ++k) {
    Reel& r = s.reels[static_cast<size_t>(k)];
    if (AdvanceReel(k, r)) {
      mg_se_play(kSeReelStop);
      mg_obj_anim(kObjStopFirst + k, kAnimStopPressed);
    }
    if (r.stop != kStopped) all = false;
  }
  if (s.blink > 0) {
    --s.blink;
    for (int k = 0; k < kReels; ++k) {
      if (s.reels[static_cast<size_t>(k)].stop == kStopped) continue;
      const bool lit = s.blink == 0 || (s.blink / kBlinkPeriod) % 2 == 0;
      mg_obj_anim_change(kObjStopFirst + k, lit ? kAnimStopLit : kAnimStopDark);
    }
  }
  DrawReels();
  return all;
}

void Reaction() {
  SlotState& s = State();
  const int32_t s0 = s.symbols[0], s1 = s.symbols[1], s2 = s.symbols[2];
  s.grade = Grade(s0, s1, s2);
  const bool triple = s0 == s1 && s1 == s2;
  const char* voice = triple ? ReactionVoice(s0, s1, s2, 0) : ReactionVoice(s0, s1, s2, GetRandom());
  mg_obj_move(kObjPanel, kPanelX, kPanelInY, kPanelSpeed);
  mg_se_play(kSePanel);
  mg_voice_play(voice);
  mg_obj_anim(kObjHostess, kGradePictures[static_cast<size_t>(s.grade)]);
}

void ShowCategory() {
  SlotState& s = State();
  const int i = s.category;
  const int32_t value =
      CategoryValue(s.symbols[0], s.symbols[1], s.symbols[2], i, GetRandom() & 7);
  s.values[static_cast<size_t>(i)] = value;
  mg_obj_set_value(kObjValueFirst + i, value);
  s.play_sum += value;
  mg_se_play(kSeSystem00);
  ++s.category;
}

// One move of the play's sum into the fortune score; false when nothing is left.
bool TransferStep() {
  SlotState& s = State();
  const int32_t move = TransferMove(s.play_sum);
  if (move == 0) return false;
  s.play_sum -= move;
  s.score += move;
  mg_obj_set_value(kObjScore, s.score);
  mg_se_play(kSeSystem00);
  return true;
}

void Finish() {
  const int32_t score = State().score;
  mg_var_set(2, ResultVar2(score));
  if (ResultVar9(score) != 0) mg_var_set(9, 1);
  mg_finish(score);
}

// The game's own step; 1 goes on.
int GameStep() {
  SlotState& s = State();
  switch (s.step) {
    case kStepFirst:
      mg_static_load(kStaticSounds);
      s.step = kStepBoard;
      return 1;
    case kStepBoard:
      SetupBoard();
      s.step = kStepFadeIn;
      return 1;
    case kStepFadeIn: {
      const int32_t level = std::min(Minigame().fw.brightness + kFadeStep, 256);
      mg_brightness(level);
      if (level >= 256) {
        mg_voice_play(kGreetingVoice);
        s.step = kStepWaitPlay;
      }
      return 1;
    }
    case kStepWaitPlay:
      if (mg_key_take(kMgKeyDecide) == 0) return 1;
      StartPlay();
      s.step = kStepSpin;
      return 1;
    case kStepSpin:
      if (SpinStep()) s.step = kStepRead;
      return 1;
    case kStepRead:
      HideGag();
      for (int k = 0; k < kReels; ++k) {
        s.symbols[static_cast<size_t>(k)] = ShownSymbol(k, s.reels[static_cast<size_t>(k)].position);
      }
      s.wait = kReadWait;
      s.step = kStepReaction;
      return 1;
    case kStepReaction:
      if (--s.wait > 0) return 1;
      Reaction();
      s.wait = kReactionSteps;
      s.step = kStepReactionWait;
      return 1;
    case kStepReactionWait:
      if (--s.wait > 0) return 1;
      s.play_sum = 0;
      s.category = 0;
      s.wait = 0;
      s.step = kStepCategories;
      return 1;
    case kStepCategories:
      if (s.wait > 0) {
        --s.wait;
        return 1;
      }
      ShowCategory();
      s.wait = kCategoryGap - 1;
      if (s.category >= kCategories) {
        s.wait = kPanelHoldSteps;
        s.step = kStepPanelHold;
      }
      return 1;
    case kStepPanelHold:
      if (mg_key_take(kMgKeyDecide) == 0 && --s.wait > 0) return 1;
      mg_obj_move(kObjPanel, kPanelX, kPanelOutY, kPanelSpeed);
      mg_obj_anim(kObjHostess, kAnimHostess);
      s.step = kStepPanelOut;
      return 1;
    case kStepPanelOut:
      if (mg_obj_moving(kObjPanel) != 0) return 1;
      s.play_sum = ClampPlaySum(s.score, s.play_sum);
      s.wait = 0;
      s.step = kStepTransfer;
      return 1;
    case kStepTransfer:
      if (s.wait > 0) {
        --s.wait;
        return 1;
      }
      if (TransferStep()) {
        s.wait = kTransferGap - 1;
        return 1;
      }
      s.step = kStepNext;
      return 1;
    case kStepNext:
      s.step = s.coins > 0 ? kStepWaitPlay : kStepClosing;
      return 1;
    case kStepClosing:
      mg_voice_play(ClosingVoice(mg_var_get(3), s.score));
      s.step = kStepClosingWait;
      return 1;
    case kStepClosingWait:
      if (mg_key_take(kMgKeyDecide) == 0 && mg_voice_playing() != 0) return 1;
      mg_voice_stop();
      Finish();
      s.step = kStepFadeOut;
      return 1;
    case kStepFadeOut: {
      const int32_t level = std::max(Minigame().fw.brightness - kFadeStep, 0);
      mg_brightness(level);
      if (level <= 0) mg_end();
      return 1;
    }
    default:
      return 1;
  }
}

}  // namespace

int slot_proc(int state) {
  SlotState& s = State();
  if (state == 2) s.step = kStepFirst;
  switch (mg_menu(state)) {
    case mg::kMenuOpen:
      return 1;
    case mg::kMenuRetry:
      return slot_proc(2);
    case mg::kMenuQuit:
      mg_end();
      return 1;
    default:
      break;
  }
  return GameStep();
}
