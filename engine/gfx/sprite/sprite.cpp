// Sprites: creation from a surface rectangle, the sprite list, the drawing rectangle, and the
// draw worker with its three paths (stretch blit, translucent blend, transform).

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/pixel_kernels.h"
#include "engine/gfx/sprite/sprite.h"

using platform::Surface;

namespace {

constexpr int64_t kOne = 0x10000;

// The source indices i * size / whole for i = first, first + 1, ... (first >= 0, size and whole
// > 0), each the exact quotient, kept as quotient and remainder so that a step adds instead of
// dividing.
class SourceSteps {
 public:
  SourceSteps(int64_t first, int64_t size, int64_t whole)
      : size_(size), whole_(whole), step_(size / whole), rest_(size % whole) {
    const __int128 product = static_cast<__int128>(first) * size;
    quotient_ = static_cast<int64_t>(product / whole);
    remainder_ = static_cast<int64_t>(product % whole);
  }
  // The index, counted from the end when mirrored.
  int32_t Index(bool mirror) const {
    return static_cast<int32_t>(mirror ? size_ - 1 - quotient_ : quotient_);
  }
  void Next() {
    quotient_ += step_;
    remainder_ += rest_;
    if (remainder_ >= whole_) {
      remainder_ -= whole_;
      ++quotient_;
    }
  }

 private:
  int64_t size_, whole_, step_, rest_;
  int64_t quotient_ = 0, remainder_ = 0;
};

bool FitsInt32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

}  // namespace

CDdrawSpr::CDdrawSpr(CDdrawFunc& ddraw, int mirror_blocks)
    : ddraw_(ddraw),
      entries_(std::make_unique<SprBufferEntry[]>(kEntryCount)),
      entry_stack_(std::make_unique<SprBufferEntry*[]>(kEntryCount)),
      mirrors_(std::make_unique<BltFx[]>(kMirrorBlockCount)),
      mirror_stack_(std::make_unique<BltFx*[]>(kMirrorBlockCount)) {
  for (int i = 0; i < kEntryCount; ++i) {
    entry_stack_[static_cast<size_t>(i)] = &entries_[static_cast<size_t>(i)];
  }
  entry_top_ = kEntryCount;
  mirror_top_ = std::clamp(mirror_blocks, 0, kMirrorBlockCount);
  for (int i = 0; i < mirror_top_; ++i) {
    mirror_stack_[static_cast<size_t>(i)] = &mirrors_[static_cast<size_t>(i)];
  }
}

CDdrawSpr::~CDdrawSpr() {
  DeleteAllSprite();
  DeleteAllBuffer();
}

// ---- Creation and the sprite list ----

SprRec* CDdrawSpr::CreateSprite(int x, int y, SurfaceId source, int left, int top, int right,
                                int bottom, int memory) {
  return CreateSpriteWork(x, y, ddraw_.GetSurface(source), {left, top, right, bottom}, memory);
}

SprRec* CDdrawSpr::CreateSpriteSys(int x, int y, Surface* source, Rect source_rect) {
  return CreateSpriteWork(x, y, source, source_rect, 0);
}

SprRec* CDdrawSpr::CreateSpriteWork(int x, int y, Surface* source, Rect source_rect, int memory) {
  SprRec* sprite = MakeSprite(x, y, source, source_rect, memory, true);
  if (sprite != nullptr) LinkSprite(sprite);
  return sprite;
}

// A sprite record with its own surface holding the source rectangle, not yet linked.
SprRec* CDdrawSpr::MakeSprite(int x, int y, Surface* source, Rect source_rect, int memory,
                              bool report) {
  if (source == nullptr) {
    if (report) DebugPrint("CDdrawSpr::CreateSprite: no source surface\n");
    return nullptr;
  }
  const int64_t width = int64_t{source_rect.right} - source_rect.left;
  const int64_t height = int64_t{source_rect.bottom} - source_rect.top;
  // The copy must come from inside the source: a rectangle reaching outside it would leave part
  // of the picture undefined, so it makes no sprite.
  if (width <= 0 || height <= 0 || source_rect.left < 0 || source_rect.top < 0 ||
      source_rect.right > source->width() || source_rect.bottom > source->height()) {
    DebugPrint("CDdrawSpr::CreateSprite: rectangle (%d,%d,%d,%d) is empty or outside its %dx%d "
               "surface\n",
               source_rect.left, source_rect.top, source_rect.right, source_rect.bottom,
               source->width(), source->height());
    return nullptr;
  }
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  Surface* own = memory == 0 ? ddraw_.CreateSurface(w, h) : ddraw_.CreateSurfaceVideo(w, h);
  if (own == nullptr) {
    DebugPrint("CDdrawSpr::CreateSprite: no %dx%d surface\n", w, h);
    return nullptr;
  }
  if (!ddraw_.BltSurface(source, source_rect, own, {0, 0, w, h}, 0, 0, nullptr)) {
    DebugPrint("CDdrawSpr::CreateSprite: picture copy failed\n");
    ddraw_.ReleaseSurface(own);
    return nullptr;
  }
  auto* sprite = new SprRec;
  sprite->x = x;
  sprite->y = y;
  sprite->width = w;
  sprite->height = h;
  sprite->alpha = kOpaque;
  sprite->rect = {x, y, x + w, y + h};
  sprite->surface = own;
  ++sprites_made_;
  return sprite;
}

void CDdrawSpr::LinkSprite(SprRec* sprite) {
  sprite->next = sprites_;
  sprites_ = sprite;
}

bool CDdrawSpr::UnlinkSprite(SprRec* sprite) {
  for (SprRec** link = &sprites_; *link != nullptr; link = &(*link)->next) {
    if (*link == sprite) {
      *link = sprite->next;
      sprite->next = nullptr;
      return true;
    }
  }
  return false;
}

int CDdrawSpr::IsSprite(const SprRec* sprite) const {
  if (sprite == nullptr) return 0;
  for (const SprRec* s = sprites_; s != nullptr; s = s->next) {
    if (s == sprite) return 1;
  }
  return 0;
}

int CDdrawSpr::DeleteSprite(SprRec** variable) {
  if (variable == nullptr) return 0;
  SprRec* sprite = *variable;
  *variable = nullptr;
  if (sprite == nullptr || !UnlinkSprite(sprite)) return 0;
  RemoveEntriesOf(sprite);
  ddraw_.ReleaseSurface(sprite->surface);
  delete sprite;
  return 1;
}

void CDdrawSpr::DeleteAllSprite() {
  while (sprites_ != nullptr) {
    SprRec* sprite = sprites_;
    DeleteSprite(&sprite);
  }
}

// Entries must not outlive the pictures they show or the surface they stand on: both kinds are
// removed (their holders' handles become stale, which DeleteBuffer and the setters tolerate).
void CDdrawSpr::RemoveEntriesOf(SprRec* sprite) {
  if (sprite->entries == 0 && FindBuffer(0, sprite->surface) == nullptr) return;
  int removed = 0;
  for (int i = 0; i < kEntryCount; ++i) {
    SprBufferEntry* e = &entries_[static_cast<size_t>(i)];
    if (!e->in_use) continue;
    const bool shows = e->type == kSprEntrySprite && e->sprite == sprite;
    const bool stands_on = e->surface_id == 0 && e->surface == sprite->surface;
    if (shows || stands_on) {
      RemoveEntry(e);
      ++removed;
    }
  }
  DebugPrint("CDdrawSpr::DeleteSprite: removed %d sprite-buffer entries of the sprite\n", removed);
}

SprRec* CDdrawSpr::CopySprite(const SprRec* sprite, SprRec* target) {
  if (sprite == nullptr) return nullptr;
  const Rect whole{0, 0, sprite->width, sprite->height};
  if (target != nullptr && target->width == sprite->width && target->height == sprite->height) {
    target->x = sprite->x;
    target->y = sprite->y;
    target->alpha = sprite->alpha;
    target->rect = sprite->rect;
    ddraw_.BltSurface(sprite->surface, whole, target->surface, whole, 0, 0, nullptr);
    return target;
  }
  SprRec* copy = MakeSprite(sprite->x, sprite->y, sprite->surface, whole, 0, true);
  if (copy == nullptr) return nullptr;
  copy->alpha = sprite->alpha;
  copy->rect = sprite->rect;
  LinkSprite(copy);
  return copy;
}

bool CDdrawSpr::CopySpriteToWork(const SprRec* sprite, SprRec& work) {
  if (sprite == nullptr || sprite->surface == nullptr) return false;
  Surface* surface = ddraw_.GetSurface(SURFACE_SCRATCH);
  if (surface == nullptr || surface == sprite->surface || sprite->width > surface->width() ||
      sprite->height > surface->height()) {
    return false;
  }
  const Rect whole{0, 0, sprite->width, sprite->height};
  if (!ddraw_.BltSurface(sprite->surface, whole, surface, whole, 0, 0, nullptr)) return false;
  work = SprRec{};
  work.x = sprite->x;
  work.y = sprite->y;
  work.width = sprite->width;
  work.height = sprite->height;
  work.alpha = sprite->alpha;
  work.rect = sprite->rect;
  work.surface = surface;
  return true;
}

// ---- Fields and the drawing rectangle ----

int CDdrawSpr::SetSpriteAlpha(SprRec* sprite, BlendWord alpha) {
  if (sprite == nullptr) return 0;
  sprite->alpha = alpha;
  return 1;
}

Surface* CDdrawSpr::GetSpriteSurface(const SprRec* sprite) const {
  return sprite != nullptr ? sprite->surface : nullptr;
}

int CDdrawSpr::GetSpriteSize(const SprRec* sprite, int* width, int* height) const {
  if (width != nullptr) *width = sprite != nullptr ? sprite->width : 0;
  if (height != nullptr) *height = sprite != nullptr ? sprite->height : 0;
  return sprite != nullptr ? 1 : 0;
}

int CDdrawSpr::SetSpriteRect(SprRec* sprite, int x, int y) {
  if (sprite == nullptr) return 0;
  sprite->rect = {x, y, x + sprite->width, y + sprite->height};
  return 1;
}

int CDdrawSpr::ResetSpriteRect(SprRec* sprite) {
  if (sprite == nullptr) return 0;
  return SetSpriteRect(sprite, sprite->x, sprite->y);
}

int CDdrawSpr::SetSpriteScale(SprRec* sprite, int horizontal, int vertical) {
  if (sprite == nullptr) return 0;
  // One axis: the home start and size, a percent -> the new start and end.
  auto axis = [](int32_t home, int32_t size, int percent, int32_t& from, int32_t& to) {
    percent = std::max(percent, 0);
    if (percent == 0) {
      from = home + size / 2;
      to = from + 1;
      return;
    }
    const int64_t scaled = int64_t{size} * percent / 100;
    const int64_t start = home + (size - scaled) / 2;
    from = static_cast<int32_t>(std::clamp<int64_t>(start, INT32_MIN, INT32_MAX));
    to = static_cast<int32_t>(std::clamp<int64_t>(start + scaled, INT32_MIN, INT32_MAX));
  };
  axis(sprite->x, sprite->width, horizontal, sprite->rect.left, sprite->rect.right);
  axis(sprite->y, sprite->height, vertical, sprite->rect.top, sprite->rect.bottom);
  return 1;
}

int CDdrawSpr::SetSpriteTurn(SprRec* sprite, int angle1, int angle2) {
  if (sprite == nullptr) return 0;
  auto percent = [](int degrees) {
    return static_cast<int>(std::cos(degrees * std::numbers::pi / 180.0) * 100.0);
  };
  return SetSpriteScale(sprite, percent(angle2), percent(angle1));
}

int CDdrawSpr::BltToSprite(SprRec* sprite, Rect source_rect, Rect destination_rect,
                           SurfaceId source, int color_key) {
  if (sprite == nullptr) return 0;
  return ddraw_.BltToSurface(source, source_rect, sprite->surface, destination_rect, color_key);
}

int CDdrawSpr::ClearSpriteArea(SprRec* sprite, int dx, int dy, SurfaceId id, int fill) {
  if (sprite == nullptr) return 0;
  return ddraw_.FillSurfaceRect(id, sprite->x + dx, sprite->y + dy,
                                sprite->x + sprite->width + dx, sprite->y + sprite->height + dy,
                                fill);
}

// ---- Drawing ----

int CDdrawSpr::PutSprite(SprRec* sprite, int x, int y, SurfaceId id, int color_key) {
  return PutSpriteToSurface(sprite, x, y, ddraw_.GetSurface(id), color_key);
}

int CDdrawSpr::PutSpriteToSurface(SprRec* sprite, int x, int y, Surface* surface, int color_key) {
  return PutSpriteZoom(sprite, x, y, surface, color_key, kZoomOne, kZoomOne);
}

int CDdrawSpr::PutSpriteZoom(SprRec* sprite, int x, int y, Surface* surface, int color_key,
                             int32_t zoom_x, int32_t zoom_y) {
  return PutSpriteEx(sprite, x, y, surface, color_key, 0, nullptr, zoom_x, zoom_y, 0, nullptr, 0,
                     0, kOpaque);
}

int CDdrawSpr::PutSpriteEx(SprRec* sprite, int x, int y, Surface* destination, int color_key,
                           uint32_t blt_flags, const BltFx* fx, int32_t zoom_x, int32_t zoom_y,
                           int32_t rotation, const int32_t* zoom4, int32_t center_x,
                           int32_t center_y, BlendWord alpha) {
  if (sprite == nullptr) return 0;
  const Rect source_rect{0, 0, sprite->width, sprite->height};
  const int64_t dw = int64_t{sprite->rect.right} - sprite->rect.left;
  const int64_t dh = int64_t{sprite->rect.bottom} - sprite->rect.top;
  // The zoomed picture's edges about the centre, each rounded outward to a whole pixel (C++
  // division truncates toward zero, as the rounding needs).
  const int64_t left = (-int64_t{center_x} * zoom_x - (kOne - 1)) / kOne;
  const int64_t right = ((dw - center_x) * zoom_x + (kOne - 1)) / kOne;
  const int64_t top = (-int64_t{center_y} * zoom_y - (kOne - 1)) / kOne;
  const int64_t bottom = ((dh - center_y) * zoom_y + (kOne - 1)) / kOne;
  const int64_t l = sprite->rect.left + left + x;
  const int64_t t = sprite->rect.top + top + y;
  const int64_t r = sprite->rect.left + right + x;
  const int64_t b = sprite->rect.top + bottom + y;
  if (r - l <= 0 || b - t <= 0) return 1;
  if (!FitsInt32(l) || !FitsInt32(t) || !FitsInt32(r) || !FitsInt32(b) || !FitsInt32(r - l) ||
      !FitsInt32(b - t)) {
    DebugPrint("CDdrawSpr::PutSpriteEx: destination out of range\n");
    return 0;
  }
  if (destination == nullptr) {
    DebugPrint("CDdrawSpr::PutSpriteEx: no destination surface\n");
    return 0;
  }
  const Rect destination_rect{static_cast<int32_t>(l), static_cast<int32_t>(t),
                              static_cast<int32_t>(r), static_cast<int32_t>(b)};
  if (alpha == kOpaque) alpha = sprite->alpha;
  if (alpha != kOpaque) {
    return PutTranslucent(sprite, destination_rect, destination, color_key, blt_flags, fx, alpha);
  }
  if (rotation == 0 && zoom4 == nullptr) {
    return ddraw_.BltSurface(sprite->surface, source_rect, destination, destination_rect,
                             color_key, blt_flags, fx);
  }
  return ddraw_.PutTransform(sprite->surface, &source_rect, destination, &destination_rect,
                             color_key, blt_flags, fx, rotation, zoom4,
                             static_cast<int32_t>(left), static_cast<int32_t>(right),
                             static_cast<int32_t>(top), static_cast<int32_t>(bottom));
}

// Translucent draws. The same size without Blt flags blends straight from the sprite. Otherwise
// the picture is stretched (and mirrored) without key into a cushion and blended from there.
// Only the part of the destination that lies on the target is stretched: each cushion pixel
// takes the source pixel the full-size stretch would have put there, so the result is the same
// as stretching the whole picture, while a huge zoom needs no huge cushion. The cushion is
// surface 12 when the part fits it, else a temporary surface for this draw.
int CDdrawSpr::PutTranslucent(SprRec* sprite, const Rect& d, Surface* destination, int color_key,
                              uint32_t blt_flags, const BltFx* fx, BlendWord alpha) {
  const Rect source_rect{0, 0, sprite->width, sprite->height};
  if (d.right - d.left == sprite->width && d.bottom - d.top == sprite->height && blt_flags == 0) {
    return ddraw_.BltAlpha(sprite->surface, source_rect, destination, d, color_key, alpha);
  }
  const Rect visible{std::max(d.left, 0), std::max(d.top, 0),
                     std::min(d.right, destination->width()),
                     std::min(d.bottom, destination->height())};
  if (visible.right <= visible.left || visible.bottom <= visible.top) return 1;
  const int vw = visible.right - visible.left;
  const int vh = visible.bottom - visible.top;

  Surface* cushion = ddraw_.GetSurface(SURFACE_SCRATCH);
  bool temporary = false;
  // Not the working surface when the picture itself sits there (CopySpriteToWork).
  if (cushion == nullptr || cushion == destination || cushion == sprite->surface ||
      vw > cushion->width() || vh > cushion->height()) {
    cushion = ddraw_.CreateSurface(vw, vh);
    if (cushion == nullptr) {
      DebugPrint("CDdrawSpr::PutSpriteEx: no %dx%d cushion surface\n", vw, vh);
      return 0;
    }
    temporary = true;
  }
  int result = 0;
  if (StretchVisible(sprite, d, visible, cushion,
                     MirrorBit(blt_flags, fx, kBltFxMirrorLeftRight),
                     MirrorBit(blt_flags, fx, kBltFxMirrorUpDown),
                     ddraw_.HiddenInCompose(destination, visible))) {
    result = ddraw_.BltAlpha(cushion, {0, 0, vw, vh}, destination, visible, color_key, alpha);
  }
  if (temporary) ddraw_.ReleaseSurface(cushion);
  return result;
}

// Fills (0, 0, visible width, visible height) of the cushion with the part `visible` of the
// sprite stretched onto `full`: destination column i of the full rectangle takes source column
// i * width / full width (reversed when mirrored), rows likewise.
bool CDdrawSpr::StretchVisible(const SprRec* sprite, const Rect& full, const Rect& visible,
                               Surface* cushion, bool mirror_x, bool mirror_y, bool hidden) {
  Surface* source = sprite->surface;
  if (source == nullptr) return false;
  if (cushion->IsLost() && !ddraw_.RestoreAllSurfaces()) return false;
  if (source->IsLost() || cushion->IsLost() || source->locked() || cushion->locked()) {
    DebugPrint("CDdrawSpr::PutSpriteEx: cushion or sprite surface unavailable\n");
    return false;
  }
  // A layer still to be drawn overwrites the whole part: the blend leaves it out, so the cushion
  // is not filled either.
  if (hidden) return true;
  const int64_t sw = sprite->width;
  const int64_t sh = sprite->height;
  const int64_t fw = int64_t{full.right} - full.left;
  const int64_t fh = int64_t{full.bottom} - full.top;
  const int vw = visible.right - visible.left;
  const int vh = visible.bottom - visible.top;
  columns_.resize(static_cast<size_t>(vw));
  const int64_t first_column = int64_t{visible.left} - full.left;
  SourceSteps column(first_column, sw, fw);
  for (int a = 0; a < vw; ++a, column.Next()) {
    columns_[static_cast<size_t>(a)] = column.Index(mirror_x);
  }
  const int64_t first_row = int64_t{visible.top} - full.top;
  SourceSteps row(first_row, sh, fh);
  const int32_t* columns = columns_.data();
  for (int b = 0; b < vh; ++b, row.Next()) {
    const uint16_t* in = std::as_const(*source).Row(row.Index(mirror_y));
    uint16_t* out = cushion->Row(b);
    pixel_kernels::GatherRow(in, static_cast<int>(sw), columns, out, vw, nullptr);
  }
  return true;
}
