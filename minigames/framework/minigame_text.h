#pragma once
// The minigames' text window and message printer, and the text blit.
//
// The window is a surface slot shown by object 254; slot + 1 holds its empty background. The
// printer types a text into the slot one character per `delay` steps (6 when a text starts)
// with the engine's glyph text (CDdrawText::DrawString, colour 0x0F0F0F, the slot passed as
// destination and source). Texts are Big5; their bytes:
//   0 end; 9 the rest at once (delay 0); 10 new line (pen y + 32); 13 new page (the window
//   overwritten by slot + 1); other bytes below 32 skipped; a byte of 128 or more and the next
//   one character (a lead byte right before the end ends the text, nothing drawn); any other
//   byte drawn as its full-width form (digits, letters) or as the full-width "@".
// The pen moves 28 after each character. With the skip flag, decide or cancel newly pressed
// prints the rest at once, and the end of the text shows the marker object until decide, then
// clears the page. Without it the printer is idle at the end, the text left on screen.

#include <cstdint>

// Opens the window: any window is closed first; object 254 shows the slot at (x, y) on the
// layer; the pen starts at (left + 1, top + 1); no marker. A slot outside 0-1022 opens nothing
// (0, traced). 1.
int mg_textwin_open(int32_t x, int32_t y, int32_t layer, int32_t slot, int32_t left, int32_t top);
// Clears the page, object 254's animation := 0, slot 0, no text. 1.
int mg_textwin_close();

// Formats (integer and string conversions) into the 512-byte buffer, cut at 511 bytes and before
// a lead byte whose pair would not fit, and types it with delay 6. 1, or 0 without a window.
int mg_print(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Types the text as it stands (od texts: mg_print_text(mg_text(n))); "%" means nothing here.
// The text is read while it types: it must stay (od texts and literals do). 1, or 0 without a
// window.
int mg_print_text(const char* text);
// Types the fixed test line. 1, or 0 without a window.
int mg_print_test();
// The fixed test line (Big5).
const char* mg_print_test_text();
int mg_print_skip(int on);
// The marker object shown while a finished text waits for decide (1-255; other values: none).
int mg_print_marker(int32_t object);
// 1 while a text types or waits for decide.
int mg_print_busy();
// The printer step (the driver's step update, once per 60 Hz step).
void mg_print_step();
// The removal of mg_reset and mg_end: the window closed, the skip flag and the marker cleared.
void mg_text_remove();

// The string through CDdrawText::DrawString into the slot at (x, y) in the colour (COLORREF):
// double-byte characters drawn, every other byte moves the pen 12. 1, or 0 for an empty slot.
int mg_text_blit(int32_t slot, int32_t x, int32_t y, uint32_t colour, const char* text);
