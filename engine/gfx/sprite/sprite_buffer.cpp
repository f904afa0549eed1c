// The sprite buffer: the entry and mirroring-block pools, the per-target buffers with their 2048
// priority lists, the entry setters and the draw walk.

#include <algorithm>
#include <bit>
#include <functional>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

using platform::Surface;

// ---- Entries ----

// Out-of-range priorities: below 0 goes to the back, 2048 and above to the front.
int CDdrawSpr::CheckPriority(int priority) {
  if (priority < 0) {
    DebugPrint("SprBufferPriority (%d) is illegal (<0)!\n", priority);
    return kPriorityCount - 1;
  }
  if (priority >= kPriorityCount) {
    DebugPrint("SprBufferPriority (%d) is illegal (>=%d)!\n", priority, kPriorityCount);
    return 0;
  }
  return priority;
}

SprBufferEntry* CDdrawSpr::TakeEntry() {
  if (entry_top_ == 0) return nullptr;
  SprBufferEntry* e = entry_stack_[static_cast<size_t>(--entry_top_)];
  *e = SprBufferEntry{};
  return e;
}

bool CDdrawSpr::IsLiveEntry(const SprBufferEntry* entry) const {
  if (entry == nullptr) return false;
  const auto* first = &entries_[0];
  const auto* end = first + kEntryCount;
  // Only records of this pool can be live; anything else is refused without being read.
  if (std::less<const SprBufferEntry*>()(entry, first) ||
      !std::less<const SprBufferEntry*>()(entry, end)) {
    return false;
  }
  return entry->in_use;
}

SprBufferEntry* CDdrawSpr::MakeSpriteEntry(const char* name, SprRec* sprite, int x, int y,
                                           SurfaceId id, Surface* surface, int color_key,
                                           int priority, uint32_t mirror) {
  if (sprite == nullptr) return nullptr;
  priority = CheckPriority(priority);
  SprBufferEntry* e = TakeEntry();
  if (e == nullptr) return nullptr;
  const uint32_t bits = mirror & (kMirrorLeftRight | kMirrorUpDown);
  if (bits != 0) {
    if (mirror_top_ == 0) {
      // Every mirroring block is in use: the entry is not made, as when the entry pool is empty.
      DebugPrint("CDdrawSpr::SetBuffer: no mirroring block left, entry not made\n");
      entry_stack_[static_cast<size_t>(entry_top_++)] = e;
      return nullptr;
    }
    BltFx* fx = mirror_stack_[static_cast<size_t>(--mirror_top_)];
    fx->size = 100;
    fx->ddfx = ((bits & kMirrorLeftRight) != 0 ? kBltFxMirrorLeftRight : 0) |
               ((bits & kMirrorUpDown) != 0 ? kBltFxMirrorUpDown : 0);
    e->mirror = fx;
    e->blt_flags = kBltDdFx;
  }
  e->name = name;
  e->surface_id = id;
  e->surface = id == 0 ? surface : nullptr;
  e->priority = priority;
  e->type = kSprEntrySprite;
  e->sprite = sprite;
  e->color_key = static_cast<uint32_t>(color_key);
  e->x = x;
  e->y = y;
  e->in_use = true;
  ++sprite->entries;
  LinkBuffer(e);
  return e;
}

SprBufferEntry* CDdrawSpr::SetBuffer(const char* name, SprRec* sprite, int x, int y, SurfaceId id,
                                     int color_key, int priority, uint32_t mirror) {
  return MakeSpriteEntry(name, sprite, x, y, id, nullptr, color_key, priority, mirror);
}

SprBufferEntry* CDdrawSpr::SetBufferSurface(const char* name, SprRec* sprite, int x, int y,
                                            Surface* surface, int color_key) {
  return SetBufferSurfaceEx(name, sprite, x, y, surface, color_key, 0, 0);
}

SprBufferEntry* CDdrawSpr::SetBufferSurfaceEx(const char* name, SprRec* sprite, int x, int y,
                                              Surface* surface, int color_key, int priority,
                                              uint32_t mirror) {
  if (surface == nullptr) {
    DebugPrint("CDdrawSpr::SetBufferSurface: no target surface\n");
    return nullptr;
  }
  return MakeSpriteEntry(name, sprite, x, y, ddraw_.GetSurfaceNo(surface), surface, color_key,
                         priority, mirror);
}

SprBufferEntry* CDdrawSpr::SetPolygonBuffer(const char* name, SurfaceId id, int priority) {
  priority = CheckPriority(priority);
  SprBufferEntry* e = TakeEntry();
  if (e == nullptr) return nullptr;
  e->name = name;
  e->surface_id = id;
  e->priority = priority;
  e->type = kSprEntryPolygon;
  e->polygon = PolygonBlock{};
  e->in_use = true;
  LinkBuffer(e);
  return e;
}

// ---- Buffers and lists ----

SprBuffer* CDdrawSpr::FindBuffer(SurfaceId id, const Surface* surface) const {
  for (SprBuffer* b = buffers_; b != nullptr; b = b->next) {
    if (id != 0 ? b->surface_id == id : b->surface_id == 0 && b->surface == surface) return b;
  }
  return nullptr;
}

namespace {

void InsertNewest(SprBuffer& buffer, SprBufferEntry* e) {
  SprLink& tail = buffer.tail[static_cast<size_t>(e->priority)];
  e->prev = tail.prev;
  e->next = &tail;
  tail.prev->next = e;
  tail.prev = e;
  const auto p = static_cast<size_t>(e->priority);
  buffer.used[p / 64] |= uint64_t{1} << (p % 64);
  ++buffer.changes;
  if (!buffer.order_valid) return;
  // Newest at its priority and no entry in front of it: it is drawn last.
  if (buffer.walks == 0 &&
      (buffer.order_count == 0 || buffer.order[buffer.order_count - 1]->priority >= e->priority)) {
    buffer.order[buffer.order_count++] = e;
  } else {
    buffer.order_valid = false;
  }
}

}  // namespace

void CDdrawSpr::Detach(SprBuffer* buffer, SprBufferEntry* e) {
  for (WalkPosition* w = walks_; w != nullptr; w = w->outer) {
    if (w->next == e) w->next = e->next;
  }
  e->prev->next = e->next;
  e->next->prev = e->prev;
  e->next = e->prev = nullptr;
  if (buffer == nullptr) return;
  ++buffer->changes;
  buffer->order_valid = false;
}

void CDdrawSpr::LinkBuffer(SprBufferEntry* entry) {
  SprBuffer* buffer = FindBuffer(entry->surface_id, entry->surface);
  if (buffer == nullptr) {
    buffer = new SprBuffer;
    buffer->surface_id = entry->surface_id;
    buffer->surface =
        entry->surface_id != 0 ? ddraw_.GetSurface(entry->surface_id) : entry->surface;
    for (size_t p = 0; p < static_cast<size_t>(kPriorityCount); ++p) {
      buffer->head[p].next = &buffer->tail[p];
      buffer->tail[p].prev = &buffer->head[p];
    }
    buffer->next = buffers_;
    buffers_ = buffer;
  }
  InsertNewest(*buffer, entry);
  ++buffer->count;
}

void CDdrawSpr::UnlinkBuffer(SprBufferEntry* entry) {
  SprBuffer* buffer = FindBuffer(entry->surface_id, entry->surface);
  Detach(buffer, entry);
  if (buffer == nullptr) return;
  if (buffer->count > 0) --buffer->count;
  // A buffer keyed by pointer goes with its last entry (after the walk, if one is running).
  if (buffer->surface_id == 0 && buffer->count == 0 && buffer->walks == 0) FreeBuffer(buffer);
}

void CDdrawSpr::FreeBuffer(SprBuffer* buffer) {
  if (buffer->walks > 0) return;  // emptied under its own walk: freed when the walk ends
  for (SprBuffer** link = &buffers_; *link != nullptr; link = &(*link)->next) {
    if (*link == buffer) {
      *link = buffer->next;
      delete buffer;
      return;
    }
  }
}

void CDdrawSpr::RemoveEntry(SprBufferEntry* entry) {
  UnlinkBuffer(entry);
  if (entry->type == kSprEntrySprite) {
    if (entry->mirror != nullptr) mirror_stack_[static_cast<size_t>(mirror_top_++)] = entry->mirror;
    if (entry->sprite != nullptr) --entry->sprite->entries;
  }
  entry->mirror = nullptr;
  entry->sprite = nullptr;
  entry->in_use = false;
  entry_stack_[static_cast<size_t>(entry_top_++)] = entry;
}

int CDdrawSpr::DeleteBuffer(SprBufferEntry** variable) {
  if (variable == nullptr) return 0;
  SprBufferEntry* entry = *variable;
  *variable = nullptr;
  // An entry removed earlier (by a delete, its one-frame draw or its sprite's deletion) is not
  // given back a second time: that would hand one record to two later entries.
  if (!IsLiveEntry(entry)) return 0;
  RemoveEntry(entry);
  return 1;
}

int CDdrawSpr::DeleteBufferChecked(SprBufferEntry** variable) {
  if (variable == nullptr) return 0;
  SprBufferEntry* entry = *variable;
  *variable = nullptr;
  if (!IsLiveEntry(entry)) return 0;
  const SprBuffer* buffer = FindBuffer(entry->surface_id, entry->surface);
  if (buffer == nullptr) return 0;
  const size_t p = static_cast<size_t>(entry->priority);
  for (const SprLink* n = buffer->head[p].next; n != &buffer->tail[p]; n = n->next) {
    if (n == entry) {
      RemoveEntry(entry);
      return 1;
    }
  }
  return 0;
}

void CDdrawSpr::DeleteAllBuffer() {
  for (int i = 0; i < kEntryCount; ++i) {
    SprBufferEntry* e = &entries_[static_cast<size_t>(i)];
    if (e->in_use) RemoveEntry(e);
  }
  // A buffer whose walk is running stays (empty) until the walk is over.
  SprBuffer** link = &buffers_;
  while (*link != nullptr) {
    SprBuffer* b = *link;
    if (b->walks > 0) {
      link = &b->next;
      continue;
    }
    *link = b->next;
    delete b;
  }
}

// ---- Setters ----

int CDdrawSpr::SetBufferPos(SprBufferEntry* entry, int x, int y) {
  if (!IsLiveEntry(entry)) return 0;
  if (entry->type == kSprEntryPolygon) {
    entry->polygon.x = x;
    entry->polygon.y = y;
  } else {
    entry->x = x;
    entry->y = y;
  }
  return 1;
}

int CDdrawSpr::SetBufferPosPt(SprBufferEntry* entry, const PolygonPoint& point) {
  return SetBufferPos(entry, point.x, point.y);
}

int CDdrawSpr::GetBufferPos(const SprBufferEntry* entry, int* x, int* y) const {
  if (!IsLiveEntry(entry) || entry->type != kSprEntrySprite) return 0;
  if (x != nullptr) *x = entry->x;
  if (y != nullptr) *y = entry->y;
  return 1;
}

int CDdrawSpr::SetBufferCenter(SprBufferEntry* entry, int x, int y) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntrySprite) return 0;
  entry->center_x = x;
  entry->center_y = y;
  return 1;
}

int CDdrawSpr::SetBufferPriority(SprBufferEntry* entry, int priority) {
  if (!IsLiveEntry(entry)) return 0;
  SprBuffer* buffer = FindBuffer(entry->surface_id, entry->surface);
  if (buffer == nullptr) return 0;
  // Moved within its buffer (the count does not change, so a pointer-keyed buffer stays).
  Detach(buffer, entry);
  entry->priority = CheckPriority(priority);
  InsertNewest(*buffer, entry);
  return 1;
}

int CDdrawSpr::SetBufferZoom(SprBufferEntry* entry, int32_t zoom_x, int32_t zoom_y) {
  if (!IsLiveEntry(entry)) return 0;
  zoom_x = std::max(zoom_x, 0);
  zoom_y = std::max(zoom_y, 0);
  if (entry->type == kSprEntryPolygon) {
    entry->polygon.zoom_x = zoom_x;
    entry->polygon.zoom_y = zoom_y;
  } else {
    entry->zoom_x = zoom_x;
    entry->zoom_y = zoom_y;
  }
  return 1;
}

int CDdrawSpr::SetBufferRotZ(SprBufferEntry* entry, int32_t rotation) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntrySprite) return 0;
  entry->rotation = rotation;
  return 1;
}

int CDdrawSpr::SetBufferZoom4(SprBufferEntry* entry, const int32_t* words) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntrySprite || words == nullptr) return 0;
  std::copy_n(words, 4, entry->zoom4.begin());
  entry->has_zoom4 = true;
  return 1;
}

int CDdrawSpr::SetBufferAlpha(SprBufferEntry* entry, BlendWord alpha) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntrySprite) return 0;
  entry->alpha = alpha;
  return 1;
}

int CDdrawSpr::SetPolygonPoint(SprBufferEntry* entry, int corner, const PolygonPoint& point) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntryPolygon || corner < 0 || corner > 3) return 0;
  entry->polygon.corner[corner] = point;
  return 1;
}

int CDdrawSpr::SetPolygonWord(SprBufferEntry* entry, int n, int32_t angle) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntryPolygon) return 0;
  switch (n) {
    case 0:
      entry->polygon.angle1 = angle;
      return 1;
    case 1:
      entry->polygon.angle2 = angle;
      return 1;
    case 2:
      entry->polygon.angle3 = angle;
      return 1;
    default:
      return 0;
  }
}

int CDdrawSpr::SetPolygonColor(SprBufferEntry* entry, ColorRef color) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntryPolygon) return 0;
  entry->polygon.color = ddraw_.ColorMatch(SURFACE_BACK, color);
  return 1;
}

int CDdrawSpr::SetPolygonDistance(SprBufferEntry* entry, int32_t distance) {
  if (!IsLiveEntry(entry) || entry->type != kSprEntryPolygon) return 0;
  entry->polygon.distance = distance;
  return 1;
}

// ---- Drawing ----

int CDdrawSpr::DrawBuffer(SurfaceId id) {
  return DrawBufferAt(id, ddraw_.GetSurface(SURFACE_BACK));
}

int CDdrawSpr::DrawBufferAt(SurfaceId id, Surface* destination) {
  if (ddraw_.GetSurface(id) == nullptr || destination == nullptr) return 0;
  SprBuffer* buffer = FindBuffer(id, nullptr);
  if (buffer == nullptr) return 1;
  int ox = 0;
  int oy = 0;
  if (const LayerRec* layer = ddraw_.GetLayer(id)) {
    ox = layer->screen_x;
    oy = layer->screen_y;
  }
  DrawBufferList(buffer, ox, oy, destination);
  return 1;
}

int CDdrawSpr::DrawSpriteBuffer(const SprRec* sprite) {
  if (sprite == nullptr || sprite->surface == nullptr) return 0;
  SprBuffer* buffer = FindBuffer(0, sprite->surface);
  if (buffer == nullptr) return 1;
  Surface* back = ddraw_.GetSurface(SURFACE_BACK);
  if (back == nullptr) return 0;
  DrawBufferList(buffer, sprite->rect.left, sprite->rect.top, back);
  return 1;
}

namespace {

// Asks for the lines of an entry's first 128 bytes, the fields a sprite's draw reads (the
// polygon's block comes after them).
void PrefetchEntry(const SprBufferEntry* e) {
  const auto* bytes = reinterpret_cast<const char*>(e);
  __builtin_prefetch(bytes);
  __builtin_prefetch(bytes + 64);
  __builtin_prefetch(bytes + 127);
}

}  // namespace

bool CDdrawSpr::DrawEntry(SprBufferEntry* e, int ox, int oy, Surface* destination) {
  if (e->type == kSprEntryPolygon) {
    ddraw_.DrawPolygon(destination, &e->polygon);
  } else {
    PutSpriteEx(e->sprite, ox + e->x, oy + e->y, destination, static_cast<int>(e->color_key),
                e->blt_flags, e->mirror, e->zoom_x, e->zoom_y, e->rotation,
                e->has_zoom4 ? e->zoom4.data() : nullptr, e->center_x, e->center_y, e->alpha);
  }
  // A one-frame entry goes after its draw, unless the draw took it away already (a redraw hook
  // that deleted it): removing it twice would unlink a loose record.
  if (e->name != nullptr || !e->in_use) return false;
  RemoveEntry(e);
  return true;
}

int CDdrawSpr::DrawBufferList(SprBuffer* buffer, int ox, int oy, Surface* destination) {
  if (buffer == nullptr || destination == nullptr) return 0;
  WalkPosition at{nullptr, walks_};
  walks_ = &at;
  // Only the outermost walk of a buffer reads and lays out its drawing order; a walk started
  // under one of its draws goes by the lists.
  const bool outermost = buffer->walks++ == 0;
  // The changes this walk expects: its own removals of one-frame entries. Any other means a draw
  // changed the lists, and the walk goes on by them.
  uint32_t expected = buffer->changes;
  uint32_t remaining = buffer->count;
  uint32_t kept = 0;
  int visited = 0;
  int p = kPriorityCount - 1;
  SprLink* resume = nullptr;  // where the walk by the lists starts in list p (null: its head)
  bool by_lists = !(outermost && buffer->order_valid);
  if (!by_lists) {
    const uint32_t count = buffer->order_count;
    for (uint32_t i = 0; i < count;) {
      SprBufferEntry* const e = buffer->order[i++];
      // The entry two ahead is asked for from memory: a draw between takes long enough for
      // it to arrive.
      if (i + 1 < count) PrefetchEntry(buffer->order[i + 1]);
      at.next = e->next;
      p = e->priority;
      if (DrawEntry(e, ox, oy, destination)) {
        ++expected;
      } else {
        buffer->order[kept++] = e;
      }
      ++visited;
      if (remaining > 0) --remaining;
      if (buffer->changes != expected) {
        by_lists = true;
        resume = at.next;
        break;
      }
    }
  }
  if (by_lists) {
    for (;; --p) {
      SprLink* n = resume;
      size_t word = static_cast<size_t>(p) / 64;
      if (n != nullptr) {
        resume = nullptr;
      } else {
        if (p < 0) break;
        // The next list at or below p that may hold entries (read afresh: a draw may add
        // entries).
        uint64_t bits = buffer->used[word] & (~uint64_t{0} >> (63 - p % 64));
        while (bits == 0 && word > 0) bits = buffer->used[--word];
        if (bits == 0) break;
        p = static_cast<int>(word * 64) + 63 - std::countl_zero(bits);
        n = buffer->head[static_cast<size_t>(p)].next;
      }
      const SprLink* const tail = &buffer->tail[static_cast<size_t>(p)];
      while (n != tail) {
        // The entry after this one; Detach moves it on if a draw takes that entry out of the
        // list (a surface restore during a draw runs the redraw hook).
        at.next = n->next;
        auto* e = static_cast<SprBufferEntry*>(n);
        if (DrawEntry(e, ox, oy, destination)) {
          ++expected;
        } else if (outermost && buffer->changes == expected) {
          // (After a change the order is laid out again by the next walk, so no more is kept.)
          buffer->order[kept++] = e;
        }
        ++visited;
        if (remaining > 0) --remaining;
        n = at.next;
      }
      if (buffer->head[static_cast<size_t>(p)].next == tail) {
        buffer->used[word] &= ~(uint64_t{1} << (p % 64));
      }
      // The lower lists are empty once every entry has been seen.
      if (remaining == 0) break;
    }
  }
  --buffer->walks;
  if (outermost) {
    // Every entry left was seen in order, and nothing else changed: the order holds.
    buffer->order_count = kept;
    buffer->order_valid = buffer->changes == expected && kept == buffer->count;
  }
  walks_ = at.outer;
  if (buffer->surface_id == 0 && buffer->count == 0 && buffer->walks == 0) FreeBuffer(buffer);
  return visited;
}
