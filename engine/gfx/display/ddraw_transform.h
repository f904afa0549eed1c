#pragma once
// The corner arithmetic of the display object's rotate / zoom draw and polygon draw
// (CDdrawFunc::PutTransform, CDdrawFunc::DrawPolygon), kept apart so that it can be checked on
// its own. Angles are radians x 256; every product is truncated toward zero as it is made.

#include <array>
#include <cstdint>

#include "engine/gfx/gfx_types.h"

using QuadCorners = std::array<PolygonPoint, 4>;

// The four screen corners of a transformed sprite, in the order top-left, top-right,
// bottom-right, bottom-left of the unturned picture: the edge offsets left, right, top, bottom
// (from the picture's centre; left and top 0 or negative) turned by `rotation` about the centre
// (destination left - left, destination top - top), scaled first by the four-corner block when
// one is given (16.16 factors: top width, right height, bottom width, left height), then
// exchanged by the mirror bits of the flags and effects block.
QuadCorners TransformCorners(const Rect& destination, int32_t rotation, const int32_t* corners,
                             int32_t left, int32_t right, int32_t top, int32_t bottom,
                             uint32_t flags, const BltFx* fx);

// The four screen corners A-D of a polygon block: zoom, the in-plane turn by angle3, the turn
// about the vertical axis by angle2 with perspective on y, the turn about the horizontal axis by
// angle1 with perspective on x, then the origin added. A distance that scales to 0 gives no
// perspective (the turns still foreshorten the polygon).
QuadCorners PolygonCorners(const PolygonBlock& polygon);
