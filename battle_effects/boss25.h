#pragma once
// Kujyaku's attacks (kind 25): the tables and the arithmetic of its two routines.
//
// Special: four cards turn over before a picture while pillars rise; the picture fades in to
// white, and back on the map the unit in front of the boss is struck. Normal: a body and swings
// by direction, five bubbles thrown in an arc, and a hit on each passable cell ahead (up to five).

#include <array>
#include <cstdint>

#include "battle/slg_geometry.h"

namespace Boss25 {

// ---- Cards ----

constexpr int kCards = 4;
constexpr int32_t kCardInterval = 32;  // frames between two cards' starts
constexpr int32_t kCardAngleStep = 8;  // 512 steps a turn
constexpr int32_t kCardHalfTurn = 256;
constexpr int kCardTurnWidth = 160;
constexpr int kCardPerspective = 640;
constexpr std::array<int16_t, kCards> kCardX{-240, -80, 80, 240};  // pixels, y 0
constexpr std::array<uint8_t, kCards> kCardFront{3, 4, 5, 6};
constexpr std::array<uint8_t, kCards> kCardBack{6, 5, 4, 3};

// The face a card shows (its work's u16 face state).
enum class CardFace : uint16_t { kFront = 0, kBack = 1, kFinished = 100, kNotDrawn = 0xFFFF };

// The angle (512 steps) n frames after the card's own start.
constexpr int32_t CardAngle(int32_t n) { return (n < 0 ? 0 : n) * kCardAngleStep; }
// The face at an angle: finished from a half turn, the back from 128 to 384, else the front.
constexpr CardFace CardFaceAt(int32_t angle) {
  if (angle >= kCardHalfTurn) return CardFace::kFinished;
  return angle >= 128 && angle <= 384 ? CardFace::kBack : CardFace::kFront;
}
// The animation card k (0-3) plays for a face (the back for kFinished too).
constexpr uint8_t CardFaceAnm(int k, CardFace face) {
  return face == CardFace::kFront ? kCardFront[static_cast<size_t>(k)]
                                  : kCardBack[static_cast<size_t>(k)];
}

// ---- Pillars ----

constexpr int kPillars = 4;
constexpr int32_t kPillarFirst = 1;      // frames from the pillars' set-up to the first start
constexpr int32_t kPillarInterval = 20;  // frames between two starts
constexpr int32_t kPillarHold = 84;      // the picture comes once more frames than these passed
struct PillarRow {
  uint8_t anm;
  uint16_t attr;
  int8_t depth;  // from the unit's
  int16_t x;     // pixels, y 0
  bool zoom2;    // drawn at zoom 2.0
};
constexpr std::array<PillarRow, kPillars> kPillarRows{{
    {1, 0, -1, -80, false},
    {1, 16, -1, 80, false},
    {8, 0, -2, -80, true},
    {8, 16, -2, 80, true},
}};

// ---- The picture and the effect ----

constexpr int32_t kPictureFadeFrames = 30;
// The picture's alpha n frames into its fade: n x 256 / 31, 256 from 30 frames.
constexpr int32_t PictureAlpha(int32_t n) {
  if (n >= kPictureFadeFrames) return 256;
  return (n < 0 ? 0 : n) * 256 / 31;
}
// The effect's replay once its first animation has ended: 10 when the set holds 11 or more
// animations, else 7.
constexpr uint32_t EffectReplayAnm(uint32_t animations) { return animations >= 11 ? 10 : 7; }
constexpr int32_t kBossReleaseFrame = 22;  // the boss vanishes once the effect passes it

// ---- Cells by direction ----

// One cell step (pixels) toward direction 0-3: the cell in front, and the walk of the cells ahead.
constexpr std::array<SlgPoint, 4> kFrontCell{{{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};
constexpr int32_t kStrikeRaise = 192;  // pixels the first hit of the strike is raised

// ---- Normal attack ----

constexpr int kBubbles = 5;
constexpr int kLineCells = 5;
constexpr int32_t kBubbleLife = 31;  // frames a bubble is drawn after its start (ages 0-31)
// The body frame the bubbles and cell hits wait for, by direction.
constexpr std::array<int32_t, 4> kBodyThreshold{6, 23, 23, 6};
constexpr std::array<int16_t, 4> kBubbleX{48, 0, 0, -48};        // from the unit's drawing x
constexpr std::array<int8_t, 4> kBubbleDepth{-1, 1, 1, -1};      // from the unit's depth
constexpr std::array<int8_t, 4> kBubbleDrift{-2, -2, 2, 2};      // pixels a frame in x
constexpr std::array<uint8_t, 4> kTargetHitAnm{9, 8, 3, 10};     // slot 6, on a target's cell
// The bubbles' heights by age (pixels, already doubled): directions 0 and 3, then 1 and 2.
constexpr std::array<int8_t, 32> kBubbleRiseSide{
    -72, -70, -68, -66, -64, -62, -60, -56, -54, -50, -46, -42, -38, -32, -24, -16,
    0,   -2,  -4,  -6,  -6,  -8,  -8,  -6,  -4,  -2,  0,   2,   4,   6,   10,  14};
constexpr std::array<int8_t, 32> kBubbleRiseFront{
    -48, -52, -54, -58, -60, -62, -62, -64, -64, -64, -62, -62, -60, -58, -56, -54,
    -52, -48, -46, -42, -38, -32, -38, -42, -44, -46, -46, -48, -48, -46, -46, -44};

// A bubble's offset (pixels) from the unit's drawing position at an age (0-31, held there).
constexpr SlgPoint BubbleOffset(int dir, int32_t age) {
  const size_t d = static_cast<size_t>(dir & 3);
  const int32_t a = age < 0 ? 0 : (age > kBubbleLife ? kBubbleLife : age);
  const auto& rise = (d == 1 || d == 2) ? kBubbleRiseFront : kBubbleRiseSide;
  return {kBubbleX[d] + kBubbleDrift[d] * a, rise[static_cast<size_t>(a)]};
}

}  // namespace Boss25
