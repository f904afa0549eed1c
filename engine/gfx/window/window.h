#pragma once
// CDdrawWindow: the framed windows (message windows, menus, panels, debug windows). One lives in
// the engine context (Ctx().ddraw_window).
//
// A window belongs to one compose layer and is drawn by the compose each time that layer is
// composed, before the layer's own picture (through the display's draw_windows hook). It is made
// of two sprites covering its frame rectangle:
//   sprite index 0, the text sprite: transparent, receives text (DrawText) and carries the
//     window's pieces (sprite-buffer entries kept for its own surface);
//   sprite index 1, the frame sprite: the window's box of its base colour and style, plus any
//     frame graphics copied into it (BltToPiece).
// A window is drawn as: translucent box (styles 6-9 only, blended over the back buffer at
// compose time and scaled by the open percentages), frame sprite, pieces, text sprite. Windows
// of one layer are drawn in creation order, so a later window is on top.
//
// Rectangles (frame, inner, text) are in the layer's 640 x 480 coordinates, right and bottom
// exclusive. The frame rectangle must lie inside 640 x 480. Building a window or rebuilding its
// frame (SetColor) uses scratch surface 12 and leaves it holding the new frame.
//
// Every operation takes the window first and returns 0 (or null) for a null window. The text
// calls return the size of the block drawn, (height << 16) | width, or -1 when they refuse: the
// block would leave the text rectangle (also a pen left of or above it), the text is null or the
// sprite index is neither 0 nor 1. Nothing is drawn or marked for update then.

#include <cstdint>

#include "engine/gfx/gfx_types.h"
#include "engine/gfx/text/game_font.h"

class CDdrawFunc;
class CDdrawSpr;
class CDdrawText;
struct SprRec;
struct SprBufferEntry;

// A piece of a window: a sprite-buffer entry placed on one of the window's sprites.
struct WindowPieceNode {
  WindowPieceNode* next = nullptr;
  SprBufferEntry* entry = nullptr;
};

struct WindowRec {
  WindowRec* next = nullptr;   // the window list, in creation order
  SurfaceId surface_id = 0;    // the layer the window is composed onto
  Rect frame;                  // extent of both sprites
  Rect inner;                  // where the box is drawn
  Rect text;                   // the area text may occupy
  int32_t open_x = 100;        // open percentages (100 at creation)
  int32_t open_y = 100;
  ColorRef base_color = 0;     // COLORREF of the box
  int32_t style = 0;           // box style 0-9; 6-9 translucent, drawn at compose time
  SprRec* text_sprite = nullptr;   // sprite index 0
  SprRec* frame_sprite = nullptr;  // sprite index 1
  WindowPieceNode* pieces = nullptr;  // newest first
};

class CDdrawWindow {
 public:
  static constexpr int kTextSprite = 0;
  static constexpr int kFrameSprite = 1;
  // The text that asks only for the line height: a line break for typing loops.
  static constexpr const char* kLineBreak = "$$";

  CDdrawWindow(CDdrawFunc& ddraw, CDdrawSpr& sprites, CDdrawText& text);
  // Deletes every window.
  ~CDdrawWindow();
  CDdrawWindow(const CDdrawWindow&) = delete;
  CDdrawWindow& operator=(const CDdrawWindow&) = delete;

  // ---- Windows and the list ----
  // A new window on the layer, appended to the list (drawn above the windows made before it).
  // Null when the frame rectangle is empty or not inside 640 x 480, or a sprite cannot be made.
  WindowRec* Create(SurfaceId id, Rect frame, Rect inner, Rect text, ColorRef color, int style);
  // Clears *window, then removes it: 1; 0 when it was null or is not a window of the list.
  int Delete(WindowRec** window);
  // Unlinks and deletes the window (pieces, frame sprite, text sprite, record): 1; 0 when it is
  // not in the list.
  int RemoveWindow(WindowRec* window);
  int DeleteAll();
  int IsWindow(const WindowRec* window) const;
  // Draws every window of that layer onto the back buffer (the compose step). 1.
  int Draw(SurfaceId id);

  // ---- Text areas and pieces ----
  // Fills the text rectangle of the window's layer surface with the transparent colour.
  int ClearText(WindowRec* window);
  // Fills the text rectangle (relative to the frame's top-left corner) of the sprite's own
  // surface with the transparent colour.
  int ClearTextPiece(WindowRec* window, int sprite_index);
  // Fills the whole of the sprite's surface with the transparent colour.
  int ClearPiece(WindowRec* window, int sprite_index);
  // Copies a rectangle of a surface into one of the window's sprites (sprite coordinates).
  int BltToPiece(WindowRec* window, int sprite_index, Rect source_rect, Rect destination_rect,
                 SurfaceId source, int color_key);
  // Places the sprite as a retained entry on one of the window's sprites at (x, y) in sprite
  // coordinates; the entry is the window's until DeletePiece or the window's deletion.
  SprBufferEntry* AddPiece(WindowRec* window, SprRec* sprite, int x, int y, int sprite_index,
                           int color_key, int priority, uint32_t mirror);
  SprBufferEntry* AddPieceShort(WindowRec* window, SprRec* sprite, int x, int y,
                                int sprite_index, int color_key);
  // Removes one piece of the window: 1; 0 when the entry is not a piece of it.
  int DeletePiece(WindowRec* window, SprBufferEntry* entry);
  int DeleteAllPiece(WindowRec* window);

  // ---- Position, opening, turning, colour ----
  // The frame's top-left corner goes to (x, y); inner and text rectangles move with it; both
  // sprites take (x, y) as their home and are drawn there at full size again (the stored open
  // percentages stay), so later opening and turning happen where the window now is.
  int Move(WindowRec* window, int x, int y);
  // Stores the percentages and shrinks both sprites to them about their centres (negative
  // counts as 0; 0 leaves a one-pixel line).
  int SetOpen(WindowRec* window, int percent_x, int percent_y);
  // The card turn on both sprites (degrees): height cos(angle1), width cos(angle2). The stored
  // open percentages do not change.
  int SetTurn(WindowRec* window, int angle1, int angle2);
  // Both sprites drawn at full size at their positions.
  int ResetRect(WindowRec* window);
  // Stores the colour; for styles 0-5 the frame sprite is rebuilt holding only the new box
  // (graphics copied into the old frame sprite are gone).
  int SetColor(WindowRec* window, ColorRef color);
  // Copies the text rectangle into *out and returns out (null for a null window or out).
  Rect* GetTextRect(Rect* out, const WindowRec* window) const;

  // ---- Text ----
  // Draws the text onto the window's layer surface with the pen at (x, y) of the text
  // rectangle, each glyph cell repainted from the frame sprite's picture. "$$" draws nothing and
  // returns the line height alone (24 << 16). -1 (nothing drawn) when the block would leave the
  // text rectangle.
  int32_t DrawTextWindow(WindowRec* window, const char* text, int x, int y, ColorRef color);
  int32_t DrawTextWindowWhite(WindowRec* window, const char* text, int x, int y);
  // The same into one of the window's sprites, without a background picture (glyph edges blend
  // with light grey).
  int32_t DrawText(WindowRec* window, int sprite_index, const char* text, int x, int y,
                   ColorRef color);
  // The form that names a font (game_font.h) and a second colour. All text is drawn with the
  // glyph fonts at their one size (24-pixel cells), the size nearest every game font's height:
  // the font and the second colour do not change the pixels (a null font is the same).
  int32_t DrawText(WindowRec* window, int sprite_index, const char* text, int x, int y,
                   const GameFont* font, ColorRef color, ColorRef second_color);

  // Debug listing of the windows and their pieces (trace only). 1.
  int Enum() const;

  const WindowRec* head() const { return head_; }

 private:
  SprRec* SpriteOf(const WindowRec* window, int sprite_index) const;
  bool BuildFrameSprite(WindowRec* window);
  int32_t DrawTextAt(const char* text, int64_t pen_x, int64_t pen_y, Rect bounds,
                     int32_t origin_x, int32_t origin_y, platform::Surface* destination,
                     platform::Surface* background, int background_x, int background_y,
                     ColorRef color, SurfaceId update_id);
  void RemovePieceEntry(const WindowRec* window, SprBufferEntry* entry);
  void DeleteWindow(WindowRec* window);

  CDdrawFunc& ddraw_;
  CDdrawSpr& sprites_;
  CDdrawText& text_;
  WindowRec* head_ = nullptr;
};
