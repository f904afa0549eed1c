#pragma once
// The card turn of the boss scenes: a card animation at the screen centre shrinks from zoom 5.0
// to 1.0 over 64 frames while it makes two whole turns about its vertical axis; while it shows its
// back, a coloured polygon stands in for it.
//
// With n frames since the start: zoom = 5.0 - n/16, held at 1.0 from n = 64 (where the angle
// stops); angle = (n x 16) mod 512 (512 steps a turn). Strictly between 128 and 384 the card
// shows its back: the animation is stopped and hidden, and the back polygon (the look's corners
// and colour, one depth in front of the card) is drawn at the zoom with rotation 1 = the angle
// and attribute 0xB0. Otherwise the polygon is removed and the animation drawn at the zoom,
// turned about its vertical axis by the angle (width 176, perspective 176). Once stopped on its
// back the animation stays on the frame where it stopped.
//
//   constexpr CardLook kCard{11, 0x9409, {{{-88, -136}, {86, -136}, {86, 134}, {-88, 134}}}};
//   CardTurnStart(w.card, w.card_obj[0], w.anms.effect, kCard, BossUnitDepth(*w.unit) - 1);
//   ... each frame: if (CardTurnStep(w.card) == 1) the card stands at zoom 1.0
//   CardTurnFree(w.card);  // the polygon; the object is the caller's to free

#include <array>
#include <cstdint>

#include "battle/slg_draw.h"
#include "engine/gfx/gfx_types.h"

struct SlgAnmObj;
struct SprAnm;

// What differs between cards: the animation of the set, the back's colour (15-bit) and corners
// (pixels about the card's centre).
struct CardLook {
  uint32_t anm;
  uint16_t colour;
  std::array<PolygonPoint, 4> corners;
};

// The card's pose at n frames since its start.
struct CardPose {
  int32_t zoom;   // 16.16
  int32_t angle;  // 0-511
  bool back;      // the back shows (128 < angle < 384)
};
CardPose CardPoseAt(int32_t n);

constexpr int32_t kCardFrames = 64;  // frames to zoom 1.0
constexpr int kCardTurnWidth = 176;
constexpr int kCardPerspective = 176;
constexpr BlendWord kCardBackAttr = 0xB0;

struct CardTurn {
  SlgAnmObj* obj;  // the card object (the caller's list)
  SlgPoly back;    // the back polygon
  uint32_t start;  // game clock ms of the start
  CardPose pose;   // the pose last drawn
};

// Plays the look's animation of the set on the object at the screen centre, depth `depth`, zoom
// 5.0, and starts the clock.
void CardTurnStart(CardTurn& card, SlgAnmObj* obj, SprAnm* set, const CardLook& look, int depth);
// One frame of the turn; 1 once the zoom is 1.0 (and on every later call), else 0.
int CardTurnStep(CardTurn& card);
// The same as timeline steps of a work with a `card_turn`: a wait for the turn's end, and the turn
// drawn on while another step runs.
template <class W>
int CardTurnRow(W& w) {
  return CardTurnStep(w.card_turn);
}
template <class W>
void CardTurnEach(W& w) {
  CardTurnStep(w.card_turn);
}
// Removes the back polygon (the object stays the caller's).
void CardTurnFree(CardTurn& card);
