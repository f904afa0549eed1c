// Debug listings of the sprites and the sprite buffers. They only write to the debug trace (which
// prints nothing in the game); the debug menu calls them.

#include <cstdint>
#include <numbers>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int kLinesShown = 21;

unsigned Address(const void* p) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

void CDdrawSpr::EnumSpriteList(int first) const {
  int video_count = 0;
  int system_count = 0;
  uint64_t video_bytes = 0;
  uint64_t system_bytes = 0;
  for (const SprRec* s = sprites_; s != nullptr; s = s->next) {
    const bool video = (ddraw_.GetSurfaceCaps(s->surface) & kSurfaceCapsVideoMemory) != 0;
    const uint64_t bytes = s->surface != nullptr ? s->surface->size_bytes() : 0;
    (video ? video_count : system_count) += 1;
    (video ? video_bytes : system_bytes) += bytes;
  }
  DebugPrint("CDdrawSpr::Enum Sprite List\n");
  int index = 0;
  int shown = 0;
  for (const SprRec* s = sprites_; s != nullptr && shown < kLinesShown; s = s->next, ++index) {
    if (index < first) continue;
    ++shown;
    DebugPrint("\tNo:%03d X:%03d Y:%03d ", index, s->x, s->y);
    DebugPrint("W:%4d H:%4d A:%3d ", s->width, s->height, static_cast<int>(s->alpha));
    if ((ddraw_.GetSurfaceCaps(s->surface) & kSurfaceCapsVideoMemory) != 0) {
      DebugPrint("Surface:%08x=VRAM   \n", Address(s->surface));
    } else {
      DebugPrint("Surface:%08x=SYSTEM \n", Address(s->surface));
    }
  }
  DebugPrint("CDdrawSpr::Use Surface Memory: (V:%d, %dKbytes) (S:%d, %dKbytes).\n", video_count,
             static_cast<int>(video_bytes / 1024), system_count,
             static_cast<int>(system_bytes / 1024));
  DebugPrint("CDdrawSpr::Enum Sprite List End.\n");
}

void CDdrawSpr::EnumSpriteBuffer(int first) const {
  DebugPrint("CDdrawSpr::Enum Sprite Buffer\n");
  for (const SprBuffer* b = buffers_; b != nullptr; b = b->next) {
    if (b->surface_id != 0) {
      DebugPrint("  Surface:%.02x\n", static_cast<unsigned>(b->surface_id));
    } else {
      DebugPrint("  lpDDS:%.08x\n", Address(b->surface));
    }
    int index = 0;
    int shown = 0;
    for (int p = kPriorityCount - 1; p >= 0 && shown < kLinesShown; --p) {
      const SprLink* tail = &b->tail[static_cast<size_t>(p)];
      for (const SprLink* n = b->head[static_cast<size_t>(p)].next;
           n != tail && shown < kLinesShown; n = n->next, ++index) {
        if (index < first) continue;
        ++shown;
        const auto* e = static_cast<const SprBufferEntry*>(n);
        DebugPrint("    No:%3d Pr:%2d", index, e->priority);
        if (e->type == kSprEntryPolygon) {
          const PolygonBlock& q = e->polygon;
          DebugPrint(" Poly:");
          DebugPrint(" XY(%4d,%4d)", q.x, q.y);
          DebugPrint(" Color:%04x\n", q.color);
          DebugPrint("\tA(%4d,%4d) B(%4d,%4d)", q.corner[0].x, q.corner[0].y, q.corner[1].x,
                     q.corner[1].y);
          DebugPrint(" C(%4d,%4d) D(%4d,%4d)", q.corner[2].x, q.corner[2].y, q.corner[3].x,
                     q.corner[3].y);
        } else {
          DebugPrint(" Spr:(W:%4d,H:%4d)", e->sprite != nullptr ? e->sprite->width : 0,
                     e->sprite != nullptr ? e->sprite->height : 0);
          DebugPrint(" XY(%4d,%4d)", e->x, e->y);
          if (e->alpha != kOpaque) DebugPrint(" A:%05xh", e->alpha);
          if (e->zoom_x != kZoomOne || e->zoom_y != kZoomOne) {
            DebugPrint(" Zoom(%d.%1d,%d.%1d)", e->zoom_x >> 16, (e->zoom_x & 0xFFFF) / 6553,
                       e->zoom_y >> 16, (e->zoom_y & 0xFFFF) / 6553);
          }
          if (e->has_zoom4) DebugPrint(" Now Zoom4");
          if (e->rotation != 0) {
            DebugPrint(" Rot:%d", static_cast<int>(e->rotation * 180.0 / std::numbers::pi / 256.0));
          }
          if (e->blt_flags != 0) {
            DebugPrint(" Rev%02x", e->mirror != nullptr ? e->mirror->ddfx : e->blt_flags);
          }
        }
        DebugPrint("\n");
      }
    }
  }
  DebugPrint("CDdrawSpr::Enum Sprite Buffer End.\n");
}
