#pragma once
// The extras' lists and the rules of their screens, apart from the tasks that show them: the
// movie, sound and picture lists with their locking, the list state of a screen, the cursor moves
// of the lists and of the picture grid, the mouse areas of tabs, rows and cells, and where a movie
// caption is centred. Tested without the screens.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/gfx/gfx_types.h"

namespace omake {

inline constexpr int kRowsPerPage = 8;
inline constexpr int kMovieEntries = 56;
inline constexpr int kSoundEntries = 40;
inline constexpr int kPictureEntries = 16;
// The seen bit that marks a picture entry open from the start.
inline constexpr uint8_t kAlwaysOpenBit = 7;

struct MovieEntry {
  std::string title;  // Big5; empty for a blank row and a locked epilogue
  std::string file;   // "MOVIEnnn"; empty for the exit and blank rows
  uint8_t disc = 0;   // 1-3; 0 for the exit and blank rows
};

struct SoundEntry {
  std::string title;  // Big5
  std::string file;   // base name under tamvik1\bgm\; empty for the exit rows
};

struct PictureEntry {
  std::string title;  // the locked title (Big5), empty once the entry is open
  std::string file;   // base name under tamvik1\item\, "EXIT" for the exits; empty when locked
  uint8_t bit = kAlwaysOpenBit;  // the bit of picturesSeen that opens it
};

// The lists as a screen builds them when it opens. Entries 41-46 of the movie list keep their
// titles only for the matching bits of endingsSeen (41 bit 0, 42 bit 1, 43 bit 5, 44 bit 2,
// 45 bit 3, 46 bit 4).
std::vector<MovieEntry> BuildMovieList(uint32_t endings_seen);
std::vector<SoundEntry> BuildSoundList();
std::vector<PictureEntry> BuildPictureList(uint32_t pictures_seen);

// The bit of endingsSeen that unlocks movie entry `index`, or -1 for an entry that is always open.
int EpilogueBit(int index);

// The 28-byte list state of a screen.
struct ListState {
  uint8_t page = 0;
  uint8_t row = 0;
  uint8_t last_page = 0;
  uint8_t last_row = kRowsPerPage - 1;
  uint8_t result = 0;       // 0 nothing, 1 chosen, 2 leave
  uint8_t highlighted = 0;  // a row is chosen and drawn highlighted
  uint8_t redraw = 0;
  uint8_t page_changed = 0;
  uint8_t force_mouse = 0;  // test the rows in the next frame even without a pointer move
  uint8_t unused[19] = {};

  int Index() const { return page * kRowsPerPage + row; }
};
static_assert(sizeof(ListState) == 28);

// Whether list entry i (page x 8 + row) has something to choose: a title, or for the picture grid
// a title or a picture.
using HasContent = std::function<bool(int index)>;

// Cursor moves of the movie and sound lists. Each returns true when the cursor moved (the caller
// plays sound 3). Up and down: the previous or next row with content in the page, wrapping, each
// row tried once. Left and right: the page within 0-last_page (nothing at the ends), then the
// cursor up (left) or down (right), wrapping, to the nearest row with content (from the row
// itself).
bool RowUp(ListState& s, const HasContent& has);
bool RowDown(ListState& s, const HasContent& has);
bool PageLeft(ListState& s, const HasContent& has);
bool PageRight(ListState& s, const HasContent& has);

// The picture grid (2 columns x 4 rows a page; cell i: column i mod 2, row i / 2). Up and down move
// by two cells, wrapping in the column, to the nearest cell with content (at most four tries).
// Left: right column -> left column, or the left column of page 1 -> the right column of page 0;
// right the mirror; nothing at the outer edges; then the cursor up (left) or down (right) to the
// nearest cell with content.
bool GridUp(ListState& s, const HasContent& has);
bool GridDown(ListState& s, const HasContent& has);
bool GridLeft(ListState& s, const HasContent& has);
bool GridRight(ListState& s, const HasContent& has);

enum class Screen : uint8_t { kMovie, kSound, kPicture };

// The tab under a screen point: the page, or -1 when no tab is there or the tab stands past the
// screen's last page (each window is wider than its tabs).
int TabAt(Screen screen, int x, int y, int last_page);
// The row (or grid cell) under a screen point, -1 for none. A list row counts only with a title
// (16 pixels a title byte); every grid cell counts.
int RowAt(Screen screen, int x, int y, const std::vector<std::string>& page_titles);
// Mouse area of a tab or a row (for drawing tests and the hit test).
Rect TabArea(Screen screen, int k);
Rect RowArea(Screen screen, int i, int title_bytes);

// The caption pen x for a text of the given measured width (16 + (608 - width) / 2, toward zero;
// below 0 for a text wider than 608 + 32).
int CaptionX(int width);

}  // namespace omake
