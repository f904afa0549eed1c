#pragma once
// The story movies' captions: one table of 2 rows x 31 columns, a cell per movie (row 0 the
// movies 0-30 of chapters 1-7, row 1 the same numbers of chapters 8 and later, which play
// movie number + 100). A cell holds its entries' count and the entries; an entry is shown from
// its start to its end, both counted in units of kMovieCaptionUnitMs of the movie clock.
//
// The program's table is empty: the caption texts and times are content the game does not ship
// yet. The interpreter reads the table through `CTamvikMacro::movie_captions`, so a test (or the
// extras' movie test) puts its own in place.

#include <array>
#include <cstdint>

struct MovieCaptionEntry {
  uint32_t start = 0;
  uint32_t end = 0;
  const char* text = nullptr;  // Big5 bytes, NUL-terminated
};

struct MovieCaptionCell {
  uint8_t count = 0;
  const MovieCaptionEntry* entries = nullptr;
};

inline constexpr int kMovieCaptionRows = 2;
inline constexpr int kMovieCaptionColumns = 31;
using MovieCaptionTable =
    std::array<std::array<MovieCaptionCell, kMovieCaptionColumns>, kMovieCaptionRows>;

// One unit of the caption times in milliseconds.
inline constexpr double kMovieCaptionUnitMs = 41.71881518;

// The caption text's pen and the area it is copied through (surface 8 to the screen).
inline constexpr int kMovieCaptionX = 124;
inline constexpr int kMovieCaptionY = 366;
inline constexpr int kMovieCaptionRight = 596;
inline constexpr int kMovieCaptionBottom = 438;
inline constexpr uint32_t kMovieCaptionColour = 0x0F0F0F;

// The program's table (every cell empty).
const MovieCaptionTable& ProgramMovieCaptions();

// The cell of a movie: row 0 or 1, column the movie number as the script gives it; null outside
// the table.
const MovieCaptionCell* FindMovieCaptions(const MovieCaptionTable& table, int row, int column);
