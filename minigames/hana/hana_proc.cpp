#include "minigames/hana/hana_proc.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_picture.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/framework/minigame_text.h"
#include "minigames/hana/hana_cpu.h"
#include "minigames/hana/hana_rules.h"
#include "minigames/minigame_context.h"

namespace hana {
namespace {

constexpr const char* kStaticSounds[] = {
    "tamvik3\\se\\system00.wav", "tamvik3\\se\\system01.wav", "tamvik3\\se\\system02.wav",
    "tamvik3\\se\\system03.wav", "tamvik3\\se\\hana10.wav",   "tamvik3\\se\\hana13.wav",
    "tamvik3\\se\\hana14.wav",   "tamvik3\\se\\hana11.wav",   "tamvik3\\se\\hana08.wav",
    nullptr,
};
constexpr const char* kSePoint = "tamvik3\\se\\system00.wav";
constexpr const char* kSeConfirm = "tamvik3\\se\\system01.wav";
constexpr const char* kSeOpening = "tamvik3\\se\\hana10.wav";
constexpr const char* kSeCombo = "tamvik3\\se\\hana13.wav";
constexpr const char* kSePlate = "tamvik3\\se\\hana14.wav";
constexpr const char* kSeGain = "tamvik3\\se\\hana11.wav";
constexpr const char* kSeNoGain = "tamvik3\\se\\hana08.wav";
constexpr const char* kSeDeal = "tamvik3\\se\\hana07.wav";
constexpr const char* kVoiceLast = "tamvik3\\voice\\2504.wav";

// Board places (presentation: the od file's pictures are drawn there).
constexpr int32_t kDeckX = 352;
constexpr int32_t kDeckY = 200;
constexpr int32_t kCardLayer = 200;
constexpr int32_t kBackPicture = 49;  // the card back
constexpr int32_t kMarkAnim = 56;
constexpr int32_t kCursorAnim = 57;
constexpr int32_t kDigitBase = 400;  // the number displays' digit pictures (as the ranking's)
constexpr int32_t kBoardAnim = 100;  // the table behind the board
constexpr int32_t kNamePlateAnim = 80;
constexpr int32_t kClosingAnim = 90;  // + 0 the closing picture of a lost match, 1 and 2 scenes
constexpr int32_t kPlateAnimBase = 160;
constexpr int32_t kStopPlateAnim = 201;  // 201 continue, 202 stop
constexpr int32_t kStopItemAnim = 203;   // 203 continue, 204 stop (the choice's items)
constexpr int32_t kDemoPlateAnim = 205;
constexpr int32_t kRoundPlateAnim = 206;
constexpr int32_t kTurnMarkerAnim = 207;
constexpr int32_t kBannerAnim = 208;     // 208 and 209
constexpr int32_t kCountdownAnim = 210;
// The text window: od image slot 500, 501 its empty background.
constexpr int32_t kTextSlot = 500;
constexpr int kLastOpponent = 1;
constexpr int kClosingOpponent = 20;
constexpr int kObjMenuFirstOwn = 200;  // objects from 200 on belong to the common menu

// Steps of the ends and of the capture's sound.
constexpr int kStepFadeEnd = kStepMatchEnd + 1;
constexpr int kStepEnd = kStepMatchEnd + 2;
constexpr int kStepWon = 10130;
constexpr int kStepWonScene = 10131;
constexpr int kStepWonReturn = 10132;
constexpr int kStepClosing = kStepCountdown + 5;
constexpr int kStepLostReturn = kStepCountdown + 6;
constexpr int kStepCaptureSound = 10150;

HanaState& S() { return Minigame().hana; }
HanaPlay& P() { return Minigame().hana.play; }

bool User(int player) {
  return (S().players[static_cast<size_t>(player & 1)].control & kUser) != 0;
}

// The round total the player's pile would score now (the stored mask is updated later).
int LiveTotal(int player) {
  const uint32_t formed = FormedMask(player);
  int total = 0;
  for (int k = 0; k < kComboRows; ++k) {
    const HanaCombo& row = S().combos[static_cast<size_t>(k)];
    if (row.bit == 0) break;
    if (formed & row.bit) total += RowValue(k, CountBit(player, row.bit));
  }
  return total;
}

// ---- Places ----

void FieldPlace(int slot, int32_t& x, int32_t& y) {
  x = 96 + (slot % 10) * 44;
  y = 140 + (slot / 10) * 24;
}
void HandPlace(int player, int slot, int32_t& x, int32_t& y) {
  if (slot == kDrawSlot) {
    x = kDeckX + 48;
    y = kDeckY;
    return;
  }
  x = 64 + (slot % 12) * 48;
  y = player == 0 ? 400 : 16;
}
void PilePlace(int player, int slot, int32_t& x, int32_t& y) {
  x = 520 + (slot % 8) * 12;
  y = (player == 0 ? 300 : 90) + (slot / 8) * 10;
}

struct Place {
  bool found = false;
  bool face_up = false;
  int32_t x = kDeckX;
  int32_t y = kDeckY;
};

// Where a card lies now and whether it shows its face.
Place PlaceOf(int card) {
  const HanaState& s = S();
  Place p;
  for (int i = 0; i < kSlots; ++i) {
    if (s.field[static_cast<size_t>(i)] == card) {
      FieldPlace(i, p.x, p.y);
      p.found = p.face_up = true;
      return p;
    }
  }
  for (int m = 1; m <= kMonths; ++m) {
    for (int k = 0; k < 2; ++k) {
      if (s.stacked[static_cast<size_t>(m)][static_cast<size_t>(k)] != card) continue;
      for (int i = 0; i < kSlots; ++i) {
        const int c = s.field[static_cast<size_t>(i)];
        if (c > 0 && c < kTaken && s.cards[static_cast<size_t>(c)].month == m) {
          FieldPlace(i, p.x, p.y);
          p.x += 16 * (k + 1);
        }
      }
      p.found = p.face_up = true;
      return p;
    }
  }
  for (int pl = 0; pl < 2; ++pl) {
    const HanaPlayer& player = s.players[static_cast<size_t>(pl)];
    for (int i = 0; i < kSlots; ++i) {
      if (player.hand[static_cast<size_t>(i)] == card) {
        HandPlace(pl, i, p.x, p.y);
        p.found = true;
        p.face_up = (player.control & kHidden) == 0 || i == kDrawSlot;
        return p;
      }
      if (player.pile[static_cast<size_t>(i)] == card) {
        PilePlace(pl, i, p.x, p.y);
        p.found = p.face_up = true;
        return p;
      }
    }
  }
  return p;
}

void ShowCard(int card, bool face_up) {
  const int32_t picture = face_up ? S().cards[static_cast<size_t>(card)].picture : kBackPicture;
  if (mg_obj_get_anim(card) != picture) mg_obj_anim(card, picture);
}

// Moves every card that has left the deck to its place in the given steps.
void LayoutCards(int32_t steps) {
  for (int card = 1; card <= kDeckSize; ++card) {
    const Place p = PlaceOf(card);
    if (!p.found) continue;
    if (mg_obj_get_x(card) != p.x || mg_obj_get_y(card) != p.y) {
      mg_obj_move_n(card, p.x, p.y, steps);
    }
    ShowCard(card, p.face_up);
  }
}

void CardsToDeck() {
  for (int card = 1; card <= kDeckSize; ++card) {
    mg_obj_put(card, kDeckX, kDeckY, kCardLayer, kBackPicture, mg::kObjHidden);
  }
}

void PutNumber(int o, int32_t x, int32_t y, int32_t value, int32_t digits) {
  mg_obj_put(o, x, y, 20, kDigitBase, mg::kObjNumber);
  mg_obj_set_value(o, value);
  mg_obj_set_digits(o, digits);
}

void DrawBanks() {
  mg_obj_set_value(kObjBank0, S().players[0].bank);
  mg_obj_set_value(kObjBank1, S().players[1].bank);
}

void ClearPlates() {
  for (int i = 0; i < kComboRows; ++i) {
    mg_obj_anim(kObjPlateFirst + i, 0);
    mg_obj_flag(kObjPlateFirst + i, mg::kObjHidden, 1);
    mg_obj_flag(kObjValueFirst + i, mg::kObjHidden, 1);
  }
  mg_obj_flag(kObjTotal, mg::kObjHidden, 1);
}

void ShowPlate(int index, int row, int32_t x, int32_t y, int value) {
  const int o = kObjPlateFirst + index;
  mg_obj_put(o, x, y, 12, kPlateAnimBase + S().combos[static_cast<size_t>(row)].label, 0);
  PutNumber(kObjValueFirst + index, x + 160, y, value, 2);
}

// ---- Lines and texts ----

// Starts a line: the face (none below 0), the voice of text line + 50 when that text is not
// empty, the text typed in the window; then kStepLine holds until the voice ends or decide.
void SayLine(int face, int line, int next) {
  HanaPlay& p = P();
  if (face >= 0) hana_show_face(face);
  mg_print_text(mg_text(line));
  const char* voice = mg_text(line + 50);
  p.line_hold = 0;
  if (voice[0] != '\0') {
    mg_voice_play(voice);
    p.line_hold = 1;
  }
  p.line_next = next;
  p.step = kStepLine;
}

void SayKind(int kind, int next) {
  P().last_kind = kind;
  const Line l = LineFor(kind);
  SayLine(l.face, l.line, next);
}

constexpr int kTutorialClosingText = 7;

int TutorialTextIndex(int state) {
  switch (state) {
    case kTutorialOn: return 0;
    case kTutorialNoMatch: return 1;
    case kTutorialDraw28: return 2;
    case kTutorialUserCombo: return 3;
    case kTutorialAfterCombo: return 4;
    case kTutorialStop: return 5;
    case kTutorialCpuCombo: return 6;
    default: return 0;
  }
}

// Sets a tutorial state and shows its text until decide, then goes on at next.
void ShowText(int index, int next) {
  HanaPlay& p = P();
  mg_print_text(mg_text(kTutorialTextBase + index));
  p.line_next = next;
  p.step = kStepText;
}
void Explain(int state, int next) {
  P().tutorial = state;
  ShowText(TutorialTextIndex(state), next);
}

// Explains a tutorial moment once; false when it was explained before (or no tutorial runs).
bool ExplainOnce(int state, int next) {
  HanaPlay& p = P();
  if (p.tutorial == 0) return false;
  const uint32_t bit = 1u << TutorialTextIndex(state);
  if (p.tutorial_shown & bit) return false;
  p.tutorial_shown |= bit;
  Explain(state, next);
  return true;
}

// ---- Helpers of the turn ----

void OpenCursor() {
  mg_cursor_open(kObjCursor, kCursorAnim);
  mg_obj_put(kObjCursor, 0, 0, 8, kCursorAnim, 0);
}

bool AnyHandCardMatches(int player) {
  const HanaPlayer& pl = S().players[static_cast<size_t>(player)];
  std::array<int32_t, kSlots> slots{};
  for (int i = 0; i < kDrawSlot; ++i) {
    const int c = pl.hand[static_cast<size_t>(i)];
    if (c > 0 && c < kTaken && Candidates(c, slots) > 0) return true;
  }
  return false;
}

int PlayedCard() {
  const HanaPlay& p = P();
  if (p.play_slot < 0 || p.play_slot >= kSlots) return kNoCard;
  return S().players[static_cast<size_t>(S().current)].hand[static_cast<size_t>(p.play_slot)];
}

void ResetRound() {
  mg_cursor_close();
  hana_clear_marks();
  ClearPlates();
  CardsToDeck();
  mg_obj_flag(kObjStopPlate, mg::kObjHidden, 1);
  mg_obj_set_value(kObjPlains0, 0);
  mg_obj_set_value(kObjPlains0 + 1, 0);
}

void BuildBoard() {
  HanaPlay& p = P();
  mg_obj_put(kObjFace, 480, 16, 30, 0, 0);
  hana_show_face(7);
  mg_obj_put(kObjDeck, kDeckX, kDeckY, kCardLayer + 1, kBackPicture, 0);
  CardsToDeck();
  PutNumber(kObjBank0, 560, 440, S().players[0].bank, 4);
  PutNumber(kObjBank1, 560, 40, S().players[1].bank, 4);
  // In free play the opponent's bank is never shown.
  if (p.mode == mg::kModeFreePlay) mg_obj_flag(kObjBank1, mg::kObjHidden, 1);
  PutNumber(kObjPlains0, 520, 380, 0, 2);
  PutNumber(kObjPlains0 + 1, 520, 60, 0, 2);
  mg_obj_put(kObjTurnMarker, 24, 400, 20, kTurnMarkerAnim, 0);
  if (p.mode == mg::kModeStory || p.mode == mg::kModeFreePlay) {
    mg_obj_put(kObjRoundPlate, 24, 220, 20, kRoundPlateAnim, 0);
    PutNumber(kObjRoundNumber, 56, 220, 1, 1);
  }
  if (p.mode == mg::kModeHubDemonstration) mg_obj_put(kObjDemoPlate, 320, 240, 4, kDemoPlateAnim, 0);
  mg_textwin_open(16, 352, 6, kTextSlot, 8, 8);
  ClearPlates();
}

void StartTurnMarker() {
  mg_obj_set_y(kObjTurnMarker, S().current == 0 ? 400 : 16);
}

// The sound and shake of a capture by the gain of the player's round total.
void CaptureSound(int gain) {
  if (gain <= 0) {
    mg_se_play(kSeNoGain);
    return;
  }
  mg_shake(gain <= 2 ? 4 : gain <= 5 ? 8 : 16);
  mg_se_play(kSeGain);
}

// ---- The match end by mode ----

int EndGame() {
  mg_end();
  return 1;
}

// Fades 8 a step; true once black.
bool FadeOut() {
  const int32_t level = std::max(0, Minigame().fw.brightness - 8);
  mg_brightness(level);
  return level == 0;
}

// ---- The step machine ----

void Init() {
  HanaPlay& p = P();
  p = HanaPlay{};
  // The board's objects (1-199) cleared; the common menu's stay its own.
  mg_cursor_close();
  for (int o = 1; o < kObjMenuFirstOwn; ++o) mg_obj_put(o, 0, 0, 0, 0, mg::kObjHidden);
  // The table behind everything, so that moving cards leave nothing behind them.
  mg_obj_bg(kBoardAnim);
  mg_static_load(kStaticSounds);
  int mode = mg_var_get(3);
  // A mode the table does not name plays and ends as the story's match.
  if (mode < mg::kModeStory || mode > mg::kModeStoryTutorial) {
    mode = mg::kModeStory;
    mg_var_set(3, mode);
  }
  if (mode == mg::kModeStory && mg_var_get(11) == 1) {
    mode = mg::kModeStoryTutorial;
    mg_var_set(3, mode);
  }
  p.mode = mode;
  if (mode == mg::kModeHubTutorial || mode == mg::kModeStoryTutorial) p.tutorial = kTutorialOn;
  StartMatch(mode);
  if (mode != mg::kModeHubDemonstration) {
    const char* music = mg_text(30);
    if (music[0] != '\0') mg_bgm_play(music);
  }
  p.step = 0;
}

bool Tutorial() { return P().tutorial != 0; }

void Step() {
  HanaPlay& p = P();
  HanaState& s = S();
  if (p.wait > 0) {
    --p.wait;
    return;
  }
  const int cur = s.current;
  switch (p.step) {
    case 0:
      if (p.mode == mg::kModeHubMatch && mg_var_get(4) != kLastOpponent) {
        // The opening: name plate, face, two banners zooming in, the sound and a shake.
        mg_obj_put(kObjNamePlate, 320, 200, 10, kNamePlateAnim + mg_var_get(7), 0);
        mg_obj_put(kObjFace, 480, 16, 30, 0, 0);
        hana_show_face(7);
        mg_obj_put(kObjBannerA, 320, 120, 64, kBannerAnim, mg::kObjDepthScale);
        mg_obj_put(kObjBannerB, 320, 300, 64, kBannerAnim + 1, mg::kObjDepthScale);
        p.step = 1;
      } else {
        p.step = kStepBoard;
      }
      return;
    case 1: {
      const int32_t layer = std::min(256, mg_obj_get_layer(kObjBannerA) + 24);
      mg_obj_set_layer(kObjBannerA, layer);
      mg_obj_set_layer(kObjBannerB, layer);
      if (layer < 256) return;
      mg_se_play(kSeOpening);
      mg_shake(8);
      p.wait = 60;
      p.step = 2;
      return;
    }
    case 2:
      for (int o : {kObjNamePlate, kObjBannerA, kObjBannerB}) mg_obj_put(o, 0, 0, 0, 0, mg::kObjHidden);
      p.step = kStepBoard;
      return;
    case kStepBoard:
      BuildBoard();
      mg_brightness(0);
      p.step = kStepBoard + 1;
      return;
    case kStepBoard + 1: {
      const int32_t level = std::min(256, Minigame().fw.brightness + 8);
      mg_brightness(level);
      if (level < 256) return;
      if (Tutorial()) {
        ExplainOnce(kTutorialOn, kStepBoard + 2);
        return;
      }
      p.step = kStepBoard + 2;
      return;
    }
    case kStepBoard + 2:
      SayKind(1, kStepRoundStart);
      return;
    case kStepRoundStart:
      ResetRound();
      s.current = s.dealer;
      StartTurnMarker();
      SayKind(s.dealer == 0 ? 12 : 13, kStepDeal);
      return;
    case kStepDeal: {
      CardsToDeck();
      const DealResult r = Deal(Tutorial());
      p.changed = r.stacked_months;
      p.counter = r.four_month != 0 ? -r.four_month : 0;
      p.candidates = 0;
      mg_se_play(kSeDeal);
      p.step = kStepDeal + 1;
      return;
    }
    case kStepDeal + 1: {
      // Cards fly one by one, 6 steps apart, in deck order, face down until all have landed.
      const int card = s.deck[static_cast<size_t>(1 + p.candidates)];
      const Place pl = PlaceOf(card);
      mg_obj_flag(card, mg::kObjHidden, 0);
      mg_obj_set_layer(card, kCardLayer - 1 - p.candidates);
      mg_obj_move_n(card, pl.x, pl.y, 6);
      p.wait = 5;
      if (++p.candidates >= 3 * kDealCards) p.step = kStepDeal + 13;
      return;
    }
    case kStepDeal + 13:
      LayoutCards(1);
      p.step = kStepDeal + 14;
      return;
    case kStepDeal + 14:
      if (p.counter < 0) {
        // Four of a month: marked, the line, and the deal again.
        hana_mark_month(-p.counter);
        SayLine(-1, 23, kStepDeal);
        return;
      }
      if (p.changed != 0) {
        SayLine(-1, 24, kStepTurn);
        return;
      }
      p.step = kStepTurn;
      return;
    case kStepTurn: {
      hana_clear_marks();
      StartTurnMarker();
      mg_obj_flag(kObjStopPlate, mg::kObjHidden, 1);
      if (HandCount(cur) == 0) {
        EndRoundExhausted(cur);
        p.winner = cur;
        p.step = kStepRoundEnd;
        return;
      }
      if (!User(cur)) {
        CpuChoose(0);
        p.play_slot = s.cpu_hand;
        p.field_slot = s.cpu_field;
        p.step = kStepMatchCard;
        return;
      }
      if (Tutorial() && !AnyHandCardMatches(cur) && ExplainOnce(kTutorialNoMatch, kStepTurn)) return;
      int count = 0, only = -1;
      OpenCursor();
      for (int i = 0; i < kDrawSlot; ++i) {
        const int c = s.players[static_cast<size_t>(cur)].hand[static_cast<size_t>(i)];
        if (c <= 0 || c >= kTaken) continue;
        mg_cursor_target(i, c);
        ++count;
        only = i;
      }
      hana_mark_hand(cur);
      if (count == 1) {
        mg_cursor_close();
        p.play_slot = only;
        p.field_slot = -1;
        p.step = kStepMatchCard;
        return;
      }
      p.step = kStepChooseHand;
      return;
    }
    case kStepChooseHand:
      if (!mg_key_take(kMgKeyDecide)) return;
      {
        const int sel = mg_cursor_get();
        if (sel < 0 || sel >= kDrawSlot ||
            s.players[static_cast<size_t>(cur)].hand[static_cast<size_t>(sel)] == kNoCard) {
          return;
        }
        mg_cursor_close();
        mg_se_play(kSeConfirm);
        p.play_slot = sel;
        p.field_slot = -1;
        p.step = kStepMatchCard;
      }
      return;
    case kStepMatchCard: {
      hana_clear_marks();
      const int card = PlayedCard();
      if (card == kNoCard) {
        p.step = p.play_slot == kDrawSlot ? kStepPlains : kStepDraw;
        return;
      }
      p.candidates = Candidates(card, p.candidate_slots);
      if (p.candidates >= 2 && User(cur)) {
        OpenCursor();
        for (int i = 0; i < p.candidates; ++i) {
          const int c = s.field[static_cast<size_t>(p.candidate_slots[static_cast<size_t>(i)])];
          mg_cursor_target(i, c);
        }
        hana_mark_card(card);
        p.step = kStepChooseField;
        return;
      }
      if (p.candidates == 1) p.field_slot = p.candidate_slots[0];
      p.step = kStepCapture;
      return;
    }
    case kStepChooseField:
      if (mg_key_take(kMgKeyCancel) && p.play_slot != kDrawSlot) {
        // The cancel choice returns to the hand; a drawn card cannot go back.
        mg_cursor_close();
        p.step = kStepTurn;
        return;
      }
      if (!mg_key_take(kMgKeyDecide)) return;
      {
        const int sel = mg_cursor_get();
        if (sel < 0 || sel >= p.candidates) return;
        mg_cursor_close();
        mg_se_play(kSeConfirm);
        p.field_slot = p.candidate_slots[static_cast<size_t>(sel)];
        p.step = kStepCapture;
      }
      return;
    case kStepCapture: {
      p.total_before = LiveTotal(cur);
      p.captured = Play(cur, p.play_slot, p.field_slot);
      LayoutCards(15);
      p.wait = 15;
      p.step = kStepCaptureSound;  // the sound after the move
      return;
    }
    case kStepCaptureSound:
      if (p.captured > 0) CaptureSound(LiveTotal(cur) - p.total_before);
      p.step = p.play_slot == kDrawSlot ? kStepPlains : kStepDraw;
      return;
    case kStepDraw: {
      const int from = s.next_draw;
      const int card = Draw(cur);
      if (card == kNoCard) {
        p.step = kStepPlains;
        return;
      }
      mg_obj_put(card, kDeckX, kDeckY, kCardLayer - 40, kBackPicture, 0);
      mg_obj_flip(card, s.cards[static_cast<size_t>(card)].picture);
      p.wait = 15;
      p.step = kStepDraw + 1;
      if (Tutorial() && from == 28) ExplainOnce(kTutorialDraw28, kStepDraw + 1);
      return;
    }
    case kStepDraw + 1:
      p.play_slot = kDrawSlot;
      p.field_slot = -1;
      if (!User(cur)) {
        CpuChoose(kDrawSlot);
        p.field_slot = s.cpu_field;
      }
      p.step = kStepMatchCard;
      return;
    case kStepPlains:
      mg_obj_set_value(kObjPlains0 + cur, CountBit(cur, kPlains));
      p.wait = 15;
      p.step = kStepCombos;
      return;
    case kStepCombos:
      p.changed = UpdateCombinations(cur);
      p.counter = 0;
      p.step = kStepCombos + 1;
      return;
    case kStepCombos + 1: {
      // Each changed row's plate and value with its sound, up to 60 steps (decide skips).
      int shown = 0;
      for (int k = 0; k < kComboRows; ++k) {
        if ((p.changed & s.combos[static_cast<size_t>(k)].bit) == 0) continue;
        if (shown++ != p.counter) continue;
        ClearPlates();
        ShowPlate(0, k, 200, 200, RowValue(k, CountBit(cur, s.combos[static_cast<size_t>(k)].bit)));
        mg_se_play(kSeCombo);
        ++p.counter;
        p.timer = 0;
        p.step = kStepCombos + 2;
        return;
      }
      ClearPlates();
      p.step = kStepCombos + 4;
      return;
    }
    case kStepCombos + 2:
      if (mg_key_take(kMgKeyDecide) || ++p.timer >= 60) {
        p.step = kStepCombos + 1;
      }
      return;
    case kStepCombos + 4:
      if (p.changed == 0) {
        s.current = 1 - cur;
        p.step = kStepTurn;
        return;
      }
      if (Tutorial()) {
        const int state = cur == 0 ? kTutorialUserCombo : kTutorialCpuCombo;
        if (ExplainOnce(state, cur == 0 ? kStepCombos + 5 : kStepCombos + 6)) return;
      }
      p.step = kStepCombos + 6;
      return;
    case kStepCombos + 5:
      if (ExplainOnce(kTutorialAfterCombo, kStepCombos + 6)) return;
      p.step = kStepCombos + 6;
      return;
    case kStepCombos + 6:
      if (HandCount(cur) == 0) {
        p.winner = cur;
        p.step = kStepRoundEnd;
        return;
      }
      p.step = kStepDecide;
      return;
    case kStepDecide:
      if (User(cur)) {
        if (p.mode == mg::kModeHubMatch && mg_var_get(4) == kLastOpponent) {
          // Against the last opponent there is no choice: the round ends.
          p.winner = cur;
          SayKind(3, kStepRoundEnd);
          return;
        }
        OpenCursor();
        for (int i = 0; i < 2; ++i) {
          mg_obj_put(kObjStopItemFirst + i, 240 + 160 * i, 300, 8, kStopItemAnim + i, 0);
          mg_cursor_target(i, kObjStopItemFirst + i);
        }
        p.step = kStepChooseStop;
        return;
      }
      p.choice = CpuDecide();
      mg_obj_put(kObjStopPlate, 320, 240, 8, kStopPlateAnim + p.choice, 0);
      p.wait = 60;
      p.step = kStepDecide + 3;
      return;
    case kStepChooseStop:
      if (!mg_key_take(kMgKeyDecide)) return;
      p.choice = mg_cursor_get() == 1 ? 1 : 0;
      mg_cursor_close();
      mg_se_play(kSeConfirm);
      for (int i = 0; i < 2; ++i) mg_obj_flag(kObjStopItemFirst + i, mg::kObjHidden, 1);
      mg_obj_put(kObjStopPlate, 320, 240, 8, kStopPlateAnim + p.choice, 0);
      p.wait = 30;
      p.step = kStepDecide + 2;
      return;
    case kStepDecide + 2:
      mg_obj_flag(kObjStopPlate, mg::kObjHidden, 1);
      if (Tutorial()) {
        // In the tutorial the turn always passes; a stop is explained.
        s.current = 1 - cur;
        if (p.choice == 1) {
          p.tutorial_shown |= 1u << TutorialTextIndex(kTutorialStop);
          Explain(kTutorialStop, kStepTurn);
          return;
        }
        SayKind(2, kStepTurn);
        return;
      }
      if (p.choice == 1) {
        p.winner = cur;
        SayKind(3, kStepRoundEnd);
      } else {
        s.current = 1 - cur;
        SayKind(2, kStepTurn);
      }
      return;
    case kStepDecide + 3:
      mg_obj_flag(kObjStopPlate, mg::kObjHidden, 1);
      if (p.choice == 1) {
        p.winner = cur;
        SayKind(5, kStepRoundEnd);
      } else {
        s.current = 1 - cur;
        SayKind(4, kStepTurn);
      }
      return;
    case kStepRoundEnd:
      hana_clear_marks();
      mg_cursor_close();
      p.counter = 0;
      p.step = kStepRoundEnd + 1;
      return;
    case kStepRoundEnd + 1:
      // The hidden hand turns face up, 3 steps a card.
      for (; p.counter < kDrawSlot; ++p.counter) {
        const int c = s.players[1].hand[static_cast<size_t>(p.counter)];
        if (c <= 0 || c >= kTaken) continue;
        ShowCard(c, true);
        ++p.counter;
        p.wait = 2;
        return;
      }
      p.counter = 0;
      p.total = RoundTotal(p.winner);
      p.step = kStepRoundEnd + 2;
      return;
    case kStepRoundEnd + 2: {
      // The winner's combinations, 32 pixels apart, one plate at a time.
      int shown = 0;
      const HanaPlayer& w = s.players[static_cast<size_t>(p.winner)];
      for (int k = 0; k < kComboRows; ++k) {
        const uint32_t bit = s.combos[static_cast<size_t>(k)].bit;
        if ((w.formed & bit) == 0) continue;
        if (shown++ != p.counter) continue;
        const int value = bit == kDealersPoint ? 1 : RowValue(k, CountBit(p.winner, bit));
        ShowPlate(p.counter, k, 160, 96 + 32 * p.counter, value);
        mg_se_play(kSePlate);
        ++p.counter;
        p.wait = 14;
        return;
      }
      PutNumber(kObjTotal, 320, 104 + 32 * p.counter, p.total, 3);
      p.wait = 119;
      p.counter = 0;
      p.step = kStepPayment;
      return;
    }
    case kStepPayment:
      ClearPlates();
      if (p.counter < p.total && PayPoint(p.winner) == 1) {
        ++p.counter;
        mg_se_play(kSePoint);
        DrawBanks();
        p.wait = 5;
        return;
      }
      p.step = kStepMatchCheck;
      return;
    case kStepMatchCheck:
      if (Tutorial()) {
        // The tutorial is one round: its closing text, then the fade.
        ShowText(kTutorialClosingText, kStepFadeEnd);
        return;
      }
      p.kind = CheckMatchEnd(p.winner, p.total);
      mg_obj_set_value(kObjRoundNumber, s.rounds + 1);
      SayKind(p.kind, kStepMatchCheck + 1);
      return;
    case kStepMatchCheck + 1:
      if (p.kind != kKindLost && p.kind != kKindWon) {
        NextRound(p.winner);
        p.step = kStepRoundStart;
        return;
      }
      p.step = kStepMatchEnd;
      return;
    case kStepMatchEnd: {
      if (p.mode == mg::kModeHubDemonstration) {
        p.demo_ending = 1;
        return;
      }
      if (p.mode == mg::kModeHubMatch) {
        p.step = p.kind == kKindWon ? kStepWon : kStepCountdown;
        return;
      }
      const int32_t score = FinishMatch(p.kind);
      if (p.mode == mg::kModeFreePlay) {
        mg_brightness(256);
        mg_finish(score);
        p.step = kStepResultShown;
        return;
      }
      p.step = kStepFadeEnd;
      return;
    }
    case kStepFadeEnd:
      // Fade out, then the end by mode (story and unknown modes, the tutorials).
      if (!FadeOut()) return;
      p.step = kStepEnd;
      return;
    case kStepResultShown:
      return;  // the common menu shows the result; its quit or retry ends or restarts the game
    case kStepWon: {
      // Mode 2 won: the closing scene against the last two opponents.
      const int strength = mg_var_get(4);
      if (strength != kClosingOpponent && strength != kLastOpponent) {
        p.step = kStepWonReturn;
        return;
      }
      mg_obj_put(kObjClosing, 0, 0, 2, kClosingAnim + (strength == kLastOpponent ? 2 : 1), 0);
      hana_show_face(0);
      if (strength == kLastOpponent) mg_voice_play(kVoiceLast);
      p.wait = 180;
      p.step = kStepWonScene;
      return;
    }
    case kStepWonScene:
      if (mg_voice_playing() && !mg_key_take(kMgKeyDecide)) return;
      p.step = kStepWonReturn;
      return;
    case kStepCountdown:
      if (mg_var_get(6) <= 0) {
        p.step = kStepClosing;
        return;
      }
      mg_obj_put(kObjCountdownPlate, 320, 200, 4, kCountdownAnim, 0);
      PutNumber(kObjCountdownDigit, 320, 260, 9, 1);
      p.counter = 9;
      p.timer = 0;
      mg_se_play(kSePoint);
      p.step = kStepCountdown + 1;
      return;
    case kStepCountdown + 1:
      if (mg_key_take(kMgKeyDecide)) {
        // A continue: one fewer left, the opponent's next bank 2 smaller, the match anew.
        mg_se_play(kSeConfirm);
        mg_var_set(6, mg_var_get(6) - 1);
        mg_var_set(10, mg_var_get(10) + 2);
        p.step = kStepInit;
        return;
      }
      if (++p.timer < 60) return;
      p.timer = 0;
      if (--p.counter < 0) {
        mg_obj_flag(kObjCountdownPlate, mg::kObjHidden, 1);
        mg_obj_flag(kObjCountdownDigit, mg::kObjHidden, 1);
        p.step = kStepClosing;
        return;
      }
      mg_obj_set_value(kObjCountdownDigit, p.counter);
      mg_se_play(kSePoint);
      return;
    case kStepClosing:
      mg_obj_put(kObjClosing, 0, 0, 2, kClosingAnim, 0);
      p.wait = 149;
      p.step = kStepLostReturn;
      return;
    case kStepText:
      if (mg_key_take(kMgKeyDecide)) p.step = p.line_next;
      return;
    case kStepLine:
      if (p.line_hold != 0 && mg_voice_playing()) {
        if (!mg_key_take(kMgKeyDecide)) return;
        mg_voice_stop();
      }
      p.step = p.line_next;
      return;
    default:
      return;
  }
}

}  // namespace

int hana_proc(int state) {
  HanaPlay& p = P();
  int menu_state = state;
  if (p.restart != 0) {
    menu_state = 2;
    p.restart = 0;
  }
  switch (mg_menu(menu_state)) {
    case mg::kMenuOpen: return 1;
    case mg::kMenuRetry:
      p.restart = 1;
      p.step = kStepInit;
      return 1;
    case mg::kMenuQuit: return EndGame();
    default: break;
  }
  if (state == 2 || menu_state == 2) p.step = kStepInit;
  if (p.step == kStepInit) {
    Init();
    return 1;
  }
  if (p.mode == mg::kModeHubDemonstration) {
    // The demonstration counts every step; decide ends it; past the limit the fade and return.
    const int32_t limit = mg_var_get(8);
    if (p.demo_ending == 0) {
      if (mg_key_take(kMgKeyDecide)) {
        p.demo_steps = limit;
      } else {
        ++p.demo_steps;
      }
      if (p.demo_steps >= limit) p.demo_ending = 1;
    }
    if (p.demo_ending != 0) {
      if (!FadeOut()) return 1;
      return mg_return(1);
    }
  }
  Step();
  // The ends that leave the procedure.
  switch (p.step) {
    case kStepEnd:
      if (p.mode == mg::kModeHubTutorial) return mg_return(1);
      return EndGame();  // the story, an unknown mode played as it, the story's tutorial
    case kStepWonReturn:
      return mg_return(1);
    case kStepLostReturn:
      if (p.wait == 0) return mg_return(2);
      break;
    default:
      break;
  }
  return 1;
}

int hana_show_face(int face) {
  const char* text = mg_text(100 + face);
  if (text[0] == '\0') return 0;
  // "file,number": the file before the comma, the number after it (0 without a comma).
  std::array<char, 260> file{};
  const char* comma = std::strchr(text, ',');
  const size_t length = comma != nullptr ? static_cast<size_t>(comma - text) : std::strlen(text);
  if (length == 0 || length >= file.size()) return 0;
  std::memcpy(file.data(), text, length);
  int32_t picture = 0;
  if (comma != nullptr) {
    const char* c = comma + 1;
    while (*c == ' ') ++c;
    for (; *c >= '0' && *c <= '9' && picture < 100000; ++c) {
      picture = picture * 10 + (*c - '0');
    }
  }
  return mg_obj_nc(kObjFace, file.data(), picture);
}

void hana_mark_month(int month) {
  const HanaState& s = S();
  for (int i = 0; i < kSlots; ++i) {
    const int c = s.field[static_cast<size_t>(i)];
    if (c <= 0 || c >= kTaken || s.cards[static_cast<size_t>(c)].month != month) continue;
    int32_t x = 0, y = 0;
    FieldPlace(i, x, y);
    mg_obj_put(kObjMarkFirst + i, x, y, kCardLayer - 60, kMarkAnim, 0);
  }
}

void hana_mark_card(int card) {
  if (card > 0 && card < kTaken) hana_mark_month(S().cards[static_cast<size_t>(card)].month);
}

void hana_mark_hand(int player) {
  if (player < 0 || player > 1) return;
  uint32_t months = 0;
  for (int c : S().players[static_cast<size_t>(player)].hand) {
    if (c > 0 && c < kTaken) months |= 1u << S().cards[static_cast<size_t>(c)].month;
  }
  for (int m = 1; m <= kMonths; ++m) {
    if (months & (1u << m)) hana_mark_month(m);
  }
}

void hana_clear_marks() {
  for (int i = 0; i < kSlots; ++i) mg_obj_anim(kObjMarkFirst + i, 0);
}

}  // namespace hana
