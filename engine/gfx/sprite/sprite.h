#pragma once
// CDdrawSpr: sprites and the sprite buffer. One lives in the engine context (Ctx().ddraw_spr).
//
// A sprite (SprRec) is a picture copied from a rectangle of a surface into a surface of its own,
// with a drawing rectangle that says where and how large it is drawn: it starts as the picture's
// home position at full size, every draw adds its position to it, and a smaller rectangle scales
// the picture into it (SetSpriteScale, SetSpriteTurn).
//
// The sprite buffer is a retained display list. An entry (SprBufferEntry) places a sprite, or a
// solid four-cornered polygon, on a target surface with position, zoom (16.16), rotation
// (radians x 256), mirroring and an alpha word (BlendWord: level 0-256 in the low half, blend
// mode in the high half; exactly 256 means "the sprite's own alpha"). Each target has its own
// buffer of 2048 priority lists, drawn from 2047 down to 0: priority 0 is in front, and within
// one priority the newest entry is on top. Targets are named by surface id (SetBuffer; the
// buffer stays until DeleteAllBuffer) or, for surfaces outside the numbered table such as a
// window sprite's own surface, by surface pointer (SetBufferSurface; the buffer goes with its
// last entry). An entry without a name is a one-frame entry: the next draw of its buffer draws
// it once and removes it. A named entry ("Buffered") stays until it is deleted.
//
// The compose draws the buffer of each visible layer after the layer's picture, then the back
// buffer's (id 2), then those of the visible debug surfaces, through the display's compose hooks.
// Changing the buffer requests no compose: callers set the update bit of the surface.
//
// Entries and mirroring blocks come from fixed pools of 1024 each; making or removing an entry
// never allocates (only a target's first entry makes its buffer). When a pool is empty the entry
// is not made (null). Deleting a sprite also removes the entries that show it and the entries
// placed on its own surface, so no entry is left pointing at a freed picture; an entry handle
// that has been removed is safe to delete again (0) and setters ignore it.
//
// Every call accepts a null sprite or entry and then does nothing and returns 0 (or null).
// Handle-deleting calls take the address of the caller's variable and clear it first.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/gfx/pixels/blend_blit.h"
#include "engine/gfx/gfx_types.h"

class CDdrawFunc;

namespace platform {
class Surface;
}

struct SprRec {
  int32_t x = 0;  // home position
  int32_t y = 0;
  int32_t width = 0;  // the picture (= the own surface's size)
  int32_t height = 0;
  BlendWord alpha = 256;  // the sprite's own alpha word, used where a draw asks for 256
  Rect rect;              // the drawing rectangle
  platform::Surface* surface = nullptr;  // owned through the display object
  SprRec* next = nullptr;                // sprite list, newest first
  int32_t entries = 0;                   // live sprite-buffer entries showing this sprite
};

// A link of a priority list: an entry, or one of the list's two end nodes. A list reads head
// node, entries oldest to newest, tail node; the tail's next is null.
struct SprLink {
  SprLink* next = nullptr;
  SprLink* prev = nullptr;
};

constexpr int32_t kSprEntrySprite = 0;
constexpr int32_t kSprEntryPolygon = 1;

struct SprBufferEntry : SprLink {
  const char* name = nullptr;  // null: one-frame entry
  SurfaceId surface_id = 0;    // target id, 0 when the target is given by pointer
  platform::Surface* surface = nullptr;  // target when the id is 0
  int32_t priority = 0;                  // 0 (front) .. 2047 (back)
  int32_t type = kSprEntrySprite;

  // Sprite entry.
  SprRec* sprite = nullptr;
  uint32_t color_key = 0;  // nonzero: key pixels are transparent
  int32_t x = 0;           // added to the sprite's drawing rectangle
  int32_t y = 0;
  int32_t rotation = 0;  // radians x 256
  int32_t zoom_x = 0x10000;
  int32_t zoom_y = 0x10000;
  int32_t center_x = 0;  // zoom and rotation centre, from the drawing rectangle's top-left
  int32_t center_y = 0;
  // Four 16.16 factors of the perspective draw (top width, right height, bottom width, left
  // height), present once SetBufferZoom4 has been called.
  bool has_zoom4 = false;
  std::array<int32_t, 4> zoom4{};
  BlendWord alpha = 256;
  uint32_t blt_flags = 0;   // kBltDdFx when mirrored
  BltFx* mirror = nullptr;  // from the mirror pool, only when mirrored

  // Polygon entry (origin, corners, angles, zoom, colour, distance).
  PolygonBlock polygon;

  bool in_use = false;  // taken from the pool and linked into a buffer
};

struct SprBuffer {
  static constexpr int kPriorityCount = 2048;

  SprBuffer* next = nullptr;
  SurfaceId surface_id = 0;  // 0: keyed by surface pointer
  platform::Surface* surface = nullptr;
  uint32_t count = 0;
  std::array<SprLink, kPriorityCount> head;
  std::array<SprLink, kPriorityCount> tail;
  // Bit p % 64 of word p / 64 is set when list p may hold entries (set when one is added, cleared
  // by the draw walk when it finds the list empty), so the walk visits only those lists.
  std::array<uint64_t, kPriorityCount / 64> used{};

  // The entries in drawing order (the lists from 2047 down to 0, each oldest first), kept by the
  // draw walk so that a walk over unchanged lists reads one array instead of chasing the links
  // (each a cache miss once a frame's pixels have gone through the cache). Valid while
  // `order_valid`: an entry added behind the last one in drawing order is appended, any other
  // change to the lists clears it, and the next walk, going by the lists, lays it out again.
  static constexpr int kOrderCapacity = 1024;
  std::array<SprBufferEntry*, kOrderCapacity> order{};
  uint32_t order_count = 0;
  bool order_valid = true;
  // Counts every entry linked into or taken out of the lists, so a walk sees a change made
  // under one of its draws.
  uint32_t changes = 0;
  // Walks of this buffer running (a draw may start another one).
  int walks = 0;
};

class CDdrawSpr {
 public:
  static constexpr int kPriorityCount = SprBuffer::kPriorityCount;
  static constexpr int kEntryCount = 1024;
  static constexpr int kMirrorBlockCount = 1024;
  static constexpr BlendWord kOpaque = 256;
  static constexpr int32_t kZoomOne = 0x10000;
  // Mirror flags of SetBuffer / SetBufferSurfaceEx.
  static constexpr uint32_t kMirrorLeftRight = 0x10;
  static constexpr uint32_t kMirrorUpDown = 0x20;
  // The name callers give persistent entries.
  static constexpr const char* kBuffered = "Buffered";
  static_assert(kEntryCount <= SprBuffer::kOrderCapacity);

  // `mirror_blocks` (at most 1024) sizes the mirroring-block pool; the game uses the full pool,
  // tests a small one to reach its end.
  explicit CDdrawSpr(CDdrawFunc& ddraw, int mirror_blocks = kMirrorBlockCount);
  // Deletes every sprite, then every entry and buffer.
  ~CDdrawSpr();
  CDdrawSpr(const CDdrawSpr&) = delete;
  CDdrawSpr& operator=(const CDdrawSpr&) = delete;

  // ---- Sprites ----
  // A new sprite at home (x, y) holding a copy of the source rectangle (no colour key), or null
  // when the rectangle is empty or outside the source or no surface can be made. Memory flag 0:
  // system memory; otherwise video memory, falling back to system memory.
  SprRec* CreateSprite(int x, int y, SurfaceId source, int left, int top, int right, int bottom,
                       int memory = 0);
  SprRec* CreateSpriteSys(int x, int y, platform::Surface* source, Rect source_rect);
  SprRec* CreateSpriteWork(int x, int y, platform::Surface* source, Rect source_rect, int memory);
  // Clears *sprite; when it is a live sprite, removes the entries that show it or stand on its
  // surface, releases its surface and frees it: 1; 0 for null or an unknown sprite.
  int DeleteSprite(SprRec** sprite);
  void DeleteAllSprite();
  // Into a target of the same size: its fields and picture become the sprite's (returns the
  // target). Otherwise a new system-memory copy (null on failure).
  SprRec* CopySprite(const SprRec* sprite, SprRec* target);
  // A copy of the sprite without a new sprite, for a draw of the sprite onto its own surface:
  // `work` takes the sprite's fields and, as its surface, the working surface (SURFACE_SCRATCH)
  // with the picture at its top left. False (work untouched) when there is no working surface,
  // the picture does not fit it or the copy fails; the caller then makes a sprite copy. `work`
  // is no sprite of the list (no entry may show it) and holds until the working surface's next
  // use.
  bool CopySpriteToWork(const SprRec* sprite, SprRec& work);
  int IsSprite(const SprRec* sprite) const;
  int SetSpriteAlpha(SprRec* sprite, BlendWord alpha);
  platform::Surface* GetSpriteSurface(const SprRec* sprite) const;
  // Either pointer may be null; 0 and 0 (result 0) for a null sprite.
  int GetSpriteSize(const SprRec* sprite, int* width, int* height) const;
  // Drawing rectangle := (x, y, x + width, y + height).
  int SetSpriteRect(SprRec* sprite, int x, int y);
  // Drawing rectangle := home position at full size.
  int ResetSpriteRect(SprRec* sprite);
  // Shrinks (or grows) the drawing rectangle about the home rectangle's centre to the percents
  // (negative counts as 0; 0 leaves a one-pixel line).
  int SetSpriteScale(SprRec* sprite, int horizontal, int vertical);
  // The card turn: height percent cos(angle1) x 100, width percent cos(angle2) x 100 (degrees,
  // truncated).
  int SetSpriteTurn(SprRec* sprite, int angle1, int angle2);
  // Blits a rectangle of a surface into the sprite's own surface.
  int BltToSprite(SprRec* sprite, Rect source_rect, Rect destination_rect, SurfaceId source,
                  int color_key);
  // Fills (home x + dx, home y + dy) at the sprite's size on the surface: fill 1 transparent,
  // 0 black.
  int ClearSpriteArea(SprRec* sprite, int dx, int dy, SurfaceId id, int fill);
  // Immediate draws (no buffer entry).
  int PutSprite(SprRec* sprite, int x, int y, SurfaceId id, int color_key);
  int PutSpriteToSurface(SprRec* sprite, int x, int y, platform::Surface* surface, int color_key);
  int PutSpriteZoom(SprRec* sprite, int x, int y, platform::Surface* surface, int color_key,
                    int32_t zoom_x, int32_t zoom_y);
  // The draw worker. The destination is the drawing rectangle moved by (x, y) and zoomed about
  // the centre with both ends rounded outward; an empty one draws nothing (1). Alpha 256 takes
  // the sprite's own alpha. Translucent: one alpha blit when the size is unchanged and there
  // are no Blt flags, else the visible part is stretched (and mirrored) into a cushion and
  // blended from there. Opaque: a stretch blit, or the transform draw with rotation or a
  // four-corner block. 0 for a null sprite, no destination or a failed blit.
  int PutSpriteEx(SprRec* sprite, int x, int y, platform::Surface* destination, int color_key,
                  uint32_t blt_flags, const BltFx* fx, int32_t zoom_x, int32_t zoom_y,
                  int32_t rotation, const int32_t* zoom4, int32_t center_x, int32_t center_y,
                  BlendWord alpha);
  // Debug listing of the sprites from index `first` (trace only).
  void EnumSpriteList(int first) const;

  // ---- Sprite buffer ----
  // A new sprite entry in the buffer of the surface id; priority below 0 becomes 2047 and 2048
  // or more becomes 0 (both traced). Mirror flags 0x10 / 0x20. Null when a pool is empty.
  SprBufferEntry* SetBuffer(const char* name, SprRec* sprite, int x, int y, SurfaceId id,
                            int color_key, int priority = 0, uint32_t mirror = 0);
  // The same for a surface pointer: a numbered surface uses its id's buffer, any other surface
  // a buffer of its own.
  SprBufferEntry* SetBufferSurface(const char* name, SprRec* sprite, int x, int y,
                                   platform::Surface* surface, int color_key);
  SprBufferEntry* SetBufferSurfaceEx(const char* name, SprRec* sprite, int x, int y,
                                     platform::Surface* surface, int color_key, int priority,
                                     uint32_t mirror);
  // A polygon entry: corners 0, angles 0, zoom 1.0, colour 0, distance 0.
  SprBufferEntry* SetPolygonBuffer(const char* name, SurfaceId id, int priority);
  // Clear *entry and remove the entry: 1; 0 for null or an entry that is not live.
  int DeleteBuffer(SprBufferEntry** entry);
  // The same, removing the entry only when it is found in a list of its buffer.
  int DeleteBufferChecked(SprBufferEntry** entry);
  void DeleteAllBuffer();

  // Setters: 1 done; 0 for null, a removed entry or an entry of the other type.
  int SetBufferPos(SprBufferEntry* entry, int x, int y);  // sprite: x, y; polygon: origin
  int SetBufferPosPt(SprBufferEntry* entry, const PolygonPoint& point);
  int GetBufferPos(const SprBufferEntry* entry, int* x, int* y) const;
  int SetBufferCenter(SprBufferEntry* entry, int x, int y);
  // Moves the entry to the priority as its newest entry (range rule as at creation).
  int SetBufferPriority(SprBufferEntry* entry, int priority);
  int SetBufferZoom(SprBufferEntry* entry, int32_t zoom_x, int32_t zoom_y);  // negative -> 0
  int SetBufferRotZ(SprBufferEntry* entry, int32_t rotation);
  int SetBufferZoom4(SprBufferEntry* entry, const int32_t* words);
  int SetBufferAlpha(SprBufferEntry* entry, BlendWord alpha);
  int SetPolygonPoint(SprBufferEntry* entry, int corner, const PolygonPoint& point);
  int SetPolygonWord(SprBufferEntry* entry, int n, int32_t angle);
  // The colour matched on the back buffer (surface 2).
  int SetPolygonColor(SprBufferEntry* entry, ColorRef color);
  int SetPolygonDistance(SprBufferEntry* entry, int32_t distance);

  // Draws the buffer of the surface id onto the back buffer at the layer's screen position
  // (0, 0 for other ids). 0 when the id has no surface, else 1 (also without a buffer).
  int DrawBuffer(SurfaceId id);
  int DrawBufferAt(SurfaceId id, platform::Surface* destination);
  // Draws the buffer kept for the sprite's own surface onto the back buffer, offset by the
  // sprite's drawing rectangle's top-left corner. 0 when the sprite has no surface.
  int DrawSpriteBuffer(const SprRec* sprite);
  // The draw walk: priorities 2047 down to 0, oldest to newest, one-frame entries removed after
  // their draw, stopping once as many entries as the buffer held have been visited. Returns the
  // number visited.
  int DrawBufferList(SprBuffer* buffer, int ox, int oy, platform::Surface* destination);
  // The buffer of a surface id (nonzero) or of a surface pointer (id 0), or null.
  SprBuffer* FindBuffer(SurfaceId id, const platform::Surface* surface) const;
  // Debug listing of the buffers' entries from index `first` (trace only).
  void EnumSpriteBuffer(int first) const;

  // Free pool records (for callers that want to know how many entries they may still make).
  int FreeEntryCount() const { return entry_top_; }
  int FreeMirrorBlockCount() const { return mirror_top_; }
  // Sprites made since this object was made (cut from a surface, or copied into a new sprite;
  // a copy into a sprite of the same size makes none). Making a sprite copies its picture into a
  // new surface, a frame's set-up work: the frame benchmarks tell such frames from those that
  // only draw what is there.
  uint64_t sprites_made() const { return sprites_made_; }

 private:
  SprRec* MakeSprite(int x, int y, platform::Surface* source, Rect source_rect, int memory,
                     bool report);
  void LinkSprite(SprRec* sprite);
  bool UnlinkSprite(SprRec* sprite);
  void RemoveEntriesOf(SprRec* sprite);

  int PutTranslucent(SprRec* sprite, const Rect& destination_rect,
                     platform::Surface* destination, int color_key, uint32_t blt_flags,
                     const BltFx* fx, BlendWord alpha);
  // Fills the cushion with the part `visible` of the stretched sprite; with `hidden` (a layer
  // still to be drawn overwrites the part) only checks the surfaces.
  bool StretchVisible(const SprRec* sprite, const Rect& full, const Rect& visible,
                      platform::Surface* cushion, bool mirror_x, bool mirror_y, bool hidden);

  static int CheckPriority(int priority);
  SprBufferEntry* TakeEntry();
  bool IsLiveEntry(const SprBufferEntry* entry) const;
  SprBufferEntry* MakeSpriteEntry(const char* name, SprRec* sprite, int x, int y, SurfaceId id,
                                  platform::Surface* surface, int color_key, int priority,
                                  uint32_t mirror);
  void LinkBuffer(SprBufferEntry* entry);
  void Detach(SprBuffer* buffer, SprBufferEntry* entry);
  // Draws one entry of a walk; a one-frame entry is removed (true).
  bool DrawEntry(SprBufferEntry* entry, int ox, int oy, platform::Surface* destination);
  void UnlinkBuffer(SprBufferEntry* entry);
  void RemoveEntry(SprBufferEntry* entry);
  void FreeBuffer(SprBuffer* buffer);

  CDdrawFunc& ddraw_;

  SprRec* sprites_ = nullptr;
  SprBuffer* buffers_ = nullptr;
  // The running walks, innermost first (a draw may start another one): the link each goes to
  // next, moved on when that entry leaves its list during a draw. A buffer under a walk is not
  // freed (SprBuffer::walks).
  struct WalkPosition {
    SprLink* next = nullptr;
    WalkPosition* outer = nullptr;
  };
  WalkPosition* walks_ = nullptr;

  std::unique_ptr<SprBufferEntry[]> entries_;
  std::unique_ptr<SprBufferEntry*[]> entry_stack_;
  int entry_top_ = 0;
  std::unique_ptr<BltFx[]> mirrors_;
  std::unique_ptr<BltFx*[]> mirror_stack_;
  int mirror_top_ = 0;
  uint64_t sprites_made_ = 0;

  std::vector<int32_t> columns_;  // per-draw source columns of the cushion stretch
};
