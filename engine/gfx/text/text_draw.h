#pragma once
// CDdrawText: the engine's own text renderer. In-game text is Big5: a byte with bit 7 set starts a
// double-byte character (code = lead x 256 + trail), other bytes are ASCII. It is drawn with three
// bitmap glyph fonts loaded whole at start-up from the working directory:
//
//   CHT.DAT    ascending little-endian u16 Big5 codes; position i is the glyph number (<= 3000)
//   CHT24.DAT  24 x 24 glyphs, glyph i at offset i x 288 (24 rows of 12 bytes)
//   ENG12.DAT  12 x 24 glyphs of the bytes 32-127, byte c at offset (c - 32) x 144 (24 rows of 6)
//
// Each glyph byte holds two pixels, the left one in the high nibble. A nibble is a coverage level:
// 0 leaves the picture, 1-15 blend toward the text colour by level / 16 (15 keeps 1/16 of the
// partner colour; the pure text colour is never written).
//
// Pixels are 16-bit, RGB565 or RGB555 as the pixel mode word says (2 = RGB565, anything else
// RGB555); every packing and unpacking here follows that word. Colours handed in are COLORREF
// values 0x00BBGGRR.
//
// The string draws lock the surfaces they are handed (one lock per string) and hand the locked
// memory (SurfaceDesc) to the drawing core, which callers holding a lock may use directly. The
// lock's layout field is not consulted: the pixel mode word decides. Every glyph cell is clipped
// to the destination and, where a background picture is read, to the background too; glyph reads
// are bounded by the loaded font data; a failed lock draws nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/gfx/gfx_types.h"

namespace platform {
struct Platform;
class Surface;
}

class CDdrawText {
 public:
  static constexpr int kCodeTableSize = 3000;   // codes kept from CHT.DAT
  static constexpr int kGlyph24Bytes = 288;     // one double-byte glyph
  static constexpr int kGlyph12Bytes = 144;     // one single-byte glyph
  static constexpr int kGlyph12Count = 96;      // bytes 32-127
  static constexpr int kLineHeight = 24;
  static constexpr uint32_t kModeRgb555 = 1;
  static constexpr uint32_t kModeRgb565 = 2;
  static constexpr uint32_t kLightGrey = 0xF0F0F0;  // blend partner of the draws without background

  // Pen advances the glyph operations report.
  static constexpr int kAdvance24 = 24;
  static constexpr int kAdvance12 = 12;
  static constexpr int kMissing24 = 16;  // a double-byte code with no glyph: nothing drawn

  // Whether locked memory can be drawn into: pixels present, a positive size and a pitch that
  // holds a whole row. Anything else (a failed lock leaves the desc empty) draws nothing.
  static bool DescUsable(const SurfaceDesc& d) {
    return d.bits != nullptr && d.width > 0 && d.height > 0 &&
           d.pitch >= 2 * static_cast<int64_t>(d.width);
  }

  explicit CDdrawText(platform::Platform& seams) : seams_(seams) {}
  CDdrawText(const CDdrawText&) = delete;
  CDdrawText& operator=(const CDdrawText&) = delete;

  // --- Loading -----------------------------------------------------------------------------

  // Loads CHT.DAT, ENG12.DAT and CHT24.DAT in that order by bare name from the working directory
  // (names match case-insensitively). A file that cannot be opened or read, or that holds no
  // glyph at all (CHT.DAT no code, ENG12.DAT or CHT24.DAT less than one glyph), ends the loading:
  // it and the fonts after it stay unloaded, and load_failure() names the file and the cause
  // (also traced). Fonts loaded before are dropped first. More than 3000 codes keep the first
  // 3000; short glyph files are kept as they are and glyphs past their end are treated as
  // missing. Returns 1 when all three loaded, else 0 (start-up then ends the program).
  int LoadFont();
  // Why the last LoadFont failed ("CHT.DAT holds no codes", ...); empty after a good one.
  const std::string& load_failure() const { return load_failure_; }
  // Frees both glyph buffers; the code table and its count stay.
  void FreeFont();

  // --- Colour helpers ----------------------------------------------------------------------

  void SetPixelMode(uint32_t mode) { pixel_mode_ = mode; }
  uint32_t pixel_mode() const { return pixel_mode_; }

  // Packs 8-bit channels (low bits dropped) in the current layout.
  uint16_t MakeColor16(uint8_t red, uint8_t green, uint8_t blue) const;
  // Unpacks both pixels to 8-bit channels (low bits zero) and blends each channel:
  // floor(background x (16 - level) / 16) + floor(colour x level / 16), at most 255.
  uint16_t BlendPixel16(uint16_t background, uint16_t colour, int level) const;
  // The same channel blend on the three byte channels of two COLORREF values.
  static uint32_t BlendColorRef(uint32_t a, uint32_t b, int level);
  // The same channel blend on two 8-bit triples, packed with MakeColor16.
  uint16_t BlendRgb16(int red_a, int green_a, int blue_a, int red_b, int green_b, int blue_b,
                      int level) const;
  // Unsigned 16-bit comparison of two codes: -1, 0 or 1 (the comparator of the code search).
  static int CompareCode(const void* a, const void* b);

  // --- Measuring ---------------------------------------------------------------------------

  // The block a string of `length` bytes occupies, (height << 16) | width. Height starts at 24;
  // a tab adds 96 to the line, a byte with bit 7 set adds 24 and skips the next byte, a line feed
  // adds 24 to the height and starts a new line, other bytes below 32 add nothing and every other
  // byte adds 12. The width is that of the widest line (kept to 16 bits).
  static uint32_t GetTextWidth(const char* text, int length);

  // --- Drawing into 16-bit surfaces ---------------------------------------------------------

  // Draws into the destination surface, with the background surface (or none, null) read at the
  // pen plus (background_x, background_y); the string is laid out as DrawTextToDesc says. Both
  // surfaces are locked whole for the call; when a lock fails nothing is drawn. Returns 0.
  int DrawTextToSurface(const char* text, int length, int x, int y, int background_x,
                        int background_y, platform::Surface* destination,
                        platform::Surface* background, ColorRef colour);

  // The same on locked memory. Draws `length` bytes with the pen at (x, y), the top-left corner
  // of the first glyph cell. Bytes 32-127 are single-byte glyphs (pen + 12); any other byte is
  // the lead of a two-byte code made with the next byte (pen + 24, both bytes consumed; a lead in
  // the last position pairs with the terminating NUL, which is not read). Tabs and line feeds
  // are not laid out here. With a background, every pixel of each glyph cell is rewritten from
  // the background picture read at (pen + offset); without one, only covered pixels are written,
  // blended with light grey. Returns 0.
  int DrawTextToDesc(const char* text, int length, int x, int y, int background_x,
                     int background_y, const SurfaceDesc& destination,
                     const SurfaceDesc* background, uint32_t colour);

  // The glyph operations behind it. `ch` points at the character (two readable bytes for the
  // double-byte forms); (x, y) is the destination pen and (bx, by) the background pen.
  // Double-byte forms: 24, or 16 when the code has no glyph (nothing drawn). Single-byte forms:
  // 12 for a byte 32-127 (drawn when its glyph is loaded), 0 for any other byte (nothing drawn).
  int DrawGlyph24(const char* ch, int x, int y, int bx, int by, const SurfaceDesc& destination,
                  const SurfaceDesc& background, uint32_t colour) const;
  int DrawGlyph12(const char* ch, int x, int y, int bx, int by, const SurfaceDesc& destination,
                  const SurfaceDesc& background, uint32_t colour) const;
  int DrawGlyph24Ex(const char* ch, int x, int y, const SurfaceDesc& destination,
                    uint32_t colour) const;
  int DrawGlyph12Ex(const char* ch, int x, int y, const SurfaceDesc& destination,
                    uint32_t colour) const;

  // --- Drawing through device contexts (minigames) ---------------------------------------

  // A device context is the 16-bit surface behind it: the destination is written, the source
  // read (the minigames pass one surface twice). Both are locked for the call; when a lock fails
  // nothing is drawn. Only double-byte characters are drawn: a byte with bit 7 set starts one
  // (pen + 24), every other byte moves the pen 12 and draws nothing. Returns 0.
  int DrawString(const char* text, int length, int x, int y, platform::Surface* destination,
                 platform::Surface* source, ColorRef colour);
  // The same on locked memory.
  int DrawStringToDesc(const char* text, int length, int x, int y, const SurfaceDesc& destination,
                       const SurfaceDesc& source, uint32_t colour);
  // One double-byte glyph, pixel by pixel: a covered pixel becomes BlendColorRef(0xF0F0F0,
  // colour, level) packed for the context; an uncovered one is the source pixel at the same
  // place, copied unchanged. 0, or 16 when the code has no glyph.
  int DrawGlyphBuf(const char* ch, int x, int y, const SurfaceDesc& destination,
                   const SurfaceDesc& source, uint32_t colour) const;

  // --- Coverage of a line ------------------------------------------------------------------

  // The coverage levels (0-15) of one line of Big5 text laid out as the string draw lays it out
  // (a double-byte character 24 pixels wide, a single-byte one 12), `width` x 24 row by row.
  // False when a character has no loaded glyph, or a byte is neither a printable single-byte
  // character nor a double-byte one (a control byte, a lone lead byte).
  bool LineCoverage(std::string_view big5, int& width, std::vector<uint8_t>& levels) const;

  // --- Look-up and observation -------------------------------------------------------------

  // Position of a code in the table, or -1.
  int FindCode(uint16_t code) const;
  uint32_t code_count() const { return code_count_; }
  const uint16_t* codes() const { return codes_.data(); }
  bool glyph24_loaded() const { return glyph24_loaded_; }
  bool glyph12_loaded() const { return glyph12_loaded_; }
  size_t glyph24_size() const { return glyph24_.size(); }
  size_t glyph12_size() const { return glyph12_.size(); }

 private:
  // The glyph bits of a double-byte character, or null when its code or its glyph data is
  // missing; the same for a single-byte character.
  const uint8_t* Glyph24(const char* ch) const;
  const uint8_t* Glyph12(uint8_t byte) const;

  platform::Platform& seams_;
  uint32_t pixel_mode_ = 0;
  std::array<uint16_t, kCodeTableSize> codes_{};
  uint32_t code_count_ = 0;
  std::vector<uint8_t> glyph24_;
  std::vector<uint8_t> glyph12_;
  bool glyph24_loaded_ = false;
  bool glyph12_loaded_ = false;
  std::string load_failure_;
};
