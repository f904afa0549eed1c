#include "battle_effects/card_turn.h"

#include <algorithm>

#include "battle/slg_anm_obj.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kOne = 0x10000;
constexpr int32_t kStartZoom = 5 * kOne;

}  // namespace

CardPose CardPoseAt(int32_t n) {
  n = std::clamp(n, 0, kCardFrames);
  const int32_t angle = (n * 16) & 511;
  return {kStartZoom - n * (kOne / 16), angle, angle > 128 && angle < 384};
}

void CardTurnStart(CardTurn& card, SlgAnmObj* obj, SprAnm* set, const CardLook& look, int depth) {
  card.obj = obj;
  card.start = TimelineNow();
  card.pose = CardPoseAt(0);
  card.back = SlgPoly{};
  card.back.colour = look.colour;
  card.back.depth = static_cast<int16_t>(depth - 1);
  std::copy(look.corners.begin(), look.corners.end(), card.back.corners);
  if (obj == nullptr) return;
  obj->x = obj->y = 0;
  obj->depth = static_cast<int16_t>(depth);
  obj->mode = 0;
  SlgPlayAnm(set, look.anm, obj, SURFACE_ROOT);
  SlgSprSetZoom(obj->handle, {card.pose.zoom, card.pose.zoom});
}

int CardTurnStep(CardTurn& card) {
  const int32_t n = TimelineFrames(card.start);
  const CardPose pose = CardPoseAt(n);
  const bool changed =
      pose.zoom != card.pose.zoom || pose.angle != card.pose.angle || pose.back != card.pose.back;
  card.pose = pose;
  AnimeHandle handle = card.obj != nullptr ? card.obj->handle : nullptr;
  const SlgPair zoom{pose.zoom, pose.zoom};
  if (pose.back) {
    if (card.back.entry == nullptr) {
      SlgAnmHide(handle);
      if (card.obj != nullptr) {
        card.back.x = card.obj->x;
        card.back.y = card.obj->y;
      }
      SlgPolyCreate(CDdrawSpr::kBuffered, &card.back, SURFACE_ROOT);
    }
    SlgPolySetZoom(&card.back, zoom);
    SlgPolySetRot(&card.back, 1, pose.angle);
    SlgPolySetAttr(&card.back, kCardBackAttr);
  } else {
    const bool was_back = card.back.entry != nullptr;
    if (was_back) SlgPolyFree(&card.back);
    // Setting the zoom rebuilds the drawn sprite, also of an animation stopped on its back.
    if (changed || was_back) {
      SlgSprSetZoom(handle, zoom);
      SlgSprSetTurnY(handle, pose.angle, kCardTurnWidth, kCardPerspective);
    }
  }
  return n >= kCardFrames ? 1 : 0;
}

void CardTurnFree(CardTurn& card) { SlgPolyFree(&card.back); }
