// Framed windows: the window list, building and rebuilding the frame sprite, pieces, moving,
// opening and turning, the compose draw, the text calls and the debug listing.

#include "engine/gfx/window/window.h"

#include <algorithm>
#include <cstring>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_draw.h"

using platform::Surface;

namespace {

bool IsTranslucentStyle(int style) { return style >= 6 && style <= 9; }

unsigned Address(const void* p) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

Rect Offset(Rect r, int32_t dx, int32_t dy) {
  // Two's-complement moves: a window pushed far off screen keeps its size instead of
  // overflowing.
  auto add = [](int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
  };
  return {add(r.left, dx), add(r.top, dy), add(r.right, dx), add(r.bottom, dy)};
}

}  // namespace

CDdrawWindow::CDdrawWindow(CDdrawFunc& ddraw, CDdrawSpr& sprites, CDdrawText& text)
    : ddraw_(ddraw), sprites_(sprites), text_(text) {}

CDdrawWindow::~CDdrawWindow() { DeleteAll(); }

// ---- Windows and the list ----

WindowRec* CDdrawWindow::Create(SurfaceId id, Rect frame, Rect inner, Rect text, ColorRef color,
                                int style) {
  // Both sprites are cut from the frame rectangle of the 640 x 480 scratch surface, so the frame
  // must lie on it.
  if (frame.left < 0 || frame.top < 0 || frame.right > kScreenWidth ||
      frame.bottom > kScreenHeight || frame.left >= frame.right || frame.top >= frame.bottom) {
    DebugPrint("CDdrawWindow::Create: frame (%d,%d,%d,%d) is empty or not inside %dx%d\n",
               frame.left, frame.top, frame.right, frame.bottom, kScreenWidth, kScreenHeight);
    return nullptr;
  }
  auto* window = new WindowRec;
  window->surface_id = id;
  window->frame = frame;
  window->inner = inner;
  window->text = text;
  window->base_color = color;
  window->style = style;

  // The text sprite: a transparent copy of the frame rectangle.
  ddraw_.ClearSurface(SURFACE_SCRATCH, 1);
  window->text_sprite = sprites_.CreateSprite(frame.left, frame.top, SURFACE_SCRATCH, frame.left,
                                              frame.top, frame.right, frame.bottom);
  if (window->text_sprite == nullptr || !BuildFrameSprite(window)) {
    DebugPrint("CDdrawWindow::Create: the window's sprites cannot be made\n");
    sprites_.DeleteSprite(&window->text_sprite);
    delete window;
    return nullptr;
  }

  // Appended at the tail: list order is creation order, the drawing order of one layer.
  WindowRec** link = &head_;
  while (*link != nullptr) link = &(*link)->next;
  *link = window;
  return window;
}

// The frame sprite: the box of the base colour and style in the inner rectangle (none for the
// translucent styles, drawn at compose time), cut from surface 12 at the frame rectangle.
bool CDdrawWindow::BuildFrameSprite(WindowRec* window) {
  const Rect& f = window->frame;
  ddraw_.ClearSurface(SURFACE_SCRATCH, 1);
  if (!IsTranslucentStyle(window->style)) {
    const Rect& in = window->inner;
    ddraw_.DrawBox(SURFACE_SCRATCH, window->base_color, in.left, in.top, in.right, in.bottom,
                   window->style);
  }
  window->frame_sprite =
      sprites_.CreateSprite(f.left, f.top, SURFACE_SCRATCH, f.left, f.top, f.right, f.bottom);
  return window->frame_sprite != nullptr;
}

int CDdrawWindow::Delete(WindowRec** window) {
  if (window == nullptr) return 0;
  WindowRec* w = *window;
  *window = nullptr;
  if (w == nullptr) return 0;
  return RemoveWindow(w);
}

int CDdrawWindow::RemoveWindow(WindowRec* window) {
  if (window == nullptr) return 0;
  for (WindowRec** link = &head_; *link != nullptr; link = &(*link)->next) {
    if (*link == window) {
      *link = window->next;
      DeleteWindow(window);
      return 1;
    }
  }
  DebugPrint("CDdrawWindow::RemoveWindow: %08x is not a window\n", Address(window));
  return 0;
}

void CDdrawWindow::DeleteWindow(WindowRec* window) {
  DeleteAllPiece(window);
  sprites_.DeleteSprite(&window->frame_sprite);
  sprites_.DeleteSprite(&window->text_sprite);
  delete window;
}

int CDdrawWindow::DeleteAll() {
  while (head_ != nullptr) RemoveWindow(head_);
  return 1;
}

int CDdrawWindow::IsWindow(const WindowRec* window) const {
  if (window == nullptr) return 0;
  for (const WindowRec* w = head_; w != nullptr; w = w->next) {
    if (w == window) return 1;
  }
  return 0;
}

SprRec* CDdrawWindow::SpriteOf(const WindowRec* window, int sprite_index) const {
  if (window == nullptr) return nullptr;
  if (sprite_index == kTextSprite) return window->text_sprite;
  if (sprite_index == kFrameSprite) return window->frame_sprite;
  DebugPrint("CDdrawWindow: sprite index %d is neither 0 nor 1\n", sprite_index);
  return nullptr;
}

// ---- Compose ----

int CDdrawWindow::Draw(SurfaceId id) {
  Surface* back = ddraw_.GetSurface(SURFACE_BACK);
  if (back == nullptr) return 1;
  for (WindowRec* w = head_; w != nullptr; w = w->next) {
    if (w->surface_id != id) continue;
    if (IsTranslucentStyle(w->style)) {
      // The box shrinks toward the inner rectangle's horizontal centre and the frame's vertical
      // centre; a negative percentage counts as 0, as it does for the sprites.
      const int64_t open_x = std::max(w->open_x, 0);
      const int64_t open_y = std::max(w->open_y, 0);
      const int64_t cx = w->inner.left + (int64_t{w->inner.right} - w->inner.left) / 2;
      const int64_t cy = w->frame.top + (int64_t{w->frame.bottom} - w->frame.top) / 2;
      const auto clamp32 = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
      };
      const Rect box{clamp32(cx - (cx - w->inner.left) * open_x / 100),
                     clamp32(cy - (cy - w->inner.top) * open_y / 100),
                     clamp32(cx + (w->inner.right - cx) * open_x / 100),
                     clamp32(cy + (w->inner.bottom - cy) * open_y / 100)};
      if (box.left != box.right && box.top != box.bottom) {
        // The box is tinted in place on the back buffer: every pixel is read once and written
        // once, and colour-key pixels of the back buffer stay as they are (the tint honours the
        // key). The same picture as tinting a copy in surface 12 and copying it back, without
        // the two copies; the compose request those copies made is kept.
        ddraw_.DrawBoxEx(SURFACE_BACK, w->base_color, box, w->style, SURFACE_BACK);
        ddraw_.SetUpdate(SURFACE_BACK, 1);
      }
    }
    // Frame, then the pieces, then the text: pieces lie above the frame and below the text.
    if (w->frame_sprite != nullptr) sprites_.PutSpriteToSurface(w->frame_sprite, 0, 0, back, 1);
    if (w->text_sprite != nullptr) {
      sprites_.DrawSpriteBuffer(w->text_sprite);
      sprites_.PutSpriteToSurface(w->text_sprite, 0, 0, back, 1);
    }
  }
  return 1;
}

// ---- Text areas and pieces ----

int CDdrawWindow::ClearText(WindowRec* window) {
  if (window == nullptr) return 0;
  const Rect& t = window->text;
  return ddraw_.FillSurfaceRect(window->surface_id, t.left, t.top, t.right, t.bottom, 1);
}

int CDdrawWindow::ClearTextPiece(WindowRec* window, int sprite_index) {
  SprRec* sprite = SpriteOf(window, sprite_index);
  if (sprite == nullptr) return 0;
  // The text rectangle in the sprite's coordinates, cut to the sprite's picture.
  Rect r = Offset(window->text, -window->frame.left, -window->frame.top);
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, sprite->width);
  r.bottom = std::min(r.bottom, sprite->height);
  if (r.left >= r.right || r.top >= r.bottom) return 1;
  return ddraw_.BltColorFill(sprite->surface, r, 1);
}

int CDdrawWindow::ClearPiece(WindowRec* window, int sprite_index) {
  SprRec* sprite = SpriteOf(window, sprite_index);
  if (sprite == nullptr) return 0;
  return ddraw_.BltColorFill(sprite->surface, {0, 0, sprite->width, sprite->height}, 1);
}

int CDdrawWindow::BltToPiece(WindowRec* window, int sprite_index, Rect source_rect,
                             Rect destination_rect, SurfaceId source, int color_key) {
  SprRec* sprite = SpriteOf(window, sprite_index);
  if (sprite == nullptr) return 0;
  return sprites_.BltToSprite(sprite, source_rect, destination_rect, source, color_key);
}

SprBufferEntry* CDdrawWindow::AddPiece(WindowRec* window, SprRec* sprite, int x, int y,
                                       int sprite_index, int color_key, int priority,
                                       uint32_t mirror) {
  SprRec* target = SpriteOf(window, sprite_index);
  if (target == nullptr) return nullptr;
  SprBufferEntry* entry = sprites_.SetBufferSurfaceEx(CDdrawSpr::kBuffered, sprite, x, y,
                                                      target->surface, color_key, priority,
                                                      mirror);
  if (entry == nullptr) return nullptr;
  window->pieces = new WindowPieceNode{window->pieces, entry};
  return entry;
}

SprBufferEntry* CDdrawWindow::AddPieceShort(WindowRec* window, SprRec* sprite, int x, int y,
                                            int sprite_index, int color_key) {
  return AddPiece(window, sprite, x, y, sprite_index, color_key, 0, 0);
}

// The entry of a piece node is removed only while it still stands on one of the window's own
// sprites: the sprite service may have removed it already (its picture was deleted) and handed
// the same pool record to another holder since.
void CDdrawWindow::RemovePieceEntry(const WindowRec* window, SprBufferEntry* entry) {
  const bool ours =
      entry != nullptr && entry->in_use && entry->surface_id == 0 &&
      ((window->text_sprite != nullptr && entry->surface == window->text_sprite->surface) ||
       (window->frame_sprite != nullptr && entry->surface == window->frame_sprite->surface));
  if (ours) sprites_.DeleteBuffer(&entry);
}

int CDdrawWindow::DeletePiece(WindowRec* window, SprBufferEntry* entry) {
  if (window == nullptr || entry == nullptr) return 0;
  for (WindowPieceNode** link = &window->pieces; *link != nullptr; link = &(*link)->next) {
    WindowPieceNode* node = *link;
    if (node->entry != entry) continue;
    *link = node->next;
    RemovePieceEntry(window, node->entry);
    delete node;
    return 1;
  }
  return 0;
}

int CDdrawWindow::DeleteAllPiece(WindowRec* window) {
  if (window == nullptr) return 0;
  while (window->pieces != nullptr) {
    WindowPieceNode* node = window->pieces;
    window->pieces = node->next;
    RemovePieceEntry(window, node->entry);
    delete node;
  }
  return 1;
}

// ---- Position, opening, turning, colour ----

int CDdrawWindow::Move(WindowRec* window, int x, int y) {
  if (window == nullptr) return 0;
  const int32_t dx = static_cast<int32_t>(static_cast<uint32_t>(x) -
                                          static_cast<uint32_t>(window->frame.left));
  const int32_t dy = static_cast<int32_t>(static_cast<uint32_t>(y) -
                                          static_cast<uint32_t>(window->frame.top));
  window->frame = Offset(window->frame, dx, dy);
  window->inner = Offset(window->inner, dx, dy);
  window->text = Offset(window->text, dx, dy);
  for (SprRec* sprite : {window->text_sprite, window->frame_sprite}) {
    if (sprite == nullptr) return 0;
    // The sprites' home follows the window, so that opening, turning and ResetRect work about
    // where the window now is rather than where it was made.
    sprite->x = x;
    sprite->y = y;
    if (!sprites_.SetSpriteRect(sprite, x, y)) return 0;
  }
  return 1;
}

int CDdrawWindow::SetOpen(WindowRec* window, int percent_x, int percent_y) {
  if (window == nullptr) return 0;
  window->open_x = percent_x;
  window->open_y = percent_y;
  return sprites_.SetSpriteScale(window->text_sprite, percent_x, percent_y) != 0 &&
                 sprites_.SetSpriteScale(window->frame_sprite, percent_x, percent_y) != 0
             ? 1
             : 0;
}

int CDdrawWindow::SetTurn(WindowRec* window, int angle1, int angle2) {
  if (window == nullptr) return 0;
  return sprites_.SetSpriteTurn(window->text_sprite, angle1, angle2) != 0 &&
                 sprites_.SetSpriteTurn(window->frame_sprite, angle1, angle2) != 0
             ? 1
             : 0;
}

int CDdrawWindow::ResetRect(WindowRec* window) {
  if (window == nullptr) return 0;
  return sprites_.ResetSpriteRect(window->text_sprite) != 0 &&
                 sprites_.ResetSpriteRect(window->frame_sprite) != 0
             ? 1
             : 0;
}

int CDdrawWindow::SetColor(WindowRec* window, ColorRef color) {
  if (window == nullptr) return 0;
  window->base_color = color;
  if (IsTranslucentStyle(window->style)) return 1;  // drawn at compose time in the new colour
  sprites_.DeleteSprite(&window->frame_sprite);
  if (!BuildFrameSprite(window)) {
    DebugPrint("CDdrawWindow::SetColor: the frame sprite cannot be made\n");
    return 0;
  }
  return 1;
}

Rect* CDdrawWindow::GetTextRect(Rect* out, const WindowRec* window) const {
  if (out == nullptr || window == nullptr) return nullptr;
  *out = window->text;
  return out;
}

// ---- Text ----

// The common part of the text calls: measure, answer the line-break marker, check the block
// against the bounds, draw and request the update. The pen and the bounds are in the
// destination's coordinates; `origin` is the text rectangle's top-left corner there.
int32_t CDdrawWindow::DrawTextAt(const char* text, int64_t pen_x, int64_t pen_y, Rect bounds,
                                 int32_t origin_x, int32_t origin_y, Surface* destination,
                                 Surface* background, int background_x, int background_y,
                                 ColorRef color, SurfaceId update_id) {
  if (text == nullptr) return -1;
  const int length = static_cast<int>(std::strlen(text));
  const uint32_t size = CDdrawText::GetTextWidth(text, length);
  if (std::strcmp(text, kLineBreak) == 0) return static_cast<int32_t>(size & 0xFFFF0000u);
  const int64_t width = size & 0xFFFF;
  const int64_t height = size >> 16;
  // The block must lie inside the text rectangle: a pen left of or above it would write outside
  // the rectangle (and, at the surface's edge, before the surface's memory).
  if (pen_x < origin_x || pen_y < origin_y || pen_x + width > bounds.right ||
      pen_y + height > bounds.bottom) {
    return -1;
  }
  if (destination == nullptr) return -1;
  text_.DrawTextToSurface(text, length, static_cast<int>(pen_x), static_cast<int>(pen_y),
                          background_x, background_y, destination, background, color);
  ddraw_.SetUpdate(update_id, 1);
  return static_cast<int32_t>(size);
}

int32_t CDdrawWindow::DrawTextWindow(WindowRec* window, const char* text, int x, int y,
                                     ColorRef color) {
  if (window == nullptr) return 0;
  const Rect& t = window->text;
  Surface* background =
      window->frame_sprite != nullptr ? window->frame_sprite->surface : nullptr;
  // Every glyph cell is repainted from the frame's clean picture, so text can be redrawn in
  // place without clearing.
  return DrawTextAt(text, int64_t{t.left} + x, int64_t{t.top} + y, t, t.left, t.top,
                    ddraw_.GetSurface(window->surface_id), background, -window->frame.left,
                    -window->frame.top, color, window->surface_id);
}

int32_t CDdrawWindow::DrawTextWindowWhite(WindowRec* window, const char* text, int x, int y) {
  return DrawTextWindow(window, text, x, y, 0xFFFFFF);
}

int32_t CDdrawWindow::DrawText(WindowRec* window, int sprite_index, const char* text, int x,
                               int y, ColorRef color) {
  if (window == nullptr) return 0;
  SprRec* sprite = SpriteOf(window, sprite_index);
  if (sprite == nullptr) return -1;
  const Rect t = Offset(window->text, -window->frame.left, -window->frame.top);
  return DrawTextAt(text, int64_t{t.left} + x, int64_t{t.top} + y, t, t.left, t.top,
                    sprite->surface, nullptr, 0, 0, color, SURFACE_ALL_LAYERS);
}

int32_t CDdrawWindow::DrawText(WindowRec* window, int sprite_index, const char* text, int x,
                               int y, const GameFont* /*font*/, ColorRef color,
                               ColorRef /*second_color*/) {
  return DrawText(window, sprite_index, text, x, y, color);
}

// ---- Listing ----

int CDdrawWindow::Enum() const {
  DebugPrint("CDdrawWindow::Enum Windowite List\n");
  int index = 0;
  for (const WindowRec* w = head_; w != nullptr; w = w->next, ++index) {
    // The third field shows the frame's top.
    DebugPrint("\tNo:%03d Surface:%.02d Y:%.03d ", index, w->surface_id, w->frame.top);
    DebugPrint("BaseColer:%.08x Style:%1x\n", w->base_color, static_cast<unsigned>(w->style));
    int piece = 0;
    for (const WindowPieceNode* n = w->pieces; n != nullptr; n = n->next, ++piece) {
      DebugPrint("\t\tWindowSpr: No%3d SprBuffer:%08x\n", piece, Address(n->entry));
    }
  }
  DebugPrint("CDdrawWindow::Enum Windowite List End.\n");
  return 1;
}
