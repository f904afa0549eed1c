#pragma once
// What the option screens share: their windows on layer 8 (made with a background picture from a
// sprite file, opened and closed over 12 frames), their texts in font A, and the release of
// everything a screen holds.

#include <string>

#include "engine/gfx/gfx_types.h"

struct AnimeRec;
struct SprAnm;
struct WindowRec;

namespace option_parts {

// The UTF-8 text in the game's two-byte text.
std::string Big5(const char* utf8);

// A window on layer 8 with the text rectangle the inner one, shut (open 0 %), with picture 0 of
// the file (when given and present) as its background. Null, with a trace, when it cannot be made.
WindowRec* MakeWindow(Rect frame, Rect inner, ColorRef color, int style, SprAnm* background);
// Starts opening (true) or closing the window over 12 frames; the handle clears itself at the end.
void StartOpen(WindowRec* window, AnimeRec** anime, bool open);
// Deletes the animation and the window (either may be null).
void DeleteWindow(WindowRec** window, AnimeRec** anime);
// Text in font A into the window's text sprite at (x, y) of its text rectangle.
void DrawText(WindowRec* window, const std::string& text, int x, int y, ColorRef color);
// Marks every layer for the next compose.
void UpdateAll();

}  // namespace option_parts
